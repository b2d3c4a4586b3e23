#pragma once
// What Direct3D 9 itself decides, once for every implementation of the
// device: the capabilities this implementation offers, format and mip facts,
// a new device's states, and the checks of each call Direct3D 9 refuses.
// A device method calls its check first and returns the check's HRESULT
// before it does any work of its own, so that the devices refuse alike.
// Arguments that are not objects of the calling device reach the checks as
// null descriptions ("foreign").

#include "platform/d3d9/d3d9.h"

#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

// Slots of a device: vertex streams, simultaneous render targets, texture
// stages (16 pixel samplers and the 4 vertex samplers
// D3DVERTEXTEXTURESAMPLER0..3) with their sampler states, render states.
#define D3D9_STREAMS 16
#define D3D9_RENDER_TARGETS 4
#define D3D9_STAGES 20
#define D3D9_SAMPLER_STATES 14
#define D3D9_RENDER_STATES 256
// Fixed-function texture stages and their states; transforms: the 256 world
// matrices, view, projection and the 8 texture matrices.
#define D3D9_TEXTURE_STAGES 8
#define D3D9_STAGE_STATES 33
#define D3D9_TRANSFORMS 266
// The most bytes one user-pointer draw may pass.
#define D3D9_USER_VERTEX_BYTES (1u << 28)

// --- capabilities -----------------------------------------------------------------
// What the OpenGL device provides; the recording device reports the same.
const D3DCAPS9& d3d9Caps();

// --- formats and mips -------------------------------------------------------------
// Bytes of one texel (0 for block formats and formats without a memory
// layout), of one 4x4 block of DXTn (else 0).
UINT d3d9BytesPerTexel(D3DFORMAT format);
UINT d3d9BlockBytes(D3DFORMAT format);
// Bytes per row in Direct3D layout (per row of 4x4 blocks for DXTn), rows in
// memory, bytes of a level; 0 for formats without a memory layout.
UINT d3d9Pitch(D3DFORMAT format, UINT width);
UINT d3d9Rows(D3DFORMAT format, UINT height);
size_t d3d9LevelBytes(D3DFORMAT format, UINT width, UINT height);
bool d3d9IsDepthFormat(D3DFORMAT format);
// Whether a display format can present a back buffer of format `back`.
bool d3d9BackBufferMatchesDisplay(D3DFORMAT display, D3DFORMAT back);
bool d3d9HasStencil(D3DFORMAT format);
// Bytes of an index of D3DFMT_INDEX16/32, else 0.
UINT d3d9IndexSize(D3DFORMAT format);

// Levels of a full mip chain for the size, the extent of a level, and the
// levels a texture created with `levels` and `usage` reports (automatic
// mipmaps show one).
UINT d3d9FullMipCount(UINT width, UINT height);
inline UINT d3d9MipExtent(UINT size, UINT level) {
  size = level < 32 ? size >> level : 0;
  return size ? size : 1;
}
UINT d3d9LevelCount(UINT width, UINT height, UINT levels, DWORD usage);

// The byte offset of a lock rectangle's first texel in a level of the
// format (block-aligned for DXTn); false for a rectangle outside the level.
bool d3d9LockOffset(D3DFORMAT format, UINT width, UINT height, const RECT* rect, size_t* offset);
// Null, or a non-empty rectangle inside width x height.
bool d3d9RectInside(const RECT* rect, UINT width, UINT height);

// --- a new device --------------------------------------------------------------------
inline DWORD d3d9FloatBits(float v) {
  DWORD d;
  std::memcpy(&d, &v, 4);
  return d;
}
inline float d3d9BitsFloat(DWORD d) {
  float v;
  std::memcpy(&v, &d, 4);
  return v;
}
void d3d9DefaultRenderStates(DWORD (&states)[D3D9_RENDER_STATES], bool autoDepthStencil);
void d3d9DefaultSamplerStates(DWORD (&stages)[D3D9_STAGES][D3D9_SAMPLER_STATES]);
void d3d9DefaultStageStates(DWORD (&stages)[D3D9_TEXTURE_STAGES][D3D9_STAGE_STATES]);
// Every transform starts as the identity.
void d3d9DefaultTransforms(D3DMATRIX (&transforms)[D3D9_TRANSFORMS]);
// The slot of a transform state (world matrices first), or -1.
inline int d3d9TransformIndex(D3DTRANSFORMSTATETYPE state) {
  DWORD s = (DWORD)state;
  if (s >= 256 && s < 512) return (int)(s - 256);
  if (s == D3DTS_VIEW) return 256;
  if (s == D3DTS_PROJECTION) return 257;
  if (s >= D3DTS_TEXTURE0 && s <= D3DTS_TEXTURE7) return 258 + (int)(s - D3DTS_TEXTURE0);
  return -1;
}
// a x b, row vectors as Direct3D multiplies them.
D3DMATRIX d3d9Multiply(const D3DMATRIX& a, const D3DMATRIX& b);

