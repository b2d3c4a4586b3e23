// ImportMesh::build on a million face corners against meshoptimizer's vertex
// remap (hashing, no sorting) and against a plain std::map weld.
#include <meshoptimizer.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "BenchReport.h"
#include "engine/assets/ImportMesh.h"

namespace {

struct KeyLess {
  bool operator()(const ImportVertex& a, const ImportVertex& b) const {
    const float* x = &a.position.x;
    const float* y = &b.position.x;
    for (int i = 0; i < 10; ++i)
      if (x[i] != y[i]) return x[i] < y[i];
    return false;
  }
};

// A 240 x 240 grid cut into texture charts 16 columns wide (the seam columns
// carry two texture coordinates), its faces laid down three times in
// different row orders: a million corners over 61,200 distinct vertices.
void makeLayeredMesh(ImportMesh& m) {
  const int n = 240;
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) {
      float z = std::sin(c * 0.2f) * std::cos(r * 0.15f) * 4.0f;
      m.positions.append(D3DXVECTOR3(c * 2.0f - 239.0f, z, r * 2.0f - 239.0f));
      m.normals.append(D3DXVECTOR3(-std::cos(c * 0.2f) * 0.8f, 8.0f, std::sin(r * 0.15f) * 0.6f));
      // Chart k ends at column 16 k + 16, where chart k + 1 starts again.
      m.texCoords.append(D3DXVECTOR2((c % 16) / 16.0f, r / 239.0f));
      m.texCoords.append(D3DXVECTOR2(1.0f, r / 239.0f));
    }
  }
  m.texCoords2.append(D3DXVECTOR2(0.25f, 0.25f));
  for (int pass = 0; pass < 3; ++pass) {
    for (int i = 0; i + 1 < n; ++i) {
      int r = (i * 97 + pass * 31) % (n - 1);
      for (int c = 0; c + 1 < n; ++c) {
        int a = r * n + c, b = a + 1, d = a + n, e = d + 1;
        int tri[2][3] = {{a, d, b}, {e, b, d}};
        for (auto& t : tri) {
          for (int k = 0; k < 3; ++k) {
            int column = t[k] % n;
            bool chartEnd = column % 16 == 0 && column != c;  // the right edge of this quad's chart
            m.faces.append(t[k]);
            m.texFaces.append(t[k] * 2 + (chartEnd ? 1 : 0));
            m.texFaces2.append(0);
          }
        }
      }
    }
  }
}

// A 128 x 128 grid laid down in eleven passes, each corner taking one of four
// texture charts at random: seams everywhere, 65,536 distinct vertices.
void makeSeamedMesh(ImportMesh& m) {
  const int n = 128;
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) {
      float z = std::sin(c * 0.2f) * std::cos(r * 0.15f) * 4.0f;
      m.positions.append(D3DXVECTOR3(c * 2.0f - 127.0f, z, r * 2.0f - 127.0f));
      m.normals.append(D3DXVECTOR3(-std::cos(c * 0.2f) * 0.8f, 8.0f, std::sin(r * 0.15f) * 0.6f));
      for (int chart = 0; chart < 4; ++chart)
        m.texCoords.append(D3DXVECTOR2(c / 127.0f + chart, r / 127.0f - chart * 0.5f));
    }
  }
  m.texCoords2.append(D3DXVECTOR2(0.25f, 0.25f));
  m.texCoords2.append(D3DXVECTOR2(0.75f, 0.5f));
  uint32_t faces = 0;
  for (int pass = 0; faces < 333334; ++pass) {
    for (int r = 0; r + 1 < n && faces < 333334; ++r) {
      for (int c = 0; c + 1 < n && faces < 333334; ++c) {
        int a = r * n + c, b = a + 1, d = a + n, e = d + 1;
        int chart = (pass + r * 3 + c * 5) & 3;
        int tri[2][3] = {{a, d, b}, {e, b, d}};
        for (int t = 0; t < 2 && faces < 333334; ++t, ++faces) {
          for (int k = 0; k < 3; ++k) {
            m.faces.append(tri[t][k]);
            m.texFaces.append(tri[t][k] * 4 + chart);
            m.texFaces2.append(chart & 1);
          }
        }
      }
    }
  }
}

