#pragma once
// A seekable stream over one C runtime file, with typed reads and writes
// converted between the file's byte order and the host's.

#include <cstdint>
#include <cstdio>
#include <string>

class FileStream {
 public:
  enum Mode { MODE_READ = 0, MODE_WRITE = 1, MODE_READ_WRITE = 2, MODE_READ_TEXT = 3, MODE_WRITE_TEXT = 4, MODE_READ_WRITE_TEXT = 5 };
  enum Origin { SEEK_FROM_START = 0, SEEK_FROM_CURRENT = 1, SEEK_FROM_END = 2 };
  enum Order { LITTLE_ENDIAN_ORDER = 0, BIG_ENDIAN_ORDER = 1 };

  FileStream();
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  bool open(const std::string& path, int mode);

  virtual bool eof();
  virtual uint32_t readArray(void* buffer, uint32_t elementSize, uint32_t count);
  virtual uint32_t read(void* buffer, uint32_t bytes);
  virtual uint32_t writeArray(const void* buffer, uint32_t elementSize, uint32_t count);
  virtual uint32_t write(const void* buffer, uint32_t bytes);
  // Failed reads (end of file) return 0.
  virtual uint8_t readU8();
  virtual uint16_t readU16();
  virtual uint32_t readU32();
  virtual float readF32();
  virtual bool writeU8(uint8_t value);
  virtual bool writeU16(uint16_t value);
  virtual bool writeU32(uint32_t value);
  virtual bool writeF32(float value);
  virtual void seek(int32_t offset, int origin);
  virtual uint32_t size();
  virtual void copy(void* destination);
  virtual uint32_t tell();
  virtual void close();
  virtual ~FileStream();

  int32_t byteOrder;  // 0: file is little-endian, 1: big-endian
  int32_t mode = 0;
  bool isOpen = false;
  FILE* file = nullptr;
  std::string path;

 private:
  bool foreignOrder() const;
};
