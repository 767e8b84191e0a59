// Bitmap-font text: glyph cells of the interface sheet, proportional advances, one-line and
// wrapped drawing, and number formatting. Glyph tables are indexed by the byte as unsigned.
#include "ogl/text.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "foundation/alert.h"
#include "foundation/records.h"
#include "ogl/draw2d.h"
#include "ogl/state.h"
#include "sprite_table.h"

oglp_struct oglp;

namespace {

struct glyph_tables {
  unsigned char col[256] = {};
  unsigned char row[256] = {};
  unsigned char adv[256] = {};
  // Filled from the layout the image generator paints the glyph grid with.
  glyph_tables() {
    for (int r = 0; r < hard_tex::k_rows; ++r)
      for (int c = 0; c < hard_tex::k_cols; ++c) {
        if (r == 0 && c == 0) continue;  // the blank cell
        unsigned char ch = hard_tex::k_glyph_map[r][c];
        col[ch] = static_cast<unsigned char>(c);
        row[ch] = static_cast<unsigned char>(r);
      }
    for (int ch = 0; ch < 256; ++ch)
      adv[ch] = static_cast<unsigned char>(hard_tex::glyph_advance(static_cast<unsigned char>(ch)));
  }
};

const glyph_tables& tables() {
  static const glyph_tables t;
  return t;
}

// Binds a texture through whatever the drawing layer binds with (the texture manager).
void bind_font(int tex) {
  OGL_bind_hook_fn hook = OGL_set_bind_hook(nullptr);
  OGL_set_bind_hook(hook);
  if (hook) hook(tex, 0, 0);
  else glBindTexture(GL_TEXTURE_2D, GLuint(tex));
}

float round_away(float v) { return std::round(v); }

// Calls line(text) for each line the text wraps into at wrap_width, with the fixed advance adv
// (0: the proportional one). A break (space, '-', '/') ends a line when the next word would not
// fit by the estimate of 6 pixels a character; it stays at the end of the line it ends.
template <class Line>
void wrap_lines(const std::string& text, float wrap_width, int adv, Line line_done) {
  auto is_break = [](unsigned char c) { return c == ' ' || c == '-' || c == '/'; };
  std::string line;
  float lx = 0;
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    line += static_cast<char>(c);
    lx += adv > 0 ? adv : tables().adv[c];
    bool ends = c == '\n' || i + 1 == n;
    if (!ends && is_break(c)) {
      float e = lx;
      if (!is_break(static_cast<unsigned char>(text[i + 1])))
        for (size_t j = i + 1; j < n && !is_break(static_cast<unsigned char>(text[j])); ++j) e += 6;
      ends = e > wrap_width;
    }
    if (ends) {
      line_done(line);
      line.clear();
      lx = 0;
    }
  }
}

}  // namespace

int OGL_char_width(unsigned char c) { return tables().adv[c]; }

int OGL_str_width(const std::string& text) {
  int w = 0;
  for (char ch : text) w += tables().adv[static_cast<unsigned char>(ch)];
  return w;
}

std::vector<std::string> OGL_wrapped_lines(const std::string& text, float wrap_width) {
  std::vector<std::string> lines;
  wrap_lines(text, wrap_width, 0, [&](const std::string& line) { lines.push_back(line); });
  return lines;
}

void OGL_glyph_cell(unsigned char c, int* col, int* row) {
  *col = tables().col[c];
  *row = tables().row[c];
}

int OGL_strtex(int charset, int col, float* cell_x0, float* cell_y0, float* cell_w, float* cell_h) {
  int tex, adv;
  float w, h;
  switch (charset) {
    case charset_UI_diff_space: tex = 392; w = 14; h = 15; adv = 0; break;
    case charset_UI_fixed: tex = 392; w = 14; h = 15; adv = 10; break;
    case charset_UI_menus_KOR: tex = 396; w = 13; h = 13; adv = 15; break;
    default:
      __ZARIRU_alert(0, "String proc with bad charset!", "", "", "", 2, "DUdurid/OOPS_cpp/oglp", 494);
      return 0;
  }
  OGL_setstate(fog_fals, 1, lit_fals, al_blend, deR_fals, deW_fals);
  OGL_set_colour(col, 1.0f);
  bind_font(tex);
  *cell_x0 = 0;
  *cell_y0 = 0;
  *cell_w = w;
  *cell_h = h;
  return adv;
}

void OGL_char(float x, float y, float cell_x0, float cell_y0, float cell_w, float cell_h, int code,
              int charset) {
  const float gx = std::trunc(x), gy = std::trunc(y) - 4;
  float ox, oy;
  if (charset == charset_UI_menus_KOR) {
    if (code < 0) return;  // no glyph art for these codes
    ox = cell_x0 + (code % 40) * cell_w;
    oy = cell_y0 + (code / 40) * cell_h;
  } else {
    const unsigned char b = static_cast<unsigned char>(code);
    ox = cell_x0 + tables().col[b] * cell_w;
    oy = cell_y0 + tables().row[b] * cell_h;
  }
  const float s = ox / 512, t = oy / 512, ds = cell_w / 512, dt = cell_h / 512;
  float w = cell_w, h = cell_h;
  if (oglp.text_scale > 1.0f) {
    w *= oglp.text_scale;
    h *= oglp.text_scale;
  }
  glTexCoord2f(s, t);
  glVertex2f(gx, gy);
  glTexCoord2f(s, t + dt);
  glVertex2f(gx, gy + h);
  glTexCoord2f(s + ds, t + dt);
  glVertex2f(gx + w, gy + h);
  glTexCoord2f(s + ds, t);
  glVertex2f(gx + w, gy);
}

