#pragma once
// The render device on the OpenGL implementation as the gl suites start it:
// SDL's dummy video driver (no display, so the device draws offscreen on
// Mesa's llvmpipe), a window of the engine's own, a fresh log in a scratch
// folder and a file manager rooted there. The test links vantrel_d3d9_gl,
// which makes the implementation selectable.

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/Log.h"
#include "engine/Window.h"
#include "engine/files/FileManager.h"
#include "engine/render/RenderDeviceDX9.h"
#include "support/TestDir.h"

class GlRenderDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    logOpen();
    resetRenderDevice();
    ASSERT_TRUE(d3d9SelectImplementation("gl"));
  }
  void TearDown() override {
    resetRenderDevice();
    d3d9SelectImplementation(nullptr);
  }

  // The device on a width x height window with colour, depth and stencil
  // buffers; startUp runs as init's start-up step (compileBuiltInShaders).
  void start(int width, int height, void (*startUp)() = nullptr) {
    window.create(0, 0, width, height, 2, nullptr);
    ASSERT_NE(window.getHandle(), nullptr);
    files.setRoot("");
    device = getRenderDevice();
    device->fileManager = &files;
    device->init(window.getHandle(), DisplayMode{width, height, 32, 60},
                 DeviceSettings{false, false, 0, 1, float(width) / float(height)},
                 BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL, startUp);
    ASSERT_NE(device->device, nullptr);
  }

  TestDir dir{"gl"};
  Window window;
  FileManagerOS files;
  RenderDeviceDX9* device = nullptr;
};
