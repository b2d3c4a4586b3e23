#pragma once
// Dear ImGui's build options on Windows. ImGui sorts with the C library's
// qsort, which is a stable merge sort in glibc and not stable in Microsoft's
// runtime: glyphs of equal size would be packed into the font atlas in
// another order. A stable sort here gives the same atlas on both systems.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

inline void vantrelStableSort(void* base, size_t count, size_t size, int (*compare)(const void*, const void*)) {
  if (count < 2) return;
  unsigned char* bytes = static_cast<unsigned char*>(base);
  std::vector<size_t> order(count);
  for (size_t i = 0; i < count; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return compare(bytes + a * size, bytes + b * size) < 0; });
  std::vector<unsigned char> sorted(count * size);
  for (size_t i = 0; i < count; ++i) std::memcpy(&sorted[i * size], bytes + order[i] * size, size);
  std::memcpy(bytes, sorted.data(), sorted.size());
}
#define ImQsort vantrelStableSort
