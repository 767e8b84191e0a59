// The 2-D primitives: one glBegin/glEnd per primitive, state through the cache, colours through
// the colour rule, every vertex offset by the current sub-window origin.
#include "ogl/draw2d.h"

#include <GL/gl.h>

#include <cmath>

#include "foundation/records.h"
#include "foundation/xtim.h"
#include "ogl/camera.h"
#include "ogl/colr.h"
#include "ogl/state.h"
#include "platform/window.h"

const float st00[2] = {0, 0}, st01[2] = {0, 1}, st10[2] = {1, 0}, st11[2] = {1, 1};

namespace {

void bind_direct(int tex, int unit, int /*mode*/) {
  if (unit != 0) glActiveTexture(GL_TEXTURE0 + unit);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(tex));
  if (unit != 0) glActiveTexture(GL_TEXTURE0);
}

OGL_bind_hook_fn g_bind = bind_direct;

void untextured(int alpha_code = al_blend) {
  OGL_setstate(fog_fals, 0, lit_fals, alpha_code, deR_fals, deW_fals);
}

// Sine and cosine of each whole degree 0..360, as the start-up tables hold them.
struct degree_tables {
  float s[361], c[361];
  degree_tables() {
    for (int d = 0; d <= 360; ++d) {
      double a = d * M_PI / 180.0;
      s[d] = static_cast<float>(std::sin(a));
      c[d] = static_cast<float>(std::cos(a));
    }
  }
};
const degree_tables& degrees() {
  static const degree_tables t;
  return t;
}

}  // namespace

OGL_bind_hook_fn OGL_set_bind_hook(OGL_bind_hook_fn hook) {
  OGL_bind_hook_fn old = g_bind;
  g_bind = hook ? hook : bind_direct;
  return old == bind_direct ? nullptr : old;
}

void OGL_pix_specs(int) {
  mnw.pix_scale2 = 1.0f;
  mnw.pix_scale = 1.0f;
  mnw.ortho_l = 0.0f;
  mnw.ortho_b = 0.0f;
  mnw.ortho_r = static_cast<float>(mnw.scr_w);
  mnw.ortho_t = static_cast<float>(mnw.scr_h);
  mnw.off_y = std::fmax(static_cast<float>(mnw.scr_h - 768), 0.0f);
  mnw.off_x = std::fmax(static_cast<float>(mnw.scr_w - 1024) * 0.5f, 0.0f);
  if (mnw.wind_id == -1) mnw.off_x = 0.0f;
  mnw.cent_x = static_cast<float>(mnw.scr_w) * 0.5f;
  mnw.cent_y = 384.0f;
  if (mnw.wind_id >= 0) OGL_viewport(2);
}

void OGL_viewport(int mode, float proj_left, float view_left, float proj_bottom, float view_bottom,
                  float proj_right, float view_right, float near, float proj_top, float view_top,
                  float far, float zoom, int keep_aspect) {
  if (mode == 2) {
    proj_left = mnw.ortho_l;
    proj_right = mnw.ortho_r;
    proj_bottom = mnw.ortho_b;
    proj_top = mnw.ortho_t;
    view_left = 0.0f;
    view_bottom = 0.0f;
    view_right = static_cast<float>(mnw.scr_w);
    view_top = static_cast<float>(mnw.scr_h);
  } else if (mode == 3) {
    proj_left *= near;
    proj_bottom *= near;
    proj_right *= near;
    proj_top *= near;
    view_left *= mnw.pix_scale;
    view_right *= mnw.pix_scale;
    view_bottom *= mnw.pix_scale;
    view_top *= mnw.pix_scale;
  }
  if (keep_aspect) {
    float k = (view_top - view_bottom) / (view_right - view_left);
    proj_bottom *= k;
    proj_top *= k;
  }
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  if (mode == 2)
    xcam.SetupOrtho(proj_left / zoom, proj_right / zoom, proj_bottom / zoom, proj_top / zoom, -1, 1);
  else if (mode == 3)
    xcam.SetupFrustum(proj_left / zoom, proj_right / zoom, proj_bottom / zoom, proj_top / zoom, near, far);
  glViewport(static_cast<GLint>(view_left), static_cast<GLint>(view_bottom),
             static_cast<GLsizei>(view_right - view_left), static_cast<GLsizei>(view_top - view_bottom));
  xcam.Identity();
  glLoadMatrixd(xcam.projection);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(xcam.modelview);
  xcam.modelview_stale = 0;
}

