#pragma once
// The engine's growable array. Four fields, in order: the items, the capacity,
// the count, and whether the storage is borrowed (then it is never freed by
// the array). No bounds checks: callers index within count.

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/Memory.h"

template <typename T>
class Array {
  static_assert(std::is_trivially_copyable_v<T>, "Array holds plain data only");

 public:
  T* items = nullptr;
  uint32_t capacity = 0;
  uint32_t count = 0;
  bool borrowed = false;

  Array() = default;

  // An array over storage the caller keeps; the array never frees it.
  Array(T* storage, uint32_t n) : items(storage), capacity(n), count(n), borrowed(true) {}

  Array(const Array&) = delete;
  Array& operator=(const Array&) = delete;

  Array(Array&& other) noexcept { take(other); }
  Array& operator=(Array&& other) noexcept {
    if (this != &other) {
      freeStorage();
      take(other);
    }
    return *this;
  }

  ~Array() { freeStorage(); }

  T& operator[](uint32_t i) { return items[i]; }
  const T& operator[](uint32_t i) const { return items[i]; }

  T* begin() { return items; }
  T* end() { return items + count; }
  const T* begin() const { return items; }
  const T* end() const { return items + count; }

  // Grows to 4 elements from empty, else doubles, keeping the elements.
  void append(const T& item) {
    if (count == capacity) {
      uint32_t n = count;
      resize(capacity == 0 ? 4 : capacity * 2, true);
      count = n;
    }
    items[count++] = item;
  }

  // Makes the count n. A new block of exactly n elements replaces the old one
  // when n differs from the capacity; with keep the first min(n, count)
  // elements are carried over. An equal capacity keeps the block as it is.
  void resize(uint32_t n, bool keep) {
    if (n != capacity) {
      T* block = n ? static_cast<T*>(trackedAlloc(sizeof(T) * size_t(n), __FILE__, __LINE__)) : nullptr;
      if (keep && block && items) {
        uint32_t kept = n < count ? n : count;
        if (kept) std::memcpy(static_cast<void*>(block), items, sizeof(T) * size_t(kept));
      }
      freeStorage();
      items = block;
      capacity = n;
      borrowed = false;
    }
    count = n;
  }

  // Frees owned storage and empties the array.
  void clear() {
    freeStorage();
    items = nullptr;
    capacity = 0;
    count = 0;
    borrowed = false;
  }

 private:
  void freeStorage() {
    if (items && !borrowed) trackedFree(items, __FILE__, __LINE__);
  }

  void take(Array& other) {
    items = other.items;
    capacity = other.capacity;
    count = other.count;
    borrowed = other.borrowed;
    other.items = nullptr;
    other.capacity = 0;
    other.count = 0;
    other.borrowed = false;
  }
};
