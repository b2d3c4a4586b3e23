// Resources of the OpenGL device: surfaces, textures, buffers, vertex
// declarations and shaders.

#include "platform/d3d9/gl/GlDevice.h"

#include <cstdio>
#include <cstring>

namespace {

void clearGlErrors() {
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

// Validates a lock rectangle against a level (block-aligned for DXTn) and
// returns the byte offset of its first texel.
bool lockOffset(const GlFormat& f, UINT width, UINT height, const RECT* r, size_t* offset) {
  *offset = 0;
  if (!r) return true;
  if (r->left < 0 || r->top < 0 || r->left >= r->right || r->top >= r->bottom || (UINT)r->right > width ||
      (UINT)r->bottom > height)
    return false;
  UINT pitch = glFormatPitch(f, width);
  if (f.blockBytes) {
    if ((r->left & 3) || (r->top & 3)) return false;
    *offset = (size_t)(r->top / 4) * pitch + (size_t)(r->left / 4) * f.blockBytes;
  } else {
    *offset = (size_t)r->top * pitch + (size_t)r->left * f.bytesPerTexel;
  }
  return true;
}

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

static HRESULT deviceOut(GlDevice* device, IDirect3DDevice9** out) {
  if (!out) return D3DERR_INVALIDCALL;
  device->AddRef();
  *out = device;
  return D3D_OK;
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
    memory.assign(glFormatLevelBytes(*format, desc.Width, desc.Height), 0);
    return true;
  }
  if (kind == TextureLevel) return true;
  if (!device->makeCurrent()) return false;
  clearGlErrors();
  glGenRenderbuffers(1, &renderbuffer);
  device->bindRenderbuffer(renderbuffer);
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
        device->forgetTexture(renderbuffer);
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

HRESULT GlSurface::GetDevice(IDirect3DDevice9** ppDevice) { return deviceOut(device, ppDevice); }

HRESULT GlSurface::GetDesc(D3DSURFACE_DESC* pDesc) {
  if (!pDesc) return D3DERR_INVALIDCALL;
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
  if (isDepth() || format->blockBytes) return 0;
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
    device->bindReadFramebuffer(fbo);
    if (kind == Plain)
      glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, renderbuffer, 0);
    else
      attach(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
  }
  if (samples == 0) return fbo;
  // Multisampled: resolve into a single-sampled copy of the same size.
  if (!resolveFbo) {
    glGenRenderbuffers(1, &resolveRenderbuffer);
    device->bindRenderbuffer(resolveRenderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, device->srgbTextures() ? glTextureInternal(*format) : format->internal,
                          (GLsizei)desc.Width, (GLsizei)desc.Height);
    glGenFramebuffers(1, &resolveFbo);
    device->bindReadFramebuffer(resolveFbo);
    glFramebufferRenderbuffer(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, resolveRenderbuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
  }
  device->prepareBlit();
  device->bindReadFramebuffer(fbo);
  device->bindDrawFramebuffer(resolveFbo);
  glBlitFramebuffer(0, 0, (GLint)desc.Width, (GLint)desc.Height, 0, 0, (GLint)desc.Width, (GLint)desc.Height,
                    GL_COLOR_BUFFER_BIT, GL_NEAREST);
  return resolveFbo;
}

bool GlSurface::readPixels(uint8_t* out) {
  if (isDepth() || format->blockBytes || !out) return false;
  if (kind == Plain) {
    std::memcpy(out, memory.data(), memory.size());
    return true;
  }
  GLuint read = readFramebuffer();
  if (!read) return false;
  device->bindReadFramebuffer(read);
  // Row 0 of a surface is its top row, as GL's row 0 of every framebuffer
  // object here: the rows come back in Direct3D order.
  glReadPixels(0, 0, (GLsizei)desc.Width, (GLsizei)desc.Height, format->format, format->type, out);
  return true;
}

HRESULT GlSurface::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  if (kind == TextureLevel) return container->lockLevel(face, level, pLockedRect, pRect, Flags);
  if (!pLockedRect || !lockable || locked || samples > 0 || isDepth()) return D3DERR_INVALIDCALL;
  size_t offset;
  if (!lockOffset(*format, desc.Width, desc.Height, pRect, &offset)) return D3DERR_INVALIDCALL;
  if (kind != Plain) {
    // A lockable render target: the lock reads its pixels back.
    memory.resize(glFormatLevelBytes(*format, desc.Width, desc.Height));
    if (!(Flags & D3DLOCK_DISCARD)) {
      if (!device->makeCurrent() || !readPixels(memory.data())) return D3DERR_INVALIDCALL;
    }
  }
  locked = true;
  lockRect = pRect ? *pRect : RECT{0, 0, (LONG)desc.Width, (LONG)desc.Height};
  lockFlags = Flags;
  pLockedRect->Pitch = (INT)glFormatPitch(*format, desc.Width);
  pLockedRect->pBits = memory.data() + offset;
  return D3D_OK;
}

HRESULT GlSurface::UnlockRect() {
  if (kind == TextureLevel) return container->unlockLevel(face, level);
  if (!locked) return D3DERR_INVALIDCALL;
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
  device->bindReadFramebuffer(source);
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  readFramebuffer();  // makes sure this surface has its framebuffer
  device->bindReadFramebuffer(source);
  device->bindDrawFramebuffer(fbo);
  glBlitFramebuffer(lockRect.left, lockRect.top, lockRect.right, lockRect.bottom, lockRect.left, lockRect.top,
                    lockRect.right, lockRect.bottom, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  device->bindReadFramebuffer(0);
  glDeleteFramebuffers(1, &source);
  device->forgetTexture(texture);
  glDeleteTextures(1, &texture);
  return D3D_OK;
}


// --- textures --------------------------------------------------------------------------------
GlTextureCore::GlTextureCore(GlDevice* d, GLenum glTarget, UINT w, UINT h, UINT levelsWanted, DWORD use,
                             D3DFORMAT f, D3DPOOL p)
    : textureDevice(d), textureSerial(glNextSerial()), target(glTarget), format(glFormatInfo(f)), d3dFormat(f),
      usage(use), pool(p), width(w), height(h) {
  autogen = (usage & D3DUSAGE_AUTOGENMIPMAP) != 0;
  UINT full = glFullMipCount(w, h);
  levelCount = autogen ? 1 : (levelsWanted == 0 ? full : levelsWanted);
  glLevels = autogen ? full : levelCount;
  lockable = !(usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) &&
             (pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC));
  faceCount = target == GL_TEXTURE_CUBE_MAP ? 6 : 1;
  for (UINT face = 0; face < faceCount; ++face) {
    levels[face].resize(levelCount);
    UINT lw = w, lh = h;
    for (Level& l : levels[face]) {
      l.width = lw;
      l.height = lh;
      lw = lw > 1 ? lw / 2 : 1;
      lh = lh > 1 ? lh / 2 : 1;
    }
  }
}

GlTextureCore::~GlTextureCore() {
  for (UINT face = 0; face < faceCount; ++face)
    for (Level& l : levels[face]) delete l.surface;
  if (texture && textureDevice->makeCurrent()) {
    textureDevice->forgetTexture(texture);
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
  clearGlErrors();
  glGenTextures(1, &texture);
  textureDevice->bindTextureForUpdate(target, texture);
  glTexParameteri(target, GL_TEXTURE_BASE_LEVEL, 0);
  // Only the levels that exist are sampled (Direct3D allows partial chains).
  glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, (GLint)glLevels - 1);
  glTexParameteriv(target, GL_TEXTURE_SWIZZLE_RGBA, format->swizzle);
  GLenum internal = textureDevice->srgbTextures() ? glTextureInternal(*format) : format->internal;
  for (UINT face = 0; face < faceCount; ++face) {
    UINT lw = width, lh = height;
    for (UINT i = 0; i < glLevels; ++i) {
      const void* data = nullptr;
      if (lockable && i < levelCount) {
        levels[face][i].data.assign(glFormatLevelBytes(*format, lw, lh), 0);
        data = levels[face][i].data.data();
      }
      if (format->blockBytes)
        glCompressedTexImage2D(faceTarget(face), (GLint)i, internal, (GLsizei)lw, (GLsizei)lh, 0,
                               (GLsizei)glFormatLevelBytes(*format, lw, lh), data);
      else
        glTexImage2D(faceTarget(face), (GLint)i, (GLint)internal, (GLsizei)lw, (GLsizei)lh, 0, format->format,
                     format->type, data);
      lw = lw > 1 ? lw / 2 : 1;
      lh = lh > 1 ? lh / 2 : 1;
    }
  }
  return glGetError() == GL_NO_ERROR;
}

void GlTextureCore::getLevelDesc(UINT level, D3DSURFACE_DESC* desc) const {
  const Level& l = levels[0][level];
  *desc = {d3dFormat, D3DRTYPE_SURFACE, usage, pool, D3DMULTISAMPLE_NONE, 0, l.width, l.height};
}

HRESULT GlTextureCore::lockLevel(UINT face, UINT level, D3DLOCKED_RECT* out, const RECT* rect, DWORD flags) {
  if (!out || face >= faceCount || level >= levelCount || !lockable) return D3DERR_INVALIDCALL;
  Level& l = levels[face][level];
  if (l.locked) return D3DERR_INVALIDCALL;
  size_t offset;
  if (!lockOffset(*format, l.width, l.height, rect, &offset)) return D3DERR_INVALIDCALL;
  l.locked = true;
  l.rect = rect ? *rect : RECT{0, 0, (LONG)l.width, (LONG)l.height};
  l.flags = flags;
  out->Pitch = (INT)glFormatPitch(*format, l.width);
  out->pBits = l.data.data() + offset;
  return D3D_OK;
}

HRESULT GlTextureCore::unlockLevel(UINT face, UINT level) {
  if (face >= faceCount || level >= levelCount) return D3DERR_INVALIDCALL;
  Level& l = levels[face][level];
  if (!l.locked) return D3DERR_INVALIDCALL;
  l.locked = false;
  if ((l.flags & D3DLOCK_READONLY) || !textureDevice->makeCurrent()) return D3D_OK;
  // Upload the rows the lock covered (whole rows of 4x4 blocks for DXTn).
  UINT pitch = glFormatPitch(*format, l.width);
  UINT top = (UINT)l.rect.top, bottom = (UINT)l.rect.bottom;
  if (format->blockBytes) {
    top &= ~3u;
    bottom = (bottom + 3) & ~3u;
    if (bottom > l.height) bottom = l.height;
  }
  textureDevice->bindTextureForUpdate(target, texture);
  const uint8_t* rows = l.data.data() + (size_t)glFormatRows(*format, top) * pitch;
  if (format->blockBytes) {
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

HRESULT GlTexture::GetDevice(IDirect3DDevice9** ppDevice) { return deviceOut(device, ppDevice); }

void GlTexture::GenerateMipSubLevels() {
  if (!autogen || !device->makeCurrent()) return;
  mipsDirty = true;
  updateMips();
}

HRESULT GlTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  if (Level >= levelCount || !pDesc) return D3DERR_INVALIDCALL;
  getLevelDesc(Level, pDesc);
  return D3D_OK;
}

HRESULT GlTexture::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) {
  if (ppSurfaceLevel) *ppSurfaceLevel = nullptr;
  if (Level >= levelCount || !ppSurfaceLevel) return D3DERR_INVALIDCALL;
  AddRef();
  *ppSurfaceLevel = levels[0][Level].surface;
  return D3D_OK;
}

HRESULT GlTexture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  return lockLevel(0, Level, pLockedRect, pRect, Flags);
}

