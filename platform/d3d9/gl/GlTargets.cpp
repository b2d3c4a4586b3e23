// Targets of the OpenGL device: render targets and the depth surface, the
// framebuffers that join them, viewport, clears, copies between surfaces,
// and Present of the back buffer.

#include "platform/d3d9/gl/GlDevice.h"

#include "platform/win32/Win32Sdl.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

RECT glFittedRect(LONG width, LONG height, int areaWidth, int areaHeight) {
  if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0) return {0, 0, areaWidth, areaHeight};
  int64_t w = areaWidth, h = areaHeight;
  if ((int64_t)areaWidth * height <= (int64_t)areaHeight * width)
    h = ((int64_t)areaWidth * height + width / 2) / width;
  else
    w = ((int64_t)areaHeight * width + height / 2) / height;
  LONG x = (LONG)((areaWidth - w) / 2), y = (LONG)((areaHeight - h) / 2);
  return {x, y, x + (LONG)w, y + (LONG)h};
}

GlSurface* GlDevice::ownSurface(IDirect3DSurface9* surface) const { return own<GlSurface>(surface); }

// --- Present and the back buffer ----------------------------------------------------------
HRESULT GlDevice::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                          const RGNDATA* pDirtyRegion) {
  (void)pDirtyRegion;
  if (HRESULT hr = d3d9CheckPresent(__func__, pSourceRect, back->desc)) return hr;
  if (lost || !makeCurrent()) return D3DERR_DEVICELOST;
  if (hasResetStatus && glGetGraphicsResetStatus() != GL_NO_ERROR) {
    lost = true;
    return D3DERR_DEVICELOST;
  }
  SDL_Window* own = context->presentWindow();
  SDL_Window* target = hDestWindowOverride ? sdlWindowFromHandle(hDestWindowOverride) : own;
  if (!target) {
    glFlush();
    // Surfaceless devices have nowhere to show frames; a destroyed window
    // cannot take one.
    return context->surfaceless() && !hDestWindowOverride ? D3D_OK : D3DERR_INVALIDCALL;
  }
  if (target != own && !context->bindWindow(target)) return D3DERR_INVALIDCALL;
  GLuint source = back->readFramebuffer();
  int dw = 0, dh = 0;
  context->drawableSize(target, dw, dh);
  RECT s = pSourceRect ? *pSourceRect : RECT{0, 0, (LONG)back->desc.Width, (LONG)back->desc.Height};
  // A window shows the whole back buffer: stretched to its client area as
  // Direct3D 9 does in a window; fullscreen, where the window may not have the
  // mode's size (no mode of that size, a window manager's say), scaled with
  // its shape kept and black bars around it.
  RECT d = pDestRect ? *pDestRect
           : pp.Windowed ? RECT{0, 0, dw, dh}
                         : glFittedRect(s.right - s.left, s.bottom - s.top, dw, dh);
  prepareBlit();
  gl.bindReadFramebuffer(source);
  gl.bindDrawFramebuffer(0);
  if (!pDestRect && (d.left > 0 || d.top > 0 || d.right < dw || d.bottom < dh)) {
    gl.clearColor(0xFF000000);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  // Row 0 of the back buffer is its top row; the window's is its bottom.
  bool scaled = (s.right - s.left) != (d.right - d.left) || (s.bottom - s.top) != (d.bottom - d.top);
  blit(s.left, s.top, s.right, s.bottom, d.left, dh - d.top, d.right, dh - d.bottom, scaled ? GL_LINEAR : GL_NEAREST);
  context->swap(target);
  if (target != own) context->bindWindow(nullptr);
  return D3D_OK;
}

HRESULT GlDevice::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                IDirect3DSurface9** ppBackBuffer) {
  if (ppBackBuffer) *ppBackBuffer = nullptr;
  if (HRESULT hr = d3d9CheckGetBackBuffer(__func__, iSwapChain, iBackBuffer, Type, pp.BackBufferCount, ppBackBuffer)) return hr;
  back->AddRef();
  *ppBackBuffer = back;
  return D3D_OK;
}

// --- copies --------------------------------------------------------------------------------
void GlDevice::prepareBlit() {
  gl.enable(GlStateCache::Scissor, false);
  gl.enable(GlStateCache::Srgb, false);
  gl.colorMask(0, 0xF);
  // The device's own target set is bound again before the next draw.
  dirty |= DirtyScissor | DirtyMisc | DirtyColorMask | DirtyFramebuffer;
}

