#pragma once
// Small double-precision vector kit for modelling. Everything here works in the
// modelling package's own frame: right-handed, Z up, column-vector rotations
// (a positive angle about +Z turns +X towards +Y).

#include <cmath>

namespace stationgen {

constexpr double kPi = 3.14159265358979323846;

inline double degrees(double d) { return d * kPi / 180.0; }

struct Vec2 {
  double u = 0, v = 0;
};

struct Vec3 {
  double x = 0, y = 0, z = 0;

  Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
  Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
  Vec3 operator-() const { return {-x, -y, -z}; }
  Vec3 operator*(double s) const { return {x * s, y * s, z * s}; }
  Vec3& operator+=(const Vec3& o) {
    x += o.x;
    y += o.y;
    z += o.z;
    return *this;
  }
};

inline double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(const Vec3& a) { return std::sqrt(dot(a, a)); }
inline Vec3 normalize(const Vec3& a) {
  double l = length(a);
  return l > 0 ? a * (1.0 / l) : Vec3{};
}

// A 3x3 matrix stored as its three columns' images: m[r][c], applied to column vectors.
struct Mat3 {
  double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

  Vec3 operator*(const Vec3& v) const {
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
  }
  Mat3 operator*(const Mat3& o) const {
    Mat3 r;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j];
    return r;
  }
  Mat3 transposed() const {
    Mat3 r;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) r.m[i][j] = m[j][i];
    return r;
  }
  double determinant() const {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  }

  static Mat3 rotation(const Vec3& axis, double angle) {
    Vec3 a = normalize(axis);
    double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    Mat3 r;
    r.m[0][0] = t * a.x * a.x + c;
    r.m[0][1] = t * a.x * a.y - s * a.z;
    r.m[0][2] = t * a.x * a.z + s * a.y;
    r.m[1][0] = t * a.x * a.y + s * a.z;
    r.m[1][1] = t * a.y * a.y + c;
    r.m[1][2] = t * a.y * a.z - s * a.x;
    r.m[2][0] = t * a.x * a.z - s * a.y;
    r.m[2][1] = t * a.y * a.z + s * a.x;
    r.m[2][2] = t * a.z * a.z + c;
    return r;
  }
  static Mat3 scaling(const Vec3& s) {
    Mat3 r;
    r.m[0][0] = s.x;
    r.m[1][1] = s.y;
    r.m[2][2] = s.z;
    return r;
  }
  // A frame whose local Z runs along dir (any perpendicular completes it).
  static Mat3 alongZ(const Vec3& dir) {
    Vec3 z = normalize(dir);
    Vec3 helper = std::fabs(z.z) < 0.9 ? Vec3{0, 0, 1} : Vec3{1, 0, 0};
    Vec3 x = normalize(cross(helper, z));
    Vec3 y = cross(z, x);
    Mat3 r;
    r.m[0][0] = x.x, r.m[1][0] = x.y, r.m[2][0] = x.z;
    r.m[0][1] = y.x, r.m[1][1] = y.y, r.m[2][1] = y.z;
    r.m[0][2] = z.x, r.m[1][2] = z.y, r.m[2][2] = z.z;
    return r;
  }
};

// The axis and angle of a rotation matrix (angle in [0, pi]).
inline void axisAngle(const Mat3& r, Vec3& axis, double& angle) {
  // Through the quaternion, which stays well conditioned near half turns.
  double t = r.m[0][0] + r.m[1][1] + r.m[2][2];
  double w, x, y, z;
  if (t > 0) {
    double s = std::sqrt(t + 1.0) * 2;
    w = 0.25 * s;
    x = (r.m[2][1] - r.m[1][2]) / s;
    y = (r.m[0][2] - r.m[2][0]) / s;
    z = (r.m[1][0] - r.m[0][1]) / s;
  } else if (r.m[0][0] > r.m[1][1] && r.m[0][0] > r.m[2][2]) {
    double s = std::sqrt(1.0 + r.m[0][0] - r.m[1][1] - r.m[2][2]) * 2;
    w = (r.m[2][1] - r.m[1][2]) / s;
    x = 0.25 * s;
    y = (r.m[0][1] + r.m[1][0]) / s;
    z = (r.m[0][2] + r.m[2][0]) / s;
  } else if (r.m[1][1] > r.m[2][2]) {
    double s = std::sqrt(1.0 + r.m[1][1] - r.m[0][0] - r.m[2][2]) * 2;
    w = (r.m[0][2] - r.m[2][0]) / s;
    x = (r.m[0][1] + r.m[1][0]) / s;
    y = 0.25 * s;
    z = (r.m[1][2] + r.m[2][1]) / s;
  } else {
    double s = std::sqrt(1.0 + r.m[2][2] - r.m[0][0] - r.m[1][1]) * 2;
    w = (r.m[1][0] - r.m[0][1]) / s;
    x = (r.m[0][2] + r.m[2][0]) / s;
    y = (r.m[1][2] + r.m[2][1]) / s;
    z = 0.25 * s;
  }
  if (w < 0) w = -w, x = -x, y = -y, z = -z;
  double n = std::sqrt(x * x + y * y + z * z);
  angle = 2.0 * std::atan2(n, w);
  axis = n > 1e-12 ? Vec3{x / n, y / n, z / n} : Vec3{0, 0, 1};
}

// Rigid placement of a part inside an object (linear part, then offset).
struct Xform {
  Mat3 linear;
  Vec3 offset;

  Vec3 point(const Vec3& p) const { return linear * p + offset; }
  Xform then(const Xform& outer) const { return {outer.linear * linear, outer.linear * offset + outer.offset}; }

  static Xform at(const Vec3& p) { return {Mat3{}, p}; }
  static Xform rotate(const Vec3& axis, double angle, const Vec3& p = {}) {
    return {Mat3::rotation(axis, angle), p};
  }
  static Xform frame(const Mat3& m, const Vec3& p = {}) { return {m, p}; }
};

}  // namespace stationgen
