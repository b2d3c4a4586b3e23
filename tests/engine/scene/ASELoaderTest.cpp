#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "engine/Log.h"
#include "engine/scene/ASELoader.h"
#include "engine/assets/ImportMesh.h"
#include "engine/scene/SGControllerQ4.h"
#include "engine/scene/SGControllerV3.h"
#include "engine/scene/SGMesh.h"
#include "support/TestDir.h"

namespace {

// A loaded file with the nodes it produced, which the caller owns.
struct Loaded {
  ASELoader loader;
  Array<SGMesh*> nodes;
  Array<ASEMaterial*> materials;
  bool ok = false;

  explicit Loaded(const std::string& text) {
    TestDir::write("scene.ase", text);
    ok = loader.load("scene.ase");
    loader.getNodes(nodes);
    loader.getMaterials(materials);
  }
  ~Loaded() {
    for (SGMesh* node : nodes) delete node;
  }
  const ImportMesh& mesh(uint32_t i) const { return nodes[i]->getImportMesh(); }
};

std::vector<std::string> names(const Loaded& in) {
  std::vector<std::string> out;
  for (SGMesh* node : in.nodes) out.push_back(node->getName());
  return out;
}

std::string exportedScene() {
  return TestDir::read(std::string(VANTREL_SOURCE_DIR) + "/tests/engine/scene/data/station_export.ase");
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Lines joined with CR LF, as the exporter writes them.
std::string crlf(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* l : lines) text += std::string(l) + "\r\n";
  return text;
}

// Everything the reader built, bit for bit.
std::string digest(const Loaded& in) {
  std::string s = std::to_string(in.loader.version) + " " + std::to_string(in.loader.firstFrame) + " " +
                  std::to_string(in.loader.lastFrame) + " " + std::to_string(in.loader.frameSpeed) + " " +
                  std::to_string(in.loader.ticksPerFrame) + "\n";
  auto raw = [&s](const void* data, size_t bytes) {
    s += std::to_string(bytes) + ":";
    s.append(static_cast<const char*>(data), bytes);
  };
  for (ASEMaterial* m : in.materials) {
    s += std::string(m->getName()) + " " + m->getBitmap() + "\n";
    for (const float* colour : {m->ambient, m->diffuse, m->specular}) raw(colour, 3 * sizeof(float));
    raw(&m->shine, sizeof(float));
  }
  for (SGMesh* n : in.nodes) {
    s += std::string(n->getName()) + " " + std::to_string(n->getMaterialIndex()) + "\n";
    raw(n->getTransform(), sizeof(D3DXMATRIX));
    const ImportMesh& m = n->getImportMesh();
    raw(m.positions.items, m.positions.count * sizeof(D3DXVECTOR3));
    raw(m.normals.items, m.normals.count * sizeof(D3DXVECTOR3));
    raw(m.texCoords.items, m.texCoords.count * sizeof(D3DXVECTOR2));
    raw(m.texCoords2.items, m.texCoords2.count * sizeof(D3DXVECTOR2));
    for (const Array<int32_t>* list : {&m.faces, &m.texFaces, &m.texFaces2}) raw(list->items, list->count * 4);
    if (SGControllerV3* t = n->getPositionTrack())
      for (uint32_t k = 0; k < t->keyCount(); ++k) raw(&t->keyAt(k)->value, sizeof(D3DXVECTOR3));
    if (SGControllerQ4* t = n->getRotationTrack())
      for (uint32_t k = 0; k < t->keyCount(); ++k) raw(&t->keyAt(k)->rotation, sizeof(D3DXQUATERNION));
  }
  return s;
}

void expectVector(const D3DXVECTOR3& v, float x, float y, float z, float tolerance = 1e-5f) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}

}  // namespace

