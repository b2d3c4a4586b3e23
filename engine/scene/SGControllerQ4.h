#pragma once
// A key track of rotations (a mesh node's rotation or scale axis). Keys are
// read as axis and angle and turned once, by prepareRotationKeys, into
// cumulative quaternions; sampling loops over the track's span and
// interpolates spherically. Times are ticks as the scene file gives them.

#include <cstddef>
#include <cstdint>

#include "engine/Array.h"
#include "platform/d3dx/d3dx9math.h"

struct SGKeyQ4 {
  D3DXQUATERNION rotation;  // valid after prepareRotationKeys
  D3DXVECTOR3 axis;
  float angle;              // radians
  int32_t turns;            // whole turns taken off the angle
  int32_t time;
};

class SGControllerQ4 {
 public:
  SGControllerQ4() = default;
  SGControllerQ4(const SGControllerQ4&) = delete;
  SGControllerQ4& operator=(const SGControllerQ4&) = delete;
  ~SGControllerQ4();

  // A new key, zeroed, appended at the end; the caller fills it in.
  SGKeyQ4* addKey();
  uint32_t keyCount() const { return keys.count; }
  const SGKeyQ4* keyAt(uint32_t index) const { return keys.items[index]; }

  // Makes every angle non-negative, reduces every angle after the first to
  // one turn, chains the keys into cumulative rotations (each key's rotation
  // follows the previous one) and writes each key to the log. Keys stay in
  // the order they were added. A track without keys is left as it is.
  void prepareRotationKeys();

  // (1, 0, 0, 0) without keys, the one rotation of a single key; otherwise
  // the time is wrapped into the track's span and the two keys around it
  // are interpolated spherically. A track whose first and last keys share
  // one time has no span to wrap into: before or at that time it gives the
  // first rotation, after it the last.
  D3DXQUATERNION sample(int32_t time) const;

  static void* operator new(size_t size) noexcept;
  static void operator delete(void* pointer) noexcept;

 private:
  Array<SGKeyQ4*> keys;
};
