#include "tools/stationgen/AseWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>

namespace stationgen {

namespace {

// Line builder: numbers are formatted by hand, both for speed (the file holds
// millions of them) and so that every run writes the same bytes.
class Out {
 public:
  explicit Out(std::string& s) : s(s) {}

  Out& indent(int depth) {
    s.append(static_cast<size_t>(depth), '\t');
    return *this;
  }
  Out& text(const char* t) {
    s += t;
    return *this;
  }
  Out& text(const std::string& t) {
    s += t;
    return *this;
  }
  Out& quoted(const std::string& t) {
    s += '"';
    s += t;
    s += '"';
    return *this;
  }
  Out& integer(long long v, int width = 0) {
    char buf[24];
    int n = 0;
    bool negative = v < 0;
    unsigned long long u = negative ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    do {
      buf[n++] = static_cast<char>('0' + u % 10);
      u /= 10;
    } while (u);
    if (negative) buf[n++] = '-';
    for (int pad = n; pad < width; ++pad) s += ' ';
    while (n) s += buf[--n];
    return *this;
  }
  // Fixed point with four decimals; negative zero prints as zero.
  Out& number(double v) {
    long long q = std::llround(v * 10000.0);
    if (q < 0) {
      s += '-';
      q = -q;
    }
    integer(q / 10000);
    s += '.';
    long long f = q % 10000;
    s += static_cast<char>('0' + f / 1000);
    s += static_cast<char>('0' + f / 100 % 10);
    s += static_cast<char>('0' + f / 10 % 10);
    s += static_cast<char>('0' + f % 10);
    return *this;
  }
  Out& vec(const Vec3& v) {
    number(v.x).tab().number(v.y).tab().number(v.z);
    return *this;
  }
  Out& colour(const Colour& c) {
    number(c.r).tab().number(c.g).tab().number(c.b);
    return *this;
  }
  Out& tab() {
    s += '\t';
    return *this;
  }
  Out& sp() {
    s += ' ';
    return *this;
  }
  void end() { s += "\r\n"; }

 private:
  std::string& s;
};

std::vector<std::string> splitPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start < path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

struct Bounds {
  Vec3 lo{1e30, 1e30, 1e30}, hi{-1e30, -1e30, -1e30};
  void add(const Vec3& p) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
};

class Writer {
 public:
  Writer(const Scene& scene, std::string& s) : scene(scene), o(s) {}

  void run() {
    o.text("*3DSMAX_ASCIIEXPORT\t200").end();
    o.text("*COMMENT \"AsciiExport Version  2,00 - Fri Jun 10 14:30:12 2005\"").end();
    writeSceneBlock();
    writeMaterials();
    prepareGroups();
    std::vector<std::string> open;
    for (const SceneObject& obj : scene.objects) {
      std::vector<std::string> path = splitPath(obj.group);
      size_t common = 0;
      while (common < open.size() && common < path.size() && open[common] == path[common]) ++common;
      while (open.size() > common) {
        open.pop_back();
        o.indent(static_cast<int>(open.size())).text("}").end();
      }
      while (open.size() < path.size()) {
        std::string parent = joined(open);
        open.push_back(path[open.size()]);
        int depth = static_cast<int>(open.size()) - 1;
        o.indent(depth).text("*GROUP ").quoted(open.back()).text(" {").end();
        writeGroupHead(depth + 1, open, parent);
      }
      writeObject(static_cast<int>(open.size()), obj);
    }
    while (!open.empty()) {
      open.pop_back();
      o.indent(static_cast<int>(open.size())).text("}").end();
    }
  }

 private:
  const Scene& scene;
  Out o;
  int mapCounter = 0;
  std::map<std::string, Bounds> groupBounds;

  static std::string joined(const std::vector<std::string>& parts) {
    std::string s;
    for (const std::string& p : parts) s += (s.empty() ? "" : "/") + p;
    return s;
  }

