// The OpenGL IDirect3DDevice9: lifetime, targets and viewport, clears,
// Present, StretchRect and read-back, resource creation, states and
// constant registers. Draws and their GL state are in GlDeviceDraw.cpp.

#include "platform/d3d9/gl/GlDevice.h"

#include "platform/win32/Win32Sdl.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

namespace {


GlSurface* asSurface(IDirect3DSurface9* s) { return s ? dynamic_cast<GlSurface*>(s) : nullptr; }

bool rectInside(const RECT* r, const D3DSURFACE_DESC& d) {
  return !r || (r->left >= 0 && r->top >= 0 && r->left < r->right && r->top < r->bottom &&
                (UINT)r->right <= d.Width && (UINT)r->bottom <= d.Height);
}

bool hasStencil(D3DFORMAT f) {
  const GlFormat* g = glFormatInfo(f);
  return g && g->stencil;
}

// The largest rectangle of a width x height picture's shape inside an area
// of areaWidth x areaHeight, centred in it.
RECT fitted(LONG width, LONG height, int areaWidth, int areaHeight) {
  if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0) return {0, 0, areaWidth, areaHeight};
  int64_t w = areaWidth, h = areaHeight;
  if ((int64_t)areaWidth * height <= (int64_t)areaHeight * width)
    h = ((int64_t)areaWidth * height + width / 2) / width;
  else
    w = ((int64_t)areaHeight * width + height / 2) / height;
  LONG x = (LONG)((areaWidth - w) / 2), y = (LONG)((areaHeight - h) / 2);
  return {x, y, x + (LONG)w, y + (LONG)h};
}

}  // namespace

// --- lifetime -------------------------------------------------------------------------
GlDevice::GlDevice(GlDirect3D9* owner, HWND focus, DWORD flags, const D3DPRESENT_PARAMETERS& params, GlContext* ctx)
    : d3d(owner), focusWindow(focus), behavior(flags), pp(params), context(ctx) {
  d3d->AddRef();
  d3d9DefaultRenderStates(renderStates, pp.EnableAutoDepthStencil);
  d3d9DefaultSamplerStates(samplerStates);
  std::memset(vsConstants, 0, sizeof vsConstants);
  std::memset(psConstants, 0, sizeof psConstants);
  view = {0, 0, pp.BackBufferWidth, pp.BackBufferHeight, 0.0f, 1.0f};
  // Nothing is known of the GL state yet: every cached value differs from
  // whatever the first use sets (NaN floats included).
  std::memset(&gl, 0xFF, sizeof gl);
  std::memset(samplerGl, 0xFF, sizeof samplerGl);
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

  glGenSamplers(GL_D3D_STAGES, samplers);
  for (int i = 0; i < GL_D3D_STAGES; ++i) glBindSampler(i, samplers[i]);
  glGenFramebuffers(2, blitFramebuffers);
  glGenBuffers(1, &upBuffer);
  upSerial = glNextSerial();
  upCapacity = 1u << 22;
  bindArrayBuffer(upBuffer);
  glBufferData(GL_ARRAY_BUFFER, upCapacity, nullptr, GL_STREAM_DRAW);
  // Direct3D's first vertex decides flat-shaded values; absent diffuse
  // colours read as white.
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  glVertexAttrib4f(2, 1.0f, 1.0f, 1.0f, 1.0f);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);

  // The swap chain: back buffer and automatic depth-stencil surface, both
  // framebuffer storage, multisampled as asked.
  D3DSURFACE_DESC bd = {pp.BackBufferFormat, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT,
                        pp.MultiSampleType, pp.MultiSampleQuality, pp.BackBufferWidth, pp.BackBufferHeight};
  back = new GlSurface(this, GlSurface::BackBuffer, bd, (pp.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0);
  if (!back->createStorage()) return false;
  hold(targets[0], back);
  if (pp.EnableAutoDepthStencil) {
    D3DSURFACE_DESC dd = {pp.AutoDepthStencilFormat, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT,
                          pp.MultiSampleType, pp.MultiSampleQuality, pp.BackBufferWidth, pp.BackBufferHeight};
    autoDepth = new GlSurface(this, GlSurface::DepthStencil, dd, false);
    if (!autoDepth->createStorage()) return false;
    hold(depth, autoDepth);
  }

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
    glDeleteSamplers(GL_D3D_STAGES, samplers);
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
  RECT area = switchMode ? RECT{0, 0, width, height} : fitted(width, height, bounds.w, bounds.h);
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
  for (int i = 0; i < GL_D3D_STAGES; ++i) {
    hold(textures[i], (IDirect3DBaseTexture9*)nullptr);
    textureCores[i] = nullptr;
  }
  for (auto& t : targets) hold(t, (GlSurface*)nullptr);
  hold(depth, (GlSurface*)nullptr);
  for (auto& s : streams) hold(s.buffer, (GlVertexBuffer*)nullptr);
  hold(indexBuffer, (GlIndexBuffer*)nullptr);
  hold(declaration, (GlVertexDeclaration*)nullptr);
  hold(vs, (GlVertexShader*)nullptr);
  hold(ps, (GlPixelShader*)nullptr);
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
  if (!ppD3D9) return D3DERR_INVALIDCALL;
  d3d->AddRef();
  *ppD3D9 = d3d;
  return D3D_OK;
}

HRESULT GlDevice::GetDeviceCaps(D3DCAPS9* pCaps) {
  if (!pCaps) return D3DERR_INVALIDCALL;
  *pCaps = GlDirect3D9::halCaps();
  if (hasAnisotropy) pCaps->MaxAnisotropy = maxAnisotropy < 16.0f ? (DWORD)maxAnisotropy : 16;
  else pCaps->MaxAnisotropy = 1;
  return D3D_OK;
}

