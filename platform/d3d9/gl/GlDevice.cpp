// The OpenGL IDirect3DDevice9: lifetime (creation of its GL objects and swap
// chain, fullscreen, release), caps and display mode.

#include "platform/d3d9/gl/GlDevice.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

GlDevice::GlDevice(GlDirect3D9* owner, HWND focus, DWORD flags, const D3DPRESENT_PARAMETERS& params, GlContext* ctx)
    : D3D9Bindings(flags, params), d3d(owner), focusWindow(focus), pp(params), context(ctx) {
  d3d->AddRef();
}

bool GlDevice::init() {
  if (!context->makeCurrent()) return false;
  if (epoxy_gl_version() < 33) {
    std::fprintf(stderr, "Direct3D 9 (OpenGL): OpenGL 3.3 is needed, the context offers %d.%d\n",
                 epoxy_gl_version() / 10, epoxy_gl_version() % 10);
    return false;
  }
  int version = epoxy_gl_version();
  hasAnisotropy = version >= 46 || epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                  epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
  if (hasAnisotropy) glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy);
  hasSrgbDecode = epoxy_has_gl_extension("GL_EXT_texture_sRGB_decode");
  hasMirrorClamp = version >= 44 || epoxy_has_gl_extension("GL_ARB_texture_mirror_clamp_to_edge") ||
                   epoxy_has_gl_extension("GL_EXT_texture_mirror_clamp");
  hasResetStatus = version >= 45 || epoxy_has_gl_extension("GL_KHR_robustness") ||
                   epoxy_has_gl_extension("GL_ARB_robustness");
  hasS3tc = epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc");

  glGenSamplers(D3D9_STAGES, samplers);
  for (int i = 0; i < D3D9_STAGES; ++i) glBindSampler(i, samplers[i]);
  glGenFramebuffers(2, blitFramebuffers);
  glGenBuffers(1, &upBuffer);
  upSerial = glNextSerial();
  upCapacity = 1u << 22;
  gl.bindArrayBuffer(upBuffer);
  glBufferData(GL_ARRAY_BUFFER, upCapacity, nullptr, GL_STREAM_DRAW);
  // Direct3D's first vertex decides flat-shaded values; absent diffuse
  // colours read as white.
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  glVertexAttrib4f(2, 1.0f, 1.0f, 1.0f, 1.0f);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);

  // The swap chain: back buffer and automatic depth-stencil surface, both
  // framebuffer storage, multisampled as asked.
  back = new GlSurface(this, GlSurface::BackBuffer, d3d9BackBufferDesc(pp),
                       (pp.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0);
  if (!back->createStorage()) return false;
  if (pp.EnableAutoDepthStencil) {
    autoDepth = new GlSurface(this, GlSurface::DepthStencil, d3d9AutoDepthStencilDesc(pp), false);
    if (!autoDepth->createStorage()) return false;
  }
  bindSwapChain(back, autoDepth);

  if (!pp.Windowed) enterFullscreen();
  int interval = 1;
  if (pp.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE) interval = 0;
  else if (pp.PresentationInterval == D3DPRESENT_INTERVAL_TWO) interval = 2;
  context->setSwapInterval(interval);
  return true;
}

GlDevice::~GlDevice() {
  if (context->makeCurrent()) {
    destroyPrograms();
    for (auto& entry : vertexArrays) glDeleteVertexArrays(1, &entry.second.vao);
    for (Framebuffer* f : framebuffers) {
      glDeleteFramebuffers(1, &f->fbo);
      delete f;
    }
    glDeleteSamplers(D3D9_STAGES, samplers);
    glDeleteFramebuffers(2, blitFramebuffers);
    glDeleteBuffers(1, &upBuffer);
  }
  leaveFullscreen();
  delete context;
  d3d->Release();
}