HRESULT GlTexture::UnlockRect(UINT Level) { return unlockLevel(0, Level); }

GlCubeTexture::GlCubeTexture(GlDevice* d, UINT edge, UINT levels, DWORD use, D3DFORMAT f, D3DPOOL p)
    : GlResource(d, true), GlTextureCore(d, GL_TEXTURE_CUBE_MAP, edge, edge, levels, use, f, p) {
  createSurfaces(this);
}

GlCubeTexture::~GlCubeTexture() {}

HRESULT GlCubeTexture::GetDevice(IDirect3DDevice9** ppDevice) { return deviceOut(device, ppDevice); }

void GlCubeTexture::GenerateMipSubLevels() {
  if (!autogen || !device->makeCurrent()) return;
  mipsDirty = true;
  updateMips();
}

HRESULT GlCubeTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  if (Level >= levelCount || !pDesc) return D3DERR_INVALIDCALL;
  getLevelDesc(Level, pDesc);
  return D3D_OK;
}

HRESULT GlCubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level, IDirect3DSurface9** ppCubeMapSurface) {
  if (ppCubeMapSurface) *ppCubeMapSurface = nullptr;
  if ((UINT)FaceType > 5 || Level >= levelCount || !ppCubeMapSurface) return D3DERR_INVALIDCALL;
  AddRef();
  *ppCubeMapSurface = levels[FaceType][Level].surface;
  return D3D_OK;
}

