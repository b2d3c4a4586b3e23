// Surfaces and textures of the OpenGL device, and the device calls that
// create them.

#include "platform/d3d9/gl/GlDevice.h"

#include <cstdio>
#include <cstring>

namespace {

GLsizei sampleCount(D3DMULTISAMPLE_TYPE type) {
  if (type == D3DMULTISAMPLE_NONE) return 0;
  if (type == D3DMULTISAMPLE_NONMASKABLE) return 4;
  return (GLsizei)type;
}

}  // namespace

// --- common ------------------------------------------------------------------------------
GlResource::GlResource(GlDevice* d, bool isCounted) : device(d), serial(glNextSerial()), counted(isCounted) {
  if (counted) device->resourceCreated();
}

GlResource::~GlResource() {
  if (counted) device->resourceDestroyed();
}

ULONG GlResource::releaseRef() {
  if (refs == 0) return 0;  // over-release: nothing left to free
  ULONG left = --refs;
  if (left == 0) delete this;
  return left;
}

HRESULT GlResource::giveDevice(IDirect3DDevice9** out) const {
  if (HRESULT hr = d3d9CheckOut("GetDevice", out)) return hr;
  device->AddRef();
  *out = device;
  return D3D_OK;
}

D3D9SurfaceArg surfaceArg(const GlSurface* s) {
  return {s ? &s->desc : nullptr, s && s->kind == GlSurface::TextureLevel};
}

// --- surfaces ------------------------------------------------------------------------------
GlSurface::GlSurface(GlDevice* d, GlTextureCore* owner, IUnknown* ownerObject, UINT faceIndex, UINT levelIndex,
                     const D3DSURFACE_DESC& surfaceDesc)
    : GlResource(d, false), kind(TextureLevel), desc(surfaceDesc), format(glFormatInfo(surfaceDesc.Format)),
      container(owner), containerObject(ownerObject), face(faceIndex), level(levelIndex), lockable(owner->lockable) {}

GlSurface::GlSurface(GlDevice* d, Kind k, const D3DSURFACE_DESC& surfaceDesc, bool canLock)
    : GlResource(d, true), kind(k), desc(surfaceDesc), format(glFormatInfo(surfaceDesc.Format)), lockable(canLock) {
  samples = sampleCount(desc.MultiSampleType);
}

bool GlSurface::createStorage() {
  if (kind == Plain) {
    memory.assign(d3d9LevelBytes(desc.Format, desc.Width, desc.Height), 0);
    return true;
  }
  if (kind == TextureLevel) return true;
  if (!device->makeCurrent()) return false;
  glClearErrors();
  glGenRenderbuffers(1, &renderbuffer);
  device->glState().bindRenderbuffer(renderbuffer);
  GLenum internal = kind == DepthStencil ? format->internal
                    : device->srgbTextures() ? glTextureInternal(*format)
                                             : format->internal;
  if (samples > 0)
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, internal, (GLsizei)desc.Width, (GLsizei)desc.Height);
  else
    glRenderbufferStorage(GL_RENDERBUFFER, internal, (GLsizei)desc.Width, (GLsizei)desc.Height);
  return glGetError() == GL_NO_ERROR;
}

GlSurface::~GlSurface() {
  if (device->makeCurrent()) {
    device->forgetSurface(this);
    if (fbo) glDeleteFramebuffers(1, &fbo);
    if (resolveFbo) glDeleteFramebuffers(1, &resolveFbo);
    if (resolveRenderbuffer) glDeleteRenderbuffers(1, &resolveRenderbuffer);
    if (renderbuffer) {
      if (kind == Plain) {
        device->glState().forgetTexture(renderbuffer);
        glDeleteTextures(1, &renderbuffer);
      } else {
        glDeleteRenderbuffers(1, &renderbuffer);
      }
    }
  }
}

// A texture level's surface shares the reference count of its texture.
ULONG GlSurface::AddRef() { return containerObject ? containerObject->AddRef() : ++refs; }
ULONG GlSurface::Release() { return containerObject ? containerObject->Release() : releaseRef(); }

