#include "engine/assets/ImportMesh.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Welding works in two steps. Corners name their vertex by a combination of
// indices (position, texture, second texture); equal combinations are equal
// keys, so each distinct combination is looked up once per corner in a short
// chain hanging off its position index (walked in creation order, which keeps
// a coherent face order cache-friendly). Only a combination met for the first
// time has its key gathered and looked up by value in a hash table, which
// merges equal keys of different indices. The distinct keys are then sorted.
//
// The result is the one an ordered map from key to first corner gives: keys
// compare component by component with exact float equality (+0 equals -0),
// each distinct key keeps the bits of the first corner that produced it, and
// the output lists the keys in ascending order. NaN, which an ordering cannot
// place, is taken as one value above +infinity.

namespace {

const uint32_t keyWords = 10;
// A position with more combinations than this moves them to a hash table, so
// that no file can make the chain walks quadratic.
const uint32_t maxChain = 8;
const uint32_t heavy = 0xFFFFFFFFu;

// Bits under which equal floats are equal: -0 becomes +0, every NaN one NaN.
inline uint32_t canonicalBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  uint32_t magnitude = bits & 0x7FFFFFFFu;
  bits = magnitude == 0 ? 0 : bits;
  return magnitude > 0x7F800000u ? 0x7FC00000u : bits;
}

// Canonical bits mapped so that unsigned order is float order.
inline uint32_t orderedBits(uint32_t canonical) {
  return (canonical & 0x80000000u) ? ~canonical : (canonical | 0x80000000u);
}

inline void canonicalKey(const ImportVertex& key, uint32_t* c) {
  const float* values = &key.position.x;
  for (uint32_t i = 0; i < keyWords; ++i) c[i] = canonicalBits(values[i]);
}

inline bool sameWords(const uint32_t* a, const uint32_t* b) {
  uint64_t x[keyWords / 2], y[keyWords / 2];
  std::memcpy(x, a, sizeof(x));
  std::memcpy(y, b, sizeof(y));
  return ((x[0] ^ y[0]) | (x[1] ^ y[1]) | (x[2] ^ y[2]) | (x[3] ^ y[3]) | (x[4] ^ y[4])) == 0;
}

inline uint64_t mix(uint64_t h) {
  h *= 0xC4CEB9FE1A85EC53ull;
  return h ^ (h >> 32);
}

inline uint64_t hashWords(const uint32_t* w) {
  uint64_t h = 0x9E3779B97F4A7C15ull;
  for (uint32_t i = 0; i < keyWords; i += 2) {
    uint64_t v = (uint64_t(w[i]) << 32) | w[i + 1];
    h = (h ^ v) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 29;
  }
  return mix(h);
}

inline uint64_t hashCombination(int32_t p, int32_t t, int32_t t2) {
  uint64_t h = (uint64_t(uint32_t(p)) << 32 | uint32_t(t)) * 0xFF51AFD7ED558CCDull;
  return mix(h ^ (h >> 29) ^ uint32_t(t2));
}

// The first two components in order bits decide nearly every comparison; the
// rest are looked up only on a tie.
struct SortEntry {
  uint64_t lead;
  uint32_t id;
};

inline uint64_t orderedPair(const uint32_t* c, uint32_t i) {
  return (uint64_t(orderedBits(c[i])) << 32) | orderedBits(c[i + 1]);
}

// Sorts by the lead with a byte-wise radix sort (skipping bytes all entries
// share), then orders runs of equal leads by their remaining components.
void sortEntries(Array<SortEntry>& entries, const ImportVertex* keys) {
  const uint32_t n = entries.count;
  uint32_t counts[8][256] = {};
  for (uint32_t i = 0; i < n; ++i)
    for (uint32_t b = 0; b < 8; ++b) ++counts[b][(entries.items[i].lead >> (8 * b)) & 0xFF];
  Array<SortEntry> other;
  other.resize(n, false);
  SortEntry* from = entries.items;
  SortEntry* to = other.items;
  for (uint32_t b = 0; b < 8; ++b) {
    uint32_t* count = counts[b];
    if (n == 0 || count[(from[0].lead >> (8 * b)) & 0xFF] == n) continue;
    uint32_t offset = 0;
    for (uint32_t d = 0; d < 256; ++d) {
      uint32_t c = count[d];
      count[d] = offset;
      offset += c;
    }
    for (uint32_t i = 0; i < n; ++i) to[count[(from[i].lead >> (8 * b)) & 0xFF]++] = from[i];
    std::swap(from, to);
  }
  if (from != entries.items) std::memcpy(static_cast<void*>(entries.items), from, sizeof(SortEntry) * n);

  auto rest = [keys](const SortEntry& a, const SortEntry& b) {
    uint32_t x[keyWords], y[keyWords];
    canonicalKey(keys[a.id], x);
    canonicalKey(keys[b.id], y);
    for (uint32_t i = 2; i < keyWords; i += 2) {
      uint64_t u = orderedPair(x, i), v = orderedPair(y, i);
      if (u != v) return u < v;
    }
    return false;
  };
  for (uint32_t i = 0; i < n;) {
    uint32_t end = i + 1;
    while (end < n && entries.items[end].lead == entries.items[i].lead) ++end;
    if (end - i > 1) std::sort(entries.items + i, entries.items + end, rest);
    i = end;
  }
}

