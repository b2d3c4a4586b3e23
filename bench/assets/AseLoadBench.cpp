// ASELoader::load on a ~50 MB generated export against Assimp's ASE importer
// (no post-processing), both on the same file in the same run.
#include <assimp/cimport.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "AseGenerator.h"
#include "BenchReport.h"
#include "engine/Log.h"
#include "engine/scene/ASELoader.h"
#include "engine/scene/SGMesh.h"

namespace {

double median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main() {
  const std::string path = "ase-bench-scene.ase";
  AseGeneratorStats stats;
  if (!generateAseScene(path, 50u * 1000 * 1000, &stats)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  const double megabytes = double(stats.bytes) / 1e6;
  std::printf("scene: %.1f MB, %u objects, %llu vertices, %llu faces (%llu corners)\n", megabytes, stats.objects,
              (unsigned long long)stats.vertices, (unsigned long long)stats.faces,
              (unsigned long long)stats.faces * 3);
  logOpen();  // the reader logs the rotation keys it prepares

  const int runs = 3;
  std::vector<double> ours, peer;
  uint32_t nodeCount = 0;
  unsigned meshCount = 0;
  for (int run = 0; run < runs; ++run) {
    ASELoader loader;
    double start = bench::nowMs();
    bool ok = loader.load(path.c_str());
    ours.push_back(bench::nowMs() - start);
    Array<SGMesh*> nodes;
    loader.getNodes(nodes);
    nodeCount = nodes.count;
    for (SGMesh* node : nodes) delete node;
    if (!ok) return 1;

    start = bench::nowMs();
    const aiScene* scene = aiImportFile(path.c_str(), 0);
    peer.push_back(bench::nowMs() - start);
    if (!scene) {
      std::fprintf(stderr, "Assimp: %s\n", aiGetErrorString());
      return 1;
    }
    meshCount = scene->mNumMeshes;
    aiReleaseImport(scene);
  }
  double oursMs = median(ours), peerMs = median(peer);
  std::printf("ASELoader::load  %8.1f ms  %7.1f MB/s  (%u nodes)\n", oursMs, megabytes / (oursMs / 1000), nodeCount);
  std::printf("Assimp ASE       %8.1f ms  %7.1f MB/s  (%u meshes)\n", peerMs, megabytes / (peerMs / 1000), meshCount);
  bench::report("ase_load_vs_assimp", oursMs, peerMs, "ms", "<= 0.33");
  std::remove(path.c_str());
  return 0;
}
