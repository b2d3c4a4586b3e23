// Image decoding for the D3DX loaders: a DDS reader of our own (2-D and cube
// maps, DXT1 to DXT5, the 32-, 24- and 16-bit RGB layouts, L8, A8, A8L8 and
// the floating-point formats D3DX writes, with their mip levels) and
// stb_image for JPEG, PNG, BMP, TGA and the other formats it reads.

#include "platform/d3dx/ImageDecoder.h"

#include <stb_image.h>

#include <cstring>

namespace {

uint32_t le32(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24; }

UINT bytesPerPixel(D3DFORMAT f) {
  switch (f) {
  case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: case D3DFMT_A8B8G8R8: case D3DFMT_X8B8G8R8: case D3DFMT_R32F:
  case D3DFMT_G16R16F: case D3DFMT_A2B10G10R10: case D3DFMT_A2R10G10B10:
    return 4;
  case D3DFMT_R5G6B5: case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5: case D3DFMT_A4R4G4B4: case D3DFMT_X4R4G4B4:
  case D3DFMT_A8L8:
    return 2;
  case D3DFMT_L8: case D3DFMT_A8: return 1;
  case D3DFMT_A16B16G16R16F: case D3DFMT_A16B16G16R16: return 8;
  case D3DFMT_A32B32G32R32F: return 16;
  default: return 0;
  }
}

// DDS constants.
const uint32_t DDSD_MIPMAPCOUNT = 0x20000;
const uint32_t DDPF_ALPHAPIXELS = 0x1;
const uint32_t DDPF_ALPHA = 0x2;
const uint32_t DDPF_FOURCC = 0x4;
const uint32_t DDPF_RGB = 0x40;
const uint32_t DDPF_LUMINANCE = 0x20000;
const uint32_t DDSCAPS2_CUBEMAP = 0x200;
const uint32_t DDSCAPS2_CUBEMAP_ALLFACES = 0xFC00;
const uint32_t DDSCAPS2_VOLUME = 0x200000;

D3DFORMAT ddsFormat(const uint8_t* pf, bool* expand24, std::string* error) {
  uint32_t flags = le32(pf + 4), fourCC = le32(pf + 8), bits = le32(pf + 12);
  uint32_t r = le32(pf + 16), g = le32(pf + 20), b = le32(pf + 24), a = le32(pf + 28);
  *expand24 = false;
  if (flags & DDPF_FOURCC) {
    switch (fourCC) {
    case MAKEFOURCC('D', 'X', 'T', '1'): return D3DFMT_DXT1;
    case MAKEFOURCC('D', 'X', 'T', '2'): return D3DFMT_DXT2;
    case MAKEFOURCC('D', 'X', 'T', '3'): return D3DFMT_DXT3;
    case MAKEFOURCC('D', 'X', 'T', '4'): return D3DFMT_DXT4;
    case MAKEFOURCC('D', 'X', 'T', '5'): return D3DFMT_DXT5;
    case D3DFMT_R32F: case D3DFMT_G16R16F: case D3DFMT_A16B16G16R16F: case D3DFMT_A32B32G32R32F:
    case D3DFMT_A16B16G16R16:
      return (D3DFORMAT)fourCC;
    case MAKEFOURCC('D', 'X', '1', '0'): *error = "DDS files with the DX10 header are not supported"; return D3DFMT_UNKNOWN;
    default: *error = "unsupported DDS compression"; return D3DFMT_UNKNOWN;
    }
  }
  bool alpha = (flags & DDPF_ALPHAPIXELS) != 0;
  if (flags & DDPF_RGB) {
    if (bits == 32 && r == 0xff0000 && g == 0xff00 && b == 0xff) return alpha && a ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    if (bits == 32 && r == 0xff && g == 0xff00 && b == 0xff0000) return alpha && a ? D3DFMT_A8B8G8R8 : D3DFMT_X8B8G8R8;
    if (bits == 24 && r == 0xff0000 && g == 0xff00 && b == 0xff) {
      *expand24 = true;
      return D3DFMT_X8R8G8B8;
    }
    if (bits == 16 && r == 0xf800 && g == 0x7e0 && b == 0x1f) return D3DFMT_R5G6B5;
    if (bits == 16 && r == 0x7c00 && g == 0x3e0 && b == 0x1f) return alpha && a == 0x8000 ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5;
    if (bits == 16 && r == 0xf00 && g == 0xf0 && b == 0xf) return alpha && a == 0xf000 ? D3DFMT_A4R4G4B4 : D3DFMT_X4R4G4B4;
    if (bits == 32 && r == 0x3ff00000 && g == 0xffc00 && b == 0x3ff) return D3DFMT_A2R10G10B10;
    if (bits == 32 && r == 0x3ff && g == 0xffc00 && b == 0x3ff00000) return D3DFMT_A2B10G10R10;
  }
  if ((flags & DDPF_LUMINANCE) && bits == 8) return D3DFMT_L8;
  if ((flags & DDPF_LUMINANCE) && bits == 16 && alpha) return D3DFMT_A8L8;
  if ((flags & DDPF_ALPHA) && bits == 8) return D3DFMT_A8;
  *error = "unsupported DDS pixel format";
  return D3DFMT_UNKNOWN;
}

bool decodeDds(const uint8_t* p, size_t size, bool headerOnly, DecodedImage* out, std::string* error) {
  if (size < 128) {
    *error = "truncated DDS header";
    return false;
  }
  const uint8_t* h = p + 4;
  if (le32(h) != 124 || le32(h + 72) != 32) {
    *error = "corrupt DDS header";
    return false;
  }
  uint32_t flags = le32(h + 4), height = le32(h + 8), width = le32(h + 12), mips = le32(h + 24);
  uint32_t caps2 = le32(h + 108);
  if (width == 0 || height == 0 || width > 16384 || height > 16384) {
    *error = "DDS size out of range";
    return false;
  }
  if (caps2 & DDSCAPS2_VOLUME) {
    *error = "DDS volume textures are not supported";
    return false;
  }
  bool cube = (caps2 & DDSCAPS2_CUBEMAP) != 0;
  if (cube && ((caps2 & DDSCAPS2_CUBEMAP_ALLFACES) != DDSCAPS2_CUBEMAP_ALLFACES || width != height)) {
    *error = "DDS cube maps need six square faces";
    return false;
  }
  bool expand24 = false;
  D3DFORMAT format = ddsFormat(h + 72, &expand24, error);
  if (format == D3DFMT_UNKNOWN) return false;
  UINT full = 1;
  for (UINT w = width, hh = height; w > 1 || hh > 1; w = w > 1 ? w / 2 : 1, hh = hh > 1 ? hh / 2 : 1) ++full;
  UINT levels = (flags & DDSD_MIPMAPCOUNT) && mips > 0 ? mips : 1;
  if (levels > full) {
    *error = "DDS mip count larger than the size allows";
    return false;
  }
  out->fileFormat = D3DXIFF_DDS;
  out->format = format;
  out->width = width;
  out->height = height;
  out->cube = cube;
  out->levels = levels;
  // The data must hold every level of every face.
  size_t offset = 128;
  out->surfaces.clear();
  for (UINT face = 0; face < out->faces(); ++face) {
    UINT w = width, hh = height;
    for (UINT level = 0; level < levels; ++level) {
      size_t bytes = expand24 ? (size_t)w * hh * 3 : imageLevelBytes(format, w, hh);
      if (bytes > size - offset) {
        *error = "truncated DDS data";
        return false;
      }
      if (!headerOnly) {
        std::vector<uint8_t> level(imageLevelBytes(format, w, hh));
        if (expand24) {
          for (size_t i = 0; i < (size_t)w * hh; ++i) {
            std::memcpy(&level[i * 4], p + offset + i * 3, 3);
            level[i * 4 + 3] = 0xff;
          }
        } else {
          std::memcpy(level.data(), p + offset, bytes);
        }
        out->surfaces.push_back(std::move(level));
      }
      offset += bytes;
      w = w > 1 ? w / 2 : 1;
      hh = hh > 1 ? hh / 2 : 1;
    }
  }
  return true;
}

D3DXIMAGE_FILEFORMAT sniff(const uint8_t* p, size_t size) {
  if (size >= 2 && p[0] == 0xFF && p[1] == 0xD8) return D3DXIFF_JPG;
  if (size >= 4 && p[0] == 0x89 && p[1] == 'P' && p[2] == 'N' && p[3] == 'G') return D3DXIFF_PNG;
  if (size >= 2 && p[0] == 'B' && p[1] == 'M') return D3DXIFF_BMP;
  if (size >= 2 && p[0] == 'P' && (p[1] == '5' || p[1] == '6')) return D3DXIFF_PPM;
  if (size >= 2 && p[0] == '#' && p[1] == '?') return D3DXIFF_HDR;
  return D3DXIFF_TGA;
}

// The fewest bytes a complete file of its kind holds for a w x h picture of
// `channels` channels. stb_image reads past the end of a short JPEG, BMP or TGA
// file as zeros (and leaves the rest of a short PNM unwritten) and reports
// success, so a few bytes could otherwise stand for a 16384 x 16384 picture.
uint64_t leastFileSize(const uint8_t* p, size_t size, uint64_t w, uint64_t h, int channels) {
  switch (sniff(p, size)) {
  case D3DXIFF_JPG:  // every 8 x 8 block of the picture costs at least one bit of coded data
    return ((w + 7) / 8) * ((h + 7) / 8) / 8;
  case D3DXIFF_BMP: {  // rows padded to 4 bytes; stb_image reads no RLE
    if (size < 30) return 0;
    bool core = le32(p + 14) == 12;  // the old 12-byte header keeps the bit count at 24
    uint64_t bits = core ? p[24] | p[25] << 8 : p[28] | p[29] << 8;
    return (w * bits + 31) / 32 * 4 * h;
  }
  case D3DXIFF_PPM:
    return w * h * uint64_t(channels) * (stbi_is_16_bit_from_memory(p, (int)size) ? 2 : 1);
  case D3DXIFF_PNG: {
    // The chunks up to IEND as their lengths claim them: a length that runs
    // past the data would have the decoder reserve it (up to 4 GB) first.
    uint64_t at = 8;
    while (at + 8 <= size) {
      uint64_t length = uint64_t(p[at]) << 24 | p[at + 1] << 16 | p[at + 2] << 8 | p[at + 3];
      bool end = std::memcmp(p + at + 4, "IEND", 4) == 0;
      at += 12 + length;
      if (end || at > size) break;
    }
    return at;
  }
  case D3DXIFF_TGA: {
    // Colour-mapped, true-colour or grey, raw or RLE; anything else is one of
    // stb_image's other formats, which the sniffer files under TGA.
    unsigned type = size > 2 ? p[2] & ~8u : 0;
    if (type < 1 || type > 3) return 0;
    uint64_t pixelBytes = size > 16 ? (p[16] + 7u) / 8 : 1, pixels = w * h;
    // An RLE packet covers at most 128 pixels.
    return 18 + ((p[2] & 8) ? (pixels + 127) / 128 * (1 + pixelBytes) : pixels * pixelBytes);
  }
  default:
    return 0;
  }
}

bool decodeStb(const uint8_t* p, size_t size, bool headerOnly, DecodedImage* out, std::string* error) {
  if (size > 0x7fffffff) {
    *error = "image too large";
    return false;
  }
  int w = 0, h = 0, channels = 0;
  if (!stbi_info_from_memory(p, (int)size, &w, &h, &channels) || w <= 0 || h <= 0) {
    const char* reason = stbi_failure_reason();
    *error = std::string("unrecognised or corrupt image") + (reason ? std::string(" (") + reason + ")" : "");
    return false;
  }
  if (w > 16384 || h > 16384) {
    *error = "image size out of range";
    return false;
  }
  bool alpha = channels == 2 || channels == 4;
  out->fileFormat = sniff(p, size);
  out->format = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  out->width = (UINT)w;
  out->height = (UINT)h;
  out->cube = false;
  out->levels = 1;
  out->surfaces.clear();
  if (headerOnly) return true;
  if (size < leastFileSize(p, size, (uint64_t)w, (uint64_t)h, channels)) {
    *error = "truncated image data";
    return false;
  }
  int dw = 0, dh = 0, dc = 0;
  stbi_uc* rgba = stbi_load_from_memory(p, (int)size, &dw, &dh, &dc, 4);
  if (!rgba || dw != w || dh != h) {
    const char* reason = stbi_failure_reason();
    if (rgba) stbi_image_free(rgba);
    *error = std::string("corrupt image data") + (reason ? std::string(" (") + reason + ")" : "");
    return false;
  }
  std::vector<uint8_t> level((size_t)w * h * 4);
  for (size_t i = 0; i < (size_t)w * h; ++i) {
    level[i * 4 + 0] = rgba[i * 4 + 2];
    level[i * 4 + 1] = rgba[i * 4 + 1];
    level[i * 4 + 2] = rgba[i * 4 + 0];
    level[i * 4 + 3] = alpha ? rgba[i * 4 + 3] : 0xff;
  }
  stbi_image_free(rgba);
  out->surfaces.push_back(std::move(level));
  return true;
}

// --- DXTn ---------------------------------------------------------------------------
void colour565(uint16_t c, uint8_t* rgb) {
  rgb[0] = (uint8_t)(((c >> 11) & 31) * 255 / 31);
  rgb[1] = (uint8_t)(((c >> 5) & 63) * 255 / 63);
  rgb[2] = (uint8_t)((c & 31) * 255 / 31);
}

// Decodes the colour part of a block into 16 BGRA texels.
void decodeColourBlock(const uint8_t* b, bool dxt1, uint8_t out[16][4]) {
  uint16_t c0 = (uint16_t)(b[0] | b[1] << 8), c1 = (uint16_t)(b[2] | b[3] << 8);
  uint8_t pal[4][4];
  colour565(c0, pal[0]);
  colour565(c1, pal[1]);
  pal[0][3] = pal[1][3] = 255;
  if (c0 > c1 || !dxt1) {
    for (int k = 0; k < 3; ++k) {
      pal[2][k] = (uint8_t)((2 * pal[0][k] + pal[1][k]) / 3);
      pal[3][k] = (uint8_t)((pal[0][k] + 2 * pal[1][k]) / 3);
    }
    pal[2][3] = pal[3][3] = 255;
  } else {
    for (int k = 0; k < 3; ++k) pal[2][k] = (uint8_t)((pal[0][k] + pal[1][k]) / 2);
    pal[2][3] = 255;
    pal[3][0] = pal[3][1] = pal[3][2] = pal[3][3] = 0;
  }
  uint32_t bits = le32(b + 4);
  for (int i = 0; i < 16; ++i) {
    const uint8_t* c = pal[(bits >> (2 * i)) & 3];
    out[i][0] = c[2];
    out[i][1] = c[1];
    out[i][2] = c[0];
    out[i][3] = c[3];
  }
}

void decodeDxt(D3DFORMAT format, UINT width, UINT height, const uint8_t* src, uint8_t* dst) {
  UINT bw = (width + 3) / 4, bh = (height + 3) / 4;
  UINT blockSize = format == D3DFMT_DXT1 ? 8 : 16;
  for (UINT by = 0; by < bh; ++by) {
    for (UINT bx = 0; bx < bw; ++bx) {
      const uint8_t* block = src + ((size_t)by * bw + bx) * blockSize;
      uint8_t texels[16][4];
      decodeColourBlock(format == D3DFMT_DXT1 ? block : block + 8, format == D3DFMT_DXT1, texels);
      if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
        for (int i = 0; i < 16; ++i) {
          uint8_t a4 = (uint8_t)((block[i / 2] >> ((i & 1) * 4)) & 15);
          texels[i][3] = (uint8_t)(a4 * 17);
        }
      } else if (format == D3DFMT_DXT4 || format == D3DFMT_DXT5) {
        uint8_t a[8] = {block[0], block[1]};
        if (a[0] > a[1]) {
          for (int k = 1; k < 7; ++k) a[k + 1] = (uint8_t)(((7 - k) * a[0] + k * a[1]) / 7);
        } else {
          for (int k = 1; k < 5; ++k) a[k + 1] = (uint8_t)(((5 - k) * a[0] + k * a[1]) / 5);
          a[6] = 0;
          a[7] = 255;
        }
        uint64_t bits = 0;
        for (int k = 0; k < 6; ++k) bits |= (uint64_t)block[2 + k] << (8 * k);
        for (int i = 0; i < 16; ++i) texels[i][3] = a[(bits >> (3 * i)) & 7];
      }
      for (int i = 0; i < 16; ++i) {
        UINT x = bx * 4 + (i & 3), y = by * 4 + (i >> 2);
        if (x < width && y < height) std::memcpy(dst + ((size_t)y * width + x) * 4, texels[i], 4);
      }
    }
  }
}

}  // namespace

