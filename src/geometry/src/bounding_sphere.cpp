// Bounding spheres: growth by points and spheres, and the quick sphere of a sorted point set.
#include "geometry/bounding_sphere.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// A coordinate both points share is kept exact.
Point3 midpoint(const Point3& a, const Point3& b) {
  auto mid = [](double u, double v) { return u == v ? u : v * 0.5 + u * 0.5; };
  return {mid(a.x, b.x), mid(a.y, b.y), mid(a.z, b.z)};
}

// A point with an infinite or NaN coordinate has no finite sphere around it.
bool unusable(const Point3& p) { return !std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z); }

// The finite points in lesser_y_then_x_then_z order. Large sets are first distributed into
// buckets by y (the bucket number never decreases with y), then each bucket is sorted: the same
// order as one comparison sort, in about linear time for spread-out points.
std::vector<Point3> sorted_points(const std::vector<Point3>& points) {
  double lo = INFINITY, hi = -INFINITY;
  size_t valid = 0;
  for (const Point3& p : points) {
    if (unusable(p)) continue;
    ++valid;
    lo = std::min(lo, p.y);
    hi = std::max(hi, p.y);
  }
  const double range = hi - lo;
  if (valid < 4096 || valid > UINT32_MAX || !(range > 0.0) || !std::isfinite(range)) {
    std::vector<Point3> out;
    out.reserve(valid);
    for (const Point3& p : points)
      if (!unusable(p)) out.push_back(p);
    std::sort(out.begin(), out.end(), lesser_y_then_x_then_z);
    return out;
  }
  const uint32_t buckets = static_cast<uint32_t>(valid / 4);
  const double scale = static_cast<double>(buckets) / range;
  std::vector<uint32_t> bucket(points.size());
  std::vector<size_t> start(buckets + 1);
  for (size_t i = 0; i < points.size(); ++i) {
    if (unusable(points[i])) continue;
    bucket[i] = std::min(buckets - 1, static_cast<uint32_t>((points[i].y - lo) * scale));
    ++start[bucket[i] + 1];
  }
  for (uint32_t b = 0; b < buckets; ++b) start[b + 1] += start[b];
  std::vector<Point3> placed(valid);
  std::vector<size_t> next(start.begin(), start.end() - 1);
  for (size_t i = 0; i < points.size(); ++i)
    if (!unusable(points[i])) placed[next[bucket[i]]++] = points[i];
  for (uint32_t b = 0; b < buckets; ++b) {
    Point3* first = placed.data() + start[b];
    Point3* last = placed.data() + start[b + 1];
    if (last - first > 16) {
      std::sort(first, last, lesser_y_then_x_then_z);
      continue;
    }
    for (Point3* i = first + 1; i < last; ++i) {  // most buckets hold a handful of points
      Point3 v = *i;
      Point3* j = i;
      for (; j > first && lesser_y_then_x_then_z(v, j[-1]); --j) *j = j[-1];
      *j = v;
    }
  }
  return placed;
}

// sum = a + b rounded, err what the rounding lost: sum + err == a + b exactly (no overflow).
void two_sum(double a, double b, double& sum, double& err) {
  sum = a + b;
  const double bb = sum - a;
  err = (a - (sum - bb)) + (b - bb);
}

// The squared length of d + e (each e[i] below half an ulp of d[i]), raised one ulp unless every
// step was exact. The low-order terms are summed apart, so their own rounding stays far below the
// ulp that covers the last addition.
double upper_squared_length(const double d[3], const double e[3]) {
  double h[3], low = 0.0;
  bool exact = true;
  for (int i = 0; i < 3; ++i) {
    h[i] = d[i] * d[i];
    const double lost = std::fma(d[i], d[i], -h[i]);
    low += lost + e[i] * (2.0 * d[i] + e[i]);
    // Below 2^-484 a square's lost part may underflow and read as zero.
    exact = exact && lost == 0.0 && e[i] == 0.0 && (d[i] == 0.0 || std::fabs(d[i]) >= 0x1p-484);
  }
  double sum = 0.0, t1 = 0.0, t2 = 0.0;
  two_sum(h[0], h[1], sum, t1);
  two_sum(sum, h[2], sum, t2);
  if (!std::isfinite(sum) || (exact && t1 == 0.0 && t2 == 0.0)) return sum;
  return std::nextafter(sum + (low + t1 + t2), INFINITY);
}

// At least the exact squared distance from p to c, and equal to it whenever it is a double.
double upper_squared_distance(const Point3& p, const Point3& c) {
  double d[3], e[3];
  two_sum(p.x, -c.x, d[0], e[0]);
  two_sum(p.y, -c.y, d[1], e[1]);
  two_sum(p.z, -c.z, d[2], e[2]);
  if (std::max({std::fabs(d[0]), std::fabs(d[1]), std::fabs(d[2])}) >= 0x1p-400) return upper_squared_length(d, e);
  // Squares this small underflow: work 2^600 times larger, where scaling is exact, and scale back.
  for (int i = 0; i < 3; ++i) {
    d[i] *= 0x1p600;
    e[i] *= 0x1p600;
  }
  const double big = upper_squared_length(d, e), back = std::ldexp(big, -1200);
  return std::ldexp(back, 1200) == big ? back : std::nextafter(back, INFINITY);
}

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
  // The order needs a strict ordering, which a NaN coordinate would break.
  const std::vector<Point3> sorted = sorted_points(points);
  if (sorted.empty()) return;
  s.c = midpoint(sorted.front(), sorted.back());
  s.radius_squared = squared_distance(sorted.front(), s.c);
  for (size_t i = 1; i + 1 < sorted.size(); ++i)
    if (squared_distance(sorted[i], s.c) > s.radius_squared) ExtendBoundingSphereToPt1(sorted[i], s);
  // Each growth step rounds its new centre, which can leave an earlier point a few units in the
  // last place outside: the radius takes them in.
  for (const Point3& p : sorted) s.radius_squared = std::max(s.radius_squared, squared_distance(p, s.c));
  // A rounded squared distance is within 6 ulps of the exact one, so only points within 2^-48 of
  // the largest can lie outside it; tiny distances may have lost more to underflow.
  const double near = s.radius_squared < 0x1p-900 ? 0.0 : s.radius_squared - s.radius_squared * 0x1p-48;
  for (const Point3& p : sorted)
    if (squared_distance(p, s.c) >= near) s.radius_squared = std::max(s.radius_squared, upper_squared_distance(p, s.c));
}
