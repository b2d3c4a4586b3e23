#pragma once
// The root of the scene graph: the mesh nodes and materials of one ASE file,
// the shadow map and depth material of the one spot light, and a render
// queue per pass. Each frame draws every node twice: into the shadow map as
// seen from the light, then from the camera, lit by the light and shadowed
// through the map. The camera and the light belong to the caller, which links
// them in (plain field assignment) before the first frame.

#include <cstdint>

#include "engine/Array.h"
#include "engine/assets/Mesh.h"
#include "engine/scene/RenderQueue.h"
#include "platform/d3dx/d3dx9math.h"

class Material;
class SGCamera;
class SGLight;
class SGMesh;

class SGScene {
 public:
  SGScene();
  // Deletes the nodes, releases the materials and frees the depth range; the
  // shadow resources are released first by releaseShadowResources.
  virtual ~SGScene();
  SGScene(const SGScene&) = delete;
  SGScene& operator=(const SGScene&) = delete;

  // Reads the ASE file: nodes with their geometry, one material per file
  // material, the bounding box. False, with the scene as it was, when the
  // file cannot be read.
  //
  // The demo's own scene (viewed off): every material projects the slide and
  // the file's bitmaps go unused; what the reader cannot read ends the
  // process; one without a drawable mesh loads, with a log line naming the
  // file. A viewed scene (viewed on): each material is drawn in its own
  // colour and with its diffuse bitmap where findSceneBitmap finds one that
  // decodes (a log line names the material and the file otherwise), under the
  // same light; the slide only with slide on. A multi-material's faces take
  // the sub-material their *MESH_MTLID picks (modulo the count, as the
  // exporter means it); a mesh that names no material of the file takes its
  // wireframe colour, else grey (one log line for the file). Viewed scenes
  // are drawn without culling: exports hold one-sided and mirrored meshes
  // that are meant to be seen from both sides. A file the reader refuses, or
  // one without a drawable mesh, fails with the reason in loadError; such a
  // scene is only good for deleting.
  bool load(const char* fileName);
  bool viewed = false;
  bool slide = true;
  char loadError[256] = "";
  // The shadow-map target (R32F, shadowMapSize square, D24S8) and the depth
  // material. Once, after load.
  void createShadowResources();
  void releaseShadowResources();

  // Sets every node to where its tracks have it `seconds` into the file's
  // animation, played at the file's frame speed and looping over its frame
  // range. Nodes without tracks, and files without a range, stay as loaded.
  void animate(double seconds);

  // One frame: both passes. The frame time is the caller's clock (seconds x
  // 10000); nodes are drawn where they stand (as loaded unless animated).
  void render(float frameTime);

  SGLight* light;  // borrowed
  uint32_t clearColor;
  Array<SGMesh*> nodes;         // owned, in file order
  Array<Material*> materials;   // one reference each, in file order
  // A viewed scene's further materials (sub-materials, wireframe colours),
  // one reference each; a part key k >= materials.count draws with
  // partMaterials[k - materials.count].
  Array<Material*> partMaterials;
  SGCamera* camera;             // borrowed
  BoundingBox bounds;
  // The file's animation range and speed (its SCENE block).
  int32_t firstFrame = 0;
  int32_t lastFrame = 0;
  int32_t frameSpeed = 0;
  int32_t ticksPerFrame = 0;
  float boxCorners[8][3];
  RenderQueue shadowQueue;
  RenderQueue mainQueue;
  Material* depthMaterial;  // owned
  int32_t shadowTarget;
  int32_t shadowMapSize;
  float* depthRange;  // near, far of the main pass; replaced every frame
  // Depth blur sharpest at `focus` (view depth), fully blurred `reach`
  // nearer and capped as the demo's own from `reach` farther; the demo's own
  // scene keeps renderQueueDofParams.
  void setDepthBlurFocus(float focus, float reach);
  float depthBlurParams[4];
  // A viewed scene's two shaders (colour only, textured); -1 until needed.
  int32_t viewedShaders[2] = {-1, -1};

 private:
  void storeCorners();
  // Whether the node can be queued: it has geometry and a material.
  bool drawable(const SGMesh* node) const;
  Material* partMaterial(const SGMesh* node, uint32_t part) const;
  Material* newMaterial(const float* ambient, const float* diffuse, const float* specular);
  void viewedMaterial(Material* material, const class ASEMaterial* source, const char* fileName, const char* label);
  // A viewed node's part key for each face (materials made as first met).
  struct ViewedKeys;
  void viewedFaceKeys(const SGMesh* node, ViewedKeys& known, Array<uint32_t>& keys);
  uint32_t addPartMaterial(Material* material);
  int viewedShader(bool textured);
  int whiteTexture();
  void addNodes(RenderQueue& queue);
};

// The file every material projects through the spot light.
extern const char* const sceneProjectorTexture;
