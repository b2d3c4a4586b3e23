#pragma once
// Values shared by start-up and the render device: a display mode, the
// device settings the launcher produces, and the buffer flags for device
// initialisation and clears.

#include <cstdint>

struct DisplayMode {
  int32_t width;
  int32_t height;
  int32_t bitsPerPixel;
  int32_t refreshRate;  // Hz
};

struct DeviceSettings {
  bool fullscreen;
  bool vsync;
  int32_t multiSampleType;  // a D3DMULTISAMPLE_TYPE value: 0 or 4 from the launcher
  int32_t anisotropy;       // 1 means off
  float aspectRatio;
};

#define BUFFER_COLOR 1
#define BUFFER_DEPTH 2
#define BUFFER_STENCIL 4
