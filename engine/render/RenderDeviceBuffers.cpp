// RenderDeviceDX9: vertex declarations, vertex and index buffers, the stream
// and declaration cache, and draws.

#include <cstring>

#include "engine/Log.h"
#include "engine/render/RenderDeviceDX9.h"
#include "platform/d3d9/ReleaseCom.h"

namespace {

#define ELEMENT(offset, type, usage, index) \
  { 0, offset, D3DDECLTYPE_##type, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_##usage, index }

const D3DVERTEXELEMENT9 screenElements[] = {
    ELEMENT(0, FLOAT4, POSITIONT, 0),
    ELEMENT(16, FLOAT2, TEXCOORD, 0),
    D3DDECL_END(),
};

const D3DVERTEXELEMENT9 defaultElements[] = {
    ELEMENT(0, FLOAT3, POSITION, 0),
    ELEMENT(12, FLOAT3, NORMAL, 0),
    ELEMENT(24, FLOAT2, TEXCOORD, 0),
    ELEMENT(32, FLOAT4, TEXCOORD, 1),
    D3DDECL_END(),
};

const D3DVERTEXELEMENT9 meshElements[] = {
    ELEMENT(0, FLOAT3, POSITION, 0),
    ELEMENT(12, FLOAT3, NORMAL, 0),
    ELEMENT(24, FLOAT2, TEXCOORD, 0),
    ELEMENT(32, FLOAT3, TEXCOORD, 1),
    ELEMENT(44, FLOAT3, TEXCOORD, 2),
    ELEMENT(56, D3DCOLOR, COLOR, 0),
    D3DDECL_END(),
};

const D3DVERTEXELEMENT9 coloredElements[] = {
    ELEMENT(0, FLOAT3, POSITION, 0),
    ELEMENT(12, FLOAT3, NORMAL, 0),
    ELEMENT(24, FLOAT2, TEXCOORD, 0),
    ELEMENT(32, D3DCOLOR, COLOR, 0),
    D3DDECL_END(),
};

#undef ELEMENT

// Creation order of the declarations, which is also their slot order.
struct DeclarationSlot {
  uint32_t format;
  const D3DVERTEXELEMENT9* elements;
};
const DeclarationSlot declarationSlots[4] = {
    {VERTEXFORMAT_SCREEN, screenElements},
    {VERTEXFORMAT_DEFAULT, defaultElements},
    {VERTEXFORMAT_MESH, meshElements},
    {VERTEXFORMAT_COLORED, coloredElements},
};

int declarationSlot(uint32_t format) {
  for (int slot = 0; slot < 4; ++slot)
    if (declarationSlots[slot].format == format) return slot;
  return -1;
}

}  // namespace

void RenderDeviceDX9::createVertexDeclarations() {
  // Every creation is checked: a missing declaration would only surface
  // later as a failing draw.
  bool failed = false;
  for (int slot = 0; slot < 4; ++slot)
    if (FAILED(device->CreateVertexDeclaration(declarationSlots[slot].elements, &declarations[slot]))) failed = true;
  if (failed) fatalError("CreateVertexDeclaration failed! (RenderDeviceDX9::init)");
  if (FAILED(device->SetVertexDeclaration(declarations[declarationSlot(VERTEXFORMAT_DEFAULT)])))
    fatalError("SetVertexDeclaration failed! (RenderDeviceDX9::init)");
}

void RenderDeviceDX9::releaseVertexDeclarations() {
  for (auto& declaration : declarations) releaseCom(declaration);
}

IDirect3DVertexDeclaration9* RenderDeviceDX9::declaration(uint32_t format) const {
  int slot = declarationSlot(format);
  return slot >= 0 ? declarations[slot] : nullptr;
}

IDirect3DVertexBuffer9* RenderDeviceDX9::createVertexBuffer(uint32_t bytes, uint32_t format, bool dynamic) {
  IDirect3DVertexBuffer9* buffer = nullptr;
  DWORD usage = D3DUSAGE_WRITEONLY | (dynamic ? D3DUSAGE_DYNAMIC : 0);
  if (!device || FAILED(device->CreateVertexBuffer(bytes, usage, format, D3DPOOL_DEFAULT, &buffer, nullptr)))
    fatalError("RenderDeviceDX9::createVertexBuffer failed!");
  return buffer;
}

void* RenderDeviceDX9::lockVertexBuffer(IDirect3DVertexBuffer9* buffer, uint32_t offset, uint32_t size,
                                        uint32_t lockFlags) {
  void* data = nullptr;
  if (!buffer || FAILED(buffer->Lock(offset, size, &data, lockFlags)) || !data)
    fatalError("RenderDeviceDX9::lockVertexBuffer: Locking failed!");
  return data;
}

void RenderDeviceDX9::unlockVertexBuffer(IDirect3DVertexBuffer9* buffer) {
  if (!buffer || FAILED(buffer->Unlock())) fatalError("RenderDeviceDX9::unlockVertexBuffer: Unlocking failed!");
}

IDirect3DIndexBuffer9* RenderDeviceDX9::createIndexBuffer(uint32_t indexCount, bool use32Bit, bool dynamic) {
  IDirect3DIndexBuffer9* buffer = nullptr;
  uint32_t bytes = indexCount * (use32Bit ? 4 : 2);
  // Direct3D refuses dynamic buffers in the managed pool; those live in the
  // default pool like the device's own dynamic buffers.
  D3DPOOL pool = dynamic ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED;
  if (!device || FAILED(device->CreateIndexBuffer(bytes, dynamic ? D3DUSAGE_DYNAMIC : 0,
                                                  use32Bit ? D3DFMT_INDEX32 : D3DFMT_INDEX16, pool, &buffer,
                                                  nullptr)))
    fatalError("RenderDeviceDX9::createIndexBuffer failed!");
  return buffer;
}

void* RenderDeviceDX9::lockIndexBuffer(IDirect3DIndexBuffer9* buffer, uint32_t offset, uint32_t size, bool discard) {
  void* data = nullptr;
  if (!buffer || FAILED(buffer->Lock(offset, size, &data, discard ? D3DLOCK_DISCARD : 0)) || !data)
    fatalError("RenderDeviceDX9::lockIndexBuffer: Locking failed!");
  return data;
}

void RenderDeviceDX9::unlockIndexBuffer(IDirect3DIndexBuffer9* buffer) {
  if (buffer) buffer->Unlock();
}

void RenderDeviceDX9::releaseBuffer(IDirect3DResource9* buffer) {
  if (!buffer) return;
  // A new buffer may reuse the address; the cache must not take it for this one.
  if (buffer == currentStream) currentStream = nullptr;
  buffer->Release();
}

void RenderDeviceDX9::setIndexBuffer(IDirect3DIndexBuffer9* buffer) {
  if (!device || FAILED(device->SetIndices(buffer))) fatalError("RenderDeviceDX9::setIndexBuffer: SetIndices failed!");
}

void RenderDeviceDX9::setVertexStream(IDirect3DVertexBuffer9* buffer, uint32_t format, uint32_t stride) {
  bool sent = sendChanged(CACHED_STREAM, currentStream, buffer, [&] {
    if (!device || FAILED(device->SetStreamSource(0, buffer, 0, stride)))
      fatalError("RenderDeviceDX9::setVertexStream failed!");
  });
  // The declaration follows the stream only when the stream changed.
  if (sent) SetVertexDecl(format);
}

void RenderDeviceDX9::SetVertexDecl(uint32_t format) {
  // An unknown code is sent nowhere but still remembered, so the next known
  // one always reaches the device.
  int slot = declarationSlot(format);
  sendChanged(CACHED_DECLARATION, currentFormat, format, [&] {
    if (slot < 0) return;
    if (!device || FAILED(device->SetVertexDeclaration(declarations[slot])))
      fatalError("RenderDeviceDX9::SetVertexDecl failed!");
  });
}

void RenderDeviceDX9::draw(const DrawCall* call) {
  if (!call || !call->vertexBuffer) return;
  call->vertexBuffer->bind();
  countDraw(D3DPRIMITIVETYPE(call->primitiveType), uint32_t(call->primitiveCount));
  if (call->indexBuffer) {
    call->indexBuffer->bind();
    if (FAILED(device->DrawIndexedPrimitive(D3DPRIMITIVETYPE(call->primitiveType), call->baseVertexIndex,
                                            UINT(call->minVertexIndex), UINT(call->vertexCount),
                                            UINT(call->startIndex), UINT(call->primitiveCount))))
      fatalError("RenderDeviceDX9::drawIndexedPrimitive failed!");
  } else {
    if (FAILED(device->DrawPrimitive(D3DPRIMITIVETYPE(call->primitiveType), UINT(call->minVertexIndex),
                                     UINT(call->primitiveCount))))
      fatalError("RenderDeviceDX9::drawPrimitive failed!");
  }
}

void RenderDeviceDX9::DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertices,
                                      uint32_t stride) {
  // The next SetVertexDecl must reach the device whatever it names.
  currentFormat = 0;
  if (!device || FAILED(device->DrawPrimitiveUP(type, primitiveCount, vertices, stride)))
    fatalError("RenderDeviceDX9::DrawPrimitiveUP failed!");
  countDraw(type, primitiveCount);
  // The user-pointer draw leaves stream 0 unbound.
  currentStream = nullptr;
}

