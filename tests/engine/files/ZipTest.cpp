#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/Log.h"
#include "engine/files/ByteOrder.h"
#include "engine/files/FileManager_zip.h"
#include "support/TestDir.h"

namespace {

using Manifest = std::vector<std::pair<std::string, std::string>>;

std::string text(const Array<uint8_t>& a) { return std::string(reinterpret_cast<const char*>(a.items), a.count); }

std::string logBody() { return TestDir::read("log.txt").substr(std::string("Vantrel Engine Log\n\n").size()); }

// "request<TAB>expected file" per member, written by make_archives.py.
Manifest manifest(const std::string& archive) {
  Manifest lines;
  std::ifstream in(archive + ".list", std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    size_t tab = line.find('\t');
    lines.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  return lines;
}

uint32_t get32(const std::string& b, size_t at) {
  return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t get16(const std::string& b, size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }
void put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (8 * i));
}

// Offsets of the central directory headers, found by walking from the end
// record's offset (independently of the reader under test).
std::vector<size_t> centralHeaders(const std::string& b) {
  size_t end = b.rfind(std::string("PK\x05\x06", 4));
  std::vector<size_t> headers;
  size_t at = get32(b, end + 16);
  for (int i = 0; i < get16(b, end + 10); ++i) {
    headers.push_back(at);
    at += 46 + get16(b, at + 28) + get16(b, at + 30) + get16(b, at + 32);
  }
  return headers;
}

size_t memberData(const std::string& b, size_t header) {
  size_t local = get32(b, header + 42);
  return local + 30 + get16(b, local + 26) + get16(b, local + 28);
}

// Rewrites an archive with one change applied to its bytes.
void patch(const std::string& from, const std::string& to, const std::function<void(std::string&)>& change) {
  std::string bytes = TestDir::read(from);
  change(bytes);
  TestDir::write(to, bytes);
}

// Runs fn in a forked child: its exit code (0 when fn returns), or 1000 +
// signal when it crashed. The child's stderr is returned in message.
int isolated(const std::function<void()>& fn, std::string& message) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen("child-stderr.txt", "w", stderr)) _exit(99);
    fn();
    std::fflush(nullptr);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  message = TestDir::read("child-stderr.txt");
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

class ZipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    initByteOrder();
    std::string command = std::string("'") + ZIP_PYTHON + "' '" + ZIP_ARCHIVE_SCRIPT + "' --zip '" + ZIP_PROGRAM +
                          "' --cmake '" + ZIP_CMAKE + "' .";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    logOpen();
  }
  // Opens the archive and loads every member the list names, byte for byte.
  void expectServes(const std::string& archive, const std::string& listedAs) {
    FileManagerZIP fm;
    ASSERT_TRUE(fm.open(archive)) << archive;
    Manifest members = manifest(listedAs);
    ASSERT_FALSE(members.empty());
    for (auto& [request, expected] : members) {
      ASSERT_TRUE(fm.load(out, request.c_str())) << archive << " " << request;
      EXPECT_EQ(text(out), TestDir::read(expected)) << archive << " " << request;
      EXPECT_EQ(out.capacity, out.count);
    }
  }

  TestDir dir{"zip"};
  Array<uint8_t> out;
};

using ZipDeathTest = ZipTest;

}  // namespace

TEST_F(ZipTest, ArchivesFromEveryToolLoadByteForByte) {
  for (const char* archive : {"zip_tool", "zip_stored", "zip_comment", "pipe", "cmake_tar", "py_mixed", "py_stream"})
    expectServes(std::string(archive) + ".zip", archive);
  // Nothing was refused along the way.
  EXPECT_EQ(logBody().find("Zip"), std::string::npos) << logBody();

  // Three of them have data descriptors: zero (or 0xFFFFFFFF) sizes locally,
  // so only the directory's sizes can serve.
  for (const char* archive : {"pipe.zip", "cmake_tar.zip", "py_stream.zip"}) {
    std::string bytes = TestDir::read(archive);
    size_t header = centralHeaders(bytes).front();
    EXPECT_NE(get32(bytes, get32(bytes, header + 42) + 18), get32(bytes, header + 20)) << archive;
    FileManagerZIP fm;
    ASSERT_TRUE(fm.open(archive));
    EXPECT_TRUE(fm.getEntries().front().flags & 8) << archive;
  }
}

TEST_F(ZipTest, DirectoryOrderAndNormalisedNamesSurviveAwkwardNames) {
  FileManagerZIP fm;
  ASSERT_TRUE(fm.open("PY_MIXED.ZIP"));  // the archive path is normalised too
  std::vector<std::string> names;
  for (const ZipEntry& e : fm.getEntries()) names.push_back(e.name);
  // The last name holds the directory header's signature bytes.
  EXPECT_EQ(names, (std::vector<std::string>{"textures/wall.dds", "readme.txt", "dup.txt", "dup.txt",
                                             "folder/sub/back.txt", "empty.bin", std::string("pk\x01\x02sig.txt")}));
  EXPECT_EQ(fm.getEndRecord().commentLength, 65000);
  EXPECT_EQ(fm.findEntry("dup.txt"), 2);  // the first of two equal names wins
  EXPECT_EQ(fm.findEntry("Dup.TXT"), -1);  // lookups take normalised names
}

