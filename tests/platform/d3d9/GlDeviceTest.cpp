// The OpenGL Direct3D 9 device on Mesa's llvmpipe (SDL's offscreen driver):
// pixel checks against what Direct3D 9 produces for the same calls.

#include "GlDeviceSupport.h"

#include <cmath>

using namespace gltest;

namespace {

// What its adapter answers is checked by ConformanceTest, on both devices.
TEST(GlDirect3D, IsTheDefault) {
  EXPECT_STREQ(d3d9CurrentImplementation(), "gl");
}

TEST_F(GlDeviceTest, ClearsStayInsideViewportAndRectangles) {
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
  D3DVIEWPORT9 vp = {10, 20, 30, 8, 0.0f, 1.0f};
  ASSERT_EQ(dev->SetViewport(&vp), D3D_OK);
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
  // A rectangle reaching out of the viewport is cut to it.
  D3DRECT r = {0, 0, 12, 22};
  ASSERT_EQ(dev->Clear(1, &r, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
  std::vector<uint32_t> want(W * H, 0xFFFF0000);
  for (UINT y = 20; y < 28; ++y)
    for (UINT x = 10; x < 40; ++x) want[y * W + x] = (x < 12 && y < 22) ? 0xFF0000FF : 0xFF00FF00;
  EXPECT_EQ(readBack(), want);
}

TEST_F(GlDeviceTest, PretransformedQuadCoversEachPixelOnceAndSamplesTexelCentres) {
  // Additive blending shows double coverage (the shared diagonal) or gaps.
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
  states({{D3DRS_ZENABLE, FALSE}, {D3DRS_ALPHABLENDENABLE, TRUE}, {D3DRS_SRCBLEND, D3DBLEND_ONE},
          {D3DRS_DESTBLEND, D3DBLEND_ONE}});
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kVertexColourPs)), D3D_OK);
  drawFull(0x20406080);
  for (uint32_t c : readBack()) ASSERT_EQ(c, 0x20406080u);

  // Every destination pixel reads exactly its own texel with point sampling.
  std::vector<uint32_t> texels(W * H);
  for (UINT y = 0; y < H; ++y)
    for (UINT x = 0; x < W; ++x) texels[y * W + x] = 0xFF000000u | (x * 4) << 16 | (y * 5) << 8 | ((x ^ y) & 0xFF);
  ASSERT_EQ(dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE), D3D_OK);
  ASSERT_EQ(dev->SetTexture(0, texture(W, H, texels)), D3D_OK);
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kTexturePs)), D3D_OK);
  // Pre-transformed vertices bypass a bound vertex shader.
  ASSERT_EQ(dev->SetVertexShader(vertexShader(kPassVs)), D3D_OK);
  drawFull(0xFFFFFFFF);
  EXPECT_EQ(readBack(), texels);
  // Linear filtering at texel centres gives the same picture.
  filter(D3DTEXF_LINEAR);
  drawFull(0xFFFFFFFF);
  EXPECT_EQ(readBack(), texels);
}

