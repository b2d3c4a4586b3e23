// Resources of the recording device: surfaces, textures, buffers,
// declarations and shaders, with real storage where Direct3D 9 lets the
// application lock them.

#include "platform/d3d9/RecordingDirect3D9.h"
#include "platform/d3d9/RecordingInternal.h"

#include <cstring>

using namespace rec;

// --- formats -------------------------------------------------------------------------
static UINT bytesPerTexel(D3DFORMAT format) {
  switch (format) {
  case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: case D3DFMT_A8B8G8R8: case D3DFMT_X8B8G8R8:
  case D3DFMT_A2B10G10R10: case D3DFMT_A2R10G10B10: case D3DFMT_G16R16: case D3DFMT_R32F:
  case D3DFMT_G16R16F: case D3DFMT_V16U16: case D3DFMT_X8L8V8U8: case D3DFMT_Q8W8V8U8:
  case D3DFMT_D32: case D3DFMT_D24S8: case D3DFMT_D24X8: case D3DFMT_D24X4S4: case D3DFMT_D24FS8:
  case D3DFMT_D32F_LOCKABLE: case D3DFMT_INDEX32:
    return 4;
  case D3DFMT_R8G8B8: return 3;
  case D3DFMT_R5G6B5: case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5: case D3DFMT_A4R4G4B4: case D3DFMT_X4R4G4B4:
  case D3DFMT_A8R3G3B2: case D3DFMT_A8L8: case D3DFMT_V8U8: case D3DFMT_L6V5U5: case D3DFMT_L16:
  case D3DFMT_R16F: case D3DFMT_D16: case D3DFMT_D16_LOCKABLE: case D3DFMT_D15S1: case D3DFMT_INDEX16:
  case D3DFMT_A8P8: case D3DFMT_CxV8U8:
    return 2;
  case D3DFMT_A8: case D3DFMT_L8: case D3DFMT_P8: case D3DFMT_R3G3B2: case D3DFMT_A4L4:
    return 1;
  case D3DFMT_A16B16G16R16: case D3DFMT_A16B16G16R16F: case D3DFMT_G32R32F: case D3DFMT_Q16W16V16U16:
    return 8;
  case D3DFMT_A32B32G32R32F: return 16;
  default: return 0;
  }
}

static UINT blockBytes(D3DFORMAT format) {
  if (format == D3DFMT_DXT1) return 8;
  if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 || format == D3DFMT_DXT5) return 16;
  return 0;
}

UINT recordingPitch(D3DFORMAT format, UINT width) {
  if (UINT b = blockBytes(format)) return ((width + 3) / 4) * b;
  return width * bytesPerTexel(format);
}

UINT recordingLevelBytes(D3DFORMAT format, UINT width, UINT height) {
  if (blockBytes(format)) return recordingPitch(format, width) * ((height + 3) / 4);
  return recordingPitch(format, width) * height;
}

UINT recordingFullMipCount(UINT width, UINT height) {
  UINT levels = 1;
  while (width > 1 || height > 1) {
    width = width > 1 ? width / 2 : 1;
    height = height > 1 ? height / 2 : 1;
    ++levels;
  }
  return levels;
}

static bool lockablePool(D3DPOOL pool, DWORD usage) {
  if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) return false;
  return pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC);
}

// Locks a rectangle of a level: validates it against the level size (and the
// 4x4 blocks of DXTn) and returns the pointer and pitch.
static HRESULT lockLevel(std::vector<uint8_t>& data, const D3DSURFACE_DESC& d, D3DLOCKED_RECT* out, const RECT* r) {
  if (!out || data.empty()) return D3DERR_INVALIDCALL;
  UINT pitch = recordingPitch(d.Format, d.Width);
  size_t offset = 0;
  if (r) {
    if (r->left < 0 || r->top < 0 || r->left >= r->right || r->top >= r->bottom || (UINT)r->right > d.Width ||
        (UINT)r->bottom > d.Height)
      return D3DERR_INVALIDCALL;
    if (blockBytes(d.Format)) {
      if ((r->left & 3) || (r->top & 3)) return D3DERR_INVALIDCALL;
      offset = (size_t)(r->top / 4) * pitch + (size_t)(r->left / 4) * blockBytes(d.Format);
    } else {
      offset = (size_t)r->top * pitch + (size_t)r->left * bytesPerTexel(d.Format);
    }
  }
  out->Pitch = (INT)pitch;
  out->pBits = data.data() + offset;
  return S_OK;
}

