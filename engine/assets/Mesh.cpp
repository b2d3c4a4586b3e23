#include "engine/assets/Mesh.h"

#include "engine/Memory.h"
#include "engine/render/DrawCall.h"
#include "engine/render/VertexFormats.h"
#include "platform/d3d9/d3d9.h"

BoundingBox::BoundingBox() { makeEmpty(); }

void BoundingBox::makeEmpty() {
  for (int axis = 0; axis < 3; ++axis) {
    minimum[axis] = BOUNDING_BOX_EMPTY_MIN;
    maximum[axis] = BOUNDING_BOX_EMPTY_MAX;
  }
}

void BoundingBox::merge(const BoundingBox& other) {
  for (const float* corner : {other.minimum, other.maximum}) {
    for (int axis = 0; axis < 3; ++axis) {
      if (corner[axis] > maximum[axis]) maximum[axis] = corner[axis];
      if (corner[axis] < minimum[axis]) minimum[axis] = corner[axis];
    }
  }
}

uint32_t meshVertexSize(uint32_t vertexFormat) {
  switch (vertexFormat) {
  case VERTEXFORMAT_COLORED:
  case VERTEXFORMAT_DEFAULT:
  case VERTEXFORMAT_MESH: return vertexSize(vertexFormat);
  default: return 0;
  }
}

MeshData::MeshData()
    : primitiveType(D3DPT_TRIANGLELIST), vertexFormat(0), vertices(nullptr), indices(nullptr), vertexCount(0),
      indexCount(0) {}

void MeshData::allocate(uint32_t newVertexCount, uint32_t newIndexCount, uint32_t newVertexFormat,
                        int32_t newPrimitiveType) {
  vertexCount = newVertexCount;
  indexCount = newIndexCount;
  vertexFormat = newVertexFormat;
  primitiveType = newPrimitiveType;
  uint32_t size = meshVertexSize(vertexFormat);
  if (size) vertices = static_cast<uint8_t*>(TRACKED_ALLOC(size_t(size) * vertexCount));
  if (indexCount) indices = static_cast<uint16_t*>(TRACKED_ALLOC(size_t(indexCount) * sizeof(uint16_t)));
}

void MeshData::release() {
  if (vertices) TRACKED_FREE(vertices);
  if (indices) TRACKED_FREE(indices);
  vertices = nullptr;
  indices = nullptr;
  vertexCount = 0;
  indexCount = 0;
  primitiveType = D3DPT_TRIANGLELIST;
}

Mesh::Mesh() = default;

Mesh::~Mesh() {
  releaseRef(companion);
  if (drawCallObject) {
    drawCallObject->release();
    TRACKED_DELETE(drawCallObject);
    drawCallObject = nullptr;
  }
  data.release();
}

void Mesh::destroy() { TRACKED_DELETE(this); }

void Mesh::setCompanion(RefCounted* object) {
  if (!object) return;
  object->addRef();
  releaseRef(companion);
  companion = object;
}

DrawCall* Mesh::createDrawCall() {
  if (!data.vertices) return nullptr;
  VertexBuffer* vertexBuffer = TRACKED_NEW(VertexBuffer);
  vertexBuffer->create(int32_t(data.vertexCount), data.vertexFormat, false);
  vertexBuffer->upload(data.vertices);
  if (data.indices) {
    IndexBuffer* indexBuffer = TRACKED_NEW(IndexBuffer);
    indexBuffer->create(int32_t(data.indexCount), false, false);
    indexBuffer->upload(data.indices);
    return TRACKED_NEW(DrawCall, vertexBuffer, indexBuffer, data.primitiveType, 0, 0, 0);
  }
  return TRACKED_NEW(DrawCall, vertexBuffer, data.primitiveType, 0);
}

MeshGroup::~MeshGroup() { releaseAll(); }

void MeshGroup::destroy() { TRACKED_DELETE(this); }

void MeshGroup::addMesh(Mesh* mesh) {
  if (!mesh) return;
  mesh->addRef();
  parts.append(mesh);
}

Mesh* MeshGroup::meshAt(uint32_t index) const { return index < parts.count ? parts[index] : nullptr; }

void MeshGroup::upload() {
  for (Mesh* part : parts) {
    if (!part->drawCall()) part->setDrawCall(part->createDrawCall());
  }
}

void MeshGroup::releaseAll() {
  for (Mesh*& part : parts) releaseRef(part);
  parts.clear();
}
