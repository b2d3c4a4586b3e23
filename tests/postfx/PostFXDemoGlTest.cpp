// Chain 2 on the demo's own frame (station scene, both passes) on llvmpipe:
// every pixel of the result is the scene blended with the blurred quarter-size
// copy by the alpha the scene's materials wrote, so in-focus parts stay sharp
// and the rest is replaced by the blur.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "demo/DemoApplication.h"
#include "demo/Log.h"
#include "engine/Window.h"
#include "engine/files/ByteOrder.h"
#include "engine/files/FileManager.h"
#include "engine/postfx/PostFX.h"
#include "engine/render/RenderDeviceDX9.h"
#include "engine/scene/SGScene.h"
#include "support/TestDir.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// A target (-1: the back buffer) as 0xAARRGGBB words.
std::vector<uint32_t> readTarget(RenderDeviceDX9* device, int target, int width, int height) {
  std::vector<uint32_t> pixels;
  IDirect3DSurface9* surface = nullptr;
  if (target == -1) {
    device->device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface);
  } else {
    surface = device->renderTargets[target].surface;
    surface->AddRef();
  }
  IDirect3DSurface9* copy = nullptr;
  if (device->device->CreateOffscreenPlainSurface(UINT(width), UINT(height), D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &copy,
                                                  nullptr) == D3D_OK &&
      device->device->GetRenderTargetData(surface, copy) == D3D_OK) {
    D3DLOCKED_RECT locked;
    if (copy->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
      pixels.resize(size_t(width) * size_t(height));
      for (int y = 0; y < height; ++y)
        std::memcpy(&pixels[size_t(y) * size_t(width)], static_cast<uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch),
                    size_t(width) * 4);
      copy->UnlockRect();
    }
  }
  if (copy) copy->Release();
  if (surface) surface->Release();
  return pixels;
}

float channel(uint32_t c, int shift) { return float((c >> shift) & 0xFF); }

TEST(PostFXDemoGl, DepthBlurFollowsTheScenesAlpha) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  TestDir dir("postfx-demo-gl");
  std::filesystem::create_directory_symlink(std::filesystem::path(VANTREL_RUN_DIR) / "data", "data");
  logOpen();
  initByteOrder();
  resetRenderDevice();
  ASSERT_TRUE(d3d9SelectImplementation("gl"));
  Window window;
  window.create(0, 0, kWidth, kHeight, 2, nullptr);
  FileManagerOS files;
  files.setRoot("../../data/");
  RenderDeviceDX9* device = getRenderDevice();
  device->fileManager = &files;
  device->init(window.getHandle(), DisplayMode{kWidth, kHeight, 32, 60},
               DeviceSettings{false, false, 0, 1, float(kWidth) / float(kHeight)},
               BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL);
  ASSERT_NE(device->device, nullptr);
  postFXInit(float(kWidth), float(kHeight));
  DemoApplication* demo = getDemoApplication();
  demo->fileManager = &files;
  demo->init();

  // The demo's frame as far as the scene, with the camera where it starts.
  demo->camera.setPosition(DemoApplication::cameraPositionAt(0.0f));
  demo->light.position = DemoApplication::lightPositionAt(0.0f);
  device->clear(BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL, 0xFF000020u, 0);
  demo->scene->render(0.0f);
  std::vector<uint32_t> scene = readTarget(device, -1, kWidth, kHeight);
  postChain2->apply();
  std::vector<uint32_t> result = readTarget(device, -1, kWidth, kHeight);
  const int qw = kWidth / 4, qh = kHeight / 4;
  std::vector<uint32_t> blur = readTarget(device, postTargets.quarter0, qw, qh);
  ASSERT_FALSE(scene.empty());
  ASSERT_FALSE(result.empty());
  ASSERT_FALSE(blur.empty());

  // The blurred copy, stretched bilinearly over the screen as the blend samples it.
  auto blurred = [&](int x, int y, int shift) {
    float u = (float(x) + 0.5f) / kWidth * qw - 0.5f, v = (float(y) + 0.5f) / kHeight * qh - 0.5f;
    int x0 = int(std::floor(u)), y0 = int(std::floor(v));
    float fx = u - float(x0), fy = v - float(y0);
    auto texel = [&](int tx, int ty) {
      tx = tx < 0 ? 0 : tx >= qw ? qw - 1 : tx;
      ty = ty < 0 ? 0 : ty >= qh ? qh - 1 : ty;
      return channel(blur[size_t(ty) * size_t(qw) + size_t(tx)], shift);
    };
    return (texel(x0, y0) * (1 - fx) + texel(x0 + 1, y0) * fx) * (1 - fy) +
           (texel(x0, y0 + 1) * (1 - fx) + texel(x0 + 1, y0 + 1) * fx) * fy;
  };

  int focused = 0, soft = 0, changed = 0, wrong = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint32_t s = scene[size_t(y) * kWidth + size_t(x)], r = result[size_t(y) * kWidth + size_t(x)];
      float a = channel(s, 24) / 255.0f;
      if (a < 0.5f) ++focused;
      if (a > 0.9f) ++soft;
      if (channel(r, 24) != 255.0f) ++wrong;
      bool differs = false;
      for (int shift : {16, 8, 0}) {
        float expected = channel(s, shift) + (blurred(x, y, shift) - channel(s, shift)) * a;
        if (std::fabs(channel(r, shift) - expected) > 3.0f) ++wrong;
        if (std::fabs(channel(r, shift) - channel(s, shift)) > 8.0f) differs = true;
      }
      if (differs) ++changed;
    }
  }
  EXPECT_EQ(wrong, 0);
  // The frame holds both kinds, and the blur shows.
  EXPECT_GT(focused, 500);
  EXPECT_GT(soft, kWidth * kHeight / 10);
  EXPECT_GT(changed, 100);

  demo->shutdown();
  destroyDemoApplication();
  postFXShutdown();
  resetRenderDevice();
  d3d9SelectImplementation(nullptr);
}

}  // namespace
