// The real demo on a real X server (its own Xvfb): the launcher is accepted
// at its defaults, frames run with both post-processing chains, a screenshot
// of the window is kept, Escape ends the demo with 0.
//
// What the screenshot shows of the post-processing: the scene clears to
// 0xF0F0F0, far above the bright-pass threshold, so the bloom lifts every
// background pixel to pure white; without it the corners would read 240.
// Where the station lies in the window is left to the camera path and the
// presentation, so nothing here depends on it.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#define STB_IMAGE_IMPLEMENTATION
#include "support/Picture.h"
#include "support/XvfbSession.h"

namespace {

using namespace xvfb;
namespace fs = std::filesystem;

struct Shot {
  int width = 0, height = 0;
  int white = 0;        // pure white
  int background = 0;   // the clear colour untouched (240, 240, 240)
  int lit = 0;          // not black: a frame has been presented
  bool cornersWhite = false;
};

Shot analyse(const std::string& png) {
  Picture picture = loadPng(png);
  Shot shot;
  shot.width = picture.width;
  shot.height = picture.height;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      const uint8_t* p = picture.at(x, y);
      if (p[0] == 255 && p[1] == 255 && p[2] == 255) ++shot.white;
      if (p[0] == 240 && p[1] == 240 && p[2] == 240) ++shot.background;
      if (p[0] > 64 || p[1] > 64 || p[2] > 64) ++shot.lit;
    }
  }
  shot.cornersWhite = shot.width > 8 && shot.height > 8;
  for (int cy : {0, shot.height - 4})
    for (int cx : {0, shot.width - 4})
      for (int y = cy; y < cy + 4 && shot.cornersWhite; ++y)
        for (int x = cx; x < cx + 4; ++x)
          if (picture.at(x, y)[0] < 250 || picture.at(x, y)[1] < 250 || picture.at(x, y)[2] < 250)
            shot.cornersWhite = false;
  return shot;
}

class PostFXE2E : public ::testing::Test {
 protected:
  void TearDown() override {
    if (demo > 0) waitFor(demo, 0);
  }

  Server x;
  pid_t demo = -1;
};

TEST_F(PostFXE2E, FramesShowTheBloomOverTheScene) {
  // The demo reads ./data/ and writes log.txt where it runs: a folder of its own.
  fs::path work = fs::absolute("demo-run");
  fs::remove_all(work);
  fs::create_directories(work);
  fs::create_symlink(fs::path(VANTREL_RUN_DIR) / "data", work / "data");
  ASSERT_TRUE(x.start()) << "Xvfb did not start: " << readFile("xvfb.log");

  // The launcher's defaults without the launcher; a frame count far away,
  // so the demo runs until it gets Escape from here and then reports.
  demo = spawn({DEMO, "--no-launcher", "--frames", "100000000"}, "demo.out", -1, work.string());

  std::string window = findWindow("engine", 60);
  ASSERT_FALSE(window.empty()) << "no demo window appeared\n" << readFile(work / "demo.out");

  // Screenshots until a frame has been presented, then the next frame.
  std::string file = (work / "postfx-frame.png").string();
  Shot shot;
  auto deadline = Clock::now() + std::chrono::seconds(90);
  bool drawn = false;
  while (!drawn && Clock::now() < deadline) {
    screenshot(window, file);
    shot = analyse(file);
    drawn = shot.width > 0 && shot.lit > shot.width * shot.height / 2;
    if (!drawn) std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  if (drawn && awaitNewFrames(window, file, 1)) shot = analyse(file);
  std::printf("demo frame screenshot: %s\n", file.c_str());
  RecordProperty("screenshot", file);

  press(window, "Escape");
  int status = waitFor(demo, 60);
  demo = -1;
  std::string out = readFile(work / "demo.out");
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("vantrel-demo: frames="), std::string::npos) << out;
  std::string log = readFile(work / "log.txt");
  EXPECT_EQ(log.find("failed"), std::string::npos) << log;

  ASSERT_TRUE(drawn) << "no frame was presented";
  // Bloom: the 0xF0 background is lifted to white; nothing is left at 240.
  EXPECT_TRUE(shot.cornersWhite);
  EXPECT_GT(shot.white, shot.width * shot.height / 4);
  EXPECT_LT(shot.background, shot.width * shot.height / 100);
}

}  // namespace
