// Materials, their compiled render states, sampler flags and the state cache.

#include "RenderTestSupport.h"

namespace {

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

class RenderFlagsTest : public RenderDeviceTest {
 protected:
  void SetUp() override {
    RenderDeviceTest::SetUp();
    d = initDevice();
  }
  // Compiles a material of the flags and applies it to a cache that knows no
  // render state; the states it sent, in order.
  std::vector<DWORD> apply(int renderFlags) {
    Material material;
    material.renderFlags = renderFlags;
    material.statePairBytes = 3;  // stale contents must not survive a compile
    d->compileRenderStates(&material);
    d->resetStateCache();
    size_t from = calls().size();
    d->setMaterial(&material);
    std::vector<DWORD> sent;
    for (const std::string& text : calls().textsOf("SetRenderState", from))
      sent.push_back(DWORD(std::stoul(text.substr(std::string("SetRenderState(").size()))));
    return sent;
  }
  // What the device holds for each state.
  std::vector<DWORD> held(std::initializer_list<D3DRENDERSTATETYPE> states) {
    std::vector<DWORD> values;
    for (D3DRENDERSTATETYPE state : states) values.push_back(recorded()->renderState(state));
    return values;
  }
  RenderDeviceDX9* d = nullptr;
};

TEST_F(RenderFlagsTest, EachFieldSetsTheStatesItsNamesSayInFieldOrder) {
  const std::initializer_list<D3DRENDERSTATETYPE> all = {
      D3DRS_ZENABLE, D3DRS_ZWRITEENABLE, D3DRS_ZFUNC, D3DRS_CULLMODE, D3DRS_FILLMODE,
      D3DRS_ALPHABLENDENABLE, D3DRS_BLENDOP, D3DRS_SRCBLEND, D3DRS_DESTBLEND};
  EXPECT_EQ(apply(RF_DEPTH_TEST | RF_CULL_NONE | RF_FILL_WIREFRAME | RF_BLEND_ALPHA), std::vector<DWORD>(all.begin(), all.end()));
  EXPECT_EQ(held(all), (std::vector<DWORD>{D3DZB_TRUE, FALSE, D3DCMP_LESSEQUAL, D3DCULL_NONE, D3DFILL_WIREFRAME, TRUE,
                                          D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA}));
  apply(RF_DEPTH_WRITE | RF_CULL_CW | RF_FILL_SOLID | RF_BLEND_OFF);
  EXPECT_EQ(held({D3DRS_ZENABLE, D3DRS_ZWRITEENABLE, D3DRS_ZFUNC, D3DRS_CULLMODE, D3DRS_FILLMODE, D3DRS_ALPHABLENDENABLE}),
            (std::vector<DWORD>{D3DZB_TRUE, TRUE, D3DCMP_LESS, D3DCULL_CW, D3DFILL_SOLID, FALSE}));
  apply(RF_DEPTH_OFF | RF_CULL_CCW);
  EXPECT_EQ(held({D3DRS_ZENABLE, D3DRS_CULLMODE}), (std::vector<DWORD>{D3DZB_FALSE, D3DCULL_CCW}));

  // A field's values without a name leave its states alone.
  for (int flags : {0, int(RF_FILL_MASK), 2 << 6, 12 << 6, int(RF_BLEND_MASK), 1 << 10})
    EXPECT_TRUE(apply(flags).empty()) << flags;
}

class MaterialTest : public RenderDeviceTest {
 protected:
  void SetUp() override {
    RenderDeviceTest::SetUp();
    TestDir::write("projector.bmp", makeBmp(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
    d = initDevice();
    material.shader = d->createShader(vertexSource, pixelSource);
    material.textures[1] = d->createTexture("projector.bmp");
    d->compileRenderStates(&material);
  }
  RenderDeviceDX9* d = nullptr;
  Material material;
};

// (resetStateCache runs only in init and shutdown: DeviceInitTest's second
// device shows the cache starting afresh.)
TEST_F(MaterialTest, TheSameMaterialTwiceSendsOnlyTheColours) {
  d->beginScene();  // the cache counts start afresh
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
  // ambient (pixel), diffuse (vertex, pixel), specular (pixel)
  EXPECT_EQ(methodsFrom(from), (std::vector<std::string>{"SetPixelShaderConstantF", "SetVertexShaderConstantF",
                                                         "SetPixelShaderConstantF", "SetPixelShaderConstantF"}));
  EXPECT_TRUE(calls().texts(from)[1].find("[0.9, 0.5, 0.5, 1]") != std::string::npos) << calls().texts(from)[1];
  // What the first application sent, the second kept back.
  for (CachedState kind : {CACHED_RENDER_STATE, CACHED_SHADER, CACHED_TEXTURE, CACHED_SAMPLER_FLAGS})
    EXPECT_EQ(d->cacheCounts(kind).skipped, d->cacheCounts(kind).sent) << kind;
  d->endScene();
}

TEST_F(MaterialTest, ATargetBoundOnAStageMakesTheMaterialBindItsTextureAgain) {
  int target = d->createRenderTarget(TEXFMT_A8R8G8B8, 4, 4, 0);
  d->setMaterial(&material);
  d->setRenderTargetTexture(1, target);
  EXPECT_EQ(recorded()->texture(1), d->renderTargets[target].texture);
  d->setMaterial(&material);
  EXPECT_EQ(recorded()->texture(1), d->textures[material.textures[1]].texture);
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
