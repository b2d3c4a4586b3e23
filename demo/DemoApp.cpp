#include "demo/DemoApp.h"

#include <chrono>
#include <filesystem>
#include <cstdio>
#include <string>

#include "demo/DemoApplication.h"
#include "demo/DemoOptions.h"
#include "demo/Screenshot.h"
#include "engine/Log.h"
#include "demo/SetupDialog.h"
#include "demo/resource.h"
#include "engine/Memory.h"
#include "engine/files/ByteOrder.h"
#include "engine/files/FileManager.h"
#include "engine/files/FileManager_zip.h"
#include "engine/postfx/PostFX.h"
#include "engine/render/RenderDeviceDX9.h"
#include "engine/scene/BuiltInShaderTable.h"
#include "engine/scene/ScenePreload.h"

#ifndef VANTREL_USE_DEVELOPMENT_DIRECTORIES
#define VANTREL_USE_DEVELOPMENT_DIRECTORIES 1
#endif

const bool useDevelopmentDirectories = VANTREL_USE_DEVELOPMENT_DIRECTORIES != 0;

int chosenWidth = 640;
int chosenHeight = 480;
float chosenAspect = 1.0f;
FileManager* fileManager = nullptr;
Window demoWindow;
std::string installedDataFolder;

namespace {

const char* const workingDirectoryScene = "./data/station03.ase";
std::string installedScene;

// <prefix>/share/vantrel/ for a program in <prefix>/bin/.
std::string dataFolderBesideProgram() {
  char program[4096];
  DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
  if (length == 0 || length >= sizeof program) return std::string();
  return (std::filesystem::path(program).parent_path().parent_path() / "share" / "vantrel").string() + "/";
}

void destroyFileManager() {
  getRenderDevice()->fileManager = nullptr;
  TRACKED_DELETE(fileManager);
  fileManager = nullptr;
}

}  // namespace

bool demoFindData() {
  installedDataFolder.clear();
  demoSceneFile = workingDirectoryScene;
  std::error_code ignored;
  if (std::filesystem::is_regular_file(workingDirectoryScene, ignored)) return true;
  std::string folder = dataFolderBesideProgram();
  if (folder.empty() || !std::filesystem::is_regular_file(folder + "data/station03.ase", ignored)) return false;
  installedDataFolder = folder;
  installedScene = folder + "data/station03.ase";
  demoSceneFile = installedScene.c_str();
  return true;
}

void demoOpenData() {
  logOpen();
  initByteOrder();
  demoFindData();

  if (useDevelopmentDirectories && installedDataFolder.empty()) {
    FileManagerOS* files = TRACKED_NEW(FileManagerOS);
    files->setRoot("../../data/");
    files->addPath("../../data/textures/");
    fileManager = files;
  } else {
    FileManagerZIP* archive = TRACKED_NEW(FileManagerZIP);
    // A missing archive shows at the first load, which names the file.
    archive->open(installedDataFolder + "data.pak");
    archive->setRoot("");
    archive->addPath("textures/");
    fileManager = archive;
  }

  getRenderDevice()->fileManager = fileManager;
}

DemoApplication* demoStart(const DisplayMode& mode, const DeviceSettings& settings, int windowKind,
                           const DemoScene& shown) {
  // The scene file is read while the window, the device and the shaders are made.
  scenePreloadStart(shown.viewFile ? shown.viewFile : demoSceneFile, shown.viewFile == nullptr);
  demoWindow.create(50, 50, mode.width, mode.height, windowKind, nullptr);

  getRenderDevice()->init(demoWindow.getHandle(), mode, settings, BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL,
                          compileBuiltInShaders);

  postFXInit(float(unsigned(mode.width)), float(unsigned(mode.height)));

  DemoApplication* demo = getDemoApplication();
  demo->fileManager = fileManager;
  demo->animate = shown.animate;
  demo->slide = shown.slide;
  demo->viewing = shown.viewFile != nullptr;
  if (shown.viewFile) demoSceneFile = shown.viewFile;
  demo->init();
  return demo->scene ? demo : nullptr;
}

void demoStop() {
  getDemoApplication()->shutdown();
  destroyDemoApplication();
  postFXShutdown();
  getRenderDevice()->shutdown();
  destroyFileManager();
}

