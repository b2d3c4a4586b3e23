// The statistics overlay (demo/Overlay.h).

#include "demo/Overlay.h"

#include "demo/DeviceFigures.h"
#include "engine/render/RenderDeviceDX9.h"

#include <imgui.h>
#include <imgui_impl_dx9.h>

#include <algorithm>
#include <cstdio>

namespace {

// The context the caller had (the dialogs have their own) comes back after.
class ContextScope {
public:
  explicit ContextScope(ImGuiContext* context) : previous(ImGui::GetCurrentContext()) {
    ImGui::SetCurrentContext(context);
  }
  ~ContextScope() { ImGui::SetCurrentContext(previous); }

private:
  ImGuiContext* previous;
};

const char* formatName(D3DFORMAT format) {
  switch (format) {
  case D3DFMT_A8R8G8B8: return "A8R8G8B8";
  case D3DFMT_X8R8G8B8: return "X8R8G8B8";
  case D3DFMT_R5G6B5: return "R5G6B5";
  default: return "other";
  }
}

}  // namespace

// The graph's top: the next step of 1, 2, 5 x 10^n ms above the slowest
// frame shown, so that 16 ms frames and 400 ms frames both fill it.
float Overlay::graphScale(const float* times, int count) {
  float slowest = 0.0f;
  for (int i = 0; i < count; ++i) slowest = std::max(slowest, times[i]);
  float decade = 1.0f;
  while (decade * 10.0f <= slowest && decade < 1e6f) decade *= 10.0f;
  for (float step : {1.0f, 2.0f, 5.0f, 10.0f})
    if (step * decade > slowest) return step * decade;
  return 10.0f * decade;
}

Overlay::~Overlay() { shutdown(); }

void Overlay::shutdown() {
  if (!context) return;
  {
    ContextScope scope(context);
    ImGui_ImplDX9_Shutdown();
  }
  ImGui::DestroyContext(context);
  context = nullptr;
}

void Overlay::draw(RenderDeviceDX9& device, float frameSeconds) {
  // The first frame is no frame time: it spans the start (nothing in the
  // demo, the seek to the start time in the capture tool).
  if (!startSeen) {
    startSeen = true;
  } else {
    frameTimes[frameIndex] = frameSeconds * 1000.0f;
    frameIndex = (frameIndex + 1) % OVERLAY_HISTORY;
    if (framesSeen < OVERLAY_HISTORY) ++framesSeen;
  }
  if (!visible || !device.device) return;
  const bool created = !context;
  if (created) {
    ImGuiContext* previous = ImGui::GetCurrentContext();
    context = ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;  // no imgui.ini next to the demo
    ImGui_ImplDX9_Init(device.device);
    ImGui::SetCurrentContext(previous);
  }
  ContextScope scope(context);
  ImGuiIO& io = ImGui::GetIO();
  io.DisplaySize = ImVec2(float(device.width), float(device.height));
  io.DeltaTime = frameSeconds > 0.0f ? frameSeconds : 1.0f / 60.0f;
  ImGui_ImplDX9_NewFrame();
  if (created) {
    // A window that sizes itself is measured on its first frame and shown
    // from its second: measure it now, so that the first frame shown with
    // the overlay has it.
    ImGui::NewFrame();
    build(device);
    ImGui::EndFrame();
  }
  ImGui::NewFrame();
  build(device);
  ImGui::Render();
  // Draws belong in a scene; the engine's own has ended by now.
  const bool ownScene = !device.inScene;
  if (ownScene) device.device->BeginScene();
  ImGui_ImplDX9_RenderDrawData(ImGui::GetDrawData());
  if (ownScene) device.device->EndScene();
}

void Overlay::build(RenderDeviceDX9& device) {
  ImGui::SetNextWindowPos(ImVec2(8.0f, 8.0f));
  ImGui::SetNextWindowBgAlpha(0.75f);
  ImGui::Begin("Statistics", nullptr,
               ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings |
                   ImGuiWindowFlags_NoFocusOnAppearing | ImGuiWindowFlags_NoNav | ImGuiWindowFlags_NoInputs);
  // Frame times in order, oldest first.
  float ordered[OVERLAY_HISTORY];
  float sum = 0.0f;
  for (int i = 0; i < framesSeen; ++i) {
    ordered[i] = frameTimes[(frameIndex - framesSeen + i + OVERLAY_HISTORY) % OVERLAY_HISTORY];
    sum += ordered[i];
  }
  const float mean = framesSeen ? sum / float(framesSeen) : 0.0f;
  ImGui::Text("%.1f fps  %.2f ms", mean > 0.0f ? 1000.0f / mean : 0.0f, mean);
  const float top = graphScale(ordered, framesSeen);
  char scale[32];
  std::snprintf(scale, sizeof scale, "0-%.0f ms", top);
  ImGui::PlotLines("##frames", ordered, framesSeen, 0, scale, 0.0f, top, ImVec2(240.0f, 48.0f));

  const FrameCounts f = device.frameTotals();
  const CacheCounts states = device.frameCacheTotals(CACHED_RENDER_STATE);
  const CacheCounts samplers = device.frameCacheTotals(CACHED_SAMPLER_FLAGS);
  ImGui::Separator();
  ImGui::Text("draws %d  triangles %d", f.draws, f.triangles);
  ImGui::Text("materials %d  targets %d", f.materialChanges, f.renderTargetSwitches);
  ImGui::Text("render states %d sent, %d cached", states.sent, states.skipped);
  ImGui::Text("sampler states %d sent, %d cached", samplers.sent, samplers.skipped);
  ImGui::Text("textures %d  shaders %d", device.frameCacheTotals(CACHED_TEXTURE).sent,
              device.frameCacheTotals(CACHED_SHADER).sent);

  DeviceFigures s;
  if (deviceFigures(device.device, &s)) {
    ImGui::Separator();
    ImGui::Text("%s: %llu calls cached", deviceImplementationName(), s.backendCallsSkipped - lastSkipped);
    ImGui::Text("programs %llu  uploaded %llu bytes", s.programsLinked, s.bufferBytesUploaded - lastBytes);
    lastSkipped = s.backendCallsSkipped;
    lastBytes = s.bufferBytesUploaded;
  }
  ImGui::Separator();
  const D3DPRESENT_PARAMETERS& pp = device.presentParameters;
  ImGui::Text("%ux%u %s %s", pp.BackBufferWidth, pp.BackBufferHeight, formatName(pp.BackBufferFormat),
              device.fullscreen ? "fullscreen" : "windowed");
  ImGui::Text("aspect %.3f  MSAA %dx", device.settings.aspectRatio, int(pp.MultiSampleType));
  ImGui::Text("adapter: Direct3D 9 (%s)", deviceImplementationName());
  ImGui::End();
}
