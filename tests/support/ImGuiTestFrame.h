#pragma once
// One Dear ImGui frame (its demo window and a few widgets), built the same
// way for every back end that draws it: ImGui's OpenGL 3 back end and its
// Direct3D 9 back end on our device (tests/platform/d3d9), and the same
// Direct3D 9 back end on Windows' own Direct3D 9 (tests/windows).

#include <imgui.h>

namespace imgui_test {

constexpr int kW = 640, kH = 480;
constexpr float kClear[3] = {0.25f, 0.30f, 0.35f};

// Three frames, the first of which lays the windows out; `render` gets the
// last one's draw data.
inline void buildFrames(void (*newFrame)(), void (*render)(ImDrawData*)) {
  ImGuiContext* context = ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.DisplaySize = ImVec2(float(kW), float(kH));
  io.DeltaTime = 1.0f / 60.0f;
  for (int frame = 0; frame < 3; ++frame) {
    newFrame();
    ImGui::NewFrame();
    // The demo window places itself on first use; moved once it exists.
    ImGui::SetWindowPos("Dear ImGui Demo", ImVec2(20.0f, 20.0f));
    ImGui::SetWindowSize("Dear ImGui Demo", ImVec2(400.0f, 420.0f));
    ImGui::ShowDemoWindow();
    ImGui::SetNextWindowPos(ImVec2(430.0f, 30.0f));
    ImGui::Begin("Widgets", nullptr, ImGuiWindowFlags_AlwaysAutoResize);
    static float value = 0.4f;
    static bool check = true;
    ImGui::Text("Frame %d", frame);
    ImGui::SliderFloat("slider", &value, 0.0f, 1.0f);
    ImGui::Checkbox("check", &check);
    ImGui::Button("button");
    ImGui::ProgressBar(0.6f, ImVec2(150.0f, 0.0f));
    const float curve[] = {0.1f, 0.7f, 0.3f, 0.9f, 0.5f};
    ImGui::PlotLines("lines", curve, 5);
    ImGui::End();
    ImGui::Render();
    if (frame == 2) render(ImGui::GetDrawData());
  }
  ImGui::DestroyContext(context);
}

}  // namespace imgui_test
