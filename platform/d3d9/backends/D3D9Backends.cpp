// Direct3DCreate9 and the table of implementations behind it: the OpenGL
// device, the default, and the recording device, which tests select by name.
// The table names each implementation's entry points, so linking this
// library links both; nothing registers itself.

#include "platform/d3d9/RecordingDirect3D9.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/gl/GlDirect3D9.h"

#include <cstring>

namespace {

struct Implementation {
  const char* name;
  IDirect3D9* (*create)(UINT sdkVersion);
  bool (*statistics)(IDirect3DDevice9* device, D3D9DeviceStatistics* out);
};

const Implementation implementations[] = {
    {"gl", glDirect3DCreate9, glDeviceStatistics},
    {"recording", recordingDirect3DCreate9, recordingDeviceStatistics},
};

// Direct3DCreate9 uses the first entry unless a test selected another.
const Implementation* selected = &implementations[0];

}  // namespace

bool d3d9SelectImplementation(const char* name) {
  if (!name) {
    selected = &implementations[0];
    return true;
  }
  for (const Implementation& i : implementations)
    if (std::strcmp(i.name, name) == 0) {
      selected = &i;
      return true;
    }
  return false;
}

const char* d3d9CurrentImplementation() { return selected->name; }

bool d3d9DeviceStatistics(IDirect3DDevice9* device, D3D9DeviceStatistics* out) {
  if (!out) return false;
  *out = {};
  if (!device) return false;
  for (const Implementation& i : implementations)
    if (i.statistics(device, out)) return true;
  *out = {};
  return false;
}

IDirect3D9* Direct3DCreate9(UINT SDKVersion) {
  if (SDKVersion != D3D_SDK_VERSION) return nullptr;
  return selected->create(SDKVersion);
}
