// Basic geometry routines shared by the inset, strip and sphere units: box-to-box maps,
// betweenness of directions, sideways moves, convex containment, line junctions, clipping, Bezier.
#include "geometry/routines.h"

#include <algorithm>
#include <cmath>

double PI2 = 6.283185307179586;

namespace {

// One axis of a box-to-box map; an axis of zero extent maps everything to the destination's minimum.
double map_axis(double v, double src_min, double src_max, double dst_min, double dst_max) {
  double extent = src_max - src_min;
  if (extent == 0.0) return dst_min;
  return dst_min + (v - src_min) * (dst_max - dst_min) / extent;
}

// v times the power of two that brings its largest component into [0.5, 1); exact, unlike a
// division by the length. Zero and non-finite vectors stay as they are.
Vector3 unit_exponent(const Vector3& v) {
  double largest = std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
  if (largest == 0.0 || !std::isfinite(largest)) return v;
  int exponent = 0;
  std::frexp(largest, &exponent);
  return {std::ldexp(v.x, -exponent), std::ldexp(v.y, -exponent), std::ldexp(v.z, -exponent)};
}

}  // namespace

double direction_angle(double dx, double dy) {
  return static_cast<double>(std::atan2(static_cast<float>(dy), static_cast<float>(dx)));
}

Point2 CoordTranslator::Forward(Point2 p) const {
  return {map_axis(p.x, src_min.x, src_max.x, dst_min.x, dst_max.x),
          map_axis(p.y, src_min.y, src_max.y, dst_min.y, dst_max.y)};
}

Point2 CoordTranslator::Reverse(Point2 p) const {
  return {map_axis(p.x, dst_min.x, dst_max.x, src_min.x, src_max.x),
          map_axis(p.y, dst_min.y, dst_max.y, src_min.y, src_max.y)};
}

bool Is_CCW_Between(const Vector2& a, const Vector2& b, const Vector2& c) {
  double ta = direction_angle(a.x, a.y), tb = direction_angle(b.x, b.y), tc = direction_angle(c.x, c.y);
  if (ta == tc) return true;
  if (ta <= -kPi) ta += PI2;
  if (tb <= -kPi) tb += PI2;
  if (tc <= -kPi) tc += PI2;
  if (ta > tb) tb += PI2;
  if (ta > tc) tc += PI2;
  return tb > ta && tc > tb;
}

void MoveSegLeft(const Segment2& in, double dist, Segment2& out) {
  Vector2 d = in.p2 - in.p1;
  Vector2 n{-d.y, d.x};
  normalize(n);
  Vector2 offset = dist * n;
  out.p1 = in.p1 + offset;
  out.p2 = in.p2 + offset;
}

void MoveSegLeft(const Segment3& in, double dist, Segment3& out, const Vector3& up) {
  Vector3 n = normalized(cross(up, in.p2 - in.p1));
  Vector3 offset = dist * n;
  out.p1 = in.p1 + offset;
  out.p2 = in.p2 + offset;
}

bool PointInPolygon3(const Polygon3& poly, const Point3& p) {
  const size_t count = poly.size();
  if (count < 3) return false;
  // Vectors are scaled by powers of two, never normalised: with few significant bits (lattice
  // points) every product below is exact, so vertices and points on an edge test as inside; and
  // no product overflows, however large the coordinates (short of overflowing a difference).
  // The winding comes from the first triple of consecutive vertices that is not collinear.
  Vector3 normal;
  for (size_t k = 0; k < count && is_zero(normal); ++k) {
    const Point3& a = poly[k];
    const Point3& b = poly[(k + 1) % count];
    const Point3& c = poly[(k + 2) % count];
    normal = unit_exponent(cross(unit_exponent(b - a), unit_exponent(b - c)));
  }
  if (is_zero(normal)) return false;
  for (size_t i = 0; i < count; ++i) {
    const Point3& from = poly[i];
    const Point3& to = poly[(i + 1) % count];
    Vector3 m = unit_exponent(cross(normal, unit_exponent(to - from)));
    if (dot(m, unit_exponent(p - from)) > 0.0) return false;
  }
  return true;
}

