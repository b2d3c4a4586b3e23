#pragma once
// A key track of 3-component values (a mesh node's position or scale),
// sampled by clamped linear interpolation. Times are ticks as the scene file
// gives them.

#include <cstddef>
#include <cstdint>

#include "engine/Array.h"
#include "platform/d3dx/d3dx9math.h"

struct SGKeyV3 {
  D3DXVECTOR3 value;
  int32_t time;
};

class SGControllerV3 {
 public:
  SGControllerV3() = default;
  SGControllerV3(const SGControllerV3&) = delete;
  SGControllerV3& operator=(const SGControllerV3&) = delete;
  ~SGControllerV3();

  // A new key, zeroed, appended at the end; the caller fills it in.
  SGKeyV3* addKey();
  uint32_t keyCount() const { return keys.count; }
  const SGKeyV3* keyAt(uint32_t index) const { return keys.items[index]; }

  // Orders the keys by time, ascending. Keys with equal times keep the order
  // in which they were added.
  void sortKeys();

  // (0, 0, 0) without keys; the first or last value outside the track;
  // linear between the two keys around the time otherwise.
  D3DXVECTOR3 sample(int32_t time) const;

  static void* operator new(size_t size) noexcept;
  static void operator delete(void* pointer) noexcept;

 private:
  Array<SGKeyV3*> keys;
};
