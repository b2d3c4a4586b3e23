#pragma once
// Shared pieces of the scene tests: a fixture with a fresh recording Direct3D
// and an initialised render device (built-in shaders compiled), a small
// hand-made scene written as an ASE file (a floor and a box), and a reader of
// the shader constants a stretch of the recording log wrote.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Log.h"
#include "engine/render/RenderDeviceDX9.h"
#include "platform/d3d9/RecordingDirect3D9.h"
#include "support/TestDir.h"

// The test scene, in engine coordinates (Y up): a floor 2000 x 2000 whose top
// is at y = 0, centred on the origin, and a box 50 x 100 x 50 standing on it
// centred at (125, 50, 0). Material 0 is the floor's, 1 the box's. Written
// as `file`; the projector slide `slide` is a white JPEG.
void writeTestScene(const std::string& file = "data/station03.ase", const std::string& slide = "data/fajna.jpg");

// The names of the shader constants written from log index `from` on, in
// order, as the registers of `shader`'s two constant tables name them
// ("vs:matrixWorld", "ps:lightCosSpot").
std::vector<std::string> constantWrites(int shader, size_t from);
// A vertex or pixel constant's registers as floats (4 per register).
std::vector<float> constantValue(int shader, const char* name, bool pixel = false);

inline bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

class SceneDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  static std::string logText() { return TestDir::read("log.txt").substr(std::string("Vantrel Engine Log\n\n").size()); }
  RecordingLog& calls() { return recordingLog(); }

  TestDir dir{"scene"};
};
