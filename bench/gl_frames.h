// Shared by the OpenGL drawing benchmarks: the 1024 x 768 window with the drawing layer's state
// set up as the program sets it, and the time a frame takes.
#pragma once
#include <GL/gl.h>

#include <chrono>
#include <cstdio>

#include "bench_ratio.h"

#include "foundation/records.h"
#include "ogl/draw2d.h"
#include "ogl/extensions.h"
#include "ogl/state.h"
#include "platform/window.h"

namespace bench_gl {

// False, with the reason on standard error, when no OpenGL window can be had.
inline bool open_window(const char* name, PLAT_gl_window* win) {
  if (PLAT_window_open(name, 1024, 768, 0, win) != 0) {
    std::fprintf(stderr, "%s: no OpenGL window: %s\n", name, PLAT_window_error().c_str());
    return false;
  }
  mnw.scr_w = win->width;
  mnw.scr_h = win->height;
  mnw.wind_id = 0;
  glExt.init_extensions();
  OGL_setstate(fog_fals, 0, lit_fals, al_none, deR_fals, deW_fals);
  OGL_pix_specs(0);
  OGL_nrml_colors();
  return true;
}

// Milliseconds per frame over `frames` calls of draw, after a few to warm up.
template <typename F>
double ms_per_frame(int frames, F draw) {
  using Clock = std::chrono::steady_clock;
  for (int i = 0; i < 5; ++i) draw();
  glFinish();
  auto t0 = Clock::now();
  for (int i = 0; i < frames; ++i) draw();
  glFinish();
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / frames;
}

}  // namespace bench_gl
