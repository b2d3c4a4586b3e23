// Vertex input of the OpenGL device: vertex and index buffers, vertex
// declarations, streams and indices, the vertex arrays that join them, and
// the draws.

#include "platform/d3d9/gl/GlDevice.h"

#include <cstring>

namespace {

GLenum glPrimitive(D3DPRIMITIVETYPE type) {
  switch (type) {
  case D3DPT_POINTLIST: return GL_POINTS;
  case D3DPT_LINELIST: return GL_LINES;
  case D3DPT_LINESTRIP: return GL_LINE_STRIP;
  case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
  case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
  default: return GL_TRIANGLES;
  }
}

struct AttributeFormat {
  GLint size;
  GLenum type;
  GLboolean normalized;
};

AttributeFormat attributeFormat(BYTE type) {
  switch (type) {
  case D3DDECLTYPE_FLOAT1: return {1, GL_FLOAT, GL_FALSE};
  case D3DDECLTYPE_FLOAT2: return {2, GL_FLOAT, GL_FALSE};
  case D3DDECLTYPE_FLOAT3: return {3, GL_FLOAT, GL_FALSE};
  case D3DDECLTYPE_FLOAT4: return {4, GL_FLOAT, GL_FALSE};
  // Bytes B, G, R, A in memory, read as (R, G, B, A).
  case D3DDECLTYPE_D3DCOLOR: return {GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE};
  case D3DDECLTYPE_UBYTE4: return {4, GL_UNSIGNED_BYTE, GL_FALSE};
  case D3DDECLTYPE_SHORT2: return {2, GL_SHORT, GL_FALSE};
  case D3DDECLTYPE_SHORT4: return {4, GL_SHORT, GL_FALSE};
  case D3DDECLTYPE_UBYTE4N: return {4, GL_UNSIGNED_BYTE, GL_TRUE};
  case D3DDECLTYPE_SHORT2N: return {2, GL_SHORT, GL_TRUE};
  case D3DDECLTYPE_SHORT4N: return {4, GL_SHORT, GL_TRUE};
  case D3DDECLTYPE_USHORT2N: return {2, GL_UNSIGNED_SHORT, GL_TRUE};
  case D3DDECLTYPE_USHORT4N: return {4, GL_UNSIGNED_SHORT, GL_TRUE};
  case D3DDECLTYPE_UDEC3: return {4, GL_UNSIGNED_INT_2_10_10_10_REV, GL_FALSE};
  case D3DDECLTYPE_DEC3N: return {4, GL_INT_2_10_10_10_REV, GL_TRUE};
  case D3DDECLTYPE_FLOAT16_2: return {2, GL_HALF_FLOAT, GL_FALSE};
  case D3DDECLTYPE_FLOAT16_4: return {4, GL_HALF_FLOAT, GL_FALSE};
  default: return {0, 0, GL_FALSE};
  }
}

}  // namespace

bool GlVertexArrayKey::operator==(const GlVertexArrayKey& o) const {
  if (declaration != o.declaration || count != o.count) return false;
  for (uint32_t i = 0; i < count; ++i)
    if (streams[i].buffer != o.streams[i].buffer || streams[i].offset != o.streams[i].offset ||
        streams[i].stride != o.streams[i].stride)
      return false;
  return true;
}

size_t GlVertexArrayKeyHash::operator()(const GlVertexArrayKey& k) const {
  uint64_t h = k.declaration * 0x9E3779B97F4A7C15ull;
  for (uint32_t i = 0; i < k.count; ++i) {
    h ^= k.streams[i].buffer + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    h ^= ((uint64_t)k.streams[i].offset << 8 | k.streams[i].stride) + (h << 6) + (h >> 2);
  }
  return (size_t)h;
}

// --- buffers -----------------------------------------------------------------------------------
GlBufferCore::GlBufferCore(UINT length, DWORD usage, UINT indexSize) : D3D9BufferBytes(length, usage, indexSize) {}

