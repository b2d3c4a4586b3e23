// soak_rss_growth_kb: the demo rendered as vantrel-capture renders it (160 x
// 120 on the offscreen OpenGL device, fixed-step clock at 30 frames a second,
// every frame read back) for 5,000 frames: resident memory after frame 5,000
// against after frame 500, when whatever the first frames fill (program
// cache, driver pools, the log) has been filled.
//
// restart_rss_growth_kb: the data source, device, post-processing and demo
// started, one frame drawn and read back, and everything stopped, 50 times in
// one process: resident memory after the 50th cycle against after the first.
//
// Both run from the build's run folder, which holds the generated station.

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "demo/DemoApp.h"
#include "demo/DemoApplication.h"
#include "demo/FrameGrabber.h"
#include "engine/render/RenderDeviceDX9.h"
#include "platform/win32/Clock.h"
#include "tools/capture/CaptureOptions.h"

namespace {

// Resident memory in KB, with the freed heap pages glibc keeps for reuse
// handed back first (malloc_trim). Without that the figure is the allocator's
// high-water mark: glibc moves its mmap threshold up as large blocks are
// freed, so the same live blocks come to sit in the heap among free ones, and
// the soak read 6.8 MB of growth (once, near frame 3,100) while the memory in
// use stayed the same. Both readings are printed.
long residentKb(bool trim) {
  if (trim) malloc_trim(0);
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "soak_bench: %s\n", why.c_str());
  std::exit(1);
}

class CaptureRun {
 public:
  CaptureRun() {
    options.width = 160;
    options.height = 120;
    useFixedStepClock(options.frameReading(1) - options.frameReading(0), 0);
    demoOpenData();
    demo = demoStart(DisplayMode{options.width, options.height, 32, 60},
                     DeviceSettings{false, false, 0, 1, options.aspectRatio()}, 1);
    std::string error;
    if (!demo) fail("the demo does not start: " + getDemoApplication()->sceneError);
    if (!grabber.open(getRenderDevice()->device, error)) fail("cannot read frames back: " + error);
  }
  ~CaptureRun() {
    grabber.close();
    demoStop();
  }

  void frame() {
    useFixedStepClock(options.frameReading(1) - options.frameReading(0), options.frameReading(next++));
    demo->frame();
    std::string error;
    if (!grabber.readRgb(rgb, error)) fail("cannot read frames back: " + error);
  }

 private:
  CaptureOptions options;
  DemoApplication* demo = nullptr;
  FrameGrabber grabber;
  std::vector<uint8_t> rgb;
  int64_t next = 0;
};

}  // namespace

int main() {
  if (chdir(VANTREL_RUN_DIR) != 0) fail("no run folder " VANTREL_RUN_DIR);
  setenv("SDL_VIDEODRIVER", "dummy", 1);

  long settled[2] = {0, 0}, soaked[2] = {0, 0};  // untrimmed, trimmed
  {
    CaptureRun run;
    for (int frame = 1; frame <= 5000; ++frame) {
      run.frame();
      if (frame == 500) settled[0] = residentKb(false), settled[1] = residentKb(true);
    }
    soaked[0] = residentKb(false), soaked[1] = residentKb(true);
  }
  std::printf("soak: resident after frame 500 / 5,000: %ld / %ld KB (untrimmed %ld / %ld KB)\n", settled[1], soaked[1],
              settled[0], soaked[0]);
  bench::report("soak_rss_growth_kb", double(soaked[1] - settled[1]), -1, "KB", "<= 1024");

  long first[2] = {0, 0}, last[2] = {0, 0};
  for (int cycle = 1; cycle <= 50; ++cycle) {
    {
      CaptureRun run;
      run.frame();
    }
    long* reading = cycle == 1 ? first : last;
    reading[0] = residentKb(false), reading[1] = residentKb(true);
  }
  std::printf("restart: resident after cycle 1 / 50: %ld / %ld KB (untrimmed %ld / %ld KB)\n", first[1], last[1],
              first[0], last[0]);
  bench::report("restart_rss_growth_kb", double(last[1] - first[1]), -1, "KB", "<= 2048");
  return 0;
}
