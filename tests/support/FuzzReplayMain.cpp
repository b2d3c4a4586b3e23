// Replays inputs through a fuzz target's entry point where no libFuzzer is
// linked: every file of the folders named on the command line, in name order.
// A folder that is missing or holds no file fails, so that a replay never
// passes by reading nothing.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  for (int i = 1; i < argc; ++i) {
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(argv[i], error), end; !error && it != end; it.increment(error))
      if (it->is_regular_file()) files.push_back(it->path());
    if (error || files.empty()) {
      std::fprintf(stderr, "replay: no inputs in %s\n", argv[i]);
      return 1;
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      std::ifstream in(file, std::ios::binary);
      std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::printf("replay %s (%zu bytes)\n", file.c_str(), bytes.size());
      std::fflush(stdout);  // the last name printed is the input that crashed
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
  }
  return 0;
}
