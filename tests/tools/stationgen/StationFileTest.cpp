// The generated scene file, read strictly as text: the shape of a real
// export, lists that agree with their counts, sampled tracks, and the scene's
// size. (What the demo's reader makes of it is StationSceneTest's.)

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>

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
    EXPECT_TRUE(m.find("*MATERIAL_SHINE") && m.find("*MATERIAL_SHINESTRENGTH"));
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
  }
}

TEST_F(StationFile, MeshListsAgreeWithTheirCountsAndTheStationFillsItsSet) {
  size_t triangles = 0, withSecondChannel = 0, withNormals = 0;
  double lo = 1e9, hi = -1e9;
  for (const AseLine* o : objects) {
    std::string name = o->find("*NODE_NAME")->quoted();
    const AseLine& mesh = *o->find("*MESH");
    const int nf = count(mesh, "*MESH_NUMFACES");
    // Counts precede their lists and agree with them: the reader sizes each
    // list by its count. Every face needs its texture face.
    for (const AseLine* block : {&mesh, mesh.find("*MESH_MAPPINGCHANNEL")}) {
      if (!block) continue;
      for (auto [countKey, listKey] : {std::pair{"*MESH_NUMVERTEX", "*MESH_VERTEX_LIST"}, {"*MESH_NUMFACES", "*MESH_FACE_LIST"},
                                       {"*MESH_NUMTVERTEX", "*MESH_TVERTLIST"}, {"*MESH_NUMTVFACES", "*MESH_TFACELIST"}}) {
        const AseLine *n = block->find(countKey), *list = block->find(listKey);
        if (block != &mesh && !n) continue;
        ASSERT_TRUE(n && list) << name << " " << listKey;
        EXPECT_LT(n->number, list->number) << name;
        EXPECT_EQ(list->children.size(), size_t(n->numbers().at(0))) << name << " " << listKey;
      }
      EXPECT_EQ(count(*block, "*MESH_NUMTVFACES"), nf) << name;
      withSecondChannel += block != &mesh;
    }
    if (const AseLine* normals = mesh.find("*MESH_NORMALS")) {
      EXPECT_EQ(static_cast<int>(normals->all("*MESH_FACENORMAL").size()), nf) << name;
      ++withNormals;
    }
    // No face uses a position twice: with different texture corners the
    // reader's weld would keep such a sliver.
    for (const AseLine& face : mesh.find("*MESH_FACE_LIST")->children) {
      int a = faceCorner(face.rest, "A:"), b = faceCorner(face.rest, "B:"), c = faceCorner(face.rest, "C:");
      EXPECT_TRUE(a != b && b != c && a != c) << name << ": " << face.rest;
    }
    for (const AseLine& l : mesh.find("*MESH_VERTEX_LIST")->children) {
      std::vector<double> v = l.numbers();
      for (int k = 1; k < 4; ++k) lo = std::min(lo, v[k]), hi = std::max(hi, v[k]);
    }
    triangles += size_t(nf);
  }
  EXPECT_GE(withSecondChannel, 3u);
  EXPECT_EQ(withNormals, objects.size());
  EXPECT_TRUE(objects.size() >= 100 && objects.size() <= 300) << objects.size();
  EXPECT_TRUE(triangles >= 50000 && triangles <= 200000) << triangles;
  // Within its set, and filling most of it.
  EXPECT_TRUE(lo >= -500.0 && hi <= 500.0 && hi - lo > 600.0) << lo << " .. " << hi;
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
  EXPECT_TRUE(tracks["Antenna_Sweep"].count("*CONTROL_ROT_TRACK"));  // the others: StationSceneTest
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
