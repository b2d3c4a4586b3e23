#pragma once
// vantrel-capture's command line: what to render (size, aspect, anti-aliasing,
// frame rate, where in the demo and for how long) and where it goes (PNG
// frames, a Y4M stream, or frame-time statistics).

#include <cstdint>
#include <string>

struct CaptureOptions {
  int width = 1024;
  int height = 768;
  // The projection's aspect as the launcher offers it; 0:0 until chosen,
  // then width:height (square pixels) is used.
  int aspectNumerator = 0;
  int aspectDenominator = 0;
  bool msaa = false;
  bool animate = false;  // sample the scene's animation tracks
  std::string sceneFile;  // a scene to view instead of the station
  bool slide = true;
  bool overlay = false;  // the statistics overlay over each frame
  // Frames per second as a fraction, so 30000/1001 and 1/30 are exact.
  int64_t fpsNumerator = 30;
  int64_t fpsDenominator = 1;
  double start = 0.0;  // seconds into the demo of the first frame
  int64_t frames = 0;  // resolved from --seconds or --frames
  std::string outDir;
  std::string y4mFile;  // "-" is standard output
  bool bench = false;
  bool help = false;

  float aspectRatio() const;
  // Seconds into the demo of frame `index`, as a performance-counter reading
  // in nanoseconds, rounded from the exact fraction.
  int64_t frameReading(int64_t index) const;
  double fps() const { return double(fpsNumerator) / double(fpsDenominator); }
};

// Parses argv[1..]. False with a one-line reason in `error` when the command
// line cannot be used; options.help asks for the usage text instead.
bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error);

const char* captureUsage();
