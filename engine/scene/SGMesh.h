#pragma once
// The scene's mesh node. This side holds the node's transform: position,
// scale along its own axes, rotation, the animation tracks that drive them,
// and the world matrix composed from them. The ASE reader fills the transform
// parts and the raw geometry (importMesh); the geometry side turns the latter
// into a drawable Mesh.

#include <cstdint>

#include "engine/assets/ImportMesh.h"
#include "engine/assets/SGNode.h"
#include "platform/d3dx/d3dx9math.h"

class SGControllerV3;
class SGControllerQ4;
class Mesh;
class MeshGroup;
class DrawCall;

class SGMesh : public SGNode {
 public:
  // Neutral transform parts (origin, unit scale, no rotation), material 0,
  // no tracks, no geometry.
  SGMesh();
  ~SGMesh() override;

  // Sets each transform part that has a track to the track's value at the
  // time (ticks); parts without a track keep their value.
  void animate(int32_t time) override;

  // The node transform as stored while the node has no track at all;
  // otherwise composed from the current parts (composeTransform). Never
  // involves a parent.
  D3DXMATRIX worldMatrix() const;

  // inverse(Rs) x S x Rs x R x T: into the scale axes, scaled, back, rotated,
  // translated. Each quaternion becomes a matrix through its axis and angle;
  // the inverse of Rs is its conjugate's matrix. The reader builds the node
  // transform with this too, so both always agree.
  static D3DXMATRIX composeTransform(const D3DXVECTOR3& position, const D3DXVECTOR3& scale,
                                     const D3DXQUATERNION& scaleAxisRotation, const D3DXQUATERNION& rotation);

  void setPosition(const D3DXVECTOR3& value) { position = value; }
  void setScale(const D3DXVECTOR3& value) { scale = value; }
  void setScaleAxisRotation(const D3DXQUATERNION& value) { scaleAxisRotation = value; }
  void setRotation(const D3DXQUATERNION& value) { rotation = value; }
  const D3DXVECTOR3& getPosition() const { return position; }
  const D3DXVECTOR3& getScale() const { return scale; }
  const D3DXQUATERNION& getScaleAxisRotation() const { return scaleAxisRotation; }
  const D3DXQUATERNION& getRotation() const { return rotation; }

  // The node owns its tracks; setting one deletes the track it replaces.
  void setPositionTrack(SGControllerV3* track);
  void setScaleTrack(SGControllerV3* track);
  void setRotationTrack(SGControllerQ4* track);
  void setScaleAxisTrack(SGControllerQ4* track);
  SGControllerV3* getPositionTrack() const { return positionTrack; }
  SGControllerV3* getScaleTrack() const { return scaleTrack; }
  SGControllerQ4* getRotationTrack() const { return rotationTrack; }
  SGControllerQ4* getScaleAxisTrack() const { return scaleAxisTrack; }

  // The reader sets the index only from a *MATERIAL_REF that names a
  // material of the file: a node it was never set for has none of its own.
  void setMaterialIndex(int32_t index) {
    materialIndex = index;
    materialNamed = true;
  }
  int32_t getMaterialIndex() const { return materialIndex; }
  bool namesMaterial() const { return materialNamed; }
  // *WIREFRAME_COLOR, the colour the modelling tool shows the object in;
  // null when the file gives none.
  void setWireframeColour(const float* rgb);
  const float* getWireframeColour() const { return hasWireframeColour ? wireframeColour : nullptr; }

  ImportMesh& getImportMesh() { return importMesh; }
  const ImportMesh& getImportMesh() const { return importMesh; }

  // --- geometry side (Mesh, MeshGroup, device upload) ---
  // Welds importMesh into a Mesh in the 60-byte vertex format, wraps it in a
  // MeshGroup and uploads it; computeBounds gives the box of the positions
  // under the node transform.
  //
  // With faceKeys (one per face), faces are grouped by key instead: one mesh
  // per key that keeps a face, in order of the keys' first faces, each
  // drawn on its own (partKey says whose group it is).
  void buildGeometry(const uint32_t* faceKeys = nullptr);
  // The welding of buildGeometry() without face keys, done ahead on any
  // thread (it needs no device); buildGeometry() then only uploads.
  void prepareGeometry();
  void computeBounds(D3DXVECTOR3* minimum, D3DXVECTOR3* maximum) const;
  Mesh* getMesh() const { return mesh; }
  MeshGroup* getMeshGroup() const { return meshGroup; }
  // The draw call of the group's first mesh: what the scene draws. Null for
  // a node without geometry (never built, or without faces).
  DrawCall* drawCall() const;
  uint32_t partCount() const;
  DrawCall* partDrawCall(uint32_t part) const;
  uint32_t partKey(uint32_t part) const { return part < partKeys.count ? partKeys[part] : 0; }

 private:
  D3DXVECTOR3 position;
  D3DXVECTOR3 scale;
  D3DXQUATERNION scaleAxisRotation;
  D3DXQUATERNION rotation;
  ImportMesh importMesh;
  int32_t materialIndex = 0;
  bool materialNamed = false;
  bool hasWireframeColour = false;
  float wireframeColour[3] = {0.0f, 0.0f, 0.0f};
  Array<uint32_t> partKeys;  // one per part of the group, with faceKeys
  // What prepareGeometry() welded, until buildGeometry() takes it.
  bool prepared = false;
  bool preparedBuilt = false;
  Array<ImportVertex> preparedVertices;
  Array<uint16_t> preparedIndices;
  // One reference each, made by buildGeometry; null until then. Whoever
  // builds them releases them in the destructor.
  Mesh* mesh = nullptr;
  MeshGroup* meshGroup = nullptr;
  SGControllerV3* positionTrack = nullptr;
  SGControllerV3* scaleTrack = nullptr;
  SGControllerQ4* rotationTrack = nullptr;
  SGControllerQ4* scaleAxisTrack = nullptr;
};
