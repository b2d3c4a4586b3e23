// What Direct3D 9 decides, for every device: capabilities, format and mip
// facts, default states and the checks of the calls it refuses.

#include "platform/d3d9/D3D9Rules.h"

#include "platform/d3d9/ShaderBlob.h"

// --- capabilities -----------------------------------------------------------------
const D3DCAPS9& d3d9Caps() {
  static const D3DCAPS9 caps = [] {
    D3DCAPS9 c;
    std::memset(&c, 0, sizeof c);
    c.DeviceType = D3DDEVTYPE_HAL;
    c.Caps2 = D3DCAPS2_CANAUTOGENMIPMAP | D3DCAPS2_DYNAMICTEXTURES;
    c.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_TWO | D3DPRESENT_INTERVAL_IMMEDIATE;
    c.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE | D3DDEVCAPS_HWRASTERIZATION |
                D3DDEVCAPS_DRAWPRIMITIVES2 | D3DDEVCAPS_DRAWPRIMITIVES2EX | D3DDEVCAPS_DRAWPRIMTLVERTEX |
                D3DDEVCAPS_TEXTUREVIDEOMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY;
    c.PrimitiveMiscCaps = D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW |
                          D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_BLENDOP | D3DPMISCCAPS_SEPARATEALPHABLEND |
                          D3DPMISCCAPS_POSTBLENDSRGBCONVERT;
    c.ZCmpCaps = 0xFF;  // NEVER .. ALWAYS
    c.AlphaCmpCaps = 0xFF;
    c.SrcBlendCaps = 0x3FFF;  // ZERO .. BLENDFACTOR
    c.DestBlendCaps = 0x3FFF;
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_CUBEMAP |
                    D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_MIPCUBEMAP;
    c.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MINFANISOTROPIC |
                          D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                          D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_MAGFANISOTROPIC;
    c.CubeTextureFilterCaps = c.TextureFilterCaps;
    c.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                           D3DPTADDRESSCAPS_BORDER;
    c.MaxTextureWidth = 8192;
    c.MaxTextureHeight = 8192;
    c.MaxTextureRepeat = 8192;
    c.MaxTextureAspectRatio = 8192;
    c.MaxAnisotropy = 16;
    c.MaxVertexW = 1e10f;
    c.GuardBandLeft = -32768.0f;
    c.GuardBandTop = -32768.0f;
    c.GuardBandRight = 32768.0f;
    c.GuardBandBottom = 32768.0f;
    c.StencilCaps = 0x1FF;  // KEEP .. DECR, TWOSIDED
    c.MaxTextureBlendStages = 8;
    c.MaxSimultaneousTextures = 8;
    c.VertexProcessingCaps = D3DVTXPCAPS_DIRECTIONALLIGHTS | D3DVTXPCAPS_POSITIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER;
    c.MaxActiveLights = 8;
    // No user clip planes, and no point sizes: D3DRS_POINTSIZE has no GL counterpart here.
    c.MaxUserClipPlanes = 0;
    c.MaxPointSize = 1.0f;
    c.MaxPrimitiveCount = 0xFFFFF;
    c.MaxVertexIndex = 0xFFFFFF;
    c.MaxStreams = D3D9_STREAMS;
    c.MaxStreamStride = 255;
    c.VertexShaderVersion = D3DVS_VERSION(3, 0);
    c.MaxVertexShaderConst = D3D9_VERTEX_SHADER_CONSTANT_REGISTERS;
    c.PixelShaderVersion = D3DPS_VERSION(3, 0);
    c.PixelShader1xMaxValue = 65504.0f;
    c.NumberOfAdaptersInGroup = 1;
    c.DeclTypes = 0x3FF;  // UBYTE4 .. FLOAT16_4
    c.NumSimultaneousRTs = D3D9_RENDER_TARGETS;
    c.StretchRectFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                              D3DPTFILTERCAPS_MAGFLINEAR;
    c.VS20Caps = {1, 24, 32, 4};
    c.PS20Caps = {0x1F, 24, 32, 4, 512};
    c.VertexTextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MAGFPOINT;
    c.MaxVShaderInstructionsExecuted = 65535;
    c.MaxPShaderInstructionsExecuted = 65535;
    c.MaxVertexShader30InstructionSlots = 32768;
    c.MaxPixelShader30InstructionSlots = 32768;
    return c;
  }();
  return caps;
}