void str_one_line(int col, float x, float y, const std::string& text, int charset, int align) {
  float cx = 0, cy = 0, cw = 0, ch = 0;
  const int adv = OGL_strtex(charset, col, &cx, &cy, &cw, &ch);
  if (cw == 0) return;  // bad charset, already reported
  const int W = OGL_str_width(text);
  if (align == 1) x -= 0.5f * W;
  else if (align == 2) x -= W;
  glBegin(GL_QUADS);
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b == 13 || b == 10 || b == 9) continue;
    OGL_char(x, y, cx, cy, cw, ch, static_cast<signed char>(b), charset);
    x += adv > 0 ? adv : tables().adv[b];
  }
  glEnd();
}

float OGL_string(int col, float x, float y, const std::string& text, float wrap_width, int charset,
                 int align) {
  float cx = 0, cy = 0, cw = 0, ch = 0;
  const int adv = OGL_strtex(charset, col, &cx, &cy, &cw, &ch);
  const float x0 = round_away(x + mnw.wind_x);
  float line_y = round_away(y + mnw.wind_y - 2);
  if (wrap_width <= 0 || wrap_width >= 9999) {
    str_one_line(col, x0, line_y, text, charset, align);
    return line_y - mnw.wind_y + 2;
  }
  wrap_lines(text, wrap_width, adv, [&](const std::string& line) {
    str_one_line(col, x0, line_y, line, charset, align);
    line_y -= OGL_line_step;
  });
  return line_y - mnw.wind_y + 2;
}

void OGL_number(int col, float x, float y, float value, int digits, int decimals, int charset) {
  if (std::isnan(value) || std::isinf(value)) {
    // Not a number to format: a fixed text instead of garbage digits.
    OGL_string(col, x, y, std::isnan(value) ? "NaN" : (value < 0 ? "-Inf" : "Inf"), 9999,
               charset == charset_UI_fixed ? charset_UI_diff_space : charset, 0);
    return;
  }
  const float a = std::fabs(value);
  const float scaled = a * std::pow(10.0f, float(decimals));
  const double rounded = double(scaled) + 0.5;
  auto digit_at = [rounded](int place) {  // place counted from 0 for units
    double d = std::fmod(std::floor(rounded / std::pow(10.0, place)), 10.0);
    return d < 0 ? 0 : int(d);
  };
  if (charset == charset_UI_fixed) {
    float cx = 0, cy = 0, cw = 0, ch = 0;
    const int adv = OGL_strtex(charset, col, &cx, &cy, &cw, &ch);
    float X = round_away(x + mnw.wind_x) - adv;
    const float Y = round_away(y + mnw.wind_y) - 2;
    glBegin(GL_QUADS);
    if (value < 0 && scaled > 0.1f) OGL_char(X + 1, Y, cx, cy, cw, ch, '-', charset);
    const int k = digits - decimals;
    if (decimals > 0) OGL_char(X + (k + 0.5f) * adv, Y, cx, cy, cw, ch, '.', charset);
    if (k > 3) OGL_char(X + (k - 3 + 0.5f) * adv, Y, cx, cy, cw, ch, ',', charset);
    if (k > 6) OGL_char(X + (k - 6 + 0.5f) * adv, Y, cx, cy, cw, ch, ',', charset);
    if (k > 9) OGL_char(X + (k - 9 + 0.5f) * adv, Y, cx, cy, cw, ch, ',', charset);
    for (int place = std::min(digits, 11) - 1; place >= 0; --place) {
      X += adv;
      OGL_char(X, Y, cx, cy, cw, ch, '0' + digit_at(place), charset);
    }
    glEnd();
    return;
  }
  int n = 1;
  static const double limits[] = {9, 99, 999, 9999, 99999, 999999, 9999999, 1e8, 1e9};
  for (double lim : limits)
    if (scaled > lim) ++n;
  if (n < decimals + 1) n = decimals + 1;
  std::string text = (value < 0 && scaled > 0.1f) ? "-" : "";
  if (n > digits) {
    double m = a;
    int e = 2;
    while (m >= 999) {
      m /= 10;
      ++e;
    }
    const long long k = std::llround(m);
    text += char('0' + (k / 100) % 10);
    text += '.';
    text += char('0' + (k / 10) % 10);
    text += char('0' + k % 10);
    text += 'x';
    text += std::to_string(e);  // two-digit exponents print in full
  } else {
    int q = digits - decimals;
    const int whole = digits - decimals;
    for (int p = digits; p >= 1; --p) {
      if (p == decimals && whole > 0) text += '.';
      if ((q == 3 && whole > 3) || (q == 6 && whole > 6) || (q == 9 && whole > 9)) text += ',';
      text += char('0' + digit_at(p - 1));
      --q;
    }
  }
  OGL_string(col, x, y, text, 9999, charset, 0);
}

void OGL_gray_string(int col, float x, float y, std::string text) {
  const float h = OGL_str_width(text) / 2.0f;
  OGL_grayrect(x - h - 2, y - 2, x + h + 2, y + 8, 0.5f);
  OGL_string(col, x - h, y, text, 9999, charset_UI_diff_space, 0);
}
