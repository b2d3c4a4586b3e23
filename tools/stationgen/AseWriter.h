#pragma once
// Writes a scene as the modelling package's ASCII exporter does: CR LF line
// ends, tab indentation, four-decimal numbers, vertices and normals in world
// space, node transforms both as matrix rows and decomposed.

#include <string>

#include "tools/stationgen/Scene.h"

namespace stationgen {

// Appends the whole file to `out`.
void writeAse(const Scene& scene, std::string& out);

// The axis and angle the file carries for a rotation of the modelling frame.
// The exporter's angles turn the other way round (the file's readers flip
// the handedness when they exchange Y and Z), and an identity rotation is
// written with a zero axis.
void fileRotation(const Vec3& axis, double angle, Vec3& fileAxis, double& fileAngle);

}  // namespace stationgen
