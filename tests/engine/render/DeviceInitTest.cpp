// Device creation, display modes, shutdown and the frame operations, against
// the recording Direct3D.

#include "RenderTestSupport.h"

#include <tuple>

TEST_F(RenderDeviceTest, InitRunsItsStepsInOrderAndLogsOneStartBlock) {
  RenderDeviceDX9* d = initDevice(BUFFER_COLOR | BUFFER_DEPTH);

  std::vector<std::string> expected = {
      "Direct3DCreate9", "GetAdapterDisplayMode", "CheckDeviceFormat", "CheckDeviceType", "GetDeviceCaps",
      "CreateDevice",    "GetDeviceCaps",         "SetRenderState",   "CreateVertexDeclaration",
      "CreateVertexDeclaration", "CreateVertexDeclaration", "CreateVertexDeclaration", "SetVertexDeclaration"};
  // resetStateCache: linear filtering with linear mipmaps on stages 0..7.
  for (int stage = 0; stage < 8; ++stage)
    for (int i = 0; i < 3; ++i) expected.push_back("SetSamplerState");
  // The dynamic buffers, then the quad index buffer filled.
  expected.insert(expected.end(), {"CreateVertexBuffer", "CreateIndexBuffer", "CreateIndexBuffer", "Lock", "Unlock"});
  EXPECT_EQ(methodsFrom(0), expected) << calls().dump();

  // The first depth candidate the default adapter offers is D32; the
  // back buffer gets A8R8G8B8 over the X8R8G8B8 desktop; hardware vertex
  // processing on a pure device.
  EXPECT_EQ((std::vector<std::string>{calls().texts()[2], calls().texts()[3], calls().texts()[7]}),
            (std::vector<std::string>{"CheckDeviceFormat(0, 1, 22, 0x2, 1, 71)", "CheckDeviceType(0, 1, 22, 21, 1)",
                                      "SetRenderState(137, 0)"}));
  EXPECT_EQ(calls().textsOf("SetVertexDeclaration")[0],
            "SetVertexDeclaration(" + recordingName(d->declaration(VERTEXFORMAT_DEFAULT)) + ")");
  const D3DPRESENT_PARAMETERS& pp = recorded()->presentParameters();
  EXPECT_EQ(std::tie(pp.BackBufferWidth, pp.BackBufferHeight, pp.BackBufferFormat, pp.BackBufferCount, pp.SwapEffect,
                     pp.AutoDepthStencilFormat, pp.FullScreen_RefreshRateInHz, pp.PresentationInterval),
            std::make_tuple(1024u, 768u, D3DFMT_A8R8G8B8, 1u, D3DSWAPEFFECT_COPY, D3DFMT_D32, 0u,
                            (UINT)D3DPRESENT_INTERVAL_IMMEDIATE));
  EXPECT_TRUE(pp.Windowed && pp.EnableAutoDepthStencil);
  EXPECT_EQ(recorded()->behaviorFlags(), DWORD(D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE));
  EXPECT_EQ(recorded()->focusWindow(), testWindow());

  // The built-in shaders come last, after the quad index buffer.
  EXPECT_EQ((std::pair{builtInCompileCalls, builtInCompileLogSize}), (std::pair{1, calls().size()}));

  EXPECT_EQ(logText(),
            "Resolution: 1024x768 60 Hz Format: A8R8G8B8\n"
            "PixelShaderVersion = 3.0\n"
            "VertexShaderVersion = 3.0\n"
            "TextureStages = 8\n"
            "MaxAnisotropy = 16\n"
            "CanAutoGenMipMap = true\n"
            "\n");
  // The cache knows the declaration init bound: drawing with it sends nothing.
  size_t from = calls().size();
  d->SetVertexDecl(VERTEXFORMAT_DEFAULT);
  EXPECT_EQ(calls().size(), from);
}

