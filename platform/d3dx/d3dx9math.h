#pragma once
// D3DX 9 math: vectors, matrices and quaternions with D3DX's left-handed,
// row-vector meaning. A point transforms as p x M, the translation sits in
// _41.._43, and D3DXMatrixMultiply(out, a, b) is "a, then b". Only what the
// engine calls is here, each with the documented argument order and results.

#include <cmath>

#include "platform/win32/windows.h"

#define D3DX_PI ((FLOAT)3.141592654f)
#define D3DX_1BYPI ((FLOAT)0.318309886f)
#define D3DXToRadian(degree) ((degree) * (D3DX_PI / 180.0f))
#define D3DXToDegree(radian) ((radian) * (180.0f / D3DX_PI))

// The Direct3D base types; Direct3D's own headers guard them the same way, so
// either side may define them first.
#ifndef D3DVECTOR_DEFINED
struct D3DVECTOR {
  float x;
  float y;
  float z;
};
#define D3DVECTOR_DEFINED
#endif

#ifndef D3DMATRIX_DEFINED
struct D3DMATRIX {
  union {
    struct {
      float _11, _12, _13, _14;
      float _21, _22, _23, _24;
      float _31, _32, _33, _34;
      float _41, _42, _43, _44;
    };
    float m[4][4];
  };
};
#define D3DMATRIX_DEFINED
#endif

struct D3DXVECTOR2 {
  FLOAT x, y;

  D3DXVECTOR2() = default;
  D3DXVECTOR2(FLOAT fx, FLOAT fy) : x(fx), y(fy) {}
  explicit D3DXVECTOR2(const FLOAT* f) : x(f[0]), y(f[1]) {}

  operator FLOAT*() { return &x; }
  operator const FLOAT*() const { return &x; }

  D3DXVECTOR2& operator+=(const D3DXVECTOR2& v) { x += v.x; y += v.y; return *this; }
  D3DXVECTOR2& operator-=(const D3DXVECTOR2& v) { x -= v.x; y -= v.y; return *this; }
  D3DXVECTOR2& operator*=(FLOAT f) { x *= f; y *= f; return *this; }
  D3DXVECTOR2& operator/=(FLOAT f) { x /= f; y /= f; return *this; }

  D3DXVECTOR2 operator+() const { return *this; }
  D3DXVECTOR2 operator-() const { return D3DXVECTOR2(-x, -y); }
  D3DXVECTOR2 operator+(const D3DXVECTOR2& v) const { return D3DXVECTOR2(x + v.x, y + v.y); }
  D3DXVECTOR2 operator-(const D3DXVECTOR2& v) const { return D3DXVECTOR2(x - v.x, y - v.y); }
  D3DXVECTOR2 operator*(FLOAT f) const { return D3DXVECTOR2(x * f, y * f); }
  D3DXVECTOR2 operator/(FLOAT f) const { return D3DXVECTOR2(x / f, y / f); }
  friend D3DXVECTOR2 operator*(FLOAT f, const D3DXVECTOR2& v) { return D3DXVECTOR2(f * v.x, f * v.y); }

  bool operator==(const D3DXVECTOR2& v) const { return x == v.x && y == v.y; }
  bool operator!=(const D3DXVECTOR2& v) const { return !(*this == v); }
};

struct D3DXVECTOR3 : public D3DVECTOR {
  D3DXVECTOR3() = default;
  D3DXVECTOR3(FLOAT fx, FLOAT fy, FLOAT fz) { x = fx; y = fy; z = fz; }
  D3DXVECTOR3(const D3DVECTOR& v) { x = v.x; y = v.y; z = v.z; }
  explicit D3DXVECTOR3(const FLOAT* f) { x = f[0]; y = f[1]; z = f[2]; }

  operator FLOAT*() { return &x; }
  operator const FLOAT*() const { return &x; }

  D3DXVECTOR3& operator+=(const D3DXVECTOR3& v) { x += v.x; y += v.y; z += v.z; return *this; }
  D3DXVECTOR3& operator-=(const D3DXVECTOR3& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
  D3DXVECTOR3& operator*=(FLOAT f) { x *= f; y *= f; z *= f; return *this; }
  D3DXVECTOR3& operator/=(FLOAT f) { x /= f; y /= f; z /= f; return *this; }

  D3DXVECTOR3 operator+() const { return *this; }
  D3DXVECTOR3 operator-() const { return D3DXVECTOR3(-x, -y, -z); }
  D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x + v.x, y + v.y, z + v.z); }
  D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x - v.x, y - v.y, z - v.z); }
  D3DXVECTOR3 operator*(FLOAT f) const { return D3DXVECTOR3(x * f, y * f, z * f); }
  D3DXVECTOR3 operator/(FLOAT f) const { return D3DXVECTOR3(x / f, y / f, z / f); }
  friend D3DXVECTOR3 operator*(FLOAT f, const D3DXVECTOR3& v) { return D3DXVECTOR3(f * v.x, f * v.y, f * v.z); }

  bool operator==(const D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
  bool operator!=(const D3DXVECTOR3& v) const { return !(*this == v); }
};

