// The generated scene file, read strictly as text: the shape of a real
// export, lists that agree with their counts, matrix rows that agree with the
// decomposed transform as the demo's reader rebuilds it, and the scene's size.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "support/AseText.h"
#include "support/TestDir.h"

namespace {

std::string runFile(const std::string& name) { return TestDir::read(std::string(VANTREL_RUN_DIR) + "/" + name); }

class StationFile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    text = new std::string(runFile("data/station03.ase"));
    root = new AseLine;
    parsed = parseAse(*text, *root, *parseError);
    collectObjects(*root, objects, 0, groupDepth);
  }
  static void TearDownTestSuite() {
    delete text;
    delete root;
    objects.clear();
  }
  void SetUp() override { ASSERT_TRUE(parsed) << *parseError; }

  static inline std::string* text;
  static inline AseLine* root;
  static inline std::string* parseError = new std::string;
  static inline bool parsed;
  static inline std::vector<const AseLine*> objects;
  static inline int groupDepth;
};

// Index after a face label, scanned as the reader does ("A:" then a number).
int faceCorner(const std::string& rest, const char* label) {
  size_t at = rest.find(label);
  return at == std::string::npos ? -1 : std::atoi(rest.c_str() + at + 2);
}

int count(const AseLine& block, const char* keyword) {
  const AseLine* l = block.find(keyword);
  return l ? static_cast<int>(l->numbers().at(0)) : -1;
}

// --- the demo reader's rebuild of a node transform, in its own frame ---------

struct M4 {
  double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};
M4 operator*(const M4& a, const M4& b) {
  M4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = 0;
      for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    }
  return r;
}
// Axis swapped into the reader's frame, then the quaternion's row-vector matrix.
M4 rotation(std::vector<double> axis, double angle) {
  double x = axis[0], y = axis[2], z = axis[1];
  double n = std::sqrt(x * x + y * y + z * z);
  if (n > 0) x /= n, y /= n, z /= n;
  double s = std::sin(angle / 2), w = std::cos(angle / 2);
  x *= s, y *= s, z *= s;
  M4 r;
  r.m[0][0] = 1 - 2 * (y * y + z * z), r.m[0][1] = 2 * (x * y + z * w), r.m[0][2] = 2 * (x * z - y * w);
  r.m[1][0] = 2 * (x * y - z * w), r.m[1][1] = 1 - 2 * (x * x + z * z), r.m[1][2] = 2 * (y * z + x * w);
  r.m[2][0] = 2 * (x * z + y * w), r.m[2][1] = 2 * (y * z - x * w), r.m[2][2] = 1 - 2 * (x * x + y * y);
  return r;
}
M4 transposed(const M4& a) {
  M4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = a.m[j][i];
  return r;
}

M4 readerTransform(const AseLine& tm) {
  auto v = [&](const char* k) { return tm.find(k)->numbers(); };
  M4 s, t;
  std::vector<double> sc = v("*TM_SCALE"), p = v("*TM_POS");
  s.m[0][0] = sc[0], s.m[1][1] = sc[2], s.m[2][2] = sc[1];
  t.m[3][0] = p[0], t.m[3][1] = p[2], t.m[3][2] = p[1];
  M4 rs = rotation(v("*TM_SCALEAXIS"), v("*TM_SCALEAXISANG")[0]);
  return transposed(rs) * s * rs * rotation(v("*TM_ROTAXIS"), v("*TM_ROTANGLE")[0]) * t;
}

}  // namespace

