// vantrel-demo on its own Xvfb, driven with xdotool as a person would: the
// launcher appears, Enter starts the demo, frames are drawn in its window,
// Escape ends it with exit code 0, and log.txt tells what happened. A
// screenshot of a frame is kept next to the test's working files. Escape in
// the launcher cancels with only the log header and the file manager's lines.

#include <fcntl.h>
#include <poll.h>
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

// Starts args[0] in `directory` with stdout and stderr into `output`; keepFd
// stays open in the child.
pid_t spawn(const std::vector<std::string>& args, const std::string& output, const std::string& directory = "",
            int keepFd = -1) {
  pid_t pid = fork();
  if (pid != 0) return pid;
  int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out >= 0) {
    dup2(out, 1);
    dup2(out, 2);
    close(out);
  }
  for (int fd = 3; fd < 256; ++fd)
    if (fd != keepFd) close(fd);
  if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

// The exit code, or -1 when the process had to be killed after `seconds`.
int waitFor(pid_t pid, double seconds) {
  auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

// A short command with a time limit; its output.
std::string run(const std::string& command, int seconds = 10) {
  std::string line = "timeout -s KILL " + std::to_string(seconds) + " " + command + " 2>/dev/null";
  FILE* pipe = popen(line.c_str(), "r");
  if (!pipe) return {};
  std::string out;
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  pclose(pipe);
  return out;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string firstWord(const std::string& text) {
  std::istringstream in(text);
  std::string word;
  in >> word;
  return word;
}

// What the X server shows of a window, as RGB rows.
struct Shot {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  int minLuma = 255, maxLuma = 0;
  double meanLuma = 0;
};

Shot grab(const std::string& windowId) {
  Shot shot;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return shot;
  Window root = DefaultRootWindow(display);
  Window window = Window(std::strtoul(windowId.c_str(), nullptr, 0));
  XWindowAttributes attributes;
  int x = 0, y = 0;
  Window child;
  if (XGetWindowAttributes(display, window, &attributes) &&
      XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child)) {
    if (XImage* image = XGetImage(display, root, x, y, unsigned(attributes.width), unsigned(attributes.height),
                                  AllPlanes, ZPixmap)) {
      shot.width = attributes.width;
      shot.height = attributes.height;
      shot.rgb.resize(size_t(shot.width) * size_t(shot.height) * 3);
      double sum = 0;
      for (int row = 0; row < shot.height; ++row) {
        for (int column = 0; column < shot.width; ++column) {
          unsigned long pixel = XGetPixel(image, column, row);
          unsigned char* out = &shot.rgb[(size_t(row) * size_t(shot.width) + size_t(column)) * 3];
          out[0] = (pixel & image->red_mask) >> 16;
          out[1] = (pixel & image->green_mask) >> 8;
          out[2] = pixel & image->blue_mask;
          int luma = (out[0] * 3 + out[1] * 6 + out[2]) / 10;
          shot.minLuma = std::min(shot.minLuma, luma);
          shot.maxLuma = std::max(shot.maxLuma, luma);
          sum += luma;
        }
      }
      shot.meanLuma = sum / (double(shot.width) * shot.height);
      XDestroyImage(image);
    }
  }
  XCloseDisplay(display);
  return shot;
}

class DemoE2E : public ::testing::Test {
 protected:
  // Cases may run in parallel: each has its own run folder, with the
  // generated data linked in (the demo opens ./data/ relative to it).
  void SetUp() override {
    name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    runDir = fs::absolute("run-" + name).string();
    fs::remove_all(runDir);
    fs::create_directories(runDir);
    fs::create_directory_symlink(fs::path(VANTREL_RUN_DIR) / "data", fs::path(runDir) / "data");
    serverLog = fs::absolute(name + "-xvfb.log").string();
    demoOutput = fs::absolute(name + "-demo.out").string();
  }
  void TearDown() override {
    if (demo > 0) waitFor(demo, 0);
    demo = -1;
    if (server > 0) {
      kill(server, SIGTERM);
      if (waitFor(server, 5) < 0) kill(server, SIGKILL);
    }
    server = -1;
  }

  void startServer() {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    server = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                    "-noreset"},
                   serverLog, "", fds[1]);
    close(fds[1]);
    std::string number;
    pollfd p = {fds[0], POLLIN, 0};
    auto deadline = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < deadline && number.find('\n') == std::string::npos) {
      if (poll(&p, 1, 200) > 0) {
        char c[16];
        ssize_t n = read(fds[0], c, sizeof c);
        if (n <= 0) break;
        number.append(c, size_t(n));
      }
    }
    close(fds[0]);
    ASSERT_NE(number.find('\n'), std::string::npos) << "Xvfb did not start: " << readFile(serverLog);
    std::string display = ":" + number.substr(0, number.find('\n'));
    setenv("DISPLAY", display.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    unsetenv("VANTREL_DEMO_FRAMES");
  }

  // Starts the demo and waits for its launcher; the launcher's window id.
  std::string startDemo() {
    demo = spawn({DEMO}, demoOutput, runDir);
    return firstWord(run("xdotool search --sync --onlyvisible --name '^Vantrel demo$'", 20));
  }

  void press(const std::string& window, const std::string& key) {
    run("xdotool windowfocus --sync " + window);
    run("xdotool key --clearmodifiers " + key);
  }

  int finish(double seconds) {
    int status = waitFor(demo, seconds);
    demo = -1;
    return status;
  }

  std::string log() { return readFile(runDir + "/log.txt"); }

  std::string name, runDir, serverLog, demoOutput;
  pid_t server = -1;
  pid_t demo = -1;
};

