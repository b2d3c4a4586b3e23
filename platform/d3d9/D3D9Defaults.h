#pragma once
// Direct3D 9 facts every implementation of the device shares: the documented
// default render and sampler states a new device starts with, and the vertex
// count a primitive count stands for.

#include <cstring>

#include "platform/d3d9/d3d9.h"

inline DWORD d3d9FloatBits(float v) {
  DWORD d;
  std::memcpy(&d, &v, 4);
  return d;
}

// Vertices (or indices) a draw of `primitives` primitives of `type` reads; 0
// for an unknown type.
inline UINT d3d9VerticesFor(D3DPRIMITIVETYPE type, UINT primitives) {
  switch (type) {
  case D3DPT_POINTLIST: return primitives;
  case D3DPT_LINELIST: return primitives * 2;
  case D3DPT_LINESTRIP: return primitives + 1;
  case D3DPT_TRIANGLELIST: return primitives * 3;
  case D3DPT_TRIANGLESTRIP:
  case D3DPT_TRIANGLEFAN: return primitives + 2;
  default: return 0;
  }
}

// Size of one vertex of a flexible vertex format; 0 for an invalid one.
inline UINT d3d9FvfVertexSize(DWORD fvf) {
  UINT size = 0;
  DWORD position = fvf & D3DFVF_POSITION_MASK;
  if (position == D3DFVF_XYZ) size += 12;
  else if (position == D3DFVF_XYZRHW || position == D3DFVF_XYZW) size += 16;
  else if (position >= 0x006 && position <= 0x00e) size += 12 + 4 * ((position - 0x006) / 2 + 1);
  else if (position != 0) return 0;
  if (fvf & D3DFVF_NORMAL) size += 12;
  if (fvf & D3DFVF_PSIZE) size += 4;
  if (fvf & D3DFVF_DIFFUSE) size += 4;
  if (fvf & D3DFVF_SPECULAR) size += 4;
  UINT texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (texCount > 8) return 0;
  for (UINT t = 0; t < texCount; ++t) {
    switch ((fvf >> (t * 2 + 16)) & 3) {
    case D3DFVF_TEXTUREFORMAT1: size += 4; break;
    case D3DFVF_TEXTUREFORMAT2: size += 8; break;
    case D3DFVF_TEXTUREFORMAT3: size += 12; break;
    case D3DFVF_TEXTUREFORMAT4: size += 16; break;
    }
  }
  return size;
}

// Fills a 256-entry render-state table with a new device's defaults.
inline void d3d9DefaultRenderStates(DWORD (&states)[256], bool autoDepthStencil) {
  std::memset(states, 0, sizeof states);
  states[D3DRS_ZENABLE] = autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  states[D3DRS_FILLMODE] = D3DFILL_SOLID;
  states[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  states[D3DRS_ZWRITEENABLE] = TRUE;
  states[D3DRS_LASTPIXEL] = TRUE;
  states[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  states[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  states[D3DRS_CULLMODE] = D3DCULL_CCW;
  states[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  states[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  states[D3DRS_FOGEND] = d3d9FloatBits(1.0f);
  states[D3DRS_FOGDENSITY] = d3d9FloatBits(1.0f);
  states[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
  states[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
  states[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
  states[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
  states[D3DRS_STENCILMASK] = 0xFFFFFFFF;
  states[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
  states[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
  states[D3DRS_CLIPPING] = TRUE;
  states[D3DRS_LIGHTING] = TRUE;
  states[D3DRS_COLORVERTEX] = TRUE;
  states[D3DRS_LOCALVIEWER] = TRUE;
  states[D3DRS_DIFFUSEMATERIALSOURCE] = 1;
  states[D3DRS_SPECULARMATERIALSOURCE] = 2;
  states[D3DRS_POINTSIZE] = d3d9FloatBits(1.0f);
  states[D3DRS_POINTSIZE_MIN] = d3d9FloatBits(1.0f);
  states[D3DRS_POINTSCALE_A] = d3d9FloatBits(1.0f);
  states[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
  states[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFF;
  states[D3DRS_POINTSIZE_MAX] = d3d9FloatBits(64.0f);
  states[D3DRS_COLORWRITEENABLE] = 0xF;
  states[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  states[D3DRS_COLORWRITEENABLE1] = 0xF;
  states[D3DRS_COLORWRITEENABLE2] = 0xF;
  states[D3DRS_COLORWRITEENABLE3] = 0xF;
  states[D3DRS_BLENDFACTOR] = 0xFFFFFFFF;
  states[D3DRS_CCW_STENCILFAIL] = D3DSTENCILOP_KEEP;
  states[D3DRS_CCW_STENCILZFAIL] = D3DSTENCILOP_KEEP;
  states[D3DRS_CCW_STENCILPASS] = D3DSTENCILOP_KEEP;
  states[D3DRS_CCW_STENCILFUNC] = D3DCMP_ALWAYS;
  states[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
  states[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
  states[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
}

// Fills each stage's sampler states (14 per stage) with the defaults.
template <size_t Stages>
void d3d9DefaultSamplerStates(DWORD (&stages)[Stages][14]) {
  for (auto& s : stages) {
    std::memset(s, 0, sizeof s);
    s[D3DSAMP_ADDRESSU] = s[D3DSAMP_ADDRESSV] = s[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    s[D3DSAMP_MAGFILTER] = s[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    s[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    s[D3DSAMP_MAXANISOTROPY] = 1;
  }
}
