// Render targets, read-back, multisampling, constant registers, buffers and
// indexed draws, texture formats, Present and the window's end.

#include "GlDeviceSupport.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>

using namespace gltest;

namespace {

// What the window shows after Present, row 0 at the top, as 0xAARRGGBB,
// read from the surface the device drew to (windows of SDL's offscreen
// driver are EGL pbuffers, which keep it); its size is the surface's own,
// not the one SDL reports.
std::vector<uint32_t> windowPixels(int& width, int& height) {
  EGLDisplay display = eglGetCurrentDisplay();
  EGLSurface surface = eglGetCurrentSurface(EGL_DRAW);
  EGLint w = 0, h = 0;
  width = height = 0;
  if (surface == EGL_NO_SURFACE || !eglQuerySurface(display, surface, EGL_WIDTH, &w) ||
      !eglQuerySurface(display, surface, EGL_HEIGHT, &h) || w <= 0 || h <= 0)
    return {};
  GLint previous = 0;
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previous);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  std::vector<uint32_t> out(size_t(w) * size_t(h));
  glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, out.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, (GLuint)previous);
  for (int y = 0; y < h / 2; ++y)  // GL's row 0 is the bottom one
    std::swap_ranges(out.begin() + y * w, out.begin() + (y + 1) * w, out.begin() + (h - 1 - y) * w);
  for (uint32_t& c : out) c |= 0xFF000000u;
  width = w;
  height = h;
  return out;
}

// The OpenGL device's counters.
GlDeviceStats stats(IDirect3DDevice9* dev) {
  GlDeviceStats s{};
  EXPECT_TRUE(glDeviceStats(dev, &s));
  return s;
}

TEST_F(GlDeviceTest, FloatTargetsKeepFullPrecision) {
  IDirect3DTexture9* r32 = renderTexture(16, 16, D3DFMT_R32F);
  IDirect3DTexture9* half = renderTexture(16, 16, D3DFMT_A16B16G16R16F);
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kConstantPs)), D3D_OK);
  ASSERT_EQ(dev->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
  const float value = 0.123456789f, big = 1234.0f;  // exact as a half too
  setConstant(value, big, -2.5f, 1.0f);
  for (IDirect3DTexture9* t : {r32, half}) {
    ASSERT_EQ(dev->SetRenderTarget(0, level0(t)), D3D_OK);
    drawFull(0, 0.0f, 16, 16);
  }
  for (float f : read<float>(level0(r32))) ASSERT_EQ(f, value);  // bit for bit, no 8-bit step
  // Halves: 1234 is 0x64D2, -2.5 is 0xC100 (no clamping to 0..1).
  const uint64_t h = read<uint64_t>(level0(half))[0];
  EXPECT_EQ(std::pair((h >> 16) & 0xFFFF, (h >> 32) & 0xFFFF), std::pair(uint64_t(0x64D2), uint64_t(0xC100)));
  // An R32F texture reads (r, 1, 1, 1), as Direct3D 9 fills missing channels.
  setConstant(0.25f, 0, 0, 1);
  ASSERT_EQ(dev->SetRenderTarget(0, level0(r32)), D3D_OK);
  drawFull(0, 0.0f, 16, 16);
  ASSERT_EQ(dev->SetRenderTarget(0, backBuffer()), D3D_OK);
  ASSERT_EQ(dev->SetTexture(0, r32), D3D_OK);
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kTexturePs)), D3D_OK);
  drawFull();
  EXPECT_EQ(readBack()[0], 0xFF40FFFFu);
}

