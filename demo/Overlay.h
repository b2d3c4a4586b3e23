#pragma once
// The statistics overlay: frame rate, a frame-time graph, what the render
// device and the Direct3D 9 implementation did this frame, and the display
// settings, drawn with Dear ImGui (its own context, its Direct3D 9 back end)
// over the finished frame. Drawing leaves every device state the engine set
// as it was: the back end saves and restores them with a state block.

#include <cstdint>

struct ImGuiContext;
class RenderDeviceDX9;

#define OVERLAY_HISTORY 240

class Overlay {
public:
  Overlay() = default;
  ~Overlay();
  Overlay(const Overlay&) = delete;
  Overlay& operator=(const Overlay&) = delete;

  bool visible = false;
  void toggle() { visible = !visible; }
  // Draws over the current render target (between present and the frame's
  // last pass), with `frameSeconds` the time this frame took; nothing while
  // hidden. The ImGui context and device objects are made on first use.
  void draw(RenderDeviceDX9& device, float frameSeconds);
  // Releases the device objects; before the device goes.
  void shutdown();

  // The frame-time graph's top in ms for the frames shown.
  static float graphScale(const float* times, int count);

private:
  void build(RenderDeviceDX9& device);
  ImGuiContext* context = nullptr;
  float frameTimes[OVERLAY_HISTORY] = {};
  int frameIndex = 0;
  int framesSeen = 0;
  bool startSeen = false;
  unsigned long long lastSkipped = 0;
  unsigned long long lastBytes = 0;
};
