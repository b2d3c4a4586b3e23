// Meshes on the recording device: storage by vertex format, the draw calls
// made from it, shared ownership through the reference counts; the mesh
// node's 60-byte vertices and bounds; the bounding box rules.

#include <cstring>

#include "SceneTestSupport.h"
#include "engine/Memory.h"
#include "engine/assets/Mesh.h"
#include "engine/render/DrawCall.h"
#include "engine/render/VertexFormats.h"
#include "engine/scene/SGMesh.h"

namespace {

class MeshTest : public SceneDeviceTest {};

uint32_t bits(float value) {
  uint32_t b;
  std::memcpy(&b, &value, 4);
  return b;
}

TEST(BoundingBox, MergeGrowsByBothCornersAndTheEmptyBoxSpansEverything) {
  BoundingBox box;
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_EQ(bits(box.minimum[axis]), 0x497423FEu);
    EXPECT_EQ(bits(box.maximum[axis]), 0xC97423FEu);
  }
  BoundingBox part;
  const float lo[3] = {-1, -2, -3}, hi[3] = {4, 5, 6};
  std::memcpy(part.minimum, lo, sizeof lo);
  std::memcpy(part.maximum, hi, sizeof hi);
  box.merge(part);
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_EQ(box.minimum[axis], lo[axis]);
    EXPECT_EQ(box.maximum[axis], hi[axis]);
  }

  // An empty box's corners count as points.
  box.merge(BoundingBox());
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_EQ(box.minimum[axis], -999999.875f);
    EXPECT_EQ(box.maximum[axis], 999999.875f);
  }
}

TEST_F(MeshTest, DrawCallsFollowTheStorageAndAreMadeOnce) {
  // A format the mesh does not hold: no vertex storage, no draw call.
  Mesh* screen = TRACKED_NEW(Mesh);
  screen->data.allocate(4, 6, VERTEXFORMAT_SCREEN, D3DPT_TRIANGLELIST);
  EXPECT_EQ(screen->data.vertices, nullptr);
  EXPECT_NE(screen->data.indices, nullptr);
  EXPECT_EQ(screen->createDrawCall(), nullptr);
  screen->release();

  // No indices: a plain draw over the vertices.
  Mesh* plain = TRACKED_NEW(Mesh);
  plain->data.allocate(6, 0, VERTEXFORMAT_COLORED, D3DPT_TRIANGLELIST);
  EXPECT_EQ(plain->data.indices, nullptr);
  MeshGroup* group = TRACKED_NEW(MeshGroup);
  group->addMesh(plain);
  EXPECT_EQ(plain->getRefCount(), 2);
  size_t before = calls().size();
  group->upload();
  group->upload();
  EXPECT_EQ(calls().count("CreateVertexBuffer", before), 1u);
  EXPECT_EQ(calls().count("CreateIndexBuffer", before), 0u);
  ASSERT_NE(plain->drawCall(), nullptr);
  EXPECT_EQ(plain->drawCall()->indexBuffer, nullptr);
  EXPECT_EQ(plain->drawCall()->primitiveCount, 2);
  EXPECT_EQ(calls().textsOf("CreateVertexBuffer", before)[0].find("CreateVertexBuffer(216,"), 0u);

  // The group's release leaves the creator's reference; the last one frees
  // the device buffers.
  int live = recordingLiveObjects();
  group->release();
  EXPECT_EQ(plain->getRefCount(), 1);
  EXPECT_EQ(recordingLiveObjects(), live);
  plain->release();
  EXPECT_EQ(recordingLiveObjects(), live - 1);
}

// Two triangles over four corners, with a second mapping channel.
void fillQuad(ImportMesh& mesh) {
  const D3DXVECTOR3 p[4] = {{0, 0, 0}, {10, 0, 0}, {0, 0, 10}, {10, 0, 10}};
  for (const D3DXVECTOR3& v : p) {
    mesh.positions.append(v);
    mesh.normals.append(D3DXVECTOR3(0, 2, 0));
    mesh.texCoords.append(D3DXVECTOR2(v.x / 10, v.z / 10));
    mesh.texCoords2.append(D3DXVECTOR2(0.25f, 0.25f));
  }
  for (int32_t i : {0, 2, 1, 1, 2, 3}) {
    mesh.faces.append(i);
    mesh.texFaces.append(i);
    mesh.texFaces2.append(i);
  }
}