TEST_F(GlDeviceTest, PointLinearAndBorderSamplingAtEdges) {
  // 2x1 texture, black then white, stretched over 8 pixels.
  ASSERT_EQ(dev->SetTexture(0, texture(2, 1, {0xFF000000, 0xFFFFFFFF})), D3D_OK);
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kTexturePs)), D3D_OK);
  ASSERT_EQ(dev->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
  // The first row's 8 pixels after a scene of that row with u from u0 to u1.
  auto row = [&](float u0, float u1) {
    EXPECT_EQ(dev->BeginScene(), D3D_OK);
    quad(-0.5f, -0.5f, 7.5f, 0.5f, 0, 0, u0, 0.5f, u1, 0.5f);
    EXPECT_EQ(dev->EndScene(), D3D_OK);
    std::vector<uint32_t> px = readBack();
    return std::vector<uint32_t>(px.begin(), px.begin() + 8);
  };
  const uint32_t border = 0xFF804020, black = 0xFF000000, white = 0xFFFFFFFF;
  ASSERT_EQ(dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP), D3D_OK);
  EXPECT_EQ(row(0, 1), (std::vector<uint32_t>{black, black, black, black, white, white, white, white}));
  // Bilinear: pixel x samples u = (x + 0.5) / 8, i.e. texel coordinate
  // 2u - 0.5, clamped at both ends.
  filter(D3DTEXF_LINEAR);
  std::vector<uint32_t> linear = row(0, 1);
  for (int x = 0; x < 8; ++x) {
    float t = std::fmin(std::fmax(2.0f * (x + 0.5f) / 8.0f - 0.5f, 0.0f), 1.0f);
    EXPECT_NEAR(red(linear[x]), t * 255.0f, 2.0) << x;
  }
  // Border addressing outside 0..1 returns the border colour; wrap repeats.
  filter(D3DTEXF_POINT);
  ASSERT_EQ(dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_BORDER), D3D_OK);
  ASSERT_EQ(dev->SetSamplerState(0, D3DSAMP_BORDERCOLOR, border), D3D_OK);
  EXPECT_EQ(row(-0.5f, 1.5f), (std::vector<uint32_t>{border, border, black, black, white, white, border, border}));
  ASSERT_EQ(dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP), D3D_OK);
  EXPECT_EQ(row(-0.5f, 1.5f), (std::vector<uint32_t>{white, white, black, black, white, white, black, black}));
}

struct BlendCase {
  DWORD op, src, dst;
};

TEST_F(GlDeviceTest, EveryBlendModeOfTheEngine) {
  const BlendCase cases[] = {
      {D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA}, {D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_ONE},
      {D3DBLENDOP_ADD, D3DBLEND_ONE, D3DBLEND_ONE},              {D3DBLENDOP_ADD, D3DBLEND_DESTCOLOR, D3DBLEND_ZERO},
      {D3DBLENDOP_ADD, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR},        {D3DBLENDOP_REVSUBTRACT, D3DBLEND_ONE, D3DBLEND_ONE},
      {D3DBLENDOP_MAX, D3DBLEND_ONE, D3DBLEND_ONE},              {D3DBLENDOP_MIN, D3DBLEND_ONE, D3DBLEND_ONE},
      {D3DBLENDOP_ADD, D3DBLEND_INVDESTCOLOR, D3DBLEND_ONE},     {D3DBLENDOP_SUBTRACT, D3DBLEND_ONE, D3DBLEND_INVSRCALPHA},
      {D3DBLENDOP_ADD, D3DBLEND_BLENDFACTOR, D3DBLEND_ZERO},
  };
  const float s[4] = {0.8f, 0.4f, 0.2f, 0.25f};           // source r, g, b, a
  const float d[4] = {0x40 / 255.0f, 0x80 / 255.0f, 0xC0 / 255.0f, 1.0f};  // destination
  auto factor = [&](DWORD f, int c) -> float {
    switch (f) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return 1;
    case D3DBLEND_SRCCOLOR: return s[c];
    case D3DBLEND_SRCALPHA: return s[3];
    case D3DBLEND_INVSRCALPHA: return 1 - s[3];
    case D3DBLEND_DESTCOLOR: return d[c];
    case D3DBLEND_INVDESTCOLOR: return 1 - d[c];
    case D3DBLEND_BLENDFACTOR: return 1;  // the default factor, white
    default: return -1;
    }
  };
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kConstantPs)), D3D_OK);
  setConstant(s[0], s[1], s[2], s[3]);
  states({{D3DRS_ZENABLE, FALSE}, {D3DRS_ALPHABLENDENABLE, TRUE}});
  for (const BlendCase& b : cases) {
    ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF4080C0, 1.0f, 0), D3D_OK);
    states({{D3DRS_BLENDOP, b.op}, {D3DRS_SRCBLEND, b.src}, {D3DRS_DESTBLEND, b.dst}});
    drawFull();
    uint32_t got = readBack()[H / 2 * W + W / 2];
    int channels[3] = {red(got), green(got), blue(got)};
    for (int c = 0; c < 3; ++c) {
      float a = s[c] * factor(b.src, c), e = d[c] * factor(b.dst, c), want;
      switch (b.op) {
      case D3DBLENDOP_SUBTRACT: want = a - e; break;
      case D3DBLENDOP_REVSUBTRACT: want = e - a; break;
      case D3DBLENDOP_MIN: want = std::fmin(s[c], d[c]); break;
      case D3DBLENDOP_MAX: want = std::fmax(s[c], d[c]); break;
      default: want = a + e; break;
      }
      want = std::fmin(std::fmax(want, 0.0f), 1.0f) * 255.0f;
      EXPECT_NEAR(channels[c], want, 1.5) << "op " << b.op << " src " << b.src << " dst " << b.dst << " channel " << c;
    }
  }
}