// --- formats and mips -------------------------------------------------------------
UINT d3d9BytesPerTexel(D3DFORMAT format) {
  switch (format) {
  case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: case D3DFMT_A8B8G8R8: case D3DFMT_X8B8G8R8:
  case D3DFMT_A2B10G10R10: case D3DFMT_A2R10G10B10: case D3DFMT_G16R16: case D3DFMT_R32F:
  case D3DFMT_G16R16F: case D3DFMT_V16U16: case D3DFMT_X8L8V8U8: case D3DFMT_Q8W8V8U8:
  case D3DFMT_D32: case D3DFMT_D24S8: case D3DFMT_D24X8: case D3DFMT_D24X4S4: case D3DFMT_D24FS8:
  case D3DFMT_D32F_LOCKABLE: case D3DFMT_INDEX32:
    return 4;
  case D3DFMT_R8G8B8: return 3;
  case D3DFMT_R5G6B5: case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5: case D3DFMT_A4R4G4B4: case D3DFMT_X4R4G4B4:
  case D3DFMT_A8R3G3B2: case D3DFMT_A8L8: case D3DFMT_V8U8: case D3DFMT_L6V5U5: case D3DFMT_L16:
  case D3DFMT_R16F: case D3DFMT_D16: case D3DFMT_D16_LOCKABLE: case D3DFMT_D15S1: case D3DFMT_INDEX16:
  case D3DFMT_A8P8: case D3DFMT_CxV8U8:
    return 2;
  case D3DFMT_A8: case D3DFMT_L8: case D3DFMT_P8: case D3DFMT_R3G3B2: case D3DFMT_A4L4:
    return 1;
  case D3DFMT_A16B16G16R16: case D3DFMT_A16B16G16R16F: case D3DFMT_G32R32F: case D3DFMT_Q16W16V16U16:
    return 8;
  case D3DFMT_A32B32G32R32F: return 16;
  default: return 0;
  }
}

UINT d3d9BlockBytes(D3DFORMAT format) {
  if (format == D3DFMT_DXT1) return 8;
  if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 || format == D3DFMT_DXT5) return 16;
  return 0;
}

UINT d3d9Pitch(D3DFORMAT format, UINT width) {
  if (UINT b = d3d9BlockBytes(format)) return ((width + 3) / 4) * b;
  return width * d3d9BytesPerTexel(format);
}

UINT d3d9Rows(D3DFORMAT format, UINT height) { return d3d9BlockBytes(format) ? (height + 3) / 4 : height; }

size_t d3d9LevelBytes(D3DFORMAT format, UINT width, UINT height) {
  return (size_t)d3d9Pitch(format, width) * d3d9Rows(format, height);
}

bool d3d9IsDepthFormat(D3DFORMAT f) {
  return f == D3DFMT_D16_LOCKABLE || f == D3DFMT_D32 || f == D3DFMT_D15S1 || f == D3DFMT_D24S8 || f == D3DFMT_D24X8 ||
         f == D3DFMT_D24X4S4 || f == D3DFMT_D16 || f == D3DFMT_D32F_LOCKABLE || f == D3DFMT_D24FS8;
}

bool d3d9BackBufferMatchesDisplay(D3DFORMAT display, D3DFORMAT back) {
  switch (display) {
  case D3DFMT_X8R8G8B8: return back == D3DFMT_X8R8G8B8 || back == D3DFMT_A8R8G8B8;
  case D3DFMT_X1R5G5B5: return back == D3DFMT_X1R5G5B5 || back == D3DFMT_A1R5G5B5;
  case D3DFMT_R5G6B5: return back == D3DFMT_R5G6B5;
  case D3DFMT_A2R10G10B10: return back == D3DFMT_A2R10G10B10;
  default: return false;
  }
}

bool d3d9HasStencil(D3DFORMAT f) {
  return f == D3DFMT_D24S8 || f == D3DFMT_D24X4S4 || f == D3DFMT_D15S1 || f == D3DFMT_D24FS8;
}

