#include "tools/stationgen/Validate.h"

#include <cmath>
#include <set>

namespace stationgen {

namespace {

// Names and paths are written between double quotes on lines the reader
// recognises by their braces; neither may appear inside.
bool plainText(const std::string& s) { return s.find_first_of("\"{}\r\n") == std::string::npos; }

bool checkMesh(const SceneObject& obj, const SceneLimits& limits, std::string& error) {
  const EditMesh& m = obj.mesh;
  const std::string where = "object '" + obj.name + "': ";
  if (m.faces.empty()) {
    error = where + "has no faces";
    return false;
  }
  const int nv = static_cast<int>(m.positions.size()), nt = static_cast<int>(m.tverts.size());
  for (size_t i = 0; i < m.faces.size(); ++i) {
    const Face& f = m.faces[i];
    for (int k = 0; k < 3; ++k) {
      if (f.v[k] < 0 || f.v[k] >= nv || f.t[k] < 0 || f.t[k] >= nt) {
        error = where + "face " + std::to_string(i) + " indexes outside its lists";
        return false;
      }
    }
    if (f.v[0] == f.v[1] || f.v[1] == f.v[2] || f.v[0] == f.v[2]) {
      error = where + "face " + std::to_string(i) + " repeats a corner";
      return false;
    }
    // A sliver this thin would weld into a line at the file's precision.
    Vec3 a = obj.transform.apply(m.positions[f.v[0]]), b = obj.transform.apply(m.positions[f.v[1]]),
         c = obj.transform.apply(m.positions[f.v[2]]);
    if (length(cross(b - a, c - a)) < 1e-4) {
      error = where + "face " + std::to_string(i) + " has no area";
      return false;
    }
  }
  size_t welded = m.weldedVertexBound();
  if (welded > limits.maxWeldedVertices) {
    error = where + std::to_string(welded) + " vertices after welding, more than 16-bit indices reach";
    return false;
  }
  for (const Vec3& p : m.positions) {
    Vec3 w = obj.transform.apply(p);
    if (!(std::fabs(w.x) <= limits.maxExtent && std::fabs(w.y) <= limits.maxExtent &&
          std::fabs(w.z) <= limits.maxExtent)) {
      error = where + "reaches outside the set";
      return false;
    }
  }
  if (obj.transform.linear().determinant() <= 1e-9) {
    error = where + "node transform is singular or mirrored";
    return false;
  }
  return true;
}

template <typename Keys>
bool checkTrack(const SceneObject& obj, const Keys& keys, const char* what, std::string& error) {
  if (keys.empty()) return true;
  if (keys.size() < 2 || keys.front().tick >= keys.back().tick) {
    error = "object '" + obj.name + "': " + what + " track needs keys spanning some time";
    return false;
  }
  for (size_t i = 1; i < keys.size(); ++i) {
    if (keys[i].tick <= keys[i - 1].tick) {
      error = "object '" + obj.name + "': " + what + " track keys out of order";
      return false;
    }
  }
  return true;
}

}  // namespace

bool validateScene(const Scene& scene, const SceneLimits& limits, std::string& error) {
  if (scene.materials.empty()) {
    error = "no materials";
    return false;
  }
  for (const Material& m : scene.materials) {
    if (!plainText(m.name) || !plainText(m.bitmap)) {
      error = "material '" + m.name + "': name or bitmap holds a quote, brace or line break";
      return false;
    }
  }
  std::set<std::string> names;
  for (const SceneObject& obj : scene.objects) {
    if (obj.name.empty() || !plainText(obj.name) || !plainText(obj.group)) {
      error = "object '" + obj.name + "': name or group holds a quote, brace or line break";
      return false;
    }
    if (!names.insert(obj.name).second) {
      error = "object name '" + obj.name + "' used twice";
      return false;
    }
    if (obj.material < 0 || obj.material >= static_cast<int>(scene.materials.size())) {
      error = "object '" + obj.name + "': material " + std::to_string(obj.material) + " does not exist";
      return false;
    }
    if (!checkMesh(obj, limits, error)) return false;
    if (!checkTrack(obj, obj.positionTrack, "position", error) ||
        !checkTrack(obj, obj.rotationTrack, "rotation", error) || !checkTrack(obj, obj.scaleTrack, "scale", error))
      return false;
  }
  return true;
}

}  // namespace stationgen
