#pragma once
// The camera: eye, target and up, with a vertical field of view in degrees.
// The scene builds its view and projection from these each frame (it takes
// the aspect from the device and fits its own far distance).

#include "platform/d3dx/d3dx9math.h"

class SGCamera {
 public:
  SGCamera();

  void setPosition(const D3DXVECTOR3& point) { eye = point; }
  void setTarget(const D3DXVECTOR3& point) { target = point; }
  // Field of view in degrees, vertical.
  void setProjection(float fieldOfView, float aspectRatio, float nearDistance, float farDistance);

  D3DXVECTOR3 getPosition() const { return eye; }
  D3DXVECTOR3 getTarget() const { return target; }
  D3DXVECTOR3 getUp() const { return up; }

  D3DXVECTOR3 eye;
  D3DXVECTOR3 target;
  D3DXVECTOR3 up;
  float fov;  // degrees, vertical
  float aspect;
  float nearPlane;
  float farPlane;
};