HRESULT GlDevice::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) {
  if (iSwapChain != 0 || !pMode) return D3DERR_INVALIDCALL;
  if (pp.Windowed) return d3d->desktopMode(pMode) ? D3D_OK : D3DERR_NOTAVAILABLE;
  *pMode = {pp.BackBufferWidth, pp.BackBufferHeight, pp.FullScreen_RefreshRateInHz,
            pp.BackBufferFormat == D3DFMT_A8R8G8B8 ? D3DFMT_X8R8G8B8 : pp.BackBufferFormat};
  return D3D_OK;
}

// --- GL state cache ---------------------------------------------------------------------
void GlDevice::glEnableCap(int index, GLenum cap, bool on) {
  if (gl.caps[index] == (signed char)on) return;
  if (on) glEnable(cap);
  else glDisable(cap);
  gl.caps[index] = on;
  ++stats.stateCalls;
}

void GlDevice::setDepthMask(bool on) {
  if (gl.depthMask == (GLboolean)on) return;
  glDepthMask(on ? GL_TRUE : GL_FALSE);
  gl.depthMask = on;
  ++stats.stateCalls;
}

void GlDevice::setColorMask(int target, DWORD mask) {
  if (gl.colorMask[target] == mask) return;
  glColorMaski(target, (mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
  gl.colorMask[target] = mask;
  ++stats.stateCalls;
}

void GlDevice::setStencilWriteMask(GLuint mask) {
  if (gl.stencilWriteMask == mask) return;
  glStencilMask(mask);
  gl.stencilWriteMask = mask;
  ++stats.stateCalls;
}

void GlDevice::setScissor(bool on, GLint x, GLint y, GLsizei w, GLsizei h) {
  glEnableCap(CapScissor, GL_SCISSOR_TEST, on);
  if (!on) return;
  if (gl.scissor[0] == x && gl.scissor[1] == y && gl.scissor[2] == w && gl.scissor[3] == h) return;
  glScissor(x, y, w, h);
  gl.scissor[0] = x;
  gl.scissor[1] = y;
  gl.scissor[2] = w;
  gl.scissor[3] = h;
  ++stats.stateCalls;
}

void GlDevice::setClearColor(const float* c) {
  if (std::memcmp(gl.clearColor, c, sizeof gl.clearColor) == 0) return;
  glClearColor(c[0], c[1], c[2], c[3]);
  std::memcpy(gl.clearColor, c, sizeof gl.clearColor);
  ++stats.stateCalls;
}

void GlDevice::bindCopyBuffer(GLuint buffer) {
  if (gl.copyBuffer == buffer) return;
  glBindBuffer(GL_COPY_WRITE_BUFFER, buffer);
  gl.copyBuffer = buffer;
  ++stats.stateCalls;
}

void GlDevice::bindArrayBuffer(GLuint buffer) {
  if (gl.arrayBuffer == buffer) return;
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  gl.arrayBuffer = buffer;
  ++stats.stateCalls;
}

void GlDevice::bindUnitTexture(int unit, GLenum target, GLuint texture) {
  int slot = target == GL_TEXTURE_CUBE_MAP ? 1 : 0;
  if (gl.unitTexture[unit][slot] == texture) return;
  if (gl.activeUnit != unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    gl.activeUnit = unit;
  }
  glBindTexture(target, texture);
  gl.unitTexture[unit][slot] = texture;
  ++stats.stateCalls;
}

void GlDevice::bindTextureForUpdate(GLenum target, GLuint texture) {
  // Updates go through whichever unit is active; the stage bound there is
  // rebound before the next draw.
  int unit = gl.activeUnit >= 0 && gl.activeUnit < GL_D3D_STAGES ? gl.activeUnit : 0;
  bindUnitTexture(unit, target, texture);
  dirtyTextures |= 1u << unit;
}

void GlDevice::bindReadFramebuffer(GLuint fbo) {
  if (gl.readFbo == fbo) return;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
  gl.readFbo = fbo;
  ++stats.stateCalls;
}

void GlDevice::bindDrawFramebuffer(GLuint fbo) {
  if (gl.drawFbo == fbo) return;
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
  gl.drawFbo = fbo;
  ++stats.stateCalls;
}

void GlDevice::bindRenderbuffer(GLuint rb) {
  if (gl.renderbuffer == rb) return;
  glBindRenderbuffer(GL_RENDERBUFFER, rb);
  gl.renderbuffer = rb;
}

void GlDevice::bindProgram(GLuint program) {
  if (gl.program == program) return;
  glUseProgram(program);
  gl.program = program;
  ++stats.stateCalls;
}

void GlDevice::bindVertexArray(GLuint vao) {
  if (gl.vao == vao) return;
  glBindVertexArray(vao);
  gl.vao = vao;
  ++stats.stateCalls;
}

void GlDevice::prepareBlit() {
  glEnableCap(CapScissor, GL_SCISSOR_TEST, false);
  glEnableCap(CapSrgb, GL_FRAMEBUFFER_SRGB, false);
  setColorMask(0, 0xF);
  // The device's own target set is bound again before the next draw.
  dirty |= DirtyScissor | DirtyMisc | DirtyColorMask | DirtyFramebuffer;
}

void GlDevice::textureChanged(GlTextureCore* texture) {
  if (texture->autogen) texture->mipsDirty = true;
  for (int i = 0; i < GL_D3D_STAGES; ++i)
    if (textureCores[i] == texture) dirtyTextures |= 1u << i;
}

// --- forgetting resources ------------------------------------------------------------------
void GlDevice::forgetSurface(const GlSurface* surface) {
  for (size_t i = 0; i < framebuffers.size();) {
    Framebuffer* f = framebuffers[i];
    bool uses = f->depth == surface;
    for (GlSurface* c : f->colors) uses = uses || c == surface;
    if (!uses) {
      ++i;
      continue;
    }
    if (gl.drawFbo == f->fbo) gl.drawFbo = 0xFFFFFFFF;
    if (gl.readFbo == f->fbo) gl.readFbo = 0xFFFFFFFF;
    glDeleteFramebuffers(1, &f->fbo);
    if (currentFramebuffer == f) currentFramebuffer = nullptr;
    delete f;
    framebuffers[i] = framebuffers.back();
    framebuffers.pop_back();
    dirty |= DirtyFramebuffer;
  }
}

void GlDevice::forgetTexture(GLuint texture) {
  // Deleting a texture unbinds it from every unit.
  for (int u = 0; u < GL_D3D_STAGES; ++u)
    for (int s = 0; s < 2; ++s)
      if (gl.unitTexture[u][s] == texture) gl.unitTexture[u][s] = 0;
}

void GlDevice::forgetBuffer(uint64_t serial, bool isIndexBuffer) {
  for (auto it = vertexArrays.begin(); it != vertexArrays.end();) {
    GlVertexArray& va = it->second;
    if (isIndexBuffer) {
      if (va.elementSerial == serial) va.elementSerial = 0;  // deleting the buffer unbound it
      ++it;
      continue;
    }
    bool uses = false;
    for (uint32_t i = 0; i < it->first.count; ++i) uses = uses || it->first.streams[i].buffer == serial;
    if (!uses) {
      ++it;
      continue;
    }
    if (gl.vao == va.vao) gl.vao = 0xFFFFFFFF;
    if (currentVertexArray == &va) currentVertexArray = nullptr;
    glDeleteVertexArrays(1, &va.vao);
    it = vertexArrays.erase(it);
  }
  currentVertexArray = nullptr;
  dirty |= DirtyVertexArray;
}

void GlDevice::forgetDeclaration(uint64_t serial) {
  for (auto it = vertexArrays.begin(); it != vertexArrays.end();) {
    if (it->first.declaration != serial) {
      ++it;
      continue;
    }
    if (gl.vao == it->second.vao) gl.vao = 0xFFFFFFFF;
    glDeleteVertexArrays(1, &it->second.vao);
    it = vertexArrays.erase(it);
  }
  currentVertexArray = nullptr;
  dirty |= DirtyVertexArray;
}

void GlDevice::forgetShader(uint64_t serial) {
  for (auto it = programs.begin(); it != programs.end();) {
    GlProgram* p = it->second;
    if (p->vsSerial != serial && p->psSerial != serial) {
      ++it;
      continue;
    }
    if (gl.program == p->program) gl.program = 0xFFFFFFFF;
    if (currentProgram == p) currentProgram = nullptr;
    if (p->program) glDeleteProgram(p->program);
    delete p;
    it = programs.erase(it);
  }
  currentProgram = nullptr;
  dirty |= DirtyProgram;
}

void GlDevice::destroyPrograms() {
  for (auto& entry : programs) {
    if (entry.second->program) glDeleteProgram(entry.second->program);
    delete entry.second;
  }
  programs.clear();
  currentProgram = nullptr;
}

// --- Present and the back buffer ----------------------------------------------------------
HRESULT GlDevice::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                          const RGNDATA* pDirtyRegion) {
  (void)pDirtyRegion;
  if (lost || !makeCurrent()) return D3DERR_DEVICELOST;
  if (hasResetStatus && glGetGraphicsResetStatus() != GL_NO_ERROR) {
    lost = true;
    return D3DERR_DEVICELOST;
  }
  if (!rectInside(pSourceRect, back->desc)) return D3DERR_INVALIDCALL;
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
                         : fitted(s.right - s.left, s.bottom - s.top, dw, dh);
  prepareBlit();
  bindReadFramebuffer(source);
  bindDrawFramebuffer(0);
  if (!pDestRect && (d.left > 0 || d.top > 0 || d.right < dw || d.bottom < dh)) {
    static const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    setClearColor(black);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  // Row 0 of the back buffer is its top row; the window's is its bottom.
  bool scaled = (s.right - s.left) != (d.right - d.left) || (s.bottom - s.top) != (d.bottom - d.top);
  glBlitFramebuffer(s.left, s.top, s.right, s.bottom, d.left, dh - d.top, d.right, dh - d.bottom,
                    GL_COLOR_BUFFER_BIT, scaled ? GL_LINEAR : GL_NEAREST);
  context->swap(target);
  if (target != own) context->bindWindow(nullptr);
  return D3D_OK;
}

HRESULT GlDevice::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                IDirect3DSurface9** ppBackBuffer) {
  if (ppBackBuffer) *ppBackBuffer = nullptr;
  if (iSwapChain != 0 || iBackBuffer >= pp.BackBufferCount || Type != D3DBACKBUFFER_TYPE_MONO || !ppBackBuffer)
    return D3DERR_INVALIDCALL;
  back->AddRef();
  *ppBackBuffer = back;
  return D3D_OK;
}

// --- resources ----------------------------------------------------------------------------
HRESULT GlDevice::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
  if (ppTexture) *ppTexture = nullptr;
  const D3DCAPS9& caps = GlDirect3D9::halCaps();
  const GlFormat* f = glFormatInfo(Format);
  bool gpuOnly = (Usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) != 0;
  if (!ppTexture || pSharedHandle || Width == 0 || Height == 0 || Width > caps.MaxTextureWidth ||
      Height > caps.MaxTextureHeight || Levels > glFullMipCount(Width, Height) || !f || !f->texture ||
      (Usage & D3DUSAGE_DEPTHSTENCIL) || (gpuOnly && Pool != D3DPOOL_DEFAULT) ||
      ((Usage & D3DUSAGE_DYNAMIC) && Pool == D3DPOOL_MANAGED) || ((Usage & D3DUSAGE_RENDERTARGET) && !f->renderTarget) ||
      (f->blockBytes && !hasS3tc) || Pool == D3DPOOL_SCRATCH)
    return D3DERR_INVALIDCALL;
  if ((Usage & D3DUSAGE_AUTOGENMIPMAP) && (Levels > 1 || !f->renderTarget)) return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  GlTexture* t = new GlTexture(this, Width, Height, Levels, Usage, Format, Pool);
  if (!t->createStorage()) {
    t->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *ppTexture = t;
  return D3D_OK;
}

HRESULT GlDevice::CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                    IDirect3DCubeTexture9** ppCubeTexture, HANDLE* pSharedHandle) {
  if (ppCubeTexture) *ppCubeTexture = nullptr;
  const D3DCAPS9& caps = GlDirect3D9::halCaps();
  const GlFormat* f = glFormatInfo(Format);
  bool gpuOnly = (Usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) != 0;
  if (!ppCubeTexture || pSharedHandle || EdgeLength == 0 || EdgeLength > caps.MaxTextureWidth ||
      Levels > glFullMipCount(EdgeLength, EdgeLength) || !f || !f->texture || (Usage & D3DUSAGE_DEPTHSTENCIL) ||
      (gpuOnly && Pool != D3DPOOL_DEFAULT) || ((Usage & D3DUSAGE_DYNAMIC) && Pool == D3DPOOL_MANAGED) ||
      ((Usage & D3DUSAGE_RENDERTARGET) && !f->renderTarget) || (f->blockBytes && !hasS3tc) ||
      Pool == D3DPOOL_SCRATCH)
    return D3DERR_INVALIDCALL;
  if ((Usage & D3DUSAGE_AUTOGENMIPMAP) && (Levels > 1 || !f->renderTarget)) return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  GlCubeTexture* t = new GlCubeTexture(this, EdgeLength, Levels, Usage, Format, Pool);
  if (!t->createStorage()) {
    t->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *ppCubeTexture = t;
  return D3D_OK;
}

HRESULT GlDevice::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                     IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
  if (ppVertexBuffer) *ppVertexBuffer = nullptr;
  UINT vertexSize = FVF ? d3d9FvfVertexSize(FVF) : 0;
  // A buffer with a vertex format must hold at least one vertex.
  if (!ppVertexBuffer || pSharedHandle || Length == 0 || (FVF && (vertexSize == 0 || Length < vertexSize)) ||
      ((Usage & D3DUSAGE_DYNAMIC) && Pool == D3DPOOL_MANAGED) ||
      (Usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) || Pool == D3DPOOL_SCRATCH)
    return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  GlVertexBuffer* b = new GlVertexBuffer(this, Length, Usage, FVF, Pool);
  if (!b->createStorage(this)) {
    b->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *ppVertexBuffer = b;
  return D3D_OK;
}

HRESULT GlDevice::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                    IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
  if (ppIndexBuffer) *ppIndexBuffer = nullptr;
  UINT indexSize = Format == D3DFMT_INDEX16 ? 2 : Format == D3DFMT_INDEX32 ? 4 : 0;
  if (!ppIndexBuffer || pSharedHandle || indexSize == 0 || Length < indexSize ||
      ((Usage & D3DUSAGE_DYNAMIC) && Pool == D3DPOOL_MANAGED) ||
      (Usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) || Pool == D3DPOOL_SCRATCH)
    return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  GlIndexBuffer* b = new GlIndexBuffer(this, Length, Usage, Format, Pool);
  if (!b->createStorage(this)) {
    b->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *ppIndexBuffer = b;
  return D3D_OK;
}

HRESULT GlDevice::CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                     DWORD MultisampleQuality, BOOL Lockable, IDirect3DSurface9** ppSurface,
                                     HANDLE* pSharedHandle) {
  if (ppSurface) *ppSurface = nullptr;
  const GlFormat* f = glFormatInfo(Format);
  const D3DCAPS9& caps = GlDirect3D9::halCaps();
  if (!ppSurface || pSharedHandle || Width == 0 || Height == 0 || Width > caps.MaxTextureWidth ||
      Height > caps.MaxTextureHeight || !f || !f->renderTarget || (Lockable && MultiSample != D3DMULTISAMPLE_NONE) ||
      d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, Format, TRUE, MultiSample, nullptr) != D3D_OK ||
      MultisampleQuality > 0)
    return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  D3DSURFACE_DESC d = {Format, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, MultiSample,
                       MultisampleQuality, Width, Height};
  GlSurface* s = new GlSurface(this, GlSurface::RenderTarget, d, Lockable != 0);
  if (!s->createStorage()) {
    s->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *ppSurface = s;
  return D3D_OK;
}

