// One Dear ImGui frame (its demo window and a few widgets) drawn twice: by
// ImGui's own OpenGL 3 back end straight on an OpenGL framebuffer, and by its
// Direct3D 9 back end through the OpenGL device. Direct3D 9 puts pixel
// centres on integer coordinates and that back end offsets its projection by
// half a pixel for it, so the two pictures agree only where the device keeps
// the convention for projected geometry too. Both pictures and their
// difference are kept in imgui-frames/.

#include <epoxy/gl.h>
#include <imgui.h>
#include <imgui_impl_dx9.h>
#include <imgui_impl_opengl3.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "GlDeviceSupport.h"

namespace {

using namespace gltest;

constexpr int kW = 640, kH = 480;
constexpr float kClear[3] = {0.25f, 0.30f, 0.35f};

// The same frames for both back ends: the first lays the windows out.
void buildFrames(void (*newFrame)(), void (*render)(ImDrawData*)) {
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

class ImGuiFrameGlTest : public GlDeviceTest {
protected:
  void SetUp() override { ASSERT_TRUE(open(D3DMULTISAMPLE_NONE, kW, kH)); }
};

TEST_F(ImGuiFrameGlTest, TheDirect3D9BackEndDrawsWhatTheOpenGlBackEndDraws) {
  static IDirect3DDevice9* device;
  device = dev;
  std::vector<uint8_t> viaDevice(size_t(kW) * kH * 3), direct(size_t(kW) * kH * 3);

  // (b) through the device.
  buildFrames(
      [] {
        if (!ImGui::GetIO().BackendRendererUserData) ImGui_ImplDX9_Init(device);
        ImGui_ImplDX9_NewFrame();
      },
      [](ImDrawData* data) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET,
                      D3DCOLOR_COLORVALUE(kClear[0], kClear[1], kClear[2], 1.0f), 1.0f, 0);
        device->BeginScene();
        ImGui_ImplDX9_RenderDrawData(data);
        device->EndScene();
        ImGui_ImplDX9_Shutdown();
      });
  SurfacePixels back = readSurface(dev);
  ASSERT_EQ(back.width, kW);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const uint32_t c = back.word(x, y);
      uint8_t* p = &viaDevice[(size_t(y) * kW + x) * 3];
      p[0] = uint8_t(red(c)), p[1] = uint8_t(green(c)), p[2] = uint8_t(blue(c));
    }

  // (a) ImGui's OpenGL 3 back end into a framebuffer of our own on the
  // device's context; the device is not used after this.
  GLuint fbo = 0, colour = 0;
  glGenRenderbuffers(1, &colour);
  glBindRenderbuffer(GL_RENDERBUFFER, colour);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kW, kH);
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
  ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
  buildFrames(
      [] {
        if (!ImGui::GetIO().BackendRendererUserData) ImGui_ImplOpenGL3_Init("#version 330 core");
        ImGui_ImplOpenGL3_NewFrame();
      },
      [](ImDrawData* data) {
        glViewport(0, 0, kW, kH);
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_FRAMEBUFFER_SRGB);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(kClear[0], kClear[1], kClear[2], 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL3_RenderDrawData(data);
        ImGui_ImplOpenGL3_Shutdown();
      });
  std::vector<uint8_t> rgba(size_t(kW) * kH * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  for (int y = 0; y < kH; ++y)  // GL's row 0 is the bottom one
    for (int x = 0; x < kW; ++x)
      std::copy_n(&rgba[(size_t(kH - 1 - y) * kW + x) * 4], 3, &direct[(size_t(y) * kW + x) * 3]);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &fbo);
  glDeleteRenderbuffers(1, &colour);

  // Per pixel: the largest channel difference; per 16 x 16 block: the mean.
  std::vector<uint8_t> difference(direct.size());
  size_t close = 0;
  double worstMean = 0.0;
  int worstX = 0, worstY = 0;
  for (size_t i = 0; i < direct.size(); i += 3) {
    int most = 0;
    for (int c = 0; c < 3; ++c) most = std::max(most, std::abs(int(direct[i + c]) - int(viaDevice[i + c])));
    close += most <= 2;
    difference[i] = difference[i + 1] = difference[i + 2] = uint8_t(std::min(255, most * 8));
  }
  for (int by = 0; by < kH; by += 16)
    for (int bx = 0; bx < kW; bx += 16) {
      double sum = 0.0;
      for (int y = by; y < by + 16; ++y)
        for (int x = bx; x < bx + 16; ++x)
          for (int c = 0; c < 3; ++c) {
            const size_t i = (size_t(y) * kW + x) * 3 + c;
            sum += std::abs(int(direct[i]) - int(viaDevice[i]));
          }
      if (sum / (16 * 16 * 3) > worstMean) worstMean = sum / (16 * 16 * 3), worstX = bx, worstY = by;
    }
  std::filesystem::create_directories("imgui-frames");
  stbi_write_png("imgui-frames/opengl3.png", kW, kH, 3, direct.data(), kW * 3);
  stbi_write_png("imgui-frames/dx9-on-gl.png", kW, kH, 3, viaDevice.data(), kW * 3);
  stbi_write_png("imgui-frames/difference.png", kW, kH, 3, difference.data(), kW * 3);
  const double share = double(close) / double(kW * kH);
  std::printf("within 2/255: %.4f of pixels; worst 16x16 block at (%d, %d), mean difference %.2f\n", share, worstX,
              worstY, worstMean);
  // What an independent Direct3D 9 draws of the same frame: the same picture
  // up to rounding.
  EXPECT_GE(share, 0.995);
  EXPECT_LE(worstMean, 4.0) << "worst block at (" << worstX << ", " << worstY << ")";
}

}  // namespace
