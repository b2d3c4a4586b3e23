// libFuzzer target: the D3DX image functions on arbitrary bytes, creating
// textures on the recording device. Anything may fail; nothing may crash,
// read out of bounds or decode more picture than the bytes can hold.

#include "platform/d3d9/RecordingDirect3D9.h"
#include "platform/d3dx/d3dx9.h"

#include <cstddef>
#include <cstdint>

namespace {
IDirect3DDevice9* device() {
  static IDirect3DDevice9* d = [] {
    recordingSelect();
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp = {16, 16, D3DFMT_A8R8G8B8, 0, D3DMULTISAMPLE_NONE, 0, D3DSWAPEFFECT_COPY,
                                nullptr, TRUE, FALSE, D3DFMT_UNKNOWN, 0, 0, 0};
    IDirect3DDevice9* created = nullptr;
    d3d->CreateDevice(0, D3DDEVTYPE_HAL, reinterpret_cast<HWND>(static_cast<uintptr_t>(1)),
                      D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &created);
    d3d->Release();
    return created;
  }();
  return d;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  recordingLog().clear();  // keeps memory flat over a long run
  D3DXIMAGE_INFO info;
  D3DXGetImageInfoFromFileInMemory(data, (UINT)size, &info);
  IDirect3DTexture9* texture = nullptr;
  if (SUCCEEDED(D3DXCreateTextureFromFileInMemory(device(), data, (UINT)size, &texture))) {
    // No format packs more than 8 pixels a byte into a deflate stream, which
    // shrinks at most 1032:1; a bigger picture cannot be in the file, and
    // decoding one from a few bytes means the loader made up its pixels.
    D3DSURFACE_DESC desc;
    texture->GetLevelDesc(0, &desc);
    if (uint64_t(desc.Width) * desc.Height > 8 * 1032 * uint64_t(size) + 4096) __builtin_trap();
    texture->Release();
  }
  IDirect3DCubeTexture9* cube = nullptr;
  if (SUCCEEDED(D3DXCreateCubeTextureFromFileInMemory(device(), data, (UINT)size, &cube))) cube->Release();
  return 0;
}