static GLenum usageHint(DWORD usage) { return (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW; }

bool GlBufferCore::createStorage(GlDevice* device) {
  glClearErrors();
  glGenBuffers(1, &buffer);
  device->glState().bindCopyBuffer(buffer);
  // Storage only: the contents travel once, with the first Unlock (until then
  // they are undefined, as on Direct3D 9).
  glBufferData(GL_COPY_WRITE_BUFFER, byteSize(), nullptr, usageHint(bufferUsage()));
  return glGetError() == GL_NO_ERROR;
}

void GlBufferCore::destroyStorage() {
  if (buffer) glDeleteBuffers(1, &buffer);
  buffer = 0;
}

// The range written since the last upload, and how it may be uploaded.
HRESULT GlBufferCore::lock(UINT offset, UINT length, void** out, DWORD flags) {
  if (HRESULT hr = lockBytes(offset, length, out, flags)) return hr;
  UINT end = length == 0 ? byteSize() : offset + length;
  if (!(flags & D3DLOCK_READONLY)) {
    if (!written) {
      dirtyBegin = offset;
      dirtyEnd = end;
      discard = (flags & D3DLOCK_DISCARD) != 0;
      noOverwrite = (flags & D3DLOCK_NOOVERWRITE) != 0;
    } else {
      dirtyBegin = offset < dirtyBegin ? offset : dirtyBegin;
      dirtyEnd = end > dirtyEnd ? end : dirtyEnd;
      discard = discard || (flags & D3DLOCK_DISCARD);
      noOverwrite = noOverwrite && (flags & D3DLOCK_NOOVERWRITE);
    }
    written = true;
  }
  return D3D_OK;
}

HRESULT GlBufferCore::unlock(GlDevice* device) {
  if (HRESULT hr = unlockBytes()) return hr;
  if (isLocked() || !written) return D3D_OK;
  written = false;
  if (!device->makeCurrent() || dirtyEnd <= dirtyBegin) return D3D_OK;
  device->stats.bufferBytesUploaded += dirtyEnd - dirtyBegin;
  device->glState().bindCopyBuffer(buffer);
  if (discard) {
    // New storage: draws still reading the old contents keep them.
    glBufferData(GL_COPY_WRITE_BUFFER, byteSize(), nullptr, usageHint(bufferUsage()));
    glBufferSubData(GL_COPY_WRITE_BUFFER, dirtyBegin, dirtyEnd - dirtyBegin, bytes.data() + dirtyBegin);
  } else if (noOverwrite) {
    // The caller promised not to touch what queued draws read: no wait.
    void* p = glMapBufferRange(GL_COPY_WRITE_BUFFER, dirtyBegin, dirtyEnd - dirtyBegin,
                               GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (p) {
      std::memcpy(p, bytes.data() + dirtyBegin, dirtyEnd - dirtyBegin);
      glUnmapBuffer(GL_COPY_WRITE_BUFFER);
    } else {
      glBufferSubData(GL_COPY_WRITE_BUFFER, dirtyBegin, dirtyEnd - dirtyBegin, bytes.data() + dirtyBegin);
    }
  } else {
    glBufferSubData(GL_COPY_WRITE_BUFFER, dirtyBegin, dirtyEnd - dirtyBegin, bytes.data() + dirtyBegin);
  }
  return D3D_OK;
}

GlVertexBuffer::GlVertexBuffer(GlDevice* d, UINT length, DWORD use, DWORD fvf, D3DPOOL pool)
    : GlResource(d, true), GlBufferCore(length, use, 0) {
  desc = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, use, pool, length, fvf};
}

GlVertexBuffer::~GlVertexBuffer() {
  if (buffer && device->makeCurrent()) {
    device->forgetBuffer(serial, false);
    destroyStorage();
  }
}

HRESULT GlVertexBuffer::GetDevice(IDirect3DDevice9** ppDevice) { return giveDevice(ppDevice); }
HRESULT GlVertexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
  return lock(OffsetToLock, SizeToLock, ppbData, Flags);
}
HRESULT GlVertexBuffer::Unlock() { return unlock(device); }
HRESULT GlVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc) {
  if (HRESULT hr = d3d9CheckOut(__func__, pDesc)) return hr;
  *pDesc = desc;
  return D3D_OK;
}

