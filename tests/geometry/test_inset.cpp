// Polygon inset, maximum inset and reduction: closed-form areas and distances on random convex
// polygons, collapse at the maximum, open polylines with exactly one weight per edge, spikes,
// the 3-D form against the 2-D one, and reduction against a plain index-walking reference.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "geometry/inset.h"
#include "geometry_cases.h"

namespace {

// Exact shrink rate of every edge of a convex counter-clockwise polygon (vector trigonometry,
// no angles), so that the library's single-precision angles are checked against the real thing.
std::vector<double> shrink_rates(const Polygon2& poly, const std::vector<double>& w) {
  const size_t n = poly.size();
  auto unit = [&](size_t i) {
    Vector2 e = poly[(i + 1) % n] - poly[i];
    return (1.0 / std::sqrt(squared_length(e))) * e;
  };
  // Slide of a vertex along the outgoing (own) edge: (own cos(theta) + other) / sin(theta).
  auto term = [](const Vector2& in, const Vector2& out, double own, double other) {
    double cos_theta = -dot(in, out), sin_theta = cross2(in, out);
    return (own * cos_theta + other) / sin_theta;
  };
  std::vector<double> r(n);
  for (size_t i = 0; i < n; ++i) {
    size_t prev = (i + n - 1) % n, next = (i + 1) % n;
    r[i] = term(unit(prev), unit(i), w[i], w[prev]) + term(unit(i), unit(next), w[i], w[next]);
  }
  return r;
}

double edge_length(const Polygon2& poly, size_t i) {
  return std::sqrt(squared_length(poly[(i + 1) % poly.size()] - poly[i]));
}

TEST(GeometryInset, SquareExamples) {
  Polygon2 square{{0, 0}, {10, 0}, {10, 10}, {0, 10}}, out;
  InsetPolygon(square, nullptr, 1.0, true, out, nullptr, nullptr);
  EXPECT_EQ(out, (Polygon2{{1, 1}, {9, 1}, {9, 9}, {1, 9}}));
  // A vertex in the middle of a side gives no point of its own.
  Polygon2 with_mid{{0, 0}, {5, 0}, {10, 0}, {10, 10}, {0, 10}};
  InsetPolygon(with_mid, nullptr, 1.0, true, out, nullptr, nullptr);
  EXPECT_EQ(out, (Polygon2{{1, 1}, {9, 1}, {9, 9}, {1, 9}}));
  // Weighted: the bottom edge moves three times as far.
  double w[] = {3, 1, 1, 1};
  InsetPolygon(square, w, 1.0, true, out, nullptr, nullptr);
  EXPECT_EQ(out, (Polygon2{{1, 3}, {9, 3}, {9, 9}, {1, 9}}));
  InsetPolygon({}, nullptr, 1.0, true, out, nullptr, nullptr);
  EXPECT_TRUE(out.empty());
}

TEST(GeometryInset, MaxInsetExamples) {
  Polygon2 ccw{{0, 0}, {2, 0}, {2, 2}, {0, 2}};
  EXPECT_NEAR(CalcMaxInset(ccw, nullptr, true), 1.0, 1e-6);
  Polygon2 cw(ccw.rbegin(), ccw.rend());
  EXPECT_EQ(CalcMaxInset(cw, nullptr, true), 0.0);
  EXPECT_EQ(CalcMaxInset({}, nullptr, true), 0.0);
  EXPECT_EQ(CalcMaxInset({{1, 1}}, nullptr, false), 0.0);
  EXPECT_EQ(CalcMaxInset({{1, 1}, {5, 1}}, nullptr, false), 0.0);
  // Weights 3:1 on the long sides of a 100 x 4 strip: they meet, and the short sides vanish, at 1.
  Polygon2 rect{{0, 0}, {100, 0}, {100, 4}, {0, 4}};
  double w[] = {3, 1, 1, 1};
  EXPECT_NEAR(CalcMaxInset(rect, w, true), 1.0, 1e-5);
  // A closed two-point outline folds straight back: no sine of 0 may divide.
  double two = CalcMaxInset({{0, 0}, {4, 0}}, nullptr, true);
  EXPECT_TRUE(std::isfinite(two));
  // Vertex 2 turns straight back: its interior angle is 0 up to single-precision rounding.
  double folded = CalcMaxInset({{0, 0}, {8, 0}, {8, 8}, {8, 4}, {0, 4}}, nullptr, true);
  EXPECT_TRUE(std::isfinite(folded));
  EXPECT_GE(folded, 0.0);
}

TEST(GeometryInset, RandomConvexInsetKeepsDistancesAreaAndStaysInside) {
  GeoRandom r(21);
  for (int i = 0; i < kPropertyCases; ++i) {
    const int n = r.integer(3, 12);
    Polygon2 poly = r.convex_ccw(n);
    const bool weighted = r.integer(0, 1);
    std::vector<double> w(static_cast<size_t>(n), 1.0);
    if (weighted)
      for (double& x : w) x = r.uniform(0.3, 3.0);
    const double* wp = weighted ? w.data() : nullptr;

    std::vector<double> rate = shrink_rates(poly, w);
    double exact_max = 1e300;
    for (size_t e = 0; e < poly.size(); ++e)
      if (rate[e] > 0) exact_max = std::min(exact_max, edge_length(poly, e) / rate[e]);
    double max_inset = CalcMaxInset(poly, wp, true);
    ASSERT_NEAR(max_inset, exact_max, 1e-4 * exact_max) << "case " << i;

    double d = r.uniform(0.02, 0.98) * max_inset;
    Polygon2 out;
    InsetPolygon(poly, wp, d, true, out, nullptr, nullptr);
    ASSERT_EQ(out.size(), poly.size()) << "case " << i;
    const double scale = 200.0;
    for (size_t v = 0; v < out.size(); ++v) {
      size_t prev = (v + out.size() - 1) % out.size();
      ASSERT_NEAR(left_distance(poly[v], poly[(v + 1) % poly.size()], out[v]), w[v] * d, 1e-9 * scale);
      ASSERT_NEAR(left_distance(poly[prev], poly[v], out[v]), w[prev] * d, 1e-9 * scale);
      for (size_t e = 0; e < poly.size(); ++e)
        ASSERT_GT(left_distance(poly[e], poly[(e + 1) % poly.size()], out[v]), 0.0) << "outside, case " << i;
    }
    double perimeter_term = 0, corner_term = 0;
    for (size_t e = 0; e < poly.size(); ++e) {
      perimeter_term += w[e] * edge_length(poly, e);
      corner_term += w[e] * rate[e];
    }
    double expect = signed_area(poly) - d * perimeter_term + 0.5 * d * d * corner_term;
    ASSERT_NEAR(signed_area(out), expect, 1e-8 * signed_area(poly)) << "case " << i;
  }
}

TEST(GeometryInset, AtMaxInsetOneEdgeCollapses) {
  GeoRandom r(22);
  for (int i = 0; i < kPropertyCases; ++i) {
    const int n = r.integer(3, 12);
    Polygon2 poly = r.convex_ccw(n);
    std::vector<double> w(static_cast<size_t>(n));
    for (double& x : w) x = r.uniform(0.3, 3.0);
    double m = CalcMaxInset(poly, w.data(), true);
    ASSERT_GT(m, 0.0);
    Polygon2 out;
    InsetPolygon(poly, w.data(), m, true, out, nullptr, nullptr);
    ASSERT_EQ(out.size(), poly.size());
    double longest = 0, shortest = 1e300;
    for (size_t e = 0; e < poly.size(); ++e) {
      longest = std::max(longest, edge_length(poly, e));
      Vector2 orig = poly[(e + 1) % poly.size()] - poly[e];
      // Signed length along the original direction: an edge turned inside out would be negative.
      double signed_len = dot(out[(e + 1) % out.size()] - out[e], orig) / std::sqrt(squared_length(orig));
      shortest = std::min(shortest, signed_len);
    }
    ASSERT_NEAR(shortest, 0.0, 1e-4 * longest) << "case " << i;
  }
}

TEST(GeometryInset, OpenPolylineReadsOneWeightPerEdge) {
  GeoRandom r(23);
  for (int i = 0; i < kPropertyCases; ++i) {
    const size_t n = static_cast<size_t>(r.integer(2, 10));
    Polygon2 line;
    for (size_t k = 0; k < n; ++k) line.push_back({k * 10.0 + r.uniform(-3, 3), r.uniform(-20, 20)});
    // Exactly n - 1 weights on the heap, so a read past the end shows under the sanitizers.
    std::unique_ptr<double[]> w(new double[n - 1]);
    for (size_t k = 0; k + 1 < n; ++k) w[k] = r.uniform(0.5, 2);
    double d = r.uniform(-2, 2);
    Polygon2 out;
    InsetPolygon(line, w.get(), d, false, out, nullptr, nullptr);
    ASSERT_EQ(out.size(), n);
    EXPECT_NEAR(left_distance(line[0], line[1], out[0]), w[0] * d, 1e-9);
    EXPECT_NEAR(std::fabs(dot(out[0] - line[0], line[1] - line[0])), 0.0, 1e-9);
    EXPECT_NEAR(left_distance(line[n - 2], line[n - 1], out[n - 1]), w[n - 2] * d, 1e-9);
    EXPECT_NEAR(std::fabs(dot(out[n - 1] - line[n - 1], line[n - 1] - line[n - 2])), 0.0, 1e-9);
    for (size_t k = 1; k + 1 < n; ++k) {
      EXPECT_NEAR(left_distance(line[k - 1], line[k], out[k]), w[k - 1] * d, 1e-8);
      EXPECT_NEAR(left_distance(line[k], line[k + 1], out[k]), w[k] * d, 1e-8);
    }
    double m = CalcMaxInset(line, w.get(), false);
    EXPECT_TRUE(std::isfinite(m));
  }
  // One point, open: no weight at all may be read.
  std::unique_ptr<double[]> none(new double[1]);
  Polygon2 out;
  InsetPolygon({{3, 4}}, none.get() + 1, 1.0, false, out, nullptr, nullptr);
  EXPECT_EQ(out, (Polygon2{{3, 4}}));
  EXPECT_EQ(CalcMaxInset({{3, 4}}, none.get() + 1, false), 0.0);
}

TEST(GeometryInset, SpikesGetAPairAndTheCallbackTheirIndex) {
  // Two needles: one out of the right side (tip at vertex 3), one out of the top (tip at vertex 7).
  Polygon2 poly{{0, 0}, {10, 0}, {10, 5}, {15, 5}, {10, 5}, {10, 10}, {5, 10}, {5, 15}, {5, 10}, {0, 10}};
  std::vector<int> seen;
  Polygon2 out;
  InsetPolygon(poly, nullptr, 1.0, true, out, [](int index, void* ref) { static_cast<std::vector<int>*>(ref)->push_back(index); },
               &seen);
  ASSERT_EQ(out.size(), poly.size() + 2);
  ASSERT_EQ(seen, (std::vector<int>{3, 8}));
  EXPECT_EQ(out[3], (Point2{16, 6}));
  EXPECT_EQ(out[4], (Point2{16, 4}));
  EXPECT_EQ(out[8], (Point2{4, 16}));
  EXPECT_EQ(out[9], (Point2{6, 16}));
  // Without a callback the output is the same.
  Polygon2 again;
  InsetPolygon(poly, nullptr, 1.0, true, again, nullptr, nullptr);
  EXPECT_EQ(again, out);
  // An open polyline that runs straight back wraps round its tip.
  InsetPolygon({{0, 0}, {10, 0}, {0, 0}}, nullptr, 2.0, false, out, nullptr, nullptr);
  EXPECT_EQ(out, (Polygon2{{0, 2}, {12, 2}, {12, -2}, {0, -2}}));
}

TEST(GeometryInset, ThreeDimensionalFormMatchesPlanarOne) {
  GeoRandom r(24);
  for (int i = 0; i < kPropertyCases; ++i) {
    const int n = r.integer(3, 10);
    Polygon2 flat = r.convex_ccw(n);
    bool closed = r.integer(0, 3) != 0;
    std::vector<double> w(static_cast<size_t>(n));
    for (double& x : w) x = r.uniform(0.3, 3.0);
    double d = r.uniform(-3, 3);
    Vector3 u = r.unit3(), v = normalized(cross(u, r.unit3()));
    Vector3 nrm = cross(u, v);
    Point3 o = r.point3(50);
    double lift = r.uniform(-5, 5);
    auto place = [&](const Point2& q) { return o + (q.x * u + q.y * v + lift * nrm); };
    Polygon3 poly;
    for (const Point2& q : flat) poly.push_back(place(q));
    Polygon2 out2;
    Polygon3 out3;
    InsetPolygon(flat, w.data(), d, closed, out2, nullptr, nullptr);
    InsetPolygon(poly, w.data(), d, closed, r.uniform(0.1, 10) * nrm, out3);
    ASSERT_EQ(out3.size(), out2.size());
    for (size_t k = 0; k < out2.size(); ++k) ASSERT_LT(length3(out3[k] - place(out2[k])), 1e-8) << "case " << i;
  }
  // Spike in 3-D: both moved end points of the tip.
  Polygon3 needle{{0, 0, 0}, {10, 0, 0}, {0, 0, 0}}, out;
  InsetPolygon(needle, nullptr, 2.0, false, {0, 0, 1}, out);
  EXPECT_EQ(out, (Polygon3{{0, 2, 0}, {12, 2, 0}, {12, -2, 0}, {0, -2, 0}}));
}

// Plain transcription of the reduction rules: erase in place, walk on by index.
void reference_reduce(Polygon2& poly, double dev2, double cos_limit, double long_side, double short_side) {
  for (bool removed = true; removed;) {
    removed = false;
    for (size_t i = 0; i < poly.size(); ++i) {
      if (poly.size() < 3) return;
      size_t n = poly.size();
      Point2 u = poly[(i + n - 1) % n], v = poly[i], w = poly[(i + 1) % n];
      Vector2 e1 = v - u, e2 = w - v;
      bool drop = squared_length(e1) < short_side * short_side || squared_length(e2) < short_side * short_side;
      if (!drop && squared_length(e1) > long_side * long_side && squared_length(e2) > long_side * long_side) {
        double uw2 = squared_length(w - u);
        double dist2 = uw2 == 0 ? squared_length(v - u) : std::pow(cross2(w - u, v - u), 2) / uw2;
        normalize(e1);
        normalize(e2);
        drop = dist2 < dev2 && dot(e1, e2) > cos_limit;
      }
      if (drop) {
        poly.erase(poly.begin() + static_cast<std::ptrdiff_t>(i));
        removed = true;
      }
    }
  }
}

TEST(GeometryReduce, MatchesReferenceAndLeavesNoShortEdge) {
  GeoRandom r(25);
  int reduced = 0;
  for (int i = 0; i < kPropertyCases; ++i) {
    const int n = r.integer(0, 60);
    Polygon2 poly;
    double noise = r.uniform(0, 0.5);
    for (int k = 0; k < n; ++k) {
      double a = 2 * kPi * k / std::max(n, 1) + r.uniform(-0.05, 0.05);
      double rad = 10 + r.uniform(-noise, noise);
      poly.push_back({rad * std::cos(a), rad * std::sin(a)});
      if (r.integer(0, 15) == 0) poly.push_back(poly.back());  // now and then a repeated point
    }
    double dev2 = r.uniform(0, 0.3), cos_limit = r.uniform(-1, 1), long_side = r.uniform(0, 2),
           short_side = r.integer(0, 2) ? r.uniform(0, 1.5) : 0.0;
    Polygon2 ours = poly, ref = poly;
    ReducePolygon(ours, dev2, cos_limit, long_side, short_side);
    reference_reduce(ref, dev2, cos_limit, long_side, short_side);
    ASSERT_EQ(ours, ref) << "case " << i;
    reduced += ours.size() < poly.size();
    // The result keeps input vertices in order.
    size_t at = 0;
    for (const Point2& p : ours) {
      while (at < poly.size() && !(poly[at] == p)) ++at;
      ASSERT_LT(at++, poly.size()) << "case " << i;
    }
    if (ours.size() >= 3) {
      for (size_t k = 0; k < ours.size(); ++k)
        ASSERT_GE(squared_length(ours[(k + 1) % ours.size()] - ours[k]), short_side * short_side) << "case " << i;
    }
  }
  EXPECT_GT(reduced, kPropertyCases / 2);
}

TEST(GeometryReduce, EdgeCases) {
  Polygon2 empty;
  ReducePolygon(empty, 1, 0, 0, 1);
  EXPECT_TRUE(empty.empty());
  // A triangle loses at most one vertex.
  Polygon2 tri{{0, 0}, {0.1, 0}, {5, 5}};
  ReducePolygon(tri, 1e9, -2, 0, 1);
  EXPECT_EQ(tri, (Polygon2{{0.1, 0}, {5, 5}}));
  Polygon2 two{{0, 0}, {0, 0}};
  ReducePolygon(two, 1e9, -2, 0, 1);
  EXPECT_EQ(two.size(), 2u);
  // Straight runs along the sides go; the corners stay.
  Polygon2 square{{0, 0}, {2.5, 0}, {5, 0}, {7.5, 0}, {10, 0}, {10, 5}, {10, 10}, {0, 10}, {0, 5}};
  ReducePolygon(square, 1e-6, 0.99, 0, 0);
  EXPECT_EQ(square, (Polygon2{{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
  // Edges no longer than long_side are left to the short-side rule.
  Polygon2 fine{{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}};
  ReducePolygon(fine, 1e-6, 0.99, 1.5, 0);
  EXPECT_EQ(fine.size(), 5u);
}

TEST(GeometryReduce, NeighboursOnOneSpotUseTheDistanceToIt) {
  // Vertex 1 sits between two copies of the origin, 5 away from it; every other vertex has an
  // edge too short for the straightness rule.
  Polygon2 poly{{0, 0}, {5, 0}, {0, 0}, {-1, 0.5}, {-0.5, -1}};
  Polygon2 kept = poly;
  ReducePolygon(kept, 20, -2, 4.9, 0);  // 25 is not below 20
  EXPECT_EQ(kept, poly);
  ReducePolygon(kept, 30, -2, 4.9, 0);
  ASSERT_LT(kept.size(), poly.size());
  EXPECT_EQ(kept[1], (Point2{0, 0}));
}

}  // namespace
