// The built-in shader table and its compilation, the render device's last
// start-up step (RenderDeviceDX9::init calls what it is given).

#include "engine/render/RenderDeviceDX9.h"
#include "engine/scene/BuiltInShaderTable.h"

int32_t builtInShaders[BUILT_IN_SHADER_SLOTS] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

int generateLitPixelShader(int flags) {
  char source[LIT_PIXEL_SHADER_BUFFER_SIZE];
  buildLitPixelShaderSource(flags, source);
  return getRenderDevice()->createShader(litVS, source);
}

void compileBuiltInShaders() {
  for (int32_t& slot : builtInShaders) slot = -1;
  RenderDeviceDX9* device = getRenderDevice();
  for (int slot = 0; slot < 8; ++slot)
    builtInShaders[slot] = device->createShader(builtInShaderSources[slot].vertexShader,
                                                builtInShaderSources[slot].pixelShader);
  builtInShaders[SHADER_LIT_UNTEXTURED] = generateLitPixelShader(LIT_PIXEL_SHADER_UNTEXTURED);
  builtInShaders[SHADER_LIT_TEXTURED] = generateLitPixelShader(0);
  builtInShaders[SHADER_SPOT_LIGHT_SHADOW] = device->createShader(spotLightShadowVS, spotLightShadowPS);
}