HRESULT GlDevice::CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                            DWORD MultisampleQuality, BOOL Discard, IDirect3DSurface9** ppSurface,
                                            HANDLE* pSharedHandle) {
  (void)Discard;
  if (ppSurface) *ppSurface = nullptr;
  const GlFormat* f = glFormatInfo(Format);
  const D3DCAPS9& caps = GlDirect3D9::halCaps();
  if (!ppSurface || pSharedHandle || Width == 0 || Height == 0 || Width > caps.MaxTextureWidth ||
      Height > caps.MaxTextureHeight || !f || !f->depth ||
      d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, Format, TRUE, MultiSample, nullptr) != D3D_OK ||
      MultisampleQuality > 0)
    return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  D3DSURFACE_DESC d = {Format, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, MultiSample,
                       MultisampleQuality, Width, Height};
  GlSurface* s = new GlSurface(this, GlSurface::DepthStencil, d, false);
  if (!s->createStorage()) {
    s->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *ppSurface = s;
  return D3D_OK;
}

HRESULT GlDevice::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                              IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
  if (ppSurface) *ppSurface = nullptr;
  const GlFormat* f = glFormatInfo(Format);
  if (!ppSurface || pSharedHandle || Width == 0 || Height == 0 || Width > 16384 || Height > 16384 ||
      Pool == D3DPOOL_MANAGED || !f || f->depth)
    return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC d = {Format, D3DRTYPE_SURFACE, 0, Pool, D3DMULTISAMPLE_NONE, 0, Width, Height};
  GlSurface* s = new GlSurface(this, GlSurface::Plain, d, true);
  if (!s->createStorage()) {
    s->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *ppSurface = s;
  return D3D_OK;
}

