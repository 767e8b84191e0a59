// Geometry routines against peer libraries, on the same work in the same run:
//  - InsetPolygon against the polygon offsetter of the clipping library (time, area difference);
//  - ReducePolygon against Boost.Geometry's simplify (time, vertices kept, deviation);
//  - FastBoundingSphere against CGAL's minimum sphere and a plain Ritter sphere on 10^6 points
//    (uniform, clustered, shell), for time and radius.
// Usage: bench_geometry [--quick] [rounds (7)]  (--quick: a tenth of the work, 3 rounds)
// Every line prints ours/peer times, min and median of interleaved rounds: <1 = ours faster.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <CGAL/Min_sphere_of_spheres_d.h>
#include <CGAL/Min_sphere_of_spheres_d_traits_3.h>
#include <CGAL/Simple_cartesian.h>
#include <boost/geometry.hpp>
#include <clipper.hpp>

#include "geometry/bounding_sphere.h"
#include "geometry/inset.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

struct Samples {
  std::vector<double> t;
  double min() const { return *std::min_element(t.begin(), t.end()); }
  double median() const {
    std::vector<double> s = t;
    std::sort(s.begin(), s.end());
    return s.size() % 2 ? s[s.size() / 2] : 0.5 * (s[s.size() / 2 - 1] + s[s.size() / 2]);
  }
};

template <class F>
void timed(Samples& s, F&& f) {
  auto t0 = Clock::now();
  f();
  s.t.push_back(seconds_since(t0));
}

void report(const char* what, const Samples& ours, const char* peer_name, const Samples& peer) {
  std::printf("%-34s ours min %8.2f ms median %8.2f ms | %-14s min %8.2f ms median %8.2f ms | ours/peer min %.2f median %.2f\n",
              what, 1e3 * ours.min(), 1e3 * ours.median(), peer_name, 1e3 * peer.min(), 1e3 * peer.median(),
              ours.min() / peer.min(), ours.median() / peer.median());
}

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "bench_geometry: %s\n", why.c_str());
  std::exit(1);
}

std::mt19937_64 rng(20261207);
double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }

double area(const Polygon2& p) {
  double a = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    const Point2 &u = p[i], &v = p[(i + 1) % p.size()];
    a += u.x * v.y - v.x * u.y;
  }
  return 0.5 * a;
}

// ---- inset against the offsetter

Polygon2 convex_polygon(int n) {
  std::vector<double> angles;
  for (int i = 0; i < n; ++i) angles.push_back(uniform(0, 2 * kPi));
  std::sort(angles.begin(), angles.end());
  angles.erase(std::unique(angles.begin(), angles.end()), angles.end());
  double rx = uniform(100, 900), ry = uniform(100, 900), cx = uniform(-50, 50), cy = uniform(-50, 50);
  Polygon2 p;
  for (double a : angles) p.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
  return p;
}

// 1 for the full run, 10 with --quick: every set is that many times smaller.
int g_shrink = 1;

void bench_inset(int rounds) {
  const double scale = 1e5;  // the offsetter works on integers; this keeps them in its fast range
  std::vector<Polygon2> polys;
  std::vector<double> dists;
  std::vector<ClipperLib::Path> paths;
  for (int i = 0; i < 2000 / g_shrink; ++i) {
    Polygon2 p = convex_polygon(8 + i % 57);
    double d = 0.5 * CalcMaxInset(p, nullptr, true);
    if (!(d > 0)) continue;
    ClipperLib::Path path;
    for (const Point2& q : p) path.emplace_back(std::llround(q.x * scale), std::llround(q.y * scale));
    polys.push_back(std::move(p));
    dists.push_back(d);
    paths.push_back(std::move(path));
  }
  std::vector<Polygon2> ours(polys.size());
  std::vector<ClipperLib::Paths> peer(polys.size());
  Samples t_ours, t_peer;
  for (int r = 0; r < rounds; ++r) {
    timed(t_ours, [&] {
      for (size_t i = 0; i < polys.size(); ++i) InsetPolygon(polys[i], nullptr, dists[i], true, ours[i], nullptr, nullptr);
    });
    timed(t_peer, [&] {
      for (size_t i = 0; i < polys.size(); ++i) {
        ClipperLib::ClipperOffset off(1e6);
        off.AddPath(paths[i], ClipperLib::jtMiter, ClipperLib::etClosedPolygon);
        off.Execute(peer[i], -dists[i] * scale);
      }
    });
  }
  double worst = 0, sum = 0;
  for (size_t i = 0; i < polys.size(); ++i) {
    if (peer[i].size() != 1) fail("the offsetter split an inset convex polygon");
    double a_peer = ClipperLib::Area(peer[i][0]) / (scale * scale), a_ours = area(ours[i]);
    double diff = std::fabs(a_ours - a_peer) / a_peer;
    if (diff > 1e-4) fail("inset areas differ by " + std::to_string(diff));
    worst = std::max(worst, diff);
    sum += diff;
  }
  std::printf("inset: %zu convex polygons of 8..64 vertices, each by half its maximum inset\n", polys.size());
  report("InsetPolygon vs offsetter", t_ours, "ClipperOffset", t_peer);
  std::printf("  relative area difference: mean %.2e, max %.2e\n", sum / static_cast<double>(polys.size()), worst);
}

