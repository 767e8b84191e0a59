// Polygon inset and reduction on top of the basic routines.
#include "geometry/inset.h"

#include <cmath>
#include <vector>

#include "geometry/routines.h"

namespace {

// Weight of edge i; an index past the last edge (the closing edge of an open polyline) has none.
double edge_weight(const double* weights, size_t i, size_t edge_count) {
  return weights && i < edge_count ? weights[i] : 1.0;
}

// One vertex's part of an edge's shrink rate: how fast the edge's end slides along it per unit
// of inset, for interior angle theta between the edge (own weight) and its neighbour.
double vertex_rate(double theta, double own_weight, double neighbour_weight) {
  if (theta > kPi) theta -= PI2;
  double s = std::sin(theta);
  if (s == 0.0) return 0.0;  // a straight fold back: the edges never meet
  return own_weight * std::cos(theta) / s + neighbour_weight / s;
}

double direction(const Point2& from, const Point2& to) { return direction_angle(to.x - from.x, to.y - from.y); }

double cross(const Vector2& a, const Vector2& b) { return a.x * b.y - a.y * b.x; }

}  // namespace

double CalcMaxInset(const Polygon2& poly, const double* weights, bool closed) {
  const size_t n = poly.size();
  const size_t m = closed ? n : (n > 0 ? n - 1 : 0);
  if (m < 1) return 0.0;
  double best = 0.0;
  bool found = false;
  for (size_t i = 0; i < m; ++i) {
    size_t j = i + 1 == n ? 0 : i + 1;
    size_t h = i == 0 ? n - 1 : i - 1;
    size_t k = j + 1 == n ? 0 : j + 1;
    double own = edge_weight(weights, i, m);
    double dir_ij = direction(poly[i], poly[j]);
    double rate = 0.0;
    if (closed || i > 0) rate += vertex_rate(kPi - (dir_ij - direction(poly[h], poly[i])), own, edge_weight(weights, h, m));
    if (closed || i + 1 < m) rate += vertex_rate(kPi - (direction(poly[j], poly[k]) - dir_ij), own, edge_weight(weights, j, m));
    if (rate > 0.0) {
      double candidate = std::sqrt(squared_length(poly[j] - poly[i])) / rate;
      if (!found || candidate < best) best = candidate;
      found = true;
    }
  }
  return best;
}

void InsetPolygon(const Polygon2& in, const double* weights, double dist, bool closed, Polygon2& out,
                  void (*cb)(int, void*), void* ref) {
  out.clear();
  const size_t n = in.size();
  if (n == 0) return;
  const size_t edge_count = closed ? n : n - 1;
  std::vector<Segment2> edges(n), moved(n);
  for (size_t i = 0; i < n; ++i) {
    edges[i] = {in[i], in[(i + 1) % n]};
    MoveSegLeft(edges[i], dist * edge_weight(weights, i, edge_count), moved[i]);
  }
  int spikes = 0;
  for (size_t j = 0; j < n; ++j) {
    size_t p = j == 0 ? n - 1 : j - 1;
    if (!closed && j == 0) {
      out.push_back(moved[0].p1);
    } else if (!closed && j == n - 1) {
      out.push_back(moved[p].p2);
    } else if (edges[p].p1 == edges[j].p2) {
      Segment2 across{moved[p].p2, moved[j].p1}, spike;
      MoveSegLeft(across, dist * edge_weight(weights, j, edge_count), spike);
      out.push_back(spike.p1);
      out.push_back(spike.p2);
      if (cb) cb(static_cast<int>(j) + spikes, ref);
      ++spikes;
    } else {
      const Segment2& a = moved[j];
      const Segment2& b = moved[p];
      double a1 = a.p1.y - a.p2.y, b1 = a.p2.x - a.p1.x, c1 = -a1 * a.p1.x - b1 * a.p1.y;
      double a2 = b.p1.y - b.p2.y, b2 = b.p2.x - b.p1.x, c2 = -a2 * b.p1.x - b2 * b.p1.y;
      if (a1 * b2 == a2 * b1) continue;  // parallel: the vertex disappears
      out.push_back({(b1 * c2 - b2 * c1) / (a1 * b2 - a2 * b1), (a1 * c2 - c1 * a2) / (a2 * b1 - a1 * b2)});
    }
  }
}

