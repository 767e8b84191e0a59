// The widget unit's drawing seam: OpenGL through the 2-D layer, or a test's recording sink.
#include "btn_draw.h"

#include <GL/gl.h>

#include <cmath>

#include "foundation/records.h"
#include "ogl/draw2d.h"
#include "ogl/state.h"
#include "ogl/text.h"
#include "tex/tman.h"

namespace {
const BTN_draw_sink* g_sink = nullptr;
int g_tex = 0, g_colour = 0;
}  // namespace

const BTN_draw_sink* BTN_set_draw_sink(const BTN_draw_sink* sink) {
  const BTN_draw_sink* old = g_sink;
  g_sink = sink;
  return old;
}

namespace btn_draw {

float sheet_scale(int tex) { return tex == t_installer ? 1.0f / 1024.0f : 1.0f / 512.0f; }

bool to_sink() { return g_sink != nullptr; }

float text_y(int colour, float x, float y, const std::string& s, float wrap, int charset, int align) {
  if (g_sink) {
    if (g_sink->text) g_sink->text(g_sink->ctx, colour, x, y, s, wrap, charset, align);
    return y;
  }
  return OGL_string(colour, x, y, s, wrap, charset, align);
}

void framerect(int colour, float alpha, float x, float y, float w, float h) {
  if (g_sink) {
    if (!g_sink->line) return;
    const float x1 = x + w, y1 = y + h;
    g_sink->line(g_sink->ctx, colour, alpha, x, y, x1, y);
    g_sink->line(g_sink->ctx, colour, alpha, x1, y, x1, y1);
    g_sink->line(g_sink->ctx, colour, alpha, x1, y1, x, y1);
    g_sink->line(g_sink->ctx, colour, alpha, x, y1, x, y);
    return;
  }
  OGL_framerect(colour, alpha, x, y, w, h);
}

void begin(int tex, int colour) {
  g_tex = tex;
  g_colour = colour;
  if (g_sink) return;
  OGL_setstate(fog_fals, 1, lit_fals, al_blend, deR_fals, deW_fals);
  tman.bind_ref(tex, 0, 0);
  OGL_set_colour(colour, 1.0f);
  glBegin(GL_QUADS);
}

void piece(float x0, float y0, float x1, float y1, float sx0, float sy0, float sx1, float sy1) {
  const float k = sheet_scale(g_tex);
  const float s0 = sx0 * k, t0 = sy0 * k, s1 = sx1 * k, t1 = sy1 * k;
  if (g_sink) {
    if (g_sink->quad) g_sink->quad(g_sink->ctx, BTN_quad{g_tex, g_colour, x0, y0, x1, y1, s0, t0, s1, t1});
    return;
  }
  const float ox = mnw.wind_x, oy = mnw.wind_y;
  glTexCoord2f(s0, t0);
  glVertex2f(x0 + ox, y0 + oy);
  glTexCoord2f(s0, t1);
  glVertex2f(x0 + ox, y1 + oy);
  glTexCoord2f(s1, t1);
  glVertex2f(x1 + ox, y1 + oy);
  glTexCoord2f(s1, t0);
  glVertex2f(x1 + ox, y0 + oy);
}

void end() {
  if (!g_sink) glEnd();
}

void sprite(int colour, float x0, float y0, float x1, float y1, float sx0, float sy0, float sx1,
            float sy1) {
  const float k = sheet_scale(t_interface);
  const float s0 = sx0 * k, t0 = sy0 * k, s1 = sx1 * k, t1 = sy1 * k;
  if (g_sink) {
    if (g_sink->quad)
      g_sink->quad(g_sink->ctx, BTN_quad{t_interface, colour, x0, y0, x1, y1, s0, t0, s1, t1});
    return;
  }
  OGL_2dquad(t_interface, colour, 1.0f, x0, y0, s0, t0, x0, y1, s0, t1, x1, y1, s1, t1, x1, y0, s1,
             t0, 1, al_blend);
}

void turned_sprite(int colour, float cx, float cy, float half_w, float half_h, float degrees, float sx0,
                   float sy0, float sx1, float sy1) {
  const float k = sheet_scale(t_interface);
  const float s0 = sx0 * k, t0 = sy0 * k, s1 = sx1 * k, t1 = sy1 * k;
  const double a = static_cast<double>(degrees) * (M_PI / 180.0);
  const float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  // Lower left, upper left, upper right, lower right, as an unturned sprite is sent.
  const float dx[4] = {-half_w, -half_w, half_w, half_w}, dy[4] = {-half_h, half_h, half_h, -half_h};
  float xy[8];
  for (int i = 0; i < 4; ++i) {
    xy[2 * i] = cx + dx[i] * c - dy[i] * s;
    xy[2 * i + 1] = cy + dx[i] * s + dy[i] * c;
  }
  if (g_sink) {
    if (g_sink->turned)
      g_sink->turned(g_sink->ctx,
                     BTN_quad{t_interface, colour, cx - half_w, cy - half_h, cx + half_w, cy + half_h, s0, t0, s1, t1},
                     xy);
    return;
  }
  OGL_2dquad(t_interface, colour, 1.0f, xy[0], xy[1], s0, t0, xy[2], xy[3], s0, t1, xy[4], xy[5], s1, t1, xy[6],
             xy[7], s1, t0, 1, al_blend);
}

void text(int colour, float x, float y, const std::string& s, float wrap, int charset, int align) {
  if (g_sink) {
    if (g_sink->text) g_sink->text(g_sink->ctx, colour, x, y, s, wrap, charset, align);
    return;
  }
  OGL_string(colour, x, y, s, wrap, charset, align);
}

void swap() {
  if (g_sink) {
    if (g_sink->swap) g_sink->swap(g_sink->ctx);
    return;
  }
  OGL_sbuff();
}

}  // namespace btn_draw

