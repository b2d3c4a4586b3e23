// The shader compiler's cache in memory and on disk (see ShaderCache.h).
//
// An entry file:
//   header   "VSHCACHE", format version, key bytes, blob bytes, message bytes,
//            FNV-1a 64 of everything after the header
//   key      the whole key (hashes collide; keys are compared)
//   blob     the shader blob, as D3DXCompileShader returns it
//   messages the compiler's warnings

#include "platform/d3dx/ShaderCache.h"

#include <fcntl.h>
#include <glslang/build_info.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/d3d9/ShaderBlob.h"
#include "platform/d3dx/ShaderTranslatorIdentity.h"

namespace {

constexpr char entryMagic[8] = {'V', 'S', 'H', 'C', 'A', 'C', 'H', 'E'};
constexpr uint32_t entryFormat = 1;
// Far beyond any shader of these profiles; a larger file is not read.
constexpr uint64_t maxEntryBytes = 16u << 20;

struct EntryHeader {
  char magic[8];
  uint32_t format;
  uint32_t keyBytes;
  uint32_t blobBytes;
  uint32_t messageBytes;
  uint64_t checksum;
};
static_assert(sizeof(EntryHeader) == 32, "the entry header is written as it is laid out");

uint64_t fnv1a(const void *data, size_t bytes, uint64_t hash = 0xcbf29ce484222325ull) {
  const unsigned char *p = static_cast<const unsigned char *>(data);
  for (size_t i = 0; i < bytes; ++i) hash = (hash ^ p[i]) * 0x100000001b3ull;
  return hash;
}

struct Cache {
  std::mutex mutex;
  bool configured = false;
  bool enabled = true;
  std::string folder;
  std::unordered_map<std::string, std::shared_ptr<const ShaderCacheEntry>> memory;
  D3DXShaderCacheStatistics statistics = {0, 0, 0, 0, 0};

