// The checks of the calls Direct3D 9 refuses (platform/d3d9/D3D9Rules.h), each
// refusal with the rule it names.

#include "platform/d3d9/D3D9Rules.h"

#include "platform/d3d9/ShaderBlob.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

HRESULT d3d9Refuse(const char* call, const char* rule, ...) {
  const char* debug = std::getenv("VANTREL_D3D9_DEBUG");
  if (debug && std::strcmp(debug, "0") != 0 && *debug) {
    char text[256];
    va_list args;
    va_start(args, rule);
    std::vsnprintf(text, sizeof text, rule, args);
    va_end(args);
    std::fprintf(stderr, "%s: %s\n", call, text);
  }
  return D3DERR_INVALIDCALL;
}

namespace {

const char* sizeRule(UINT width, UINT height) {
  const D3DCAPS9& caps = d3d9Caps();
  if (width == 0 || height == 0) return "a size of 0";
  if (width > caps.MaxTextureWidth || height > caps.MaxTextureHeight) return "larger than the device's 8192";
  return nullptr;
}

// Pools and usages every resource shares: no shared handles, dynamic
// resources are not managed, scratch resources are not offered.
const char* poolRule(D3DPOOL pool, DWORD usage, const HANDLE* shared) {
  if (shared) return "shared handles are not offered";
  if (pool >= D3DPOOL_SCRATCH) return "the pool is not offered";
  if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return "a dynamic resource cannot be managed";
  return nullptr;
}

HRESULT pure(const char* call, DWORD behavior) {
  return (behavior & D3DCREATE_PUREDEVICE) ? d3d9Refuse(call, "a pure device does not answer Get calls") : D3D_OK;
}

bool renderTarget(const D3DSURFACE_DESC* d) { return d && (d->Usage & D3DUSAGE_RENDERTARGET); }
bool depthStencil(const D3DSURFACE_DESC* d) { return d && (d->Usage & D3DUSAGE_DEPTHSTENCIL); }

}  // namespace

HRESULT d3d9CheckObject(const char* call, const void* argument, const void* own) {
  return argument && !own ? d3d9Refuse(call, "the object is not one of this device's") : D3D_OK;
}

HRESULT d3d9CheckOut(const char* call, const void* out) {
  return out ? D3D_OK : d3d9Refuse(call, "the out pointer is null");
}

HRESULT d3d9CheckGetBackBuffer(const char* call, UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                               UINT backBuffers, const void* out) {
  if (swapChain != 0) return d3d9Refuse(call, "swap chain %u of 1", swapChain);
  if (index >= backBuffers) return d3d9Refuse(call, "back buffer %u of %u", index, backBuffers);
  if (type != D3DBACKBUFFER_TYPE_MONO) return d3d9Refuse(call, "only mono back buffers exist");
  return d3d9CheckOut(call, out);
}

HRESULT d3d9CheckGetDisplayMode(const char* call, UINT swapChain, const void* out) {
  if (swapChain != 0) return d3d9Refuse(call, "swap chain %u of 1", swapChain);
  return d3d9CheckOut(call, out);
}

HRESULT d3d9CheckPresent(const char* call, const RECT* sourceRect, const D3DSURFACE_DESC& backBuffer) {
  if (!d3d9RectInside(sourceRect, backBuffer.Width, backBuffer.Height))
    return d3d9Refuse(call, "the source rectangle is not inside the %ux%u back buffer", backBuffer.Width,
                      backBuffer.Height);
  return D3D_OK;
}

HRESULT d3d9CheckCreateTexture(const char* call, UINT width, UINT height, UINT levels, DWORD usage, D3DPOOL pool,
                               bool formatOk, const void* out, const HANDLE* shared) {
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  if (const char* rule = sizeRule(width, height)) return d3d9Refuse(call, "%ux%u: %s", width, height, rule);
  if (levels > d3d9FullMipCount(width, height))
    return d3d9Refuse(call, "%u levels for a %ux%u texture, which has %u", levels, width, height,
                      d3d9FullMipCount(width, height));
  if (const char* rule = poolRule(pool, usage, shared)) return d3d9Refuse(call, "%s", rule);
  if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) && pool != D3DPOOL_DEFAULT)
    return d3d9Refuse(call, "targets live in the default pool");
  if ((usage & D3DUSAGE_AUTOGENMIPMAP) && levels > 1) return d3d9Refuse(call, "automatic mipmaps with %u levels", levels);
  if (!formatOk) return d3d9Refuse(call, "the format is not offered for this usage");
  return D3D_OK;
}

