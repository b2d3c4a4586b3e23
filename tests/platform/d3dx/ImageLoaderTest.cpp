// The image functions: info, 2-D and cube textures from memory, decoded to
// the right size, format and texels (files made here: JPEG and PNG through
// stb_image_write, DDS written byte by byte), full mip chains, and clean
// failures for truncated or corrupt data.

#include "support/D3DXTestSupport.h"

#include <stb_image_write.h>

#include <tuple>
#include <vector>

namespace {

std::vector<uint8_t> encode(bool png, int w, int h, int channels, const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> out;
  auto sink = [](void* ctx, void* data, int size) {
    auto* v = static_cast<std::vector<uint8_t>*>(ctx);
    v->insert(v->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  };
  if (png)
    stbi_write_png_to_func(sink, &out, w, h, channels, pixels.data(), w * channels);
  else
    stbi_write_jpg_to_func(sink, &out, w, h, channels, pixels.data(), 95);
  return out;
}

void put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back((uint8_t)(x >> (8 * i)));
}

// A DDS header: fourCC or RGB masks, mip count, cube flag.
std::vector<uint8_t> ddsHeader(uint32_t w, uint32_t h, uint32_t mips, uint32_t fourCC, uint32_t bits, uint32_t r,
                               uint32_t g, uint32_t b, uint32_t a, bool cube) {
  std::vector<uint8_t> v = {'D', 'D', 'S', ' '};
  const uint32_t mipFlag = mips > 1 ? 0x20000 : 0, capsMip = mips > 1 ? 0x400008 : 0;
  // size, flags, height, width, pitch, depth, mip count, 11 reserved words
  for (uint32_t x : {124u, 0x1 | 0x2 | 0x4 | 0x1000 | mipFlag, h, w, 0u, 0u, mips}) put32(v, x);
  v.resize(v.size() + 44, 0);
  // pixel format: size, flags, fourCC, bits, masks; then caps 1..4, reserved
  for (uint32_t x : {32u, fourCC ? 0x4u : (0x40u | (a ? 0x1u : 0u)), fourCC, bits, r, g, b, a,
                     0x1000 | capsMip | (cube ? 0x8u : 0u), cube ? 0x200u | 0xFC00u : 0u, 0u, 0u, 0u})
    put32(v, x);
  return v;
}

uint32_t texel(const std::vector<uint8_t>& level, UINT width, UINT x, UINT y) {
  const uint8_t* p = &level[((size_t)y * width + x) * 4];
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// A texture's format and level count.
std::pair<D3DFORMAT, DWORD> shape(RecordingTexture* t) {
  D3DSURFACE_DESC desc;
  t->GetLevelDesc(0, &desc);
  return {desc.Format, t->GetLevelCount()};
}

}  // namespace

class ImageLoader : public RecordingFixture {
protected:
  RecordingTexture* load(const std::vector<uint8_t>& file, HRESULT expected = S_OK) {
    IDirect3DTexture9* tex = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, file.data(), (UINT)file.size(), &tex), expected);
    if (tex) loaded.push_back(tex);
    return tex ? dynamic_cast<RecordingTexture*>(recordingObject(tex)) : nullptr;
  }
  void TearDown() override {
    for (IDirect3DTexture9* t : loaded) t->Release();
    RecordingFixture::TearDown();
  }
  std::vector<IDirect3DTexture9*> loaded;
};