TEST(ASELoader, ExportedSceneReadsAsWritten) {
  TestDir dir("ase-export");
  logOpen();
  Loaded in(exportedScene());
  ASSERT_TRUE(in.ok);
  EXPECT_EQ((std::vector<int>{in.loader.version, in.loader.lastFrame, in.loader.frameSpeed, in.loader.ticksPerFrame}),
            (std::vector<int>{200, 100, 30, 160}));

  // Materials: the shine strength scales the specular colour (1.5 clamps to
  // 1); sub-materials and other maps are never read. (Diffuse, specular and
  // shine of every material, against the file: StationSceneTest.)
  ASSERT_EQ(in.materials.count, 2u);
  const ASEMaterial* hull = in.materials[0];
  EXPECT_STREQ(hull->getBitmap(), "C:\\3dsmax\\maps\\station\\hull_plates.jpg");
  EXPECT_FLOAT_EQ(hull->ambient[2], 0.3f);
  EXPECT_FLOAT_EQ(hull->specular[2], 0.7f * 0.5f);
  const ASEMaterial* canopy = in.materials[1];
  EXPECT_STREQ(canopy->getBitmap(), "");
  EXPECT_FLOAT_EQ(canopy->specular[1], 0.9f);

  // Both objects are roots in file order, whatever their groups and parents.
  ASSERT_EQ(names(in), (std::vector<std::string>{"Ring01", "Hatch01"}));
  SGMesh *ring = in.nodes[0], *hatch = in.nodes[1];
  EXPECT_STREQ(hatch->getParentName(), "");
  EXPECT_EQ((std::pair{ring->getMaterialIndex(), hatch->getMaterialIndex()}), (std::pair{0, 1}));

  // Ring01: translated by (10, 30, 20) (y and z exchanged); vertices stored in
  // object space, faces and texture faces in corner order A, C, B. (Every
  // node's matrix rows and world positions: StationSceneTest.)
  const ImportMesh& rm = ring->getImportMesh();
  ASSERT_EQ(rm.positions.count, 4u);
  expectVector(rm.positions[1], 2, 0, 0);
  expectVector(rm.positions[2], 0, 0, 2);
  const std::vector<int32_t> faces = {0, 2, 1, 3, 1, 2};
  EXPECT_EQ(std::vector<int32_t>(rm.faces.items, rm.faces.items + rm.faces.count), faces);
  EXPECT_EQ(std::vector<int32_t>(rm.texFaces.items, rm.texFaces.items + rm.texFaces.count), faces);
  // Normals: area-weighted sums, not normalised; the shared edge adds twice.
  ASSERT_EQ(rm.normals.count, 4u);
  expectVector(rm.normals[0], 0, 4, 0);
  expectVector(rm.normals[1], 0, 8, 0);
  // Both mapping channels append to the one second set.
  ASSERT_EQ((std::pair{rm.texCoords2.count, rm.texFaces2.count}), (std::pair{3u, 12u}));
  EXPECT_EQ(rm.texFaces2[1], 1);
  EXPECT_EQ(rm.texCoords2[2], D3DXVECTOR2(0.5f, 0.5f));

  Array<ImportVertex> vertices;
  Array<uint16_t> indices;
  ASSERT_TRUE(rm.build(vertices, indices));
  ASSERT_EQ((std::pair{vertices.count, indices.count}), (std::pair{4u, 6u}));
  expectVector(vertices[1].position, 0, 0, 2);
  EXPECT_EQ(vertices[1].texCoord, D3DXVECTOR2(0, 1));
  EXPECT_EQ(vertices[1].texCoord2, D3DXVECTOR2(0.75f, 0.75f));
  EXPECT_EQ(std::vector<uint16_t>(indices.items, indices.items + 6), (std::vector<uint16_t>{0, 1, 2, 3, 2, 1}));

  // Hatch01: scaled by 2, turned a quarter about y, moved to (0, 5, 0); its
  // world-space vertices come back to unit points in object space.
  const ImportMesh& hm = hatch->getImportMesh();
  ASSERT_EQ(hm.positions.count, 3u);
  expectVector(hm.positions[0], 1, 0, 0, 1e-3f);
  expectVector(hm.positions[1], 0, 0, 1, 1e-3f);
  expectVector(hm.positions[2], 0, 1, 0, 1e-3f);
  EXPECT_EQ(hm.texFaces.count, 0u);
  expectVector(hm.normals[0], 1, 1, 1, 1e-3f);

  // Tracks: all four, with the transform parts still as read, so the
  // composed world matrix equals the node transform.
  ASSERT_TRUE(hatch->getPositionTrack() && hatch->getRotationTrack() && hatch->getScaleTrack() && hatch->getScaleAxisTrack());
  EXPECT_EQ(ring->getPositionTrack(), nullptr);
  EXPECT_EQ(hatch->worldMatrix(), *hatch->getTransform());
  EXPECT_EQ(hatch->getPositionTrack()->sample(160), D3DXVECTOR3(5, 5, 0));
  const SGKeyQ4* turn = hatch->getRotationTrack()->keyAt(1);
  EXPECT_EQ(turn->axis, D3DXVECTOR3(-0.0f, 1, -0.0f));  // negative angle flipped
  EXPECT_FLOAT_EQ(turn->angle, 0.7854f);
  EXPECT_EQ(hatch->getScaleTrack()->keyAt(1)->value, D3DXVECTOR3(3, 1, 2));
  EXPECT_EQ(hatch->getScaleAxisTrack()->keyAt(1)->axis, D3DXVECTOR3(0, 1, 0));
  hatch->animate(80);  // halfway through the turn
  D3DXVECTOR3 axis;
  float angle;
  D3DXQuaternionToAxisAngle(&hatch->getRotation(), &axis, &angle);
  EXPECT_NEAR(angle, 1.5708f + 0.7854f / 2, 1e-4f);
  EXPECT_EQ(hatch->getPosition(), D3DXVECTOR3(2.5f, 5, 0));

  std::string log = TestDir::read("log.txt");
  EXPECT_NE(log.find("Key 0: 0.000000 1.000000 0.000000 1.570800 (quat: 0.000000 0.707108 0.000000 0.707106)\n"
                     "Key 1: -0.000000 1.000000 -0.000000 0.785400 (quat: 0.000000 0.923881 0.000000 0.382681)\n\n"),
            std::string::npos)
      << log;
}