const char* const fileManagerLines =
    "Vantrel Engine Log\n\n"
    "FileManager: Add path ''.\n"
    "FileManager: Add path '../../data/'.\n"
    "FileManager: Add path '../../data/textures/'.\n";

TEST_F(DemoE2E, EnterStartsTheDemoFramesAreDrawnAndEscapeEndsIt) {
  startServer();
  std::string launcher = startDemo();
  ASSERT_FALSE(launcher.empty()) << "no launcher appeared: " << readFile(demoOutput);
  press(launcher, "Return");

  // The demo's window appears and shows frames: the scene over its light
  // background, with dark and bright parts.
  std::string window = firstWord(run("xdotool search --sync --onlyvisible --name '^engine$'", 60));
  ASSERT_FALSE(window.empty()) << "no demo window appeared: " << readFile(demoOutput) << log();
  Shot shot;
  auto deadline = Clock::now() + std::chrono::seconds(60);
  while (Clock::now() < deadline) {
    shot = grab(window);
    if (shot.width > 0 && shot.maxLuma - shot.minLuma > 64 && shot.meanLuma > 40) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  ASSERT_GT(shot.width, 0);
  std::string file = fs::absolute("demo-frame.png").string();
  stbi_write_png(file.c_str(), shot.width, shot.height, 3, shot.rgb.data(), shot.width * 3);
  std::printf("demo screenshot: %s\n", file.c_str());
  RecordProperty("screenshot", file);
  EXPECT_GT(shot.maxLuma - shot.minLuma, 64) << "the window shows no picture";
  EXPECT_GT(shot.meanLuma, 40);

  press(window, "Escape");
  EXPECT_EQ(finish(60), 0) << readFile(demoOutput);

  const std::string text = log();
  EXPECT_EQ(text.rfind(fileManagerLines, 0), 0u) << text;
  for (const char* line : {"Resolution: ", " Hz Format: ", "PixelShaderVersion = ", "VertexShaderVersion = ",
                           "TextureStages = ", "MaxAnisotropy = ", "CanAutoGenMipMap = "})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  EXPECT_EQ(text.find("failed"), std::string::npos) << text;
}

TEST_F(DemoE2E, EscapeInTheLauncherCancels) {
  startServer();
  std::string launcher = startDemo();
  ASSERT_FALSE(launcher.empty()) << "no launcher appeared: " << readFile(demoOutput);
  press(launcher, "Escape");
  EXPECT_EQ(finish(30), 0) << readFile(demoOutput);
  EXPECT_EQ(log(), fileManagerLines);
}

}  // namespace