HRESULT GlDevice::GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface) {
  GlSurface* src = asSurface(pRenderTarget);
  GlSurface* dst = asSurface(pDestSurface);
  if (!src || !dst || src->device != this || dst->device != this || !src->isColorTarget() ||
      src->multisampled() || dst->kind != GlSurface::Plain || dst->desc.Pool != D3DPOOL_SYSTEMMEM ||
      src->desc.Width != dst->desc.Width || src->desc.Height != dst->desc.Height ||
      src->desc.Format != dst->desc.Format)
    return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  return src->readPixels(dst->memory.data()) ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT GlDevice::StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                              IDirect3DSurface9* pDestSurface, const RECT* pDestRect, D3DTEXTUREFILTERTYPE Filter) {
  GlSurface* src = asSurface(pSourceSurface);
  GlSurface* dst = asSurface(pDestSurface);
  if (!src || !dst || src == dst || src->device != this || dst->device != this || !dst->isColorTarget() ||
      dst->multisampled() || src->isDepth() || dst->isDepth() || !rectInside(pSourceRect, src->desc) ||
      !rectInside(pDestRect, dst->desc) || Filter > D3DTEXF_LINEAR ||
      (!src->isColorTarget() && src->kind != GlSurface::Plain))
    return D3DERR_INVALIDCALL;
  // Only surfaces of the same kind of data can be copied (no float to
  // normalised conversion of a compressed or depth source).
  if (src->format->blockBytes) return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  GLuint read = src->readFramebuffer();
  if (!read) return D3DERR_INVALIDCALL;
  RECT s = pSourceRect ? *pSourceRect : RECT{0, 0, (LONG)src->desc.Width, (LONG)src->desc.Height};
  RECT d = pDestRect ? *pDestRect : RECT{0, 0, (LONG)dst->desc.Width, (LONG)dst->desc.Height};
  prepareBlit();
  bindReadFramebuffer(read);
  bindDrawFramebuffer(blitFramebuffers[1]);
  dst->attach(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0);
  glBlitFramebuffer(s.left, s.top, s.right, s.bottom, d.left, d.top, d.right, d.bottom, GL_COLOR_BUFFER_BIT,
                    Filter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
  glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
  dst->markContentChanged();
  return D3D_OK;
}

// --- targets and viewport -----------------------------------------------------------------
HRESULT GlDevice::SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) {
  GlSurface* s = asSurface(pRenderTarget);
  if (RenderTargetIndex >= 4 || (RenderTargetIndex == 0 && !s) || (pRenderTarget && (!s || !s->isColorTarget())) ||
      (s && s->device != this))
    return D3DERR_INVALIDCALL;
  hold(targets[RenderTargetIndex], s);
  dirty |= DirtyFramebuffer | (RenderTargetIndex > 0 ? DirtyColorMask : 0u);
  // Setting render target 0 resets the viewport to the whole target.
  if (RenderTargetIndex == 0) {
    view = {0, 0, s->desc.Width, s->desc.Height, 0.0f, 1.0f};
    dirty |= DirtyViewport;
  }
  return D3D_OK;
}

