// Every HLSL source the system carries compiles, and the reflection names the
// constants, registers and samplers the engine sets.

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
      EXPECT_FALSE(vs.view.isPixelShader());
      EXPECT_TRUE(ps.view.isPixelShader());
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

TEST(ShaderSet, ReflectionNamesWhatTheEngineSets) {
  Compiled down(downsamplePS, "ps_3_0");
  ASSERT_NE(down.constant("sampleOffsets"), nullptr);
  EXPECT_EQ(down.constant("sampleOffsets")->registerCount, 16u);
  EXPECT_EQ(down.constant("sampleOffsets")->columns, 2u);

  Compiled blur(blurPS, "ps_3_0");
  ASSERT_NE(blur.constant("sampleOffsets"), nullptr);
  ASSERT_NE(blur.constant("sampleWeights"), nullptr);
  EXPECT_EQ(blur.constant("sampleOffsets")->registerIndex, 0u);
  EXPECT_EQ(blur.constant("sampleWeights")->registerIndex, 16u);
  EXPECT_EQ(blur.constant("sampleWeights")->registerCount, 16u);
  EXPECT_EQ(blur.view.header->registerCount, 32u);

  Compiled combine(combinePS, "ps_3_0");
  ASSERT_NE(combine.constant("weights"), nullptr);
  EXPECT_EQ(combine.sampler("s0linear")->unit, 0u);
  EXPECT_EQ(combine.sampler("s1linear")->unit, 1u);

  Compiled spotVs(spotLightShadowVS, "vs_3_0");
  for (const char* m : {"matrixTotal", "matrixWorld", "matrixShadowMap", "matrixWorldIT", "matrixWorldView"}) {
    ASSERT_NE(spotVs.constant(m), nullptr) << m;
    EXPECT_EQ(spotVs.constant(m)->registerCount, 4u) << m;
    EXPECT_EQ(spotVs.constant(m)->parameterClass, (DWORD)D3DXPC_MATRIX_COLUMNS) << m;
  }
  ASSERT_NE(spotVs.constant("lightInvRangeSq"), nullptr);
  EXPECT_EQ(spotVs.constant("lightInvRangeSq")->registerCount, 1u);
  EXPECT_EQ(spotVs.constant("lightInvRangeSq")->parameterClass, (DWORD)D3DXPC_SCALAR);
  EXPECT_NE(spotVs.constant("lightPosition"), nullptr);

  Compiled spotPs(spotLightShadowPS, "ps_3_0");
  ASSERT_NE(spotPs.sampler("shadowSampler"), nullptr);
  ASSERT_NE(spotPs.sampler("projectorSampler"), nullptr);
  EXPECT_EQ(spotPs.sampler("shadowSampler")->unit, 0u);
  EXPECT_EQ(spotPs.sampler("projectorSampler")->unit, 1u);
  for (const char* c : {"lightDirection", "lightPosition", "lightCosSpot", "dofParams"})
    EXPECT_NE(spotPs.constant(c), nullptr) << c;

  // Registers never overlap within a shader.
  for (const Compiled* s : {&spotVs, &spotPs, &blur}) {
    std::vector<int> owner(256, -1);
    for (DWORD i = 0; i < s->view.header->constantCount; ++i)
      for (DWORD r = 0; r < s->view.constants[i].registerCount; ++r) {
        DWORD reg = s->view.constants[i].registerIndex + r;
        EXPECT_EQ(owner[reg], -1) << s->view.string(s->view.constants[i].name);
        owner[reg] = (int)i;
      }
  }
}

TEST(ShaderSet, GeneratedLitPixelShaders) {
  char text[LIT_PIXEL_SHADER_BUFFER_SIZE];
  buildLitPixelShaderSource(1, text);
  EXPECT_EQ(std::strstr(text, "sampler s0;\n"), nullptr);
  EXPECT_NE(std::strstr(text, "\tfloat4 baseTex = float4(1,1,1,1);\n"), nullptr);
  Compiled untextured(text, "ps_3_0");
  ASSERT_EQ(untextured.hr, S_OK) << untextured.messages;
  EXPECT_EQ(untextured.view.header->samplerCount, 0u);

  buildLitPixelShaderSource(0, text);
  EXPECT_EQ(std::strncmp(text, "float4 materialDiffuse;\nfloat4 materialSpecular;\nsampler s0;\nfloat4 main(", 71), 0);
  Compiled textured(text, "ps_3_0");
  ASSERT_EQ(textured.hr, S_OK) << textured.messages;
  ASSERT_NE(textured.sampler("s0"), nullptr);
  EXPECT_EQ(textured.sampler("s0")->unit, 0u);
  EXPECT_NE(textured.constant("materialSpecular"), nullptr);
}
