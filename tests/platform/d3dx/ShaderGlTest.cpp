// The compiled shaders drawn by the OpenGL device (Mesa's llvmpipe, no
// display) into a float target: every vertex/pixel pair links, and each
// computes what its HLSL says, against CPU references. Constants reach the
// shaders as the engine passes them: the constant table writes the device's
// registers.

#include "support/D3DXTestSupport.h"
#include "support/GlRenderDeviceTest.h"
#include "support/SurfaceReadback.h"

#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace {

struct Rgba {
  float r, g, b, a;
};

// One compiled pair as device shaders, with its blobs.
struct Program {
  Compiled vs, ps;
  IDirect3DVertexShader9* v = nullptr;
  IDirect3DPixelShader9* p = nullptr;

  Program(IDirect3DDevice9* device, const char* vsSource, const char* psSource)
      : vs(vsSource, "vs_3_0"), ps(psSource, "ps_3_0") {
    if (vs.code) device->CreateVertexShader(vs.function(), &v);
    if (ps.code) device->CreatePixelShader(ps.function(), &p);
  }
  Program(IDirect3DDevice9* device, int slot)
      : Program(device, builtInShaderSources[slot].vertexShader, builtInShaderSources[slot].pixelShader) {}
  ~Program() {
    if (v) v->Release();
    if (p) p->Release();
  }
  std::string log() const { return vs.messages + ps.messages; }
};

// A vertex input: (usage, index) and 4 corners x 4 floats, corners in the
// order top-left, top-right, bottom-left, bottom-right.
struct Attribute {
  BYTE usage, index;
  std::array<float, 16> corners;
};

// What a draw left in its w x h float target, row 0 at the top.
struct Frame {
  int width = 0;
  std::vector<Rgba> pixels;
  Rgba at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Clip-space corners of the whole target and their texture coordinates.
const std::array<float, 16> fullQuad = {-1, 1, 0.5f, 1, 1, 1, 0.5f, 1, -1, -1, 0.5f, 1, 1, -1, 0.5f, 1};
// The same corners on the plane z = 0.
const std::array<float, 16> planeQuad = {-1, 1, 0, 1, 1, 1, 0, 1, -1, -1, 0, 1, 1, -1, 0, 1};
const std::array<float, 16> fullUv = {0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 0};
std::array<float, 16> constant4(float x, float y, float z, float w) { return {x, y, z, w, x, y, z, w, x, y, z, w, x, y, z, w}; }
const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
const float clearValue = 32.0f / 255.0f;  // the targets' clear colour 0x20202020

Attribute position(const std::array<float, 16>& corners = fullQuad) { return {D3DDECLUSAGE_POSITION, 0, corners}; }
Attribute uv(BYTE index = 0) { return {D3DDECLUSAGE_TEXCOORD, index, fullUv}; }
Attribute normal(float z) { return {D3DDECLUSAGE_NORMAL, 0, constant4(0, 0, z, 0)}; }

void expectNear(const Rgba& got, const Rgba& want, float tolerance, const std::string& what) {
  for (float Rgba::*c : {&Rgba::r, &Rgba::g, &Rgba::b, &Rgba::a}) EXPECT_NEAR(got.*c, want.*c, tolerance) << what;
}

float lerp(float a, float b, float t) { return a + (b - a) * t; }

}  // namespace

class ShaderGl : public GlRenderDeviceTest {
protected:
  void SetUp() override {
    GlRenderDeviceTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(start(64, 64));
    d = device->device;
  }
  void TearDown() override {
    for (IDirect3DTexture9* t : textures) t->Release();
    GlRenderDeviceTest::TearDown();
  }

  void set(ID3DXConstantTable* t, const char* name, const std::vector<float>& values) {
    ASSERT_EQ(t->SetFloatArray(d, name, values.data(), (UINT)values.size()), S_OK) << name;
  }
  void setMatrix(ID3DXConstantTable* t, const char* name, const float m[16]) {
    ASSERT_EQ(t->SetMatrixTranspose(d, name, reinterpret_cast<const D3DXMATRIX*>(m)), S_OK) << name;
  }