// The same text with other line ends, or marked as UTF-16 (either byte order)
// or UTF-8, reads as its 8-bit CR LF form. Hatch01's name gains a Latin-1
// letter (kept as its byte), a character beyond 8 bits and a surrogate pair
// (a '?' each); a long comment spreads the text over many read blocks.
TEST(ASELoader, OtherLineEndsAndEncodingsReadLikeTheEightBitText) {
  TestDir dir("ase-forms");
  std::string head = exportedScene();
  const std::string nameAt = "*NODE_NAME \"Hatch01";
  ASSERT_NE(head.find(nameAt), std::string::npos);
  std::string tail = head.substr(head.find(nameAt) + nameAt.size());
  head.resize(head.size() - tail.size());
  for (int i = 0; i < 40; ++i) head.insert(0, "*COMMENT \"" + std::string(900, 'x') + "\"\r\n");
  const std::string text = head + "\xE9??" + tail;
  Loaded original(text);
  ASSERT_EQ(names(original), (std::vector<std::string>{"Ring01", "Hatch01\xE9??"}));
  const std::string reference = digest(original);

  std::vector<std::string> forms = {replaceAll(text, "\r\n", "\n"), replaceAll(text, "\r\n", "\r"),
                                    "\xEF\xBB\xBF" + text};
  // Every kind of line end mixed, and none after the last line.
  std::string mixed;
  int n = 0;
  for (size_t at = 0, next; (next = text.find("\r\n", at)) != std::string::npos; at = next + 2, ++n)
    mixed += text.substr(at, next - at) + (n % 3 == 0 ? "\n" : n % 3 == 1 ? "\r" : "\r\n");
  forms.push_back(mixed.substr(0, mixed.size() - 1));
  std::u16string wide;
  for (unsigned char c : head) wide += char16_t(c);
  wide += u"\u00E9\u03A9\U0001D11E";
  for (unsigned char c : tail) wide += char16_t(c);
  for (bool bigEndian : {false, true}) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : wide) {
      char high = char(c >> 8), low = char(c & 0xFF);
      bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    forms.push_back(bytes);
  }
  for (size_t i = 0; i < forms.size(); ++i) EXPECT_EQ(digest(Loaded(forms[i])), reference) << "form " << i;
}

