#include "engine/scene/SGMesh.h"

#include "engine/assets/Mesh.h"

#include "engine/scene/SGControllerQ4.h"
#include "engine/scene/SGControllerV3.h"

namespace {

// A quaternion's matrix by way of its axis and angle.
void rotationMatrix(D3DXMATRIX* out, const D3DXQUATERNION& q) {
  D3DXVECTOR3 axis;
  float angle;
  D3DXQuaternionToAxisAngle(&q, &axis, &angle);
  D3DXMatrixRotationAxis(out, &axis, angle);
}

}  // namespace

SGMesh::SGMesh()
    : position(0.0f, 0.0f, 0.0f),
      scale(1.0f, 1.0f, 1.0f),
      scaleAxisRotation(0.0f, 0.0f, 0.0f, 1.0f),
      rotation(0.0f, 0.0f, 0.0f, 1.0f) {}

SGMesh::~SGMesh() {
  delete positionTrack;
  delete scaleTrack;
  delete rotationTrack;
  delete scaleAxisTrack;
  releaseRef(mesh);
  releaseRef(meshGroup);
}

void SGMesh::animate(int32_t time) {
  if (positionTrack) position = positionTrack->sample(time);
  if (scaleTrack) scale = scaleTrack->sample(time);
  if (rotationTrack) rotation = rotationTrack->sample(time);
  if (scaleAxisTrack) scaleAxisRotation = scaleAxisTrack->sample(time);
}

D3DXMATRIX SGMesh::worldMatrix() const {
  if (!positionTrack && !scaleTrack && !rotationTrack && !scaleAxisTrack) return *getTransform();
  return composeTransform(position, scale, scaleAxisRotation, rotation);
}

D3DXMATRIX SGMesh::composeTransform(const D3DXVECTOR3& position, const D3DXVECTOR3& scale,
                                    const D3DXQUATERNION& scaleAxisRotation, const D3DXQUATERNION& rotation) {
  D3DXMATRIX scaleAxisInverse, scaling, scaleAxis, rotating, translation;
  D3DXQUATERNION conjugate;
  D3DXQuaternionConjugate(&conjugate, &scaleAxisRotation);
  rotationMatrix(&scaleAxisInverse, conjugate);
  D3DXMatrixScaling(&scaling, scale.x, scale.y, scale.z);
  rotationMatrix(&scaleAxis, scaleAxisRotation);
  rotationMatrix(&rotating, rotation);
  D3DXMatrixTranslation(&translation, position.x, position.y, position.z);

  D3DXMATRIX m;
  D3DXMatrixMultiply(&m, &scaleAxisInverse, &scaling);
  D3DXMatrixMultiply(&m, &m, &scaleAxis);
  D3DXMatrixMultiply(&m, &m, &rotating);
  D3DXMatrixMultiply(&m, &m, &translation);
  return m;
}

void SGMesh::setPositionTrack(SGControllerV3* track) {
  if (track != positionTrack) delete positionTrack;
  positionTrack = track;
}

void SGMesh::setScaleTrack(SGControllerV3* track) {
  if (track != scaleTrack) delete scaleTrack;
  scaleTrack = track;
}

void SGMesh::setRotationTrack(SGControllerQ4* track) {
  if (track != rotationTrack) delete rotationTrack;
  rotationTrack = track;
}

void SGMesh::setScaleAxisTrack(SGControllerQ4* track) {
  if (track != scaleAxisTrack) delete scaleAxisTrack;
  scaleAxisTrack = track;
}