bool IntersectLinesAroundJunction(const Line3& a, const Line3& b, const Point3& junction, Point3& out) {
  Vector3 k = cross(a.v, b.v);
  if (is_zero(k)) return false;
  normalize(k);
  double h0 = dot(k, junction);
  Vector3 n1 = normalized(cross(a.v, k));
  Vector3 n2 = normalized(cross(b.v, k));
  double h1 = dot(n1, a.p), h2 = dot(n2, b.p);
  if (n1 == n2) return false;
  double s11 = dot(n1, n1), s22 = dot(n2, n2), s12 = dot(n1, n2);
  double det = s11 * s22 - s12 * s12;
  if (det == 0.0) return false;
  double c1 = (h1 * s22 - h2 * s12) / det;
  double c2 = (h2 * s11 - h1 * s12) / det;
  Vector3 x0 = c1 * n1 + c2 * n2;
  Vector3 u = cross(n1, n2);
  double ku = dot(k, u);
  if (ku == 0.0) return false;
  double t = (h0 - dot(k, x0)) / ku;
  Vector3 r = x0 + t * u;
  out = {r.x, r.y, r.z};
  return true;
}

void ClipToHalfPlane3(const Polygon3& in, const Plane3& plane, Polygon3& out) {
  out.clear();
  const size_t count = in.size();
  for (size_t i = 0; i < count; ++i) {
    const Point3& cur = in[i];
    const Point3& next = in[(i + 1) % count];
    // Each point is classified on its own, so a vertex on the plane cannot throw off the rest.
    double sc = dot(plane.n, cur) - plane.d;
    double sn = dot(plane.n, next) - plane.d;
    if (sc <= 0.0) out.push_back(cur);
    if ((sc < 0.0 && sn > 0.0) || (sc > 0.0 && sn < 0.0)) {
      double t = std::clamp((plane.d - dot(plane.n, cur)) / dot(plane.n, next - cur), 0.0, 1.0);
      Point3 x{cur.x * (1.0 - t) + next.x * t, cur.y * (1.0 - t) + next.y * t, cur.z * (1.0 - t) + next.z * t};
      if (!(x == cur) && !(x == next)) out.push_back(x);
    }
  }
}

void BezierCurve(const Point3& start, const Point3& end, bool has_start_control, bool has_end_control,
                 const Point3& start_control, const Point3& end_control, int steps, double start_gap,
                 double end_gap, std::vector<Point3>& out) {
  int sections = std::max(steps, 1);
  if (!has_start_control && !has_end_control) sections = 1;
  const Point3 c1 = has_start_control ? start_control : start;
  const Point3 c2 = has_end_control ? end_control : end;
  out.clear();
  out.push_back(start);
  if (sections > 1) {
    Vector3 chord = end - start;
    if (is_zero(cross(c1 - start, chord)) && is_zero(cross(c2 - start, chord))) sections = 1;
  }
  for (int k = 1; k < sections; ++k) {
    float t = static_cast<float>(k) / static_cast<float>(sections);
    float u = 1.0f - t;
    // The weights are part of the result: each is rounded to single precision.
    double w0 = static_cast<float>(u * u * u);
    double w1 = static_cast<float>(3.0f * u * u * t);
    double w2 = static_cast<float>(3.0f * u * t * t);
    double w3 = static_cast<float>(t * t * t);
    Point3 p{w0 * start.x + w1 * c1.x + w2 * c2.x + w3 * end.x,
             w0 * start.y + w1 * c1.y + w2 * c2.y + w3 * end.y,
             w0 * start.z + w1 * c1.z + w2 * c2.z + w3 * end.z};
    if (start_gap > 0.0 && squared_distance(p, start) < start_gap * start_gap) continue;
    if (end_gap > 0.0 && squared_distance(p, end) < end_gap * end_gap) continue;
    out.push_back(p);
  }
  out.push_back(end);
}
