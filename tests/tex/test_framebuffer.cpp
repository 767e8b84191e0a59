// Render-to-texture on a real context: both paths render a four-colour pattern that is read back
// through the texture, the copy path's halving, depth values, the restored window record, a
// texture loaded elsewhere, and the misuse that must be fatal.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>
#include <vector>

#include "alert_sink.h"
#include "gl_fixture.h"
#include "ogl/extensions.h"
#include "stat_find.h"
#include "tex/framebuffer.h"
#include "tex/scratch.h"
#include "tex/tman.h"

namespace {

constexpr int kTex = 300;  // below the built-in images, which other tests expect unloaded

// Four entries above the light-multiplied range, so they draw exactly as assigned.
constexpr int kRed = 90, kGreen = 91, kBlue = 92, kWhite = 93;

class Framebuffer : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    {
      AlertSink quiet;
      glExt.init_extensions();
    }
    ASSERT_EQ(glExt.framebuf_avail, 1) << "Mesa offers framebuffer objects";
    mnw.tex_res = 5;
    TEX_reset_bind();
    colr.assign(kRed, 1, 0, 0);
    colr.assign(kGreen, 0, 1, 0);
    colr.assign(kBlue, 0, 0, 1);
    colr.assign(kWhite, 1, 1, 1);
    std::memset(scratch_array, 0, 2048 * 2048 * 4);
    GLuint names[2];
    glExt.glGenFramebuffersEXT(1, &names[0]);
    glExt.glGenRenderbuffersEXT(1, &names[1]);
    fbo_ = names[0];
    depth_rb_ = names[1];
  }
  void TearDown() override {
    GLuint f = fbo_, r = depth_rb_;
    glExt.glDeleteFramebuffersEXT(1, &f);
    glExt.glDeleteRenderbuffersEXT(1, &r);
    // The manager as the other tests of this process expect it.
    tman.unload_texture(kTex);
    tman.unload_texture(kTex + 1);
  }

  // Quadrants of w x h: red lower left, green lower right, blue upper left, white upper right.
  static void draw_pattern(int w, int h) {
    OGL_viewport(2);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    OGL_fillrect(kRed, 1, 0, 0, w / 2, h / 2);
    OGL_fillrect(kGreen, 1, w / 2, 0, w - w / 2, h / 2);
    OGL_fillrect(kBlue, 1, 0, h / 2, w / 2, h - h / 2);
    OGL_fillrect(kWhite, 1, w / 2, h / 2, w - w / 2, h - h / 2);
  }
  static std::vector<unsigned char> texels(int tex, int w, int h, int level = 0) {
    glBindTexture(GL_TEXTURE_2D, GLuint(tex));
    TEX_reset_bind();
    std::vector<unsigned char> px(size_t(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return px;
  }
  static void expect_pattern(const std::vector<unsigned char>& px, int w, int h) {
    struct probe {
      int x, y;
      unsigned char r, g, b;
    };
    const probe probes[] = {{1, 1, 255, 0, 0},         {w / 2 - 2, h / 2 - 2, 255, 0, 0},
                            {w / 2 + 1, 1, 0, 255, 0}, {w - 1, h / 2 - 1, 0, 255, 0},
                            {1, h / 2 + 1, 0, 0, 255}, {w / 2 - 1, h - 1, 0, 0, 255},
                            {w / 2, h / 2, 255, 255, 255}, {w - 1, h - 1, 255, 255, 255}};
    for (const probe& p : probes) {
      const unsigned char* t = &px[(size_t(p.y) * w + p.x) * 4];
      EXPECT_EQ(t[0], p.r) << p.x << "," << p.y;
      EXPECT_EQ(t[1], p.g) << p.x << "," << p.y;
      EXPECT_EQ(t[2], p.b) << p.x << "," << p.y;
    }
  }
  static mnw_struct odd_window() {
    mnw.ortho_l = -3.5f;
    mnw.ortho_b = 2.25f;
    mnw.ortho_r = 317.0f;
    mnw.ortho_t = 241.5f;
    mnw.off_x = 37.5f;
    return mnw;
  }
  static void expect_window(const mnw_struct& was) {
    EXPECT_EQ(mnw.ortho_l, was.ortho_l);
    EXPECT_EQ(mnw.ortho_b, was.ortho_b);
    EXPECT_EQ(mnw.ortho_r, was.ortho_r);
    EXPECT_EQ(mnw.ortho_t, was.ortho_t);
    EXPECT_EQ(mnw.off_x, was.off_x);
    EXPECT_EQ(mnw.scr_w, was.scr_w);
    EXPECT_EQ(mnw.scr_h, was.scr_h);
  }
  static GLint bound_framebuffer() {
    GLint b = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &b);
    return b;
  }

  fbo_id fbo_ = 0;
  unsigned long depth_rb_ = 0;
};

}  // namespace