bool isBlockCompressed(D3DFORMAT f) {
  return f == D3DFMT_DXT1 || f == D3DFMT_DXT2 || f == D3DFMT_DXT3 || f == D3DFMT_DXT4 || f == D3DFMT_DXT5;
}

UINT imagePitch(D3DFORMAT format, UINT width) {
  if (isBlockCompressed(format)) return ((width + 3) / 4) * (format == D3DFMT_DXT1 ? 8 : 16);
  return width * bytesPerPixel(format);
}

UINT imageLevelBytes(D3DFORMAT format, UINT width, UINT height) {
  return imagePitch(format, width) * (isBlockCompressed(format) ? (height + 3) / 4 : height);
}

bool decodeImage(const void* data, size_t size, bool headerOnly, DecodedImage* out, std::string* error) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (!p || size == 0) {
    *error = "no image data";
    return false;
  }
  if (size >= 4 && std::memcmp(p, "DDS ", 4) == 0) return decodeDds(p, size, headerOnly, out, error);
  return decodeStb(p, size, headerOnly, out, error);
}

bool imageToArgb8(D3DFORMAT format, UINT width, UINT height, const uint8_t* src, std::vector<uint8_t>* argb) {
  size_t n = (size_t)width * height;
  argb->assign(n * 4, 0);
  uint8_t* d = argb->data();
  if (isBlockCompressed(format)) {
    decodeDxt(format, width, height, src, d);
    return true;
  }
  auto expand = [](uint32_t v, int bits) { return (uint8_t)(bits ? v * 255 / ((1u << bits) - 1) : 255); };
  for (size_t i = 0; i < n; ++i) {
    uint8_t* o = d + i * 4;
    uint16_t v16 = 0;
    if (bytesPerPixel(format) == 2) v16 = (uint16_t)(src[i * 2] | src[i * 2 + 1] << 8);
    switch (format) {
    case D3DFMT_A8R8G8B8: std::memcpy(o, src + i * 4, 4); break;
    case D3DFMT_X8R8G8B8: std::memcpy(o, src + i * 4, 3); o[3] = 255; break;
    case D3DFMT_A8B8G8R8: case D3DFMT_X8B8G8R8:
      o[0] = src[i * 4 + 2]; o[1] = src[i * 4 + 1]; o[2] = src[i * 4 + 0];
      o[3] = format == D3DFMT_A8B8G8R8 ? src[i * 4 + 3] : 255;
      break;
    case D3DFMT_R5G6B5: o[2] = expand(v16 >> 11, 5); o[1] = expand((v16 >> 5) & 63, 6); o[0] = expand(v16 & 31, 5); o[3] = 255; break;
    case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5:
      o[2] = expand((v16 >> 10) & 31, 5); o[1] = expand((v16 >> 5) & 31, 5); o[0] = expand(v16 & 31, 5);
      o[3] = format == D3DFMT_A1R5G5B5 ? ((v16 & 0x8000) ? 255 : 0) : 255;
      break;
    case D3DFMT_A4R4G4B4: case D3DFMT_X4R4G4B4:
      o[2] = expand((v16 >> 8) & 15, 4); o[1] = expand((v16 >> 4) & 15, 4); o[0] = expand(v16 & 15, 4);
      o[3] = format == D3DFMT_A4R4G4B4 ? expand(v16 >> 12, 4) : 255;
      break;
    case D3DFMT_L8: o[0] = o[1] = o[2] = src[i]; o[3] = 255; break;
    case D3DFMT_A8: o[0] = o[1] = o[2] = 0; o[3] = src[i]; break;
    case D3DFMT_A8L8: o[0] = o[1] = o[2] = src[i * 2]; o[3] = src[i * 2 + 1]; break;
    default: return false;
    }
  }
  return true;
}