HRESULT GlCubeTexture::LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                DWORD Flags) {
  return lockLevel((UINT)FaceType, Level, pLockedRect, pRect, Flags);
}

HRESULT GlCubeTexture::UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) { return unlockLevel((UINT)FaceType, Level); }

// --- buffers -----------------------------------------------------------------------------------
GlBufferCore::GlBufferCore(UINT length, DWORD use) : size(length), usage(use) {}

bool GlBufferCore::createStorage(GlDevice* device) {
  bytes.assign(size, 0);
  clearGlErrors();
  glGenBuffers(1, &buffer);
  device->bindCopyBuffer(buffer);
  glBufferData(GL_COPY_WRITE_BUFFER, size, bytes.data(), (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
  return glGetError() == GL_NO_ERROR;
}

void GlBufferCore::destroyStorage() {
  if (buffer) glDeleteBuffers(1, &buffer);
  buffer = 0;
}

// Offset and size 0 lock the whole buffer; size 0 locks from the offset to the end.
HRESULT GlBufferCore::lock(UINT offset, UINT length, void** out, DWORD flags) {
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if ((flags & (D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE)) && !(usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
  if (offset > size || (uint64_t)offset + length > size) return D3DERR_INVALIDCALL;
  UINT end = length == 0 ? size : offset + length;
  if (!(flags & D3DLOCK_READONLY)) {
    if (!written) {
      dirtyBegin = offset;
      dirtyEnd = end;
      discard = (flags & D3DLOCK_DISCARD) != 0;
      noOverwrite = (flags & D3DLOCK_NOOVERWRITE) != 0;
    } else {
      dirtyBegin = offset < dirtyBegin ? offset : dirtyBegin;
      dirtyEnd = end > dirtyEnd ? end : dirtyEnd;
      discard = discard || (flags & D3DLOCK_DISCARD);
      noOverwrite = noOverwrite && (flags & D3DLOCK_NOOVERWRITE);
    }
    written = true;
  }
  ++locks;
  *out = bytes.data() + offset;
  return D3D_OK;
}

HRESULT GlBufferCore::unlock(GlDevice* device) {
  if (locks == 0) return D3DERR_INVALIDCALL;
  if (--locks > 0 || !written) return D3D_OK;
  written = false;
  if (!device->makeCurrent() || dirtyEnd <= dirtyBegin) return D3D_OK;
  device->bindCopyBuffer(buffer);
  GLenum hint = (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW;
  if (discard) {
    // New storage: draws still reading the old contents keep them.
    glBufferData(GL_COPY_WRITE_BUFFER, size, nullptr, hint);
    glBufferSubData(GL_COPY_WRITE_BUFFER, dirtyBegin, dirtyEnd - dirtyBegin, bytes.data() + dirtyBegin);
  } else if (noOverwrite) {
    // The caller promised not to touch what queued draws read: no wait.
    void* p = glMapBufferRange(GL_COPY_WRITE_BUFFER, dirtyBegin, dirtyEnd - dirtyBegin,
                               GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (p) {
      std::memcpy(p, bytes.data() + dirtyBegin, dirtyEnd - dirtyBegin);
      glUnmapBuffer(GL_COPY_WRITE_BUFFER);
    } else {
      glBufferSubData(GL_COPY_WRITE_BUFFER, dirtyBegin, dirtyEnd - dirtyBegin, bytes.data() + dirtyBegin);
    }
  } else {
    glBufferSubData(GL_COPY_WRITE_BUFFER, dirtyBegin, dirtyEnd - dirtyBegin, bytes.data() + dirtyBegin);
  }
  return D3D_OK;
}

GlVertexBuffer::GlVertexBuffer(GlDevice* d, UINT length, DWORD use, DWORD fvf, D3DPOOL pool)
    : GlResource(d, true), GlBufferCore(length, use) {
  desc = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, use, pool, length, fvf};
}

GlVertexBuffer::~GlVertexBuffer() {
  if (buffer && device->makeCurrent()) {
    device->forgetBuffer(serial, false);
    destroyStorage();
  }
}

HRESULT GlVertexBuffer::GetDevice(IDirect3DDevice9** ppDevice) { return deviceOut(device, ppDevice); }
HRESULT GlVertexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
  return lock(OffsetToLock, SizeToLock, ppbData, Flags);
}
HRESULT GlVertexBuffer::Unlock() { return unlock(device); }
HRESULT GlVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc) {
  if (!pDesc) return D3DERR_INVALIDCALL;
  *pDesc = desc;
  return D3D_OK;
}

GlIndexBuffer::GlIndexBuffer(GlDevice* d, UINT length, DWORD use, D3DFORMAT format, D3DPOOL pool)
    : GlResource(d, true), GlBufferCore(length, use) {
  desc = {format, D3DRTYPE_INDEXBUFFER, use, pool, length};
  indexSize = format == D3DFMT_INDEX32 ? 4 : 2;
}

GlIndexBuffer::~GlIndexBuffer() {
  if (buffer && device->makeCurrent()) {
    device->forgetBuffer(serial, true);
    destroyStorage();
  }
}

HRESULT GlIndexBuffer::GetDevice(IDirect3DDevice9** ppDevice) { return deviceOut(device, ppDevice); }
HRESULT GlIndexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
  return lock(OffsetToLock, SizeToLock, ppbData, Flags);
}
HRESULT GlIndexBuffer::Unlock() { return unlock(device); }
HRESULT GlIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc) {
  if (!pDesc) return D3DERR_INVALIDCALL;
  *pDesc = desc;
  return D3D_OK;
}

// --- declarations -----------------------------------------------------------------------------
GlVertexDeclaration::GlVertexDeclaration(GlDevice* d, const D3DVERTEXELEMENT9* items, UINT count)
    : GlResource(d, true), elements(items, items + count) {
  for (const D3DVERTEXELEMENT9& e : elements) {
    streamMask |= 1u << e.Stream;
    if (e.Usage == D3DDECLUSAGE_POSITIONT) pretransformed = true;
  }
}

GlVertexDeclaration::~GlVertexDeclaration() {
  if (device->makeCurrent()) device->forgetDeclaration(serial);
}

HRESULT GlVertexDeclaration::GetDevice(IDirect3DDevice9** ppDevice) { return deviceOut(device, ppDevice); }

HRESULT GlVertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) {
  if (!pNumElements) return D3DERR_INVALIDCALL;
  UINT total = (UINT)elements.size() + 1;
  if (pElement) {
    if (*pNumElements < total) return D3DERR_INVALIDCALL;
    std::memcpy(pElement, elements.data(), elements.size() * sizeof(D3DVERTEXELEMENT9));
    pElement[elements.size()] = D3DVERTEXELEMENT9 D3DDECL_END();
  }
  *pNumElements = total;
  return D3D_OK;
}

