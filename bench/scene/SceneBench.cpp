// engine_cpu_per_frame_ms: the CPU time for one demo frame (clear, shadow
// pass, main pass, present) over the station scene, on the recording device,
// which draws nothing. The recording device's call log is switched off for
// the timed frames (writing every call as text would dominate the figure);
// its state keeping and draw validation stay in, so the figure is an upper
// bound on the engine's own work.
//
// overlay_cpu_ms: the statistics overlay's cost per frame on the same device
// and frames (building the ImGui frame and drawing it through the Direct3D 9
// back end, state block included), timed around its draw alone.
//
// startup_to_first_frame_ms: the real vantrel-demo, started as a process on
// llvmpipe (SDL's offscreen driver), from just before the process is created
// to the moment its first frame has been presented. Started with
// --no-launcher --frames 1, the demo takes the launcher's defaults, ends after
// the frame and reports that moment on the steady clock. Warm: the shader
// cache of an earlier start and Mesa's own cache in place, as a user's second
// start meets them.
//
// startup_cold_ms: the same with nothing cached, ours (an empty cache folder
// each time) or Mesa's (MESA_SHADER_CACHE_DISABLE), as a first start ever.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "assets/AseGenerator.h"
#include "demo/DemoApplication.h"
#include "demo/Overlay.h"
#include "engine/Log.h"
#include "engine/files/ByteOrder.h"
#include "engine/files/FileManager.h"
#include "engine/render/RenderDeviceDX9.h"
#include "engine/scene/SGScene.h"
#include "engine/scene/BuiltInShaderTable.h"
#include "platform/d3d9/RecordingDirect3D9.h"

namespace {

namespace fs = std::filesystem;

struct FrameFigures {
  double engineMs;
  double overlayMs;
};

FrameFigures frameFigures() {
  recordingReset();
  recordingSelect();
  resetRenderDevice();
  logOpen();
  initByteOrder();
  FileManagerOS files;
  files.setRoot(VANTREL_RUN_DIR "/");
  RenderDeviceDX9* device = getRenderDevice();
  device->fileManager = &files;
  device->init(reinterpret_cast<HWND>(uintptr_t(0x1000)), DisplayMode{1024, 768, 32, 60},
               DeviceSettings{false, false, 0, 1, 4.0f / 3.0f}, BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL,
               compileBuiltInShaders);

  SGScene scene;
  if (!scene.load(VANTREL_RUN_DIR "/data/station03.ase")) {
    std::fprintf(stderr, "scene_bench: cannot read the station scene\n");
    std::exit(1);
  }
  scene.createShadowResources();
  SGCamera camera;
  SGLight light;
  camera.setProjection(60.0f, 4.0f / 3.0f, 1.0f, 5500.0f);
  camera.setTarget(D3DXVECTOR3(0, 0, 0));
  light.coneAngle = 60.0f;
  light.range = 2500.0f;
  light.nearPlane = 2.0f;
  light.farPlane = 800.0f;
  light.target = D3DXVECTOR3(10, 30, 10);
  scene.camera = &camera;
  scene.light = &light;

  // The demo's paths, a tenth of a second apart.
  int frame = 0;
  Overlay overlay;
  std::vector<double> overlayTimes;
  auto drawFrame = [&] {
    float total = 0.1f * float(frame++);
    camera.setPosition(DemoApplication::cameraPositionAt(total));
    light.position = DemoApplication::lightPositionAt(total);
    device->clear(BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL, 0xFF000020u, 0);
    scene.render(total * 10000.0f);
    if (overlay.visible) {
      const double start = bench::nowMs();
      overlay.draw(*device, 1.0f / 60.0f);
      overlayTimes.push_back(bench::nowMs() - start);
    }
    device->present();
  };
  recordingLog().clear();
  drawFrame();
  size_t calls = recordingLog().size();
  recordingLog().clear();
  recordingLog().setEnabled(false);
  for (int i = 0; i < 20; ++i) drawFrame();
  std::vector<double> times;
  for (int i = 0; i < 200; ++i) {
    double start = bench::nowMs();
    drawFrame();
    times.push_back(bench::nowMs() - start);
  }
  // The overlay's frames: the first ones make its context, font and device
  // objects, which the timed ones then reuse.
  overlay.visible = true;
  for (int i = 0; i < 20; ++i) drawFrame();
  overlayTimes.clear();
  for (int i = 0; i < 200; ++i) drawFrame();
  recordingLog().setEnabled(true);
  std::printf("engine frame: %u nodes, %zu device calls per frame\n", scene.nodes.count, calls);
  overlay.shutdown();
  scene.releaseShadowResources();
  device->shutdown();
  resetRenderDevice();
  std::sort(times.begin(), times.end());
  std::sort(overlayTimes.begin(), overlayTimes.end());
  return {times[times.size() / 2], overlayTimes[overlayTimes.size() / 2]};
}

long long steadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// One run of the demo (with `scene` to view, if given); milliseconds to its
// first presented frame, or -1.
double startupMs(const fs::path& runDir, const std::string& scene = std::string(), bool cold = false) {
  fs::path output = runDir / "demo.out";
  long long start = steadyNs();
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
      close(out);
    }
    if (chdir(runDir.c_str()) != 0) _exit(126);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    fs::path cache = runDir / "cache";
    if (cold) {
      cache = runDir / "cold-cache";
      fs::remove_all(cache);
      setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    }
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    if (scene.empty()) execl(DEMO, DEMO, "--no-launcher", "--frames", "1", static_cast<char*>(nullptr));
    else execl(DEMO, DEMO, "--no-launcher", "--frames", "1", "--scene", scene.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  FILE* f = std::fopen(output.c_str(), "r");
  if (!f) return -1;
  char line[512];
  long long presented = 0;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "vantrel-demo: frames=%*d first-frame-clock-ns=%lld", &presented) == 1) break;
  std::fclose(f);
  return presented > start ? double(presented - start) / 1e6 : -1;
}

}  // namespace