HRESULT d3d9CheckCreateCubeTexture(const char* call, UINT edge, UINT levels, DWORD usage, D3DPOOL pool, bool formatOk,
                                   const void* out, const HANDLE* shared) {
  if (usage & D3DUSAGE_DEPTHSTENCIL) return d3d9Refuse(call, "no depth cube textures");
  return d3d9CheckCreateTexture(call, edge, edge, levels, usage, pool, formatOk, out, shared);
}

HRESULT d3d9CheckCreateVertexBuffer(const char* call, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                    const void* out, const HANDLE* shared) {
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  UINT vertexSize = fvf ? d3d9FvfVertexSize(fvf) : 0;
  if (length == 0) return d3d9Refuse(call, "a length of 0");
  if (fvf && vertexSize == 0) return d3d9Refuse(call, "0x%lx is not a vertex format", (unsigned long)fvf);
  // A buffer with a vertex format must hold at least one vertex.
  if (fvf && length < vertexSize) return d3d9Refuse(call, "%u bytes hold no %u-byte vertex", length, vertexSize);
  if (const char* rule = poolRule(pool, usage, shared)) return d3d9Refuse(call, "%s", rule);
  if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) return d3d9Refuse(call, "a buffer is no target");
  return D3D_OK;
}

HRESULT d3d9CheckCreateIndexBuffer(const char* call, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                   const void* out, const HANDLE* shared) {
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  UINT indexSize = d3d9IndexSize(format);
  if (indexSize == 0) return d3d9Refuse(call, "%u is not an index format", (UINT)format);
  if (length < indexSize) return d3d9Refuse(call, "%u bytes hold no index", length);
  if (const char* rule = poolRule(pool, usage, shared)) return d3d9Refuse(call, "%s", rule);
  if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) return d3d9Refuse(call, "a buffer is no target");
  return D3D_OK;
}

// What render targets and depth-stencil surfaces share. Multisample quality
// levels are one per type on both devices.
static HRESULT checkTarget(const char* call, UINT width, UINT height, DWORD quality, bool formatOk, bool multisampleOk,
                    const void* out, const HANDLE* shared) {
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  if (shared) return d3d9Refuse(call, "shared handles are not offered");
  if (const char* rule = sizeRule(width, height)) return d3d9Refuse(call, "%ux%u: %s", width, height, rule);
  if (!formatOk) return d3d9Refuse(call, "the format is not offered for this usage");
  if (!multisampleOk) return d3d9Refuse(call, "the multisample type is not offered for the format");
  if (quality > 0) return d3d9Refuse(call, "multisample quality %lu of 1", (unsigned long)quality);
  return D3D_OK;
}

HRESULT d3d9CheckCreateRenderTarget(const char* call, UINT width, UINT height, D3DMULTISAMPLE_TYPE multisample,
                                    DWORD quality, BOOL lockable, bool formatOk, bool multisampleOk, const void* out,
                                    const HANDLE* shared) {
  if (HRESULT hr = checkTarget(call, width, height, quality, formatOk, multisampleOk, out, shared)) return hr;
  if (lockable && multisample != D3DMULTISAMPLE_NONE) return d3d9Refuse(call, "a multisampled target is not lockable");
  return D3D_OK;
}

HRESULT d3d9CheckCreateDepthStencilSurface(const char* call, UINT width, UINT height, DWORD quality, bool formatOk,
                                           bool multisampleOk, const void* out, const HANDLE* shared) {
  return checkTarget(call, width, height, quality, formatOk, multisampleOk, out, shared);
}

