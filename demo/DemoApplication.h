#pragma once
// The object that makes the engine this demo: it owns the timer, the camera,
// the spot light and the scene, builds the two post-processing chains, and
// each frame moves camera and light along their fixed paths, clears, draws
// the scene, applies the chains (2, then 1) and presents.
//
// Viewing a scene of one's own (viewing on), the paths are moved to the
// scene's bounding box and scaled so that its bounding sphere stays in the
// picture and in the light at every moment, the light aims at its centre and
// the depth blur focuses on it; its materials show their own colours and
// bitmaps. A free camera (F2) can take over from the path.

#include <cstdint>
#include <string>

#include "demo/FreeCamera.h"
#include "demo/Overlay.h"
#include "engine/scene/SGCamera.h"
#include "engine/scene/SGLight.h"
#include "platform/win32/windows.h"

class FileManager;
class PostChain;
class SGScene;

// Half the diagonal of the station's bounding box: the size the paths were
// made for.
constexpr float stationRadius = 781.6f;
// Where the camera path comes closest to its target (radius 650 at height
// 700) and how far the light path stays (radius 1000 at height 750), in the
// station's units; the room around a viewed scene's bounding sphere.
constexpr double closestPathDistance = 955.2486;
constexpr double lightPathDistance = 1250.0;
constexpr double framingMargin = 1.1;

class DemoApplication {
 public:
  // Zero timing, the counter frequency, default camera and light.
  DemoApplication();
  virtual ~DemoApplication() = default;
  DemoApplication(const DemoApplication&) = delete;
  DemoApplication& operator=(const DemoApplication&) = delete;

  // Chains, start counter, camera, light, scene (the demo's own scene that
  // cannot be read ends the process; a viewed one leaves scene null and the
  // reason in sceneError), shadow resources.
  virtual void init();
  virtual void frame();
  // Chains released and deleted, shadow resources released, scene deleted.
  // Safe to repeat.
  virtual void shutdown();

  // Camera and light where they stand after `total` seconds.
  static D3DXVECTOR3 cameraPositionAt(float total);
  static D3DXVECTOR3 lightPositionAt(float total);

  // Replaces the scene with the file, viewed; false, with the scene as it
  // was and the reason in sceneError, when the file cannot be used.
  bool openScene(const char* fileName);
  // The window's messages as the main loop sees them (the free camera's).
  void handleMessage(const MSG& message);
  Overlay overlay;  // drawn over each frame while shown (F1)

  FileManager* fileManager;  // borrowed
  bool animate = false;      // play the scene's tracks at the demo's time
  bool viewing = false;      // the scene is the user's, not the demo's station
  bool slide = true;         // a viewed scene gets the projected slide
  std::string sceneError;
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
  FreeCamera freeCamera;
  // Where the paths are placed: around pathCentre, pathScale times the size
  // they have around the station (viewed scenes only). sceneRadius: half the
  // diagonal of the viewed scene's box, the radius of its bounding sphere.
  D3DXVECTOR3 pathCentre{0.0f, 0.0f, 0.0f};
  float pathScale = 1.0f;
  float sceneRadius = stationRadius;

 private:
  bool loadScene(const char* fileName, bool viewed);
  void frameScene();
  void focusOnScene();
  D3DXVECTOR3 place(const D3DXVECTOR3& point) const {
    return viewing ? pathCentre + point * pathScale : point;
  }
};


// The scene file: ./data/station03.ase relative to the working directory,
// unless start-up found the data installed (demoFindData), or the file to
// view (--scene).
extern const char* demoSceneFile;

// The two post-processing chains; process-wide, built by init.
extern PostChain* postChain1;
extern PostChain* postChain2;

// The single instance, created on first use.
DemoApplication* getDemoApplication();
// Frees the instance (start-up does this after shutdown); the next
// getDemoApplication makes a new one.
void destroyDemoApplication();
