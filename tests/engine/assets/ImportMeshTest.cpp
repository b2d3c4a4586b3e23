#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <tuple>
#include <vector>

#include "engine/assets/ImportMesh.h"

namespace {

// The weld as an ordered map from key to (output index, first corner) does
// it, straight from the definition: the reference for build() (key order,
// seams, collapsed faces dropped with their vertices kept).
struct KeyLess {
  bool operator()(const ImportVertex& a, const ImportVertex& b) const {
    const float* x = &a.position.x;
    const float* y = &b.position.x;
    for (int i = 0; i < 10; ++i)
      if (x[i] != y[i]) return x[i] < y[i];
    return false;
  }
};

void referenceWeld(const ImportMesh& m, std::vector<ImportVertex>& vertices, std::vector<uint16_t>& indices) {
  using Map = std::map<ImportVertex, int, KeyLess>;
  Map map;
  std::vector<Map::iterator> kept;  // the corners of the faces that stay
  for (uint32_t j = 0; j + 2 < m.faces.count; j += 3) {
    Map::iterator e[3];
    for (int k = 0; k < 3; ++k) {
      ImportVertex v;
      v.position = m.positions[m.faces[j + k]];
      v.normal = m.normals[m.faces[j + k]];
      v.texCoord = m.texFaces.count ? m.texCoords[m.texFaces[j + k]] : D3DXVECTOR2(0, 0);
      v.texCoord2 = m.texFaces2.count ? m.texCoords2[m.texFaces2[j + k]] : D3DXVECTOR2(0, 0);
      e[k] = map.emplace(v, 0).first;
    }
    if (e[0] != e[1] && e[0] != e[2] && e[1] != e[2]) kept.insert(kept.end(), e, e + 3);
  }
  int n = 0;
  for (auto& entry : map) {
    entry.second = n++;
    vertices.push_back(entry.first);
  }
  for (Map::iterator corner : kept) indices.push_back(uint16_t(corner->second));
}

void addPosition(ImportMesh& m, float x, float y, float z) {
  m.positions.append(D3DXVECTOR3(x, y, z));
  m.normals.append(D3DXVECTOR3(0, 0, 1));
}

void addFace(Array<int32_t>& list, int a, int b, int c) {
  for (int i : {a, b, c}) list.append(i);
}

// Two triangles over the unit square sharing the edge 1-2.
void square(ImportMesh& m) {
  for (int i = 0; i < 4; ++i) addPosition(m, float(i % 2), float(i / 2), 0);
  addFace(m.faces, 0, 1, 2);
  addFace(m.faces, 3, 2, 1);
  for (int i = 0; i < 4; ++i) m.texCoords.append(D3DXVECTOR2(float(i), 0));
  addFace(m.texFaces, 0, 1, 2);
  addFace(m.texFaces, 3, 2, 1);
}

}  // namespace

TEST(ImportMesh, EmptyMeshAndAppendingOutputs) {
  ImportMesh empty;
  Array<ImportVertex> vertices;
  Array<uint16_t> indices;
  ASSERT_TRUE(empty.build(vertices, indices));
  EXPECT_EQ((std::pair{vertices.count, indices.count}), (std::pair{0u, 0u}));

  ImportMesh m;
  square(m);
  vertices.append(ImportVertex{});
  indices.append(77);
  ASSERT_TRUE(m.build(vertices, indices));
  EXPECT_EQ((std::tuple{vertices.count, indices.count, indices[0]}), (std::tuple{5u, 7u, uint16_t(77)}));
}