struct D3DXVECTOR4 {
  FLOAT x, y, z, w;

  D3DXVECTOR4() = default;
  D3DXVECTOR4(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}
  D3DXVECTOR4(const D3DVECTOR& v, FLOAT fw) : x(v.x), y(v.y), z(v.z), w(fw) {}
  explicit D3DXVECTOR4(const FLOAT* f) : x(f[0]), y(f[1]), z(f[2]), w(f[3]) {}

  operator FLOAT*() { return &x; }
  operator const FLOAT*() const { return &x; }

  D3DXVECTOR4& operator+=(const D3DXVECTOR4& v) { x += v.x; y += v.y; z += v.z; w += v.w; return *this; }
  D3DXVECTOR4& operator-=(const D3DXVECTOR4& v) { x -= v.x; y -= v.y; z -= v.z; w -= v.w; return *this; }
  D3DXVECTOR4& operator*=(FLOAT f) { x *= f; y *= f; z *= f; w *= f; return *this; }
  D3DXVECTOR4& operator/=(FLOAT f) { x /= f; y /= f; z /= f; w /= f; return *this; }

  D3DXVECTOR4 operator+() const { return *this; }
  D3DXVECTOR4 operator-() const { return D3DXVECTOR4(-x, -y, -z, -w); }
  D3DXVECTOR4 operator+(const D3DXVECTOR4& v) const { return D3DXVECTOR4(x + v.x, y + v.y, z + v.z, w + v.w); }
  D3DXVECTOR4 operator-(const D3DXVECTOR4& v) const { return D3DXVECTOR4(x - v.x, y - v.y, z - v.z, w - v.w); }
  D3DXVECTOR4 operator*(FLOAT f) const { return D3DXVECTOR4(x * f, y * f, z * f, w * f); }
  D3DXVECTOR4 operator/(FLOAT f) const { return D3DXVECTOR4(x / f, y / f, z / f, w / f); }
  friend D3DXVECTOR4 operator*(FLOAT f, const D3DXVECTOR4& v) { return v * f; }

  bool operator==(const D3DXVECTOR4& v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }
  bool operator!=(const D3DXVECTOR4& v) const { return !(*this == v); }
};

struct D3DXMATRIX;
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2);

struct D3DXMATRIX : public D3DMATRIX {
  D3DXMATRIX() = default;
  D3DXMATRIX(const D3DMATRIX& mat) : D3DMATRIX(mat) {}
  explicit D3DXMATRIX(const FLOAT* f) {
    for (int i = 0; i < 16; ++i) m[i / 4][i % 4] = f[i];
  }
  D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14, FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24, FLOAT f31,
             FLOAT f32, FLOAT f33, FLOAT f34, FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44) {
    _11 = f11; _12 = f12; _13 = f13; _14 = f14;
    _21 = f21; _22 = f22; _23 = f23; _24 = f24;
    _31 = f31; _32 = f32; _33 = f33; _34 = f34;
    _41 = f41; _42 = f42; _43 = f43; _44 = f44;
  }

  FLOAT& operator()(UINT row, UINT col) { return m[row][col]; }
  FLOAT operator()(UINT row, UINT col) const { return m[row][col]; }

  operator FLOAT*() { return &_11; }
  operator const FLOAT*() const { return &_11; }

  D3DXMATRIX& operator*=(const D3DXMATRIX& mat) { D3DXMatrixMultiply(this, this, &mat); return *this; }
  D3DXMATRIX& operator+=(const D3DXMATRIX& mat) {
    for (int i = 0; i < 16; ++i) (&_11)[i] += (&mat._11)[i];
    return *this;
  }
  D3DXMATRIX& operator-=(const D3DXMATRIX& mat) {
    for (int i = 0; i < 16; ++i) (&_11)[i] -= (&mat._11)[i];
    return *this;
  }
  D3DXMATRIX& operator*=(FLOAT f) {
    for (int i = 0; i < 16; ++i) (&_11)[i] *= f;
    return *this;
  }
  D3DXMATRIX& operator/=(FLOAT f) {
    for (int i = 0; i < 16; ++i) (&_11)[i] /= f;
    return *this;
  }

  D3DXMATRIX operator+() const { return *this; }
  D3DXMATRIX operator-() const { D3DXMATRIX r = *this; r *= -1.0f; return r; }
  D3DXMATRIX operator*(const D3DXMATRIX& mat) const { D3DXMATRIX r; D3DXMatrixMultiply(&r, this, &mat); return r; }
  D3DXMATRIX operator+(const D3DXMATRIX& mat) const { D3DXMATRIX r = *this; r += mat; return r; }
  D3DXMATRIX operator-(const D3DXMATRIX& mat) const { D3DXMATRIX r = *this; r -= mat; return r; }
  D3DXMATRIX operator*(FLOAT f) const { D3DXMATRIX r = *this; r *= f; return r; }
  D3DXMATRIX operator/(FLOAT f) const { D3DXMATRIX r = *this; r /= f; return r; }
  friend D3DXMATRIX operator*(FLOAT f, const D3DXMATRIX& mat) { return mat * f; }

  bool operator==(const D3DXMATRIX& mat) const {
    for (int i = 0; i < 16; ++i)
      if ((&_11)[i] != (&mat._11)[i]) return false;
    return true;
  }
  bool operator!=(const D3DXMATRIX& mat) const { return !(*this == mat); }
};

