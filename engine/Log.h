#pragma once
// The engine's diagnostics: log.txt in the working directory, and the fatal
// error path. Each message opens, appends and closes the file, so the log is
// complete up to the last line even if the process dies right after.

#include <cstdarg>
#include <string>

// Creates or truncates log.txt and writes the header.
void logOpen();

// printf-style; appends the text to log.txt. No line end is added.
void logPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// printf-style; shows the text in a message box titled "error" and ends the
// process with exit code -1.
[[noreturn]] void fatalError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Diagnostics of work done on a thread of its own, held so that log.txt reads
// as if the work had run on the main thread at the moment its result is
// taken. While a thread holds a capture, its logPrintf appends there and its
// fatalError keeps the text and throws LogCapture::Fatal to the thread's top.
struct LogCapture {
  struct Fatal {};
  std::string text;   // what logPrintf would have appended
  std::string fatal;  // the fatal error the work ended with, if any

  // Appends the held text to log.txt; a held fatal error then ends the
  // process as fatalError does.
  void replay();
};

// Starts (or, with nullptr, ends) holding this thread's diagnostics.
void logCaptureThisThread(LogCapture* capture);