TEST_F(Framebuffer, BothPathsRenderThePatternIntoTheTexture) {
  UTL_stat* flushes = test_support::find_stat("fbo/flush_per_frame");
  ASSERT_NE(flushes, nullptr);
  for (int use_fbo : {1, 0}) {
    SCOPED_TRACE(use_fbo);
    const float flushed = flushes->value;
    OGL_framebuffer fb(kTex + use_fbo, fbo_, tex_col_rgba, 128, 64, use_fbo ? depth_rb_ : 0);
    const mnw_struct was = odd_window();
    fb.begin_render(use_fbo);
    EXPECT_EQ(mnw.scr_w, 128);
    EXPECT_EQ(mnw.scr_h, 64);
    EXPECT_EQ(mnw.ortho_r, 128.0f);
    EXPECT_EQ(mnw.ortho_t, 64.0f);
    EXPECT_EQ(mnw.off_x, 0.0f);
    EXPECT_EQ(bound_framebuffer(), use_fbo ? GLint(fbo_) : 0);
    draw_pattern(128, 64);
    fb.end_render();
    expect_window(was);
    EXPECT_EQ(bound_framebuffer(), 0);
    EXPECT_EQ(flushes->value, flushed + 1.0f);
    EXPECT_EQ(fb.width_used, 128);
    EXPECT_EQ(fb.height_used, 64);
    expect_pattern(texels(kTex + use_fbo, 128, 64), 128, 64);
  }
}

TEST_F(Framebuffer, CopyPathHalvesUntilTheWindowHoldsIt) {
  OGL_framebuffer fb(kTex, fbo_, tex_col_rgba, 1024, 1024, 0);
  const mnw_struct was = odd_window();
  fb.begin_render(0);
  // 320 x 240 window: 1024 -> 512 -> 256 wide, 1024 -> ... -> 128 high.
  EXPECT_EQ(fb.width_used, 256);
  EXPECT_EQ(fb.height_used, 128);
  EXPECT_EQ(mnw.scr_w, 256);
  EXPECT_EQ(mnw.scr_h, 128);
  draw_pattern(256, 128);
  fb.end_render();
  expect_window(was);
  EXPECT_EQ(int(tman.ref_dat[kTex].tex_dx), 256);
  EXPECT_EQ(int(tman.ref_dat[kTex].tex_dy), 128);
  expect_pattern(texels(kTex, 256, 128), 256, 128);
}

TEST_F(Framebuffer, NoFramebufferObjectsMeansTheCopyPath) {
  glExt.framebuf_avail = 0;
  OGL_framebuffer fb(kTex, fbo_, tex_col_rgba, 64, 64, 0);
  fb.begin_render(1);
  EXPECT_EQ(bound_framebuffer(), 0);
  draw_pattern(64, 64);
  fb.end_render();
  glExt.framebuf_avail = 1;
  expect_pattern(texels(kTex, 64, 64), 64, 64);
}

TEST_F(Framebuffer, SecondBeginOfTheSameSizeKeepsTheTexture) {
  OGL_framebuffer fb(kTex, fbo_, tex_col_rgba, 64, 32, 0);
  fb.begin_render(1);
  draw_pattern(64, 32);
  fb.end_render();
  const int loads = tman.loaded_count;
  fb.begin_render(1);  // a reload would bring back the black scratch image
  fb.end_render();
  EXPECT_EQ(tman.loaded_count, loads);
  expect_pattern(texels(kTex, 64, 32), 64, 32);

  fb.set_render_size(32, 32);  // a new size makes a new texture and attaches it
  fb.begin_render(1);
  draw_pattern(32, 32);
  fb.end_render();
  EXPECT_EQ(int(tman.ref_dat[kTex].tex_dx), 32);
  expect_pattern(texels(kTex, 32, 32), 32, 32);
}

