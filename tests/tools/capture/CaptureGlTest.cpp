// The demo's pictures on llvmpipe at 640 x 480.
//
// Golden frames: vantrel-capture renders the frames tests/golden/frames.txt
// names, which are compared with tests/golden/*.png (scripts/refresh-golden
// writes those, deliberately). llvmpipe builds differ in rounding and by a
// pixel at edges, so frames are compared by their mean difference and by the
// largest difference of 16 x 16 block averages, never pixel for pixel.
//
// Content: the demo's own frame at 0, 30, 60, 90 and 120 seconds. The scene
// clears to a light grey, and the bloom lifts that and anything lit about as
// brightly to white, so the station is judged on the scene pass before the
// post-processing: how much of the frame it covers against the exact clear
// colour, and that the spot light lights part of it and shadows the rest.
// The final frames and scene passes are kept as artefacts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CaptureTestSupport.h"
#include "demo/DemoApp.h"
#include "demo/DemoApplication.h"
#include "engine/render/RenderDeviceDX9.h"
#include "engine/scene/SGScene.h"
#include "platform/win32/Clock.h"
#include "support/TestDir.h"
#include "demo/FrameGrabber.h"

namespace {

using namespace capture_test;

std::vector<std::string> goldenArguments() {
  std::ifstream in(goldenDir / "frames.txt");
  std::vector<std::string> args;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    for (std::string word; words >> word;) args.push_back(word);
  }
  return args;
}

TEST(CaptureGolden, DemoFramesMatchTheGoldenFrames) {
  std::vector<fs::path> golden;
  for (const auto& entry : fs::directory_iterator(goldenDir))
    if (entry.path().extension() == ".png") golden.push_back(entry.path());
  std::sort(golden.begin(), golden.end());
  std::vector<std::string> args = goldenArguments();
  ASSERT_FALSE(args.empty()) << "no options in " << goldenDir / "frames.txt";
  ASSERT_FALSE(golden.empty()) << "no golden frames; scripts/refresh-golden writes them";

  const fs::path failures = fs::current_path() / "golden-failures";
  fs::remove_all(failures);
  TestDir dir("capture-golden");
  linkRunData(dir.path);
  args.insert(args.end(), {"--out", "frames"});
  Outcome run = runCapture(args, dir.path);
  ASSERT_EQ(run.status, 0) << run.err;

  size_t written = 0;
  for (const auto& entry : fs::directory_iterator(dir.path / "frames")) written += entry.path().extension() == ".png";
  EXPECT_EQ(written, golden.size());
  for (const fs::path& file : golden)
    expectMatchesGolden(loadPng(dir.path / "frames" / file.filename()), file.filename().string(), failures);
}

TEST(CaptureContent, TheStationFillsAndIsLitAlongTheDemosPaths) {
  // Kept after the test, next to its scratch folders.
  const fs::path artefacts = fs::current_path() / "content";
  fs::create_directories(artefacts);
  TestDir dir("capture-content");
  linkRunData(dir.path);
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  // The demo's own start-up and frame; init reads the start counter as 0 and
  // each frame reads its time in nanoseconds.
  useFixedStepClock(0, 0);
  demoOpenData();
  DemoApplication* demo =
      demoStart(DisplayMode{640, 480, 32, 60}, DeviceSettings{false, false, 0, 1, 4.0f / 3.0f}, 1);
  FrameGrabber grabber;
  std::string error;
  ASSERT_TRUE(grabber.open(getRenderDevice()->device, error)) << error;

  for (int seconds : {0, 30, 60, 90, 120}) {
    SCOPED_TRACE(seconds);
    useFixedStepClock(0, int64_t(seconds) * 1000000000);
    demo->frame();
    ASSERT_FLOAT_EQ(demo->total, float(seconds));
    Picture frame{640, 480, {}}, scene{640, 480, {}};
    ASSERT_TRUE(grabber.readRgb(frame.rgb, error)) << error;
    // The scene pass again, as the frame drew it before its post-processing.
    getRenderDevice()->clear(BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL, 0xFF000020u, 0);
    demo->scene->render(demo->total * 10000.0f);
    ASSERT_TRUE(grabber.readRgb(scene.rgb, error)) << error;

    char time[16];
    std::snprintf(time, sizeof time, "t%03ds.png", seconds);
    writePng(artefacts / ("demo-" + std::string(time)), frame);
    writePng(artefacts / ("scene-" + std::string(time)), scene);

    SceneCoverage coverage = measure(scene);
    std::printf("t = %3d s: station covers %.1f%% of the frame, %.1f%% of it lit, %.1f%% in shadow\n", seconds,
                coverage.covered * 100.0, coverage.lit * 100.0, coverage.dark * 100.0);
    // About a fifth of the frame along both paths; the lit share is lowest
    // when the camera looks at the side facing away from the light; some of
    // it is always in shadow.
    EXPECT_GE(coverage.covered, 0.10);
    EXPECT_GE(coverage.lit, 0.15);
    EXPECT_GE(coverage.dark, 0.01);
  }
  std::printf("frames kept in %s\n", artefacts.c_str());
  RecordProperty("artefacts", artefacts.string());

  grabber.close();
  demoStop();
  EXPECT_EQ(TestDir::read("log.txt").find("failed"), std::string::npos);
}

}  // namespace
