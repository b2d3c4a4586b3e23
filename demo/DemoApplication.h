#pragma once
// The object that makes the engine this demo: it owns the timer, the camera,
// the spot light and the scene, builds the two post-processing chains, and
// each frame moves camera and light along their fixed paths, clears, draws
// the scene, applies the chains (2, then 1) and presents.

#include <cstdint>

#include "engine/scene/SGCamera.h"
#include "engine/scene/SGLight.h"

class FileManager;
class PostChain;
class SGScene;

class DemoApplication {
 public:
  // Zero timing, the counter frequency, default camera and light.
  DemoApplication();
  virtual ~DemoApplication() = default;
  DemoApplication(const DemoApplication&) = delete;
  DemoApplication& operator=(const DemoApplication&) = delete;

  // Chains, start counter, camera, light, scene (a scene that cannot be read
  // ends the process), shadow resources.
  virtual void init();
  virtual void frame();
  // Chains released and deleted, shadow resources released, scene deleted.
  // Safe to repeat.
  virtual void shutdown();

  // Camera and light where they stand after `total` seconds.
  static D3DXVECTOR3 cameraPositionAt(float total);
  static D3DXVECTOR3 lightPositionAt(float total);

  FileManager* fileManager;  // borrowed
  bool animate = false;      // play the scene's tracks at the demo's time
  float time;                // seconds since the start counter, this frame
  float previousTime;
  float delta;
  float startTime;  // kept, not used further
  int64_t frequency;
  int64_t previousElapsed;
  int64_t elapsed;  // counts since the start counter
  int64_t startCounter;
  float total;  // sum of the deltas: drives every path
  SGCamera camera;
  SGScene* scene;  // owned
  SGLight light;
};

// The scene file: ./data/station03.ase relative to the working directory,
// unless start-up found the data installed (demoFindData).
extern const char* demoSceneFile;

// The two post-processing chains; process-wide, built by init.
extern PostChain* postChain1;
extern PostChain* postChain2;

// The single instance, created on first use.
DemoApplication* getDemoApplication();
// Frees the instance (start-up does this after shutdown); the next
// getDemoApplication makes a new one.
void destroyDemoApplication();
