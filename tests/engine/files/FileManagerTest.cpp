#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/Log.h"
#include "engine/files/ByteOrder.h"
#include "engine/files/FileManager.h"
#include "support/TestDir.h"

namespace {

std::string logBody() { return TestDir::read("log.txt").substr(std::string("Vantrel Engine Log\n\n").size()); }

class FileManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initByteOrder();
    // Development layout: run/ is the working directory, data two levels up.
    std::filesystem::create_directories("a/b/run");
    std::filesystem::current_path("a/b/run");
    logOpen();
  }
  TestDir dir{"fm"};
};

}  // namespace

TEST_F(FileManagerTest, DevelopmentConfigurationLogsEachNormalisedPathOnce) {
  FileManagerOS fm;
  fm.setRoot("../../data/");
  fm.addPath("../../data/textures/");
  fm.addPath("..\\..\\Data\\Textures\\");  // normalises to an existing entry
  fm.setRoot("../../data/");
  EXPECT_EQ(fm.getRoot(), "../../data/");
  EXPECT_EQ(fm.getPaths(), (std::vector<std::string>{"", "../../data/", "../../data/textures/"}));
  EXPECT_EQ(logBody(),
            "FileManager: Add path ''.\n"
            "FileManager: Add path '../../data/'.\n"
            "FileManager: Add path '../../data/textures/'.\n");
  // Only ASCII capitals are lowered, and backslashes become slashes.
  EXPECT_EQ(normalisePath("./A/../B\\\xC4x"), "./a/../b/\xC4x");
}

TEST_F(FileManagerTest, CandidatesInOrderRootFirst) {
  TestDir::write("../../data/textures/rock.dds", "texdir");
  TestDir::write("../../data/rock.dds", "root");
  TestDir::write("local/rock.dds", "cwd");
  FileManagerOS fm;
  fm.setRoot("../../data/");
  fm.addPath("../../data/textures/");
  auto load = [&](const char* name) {
    Array<uint8_t> out;
    return fm.load(out, name) ? std::string(reinterpret_cast<char*>(out.items), out.count) : std::string("(failed)");
  };
  EXPECT_EQ(load("Rock.DDS"), "root");
  EXPECT_EQ(load("Textures\\Rock.DDS"), "texdir");  // root + textures/rock.dds
  EXPECT_EQ(load("LOCAL\\rock.dds"), "cwd");        // only the working directory has it
  std::filesystem::remove("../../data/rock.dds");
  EXPECT_EQ(load("rock.dds"), "texdir");
}

TEST_F(FileManagerTest, ResultHasExactSizeAndReusesFittingBlock) {
  TestDir::write("ten.txt", "0123456789");
  TestDir::write("other.txt", "abcdefghij");
  FileManagerOS fm;
  Array<uint8_t> out;
  ASSERT_TRUE(fm.load(out, "ten.txt"));
  EXPECT_EQ((std::pair{out.count, out.capacity}), (std::pair{10u, 10u}));  // no terminating zero
  uint8_t* block = out.items;
  ASSERT_TRUE(fm.load(out, "other.txt"));
  EXPECT_EQ((std::pair{out.items, out[9]}), (std::pair{block, uint8_t('j')}));
  TestDir::write("five.txt", "12345");
  ASSERT_TRUE(fm.load(out, "five.txt"));
  EXPECT_EQ((std::pair{out.count, out.capacity}), (std::pair{5u, 5u}));
}

TEST_F(FileManagerTest, MissingEmptyOrDirectoryFilesAreFatalWithTheirMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  TestDir::write("empty.bin", "");
  std::filesystem::create_directories("adir");
  FileManagerOS fm;
  Array<uint8_t> out;
  const std::string longName(5000, 'n');
  for (auto [name, message] :
       {std::pair{"Missing\\File.DDS", "FileManagerOS::load: File not found: 'Missing\\\\File.DDS'"},
        {"empty.bin", "FileManagerOS::load: File read failed: 'empty.bin'"}, {"adir", "File not found: 'adir'"},
        {longName.c_str(), "File not found: 'nnnn"}})
    EXPECT_EXIT(fm.load(out, name), ::testing::ExitedWithCode(255), message) << name;
}
