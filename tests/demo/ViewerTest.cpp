// Viewing scenes of one's own against the recording device: files dropped on
// the demo's window travel through the Win32 stand-in's messages (SDL's drop
// events, WM_DROPFILES, DragQueryFileA) to the demo, which opens a usable one
// and keeps its scene for one it cannot use, saying why.

#include <SDL.h>

#include "demo/DemoApp.h"
#include "demo/DemoApplication.h"
#include "engine/scene/SGScene.h"
#include "platform/win32/Clock.h"
#include "support/ViewedScenes.h"
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
    TestDir::write("cut.ase", "*3DSMAX_ASCIIEXPORT 200\n*MATERIAL_LIST {\n *MATERIAL_COUNT 1\n *MATERIAL 0 {\n");
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
  EXPECT_EQ((std::pair{demo->viewing, title()}), (std::pair{true, std::string("engine - good.ase")}));
  const SGScene* good = demo->scene;
  demo->frame();

  for (const auto& [file, reason] : {std::pair<const char*, const char*>{"tcb.ase", "TCB controllers not supported"},
                                    {"empty.ase", "no drawable mesh: the file holds no geometry object"},
                                    {"cut.ase", "no drawable mesh: the file holds no geometry object; the file ends "
                                                "inside *MATERIAL_LIST opened at line 2, *MATERIAL at line 4"},
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

// At every moment of the path and for wide and narrow pictures, the viewed
// scene's box lies inside the camera's frustum and inside the light's, for
// a tall thin object, a flat one, and one far from the origin.
TEST_F(ViewerTest, TheSceneStaysInsideTheCameraAndTheLightAllAlongThePaths) {
  const std::pair<const char*, stationgen::SceneObject> scenes[] = {
      {"tall.ase", viewed::block("Mast", {0, 0, 0}, {0.5, 0.5, 200})},
      {"flat.ase", viewed::quad("Sign", 30)},
      {"far.ase", viewed::block("Buoy", {40000, -9000, 25000}, {3, 3, 3})}};
  // Every box corner in the clip volume; depth with the rounding of world
  // coordinates tens of thousands of units out.
  auto inside = [this](const D3DXMATRIX& viewProjection, bool linearDepth) {
    for (const float* corner : demo->scene->boxCorners) {
      D3DXVECTOR4 c;
      D3DXVec3Transform(&c, reinterpret_cast<const D3DXVECTOR3*>(corner), &viewProjection);
      const float depth = linearDepth ? c.z : c.z / c.w;
      if (c.w <= 0.0f || std::fabs(c.x / c.w) > 1.0f || std::fabs(c.y / c.w) > 1.0f || depth < 0.0f || depth > 1.001f)
        return false;
    }
    return true;
  };
  for (float aspect : {16.0f / 9.0f, 3.0f / 4.0f}) {
    getRenderDevice()->settings.aspectRatio = aspect;
    for (const auto& [file, object] : scenes) {
      stationgen::Scene scene;
      scene.objects = {object};
      TestDir::write(file, viewed::exportText(scene));
      ASSERT_TRUE(demo->openScene(file)) << demo->sceneError;
      for (int sample = 0; sample < 20; ++sample) {
        SCOPED_TRACE(std::string(file) + " at " + std::to_string(sample * 3) + " s, aspect " + std::to_string(aspect));
        useFixedStepClock(0, demo->startCounter + int64_t(sample) * 3000000000);
        demo->frame();
        const SGCamera& camera = demo->camera;
        D3DXMATRIX view, projection;
        D3DXMatrixLookAtLH(&view, &camera.eye, &camera.target, &camera.up);
        D3DXMatrixPerspectiveFovLH(&projection, camera.fov * 0.017453292f, aspect, demo->scene->depthRange[0],
                                   demo->scene->depthRange[1]);
        EXPECT_TRUE(inside(view * projection, false));
        EXPECT_TRUE(inside(demo->light.view * demo->light.projection, true));
      }
    }
  }
  useSystemClock();
}

}  // namespace
