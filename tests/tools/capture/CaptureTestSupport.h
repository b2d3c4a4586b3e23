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
  Outcome run;
  run.status = xvfb::waitFor(xvfb::spawn(command, outFile, -1, folder, errFile), 170);
  run.out = readFile(outFile);
  run.err = readFile(errFile);
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

// Kept after the test, next to its scratch folders.
inline fs::path artefactDir(const char* name) {
  fs::path dir = fs::current_path() / name;
  fs::create_directories(dir);
  return dir;
}

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
  for (int by = 0; by < a.height; by += block) {
    for (int bx = 0; bx < a.width; bx += block) {
      for (int c = 0; c < 3; ++c) {
        double total = 0.0;
        int count = 0;
        for (int y = by; y < std::min(by + block, a.height); ++y) {
          for (int x = bx; x < std::min(bx + block, a.width); ++x) {
            size_t at = (size_t(y) * size_t(a.width) + size_t(x)) * 3 + size_t(c);
            total += int(a.rgb[at]) - int(b.rgb[at]);
            ++count;
          }
        }
        d.blockMax = std::max(d.blockMax, std::abs(total) / count);
      }
    }
  }
  return d;
}

// A frame against a golden image of its own in tests/golden/<name>: compared
// as the golden frames are; on failure the frame and the difference are kept
// in `artefacts`. A missing golden image is written there for review.
inline void expectMatchesGolden(const Picture& frame, const std::string& name, const fs::path& artefacts) {
  Picture want = loadPng(goldenDir / name);
  ASSERT_GT(want.width, 0) << "no golden image " << goldenDir / name << "; the frame is in " << artefacts;
  ASSERT_EQ(frame.width, want.width);
  ASSERT_EQ(frame.height, want.height);
  Picture map;
  Difference d = compare(frame, want, map);
  std::printf("%s: mean difference %.3f, largest block difference %.2f\n", name.c_str(), d.mean, d.blockMax);
  EXPECT_LE(d.mean, meanTolerance);
  EXPECT_LE(d.blockMax, blockTolerance);
  if (d.mean > meanTolerance || d.blockMax > blockTolerance)
    writePng(artefacts / ("difference-" + fs::path(name).filename().string()), map);
}

}  // namespace capture_test
