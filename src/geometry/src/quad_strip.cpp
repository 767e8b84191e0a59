// Quad strips along point chains: building the ribbon with mitred joints and cutting its ends.
#include "geometry/quad_strip.h"

#include <algorithm>
#include <cmath>

namespace {

double length(const Vector3& v) { return std::sqrt(squared_length(v)); }

// Side of travel for direction d around up; a zero direction gives a zero side.
Vector3 side_of(const Vector3& d, const Vector3& up) { return normalized(cross(d, up)); }

// Direction from chain[from] towards the next distinct point in the given step (+1 or -1),
// so that repeated points do not collapse a cross-section; zero when there is none.
Vector3 chain_direction(const std::vector<Point3>& chain, size_t from, int step) {
  for (size_t i = from + step; i < chain.size(); i += step) {
    Vector3 d = step > 0 ? chain[i] - chain[from] : chain[from] - chain[i];
    if (!is_zero(d)) return normalized(d);
  }
  return {};
}

// One side of a mitred joint at p between offsets o1 (incoming edge) and o2 (outgoing edge): the
// line where the two offset planes meet, cut with the plane through p across up.
Point3 mitre_point(const Point3& p, const Vector3& o1, const Vector3& o2, const Vector3& up) {
  Vector3 n1 = normalized(o1), n2 = normalized(o2);
  double e1 = dot(n1, p + o1), e2 = dot(n2, p + o2);
  double g11 = dot(n1, n1), g22 = dot(n2, n2), g12 = dot(n1, n2);
  double det = g11 * g22 - g12 * g12;
  Point3 base = p + o1;
  Vector3 dir = up;
  if (!(n1 == n2) && det != 0.0) {
    double c1 = (g22 * e1 - e2 * g12) / det;
    double c2 = (e2 * g11 - g12 * e1) / det;
    Vector3 x = c1 * n1 + c2 * n2;
    base = {x.x, x.y, x.z};
    dir = cross(n1, n2);
  }
  Vector3 nu = normalized(up);
  double denom = dot(nu, dir);
  if (denom == 0.0) return p + o1;
  double t = (dot(nu, p) - dot(nu, base)) / denom;
  return base + t * dir;
}

// The point at t on a..b; exactly a at 0, exactly b at 1, and a coordinate both share stays exact.
Point3 cut_point(const Point3& a, const Point3& b, double t) {
  if (t == 0.0) return a;
  if (t == 1.0) return b;
  auto at = [t](double u, double v) { return u == v ? u : u * (1.0 - t) + v * t; };
  return {at(a.x, b.x), at(a.y, b.y), at(a.z, b.z)};
}

// Walks one side (points first, first + 2, ...) to the edge where cut lies; returns false when the
// side is too short. inclusive: an edge ending exactly at the cut already holds it.
bool find_cut(const std::vector<Point3>& strip, size_t first, double cut, bool inclusive, size_t& at, double& t) {
  double run = 0.0;
  for (size_t k = first; k + 2 < strip.size(); k += 2) {
    double len = length(strip[k + 2] - strip[k]);
    if (inclusive ? run + len >= cut : run + len > cut) {
      at = k;
      t = len > 0.0 ? (cut - run) / len : 0.0;  // a zero-length edge must not divide
      return true;
    }
    run += len;
  }
  return false;
}

}  // namespace

void ChainToQuadStrip(const std::vector<Point3>& chain, const std::vector<Vector3>& ups,
                      const std::vector<double>& widths, std::vector<Point3>& strip) {
  const size_t n = chain.size();
  if (n < 2 || ups.size() < n || widths.size() < n) return;
  strip.clear();
  strip.reserve(2 * n);

  Vector3 s = (0.5 * widths[0]) * side_of(chain_direction(chain, 0, +1), ups[0]);
  strip.push_back(chain[0] + s);
  strip.push_back(chain[0] - s);

  for (size_t i = 1; i + 1 < n; ++i) {
    const Point3& p = chain[i];
    const double h = 0.5 * widths[i];
    Vector3 s1 = side_of(chain_direction(chain, i, -1), ups[i]);
    Vector3 s2 = side_of(chain_direction(chain, i, +1), ups[i]);
    // A repeated point borrows the side of its other edge.
    if (is_zero(s1)) s1 = s2;
    if (is_zero(s2)) s2 = s1;
    double w = dot(s1, s2);
    if (w > 0.9995) {
      strip.push_back(p + h * s1);
      strip.push_back(p - h * s1);
    } else if (w < -0.9995) {
      strip.push_back(p + h * s1);
      strip.push_back(p - h * s1);
      strip.push_back(p + h * s2);
      strip.push_back(p - h * s2);
    } else {
      strip.push_back(mitre_point(p, h * s1, h * s2, ups[i]));
      strip.push_back(mitre_point(p, -h * s1, -h * s2, ups[i]));
    }
  }

  s = (0.5 * widths[n - 1]) * side_of(chain_direction(chain, n - 1, -1), ups[n - 1]);
  strip.push_back(chain[n - 1] + s);
  strip.push_back(chain[n - 1] - s);
}

void ReverseQuadStrip(std::vector<Point3>& strip) { std::reverse(strip.begin(), strip.end()); }

double LongerSideOfQuad(const std::vector<Point3>& strip) {
  if (strip.size() < 4) return 0.0;
  const Point3 &q0 = strip[0], &q1 = strip[1], &q2 = strip[2], &q3 = strip[3];
  Vector3 a = q1 - q3;
  double aa = dot(a, a);
  if (aa != 0.0) {
    double s = dot(q0 - q3, a) / aa;
    if (s < 1.0) return -length(q3 + s * a - q1);
  }
  Vector3 b = q0 - q2;
  double bb = dot(b, b);
  if (bb == 0.0) return 0.0;
  double t = dot(q1 - q2, b) / bb;
  return length(q2 + t * b - q0);
}

void RemoveFromQuadStripFront(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed, bool even_up) {
  removed.clear();
  if (strip.size() < 4) return;
  double cut_a = dist, cut_b = dist;
  if (even_up) {
    double longer = LongerSideOfQuad(strip);
    if (longer < 0.0)
      cut_b = dist - longer;
    else
      cut_a = dist + longer;
  }
  if (!(dist > 0.0)) return;

  size_t kb = 0, ka = 0;
  double tb = 0.0, ta = 0.0;
  if (!find_cut(strip, 1, cut_b, false, kb, tb)) return;
  if (!find_cut(strip, 0, cut_a, true, ka, ta)) return;
  const Point3 point_b = cut_point(strip[kb], strip[kb + 2], tb);
  const Point3 point_a = cut_point(strip[ka], strip[ka + 2], ta);

  const size_t lo = std::min(kb, ka + 1), hi = std::max(kb, ka + 1);
  removed.assign(strip.begin(), strip.begin() + static_cast<std::ptrdiff_t>(lo) + 1);
  strip.erase(strip.begin(), strip.begin() + static_cast<std::ptrdiff_t>(hi) + 1);
  removed.push_back(point_a);
  removed.push_back(point_b);
  bool front_is_cut = (!strip.empty() && strip[0] == point_a) || (strip.size() > 1 && strip[1] == point_b);
  if (!front_is_cut) strip.insert(strip.begin(), {point_a, point_b});
}

void RemoveFromQuadStripBack(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed, bool even_up) {
  ReverseQuadStrip(strip);
  RemoveFromQuadStripFront(strip, dist, removed, even_up);
  ReverseQuadStrip(strip);
}
