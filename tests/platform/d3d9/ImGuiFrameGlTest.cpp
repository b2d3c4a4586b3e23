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
#include "support/FrameDifference.h"
#include "support/ImGuiTestFrame.h"

namespace {

using namespace gltest;

using namespace imgui_test;

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
  const std::vector<uint32_t> back = readSurface(dev).words();
  ASSERT_EQ(back.size(), size_t(kW) * kH);
  for (size_t i = 0; i < back.size(); ++i)
    for (int c = 0; c < 3; ++c) viaDevice[3 * i + c] = uint8_t(back[i] >> (16 - 8 * c));  // R, G, B

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

  const FrameDifference d = frameDifference(direct, viaDevice, kW, kH);
  std::filesystem::create_directories("imgui-frames");
  stbi_write_png("imgui-frames/opengl3.png", kW, kH, 3, direct.data(), kW * 3);
  stbi_write_png("imgui-frames/dx9-on-gl.png", kW, kH, 3, viaDevice.data(), kW * 3);
  stbi_write_png("imgui-frames/difference.png", kW, kH, 3, d.map.data(), kW * 3);
  std::printf("within 2/255: %.4f of pixels; worst 16x16 block at (%d, %d), mean difference %.2f\n", d.share,
              d.worstX, d.worstY, d.worstMean);
  EXPECT_TRUE(d.close()) << "within 2/255: " << d.share << "; worst block at (" << d.worstX << ", " << d.worstY
                         << "), mean " << d.worstMean;
}

}  // namespace
