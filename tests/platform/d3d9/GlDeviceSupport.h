#pragma once
// Fixture for the device tests: a window from the Win32 stand-in on SDL's
// offscreen driver, a device of the implementation under test on it (the
// OpenGL one unless a test names another), HLSL compiled by D3DX, and
// read-back of surfaces as 0xAARRGGBB words (row 0 at the top).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <string>
#include <vector>

#include "platform/d3d9/RecordingDirect3D9.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/gl/GlDirect3D9.h"
#include "platform/d3dx/d3dx9shader.h"
#include "platform/win32/Win32Sdl.h"
#include "platform/win32/windows.h"
#include "support/SurfaceReadback.h"

namespace gltest {

inline int red(uint32_t c) { return int((c >> 16) & 0xFF); }
inline int green(uint32_t c) { return int((c >> 8) & 0xFF); }
inline int blue(uint32_t c) { return int(c & 0xFF); }

// A pre-transformed vertex: position in pixels, rhw, colour, coordinates.
struct TVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
  float u, v;
};

// A clip-space vertex for the vertex-shader path.
struct CVertex {
  float x, y, z, w;
  D3DCOLOR colour;
  float u, v;
};

// Colour from the vertex (COLOR0).
inline constexpr const char* kVertexColourPs = "float4 main(float4 c : COLOR0) : COLOR { return c; }";
// Colour from register c0.
inline constexpr const char* kConstantPs = "float4 colour : register(c0);\nfloat4 main() : COLOR { return colour; }";
// Stage-0 texture at TEXCOORD0.
inline constexpr const char* kTexturePs =
    "sampler s0 : register(s0);\nfloat4 main(float2 t : TEXCOORD0) : COLOR { return tex2D(s0, t); }";
// Clip-space positions passed through.
inline constexpr const char* kPassVs =
    "struct O { float4 p : POSITION; float4 c : COLOR0; float2 t : TEXCOORD0; };\n"
    "O main(float4 p : POSITION, float4 c : COLOR0, float2 t : TEXCOORD0) { O o; o.p = p; o.c = c; o.t = t; return o; }";

// Presentation as the engine asks for it: windowed with the copy swap effect
// (anti-aliased or not), fullscreen with discard; a D24S8 depth surface.
inline D3DPRESENT_PARAMETERS presentParameters(UINT width, UINT height, HWND window, bool windowed = true,
                                               D3DMULTISAMPLE_TYPE multisample = D3DMULTISAMPLE_NONE) {
  D3DSWAPEFFECT swap = windowed && multisample == D3DMULTISAMPLE_NONE ? D3DSWAPEFFECT_COPY : D3DSWAPEFFECT_DISCARD;
  return {width, height, D3DFMT_A8R8G8B8, 1, multisample, 0, swap,
          window, windowed, TRUE, D3DFMT_D24S8, 0, 0, D3DPRESENT_INTERVAL_IMMEDIATE};
}

class GlDeviceTest : public ::testing::Test {
protected:
  static constexpr UINT W = 64;
  static constexpr UINT H = 48;

  void SetUp() override { ASSERT_TRUE(open(D3DMULTISAMPLE_NONE, W, H)); }
  void TearDown() override { close(); }

