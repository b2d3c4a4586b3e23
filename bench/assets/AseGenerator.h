#pragma once
// Writes a large ASE scene shaped like a 3ds Max export (CR LF line ends, tab
// indentation, full face lines): materials, groups, many grid-shaped objects
// with two texture channels, and sampled animation on some of them.

#include <cstdint>
#include <string>

struct AseGeneratorStats {
  uint64_t bytes = 0;
  uint32_t objects = 0;
  uint64_t vertices = 0;  // *MESH_VERTEX lines
  uint64_t faces = 0;
};

// Objects are added until the file reaches about targetBytes.
bool generateAseScene(const std::string& path, uint64_t targetBytes, AseGeneratorStats* stats);