HRESULT GlSurface::GetDevice(IDirect3DDevice9** ppDevice) { return giveDevice(ppDevice); }

HRESULT GlSurface::GetDesc(D3DSURFACE_DESC* pDesc) {
  if (HRESULT hr = d3d9CheckOut(__func__, pDesc)) return hr;
  *pDesc = desc;
  return D3D_OK;
}

void GlSurface::attach(GLenum fboTarget, GLenum attachment) const {
  if (kind == TextureLevel)
    glFramebufferTexture2D(fboTarget, attachment, container->faceTarget(face), container->texture, (GLint)level);
  else
    glFramebufferRenderbuffer(fboTarget, attachment, GL_RENDERBUFFER, renderbuffer);
}

void GlSurface::markContentChanged() {
  if (container && container->autogen) device->textureChanged(container);
}

GLuint GlSurface::readFramebuffer() {
  GLuint samplesFbo = sampleFramebuffer();
  if (!samplesFbo || samples == 0) return samplesFbo;
  // Multisampled: resolve into a single-sampled copy of the same size.
  if (!resolveFbo) {
    glGenRenderbuffers(1, &resolveRenderbuffer);
    device->glState().bindRenderbuffer(resolveRenderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, device->srgbTextures() ? glTextureInternal(*format) : format->internal,
                          (GLsizei)desc.Width, (GLsizei)desc.Height);
    glGenFramebuffers(1, &resolveFbo);
    device->glState().bindReadFramebuffer(resolveFbo);
    glFramebufferRenderbuffer(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, resolveRenderbuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
  }
  device->prepareBlit();
  device->glState().bindReadFramebuffer(fbo);
  device->glState().bindDrawFramebuffer(resolveFbo);
  device->blit(0, 0, (GLint)desc.Width, (GLint)desc.Height, 0, 0, (GLint)desc.Width, (GLint)desc.Height, GL_NEAREST);
  return resolveFbo;
}

GLuint GlSurface::sampleFramebuffer() {
  if (isDepth() || d3d9BlockBytes(desc.Format)) return 0;
  if (kind == Plain) {
    // A plain surface lives in memory: copy it into a texture to read from.
    if (!renderbuffer) glGenTextures(1, &renderbuffer);
    device->bindTextureForUpdate(GL_TEXTURE_2D, renderbuffer);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, format->internal, (GLsizei)desc.Width, (GLsizei)desc.Height, 0, format->format,
                 format->type, memory.data());
  }
  if (!fbo) {
    glGenFramebuffers(1, &fbo);
    device->glState().bindReadFramebuffer(fbo);
    if (kind == Plain)
      glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, renderbuffer, 0);
    else
      attach(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
  }
  return fbo;
}

bool GlSurface::readPixels(uint8_t* out) {
  if (isDepth() || d3d9BlockBytes(desc.Format) || !out) return false;
  if (kind == Plain) {
    std::memcpy(out, memory.data(), memory.size());
    return true;
  }
  GLuint read = readFramebuffer();
  if (!read) return false;
  device->glState().bindReadFramebuffer(read);
  // Row 0 of a surface is its top row, as GL's row 0 of every framebuffer
  // object here: the rows come back in Direct3D order.
  glReadPixels(0, 0, (GLsizei)desc.Width, (GLsizei)desc.Height, format->format, format->type, out);
  return true;
}

HRESULT GlSurface::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  if (kind == TextureLevel) return container->lockLevel(face, level, pLockedRect, pRect, Flags);
  size_t offset;
  if (HRESULT hr = d3d9CheckLockRect("LockRect", desc, lockable, locked, pRect, pLockedRect, &offset)) return hr;
  if (kind != Plain) {
    // A lockable render target: the lock reads its pixels back.
    memory.resize(d3d9LevelBytes(desc.Format, desc.Width, desc.Height));
    if (!(Flags & D3DLOCK_DISCARD)) {
      if (!device->makeCurrent() || !readPixels(memory.data())) return D3DERR_INVALIDCALL;
    }
  }
  locked = true;
  lockRect = pRect ? *pRect : RECT{0, 0, (LONG)desc.Width, (LONG)desc.Height};
  lockFlags = Flags;
  pLockedRect->Pitch = (INT)d3d9Pitch(desc.Format, desc.Width);
  pLockedRect->pBits = memory.data() + offset;
  return D3D_OK;
}

