// Resources of the recording device: surfaces, textures, buffers,
// declarations and shaders, with real storage where Direct3D 9 lets the
// application lock them.

#include "platform/d3d9/RecordingDirect3D9.h"
#include "platform/d3d9/RecordingInternal.h"

#include <cstring>

using namespace rec;

static bool lockablePool(D3DPOOL pool, DWORD usage) {
  if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) return false;
  return pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC);
}

// --- surfaces ----------------------------------------------------------------------------
RecordingSurface::RecordingSurface(RecordingDevice* dev, const D3DSURFACE_DESC& desc, IUnknown* container,
                                   bool canLock, std::vector<uint8_t>* storage, UINT pitch)
    : RecordingObject("Surface"), device(dev), surfaceDesc(desc), owner(container), lockable(canLock), bits(storage),
      rowPitch(pitch) {
  if (!container) device->resourceCreated();
  if (!bits && lockable) {
    ownStorage.assign(d3d9LevelBytes(desc.Format, desc.Width, desc.Height), 0);
    bits = &ownStorage;
    rowPitch = d3d9Pitch(desc.Format, desc.Width);
  }
}

RecordingSurface::~RecordingSurface() {
  if (!owner) device->resourceDestroyed();
}

// A texture level's surface shares the reference count of its texture.
ULONG RecordingSurface::AddRef() { return owner ? owner->AddRef() : addRefImpl(); }
ULONG RecordingSurface::Release() { return owner ? owner->Release() : releaseImpl(); }

HRESULT RecordingSurface::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return logCall("GetDevice", "null", D3DERR_INVALIDCALL);
  device->AddRef();
  *ppDevice = device;
  return logCall("GetDevice", "ptr", S_OK);
}

HRESULT RecordingSurface::GetDesc(D3DSURFACE_DESC* pDesc) {
  if (HRESULT hr = injected("GetDesc")) return logCall("GetDesc", p(pDesc), hr);
  if (HRESULT hr = d3d9CheckOut(__func__, pDesc)) return logCall("GetDesc", "null", hr);
  *pDesc = surfaceDesc;
  return logCall("GetDesc", "ptr", S_OK);
}

HRESULT RecordingSurface::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  std::string a = args(p(pLockedRect), rect(pRect), x(Flags));
  if (HRESULT hr = injected("LockRect")) return logCall("LockRect", a, hr);
  return logCall("LockRect", a, lockUnlogged(pLockedRect, pRect));
}

HRESULT RecordingSurface::UnlockRect() {
  if (HRESULT hr = injected("UnlockRect")) return logCall("UnlockRect", "", hr);
  return logCall("UnlockRect", "", unlockUnlogged());
}

HRESULT RecordingSurface::lockUnlogged(D3DLOCKED_RECT* pLockedRect, const RECT* pRect) {
  size_t offset;
  if (HRESULT hr = d3d9CheckLockRect("LockRect", surfaceDesc, lockable && bits, locked, pRect, pLockedRect, &offset)) return hr;
  locked = true;
  pLockedRect->Pitch = (INT)rowPitch;
  pLockedRect->pBits = bits->data() + offset;
  return S_OK;
}

HRESULT RecordingSurface::unlockUnlogged() {
  if (HRESULT hr = d3d9CheckUnlock("UnlockRect", locked)) return hr;
  locked = false;
  return S_OK;
}

// --- textures -------------------------------------------------------------------------------
RecordingTexture::RecordingTexture(RecordingDevice* dev, UINT width, UINT height, UINT levelCount, DWORD usage,
                                   D3DFORMAT format, D3DPOOL pool)
    : RecordingObject("Texture"), device(dev) {
  device->resourceCreated();
  bool canLock = lockablePool(pool, usage);
  levels.resize(levelCount);
  for (UINT i = 0; i < levelCount; ++i) {
    Level& l = levels[i];
    UINT w = d3d9MipExtent(width, i), h = d3d9MipExtent(height, i);
    if (canLock) l.data.assign(d3d9LevelBytes(format, w, h), 0);
    D3DSURFACE_DESC d = {format, D3DRTYPE_SURFACE, usage, pool, D3DMULTISAMPLE_NONE, 0, w, h};
    l.surface = new RecordingSurface(dev, d, this, canLock, canLock ? &l.data : nullptr, d3d9Pitch(format, w));
  }
}