// A position's first combination, kept with the position because most
// positions have no other, and the chain of the rest.
struct PositionSlot {
  int32_t texture;
  int32_t texture2;
  uint32_t key;    // noKey while the position has no combination
  uint32_t chain;  // newest further combination + 1, 0 none, or heavy
};
const uint32_t noKey = 0xFFFFFFFFu;

// One further distinct index combination.
struct Combination {
  int32_t position;
  int32_t texture;
  int32_t texture2;
  uint32_t next;  // the previous combination of the same position + 1, 0 at the end
  uint32_t key;   // distinct key id
};

// Open addressing over ids + 1 (0 free), growing at three quarters full.
template <typename Same>
uint32_t* findSlot(Array<uint32_t>& table, uint64_t hash, Same same) {
  uint32_t mask = table.count - 1;
  for (uint32_t slot = uint32_t(hash) & mask;; slot = (slot + 1) & mask) {
    uint32_t entry = table.items[slot];
    if (entry == 0 || same(entry - 1)) return &table.items[slot];
  }
}

template <typename Hash>
void growTable(Array<uint32_t>& table, uint32_t used, Hash hashOf) {
  if (table.count && uint64_t(used) * 4 < uint64_t(table.count) * 3) return;
  uint32_t size = table.count ? table.count * 2 : 1024;
  while (uint64_t(size) * 3 <= uint64_t(used) * 4) size *= 2;
  Array<uint32_t> old(std::move(table));
  table.resize(size, false);
  std::memset(table.items, 0, sizeof(uint32_t) * size);
  for (uint32_t i = 0; i < old.count; ++i) {
    if (!old.items[i]) continue;
    uint32_t mask = size - 1;
    uint32_t slot = uint32_t(hashOf(old.items[i] - 1)) & mask;
    while (table.items[slot]) slot = (slot + 1) & mask;
    table.items[slot] = old.items[i];
  }
}

}  // namespace

struct ImportMesh::Weld {
  Array<ImportVertex> keys;           // distinct keys, first corner's bits, in order of appearance
  Array<uint32_t> keyTable;           // distinct key ids by value
  Array<Combination> combinations;    // in order of appearance
  Array<PositionSlot> slots;          // per position
  Array<uint32_t> combinationTable;   // combinations of heavy positions
  uint32_t keyCount = 0;
  uint32_t combinationCount = 0;
  uint32_t heavyCount = 0;
};

namespace {

// Whether every one of the n indices, taken as unsigned (so negative ones
// are huge), is below limit; four at a time, without an early exit.
bool indicesBelow(const int32_t* indices, uint32_t n, uint32_t limit) {
  uint32_t j = 0;
  bool below = true;
#if defined(__SSE2__)
  // Unsigned comparison through signed lanes: flip the top bits.
  const __m128i bias = _mm_set1_epi32(int32_t(0x80000000u));
  const __m128i biasedLimit = _mm_xor_si128(_mm_set1_epi32(int32_t(limit)), bias);
  __m128i outside = _mm_setzero_si128();
  for (; j + 4 <= n; j += 4) {
    __m128i x = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(indices + j)), bias);
    outside = _mm_or_si128(outside, _mm_andnot_si128(_mm_cmplt_epi32(x, biasedLimit), _mm_set1_epi32(-1)));
  }
  below = _mm_movemask_epi8(outside) == 0;
#endif
  for (; j < n; ++j) below &= uint32_t(indices[j]) < limit;
  return below;
}

}  // namespace

const char* ImportMesh::check() const {
  uint32_t corners = faces.count / 3 * 3;
  if (normals.count < positions.count) return "normals missing";
  if (!indicesBelow(faces.items, corners, positions.count)) return "face index out of range";
  if (texFaces.count) {
    if (texFaces.count < corners) return "texture face list shorter than the face list";
    if (!indicesBelow(texFaces.items, corners, texCoords.count)) return "texture face index out of range";
  }
  if (texFaces2.count) {
    if (texFaces2.count < corners) return "second texture face list shorter than the face list";
    if (!indicesBelow(texFaces2.items, corners, texCoords2.count)) return "second texture face index out of range";
  }
  return nullptr;
}

