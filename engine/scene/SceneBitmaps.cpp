#include "engine/scene/SceneBitmaps.h"

#include <strings.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The entry of `folder` named `name` in any case: the exact name first.
fs::path entryNoCase(const fs::path& folder, const std::string& name) {
  std::error_code error;
  if (fs::exists(folder / name, error)) return folder / name;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    if (strcasecmp(it->path().filename().string().c_str(), name.c_str()) == 0) return it->path();
  return fs::path();
}

// `parts` below `folder`, each matched in any case; a regular file or empty.
fs::path resolveNoCase(fs::path folder, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    folder = entryNoCase(folder, part);
    if (folder.empty()) return folder;
  }
  std::error_code error;
  return fs::is_regular_file(folder, error) ? folder : fs::path();
}

// The path's parts, split at either slash; a drive ("C:"), "." and ".." go.
std::vector<std::string> splitPath(const std::string& text) {
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '/' || text[i] == '\\') {
      bool drive = parts.empty() && part.size() == 2 && part[1] == ':';
      if (!part.empty() && part != "." && part != ".." && !drive) parts.push_back(part);
      part.clear();
    } else {
      part += text[i];
    }
  }
  return parts;
}

}  // namespace

std::string findSceneBitmap(const std::string& sceneFile, const std::string& bitmap) {
  std::vector<std::string> parts = splitPath(bitmap);
  if (parts.empty()) return std::string();
  const std::string name = parts.back();
  fs::path folder = fs::path(sceneFile).parent_path();
  if (folder.empty()) folder = ".";

  std::vector<std::vector<std::string>> candidates = {{name}, {"textures", name}};
  for (size_t first = parts.size() - 1; first-- > 0;)
    candidates.push_back(std::vector<std::string>(parts.begin() + long(first), parts.end()));
  for (const auto& candidate : candidates) {
    fs::path found = resolveNoCase(folder, candidate);
    if (!found.empty()) return found.string();
  }
  return std::string();
}