RecordingTexture::~RecordingTexture() {
  for (Level& l : levels) delete l.surface;
  device->resourceDestroyed();
}

HRESULT RecordingTexture::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return logCall("GetDevice", "null", D3DERR_INVALIDCALL);
  device->AddRef();
  *ppDevice = device;
  return logCall("GetDevice", "ptr", S_OK);
}

DWORD RecordingTexture::GetLevelCount() {
  logCall("GetLevelCount", "", S_OK);
  return (DWORD)levels.size();
}

void RecordingTexture::GenerateMipSubLevels() { logCall("GenerateMipSubLevels", "", S_OK); }

HRESULT RecordingTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  std::string a = args(u(Level), p(pDesc));
  if (HRESULT hr = injected("GetLevelDesc")) return logCall("GetLevelDesc", a, hr);
  if (HRESULT hr = d3d9CheckLevel(__func__, Level, (UINT)levels.size(), pDesc)) return logCall("GetLevelDesc", a, hr);
  *pDesc = levels[Level].surface->desc();
  return logCall("GetLevelDesc", a, S_OK);
}

HRESULT RecordingTexture::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) {
  std::string a = args(u(Level), p(ppSurfaceLevel));
  if (ppSurfaceLevel) *ppSurfaceLevel = nullptr;
  if (HRESULT hr = injected("GetSurfaceLevel")) return logCall("GetSurfaceLevel", a, hr);
  if (HRESULT hr = d3d9CheckLevel(__func__, Level, (UINT)levels.size(), ppSurfaceLevel)) return logCall("GetSurfaceLevel", a, hr);
  AddRef();
  *ppSurfaceLevel = levels[Level].surface;
  return logCall("GetSurfaceLevel", a + " -> " + levels[Level].surface->name(), S_OK);
}

HRESULT RecordingTexture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  std::string a = args(u(Level), p(pLockedRect), rect(pRect), x(Flags));
  if (HRESULT hr = injected("LockRect")) return logCall("LockRect", a, hr);
  if (HRESULT hr = d3d9CheckLevel(__func__, Level, (UINT)levels.size())) return logCall("LockRect", a, hr);
  // The level's surface does the work (and keeps the locked flag).
  return logCall("LockRect", a, levels[Level].surface->lockUnlogged(pLockedRect, pRect));
}

HRESULT RecordingTexture::UnlockRect(UINT Level) {
  std::string a = u(Level);
  if (HRESULT hr = injected("UnlockRect")) return logCall("UnlockRect", a, hr);
  if (HRESULT hr = d3d9CheckLevel(__func__, Level, (UINT)levels.size())) return logCall("UnlockRect", a, hr);
  return logCall("UnlockRect", a, levels[Level].surface->unlockUnlogged());
}

RecordingCubeTexture::RecordingCubeTexture(RecordingDevice* dev, UINT edge, UINT levels, DWORD usage,
                                           D3DFORMAT format, D3DPOOL pool)
    : RecordingObject("CubeTexture"), device(dev), levelCount(levels) {
  device->resourceCreated();
  bool canLock = lockablePool(pool, usage);
  for (auto& face : faces) {
    face.resize(levels);
    for (UINT i = 0; i < levels; ++i) {
      Level& l = face[i];
      UINT e = d3d9MipExtent(edge, i);
      if (canLock) l.data.assign(d3d9LevelBytes(format, e, e), 0);
      D3DSURFACE_DESC d = {format, D3DRTYPE_SURFACE, usage, pool, D3DMULTISAMPLE_NONE, 0, e, e};
      l.surface = new RecordingSurface(dev, d, this, canLock, canLock ? &l.data : nullptr, d3d9Pitch(format, e));
    }
  }
}

RecordingCubeTexture::~RecordingCubeTexture() {
  for (auto& face : faces)
    for (Level& l : face) delete l.surface;
  device->resourceDestroyed();
}

