// vantrel-capture: the demo rendered without a window or launcher, on the
// offscreen OpenGL path, at a fixed frame rate. The performance counter runs
// in fixed-step mode and is set to each frame's exact time before the demo
// reads it, so the same options give the same frames on every run.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "demo/DemoApp.h"
#include "demo/DemoApplication.h"
#include "engine/Log.h"
#include "engine/render/RenderDeviceDX9.h"
#include "platform/win32/Clock.h"
#include "tools/capture/CaptureOptions.h"
#include "demo/FrameGrabber.h"
#include "tools/capture/FrameWriters.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point then) {
  return std::chrono::duration<double>(Clock::now() - then).count();
}

// Frames done, frames per second and time left on standard error: rewritten
// in place on a terminal, about one line a second otherwise (logs, CI).
class Progress {
 public:
  explicit Progress(int64_t total) : total(total), terminal(isatty(STDERR_FILENO) != 0) {}

  void frameDone(int64_t done) {
    const double elapsed = secondsSince(started);
    if (done < total && elapsed - lastShown < (terminal ? 0.2 : 1.0)) return;
    lastShown = elapsed;
    const double fps = elapsed > 0.0 ? double(done) / elapsed : 0.0;
    const double left = fps > 0.0 ? double(total - done) / fps : 0.0;
    std::fprintf(stderr, "%svantrel-capture: frame %lld/%lld, %.1f fps, %.0f s left%s", terminal ? "\r" : "",
                 static_cast<long long>(done), static_cast<long long>(total), fps, left, terminal ? "   " : "\n");
    if (terminal && done == total) std::fputc('\n', stderr);
    std::fflush(stderr);
  }

 private:
  int64_t total;
  bool terminal;
  Clock::time_point started = Clock::now();
  double lastShown = -1.0;
};

int usageError(const std::string& problem) {
  std::fprintf(stderr, "vantrel-capture: %s\nTry 'vantrel-capture --help'.\n", problem.c_str());
  return 2;
}

// A scene that cannot be shown is no misuse of the command line: the reason
// alone, in log.txt too (the start has already written it there when the
// scene got that far).
int sceneRefused(const std::string& file, const std::string& why, bool logged) {
  if (!logged) {
    logOpen();
    logPrintf("Scene: Couldn't open '%s': %s.\n", file.c_str(), why.c_str());
  }
  std::fprintf(stderr, "vantrel-capture: %s: %s\n", file.c_str(), why.c_str());
  return 2;
}

int runError(const std::string& problem) {
  std::fprintf(stderr, "vantrel-capture: %s\n", problem.c_str());
  return 1;
}

// Milliseconds: the first frame alone (it links the shader programs), then
// the median and the mean of the slowest 1% of the frames after it.
void printBench(const CaptureOptions& options, std::vector<double> times) {
  std::printf("vantrel-capture bench: %dx%d%s, %lld frames from %.3f s at %g fps\n", options.width, options.height,
              options.msaa ? " 4x MSAA" : "", static_cast<long long>(times.size()), options.start, options.fps());
  std::printf("  first frame  %9.2f ms\n", times.front());
  if (times.size() > 1) times.erase(times.begin());
  std::sort(times.begin(), times.end());
  const size_t count = times.size();
  const double median = count % 2 ? times[count / 2] : (times[count / 2 - 1] + times[count / 2]) / 2.0;
  const size_t slowest = std::max<size_t>(1, count / 100);
  double sum = 0.0;
  for (size_t i = count - slowest; i < count; ++i) sum += times[i];
  std::printf("  median       %9.2f ms  (%.1f fps)\n", median, median > 0.0 ? 1000.0 / median : 0.0);
  std::printf("  1%% high      %9.2f ms  (mean of the slowest %zu of %zu)\n", sum / double(slowest), slowest, count);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  CaptureOptions options;
  std::string error;
  if (!parseCaptureOptions(argc, argv, options, error)) return usageError(error);
  if (options.help) {
    std::fputs(captureUsage(), stdout);
    return 0;
  }
  // The demo opens its scene relative to the working directory; saying so
  // here beats the engine's fatal error after the device is up.
  if (!demoFindData())
    return usageError(std::string("no ") + demoSceneFile +
                      " here and no installed data: run from the folder that holds data/ (the build's run "
                      "folder, build/run), or install the program");

  std::error_code missing;
  if (!options.sceneFile.empty() && !std::filesystem::is_regular_file(options.sceneFile, missing))
    return sceneRefused(options.sceneFile, "no such file", false);

  // Outputs first, so a bad path costs no start-up.
  PngFrameWriter png;
  Y4mWriter y4m;
  if (!options.outDir.empty() && !png.open(options.outDir, error)) return runError(error);
  if (!options.y4mFile.empty() &&
      !y4m.open(options.y4mFile, options.width, options.height, options.fpsNumerator, options.fpsDenominator,
                options.aspectNumerator, options.aspectDenominator, error))
    return runError(error);

  // No window on screen whatever display there is: the device renders on its
  // surfaceless context, and fatal errors print instead of showing a box.
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  // init reads the start counter: zero, so each frame's reading is its time.
  const int64_t step = options.frameReading(1) - options.frameReading(0);
  useFixedStepClock(step, 0);

  demoOpenData();
  DemoScene shown;
  shown.viewFile = options.sceneFile.empty() ? nullptr : options.sceneFile.c_str();
  shown.slide = options.slide;
  shown.animate = options.animate;
  DemoApplication* demo =
      demoStart(DisplayMode{options.width, options.height, 32, 60},
                DeviceSettings{false, false, options.msaa ? 4 : 0, 1, options.aspectRatio()}, 1, shown);
  if (!demo) {
    const std::string why = getDemoApplication()->sceneError;
    demoStop();
    return sceneRefused(options.sceneFile, why, true);
  }

  demo->overlay.visible = options.overlay;
  FrameGrabber grabber;
  int status = 0;
  if (!grabber.open(getRenderDevice()->device, error)) {
    status = runError("cannot read frames back: " + error);
  } else {
    Progress progress(options.frames);
    std::vector<double> times;
    std::vector<uint8_t> rgb;
    for (int64_t frame = 0; frame < options.frames && status == 0; ++frame) {
      useFixedStepClock(step, options.frameReading(frame));
      const Clock::time_point begun = Clock::now();
      demo->frame();
      if (options.bench) {
        if (!grabber.waitForFrame(error)) status = runError("cannot read frames back: " + error);
        times.push_back(secondsSince(begun) * 1000.0);
      } else if (!grabber.readRgb(rgb, error)) {
        status = runError("cannot read frames back: " + error);
      } else if ((!options.outDir.empty() && !png.write(frame, rgb, grabber.width(), grabber.height(), error)) ||
                 (!options.y4mFile.empty() && !y4m.write(rgb, error))) {
        status = runError(error);
      }
      if (status == 0) progress.frameDone(frame + 1);
    }
    if (status == 0 && options.bench) printBench(options, times);
  }

  grabber.close();
  demoStop();
  if (!y4m.close(error) && status == 0) status = runError(error);
  return status;
}
