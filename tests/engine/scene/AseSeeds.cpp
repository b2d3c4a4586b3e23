// ase_fuzz_seeds: writes two small exports with the station generator's kit
// into a folder, as seeds for the ASE reader's fuzz target: nested groups with
// a textured and a multi material, and an object with all three tracks.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "tools/stationgen/AseWriter.h"
#include "tools/stationgen/Primitives.h"

namespace {

using namespace stationgen;

Scene groupedScene() {
  Scene scene;
  Material hull{.name = "Hull", .diffuse = {0.6, 0.6, 0.6}, .bitmap = "C:\\maps\\station\\hull.jpg"};
  Material multi{.name = "Panels", .submaterials = {hull, Material{.name = "Glass", .diffuse = {0.1, 0.2, 0.4}}}};
  scene.materials = {hull, multi};
  SceneObject spokes{.name = "Spoke", .group = "Ring/Spokes", .material = 0};
  cylinder(spokes.mesh, Xform::rotate({0, 1, 0}, 1.5708), 4, -40, 40, 4, 0);
  SceneObject hub{.name = "Hub", .material = 1};
  sphere(hub.mesh, Xform::at({}), 12, 4, 3, 1);
  scene.objects = {spokes, hub};
  return scene;
}

Scene animatedScene() {
  Scene scene;
  scene.lastFrame = 20;
  scene.materials = {Material{.name = "Plain", .diffuse = {0.8, 0.7, 0.2}}};
  SceneObject pod{.name = "Pod"};
  pod.transform.position = {10, 0, 5};
  box(pod.mesh, Xform::at({}), {5, 3, 2}, 0);
  pod.positionTrack = {{0, {10, 0, 5}}, {1600, {10, 20, 5}}, {3200, {0, 20, 8}}};
  pod.rotationTrack = {{0, {0, 0, 1}, 0}, {1600, {0, 0, 1}, 0.5}, {3200, {1, 0, 0}, 0.25}};
  pod.scaleTrack = {{0, {1, 1, 1}}, {3200, {2, 1, 1}}};
  SceneObject ring{.name = "Ring"};
  torus(ring.mesh, Xform::at({0, 0, 20}), 15, 2, 5, 3, 0);
  scene.objects = {pod, ring};
  return scene;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ase_fuzz_seeds <folder>\n");
    return 2;
  }
  std::filesystem::create_directories(argv[1]);
  const std::pair<const char*, Scene> scenes[] = {{"grouped.ase", groupedScene()}, {"animated.ase", animatedScene()}};
  for (const auto& [name, scene] : scenes) {
    std::string text;
    writeAse(scene, text);
    std::ofstream out(std::filesystem::path(argv[1]) / name, std::ios::binary);
    if (!out.write(text.data(), std::streamsize(text.size()))) return 1;
  }
  return 0;
}
