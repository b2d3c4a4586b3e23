#include "engine/files/FileManager_zip.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cstring>
#include <limits>

#include "engine/Log.h"
#include "engine/files/ByteOrder.h"
#include "engine/files/FileStream.h"

namespace {

const uint32_t endRecordSignature = 0x06054B50;
const uint32_t dirFileHeaderSignature = 0x02014B50;
const uint32_t localFileHeaderSignature = 0x04034B50;

const uint32_t endRecordSize = 22;
const uint32_t dirFileHeaderSize = 46;
const uint32_t localFileHeaderSize = 30;

const uint16_t flagEncrypted = 1;
const uint16_t methodStored = 0;
const uint16_t methodDeflate = 8;

// Deflate cannot expand by more than this: the best case is one 258-byte
// match per two bits. A directory claiming more is lying, and is refused
// before anything that large is allocated.
const uint64_t maxDeflateRatio = 1032;

// Decodes the archive's little-endian records from bytes already read, with
// the stream's byte-order conversions.
class RecordReader {
 public:
  RecordReader(const uint8_t* bytes, int byteOrder) : at(bytes), order(byteOrderTable[byteOrder == 1 ? 1 : 0]) {}
  uint16_t u16() {
    uint16_t value;
    std::memcpy(&value, at, 2);
    at += 2;
    return order.u16(value);
  }
  uint32_t u32() {
    uint32_t value;
    std::memcpy(&value, at, 4);
    at += 4;
    return order.u32(value);
  }

 private:
  const uint8_t* at;
  const ByteOrderTable& order;
};

void readEndRecord(ZipEndRecord& record, RecordReader in) {
  record.signature = in.u32();
  record.diskNumber = in.u16();
  record.dirDisk = in.u16();
  record.dirEntriesThisDisk = in.u16();
  record.dirEntriesTotal = in.u16();
  record.dirSize = in.u32();
  record.dirOffset = in.u32();
  record.commentLength = in.u16();
}

void readDirFileHeader(ZipDirFileHeader& header, RecordReader in) {
  header.signature = in.u32();
  header.versionMadeBy = in.u16();
  header.versionNeeded = in.u16();
  header.flags = in.u16();
  header.compression = in.u16();
  header.modTime = in.u16();
  header.modDate = in.u16();
  header.crc32 = in.u32();
  header.compressedSize = in.u32();
  header.uncompressedSize = in.u32();
  header.fileNameLength = in.u16();
  header.extraFieldLength = in.u16();
  header.fileCommentLength = in.u16();
  header.diskNumberStart = in.u16();
  header.internalAttributes = in.u16();
  header.externalAttributes = in.u32();
  header.localHeaderOffset = in.u32();
}

void readLocalFileHeader(ZipLocalFileHeader& header, RecordReader in) {
  header.signature = in.u32();
  header.versionNeeded = in.u16();
  header.flags = in.u16();
  header.compression = in.u16();
  header.modTime = in.u16();
  header.modDate = in.u16();
  header.crc32 = in.u32();
  header.compressedSize = in.u32();
  header.uncompressedSize = in.u32();
  header.fileNameLength = in.u16();
  header.extraFieldLength = in.u16();
}

// Last position at or below from whose four bytes are the end record's
// signature, or -1. Scans the file backwards a block at a time: one read per
// 64 KiB instead of one per position.
int64_t findEndRecord(FileStream& stream, uint32_t length, int byteOrder) {
  const uint32_t span = 65536;
  Array<uint8_t> block;
  block.resize(span + 3, false);
  int64_t high = int64_t(length) - endRecordSize;  // highest candidate still to try
  while (high >= 0) {
    uint32_t low = high >= span ? uint32_t(high - span + 1) : 0;
    uint32_t bytes = uint32_t(high - low) + 4;
    stream.seek(int32_t(low), FileStream::SEEK_FROM_START);
    if (stream.read(block.items, bytes) != bytes) return -1;
    for (int64_t p = high; p >= low; --p) {
      if (RecordReader(block.items + (p - low), byteOrder).u32() == endRecordSignature) return p;
    }
    high = int64_t(low) - 1;
  }
  return -1;
}

}  // namespace

FileManagerZIP::FileManagerZIP() {
  archive = TRACKED_NEW(FileStream);
  if (archive) archive->byteOrder = FileStream::LITTLE_ENDIAN_ORDER;
}

FileManagerZIP::~FileManagerZIP() {
  if (archive) {
    archive->close();
    TRACKED_DELETE(archive);
    archive = nullptr;
  }
}

bool FileManagerZIP::isArchiveOpen() const { return archive && archive->isOpen; }