GlIndexBuffer::GlIndexBuffer(GlDevice* d, UINT length, DWORD use, D3DFORMAT format, D3DPOOL pool)
    : GlResource(d, true), GlBufferCore(length, use, d3d9IndexSize(format)) {
  desc = {format, D3DRTYPE_INDEXBUFFER, use, pool, length};
}

GlIndexBuffer::~GlIndexBuffer() {
  if (buffer && device->makeCurrent()) {
    device->forgetBuffer(serial, true);
    destroyStorage();
  }
}

HRESULT GlIndexBuffer::GetDevice(IDirect3DDevice9** ppDevice) { return giveDevice(ppDevice); }
HRESULT GlIndexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
  return lock(OffsetToLock, SizeToLock, ppbData, Flags);
}
HRESULT GlIndexBuffer::Unlock() { return unlock(device); }
HRESULT GlIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc) {
  if (HRESULT hr = d3d9CheckOut(__func__, pDesc)) return hr;
  *pDesc = desc;
  return D3D_OK;
}

// --- declarations -----------------------------------------------------------------------------
GlVertexDeclaration::GlVertexDeclaration(GlDevice* d, const D3DVERTEXELEMENT9* items, UINT count)
    : GlResource(d, true), elements(items, items + count), streamMask(d3d9DeclarationStreams(elements)) {
  for (const D3DVERTEXELEMENT9& e : elements)
    if (e.Usage == D3DDECLUSAGE_POSITIONT) pretransformed = true;
}

GlVertexDeclaration::~GlVertexDeclaration() {
  if (device->makeCurrent()) device->forgetDeclaration(serial);
}

HRESULT GlVertexDeclaration::GetDevice(IDirect3DDevice9** ppDevice) { return giveDevice(ppDevice); }

HRESULT GlVertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) {
  return d3d9CopyDeclaration(elements, pElement, pNumElements);
}

// --- device calls ------------------------------------------------------------------------
HRESULT GlDevice::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                     IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
  if (ppVertexBuffer) *ppVertexBuffer = nullptr;
  if (HRESULT hr = d3d9CheckCreateVertexBuffer(__func__, Length, Usage, FVF, Pool, ppVertexBuffer, pSharedHandle)) return hr;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  GlVertexBuffer* b = new GlVertexBuffer(this, Length, Usage, FVF, Pool);
  return handOut(b, b->createStorage(this), ppVertexBuffer);
}

HRESULT GlDevice::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                    IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
  if (ppIndexBuffer) *ppIndexBuffer = nullptr;
  if (HRESULT hr = d3d9CheckCreateIndexBuffer(__func__, Length, Usage, Format, Pool, ppIndexBuffer, pSharedHandle)) return hr;
  if (!makeCurrent()) return D3DERR_DEVICELOST;
  GlIndexBuffer* b = new GlIndexBuffer(this, Length, Usage, Format, Pool);
  return handOut(b, b->createStorage(this), ppIndexBuffer);
}

HRESULT GlDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                          IDirect3DVertexDeclaration9** ppDecl) {
  if (ppDecl) *ppDecl = nullptr;
  UINT count = 0;
  if (HRESULT hr = d3d9CheckVertexElements(__func__, pVertexElements, ppDecl, &count)) return hr;
  *ppDecl = new GlVertexDeclaration(this, pVertexElements, count);
  return D3D_OK;
}

void GlDevice::declarationChanging(GlVertexDeclaration* next) {
  dirty |= DirtyVertexArray;
  // Pre-transformed vertices take the built-in vertex stage.
  if (!declaration || !next || declaration->pretransformed != next->pretransformed) dirty |= DirtyProgram;
}

GlVertexDeclaration* GlDevice::newDeclaration(const D3DVERTEXELEMENT9* elements, UINT count) {
  return new GlVertexDeclaration(this, elements, count);
}

