// The render-state cache against glIsEnabled, with every OpenGL call it makes recorded.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gl_fixture.h"

namespace {

std::vector<std::string> calls;
OGL_state_calls real;

std::string cap_name(GLenum cap) {
  switch (cap) {
    case GL_FOG: return "FOG";
    case GL_TEXTURE_2D: return "TEX";
    case GL_LIGHTING: return "LIGHTING";
    case GL_LIGHT0: return "LIGHT0";
    case GL_BLEND: return "BLEND";
    case GL_ALPHA_TEST: return "ALPHA";
    case GL_DEPTH_TEST: return "DEPTH";
    default: return std::to_string(cap);
  }
}

void rec_enable(GLenum c) {
  calls.push_back("+" + cap_name(c));
  real.enable(c);
}
void rec_disable(GLenum c) {
  calls.push_back("-" + cap_name(c));
  real.disable(c);
}
GLboolean rec_is_enabled(GLenum c) {
  calls.push_back("?" + cap_name(c));
  return real.is_enabled(c);
}
void rec_active(GLenum unit) {
  calls.push_back("unit" + std::to_string(unit - GL_TEXTURE0));
  real.active_texture(unit);
}
void rec_mask(GLboolean on) {
  calls.push_back(on ? "mask1" : "mask0");
  real.depth_mask(on);
}

class StateCache : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (!real.enable) real = ogl_state_calls;
    ogl_state_calls = {rec_enable, rec_disable, rec_is_enabled, rec_active, rec_mask};
    glActiveTexture(GL_TEXTURE0);
    for (int k = 0; k < 4; ++k) {
      glActiveTexture(GL_TEXTURE0 + k);
      glDisable(GL_TEXTURE_2D);
    }
    glActiveTexture(GL_TEXTURE0);
    glDepthMask(GL_TRUE);
    calls.clear();
  }
  void TearDown() override { ogl_state_calls = real; }

  // The switches as OpenGL holds them.
  static bool on(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }
  static bool tex_on(int unit) {
    GLint old = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &old);
    glActiveTexture(GL_TEXTURE0 + unit);
    bool r = glIsEnabled(GL_TEXTURE_2D) == GL_TRUE;
    glActiveTexture(static_cast<GLenum>(old));
    return r;
  }
  static int active_unit() {
    GLint u = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &u);
    return u - GL_TEXTURE0;
  }
};

using V = std::vector<std::string>;

}  // namespace

TEST_F(StateCache, FirstCallReadsOpenGLOnceAndRepeatsCostNothing) {
  glEnable(GL_BLEND);
  OGL_setstate(fog_fals, 0, lit_fals, al_blend, deR_fals, deW_fals);
  EXPECT_EQ(calls, (V{"?FOG", "?TEX", "?LIGHTING", "?BLEND", "?ALPHA", "?DEPTH"}))
      << "blending was already on, depth writes are taken as off";
  calls.clear();
  for (int i = 0; i < 5; ++i) OGL_setstate(fog_fals, 0, lit_fals, al_blend, deR_fals, deW_fals);
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(on(GL_BLEND));
}

TEST_F(StateCache, EverySwitchReachesOpenGL) {
  OGL_setstate(fog_true, 1, lit_true, al_both, deR_true, deW_true);
  EXPECT_TRUE(on(GL_FOG));
  EXPECT_TRUE(tex_on(0));
  EXPECT_TRUE(on(GL_LIGHTING));
  EXPECT_TRUE(on(GL_LIGHT0));
  EXPECT_TRUE(on(GL_BLEND));
  EXPECT_TRUE(on(GL_ALPHA_TEST));
  EXPECT_TRUE(on(GL_DEPTH_TEST));
  GLboolean mask = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
  EXPECT_EQ(mask, GL_TRUE);
  calls.clear();
  OGL_setstate(fog_true, 1, lit_true, al_both, deR_true, deW_true);
  EXPECT_TRUE(calls.empty());

  OGL_setstate(fog_fals, 0, lit_fals, al_none, deR_fals, deW_fals);
  EXPECT_FALSE(on(GL_FOG));
  EXPECT_FALSE(tex_on(0));
  EXPECT_FALSE(on(GL_LIGHTING));
  EXPECT_FALSE(on(GL_LIGHT0));
  EXPECT_FALSE(on(GL_BLEND));
  EXPECT_FALSE(on(GL_ALPHA_TEST));
  EXPECT_FALSE(on(GL_DEPTH_TEST));
  glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
  EXPECT_EQ(mask, GL_FALSE);
}