HRESULT d3d9CheckCreateOffscreenPlainSurface(const char* call, UINT width, UINT height, D3DFORMAT format,
                                             D3DPOOL pool, bool formatOk, const void* out, const HANDLE* shared) {
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  if (shared) return d3d9Refuse(call, "shared handles are not offered");
  if (const char* rule = sizeRule(width, height)) return d3d9Refuse(call, "%ux%u: %s", width, height, rule);
  if (pool == D3DPOOL_MANAGED || pool > D3DPOOL_SCRATCH) return d3d9Refuse(call, "plain surfaces are not managed");
  if (d3d9Pitch(format, 1) == 0 || d3d9IsDepthFormat(format))
    return d3d9Refuse(call, "format %u has no memory layout", (UINT)format);
  if (!formatOk) return d3d9Refuse(call, "the format is not offered");
  return D3D_OK;
}

HRESULT d3d9CheckVertexElements(const char* call, const D3DVERTEXELEMENT9* elements, const void* out, UINT* count) {
  *count = 0;
  if (!elements) return d3d9Refuse(call, "no elements");
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  while (*count < MAXD3DDECLLENGTH && elements[*count].Stream != 0xFF) {
    const UINT n = *count;
    const D3DVERTEXELEMENT9& e = elements[(*count)++];
    if (e.Stream >= D3D9_STREAMS) return d3d9Refuse(call, "element %u reads stream %u of 16", n, e.Stream);
    if (e.Type >= D3DDECLTYPE_UNUSED || e.Method > D3DDECLMETHOD_LOOKUPPRESAMPLED || e.Usage > MAXD3DDECLUSAGE ||
        e.UsageIndex > MAXD3DDECLUSAGEINDEX)
      return d3d9Refuse(call, "element %u has no such type, method or usage", n);
    if (e.Offset & 3) return d3d9Refuse(call, "element %u at offset %u, not a multiple of 4", n, e.Offset);
    for (UINT k = 0; k < n; ++k)
      if (elements[k].Usage == e.Usage && elements[k].UsageIndex == e.UsageIndex)
        return d3d9Refuse(call, "elements %u and %u have the same usage and index", k, n);
  }
  if (*count == MAXD3DDECLLENGTH) return d3d9Refuse(call, "no D3DDECL_END within %d elements", MAXD3DDECLLENGTH);
  return D3D_OK;
}

HRESULT d3d9CheckShaderFunction(const char* call, const DWORD* function, bool pixel, const void* out) {
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  UINT size = shaderBlobSize(function);
  ShaderBlobView view;
  if (size == 0 || !shaderBlobParse(function, size, &view)) return d3d9Refuse(call, "the function is not a shader");
  if (view.isPixelShader() != pixel) return d3d9Refuse(call, "the function is a %s shader", pixel ? "vertex" : "pixel");
  UINT registers = pixel ? D3D9_PIXEL_SHADER_CONSTANT_REGISTERS : D3D9_VERTEX_SHADER_CONSTANT_REGISTERS;
  if (view.header->registerCount > registers)
    return d3d9Refuse(call, "%lu constant registers of %u", (unsigned long)view.header->registerCount, registers);
  // Pixel shaders sample stages 0..15, vertex shaders the 4 vertex samplers.
  for (DWORD i = 0; i < view.header->samplerCount; ++i)
    if (view.samplers[i].unit >= (pixel ? 16u : 4u))
      return d3d9Refuse(call, "sampler %lu of %u", (unsigned long)view.samplers[i].unit, pixel ? 16u : 4u);
  return D3D_OK;
}

HRESULT d3d9CheckGetRenderTargetData(const char* call, const D3D9SurfaceArg& source, const D3D9SurfaceArg& dest) {
  const D3DSURFACE_DESC* s = source.desc;
  const D3DSURFACE_DESC* d = dest.desc;
  if (!renderTarget(s)) return d3d9Refuse(call, "the source is not a render target");
  if (!dest.plain() || d->Pool != D3DPOOL_SYSTEMMEM) return d3d9Refuse(call, "the destination is not a system-memory plain surface");
  if (s->MultiSampleType != D3DMULTISAMPLE_NONE) return d3d9Refuse(call, "the source is multisampled");
  if (s->Width != d->Width || s->Height != d->Height || s->Format != d->Format)
    return d3d9Refuse(call, "the surfaces differ in size or format");
  return D3D_OK;
}

