#pragma once
// A ZIP archive written in one piece: every member deflated (raw deflate,
// sizes and CRC in the local headers, no data descriptors, no extra fields),
// with a fixed time stamp, so the same members always give the same bytes.

#include <cstdint>
#include <string>
#include <vector>

namespace stationgen {

struct ZipMember {
  std::string name;                    // stored exactly as given
  const std::vector<uint8_t>* data;   // not owned
};

// Returns false with a message when zlib refuses a member.
bool buildZip(const std::vector<ZipMember>& members, std::vector<uint8_t>& archive, std::string& error);

}  // namespace stationgen
