// A settings screen's worth of widgets per frame (window background, panels, buttons, check
// boxes, radio buttons, sliders, no text) drawn through the toolkit, which slices every bar
// and panel anew each frame, against the same quads replayed as raw immediate-mode OpenGL.
// Usage (needs a display, e.g. under xvfb-run): bench_widgets [frames (300)]
// Prints milliseconds per frame (best of three alternating rounds) and the ratio raw / ours.
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "gl_frames.h"
#include "ogl/colr.h"
#include "ogl/draw2d.h"
#include "ogl/extensions.h"
#include "ogl/state.h"
#include "platform/window.h"
#include "tex/hard_texes.h"
#include "tex/tman.h"
#include "widgets/butn.h"

namespace {

int g_bools[24];
int g_sliders[2] = {10, 60};
float g_levels[4] = {0.2f, 0.4f, 0.6f, 0.8f};

void draw_screen() {
  BTN_fillwin(1, 1);
  float nx = 0, ny = 0;
  BTN_subwin(30, 13, 20, 60, 480, 620, "", &nx, &ny);
  BTN_subwin(30, 15, nx, 60, 480, 300, "", &nx, &ny);
  BTN_subwin(30, 16, 520, 380, 480, 300, "", nullptr, nullptr);
  for (int i = 0; i < 24; ++i) BTN_bool(60.0f + 200.0f * (i % 2), 600.0f - 22.0f * (i / 2), &g_bools[i], "", i % 3 == 0);
  for (int i = 0; i < 10; ++i) BTN_action(600.0f + 150.0f * (i % 3), 120.0f + 40.0f * (i / 3), 120, i == 4, 0, "", "-");
  BTN_vert_slider(0, 480, 100, 500, 0, 100, &g_sliders[0]);
  BTN_vert_slider(1, 980, 400, 660, 0, 100, &g_sliders[1]);
  for (int i = 0; i < 4; ++i) BTN_horz_slider(560, 600.0f - 40.0f * i, 300, 5 + i, 0, 1, &g_levels[i], 1, "", "");
}

std::vector<BTN_quad> g_recorded;

void record_quad(void*, const BTN_quad& q) { g_recorded.push_back(q); }

void draw_ours() {
  draw_screen();
  OGL_sbuff();
}

// The same quads with the texture bound once per change and the colours looked up directly.
void draw_raw(const std::vector<BTN_quad>& quads) {
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  int tex = -1, col = -1;
  glBegin(GL_QUADS);
  for (const BTN_quad& q : quads) {
    if (q.tex != tex || q.colour != col) {
      glEnd();
      if (q.tex != tex) glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(q.tex));
      glColor3fv(colr.rgb[q.colour]);
      tex = q.tex;
      col = q.colour;
      glBegin(GL_QUADS);
    }
    glTexCoord2f(q.s0, q.t0);
    glVertex2f(q.x0, q.y0);
    glTexCoord2f(q.s0, q.t1);
    glVertex2f(q.x0, q.y1);
    glTexCoord2f(q.s1, q.t1);
    glVertex2f(q.x1, q.y1);
    glTexCoord2f(q.s1, q.t0);
    glVertex2f(q.x1, q.y0);
  }
  glEnd();
  PLAT_gl_swap_current();
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 300;
  if (frames <= 0) {
    std::fprintf(stderr, "usage: bench_widgets [frames > 0]\n");
    return 2;
  }
  PLAT_gl_window win;
  if (!bench_gl::open_window("bench_widgets", &win)) return 1;
  mnw.wind_w = 1024;
  mnw.wind_h = 768;
  mnw.menu_open = -1;
  mnw.tex_res = 5;
  recall_ins_texes();

  BTN_draw_sink sink;
  sink.quad = record_quad;
  BTN_set_draw_sink(&sink);
  draw_screen();
  BTN_set_draw_sink(nullptr);
  const std::vector<BTN_quad> quads = g_recorded;

  bench::Times ours, raw;
  for (int round = 0; round < 5; ++round) {
    OGL_setstate_forget();
    tman.reset_bind();
    ours.s.push_back(bench_gl::ms_per_frame(frames, draw_ours));
    raw.s.push_back(bench_gl::ms_per_frame(frames, [&] { draw_raw(quads); }));
  }
  OGL_setstate_forget();

  std::printf("renderer: %s\n", ren.renderer ? ren.renderer : "?");
  bench::print_ratio(std::to_string(frames) + " frames of 1024 x 768, " + std::to_string(quads.size()) +
                         " widget quads a frame, per frame",
                     ours, "the same quads in raw immediate-mode OpenGL", raw, "ms");
  PLAT_window_close(&win);
  return 0;
}
