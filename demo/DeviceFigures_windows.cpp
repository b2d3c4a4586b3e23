// The system's Direct3D 9 keeps no figures of its own (demo/DeviceFigures.h).

#include "demo/DeviceFigures.h"

const char* deviceImplementationName() { return "system"; }

bool deviceFigures(IDirect3DDevice9*, DeviceFigures*) { return false; }
