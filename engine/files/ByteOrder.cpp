#include "engine/files/ByteOrder.h"

#include <cstring>

bool hostIsBigEndian() {
  uint16_t one = 1;
  unsigned char first;
  std::memcpy(&first, &one, 1);
  return first != 1;
}

uint16_t swap16(uint16_t value) { return uint16_t((value >> 8) | (value << 8)); }

uint32_t swap32(uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
}

float swapFloat(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  bits = swap32(bits);
  std::memcpy(&value, &bits, 4);
  return value;
}

void swapArray(void* data, uint32_t elementSize, uint32_t count) {
  unsigned char* element = static_cast<unsigned char*>(data);
  for (uint32_t i = 0; i < count; ++i, element += elementSize) {
    for (uint32_t a = 0, b = elementSize ? elementSize - 1 : 0; a < b; ++a, --b) {
      unsigned char t = element[a];
      element[a] = element[b];
      element[b] = t;
    }
  }
}

namespace {
uint16_t keep16(uint16_t value) { return value; }
uint32_t keep32(uint32_t value) { return value; }
float keepFloat(float value) { return value; }
void keepArray(void*, uint32_t, uint32_t) {}

const ByteOrderTable nativeOrder = {keep16, keep32, keepFloat, keepArray};
const ByteOrderTable foreignOrder = {swap16, swap32, swapFloat, swapArray};
}  // namespace

ByteOrderTable byteOrderTable[2] = {nativeOrder, foreignOrder};

void initByteOrder() {
  bool big = hostIsBigEndian();
  byteOrderTable[0] = big ? foreignOrder : nativeOrder;
  byteOrderTable[1] = big ? nativeOrder : foreignOrder;
}
