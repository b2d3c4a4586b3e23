// The launcher on a real X server (its own Xvfb), driven with xdotool as a
// person would: it opens with its caption and controls, Enter returns OK with
// the default mode, Escape returns Cancel, and it is drawn at the screen's
// scale. A screenshot of it is kept next to the test's working files.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#include "support/Picture.h"
#include "support/XvfbSession.h"

namespace {

using namespace xvfb;

// The client size the launcher printed.
bool clientSize(const std::string& out, int& width, int& height) {
  size_t at = out.find("client=");
  return at != std::string::npos && std::sscanf(out.c_str() + at, "client=%dx%d", &width, &height) == 2;
}

struct Shot {
  int width = 0, height = 0;
  int highlightLeft = 0;  // selection blue in the left half (the mode list)
  int facePixels = 0;     // the dialog face colour
  int darkPixels = 0;     // text
};

Shot analyse(const std::string& png) {
  Picture picture = loadPng(png);
  Shot shot;
  shot.width = picture.width;
  shot.height = picture.height;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      const uint8_t* p = picture.at(x, y);
      if (p[0] == 0 && p[1] == 120 && p[2] == 215 && x < shot.width / 2) ++shot.highlightLeft;
      if (p[0] == 240 && p[1] == 240 && p[2] == 240) ++shot.facePixels;
      if (p[0] < 64 && p[1] < 64 && p[2] < 64) ++shot.darkPixels;
    }
  }
  return shot;
}

class LauncherE2E : public ::testing::Test {
 protected:
  // Cases may run in parallel in the same folder: their files are named
  // after them.
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    serverLog = name + "-xvfb.log";
    probeOutput = name + "-probe.out";
  }
  void TearDown() override { stopServer(); }

  void startServer(int dpi) { ASSERT_TRUE(x.start(dpi, serverLog)) << "Xvfb did not start: " << readFile(serverLog); }

  void stopServer() {
    if (probe > 0) waitFor(probe, 0);
    probe = -1;
    x.stop();
  }

  // Starts the launcher and waits for its window; the X window id.
  std::string openLauncher(const std::vector<std::string>& modes) {
    std::vector<std::string> args = {PROBE};
    args.insert(args.end(), modes.begin(), modes.end());
    probe = spawn(args, probeOutput);
    return findWindow("Vantrel demo", 15);
  }

  // Screenshots until the launcher is drawn (its selected line shows).
  Shot capture(const std::string& window, const std::string& file) {
    Shot shot;
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
      screenshot(window, file);
      shot = analyse(file);
      if (shot.highlightLeft > 50 && shot.darkPixels > 200) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    std::printf("launcher screenshot: %s\n", std::filesystem::absolute(file).c_str());
    RecordProperty("screenshot", std::filesystem::absolute(file).string());
    return shot;
  }

  // What the launcher printed once it has ended (or been killed).
  std::string finish(int& status) {
    status = waitFor(probe, 15);
    probe = -1;
    return readFile(probeOutput);
  }

  Server x;
  pid_t probe = -1;
  std::string serverLog;
  std::string probeOutput;
};

TEST_F(LauncherE2E, OpensWithItsControlsAndEnterAcceptsTheDefaultMode) {
  startServer(96);
  std::string window = openLauncher({"640x480x60", "1024x768x85", "800x600x75", "1024x768x85", "1280x1024x60"});
  ASSERT_FALSE(window.empty()) << "no launcher window appeared";
  Shot shot = capture(window, "launcher.png");
  std::string geometry = run("xdotool getwindowgeometry " + window);
  press(window, "Return");
  int status = 0;
  std::string out = finish(status);
  ASSERT_EQ(status, 0) << out;

  EXPECT_NE(out.find("caption=Vantrel demo"), std::string::npos) << out;
  for (const char* control : {"id=1 text=OK visible=1", "id=2 text=Cancel visible=1",
                              "id=1001 text=Fullscreen visible=1", "id=1002 text=No sound visible=1",
                              "id=1007 text=Resolution visible=1", "id=1009 text=4:3 visible=1",
                              "id=1010 text=Aspect Ratio visible=1", "id=1006 text= visible=1",
                              "id=1012 text=Anti-Alias visible=1", "id=1013 text=VSync visible=1"}) {
    EXPECT_NE(out.find(std::string("control ") + control), std::string::npos) << control;
  }
  // The last 1024x768 at 85 Hz is preselected and comes back on Enter.
  EXPECT_NE(out.find("result=1 mode=3 aspect=0 fullscreen=1 vsync=1 antialias=1 nosound=0"), std::string::npos)
      << out;

  // The screenshot is the dialog's client area, drawn: the face, text, and
  // the selected mode highlighted in the list.
  int width = 0, height = 0;
  ASSERT_TRUE(clientSize(out, width, height)) << out;
  EXPECT_NE(geometry.find("Geometry: " + std::to_string(width) + "x" + std::to_string(height)), std::string::npos)
      << geometry;
  EXPECT_EQ(shot.width, width);
  EXPECT_EQ(shot.height, height);
  EXPECT_GT(shot.facePixels, width * height / 3);
  EXPECT_GT(shot.highlightLeft, 50);
  EXPECT_GT(shot.darkPixels, 200);
}

TEST_F(LauncherE2E, TheDemosOptionsPreselectTheControls) {
  startServer(96);
  std::string window = openLauncher(
      {"640x480x60", "1024x768x85", "1280x720x60", "--windowed", "--mode=1280x720", "--no-vsync", "--no-msaa", "--aspect=16:9"});
  ASSERT_FALSE(window.empty()) << "no launcher window appeared";
  capture(window, "launcher-options.png");
  press(window, "Return");
  int status = 0;
  std::string out = finish(status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("result=1 mode=2 aspect=2 fullscreen=0 vsync=0 antialias=0 nosound=0 modes=3"),
            std::string::npos)
      << out;
}

TEST_F(LauncherE2E, EscapeCancels) {
  startServer(96);
  std::string window = openLauncher({});
  ASSERT_FALSE(window.empty()) << "no launcher window appeared";
  capture(window, "launcher-cancel.png");
  press(window, "Escape");
  int status = 0;
  std::string out = finish(status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("result=0 "), std::string::npos) << out;
}

TEST_F(LauncherE2E, ScalesWithTheScreenDpi) {
  int width[2] = {}, height[2] = {};
  const int dpis[2] = {96, 192};
  for (int i = 0; i < 2; ++i) {
    startServer(dpis[i]);
    std::string window = openLauncher({"1024x768x60"});
    ASSERT_FALSE(window.empty()) << "no launcher window appeared at " << dpis[i] << " dpi";
    if (i == 1) capture(window, "launcher-192dpi.png");
    press(window, "Escape");
    int status = 0;
    std::string out = finish(status);
    ASSERT_EQ(status, 0) << out;
    ASSERT_TRUE(clientSize(out, width[i], height[i])) << out;
    stopServer();
  }
  EXPECT_NEAR(double(width[1]) / width[0], 2.0, 0.15);
  EXPECT_NEAR(double(height[1]) / height[0], 2.0, 0.15);
}

}  // namespace