TEST_F(ZipTest, SearchPathsFollowTheBareName) {
  FileManagerZIP fm;
  ASSERT_TRUE(fm.open("zip_tool.zip"));
  fm.setRoot("");
  fm.addPath("Textures\\");
  for (auto [request, expected] : {std::pair{"WALL.dds", "src/Textures/Wall.DDS"}, {"sub\\Deep.tga", "src/Textures/sub/Deep.TGA"}}) {
    ASSERT_TRUE(fm.load(out, request)) << request;
    EXPECT_EQ(text(out), TestDir::read(expected));
  }
}

TEST_F(ZipTest, BytesBeforeOrAfterTheArchiveAreTolerated) {
  std::string junk;
  for (int i = 0; i < 8000; ++i) junk += "not part of it ";  // 120 KB: the end record is two blocks back
  patch("zip_tool.zip", "prepended.zip", [](std::string& b) { b.insert(0, "#!/bin/sh\nexit 0\n" + std::string(983, 'x')); });
  patch("zip_tool.zip", "appended.zip", [&](std::string& b) { b += junk; });
  patch("py_empty.zip", "empty_prepended.zip", [](std::string& b) { b.insert(0, std::string(100, 'x')); });
  for (const char* archive : {"prepended.zip", "appended.zip"}) expectServes(archive, "zip_tool");
  // An empty archive opens with an empty table, at position 0 or after other bytes.
  for (const char* archive : {"py_empty.zip", "empty_prepended.zip"}) {
    FileManagerZIP fm;
    EXPECT_TRUE(fm.open(archive));
    EXPECT_TRUE(fm.getEntries().empty());
  }
}

TEST_F(ZipTest, RefusedMembersReportFailureAndCloseTheArchive) {
  // Wrong CRC in the directory for a deflated member; damaged stored data.
  patch("zip_tool.zip", "crc.zip", [](std::string& b) { put32(b, centralHeaders(b)[0] + 16, 0x12345678); });
  patch("zip_stored.zip", "stored_damaged.zip", [](std::string& b) { b[memberData(b, centralHeaders(b)[0]) + 5] ^= 1; });
  // Claims that must not turn into allocations or reads past the end.
  patch("zip_tool.zip", "huge.zip", [](std::string& b) { put32(b, centralHeaders(b)[4] + 24, 0xFFFFFF00u); });
  patch("zip_tool.zip", "long.zip", [](std::string& b) { put32(b, centralHeaders(b)[0] + 20, 0x7FFFFFF0u); });
  // Archive, member, and the line that refuses it.
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"crc.zip", "readme.txt", "Zip: CRC mismatch 'readme.txt'.\n"},
      {"stored_damaged.zip", "readme.txt", "Zip: CRC mismatch 'readme.txt'.\n"},
      {"huge.zip", "Textures/Wall.DDS", "Zip: Member size mismatch 'textures/wall.dds'.\n"},
      {"long.zip", "readme.txt", "Zip: Member data beyond end of archive 'readme.txt'.\n"},
      {"encrypted.zip", "readme.txt", "Zip: Encrypted member not supported 'readme.txt'.\n"},
      {"py_method.zip", "packed.bin", "Zip: Unsupported compression method 12 'packed.bin'.\n"},
  };
  for (auto [archive, member, line] : cases) {
    SCOPED_TRACE(archive);
    logOpen();
    FileManagerZIP fm;
    ASSERT_TRUE(fm.open(archive));
    Array<uint8_t> result;
    EXPECT_FALSE(fm.load(result, member));
    EXPECT_EQ((std::tuple{result.count, fm.isArchiveOpen()}), (std::tuple{0u, false}));
    EXPECT_LT(result.capacity, 1u << 20);
    // Later loads fail too, without touching the released stream.
    EXPECT_FALSE(fm.load(result, "readme.txt"));
    EXPECT_EQ(logBody(), std::string("FileManager: Add path ''.\n") + line +
                             "FileManagerZIP::load: Archive closed, 'readme.txt' not loaded.\n");
  }
}

