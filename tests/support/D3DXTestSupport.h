#pragma once
// Shared by the D3DX tests: a recording device and shader compilation.

#include "engine/postfx/PostShaderSources.h"
#include "engine/scene/ShaderSources.h"
#include "platform/d3d9/RecordingDirect3D9.h"
#include "platform/d3d9/ShaderBlob.h"
#include "platform/d3dx/d3dx9.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

// A windowed recording device of the given size, fresh log and configuration.
class RecordingFixture : public ::testing::Test {
public:
  static HWND window() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1000)); }

protected:
  void SetUp() override {
    recordingReset();
    recordingSelect();
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS pp = {64, 48, D3DFMT_A8R8G8B8, 1, D3DMULTISAMPLE_NONE, 0, D3DSWAPEFFECT_COPY,
                                nullptr, TRUE, TRUE, D3DFMT_D24S8, 0, 0, 0};
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window(), D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device), S_OK);
    rec = recordingDevice();
  }
  void TearDown() override {
    if (device) device->Release();
    if (d3d) d3d->Release();
    EXPECT_EQ(recordingLiveObjects(), 0) << recordingLiveObjectList();
    d3d9SelectImplementation(nullptr);
  }
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  RecordingDevice* rec = nullptr;
};

struct Compiled {
  HRESULT hr = E_FAIL;
  std::string messages;
  ID3DXBuffer* code = nullptr;
  ID3DXConstantTable* table = nullptr;
  ShaderBlobView view{};
  bool parsed = false;

  Compiled() = default;
  Compiled(const char* source, const char* profile, DWORD flags = D3DXSHADER_PACKMATRIX_COLUMNMAJOR,
           const D3DXMACRO* defines = nullptr, ID3DXInclude* include = nullptr) {
    ID3DXBuffer* errors = nullptr;
    hr = D3DXCompileShader(source, (UINT)std::strlen(source), defines, include, "main", profile, flags, &code,
                           &errors, &table);
    if (errors) {
      messages = static_cast<const char*>(errors->GetBufferPointer());
      errors->Release();
    }
    parsed = code && shaderBlobParse(code->GetBufferPointer(), code->GetBufferSize(), &view);
  }
  ~Compiled() {
    if (code) code->Release();
    if (table) table->Release();
  }
  Compiled(const Compiled&) = delete;
  Compiled& operator=(const Compiled&) = delete;

  const ShaderBlobConstant* constant(const char* name) const {
    for (DWORD i = 0; parsed && i < view.header->constantCount; ++i)
      if (std::strcmp(view.string(view.constants[i].name), name) == 0) return &view.constants[i];
    return nullptr;
  }
  const ShaderBlobSampler* sampler(const char* name) const {
    for (DWORD i = 0; parsed && i < view.header->samplerCount; ++i)
      if (std::strcmp(view.string(view.samplers[i].name), name) == 0) return &view.samplers[i];
    return nullptr;
  }
  const DWORD* function() const { return static_cast<const DWORD*>(code->GetBufferPointer()); }
};

// Every vertex/pixel pair the system carries, named by its slot.
struct ShaderPair {
  std::string name;
  const char* vs;
  const char* ps;
};

inline std::vector<ShaderPair> shaderSet() {
  static char lit1[LIT_PIXEL_SHADER_BUFFER_SIZE], lit0[LIT_PIXEL_SHADER_BUFFER_SIZE];
  buildLitPixelShaderSource(1, lit1);
  buildLitPixelShaderSource(0, lit0);
  std::vector<ShaderPair> set;
  for (int i = 0; i < 8; ++i)
    set.push_back({"slot " + std::to_string(i), builtInShaderSources[i].vertexShader, builtInShaderSources[i].pixelShader});
  set.push_back({"slot 8", litVS, lit1});
  set.push_back({"slot 9", litVS, lit0});
  set.push_back({"slot 13", spotLightShadowVS, spotLightShadowPS});
  for (int i = 0; i < POST_SHADER_COUNT; ++i) set.push_back({"post " + std::to_string(i), postPassThroughVS, postPixelShaderSources[i]});
  return set;
}
