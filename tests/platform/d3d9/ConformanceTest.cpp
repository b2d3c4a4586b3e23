// The same device cases on the recording device and on the OpenGL device
// (instances `recording` and `gl`): what Direct3D 9 refuses, the references
// it holds, the states it keeps, draw validation, locks, targets and caps.

#include "GlDeviceSupport.h"

#include <cmath>
#include <functional>
#include <tuple>

using namespace gltest;

namespace {

class ConformanceTest : public GlDeviceTest, public ::testing::WithParamInterface<const char*> {
protected:
  ConformanceTest() { implementation = GetParam(); }

  IDirect3DSurface9* depthSurface(D3DFORMAT format) {
    IDirect3DSurface9* s = nullptr;
    EXPECT_EQ(dev->CreateDepthStencilSurface(W, H, format, D3DMULTISAMPLE_NONE, 0, TRUE, &s, nullptr), D3D_OK);
    return keep(s);
  }

  IDirect3DSurface9* plainSurface(UINT width, UINT height, D3DPOOL pool) {
    IDirect3DSurface9* s = nullptr;
    EXPECT_EQ(dev->CreateOffscreenPlainSurface(width, height, D3DFMT_A8R8G8B8, pool, &s, nullptr), D3D_OK);
    return keep(s);
  }
};

TEST_P(ConformanceTest, CallsOutsideTheRulesAreRefused) {
  IDirect3DTexture9* target = renderTexture(8, 8, D3DFMT_A8R8G8B8);
  IDirect3DTexture9* managed = texture(8, 8, std::vector<uint32_t>(64));
  const uint8_t blocks[32] = {};
  IDirect3DTexture9* dxt = rawTexture(8, 8, D3DFMT_DXT1, blocks, 16, 2);
  IDirect3DVertexBuffer9* vb = vertexBuffer(64, nullptr, D3DPOOL_DEFAULT);
  IDirect3DSurface9* plain = plainSurface(8, 8, D3DPOOL_DEFAULT);
  const DWORD junk[8] = {0xFFFE0300, 1, 2, 3, 4, 5, 6, 0xFFFF};
  const D3DVERTEXELEMENT9 position = {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0};
  const D3DVERTEXELEMENT9 misaligned[] = {{0, 2, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
  const D3DVERTEXELEMENT9 twice[] = {position, position, D3DDECL_END()};
  const D3DVIEWPORT9 wide = {0, 0, W + 1, H, 0, 1}, nanDepth = {0, 0, W, H, NAN, 1};
  const RECT outside = {4, 4, 9, 8}, offGrid = {2, 0, 4, 4}, pastBack = {0, 0, W + 1, H};
  const float values[8] = {};
  D3DLOCKED_RECT lr;
  void* bits;
  IDirect3DTexture9* t;
  IDirect3DVertexBuffer9* b;
  IDirect3DIndexBuffer9* ib;
  IDirect3DSurface9* s;
  IDirect3DVertexDeclaration9* d;
  IDirect3DVertexShader9* v;
  IDirect3DPixelShader9* p;
  const HRESULT refused = D3DERR_INVALIDCALL;
  EXPECT_EQ(dev->CreateVertexBuffer(0, 0, 0, D3DPOOL_DEFAULT, &b, nullptr), refused);
  EXPECT_EQ(dev->CreateVertexBuffer(59, 0, 0x140352, D3DPOOL_DEFAULT, &b, nullptr), refused);  // a vertex is 60 bytes
  EXPECT_EQ(dev->CreateVertexBuffer(64, 0, 0, D3DPOOL_SCRATCH, &b, nullptr), refused);
  EXPECT_EQ(dev->CreateIndexBuffer(16, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ib, nullptr), refused);
  EXPECT_EQ(dev->CreateTexture(16, 16, 1, 0, D3DFMT_P8, D3DPOOL_MANAGED, &t, nullptr), refused);
  EXPECT_EQ(dev->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_DXT1, D3DPOOL_DEFAULT, &t, nullptr), refused);
  EXPECT_EQ(dev->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr),
            refused);
  EXPECT_EQ(dev->CreateTexture(16, 16, 6, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), refused);
  // Past MaxTextureWidth.
  EXPECT_EQ(dev->CreateTexture(8193, 8193, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), refused);
  EXPECT_EQ(dev->CreateTexture(16, 16, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), refused);
  EXPECT_EQ(dev->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_4_SAMPLES, 0, TRUE, &s, nullptr), refused);
  // One quality level per type.
  EXPECT_EQ(dev->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_4_SAMPLES, 1, FALSE, &s, nullptr), refused);
  EXPECT_EQ(dev->CreateDepthStencilSurface(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, &s, nullptr), refused);
  EXPECT_EQ(dev->CreateOffscreenPlainSurface(8, 8, D3DFMT_D24S8, D3DPOOL_SYSTEMMEM, &s, nullptr), refused);
  // 4 GiB, once counted in 32 bits.
  EXPECT_EQ(dev->CreateOffscreenPlainSurface(16384, 16384, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM, &s, nullptr),
            refused);
  EXPECT_EQ(dev->CreateVertexDeclaration(misaligned, &d), refused);
  EXPECT_EQ(dev->CreateVertexDeclaration(twice, &d), refused);
  EXPECT_EQ(dev->CreateVertexShader(junk, &v), refused);
  EXPECT_EQ(dev->CreatePixelShader(function(kPassVs, "vs_3_0"), &p), refused);
  EXPECT_EQ(dev->SetRenderState((D3DRENDERSTATETYPE)256, 0), refused);
  EXPECT_EQ(dev->SetSamplerState(16, D3DSAMP_MAGFILTER, D3DTEXF_POINT), refused);
  EXPECT_EQ(dev->SetSamplerState(0, (D3DSAMPLERSTATETYPE)14, 0), refused);
  EXPECT_EQ(dev->SetTexture(16, managed), refused);
  EXPECT_EQ(dev->SetStreamSource(0, vb, 2, 12), refused);
  EXPECT_EQ(dev->SetPixelShaderConstantF(223, values, 2), refused);
  EXPECT_EQ(dev->SetViewport(&wide), refused);
  EXPECT_EQ(dev->SetViewport(&nanDepth), refused);
  EXPECT_EQ(dev->SetRenderTarget(0, nullptr), refused);
  EXPECT_EQ(dev->SetRenderTarget(1, depthSurface(D3DFMT_D16)), refused);
  EXPECT_EQ(dev->SetDepthStencilSurface(backBuffer()), refused);
  EXPECT_EQ(dev->EndScene(), refused);
  EXPECT_EQ(dev->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), refused);
  EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 2.0f, 0), refused);
  EXPECT_EQ(dev->GetBackBuffer(0, 1, D3DBACKBUFFER_TYPE_MONO, &s), refused);
  EXPECT_EQ(dev->Present(&pastBack, nullptr, nullptr, nullptr), refused);
  EXPECT_EQ(dev->StretchRect(level0(target), nullptr, level0(target), nullptr, D3DTEXF_POINT), refused);
  EXPECT_EQ(dev->StretchRect(level0(managed), nullptr, level0(target), nullptr, D3DTEXF_POINT), refused);
  EXPECT_EQ(dev->GetRenderTargetData(level0(target), plain), refused);  // into video memory
  EXPECT_EQ(target->LockRect(0, &lr, nullptr, 0), refused);
  EXPECT_EQ(managed->UnlockRect(0), refused);
  EXPECT_EQ(managed->LockRect(0, &lr, &outside, 0), refused);
  EXPECT_EQ(managed->LockRect(1, &lr, nullptr, 0), refused);
  EXPECT_EQ(dxt->LockRect(0, &lr, &offGrid, 0), refused);
  EXPECT_EQ(vb->Lock(0, 0, &bits, D3DLOCK_DISCARD), refused);  // of a static buffer
  EXPECT_EQ(vb->Lock(60, 8, &bits, 0), refused);
}

