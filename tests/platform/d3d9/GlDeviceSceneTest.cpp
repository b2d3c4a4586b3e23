// A test scene through most of the device (vertex and index buffers,
// shaders with registers, textures with mipmaps, blending, depth, a render
// target and StretchRect), written to gl_device_scene.png to look at.

#include "GlDeviceSupport.h"

#include <stb_image_write.h>

#include <cmath>

using namespace gltest;

namespace {

TEST_F(GlDeviceTest, TestScene) {
  close();
  const UINT w = 256, h = 192;
  ASSERT_TRUE(open(D3DMULTISAMPLE_4_SAMPLES, w, h));
  ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF202830, 1.0f, 0), D3D_OK);
  ASSERT_EQ(dev->BeginScene(), D3D_OK);

  // Background gradient from vertex colours.
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kVertexColourPs)), D3D_OK);
  ASSERT_EQ(dev->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
  TVertex bg[4] = {{-0.5f, h - 0.5f, 0, 1, 0xFF102040, 0, 0}, {-0.5f, -0.5f, 0, 1, 0xFF304080, 0, 0},
                   {w - 0.5f, h - 0.5f, 0, 1, 0xFF401020, 0, 0}, {w - 0.5f, -0.5f, 0, 1, 0xFF806040, 0, 0}};
  ASSERT_EQ(dev->SetVertexDeclaration(tDecl), D3D_OK);
  ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, bg, sizeof(TVertex)), D3D_OK);

  // A checker texture, minified with mipmaps, on a quad drawn through the
  // vertex shader path from buffers.
  std::vector<uint32_t> checker(64 * 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) checker[y * 64 + x] = ((x / 8 + y / 8) & 1) ? 0xFFF0E0C0 : 0xFF303860;
  IDirect3DTexture9* tex = nullptr;
  ASSERT_EQ(dev->CreateTexture(64, 64, 0, D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                               D3DPOOL_DEFAULT, &tex, nullptr),
            D3D_OK);
  keep(tex);
  EXPECT_EQ(tex->GetLevelCount(), 1u);
  // Filled by a StretchRect from a plain surface; the mipmaps follow.
  IDirect3DSurface9* plain = nullptr;
  ASSERT_EQ(dev->CreateOffscreenPlainSurface(64, 64, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &plain, nullptr), D3D_OK);
  keep(plain);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(plain->LockRect(&lr, nullptr, 0), D3D_OK);
  std::memcpy(lr.pBits, checker.data(), checker.size() * 4);
  plain->UnlockRect();
  ASSERT_EQ(dev->StretchRect(plain, nullptr, level0(tex), nullptr, D3DTEXF_POINT), D3D_OK);

  CVertex quadVerts[4] = {{-0.9f, 0.9f, 0.5f, 1, 0xFFFFFFFF, 0, 0}, {-0.1f, 0.9f, 0.5f, 1, 0xFFFFFFFF, 4, 0},
                          {-0.9f, 0.1f, 0.5f, 1, 0xFFFFFFFF, 0, 4}, {-0.1f, 0.1f, 0.5f, 1, 0xFFFFFFFF, 4, 4}};
  const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_EQ(dev->CreateVertexBuffer(sizeof quadVerts, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vb, nullptr), D3D_OK);
  ASSERT_EQ(dev->CreateIndexBuffer(sizeof indices, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), D3D_OK);
  keep(vb);
  keep(ib);
  void* p;
  ASSERT_EQ(vb->Lock(0, 0, &p, 0), D3D_OK);
  std::memcpy(p, quadVerts, sizeof quadVerts);
  vb->Unlock();
  ASSERT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
  std::memcpy(p, indices, sizeof indices);
  ib->Unlock();
  ASSERT_EQ(dev->SetVertexShader(vertexShader(kPassVs)), D3D_OK);
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kTexturePs)), D3D_OK);
  ASSERT_EQ(dev->SetTexture(0, tex), D3D_OK);
  for (DWORD s : {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_MIPFILTER})
    ASSERT_EQ(dev->SetSamplerState(0, (D3DSAMPLERSTATETYPE)s, D3DTEXF_LINEAR), D3D_OK);
  ASSERT_EQ(dev->SetVertexDeclaration(cDecl), D3D_OK);
  ASSERT_EQ(dev->SetStreamSource(0, vb, 0, sizeof(CVertex)), D3D_OK);
  ASSERT_EQ(dev->SetIndices(ib), D3D_OK);
  ASSERT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);

  // Depth-tested triangles crossing each other, in clip space.
  ASSERT_EQ(dev->SetRenderState(D3DRS_ZENABLE, TRUE), D3D_OK);
  ASSERT_EQ(dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kVertexColourPs)), D3D_OK);
  CVertex tris[6] = {{0.1f, 0.9f, 0.2f, 1, 0xFFE04030, 0, 0}, {0.9f, 0.5f, 0.8f, 1, 0xFFE04030, 0, 0},
                     {0.1f, 0.1f, 0.2f, 1, 0xFFE04030, 0, 0}, {0.9f, 0.9f, 0.2f, 1, 0xFF40D060, 0, 0},
                     {0.9f, 0.1f, 0.2f, 1, 0xFF40D060, 0, 0}, {0.1f, 0.5f, 0.8f, 1, 0xFF40D060, 0, 0}};
  ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, tris, sizeof(CVertex)), D3D_OK);

  // Alpha-blended discs from a constant colour, pre-transformed fans.
  ASSERT_EQ(dev->SetVertexShader(nullptr), D3D_OK);
  ASSERT_EQ(dev->SetRenderState(D3DRS_ZENABLE, FALSE), D3D_OK);
  ASSERT_EQ(dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
  ASSERT_EQ(dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
  ASSERT_EQ(dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), D3D_OK);
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kConstantPs)), D3D_OK);
  const float colours[3][4] = {{1, 0.2f, 0.2f, 0.5f}, {0.2f, 1, 0.2f, 0.5f}, {0.2f, 0.4f, 1, 0.5f}};
  const float centres[3][2] = {{64, 140}, {96, 140}, {80, 115}};
  for (int d = 0; d < 3; ++d) {
    TVertex fan[34];
    fan[0] = {centres[d][0], centres[d][1], 0, 1, 0, 0, 0};
    for (int i = 0; i <= 32; ++i) {
      float a = i * 6.2831853f / 32;
      fan[i + 1] = {centres[d][0] + 24 * std::cos(a), centres[d][1] + 24 * std::sin(a), 0, 1, 0, 0, 0};
    }
    setConstant(colours[d][0], colours[d][1], colours[d][2], colours[d][3]);
    ASSERT_EQ(dev->SetVertexDeclaration(tDecl), D3D_OK);
    ASSERT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 32, fan, sizeof(TVertex)), D3D_OK);
  }
  ASSERT_EQ(dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE), D3D_OK);
  ASSERT_EQ(dev->EndScene(), D3D_OK);

  // A shrunken copy of the whole frame through a render target, drawn back
  // at the bottom right.
  IDirect3DTexture9* small = renderTexture(w / 4, h / 4, D3DFMT_A8R8G8B8);
  ASSERT_EQ(dev->StretchRect(backBuffer(), nullptr, level0(small), nullptr, D3DTEXF_LINEAR), D3D_OK);
  ASSERT_EQ(dev->BeginScene(), D3D_OK);
  ASSERT_EQ(dev->SetTexture(0, small), D3D_OK);
  ASSERT_EQ(dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE), D3D_OK);
  ASSERT_EQ(dev->SetPixelShader(pixelShader(kTexturePs)), D3D_OK);
  quad(w - w / 4 - 8.5f, h - h / 4 - 8.5f, w - 8.5f, h - 8.5f, 0, 0);
  ASSERT_EQ(dev->EndScene(), D3D_OK);
  ASSERT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

  std::vector<uint32_t> px = readBack();
  // The triangles cross at clip x 0.5 (pixel 192), where both are at depth
  // 0.5: left of it the red one is nearer, right of it the green one.
  EXPECT_EQ(px[48 * w + 170], 0xFFE04030u);
  EXPECT_EQ(px[48 * w + 214], 0xFF40D060u);
  // Blended disc centres: red over the gradient, half and half.
  uint32_t red50 = px[140 * w + 50];
  EXPECT_GT(red(red50), green(red50));
  std::vector<uint8_t> rgba(w * h * 4);
  for (UINT i = 0; i < w * h; ++i) {
    rgba[i * 4 + 0] = (uint8_t)red(px[i]);
    rgba[i * 4 + 1] = (uint8_t)green(px[i]);
    rgba[i * 4 + 2] = (uint8_t)blue(px[i]);
    rgba[i * 4 + 3] = 255;
  }
  EXPECT_NE(stbi_write_png("gl_device_scene.png", (int)w, (int)h, 4, rgba.data(), (int)w * 4), 0);
}

}  // namespace
