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
  if (!out) return d3d9Refuse("Lock", "the out pointer is null");
  *out = nullptr;
  if ((flags & (D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE)) && !(usage & D3DUSAGE_DYNAMIC))
    return d3d9Refuse("Lock", "DISCARD and NOOVERWRITE need a dynamic buffer");
  if (offset > bytes.size() || (uint64_t)offset + size > bytes.size())
    return d3d9Refuse("Lock", "bytes %u..%llu outside the buffer's %zu", offset, (unsigned long long)offset + size,
                      bytes.size());
  ++locks;
  checkedRanges.clear();
  *out = bytes.data() + offset;
  return D3D_OK;
}

HRESULT D3D9BufferBytes::unlockBytes() {
  if (locks == 0) return d3d9Refuse("Unlock", "the buffer is not locked");
  --locks;
  return D3D_OK;
}

bool D3D9BufferBytes::indicesInside(UINT start, UINT count, UINT minIndex, UINT vertices, UINT* outside) {
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
    if (v < minIndex || (uint64_t)v >= (uint64_t)minIndex + vertices) {
      if (outside) *outside = v;
      return false;
    }
  }
  checkedRanges[key] = {minIndex, vertices};
  return true;
}

HRESULT d3d9CopyFunction(const std::vector<DWORD>& code, void* data, UINT* size) {
  if (!size) return d3d9Refuse("GetFunction", "the size pointer is null");
  UINT bytes = (UINT)(code.size() * 4);
  if (data) {
    if (*size < bytes) return d3d9Refuse("GetFunction", "%u bytes do not hold the function's %u", *size, bytes);
    std::memcpy(data, code.data(), bytes);
  }
  *size = bytes;
  return D3D_OK;
}

HRESULT d3d9CopyDeclaration(const std::vector<D3DVERTEXELEMENT9>& elements, D3DVERTEXELEMENT9* out, UINT* count) {
  if (!count) return d3d9Refuse("GetDeclaration", "the count pointer is null");
  UINT total = (UINT)elements.size() + 1;
  if (out) {
    if (*count < total) return d3d9Refuse("GetDeclaration", "%u elements do not hold the declaration's %u", *count, total);
    std::memcpy(out, elements.data(), elements.size() * sizeof(D3DVERTEXELEMENT9));
    out[elements.size()] = D3DVERTEXELEMENT9 D3DDECL_END();
  }
  *count = total;
  return D3D_OK;
}
