#pragma once
// The state block applied before a draw: render states (precompiled into
// byte pairs by RenderDeviceDX9::compileRenderStates), the shader pair, the
// three material colours and per-stage textures with their sampler flags.
//
// Materials are shared by reference count and free themselves through the
// tracked allocation: create them with TRACKED_NEW(Material) (or keep them as
// static or member objects whose count never reaches 0).

#include <cstdint>

#include "engine/RefCounted.h"

// One word per texture stage; each bit selects a group of sampler states.
enum SamplerFlags : int32_t {
  SAMPLER_LINEAR = 1,   // MIN/MAGFILTER LINEAR (else POINT)
  SAMPLER_MIPMAP = 2,   // MIPFILTER LINEAR (else NONE)
  SAMPLER_CLAMP = 4,    // ADDRESSU/V CLAMP (else WRAP)
  SAMPLER_SRGB = 8,     // SRGBTEXTURE 1 (else 0)
  SAMPLER_WRAP_U = 16,  // render state WRAP0 + stage gets D3DWRAP_U
  SAMPLER_WRAP_V = 32,  // ... and D3DWRAP_V
  SAMPLER_BORDER = 64,  // ADDRESSU/V BORDER with a white border colour (else WRAP)
};

// renderFlags fields: depth in bits 0-1, cull in 2-3, fill in 4-5, blend in 6-9.
// A field's values without a name select nothing: its states are left alone.
enum RenderFlags : int32_t {
  RF_DEPTH_MASK = 3,
  RF_CULL_MASK = 3 << 2,
  RF_FILL_MASK = 3 << 4,
  RF_BLEND_MASK = 15 << 6,
  RF_DEPTH_OFF = 1,          // ZENABLE FALSE
  RF_DEPTH_TEST = 2,         // ZENABLE TRUE, ZWRITEENABLE FALSE, ZFUNC LESSEQUAL
  RF_DEPTH_WRITE = 3,        // ZENABLE TRUE, ZWRITEENABLE TRUE, ZFUNC LESS
  RF_CULL_NONE = 1 << 2,
  RF_CULL_CW = 2 << 2,
  RF_CULL_CCW = 3 << 2,
  RF_FILL_WIREFRAME = 1 << 4,
  RF_FILL_SOLID = 2 << 4,
  RF_BLEND_OFF = 1 << 6,
  RF_BLEND_ALPHA = 3 << 6,        // SRCALPHA, INVSRCALPHA
  RF_BLEND_ALPHA_ADD = 4 << 6,    // SRCALPHA, ONE
  RF_BLEND_ADD = 5 << 6,          // ONE, ONE
  RF_BLEND_MULTIPLY = 6 << 6,     // DESTCOLOR, ZERO
  RF_BLEND_MULTIPLY_SRC = 7 << 6, // ZERO, SRCCOLOR
  RF_BLEND_REVSUBTRACT = 8 << 6,  // REVSUBTRACT ONE, ONE
  RF_BLEND_MAX = 9 << 6,
  RF_BLEND_MIN = 10 << 6,
  RF_BLEND_SCREEN = 11 << 6,      // INVDESTCOLOR, ONE
};

#define MATERIAL_STAGES 8

class Material : public RefCounted {
 public:
  Material();

  int32_t shader;                           // shader index; -1 keeps the bound shader and sets no colours
  int32_t textures[MATERIAL_STAGES];        // texture index per stage; -1 leaves the stage alone
  int32_t samplerFlags[MATERIAL_STAGES];    // SamplerFlags per stage
  int32_t renderFlags;                      // RenderFlags fields
  float ambient[4];                         // "materialAmbient"
  float diffuse[4];                         // "materialDiffuse"
  float specular[4];                        // "materialSpecular"
  uint8_t statePairs[64];                   // compiled (render state, value) byte pairs
  uint8_t statePairBytes;                   // bytes used in statePairs (2 per pair)

 protected:
  void destroy() override;
};
