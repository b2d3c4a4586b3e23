// The built-in shader table and its compilation, the render device's last
// start-up step (RenderDeviceDX9::init calls what it is given).

#include <cstring>
#include <string>

#include "engine/render/RenderDeviceDX9.h"
#include "engine/scene/BuiltInShaderTable.h"

int32_t builtInShaders[BUILT_IN_SHADER_SLOTS] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

int generateLitPixelShader(int flags) {
  char source[LIT_PIXEL_SHADER_BUFFER_SIZE];
  buildLitPixelShaderSource(flags, source);
  return getRenderDevice()->createShader(litVS, source);
}

int createViewedSceneShader(bool textured) {
  // The demo's own pixel shader with the base colour multiplied in, so both
  // light a scene alike.
  std::string source = spotLightShadowPS;
  auto replace = [&source](const char* from, const char* to) {
    size_t at = source.find(from);
    if (at != std::string::npos) source.replace(at, std::strlen(from), to);
  };
  replace("sampler projectorSampler : register(s1);\n",
          textured ? "sampler projectorSampler : register(s1);\nsampler baseSampler : register(s2);\n"
                   : "sampler projectorSampler : register(s1);\n");
  replace("\tfloat4 colour;\n", textured ? "\tfloat4 colour;\n\tfloat3 base = tex2D(baseSampler, uv0).rgb * materialDiffuse.rgb;\n"
                                          : "\tfloat4 colour;\n\tfloat3 base = materialDiffuse.rgb;\n");
  replace("projector.rgb * shadowFactor;", "projector.rgb * shadowFactor * base;");
  return getRenderDevice()->createShader(spotLightShadowVS, source.c_str());
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
