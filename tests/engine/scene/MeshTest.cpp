// Meshes on the recording device: the mesh node's 60-byte vertices in one
// uploaded mesh, freed with the node, and its bounds; the bounding box rules.
// (Meshes are made only by mesh nodes: indexed, in the mesh format.)

#include <cstring>

#include "support/SceneTestSupport.h"
#include "engine/assets/Mesh.h"
#include "engine/render/DrawCall.h"
#include "engine/scene/SGMesh.h"

namespace {

class MeshTest : public SceneDeviceTest {};

TEST(BoundingBox, MergeGrowsByBothCornersAndTheEmptyBoxSpansEverything) {
  BoundingBox box, part;
  const float lo[3] = {-1, -2, -3}, hi[3] = {4, 5, 6};
  std::memcpy(part.minimum, lo, sizeof lo);
  std::memcpy(part.maximum, hi, sizeof hi);
  box.merge(part);
  EXPECT_EQ(0, std::memcmp(box.minimum, lo, sizeof lo));
  EXPECT_EQ(0, std::memcmp(box.maximum, hi, sizeof hi));
  box.merge(BoundingBox());  // its corners count as points
  EXPECT_EQ((std::pair{box.minimum[1], box.maximum[1]}), (std::pair{-999999.875f, 999999.875f}));
}

TEST_F(MeshTest, NodeGeometryIsSixtyByteVerticesInOneUploadedMesh) {
  SGMesh* node = new SGMesh;
  ImportMesh& in = node->getImportMesh();
  for (const D3DXVECTOR3& p : {D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(10, 0, 0), D3DXVECTOR3(0, 0, 10), D3DXVECTOR3(10, 0, 10)}) {
    in.positions.append(p);
    in.normals.append(D3DXVECTOR3(0, 2, 0));
    in.texCoords.append(D3DXVECTOR2(p.x / 10, p.z / 10));
    in.texCoords2.append(D3DXVECTOR2(0.25f, 0.25f));
  }
  for (int32_t i : {0, 2, 1, 1, 2, 3}) {
    in.faces.append(i);
    in.texFaces.append(i);
    in.texFaces2.append(i);
  }
  size_t from = calls().size();
  node->buildGeometry();

  Mesh* mesh = node->getMesh();
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(node->getMeshGroup()->meshAt(0), mesh);
  EXPECT_EQ(node->drawCall(), mesh->drawCall());
  EXPECT_EQ(node->drawCall()->primitiveCount, 2);
  // 60 x 4 vertex bytes and 2 x 6 index bytes.
  EXPECT_TRUE(startsWith(calls().textsOf("CreateVertexBuffer", from)[0], "CreateVertexBuffer(240,"));
  EXPECT_TRUE(startsWith(calls().textsOf("CreateIndexBuffer", from)[0], "CreateIndexBuffer(12,"));
  // Normal as welded, uv, the constant tangent, the second channel with v
  // flipped, opaque white.
  const float* w = reinterpret_cast<const float*>(mesh->data.vertices + 60 * 3);
  const float expected[14] = {10, 0, 10, 0, 2, 0, 1, 1, 1, 0, 0, 0.25f, 0.75f, 0};
  EXPECT_EQ(0, std::memcmp(w, expected, sizeof expected));
  uint32_t colour;
  std::memcpy(&colour, w + 14, 4);
  EXPECT_EQ(colour, 0xFFFFFFFFu);

  // Bounds go through the node transform (the world matrix plays no part).
  D3DXMATRIX transform;
  D3DXMatrixTranslation(&transform, 100, 200, 300);
  node->setTransform(&transform);
  D3DXVECTOR3 lo, hi;
  node->computeBounds(&lo, &hi);
  EXPECT_EQ((std::pair{lo, hi}), (std::pair{D3DXVECTOR3(100, 200, 300), D3DXVECTOR3(110, 200, 310)}));

  int live = recordingLiveObjects();
  delete node;
  EXPECT_EQ(recordingLiveObjects(), live - 2);
}

}  // namespace
