// The render device on the OpenGL implementation (Mesa's llvmpipe, no
// display): a frame drawn through a material and read back, and textures
// loaded through the file manager.

#include <stb_image_write.h>

#include <tuple>

#include "RenderTestSupport.h"
#include "support/GlRenderDeviceTest.h"
#include "support/SurfaceReadback.h"

namespace {

const char* passThroughVertexShader =
    "struct VsIn {\tfloat4 position: POSITION;\tfloat2 texCoord: TEXCOORD;};VsIn main(VsIn inp){\nreturn inp;}\n";
const char* texturePixelShader =
    "sampler2D Base: register(s0);float4 materialDiffuse;float4 main(float2 texCoord: TEXCOORD): COLOR "
    "{\treturn tex2D(Base, texCoord) * materialDiffuse;}";

std::string makeJpeg(int width, int height) {
  std::vector<uint8_t> rgb(size_t(width * height * 3));
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 13);
  std::string out;
  stbi_write_jpg_to_func(appendBytes, &out, width, height, 3, rgb.data(), 90);
  return out;
}

class RenderGlTest : public GlRenderDeviceTest {
 protected:
  void SetUp() override {
    GlRenderDeviceTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(start(64, 64));
  }
};

}  // namespace

TEST_F(RenderGlTest, TexturedQuadThroughAMaterial) {
  // Red, green / blue, white.
  TestDir::write("quad.bmp", makeBmp(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
  Material material;
  material.shader = device->createShader(passThroughVertexShader, texturePixelShader);
  ASSERT_GE(material.shader, 0);
  material.textures[0] = device->createTexture("quad.bmp");
  material.samplerFlags[0] = SAMPLER_CLAMP;  // point sampling, no mipmaps, no sRGB decoding
  material.renderFlags = RF_DEPTH_OFF | RF_CULL_NONE | RF_FILL_SOLID | RF_BLEND_OFF;
  for (float& channel : material.diffuse) channel = 1;
  device->compileRenderStates(&material);

  // The quad covers the left half, pixel centres on integer coordinates.
  const float w = 32, h = 64;
  const float quad[4][6] = {
      {-0.5f, h - 0.5f, 0, 1, 0, 1}, {-0.5f, -0.5f, 0, 1, 0, 0}, {w - 0.5f, h - 0.5f, 0, 1, 1, 1}, {w - 0.5f, -0.5f, 0, 1, 1, 0}};
  device->beginScene();
  device->clear(BUFFER_COLOR | BUFFER_DEPTH, 0xFF204060, 0);
  device->setMaterial(&material);
  device->SetVertexDecl(VERTEXFORMAT_SCREEN);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 24);
  device->endScene();

  std::vector<uint32_t> pixels = readSurface(device->device).words();
  ASSERT_EQ(pixels.size(), 64u * 64u);
  // Alpha is left out: an X8R8G8B8 back buffer holds none.
  // The four texels, the clear colour beside the quad, and the quad's edge
  // exactly between columns 31 and 32.
  auto at = [&](int x, int y) { return pixels[size_t(y * 64 + x)] | 0xFF000000u; };
  EXPECT_EQ((std::vector<uint32_t>{at(8, 16), at(24, 16), at(8, 48), at(24, 48), at(48, 32), at(31, 40), at(32, 40)}),
            (std::vector<uint32_t>{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu, 0xFF204060u, 0xFFFFFFFFu,
                                   0xFF204060u}));

  device->present();
  std::string log = TestDir::read("log.txt");
  EXPECT_EQ(log.find("failed"), std::string::npos) << log;
}

// A cube, a mapped and an unmapped format (0), a compressed one and a JPEG.
TEST_F(RenderGlTest, TexturesReportTheirSizesAndFormats) {
  TestDir::write("textures/plain.dds", makeDds(ddsA8R8G8B8, 16, 8, false));
  TestDir::write("textures/sky.dds", makeDds(ddsA8R8G8B8, 8, 8, true));
  TestDir::write("textures/x1.dds", makeDds(ddsX1R5G5B5, 8, 4, false));
  TestDir::write("textures/dxt.dds", makeDds(ddsDXT1, 16, 16, false));
  TestDir::write("textures/photo.jpg", makeJpeg(20, 12));
  files.addPath("textures/");

  const std::tuple<const char*, int, int, int, D3DRESOURCETYPE> expected[] = {
      {"plain.dds", 16, 8, TEXFMT_A8R8G8B8, D3DRTYPE_TEXTURE}, {"sky.dds", 8, 8, TEXFMT_A8R8G8B8, D3DRTYPE_CUBETEXTURE},
      {"x1.dds", 8, 4, 0, D3DRTYPE_TEXTURE}, {"dxt.dds", 16, 16, TEXFMT_DXT1, D3DRTYPE_TEXTURE},
      {"photo.jpg", 20, 12, TEXFMT_X8R8G8B8, D3DRTYPE_TEXTURE}};
  for (auto [name, width, height, format, type] : expected) {
    int index = device->createTexture(name);
    ASSERT_GE(index, 0) << name;
    const TextureRecord& r = device->textures[index];
    EXPECT_EQ((std::tuple{r.width, r.height, r.format, r.texture->GetType()}),
              (std::tuple{width, height, format, type}))
        << name;
  }
  EXPECT_EQ(device->textures.count, 5u);
}
