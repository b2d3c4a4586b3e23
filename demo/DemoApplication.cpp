#include "demo/DemoApplication.h"

#include <algorithm>
#include <cmath>

#include "engine/Log.h"
#include "engine/Memory.h"
#include "engine/postfx/PostFX.h"
#include "engine/render/RenderDeviceDX9.h"
#include "engine/scene/SGScene.h"
#include "platform/win32/windows.h"

const char* demoSceneFile = "./data/station03.ase";

PostChain* postChain1 = nullptr;
PostChain* postChain2 = nullptr;

namespace {

DemoApplication* instance = nullptr;

int64_t readCounter() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

void releaseChain(PostChain*& chain) {
  if (!chain) return;
  chain->release();
  TRACKED_DELETE(chain);
  chain = nullptr;
}

}  // namespace

DemoApplication::DemoApplication()
    : fileManager(nullptr),
      time(0.0f),
      previousTime(0.0f),
      delta(0.0f),
      startTime(0.0f),
      frequency(0),
      previousElapsed(0),
      elapsed(0),
      startCounter(0),
      total(0.0f),
      scene(nullptr) {
  LARGE_INTEGER counts;
  QueryPerformanceFrequency(&counts);
  frequency = counts.QuadPart;
}

DemoApplication* getDemoApplication() {
  if (!instance) instance = TRACKED_NEW(DemoApplication);
  return instance;
}

void destroyDemoApplication() {
  TRACKED_DELETE(instance);
  instance = nullptr;
}

// The paths use single-precision constants but evaluate in double, storing
// only the results as floats.
D3DXVECTOR3 DemoApplication::cameraPositionAt(float total) {
  const double t = total;
  const double radius = (std::sin(double(0.21f) * t) * double(0.25f) + double(0.9f)) * double(1000.0f);
  const double angle = double(0.15f) * t;
  return D3DXVECTOR3(float(std::cos(angle) * radius), 700.0f, float(std::sin(angle) * radius));
}

D3DXVECTOR3 DemoApplication::lightPositionAt(float total) {
  const double angle = double(0.05f) * double(total);
  return D3DXVECTOR3(float(std::cos(angle) * 1000.0), 750.0f, float(std::sin(angle) * 1000.0));
}

void DemoApplication::init() {
  postChain1 = buildChain1();
  postChain2 = buildChain2();

  total = 0.0f;
  startCounter = readCounter();
  startTime = float(double(startCounter) / double(frequency));

  camera.setProjection(60.0f, getRenderDevice()->settings.aspectRatio, 1.0f, 5500.0f);
  camera.setPosition(D3DXVECTOR3(100.0f, 100.0f, 100.0f));
  camera.setTarget(D3DXVECTOR3(0.0f, 0.0f, 0.0f));

  light.position = D3DXVECTOR3(200.0f, 200.0f, 200.0f);
  light.target = D3DXVECTOR3(0.0f, 20.0f, 0.0f);
  light.coneAngle = 60.0f;
  light.color[0] = light.color[1] = light.color[2] = light.color[3] = 1.0f;
  light.range = 2500.0f;
  light.nearPlane = 2.0f;
  light.defaultDistance = 400.0f;
  light.farPlane = 800.0f;

  // Without its scene the demo has nothing to draw and no box to fit; a
  // viewed scene's failure is logged here and reported by the caller.
  if (!loadScene(demoSceneFile, viewing)) {
    if (!viewing) fatalError("DemoApplication::init: Couldn't load scene '%s'.\n", demoSceneFile);
    logPrintf("Scene: Couldn't open '%s': %s.\n", demoSceneFile, sceneError.c_str());
  }
}

bool DemoApplication::openScene(const char* fileName) { return loadScene(fileName, true); }

bool DemoApplication::loadScene(const char* fileName, bool viewed) {
  SGScene* next = TRACKED_NEW(SGScene);
  next->viewed = viewed;
  next->slide = slide;
  if (!next->load(fileName)) {
    sceneError = next->loadError;
    TRACKED_DELETE(next);
    return false;
  }
  next->createShadowResources();
  if (scene) {
    scene->releaseShadowResources();
    TRACKED_DELETE(scene);
  }
  scene = next;
  scene->camera = &camera;
  scene->light = &light;
  viewing = viewed;
  if (viewing) frameScene();
  return true;
}

