#pragma once
// The OpenGL 3.3 core context a device renders with.
//
// On the SDL window of the device window when that window was created with
// OpenGL (platform/win32 does so wherever the video driver has it), else on
// an EGL surfaceless context (Mesa), which renders the same but shows
// nothing. Every device call renders into framebuffer objects, so the window
// is only needed by Present: when it goes away (DestroyWindow while the
// device lives, as at the end of the demo) the context moves to a hidden
// 1x1 window of its own and the device keeps working, presenting nothing.

#include "platform/win32/windows.h"

#include <string>

struct SDL_Window;

class GlContext {
public:
  // Null with the reason in `error` when no context could be created.
  static GlContext* create(HWND window, bool robust, std::string& error);
  ~GlContext();
  GlContext(const GlContext&) = delete;
  GlContext& operator=(const GlContext&) = delete;

  // Makes this context current; cheap when it already is. False when the
  // context cannot be made current any more.
  bool makeCurrent();

  // The SDL window presents go to, or null (surfaceless, or the window has
  // been destroyed).
  SDL_Window* presentWindow();
  // Presents the default framebuffer of `target` (SDL window); false when
  // there is none.
  bool swap(SDL_Window* target);
  // Makes the context current on another SDL window (Present to an override
  // window) and back on its own with null.
  bool bindWindow(SDL_Window* target);
  // The size in pixels of what `target` shows; the real one of the current
  // surface when the context is current on `target`.
  void drawableSize(SDL_Window* target, int& width, int& height);
  void setSwapInterval(int interval);
  bool surfaceless() const { return eglContext != nullptr; }
  HWND deviceWindow() const { return hwnd; }

private:
  GlContext() = default;
  bool isCurrent() const;
  // Size of the surface the context draws to now, from EGL or GLX; false
  // when neither knows it.
  bool surfaceSize(int& width, int& height) const;

  HWND hwnd = nullptr;
  SDL_Window* window = nullptr;  // the device window's SDL window while it exists
  void* sdlContext = nullptr;    // SDL_GLContext
  SDL_Window* anchor = nullptr;  // hidden window the context moves to when `window` is gone
  bool libraryHeld = false;
  void* eglDisplay = nullptr;
  void* eglContext = nullptr;
};