void GlDevice::blit(GLint sx0, GLint sy0, GLint sx1, GLint sy1, GLint dx0, GLint dy0, GLint dx1, GLint dy1,
                    GLenum filter) {
  glBlitFramebuffer(sx0, sy0, sx1, sy1, dx0, dy0, dx1, dy1, GL_COLOR_BUFFER_BIT, filter);
  ++stats.blits;
}

HRESULT GlDevice::GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface) {
  GlSurface* src = ownSurface(pRenderTarget);
  GlSurface* dst = ownSurface(pDestSurface);
  if (HRESULT hr = d3d9CheckGetRenderTargetData(__func__, surfaceArg(src), surfaceArg(dst))) return hr;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  return src->readPixels(dst->memory.data()) ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT GlDevice::StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                              IDirect3DSurface9* pDestSurface, const RECT* pDestRect, D3DTEXTUREFILTERTYPE Filter) {
  GlSurface* src = ownSurface(pSourceSurface);
  GlSurface* dst = ownSurface(pDestSurface);
  if (HRESULT hr = d3d9CheckStretchRect(__func__, surfaceArg(src), pSourceRect, surfaceArg(dst), pDestRect, Filter)) return hr;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  RECT s = pSourceRect ? *pSourceRect : RECT{0, 0, (LONG)src->desc.Width, (LONG)src->desc.Height};
  RECT d = pDestRect ? *pDestRect : RECT{0, 0, (LONG)dst->desc.Width, (LONG)dst->desc.Height};
  // A multisampled source resolves straight into a destination of its
  // format when nothing is scaled (GL resolves only between rectangles of
  // one size), instead of through a resolved copy: one blit, not two.
  const bool sameSize = s.right - s.left == d.right - d.left && s.bottom - s.top == d.bottom - d.top;
  const bool direct = src->multisampled() && sameSize && src->desc.Format == dst->desc.Format;
  GLuint read = direct ? src->sampleFramebuffer() : src->readFramebuffer();
  if (!read) return D3DERR_INVALIDCALL;
  prepareBlit();
  gl.bindReadFramebuffer(read);
  gl.bindDrawFramebuffer(blitFramebuffers[1]);
  dst->attach(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0);
  blit(s.left, s.top, s.right, s.bottom, d.left, d.top, d.right, d.bottom,
       Filter == D3DTEXF_LINEAR && !direct ? GL_LINEAR : GL_NEAREST);
  glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
  dst->markContentChanged();
  return D3D_OK;
}

// --- targets, scenes, clears and viewport -------------------------------------------------
HRESULT GlDevice::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) {
  if (HRESULT hr = checkClear(__func__, Count, pRects, Flags, Z)) return hr;
  if (!makeCurrent()) return D3D_OK;  // a lost device drops its rendering, as Direct3D 9 does
  applyFramebuffer();
  if (HRESULT hr = checkFramebuffer()) return hr;
  GLbitfield bits = 0;
  if (Flags & D3DCLEAR_TARGET) {
    gl.clearColor(Color);
    for (int i = 0; i < D3D9_RENDER_TARGETS; ++i)
      if (targets[i]) gl.colorMask(i, 0xF);
    bits |= GL_COLOR_BUFFER_BIT;
  }
  if (Flags & D3DCLEAR_ZBUFFER) {
    gl.clearDepth(Z);
    gl.depthMask(true);
    bits |= GL_DEPTH_BUFFER_BIT;
  }
  if (Flags & D3DCLEAR_STENCIL) {
    gl.clearStencil((GLint)(Stencil & 0xFF));
    gl.stencilWriteMask(0xFF);
    bits |= GL_STENCIL_BUFFER_BIT;
  }
  gl.enable(GlStateCache::Srgb, false);
  dirty |= DirtyColorMask | DirtyDepth | DirtyStencil | DirtyMisc | DirtyScissor;
  // Clears stay inside the viewport (and the rectangles, when given, and
  // the scissor rectangle while the scissor test is on).
  LONG vx0 = (LONG)view.X, vy0 = (LONG)view.Y, vx1 = (LONG)(view.X + view.Width), vy1 = (LONG)(view.Y + view.Height);
  if (renderStates[D3DRS_SCISSORTESTENABLE]) {
    vx0 = std::max(vx0, scissorArea.left);
    vy0 = std::max(vy0, scissorArea.top);
    vx1 = std::min(vx1, scissorArea.right);
    vy1 = std::min(vy1, scissorArea.bottom);
  }
  if (Count == 0) {
    if (vx0 < vx1 && vy0 < vy1) {
      scissor(true, vx0, vy0, vx1 - vx0, vy1 - vy0);
      glClear(bits);
    }
  } else {
    for (DWORD i = 0; i < Count; ++i) {
      LONG x0 = pRects[i].x1 > vx0 ? pRects[i].x1 : vx0;
      LONG y0 = pRects[i].y1 > vy0 ? pRects[i].y1 : vy0;
      LONG x1 = pRects[i].x2 < vx1 ? pRects[i].x2 : vx1;
      LONG y1 = pRects[i].y2 < vy1 ? pRects[i].y2 : vy1;
      if (x0 >= x1 || y0 >= y1) continue;
      scissor(true, x0, y0, x1 - x0, y1 - y0);
      glClear(bits);
    }
  }
  for (GlSurface* t : targets)
    if (t) t->markContentChanged();
  return D3D_OK;
}

