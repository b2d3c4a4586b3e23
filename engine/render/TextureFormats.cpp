#include "engine/render/TextureFormats.h"

namespace {

struct FormatEntry {
  D3DFORMAT format;
  bool reverse;  // reported back for loaded textures
};

// Indexed by code; unassigned codes hold D3DFMT_UNKNOWN.
const FormatEntry formatTable[] = {
    {D3DFMT_UNKNOWN, false},        // 0
    {D3DFMT_A8R8G8B8, true},        // 1
    {D3DFMT_X8R8G8B8, true},        // 2
    {D3DFMT_A8B8G8R8, true},        // 3
    {D3DFMT_X8B8G8R8, true},        // 4
    {D3DFMT_R8G8B8, true},          // 5
    {D3DFMT_UNKNOWN, false},        // 6
    {D3DFMT_R5G6B5, true},          // 7
    {D3DFMT_UNKNOWN, false},        // 8
    {D3DFMT_A4R4G4B4, false},       // 9
    {D3DFMT_A1R5G5B5, false},       // 10
    {D3DFMT_X1R5G5B5, false},       // 11
    {D3DFMT_UNKNOWN, false},        // 12
    {D3DFMT_UNKNOWN, false},        // 13
    {D3DFMT_A16B16G16R16, true},    // 14
    {D3DFMT_A2R10G10B10, true},     // 15
    {D3DFMT_A2B10G10R10, true},     // 16
    {D3DFMT_R32F, true},            // 17
    {D3DFMT_G16R16F, true},         // 18
    {D3DFMT_A16B16G16R16F, true},   // 19
    {D3DFMT_A32B32G32R32F, true},   // 20
    {D3DFMT_UNKNOWN, false},        // 21
    {D3DFMT_DXT1, true},            // 22
    {D3DFMT_DXT2, true},            // 23
    {D3DFMT_DXT3, true},            // 24
    {D3DFMT_DXT4, true},            // 25
    {D3DFMT_DXT5, true},            // 26
    {D3DFMT_V8U8, false},           // 27
    {D3DFMT_CxV8U8, false},         // 28
    {D3DFMT_V16U16, false},         // 29
    {D3DFMT_R3G3B2, false},         // 30
    {D3DFMT_A8, true},              // 31
    {D3DFMT_L8, true},              // 32
    {D3DFMT_P8, true},              // 33
    {D3DFMT_D16, true},             // 34
    {D3DFMT_D24S8, true},           // 35
    {D3DFMT_D32, true},             // 36
};

const int32_t formatCodes = int32_t(sizeof(formatTable) / sizeof(formatTable[0]));

}  // namespace

D3DFORMAT textureFormatToD3D(int32_t code) {
  if (code < 0 || code >= formatCodes) return D3DFMT_UNKNOWN;
  return formatTable[code].format;
}

int32_t textureFormatFromD3D(D3DFORMAT format) {
  if (format == D3DFMT_UNKNOWN) return 0;
  for (int32_t code = 1; code < formatCodes; ++code)
    if (formatTable[code].reverse && formatTable[code].format == format) return code;
  return 0;
}