  void writeSceneBlock() {
    o.text("*SCENE {").end();
    o.indent(1).text("*SCENE_FILENAME ").quoted(scene.fileName).end();
    o.indent(1).text("*SCENE_FIRSTFRAME ").integer(scene.firstFrame).end();
    o.indent(1).text("*SCENE_LASTFRAME ").integer(scene.lastFrame).end();
    o.indent(1).text("*SCENE_FRAMESPEED ").integer(scene.frameSpeed).end();
    o.indent(1).text("*SCENE_TICKSPERFRAME ").integer(scene.ticksPerFrame).end();
    o.indent(1).text("*SCENE_BACKGROUND_STATIC ").colour({0, 0, 0}).end();
    o.indent(1).text("*SCENE_AMBIENT_STATIC ").colour({0.0431, 0.0431, 0.0431}).end();
    o.text("}").end();
  }

  void writeMaterials() {
    o.text("*MATERIAL_LIST {").end();
    o.indent(1).text("*MATERIAL_COUNT ").integer(static_cast<long long>(scene.materials.size())).end();
    for (size_t i = 0; i < scene.materials.size(); ++i) writeMaterial(1, "*MATERIAL ", static_cast<int>(i), scene.materials[i]);
    o.text("}").end();
  }

  void writeMaterial(int d, const char* keyword, int index, const Material& m) {
    o.indent(d).text(keyword).integer(index).text(" {").end();
    ++d;
    bool multi = !m.submaterials.empty();
    o.indent(d).text("*MATERIAL_NAME ").quoted(m.name).end();
    o.indent(d).text("*MATERIAL_CLASS ").quoted(multi ? "Multi/Sub-Object" : "Standard").end();
    o.indent(d).text("*MATERIAL_AMBIENT ").colour(m.ambient).end();
    o.indent(d).text("*MATERIAL_DIFFUSE ").colour(m.diffuse).end();
    o.indent(d).text("*MATERIAL_SPECULAR ").colour(m.specular).end();
    o.indent(d).text("*MATERIAL_SHINE ").number(m.shine).end();
    o.indent(d).text("*MATERIAL_SHINESTRENGTH ").number(m.shineStrength).end();
    o.indent(d).text("*MATERIAL_TRANSPARENCY ").number(0).end();
    o.indent(d).text("*MATERIAL_WIRESIZE ").number(1).end();
    if (multi) {
      o.indent(d).text("*NUMSUBMTLS ").integer(static_cast<long long>(m.submaterials.size())).end();
      for (size_t i = 0; i < m.submaterials.size(); ++i)
        writeMaterial(d, "*SUBMATERIAL ", static_cast<int>(i), m.submaterials[i]);
    } else {
      o.indent(d).text("*MATERIAL_SHADING Blinn").end();
      o.indent(d).text("*MATERIAL_XP_FALLOFF ").number(0).end();
      o.indent(d).text("*MATERIAL_SELFILLUM ").number(0).end();
      o.indent(d).text("*MATERIAL_FALLOFF In").end();
      o.indent(d).text("*MATERIAL_XP_TYPE Filter").end();
      if (!m.bitmap.empty()) writeDiffuseMap(d, m.bitmap);
    }
    o.indent(d - 1).text("}").end();
  }

