// The compiler's contract beyond the shader set: errors with line numbers,
// profiles, register assignment, semantics, and blobs that devices accept
// (and malformed ones they refuse). Features no caller uses (defines,
// includes, row-major packing, a length short of the text) are left untested.

#include "support/D3DXTestSupport.h"

#include "platform/d3dx/ShaderCompiler.h"

#include <tuple>
#include <vector>

TEST(ShaderCompiler, SyntaxErrorGivesTheCompilerTextWithItsLine) {
  const char* src = "float4 materialDiffuse;\nfloat4 main() : COLOR {\n\treturn materialDiffuse +;\n}\n";
  Compiled bad(src, "ps_3_0");
  EXPECT_EQ(bad.hr, E_FAIL);
  EXPECT_TRUE(!bad.code && !bad.table);
  EXPECT_NE(bad.messages.find("memory(3): error:"), std::string::npos) << bad.messages;

  Compiled undeclared("float4 main() : COLOR {\n\n\n\treturn nothing;\n}\n", "ps_3_0");
  EXPECT_EQ(undeclared.hr, E_FAIL);
  EXPECT_NE(undeclared.messages.find("memory(4): error:"), std::string::npos) << undeclared.messages;
  EXPECT_NE(undeclared.messages.find("nothing"), std::string::npos) << undeclared.messages;
}

TEST(ShaderCompiler, ProfilesAndArguments) {
  const char* ps = "float4 main() : COLOR { return 1; }";
  EXPECT_EQ(Compiled(ps, "ps_1_4").hr, D3DERR_INVALIDCALL);
  EXPECT_EQ(Compiled(ps, "bogus").hr, D3DERR_INVALIDCALL);
  Compiled two(ps, "ps_2_0"), vs("float4 main(float4 p : POSITION) : POSITION { return p; }", "vs_3_0");
  ASSERT_TRUE(two.parsed && vs.parsed);
  EXPECT_EQ(std::pair(two.view.header->version, vs.view.header->version),
            std::pair(DWORD(D3DPS_VERSION(2, 0)), DWORD(D3DVS_VERSION(3, 0))));
  EXPECT_EQ(D3DXCompileShader(nullptr, 0, nullptr, nullptr, "main", "ps_3_0", 0, nullptr, nullptr, nullptr),
            D3DERR_INVALIDCALL);
}

TEST(ShaderCompiler, RegistersFollowDeclarationOrderAndExplicitBindings) {
  // Bindings are the compiler's, not the text's: none in comments or
  // disabled blocks, and those made by macros.
  const char* src =
      "// a : register(c9)\nfloat4 a;\n#if 0\nfloat b : register(c11);\n#else\nfloat b;\n#endif\nfloat4x4 m;\n"
      "#define FIXED register(c2)\nfloat4 fixedOne : FIXED;\nfloat2 arr[3];\nfloat4x3 tall;\n"
      "float4 main(float4 p : POSITION) : POSITION {\n"
      " return a + b + mul(m, p) + fixedOne + arr[2].xyxy + mul(tall, p.xyz); }\n";
  Compiled c(src, "vs_3_0");
  ASSERT_EQ(c.hr, S_OK) << c.messages;
  // First register and register count of each; a 4-row, 3-column matrix
  // packed by columns takes 3 registers.
  for (auto [name, index, count] : {std::tuple{"a", 0u, 1u}, {"b", 1u, 1u}, {"fixedOne", 2u, 1u}, {"m", 3u, 4u},
                                    {"arr", 7u, 3u}, {"tall", 10u, 3u}}) {
    ASSERT_NE(c.constant(name), nullptr) << name;
    EXPECT_EQ((std::pair{c.constant(name)->registerIndex, c.constant(name)->registerCount}), (std::pair{index, count}))
        << name;
  }
  EXPECT_EQ(c.constant("arr")->elements, 3u);
  EXPECT_EQ((std::pair{c.constant("tall")->rows, c.constant("tall")->columns}), (std::pair{4u, 3u}));
  EXPECT_EQ(c.view.header->registerCount, 13u);

  // A binding inside a register is refused, not rounded down.
  EXPECT_EQ(Compiled("float2 k : packoffset(c1.y);\nfloat4 main() : COLOR { return k.xyxy; }", "ps_3_0").hr, E_FAIL);
}

