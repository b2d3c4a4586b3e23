// engine/System.h on Windows: a name taken is refused, not replaced (a
// second screenshot in the same second gets the next number), and the local
// time can be told.

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/System.h"

int main() {
  std::remove("taken.bin");
  std::FILE* first = createNewFile("taken.bin");
  if (!first || std::fputs("first", first) < 0 || std::fclose(first) != 0) {
    std::printf("could not create a new file\n");
    return 1;
  }
  errno = 0;
  if (std::FILE* second = createNewFile("taken.bin")) {
    std::fclose(second);
    std::printf("a file that exists was opened again\n");
    return 1;
  }
  if (errno != EEXIST) {
    std::printf("refused with errno %d, not EEXIST\n", errno);
    return 1;
  }
  char kept[8] = "";
  std::FILE* check = std::fopen("taken.bin", "rb");
  size_t n = check ? std::fread(kept, 1, sizeof kept - 1, check) : 0;
  if (check) std::fclose(check);
  if (n != 5 || std::strcmp(kept, "first") != 0) {
    std::printf("the first file's bytes were lost\n");
    return 1;
  }
  std::tm local = {};
  if (!localTime(std::time(nullptr), &local) || local.tm_year < 100) {
    std::printf("no local time\n");
    return 1;
  }
  std::printf("exclusive creation and local time as on Linux\n");
  return 0;
}