TEST_P(ConformanceTest, ReferencesAreHeldAsDirect3DHoldsThem) {
  auto refs = [](IUnknown* o) { return o->AddRef(), o->Release(); };
  IDirect3DTexture9* target = renderTexture(16, 16, D3DFMT_A8R8G8B8);
  IDirect3DSurface9* level = level0(target);
  EXPECT_EQ(refs(target), 2u);  // the level shares its texture's count
  IDirect3DVertexBuffer9* vb = vertexBuffer(64);
  IDirect3DIndexBuffer9* ib = indexBuffer(12, nullptr);
  IDirect3DVertexShader9* vs = vertexShader(kPassVs);
  IDirect3DSurface9* depth = depthSurface(D3DFMT_D16);
  const std::tuple<IUnknown*, std::function<HRESULT()>, std::function<HRESULT()>> bindings[] = {
      {target, [&] { return dev->SetTexture(D3DVERTEXTEXTURESAMPLER0, target); },
       [&] { return dev->SetTexture(D3DVERTEXTEXTURESAMPLER0, nullptr); }},
      {target, [&] { return dev->SetRenderTarget(0, level); }, [&] { return dev->SetRenderTarget(0, backBuffer()); }},
      {vb, [&] { return dev->SetStreamSource(5, vb, 0, 12); }, [&] { return dev->SetStreamSource(5, nullptr, 0, 0); }},
      {ib, [&] { return dev->SetIndices(ib); }, [&] { return dev->SetIndices(nullptr); }},
      {cDecl, [&] { return dev->SetVertexDeclaration(cDecl); }, [&] { return dev->SetVertexDeclaration(nullptr); }},
      {vs, [&] { return dev->SetVertexShader(vs); }, [&] { return dev->SetVertexShader(nullptr); }},
      {depth, [&] { return dev->SetDepthStencilSurface(depth); }, [&] { return dev->SetDepthStencilSurface(nullptr); }},
  };
  for (const auto& [object, set, unset] : bindings) {
    ULONG before = refs(object);
    ASSERT_EQ(set(), D3D_OK);
    ASSERT_EQ(set(), D3D_OK);  // bound twice, held once
    EXPECT_EQ(refs(object), before + 1);
    ASSERT_EQ(unset(), D3D_OK);
    EXPECT_EQ(refs(object), before);
  }
  IDirect3DSurface9* got = nullptr;
  ULONG before = refs(backBuffer());
  ASSERT_EQ(dev->GetRenderTarget(0, &got), D3D_OK);
  EXPECT_EQ(refs(got), before + 1);  // Gets add one
  got->Release();

  // Resources outlive a released device and give it back until they go.
  IDirect3DVertexBuffer9* orphan = nullptr;
  ASSERT_EQ(dev->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &orphan, nullptr), D3D_OK);
  ASSERT_EQ(dev->SetStreamSource(0, orphan, 0, 16), D3D_OK);
  releaseDevice();
  IDirect3DDevice9* owner = nullptr;
  ASSERT_EQ(orphan->GetDevice(&owner), D3D_OK);
  EXPECT_EQ(owner->Release(), 0u);
  EXPECT_EQ(orphan->Release(), 0u);
}

