// Bars and panels stretched from sprites of the interface sheet: one-row bars, the vertical
// scroll-bar track, nine-slice panels, the sub-window background and panels, and close boxes.
// Stretching never scales a sprite: middle sections are tiled and the last tile is cut.
#include <cmath>
#include <string>

#include "btn_draw.h"
#include "foundation/alert.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "ogl/text.h"
#include "tex/tman.h"
#include "widgets/butn.h"

namespace {

// Nearest whole number, halves away from zero.
float round_away(float v) { return std::round(v); }

struct bar_style {
  float cap, width, height, sx, sy, split, extra, y_shift;
};
// Indexed by style 0..10; style 6 has no row.
const bar_style kBars[11] = {
    {10, 100, 26, 1, 487, 90, 0, 3},   {20, 100, 26, 102, 487, 80, 0, 3},
    {10, 52, 26, 304, 486, 42, 0, 0},  {10, 52, 26, 304, 459, 42, 0, 0},
    {10, 28, 16, 112, 161, 18, 0, 0},  {10, 28, 16, 83, 161, 18, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},          {10, 65, 24, 240, 242, 55, 0, 0},
    {7, 16, 16, 289, 219, 9, 0, 0},    {10, 51, 26, 262, 133, 41, 4, 0},
    {26, 68, 24, 357, 488, 42, 4, 0}};

// Slices of a nine-slice panel, in sheet units: column and row boundaries of the sprite.
struct panel_style {
  int tex;
  float sx, sy;
  float col[4];  // 0, left cap end, middle end, sprite width
  float row[4];  // 0, bottom cap end, middle end, sprite height
  float side, bottom, top;
  int title_colour;
};

panel_style proportional(int tex, float sx, float sy, float size, float side, float bottom,
                         float top, int title_colour) {
  const float c = 0.35f * size, r = 0.3f * size;
  return panel_style{tex, sx, sy, {0, c, size - c, size}, {0, r, size - r, size},
                     side, bottom, top, title_colour};
}

panel_style panel(int style) {
  switch (style) {
    case 11: return proportional(t_interface, 1, 358, 100, 9, 14, 4, 40);
    case 12: return proportional(t_interface, 102, 358, 100, 9, 14, 4, 43);
    case 13: return proportional(t_interface, 203, 358, 100, 9, 14, 4, 43);
    case 14: return proportional(t_interface, 304, 358, 100, 9, 14, 4, 43);
    case 15: return proportional(t_interface, 405, 358, 100, 9, 14, 4, 47);
    case 16: return proportional(t_interface, 1, 289, 68, 2, 2, 2, 43);
    case 17: return panel_style{t_interface, 70, 315, {0, 20, 22, 42}, {0, 26, 28, 42}, 8, 13, 2, 43};
    case 18: return proportional(t_interface, 113, 315, 42, 8, 13, 2, 43);
    case 19: return proportional(t_interface, 440, 12, 44, 6, 9, 4, 43);
    default: return proportional(t_installer, 774, 78, 41, 1, 1, 1, 43);  // 20
  }
}

// Lays one run of slices along an axis: a cap, `count` middle tiles (the last one cut where
// the far cap begins, showing the leading part of the middle section), the far cap ending at
// `length`. Calls put(screen from, screen to, sheet from, sheet to) for each piece.
template <class Put>
void lay_run(float start, float length, const float cut[4], int count, Put put) {
  const float cap0 = cut[1], mid = cut[2] - cut[1], cap1 = cut[3] - cut[2];
  const float far_cap = start + length - cap1;
  put(start, start + cap0, cut[0], cut[1]);
  for (int i = 0; i < count; ++i) {
    const float a = start + cap0 + static_cast<float>(i) * mid;
    const float b = a + mid <= far_cap ? a + mid : far_cap;
    if (b != a) put(a, b, cut[1], cut[1] + (b - a));
  }
  put(far_cap, start + length, cut[2], cut[3]);
}

void close_box(float x0, float y0, int hilite) {
  const float sy = hilite ? 197.0f : 178.0f;
  btn_draw::sprite(0, x0, y0, x0 + 18, y0 + 18, 120, sy, 138, sy + 18);
}

bool inside(float x0, float y0, float x1, float y1) {
  return mnw.mouse_x >= x0 && mnw.mouse_x <= x1 && mnw.mouse_y >= y0 && mnw.mouse_y <= y1;
}

}  // namespace

void BTN_frame1(int style, float x_center, float y_center, float width, int colour) {
  if (style < 0 || style > 10 || style == 6) {
    __ZARIRU_alert(0, "Bad BTN_frame1 call!", "", "", "", t_exit, kButnUnit, 378);
    return;
  }
  const bar_style& b = kBars[style];
  const float xc = round_away(x_center);
  const float W = 2.0f * round_away(width / 2.0f) + b.extra;
  const float yc = y_center - b.y_shift;
  const float bottom = yc - b.height / 2.0f, top = bottom + b.height;
  const float mid = b.split - b.cap;
  const int n = static_cast<int>(std::trunc((W - 2.0f * b.cap) / mid)) + 1;
  if (n < -1) return;
  const float cut[4] = {0, b.cap, b.split, b.split + b.cap};
  btn_draw::begin(t_interface, colour);
  lay_run(xc - W / 2.0f, W, cut, n, [&](float a, float c, float s0, float s1) {
    btn_draw::piece(a, bottom, c, top, b.sx + s0, b.sy, b.sx + s1, b.sy + b.height);
  });
  btn_draw::end();
}