// A fullscreen device takes the display: it switches to a mode of the back
// buffer's size where the display has one, else it keeps the desktop's mode
// and Present scales the picture to it with its shape kept. Like Direct3D 9
// with its device window, it first puts the window where the picture will
// be: a window manager then makes it fullscreen, and where none runs (a bare
// X server), which leaves a fullscreen request unanswered, the window covers
// the picture's area all the same.
void GlDevice::enterFullscreen() {
  SDL_Window* w = context->presentWindow();
  if (!w) return;
  int display = SDL_GetWindowDisplayIndex(w);
  if (display < 0) display = 0;
  const int width = (int)pp.BackBufferWidth, height = (int)pp.BackBufferHeight;
  SDL_DisplayMode want = {0, width, height, (int)pp.FullScreen_RefreshRateInHz, nullptr};
  SDL_DisplayMode mode;
  bool switchMode = SDL_GetClosestDisplayMode(display, &want, &mode) && mode.w == width && mode.h == height;
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(display, &bounds) != 0) bounds = {0, 0, width, height};
  RECT area = switchMode ? RECT{0, 0, width, height} : glFittedRect(width, height, bounds.w, bounds.h);
  SDL_GetWindowPosition(w, &windowedRect[0], &windowedRect[1]);
  SDL_GetWindowSize(w, &windowedRect[2], &windowedRect[3]);
  windowPlaced = true;
  SDL_SetWindowPosition(w, bounds.x + (int)area.left, bounds.y + (int)area.top);
  SDL_SetWindowSize(w, (int)(area.right - area.left), (int)(area.bottom - area.top));
  if (switchMode) SDL_SetWindowDisplayMode(w, &mode);
  fullscreenSet = SDL_SetWindowFullscreen(w, switchMode ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
}

void GlDevice::leaveFullscreen() {
  SDL_Window* w = context->presentWindow();
  if (!w) return;
  if (fullscreenSet) SDL_SetWindowFullscreen(w, 0);
  if (windowPlaced) {
    SDL_SetWindowSize(w, windowedRect[2], windowedRect[3]);
    SDL_SetWindowPosition(w, windowedRect[0], windowedRect[1]);
  }
  fullscreenSet = windowPlaced = false;
}

bool GlDevice::makeCurrent() {
  if (context->makeCurrent()) return true;
  lost = true;
  return false;
}

ULONG GlDevice::Release() {
  if (refs == 0) return 0;
  ULONG left = --refs;
  if (left == 0) {
    released = true;
    ++liveResources;  // keeps this object alive while the bindings go
    releaseBindings();
    resourceDestroyed();
  }
  return left;
}

void GlDevice::releaseBindings() {
  releaseObjects();
  for (auto& core : textureCores) core = nullptr;
  if (back) back->Release();
  back = nullptr;
  if (autoDepth) autoDepth->Release();
  autoDepth = nullptr;
}

void GlDevice::resourceDestroyed() {
  if (--liveResources == 0 && released) delete this;
}

HRESULT GlDevice::TestCooperativeLevel() {
  if (!lost && hasResetStatus && context->makeCurrent() && glGetGraphicsResetStatus() != GL_NO_ERROR) lost = true;
  return lost ? D3DERR_DEVICELOST : D3D_OK;
}

HRESULT GlDevice::GetDirect3D(IDirect3D9** ppD3D9) {
  if (HRESULT hr = d3d9CheckOut(__func__, ppD3D9)) return hr;
  d3d->AddRef();
  *ppD3D9 = d3d;
  return D3D_OK;
}

HRESULT GlDevice::GetDeviceCaps(D3DCAPS9* pCaps) {
  if (HRESULT hr = d3d9CheckOut(__func__, pCaps)) return hr;
  *pCaps = d3d9Caps();
  if (hasAnisotropy) pCaps->MaxAnisotropy = maxAnisotropy < 16.0f ? (DWORD)maxAnisotropy : 16;
  else pCaps->MaxAnisotropy = 1;
  return D3D_OK;
}

HRESULT GlDevice::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) {
  if (HRESULT hr = d3d9CheckGetDisplayMode(__func__, iSwapChain, pMode)) return hr;
  if (pp.Windowed) return d3d->desktopMode(pMode) ? D3D_OK : D3DERR_NOTAVAILABLE;
  *pMode = {pp.BackBufferWidth, pp.BackBufferHeight, pp.FullScreen_RefreshRateInHz,
            pp.BackBufferFormat == D3DFMT_A8R8G8B8 ? D3DFMT_X8R8G8B8 : pp.BackBufferFormat};
  return D3D_OK;
}
