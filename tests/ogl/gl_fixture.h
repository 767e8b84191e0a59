// A real window with a compatibility OpenGL context for the tests that draw or read OpenGL
// state. Opened once per process; every test starts from the same drawing state.
#pragma once
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <vector>

#include "foundation/records.h"
#include "ogl/colr.h"
#include "ogl/draw2d.h"
#include "ogl/state.h"
#include "platform/window.h"

class GLTest : public ::testing::Test {
 protected:
  static constexpr int kW = 320;
  static constexpr int kH = 240;

  static PLAT_gl_window& window() {
    static PLAT_gl_window w;
    return w;
  }

  void SetUp() override {
    PLAT_gl_window& w = window();
    if (!w.win) {
      ASSERT_EQ(PLAT_window_open("ogl tests", kW, kH, 0, &w), 0)
          << "no OpenGL window (run under xvfb-run): " << PLAT_window_error();
    }
    PLAT_gl_make_current(&w, w.ctx);
    ASSERT_EQ(w.width, kW);
    ASSERT_EQ(w.height, kH);
    mnw = mnw_struct{};
    mnw.scr_w = w.width;
    mnw.scr_h = w.height;
    mnw.wind_id = 0;
    ren.global_alpha = 1.0f;
    ren.monochrome = 0;
    ren.max_tex_units = 2;
    colr = colr_class{};
    OGL_setstate_forget();
    num_units = 1;
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glReadBuffer(GL_BACK);
    glDrawBuffer(GL_BACK);
    OGL_pix_specs(0);
    OGL_nrml_colors();
  }

  // Clears the back buffer to black.
  static void clear() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }

  // The back buffer, RGB bytes, row 0 at the bottom.
  static std::vector<unsigned char> read_back() {
    glFinish();
    std::vector<unsigned char> px(static_cast<size_t>(kW) * kH * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kW, kH, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return px;
  }

  static const unsigned char* at(const std::vector<unsigned char>& px, int x, int y) {
    return &px[(static_cast<size_t>(y) * kW + x) * 3];
  }

  // Pixels whose red, green or blue is not zero, as a bounding box; false when there are none.
  static bool lit_box(const std::vector<unsigned char>& px, int* x0, int* y0, int* x1, int* y1,
                      int* count) {
    *x0 = *y0 = 1 << 30;
    *x1 = *y1 = -1;
    *count = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const unsigned char* p = at(px, x, y);
        if (p[0] | p[1] | p[2]) {
          ++*count;
          if (x < *x0) *x0 = x;
          if (y < *y0) *y0 = y;
          if (x > *x1) *x1 = x;
          if (y > *y1) *y1 = y;
        }
      }
    return *count > 0;
  }
};
