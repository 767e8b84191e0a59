// Value types of the geometry library: double-precision 2-D and 3-D points, vectors, segments,
// polygons, lines, planes and spheres, with the small vector algebra every routine shares.
#pragma once
#include <cmath>
#include <vector>

extern double PI2;  // 2 pi, set before main
inline constexpr double kPi = 3.141592653589793;

struct Vector2 {
  double x = 0.0, y = 0.0;
};
struct Point2 {
  double x = 0.0, y = 0.0;
};
struct Segment2 {
  Point2 p1, p2;  // start, end
};
using Polygon2 = std::vector<Point2>;  // a closed polygon does not repeat its first point

struct Vector3 {
  double x = 0.0, y = 0.0, z = 0.0;
};
struct Point3 {
  double x = 0.0, y = 0.0, z = 0.0;
};
struct Segment3 {
  Point3 p1, p2;  // start, end
};
using Polygon3 = std::vector<Point3>;

struct Line3 {
  Point3 p;    // a point on the line
  Vector3 v;   // its direction, any length
};
// n.p = d; p is on the positive side when n.p > d.
struct Plane3 {
  Vector3 n;
  double d = 0.0;
};
struct Sphere3 {
  Point3 c;
  double radius_squared = 0.0;  // 0: an empty sphere where growth routines are concerned
};

// Maps the source box onto the destination box, axis by axis.
struct CoordTranslator {
  Point2 src_min, src_max, dst_min, dst_max;
  Point2 Forward(Point2 p) const;
  Point2 Reverse(Point2 p) const;
};

// ---- 2-D algebra
inline Vector2 operator-(const Point2& a, const Point2& b) { return {a.x - b.x, a.y - b.y}; }
inline Point2 operator+(const Point2& p, const Vector2& v) { return {p.x + v.x, p.y + v.y}; }
inline Point2 operator-(const Point2& p, const Vector2& v) { return {p.x - v.x, p.y - v.y}; }
inline Vector2 operator-(const Vector2& a, const Vector2& b) { return {a.x - b.x, a.y - b.y}; }
inline Vector2 operator*(double s, const Vector2& v) { return {s * v.x, s * v.y}; }
inline double dot(const Vector2& a, const Vector2& b) { return a.x * b.x + a.y * b.y; }
inline double squared_length(const Vector2& v) { return v.x * v.x + v.y * v.y; }
inline bool operator==(const Point2& a, const Point2& b) { return a.x == b.x && a.y == b.y; }

// Axis rule: an axis-aligned vector becomes a unit one without a square root; (0, 0) stays.
inline void normalize(Vector2& v) {
  if (v.x != 0.0 && v.y != 0.0) {
    double len = std::sqrt(v.x * v.x + v.y * v.y);
    if (len != 0.0) {
      v.x /= len;
      v.y /= len;
    }
  } else if (v.x != 0.0) {
    v.x = std::copysign(1.0, v.x);
  } else if (v.y != 0.0) {
    v.y = std::copysign(1.0, v.y);
  }
}

// ---- 3-D algebra
inline Vector3 operator-(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Point3 operator+(const Point3& p, const Vector3& v) { return {p.x + v.x, p.y + v.y, p.z + v.z}; }
inline Point3 operator-(const Point3& p, const Vector3& v) { return {p.x - v.x, p.y - v.y, p.z - v.z}; }
inline Vector3 operator+(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 operator-(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 operator*(double s, const Vector3& v) { return {s * v.x, s * v.y, s * v.z}; }
inline double dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline double dot(const Vector3& a, const Point3& p) { return a.x * p.x + a.y * p.y + a.z * p.z; }
inline Vector3 cross(const Vector3& a, const Vector3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double squared_length(const Vector3& v) { return v.x * v.x + v.y * v.y + v.z * v.z; }
inline double squared_distance(const Point3& a, const Point3& b) { return squared_length(a - b); }
inline bool operator==(const Point3& a, const Point3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool operator==(const Vector3& a, const Vector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool is_zero(const Vector3& v) { return v.x == 0.0 && v.y == 0.0 && v.z == 0.0; }

// Divides by the length; a zero vector is left as it is.
inline void normalize(Vector3& v) {
  double len = std::sqrt(squared_length(v));
  if (len != 0.0) {
    v.x /= len;
    v.y /= len;
    v.z /= len;
  }
}
inline Vector3 normalized(Vector3 v) {
  normalize(v);
  return v;
}

// Strict order for sorting: y, then x, then z.
inline bool lesser_y_then_x_then_z(const Point3& a, const Point3& b) {
  if (a.y != b.y) return a.y < b.y;
  if (a.x != b.x) return a.x < b.x;
  return a.z < b.z;
}