namespace btn_draw {

void fillrect(int colour, float alpha, float x, float y, float w, float h) {
  if (g_sink) {
    if (g_sink->rect) g_sink->rect(g_sink->ctx, colour, alpha, x, y, w, h);
    return;
  }
  OGL_fillrect(colour, alpha, x, y, w, h);
}

void line(int colour, float alpha, float x1, float y1, float x2, float y2) {
  if (g_sink) {
    if (g_sink->line) g_sink->line(g_sink->ctx, colour, alpha, x1, y1, x2, y2);
    return;
  }
  OGL_line(colour, alpha, x1, y1, x2, y2);
}

void scissors(float x, float y, float w, float h) {
  if (g_sink) {
    if (g_sink->scissors) g_sink->scissors(g_sink->ctx, x, y, w, h);
    return;
  }
  OGL_scissors(x, y, w, h);
}

void scissors_end() {
  if (g_sink) {
    if (g_sink->scissors_end) g_sink->scissors_end(g_sink->ctx);
    return;
  }
  OGL_scissors_end();
}

std::string number_cells(double value, int digits, int decimals) {
  if (!std::isfinite(value) || digits <= 0) return {};
  const double scaled = std::fabs(value) * std::pow(10.0, decimals);
  if (scaled >= 9.0e15) return {};
  long long n = std::llround(scaled);
  std::string cells(static_cast<size_t>(digits), '0');
  for (int i = digits - 1; i >= 0 && n > 0; --i, n /= 10) cells[static_cast<size_t>(i)] = char('0' + n % 10);
  return cells;
}

void number(int colour, float x, float y, double value, int digits, int decimals, int charset) {
  const std::string cells = number_cells(value, digits, decimals);
  if (g_sink) {
    if (g_sink->number) g_sink->number(g_sink->ctx, colour, x, y, value, digits, decimals, charset, cells);
    return;
  }
  // The fixed charset puts one digit per 10-pixel cell; the sign, point and group marks sit
  // between cells, where the text layer would put them.
  if (charset != charset_UI_fixed || cells.empty() || digits > 11) {
    OGL_number(colour, x, y, static_cast<float>(value), digits, decimals, charset);
    return;
  }
  const int whole = digits - decimals;
  const bool nonzero = cells.find_first_not_of('0') != std::string::npos;
  if (value < 0 && nonzero) OGL_string(colour, x - 9.0f, y, "-", 9999.0f, charset, 0);
  if (decimals > 0) OGL_string(colour, x + 10.0f * whole - 5.0f, y, ".", 9999.0f, charset, 0);
  for (int g = 3; g < whole; g += 3)
    OGL_string(colour, x + 10.0f * (whole - g) - 5.0f, y, ",", 9999.0f, charset, 0);
  OGL_string(colour, x, y, cells, 9999.0f, charset, 0);
}

}  // namespace btn_draw
