#pragma once
// End-to-end tests on a real X server of their own (Xvfb on a free display
// number), driving programs as a person would: start them, find their windows
// by title, press keys, take screenshots, wait for them to end.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace xvfb {

using Clock = std::chrono::steady_clock;

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Starts args[0] (looked up on PATH) in `folder` (empty: here) with stdout and
// stderr into `output` (empty: /dev/null), stderr into `errors` instead when
// given; `keepFd` stays open in the child.
inline pid_t spawn(const std::vector<std::string>& args, const std::string& output = "", int keepFd = -1,
                   const std::string& folder = "", const std::string& errors = "") {
  pid_t pid = fork();
  if (pid != 0) return pid;
  if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
  int out = open(output.empty() ? "/dev/null" : output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int err = errors.empty() ? out : open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out >= 0) dup2(out, 1);
  if (err >= 0) dup2(err, 2);
  for (int fd = 3; fd < 256; ++fd)
    if (fd != keepFd) close(fd);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

// The exit status, or -1 when the process had to be killed after `seconds`.
inline int waitFor(pid_t pid, double seconds) {
  for (auto end = Clock::now() + std::chrono::duration<double>(seconds); Clock::now() < end;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

// A short shell command with a time limit; its output.
inline std::string run(const std::string& command, int seconds = 10) {
  FILE* pipe = popen(("timeout -s KILL " + std::to_string(seconds) + " " + command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return {};
  std::string out;
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  pclose(pipe);
  return out;
}

// The first visible window titled exactly `title`, waiting up to `seconds`;
// empty when none appeared.
inline std::string findWindow(const std::string& title, int seconds) {
  const std::string ids = run("xdotool search --sync --onlyvisible --name '^" + title + "$'", seconds);
  return ids.substr(0, ids.find('\n'));
}

inline void press(const std::string& window, const std::string& key) {
  run("xdotool windowfocus --sync " + window);
  run("xdotool key --clearmodifiers " + key);
}

#ifdef SCREENSHOT
// What the X server shows of the window, saved as PNG by the x_screenshot tool.
inline void screenshot(const std::string& window, const std::string& file) {
  run(std::string(SCREENSHOT) + " " + file + " " + window);
}

// Waits until the window has shown `frames` pictures other than the one it
// shows now (a moving scene changes every frame), up to `seconds`; the last
// is left in `file`. False when the window stopped changing.
inline bool awaitNewFrames(const std::string& window, const std::string& file, int frames, int seconds = 60) {
  screenshot(window, file);
  std::string shown = readFile(file);
  for (auto end = Clock::now() + std::chrono::seconds(seconds); frames > 0 && Clock::now() < end;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    screenshot(window, file);
    std::string now = readFile(file);
    if (now != shown && !now.empty()) --frames, shown = now;
  }
  return frames == 0;
}
#endif

// The server: started by start(), stopped by stop() or on destruction.
// start() points DISPLAY (and SDL) at it.
class Server {
 public:
  ~Server() { stop(); }

  // False when the server did not report its display number; its log tells why.
  bool start(int dpi = 0, const std::string& log = "xvfb.log") {
    int fds[2];
    if (pipe(fds) != 0) return false;
    std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                                     "-nolisten", "tcp", "-noreset"};
    if (dpi > 0) args.insert(args.end(), {"-dpi", std::to_string(dpi)});
    pid = spawn(args, log, fds[1]);
    close(fds[1]);
    // The number and a line end; the pipe closes early when the server ends.
    std::string number;
    pollfd p = {fds[0], POLLIN, 0};
    char c[16];
    ssize_t n = 0;
    while (number.find('\n') == std::string::npos && poll(&p, 1, 15000) > 0 && (n = read(fds[0], c, sizeof c)) > 0)
      number.append(c, size_t(n));
    close(fds[0]);
    if (number.find('\n') == std::string::npos) return false;
    std::string display = ":";
    display += number.substr(0, number.find('\n'));
    setenv("DISPLAY", display.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    return true;
  }

  void stop() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitFor(pid, 5);
    }
    pid = -1;
  }

 private:
  pid_t pid = -1;
};

}  // namespace xvfb