void DemoApplication::frameScene() {
  const BoundingBox& box = scene->bounds;
  const D3DXVECTOR3 low(box.minimum[0], box.minimum[1], box.minimum[2]);
  const D3DXVECTOR3 high(box.maximum[0], box.maximum[1], box.maximum[2]);
  const D3DXVECTOR3 half = (high - low) * 0.5f;
  pathCentre = low + half;
  // A scene of one point still gets a camera that can see it.
  sceneRadius = std::max(D3DXVec3Length(&half), 1e-3f);

  // The paths are scaled so that where the camera comes closest, the
  // scene's bounding sphere (with a margin) still fits the narrower of the
  // two fields of view; the light, always farther out, then has it in its
  // cone too.
  const float aspect = getRenderDevice()->settings.aspectRatio;
  const double halfHeight = 30.0 * 0.017453292519943295;
  const double halfWidth = std::atan(double(aspect) * std::tan(halfHeight));
  const double narrowest = std::min(halfHeight, halfWidth);
  pathScale = float(double(sceneRadius) * framingMargin / (std::sin(narrowest) * closestPathDistance));

  camera.setProjection(60.0f, aspect, 1.0f * pathScale, 5500.0f * pathScale);
  light.range = 2500.0f * pathScale;
  light.nearPlane = 2.0f * pathScale;
  light.defaultDistance = 400.0f * pathScale;
  // The shadow map's depth reaches past the far side of the scene.
  light.farPlane = float(lightPathDistance * pathScale + sceneRadius * framingMargin);
}

void DemoApplication::focusOnScene() {
  // Sharpest at the scene's centre as the camera sees it, and little blur
  // anywhere on the scene, wherever the camera (or the free camera) stands.
  D3DXVECTOR3 view = camera.target - camera.eye;
  D3DXVECTOR3 toCentre = pathCentre - camera.eye;
  const float length = D3DXVec3Length(&view);
  float depth = length > 0.0f ? D3DXVec3Dot(&toCentre, &view) / length : D3DXVec3Length(&toCentre);
  scene->setDepthBlurFocus(std::max(depth, camera.nearPlane), 4.0f * sceneRadius);
}

void DemoApplication::handleMessage(const MSG& message) {
  freeCamera.handle(message, camera, place(D3DXVECTOR3(0.0f, 0.0f, 0.0f)), stationRadius * (viewing ? pathScale : 1.0f));
}

void DemoApplication::frame() {
  previousElapsed = elapsed;
  elapsed = readCounter() - startCounter;
  previousTime = time;
  time = float(double(elapsed) / double(frequency));
  delta = time - previousTime;
  total = total + delta;

  camera.setPosition(place(cameraPositionAt(total)));
  camera.setTarget(place(D3DXVECTOR3(0.0f, 0.0f, 0.0f)));
  if (freeCamera.active()) freeCamera.apply(camera, delta);
  light.position = place(lightPositionAt(total));
  // A viewed scene's light aims at its centre, so that its cone holds it.
  light.target = viewing ? pathCentre : D3DXVECTOR3(10.0f, 30.0f, 10.0f);
  if (viewing) focusOnScene();
  if (animate) scene->animate(total);

  RenderDeviceDX9* device = getRenderDevice();
  device->clear(BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL, 0xFF000020u, 0);
  scene->render(total * 10000.0f);
  if (postChain2) postChain2->apply();
  if (postChain1) postChain1->apply();
  overlay.draw(*device, delta);
  device->present();
}

void DemoApplication::shutdown() {
  overlay.shutdown();
  releaseChain(postChain1);
  releaseChain(postChain2);
  if (scene) {
    scene->releaseShadowResources();
    TRACKED_DELETE(scene);
    scene = nullptr;
  }
}
