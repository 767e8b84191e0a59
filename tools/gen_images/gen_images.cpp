// Builds the three built-in images of the installer from code: the interface sprite sheet with
// its bitmap font, the installer panel art and the background. Output is raw RGBA, bottom row
// first, exactly as the program embeds it; --png also writes upright previews for review.
// Deterministic: same fonts and code give the same bytes.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "paint.h"
#include "sprite_table.h"

using namespace paint;
using namespace hard_tex;

namespace {

// ---------------------------------------------------------------- fonts

struct face {
  FT_Face f = nullptr;
};

FT_Library g_ft = nullptr;

face open_face(const std::string& path) {
  face out;
  if (FT_New_Face(g_ft, path.c_str(), 0, &out.f)) {
    std::fprintf(stderr, "gen_images: cannot open font %s\n", path.c_str());
    std::exit(1);
  }
  return out;
}

// Renders one glyph; returns false when the face has none.
bool render_glyph(face& fc, unsigned code, float px, float squeeze, FT_Int32 load_flags) {
  FT_Set_Char_Size(fc.f, 0, FT_F26Dot6(std::lround(px * 64)), 72, 72);
  FT_Matrix m{FT_Fixed(std::lround(squeeze * 65536)), 0, 0, 0x10000};
  FT_Set_Transform(fc.f, &m, nullptr);
  FT_UInt gi = FT_Get_Char_Index(fc.f, code);
  if (gi == 0) return false;
  if (FT_Load_Glyph(fc.f, gi, load_flags)) return false;
  return FT_Render_Glyph(fc.f->glyph, FT_RENDER_MODE_NORMAL) == 0;
}

// Ink width of the last rendered glyph (columns that hold any coverage).
int ink_width(const FT_Bitmap& bm, int* first_col) {
  int lo = bm.width, hi = -1;
  for (unsigned r = 0; r < bm.rows; ++r)
    for (unsigned c = 0; c < bm.width; ++c)
      if (bm.buffer[r * bm.pitch + c] > 24) {
        lo = std::min(lo, int(c));
        hi = std::max(hi, int(c));
      }
  *first_col = lo;
  return hi < lo ? 0 : hi - lo + 1;
}

// Measures a text line in pixels (advances, with kerning ignored).
float text_width(face& fc, const std::string& s, float px) {
  float w = 0;
  FT_Set_Char_Size(fc.f, 0, FT_F26Dot6(std::lround(px * 64)), 72, 72);
  FT_Set_Transform(fc.f, nullptr, nullptr);
  for (unsigned char ch : s) {
    FT_UInt gi = FT_Get_Char_Index(fc.f, ch);
    if (FT_Load_Glyph(fc.f, gi, FT_LOAD_TARGET_LIGHT)) continue;
    w += fc.f->glyph->advance.x / 64.0f;
  }
  return w;
}

// Draws a text line with its baseline at y, starting at x, into the canvas.
void draw_text(canvas& c, face& fc, const std::string& s, float x, float y, float px, rgba col) {
  FT_Set_Char_Size(fc.f, 0, FT_F26Dot6(std::lround(px * 64)), 72, 72);
  FT_Set_Transform(fc.f, nullptr, nullptr);
  float pen = x;
  for (unsigned char ch : s) {
    FT_UInt gi = FT_Get_Char_Index(fc.f, ch);
    if (FT_Load_Glyph(fc.f, gi, FT_LOAD_TARGET_LIGHT) ||
        FT_Render_Glyph(fc.f->glyph, FT_RENDER_MODE_NORMAL))
      continue;
    FT_GlyphSlot g = fc.f->glyph;
    int ox = int(std::lround(pen)) + g->bitmap_left;
    int top = int(std::lround(y)) + g->bitmap_top - 1;
    for (unsigned r = 0; r < g->bitmap.rows; ++r)
      for (unsigned cc = 0; cc < g->bitmap.width; ++cc) {
        float a = g->bitmap.buffer[r * g->bitmap.pitch + cc] / 255.0f;
        if (a > 0) c.blend(ox + int(cc), top - int(r), col, a);
      }
    pen += g->advance.x / 64.0f;
  }
}

void draw_text_centred(canvas& c, face& fc, const std::string& s, float cx, float y, float px,
                       rgba col) {
  draw_text(c, fc, s, cx - text_width(fc, s, px) / 2, y, px, col);
}

// ---------------------------------------------------------------- colours

const rgba k_navy = rgb8(13, 27, 44);
const rgba k_slate = rgb8(51, 67, 86);
const rgba k_ink = rgb8(34, 41, 53);
const rgba k_mint = rgb8(127, 220, 175);
const rgba k_panel = rgb8(228, 232, 237);
const rgba k_panel_lo = rgb8(214, 219, 226);
const rgba k_edge = rgb8(120, 131, 147);
const rgba k_white = rgb8(255, 255, 255);
const rgba k_shadow = rgb8(0, 0, 0, 0.28f);

// ---------------------------------------------------------------- shared shapes

// Soft drop shadow of a rounded box: alpha falls off over `soft` pixels.
void shadow_box(canvas& c, const sprite& s, float bx0, float by0, float bx1, float by1, float r,
                float soft, float alpha) {
  float cx = (bx0 + bx1) / 2, cy = (by0 + by1) / 2, hx = (bx1 - bx0) / 2, hy = (by1 - by0) / 2;
  for (int y = s.y0; y < s.y1; ++y)
    for (int x = s.x0; x < s.x1; ++x) {
      float d = sd_round_box(x + 0.5f, y + 0.5f, cx, cy, hx, hy, r);
      float a = alpha * (1 - smooth(0, soft, d));
      if (d > -soft && a > 0) c.blend(x, y, rgb8(0, 0, 0), a);
    }
}

// A rounded box with a border: fill shade inside, border colour on its inner `bw` pixels.
void bordered_box(canvas& c, const sprite& s, float bx0, float by0, float bx1, float by1, float r,
                  const shade_fn& inner, rgba border, float bw) {
  float cx = (bx0 + bx1) / 2, cy = (by0 + by1) / 2, hx = (bx1 - bx0) / 2, hy = (by1 - by0) / 2;
  auto sdf = [=](float x, float y) { return sd_round_box(x, y, cx, cy, hx, hy, r); };
  fill(c, s.x0, s.y0, s.x1, s.y1, sdf, inner);
  if (bw > 0) stroke_inside(c, s.x0, s.y0, s.x1, s.y1, sdf, bw, solid(border));
}

// Clears a sprite's rectangle to transparent.
[[maybe_unused]] void clear(canvas& c, const sprite& s) {
  for (int y = s.y0; y < s.y1; ++y)
    for (int x = s.x0; x < s.x1; ++x) c.set(x, y, {});
}

// ---------------------------------------------------------------- bars (stretched across)

// Bars stretch their middle columns, so every shade here depends on y only.
void bar_dark(canvas& c, const sprite& s) {
  float y0 = s.y0, y1 = s.y1;
  bordered_box(c, s, s.x0, y0, s.x1, y1, 3,
               vgrad(y0, y1, rgb8(16, 30, 48), rgb8(58, 76, 98)), rgb8(8, 16, 28), 1);
  // top highlight line
  for (int x = s.x0 + 3; x < s.x1 - 3; ++x) c.blend(x, s.y1 - 2, rgb8(255, 255, 255), 0.18f);
}

void button(canvas& c, const sprite& s, bool down) {
  float y0 = s.y0 + 1, y1 = s.y1 - 1;
  shadow_box(c, s, s.x0 + 1, y0 - 0.5f, s.x1 - 1, y1 - 1, 6, 2.0f, down ? 0.0f : 0.30f);
  rgba top = down ? rgb8(186, 196, 208) : rgb8(250, 251, 253);
  rgba bot = down ? rgb8(208, 216, 226) : rgb8(212, 219, 228);
  bordered_box(c, s, s.x0 + 1, y0, s.x1 - 1, y1, 6, vgrad(y0, y1, bot, top),
               down ? rgb8(84, 100, 122) : rgb8(128, 140, 158), 1);
  if (!down)
    for (int x = s.x0 + 6; x < s.x1 - 6; ++x) c.blend(x, int(y1) - 2, k_white, 0.8f);
}

void track(canvas& c, const sprite& s) {
  float y0 = s.y0 + 1, y1 = s.y1 - 1;
  bordered_box(c, s, s.x0 + 1, y0, s.x1 - 1, y1, 7,
               vgrad(y0, y1, rgb8(40, 52, 68), rgb8(20, 30, 44)), rgb8(10, 18, 30), 1);
}

void progress_fill(canvas& c, const sprite& s) {
  float y0 = s.y0 + 2, y1 = s.y1 - 2;
  bordered_box(c, s, s.x0 + 2, y0, s.x1 - 2, y1, 6,
               vgrad(y0, y1, rgb8(70, 170, 125), rgb8(160, 236, 196)), rgb8(40, 120, 90), 1);
}

void slider_track(canvas& c, const sprite& s) {
  float cy = (s.y0 + s.y1) / 2.0f;
  bordered_box(c, s, s.x0 + 2, cy - 3, s.x1 - 2, cy + 3, 3,
               vgrad(cy - 3, cy + 3, rgb8(150, 160, 174), rgb8(86, 98, 116)), rgb8(60, 72, 90),
               1);
}

// Tinted by the caller's colour, so it is drawn in light greys.
void slider_fill(canvas& c, const sprite& s) {
  float y0 = s.y0 + 1, y1 = s.y0 + 8;
  bordered_box(c, s, s.x0 + 1, y0, s.x1 - 1, y1, 3,
               vgrad(y0, y1, rgb8(200, 200, 200), rgb8(255, 255, 255)), rgb8(150, 150, 150),
               1);
}

void text_box(canvas& c, const sprite& s) {
  float y0 = s.y0 + 2, y1 = s.y1 - 2;
  bordered_box(c, s, s.x0 + 1, y0, s.x1 - 1, y1, 3, solid(rgb8(252, 253, 255)),
               rgb8(120, 132, 150), 1);
  // inner shadow along the top edge
  for (int x = s.x0 + 3; x < s.x1 - 3; ++x) {
    c.blend(x, int(y1) - 2, rgb8(0, 0, 0), 0.12f);
    c.blend(x, int(y1) - 3, rgb8(0, 0, 0), 0.05f);
  }
}

void popup_button(canvas& c, const sprite& s) {
  float y0 = s.y0 + 1, y1 = s.y1 - 1;
  bordered_box(c, s, s.x0 + 1, y0, s.x1 - 1, y1, 6,
               vgrad(y0, y1, rgb8(22, 38, 58), rgb8(64, 84, 108)), rgb8(8, 16, 28), 1);
  // chevron in the right cap (columns 42..68 of the sprite)
  float cx = s.x0 + 55, cy = (y0 + y1) / 2;
  std::vector<float> tri = {cx - 4.5f, cy + 2.5f, cx + 4.5f, cy + 2.5f, cx, cy - 2.5f};
  fill(c, s.x0, s.y0, s.x1, s.y1, [&](float x, float y) { return sd_polygon(x, y, tri); },
       solid(k_mint));
  // divider before the chevron
  for (int y = s.y0 + 5; y < s.y1 - 5; ++y) {
    c.blend(s.x0 + 45, y, rgb8(0, 0, 0), 0.35f);
    c.blend(s.x0 + 46, y, rgb8(255, 255, 255), 0.12f);
  }
}

// Vertical scroll-bar track: stretched vertically, so shades depend on x only.
void vert_track(canvas& c, const sprite& s) {
  float cx = (s.x0 + s.x1) / 2.0f;
  bordered_box(c, s, cx - 5, s.y0 + 1, cx + 5, s.y1 - 1, 5,
               [&](float x, float) {
                 return mix(rgb8(40, 52, 68), rgb8(70, 84, 102), clamp01((x - cx + 5) / 10));
               },
               rgb8(20, 30, 44), 1);
}

// ---------------------------------------------------------------- nine-slice panels

struct panel_look {
  rgba body;
  rgba border;
  float radius;
  int band;       // height of a dark title band at the top (0 none)
  rgba band_lo, band_hi;
  float shadow;   // drop-shadow opacity
};

// The panel's visible box leaves the outsets (side, bottom, top) for its shadow.
void panel(canvas& c, const sprite& s, int side, int bottom, int top, const panel_look& lk) {
  float bx0 = s.x0 + side, bx1 = s.x1 - side, by0 = s.y0 + bottom, by1 = s.y1 - top;
  if (lk.shadow > 0) {
    float soft = std::min<float>(side, 6);
    shadow_box(c, s, bx0 + 1, by0 - std::min(bottom, 5) + 1.5f, bx1 - 1, by1 - 2, lk.radius + 2,
               soft, lk.shadow);
  }
  float cx = (bx0 + bx1) / 2, cy = (by0 + by1) / 2, hx = (bx1 - bx0) / 2, hy = (by1 - by0) / 2;
  auto sdf = [=](float x, float y) { return sd_round_box(x, y, cx, cy, hx, hy, lk.radius); };
  float band_y = by1 + top - lk.band;  // band measured from the sprite's top
  fill(c, s.x0, s.y0, s.x1, s.y1, sdf, [&](float, float y) {
    if (lk.band > 0 && y >= band_y) return mix(lk.band_lo, lk.band_hi, clamp01((y - band_y) / (by1 - band_y)));
    return lk.body;
  });
  if (lk.band > 0)
    for (int x = int(bx0) + 1; x < int(bx1) - 1; ++x) c.blend(x, int(band_y) - 1, rgb8(0, 0, 0), 0.25f);
  stroke_inside(c, s.x0, s.y0, s.x1, s.y1, sdf, 1, solid(lk.border));
}

void panel_for(canvas& c, const sprite& s) {
  panel_look light{k_panel, k_edge, 6, 0, {}, {}, 0.35f};
  switch (s.kind) {
    case sk_panel_window: {
      panel_look lk{rgb8(236, 239, 243), rgb8(70, 84, 102), 7, 26, rgb8(22, 38, 58),
                    rgb8(58, 78, 102), 0.45f};
      panel(c, s, 9, 14, 4, lk);
      break;
    }
    case sk_panel_window_plain: {
      panel_look lk{rgb8(236, 239, 243), rgb8(96, 110, 128), 7, 26, rgb8(206, 213, 222),
                    rgb8(226, 231, 237), 0.45f};
      panel(c, s, 9, 14, 4, lk);
      break;
    }
    case sk_panel_light:
      panel(c, s, 9, 14, 4, light);
      break;
    case sk_panel_help: {
      panel_look lk{rgb8(20, 34, 52), rgb8(96, 170, 140), 6, 0, {}, {}, 0.45f};
      panel(c, s, 9, 14, 4, lk);
      break;
    }
    case sk_panel_dark: {
      panel_look lk{rgb8(24, 38, 58), rgb8(90, 110, 136), 7, 24, rgb8(14, 26, 42),
                    rgb8(36, 54, 78), 0.45f};
      panel(c, s, 9, 14, 4, lk);
      break;
    }
    case sk_panel_list: {
      panel_look lk{rgb8(250, 251, 253), rgb8(128, 140, 158), 3, 0, {}, {}, 0.0f};
      panel(c, s, 2, 2, 2, lk);
      break;
    }
    case sk_panel_menu: {
      panel_look lk{rgb8(26, 42, 62), rgb8(80, 100, 126), 4, 0, {}, {}, 0.45f};
      panel(c, s, 8, 13, 2, lk);
      break;
    }
    case sk_panel_spare: {
      panel_look lk{rgb8(236, 239, 243), k_edge, 4, 0, {}, {}, 0.35f};
      panel(c, s, 8, 13, 2, lk);
      break;
    }
    case sk_panel_small: {
      panel_look lk{k_panel, k_edge, 5, 0, {}, {}, 0.3f};
      panel(c, s, 6, 9, 4, lk);
      break;
    }
    default:
      break;
  }
}

// ---------------------------------------------------------------- small controls

void close_box(canvas& c, const sprite& s, bool hot) {
  float cx = (s.x0 + s.x1) / 2.0f, cy = (s.y0 + s.y1) / 2.0f;
  auto disc = [=](float x, float y) { return sd_circle(x, y, cx, cy, 7.5f); };
  fill(c, s.x0, s.y0, s.x1, s.y1, disc,
       hot ? vgrad(cy - 8, cy + 8, rgb8(190, 40, 40), rgb8(240, 96, 86))
           : vgrad(cy - 8, cy + 8, rgb8(70, 88, 110), rgb8(110, 128, 150)));
  stroke_inside(c, s.x0, s.y0, s.x1, s.y1, disc, 1, solid(rgb8(8, 16, 28, 0.8f)));
  auto cross = [=](float x, float y) {
    return std::min(sd_segment(x, y, cx - 3, cy - 3, cx + 3, cy + 3, 0.9f),
                    sd_segment(x, y, cx - 3, cy + 3, cx + 3, cy - 3, 0.9f));
  };
  fill(c, s.x0, s.y0, s.x1, s.y1, cross, solid(k_white));
}

void check_box(canvas& c, const sprite& s) {
  float cx = (s.x0 + s.x1) / 2.0f, cy = (s.y0 + s.y1) / 2.0f;
  bordered_box(c, s, cx - 7, cy - 7, cx + 7, cy + 7, 3,
               vgrad(cy - 7, cy + 7, rgb8(226, 231, 238), rgb8(255, 255, 255)),
               rgb8(84, 98, 118), 1);
}

void check_tick(canvas& c, const sprite& s) {
  float cx = (s.x0 + s.x1) / 2.0f, cy = (s.y0 + s.y1) / 2.0f;
  auto tick = [=](float x, float y) {
    return std::min(sd_segment(x, y, cx - 4.5f, cy + 0.5f, cx - 1.5f, cy - 3.0f, 1.3f),
                    sd_segment(x, y, cx - 1.5f, cy - 3.0f, cx + 4.5f, cy + 4.5f, 1.3f));
  };
  fill(c, s.x0, s.y0, s.x1, s.y1, tick, solid(rgb8(24, 120, 84)));
}

void radio(canvas& c, const sprite& s) {
  float cx = (s.x0 + s.x1) / 2.0f, cy = (s.y0 + s.y1) / 2.0f;
  auto disc = [=](float x, float y) { return sd_circle(x, y, cx, cy, 7.5f); };
  fill(c, s.x0, s.y0, s.x1, s.y1, disc,
       vgrad(cy - 7, cy + 7, rgb8(226, 231, 238), rgb8(255, 255, 255)));
  stroke_inside(c, s.x0, s.y0, s.x1, s.y1, disc, 1, solid(rgb8(84, 98, 118)));
}

void radio_dot(canvas& c, const sprite& s) {
  float cx = (s.x0 + s.x1) / 2.0f, cy = (s.y0 + s.y1) / 2.0f;
  fill(c, s.x0, s.y0, s.x1, s.y1, [=](float x, float y) { return sd_circle(x, y, cx, cy, 3.6f); },
       vgrad(cy - 4, cy + 4, rgb8(18, 100, 70), rgb8(50, 160, 115)));
}

// Small rounded key with a triangle pointing up or down; light so that a tint shows.
void arrow_key(canvas& c, const sprite& s, bool up, bool framed) {
  float cx = (s.x0 + s.x1) / 2.0f, cy = (s.y0 + s.y1) / 2.0f;
  float hw = (s.x1 - s.x0) / 2.0f - 1, hh = (s.y1 - s.y0) / 2.0f - 1;
  if (framed)
    bordered_box(c, s, cx - hw, cy - hh, cx + hw, cy + hh, 4,
                 vgrad(cy - hh, cy + hh, rgb8(206, 213, 222), rgb8(246, 248, 251)),
                 rgb8(110, 124, 144), 1);
  float t = up ? 1 : -1;
  std::vector<float> tri = {cx - 4, cy - 2 * t, cx + 4, cy - 2 * t, cx, cy + 3 * t};
  fill(c, s.x0, s.y0, s.x1, s.y1, [&](float x, float y) { return sd_polygon(x, y, tri); },
       solid(framed ? k_slate : rgb8(90, 106, 128)));
}

void scroll_thumb(canvas& c, const sprite& s) {
  float cx = (s.x0 + s.x1) / 2.0f, cy = (s.y0 + s.y1) / 2.0f;
  bordered_box(c, s, cx - 8, cy - 11, cx + 8, cy + 11, 6,
               [=](float x, float) {
                 return mix(rgb8(214, 220, 228), rgb8(250, 251, 253), clamp01((cx + 8 - x) / 16));
               },
               rgb8(96, 110, 130), 1);
  for (int i = -1; i <= 1; ++i)
    for (int x = int(cx) - 4; x < int(cx) + 4; ++x) c.blend(x, int(cy) + 3 * i, rgb8(96, 110, 130), 0.7f);
}

void slider_thumb(canvas& c, const sprite& s) {
  float cx = (s.x0 + s.x1) / 2.0f, cy = s.y0 + 9.0f;
  fill(c, s.x0, s.y0, s.x1, s.y1, [=](float x, float y) { return sd_circle(x, y, cx, cy - 1, 8.5f); },
       solid(rgb8(0, 0, 0, 0.25f)));
  auto disc = [=](float x, float y) { return sd_circle(x, y, cx, cy, 8.0f); };
  fill(c, s.x0, s.y0, s.x1, s.y1, disc, vgrad(cy - 8, cy + 8, rgb8(200, 208, 218), rgb8(255, 255, 255)));
  stroke_inside(c, s.x0, s.y0, s.x1, s.y1, disc, 1, solid(rgb8(84, 98, 118)));
  fill(c, s.x0, s.y0, s.x1, s.y1, [=](float x, float y) { return sd_circle(x, y, cx, cy, 2.5f); },
       solid(rgb8(60, 160, 120)));
}

void tab(canvas& c, const sprite& s, bool on) {
  float y0 = s.y0 + 1, y1 = s.y1 - 1;
  bordered_box(c, s, s.x0 + 2, y0, s.x1 - 2, y1, 6,
               on ? vgrad(y0, y1, rgb8(226, 232, 240), rgb8(255, 255, 255))
                  : vgrad(y0, y1, rgb8(150, 162, 178), rgb8(190, 200, 212)),
               on ? rgb8(84, 100, 122) : rgb8(110, 122, 140), 1);
  if (on)
    for (int x = s.x0 + 8; x < s.x1 - 8; ++x) {
      c.blend(x, int(y0) + 1, k_mint, 1.0f);
      c.blend(x, int(y0) + 2, k_mint, 0.6f);
    }
}

void dial_face(canvas& c, const sprite& s) {
  float cx = (s.x0 + s.x1) / 2.0f, cy = (s.y0 + s.y1) / 2.0f;
  auto ring = [=](float x, float y) { return sd_circle(x, y, cx, cy, 27.0f); };
  // the needle shows through the middle: only the bezel and ticks are opaque
  fill(c, s.x0, s.y0, s.x1, s.y1, [=](float x, float y) {
    float d = ring(x, y);
    return std::max(d, -(d + 4));
  }, vgrad(cy - 27, cy + 27, rgb8(40, 56, 76), rgb8(120, 138, 160)));
  for (int k = 0; k < 12; ++k) {
    float a = k * 3.14159265f / 6;
    float len = (k % 3 == 0) ? 5.0f : 3.0f;
    float ix = cx + std::sin(a) * (22 - len), iy = cy + std::cos(a) * (22 - len);
    float ox = cx + std::sin(a) * 22, oy = cy + std::cos(a) * 22;
    fill(c, s.x0, s.y0, s.x1, s.y1,
         [=](float x, float y) { return sd_segment(x, y, ix, iy, ox, oy, 0.6f); },
         solid(k % 3 == 0 ? k_mint : rgb8(200, 210, 222)));
  }
  fill(c, s.x0, s.y0, s.x1, s.y1, [=](float x, float y) { return sd_circle(x, y, cx, cy, 3.0f); },
       solid(rgb8(40, 56, 76)));
}

void needle(canvas& c, const sprite& s, int look) {
  float cx = (s.x0 + s.x1) / 2.0f, cy = (s.y0 + s.y1) / 2.0f;
  std::vector<float> head = {cx - 3.5f, cy, cx + 3.5f, cy, cx, cy + 19};
  std::vector<float> tail = {cx - 2.5f, cy, cx + 2.5f, cy, cx, cy - 14};
  rgba hc = look == 0 ? rgb8(230, 80, 70) : k_mint;
  fill(c, s.x0, s.y0, s.x1, s.y1, [&](float x, float y) { return sd_polygon(x, y, head); }, solid(hc));
  fill(c, s.x0, s.y0, s.x1, s.y1, [&](float x, float y) { return sd_polygon(x, y, tail); },
       solid(rgb8(220, 226, 234)));
}

// 12 x 12 file-type icons of the file list.
void list_icon(canvas& c, const sprite& s) {
  float x0 = s.x0, y0 = s.y0;
  auto box = [&](float a, float b, float cc, float d, float r) {
    return [=](float x, float y) {
      return sd_round_box(x, y, (a + cc) / 2, (b + d) / 2, (cc - a) / 2, (d - b) / 2, r);
    };
  };
  switch (s.arg) {
    case 1: {  // folder
      fill(c, s.x0, s.y0, s.x1, s.y1, box(x0 + 1, y0 + 8, x0 + 6, y0 + 11, 1), solid(rgb8(214, 160, 60)));
      fill(c, s.x0, s.y0, s.x1, s.y1, box(x0 + 1, y0 + 1, x0 + 11, y0 + 9.5f, 1.2f),
           vgrad(y0 + 1, y0 + 10, rgb8(214, 160, 60), rgb8(246, 204, 110)));
      break;
    }
    default: {  // a document with a coloured band per type
      rgba band = s.arg == 3 ? rgb8(60, 130, 210) : s.arg == 4 ? rgb8(90, 170, 90)
                : s.arg == 5 ? rgb8(210, 90, 70) : s.arg == 9 ? rgb8(150, 110, 200)
                : s.arg == 10 ? rgb8(200, 160, 60) : s.arg == 11 ? rgb8(60, 170, 170)
                : rgb8(120, 130, 145);
      std::vector<float> page = {x0 + 2, y0 + 0.5f, x0 + 10, y0 + 0.5f, x0 + 10, y0 + 8.5f,
                                 x0 + 7, y0 + 11.5f, x0 + 2, y0 + 11.5f};
      fill(c, s.x0, s.y0, s.x1, s.y1, [&](float x, float y) { return sd_polygon(x, y, page); },
           solid(rgb8(250, 250, 252)));
      stroke_inside(c, s.x0, s.y0, s.x1, s.y1,
                    [&](float x, float y) { return sd_polygon(x, y, page); }, 1,
                    solid(rgb8(110, 120, 135)));
      fill(c, s.x0, s.y0, s.x1, s.y1, box(x0 + 3, y0 + 2, x0 + 9, y0 + 5, 0.5f), solid(band));
      break;
    }
  }
}

void folder_icon(canvas& c, const sprite& s) {
  float x0 = s.x0, y0 = s.y0;
  auto box = [&](float a, float b, float cc, float d, float r) {
    return [=](float x, float y) {
      return sd_round_box(x, y, (a + cc) / 2, (b + d) / 2, (cc - a) / 2, (d - b) / 2, r);
    };
  };
  fill(c, s.x0, s.y0, s.x1, s.y1, box(x0 + 2, y0 + 3, x0 + 24, y0 + 20, 2.5f), solid(rgb8(0, 0, 0, 0.25f)));
  fill(c, s.x0, s.y0, s.x1, s.y1, box(x0 + 2, y0 + 17, x0 + 11, y0 + 22, 1.5f), solid(rgb8(196, 140, 44)));
  fill(c, s.x0, s.y0, s.x1, s.y1, box(x0 + 2, y0 + 4, x0 + 24, y0 + 19, 2),
       vgrad(y0 + 4, y0 + 19, rgb8(212, 156, 56), rgb8(250, 210, 120)));
  stroke_inside(c, s.x0, s.y0, s.x1, s.y1, box(x0 + 2, y0 + 4, x0 + 24, y0 + 19, 2), 1,
                solid(rgb8(150, 100, 30)));
}

void submenu_marker(canvas& c, const sprite& s) {
  float cx = (s.x0 + s.x1) / 2.0f, cy = (s.y0 + s.y1) / 2.0f;
  std::vector<float> tri = {cx - 2.5f, cy - 4.5f, cx - 2.5f, cy + 4.5f, cx + 3.5f, cy};
  fill(c, s.x0, s.y0, s.x1, s.y1, [&](float x, float y) { return sd_polygon(x, y, tri); },
       solid(k_mint));
}

void cursor_arrow(canvas& c, const sprite& s, bool up) {
  float cx = (s.x0 + s.x1) / 2.0f, cy = (s.y0 + s.y1) / 2.0f;
  float t = up ? 1 : -1;
  std::vector<float> shape = {cx, cy + 12 * t, cx + 9, cy + 2 * t, cx + 3.5f, cy + 2 * t,
                              cx + 3.5f, cy - 11 * t, cx - 3.5f, cy - 11 * t, cx - 3.5f, cy + 2 * t,
                              cx - 9, cy + 2 * t};
  auto sdf = [&](float x, float y) { return sd_polygon(x, y, shape); };
  fill(c, s.x0, s.y0, s.x1, s.y1, [&](float x, float y) { return sdf(x, y) - 1.2f; }, solid(rgb8(0, 0, 0, 0.9f)));
  fill(c, s.x0, s.y0, s.x1, s.y1, sdf, solid(k_white));
}

void palette_swatches(canvas& c, const sprite& s) {
  for (const palette_pixel& p : k_palette) {
    if (p.x < s.x0 || p.x >= s.x1 || p.y < s.y0 || p.y >= s.y1) continue;
    // a small swatch around the pixel; the pixel itself carries the exact bytes
    for (int y = std::max(s.y0, p.y - 3); y <= std::min(s.y1 - 1, p.y + 3); ++y)
      for (int x = std::max(s.x0, p.x - 3); x <= std::min(s.x1 - 1, p.x + 3); ++x)
        c.set(x, y, rgb8(p.r, p.g, p.b));
  }
}

// ---------------------------------------------------------------- the bitmap font

struct font_params {
  float px = 11.0f;        // pixel size of the face
  float squeeze = 0.92f;   // overall horizontal condensing
};

void font_grid(canvas& c, face& fc, const font_params& fp) {
  for (int r = 0; r < k_rows; ++r)
    for (int col = 0; col < k_cols; ++col) {
      unsigned char ch = k_glyph_map[r][col];
      if (ch == 0) continue;  // the blank cell stays clear
      unsigned code = ch == 0xFB ? 0xB0u : ch;  // cell 0xFB holds a degree sign
      int adv = glyph_advance(ch);
      int room = adv <= 2 ? adv : adv - 1;  // ink width allowed inside the advance
      float sq = fp.squeeze;
      FT_Int32 flags = FT_LOAD_TARGET_NORMAL;  // full hinting: crisper stems at 1:1
      int first = 0, w = 0;
      for (int tries = 0; tries < 12; ++tries) {
        if (!render_glyph(fc, code, fp.px, sq, flags)) break;
        w = ink_width(fc.f->glyph->bitmap, &first);
        if (w <= room) break;
        sq *= std::max(0.6f, float(room) / float(w) * 0.98f);
      }
      FT_GlyphSlot g = fc.f->glyph;
      int cell_x = col * k_cell_w, cell_y = r * k_cell_h;
      int base = cell_y + k_baseline;
      int top = base + g->bitmap_top - 1;
      for (unsigned br = 0; br < g->bitmap.rows; ++br)
        for (int bc = first; bc < first + w; ++bc) {
          int x = cell_x + (bc - first), y = top - int(br);
          if (x < cell_x || x >= cell_x + std::max(adv, 1) || y < cell_y || y >= cell_y + k_cell_h) continue;
          float a = g->bitmap.buffer[br * g->bitmap.pitch + bc] / 255.0f;
          // firm up faint coverage so the small glyphs stay crisp on dark and light alike
          a = std::pow(a, 0.8f);
          if (a > 0.02f) c.set(x, y, rgba{1, 1, 1, a});
        }
    }
}

// ---------------------------------------------------------------- installer panel art

void art_button(canvas& c, face& bold, const sprite& s) {
  int h = 22;
  const char* cap = k_button_captions[s.arg];
  for (int state = 0; state < 3; ++state) {  // 0 normal (top), 1 hover, 2 pressed (bottom)
    sprite st = s;
    st.y0 = s.y0 + (2 - state) * (h + 1);
    st.y1 = st.y0 + h;
    float y0 = st.y0 + 0.5f, y1 = st.y1 - 0.5f;
    rgba top = state == 0 ? rgb8(248, 250, 252) : state == 1 ? rgb8(255, 255, 255) : rgb8(188, 198, 210);
    rgba bot = state == 0 ? rgb8(206, 214, 224) : state == 1 ? rgb8(220, 240, 230) : rgb8(212, 220, 230);
    rgba edge = state == 1 ? rgb8(60, 150, 110) : rgb8(84, 100, 122);
    bordered_box(c, st, st.x0 + 0.5f, y0, st.x1 - 0.5f, y1, 5, vgrad(y0, y1, bot, top), edge, 1);
    if (state != 2)
      for (int x = st.x0 + 5; x < st.x1 - 5; ++x) c.blend(x, st.y1 - 2, k_white, 0.7f);
    float px = 12.0f;
    float cx = (st.x0 + st.x1) / 2.0f + (state == 2 ? 0.5f : 0);
    float base = st.y0 + 7 - (state == 2 ? 1 : 0);
    draw_text_centred(c, bold, cap, cx, base, px, state == 1 ? rgb8(14, 60, 44) : k_ink);
  }
}

void art_logo(canvas& c, face& bold, const sprite& s) {
  float y0 = s.y0 + 1, y1 = s.y1 - 1;
  shadow_box(c, s, s.x0 + 2, y0 - 0.5f, s.x1 - 2, y1 - 1, 9, 2, 0.35f);
  bordered_box(c, s, s.x0 + 1, y0, s.x1 - 1, y1, 9,
               vgrad(y0, y1, rgb8(14, 28, 46), rgb8(52, 78, 108)), rgb8(127, 220, 175, 0.8f), 1);
  // a swept wing across the badge, behind the disc icon
  float cx = (s.x0 + s.x1) / 2.0f;
  std::vector<float> wing = {s.x0 + 8.0f, s.y0 + 44.0f, cx + 6, s.y0 + 60.0f, s.x1 - 8.0f,
                             s.y0 + 64.0f, cx + 2, s.y0 + 52.0f};
  fill(c, s.x0, s.y0, s.x1, s.y1, [&](float x, float y) { return sd_polygon(x, y, wing); },
       solid(rgb8(127, 220, 175, 0.35f)));
  draw_text_centred(c, bold, "VOLARIUM", cx, s.y0 + 4, 10, rgb8(127, 220, 175));
}

void art_disc_icon(canvas& c, const sprite& s) {
  float cx = (s.x0 + s.x1) / 2.0f, cy = (s.y0 + s.y1) / 2.0f;
  fill(c, s.x0, s.y0, s.x1, s.y1, [=](float x, float y) { return sd_circle(x, y, cx + 1, cy - 2, 27); },
       solid(rgb8(0, 0, 0, 0.35f)));
  auto disc = [=](float x, float y) {
    float d = sd_circle(x, y, cx, cy, 27);
    return std::max(d, -sd_circle(x, y, cx, cy, 4.5f));
  };
  fill(c, s.x0, s.y0, s.x1, s.y1, disc, [=](float x, float y) {
    float a = std::atan2(y - cy, x - cx);
    float sheen = 0.5f + 0.5f * std::cos(2 * a + 0.6f);
    float hue = 0.5f + 0.5f * std::sin(3 * a);
    rgba base = mix(rgb8(176, 190, 208), rgb8(245, 248, 252), sheen);
    rgba tint = mix(rgb8(150, 230, 200), rgb8(170, 190, 250), hue);
    return mix(base, tint, 0.25f * sheen);
  });
  stroke_inside(c, s.x0, s.y0, s.x1, s.y1, disc, 1, solid(rgb8(90, 104, 124)));
  auto hub = [=](float x, float y) {
    return std::max(sd_circle(x, y, cx, cy, 11), -sd_circle(x, y, cx, cy, 4.5f));
  };
  fill(c, s.x0, s.y0, s.x1, s.y1, hub, solid(rgb8(210, 218, 228, 0.9f)));
  stroke_inside(c, s.x0, s.y0, s.x1, s.y1, hub, 1, solid(rgb8(120, 132, 150)));
}

void art_banner(canvas& c, const sprite& s) {
  // small nine-slice source: flat middle, a 1-pixel frame and a soft inner edge
  for (int y = s.y0; y < s.y1; ++y)
    for (int x = s.x0; x < s.x1; ++x) {
      int e = std::min(std::min(x - s.x0, s.x1 - 1 - x), std::min(y - s.y0, s.y1 - 1 - y));
      rgba p = rgb8(236, 240, 245, 0.94f);
      if (e == 0) p = rgb8(96, 112, 134);
      else if (e == 1) p = rgb8(255, 255, 255, 0.97f);
      c.set(x, y, p);
    }
}

// ---------------------------------------------------------------- background

float hash2(int x, int y) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return float((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}
float vnoise(float x, float y) {
  int ix = int(std::floor(x)), iy = int(std::floor(y));
  float fx = x - ix, fy = y - iy;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  float a = hash2(ix, iy), b = hash2(ix + 1, iy), cc = hash2(ix, iy + 1), d = hash2(ix + 1, iy + 1);
  return a + (b - a) * fx + (cc - a) * fy + (a - b - cc + d) * fx * fy;
}
float fbm(float x, float y) {
  float v = 0, amp = 0.5f;
  for (int o = 0; o < 5; ++o) {
    v += amp * vnoise(x, y);
    x *= 2.03f;
    y *= 2.03f;
    amp *= 0.5f;
  }
  return v;
}

void background(canvas& c, face& bold, face& regular) {
  const int W = c.width(), H = c.height();
  const float horizon = 250;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      float fx = x + 0.5f, fy = y + 0.5f;
      rgba p;
      if (fy > horizon) {
        float t = clamp01((fy - horizon) / (H - horizon));
        p = mix(rgb8(238, 170, 120), rgb8(120, 160, 205), smooth(0, 0.35f, t));
        p = mix(p, rgb8(28, 52, 92), smooth(0.3f, 1.0f, t));
        // sun glow low on the right
        float g = std::exp(-std::hypot((fx - 760) / 260, (fy - horizon - 30) / 120));
        p = mix(p, rgb8(255, 226, 170), 0.55f * g);
        // clouds
        float cl = fbm(fx / 180, fy / 50);
        float dens = smooth(0.55f, 0.8f, cl) * (1 - smooth(0.6f, 1.0f, t)) * 0.75f;
        rgba cloud = mix(rgb8(255, 236, 220), rgb8(190, 200, 220), clamp01(t * 1.5f));
        p = mix(p, cloud, dens);
      } else {
        // ground: hazy hills fading into the horizon
        float t = clamp01(fy / horizon);
        float ridge1 = horizon - 30 - 40 * fbm(fx / 220, 3.7f);
        float ridge2 = horizon - 90 - 70 * fbm(fx / 160, 9.1f);
        rgba far = mix(rgb8(150, 140, 150), rgb8(226, 170, 130), smooth(0.5f, 1.0f, t));
        rgba mid = rgb8(70, 82, 96);
        rgba near = rgb8(26, 38, 52);
        p = far;
        if (fy < ridge1) p = mix(mid, far, 0.3f * clamp01((fy - ridge2) / 60));
        if (fy < ridge2) p = mix(near, mid, 0.35f * clamp01(fy / ridge2));
        float grain = fbm(fx / 40, fy / 20) - 0.5f;
        p.r += grain * 0.05f;
        p.g += grain * 0.05f;
        p.b += grain * 0.05f;
      }
      p.a = 1;
      c.set(x, y, p);
    }
  // an aircraft climbing out, in silhouette against the glow
  {
    float ax = 700, ay = 420, sc = 1.5f;
    auto P = [&](std::vector<float> v) {
      for (size_t i = 0; i < v.size(); i += 2) {
        float x = v[i], y = v[i + 1];
        float rx = x * 0.97f - y * 0.24f, ry = x * 0.24f + y * 0.97f;  // climb angle
        v[i] = ax + rx * sc;
        v[i + 1] = ay + ry * sc;
      }
      return v;
    };
    std::vector<std::vector<float>> parts = {
        P({-70, -3, 60, -4, 74, 0, 60, 5, -60, 4, -74, 2}),      // fuselage
        P({-8, 1, 18, 1, -12, 46, -22, 46}),                     // far wing
        P({-8, -1, 18, -1, -16, -40, -26, -40}),                 // near wing
        P({-62, 2, -50, 2, -66, 22, -72, 22}),                   // fin
        P({-60, 0, -48, 0, -66, -12, -72, -12}),                 // tailplane
    };
    for (auto& poly : parts)
      fill(c, 0, 0, W, H, [&](float x, float y) { return sd_polygon(x, y, poly); },
           solid(rgb8(24, 30, 44, 0.92f)));
  }
  // the title, across the upper sky
  draw_text(c, bold, "Volarium 9", 144, 470, 64, rgb8(255, 255, 255, 0.92f));
  draw_text(c, regular, "Flight Simulator  \xB7  Installer", 150, 440, 22, rgb8(240, 244, 250, 0.85f));
  // darker strip behind the top panels and the bottom controls, for contrast
  for (int y = 0; y < H; ++y) {
    float a = 0;
    if (y > 586) a = 0.35f * smooth(586, 640, float(y));
    if (y < 110) a = std::max(a, 0.45f * (1 - smooth(70, 110, float(y))));
    if (a > 0)
      for (int x = 0; x < W; ++x) c.blend(x, y, rgb8(8, 16, 28), a);
  }
}

// ---------------------------------------------------------------- output

void write_raw(const std::string& path, const std::vector<uint8_t>& bytes, size_t n) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, n, f) != n) {
    std::fprintf(stderr, "gen_images: cannot write %s\n", path.c_str());
    std::exit(1);
  }
  std::fclose(f);
}