HRESULT RecordingCubeTexture::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return logCall("GetDevice", "null", D3DERR_INVALIDCALL);
  device->AddRef();
  *ppDevice = device;
  return logCall("GetDevice", "ptr", S_OK);
}

DWORD RecordingCubeTexture::GetLevelCount() {
  logCall("GetLevelCount", "", S_OK);
  return levelCount;
}

void RecordingCubeTexture::GenerateMipSubLevels() { logCall("GenerateMipSubLevels", "", S_OK); }

HRESULT RecordingCubeTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  std::string a = args(u(Level), p(pDesc));
  if (HRESULT hr = injected("GetLevelDesc")) return logCall("GetLevelDesc", a, hr);
  if (HRESULT hr = d3d9CheckLevel(__func__, Level, levelCount, pDesc)) return logCall("GetLevelDesc", a, hr);
  *pDesc = faces[0][Level].surface->desc();
  return logCall("GetLevelDesc", a, S_OK);
}

HRESULT RecordingCubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level,
                                                IDirect3DSurface9** ppCubeMapSurface) {
  std::string a = args(u(FaceType), u(Level), p(ppCubeMapSurface));
  if (ppCubeMapSurface) *ppCubeMapSurface = nullptr;
  if (HRESULT hr = injected("GetCubeMapSurface")) return logCall("GetCubeMapSurface", a, hr);
  if (HRESULT hr = d3d9CheckFace(__func__, FaceType, Level, levelCount, ppCubeMapSurface))
    return logCall("GetCubeMapSurface", a, hr);
  AddRef();
  *ppCubeMapSurface = faces[FaceType][Level].surface;
  return logCall("GetCubeMapSurface", a, S_OK);
}

HRESULT RecordingCubeTexture::LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect,
                                       const RECT* pRect, DWORD Flags) {
  std::string a = args(u(FaceType), u(Level), p(pLockedRect), rect(pRect), x(Flags));
  if (HRESULT hr = injected("LockRect")) return logCall("LockRect", a, hr);
  if (HRESULT hr = d3d9CheckFace(__func__, FaceType, Level, levelCount)) return logCall("LockRect", a, hr);
  return logCall("LockRect", a, faces[FaceType][Level].surface->lockUnlogged(pLockedRect, pRect));
}

HRESULT RecordingCubeTexture::UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) {
  std::string a = args(u(FaceType), u(Level));
  if (HRESULT hr = injected("UnlockRect")) return logCall("UnlockRect", a, hr);
  if (HRESULT hr = d3d9CheckFace(__func__, FaceType, Level, levelCount)) return logCall("UnlockRect", a, hr);
  return logCall("UnlockRect", a, faces[FaceType][Level].surface->unlockUnlogged());
}

// --- buffers -----------------------------------------------------------------------------------
RecordingVertexBuffer::RecordingVertexBuffer(RecordingDevice* dev, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : RecordingObject("VertexBuffer"), D3D9BufferBytes(length, usage, 0), device(dev) {
  device->resourceCreated();
  bufferDesc = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf};
}

RecordingVertexBuffer::~RecordingVertexBuffer() { device->resourceDestroyed(); }

HRESULT RecordingVertexBuffer::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return logCall("GetDevice", "null", D3DERR_INVALIDCALL);
  device->AddRef();
  *ppDevice = device;
  return logCall("GetDevice", "ptr", S_OK);
}

HRESULT RecordingVertexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
  std::string a = args(u(OffsetToLock), u(SizeToLock), p(ppbData), x(Flags));
  if (ppbData) *ppbData = nullptr;
  if (HRESULT hr = injected("Lock")) return logCall("Lock", a, hr);
  return logCall("Lock", a, lockBytes(OffsetToLock, SizeToLock, ppbData, Flags));
}

HRESULT RecordingVertexBuffer::Unlock() {
  if (HRESULT hr = injected("Unlock")) return logCall("Unlock", "", hr);
  return logCall("Unlock", "", unlockBytes());
}

HRESULT RecordingVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc) {
  if (HRESULT hr = d3d9CheckOut(__func__, pDesc)) return hr;
  *pDesc = bufferDesc;  // not logged: the device reads it while validating draws
  return S_OK;
}

