#pragma once
// The demo against the recording device on SDL's dummy driver: the render
// device and the window stand-in's state fresh before and after each test.

#include <cstdlib>

#include "platform/win32/Win32Sdl.h"
#include "support/SceneTestSupport.h"

class DemoFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    recordingReset();
    recordingSelect();
    resetRenderDevice();
    resetWindowState();
  }
  void TearDown() override {
    resetRenderDevice();
    resetWindowState();
  }
};
