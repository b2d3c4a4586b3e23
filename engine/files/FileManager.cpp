#include "engine/files/FileManager.h"

#include <sys/stat.h>

#include <limits>

#include "engine/Log.h"
#include "engine/files/FileStream.h"

std::string normalisePath(const std::string& path) {
  std::string result(path);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

FileManager::FileManager() { setRoot(""); }

FileManager::~FileManager() = default;

void FileManager::setRoot(const std::string& path) {
  rootPath = normalisePath(path);
  addPath(rootPath);
}

void FileManager::addPath(const std::string& path) {
  std::string normalised = normalisePath(path);
  for (const std::string& entry : searchPaths) {
    if (entry == normalised) return;
  }
  searchPaths.push_back(normalised);
  logPrintf("FileManager: Add path '%s'.\n", normalised.c_str());
}

void FileManager::sizeResult(Array<uint8_t>& out, uint32_t size) {
  if (out.capacity != size) {
    out.clear();
    if (size) out.resize(size, false);
  }
  out.count = size;
}

namespace {

// Opens a candidate for reading. Only regular files count: a directory of the
// same name is passed over like a missing file.
bool openCandidate(FileStream& stream, const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  return stream.open(path, FileStream::MODE_READ);
}

}  // namespace

bool FileManagerOS::load(Array<uint8_t>& out, const char* name) {
  if (!name) name = "";
  FileStream stream;
  std::string opened = normalisePath(rootPath + name);
  bool found = openCandidate(stream, opened);
  for (size_t i = 0; !found && i < searchPaths.size(); ++i) {
    opened = normalisePath(searchPaths[i] + name);
    found = openCandidate(stream, opened);
  }
  if (!found) {
    fatalError("FileManagerOS::load: File not found: '%s'.\n", name);
    return false;
  }

  // Sizes are 32-bit; a file beyond that cannot be held and counts as a
  // failed read rather than wrapping around.
  struct stat info;
  if (fstat(fileno(stream.file), &info) != 0 || uint64_t(info.st_size) >= std::numeric_limits<uint32_t>::max()) {
    fatalError("FileManagerOS::load: File read failed: '%s'.\n", opened.c_str());
    return false;
  }
  uint32_t size = stream.size();
  sizeResult(out, size);
  uint32_t got = size ? stream.read(out.items, size) : 0;
  if (got == 0 || got != size) {
    fatalError("FileManagerOS::load: File read failed: '%s'.\n", opened.c_str());
    return false;
  }
  stream.close();
  return true;
}

bool FileManagerOS::store(const Array<uint8_t>&, const char*) { return true; }