TEST_F(ImageLoader, PngAndJpegDecodeWithFullMipChains) {
  // 4x2 RGBA: red, green, blue, white / half-transparent greys.
  std::vector<uint8_t> rgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255,
                               128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128};
  std::vector<uint8_t> png = encode(true, 4, 2, 4, rgba);
  D3DXIMAGE_INFO info;
  ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(png.data(), (UINT)png.size(), &info), S_OK);
  EXPECT_EQ((std::tuple{info.Width, info.Height, info.Format, info.ResourceType, info.ImageFileFormat}),
            (std::tuple{4u, 2u, D3DFMT_A8R8G8B8, D3DRTYPE_TEXTURE, D3DXIFF_PNG}));

  RecordingTexture* tex = load(png);
  ASSERT_NE(tex, nullptr);
  ASSERT_EQ(tex->GetLevelCount(), 3u);  // 4x2, 2x1, 1x1
  D3DSURFACE_DESC desc;
  tex->GetLevelDesc(0, &desc);
  EXPECT_EQ((std::pair{desc.Format, desc.Pool}), (std::pair{D3DFMT_A8R8G8B8, D3DPOOL_MANAGED}));
  // ARGB red (bytes B, G, R, A), blue, grey.
  const std::vector<uint8_t>& level0 = tex->levelData(0);
  EXPECT_EQ((std::vector{texel(level0, 4, 0, 0), texel(level0, 4, 2, 0), texel(level0, 4, 3, 1)}),
            (std::vector{0xFFFF0000u, 0xFF0000FFu, 0x80808080u}));
  // Level 1 texel 0 averages red, green and two greys.
  EXPECT_EQ(texel(tex->levelData(1), 2, 0, 0), 0xC0808040u);
  tex->GetLevelDesc(2, &desc);
  EXPECT_EQ(desc.Width, 1u);

  // An opaque RGB JPEG loads as X8R8G8B8 with its colours close to the source.
  std::vector<uint8_t> rgb;
  for (int i = 0; i < 16 * 16; ++i) rgb.insert(rgb.end(), {200, 100, 50});
  RecordingTexture* photo = load(encode(false, 16, 16, 3, rgb));
  ASSERT_NE(photo, nullptr);
  EXPECT_EQ(shape(photo), std::pair(D3DFMT_X8R8G8B8, DWORD(5)));
  uint32_t t = texel(photo->levelData(0), 16, 7, 7);
  EXPECT_EQ(t >> 24, 255u);
  for (auto [shift, value] : {std::pair{16, 200}, {8, 100}, {0, 50}}) EXPECT_NEAR(int((t >> shift) & 255), value, 4) << shift;
}

TEST_F(ImageLoader, DdsFormatsLevelsAndCubeMaps) {
  // A8R8G8B8 2x2 with both levels stored: the file's level 1 is used as is.
  std::vector<uint8_t> argb = ddsHeader(2, 2, 2, 0, 32, 0xff0000, 0xff00, 0xff, 0xff000000, false);
  for (uint32_t v : {0x11223344u, 0x55667788u, 0x99AABBCCu, 0xDDEEFF00u, 0xCAFEBABEu}) put32(argb, v);
  RecordingTexture* tex = load(argb);
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(shape(tex), std::pair(D3DFMT_A8R8G8B8, DWORD(2)));
  EXPECT_EQ(texel(tex->levelData(0), 2, 1, 1), 0xDDEEFF00u);
  EXPECT_EQ(texel(tex->levelData(1), 1, 0, 0), 0xCAFEBABEu);

  // R5G6B5 4x4 without levels: the chain is generated in the file's format.
  std::vector<uint8_t> r565 = ddsHeader(4, 4, 1, 0, 16, 0xf800, 0x7e0, 0x1f, 0, false);
  for (int i = 0; i < 16; ++i) r565.insert(r565.end(), {0x00, 0xF8});  // pure red
  tex = load(r565);
  ASSERT_NE(tex, nullptr);
  ASSERT_EQ(shape(tex), std::pair(D3DFMT_R5G6B5, DWORD(3)));
  EXPECT_EQ(tex->levelData(2), (std::vector<uint8_t>{0x00, 0xF8}));

  // X1R5G5B5 and A4R4G4B4 keep their formats and texels.
  std::vector<uint8_t> x1555 = ddsHeader(1, 1, 1, 0, 16, 0x7c00, 0x3e0, 0x1f, 0, false);
  std::vector<uint8_t> a4444 = ddsHeader(1, 1, 1, 0, 16, 0xf00, 0xf0, 0xf, 0xf000, false);
  for (auto [file, expected] : {std::pair{&x1555, D3DFMT_X1R5G5B5}, std::pair{&a4444, D3DFMT_A4R4G4B4}}) {
    file->insert(file->end(), {0x34, 0x12});
    tex = load(*file);
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(shape(tex), std::pair(expected, DWORD(1)));
    EXPECT_EQ(tex->levelData(0), (std::vector<uint8_t>{0x34, 0x12}));
  }

  // DXT1 8x8 with its full chain stays compressed.
  std::vector<uint8_t> dxt1 = ddsHeader(8, 8, 4, MAKEFOURCC('D', 'X', 'T', '1'), 0, 0, 0, 0, 0, false);
  for (int block = 0; block < 4 + 1 + 1 + 1; ++block)
    for (uint32_t word : {0x001F001Fu, 0u}) put32(dxt1, word);  // both colours pure blue
  tex = load(dxt1);
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(shape(tex), std::pair(D3DFMT_DXT1, DWORD(4)));
  EXPECT_EQ(tex->levelData(0).size(), 32u);

  // DXT5 4x4 without levels is decompressed to generate them.
  std::vector<uint8_t> dxt5 = ddsHeader(4, 4, 1, MAKEFOURCC('D', 'X', 'T', '5'), 0, 0, 0, 0, 0, false);
  const uint8_t block[16] = {0x80, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};  // alpha 0x80, red
  dxt5.insert(dxt5.end(), block, block + 16);
  tex = load(dxt5);
  ASSERT_NE(tex, nullptr);
  EXPECT_EQ(shape(tex), std::pair(D3DFMT_A8R8G8B8, DWORD(3)));
  EXPECT_EQ(texel(tex->levelData(0), 4, 3, 3), 0x80FF0000u);
  EXPECT_EQ(texel(tex->levelData(2), 1, 0, 0), 0x80FF0000u);

  // A cube map: info says so; the cube loader fills all six faces.
  std::vector<uint8_t> cube = ddsHeader(2, 2, 1, 0, 32, 0xff0000, 0xff00, 0xff, 0xff000000, true);
  for (uint32_t face = 0; face < 6; ++face)
    for (int i = 0; i < 4; ++i) put32(cube, 0xFF000000u | face);
  D3DXIMAGE_INFO info;
  ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(cube.data(), (UINT)cube.size(), &info), S_OK);
  EXPECT_EQ((std::pair{info.ResourceType, info.Width}), (std::pair{D3DRTYPE_CUBETEXTURE, 2u}));
  IDirect3DCubeTexture9* cubeTex = nullptr;
  ASSERT_EQ(D3DXCreateCubeTextureFromFileInMemory(device, cube.data(), (UINT)cube.size(), &cubeTex), S_OK);
  RecordingCubeTexture* rc = dynamic_cast<RecordingCubeTexture*>(recordingObject(cubeTex));
  ASSERT_NE(rc, nullptr);
  EXPECT_EQ(std::tuple(rc->GetLevelCount(), texel(rc->levelData(5, 0), 2, 1, 1), texel(rc->levelData(3, 1), 1, 0, 0)),
            std::tuple(2u, 0xFF000005u, 0xFF000003u));
  cubeTex->Release();
  EXPECT_EQ(D3DXCreateCubeTextureFromFileInMemory(device, argb.data(), (UINT)argb.size(), &cubeTex), D3DXERR_INVALIDDATA);
}