RecordingIndexBuffer::RecordingIndexBuffer(RecordingDevice* dev, UINT length, DWORD usage, D3DFORMAT format,
                                           D3DPOOL pool)
    : RecordingObject("IndexBuffer"), D3D9BufferBytes(length, usage, d3d9IndexSize(format)), device(dev) {
  device->resourceCreated();
  bufferDesc = {format, D3DRTYPE_INDEXBUFFER, usage, pool, length};
}

RecordingIndexBuffer::~RecordingIndexBuffer() { device->resourceDestroyed(); }

HRESULT RecordingIndexBuffer::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return logCall("GetDevice", "null", D3DERR_INVALIDCALL);
  device->AddRef();
  *ppDevice = device;
  return logCall("GetDevice", "ptr", S_OK);
}

HRESULT RecordingIndexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
  std::string a = args(u(OffsetToLock), u(SizeToLock), p(ppbData), x(Flags));
  if (ppbData) *ppbData = nullptr;
  if (HRESULT hr = injected("Lock")) return logCall("Lock", a, hr);
  return logCall("Lock", a, lockBytes(OffsetToLock, SizeToLock, ppbData, Flags));
}

HRESULT RecordingIndexBuffer::Unlock() {
  if (HRESULT hr = injected("Unlock")) return logCall("Unlock", "", hr);
  return logCall("Unlock", "", unlockBytes());
}

HRESULT RecordingIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc) {
  if (HRESULT hr = d3d9CheckOut(__func__, pDesc)) return hr;
  *pDesc = bufferDesc;
  return S_OK;
}

// --- declarations and shaders -------------------------------------------------------------
RecordingVertexDeclaration::RecordingVertexDeclaration(RecordingDevice* dev, const D3DVERTEXELEMENT9* elements,
                                                       UINT count)
    : RecordingObject("VertexDeclaration"), device(dev), items(elements, elements + count),
      streamMask(d3d9DeclarationStreams(items)) {
  device->resourceCreated();
}

RecordingVertexDeclaration::~RecordingVertexDeclaration() { device->resourceDestroyed(); }

HRESULT RecordingVertexDeclaration::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return logCall("GetDevice", "null", D3DERR_INVALIDCALL);
  device->AddRef();
  *ppDevice = device;
  return logCall("GetDevice", "ptr", S_OK);
}

HRESULT RecordingVertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) {
  return logCall("GetDeclaration", args(p(pElement), p(pNumElements)),
                 d3d9CopyDeclaration(items, pElement, pNumElements));
}

RecordingVertexShader::RecordingVertexShader(RecordingDevice* dev, const DWORD* function, UINT bytes)
    : RecordingObject("VertexShader"), device(dev), code(function, function + bytes / 4) {
  device->resourceCreated();
}

RecordingVertexShader::~RecordingVertexShader() { device->resourceDestroyed(); }

HRESULT RecordingVertexShader::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return logCall("GetDevice", "null", D3DERR_INVALIDCALL);
  device->AddRef();
  *ppDevice = device;
  return logCall("GetDevice", "ptr", S_OK);
}

HRESULT RecordingVertexShader::GetFunction(void* pData, UINT* pSizeOfData) {
  return logCall("GetFunction", args(p(pData), p(pSizeOfData)), d3d9CopyFunction(code, pData, pSizeOfData));
}

RecordingPixelShader::RecordingPixelShader(RecordingDevice* dev, const DWORD* function, UINT bytes)
    : RecordingObject("PixelShader"), device(dev), code(function, function + bytes / 4) {
  device->resourceCreated();
}

RecordingPixelShader::~RecordingPixelShader() { device->resourceDestroyed(); }

HRESULT RecordingPixelShader::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return logCall("GetDevice", "null", D3DERR_INVALIDCALL);
  device->AddRef();
  *ppDevice = device;
  return logCall("GetDevice", "ptr", S_OK);
}

HRESULT RecordingPixelShader::GetFunction(void* pData, UINT* pSizeOfData) {
  return logCall("GetFunction", args(p(pData), p(pSizeOfData)), d3d9CopyFunction(code, pData, pSizeOfData));
}