struct D3DXQUATERNION;
D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2);

struct D3DXQUATERNION {
  FLOAT x, y, z, w;

  D3DXQUATERNION() = default;
  D3DXQUATERNION(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}
  explicit D3DXQUATERNION(const FLOAT* f) : x(f[0]), y(f[1]), z(f[2]), w(f[3]) {}

  operator FLOAT*() { return &x; }
  operator const FLOAT*() const { return &x; }

  D3DXQUATERNION& operator+=(const D3DXQUATERNION& q) { x += q.x; y += q.y; z += q.z; w += q.w; return *this; }
  D3DXQUATERNION& operator-=(const D3DXQUATERNION& q) { x -= q.x; y -= q.y; z -= q.z; w -= q.w; return *this; }
  // Same order as D3DXQuaternionMultiply: this rotation, then q.
  D3DXQUATERNION& operator*=(const D3DXQUATERNION& q) { D3DXQuaternionMultiply(this, this, &q); return *this; }
  D3DXQUATERNION& operator*=(FLOAT f) { x *= f; y *= f; z *= f; w *= f; return *this; }
  D3DXQUATERNION& operator/=(FLOAT f) { x /= f; y /= f; z /= f; w /= f; return *this; }

  D3DXQUATERNION operator+() const { return *this; }
  D3DXQUATERNION operator-() const { return D3DXQUATERNION(-x, -y, -z, -w); }
  D3DXQUATERNION operator+(const D3DXQUATERNION& q) const { return D3DXQUATERNION(x + q.x, y + q.y, z + q.z, w + q.w); }
  D3DXQUATERNION operator-(const D3DXQUATERNION& q) const { return D3DXQUATERNION(x - q.x, y - q.y, z - q.z, w - q.w); }
  D3DXQUATERNION operator*(const D3DXQUATERNION& q) const { D3DXQUATERNION r; D3DXQuaternionMultiply(&r, this, &q); return r; }
  D3DXQUATERNION operator*(FLOAT f) const { return D3DXQUATERNION(x * f, y * f, z * f, w * f); }
  D3DXQUATERNION operator/(FLOAT f) const { return D3DXQUATERNION(x / f, y / f, z / f, w / f); }
  friend D3DXQUATERNION operator*(FLOAT f, const D3DXQUATERNION& q) { return q * f; }

