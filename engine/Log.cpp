#include "engine/Log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32/windows.h"

namespace {

const char* const logFileName = "log.txt";
const char* const logHeader = "Vantrel Engine Log\n\n";

// Process-wide, reused by every call of the main thread; a thread that holds
// a capture formats on its own stack.
char logBuffer[1000];
char fatalBuffer[1000];
thread_local LogCapture* capture = nullptr;

void appendToLog(const char* text, size_t length) {
  FILE* file = std::fopen(logFileName, "at");
  if (!file) return;
  std::fwrite(text, length, 1, file);
  std::fclose(file);
}

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
  char held[sizeof logBuffer];
  char* text = capture ? held : logBuffer;
  va_list args;
  va_start(args, format);
  // Bounded: text that would not fit is cut at 999 characters.
  std::vsnprintf(text, sizeof logBuffer, format, args);
  va_end(args);
  if (capture) capture->text += text;
  else appendToLog(text, std::strlen(text));
}

void fatalError(const char* format, ...) {
  char held[sizeof fatalBuffer];
  char* text = capture ? held : fatalBuffer;
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof fatalBuffer, format, args);
  va_end(args);
  if (capture) {
    capture->fatal = text;
    throw LogCapture::Fatal();
  }
  MessageBoxA(nullptr, fatalBuffer, "error", MB_ICONSTOP | MB_TASKMODAL);
  std::exit(-1);
}

void LogCapture::replay() {
  if (!text.empty()) appendToLog(text.data(), text.size());
  text.clear();
  if (!fatal.empty()) fatalError("%s", fatal.c_str());
}

void logCaptureThisThread(LogCapture* held) { capture = held; }
