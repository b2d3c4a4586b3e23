#pragma once
// The shader compiler's cache: a translation done once per process (in
// memory) and once per machine (on disk), for compiles that depend on nothing
// but their arguments (no include handler).
//
// On disk an entry lives in $XDG_CACHE_HOME/vantrel/shaders (else
// ~/.cache/vantrel/shaders), one file per key, named after the key's hash.
// The key holds everything the translation depends on: the source, defines,
// entry point, profile, flags, and the versions of glslang, SPIRV-Tools,
// SPIRV-Cross and of the translator itself. An entry stores its whole key and
// a checksum; a damaged, truncated or foreign entry is never trusted, only
// compiled again and replaced. Entries are written to a file of their own and
// renamed into place, so starts running at the same time never see half an
// entry. A folder that cannot be created or written, or a full disk, loses
// the cache and nothing else.
//
// VANTREL_SHADER_CACHE=off turns both levels off.

#include <string>
#include <vector>

#include "platform/d3dx/d3dx9shader.h"

struct ShaderCacheEntry {
  std::vector<DWORD> blob;  // the compiled shader blob
  std::string messages;     // the compiler's warnings, returned with it
};

// The key of a compile, or an empty string for one that cannot be cached
// (an include handler, or the cache turned off).
std::string shaderCacheKey(const char *source, size_t length, const D3DXMACRO *defines, ID3DXInclude *include,
                           const char *entry, const char *profile, DWORD flags);

// The entry of `key` from memory or disk, if there is a sound one.
bool shaderCacheFind(const std::string &key, ShaderCacheEntry *entry);

// Keeps the entry of a successful compile in memory and on disk.
void shaderCacheStore(const std::string &key, const ShaderCacheEntry &entry);

struct D3DXShaderCacheStatistics {
  int memoryHits;
  int diskHits;
  int misses;         // looked up and compiled
  int rejected;       // entries on disk found damaged, truncated or foreign
  int writeFailures;  // entries that could not be written
};

void d3dxGetShaderCacheStatistics(D3DXShaderCacheStatistics *statistics);

// Forgets the entries kept in memory and the statistics, and reads the
// environment again (the folder, VANTREL_SHADER_CACHE).
void d3dxResetShaderCache();

// The folder entries are kept in ("" when the cache is off or there is no
// home).
std::string d3dxShaderCacheFolder();