TEST(ASELoader, KeywordsAreWholeTokensAndUnknownBlocksAreSkipped) {
  TestDir dir("ase-keywords");
  Loaded in(crlf({"*SCENE_FIRSTFRAME 5", "*SCENEX {", "\t*SCENE_LASTFRAME 9", "}", "*SCENE {", "\t*SCENE_LASTFRAME 7",
                  "\t*SCENE_TICKSPERFRAMES 3", "\t*UNKNOWN { *SCENE_FRAMESPEED 2 }", "\t*SCENE_FRAMESPEED 4", "}", "}",
                  "*GEOMOBJECT {", "\t*MESH_NUMVERTEX 3", "\t*MESH {", "\t\t*MESH_NUMVERTEX 1", "\t\t*MESH_VERTEX_LIST {",
                  "\t\t\t*MESH_VERTEX 0 1.0 2.0 3.0", "\t\t}", "\t}", "}"}));
  // "{ ... }" on one line opens a block: the next "}" closes it, so the
  // frame speed line after it is read inside that skipped block.
  EXPECT_EQ((std::array{in.loader.firstFrame, in.loader.lastFrame, in.loader.ticksPerFrame, in.loader.frameSpeed}),
            (std::array{0, 7, 0, 0}));
  ASSERT_EQ(in.nodes.count, 1u);
  ASSERT_EQ(in.mesh(0).positions.count, 1u);
  EXPECT_EQ(in.mesh(0).positions[0], D3DXVECTOR3(1, 3, 2));
}

TEST(ASELoader, GroupsNestAndATopLevelBraceEndsTheFile) {
  TestDir dir("ase-groups");
  Loaded in(crlf({"*GEOMOBJECT {", "*NODE_NAME \"A\"", "}", "*GROUP \"G1\" {", "*GROUP \"G2\" {", "*GEOMOBJECT {",
                  "*NODE_NAME \"B\"", "}", "}", "*GEOMOBJECT {", "*NODE_NAME \"C\"", "}", "}", "}",
                  "*GEOMOBJECT {", "*NODE_NAME \"never\"", "}"}));
  EXPECT_TRUE(in.ok);
  EXPECT_EQ(names(in), (std::vector<std::string>{"A", "B", "C"}));
}

