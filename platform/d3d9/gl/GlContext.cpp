// Context creation and switching for the OpenGL device.

#include "platform/d3d9/gl/GlContext.h"

#include "platform/win32/Win32Sdl.h"

#include <SDL.h>
#include <epoxy/egl.h>
#include <epoxy/gl.h>
#include <epoxy/glx.h>

#include <cstring>

namespace {

// SDL's GL attributes are process-wide: the ones changed for the device's
// context are put back afterwards for whoever creates contexts next.
struct SavedGlAttributes {
  int major = 0, minor = 0, profile = 0, flags = 0, reset = 0;
  SavedGlAttributes() {
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, &major);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, &minor);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &profile);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_FLAGS, &flags);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, &reset);
  }
  ~SavedGlAttributes() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, major);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, minor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, profile);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, flags);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, reset);
  }
};

void requestCore33(bool robust) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, robust ? SDL_GL_CONTEXT_ROBUST_ACCESS_FLAG : 0);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION,
                      robust ? SDL_GL_CONTEXT_RESET_LOSE_CONTEXT : SDL_GL_CONTEXT_RESET_NO_NOTIFICATION);
}

// One EGL display for every surfaceless context of the process.
struct EglShared {
  EGLDisplay display = EGL_NO_DISPLAY;
  int users = 0;
};
EglShared& eglShared() {
  static EglShared shared;
  return shared;
}

EGLDisplay acquireEglDisplay(std::string& error) {
  EglShared& s = eglShared();
  if (s.users > 0) {
    ++s.users;
    return s.display;
  }
  if (!epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
    error = "EGL has no surfaceless platform";
    return EGL_NO_DISPLAY;
  }
  EGLDisplay d = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  EGLint major = 0, minor = 0;
  if (d == EGL_NO_DISPLAY || !eglInitialize(d, &major, &minor)) {
    error = "EGL surfaceless display could not be initialised";
    return EGL_NO_DISPLAY;
  }
  s.display = d;
  s.users = 1;
  return d;
}

void releaseEglDisplay() {
  EglShared& s = eglShared();
  if (s.users > 0 && --s.users == 0) {
    eglTerminate(s.display);
    s.display = EGL_NO_DISPLAY;
  }
}

EGLContext createEglContext(EGLDisplay display, bool robust) {
  if (!eglBindAPI(EGL_OPENGL_API)) return EGL_NO_CONTEXT;
  EGLConfig config = EGL_NO_CONFIG_KHR;
  if (!epoxy_has_egl_extension(display, "EGL_KHR_no_config_context")) {
    const EGLint attrs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, 0, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, attrs, &config, 1, &count) || count == 0) return EGL_NO_CONTEXT;
  }
  EGLint attrs[16];
  int n = 0;
  attrs[n++] = EGL_CONTEXT_MAJOR_VERSION;
  attrs[n++] = 3;
  attrs[n++] = EGL_CONTEXT_MINOR_VERSION;
  attrs[n++] = 3;
  attrs[n++] = EGL_CONTEXT_OPENGL_PROFILE_MASK;
  attrs[n++] = EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT;
  if (robust) {
    attrs[n++] = EGL_CONTEXT_OPENGL_ROBUST_ACCESS;
    attrs[n++] = EGL_TRUE;
    attrs[n++] = EGL_CONTEXT_OPENGL_RESET_NOTIFICATION_STRATEGY;
    attrs[n++] = EGL_LOSE_CONTEXT_ON_RESET;
  }
  attrs[n++] = EGL_NONE;
  return eglCreateContext(display, config, EGL_NO_CONTEXT, attrs);
}

}  // namespace

GlContext* GlContext::create(HWND hwnd, bool robust, std::string& error) {
  GlContext* c = new GlContext();
  c->hwnd = hwnd;
  SDL_Window* window = sdlWindowFromHandle(hwnd);
  if (window && (SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) {
    SavedGlAttributes saved;
    // Holding the GL library keeps SDL's EGL or GLX connection open when
    // the device window is destroyed before the device.
    c->libraryHeld = SDL_GL_LoadLibrary(nullptr) == 0;
    requestCore33(robust);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context && robust) {
      requestCore33(false);
      context = SDL_GL_CreateContext(window);
    }
    if (context) {
      c->window = window;
      c->sdlContext = context;
      return c;
    }
    error = std::string("SDL_GL_CreateContext failed: ") + SDL_GetError();
    if (c->libraryHeld) SDL_GL_UnloadLibrary();
    c->libraryHeld = false;
    // Fall through to a surfaceless context.
  }

  std::string eglError;
  EGLDisplay display = acquireEglDisplay(eglError);
  if (display == EGL_NO_DISPLAY) {
    error = error.empty() ? eglError : error + "; " + eglError;
    delete c;
    return nullptr;
  }
  EGLContext context = createEglContext(display, robust);
  if (context == EGL_NO_CONTEXT && robust) context = createEglContext(display, false);
  if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    releaseEglDisplay();
    error = error.empty() ? "EGL context creation failed" : error + "; EGL context creation failed";
    delete c;
    return nullptr;
  }
  c->eglDisplay = display;
  c->eglContext = context;
  return c;
}

