#pragma once
// The built-in shader table: 14 slots of shader indices (createShader), -1
// for an empty slot, filled once by compileBuiltInShaders when the render
// device initialises (whoever starts the device passes it to
// RenderDeviceDX9::init). The scene draws with slot 4 (depth, the shadow pass)
// and slot 13 (the shadowed spot light of every scene material).

#include <cstdint>

#include "engine/scene/ShaderSources.h"

enum BuiltInShaderSlot {
  SHADER_DEPTH = 4,
  SHADER_LIT_UNTEXTURED = 8,
  SHADER_LIT_TEXTURED = 9,
  SHADER_SPOT_LIGHT_SHADOW = 13,
};

extern int32_t builtInShaders[BUILT_IN_SHADER_SLOTS];

// Fills the table on the process's render device; init's start-up step.
void compileBuiltInShaders();

// The shadowed spot light of the demo's scene with a material's own colour,
// and its diffuse bitmap on sampler 2 when `textured`: the shader pair a
// viewed scene draws with. The shader index (createShader).
int createViewedSceneShader(bool textured);

// Compiles the lit vertex shader with the pixel shader generated for the
// flags (bit 0: untextured); the shader index.
int generateLitPixelShader(int flags);
