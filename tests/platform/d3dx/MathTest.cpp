#include <gtest/gtest.h>

#include <cmath>

#include "platform/d3dx/d3dx9math.h"

namespace {

// Matrices, quaternions and vectors, float by float (a matrix's 16 row by row).
template <typename T>
void expectNear(const T& a, const T& b, float tolerance = 1e-5f) {
  static_assert(sizeof(T) % sizeof(float) == 0);
  const float *x = reinterpret_cast<const float*>(&a), *y = reinterpret_cast<const float*>(&b);
  for (size_t i = 0; i < sizeof(T) / sizeof(float); ++i) EXPECT_NEAR(x[i], y[i], tolerance) << "float " << i;
}

D3DXMATRIX quaternionMatrix(const D3DXQUATERNION& q) {
  D3DXMATRIX m;
  D3DXMatrixRotationQuaternion(&m, &q);
  return m;
}

}  // namespace

TEST(D3DXMath, LookAtLHBuildsTheDocumentedBasis) {
  // Looking down +x with y up: view x is world -z, view z is world +x.
  D3DXVECTOR3 eye(0, 0, 0), at(1, 0, 0), up(0, 1, 0);
  D3DXMATRIX view;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  expectNear(view, D3DXMATRIX(0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1));

  // A displaced eye looking down +z: pure translation by -eye.
  eye = D3DXVECTOR3(1, 2, 3);
  at = D3DXVECTOR3(1, 2, 13);
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  expectNear(view, D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -1, -2, -3, 1));
  D3DXVECTOR3 p(1, 2, 8), q;
  EXPECT_NEAR(D3DXVec3TransformCoord(&q, &p, &view)->z, 5.0f, 1e-6f);
}

TEST(D3DXMath, PerspectiveFovLHMapsNearAndFarToZeroAndOne) {
  D3DXMATRIX proj;
  D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 2, 2.0f, 1.0f, 101.0f);
  expectNear(proj, D3DXMATRIX(0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.01f, 1, 0, 0, -1.01f, 0));
  D3DXVECTOR3 nearPoint(0, 0, 1), farPoint(3, -5, 101), out;
  EXPECT_NEAR(D3DXVec3TransformCoord(&out, &nearPoint, &proj)->z, 0.0f, 1e-6f);
  expectNear(*D3DXVec3TransformCoord(&out, &farPoint, &proj), D3DXVECTOR3(3 * 0.5f / 101, -5.0f / 101, 1), 1e-6f);
  D3DXVECTOR4 clip;
  D3DXVec3Transform(&clip, &farPoint, &proj);
  EXPECT_NEAR(clip.w, 101.0f, 1e-4f);
}

TEST(D3DXMath, InverseOfAnAffineMatrixAndSingularMatrices) {
  D3DXMATRIX s, r, t, m;
  D3DXMatrixScaling(&s, 2, 3, 4);
  D3DXMatrixRotationY(&r, 0.3f);
  D3DXMatrixTranslation(&t, 1, 2, 3);
  m = s * r * t;

  // The inverse is the one matrix whose product with m is the identity.
  D3DXMATRIX inverse;
  float det = 0;
  ASSERT_EQ(D3DXMatrixInverse(&inverse, &det, &m), &inverse);
  EXPECT_NEAR(det, 24.0f, 1e-4f);
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  expectNear(m * inverse, identity);

  // Singular (zero scale) and non-finite matrices: null, output untouched.
  D3DXMatrixScaling(&s, 1, 0, 1);
  D3DXMATRIX untouched = identity;
  EXPECT_EQ(D3DXMatrixInverse(&untouched, &det, &s), nullptr);
  EXPECT_EQ(det, 0.0f);
  EXPECT_EQ(untouched, identity);
  D3DXMatrixScaling(&s, 1, INFINITY, 1);
  EXPECT_EQ(D3DXMatrixInverse(&untouched, nullptr, &s), nullptr);
}

