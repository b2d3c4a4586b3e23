// vantrel-capture as a person runs it: from a folder holding data/, small
// frames to keep llvmpipe quick. The fixed-step clock makes two runs write the
// same bytes; bad command lines stop before start-up with a message.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "CaptureTestSupport.h"
#include "support/TestDir.h"

namespace {

using namespace capture_test;

std::vector<std::string> framesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// One run per variant, `args` and the variant's own options, each into a
// folder named after the variant.
void captureEach(const fs::path& dir, const std::vector<std::string>& args,
                 const std::vector<std::pair<std::string, std::vector<std::string>>>& variants) {
  for (const auto& [folder, options] : variants) {
    std::vector<std::string> run = args;
    run.insert(run.end(), options.begin(), options.end());
    run.insert(run.end(), {"--out", folder});
    Outcome outcome = runCapture(run, dir);
    ASSERT_EQ(outcome.status, 0) << folder << ": " << outcome.err;
  }
}

Picture firstFrame(const fs::path& dir, const std::string& folder) { return loadPng(dir / folder / "frame_000000.png"); }

TEST(CaptureE2E, WritesTheAskedFramesAndTheSameBytesEveryRun) {
  TestDir dir("capture-frames");
  linkRunData(dir.path);
  const std::vector<std::string> args = {"--width", "160", "--height", "120", "--start", "30", "--fps", "2",
                                         "--frames", "3"};
  std::vector<std::string> first = args, second = args;
  first.insert(first.end(), {"--out", "first"});
  second.insert(second.end(), {"--out", "second/nested"});

  Outcome one = runCapture(first, dir.path);
  ASSERT_EQ(one.status, 0) << one.err;
  Outcome two = runCapture(second, dir.path);
  ASSERT_EQ(two.status, 0) << two.err;
  EXPECT_NE(one.err.find("frame 3/3"), std::string::npos) << one.err;
  EXPECT_TRUE(one.out.empty()) << one.out;
  EXPECT_EQ(readFile(dir.path / "log.txt").rfind("Vantrel Engine Log\n\n", 0), 0u);

  const std::vector<std::string> expected = {"frame_000000.png", "frame_000001.png", "frame_000002.png"};
  ASSERT_EQ(framesIn(dir.path / "first"), expected);
  ASSERT_EQ(framesIn(dir.path / "second/nested"), expected);
  for (const std::string& name : expected) {
    SCOPED_TRACE(name);
    Picture picture = loadPng(dir.path / "first" / name);
    EXPECT_EQ(picture.width, 160);
    EXPECT_EQ(picture.height, 120);
    EXPECT_EQ(readFile(dir.path / "first" / name), readFile(dir.path / "second/nested" / name));
  }
  // Half a second apart the camera has moved: the clock advances per frame.
  EXPECT_NE(readFile(dir.path / "first" / expected[0]), readFile(dir.path / "first" / expected[1]));
}

// --animate plays the station's tracks (rings, antenna, beacon, the docking
// approach): the same instant shows those parts elsewhere while the rest of
// the frame stays as it was, and the animated frames repeat run after run.
TEST(CaptureE2E, AnimateMovesOnlyTheAnimatedPartsAndRepeats) {
  TestDir dir("capture-animate");
  linkRunData(dir.path);
  ASSERT_NO_FATAL_FAILURE(captureEach(dir.path, {"--width", "160", "--height", "120", "--start", "21", "--frames", "1"},
                                          {{"plain", {}}, {"animated", {"--animate"}}, {"again", {"--animate"}}}));
  EXPECT_EQ(readFile(dir.path / "animated/frame_000000.png"), readFile(dir.path / "again/frame_000000.png"));
  Picture plain = firstFrame(dir.path, "plain"), animated = firstFrame(dir.path, "animated");
  ASSERT_EQ(plain.rgb.size(), animated.rgb.size());
  size_t differing = 0;
  for (size_t i = 0; i < plain.rgb.size(); i += 3)
    if (std::abs(plain.rgb[i] - animated.rgb[i]) + std::abs(plain.rgb[i + 1] - animated.rgb[i + 1]) +
            std::abs(plain.rgb[i + 2] - animated.rgb[i + 2]) > 24)
      ++differing;
  const size_t pixels = plain.rgb.size() / 3;
  EXPECT_GT(differing, pixels / 200) << "the animated parts did not move";
  EXPECT_LT(differing, pixels / 2) << "more than the animated parts changed";
}

// The statistics overlay is on the very first frame captured, over the
// top-left corner only (the window sizes itself on a frame of its own).
TEST(CaptureE2E, OverlayShowsFromTheFirstFrame) {
  TestDir dir("capture-overlay");
  linkRunData(dir.path);
  ASSERT_NO_FATAL_FAILURE(captureEach(dir.path, {"--width", "640", "--height", "480", "--start", "20", "--frames", "1"},
                                          {{"plain", {}}, {"overlay", {"--overlay"}}}));
  Picture plain = firstFrame(dir.path, "plain"), overlay = firstFrame(dir.path, "overlay");
  ASSERT_EQ(plain.rgb.size(), overlay.rgb.size());
  size_t inCorner = 0, outside = 0;
  for (size_t i = 0; i < plain.rgb.size(); i += 3) {
    const size_t x = (i / 3) % 640, y = (i / 3) / 640;
    const bool differs = plain.rgb[i] != overlay.rgb[i] || plain.rgb[i + 1] != overlay.rgb[i + 1] ||
                         plain.rgb[i + 2] != overlay.rgb[i + 2];
    (x < 320 && y < 320 ? inCorner : outside) += differs;
  }
  EXPECT_GT(inCorner, 10000u) << "no overlay on the first frame";
  EXPECT_EQ(outside, 0u);
}

TEST(CaptureE2E, Y4mStreamOnStandardOutputMatchesThePngFrames) {
  TestDir dir("capture-y4m");
  linkRunData(dir.path);
  // Odd sizes give the last chroma row and column half a block.
  Outcome run = runCapture({"--width", "161", "--height", "121", "--aspect", "16:9", "--fps", "30000/1001", "--start", "90",
                        "--frames", "2", "--y4m", "-", "--out", "png"},
                       dir.path);
  ASSERT_EQ(run.status, 0) << run.err;

  // Pixel aspect (16 x 121) : (9 x 161) shows the frame at 16:9.
  const std::string header = "YUV4MPEG2 W161 H121 F30000:1001 Ip A1936:1449 C420jpeg\n";
  ASSERT_EQ(run.out.compare(0, header.size(), header), 0) << run.out.substr(0, 80);
  const size_t luma = 161 * 121, chroma = 81 * 61, frame = 6 + luma + 2 * chroma;
  ASSERT_EQ(run.out.size(), header.size() + 2 * frame);

  for (int index = 0; index < 2; ++index) {
    SCOPED_TRACE(index);
    const size_t at = header.size() + size_t(index) * frame;
    ASSERT_EQ(run.out.compare(at, 6, "FRAME\n"), 0);
    Picture picture = loadPng(dir.path / "png" / (index ? "frame_000001.png" : "frame_000000.png"));
    ASSERT_EQ(picture.width, 161);
    // Studio-range BT.601 luma of every pixel, from the PNG's RGB: a swapped
    // red and blue or a flipped frame would not match.
    int worst = 0;
    for (size_t i = 0; i < luma; ++i) {
      const uint8_t* p = &picture.rgb[i * 3];
      double expected = 16.0 + (65.481 * p[0] + 128.553 * p[1] + 24.966 * p[2]) / 255.0;
      worst = std::max(worst, int(std::abs(double(uint8_t(run.out[at + 6 + i])) - expected) + 0.5));
    }
    EXPECT_LE(worst, 1);
  }
}

TEST(CaptureE2E, MultisampledFramesAreResolvedAndDifferOnlyAtEdges) {
  TestDir dir("capture-msaa");
  linkRunData(dir.path);
  ASSERT_NO_FATAL_FAILURE(captureEach(dir.path, {"--width", "160", "--height", "120", "--start", "30", "--frames", "1"},
                                          {{"plain", {}}, {"msaa", {"--msaa"}}}));
  Picture a = firstFrame(dir.path, "plain"), b = firstFrame(dir.path, "msaa");
  ASSERT_EQ(b.width, 160);
  ASSERT_EQ(b.rgb.size(), a.rgb.size());
  size_t changed = 0;
  double sum = 0.0;
  for (size_t i = 0; i < a.rgb.size(); ++i) {
    int delta = std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    changed += delta > 0;
    sum += delta;
  }
  // The same picture with smoothed edges: some pixels change, few by much.
  EXPECT_GT(changed, 0u);
  EXPECT_LT(sum / double(a.rgb.size()), 4.0);
}

TEST(CaptureE2E, BenchPrintsFrameTimesAndWritesNoImages) {
  TestDir dir("capture-bench");
  linkRunData(dir.path);
  Outcome run = runCapture({"--width", "160", "--height", "120", "--frames", "3", "--bench"}, dir.path);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("first frame"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("median"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("1% high"), std::string::npos) << run.out;
  EXPECT_EQ(framesIn(dir.path), (std::vector<std::string>{"data", "log.txt"}));
}

TEST(CaptureE2E, BadCommandLinesStopBeforeStartUpWithAMessage) {
  TestDir dir("capture-options");
  linkRunData(dir.path);
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const Case cases[] = {
      {{"--width", "wide", "--bench"}, "--width needs a whole number of pixels from 16 to 8192, not 'wide'"},
      {{"--height", "8193", "--bench"}, "--height needs a whole number"},
      {{"--width", "-640", "--bench"}, "--width needs a whole number"},
      {{"--aspect", "3:2", "--bench"}, "--aspect must be one of 4:3, 16:10, 16:9, 5:4, not '3:2'"},
      {{"--fps", "0", "--bench"}, "--fps needs frames per second"},
      {{"--fps", "30/0", "--bench"}, "--fps needs frames per second"},
      {{"--start", "-1", "--bench"}, "--start needs seconds"},
      {{"--seconds", "nan", "--bench"}, "--seconds needs a length"},
      {{"--frames", "0", "--bench"}, "--frames needs a whole number of frames"},
      {{"--frames", "2", "--seconds", "1", "--bench"}, "give --seconds or --frames, not both"},
      {{"--bench", "--out", "frames"}, "--bench measures frame times and writes no images"},
      {{"--width", "320"}, "nothing to write"},
      {{"--bench", "--frames"}, "--frames needs a value"},
      {{"--msaa=yes", "--bench"}, "--msaa takes no value"},
      {{"--colour", "red", "--bench"}, "unknown option '--colour'"},
      {{"frames", "--bench"}, "unexpected argument 'frames'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    Outcome run = runCapture(c.args, dir.path);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
  }
  // Nothing was started or written.
  EXPECT_EQ(framesIn(dir.path), (std::vector<std::string>{"data"}));

  Outcome help = runCapture({"--help"}, dir.path);
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: vantrel-capture", 0), 0u) << help.out;
}

TEST(CaptureE2E, OutsideTheRunFolderItSaysWhereToRunFrom) {
  TestDir dir("capture-nodata");
  Outcome run = runCapture({"--frames", "1", "--out", "frames"}, dir.path);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("no ./data/station03.ase here"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir.path / "frames"));

  // An output that cannot be written fails before any rendering.
  linkRunData(dir.path);
  TestDir::write((dir.path / "taken").string(), "a file, not a folder");
  run = runCapture({"--frames", "1", "--out", "taken"}, dir.path);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot make the folder 'taken'"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir.path / "log.txt"));
}

// A scene that cannot be shown is no misuse of the command line: the reason,
// on standard error and in log.txt, and no usage hint after it.
TEST(CaptureE2E, ASceneThatCannotBeShownSaysWhyWithoutAUsageHint) {
  TestDir dir("capture-scene");
  linkRunData(dir.path);
  TestDir::write((dir.path / "cut.ase").string(), "*3DSMAX_ASCIIEXPORT 200\r\n*GEOMOBJECT {\r\n\t*NODE_NAME \"Box\"\r\n");
  for (const auto& [file, why] : {std::pair<std::string, std::string>{"gone.ase", "no such file"},
                                  {"cut.ase", "no drawable mesh: none of its 1 objects has faces; the file ends inside "
                                              "*GEOMOBJECT opened at line 2"}}) {
    Outcome run = runCapture({"--scene", file, "--bench", "--frames", "1"}, dir.path);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "vantrel-capture: " + file + ": " + why + "\n");
    EXPECT_NE(TestDir::read((dir.path / "log.txt").string()).find("Scene: Couldn't open '" + file + "': " + why + ".\n"),
              std::string::npos);
  }
}

}  // namespace