// --- vertex arrays ---------------------------------------------------------------------------
void GlDevice::applyVertexArray(UINT upStride) {
  GlVertexArrayKey key;
  key.declaration = declaration->serial;
  GLuint names[D3D9_STREAMS];
  uint32_t streamOf[D3D9_STREAMS];
  for (uint32_t bits = declaration->streamMask; bits; bits &= bits - 1) {
    uint32_t s = (uint32_t)__builtin_ctz(bits);
    GlVertexArrayKey::Stream& e = key.streams[key.count];
    if (s == 0 && upStride) {
      e = {upSerial, 0, upStride};
      names[key.count] = upBuffer;
    } else {
      const Stream& st = streams[s];
      e = {st.buffer->serial, st.offset, st.stride};
      names[key.count] = st.buffer->buffer;
    }
    streamOf[key.count++] = s;
  }
  if (currentVertexArray && key == currentVertexArrayKey) {
    gl.bindVertexArray(currentVertexArray->vao);
    return;
  }
  auto it = vertexArrays.find(key);
  if (it == vertexArrays.end()) {
    GlVertexArray va;
    glGenVertexArrays(1, &va.vao);
    gl.bindVertexArray(va.vao);
    for (const D3DVERTEXELEMENT9& e : declaration->elements) {
      int location = d3d9AttributeLocation(e.Usage, e.UsageIndex);
      AttributeFormat f = attributeFormat(e.Type);
      if (location < 0 || f.size == 0) continue;
      uint32_t j = 0;
      while (j < key.count && streamOf[j] != e.Stream) ++j;
      gl.bindArrayBuffer(names[j]);
      glEnableVertexAttribArray((GLuint)location);
      glVertexAttribPointer((GLuint)location, f.size, f.type, f.normalized, (GLsizei)key.streams[j].stride,
                            reinterpret_cast<const void*>((uintptr_t)key.streams[j].offset + e.Offset));
    }
    ++stats.vertexArraysCreated;
    it = vertexArrays.emplace(key, va).first;
  }
  currentVertexArray = &it->second;
  currentVertexArrayKey = key;
  gl.bindVertexArray(currentVertexArray->vao);
}

void GlDevice::forgetBuffer(uint64_t serial, bool isIndexBuffer) {
  for (auto it = vertexArrays.begin(); it != vertexArrays.end();) {
    GlVertexArray& va = it->second;
    if (isIndexBuffer) {
      if (va.elementSerial == serial) va.elementSerial = 0;  // deleting the buffer unbound it
      ++it;
      continue;
    }
    bool uses = false;
    for (uint32_t i = 0; i < it->first.count; ++i) uses = uses || it->first.streams[i].buffer == serial;
    if (!uses) {
      ++it;
      continue;
    }
    gl.forgetVertexArray(va.vao);
    if (currentVertexArray == &va) currentVertexArray = nullptr;
    glDeleteVertexArrays(1, &va.vao);
    it = vertexArrays.erase(it);
  }
  currentVertexArray = nullptr;
  dirty |= DirtyVertexArray;
}

void GlDevice::forgetDeclaration(uint64_t serial) {
  for (auto it = vertexArrays.begin(); it != vertexArrays.end();) {
    if (it->first.declaration != serial) {
      ++it;
      continue;
    }
    gl.forgetVertexArray(it->second.vao);
    glDeleteVertexArrays(1, &it->second.vao);
    it = vertexArrays.erase(it);
  }
  currentVertexArray = nullptr;
  dirty |= DirtyVertexArray;
}

// --- draws -------------------------------------------------------------------------------------
// D3D_OK: draw; S_FALSE: the device is lost and drops the draw (as
// Direct3D 9 does, reporting the loss at Present); else the failure.
HRESULT GlDevice::prepareDraw(UINT upStride) {
  if (lost || !context->makeCurrent()) {
    lost = true;
    return S_FALSE;
  }
  const uint32_t stateBits =
      DirtyDepth | DirtyRaster | DirtyBlend | DirtyStencil | DirtyColorMask | DirtyMisc | DirtyScissor;
  if (dirty & stateBits) applyRenderStates();
  if (dirty & DirtyFramebuffer) applyFramebuffer();
  if (dirty & DirtyViewport) applyViewport();
  dirty &= ~(stateBits | DirtyFramebuffer | DirtyViewport);
  if (HRESULT hr = checkFramebuffer()) return hr;
  if (dirty & DirtyProgram) {
    if (!applyProgram()) return D3DERR_INVALIDCALL;  // the pair does not link: nothing can be drawn with it
    dirty &= ~DirtyProgram;
  }
  if (upStride) {
    applyVertexArray(upStride);
    dirty |= DirtyVertexArray;  // stream 0 is unbound after the draw
  } else if (dirty & DirtyVertexArray) {
    applyVertexArray(0);
    dirty &= ~DirtyVertexArray;
  }
  if (dirtyTextures) applyTextures();
  if (dirtySamplers) applySamplers();
  uploadConstants(currentProgram);
  for (GlSurface* t : targets)
    if (t && t->container && t->container->autogen) textureChanged(t->container);
  return D3D_OK;
}

