// Post-processing on the OpenGL implementation (Mesa's llvmpipe, no display):
// inputs are written into the targets through a plain surface, the effects
// run for real and their output is read back and checked pixel by pixel.

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/postfx/PostFX.h"
#include "support/GlRenderDeviceTest.h"
#include "support/SurfaceReadback.h"

namespace {

int channel(uint32_t argb, int shift) { return int((argb >> shift) & 0xFF); }
int red(uint32_t c) { return channel(c, 16); }

uint32_t argb(int a, int r, int g, int b) { return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }
uint32_t grey(int a, int v) { return argb(a, v, v, v); }

class PostFXGlTest : public GlRenderDeviceTest {
 protected:
  void TearDown() override {
    postFXShutdown();
    GlRenderDeviceTest::TearDown();
  }

  void start(int width, int height) {
    ASSERT_NO_FATAL_FAILURE(GlRenderDeviceTest::start(width, height));
    ASSERT_TRUE(postFXInit(float(width), float(height)));
  }

  // Writes pixel(x, y) into a target (-1: the back buffer) through a plain surface.
  void fill(int target, const std::function<uint32_t(int, int)>& pixel) {
    IDirect3DSurface9* surface = nullptr;
    if (target == -1)
      device->device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface);
    else
      (surface = device->renderTargets[target].surface)->AddRef();
    ASSERT_NE(surface, nullptr);
    D3DSURFACE_DESC desc;
    surface->GetDesc(&desc);
    IDirect3DSurface9* plain = nullptr;
    ASSERT_EQ(device->device->CreateOffscreenPlainSurface(desc.Width, desc.Height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                          &plain, nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(plain->LockRect(&locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y) {
      uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch));
      for (UINT x = 0; x < desc.Width; ++x) row[x] = pixel(int(x), int(y));
    }
    plain->UnlockRect();
    EXPECT_EQ(device->device->StretchRect(plain, nullptr, surface, nullptr, D3DTEXF_POINT), D3D_OK);
    plain->Release();
    surface->Release();
  }

  // A target (-1: the back buffer) as 0xAARRGGBB words, row 0 at the top.
  SurfacePixels read(int target) {
    return readSurface(device->device, target == -1 ? nullptr : device->renderTargets[target].surface);
  }

  // Runs one effect the way a chain does.
  void run(PostEffect& effect) {
    device->beginScene();
    device->setMaterial(&postMaterial);
    effect.apply();
    device->endScene();
  }

  // A target read back whose width is not the one given, or every pixel where
  // expected(x, y) and the target differ by more than the tolerance in any
  // channel (alpha only where checkAlpha), as text.
  std::string differences(int target, int width, const std::function<uint32_t(int, int)>& expected, int tolerance,
                          bool checkAlpha = true) {
    SurfacePixels image = read(target);
    if (image.bytes.empty()) return "no pixels read back\n";
    if (image.width != width) return "width " + std::to_string(image.width) + "\n";
    std::string out;
    int count = 0;
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        uint32_t got = image.word(x, y), want = expected(x, y);
        bool bad = false;
        for (int shift : {16, 8, 0, 24})
          bad |= (shift != 24 || checkAlpha) && std::abs(channel(got, shift) - channel(want, shift)) > tolerance;
        if (bad && ++count <= 8) {
          char line[96];
          std::snprintf(line, sizeof line, "(%d, %d): got %08x want %08x\n", x, y, got, want);
          out += line;
        }
      }
    }
    if (count > 8) out += std::to_string(count) + " pixels differ\n";
    return out;
  }
};

TEST_F(PostFXGlTest, DownsampleAveragesTheFourByFourBlockAndBrightPassSubtractsTheThreshold) {
  start(1024, 768);
  // quarter0 is 256 x 192, sixteenth0 64 x 48.
  fill(postTargets.quarter0, [](int x, int y) { return x == 4 && y == 4 ? 0xFFFFFFFFu : 0xFF000000u; });
  DownsampleEffect downsample(postTargets.quarter0, postTargets.sixteenth0);
  run(downsample);
  auto dot = [](int x, int y) { return x == 1 && y == 1 ? grey(255, 16) : grey(255, 0); };
  EXPECT_EQ(differences(postTargets.sixteenth0, 64, dot, 1), "");

  // Left half mid-grey, right half exactly at the threshold's byte (84 / 255 < 0.33).
  fill(postTargets.quarter0, [](int x, int) { return x < 128 ? argb(200, 128, 128, 128) : argb(200, 84, 200, 10); });
  BrightPassEffect bright(postTargets.quarter0, postTargets.quarter1);
  run(bright);
  // 128/255 - 0.33 = 0.172 -> 44; 200/255 - 0.33 = 0.454 -> 116; alpha passes.
  EXPECT_EQ(differences(postTargets.quarter1, 256,
                        [](int x, int) { return x < 128 ? argb(200, 44, 44, 44) : argb(200, 0, 116, 0); }, 1),
            "");
}

