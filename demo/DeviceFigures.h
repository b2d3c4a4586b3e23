#pragma once
// What the Direct3D 9 implementation underneath can tell the overlay beyond
// the engine's own counters. Our stand-ins count what reached the API below
// them; the system's Direct3D 9 tells nothing of the kind.

#include "platform/d3d9/d3d9.h"

struct DeviceFigures {
  unsigned long long backendCallsSkipped;  // calls its state cache found already made
  unsigned long long programsLinked;
  unsigned long long bufferBytesUploaded;
};

// The implementation's name ("gl", "recording"; "system" on Windows).
const char* deviceImplementationName();
// False where the implementation keeps no such figures.
bool deviceFigures(IDirect3DDevice9* device, DeviceFigures* out);
