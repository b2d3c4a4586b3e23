// vantrel-demo on its own Xvfb, driven with xdotool as a person would: the
// launcher appears, Enter starts the demo, frames are drawn in its window,
// Escape ends it with exit code 0, and log.txt tells what happened. A
// screenshot of a frame is kept next to the test's working files.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// After gtest: Xlib defines macros (None, Bool) that clash with its names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A shell command with a time limit; its output.
std::string run(const std::string& command, int seconds = 10) {
  FILE* pipe = popen(("timeout -s KILL " + std::to_string(seconds) + " " + command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return {};
  std::string out;
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  pclose(pipe);
  std::istringstream words(out);
  std::string first;
  words >> first;
  return first;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The exit code, or -1 when the process had to be killed after `seconds`.
int waitFor(pid_t pid, double seconds) {
  for (auto end = Clock::now() + std::chrono::duration<double>(seconds); Clock::now() < end;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

// What the X server shows of a window, and the spread of its brightness.
struct Shot {
  int width = 0, height = 0, darkest = 255, brightest = 0;
  std::vector<unsigned char> rgb;
};

Shot grab(const std::string& id) {
  Shot shot;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return shot;
  XWindowAttributes a;
  int x = 0, y = 0;
  Window child;
  Window window = Window(std::strtoul(id.c_str(), nullptr, 0));
  if (XGetWindowAttributes(display, window, &a) &&
      XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child)) {
    if (XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, unsigned(a.width), unsigned(a.height),
                                  AllPlanes, ZPixmap)) {
      shot.width = a.width;
      shot.height = a.height;
      for (int row = 0; row < a.height; ++row) {
        for (int column = 0; column < a.width; ++column) {
          unsigned long p = XGetPixel(image, column, row);
          unsigned char rgb[3] = {uint8_t((p & image->red_mask) >> 16), uint8_t((p & image->green_mask) >> 8),
                                  uint8_t(p & image->blue_mask)};
          shot.rgb.insert(shot.rgb.end(), rgb, rgb + 3);
          int luma = (rgb[0] * 3 + rgb[1] * 6 + rgb[2]) / 10;
          shot.darkest = std::min(shot.darkest, luma);
          shot.brightest = std::max(shot.brightest, luma);
        }
      }
      XDestroyImage(image);
    }
  }
  XCloseDisplay(display);
  return shot;
}

class DemoE2E : public ::testing::Test {
 protected:
  void TearDown() override {
    if (demo > 0) waitFor(demo, 0);
    if (server > 0) {
      kill(server, SIGTERM);
      if (waitFor(server, 5) < 0) kill(server, SIGKILL);
    }
  }

  // Xvfb on a free display number (it writes the number to a pipe).
  void startServer() {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    server = fork();
    if (server == 0) {
      std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char number[16] = {};
    ssize_t n = read(fds[0], number, sizeof number - 1);
    close(fds[0]);
    ASSERT_GT(n, 0) << "Xvfb did not start";
    std::string display = ":";
    display += std::to_string(std::atoi(number));
    setenv("DISPLAY", display.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    unsetenv("VANTREL_DEMO_FRAMES");
  }

  // The demo in a run folder of its own, the generated data linked in.
  void startDemo() {
    fs::remove_all(runDir);
    fs::create_directories(runDir);
    fs::create_directory_symlink(fs::path(VANTREL_RUN_DIR) / "data", fs::path(runDir) / "data");
    demo = fork();
    if (demo == 0) {
      if (chdir(runDir.c_str()) != 0 || !freopen("demo.out", "w", stdout) || !freopen("demo.out", "a", stderr)) _exit(126);
      execl(DEMO, DEMO, static_cast<char*>(nullptr));
      _exit(127);
    }
  }

  void press(const std::string& window, const std::string& key) {
    run("xdotool windowfocus --sync " + window);
    run("xdotool key --clearmodifiers " + key);
  }

  std::string runDir = fs::absolute("run").string();
  pid_t server = -1;
  pid_t demo = -1;
};

TEST_F(DemoE2E, EnterStartsTheDemoFramesAreDrawnAndEscapeEndsIt) {
  startServer();
  startDemo();
  std::string launcher = run("xdotool search --sync --onlyvisible --name '^Vantrel demo$'", 20);
  ASSERT_FALSE(launcher.empty()) << "no launcher appeared";
  press(launcher, "Return");

  std::string window = run("xdotool search --sync --onlyvisible --name '^engine$'", 60);
  ASSERT_FALSE(window.empty()) << "no demo window appeared: " << readFile(runDir + "/demo.out");
  // Frames: the window shows a picture with dark and bright parts.
  Shot shot;
  for (auto end = Clock::now() + std::chrono::seconds(60); Clock::now() < end;) {
    shot = grab(window);
    if (shot.brightest - shot.darkest > 64) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  ASSERT_GT(shot.width, 0);
  std::string file = fs::absolute("demo-frame.png").string();
  stbi_write_png(file.c_str(), shot.width, shot.height, 3, shot.rgb.data(), shot.width * 3);
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
