// frame_ms_1024x768: one 1024 x 768 frame on llvmpipe with both
// post-processing chains (chain 2, then chain 1) against the same frame
// without them, measured in the same run with the two kinds interleaved.
//
// The frame is a stand-in scene drawn through the render device: a full-screen
// gradient whose alpha drives the depth blur, and bright blocks that bloom.
// Each frame ends with a one-pixel read-back so that the GPU work is finished
// inside the timed region.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "BenchReport.h"
#include "demo/Log.h"
#include "engine/Window.h"
#include "engine/postfx/PostFX.h"
#include "engine/render/RenderDeviceDX9.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

const char* const sceneVS =
    "struct VsIn {\tfloat4 position: POSITION;\tfloat2 texCoord: TEXCOORD;};VsIn main(VsIn inp){\nreturn inp;}\n";
// Gradient with alpha rising left to right, and a grid of bright blocks.
const char* const scenePS =
    "float4 main(float2 uv : TEXCOORD0) : COLOR {\n"
    "\tfloat2 cell = frac(uv * 8.0f);\n"
    "\tfloat bright = (cell.x < 0.2f && cell.y < 0.2f) ? 1.0f : 0.0f;\n"
    "\tfloat3 base = float3(uv.x * 0.4f, uv.y * 0.3f, 0.25f);\n"
    "\treturn float4(lerp(base, float3(1.0f, 0.95f, 0.8f), bright), uv.x);\n"
    "}\n";

struct Frame {
  RenderDeviceDX9* device;
  Material* scene;
  PostChain* chain1;
  PostChain* chain2;
  int probe;                  // 1 x 1 render target the frame is shrunk into
  IDirect3DSurface9* readBack;  // its system-memory copy

  void draw(bool post) {
    device->clear(BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL, 0xFF000020, 0);
    device->beginScene();
    device->setMaterial(scene);
    const float w = float(kWidth), h = float(kHeight);
    const float quad[4][6] = {{-0.5f, h - 0.5f, 0, 1, 0, 1},
                              {-0.5f, -0.5f, 0, 1, 0, 0},
                              {w - 0.5f, h - 0.5f, 0, 1, 1, 1},
                              {w - 0.5f, -0.5f, 0, 1, 1, 0}};
    device->SetVertexDecl(VERTEXFORMAT_SCREEN);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 24);
    device->endScene();
    if (post) {
      chain2->apply();
      chain1->apply();
    }
    device->getBackbuffer(probe);
    device->device->GetRenderTargetData(device->renderTargets[probe].surface, readBack);
    device->present();
  }
};

}  // namespace

int main() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  logOpen();
  Window window;
  window.create(0, 0, kWidth, kHeight, 2, nullptr);
  RenderDeviceDX9* device = getRenderDevice();
  device->init(window.getHandle(), DisplayMode{kWidth, kHeight, 32, 60},
               DeviceSettings{false, false, 0, 1, float(kWidth) / float(kHeight)}, BUFFER_COLOR | BUFFER_DEPTH);
  postFXInit(float(kWidth), float(kHeight));

  Material* scene = TRACKED_NEW(Material);
  scene->shader = device->createShader(sceneVS, scenePS);
  scene->renderFlags = RF_DEPTH_OFF | RF_CULL_NONE | RF_FILL_SOLID | RF_BLEND_OFF;
  device->compileRenderStates(scene);

  Frame frame{device, scene, buildChain1(), buildChain2(), device->createRenderTarget(TEXFMT_A8R8G8B8, 1, 1, 0), nullptr};
  if (device->device->CreateOffscreenPlainSurface(1, 1, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &frame.readBack, nullptr) !=
      D3D_OK) {
    std::fprintf(stderr, "postfx_bench: no read-back surface\n");
    return 1;
  }

  // Warm up both kinds (program links, first-use allocations).
  for (int i = 0; i < 3; ++i) {
    frame.draw(false);
    frame.draw(true);
  }
  constexpr int kFramesPerRun = 10;
  constexpr int kRuns = 9;
  double plain[kRuns], post[kRuns];
  for (int run = 0; run < kRuns; ++run) {
    plain[run] = bench::medianMs(kFramesPerRun, [&] { frame.draw(false); });
    post[run] = bench::medianMs(kFramesPerRun, [&] { frame.draw(true); });
  }
  auto median = [](double* v, int n) {
    for (int i = 1; i < n; ++i)
      for (int j = i; j > 0 && v[j - 1] > v[j]; --j) std::swap(v[j - 1], v[j]);
    return v[n / 2];
  };
  const double withoutPost = median(plain, kRuns);
  const double withPost = median(post, kRuns);
  std::printf("frame without post-processing %.3f ms, with both chains %.3f ms, chains %.3f ms\n", withoutPost, withPost,
              withPost - withoutPost);
  bench::report("frame_ms_1024x768", withPost, withoutPost, "ms", "reported");

  frame.readBack->Release();
  frame.chain1->release();
  frame.chain2->release();
  TRACKED_DELETE(frame.chain1);
  TRACKED_DELETE(frame.chain2);
  postFXShutdown();
  device->shutdown();
  releaseRef(scene);
  return 0;
}
