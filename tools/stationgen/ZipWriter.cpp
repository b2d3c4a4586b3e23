#include "tools/stationgen/ZipWriter.h"

#include <zlib.h>

namespace stationgen {

namespace {

// 10 June 2005, 14:30:00, in MS-DOS form.
constexpr uint16_t kDosTime = (14 << 11) | (30 << 5) | 0;
constexpr uint16_t kDosDate = ((2005 - 1980) << 9) | (6 << 5) | 10;
constexpr uint16_t kVersion = 20;  // 2.0: deflate
constexpr uint16_t kDeflate = 8;

void put16(std::vector<uint8_t>& o, uint32_t v) {
  o.push_back(static_cast<uint8_t>(v));
  o.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& o, uint32_t v) {
  put16(o, v & 0xFFFF);
  put16(o, v >> 16);
}

bool deflateRaw(const std::vector<uint8_t>& in, std::vector<uint8_t>& out, std::string& error) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    error = "deflateInit2 failed";
    return false;
  }
  out.resize(deflateBound(&z, static_cast<uLong>(in.size())));
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) {
    error = "deflate did not finish";
    return false;
  }
  return true;
}

}  // namespace

bool buildZip(const std::vector<ZipMember>& members, std::vector<uint8_t>& archive, std::string& error) {
  struct Entry {
    uint32_t crc, packed, size, offset;
  };
  std::vector<Entry> entries;
  archive.clear();
  for (const ZipMember& m : members) {
    if (m.data->size() > 0xFFFFFFF0u || m.name.size() > 0xFFFF) {
      error = "member too large for a plain ZIP archive: " + m.name;
      return false;
    }
    std::vector<uint8_t> packed;
    if (!deflateRaw(*m.data, packed, error)) {
      error += " on " + m.name;
      return false;
    }
    Entry e;
    e.crc = static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), m.data->data(), static_cast<uInt>(m.data->size())));
    e.packed = static_cast<uint32_t>(packed.size());
    e.size = static_cast<uint32_t>(m.data->size());
    e.offset = static_cast<uint32_t>(archive.size());
    entries.push_back(e);

    put32(archive, 0x04034B50);
    put16(archive, kVersion);
    put16(archive, 0);  // flags
    put16(archive, kDeflate);
    put16(archive, kDosTime);
    put16(archive, kDosDate);
    put32(archive, e.crc);
    put32(archive, e.packed);
    put32(archive, e.size);
    put16(archive, static_cast<uint32_t>(m.name.size()));
    put16(archive, 0);  // extra field length
    archive.insert(archive.end(), m.name.begin(), m.name.end());
    archive.insert(archive.end(), packed.begin(), packed.end());
  }

  uint32_t directory = static_cast<uint32_t>(archive.size());
  for (size_t i = 0; i < members.size(); ++i) {
    const Entry& e = entries[i];
    const std::string& name = members[i].name;
    put32(archive, 0x02014B50);
    put16(archive, kVersion);  // made by: MS-DOS, 2.0
    put16(archive, kVersion);
    put16(archive, 0);
    put16(archive, kDeflate);
    put16(archive, kDosTime);
    put16(archive, kDosDate);
    put32(archive, e.crc);
    put32(archive, e.packed);
    put32(archive, e.size);
    put16(archive, static_cast<uint32_t>(name.size()));
    put16(archive, 0);  // extra
    put16(archive, 0);  // comment
    put16(archive, 0);  // disk
    put16(archive, 0);  // internal attributes
    put32(archive, 0x20);  // external attributes: MS-DOS archive bit
    put32(archive, e.offset);
    archive.insert(archive.end(), name.begin(), name.end());
  }
  uint32_t directorySize = static_cast<uint32_t>(archive.size()) - directory;

  put32(archive, 0x06054B50);
  put16(archive, 0);
  put16(archive, 0);
  put16(archive, static_cast<uint32_t>(members.size()));
  put16(archive, static_cast<uint32_t>(members.size()));
  put32(archive, directorySize);
  put32(archive, directory);
  put16(archive, 0);
  return true;
}

}  // namespace stationgen
