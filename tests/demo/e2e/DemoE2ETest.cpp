// vantrel-demo on its own Xvfb, driven with xdotool as a person would: the
// launcher appears, Enter starts the demo, frames are drawn in its window with
// the bloom over them, Escape ends it with exit code 0, and log.txt tells what
// happened. A screenshot of a frame is kept next to the test's working files.
// Also the command line: usage, refusals, an unattended windowed run, F12,
// F1's overlay, and the one line a machine without a display gets.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>
#include <utility>
#include <vector>
#include <string>

#define STB_IMAGE_IMPLEMENTATION
#include "support/Picture.h"
#include "support/XvfbSession.h"

namespace {

namespace fs = std::filesystem;
using namespace xvfb;

// What a screenshot shows: the spread of its brightness, and how much of it
// is pure white, the clear colour untouched (240, 240, 240), or not black.
struct Shot {
  int width = 0, height = 0, darkest = 255, brightest = 0;
  int white = 0, background = 0, lit = 0;
  int darkCorners = 0;  // pixels below 250 in the 4 x 4 corners
};

Shot analyse(const std::string& png) {
  Picture picture = loadPng(png);
  Shot shot{picture.width, picture.height};
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x) {
      const uint8_t* p = picture.at(x, y);
      const int luma = (p[0] * 3 + p[1] * 6 + p[2]) / 10;
      shot.darkest = std::min(shot.darkest, luma);
      shot.brightest = std::max(shot.brightest, luma);
      shot.white += p[0] == 255 && p[1] == 255 && p[2] == 255;
      shot.background += p[0] == 240 && p[1] == 240 && p[2] == 240;
      shot.lit += p[0] > 64 || p[1] > 64 || p[2] > 64;
      const bool corner = (x < 4 || x >= shot.width - 4) && (y < 4 || y >= shot.height - 4);
      shot.darkCorners += corner && std::min({p[0], p[1], p[2]}) < 250;
    }
  return shot;
}

class DemoE2E : public ::testing::Test {
 protected:
  void TearDown() override {
    if (demo > 0) waitFor(demo, 0);
  }

  // The demo in a run folder of its own, the generated data linked in;
  // `command` comes before the demo (an env that changes its environment).
  void startDemo(std::vector<std::string> options = {}, std::vector<std::string> command = {}) {
    fs::remove_all(runDir);
    fs::create_directories(runDir);
    fs::create_directory_symlink(fs::path(VANTREL_RUN_DIR) / "data", fs::path(runDir) / "data");
    command.push_back(DEMO);
    command.insert(command.end(), options.begin(), options.end());
    demo = spawn(command, "demo.out", -1, runDir);
  }

  // The demo's exit status within `seconds`, and what it printed.
  int finish(double seconds, std::string& out) {
    int status = waitFor(demo, seconds);
    demo = -1;
    out = readFile(runDir + "/demo.out");
    return status;
  }

  // log.txt of a run in `width` x `height`: header, the file manager, the
  // device's lines, nothing failed.
  void expectStartedLog(const std::string& resolution) {
    const std::string log = readFile(runDir + "/log.txt");
    EXPECT_EQ(log.rfind("Vantrel Engine Log\n\n"
                        "FileManager: Add path ''.\n"
                        "FileManager: Add path '../../data/'.\n"
                        "FileManager: Add path '../../data/textures/'.\n"
                        "Resolution: " + resolution,
                        0),
              0u)
        << log;
    for (const char* line : {" Hz Format: ", "PixelShaderVersion = ", "VertexShaderVersion = ", "TextureStages = ",
                             "MaxAnisotropy = ", "CanAutoGenMipMap = "})
      EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    EXPECT_EQ(log.find("failed"), std::string::npos) << log;
  }

  // A folder per case: CTest runs the cases side by side.
  std::string runDir =
      fs::absolute(std::string("run-") + ::testing::UnitTest::GetInstance()->current_test_info()->name()).string();
  Server x;
  pid_t demo = -1;
};