// The stage slot (0..19) of a texture stage or sampler number, or -1.
inline int d3d9StageIndex(DWORD stage) {
  if (stage < 16) return (int)stage;
  if (stage >= D3DVERTEXTEXTURESAMPLER0 && stage < D3DVERTEXTEXTURESAMPLER0 + 4)
    return 16 + (int)(stage - D3DVERTEXTEXTURESAMPLER0);
  return -1;
}

// --- vertices -----------------------------------------------------------------------
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
UINT d3d9FvfVertexSize(DWORD fvf);
// The vertex declaration Direct3D 9 makes of a flexible vertex format;
// false for a format it refuses.
bool d3d9FvfElements(DWORD fvf, std::vector<D3DVERTEXELEMENT9>& elements);
// Streams a declaration reads, one bit each.
uint32_t d3d9DeclarationStreams(const std::vector<D3DVERTEXELEMENT9>& elements);

// --- buffers ----------------------------------------------------------------------------
// The bytes of a vertex or index buffer as Lock hands them out. Both devices
// keep them (the OpenGL device uploads from them on Unlock), and draws read
// index values from them.
class D3D9BufferBytes {
public:
  D3D9BufferBytes(UINT length, DWORD usage, UINT indexSize);
  // Checks a lock as Direct3D 9 does and hands out the range: offset and
  // size 0 lock the whole buffer, size 0 from the offset to the end.
  HRESULT lockBytes(UINT offset, UINT size, void** out, DWORD flags);
  HRESULT unlockBytes();
  bool isLocked() const { return locks > 0; }
  const std::vector<uint8_t>& data() const { return bytes; }
  UINT byteSize() const { return (UINT)bytes.size(); }
  DWORD bufferUsage() const { return usage; }
  UINT indexBytes() const { return indexSize; }
  // Whether indices [start, start + count) all lie in [minIndex, minIndex +
  // vertices). A range found inside is remembered, so that a draw repeated
  // frame after frame reads its indices once; any Lock forgets them.
  // `outside`, when given, receives the first index value outside.
  bool indicesInside(UINT start, UINT count, UINT minIndex, UINT vertices, UINT* outside = nullptr);

protected:
  std::vector<uint8_t> bytes;
  int locks = 0;

private:
  struct CheckedRange {
    UINT minIndex;
    UINT vertices;
  };
  DWORD usage;
  UINT indexSize;
  std::unordered_map<uint64_t, CheckedRange> checkedRanges;
};

// --- checks ------------------------------------------------------------------------------
// Each check takes the name of the call it checks (a device method passes
// __func__) and answers D3D_OK or the refusal. Every refusal goes through
// d3d9Refuse: with VANTREL_D3D9_DEBUG=1 in the environment it writes one line
// naming the call and the rule it broke to stderr, as Direct3D's debug
// runtime does ("SetRenderState: 0 is not a render state").
HRESULT d3d9Refuse(const char* call, const char* rule, ...) __attribute__((format(printf, 2, 3)));

// A surface argument: null desc for null or foreign ones.
struct D3D9SurfaceArg {
  const D3DSURFACE_DESC* desc;
  bool textureLevel;
  bool plain() const {
    return desc && !textureLevel && !(desc->Usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL));
  }
};

// Objects: a non-null argument must be the device's own (`own` non-null).
HRESULT d3d9CheckObject(const char* call, const void* argument, const void* own);
HRESULT d3d9CheckOut(const char* call, const void* out);
HRESULT d3d9CheckGetBackBuffer(const char* call, UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                               UINT backBuffers, const void* out);
HRESULT d3d9CheckGetDisplayMode(const char* call, UINT swapChain, const void* out);
HRESULT d3d9CheckPresent(const char* call, const RECT* sourceRect, const D3DSURFACE_DESC& backBuffer);

