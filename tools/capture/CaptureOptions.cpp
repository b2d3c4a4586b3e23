#include "tools/capture/CaptureOptions.h"

#include <cmath>
#include <cstdio>

#include "demo/CommandLine.h"
#include "demo/SetupDialog.h"

namespace {

const int minSize = 16;  // the post-processing's sixteenth-size targets need one pixel
const int maxSize = 8192;
const int64_t maxFrames = 10000000;
const int64_t maxFpsPart = 1000000;
const double maxFps = 1000.0;
const double maxSeconds = 1.0e6;

bool takesValue(const std::string& name) {
  for (const char* option : {"--width", "--height", "--aspect", "--fps", "--start", "--seconds", "--frames", "--out",
                             "--y4m", "--scene"})
    if (name == option) return true;
  return false;
}

}  // namespace

float CaptureOptions::aspectRatio() const {
  if (aspectNumerator > 0 && aspectDenominator > 0) return float(aspectNumerator) / float(aspectDenominator);
  return float(width) / float(height);
}

int64_t CaptureOptions::frameReading(int64_t index) const {
  const double time = start + double(index) * double(fpsDenominator) / double(fpsNumerator);
  return std::llround(time * 1.0e9);
}

bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error) {
  options = CaptureOptions();
  double secondsWanted = -1.0;
  int64_t framesWanted = -1;

  CommandLine line(argc, argv);
  while (line.next()) {
    const std::string& name = line.name();
    const char* value = nullptr;
    if (line.is("--help")) {
      if (!line.noValue(error)) return false;
      options.help = true;
      return true;
    } else if (line.is("--msaa") || line.is("--bench") || line.is("--animate")) {
      if (!line.noValue(error)) return false;
      (line.is("--msaa") ? options.msaa : line.is("--bench") ? options.bench : options.animate) = true;
    } else if (line.is("--no-slide")) {
      if (!line.noValue(error)) return false;
      options.slide = false;
    } else if (line.is("--overlay")) {
      if (!line.noValue(error)) return false;
      options.overlay = true;
    } else if (!takesValue(name)) {
      error = line.unknown();
      return false;
    } else if (!(value = line.value(error))) {
      return false;
    } else if (line.is("--width") || line.is("--height")) {
      int64_t size = 0;
      if (!readWholeNumber(value, minSize, maxSize, size)) {
        error = optionError("%s needs a whole number of pixels from 16 to 8192, not '%s'", name, value);
        return false;
      }
      (line.is("--width") ? options.width : options.height) = int(size);
    } else if (line.is("--aspect")) {
      int aspect = readAspect(value);
      if (aspect < 0) {
        error = "--aspect must be one of " + aspectChoices() + ", not '" + value + "'";
        return false;
      }
      options.aspectNumerator = int(aspectRatios[aspect][0]);
      options.aspectDenominator = int(aspectRatios[aspect][1]);
    } else if (line.is("--fps")) {
      std::string text = value;
      size_t slash = text.find('/');
      std::string top = text.substr(0, slash), bottom = slash == std::string::npos ? "1" : text.substr(slash + 1);
      int64_t numerator = 0, denominator = 0;
      if (!readWholeNumber(top.c_str(), 1, maxFpsPart, numerator) ||
          !readWholeNumber(bottom.c_str(), 1, maxFpsPart, denominator) ||
          double(numerator) / double(denominator) > maxFps) {
        error = optionError("%s needs frames per second as N or N/D (for example 30 or 30000/1001), above 0 and at "
                            "most 1000, not '%s'",
                            name, value);
        return false;
      }
      options.fpsNumerator = numerator;
      options.fpsDenominator = denominator;
    } else if (line.is("--start")) {
      if (!readSeconds(value, 0.0, maxSeconds, options.start)) {
        error = optionError("%s needs seconds into the demo, 0 or more (for example 12.5), not '%s'", name, value);
        return false;
      }
    } else if (line.is("--seconds")) {
      if (!readSeconds(value, 0.0, maxSeconds, secondsWanted) || secondsWanted <= 0.0) {
        error = optionError("%s needs a length in seconds above 0, not '%s'", name, value);
        return false;
      }
    } else if (line.is("--frames")) {
      if (!readWholeNumber(value, 1, maxFrames, framesWanted)) {
        error = optionError("%s needs a whole number of frames from 1 to 10000000, not '%s'", name, value);
        return false;
      }
    } else if (line.is("--out")) {
      if (!*value) {
        error = "--out needs a folder name";
        return false;
      }
      options.outDir = value;
    } else if (line.is("--scene")) {
      if (!*value) {
        error = "--scene needs a file name";
        return false;
      }
      options.sceneFile = value;
    } else if (line.is("--y4m")) {
      if (!*value) {
        error = "--y4m needs a file name, or - for standard output";
        return false;
      }
      options.y4mFile = value;
    }
  }

  if (secondsWanted > 0.0 && framesWanted > 0) {
    error = "give --seconds or --frames, not both";
    return false;
  }
  if (framesWanted > 0) {
    options.frames = framesWanted;
  } else {
    if (secondsWanted < 0.0) secondsWanted = 10.0;
    // Every frame that starts inside the span; a tiny tolerance keeps 10 s at
    // 30 fps at 300 frames despite rounding.
    double count = std::ceil(secondsWanted * options.fps() - 1e-9);
    if (count < 1.0) count = 1.0;
    if (count > double(maxFrames)) {
      error = "--seconds asks for more than 10000000 frames at this frame rate";
      return false;
    }
    options.frames = int64_t(count);
  }
  if (options.bench && (!options.outDir.empty() || !options.y4mFile.empty())) {
    error = "--bench measures frame times and writes no images; leave out --out and --y4m";
    return false;
  }
  if (!options.bench && options.outDir.empty() && options.y4mFile.empty()) {
    error = "nothing to write: give --out DIR, --y4m FILE or --bench";
    return false;
  }
  return true;
}

