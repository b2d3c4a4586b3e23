#pragma once
// Shared pieces of the render device tests: a fixture that gives every case
// a fresh recording Direct3D and a fresh device, and builders for small image
// files (BMP and DDS) written into the test's scratch folder.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Log.h"
#include "engine/files/FileManager.h"
#include "engine/render/RenderDeviceDX9.h"
#include "platform/d3d9/RecordingDirect3D9.h"
#include "support/TestDir.h"

// Given to init as its start-up shader step: counts how often init called it,
// and how long the recording log was at that moment.
extern int builtInCompileCalls;
extern size_t builtInCompileLogSize;
void countStartupShaders();

inline bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// The methods of the recorded calls from index `from` on.
inline std::vector<std::string> methodsFrom(size_t from) {
  std::vector<std::string> out;
  for (size_t i = from; i < recordingLog().size(); ++i) out.push_back(recordingLog().calls()[i].method);
  return out;
}

inline HWND testWindow() { return reinterpret_cast<HWND>(uintptr_t(0x1000)); }

inline DisplayMode testMode(int width = 1024, int height = 768, int refresh = 60) {
  return DisplayMode{width, height, 32, refresh};
}

inline DeviceSettings testSettings(bool fullscreen = false) {
  return DeviceSettings{fullscreen, false, 0, 1, 4.0f / 3.0f};
}

// Fresh recording implementation and device, which loads files through a
// file manager rooted in the working directory; no scratch folder (death test
// children would leave theirs behind).
class RecordingFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    recordingReset();
    recordingSelect();
    resetRenderDevice();
    files.setRoot("");
    getRenderDevice()->fileManager = &files;
    builtInCompileCalls = 0;
  }
  void TearDown() override { resetRenderDevice(); }

  RenderDeviceDX9* device() { return getRenderDevice(); }
  RecordingDevice* recorded() { return recordingDevice(); }
  RecordingLog& calls() { return recordingLog(); }

  RenderDeviceDX9* initDevice(int flags = BUFFER_COLOR | BUFFER_DEPTH, DeviceSettings settings = testSettings(),
                              DisplayMode mode = testMode()) {
    getRenderDevice()->init(testWindow(), mode, settings, flags, countStartupShaders);
    return getRenderDevice();
  }

  FileManagerOS files;
};

// Death tests run in a child that ends with the fatal message on stderr.
class RenderDeathTest : public RecordingFixture {};

// The usual case: a scratch folder with a fresh log.txt, and a check that
// shutdown leaves no Direct3D object alive.
class RenderDeviceTest : public RecordingFixture {
 protected:
  void SetUp() override {
    RecordingFixture::SetUp();
    logOpen();
  }
  void TearDown() override {
    getRenderDevice()->shutdown();
    EXPECT_EQ(recordingLiveObjects(), 0) << recordingLiveObjectList();
    RecordingFixture::TearDown();
  }

  // The log after its header.
  static std::string logText() { return TestDir::read("log.txt").substr(std::string("Vantrel Engine Log\n\n").size()); }

  TestDir dir{"render"};
};

#define EXPECT_FATAL(statement, message)                     \
  do {                                                       \
    GTEST_FLAG_SET(death_test_style, "threadsafe");          \
    setenv("SDL_VIDEODRIVER", "dummy", 1);                   \
    EXPECT_EXIT(statement, ::testing::ExitedWithCode(255), message); \
  } while (0)

// --- image files ---------------------------------------------------------------
// stb_image_write's writer that appends to the std::string `context`.
void appendBytes(void* context, void* data, int size);

// A 24-bit BMP of width x height pixels given top row first as 0xRRGGBB.
std::string makeBmp(int width, int height, const std::vector<uint32_t>& rgb);

struct DdsFormat {
  uint32_t flags;  // DDPF_*
  uint32_t fourCC;
  uint32_t bits;
  uint32_t r, g, b, a;
  uint32_t bytesPerPixel;  // 0 for DXT1 (8 bytes per 4x4 block)
};
extern const DdsFormat ddsA8R8G8B8;
extern const DdsFormat ddsX1R5G5B5;
extern const DdsFormat ddsDXT1;

// A full mip chain (2-D) or six faces of one (cube) of the format, filled with a byte pattern.
std::string makeDds(const DdsFormat& format, int width, int height, bool cube);
