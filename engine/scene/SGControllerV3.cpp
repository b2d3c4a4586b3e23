#include "engine/scene/SGControllerV3.h"

#include <algorithm>

#include "engine/Memory.h"

SGControllerV3::~SGControllerV3() {
  for (uint32_t i = 0; i < keys.count; ++i) TRACKED_DELETE(keys.items[i]);
}

SGKeyV3* SGControllerV3::addKey() {
  SGKeyV3* key = TRACKED_NEW(SGKeyV3);
  keys.append(key);
  return key;
}

void SGControllerV3::sortKeys() {
  std::stable_sort(keys.items, keys.items + keys.count,
                   [](const SGKeyV3* a, const SGKeyV3* b) { return a->time < b->time; });
}

D3DXVECTOR3 SGControllerV3::sample(int32_t time) const {
  if (keys.count == 0) return D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  if (keys.count == 1) return keys.items[0]->value;
  const SGKeyV3* first = keys.items[0];
  const SGKeyV3* last = keys.items[keys.count - 1];
  if (time <= first->time) return first->value;
  if (time >= last->time) return last->value;
  // The last key is later than the time, so the search always ends, and the
  // key before the one found is never later than the time.
  uint32_t n = 1;
  while (keys.items[n]->time <= time) ++n;
  const SGKeyV3* p = keys.items[n - 1];
  const SGKeyV3* k = keys.items[n];
  float f = float(int64_t(time) - p->time) / float(int64_t(k->time) - p->time);
  return p->value + (k->value - p->value) * f;
}

void* SGControllerV3::operator new(size_t size) noexcept { return TRACKED_ALLOC(size); }

void SGControllerV3::operator delete(void* pointer) noexcept {
  if (pointer) TRACKED_FREE(pointer);
}