struct Times {
  double ours, meshopt, stdmap;
  bool agree;
};

Times timeWelds(const char* name, const ImportMesh& mesh) {
  const uint32_t corners = mesh.faces.count;

  // The corners as one unindexed vertex stream, for meshoptimizer.
  std::vector<ImportVertex> stream(corners);
  for (uint32_t j = 0; j < corners; ++j) {
    ImportVertex& v = stream[j];
    v.position = mesh.positions[mesh.faces[j]];
    v.normal = mesh.normals[mesh.faces[j]];
    v.texCoord = mesh.texCoords[mesh.texFaces[j]];
    v.texCoord2 = mesh.texCoords2[mesh.texFaces2[j]];
  }

  uint32_t ourVertices = 0, ourIndices = 0;
  double ours = bench::medianMs(7, [&] {
    Array<ImportVertex> vertices;
    Array<uint16_t> indices;
    if (!mesh.build(vertices, indices)) std::fprintf(stderr, "build refused the mesh\n");
    ourVertices = vertices.count;
    ourIndices = indices.count;
  });

  std::vector<unsigned int> remap(corners);
  size_t meshoptVertices = 0;
  double meshopt = bench::medianMs(7, [&] {
    meshoptVertices =
        meshopt_generateVertexRemap(remap.data(), nullptr, corners, stream.data(), corners, sizeof(ImportVertex));
  });

  // The weld as an ordered map does it, on the mesh's own arrays: each corner
  // inserted with its corner number, the first corner of a key kept, a
  // table from corner number to map entry, the map walked in key order.
  size_t mapVertices = 0;
  double stdmap = bench::medianMs(3, [&] {
    using Map = std::map<ImportVertex, std::pair<uint32_t, uint32_t>, KeyLess>;
    Map map;
    std::vector<uint32_t> triangles;
    uint32_t corner = 0;
    for (uint32_t j = 0; j < corners; j += 3) {
      Map::iterator e[3];
      for (int k = 0; k < 3; ++k) {
        ImportVertex v;
        v.position = mesh.positions[mesh.faces[j + k]];
        v.normal = mesh.normals[mesh.faces[j + k]];
        v.texCoord = mesh.texCoords[mesh.texFaces[j + k]];
        v.texCoord2 = mesh.texCoords2[mesh.texFaces2[j + k]];
        e[k] = map.insert(Map::value_type(v, {0, corner++})).first;
      }
      if (e[0] == e[1] || e[0] == e[2] || e[1] == e[2]) continue;
      for (int k = 0; k < 3; ++k) triangles.push_back(e[k]->second.second);
    }
    std::vector<Map::iterator> table(corner);
    std::vector<ImportVertex> vertices;
    vertices.reserve(map.size());
    uint32_t n = 0;
    for (Map::iterator it = map.begin(); it != map.end(); ++it) {
      vertices.push_back(it->first);
      it->second.first = n++;
      table[it->second.second] = it;
    }
    std::vector<uint16_t> indices;
    indices.reserve(triangles.size());
    for (uint32_t c : triangles) indices.push_back(uint16_t(table[c]->second.first));
    mapVertices = vertices.size();
  });

  std::printf("%s: %u corners -> %u vertices, %u indices (meshoptimizer %zu, std::map %zu vertices)\n", name, corners,
              ourVertices, ourIndices, meshoptVertices, mapVertices);
  std::printf("  ImportMesh::build %8.2f ms   meshopt_generateVertexRemap %8.2f ms   std::map weld %8.2f ms\n", ours,
              meshopt, stdmap);
  return Times{ours, meshopt, stdmap, ourVertices == meshoptVertices && ourVertices == mapVertices};
}

}  // namespace

int main() {
  ImportMesh layered, seamed;
  makeLayeredMesh(layered);
  makeSeamedMesh(seamed);
  Times t = timeWelds("grid with chart seams, three layers", layered);
  // Every position on four charts: the slow path of the weld, for reference.
  Times worst = timeWelds("seams everywhere", seamed);
  bench::report("weld_vs_meshopt", t.ours, t.meshopt, "ms", "<= 3.0");
  bench::report("weld_vs_stdmap", t.ours, t.stdmap, "ms", "<= 0.2");
  return t.agree && worst.agree ? 0 : 1;
}