void OGL_screensize(int mode, float left, float bottom, float right, float top) {
  if (mode == 2) {
    glViewport(0, 0, mnw.scr_w, mnw.scr_h);
    return;
  }
  if (mode == 3) {
    left *= mnw.pix_scale;
    bottom *= mnw.pix_scale;
    right *= mnw.pix_scale;
    top *= mnw.pix_scale;
  }
  glViewport(static_cast<GLint>(left), static_cast<GLint>(bottom), static_cast<GLsizei>(right - left),
             static_cast<GLsizei>(top - bottom));
}

void OGL_set_colour(int col, float alpha) {
  // An index outside the table is drawn in colour 0 rather than read out of bounds.
  if (col < 0 || col >= colr_class::kColours) col = 0;
  float rgb[3] = {colr.rgb[col][0], colr.rgb[col][1], colr.rgb[col][2]};
  if (col < 46)
    for (int i = 0; i < 3; ++i) rgb[i] *= colr.lite[i];
  float a = alpha * ren.global_alpha;
  if (ren.monochrome) {
    float g = rgb[0] + rgb[1] + rgb[2];
    if (g < 0.01f) g = 0.01f;
    if (g > 1.0f) g = 1.0f;
    rgb[0] = rgb[2] = 0.0f;
    rgb[1] = g;
  }
  // Compared in single precision, so that an opacity of exactly 0.99 stays translucent.
  if (a > 0.99f) glColor3fv(rgb);
  else glColor4f(rgb[0], rgb[1], rgb[2], a);
}

void OGL_fillrect(int col, float alpha, float x, float y, float w, float h) {
  untextured();
  OGL_set_colour(col, alpha);
  x += mnw.wind_x;
  y += mnw.wind_y;
  glBegin(GL_QUADS);
  glVertex2f(x, y);
  glVertex2f(x, y + h);
  glVertex2f(x + w, y + h);
  glVertex2f(x + w, y);
  glEnd();
}

void OGL_framerect(int col, float alpha, float x, float y, float w, float h) {
  untextured();
  OGL_set_colour(col, alpha);
  float X = x + mnw.wind_x + 0.5f, Y = y + mnw.wind_y + 0.5f;
  glBegin(GL_LINE_LOOP);
  glVertex2f(X, Y);
  glVertex2f(X, Y + h);
  glVertex2f(X + w, Y + h);
  glVertex2f(X + w, Y);
  glEnd();
}

void OGL_line(int col, float alpha, float x1, float y1, float x2, float y2) {
  untextured();
  OGL_set_colour(col, alpha);
  glBegin(GL_LINES);
  glVertex2f(x1 + mnw.wind_x + 0.5f, y1 + mnw.wind_y + 0.5f);
  glVertex2f(x2 + mnw.wind_x + 0.5f, y2 + mnw.wind_y + 0.5f);
  glEnd();
}

void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha) {
  untextured();
  OGL_set_colour(12, alpha);
  const float ox = mnw.wind_x, oy = mnw.wind_y;
  glBegin(GL_QUADS);
  glVertex2f(x1 + ox, y1 + oy);
  glVertex2f(x1 + ox, y2 + oy);
  glVertex2f(x2 + ox, y2 + oy);
  glVertex2f(x2 + ox, y1 + oy);
  glEnd();
}

void OGL_fillcircle(int col, float x, float y, float r) {
  if (r < 0.0f) return;
  for (float dy = -r; dy <= r; dy += 1.0f) {
    // Rounding can push r*r - dy*dy just below zero at the rim.
    float half = std::sqrt(std::fmax(r * r - dy * dy, 0.0f));
    OGL_line(col, 1.0f, x - half, y + dy, x + half, y + dy);
  }
}

void OGL_framecircle(int col, float x, float y, float r) {
  untextured(al_none);
  OGL_set_colour(col, 1.0f);
  const degree_tables& t = degrees();
  const float cx = x + mnw.wind_x + 0.5f, cy = y + mnw.wind_y + 0.5f;
  glBegin(GL_LINE_STRIP);
  for (int d = 0; d <= 360; d += 5) glVertex2f(cx + r * t.s[d], cy + r * t.c[d]);
  glEnd();
}

void OGL_arc(int col, float x, float y, float r1, float r2, float d1, float d2) {
  if (r2 < r1) return;
  const float k = static_cast<float>(M_PI) / 180.0f;
  for (float r = r1; r <= r2; r += 1.0f) {
    float px = x + r * sinf(d1 * k), py = y + r * cosf(d1 * k);
    if (d2 < d1) continue;
    for (float d = d1; d <= d2; d += 1.0f) {
      float qx = x + r * sinf(d * k), qy = y + r * cosf(d * k);
      OGL_line(col, 1.0f, px, py, qx, qy);
      px = qx;
      py = qy;
    }
  }
}

