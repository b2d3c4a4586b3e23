#pragma once
// The OpenGL 3.3 core implementation of Direct3D 9 (library vantrel_d3d9_gl).
//
// Linking: the library registers itself as the implementation "gl" with
// priority 100 from a static registrar in the object file that also defines
// d3d9GlLink. Linking vantrel_d3d9_gl through CMake is all a program needs:
// the library's link interface passes --undefined=d3d9GlLink to the linker,
// which pulls that object file in, so Direct3DCreate9 then returns the
// OpenGL implementation. A program linked by other means calls d3d9GlLink()
// once (it does nothing but reference the object file).

#include "platform/d3d9/d3d9.h"

extern "C" void d3d9GlLink();

// The factory behind the "gl" registration (for tests that want it
// regardless of the current selection).
IDirect3D9* glDirect3DCreate9(UINT sdkVersion);

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
};

// False when `device` is not an OpenGL device.
bool glDeviceStats(IDirect3DDevice9* device, GlDeviceStats* stats);
// True when the device renders without a window (EGL surfaceless).
bool glDeviceIsSurfaceless(IDirect3DDevice9* device);