TEST_F(ImageLoader, TruncatedAndCorruptImagesFailCleanly) {
  std::vector<uint8_t> rgba(8 * 8 * 4, 200);
  std::vector<uint8_t> png = encode(true, 8, 8, 4, rgba);
  std::vector<uint8_t> dds = ddsHeader(8, 8, 4, MAKEFOURCC('D', 'X', 'T', '1'), 0, 0, 0, 0, 0, false);
  dds.resize(dds.size() + 56, 0);
  ASSERT_NE(load(dds), nullptr);
  size_t before = loaded.size();

  // Every cut of the DDS file and of the PNG data fails without a texture.
  D3DXIMAGE_INFO info;
  for (size_t n = 1; n < dds.size(); n += 3) {
    std::vector<uint8_t> cut(dds.begin(), dds.begin() + n);
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(cut.data(), (UINT)cut.size(), &info), D3DXERR_INVALIDDATA) << n;
    load(cut, D3DXERR_INVALIDDATA);
  }
  for (size_t n = 1; n < png.size(); n += 7) load({png.begin(), png.begin() + n}, D3DXERR_INVALIDDATA);
  EXPECT_EQ(loaded.size(), before);

  // Headers that lie, and data that is no image.
  std::vector<uint8_t> tooManyMips = ddsHeader(4, 4, 9, 0, 32, 0xff0000, 0xff00, 0xff, 0, false);
  tooManyMips.resize(tooManyMips.size() + 4096, 0);
  std::vector<uint8_t> oddCube = ddsHeader(4, 2, 1, 0, 32, 0xff0000, 0xff00, 0xff, 0, true);
  oddCube.resize(oddCube.size() + 6 * 32, 0);
  for (const std::vector<uint8_t>& bad :
       {tooManyMips, ddsHeader(0x40000000, 4, 1, 0, 32, 0xff0000, 0xff00, 0xff, 0, false), oddCube,
        std::vector<uint8_t>(300, 0x5A), std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0}})
    load(bad, D3DXERR_INVALIDDATA);
  EXPECT_EQ(loaded.size(), before);
}
