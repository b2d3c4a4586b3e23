#pragma once
// Drawable geometry. MeshData is the CPU copy of one mesh's vertices and
// 16-bit indices; Mesh adds the device objects made from it on demand (vertex
// buffer, optional index buffer, DrawCall); MeshGroup is a shared list of
// meshes (every scene node holds one group with one mesh). BoundingBox is the
// engine's axis-aligned box.
//
// Mesh and MeshGroup are shared by reference count and live in tracked
// storage: create them with TRACKED_NEW and let the last release free them.

#include <cstdint>

#include "engine/Array.h"
#include "engine/RefCounted.h"

class DrawCall;

class BoundingBox {
 public:
  // An empty box (see makeEmpty).
  BoundingBox();

  // Minimum +999999.875 and maximum -999999.875 on every axis, so that the
  // first box merged in replaces it.
  void makeEmpty();
  // Grows the box by the other box's minimum corner, then by its maximum
  // corner. An empty box merged in therefore spans the whole +-999999.875
  // range: its corners are added as points.
  void merge(const BoundingBox& other);

  float minimum[3];
  float maximum[3];
};

// Bit patterns 0x497423FE and 0xC97423FE.
constexpr float BOUNDING_BOX_EMPTY_MIN = 999999.875f;
constexpr float BOUNDING_BOX_EMPTY_MAX = -999999.875f;

struct MeshData {
  MeshData();
  MeshData(const MeshData&) = delete;
  MeshData& operator=(const MeshData&) = delete;

  // Stores the four values and allocates vertexCount vertices of the format
  // (36, 48 or 60 bytes; no vertex storage for any other format) and
  // indexCount 16-bit indices (none for 0). Meant for an empty MeshData: the
  // previous storage is not freed.
  void allocate(uint32_t vertexCount, uint32_t indexCount, uint32_t vertexFormat, int32_t primitiveType);
  // Frees both blocks, counts 0, primitive type back to triangle list.
  void release();

  int32_t primitiveType;  // D3DPRIMITIVETYPE
  uint32_t vertexFormat;  // VertexFormat code, 0 when empty
  uint8_t* vertices;      // vertexCount x vertex size bytes, or null
  uint16_t* indices;      // indexCount entries, or null
  uint32_t vertexCount;
  uint32_t indexCount;
};

// Bytes per vertex of the formats a MeshData holds; 0 for any other code.
uint32_t meshVertexSize(uint32_t vertexFormat);

class Mesh : public RefCounted {
 public:
  Mesh();
  // Releases the companion and the device buffers, frees the CPU copy.
  ~Mesh() override;

  // Holds a reference to the object in place of the previous one; null is
  // ignored.
  void setCompanion(RefCounted* object);

  // Makes the device objects for the CPU copy: null when there is no vertex
  // storage, an indexed call when there is index storage, else a plain one.
  // The caller stores the result (setDrawCall) and the mesh owns it then.
  DrawCall* createDrawCall();
  void setDrawCall(DrawCall* call) { drawCallObject = call; }
  DrawCall* drawCall() const { return drawCallObject; }

  MeshData data;
  RefCounted* companion = nullptr;
  BoundingBox bounds;  // not maintained

 protected:
  void destroy() override;

 private:
  DrawCall* drawCallObject = nullptr;
};

class MeshGroup : public RefCounted {
 public:
  MeshGroup() = default;
  ~MeshGroup() override;

  // Appends the mesh with a reference of the group's own; null is ignored.
  void addMesh(Mesh* mesh);
  // Null for an index outside the list.
  Mesh* meshAt(uint32_t index) const;
  uint32_t meshCount() const { return parts.count; }
  // Creates the draw call of every part that has none yet, in order.
  void upload();
  // Releases the group's reference to every part and empties the list.
  void releaseAll();

  Array<Mesh*> parts;
  BoundingBox bounds;  // not maintained

 protected:
  void destroy() override;
};
