#pragma once
// A scratch folder per test: created fresh, made the working directory for the
// test's duration (the log and relative paths land there), removed afterwards.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

class TestDir {
 public:
  explicit TestDir(const std::string& name = "") {
    namespace fs = std::filesystem;
    previous = fs::current_path();
    std::string base = name.empty() ? "scratch" : name;
    path = fs::absolute(fs::path("tmp-" + base + "-" + std::to_string(::getpid())));
    fs::remove_all(path);
    fs::create_directories(path);
    fs::current_path(path);
  }
  ~TestDir() {
    std::error_code ec;
    std::filesystem::current_path(previous, ec);
    std::filesystem::remove_all(path, ec);
  }
  TestDir(const TestDir&) = delete;
  TestDir& operator=(const TestDir&) = delete;

  static void write(const std::string& file, const std::string& bytes) {
    std::filesystem::path p(file);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << bytes;
  }
  static std::string read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path path;

 private:
  std::filesystem::path previous;
};
