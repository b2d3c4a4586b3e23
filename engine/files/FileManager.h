#pragma once
// The one place data files are loaded whole by name: a root path and an
// ordered list of search paths over a backend (directories or one archive).

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Array.h"

// Lower-cases ASCII A-Z and turns backslashes into slashes; nothing else.
std::string normalisePath(const std::string& path);

class FileManager {
 public:
  FileManager();
  FileManager(const FileManager&) = delete;
  FileManager& operator=(const FileManager&) = delete;
  virtual ~FileManager();

  // Fills out with the file's bytes (count = size, no terminating zero).
  virtual bool load(Array<uint8_t>& out, const char* name) = 0;
  // No backend stores anything; kept for the interface's shape.
  virtual bool store(const Array<uint8_t>& data, const char* name) = 0;

  void setRoot(const std::string& path);
  void addPath(const std::string& path);

  const std::string& getRoot() const { return rootPath; }
  const std::vector<std::string>& getPaths() const { return searchPaths; }

 protected:
  // Gives out a block of exactly size bytes, reusing its block when the
  // capacity already fits, and sets the count.
  static void sizeResult(Array<uint8_t>& out, uint32_t size);

  std::string rootPath;
  std::vector<std::string> searchPaths;
};

class FileManagerOS : public FileManager {
 public:
  bool load(Array<uint8_t>& out, const char* name) override;
  bool store(const Array<uint8_t>& data, const char* name) override;
};
