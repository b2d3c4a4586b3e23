// Opens arbitrary bytes as an archive and loads every member it lists.
//
// The fatal path ends the process in the engine; here it throws instead, so
// that an input which is correctly refused with one of the reader's messages
// is not reported as a finding. The log goes nowhere. What remains to be
// found are crashes, out-of-bounds accesses, leaks and undefined behaviour.

#include <unistd.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/Log.h"
#include "engine/files/ByteOrder.h"
#include "engine/files/FileManager_zip.h"

namespace {

struct FatalStop {};

char formatted[1000];

}  // namespace

void logOpen() {}

void logPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(formatted, sizeof(formatted), format, args);
  va_end(args);
}

void fatalError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(formatted, sizeof(formatted), format, args);
  va_end(args);
  throw FatalStop();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = [] {
    initByteOrder();
    return "fuzz-input-" + std::to_string(getpid()) + ".zip";
  }();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  if (size) std::fwrite(data, 1, size, file);
  std::fclose(file);

  try {
    FileManagerZIP fm;
    if (fm.open(path)) {
      Array<uint8_t> out;
      for (size_t i = 0; i < fm.getEntries().size(); ++i) {
        std::string name = fm.getEntries()[i].name;
        fm.load(out, name.c_str());
      }
    }
  } catch (const FatalStop&) {
  }
  return 0;
}