TEST_F(RenderDeviceTest, FullscreenFindsASizeThatExistsOnlyAsR5G6B5) {
  recordingConfig().modes[D3DFMT_R5G6B5].push_back({800, 500, 75, D3DFMT_R5G6B5});
  initDevice(BUFFER_COLOR | BUFFER_DEPTH, testSettings(true), testMode(800, 500, 75));

  // Every candidate format is enumerated until it runs out, up to the match.
  std::vector<std::string> enumerated;
  for (const std::string& text : calls().textsOf("EnumAdapterModes")) enumerated.push_back(text.substr(20, 2));
  std::vector<std::string> expected = {"21"};  // no A8R8G8B8 modes
  for (int i = 0; i < 7; ++i) expected.push_back("22");
  expected.insert(expected.end(), {"31", "25", "24"});
  for (int i = 0; i < 7; ++i) expected.push_back("23");
  EXPECT_EQ(enumerated, expected);

  // The mode's format becomes the adapter format of every later check.
  EXPECT_EQ(calls().textsOf("CheckDeviceFormat")[0], "CheckDeviceFormat(0, 1, 23, 0x2, 1, 71)");
  const D3DPRESENT_PARAMETERS& pp = recorded()->presentParameters();
  EXPECT_EQ(std::tie(pp.BackBufferFormat, pp.Windowed, pp.SwapEffect, pp.FullScreen_RefreshRateInHz),
            std::make_tuple(D3DFMT_R5G6B5, FALSE, D3DSWAPEFFECT_DISCARD, 75u));
  // No format line for a 16-bit back buffer: the resolution line runs on.
  EXPECT_EQ(logText().rfind("Resolution: 800x500 75 Hz PixelShaderVersion = 3.0\n", 0), 0u) << logText();
}

// The launcher's default: windowed with 4x anti-aliasing. Direct3D 9 refuses
// multisampling with a copy swap, so such a start asks for the discard one;
// the log is the same as without anti-aliasing.
TEST_F(RenderDeviceTest, AWindowedAntiAliasedStartCreatesItsDevice) {
  DeviceSettings settings = testSettings();
  settings.multiSampleType = 4;
  initDevice(BUFFER_COLOR | BUFFER_DEPTH, settings);
  ASSERT_NE(recorded(), nullptr) << calls().dump();
  const D3DPRESENT_PARAMETERS& pp = recorded()->presentParameters();
  EXPECT_EQ(std::tie(pp.Windowed, pp.MultiSampleType, pp.SwapEffect),
            std::make_tuple(TRUE, D3DMULTISAMPLE_4_SAMPLES, D3DSWAPEFFECT_DISCARD));
  EXPECT_EQ(logText().rfind("Resolution: 1024x768 60 Hz Format: A8R8G8B8\nPixelShaderVersion = 3.0\n", 0), 0u);
}

// Depth and stencil, as every caller asks: the stencil list's first entry.
// (Depth without stencil, or no depth at all, no caller asks for.)
TEST_F(RenderDeviceTest, DepthAndStencilTakeTheFirstStencilFormat) {
  initDevice(BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL);
  EXPECT_EQ(recorded()->presentParameters().AutoDepthStencilFormat, D3DFMT_D24S8);
}

TEST_F(RenderDeviceTest, OlderAdapterLogsItsLimitsAndSwitchesInstancingOn) {
  D3DCAPS9& caps = recordingConfig().caps;
  caps.PixelShaderVersion = D3DPS_VERSION(2, 0);
  caps.VertexShaderVersion = D3DVS_VERSION(2, 0);
  caps.DevCaps &= ~DWORD(D3DDEVCAPS_HWTRANSFORMANDLIGHT);
  caps.VertexProcessingCaps = 0;
  caps.Caps2 = 0;
  recordingConfig().surfaceFormats.push_back(D3DFORMAT(MAKEFOURCC('I', 'N', 'S', 'T')));
  initDevice();

  EXPECT_EQ(recorded()->behaviorFlags(), DWORD(D3DCREATE_SOFTWARE_VERTEXPROCESSING));
  EXPECT_GE(calls().indexOf("CheckDeviceFormat(0, 1, 22, 0x0, 1, 1414745673)"), 0) << calls().dump();
  EXPECT_EQ(recorded()->renderState(D3DRS_POINTSIZE), 0x54534E49u);
  EXPECT_EQ(logText(),
            "Resolution: 1024x768 60 Hz Format: A8R8G8B8\n"
            "D3DDEVCAPS_HWTRANSFORMANDLIGHT not supported.\n"
            "WARNING: Using software vertex processing.\n"
            "PixelShaderVersion = 2.0\n"
            "VertexShaderVersion = 2.0\n"
            "TextureStages = 8\n"
            "MaxAnisotropy = 16\n"
            "CanAutoGenMipMap = false\n"
            "\n"
            "ATI Instancing enabled.\n"
            "WARNING: Graphics adapter does not support HW Instancing!\n");
}

