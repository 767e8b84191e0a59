// A small software painter for the built-in images: float RGBA canvas (y up, row 0 at the
// bottom), anti-aliased shapes from signed distances, and text through FreeType.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace paint {

struct rgba {
  float r = 0, g = 0, b = 0, a = 0;
};

inline rgba rgb8(int r, int g, int b, float a = 1.0f) {
  return {r / 255.0f, g / 255.0f, b / 255.0f, a};
}
inline rgba mix(const rgba& p, const rgba& q, float t) {
  return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t,
          p.a + (q.a - p.a) * t};
}
inline float clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }
inline float smooth(float e0, float e1, float x) {
  float t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

class canvas {
 public:
  canvas(int w, int h) : w_(w), h_(h), px_(size_t(w) * h) {}
  int width() const { return w_; }
  int height() const { return h_; }
  rgba& at(int x, int y) { return px_[size_t(y) * w_ + x]; }
  const rgba& at(int x, int y) const { return px_[size_t(y) * w_ + x]; }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }

  // Source-over with straight alpha; cov scales the source alpha.
  void blend(int x, int y, const rgba& c, float cov = 1.0f) {
    if (!inside(x, y)) return;
    float sa = clamp01(c.a * cov);
    if (sa <= 0) return;
    rgba& d = at(x, y);
    float oa = sa + d.a * (1 - sa);
    if (oa <= 0) {
      d = {};
      return;
    }
    d.r = (c.r * sa + d.r * d.a * (1 - sa)) / oa;
    d.g = (c.g * sa + d.g * d.a * (1 - sa)) / oa;
    d.b = (c.b * sa + d.b * d.a * (1 - sa)) / oa;
    d.a = oa;
  }
  void set(int x, int y, const rgba& c) {
    if (inside(x, y)) at(x, y) = c;
  }

  // Bytes R, G, B, A, rows bottom first, at the given row stride in pixels.
  std::vector<uint8_t> bytes(int stride_px) const {
    std::vector<uint8_t> out(size_t(stride_px) * h_ * 4, 0);
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        const rgba& p = at(x, y);
        uint8_t* o = &out[(size_t(y) * stride_px + x) * 4];
        o[0] = uint8_t(std::lround(clamp01(p.r) * 255));
        o[1] = uint8_t(std::lround(clamp01(p.g) * 255));
        o[2] = uint8_t(std::lround(clamp01(p.b) * 255));
        o[3] = uint8_t(std::lround(clamp01(p.a) * 255));
      }
    return out;
  }

 private:
  int w_, h_;
  std::vector<rgba> px_;
};

// Signed distance to a rounded box centred at (cx, cy) with half sizes (hx, hy), radius r.
inline float sd_round_box(float px, float py, float cx, float cy, float hx, float hy, float r) {
  float qx = std::fabs(px - cx) - hx + r, qy = std::fabs(py - cy) - hy + r;
  float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - r;
}
inline float sd_circle(float px, float py, float cx, float cy, float r) {
  return std::hypot(px - cx, py - cy) - r;
}
inline float sd_segment(float px, float py, float ax, float ay, float bx, float by, float r) {
  float pax = px - ax, pay = py - ay, bax = bx - ax, bay = by - ay;
  float h = clamp01((pax * bax + pay * bay) / (bax * bax + bay * bay));
  return std::hypot(pax - bax * h, pay - bay * h) - r;
}
// Convex or concave polygon (even-odd), signed distance.
inline float sd_polygon(float px, float py, const std::vector<float>& v) {
  size_t n = v.size() / 2;
  float d = 1e9f;
  bool in = false;
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    float ax = v[2 * j], ay = v[2 * j + 1], bx = v[2 * i], by = v[2 * i + 1];
    float ex = bx - ax, ey = by - ay, wx = px - ax, wy = py - ay;
    float h = clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey));
    d = std::min(d, std::hypot(wx - ex * h, wy - ey * h));
    if (((ay > py) != (by > py)) && (px < (bx - ax) * (py - ay) / (by - ay) + ax)) in = !in;
  }
  return in ? -d : d;
}

using sdf_fn = std::function<float(float, float)>;
using shade_fn = std::function<rgba(float, float)>;

// Fills the area where sdf < 0 inside the clip box, shading each pixel at its centre.
inline void fill(canvas& c, int x0, int y0, int x1, int y1, const sdf_fn& sdf, const shade_fn& shade) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      float px = x + 0.5f, py = y + 0.5f;
      float cov = clamp01(0.5f - sdf(px, py));
      if (cov > 0) c.blend(x, y, shade(px, py), cov);
    }
}
// Strokes the outline sdf = 0 with a band of width w lying inside the shape.
inline void stroke_inside(canvas& c, int x0, int y0, int x1, int y1, const sdf_fn& sdf, float w,
                          const shade_fn& shade) {
  fill(c, x0, y0, x1, y1, [&](float x, float y) {
    float d = sdf(x, y);
    return std::max(d, -(d + w));
  }, shade);
}

inline shade_fn solid(rgba c) {
  return [c](float, float) { return c; };
}
inline shade_fn vgrad(float y0, float y1, rgba bottom, rgba top) {
  return [=](float, float y) { return mix(bottom, top, clamp01((y - y0) / (y1 - y0))); };
}

}  // namespace paint