TEST_F(StationFile, ReadsAsAnAsciiExportWithNestedGroupsAndMaterials) {
  ASSERT_GE(root->children.size(), 4u);
  EXPECT_EQ(text->rfind("*3DSMAX_ASCIIEXPORT\t200\r\n", 0), 0u);
  EXPECT_EQ(root->children[1].keyword, "*COMMENT");
  const AseLine* scene = root->find("*SCENE");
  ASSERT_TRUE(scene);
  EXPECT_EQ(count(*scene, "*SCENE_FIRSTFRAME"), 0);
  EXPECT_GT(count(*scene, "*SCENE_LASTFRAME"), 0);
  EXPECT_GT(count(*scene, "*SCENE_TICKSPERFRAME"), 0);
  EXPECT_GE(groupDepth, 2) << "groups should nest";

  // The reader takes the line after the count, and the line after each
  // material's block, as the next material's header without looking at it.
  const AseLine* list = root->find("*MATERIAL_LIST");
  ASSERT_TRUE(list);
  int n = count(*list, "*MATERIAL_COUNT");
  ASSERT_GE(n, 5);
  ASSERT_EQ(static_cast<int>(list->children.size()), n + 1);
  EXPECT_EQ(list->children[0].keyword, "*MATERIAL_COUNT");
  int multi = 0;
  for (int i = 0; i < n; ++i) {
    const AseLine& m = list->children[i + 1];
    ASSERT_EQ(m.keyword, "*MATERIAL");
    EXPECT_EQ(static_cast<int>(m.numbers().at(0)), i);
    for (const char* k : {"*MATERIAL_AMBIENT", "*MATERIAL_DIFFUSE", "*MATERIAL_SPECULAR"})
      EXPECT_EQ(m.find(k) ? m.find(k)->numbers().size() : 0u, 3u) << k << " of material " << i;
    // Shine strength scales the specular colour read before it.
    ASSERT_TRUE(m.find("*MATERIAL_SPECULAR") && m.find("*MATERIAL_SHINESTRENGTH"));
    EXPECT_LT(m.find("*MATERIAL_SPECULAR")->number, m.find("*MATERIAL_SHINESTRENGTH")->number);
    EXPECT_TRUE(m.find("*MATERIAL_SHINE"));
    std::vector<const AseLine*> subs = m.all("*SUBMATERIAL");
    multi += !subs.empty();
    std::vector<const AseLine*> maps = subs.empty() ? std::vector<const AseLine*>{&m} : subs;
    for (const AseLine* owner : maps) {
      const AseLine* map = owner->find("*MAP_DIFFUSE");
      ASSERT_TRUE(map) << "material " << i;
      ASSERT_TRUE(map->find("*BITMAP"));
      std::string path = map->find("*BITMAP")->quoted();
      EXPECT_TRUE(path.size() > 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                  path[2] == '\\' && path.find('/') == std::string::npos)
          << "not a full Windows path: " << path;
    }
  }
  EXPECT_GE(multi, 1) << "some material should carry sub-materials";

  for (const AseLine* o : objects) {
    const AseLine* ref = o->find("*MATERIAL_REF");
    ASSERT_TRUE(ref) << o->find("*NODE_NAME")->quoted();
    EXPECT_LT(ref->numbers().at(0), n);
    // The reader takes the object space from the transform, so it must come
    // before the mesh.
    ASSERT_TRUE(o->find("*NODE_TM") && o->find("*MESH"));
    EXPECT_LT(o->find("*NODE_TM")->number, o->find("*MESH")->number);
  }
}