TEST(ASELoader, ListsReadTheirCountedLinesWithTheirFixedFormats) {
  TestDir dir("ase-lists");
  // No vertex count yet: the list reads no line but its "closing" one, the
  // next vertex line is an ordinary mesh line, and the list's brace closes
  // the mesh.
  Loaded uncounted(crlf({"*GEOMOBJECT {", "*MESH {", "*MESH_VERTEX_LIST {", "*MESH_VERTEX 0 9 9 9",
                         "*MESH_VERTEX 1 8 8 8", "}", "*MESH_NUMVERTEX 1", "}", "*GEOMOBJECT {", "}"}));
  ASSERT_EQ(uncounted.nodes.count, 2u);
  EXPECT_EQ(uncounted.mesh(0).positions.count, 0u);

  Loaded in(crlf({"*GEOMOBJECT {", "*MESH {", "*MESH_NUMVERTEX 3", "*MESH_VERTEX_LIST {", "*MESH_VERTEX 0 1 2 3", "*MESH_VERTEX x 4 5 6",
                  "*MESH_VERTEX 2 7 8", "}", "*MESH_NUMFACES 3", "*MESH_FACE_LIST {",
                  "*MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 1 *MESH_MTLID 2",
                  "*MESH_FACE 1: CA: 1 A: 2 C: 1", "*MESH_FACE 2:A:1 B: 2 C: 0", "}", "*MESH_NUMTVERTEX 1",
                  "*MESH_TVERTLIST {", "*MESH_TVERT 0 0.25 0.75 0.0", "}", "*MESH_NUMTVFACES 3",
                  "*MESH_TFACELIST {", "*MESH_TFACE 0 4 5 6", "*MESH_TFACE 1 0 0", "*MESH_TFACE 2 0 0 0", "}",
                  "}", "}"}));
  ASSERT_EQ(in.nodes.count, 0u);  // the texture faces point past the one texture vertex
  Loaded fixed(replaceAll(TestDir::read("scene.ase"), "*MESH_TFACE 0 4 5 6", "*MESH_TFACE 0 0 0 0"));
  ASSERT_EQ(fixed.nodes.count, 1u);
  const ImportMesh& m = fixed.mesh(0);
  // Failed scans give zeros, a short one keeps what it read.
  EXPECT_EQ(std::vector<D3DXVECTOR3>(m.positions.items, m.positions.items + m.positions.count),
            (std::vector<D3DXVECTOR3>{{1, 3, 2}, {0, 0, 0}, {7, 0, 8}}));
  // The first occurrence of each label counts, even inside "CA:"; a missing
  // label gives 0; "A:1" is one token, so the scan after it meets "B:" and
  // fails, leaving 0.
  EXPECT_EQ(std::vector<int32_t>(m.faces.items, m.faces.items + m.faces.count),
            (std::vector<int32_t>{0, 2, 1, 1, 1, 0, 0, 0, 2}));
  EXPECT_EQ(m.texCoords[0], D3DXVECTOR2(0.25f, 0.75f));
}

TEST(ASELoader, ObjectsWithUnusableOrOversizedMeshesAreSkippedWithALogLine) {
  TestDir dir("ase-reject");
  logOpen();
  // One reason of the mesh's own check stands for all: ImportMeshTest holds each.
  auto object = [](const char* name, const char* scale, const char* face, const char* texFaces) {
    return crlf({"*GEOMOBJECT {", (std::string("*NODE_NAME \"") + name + "\"").c_str(), "*NODE_TM {", scale, "}",
                 "*MESH {", "*MESH_NUMVERTEX 3", "*MESH_VERTEX_LIST {", "*MESH_VERTEX 0 0 0 0",
                 "*MESH_VERTEX 1 1 0 0", "*MESH_VERTEX 2 0 1 0", "}", "*MESH_NUMFACES 1", "*MESH_FACE_LIST {", face,
                 "}", "*MESH_NUMTVERTEX 2", "*MESH_TVERTLIST {", "*MESH_TVERT 0 0 0 0", "*MESH_TVERT 1 1 1 0", "}",
                 texFaces, "}", "}"});
  };
  const char* goodFace = "*MESH_FACE 0: A: 0 B: 1 C: 2";
  const char* goodTex = "*MESH_NUMTVFACES 1\r\n*MESH_TFACELIST {\r\n*MESH_TFACE 0 0 1 1\r\n}";
  std::string text = object("Good", "*TM_SCALE 1 1 1", goodFace, goodTex) +
                     object("FaceOut", "*TM_SCALE 1 1 1", "*MESH_FACE 0: A: 0 B: 3 C: 2", "") +
                     object("Flat", "*TM_SCALE 1 0 1", goodFace, "") + object("Plain", "", goodFace, "");
  // Sixteen-bit indices reach 65536 vertices, no more.
  auto mesh = [](const char* name, int vertices) {
    std::string text = "*GEOMOBJECT {\r\n*NODE_NAME \"" + std::string(name) + "\"\r\n*MESH {\r\n*MESH_NUMVERTEX " +
                       std::to_string(vertices) + "\r\n*MESH_VERTEX_LIST {\r\n";
    for (int i = 0; i < vertices; ++i) text += "*MESH_VERTEX " + std::to_string(i) + " " + std::to_string(i) + " 0 0\r\n";
    text += "}\r\n*MESH_NUMFACES " + std::to_string(vertices - 2) + "\r\n*MESH_FACE_LIST {\r\n";
    for (int i = 0; i + 2 < vertices; ++i)
      text += "*MESH_FACE " + std::to_string(i) + ": A: " + std::to_string(i) + " B: " + std::to_string(i + 1) +
              " C: " + std::to_string(i + 2) + "\r\n";
    return text + "}\r\n}\r\n}\r\n";
  };
  Loaded in(text + mesh("Fits", 65536) + mesh("TooBig", 65537));
  EXPECT_EQ(names(in), (std::vector<std::string>{"Good", "Plain", "Fits"}));
  EXPECT_EQ(TestDir::read("log.txt"),
            "Vantrel Engine Log\n\n"
            "ASELoader::load: Object 'FaceOut' skipped: face index out of range.\n"
            "ASELoader::load: Object 'Flat' skipped: node transform has no inverse.\n"
            "ASELoader::load: Object 'TooBig' skipped: more than 65536 vertices.\n");
}

