// The recording device: implementation selection, adapter answers from the
// configuration, injected failures, kept state with Direct3D 9's reference
// counting, validation of invalid calls, and the log.

#include "support/D3DXTestSupport.h"

TEST(RecordingDirect3D, SelectionAdapterAnswersAndFailures) {
  recordingReset();
  EXPECT_TRUE(d3d9SelectImplementation("recording"));
  EXPECT_FALSE(d3d9SelectImplementation("no such device"));
  EXPECT_STREQ(d3d9CurrentImplementation(), "recording");
  EXPECT_EQ(Direct3DCreate9(31), nullptr);

  RecordingConfig& config = recordingConfig();
  config.modes.clear();
  config.modes[D3DFMT_R5G6B5] = {{800, 600, 60, D3DFMT_R5G6B5}, {1024, 768, 75, D3DFMT_R5G6B5}};
  config.depthFormats = {D3DFMT_D16, D3DFMT_D32};
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d, nullptr);
  D3DDISPLAYMODE mode;
  EXPECT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, 0, &mode), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d->GetAdapterModeCount(0, D3DFMT_R5G6B5), 2u);
  ASSERT_EQ(d3d->EnumAdapterModes(0, D3DFMT_R5G6B5, 1, &mode), S_OK);
  EXPECT_EQ(mode.Width, 1024u);
  EXPECT_EQ(mode.RefreshRate, 75u);
  EXPECT_EQ(d3d->EnumAdapterModes(0, D3DFMT_R5G6B5, 2, &mode), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24S8),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D32), S_OK);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_SURFACE, (D3DFORMAT)MAKEFOURCC('I', 'N', 'S', 'T')),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, TRUE), S_OK);
  EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_A8R8G8B8, FALSE), D3DERR_NOTAVAILABLE);

  // The log names calls as they were made, in order, with their results.
  std::vector<std::string> texts = recordingLog().texts();
  ASSERT_GE(texts.size(), 4u);
  EXPECT_EQ(texts[0], "Direct3DCreate9(32)");
  EXPECT_EQ(texts[1], "EnumAdapterModes(0, 22, 0, ptr)");
  EXPECT_EQ(recordingLog().calls()[1].result, D3DERR_INVALIDCALL);

  // Injected failures: skip the first match, then fail once.
  recordingFailCall("GetAdapterDisplayMode", D3DERR_NOTAVAILABLE, 1, 1);
  EXPECT_EQ(d3d->GetAdapterDisplayMode(0, &mode), S_OK);
  EXPECT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->GetAdapterDisplayMode(0, &mode), S_OK);
  recordingFailCall("Direct3DCreate9");
  EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
  recordingClearFailures();

  D3DPRESENT_PARAMETERS pp = {};
  pp.BackBufferWidth = 1024;
  pp.BackBufferHeight = 768;
  pp.BackBufferFormat = D3DFMT_R5G6B5;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = FALSE;
  pp.FullScreen_RefreshRateInHz = 75;
  IDirect3DDevice9* device = nullptr;
  recordingFailCall("CreateDevice", D3DERR_NOTAVAILABLE, 1);
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, RecordingFixture::window(), D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(device, nullptr);
  pp.FullScreen_RefreshRateInHz = 60;  // no such mode
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, RecordingFixture::window(), D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
            D3DERR_INVALIDCALL);
  pp.FullScreen_RefreshRateInHz = 75;
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, RecordingFixture::window(), D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
            S_OK);
  EXPECT_EQ(recordingDevice()->presentParameters().BackBufferFormat, D3DFMT_R5G6B5);
  EXPECT_EQ(device->Release(), 0u);
  EXPECT_EQ(recordingDevice(), nullptr);
  EXPECT_EQ(d3d->Release(), 0u);
  EXPECT_EQ(recordingLiveObjects(), 0) << recordingLiveObjectList();
  d3d9SelectImplementation(nullptr);
  recordingReset();
}

class RecordingDeviceState : public RecordingFixture {};

TEST_F(RecordingDeviceState, TargetsDepthAndViewportKeepReferencesAsDirect3DDoes) {
  IDirect3DTexture9* target = nullptr;
  ASSERT_EQ(device->CreateTexture(32, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R32F, D3DPOOL_DEFAULT, &target, nullptr), S_OK);
  IDirect3DSurface9* surface = nullptr;
  ASSERT_EQ(target->GetSurfaceLevel(0, &surface), S_OK);
  EXPECT_EQ(recordingObject(target)->refCount(), 2u);  // the level shares its texture's count
  IDirect3DSurface9* depth = nullptr;
  ASSERT_EQ(device->CreateDepthStencilSurface(32, 16, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, TRUE, &depth, nullptr), S_OK);

  IDirect3DSurface9* saved = nullptr;
  ASSERT_EQ(device->GetRenderTarget(0, &saved), S_OK);
  EXPECT_EQ(saved, rec->backBuffer());
  D3DVIEWPORT9 small = {2, 2, 10, 10, 0, 1};
  ASSERT_EQ(device->SetViewport(&small), S_OK);
  ASSERT_EQ(device->SetRenderTarget(0, surface), S_OK);
  // Setting target 0 resets the viewport to the whole target.
  EXPECT_EQ(rec->viewport().Width, 32u);
  EXPECT_EQ(rec->viewport().Height, 16u);
  EXPECT_EQ(recordingObject(target)->refCount(), 3u);
  D3DVIEWPORT9 tooBig = {0, 0, 33, 16, 0, 1};
  EXPECT_EQ(device->SetViewport(&tooBig), D3DERR_INVALIDCALL);
  ASSERT_EQ(device->SetDepthStencilSurface(depth), S_OK);
  EXPECT_EQ(device->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetRenderTarget(1, depth), D3DERR_INVALIDCALL);

  ASSERT_EQ(device->SetRenderTarget(0, saved), S_OK);
  saved->Release();
  EXPECT_EQ(recordingObject(target)->refCount(), 2u);
  surface->Release();
  EXPECT_EQ(target->Release(), 0u);
  // The device still holds the depth surface it was given.
  EXPECT_EQ(depth->Release(), 1u);
  ASSERT_EQ(device->SetDepthStencilSurface(nullptr), S_OK);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1.0f, 0), S_OK);
  EXPECT_EQ(recordingLog().texts().back(), "Clear(0, null, 0x1, 0xff000000, 1, 0)");
}

