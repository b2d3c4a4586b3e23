// The scene drawn for real on the OpenGL implementation (Mesa's llvmpipe, no
// display): a floor, a box on it and the spot light above. The main pass is
// lit inside the cone, black outside it and in the box's shadow (where the
// shadow map, holding the light's linear depth, puts it), and its alpha
// carries the depth blur. (The depth pass's parts: the depth shader in
// ShaderGlTest, the light's linear projection in SceneTest.)

#include <cmath>

#include "support/GlRenderDeviceTest.h"
#include "support/SceneTestSupport.h"
#include "support/SurfaceReadback.h"
#include "engine/scene/SGCamera.h"
#include "engine/scene/SGLight.h"
#include "engine/scene/SGScene.h"
#include "engine/scene/BuiltInShaderTable.h"

namespace {

const int width = 256, height = 192;

class SceneGlTest : public GlRenderDeviceTest {
 protected:
  void SetUp() override {
    GlRenderDeviceTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(start(width, height, compileBuiltInShaders));
    writeTestScene();
    scene = new SGScene;
    ASSERT_TRUE(scene->load("./data/station03.ase"));
    scene->createShadowResources();
    camera.setProjection(60.0f, device->settings.aspectRatio, 1.0f, 5500.0f);
    camera.setPosition(D3DXVECTOR3(0, 1100, -1100));
    camera.setTarget(D3DXVECTOR3(0, 0, 0));
    // Straight down onto the origin, 401 units up; the target is nudged off
    // the vertical so that the light's up vector stays usable.
    light.position = D3DXVECTOR3(0, 401, 0);
    light.target = D3DXVECTOR3(0, 0, 0.01f);
    light.coneAngle = 60.0f;
    light.range = 2500.0f;
    light.nearPlane = 2.0f;
    light.farPlane = 800.0f;
    scene->camera = &camera;
    scene->light = &light;
  }
  void TearDown() override {
    if (scene) {
      scene->releaseShadowResources();
      delete scene;
    }
    GlRenderDeviceTest::TearDown();
  }

  SGScene* scene = nullptr;
  SGCamera camera;
  SGLight light;
};

TEST_F(SceneGlTest, LitInsideTheConeBlackOutsideAndInTheShadow) {
  scene->render(0.0f);
  SurfacePixels back = readSurface(device->device);
  const std::vector<uint8_t>& bytes = back.bytes;
  ASSERT_EQ(bytes.size(), size_t(width * height * 4));

  D3DXMATRIX view, projection, viewProjection;
  D3DXMatrixLookAtLH(&view, &camera.eye, &camera.target, &camera.up);
  D3DXMatrixPerspectiveFovLH(&projection, camera.fov * 0.017453292f, device->settings.aspectRatio,
                             scene->depthRange[0], scene->depthRange[1]);
  D3DXMatrixMultiply(&viewProjection, &view, &projection);
  struct Pixel {
    int r, g, b, a;
    float depth;
  };
  // The pixel a world point lands on, with the point's view-space depth.
  auto at = [&](const D3DXVECTOR3& point) {
    D3DXVECTOR4 clip, eye;
    D3DXVec3Transform(&clip, &point, &viewProjection);
    D3DXVec3Transform(&eye, &point, &view);
    int column = int(std::floor((clip.x / clip.w * 0.5f + 0.5f) * float(width)));
    int row = int(std::floor((-clip.y / clip.w * 0.5f + 0.5f) * float(height)));
    EXPECT_TRUE(column >= 0 && column < width && row >= 0 && row < height) << column << "," << row;
    const uint8_t* p = &bytes[size_t((row * width + column) * 4)];  // B, G, R, A in memory
    return Pixel{p[2], p[1], p[0], p[3], eye.z};
  };
  auto lit = [](const Pixel& p) { return p.r > 240 && p.g > 240 && p.b > 240; };
  auto black = [](const Pixel& p) { return p.r < 8 && p.g < 8 && p.b < 8; };

  // Inside the cone: near the axis, on the box's top, and beyond the shadow
  // map's own field (its white border counts as unshadowed).
  EXPECT_TRUE(lit(at(D3DXVECTOR3(-150, 0, -100))));
  EXPECT_TRUE(lit(at(D3DXVECTOR3(125, 100, 0))));
  EXPECT_TRUE(lit(at(D3DXVECTOR3(-400, 0, 0))));
  // Outside the 60-degree cone.
  EXPECT_TRUE(black(at(D3DXVECTOR3(800, 0, 0))));
  EXPECT_TRUE(black(at(D3DXVECTOR3(-800, 0, 100))));
  // Behind the box as the light sees it.
  EXPECT_TRUE(black(at(D3DXVECTOR3(178, 0, 0))));

  // Alpha: the depth-blur amount at each point's view depth (1 at 500, 0 at
  // 1000, up to 0.79 from 1395 on).
  if (back.format == D3DFMT_A8R8G8B8) {
    auto blur = [](float depth) {
      float f = depth < 1000.0f ? (depth - 1000.0f) / 500.0f : std::fmin((depth - 1000.0f) / 500.0f, 0.79f);
      return std::fabs(f);
    };
    for (const D3DXVECTOR3& point : {D3DXVECTOR3(-150, 0, -100), D3DXVECTOR3(0, 0, -500), D3DXVECTOR3(0, 0, 700)}) {
      Pixel p = at(point);
      EXPECT_NEAR(p.a / 255.0f, blur(p.depth), 3.0f / 255.0f) << "depth " << p.depth;
    }
  }
}

}  // namespace
