// The recording device's own behaviour: implementation selection, adapter
// answers from the configuration, injected failures, counters and the log.
// What it shares with the OpenGL device is tested by ConformanceTest.

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
  EXPECT_EQ(std::pair(mode.Width, mode.RefreshRate), std::pair(1024u, 75u));
  EXPECT_EQ(d3d->EnumAdapterModes(0, D3DFMT_R5G6B5, 2, &mode), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24S8),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D32), S_OK);
  EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_A8R8G8B8, FALSE), D3DERR_NOTAVAILABLE);

  // The log names calls as they were made, in order, with their results.
  std::vector<std::string> texts = recordingLog().texts();
  ASSERT_GE(texts.size(), 4u);
  EXPECT_EQ((std::vector(texts.begin(), texts.begin() + 2)),
            (std::vector<std::string>{"Direct3DCreate9(32)", "EnumAdapterModes(0, 22, 0, ptr)"}));
  EXPECT_EQ(recordingLog().calls()[1].result, D3DERR_INVALIDCALL);

  // Injected failures: skip the first match, then fail once.
  recordingFailCall("GetAdapterDisplayMode", D3DERR_NOTAVAILABLE, 1, 1);
  EXPECT_EQ(d3d->GetAdapterDisplayMode(0, &mode), S_OK);
  EXPECT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->GetAdapterDisplayMode(0, &mode), S_OK);
  recordingFailCall("Direct3DCreate9");
  EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
  recordingClearFailures();

  D3DPRESENT_PARAMETERS pp = {1024, 768, D3DFMT_R5G6B5, 0, D3DMULTISAMPLE_NONE, 0, D3DSWAPEFFECT_DISCARD, nullptr,
                              FALSE, FALSE, D3DFMT_UNKNOWN, 0, 75, 0};
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

// (How calls read in the log is held by the engine's render tests, e.g.
// MaterialsTest's sampler states and DeviceInitTest's Clear; the draw counter
// by BuffersTest, the last user-pointer vertices by PostFXTest.)
TEST_F(RecordingDeviceState, LogsRefusedDeclarationsAndCountsNoFailedPresent) {
  // A refused declaration is logged up to the element refused.
  const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                        {0, 14, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0}, D3DDECL_END()};
  IDirect3DVertexDeclaration9* decl = nullptr;
  EXPECT_EQ(device->CreateVertexDeclaration(elements, &decl), D3DERR_INVALIDCALL);
  EXPECT_EQ(recordingLog().texts().back(), "CreateVertexDeclaration({{0, 0, 2, 0, 0, 0}, {0, 14, 1, 0, 5, 0}}, ptr)");

  // A failure asked for with no count repeats.
  recordingFailCall("Present", D3DERR_DEVICELOST);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  EXPECT_EQ(rec->presentCount(), 0);
}
