// The demo's life against the recording device, without a person: start-up
// in its order through the launcher to frames and back down with nothing left
// alive, and Cancel leaving no window and no device. (The camera's and the
// light's paths show in the golden frames.)

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "DemoFixture.h"
#include "demo/DemoApp.h"
#include "demo/DemoApplication.h"
#include "demo/DemoOptions.h"
#include "demo/SetupDialog.h"
#include "engine/postfx/PostFX.h"
#include "support/SdlInput.h"

namespace {

class DemoStartupTest : public DemoFixture {
 protected:
  static std::string log() { return TestDir::read("log.txt"); }
  // Index of the first call whose text starts so, or -1.
  static long first(const std::string& prefix) {
    const auto& all = recordingLog().calls();
    for (size_t i = 0; i < all.size(); ++i)
      if (startsWith(all[i].text, prefix)) return long(i);
    return -1;
  }

  // Started as `vantrel-demo --no-launcher --frames N`.
  static DemoOptions unattended(int frames) {
    DemoOptions options;
    options.noLauncher = true;
    options.frames = frames;
    return options;
  }

  TestDir dir{"demo"};
};

TEST_F(DemoStartupTest, StartsInOrderRunsFramesAndShutsEverythingDown) {
  writeTestScene();
  testing::internal::CaptureStdout();
  EXPECT_EQ(demoMain(GetModuleHandleA(nullptr), unattended(3)), 0);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(startsWith(out, "vantrel-demo: frames=3 first-frame-clock-ns=")) << out;

  // The log: header, the file manager's paths, then the device.
  const std::string text = log();
  EXPECT_TRUE(startsWith(text,
                         "Vantrel Engine Log\n\n"
                         "FileManager: Add path ''.\n"
                         "FileManager: Add path '../../data/'.\n"
                         "FileManager: Add path '../../data/textures/'.\n"
                         "Resolution: 640x480 60 Hz Format: A8R8G8B8\n"))
      << text;
  EXPECT_NE(text.find("PixelShaderVersion = 3.0\n"), std::string::npos) << text;

  // Device, built-in shaders, post-processing targets (640 x 480 first), the
  // scene's slide, the 1024 x 1024 shadow map, frames.
  std::vector<long> order = {first("CreateDevice("), first("CreateVertexShader("), first("CreateTexture(640, 480, 1, 0x1,"),
                             first("CreateTexture(1024, 1024, 1, 0x1,"), first("Present(")};
  ASSERT_NE(order[0], -1) << recordingLog().dump();
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << testing::PrintToString(order);
  EXPECT_GE(recordingLog().count("CreateVertexShader"), 11u + 9u);
  // Escape after the third frame, and no frame after it.
  EXPECT_EQ(recordingLog().count("Present"), 3u);
  EXPECT_EQ(recordingLog().count("CreateDevice"), 1u);

  // Down again: no window, no Direct3D object, nothing of the demo left.
  EXPECT_FALSE(IsWindow(demoWindow.getHandle()));
  EXPECT_EQ(recordingLiveObjects(), 0) << recordingLiveObjectList();
  EXPECT_EQ((std::array<const void*, 5>{getRenderDevice()->device, getRenderDevice()->fileManager, fileManager, postChain1,
                                        postChain2}),
            (std::array<const void*, 5>{}));
  EXPECT_EQ((std::pair{modeList.count, postTargets.full0}), (std::pair{0u, -1}));
}

TEST_F(DemoStartupTest, CancelLeavesNoWindowAndNoDevice) {
  ASSERT_TRUE(initSdlVideo());
  ASSERT_TRUE(pushKey(nullptr, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE));

  EXPECT_EQ(demoMain(GetModuleHandleA(nullptr), DemoOptions()), 0);
  EXPECT_EQ(first("CreateDevice("), -1);
  EXPECT_EQ((std::array<const void*, 2>{demoWindow.getHandle(), fileManager}), (std::array<const void*, 2>{}));
  EXPECT_EQ(modeList.count, 0u);
  EXPECT_EQ(log(),
            "Vantrel Engine Log\n\n"
            "FileManager: Add path ''.\n"
            "FileManager: Add path '../../data/'.\n"
            "FileManager: Add path '../../data/textures/'.\n");
}

TEST_F(DemoStartupTest, WithoutItsSceneTheDemoEndsNamingTheFile) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(demoMain(GetModuleHandleA(nullptr), unattended(1)), ::testing::ExitedWithCode(255),
              "DemoApplication::init: Couldn't load scene './data/station03.ase'.");
}

// The overlay draws through Dear ImGui's Direct3D 9 back end and leaves every
// state the engine set as it found it (so the render device's cache stays
// true), and takes its device objects with it.
TEST_F(DemoStartupTest, OverlayDrawsAndLeavesTheEngineStatesAsTheyWere) {
  writeTestScene();
  demoOpenData();
  DemoApplication* demo = demoStart(DisplayMode{640, 480, 32, 60}, DeviceSettings{false, false, 0, 1, 4.0f / 3.0f}, 1,
                                    DemoScene{});
  ASSERT_NE(demo, nullptr);
  demo->frame();
  RecordingDevice* device = recordingDevice();
  auto before = std::make_unique<D3D9States>(), after = std::make_unique<D3D9States>();
  device->copyStates(*before);
  const size_t draws = recordingLog().count("DrawIndexedPrimitive");
  demo->overlay.visible = true;
  // ImGui sizes a new window on its first frame and shows it from the second.
  for (int frame = 0; frame < 2; ++frame) demo->overlay.draw(*getRenderDevice(), 1.0f / 60.0f);
  device->copyStates(*after);
  EXPECT_GT(recordingLog().count("DrawIndexedPrimitive"), draws);
  EXPECT_EQ(recordingLog().count("StateBlock.Apply"), 2u);
  EXPECT_EQ(std::memcmp(before.get(), after.get(), sizeof(D3D9States)), 0);
  demoStop();
  EXPECT_EQ(recordingLiveObjects(), 0) << recordingLiveObjectList();
}

}  // namespace
