#include "engine/scene/SGControllerQ4.h"

#include <cmath>

#include "engine/Log.h"
#include "engine/Memory.h"

SGControllerQ4::~SGControllerQ4() {
  for (uint32_t i = 0; i < keys.count; ++i) TRACKED_DELETE(keys.items[i]);
}

SGKeyQ4* SGControllerQ4::addKey() {
  SGKeyQ4* key = TRACKED_NEW(SGKeyQ4);
  keys.append(key);
  return key;
}

void SGControllerQ4::prepareRotationKeys() {
  if (keys.count == 0) return;
  for (uint32_t i = 0; i < keys.count; ++i) {
    SGKeyQ4* key = keys.items[i];
    if (key->angle < 0.0f) {
      key->angle = -key->angle;
      key->axis = -key->axis;
    }
  }

  SGKeyQ4* first = keys.items[0];
  first->turns = 0;
  D3DXQuaternionRotationAxis(&first->rotation, &first->axis, first->angle);
  logPrintf("Key 0: %f %f %f %f (quat: %f %f %f %f)\n", first->axis.x, first->axis.y, first->axis.z, first->angle,
            first->rotation.x, first->rotation.y, first->rotation.z, first->rotation.w);

  for (uint32_t i = 1; i < keys.count; ++i) {
    SGKeyQ4* key = keys.items[i];
    float turns = std::floor(key->angle * 0.15915494f);
    // Angles too large (or not numbers) to count their turns in an int are
    // left unreduced.
    key->turns = (turns >= -2147483648.0f && turns < 2147483648.0f) ? int32_t(turns) : 0;
    key->angle = key->angle - float(key->turns) * 6.2831855f;
    D3DXQUATERNION relative;
    D3DXQuaternionRotationAxis(&relative, &key->axis, key->angle);
    D3DXQuaternionMultiply(&key->rotation, &keys.items[i - 1]->rotation, &relative);
    logPrintf("Key %d: %f %f %f %f (quat: %f %f %f %f)\n", int(i), key->axis.x, key->axis.y, key->axis.z, key->angle,
              key->rotation.x, key->rotation.y, key->rotation.z, key->rotation.w);
  }
  logPrintf("\n");
}

D3DXQUATERNION SGControllerQ4::sample(int32_t time) const {
  if (keys.count == 0) return D3DXQUATERNION(1.0f, 0.0f, 0.0f, 0.0f);
  if (keys.count == 1) return keys.items[0]->rotation;
  const SGKeyQ4* first = keys.items[0];
  const SGKeyQ4* last = keys.items[keys.count - 1];
  // 64-bit so that times far outside the track cannot overflow.
  int64_t b = first->time, c = last->time, t = time;
  if (c != b) {
    if (t < b) {
      t = c + (t - b) % (c - b);
    } else if (t >= c) {
      t = b + (t - b) % (c - b);
    }
  }
  if (t <= b) return first->rotation;
  if (t >= c) return last->rotation;
  // Here b < t < c: the last key is later than t, so the search ends, and the
  // key before the one found is not later than t.
  uint32_t n = 1;
  while (keys.items[n]->time <= t) ++n;
  const SGKeyQ4* p = keys.items[n - 1];
  const SGKeyQ4* k = keys.items[n];
  float f = float(t - p->time) / float(int64_t(k->time) - p->time);
  D3DXQUATERNION result;
  D3DXQuaternionSlerp(&result, &p->rotation, &k->rotation, f);
  return result;
}

void* SGControllerQ4::operator new(size_t size) noexcept { return TRACKED_ALLOC(size); }

void SGControllerQ4::operator delete(void* pointer) noexcept {
  if (pointer) TRACKED_FREE(pointer);
}
