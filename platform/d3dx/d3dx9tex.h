#pragma once
// The D3DX 9 image functions: JPEG, PNG, BMP and TGA through stb_image; DDS
// (2-D and cube; DXT1/3/5, A8R8G8B8, X8R8G8B8, R5G6B5, X1R5G5B5, A4R4G4B4,
// A1R5G5B5; with or without mip levels) through our own reader. Textures are
// created through the device interface with a full mip chain: the file's own
// levels for DDS when it has a complete chain, otherwise generated with a box
// filter (a compressed DDS without its levels is decompressed to A8R8G8B8 to
// generate them).
//
// Defaults (D3DX_DEFAULT): the file's size (no rounding to powers of two: the
// devices have no such limit), a full mip chain, the file's format (stb_image
// files: A8R8G8B8 with an alpha channel, X8R8G8B8 without), pool MANAGED.

#include "platform/d3d9/d3d9.h"

#define D3DX_FILTER_NONE (1 << 0)
#define D3DX_FILTER_POINT (2 << 0)
#define D3DX_FILTER_LINEAR (3 << 0)
#define D3DX_FILTER_TRIANGLE (4 << 0)
#define D3DX_FILTER_BOX (5 << 0)
#define D3DX_FILTER_MIRROR_U (1 << 16)
#define D3DX_FILTER_MIRROR_V (2 << 16)
#define D3DX_FILTER_MIRROR_W (4 << 16)
#define D3DX_FILTER_MIRROR (7 << 16)
#define D3DX_FILTER_DITHER (1 << 19)
#define D3DX_FILTER_DITHER_DIFFUSION (2 << 19)
#define D3DX_FILTER_SRGB_IN (1 << 21)
#define D3DX_FILTER_SRGB_OUT (2 << 21)
#define D3DX_FILTER_SRGB (3 << 21)

enum D3DXIMAGE_FILEFORMAT : DWORD {
  D3DXIFF_BMP = 0,
  D3DXIFF_JPG = 1,
  D3DXIFF_TGA = 2,
  D3DXIFF_PNG = 3,
  D3DXIFF_DDS = 4,
  D3DXIFF_PPM = 5,
  D3DXIFF_DIB = 6,
  D3DXIFF_HDR = 7,
  D3DXIFF_PFM = 8,
  D3DXIFF_FORCE_DWORD = 0x7fffffff
};

struct D3DXIMAGE_INFO {
  UINT Width;   // level 0 (one face for a cube map)
  UINT Height;
  UINT Depth;   // 1
  UINT MipLevels;  // levels stored in the file (1 for stb_image files)
  D3DFORMAT Format;  // the format a default load creates
  D3DRESOURCETYPE ResourceType;  // D3DRTYPE_TEXTURE or D3DRTYPE_CUBETEXTURE
  D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

struct PALETTEENTRY;

HRESULT D3DXGetImageInfoFromFileInMemory(LPCVOID pSrcData, UINT SrcDataSize, D3DXIMAGE_INFO* pSrcInfo);

HRESULT D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize,
                                          LPDIRECT3DTEXTURE9* ppTexture);

// Width, Height: D3DX_DEFAULT, D3DX_DEFAULT_NONPOW2, D3DX_FROM_FILE or 0 keep
// the file's size (another size is refused with D3DERR_INVALIDCALL: the
// loader does not resample). MipLevels: 0 or D3DX_DEFAULT a full chain,
// D3DX_FROM_FILE the file's levels, n at most n. Format: D3DFMT_UNKNOWN or
// D3DFMT_FROM_FILE the file's, another RGB format to convert to; a format the
// device cannot create becomes A8R8G8B8. Pool: textures are filled through
// LockRect, so D3DPOOL_DEFAULT needs D3DUSAGE_DYNAMIC. Filter and MipFilter:
// box filtering whatever is asked. ColorKey (non-zero): texels of that ARGB
// colour become transparent black. pPalette is not used. A cube-map file
// gives its +X face. Undecodable data: D3DXERR_INVALIDDATA.
HRESULT D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize,
                                            UINT Width, UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                            D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* pPalette,
                                            LPDIRECT3DTEXTURE9* ppTexture);

// A cube map needs a DDS cube file with all six faces (else D3DXERR_INVALIDDATA).
HRESULT D3DXCreateCubeTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize,
                                              LPDIRECT3DCUBETEXTURE9* ppCubeTexture);