UINT d3d9IndexSize(D3DFORMAT format) {
  return format == D3DFMT_INDEX16 ? 2 : format == D3DFMT_INDEX32 ? 4 : 0;
}

UINT d3d9FullMipCount(UINT width, UINT height) {
  UINT levels = 1;
  while (width > 1 || height > 1) {
    width = width > 1 ? width / 2 : 1;
    height = height > 1 ? height / 2 : 1;
    ++levels;
  }
  return levels;
}

UINT d3d9LevelCount(UINT width, UINT height, UINT levels, DWORD usage) {
  if (usage & D3DUSAGE_AUTOGENMIPMAP) return 1;
  return levels == 0 ? d3d9FullMipCount(width, height) : levels;
}

bool d3d9RectInside(const RECT* r, UINT width, UINT height) {
  return !r || (r->left >= 0 && r->top >= 0 && r->left < r->right && r->top < r->bottom && (UINT)r->right <= width &&
                (UINT)r->bottom <= height);
}

bool d3d9LockOffset(D3DFORMAT format, UINT width, UINT height, const RECT* r, size_t* offset) {
  *offset = 0;
  if (!r) return true;
  if (!d3d9RectInside(r, width, height)) return false;
  size_t pitch = d3d9Pitch(format, width);
  if (UINT block = d3d9BlockBytes(format)) {
    if ((r->left & 3) || (r->top & 3)) return false;
    *offset = (size_t)(r->top / 4) * pitch + (size_t)(r->left / 4) * block;
  } else {
    *offset = (size_t)r->top * pitch + (size_t)r->left * d3d9BytesPerTexel(format);
  }
  return true;
}

// --- a new device --------------------------------------------------------------------
void d3d9DefaultRenderStates(DWORD (&states)[D3D9_RENDER_STATES], bool autoDepthStencil) {
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

void d3d9DefaultSamplerStates(DWORD (&stages)[D3D9_STAGES][D3D9_SAMPLER_STATES]) {
  for (auto& s : stages) {
    std::memset(s, 0, sizeof s);
    s[D3DSAMP_ADDRESSU] = s[D3DSAMP_ADDRESSV] = s[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    s[D3DSAMP_MAGFILTER] = s[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    s[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    s[D3DSAMP_MAXANISOTROPY] = 1;
  }
}

void d3d9DefaultStageStates(DWORD (&stages)[D3D9_TEXTURE_STAGES][D3D9_STAGE_STATES]) {
  for (DWORD i = 0; i < D3D9_TEXTURE_STAGES; ++i) {
    DWORD* s = stages[i];
    std::memset(s, 0, sizeof stages[i]);
    // Stage 0 modulates texture and diffuse colour, takes the texture's
    // alpha; the stages after it are off.
    s[D3DTSS_COLOROP] = i == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    s[D3DTSS_ALPHAOP] = i == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    s[D3DTSS_COLORARG1] = s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    s[D3DTSS_COLORARG2] = s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    s[D3DTSS_COLORARG0] = s[D3DTSS_ALPHAARG0] = s[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    s[D3DTSS_TEXCOORDINDEX] = i;
  }
}

void d3d9DefaultTransforms(D3DMATRIX (&transforms)[D3D9_TRANSFORMS]) {
  for (D3DMATRIX& m : transforms) {
    std::memset(&m, 0, sizeof m);
    m._11 = m._22 = m._33 = m._44 = 1.0f;
  }
}

D3DMATRIX d3d9Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
  return r;
}

// --- vertices -----------------------------------------------------------------------
bool d3d9FvfElements(DWORD fvf, std::vector<D3DVERTEXELEMENT9>& elements) {
  elements.clear();
  if (d3d9FvfVertexSize(fvf) == 0) return false;
  WORD offset = 0;
  auto add = [&](BYTE type, BYTE usage, BYTE index, WORD size) {
    elements.push_back({0, offset, type, D3DDECLMETHOD_DEFAULT, usage, index});
    offset = (WORD)(offset + size);
  };
  DWORD position = fvf & D3DFVF_POSITION_MASK;
  if (position == D3DFVF_XYZRHW) add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0, 16);
  else if (position == D3DFVF_XYZW) add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0, 16);
  else if (position != 0) add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0, 12);
  if (position >= D3DFVF_XYZB1 && position <= 0x00e) {
    // XYZB1..XYZB5: that many blend weights.
    static const BYTE weights[] = {D3DDECLTYPE_FLOAT1, D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3, D3DDECLTYPE_FLOAT4};
    UINT count = (position - D3DFVF_XYZB1) / 2 + 1;
    if (count > 4) {
      add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_BLENDWEIGHT, 0, 16);
      add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_BLENDINDICES, 0, 4);
    } else {
      add(weights[count - 1], D3DDECLUSAGE_BLENDWEIGHT, 0, (WORD)(4 * count));
    }
  }
  if (fvf & D3DFVF_NORMAL) add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0, 12);
  if (fvf & D3DFVF_PSIZE) add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0, 4);
  if (fvf & D3DFVF_DIFFUSE) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0, 4);
  if (fvf & D3DFVF_SPECULAR) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1, 4);
  UINT texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  for (UINT t = 0; t < texCount; ++t) {
    switch ((fvf >> (t * 2 + 16)) & 3) {
    case D3DFVF_TEXTUREFORMAT1: add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_TEXCOORD, (BYTE)t, 4); break;
    case D3DFVF_TEXTUREFORMAT2: add(D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, (BYTE)t, 8); break;
    case D3DFVF_TEXTUREFORMAT3: add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_TEXCOORD, (BYTE)t, 12); break;
    default: add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TEXCOORD, (BYTE)t, 16); break;
    }
  }
  return true;
}

