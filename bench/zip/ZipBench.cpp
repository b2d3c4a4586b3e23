// FileManagerZIP against libzip on the same archives, in the same run:
//   zip_load_vs_libzip: every member of a 64 MiB archive of 200 members, half
//     deflated (text-like data), half stored (incompressible, like images);
//     ours open + load, libzip zip_open + zip_fopen_index + zip_fread.
//   zip_open_vs_libzip: reading the directory of a 10,000-member archive;
//     ours FileManagerZIP::open, libzip zip_open.
// The archives are written with libzip on first run and kept in the working
// directory.

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "engine/Log.h"
#include "engine/files/ByteOrder.h"
#include "engine/files/FileManager_zip.h"

namespace {

const char* const loadArchive = "zip_bench_load_v1.zip";
const char* const openArchive = "zip_bench_open_v1.zip";
const int loadMembers = 200;
const uint64_t loadTotal = 64ull << 20;
const int openMembers = 10000;

struct Rng {
  uint64_t state;
  uint32_t next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t(state >> 33);
  }
};

bool exists(const char* path) {
  struct stat info;
  return stat(path, &info) == 0 && info.st_size > 0;
}

std::string loadName(int i) {
  char name[64];
  std::snprintf(name, sizeof(name), "%s/member_%03d.%s", i % 2 ? "textures" : "data", i, i % 2 ? "jpg" : "txt");
  return name;
}

std::string openName(int i) {
  char name[64];
  std::snprintf(name, sizeof(name), "textures/set_%03d/tex_%05d.dds", i / 100, i);
  return name;
}

// Even members: words from a small vocabulary (deflates about 3:1), odd
// members: noise (stored).
std::vector<std::vector<uint8_t>> loadContents() {
  static const char* const words[] = {"vertex ", "normal ", "material ", "light ", "shadow ", "0.125 ", "-3.5 ",
                                      "{\n", "}\n", "*MESH_FACE ", "texture ", "bloom ", "12 ", "camera\n"};
  Rng rng{42};
  std::vector<uint64_t> weights(loadMembers);
  uint64_t sum = 0;
  for (auto& w : weights) sum += (w = 100 + rng.next() % 900);
  std::vector<std::vector<uint8_t>> contents(loadMembers);
  uint64_t given = 0;
  for (int i = 0; i < loadMembers; ++i) {
    uint64_t size = i + 1 == loadMembers ? loadTotal - given : loadTotal * weights[i] / sum;
    given += size;
    std::vector<uint8_t>& c = contents[i];
    c.resize(size);
    if (i % 2) {
      for (auto& b : c) b = uint8_t(rng.next() >> 7);
    } else {
      size_t at = 0;
      while (at < size) {
        const char* w = words[rng.next() % (sizeof(words) / sizeof(words[0]))];
        size_t n = std::min(std::strlen(w), size_t(size - at));
        std::memcpy(c.data() + at, w, n);
        at += n;
      }
    }
  }
  return contents;
}

void writeArchive(const char* path, const std::vector<std::string>& names, const std::vector<std::vector<uint8_t>>& data,
                  bool deflateEven) {
  int error = 0;
  zip_t* za = zip_open(path, ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!za) {
    std::fprintf(stderr, "cannot create %s\n", path);
    std::exit(1);
  }
  for (size_t i = 0; i < names.size(); ++i) {
    zip_source_t* source = zip_source_buffer(za, data[i].data(), data[i].size(), 0);
    zip_int64_t index = zip_file_add(za, names[i].c_str(), source, ZIP_FL_OVERWRITE);
    bool deflate = deflateEven && i % 2 == 0;
    zip_set_file_compression(za, zip_uint64_t(index), deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
  }
  if (zip_close(za) != 0) {
    std::fprintf(stderr, "cannot write %s\n", path);
    std::exit(1);
  }
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

uint64_t checksum(const uint8_t* p, size_t n) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n; i += 61) h = (h ^ p[i]) * 1099511628211ull;
  return h ^ n;
}

uint64_t oursLoadAll(const std::vector<std::string>& names) {
  FileManagerZIP fm;
  if (!fm.open(loadArchive)) std::exit(1);
  Array<uint8_t> out;
  uint64_t sum = 0;
  for (const std::string& name : names) {
    if (!fm.load(out, name.c_str())) std::exit(1);
    sum += checksum(out.items, out.count);
  }
  return sum;
}

uint64_t libzipLoadAll() {
  int error = 0;
  zip_t* za = zip_open(loadArchive, ZIP_RDONLY, &error);
  if (!za) std::exit(1);
  uint64_t sum = 0;
  zip_int64_t n = zip_get_num_entries(za, 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    zip_stat_t st;
    zip_stat_index(za, zip_uint64_t(i), 0, &st);
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(st.size ? st.size : 1));
    zip_file_t* f = zip_fopen_index(za, zip_uint64_t(i), 0);
    if (!f || zip_fread(f, buffer, st.size) != zip_int64_t(st.size)) std::exit(1);
    zip_fclose(f);
    sum += checksum(buffer, st.size);
    std::free(buffer);
  }
  zip_discard(za);
  return sum;
}

}  // namespace

int main() {
  logOpen();
  initByteOrder();

  std::vector<std::string> names;
  for (int i = 0; i < loadMembers; ++i) names.push_back(loadName(i));
  if (!exists(loadArchive)) {
    std::printf("writing %s ...\n", loadArchive);
    writeArchive(loadArchive, names, loadContents(), true);
  }
  std::vector<std::string> openNames;
  for (int i = 0; i < openMembers; ++i) openNames.push_back(openName(i));
  if (!exists(openArchive)) {
    std::vector<std::vector<uint8_t>> small(openMembers);
    for (int i = 0; i < openMembers; ++i) small[i].assign(16 + i % 48, uint8_t(i));
    writeArchive(openArchive, openNames, small, false);
  }

  // Same bytes from both, then alternate runs so that drift hits both alike.
  if (oursLoadAll(names) != libzipLoadAll()) {
    std::fprintf(stderr, "zip_bench: ours and libzip disagree\n");
    return 1;
  }
  std::vector<double> ours, peer;
  for (int run = 0; run < 7; ++run) {
    double start = bench::nowMs();
    oursLoadAll(names);
    ours.push_back(bench::nowMs() - start);
    start = bench::nowMs();
    libzipLoadAll();
    peer.push_back(bench::nowMs() - start);
  }
  bench::report("zip_load_vs_libzip", median(ours), median(peer), "ms", "<= 1.0");

  ours.clear();
  peer.clear();
  for (int run = 0; run < 15; ++run) {
    FileManagerZIP fm;
    double start = bench::nowMs();
    bool opened = fm.open(openArchive);
    ours.push_back(bench::nowMs() - start);
    if (!opened || fm.getEntries().size() != size_t(openMembers)) return 1;

    int error = 0;
    start = bench::nowMs();
    zip_t* za = zip_open(openArchive, ZIP_RDONLY, &error);
    peer.push_back(bench::nowMs() - start);
    if (!za || zip_get_num_entries(za, 0) != openMembers) return 1;
    zip_discard(za);
  }
  bench::report("zip_open_vs_libzip", median(ours), median(peer), "ms", "<= 1.0");
  return 0;
}