// (Shader model 3 says nothing of instancing: the first test's whole log.)
TEST_F(RenderDeviceTest, InstancingWarningWithoutTheSwitch) {
  recordingConfig().caps.PixelShaderVersion = D3DPS_VERSION(2, 0);
  initDevice();
  std::string log = logText();
  EXPECT_EQ(log.find("ATI Instancing enabled."), std::string::npos);
  EXPECT_NE(log.find("\n\nWARNING: Graphics adapter does not support HW Instancing!\n"), std::string::npos);
  EXPECT_EQ(calls().count("SetRenderState"), 1u);  // lighting only
}

TEST_F(RenderDeviceTest, ShutdownReleasesEverythingAndCanRunTwice) {
  RenderDeviceDX9* d = initDevice();
  d->createRenderTarget(TEXFMT_A8R8G8B8, 64, 64, TEXFMT_D24S8);
  d->beginRenderTarget(0, 0);  // left active: its saved surfaces must go too
  auto* vb = TRACKED_NEW(VertexBuffer);
  vb->create(3, VERTEXFORMAT_MESH, false);
  vb->bind();
  d->releaseBuffer(vb->handle);  // the caller's buffer; the device still has it bound
  d->shutdown();
  EXPECT_EQ(recordingLiveObjects(), 0) << recordingLiveObjectList();
  EXPECT_EQ(d->device, nullptr);
  EXPECT_EQ(d->renderTargets.count, 0u);
  size_t before = calls().size();
  d->shutdown();
  EXPECT_EQ(calls().size(), before);
  TRACKED_DELETE(vb);

  // A second device starts from Direct3D's defaults, so the cache sends the
  // sampler states again.
  calls().clear();
  initDevice();
  EXPECT_EQ(calls().count("SetSamplerState"), 24u);
  EXPECT_EQ(recorded()->samplerState(7, D3DSAMP_MINFILTER), DWORD(D3DTEXF_LINEAR));
}

TEST_F(RenderDeviceTest, FrameOperationsLogTheirFailuresWithoutLineEnds) {
  RenderDeviceDX9* d = initDevice(BUFFER_COLOR | BUFFER_DEPTH);
  logOpen();
  d->beginScene();
  EXPECT_TRUE(d->inScene);
  d->clear(BUFFER_COLOR | BUFFER_DEPTH | 8, 0xFF102030, 0);
  EXPECT_EQ(calls().textsOf("Clear").back(), "Clear(0, null, 0x3, 0xff102030, 1, 0)");
  d->clear(BUFFER_STENCIL, 0, 1);  // no stencil in a D32 depth buffer
  d->endScene();
  d->endScene();  // only once to the device
  EXPECT_EQ(calls().count("EndScene"), 1u);

  recordingFailCall("Present", D3DERR_DEVICELOST);
  d->present();
  d->present();
  recordingClearFailures();
  recordingFailCall("Present", E_FAIL);
  d->present();
  EXPECT_EQ(logText(),
            "RenderDeviceDX9::clear failed!"
            "RenderDeviceDX9::present failed: Device lost!"
            "RenderDeviceDX9::present failed: Device lost!");
}

TEST_F(RenderDeathTest, StartUpFailuresEndTheProcessWithTheirMessages) {
  EXPECT_FATAL(initDevice(BUFFER_STENCIL), "error: RenderDeviceDX9::init: Stencil without depth-buffer!");
  EXPECT_FATAL(getRenderDevice()->init(nullptr, testMode(), testSettings(), BUFFER_COLOR),
               "error: RenderDeviceDX9::init: Invalid window handle!");
  EXPECT_FATAL(initDevice(BUFFER_COLOR, testSettings(true), testMode(1000, 700)),
               "error: RenderDeviceDX9::init: No matching display mode found!");
  recordingFailCall("CreateDevice");
  EXPECT_FATAL(initDevice(), "error: RenderDeviceDX9::init: Couldn't create D3D device!");
  recordingClearFailures();
  recordingFailCall("CreateVertexDeclaration", E_FAIL, 1);  // the first of four
  EXPECT_FATAL(initDevice(), "error: CreateVertexDeclaration failed! \\(RenderDeviceDX9::init\\)");
  recordingClearFailures();
  // Only D16 and D32: neither is in the stencil list.
  recordingConfig().depthFormats = {D3DFMT_D16, D3DFMT_D32};
  EXPECT_FATAL(initDevice(BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL),
               "error: RenderDeviceDX9::init: No depth format found!");
}