// Resource creation; `formatOk` is the device's answer for the format with
// that usage, `multisampleOk` for the multisample type.
HRESULT d3d9CheckCreateTexture(const char* call, UINT width, UINT height, UINT levels, DWORD usage, D3DPOOL pool,
                               bool formatOk, const void* out, const HANDLE* shared);
HRESULT d3d9CheckCreateCubeTexture(const char* call, UINT edge, UINT levels, DWORD usage, D3DPOOL pool, bool formatOk,
                                   const void* out, const HANDLE* shared);
HRESULT d3d9CheckCreateVertexBuffer(const char* call, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                    const void* out, const HANDLE* shared);
HRESULT d3d9CheckCreateIndexBuffer(const char* call, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                   const void* out, const HANDLE* shared);
HRESULT d3d9CheckCreateRenderTarget(const char* call, UINT width, UINT height, D3DMULTISAMPLE_TYPE multisample,
                                    DWORD quality, BOOL lockable, bool formatOk, bool multisampleOk, const void* out,
                                    const HANDLE* shared);
HRESULT d3d9CheckCreateDepthStencilSurface(const char* call, UINT width, UINT height, DWORD quality, bool formatOk,
                                           bool multisampleOk, const void* out, const HANDLE* shared);
HRESULT d3d9CheckCreateOffscreenPlainSurface(const char* call, UINT width, UINT height, D3DFORMAT format,
                                             D3DPOOL pool, bool formatOk, const void* out, const HANDLE* shared);
HRESULT d3d9CheckVertexElements(const char* call, const D3DVERTEXELEMENT9* elements, const void* out, UINT* count);
HRESULT d3d9CheckShaderFunction(const char* call, const DWORD* function, bool pixel, const void* out);

// Copies, targets, scenes, clears.
HRESULT d3d9CheckGetRenderTargetData(const char* call, const D3D9SurfaceArg& source, const D3D9SurfaceArg& dest);
HRESULT d3d9CheckStretchRect(const char* call, const D3D9SurfaceArg& source, const RECT* sourceRect,
                             const D3D9SurfaceArg& dest, const RECT* destRect, D3DTEXTUREFILTERTYPE filter);
HRESULT d3d9CheckSetRenderTarget(const char* call, DWORD index, const void* argument, const D3DSURFACE_DESC* surface);
HRESULT d3d9CheckGetRenderTarget(const char* call, DWORD index, const void* out);
HRESULT d3d9CheckSetDepthStencilSurface(const char* call, const void* argument, const D3DSURFACE_DESC* surface);
// BeginScene (opening) and EndScene.
HRESULT d3d9CheckScene(const char* call, bool open, bool opening);
HRESULT d3d9CheckClear(const char* call, DWORD count, const D3DRECT* rects, DWORD flags, float z,
                       const D3DSURFACE_DESC* depth);
HRESULT d3d9CheckSetViewport(const char* call, const D3DVIEWPORT9* viewport, const D3DSURFACE_DESC& target);

// States, textures, registers and streams; Get* of states fail on a pure
// device (`behavior` has D3DCREATE_PUREDEVICE).
HRESULT d3d9CheckSetRenderState(const char* call, D3DRENDERSTATETYPE state);
HRESULT d3d9CheckGetRenderState(const char* call, D3DRENDERSTATETYPE state, const void* out, DWORD behavior);
HRESULT d3d9CheckSetTexture(const char* call, DWORD stage, const void* argument, const void* own);
HRESULT d3d9CheckGetTexture(const char* call, DWORD stage, const void* out, DWORD behavior);
HRESULT d3d9CheckSetSamplerState(const char* call, DWORD sampler, D3DSAMPLERSTATETYPE type);
HRESULT d3d9CheckGetSamplerState(const char* call, DWORD sampler, D3DSAMPLERSTATETYPE type, const void* out,
                                 DWORD behavior);
HRESULT d3d9CheckSetConstants(const char* call, UINT start, const float* data, UINT count, UINT registers);
HRESULT d3d9CheckGetConstants(const char* call, UINT start, const float* data, UINT count, UINT registers,
                              DWORD behavior);
HRESULT d3d9CheckSetStreamSource(const char* call, UINT stream, const void* argument, const void* own, UINT offset,
                                 UINT stride);
HRESULT d3d9CheckGetStreamSource(const char* call, UINT stream, const void* buffer, const void* offset,
                                 const void* stride);

