#pragma once
// The compiled shader blob: what D3DXCompileShader puts in its ID3DXBuffer and
// what IDirect3DDevice9::CreateVertexShader/CreatePixelShader take as
// pFunction. Like Direct3D 9 byte code it is a stream of little-endian DWORDs
// that starts with the version token and ends with the end token 0x0000FFFF;
// in between it carries GLSL 330 core source and the reflection a device needs
// to run it. Written by platform/d3dx (ShaderCompiler), read by every device
// through shaderBlobParse below.
//
// Layout (offsets in bytes from the start of the blob, all 4-byte aligned):
//   ShaderBlobHeader
//   ShaderBlobConstant[constantCount]   at constantOffset
//   ShaderBlobSampler[samplerCount]     at samplerOffset
//   ShaderBlobVarying[inputCount]       at inputOffset
//   ShaderBlobVarying[outputCount]      at outputOffset
//   strings (zero-terminated, referenced by offset from stringsOffset; offset 0
//            is the empty string)        at stringsOffset, stringsBytes long
//   GLSL source, zero-terminated         at glslOffset (glslBytes without the zero)
//   end token 0x0000FFFF                 last DWORD, at totalBytes - 4
//
// How the GLSL meets the Direct3D 9 model:
// - Constant registers: every float constant lives in one array
//   `uniform vec4 <registerArrayName>[registerCount];` whose element i IS
//   constant register c<i> of the stage. A device uploads registers
//   0..registerCount-1 of the stage's register file into it before a draw
//   (glUniform4fv); registerArrayName is empty when the shader reads no
//   constant. ShaderBlobConstant lists which registers each named HLSL
//   constant occupies (for ID3DXConstantTable and for tests).
// - Samplers: each `uniform sampler2D/samplerCube <glslName>;` reads texture
//   stage `unit` (its HLSL register sN, or the next free one); a device sets
//   the sampler uniform to that unit once after linking.
// - Vertex inputs (vertex shaders): `layout(location = L) in`, where L is
//   d3d9AttributeLocation(usage, usageIndex): a fixed location per (usage,
//   index), so one vertex-array layout per declaration serves every program.
// - Varyings: vertex outputs and pixel inputs are named after their semantic
//   ("vary_TEXCOORD0", "vary_COLOR0", ...) with the same type on both sides of
//   a pair, so GLSL 330 matches them by name; a vertex output POSITION is
//   gl_Position, a pixel input POSITION/VPOS reads gl_FragCoord.
// - Pixel outputs: COLORn is `layout(location = n) out vec4`; DEPTH is
//   gl_FragDepth.
// - Clip space (flag SHADER_BLOB_FLAG_CLIP_FIXUP on vertex shaders): the end of
//   main negates gl_Position.y and maps z from Direct3D's 0..w to GL's -w..w,
//   so a device needs no glClipControl; row 0 of every target is the top row
//   as in Direct3D, which flips the winding: Direct3D's clockwise front faces
//   are GL's counter-clockwise ones.

#include "platform/d3d9/d3d9.h"

#include <cstddef>
#include <cstring>

#define SHADER_BLOB_MAGIC MAKEFOURCC('V', 'G', 'L', '3')
#define SHADER_BLOB_FORMAT_VERSION 1
#define SHADER_BLOB_END_TOKEN 0x0000FFFFu
#define SHADER_BLOB_FLAG_CLIP_FIXUP 0x1u

struct ShaderBlobHeader {
  DWORD version;        // D3DVS_VERSION/D3DPS_VERSION of the profile compiled for
  DWORD magic;          // SHADER_BLOB_MAGIC
  DWORD formatVersion;  // SHADER_BLOB_FORMAT_VERSION
  DWORD totalBytes;     // the whole blob including the end token
  DWORD flags;          // SHADER_BLOB_FLAG_*
  DWORD glslOffset;
  DWORD glslBytes;
  DWORD registerArrayName;  // string offset
  DWORD registerCount;      // elements of the register array (0: no constants)
  DWORD constantCount;
  DWORD constantOffset;
  DWORD samplerCount;
  DWORD samplerOffset;
  DWORD inputCount;
  DWORD inputOffset;
  DWORD outputCount;
  DWORD outputOffset;
  DWORD stringsOffset;
  DWORD stringsBytes;
};

// A float constant as ID3DXConstantTable describes it (D3DXCONSTANT_DESC).
struct ShaderBlobConstant {
  DWORD name;           // string offset: the HLSL name
  DWORD registerIndex;  // first register c<n>
  DWORD registerCount;
  DWORD parameterClass;  // D3DXPARAMETER_CLASS: scalar 0, vector 1, matrix rows 2, matrix columns 3
  DWORD rows;
  DWORD columns;
  DWORD elements;  // array length, 1 for a non-array
};

struct ShaderBlobSampler {
  DWORD name;      // string offset: the HLSL name
  DWORD glslName;  // string offset: the GLSL uniform name
  DWORD unit;      // texture stage (sN)
  DWORD type;      // D3DXPARAMETER_TYPE: SAMPLER2D 12, SAMPLERCUBE 14, ...
};

struct ShaderBlobVarying {
  DWORD usage;       // D3DDECLUSAGE (COLOR for pixel outputs, DEPTH for depth)
  DWORD usageIndex;
  DWORD location;    // attribute location (vertex inputs), colour output (pixel outputs), else 0
  DWORD components;  // 1..4
  DWORD glslName;    // string offset: the GLSL name ("gl_Position", "vary_TEXCOORD0", ...)
};

