// The generated station: a strict reading of its text (the shape of a real
// export) held against what the demo's own reader makes of it. Every object
// a node, every mesh accepted and welded within 16-bit indices, transforms
// that agree with the file's matrix rows, outward normals, materials with
// full Windows paths, sampled tracks over the scene's frames, and a scene
// that fills its set. The generator writes the same bytes every run.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cctype>
#include <cstdlib>
#include <map>

#include "support/AseText.h"
#include "engine/Log.h"
#include "engine/scene/ASELoader.h"
#include "engine/assets/ImportMesh.h"
#include "engine/scene/SGControllerQ4.h"
#include "engine/scene/SGControllerV3.h"
#include "engine/scene/SGMesh.h"
#include "support/TestDir.h"

namespace {

const std::string kScene = std::string(VANTREL_RUN_DIR) + "/data/station03.ase";

struct Loaded {
  std::string text = TestDir::read(kScene);
  AseLine file;
  std::vector<const AseLine*> objects;
  int groupDepth = 0;
  Array<SGMesh*> nodes;
  Array<ASEMaterial*> materials;
  ASELoader loader;
  bool ok = false;

  Loaded() {
    std::string error;
    if (!parseAse(text, file, error)) {
      ADD_FAILURE() << error;
      return;
    }
    collectObjects(file, objects, 0, groupDepth);
    ok = loader.load(kScene.c_str());
    loader.getNodes(nodes);
    loader.getMaterials(materials);
  }
  ~Loaded() {
    for (SGMesh* n : nodes) delete n;
  }
};

bool finite(const D3DXMATRIX& m) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      if (!std::isfinite(m.m[i][j])) return false;
  return true;
}

}  // namespace

TEST(StationScene, EveryObjectBecomesANodeWithItsMeshAccepted) {
  TestDir dir("station-scene");
  logOpen();
  Loaded s;
  ASSERT_TRUE(s.ok);
  ASSERT_EQ(s.nodes.count, s.objects.size()) << "an object was left out: see log.txt\n" << TestDir::read("log.txt");
  EXPECT_EQ(s.text.rfind("*3DSMAX_ASCIIEXPORT\t200\r\n", 0), 0u);
  EXPECT_EQ(s.file.children.at(1).keyword, "*COMMENT");
  EXPECT_GE(s.groupDepth, 2) << "groups should nest";
  EXPECT_EQ(s.loader.version, 200);
  EXPECT_GT(s.loader.lastFrame, s.loader.firstFrame);
  EXPECT_TRUE(s.nodes.count >= 100 && s.nodes.count <= 300) << s.nodes.count;
  size_t triangles = 0, withSecondChannel = 0;
  float lo = 1e9f, hi = -1e9f;

  for (uint32_t i = 0; i < s.nodes.count; ++i) {
    SGMesh* node = s.nodes[i];
    const AseLine& obj = *s.objects[i];
    const AseLine& mesh = *obj.find("*MESH");
    std::string name = obj.find("*NODE_NAME")->quoted();
    ASSERT_STREQ(node->getName(), name.c_str());
    ImportMesh& im = node->getImportMesh();
    uint32_t nv = static_cast<uint32_t>(mesh.find("*MESH_NUMVERTEX")->numbers()[0]);
    uint32_t nf = static_cast<uint32_t>(mesh.find("*MESH_NUMFACES")->numbers()[0]);
    ASSERT_EQ((std::array{im.positions.count, im.faces.count, im.texFaces.count, im.texFaces2.count}),
              (std::array{nv, 3 * nf, 3 * nf, mesh.find("*MESH_MAPPINGCHANNEL") ? 3 * nf : 0u}))
        << name;
    ASSERT_EQ(im.check(), nullptr) << name;
    EXPECT_TRUE(mesh.find("*MESH_NORMALS")) << name;
    triangles += nf;
    withSecondChannel += mesh.find("*MESH_MAPPINGCHANNEL") != nullptr;
    // No face uses a position twice: with different texture corners the
    // weld would keep such a sliver.
    for (uint32_t f = 0; f < im.faces.count; f += 3) {
      int32_t a = im.faces[f], b = im.faces[f + 1], c = im.faces[f + 2];
      EXPECT_TRUE(a != b && b != c && a != c) << name << " face " << f / 3;
    }

    // Welded within 16-bit indices, and no face collapses.
    Array<ImportVertex> vertices;
    Array<uint16_t> indices;
    ASSERT_TRUE(im.build(vertices, indices)) << name;
    EXPECT_LE(vertices.count, uint32_t(ImportMesh::maxVertices)) << name;
    EXPECT_EQ(indices.count, 3 * nf) << name;

    // The matrix rows the file states agree with the transform the reader
    // rebuilds from the decomposed parts (Y and Z exchanged), and it carries
    // every position in object space back onto the world position the file
    // gives.
    const D3DXMATRIX& m = *node->getTransform();
    ASSERT_TRUE(finite(m)) << name;
    const int swap[3] = {0, 2, 1};
    for (int r = 0; r < 4; ++r) {
      std::vector<double> row = obj.find("*NODE_TM")->find("*TM_ROW" + std::to_string(r))->numbers();
      ASSERT_EQ(row.size(), 3u) << name;
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(m.m[r < 3 ? swap[r] : 3][swap[c]], row[c], 2e-3) << name << " row " << r;
    }
    const auto& list = mesh.find("*MESH_VERTEX_LIST")->children;
    for (uint32_t v = 0; v < nv; v += std::max(1u, nv / 16)) {
      std::vector<double> w = list[v].numbers();
      D3DXVECTOR3 back;
      D3DXVec3TransformCoord(&back, &im.positions[v], &m);
      EXPECT_NEAR(back.x, w[1], 0.02) << name << " vertex " << v;
      EXPECT_NEAR(back.y, w[3], 0.02) << name << " vertex " << v;
      EXPECT_NEAR(back.z, w[2], 0.02) << name << " vertex " << v;
      lo = std::min({lo, back.x, back.y, back.z}), hi = std::max({hi, back.x, back.y, back.z});
    }

    // The reader's normals (from the stored corner order) point out of the
    // object: its faces enclose a positive volume.
    double volume = 0;
    for (uint32_t f = 0; f < im.faces.count; f += 3) {
      const D3DXVECTOR3& a = im.positions[im.faces[f]];
      const D3DXVECTOR3& b = im.positions[im.faces[f + 1]];
      const D3DXVECTOR3& c = im.positions[im.faces[f + 2]];
      volume += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
    }
    EXPECT_GT(volume, 0.0) << name;
  }
  EXPECT_GE(withSecondChannel, 3u);
  EXPECT_TRUE(triangles >= 50000 && triangles <= 200000) << triangles;
  // Within its set, and filling most of it.
  EXPECT_TRUE(lo >= -500.0f && hi <= 500.0f && hi - lo > 600.0f) << lo << " .. " << hi;
}

