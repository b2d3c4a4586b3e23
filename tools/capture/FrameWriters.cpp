#include "tools/capture/FrameWriters.h"

#include <stb_image_write.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <system_error>

std::string PngFrameWriter::fileName(int64_t index) {
  char name[64];
  std::snprintf(name, sizeof name, "frame_%06lld.png", static_cast<long long>(index));
  return name;
}

bool PngFrameWriter::open(const std::string& path, std::string& error) {
  std::error_code code;
  std::filesystem::create_directories(path, code);
  if (code || !std::filesystem::is_directory(path, code)) {
    error = "cannot make the folder '" + path + "'" + (code ? ": " + code.message() : std::string());
    return false;
  }
  folder = path;
  return true;
}

bool PngFrameWriter::write(int64_t index, const std::vector<uint8_t>& rgb, int width, int height,
                           std::string& error) {
  std::string file = (std::filesystem::path(folder) / fileName(index)).string();
  if (!stbi_write_png(file.c_str(), width, height, 3, rgb.data(), width * 3)) {
    error = "cannot write '" + file + "'";
    return false;
  }
  return true;
}

Y4mWriter::~Y4mWriter() {
  std::string ignored;
  close(ignored);
}

bool Y4mWriter::open(const std::string& target, int frameWidth, int frameHeight, int64_t fpsNumerator,
                     int64_t fpsDenominator, int aspectNumerator, int aspectDenominator, std::string& error) {
  path = target;
  width = frameWidth;
  height = frameHeight;
  if (path == "-") {
    file = stdout;
    ownsFile = false;
  } else {
    file = std::fopen(path.c_str(), "wb");
    ownsFile = true;
    if (!file) {
      error = "cannot write '" + path + "': " + std::strerror(errno);
      return false;
    }
  }
  // Pixel aspect = display aspect / frame aspect, in lowest terms.
  long long parX = 1, parY = 1;
  if (aspectNumerator > 0 && aspectDenominator > 0) {
    parX = (long long)aspectNumerator * height;
    parY = (long long)aspectDenominator * width;
    long long divisor = std::gcd(parX, parY);
    parX /= divisor;
    parY /= divisor;
  }
  int64_t divisor = std::gcd(fpsNumerator, fpsDenominator);
  if (std::fprintf(file, "YUV4MPEG2 W%d H%d F%lld:%lld Ip A%lld:%lld C420jpeg\n", width, height,
                   (long long)(fpsNumerator / divisor), (long long)(fpsDenominator / divisor), parX, parY) < 0) {
    error = "cannot write '" + path + "'";
    return false;
  }
  return true;
}

bool Y4mWriter::write(const std::vector<uint8_t>& rgb, std::string& error) {
  if (!file) {
    error = "the video stream is not open";
    return false;
  }
  const int chromaWidth = (width + 1) / 2, chromaHeight = (height + 1) / 2;
  const size_t lumaSize = size_t(width) * size_t(height), chromaSize = size_t(chromaWidth) * size_t(chromaHeight);
  planes.resize(lumaSize + 2 * chromaSize);
  uint8_t* luma = planes.data();
  uint8_t* cb = luma + lumaSize;
  uint8_t* cr = cb + chromaSize;

  // BT.601 studio range in 8.8 fixed point: Y 16..235, Cb and Cr 16..240.
  auto pixel = [&](int x, int y) { return rgb.data() + (size_t(y) * size_t(width) + size_t(x)) * 3; };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = pixel(x, y);
      luma[size_t(y) * size_t(width) + size_t(x)] = uint8_t((66 * p[0] + 129 * p[1] + 25 * p[2] + 128) / 256 + 16);
    }
  }
  // Chroma from the mean of each 2 x 2 block (centred siting, "420jpeg");
  // an odd last row or column averages what there is.
  for (int cy = 0; cy < chromaHeight; ++cy) {
    for (int cx = 0; cx < chromaWidth; ++cx) {
      int r = 0, g = 0, b = 0, count = 0;
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          int x = 2 * cx + dx, y = 2 * cy + dy;
          if (x >= width || y >= height) continue;
          const uint8_t* p = pixel(x, y);
          r += p[0];
          g += p[1];
          b += p[2];
          ++count;
        }
      }
      // The block's mean in 8.8 fixed point, so the rounding below sees its fraction.
      int u = (-38 * r - 74 * g + 112 * b) / count, v = (112 * r - 94 * g - 18 * b) / count;
      size_t at = size_t(cy) * size_t(chromaWidth) + size_t(cx);
      cb[at] = uint8_t((u + 128 * 256 + 128) >> 8);
      cr[at] = uint8_t((v + 128 * 256 + 128) >> 8);
    }
  }
  if (std::fwrite("FRAME\n", 1, 6, file) != 6 || std::fwrite(planes.data(), 1, planes.size(), file) != planes.size()) {
    error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  return true;
}

bool Y4mWriter::close(std::string& error) {
  if (!file) return true;
  bool ok = std::fflush(file) == 0 && !std::ferror(file);
  if (ownsFile) ok = std::fclose(file) == 0 && ok;
  file = nullptr;
  if (!ok) error = "cannot write '" + path + "'";
  return ok;
}