TEST_F(GlDeviceTest, StretchRectResolvesAMultisampledBackBuffer) {
  close();
  ASSERT_TRUE(open(D3DMULTISAMPLE_4_SAMPLES, W, H));
  IDirect3DSurface9* back = backBuffer();
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kVertexColourPs)), D3D_OK);
  TVertex tri[3] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0}, {63, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0}, {0, 47, 0.5f, 1, 0xFFFFFFFF, 0, 0}};
  ASSERT_EQ(dev->SetVertexDeclaration(tDecl), D3D_OK);
  drawScene(D3DPT_TRIANGLELIST, 1, tri);
  // Present resolves into the window and leaves the back buffer as it was
  // (the copy swap effect of a windowed device).
  ASSERT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  auto corners = [](const std::vector<uint32_t>& px) { return std::pair(px[2 * W + 2], px[(H - 2) * W + W - 2]); };
  int ww = 0, wh = 0;
  std::vector<uint32_t> shown = windowPixels(ww, wh);
  ASSERT_EQ(std::pair(ww, wh), std::pair((int)W, (int)H));
  EXPECT_EQ(corners(shown), std::pair(0xFFFFFFFFu, 0xFF000000u));
  // A multisampled surface cannot be read directly: it is resolved by a copy.
  EXPECT_TRUE(readSurface(dev).bytes.empty());
  // Into a surface of its size and format it resolves straight, in one blit.
  IDirect3DTexture9* copy = renderTexture(W, H, D3DFMT_A8R8G8B8);
  const unsigned long long blits = stats(dev).blits;
  ASSERT_EQ(dev->StretchRect(back, nullptr, level0(copy), nullptr, D3DTEXF_LINEAR), D3D_OK);
  EXPECT_EQ(stats(dev).blits - blits, 1u);
  std::vector<uint32_t> px = read(level0(copy));
  EXPECT_EQ(corners(px), std::pair(0xFFFFFFFFu, 0xFF000000u));
  // The long edge crosses pixels partly: resolved samples give greys.
  int partial = 0;
  for (uint32_t c : px) partial += red(c) > 0 && red(c) < 255;
  EXPECT_GT(partial, 20);
  // Half-size copies with point and linear filtering.
  IDirect3DTexture9* small = renderTexture(W / 2, H / 2, D3DFMT_A8R8G8B8);
  RECT left = {0, 0, W / 2, H};
  ASSERT_EQ(dev->StretchRect(level0(copy), &left, level0(small), nullptr, D3DTEXF_POINT), D3D_OK);
  EXPECT_EQ(read(level0(small))[1 * (W / 2) + 1], 0xFFFFFFFFu);
}