TEST(ShaderCompiler, InputsTakeFixedLocationsAndWhatDirect3D9CannotExpressIsRefused) {
  Compiled vs(
      "struct O { float4 p : POSITION; float4 c : COLOR0; float2 t : TEXCOORD3; };\n"
      "O main(float3 p : POSITION, float4 c : COLOR0, float2 t : TEXCOORD1, float3 n : NORMAL) {\n"
      " O o; o.p = float4(p + n, 1); o.c = c; o.t = t; return o; }\n",
      "vs_3_0");
  ASSERT_EQ(vs.hr, S_OK) << vs.messages;
  for (DWORD i = 0; i < vs.view.header->inputCount; ++i) {
    const ShaderBlobVarying& in = vs.view.inputs[i];
    EXPECT_EQ((int)in.location, d3d9AttributeLocation(in.usage, in.usageIndex));
  }
  EXPECT_EQ(vs.view.header->inputCount, 4u);
  EXPECT_TRUE(vs.view.header->flags & SHADER_BLOB_FLAG_CLIP_FIXUP);

  // What Direct3D 9 cannot express is refused with a message.
  Compiled intConstant("int count;\nfloat4 main() : COLOR { return count; }", "ps_3_0");
  EXPECT_EQ(intConstant.hr, E_FAIL);
  EXPECT_NE(intConstant.messages.find("'count'"), std::string::npos) << intConstant.messages;
  Compiled tooMany("float4 big[300];\nfloat4 main(float4 p : POSITION) : POSITION { return big[299] * p; }", "vs_3_0");
  EXPECT_EQ(tooMany.hr, E_FAIL);
}

class ShaderBlobOnDevice : public RecordingFixture {};

// (A blob of the other stage is refused in ConformanceTest.CallsOutsideTheRulesAreRefused.)
TEST_F(ShaderBlobOnDevice, DevicesTakeBlobsAndRefuseDamagedOnes) {
  Compiled vs("float4 main(float4 p : POSITION) : POSITION { return p; }", "vs_3_0");
  Compiled ps("float4 main() : COLOR { return 1; }", "ps_3_0");
  IDirect3DVertexShader9* v = nullptr;
  IDirect3DPixelShader9 *p = nullptr, *wrong = nullptr;
  EXPECT_EQ(device->CreateVertexShader(vs.function(), &v), S_OK);
  EXPECT_EQ(device->CreatePixelShader(ps.function(), &p), S_OK);
  UINT size = 0;
  ASSERT_EQ(v->GetFunction(nullptr, &size), S_OK);
  EXPECT_EQ(size, vs.code->GetBufferSize());

  // Every truncation and a damaged offset are refused by the parser.
  // (Each cut is a copy of its own size, so that a read past it is caught.)
  const DWORD* code = ps.function();
  std::vector<DWORD> damaged(code, code + ps.code->GetBufferSize() / 4);
  ShaderBlobView view;
  for (size_t n = 4; n + 4 <= damaged.size() * 4; n += 4)
    EXPECT_FALSE(shaderBlobParse(std::vector<DWORD>(code, code + n / 4).data(), n, &view)) << n;
  reinterpret_cast<ShaderBlobHeader*>(damaged.data())->glslOffset = 0xFFFFFF00u;
  EXPECT_FALSE(shaderBlobParse(damaged.data(), damaged.size() * 4, &view));
  EXPECT_EQ(device->CreatePixelShader(damaged.data(), &wrong), D3DERR_INVALIDCALL);

  v->Release();
  p->Release();
}

TEST_F(ShaderBlobOnDevice, ProfilesFollowTheDeviceCaps) {
  EXPECT_STREQ(D3DXGetVertexShaderProfile(device), "vs_3_0");
  EXPECT_STREQ(D3DXGetPixelShaderProfile(device), "ps_3_0");
  recordingConfig().caps.VertexShaderVersion = D3DVS_VERSION(2, 0);
  recordingConfig().caps.PixelShaderVersion = D3DPS_VERSION(1, 4);
  D3DPRESENT_PARAMETERS pp = rec->presentParameters();
  IDirect3DDevice9* older = nullptr;
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window(), D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &older), S_OK);
  EXPECT_STREQ(D3DXGetVertexShaderProfile(older), "vs_2_0");
  EXPECT_EQ(D3DXGetPixelShaderProfile(older), nullptr);  // ps_1_x is not compiled
  EXPECT_EQ(D3DXGetPixelShaderProfile(nullptr), nullptr);
  older->Release();
}
