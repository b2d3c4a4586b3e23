#include "tools/capture/CaptureOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo/SetupDialog.h"

namespace {

const int minSize = 16;  // the post-processing's sixteenth-size targets need one pixel
const int maxSize = 8192;
const int64_t maxFrames = 10000000;
const int64_t maxFpsPart = 1000000;
const double maxFps = 1000.0;
const double maxSeconds = 1.0e6;

// Plain digits only: no sign, blanks, or trailing text.
bool wholeNumber(const char* text, int64_t low, int64_t high, int64_t& value) {
  if (!text || *text < '0' || *text > '9') return false;
  errno = 0;
  char* end = nullptr;
  long long parsed = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

// Decimal seconds: digits with an optional fraction, no sign or exponent.
bool seconds(const char* text, double low, double high, double& value) {
  if (!text || !*text) return false;
  for (const char* c = text; *c; ++c)
    if ((*c < '0' || *c > '9') && *c != '.') return false;
  char* end = nullptr;
  double parsed = std::strtod(text, &end);
  if (*end != '\0' || !std::isfinite(parsed) || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

std::string format(const char* pattern, const char* option, const char* text) {
  char line[512];
  std::snprintf(line, sizeof line, pattern, option, text);
  return line;
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

  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    const char* value = nullptr;
    bool inlineValue = false;
    if (name.rfind("--", 0) == 0) {
      size_t equals = name.find('=');
      if (equals != std::string::npos) {
        value = argv[i] + equals + 1;
        name.resize(equals);
        inlineValue = true;
      }
    }
    auto noValue = [&]() {
      if (inlineValue) error = name + " takes no value, but was given '" + value + "'";
      return !inlineValue;
    };
    auto needValue = [&]() {
      if (!inlineValue) {
        if (i + 1 >= argc) {
          error = name + " needs a value";
          return false;
        }
        value = argv[++i];
      }
      return true;
    };

    if (name == "--help" || name == "-h") {
      if (!noValue()) return false;
      options.help = true;
      return true;
    } else if (name == "--msaa") {
      if (!noValue()) return false;
      options.msaa = true;
    } else if (name == "--bench") {
      if (!noValue()) return false;
      options.bench = true;
    } else if (name == "--width" || name == "--height") {
      if (!needValue()) return false;
      int64_t size = 0;
      if (!wholeNumber(value, minSize, maxSize, size)) {
        error = format("%s needs a whole number of pixels from 16 to 8192, not '%s'", name.c_str(), value);
        return false;
      }
      (name == "--width" ? options.width : options.height) = int(size);
    } else if (name == "--aspect") {
      if (!needValue()) return false;
      bool found = false;
      std::string offered;
      // The launcher's list, written as its combo box shows it.
      for (const auto& ratio : aspectRatios) {
        char text[32];
        std::snprintf(text, sizeof text, "%d:%d", int(ratio[0]), int(ratio[1]));
        offered += offered.empty() ? text : std::string(", ") + text;
        if (std::strcmp(text, value) == 0) {
          options.aspectNumerator = int(ratio[0]);
          options.aspectDenominator = int(ratio[1]);
          found = true;
        }
      }
      if (!found) {
        error = "--aspect must be one of " + offered + ", not '" + value + "'";
        return false;
      }
    } else if (name == "--fps") {
      if (!needValue()) return false;
      std::string text = value;
      size_t slash = text.find('/');
      std::string top = text.substr(0, slash), bottom = slash == std::string::npos ? "1" : text.substr(slash + 1);
      int64_t numerator = 0, denominator = 0;
      if (!wholeNumber(top.c_str(), 1, maxFpsPart, numerator) ||
          !wholeNumber(bottom.c_str(), 1, maxFpsPart, denominator) ||
          double(numerator) / double(denominator) > maxFps) {
        error = format("%s needs frames per second as N or N/D (for example 30 or 30000/1001), above 0 and at most "
                       "1000, not '%s'",
                       name.c_str(), value);
        return false;
      }
      options.fpsNumerator = numerator;
      options.fpsDenominator = denominator;
    } else if (name == "--start") {
      if (!needValue()) return false;
      if (!seconds(value, 0.0, maxSeconds, options.start)) {
        error = format("%s needs seconds into the demo, 0 or more (for example 12.5), not '%s'", name.c_str(), value);
        return false;
      }
    } else if (name == "--seconds") {
      if (!needValue()) return false;
      if (!seconds(value, 0.0, maxSeconds, secondsWanted) || secondsWanted <= 0.0) {
        error = format("%s needs a length in seconds above 0, not '%s'", name.c_str(), value);
        return false;
      }
    } else if (name == "--frames") {
      if (!needValue()) return false;
      if (!wholeNumber(value, 1, maxFrames, framesWanted)) {
        error = format("%s needs a whole number of frames from 1 to 10000000, not '%s'", name.c_str(), value);
        return false;
      }
    } else if (name == "--out") {
      if (!needValue()) return false;
      if (!*value) {
        error = "--out needs a folder name";
        return false;
      }
      options.outDir = value;
    } else if (name == "--y4m") {
      if (!needValue()) return false;
      if (!*value) {
        error = "--y4m needs a file name, or - for standard output";
        return false;
      }
      options.y4mFile = value;
    } else {
      error = name.rfind("-", 0) == 0 ? "unknown option '" + name + "'"
                                      : "unexpected argument '" + name + "' (options start with --)";
      return false;
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
