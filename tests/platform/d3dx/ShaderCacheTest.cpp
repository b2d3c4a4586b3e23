// The compiler's cache: one translation per key, entries that are checked
// before they are trusted, a folder shared by processes running at once, and
// a cache that can be lost without losing a compile.

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <tuple>
#include <utility>

#include "platform/d3dx/ShaderCache.h"
#include "platform/d3dx/ShaderCompiler.h"
#include "support/D3DXTestSupport.h"

namespace {

namespace fs = std::filesystem;

// A cache folder of the test's own, empty, and a cache that starts afresh.
fs::path freshCache(const char *name) {
  fs::path root = fs::current_path() / name;
  fs::remove_all(root);
  fs::create_directories(root);
  setenv("XDG_CACHE_HOME", root.c_str(), 1);
  unsetenv("VANTREL_SHADER_CACHE");
  d3dxResetShaderCache();
  d3dxResetShaderCompileTimes();
  return root / "vantrel" / "shaders";
}

D3DXShaderCacheStatistics statistics() {
  D3DXShaderCacheStatistics s;
  d3dxGetShaderCacheStatistics(&s);
  return s;
}

D3DXShaderCompileTimes times() {
  D3DXShaderCompileTimes t;
  d3dxGetShaderCompileTimes(&t);
  return t;
}

int compiles() { return times().shaders; }

std::string blobOf(const Compiled &c) {
  return c.code ? std::string(static_cast<const char *>(c.code->GetBufferPointer()), c.code->GetBufferSize()) : "";
}

std::vector<fs::path> entries(const fs::path &folder) {
  std::vector<fs::path> found;
  for (const auto &e : fs::directory_iterator(folder)) found.push_back(e.path());
  return found;
}

const char *const pixel =
    "float4 tint;\nfloat4 main(float2 uv : TEXCOORD0) : "
    "COLOR { return tint * uv.xyxy; }\n";

}  // namespace

TEST(ShaderCache, TranslatesOnceAndRebuildsWhatItCannotTrust) {
  const fs::path folder = freshCache("cache-once");
  const std::string expected = blobOf(Compiled(pixel, "ps_3_0"));
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(compiles(), 1);
  EXPECT_TRUE(times().glslangMs > 0.0 && times().spirvCrossMs > 0.0);

  // Again in this process: from memory, with its constant table.
  Compiled again(pixel, "ps_3_0");
  EXPECT_EQ(blobOf(again), expected);
  ASSERT_NE(again.constant("tint"), nullptr);
  // Another profile or flag is another key.
  const std::string expected2 = blobOf(Compiled(pixel, "ps_2_0"));
  EXPECT_NE(expected2, expected);
  EXPECT_EQ(std::pair(compiles(), statistics().memoryHits), std::pair(2, 1));

  // A new process (the memory forgotten) reads the entry from disk.
  auto files = entries(folder);
  ASSERT_EQ(files.size(), 2u);
  d3dxResetShaderCache();
  EXPECT_EQ(blobOf(Compiled(pixel, "ps_3_0")), expected);
  EXPECT_EQ(std::pair(compiles(), statistics().diskHits), std::pair(2, 1));

  // Entries that cannot be trusted are compiled again and replaced: a flipped
  // byte, a cut file, another key under the same name, an empty file, noise.
  std::ifstream in(files[0], std::ios::binary);
  const std::string sound((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string flipped = sound, foreignKey = sound;
  flipped[sound.size() - 9] ^= 0x20;
  foreignKey[40] ^= 0x01;  // inside the stored key
  int rejected = 0;
  for (const std::string &damaged :
       {flipped, sound.substr(0, sound.size() / 2), foreignKey, std::string(), std::string(4096, '\x5a')}) {
    std::ofstream(files[0], std::ios::binary | std::ios::trunc) << damaged;
    d3dxResetShaderCache();
    const int before = compiles();
    Compiled ps3(pixel, "ps_3_0"), ps2(pixel, "ps_2_0");
    EXPECT_EQ(std::tuple(compiles() - before, blobOf(ps3), blobOf(ps2)), std::tuple(1, expected, expected2))
        << "damaged entry of " << damaged.size() << " bytes";
    rejected += statistics().rejected;
    std::ifstream rewritten(files[0], std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(rewritten)), std::istreambuf_iterator<char>()), sound);
  }
  EXPECT_EQ(rejected, 5);
}

TEST(ShaderCache, AFolderThatCannotBeWrittenOnlyLosesTheCache) {
  // The cache's parent is a plain file: nothing can be created under it, even
  // by root.
  fs::path root = fs::current_path() / "cache-unwritable";
  fs::remove_all(root);
  std::ofstream(root) << "not a folder";
  setenv("XDG_CACHE_HOME", root.c_str(), 1);
  d3dxResetShaderCache();
  Compiled first(pixel, "ps_3_0");
  EXPECT_EQ(first.hr, S_OK);
  EXPECT_EQ(blobOf(Compiled(pixel, "ps_3_0")), blobOf(first));
  EXPECT_EQ(std::pair(statistics().writeFailures, statistics().memoryHits), std::pair(1, 1));

  // Turned off, every compile translates.
  setenv("VANTREL_SHADER_CACHE", "off", 1);
  d3dxResetShaderCache();
  d3dxResetShaderCompileTimes();
  for (int i = 0; i < 2; ++i) Compiled(pixel, "ps_3_0");
  EXPECT_EQ(compiles(), 2);
  EXPECT_EQ(d3dxShaderCacheFolder(), "");
  unsetenv("VANTREL_SHADER_CACHE");
}

TEST(ShaderCache, ProcessesStartingTogetherShareTheFolder) {
  const fs::path folder = freshCache("cache-shared");
  std::vector<std::string> sources;
  for (int i = 0; i < 6; ++i)
    sources.push_back("float4 c" + std::to_string(i) + ";\nfloat4 main() : COLOR { return c" + std::to_string(i) +
                      " * " + std::to_string(i + 1) + "; }\n");
  std::vector<std::string> expected;
  for (const auto &s : sources) expected.push_back(blobOf(Compiled(s.c_str(), "ps_3_0")));
  fs::remove_all(folder);

  // Each process starts again and again, reading what the other is writing.
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    pid_t pid = fork();
    if (pid == 0) {
      bool same = true;
      for (int round = 0; round < 8; ++round) {
        d3dxResetShaderCache();
        for (size_t i = 0; i < sources.size(); ++i)
          same = same && blobOf(Compiled(sources[i].c_str(), "ps_3_0")) == expected[i];
      }
      _exit(same && statistics().rejected == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  // Whole entries only, no files left half-written.
  EXPECT_EQ(entries(folder).size(), sources.size());
  d3dxResetShaderCache();
  for (size_t i = 0; i < sources.size(); ++i) EXPECT_EQ(blobOf(Compiled(sources[i].c_str(), "ps_3_0")), expected[i]);
  EXPECT_EQ(statistics().diskHits, int(sources.size()));
}
