// Direct3DCreate9 and the registry of implementations behind it.

#include "platform/d3d9/d3d9.h"

#include <cstring>
#include <vector>

namespace {

struct Implementation {
  const char* name;
  D3D9Factory factory;
  int priority;
};

// Registration runs from static constructors of other translation units, so
// the table is a function-local static (constructed on first use) of fixed size.
struct Registry {
  Implementation entries[8];
  int count = 0;
  const Implementation* selected = nullptr;
};

Registry& registry() {
  static Registry r;
  return r;
}

const Implementation* find(const char* name) {
  Registry& r = registry();
  for (int i = 0; i < r.count; ++i)
    if (std::strcmp(r.entries[i].name, name) == 0) return &r.entries[i];
  return nullptr;
}

const Implementation* current() {
  Registry& r = registry();
  if (r.selected) return r.selected;
  const Implementation* best = nullptr;
  for (int i = 0; i < r.count; ++i)
    if (r.entries[i].priority > 0 && (!best || r.entries[i].priority > best->priority)) best = &r.entries[i];
  return best;
}

}  // namespace

// The recording implementation lives in this library and registers here, so
// that it needs no static registrar that a static link could drop.
IDirect3D9* recordingDirect3DCreate9(UINT sdkVersion);
bool recordingDeviceStatistics(IDirect3DDevice9* device, D3D9DeviceStatistics* out);

static std::vector<D3D9StatisticsQuery>& statisticsQueries() {
  static std::vector<D3D9StatisticsQuery> queries;
  return queries;
}

static void registerBuiltIns() {
  static bool done = false;
  if (done) return;
  done = true;
  d3d9RegisterImplementation("recording", recordingDirect3DCreate9, 0);
  d3d9RegisterStatistics(recordingDeviceStatistics);
}

void d3d9RegisterStatistics(D3D9StatisticsQuery query) {
  for (D3D9StatisticsQuery q : statisticsQueries())
    if (q == query) return;
  if (query) statisticsQueries().push_back(query);
}

bool d3d9DeviceStatistics(IDirect3DDevice9* device, D3D9DeviceStatistics* out) {
  registerBuiltIns();
  if (!out) return false;
  *out = {};
  if (!device) return false;
  for (D3D9StatisticsQuery q : statisticsQueries())
    if (q(device, out)) return true;
  *out = {};
  return false;
}

void d3d9RegisterImplementation(const char* name, D3D9Factory factory, int priority) {
  if (!name || !factory) return;
  Registry& r = registry();
  for (int i = 0; i < r.count; ++i) {
    if (std::strcmp(r.entries[i].name, name) == 0) {
      bool wasSelected = r.selected == &r.entries[i];
      r.entries[i] = {name, factory, priority};
      if (wasSelected) r.selected = &r.entries[i];
      return;
    }
  }
  if (r.count < (int)(sizeof(r.entries) / sizeof(r.entries[0]))) r.entries[r.count++] = {name, factory, priority};
}

bool d3d9SelectImplementation(const char* name) {
  registerBuiltIns();
  Registry& r = registry();
  if (!name) {
    r.selected = nullptr;
    return true;
  }
  const Implementation* impl = find(name);
  if (!impl) return false;
  r.selected = impl;
  return true;
}

const char* d3d9CurrentImplementation() {
  registerBuiltIns();
  const Implementation* impl = current();
  return impl ? impl->name : nullptr;
}

IDirect3D9* Direct3DCreate9(UINT SDKVersion) {
  registerBuiltIns();
  if (SDKVersion != D3D_SDK_VERSION) return nullptr;
  const Implementation* impl = current();
  return impl ? impl->factory(SDKVersion) : nullptr;
}
