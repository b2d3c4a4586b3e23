// SGMesh, geometry side: the welded mesh in the 60-byte vertex format, its
// group and device upload, and the node's bounds.

#include <cstring>

#include "engine/Log.h"
#include "engine/Memory.h"
#include "engine/assets/Mesh.h"
#include "engine/render/VertexFormats.h"
#include "engine/scene/SGMesh.h"

#include <utility>
#include "platform/d3d9/d3d9.h"

namespace {

// One vertex of VERTEXFORMAT_MESH as the shaders read it.
struct MeshVertex {
  float position[3];
  float normal[3];
  float texCoord[2];
  float tangent[3];  // TEXCOORD1, constant
  float uvw[3];      // TEXCOORD2: second channel with v flipped
  uint32_t color;
};
static_assert(sizeof(MeshVertex) == 60, "the mesh vertex is fifteen 32-bit words");

}  // namespace

namespace {

// The welded vertices and indices as a mesh in the 60-byte format.
Mesh* makeMesh(const Array<ImportVertex>& vertices, const Array<uint16_t>& indices) {
  Mesh* mesh = TRACKED_NEW(Mesh);
  mesh->data.allocate(vertices.count, indices.count, VERTEXFORMAT_MESH, D3DPT_TRIANGLELIST);
  std::memcpy(mesh->data.indices, indices.items, size_t(indices.count) * sizeof(uint16_t));

  MeshVertex* out = reinterpret_cast<MeshVertex*>(mesh->data.vertices);
  for (uint32_t i = 0; i < vertices.count; ++i) {
    const ImportVertex& in = vertices[i];
    MeshVertex v;
    v.position[0] = in.position.x;
    v.position[1] = in.position.y;
    v.position[2] = in.position.z;
    v.normal[0] = in.normal.x;
    v.normal[1] = in.normal.y;
    v.normal[2] = in.normal.z;
    v.texCoord[0] = in.texCoord.x;
    v.texCoord[1] = in.texCoord.y;
    v.tangent[0] = 1.0f;
    v.tangent[1] = 0.0f;
    v.tangent[2] = 0.0f;
    v.uvw[0] = in.texCoord2.x;
    v.uvw[1] = 1.0f - in.texCoord2.y;
    v.uvw[2] = 0.0f;
    v.color = 0xFFFFFFFFu;
    std::memcpy(&out[i], &v, sizeof v);
  }
  return mesh;
}

}  // namespace

void SGMesh::buildGeometry(const uint32_t* faceKeys) {
  releaseRef(meshGroup);
  releaseRef(mesh);
  partKeys.clear();

  // The keys in order of their first faces: one part each.
  Array<uint32_t> keys;
  const uint32_t faceCount = importMesh.faces.count / 3;
  if (faceKeys) {
    for (uint32_t f = 0; f < faceCount; ++f) {
      bool seen = false;
      for (uint32_t k = 0; k < keys.count && !seen; ++k) seen = keys[k] == faceKeys[f];
      if (!seen) keys.append(faceKeys[f]);
    }
  } else {
    keys.append(0);
  }

  const bool usePrepared = prepared && !faceKeys;
  prepared = false;
  for (uint32_t key : keys) {
    Array<ImportVertex> vertices;
    Array<uint16_t> indices;
    bool built;
    if (usePrepared) {
      built = preparedBuilt;
      vertices = std::move(preparedVertices);
      indices = std::move(preparedIndices);
    } else {
      built = importMesh.build(vertices, indices, faceKeys, key);
    }
    // A part without faces would ask the device for an empty buffer, which
    // it cannot make; such a part is simply not drawn.
    if (!built || indices.count == 0 || vertices.count == 0) continue;
    Mesh* part = makeMesh(vertices, indices);
    if (!meshGroup) {
      meshGroup = TRACKED_NEW(MeshGroup);
      mesh = part;  // the node's reference
    }
    meshGroup->addMesh(part);
    if (part != mesh) releaseRef(part);  // the group holds it
    partKeys.append(key);
  }
  if (!meshGroup) {
    logPrintf("SGMesh::buildGeometry: Node '%s' has no faces, not drawn.\n", getName());
    return;
  }
  meshGroup->upload();
}

void SGMesh::prepareGeometry() {
  preparedBuilt = importMesh.build(preparedVertices, preparedIndices, nullptr, 0);
  prepared = true;
}

void SGMesh::computeBounds(D3DXVECTOR3* minimum, D3DXVECTOR3* maximum) const {
  *minimum = D3DXVECTOR3(99999.99f, 99999.99f, 99999.99f);
  *maximum = D3DXVECTOR3(-99999.99f, -99999.99f, -99999.99f);
  for (const D3DXVECTOR3& position : importMesh.positions) {
    D3DXVECTOR4 p;
    D3DXVec3Transform(&p, &position, getTransform());
    if (p.x < minimum->x) minimum->x = p.x;
    if (p.y < minimum->y) minimum->y = p.y;
    if (p.z < minimum->z) minimum->z = p.z;
    if (p.x > maximum->x) maximum->x = p.x;
    if (p.y > maximum->y) maximum->y = p.y;
    if (p.z > maximum->z) maximum->z = p.z;
  }
}

DrawCall* SGMesh::drawCall() const { return partDrawCall(0); }

uint32_t SGMesh::partCount() const { return meshGroup ? meshGroup->meshCount() : 0; }

DrawCall* SGMesh::partDrawCall(uint32_t part) const {
  Mesh* found = meshGroup ? meshGroup->meshAt(part) : nullptr;
  return found ? found->drawCall() : nullptr;
}

void SGMesh::setWireframeColour(const float* rgb) {
  for (int c = 0; c < 3; ++c) wireframeColour[c] = rgb[c];
  hasWireframeColour = true;
}
