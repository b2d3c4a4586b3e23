#pragma once
// The draws of one pass: per item a world matrix, a material and a draw call,
// plus the pass's view, projection, eye position and lights. drawQueue binds
// for every item its material and the named constants the scene shaders read,
// then draws it. Nothing is sorted or culled: items are drawn in the order
// they were added.

#include <cstdint>

#include "engine/Array.h"
#include "platform/d3dx/d3dx9math.h"

class DrawCall;
class Material;
class SGLight;

struct RenderItem {
  DrawCall* drawable = nullptr;  // not owned
  Material* material = nullptr;  // not owned
  D3DXMATRIX world;
};

class RenderQueue {
 public:
  RenderQueue();
  ~RenderQueue();
  RenderQueue(const RenderQueue&) = delete;
  RenderQueue& operator=(const RenderQueue&) = delete;

  // Empties the items and the lights and frees both arrays' storage.
  void reset();

  void setProjection(const D3DXMATRIX& matrix) { projection = matrix; }
  void setView(const D3DXMATRIX& matrix) { view = matrix; }
  void setEyePosition(const D3DXVECTOR3& position) { eyePosition = position; }

  void addItem(RenderItem item) { items.append(item); }
  // Only the first light reaches the shaders.
  void addLight(SGLight* light) { lights.append(light); }

  // Clears when clearFlags is not 0, then draws every item with the override
  // material when one is given, else with the item's own (items without a
  // material are skipped).
  void drawQueue(Material* overrideMaterial);

  Array<RenderItem> items;
  uint32_t clearColor;  // ARGB
  int32_t clearFlags;   // BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL
  D3DXMATRIX view;
  D3DXMATRIX projection;
  D3DXVECTOR3 eyePosition;
  Array<SGLight*> lights;
  // The depth-blur parameters the items get; renderQueueDofParams unless the
  // owner scales them to its scene (borrowed).
  const float* dofParams;
};

// The depth-blur parameters every item gets ("dofParams"): in focus at 1000,
// sharpest blur 500 units nearer, 0.79 from 1395 on.
extern const float renderQueueDofParams[4];