HRESULT GlDevice::GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) {
  if (ppRenderTarget) *ppRenderTarget = nullptr;
  if (RenderTargetIndex >= 4 || !ppRenderTarget) return D3DERR_INVALIDCALL;
  if (!targets[RenderTargetIndex]) return D3DERR_NOTFOUND;
  targets[RenderTargetIndex]->AddRef();
  *ppRenderTarget = targets[RenderTargetIndex];
  return D3D_OK;
}

HRESULT GlDevice::SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) {
  GlSurface* s = asSurface(pNewZStencil);
  if (pNewZStencil && (!s || !s->isDepth() || s->device != this)) return D3DERR_INVALIDCALL;
  hold(depth, s);
  dirty |= DirtyFramebuffer | DirtyRaster;
  return D3D_OK;
}

HRESULT GlDevice::GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) {
  if (ppZStencilSurface) *ppZStencilSurface = nullptr;
  if (!ppZStencilSurface) return D3DERR_INVALIDCALL;
  if (!depth) return D3DERR_NOTFOUND;
  depth->AddRef();
  *ppZStencilSurface = depth;
  return D3D_OK;
}

HRESULT GlDevice::BeginScene() {
  if (sceneOpen) return D3DERR_INVALIDCALL;
  sceneOpen = true;
  return D3D_OK;
}

HRESULT GlDevice::EndScene() {
  if (!sceneOpen) return D3DERR_INVALIDCALL;
  sceneOpen = false;
  return D3D_OK;
}

