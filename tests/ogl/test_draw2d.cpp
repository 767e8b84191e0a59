// The 2-D primitives, read back from the back buffer before any swap.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/globals.h"

#include "gl_fixture.h"
#include "log_capture.h"

namespace {

class Draw2D : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    clear();
  }
  static void current_colour(float* c) { glGetFloatv(GL_CURRENT_COLOR, c); }
  static int lit_in_row(const std::vector<unsigned char>& px, int y, int* first, int* last) {
    int n = 0;
    *first = -1;
    *last = -1;
    for (int x = 0; x < kW; ++x) {
      const unsigned char* p = at(px, x, y);
      if (p[0] | p[1] | p[2]) {
        if (*first < 0) *first = x;
        *last = x;
        ++n;
      }
    }
    return n;
  }
};

std::vector<int> hook_calls;
void record_bind(int tex, int unit, int mode) {
  hook_calls.insert(hook_calls.end(), {tex, unit, mode});
}

}  // namespace

TEST_F(Draw2D, PixelLayoutOfTheWindow) {
  mnw.scr_w = 1280;
  mnw.scr_h = 1024;
  mnw.wind_id = -1;
  OGL_pix_specs(0);
  EXPECT_EQ(mnw.off_x, 0.0f);
  EXPECT_EQ(mnw.off_y, 256.0f);
  EXPECT_EQ(mnw.cent_x, 640.0f);
  EXPECT_EQ(mnw.cent_y, 384.0f);
  EXPECT_EQ(mnw.ortho_r, 1280.0f);
  EXPECT_EQ(mnw.ortho_t, 1024.0f);
  EXPECT_EQ(mnw.pix_scale, 1.0f);
  EXPECT_EQ(mnw.pix_scale2, 1.0f);
  mnw.wind_id = 0;
  OGL_pix_specs(0);
  EXPECT_EQ(mnw.off_x, 128.0f);
  GLint vp[4];
  glGetIntegerv(GL_VIEWPORT, vp);
  EXPECT_EQ(vp[2], 1280) << "the viewport follows the window record";

  mnw.scr_w = 800;
  mnw.scr_h = 600;
  OGL_pix_specs(0);
  EXPECT_EQ(mnw.off_x, 0.0f);
  EXPECT_EQ(mnw.off_y, 0.0f);
}

TEST_F(Draw2D, RectangleCoversExactlyItsPixels) {
  OGL_fillrect(0, 1.0f, 10, 20, 30, 15);
  auto px = read_back();
  int x0, y0, x1, y1, n;
  ASSERT_TRUE(lit_box(px, &x0, &y0, &x1, &y1, &n));
  EXPECT_EQ(x0, 10);
  EXPECT_EQ(y0, 20);
  EXPECT_EQ(x1, 39);
  EXPECT_EQ(y1, 34);
  EXPECT_EQ(n, 30 * 15);
  EXPECT_EQ(at(px, 10, 20)[0], 255);
}

TEST_F(Draw2D, SubWindowOriginAndBackground) {
  mnw.wind_x = 100;
  mnw.wind_y = 50;
  OGL_fillrect(0, 1.0f, 0, 0, 10, 10);
  auto px = read_back();
  int x0, y0, x1, y1, n;
  ASSERT_TRUE(lit_box(px, &x0, &y0, &x1, &y1, &n));
  EXPECT_EQ(x0, 100);
  EXPECT_EQ(y0, 50);
  EXPECT_EQ(x1, 109);
  EXPECT_EQ(y1, 59);

  colr.assign(34, 0.0f, 0.0f, 1.0f);
  OGL_plot_back_col();
  px = read_back();
  ASSERT_TRUE(lit_box(px, &x0, &y0, &x1, &y1, &n));
  EXPECT_EQ(n, kW * kH);
  EXPECT_EQ(at(px, 0, 0)[2], 255);
  EXPECT_EQ(at(px, kW - 1, kH - 1)[2], 255);
  EXPECT_EQ(at(px, 105, 55)[0], 0) << "the background is opaque";
}