UINT d3d9FvfVertexSize(DWORD fvf) {
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

uint32_t d3d9DeclarationStreams(const std::vector<D3DVERTEXELEMENT9>& elements) {
  uint32_t mask = 0;
  for (const D3DVERTEXELEMENT9& e : elements) mask |= 1u << e.Stream;
  return mask;
}

// --- buffers ----------------------------------------------------------------------------
D3D9BufferBytes::D3D9BufferBytes(UINT length, DWORD use, UINT index)
    : bytes(length, 0), usage(use), indexSize(index) {}

HRESULT D3D9BufferBytes::lockBytes(UINT offset, UINT size, void** out, DWORD flags) {
  if (!out) return D3DERR_INVALIDCALL;
  *out = nullptr;
  if ((flags & (D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE)) && !(usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
  if (offset > bytes.size() || (uint64_t)offset + size > bytes.size()) return D3DERR_INVALIDCALL;
  ++locks;
  checkedRanges.clear();
  *out = bytes.data() + offset;
  return D3D_OK;
}

HRESULT D3D9BufferBytes::unlockBytes() {
  if (locks == 0) return D3DERR_INVALIDCALL;
  --locks;
  return D3D_OK;
}

bool D3D9BufferBytes::indicesInside(UINT start, UINT count, UINT minIndex, UINT vertices) {
  uint64_t key = ((uint64_t)start << 32) | count;
  auto checked = checkedRanges.find(key);
  if (checked != checkedRanges.end() && checked->second.minIndex == minIndex && checked->second.vertices == vertices)
    return true;
  const uint8_t* p = bytes.data() + (size_t)start * indexSize;
  for (UINT i = 0; i < count; ++i) {
    uint32_t v;
    if (indexSize == 2) {
      uint16_t s;
      std::memcpy(&s, p + (size_t)i * 2, 2);
      v = s;
    } else {
      std::memcpy(&v, p + (size_t)i * 4, 4);
    }
    if (v < minIndex || (uint64_t)v >= (uint64_t)minIndex + vertices) return false;
  }
  checkedRanges[key] = {minIndex, vertices};
  return true;
}

// --- checks ------------------------------------------------------------------------------
namespace {
const HRESULT invalid = D3DERR_INVALIDCALL;

HRESULT refuseIf(bool refused) { return refused ? invalid : D3D_OK; }

bool sizeOk(UINT width, UINT height) {
  const D3DCAPS9& caps = d3d9Caps();
  return width > 0 && height > 0 && width <= caps.MaxTextureWidth && height <= caps.MaxTextureHeight;
}

// Pools and usages every resource shares: no shared handles, dynamic
// resources are not managed, scratch resources are not offered.
bool poolOk(D3DPOOL pool, DWORD usage, const HANDLE* shared) {
  return !shared && pool < D3DPOOL_SCRATCH && !((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED);
}

bool pureDevice(DWORD behavior) { return (behavior & D3DCREATE_PUREDEVICE) != 0; }

bool renderTarget(const D3DSURFACE_DESC* d) { return d && (d->Usage & D3DUSAGE_RENDERTARGET); }
bool depthStencil(const D3DSURFACE_DESC* d) { return d && (d->Usage & D3DUSAGE_DEPTHSTENCIL); }
}  // namespace

HRESULT d3d9CheckGetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, UINT backBuffers,
                               const void* out) {
  return refuseIf(swapChain != 0 || index >= backBuffers || type != D3DBACKBUFFER_TYPE_MONO || !out);
}

HRESULT d3d9CheckGetDisplayMode(UINT swapChain, const void* out) { return refuseIf(swapChain != 0 || !out); }

HRESULT d3d9CheckPresent(const RECT* sourceRect, const D3DSURFACE_DESC& backBuffer) {
  return refuseIf(!d3d9RectInside(sourceRect, backBuffer.Width, backBuffer.Height));
}

HRESULT d3d9CheckCreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DPOOL pool, bool formatOk,
                               const void* out, const HANDLE* shared) {
  bool gpuOnly = (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) != 0;
  return refuseIf(!out || !sizeOk(width, height) || levels > d3d9FullMipCount(width, height) ||
                  !poolOk(pool, usage, shared) || (gpuOnly && pool != D3DPOOL_DEFAULT) ||
                  ((usage & D3DUSAGE_AUTOGENMIPMAP) && levels > 1) || !formatOk);
}

HRESULT d3d9CheckCreateCubeTexture(UINT edge, UINT levels, DWORD usage, D3DPOOL pool, bool formatOk, const void* out,
                                   const HANDLE* shared) {
  if (usage & D3DUSAGE_DEPTHSTENCIL) return invalid;
  return d3d9CheckCreateTexture(edge, edge, levels, usage, pool, formatOk, out, shared);
}

HRESULT d3d9CheckCreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, const void* out,
                                    const HANDLE* shared) {
  UINT vertexSize = fvf ? d3d9FvfVertexSize(fvf) : 0;
  // A buffer with a vertex format must hold at least one vertex.
  return refuseIf(!out || length == 0 || (fvf && (vertexSize == 0 || length < vertexSize)) ||
                  !poolOk(pool, usage, shared) || (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)));
}