HRESULT d3d9CheckStretchRect(const char* call, const D3D9SurfaceArg& source, const RECT* sourceRect,
                             const D3D9SurfaceArg& dest, const RECT* destRect, D3DTEXTUREFILTERTYPE filter) {
  const D3DSURFACE_DESC* s = source.desc;
  const D3DSURFACE_DESC* d = dest.desc;
  if (!s) return d3d9Refuse(call, "no source surface of this device");
  if (!renderTarget(d)) return d3d9Refuse(call, "the destination is not a render target");
  // Each surface has a description of its own: the same one is the same surface.
  if (s == d) return d3d9Refuse(call, "source and destination are one surface");
  if (d->MultiSampleType != D3DMULTISAMPLE_NONE) return d3d9Refuse(call, "the destination is multisampled");
  if ((!renderTarget(s) && !source.plain()) || depthStencil(s))
    return d3d9Refuse(call, "the source is neither a render target nor a plain surface");
  if (d3d9BlockBytes(s->Format)) return d3d9Refuse(call, "the source is block-compressed");
  if (!d3d9RectInside(sourceRect, s->Width, s->Height)) return d3d9Refuse(call, "the source rectangle is outside the source");
  if (!d3d9RectInside(destRect, d->Width, d->Height))
    return d3d9Refuse(call, "the destination rectangle is outside the destination");
  if (filter > D3DTEXF_LINEAR) return d3d9Refuse(call, "filter %u is not point or linear", (UINT)filter);
  return D3D_OK;
}

HRESULT d3d9CheckSetRenderTarget(const char* call, DWORD index, const void* argument, const D3DSURFACE_DESC* surface) {
  if (index >= D3D9_RENDER_TARGETS) return d3d9Refuse(call, "target %lu of %d", (unsigned long)index, D3D9_RENDER_TARGETS);
  if (index == 0 && !argument) return d3d9Refuse(call, "target 0 cannot be empty");
  if (argument && !renderTarget(surface)) return d3d9Refuse(call, "the surface is not a render target of this device");
  return D3D_OK;
}

HRESULT d3d9CheckGetRenderTarget(const char* call, DWORD index, const void* out) {
  if (index >= D3D9_RENDER_TARGETS) return d3d9Refuse(call, "target %lu of %d", (unsigned long)index, D3D9_RENDER_TARGETS);
  return d3d9CheckOut(call, out);
}

HRESULT d3d9CheckSetDepthStencilSurface(const char* call, const void* argument, const D3DSURFACE_DESC* surface) {
  if (argument && !depthStencil(surface)) return d3d9Refuse(call, "the surface is not a depth-stencil surface of this device");
  return D3D_OK;
}

HRESULT d3d9CheckScene(const char* call, bool open, bool opening) {
  if (open == opening) return d3d9Refuse(call, opening ? "a scene is open already" : "no scene is open");
  return D3D_OK;
}

HRESULT d3d9CheckClear(const char* call, DWORD count, const D3DRECT* rects, DWORD flags, float z,
                       const D3DSURFACE_DESC* depth) {
  const DWORD all = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
  if ((count == 0) != (rects == nullptr)) return d3d9Refuse(call, "%lu rectangles at %p", (unsigned long)count, (const void*)rects);
  if (flags == 0 || (flags & ~all) != 0) return d3d9Refuse(call, "flags 0x%lx", (unsigned long)flags);
  if (!(z >= 0.0f && z <= 1.0f)) return d3d9Refuse(call, "depth %g outside 0..1", (double)z);
  if ((flags & D3DCLEAR_ZBUFFER) && !depth) return d3d9Refuse(call, "no depth surface to clear");
  if ((flags & D3DCLEAR_STENCIL) && (!depth || !d3d9HasStencil(depth->Format)))
    return d3d9Refuse(call, "no stencil to clear");
  return D3D_OK;
}