  // A w x h texture of the format on a stage, point-sampled and clamped.
  void bind(DWORD stage, int w, int h, const void* texels, D3DFORMAT format = D3DFMT_A32B32G32R32F) {
    const size_t row = size_t(w) * (format == D3DFMT_R32F ? 4 : 16);
    IDirect3DTexture9* t = nullptr;
    ASSERT_EQ(d->CreateTexture(UINT(w), UINT(h), 1, 0, format, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
    textures.push_back(t);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < h; ++y)
      std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch),
                  static_cast<const uint8_t*>(texels) + size_t(y) * row, row);
    t->UnlockRect(0);
    d->SetTexture(stage, t);
    for (auto [type, value] : {std::pair{D3DSAMP_ADDRESSU, DWORD(D3DTADDRESS_CLAMP)}, {D3DSAMP_ADDRESSV, DWORD(D3DTADDRESS_CLAMP)},
                               {D3DSAMP_MINFILTER, DWORD(D3DTEXF_POINT)}, {D3DSAMP_MAGFILTER, DWORD(D3DTEXF_POINT)},
                               {D3DSAMP_MIPFILTER, DWORD(D3DTEXF_NONE)}})
      d->SetSamplerState(stage, type, value);
  }

  // The pair's quad over a w x h float target cleared to clearValue.
  Frame draw(const Program& p, int w, int h, const std::vector<Attribute>& attributes) {
    Frame frame;
    IDirect3DTexture9* target = nullptr;
    IDirect3DSurface9 *surface = nullptr, *back = nullptr;
    IDirect3DVertexDeclaration9* declaration = nullptr;
    std::vector<D3DVERTEXELEMENT9> elements;
    const size_t stride = attributes.size() * 4;
    std::vector<float> vertices(4 * stride);
    for (size_t i = 0; i < attributes.size(); ++i) {
      elements.push_back({0, WORD(16 * i), D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, attributes[i].usage, attributes[i].index});
      for (size_t corner = 0; corner < 4; ++corner)
        std::memcpy(&vertices[corner * stride + 4 * i], &attributes[i].corners[4 * corner], 16);
    }
    elements.push_back(D3DDECL_END());
    EXPECT_EQ(d->CreateTexture(UINT(w), UINT(h), 1, D3DUSAGE_RENDERTARGET, D3DFMT_A32B32G32R32F, D3DPOOL_DEFAULT, &target,
                               nullptr), D3D_OK);
    EXPECT_EQ(d->CreateVertexDeclaration(elements.data(), &declaration), D3D_OK);
    if (!target || !declaration || !p.v || !p.p) return frame;
    target->GetSurfaceLevel(0, &surface);
    d->GetRenderTarget(0, &back);
    d->SetRenderTarget(0, surface);
    for (auto [state, value] : {std::pair{D3DRS_ZENABLE, DWORD(D3DZB_FALSE)}, {D3DRS_CULLMODE, DWORD(D3DCULL_NONE)},
                                {D3DRS_ALPHABLENDENABLE, DWORD(FALSE)}, {D3DRS_ALPHATESTENABLE, DWORD(FALSE)}})
      d->SetRenderState(state, value);
    d->SetVertexDeclaration(declaration);
    d->SetVertexShader(p.v);
    d->SetPixelShader(p.p);
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0x20202020, 1.0f, 0);
    d->BeginScene();
    EXPECT_EQ(d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices.data(), UINT(stride * 4)), D3D_OK) << p.log();
    d->EndScene();
    SurfacePixels read = readSurface(d, surface, 16);
    frame.width = read.width;
    frame.pixels.resize(read.bytes.size() / sizeof(Rgba));
    std::memcpy(frame.pixels.data(), read.bytes.data(), read.bytes.size());
    d->SetRenderTarget(0, back);
    for (IUnknown* o : std::initializer_list<IUnknown*>{back, surface, target, declaration}) o->Release();
    return frame;
  }

  IDirect3DDevice9* d = nullptr;
  std::vector<IDirect3DTexture9*> textures;
};