HRESULT GlSurface::UnlockRect() {
  if (kind == TextureLevel) return container->unlockLevel(face, level);
  if (HRESULT hr = d3d9CheckUnlock(__func__, locked)) return hr;
  locked = false;
  if (kind == Plain || (lockFlags & D3DLOCK_READONLY)) return D3D_OK;
  if (!device->makeCurrent()) return D3D_OK;
  // Write the locked rows back: through a texture blitted onto the surface.
  GLuint texture = 0;
  glGenTextures(1, &texture);
  device->bindTextureForUpdate(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, format->internal, (GLsizei)desc.Width, (GLsizei)desc.Height, 0, format->format,
               format->type, memory.data());
  device->prepareBlit();
  GLuint source = 0;
  glGenFramebuffers(1, &source);
  device->glState().bindReadFramebuffer(source);
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  sampleFramebuffer();  // makes sure this surface has its framebuffer
  device->glState().bindReadFramebuffer(source);
  device->glState().bindDrawFramebuffer(fbo);
  device->blit(lockRect.left, lockRect.top, lockRect.right, lockRect.bottom, lockRect.left, lockRect.top,
               lockRect.right, lockRect.bottom, GL_NEAREST);
  device->glState().bindReadFramebuffer(0);
  glDeleteFramebuffers(1, &source);
  device->glState().forgetTexture(texture);
  glDeleteTextures(1, &texture);
  return D3D_OK;
}


// --- textures --------------------------------------------------------------------------------
GlTextureCore::GlTextureCore(GlDevice* d, GLenum glTarget, UINT w, UINT h, UINT levelsWanted, DWORD use,
                             D3DFORMAT f, D3DPOOL p)
    : textureDevice(d), textureSerial(glNextSerial()), target(glTarget), format(glFormatInfo(f)), d3dFormat(f),
      usage(use), pool(p), width(w), height(h) {
  autogen = (usage & D3DUSAGE_AUTOGENMIPMAP) != 0;
  levelCount = d3d9LevelCount(w, h, levelsWanted, usage);
  glLevels = autogen ? d3d9FullMipCount(w, h) : levelCount;
  lockable = !(usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) &&
             (pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC));
  faceCount = target == GL_TEXTURE_CUBE_MAP ? 6 : 1;
  for (UINT face = 0; face < faceCount; ++face) {
    levels[face].resize(levelCount);
    for (UINT i = 0; i < levelCount; ++i) {
      levels[face][i].width = d3d9MipExtent(w, i);
      levels[face][i].height = d3d9MipExtent(h, i);
    }
  }
}

GlTextureCore::~GlTextureCore() {
  for (UINT face = 0; face < faceCount; ++face)
    for (Level& l : levels[face]) delete l.surface;
  if (texture && textureDevice->makeCurrent()) {
    textureDevice->glState().forgetTexture(texture);
    glDeleteTextures(1, &texture);
  }
}

GLenum GlTextureCore::faceTarget(UINT face) const {
  return target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : GL_TEXTURE_2D;
}

void GlTextureCore::createSurfaces(IUnknown* owner) {
  for (UINT face = 0; face < faceCount; ++face)
    for (UINT i = 0; i < levelCount; ++i) {
      D3DSURFACE_DESC d;
      getLevelDesc(i, &d);
      levels[face][i].surface = new GlSurface(textureDevice, this, owner, face, i, d);
    }
}

