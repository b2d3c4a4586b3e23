// Scenes of one's own on llvmpipe, through the demo's start-up as the capture
// tool runs it: the scaled paths frame a scene of any size, materials and
// sub-materials show their bitmaps found beside the scene whatever path the
// exporter wrote (a missing one leaves the colour, with a log line), meshes
// without a material their wireframe colour, one-sided ones both sides.

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "CaptureTestSupport.h"
#include "demo/DemoApp.h"
#include "demo/DemoApplication.h"
#include "demo/FrameGrabber.h"
#include "engine/render/RenderDeviceDX9.h"
#include "engine/scene/SGScene.h"
#include "platform/win32/Clock.h"
#include "support/TestDir.h"
#include "support/ViewedScenes.h"
#include "tools/stationgen/Primitives.h"

namespace {

using namespace capture_test;

// A floor with a block and a pillar on it, `size` units across, one material
// per part; materials are given as (name, diffuse, bitmap).
struct Part {
  const char* name;
  stationgen::Colour diffuse;
  std::string bitmap;
};

void writeScene(const std::string& file, double size, const std::vector<Part>& parts) {
  using namespace stationgen;
  Scene scene;
  for (const Part& part : parts) scene.materials.push_back(viewed::material(part.diffuse, part.bitmap));
  const double u = size / 100.0;  // the floor is 100 u across
  SceneObject floor = viewed::block("Floor", {0, 0, -u}, {50 * u, 50 * u, u}), pillar;
  SceneObject block = viewed::block("Block", {-15 * u, 0, 10 * u}, {10 * u, 10 * u, 10 * u}, 1 % int(parts.size()));
  pillar.name = "Pillar";
  cylinder(pillar.mesh, Xform::at({20 * u, 10 * u, 0}), 5 * u, 0, 40 * u, 24, 0);
  pillar.material = 2 % int(parts.size());
  scene.objects = {floor, block, pillar};
  TestDir::write(file, viewed::exportText(scene));
}

// A 16 x 16 checker in two colours (RGB).
std::vector<uint8_t> checker(uint32_t a, uint32_t b) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      uint32_t c = ((x / 4 + y / 4) % 2) ? a : b;
      rgb.insert(rgb.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    }
  return rgb;
}

// An uncompressed A8R8G8B8 DDS of one level, as its documented header lays it out.
void writeDds(const std::string& file, const std::vector<uint8_t>& rgb) {
  std::vector<uint32_t> words = {0x20534444, 124, 0x100F, 16, 16, 64, 0, 1};
  words.resize(1 + 18, 0);
  words.insert(words.end(), {32, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x1000, 0, 0, 0, 0});
  std::string bytes(reinterpret_cast<const char*>(words.data()), words.size() * 4);
  for (size_t i = 0; i < rgb.size(); i += 3) bytes += {char(rgb[i + 2]), char(rgb[i + 1]), char(rgb[i]), char(0xFF)};
  TestDir::write(file, bytes);
}

class ViewerGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    linkRunData(dir.path);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    useFixedStepClock(0, 0);
  }
  void TearDown() override {
    if (started) demoStop();
  }

  DemoApplication* start(const char* scene, bool slide = true) {
    demoOpenData();
    DemoScene shown;
    shown.viewFile = scene;
    shown.slide = slide;
    DemoApplication* demo =
        demoStart(DisplayMode{320, 240, 32, 60}, DeviceSettings{false, false, 0, 1, 4.0f / 3.0f}, 1, shown);
    started = true;
    return demo;
  }

  // The scene pass alone at `seconds`, as the frame drew it before its
  // post-processing.
  Picture scenePass(DemoApplication* demo, int seconds) {
    useFixedStepClock(0, int64_t(seconds) * 1000000000);
    demo->frame();
    getRenderDevice()->clear(BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL, 0xFF000020u, 0);
    demo->scene->render(demo->total * 10000.0f);
    Picture picture{320, 240, {}};
    FrameGrabber grabber;
    std::string error;
    EXPECT_TRUE(grabber.open(getRenderDevice()->device, error) && grabber.readRgb(picture.rgb, error)) << error;
    return picture;
  }

  TestDir dir{"viewer-gl"};
  bool started = false;
};

class ViewerFraming : public ViewerGlTest, public ::testing::WithParamInterface<double> {};

