// data.pak, read by a peer library and by the demo's own archive backend:
// both data files, deflated, under the names the demo asks for.

#include <gtest/gtest.h>
#include <zip.h>

#include <string>

#include "engine/files/FileManager_zip.h"
#include "support/TestDir.h"

namespace {

std::string runFile(const std::string& name) { return TestDir::read(std::string(VANTREL_RUN_DIR) + "/" + name); }

}  // namespace

TEST(DataPak, HoldsEveryDataFileDeflatedUnderTheNamesTheDemoAsksFor) {
  std::string path = std::string(VANTREL_RUN_DIR) + "/data.pak";
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
  ASSERT_TRUE(z) << "libzip cannot open data.pak, error " << err;
  ASSERT_EQ(zip_get_num_entries(z, 0), 2);
  // The scene opens "./data/station03.ase" itself; textures are asked for as
  // "./data/fajna.jpg", which the archive backend looks up unchanged.
  for (const char* name : {"./data/station03.ase", "./data/fajna.jpg"}) {
    zip_stat_t st;
    ASSERT_EQ(zip_stat(z, name, ZIP_FL_ENC_RAW, &st), 0) << name;
    EXPECT_EQ(st.comp_method, ZIP_CM_DEFLATE) << name;
    EXPECT_LT(st.comp_size, st.size) << name;
    std::string expected = runFile(std::string("data/") + (name + 7));
    ASSERT_EQ(st.size, expected.size()) << name;
    zip_file_t* f = zip_fopen(z, name, 0);
    ASSERT_TRUE(f);
    std::string got(st.size, '\0');
    // Reading to the end makes libzip check the CRC.
    EXPECT_EQ(zip_fread(f, got.data(), st.size), static_cast<zip_int64_t>(st.size));
    char extra;
    EXPECT_EQ(zip_fread(f, &extra, 1), 0) << "CRC or length mismatch in " << name;
    zip_fclose(f);
    EXPECT_TRUE(got == expected) << name;
  }
  zip_close(z);
}

// The demo's own archive backend, as the archive configuration uses it,
// serves both files byte for byte.
TEST(DataPak, ArchiveConfigurationServesBothDataFiles) {
  std::string pak = runFile("data.pak");
  TestDir dir("pak");
  TestDir::write("data.pak", pak);
  FileManagerZIP files;
  ASSERT_TRUE(files.open("data.pak"));
  files.setRoot("");
  files.addPath("textures/");
  for (const char* name : {"./data/station03.ase", "./data/fajna.jpg"}) {
    Array<uint8_t> out;
    ASSERT_TRUE(files.load(out, name)) << name;
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(out.items), out.count) == runFile(name + 2)) << name;
  }
}