// (Vertex registers, matrices packed by columns at any base register, are
// held by ShaderGl's lit and spot light shaders against CPU references.)
TEST_F(GlDeviceTest, PixelRegistersPersistAcrossShaderChanges) {
  IDirect3DPixelShader9* a = pixelShader(kConstantPs);
  IDirect3DPixelShader9* b = pixelShader("float4 k : register(c0);\nfloat4 m : register(c1);\n"
                                         "float4 main() : COLOR { return k * m; }");
  ASSERT_EQ(dev->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
  // Registers written before any shader is bound.
  const float regs[8] = {1, 0.5f, 0.25f, 1, 1, 1, 1, 1};
  ASSERT_EQ(dev->SetPixelShaderConstantF(0, regs, 2), D3D_OK);
  auto draw = [&](IDirect3DPixelShader9* s) {
    EXPECT_EQ(dev->SetPixelShader(s), D3D_OK);
    drawFull();
    return readBack()[0];
  };
  EXPECT_EQ(draw(a), 0xFFFF8040u);
  const float half[4] = {0.5f, 0.5f, 0.5f, 1};
  ASSERT_EQ(dev->SetPixelShaderConstantF(1, half, 1), D3D_OK);  // while a is bound, b's register
  EXPECT_EQ(draw(b), 0xFF804020u);
  EXPECT_EQ(draw(a), 0xFFFF8040u);
}

TEST_F(GlDeviceTest, IndexedDrawsWithBaseVertexAnd16And32BitIndices) {
  // Two quads in one buffer: left half red, right half blue; D3DCOLOR is
  // stored as B, G, R, A bytes and must come out as the same ARGB word.
  TVertex verts[8] = {{-0.5f, -0.5f, 0, 1, 0xFFFF0000, 0, 0}, {31.5f, -0.5f, 0, 1, 0xFFFF0000, 0, 0},
                      {-0.5f, 47.5f, 0, 1, 0xFFFF0000, 0, 0}, {31.5f, 47.5f, 0, 1, 0xFFFF0000, 0, 0},
                      {31.5f, -0.5f, 0, 1, 0xFF102030, 0, 0}, {63.5f, -0.5f, 0, 1, 0xFF102030, 0, 0},
                      {31.5f, 47.5f, 0, 1, 0xFF102030, 0, 0}, {63.5f, 47.5f, 0, 1, 0xFF102030, 0, 0}};
  IDirect3DVertexBuffer9* vb = made<IDirect3DVertexBuffer9>([&](auto** b) {
    return dev->CreateVertexBuffer(sizeof verts, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, 0, D3DPOOL_DEFAULT, b, nullptr);
  });
  ASSERT_NE(vb, nullptr);
  // Written in two locks: the second at an offset, with NOOVERWRITE.
  void* p = nullptr;
  ASSERT_EQ(vb->Lock(0, 4 * sizeof(TVertex), &p, D3DLOCK_DISCARD), D3D_OK);
  std::memcpy(p, verts, 4 * sizeof(TVertex));
  ASSERT_EQ(vb->Unlock(), D3D_OK);
  ASSERT_EQ(vb->Lock(4 * sizeof(TVertex), 4 * sizeof(TVertex), &p, D3DLOCK_NOOVERWRITE), D3D_OK);
  std::memcpy(p, verts + 4, 4 * sizeof(TVertex));
  ASSERT_EQ(vb->Unlock(), D3D_OK);

  const uint16_t i16[6] = {0, 1, 2, 2, 1, 3};
  const uint32_t i32[9] = {7, 7, 7, 0, 1, 2, 2, 1, 3};
  IDirect3DIndexBuffer9* ib16 = indexBuffer(sizeof i16, i16);
  IDirect3DIndexBuffer9* ib32 = indexBuffer(sizeof i32, i32, D3DFMT_INDEX32);

  ASSERT_EQ(dev->SetPixelShader(pixelShader(kVertexColourPs)), D3D_OK);
  states({{D3DRS_ZENABLE, FALSE}, {D3DRS_CULLMODE, D3DCULL_NONE}});
  ASSERT_EQ(dev->SetVertexDeclaration(tDecl), D3D_OK);
  ASSERT_EQ(dev->SetStreamSource(0, vb, 0, sizeof(TVertex)), D3D_OK);
  for (IDirect3DIndexBuffer9* ib : {ib16, ib32}) {
    ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(dev->SetIndices(ib), D3D_OK);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    // Base vertex 4 draws the second quad with the same indices (after three more in the 32-bit buffer).
    ASSERT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, ib == ib32 ? 3 : 0, 2), D3D_OK);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    EXPECT_EQ(pixelsAt({{10, 20}, {50, 20}}), (std::vector<uint32_t>{0xFF000000u, 0xFF102030u}));
  }
  // A lock that rewrites the first quad in place (no DISCARD) keeps the rest.
  ASSERT_EQ(vb->Lock(0, 4 * sizeof(TVertex), &p, 0), D3D_OK);
  for (int i = 0; i < 4; ++i) ((TVertex*)p)[i].colour = 0xFF00FF00;
  ASSERT_EQ(vb->Unlock(), D3D_OK);
  ASSERT_EQ(dev->BeginScene(), D3D_OK);
  ASSERT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
  ASSERT_EQ(dev->EndScene(), D3D_OK);
  EXPECT_EQ(pixelsAt({{0, 0}, {50, 20}}), (std::vector<uint32_t>{0xFF00FF00u, 0xFF102030u}));
}

TEST_F(GlDeviceTest, CompressedSrgbAndFormatTextures) {
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kTexturePs)), D3D_OK);
  ASSERT_EQ(dev->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
  auto sample = [&](IDirect3DBaseTexture9* t) {
    EXPECT_EQ(dev->SetTexture(0, t), D3D_OK);
    drawFull();
    return readBack()[H / 2 * W + W / 2];
  };
  // One DXT1 block, both end colours pure red (R5G6B5 0xF800), indices 0.
  const uint8_t block[8] = {0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
  EXPECT_EQ(sample(rawTexture(4, 4, D3DFMT_DXT1, block, 8, 1)), 0xFFFF0000u);

  // sRGB reads decode 8-bit texels: 0x80 reads as 0.2158 (55). Float
  // textures have no sRGB reads.
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_QUERY_SRGBREAD, D3DRTYPE_TEXTURE,
                                   D3DFMT_R32F),
            D3DERR_NOTAVAILABLE);
  IDirect3DTexture9* grey = texture(1, 1, {0xFF808080});
  EXPECT_EQ(sample(grey), 0xFF808080u);
  ASSERT_EQ(dev->SetSamplerState(0, D3DSAMP_SRGBTEXTURE, 1), D3D_OK);
  EXPECT_NEAR(red(sample(grey)), 55, 1);
  ASSERT_EQ(dev->SetSamplerState(0, D3DSAMP_SRGBTEXTURE, 0), D3D_OK);

  // X8R8G8B8 reads alpha 1; R5G6B5 expands; A8 is (0, 0, 0, a).
  auto single = [&](D3DFORMAT f, const void* texel, UINT bytes) { return rawTexture(1, 1, f, texel, bytes, 1); };
  uint32_t x8 = 0x00336699;
  uint16_t rgb565 = 0xF81F;  // magenta
  uint8_t a8 = 0x80;
  EXPECT_EQ(sample(single(D3DFMT_X8R8G8B8, &x8, 4)), 0xFF336699u);
  EXPECT_EQ(sample(single(D3DFMT_R5G6B5, &rgb565, 2)), 0xFFFF00FFu);
  EXPECT_EQ(sample(single(D3DFMT_A8, &a8, 1)), 0x80000000u);
}

