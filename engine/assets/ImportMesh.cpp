#include "engine/assets/ImportMesh.h"

#include <algorithm>
#include <cstring>

// Welding finds the distinct keys with a hash table, then sorts only those.
// The result is the one an ordered map from key to first corner gives: keys
// compare component by component with exact float equality (+0 equals -0),
// each distinct key keeps the bits of the first corner that produced it, and
// the output lists the keys in ascending order. NaN, which an ordering cannot
// place, is taken as one value above +infinity.

namespace {

const uint32_t keyWords = 10;

// Bits under which equal floats are equal: -0 becomes +0, every NaN one NaN.
inline uint32_t canonicalBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  uint32_t magnitude = bits & 0x7FFFFFFFu;
  if (magnitude == 0) return 0;
  if (magnitude > 0x7F800000u) return 0x7FC00000u;
  return bits;
}

// Canonical bits mapped so that unsigned order is float order.
inline uint32_t orderedBits(uint32_t canonical) {
  return (canonical & 0x80000000u) ? ~canonical : (canonical | 0x80000000u);
}

inline uint64_t hashWords(const uint32_t* w) {
  uint64_t h = 0x9E3779B97F4A7C15ull;
  for (uint32_t i = 0; i < keyWords; i += 2) {
    uint64_t v = (uint64_t(w[i]) << 32) | w[i + 1];
    h = (h ^ v) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 29;
  }
  h *= 0xC4CEB9FE1A85EC53ull;
  return h ^ (h >> 32);
}

struct SortEntry {
  uint64_t key[keyWords / 2];
  uint32_t id;
};

inline bool sortsBefore(const SortEntry& a, const SortEntry& b) {
  for (uint32_t i = 0; i < keyWords / 2; ++i)
    if (a.key[i] != b.key[i]) return a.key[i] < b.key[i];
  return false;
}

}  // namespace

struct ImportMesh::Weld {
  Array<ImportVertex> keys;    // distinct keys, first corner's bits, in order of appearance
  Array<uint32_t> canonical;   // keyWords per distinct key
  Array<uint32_t> table;       // open addressing: distinct id + 1, 0 when free
  Array<uint32_t> triangles;   // distinct ids of the kept faces, three each
  uint32_t count = 0;
};

const char* ImportMesh::check() const {
  uint32_t corners = faces.count / 3 * 3;
  if (normals.count < positions.count) return "normals missing";
  for (uint32_t j = 0; j < corners; ++j)
    if (uint32_t(faces.items[j]) >= positions.count) return "face index out of range";
  if (texFaces.count) {
    if (texFaces.count < corners) return "texture face list shorter than the face list";
    for (uint32_t j = 0; j < corners; ++j)
      if (uint32_t(texFaces.items[j]) >= texCoords.count) return "texture face index out of range";
  }
  if (texFaces2.count) {
    if (texFaces2.count < corners) return "second texture face list shorter than the face list";
    for (uint32_t j = 0; j < corners; ++j)
      if (uint32_t(texFaces2.items[j]) >= texCoords2.count) return "second texture face index out of range";
  }
  return nullptr;
}

bool ImportMesh::weld(Weld& w, bool keepTriangles) const {
  uint32_t faceCount = faces.count / 3;
  uint32_t corners = faceCount * 3;
  // More distinct keys than maxVertices ends the weld, so the table never
  // holds more than maxVertices + 1 of them.
  uint32_t expected = std::min(corners, maxVertices + 1);
  uint32_t tableSize = 16;
  while (tableSize < expected * 2) tableSize *= 2;
  uint32_t mask = tableSize - 1;
  w.table.resize(tableSize, false);
  std::memset(w.table.items, 0, sizeof(uint32_t) * tableSize);
  uint32_t reserve = std::max(1u, std::min(expected, 4096u));
  w.keys.resize(reserve, false);
  w.canonical.resize(reserve * keyWords, false);
  w.count = 0;
  if (keepTriangles) w.triangles.resize(corners, false);
  uint32_t kept = 0;

  const bool hasUV = texFaces.count != 0;
  const bool hasUV2 = texFaces2.count != 0;
  for (uint32_t f = 0; f < faceCount; ++f) {
    uint32_t ids[3];
    for (uint32_t k = 0; k < 3; ++k) {
      uint32_t j = f * 3 + k;
      ImportVertex key;
      int32_t p = faces.items[j];
      key.position = positions.items[p];
      key.normal = normals.items[p];
      key.texCoord = hasUV ? texCoords.items[texFaces.items[j]] : D3DXVECTOR2(0.0f, 0.0f);
      key.texCoord2 = hasUV2 ? texCoords2.items[texFaces2.items[j]] : D3DXVECTOR2(0.0f, 0.0f);

      uint32_t c[keyWords];
      const float* values = &key.position.x;
      for (uint32_t i = 0; i < keyWords; ++i) c[i] = canonicalBits(values[i]);

      uint32_t slot = uint32_t(hashWords(c)) & mask;
      uint32_t id;
      for (;;) {
        uint32_t entry = w.table.items[slot];
        if (entry == 0) {
          id = w.count++;
          if (w.count > maxVertices) return false;
          if (id == w.keys.capacity) {
            w.keys.resize(w.keys.capacity * 2, true);
            w.canonical.resize(w.keys.capacity * keyWords, true);
          }
          w.keys.items[id] = key;
          std::memcpy(w.canonical.items + size_t(id) * keyWords, c, sizeof(c));
          w.table.items[slot] = id + 1;
          break;
        }
        if (std::memcmp(w.canonical.items + size_t(entry - 1) * keyWords, c, sizeof(c)) == 0) {
          id = entry - 1;
          break;
        }
        slot = (slot + 1) & mask;
      }
      ids[k] = id;
    }
    if (keepTriangles && ids[0] != ids[1] && ids[0] != ids[2] && ids[1] != ids[2]) {
      w.triangles.items[kept++] = ids[0];
      w.triangles.items[kept++] = ids[1];
      w.triangles.items[kept++] = ids[2];
    }
  }
  if (keepTriangles) w.triangles.count = kept;
  return true;
}

bool ImportMesh::exceedsVertexLimit() const {
  Weld w;
  return !weld(w, false);
}

bool ImportMesh::build(Array<ImportVertex>& vertices, Array<uint16_t>& indices) const {
  if (check()) return false;
  Weld w;
  if (!weld(w, true)) return false;

  const uint32_t n = w.count;
  Array<SortEntry> order;
  order.resize(n, false);
  for (uint32_t id = 0; id < n; ++id) {
    const uint32_t* c = w.canonical.items + size_t(id) * keyWords;
    SortEntry& e = order.items[id];
    for (uint32_t i = 0; i < keyWords / 2; ++i)
      e.key[i] = (uint64_t(orderedBits(c[2 * i])) << 32) | orderedBits(c[2 * i + 1]);
    e.id = id;
  }
  std::sort(order.items, order.items + n, sortsBefore);

  // rank[id]: the output index of distinct key id.
  Array<uint32_t> rank;
  rank.resize(n, false);
  uint32_t firstVertex = vertices.count;
  vertices.resize(firstVertex + n, true);
  for (uint32_t i = 0; i < n; ++i) {
    rank.items[order.items[i].id] = i;
    vertices.items[firstVertex + i] = w.keys.items[order.items[i].id];
  }

  uint32_t firstIndex = indices.count;
  indices.resize(firstIndex + w.triangles.count, true);
  for (uint32_t i = 0; i < w.triangles.count; ++i)
    indices.items[firstIndex + i] = uint16_t(rank.items[w.triangles.items[i]]);
  return true;
}