TEST_F(GlDeviceTest, FixedFunctionStagesAndMismatchedPairs) {
  ASSERT_EQ(dev->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
  // No pixel shader: diffuse colour times the stage-0 texture.
  drawFull(0xFF8040FF);
  EXPECT_EQ(readBack()[0], 0xFF8040FFu);
  ASSERT_EQ(dev->SetTexture(0, texture(1, 1, {0xFF808080})), D3D_OK);
  drawFull(0xFF8040FF);
  uint32_t c = readBack()[0];
  EXPECT_NEAR(red(c), 64, 1);
  EXPECT_NEAR(blue(c), 128, 1);
  // No vertex shader with untransformed positions: they pass as clip space.
  ASSERT_EQ(dev->SetTexture(0, nullptr), D3D_OK);
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kVertexColourPs)), D3D_OK);
  ASSERT_EQ(dev->SetVertexDeclaration(cDecl), D3D_OK);
  CVertex v[4] = {{-1, -1, 0, 1, 0xFF00FF00, 0, 0}, {-1, 0, 0, 1, 0xFF00FF00, 0, 0},
                  {1, -1, 0, 1, 0xFF00FF00, 0, 0},  {1, 0, 0, 1, 0xFF00FF00, 0, 0}};
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
  drawScene(D3DPT_TRIANGLESTRIP, 2, v);
  // The upper half of clip space stays empty.
  EXPECT_EQ(pixelsAt({{0, 5}, {0, 40}}), (std::vector<uint32_t>{0xFF000000u, 0xFF00FF00u}));
  // A pixel shader reading a coordinate set the vertex shader does not
  // write still draws; the set reads zero.
  ASSERT_EQ(dev->SetVertexShader(vertexShader(kPassVs)), D3D_OK);
  ASSERT_EQ(dev->SetPixelShader(pixelShader("float4 main(float4 c : COLOR0, float2 t : TEXCOORD3) : COLOR "
                                            "{ return c + float4(0, 0, t.x + t.y, 0); }")),
            D3D_OK);
  drawScene(D3DPT_TRIANGLESTRIP, 2, v);
  EXPECT_EQ(readBack()[40 * W], 0xFF00FF00u);
}

