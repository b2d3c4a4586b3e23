// engine/System.h. Microsoft's C runtime has neither localtime_r nor
// fopen's exclusive "x", so it creates through _open with _O_EXCL.

#include "engine/System.h"

#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>

bool localTime(std::time_t when, std::tm* out) { return localtime_s(out, &when) == 0; }

std::FILE* createNewFile(const char* path) {
  int fd = _open(path, _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _fdopen(fd, "wb");
  if (!file) _close(fd);
  return file;
}
#else
#include <unistd.h>

bool localTime(std::time_t when, std::tm* out) { return localtime_r(&when, out) != nullptr; }

std::FILE* createNewFile(const char* path) {
  int fd = open(path, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (!file) close(fd);
  return file;
}
#endif
