#pragma once
// The engine's diagnostics: log.txt in the working directory, and the fatal
// error path. Each message opens, appends and closes the file, so the log is
// complete up to the last line even if the process dies right after.

#include <cstdarg>

// Creates or truncates log.txt and writes the header.
void logOpen();

// printf-style; appends the text to log.txt. No line end is added.
void logPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// printf-style; shows the text in a message box titled "error" and ends the
// process with exit code -1.
[[noreturn]] void fatalError(const char* format, ...) __attribute__((format(printf, 1, 2)));