// Writes the distinct key ids of the kept faces' corners to triangles (ids
// fit in 16 bits, as there are at most maxVertices of them) and their count
// to kept; triangles may be null when only the count of keys matters.
bool ImportMesh::weld(Weld& w, uint16_t* triangles, uint32_t* kept, const uint32_t* faceKeys, uint32_t key) const {
  const uint32_t faceCount = faces.count / 3;
  const uint32_t corners = faceCount * 3;
  const bool hasUV = texFaces.count != 0;
  const bool hasUV2 = texFaces2.count != 0;

  w.slots.resize(positions.count, false);
  for (uint32_t i = 0; i < positions.count; ++i) w.slots.items[i] = PositionSlot{0, 0, noKey, 0};
  // Room for every key there can be: pages are only touched as keys arrive.
  w.keys.resize(std::max(1u, std::min(corners, maxVertices)), false);
  w.combinations.resize(1024, false);
  w.keyCount = w.combinationCount = w.heavyCount = 0;
  // Sized once for every key there can be (no more than the corners, and the
  // weld stops at maxVertices + 1), at most three quarters full. An entry is
  // the key id + 1 in its low 17 bits and 15 bits of the key's hash above, so
  // that most probes are settled without looking at the key.
  uint32_t tableSize = 16;
  while (uint64_t(tableSize) * 3 <= uint64_t(std::min(corners, maxVertices + 1)) * 4) tableSize *= 2;
  w.keyTable.resize(tableSize, false);
  std::memset(w.keyTable.items, 0, sizeof(uint32_t) * tableSize);
  const uint32_t idBits = 0x1FFFFu;
  auto combinationHash = [&w](uint32_t id) {
    const Combination& c = w.combinations.items[id];
    return hashCombination(c.position, c.texture, c.texture2);
  };

  // The distinct key id of a combination met for the first time; maxVertices
  // + 1 once there are too many.
  auto keyOf = [&](int32_t p, int32_t t, int32_t t2) -> uint32_t {
    ImportVertex key;
    key.position = positions.items[p];
    key.normal = normals.items[p];
    key.texCoord = hasUV ? texCoords.items[t] : D3DXVECTOR2(0.0f, 0.0f);
    key.texCoord2 = hasUV2 ? texCoords2.items[t2] : D3DXVECTOR2(0.0f, 0.0f);
    uint32_t c[keyWords];
    canonicalKey(key, c);
    const uint64_t hash = hashWords(c);
    const uint32_t tag = uint32_t(hash >> 49) << 17;
    const uint32_t mask = w.keyTable.count - 1;
    uint32_t slot = uint32_t(hash) & mask;
    for (;; slot = (slot + 1) & mask) {
      uint32_t entry = w.keyTable.items[slot];
      if (entry == 0) break;
      if ((entry & ~idBits) != tag) continue;
      uint32_t other[keyWords];
      canonicalKey(w.keys.items[(entry & idBits) - 1], other);
      if (sameWords(other, c)) return (entry & idBits) - 1;
    }
    uint32_t id = w.keyCount++;
    if (w.keyCount > maxVertices) return maxVertices + 1;
    w.keys.items[id] = key;
    w.keyTable.items[slot] = (id + 1) | tag;
    return id;
  };

  auto addCombination = [&](int32_t p, int32_t t, int32_t t2, uint32_t key) -> uint32_t {
    uint32_t id = w.combinationCount++;
    if (id == w.combinations.count) w.combinations.resize(w.combinations.count * 2, true);
    w.combinations.items[id] = Combination{p, t, t2, 0, key};
    return id;
  };

  auto insertHeavy = [&](uint32_t id) {
    const Combination& c = w.combinations.items[id];
    uint32_t* slot = findSlot(w.combinationTable, hashCombination(c.position, c.texture, c.texture2),
                                        [](uint32_t) { return false; });
    *slot = id + 1;
    growTable(w.combinationTable, ++w.heavyCount, combinationHash);
  };

  // Everything but a corner whose position's first combination matches; kept
  // out of line so that the loop below stays small. Answers maxVertices + 1
  // when there are too many keys.
  auto lookUp = [&](int32_t p, int32_t t, int32_t t2) __attribute__((noinline)) -> uint32_t {
    PositionSlot& slot = w.slots.items[p];
    if (slot.key == noKey) {
      uint32_t id = keyOf(p, t, t2);
      if (id <= maxVertices) w.slots.items[p] = PositionSlot{t, t2, id, 0};
      return id;
    }
    if (slot.chain != heavy) {
      uint32_t head = slot.chain;
      uint32_t length = 0;
      for (uint32_t n = head; n; n = w.combinations.items[n - 1].next, ++length) {
        const Combination& c = w.combinations.items[n - 1];
        if (c.texture == t && c.texture2 == t2) return c.key;
      }
      uint32_t id = keyOf(p, t, t2);
      if (id > maxVertices) return id;
      uint32_t added = addCombination(p, t, t2, id);
      if (length < maxChain) {
        w.combinations.items[added].next = head;
        w.slots.items[p].chain = added + 1;
      } else {
        if (!w.combinationTable.count) growTable(w.combinationTable, 0, combinationHash);
        for (uint32_t n = head; n; n = w.combinations.items[n - 1].next) insertHeavy(n - 1);
        insertHeavy(added);
        w.slots.items[p].chain = heavy;
      }
      return id;
    }
    uint32_t* entry = findSlot(w.combinationTable, hashCombination(p, t, t2), [&](uint32_t n) {
      const Combination& c = w.combinations.items[n];
      return c.position == p && c.texture == t && c.texture2 == t2;
    });
    if (*entry) return w.combinations.items[*entry - 1].key;
    uint32_t id = keyOf(p, t, t2);
    if (id <= maxVertices) insertHeavy(addCombination(p, t, t2, id));
    return id;
  };

  static const int32_t zeros[3] = {0, 0, 0};
  uint32_t written = 0;
  for (uint32_t f = 0; f < faceCount; ++f) {
    if (faceKeys && faceKeys[f] != key) continue;
    const uint32_t j = f * 3;
    const int32_t* p = faces.items + j;
    const int32_t* t = hasUV ? texFaces.items + j : zeros;
    const int32_t* t2 = hasUV2 ? texFaces2.items + j : zeros;
    // Fetch a few faces ahead: finding the combination is where the time goes.
    if (f + 6 < faceCount) {
      __builtin_prefetch(&w.slots.items[p[18]]);
      __builtin_prefetch(&w.slots.items[p[19]]);
      __builtin_prefetch(&w.slots.items[p[20]]);
    }
    uint32_t ids[3];
    for (uint32_t k = 0; k < 3; ++k) {
      const PositionSlot& slot = w.slots.items[p[k]];
      uint32_t id = slot.key;
      if (slot.texture != t[k] || slot.texture2 != t2[k] || id == noKey) {
        id = lookUp(p[k], t[k], t2[k]);
        if (id > maxVertices) return false;
      }
      ids[k] = id;
    }
    if (triangles && ids[0] != ids[1] && ids[0] != ids[2] && ids[1] != ids[2]) {
      triangles[written++] = uint16_t(ids[0]);
      triangles[written++] = uint16_t(ids[1]);
      triangles[written++] = uint16_t(ids[2]);
    }
  }
  if (kept) *kept = written;
  return true;
}