TEST_F(MeshTest, NodeGeometryIsSixtyByteVerticesInOneUploadedMesh) {
  SGMesh* node = new SGMesh;
  fillQuad(node->getImportMesh());
  size_t before = calls().size();
  node->buildGeometry();

  Mesh* mesh = node->getMesh();
  ASSERT_NE(mesh, nullptr);
  ASSERT_NE(node->getMeshGroup(), nullptr);
  EXPECT_EQ(node->getMeshGroup()->meshAt(0), mesh);
  EXPECT_EQ(mesh->getRefCount(), 2);  // the node's and the group's
  EXPECT_EQ(mesh->data.vertexFormat, uint32_t(VERTEXFORMAT_MESH));
  EXPECT_EQ(mesh->data.vertexCount, 4u);
  EXPECT_EQ(mesh->data.indexCount, 6u);
  EXPECT_EQ(node->drawCall(), mesh->drawCall());
  EXPECT_EQ(node->drawCall()->primitiveCount, 2);
  // 60 x 4 vertex bytes and 6 x 2 index bytes reach the device.
  EXPECT_EQ(calls().textsOf("CreateVertexBuffer", before)[0].find("CreateVertexBuffer(240,"), 0u);
  EXPECT_EQ(calls().textsOf("CreateIndexBuffer", before)[0].find("CreateIndexBuffer(12,"), 0u);

  // Every vertex: position, normal as welded, uv, the constant tangent, the
  // second channel with v flipped, opaque white.
  for (uint32_t i = 0; i < mesh->data.vertexCount; ++i) {
    const float* w = reinterpret_cast<const float*>(mesh->data.vertices + 60 * i);
    EXPECT_EQ(w[4], 2.0f);
    EXPECT_EQ(w[6], w[0] / 10);
    EXPECT_EQ(w[7], w[2] / 10);
    EXPECT_EQ(w[8], 1.0f);
    EXPECT_EQ(w[9], 0.0f);
    EXPECT_EQ(w[11], 0.25f);
    EXPECT_EQ(w[12], 0.75f);
    EXPECT_EQ(w[13], 0.0f);
    uint32_t colour;
    std::memcpy(&colour, w + 14, 4);
    EXPECT_EQ(colour, 0xFFFFFFFFu);
  }

  // Bounds go through the node transform, not the world matrix.
  D3DXMATRIX transform;
  D3DXMatrixTranslation(&transform, 100, 200, 300);
  node->setTransform(&transform);
  D3DXVECTOR3 lo, hi;
  node->computeBounds(&lo, &hi);
  EXPECT_EQ(lo, D3DXVECTOR3(100, 200, 300));
  EXPECT_EQ(hi, D3DXVECTOR3(110, 200, 310));

  int live = recordingLiveObjects();
  delete node;
  EXPECT_EQ(recordingLiveObjects(), live - 2);
}

TEST_F(MeshTest, NodesWithoutFacesAreNotUploaded) {
  SGMesh* node = new SGMesh;
  node->setName("Dummy");
  node->getImportMesh().positions.append(D3DXVECTOR3(1, 2, 3));
  node->getImportMesh().normals.append(D3DXVECTOR3(0, 1, 0));
  size_t before = calls().size();
  node->buildGeometry();
  EXPECT_EQ(node->getMesh(), nullptr);
  EXPECT_EQ(node->drawCall(), nullptr);
  EXPECT_EQ(calls().count("CreateVertexBuffer", before), 0u);
  EXPECT_NE(logText().find("\nSGMesh::buildGeometry: Node 'Dummy' has no faces, not drawn.\n"), std::string::npos)
      << logText();

  // No positions at all: the bounds stay at their start values.
  SGMesh empty;
  D3DXVECTOR3 lo, hi;
  empty.computeBounds(&lo, &hi);
  EXPECT_EQ(lo, D3DXVECTOR3(99999.99f, 99999.99f, 99999.99f));
  EXPECT_EQ(hi, D3DXVECTOR3(-99999.99f, -99999.99f, -99999.99f));
  delete node;
}

}  // namespace
