// Quad strips: widths of straight and mitred cross-sections, turn-backs, the measure of a skewed
// start, and cuts that keep the lengths of both sides, also over zero-length edges.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/quad_strip.h"
#include "geometry_cases.h"

namespace {

// Length of one side of a strip: the points from `first` on, every second one.
double side_length(const std::vector<Point3>& strip, size_t first) {
  double total = 0;
  for (size_t k = first; k + 2 < strip.size(); k += 2)
    total += length3(strip[k + 2] - strip[k]);
  return total;
}

bool all_finite(const std::vector<Point3>& pts) {
  for (const Point3& p : pts)
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
  return true;
}

std::vector<Point3> straight_strip(const std::vector<double>& along, double width) {
  std::vector<Point3> chain;
  for (double x : along) chain.push_back({x, 0, 0});
  std::vector<Point3> strip;
  ChainToQuadStrip(chain, std::vector<Vector3>(chain.size(), {0, 0, 1}), std::vector<double>(chain.size(), width), strip);
  return strip;
}

TEST(GeometryQuadStrip, ChainExamples) {
  std::vector<Point3> strip;
  ChainToQuadStrip({{2, 0, 5}, {9, 0, 5}}, {{0, 0, 1}, {0, 0, 1}}, {2, 2}, strip);
  EXPECT_EQ(strip, (std::vector<Point3>{{2, -1, 5}, {2, 1, 5}, {9, -1, 5}, {9, 1, 5}}));
  ChainToQuadStrip({{0, 0, 0}, {5, 0, 0}, {10, 0, 0}}, {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}, {2, 4, 2}, strip);
  ASSERT_EQ(strip.size(), 6u);
  EXPECT_EQ(strip[2], (Point3{5, -2, 0}));
  EXPECT_EQ(strip[3], (Point3{5, 2, 0}));
  // Turning straight back: two cross-sections at the turning point.
  ChainToQuadStrip({{0, 0, 0}, {10, 0, 0}, {0, 0, 0}}, {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}, {2, 2, 2}, strip);
  ASSERT_EQ(strip.size(), 8u);
  EXPECT_EQ(strip[2], (Point3{10, -1, 0}));
  EXPECT_EQ(strip[3], (Point3{10, 1, 0}));
  EXPECT_EQ(strip[4], (Point3{10, 1, 0}));
  EXPECT_EQ(strip[5], (Point3{10, -1, 0}));
  // A right-angle joint of width 2: the mitre corners.
  ChainToQuadStrip({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}}, {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}, {2, 2, 2}, strip);
  ASSERT_EQ(strip.size(), 6u);
  EXPECT_NEAR(strip[2].x, 11, 1e-12);
  EXPECT_NEAR(strip[2].y, -1, 1e-12);
  EXPECT_NEAR(strip[3].x, 9, 1e-12);
  EXPECT_NEAR(strip[3].y, 1, 1e-12);
  // Zero width: the chain point itself on both sides.
  ChainToQuadStrip({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}}, {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}, {0, 0, 0}, strip);
  EXPECT_EQ(strip[2], (Point3{10, 0, 0}));
  EXPECT_EQ(strip[3], (Point3{10, 0, 0}));
}

