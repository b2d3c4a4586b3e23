// The recording implementation's process-wide parts: configuration, log,
// injected failures and the registry of live objects.

#include "platform/d3d9/RecordingDirect3D9.h"

#include <cstdio>
#include <cstring>
#include <set>

// --- configuration --------------------------------------------------------------
RecordingConfig RecordingConfig::defaults() {
  RecordingConfig c;
  c.adapterMode = {1920, 1080, 60, D3DFMT_X8R8G8B8};
  static const UINT sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 720}, {1280, 1024}, {1920, 1080}};
  for (D3DFORMAT f : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
    std::vector<D3DDISPLAYMODE>& list = c.modes[f];
    for (const auto& s : sizes) list.push_back({s[0], s[1], 60, f});
  }
  c.depthFormats = {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D32};
  c.textureFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5,
                      D3DFMT_A4R4G4B4, D3DFMT_A8, D3DFMT_L8, D3DFMT_A8L8, D3DFMT_DXT1, D3DFMT_DXT2,
                      D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5, D3DFMT_R32F, D3DFMT_G16R16F,
                      D3DFMT_A16B16G16R16F, D3DFMT_A32B32G32R32F, D3DFMT_A2B10G10R10, D3DFMT_A8B8G8R8,
                      D3DFMT_X8B8G8R8, D3DFMT_A16B16G16R16};
  c.renderTargetFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_R32F,
                           D3DFMT_G16R16F, D3DFMT_A16B16G16R16F, D3DFMT_A32B32G32R32F, D3DFMT_A2B10G10R10};
  c.surfaceFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5};
  c.backBufferFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5};

  c.caps = d3d9Caps();
  return c;
}

RecordingConfig& recordingConfig() {
  static RecordingConfig config = RecordingConfig::defaults();
  return config;
}

// --- log ------------------------------------------------------------------------
RecordingLog& recordingLog() {
  static RecordingLog log;
  return log;
}

std::vector<std::string> RecordingLog::texts(size_t from) const {
  std::vector<std::string> out;
  for (size_t i = from; i < entries.size(); ++i) out.push_back(entries[i].text);
  return out;
}

std::vector<std::string> RecordingLog::textsOf(const char* method, size_t from) const {
  std::vector<std::string> out;
  for (size_t i = from; i < entries.size(); ++i)
    if (entries[i].method == method) out.push_back(entries[i].text);
  return out;
}

size_t RecordingLog::count(const char* method, size_t from) const {
  size_t n = 0;
  for (size_t i = from; i < entries.size(); ++i)
    if (entries[i].method == method) ++n;
  return n;
}

long RecordingLog::indexOf(const std::string& text, size_t from) const {
  for (size_t i = from; i < entries.size(); ++i)
    if (entries[i].text == text) return (long)i;
  return -1;
}

std::string RecordingLog::dump(size_t from) const {
  std::string out;
  for (size_t i = from; i < entries.size(); ++i) {
    out += entries[i].text;
    if (entries[i].result != S_OK) {
      char buf[32];
      std::snprintf(buf, sizeof buf, " -> 0x%08x", (unsigned)entries[i].result);
      out += buf;
    }
    out += '\n';
  }
  return out;
}

// --- failures -------------------------------------------------------------------
namespace {
struct FailRule {
  std::string call;
  HRESULT result;
  int times;
  int skip;
};
std::vector<FailRule>& failRules() {
  static std::vector<FailRule> rules;
  return rules;
}

struct ObjectRegistry {
  std::set<RecordingObject*> live;
  int nextId = 1;
};
ObjectRegistry& objects() {
  static ObjectRegistry r;
  return r;
}
}  // namespace

void recordingFailCall(const char* call, HRESULT result, int times, int skip) {
  if (!call) return;
  failRules().push_back({call, result, times, skip});
}

void recordingClearFailures() { failRules().clear(); }

// Shared with the Direct3D object for "Direct3DCreate9" and with every object.
HRESULT recordingInjectedFailure(const char* kind, const char* method) {
  for (FailRule& rule : failRules()) {
    bool match = rule.call == method || (kind && rule.call == std::string(kind) + "." + method);
    if (!match || rule.times == 0) continue;
    if (rule.skip > 0) {
      --rule.skip;
      continue;
    }
    if (rule.times > 0) --rule.times;
    return rule.result;
  }
  return S_OK;
}

void recordingSelect() { d3d9SelectImplementation("recording"); }

void recordingReset() {
  recordingConfig() = RecordingConfig::defaults();
  recordingLog().clear();
  recordingLog().setEnabled(true);
  recordingClearFailures();
  objects().nextId = 1;
}

int recordingLiveObjects() { return (int)objects().live.size(); }

std::string recordingLiveObjectList() {
  std::string out;
  for (RecordingObject* o : objects().live) {
    char buf[32];
    std::snprintf(buf, sizeof buf, " (refs %u)\n", (unsigned)o->refCount());
    out += o->name() + buf;
  }
  return out;
}

// --- objects --------------------------------------------------------------------
RecordingObject::RecordingObject(const char* kind) : objectKind(kind), objectId(objects().nextId++) {
  objectName = std::string(kind) + "#" + std::to_string(objectId);
  objects().live.insert(this);
}

RecordingObject::~RecordingObject() { objects().live.erase(this); }

ULONG RecordingObject::releaseImpl() {
  if (refs == 0) return 0;  // over-release: nothing left to free
  ULONG left = --refs;
  if (left == 0) lastReleased();
  return left;
}

HRESULT RecordingObject::logCall(const char* method, const std::string& args, HRESULT result) {
  if (!recordingLog().isEnabled()) return result;
  RecordingCall call;
  call.object = objectName;
  call.method = method;
  bool isDeviceOrRoot = std::strcmp(objectKind, "Device") == 0 || std::strcmp(objectKind, "Direct3D9") == 0;
  call.text = (isDeviceOrRoot ? std::string() : objectName + ".") + method + "(" + args + ")";
  call.result = result;
  recordingLog().append(std::move(call));
  return result;
}

HRESULT RecordingObject::injected(const char* method) { return recordingInjectedFailure(objectKind, method); }

RecordingObject* recordingObject(IUnknown* object) {
  if (!object) return nullptr;
  RecordingObject* o = dynamic_cast<RecordingObject*>(object);
  if (o && objects().live.count(o) == 0) return nullptr;
  return o;
}

std::string recordingName(IUnknown* object) {
  if (!object) return "null";
  RecordingObject* o = recordingObject(object);
  return o ? o->name() : "foreign";
}
