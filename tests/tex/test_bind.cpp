// The bind cache, with the OpenGL calls recorded instead of made.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/records.h"
#include "ogl/extensions.h"
#include "tex/tex_bind.h"

namespace {

std::vector<std::string> g_calls;

void rec_bind(GLenum, GLuint t) { g_calls.push_back("bind " + std::to_string(t)); }
void rec_active(GLenum u) { g_calls.push_back("unit " + std::to_string(u - GL_TEXTURE0)); }
void rec_env_i(GLenum, GLenum p, GLint v) {
  g_calls.push_back("envi " + std::to_string(p) + " " + std::to_string(v));
}
void rec_env_f(GLenum, GLenum p, GLfloat v) {
  g_calls.push_back("envf " + std::to_string(p) + " " + std::to_string(int(v)));
}
void rec_env_fv(GLenum, GLenum p, const GLfloat* v) {
  g_calls.push_back("envfv " + std::to_string(p) + " " + std::to_string(v[0]));
}

class BindCache : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = tex_bind_calls;
    tex_bind_calls = {rec_bind, rec_active, rec_env_i, rec_env_f, rec_env_fv};
    TEX_reset_bind();
    g_calls.clear();
    gKillTex = 0;
    glExt.combine_avail = 1;
    ren.max_tex_units = 4;
  }
  void TearDown() override { tex_bind_calls = saved_; }
  static bool has(const std::string& prefix) {
    for (const auto& c : g_calls)
      if (c.rfind(prefix, 0) == 0) return true;
    return false;
  }
  TEX_bind_calls saved_;
};

}  // namespace

TEST_F(BindCache, RepeatMakesNoCall) {
  TEX_bind_ref(392, 0, 0);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"bind 392", "envi 8704 8448"}));
  g_calls.clear();
  TEX_bind_ref(392, 0, 0);
  EXPECT_TRUE(g_calls.empty());
  // mode 0 and GL_MODULATE are the same entry
  TEX_bind_ref(392, 0, GL_MODULATE);
  EXPECT_TRUE(g_calls.empty());
}

TEST_F(BindCache, ModeChangeSetsEnvironmentWithoutRebinding) {
  TEX_bind_ref(392, 0, 0);
  g_calls.clear();
  TEX_bind_ref(392, 0, 17);
  EXPECT_FALSE(has("bind"));
  EXPECT_EQ(g_calls.front(), "envi 8704 " + std::to_string(GL_COMBINE));
  EXPECT_TRUE(has("envi " + std::to_string(GL_COMBINE_RGB) + " " + std::to_string(GL_REPLACE)));
  EXPECT_TRUE(has("envfv " + std::to_string(GL_TEXTURE_ENV_COLOR) + " 1"));
}

TEST_F(BindCache, Mode25IsNeverCachedAndSelectsUnits) {
  TEX_bind_ref(393, 1, 25);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"unit 1", "bind 393", "unit 0"}));
  g_calls.clear();
  TEX_bind_ref(393, 1, 25);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"unit 1", "unit 0"}));
}

TEST_F(BindCache, KillSwitchBindsBlankExceptTheSheet) {
  gKillTex = 1;
  TEX_bind_ref(393, 0, 0);
  EXPECT_EQ(g_calls.front(), "bind 930");
  TEX_bind_ref(392, 0, 0);
  EXPECT_TRUE(has("bind 392"));
}

TEST_F(BindCache, WithoutCombinersTheModeIsPassedAsIs) {
  glExt.combine_avail = 0;
  TEX_bind_ref(5, 0, 17);
  EXPECT_EQ(g_calls.back(), "envi 8704 17");
}

TEST_F(BindCache, Mode24UsesTheFloatCall) {
  TEX_bind_ref(5, 0, 24);
  EXPECT_TRUE(has("envf " + std::to_string(GL_COMBINE_RGB) + " " + std::to_string(GL_INTERPOLATE)));
  EXPECT_TRUE(has("envfv " + std::to_string(GL_TEXTURE_ENV_COLOR) + " 0"));
}

TEST_F(BindCache, Mode23LeavesAlphaScale) {
  TEX_bind_ref(5, 0, 23);
  EXPECT_FALSE(has("envi " + std::to_string(GL_ALPHA_SCALE)));
  TEX_bind_ref(5, 0, 11);
  EXPECT_TRUE(has("envi " + std::to_string(GL_ALPHA_SCALE) + " 4"));
}

TEST_F(BindCache, ResetForgets) {
  TEX_bind_ref(7, 2, 0);
  TEX_reset_bind();
  g_calls.clear();
  TEX_bind_ref(7, 2, 0);
  EXPECT_TRUE(has("bind 7"));
  EXPECT_TRUE(has("envi 8704"));
}

TEST_F(BindCache, UnitsPastSevenAreBoundUncached) {
  TEX_bind_ref(9, 8, 0);
  TEX_bind_ref(9, 8, 0);
  int binds = 0;
  for (const auto& c : g_calls) binds += c == "bind 9";
  EXPECT_EQ(binds, 2);
  EXPECT_EQ(g_calls.back(), "unit 0");
  for (int u = 0; u < 8; ++u) EXPECT_EQ(o_tex[u], -1);
}

TEST_F(BindCache, BlendLevelOnlyOnExistingUnits) {
  TEX_set_blend_level(5, 0.5f);
  EXPECT_TRUE(g_calls.empty());
  TEX_set_blend_level(1, 0.5f);
  EXPECT_EQ(g_calls.size(), 3u);
  EXPECT_EQ(o_tex[1], -1);
}