TEST_F(Framebuffer, ATextureLoadedElsewhereIsStillAttached) {
  // Another user made the same number at the same size: the slot looks ready, but nothing is
  // attached to this framebuffer yet.
  scratch_dx = 64;
  scratch_dy = 64;
  tman.load_texture(tex_fail_fatal, kTex, tex_col_rgba | 0x1500, tex_loaded, "scratch_array-other");
  OGL_framebuffer fb(kTex, fbo_, tex_col_rgba, 64, 64, 0);
  fb.begin_render(1);
  EXPECT_EQ(glExt.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
  draw_pattern(64, 64);
  fb.end_render();
  expect_pattern(texels(kTex, 64, 64), 64, 64);

  // A second framebuffer object over the same texture attaches it too.
  GLuint other = 0;
  glExt.glGenFramebuffersEXT(1, &other);
  OGL_framebuffer fb2(kTex, other, tex_col_rgba, 64, 64, 0);
  fb2.begin_render(1);
  EXPECT_EQ(glExt.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
  OGL_viewport(2);
  glClearColor(0, 1, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  fb2.end_render();
  glExt.glDeleteFramebuffersEXT(1, &other);
  const auto px = texels(kTex, 64, 64);
  EXPECT_EQ(px[0], 0);
  EXPECT_EQ(px[1], 255);
}

TEST_F(Framebuffer, DepthTextureHoldsTheDepthsDrawn) {
  {
    // The same number and size as a colour texture first: the depth one must replace it.
    OGL_framebuffer colour(kTex, fbo_, tex_col_rgba, 64, 64, 0);
    colour.begin_render(1);
    colour.end_render();
  }
  OGL_framebuffer fb(kTex, fbo_, tex_col_depth, 64, 64, 0);
  fb.begin_render(1);
  GLint draw = -1;
  glGetIntegerv(GL_DRAW_BUFFER, &draw);
  EXPECT_EQ(draw, GL_NONE);
  OGL_viewport(2);
  OGL_setstate(fog_fals, 0, lit_fals, al_none, deR_true, deW_true);
  glDepthFunc(GL_LESS);
  glClearDepth(1.0);
  glClear(GL_DEPTH_BUFFER_BIT);
  // Orthographic depth -1..1: z 0.5 lands at depth 0.25, z -0.5 at 0.75.
  glBegin(GL_QUADS);
  glVertex3f(0, 0, 0.5f);
  glVertex3f(32, 0, 0.5f);
  glVertex3f(32, 64, 0.5f);
  glVertex3f(0, 64, 0.5f);
  glVertex3f(32, 0, -0.5f);
  glVertex3f(64, 0, -0.5f);
  glVertex3f(64, 32, -0.5f);
  glVertex3f(32, 32, -0.5f);
  glEnd();
  OGL_setstate(fog_fals, 0, lit_fals, al_none, deR_fals, deW_fals);
  fb.end_render();
  glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glBindTexture(GL_TEXTURE_2D, kTex);
  TEX_reset_bind();
  std::vector<float> depth(64 * 64, -1.0f);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  EXPECT_NEAR(depth[10 * 64 + 10], 0.25f, 0.01f);
  EXPECT_NEAR(depth[10 * 64 + 50], 0.75f, 0.01f);
  EXPECT_NEAR(depth[50 * 64 + 50], 1.0f, 0.001f) << "cleared and not drawn";
}

TEST_F(Framebuffer, MipmapsAreMadeFromTheRendering) {
  OGL_framebuffer fb(kTex, fbo_, tex_col_rgba | tex_mipmap, 64, 64, 0);
  fb.begin_render(1);
  OGL_viewport(2);
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  fb.end_render();
  const auto level2 = texels(kTex, 16, 16, 2);
  EXPECT_EQ(level2[0], 0);
  EXPECT_EQ(level2[2], 255) << "level 2 follows the rendered level 0";
}

using FramebufferDeathTest = Framebuffer;

TEST_F(FramebufferDeathTest, IncompleteAndUnpairedAreFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // The owner left a colour attachment without storage on its framebuffer.
        GLuint rb = 0;
        glExt.glGenRenderbuffersEXT(1, &rb);
        glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, rb);
        glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
        glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo_);
        glExt.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_RENDERBUFFER_EXT, rb);
        glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        OGL_framebuffer fb(kTex, fbo_, tex_col_rgba, 64, 64, 0);
        fb.begin_render(1);
      },
      testing::ExitedWithCode(1), "ERROR: incomplete framebuffer.");
  EXPECT_EXIT(
      {
        OGL_framebuffer fb(kTex, fbo_, tex_col_rgba, 64, 64, 0);
        fb.begin_render(1);
        fb.begin_render(1);
      },
      testing::ExitedWithCode(1), "begin_render was called again");
  EXPECT_EXIT(
      {
        OGL_framebuffer fb(kTex, fbo_, tex_col_rgba, 64, 64, 0);
        fb.begin_render(0);
        fb.end_render();
        fb.end_render();
      },
      testing::ExitedWithCode(1), "end_render was called without begin_render");
}
