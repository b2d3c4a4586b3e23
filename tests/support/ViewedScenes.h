#pragma once
// Exports for the viewer's tests, written as the exporter writes them
// (stationgen's writer), with what that writer never leaves out taken out
// where a case needs it: the material list, or a wireframe colour added.

#include <string>
#include <utility>
#include <vector>

#include "tools/stationgen/AseWriter.h"
#include "tools/stationgen/Primitives.h"

namespace viewed {

// One object: a box of the given half sizes at `at` (modelling frame, Z up).
inline stationgen::SceneObject block(const char* name, const stationgen::Vec3& at, const stationgen::Vec3& half,
                                     int material = 0) {
  stationgen::SceneObject object;
  object.name = name;
  stationgen::box(object.mesh, stationgen::Xform::at(at), half, 0);
  object.material = material;
  return object;
}

// A material of the colour and bitmap; with sub-materials, a multi-material.
inline stationgen::Material material(const stationgen::Colour& diffuse, const std::string& bitmap = "",
                                     const std::vector<stationgen::Material>& subMaterials = {}) {
  stationgen::Material m;
  m.diffuse = diffuse;
  m.bitmap = bitmap;
  m.submaterials = subMaterials;
  return m;
}

// A single upright square, one-sided: its front faces +X.
inline stationgen::SceneObject quad(const char* name, double size) {
  stationgen::SceneObject object;
  object.name = name;
  stationgen::EditMesh& m = object.mesh;
  const double h = size / 2;
  int a = m.addPosition({0, -h, -h}), b = m.addPosition({0, h, -h}), c = m.addPosition({0, h, h}),
      d = m.addPosition({0, -h, h});
  int t = m.addTVert(0, 0);
  m.quad(a, b, c, d, t, t, t, t, 1, 0);
  return object;
}

// The scene's text. Without materials the file has no material list and its
// objects no *MATERIAL_REF, as exports of animation tests have it; the named
// objects get a *WIREFRAME_COLOR line where the exporter puts it.
inline std::string exportText(const stationgen::Scene& scene,
                              const std::vector<std::pair<std::string, std::string>>& wireframeColours = {}) {
  std::string text;
  stationgen::writeAse(scene, text);
  auto erase = [&text](const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
      text.erase(at, text.find(to, at) + to.size() - at);
  };
  if (scene.materials.empty()) {
    erase("*MATERIAL_LIST {", "\r\n}\r\n");
    erase("\t*MATERIAL_REF", "\r\n");
  }
  for (const auto& [name, colour] : wireframeColours) {
    size_t at = text.find("*PROP_RECVSHADOW 1\r\n", text.find("*NODE_NAME \"" + name + "\""));
    if (at != std::string::npos) text.insert(at + 20, "\t*WIREFRAME_COLOR " + colour + "\r\n");
  }
  return text;
}

}  // namespace viewed
