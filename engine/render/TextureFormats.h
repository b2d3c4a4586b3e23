#pragma once
// The engine's texture format codes and the Direct3D 9 formats they stand
// for. Creating a texture maps code -> format; a loaded texture reports its
// format with the reverse mapping, which knows fewer formats (0 = not known).

#include <cstdint>

#include "platform/d3d9/d3d9.h"

enum TextureFormat : int32_t {
  TEXFMT_UNKNOWN = 0,
  TEXFMT_A8R8G8B8 = 1,
  TEXFMT_X8R8G8B8 = 2,
  TEXFMT_A8B8G8R8 = 3,
  TEXFMT_X8B8G8R8 = 4,
  TEXFMT_R8G8B8 = 5,
  TEXFMT_R5G6B5 = 7,
  TEXFMT_A4R4G4B4 = 9,
  TEXFMT_A1R5G5B5 = 10,
  TEXFMT_X1R5G5B5 = 11,
  TEXFMT_A16B16G16R16 = 14,
  TEXFMT_A2R10G10B10 = 15,
  TEXFMT_A2B10G10R10 = 16,
  TEXFMT_R32F = 17,
  TEXFMT_G16R16F = 18,
  TEXFMT_A16B16G16R16F = 19,
  TEXFMT_A32B32G32R32F = 20,
  TEXFMT_DXT1 = 22,
  TEXFMT_DXT2 = 23,
  TEXFMT_DXT3 = 24,
  TEXFMT_DXT4 = 25,
  TEXFMT_DXT5 = 26,
  TEXFMT_V8U8 = 27,
  TEXFMT_CxV8U8 = 28,
  TEXFMT_V16U16 = 29,
  TEXFMT_R3G3B2 = 30,
  TEXFMT_A8 = 31,
  TEXFMT_L8 = 32,
  TEXFMT_P8 = 33,
  TEXFMT_D16 = 34,
  TEXFMT_D24S8 = 35,
  TEXFMT_D32 = 36,
};

// Code -> Direct3D format; D3DFMT_UNKNOWN for unassigned or out-of-range codes.
D3DFORMAT textureFormatToD3D(int32_t code);
// Direct3D format -> code; 0 for formats without a reverse entry.
int32_t textureFormatFromD3D(D3DFORMAT format);
