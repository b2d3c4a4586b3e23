#pragma once
// Conversions between a file's byte order and the host's. initByteOrder fills
// the table once at start-up, before any stream is read or written.

#include <cstdint>

bool hostIsBigEndian();

uint16_t swap16(uint16_t value);
uint32_t swap32(uint32_t value);
float swapFloat(float value);
// Reverses the bytes of each of count consecutive elements of elementSize bytes.
void swapArray(void* data, uint32_t elementSize, uint32_t count);

struct ByteOrderTable {
  uint16_t (*u16)(uint16_t);
  uint32_t (*u32)(uint32_t);
  float (*f32)(float);
  void (*array)(void* data, uint32_t elementSize, uint32_t count);
};

// [0]: data stored little-endian, [1]: data stored big-endian; each converts
// to host order.
extern ByteOrderTable byteOrderTable[2];

void initByteOrder();