HRESULT d3d9CheckSetViewport(const char* call, const D3DVIEWPORT9* v, const D3DSURFACE_DESC& target) {
  if (!v) return d3d9Refuse(call, "no viewport");
  if (v->Width == 0 || v->Height == 0 || (uint64_t)v->X + v->Width > target.Width ||
      (uint64_t)v->Y + v->Height > target.Height)
    return d3d9Refuse(call, "%lux%lu at (%lu, %lu) is not inside the %ux%u target", (unsigned long)v->Width,
                      (unsigned long)v->Height, (unsigned long)v->X, (unsigned long)v->Y, target.Width, target.Height);
  // Written so that NaN depths fail too.
  if (!(v->MinZ >= 0.0f) || !(v->MaxZ <= 1.0f) || v->MinZ > v->MaxZ)
    return d3d9Refuse(call, "depths %g..%g are not a range in 0..1", (double)v->MinZ, (double)v->MaxZ);
  return D3D_OK;
}

HRESULT d3d9CheckSetRenderState(const char* call, D3DRENDERSTATETYPE state) {
  if (state == 0 || state >= D3D9_RENDER_STATES) return d3d9Refuse(call, "%u is not a render state", (UINT)state);
  return D3D_OK;
}

HRESULT d3d9CheckGetRenderState(const char* call, D3DRENDERSTATETYPE state, const void* out, DWORD behavior) {
  if (HRESULT hr = d3d9CheckSetRenderState(call, state)) return hr;
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  return pure(call, behavior);
}

HRESULT d3d9CheckSetTexture(const char* call, DWORD stage, const void* argument, const void* own) {
  if (d3d9StageIndex(stage) < 0) return d3d9Refuse(call, "%lu is not a sampler stage", (unsigned long)stage);
  return d3d9CheckObject(call, argument, own);
}

HRESULT d3d9CheckGetTexture(const char* call, DWORD stage, const void* out, DWORD behavior) {
  if (d3d9StageIndex(stage) < 0) return d3d9Refuse(call, "%lu is not a sampler stage", (unsigned long)stage);
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  return pure(call, behavior);
}

HRESULT d3d9CheckSetSamplerState(const char* call, DWORD sampler, D3DSAMPLERSTATETYPE type) {
  if (d3d9StageIndex(sampler) < 0) return d3d9Refuse(call, "%lu is not a sampler stage", (unsigned long)sampler);
  if (type < D3DSAMP_ADDRESSU || type >= D3D9_SAMPLER_STATES)
    return d3d9Refuse(call, "%u is not a sampler state", (UINT)type);
  return D3D_OK;
}

HRESULT d3d9CheckGetSamplerState(const char* call, DWORD sampler, D3DSAMPLERSTATETYPE type, const void* out,
                                 DWORD behavior) {
  if (HRESULT hr = d3d9CheckSetSamplerState(call, sampler, type)) return hr;
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  return pure(call, behavior);
}

HRESULT d3d9CheckSetFVF(const char* call, DWORD fvf) {
  if (fvf != 0 && d3d9FvfVertexSize(fvf) == 0) return d3d9Refuse(call, "0x%lx is not a vertex format", (unsigned long)fvf);
  return D3D_OK;
}

HRESULT d3d9CheckGetFVF(const char* call, const void* out, DWORD behavior) {
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  return pure(call, behavior);
}

HRESULT d3d9CheckSetTransform(const char* call, D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  if (d3d9TransformIndex(state) < 0) return d3d9Refuse(call, "%u is not a transform", (UINT)state);
  if (!matrix) return d3d9Refuse(call, "no matrix");
  return D3D_OK;
}

HRESULT d3d9CheckGetTransform(const char* call, D3DTRANSFORMSTATETYPE state, const void* out, DWORD behavior) {
  if (d3d9TransformIndex(state) < 0) return d3d9Refuse(call, "%u is not a transform", (UINT)state);
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  return pure(call, behavior);
}

HRESULT d3d9CheckSetTextureStageState(const char* call, DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
  if (stage >= D3D9_TEXTURE_STAGES) return d3d9Refuse(call, "texture stage %lu of %d", (unsigned long)stage, D3D9_TEXTURE_STAGES);
  if (type < D3DTSS_COLOROP || type >= D3D9_STAGE_STATES) return d3d9Refuse(call, "%u is not a texture stage state", (UINT)type);
  return D3D_OK;
}

