#include "platform/d3dx/d3dx9math.h"

#include <cmath>

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV) {
  float length = D3DXVec3Length(pV);
  if (length == 0.0f) {
    *pOut = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  } else {
    *pOut = D3DXVECTOR3(pV->x / length, pV->y / length, pV->z / length);
  }
  return pOut;
}

D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
  D3DXVECTOR4 r(pV->x * pM->_11 + pV->y * pM->_21 + pV->z * pM->_31 + pM->_41,
                pV->x * pM->_12 + pV->y * pM->_22 + pV->z * pM->_32 + pM->_42,
                pV->x * pM->_13 + pV->y * pM->_23 + pV->z * pM->_33 + pM->_43,
                pV->x * pM->_14 + pV->y * pM->_24 + pV->z * pM->_34 + pM->_44);
  *pOut = r;
  return pOut;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
  D3DXVECTOR4 r;
  D3DXVec3Transform(&r, pV, pM);
  *pOut = D3DXVECTOR3(r.x / r.w, r.y / r.w, r.z / r.w);
  return pOut;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
  D3DXVECTOR3 r(pV->x * pM->_11 + pV->y * pM->_21 + pV->z * pM->_31,
                pV->x * pM->_12 + pV->y * pM->_22 + pV->z * pM->_32,
                pV->x * pM->_13 + pV->y * pM->_23 + pV->z * pM->_33);
  *pOut = r;
  return pOut;
}

D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV, const D3DXMATRIX* pM) {
  D3DXVECTOR4 r(pV->x * pM->_11 + pV->y * pM->_21 + pV->z * pM->_31 + pV->w * pM->_41,
                pV->x * pM->_12 + pV->y * pM->_22 + pV->z * pM->_32 + pV->w * pM->_42,
                pV->x * pM->_13 + pV->y * pM->_23 + pV->z * pM->_33 + pV->w * pM->_43,
                pV->x * pM->_14 + pV->y * pM->_24 + pV->z * pM->_34 + pV->w * pM->_44);
  *pOut = r;
  return pOut;
}

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* pOut) {
  *pOut = D3DXMATRIX(1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f);
  return pOut;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2) {
  // Computed into a temporary so that pOut may alias either input.
  D3DXMATRIX r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = pM1->m[i][0] * pM2->m[0][j] + pM1->m[i][1] * pM2->m[1][j] + pM1->m[i][2] * pM2->m[2][j] +
                  pM1->m[i][3] * pM2->m[3][j];
    }
  }
  *pOut = r;
  return pOut;
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM) {
  D3DXMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = pM->m[j][i];
  *pOut = r;
  return pOut;
}

namespace {

// The cofactor expansion shared by the determinant and the inverse, in double
// so that well-conditioned affine matrices invert to within float rounding.
struct Cofactors {
  double c[4][4];  // c[i][j]: cofactor of element (i, j)
  double determinant;
};

void computeCofactors(const D3DXMATRIX* pM, Cofactors* out) {
  double a[4][4];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) a[i][j] = pM->m[i][j];

  // 2x2 minors of the lower two rows and of the upper two rows.
  double s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
  double s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
  double s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
  double s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
  double s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
  double s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
  double c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
  double c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
  double c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
  double c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
  double c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
  double c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];

  out->determinant = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;

  out->c[0][0] = a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3;
  out->c[0][1] = -(a[1][0] * c5 - a[1][2] * c2 + a[1][3] * c1);
  out->c[0][2] = a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0;
  out->c[0][3] = -(a[1][0] * c3 - a[1][1] * c1 + a[1][2] * c0);
  out->c[1][0] = -(a[0][1] * c5 - a[0][2] * c4 + a[0][3] * c3);
  out->c[1][1] = a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1;
  out->c[1][2] = -(a[0][0] * c4 - a[0][1] * c2 + a[0][3] * c0);
  out->c[1][3] = a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0;
  out->c[2][0] = a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3;
  out->c[2][1] = -(a[3][0] * s5 - a[3][2] * s2 + a[3][3] * s1);
  out->c[2][2] = a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0;
  out->c[2][3] = -(a[3][0] * s3 - a[3][1] * s1 + a[3][2] * s0);
  out->c[3][0] = -(a[2][1] * s5 - a[2][2] * s4 + a[2][3] * s3);
  out->c[3][1] = a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1;
  out->c[3][2] = -(a[2][0] * s4 - a[2][1] * s2 + a[2][3] * s0);
  out->c[3][3] = a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0;
}

}  // namespace

