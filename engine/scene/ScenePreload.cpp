#include "engine/scene/ScenePreload.h"

#include <string>
#include <thread>

#include "engine/Log.h"
#include "engine/Memory.h"
#include "engine/scene/ASELoader.h"
#include "engine/scene/SGMesh.h"

namespace {

struct Preload {
  std::string fileName;
  ASELoader* loader = nullptr;
  bool loaded = false;
  bool unsupportedIsFatal = false;  // the demo's own scene
  LogCapture capture;
  std::thread reader;
};

// At most one read is pending. It is not destroyed at exit: a process that
// ends while the reader still runs leaves it to the system.
Preload* pending = nullptr;

void readScene(Preload* preload) {
  logCaptureThisThread(&preload->capture);
  try {
    preload->loaded = preload->loader->load(preload->fileName.c_str());
    // The demo's own scene is welded here too; a viewed one groups its faces
    // by material first, which needs the device's textures.
    if (preload->loaded && preload->unsupportedIsFatal) {
      Array<SGMesh*> nodes;
      preload->loader->getNodes(nodes);
      for (SGMesh* node : nodes) node->prepareGeometry();
    }
  } catch (const LogCapture::Fatal&) {
    preload->loaded = false;
  }
  logCaptureThisThread(nullptr);
}

}  // namespace

void scenePreloadStart(const char* fileName, bool unsupportedIsFatal) {
  bool ignored;
  if (pending) TRACKED_DELETE(scenePreloadTake(pending->fileName.c_str(), &ignored));
  pending = new Preload;
  pending->fileName = fileName;
  pending->loader = TRACKED_NEW(ASELoader);
  pending->loader->unsupportedIsFatal = unsupportedIsFatal;
  pending->unsupportedIsFatal = unsupportedIsFatal;
  pending->reader = std::thread(readScene, pending);
}

ASELoader* scenePreloadTake(const char* fileName, bool* loaded) {
  if (!pending || pending->fileName != fileName) return nullptr;
  Preload* preload = pending;
  pending = nullptr;
  preload->reader.join();
  ASELoader* loader = preload->loader;
  *loaded = preload->loaded;
  LogCapture capture = std::move(preload->capture);
  delete preload;
  capture.replay();
  return loader;
}
