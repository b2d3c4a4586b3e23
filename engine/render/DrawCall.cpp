#include "engine/render/DrawCall.h"

#include <cstring>

#include "engine/Memory.h"
#include "engine/render/RenderDeviceDX9.h"
#include "engine/render/VertexFormats.h"

void VertexBuffer::create(int32_t count, uint32_t vertexFormat, bool isDynamic) {
  vertexCount = count;
  format = vertexFormat;
  dynamic = isDynamic;
  vertexSize = int32_t(::vertexSize(vertexFormat));
  handle = getRenderDevice()->createVertexBuffer(uint32_t(vertexSize) * uint32_t(count), format, dynamic);
}

void VertexBuffer::upload(const void* source) {
  if (!handle || !source) return;
  void* target = getRenderDevice()->lockVertexBuffer(handle, 0, 0, 0);
  std::memcpy(target, source, size_t(vertexCount) * size_t(vertexSize));
  getRenderDevice()->unlockVertexBuffer(handle);
}

void VertexBuffer::bind() { getRenderDevice()->setVertexStream(handle, format, uint32_t(vertexSize)); }

void IndexBuffer::create(int32_t count, bool use32Bit, bool isDynamic) {
  indexCount = count;
  is32Bit = use32Bit;
  dynamic = isDynamic;
  handle = getRenderDevice()->createIndexBuffer(uint32_t(count), is32Bit, dynamic);
}

void IndexBuffer::upload(const void* source) {
  if (!handle || !source) return;
  void* target = getRenderDevice()->lockIndexBuffer(handle, 0, 0, dynamic);
  std::memcpy(target, source, size_t(indexCount) * (is32Bit ? 4 : 2));
  getRenderDevice()->unlockIndexBuffer(handle);
}

void IndexBuffer::bind() { getRenderDevice()->setIndexBuffer(handle); }

DrawCall::DrawCall() { reset(); }

DrawCall::DrawCall(VertexBuffer* vertices, IndexBuffer* indices, int32_t type, int32_t start, int32_t baseVertex,
                   int32_t minVertex) {
  reset();
  if (!vertices || !indices) return;
  primitiveType = type;
  startIndex = start;
  baseVertexIndex = baseVertex;
  minVertexIndex = minVertex;
  vertexCount = vertices->vertexCount;
  vertexBuffer = vertices;
  indexBuffer = indices;
  countPrimitives();
}

DrawCall::DrawCall(VertexBuffer* vertices, int32_t type, int32_t startVertex) {
  reset();
  if (!vertices) return;
  primitiveType = type;
  minVertexIndex = startVertex;
  vertexCount = vertices->vertexCount;
  vertexBuffer = vertices;
  countPrimitives();
}

DrawCall::~DrawCall() { reset(); }

void DrawCall::reset() {
  primitiveType = D3DPT_TRIANGLELIST;
  baseVertexIndex = 0;
  minVertexIndex = 0;
  vertexCount = 0;
  startIndex = 0;
  primitiveCount = 0;
  vertexBuffer = nullptr;
  indexBuffer = nullptr;
}

// Only triangle lists count from the indices; every other type counts from
// the vertices, indexed or not.
void DrawCall::countPrimitives() {
  switch (primitiveType) {
  case D3DPT_LINELIST: primitiveCount = vertexCount / 2; break;
  case D3DPT_LINESTRIP: primitiveCount = vertexCount - 1; break;
  case D3DPT_TRIANGLELIST: primitiveCount = (indexBuffer ? indexBuffer->indexCount : vertexCount) / 3; break;
  case D3DPT_TRIANGLESTRIP:
  case D3DPT_TRIANGLEFAN: primitiveCount = vertexCount - 2; break;
  default: primitiveCount = vertexCount; break;
  }
}

void DrawCall::release() {
  if (vertexBuffer) {
    getRenderDevice()->releaseBuffer(vertexBuffer->handle);
    TRACKED_DELETE(vertexBuffer);
    vertexBuffer = nullptr;
  }
  if (indexBuffer) {
    getRenderDevice()->releaseBuffer(indexBuffer->handle);
    TRACKED_DELETE(indexBuffer);
    indexBuffer = nullptr;
  }
}