bool GlTextureCore::createStorage() {
  glClearErrors();
  glGenTextures(1, &texture);
  textureDevice->bindTextureForUpdate(target, texture);
  glTexParameteri(target, GL_TEXTURE_BASE_LEVEL, 0);
  // Only the levels that exist are sampled (Direct3D allows partial chains).
  glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, (GLint)glLevels - 1);
  glTexParameteriv(target, GL_TEXTURE_SWIZZLE_RGBA, format->swizzle);
  GLenum internal = textureDevice->srgbTextures() ? glTextureInternal(*format) : format->internal;
  // Storage only: a level's pixels travel once, when it is unlocked.
  for (UINT face = 0; face < faceCount; ++face) {
    for (UINT i = 0; i < glLevels; ++i) {
      UINT lw = d3d9MipExtent(width, i), lh = d3d9MipExtent(height, i);
      if (lockable && i < levelCount) levels[face][i].data.assign(d3d9LevelBytes(d3dFormat, lw, lh), 0);
      if (d3d9BlockBytes(d3dFormat))
        glCompressedTexImage2D(faceTarget(face), (GLint)i, internal, (GLsizei)lw, (GLsizei)lh, 0,
                               (GLsizei)d3d9LevelBytes(d3dFormat, lw, lh), nullptr);
      else
        glTexImage2D(faceTarget(face), (GLint)i, (GLint)internal, (GLsizei)lw, (GLsizei)lh, 0, format->format,
                     format->type, nullptr);
    }
  }
  return glGetError() == GL_NO_ERROR;
}

void GlTextureCore::getLevelDesc(UINT level, D3DSURFACE_DESC* desc) const {
  const Level& l = levels[0][level];
  *desc = {d3dFormat, D3DRTYPE_SURFACE, usage, pool, D3DMULTISAMPLE_NONE, 0, l.width, l.height};
}

HRESULT GlTextureCore::lockLevel(UINT face, UINT level, D3DLOCKED_RECT* out, const RECT* rect, DWORD flags) {
  Level& l = levels[face][level];
  size_t offset;
  if (HRESULT hr = d3d9CheckLockRect("LockRect", l.surface->desc, lockable, l.locked, rect, out, &offset)) return hr;
  l.locked = true;
  l.rect = rect ? *rect : RECT{0, 0, (LONG)l.width, (LONG)l.height};
  l.flags = flags;
  out->Pitch = (INT)d3d9Pitch(d3dFormat, l.width);
  out->pBits = l.data.data() + offset;
  return D3D_OK;
}

HRESULT GlTextureCore::unlockLevel(UINT face, UINT level) {
  Level& l = levels[face][level];
  if (HRESULT hr = d3d9CheckUnlock("UnlockRect", l.locked)) return hr;
  l.locked = false;
  if ((l.flags & D3DLOCK_READONLY) || !textureDevice->makeCurrent()) return D3D_OK;
  // Upload the rows the lock covered (whole rows of 4x4 blocks for DXTn).
  UINT pitch = d3d9Pitch(d3dFormat, l.width);
  UINT top = (UINT)l.rect.top, bottom = (UINT)l.rect.bottom;
  bool blocks = d3d9BlockBytes(d3dFormat) != 0;
  if (blocks) {
    top &= ~3u;
    bottom = (bottom + 3) & ~3u;
    if (bottom > l.height) bottom = l.height;
  }
  textureDevice->bindTextureForUpdate(target, texture);
  const uint8_t* rows = l.data.data() + (size_t)d3d9Rows(d3dFormat, top) * pitch;
  if (blocks) {
    GLenum internal = textureDevice->srgbTextures() ? glTextureInternal(*format) : format->internal;
    glCompressedTexSubImage2D(faceTarget(face), (GLint)level, 0, (GLint)top, (GLsizei)l.width, (GLsizei)(bottom - top),
                              internal, (GLsizei)(pitch * ((bottom - top + 3) / 4)), rows);
  } else {
    glTexSubImage2D(faceTarget(face), (GLint)level, 0, (GLint)top, (GLsizei)l.width, (GLsizei)(bottom - top),
                    format->format, format->type, rows);
  }
  if (autogen && level == 0) textureDevice->textureChanged(this);
  return D3D_OK;
}

