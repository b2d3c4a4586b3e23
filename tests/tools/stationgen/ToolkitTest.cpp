// The modelling toolkit and the station built with it: closed parts that face
// outwards and enclose the volume they should, and smoothing done the way the
// demo derives normals (shared position indices on smooth surfaces only).

#include <gtest/gtest.h>

#include <cmath>

#include "tools/stationgen/Primitives.h"
#include "tools/stationgen/Station.h"
#include "tools/stationgen/Validate.h"

using namespace stationgen;

namespace {

// Largest angle, in degrees, between a face and the smoothed normal of one of
// its corners: small on smooth surfaces, and a hard edge that shares its
// corners shows up as a large one.
double worstSmoothingAngle(const EditMesh& m) {
  std::vector<Vec3> vn, fn;
  m.computeNormals(vn, fn);
  double worst = 0;
  for (size_t i = 0; i < m.faces.size(); ++i)
    for (int k = 0; k < 3; ++k) {
      double c = std::clamp(dot(fn[i], vn[m.faces[i].v[k]]), -1.0, 1.0);
      worst = std::max(worst, std::acos(c) * 180.0 / kPi);
    }
  return worst;
}

}  // namespace

TEST(Toolkit, ClosedPartsFaceOutwardsAndEncloseTheirVolume) {
  const Xform at = Xform::rotate({1, 2, 3}, 0.7, {40, -20, 10});  // placement must not matter
  auto check = [](const char* name, const EditMesh& m, double expected, double tolerance) {
    EXPECT_GT(m.signedVolume(), 0) << name << " is inside out";
    EXPECT_TRUE(expected == 0 || std::fabs(m.signedVolume() - expected) <= expected * tolerance)
        << name << ": " << m.signedVolume() << " instead of " << expected;
  };
  EditMesh b, c, s, t, f, d, l;
  box(b, at, {2, 3, 4}, 0);
  cylinder(c, at, 5, -1, 9, 64, 0);
  sphere(s, at, 10, 64, 32, 0);
  torus(t, at, 20, 4, 96, 32, 0);
  flange(f, at, 8, 10, 0, 2, 96, 0);
  dish(d, at, 30, 6, 1, 96, 24, 0);
  lathe(l, at, {{0, 0}, {16, 0, true}, {16, 6, true}, {13, 12, true}, {0, 14}}, 7, 0, true);
  check("box", b, 8 * 2 * 3 * 4, 1e-9);
  check("cylinder", c, kPi * 25 * 10, 0.01);
  check("sphere", s, 4.0 / 3.0 * kPi * 1000, 0.01);
  check("torus", t, 2 * kPi * kPi * 20 * 16, 0.01);
  check("flange", f, kPi * (100 - 64) * 2, 0.01);
  check("dish", d, kPi * 900, 0.01);  // two paraboloids one thickness apart: disc area x thickness
  check("faceted dome", l, 0, 0);
}

TEST(Toolkit, HardEdgesSplitCornersAndSmoothSurfacesShareThem) {
  EditMesh b;
  box(b, Xform{}, {1, 1, 1}, 0);
  EXPECT_EQ(b.positions.size(), 24u);
  EXPECT_LT(worstSmoothingAngle(b), 1e-6);

  // A capped cylinder: the wall is smooth, the caps meet it at a crease.
  // (Area weighting over the split quads tilts the corner normals a little.)
  EditMesh c;
  cylinder(c, Xform{}, 5, 0, 10, 16, 0);
  EXPECT_EQ(c.positions.size(), 2u + 4u * 16u);
  EXPECT_LT(worstSmoothingAngle(c), 20.0);
  std::vector<Vec3> vn, fn;
  c.computeNormals(vn, fn);
  int smoothWall = 0;
  for (const Vec3& n : vn) smoothWall += std::fabs(n.z) < 1e-9;
  EXPECT_EQ(smoothWall, 32) << "wall corners share normals around, not with the caps";

  // A faceted lathe keeps every facet flat.
  EditMesh f;
  lathe(f, Xform{}, {{0, 0}, {10, 0, true}, {10, 5, true}, {0, 5}}, 6, 0, true);
  EXPECT_LT(worstSmoothingAngle(f), 1e-6);

  // Texture seams do not split positions: the torus is one smooth surface.
  EditMesh t;
  torus(t, Xform{}, 10, 2, 24, 12, 0);
  EXPECT_EQ(t.positions.size(), 24u * 12u);
  EXPECT_EQ(t.tverts.size(), 25u * 13u);
}

TEST(Toolkit, StationPassesItsOwnChecksAndSmoothsOnlySmoothSurfaces) {
  Scene scene = buildStation();
  std::string error;
  SceneLimits limits;
  limits.maxExtent = 500;
  EXPECT_TRUE(validateScene(scene, limits, error)) << error;
  for (const SceneObject& o : scene.objects) {
    EXPECT_LT(worstSmoothingAngle(o.mesh), 70.0) << o.name << " shares corners across a hard edge";
    EXPECT_GT(o.mesh.signedVolume(), 0.0) << o.name;
  }

  // The checks themselves catch what would break the demo.
  Scene bad = buildStation();
  bad.objects[3].mesh.faces[0].v[1] = static_cast<int>(bad.objects[3].mesh.positions.size());
  EXPECT_FALSE(validateScene(bad, SceneLimits{}, error));
  EXPECT_NE(error.find("indexes outside"), std::string::npos) << error;
  bad = buildStation();
  bad.objects[5].transform.position = {0, 0, 900};
  EXPECT_FALSE(validateScene(bad, SceneLimits{}, error));
  bad = buildStation();
  bad.objects[7].name = bad.objects[2].name;
  EXPECT_FALSE(validateScene(bad, SceneLimits{}, error));
  bad = buildStation();
  bad.objects[0].material = static_cast<int>(bad.materials.size());
  EXPECT_FALSE(validateScene(bad, SceneLimits{}, error));
}
