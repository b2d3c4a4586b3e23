#include "engine/files/FileStream.h"

#include <cstring>
#include <vector>

#include "engine/Log.h"
#include "engine/files/ByteOrder.h"

namespace {
const char* const modeStrings[6] = {"rb", "wb", "wb+", "rt", "wt", "wt+"};
}

FileStream::FileStream() : byteOrder(hostIsBigEndian() ? 1 : 0) {}

FileStream::~FileStream() { close(); }

bool FileStream::open(const std::string& newPath, int newMode) {
  if (newMode < 0 || newMode > 5) return false;
  if (file) close();
  file = std::fopen(newPath.c_str(), modeStrings[newMode]);
  mode = newMode;
  if (!file) return false;
  isOpen = true;
  path = newPath;
  return true;
}

bool FileStream::foreignOrder() const {
  bool big = hostIsBigEndian();
  return (big && byteOrder == 0) || (!big && byteOrder == 1);
}

bool FileStream::eof() { return file && std::feof(file); }

uint32_t FileStream::read(void* buffer, uint32_t bytes) {
  if (!file) return 0;
  return uint32_t(std::fread(buffer, 1, bytes, file));
}

uint32_t FileStream::write(const void* buffer, uint32_t bytes) {
  if (!file) return 0;
  return uint32_t(std::fwrite(buffer, 1, bytes, file));
}

uint32_t FileStream::readArray(void* buffer, uint32_t elementSize, uint32_t count) {
  if (!file) return 0;
  uint32_t got = uint32_t(std::fread(buffer, elementSize, count, file));
  byteOrderTable[byteOrder == 1 ? 1 : 0].array(buffer, elementSize, got);
  return got;
}

uint32_t FileStream::writeArray(const void* buffer, uint32_t elementSize, uint32_t count) {
  if (!file) return 0;
  if (!foreignOrder()) return uint32_t(std::fwrite(buffer, elementSize, count, file));
  // The caller's buffer stays as it is: swap a copy.
  std::vector<unsigned char> block(size_t(elementSize) * count);
  if (!block.empty()) std::memcpy(block.data(), buffer, block.size());
  swapArray(block.data(), elementSize, count);
  return uint32_t(std::fwrite(block.data(), elementSize, count, file));
}

uint8_t FileStream::readU8() {
  uint8_t value = 0;
  if (file && std::fread(&value, 1, 1, file) != 1) value = 0;
  return value;
}

uint16_t FileStream::readU16() {
  uint16_t value = 0;
  if (!file || std::fread(&value, 2, 1, file) != 1) return 0;
  return byteOrderTable[byteOrder == 1 ? 1 : 0].u16(value);
}

uint32_t FileStream::readU32() {
  uint32_t value = 0;
  if (!file || std::fread(&value, 4, 1, file) != 1) return 0;
  return byteOrderTable[byteOrder == 1 ? 1 : 0].u32(value);
}

float FileStream::readF32() {
  float value = 0;
  if (!file || std::fread(&value, 4, 1, file) != 1) return 0;
  return byteOrderTable[byteOrder == 1 ? 1 : 0].f32(value);
}

bool FileStream::writeU8(uint8_t value) { return file && std::fwrite(&value, 1, 1, file) == 1; }

bool FileStream::writeU16(uint16_t value) {
  if (foreignOrder()) value = swap16(value);
  return file && std::fwrite(&value, 2, 1, file) == 1;
}

bool FileStream::writeU32(uint32_t value) {
  if (foreignOrder()) value = swap32(value);
  return file && std::fwrite(&value, 4, 1, file) == 1;
}

bool FileStream::writeF32(float value) {
  if (foreignOrder()) value = swapFloat(value);
  return file && std::fwrite(&value, 4, 1, file) == 1;
}

void FileStream::seek(int32_t offset, int origin) {
  int whence = origin;
  if (origin == SEEK_FROM_START) whence = SEEK_SET;
  else if (origin == SEEK_FROM_CURRENT) whence = SEEK_CUR;
  else if (origin == SEEK_FROM_END) whence = SEEK_END;
  if (!file || std::fseek(file, offset, whence) != 0) fatalError("FileStream::seek: File seek failed.\n");
}

uint32_t FileStream::tell() {
  if (!file) return 0;
  long position = std::ftell(file);
  return position < 0 ? 0 : uint32_t(position);
}

uint32_t FileStream::size() {
  uint32_t position = tell();
  seek(0, SEEK_FROM_END);
  uint32_t length = tell();
  seek(int32_t(position), SEEK_FROM_START);
  return length;
}

void FileStream::copy(void* destination) {
  if (!file) fatalError("FileStream::copy: Copy of unopened file requested.\n");
  uint32_t n = size();
  uint32_t p = tell();
  if (n) {
    size_t got = std::fread(destination, 1, n, file);
    (void)got;  // from a later position only the rest of the file is there
  }
  seek(int32_t(p), SEEK_FROM_START);
}

void FileStream::close() {
  if (file) {
    std::fclose(file);
    file = nullptr;
    isOpen = false;
  }
}