  void writeDiffuseMap(int d, const std::string& bitmap) {
    o.indent(d).text("*MAP_DIFFUSE {").end();
    int e = d + 1;
    o.indent(e).text("*MAP_NAME ").quoted("Map #" + std::to_string(++mapCounter)).end();
    o.indent(e).text("*MAP_CLASS \"Bitmap\"").end();
    o.indent(e).text("*MAP_SUBNO 1").end();
    o.indent(e).text("*MAP_AMOUNT ").number(1).end();
    o.indent(e).text("*BITMAP ").quoted(bitmap).end();
    o.indent(e).text("*MAP_TYPE Screen").end();
    o.indent(e).text("*UVW_U_OFFSET ").number(0).end();
    o.indent(e).text("*UVW_V_OFFSET ").number(0).end();
    o.indent(e).text("*UVW_U_TILING ").number(1).end();
    o.indent(e).text("*UVW_V_TILING ").number(1).end();
    o.indent(e).text("*UVW_ANGLE ").number(0).end();
    o.indent(e).text("*UVW_BLUR ").number(1).end();
    o.indent(e).text("*UVW_BLUR_OFFSET ").number(0).end();
    o.indent(e).text("*UVW_NOUSE_AMT ").number(1).end();
    o.indent(e).text("*UVW_NOISE_SIZE ").number(1).end();
    o.indent(e).text("*UVW_NOISE_LEVEL 1").end();
    o.indent(e).text("*UVW_NOISE_PHASE ").number(0).end();
    o.indent(e).text("*BITMAP_FILTER Pyramidal").end();
    o.indent(d).text("}").end();
  }

  void prepareGroups() {
    for (const SceneObject& obj : scene.objects) {
      std::vector<std::string> path = splitPath(obj.group);
      Bounds b;
      for (const Vec3& p : obj.mesh.positions) b.add(obj.transform.apply(p));
      std::vector<std::string> prefix;
      for (const std::string& part : path) {
        prefix.push_back(part);
        Bounds& g = groupBounds[joined(prefix)];
        g.add(b.lo);
        g.add(b.hi);
      }
    }
  }

  // The group's head is a dummy helper standing at the centre of its members.
  void writeGroupHead(int d, const std::vector<std::string>& path, const std::string& parent) {
    const Bounds& b = groupBounds[joined(path)];
    Vec3 centre = (b.lo + b.hi) * 0.5;
    o.indent(d).text("*HELPEROBJECT {").end();
    o.indent(d + 1).text("*NODE_NAME ").quoted(path.back()).end();
    if (!parent.empty()) o.indent(d + 1).text("*NODE_PARENT ").quoted(splitPath(parent).back()).end();
    o.indent(d + 1).text("*HELPER_CLASS \"Dummy\"").end();
    NodeTransform t;
    t.position = centre;
    t.angle = 0;
    writeNodeTm(d + 1, path.back(), t);
    o.indent(d + 1).text("*BOUNDINGBOX_MIN ").vec(b.lo - centre).end();
    o.indent(d + 1).text("*BOUNDINGBOX_MAX ").vec(b.hi - centre).end();
    o.indent(d).text("}").end();
  }

  void writeNodeTm(int d, const std::string& name, const NodeTransform& t) {
    Mat3 l = t.linear();
    Vec3 axis;
    double angle;
    fileRotation(t.axis, t.angle, axis, angle);
    o.indent(d).text("*NODE_TM {").end();
    int e = d + 1;
    o.indent(e).text("*NODE_NAME ").quoted(name).end();
    o.indent(e).text("*INHERIT_POS 0 0 0").end();
    o.indent(e).text("*INHERIT_ROT 0 0 0").end();
    o.indent(e).text("*INHERIT_SCL 0 0 0").end();
    // Rows are the images of the unit axes (row vectors times the matrix).
    for (int r = 0; r < 3; ++r)
      o.indent(e).text("*TM_ROW").integer(r).sp().vec({l.m[0][r], l.m[1][r], l.m[2][r]}).end();
    o.indent(e).text("*TM_ROW3 ").vec(t.position).end();
    o.indent(e).text("*TM_POS ").vec(t.position).end();
    o.indent(e).text("*TM_ROTAXIS ").vec(axis).end();
    o.indent(e).text("*TM_ROTANGLE ").number(angle).end();
    o.indent(e).text("*TM_SCALE ").vec(t.scale).end();
    o.indent(e).text("*TM_SCALEAXIS ").vec({0, 0, 0}).end();
    o.indent(e).text("*TM_SCALEAXISANG ").number(0).end();
    o.indent(d).text("}").end();
  }

