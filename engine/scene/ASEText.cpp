#include "engine/scene/ASEText.h"

#include <cstdint>

namespace {

bool transcodeUtf16(FILE* from, FILE* to, bool bigEndian) {
  uint8_t in[16384];
  char out[sizeof in / 2];
  size_t kept = 0;         // the first byte of a unit cut by the end of a read
  bool afterHigh = false;  // the unit before was the first of a surrogate pair
  for (;;) {
    size_t got = std::fread(in + kept, 1, sizeof in - kept, from);
    if (got == 0) break;
    size_t bytes = kept + got;
    size_t written = 0;
    for (size_t i = 0; i + 1 < bytes; i += 2) {
      unsigned unit = bigEndian ? unsigned(in[i]) << 8 | in[i + 1] : unsigned(in[i + 1]) << 8 | in[i];
      bool low = unit >= 0xDC00 && unit <= 0xDFFF;
      if (low && afterHigh) {
        afterHigh = false;  // the pair's '?' is written already
        continue;
      }
      afterHigh = unit >= 0xD800 && unit <= 0xDBFF;
      out[written++] = unit <= 0xFF ? char(unit) : '?';
    }
    if (std::fwrite(out, 1, written, to) != written) return false;
    kept = bytes & 1;
    if (kept) in[0] = in[bytes - 1];
  }
  // A last odd byte is half a character; it is dropped.
  return !std::ferror(from) && std::fflush(to) == 0;
}

}  // namespace

FILE* openASEText(const char* fileName, const char** refusal) {
  FILE* file = std::fopen(fileName, "rb");
  if (!file) return nullptr;
  // A stream that cannot seek back is read as it comes, without looking for a mark.
  if (std::fseek(file, 0, SEEK_SET) != 0) return file;
  uint8_t mark[3] = {0, 0, 0};
  size_t got = std::fread(mark, 1, sizeof mark, file);
  bool utf16le = got >= 2 && mark[0] == 0xFF && mark[1] == 0xFE;
  bool utf16be = got >= 2 && mark[0] == 0xFE && mark[1] == 0xFF;
  if (!utf16le && !utf16be) {
    bool utf8 = got == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF;
    std::fseek(file, utf8 ? 3 : 0, SEEK_SET);
    return file;
  }
  std::fseek(file, 2, SEEK_SET);
  FILE* text = std::tmpfile();
  bool done = text && transcodeUtf16(file, text, utf16be);
  std::fclose(file);
  if (!done) {
    if (text) std::fclose(text);
    *refusal = "its UTF-16 text cannot be transcoded (no room for a temporary file)";
    return nullptr;
  }
  std::rewind(text);
  return text;
}
