// The launcher on a real X server (its own Xvfb), driven with xdotool as a
// person would: it opens with its caption and controls, Enter returns OK with
// the default mode, Escape returns Cancel, and it is drawn at the screen's
// scale. A screenshot of it is kept next to the test's working files.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#include "support/Picture.h"
#include "support/XvfbSession.h"

namespace {

using namespace xvfb;

struct Shot {
  int width = 0, height = 0;
  int highlightLeft = 0;  // selection blue in the left half (the mode list)
  int facePixels = 0;     // the dialog face colour
  int darkPixels = 0;     // text
};

Shot analyse(const std::string& png) {
  Picture picture = loadPng(png);
  Shot shot{picture.width, picture.height};
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x) {
      const uint8_t* p = picture.at(x, y);
      if (p[0] == 0 && p[1] == 120 && p[2] == 215 && x < shot.width / 2) ++shot.highlightLeft;
      if (p[0] == 240 && p[1] == 240 && p[2] == 240) ++shot.facePixels;
      if (p[0] < 64 && p[1] < 64 && p[2] < 64) ++shot.darkPixels;
    }
  return shot;
}

class LauncherE2E : public ::testing::Test {
 protected:
  void TearDown() override {
    if (probe > 0) waitFor(probe, 0);
  }

  struct Launch {
    std::string out;            // what the launcher printed
    std::string geometry;       // xdotool's geometry of its window
    Shot shot;                  // its screenshot, once drawn
    int width = 0, height = 0;  // the client size it printed
  };

  // The launcher with `args` on a server of its own at `dpi`: screenshots
  // until it is drawn (its selected line shows), the last kept as `file`,
  // then `key` pressed, which must end it with 0.
  void launch(Launch& result, int dpi, const std::vector<std::string>& args, const char* key, const char* file) {
    ASSERT_TRUE(x.start(dpi, serverLog)) << "Xvfb did not start: " << readFile(serverLog);
    std::vector<std::string> command = {PROBE};
    command.insert(command.end(), args.begin(), args.end());
    probe = spawn(command, probeOutput);
    const std::string window = findWindow("Vantrel demo", 15);
    ASSERT_FALSE(window.empty()) << "no launcher window appeared at " << dpi << " dpi";
    for (auto end = Clock::now() + std::chrono::seconds(10); Clock::now() < end;) {
      screenshot(window, file);
      result.shot = analyse(file);
      if (result.shot.highlightLeft > 50 && result.shot.darkPixels > 200) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    std::printf("launcher screenshot: %s\n", std::filesystem::absolute(file).c_str());
    RecordProperty("screenshot", std::filesystem::absolute(file).string());
    result.geometry = run("xdotool getwindowgeometry " + window);
    press(window, key);
    const int status = waitFor(probe, 15);
    probe = -1;
    x.stop();
    result.out = readFile(probeOutput);
    ASSERT_EQ(status, 0) << result.out;
    const size_t at = result.out.find("client=");
    ASSERT_TRUE(at != std::string::npos &&
                std::sscanf(result.out.c_str() + at, "client=%dx%d", &result.width, &result.height) == 2)
        << result.out;
  }

  // Cases may run in parallel in the same folder: their files are named
  // after them.
  const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  const std::string serverLog = name + "-xvfb.log", probeOutput = name + "-probe.out";
  Server x;
  pid_t probe = -1;
};

// Enter accepts the mode the launcher preselects, the default or the one the
// demo's options name.
TEST_F(LauncherE2E, OpensWithItsControlsAndEnterAcceptsTheDefaultOrThePreselectedMode) {
  Launch l;
  const std::vector<std::string> modes = {"640x480x60", "1024x768x85", "800x600x75", "1024x768x85", "1280x1024x60"};
  ASSERT_NO_FATAL_FAILURE(launch(l, 96, modes, "Return", "launcher.png"));

  EXPECT_NE(l.out.find("caption=Vantrel demo"), std::string::npos) << l.out;
  for (const char* control : {"id=1 text=OK visible=1", "id=2 text=Cancel visible=1",
                              "id=1001 text=Fullscreen visible=1", "id=1002 text=No sound visible=1",
                              "id=1007 text=Resolution visible=1", "id=1009 text=4:3 visible=1",
                              "id=1010 text=Aspect Ratio visible=1", "id=1006 text= visible=1",
                              "id=1012 text=Anti-Alias visible=1", "id=1013 text=VSync visible=1"}) {
    EXPECT_NE(l.out.find(std::string("control ") + control), std::string::npos) << control;
  }
  // The last 1024x768 at 85 Hz is preselected and comes back on Enter.
  EXPECT_NE(l.out.find("result=1 mode=3 aspect=0 fullscreen=1 vsync=1 antialias=1 nosound=0"), std::string::npos)
      << l.out;

  // The screenshot is the dialog's client area, drawn: the face, text, and
  // the selected mode highlighted in the list.
  EXPECT_NE(l.geometry.find("Geometry: " + std::to_string(l.width) + "x" + std::to_string(l.height)),
            std::string::npos)
      << l.geometry;
  EXPECT_EQ((std::pair{l.shot.width, l.shot.height}), (std::pair{l.width, l.height}));
  EXPECT_GT(l.shot.facePixels, l.width * l.height / 3);
  EXPECT_GT(l.shot.highlightLeft, 50);
  EXPECT_GT(l.shot.darkPixels, 200);

  // The demo's options preselect the controls.
  Launch options;
  ASSERT_NO_FATAL_FAILURE(launch(options, 96,
                                 {"640x480x60", "1024x768x85", "1280x720x60", "--windowed", "--mode=1280x720",
                                  "--no-vsync", "--no-msaa", "--aspect=16:9"},
                                 "Return", "launcher-options.png"));
  EXPECT_NE(options.out.find("result=1 mode=2 aspect=2 fullscreen=0 vsync=0 antialias=0 nosound=0 modes=3"),
            std::string::npos)
      << options.out;
}

TEST_F(LauncherE2E, EscapeCancelsAndTheDialogScalesWithTheScreenDpi) {
  Launch at96, at192;
  ASSERT_NO_FATAL_FAILURE(launch(at96, 96, {"1024x768x60"}, "Escape", "launcher-cancel.png"));
  ASSERT_NO_FATAL_FAILURE(launch(at192, 192, {"1024x768x60"}, "Escape", "launcher-192dpi.png"));
  EXPECT_NE(at96.out.find("result=0 "), std::string::npos) << at96.out;
  EXPECT_NEAR(double(at192.width) / at96.width, 2.0, 0.15);
  EXPECT_NEAR(double(at192.height) / at96.height, 2.0, 0.15);
}

}  // namespace
