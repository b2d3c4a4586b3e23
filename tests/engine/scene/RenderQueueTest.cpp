// The render queue on the recording device: which named constants reach the
// bound shaders for every item, in which order and with which values; the
// override material of the shadow pass; clearing and skipping.

#include <algorithm>
#include <array>

#include "support/SceneTestSupport.h"
#include "engine/Memory.h"
#include "engine/render/Material.h"
#include "engine/scene/BuiltInShaderTable.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/SGLight.h"
#include "engine/scene/SGMesh.h"

namespace {

// Consecutive repeats (one constant written in several calls) count once.
std::vector<std::string> collapse(std::vector<std::string> names) {
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

class RenderQueueTest : public SceneDeviceTest {
 protected:
  void SetUp() override {
    SceneDeviceTest::SetUp();
    node = new SGMesh;
    ImportMesh& mesh = node->getImportMesh();
    for (const D3DXVECTOR3& p : {D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(1, 0, 0)}) {
      mesh.positions.append(p);
      mesh.normals.append(D3DXVECTOR3(0, 1, 0));
    }
    for (int32_t i : {0, 1, 2}) mesh.faces.append(i);
    node->buildGeometry();

    material = TRACKED_NEW(Material);
    material->shader = builtInShaders[SHADER_SPOT_LIGHT_SHADOW];
    getRenderDevice()->compileRenderStates(material);

    D3DXVECTOR3 eye(100, 200, -300), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 1.0f, 4.0f / 3.0f, 1.0f, 1000.0f);
    queue.setView(view);
    queue.setProjection(projection);
    queue.setEyePosition(eye);
    queue.clearFlags = 0;

    light.position = D3DXVECTOR3(0, 500, 0);
    light.target = light.position;
    light.range = 2500.0f;
    light.coneAngle = 60.0f;
    D3DXMatrixScaling(&light.shadowMatrix, 2, 3, 4);
    getRenderDevice()->beginScene();
  }
  void TearDown() override {
    getRenderDevice()->endScene();
    queue.reset();
    releaseRef(material);
    delete node;
    SceneDeviceTest::TearDown();
  }

  RenderItem item(Material* itemMaterial) {
    RenderItem result;
    result.drawable = node->drawCall();
    result.material = itemMaterial;
    D3DXMatrixIdentity(&result.world);
    return result;
  }

  SGMesh* node = nullptr;
  Material* material = nullptr;
  SGLight light;
  RenderQueue queue;
  D3DXMATRIX view, projection;
};

TEST_F(RenderQueueTest, EveryItemGetsTheNamedConstantsInOrder) {
  const int shader = builtInShaders[SHADER_SPOT_LIGHT_SHADOW];
  queue.addItem(item(material));
  queue.addLight(&light);
  size_t from = calls().size();
  queue.drawQueue(nullptr);

  // The material's colour first; then the item's constants, each in the stage
  // that declares it (names the pair does not declare are skipped).
  std::vector<std::string> expected = {
      "ps:materialDiffuse",  "vs:matrixWorld",     "vs:matrixWorldIT",  "vs:matrixWorldView",
      "vs:matrixTotal",      "ps:dofParams",       "vs:lightPosition",  "ps:lightPosition",
      "vs:lightDirection",   "ps:lightDirection",  "vs:matrixShadowMap", "vs:lightInvRangeSq",
      "ps:lightCosSpot"};
  EXPECT_EQ(collapse(constantWrites(shader, from)), expected);
  EXPECT_EQ(calls().count("DrawIndexedPrimitive", from), 1u);
  EXPECT_EQ(calls().calls().back().method, "DrawIndexedPrimitive");  // after every constant

  // An identity world: the total matrix is view x projection (uploaded
  // transposed, so that the shader's mul(matrix, vector) reads it: register r
  // holds row r).
  D3DXMATRIX viewProjection;
  D3DXMatrixMultiply(&viewProjection, &view, &projection);
  std::vector<float> total = constantValue(shader, "matrixTotal");
  ASSERT_EQ(total.size(), 16u);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(total[size_t(r * 4 + c)], viewProjection.m[r][c], 1e-6) << r << c;

  EXPECT_FLOAT_EQ(constantValue(shader, "lightInvRangeSq")[0], 1.6e-07f);
  EXPECT_NEAR(constantValue(shader, "lightCosSpot", true)[0], 0.5f, 1e-6);
  EXPECT_EQ(constantValue(shader, "lightDirection"), (std::vector<float>{0, 0, 0, 1}));
  EXPECT_EQ(constantValue(shader, "lightPosition", true), (std::vector<float>{0, 500, 0, 1}));
  EXPECT_EQ(constantValue(shader, "dofParams", true), (std::vector<float>{500, 1000, 1500, 0.79f}));
  std::vector<float> shadow = constantValue(shader, "matrixShadowMap");
  ASSERT_EQ(shadow.size(), 16u);
  EXPECT_EQ((std::array{shadow[0], shadow[5], shadow[10]}), (std::array{2.0f, 3.0f, 4.0f}));

  // A light shining somewhere: its unit direction.
  light.target = D3DXVECTOR3(0, 500, 10);
  queue.drawQueue(nullptr);
  EXPECT_EQ(constantValue(shader, "lightDirection"), (std::vector<float>{0, 0, 1, 1}));
}

TEST_F(RenderQueueTest, TheOverrideMaterialDrawsEveryItemAndTheDepthShaderGetsOnlyTheTotal) {
  Material* depth = TRACKED_NEW(Material);
  depth->shader = builtInShaders[SHADER_DEPTH];
  getRenderDevice()->compileRenderStates(depth);
  queue.addItem(item(nullptr));
  queue.addItem(item(material));
  queue.addLight(&light);
  size_t from = calls().size();
  queue.drawQueue(depth);
  EXPECT_EQ(calls().count("DrawIndexedPrimitive", from), 2u);
  EXPECT_EQ(collapse(constantWrites(depth->shader, from)), (std::vector<std::string>{"vs:matrixTotal"}));
  releaseRef(depth);

  // Without it, an item without a material is skipped; a queue without a
  // light writes no light constant.
  queue.lights.clear();
  from = calls().size();
  queue.drawQueue(nullptr);
  EXPECT_EQ(calls().count("DrawIndexedPrimitive", from), 1u);
  for (const std::string& name : constantWrites(material->shader, from))
    EXPECT_EQ(name.find("light"), std::string::npos) << name;
}

}  // namespace