TEST_F(GlDeviceTest, PresentShowsTheBackBufferUprightAndDrawingOutlivesTheWindow) {
  // The top rows red, the rest blue; after Present the window's default
  // framebuffer (row 0 at its bottom) has red at its top.
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
  D3DRECT top = {0, 0, (LONG)W, 8};
  ASSERT_EQ(dev->Clear(1, &top, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
  ASSERT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(dev->TestCooperativeLevel(), D3D_OK);
  int width = 0, height = 0;
  std::vector<uint32_t> shown = windowPixels(width, height);
  ASSERT_GT(height, 8);
  const size_t bottom = size_t(height - 1) * width;
  EXPECT_EQ(std::pair(shown[width / 2], shown[bottom + width / 2]), std::pair(0xFFFF0000u, 0xFF0000FFu));
  // Rendering goes on into the back buffer after Present, and after the
  // window is gone, when Present has nowhere to show it.
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
  EXPECT_EQ(readBack()[0], 0xFF00FF00u);
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kVertexColourPs)), D3D_OK);
  DestroyWindow(window);
  window = nullptr;
  drawFull(0xFF445566);
  EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(readBack()[0], 0xFF445566u);
}

TEST_F(GlDeviceTest, FullscreenShowsTheWholeFrameInAWindowSmallerThanTheDisplay) {
  // SDL's offscreen display (1024x768) has no 640x480 mode to switch to, and
  // a fullscreen request leaves the window's 640x400 surface as it is while
  // SDL reports the display's size for it, as an X server without a window
  // manager does: the whole frame must still fill the window, upright, with
  // its shape kept. The display's own mode is a real switch.
  struct Case {
    UINT width, height;
    int windowWidth, windowHeight;
  };
  for (const Case& c : {Case{640, 480, 640, 400}, Case{1024, 768, 1024, 768}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    close();
    ASSERT_TRUE(open(D3DMULTISAMPLE_NONE, c.width, c.height, false, c.windowWidth, c.windowHeight));
    const LONG hw = LONG(c.width / 2), hh = LONG(c.height / 2), fw = LONG(c.width), fh = LONG(c.height);
    ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    const D3DRECT quarters[3] = {{hw, 0, fw, hh}, {0, hh, hw, fh}, {hw, hh, fw, fh}};
    const D3DCOLOR colours[3] = {0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    for (int i = 0; i < 3; ++i) ASSERT_EQ(dev->Clear(1, &quarters[i], D3DCLEAR_TARGET, colours[i], 1.0f, 0), D3D_OK);
    ASSERT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    int w = 0, h = 0;
    std::vector<uint32_t> px = windowPixels(w, h);
    ASSERT_GT(w, 0);
    auto at = [&](int x, int y) { return px[size_t(y) * size_t(w) + size_t(x)]; };
    // The picture's extent: where the black bars end across the middle row
    // and down the column through the left quarters.
    int x0 = 0, x1 = w - 1, y0 = 0, y1 = h - 1;
    while (x0 < w - 1 && at(x0, h / 2) == 0xFF000000u) ++x0;
    while (x1 > 0 && at(x1, h / 2) == 0xFF000000u) --x1;
    int column = x0 + (x1 - x0) / 4;
    while (y0 < h - 1 && at(column, y0) == 0xFF000000u) ++y0;
    while (y1 > 0 && at(column, y1) == 0xFF000000u) --y1;
    int pw = x1 - x0 + 1, ph = y1 - y0 + 1;
    EXPECT_LE(std::abs(pw * 3 - ph * 4), 6) << pw << "x" << ph << " in " << w << "x" << h;
    EXPECT_TRUE((pw == w && std::abs(y0 - (h - 1 - y1)) <= 1) || (ph == h && std::abs(x0 - (w - 1 - x1)) <= 1))
        << "x " << x0 << ".." << x1 << ", y " << y0 << ".." << y1 << " in " << w << "x" << h;
    // The quarters in their places; the far corners of the frame reach the picture's edges.
    const int left = x0 + pw / 4, right = x0 + pw * 3 / 4, top = y0 + ph / 4, bottom = y0 + ph * 3 / 4;
    EXPECT_EQ((std::vector{at(left, top), at(right, top), at(left, bottom), at(right, bottom), at(x0 + 1, y0 + 1),
                           at(x1 - 1, y1 - 1)}),
              (std::vector{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu, 0xFFFF0000u, 0xFFFFFFFFu}));

    // Releasing the device gives the window back as it was.
    releaseDevice();
    SDL_Window* sdl = sdlWindowFromHandle(window);
    ASSERT_NE(sdl, nullptr);
    EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN, 0u);
    int sw = 0, sh = 0;
    SDL_GetWindowSize(sdl, &sw, &sh);
    EXPECT_EQ(std::pair(sw, sh), std::pair(c.windowWidth, c.windowHeight));
  }
}

TEST(GlDeviceSurfaceless, RendersWithoutAnOpenGLWindow) {
  // A handle with no SDL window behind it (as under SDL's dummy driver):
  // the device renders on an EGL surfaceless context and presents nothing.
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d, nullptr);
  D3DPRESENT_PARAMETERS pp = presentParameters(16, 8, (HWND)0x7777);
  IDirect3DDevice9* dev = nullptr;
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, pp.hDeviceWindow, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev),
            D3D_OK);
  EXPECT_TRUE(glDeviceIsSurfaceless(dev));
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF123456, 1.0f, 0), D3D_OK);
  EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(readSurface(dev).word(5, 0), 0xFF123456u);
  EXPECT_EQ(dev->Release(), 0u);
  EXPECT_EQ(d3d->Release(), 0u);
}

