// The constant table writes the right registers, with D3DX packing, through
// the device's SetVertexShaderConstantF (checked on the recording device's
// register file). Pixel-shader tables and unknown names are held by the
// engine's ShadersTest; reflection no caller uses (descriptions, element
// handles, sampler indices) is left untested.

#include "support/D3DXTestSupport.h"

#include <array>

namespace {

const char* vsSource =
    "float scale;\nfloat2 offsets[4];\nfloat4 colour;\nfloat4x4 matrixTotal;\nfloat4x3 tall;\nfloat4 palette[3];\n"
    "float4 main(float4 p : POSITION) : POSITION {\n"
    " return mul(matrixTotal, p) * scale + offsets[3].xyxy + colour + mul(tall, p.xyz) + palette[2]; }\n";

using Reg = std::array<float, 4>;

Reg four(const float* f) { return {f[0], f[1], f[2], f[3]}; }
Reg vsReg(RecordingDevice* d, UINT r) { return four(d->vertexConstant(r)); }

}  // namespace

class ConstantTable : public RecordingFixture {
protected:
  void SetUp() override {
    RecordingFixture::SetUp();
    vs = std::make_unique<Compiled>(vsSource, "vs_3_0");
    ASSERT_EQ(vs->hr, S_OK) << vs->messages;
    t = vs->table;
  }
  void TearDown() override {
    vs.reset();
    RecordingFixture::TearDown();
  }
  UINT reg(const char* name) { return vs->constant(name)->registerIndex; }

  std::unique_ptr<Compiled> vs;
  ID3DXConstantTable* t = nullptr;
};

TEST_F(ConstantTable, ScalarsVectorsAndArrays) {
  ASSERT_EQ(t->SetFloat(device, t->GetConstantByName(nullptr, "scale"), 2.5f), S_OK);
  EXPECT_EQ(vsReg(rec, reg("scale")), (Reg{2.5f, 0, 0, 0}));

  const float v[4] = {1, 2, 3, 4};
  ASSERT_EQ(t->SetVector(device, "colour", reinterpret_cast<const D3DXVECTOR4*>(v)), S_OK);
  EXPECT_EQ(vsReg(rec, reg("colour")), (Reg{1, 2, 3, 4}));

  // A float2 array takes one register per element, two components each.
  const float pairs[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  size_t mark = recordingLog().size();
  ASSERT_EQ(t->SetFloatArray(device, t->GetConstantByName(nullptr, "offsets"), pairs, 8), S_OK);
  for (UINT i = 0; i < 4; ++i) EXPECT_EQ(vsReg(rec, reg("offsets") + i), (Reg{pairs[2 * i], pairs[2 * i + 1], 0, 0}));
  ASSERT_EQ(recordingLog().count("SetVertexShaderConstantF", mark), 1u);
  EXPECT_EQ(recordingLog().textsOf("SetVertexShaderConstantF", mark)[0],
            "SetVertexShaderConstantF(" + std::to_string(reg("offsets")) + ", [1, 2, 0, 0; 3, 4, 0, 0; 5, 6, 0, 0; 7, 8, 0, 0], 4)");

  // Fewer values write only the registers they reach; more are cut off.
  const float three[3] = {9, 9, 9};
  mark = recordingLog().size();
  t->SetFloatArray(device, "offsets", three, 3);
  EXPECT_EQ(recordingLog().textsOf("SetVertexShaderConstantF", mark)[0],
            "SetVertexShaderConstantF(" + std::to_string(reg("offsets")) + ", [9, 9, 0, 0; 9, 0, 0, 0], 2)");
  float many[64];
  for (int i = 0; i < 64; ++i) many[i] = (float)i;
  mark = recordingLog().size();
  ASSERT_EQ(t->SetFloatArray(device, "palette", many, 64), S_OK);
  EXPECT_EQ(vsReg(rec, reg("palette") + 2), (Reg{8, 9, 10, 11}));
  const std::string last = recordingLog().textsOf("SetVertexShaderConstantF", mark).back();
  EXPECT_EQ(last.substr(last.size() - 4), ", 3)") << last;
}

TEST_F(ConstantTable, MatricesAndTheirTranspose) {
  float m[16];
  for (int i = 0; i < 16; ++i) m[i] = (float)(i + 1);  // row r = (4r+1 .. 4r+4)
  const D3DXMATRIX* mat = reinterpret_cast<const D3DXMATRIX*>(m);
  UINT base = reg("matrixTotal");

  // Column-major packing: register c holds column c of the HLSL matrix, so
  // SetMatrixTranspose (HLSL matrix = M transposed) puts row c of M there.
  ASSERT_EQ(t->SetMatrixTranspose(device, "matrixTotal", mat), S_OK);
  for (UINT r = 0; r < 4; ++r) EXPECT_EQ(vsReg(rec, base + r), (Reg{m[4 * r], m[4 * r + 1], m[4 * r + 2], m[4 * r + 3]}));
  ASSERT_EQ(t->SetMatrix(device, "matrixTotal", mat), S_OK);
  for (UINT c = 0; c < 4; ++c) EXPECT_EQ(vsReg(rec, base + c), (Reg{m[c], m[4 + c], m[8 + c], m[12 + c]}));

  // A 4x3 matrix takes the top-left 4 rows x 3 columns: 3 registers of 4.
  UINT tall = reg("tall");
  size_t mark = recordingLog().size();
  ASSERT_EQ(t->SetMatrix(device, "tall", mat), S_OK);
  EXPECT_EQ(recordingLog().textsOf("SetVertexShaderConstantF", mark).back(),
            "SetVertexShaderConstantF(" + std::to_string(tall) + ", [1, 5, 9, 13; 2, 6, 10, 14; 3, 7, 11, 15], 3)");

  // Vectors are not matrices and the other way round.
  EXPECT_EQ(t->SetMatrix(device, "colour", mat), D3DERR_INVALIDCALL);
  EXPECT_EQ(t->SetVector(device, "matrixTotal", reinterpret_cast<const D3DXVECTOR4*>(m)), D3DERR_INVALIDCALL);
}