void OGL_2dquad(int tex, int col, float alpha, float x1, float y1, float s1, float t1, float x2,
                float y2, float s2, float t2, float x3, float y3, float s3, float t3, float x4,
                float y4, float s4, float t4, int units, int alpha_mode) {
  OGL_setstate(fog_fals, units, lit_fals, alpha_mode, deR_fals, deW_fals);
  if (tex > 0) g_bind(tex, 0, tex == 418 ? 17 : 0);
  OGL_set_colour(col, alpha);
  const float ox = mnw.wind_x, oy = mnw.wind_y;
  glBegin(GL_QUADS);
  glTexCoord2f(s1, t1);
  glVertex2f(x1 + ox, y1 + oy);
  glTexCoord2f(s2, t2);
  glVertex2f(x2 + ox, y2 + oy);
  glTexCoord2f(s3, t3);
  glVertex2f(x3 + ox, y3 + oy);
  glTexCoord2f(s4, t4);
  glVertex2f(x4 + ox, y4 + oy);
  glEnd();
}

void OGL_2dquad_d(int tex, int col, float alpha, float x, float y, float s, float t, float w,
                  float h, float ds, float dt, int alpha_mode) {
  OGL_setstate(fog_fals, 1, lit_fals, alpha_mode, deR_fals, deW_fals);
  if (tex > 0) g_bind(tex, 0, 0);
  OGL_set_colour(col, alpha);
  x += mnw.wind_x;
  y += mnw.wind_y;
  glBegin(GL_QUADS);
  glTexCoord2f(s, t);
  glVertex2f(x, y);
  glTexCoord2f(s, t + dt);
  glVertex2f(x, y + h);
  glTexCoord2f(s + ds, t + dt);
  glVertex2f(x + w, y + h);
  glTexCoord2f(s + ds, t);
  glVertex2f(x + w, y);
  glEnd();
}

void OGL_plot_back_col() {
  OGL_fillrect(34, 1.0f, -mnw.wind_x, -mnw.wind_y, static_cast<float>(mnw.scr_w),
               static_cast<float>(mnw.scr_h));
}

void OGL_scissors(float x, float y, float w, float h) {
  const float X = x + mnw.wind_x, Y = y + mnw.wind_y, s = mnw.pix_scale;
  int width = static_cast<int>((X + w) * s - X * s);
  int height = static_cast<int>((Y + h) * s - Y * s);
  if (width <= 0) width = 0;
  if (height <= 0) height = 0;
  glEnable(GL_SCISSOR_TEST);
  glScissor(static_cast<GLint>(X * s), static_cast<GLint>(Y * s), width, height);
}

void OGL_scissors_end() { glDisable(GL_SCISSOR_TEST); }

void OGL_nrml_colors() { glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); }
void OGL_glow_colors() { glBlendFunc(GL_SRC_ALPHA, GL_ONE); }

void OGL_spectrum_rgb(float f) {
  static const float col_r[7] = {0, 1, 1, 1, 0, 0, 0.8f};
  static const float col_g[7] = {0, 0, 0.32f, 1, 1, 0, 0};
  static const float col_b[7] = {0, 0, 0.08f, 0, 0, 1, 0.8f};
  static const float bounds[5] = {1.0f / 6.0f, 1.0f / 3.0f, 0.5f, 2.0f / 3.0f, 5.0f / 6.0f};
  float r, g, b;
  if (f < 0.0f) {
    r = col_r[0];
    g = col_g[0];
    b = col_b[0];
  } else {
    if (f > 1.0f) f = 1.0f;
    int i = 0;
    while (i < 5 && f >= bounds[i]) ++i;
    float start = i == 0 ? 0.0f : bounds[i - 1];
    float u = (f - start) * 6.0f;
    r = (1.0f - u) * col_r[i] + u * col_r[i + 1];
    g = (1.0f - u) * col_g[i] + u * col_g[i + 1];
    b = (1.0f - u) * col_b[i] + u * col_b[i + 1];
  }
  if (ren.monochrome) {
    g = r + g + b;
    if (g < 0.01f) g = 0.01f;
    else if (g > 1.0f) g = 1.0f;
    r = b = 0.0f;
  }
  glColor4f(r, g, b, ren.global_alpha);
}

void OGL_sbuff() {
  if (ren.monochrome) glColor4f(0.0f, 1.0f, 0.0f, ren.global_alpha);
  else glColor4f(1.0f, 1.0f, 1.0f, ren.global_alpha);
  xtim.profile_chart("sb1", 0);
  PLAT_gl_swap_current();
  xtim.profile_chart("sb2", 0);
}
