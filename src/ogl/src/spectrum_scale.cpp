// The colour spectrum drawn as a scale: 250 points from its low end to its high end.
#include <GL/gl.h>

#include <cmath>

#include "foundation/records.h"
#include "ogl/colr.h"
#include "ogl/state.h"
#include "ogl/text.h"

int colr_class::spectrum_plotscale_entry(float lo, float hi, int i) {
  const float range = hi - lo;
  // Equal ends, a NaN or an infinite end leave nothing to divide by: the bottom entry.
  if (!(range != 0.0f) || !std::isfinite(range)) return 0;
  float v = range / 999.0f * static_cast<float>(i) + lo;
  v = std::fmin(std::fmax(v, std::fmin(lo, hi)), std::fmax(lo, hi));
  const float f = (v - lo) / range * 1000.0f;
  // Clamped before the cast, so the conversion is always defined.
  if (!(f > 0.0f)) return 0;
  if (f >= 999.0f) return 999;
  return static_cast<int>(f);
}

void colr_class::spectrum_plotscale(float x, float y, float lo, float hi, int decimals) {
  plot_hi = hi;
  OGL_number(0, x + 4.0f, y + 1000.0f - 4.0f, hi, 5, decimals, charset_UI_diff_space);
  plot_lo = lo;
  OGL_number(0, x + 4.0f, y - 4.0f, lo, 5, decimals, charset_UI_diff_space);
  plot_range = hi - lo;
  OGL_setstate(fog_fals, 0, lit_fals, al_blend, deR_fals, deW_fals);
  glPointSize(4.0f);
  glBegin(GL_POINTS);
  // The points sit in the current sub-window like the numbers beside them.
  const float px = x + mnw.wind_x, py = y + mnw.wind_y;
  for (int i = 0; i < 1000; i += 4) {
    glColor3fv(spectrum[spectrum_plotscale_entry(lo, hi, i)]);
    glVertex2f(px, py + static_cast<float>(i));
  }
  glEnd();
  glPointSize(1.0f);
}