bool imageFromArgb8(D3DFORMAT format, UINT width, UINT height, const uint8_t* argb, std::vector<uint8_t>* dst) {
  size_t n = (size_t)width * height;
  UINT bpp = bytesPerPixel(format);
  if (isBlockCompressed(format) || bpp == 0 || bpp > 4) return false;
  dst->assign(n * bpp, 0);
  auto q = [](uint8_t v, int bits) { return (uint32_t)((v * ((1u << bits) - 1) + 127) / 255); };
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* s = argb + i * 4;
    uint8_t* o = dst->data() + i * bpp;
    uint32_t v = 0;
    switch (format) {
    case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: std::memcpy(o, s, 4); continue;
    case D3DFMT_A8B8G8R8: case D3DFMT_X8B8G8R8: o[0] = s[2]; o[1] = s[1]; o[2] = s[0]; o[3] = s[3]; continue;
    case D3DFMT_R5G6B5: v = q(s[2], 5) << 11 | q(s[1], 6) << 5 | q(s[0], 5); break;
    case D3DFMT_X1R5G5B5: v = 0x8000 | q(s[2], 5) << 10 | q(s[1], 5) << 5 | q(s[0], 5); break;
    case D3DFMT_A1R5G5B5: v = (s[3] >= 128 ? 0x8000u : 0u) | q(s[2], 5) << 10 | q(s[1], 5) << 5 | q(s[0], 5); break;
    case D3DFMT_A4R4G4B4: v = q(s[3], 4) << 12 | q(s[2], 4) << 8 | q(s[1], 4) << 4 | q(s[0], 4); break;
    case D3DFMT_X4R4G4B4: v = 0xf000 | q(s[2], 4) << 8 | q(s[1], 4) << 4 | q(s[0], 4); break;
    case D3DFMT_L8: o[0] = s[2]; continue;
    case D3DFMT_A8: o[0] = s[3]; continue;
    case D3DFMT_A8L8: o[0] = s[2]; o[1] = s[3]; continue;
    default: return false;
    }
    o[0] = (uint8_t)(v & 0xff);
    o[1] = (uint8_t)(v >> 8);
  }
  return true;
}

void imageHalveArgb8(UINT width, UINT height, const uint8_t* src, std::vector<uint8_t>* dst) {
  UINT w = width > 1 ? width / 2 : 1, h = height > 1 ? height / 2 : 1;
  dst->assign((size_t)w * h * 4, 0);
  for (UINT y = 0; y < h; ++y) {
    for (UINT x = 0; x < w; ++x) {
      UINT x0 = width > 1 ? 2 * x : 0, x1 = width > 1 ? 2 * x + 1 : 0;
      UINT y0 = height > 1 ? 2 * y : 0, y1 = height > 1 ? 2 * y + 1 : 0;
      for (int c = 0; c < 4; ++c) {
        unsigned sum = src[((size_t)y0 * width + x0) * 4 + c] + src[((size_t)y0 * width + x1) * 4 + c] +
                       src[((size_t)y1 * width + x0) * 4 + c] + src[((size_t)y1 * width + x1) * 4 + c];
        (*dst)[((size_t)y * w + x) * 4 + c] = (uint8_t)((sum + 2) / 4);
      }
    }
  }
}