void GlTextureCore::updateMips() {
  if (!autogen || !mipsDirty) return;
  textureDevice->bindTextureForUpdate(target, texture);
  glGenerateMipmap(target);
  mipsDirty = false;
}

GlTexture::GlTexture(GlDevice* d, UINT w, UINT h, UINT levels, DWORD use, D3DFORMAT f, D3DPOOL p)
    : GlResource(d, true), GlTextureCore(d, GL_TEXTURE_2D, w, h, levels, use, f, p) {
  createSurfaces(this);
}

GlTexture::~GlTexture() {}

HRESULT GlTexture::GetDevice(IDirect3DDevice9** ppDevice) { return giveDevice(ppDevice); }

void GlTexture::GenerateMipSubLevels() {
  if (!autogen || !device->makeCurrent()) return;
  mipsDirty = true;
  updateMips();
}

HRESULT GlTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  if (HRESULT hr = d3d9CheckLevel(__func__, Level, levelCount, pDesc)) return hr;
  getLevelDesc(Level, pDesc);
  return D3D_OK;
}

HRESULT GlTexture::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) {
  if (ppSurfaceLevel) *ppSurfaceLevel = nullptr;
  if (HRESULT hr = d3d9CheckLevel(__func__, Level, levelCount, ppSurfaceLevel)) return hr;
  AddRef();
  *ppSurfaceLevel = levels[0][Level].surface;
  return D3D_OK;
}

HRESULT GlTexture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  if (HRESULT hr = d3d9CheckLevel(__func__, Level, levelCount)) return hr;
  return lockLevel(0, Level, pLockedRect, pRect, Flags);
}

HRESULT GlTexture::UnlockRect(UINT Level) {
  if (HRESULT hr = d3d9CheckLevel(__func__, Level, levelCount)) return hr;
  return unlockLevel(0, Level);
}

GlCubeTexture::GlCubeTexture(GlDevice* d, UINT edge, UINT levels, DWORD use, D3DFORMAT f, D3DPOOL p)
    : GlResource(d, true), GlTextureCore(d, GL_TEXTURE_CUBE_MAP, edge, edge, levels, use, f, p) {
  createSurfaces(this);
}

GlCubeTexture::~GlCubeTexture() {}

HRESULT GlCubeTexture::GetDevice(IDirect3DDevice9** ppDevice) { return giveDevice(ppDevice); }

void GlCubeTexture::GenerateMipSubLevels() {
  if (!autogen || !device->makeCurrent()) return;
  mipsDirty = true;
  updateMips();
}

HRESULT GlCubeTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  if (HRESULT hr = d3d9CheckLevel(__func__, Level, levelCount, pDesc)) return hr;
  getLevelDesc(Level, pDesc);
  return D3D_OK;
}

HRESULT GlCubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level, IDirect3DSurface9** ppCubeMapSurface) {
  if (ppCubeMapSurface) *ppCubeMapSurface = nullptr;
  if (HRESULT hr = d3d9CheckFace(__func__, FaceType, Level, levelCount, ppCubeMapSurface)) return hr;
  AddRef();
  *ppCubeMapSurface = levels[FaceType][Level].surface;
  return D3D_OK;
}

HRESULT GlCubeTexture::LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                DWORD Flags) {
  if (HRESULT hr = d3d9CheckFace(__func__, FaceType, Level, levelCount)) return hr;
  return lockLevel((UINT)FaceType, Level, pLockedRect, pRect, Flags);
}

HRESULT GlCubeTexture::UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) {
  if (HRESULT hr = d3d9CheckFace(__func__, FaceType, Level, levelCount)) return hr;
  return unlockLevel((UINT)FaceType, Level);
}

