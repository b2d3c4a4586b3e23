#pragma once
// Helpers shared by the recording implementation's sources: argument text for
// the log, and the failure lookup.

#include "platform/d3d9/RecordingDirect3D9.h"

#include <cstdio>
#include <string>

HRESULT recordingInjectedFailure(const char* kind, const char* method);
void recordingDeviceDestroyed(RecordingDevice* device);
void recordingDeviceCreated(RecordingDevice* device);

namespace rec {

// With the log switched off (long benchmark runs) no argument text is built.
inline bool logging() { return recordingLog().isEnabled(); }

inline std::string u(unsigned long long v) { return logging() ? std::to_string(v) : std::string(); }
inline std::string i(long long v) { return logging() ? std::to_string(v) : std::string(); }
inline std::string x(unsigned long long v) {
  if (!logging()) return std::string();
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llx", v);
  return buf;
}
inline std::string f(double v) {
  if (!logging()) return std::string();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}
inline std::string p(const void* ptr) { return ptr ? "ptr" : "null"; }
inline std::string obj(IUnknown* o) { return logging() ? recordingName(o) : std::string(); }
inline std::string rect(const RECT* r) {
  if (!r) return "null";
  return std::string("{") + i(r->left) + ", " + i(r->top) + ", " + i(r->right) + ", " + i(r->bottom) + "}";
}
inline std::string floats4(const float* data, UINT count) {
  if (!logging()) return std::string();
  if (!data) return "null";
  std::string s = "[";
  for (UINT r = 0; r < count; ++r) {
    if (r) s += "; ";
    for (int c = 0; c < 4; ++c) {
      if (c) s += ", ";
      s += f(data[r * 4 + c]);
    }
  }
  return s + "]";
}

// Joins arguments with ", ".
inline std::string args() { return std::string(); }
template <typename... Rest>
std::string args(const std::string& first, const Rest&... rest) {
  if (!logging()) return std::string();
  std::string s = first;
  ((s += ", ", s += rest), ...);
  return s;
}

}  // namespace rec