HRESULT d3d9CheckCreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, const void* out,
                                   const HANDLE* shared) {
  UINT indexSize = d3d9IndexSize(format);
  return refuseIf(!out || indexSize == 0 || length < indexSize || !poolOk(pool, usage, shared) ||
                  (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)));
}

// Multisample quality levels are one per type on both devices.
HRESULT d3d9CheckCreateRenderTarget(UINT width, UINT height, D3DMULTISAMPLE_TYPE multisample, DWORD quality,
                                    BOOL lockable, bool formatOk, bool multisampleOk, const void* out,
                                    const HANDLE* shared) {
  return refuseIf(!out || shared || !sizeOk(width, height) || !formatOk || !multisampleOk || quality > 0 ||
                  (lockable && multisample != D3DMULTISAMPLE_NONE));
}

HRESULT d3d9CheckCreateDepthStencilSurface(UINT width, UINT height, DWORD quality, bool formatOk, bool multisampleOk,
                                           const void* out, const HANDLE* shared) {
  return refuseIf(!out || shared || !sizeOk(width, height) || !formatOk || !multisampleOk || quality > 0);
}

HRESULT d3d9CheckCreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool, bool formatOk,
                                             const void* out, const HANDLE* shared) {
  return refuseIf(!out || shared || !sizeOk(width, height) || pool == D3DPOOL_MANAGED || pool > D3DPOOL_SCRATCH ||
                  d3d9Pitch(format, 1) == 0 || d3d9IsDepthFormat(format) || !formatOk);
}

