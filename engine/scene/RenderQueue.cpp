#include "engine/scene/RenderQueue.h"

#include <cmath>

#include "engine/render/Material.h"
#include "engine/render/RenderDeviceDX9.h"
#include "engine/scene/SGLight.h"

const float renderQueueDofParams[4] = {500.0f, 1000.0f, 1500.0f, 0.79f};

RenderQueue::RenderQueue()
    : clearColor(0xFF000000u), clearFlags(BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL), dofParams(renderQueueDofParams) {}

RenderQueue::~RenderQueue() { reset(); }

void RenderQueue::reset() {
  items.clear();
  lights.clear();
}

void RenderQueue::drawQueue(Material* overrideMaterial) {
  RenderDeviceDX9* device = getRenderDevice();
  D3DXMATRIX viewProjection;
  D3DXMatrixMultiply(&viewProjection, &view, &projection);

  if (clearFlags != 0) device->clear(clearFlags, clearColor, 0);

  for (const RenderItem& item : items) {
    const Material* material = overrideMaterial ? overrideMaterial : item.material;
    if (!material) continue;
    device->setMaterial(material);
    const int shader = material->shader;

    D3DXMATRIX inverse, worldIT, worldView, total;
    if (!D3DXMatrixInverse(&inverse, nullptr, &item.world)) D3DXMatrixIdentity(&inverse);
    D3DXMatrixTranspose(&worldIT, &inverse);
    D3DXMatrixMultiply(&worldView, &item.world, &view);
    D3DXMatrixMultiply(&total, &item.world, &viewProjection);

    device->setShaderMatrix(shader, "matrixWorld", item.world);
    device->setShaderMatrix(shader, "matrixWorldIT", worldIT);
    device->setShaderMatrix(shader, "matrixView", view);
    device->setShaderMatrix(shader, "matrixProj", projection);
    device->setShaderMatrix(shader, "matrixWorldView", worldView);
    device->setShaderMatrix(shader, "matrixTotal", total);
    const float camera[4] = {eyePosition.x, eyePosition.y, eyePosition.z, 1.0f};
    device->setShaderVector(shader, "cameraPosition", camera);
    device->setShaderVector(shader, "dofParams", dofParams);

    if (lights.count != 0) {
      const SGLight* light = lights[0];
      const float position[4] = {light->position.x, light->position.y, light->position.z, 1.0f};
      device->setShaderVector(shader, "lightPosition", position);
      D3DXVECTOR3 axis = light->target - light->position;
      float length = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
      float direction[4] = {0.0f, 0.0f, 0.0f, 1.0f};
      if (length != 0.0f) {
        direction[0] = axis.x / length;
        direction[1] = axis.y / length;
        direction[2] = axis.z / length;
      }
      device->setShaderVector(shader, "lightDirection", direction);
      device->setShaderMatrix(shader, "matrixShadowMap", light->shadowMatrix);
      device->setShaderFloat(shader, "lightInvRangeSq", 1.0f / (light->range * light->range));
      device->setShaderFloat(shader, "lightCosSpot", std::cos(light->coneAngle * 0.017453292f));
    }

    device->draw(item.drawable);
  }
}