  void writeObject(int d, const SceneObject& obj) {
    o.indent(d).text("*GEOMOBJECT {").end();
    int e = d + 1;
    o.indent(e).text("*NODE_NAME ").quoted(obj.name).end();
    writeNodeTm(e, obj.name, obj.transform);
    writeMesh(e, obj);
    o.indent(e).text("*PROP_MOTIONBLUR 0").end();
    o.indent(e).text("*PROP_CASTSHADOW 1").end();
    o.indent(e).text("*PROP_RECVSHADOW 1").end();
    writeAnimation(e, obj);
    o.indent(e).text("*MATERIAL_REF ").integer(obj.material).end();
    o.indent(d).text("}").end();
  }

  void writeTVerts(int d, const std::vector<Vec2>& tv) {
    o.indent(d).text("*MESH_NUMTVERTEX ").integer(static_cast<long long>(tv.size())).end();
    o.indent(d).text("*MESH_TVERTLIST {").end();
    for (size_t i = 0; i < tv.size(); ++i)
      o.indent(d + 1).text("*MESH_TVERT ").integer(static_cast<long long>(i)).tab().number(tv[i].u).tab().number(tv[i].v).tab().number(0).end();
    o.indent(d).text("}").end();
  }

  template <typename CornerFn>
  void writeTFaces(int d, size_t count, CornerFn corner) {
    o.indent(d).text("*MESH_NUMTVFACES ").integer(static_cast<long long>(count)).end();
    o.indent(d).text("*MESH_TFACELIST {").end();
    for (size_t i = 0; i < count; ++i)
      o.indent(d + 1).text("*MESH_TFACE ").integer(static_cast<long long>(i)).tab().integer(corner(i, 0)).tab().integer(corner(i, 1)).tab().integer(corner(i, 2)).end();
    o.indent(d).text("}").end();
  }

  void writeMesh(int d, const SceneObject& obj) {
    const EditMesh& m = obj.mesh;
    std::vector<Vec3> world(m.positions.size());
    for (size_t i = 0; i < world.size(); ++i) world[i] = obj.transform.apply(m.positions[i]);

    o.indent(d).text("*MESH {").end();
    int e = d + 1, f = d + 2;
    o.indent(e).text("*TIMEVALUE 0").end();
    o.indent(e).text("*MESH_NUMVERTEX ").integer(static_cast<long long>(world.size())).end();
    o.indent(e).text("*MESH_NUMFACES ").integer(static_cast<long long>(m.faces.size())).end();
    o.indent(e).text("*MESH_VERTEX_LIST {").end();
    for (size_t i = 0; i < world.size(); ++i)
      o.indent(f).text("*MESH_VERTEX ").integer(static_cast<long long>(i), 4).tab().vec(world[i]).end();
    o.indent(e).text("}").end();
    o.indent(e).text("*MESH_FACE_LIST {").end();
    for (size_t i = 0; i < m.faces.size(); ++i) {
      const Face& fc = m.faces[i];
      o.indent(f).text("*MESH_FACE ").integer(static_cast<long long>(i), 4).text(":    A: ").integer(fc.v[0], 4);
      o.text(" B: ").integer(fc.v[1], 4).text(" C: ").integer(fc.v[2], 4);
      o.text(" AB: ").integer(fc.edges & 1, 4).text(" BC: ").integer(fc.edges >> 1 & 1, 4);
      o.text(" CA: ").integer(fc.edges >> 2 & 1, 4).text("\t *MESH_SMOOTHING ");
      if (fc.smoothing) o.integer(fc.smoothing);
      o.text(" \t*MESH_MTLID ").integer(fc.mtlId).end();
    }
    o.indent(e).text("}").end();
    writeTVerts(e, m.tverts);
    writeTFaces(e, m.faces.size(), [&](size_t i, int k) { return m.faces[i].t[k]; });
    o.indent(e).text("*MESH_NUMCVERTEX 0").end();
    if (m.hasSecondChannel()) {
      o.indent(e).text("*MESH_MAPPINGCHANNEL 2 {").end();
      writeTVerts(f, m.tverts2);
      writeTFaces(f, m.faces.size(), [&](size_t i, int k) { return m.faces[i].v[k]; });
      o.indent(e).text("}").end();
    }

    // Normals as the package exports them: the face normal, then each
    // corner's smoothed normal. Readers of this scene compute their own.
    std::vector<Vec3> faceNormals(m.faces.size()), vertexNormals(world.size());
    for (size_t i = 0; i < m.faces.size(); ++i) {
      const Face& fc = m.faces[i];
      Vec3 n = cross(world[fc.v[1]] - world[fc.v[0]], world[fc.v[2]] - world[fc.v[0]]);
      for (int k = 0; k < 3; ++k) vertexNormals[fc.v[k]] += n;
      faceNormals[i] = normalize(n);
    }
    o.indent(e).text("*MESH_NORMALS {").end();
    for (size_t i = 0; i < m.faces.size(); ++i) {
      o.indent(f).text("*MESH_FACENORMAL ").integer(static_cast<long long>(i)).tab().vec(faceNormals[i]).end();
      for (int k = 0; k < 3; ++k) {
        int v = m.faces[i].v[k];
        o.indent(f + 1).text("*MESH_VERTEXNORMAL ").integer(v).tab().vec(normalize(vertexNormals[v])).end();
      }
    }
    o.indent(e).text("}").end();
    o.indent(d).text("}").end();
  }

