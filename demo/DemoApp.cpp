#include "demo/DemoApp.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "demo/DemoApplication.h"
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

#ifndef VANTREL_USE_DEVELOPMENT_DIRECTORIES
#define VANTREL_USE_DEVELOPMENT_DIRECTORIES 1
#endif

const bool useDevelopmentDirectories = VANTREL_USE_DEVELOPMENT_DIRECTORIES != 0;

int chosenWidth = 640;
int chosenHeight = 480;
float chosenAspect = 1.0f;
FileManager* fileManager = nullptr;
Window demoWindow;

namespace {

// VANTREL_DEMO_FRAMES as a count; 0 when unset or not a positive number.
long automatedFrames() {
  const char* text = std::getenv("VANTREL_DEMO_FRAMES");
  if (!text || !*text) return 0;
  char* end = nullptr;
  long frames = std::strtol(text, &end, 10);
  return (*end == '\0' && frames > 0) ? frames : 0;
}

// The launcher as a person who presses Enter at once: OK reaches the dialog
// procedure through the same command the button sends.
INT_PTR CALLBACK acceptingSetupDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  INT_PTR result = SetupDialog(dialog, message, wParam, lParam);
  if (message == WM_INITDIALOG) PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return result;
}

void destroyFileManager() {
  getRenderDevice()->fileManager = nullptr;
  TRACKED_DELETE(fileManager);
  fileManager = nullptr;
}

}  // namespace

void demoOpenData() {
  logOpen();
  initByteOrder();

  if (useDevelopmentDirectories) {
    FileManagerOS* files = TRACKED_NEW(FileManagerOS);
    files->setRoot("../../data/");
    files->addPath("../../data/textures/");
    fileManager = files;
  } else {
    FileManagerZIP* archive = TRACKED_NEW(FileManagerZIP);
    // A missing archive shows at the first load, which names the file.
    archive->open("data.pak");
    archive->setRoot("");
    archive->addPath("textures/");
    fileManager = archive;
  }

  getRenderDevice()->fileManager = fileManager;
}

DemoApplication* demoStart(const DisplayMode& mode, const DeviceSettings& settings, int windowKind) {
  demoWindow.create(50, 50, mode.width, mode.height, windowKind, nullptr);

  getRenderDevice()->init(demoWindow.getHandle(), mode, settings, BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL,
                          compileBuiltInShaders);

  postFXInit(float(unsigned(mode.width)), float(unsigned(mode.height)));

  DemoApplication* demo = getDemoApplication();
  demo->fileManager = fileManager;
  demo->init();
  return demo;
}

void demoStop() {
  getDemoApplication()->shutdown();
  destroyDemoApplication();
  postFXShutdown();
  getRenderDevice()->shutdown();
  destroyFileManager();
}

int demoMain(HINSTANCE instance) {
  const long frameLimit = automatedFrames();

  demoOpenData();

  RenderDeviceDX9* device = getRenderDevice();
  modeList = device->getDisplayModes();
  selectedMode = findDefaultMode(modeList);

  INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SETUP), nullptr,
                                   frameLimit ? acceptingSetupDialog : SetupDialog, 0);
  if (result != 1) {
    // Cancel, or no launcher at all (-1): nothing was created to undo.
    destroyFileManager();
    modeList.clear();
    return 0;
  }

  chosenAspect = aspectRatios[selectedAspect][0] / aspectRatios[selectedAspect][1];
  const DisplayMode chosen = modeList[uint32_t(selectedMode)];
  chosenWidth = chosen.width;
  chosenHeight = chosen.height;

  DemoApplication* demo = demoStart(DisplayMode{chosenWidth, chosenHeight, 32, chosen.refreshRate},
                                    DeviceSettings{fullscreen, vsync, antiAlias ? 4 : 0, 1, chosenAspect},
                                    fullscreen ? 0 : 1);

  long frames = 0;
  long long firstFrameClock = 0;
  MSG message;
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) break;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    demo->frame();
    if (frameLimit) {
      if (++frames == 1)
        firstFrameClock = std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::chrono::steady_clock::now().time_since_epoch())
                              .count();
      if (frames == frameLimit) PostMessageA(demoWindow.getHandle(), WM_KEYDOWN, VK_ESCAPE, 1);
    }
  }

  demoStop();
  modeList.clear();

  if (frameLimit) {
    std::printf("vantrel-demo: frames=%ld first-frame-clock-ns=%lld\n", frames, firstFrameClock);
    std::fflush(stdout);
  }
  return 0;
}