TEST_P(ConformanceTest, StatesReadBackAsSetAndStateBlocksBringThemBack) {
  // What a Get of a state wrote to `value`, or 0xBAD when it failed.
  DWORD value = 0;
  auto got = [&](HRESULT hr) { return hr == D3D_OK ? value : 0xBAD; };
  auto rect = [](const RECT& r) { return std::tuple(r.left, r.top, r.right, r.bottom); };
  RECT r;
  auto scissor = [&] { return dev->GetScissorRect(&r) == D3D_OK ? rect(r) : rect({-1, -1, -1, -1}); };
  D3DVIEWPORT9 vp;
  auto viewportIs = [&](const D3DVIEWPORT9& want) {
    return dev->GetViewport(&vp) == D3D_OK && std::memcmp(&vp, &want, sizeof vp) == 0;
  };
  D3DMATRIX m;
  IDirect3DBaseTexture9* bound = nullptr;
  // A new device starts with Direct3D 9's defaults (depth on: it has a depth surface).
  EXPECT_EQ(got(dev->GetRenderState(D3DRS_ZENABLE, &value)), (DWORD)D3DZB_TRUE);
  EXPECT_EQ(got(dev->GetRenderState(D3DRS_CULLMODE, &value)), (DWORD)D3DCULL_CCW);
  EXPECT_EQ(got(dev->GetSamplerState(D3DVERTEXTEXTURESAMPLER0 + 3, D3DSAMP_ADDRESSU, &value)), (DWORD)D3DTADDRESS_WRAP);
  EXPECT_EQ(got(dev->GetTextureStageState(0, D3DTSS_COLOROP, &value)), (DWORD)D3DTOP_MODULATE);
  ASSERT_EQ(dev->GetTransform(D3DTS_PROJECTION, &m), D3D_OK);
  EXPECT_EQ(m._11 + m._22 + m._33 + m._44 + m._41, 4.0f);
  EXPECT_EQ(scissor(), std::tuple(0L, 0L, (LONG)W, (LONG)H));
  ASSERT_EQ(dev->SetRenderState(D3DRS_BLENDFACTOR, 0x80402010), D3D_OK);
  EXPECT_EQ(got(dev->GetRenderState(D3DRS_BLENDFACTOR, &value)), 0x80402010u);
  ASSERT_EQ(dev->SetSamplerState(D3DVERTEXTEXTURESAMPLER0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR), D3D_OK);
  EXPECT_EQ(got(dev->GetSamplerState(D3DVERTEXTEXTURESAMPLER0, D3DSAMP_MAGFILTER, &value)), (DWORD)D3DTEXF_LINEAR);
  const float registers[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  float read[8] = {};
  ASSERT_EQ(dev->SetVertexShaderConstantF(254, registers, 2), D3D_OK);
  ASSERT_EQ(dev->GetVertexShaderConstantF(254, read, 2), D3D_OK);
  EXPECT_EQ(std::memcmp(read, registers, sizeof read), 0);
  ASSERT_EQ(dev->SetPixelShaderConstantF(222, registers, 2), D3D_OK);
  ASSERT_EQ(dev->GetPixelShaderConstantF(223, read, 1), D3D_OK);
  EXPECT_EQ(read[0], 5.0f);
  IDirect3DTexture9* t = texture(1, 1, {0});
  ASSERT_EQ(dev->SetTexture(15, t), D3D_OK);
  ASSERT_EQ(dev->GetTexture(15, &bound), D3D_OK);
  EXPECT_EQ(bound, t);
  bound->Release();
  const D3DVIEWPORT9 set = {2, 3, 20, 10, 0.25f, 0.75f}, wholeTarget = {0, 0, 32, 16, 0.0f, 1.0f};
  ASSERT_EQ(dev->SetViewport(&set), D3D_OK);
  EXPECT_TRUE(viewportIs(set));

  // Fixed-function refusals.
  const D3DMATRIX scale = {{{2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1}}};
  EXPECT_EQ(dev->SetTransform((D3DTRANSFORMSTATETYPE)1, &scale), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->SetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_DISABLE), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->SetScissorRect(nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->SetFVF(D3DFVF_XYZ | 0x900), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->CreateStateBlock(D3DSBT_ALL, nullptr), D3DERR_INVALIDCALL);

  // A block captures every state; what changes after it comes back on Apply.
  const RECT inner = {1, 2, 10, 12}, whole = {0, 0, 32, 16};
  IDirect3DVertexDeclaration9* fvfDeclaration = nullptr;
  IDirect3DStateBlock9* block = nullptr;
  ASSERT_EQ(dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1), D3D_OK);
  ASSERT_EQ(dev->GetVertexDeclaration(&fvfDeclaration), D3D_OK);
  ASSERT_NE(fvfDeclaration, nullptr);
  fvfDeclaration->Release();
  ASSERT_EQ(dev->SetTransform(D3DTS_WORLD, &scale), D3D_OK);
  ASSERT_EQ(dev->SetScissorRect(&inner), D3D_OK);
  ASSERT_EQ(dev->SetTextureStageState(1, D3DTSS_ALPHAARG2, D3DTA_TFACTOR), D3D_OK);
  ASSERT_EQ(dev->SetTexture(3, t), D3D_OK);
  ASSERT_EQ(dev->CreateStateBlock(D3DSBT_ALL, &block), D3D_OK);
  const D3DMATRIX identity = {{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};
  ASSERT_EQ(dev->SetTransform(D3DTS_WORLD, &identity), D3D_OK);
  ASSERT_EQ(dev->SetScissorRect(&whole), D3D_OK);
  ASSERT_EQ(dev->SetTextureStageState(1, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE), D3D_OK);
  ASSERT_EQ(dev->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE), D3D_OK);
  ASSERT_EQ(dev->SetTexture(3, nullptr), D3D_OK);
  ASSERT_EQ(dev->SetVertexDeclaration(nullptr), D3D_OK);
  ASSERT_EQ(block->Apply(), D3D_OK);
  ASSERT_EQ(dev->GetTransform(D3DTS_WORLD, &m), D3D_OK);
  EXPECT_EQ(std::memcmp(&m, &scale, sizeof m), 0);
  EXPECT_EQ(scissor(), rect(inner));
  EXPECT_EQ(got(dev->GetTextureStageState(1, D3DTSS_ALPHAARG2, &value)), (DWORD)D3DTA_TFACTOR);
  EXPECT_EQ(got(dev->GetRenderState(D3DRS_SCISSORTESTENABLE, &value)), (DWORD)FALSE);
  EXPECT_EQ(got(dev->GetFVF(&value)), (DWORD)(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1));
  ASSERT_EQ(dev->GetTexture(3, &bound), D3D_OK);
  EXPECT_EQ(bound, t);  // the block held it
  if (bound) bound->Release();
  EXPECT_EQ(block->Release(), 0u);

  // Setting render target 0 resets the viewport and the scissor rectangle to the target.
  ASSERT_EQ(dev->SetRenderTarget(0, level0(renderTexture(32, 16, D3DFMT_A8R8G8B8))), D3D_OK);
  EXPECT_TRUE(viewportIs(wholeTarget));
  EXPECT_EQ(scissor(), rect(whole));

  // A pure device answers no Get of states, but its viewport.
  D3DPRESENT_PARAMETERS pp = presentParameters(W, H, window);
  IDirect3DDevice9* pure = nullptr;
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE,
                              &pp, &pure),
            D3D_OK);
  EXPECT_EQ(pure->GetRenderState(D3DRS_ZENABLE, &value), D3DERR_INVALIDCALL);
  EXPECT_EQ(pure->GetSamplerState(0, D3DSAMP_MAGFILTER, &value), D3DERR_INVALIDCALL);
  EXPECT_EQ(pure->GetTexture(0, &bound), D3DERR_INVALIDCALL);
  EXPECT_EQ(pure->GetPixelShaderConstantF(0, read, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(pure->GetViewport(&vp), D3D_OK);
  EXPECT_EQ(pure->Release(), 0u);
}

TEST_P(ConformanceTest, DrawsAreValidated) {
  IDirect3DVertexBuffer9* vb = vertexBuffer(4 * sizeof(CVertex));
  const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
  IDirect3DIndexBuffer9* ib = indexBuffer(sizeof indices, indices);
  void* bits = nullptr;
  ASSERT_EQ(dev->SetVertexDeclaration(cDecl), D3D_OK);
  ASSERT_EQ(dev->SetStreamSource(0, vb, 0, sizeof(CVertex)), D3D_OK);
  ASSERT_EQ(dev->BeginScene(), D3D_OK);
  EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
  EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL);  // past the buffer
  EXPECT_EQ(dev->DrawPrimitive((D3DPRIMITIVETYPE)7, 0, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);  // no indices
  ASSERT_EQ(dev->SetIndices(ib), D3D_OK);
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  // Base vertex, vertex range and index values against the buffers.
  const INT cases[][4] = {{0, 0, 3, 0},    // index 3 past the range
                          {0, 1, 3, 0},    // index 0 before it
                          {1, 0, 4, 0},    // the range past the vertex buffer
                          {-1, 0, 4, 0},   // before its first vertex
                          {0, 0, 4, 3}};   // indices past the index buffer
  for (const INT* c : cases)
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, c[0], c[1], c[2], c[3], 2), D3DERR_INVALIDCALL)
        << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
  // A range once found inside is looked at again after a lock.
  ASSERT_EQ(ib->Lock(10, 2, &bits, 0), D3D_OK);
  *(uint16_t*)bits = 9;
  ASSERT_EQ(ib->Unlock(), D3D_OK);
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
  ASSERT_EQ(vb->Lock(0, 0, &bits, 0), D3D_OK);
  EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);  // a locked buffer
  ASSERT_EQ(vb->Unlock(), D3D_OK);

  // Every stream the declaration reads: unbound, too short, long enough.
  const D3DVERTEXELEMENT9 twoStreams[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
                                          {1, 0, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0}, D3DDECL_END()};
  auto* decl = made<IDirect3DVertexDeclaration9>([&](auto** d) { return dev->CreateVertexDeclaration(twoStreams, d); });
  ASSERT_EQ(dev->SetVertexDeclaration(decl), D3D_OK);
  EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
  ASSERT_EQ(dev->SetStreamSource(1, vertexBuffer(12), 0, 4), D3D_OK);
  EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
  // User-pointer draws read stream 0 alone, and leave it unbound.
  const CVertex verts[4] = {};
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, verts, sizeof(CVertex)), D3DERR_INVALIDCALL);
  ASSERT_EQ(dev->SetVertexDeclaration(cDecl), D3D_OK);
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, verts, 256), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, verts, sizeof(CVertex)), D3D_OK);
  IDirect3DVertexBuffer9* stream = vb;
  UINT offset = 1, stride = 1;
  ASSERT_EQ(dev->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
  EXPECT_TRUE(!stream && !stride);
  EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
  ASSERT_EQ(dev->EndScene(), D3D_OK);
}