// --- framebuffers -------------------------------------------------------------------------
void GlDevice::applyFramebuffer() {
  if (currentFramebuffer) {
    bool same = currentFramebuffer->depth == depth;
    for (int i = 0; i < D3D9_RENDER_TARGETS && same; ++i) same = currentFramebuffer->colors[i] == targets[i];
    if (same) {
      gl.bindDrawFramebuffer(currentFramebuffer->fbo);
      return;
    }
  }
  Framebuffer* found = nullptr;
  for (Framebuffer* f : framebuffers) {
    bool same = f->depth == depth;
    for (int i = 0; i < 4 && same; ++i) same = f->colors[i] == targets[i];
    if (same) {
      found = f;
      break;
    }
  }
  if (!found) {
    found = new Framebuffer();
    found->depth = depth;
    for (int i = 0; i < D3D9_RENDER_TARGETS; ++i) found->colors[i] = targets[i];
    glGenFramebuffers(1, &found->fbo);
    gl.bindDrawFramebuffer(found->fbo);
    GLenum buffers[4];
    int count = 0;
    for (int i = 0; i < D3D9_RENDER_TARGETS; ++i) {
      if (targets[i]) {
        targets[i]->attach(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i);
        buffers[i] = GL_COLOR_ATTACHMENT0 + i;
        count = i + 1;
      } else {
        buffers[i] = GL_NONE;
      }
    }
    if (depth) depth->attach(GL_DRAW_FRAMEBUFFER, depth->format->stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT);
    glDrawBuffers(count, buffers);
    found->complete = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    framebuffers.push_back(found);
    ++stats.framebuffersCreated;
  }
  currentFramebuffer = found;
  gl.bindDrawFramebuffer(found->fbo);
}

HRESULT GlDevice::checkFramebuffer() {
  // Targets that GL cannot combine (multisampled with single-sampled) take
  // no rendering: the call fails as Direct3D 9 fails mismatched targets.
  return currentFramebuffer && currentFramebuffer->complete ? D3D_OK : D3DERR_INVALIDCALL;
}

void GlDevice::applyViewport() {
  gl.viewport((GLint)view.X, (GLint)view.Y, (GLsizei)view.Width, (GLsizei)view.Height);
  gl.depthRange(view.MinZ, view.MaxZ);
  ++viewportVersion;
}

void GlDevice::forgetSurface(const GlSurface* surface) {
  for (size_t i = 0; i < framebuffers.size();) {
    Framebuffer* f = framebuffers[i];
    bool uses = f->depth == surface;
    for (GlSurface* c : f->colors) uses = uses || c == surface;
    if (!uses) {
      ++i;
      continue;
    }
    gl.forgetFramebuffer(f->fbo);
    glDeleteFramebuffers(1, &f->fbo);
    if (currentFramebuffer == f) currentFramebuffer = nullptr;
    delete f;
    framebuffers[i] = framebuffers.back();
    framebuffers.pop_back();
    dirty |= DirtyFramebuffer;
  }
}