// An early end keeps what was read and names every block left open with
// the line that opened it.
TEST(ASELoader, AnEarlyEndKeepsWhatWasRead) {
  TestDir dir("ase-truncated");
  std::string text = exportedScene();
  size_t cut = text.find("*MESH_VERTEX    2");
  ASSERT_NE(cut, std::string::npos);
  Loaded in(text.substr(0, cut + 10));  // inside the third vertex line
  ASSERT_TRUE(in.ok);
  auto lineOf = [&text](const char* keyword) {
    return std::to_string(std::count(text.begin(), text.begin() + long(text.find(keyword)), '\n') + 1);
  };
  EXPECT_EQ(in.loader.damage, "the file ends inside *GEOMOBJECT opened at line " + lineOf("*GEOMOBJECT") +
                                  ", *MESH at line " + lineOf("*MESH {") + ", *MESH_VERTEX_LIST at line " +
                                  lineOf("*MESH_VERTEX_LIST"));
  EXPECT_EQ(in.materials.count, 2u);
  ASSERT_EQ(in.nodes.count, 1u);
  const ImportMesh& m = in.mesh(0);
  // The cut line still counts.
  EXPECT_EQ((std::array{m.positions.count, m.normals.count, m.faces.count}), (std::array{3u, 3u, 0u}));

  // Cut right after a line end inside a list: no phantom entry.
  Loaded atLineEnd(text.substr(0, text.rfind("\r\n", cut) + 2));
  EXPECT_EQ(atLineEnd.mesh(0).positions.count, 2u);

  // A count promising more materials than the file holds.
  Loaded materials(crlf({"*MATERIAL_LIST {", "*MATERIAL_COUNT 2000000000", "*MATERIAL 0 {",
                         "*MATERIAL_DIFFUSE 1 0 0", "}", "*MATERIAL 1 {"}));
  ASSERT_EQ(materials.materials.count, 2u);
  EXPECT_EQ(materials.materials[0]->diffuse[0], 1.0f);
}

