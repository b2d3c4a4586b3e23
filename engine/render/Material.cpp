#include "engine/render/Material.h"

#include <cstring>

#include "engine/Memory.h"

Material::Material() : shader(-1), renderFlags(RF_DEPTH_WRITE | RF_CULL_CCW | RF_FILL_SOLID | RF_BLEND_OFF) {
  for (int stage = 0; stage < MATERIAL_STAGES; ++stage) {
    textures[stage] = -1;
    samplerFlags[stage] = SAMPLER_LINEAR | SAMPLER_MIPMAP | SAMPLER_SRGB;
  }
  const float defaultAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  const float defaultDiffuse[4] = {0.5f, 0.5f, 0.5f, 1.0f};
  const float defaultSpecular[4] = {0.8f, 0.8f, 0.8f, 1.0f};
  std::memcpy(ambient, defaultAmbient, sizeof ambient);
  std::memcpy(diffuse, defaultDiffuse, sizeof diffuse);
  std::memcpy(specular, defaultSpecular, sizeof specular);
  std::memset(statePairs, 0, sizeof statePairs);
  statePairBytes = 0;
}

void Material::destroy() { TRACKED_DELETE(this); }