TEST_F(Draw2D, FrameAndLineWidths) {
  OGL_framerect(0, 1.0f, 10, 10, 20, 12);
  auto px = read_back();
  int x0, y0, x1, y1, n;
  ASSERT_TRUE(lit_box(px, &x0, &y0, &x1, &y1, &n));
  EXPECT_EQ(x0, 10);
  EXPECT_EQ(x1, 30);
  EXPECT_EQ(y0, 10);
  EXPECT_EQ(y1, 22);
  // Every edge is whole between the corners (a corner may fall to the rasteriser's end rule).
  for (int x = 11; x <= 29; ++x) {
    EXPECT_NE(at(px, x, 10)[0], 0) << x;
    EXPECT_NE(at(px, x, 22)[0], 0) << x;
  }
  for (int y = 11; y <= 21; ++y) {
    EXPECT_NE(at(px, 10, y)[0], 0) << y;
    EXPECT_NE(at(px, 30, y)[0], 0) << y;
  }
  EXPECT_EQ(at(px, 20, 16)[0], 0) << "an outline only";
  EXPECT_GE(n, 2 * 21 + 2 * 13 - 8);
  EXPECT_LE(n, 2 * 21 + 2 * 13 - 4);

  clear();
  OGL_line(0, 1.0f, 5, 7, 25, 7);
  px = read_back();
  int first, last;
  EXPECT_GE(lit_in_row(px, 7, &first, &last), 20);
  EXPECT_EQ(first, 5);
  EXPECT_GE(last, 24);
  EXPECT_LE(last, 25);
  ASSERT_TRUE(lit_box(px, &x0, &y0, &x1, &y1, &n));
  EXPECT_EQ(y0, 7);
  EXPECT_EQ(y1, 7);
}

TEST_F(Draw2D, ColourRule) {
  colr.lite[0] = colr.lite[1] = colr.lite[2] = 0.5f;
  colr.assign(45, 1, 1, 1);
  colr.assign(46, 1, 1, 1);
  OGL_fillrect(45, 1.0f, 0, 0, 10, 10);
  OGL_fillrect(46, 1.0f, 20, 0, 10, 10);
  auto px = read_back();
  EXPECT_NEAR(at(px, 5, 5)[0], 128, 1) << "below 46 the light multipliers apply";
  EXPECT_EQ(at(px, 25, 5)[0], 255) << "from 46 on they do not";

  float c[4];
  OGL_set_colour(46, 0.995f);
  current_colour(c);
  EXPECT_EQ(c[3], 1.0f) << "above 0.99 the colour is sent opaque";
  OGL_set_colour(46, 0.99f);
  current_colour(c);
  EXPECT_FLOAT_EQ(c[3], 0.99f);
  ren.global_alpha = 0.5f;
  OGL_set_colour(46, 1.0f);
  current_colour(c);
  EXPECT_FLOAT_EQ(c[3], 0.5f);
  ren.global_alpha = 1.0f;

  // Opacity blends over what is there.
  clear();
  OGL_fillrect(46, 0.5f, 0, 0, 10, 10);
  OGL_fillrect(46, 0.995f, 20, 0, 10, 10);
  px = read_back();
  EXPECT_NEAR(at(px, 5, 5)[0], 128, 2);
  EXPECT_EQ(at(px, 25, 5)[0], 255);

  ren.monochrome = 1;
  colr.assign(60, 0.2f, 0.3f, 0.4f);
  OGL_set_colour(60, 1.0f);
  current_colour(c);
  EXPECT_EQ(c[0], 0.0f);
  EXPECT_FLOAT_EQ(c[1], 0.9f);
  EXPECT_EQ(c[2], 0.0f);
  OGL_set_colour(46, 1.0f);
  current_colour(c);
  EXPECT_EQ(c[1], 1.0f);
  OGL_set_colour(34, 1.0f);  // black
  current_colour(c);
  EXPECT_FLOAT_EQ(c[1], 0.01f);
  ren.monochrome = 0;
}

