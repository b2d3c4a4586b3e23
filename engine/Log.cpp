#include "engine/Log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32/windows.h"

namespace {

// Process-wide, reused by every call; the engine is single-threaded.
char logBuffer[1000];
char fatalBuffer[1000];

const char* const logFileName = "log.txt";
const char* const logHeader = "Vantrel Engine Log\n\n";

}  // namespace

void logOpen() {
  FILE* file = std::fopen(logFileName, "wt");
  if (!file) return;
  char header[128] = {};
  std::strcpy(header, logHeader);
  std::fwrite(header, std::strlen(header), 1, file);
  std::fclose(file);
}

void logPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  // Bounded: text that would not fit is cut at 999 characters.
  std::vsnprintf(logBuffer, sizeof(logBuffer), format, args);
  va_end(args);
  FILE* file = std::fopen(logFileName, "at");
  if (!file) return;
  std::fwrite(logBuffer, std::strlen(logBuffer), 1, file);
  std::fclose(file);
}

void fatalError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(fatalBuffer, sizeof(fatalBuffer), format, args);
  va_end(args);
  MessageBoxA(nullptr, fatalBuffer, "error", MB_ICONSTOP | MB_TASKMODAL);
  std::exit(-1);
}
