// The ImGui frame of the Direct3D 9 comparison test, drawn by Dear ImGui's
// Direct3D 9 back end on Windows' own Direct3D 9 (Wine's, in CI), read back
// and held against the pictures given: ImGui's OpenGL 3 back end's and our
// stand-in's. An outside oracle for the stand-in. The back end uses the
// fixed-function stages only, so Wine's shader compiler plays no part.
//   imgui_frame_check OUT.png REFERENCE.png...

#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
#include <stb_image_write.h>

#include <windows.h>
#include <d3d9.h>
#include <imgui_impl_dx9.h>

#include <cstdio>
#include <vector>

#include "support/FrameDifference.h"
#include "support/ImGuiTestFrame.h"

using namespace imgui_test;

namespace {

IDirect3DDevice9* device = nullptr;

bool createDevice(HWND window, IDirect3D9** d3d) {
  *d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!*d3d) return false;
  D3DPRESENT_PARAMETERS pp = {kW, kH, D3DFMT_X8R8G8B8, 1, D3DMULTISAMPLE_NONE, 0, D3DSWAPEFFECT_COPY, window, TRUE,
                              FALSE, D3DFMT_UNKNOWN, 0, 0, D3DPRESENT_INTERVAL_IMMEDIATE};
  return (*d3d)->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                              &device) == D3D_OK;
}

// The back buffer as RGB rows, top row first.
bool readBack(std::vector<uint8_t>& rgb) {
  IDirect3DSurface9 *back = nullptr, *copy = nullptr;
  bool ok = device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back) == D3D_OK &&
            device->CreateOffscreenPlainSurface(kW, kH, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr) == D3D_OK &&
            device->GetRenderTargetData(back, copy) == D3D_OK;
  D3DLOCKED_RECT locked;
  if (ok && copy->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const uint8_t* bgra = static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch + size_t(x) * 4;
        rgb.insert(rgb.end(), {bgra[2], bgra[1], bgra[0]});
      }
    copy->UnlockRect();
  } else {
    ok = false;
  }
  if (copy) copy->Release();
  if (back) back->Release();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("usage: imgui_frame_check OUT.png REFERENCE.png...\n");
    return 2;
  }
  WNDCLASSA wc = {0, DefWindowProcA, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr,
                  "ImGuiFrameCheck"};
  RegisterClassA(&wc);
  RECT r = {0, 0, kW, kH};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  HWND window = CreateWindowA("ImGuiFrameCheck", "ImGui frame", WS_OVERLAPPEDWINDOW, 0, 0, r.right - r.left,
                              r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
  IDirect3D9* d3d = nullptr;
  if (!window || !createDevice(window, &d3d)) {
    std::printf("no Direct3D 9 device\n");
    return 1;
  }
  buildFrames(
      [] {
        if (!ImGui::GetIO().BackendRendererUserData) ImGui_ImplDX9_Init(device);
        ImGui_ImplDX9_NewFrame();
      },
      [](ImDrawData* data) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_COLORVALUE(kClear[0], kClear[1], kClear[2], 1.0f), 1.0f,
                      0);
        device->BeginScene();
        ImGui_ImplDX9_RenderDrawData(data);
        device->EndScene();
        ImGui_ImplDX9_Shutdown();
      });
  std::vector<uint8_t> frame;
  const bool read = readBack(frame);
  device->Release();
  d3d->Release();
  DestroyWindow(window);
  if (!read) {
    std::printf("the back buffer could not be read\n");
    return 1;
  }
  stbi_write_png(argv[1], kW, kH, 3, frame.data(), kW * 3);
  int status = 0;
  for (int i = 2; i < argc; ++i) {
    int w = 0, h = 0, channels = 0;
    unsigned char* pixels = stbi_load(argv[i], &w, &h, &channels, 3);
    if (!pixels || w != kW || h != kH) {
      std::printf("%s: not a %dx%d picture\n", argv[i], kW, kH);
      stbi_image_free(pixels);
      status = 1;
      continue;
    }
    std::vector<uint8_t> reference(pixels, pixels + size_t(kW) * kH * 3);
    stbi_image_free(pixels);
    const FrameDifference d = frameDifference(reference, frame, kW, kH);
    std::printf("%s: within 2/255 %.4f of pixels; worst 16x16 block at (%d, %d), mean difference %.2f\n", argv[i],
                d.share, d.worstX, d.worstY, d.worstMean);
    if (!d.close()) status = 1;
  }
  return status;
}
