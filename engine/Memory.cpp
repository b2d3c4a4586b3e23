#include "engine/Memory.h"

#include <cstdlib>

void* trackedAlloc(size_t size, const char*, int) { return std::malloc(size); }

void trackedFree(void* pointer, const char*, int) { std::free(pointer); }