// --- surfaces ----------------------------------------------------------------------------
RecordingSurface::RecordingSurface(RecordingDevice* dev, const D3DSURFACE_DESC& desc, IUnknown* container,
                                   bool canLock, std::vector<uint8_t>* storage, UINT pitch)
    : RecordingObject("Surface"), device(dev), surfaceDesc(desc), owner(container), lockable(canLock), bits(storage),
      rowPitch(pitch) {
  if (!container) device->resourceCreated();
  if (!bits && lockable) {
    ownStorage.assign(recordingLevelBytes(desc.Format, desc.Width, desc.Height), 0);
    bits = &ownStorage;
    rowPitch = recordingPitch(desc.Format, desc.Width);
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
  if (!pDesc) return logCall("GetDesc", "null", D3DERR_INVALIDCALL);
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
  if (!lockable || locked || !bits) return D3DERR_INVALIDCALL;
  HRESULT hr = lockLevel(*bits, surfaceDesc, pLockedRect, pRect);
  if (hr == S_OK) locked = true;
  return hr;
}

HRESULT RecordingSurface::unlockUnlogged() {
  if (!locked) return D3DERR_INVALIDCALL;
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
  UINT w = width, h = height;
  for (Level& l : levels) {
    if (canLock) l.data.assign(recordingLevelBytes(format, w, h), 0);
    D3DSURFACE_DESC d = {format, D3DRTYPE_SURFACE, usage, pool, D3DMULTISAMPLE_NONE, 0, w, h};
    l.surface = new RecordingSurface(dev, d, this, canLock, canLock ? &l.data : nullptr, recordingPitch(format, w));
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
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
  if (Level >= levels.size() || !pDesc) return logCall("GetLevelDesc", a, D3DERR_INVALIDCALL);
  *pDesc = levels[Level].surface->desc();
  return logCall("GetLevelDesc", a, S_OK);
}

HRESULT RecordingTexture::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) {
  std::string a = args(u(Level), p(ppSurfaceLevel));
  if (ppSurfaceLevel) *ppSurfaceLevel = nullptr;
  if (HRESULT hr = injected("GetSurfaceLevel")) return logCall("GetSurfaceLevel", a, hr);
  if (Level >= levels.size() || !ppSurfaceLevel) return logCall("GetSurfaceLevel", a, D3DERR_INVALIDCALL);
  AddRef();
  *ppSurfaceLevel = levels[Level].surface;
  return logCall("GetSurfaceLevel", a + " -> " + levels[Level].surface->name(), S_OK);
}

HRESULT RecordingTexture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  std::string a = args(u(Level), p(pLockedRect), rect(pRect), x(Flags));
  if (HRESULT hr = injected("LockRect")) return logCall("LockRect", a, hr);
  if (Level >= levels.size()) return logCall("LockRect", a, D3DERR_INVALIDCALL);
  // The level's surface does the work (and keeps the locked flag).
  return logCall("LockRect", a, levels[Level].surface->lockUnlogged(pLockedRect, pRect));
}

HRESULT RecordingTexture::UnlockRect(UINT Level) {
  std::string a = u(Level);
  if (HRESULT hr = injected("UnlockRect")) return logCall("UnlockRect", a, hr);
  if (Level >= levels.size()) return logCall("UnlockRect", a, D3DERR_INVALIDCALL);
  return logCall("UnlockRect", a, levels[Level].surface->unlockUnlogged());
}

RecordingCubeTexture::RecordingCubeTexture(RecordingDevice* dev, UINT edge, UINT levels, DWORD usage,
                                           D3DFORMAT format, D3DPOOL pool)
    : RecordingObject("CubeTexture"), device(dev), levelCount(levels) {
  device->resourceCreated();
  bool canLock = lockablePool(pool, usage);
  for (auto& face : faces) {
    face.resize(levels);
    UINT e = edge;
    for (Level& l : face) {
      if (canLock) l.data.assign(recordingLevelBytes(format, e, e), 0);
      D3DSURFACE_DESC d = {format, D3DRTYPE_SURFACE, usage, pool, D3DMULTISAMPLE_NONE, 0, e, e};
      l.surface = new RecordingSurface(dev, d, this, canLock, canLock ? &l.data : nullptr, recordingPitch(format, e));
      e = e > 1 ? e / 2 : 1;
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
  if (Level >= levelCount || !pDesc) return logCall("GetLevelDesc", a, D3DERR_INVALIDCALL);
  *pDesc = faces[0][Level].surface->desc();
  return logCall("GetLevelDesc", a, S_OK);
}

HRESULT RecordingCubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level,
                                                IDirect3DSurface9** ppCubeMapSurface) {
  std::string a = args(u(FaceType), u(Level), p(ppCubeMapSurface));
  if (ppCubeMapSurface) *ppCubeMapSurface = nullptr;
  if (HRESULT hr = injected("GetCubeMapSurface")) return logCall("GetCubeMapSurface", a, hr);
  if (FaceType > 5 || Level >= levelCount || !ppCubeMapSurface) return logCall("GetCubeMapSurface", a, D3DERR_INVALIDCALL);
  AddRef();
  *ppCubeMapSurface = faces[FaceType][Level].surface;
  return logCall("GetCubeMapSurface", a, S_OK);
}

HRESULT RecordingCubeTexture::LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect,
                                       const RECT* pRect, DWORD Flags) {
  std::string a = args(u(FaceType), u(Level), p(pLockedRect), rect(pRect), x(Flags));
  if (HRESULT hr = injected("LockRect")) return logCall("LockRect", a, hr);
  if (FaceType > 5 || Level >= levelCount) return logCall("LockRect", a, D3DERR_INVALIDCALL);
  return logCall("LockRect", a, faces[FaceType][Level].surface->lockUnlogged(pLockedRect, pRect));
}