TEST_F(Draw2D, Scissors) {
  mnw.wind_x = 5;
  OGL_scissors(10, 10, 20, 20);
  EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
  OGL_fillrect(0, 1.0f, -5, 0, kW, kH);
  auto px = read_back();
  int x0, y0, x1, y1, n;
  ASSERT_TRUE(lit_box(px, &x0, &y0, &x1, &y1, &n));
  EXPECT_EQ(x0, 15);
  EXPECT_EQ(x1, 34);
  EXPECT_EQ(y0, 10);
  EXPECT_EQ(y1, 29);
  EXPECT_EQ(n, 400);

  clear();
  OGL_scissors(10, 10, -4, 20);
  OGL_fillrect(0, 1.0f, -5, 0, kW, kH);
  px = read_back();
  EXPECT_FALSE(lit_box(px, &x0, &y0, &x1, &y1, &n)) << "an empty scissor clips everything";

  OGL_scissors_end();
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

TEST_F(Draw2D, TexturedQuadAndClockwiseOrder) {
  // A 2 x 2 texture: red, green / blue, white.
  const unsigned char texels[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
  const GLuint name = 77;
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glBindTexture(GL_TEXTURE_2D, 0);

  // The shell culls counter-clockwise faces: the quads are sent clockwise.
  glEnable(GL_CULL_FACE);
  glFrontFace(GL_CW);
  glCullFace(GL_BACK);
  OGL_2dquad(name, 0, 1.0f, 10, 10, 0, 0, 10, 50, 0, 1, 50, 50, 1, 1, 50, 10, 1, 0, 1, al_none);
  auto px = read_back();
  EXPECT_EQ(at(px, 15, 15)[0], 255);
  EXPECT_EQ(at(px, 15, 15)[1], 0);
  EXPECT_EQ(at(px, 45, 15)[1], 255);
  EXPECT_EQ(at(px, 15, 45)[2], 255);
  EXPECT_EQ(at(px, 45, 45)[0], 255);
  EXPECT_EQ(at(px, 45, 45)[2], 255);
  EXPECT_EQ(at(px, 55, 15)[0], 0);

  // Tinted, and texture 0 keeps the bound one.
  colr.assign(60, 0.0f, 1.0f, 1.0f);
  clear();
  OGL_2dquad(0, 60, 1.0f, 10, 10, 0, 0, 10, 50, 0, 1, 50, 50, 1, 1, 50, 10, 1, 0, 1, al_none);
  px = read_back();
  EXPECT_EQ(at(px, 45, 45)[0], 0);
  EXPECT_EQ(at(px, 45, 45)[1], 255);
  EXPECT_EQ(at(px, 45, 15)[1], 255);

  clear();
  OGL_fillrect(0, 1.0f, 60, 60, 5, 5);
  px = read_back();
  EXPECT_EQ(at(px, 62, 62)[0], 255) << "untextured after a textured quad, still clockwise";
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

  clear();
  OGL_2dquad_d(name, 0, 1.0f, 100, 100, 0, 0, 40, 40, 1, 1, al_none);
  px = read_back();
  EXPECT_EQ(at(px, 105, 105)[0], 255);
  EXPECT_EQ(at(px, 135, 135)[2], 255);
  glDisable(GL_CULL_FACE);
}

TEST_F(Draw2D, BindHook) {
  hook_calls.clear();
  EXPECT_EQ(OGL_set_bind_hook(record_bind), nullptr);
  OGL_2dquad(418, 0, 1.0f, 0, 0, 0, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 0, 1, 0, 1, al_blend);
  OGL_2dquad(392, 0, 1.0f, 0, 0, 0, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 0, 1, 0, 1, al_blend);
  OGL_2dquad(0, 0, 1.0f, 0, 0, 0, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 0, 1, 0, 1, al_blend);
  OGL_2dquad(-3, 0, 1.0f, 0, 0, 0, 0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 0, 1, 0, 1, al_blend);
  EXPECT_EQ(hook_calls, (std::vector<int>{418, 0, 17, 392, 0, 0}));
  EXPECT_EQ(OGL_set_bind_hook(nullptr), record_bind);
}

TEST_F(Draw2D, Circles) {
  OGL_fillcircle(0, 50, 50, 5);
  auto px = read_back();
  int x0, y0, x1, y1, n;
  ASSERT_TRUE(lit_box(px, &x0, &y0, &x1, &y1, &n));
  EXPECT_NE(at(px, 50, 50)[0], 0);
  EXPECT_GE(x0, 45);
  EXPECT_LE(x1, 56);
  EXPECT_GE(y0, 45);
  EXPECT_LE(y1, 55);
  int first, last;
  lit_in_row(px, 50, &first, &last);
  EXPECT_EQ(first, 45);

  clear();
  OGL_fillcircle(0, 50, 50, -1);
  OGL_arc(0, 50, 50, 10, 5, 0, 90);  // inverted radii: nothing
  px = read_back();
  EXPECT_FALSE(lit_box(px, &x0, &y0, &x1, &y1, &n));

  // A quarter ring from up (0 degrees) clockwise to the right (90 degrees).
  OGL_arc(0, 100, 100, 20, 22, 0, 90);
  px = read_back();
  ASSERT_TRUE(lit_box(px, &x0, &y0, &x1, &y1, &n));
  EXPECT_GE(x0, 100);
  EXPECT_GE(y0, 100);
  EXPECT_LE(x1, 123);
  EXPECT_LE(y1, 123);

  clear();
  OGL_framecircle(0, 100, 100, 30);
  px = read_back();
  ASSERT_TRUE(lit_box(px, &x0, &y0, &x1, &y1, &n));
  EXPECT_NEAR(x0, 70, 1);
  EXPECT_NEAR(x1, 130, 1);
  EXPECT_EQ(at(px, 100, 100)[0], 0);
}

TEST_F(Draw2D, GrayRectUsesCornersAndColour12) {
  colr.assign(12, 0, 1, 0);
  mnw.wind_x = 3;
  OGL_grayrect(10, 10, 30, 20, 1.0f);
  auto px = read_back();
  int x0, y0, x1, y1, n;
  ASSERT_TRUE(lit_box(px, &x0, &y0, &x1, &y1, &n));
  EXPECT_EQ(x0, 13);
  EXPECT_EQ(x1, 32);
  EXPECT_EQ(y1, 19);
  EXPECT_EQ(at(px, 20, 15)[1], 255);
}

TEST_F(Draw2D, SpectrumAndFrameEnd) {
  float c[4];
  OGL_spectrum_rgb(-1);
  current_colour(c);
  EXPECT_EQ(c[0] + c[1] + c[2], 0.0f);
  OGL_spectrum_rgb(2);
  current_colour(c);
  EXPECT_FLOAT_EQ(c[0], 0.8f);
  EXPECT_FLOAT_EQ(c[1], 0.0f);
  EXPECT_FLOAT_EQ(c[2], 0.8f);
  OGL_spectrum_rgb(0.5f);
  current_colour(c);
  EXPECT_FLOAT_EQ(c[0], 1.0f);
  EXPECT_FLOAT_EQ(c[1], 1.0f);
  EXPECT_NEAR(c[2], 0.0f, 1e-6);
  ren.global_alpha = 0.25f;
  OGL_spectrum_rgb(0.25f);
  current_colour(c);
  EXPECT_FLOAT_EQ(c[3], 0.25f);
  ren.global_alpha = 1.0f;

  OGL_sbuff();
  current_colour(c);
  EXPECT_EQ(c[0], 1.0f);
  EXPECT_EQ(c[1], 1.0f);
  ren.monochrome = 1;
  OGL_sbuff();
  current_colour(c);
  EXPECT_EQ(c[0], 0.0f);
  EXPECT_EQ(c[1], 1.0f);
  ren.monochrome = 0;
}

TEST_F(Draw2D, BlendModes) {
  OGL_glow_colors();
  GLint src = 0, dst = 0;
  glGetIntegerv(GL_BLEND_SRC, &src);
  glGetIntegerv(GL_BLEND_DST, &dst);
  EXPECT_EQ(src, GL_SRC_ALPHA);
  EXPECT_EQ(dst, GL_ONE);
  OGL_fillrect(0, 0.5f, 0, 0, 4, 4);
  OGL_fillrect(0, 0.5f, 0, 0, 4, 4);
  auto px = read_back();
  EXPECT_GE(at(px, 1, 1)[0], 254) << "additive: two halves make white";
  OGL_nrml_colors();
  glGetIntegerv(GL_BLEND_DST, &dst);
  EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
}

TEST_F(Draw2D, FrameEndMarksTheProfile) {
  LogCapture capture;
  mnw.profiling = 1;
  OGL_sbuff();
  mnw.profiling = 0;
  OGL_sbuff();
  const std::string log = capture.text();
  size_t sb1 = log.find("sb1=");
  size_t sb2 = log.find("sb2=");
  ASSERT_NE(sb1, std::string::npos) << log;
  ASSERT_NE(sb2, std::string::npos) << log;
  EXPECT_LT(sb1, sb2);
  EXPECT_EQ(log.find("sb1=", sb1 + 1), std::string::npos) << "no marks while profiling is off";
}