// Upright preview for people: row 0 of the image becomes the last PNG row.
void write_png(const std::string& path, const canvas& c) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, c.width(), c.height(), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> bytes = c.bytes(c.width());
  for (int y = c.height() - 1; y >= 0; --y) png_write_row(png, &bytes[size_t(y) * c.width() * 4]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  std::string out_dir = ".", font_dir = "/usr/share/fonts/truetype/dejavu";
  bool png = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--png") png = true;
    else if (a.rfind("--fonts=", 0) == 0) font_dir = a.substr(8);
    else out_dir = a;
  }
  if (FT_Init_FreeType(&g_ft)) {
    std::fprintf(stderr, "gen_images: FreeType did not start\n");
    return 1;
  }
  face regular = open_face(font_dir + "/DejaVuSans.ttf");
  face bold = open_face(font_dir + "/DejaVuSans-Bold.ttf");

  // 392: the interface sprite sheet.
  canvas sheet(512, 512);
  for (const sprite& s : k_sprites) {
    if (s.sheet != k_sheet) continue;
    switch (s.kind) {
      case sk_bar_dark: bar_dark(sheet, s); break;
      case sk_button_up: button(sheet, s, false); break;
      case sk_button_down: button(sheet, s, true); break;
      case sk_track: track(sheet, s); break;
      case sk_fill: progress_fill(sheet, s); break;
      case sk_slider_track: slider_track(sheet, s); break;
      case sk_slider_fill: slider_fill(sheet, s); break;
      case sk_text_box: text_box(sheet, s); break;
      case sk_popup_button: popup_button(sheet, s); break;
      case sk_vert_track: vert_track(sheet, s); break;
      case sk_panel_window: case sk_panel_window_plain: case sk_panel_light: case sk_panel_help:
      case sk_panel_dark: case sk_panel_list: case sk_panel_menu: case sk_panel_spare:
      case sk_panel_small: panel_for(sheet, s); break;
      case sk_close_box: close_box(sheet, s, false); break;
      case sk_close_box_hot: close_box(sheet, s, true); break;
      case sk_check_box: check_box(sheet, s); break;
      case sk_check_tick: check_tick(sheet, s); break;
      case sk_radio: radio(sheet, s); break;
      case sk_radio_dot: radio_dot(sheet, s); break;
      case sk_vs_up: arrow_key(sheet, s, true, true); break;
      case sk_vs_thumb: scroll_thumb(sheet, s); break;
      case sk_vs_down: arrow_key(sheet, s, false, true); break;
      case sk_hs_thumb: slider_thumb(sheet, s); break;
      case sk_field_down: arrow_key(sheet, s, false, false); break;
      case sk_field_up: arrow_key(sheet, s, true, false); break;
      case sk_tab_on: tab(sheet, s, true); break;
      case sk_tab_off: tab(sheet, s, false); break;
      case sk_dial_face: dial_face(sheet, s); break;
      case sk_needle0: needle(sheet, s, 0); break;
      case sk_needle1: needle(sheet, s, 1); break;
      case sk_list_icon: list_icon(sheet, s); break;
      case sk_folder_icon: folder_icon(sheet, s); break;
      case sk_submenu_marker: submenu_marker(sheet, s); break;
      case sk_cursor_up: cursor_arrow(sheet, s, true); break;
      case sk_cursor_down: cursor_arrow(sheet, s, false); break;
      case sk_palette: palette_swatches(sheet, s); break;
      case sk_font: font_grid(sheet, regular, font_params{}); break;
      default: break;
    }
  }
  // Bars 0 and 1 sample row 512, which wraps to row 0: keep that row clear.
  for (int x = 0; x < 512; ++x) sheet.set(x, 0, {});

  // 393: the installer panel art, stored at the 1024-pixel row spacing of its texture.
  canvas art(1024, 754);
  for (const sprite& s : k_sprites) {
    if (s.sheet != k_panel_art) continue;
    switch (s.kind) {
      case sk_art_button: art_button(art, bold, s); break;
      case sk_art_logo: art_logo(art, bold, s); break;
      case sk_art_icon: art_disc_icon(art, s); break;
      case sk_art_banner: art_banner(art, s); break;
      default: break;
    }
  }

  // 394: the background.
  canvas back(1024, 768);
  background(back, bold, regular);

  write_raw(out_dir + "/t_interface.rgba", sheet.bytes(512), 512u * 512u * 4u);
  write_raw(out_dir + "/t_installer.rgba", art.bytes(1024), 1010u * 764u * 4u);
  write_raw(out_dir + "/t_ins_back_1.rgba", back.bytes(1024), 1024u * 768u * 4u);
  if (png) {
    write_png(out_dir + "/t_interface.png", sheet);
    write_png(out_dir + "/t_installer.png", art);
    write_png(out_dir + "/t_ins_back_1.png", back);
  }
  FT_Done_Face(regular.f);
  FT_Done_Face(bold.f);
  FT_Done_FreeType(g_ft);
  return 0;
}