TEST_F(PostFXGlTest, BlurSpreadsOneTexelAlongItsAxisOnly) {
  start(1024, 768);
  const int weights[8] = {34, 32, 27, 21, 14, 8, 5, 2};  // w(k) x 255, rounded
  // A faint alpha everywhere shows the unweighted sum; the dot's row saturates.
  fill(postTargets.quarter0, [](int x, int y) { return x == 100 && y == 50 ? 0xFFFFFFFFu : argb(16, 0, 0, 0); });
  for (int vertical = 0; vertical < 2; ++vertical) {
    SCOPED_TRACE(vertical ? "vertical" : "horizontal");
    BlurEffect blur(postTargets.quarter0, postTargets.quarter1, vertical);
    run(blur);
    EXPECT_EQ(differences(postTargets.quarter1, 256,
                          [&](int x, int y) {
                            int along = vertical ? y - 50 : x - 100, across = vertical ? x - 100 : y - 50;
                            bool reached = across == 0 && along >= -7 && along <= 7;
                            int v = reached ? weights[std::abs(along)] : 0;
                            return argb(reached ? 255 : 15 * 16, v, v, v);
                          },
                          1),
              "");
  }
}

// At 1366 x 768 the quarter targets are 341 wide. The copy fills all of one;
// the combine, summing and saturating, all of a full-size target, and all of
// the back buffer when the source gives the size.
TEST_F(PostFXGlTest, CopyAndCombineCoverTargetsWhoseWidthIsNoMultipleOfFour) {
  start(1366, 768);
  fill(postTargets.full0, [](int, int) { return argb(255, 153, 153, 153); });   // 0.6
  fill(postTargets.quarter1, [](int, int) { return argb(255, 153, 40, 20); });  // 0.6, 0.16, 0.08
  CopyEffect copy(postTargets.full0, postTargets.quarter0);
  run(copy);
  EXPECT_EQ(differences(postTargets.quarter0, 341, [](int, int) { return argb(255, 153, 153, 153); }, 1), "");
  CombineEffect combine(postTargets.quarter0, postTargets.quarter1, postTargets.full1);
  run(combine);
  EXPECT_EQ(differences(postTargets.full1, 1366, [](int, int) { return argb(255, 255, 193, 173); }, 1, false), "");
  device->clear(BUFFER_COLOR, 0xFFFF0000, 0);
  CombineEffect toBack(postTargets.full0, postTargets.full1, -1);
  run(toBack);
  EXPECT_EQ(differences(-1, 1366, [](int, int) { return 0xFFFFFFFFu; }, 0, false), "");
}

TEST_F(PostFXGlTest, AlphaBlendMixesByTheFirstInputsAlpha) {
  start(256, 192);
  fill(postTargets.full0, [](int x, int) { return x < 128 ? argb(64, 200, 0, 100) : argb(0, 200, 0, 100); });
  fill(postTargets.quarter0, [](int, int) { return argb(255, 0, 240, 20); });
  device->clear(BUFFER_COLOR, 0xFF102030, 0);
  AlphaBlendEffect blend(postTargets.full0, postTargets.quarter0, -1);
  run(blend);
  // 64/255 = 0.251: 0.749 x first + 0.251 x second; alpha 0 keeps the first.
  auto mixed = [](int x, int) { return x < 128 ? argb(255, 150, 60, 80) : argb(255, 200, 0, 100); };
  EXPECT_EQ(differences(-1, 256, mixed, 1), "");
}

// The depth-blur chain keeps a scene of alpha zero (no blur) as it was, the
// bloom chain a dark one; a bright spot does bloom.
TEST_F(PostFXGlTest, ChainsKeepAPlainSceneAndBloomABrightSpot) {
  start(320, 240);
  PostChain* depthBlur = buildChain2();
  PostChain* bloom = buildChain1();
  auto sharp = [](int x, int y) { return argb(0, (x * 7) & 0xFF, (y * 5) & 0xFF, ((x ^ y) * 3) & 0xFF); };
  fill(-1, sharp);
  depthBlur->apply();
  EXPECT_EQ(differences(-1, 320, [&](int x, int y) { return sharp(x, y) | 0xFF000000u; }, 1), "");
  auto dark = [](int x, int y) { return argb(255, (x * 7) % 85, (y * 5) % 85, ((x ^ y) * 3) % 85); };
  fill(-1, dark);
  bloom->apply();
  EXPECT_EQ(differences(-1, 320, dark, 1, false), "");

  // Its neighbourhood brightens.
  fill(-1, [](int x, int y) { return std::abs(x - 160) < 4 && std::abs(y - 120) < 4 ? 0xFFFFFFFFu : 0xFF000000u; });
  bloom->apply();
  SurfacePixels out = read(-1);
  EXPECT_GT(red(out.word(172, 120)), 0);
  EXPECT_GT(red(out.word(160, 132)), 0);
  EXPECT_EQ(red(out.word(10, 10)), 0);
  for (PostChain* chain : {depthBlur, bloom}) {
    chain->release();
    TRACKED_DELETE(chain);
  }
}

}  // namespace
