#include "tools/stationgen/Primitives.h"

#include <cmath>

namespace stationgen {

namespace {

bool isPole(const ProfilePoint& p) { return std::fabs(p.r) < 1e-9; }

}  // namespace

void lathe(EditMesh& out, const Xform& at, const std::vector<ProfilePoint>& profile, int segments, int mtl,
           bool faceted) {
  const int n = static_cast<int>(profile.size());
  if (n < 2 || segments < 3) return;
  EditMesh m;

  // Texture v runs along the profile by arc length, u once around.
  std::vector<double> v(n, 0.0);
  for (int i = 1; i < n; ++i)
    v[i] = v[i - 1] + std::hypot(profile[i].r - profile[i - 1].r, profile[i].z - profile[i - 1].z);
  double total = v[n - 1] > 0 ? v[n - 1] : 1.0;

  // Ring of positions of point i; `below` and `above` differ only at creases.
  std::vector<int> ringBelow(n), ringAbove(n), tvRing(n);
  auto makeRing = [&](int i) {
    int first = static_cast<int>(m.positions.size());
    if (isPole(profile[i])) {
      m.addPosition({0, 0, profile[i].z});
      return first;
    }
    for (int s = 0; s < segments; ++s) {
      for (int edge = 0; edge < (faceted ? 2 : 1); ++edge) {
        double a = 2.0 * kPi * (s + edge) / segments;
        m.addPosition({profile[i].r * std::cos(a), profile[i].r * std::sin(a), profile[i].z});
      }
    }
    return first;
  };
  for (int i = 0; i < n; ++i) {
    ringBelow[i] = makeRing(i);
    ringAbove[i] = (profile[i].crease && i > 0 && i < n - 1) ? makeRing(i) : ringBelow[i];
    tvRing[i] = static_cast<int>(m.tverts.size());
    for (int s = 0; s <= segments; ++s) m.addTVert(static_cast<double>(s) / segments, 1.0 - v[i] / total);
  }
  auto at_ = [&](int ring, int i, int s, int edge) {
    if (isPole(profile[i])) return ring;
    if (faceted) return ring + 2 * (s % segments) + edge;
    return ring + (s + edge) % segments;
  };

  int group = m.nextSmoothingGroup();
  for (int i = 0; i + 1 < n; ++i) {
    if (i > 0 && profile[i].crease) group = m.nextSmoothingGroup();
    bool poleLow = isPole(profile[i]), poleHigh = isPole(profile[i + 1]);
    if (poleLow && poleHigh) continue;
    for (int s = 0; s < segments; ++s) {
      int g = faceted ? m.nextSmoothingGroup() : group;
      int a = at_(ringAbove[i], i, s, 0), b = at_(ringAbove[i], i, s, 1);
      int c = at_(ringBelow[i + 1], i + 1, s, 1), d = at_(ringBelow[i + 1], i + 1, s, 0);
      int ta = tvRing[i] + s, tb = tvRing[i] + s + 1, tc = tvRing[i + 1] + s + 1, td = tvRing[i + 1] + s;
      if (poleLow)
        m.triangle(a, c, d, ta, tc, td, g, mtl, 7);
      else if (poleHigh)
        m.triangle(a, b, c, ta, tb, tc, g, mtl, 7);
      else
        m.quad(a, b, c, d, ta, tb, tc, td, g, mtl);
    }
    if (faceted) group = m.nextSmoothingGroup();
  }
  out.append(m, at);
}

void box(EditMesh& out, const Xform& at, const Vec3& half, int mtl) {
  EditMesh m;
  // Each side: centre direction n and two tangents with u x v = n.
  const Vec3 sides[6][3] = {
      {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}},
      {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},   {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
  };
  auto scaled = [&](const Vec3& d) { return Vec3{d.x * half.x, d.y * half.y, d.z * half.z}; };
  for (const auto& side : sides) {
    Vec3 c = scaled(side[0]), u = scaled(side[1]), v = scaled(side[2]);
    int p0 = m.addPosition(c - u - v);
    m.addPosition(c + u - v);
    m.addPosition(c + u + v);
    m.addPosition(c - u + v);
    // Texture follows the side's size so panels tile evenly across parts.
    double su = 2.0 * length(u) / 100.0, sv = 2.0 * length(v) / 100.0;
    int t0 = m.addTVert(0, 0);
    m.addTVert(su, 0);
    m.addTVert(su, sv);
    m.addTVert(0, sv);
    m.quad(p0, p0 + 1, p0 + 2, p0 + 3, t0, t0 + 1, t0 + 2, t0 + 3, m.nextSmoothingGroup(), mtl);
  }
  out.append(m, at);
}

void beam(EditMesh& out, const Vec3& a, const Vec3& b, double halfWidth, int mtl) {
  Vec3 d = b - a;
  box(out, Xform::frame(Mat3::alongZ(d), (a + b) * 0.5), {halfWidth, halfWidth, length(d) * 0.5}, mtl);
}

void cylinder(EditMesh& out, const Xform& at, double radius, double z0, double z1, int segments, int mtl) {
  lathe(out, at, {{0, z0}, {radius, z0, true}, {radius, z1, true}, {0, z1}}, segments, mtl);
}

void rod(EditMesh& out, const Vec3& a, const Vec3& b, double radius, int segments, int mtl) {
  Vec3 d = b - a;
  cylinder(out, Xform::frame(Mat3::alongZ(d), a), radius, 0.0, length(d), segments, mtl);
}

void flange(EditMesh& out, const Xform& at, double r0, double r1, double z0, double z1, int segments, int mtl) {
  lathe(out, at, {{r0, z0}, {r1, z0, true}, {r1, z1, true}, {r0, z1, true}, {r0, z0}}, segments, mtl);
}

void sphere(EditMesh& out, const Xform& at, double radius, int segments, int rings, int mtl) {
  std::vector<ProfilePoint> p;
  for (int i = 0; i <= rings; ++i) {
    double a = -kPi / 2 + kPi * i / rings;
    p.push_back({i == 0 || i == rings ? 0.0 : radius * std::cos(a), radius * std::sin(a)});
  }
  lathe(out, at, p, segments, mtl);
}

void torus(EditMesh& out, const Xform& at, double R, double r, int segmentsAround, int segmentsTube, int mtl) {
  EditMesh m;
  for (int j = 0; j < segmentsAround; ++j) {
    double phi = 2.0 * kPi * j / segmentsAround;
    for (int k = 0; k < segmentsTube; ++k) {
      double theta = 2.0 * kPi * k / segmentsTube;
      double w = R + r * std::cos(theta);
      m.addPosition({w * std::cos(phi), w * std::sin(phi), r * std::sin(theta)});
    }
  }
  // Around the ring the texture tiles once per 100 units of circumference.
  double uTiles = std::round(2.0 * kPi * R / 100.0);
  for (int j = 0; j <= segmentsAround; ++j)
    for (int k = 0; k <= segmentsTube; ++k)
      m.addTVert(uTiles * j / segmentsAround, static_cast<double>(k) / segmentsTube);
  int group = m.nextSmoothingGroup();
  auto p = [&](int j, int k) { return (j % segmentsAround) * segmentsTube + k % segmentsTube; };
  auto t = [&](int j, int k) { return j * (segmentsTube + 1) + k; };
  for (int j = 0; j < segmentsAround; ++j)
    for (int k = 0; k < segmentsTube; ++k)
      m.quad(p(j, k), p(j + 1, k), p(j + 1, k + 1), p(j, k + 1), t(j, k), t(j + 1, k), t(j + 1, k + 1), t(j, k + 1),
             group, mtl);
  out.append(m, at);
}

void truss(EditMesh& out, const Xform& at, double length, double width, int bays, double member, int mtl) {
  EditMesh m;
  double h = width * 0.5, hm = member * 0.5;
  const double corner[4][2] = {{-h, -h}, {h, -h}, {h, h}, {-h, h}};
  auto pt = [&](double x, int c) { return Vec3{x, corner[c][0], corner[c][1]}; };
  for (int c = 0; c < 4; ++c) beam(m, pt(0, c), pt(length, c), hm, mtl);
  for (int b = 0; b <= bays; ++b) {
    double x = length * b / bays;
    for (int c = 0; c < 4; ++c) beam(m, pt(x, c), pt(x, (c + 1) % 4), hm * 0.8, mtl);
  }
  // Diagonals alternate direction from bay to bay, as on a Warren truss.
  for (int b = 0; b < bays; ++b) {
    double x0 = length * b / bays, x1 = length * (b + 1) / bays;
    for (int c = 0; c < 4; ++c) {
      bool flip = (b + c) % 2 != 0;
      beam(m, pt(flip ? x1 : x0, c), pt(flip ? x0 : x1, (c + 1) % 4), hm * 0.6, mtl);
    }
  }
  out.append(m, at);
}

void tiledPanel(EditMesh& out, const Xform& at, double length, double width, double thickness, int tilesAlong,
                int tilesAcross, double relief, int mtl, int tileMtl) {
  EditMesh m;
  box(m, Xform::at({0, 0, 0}), {length * 0.5, width * 0.5, thickness * 0.5}, mtl);
  double frame = std::min(length, width) * 0.02;
  double pitchL = (length - 2 * frame) / tilesAlong, pitchW = (width - 2 * frame) / tilesAcross;
  double gap = std::min(pitchL, pitchW) * 0.08;
  double top = thickness * 0.5;
  for (int i = 0; i < tilesAlong; ++i) {
    for (int j = 0; j < tilesAcross; ++j) {
      double x0 = -length * 0.5 + frame + i * pitchL + gap, x1 = x0 + pitchL - 2 * gap;
      double y0 = -width * 0.5 + frame + j * pitchW + gap, y1 = y0 + pitchW - 2 * gap;
      double z1 = top + relief;
      // Top face, the four sides and a bottom on the slab: closed, like every
      // part, so the shadow pass sees solid tiles.
      int p = m.addPosition({x0, y0, z1});
      m.addPosition({x1, y0, z1});
      m.addPosition({x1, y1, z1});
      m.addPosition({x0, y1, z1});
      int t = m.addTVert(static_cast<double>(i) / tilesAlong, static_cast<double>(j) / tilesAcross);
      m.addTVert(static_cast<double>(i + 1) / tilesAlong, static_cast<double>(j) / tilesAcross);
      m.addTVert(static_cast<double>(i + 1) / tilesAlong, static_cast<double>(j + 1) / tilesAcross);
      m.addTVert(static_cast<double>(i) / tilesAlong, static_cast<double>(j + 1) / tilesAcross);
      m.quad(p, p + 1, p + 2, p + 3, t, t + 1, t + 2, t + 3, m.nextSmoothingGroup(), tileMtl);
      const Vec3 ring[4] = {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
      for (int s = 0; s < 4; ++s) {
        Vec3 a = ring[s], b = ring[(s + 1) % 4];
        int q = m.addPosition({a.x, a.y, top});
        m.addPosition({b.x, b.y, top});
        m.addPosition({b.x, b.y, z1});
        m.addPosition({a.x, a.y, z1});
        m.quad(q, q + 1, q + 2, q + 3, t, t + 1, t + 2, t + 3, m.nextSmoothingGroup(), tileMtl);
      }
      int q = m.addPosition({x0, y0, top});
      m.addPosition({x0, y1, top});
      m.addPosition({x1, y1, top});
      m.addPosition({x1, y0, top});
      m.quad(q, q + 1, q + 2, q + 3, t, t + 3, t + 2, t + 1, m.nextSmoothingGroup(), tileMtl);
    }
  }
  out.append(m, at);
}

void dish(EditMesh& out, const Xform& at, double radius, double depth, double thickness, int segments, int rings,
          int mtl) {
  // Back from the vertex out to the rim, the rim band, then the reflector
  // surface back in to its vertex.
  std::vector<ProfilePoint> p;
  for (int i = 0; i <= rings; ++i) {
    double r = radius * i / rings;
    p.push_back({r, depth * (r / radius) * (r / radius) - thickness});
  }
  p.back().crease = true;
  p.push_back({radius, depth, true});
  for (int i = rings - 1; i >= 0; --i) {
    double r = radius * i / rings;
    p.push_back({r, depth * (r / radius) * (r / radius)});
  }
  lathe(out, at, p, segments, mtl);
}

}  // namespace stationgen
