#include "tools/stationgen/EditMesh.h"

#include <algorithm>
#include <tuple>

namespace stationgen {

void EditMesh::triangle(int a, int b, int c, int ta, int tb, int tc, int group, int mtl, uint8_t edges) {
  Face f;
  f.v[0] = a, f.v[1] = b, f.v[2] = c;
  f.t[0] = ta, f.t[1] = tb, f.t[2] = tc;
  f.smoothing = group;
  f.mtlId = mtl;
  f.edges = edges;
  faces.push_back(f);
}

void EditMesh::quad(int a, int b, int c, int d, int ta, int tb, int tc, int td, int group, int mtl) {
  // The diagonal a-c is the hidden edge of both halves.
  triangle(a, b, c, ta, tb, tc, group, mtl, 0b011);
  triangle(a, c, d, ta, tc, td, group, mtl, 0b110);
}

void EditMesh::append(const EditMesh& other, const Xform& at) {
  int base = static_cast<int>(positions.size());
  int tbase = static_cast<int>(tverts.size());
  // Keep smoothing groups of the two meshes apart.
  int groupBase = lastGroup;
  int highest = 0;
  for (const Vec3& p : other.positions) positions.push_back(at.point(p));
  tverts.insert(tverts.end(), other.tverts.begin(), other.tverts.end());
  for (Face f : other.faces) {
    for (int k = 0; k < 3; ++k) {
      f.v[k] += base;
      f.t[k] += tbase;
    }
    if (f.smoothing) {
      highest = std::max(highest, f.smoothing);
      f.smoothing = (f.smoothing - 1 + groupBase) % 32 + 1;
    }
    faces.push_back(f);
  }
  lastGroup = (groupBase + highest) % 32;
}

void EditMesh::projectSecondChannel(double unitsPerTile) {
  tverts2.clear();
  tverts2.reserve(positions.size());
  for (const Vec3& p : positions) tverts2.push_back({p.x / unitsPerTile + 0.5, p.y / unitsPerTile + 0.5});
}

void EditMesh::computeNormals(std::vector<Vec3>& vertexNormals, std::vector<Vec3>& faceNormals) const {
  vertexNormals.assign(positions.size(), Vec3{});
  faceNormals.resize(faces.size());
  for (size_t i = 0; i < faces.size(); ++i) {
    const Face& f = faces[i];
    Vec3 n = cross(positions[f.v[1]] - positions[f.v[0]], positions[f.v[2]] - positions[f.v[0]]);
    for (int k = 0; k < 3; ++k) vertexNormals[f.v[k]] += n;
    faceNormals[i] = normalize(n);
  }
  for (Vec3& n : vertexNormals) n = normalize(n);
}

size_t EditMesh::weldedVertexBound() const {
  std::vector<std::tuple<int, int, int>> corners;
  corners.reserve(faces.size() * 3);
  bool second = hasSecondChannel();
  for (const Face& f : faces)
    for (int k = 0; k < 3; ++k) corners.emplace_back(f.v[k], f.t[k], second ? f.v[k] : 0);
  std::sort(corners.begin(), corners.end());
  return static_cast<size_t>(std::unique(corners.begin(), corners.end()) - corners.begin());
}

double EditMesh::signedVolume() const {
  double v = 0;
  for (const Face& f : faces) v += dot(positions[f.v[0]], cross(positions[f.v[1]], positions[f.v[2]]));
  return v / 6.0;
}

}  // namespace stationgen
