// Shader pairs and the named constant setters.

#include "RenderTestSupport.h"
#include "platform/d3dx/d3dx9.h"

namespace {

const char* vertexSource =
    "float4x4 matrixTotal;\n"
    "float4 materialDiffuse;\n"
    "struct vsOut { float4 p : POSITION; float2 uv0 : TEXCOORD0; };\n"
    "vsOut main(float3 p : POSITION, float2 uv0 : TEXCOORD0) {\n"
    "  vsOut o;\n"
    "  o.p = mul(matrixTotal, float4(p, 1)) * materialDiffuse.x; o.uv0 = uv0; return o; }\n";

const char* pixelSource =
    "float4 materialDiffuse;\n"
    "float4 tint;\n"
    "sampler s0 : register(s0);\n"
    "float4 main(float2 uv0 : TEXCOORD0) : COLOR { return tex2D(s0, uv0) * materialDiffuse * tint; }\n";

UINT registerOf(ID3DXConstantTable* table, const char* name) {
  D3DXHANDLE handle = table->GetConstantByName(nullptr, name);
  D3DXCONSTANT_DESC desc;
  UINT count = 1;
  table->GetConstantDesc(handle, &desc, &count);
  return desc.RegisterIndex;
}

}  // namespace

TEST_F(RenderDeviceTest, ShaderPairsAndTheirMinusOnePaths) {
  RenderDeviceDX9* d = initDevice();
  size_t from = calls().size();
  EXPECT_EQ(d->createShader(nullptr, nullptr), -1);
  EXPECT_EQ(calls().size(), from);

  int pair = d->createShader(vertexSource, pixelSource);
  int pixelOnly = d->createShader(nullptr, pixelSource);
  EXPECT_EQ((std::pair{pair, pixelOnly}), (std::pair{0, 1}));
  EXPECT_NE(d->shaders[pair].vertexShader, nullptr);
  EXPECT_EQ(d->shaders[pixelOnly].vertexShader, nullptr);
  EXPECT_NE(d->shaders[pixelOnly].pixelShader, nullptr);

  // A shader object the device refuses gives -1 and leaves the table as it
  // was; the shutdown check sees anything of the pair that was kept.
  for (const char* call : {"CreatePixelShader", "CreateVertexShader"}) {
    recordingFailCall(call);
    EXPECT_EQ(d->createShader(vertexSource, pixelSource), -1) << call;
    recordingClearFailures();
  }
  EXPECT_EQ(d->shaders.count, 2u);

  // setShader binds both halves once; a missing half unbinds its stage.
  from = calls().size();
  d->setShader(pair);
  d->setShader(pair);
  d->setShader(pixelOnly);
  EXPECT_EQ(calls().texts(from),
            (std::vector<std::string>{"SetVertexShader(" + recordingName(d->shaders[pair].vertexShader) + ")",
                                      "SetPixelShader(" + recordingName(d->shaders[pair].pixelShader) + ")",
                                      "SetVertexShader(null)",
                                      "SetPixelShader(" + recordingName(d->shaders[pixelOnly].pixelShader) + ")"}));

  // -1 and indices outside the table set nothing.
  from = calls().size();
  d->setShader(-1);
  d->setShader(2);
  float v[4] = {1, 2, 3, 4};
  d->setShaderVector(-1, "tint", v);
  d->setShaderFloat(7, "tint", 1.0f);
  d->releaseShader(-1);
  d->releaseShader(9);
  EXPECT_EQ(calls().size(), from);
  EXPECT_EQ(d->cachedShader(), pixelOnly);

  // A released pair keeps its index with nothing in it.
  d->releaseShader(pixelOnly);
  EXPECT_EQ(d->shaders.count, 2u);
  EXPECT_EQ(d->shaders[pixelOnly].pixelShader, nullptr);
  EXPECT_EQ(d->shaders[pixelOnly].pixelConstants, nullptr);
}

// (A name both stages declare goes to the vertex stage first, then the pixel
// stage, and matrices go up transposed: RenderQueueTest holds both.)
TEST_F(RenderDeviceTest, ConstantsReachWhicheverStageDeclaresThem) {
  RenderDeviceDX9* d = initDevice();
  int pair = d->createShader(vertexSource, pixelSource);
  const ShaderRecord& r = d->shaders[pair];
  UINT tintRegister = registerOf(r.pixelConstants, "tint");
  UINT diffusePs = registerOf(r.pixelConstants, "materialDiffuse");

  // Known to the pixel shader only: one call, to the pixel registers. The
  // pair need not be bound.
  size_t from = calls().size();
  const float tint[4] = {0.25f, 0.5f, 0.75f, 1.0f};
  d->setShaderVector(pair, "tint", tint);
  EXPECT_EQ(calls().count("SetPixelShaderConstantF", from), 1u);
  EXPECT_EQ(calls().count("SetVertexShaderConstantF", from), 0u);
  EXPECT_EQ(recorded()->pixelConstant(tintRegister)[2], 0.75f);

  // Unknown names change nothing.
  const float diffuse[4] = {0.1f, 0.2f, 0.3f, 0.4f};
  from = calls().size();
  d->setShaderVector(pair, "lightPosition", diffuse);
  d->setShaderFloat(pair, "lightCosSpot", 0.5f);
  EXPECT_EQ(calls().size(), from);

  // Names are remembered per shader, but a buffer reused for another name
  // (or for a name the shader lacks) is looked up afresh.
  char name[32];
  std::strcpy(name, "tint");
  d->setShaderVector(pair, name, diffuse);
  EXPECT_EQ(recorded()->pixelConstant(tintRegister)[2], 0.3f);
  std::strcpy(name, "lightCosSpot");
  from = calls().size();
  d->setShaderVector(pair, name, tint);
  EXPECT_EQ(calls().size(), from);
  std::strcpy(name, "materialDiffuse");
  d->setShaderVector(pair, name, tint);
  EXPECT_EQ(recorded()->pixelConstant(diffusePs)[0], 0.25f);
  EXPECT_EQ(recorded()->pixelConstant(tintRegister)[2], 0.3f);
}

TEST_F(RenderDeathTest, ShaderCompileErrorsShowTheCompilersText) {
  initDevice();
  EXPECT_FATAL(device()->createShader(nullptr, "float4 main() : COLOR { return undefinedThing; }"),
               "error: memory\\(1\\): error: 'undefinedThing'");
}