  // A device as the engine creates it. The window is windowWidth x
  // windowHeight when given, else the back buffer's size.
  bool open(D3DMULTISAMPLE_TYPE multisample, UINT width, UINT height, bool windowed = true, int windowWidth = 0,
            int windowHeight = 0) {
    if (std::strcmp(implementation, "recording") == 0) recordingReset();
    if (!d3d9SelectImplementation(implementation)) return false;
    const WNDCLASSA wc = {0, DefWindowProcA, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "GlDeviceTest"};
    RegisterClassA(&wc);
    window = CreateWindowExA(0, "GlDeviceTest", "gl device", windowed ? WS_OVERLAPPEDWINDOW : WS_POPUP | WS_VISIBLE, 0,
                             0, windowWidth ? windowWidth : (int)width, windowHeight ? windowHeight : (int)height,
                             nullptr, nullptr, nullptr, nullptr);
    if (!window) return false;
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d) return false;
    D3DPRESENT_PARAMETERS pp = presentParameters(width, height, window, windowed, multisample);
    if (d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev) != D3D_OK)
      return false;
    auto declaration = [&](BYTE positionUsage, IDirect3DVertexDeclaration9** out) {
      const D3DVERTEXELEMENT9 e[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, positionUsage, 0},
                                     {0, 16, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                     {0, 20, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                     D3DDECL_END()};
      return dev->CreateVertexDeclaration(e, out) == D3D_OK;
    };
    return declaration(D3DDECLUSAGE_POSITIONT, &tDecl) && declaration(D3DDECLUSAGE_POSITION, &cDecl);
  }

  // Releases what the test holds and the device (which must then be gone).
  void releaseDevice() {
    for (IUnknown* o : owned) o->Release();
    owned.clear();
    for (IDirect3DVertexDeclaration9** d : {&tDecl, &cDecl})
      if (*d) (*d)->Release(), *d = nullptr;
    EXPECT_EQ(dev ? dev->Release() : 0u, 0u);
    dev = nullptr;
  }

  void close() {
    releaseDevice();
    if (d3d) d3d->Release();
    d3d = nullptr;
    if (window) DestroyWindow(window);
    window = nullptr;
    if (std::strcmp(implementation, "recording") == 0) {
      EXPECT_EQ(recordingLiveObjects(), 0) << recordingLiveObjectList();
    }
    d3d9SelectImplementation(nullptr);
  }

  template <typename T>
  T* keep(T* object) {
    if (object) owned.push_back(object);
    return object;
  }

  // An object made through its out-pointer, which must succeed.
  template <typename T, typename Make>
  T* made(Make make) {
    T* object = nullptr;
    EXPECT_EQ(make(&object), D3D_OK);
    return keep(object);
  }

  // HLSL compiled as the engine compiles it, the code kept with the test's objects.
  const DWORD* function(const char* hlsl, const char* profile) {
    ID3DXBuffer *code = nullptr, *errors = nullptr;
    HRESULT hr = D3DXCompileShader(hlsl, (UINT)std::strlen(hlsl), nullptr, nullptr, "main", profile,
                                   D3DXSHADER_PACKMATRIX_COLUMNMAJOR, &code, &errors, nullptr);
    EXPECT_EQ(hr, D3D_OK) << (errors ? (const char*)errors->GetBufferPointer() : "");
    if (errors) errors->Release();
    return keep(code) ? (const DWORD*)code->GetBufferPointer() : nullptr;
  }
  IDirect3DVertexShader9* vertexShader(const char* hlsl) {
    return made<IDirect3DVertexShader9>([&](auto** s) { return dev->CreateVertexShader(function(hlsl, "vs_3_0"), s); });
  }
  IDirect3DPixelShader9* pixelShader(const char* hlsl) {
    return made<IDirect3DPixelShader9>([&](auto** s) { return dev->CreatePixelShader(function(hlsl, "ps_3_0"), s); });
  }

  // A managed texture of one level filled with the given bytes, row by row.
  IDirect3DTexture9* rawTexture(UINT width, UINT height, D3DFORMAT format, const void* bytes, UINT rowBytes,
                                UINT rows) {
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(dev->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
    D3DLOCKED_RECT lr;
    const bool locked = t && t->LockRect(0, &lr, nullptr, 0) == D3D_OK;
    EXPECT_TRUE(locked);
    for (UINT y = 0; locked && y < rows; ++y)
      std::memcpy((uint8_t*)lr.pBits + y * lr.Pitch, (const uint8_t*)bytes + y * rowBytes, rowBytes);
    EXPECT_EQ(locked ? t->UnlockRect(0) : D3D_OK, D3D_OK);
    return keep(t);
  }

  // Managed buffers holding `data` (when given), written through a lock.
  IDirect3DVertexBuffer9* vertexBuffer(UINT bytes, const void* data = nullptr, D3DPOOL pool = D3DPOOL_MANAGED) {
    IDirect3DVertexBuffer9* b = nullptr;
    EXPECT_EQ(dev->CreateVertexBuffer(bytes, 0, 0, pool, &b, nullptr), D3D_OK);
    return fill(keep(b), data, bytes);
  }
  IDirect3DIndexBuffer9* indexBuffer(UINT bytes, const void* data, D3DFORMAT format = D3DFMT_INDEX16) {
    IDirect3DIndexBuffer9* b = nullptr;
    EXPECT_EQ(dev->CreateIndexBuffer(bytes, 0, format, D3DPOOL_MANAGED, &b, nullptr), D3D_OK);
    return fill(keep(b), data, bytes);
  }
  template <typename Buffer>
  Buffer* fill(Buffer* b, const void* data, UINT bytes) {
    void* p = nullptr;
    if (b && data && b->Lock(0, 0, &p, 0) == D3D_OK) {
      std::memcpy(p, data, bytes);
      EXPECT_EQ(b->Unlock(), D3D_OK);
    }
    return b;
  }

  // A managed A8R8G8B8 texture with the given 0xAARRGGBB texels.
  IDirect3DTexture9* texture(UINT width, UINT height, const std::vector<uint32_t>& texels) {
    return rawTexture(width, height, D3DFMT_A8R8G8B8, texels.data(), width * 4, height);
  }

  IDirect3DTexture9* renderTexture(UINT width, UINT height, D3DFORMAT format) {
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(dev->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &t, nullptr), D3D_OK);
    return keep(t);
  }

  IDirect3DSurface9* backBuffer() {
    return made<IDirect3DSurface9>([&](auto** b) { return dev->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, b); });
  }

  IDirect3DSurface9* level0(IDirect3DTexture9* t) {
    return made<IDirect3DSurface9>([&](auto** s) { return t->GetSurfaceLevel(0, s); });
  }

  // The pixels of a render target (not a multisampled one) through GetRenderTargetData.
  template <typename T = uint32_t>
  std::vector<T> read(IDirect3DSurface9* surface) {
    D3DSURFACE_DESC d;
    surface->GetDesc(&d);
    SurfacePixels pixels = readSurface(dev, surface, sizeof(T));
    EXPECT_EQ(pixels.bytes.size(), size_t(d.Width) * d.Height * sizeof(T));
    std::vector<T> out(pixels.bytes.size() / sizeof(T));
    if (!out.empty()) std::memcpy(out.data(), pixels.bytes.data(), pixels.bytes.size());
    return out;
  }

  std::vector<uint32_t> readBack() { return read(backBuffer()); }

  // The back buffer's pixels at the given (x, y) points.
  std::vector<uint32_t> pixelsAt(std::initializer_list<std::pair<UINT, UINT>> points) {
    std::vector<uint32_t> px = readBack(), out;
    for (auto [x, y] : points) out.push_back(px[size_t(y) * W + x]);
    return out;
  }

  // A pre-transformed quad from (x0, y0) to (x1, y1) as a strip of two
  // triangles, texture coordinates u0..u1, v0..v1.
  void quad(float x0, float y0, float x1, float y1, float z, D3DCOLOR colour, float u0 = 0, float v0 = 0,
            float u1 = 1, float v1 = 1) {
    TVertex v[4] = {{x0, y1, z, 1, colour, u0, v1},
                    {x0, y0, z, 1, colour, u0, v0},
                    {x1, y1, z, 1, colour, u1, v1},
                    {x1, y0, z, 1, colour, u1, v0}};
    ASSERT_EQ(dev->SetVertexDeclaration(tDecl), D3D_OK);
    ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TVertex)), D3D_OK);
  }

  // The quad that covers a width x height target exactly.
  void fullQuad(UINT width, UINT height, D3DCOLOR colour, float z = 0.0f) {
    quad(-0.5f, -0.5f, width - 0.5f, height - 0.5f, z, colour);
  }

  // A whole scene of one full-target quad.
  void drawFull(D3DCOLOR colour = 0, float z = 0.0f, UINT width = W, UINT height = H) {
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    fullQuad(width, height, colour, z);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
  }

  // A whole scene of one user-pointer draw.
  template <typename V>
  void drawScene(D3DPRIMITIVETYPE type, UINT primitives, const V* vertices) {
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    ASSERT_EQ(dev->DrawPrimitiveUP(type, primitives, vertices, sizeof(V)), D3D_OK);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
  }

  // Render states, each one accepted.
  void states(std::initializer_list<std::pair<D3DRENDERSTATETYPE, DWORD>> list) {
    for (auto [state, value] : list) ASSERT_EQ(dev->SetRenderState(state, value), D3D_OK) << state;
  }

  void filter(D3DTEXTUREFILTERTYPE f) {
    ASSERT_EQ(dev->SetSamplerState(0, D3DSAMP_MINFILTER, f), D3D_OK);
    ASSERT_EQ(dev->SetSamplerState(0, D3DSAMP_MAGFILTER, f), D3D_OK);
  }

  void setConstant(float r, float g, float b, float a) {
    const float c[4] = {r, g, b, a};
    ASSERT_EQ(dev->SetPixelShaderConstantF(0, c, 1), D3D_OK);
  }

  const char* implementation = "gl";
  HWND window = nullptr;
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* dev = nullptr;
  IDirect3DVertexDeclaration9* tDecl = nullptr;
  IDirect3DVertexDeclaration9* cDecl = nullptr;
  std::vector<IUnknown*> owned;
};

}  // namespace gltest
