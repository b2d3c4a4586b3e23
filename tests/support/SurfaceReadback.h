#pragma once
// Reading a render target back on the OpenGL implementation: the texels go
// through a system-memory copy (GetRenderTargetData), row 0 at the top.

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/d3d9/d3d9.h"

struct SurfacePixels {
  int width = 0;
  int height = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  std::vector<uint8_t> bytes;  // empty when any step failed

  // A 32-bit texel as a 0xAARRGGBB word (either 32-bit colour format reads so).
  uint32_t word(int x, int y) const {
    uint32_t value;
    std::memcpy(&value, &bytes[(size_t(y) * size_t(width) + size_t(x)) * 4], 4);
    return value;
  }
  std::vector<uint32_t> words() const {
    std::vector<uint32_t> all(bytes.size() / 4);
    if (!all.empty()) std::memcpy(all.data(), bytes.data(), all.size() * 4);
    return all;
  }
};

// `surface` (null: the back buffer) through a copy in its own format.
inline SurfacePixels readSurface(IDirect3DDevice9* device, IDirect3DSurface9* surface = nullptr,
                                 int bytesPerTexel = 4) {
  SurfacePixels out;
  IDirect3DSurface9* back = nullptr;
  if (!surface && device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back) == D3D_OK) surface = back;
  if (!surface) return out;
  D3DSURFACE_DESC desc = {};
  surface->GetDesc(&desc);
  IDirect3DSurface9* copy = nullptr;
  D3DLOCKED_RECT locked;
  if (device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy, nullptr) ==
          D3D_OK &&
      device->GetRenderTargetData(surface, copy) == D3D_OK &&
      copy->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
    out.width = int(desc.Width);
    out.height = int(desc.Height);
    out.format = desc.Format;
    const size_t row = size_t(desc.Width) * size_t(bytesPerTexel);
    out.bytes.resize(row * desc.Height);
    for (UINT y = 0; y < desc.Height; ++y)
      std::memcpy(&out.bytes[y * row], static_cast<uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch), row);
    copy->UnlockRect();
  }
  if (copy) copy->Release();
  if (back) back->Release();
  return out;
}
