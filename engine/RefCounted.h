#pragma once
// Base of shared engine objects (materials, meshes, mesh groups). The count
// starts at 1 for the creator; each extra holder adds one, and the last
// release deletes the object.

#include <cstdint>

class RefCounted {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;
  virtual ~RefCounted() = default;

  void addRef() { ++refCount; }

  // Decrements the count and deletes the object when it reaches 0. Returns the
  // count left.
  int32_t release() {
    int32_t left = --refCount;
    if (left == 0) destroy();
    return left;
  }

  int32_t getRefCount() const { return refCount; }

 protected:
  // Objects created with the tracked allocation override this to free
  // themselves the same way; the default suits objects made with new.
  virtual void destroy() { delete this; }

 private:
  int32_t refCount = 1;
};

// Releases a held reference and nulls the holder; safe on null.
template <typename T>
void releaseRef(T*& object) {
  if (object) {
    object->release();
    object = nullptr;
  }
}
