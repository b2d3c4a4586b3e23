#pragma once
// The process's life on its one thread: log, data source, display modes, the
// launcher, window, render device, post-processing, the demo object and its
// message-pumping main loop, then everything torn down in reverse. The
// launcher's own choices live in demo/SetupDialog.h.
//
// Automation (benchmarks and tests only): when the environment variable
// VANTREL_DEMO_FRAMES holds a positive count N, the launcher is answered with
// OK at its defaults as soon as it opens, the window gets Escape after N
// frames (the normal way out), and on exit one line goes to stdout:
//   vantrel-demo: frames=N first-frame-clock-ns=T
// T is the steady (monotonic) clock when the first frame had been presented,
// comparable with the same clock read in another process.

#include "engine/Window.h"
#include "engine/render/DeviceTypes.h"
#include "platform/win32/windows.h"

class DemoApplication;
class FileManager;

// Loose files under ../../data/ (true) or the archive data.pak, fixed when
// the program is built (CMake option VANTREL_USE_DEVELOPMENT_DIRECTORIES).
extern const bool useDevelopmentDirectories;

extern int chosenWidth;
extern int chosenHeight;
extern float chosenAspect;
// Owned by start-up, lent to the render device and the demo object.
extern FileManager* fileManager;
// The one window; its destructor runs at process exit.
extern Window demoWindow;

// The entry point's work: returns 0 on every path that returns (Cancel
// included); failures inside end the process through fatalError.
int demoMain(HINSTANCE instance);

// demoMain's start-up and shutdown in pieces, for programs that make the
// launcher's choices themselves (the capture tool renders without it).
// Before the launcher: the log, byte order and the data source, lent to the
// render device.
void demoOpenData();
// After the launcher: the window (kind as Window::create takes it), the
// render device, post-processing and the initialised demo object.
DemoApplication* demoStart(const DisplayMode& mode, const DeviceSettings& settings, int windowKind);
// What demoOpenData and demoStart made, torn down in reverse.
void demoStop();
