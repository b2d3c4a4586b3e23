// data.pak, read by a peer library and by the rules of the demo's own archive
// backend: both data files, deflated, under the names the demo asks for.

#include <gtest/gtest.h>
#include <zip.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "support/TestDir.h"

#if __has_include("engine/files/FileManager_zip.h")
#include "engine/files/FileManager_zip.h"
#define HAVE_ZIP_FILE_MANAGER 1
#endif

namespace {

std::string runFile(const std::string& name) { return TestDir::read(std::string(VANTREL_RUN_DIR) + "/" + name); }

uint32_t le32(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 | static_cast<uint8_t>(s[at + 2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

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

// The backend ignores the directory offset: it takes the directory to start at
// the n-th central header signature counted back from the end, and it needs
// the sizes in the local headers.
TEST(DataPak, DirectoryAndMembersAreFoundTheWayTheArchiveBackendLooks) {
  std::string pak = runFile("data.pak");
  ASSERT_GT(pak.size(), 22u);
  size_t end = pak.size() - 22;
  ASSERT_EQ(le32(pak, end), 0x06054B50u) << "no archive comment expected";
  uint16_t entries = static_cast<uint8_t>(pak[end + 10]) | static_cast<uint8_t>(pak[end + 11]) << 8;
  uint32_t directory = le32(pak, end + 16);
  int seen = 0;
  size_t found = 0;
  for (size_t p = pak.size() - 4; p >= 1; --p) {
    if (le32(pak, p) == 0x02014B50u && ++seen == entries) {
      found = p;
      break;
    }
  }
  EXPECT_EQ(found, directory);

  size_t at = directory;
  for (int i = 0; i < entries; ++i) {
    ASSERT_EQ(le32(pak, at), 0x02014B50u);
    uint32_t packed = le32(pak, at + 20);
    uint32_t local = le32(pak, at + 42);
    uint16_t nameLength = static_cast<uint8_t>(pak[at + 28]) | static_cast<uint8_t>(pak[at + 29]) << 8;
    EXPECT_EQ(pak[at + 8] & 1, 0) << "no member may be encrypted";
    ASSERT_EQ(le32(pak, local), 0x04034B50u);
    EXPECT_EQ(le32(pak, local + 18), packed) << "local header must carry the compressed size";
    at += 46 + nameLength;
  }
}

#ifdef HAVE_ZIP_FILE_MANAGER
TEST(DataPak, ArchiveConfigurationServesTheProjectorSlide) {
  std::string slide = runFile("data/fajna.jpg");
  std::string pak = runFile("data.pak");
  TestDir dir("pak");
  TestDir::write("data.pak", pak);
  FileManagerZIP files;
  ASSERT_TRUE(files.open("data.pak"));
  files.setRoot("");
  files.addPath("textures/");
  Array<uint8_t> out;
  ASSERT_TRUE(files.load(out, "./data/fajna.jpg"));
  ASSERT_EQ(out.count, slide.size());
  EXPECT_EQ(std::memcmp(out.items, slide.data(), slide.size()), 0);
}
#endif
