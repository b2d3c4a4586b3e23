#include "engine/scene/SGCamera.h"

SGCamera::SGCamera()
    : eye(0.0f, 0.0f, 0.0f),
      target(0.0f, 0.0f, 0.0f),
      up(0.0f, 1.0f, 0.0f),
      fov(45.0f),
      aspect(1.0f),
      nearPlane(1.0f),
      farPlane(1000.0f) {}

void SGCamera::setProjection(float fieldOfView, float aspectRatio, float nearDistance, float farDistance) {
  fov = fieldOfView;
  aspect = aspectRatio;
  nearPlane = nearDistance;
  farPlane = farDistance;
}
