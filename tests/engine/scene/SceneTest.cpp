// The scene on the recording device: what loading makes of an ASE file, the
// order of one frame's clears, target switches and stage-0 binding, the depth
// range fitted to the box, and the shadow matrix.

#include <algorithm>
#include <array>
#include <cmath>

#include "support/SceneTestSupport.h"
#include "engine/render/Material.h"
#include "engine/scene/BuiltInShaderTable.h"
#include "engine/scene/SGCamera.h"
#include "engine/scene/SGLight.h"
#include "engine/scene/SGMesh.h"
#include "engine/scene/SGScene.h"
#include "support/ViewedScenes.h"

namespace {

class SceneTest : public SceneDeviceTest {
 protected:
  void SetUp() override {
    SceneDeviceTest::SetUp();
    camera.setProjection(60.0f, 4.0f / 3.0f, 1.0f, 5500.0f);
    camera.setPosition(D3DXVECTOR3(0, 0, -2000));
    camera.setTarget(D3DXVECTOR3(0, 0, 0));
    light.position = D3DXVECTOR3(0, 401, 0);
    light.target = D3DXVECTOR3(0, 0, 1);
    light.coneAngle = 60.0f;
    light.range = 2500.0f;
    light.nearPlane = 2.0f;
    light.farPlane = 800.0f;
  }
  void TearDown() override {
    if (scene) {
      scene->releaseShadowResources();
      delete scene;
    }
    SceneDeviceTest::TearDown();
  }

  void loadTestScene() {
    writeTestScene("scene.ase", "data/fajna.jpg");
    load("scene.ase");
  }
  SGScene* load(const char* file, bool viewed = false) {
    scene = new SGScene;
    scene->viewed = viewed;
    scene->slide = !viewed;  // a white texel, not the data folder's slide
    loaded = scene->load(file);
    scene->createShadowResources();
    scene->camera = &camera;
    scene->light = &light;
    return scene;
  }

  // The frame's calls that shape it, as "Method(args)" texts.
  std::vector<std::string> frameOutline(size_t from) {
    std::vector<std::string> outline;
    for (size_t i = from; i < calls().size(); ++i) {
      const RecordingCall& call = calls().calls()[i];
      const std::string& m = call.method;
      if (m == "BeginScene" || m == "EndScene" || m == "Clear" || m == "SetRenderTarget" ||
          m == "SetDepthStencilSurface" || startsWith(call.text, "SetTexture(0,"))
        outline.push_back(call.text);
      else if (m == "DrawIndexedPrimitive")
        outline.push_back("draw");
    }
    return outline;
  }

