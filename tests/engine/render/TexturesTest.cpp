// Textures loaded by name, render targets and the back-buffer copy.

#include "RenderTestSupport.h"

namespace {

std::string viewportText(const D3DVIEWPORT9& v) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "{%u, %u, %u, %u, %g, %g}", unsigned(v.X), unsigned(v.Y), unsigned(v.Width),
                unsigned(v.Height), double(v.MinZ), double(v.MaxZ));
  return buf;
}

}  // namespace

TEST_F(RenderDeviceTest, TexturesAreLoadedOncePerExactName) {
  TestDir::write("tex/stone.bmp", makeBmp(4, 2, std::vector<uint32_t>(8, 0x808080)));
  RenderDeviceDX9* d = initDevice();
  size_t from = calls().size();
  EXPECT_EQ(d->createTexture("tex/stone.bmp"), 0);
  EXPECT_EQ(d->createTexture("tex/stone.bmp"), 0);
  EXPECT_EQ(calls().count("CreateTexture", from), 1u);
  // The file manager finds the file whatever the case, but the table keeps
  // names as given: another spelling is another texture.
  EXPECT_EQ(d->createTexture("TEX/Stone.bmp"), 1);
  EXPECT_EQ(calls().count("CreateTexture", from), 2u);
  EXPECT_EQ(d->createTexture("tex/stone.bmp"), 0);

  const TextureRecord& record = d->textures[0];
  EXPECT_EQ((std::tuple{record.width, record.height, record.format}), (std::tuple{4, 2, int(TEXFMT_X8R8G8B8)}));
  EXPECT_STREQ(record.name, "tex/stone.bmp");
  EXPECT_EQ(record.texture->GetType(), D3DRTYPE_TEXTURE);
}

TEST_F(RenderDeviceTest, RenderTargetsSaveAndRestoreTargetDepthAndViewport) {
  RenderDeviceDX9* d = initDevice();
  int shadow = d->createRenderTarget(TEXFMT_R32F, 256, 128, TEXFMT_D24S8);
  int plain = d->createRenderTarget(TEXFMT_A8R8G8B8, 64, 32, 0);
  EXPECT_EQ((std::pair{shadow, plain}), (std::pair{0, 1}));
  uint32_t w = 0, h = 0;
  d->getRenderTargetSize(shadow, w, h);
  EXPECT_EQ((std::pair{w, h}), (std::pair{256u, 128u}));
  EXPECT_EQ(d->renderTargets[plain].depthSurface, nullptr);

  IDirect3DSurface9* backBuffer = recorded()->renderTarget(0);
  IDirect3DSurface9* autoDepth = recorded()->depthStencil();
  D3DVIEWPORT9 custom = {10, 20, 300, 200, 0.0f, 1.0f};
  recorded()->SetViewport(&custom);

  d->beginRenderTarget(shadow, 0);
  EXPECT_EQ(recorded()->renderTarget(0), d->renderTargets[shadow].surface);
  EXPECT_EQ(recorded()->depthStencil(), d->renderTargets[shadow].depthSurface);
  EXPECT_EQ(viewportText(recorded()->viewport()), "{0, 0, 256, 128, 0, 1}");
  d->endRenderTarget(shadow, 0);
  EXPECT_EQ(recorded()->renderTarget(0), backBuffer);
  EXPECT_EQ(recorded()->depthStencil(), autoDepth);
  EXPECT_EQ(viewportText(recorded()->viewport()), viewportText(custom));
  EXPECT_EQ(d->renderTargets[shadow].savedTarget, nullptr);

  d->setRenderTargetTexture(2, shadow);
  EXPECT_EQ(recorded()->texture(2), d->renderTargets[shadow].texture);
  d->setRenderTargetTexture(2, -1);
  EXPECT_EQ(recorded()->texture(2), nullptr);

  // A released target keeps its index, with nothing in it.
  d->releaseRenderTarget(shadow);
  d->releaseRenderTarget(-1);
  EXPECT_EQ(d->renderTargets.count, 2u);
  EXPECT_EQ(d->renderTargets[shadow].texture, nullptr);
  EXPECT_EQ(d->renderTargets[shadow].format, 0);
  size_t from = calls().size();
  d->beginRenderTarget(shadow, 0);
  d->beginRenderTarget(7, 0);
  d->endRenderTarget(7, 0);
  EXPECT_EQ(calls().size(), from);
}

TEST_F(RenderDeviceTest, BackBufferCopyFailuresAreLoggedWithoutLineEnds) {
  RenderDeviceDX9* d = initDevice();
  int target = d->createRenderTarget(TEXFMT_A8R8G8B8, 1024, 768, TEXFMT_D24S8);
  logOpen();

  size_t from = calls().size();
  d->getBackbuffer(target);
  std::vector<std::string> stretch = calls().textsOf("StretchRect", from);
  ASSERT_EQ(stretch.size(), 1u);
  EXPECT_TRUE(startsWith(stretch[0], "StretchRect(" + recordingName(recorded()->backBuffer()) + ", null, ")) << stretch[0];
  EXPECT_TRUE(stretch[0].find(", null, 2)") != std::string::npos) << stretch[0];

  for (const char* call : {"Texture.GetSurfaceLevel", "GetBackBuffer", "StretchRect"}) {
    recordingFailCall(call);
    d->getBackbuffer(target);
    recordingClearFailures();
  }
  d->getBackbuffer(99);
  EXPECT_EQ(logText(),
            "RenderDeviceDX9::getBackbuffer: GetSurfaceLevel failed."
            "RenderDeviceDX9::getBackbuffer: GetBackBuffer failed."
            "RenderDeviceDX9::getBackbuffer: StretchRect failed."
            "RenderDeviceDX9::getBackbuffer: GetSurfaceLevel failed.");
  // Every surface taken on the way was given back (the shutdown check sees leaks).
}

TEST_F(RenderDeathTest, TextureCreationFailuresEndTheProcess) {
  // No scratch folder: the children exit without cleaning up.
  TestDir::write("render-broken.png", "\x89PNG\r\n\x1a\nthis is not an image");
  initDevice();
  EXPECT_FATAL(device()->createTexture("render-broken.png"),
               "error: RenderDeviceDX9::createTexture: Failed to obtain image information.");
  EXPECT_FATAL(device()->createTexture("missing.png"), "error: FileManagerOS::load: File not found: 'missing.png'.");
  EXPECT_FATAL(device()->createRenderTarget(TEXFMT_A8R8G8B8, 64, 64, TEXFMT_A8R8G8B8),
               "error: RenderDeviceDX9::createRenderTarget: CreateDepthStencilSurface failed.");
}