TEST_F(RecordingDeviceState, DrawsAreValidatedAgainstTheBoundState) {
  D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
  IDirect3DVertexDeclaration9* decl = nullptr;
  ASSERT_EQ(device->CreateVertexDeclaration(elements, &decl), S_OK);
  IDirect3DVertexBuffer9* vb = nullptr;
  ASSERT_EQ(device->CreateVertexBuffer(4 * 12, D3DUSAGE_WRITEONLY, D3DFVF_XYZ, D3DPOOL_DEFAULT, &vb, nullptr), S_OK);
  IDirect3DVertexBuffer9* empty = vb;
  EXPECT_EQ(device->CreateVertexBuffer(0, 0, D3DFVF_XYZ, D3DPOOL_DEFAULT, &empty, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(empty, nullptr);
  EXPECT_EQ(device->CreateVertexBuffer(8, 0, D3DFVF_XYZ, D3DPOOL_DEFAULT, &empty, nullptr), D3DERR_INVALIDCALL);
  IDirect3DIndexBuffer9* ib = nullptr;
  ASSERT_EQ(device->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), S_OK);
  void* data = nullptr;
  ASSERT_EQ(ib->Lock(0, 0, &data, 0), S_OK);
  const uint16_t indices[6] = {0, 1, 2, 2, 3, 0};
  std::memcpy(data, indices, sizeof indices);
  ASSERT_EQ(ib->Unlock(), S_OK);
  EXPECT_EQ(ib->Unlock(), D3DERR_INVALIDCALL);
  EXPECT_EQ(ib->Lock(0, 0, &data, D3DLOCK_DISCARD), D3DERR_INVALIDCALL);  // not dynamic

  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);  // outside a scene
  ASSERT_EQ(device->BeginScene(), S_OK);
  EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);  // no declaration
  device->SetVertexDeclaration(decl);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);  // no stream
  device->SetStreamSource(0, vb, 0, 12);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), S_OK);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 2, 1), D3DERR_INVALIDCALL);  // past the buffer
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);  // no indices
  device->SetIndices(ib);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), S_OK);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 2), D3DERR_INVALIDCALL);  // index 3 outside
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2), D3DERR_INVALIDCALL);  // base past the end
  const float quad[4 * 3] = {};
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 12), S_OK);
  // The user-pointer draw leaves stream 0 unbound.
  EXPECT_EQ(rec->streamSource(0), nullptr);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
  ASSERT_EQ(device->EndScene(), S_OK);
  EXPECT_EQ(rec->drawCount(), 3);

  recordingFailCall("Present", D3DERR_DEVICELOST);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  EXPECT_EQ(rec->presentCount(), 0);

  // Resources outlive the released device, and free it when they go.
  decl->Release();
  ib->Release();
  device->Release();
  device = nullptr;
  EXPECT_EQ(recordingDevice(), nullptr);
  IDirect3DDevice9* owner = nullptr;
  ASSERT_EQ(vb->GetDevice(&owner), S_OK);
  owner->Release();
  EXPECT_GT(recordingLiveObjects(), 0);
  vb->Release();
}

TEST_F(RecordingDeviceState, RegistersStatesAndPureDevices) {
  const float values[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(device->SetVertexShaderConstantF(254, values, 2), S_OK);
  EXPECT_EQ(device->SetVertexShaderConstantF(255, values, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetPixelShaderConstantF(223, values, 1), S_OK);
  EXPECT_EQ(device->SetPixelShaderConstantF(224, values, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(rec->vertexConstant(255)[3], 8.0f);
  EXPECT_EQ(device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE), S_OK);
  EXPECT_EQ(rec->renderState(D3DRS_ZENABLE), (DWORD)D3DZB_FALSE);
  EXPECT_EQ(rec->renderState(D3DRS_CULLMODE), (DWORD)D3DCULL_CCW);  // Direct3D's default
  EXPECT_EQ(device->SetSamplerState(3, D3DSAMP_BORDERCOLOR, 0xFFFFFFFF), S_OK);
  EXPECT_EQ(recordingLog().texts().back(), "SetSamplerState(3, 4, 0xffffffff)");
  EXPECT_EQ(rec->samplerState(3, D3DSAMP_MAGFILTER), (DWORD)D3DTEXF_POINT);
  DWORD value = 0;
  EXPECT_EQ(device->GetRenderState(D3DRS_ZENABLE, &value), S_OK);

  // A pure device answers no Get of states.
  D3DPRESENT_PARAMETERS pp = rec->presentParameters();
  IDirect3DDevice9* pure = nullptr;
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window(), D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE, &pp, &pure), S_OK);
  EXPECT_EQ(pure->GetRenderState(D3DRS_ZENABLE, &value), D3DERR_INVALIDCALL);
  D3DVIEWPORT9 vp;
  EXPECT_EQ(pure->GetViewport(&vp), S_OK);
  pure->Release();
}
