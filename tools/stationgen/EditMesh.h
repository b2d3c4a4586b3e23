#pragma once
// An editable mesh as the modelling package keeps it: positions and texture
// vertices in separate pools, each face naming both. Smoothing follows the
// package's rule as the demo reads it: faces that share a position index share
// its normal, so smooth surfaces share indices and hard edges use separate ones.

#include <cstdint>
#include <vector>

#include "tools/stationgen/Math.h"

namespace stationgen {

struct Face {
  int v[3] = {0, 0, 0};  // position indices, counter-clockwise seen from outside
  int t[3] = {0, 0, 0};  // texture vertex indices, first mapping channel
  int smoothing = 0;     // smoothing group number, 0 for none
  int mtlId = 0;         // sub-material number
  uint8_t edges = 7;     // visible edges: bit 0 AB, bit 1 BC, bit 2 CA
};

class EditMesh {
 public:
  std::vector<Vec3> positions;
  std::vector<Vec2> tverts;
  std::vector<Face> faces;
  // Second mapping channel: one texture vertex per position, faces reuse the
  // position indices (a planar projection, as a UVW map on channel 2 gives).
  std::vector<Vec2> tverts2;

  int addPosition(const Vec3& p) {
    positions.push_back(p);
    return static_cast<int>(positions.size()) - 1;
  }
  int addTVert(double u, double v) {
    tverts.push_back({u, v});
    return static_cast<int>(tverts.size()) - 1;
  }
  // A new smoothing group number for the next surface patch. Numbers cycle
  // through 1..32 as the package's group bits do.
  int nextSmoothingGroup() {
    lastGroup = lastGroup % 32 + 1;
    return lastGroup;
  }

  void triangle(int a, int b, int c, int ta, int tb, int tc, int group, int mtl, uint8_t edges = 7);
  // a, b, c, d counter-clockwise seen from outside; split along a-c.
  void quad(int a, int b, int c, int d, int ta, int tb, int tc, int td, int group, int mtl);

  // Appends another mesh with its positions placed by `at`.
  void append(const EditMesh& other, const Xform& at);

  // Gives the mesh a second channel by planar projection onto the XY plane.
  void projectSecondChannel(double unitsPerTile);

  bool hasSecondChannel() const { return !tverts2.empty(); }

  // Area-weighted normal per position index (what the reader will compute,
  // normalised) and the unit normal of every face.
  void computeNormals(std::vector<Vec3>& vertexNormals, std::vector<Vec3>& faceNormals) const;

  // How many distinct vertices the welded form can have at most: the number of
  // distinct (position, texture vertex, second-channel vertex) corners.
  size_t weldedVertexBound() const;

  // Signed volume enclosed by the faces; positive when they all face outwards.
  double signedVolume() const;

 private:
  int lastGroup = 0;
};

}  // namespace stationgen