// ---- reduction against simplify

namespace bg = boost::geometry;
using BPoint = bg::model::d2::point_xy<double>;
using BRing = bg::model::ring<BPoint, false, true>;  // counter-clockwise, first point repeated

Polygon2 wobbly_outline(size_t n) {
  Polygon2 p;
  double a1 = uniform(20, 80), a2 = uniform(5, 30), f1 = std::floor(uniform(2, 6)), f2 = std::floor(uniform(8, 20));
  for (size_t k = 0; k < n; ++k) {
    double t = 2 * kPi * static_cast<double>(k) / static_cast<double>(n);
    double rad = 1000 + a1 * std::sin(f1 * t) + a2 * std::cos(f2 * t) + uniform(-0.2, 0.2);
    p.push_back({rad * std::cos(t), rad * std::sin(t)});
  }
  return p;
}

double segment_distance(const Point2& a, const Point2& b, const Point2& p) {
  Vector2 ab = b - a, ap = p - a;
  double len2 = squared_length(ab);
  double t = len2 > 0 ? std::clamp(dot(ab, ap) / len2, 0.0, 1.0) : 0.0;
  return std::sqrt(squared_length(ap - t * ab));
}

// Largest distance of a dropped input point from the reduced outline around it; fails when the
// reduced outline is not the input with points left out (its start may be any input point).
double deviation(const Polygon2& in, const Polygon2& kept) {
  if (kept.empty()) fail("a reduced outline is empty");
  const size_t n = in.size();
  size_t k = std::find(in.begin(), in.end(), kept[0]) - in.begin(), walked = 0;
  std::vector<size_t> at;
  for (const Point2& p : kept) {
    while (walked < n && !(in[k] == p)) k = (k + 1) % n, ++walked;
    if (walked == n) fail("a reduced outline holds a point that is not in the input, or out of order");
    at.push_back(k);
  }
  double worst = 0;
  for (size_t j = 0; j < at.size(); ++j) {
    size_t from = at[j], to = at[(j + 1) % at.size()];
    const Point2 &a = in[from], &b = in[to];
    for (size_t i = (from + 1) % n; i != to; i = (i + 1) % n) worst = std::max(worst, segment_distance(a, b, in[i]));
  }
  return worst;
}

void bench_reduce(int rounds) {
  const double tolerance = 0.5;
  std::vector<Polygon2> outlines;
  std::vector<BRing> rings;
  for (int i = 0; i < std::max(1, 20 / g_shrink); ++i) {
    outlines.push_back(wobbly_outline(50000));
    BRing ring;
    for (const Point2& p : outlines.back()) ring.push_back(BPoint(p.x, p.y));
    ring.push_back(ring.front());
    rings.push_back(std::move(ring));
  }
  std::vector<Polygon2> ours(outlines.size());
  std::vector<BRing> peer(outlines.size());
  Samples t_ours, t_peer;
  for (int r = 0; r < rounds; ++r) {
    timed(t_ours, [&] {
      for (size_t i = 0; i < outlines.size(); ++i) {
        ours[i] = outlines[i];
        ReducePolygon(ours[i], tolerance * tolerance, -1.0, 0.0, 0.0);
      }
    });
    timed(t_peer, [&] {
      for (size_t i = 0; i < outlines.size(); ++i) {
        peer[i].clear();
        bg::simplify(rings[i], peer[i], tolerance);
      }
    });
  }
  size_t kept_ours = 0, kept_peer = 0, total = 0;
  double dev_ours = 0, dev_peer = 0;
  for (size_t i = 0; i < outlines.size(); ++i) {
    Polygon2 peer_poly;
    for (size_t k = 0; k + 1 < peer[i].size(); ++k) peer_poly.push_back({peer[i][k].x(), peer[i][k].y()});
    total += outlines[i].size();
    kept_ours += ours[i].size();
    kept_peer += peer_poly.size();
    dev_ours = std::max(dev_ours, deviation(outlines[i], ours[i]));
    dev_peer = std::max(dev_peer, deviation(outlines[i], peer_poly));
  }
  std::printf("reduction: %zu outlines of 50000 noisy points, tolerance %.2f\n", outlines.size(), tolerance);
  report("ReducePolygon vs simplify", t_ours, "bg::simplify", t_peer);
  std::printf("  vertices kept: ours %zu, peer %zu of %zu (ours/peer %.2f); max deviation ours %.3f, peer %.3f\n", kept_ours,
              kept_peer, total, static_cast<double>(kept_ours) / static_cast<double>(kept_peer), dev_ours, dev_peer);
}

// ---- bounding spheres

using K = CGAL::Simple_cartesian<double>;
using MinTraits = CGAL::Min_sphere_of_spheres_d_traits_3<K, double, CGAL::Tag_true>;
using MinSphere = CGAL::Min_sphere_of_spheres_d<MinTraits>;