HRESULT d3d9CheckVertexElements(const D3DVERTEXELEMENT9* elements, const void* out, UINT* count) {
  *count = 0;
  if (!elements || !out) return invalid;
  while (*count < MAXD3DDECLLENGTH && elements[*count].Stream != 0xFF) {
    const D3DVERTEXELEMENT9& e = elements[(*count)++];
    bool ok = e.Stream < D3D9_STREAMS && e.Type < D3DDECLTYPE_UNUSED && e.Method <= D3DDECLMETHOD_LOOKUPPRESAMPLED &&
              e.Usage <= MAXD3DDECLUSAGE && e.UsageIndex <= MAXD3DDECLUSAGEINDEX && (e.Offset & 3) == 0;
    for (UINT k = 0; k + 1 < *count && ok; ++k)
      if (elements[k].Usage == e.Usage && elements[k].UsageIndex == e.UsageIndex) ok = false;
    if (!ok) return invalid;
  }
  return refuseIf(*count == MAXD3DDECLLENGTH);
}

HRESULT d3d9CheckShaderFunction(const DWORD* function, bool pixel, const void* out) {
  UINT size = shaderBlobSize(function);
  ShaderBlobView view;
  if (!out || size == 0 || !shaderBlobParse(function, size, &view) || view.isPixelShader() != pixel) return invalid;
  UINT registers = pixel ? D3D9_PIXEL_SHADER_CONSTANT_REGISTERS : D3D9_VERTEX_SHADER_CONSTANT_REGISTERS;
  if (view.header->registerCount > registers) return invalid;
  // Pixel shaders sample stages 0..15, vertex shaders the 4 vertex samplers.
  for (DWORD i = 0; i < view.header->samplerCount; ++i)
    if (view.samplers[i].unit >= (pixel ? 16u : 4u)) return invalid;
  return D3D_OK;
}

HRESULT d3d9CheckGetRenderTargetData(const D3D9SurfaceArg& source, const D3D9SurfaceArg& dest) {
  const D3DSURFACE_DESC* s = source.desc;
  const D3DSURFACE_DESC* d = dest.desc;
  return refuseIf(!renderTarget(s) || !dest.plain() || s->MultiSampleType != D3DMULTISAMPLE_NONE ||
                  d->Pool != D3DPOOL_SYSTEMMEM || s->Width != d->Width || s->Height != d->Height ||
                  s->Format != d->Format);
}

HRESULT d3d9CheckStretchRect(const D3D9SurfaceArg& source, const RECT* sourceRect, const D3D9SurfaceArg& dest,
                             const RECT* destRect, D3DTEXTUREFILTERTYPE filter) {
  const D3DSURFACE_DESC* s = source.desc;
  const D3DSURFACE_DESC* d = dest.desc;
  // Each surface has a description of its own: the same one is the same surface.
  return refuseIf(!s || !renderTarget(d) || s == d || d->MultiSampleType != D3DMULTISAMPLE_NONE ||
                  (!renderTarget(s) && !source.plain()) || depthStencil(s) || d3d9BlockBytes(s->Format) ||
                  !d3d9RectInside(sourceRect, s->Width, s->Height) || !d3d9RectInside(destRect, d->Width, d->Height) ||
                  filter > D3DTEXF_LINEAR);
}

HRESULT d3d9CheckSetRenderTarget(DWORD index, const void* argument, const D3DSURFACE_DESC* surface) {
  return refuseIf(index >= D3D9_RENDER_TARGETS || (index == 0 && !argument) || (argument && !renderTarget(surface)));
}

HRESULT d3d9CheckGetRenderTarget(DWORD index, const void* out) {
  return refuseIf(index >= D3D9_RENDER_TARGETS || !out);
}

HRESULT d3d9CheckSetDepthStencilSurface(const void* argument, const D3DSURFACE_DESC* surface) {
  return refuseIf(argument && !depthStencil(surface));
}

HRESULT d3d9CheckScene(bool open, bool opening) { return refuseIf(open == opening); }

