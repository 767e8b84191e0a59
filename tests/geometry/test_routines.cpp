// Basic routines: betweenness, box maps, sideways moves, convex containment against a winding
// number, line junctions, clipping both sides of a plane, Bezier against de Casteljau.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "geometry/routines.h"
#include "geometry_cases.h"

namespace {

TEST(GeometryRoutines, CcwBetweenTable) {
  struct Case { Vector2 a, b, c; bool expect; } cases[] = {
      {{1, 0}, {0, 1}, {-1, 0}, true}, {{1, 0}, {0, -1}, {-1, 0}, false},
      {{1, 0}, {0, -1}, {2, 0}, true},     // a and c the same way: any b
      {{0, 3}, {7, -1}, {0, 1}, true},
      {{-1, 0}, {0, -1}, {1, 0}, true},    // through the -pi seam
      {{-1, 0}, {0, 1}, {1, 0}, false},
      {{1, 0}, {1, 0}, {0, 1}, false},     // b on a is not strictly between
      {{1, 0}, {0, 1}, {0, 1}, false},     // b on c neither
      {{0, -1}, {-1, -1e-9}, {0, 1}, false}, {{0, -1}, {1, 0}, {0, 1}, true},
  };
  for (const Case& k : cases)
    EXPECT_EQ(Is_CCW_Between(k.a, k.b, k.c), k.expect)
        << "a=(" << k.a.x << "," << k.a.y << ") b=(" << k.b.x << "," << k.b.y << ") c=(" << k.c.x << "," << k.c.y << ")";
}

TEST(GeometryRoutines, CcwBetweenAgreesWithDoubleAnglesAwayFromTies) {
  GeoRandom r(11);
  for (int i = 0; i < kPropertyCases; ++i) {
    double aa = r.uniform(-kPi, kPi), ab = r.uniform(-kPi, kPi), ac = r.uniform(-kPi, kPi);
    auto rel = [](double from, double to) { return std::fmod(to - from + 4 * kPi, 2 * kPi); };
    double rb = rel(aa, ab), rc = rel(aa, ac);
    if (std::fabs(rb - rc) < 1e-4 || rb < 1e-4 || rc < 1e-4) continue;
    Vector2 a{std::cos(aa), std::sin(aa)}, b{3 * std::cos(ab), 3 * std::sin(ab)}, c{0.5 * std::cos(ac), 0.5 * std::sin(ac)};
    ASSERT_EQ(Is_CCW_Between(a, b, c), rb < rc) << i;
  }
}

TEST(GeometryRoutines, CoordTranslatorMapsBoxesBothWays) {
  CoordTranslator t{{0, 0}, {10, 20}, {100, -5}, {200, 5}};
  Point2 f = t.Forward({5, 10});
  EXPECT_DOUBLE_EQ(f.x, 150);
  EXPECT_DOUBLE_EQ(f.y, 0);
  Point2 corner = t.Forward({10, 20});
  EXPECT_DOUBLE_EQ(corner.x, 200);
  EXPECT_DOUBLE_EQ(corner.y, 5);
  GeoRandom r(12);
  for (int i = 0; i < 1000; ++i) {
    Point2 p{r.uniform(-50, 50), r.uniform(-50, 50)};
    Point2 back = t.Reverse(t.Forward(p));
    EXPECT_NEAR(back.x, p.x, 1e-9);
    EXPECT_NEAR(back.y, p.y, 1e-9);
  }
  // A zero-extent axis maps to the destination's minimum, never to NaN.
  CoordTranslator flat{{3, 0}, {3, 10}, {-7, 0}, {7, 100}};
  Point2 ff = flat.Forward({3, 5});
  EXPECT_EQ(ff.x, -7);
  EXPECT_DOUBLE_EQ(ff.y, 50);
  EXPECT_EQ(flat.Forward({99, 5}).x, -7);
  CoordTranslator flat_dst{{0, 0}, {10, 10}, {4, 1}, {8, 1}};
  Point2 rev = flat_dst.Reverse({6, 123});
  EXPECT_DOUBLE_EQ(rev.x, 5);
  EXPECT_EQ(rev.y, 0);
  EXPECT_FALSE(std::isnan(flat_dst.Reverse({6, 1}).y));
}

TEST(GeometryRoutines, MoveSegLeftExamples) {
  struct Case { Segment2 in; double dist; Segment2 expect; } cases[] = {
      {{{0, 0}, {10, 0}}, 2, {{0, 2}, {10, 2}}}, {{{0, 0}, {0, 5}}, 1, {{-1, 0}, {-1, 5}}},
      {{{0, 0}, {0, -5}}, 1, {{1, 0}, {1, -5}}}, {{{0, 0}, {3, 4}}, 5, {{-4, 3}, {-1, 7}}},
      {{{2, 2}, {2, 2}}, 5, {{2, 2}, {2, 2}}},  // zero length stays
  };
  for (const Case& k : cases) {
    Segment2 out;
    MoveSegLeft(k.in, k.dist, out);
    EXPECT_DOUBLE_EQ(out.p1.x, k.expect.p1.x);
    EXPECT_DOUBLE_EQ(out.p1.y, k.expect.p1.y);
    EXPECT_DOUBLE_EQ(out.p2.x, k.expect.p2.x);
    EXPECT_DOUBLE_EQ(out.p2.y, k.expect.p2.y);
  }
}

TEST(GeometryRoutines, MoveSegLeft3DMatches2DAroundZ) {
  GeoRandom r(13);
  for (int i = 0; i < kPropertyCases; ++i) {
    Segment2 s2{{r.uniform(-9, 9), r.uniform(-9, 9)}, {r.uniform(-9, 9), r.uniform(-9, 9)}};
    double z = r.uniform(-3, 3), dist = r.uniform(-4, 4);
    Segment3 s3{{s2.p1.x, s2.p1.y, z}, {s2.p2.x, s2.p2.y, z}}, o3;
    Segment2 o2;
    MoveSegLeft(s2, dist, o2);
    MoveSegLeft(s3, dist, o3, {0, 0, 1});
    ASSERT_NEAR(o3.p1.x, o2.p1.x, 1e-12);
    ASSERT_NEAR(o3.p1.y, o2.p1.y, 1e-12);
    ASSERT_NEAR(o3.p2.x, o2.p2.x, 1e-12);
    ASSERT_NEAR(o3.p2.y, o2.p2.y, 1e-12);
    ASSERT_EQ(o3.p1.z, z);
    ASSERT_NEAR(left_distance(s2.p1, s2.p2, o2.p1), squared_length(s2.p2 - s2.p1) > 0 ? dist : 0.0, 1e-9);
  }
}

// Winding number of the projection of p onto the polygon's plane.
int winding_number(const Polygon3& poly, const Point3& p, const Vector3& normal) {
  // Project along the normal's dominant axis.
  int drop = std::fabs(normal.x) > std::fabs(normal.y) ? (std::fabs(normal.x) > std::fabs(normal.z) ? 0 : 2)
                                                      : (std::fabs(normal.y) > std::fabs(normal.z) ? 1 : 2);
  auto flat = [drop](const Point3& q) -> Point2 {
    if (drop == 0) return {q.y, q.z};
    if (drop == 1) return {q.z, q.x};
    return {q.x, q.y};
  };
  Point2 t = flat(p);
  int wn = 0;
  for (size_t i = 0; i < poly.size(); ++i) {
    Point2 a = flat(poly[i]), b = flat(poly[(i + 1) % poly.size()]);
    double side = cross2(b - a, t - a);
    if (a.y <= t.y) {
      if (b.y > t.y && side > 0) ++wn;
    } else if (b.y <= t.y && side < 0) {
      --wn;
    }
  }
  return wn;
}

TEST(GeometryRoutines, PointInPolygonAgreesWithWindingNumber) {
  GeoRandom r(14);
  int inside = 0;
  for (int i = 0; i < kPropertyCases; ++i) {
    Polygon2 flat = r.convex_ccw(r.integer(3, 9));
    if (r.integer(0, 1)) std::reverse(flat.begin(), flat.end());  // either winding
    // Put it on a random plane.
    Vector3 u = r.unit3(), v = normalized(cross(u, r.unit3()));
    Point3 o = r.point3(50);
    Polygon3 poly;
    for (const Point2& q : flat) poly.push_back(o + (q.x * u + q.y * v));
    Vector3 normal = normalized(cross(u, v));
    Point2 q{r.uniform(-150, 150), r.uniform(-150, 150)};
    Point3 p = o + (q.x * u + q.y * v) + r.uniform(-20, 20) * normal;  // off the plane too
    // Skip points too close to an edge to call.
    double nearest = 1e300;
    for (size_t k = 0; k < flat.size(); ++k)
      nearest = std::min(nearest, std::fabs(left_distance(flat[k], flat[(k + 1) % flat.size()], q)));
    if (nearest < 1e-6) continue;
    bool expect = winding_number(poly, p - dot(normal, p - o) * normal, normal) != 0;
    inside += expect;
    ASSERT_EQ(PointInPolygon3(poly, p), expect) << "case " << i;
  }
  EXPECT_GT(inside, 100);  // both answers were exercised
}

TEST(GeometryRoutines, PointInPolygonDegenerateInputs) {
  EXPECT_FALSE(PointInPolygon3({}, {0, 0, 0}));
  EXPECT_FALSE(PointInPolygon3({{0, 0, 0}, {1, 0, 0}}, {0.5, 0, 0}));
  // Every vertex on one line: nothing is inside.
  Polygon3 line{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
  EXPECT_FALSE(PointInPolygon3(line, {1, 5, 0}));
  EXPECT_FALSE(PointInPolygon3(line, {1, -5, 0}));
  // First three collinear, the square still answers by its real winding.
  Polygon3 square{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  EXPECT_TRUE(PointInPolygon3(square, {1, 1, 0}));
  EXPECT_FALSE(PointInPolygon3(square, {5, 1, 0}));
  EXPECT_FALSE(PointInPolygon3(square, {1, -1, 0}));
  EXPECT_FALSE(PointInPolygon3(square, {-0.5, 1, 0}));
  Polygon3 cw(square.rbegin(), square.rend());
  EXPECT_TRUE(PointInPolygon3(cw, {1, 1, 7}));
  EXPECT_FALSE(PointInPolygon3(cw, {3, 3, 0}));
  EXPECT_TRUE(PointInPolygon3(square, {2, 1, 0}));  // on an edge counts as inside
}

TEST(GeometryRoutines, PointInPolygonIsExactOnLatticeTriangles) {
  GeoRandom r(16);  // lattice triangles on integer-sloped planes, against exact orientations (edges inside)
  for (int i = 0; i < 600; ++i) {
    long long v[4][2], a = r.integer(-3, 3), b = r.integer(-3, 3);
    for (auto& q : v) q[0] = r.integer(-20, 20), q[1] = r.integer(-20, 20);
    std::copy(v[0], v[0] + 2, v[3]);  // closes the triangle; either winding comes up
    auto side = [&](int k, long long x, long long y) {
      return (v[k + 1][0] - v[k][0]) * (y - v[k][1]) - (v[k + 1][1] - v[k][1]) * (x - v[k][0]);
    };
    auto lift = [&](long long x, long long y) { return Point3{double(x), double(y), double(a * x + b * y)}; };
    const long long area = side(0, v[2][0], v[2][1]);
    const Polygon3 tri{lift(v[0][0], v[0][1]), lift(v[1][0], v[1][1]), lift(v[2][0], v[2][1])};
    for (long long x = -21; x <= 21; ++x)
      for (long long y = -21; y <= 21; ++y) {
        const bool in = area && side(0, x, y) * area >= 0 && side(1, x, y) * area >= 0 && side(2, x, y) * area >= 0;
        ASSERT_EQ(PointInPolygon3(tri, lift(x, y)), in) << i << ": " << x << "," << y;
      }
  }
  EXPECT_TRUE(PointInPolygon3({{0, 0, 0}, {1, 0, 0}, {3, 1, 0}}, {3, 1, 0}));
}

TEST(GeometryRoutines, IntersectLinesMeetsOnCommonPerpendicular) {
  GeoRandom r(15);
  for (int i = 0; i < kPropertyCases; ++i) {
    Line3 a{r.point3(20), r.uniform(0.1, 5) * r.unit3()};
    Line3 b{r.point3(20), r.uniform(0.1, 5) * r.unit3()};
    Vector3 k = cross(a.v, b.v);
    if (squared_length(k) < 1e-3 * squared_length(a.v) * squared_length(b.v)) continue;
    Point3 junction = r.point3(20);
    Point3 out;
    ASSERT_TRUE(IntersectLinesAroundJunction(a, b, junction, out));
    // Closest points of the two lines.
    Vector3 w = a.p - b.p;
    double aa = dot(a.v, a.v), bb = dot(b.v, b.v), ab = dot(a.v, b.v), aw = dot(a.v, w), bw = dot(b.v, w);
    double den = aa * bb - ab * ab;
    double sa = (ab * bw - bb * aw) / den, sb = (aa * bw - ab * aw) / den;
    Point3 ca = a.p + sa * a.v, cb = b.p + sb * b.v;
    Vector3 kn = normalized(k);
    EXPECT_NEAR(dot(kn, out - junction), 0.0, 1e-7);             // in the plane through the junction
    EXPECT_LT(length3(cross(out - ca, kn)), 1e-7);               // on the common perpendicular
    EXPECT_LT(length3(cross(cb - ca, kn)), 1e-7);
  }
}

TEST(GeometryRoutines, IntersectLinesRefusesParallelLines) {
  Point3 out{9, 9, 9};
  EXPECT_FALSE(IntersectLinesAroundJunction({{0, 0, 0}, {1, 0, 0}}, {{0, 1, 0}, {-3, 0, 0}}, {0, 0, 0}, out));
  EXPECT_FALSE(IntersectLinesAroundJunction({{0, 0, 0}, {0, 0, 0}}, {{0, 1, 0}, {1, 0, 0}}, {0, 0, 0}, out));
  EXPECT_EQ(out, (Point3{9, 9, 9}));
  // Two crossing lines meet where they cross.
  ASSERT_TRUE(IntersectLinesAroundJunction({{-5, 2, 1}, {1, 0, 0}}, {{3, -4, 1}, {0, 2, 0}}, {0, 0, 1}, out));
  EXPECT_NEAR(out.x, 3, 1e-12);
  EXPECT_NEAR(out.y, 2, 1e-12);
  EXPECT_NEAR(out.z, 1, 1e-12);
}

TEST(GeometryRoutines, ClipSquareExamples) {
  Polygon3 square{{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  Polygon3 out;
  ClipToHalfPlane3(square, {{1, 0, 0}, 1}, out);  // keep x <= 1
  Polygon3 expect{{0, 0, 0}, {1, 0, 0}, {1, 2, 0}, {0, 2, 0}};
  EXPECT_EQ(out, expect);
  ClipToHalfPlane3(square, {{1, 0, 0}, -1}, out);
  EXPECT_TRUE(out.empty());
  ClipToHalfPlane3(square, {{1, 0, 0}, 5}, out);
  EXPECT_EQ(out, square);
  ClipToHalfPlane3({}, {{1, 0, 0}, 5}, out);
  EXPECT_TRUE(out.empty());
  // Vertices on the plane are kept and do not confuse the walk.
  ClipToHalfPlane3(square, {{1, 0, 0}, 2}, out);
  EXPECT_EQ(out, square);
  ClipToHalfPlane3(square, {{-1, 0, 0}, -2}, out);  // keep x >= 2: only the edge on the plane
  EXPECT_EQ(out, (Polygon3{{2, 0, 0}, {2, 2, 0}}));
  Polygon3 diamond{{1, 0, 0}, {2, 1, 0}, {1, 2, 0}, {0, 1, 0}};
  ClipToHalfPlane3(diamond, {{0, 1, 0}, 1}, out);  // plane through two vertices
  EXPECT_EQ(out, (Polygon3{{1, 0, 0}, {2, 1, 0}, {0, 1, 0}}));
}

double area3(const Polygon3& poly, const Vector3& normal) {
  Vector3 sum;
  for (size_t i = 0; i < poly.size(); ++i) {
    const Point3& p = poly[i];
    const Point3& q = poly[(i + 1) % poly.size()];
    sum = sum + cross(Vector3{p.x, p.y, p.z}, Vector3{q.x, q.y, q.z});
  }
  return 0.5 * dot(sum, normal);
}

TEST(GeometryRoutines, ClippedAreasOnBothSidesAddUp) {
  GeoRandom r(16);
  int split = 0;
  for (int i = 0; i < kPropertyCases; ++i) {
    Polygon2 flat = r.convex_ccw(r.integer(3, 10));
    Vector3 u = r.unit3(), v = normalized(cross(u, r.unit3()));
    Point3 o = r.point3(30);
    Polygon3 poly;
    for (const Point2& q : flat) poly.push_back(o + (q.x * u + q.y * v));
    Vector3 normal = cross(u, v);
    Plane3 plane{r.unit3(), 0};
    const Point3& through = poly[static_cast<size_t>(r.integer(0, static_cast<int>(poly.size()) - 1))];
    plane.d = dot(plane.n, through) + r.uniform(-40, 40);
    Polygon3 below, above;
    ClipToHalfPlane3(poly, plane, below);
    ClipToHalfPlane3(poly, {-1.0 * plane.n, -plane.d}, above);
    double whole = area3(poly, normal);
    ASSERT_NEAR(area3(below, normal) + area3(above, normal), whole, 1e-9 * whole) << "case " << i;
    for (const Point3& p : below) ASSERT_LE(dot(plane.n, p) - plane.d, 1e-9);
    for (const Point3& p : above) ASSERT_GE(dot(plane.n, p) - plane.d, -1e-9);
    split += !below.empty() && !above.empty();
  }
  EXPECT_GT(split, kPropertyCases / 4);
}

Point3 de_casteljau(Point3 p0, Point3 p1, Point3 p2, Point3 p3, double t) {
  auto mix = [t](const Point3& a, const Point3& b) {
    return Point3{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
  };
  Point3 a = mix(p0, p1), b = mix(p1, p2), c = mix(p2, p3);
  Point3 d = mix(a, b), e = mix(b, c);
  return mix(d, e);
}

TEST(GeometryRoutines, BezierAgreesWithDeCasteljau) {
  GeoRandom r(17);
  for (int i = 0; i < kPropertyCases; ++i) {
    Point3 s = r.point3(100), e = r.point3(100), c1 = r.point3(100), c2 = r.point3(100);
    bool h1 = r.integer(0, 1), h2 = r.integer(0, 1) || !h1;
    int steps = r.integer(2, 40);
    std::vector<Point3> out;
    BezierCurve(s, e, h1, h2, c1, c2, steps, 0.0, 0.0, out);
    ASSERT_EQ(out.size(), static_cast<size_t>(steps + 1));
    EXPECT_EQ(out.front(), s);
    EXPECT_EQ(out.back(), e);
    for (int k = 1; k < steps; ++k) {
      Point3 ref = de_casteljau(s, h1 ? c1 : s, h2 ? c2 : e, e, static_cast<double>(k) / steps);
      ASSERT_LT(length3(out[static_cast<size_t>(k)] - ref), 1e-4) << "case " << i << " k " << k;
    }
  }
}

TEST(GeometryRoutines, BezierEdgeCases) {
  std::vector<Point3> out{{7, 7, 7}};
  Point3 s{0, 0, 0}, e{10, 0, 0};
  BezierCurve(s, e, false, false, {5, 5, 0}, {5, 5, 0}, 16, 0, 0, out);
  EXPECT_EQ(out, (std::vector<Point3>{s, e}));
  BezierCurve(s, e, true, true, {0, 5, 0}, {10, 5, 0}, 4, 0, 0, out);
  EXPECT_EQ(out.size(), 5u);
  // Controls on the chord: a straight line needs no samples.
  BezierCurve(s, e, true, true, {3, 0, 0}, {20, 0, 0}, 8, 0, 0, out);
  EXPECT_EQ(out, (std::vector<Point3>{s, e}));
  BezierCurve(s, e, true, true, {0, 5, 0}, {10, 5, 0}, 0, 0, 0, out);  // no steps: one section
  EXPECT_EQ(out.size(), 2u);
  BezierCurve(s, e, true, true, {0, 5, 0}, {10, 5, 0}, -3, 0, 0, out);
  EXPECT_EQ(out.size(), 2u);
  // Gaps drop samples near either end only.
  BezierCurve(s, e, true, true, {0, 5, 0}, {10, 5, 0}, 10, 0, 0, out);
  ASSERT_EQ(out.size(), 11u);
  std::vector<Point3> gapped;
  BezierCurve(s, e, true, true, {0, 5, 0}, {10, 5, 0}, 10, 2.0, 3.0, gapped);
  size_t expect = 2;
  for (size_t k = 1; k + 1 < out.size(); ++k)
    if (squared_distance(out[k], s) >= 4.0 && squared_distance(out[k], e) >= 9.0) ++expect;
  EXPECT_EQ(gapped.size(), expect);
  EXPECT_LT(gapped.size(), out.size());
  for (size_t k = 1; k + 1 < gapped.size(); ++k) {
    EXPECT_GE(squared_distance(gapped[k], s), 4.0);
    EXPECT_GE(squared_distance(gapped[k], e), 9.0);
  }
}

TEST(GeometryRoutines, VectorNormalisationRules) {
  struct Case { Vector2 in, expect; } cases[] = {{{0, 0}, {0, 0}}, {{-7, 0}, {-1, 0}}, {{0, 1e-300}, {0, 1}},
      {{3, -4}, {0.6, -0.8}}, {{1e-200, 1e-200}, {1e-200, 1e-200}}};  // length underflows to 0: left alone
  for (const Case& k : cases) {
    Vector2 v = k.in;
    normalize(v);
    EXPECT_DOUBLE_EQ(v.x, k.expect.x);
    EXPECT_DOUBLE_EQ(v.y, k.expect.y);
  }
  Vector3 zero;
  normalize(zero);
  EXPECT_TRUE(is_zero(zero));
  EXPECT_TRUE(lesser_y_then_x_then_z({5, 1, 0}, {0, 2, 0}));
  EXPECT_TRUE(lesser_y_then_x_then_z({0, 1, 9}, {1, 1, 0}));
  EXPECT_TRUE(lesser_y_then_x_then_z({1, 1, 0}, {1, 1, 1}));
  EXPECT_FALSE(lesser_y_then_x_then_z({1, 1, 1}, {1, 1, 1}));
}

}  // namespace
