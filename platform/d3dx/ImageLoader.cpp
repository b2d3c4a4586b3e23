// The D3DX image functions: image information and textures created through
// the device interface from a decoded image, with a full mip chain.

#include "platform/d3d9/D3D9Rules.h"
#include "platform/d3dx/ImageDecoder.h"
#include "platform/d3dx/d3dx9.h"

#include <cstring>

namespace {

// Whether the device can create a texture of this format.
bool deviceSupports(IDirect3DDevice9* device, D3DFORMAT format, D3DRESOURCETYPE type) {
  IDirect3D9* d3d = nullptr;
  if (FAILED(device->GetDirect3D(&d3d)) || !d3d) return false;
  D3DDISPLAYMODE mode = {};
  device->GetDisplayMode(0, &mode);
  bool ok = SUCCEEDED(d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mode.Format, 0, type, format));
  d3d->Release();
  return ok;
}

// The levels to upload for every face, in the chosen format.
struct Prepared {
  D3DFORMAT format;
  UINT levels;
  std::vector<std::vector<uint8_t>> surfaces;  // face-major
};

HRESULT prepare(IDirect3DDevice9* device, const DecodedImage& image, UINT mipLevels, D3DFORMAT wanted,
                D3DCOLOR colorKey, D3DRESOURCETYPE type, Prepared* out) {
  UINT full = d3d9FullMipCount(image.width, image.height);
  UINT levels;
  if (mipLevels == 0 || mipLevels == D3DX_DEFAULT)
    levels = full;
  else if (mipLevels == D3DX_FROM_FILE)
    levels = image.levels;
  else
    levels = mipLevels < full ? mipLevels : full;
  D3DFORMAT format = wanted == D3DFMT_UNKNOWN || wanted == D3DFMT_FROM_FILE ? image.format : wanted;
  bool supported = deviceSupports(device, format, type);
  out->surfaces.clear();

  // The file's own levels, as they are.
  if (format == image.format && supported && image.levels >= levels && colorKey == 0) {
    out->format = format;
    out->levels = levels;
    for (UINT face = 0; face < image.faces(); ++face)
      for (UINT level = 0; level < levels; ++level) out->surfaces.push_back(image.surface(face, level));
    return S_OK;
  }
  // Otherwise level 0 goes through A8R8G8B8 and the chain is filtered from it;
  // compressed or unsupported formats stay in A8R8G8B8.
  if (isBlockCompressed(format) || !supported) format = D3DFMT_A8R8G8B8;
  std::vector<uint8_t> argb, half, encoded;
  for (UINT face = 0; face < image.faces(); ++face) {
    if (!imageToArgb8(image.format, image.width, image.height, image.surface(face, 0).data(), &argb)) {
      // Floating-point images keep the levels the file has.
      if (format != image.format || !supported) return D3DXERR_INVALIDDATA;
      levels = image.levels < levels ? image.levels : levels;
      for (UINT level = 0; level < levels; ++level) out->surfaces.push_back(image.surface(face, level));
      continue;
    }
    if (colorKey != 0) {
      for (size_t i = 0; i < argb.size(); i += 4) {
        uint32_t v = (uint32_t)argb[i] | (uint32_t)argb[i + 1] << 8 | (uint32_t)argb[i + 2] << 16 |
                     (uint32_t)argb[i + 3] << 24;
        if (v == colorKey) std::memset(&argb[i], 0, 4);
      }
    }
    UINT w = image.width, h = image.height;
    for (UINT level = 0; level < levels; ++level) {
      if (format == D3DFMT_A8R8G8B8)
        encoded = argb;
      else if (!imageFromArgb8(format, w, h, argb.data(), &encoded))
        return D3DXERR_INVALIDDATA;
      out->surfaces.push_back(encoded);
      if (level + 1 < levels) {
        imageHalveArgb8(w, h, argb.data(), &half);
        argb.swap(half);
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
      }
    }
  }
  out->format = format;
  out->levels = levels;
  return S_OK;
}

// Copies one level into a locked rectangle, row by row (rows of blocks for DXTn).
void copyLevel(const D3DLOCKED_RECT& rect, D3DFORMAT format, UINT width, UINT height, const std::vector<uint8_t>& src) {
  UINT pitch = imagePitch(format, width);
  UINT rows = isBlockCompressed(format) ? (height + 3) / 4 : height;
  for (UINT r = 0; r < rows; ++r)
    std::memcpy(static_cast<uint8_t*>(rect.pBits) + (size_t)r * rect.Pitch, src.data() + (size_t)r * pitch, pitch);
}

void fillInfo(const DecodedImage& image, D3DXIMAGE_INFO* info) {
  if (!info) return;
  info->Width = image.width;
  info->Height = image.height;
  info->Depth = 1;
  info->MipLevels = image.levels;
  info->Format = image.format;
  info->ResourceType = image.cube ? D3DRTYPE_CUBETEXTURE : D3DRTYPE_TEXTURE;
  info->ImageFileFormat = image.fileFormat;
}

