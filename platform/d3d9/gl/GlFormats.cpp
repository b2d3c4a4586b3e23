// The format table: every format the device can create, in the Direct3D
// memory layout.

#include "platform/d3d9/gl/GlFormats.h"

namespace {

#define SW_RGBA {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}
#define SW_RGB1 {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}
#define SW_R111 {GL_RED, GL_ONE, GL_ONE, GL_ONE}
#define SW_RG11 {GL_RED, GL_GREEN, GL_ONE, GL_ONE}

// Flags: renderTarget, depth, stencil, filterable, texture.
const GlFormat formats[] = {
    {D3DFMT_A8R8G8B8, GL_RGBA8, GL_SRGB8_ALPHA8, GL_BGRA, GL_UNSIGNED_BYTE, SW_RGBA, true, false, false, true, true},
    {D3DFMT_X8R8G8B8, GL_RGBA8, GL_SRGB8_ALPHA8, GL_BGRA, GL_UNSIGNED_BYTE, SW_RGB1, true, false, false, true, true},
    {D3DFMT_A8B8G8R8, GL_RGBA8, GL_SRGB8_ALPHA8, GL_RGBA, GL_UNSIGNED_BYTE, SW_RGBA, true, false, false, true, true},
    {D3DFMT_X8B8G8R8, GL_RGBA8, GL_SRGB8_ALPHA8, GL_RGBA, GL_UNSIGNED_BYTE, SW_RGB1, true, false, false, true, true},
    {D3DFMT_R8G8B8, GL_RGB8, GL_SRGB8, GL_BGR, GL_UNSIGNED_BYTE, SW_RGB1, false, false, false, true, true},
    {D3DFMT_R5G6B5, GL_RGB565, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, SW_RGB1, true, false, false, true, true},
    {D3DFMT_X1R5G5B5, GL_RGB5_A1, 0, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, SW_RGB1, true, false, false, true, true},
    {D3DFMT_A1R5G5B5, GL_RGB5_A1, 0, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, SW_RGBA, true, false, false, true, true},
    {D3DFMT_A4R4G4B4, GL_RGBA4, 0, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, SW_RGBA, false, false, false, true, true},
    {D3DFMT_X4R4G4B4, GL_RGBA4, 0, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, SW_RGB1, false, false, false, true, true},
    {D3DFMT_A2B10G10R10, GL_RGB10_A2, 0, GL_RGBA, GL_UNSIGNED_INT_2_10_10_10_REV, SW_RGBA, true, false, false, true, true},
    {D3DFMT_A2R10G10B10, GL_RGB10_A2, 0, GL_BGRA, GL_UNSIGNED_INT_2_10_10_10_REV, SW_RGBA, true, false, false, true, true},
    {D3DFMT_A8, GL_R8, 0, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}, false, false, false, true, true},
    {D3DFMT_L8, GL_R8, 0, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE}, false, false, false, true, true},
    {D3DFMT_A8L8, GL_RG8, 0, GL_RG, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_GREEN}, false, false, false, true, true},
    {D3DFMT_L16, GL_R16, 0, GL_RED, GL_UNSIGNED_SHORT, {GL_RED, GL_RED, GL_RED, GL_ONE}, false, false, false, true, true},
    {D3DFMT_G16R16, GL_RG16, 0, GL_RG, GL_UNSIGNED_SHORT, SW_RG11, true, false, false, true, true},
    {D3DFMT_A16B16G16R16, GL_RGBA16, 0, GL_RGBA, GL_UNSIGNED_SHORT, SW_RGBA, true, false, false, true, true},
    {D3DFMT_V8U8, GL_RG8_SNORM, 0, GL_RG, GL_BYTE, SW_RG11, false, false, false, true, true},
    {D3DFMT_Q8W8V8U8, GL_RGBA8_SNORM, 0, GL_RGBA, GL_BYTE, SW_RGBA, false, false, false, true, true},
    {D3DFMT_V16U16, GL_RG16_SNORM, 0, GL_RG, GL_SHORT, SW_RG11, false, false, false, true, true},
    {D3DFMT_R16F, GL_R16F, 0, GL_RED, GL_HALF_FLOAT, SW_R111, true, false, false, true, true},
    {D3DFMT_G16R16F, GL_RG16F, 0, GL_RG, GL_HALF_FLOAT, SW_RG11, true, false, false, true, true},
    {D3DFMT_A16B16G16R16F, GL_RGBA16F, 0, GL_RGBA, GL_HALF_FLOAT, SW_RGBA, true, false, false, true, true},
    {D3DFMT_R32F, GL_R32F, 0, GL_RED, GL_FLOAT, SW_R111, true, false, false, true, true},
    {D3DFMT_G32R32F, GL_RG32F, 0, GL_RG, GL_FLOAT, SW_RG11, true, false, false, true, true},
    {D3DFMT_A32B32G32R32F, GL_RGBA32F, 0, GL_RGBA, GL_FLOAT, SW_RGBA, true, false, false, true, true},
    // DXT2 and DXT4 carry premultiplied colour in the same blocks as DXT3/DXT5.
    {D3DFMT_DXT1, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, GL_COMPRESSED_SRGB_ALPHA_S3TC_DXT1_EXT, 0, 0, SW_RGBA, false, false, false, true, true},
    {D3DFMT_DXT2, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, GL_COMPRESSED_SRGB_ALPHA_S3TC_DXT3_EXT, 0, 0, SW_RGBA, false, false, false, true, true},
    {D3DFMT_DXT3, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, GL_COMPRESSED_SRGB_ALPHA_S3TC_DXT3_EXT, 0, 0, SW_RGBA, false, false, false, true, true},
    {D3DFMT_DXT4, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, GL_COMPRESSED_SRGB_ALPHA_S3TC_DXT5_EXT, 0, 0, SW_RGBA, false, false, false, true, true},
    {D3DFMT_DXT5, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, GL_COMPRESSED_SRGB_ALPHA_S3TC_DXT5_EXT, 0, 0, SW_RGBA, false, false, false, true, true},
    // Depth-stencil surfaces (renderbuffers; not textures).
    {D3DFMT_D16, GL_DEPTH_COMPONENT16, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, SW_RGBA, false, true, false, false, false},
    {D3DFMT_D16_LOCKABLE, GL_DEPTH_COMPONENT16, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, SW_RGBA, false, true, false, false, false},
    {D3DFMT_D24X8, GL_DEPTH_COMPONENT24, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, SW_RGBA, false, true, false, false, false},
    {D3DFMT_D24S8, GL_DEPTH24_STENCIL8, 0, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, SW_RGBA, false, true, true, false, false},
    {D3DFMT_D32, GL_DEPTH_COMPONENT32, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, SW_RGBA, false, true, false, false, false},
    {D3DFMT_D32F_LOCKABLE, GL_DEPTH_COMPONENT32F, 0, GL_DEPTH_COMPONENT, GL_FLOAT, SW_RGBA, false, true, false, false, false},
    {D3DFMT_D24FS8, GL_DEPTH32F_STENCIL8, 0, GL_DEPTH_STENCIL, GL_FLOAT_32_UNSIGNED_INT_24_8_REV, SW_RGBA, false, true, true, false, false},
};

}  // namespace

const GlFormat* glFormatInfo(D3DFORMAT format) {
  for (const GlFormat& f : formats)
    if (f.d3d == format) return &f;
  return nullptr;
}

D3DFORMAT glDisplayFormatForBits(int bitsPerPixel) {
  if (bitsPerPixel >= 30 && bitsPerPixel < 32) return D3DFMT_A2R10G10B10;
  if (bitsPerPixel >= 24) return D3DFMT_X8R8G8B8;
  if (bitsPerPixel == 16) return D3DFMT_R5G6B5;
  if (bitsPerPixel == 15) return D3DFMT_X1R5G5B5;
  return D3DFMT_UNKNOWN;
}
