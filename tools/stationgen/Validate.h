#pragma once
// Checks a scene before it is written, so that a modelling slip fails the
// build with a clear message instead of a file the demo cannot use.

#include <string>

#include "tools/stationgen/Scene.h"

namespace stationgen {

// Limits the demo's reader and renderer impose, and the extent of the set.
struct SceneLimits {
  size_t maxWeldedVertices = 65536;  // 16-bit indices per mesh
  double maxExtent = 560.0;          // every world position within this of the origin
};

bool validateScene(const Scene& scene, const SceneLimits& limits, std::string& error);

}  // namespace stationgen