TEST(ImportMesh, IndicesOutsideTheirArraysAreRejected) {
  struct Case {
    void (*spoil)(ImportMesh&);
    const char* reason;
  } cases[] = {
      {[](ImportMesh& m) { m.faces[2] = 4; }, "face index out of range"},
      {[](ImportMesh& m) { m.faces[2] = -1; }, "face index out of range"},
      {[](ImportMesh& m) { m.texFaces[5] = 4; }, "texture face index out of range"},
      {[](ImportMesh& m) { m.texFaces.count = 5; }, "texture face list shorter than the face list"},
      {[](ImportMesh& m) { addFace(m.texFaces2, 0, 0, 0); }, "second texture face list shorter than the face list"},
      {[](ImportMesh& m) {
         m.texCoords2.append(D3DXVECTOR2(0, 0));
         addFace(m.texFaces2, 0, 0, 0);
         addFace(m.texFaces2, 0, 1, 0);
       },
       "second texture face index out of range"},
      {[](ImportMesh& m) { m.normals.count = 3; }, "normals missing"},
  };
  for (const Case& c : cases) {
    ImportMesh m;
    square(m);
    c.spoil(m);
    EXPECT_STREQ(m.check(), c.reason);
    Array<ImportVertex> vertices;
    Array<uint16_t> indices;
    EXPECT_FALSE(m.build(vertices, indices));
    EXPECT_EQ((std::pair{vertices.count, indices.count}), (std::pair{0u, 0u}));
  }
}

TEST(ImportMesh, MoreDistinctVerticesThanSixteenBitIndicesReachAreRejected) {
  ImportMesh m;
  const int n = 65538;  // 65536 + 2: one triangle fan over a strip of points
  for (int i = 0; i < n; ++i) addPosition(m, float(i), float(i % 7), 0);
  for (int i = 0; i + 2 < n; ++i) addFace(m.faces, i, i + 1, i + 2);
  EXPECT_TRUE(m.exceedsVertexLimit());
  Array<ImportVertex> vertices;
  Array<uint16_t> indices;
  EXPECT_FALSE(m.build(vertices, indices));
  EXPECT_EQ(vertices.count, 0u);

  // Exactly 65536 fit, and the largest index is 65535.
  m.faces.count -= 3 * 2;
  EXPECT_FALSE(m.exceedsVertexLimit());
  ASSERT_TRUE(m.build(vertices, indices));
  EXPECT_EQ((std::pair{vertices.count, indices[indices.count - 1]}), (std::pair{65536u, uint16_t(65535)}));
}

TEST(ImportMesh, MatchesTheOrderedMapWeldOnRandomMeshes) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 40; ++round) {
    ImportMesh m;
    // The first rounds put many texture coordinates on very few positions.
    int positions = round < 8 ? 1 + round % 2 : 1 + int(rng() % 60);
    // Few distinct values so that equal keys, seams and collapsed faces abound.
    auto value = [&]() {
      static const float pool[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 2.0f, 1e-30f, -3.25f};
      return pool[rng() % 8];
    };
    for (int i = 0; i < positions; ++i) {
      m.positions.append(D3DXVECTOR3(value(), value(), rng() % 3 ? 0.0f : value()));
      m.normals.append(D3DXVECTOR3(value(), 0, rng() % 2 ? -0.0f : 0.0f));
    }
    int uvs = round < 8 ? 16 : 1 + int(rng() % 6);
    for (int i = 0; i < uvs; ++i) m.texCoords.append(D3DXVECTOR2(value(), value()));
    m.texCoords2.append(D3DXVECTOR2(0.25f, 0.25f));
    m.texCoords2.append(D3DXVECTOR2(-0.0f, 0.0f));
    int faces = int(rng() % 200);
    bool withUV = rng() % 4 != 0, withUV2 = rng() % 2 != 0;
    for (int f = 0; f < faces * 3; ++f) {
      m.faces.append(int32_t(rng() % positions));
      if (withUV) m.texFaces.append(int32_t(rng() % uvs));
      if (withUV2) m.texFaces2.append(int32_t(rng() % 2));
    }
    std::vector<ImportVertex> refVertices;
    std::vector<uint16_t> refIndices;
    referenceWeld(m, refVertices, refIndices);
    Array<ImportVertex> vertices;
    Array<uint16_t> indices;
    ASSERT_TRUE(m.build(vertices, indices));
    ASSERT_EQ(vertices.count, refVertices.size()) << "round " << round;
    for (uint32_t i = 0; i < vertices.count; ++i)
      EXPECT_EQ(std::memcmp(&vertices[i], &refVertices[i], sizeof(ImportVertex)), 0) << "round " << round << " " << i;
    EXPECT_EQ(std::vector<uint16_t>(indices.items, indices.items + indices.count), refIndices) << "round " << round;
  }
}
