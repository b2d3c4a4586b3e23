#include "RenderTestSupport.h"

#include <stb_image_write.h>

#include <cstring>

int builtInCompileCalls = 0;
size_t builtInCompileLogSize = 0;

// Stands in for the scene's built-in shader table: records that init got to
// its last step.
void countStartupShaders() {
  ++builtInCompileCalls;
  builtInCompileLogSize = recordingLog().size();
}

namespace {

void put16(std::string& out, uint32_t v) {
  out += char(v & 0xFF);
  out += char((v >> 8) & 0xFF);
}
void put32(std::string& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

}  // namespace

void appendBytes(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<char*>(data), size_t(size));
}

std::string makeBmp(int width, int height, const std::vector<uint32_t>& rgb) {
  std::vector<uint8_t> bytes;
  for (uint32_t c : rgb) bytes.insert(bytes.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
  std::string out;
  stbi_write_bmp_to_func(appendBytes, &out, width, height, 3, bytes.data());
  return out;
}

const DdsFormat ddsA8R8G8B8 = {0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 4};
const DdsFormat ddsX1R5G5B5 = {0x40, 0, 16, 0x7C00, 0x3E0, 0x1F, 0, 2};
const DdsFormat ddsDXT1 = {0x4, MAKEFOURCC('D', 'X', 'T', '1'), 0, 0, 0, 0, 0, 0};

std::string makeDds(const DdsFormat& format, int width, int height, bool cube) {
  auto levelBytes = [&](int w, int h) {
    return format.bytesPerPixel ? uint32_t(w * h) * format.bytesPerPixel
                                : uint32_t((w + 3) / 4) * uint32_t((h + 3) / 4) * 8;
  };
  int levels = 1;
  for (int w = width, h = height; w > 1 || h > 1; w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1) ++levels;

  std::string out = "DDS ";
  // size, flags, height, width, pitch (or linear size), depth, mipmap count
  for (uint32_t v : {124u, 0x21007u | (format.bytesPerPixel ? 0x8u : 0x80000u), uint32_t(height), uint32_t(width),
                     format.bytesPerPixel ? uint32_t(width) * format.bytesPerPixel : levelBytes(width, height), 0u,
                     uint32_t(levels)})
    put32(out, v);
  out.append(44, '\0');  // reserved
  // pixel format, then caps: texture, mipmap, complex; cube map with all six faces
  for (uint32_t v : {32u, format.flags, format.fourCC, format.bits, format.r, format.g, format.b, format.a, 0x401008u,
                     cube ? 0xFE00u : 0u, 0u, 0u, 0u})
    put32(out, v);
  int faces = cube ? 6 : 1;
  for (int face = 0; face < faces; ++face) {
    for (int level = 0, w = width, h = height; level < levels; ++level, w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1)
      for (uint32_t i = 0; i < levelBytes(w, h); ++i) out += char((i * 7 + uint32_t(face) * 31 + uint32_t(level)) & 0xFF);
  }
  return out;
}
