#pragma once
// Where captured frames go: numbered PNG files in a folder, or one Y4M video
// stream (4:2:0, BT.601 studio range, the layout video tools read by default).

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// frame_000000.png, frame_000001.png, ... in one folder.
class PngFrameWriter {
 public:
  // Creates the folder when missing; false with the reason when it cannot.
  bool open(const std::string& folder, std::string& error);
  bool write(int64_t index, const std::vector<uint8_t>& rgb, int width, int height, std::string& error);

  static std::string fileName(int64_t index);

 private:
  std::string folder;
};

class Y4mWriter {
 public:
  Y4mWriter() = default;
  ~Y4mWriter();
  Y4mWriter(const Y4mWriter&) = delete;
  Y4mWriter& operator=(const Y4mWriter&) = delete;

  // "-" is standard output. The pixel aspect makes players show the frame at
  // aspectNumerator:aspectDenominator whatever its pixel size.
  bool open(const std::string& path, int width, int height, int64_t fpsNumerator, int64_t fpsDenominator,
            int aspectNumerator, int aspectDenominator, std::string& error);
  bool write(const std::vector<uint8_t>& rgb, std::string& error);
  // Flushes and closes; false when anything written was lost.
  bool close(std::string& error);

 private:
  FILE* file = nullptr;
  bool ownsFile = false;
  std::string path;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> planes;  // one frame: Y, then Cb, then Cr
};