// Fixed function, transforms, scissor and state blocks.
HRESULT d3d9CheckSetFVF(const char* call, DWORD fvf);
HRESULT d3d9CheckGetFVF(const char* call, const void* out, DWORD behavior);
HRESULT d3d9CheckSetTransform(const char* call, D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
HRESULT d3d9CheckGetTransform(const char* call, D3DTRANSFORMSTATETYPE state, const void* out, DWORD behavior);
HRESULT d3d9CheckSetTextureStageState(const char* call, DWORD stage, D3DTEXTURESTAGESTATETYPE type);
HRESULT d3d9CheckGetTextureStageState(const char* call, DWORD stage, D3DTEXTURESTAGESTATETYPE type, const void* out,
                                      DWORD behavior);
HRESULT d3d9CheckSetScissorRect(const char* call, const RECT* rect);
HRESULT d3d9CheckGetScissorRect(const char* call, const void* out);
HRESULT d3d9CheckCreateStateBlock(const char* call, D3DSTATEBLOCKTYPE type, const void* out);

// Levels and faces of textures (the out pointer too, where one is given),
// locks of levels and surfaces.
HRESULT d3d9CheckLevel(const char* call, UINT level, UINT levels);
HRESULT d3d9CheckLevel(const char* call, UINT level, UINT levels, const void* out);
HRESULT d3d9CheckFace(const char* call, D3DCUBEMAP_FACES face, UINT level, UINT levels);
HRESULT d3d9CheckFace(const char* call, D3DCUBEMAP_FACES face, UINT level, UINT levels, const void* out);
HRESULT d3d9CheckUnlock(const char* call, bool locked);
// A lock of a surface or texture level described by `desc`; on success
// `offset` receives the byte offset of the rectangle.
HRESULT d3d9CheckLockRect(const char* call, const D3DSURFACE_DESC& desc, bool lockable, bool locked, const RECT* rect,
                          const void* out, size_t* offset);

// Draws. `declared`: a declaration is set; `streamMask`: the streams it reads.
struct D3D9Draw {
  D3DPRIMITIVETYPE type;
  UINT primitives;
  bool indexed;
  INT baseVertex;   // indexed draws
  UINT firstVertex;  // StartVertex, or MinVertexIndex of indexed draws
  UINT vertices;     // NumVertices of indexed draws
  UINT startIndex;
};
HRESULT d3d9CheckDrawCall(const char* call, const D3D9Draw& draw, bool inScene, bool declared);
HRESULT d3d9CheckIndices(const char* call, const D3D9Draw& draw, D3D9BufferBytes* indices);
HRESULT d3d9CheckStream(const char* call, UINT stream, const D3D9BufferBytes* buffer, UINT offset, UINT stride,
                        uint64_t vertexEnd);
HRESULT d3d9CheckDrawUP(const char* call, D3DPRIMITIVETYPE type, UINT primitives, const void* data, UINT stride,
                        bool inScene, bool declared, uint32_t streamMask);

// Every check of a draw from buffers: the call, the index buffer and its
// values, and every stream the declaration reads against the vertices the
// draw reaches. Stream: .buffer (null or a D3D9BufferBytes), .offset, .stride.
template <typename Stream>
HRESULT d3d9CheckDraw(const char* call, const D3D9Draw& draw, bool inScene, bool declared, uint32_t streamMask,
                      const Stream (&streams)[D3D9_STREAMS], D3D9BufferBytes* indices) {
  if (HRESULT hr = d3d9CheckDrawCall(call, draw, inScene, declared)) return hr;
  if (draw.indexed)
    if (HRESULT hr = d3d9CheckIndices(call, draw, indices)) return hr;
  uint64_t end = draw.indexed ? (uint64_t)((int64_t)draw.baseVertex + draw.firstVertex) + draw.vertices
                              : (uint64_t)draw.firstVertex + d3d9VerticesFor(draw.type, draw.primitives);
  for (uint32_t bits = streamMask; bits; bits &= bits - 1) {
    const UINT index = (UINT)__builtin_ctz(bits);
    const Stream& s = streams[index];
    if (HRESULT hr = d3d9CheckStream(call, index, s.buffer, s.offset, s.stride, end)) return hr;
  }
  return D3D_OK;
}

// Out-parameters of GetFunction and GetDeclaration: the size alone when the
// buffer is null, else the copy (failing for a buffer too small).
HRESULT d3d9CopyFunction(const std::vector<DWORD>& code, void* data, UINT* size);
HRESULT d3d9CopyDeclaration(const std::vector<D3DVERTEXELEMENT9>& elements, D3DVERTEXELEMENT9* out, UINT* count);