bool FileManagerZIP::open(const std::string& archivePath) {
  entries.clear();
  endRecord = ZipEndRecord();
  archiveSize = 0;
  offsetShift = 0;
  if (!archive) {
    archive = TRACKED_NEW(FileStream);
    if (!archive) return false;
    archive->byteOrder = FileStream::LITTLE_ENDIAN_ORDER;
  }
  // Paths match whatever their case, as on Windows: the archive's path as
  // given first (a folder with capitals in its name stays reachable), then
  // in the normalised lower case every name is compared in.
  std::string path = archivePath;
  for (char& c : path)
    if (c == '\\') c = '/';
  if (!archive->open(path, FileStream::MODE_READ)) {
    path = normalisePath(archivePath);
    if (!archive->open(path, FileStream::MODE_READ)) return false;
  }

  // Only a regular file counts (a directory opens but cannot be read), and
  // every position must fit the stream's signed 32-bit seek.
  struct stat info;
  if (fstat(fileno(archive->file), &info) != 0 || !S_ISREG(info.st_mode)) {
    archive->close();
    return false;
  }
  if (uint64_t(info.st_size) > uint64_t(std::numeric_limits<int32_t>::max())) {
    logPrintf("Zip: Archive too large '%s'.\n", path.c_str());
    archive->close();
    return false;
  }
  uint32_t length = archive->size();
  archiveSize = length;
  int byteOrder = archive->byteOrder;

  // A file too short for an end record fails on the first seek.
  if (length < endRecordSize) archive->seek(int32_t(length) - int32_t(endRecordSize), FileStream::SEEK_FROM_START);

  int64_t endPosition = findEndRecord(*archive, length, byteOrder);
  if (endPosition < 0) fatalError(" Zip: End record not found.");
  uint8_t raw[endRecordSize];
  archive->seek(int32_t(endPosition), FileStream::SEEK_FROM_START);
  if (archive->read(raw, endRecordSize) != endRecordSize) fatalError(" Zip: End record not found.");
  readEndRecord(endRecord, RecordReader(raw, byteOrder));
  if (endRecord.diskNumber != 0 || endRecord.dirDisk != 0 || endRecord.dirEntriesThisDisk != endRecord.dirEntriesTotal)
    fatalError(" Zip: End record not found.");

  // The directory ends where the end record starts. Locating it from there
  // rather than from the recorded offset also copes with bytes prepended to
  // the archive; the difference then shifts every local header offset.
  if (endRecord.dirSize > endPosition) fatalError("Zip: Bad dir file header.");
  uint32_t dirStart = uint32_t(endPosition) - endRecord.dirSize;
  offsetShift = int64_t(dirStart) - int64_t(endRecord.dirOffset);

  uint32_t total = endRecord.dirEntriesTotal;
  if (total == 0) return true;
  Array<uint8_t> directory;
  directory.resize(endRecord.dirSize, false);
  archive->seek(int32_t(dirStart), FileStream::SEEK_FROM_START);
  if (endRecord.dirSize == 0 || archive->read(directory.items, endRecord.dirSize) != endRecord.dirSize)
    fatalError("Zip: Bad dir file header.");

  // Reserve no more than the directory's bytes can hold, whatever it claims.
  entries.reserve(total < endRecord.dirSize / dirFileHeaderSize ? total : endRecord.dirSize / dirFileHeaderSize);
  uint32_t at = 0;
  for (uint32_t i = 0; i < total; ++i) {
    uint32_t left = directory.count - at;
    if (left < dirFileHeaderSize) fatalError("Zip: Bad dir file header.");
    ZipEntry entry;
    readDirFileHeader(entry, RecordReader(directory.items + at, byteOrder));
    if (entry.signature != dirFileHeaderSignature) fatalError("Zip: Bad dir file header.");
    uint32_t variable = uint32_t(entry.fileNameLength) + entry.extraFieldLength + entry.fileCommentLength;
    if (variable > left - dirFileHeaderSize) fatalError("Zip: Bad dir file header.");
    const char* name = reinterpret_cast<const char*>(directory.items + at + dirFileHeaderSize);
    // The name ends at its first zero byte, if it holds one.
    entry.name.assign(name, strnlen(name, entry.fileNameLength));
    entry.name = normalisePath(entry.name);
    entries.push_back(std::move(entry));
    at += dirFileHeaderSize + variable;
  }
  return true;
}

int32_t FileManagerZIP::findEntry(const std::string& name) const {
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].name == name) return int32_t(i);
  }
  return -1;
}

bool FileManagerZIP::failLoad() {
  if (archive) {
    archive->close();
    TRACKED_DELETE(archive);
    archive = nullptr;
  }
  return false;
}