void BTN_frame0(int style, float x_center, float y_center, float height) {
  if (style != 6) {
    __ZARIRU_alert(0, "Bad BTN_frame0 call!", "", "", "", t_exit, kButnUnit, 304);
    return;
  }
  if (x_center != std::trunc(x_center)) {
    __ZARIRU_alert(0, "BTN_frame0 non-int x_center!", "", "", "", t_exit, kButnUnit, 305);
    return;
  }
  if (y_center != std::trunc(y_center)) {
    __ZARIRU_alert(0, "BTN_frame0 non-int y_center!", "", "", "", t_exit, kButnUnit, 306);
    return;
  }
  const float H = 2.0f * round_away(height / 2.0f) + 8.0f;
  const int n = static_cast<int>(std::trunc((H - 20.0f) / 20.0f)) + 1;
  const float cut[4] = {248, 258, 278, 288};
  const float cut0[4] = {0, 10, 30, 40};
  btn_draw::begin(t_interface, 0);
  lay_run(y_center - H / 2.0f, H, cut0, n < 0 ? 0 : n, [&](float a, float c, float s0, float s1) {
    btn_draw::piece(x_center - 10, a, x_center + 10, c, 102, cut[0] + s0, 122, cut[0] + s1);
  });
  btn_draw::end();
}

void BTN_frame2(int style, float x, float y, float dx, float dy, std::string title) {
  if (style < 11 || style > 20) {
    __ZARIRU_alert(0, "Bad BTN_frame2 call!", "", "", title, t_exit, kButnUnit, 442);
    return;
  }
  const panel_style p = panel(style);
  const float left = x - p.side, bottom = y - p.bottom;
  const float Wt = dx + 2.0f * p.side, Ht = dy + p.bottom + p.top;
  const float col_mid = p.col[2] - p.col[1], row_mid = p.row[2] - p.row[1];
  const int n = static_cast<int>(std::trunc((Wt - 2.0f * p.col[1]) / col_mid)) + 1;
  int m = static_cast<int>(std::trunc((Ht - p.row[1] - (p.row[3] - p.row[2])) / row_mid)) + 1;
  if (m < 1) m = 1;

  btn_draw::begin(p.tex, 0);
  lay_run(bottom, Ht, p.row, m, [&](float y0, float y1, float t0, float t1) {
    lay_run(left, Wt, p.col, n < 0 ? 0 : n, [&](float x0, float x1, float s0, float s1) {
      btn_draw::piece(x0, y0, x1, y1, p.sx + s0, p.sy + t0, p.sx + s1, p.sy + t1);
    });
  });
  btn_draw::end();

  if (!title.empty()) {
    const float tx = style == 20 ? x + 10.0f : x + dx / 2.0f - static_cast<float>(OGL_str_width(title)) / 2.0f;
    const float ty = style == 11 ? y + dy - 13.0f : y + dy - 16.0f;
    btn_draw::text(p.title_colour, tx, ty, title, 9999.0f, charset_UI_diff_space, 0);
  }
  if (style == 11 && mnw.wind_id != 0 && (mnw.wind_id < 995 || mnw.wind_id > 999)) {
    close_box(7, mnw.wind_h - 19, 0);
    close_box(mnw.wind_w - 25, mnw.wind_h - 19, 0);
  }
}

void BTN_fillwin(int outer, int inner) {
  const float w = mnw.wind_w, h = mnw.wind_h;
  BTN_frame2(outer ? 11 : 12, 0, 0, w, h, stls[0]);
  if (inner == 1) BTN_frame1(1, w / 2.0f, h - 50.0f, w, 0);
  else if (inner != 21) BTN_frame2(inner, 10, 10, w - 20.0f, h - 40.0f, "");
}

void BTN_subwin(float top_margin, int style, float x, float y, float dx, float dy, std::string title,
                float* next_x, float* next_y) {
  if (x < 0) x = 10;
  if (y < 0) y = 10;
  if (dx < 0) dx = mnw.wind_w - 10.0f - x;
  if (dy < 0) dy = mnw.wind_h - 28.0f - y - top_margin;
  BTN_frame2(style, x, y, dx, dy, title);
  if (next_x) *next_x = x + dx + 10.0f;
  if (next_y) *next_y = y + dy + 10.0f;
}

int BTN_zap_boxes(int hilite) {
  const float W = mnw.wind_w, H = mnw.wind_h;
  close_box(7, H - 19, hilite);
  if (mnw.click && inside(7, H - 19, 25, H - 1)) return 1;
  close_box(W - 25, H - 19, hilite);
  return (mnw.click && inside(W - 25, H - 19, W - 7, H - 1)) ? 1 : 0;
}

void BTN_util_element(float x, float y, float sheet_x, float sheet_y, float half_w, float half_h,
                      int colour) {
  btn_draw::sprite(colour, x - half_w, y - half_h, x + half_w, y + half_h, sheet_x - half_w,
                   sheet_y - half_h, sheet_x + half_w, sheet_y + half_h);
}