HRESULT GlDevice::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) {
  bool ok = (Count == 0) == (pRects == nullptr) && Flags != 0 &&
            (Flags & ~(DWORD)(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) == 0 && Z >= 0.0f && Z <= 1.0f;
  if ((Flags & D3DCLEAR_ZBUFFER) && !depth) ok = false;
  if ((Flags & D3DCLEAR_STENCIL) && (!depth || !hasStencil(depth->desc.Format))) ok = false;
  if (!ok) return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3D_OK;  // a lost device drops its rendering, as Direct3D 9 does
  applyFramebuffer();
  if (HRESULT hr = checkFramebuffer()) return hr;
  GLbitfield bits = 0;
  if (Flags & D3DCLEAR_TARGET) {
    float c[4] = {((Color >> 16) & 0xFF) / 255.0f, ((Color >> 8) & 0xFF) / 255.0f, (Color & 0xFF) / 255.0f,
                  ((Color >> 24) & 0xFF) / 255.0f};
    setClearColor(c);
    for (int i = 0; i < 4; ++i)
      if (targets[i]) setColorMask(i, 0xF);
    bits |= GL_COLOR_BUFFER_BIT;
  }
  if (Flags & D3DCLEAR_ZBUFFER) {
    if (gl.clearDepth != Z) {
      glClearDepth(Z);
      gl.clearDepth = Z;
    }
    setDepthMask(true);
    bits |= GL_DEPTH_BUFFER_BIT;
  }
  if (Flags & D3DCLEAR_STENCIL) {
    if (gl.clearStencil != (GLint)(Stencil & 0xFF)) {
      glClearStencil((GLint)(Stencil & 0xFF));
      gl.clearStencil = (GLint)(Stencil & 0xFF);
    }
    setStencilWriteMask(0xFF);
    bits |= GL_STENCIL_BUFFER_BIT;
  }
  glEnableCap(CapSrgb, GL_FRAMEBUFFER_SRGB, false);
  dirty |= DirtyColorMask | DirtyDepth | DirtyStencil | DirtyMisc | DirtyScissor;
  // Clears stay inside the viewport (and the rectangles, when given).
  LONG vx0 = (LONG)view.X, vy0 = (LONG)view.Y, vx1 = (LONG)(view.X + view.Width), vy1 = (LONG)(view.Y + view.Height);
  if (Count == 0) {
    setScissor(true, vx0, vy0, vx1 - vx0, vy1 - vy0);
    glClear(bits);
  } else {
    for (DWORD i = 0; i < Count; ++i) {
      LONG x0 = pRects[i].x1 > vx0 ? pRects[i].x1 : vx0;
      LONG y0 = pRects[i].y1 > vy0 ? pRects[i].y1 : vy0;
      LONG x1 = pRects[i].x2 < vx1 ? pRects[i].x2 : vx1;
      LONG y1 = pRects[i].y2 < vy1 ? pRects[i].y2 : vy1;
      if (x0 >= x1 || y0 >= y1) continue;
      setScissor(true, x0, y0, x1 - x0, y1 - y0);
      glClear(bits);
    }
  }
  for (int i = 0; i < 4; ++i)
    if (targets[i]) targets[i]->markContentChanged();
  return D3D_OK;
}

HRESULT GlDevice::SetViewport(const D3DVIEWPORT9* v) {
  const D3DSURFACE_DESC& t = targets[0]->desc;
  if (!v || v->Width == 0 || v->Height == 0 || (uint64_t)v->X + v->Width > t.Width ||
      (uint64_t)v->Y + v->Height > t.Height || !(v->MinZ >= 0.0f) || !(v->MaxZ <= 1.0f) || v->MinZ > v->MaxZ)
    return D3DERR_INVALIDCALL;
  view = *v;
  dirty |= DirtyViewport;
  return D3D_OK;
}

HRESULT GlDevice::GetViewport(D3DVIEWPORT9* pViewport) {
  if (!pViewport) return D3DERR_INVALIDCALL;
  *pViewport = view;
  return D3D_OK;
}

// --- states ----------------------------------------------------------------------------------
namespace {
// Which part of the GL state a render state feeds.
struct StateGroups {
  uint32_t group[256];
  StateGroups(uint32_t depth, uint32_t raster, uint32_t blend, uint32_t stencil, uint32_t colorMask, uint32_t misc,
              uint32_t program) {
    std::memset(group, 0, sizeof group);
    for (int s : {D3DRS_ZENABLE, D3DRS_ZWRITEENABLE, D3DRS_ZFUNC}) group[s] = depth;
    for (int s : {D3DRS_CULLMODE, D3DRS_FILLMODE, D3DRS_DEPTHBIAS, D3DRS_SLOPESCALEDEPTHBIAS}) group[s] = raster;
    for (int s : {D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND, D3DRS_DESTBLEND, D3DRS_BLENDOP, D3DRS_SEPARATEALPHABLENDENABLE,
                  D3DRS_SRCBLENDALPHA, D3DRS_DESTBLENDALPHA, D3DRS_BLENDOPALPHA, D3DRS_BLENDFACTOR})
      group[s] = blend;
    for (int s : {D3DRS_STENCILENABLE, D3DRS_STENCILFAIL, D3DRS_STENCILZFAIL, D3DRS_STENCILPASS, D3DRS_STENCILFUNC,
                  D3DRS_STENCILREF, D3DRS_STENCILMASK, D3DRS_STENCILWRITEMASK, D3DRS_TWOSIDEDSTENCILMODE,
                  D3DRS_CCW_STENCILFAIL, D3DRS_CCW_STENCILZFAIL, D3DRS_CCW_STENCILPASS, D3DRS_CCW_STENCILFUNC})
      group[s] = stencil;
    for (int s : {D3DRS_COLORWRITEENABLE, D3DRS_COLORWRITEENABLE1, D3DRS_COLORWRITEENABLE2, D3DRS_COLORWRITEENABLE3})
      group[s] = colorMask;
    for (int s : {D3DRS_SRGBWRITEENABLE, D3DRS_MULTISAMPLEANTIALIAS, D3DRS_DITHERENABLE}) group[s] = misc;
    // The alpha test lives in the pixel program (GL core has none).
    group[D3DRS_ALPHATESTENABLE] = group[D3DRS_ALPHAFUNC] = program;
  }
};
}  // namespace

HRESULT GlDevice::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
  static const StateGroups groups(DirtyDepth, DirtyRaster, DirtyBlend, DirtyStencil, DirtyColorMask, DirtyMisc,
                                  DirtyProgram);
  if (State >= 256 || State == 0) return D3DERR_INVALIDCALL;
  if (renderStates[State] != Value) {
    renderStates[State] = Value;
    dirty |= groups.group[State];
  }
  return D3D_OK;
}