// A parsed, validated view into a blob; the pointers point into the blob.
struct ShaderBlobView {
  const ShaderBlobHeader* header;
  const char* glsl;
  const char* registerArrayName;
  const ShaderBlobConstant* constants;
  const ShaderBlobSampler* samplers;
  const ShaderBlobVarying* inputs;
  const ShaderBlobVarying* outputs;
  const char* strings;
  UINT totalBytes;

  bool isPixelShader() const { return (header->version & 0xFFFF0000u) == 0xFFFF0000u; }
  const char* string(DWORD offset) const { return offset < header->stringsBytes ? strings + offset : ""; }
};

// Fixed attribute location of a vertex input (usage, index), or -1 for one
// that has none. POSITION/POSITIONT 0, NORMAL 1, COLOR0/1 2/3,
// TEXCOORD0..7 4..11, TANGENT 12, BINORMAL 13, BLENDWEIGHT 14, BLENDINDICES 15
// (usage index 0 except for COLOR and TEXCOORD).
inline int d3d9AttributeLocation(DWORD usage, DWORD usageIndex) {
  switch (usage) {
  case D3DDECLUSAGE_POSITION:
  case D3DDECLUSAGE_POSITIONT: return usageIndex == 0 ? 0 : -1;
  case D3DDECLUSAGE_NORMAL: return usageIndex == 0 ? 1 : -1;
  case D3DDECLUSAGE_COLOR: return usageIndex < 2 ? 2 + (int)usageIndex : -1;
  case D3DDECLUSAGE_TEXCOORD: return usageIndex < 8 ? 4 + (int)usageIndex : -1;
  case D3DDECLUSAGE_TANGENT: return usageIndex == 0 ? 12 : -1;
  case D3DDECLUSAGE_BINORMAL: return usageIndex == 0 ? 13 : -1;
  case D3DDECLUSAGE_BLENDWEIGHT: return usageIndex == 0 ? 14 : -1;
  case D3DDECLUSAGE_BLENDINDICES: return usageIndex == 0 ? 15 : -1;
  default: return -1;
  }
}

// Total size of a blob that starts at `function`, read from its header, or 0
// when it does not start like one. Devices use it to copy pFunction.
inline UINT shaderBlobSize(const DWORD* function) {
  if (!function) return 0;
  const ShaderBlobHeader* h = reinterpret_cast<const ShaderBlobHeader*>(function);
  if (h->magic != SHADER_BLOB_MAGIC || h->formatVersion != SHADER_BLOB_FORMAT_VERSION) return 0;
  if (h->totalBytes < sizeof(ShaderBlobHeader) + 4 || (h->totalBytes & 3) != 0) return 0;
  return h->totalBytes;
}

namespace shader_blob_detail {
inline bool rangeOk(DWORD offset, DWORD count, size_t elementSize, DWORD total) {
  if ((offset & 3) != 0 || offset > total) return false;
  return (uint64_t)count * elementSize <= (uint64_t)(total - offset);
}
}  // namespace shader_blob_detail

// Validates every offset, count and string of a blob of `bytes` bytes and
// fills `view`. False for anything malformed (nothing is read out of bounds).
inline bool shaderBlobParse(const void* data, size_t bytes, ShaderBlobView* view) {
  using shader_blob_detail::rangeOk;
  if (!data || !view || bytes < sizeof(ShaderBlobHeader) + 4 || (reinterpret_cast<uintptr_t>(data) & 3) != 0)
    return false;
  const ShaderBlobHeader* h = static_cast<const ShaderBlobHeader*>(data);
  const char* base = static_cast<const char*>(data);
  UINT total = shaderBlobSize(static_cast<const DWORD*>(data));
  if (total == 0 || total > bytes) return false;
  DWORD vs = h->version & 0xFFFF0000u;
  if (vs != 0xFFFE0000u && vs != 0xFFFF0000u) return false;
  DWORD end;
  std::memcpy(&end, base + total - 4, 4);
  if (end != SHADER_BLOB_END_TOKEN) return false;
  DWORD limit = total - 4;
  if (!rangeOk(h->constantOffset, h->constantCount, sizeof(ShaderBlobConstant), limit) ||
      !rangeOk(h->samplerOffset, h->samplerCount, sizeof(ShaderBlobSampler), limit) ||
      !rangeOk(h->inputOffset, h->inputCount, sizeof(ShaderBlobVarying), limit) ||
      !rangeOk(h->outputOffset, h->outputCount, sizeof(ShaderBlobVarying), limit))
    return false;
  if (h->stringsOffset > limit || h->stringsBytes == 0 || h->stringsBytes > limit - h->stringsOffset ||
      base[h->stringsOffset + h->stringsBytes - 1] != '\0')
    return false;
  if (h->glslOffset > limit || h->glslBytes >= limit - h->glslOffset || base[h->glslOffset + h->glslBytes] != '\0')
    return false;
  ShaderBlobView v;
  v.header = h;
  v.glsl = base + h->glslOffset;
  v.strings = base + h->stringsOffset;
  v.constants = reinterpret_cast<const ShaderBlobConstant*>(base + h->constantOffset);
  v.samplers = reinterpret_cast<const ShaderBlobSampler*>(base + h->samplerOffset);
  v.inputs = reinterpret_cast<const ShaderBlobVarying*>(base + h->inputOffset);
  v.outputs = reinterpret_cast<const ShaderBlobVarying*>(base + h->outputOffset);
  v.totalBytes = total;
  v.registerArrayName = v.string(h->registerArrayName);
  *view = v;
  return true;
}
