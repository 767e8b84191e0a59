// Bounding spheres: growth by points and spheres, and the quick sphere of a sorted point set.
#include "geometry/bounding_sphere.h"

#include <algorithm>
#include <cmath>

namespace {

// A coordinate both points share is kept exact.
Point3 midpoint(const Point3& a, const Point3& b) {
  auto mid = [](double u, double v) { return u == v ? u : v * 0.5 + u * 0.5; };
  return {mid(a.x, b.x), mid(a.y, b.y), mid(a.z, b.z)};
}

bool has_nan(const Point3& p) { return std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z); }

}  // namespace

void ExtendBoundingSphereToPt1(const Point3& p, Sphere3& s) {
  Vector3 u = normalized(p - s.c);
  Point3 far_side = s.c - std::sqrt(s.radius_squared) * u;
  s.c = midpoint(far_side, p);
  s.radius_squared = squared_distance(p, s.c);
}

void ExtendBoundingSphereToPt(const Point3& p, Sphere3& s) {
  if (s.radius_squared >= squared_distance(s.c, p)) return;
  ExtendBoundingSphereToPt1(p, s);
}

void ExtendBoundingSphereToSphere(const Sphere3& add, Sphere3& s) {
  if (add.radius_squared == 0.0) return;
  if (s.radius_squared == 0.0) {
    s = add;
    return;
  }
  double ra = std::sqrt(add.radius_squared), rs = std::sqrt(s.radius_squared);
  double d2 = squared_distance(add.c, s.c);
  if (rs - ra >= 0.0 && (rs - ra) * (rs - ra) >= d2) return;
  // The far-side construction below would cut a sphere that already holds s.
  if (ra - rs >= 0.0 && (ra - rs) * (ra - rs) >= d2) {
    s = add;
    return;
  }
  Vector3 u = normalized(add.c - s.c);
  Point3 f = s.c - rs * u;
  Point3 g = add.c + ra * u;
  s.c = midpoint(f, g);
  s.radius_squared = squared_distance(f, s.c);
}

void FastBoundingSphere(const std::vector<Point3>& points, Sphere3& s) {
  std::vector<Point3> sorted;
  sorted.reserve(points.size());
  // The sort needs a strict order, which a NaN coordinate would break.
  for (const Point3& p : points)
    if (!has_nan(p)) sorted.push_back(p);
  if (sorted.empty()) return;
  std::sort(sorted.begin(), sorted.end(), lesser_y_then_x_then_z);
  s.c = midpoint(sorted.front(), sorted.back());
  s.radius_squared = squared_distance(sorted.front(), s.c);
  for (size_t i = 1; i + 1 < sorted.size(); ++i)
    if (squared_distance(sorted[i], s.c) > s.radius_squared) ExtendBoundingSphereToPt1(sorted[i], s);
}