  bool operator==(const D3DXQUATERNION& q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
  bool operator!=(const D3DXQUATERNION& q) const { return !(*this == q); }
};

// --- vectors -----------------------------------------------------------------
inline FLOAT D3DXVec2Length(const D3DXVECTOR2* pV) { return std::sqrt(pV->x * pV->x + pV->y * pV->y); }
inline FLOAT D3DXVec3Dot(const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
  return pV1->x * pV2->x + pV1->y * pV2->y + pV1->z * pV2->z;
}
inline FLOAT D3DXVec3LengthSq(const D3DXVECTOR3* pV) { return D3DXVec3Dot(pV, pV); }
inline FLOAT D3DXVec3Length(const D3DXVECTOR3* pV) { return std::sqrt(D3DXVec3LengthSq(pV)); }
inline D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
  D3DXVECTOR3 r(pV1->y * pV2->z - pV1->z * pV2->y, pV1->z * pV2->x - pV1->x * pV2->z,
                pV1->x * pV2->y - pV1->y * pV2->x);
  *pOut = r;
  return pOut;
}
inline D3DXVECTOR3* D3DXVec3Add(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
  *pOut = *pV1 + *pV2;
  return pOut;
}
inline D3DXVECTOR3* D3DXVec3Subtract(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
  *pOut = *pV1 - *pV2;
  return pOut;
}
inline D3DXVECTOR3* D3DXVec3Scale(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, FLOAT s) {
  *pOut = *pV * s;
  return pOut;
}
inline D3DXVECTOR3* D3DXVec3Lerp(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2, FLOAT s) {
  *pOut = *pV1 + (*pV2 - *pV1) * s;
  return pOut;
}
inline FLOAT D3DXVec4Dot(const D3DXVECTOR4* pV1, const D3DXVECTOR4* pV2) {
  return pV1->x * pV2->x + pV1->y * pV2->y + pV1->z * pV2->z + pV1->w * pV2->w;
}
inline FLOAT D3DXVec4Length(const D3DXVECTOR4* pV) { return std::sqrt(D3DXVec4Dot(pV, pV)); }

// A zero-length vector normalises to the zero vector.
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV);
// (x, y, z, 1) x M, all four components.
D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
// (x, y, z, 1) x M, divided by the resulting w.
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
// (x, y, z, 0) x M: a direction, unaffected by the translation.
D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV, const D3DXMATRIX* pM);

// --- matrices ----------------------------------------------------------------
D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* pOut);
inline BOOL D3DXMatrixIsIdentity(const D3DXMATRIX* pM) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      if (pM->m[r][c] != (r == c ? 1.0f : 0.0f)) return FALSE;
  return TRUE;
}
// pOut = pM1 x pM2; pOut may be either argument.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2);
D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM);
FLOAT D3DXMatrixDeterminant(const D3DXMATRIX* pM);
// Writes the determinant when pDeterminant is not null. Returns null, leaving
// pOut untouched, when the matrix has no inverse (determinant zero or not finite).
D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* pOut, FLOAT* pDeterminant, const D3DXMATRIX* pM);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, FLOAT x, FLOAT y, FLOAT z);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, FLOAT sx, FLOAT sy, FLOAT sz);
D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* pOut, FLOAT angle);
D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* pOut, FLOAT angle);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* pOut, FLOAT angle);
// The axis is normalised first; angles are radians, clockwise looking down
// the axis toward the origin, as all left-handed D3DX rotations.
D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* pOut, const D3DXVECTOR3* pV, FLOAT angle);
D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* pOut, const D3DXQUATERNION* pQ);
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp);
// fovy: vertical field of view in radians; aspect = width / height.
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT aspect, FLOAT zn, FLOAT zf);

// --- quaternions -------------------------------------------------------------
inline D3DXQUATERNION* D3DXQuaternionIdentity(D3DXQUATERNION* pOut) {
  *pOut = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
  return pOut;
}
inline FLOAT D3DXQuaternionDot(const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2) {
  return pQ1->x * pQ2->x + pQ1->y * pQ2->y + pQ1->z * pQ2->z + pQ1->w * pQ2->w;
}
inline FLOAT D3DXQuaternionLength(const D3DXQUATERNION* pQ) { return std::sqrt(D3DXQuaternionDot(pQ, pQ)); }
inline D3DXQUATERNION* D3DXQuaternionConjugate(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ) {
  *pOut = D3DXQUATERNION(-pQ->x, -pQ->y, -pQ->z, pQ->w);
  return pOut;
}
// Unit axis (normalised first) times sin(angle / 2), w = cos(angle / 2).
D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* pOut, const D3DXVECTOR3* pV, FLOAT angle);
// Axis = (x, y, z) as stored (not normalised), angle = 2 acos(w), radians.
void D3DXQuaternionToAxisAngle(const D3DXQUATERNION* pQ, D3DXVECTOR3* pAxis, FLOAT* pAngle);
// The rotation pQ1 followed by the rotation pQ2 (the product pQ2 pQ1).
D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2);
D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ);
// Spherical interpolation along the shorter arc: t = 0 gives pQ1, t = 1 gives
// pQ2 or its negation, whichever lies in pQ1's hemisphere.
D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* pOut, const D3DXQUATERNION* pQ1, const D3DXQUATERNION* pQ2,
                                    FLOAT t);