bool FileManagerZIP::load(Array<uint8_t>& out, const char* name) {
  if (!name) name = "";
  // An earlier failure closed the archive; nothing can be read any more.
  if (!archive) {
    logPrintf("FileManagerZIP::load: Archive closed, '%s' not loaded.\n", name);
    return false;
  }

  std::string candidate = normalisePath(name);
  int32_t index = findEntry(candidate);
  for (size_t i = 0; index < 0 && i < searchPaths.size(); ++i) {
    candidate = normalisePath(searchPaths[i] + name);
    index = findEntry(candidate);
  }
  if (index < 0) fatalError("FileManagerZIP: File not found '%s'.", candidate.c_str());
  const ZipEntry& entry = entries[size_t(index)];
  const char* found = candidate.c_str();

  int64_t localPosition = int64_t(entry.localHeaderOffset) + offsetShift;
  if (localPosition < 0 || localPosition + localFileHeaderSize > archiveSize)
    fatalError("Zip: Archive corrupt (local file header) '%s'.", found);
  uint8_t raw[localFileHeaderSize];
  archive->seek(int32_t(localPosition), FileStream::SEEK_FROM_START);
  if (archive->read(raw, localFileHeaderSize) != localFileHeaderSize)
    fatalError("Zip: Archive corrupt (local file header) '%s'.", found);
  ZipLocalFileHeader local;
  readLocalFileHeader(local, RecordReader(raw, archive->byteOrder));
  if (local.signature != localFileHeaderSignature) fatalError("Zip: Archive corrupt (local file header) '%s'.", found);

  // The data follow the local header's own name and extra field. Sizes come
  // from the directory: a member written with a data descriptor has zeros
  // in its local header.
  int64_t dataPosition = localPosition + localFileHeaderSize + local.fileNameLength + local.extraFieldLength;
  uint32_t packedSize = entry.compressedSize;

  if (entry.flags & flagEncrypted) {
    logPrintf("Zip: Encrypted member not supported '%s'.\n", found);
    return failLoad();
  }
  if (entry.compression != methodStored && entry.compression != methodDeflate) {
    logPrintf("Zip: Unsupported compression method %u '%s'.\n", unsigned(entry.compression), found);
    return failLoad();
  }
  if (dataPosition + packedSize > archiveSize) {
    logPrintf("Zip: Member data beyond end of archive '%s'.\n", found);
    return failLoad();
  }

  if (entry.compression == methodStored) {
    if (entry.uncompressedSize != packedSize) {
      logPrintf("Zip: Member size mismatch '%s'.\n", found);
      return failLoad();
    }
    // Read straight into the caller's block; no copy.
    sizeResult(out, packedSize);
    archive->seek(int32_t(dataPosition), FileStream::SEEK_FROM_START);
    if (packedSize && archive->read(out.items, packedSize) != packedSize) {
      out.count = 0;
      logPrintf("Zip: Member data beyond end of archive '%s'.\n", found);
      return failLoad();
    }
  } else {
    if (entry.uncompressedSize > uint64_t(packedSize) * maxDeflateRatio) {
      logPrintf("Zip: Member size mismatch '%s'.\n", found);
      return failLoad();
    }
    Array<uint8_t> packed;
    packed.resize(packedSize, false);
    archive->seek(int32_t(dataPosition), FileStream::SEEK_FROM_START);
    if (packedSize && archive->read(packed.items, packedSize) != packedSize) {
      logPrintf("Zip: Member data beyond end of archive '%s'.\n", found);
      return failLoad();
    }
    sizeResult(out, entry.uncompressedSize);
    uint32_t produced = inflateMember(packed.items, packedSize, out.items, entry.uncompressedSize);
    if (produced != entry.uncompressedSize) {
      out.count = 0;
      logPrintf("Zip: Member size mismatch '%s'.\n", found);
      return failLoad();
    }
  }

  // Damaged data must not pass for the file.
  if (uint32_t(crc32(0, out.items, out.count)) != entry.crc32) {
    out.count = 0;
    logPrintf("Zip: CRC mismatch '%s'.\n", found);
    return failLoad();
  }
  return true;
}

bool FileManagerZIP::store(const Array<uint8_t>&, const char*) { return true; }

uint32_t FileManagerZIP::inflateMember(const uint8_t* compressed, uint32_t compressedSize, uint8_t* destination,
                                       uint32_t destinationSize) {
  z_stream stream;
  std::memset(&stream, 0, sizeof(stream));
  // zlib rejects a null output pointer even when there is no room to fill,
  // and an empty member is still a complete deflate stream.
  uint8_t spare = 0;
  stream.next_in = const_cast<Bytef*>(compressed);
  stream.avail_in = compressedSize;
  stream.next_out = destination ? destination : &spare;
  stream.avail_out = destination ? destinationSize : 0;
  // Raw deflate (no zlib header or trailer), 32 KiB window. The version and
  // structure size are those of the zlib this was compiled against, which
  // the library checks.
  if (inflateInit2_(&stream, -15, ZLIB_VERSION, int(sizeof(z_stream))) != Z_OK)
    fatalError("Zip: ZLib decompression failed (inflateInit2).");
  // The destination holds the whole result, so one call finishes the stream.
  int result = inflate(&stream, Z_FINISH);
  uint32_t produced = uint32_t(stream.total_out);
  inflateEnd(&stream);
  if (result != Z_STREAM_END) fatalError("Zip: ZLib decompression failed (inflate).");
  return produced;
}