TEST_F(ShaderGl, EveryPairLinks) {
  for (const ShaderPair& pair : shaderSet()) {
    Program p(d, pair.vs, pair.ps);
    ASSERT_TRUE(p.v && p.p) << pair.name << "\n" << p.log();
    EXPECT_EQ(draw(p, 4, 4, {position(), normal(-1), uv(0), uv(1), uv(2)}).pixels.size(), 16u) << pair.name;
  }
}

TEST_F(ShaderGl, BuiltInSlotsDrawWhatTheyDescribe) {
  std::vector<Rgba> texels(4 * 4, Rgba{0.5f, 0.25f, 1.0f, 0.5f}), second(4 * 4, Rgba{0.5f, 0.5f, 0.25f, 1});
  texels[0] = {1, 0, 0, 0.25f};
  bind(0, 4, 4, texels.data());
  bind(1, 4, 4, second.data());
  const std::vector<float> diffuse = {0.5f, 1.0f, 0.25f, 0.75f};
  // Slots 0 to 2: positions scaled and offset by scaleBias, times
  // materialDiffuse: flat, then the texture (opaque for slot 1). Slots 3, 5,
  // 6, 7: world transform (identity) with flat colour, texture, modulate 2x by
  // a second texture, vertex colour; slot 4: the clip-space depth (Direct3D's
  // 0..1: z' = 0.5 z + 0.125 of 0.5) as the colour.
  const float scaleZ[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0.125f, 1};
  const float depth = 0.5f * 0.5f + 0.125f;
  const std::vector<float> quarter = {0.5f, 0.5f, 0.5f, 0.5f}, whole = {1, 1, 0, 0};  // quarter: the top-right one
  struct Case {
    int slot;
    std::vector<float> scaleBias;
    std::vector<Attribute> attributes;
    int x, y;
    Rgba want;
  } cases[] = {{0, quarter, {position()}, 3, 0, {0.5f, 1.0f, 0.25f, 0.75f}},
               {0, quarter, {position()}, 0, 3, {clearValue, clearValue, clearValue, clearValue}},
               {1, whole, {position(), uv()}, 0, 0, {0.5f, 0, 0, 0.75f}},
               {2, whole, {position(), uv()}, 0, 0, {0.5f, 0, 0, 0.25f * 0.75f}},
               {3, {}, {position(), uv(), normal(1)}, 2, 2, {0.5f, 1.0f, 0.25f, 0.75f}},
               {4, {}, {position()}, 1, 2, {depth, depth, depth, depth}},
               {5, {}, {position(), uv()}, 0, 0, {1, 0, 0, 0.25f}},
               {6, {}, {position(), uv(), uv(2)}, 1, 1, {0.5f, 0.25f, 0.5f, 1.0f}},
               {7, {}, {position(), uv(), {D3DDECLUSAGE_COLOR, 0, constant4(0.25f, 0.5f, 0.75f, 1)}}, 3, 3,
                {0.25f, 0.5f, 0.75f, 1}}};
  for (const Case& c : cases) {
    const std::string what = "slot " + std::to_string(c.slot) + ", pixel " + std::to_string(c.y * 4 + c.x);
    Program p(d, c.slot);
    if (!c.scaleBias.empty()) set(p.vs.table, "scaleBias", c.scaleBias);
    if (p.ps.constant("materialDiffuse")) set(p.ps.table, "materialDiffuse", diffuse);
    if (p.vs.constant("matrixTotal")) setMatrix(p.vs.table, "matrixTotal", c.slot == 4 ? scaleZ : identity);
    Frame f = draw(p, 4, 4, c.attributes);
    ASSERT_EQ(f.pixels.size(), 16u) << what;
    expectNear(f.at(c.x, c.y), c.want, 1e-6f, what);
  }
}