  // Reads the environment once (again after a reset). Called with the lock
  // held.
  void configure() {
    if (configured) return;
    configured = true;
    const char *setting = std::getenv("VANTREL_SHADER_CACHE");
    enabled = !(setting && (std::strcmp(setting, "off") == 0 || std::strcmp(setting, "0") == 0));
    folder.clear();
    if (!enabled) return;
    const char *xdg = std::getenv("XDG_CACHE_HOME");
    const char *home = std::getenv("HOME");
    if (xdg && xdg[0] == '/')
      folder = std::string(xdg) + "/vantrel/shaders";
    else if (home && home[0] == '/')
      folder = std::string(home) + "/.cache/vantrel/shaders";
  }
};

Cache &cache() {
  static Cache instance;
  return instance;
}

void appendField(std::string &key, const char *name, const char *value, size_t bytes) {
  key += name;
  key += '=';
  key += std::to_string(bytes);
  key += ':';
  key.append(value, bytes);
  key += '\n';
}

std::string entryPath(const std::string &folder, const std::string &key) {
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.shader", (unsigned long long)fnv1a(key.data(), key.size()));
  return folder + "/" + name;
}

bool readAll(int fd, void *data, size_t bytes) {
  char *p = static_cast<char *>(data);
  while (bytes > 0) {
    ssize_t n = ::read(fd, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    bytes -= size_t(n);
  }
  return true;
}

bool writeAll(int fd, const void *data, size_t bytes) {
  const char *p = static_cast<const char *>(data);
  while (bytes > 0) {
    ssize_t n = ::write(fd, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    bytes -= size_t(n);
  }
  return true;
}

enum class DiskRead { missing, rejected, found };

// Reads and checks the entry of `key`: the size the header announces, the
// checksum, the key itself, and a blob that parses.
DiskRead readEntry(const std::string &path, const std::string &key, ShaderCacheEntry *entry) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return DiskRead::missing;
  struct stat st;
  EntryHeader h;
  DiskRead result = DiskRead::rejected;
  if (::fstat(fd, &st) == 0 && uint64_t(st.st_size) >= sizeof h && uint64_t(st.st_size) <= maxEntryBytes &&
      readAll(fd, &h, sizeof h) && std::memcmp(h.magic, entryMagic, sizeof entryMagic) == 0 &&
      h.format == entryFormat && h.keyBytes == key.size() && h.blobBytes % 4 == 0 &&
      uint64_t(st.st_size) == sizeof h + uint64_t(h.keyBytes) + h.blobBytes + h.messageBytes) {
    std::string storedKey(h.keyBytes, '\0');
    std::vector<DWORD> blob(h.blobBytes / 4);
    std::string messages(h.messageBytes, '\0');
    ShaderBlobView view;
    if (readAll(fd, storedKey.data(), storedKey.size()) && readAll(fd, blob.data(), h.blobBytes) &&
        readAll(fd, messages.data(), messages.size()) && storedKey == key &&
        fnv1a(messages.data(), messages.size(),
              fnv1a(blob.data(), h.blobBytes, fnv1a(storedKey.data(), storedKey.size()))) == h.checksum &&
        shaderBlobParse(blob.data(), h.blobBytes, &view) && view.totalBytes == h.blobBytes) {
      entry->blob = std::move(blob);
      entry->messages = std::move(messages);
      result = DiskRead::found;
    }
  }
  ::close(fd);
  return result;
}

// Writes the entry to a file of its own in the folder and renames it over the
// entry's name: a reader sees the old entry, the new one or none, never a mix.
bool writeEntry(const std::string &folder, const std::string &key, const ShaderCacheEntry &entry) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return false;
  static std::atomic<unsigned> serial{0};
  const std::string path = entryPath(folder, key);
  const std::string temporary = path + "." + std::to_string(::getpid()) + "." + std::to_string(serial++) + ".tmp";
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  EntryHeader h = {};
  std::memcpy(h.magic, entryMagic, sizeof entryMagic);
  h.format = entryFormat;
  h.keyBytes = uint32_t(key.size());
  h.blobBytes = uint32_t(entry.blob.size() * 4);
  h.messageBytes = uint32_t(entry.messages.size());
  h.checksum = fnv1a(entry.messages.data(), entry.messages.size(),
                     fnv1a(entry.blob.data(), h.blobBytes, fnv1a(key.data(), key.size())));
  bool written = writeAll(fd, &h, sizeof h) && writeAll(fd, key.data(), key.size()) &&
                 writeAll(fd, entry.blob.data(), h.blobBytes) &&
                 writeAll(fd, entry.messages.data(), entry.messages.size());
  written = (::close(fd) == 0) && written;
  if (written && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

}  // namespace

std::string shaderCacheKey(const char *source, size_t length, const D3DXMACRO *defines, ID3DXInclude *include,
                           const char *entry, const char *profile, DWORD flags) {
  Cache &c = cache();
  {
    std::lock_guard<std::mutex> lock(c.mutex);
    c.configure();
    // What an include handler hands over is not known before compiling.
    if (!c.enabled || include) return std::string();
  }
  std::string key = "translator=" VANTREL_SHADER_TRANSLATOR_IDENTITY " glslang-" +
                    std::to_string(GLSLANG_VERSION_MAJOR) + "." + std::to_string(GLSLANG_VERSION_MINOR) + "." +
                    std::to_string(GLSLANG_VERSION_PATCH) + GLSLANG_VERSION_FLAVOR "\n";
  appendField(key, "profile", profile, std::strlen(profile));
  appendField(key, "entry", entry, std::strlen(entry));
  key += "flags=" + std::to_string(flags) + "\n";
  for (const D3DXMACRO *m = defines; m && m->Name; ++m) {
    appendField(key, "define", m->Name, std::strlen(m->Name));
    appendField(key, "as", m->Definition ? m->Definition : "", m->Definition ? std::strlen(m->Definition) : 0);
  }
  appendField(key, "source", source, length);
  return key;
}

bool shaderCacheFind(const std::string &key, ShaderCacheEntry *entry) {
  Cache &c = cache();
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(c.mutex);
    auto found = c.memory.find(key);
    if (found != c.memory.end()) {
      *entry = *found->second;
      c.statistics.memoryHits += 1;
      return true;
    }
    folder = c.folder;
  }
  DiskRead read = folder.empty() ? DiskRead::missing : readEntry(entryPath(folder, key), key, entry);
  std::lock_guard<std::mutex> lock(c.mutex);
  if (read == DiskRead::found) {
    c.statistics.diskHits += 1;
    c.memory.emplace(key, std::make_shared<const ShaderCacheEntry>(*entry));
    return true;
  }
  if (read == DiskRead::rejected) c.statistics.rejected += 1;
  c.statistics.misses += 1;
  return false;
}

void shaderCacheStore(const std::string &key, const ShaderCacheEntry &entry) {
  Cache &c = cache();
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(c.mutex);
    c.memory.emplace(key, std::make_shared<const ShaderCacheEntry>(entry));
    folder = c.folder;
  }
  if (folder.empty() || writeEntry(folder, key, entry)) return;
  std::lock_guard<std::mutex> lock(c.mutex);
  c.statistics.writeFailures += 1;
}

void d3dxGetShaderCacheStatistics(D3DXShaderCacheStatistics *statistics) {
  Cache &c = cache();
  std::lock_guard<std::mutex> lock(c.mutex);
  if (statistics) *statistics = c.statistics;
}

void d3dxResetShaderCache() {
  Cache &c = cache();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.memory.clear();
  c.statistics = {0, 0, 0, 0, 0};
  c.configured = false;
}

std::string d3dxShaderCacheFolder() {
  Cache &c = cache();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.configure();
  return c.folder;
}