HRESULT d3d9CheckGetTextureStageState(const char* call, DWORD stage, D3DTEXTURESTAGESTATETYPE type, const void* out,
                                      DWORD behavior) {
  if (HRESULT hr = d3d9CheckSetTextureStageState(call, stage, type)) return hr;
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  return pure(call, behavior);
}

HRESULT d3d9CheckSetScissorRect(const char* call, const RECT* rect) {
  return rect ? D3D_OK : d3d9Refuse(call, "no rectangle");
}

HRESULT d3d9CheckGetScissorRect(const char* call, const void* out) { return d3d9CheckOut(call, out); }

// Blocks of every state; the pixel- and vertex-state subsets are not offered.
HRESULT d3d9CheckCreateStateBlock(const char* call, D3DSTATEBLOCKTYPE type, const void* out) {
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  if (type != D3DSBT_ALL) return d3d9Refuse(call, "only blocks of every state are offered");
  return D3D_OK;
}

HRESULT d3d9CheckSetConstants(const char* call, UINT start, const float* data, UINT count, UINT registers) {
  if (!data) return d3d9Refuse(call, "no data");
  if ((uint64_t)start + count > registers)
    return d3d9Refuse(call, "registers %u..%llu outside the stage's %u", start, (unsigned long long)start + count - 1,
                      registers);
  return D3D_OK;
}

HRESULT d3d9CheckGetConstants(const char* call, UINT start, const float* data, UINT count, UINT registers,
                              DWORD behavior) {
  if (HRESULT hr = d3d9CheckSetConstants(call, start, data, count, registers)) return hr;
  return pure(call, behavior);
}

HRESULT d3d9CheckSetStreamSource(const char* call, UINT stream, const void* argument, const void* own, UINT offset,
                                 UINT stride) {
  if (stream >= D3D9_STREAMS) return d3d9Refuse(call, "stream %u of %d", stream, D3D9_STREAMS);
  if (HRESULT hr = d3d9CheckObject(call, argument, own)) return hr;
  if (offset & 3) return d3d9Refuse(call, "offset %u is not a multiple of 4", offset);
  if (stride > d3d9Caps().MaxStreamStride)
    return d3d9Refuse(call, "stride %u over the device's %lu", stride, (unsigned long)d3d9Caps().MaxStreamStride);
  return D3D_OK;
}

HRESULT d3d9CheckGetStreamSource(const char* call, UINT stream, const void* buffer, const void* offset,
                                 const void* stride) {
  if (stream >= D3D9_STREAMS) return d3d9Refuse(call, "stream %u of %d", stream, D3D9_STREAMS);
  if (!buffer || !offset || !stride) return d3d9Refuse(call, "an out pointer is null");
  return D3D_OK;
}

HRESULT d3d9CheckLevel(const char* call, UINT level, UINT levels) {
  return level < levels ? D3D_OK : d3d9Refuse(call, "level %u of %u", level, levels);
}

HRESULT d3d9CheckLevel(const char* call, UINT level, UINT levels, const void* out) {
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  return d3d9CheckLevel(call, level, levels);
}

HRESULT d3d9CheckFace(const char* call, D3DCUBEMAP_FACES face, UINT level, UINT levels) {
  if ((UINT)face >= 6) return d3d9Refuse(call, "%u is not a cube face", (UINT)face);
  return d3d9CheckLevel(call, level, levels);
}

HRESULT d3d9CheckFace(const char* call, D3DCUBEMAP_FACES face, UINT level, UINT levels, const void* out) {
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  return d3d9CheckFace(call, face, level, levels);
}

HRESULT d3d9CheckUnlock(const char* call, bool locked) {
  return locked ? D3D_OK : d3d9Refuse(call, "not locked");
}

HRESULT d3d9CheckLockRect(const char* call, const D3DSURFACE_DESC& desc, bool lockable, bool locked, const RECT* rect,
                          const void* out, size_t* offset) {
  if (HRESULT hr = d3d9CheckOut(call, out)) return hr;
  if (!lockable || desc.MultiSampleType != D3DMULTISAMPLE_NONE || (desc.Usage & D3DUSAGE_DEPTHSTENCIL))
    return d3d9Refuse(call, "the surface is not lockable");
  if (locked) return d3d9Refuse(call, "locked already");
  if (!d3d9LockOffset(desc.Format, desc.Width, desc.Height, rect, offset))
    return d3d9Refuse(call, "the rectangle is outside the %ux%u surface or off its blocks", desc.Width, desc.Height);
  return D3D_OK;
}

