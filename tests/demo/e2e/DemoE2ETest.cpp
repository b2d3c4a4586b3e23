// vantrel-demo on its own Xvfb, driven with xdotool as a person would: the
// launcher appears, Enter starts the demo, frames are drawn in its window,
// Escape ends it with exit code 0, and log.txt tells what happened. A
// screenshot of a frame is kept next to the test's working files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#define STB_IMAGE_IMPLEMENTATION
#include "support/Picture.h"
#include "support/XvfbSession.h"

namespace {

namespace fs = std::filesystem;
using namespace xvfb;

// The spread of a screenshot's brightness.
struct Shot {
  int width = 0, height = 0, darkest = 255, brightest = 0;
};

Shot analyse(const std::string& png) {
  Picture picture = loadPng(png);
  Shot shot{picture.width, picture.height};
  for (size_t i = 0; i + 2 < picture.rgb.size(); i += 3) {
    int luma = (picture.rgb[i] * 3 + picture.rgb[i + 1] * 6 + picture.rgb[i + 2]) / 10;
    shot.darkest = std::min(shot.darkest, luma);
    shot.brightest = std::max(shot.brightest, luma);
  }
  return shot;
}

class DemoE2E : public ::testing::Test {
 protected:
  void TearDown() override {
    if (demo > 0) waitFor(demo, 0);
  }

  // The demo in a run folder of its own, the generated data linked in.
  void startDemo() {
    fs::remove_all(runDir);
    fs::create_directories(runDir);
    fs::create_directory_symlink(fs::path(VANTREL_RUN_DIR) / "data", fs::path(runDir) / "data");
    demo = spawn({DEMO}, "demo.out", -1, runDir);
  }

  std::string runDir = fs::absolute("run").string();
  Server x;
  pid_t demo = -1;
};

TEST_F(DemoE2E, EnterStartsTheDemoFramesAreDrawnAndEscapeEndsIt) {
  ASSERT_TRUE(x.start()) << "Xvfb did not start: " << readFile("xvfb.log");
  unsetenv("VANTREL_DEMO_FRAMES");
  startDemo();
  std::string launcher = findWindow("Vantrel demo", 20);
  ASSERT_FALSE(launcher.empty()) << "no launcher appeared";
  press(launcher, "Return");

  std::string window = findWindow("engine", 60);
  ASSERT_FALSE(window.empty()) << "no demo window appeared: " << readFile(runDir + "/demo.out");
  // Frames: the window shows a picture with dark and bright parts.
  std::string file = fs::absolute("demo-frame.png").string();
  Shot shot;
  for (auto end = Clock::now() + std::chrono::seconds(60); Clock::now() < end;) {
    screenshot(window, file);
    shot = analyse(file);
    if (shot.brightest - shot.darkest > 64) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  ASSERT_GT(shot.width, 0);
  std::printf("demo screenshot: %s\n", file.c_str());
  RecordProperty("screenshot", file);
  EXPECT_GT(shot.brightest - shot.darkest, 64) << "the window shows no picture";

  press(window, "Escape");
  EXPECT_EQ(waitFor(demo, 60), 0) << readFile(runDir + "/demo.out");
  demo = -1;

  const std::string log = readFile(runDir + "/log.txt");
  EXPECT_EQ(log.rfind("Vantrel Engine Log\n\n"
                      "FileManager: Add path ''.\n"
                      "FileManager: Add path '../../data/'.\n"
                      "FileManager: Add path '../../data/textures/'.\n"
                      "Resolution: ",
                      0),
            0u)
      << log;
  for (const char* line : {" Hz Format: ", "PixelShaderVersion = ", "VertexShaderVersion = ", "TextureStages = ",
                           "MaxAnisotropy = ", "CanAutoGenMipMap = "})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  EXPECT_EQ(log.find("failed"), std::string::npos) << log;
}

}  // namespace
