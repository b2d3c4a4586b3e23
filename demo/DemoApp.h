#pragma once
// The process's life on its one thread: log, data source, display modes, the
// launcher, window, render device, post-processing, the demo object and its
// message-pumping main loop, then everything torn down in reverse. The
// launcher's own choices live in demo/SetupDialog.h, the command line in
// demo/DemoOptions.h.
//
// A run that ends by itself (--frames or --seconds) gets Escape once it is
// due (the normal way out) and on exit writes one line to stdout:
//   vantrel-demo: frames=N first-frame-clock-ns=T
// T is the steady (monotonic) clock when the first frame had been presented,
// comparable with the same clock read in another process.

#include <string>

#include "engine/Window.h"
#include "engine/render/DeviceTypes.h"
#include "platform/win32/windows.h"

class DemoApplication;
class FileManager;
struct DemoOptions;

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

// The entry point's work: 0 on every path that runs the demo or leaves the
// launcher (Cancel included), 2 when there is no display or the options do
// not fit it (one line on stderr says why); failures inside end the process
// through fatalError.
int demoMain(HINSTANCE instance, const DemoOptions& options);

// Where the data is: the working directory when it holds the scene
// (data/station03.ase, as in the build's run folder), else the data installed
// beside the program (<prefix>/share/vantrel/: data.pak and the scene), which
// is then read from its archive whatever the build's switch says. False when
// neither holds the scene; demoSceneFile names what was found.
bool demoFindData();
// The installed data folder in use (ends with '/'), empty when the working
// directory's data is used.
extern std::string installedDataFolder;

// demoMain's start-up and shutdown in pieces, for programs that make the
// launcher's choices themselves (the capture tool renders without it).
// Before the launcher: the log, byte order and the data source, lent to the
// render device.
void demoOpenData();
// What the demo shows: its station, or a scene file of one's own (viewFile,
// framed by the scaled paths, the slide projected or not); animated or still.
struct DemoScene {
  const char* viewFile = nullptr;
  bool slide = true;
  bool animate = false;
};

// After the launcher: the window (kind as Window::create takes it), the
// render device, post-processing and the initialised demo object. Null when
// a scene to view cannot be used: the demo object's sceneError says why, and
// demoStop takes down what was started.
DemoApplication* demoStart(const DisplayMode& mode, const DeviceSettings& settings, int windowKind,
                           const DemoScene& scene = DemoScene());
// What demoOpenData and demoStart made, torn down in reverse.
void demoStop();

// A drop on the demo's window (WM_DROPFILES): its first file opened as the
// scene to view, the drop finished. A file that cannot be used leaves the
// scene as it was; log.txt and the window's title say why.
void demoOpenDrop(DemoApplication* demo, HDROP drop);