// The demo windowed at 640x480 on a server of its own, running until it gets
// Escape, which must end it with 0.
class DemoWindowE2E : public DemoE2E {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x.start()) << "Xvfb did not start: " << readFile("xvfb.log");
    startDemo({"--no-launcher", "--windowed", "--mode", "640x480", "--seconds", "120"});
    window = findWindow("engine", 60);
    ASSERT_FALSE(window.empty()) << "no demo window appeared: " << readFile(runDir + "/demo.out");
  }

  void escape() {
    press(window, "Escape");
    std::string out;
    EXPECT_EQ(finish(60, out), 0) << out;
  }

  std::string window;
};

// Through the launcher at its defaults, both post-processing chains on. The
// scene clears to 0xF0F0F0, far above the bright-pass threshold, so the bloom
// lifts every background pixel to pure white; without it the corners would
// read 240. Where the station lies in the window is left to the camera path
// and the presentation, so nothing here depends on it.
TEST_F(DemoE2E, EnterStartsTheDemoFramesShowTheBloomAndEscapeEndsIt) {
  ASSERT_TRUE(x.start()) << "Xvfb did not start: " << readFile("xvfb.log");
  startDemo();
  std::string launcher = findWindow("Vantrel demo", 20);
  ASSERT_FALSE(launcher.empty()) << "no launcher appeared";
  press(launcher, "Return");

  std::string window = findWindow("engine", 60);
  ASSERT_FALSE(window.empty()) << "no demo window appeared: " << readFile(runDir + "/demo.out");
  // Screenshots until a frame with dark and bright parts has been presented,
  // then the next frame.
  std::string file = fs::absolute("demo-frame.png").string();
  Shot shot;
  bool drawn = false;
  for (auto end = Clock::now() + std::chrono::seconds(90); !drawn && Clock::now() < end;) {
    screenshot(window, file);
    shot = analyse(file);
    drawn = shot.lit > shot.width * shot.height / 2 && shot.brightest - shot.darkest > 64;
    if (!drawn) std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  if (drawn && awaitNewFrames(window, file, 1)) shot = analyse(file);
  std::printf("demo screenshot: %s\n", file.c_str());
  RecordProperty("screenshot", file);

  press(window, "Escape");
  std::string out;
  EXPECT_EQ(finish(60, out), 0) << out;
  expectStartedLog("");
  ASSERT_TRUE(drawn) << "the window shows no picture";
  EXPECT_GT(shot.brightest - shot.darkest, 64);
  // Bloom: the 0xF0 background is lifted to white; nothing is left at 240.
  EXPECT_EQ(shot.darkCorners, 0);
  EXPECT_GT(shot.white, shot.width * shot.height / 4);
  EXPECT_LT(shot.background, shot.width * shot.height / 100);
}

TEST_F(DemoE2E, UsageRefusedOptionsAndNoDisplayEndBeforeStartUp) {
  std::string out;
  startDemo({"--help"});
  EXPECT_EQ(finish(20, out), 0) << out;
  EXPECT_EQ(out.rfind("Usage: vantrel-demo [options]\n", 0), 0u) << out;

  for (const auto& [options, reason] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--bogus"}, "vantrel-demo: unknown option '--bogus'\nUsage: "},
           {{"--mode", "640by480"}, "vantrel-demo: --mode needs a size as WxH or WxH@HZ"},
           {{"--frames"}, "vantrel-demo: --frames needs a value\nUsage: "},
           {{"--vsync=1"}, "vantrel-demo: --vsync takes no value"},
           {{"--frames", "2", "--seconds", "1"}, "vantrel-demo: give --frames or --seconds, not both"}}) {
    startDemo(options);
    EXPECT_EQ(finish(20, out), 2) << out;
    EXPECT_EQ(out.rfind(reason, 0), 0u) << out;
    EXPECT_FALSE(fs::exists(runDir + "/log.txt"));
  }

  // An ssh session: no DISPLAY, no WAYLAND_DISPLAY, no driver asked for; one
  // line says so.
  startDemo({"--windowed"}, {"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "SDL_VIDEODRIVER"});
  EXPECT_EQ(finish(30, out), 2) << out;
  EXPECT_EQ(out.rfind("vantrel-demo: no display to open a window on; ", 0), 0u) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
}

// An unattended windowed run logs as a start through the launcher does; a
// mode the display cannot give, or a scene of one's own that cannot be
// shown, ends the start with the reason.
TEST_F(DemoE2E, UnattendedStartsRunOrSayWhyTheyCannot) {
  ASSERT_TRUE(x.start()) << "Xvfb did not start: " << readFile("xvfb.log");
  startDemo({"--no-launcher", "--windowed", "--mode", "640x480", "--frames", "5"});
  std::string out;
  ASSERT_EQ(finish(60, out), 0) << out;
  EXPECT_NE(out.find("vantrel-demo: frames=5 first-frame-clock-ns="), std::string::npos) << out;
  expectStartedLog("640x480 ");

  // A fullscreen start needs a mode the display lists; a window only a size
  // that fits the 1280x1024 desktop.
  startDemo({"--no-launcher", "--fullscreen", "--mode", "1000x700", "--frames", "1"});
  EXPECT_EQ(finish(30, out), 2) << out;
  EXPECT_NE(out.find("--mode 1000x700 is not a fullscreen mode this display offers"), std::string::npos) << out;
  startDemo({"--no-launcher", "--windowed", "--mode", "2000x700", "--frames", "1"});
  EXPECT_EQ(finish(30, out), 2) << out;
  EXPECT_NE(out.find("--mode 2000x700 does not fit the 1280x1024 desktop"), std::string::npos) << out;

  startDemo({"--no-launcher", "--windowed", "--scene", "nowhere/scene.ase"});
  EXPECT_EQ(finish(30, out), 2) << out;
  EXPECT_EQ(out, "vantrel-demo: nowhere/scene.ase: no such file\n");

  const std::string empty = fs::absolute("empty.ase").string();
  std::ofstream(empty) << "*3DSMAX_ASCIIEXPORT 200\n*SCENE {\n *SCENE_FIRSTFRAME 0\n}\n";
  startDemo({"--no-launcher", "--windowed", "--mode", "320x240", "--scene", empty});
  EXPECT_EQ(finish(60, out), 2) << out;
  EXPECT_NE(out.find("vantrel-demo: " + empty + ": no drawable mesh: the file holds no geometry object\n"),
            std::string::npos)
      << out;
}

// F2 hands the camera to the mouse: dragging with the left button orbits it,
// which changes the frame far more than the moving light does meanwhile.
TEST_F(DemoWindowE2E, F2AndADragOrbitTheCamera) {
  const std::string before = fs::absolute("orbit-before.png").string(), still = fs::absolute("orbit-still.png").string(),
                    after = fs::absolute("orbit-after.png").string();
  // The main loop takes one message a frame: each step is seen a few frames
  // after it was made, the drag (a dozen messages) a dozen frames after.
  press(window, "F2");
  ASSERT_TRUE(awaitNewFrames(window, before, 3));
  ASSERT_TRUE(awaitNewFrames(window, still, 3));
  run("xdotool mousemove --window " + window + " 320 240 mousedown 1 mousemove_relative --sync 40 0 "
      "mousemove_relative --sync 40 0 mousemove_relative --sync 40 0 mousemove_relative --sync 40 0 mouseup 1");
  ASSERT_TRUE(awaitNewFrames(window, after, 12));
  escape();

  Picture a = loadPng(before), b = loadPng(still), c = loadPng(after);
  ASSERT_EQ(a.rgb.size(), c.rgb.size());
  ASSERT_EQ(a.rgb.size(), b.rgb.size());
  auto changed = [](const Picture& p, const Picture& q) {
    size_t count = 0;
    for (size_t i = 0; i < p.rgb.size(); i += 3)
      count += std::abs(p.rgb[i] - q.rgb[i]) + std::abs(p.rgb[i + 1] - q.rgb[i + 1]) > 48;
    return count;
  };
  const size_t drift = changed(a, b), orbit = changed(b, c);
  std::printf("pixels changed: %zu with the camera still, %zu after the drag\n", drift, orbit);
  EXPECT_GT(orbit, 2 * drift + 5000);
}

// F1 shows the statistics overlay over the frame and F1 again hides it: with
// it shown, the frame changes where the overlay's window is (its top-left
// corner at 8, 8, as wide as its frame-time graph and a little more) and
// elsewhere only as much as the moving scene changes it anyway. Then F12
// saves the frame as a PNG, each press into a file of its own.
TEST_F(DemoWindowE2E, F1ShowsTheOverlayInItsCornerAndHidesItAndF12SavesTheFrameAsAPng) {
  std::vector<std::string> shots;
  for (const char* name : {"overlay-off.png", "overlay-on.png", "overlay-off-again.png"}) {
    if (!shots.empty()) press(window, "F1");
    shots.push_back(fs::absolute(name).string());
    ASSERT_TRUE(awaitNewFrames(window, shots.back(), 3));  // one message a frame
  }
  // F12 until two frames are saved.
  std::vector<fs::path> saved;
  for (auto end = Clock::now() + std::chrono::seconds(60); Clock::now() < end && saved.size() < 2;) {
    press(window, "F12");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    saved.clear();
    for (const auto& entry : fs::directory_iterator(runDir))
      if (entry.path().filename().string().rfind("vantrel-", 0) == 0) saved.push_back(entry.path());
  }
  escape();

  Picture off = loadPng(shots[0]), on = loadPng(shots[1]), offAgain = loadPng(shots[2]);
  ASSERT_EQ(off.width, 640);
  ASSERT_EQ(on.rgb.size(), off.rgb.size());
  ASSERT_EQ(offAgain.rgb.size(), off.rgb.size());
  // Shares of changed pixels inside the overlay's window and well outside it.
  auto shares = [](const Picture& p, const Picture& q) {
    size_t inside = 0, insideCount = 0, outside = 0, outsideCount = 0;
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) {
        const uint8_t *a = p.at(x, y), *b = q.at(x, y);
        const bool changed = std::abs(a[0] - b[0]) > 6 || std::abs(a[1] - b[1]) > 6 || std::abs(a[2] - b[2]) > 6;
        if (x >= 8 && x < 256 && y >= 8 && y < 250) inside += changed, ++insideCount;
        else if (x >= 320 || y >= 320) outside += changed, ++outsideCount;
      }
    return std::pair{double(inside) / double(insideCount), double(outside) / double(outsideCount)};
  };
  const auto [shownInside, shownOutside] = shares(off, on);
  const auto [hiddenInside, hiddenOutside] = shares(on, offAgain);
  const auto [apartInside, apartOutside] = shares(off, offAgain);
  std::printf("changed inside/outside the overlay: shown %.3f/%.3f, hidden %.3f/%.3f, off to off %.3f/%.3f\n",
              shownInside, shownOutside, hiddenInside, hiddenOutside, apartInside, apartOutside);
  EXPECT_GT(shownInside, 0.9);
  EXPECT_GT(hiddenInside, 0.9);
  EXPECT_LT(apartInside, 0.5);  // hidden again: the corner shows the scene
  // The scene moves: some of the rest changes in a few seconds (about a sixth).
  EXPECT_LT(shownOutside, 0.5);
  EXPECT_LT(hiddenOutside, 0.5);

  // Two presses, two files: none overwrote the other.
  ASSERT_GE(saved.size(), 2u);
  for (const fs::path& shot : saved) {
    EXPECT_TRUE(std::regex_match(shot.filename().string(), std::regex(R"(vantrel-\d{8}-\d{6}-\d{3}\.png)")))
        << shot;
    Picture picture = loadPng(shot);
    EXPECT_EQ((std::pair{picture.width, picture.height}), (std::pair{640, 480})) << shot;
  }
  const std::string log = readFile(runDir + "/log.txt");
  EXPECT_NE(log.find("Screenshot: Saved '" + saved[0].filename().string() + "' (640x480).\n"), std::string::npos)
      << log;
}

}  // namespace
