#pragma once
// Geometry handed to the render device: the vertex and index buffer wrappers
// that meshes own, and DrawCall, the record of one draw over them.
//
// Wrappers are created with TRACKED_NEW and deleted by DrawCall::release (or
// by their owner with TRACKED_DELETE after RenderDeviceDX9::releaseBuffer).

#include <cstdint>

#include "platform/d3d9/d3d9.h"

class VertexBuffer {
 public:
  IDirect3DVertexBuffer9* handle = nullptr;
  bool dynamic = false;
  int32_t vertexCount = 0;
  uint32_t format = 0;      // VertexFormat code
  int32_t vertexSize = 0;   // bytes, from vertexSize(format)

  // A device buffer of count vertices of the format.
  void create(int32_t count, uint32_t vertexFormat, bool isDynamic);
  // Copies count x vertex size bytes from source into the whole buffer.
  void upload(const void* source);
  // Makes this stream 0 (through the device's stream cache).
  void bind();
};

class IndexBuffer {
 public:
  IDirect3DIndexBuffer9* handle = nullptr;
  bool dynamic = false;
  bool is32Bit = false;
  int32_t indexCount = 0;

  void create(int32_t count, bool use32Bit, bool isDynamic);
  // Copies count x (4 or 2) bytes from source into the whole buffer.
  void upload(const void* source);
  void bind();
};

class DrawCall {
 public:
  // An empty call: triangle list, no buffers, nothing to draw.
  DrawCall();
  // Indexed draw. Left empty when either buffer is null.
  DrawCall(VertexBuffer* vertices, IndexBuffer* indices, int32_t type, int32_t startIndex, int32_t baseVertexIndex,
           int32_t minVertexIndex);
  // Non-indexed draw from startVertex. Left empty when the buffer is null.
  DrawCall(VertexBuffer* vertices, int32_t type, int32_t startVertex);
  // Resets the fields; the buffers stay with whoever owns them.
  virtual ~DrawCall();

  // Releases both wrappers' device buffers, deletes the wrappers and nulls them.
  void release();

  int32_t primitiveType;  // D3DPRIMITIVETYPE
  int32_t baseVertexIndex;
  int32_t minVertexIndex;  // also the start vertex of a non-indexed draw
  int32_t vertexCount;
  int32_t startIndex;
  int32_t primitiveCount;
  VertexBuffer* vertexBuffer;
  IndexBuffer* indexBuffer;  // null for a non-indexed draw

 private:
  void reset();
  void countPrimitives();
};
