#include "engine/scene/SGLight.h"

SGLight::SGLight()
    : position(0.0f, 0.0f, 0.0f),
      target(0.0f, 0.0f, 0.0f),
      coneAngle(45.0f),
      color{1.0f, 1.0f, 1.0f, 1.0f},
      nearPlane(1.0f),
      defaultDistance(400.0f),
      farPlane(400.0f) {
  range = defaultDistance;
  D3DXMatrixIdentity(&view);
  D3DXMatrixIdentity(&projection);
  D3DXMatrixIdentity(&shadowMatrix);
}

void SGLight::update() {
  D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
  D3DXMatrixLookAtLH(&view, &position, &target, &up);
  D3DXMatrixPerspectiveFovLH(&projection, coneAngle * 0.017453292f, 1.0f, nearPlane, farPlane);
  projection._33 /= farPlane;
  projection._43 /= farPlane;
}