TEST_F(GlDeviceTest, CachesGlStateAndObjects) {
  IDirect3DPixelShader9* a = pixelShader(kConstantPs);
  IDirect3DPixelShader9* b = pixelShader(kVertexColourPs);
  IDirect3DTexture9* t = texture(1, 1, {0xFFFFFFFF});
  auto frame = [&]() {
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    for (int i = 0; i < 10; ++i) {
      ASSERT_EQ(dev->SetPixelShader(i & 1 ? a : b), D3D_OK);
      ASSERT_EQ(dev->SetRenderState(D3DRS_ALPHABLENDENABLE, i & 1), D3D_OK);
      ASSERT_EQ(dev->SetTexture(0, t), D3D_OK);
      fullQuad(W, H, 0xFFFFFFFF);
    }
    ASSERT_EQ(dev->EndScene(), D3D_OK);
  };
  frame();
  const GlDeviceStats first = stats(dev);
  EXPECT_EQ(first.programsLinked, 2u);  // one program per pair, linked once
  frame();
  const GlDeviceStats second = stats(dev);
  EXPECT_EQ(std::tie(second.programsLinked, second.vertexArraysCreated, second.framebuffersCreated),
            std::tie(first.programsLinked, first.vertexArraysCreated, first.framebuffersCreated));
  EXPECT_EQ(second.draws - first.draws, 10u);
  // Per draw: the program and the blend switch; nothing else is resent.
  EXPECT_LE(second.stateCalls - first.stateCalls, 20u);
  // The same state set again sends nothing.
  ASSERT_EQ(dev->BeginScene(), D3D_OK);
  fullQuad(W, H, 0xFFFFFFFF);
  const GlDeviceStats third = stats(dev);
  ASSERT_EQ(dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
  ASSERT_EQ(dev->SetPixelShader(a), D3D_OK);
  fullQuad(W, H, 0xFFFFFFFF);
  const GlDeviceStats fourth = stats(dev);
  ASSERT_EQ(dev->EndScene(), D3D_OK);
  EXPECT_EQ(std::pair(fourth.stateCalls, fourth.draws), std::pair(third.stateCalls, third.draws + 1));
}

}  // namespace