TEST_F(ShaderGl, LitShadersFollowBlinnLighting) {
  char source[LIT_PIXEL_SHADER_BUFFER_SIZE];
  buildLitPixelShaderSource(1, source);
  Program p(d, litVS, source);
  for (const char* m : {"matrixTotal", "matrixWorld", "matrixWorldIT"}) setMatrix(p.vs.table, m, identity);
  const float light[3] = {0.5f, 1.0f, -2.0f}, camera[3] = {-1.0f, 0.5f, -3.0f};
  set(p.vs.table, "lightPosition", {light[0], light[1], light[2], 1});
  set(p.vs.table, "cameraPosition", {camera[0], camera[1], camera[2], 1});
  set(p.ps.table, "materialDiffuse", {0.8f, 0.6f, 0.4f, 1});
  set(p.ps.table, "materialSpecular", {0.5f, 0.5f, 0.5f, 1});
  Frame target = draw(p, 8, 8, {position(planeQuad), normal(-1), uv(), uv(2)});
  ASSERT_EQ(target.pixels.size(), 64u);

  // CPU reference: the vertex shader's vectors at the corners, interpolated
  // linearly over the strip's two triangles, then the pixel shader's sums.
  using V3 = std::array<float, 3>;
  auto norm = [](V3 v) {
    float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return V3{v[0] / l, v[1] / l, v[2] / l};
  };
  auto corner = [&](float wx, float wy, bool half) {
    V3 l = norm({light[0] - wx, light[1] - wy, light[2]});
    if (!half) return l;
    V3 c = norm({camera[0] - wx, camera[1] - wy, camera[2]});
    return V3{(l[0] + c[0]) * 0.5f, (l[1] + c[1]) * 0.5f, (l[2] + c[2]) * 0.5f};
  };
  auto interpolate = [&](float s, float t, bool half) {
    V3 tl = corner(-1, 1, half), tr = corner(1, 1, half), bl = corner(-1, -1, half), br = corner(1, -1, half);
    V3 out;
    for (int k = 0; k < 3; ++k)
      out[k] = s + t <= 1 ? tl[k] + s * (tr[k] - tl[k]) + t * (bl[k] - tl[k])
                          : br[k] + (1 - s) * (bl[k] - br[k]) + (1 - t) * (tr[k] - br[k]);
    return out;
  };
  for (auto [px, py] : {std::pair{3, 3}, std::pair{6, 1}, std::pair{1, 6}}) {
    // Direct3D 9 samples a pixel at its integer window coordinates.
    float s = px / 8.0f, t = py / 8.0f;
    V3 l = interpolate(s, t, false), h = norm(interpolate(s, t, true));
    float diff = std::clamp(-l[2], 0.0f, 1.0f);  // n = (0, 0, -1)
    float specular = 0.5f * std::pow(std::clamp(-h[2], 0.0f, 1.0f), 64.0f);
    float specAlpha = std::pow(std::clamp(-h[2], 0.0f, 1.0f), 64.0f);  // materialSpecular.a is 1
    expectNear(target.at(px, py), {0.8f * diff + specular, 0.6f * diff + specular, 0.4f * diff + specular, diff + specAlpha}, 1e-3f,
               "lit at " + std::to_string(px) + "," + std::to_string(py));
  }
}