int main() {
  const FrameFigures frames = frameFigures();
  bench::report("engine_cpu_per_frame_ms", frames.engineMs, -1, "ms", "< 0.2");
  bench::report("overlay_cpu_ms", frames.overlayMs, -1, "ms", "< 0.15");

  // A run folder of its own beside the benchmarks, with the generated data.
  fs::path runDir = fs::absolute("scene-run");
  fs::create_directories(runDir);
  if (!fs::exists(runDir / "data")) fs::create_directory_symlink(fs::path(VANTREL_RUN_DIR) / "data", runDir / "data");
  // The median of `count` starts, or -1 when one failed.
  auto medianStart = [&](int count, bool cold) {
    std::vector<double> runs;
    for (int i = 0; i < count; ++i) {
      double ms = startupMs(runDir, std::string(), cold);
      if (ms < 0) return -1.0;
      runs.push_back(ms);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
  };
  startupMs(runDir);  // fills the caches
  const double warm = medianStart(8, false), cold = medianStart(3, true);
  if (warm < 0 || cold < 0) {
    std::fprintf(stderr, "scene_bench: the demo did not run (see %s)\n", (runDir / "demo.out").c_str());
    return 1;
  }
  bench::report("startup_to_first_frame_ms", warm, -1, "ms", "<= 250");
  bench::report("startup_cold_ms", cold, -1, "ms", "reported");
  std::vector<double> runs;

  // A user's ~50 MB export viewed: reading, welding and uploading it all
  // happen before the first frame.
  const fs::path big = runDir / "big.ase";
  if (!generateAseScene(big.string(), 50u * 1000 * 1000, nullptr)) {
    std::fprintf(stderr, "scene_bench: cannot write %s\n", big.c_str());
    return 1;
  }
  runs.clear();
  for (int i = 0; i < 3; ++i) {
    double ms = startupMs(runDir, big.string());
    if (ms < 0) {
      std::fprintf(stderr, "scene_bench: the demo did not view %s (see %s)\n", big.c_str(),
                   (runDir / "demo.out").c_str());
      return 1;
    }
    runs.push_back(ms);
  }
  std::sort(runs.begin(), runs.end());
  bench::report("scene_first_frame_ms", runs[runs.size() / 2], -1, "ms", "reported");
  fs::remove(big);
  return 0;
}
