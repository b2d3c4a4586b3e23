// The real demo on a real X server (its own Xvfb): the launcher is accepted
// at its defaults, frames run with both post-processing chains, a screenshot
// of the window is kept, Escape ends the demo with 0.
//
// What the screenshot shows of the post-processing: the scene clears to
// 0xF0F0F0, far above the bright-pass threshold, so the bloom lifts every
// background pixel to pure white; without it the corners would read 240.
// Where the station lies in the window is left to the camera path and the
// presentation, so nothing here depends on it.

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

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

pid_t spawn(const std::vector<std::string>& args, const std::string& output, int keepFd = -1) {
  pid_t pid = fork();
  if (pid != 0) return pid;
  int out = open(output.empty() ? "/dev/null" : output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out >= 0) {
    dup2(out, 1);
    dup2(out, 2);
    close(out);
  }
  for (int fd = 3; fd < 256; ++fd)
    if (fd != keepFd) close(fd);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

// The exit status, or -1 when the process had to be killed after `seconds`.
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

std::string run(const std::string& command, int seconds = 10) {
  std::string line = "timeout -s KILL " + std::to_string(seconds) + " " + command + " 2>/dev/null";
  FILE* pipe = popen(line.c_str(), "r");
  if (!pipe) return {};
  std::string out;
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof(buffer), pipe)) out.append(buffer, n);
  pclose(pipe);
  return out;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Shot {
  int width = 0, height = 0;
  int white = 0;        // pure white
  int background = 0;   // the clear colour untouched (240, 240, 240)
  int lit = 0;          // not black: a frame has been presented
  bool cornersWhite = false;
};

Shot analyse(const std::string& png) {
  Shot shot;
  int channels = 0;
  unsigned char* pixels = stbi_load(png.c_str(), &shot.width, &shot.height, &channels, 3);
  if (!pixels) return {};
  auto at = [&](int x, int y) { return pixels + (size_t(y) * size_t(shot.width) + size_t(x)) * 3; };
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      const unsigned char* p = at(x, y);
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
          if (at(x, y)[0] < 250 || at(x, y)[1] < 250 || at(x, y)[2] < 250) shot.cornersWhite = false;
  stbi_image_free(pixels);
  return shot;
}

class PostFXE2E : public ::testing::Test {
 protected:
  void TearDown() override {
    if (demo > 0) waitFor(demo, 0);
    if (server > 0) {
      kill(server, SIGTERM);
      if (waitFor(server, 5) < 0) kill(server, SIGKILL);
    }
  }

  void startServer() {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    server = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                    "-noreset"},
                   "xvfb.log", fds[1]);
    close(fds[1]);
    std::string number;
    pollfd p = {fds[0], POLLIN, 0};
    auto deadline = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < deadline && number.find('\n') == std::string::npos) {
      if (poll(&p, 1, 200) > 0) {
        char c[16];
        ssize_t n = read(fds[0], c, sizeof(c));
        if (n <= 0) break;
        number.append(c, size_t(n));
      }
    }
    close(fds[0]);
    ASSERT_NE(number.find('\n'), std::string::npos) << "Xvfb did not start: " << readFile("xvfb.log");
    std::string display = ":";
    display += number.substr(0, number.find('\n'));
    setenv("DISPLAY", display.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
  }

  pid_t server = -1;
  pid_t demo = -1;
};

TEST_F(PostFXE2E, FramesShowTheBloomOverTheScene) {
  // The demo reads ./data/ and writes log.txt where it runs: a folder of its own.
  fs::path work = fs::absolute("demo-run");
  fs::remove_all(work);
  fs::create_directories(work);
  fs::create_symlink(fs::path(VANTREL_RUN_DIR) / "data", work / "data");
  startServer();

  // A frame count far away: the launcher is accepted at its defaults and the
  // demo runs until it gets Escape from here.
  setenv("VANTREL_DEMO_FRAMES", "1000000", 1);
  fs::path previous = fs::current_path();
  fs::current_path(work);
  demo = spawn({DEMO}, "demo.out");
  fs::current_path(previous);

  std::string ids = run("xdotool search --sync --onlyvisible --name '^engine$'", 60);
  std::istringstream first(ids);
  std::string window;
  first >> window;
  ASSERT_FALSE(window.empty()) << "no demo window appeared\n" << readFile(work / "demo.out");

  // Screenshots until a frame has been presented, then one more a little later.
  std::string file = (work / "postfx-frame.png").string();
  Shot shot;
  auto deadline = Clock::now() + std::chrono::seconds(90);
  bool drawn = false;
  while (Clock::now() < deadline) {
    run(std::string(SCREENSHOT) + " " + file + " " + window);
    shot = analyse(file);
    if (shot.width > 0 && shot.lit > shot.width * shot.height / 2) {
      if (drawn) break;
      drawn = true;
      std::this_thread::sleep_for(std::chrono::seconds(2));
      continue;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  std::printf("demo frame screenshot: %s\n", file.c_str());
  RecordProperty("screenshot", file);

  run("xdotool windowfocus --sync " + window);
  run("xdotool key --clearmodifiers Escape");
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
