#pragma once
// The modelling toolkit: every builder appends one part to a mesh, placed by a
// rigid transform. Parts are closed and face outwards; smooth surfaces share
// their position indices, creases and box edges do not.

#include <vector>

#include "tools/stationgen/EditMesh.h"

namespace stationgen {

// One point of a profile revolved about the local Z axis. The outside of the
// surface lies to the right of the direction of travel in the (r, z) plane, so
// a wall drawn upwards faces away from the axis. r = 0 makes a pole.
struct ProfilePoint {
  double r = 0, z = 0;
  bool crease = false;  // hard edge here: the bands on either side do not share vertices
};

// A surface of revolution. `faceted` gives every segment its own flat face.
void lathe(EditMesh& m, const Xform& at, const std::vector<ProfilePoint>& profile, int segments, int mtl,
           bool faceted = false);

// A box of half extents `half` centred on the origin of `at`.
void box(EditMesh& m, const Xform& at, const Vec3& half, int mtl);

// A square-section member of the given half width from a to b (mesh coordinates).
void beam(EditMesh& m, const Vec3& a, const Vec3& b, double halfWidth, int mtl);

// A capped round bar from a to b (mesh coordinates).
void rod(EditMesh& m, const Vec3& a, const Vec3& b, double radius, int segments, int mtl);

// A capped cylinder along local Z from z0 to z1.
void cylinder(EditMesh& m, const Xform& at, double radius, double z0, double z1, int segments, int mtl);

// A flat ring (washer) about local Z between radii r0 < r1, from z0 to z1.
void flange(EditMesh& m, const Xform& at, double r0, double r1, double z0, double z1, int segments, int mtl);

// A sphere about the origin of `at`.
void sphere(EditMesh& m, const Xform& at, double radius, int segments, int rings, int mtl);

// A torus about local Z: ring radius R, tube radius r.
void torus(EditMesh& m, const Xform& at, double R, double r, int segmentsAround, int segmentsTube, int mtl);

// A square-section lattice truss along local +X from 0 to `length`, its
// section `width` wide centred on the X axis, with `bays` braced bays.
void truss(EditMesh& m, const Xform& at, double length, double width, int bays, double member, int mtl);

// A thin slab in the local XY plane (length along X, width along Y) carrying
// a grid of raised tiles on its +Z side: solar blankets, radiator faces.
void tiledPanel(EditMesh& m, const Xform& at, double length, double width, double thickness, int tilesAlong,
                int tilesAcross, double relief, int mtl, int tileMtl);

// A parabolic dish opening towards local +Z: rim `radius`, `depth` from the
// vertex to the rim plane, shell `thickness`.
void dish(EditMesh& m, const Xform& at, double radius, double depth, double thickness, int segments, int rings,
          int mtl);

}  // namespace stationgen