TEST_F(ShaderGl, SpotLightShadowsConeRangeProjectorAndDepthBlur) {
  Program p(d, spotLightShadowVS, spotLightShadowPS);
  const float e = 0.25f / 1024.0f;  // a quarter texel: exercises the bilinear filter
  // Row-vector matrices: shadow uv = (0.5 x + 0.5 + e, 0.5 y + 0.5 + e), light depth 0.5.
  const float shadow[16] = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0, 0, 0.5f + e, 0.5f + e, 0.5f, 1};
  const float view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 750, 1};  // view depth 750
  for (const char* m : {"matrixTotal", "matrixWorld", "matrixWorldIT"}) setMatrix(p.vs.table, m, identity);
  setMatrix(p.vs.table, "matrixShadowMap", shadow);
  setMatrix(p.vs.table, "matrixWorldView", view);
  const float lightPos[3] = {0, 0, -2}, cosSpot = std::cos(25.0f * 3.14159265f / 180.0f), invRangeSq = 1.0f / 16.0f;
  for (ID3DXConstantTable* t : {p.vs.table, p.ps.table}) {
    set(t, "lightPosition", {lightPos[0], lightPos[1], lightPos[2], 1});
    set(t, "lightDirection", {0, 0, 1, 0});
  }
  set(p.vs.table, "lightInvRangeSq", {invRangeSq});
  set(p.ps.table, "lightCosSpot", {cosSpot});
  set(p.ps.table, "dofParams", {500, 1000, 1500, 0.79f});

  // Shadow map 1024 x 1024: stored depth 0.3 left of column 497 (occluded at
  // light depth 0.5), 1.0 from it on. Projector: a colour per half, top/bottom.
  const int S = 1024;
  std::vector<float> depths((size_t)S * S);
  for (int y = 0; y < S; ++y)
    for (int x = 0; x < S; ++x) depths[(size_t)y * S + x] = x < 497 ? 0.3f : 1.0f;
  const Rgba projector[2] = {{1, 0.5f, 0.25f, 1}, {0.5f, 1, 1, 1}};
  bind(0, S, S, depths.data(), D3DFMT_R32F);
  bind(1, 1, 2, projector);

  const int W = 64;
  Frame target = draw(p, W, W, {position(planeQuad), normal(-1), uv()});
  ASSERT_EQ(target.pixels.size(), size_t(W * W));

  // The stored depth is the same down a column: only u matters.
  auto unshadowed = [&](float u) { return 0.5f < (std::clamp(int(std::floor(u * S)), 0, S - 1) < 497 ? 0.3f : 1.0f) + 0.044f; };
  int lit = 0, dark = 0, partial = 0;
  for (int py = 0; py < W; ++py) {
    for (int px = 0; px < W; ++px) {
      float x = float(px) / (W / 2) - 1.0f, y = 1.0f - float(py) / (W / 2);
      float u = 0.5f * x + 0.5f + e, v = 0.5f * y + 0.5f + e;
      // Four taps a texel apart, bilinear between them (depth bias 0.044).
      float fx = u * S - std::floor(u * S);
      float shadowFactor = lerp(float(unshadowed(u)), float(unshadowed(u + 1.0f / S)), fx);
      Rgba proj = projector[v < 0.5f ? 0 : 1];
      float dSq = x * x + y * y + 4.0f;  // to the light at (0, 0, -2)
      // The range falloff is computed per vertex: every corner is at
      // distance squared 1 + 1 + 4 from the light.
      float attn = 2.0f / std::sqrt(dSq) < cosSpot ? 0.0f : 1.0f - 6.0f * invRangeSq;
      // Hemisphere ambient halfway for a sideways normal, plus full diffuse;
      // alpha is the blur amount |(750 - 1000) / 500|.
      const float light[3] = {lerp(0.3f, 0.8f, 0.5f) + 1, lerp(0.2f, 0.9f, 0.5f) + 1, lerp(0.1f, 1.0f, 0.5f) + 1};
      float k = attn * shadowFactor;
      Rgba want = {light[0] * k * proj.r, light[1] * k * proj.g, light[2] * k * proj.b, 0.5f};
      // Interpolated positions differ from the CPU's by rounding; the cone
      // edge may flip a pixel, so compare away from it.
      if (std::fabs(2.0f / std::sqrt(dSq) - cosSpot) < 2e-3f) continue;
      expectNear(target.at(px, py), want, 2e-3f, "spot at " + std::to_string(px) + "," + std::to_string(py));
      lit += attn > 0 && shadowFactor == 1;
      dark += attn > 0 && shadowFactor == 0;
      partial += attn > 0 && shadowFactor > 0 && shadowFactor < 1;
    }
  }
  // The picture has lit, shadowed and filtered pixels inside the cone.
  EXPECT_TRUE(lit > 0 && dark > 0 && partial > 0) << lit << " lit, " << dark << " dark, " << partial << " partial";
}
