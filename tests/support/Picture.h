#pragma once
// An 8-bit RGB picture read from a PNG file (stb_image; one translation unit
// of the test defines its implementation).

#include <stb/stb_image.h>

#include <cstdint>
#include <filesystem>
#include <vector>

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;

  const uint8_t* at(int x, int y) const { return rgb.data() + (size_t(y) * size_t(width) + size_t(x)) * 3; }
};

// An empty picture when the file is missing or not an image.
inline Picture loadPng(const std::filesystem::path& file) {
  Picture picture;
  int channels = 0;
  unsigned char* pixels = stbi_load(file.c_str(), &picture.width, &picture.height, &channels, 3);
  if (!pixels) return Picture();
  picture.rgb.assign(pixels, pixels + size_t(picture.width) * size_t(picture.height) * 3);
  stbi_image_free(pixels);
  return picture;
}
