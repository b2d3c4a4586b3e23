#pragma once
// The raw geometry of one mesh node as the ASE reader leaves it: positions and
// texture coordinates in separate pools, every face naming its corners by
// separate indices, as the file has them. build() welds it into one vertex per
// distinct (position, normal, uv, uv2) and 16-bit triangle indices.

#include <cstdint>

#include "engine/Array.h"
#include "platform/d3dx/d3dx9math.h"

// The welded vertex: both the welding key and the output element.
struct ImportVertex {
  D3DXVECTOR3 position;
  D3DXVECTOR3 normal;
  D3DXVECTOR2 texCoord;
  D3DXVECTOR2 texCoord2;
};
static_assert(sizeof(ImportVertex) == 40, "ImportVertex is ten packed floats");

class ImportMesh {
 public:
  // Indices are 16 bits wide, so this many distinct vertices at most.
  static constexpr uint32_t maxVertices = 65536;

  ImportMesh() = default;
  ImportMesh(const ImportMesh&) = delete;
  ImportMesh& operator=(const ImportMesh&) = delete;

  // Appends the welded vertices, in ascending key order, and three indices per
  // kept face, in face order. A face whose corners weld together is dropped
  // (its vertices are still emitted). Returns false, leaving both outputs as
  // they were, when check() finds a fault or more than maxVertices distinct
  // vertices result.
  bool build(Array<ImportVertex>& vertices, Array<uint16_t>& indices) const;
  // The same for the faces whose entry in faceKeys (one per face) is key.
  bool build(Array<ImportVertex>& vertices, Array<uint16_t>& indices, const uint32_t* faceKeys, uint32_t key) const;

  // Null when every index build() reads lies inside its array; otherwise a
  // short reason ("face index out of range", ...).
  const char* check() const;

  // Whether welding would give more than maxVertices vertices. Stops counting
  // as soon as the limit is passed. Expects check() to have passed.
  bool exceedsVertexLimit() const;

  Array<D3DXVECTOR3> positions;  // object space
  Array<D3DXVECTOR3> normals;    // one per position, unnormalised
  Array<int32_t> faces;          // three position indices per face
  Array<D3DXVECTOR2> texCoords;
  Array<int32_t> texFaces;       // entry i belongs to the corner of faces[i]
  Array<D3DXVECTOR2> texCoords2;
  Array<int32_t> texFaces2;
  // The *MESH_MTLID of each face (0 where the file gives none): which
  // sub-material of a multi-material the face takes.
  Array<int32_t> faceMaterials;

 private:
  struct Weld;
  bool weld(Weld& weld, uint16_t* triangles, uint32_t* kept, const uint32_t* faceKeys, uint32_t key) const;
};