void InsetPolygon(const Polygon3& in, const double* weights, double dist, bool closed, const Vector3& up,
                  Polygon3& out) {
  out.clear();
  const size_t n = in.size();
  if (n == 0) return;
  const size_t edge_count = closed ? n : n - 1;
  std::vector<Segment3> edges(n), moved(n);
  for (size_t i = 0; i < n; ++i) {
    edges[i] = {in[i], in[(i + 1) % n]};
    MoveSegLeft(edges[i], dist * edge_weight(weights, i, edge_count), moved[i], up);
  }
  for (size_t j = 0; j < n; ++j) {
    size_t p = j == 0 ? n - 1 : j - 1;
    if (!closed && j == 0) {
      out.push_back(moved[0].p1);
    } else if (!closed && j == n - 1) {
      out.push_back(moved[p].p2);
    } else if (edges[p].p1 == edges[j].p2) {
      Segment3 across{moved[p].p2, moved[j].p1}, spike;
      MoveSegLeft(across, dist * edge_weight(weights, j, edge_count), spike, up);
      out.push_back(spike.p1);
      out.push_back(spike.p2);
    } else {
      const Point3& start = moved[j].p1;
      Vector3 dir = moved[j].p2 - start;
      Vector3 normal = normalized(cross(moved[p].p2 - moved[p].p1, up));
      double nd = dot(normal, dir);
      if (nd == 0.0) continue;
      double t = (dot(normal, moved[p].p2) - dot(normal, start)) / nd;
      out.push_back(start + t * dir);
    }
  }
}

namespace {

bool reducible(const Point2& u, const Point2& v, const Point2& w, double dev2_limit, double cos_limit,
               double long2, double short2) {
  Vector2 e1 = v - u, e2 = w - v;
  double l1 = squared_length(e1), l2 = squared_length(e2);
  if (l1 < short2 || l2 < short2) return true;
  if (!(l1 > long2 && l2 > long2)) return false;
  normalize(e1);
  normalize(e2);
  Vector2 base = w - u, off = v - u;
  double base2 = squared_length(base);
  // Neighbours on one spot: the line through them is that spot.
  double dev2 = base2 == 0.0 ? squared_length(off) : cross(base, off) * cross(base, off) / base2;
  return dev2 < dev2_limit && dot(e1, e2) > cos_limit;
}

}  // namespace

void ReducePolygon(Polygon2& poly, double dev2_limit, double cos_limit, double long_side, double short_side) {
  const double long2 = long_side * long_side, short2 = short_side * short_side;
  Polygon2 kept;
  // Each pass visits the vertices in order against the current list; after a removal the vertex
  // that slides into its place waits for the next pass. Built by compaction to stay linear.
  for (bool removed_any = true; removed_any;) {
    removed_any = false;
    const size_t n = poly.size();
    kept.clear();
    kept.reserve(n);
    bool skip_next = false;
    for (size_t k = 0; k < n; ++k) {
      if (skip_next) {
        kept.push_back(poly[k]);
        skip_next = false;
        continue;
      }
      if (kept.size() + (n - k) < 3) {
        kept.insert(kept.end(), poly.begin() + static_cast<std::ptrdiff_t>(k), poly.end());
        poly.swap(kept);
        return;
      }
      const Point2& u = kept.empty() ? poly[n - 1] : kept.back();
      const Point2& w = k + 1 < n ? poly[k + 1] : kept.front();
      if (reducible(u, poly[k], w, dev2_limit, cos_limit, long2, short2)) {
        removed_any = true;
        skip_next = true;
      } else {
        kept.push_back(poly[k]);
      }
    }
    poly.swap(kept);
  }
}