TEST(ASELoader, MaterialDetails) {
  TestDir dir("ase-materials");
  Loaded in(crlf({"*MATERIAL_LIST {", "*MATERIAL_COUNT 2", "*MATERIAL 0 {", "*MATERIAL_SPECULAR 0.5 0.5 0.5",
                  "*MATERIAL_SHINESTRENGTH -2.0", "}", "*MATERIAL 1 {", "*MATERIAL_SHINESTRENGTH 0.5",
                  "*MATERIAL_SPECULAR 0.5 0.5 0.5", "*MATERIAL_SHINESTRENGTH", "*MAP_DIFFUSE {",
                  "*BITMAP \"first.png\"", "*BITMAP \"C:\\maps\\second.png", "}", "}", "}", "*GEOMOBJECT {",
                  "*MATERIAL_REF 1", "*MATERIAL_REF 2", "*MATERIAL_REF -1", "}", "*GEOMOBJECT {", "}"}));
  ASSERT_EQ(in.materials.count, 2u);
  EXPECT_EQ(in.materials[0]->specular[1], 0.0f);
  EXPECT_EQ(in.materials[1]->specular[1], 0.5f);  // replaced after the strength; no number leaves it
  EXPECT_EQ(in.materials[1]->ambient[0], 0.0f);
  // The last *BITMAP wins; an unclosed quote runs to the line end (its CR).
  EXPECT_STREQ(in.materials[1]->getBitmap(), "C:\\maps\\second.png\r");
  ASSERT_EQ(in.nodes.count, 2u);
  EXPECT_EQ(in.nodes[0]->getMaterialIndex(), 1);
  EXPECT_EQ(in.nodes[1]->getMaterialIndex(), 0);

  EXPECT_FALSE(ASELoader().load("no-such-file.ase"));
}

// Blocks left open where a top-level object begins end there, and reading
// goes on with the object.
TEST(ASELoader, UnclosedBlocksEndWhereTheNextObjectBegins) {
  TestDir dir("ase-damaged");
  Loaded unclosed(crlf({"*3DSMAX_ASCIIEXPORT 200", "*MATERIAL_LIST {", "*MATERIAL_COUNT 1", "*MATERIAL 0 {",
                        "*MATERIAL_DIFFUSE 1 0 0", "}", "*GEOMOBJECT {", "*NODE_NAME \"After\"", "*MATERIAL_REF 0", "}",
                        "*GEOMOBJECT {", "*NODE_NAME \"Next\"", "}"}));
  ASSERT_TRUE(unclosed.ok);
  EXPECT_EQ(names(unclosed), (std::vector<std::string>{"After", "Next"}));
  EXPECT_TRUE(unclosed.nodes[0]->namesMaterial());
  const std::string note = "*MATERIAL_LIST opened at line 2 is not closed before *GEOMOBJECT at line 7";
  EXPECT_EQ(unclosed.loader.damage, note);
  EXPECT_EQ(TestDir::read("log.txt"), "ASELoader::load: " + note + "; reading goes on there.\n");

}

TEST(ASELoader, LongLinesSplitAndBufferLimits) {
  TestDir dir("ase-long");
  std::string name(600, 'n');
  std::string token(300, 'x');
  std::string text = "*SCENE {\r" + std::string(1000, ' ') + "*SCENE_FIRSTFRAME 7\r" + token +
                     " 5\r*SCENE_LASTFRAME 3\r}\r*GEOMOBJECT {\r*NODE_NAME \"" + name + "\"\r}\r";
  Loaded in(text);
  EXPECT_EQ(in.loader.firstFrame, 7);  // the 1001st character starts a line of its own
  EXPECT_EQ(in.loader.lastFrame, 3);
  ASSERT_EQ(in.nodes.count, 1u);
  EXPECT_EQ(std::string(in.nodes[0]->getName()), name.substr(0, 511));
}

TEST(ASELoaderDeathTest, TCBControllersEndTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  TestDir dir("ase-tcb");
  TestDir::write("tcb.ase", crlf({"*GEOMOBJECT {", "*TM_ANIMATION {", "*CONTROL_ROT_TCB {", "}", "}", "}"}));
  ASELoader loader;
  EXPECT_EXIT(loader.load("tcb.ase"), ::testing::ExitedWithCode(255), "TCB controllers not supported, only sampled!");
}
