#pragma once
// Decoding of the image files D3DX loads: DDS by our own reader, the rest
// through stb_image. Internal to vantrel_d3dx.

#include "platform/d3dx/d3dx9tex.h"

#include <string>
#include <vector>

struct DecodedImage {
  D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_BMP;
  D3DFORMAT format = D3DFMT_UNKNOWN;  // of the stored levels
  UINT width = 0;
  UINT height = 0;
  bool cube = false;
  UINT levels = 0;  // levels per face stored in the file
  // Level data, face-major (face * levels + level); rows tightly packed at
  // imagePitch(format, width of the level).
  std::vector<std::vector<uint8_t>> surfaces;

  UINT faces() const { return cube ? 6 : 1; }
  const std::vector<uint8_t>& surface(UINT face, UINT level) const { return surfaces[face * levels + level]; }
};

// Reads the header only (headerOnly) or the whole image. False with a reason
// for anything that is not a complete, supported image; nothing is read
// beyond `size` bytes.
bool decodeImage(const void* data, size_t size, bool headerOnly, DecodedImage* out, std::string* error);

// Bytes per row (per row of 4x4 blocks for DXTn) and per level; 0 for a format
// the loaders do not handle.
UINT imagePitch(D3DFORMAT format, UINT width);
UINT imageLevelBytes(D3DFORMAT format, UINT width, UINT height);
bool isBlockCompressed(D3DFORMAT format);

// Converts one level to A8R8G8B8 (bytes B, G, R, A); false for formats
// without a conversion (floating point).
bool imageToArgb8(D3DFORMAT format, UINT width, UINT height, const uint8_t* src, std::vector<uint8_t>* argb);
// Converts A8R8G8B8 to one of the 8- or 16-bit RGB formats (not DXTn); false otherwise.
bool imageFromArgb8(D3DFORMAT format, UINT width, UINT height, const uint8_t* argb, std::vector<uint8_t>* dst);
// The next mip level of an A8R8G8B8 level: 2x2 box filter (1-wide edges average 2).
void imageHalveArgb8(UINT width, UINT height, const uint8_t* src, std::vector<uint8_t>* dst);
