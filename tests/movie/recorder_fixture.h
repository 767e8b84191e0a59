// A window with the program's drawing state for the recorder's tests and its child program:
// colour bars drawn into the back buffer, and frames recorded with the simulated time stepped
// by hand.
#pragma once
#include <GL/gl.h>
#include <GL/glext.h>

#include "alert_sink.h"
#include "foundation/records.h"
#include "foundation/xtim.h"
#include "movie/qtim.h"
#include "movie_test_util.h"
#include "ogl/draw2d.h"
#include "ogl/extensions.h"
#include "ogl/state.h"
#include "platform/window.h"
#include "tex/hard_texes.h"

namespace movtest {

// Opens the window once per process; 0 on success.
inline int open_window(int w, int h, PLAT_gl_window* win) {
  if (PLAT_window_open("movie tests", w, h, 0, win) != 0) return -1;
  mnw.scr_w = win->width;
  mnw.scr_h = win->height;
  mnw.wind_id = 0;
  {
    AlertSink quiet;  // a software renderer is worth an alert to users, not to tests
    glExt.init_extensions();
  }
  OGL_setstate(fog_fals, 0, lit_fals, al_none, deR_fals, deW_fals);
  OGL_pix_specs(0);
  OGL_nrml_colors();
  recall_ins_texes();  // the recording label's glyphs
  return 0;
}

// The bars of kBars over the whole back buffer: the upper two thirds in order, the lower third
// reversed (window coordinates, y up).
inline void draw_bars() {
  OGL_setstate(fog_fals, 0, lit_fals, al_none, deR_fals, deW_fals);
  glViewport(0, 0, mnw.scr_w, mnw.scr_h);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, mnw.scr_w, 0, mnw.scr_h, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(0.5f, 0.5f, 0.5f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  const int w = mnw.scr_w, h = mnw.scr_h, split = h / 3;
  for (int i = 0; i < 8; ++i) {
    const int x0 = i * w / 8, x1 = (i + 1) * w / 8;
    const auto& up = kBars[size_t(i)];
    const auto& low = kBars[size_t(7 - i)];
    glColor3ub(GLubyte(up[0]), GLubyte(up[1]), GLubyte(up[2]));
    glRecti(x0, split, x1, h);
    glColor3ub(GLubyte(low[0]), GLubyte(low[1]), GLubyte(low[2]));
    glRecti(x0, 0, x1, split);
  }
}

// One frame of the program: the screen drawn, the simulated time stepped, the recorder polled.
// Waits for the compressor so that every frame finds a free record. Returns the poll's result.
inline int frame(float step) {
  draw_bars();
  xtim.sim_time += step;
  int r = qtim.mov_per_frame();
  MOV_wait_for_compressor();
  return r;
}

}  // namespace movtest