TEST_P(ConformanceTest, LocksHandOutTheDirect3DLayout) {
  // Buffers: a lock of a part (size 0: to the end) sees what was written before.
  const uint8_t bytes[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  IDirect3DVertexBuffer9* vb = vertexBuffer(16, bytes);
  uint8_t* part = nullptr;
  ASSERT_EQ(vb->Lock(8, 0, (void**)&part, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(part[7], 15);
  EXPECT_EQ(vb->Unlock(), D3D_OK);
  EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
  // Textures: a full chain of levels, rows at the pitch, rectangles at their offset.
  IDirect3DTexture9* t = nullptr;
  ASSERT_EQ(dev->CreateTexture(8, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr), D3D_OK);
  EXPECT_EQ(keep(t)->GetLevelCount(), 4u);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
  EXPECT_EQ(lr.Pitch, 32);
  ((uint32_t*)((uint8_t*)lr.pBits + lr.Pitch))[3] = 0xFFABCDEF;  // texel (3, 1)
  EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);
  ASSERT_EQ(t->UnlockRect(0), D3D_OK);
  const RECT rect = {2, 1, 6, 3};
  ASSERT_EQ(t->LockRect(0, &lr, &rect, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(((uint32_t*)lr.pBits)[1], 0xFFABCDEFu);
  ASSERT_EQ(t->UnlockRect(0), D3D_OK);
  // DXT1: rows of 4x4 blocks of 8 bytes.
  uint8_t blocks[32] = {};
  blocks[24] = 0x5A;  // the last block
  IDirect3DTexture9* dxt = rawTexture(8, 8, D3DFMT_DXT1, blocks, 16, 2);
  const RECT lastBlock = {4, 4, 8, 8};
  ASSERT_EQ(dxt->LockRect(0, &lr, &lastBlock, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(lr.Pitch, 16);
  EXPECT_EQ(*(uint8_t*)lr.pBits, 0x5A);
  ASSERT_EQ(dxt->UnlockRect(0), D3D_OK);
}

TEST_P(ConformanceTest, RenderTargetsAndDepthSurfaces) {
  IDirect3DSurface9* back = backBuffer();
  IDirect3DSurface9* got = back;
  EXPECT_EQ(dev->GetRenderTarget(1, &got), D3DERR_NOTFOUND);
  EXPECT_EQ(got, nullptr);
  IDirect3DSurface9* second = level0(renderTexture(W, H, D3DFMT_A8R8G8B8));
  ASSERT_EQ(dev->SetRenderTarget(1, second), D3D_OK);
  ASSERT_EQ(dev->GetRenderTarget(1, &got), D3D_OK);
  EXPECT_EQ(got, second);
  got->Release();
  ASSERT_EQ(dev->SetRenderTarget(1, nullptr), D3D_OK);
  // The automatic depth surface, another without stencil, none.
  D3DSURFACE_DESC desc;
  ASSERT_EQ(dev->GetDepthStencilSurface(&got), D3D_OK);
  ASSERT_EQ(got->GetDesc(&desc), D3D_OK);
  EXPECT_TRUE(desc.Format == D3DFMT_D24S8 && desc.Width == W && desc.Usage == D3DUSAGE_DEPTHSTENCIL);
  got->Release();
  ASSERT_EQ(dev->SetDepthStencilSurface(depthSurface(D3DFMT_D16)), D3D_OK);
  EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  ASSERT_EQ(dev->SetDepthStencilSurface(nullptr), D3D_OK);
  EXPECT_EQ(dev->GetDepthStencilSurface(&got), D3DERR_NOTFOUND);
  EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
  // Copies: into system memory of the same size, scaled between targets.
  EXPECT_EQ(dev->GetRenderTargetData(back, plainSurface(W, H, D3DPOOL_SYSTEMMEM)), D3D_OK);
  EXPECT_EQ(dev->GetRenderTargetData(back, plainSurface(W, H / 2, D3DPOOL_SYSTEMMEM)), D3DERR_INVALIDCALL);
  const RECT half = {0, 0, W / 2, H / 2};
  EXPECT_EQ(dev->StretchRect(back, &half, second, nullptr, D3DTEXF_LINEAR), D3D_OK);
  EXPECT_EQ(dev->StretchRect(back, nullptr, second, &half, D3DTEXF_ANISOTROPIC), D3DERR_INVALIDCALL);
}

TEST_P(ConformanceTest, CapsDescribeWhatTheDeviceAccepts) {
  D3DCAPS9 caps, adapter;
  ASSERT_EQ(dev->GetDeviceCaps(&caps), D3D_OK);
  ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &adapter), D3D_OK);
  adapter.MaxAnisotropy = caps.MaxAnisotropy;  // the OpenGL device's is its context's
  EXPECT_EQ(std::memcmp(&caps, &adapter, sizeof caps), 0);
  // Each limit is the last value accepted.
  IDirect3DSurface9* target = level0(renderTexture(W, H, D3DFMT_A8R8G8B8));
  EXPECT_EQ(dev->SetRenderTarget(caps.NumSimultaneousRTs - 1, target), D3D_OK);
  EXPECT_EQ(dev->SetRenderTarget(caps.NumSimultaneousRTs, target), D3DERR_INVALIDCALL);
  IDirect3DVertexBuffer9* vb = vertexBuffer(1024);
  EXPECT_EQ(dev->SetStreamSource(caps.MaxStreams - 1, vb, 0, caps.MaxStreamStride), D3D_OK);
  EXPECT_EQ(dev->SetStreamSource(caps.MaxStreams, vb, 0, 4), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->SetStreamSource(0, vb, 0, caps.MaxStreamStride + 1), D3DERR_INVALIDCALL);
  const float registers[4] = {};
  EXPECT_EQ(dev->SetVertexShaderConstantF(caps.MaxVertexShaderConst - 1, registers, 1), D3D_OK);
  EXPECT_EQ(dev->SetVertexShaderConstantF(caps.MaxVertexShaderConst, registers, 1), D3DERR_INVALIDCALL);
}

TEST_P(ConformanceTest, DevicesAreCreatedByDirect3D9sRules) {
  constexpr DWORD hardware = D3DCREATE_HARDWARE_VERTEXPROCESSING;
  // Each case changes the engine's windowed parameters in one way.
  auto create = [&](std::function<void(D3DPRESENT_PARAMETERS&)> change, DWORD behavior = D3DCREATE_HARDWARE_VERTEXPROCESSING,
                    D3DPRESENT_PARAMETERS* written = nullptr) {
    D3DPRESENT_PARAMETERS pp = presentParameters(W, H, window);
    change(pp);
    IDirect3DDevice9* second = nullptr;
    HRESULT hr = d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, behavior, &pp, &second);
    if (second) second->Release();
    if (written) *written = pp;
    return hr;
  };
  const HRESULT refused = D3DERR_INVALIDCALL;
  auto msaa = [](D3DSWAPEFFECT swap, DWORD quality = 0, DWORD flags = 0) {
    return [=](D3DPRESENT_PARAMETERS& pp) {
      pp.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES, pp.SwapEffect = swap, pp.MultiSampleQuality = quality;
      pp.Flags = flags;
    };
  };
  EXPECT_EQ(create(msaa(D3DSWAPEFFECT_DISCARD)), D3D_OK);  // (copy: see RefusalsNameTheRuleTheyBreak)
  EXPECT_EQ(create(msaa(D3DSWAPEFFECT_DISCARD, 1)), refused);  // one quality level
  EXPECT_EQ(create(msaa(D3DSWAPEFFECT_DISCARD, 0, D3DPRESENTFLAG_LOCKABLE_BACKBUFFER)), refused);
  EXPECT_EQ(create([](auto& pp) { pp.MultiSampleType = D3DMULTISAMPLE_3_SAMPLES, pp.SwapEffect = D3DSWAPEFFECT_DISCARD; }),
            refused);
  EXPECT_EQ(create([](auto& pp) { pp.BackBufferCount = 2; }), refused);  // a copy swap has one back buffer
  EXPECT_EQ(create([](auto& pp) { pp.BackBufferCount = 4, pp.SwapEffect = D3DSWAPEFFECT_DISCARD; }), refused);
  EXPECT_EQ(create([](auto& pp) { pp.FullScreen_RefreshRateInHz = 60; }), refused);
  EXPECT_EQ(create([](auto& pp) { pp.PresentationInterval = D3DPRESENT_INTERVAL_TWO; }), refused);
  EXPECT_EQ(create([](auto& pp) { pp.AutoDepthStencilFormat = D3DFMT_A8R8G8B8; }), refused);
  EXPECT_EQ(create([](auto& pp) { pp.hDeviceWindow = nullptr; }), D3D_OK);  // the focus window serves
  for (DWORD behavior : {DWORD(0), DWORD(hardware | D3DCREATE_SOFTWARE_VERTEXPROCESSING),
                         DWORD(D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE)})
    EXPECT_EQ(create([](auto&) {}, behavior), refused) << behavior;
  // A windowed device without a size or format takes the window's and the desktop's.
  D3DPRESENT_PARAMETERS written;
  ASSERT_EQ(create([](auto& pp) { pp.BackBufferWidth = pp.BackBufferHeight = 0, pp.BackBufferFormat = D3DFMT_UNKNOWN; },
                   hardware, &written),
            D3D_OK);
  D3DDISPLAYMODE desktop;
  ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &desktop), D3D_OK);
  EXPECT_EQ(std::tie(written.BackBufferWidth, written.BackBufferHeight, written.BackBufferFormat),
            std::make_tuple(UINT(W), UINT(H), desktop.Format));

  D3DPRESENT_PARAMETERS noWindow = presentParameters(W, H, nullptr);
  IDirect3DDevice9* none = nullptr;
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, hardware, &noWindow, &none), refused);  // no window at all

  // The adapter's answers behind those rules. Displays offer X8R8G8B8 modes,
  // never A8R8G8B8 ones (as real adapters).
  const D3DFORMAT desk = desktop.Format;
  const UINT modes = d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8);
  D3DDISPLAYMODE mode;
  EXPECT_GT(modes, 0u);
  EXPECT_EQ(d3d->GetAdapterModeCount(0, D3DFMT_A8R8G8B8), 0u);
  EXPECT_EQ(d3d->EnumAdapterModes(0, D3DFMT_A8R8G8B8, 0, &mode), refused);
  EXPECT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, modes - 1, &mode), D3D_OK);
  EXPECT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, modes, &mode), refused);
  EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, desk, D3DFMT_A8R8G8B8, TRUE), D3D_OK);
  EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, desk, D3DFMT_R5G6B5, TRUE), D3DERR_NOTAVAILABLE);
  // Float targets, compressed textures that are no targets, sRGB reads of
  // 8-bit colour; no depth textures, and depth formats are no colour targets.
  auto format = [&](DWORD usage, D3DRESOURCETYPE type, D3DFORMAT f) {
    return d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, desk, usage, type, f);
  };
  EXPECT_EQ(format(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_R32F), D3D_OK);
  EXPECT_EQ(format(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_A16B16G16R16F), D3D_OK);
  EXPECT_EQ(format(0, D3DRTYPE_TEXTURE, D3DFMT_DXT5), D3D_OK);
  EXPECT_EQ(format(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_DXT5), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(format(0, D3DRTYPE_SURFACE, (D3DFORMAT)MAKEFOURCC('I', 'N', 'S', 'T')), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(format(D3DUSAGE_QUERY_SRGBREAD, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8), D3D_OK);
  EXPECT_EQ(format(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24S8), D3D_OK);
  EXPECT_EQ(format(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_TEXTURE, D3DFMT_D24S8), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(format(D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE, D3DFMT_D24S8), D3DERR_NOTAVAILABLE);
  // 4 samples with one quality level, no other count.
  auto samples = [&](D3DMULTISAMPLE_TYPE type, DWORD* levels) {
    return d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, TRUE, type, levels);
  };
  DWORD levels = 0;
  EXPECT_EQ(samples(D3DMULTISAMPLE_4_SAMPLES, &levels), D3D_OK);
  EXPECT_EQ(levels, 1u);
  EXPECT_EQ(samples(D3DMULTISAMPLE_3_SAMPLES, nullptr), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(samples(D3DMULTISAMPLE_16_SAMPLES, nullptr), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(samples(D3DMULTISAMPLE_TYPE(17), nullptr), refused);
  IDirect3DTexture9* depthTexture = nullptr;
  EXPECT_EQ(dev->CreateTexture(8, 8, 1, D3DUSAGE_DEPTHSTENCIL, D3DFMT_D24S8, D3DPOOL_DEFAULT, &depthTexture, nullptr),
            refused);
}

// With VANTREL_D3D9_DEBUG=1 each refusal says which call broke which rule,
// one line each, whichever device refused it. (The refusals here are not
// repeated in the cases above.)
TEST_P(ConformanceTest, RefusalsNameTheRuleTheyBreak) {
  const uint32_t indices[3] = {0, 1, 70000};
  IDirect3DIndexBuffer9* ib = indexBuffer(sizeof indices, indices, D3DFMT_INDEX32);
  ASSERT_EQ(dev->SetVertexDeclaration(cDecl), D3D_OK);
  ASSERT_EQ(dev->SetStreamSource(0, vertexBuffer(3 * sizeof(CVertex)), 0, sizeof(CVertex)), D3D_OK);
  ASSERT_EQ(dev->SetIndices(ib), D3D_OK);
  D3DPRESENT_PARAMETERS pp = presentParameters(W, H, window, true, D3DMULTISAMPLE_4_SAMPLES);
  IDirect3DDevice9* second = nullptr;
  setenv("VANTREL_D3D9_DEBUG", "1", 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(dev->SetRenderState(D3DRENDERSTATETYPE(0), 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->SetTexture(300, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
  ASSERT_EQ(dev->BeginScene(), D3D_OK);
  EXPECT_EQ(dev->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL);
  ASSERT_EQ(dev->EndScene(), D3D_OK);
  pp.SwapEffect = D3DSWAPEFFECT_COPY;
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &second),
            D3DERR_INVALIDCALL);
  const std::string lines = testing::internal::GetCapturedStderr();
  unsetenv("VANTREL_D3D9_DEBUG");
  EXPECT_EQ(lines,
            "SetRenderState: 0 is not a render state\n"
            "SetTexture: 300 is not a sampler stage\n"
            "DrawPrimitive: no scene is open\n"
            "BeginScene: a scene is open already\n"
            "DrawIndexedPrimitive: index 70000 outside the 3 vertices from 0\n"
            "CreateDevice: multisampling needs the discard swap effect\n");
  // Without the switch refusals say nothing.
  testing::internal::CaptureStderr();
  EXPECT_EQ(dev->SetRenderState(D3DRENDERSTATETYPE(0), 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

INSTANTIATE_TEST_SUITE_P(recording, ConformanceTest, ::testing::Values("recording"));
INSTANTIATE_TEST_SUITE_P(gl, ConformanceTest, ::testing::Values("gl"));

}  // namespace
