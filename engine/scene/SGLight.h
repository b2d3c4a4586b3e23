#pragma once
// The shadow-casting spot light. Plain public data: the demo places it, the
// scene calls update() each frame before the shadow pass and stores the
// shadow matrix, the render queue reads the rest.

#include "platform/d3dx/d3dx9math.h"

class SGLight {
 public:
  SGLight();

  // view: looking from position to target, up (0, 1, 0). projection: the
  // cone as full vertical field of view, square, nearPlane..farPlane, with
  // m33 and m43 divided by farPlane so that clip z before the divide is the
  // linear depth (0 at nearPlane, 1 at farPlane).
  void update();

  D3DXVECTOR3 position;
  D3DXVECTOR3 target;      // shines from position toward target
  float coneAngle;         // degrees
  float color[4];          // stored only; no shader reads it
  float range;             // attenuation reaches zero here
  D3DXMATRIX view;
  D3DXMATRIX projection;
  float nearPlane;         // shadow projection
  float defaultDistance;   // read only by construction, into range
  float farPlane;          // shadow projection
  D3DXMATRIX shadowMatrix;
};