TEST_F(StationFile, MeshListsAgreeWithTheirCountsAndStayInRange) {
  size_t triangles = 0, withSecondChannel = 0, withNormals = 0;
  for (const AseLine* o : objects) {
    std::string name = o->find("*NODE_NAME")->quoted();
    const AseLine& mesh = *o->find("*MESH");
    int nv = count(mesh, "*MESH_NUMVERTEX"), nf = count(mesh, "*MESH_NUMFACES");
    int nt = count(mesh, "*MESH_NUMTVERTEX"), ntf = count(mesh, "*MESH_NUMTVFACES");
    // Counts must precede their lists: the reader sizes each list by them.
    ASSERT_LT(mesh.find("*MESH_NUMVERTEX")->number, mesh.find("*MESH_VERTEX_LIST")->number) << name;
    ASSERT_LT(mesh.find("*MESH_NUMTVERTEX")->number, mesh.find("*MESH_TVERTLIST")->number) << name;
    ASSERT_EQ(static_cast<int>(mesh.find("*MESH_VERTEX_LIST")->children.size()), nv) << name;
    ASSERT_EQ(static_cast<int>(mesh.find("*MESH_FACE_LIST")->children.size()), nf) << name;
    ASSERT_EQ(static_cast<int>(mesh.find("*MESH_TVERTLIST")->children.size()), nt) << name;
    ASSERT_EQ(ntf, nf) << name << ": every face needs its texture face";
    const auto& faces = mesh.find("*MESH_FACE_LIST")->children;
    const auto& tfaces = mesh.find("*MESH_TFACELIST")->children;
    ASSERT_EQ(static_cast<int>(tfaces.size()), ntf);

    std::vector<std::array<int, 3>> channel2;
    if (const AseLine* ch = mesh.find("*MESH_MAPPINGCHANNEL")) {
      int n2 = count(*ch, "*MESH_NUMTVERTEX");
      ASSERT_EQ(static_cast<int>(ch->find("*MESH_TVERTLIST")->children.size()), n2) << name;
      ASSERT_EQ(count(*ch, "*MESH_NUMTVFACES"), nf) << name;
      for (const AseLine& l : ch->find("*MESH_TFACELIST")->children) {
        std::vector<double> v = l.numbers();
        ASSERT_EQ(v.size(), 4u);
        for (int k = 1; k < 4; ++k) ASSERT_LT(v[k], n2) << name;
        channel2.push_back({static_cast<int>(v[1]), static_cast<int>(v[2]), static_cast<int>(v[3])});
      }
      ++withSecondChannel;
    }
    const AseLine* normals = mesh.find("*MESH_NORMALS");
    if (normals) {
      EXPECT_EQ(static_cast<int>(normals->all("*MESH_FACENORMAL").size()), nf) << name;
      ++withNormals;
    }

    // 16-bit indices: the welded vertices are at most the distinct corners.
    std::set<std::tuple<int, int, int>> corners;
    for (int i = 0; i < nf; ++i) {
      EXPECT_EQ(faces[i].keyword, "*MESH_FACE");
      int abc[3] = {faceCorner(faces[i].rest, "A:"), faceCorner(faces[i].rest, "B:"),
                    faceCorner(faces[i].rest, "C:")};
      std::vector<double> t = tfaces[i].numbers();
      ASSERT_EQ(t.size(), 4u);
      for (int k = 0; k < 3; ++k) {
        ASSERT_GE(abc[k], 0) << name << " face " << i;
        ASSERT_LT(abc[k], nv) << name << " face " << i;
        ASSERT_LT(t[k + 1], nt) << name << " face " << i;
        corners.insert({abc[k], static_cast<int>(t[k + 1]), channel2.empty() ? 0 : channel2[i][k]});
      }
      ASSERT_TRUE(abc[0] != abc[1] && abc[1] != abc[2] && abc[0] != abc[2]) << name << " face " << i;
    }
    EXPECT_LT(corners.size(), 65536u) << name;
    triangles += nf;
  }
  EXPECT_GE(withSecondChannel, 3u);
  EXPECT_EQ(withNormals, objects.size());
  EXPECT_GE(objects.size(), 100u);
  EXPECT_LE(objects.size(), 300u);
  EXPECT_GE(triangles, 50000u);
  EXPECT_LE(triangles, 200000u);
}

// Rebuilt the reader's way (axes swapped, quaternions, scale about its axis),
// the decomposed values give the matrix the rows state.
TEST_F(StationFile, MatrixRowsAgreeWithTheDecomposedTransform) {
  const int swap[3] = {0, 2, 1};
  double lo = 1e9, hi = -1e9;
  for (const AseLine* o : objects) {
    std::string name = o->find("*NODE_NAME")->quoted();
    const AseLine& tm = *o->find("*NODE_TM");
    M4 m = readerTransform(tm);
    for (int r = 0; r < 4; ++r) {
      std::vector<double> row = tm.find("*TM_ROW" + std::to_string(r))->numbers();
      ASSERT_EQ(row.size(), 3u);
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(m.m[r < 3 ? swap[r] : 3][swap[c]], row[c], 2e-3) << name << " row " << r << " column " << c;
    }
    for (const AseLine& l : o->find("*MESH")->find("*MESH_VERTEX_LIST")->children) {
      std::vector<double> v = l.numbers();
      for (int k = 1; k < 4; ++k) lo = std::min(lo, v[k]), hi = std::max(hi, v[k]);
    }
  }
  EXPECT_GE(lo, -500.0);
  EXPECT_LE(hi, 500.0);
  EXPECT_GT(hi - lo, 600.0) << "the station should fill most of its set";
}

