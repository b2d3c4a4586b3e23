#pragma once
// Orbital station "Station 03": the demo's one scene.

#include "tools/stationgen/Scene.h"

namespace stationgen {

Scene buildStation();

}  // namespace stationgen