// Direct3D 9 puts pixel centres on integer window coordinates for projected
// geometry too: a quad whose corner lands at window (10.25, 20.25) covers
// columns 0..10 and rows 0..20, where GL's half-integer centres would stop a
// pixel short; likewise inside a smaller viewport, through the fixed-function
// stage and a compiled vertex shader alike.
TEST_F(GlDeviceTest, ProjectedGeometryHasDirect3DPixelCentres) {
  states({{D3DRS_ZENABLE, FALSE}, {D3DRS_CULLMODE, D3DCULL_NONE}});
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kVertexColourPs)), D3D_OK);
  IDirect3DVertexShader9* pass = vertexShader(kPassVs);
  for (IDirect3DVertexShader9* stage : {static_cast<IDirect3DVertexShader9*>(nullptr), pass}) {
    for (D3DVIEWPORT9 view : {D3DVIEWPORT9{0, 0, W, H, 0, 1}, D3DVIEWPORT9{16, 8, W / 2, H / 2, 0, 1}}) {
      SCOPED_TRACE(std::string(stage ? "vertex shader" : "fixed function") + ", viewport at " +
                   std::to_string(view.X));
      ASSERT_EQ(dev->SetVertexShader(stage), D3D_OK);
      ASSERT_EQ(dev->SetViewport(&view), D3D_OK);
      ASSERT_EQ(dev->SetVertexDeclaration(cDecl), D3D_OK);
      // The corner at 10.25 and 20.25 pixels of the full target, scaled to the viewport.
      const float s = float(view.Width) / W;
      const float x = 10.25f * s / (view.Width / 2.0f) - 1.0f, y = 1.0f - 20.25f * s / (view.Height / 2.0f);
      CVertex v[4] = {{-1, y, 0, 1, 0xFFFFFFFF, 0, 0}, {-1, 1, 0, 1, 0xFFFFFFFF, 0, 0},
                      {x, y, 0, 1, 0xFFFFFFFF, 0, 0},  {x, 1, 0, 1, 0xFFFFFFFF, 0, 0}};
      ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
      drawScene(D3DPT_TRIANGLESTRIP, 2, v);
      std::vector<uint32_t> px = readBack();
      int columns = 0, rows = 0;
      // Clear clears the viewport only, so count inside it.
      for (UINT i = view.X; i < view.X + view.Width; ++i) columns += px[size_t(view.Y) * W + i] == 0xFFFFFFFFu;
      for (UINT i = view.Y; i < view.Y + view.Height; ++i) rows += px[size_t(i) * W + view.X] == 0xFFFFFFFFu;
      const int wantColumns = int(10.25f * s) + 1, wantRows = int(20.25f * s) + 1;
      EXPECT_EQ(std::make_pair(columns, rows), std::make_pair(wantColumns, wantRows));
    }
  }
}

TEST_F(GlDeviceTest, DepthFunctionsAndWrites) {
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kVertexColourPs)), D3D_OK);
  auto centre = [&]() { return readBack()[H / 2 * W + W / 2]; };
  struct Case {
    DWORD func;
    float z;
    bool passes;
  } cases[] = {{D3DCMP_LESS, 0.25f, true},      {D3DCMP_LESS, 0.5f, false},   {D3DCMP_LESSEQUAL, 0.5f, true},
               {D3DCMP_GREATER, 0.75f, true},   {D3DCMP_GREATER, 0.25f, false}, {D3DCMP_EQUAL, 0.5f, true},
               {D3DCMP_NOTEQUAL, 0.5f, false},  {D3DCMP_NEVER, 0.1f, false},  {D3DCMP_ALWAYS, 0.9f, true},
               {D3DCMP_GREATEREQUAL, 0.5f, true}};
  for (const Case& c : cases) {
    ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 0.5f, 0), D3D_OK);
    ASSERT_EQ(dev->SetRenderState(D3DRS_ZFUNC, c.func), D3D_OK);
    drawFull(0xFFFFFFFF, c.z);
    EXPECT_EQ(centre(), c.passes ? 0xFFFFFFFFu : 0xFF000000u) << "func " << c.func << " z " << c.z;
  }
  // Without depth writes the buffer keeps 0.5: a later quad at 0.4 still passes LESS.
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 0.5f, 0), D3D_OK);
  states({{D3DRS_ZFUNC, D3DCMP_LESS}, {D3DRS_ZWRITEENABLE, FALSE}});
  drawFull(0xFFFF0000, 0.3f);
  drawFull(0xFF00FF00, 0.4f);
  EXPECT_EQ(centre(), 0xFF00FF00u);
  // With writes, the nearer quad wins whatever the order.
  ASSERT_EQ(dev->SetRenderState(D3DRS_ZWRITEENABLE, TRUE), D3D_OK);
  drawFull(0xFFFF0000, 0.3f);
  drawFull(0xFF0000FF, 0.4f);
  EXPECT_EQ(centre(), 0xFFFF0000u);
  // Depth test off draws regardless (and Clear ignores the write mask).
  ASSERT_EQ(dev->SetRenderState(D3DRS_ZWRITEENABLE, FALSE), D3D_OK);
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0), D3D_OK);
  drawFull(0xFF0000FF, 0.9f);
  EXPECT_EQ(centre(), 0xFFFF0000u);
  ASSERT_EQ(dev->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
  drawFull(0xFF0000FF, 0.9f);
  EXPECT_EQ(centre(), 0xFF0000FFu);
  // Through a vertex shader, depth follows clip-space z across a triangle:
  // two crossing at x = 0 (both at 0.5 there), each nearer on its own side.
  states({{D3DRS_ZENABLE, TRUE}, {D3DRS_ZWRITEENABLE, TRUE}});
  ASSERT_EQ(dev->SetVertexShader(vertexShader(kPassVs)), D3D_OK);
  ASSERT_EQ(dev->SetVertexDeclaration(cDecl), D3D_OK);
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
  const CVertex crossing[6] = {{-1, 1, 0.2f, 1, 0xFFFF0000, 0, 0}, {1, 0, 0.8f, 1, 0xFFFF0000, 0, 0},
                               {-1, -1, 0.2f, 1, 0xFFFF0000, 0, 0}, {1, 1, 0.2f, 1, 0xFF00FF00, 0, 0},
                               {1, -1, 0.2f, 1, 0xFF00FF00, 0, 0},  {-1, 0, 0.8f, 1, 0xFF00FF00, 0, 0}};
  drawScene(D3DPT_TRIANGLELIST, 2, crossing);
  EXPECT_EQ(pixelsAt({{W / 4, H / 2}, {3 * W / 4, H / 2}}), (std::vector<uint32_t>{0xFFFF0000u, 0xFF00FF00u}));
}