HRESULT d3d9CheckDrawCall(const char* call, const D3D9Draw& draw, bool inScene, bool declared) {
  if (!inScene) return d3d9Refuse(call, "no scene is open");
  if (!declared) return d3d9Refuse(call, "no vertex declaration or FVF is set");
  if (draw.primitives == 0) return d3d9Refuse(call, "no primitives");
  if (d3d9VerticesFor(draw.type, draw.primitives) == 0)
    return d3d9Refuse(call, "%u is not a primitive type", (UINT)draw.type);
  return D3D_OK;
}

// Indices past the buffer, vertex ranges before vertex 0, and index values
// outside [MinVertexIndex, MinVertexIndex + NumVertices) are refused.
HRESULT d3d9CheckIndices(const char* call, const D3D9Draw& draw, D3D9BufferBytes* indices) {
  if (!indices) return d3d9Refuse(call, "no index buffer is set");
  if (indices->isLocked()) return d3d9Refuse(call, "the index buffer is locked");
  if (draw.vertices == 0) return d3d9Refuse(call, "NumVertices is 0");
  if ((int64_t)draw.baseVertex + draw.firstVertex < 0)
    return d3d9Refuse(call, "vertices from %lld, before vertex 0", (long long)draw.baseVertex + draw.firstVertex);
  UINT count = d3d9VerticesFor(draw.type, draw.primitives);
  if (((uint64_t)draw.startIndex + count) * indices->indexBytes() > indices->byteSize())
    return d3d9Refuse(call, "indices %u..%llu past the buffer's %u", draw.startIndex,
                      (unsigned long long)draw.startIndex + count - 1, indices->byteSize() / indices->indexBytes());
  UINT outside = 0;
  if (!indices->indicesInside(draw.startIndex, count, draw.firstVertex, draw.vertices, &outside))
    return d3d9Refuse(call, "index %u outside the %u vertices from %u", outside, draw.vertices, draw.firstVertex);
  return D3D_OK;
}

HRESULT d3d9CheckStream(const char* call, UINT stream, const D3D9BufferBytes* buffer, UINT offset, UINT stride,
                        uint64_t vertexEnd) {
  if (!buffer) return d3d9Refuse(call, "stream %u has no buffer", stream);
  if (stride == 0) return d3d9Refuse(call, "stream %u has a stride of 0", stream);
  if (buffer->isLocked()) return d3d9Refuse(call, "the buffer of stream %u is locked", stream);
  if (offset + vertexEnd * stride > buffer->byteSize())
    return d3d9Refuse(call, "vertex %llu outside the %llu vertices of stream %u", (unsigned long long)vertexEnd - 1,
                      (unsigned long long)(buffer->byteSize() > offset ? (buffer->byteSize() - offset) / stride : 0),
                      stream);
  return D3D_OK;
}

HRESULT d3d9CheckDrawUP(const char* call, D3DPRIMITIVETYPE type, UINT primitives, const void* data, UINT stride,
                        bool inScene, bool declared, uint32_t streamMask) {
  D3D9Draw draw = {type, primitives, false, 0, 0, 0, 0};
  if (HRESULT hr = d3d9CheckDrawCall(call, draw, inScene, declared)) return hr;
  if (!data) return d3d9Refuse(call, "no vertex data");
  if (stride == 0 || stride > d3d9Caps().MaxStreamStride) return d3d9Refuse(call, "stride %u", stride);
  // The vertices are stream 0: a declaration reading other streams has nothing to read.
  if (streamMask & ~1u) return d3d9Refuse(call, "the declaration reads streams besides stream 0");
  if ((uint64_t)d3d9VerticesFor(type, primitives) * stride > D3D9_USER_VERTEX_BYTES)
    return d3d9Refuse(call, "more than %u bytes of vertices", D3D9_USER_VERTEX_BYTES);
  return D3D_OK;
}
