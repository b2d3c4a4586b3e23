#pragma once
// Tracked allocation: every engine object and array block goes through this
// pair, so a leak hunt has one place to hook. File and line are accepted for
// diagnostics and not stored; the heap does the work.

#include <cstddef>
#include <new>
#include <utility>

void* trackedAlloc(size_t size, const char* file, int line);
void trackedFree(void* pointer, const char* file, int line);

#define TRACKED_ALLOC(size) trackedAlloc((size), __FILE__, __LINE__)
#define TRACKED_FREE(pointer) trackedFree((pointer), __FILE__, __LINE__)

// Constructs an object in tracked storage; null when the heap is exhausted.
template <typename T, typename... Args>
T* trackedNew(const char* file, int line, Args&&... args) {
  void* memory = trackedAlloc(sizeof(T), file, line);
  if (!memory) return nullptr;
  return new (memory) T(std::forward<Args>(args)...);
}

template <typename T>
void trackedDelete(T* object, const char* file, int line) {
  if (!object) return;
  object->~T();
  trackedFree(object, file, line);
}

#define TRACKED_NEW(T, ...) trackedNew<T>(__FILE__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define TRACKED_DELETE(object) trackedDelete((object), __FILE__, __LINE__)
