#include "demo/DemoOptions.h"

#include <cstdio>

#include "demo/CommandLine.h"
#include "demo/SetupDialog.h"

namespace {

const int64_t maxFrames = 1000000000;
const double maxSeconds = 1.0e7;

// "WxH" or "WxH@HZ", plain digits.
bool readMode(const char* text, int& width, int& height, int& refreshRate) {
  std::string mode = text;
  size_t x = mode.find('x');
  size_t at = mode.find('@');
  if (x == std::string::npos || (at != std::string::npos && at < x)) return false;
  std::string w = mode.substr(0, x);
  std::string h = mode.substr(x + 1, at == std::string::npos ? std::string::npos : at - x - 1);
  int64_t values[3] = {0, 0, 0};
  if (!readWholeNumber(w.c_str(), 1, 16384, values[0]) || !readWholeNumber(h.c_str(), 1, 16384, values[1]))
    return false;
  if (at != std::string::npos && !readWholeNumber(mode.c_str() + at + 1, 1, 1000, values[2])) return false;
  width = int(values[0]);
  height = int(values[1]);
  refreshRate = int(values[2]);
  return true;
}

// A switch and its "--no-" twin, or the two words of a pair, as a choice.
bool readSwitch(const CommandLine& line, const char* on, const char* off, int& choice) {
  if (line.is(on)) choice = 1;
  else if (line.is(off)) choice = 0;
  else return false;
  return true;
}

}  // namespace

bool parseDemoOptions(int argc, char** argv, DemoOptions& options, std::string& error) {
  options = DemoOptions();
  CommandLine line(argc, argv);
  while (line.next()) {
    const std::string& name = line.name();
    if (line.is("--help") || line.is("--no-launcher") || line.is("--animate") || line.is("--no-slide") ||
        readSwitch(line, "--fullscreen", "--windowed", options.fullscreen) ||
        readSwitch(line, "--vsync", "--no-vsync", options.vsync) || readSwitch(line, "--msaa", "--no-msaa", options.msaa)) {
      if (!line.noValue(error)) return false;
      if (line.is("--help")) {
        options.help = true;
        return true;
      }
      if (line.is("--no-launcher")) options.noLauncher = true;
      if (line.is("--animate")) options.animate = true;
      if (line.is("--no-slide")) options.slide = false;
      continue;
    }
    if (!line.is("--mode") && !line.is("--aspect") && !line.is("--frames") && !line.is("--seconds") &&
        !line.is("--scene")) {
      error = line.unknown();
      return false;
    }
    const char* value = line.value(error);
    if (!value) return false;
    if (line.is("--scene")) {
      if (!*value) {
        error = "--scene needs a file name";
        return false;
      }
      options.sceneFile = value;
    } else if (line.is("--mode")) {
      if (!readMode(value, options.width, options.height, options.refreshRate)) {
        error = optionError("%s needs a size as WxH or WxH@HZ (for example 1280x720 or 1024x768@85), not '%s'", name,
                            value);
        return false;
      }
    } else if (line.is("--aspect")) {
      options.aspect = readAspect(value);
      if (options.aspect < 0) {
        error = "--aspect must be one of " + aspectChoices() + ", not '" + value + "'";
        return false;
      }
    } else if (line.is("--frames")) {
      if (!readWholeNumber(value, 1, maxFrames, options.frames)) {
        error = optionError("%s needs a whole number of frames from 1 up, not '%s'", name, value);
        return false;
      }
    } else if (!readSeconds(value, 0.0, maxSeconds, options.seconds) || options.seconds <= 0.0) {
      error = optionError("%s needs a length in seconds above 0 (for example 12.5), not '%s'", name, value);
      return false;
    }
  }
  if (options.frames > 0 && options.seconds > 0.0) {
    error = "give --frames or --seconds, not both";
    return false;
  }
  return true;
}

bool applyDemoOptions(const DemoOptions& options, int desktopWidth, int desktopHeight, std::string& error) {
  if (options.fullscreen >= 0) fullscreen = options.fullscreen != 0;
  if (options.vsync >= 0) vsync = options.vsync != 0;
  if (options.msaa >= 0) antiAlias = options.msaa != 0;
  if (options.aspect >= 0) selectedAspect = options.aspect;
  if (options.width == 0) return true;

  // The listed mode of that size: the one asked for, else the highest rate.
  int found = -1;
  for (uint32_t i = 0; i < modeList.count; ++i) {
    const DisplayMode& m = modeList[i];
    if (m.width != options.width || m.height != options.height) continue;
    if (options.refreshRate ? m.refreshRate == options.refreshRate
                            : found < 0 || m.refreshRate > modeList[uint32_t(found)].refreshRate)
      found = int(i);
  }
  char mode[64];
  std::snprintf(mode, sizeof mode, options.refreshRate ? "%dx%d@%d" : "%dx%d", options.width, options.height,
                options.refreshRate);
  if (found >= 0) {
    selectedMode = found;
    return true;
  }
  if (fullscreen) {
    error = std::string("--mode ") + mode + " is not a fullscreen mode this display offers" +
            (modeList.count ? " (the launcher lists them; --windowed takes any size that fits the desktop)" : "");
    return false;
  }
  if ((desktopWidth > 0 && options.width > desktopWidth) || (desktopHeight > 0 && options.height > desktopHeight)) {
    char desktop[64];
    std::snprintf(desktop, sizeof desktop, "%dx%d", desktopWidth, desktopHeight);
    error = std::string("--mode ") + mode + " does not fit the " + desktop + " desktop";
    return false;
  }
  modeList.append(DisplayMode{options.width, options.height, 32, options.refreshRate ? options.refreshRate : 60});
  selectedMode = int(modeList.count) - 1;
  return true;
}

const char* demoUsage() {
  return "Usage: vantrel-demo [options]\n"
         "Shows the launcher, then the demo until Escape. Run it from the folder that holds\n"
         "data/ (the build's run folder, build/run) or install it; it writes log.txt and\n"
         "screenshots (F12) into the working directory.\n"
         "\n"
         "  --no-launcher        start at once, with the launcher's defaults or the options below\n"
         "  --mode WxH[@HZ]      display mode: one the display offers for fullscreen, any size\n"
         "                       that fits the desktop windowed\n"
         "  --windowed           in a window\n"
         "  --fullscreen         fullscreen (the launcher's default)\n"
         "  --vsync, --no-vsync  wait for the display's refresh, or not\n"
         "  --msaa, --no-msaa    4x anti-aliasing, or not\n"
         "  --aspect R           projection aspect: 4:3, 16:10, 16:9 or 5:4\n"
         "  --animate            play the scene's animation tracks\n"
         "  --scene FILE         view that ASE scene instead of the station: its colours and\n"
         "                       bitmaps, the demo's light and paths fitted to its size;\n"
         "                       dropping a file on the window opens it too\n"
         "  --no-slide           no slide projected through the spot light\n"
         "  --frames N           end after N frames\n"
         "  --seconds S          end after S seconds\n"
         "  --help               this text\n"
         "\n"
         "With the launcher shown, the display options preselect its controls.\n"
         "Keys: F12 screenshot, F2 free camera (drag to orbit, wheel to zoom, W/A/S/D/Q/E\n"
         "to move, Home back to the path), Escape ends.\n"
         "Exit status: 0 done, 2 bad options, a scene that cannot be shown or no display;\n"
         "the engine's own fatal errors exit 255.\n";
}
