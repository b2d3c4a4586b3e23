#pragma once
// Running vantrel-capture as a person would (its own working folder, its exit
// status, standard output and error), and reading the PNG frames it writes.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/Picture.h"

namespace capture_test {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

inline std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the capture tool in `folder` with `args`; stdout and stderr are kept.
inline Outcome runCapture(const std::vector<std::string>& args, const fs::path& folder) {
  const fs::path outFile = folder / ".capture-stdout", errFile = folder / ".capture-stderr";
  pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0) _exit(126);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(CAPTURE));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(CAPTURE, argv.data());
    _exit(127);
  }
  Outcome run;
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  run.out = readFile(outFile);
  run.err = readFile(errFile);
  fs::remove(outFile);
  fs::remove(errFile);
  return run;
}

// A folder that holds the build's generated data/, as build/run does.
inline void linkRunData(const fs::path& folder) {
  fs::create_directory_symlink(fs::path(VANTREL_RUN_DIR) / "data", folder / "data");
}

}  // namespace capture_test