bool defaultSize(UINT size) { return size == 0 || size == D3DX_DEFAULT || size == D3DX_DEFAULT_NONPOW2 || size == D3DX_FROM_FILE; }

}  // namespace

HRESULT D3DXGetImageInfoFromFileInMemory(LPCVOID pSrcData, UINT SrcDataSize, D3DXIMAGE_INFO* pSrcInfo) {
  if (!pSrcData || SrcDataSize == 0 || !pSrcInfo) return D3DERR_INVALIDCALL;
  DecodedImage image;
  std::string error;
  if (!decodeImage(pSrcData, SrcDataSize, true, &image, &error)) return D3DXERR_INVALIDDATA;
  fillInfo(image, pSrcInfo);
  return S_OK;
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize, UINT Width,
                                            UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                            DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                            PALETTEENTRY* pPalette, LPDIRECT3DTEXTURE9* ppTexture) {
  (void)Filter;
  (void)MipFilter;
  (void)pPalette;
  if (ppTexture) *ppTexture = nullptr;
  if (!pDevice || !pSrcData || SrcDataSize == 0 || !ppTexture) return D3DERR_INVALIDCALL;
  // Textures are filled through LockRect: a default-pool texture must be dynamic.
  if (Pool == D3DPOOL_DEFAULT && !(Usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
  DecodedImage image;
  std::string error;
  if (!decodeImage(pSrcData, SrcDataSize, false, &image, &error)) return D3DXERR_INVALIDDATA;
  if ((!defaultSize(Width) && Width != image.width) || (!defaultSize(Height) && Height != image.height))
    return D3DERR_INVALIDCALL;
  Prepared prepared;
  HRESULT hr = prepare(pDevice, image, MipLevels, Format, ColorKey, D3DRTYPE_TEXTURE, &prepared);
  if (FAILED(hr)) return hr;
  IDirect3DTexture9* texture = nullptr;
  hr = pDevice->CreateTexture(image.width, image.height, prepared.levels, Usage, prepared.format, Pool, &texture, nullptr);
  if (FAILED(hr)) return hr;
  UINT w = image.width, h = image.height;
  for (UINT level = 0; level < prepared.levels; ++level) {
    D3DLOCKED_RECT rect;
    hr = texture->LockRect(level, &rect, nullptr, 0);
    if (FAILED(hr)) {
      texture->Release();
      return hr;
    }
    copyLevel(rect, prepared.format, w, h, prepared.surfaces[level]);
    texture->UnlockRect(level);
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  fillInfo(image, pSrcInfo);
  *ppTexture = texture;
  return S_OK;
}

HRESULT D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize,
                                          LPDIRECT3DTEXTURE9* ppTexture) {
  return D3DXCreateTextureFromFileInMemoryEx(pDevice, pSrcData, SrcDataSize, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                             D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                             nullptr, ppTexture);
}

HRESULT D3DXCreateCubeTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize,
                                              LPDIRECT3DCUBETEXTURE9* ppCubeTexture) {
  if (ppCubeTexture) *ppCubeTexture = nullptr;
  if (!pDevice || !pSrcData || SrcDataSize == 0 || !ppCubeTexture) return D3DERR_INVALIDCALL;
  DecodedImage image;
  std::string error;
  // The header says whether it is a cube at all; only then is the rest decoded.
  if (!decodeImage(pSrcData, SrcDataSize, true, &image, &error) || !image.cube) return D3DXERR_INVALIDDATA;
  if (!decodeImage(pSrcData, SrcDataSize, false, &image, &error)) return D3DXERR_INVALIDDATA;
  Prepared prepared;
  HRESULT hr = prepare(pDevice, image, D3DX_DEFAULT, D3DFMT_UNKNOWN, 0, D3DRTYPE_CUBETEXTURE, &prepared);
  if (FAILED(hr)) return hr;
  IDirect3DCubeTexture9* cube = nullptr;
  hr = pDevice->CreateCubeTexture(image.width, prepared.levels, 0, prepared.format, D3DPOOL_MANAGED, &cube, nullptr);
  if (FAILED(hr)) return hr;
  for (UINT face = 0; face < 6; ++face) {
    UINT e = image.width;
    for (UINT level = 0; level < prepared.levels; ++level) {
      D3DLOCKED_RECT rect;
      hr = cube->LockRect((D3DCUBEMAP_FACES)face, level, &rect, nullptr, 0);
      if (FAILED(hr)) {
        cube->Release();
        return hr;
      }
      copyLevel(rect, prepared.format, e, e, prepared.surfaces[face * prepared.levels + level]);
      cube->UnlockRect((D3DCUBEMAP_FACES)face, level);
      e = e > 1 ? e / 2 : 1;
    }
  }
  *ppCubeTexture = cube;
  return S_OK;
}