FLOAT D3DXMatrixDeterminant(const D3DXMATRIX* pM) {
  Cofactors cof;
  computeCofactors(pM, &cof);
  return float(cof.determinant);
}

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* pOut, FLOAT* pDeterminant, const D3DXMATRIX* pM) {
  Cofactors cof;
  computeCofactors(pM, &cof);
  float det = float(cof.determinant);
  if (pDeterminant) *pDeterminant = det;
  if (det == 0.0f || !std::isfinite(det)) return nullptr;
  double invDet = 1.0 / cof.determinant;
  D3DXMATRIX r;
  // The inverse is the transposed cofactor matrix over the determinant.
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = float(cof.c[j][i] * invDet);
  *pOut = r;
  return pOut;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, FLOAT x, FLOAT y, FLOAT z) {
  D3DXMatrixIdentity(pOut);
  pOut->_41 = x;
  pOut->_42 = y;
  pOut->_43 = z;
  return pOut;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, FLOAT sx, FLOAT sy, FLOAT sz) {
  D3DXMatrixIdentity(pOut);
  pOut->_11 = sx;
  pOut->_22 = sy;
  pOut->_33 = sz;
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* pOut, FLOAT angle) {
  float s = std::sin(angle), c = std::cos(angle);
  D3DXMatrixIdentity(pOut);
  pOut->_22 = c;
  pOut->_23 = s;
  pOut->_32 = -s;
  pOut->_33 = c;
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* pOut, FLOAT angle) {
  float s = std::sin(angle), c = std::cos(angle);
  D3DXMatrixIdentity(pOut);
  pOut->_11 = c;
  pOut->_13 = -s;
  pOut->_31 = s;
  pOut->_33 = c;
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* pOut, FLOAT angle) {
  float s = std::sin(angle), c = std::cos(angle);
  D3DXMatrixIdentity(pOut);
  pOut->_11 = c;
  pOut->_12 = s;
  pOut->_21 = -s;
  pOut->_22 = c;
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* pOut, const D3DXVECTOR3* pV, FLOAT angle) {
  D3DXVECTOR3 n;
  D3DXVec3Normalize(&n, pV);
  float s = std::sin(angle), c = std::cos(angle), t = 1.0f - c;
  // The transpose of the column-vector rotation c I + s [n]x + t n n^T, so
  // that row vectors turn the same way as the single-axis rotations above.
  D3DXMatrixIdentity(pOut);
  pOut->_11 = t * n.x * n.x + c;
  pOut->_12 = t * n.x * n.y + s * n.z;
  pOut->_13 = t * n.x * n.z - s * n.y;
  pOut->_21 = t * n.x * n.y - s * n.z;
  pOut->_22 = t * n.y * n.y + c;
  pOut->_23 = t * n.y * n.z + s * n.x;
  pOut->_31 = t * n.x * n.z + s * n.y;
  pOut->_32 = t * n.y * n.z - s * n.x;
  pOut->_33 = t * n.z * n.z + c;
  return pOut;
}

