#pragma once
// vantrel-demo's command line. Without options the demo starts as it always
// has: the launcher, then the demo until Escape. The display options either
// preselect the launcher's controls or, with --no-launcher, stand in for it.

#include <cstdint>
#include <string>

#include "engine/Array.h"
#include "engine/render/DeviceTypes.h"

struct DemoOptions {
  bool help = false;
  bool noLauncher = false;
  // --mode WxH[@HZ]; 0 where not given.
  int width = 0;
  int height = 0;
  int refreshRate = 0;
  // -1 where not given, else the choice (0 or 1).
  int fullscreen = -1;
  int vsync = -1;
  int msaa = -1;
  int aspect = -1;  // index into aspectRatios
  bool animate = false;
  // --scene: a scene file to view instead of the station; --no-slide.
  std::string sceneFile;
  bool slide = true;
  // Where the demo ends by itself (0: only on Escape or the close box).
  int64_t frames = 0;
  double seconds = 0.0;

  bool endsByItself() const { return frames > 0 || seconds > 0.0; }
};

// Parses argv[1..]. False with a one-line reason in `error` when the command
// line cannot be used; options.help asks for the usage text instead.
bool parseDemoOptions(int argc, char** argv, DemoOptions& options, std::string& error);

// Puts the options into the launcher's choices (SetupDialog.h), whose modes
// must be listed already. --mode must be one of the listed modes for a
// fullscreen start; a windowed one may be any size that fits the desktop
// (desktopWidth x desktopHeight), which joins the list if it is not there.
// False with a one-line reason otherwise.
bool applyDemoOptions(const DemoOptions& options, int desktopWidth, int desktopHeight, std::string& error);

const char* demoUsage();