namespace {

long long steadyClockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

void demoOpenDrop(DemoApplication* demo, HDROP drop) {
  char file[4096] = "";
  DragQueryFileA(drop, 0, file, sizeof file);
  DragFinish(drop);
  const std::string name = std::filesystem::path(file).filename().string();
  if (demo->openScene(file)) {
    logPrintf("Scene: Opened '%s'.\n", file);
    SetWindowTextA(demoWindow.getHandle(), ("engine - " + name).c_str());
  } else {
    logPrintf("Scene: Couldn't open '%s': %s.\n", file, demo->sceneError.c_str());
    SetWindowTextA(demoWindow.getHandle(), ("engine - couldn't open " + name + ": " + demo->sceneError).c_str());
  }
}

namespace {

// Cancel, a launcher that could not be shown, or options that do not fit:
// nothing was created yet but the data source.
int leaveBeforeStart(int status) {
  destroyFileManager();
  modeList.clear();
  return status;
}

}  // namespace

int demoMain(HINSTANCE instance, const DemoOptions& options) {
  std::error_code missing;
  if (!options.sceneFile.empty() && !std::filesystem::is_regular_file(options.sceneFile, missing)) {
    logOpen();
    logPrintf("Scene: Couldn't open '%s': no such file.\n", options.sceneFile.c_str());
    std::fprintf(stderr, "vantrel-demo: %s: no such file\n", options.sceneFile.c_str());
    return 2;
  }
  if (GetSystemMetrics(SM_CMONITORS) == 0) {
    std::fputs("vantrel-demo: no display to open a window on; start it from a desktop session, under Xvfb (see "
               "the README), or render frames headless with vantrel-capture\n",
               stderr);
    return 2;
  }

  demoOpenData();

  RenderDeviceDX9* device = getRenderDevice();
  modeList = device->getDisplayModes();
  selectedMode = findDefaultMode(modeList);

  DEVMODEA desktop = {};
  desktop.dmSize = sizeof desktop;
  if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &desktop)) desktop.dmPelsWidth = desktop.dmPelsHeight = 0;
  std::string error;
  if (!applyDemoOptions(options, int(desktop.dmPelsWidth), int(desktop.dmPelsHeight), error)) {
    std::fprintf(stderr, "vantrel-demo: %s\n", error.c_str());
    return leaveBeforeStart(2);
  }

  if (options.noLauncher) {
    if (modeList.count == 0) {
      std::fputs("vantrel-demo: the display offers no mode to start in\n", stderr);
      return leaveBeforeStart(2);
    }
  } else if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SETUP), nullptr, SetupDialog, 0) != 1) {
    return leaveBeforeStart(0);
  }

  chosenAspect = aspectRatios[selectedAspect][0] / aspectRatios[selectedAspect][1];
  const DisplayMode chosen = modeList[uint32_t(selectedMode)];
  chosenWidth = chosen.width;
  chosenHeight = chosen.height;

  DemoScene shown;
  shown.viewFile = options.sceneFile.empty() ? nullptr : options.sceneFile.c_str();
  shown.slide = options.slide;
  shown.animate = options.animate;
  DemoApplication* demo = demoStart(DisplayMode{chosenWidth, chosenHeight, 32, chosen.refreshRate},
                                    DeviceSettings{fullscreen, vsync, antiAlias ? 4 : 0, 1, chosenAspect},
                                    fullscreen ? 0 : 1, shown);
  if (!demo) {
    std::fprintf(stderr, "vantrel-demo: %s: %s\n", options.sceneFile.c_str(), getDemoApplication()->sceneError.c_str());
    demoStop();
    modeList.clear();
    return 2;
  }
  DragAcceptFiles(demoWindow.getHandle(), TRUE);

  long long frames = 0;
  long long firstFrameClock = 0;
  bool ending = false;
  bool screenshotWanted = false;
  MSG message;
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) break;
      if (message.message == WM_KEYDOWN && message.wParam == VK_F12) screenshotWanted = true;
      if (message.message == WM_KEYDOWN && message.wParam == VK_F1) demo->overlay.toggle();
      if (message.message == WM_DROPFILES) {
        demoOpenDrop(demo, reinterpret_cast<HDROP>(message.wParam));
        continue;
      }
      demo->handleMessage(message);
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    // Once the Escape that ends a counted run is on its way, no frame beyond
    // the count is drawn.
    if (ending) continue;
    demo->frame();
    if (screenshotWanted) {
      saveScreenshot(device->device);
      screenshotWanted = false;
    }
    if (++frames == 1) firstFrameClock = steadyClockNs();
    const bool due = (options.frames > 0 && frames >= options.frames) ||
                     (options.seconds > 0.0 && double(demo->time) >= options.seconds);
    if (due && !ending) {
      PostMessageA(demoWindow.getHandle(), WM_KEYDOWN, VK_ESCAPE, 1);
      ending = true;
    }
  }

  demoStop();
  modeList.clear();

  if (options.endsByItself()) {
    std::printf("vantrel-demo: frames=%lld first-frame-clock-ns=%lld\n", frames, firstFrameClock);
    std::fflush(stdout);
  }
  return 0;
}