// --- shaders -------------------------------------------------------------------------------------
bool GlShaderCore::init(const DWORD* function, GLenum stage, std::string& error) {
  UINT bytes = shaderBlobSize(function);
  if (bytes == 0) return false;
  code.assign(function, function + bytes / 4);
  if (!shaderBlobParse(code.data(), bytes, &view)) return false;
  if (view.isPixelShader() != (stage == GL_FRAGMENT_SHADER)) return false;
  UINT registers = stage == GL_FRAGMENT_SHADER ? D3D9_PIXEL_SHADER_CONSTANT_REGISTERS : D3D9_VERTEX_SHADER_CONSTANT_REGISTERS;
  if (view.header->registerCount > registers) return false;
  for (DWORD i = 0; i < view.header->samplerCount; ++i)
    if (view.samplers[i].unit >= (stage == GL_FRAGMENT_SHADER ? 16u : 4u)) return false;
  source = view.glsl;
  shader = glCreateShader(stage);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[2048];
    GLsizei n = 0;
    glGetShaderInfoLog(shader, sizeof log, &n, log);
    error.assign(log, (size_t)n);
    return false;
  }
  return true;
}

void GlShaderCore::destroy() {
  if (shader) glDeleteShader(shader);
  shader = 0;
}

static HRESULT copyFunction(const std::vector<DWORD>& code, void* pData, UINT* pSize) {
  if (!pSize) return D3DERR_INVALIDCALL;
  UINT bytes = (UINT)(code.size() * 4);
  if (pData) {
    if (*pSize < bytes) return D3DERR_INVALIDCALL;
    std::memcpy(pData, code.data(), bytes);
  }
  *pSize = bytes;
  return D3D_OK;
}

GlVertexShader::GlVertexShader(GlDevice* d) : GlResource(d, true) {}
GlVertexShader::~GlVertexShader() {
  if (device->makeCurrent()) {
    device->forgetShader(serial);
    destroy();
  }
}
HRESULT GlVertexShader::GetDevice(IDirect3DDevice9** ppDevice) { return deviceOut(device, ppDevice); }
HRESULT GlVertexShader::GetFunction(void* pData, UINT* pSizeOfData) { return copyFunction(code, pData, pSizeOfData); }

GlPixelShader::GlPixelShader(GlDevice* d) : GlResource(d, true) {}
GlPixelShader::~GlPixelShader() {
  if (device->makeCurrent()) {
    device->forgetShader(serial);
    destroy();
  }
}
HRESULT GlPixelShader::GetDevice(IDirect3DDevice9** ppDevice) { return deviceOut(device, ppDevice); }
HRESULT GlPixelShader::GetFunction(void* pData, UINT* pSizeOfData) { return copyFunction(code, pData, pSizeOfData); }