TEST(D3DXMath, RotationsAndTheirProductsAgreeAcrossAxisQuaternionAndMatrixForms) {
  D3DXMATRIX fromAxis, single;
  D3DXVECTOR3 y(0, 5, 0);  // not unit: the axis is normalised
  D3DXMatrixRotationAxis(&fromAxis, &y, 0.7f);
  D3DXMatrixRotationY(&single, 0.7f);
  expectNear(fromAxis, single);
  D3DXVECTOR3 x(1, 0, 0), z(0, 0, 1);
  expectNear(*D3DXMatrixRotationAxis(&fromAxis, &x, 0.4f), *D3DXMatrixRotationX(&single, 0.4f));
  expectNear(*D3DXMatrixRotationAxis(&fromAxis, &z, -1.1f), *D3DXMatrixRotationZ(&single, -1.1f));

  // Left-handed: +90 degrees about y takes +z to +x.
  D3DXMatrixRotationY(&single, D3DX_PI / 2);
  D3DXVECTOR3 out;
  expectNear(*D3DXVec3TransformNormal(&out, &z, &single), D3DXVECTOR3(1, 0, 0), 1e-6f);

  D3DXVECTOR3 axis(1, 2, -3);
  D3DXQUATERNION q;
  D3DXQuaternionRotationAxis(&q, &axis, 2.0f);
  EXPECT_NEAR(D3DXQuaternionLength(&q), 1.0f, 1e-6f);
  expectNear(quaternionMatrix(q), *D3DXMatrixRotationAxis(&fromAxis, &axis, 2.0f));

  D3DXVECTOR3 backAxis;
  float backAngle;
  D3DXQuaternionToAxisAngle(&q, &backAxis, &backAngle);
  EXPECT_NEAR(backAngle, 2.0f, 1e-5f);
  D3DXVec3Normalize(&backAxis, &backAxis);
  D3DXVec3Normalize(&axis, &axis);
  EXPECT_NEAR(D3DXVec3Dot(&backAxis, &axis), 1.0f, 1e-5f);

  // The identity has no axis; its angle is 0 even when w rounds above 1.
  D3DXQUATERNION nearlyIdentity(0, 0, 0, 1.0000001f);
  D3DXQuaternionToAxisAngle(&nearlyIdentity, &backAxis, &backAngle);
  EXPECT_EQ(backAngle, 0.0f);

  // Quaternion products concatenate like matrix products.
  D3DXVECTOR3 a1(1, 0, 0), a2(0, 1, 1);
  D3DXQUATERNION q1, q2, product;
  D3DXQuaternionRotationAxis(&q1, &a1, 0.5f);
  D3DXQuaternionRotationAxis(&q2, &a2, 1.3f);
  D3DXQuaternionMultiply(&product, &q1, &q2);  // q1 first, then q2
  expectNear(quaternionMatrix(product), quaternionMatrix(q1) * quaternionMatrix(q2));
  expectNear(q1 * q2, product);
}

TEST(D3DXMath, SlerpTakesTheShortArcAcrossHemispheres) {
  D3DXVECTOR3 y(0, 1, 0);
  D3DXQUATERNION identity(0, 0, 0, 1), quarter, out;
  D3DXQuaternionRotationAxis(&quarter, &y, D3DX_PI / 2);
  D3DXQUATERNION negated = -quarter;  // the same rotation, other hemisphere
  const float s = std::sin(D3DX_PI / 8), c = std::cos(D3DX_PI / 8);
  expectNear(*D3DXQuaternionSlerp(&out, &identity, &negated, 0.5f), D3DXQUATERNION(0, s, 0, c));
  expectNear(*D3DXQuaternionSlerp(&out, &identity, &quarter, 0.5f), D3DXQUATERNION(0, s, 0, c));
  expectNear(*D3DXQuaternionSlerp(&out, &identity, &quarter, 0.0f), identity);
  expectNear(*D3DXQuaternionSlerp(&out, &identity, &quarter, 1.0f), quarter);
  // Nearly equal inputs blend without dividing by a vanishing sine.
  expectNear(*D3DXQuaternionSlerp(&out, &quarter, &quarter, 0.3f), quarter);
}
