#pragma once
// Running vantrel-capture as a person would (its own working folder, its exit
// status, standard output and error), and reading the PNG frames it writes.

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/Picture.h"
#include "support/XvfbSession.h"

namespace capture_test {

namespace fs = std::filesystem;
using xvfb::readFile;

struct Outcome {
  int status = -1;  // exit status; 128 when it did not exit normally, -1 when stopped after 170 s
  std::string out;
  std::string err;
};

// Runs the capture tool in `folder` with `args`; stdout and stderr are kept.
inline Outcome runCapture(const std::vector<std::string>& args, const fs::path& folder) {
  const fs::path outFile = folder / ".capture-stdout", errFile = folder / ".capture-stderr";
  std::vector<std::string> command = {CAPTURE};
  command.insert(command.end(), args.begin(), args.end());
  const int status = xvfb::waitFor(xvfb::spawn(command, outFile, -1, folder, errFile), 170);
  Outcome run{status, readFile(outFile), readFile(errFile)};
  fs::remove(outFile);
  fs::remove(errFile);
  return run;
}

// A folder that holds the build's generated data/, as build/run does.
inline void linkRunData(const fs::path& folder) {
  fs::create_directory_symlink(fs::path(VANTREL_RUN_DIR) / "data", folder / "data");
}

inline const fs::path goldenDir = fs::path(VANTREL_SOURCE_DIR) / "tests" / "golden";
// Every channel one step off still passes the mean; a frame rendered 0.2 s
// late (the camera a few pixels on) gives 2 to 4 and blocks of 40 and more,
// 0.01 s late about 0.4 and 6 to 13.
inline const double meanTolerance = 1.0;
inline const double blockTolerance = 12.0;

inline void writePng(const fs::path& file, const Picture& picture) {
  stbi_write_png(file.c_str(), picture.width, picture.height, 3, picture.rgb.data(), picture.width * 3);
}

struct Difference {
  double mean = 0.0;      // mean absolute channel difference over the frame
  double blockMax = 0.0;  // largest channel difference of 16 x 16 block averages
};

inline Difference compare(const Picture& a, const Picture& b, Picture& map) {
  Difference d;
  map = a;
  double sum = 0.0;
  for (size_t i = 0; i < a.rgb.size(); ++i) {
    int delta = std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    sum += delta;
    map.rgb[i] = uint8_t(std::min(255, delta * 4));
  }
  d.mean = sum / double(a.rgb.size());
  const int block = 16;
  for (int by = 0; by < a.height; by += block)
    for (int bx = 0; bx < a.width; bx += block)
      for (int c = 0; c < 3; ++c) {
        const int bottom = std::min(by + block, a.height), right = std::min(bx + block, a.width);
        double total = 0.0;
        for (int y = by; y < bottom; ++y)
          for (int x = bx; x < right; ++x) total += int(a.at(x, y)[c]) - int(b.at(x, y)[c]);
        d.blockMax = std::max(d.blockMax, std::abs(total) / ((bottom - by) * (right - bx)));
      }
  return d;
}

// Share of pixels, and their luminance, in a scene pass (cleared to 0xF0F0F0).
struct SceneCoverage {
  double covered;  // share of the frame not at the clear colour
  double lit;      // share of the station brighter than 0.2
  double dark;     // share of the station darker than 0.04 (in shadow)
};

inline SceneCoverage measure(const Picture& scene) {
  size_t station = 0, lit = 0, dark = 0;
  for (size_t i = 0; i < scene.rgb.size(); i += 3) {
    const uint8_t* p = &scene.rgb[i];
    if (p[0] == 0xF0 && p[1] == 0xF0 && p[2] == 0xF0) continue;
    ++station;
    double luminance = (0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]) / 255.0;
    lit += luminance > 0.2;
    dark += luminance < 0.04;
  }
  const double stationPixels = double(std::max<size_t>(station, 1));
  return {double(station) / double(scene.rgb.size() / 3), double(lit) / stationPixels, double(dark) / stationPixels};
}

// A frame against its golden image tests/golden/<name>, compared as the
// golden frames are; on failure, a missing golden image or one of another
// size included, the frame and the difference are kept in `artefacts`.
inline void expectMatchesGolden(const Picture& frame, const std::string& name, const fs::path& artefacts) {
  const std::string file = fs::path(name).filename().string();
  Picture want = loadPng(goldenDir / name), map;
  const bool comparable = want.width > 0 && want.width == frame.width && want.height == frame.height;
  EXPECT_TRUE(comparable) << "no golden image " << goldenDir / name << " of the frame's size";
  const Difference d = comparable ? compare(frame, want, map) : Difference{255.0, 255.0};
  std::printf("%s: mean difference %.3f, largest block difference %.2f\n", name.c_str(), d.mean, d.blockMax);
  EXPECT_LE(d.mean, meanTolerance);
  EXPECT_LE(d.blockMax, blockTolerance);
  if (d.mean > meanTolerance || d.blockMax > blockTolerance) {
    fs::create_directories(artefacts);
    writePng(artefacts / file, frame);
    if (comparable) writePng(artefacts / ("difference-" + file), map);
    std::printf("kept in %s\n", artefacts.c_str());
  }
}

}  // namespace capture_test