D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* pOut, const D3DXQUATERNION* pQ) {
  float x = pQ->x, y = pQ->y, z = pQ->z, w = pQ->w;
  D3DXMatrixIdentity(pOut);
  pOut->_11 = 1.0f - 2.0f * (y * y + z * z);
  pOut->_12 = 2.0f * (x * y + z * w);
  pOut->_13 = 2.0f * (x * z - y * w);
  pOut->_21 = 2.0f * (x * y - z * w);
  pOut->_22 = 1.0f - 2.0f * (x * x + z * z);
  pOut->_23 = 2.0f * (y * z + x * w);
  pOut->_31 = 2.0f * (x * z + y * w);
  pOut->_32 = 2.0f * (y * z - x * w);
  pOut->_33 = 1.0f - 2.0f * (x * x + y * y);
  return pOut;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp) {
  D3DXVECTOR3 zaxis = *pAt - *pEye;
  D3DXVec3Normalize(&zaxis, &zaxis);
  D3DXVECTOR3 xaxis;
  D3DXVec3Cross(&xaxis, pUp, &zaxis);
  D3DXVec3Normalize(&xaxis, &xaxis);
  D3DXVECTOR3 yaxis;
  D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
  *pOut = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0.0f,
                     xaxis.y, yaxis.y, zaxis.y, 0.0f,
                     xaxis.z, yaxis.z, zaxis.z, 0.0f,
                     -D3DXVec3Dot(&xaxis, pEye), -D3DXVec3Dot(&yaxis, pEye), -D3DXVec3Dot(&zaxis, pEye), 1.0f);
  return pOut;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT aspect, FLOAT zn, FLOAT zf) {
  float yScale = 1.0f / std::tan(fovy * 0.5f);
  float xScale = yScale / aspect;
  *pOut = D3DXMATRIX(xScale, 0.0f, 0.0f, 0.0f,
                     0.0f, yScale, 0.0f, 0.0f,
                     0.0f, 0.0f, zf / (zf - zn), 1.0f,
                     0.0f, 0.0f, -zn * zf / (zf - zn), 0.0f);
  return pOut;
}

D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* pOut, const D3DXVECTOR3* pV, FLOAT angle) {
  D3DXVECTOR3 n;
  D3DXVec3Normalize(&n, pV);
  float s = std::sin(angle * 0.5f);
  *pOut = D3DXQUATERNION(n.x * s, n.y * s, n.z * s, std::cos(angle * 0.5f));
  return pOut;
}

void D3DXQuaternionToAxisAngle(const D3DXQUATERNION* pQ, D3DXVECTOR3* pAxis, FLOAT* pAngle) {
  if (pAxis) *pAxis = D3DXVECTOR3(pQ->x, pQ->y, pQ->z);
  if (pAngle) {
    // A unit quaternion's w may stray past 1 by a rounding step; acos would
    // answer NaN where the angle is plainly 0 (or 2 pi).
    float w = pQ->w;
    if (w > 1.0f) w = 1.0f;
    if (w < -1.0f) w = -1.0f;
    *pAngle = 2.0f * std::acos(w);
  }
}

D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2) {
  // Hamilton product pQ2 pQ1: rotating by pQ1 first, then by pQ2.
  const D3DXQUATERNION& a = *pQ2;
  const D3DXQUATERNION& b = *pQ1;
  D3DXQUATERNION r(a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
                   a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                   a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
                   a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
  *pOut = r;
  return pOut;
}

D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ) {
  float length = D3DXQuaternionLength(pQ);
  if (length == 0.0f) {
    *pOut = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 0.0f);
  } else {
    *pOut = *pQ / length;
  }
  return pOut;
}

D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2,
                                    FLOAT t) {
  float cosine = D3DXQuaternionDot(pQ1, pQ2);
  float sign = 1.0f;
  if (cosine < 0.0f) {
    // q and -q are the same rotation: take the one on the shorter arc.
    cosine = -cosine;
    sign = -1.0f;
  }
  float w1 = 1.0f - t;
  float w2 = t;
  // Nearly parallel: the sine below vanishes, and the straight blend is exact
  // to float precision.
  if (1.0f - cosine > 0.001f) {
    float theta = std::acos(cosine);
    float sine = std::sin(theta);
    w1 = std::sin((1.0f - t) * theta) / sine;
    w2 = std::sin(t * theta) / sine;
  }
  w2 *= sign;
  *pOut = D3DXQUATERNION(w1 * pQ1->x + w2 * pQ2->x, w1 * pQ1->y + w2 * pQ2->y, w1 * pQ1->z + w2 * pQ2->z,
                         w1 * pQ1->w + w2 * pQ2->w);
  return pOut;
}