// --- device calls ------------------------------------------------------------------------
bool GlDevice::textureFormatOk(D3DFORMAT format, DWORD usage) const {
  const GlFormat* f = glFormatInfo(format);
  // Automatic mipmaps are rendered, so they need a renderable format too.
  bool rendered = (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP)) != 0;
  return f && f->texture && !(usage & D3DUSAGE_DEPTHSTENCIL) && (!rendered || f->renderTarget) &&
         (!d3d9BlockBytes(format) || hasS3tc);
}

bool GlDevice::multisampleOk(D3DFORMAT format, D3DMULTISAMPLE_TYPE type) const {
  return d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, format, TRUE, type, nullptr) == D3D_OK;
}

HRESULT GlDevice::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
  if (ppTexture) *ppTexture = nullptr;
  if (HRESULT hr = d3d9CheckCreateTexture(__func__, Width, Height, Levels, Usage, Pool, textureFormatOk(Format, Usage), ppTexture,
                                          pSharedHandle))
    return hr;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  GlTexture* t = new GlTexture(this, Width, Height, Levels, Usage, Format, Pool);
  return handOut(t, t->createStorage(), ppTexture);
}

HRESULT GlDevice::CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                    IDirect3DCubeTexture9** ppCubeTexture, HANDLE* pSharedHandle) {
  if (ppCubeTexture) *ppCubeTexture = nullptr;
  if (HRESULT hr = d3d9CheckCreateCubeTexture(__func__, EdgeLength, Levels, Usage, Pool, textureFormatOk(Format, Usage),
                                              ppCubeTexture, pSharedHandle))
    return hr;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  GlCubeTexture* t = new GlCubeTexture(this, EdgeLength, Levels, Usage, Format, Pool);
  return handOut(t, t->createStorage(), ppCubeTexture);
}

HRESULT GlDevice::CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                     DWORD MultisampleQuality, BOOL Lockable, IDirect3DSurface9** ppSurface,
                                     HANDLE* pSharedHandle) {
  if (ppSurface) *ppSurface = nullptr;
  const GlFormat* f = glFormatInfo(Format);
  if (HRESULT hr = d3d9CheckCreateRenderTarget(__func__, Width, Height, MultiSample, MultisampleQuality, Lockable,
                                               f && f->renderTarget, multisampleOk(Format, MultiSample), ppSurface,
                                               pSharedHandle))
    return hr;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  D3DSURFACE_DESC d = {Format, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, MultiSample,
                       MultisampleQuality, Width, Height};
  GlSurface* s = new GlSurface(this, GlSurface::RenderTarget, d, Lockable != 0);
  return handOut(s, s->createStorage(), ppSurface);
}

HRESULT GlDevice::CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                            DWORD MultisampleQuality, BOOL Discard, IDirect3DSurface9** ppSurface,
                                            HANDLE* pSharedHandle) {
  (void)Discard;
  if (ppSurface) *ppSurface = nullptr;
  const GlFormat* f = glFormatInfo(Format);
  if (HRESULT hr = d3d9CheckCreateDepthStencilSurface(__func__, Width, Height, MultisampleQuality, f && f->depth,
                                                      multisampleOk(Format, MultiSample), ppSurface, pSharedHandle))
    return hr;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  D3DSURFACE_DESC d = {Format, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, MultiSample,
                       MultisampleQuality, Width, Height};
  GlSurface* s = new GlSurface(this, GlSurface::DepthStencil, d, false);
  return handOut(s, s->createStorage(), ppSurface);
}

HRESULT GlDevice::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                              IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
  if (ppSurface) *ppSurface = nullptr;
  if (HRESULT hr = d3d9CheckCreateOffscreenPlainSurface(__func__, Width, Height, Format, Pool, glFormatInfo(Format) != nullptr,
                                                        ppSurface, pSharedHandle))
    return hr;
  D3DSURFACE_DESC d = {Format, D3DRTYPE_SURFACE, 0, Pool, D3DMULTISAMPLE_NONE, 0, Width, Height};
  GlSurface* s = new GlSurface(this, GlSurface::Plain, d, true);
  return handOut(s, s->createStorage(), ppSurface);
}