HRESULT GlDevice::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
  // A pure device answers no Get of states (Direct3D 9 behaviour).
  if (State >= 256 || !pValue || (behavior & D3DCREATE_PUREDEVICE)) return D3DERR_INVALIDCALL;
  *pValue = renderStates[State];
  return D3D_OK;
}

HRESULT GlDevice::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
  if (ppTexture) *ppTexture = nullptr;
  int i = glStageIndex(Stage);
  if (i < 0 || !ppTexture || (behavior & D3DCREATE_PUREDEVICE)) return D3DERR_INVALIDCALL;
  if (textures[i]) textures[i]->AddRef();
  *ppTexture = textures[i];
  return D3D_OK;
}

HRESULT GlDevice::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
  int i = glStageIndex(Stage);
  if (i < 0) return D3DERR_INVALIDCALL;
  if (textures[i] == pTexture) return D3D_OK;
  GlTextureCore* core = pTexture ? dynamic_cast<GlTextureCore*>(pTexture) : nullptr;
  if (pTexture && (!core || core->textureDevice != this)) return D3DERR_INVALIDCALL;
  hold(textures[i], pTexture);
  textureCores[i] = core;
  dirtyTextures |= 1u << i;
  return D3D_OK;
}

HRESULT GlDevice::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
  int i = glStageIndex(Sampler);
  if (i < 0 || Type < 1 || Type >= GL_D3D_SAMPLER_STATES || !pValue || (behavior & D3DCREATE_PUREDEVICE))
    return D3DERR_INVALIDCALL;
  *pValue = samplerStates[i][Type];
  return D3D_OK;
}

HRESULT GlDevice::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
  int i = glStageIndex(Sampler);
  if (i < 0 || Type < 1 || Type >= GL_D3D_SAMPLER_STATES) return D3DERR_INVALIDCALL;
  if (samplerStates[i][Type] != Value) {
    samplerStates[i][Type] = Value;
    dirtySamplers |= 1u << i;
  }
  return D3D_OK;
}

// --- shaders and constants ---------------------------------------------------------------
HRESULT GlDevice::CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) {
  if (ppShader) *ppShader = nullptr;
  if (!ppShader || !pFunction) return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  GlVertexShader* s = new GlVertexShader(this);
  std::string error;
  if (!s->init(pFunction, GL_VERTEX_SHADER, error)) {
    if (!error.empty()) std::fprintf(stderr, "Direct3D 9 (OpenGL): CreateVertexShader: %s\n", error.c_str());
    s->Release();
    return D3DERR_INVALIDCALL;
  }
  *ppShader = s;
  return D3D_OK;
}

HRESULT GlDevice::CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) {
  if (ppShader) *ppShader = nullptr;
  if (!ppShader || !pFunction) return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  GlPixelShader* s = new GlPixelShader(this);
  std::string error;
  if (!s->init(pFunction, GL_FRAGMENT_SHADER, error)) {
    if (!error.empty()) std::fprintf(stderr, "Direct3D 9 (OpenGL): CreatePixelShader: %s\n", error.c_str());
    s->Release();
    return D3DERR_INVALIDCALL;
  }
  *ppShader = s;
  return D3D_OK;
}

HRESULT GlDevice::SetVertexShader(IDirect3DVertexShader9* pShader) {
  GlVertexShader* s = pShader ? dynamic_cast<GlVertexShader*>(pShader) : nullptr;
  if (pShader && (!s || s->device != this)) return D3DERR_INVALIDCALL;
  if (s == vs) return D3D_OK;
  hold(vs, s);
  dirty |= DirtyProgram;
  return D3D_OK;
}

HRESULT GlDevice::GetVertexShader(IDirect3DVertexShader9** ppShader) {
  if (ppShader) *ppShader = nullptr;
  if (!ppShader) return D3DERR_INVALIDCALL;
  if (vs) vs->AddRef();
  *ppShader = vs;
  return D3D_OK;
}

HRESULT GlDevice::SetPixelShader(IDirect3DPixelShader9* pShader) {
  GlPixelShader* s = pShader ? dynamic_cast<GlPixelShader*>(pShader) : nullptr;
  if (pShader && (!s || s->device != this)) return D3DERR_INVALIDCALL;
  if (s == ps) return D3D_OK;
  hold(ps, s);
  dirty |= DirtyProgram;
  return D3D_OK;
}

HRESULT GlDevice::GetPixelShader(IDirect3DPixelShader9** ppShader) {
  if (ppShader) *ppShader = nullptr;
  if (!ppShader) return D3DERR_INVALIDCALL;
  if (ps) ps->AddRef();
  *ppShader = ps;
  return D3D_OK;
}