HRESULT RecordingCubeTexture::UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) {
  std::string a = args(u(FaceType), u(Level));
  if (HRESULT hr = injected("UnlockRect")) return logCall("UnlockRect", a, hr);
  if (FaceType > 5 || Level >= levelCount) return logCall("UnlockRect", a, D3DERR_INVALIDCALL);
  return logCall("UnlockRect", a, faces[FaceType][Level].surface->unlockUnlogged());
}

// --- buffers -----------------------------------------------------------------------------------
RecordingVertexBuffer::RecordingVertexBuffer(RecordingDevice* dev, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : RecordingObject("VertexBuffer"), device(dev), bytes(length, 0) {
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

// Offset and size 0 lock the whole buffer; size 0 locks from the offset to the end.
static HRESULT lockBuffer(std::vector<uint8_t>& bytes, UINT offset, UINT size, void** out) {
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if (offset > bytes.size() || (uint64_t)offset + size > bytes.size()) return D3DERR_INVALIDCALL;
  *out = bytes.data() + offset;
  return S_OK;
}

HRESULT RecordingVertexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
  std::string a = args(u(OffsetToLock), u(SizeToLock), p(ppbData), x(Flags));
  if (ppbData) *ppbData = nullptr;
  if (HRESULT hr = injected("Lock")) return logCall("Lock", a, hr);
  if ((Flags & (D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE)) && !(bufferDesc.Usage & D3DUSAGE_DYNAMIC))
    return logCall("Lock", a, D3DERR_INVALIDCALL);
  HRESULT hr = lockBuffer(bytes, OffsetToLock, SizeToLock, ppbData);
  if (hr == S_OK) ++locks;
  return logCall("Lock", a, hr);
}

HRESULT RecordingVertexBuffer::Unlock() {
  if (HRESULT hr = injected("Unlock")) return logCall("Unlock", "", hr);
  if (locks == 0) return logCall("Unlock", "", D3DERR_INVALIDCALL);
  --locks;
  return logCall("Unlock", "", S_OK);
}

HRESULT RecordingVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc) {
  if (!pDesc) return D3DERR_INVALIDCALL;
  *pDesc = bufferDesc;  // not logged: the device reads it while validating draws
  return S_OK;
}

RecordingIndexBuffer::RecordingIndexBuffer(RecordingDevice* dev, UINT length, DWORD usage, D3DFORMAT format,
                                           D3DPOOL pool)
    : RecordingObject("IndexBuffer"), device(dev), bytes(length, 0) {
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
  if ((Flags & (D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE)) && !(bufferDesc.Usage & D3DUSAGE_DYNAMIC))
    return logCall("Lock", a, D3DERR_INVALIDCALL);
  HRESULT hr = lockBuffer(bytes, OffsetToLock, SizeToLock, ppbData);
  if (hr == S_OK) {
    ++locks;
    checkedRanges.clear();
  }
  return logCall("Lock", a, hr);
}

HRESULT RecordingIndexBuffer::Unlock() {
  if (HRESULT hr = injected("Unlock")) return logCall("Unlock", "", hr);
  if (locks == 0) return logCall("Unlock", "", D3DERR_INVALIDCALL);
  --locks;
  return logCall("Unlock", "", S_OK);
}

HRESULT RecordingIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc) {
  if (!pDesc) return D3DERR_INVALIDCALL;
  *pDesc = bufferDesc;
  return S_OK;
}

// --- declarations and shaders -------------------------------------------------------------
RecordingVertexDeclaration::RecordingVertexDeclaration(RecordingDevice* dev, const D3DVERTEXELEMENT9* elements,
                                                       UINT count)
    : RecordingObject("VertexDeclaration"), device(dev), items(elements, elements + count) {
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
  std::string a = args(p(pElement), p(pNumElements));
  if (!pNumElements) return logCall("GetDeclaration", a, D3DERR_INVALIDCALL);
  UINT total = (UINT)items.size() + 1;
  if (pElement) {
    if (*pNumElements < total) return logCall("GetDeclaration", a, D3DERR_INVALIDCALL);
    std::memcpy(pElement, items.data(), items.size() * sizeof(D3DVERTEXELEMENT9));
    pElement[items.size()] = D3DVERTEXELEMENT9 D3DDECL_END();
  }
  *pNumElements = total;
  return logCall("GetDeclaration", a, S_OK);
}

static HRESULT copyFunction(const std::vector<DWORD>& code, void* pData, UINT* pSize) {
  if (!pSize) return D3DERR_INVALIDCALL;
  UINT bytes = (UINT)(code.size() * 4);
  if (pData) {
    if (*pSize < bytes) return D3DERR_INVALIDCALL;
    std::memcpy(pData, code.data(), bytes);
  }
  *pSize = bytes;
  return S_OK;
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
  return logCall("GetFunction", args(p(pData), p(pSizeOfData)), copyFunction(code, pData, pSizeOfData));
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
  return logCall("GetFunction", args(p(pData), p(pSizeOfData)), copyFunction(code, pData, pSizeOfData));
}
