// Seeded generators and independent reference measures shared by the geometry tests.
#pragma once
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "geometry/types.h"

inline constexpr int kPropertyCases = 10000;

struct GeoRandom {
  std::mt19937_64 rng;
  explicit GeoRandom(uint64_t seed) : rng(seed) {}
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
  int integer(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
  Point3 point3(double extent) { return {uniform(-extent, extent), uniform(-extent, extent), uniform(-extent, extent)}; }
  Vector3 unit3() {
    for (;;) {
      Vector3 v{uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)};
      double l2 = squared_length(v);
      if (l2 > 0.01 && l2 <= 1.0) return (1.0 / std::sqrt(l2)) * v;
    }
  }
  // A convex counter-clockwise polygon on a rotated ellipse, vertices at least min_gap radians apart.
  Polygon2 convex_ccw(int n, double min_gap = 0.15) {
    std::vector<double> angles;
    while (static_cast<int>(angles.size()) < n) {
      double a = uniform(0.0, 2 * kPi);
      bool far = true;
      for (double b : angles) {
        double gap = std::fabs(a - b);
        if (std::min(gap, 2 * kPi - gap) < min_gap) far = false;
      }
      if (far) angles.push_back(a);
    }
    std::sort(angles.begin(), angles.end());
    double rx = uniform(2, 50), ry = uniform(2, 50), rot = uniform(0, 2 * kPi);
    double cx = uniform(-100, 100), cy = uniform(-100, 100);
    Polygon2 poly;
    for (double a : angles) {
      double x = rx * std::cos(a), y = ry * std::sin(a);
      poly.push_back({cx + x * std::cos(rot) - y * std::sin(rot), cy + x * std::sin(rot) + y * std::cos(rot)});
    }
    return poly;
  }
};

inline double cross2(const Vector2& a, const Vector2& b) { return a.x * b.y - a.y * b.x; }

inline double signed_area(const Polygon2& poly) {
  double a = 0.0;
  for (size_t i = 0; i < poly.size(); ++i) {
    const Point2& p = poly[i];
    const Point2& q = poly[(i + 1) % poly.size()];
    a += p.x * q.y - q.x * p.y;
  }
  return 0.5 * a;
}

// Signed distance of p from the line a->b, positive on its left.
inline double left_distance(const Point2& a, const Point2& b, const Point2& p) {
  Vector2 d = b - a;
  return cross2(d, p - a) / std::sqrt(squared_length(d));
}

inline double length3(const Vector3& v) { return std::sqrt(squared_length(v)); }