TEST_F(StateCache, DepthWriteStartsAsOff) {
  OGL_setstate(fog_fals, 0, lit_fals, al_none, deR_fals, deW_fals);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "mask0"), 0);
  OGL_setstate_forget();
  calls.clear();
  OGL_setstate(fog_fals, 0, lit_fals, al_none, deR_fals, deW_true);
  EXPECT_EQ(calls.back(), "mask1");
}

TEST_F(StateCache, AlphaCodes) {
  OGL_setstate(fog_fals, 0, lit_fals, al_test, deR_fals, deW_fals);
  EXPECT_FALSE(on(GL_BLEND));
  EXPECT_TRUE(on(GL_ALPHA_TEST));
  calls.clear();
  OGL_setstate(fog_fals, 0, lit_fals, al_blend, deR_fals, deW_fals);
  EXPECT_EQ(calls, (V{"+BLEND", "-ALPHA"}));
  EXPECT_TRUE(on(GL_BLEND));
  EXPECT_FALSE(on(GL_ALPHA_TEST));
  calls.clear();
  OGL_setstate(fog_fals, 0, lit_fals, al_both, deR_fals, deW_fals);
  EXPECT_EQ(calls, (V{"+ALPHA"}));
  calls.clear();
  OGL_setstate(fog_fals, 0, lit_fals, al_none, deR_fals, deW_fals);
  EXPECT_EQ(calls, (V{"-BLEND", "-ALPHA"}));
  calls.clear();
  OGL_setstate(fog_fals, 0, lit_fals, 99, deR_fals, deW_fals);  // unknown: as al_none
  EXPECT_TRUE(calls.empty());
}

TEST_F(StateCache, TextureUnitsClampToTheRenderer) {
  ren.max_tex_units = 2;
  OGL_setstate(fog_fals, 0, lit_fals, al_none, deR_fals, deW_fals);
  calls.clear();
  OGL_setstate(fog_fals, 4, lit_fals, al_none, deR_fals, deW_fals);
  EXPECT_EQ(calls, (V{"+TEX", "unit0", "+TEX", "unit1", "+TEX", "unit0"}));
  EXPECT_EQ(num_units, 2);
  EXPECT_TRUE(tex_on(0));
  EXPECT_TRUE(tex_on(1));
  EXPECT_FALSE(tex_on(2));
  EXPECT_EQ(active_unit(), 0);
  // The same request again compares the clamped count: nothing is sent.
  calls.clear();
  OGL_setstate(fog_fals, 4, lit_fals, al_none, deR_fals, deW_fals);
  OGL_setstate(fog_fals, 2, lit_fals, al_none, deR_fals, deW_fals);
  EXPECT_TRUE(calls.empty());
}

TEST_F(StateCache, TextureUnitsGoingDown) {
  ren.max_tex_units = 4;
  OGL_setstate(fog_fals, 3, lit_fals, al_none, deR_fals, deW_fals);
  EXPECT_TRUE(tex_on(2));
  calls.clear();
  OGL_setstate(fog_fals, 1, lit_fals, al_none, deR_fals, deW_fals);
  EXPECT_EQ(calls, (V{"+TEX", "unit1", "-TEX", "unit2", "-TEX", "unit0"}));
  EXPECT_TRUE(tex_on(0));
  EXPECT_FALSE(tex_on(1));
  EXPECT_FALSE(tex_on(2));
  EXPECT_EQ(num_units, 1);
  calls.clear();
  OGL_setstate(fog_fals, 0, lit_fals, al_none, deR_fals, deW_fals);
  EXPECT_EQ(calls, (V{"-TEX"})) << "no unit is selected going from 1 to 0";
  EXPECT_EQ(num_units, 0);
  calls.clear();
  OGL_setstate(fog_fals, -3, lit_fals, al_none, deR_fals, deW_fals);
  EXPECT_TRUE(calls.empty()) << "a negative count is 0";
  EXPECT_EQ(num_units, 0);
}

TEST_F(StateCache, TexturingFoundOnTakesNumUnits) {
  glEnable(GL_TEXTURE_2D);
  num_units = 1;
  OGL_setstate(fog_fals, 1, lit_fals, al_none, deR_fals, deW_fals);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "+TEX"), 0);
  OGL_setstate(fog_fals, 0, lit_fals, al_none, deR_fals, deW_fals);
  EXPECT_FALSE(tex_on(0));
}
