// The stand-ins' figures (demo/DeviceFigures.h).

#include "demo/DeviceFigures.h"

const char* deviceImplementationName() { return d3d9CurrentImplementation(); }

bool deviceFigures(IDirect3DDevice9* device, DeviceFigures* out) {
  D3D9DeviceStatistics s;
  if (!d3d9DeviceStatistics(device, &s)) return false;
  *out = {s.backendCallsSkipped, s.programsLinked, s.bufferBytesUploaded};
  return true;
}