  void writeAnimation(int d, const SceneObject& obj) {
    if (obj.positionTrack.empty() && obj.rotationTrack.empty() && obj.scaleTrack.empty()) return;
    o.indent(d).text("*TM_ANIMATION {").end();
    int e = d + 1, f = d + 2;
    o.indent(e).text("*NODE_NAME ").quoted(obj.name).end();
    if (!obj.positionTrack.empty()) {
      o.indent(e).text("*CONTROL_POS_TRACK {").end();
      for (const PositionKey& k : obj.positionTrack)
        o.indent(f).text("*CONTROL_POS_SAMPLE ").integer(k.tick).tab().vec(k.value).end();
      o.indent(e).text("}").end();
    }
    if (!obj.rotationTrack.empty()) {
      o.indent(e).text("*CONTROL_ROT_TRACK {").end();
      for (const RotationKey& k : obj.rotationTrack) {
        Vec3 axis;
        double angle;
        fileRotation(k.axis, k.angle, axis, angle);
        o.indent(f).text("*CONTROL_ROT_SAMPLE ").integer(k.tick).tab().vec(axis).tab().number(angle).end();
      }
      o.indent(e).text("}").end();
    }
    if (!obj.scaleTrack.empty()) {
      o.indent(e).text("*CONTROL_SCALE_TRACK {").end();
      for (const ScaleKey& k : obj.scaleTrack)
        o.indent(f).text("*CONTROL_SCALE_SAMPLE ").integer(k.tick).tab().vec(k.value).tab().vec({0, 0, 0}).tab().number(0).end();
      o.indent(e).text("}").end();
    }
    o.indent(d).text("}").end();
  }
};

}  // namespace

void fileRotation(const Vec3& axis, double angle, Vec3& fileAxis, double& fileAngle) {
  Vec3 a = normalize(axis);
  if (std::fabs(angle) < 1e-9 || length(a) == 0.0) {
    fileAxis = {0, 0, 0};
    fileAngle = 0;
    return;
  }
  if (angle < 0) {
    a = -a;
    angle = -angle;
  }
  fileAxis = -a;
  fileAngle = angle;
}

void writeAse(const Scene& scene, std::string& out) {
  Writer(scene, out).run();
}

}  // namespace stationgen