const char* captureUsage() {
  return "Usage: vantrel-capture [options] (--out DIR | --y4m FILE | --bench)\n"
         "Renders the demo without a window or launcher, at a fixed frame rate, so the same\n"
         "options give the same frames. Run it from the folder that holds data/ (build/run);\n"
         "it writes log.txt there like the demo.\n"
         "\n"
         "  --width N        frame width in pixels, 16 to 8192 (default 1024)\n"
         "  --height N       frame height in pixels, 16 to 8192 (default 768)\n"
         "  --aspect R       projection aspect as the launcher offers it: 4:3, 16:10, 16:9 or 5:4\n"
         "                   (default width:height, square pixels)\n"
         "  --msaa           4x multisampling, as the launcher's Anti-Alias\n"
         "  --animate        play the scene's animation tracks\n"
         "  --scene FILE     view that ASE scene instead of the station, the paths fitted to it\n"
         "  --no-slide       no slide projected through the spot light\n"
         "  --overlay        draw the statistics overlay (F1 in the demo) into the frames\n"
         "  --fps R          frames per second, N or N/D, at most 1000 (default 30)\n"
         "  --start S        seconds into the demo of the first frame (default 0)\n"
         "  --seconds S      length to render in seconds (default 10)\n"
         "  --frames N       number of frames instead of --seconds\n"
         "  --out DIR        write frame_000000.png, frame_000001.png, ... into DIR\n"
         "  --y4m FILE       write a Y4M video stream (4:2:0); - for standard output, e.g.\n"
         "                   vantrel-capture --y4m - | ffmpeg -i - demo.mp4\n"
         "  --bench          write nothing; print the first frame's time, the median and the\n"
         "                   1% high (mean of the slowest 1%) of the frames after it\n"
         "  --help           this text\n"
         "\n"
         "Progress goes to standard error. Exit status: 0 done, 1 a file could not be\n"
         "written, 2 bad options or no data/ here; the engine's own fatal errors exit 255.\n";
}
