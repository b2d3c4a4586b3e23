#pragma once
// File manager over one ZIP archive: the central directory is read once into
// a table, the archive stays open, and each load finds its member by
// normalised name and inflates it straight into the caller's array.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/files/FileManager.h"

class FileStream;

struct ZipEndRecord {
  uint32_t signature = 0;  // 0x06054B50
  uint16_t diskNumber = 0;
  uint16_t dirDisk = 0;
  uint16_t dirEntriesThisDisk = 0;
  uint16_t dirEntriesTotal = 0;
  uint32_t dirSize = 0;
  uint32_t dirOffset = 0;
  uint16_t commentLength = 0;
};

struct ZipDirFileHeader {
  uint32_t signature = 0;  // 0x02014B50
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t compression = 0;
  uint16_t modTime = 0;
  uint16_t modDate = 0;
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint16_t fileNameLength = 0;
  uint16_t extraFieldLength = 0;
  uint16_t fileCommentLength = 0;
  uint16_t diskNumberStart = 0;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  uint32_t localHeaderOffset = 0;
};

struct ZipLocalFileHeader {
  uint32_t signature = 0;  // 0x04034B50
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t compression = 0;
  uint16_t modTime = 0;
  uint16_t modDate = 0;
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint16_t fileNameLength = 0;
  uint16_t extraFieldLength = 0;
};

struct ZipEntry : ZipDirFileHeader {
  std::string name;  // normalised
};

class FileManagerZIP : public FileManager {
 public:
  FileManagerZIP();
  ~FileManagerZIP() override;

  // Reads the archive's directory; false when the archive cannot be opened.
  bool open(const std::string& archivePath);

  bool load(Array<uint8_t>& out, const char* name) override;
  bool store(const Array<uint8_t>& data, const char* name) override;

  // Index of the first entry named exactly name (already normalised), or -1.
  int32_t findEntry(const std::string& name) const;

  // Inflates raw deflate data in one call; returns the bytes produced.
  static uint32_t inflateMember(const uint8_t* compressed, uint32_t compressedSize, uint8_t* destination,
                                uint32_t destinationSize);

  const ZipEndRecord& getEndRecord() const { return endRecord; }
  const std::vector<ZipEntry>& getEntries() const { return entries; }
  // False once a failed load has closed the archive.
  bool isArchiveOpen() const;

 protected:
  ZipEndRecord endRecord;
  std::vector<ZipEntry> entries;
  FileStream* archive = nullptr;

 private:
  bool failLoad();

  uint32_t archiveSize = 0;
  // Where the directory really starts minus where the end record says it
  // does: non-zero when bytes were prepended to the archive, and then added
  // to every local header offset.
  int64_t offsetShift = 0;
};