HRESULT d3d9CheckClear(DWORD count, const D3DRECT* rects, DWORD flags, float z, const D3DSURFACE_DESC* depth) {
  const DWORD all = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
  return refuseIf((count == 0) != (rects == nullptr) || flags == 0 || (flags & ~all) != 0 ||
                  !(z >= 0.0f && z <= 1.0f) ||
                  ((flags & D3DCLEAR_ZBUFFER) && !depth) ||
                  ((flags & D3DCLEAR_STENCIL) && (!depth || !d3d9HasStencil(depth->Format))));
}

HRESULT d3d9CheckSetViewport(const D3DVIEWPORT9* v, const D3DSURFACE_DESC& target) {
  // Written so that NaN depths fail too.
  return refuseIf(!v || v->Width == 0 || v->Height == 0 || (uint64_t)v->X + v->Width > target.Width ||
                  (uint64_t)v->Y + v->Height > target.Height || !(v->MinZ >= 0.0f) || !(v->MaxZ <= 1.0f) ||
                  v->MinZ > v->MaxZ);
}

HRESULT d3d9CheckSetRenderState(D3DRENDERSTATETYPE state) {
  return refuseIf(state == 0 || state >= D3D9_RENDER_STATES);
}

HRESULT d3d9CheckGetRenderState(D3DRENDERSTATETYPE state, const void* out, DWORD behavior) {
  return refuseIf(d3d9CheckSetRenderState(state) != D3D_OK || !out || pureDevice(behavior));
}

HRESULT d3d9CheckSetTexture(DWORD stage, const void* argument, const void* own) {
  return refuseIf(d3d9StageIndex(stage) < 0 || d3d9CheckObject(argument, own) != D3D_OK);
}

HRESULT d3d9CheckGetTexture(DWORD stage, const void* out, DWORD behavior) {
  return refuseIf(d3d9StageIndex(stage) < 0 || !out || pureDevice(behavior));
}

HRESULT d3d9CheckSetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type) {
  return refuseIf(d3d9StageIndex(sampler) < 0 || type < D3DSAMP_ADDRESSU || type >= D3D9_SAMPLER_STATES);
}

HRESULT d3d9CheckGetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, const void* out, DWORD behavior) {
  return refuseIf(d3d9CheckSetSamplerState(sampler, type) != D3D_OK || !out || pureDevice(behavior));
}

HRESULT d3d9CheckSetFVF(DWORD fvf) { return refuseIf(fvf != 0 && d3d9FvfVertexSize(fvf) == 0); }

HRESULT d3d9CheckGetFVF(const void* out, DWORD behavior) { return refuseIf(!out || pureDevice(behavior)); }

HRESULT d3d9CheckSetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  return refuseIf(d3d9TransformIndex(state) < 0 || !matrix);
}

HRESULT d3d9CheckGetTransform(D3DTRANSFORMSTATETYPE state, const void* out, DWORD behavior) {
  return refuseIf(d3d9TransformIndex(state) < 0 || !out || pureDevice(behavior));
}

HRESULT d3d9CheckSetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
  return refuseIf(stage >= D3D9_TEXTURE_STAGES || type < D3DTSS_COLOROP || type >= D3D9_STAGE_STATES);
}

HRESULT d3d9CheckGetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, const void* out, DWORD behavior) {
  return refuseIf(d3d9CheckSetTextureStageState(stage, type) != D3D_OK || !out || pureDevice(behavior));
}

HRESULT d3d9CheckSetScissorRect(const RECT* rect) { return refuseIf(!rect); }

HRESULT d3d9CheckGetScissorRect(const void* out) { return refuseIf(!out); }

// Blocks of every state; the pixel- and vertex-state subsets are not offered.
HRESULT d3d9CheckCreateStateBlock(D3DSTATEBLOCKTYPE type, const void* out) {
  return refuseIf(!out || type != D3DSBT_ALL);
}

HRESULT d3d9CheckSetConstants(UINT start, const float* data, UINT count, UINT registers) {
  return refuseIf(!data || (uint64_t)start + count > registers);
}

