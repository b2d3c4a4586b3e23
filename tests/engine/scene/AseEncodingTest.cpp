// Scene files in other encodings than 8-bit text, and the log line of a scene
// that leaves the frame empty.
#include <gtest/gtest.h>

#include <string>

#include "engine/scene/ASELoader.h"
#include "engine/scene/SGMesh.h"
#include "engine/scene/SGScene.h"
#include "support/SceneTestSupport.h"
#include "support/TestDir.h"

namespace {

// What a reader made of a file: every node (depth first) with its face count
// and material, every material with its colour and bitmap.
std::string readAs(const std::string& file, const std::string& bytes) {
  TestDir::write(file, bytes);
  ASELoader loader;
  if (!loader.load(file.c_str())) return "not read";
  Array<SGMesh*> roots;
  Array<ASEMaterial*> materials;
  loader.getNodes(roots);
  loader.getMaterials(materials);
  std::string text;
  auto visit = [&](auto& self, const SGNode* node) -> void {
    const SGMesh* mesh = static_cast<const SGMesh*>(node);
    text += std::string("node ") + node->getName() + " faces " +
            std::to_string(mesh->getImportMesh().faces.count / 3) + " material " +
            std::to_string(mesh->getMaterialIndex()) + "\n";
    for (uint32_t i = 0; i < node->childCount(); ++i) self(self, node->childAt(i));
  };
  for (SGMesh* root : roots) visit(visit, root);
  for (const ASEMaterial* m : materials)
    text += std::string("material ") + m->getName() + " " + std::to_string(m->diffuse[0]) + " " + m->getBitmap() + "\n";
  for (SGMesh* root : roots) delete root;
  return text;
}

std::string utf16(const std::u16string& text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t c : text) {
    char high = char(c >> 8), low = char(c & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  }
  return out;
}

}  // namespace

TEST(AseEncodingTest, MarkedTextReadsAsItsEightBitTwin) {
  TestDir dir("encoding");
  // The exporter sample behind a long comment, so the text spans many blocks,
  // with a node name holding a Latin-1 letter, a character beyond 8 bits and
  // a surrogate pair: the 8-bit twin has the letter's byte and two '?'.
  std::string sample = TestDir::read(std::string(VANTREL_SOURCE_DIR) + "/tests/engine/scene/data/station_export.ase");
  const std::string nameAt = "*NODE_NAME \"Hatch01";
  size_t at = sample.find(nameAt);
  ASSERT_NE(at, std::string::npos);
  at += nameAt.size();
  std::string head = sample.substr(0, at), tail = sample.substr(at);
  for (int i = 0; i < 40; ++i) head.insert(0, "*COMMENT \"" + std::string(900, 'x') + "\"\r\n");
  std::u16string wide;
  for (unsigned char c : head) wide += char16_t(c);
  wide += u"\u00E9\u03A9\U0001D11E";
  for (unsigned char c : tail) wide += char16_t(c);

  std::string twin = readAs("eight.ase", head + "\xE9??" + tail);
  EXPECT_NE(twin.find("node Hatch01\xE9?? faces 1 material 1\n"), std::string::npos) << twin;
  EXPECT_NE(twin.find("material Canopy"), std::string::npos) << twin;
  EXPECT_EQ(readAs("le.ase", utf16(wide, false)), twin);
  EXPECT_EQ(readAs("be.ase", utf16(wide, true)), twin);
  EXPECT_EQ(readAs("utf8.ase", "\xEF\xBB\xBF" + head + "\xE9??" + tail), twin);
}

TEST_F(SceneDeviceTest, SceneWithoutDrawableMeshSaysSoInTheLog) {
  TestDir::write("empty.ase", "*3DSMAX_ASCIIEXPORT\t200\r\n");
  size_t before = logText().size();
  SGScene scene;
  ASSERT_TRUE(scene.load("empty.ase"));
  EXPECT_EQ(logText().substr(before), "SGScene::load: Scene 'empty.ase' has no drawable mesh.\n");
}