TEST(GeometryQuadStrip, ShortInputsLeaveTheStripAlone) {
  const std::vector<Point3> before{{1, 2, 3}};
  std::vector<Point3> strip = before;
  ChainToQuadStrip({{0, 0, 0}}, {{0, 0, 1}}, {2}, strip);
  EXPECT_EQ(strip, before);
  ChainToQuadStrip({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {{0, 0, 1}, {0, 0, 1}}, {2, 2, 2}, strip);
  EXPECT_EQ(strip, before);
  ChainToQuadStrip({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}, {2}, strip);
  EXPECT_EQ(strip, before);
  EXPECT_EQ(LongerSideOfQuad({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}), 0.0);
  std::vector<Point3> removed{{9, 9, 9}};
  std::vector<Point3> three{{0, 0, 0}, {0, 1, 0}, {5, 0, 0}};
  RemoveFromQuadStripFront(three, 1, removed, true);
  EXPECT_EQ(three.size(), 3u);
  EXPECT_TRUE(removed.empty());
}

TEST(GeometryQuadStrip, StraightStripsAreAsWideAsAsked) {
  GeoRandom r(31);
  for (int i = 0; i < kPropertyCases; ++i) {
    Vector3 dir = r.unit3();
    size_t n = static_cast<size_t>(r.integer(2, 9));
    std::vector<Point3> chain{r.point3(100)};
    std::vector<Vector3> ups;
    std::vector<double> widths;
    for (size_t k = 0; k < n; ++k) {
      if (k) chain.push_back(chain.back() + r.uniform(0.5, 20) * dir);
      Vector3 up;
      do up = r.uniform(0.2, 5) * r.unit3();
      while (squared_length(cross(normalized(up), dir)) < 0.05);
      ups.push_back(up);
      widths.push_back(r.uniform(0, 12));
    }
    std::vector<Point3> strip;
    ChainToQuadStrip(chain, ups, widths, strip);
    ASSERT_EQ(strip.size(), 2 * n);
    for (size_t k = 0; k < n; ++k) {
      const Point3 &a = strip[2 * k], &b = strip[2 * k + 1];
      Vector3 side = normalized(cross(dir, ups[k]));
      ASSERT_NEAR(length3(a - b), widths[k], 1e-9) << "case " << i;
      ASSERT_NEAR(length3(a - chain[k] - (0.5 * widths[k]) * side), 0.0, 1e-9) << "case " << i;
      ASSERT_NEAR(length3(b - chain[k] + (0.5 * widths[k]) * side), 0.0, 1e-9) << "case " << i;
    }
  }
}

TEST(GeometryQuadStrip, MitredJointsKeepHalfTheWidthFromBothEdges) {
  GeoRandom r(32);
  int mitred = 0;
  for (int i = 0; i < kPropertyCases; ++i) {
    size_t n = static_cast<size_t>(r.integer(3, 8));
    double z = r.uniform(-10, 10);
    std::vector<Point3> chain;
    for (size_t k = 0; k < n; ++k) chain.push_back({r.uniform(-100, 100), r.uniform(-100, 100), z});
    std::vector<double> widths;
    for (size_t k = 0; k < n; ++k) widths.push_back(r.uniform(0.1, 10));
    std::vector<Point3> strip;
    ChainToQuadStrip(chain, std::vector<Vector3>(n, {0, 0, r.uniform(0.1, 3)}), widths, strip);
    size_t at = 2;
    for (size_t k = 1; k + 1 < n; ++k) {
      Point2 p{chain[k].x, chain[k].y}, prev{chain[k - 1].x, chain[k - 1].y}, next{chain[k + 1].x, chain[k + 1].y};
      Vector2 d1 = p - prev, d2 = next - p;
      double c = dot(d1, d2) / std::sqrt(squared_length(d1) * squared_length(d2));
      if (c < -0.9995) {  // turned back: two cross-sections
        at += 4;
        continue;
      }
      double h = 0.5 * widths[k];
      const Point3 &plus = strip[at], &minus = strip[at + 1];
      at += 2;
      ASSERT_NEAR(plus.z, z, 1e-9);
      ASSERT_NEAR(minus.z, z, 1e-9);
      if (c > 0.9995) continue;
      ++mitred;
      // Side A is on the right: a left distance of -h from both edge lines.
      Point2 pa{plus.x, plus.y}, pb{minus.x, minus.y};
      ASSERT_NEAR(left_distance(prev, p, pa), -h, 1e-7) << "case " << i;
      ASSERT_NEAR(left_distance(p, next, pa), -h, 1e-7) << "case " << i;
      ASSERT_NEAR(left_distance(prev, p, pb), h, 1e-7) << "case " << i;
      ASSERT_NEAR(left_distance(p, next, pb), h, 1e-7) << "case " << i;
    }
    ASSERT_EQ(at + 2, strip.size());
  }
  EXPECT_GT(mitred, kPropertyCases);
}

TEST(GeometryQuadStrip, ReverseSwapsSides) {
  std::vector<Point3> s{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}};
  ReverseQuadStrip(s);
  EXPECT_EQ(s, (std::vector<Point3>{{4, 0, 0}, {3, 0, 0}, {2, 0, 0}, {1, 0, 0}, {0, 0, 0}}));
  std::vector<Point3> empty;
  ReverseQuadStrip(empty);
  EXPECT_TRUE(empty.empty());
}