// A plain Ritter sphere: the two far points of a first sweep, then one growing pass.
Sphere3 ritter(const std::vector<Point3>& pts) {
  auto farthest = [&](const Point3& from) {
    size_t best = 0;
    double d = -1;
    for (size_t i = 0; i < pts.size(); ++i)
      if (double e = squared_distance(pts[i], from); e > d) d = e, best = i;
    return pts[best];
  };
  Point3 y = farthest(pts[0]), z = farthest(y);
  Point3 c{(y.x + z.x) / 2, (y.y + z.y) / 2, (y.z + z.z) / 2};
  double r = std::sqrt(squared_distance(y, z)) / 2;
  for (const Point3& p : pts) {
    double d = std::sqrt(squared_distance(p, c));
    if (d > r) {
      double nr = (r + d) / 2;
      c = c + ((d - nr) / d) * (p - c);
      r = nr;
    }
  }
  return {c, r * r};
}

double enclosing_radius(const std::vector<Point3>& pts, const Point3& c) {
  double r2 = 0;
  for (const Point3& p : pts) r2 = std::max(r2, squared_distance(p, c));
  return std::sqrt(r2);
}

std::vector<Point3> point_cloud(const char* shape, size_t n) {
  std::vector<Point3> pts;
  std::normal_distribution<double> gauss;
  std::string s = shape;
  std::vector<Point3> hubs;
  for (int i = 0; i < 12; ++i) hubs.push_back({uniform(-500, 500), uniform(-500, 500), uniform(-500, 500)});
  for (size_t k = 0; k < n; ++k) {
    if (s == "uniform") {
      pts.push_back({uniform(-500, 500), uniform(-500, 500), uniform(-500, 500)});
    } else if (s == "clustered") {
      const Point3& h = hubs[k % hubs.size()];
      pts.push_back({h.x + 20 * gauss(rng), h.y + 20 * gauss(rng), h.z + 20 * gauss(rng)});
    } else {
      Vector3 v{gauss(rng), gauss(rng), gauss(rng)};
      pts.push_back(Point3{} + (500.0 + uniform(-0.5, 0.5)) * normalized(v));
    }
  }
  return pts;
}

void bench_spheres(int rounds) {
  const size_t n = 1000000 / g_shrink;
  std::printf("bounding spheres: %zu points per set\n", n);
  for (const char* shape : {"uniform", "clustered", "shell"}) {
    std::vector<Point3> pts = point_cloud(shape, n);
    std::vector<MinTraits::Sphere> balls;
    for (const Point3& p : pts) balls.emplace_back(K::Point_3(p.x, p.y, p.z), 0.0);
    Sphere3 ours, plain;
    double exact_r = 0;
    Point3 exact_c;
    Samples t_ours, t_exact, t_plain;
    for (int r = 0; r < rounds; ++r) {
      timed(t_ours, [&] { FastBoundingSphere(pts, ours); });
      timed(t_exact, [&] {
        MinSphere ms(balls.begin(), balls.end());
        exact_r = ms.radius();
        auto it = ms.center_cartesian_begin();
        exact_c.x = *it++;
        exact_c.y = *it++;
        exact_c.z = *it;
      });
      timed(t_plain, [&] { plain = ritter(pts); });
    }
    double r_ours = std::sqrt(ours.radius_squared), r_plain = std::sqrt(plain.radius_squared);
    // Each sphere must hold every point (up to rounding), and none may beat the minimum.
    if (enclosing_radius(pts, ours.c) > r_ours * (1 + 1e-12)) fail("our sphere misses a point");
    if (enclosing_radius(pts, plain.c) > r_plain * (1 + 1e-12)) fail("the Ritter sphere misses a point");
    if (enclosing_radius(pts, exact_c) > exact_r * (1 + 1e-9)) fail("the minimum sphere misses a point");
    if (r_ours < exact_r * (1 - 1e-9) || r_plain < exact_r * (1 - 1e-9)) fail("a sphere is smaller than the minimum");
    std::string label = std::string("FastBoundingSphere, ") + shape;
    report(label.c_str(), t_ours, "CGAL minimum", t_exact);
    report(label.c_str(), t_ours, "plain Ritter", t_plain);
    std::printf("  radius / minimum radius: ours %.4f, plain Ritter %.4f\n", r_ours / exact_r, r_plain / exact_r);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 7;
  for (int i = 1; i < argc; ++i) {
    char* end = nullptr;
    long n = std::strtol(argv[i], &end, 10);
    if (std::string(argv[i]) == "--quick") {
      g_shrink = 10;
      rounds = 3;
    } else if (end != argv[i] && *end == '\0' && n >= 1 && n <= 1000) {
      rounds = static_cast<int>(n);
    } else {
      std::fprintf(stderr, "bench_geometry: unknown argument '%s'\nusage: bench_geometry [--quick] [rounds 1..1000]\n",
                   argv[i]);
      return 2;
    }
  }
  bench_inset(rounds);
  bench_reduce(rounds);
  bench_spheres(std::max(1, rounds / 2));
  return 0;
}
