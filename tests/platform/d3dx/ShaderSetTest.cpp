// Every HLSL source the system carries compiles into blobs whose stages fit
// together. (Which registers the engine's constants land in is checked where
// the engine sets them: the scene's render queue and the post effects; how
// the compiler lays registers out, by ShaderCompilerTest; that blobs carry
// their stage, by ShaderBlobOnDevice.)

#include "support/D3DXTestSupport.h"

#include <vector>

TEST(ShaderSet, EverySourceCompilesForShaderModel3And2) {
  const char* profileSets[][2] = {{"vs_3_0", "ps_3_0"}, {"vs_2_0", "ps_2_0"}};
  for (const ShaderPair& pair : shaderSet()) {
    for (const auto& profiles : profileSets) {
      Compiled vs(pair.vs, profiles[0]);
      Compiled ps(pair.ps, profiles[1]);
      EXPECT_EQ(vs.hr, S_OK) << pair.name << " " << profiles[0] << "\n" << vs.messages;
      EXPECT_EQ(ps.hr, S_OK) << pair.name << " " << profiles[1] << "\n" << ps.messages;
      ASSERT_TRUE(vs.parsed && ps.parsed) << pair.name;
      // Every vertex shader writes gl_Position; every pixel shader one colour.
      EXPECT_NE(std::strstr(vs.view.glsl, "gl_Position ="), nullptr) << pair.name;
      ASSERT_EQ(ps.view.header->outputCount, 1u) << pair.name;
      EXPECT_EQ(ps.view.outputs[0].usage, (DWORD)D3DDECLUSAGE_COLOR);
      // What the pixel shader reads, the vertex shader writes with the same width.
      for (DWORD i = 0; i < ps.view.header->inputCount; ++i) {
        const ShaderBlobVarying& in = ps.view.inputs[i];
        bool written = false;
        for (DWORD o = 0; o < vs.view.header->outputCount; ++o) {
          const ShaderBlobVarying& out = vs.view.outputs[o];
          if (out.usage == in.usage && out.usageIndex == in.usageIndex) {
            written = true;
            EXPECT_EQ(out.components, in.components) << pair.name << " " << ps.view.string(in.glslName);
            EXPECT_STREQ(vs.view.string(out.glslName), ps.view.string(in.glslName));
          }
        }
        EXPECT_TRUE(written) << pair.name << " reads " << ps.view.string(in.glslName);
      }
    }
  }
}

TEST(ShaderSet, GeneratedLitPixelShadersSampleOnlyWhenTextured) {
  char text[LIT_PIXEL_SHADER_BUFFER_SIZE];
  buildLitPixelShaderSource(1, text);
  Compiled untextured(text, "ps_3_0");
  ASSERT_EQ(untextured.hr, S_OK) << untextured.messages;
  EXPECT_EQ(untextured.view.header->samplerCount, 0u);
  buildLitPixelShaderSource(0, text);
  Compiled textured(text, "ps_3_0");
  ASSERT_EQ(textured.hr, S_OK) << textured.messages;
  ASSERT_NE(textured.sampler("s0"), nullptr);
  EXPECT_EQ(textured.sampler("s0")->unit, 0u);
}