TEST(GeometryQuadStrip, LongerSideMeasuresASkewedStart) {
  // Side A (y = -1) starting 3 later than side B: short by 3.
  std::vector<Point3> a_short{{3, -1, 0}, {0, 1, 0}, {10, -1, 0}, {10, 1, 0}};
  EXPECT_NEAR(LongerSideOfQuad(a_short), -3, 1e-12);
  std::vector<Point3> a_long{{0, -1, 0}, {3, 1, 0}, {10, -1, 0}, {10, 1, 0}};
  EXPECT_NEAR(LongerSideOfQuad(a_long), 3, 1e-12);
  std::vector<Point3> square{{0, -1, 0}, {0, 1, 0}, {10, -1, 0}, {10, 1, 0}};
  EXPECT_NEAR(LongerSideOfQuad(square), 0, 1e-12);
  // Degenerate first quads measure 0, never NaN.
  std::vector<Point3> flat{{5, 5, 5}, {5, 5, 5}, {5, 5, 5}, {5, 5, 5}};
  EXPECT_EQ(LongerSideOfQuad(flat), 0.0);
  std::vector<Point3> a_point{{0, -1, 0}, {0, 1, 0}, {0, -1, 0}, {10, 1, 0}};
  EXPECT_EQ(LongerSideOfQuad(a_point), 0.0);
  std::vector<Point3> b_point{{0, -1, 0}, {0, 1, 0}, {10, -1, 0}, {0, 1, 0}};
  EXPECT_TRUE(std::isfinite(LongerSideOfQuad(b_point)));
}

TEST(GeometryQuadStrip, CutExamples) {
  std::vector<Point3> strip = straight_strip({0, 10, 20, 30}, 2), removed;
  RemoveFromQuadStripFront(strip, 15, removed, false);
  EXPECT_EQ(strip, (std::vector<Point3>{{15, -1, 0}, {15, 1, 0}, {20, -1, 0}, {20, 1, 0}, {30, -1, 0}, {30, 1, 0}}));
  EXPECT_EQ(removed, (std::vector<Point3>{{0, -1, 0}, {0, 1, 0}, {10, -1, 0}, {10, 1, 0}, {15, -1, 0}, {15, 1, 0}}));
  // Too long for either side: nothing changes.
  const std::vector<Point3> whole = straight_strip({0, 10}, 2);
  strip = whole;
  RemoveFromQuadStripFront(strip, 10.5, removed, false);
  EXPECT_EQ(strip, whole);
  EXPECT_TRUE(removed.empty());
  for (double dist : {0.0, -4.0, std::nan("")}) {
    RemoveFromQuadStripFront(strip, dist, removed, true);
    EXPECT_EQ(strip, whole);
    EXPECT_TRUE(removed.empty());
  }
  // A cut on a cross-section keeps that cross-section as the new front.
  strip = straight_strip({0, 10, 20}, 2);
  RemoveFromQuadStripFront(strip, 10, removed, false);
  EXPECT_EQ(strip, (std::vector<Point3>{{10, -1, 0}, {10, 1, 0}, {20, -1, 0}, {20, 1, 0}}));
  EXPECT_EQ(removed, (std::vector<Point3>{{0, -1, 0}, {0, 1, 0}, {10, -1, 0}, {10, 1, 0}}));
  // From the back: removed starts at the old end with its sides exchanged.
  strip = straight_strip({0, 10, 20, 30}, 2);
  RemoveFromQuadStripBack(strip, 15, removed, false);
  EXPECT_EQ(strip, (std::vector<Point3>{{0, -1, 0}, {0, 1, 0}, {10, -1, 0}, {10, 1, 0}, {15, -1, 0}, {15, 1, 0}}));
  EXPECT_EQ(removed, (std::vector<Point3>{{30, 1, 0}, {30, -1, 0}, {20, 1, 0}, {20, -1, 0}, {15, 1, 0}, {15, -1, 0}}));
}