HRESULT GlDevice::SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) {
  if (!pConstantData || (uint64_t)StartRegister + Vector4fCount > D3D9_VERTEX_SHADER_CONSTANT_REGISTERS)
    return D3DERR_INVALIDCALL;
  std::memcpy(vsConstants[StartRegister], pConstantData, (size_t)Vector4fCount * 16);
  ++vsVersion;
  return D3D_OK;
}

HRESULT GlDevice::GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) {
  if (!pConstantData || (uint64_t)StartRegister + Vector4fCount > D3D9_VERTEX_SHADER_CONSTANT_REGISTERS ||
      (behavior & D3DCREATE_PUREDEVICE))
    return D3DERR_INVALIDCALL;
  std::memcpy(pConstantData, vsConstants[StartRegister], (size_t)Vector4fCount * 16);
  return D3D_OK;
}

HRESULT GlDevice::SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) {
  if (!pConstantData || (uint64_t)StartRegister + Vector4fCount > D3D9_PIXEL_SHADER_CONSTANT_REGISTERS)
    return D3DERR_INVALIDCALL;
  std::memcpy(psConstants[StartRegister], pConstantData, (size_t)Vector4fCount * 16);
  ++psVersion;
  return D3D_OK;
}

HRESULT GlDevice::GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) {
  if (!pConstantData || (uint64_t)StartRegister + Vector4fCount > D3D9_PIXEL_SHADER_CONSTANT_REGISTERS ||
      (behavior & D3DCREATE_PUREDEVICE))
    return D3DERR_INVALIDCALL;
  std::memcpy(pConstantData, psConstants[StartRegister], (size_t)Vector4fCount * 16);
  return D3D_OK;
}

// --- streams and declarations ----------------------------------------------------------------
HRESULT GlDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                          IDirect3DVertexDeclaration9** ppDecl) {
  if (ppDecl) *ppDecl = nullptr;
  if (!pVertexElements || !ppDecl) return D3DERR_INVALIDCALL;
  UINT count = 0;
  while (count < MAXD3DDECLLENGTH && pVertexElements[count].Stream != 0xFF) {
    const D3DVERTEXELEMENT9& e = pVertexElements[count];
    bool ok = e.Stream < 16 && e.Type < D3DDECLTYPE_UNUSED && e.Method <= D3DDECLMETHOD_LOOKUPPRESAMPLED &&
              e.Usage <= MAXD3DDECLUSAGE && e.UsageIndex <= MAXD3DDECLUSAGEINDEX && (e.Offset & 3) == 0;
    for (UINT k = 0; k < count && ok; ++k)
      if (pVertexElements[k].Usage == e.Usage && pVertexElements[k].UsageIndex == e.UsageIndex) ok = false;
    if (!ok) return D3DERR_INVALIDCALL;
    ++count;
  }
  if (count == MAXD3DDECLLENGTH) return D3DERR_INVALIDCALL;
  *ppDecl = new GlVertexDeclaration(this, pVertexElements, count);
  return D3D_OK;
}

HRESULT GlDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) {
  GlVertexDeclaration* d = pDecl ? dynamic_cast<GlVertexDeclaration*>(pDecl) : nullptr;
  if (pDecl && (!d || d->device != this)) return D3DERR_INVALIDCALL;
  if (d == declaration) return D3D_OK;
  bool kindChanged = !declaration || !d || declaration->pretransformed != d->pretransformed;
  hold(declaration, d);
  dirty |= DirtyVertexArray;
  if (kindChanged) dirty |= DirtyProgram;
  return D3D_OK;
}

HRESULT GlDevice::GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) {
  if (ppDecl) *ppDecl = nullptr;
  if (!ppDecl) return D3DERR_INVALIDCALL;
  if (declaration) declaration->AddRef();
  *ppDecl = declaration;
  return D3D_OK;
}

HRESULT GlDevice::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                  UINT Stride) {
  GlVertexBuffer* b = pStreamData ? dynamic_cast<GlVertexBuffer*>(pStreamData) : nullptr;
  if (StreamNumber >= 16 || (pStreamData && (!b || b->device != this)) || (OffsetInBytes & 3) != 0 || Stride > 255)
    return D3DERR_INVALIDCALL;
  Stream& s = streams[StreamNumber];
  if (s.buffer == b && s.offset == OffsetInBytes && s.stride == Stride) return D3D_OK;
  hold(s.buffer, b);
  s.offset = OffsetInBytes;
  s.stride = Stride;
  dirty |= DirtyVertexArray;
  return D3D_OK;
}

HRESULT GlDevice::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                                  UINT* pStride) {
  if (ppStreamData) *ppStreamData = nullptr;
  if (StreamNumber >= 16 || !ppStreamData || !pOffsetInBytes || !pStride) return D3DERR_INVALIDCALL;
  if (streams[StreamNumber].buffer) streams[StreamNumber].buffer->AddRef();
  *ppStreamData = streams[StreamNumber].buffer;
  *pOffsetInBytes = streams[StreamNumber].offset;
  *pStride = streams[StreamNumber].stride;
  return D3D_OK;
}

HRESULT GlDevice::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
  GlIndexBuffer* b = pIndexData ? dynamic_cast<GlIndexBuffer*>(pIndexData) : nullptr;
  if (pIndexData && (!b || b->device != this)) return D3DERR_INVALIDCALL;
  hold(indexBuffer, b);
  return D3D_OK;
}

HRESULT GlDevice::GetIndices(IDirect3DIndexBuffer9** ppIndexData) {
  if (ppIndexData) *ppIndexData = nullptr;
  if (!ppIndexData) return D3DERR_INVALIDCALL;
  if (indexBuffer) indexBuffer->AddRef();
  *ppIndexData = indexBuffer;
  return D3D_OK;
}
