#pragma once
// F12 in the demo: the frame just presented, saved as a PNG in the working
// directory under a name of its own (vantrel-YYYYMMDD-HHMMSS-NNN.png, the
// first NNN not taken, so no file is ever overwritten). Success and failure
// each write one log line; a failure never stops the demo.

#include <string>

#include "platform/d3d9/d3d9.h"

// The file written, or an empty string when nothing could be saved.
std::string saveScreenshot(IDirect3DDevice9* device);
