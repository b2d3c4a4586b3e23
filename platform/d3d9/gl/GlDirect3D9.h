#pragma once
// The OpenGL 3.3 core implementation of Direct3D 9 (library vantrel_d3d9_gl),
// the default entry of the table behind Direct3DCreate9
// (platform/d3d9/backends).

#include "platform/d3d9/d3d9.h"

IDirect3D9* glDirect3DCreate9(UINT sdkVersion);
// The figures of d3d9DeviceStatistics for an OpenGL device; false for others.
bool glDeviceStatistics(IDirect3DDevice9* device, D3D9DeviceStatistics* out);

// Counters of a device, for tests of its caching: GL objects made and GL
// state calls issued (every glEnable, glBlendFunc, glBindTexture, ...
// that the state cache let through).
struct GlDeviceStats {
  unsigned programsLinked;
  unsigned vertexArraysCreated;
  unsigned framebuffersCreated;
  unsigned stateCalls;
  unsigned uniformUploads;
  unsigned draws;
  unsigned long long stateCallsSkipped;    // state calls the cache found already made
  unsigned long long bufferBytesUploaded;  // vertex and index bytes sent to GL buffers
  unsigned long long blits;                // framebuffer blits: copies, resolves, Present
};

// False when `device` is not an OpenGL device.
bool glDeviceStats(IDirect3DDevice9* device, GlDeviceStats* stats);
// True when the device renders without a window (EGL surfaceless).
bool glDeviceIsSurfaceless(IDirect3DDevice9* device);
