// frame_ms_1024x768: one 1024 x 768 frame on llvmpipe with both
// post-processing chains (chain 2, then chain 1) against the same frame
// without them, measured in the same run with the two kinds interleaved.
// frame_ms_1024x768_msaa: the same on a device with 4x anti-aliasing, and
// msaa_blits_per_frame: the blits the device makes for one such frame
// (copies of the back buffer, resolves, Present) against the frame without
// anti-aliasing.
//
// The frame is the demo's own (station scene, shadow pass, main pass) run
// from the run directory; the chains are taken out of the frame by clearing
// the demo's chain pointers. Each frame ends with a one-pixel read-back so
// that the GPU work is finished inside the timed region.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "BenchReport.h"
#include "engine/Log.h"
#include "engine/Window.h"
#include "engine/postfx/PostFX.h"
#include "engine/render/RenderDeviceDX9.h"

#include "demo/DemoApplication.h"
#include "engine/files/ByteOrder.h"
#include "engine/files/FileManager.h"
#include "engine/scene/BuiltInShaderTable.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

const char* const sceneVS =
    "struct VsIn {\tfloat4 position: POSITION;\tfloat2 texCoord: TEXCOORD;};VsIn main(VsIn inp){\nreturn inp;}\n";
const char* const scenePS =
    "float4 main(float2 uv : TEXCOORD0) : COLOR {\n"
    "\tfloat2 cell = frac(uv * 8.0f);\n"
    "\tfloat bright = (cell.x < 0.2f && cell.y < 0.2f) ? 1.0f : 0.0f;\n"
    "\tfloat3 base = float3(uv.x * 0.4f, uv.y * 0.3f, 0.25f);\n"
    "\treturn float4(lerp(base, float3(1.0f, 0.95f, 0.8f), bright), uv.x);\n"
    "}\n";

// One frame of either kind, finished on the GPU when draw returns.
class Frame {
 public:
  virtual ~Frame() = default;
  virtual void draw(bool post) = 0;
  virtual const char* name() const = 0;

 protected:
  void finish() {
    RenderDeviceDX9* device = getRenderDevice();
    if (probe < 0) {
      probe = device->createRenderTarget(TEXFMT_A8R8G8B8, 1, 1, 0);
      device->device->CreateOffscreenPlainSurface(1, 1, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &readBack, nullptr);
    }
    device->getBackbuffer(probe);
    if (readBack) device->device->GetRenderTargetData(device->renderTargets[probe].surface, readBack);
  }
  void releaseProbe() {
    if (readBack) readBack->Release();
    readBack = nullptr;
  }

  int probe = -1;
  IDirect3DSurface9* readBack = nullptr;
};

class DemoFrame : public Frame {
 public:
  DemoFrame() {
    initByteOrder();
    files = TRACKED_NEW(FileManagerOS);
    files->setRoot("../../data/");
    files->addPath("../../data/textures/");
    getRenderDevice()->fileManager = files;
    demo = getDemoApplication();
    demo->fileManager = files;
    demo->init();
    chain1 = postChain1;
    chain2 = postChain2;
  }
  ~DemoFrame() override {
    releaseProbe();
    postChain1 = chain1;
    postChain2 = chain2;
    demo->shutdown();
    destroyDemoApplication();
    getRenderDevice()->fileManager = nullptr;
    TRACKED_DELETE(files);
  }
  const char* name() const override { return "demo frame"; }

  // The demo's frame presents; the read-back follows it.
  void draw(bool post) override {
    postChain1 = post ? chain1 : nullptr;
    postChain2 = post ? chain2 : nullptr;
    demo->frame();
    finish();
  }
  // The frame with both chains, without the read-back.
  void frameOnly() {
    postChain1 = chain1;
    postChain2 = chain2;
    demo->frame();
  }

 private:
  FileManagerOS* files;
  DemoApplication* demo;
  PostChain* chain1;
  PostChain* chain2;
};

double median(double* v, int n) {
  for (int i = 1; i < n; ++i)
    for (int j = i; j > 0 && v[j - 1] > v[j]; --j) std::swap(v[j - 1], v[j]);
  return v[n / 2];
}

struct Figures {
  double withPost = 0.0, withoutPost = 0.0;
  unsigned long long blitsPerFrame = 0;
};

// The demo frame on a device with `multiSample` (0 or 4).
Figures measure(HWND window, int multiSample) {
  RenderDeviceDX9* device = getRenderDevice();
  device->init(window, DisplayMode{kWidth, kHeight, 32, 60},
               DeviceSettings{false, false, multiSample, 1, float(kWidth) / float(kHeight)},
               BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL, compileBuiltInShaders);
  postFXInit(float(kWidth), float(kHeight));
  Figures f;
  {
    DemoFrame frame;
    // Warm up both kinds (program links, first-use allocations).
    for (int i = 0; i < 3; ++i) {
      frame.draw(false);
      frame.draw(true);
    }
    D3D9DeviceStatistics before, after;
    d3d9DeviceStatistics(device->device, &before);
    frame.frameOnly();
    d3d9DeviceStatistics(device->device, &after);
    f.blitsPerFrame = after.blits - before.blits;
    constexpr int kFramesPerRun = 5;
    constexpr int kRuns = 9;
    double plain[kRuns], post[kRuns];
    for (int run = 0; run < kRuns; ++run) {
      plain[run] = bench::medianMs(kFramesPerRun, [&] { frame.draw(false); });
      post[run] = bench::medianMs(kFramesPerRun, [&] { frame.draw(true); });
    }
    f.withoutPost = median(plain, kRuns);
    f.withPost = median(post, kRuns);
    std::printf("%s at %dx%d%s on %s: without post-processing %.3f ms, with both chains %.3f ms, chains %.3f ms, "
                "%llu blits a frame\n",
                frame.name(), kWidth, kHeight, multiSample ? " 4x MSAA" : "", d3d9CurrentImplementation(),
                f.withoutPost, f.withPost, f.withPost - f.withoutPost, f.blitsPerFrame);
  }
  postFXShutdown();
  device->shutdown();
  return f;
}

}  // namespace

int main() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  if (chdir(VANTREL_RUN_DIR) != 0) {
    std::fprintf(stderr, "postfx_bench: cannot enter %s\n", VANTREL_RUN_DIR);
    return 1;
  }
  logOpen();
  Window window;
  window.create(0, 0, kWidth, kHeight, 2, nullptr);
  const Figures plain = measure(window.getHandle(), 0);
  const Figures msaa = measure(window.getHandle(), 4);
  bench::report("frame_ms_1024x768", plain.withPost, plain.withoutPost, "ms", "reported");
  bench::report("frame_ms_1024x768_msaa", msaa.withPost, plain.withPost, "ms", "reported");
  bench::report("msaa_blits_per_frame", double(msaa.blitsPerFrame), double(plain.blitsPerFrame), "", "= without MSAA");
  return 0;
}