HRESULT d3d9CheckGetConstants(UINT start, const float* data, UINT count, UINT registers, DWORD behavior) {
  return refuseIf(d3d9CheckSetConstants(start, data, count, registers) != D3D_OK || pureDevice(behavior));
}

HRESULT d3d9CheckSetStreamSource(UINT stream, const void* argument, const void* own, UINT offset, UINT stride) {
  return refuseIf(stream >= D3D9_STREAMS || d3d9CheckObject(argument, own) != D3D_OK || (offset & 3) != 0 ||
                  stride > d3d9Caps().MaxStreamStride);
}

HRESULT d3d9CheckGetStreamSource(UINT stream, const void* buffer, const void* offset, const void* stride) {
  return refuseIf(stream >= D3D9_STREAMS || !buffer || !offset || !stride);
}

HRESULT d3d9CheckLockRect(const D3DSURFACE_DESC& desc, bool lockable, bool locked, const RECT* rect, const void* out,
                          size_t* offset) {
  return refuseIf(!out || !lockable || locked || desc.MultiSampleType != D3DMULTISAMPLE_NONE ||
                  (desc.Usage & D3DUSAGE_DEPTHSTENCIL) ||
                  !d3d9LockOffset(desc.Format, desc.Width, desc.Height, rect, offset));
}

HRESULT d3d9CheckDrawCall(const D3D9Draw& draw, bool inScene, bool declared) {
  return refuseIf(!inScene || !declared || draw.primitives == 0 || d3d9VerticesFor(draw.type, draw.primitives) == 0);
}

// Indices past the buffer, vertex ranges before vertex 0, and index values
// outside [MinVertexIndex, MinVertexIndex + NumVertices) are refused.
HRESULT d3d9CheckIndices(const D3D9Draw& draw, D3D9BufferBytes* indices) {
  if (!indices || indices->isLocked() || draw.vertices == 0 || (int64_t)draw.baseVertex + draw.firstVertex < 0)
    return invalid;
  UINT count = d3d9VerticesFor(draw.type, draw.primitives);
  if (((uint64_t)draw.startIndex + count) * indices->indexBytes() > indices->byteSize()) return invalid;
  return refuseIf(!indices->indicesInside(draw.startIndex, count, draw.firstVertex, draw.vertices));
}

HRESULT d3d9CheckStream(const D3D9BufferBytes* buffer, UINT offset, UINT stride, uint64_t vertexEnd) {
  return refuseIf(!buffer || stride == 0 || buffer->isLocked() || offset + vertexEnd * stride > buffer->byteSize());
}

HRESULT d3d9CheckDrawUP(D3DPRIMITIVETYPE type, UINT primitives, const void* data, UINT stride, bool inScene,
                        bool declared, uint32_t streamMask) {
  D3D9Draw draw = {type, primitives, false, 0, 0, 0, 0};
  if (HRESULT hr = d3d9CheckDrawCall(draw, inScene, declared)) return hr;
  // The vertices are stream 0: a declaration reading other streams has nothing to read.
  return refuseIf(!data || stride == 0 || stride > d3d9Caps().MaxStreamStride || (streamMask & ~1u) != 0 ||
                  (uint64_t)d3d9VerticesFor(type, primitives) * stride > D3D9_USER_VERTEX_BYTES);
}

HRESULT d3d9CopyFunction(const std::vector<DWORD>& code, void* data, UINT* size) {
  if (!size) return invalid;
  UINT bytes = (UINT)(code.size() * 4);
  if (data) {
    if (*size < bytes) return invalid;
    std::memcpy(data, code.data(), bytes);
  }
  *size = bytes;
  return D3D_OK;
}

HRESULT d3d9CopyDeclaration(const std::vector<D3DVERTEXELEMENT9>& elements, D3DVERTEXELEMENT9* out, UINT* count) {
  if (!count) return invalid;
  UINT total = (UINT)elements.size() + 1;
  if (out) {
    if (*count < total) return invalid;
    std::memcpy(out, elements.data(), elements.size() * sizeof(D3DVERTEXELEMENT9));
    out[elements.size()] = D3DVERTEXELEMENT9 D3DDECL_END();
  }
  *count = total;
  return D3D_OK;
}
