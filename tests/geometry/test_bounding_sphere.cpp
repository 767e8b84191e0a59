// Bounding spheres: growth by points and spheres, and the quick sphere of point sets of several
// shapes against the exact minimum sphere (an iterative Welzl reference).
#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "geometry/bounding_sphere.h"
#include "geometry_cases.h"

namespace {

struct Ball {
  Point3 c;
  double r = -1;  // negative: empty
  bool holds(const Point3& p) const { return r >= 0 && length3(p - c) <= r * (1 + 1e-10) + 1e-10; }
};

// Every double is a rational, so the distance is compared with no rounding at all.
bool holds_exactly(const Sphere3& s, const Point3& p) {
  mpq_class d2 = 0;
  for (auto [a, b] : {std::pair{p.x, s.c.x}, {p.y, s.c.y}, {p.z, s.c.z}}) d2 += (mpq_class(a) - b) * (mpq_class(a) - b);
  return d2 <= s.radius_squared;
}

Ball ball2(const Point3& a, const Point3& b) {
  Point3 c{(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
  return {c, length3(a - c)};
}

Ball ball3(const Point3& a, const Point3& b, const Point3& c) {
  Vector3 ab = b - a, ac = c - a, n = cross(ab, ac);
  double n2 = squared_length(n);
  if (n2 == 0) return ball2(a, b);
  Vector3 off = (1.0 / (2 * n2)) * (squared_length(ac) * cross(n, ab) + squared_length(ab) * cross(ac, n));
  return {a + off, length3(off)};
}

Ball ball4(const Point3& a, const Point3& b, const Point3& c, const Point3& d) {
  Vector3 u = b - a, v = c - a, w = d - a;
  double den = 2 * dot(u, cross(v, w));
  if (den == 0) return ball3(a, b, c);
  Vector3 off = (1.0 / den) * (squared_length(u) * cross(v, w) + squared_length(v) * cross(w, u) + squared_length(w) * cross(u, v));
  return {a + off, length3(off)};
}

// Smallest enclosing sphere, by the nested-loop form of Welzl's algorithm (no recursion).
Ball minimum_sphere(const std::vector<Point3>& p) {
  Ball b;
  for (size_t i = 0; i < p.size(); ++i) {
    if (b.holds(p[i])) continue;
    b = {p[i], 0};
    for (size_t j = 0; j < i; ++j) {
      if (b.holds(p[j])) continue;
      b = ball2(p[i], p[j]);
      for (size_t k = 0; k < j; ++k) {
        if (b.holds(p[k])) continue;
        b = ball3(p[i], p[j], p[k]);
        for (size_t l = 0; l < k; ++l)
          if (!b.holds(p[l])) b = ball4(p[i], p[j], p[k], p[l]);
      }
    }
  }
  return b;
}

std::vector<Point3> point_set(GeoRandom& r, int shape, size_t n) {
  std::vector<Point3> pts;
  Point3 centre = r.point3(1000);
  double scale = std::pow(10.0, r.uniform(-3, 3));
  for (size_t k = 0; k < n; ++k) {
    switch (shape) {
      case 0:  // uniform in a box
        pts.push_back(centre + scale * (r.point3(1) - Point3{}));
        break;
      case 1: {  // a few tight clusters
        GeoRandom seeded(static_cast<uint64_t>(k % 3) + 977);
        Point3 hub = centre + scale * (seeded.point3(1) - Point3{});
        pts.push_back(hub + (0.01 * scale) * (r.point3(1) - Point3{}));
        break;
      }
      case 3:  // small integers: the points are exact, only the centre is rounded
        pts.push_back({std::round(r.uniform(-9, 9)), std::round(r.uniform(-9, 9)), std::round(r.uniform(-9, 9))});
        break;
      default:  // on a spherical shell
        pts.push_back(centre + scale * r.unit3());
    }
  }
  return pts;
}

TEST(GeometrySphere, Examples) {
  Sphere3 s{{0, 0, 0}, 1};
  ExtendBoundingSphereToPt({3, 0, 0}, s);
  EXPECT_EQ(s.c, (Point3{1, 0, 0}));
  EXPECT_EQ(s.radius_squared, 4);
  ExtendBoundingSphereToPt({-1, 0, 0}, s);  // on the sphere: no change
  EXPECT_EQ(s.c, (Point3{1, 0, 0}));
  ExtendBoundingSphereToPt({1, 1, 1}, s);  // inside
  EXPECT_EQ(s.radius_squared, 4);

  Sphere3 keep{{7, 7, 7}, 9};
  FastBoundingSphere({}, keep);
  EXPECT_EQ(keep.c, (Point3{7, 7, 7}));
  EXPECT_EQ(keep.radius_squared, 9);
  FastBoundingSphere({{1, 2, 3}}, keep);
  EXPECT_EQ(keep.c, (Point3{1, 2, 3}));
  EXPECT_EQ(keep.radius_squared, 0);
  FastBoundingSphere({{0, 0, 4}, {2, 6, 4}}, keep);
  EXPECT_EQ(keep.c, (Point3{1, 3, 4}));
  EXPECT_DOUBLE_EQ(keep.radius_squared, 10);
  // Points that are not finite cannot be enclosed; the others still are.
  double nan = std::nan(""), inf = INFINITY;
  FastBoundingSphere({{nan, 0, 0}, {0, 0, 0}, {0, nan, 0}, {inf, 9, 0}, {0, 2, 0}, {1, 1, nan}, {0, 1, -inf}}, keep);
  EXPECT_EQ(keep.c, (Point3{0, 1, 0}));
  EXPECT_EQ(keep.radius_squared, 1);
  const std::vector<Point3> pts{{2, -5, 9}, {1, 0, 7}, {-2, -1, 0}, {-1, -6, 2}};  // rounded growth, rounded distance
  FastBoundingSphere(pts, keep);
  for (const Point3& p : pts) EXPECT_TRUE(holds_exactly(keep, p));
}

TEST(GeometrySphere, SphereGrowthEdgeCases) {
  Sphere3 empty{{5, 5, 5}, 0}, add{{1, 2, 3}, 4};
  ExtendBoundingSphereToSphere(add, empty);
  EXPECT_EQ(empty.c, add.c);
  EXPECT_EQ(empty.radius_squared, 4);
  Sphere3 s{{0, 0, 0}, 1};
  ExtendBoundingSphereToSphere({{50, 0, 0}, 0}, s);  // an empty sphere adds nothing
  EXPECT_EQ(s.c, (Point3{0, 0, 0}));
  EXPECT_EQ(s.radius_squared, 1);
  ExtendBoundingSphereToSphere({{0.5, 0, 0}, 0.25}, s);  // already inside
  EXPECT_EQ(s.radius_squared, 1);
  // A sphere that holds s: s becomes it.
  ExtendBoundingSphereToSphere({{0.5, 0, 0}, 9}, s);
  EXPECT_EQ(s.c, (Point3{0.5, 0, 0}));
  EXPECT_EQ(s.radius_squared, 9);
  Sphere3 same{{0, 0, 0}, 4};
  ExtendBoundingSphereToSphere({{0, 0, 0}, 16}, same);  // concentric
  EXPECT_EQ(same.radius_squared, 16);
  // Side by side: the sphere over both.
  Sphere3 left{{-3, 0, 0}, 1};
  ExtendBoundingSphereToSphere({{3, 0, 0}, 1}, left);
  EXPECT_EQ(left.c, (Point3{0, 0, 0}));
  EXPECT_DOUBLE_EQ(left.radius_squared, 16);
}

TEST(GeometrySphere, GrowthByPointsAndSpheresEnclosesBoth) {
  GeoRandom r(41);
  for (int i = 0; i < kPropertyCases; ++i) {
    Sphere3 s{r.point3(50), std::pow(r.uniform(0.01, 30), 2)};
    Point3 p = r.point3(80);
    Sphere3 grown = s;
    ExtendBoundingSphereToPt(p, grown);
    double rs = std::sqrt(s.radius_squared), rg = std::sqrt(grown.radius_squared), dp = length3(p - s.c);
    double tol = 1e-9 * (rs + dp);
    ASSERT_LE(length3(p - grown.c), rg + tol);
    ASSERT_LE(length3(s.c - grown.c) + rs, rg + tol);
    ASSERT_NEAR(rg, std::max(rs, 0.5 * (rs + dp)), tol) << "not the smallest, case " << i;

    Sphere3 add{r.point3(50), std::pow(r.uniform(0.01, 60), 2)};
    if (r.integer(0, 4) == 0) add.c = s.c + r.uniform(0, 0.5) * (r.point3(1) - Point3{});  // nested cases
    Sphere3 both = s;
    ExtendBoundingSphereToSphere(add, both);
    double ra = std::sqrt(add.radius_squared), rb = std::sqrt(both.radius_squared);
    double tol2 = 1e-9 * (rs + ra + length3(add.c - s.c));
    ASSERT_LE(length3(add.c - both.c) + ra, rb + tol2) << "case " << i;
    ASSERT_LE(length3(s.c - both.c) + rs, rb + tol2) << "case " << i;
    double d = length3(add.c - s.c);
    ASSERT_NEAR(rb, std::max({rs, ra, 0.5 * (rs + ra + d)}), tol2) << "not the smallest, case " << i;
  }
}

TEST(GeometrySphere, FastSphereHoldsEveryPointAndIsNoSmallerThanTheMinimum) {
  GeoRandom r(42);
  for (int i = 0; i < kPropertyCases; ++i) {
    int shape = i % 4;
    std::vector<Point3> pts = point_set(r, shape, static_cast<size_t>(r.integer(1, 40)));
    Sphere3 s{{123, 456, 789}, 77};
    FastBoundingSphere(pts, s);
    for (const Point3& p : pts) ASSERT_TRUE(holds_exactly(s, p)) << "case " << i;
    ASSERT_GE(std::sqrt(s.radius_squared), minimum_sphere(pts).r * (1 - 1e-9)) << "case " << i;
  }
}

// The quick sphere as plainly stated: sort by y, x, z; the sphere over the first and last point;
// grow by every point in between that lies outside.
Sphere3 plain_fast_sphere(std::vector<Point3> pts) {
  std::sort(pts.begin(), pts.end(), lesser_y_then_x_then_z);
  auto mid = [](double u, double v) { return u == v ? u : v * 0.5 + u * 0.5; };
  Sphere3 s{{mid(pts.front().x, pts.back().x), mid(pts.front().y, pts.back().y), mid(pts.front().z, pts.back().z)}, 0};
  s.radius_squared = squared_distance(pts.front(), s.c);
  for (size_t i = 1; i + 1 < pts.size(); ++i)
    if (squared_distance(pts[i], s.c) > s.radius_squared) ExtendBoundingSphereToPt1(pts[i], s);
  for (const Point3& p : pts) s.radius_squared = std::max(s.radius_squared, squared_distance(p, s.c));
  return s;
}

TEST(GeometrySphere, LargeSetsGiveTheSphereOfTheSortedOrderWhateverTheInputOrder) {
  GeoRandom r(43);
  for (int set = 0; set < 12; ++set) {
    size_t n = static_cast<size_t>(r.integer(4000, 60000));
    std::vector<Point3> pts = point_set(r, set % 3, n);
    if (set % 4 == 1)  // many equal y values, with both zeros among them
      for (Point3& p : pts) p.y = std::round(p.y / 100) * 100 * (r.integer(0, 1) ? 1 : -1) + 0.0 * p.x;
    if (set % 4 == 2) {  // a few far outliers pack the rest into few buckets
      pts[3].y = 1e12;
      pts[7].y = -1e12;
    }
    if (set % 4 == 3)
      for (size_t k = 0; k < pts.size(); k += 7) pts[k].y = k % 2 ? -0.0 : 0.0;
    Sphere3 expect = plain_fast_sphere(pts);
    for (int shuffle = 0; shuffle < 3; ++shuffle) {
      std::shuffle(pts.begin(), pts.end(), r.rng);
      Sphere3 got;
      FastBoundingSphere(pts, got);
      ASSERT_EQ(got.c, expect.c) << "set " << set;
      ASSERT_NEAR(got.radius_squared, expect.radius_squared, 0x1p-50 * expect.radius_squared);  // within rounding
    }
  }
}

}  // namespace