HRESULT GlDevice::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
  if (HRESULT hr = checkDraw(__func__, {PrimitiveType, PrimitiveCount, false, 0, StartVertex, 0, 0})) return hr;
  HRESULT hr = prepareDraw(0);
  if (hr != D3D_OK) return hr == S_FALSE ? D3D_OK : hr;
  glDrawArrays(glPrimitive(PrimitiveType), (GLint)StartVertex, (GLsizei)d3d9VerticesFor(PrimitiveType, PrimitiveCount));
  ++stats.draws;
  return D3D_OK;
}

HRESULT GlDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                       UINT NumVertices, UINT startIndex, UINT primCount) {
  if (HRESULT hr = checkDraw(__func__, {PrimitiveType, primCount, true, BaseVertexIndex, MinVertexIndex, NumVertices,
                                         startIndex}))
    return hr;
  HRESULT hr = prepareDraw(0);
  if (hr != D3D_OK) return hr == S_FALSE ? D3D_OK : hr;
  // The index buffer binding belongs to the vertex array.
  if (glSendOnChange(currentVertexArray->elementSerial, indexBuffer->serial,
                     [&] { glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer->buffer); }))
    ++stats.stateCalls;
  UINT indexSize = indexBuffer->indexBytes();
  glDrawElementsBaseVertex(glPrimitive(PrimitiveType), (GLsizei)d3d9VerticesFor(PrimitiveType, primCount),
                           indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                           reinterpret_cast<const void*>((uintptr_t)startIndex * indexSize), BaseVertexIndex);
  ++stats.draws;
  return D3D_OK;
}

HRESULT GlDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                  const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
  if (HRESULT hr = checkDrawUP(__func__, PrimitiveType, PrimitiveCount, pVertexStreamZeroData, VertexStreamZeroStride))
    return hr;
  UINT count = d3d9VerticesFor(PrimitiveType, PrimitiveCount);
  UINT bytes = count * VertexStreamZeroStride;
  HRESULT hr = D3D_OK;
  if (!lost && context->makeCurrent()) {
    // The vertices stream through one buffer: appended after the last
    // draw's, or into fresh storage when it is full.
    UINT stride = VertexStreamZeroStride;
    gl.bindArrayBuffer(upBuffer);
    if (bytes > upCapacity) {
      while (upCapacity < bytes) upCapacity *= 2;
      glBufferData(GL_ARRAY_BUFFER, upCapacity, nullptr, GL_STREAM_DRAW);
      upPosition = 0;
    }
    UINT position = (upPosition + stride - 1) / stride * stride;
    if ((uint64_t)position + bytes > upCapacity) {
      glBufferData(GL_ARRAY_BUFFER, upCapacity, nullptr, GL_STREAM_DRAW);
      position = 0;
    }
    void* p = glMapBufferRange(GL_ARRAY_BUFFER, position, bytes,
                               GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (p) {
      std::memcpy(p, pVertexStreamZeroData, bytes);
      glUnmapBuffer(GL_ARRAY_BUFFER);
    } else {
      glBufferSubData(GL_ARRAY_BUFFER, position, bytes, pVertexStreamZeroData);
    }
    upPosition = position + bytes;
    stats.bufferBytesUploaded += bytes;
    hr = prepareDraw(stride);
    if (hr == D3D_OK) {
      glDrawArrays(glPrimitive(PrimitiveType), (GLint)(position / stride), (GLsizei)count);
      ++stats.draws;
    }
  } else {
    lost = true;
  }
  drawnFromUserPointer();
  return hr == S_FALSE ? D3D_OK : hr;
}