bool ImportMesh::exceedsVertexLimit() const {
  Weld w;
  return !weld(w, nullptr, nullptr, nullptr, 0);
}

bool ImportMesh::build(Array<ImportVertex>& vertices, Array<uint16_t>& indices) const {
  return build(vertices, indices, nullptr, 0);
}

bool ImportMesh::build(Array<ImportVertex>& vertices, Array<uint16_t>& indices, const uint32_t* faceKeys,
                       uint32_t key) const {
  if (check()) return false;
  // The kept corners' key ids go straight into the index output and are
  // turned into output indices once the keys are sorted.
  const uint32_t firstIndex = indices.count;
  const uint32_t corners = faces.count / 3 * 3;
  if (indices.capacity < firstIndex + corners) {
    indices.resize(firstIndex + corners, true);
    indices.count = firstIndex;
  }
  Weld w;
  uint32_t kept = 0;
  if (!weld(w, indices.items + firstIndex, &kept, faceKeys, key)) return false;

  const uint32_t n = w.keyCount;
  Array<SortEntry> order;
  order.resize(n, false);
  for (uint32_t id = 0; id < n; ++id) {
    uint32_t c[keyWords];
    canonicalKey(w.keys.items[id], c);
    order.items[id] = SortEntry{orderedPair(c, 0), id};
  }
  sortEntries(order, w.keys.items);

  // rank[id]: the output index of distinct key id.
  Array<uint16_t> rank;
  rank.resize(n, false);
  const uint32_t firstVertex = vertices.count;
  vertices.resize(firstVertex + n, true);
  for (uint32_t i = 0; i < n; ++i) {
    rank.items[order.items[i].id] = uint16_t(i);
    vertices.items[firstVertex + i] = w.keys.items[order.items[i].id];
  }
  uint16_t* out = indices.items + firstIndex;
  for (uint32_t i = 0; i < kept; ++i) out[i] = rank.items[out[i]];
  indices.count = firstIndex + kept;
  return true;
}