GlContext::~GlContext() {
  if (sdlContext) {
    if (SDL_GL_GetCurrentContext() == sdlContext) SDL_GL_MakeCurrent(nullptr, nullptr);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(sdlContext));
  }
  if (anchor) SDL_DestroyWindow(anchor);
  if (libraryHeld) SDL_GL_UnloadLibrary();
  if (eglContext) {
    EGLDisplay d = static_cast<EGLDisplay>(eglDisplay);
    if (eglGetCurrentContext() == eglContext) eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(d, static_cast<EGLContext>(eglContext));
    releaseEglDisplay();
  }
}

bool GlContext::isCurrent() const {
  if (sdlContext) return SDL_GL_GetCurrentContext() == sdlContext;
  return eglGetCurrentContext() == eglContext;
}

bool GlContext::makeCurrent() {
  if (isCurrent()) return true;
  if (eglContext)
    return eglMakeCurrent(static_cast<EGLDisplay>(eglDisplay), EGL_NO_SURFACE, EGL_NO_SURFACE,
                          static_cast<EGLContext>(eglContext)) == EGL_TRUE;
  SDL_GLContext context = static_cast<SDL_GLContext>(sdlContext);
  if (window && sdlWindowFromHandle(hwnd) == window) return SDL_GL_MakeCurrent(window, context) == 0;
  // The device window is gone: keep the context alive on a hidden window.
  window = nullptr;
  if (!anchor) {
    anchor = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!anchor) return false;
  }
  return SDL_GL_MakeCurrent(anchor, context) == 0;
}

SDL_Window* GlContext::presentWindow() {
  if (!window) return nullptr;
  if (sdlWindowFromHandle(hwnd) != window) {
    window = nullptr;  // destroyed since
    return nullptr;
  }
  return window;
}

bool GlContext::bindWindow(SDL_Window* target) {
  if (!sdlContext) return false;
  if (!target) target = window ? window : anchor;
  if (!target) return makeCurrent();
  return SDL_GL_MakeCurrent(target, static_cast<SDL_GLContext>(sdlContext)) == 0;
}

bool GlContext::swap(SDL_Window* target) {
  if (!sdlContext || !target) return false;
  SDL_GL_SwapWindow(target);
  return true;
}

bool GlContext::surfaceSize(int& width, int& height) const {
  if (epoxy_has_egl() && eglGetCurrentContext() == static_cast<EGLContext>(sdlContext)) {
    EGLDisplay display = eglGetCurrentDisplay();
    EGLSurface surface = eglGetCurrentSurface(EGL_DRAW);
    EGLint w = 0, h = 0;
    if (surface == EGL_NO_SURFACE || !eglQuerySurface(display, surface, EGL_WIDTH, &w) ||
        !eglQuerySurface(display, surface, EGL_HEIGHT, &h) || w <= 0 || h <= 0)
      return false;
    width = w;
    height = h;
    return true;
  }
  // SDL's other way to GL on X11; only asked there, where SDL has loaded GLX.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && std::strcmp(driver, "x11") == 0 && glXGetCurrentContext() == static_cast<GLXContext>(sdlContext)) {
    Display* display = glXGetCurrentDisplay();
    GLXDrawable drawable = glXGetCurrentDrawable();
    unsigned w = 0, h = 0;
    if (!display || !drawable) return false;
    glXQueryDrawable(display, drawable, GLX_WIDTH, &w);
    glXQueryDrawable(display, drawable, GLX_HEIGHT, &h);
    if (w == 0 || h == 0) return false;
    width = (int)w;
    height = (int)h;
    return true;
  }
  return false;
}

void GlContext::drawableSize(SDL_Window* target, int& width, int& height) {
  width = height = 0;
  if (!target) return;
  SDL_GL_GetDrawableSize(target, &width, &height);
  // SDL answers with the size it asked for, which a fullscreen window only
  // gets where a window manager grants it (a bare X server, SDL's offscreen
  // driver keep the window as it was): the surface itself knows.
  int w = 0, h = 0;
  if (sdlContext && SDL_GL_GetCurrentWindow() == target && SDL_GL_GetCurrentContext() == sdlContext &&
      surfaceSize(w, h)) {
    width = w;
    height = h;
  }
}

void GlContext::setSwapInterval(int interval) {
  if (sdlContext && makeCurrent()) SDL_GL_SetSwapInterval(interval);
}
