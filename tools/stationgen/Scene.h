#pragma once
// What the exporter writes: materials, objects with their node transforms,
// meshes and sampled tracks, and the groups they sit in. All in the modelling
// frame (Z up, rotations counter-clockwise about their axis).

#include <string>
#include <vector>

#include "tools/stationgen/EditMesh.h"

namespace stationgen {

struct Colour {
  double r = 0, g = 0, b = 0;
};

struct Material {
  std::string name;
  Colour ambient, diffuse, specular;
  double shine = 0.25, shineStrength = 0.05;
  std::string bitmap;  // full path as the artist's machine had it; empty for none
  std::vector<Material> submaterials;
};

// Node transform, decomposed: scale (about the identity scale axis), then
// rotation by `angle` about `axis`, then translation to `position`.
struct NodeTransform {
  Vec3 position;
  Vec3 axis{0, 0, 1};
  double angle = 0;
  Vec3 scale{1, 1, 1};

  Mat3 linear() const { return Mat3::rotation(axis, angle) * Mat3::scaling(scale); }
  Vec3 apply(const Vec3& p) const { return linear() * p + position; }
};

struct PositionKey {
  int tick;
  Vec3 value;
};
// The first key is the absolute rotation, every later one the rotation since
// the key before, as sampled rotation tracks are written.
struct RotationKey {
  int tick;
  Vec3 axis;
  double angle;
};
struct ScaleKey {
  int tick;
  Vec3 value;
};

struct SceneObject {
  std::string name;
  std::string group;  // slash-separated path of nested groups, empty at top level
  NodeTransform transform;
  EditMesh mesh;  // in object space; the exporter writes it in world space
  int material = 0;
  std::vector<PositionKey> positionTrack;
  std::vector<RotationKey> rotationTrack;
  std::vector<ScaleKey> scaleTrack;
};

struct Scene {
  std::string fileName = "station03.max";
  int firstFrame = 0, lastFrame = 300, frameSpeed = 30, ticksPerFrame = 160;
  std::vector<Material> materials;
  std::vector<SceneObject> objects;  // objects of one group are kept together
};

}  // namespace stationgen