TEST(GeometryQuadStrip, CutsKeepTheLengthsOfBothSides) {
  GeoRandom r(33);
  for (int i = 0; i < kPropertyCases; ++i) {
    std::vector<double> along{0};
    size_t n = static_cast<size_t>(r.integer(2, 10));
    while (along.size() < n) along.push_back(along.back() + r.uniform(0.5, 10));
    // Now and then a repeated cross-section, i.e. zero-length edges on both sides.
    if (n > 2 && r.integer(0, 3) == 0) {
      int at = r.integer(1, static_cast<int>(n) - 1);
      double again = along[static_cast<size_t>(at)];
      along.insert(along.begin() + at, again);
    }
    std::vector<Point3> strip = straight_strip(along, r.uniform(0.5, 6));
    // Put it somewhere in space.
    Vector3 dx = r.unit3(), dy = normalized(cross(dx, r.unit3())), dz = cross(dx, dy);
    Point3 o = r.point3(100);
    for (Point3& p : strip) p = o + (p.x * dx + p.y * dy + p.z * dz);
    const std::vector<Point3> before = strip;
    const double total = along.back();
    const bool from_back = r.integer(0, 1);
    double dist = r.integer(0, 4) == 0 ? along[static_cast<size_t>(r.integer(0, static_cast<int>(along.size()) - 1))]
                                       : r.uniform(0, total);
    if (dist >= total) dist = 0.5 * total;  // the whole length is not a cut
    if (dist <= 0) continue;
    std::vector<Point3> removed;
    if (from_back)
      RemoveFromQuadStripBack(strip, dist, removed, r.integer(0, 1));
    else
      RemoveFromQuadStripFront(strip, dist, removed, r.integer(0, 1));
    ASSERT_TRUE(all_finite(strip) && all_finite(removed)) << "case " << i;
    ASSERT_FALSE(removed.empty()) << "case " << i;
    ASSERT_EQ(strip.size() % 2, 0u);
    ASSERT_EQ(removed.size() % 2, 0u);
    for (size_t side = 0; side < 2; ++side) {
      ASSERT_NEAR(side_length(removed, side), dist, 1e-9 * total + 1e-9) << "case " << i;
      ASSERT_NEAR(side_length(strip, side), total - dist, 1e-9 * total + 1e-9) << "case " << i;
    }
    // The new end cross-section is where removed ends (up to rounding: an existing
    // cross-section within an ulp of the cut is kept rather than doubled).
    auto near = [](const Point3& a, const Point3& b) { return length3(a - b) < 1e-9; };
    if (from_back) {
      ASSERT_TRUE(near(strip[strip.size() - 2], removed[removed.size() - 1])) << "case " << i;
      ASSERT_TRUE(near(strip[strip.size() - 1], removed[removed.size() - 2])) << "case " << i;
      ASSERT_EQ(strip.front(), before.front());
    } else {
      ASSERT_TRUE(near(strip[0], removed[removed.size() - 2])) << "case " << i;
      ASSERT_TRUE(near(strip[1], removed[removed.size() - 1])) << "case " << i;
      ASSERT_EQ(strip.back(), before.back());
    }
  }
}

TEST(GeometryQuadStrip, EvenUpCutEndsSquare) {
  GeoRandom r(34);
  for (int i = 0; i < kPropertyCases; ++i) {
    std::vector<double> along{0};
    while (along.size() < 6) along.push_back(along.back() + r.uniform(2, 10));
    std::vector<Point3> strip = straight_strip(along, 2);
    double skew = r.uniform(-1.5, 1.5);
    strip[r.integer(0, 1)].x += std::fabs(skew);  // one side starts later
    double dist = r.uniform(0.1, 0.6 * along.back());
    std::vector<Point3> removed;
    RemoveFromQuadStripFront(strip, dist, removed, true);
    ASSERT_FALSE(removed.empty());
    ASSERT_NEAR(strip[0].x, strip[1].x, 1e-9) << "case " << i;
    ASSERT_NEAR(strip[0].x, dist + std::fabs(skew), 1e-9) << "case " << i;
  }
}

TEST(GeometryQuadStrip, ZeroLengthEdgesNeverGiveNan) {
  // Every cross-section doubled, and a chain with a repeated point in the middle.
  std::vector<Point3> doubled{{0, -1, 0}, {0, 1, 0}, {0, -1, 0}, {0, 1, 0}, {5, -1, 0}, {5, 1, 0}, {5, -1, 0}, {5, 1, 0}};
  std::vector<Point3> chained;
  ChainToQuadStrip({{0, 0, 0}, {4, 0, 0}, {4, 0, 0}, {9, 0, 0}}, std::vector<Vector3>(4, {0, 0, 1}), {2, 2, 2, 2}, chained);
  ASSERT_EQ(chained.size(), 8u);
  EXPECT_TRUE(all_finite(chained));
  EXPECT_EQ(chained[4], (Point3{4, -1, 0}));  // the repeated point keeps the width
  EXPECT_EQ(chained[5], (Point3{4, 1, 0}));
  for (const std::vector<Point3>* base : {&doubled, &chained}) {
    for (double dist = 0.25; dist < 9.5; dist += 0.25) {
      for (bool even_up : {false, true}) {
        std::vector<Point3> strip = *base, removed;
        RemoveFromQuadStripFront(strip, dist, removed, even_up);
        ASSERT_TRUE(all_finite(strip)) << dist;
        ASSERT_TRUE(all_finite(removed)) << dist;
        strip = *base;
        RemoveFromQuadStripBack(strip, dist, removed, even_up);
        ASSERT_TRUE(all_finite(strip)) << dist;
        ASSERT_TRUE(all_finite(removed)) << dist;
      }
    }
  }
}

}  // namespace
