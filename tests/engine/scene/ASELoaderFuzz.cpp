// Arbitrary bytes as an ASE file: the reader must neither crash nor read out
// of bounds, and every node it keeps must weld.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/Log.h"
#include "engine/scene/ASELoader.h"
#include "engine/assets/ImportMesh.h"
#include "engine/scene/SGMesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // TCB controllers end the process by design; keep them out of the input.
  for (size_t i = 0; i + 4 <= size; ++i)
    if (std::memcmp(data + i, "_TCB", 4) == 0) return 0;
  logOpen();  // the reader's log lines would otherwise pile up in log.txt over a long run
  FILE* file = std::fopen("fuzz-input.ase", "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  ASELoader loader;
  if (!loader.load("fuzz-input.ase")) return 0;
  Array<SGMesh*> nodes;
  loader.getNodes(nodes);
  for (SGMesh* node : nodes) {
    Array<ImportVertex> vertices;
    Array<uint16_t> indices;
    if (!node->getImportMesh().build(vertices, indices)) __builtin_trap();  // the reader lets no such mesh through
    for (uint32_t i = 0; i < indices.count; ++i)
      if (indices.items[i] >= vertices.count) __builtin_trap();
    node->animate(int32_t(size) - 100);
    (void)node->worldMatrix();
    delete node;
  }
  Array<ASEMaterial*> materials;
  loader.getMaterials(materials);
  for (ASEMaterial* m : materials) (void)std::strlen(m->getBitmap());
  return 0;
}