TEST(StationScene, MaterialsAndTracksAreReadAsWritten) {
  TestDir dir("station-scene");
  logOpen();
  Loaded s;
  ASSERT_TRUE(s.ok);
  const AseLine& list = *s.file.find("*MATERIAL_LIST");
  std::vector<const AseLine*> written = list.all("*MATERIAL");
  ASSERT_EQ(s.materials.count, written.size());
  int multi = 0;
  std::vector<std::string> paths;
  for (uint32_t i = 0; i < s.materials.count; ++i) {
    const ASEMaterial& m = *s.materials[i];
    const AseLine& w = *written[i];
    std::vector<double> diffuse = w.find("*MATERIAL_DIFFUSE")->numbers();
    std::vector<double> specular = w.find("*MATERIAL_SPECULAR")->numbers();
    double strength = std::clamp(w.find("*MATERIAL_SHINESTRENGTH")->numbers()[0], 0.0, 1.0);
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(m.diffuse[k], diffuse[k], 1e-5) << "material " << i;
      EXPECT_NEAR(m.specular[k], specular[k] * strength, 1e-5) << "material " << i;
    }
    EXPECT_NEAR(m.shine, w.find("*MATERIAL_SHINE")->numbers()[0], 1e-5);
    const AseLine* map = w.find("*MAP_DIFFUSE");
    EXPECT_STREQ(m.getBitmap(), map ? map->find("*BITMAP")->quoted().c_str() : "") << "material " << i;
    multi += m.subMaterials.count > 0;
    // Every map, the material's own or its sub-materials', is a full Windows path.
    if (m.subMaterials.count == 0) paths.push_back(m.getBitmap());
    for (const ASEMaterial* sub : m.subMaterials) paths.push_back(sub->getBitmap());
  }
  EXPECT_GE(multi, 1) << "some material should carry sub-materials";
  for (const std::string& path : paths)
    EXPECT_TRUE(path.size() > 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                path[2] == '\\' && path.find('/') == std::string::npos)
        << "not a full Windows path: " << path;

  std::map<std::string, SGMesh*> byName;
  for (uint32_t i = 0; i < s.nodes.count; ++i) {
    byName[s.nodes[i]->getName()] = s.nodes[i];
    int ref = static_cast<int>(s.objects[i]->find("*MATERIAL_REF")->numbers()[0]);
    EXPECT_EQ(s.nodes[i]->getMaterialIndex(), ref) << s.nodes[i]->getName();
    bool animated = s.objects[i]->find("*TM_ANIMATION") != nullptr;
    bool tracks = s.nodes[i]->getPositionTrack() || s.nodes[i]->getRotationTrack() || s.nodes[i]->getScaleTrack();
    EXPECT_EQ(tracks, animated) << s.nodes[i]->getName();
  }

  const int span = s.loader.lastFrame * s.loader.ticksPerFrame;
  // The ring turns once over the scene: half a turn about the up axis halfway.
  SGMesh* ring = byName["Ring_A_Hull"];
  ASSERT_TRUE(ring && ring->getRotationTrack());
  D3DXQUATERNION half = ring->getRotationTrack()->sample(span / 2);
  EXPECT_NEAR(std::fabs(half.y), 1.0, 1e-3);
  EXPECT_NEAR(half.w, 0.0, 1e-3);
  EXPECT_EQ(byName["Ring_A_Spokes"]->getRotationTrack()->keyCount(), ring->getRotationTrack()->keyCount());

  // The shuttle closes on its port: it ends up nearer the lower node.
  SGMesh* shuttle = byName["Shuttle_Hull"];
  ASSERT_TRUE(shuttle && shuttle->getPositionTrack());
  D3DXVECTOR3 from = shuttle->getPositionTrack()->sample(0), to = shuttle->getPositionTrack()->sample(span);
  EXPECT_GT(std::hypot(from.x, from.z), std::hypot(to.x, to.z) + 100);

  SGMesh* beacon = byName["Beacon_Top"];
  ASSERT_TRUE(beacon && beacon->getScaleTrack() && beacon->getScaleAxisTrack());

  // Sampled tracks span the scene's frames and start from the node's own
  // placement; animated nodes stay well formed over the whole span.
  EXPECT_EQ(s.loader.firstFrame, 0);
  for (SGMesh* node : s.nodes) {
    if (SGControllerQ4* r = node->getRotationTrack()) {
      EXPECT_EQ((std::pair{r->keyAt(0)->time, r->keyAt(r->keyCount() - 1)->time}), (std::pair{0, span}));
    }
    if (SGControllerV3* p = node->getPositionTrack()) {
      EXPECT_EQ((std::pair{p->keyAt(0)->time, p->keyAt(p->keyCount() - 1)->time}), (std::pair{0, span}));
    }
    for (int t = 0; t <= span; t += span / 10) {
      node->animate(t);
      const D3DXMATRIX world = node->worldMatrix();
      ASSERT_TRUE(finite(world)) << node->getName() << " at tick " << t;
      for (int k = 0; k < 16 && t == 0; ++k)
        EXPECT_NEAR((&world._11)[k], (&node->getTransform()->_11)[k], 2e-3) << node->getName();
    }
  }
}

// The build's files are what the generator writes, and it writes the same
// bytes every time.
TEST(StationGenerator, WritesTheSameBytesEveryRun) {
  TestDir dir("stationgen");
  std::string command = std::string("'") + STATIONGEN_EXE + "' out > out.txt 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << TestDir::read("out.txt");
  for (const char* f : {"data/station03.ase", "data/fajna.jpg", "data.pak"})
    EXPECT_TRUE(TestDir::read(std::string("out/") + f) == TestDir::read(std::string(VANTREL_RUN_DIR) + "/" + f))
        << f << " differs from the build's copy";
  // A run dir that cannot be made is reported, not crashed on.
  TestDir::write("blocker", "x");
  EXPECT_NE(std::system(("'" + std::string(STATIONGEN_EXE) + "' blocker/run > err.txt 2>&1").c_str()), 0);
  EXPECT_NE(TestDir::read("err.txt").find("stationgen: cannot create"), std::string::npos);
}