// Each damaged copy is loaded in a child of its own; under the sanitizers a
// sweep takes a minute, so truncation and damage are two tests.
// Failing cleanly: finished, or ended through the fatal path with one of the
// reader's own messages. Never a crash, never wrong data reported as loaded
// (a load that claims success with bytes other than the file's exits with 3).
void expectCleanWhenDamaged(const std::string& bytes, const char* archive, const std::string& what) {
  TestDir::write("damaged.zip", bytes);
  std::string message;
  int code = isolated(
      [&] {
        FileManagerZIP fm;
        if (!fm.open("damaged.zip")) return;
        Array<uint8_t> out;
        for (auto& [request, expected] : manifest(archive))
          if (fm.load(out, request.c_str()) && text(out) != TestDir::read(expected)) std::exit(3);
      },
      message);
  if (code == 0) return;
  EXPECT_EQ(code, 255) << archive << " " << what << "\n" << message;
  EXPECT_TRUE(message.find("error: Zip: ") == 0 || message.find("error:  Zip: ") == 0 ||
              message.find("error: FileStream::seek: ") == 0 ||
              message.find("error: FileManagerZIP: File not found") == 0)  // a damaged name
      << archive << " " << what << "\n"
      << message;
}

TEST_F(ZipTest, TruncatedArchivesFailCleanly) {
  for (const char* archive : {"zip_tool", "py_mixed", "cmake_tar"}) {
    std::string bytes = TestDir::read(std::string(archive) + ".zip");
    size_t step = bytes.size() / 60 + 1;
    for (size_t cut = 0; cut < bytes.size(); cut += (cut < 64 ? 7 : step))
      expectCleanWhenDamaged(bytes.substr(0, cut), archive, "cut at " + std::to_string(cut));
  }
}

// A flipped byte here, and 40 bytes cut out here.
TEST_F(ZipTest, DamagedArchivesFailCleanly) {
  for (const char* archive : {"zip_tool", "cmake_tar", "pipe"}) {
    std::string bytes = TestDir::read(std::string(archive) + ".zip");
    for (size_t at = 0; at < bytes.size(); at += 13) {
      std::string flipped = bytes, holed = bytes;
      flipped[at] = char(~flipped[at]);
      holed.erase(at, 40);
      expectCleanWhenDamaged(flipped, archive, "flipped at " + std::to_string(at));
      expectCleanWhenDamaged(holed, archive, "holed at " + std::to_string(at));
    }
  }
}

TEST_F(ZipDeathTest, MalformedArchivesAndBadMembersEndWithTheirMessage) {
  TestDir::write("short.zip", "PK\x05\x06 too short");
  TestDir::write("text.zip", std::string(200000, 't'));
  patch("zip_tool.zip", "multidisk.zip", [](std::string& b) { b[b.size() - 22 + 4] = 1; });
  patch("zip_tool.zip", "baddir.zip", [](std::string& b) { b[centralHeaders(b)[1]] = 'Q'; });
  patch("zip_tool.zip", "dirsize.zip", [](std::string& b) { put32(b, b.size() - 22 + 12, 0x01000000); });
  patch("zip_tool.zip", "local.zip", [](std::string& b) { b[get32(b, centralHeaders(b)[0] + 42)] = 'Q'; });
  patch("zip_tool.zip", "offset.zip", [](std::string& b) { put32(b, centralHeaders(b)[0] + 42, 0x7FFFFFF0u); });
  // Block type 3 does not exist: inflate stops with a data error.
  patch("zip_tool.zip", "inflate.zip", [](std::string& b) { b[memberData(b, centralHeaders(b)[0])] = 7; });
  // The directory's size is smaller than the data: inflate runs out of room.
  patch("zip_tool.zip", "small.zip", [](std::string& b) { put32(b, centralHeaders(b)[0] + 24, 1000); });
  // Opened, and the member loaded where one is named.
  auto loading = [](const char* archive, const char* name) {
    FileManagerZIP fm;
    Array<uint8_t> result;
    fm.open(archive);
    if (name) fm.load(result, name);
  };
  const char* const seek = "error: FileStream::seek: File seek failed.";
  const char* const endRecord = "error:  Zip: End record not found.";
  const char* const badDir = "error: Zip: Bad dir file header.";
  const char* const corrupt = "error: Zip: Archive corrupt \\(local file header\\) 'readme.txt'.";
  const char* const inflate = "error: Zip: ZLib decompression failed \\(inflate\\).";
  for (auto [archive, name, message] :
       {std::tuple<const char*, const char*, const char*>{"short.zip", nullptr, seek}, {"text.zip", nullptr, endRecord},
        {"multidisk.zip", nullptr, endRecord}, {"baddir.zip", nullptr, badDir}, {"dirsize.zip", nullptr, badDir},
        {"zip_tool.zip", "Missing.dds", "error: FileManagerZIP: File not found 'missing.dds'."},
        {"absent.zip", "readme.txt", "error: FileManagerZIP: File not found 'readme.txt'."},
        {"local.zip", "README.txt", corrupt}, {"offset.zip", "readme.txt", corrupt},
        {"inflate.zip", "readme.txt", inflate}, {"small.zip", "readme.txt", inflate}})
    EXPECT_EXIT(loading(archive, name), ::testing::ExitedWithCode(255), message) << archive;
}
