// Materials, their compiled render states, sampler flags and the state cache.

#include "RenderTestSupport.h"
#include "engine/files/FileManager.h"

namespace {

std::vector<int> pairsOf(int renderFlags) {
  Material material;
  material.renderFlags = renderFlags;
  material.statePairBytes = 3;  // stale contents must not survive a compile
  getRenderDevice()->compileRenderStates(&material);
  return std::vector<int>(material.statePairs, material.statePairs + material.statePairBytes);
}

const char* vertexSource =
    "float4x4 matrixTotal;\n"
    "float4 materialDiffuse;\n"
    "float4 main(float3 p : POSITION) : POSITION { return mul(matrixTotal, float4(p, 1)) * materialDiffuse.x; }\n";
const char* pixelSource =
    "float4 materialAmbient;\n"
    "float4 materialDiffuse;\n"
    "float4 materialSpecular;\n"
    "sampler s1 : register(s1);\n"
    "float4 main(float2 uv : TEXCOORD0) : COLOR {\n"
    "  return tex2D(s1, uv) * materialDiffuse + materialAmbient + materialSpecular; }\n";

}  // namespace

TEST(MaterialStates, EveryRenderFlagsGroupCompilesToItsPairs) {
  struct Case {
    int flags;
    std::vector<int> pairs;
  };
  const Case cases[] = {
      {0, {}},
      // depth
      {1, {7, 0}},
      {2, {7, 1, 14, 0, 23, 4}},
      {3, {7, 1, 14, 1, 23, 2}},
      // cull
      {4, {22, 1}},
      {8, {22, 2}},
      {12, {22, 3}},
      // fill; 3 selects nothing
      {16, {8, 2}},
      {32, {8, 3}},
      {48, {}},
      // blend: enable, op, source, destination
      {64, {27, 0}},
      {128, {}},
      {192, {27, 1, 171, 1, 19, 5, 20, 6}},
      {256, {27, 1, 171, 1, 19, 5, 20, 2}},
      {320, {27, 1, 171, 1, 19, 2, 20, 2}},
      {384, {27, 1, 171, 1, 19, 9, 20, 1}},
      {448, {27, 1, 171, 1, 19, 1, 20, 3}},
      {512, {27, 1, 171, 3, 19, 2, 20, 2}},
      {576, {27, 1, 171, 5, 19, 2, 20, 2}},
      {640, {27, 1, 171, 4, 19, 2, 20, 2}},
      {704, {27, 1, 171, 1, 19, 10, 20, 2}},
      {768, {}},
      {960, {}},
      // groups in the order depth, cull, fill, blend
      {111, {7, 1, 14, 1, 23, 2, 22, 3, 8, 3, 27, 0}},
      {101, {7, 0, 22, 1, 8, 3, 27, 0}},
      {3 | 12 | 32 | 192, {7, 1, 14, 1, 23, 2, 22, 3, 8, 3, 27, 1, 171, 1, 19, 5, 20, 6}},
      // bits above the blend field select nothing
      {1024 | 1, {7, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(pairsOf(c.flags), c.pairs) << "renderFlags " << c.flags;
  EXPECT_EQ(Material().renderFlags, 111);
}

class MaterialTest : public RenderDeviceTest {
 protected:
  void SetUp() override {
    RenderDeviceTest::SetUp();
    files.setRoot("");
    getRenderDevice()->fileManager = &files;
    TestDir::write("projector.bmp", makeBmp(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
    d = initDevice();
    material.shader = d->createShader(vertexSource, pixelSource);
    material.textures[1] = d->createTexture("projector.bmp");
    d->compileRenderStates(&material);
  }
  FileManagerOS files;
  RenderDeviceDX9* d = nullptr;
  Material material;
};

TEST_F(MaterialTest, TheSameMaterialTwiceSendsOnlyTheColours) {
  size_t from = calls().size();
  d->setMaterial(&material);
  EXPECT_EQ(calls().count("SetRenderState", from), 6u);
  EXPECT_EQ(calls().count("SetVertexShader", from), 1u);
  EXPECT_EQ(calls().count("SetPixelShader", from), 1u);
  // Stage 1 goes from the cached 3 to 11: only sRGB reads change.
  EXPECT_EQ(calls().textsOf("SetSamplerState", from), std::vector<std::string>{"SetSamplerState(1, 11, 1)"});
  EXPECT_EQ(calls().textsOf("SetTexture", from),
            std::vector<std::string>{"SetTexture(1, " + recordingName(d->textures[0].texture) + ")"});
  EXPECT_EQ(recorded()->renderState(D3DRS_ZFUNC), DWORD(D3DCMP_LESS));
  EXPECT_EQ(recorded()->renderState(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));

  from = calls().size();
  material.diffuse[0] = 0.9f;  // colours are not cached: a change shows at once
  d->setMaterial(&material);
  std::vector<std::string> methods;
  for (size_t i = from; i < calls().size(); ++i) methods.push_back(calls().calls()[i].method);
  // ambient (pixel), diffuse (vertex, pixel), specular (pixel)
  EXPECT_EQ(methods, (std::vector<std::string>{"SetPixelShaderConstantF", "SetVertexShaderConstantF",
                                               "SetPixelShaderConstantF", "SetPixelShaderConstantF"}));
  EXPECT_TRUE(calls().texts(from)[1].find("[0.9, 0.5, 0.5, 1]") != std::string::npos) << calls().texts(from)[1];
}

TEST_F(MaterialTest, MaterialWithoutShaderKeepsTheBoundOneAndSetsNoColours) {
  d->setMaterial(&material);
  Material plain;
  plain.renderFlags = 101;
  d->compileRenderStates(&plain);
  size_t from = calls().size();
  d->setMaterial(&plain);
  // Only the pairs that differ from the cache: ZENABLE and CULLMODE.
  EXPECT_EQ(calls().texts(from), (std::vector<std::string>{"SetRenderState(7, 0)", "SetRenderState(22, 1)"}));
  EXPECT_EQ(d->currentShader, material.shader);
}

TEST_F(MaterialTest, ResetStateCacheMakesTheNextMaterialSendEverything) {
  d->setMaterial(&material);
  d->resetStateCache();
  EXPECT_EQ(d->currentFormat, uint32_t(VERTEXFORMAT_DEFAULT));
  EXPECT_EQ(d->currentStream, nullptr);
  size_t from = calls().size();
  d->setMaterial(&material);
  EXPECT_EQ(calls().count("SetRenderState", from), 6u);
  EXPECT_EQ(calls().count("SetVertexShader", from), 1u);
  EXPECT_EQ(calls().count("SetTexture", from), 1u);
  // The reset put stage 1 back to flags 3, so sRGB reads are sent again.
  EXPECT_EQ(calls().textsOf("SetSamplerState", from), std::vector<std::string>{"SetSamplerState(1, 11, 1)"});
}

TEST_F(RenderDeviceTest, SamplerFlagGroupsAreSentOnlyWhenTheyChange) {
  RenderDeviceDX9* d = initDevice();
  struct Step {
    int stage;
    int flags;
    std::vector<std::string> calls;
  };
  const Step steps[] = {
      {0, 3, {}},
      {0, 7, {"SetSamplerState(0, 1, 3)", "SetSamplerState(0, 2, 3)"}},
      {0, 71, {"SetSamplerState(0, 1, 4)", "SetSamplerState(0, 2, 4)", "SetSamplerState(0, 4, 0xffffffff)"}},
      // Dropping the border falls back to the clamping that is still asked for.
      {0, 7, {"SetSamplerState(0, 1, 3)", "SetSamplerState(0, 2, 3)"}},
      {0, 59,
       {"SetSamplerState(0, 1, 1)", "SetSamplerState(0, 2, 1)", "SetSamplerState(0, 11, 1)", "SetRenderState(128, 3)"}},
      {0, 0,
       {"SetSamplerState(0, 6, 1)", "SetSamplerState(0, 5, 1)", "SetSamplerState(0, 7, 0)", "SetSamplerState(0, 11, 0)",
        "SetRenderState(128, 0)"}},
      {3, 16 | 3, {"SetRenderState(131, 1)"}},
      {3, 3, {"SetRenderState(131, 0)"}},
      // Stage 1 of the scene material, then the post-processing flags.
      {1, 67, {"SetSamplerState(1, 1, 4)", "SetSamplerState(1, 2, 4)", "SetSamplerState(1, 4, 0xffffffff)"}},
      {1, 5,
       {"SetSamplerState(1, 7, 0)", "SetSamplerState(1, 1, 3)", "SetSamplerState(1, 2, 3)", "SetSamplerState(1, 1, 3)",
        "SetSamplerState(1, 2, 3)"}},
  };
  for (const Step& step : steps) {
    size_t from = calls().size();
    d->setSamplerFlags(step.stage, step.flags);
    EXPECT_EQ(calls().texts(from), step.calls) << "stage " << step.stage << " flags " << step.flags;
  }
  EXPECT_EQ(recorded()->samplerState(1, D3DSAMP_ADDRESSU), DWORD(D3DTADDRESS_CLAMP));
  EXPECT_EQ(recorded()->samplerState(1, D3DSAMP_MINFILTER), DWORD(D3DTEXF_LINEAR));
  size_t from = calls().size();
  d->setSamplerFlags(8, 0);
  d->setSamplerFlags(-1, 0);
  EXPECT_EQ(calls().size(), from);
}