void RenderDeviceDX9::initDynamicBuffers(uint32_t vertexCount, uint32_t indexCount) {
  if (FAILED(device->CreateVertexBuffer(vertexCount * vertexSize(VERTEXFORMAT_MESH),
                                        D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, VERTEXFORMAT_MESH, D3DPOOL_DEFAULT,
                                        &dynamicVertexBuffer, nullptr)))
    fatalError("RenderDeviceDX9::initDynamicBuffers: CreateVertexBuffer failed!");
  if (FAILED(device->CreateIndexBuffer(indexCount * 2, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                       D3DPOOL_DEFAULT, &dynamicIndexBuffer, nullptr)))
    fatalError("RenderDeviceDX9::initDynamicBuffers: CreateIndexBuffer failed!");
  dynamicVertexPosition = 0;
  dynamicIndexPosition = 0;
}

void RenderDeviceDX9::createQuadIndexBuffer(uint32_t indexCount) {
  quadIndexBuffer = createIndexBuffer(indexCount, false, false);
  uint16_t* indices = static_cast<uint16_t*>(lockIndexBuffer(quadIndexBuffer, 0, 0, false));
  // Two triangles per quad of four vertices: 0 1 2, 2 3 0.
  for (uint32_t quad = 0; quad < indexCount / 6; ++quad) {
    uint16_t first = uint16_t(quad * 4);
    uint16_t* out = indices + quad * 6;
    out[0] = first;
    out[1] = uint16_t(first + 1);
    out[2] = uint16_t(first + 2);
    out[3] = uint16_t(first + 2);
    out[4] = uint16_t(first + 3);
    out[5] = first;
  }
  unlockIndexBuffer(quadIndexBuffer);
}