// From a few units to tens of thousands across, the same motion keeps the
// scene in view and filling a fair part of the frame (its bounding sphere,
// with a margin, fits the frame where the camera comes closest).
TEST_P(ViewerFraming, TheScaledPathsFrameTheScene) {
  writeScene("scene.ase", GetParam(), {{"Grey", {0.6, 0.6, 0.6}, ""}});
  DemoApplication* demo = start("scene.ase");
  ASSERT_NE(demo, nullptr) << getDemoApplication()->sceneError;
  for (int seconds : {0, 10, 20}) {
    double share = measure(scenePass(demo, seconds)).covered;
    EXPECT_GT(share, 0.05) << seconds << " s";
    EXPECT_LT(share, 0.95) << seconds << " s";
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ViewerFraming, ::testing::Values(4.0, 1500.0, 60000.0));

// Bitmaps named by a Windows path and by a game-relative one, found whatever
// their case: a TGA in textures/ beside the scene, a DDS in the folder the
// path names. The frame matches its golden image.
TEST_F(ViewerGlTest, MaterialsShowTheirBitmapsFoundBesideTheScene) {
  writeScene("level/scene.ase", 1500.0,
             {{"Floor", {1, 1, 1}, "C:\\Game\\Textures\\Checker.TGA"},
              {"Block", {1, 1, 1}, "maps\\stone\\Blocks.dds"},
              {"Pillar", {0.9, 0.3, 0.2}, ""}});
  std::filesystem::create_directories(dir.path / "level/textures");
  std::filesystem::create_directories(dir.path / "level/Maps/stone");
  stbi_write_tga((dir.path / "level/textures/checker.tga").c_str(), 16, 16, 3, checker(0x2060E0, 0xF0F0F0).data());
  writeDds((dir.path / "level/Maps/stone/BLOCKS.DDS").string(), checker(0x20C040, 0x101010));
  DemoApplication* demo = start("level/scene.ase");
  ASSERT_NE(demo, nullptr) << getDemoApplication()->sceneError;
  const std::string log = TestDir::read("log.txt");
  EXPECT_EQ(log.find("bitmap"), std::string::npos) << log;

  // A frame that does not match is kept beside the scratch folder, which goes
  // at the end of the test.
  expectMatchesGolden(scenePass(demo, 5), "viewer/textured.png", dir.path.parent_path() / "viewer");
}

// Pixels where the first channel listed stands well above the other (or the
// first two above the third).
size_t pixelsWhere(const Picture& picture, std::array<int, 3> order, bool two = false) {
  size_t count = 0;
  for (size_t i = 0; i < picture.rgb.size(); i += 3) {
    const int a = picture.rgb[i + order[0]], b = picture.rgb[i + order[1]], c = picture.rgb[i + order[2]];
    count += two ? (a > 2 * c + 40 && b > 2 * c + 40) : (a > 2 * b + 40 && a > 2 * c + 40);
  }
  return count;
}

// A multi-material's faces show each sub-material's bitmap or colour (ids
// taken modulo the count), a missing bitmap leaving its colour with a log
// line; meshes without a material show their wireframe colour, and a
// one-sided square both its sides as the camera goes round it.
TEST_F(ViewerGlTest, SubMaterialsWireframeColoursAndBothSidesShow) {
  stationgen::Scene file;
  file.materials = {viewed::material({}, "", {viewed::material({1, 1, 1}, "C:\\maps\\Green.tga"),
                                              viewed::material({0.1, 0.2, 0.9}, "C:\\nowhere\\lost.png")})};
  stationgen::SceneObject split = viewed::block("Split", {-20, 0, 10}, {10, 10, 10}), sign = viewed::quad("Sign", 20);
  for (size_t i = 0; i < split.mesh.faces.size(); ++i) split.mesh.faces[i].mtlId = int(i % 2) + 2;
  sign.transform.position = {0, 25, 10};
  sign.material = 5;
  file.objects = {split, viewed::block("Stray", {20, 0, 10}, {10, 10, 10}, 5), sign};
  TestDir::write("multi.ase", viewed::exportText(file, {{"Stray", "0.9 0.1 0.1"}, {"Sign", "0.8 0.8 0.1"}}));
  stbi_write_tga((dir.path / "green.tga").c_str(), 16, 16, 3, checker(0x20C040, 0x108020).data());
  DemoApplication* demo = start("multi.ase", false);
  ASSERT_NE(demo, nullptr) << getDemoApplication()->sceneError;
  EXPECT_NE(TestDir::read("log.txt").find(
                "SGScene::load: Material 0.1 '': bitmap 'C:\\nowhere\\lost.png' not found, drawn in its colour.\n"),
            std::string::npos);
  Picture frame = scenePass(demo, 5);
  for (int channel : {0, 1, 2}) EXPECT_GT(pixelsWhere(frame, {channel, (channel + 1) % 3, (channel + 2) % 3}), 300u);
  // The yellow sign, from in front at 0 s and from behind at 20 s.
  for (int seconds : {0, 20}) EXPECT_GT(pixelsWhere(scenePass(demo, seconds), {0, 1, 2}, true), 300u) << seconds << " s";
}

}  // namespace
