// vantrel-capture as a person runs it: from a folder holding data/, small
// frames to keep llvmpipe quick. The fixed-step clock makes two runs write the
// same bytes; bad command lines stop before start-up with a message.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
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

// A scratch folder holding data/ for each case.
class CaptureE2E : public ::testing::Test {
 protected:
  void SetUp() override { linkRunData(dir.path); }

  // One run per variant, `args` and the variant's own options, each into a
  // folder named after the variant; what each printed is kept in `runs`.
  void captureEach(const std::vector<std::string>& args,
                   const std::vector<std::pair<std::string, std::vector<std::string>>>& variants) {
    for (const auto& [folder, options] : variants) {
      std::vector<std::string> run = args;
      run.insert(run.end(), options.begin(), options.end());
      run.insert(run.end(), {"--out", folder});
      const Outcome& outcome = runs[folder] = runCapture(run, dir.path);
      ASSERT_EQ(outcome.status, 0) << folder << ": " << outcome.err;
    }
  }

  Picture firstFrame(const std::string& folder) { return loadPng(dir.path / folder / "frame_000000.png"); }

  TestDir dir{"capture"};
  std::map<std::string, Outcome> runs;
};

// Two runs write the same bytes (the second into a nested folder it makes);
// the same frames multisampled are resolved, the same picture with smoothed
// edges: some pixels change, few by much.
TEST_F(CaptureE2E, WritesTheAskedFramesTheSameBytesEveryRunAndMultisampledOnlyAtEdges) {
  const std::vector<std::string> args = {"--width", "160", "--height", "120", "--start", "30", "--fps", "2",
                                         "--frames", "3"};
  ASSERT_NO_FATAL_FAILURE(captureEach(args, {{"first", {}}, {"second/nested", {}}, {"msaa", {"--msaa"}}}));
  EXPECT_NE(runs["first"].err.find("frame 3/3"), std::string::npos) << runs["first"].err;
  EXPECT_TRUE(runs["first"].out.empty()) << runs["first"].out;
  EXPECT_EQ(readFile(dir.path / "log.txt").rfind("Vantrel Engine Log\n\n", 0), 0u);

  const std::vector<std::string> expected = {"frame_000000.png", "frame_000001.png", "frame_000002.png"};
  ASSERT_EQ(framesIn(dir.path / "first"), expected);
  ASSERT_EQ(framesIn(dir.path / "second/nested"), expected);
  for (const std::string& name : expected) {
    SCOPED_TRACE(name);
    Picture picture = loadPng(dir.path / "first" / name);
    EXPECT_EQ((std::pair{picture.width, picture.height}), (std::pair{160, 120}));
    EXPECT_EQ(readFile(dir.path / "first" / name), readFile(dir.path / "second/nested" / name));
  }
  // Half a second apart the camera has moved: the clock advances per frame.
  EXPECT_NE(readFile(dir.path / "first" / expected[0]), readFile(dir.path / "first" / expected[1]));

  Picture plain = firstFrame("first"), msaa = firstFrame("msaa");
  ASSERT_EQ((std::pair{msaa.width, msaa.height}), (std::pair{160, 120}));
  size_t changed = 0;
  double sum = 0.0;
  for (size_t i = 0; i < plain.rgb.size(); ++i) {
    int delta = std::abs(int(plain.rgb[i]) - int(msaa.rgb[i]));
    changed += delta > 0;
    sum += delta;
  }
  EXPECT_GT(changed, 0u);
  EXPECT_LT(sum / double(plain.rgb.size()), 4.0);
}

// --animate plays the station's tracks (rings, antenna, beacon, the docking
// approach): the same instant shows those parts elsewhere while the rest of
// the frame stays as it was, and the animated frames repeat run after run.
TEST_F(CaptureE2E, AnimateMovesOnlyTheAnimatedPartsAndRepeats) {
  ASSERT_NO_FATAL_FAILURE(captureEach({"--width", "160", "--height", "120", "--start", "21", "--frames", "1"},
                                          {{"plain", {}}, {"animated", {"--animate"}}, {"again", {"--animate"}}}));
  EXPECT_EQ(readFile(dir.path / "animated/frame_000000.png"), readFile(dir.path / "again/frame_000000.png"));
  Picture plain = firstFrame("plain"), animated = firstFrame("animated");
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
TEST_F(CaptureE2E, OverlayShowsFromTheFirstFrame) {
  ASSERT_NO_FATAL_FAILURE(captureEach({"--width", "640", "--height", "480", "--start", "20", "--frames", "1"},
                                          {{"plain", {}}, {"overlay", {"--overlay"}}}));
  Picture plain = firstFrame("plain"), overlay = firstFrame("overlay");
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

TEST_F(CaptureE2E, Y4mStreamOnStandardOutputMatchesThePngFrames) {
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

TEST_F(CaptureE2E, BenchPrintsFrameTimesAndWritesNoImages) {
  Outcome run = runCapture({"--width", "160", "--height", "120", "--frames", "3", "--bench"}, dir.path);
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* figure : {"first frame", "median", "1% high"})
    EXPECT_NE(run.out.find(figure), std::string::npos) << run.out;
  EXPECT_EQ(framesIn(dir.path), (std::vector<std::string>{"data", "log.txt"}));
}

TEST_F(CaptureE2E, BadCommandLinesStopBeforeStartUpWithAMessage) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
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
  for (const auto& [args, says] : cases) {
    SCOPED_TRACE(args[0] + " " + (args.size() > 1 ? args[1] : ""));
    Outcome run = runCapture(args, dir.path);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
  }
  // Nothing was started or written.
  EXPECT_EQ(framesIn(dir.path), (std::vector<std::string>{"data"}));

  Outcome help = runCapture({"--help"}, dir.path);
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: vantrel-capture", 0), 0u) << help.out;
}

// Start-ups that cannot be made say why: outside the run folder, where to run
// from; an output that cannot be written, before any rendering; a scene that
// cannot be shown (no misuse of the command line), the reason on standard
// error and in log.txt, and no usage hint after it.
TEST_F(CaptureE2E, StartsThatCannotBeMadeSayWhy) {
  fs::remove(dir.path / "data");
  Outcome run = runCapture({"--frames", "1", "--out", "frames"}, dir.path);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("no ./data/station03.ase here"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir.path / "frames"));

  linkRunData(dir.path);
  TestDir::write((dir.path / "taken").string(), "a file, not a folder");
  run = runCapture({"--frames", "1", "--out", "taken"}, dir.path);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot make the folder 'taken'"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir.path / "log.txt"));

  TestDir::write((dir.path / "cut.ase").string(), "*3DSMAX_ASCIIEXPORT 200\r\n*GEOMOBJECT {\r\n\t*NODE_NAME \"Box\"\r\n");
  for (const auto& [file, why] : {std::pair<std::string, std::string>{"gone.ase", "no such file"},
                                  {"cut.ase", "no drawable mesh: none of its 1 objects has faces; the file ends inside "
                                              "*GEOMOBJECT opened at line 2"}}) {
    run = runCapture({"--scene", file, "--bench", "--frames", "1"}, dir.path);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "vantrel-capture: " + file + ": " + why + "\n");
    EXPECT_NE(TestDir::read((dir.path / "log.txt").string()).find("Scene: Couldn't open '" + file + "': " + why + ".\n"),
              std::string::npos);
  }
}

}  // namespace