  SGCamera camera;
  SGLight light;
  SGScene* scene = nullptr;
  bool loaded = false;
};

TEST_F(SceneTest, LoadingMakesOneSpotLightMaterialPerFileMaterialAndTheBox) {
  loadTestScene();
  ASSERT_TRUE(loaded);
  ASSERT_EQ(scene->nodes.count, 2u);
  ASSERT_EQ(scene->materials.count, 2u);
  for (Material* material : scene->materials) {
    EXPECT_EQ(material->shader, builtInShaders[SHADER_SPOT_LIGHT_SHADOW]);
    EXPECT_EQ(material->textures[1], scene->materials[0]->textures[1]);  // one slide, shared
  }
  EXPECT_EQ(getRenderDevice()->textures.count, 1u);
  EXPECT_EQ(scene->depthMaterial->shader, builtInShaders[SHADER_DEPTH]);

  // Floor and box together; corners in their fixed order (x, then z, then y).
  EXPECT_NEAR(scene->bounds.minimum[1], -10, 1e-3);
  EXPECT_NEAR(scene->bounds.maximum[1], 100, 1e-3);
  const float* lo = scene->bounds.minimum;
  const float* hi = scene->bounds.maximum;
  EXPECT_EQ((std::array{scene->boxCorners[1][0], scene->boxCorners[2][2], scene->boxCorners[4][1], scene->boxCorners[6][0]}),
            (std::array{hi[0], hi[2], hi[1], lo[0]}));
}

// The frame's passes, then the depth range it fitted to the box and the
// shadow matrix it made.
TEST_F(SceneTest, AFrameDrawsTheShadowMapThenTheLitPassAndFitsTheFarPlaneToTheBox) {
  loadTestScene();
  size_t from = calls().size();
  scene->render(12345.0f);

  // Clear, into the shadow map (target and depth surface), clear it, draw,
  // back to the back buffer (both restored), the map on stage 0, draw, unbind.
  std::vector<std::string> outline = frameOutline(from);
  ASSERT_EQ(outline.size(), 14u) << calls().dump(from);
  std::vector<std::string> expected = {"BeginScene()", "Clear(0, null, 0x7, 0xfff0f0f0, 1, 0)", outline[2], outline[3],
                                       "Clear(0, null, 0x3, 0xffffffff, 1, 0)", "draw", "draw", outline[7], outline[8],
                                       outline[9], "draw", "draw", "SetTexture(0, null)", "EndScene()"};
  EXPECT_EQ(outline, expected) << calls().dump(from);
  for (int i : {2, 3, 7, 8}) EXPECT_TRUE(startsWith(outline[size_t(i)], "Set")) << outline[size_t(i)];
  EXPECT_TRUE(startsWith(outline[2], "SetRenderTarget(0, Surface#"));
  EXPECT_EQ(std::find(outline.begin() + 7, outline.begin() + 9, outline[2]), outline.begin() + 9);  // not the map
  EXPECT_TRUE(startsWith(outline[9], "SetTexture(0, Texture#")) << outline[9];
  // The map is sampled with a white border during the lit pass; stage 0 goes
  // back to linear wrapping afterwards.
  long border = calls().indexOf("SetSamplerState(0, 1, 4)", size_t(calls().indexOf(outline[9], from)));
  EXPECT_NE(border, -1) << calls().dump(from);
  EXPECT_EQ((std::pair{recordingDevice()->samplerState(0, D3DSAMP_MAGFILTER), recordingDevice()->samplerState(0, D3DSAMP_ADDRESSU)}),
            (std::pair{DWORD(D3DTEXF_LINEAR), DWORD(D3DTADDRESS_WRAP)}));

  // The deepest corner is 1000 beyond the origin, seen from 2000 in front.
  ASSERT_NE(scene->depthRange, nullptr);
  EXPECT_EQ(scene->depthRange[0], 1.0f);
  EXPECT_NEAR(scene->depthRange[1], 3001.0f, 1e-2);

  D3DXMATRIX viewProjection, shadow;
  D3DXMatrixMultiply(&viewProjection, &light.view, &light.projection);
  D3DXMATRIX bias(0.5f, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 1, 0, 0.50048828125f, 0.50048828125f, 0, 1);
  D3DXMatrixMultiply(&shadow, &viewProjection, &bias);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(light.shadowMatrix.m[r][c], shadow.m[r][c]);

  // The shadow map's field is the light's cone. A point 401 units down the
  // light's axis maps to the middle of the map at half the light's linear
  // depth range, before the divide.
  EXPECT_NEAR(light.projection._22, 1.0f / std::tan(30.0f * 0.017453292f), 1e-5f);
  D3DXVECTOR4 p;
  D3DXVECTOR3 floorPoint(0, 0, 1);
  D3DXVec3Transform(&p, &floorPoint, &light.shadowMatrix);
  EXPECT_NEAR(p.x / p.w, 0.50048828125, 1e-4);
  EXPECT_NEAR(p.y / p.w, 0.50048828125, 1e-4);
  EXPECT_NEAR(p.z, (401.0 - 2.0) / 798.0, 1e-4);

  // Moving away moves the far plane; with the whole box behind the camera it
  // closes up to the near distance.
  camera.setPosition(D3DXVECTOR3(0, 0, -5000));
  scene->render(0.0f);
  EXPECT_NEAR(scene->depthRange[1], 6001.0f, 1e-2);
  camera.setPosition(D3DXVECTOR3(0, 0, 5000));
  camera.setTarget(D3DXVECTOR3(0, 0, 10000));
  scene->render(0.0f);
  EXPECT_EQ(scene->depthRange[1], camera.nearPlane);
}

TEST_F(SceneTest, NodesWithoutFacesOrMaterialAreNotDrawnAndTheFrameStillRuns) {
  // An object without faces and one in a file without materials: the scene has
  // nothing to draw and says so.
  stationgen::Scene file;
  file.objects = {viewed::block("Empty", {}, {1, 1, 1}), viewed::block("Stray", {}, {1, 1, 1})};
  file.objects[0].mesh.faces.clear();
  TestDir::write("odd.ase", viewed::exportText(file));
  load("odd.ase");
  ASSERT_TRUE(loaded);
  EXPECT_NE(logText().find("SGMesh::buildGeometry: Node 'Empty' has no faces, not drawn.\n"), std::string::npos)
      << logText();
  EXPECT_NE(logText().find("SGScene::load: Node 'Stray' names material 0 of 0, not drawn.\n"), std::string::npos)
      << logText();
  EXPECT_NE(logText().find("SGScene::load: Scene 'odd.ase' has no drawable mesh.\n"), std::string::npos) << logText();
  size_t from = calls().size();
  scene->render(0.0f);
  std::vector<std::string> outline = frameOutline(from);
  EXPECT_EQ(std::count(outline.begin(), outline.end(), "draw"), 0);
  EXPECT_EQ(calls().count("SetRenderTarget", from), 2u);
  EXPECT_EQ(calls().count("Clear", from), 2u);
}

// A viewed scene draws every mesh: a multi-material's faces in groups by
// their id modulo the sub-material count, a mesh naming no material of the
// file in its wireframe colour or grey, all without culling.
TEST_F(SceneTest, AViewedSceneDrawsSubMaterialGroupsAndMeshesWithoutAMaterial) {
  stationgen::Scene file;
  // The second sub-material is a multi-material too: its one sub-material takes every id.
  file.materials = {
      viewed::material({}, "", {viewed::material({1, 0, 0}), viewed::material({}, "", {viewed::material({0, 0, 1})})})};
  stationgen::SceneObject split = viewed::block("Split", {0, 0, 0}, {1, 1, 1});
  for (size_t i = 0; i < split.mesh.faces.size(); ++i) split.mesh.faces[i].mtlId = int(i % 3);  // 0 1 0, 0 1 0 ...
  file.objects = {split, viewed::block("Stray", {5, 0, 0}, {1, 1, 1}, 7), viewed::block("Plain", {-5, 0, 0}, {1, 1, 1}, 9)};
  TestDir::write("viewed.ase", viewed::exportText(file, {{"Stray", "0.1 0.8 0.2"}}));
  load("viewed.ase", true);
  ASSERT_TRUE(loaded) << scene->loadError;

  auto diffuse = [this](const SGMesh* node, uint32_t part) {
    uint32_t key = node->partKey(part);
    const Material* m = key < scene->materials.count ? scene->materials[key] : scene->partMaterials[key - scene->materials.count];
    EXPECT_EQ(m->renderFlags & RF_CULL_MASK, RF_CULL_NONE);
    return std::array<float, 3>{m->diffuse[0], m->diffuse[1], m->diffuse[2]};
  };
  ASSERT_EQ(scene->nodes.count, 3u);
  const SGMesh* node = scene->nodes[0];
  ASSERT_EQ(node->partCount(), 2u);
  EXPECT_EQ(node->partDrawCall(0)->primitiveCount, 8);
  EXPECT_EQ(diffuse(node, 0), (std::array<float, 3>{1, 0, 0}));
  EXPECT_EQ(node->partDrawCall(1)->primitiveCount, 4);
  EXPECT_EQ(diffuse(node, 1), (std::array<float, 3>{0, 0, 1}));
  EXPECT_EQ(diffuse(scene->nodes[1], 0), (std::array<float, 3>{0.1f, 0.8f, 0.2f}));
  EXPECT_EQ(diffuse(scene->nodes[2], 0), (std::array<float, 3>{0.6f, 0.6f, 0.6f}));
  const std::string log = logText();
  EXPECT_EQ(log.substr(log.find("SGScene::")), "SGScene::load: 2 of 3 meshes name no material of the file: drawn in their "
                                               "wireframe colours (grey where they have none).\n");
}

}  // namespace