TEST_F(StationFile, AnimatedObjectsCarrySampledTracksOverTheSceneFrames) {
  const AseLine* scene = root->find("*SCENE");
  int firstTick = count(*scene, "*SCENE_FIRSTFRAME") * count(*scene, "*SCENE_TICKSPERFRAME");
  int lastTick = count(*scene, "*SCENE_LASTFRAME") * count(*scene, "*SCENE_TICKSPERFRAME");
  std::map<std::string, std::set<std::string>> tracks;
  for (const AseLine* o : objects) {
    const AseLine* anim = o->find("*TM_ANIMATION");
    if (!anim) continue;
    std::string name = o->find("*NODE_NAME")->quoted();
    EXPECT_GT(anim->number, o->find("*MESH")->number);
    for (const AseLine& track : anim->children) {
      if (!track.block) continue;
      EXPECT_EQ(track.keyword.find("_TCB"), std::string::npos) << name << ": only sampled tracks can be read";
      tracks[name].insert(track.keyword);
      ASSERT_GE(track.children.size(), 2u);
      EXPECT_EQ(static_cast<int>(track.children.front().numbers()[0]), firstTick) << name;
      EXPECT_EQ(static_cast<int>(track.children.back().numbers()[0]), lastTick) << name;
      size_t values = track.keyword == "*CONTROL_POS_TRACK" ? 4 : track.keyword == "*CONTROL_ROT_TRACK" ? 5 : 8;
      for (const AseLine& s : track.children) EXPECT_EQ(s.numbers().size(), values) << name << " " << s.keyword;
    }
    // Sampled rotations start from the node's own rotation.
    if (const AseLine* rot = anim->find("*CONTROL_ROT_TRACK")) {
      std::vector<double> first = rot->children.front().numbers();
      std::vector<double> axis = o->find("*NODE_TM")->find("*TM_ROTAXIS")->numbers();
      double angle = o->find("*NODE_TM")->find("*TM_ROTANGLE")->numbers()[0];
      EXPECT_NEAR(first[4], angle, 1e-4) << name;
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(first[k + 1], axis[k], 1e-4) << name;
    }
  }
  EXPECT_TRUE(tracks["Ring_A_Hull"].count("*CONTROL_ROT_TRACK"));
  EXPECT_TRUE(tracks["Ring_A_Spokes"].count("*CONTROL_ROT_TRACK"));
  EXPECT_TRUE(tracks["Antenna_Sweep"].count("*CONTROL_ROT_TRACK"));
  EXPECT_TRUE(tracks["Shuttle_Hull"].count("*CONTROL_POS_TRACK"));
  EXPECT_TRUE(tracks["Beacon_Top"].count("*CONTROL_SCALE_TRACK"));
  EXPECT_LE(tracks.size(), 12u) << "a few objects are animated, not all";
}

// The build's files are what the generator writes, and it writes the same
// bytes every time.
TEST(StationGenerator, WritesTheSameBytesEveryRun) {
  TestDir dir("stationgen");
  std::string command = std::string("'") + STATIONGEN_EXE + "' out > out.txt 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << TestDir::read("out.txt");
  for (const char* f : {"data/station03.ase", "data/fajna.jpg", "data.pak"})
    EXPECT_TRUE(TestDir::read(std::string("out/") + f) == runFile(f)) << f << " differs from the build's copy";
  // A run dir that cannot be made is reported, not crashed on.
  TestDir::write("blocker", "x");
  EXPECT_NE(std::system(("'" + std::string(STATIONGEN_EXE) + "' blocker/run > err.txt 2>&1").c_str()), 0);
  EXPECT_NE(TestDir::read("err.txt").find("stationgen: cannot create"), std::string::npos);
}