TEST_F(GlDeviceTest, CullModesWithClockwiseFrontFaces) {
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kVertexColourPs)), D3D_OK);
  ASSERT_EQ(dev->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
  // Left triangle clockwise on screen (red), right one counter-clockwise (green).
  const TVertex screen[6] = {{2, 2, 0, 1, 0xFFFF0000, 0, 0},  {30, 2, 0, 1, 0xFFFF0000, 0, 0},
                             {2, 40, 0, 1, 0xFFFF0000, 0, 0}, {34, 2, 0, 1, 0xFF00FF00, 0, 0},
                             {34, 40, 0, 1, 0xFF00FF00, 0, 0}, {62, 2, 0, 1, 0xFF00FF00, 0, 0}};
  // The same two triangles through a vertex shader, in clip space.
  CVertex clip[6];
  for (int i = 0; i < 6; ++i)
    clip[i] = {(screen[i].x + 0.5f) / W * 2 - 1, 1 - (screen[i].y + 0.5f) / H * 2, 0, 1, screen[i].colour, 0, 0};
  IDirect3DVertexShader9* pass = vertexShader(kPassVs);
  for (bool shaderPath : {false, true}) {
    for (DWORD mode : {D3DCULL_CCW, D3DCULL_CW, D3DCULL_NONE}) {
      ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
      ASSERT_EQ(dev->SetRenderState(D3DRS_CULLMODE, mode), D3D_OK);
      ASSERT_EQ(dev->SetVertexShader(shaderPath ? pass : nullptr), D3D_OK);
      ASSERT_EQ(dev->SetVertexDeclaration(shaderPath ? cDecl : tDecl), D3D_OK);
      if (shaderPath)
        drawScene(D3DPT_TRIANGLELIST, 2, clip);
      else
        drawScene(D3DPT_TRIANGLELIST, 2, screen);
      std::vector<uint32_t> px = readBack();
      bool left = px[10 * W + 8] == 0xFFFF0000u, right = px[10 * W + 40] == 0xFF00FF00u;
      EXPECT_EQ(left, mode != D3DCULL_CW) << "clockwise, mode " << mode << (shaderPath ? " (shader)" : "");
      EXPECT_EQ(right, mode != D3DCULL_CCW) << "counter-clockwise, mode " << mode << (shaderPath ? " (shader)" : "");
    }
  }
  // Clip space y points up: the shader path put the red triangle at the top left.
  EXPECT_EQ(readBack()[3 * W + 3], 0xFFFF0000u);
}

}  // namespace
