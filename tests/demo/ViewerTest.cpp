// Viewing scenes of one's own against the recording device: files dropped on
// the demo's window travel through the Win32 stand-in's messages (SDL's drop
// events, WM_DROPFILES, DragQueryFileA) to the demo, which opens a usable one
// and keeps its scene for one it cannot use, saying why.

#include <SDL.h>

#include "demo/DemoApp.h"
#include "demo/DemoApplication.h"
#include "engine/scene/SGScene.h"
#include "DemoFixture.h"

namespace {

class ViewerTest : public DemoFixture {
 protected:
  void SetUp() override {
    DemoFixture::SetUp();
    writeTestScene();
    writeTestScene("good.ase");
    // A keyframe controller the reader does not take, and a file without a mesh.
    TestDir::write("tcb.ase", "*3DSMAX_ASCIIEXPORT 200\n*GEOMOBJECT {\n *NODE_NAME \"Spin\"\n *TM_ANIMATION {\n"
                              "  *CONTROL_ROT_TCB {\n  }\n }\n}\n");
    TestDir::write("empty.ase", "*3DSMAX_ASCIIEXPORT 200\n*SCENE {\n *SCENE_FIRSTFRAME 0\n}\n");
    demoOpenData();
    demo = demoStart(DisplayMode{320, 240, 32, 60}, DeviceSettings{false, false, 0, 1, 4.0f / 3.0f}, 1);
    ASSERT_NE(demo, nullptr);
    DragAcceptFiles(demoWindow.getHandle(), TRUE);
  }
  void TearDown() override {
    demoStop();
    DemoFixture::TearDown();
  }

  // Drops the files on the demo's window as SDL reports a drop, and hands the
  // WM_DROPFILES that arrives to the demo as its main loop does.
  void drop(std::initializer_list<const char*> files) {
    const Uint32 window = SDL_GetWindowID(sdlWindowFromHandle(demoWindow.getHandle()));
    auto push = [window](Uint32 type, const char* file) {
      SDL_Event event = {};
      event.type = type;
      event.drop.windowID = window;
      event.drop.file = file ? SDL_strdup(file) : nullptr;
      ASSERT_EQ(SDL_PushEvent(&event), 1);
    };
    push(SDL_DROPBEGIN, nullptr);
    for (const char* file : files) push(SDL_DROPFILE, file);
    push(SDL_DROPCOMPLETE, nullptr);
    MSG message;
    bool delivered = false;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message != WM_DROPFILES) continue;
      HDROP dropped = reinterpret_cast<HDROP>(message.wParam);
      EXPECT_EQ(DragQueryFileA(dropped, 0xFFFFFFFFu, nullptr, 0), files.size());
      demoOpenDrop(demo, dropped);
      delivered = true;
    }
    ASSERT_TRUE(delivered) << "no WM_DROPFILES";
  }

  static std::string title() {
    char text[512] = "";
    GetWindowTextA(demoWindow.getHandle(), text, sizeof text);
    return text;
  }

  TestDir dir{"viewer"};
  DemoApplication* demo = nullptr;
};

TEST_F(ViewerTest, ADroppedSceneReplacesTheStationAndABadOneKeepsIt) {
  const SGScene* station = demo->scene;
  drop({"good.ase", "ignored.ase"});
  ASSERT_NE(demo->scene, station);
  EXPECT_TRUE(demo->viewing);
  EXPECT_EQ(title(), "engine - good.ase");
  const SGScene* good = demo->scene;
  demo->frame();

  for (const auto& [file, reason] : {std::pair<const char*, const char*>{"tcb.ase", "TCB controllers not supported"},
                                    {"empty.ase", "no drawable mesh"},
                                    {"missing.ase", "cannot be opened"}}) {
    SCOPED_TRACE(file);
    drop({file});
    EXPECT_EQ(demo->scene, good);
    EXPECT_EQ(title().rfind(std::string("engine - couldn't open ") + file + ": " + reason, 0), 0u) << title();
    EXPECT_NE(TestDir::read("log.txt").find(std::string("Scene: Couldn't open '") + file + "': " + reason),
              std::string::npos);
  }
  demo->frame();
}

// The paths keep their shape around the station; around a viewed scene they
// are moved to its centre and scaled by its size against the station's.
TEST_F(ViewerTest, PathsFollowTheViewedScenesBox) {
  demo->frame();
  EXPECT_EQ(demo->camera.target, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
  ASSERT_TRUE(demo->openScene("good.ase"));
  const BoundingBox& box = demo->scene->bounds;
  D3DXVECTOR3 centre((box.minimum[0] + box.maximum[0]) / 2, (box.minimum[1] + box.maximum[1]) / 2,
                     (box.minimum[2] + box.maximum[2]) / 2);
  D3DXVECTOR3 half(box.maximum[0] - centre.x, box.maximum[1] - centre.y, box.maximum[2] - centre.z);
  const float scale = D3DXVec3Length(&half) / stationRadius;
  demo->frame();
  EXPECT_EQ(demo->camera.target, centre);
  D3DXVECTOR3 expected = centre + DemoApplication::cameraPositionAt(demo->total) * scale;
  D3DXVECTOR3 miss = demo->camera.eye - expected;
  EXPECT_LT(D3DXVec3Length(&miss), 1e-3f * scale * stationRadius);
  EXPECT_FLOAT_EQ(demo->light.range, 2500.0f * scale);
}

}  // namespace
