// The texture manager against a real OpenGL context (Xvfb): slots, sharing, purging, reuse,
// missing images, the built-in images and the sizing rule.
#include <gtest/gtest.h>

#include <cstring>

#include "alert_sink.h"
#include "foundation/globals.h"
#include "foundation/threads.h"
#include "gl_fixture.h"
#include "ogl/extensions.h"
#include "tex/hard_texes.h"
#include "tex/scratch.h"
#include "tex/tex_codecs.h"
#include "tex/tman.h"
#include "tex_test_util.h"

using namespace textest;

namespace {

class TmanTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    empty_texture_manager();
    mnw.tex_res = 5;
    glExt.max_tex_size = 2048;
    glExt.combine_avail = 1;
    TEX_reset_bind();
  }
  // Texel (x, y) of texture `tex`, level 0, as RGBA.
  static std::vector<unsigned char> texel_row(int tex, int w, int h) {
    glBindTexture(GL_TEXTURE_2D, GLuint(tex));
    TEX_reset_bind();
    std::vector<unsigned char> px(size_t(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return px;
  }
  static int tex_param(int tex, GLenum p) {
    glBindTexture(GL_TEXTURE_2D, GLuint(tex));
    TEX_reset_bind();
    GLint v = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, p, &v);
    return v;
  }
  static int level_size(int tex, GLenum p) {
    glBindTexture(GL_TEXTURE_2D, GLuint(tex));
    TEX_reset_bind();
    GLint v = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, p, &v);
    return v;
  }
  // A PNG of w x h with the given RGBA pixel function, written by our encoder.
  static std::string png(const std::filesystem::path& dir, const std::string& name, int w, int h,
                         std::function<std::array<uint8_t, 4>(int, int)> f) {
    TEX_image_desc d;
    d.format = GL_RGBA;
    d.width = w;
    d.height = h;
    std::vector<uint8_t> px(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        auto c = f(x, y);
        std::memcpy(&px[(size_t(y) * w + x) * 4], c.data(), 4);
      }
    std::string path = (dir / name).string();
    EXPECT_EQ(TEX_save_png(path, d, px.data()), 1);
    return path;
  }
};

}  // namespace

TEST_F(TmanTest, BuiltInImagesAfterStartUp) {
  recall_ins_texes();
  EXPECT_EQ(tman.ref_dat.size(), 395u);
  EXPECT_EQ(tman.total_texes(), 3);
  EXPECT_EQ(tman.loaded_texes(), 3);
  ASSERT_EQ(tex_hash.size(), 1u);
  EXPECT_EQ(tex_hash.at("scratch_array:hardwired textures"), 393);
  for (int t : {392, 393, 394}) {
    EXPECT_EQ(tman.ref_dat[size_t(t)].load_time, tex_loaded);
    EXPECT_EQ(tman.ref_dat[size_t(t)].ref_count, -1);
    EXPECT_EQ(tman.ref_dat[size_t(t)].gl_name, t);
  }
  EXPECT_EQ(tman.ref_dat[391].format, 0);
  EXPECT_EQ(level_size(393, GL_TEXTURE_WIDTH), 1024);
  EXPECT_EQ(level_size(393, GL_TEXTURE_HEIGHT), 1024);
  EXPECT_EQ(level_size(392, GL_TEXTURE_WIDTH), 512);
  auto art = texel_row(393, 1024, 1024);
  EXPECT_EQ(0, std::memcmp(&art[0], &t_installer_dat[0], 4));
  EXPECT_EQ(0, std::memcmp(&art[1024 * 4], &t_installer_dat[1024 * 4], 4));
  auto back = texel_row(394, 1024, 1024);
  EXPECT_EQ(0, std::memcmp(&back[(1023 * 1024 + 7) * 4], "\0\0\0\0", 4));
  EXPECT_EQ(0, std::memcmp(&back[0], &t_ins_back_1_dat[0], 4));
  EXPECT_EQ(tex_param(392, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
  EXPECT_EQ(tex_param(393, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(tex_param(394, GL_TEXTURE_WRAP_S), GL_REPEAT);
  // The scratch image keeps the sheet for the palette.
  EXPECT_EQ(scratch_dx, 512);
  EXPECT_EQ(0, std::memcmp(scratch_array, t_interface_dat, 512 * 512 * 4));
  // Loading them again replaces the pixels in place.
  recall_ins_texes();
  EXPECT_EQ(tman.total_texes(), 3);
  EXPECT_EQ(tex_hash.size(), 1u);
  // reloading 394 under the shared name leaves the entry that belongs to 393
  EXPECT_EQ(tex_hash.at("scratch_array:hardwired textures"), 393);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TmanTest, SharedSlotCycle) {
  auto dir = temp_dir("tman_cycle");
  std::string path = png(dir, "a.png", 4, 4, [](int, int) { return std::array<uint8_t, 4>{9, 9, 9, 255}; });
  int a = tman.load_texture(tex_fail_scene, 0, tex_col_rgba, tex_loaded, path);
  int b = tman.load_texture(tex_fail_scene, 0, tex_col_rgba, tex_loaded, path);
  EXPECT_EQ(a, 1135);
  EXPECT_EQ(a, b);
  EXPECT_EQ(tman.ref_dat[size_t(a)].ref_count, 2);
  EXPECT_TRUE(glIsTexture(GLuint(a)));
  tman.release_texture(a);
  EXPECT_EQ(tman.ref_dat[size_t(a)].ref_count, 1);
  tman.release_texture(a);
  EXPECT_EQ(tman.ref_dat[size_t(a)].ref_count, 0);
  EXPECT_TRUE(glIsTexture(GLuint(a)));  // still loaded until purged
  tman.purge_unused_texes();
  EXPECT_FALSE(glIsTexture(GLuint(a)));
  EXPECT_EQ(tex_hash.count(path), 0u);
  EXPECT_EQ(tman.ref_dat[size_t(a)].name, "un-inited");
  int c = tman.load_texture(tex_fail_scene, 0, tex_col_rgba, tex_loaded, path);
  EXPECT_EQ(c, a);
}

TEST_F(TmanTest, HighestFreeSlotWins) {
  auto dir = temp_dir("tman_free");
  auto f = [](int, int) { return std::array<uint8_t, 4>{1, 2, 3, 255}; };
  std::string p1 = png(dir, "1.png", 2, 2, f), p2 = png(dir, "2.png", 2, 2, f),
              p3 = png(dir, "3.png", 2, 2, f), p4 = png(dir, "4.png", 2, 2, f);
  // Earlier tests in the same process may hold shared slots: count from the first one given.
  const int first = tman.load_texture(tex_fail_scene, 0, 2, tex_loaded, p1);
  EXPECT_GE(first, 1135);
  EXPECT_EQ(tman.load_texture(tex_fail_scene, 0, 2, tex_loaded, p2), first + 1);
  EXPECT_EQ(tman.load_texture(tex_fail_scene, 0, 2, tex_loaded, p3), first + 2);
  tman.release_texture(first);
  tman.release_texture(first + 2);
  tman.purge_unused_texes();
  EXPECT_EQ(tman.load_texture(tex_fail_scene, 0, 2, tex_loaded, p4), first + 2);
}

TEST_F(TmanTest, MissingImageShowsTheGreyStandIn) {
  AlertSink sink;
  int by_name = tman.load_texture(tex_fail_scene, 0, tex_col_rgba, tex_loaded, "/no/such/tex.png");
  EXPECT_GE(by_name, 1135);
  EXPECT_EQ(tman.ref_dat[size_t(by_name)].gl_name, t_blank_gray);
  EXPECT_NE(tman.ref_dat[size_t(by_name)].format, 0);
  EXPECT_EQ(tman.has_scene_load_fail(), 1);
  tman.mute_scene_load_fail();
  EXPECT_EQ(tman.has_scene_load_fail(), 0);
  EXPECT_EQ(tman.load_texture(tex_fail_scene, 0, tex_col_rgba, tex_loaded, "/no/other.png") > 0, true);
  EXPECT_EQ(tman.scene_fail, 2);
  // a manual load of a missing image returns 0
  EXPECT_EQ(tman.load_texture(tex_fail_silent, 500, tex_col_rgba, tex_loaded, "/no/such.png"), 0);
  EXPECT_EQ(tman.has_instl_load_fail(), 0);
  // the stand-in is grey
  auto px = texel_row(t_blank_gray, 8, 8);
  EXPECT_EQ(px[0], 128);
  EXPECT_EQ(px[3], 255);
  EXPECT_EQ(sink.count(), 0u);
}

TEST_F(TmanTest, BindOutsideTheListBindsNothing) {
  tman.bind_ref(5000, 0, 0);
  GLint bound = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0);
}

TEST_F(TmanTest, WaitingSlotBindsTheStandIn) {
  auto dir = temp_dir("tman_async");
  std::string path = png(dir, "w.png", 2, 2, [](int, int) { return std::array<uint8_t, 4>{5, 5, 5, 255}; });
  int r = tman.load_texture(tex_fail_scene, 0, tex_col_rgba, tex_loaded, path);
  tman.ref_dat[size_t(r)].load_time = tex_async;
  tman.bind_ref(r, 0, 0);
  GLint bound = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, t_blank_gray);
  EXPECT_EQ(tman.num_remaining_async_texes(), 1);
  tman.load_all_scenery_texes();
  EXPECT_EQ(tman.ref_dat[size_t(r)].load_time, tex_loaded);
  EXPECT_EQ(tman.num_remaining_async_texes(), 0);
}

TEST_F(TmanTest, FileImagesAreScaledAndPadded) {
  auto dir = temp_dir("tman_scale");
  std::string big = png(dir, "big.png", 1024, 512, [](int x, int) {
    return std::array<uint8_t, 4>{uint8_t(x), 0, 0, 255};
  });
  mnw.tex_res = 3;
  int r = tman.load_texture(tex_fail_scene, 0, tex_col_rgba, tex_loaded, big);
  EXPECT_EQ(level_size(r, GL_TEXTURE_WIDTH), 256);
  EXPECT_EQ(level_size(r, GL_TEXTURE_HEIGHT), 128);
  // a 4 x 4 box of x = 0..3 averages to 1 (sum 24, shifted by 4)
  auto px = texel_row(r, 256, 128);
  EXPECT_EQ(px[0], (0 + 1 + 2 + 3) * 4 / 16);
  EXPECT_EQ(px[4], (4 + 5 + 6 + 7) * 4 / 16);
  mnw.tex_res = 5;
  std::string odd = png(dir, "odd.png", 300, 200, [](int x, int y) {
    return std::array<uint8_t, 4>{uint8_t(x), uint8_t(y), 7, 255};
  });
  int o = tman.load_texture(tex_fail_scene, 0, tex_col_rgba, tex_loaded, odd);
  EXPECT_EQ(level_size(o, GL_TEXTURE_WIDTH), 512);
  EXPECT_EQ(level_size(o, GL_TEXTURE_HEIGHT), 256);
  auto q = texel_row(o, 512, 256);
  // image in the lower-left corner, rows at the texture's width
  EXPECT_EQ(q[(199 * 512 + 299) * 4 + 0], uint8_t(299));
  EXPECT_EQ(q[(199 * 512 + 299) * 4 + 1], 199);  // bottom-up rows stay in place
  EXPECT_EQ(q[(0 * 512 + 5) * 4 + 1], 0);
  EXPECT_EQ(q[(0 * 512 + 300) * 4 + 3], 0);
}

TEST_F(TmanTest, DownscaledRowsLandAtTheTextureWidth) {
  auto dir = temp_dir("tman_down");
  std::string p = png(dir, "p.png", 300, 200, [](int x, int y) {
    return std::array<uint8_t, 4>{uint8_t(x / 2), uint8_t(y / 2), 0, 255};
  });
  mnw.tex_res = 4;  // half: 150 x 100 in a 256 x 128 texture
  int r = tman.load_texture(tex_fail_scene, 0, tex_col_rgba, tex_loaded, p);
  EXPECT_EQ(level_size(r, GL_TEXTURE_WIDTH), 256);
  auto px = texel_row(r, 256, 128);
  // pixel (10, 50) of the half image averages (20..21, 100..101)
  const unsigned char* t = &px[(50 * 256 + 10) * 4];
  EXPECT_EQ(t[0], 10);
  EXPECT_EQ(t[1], 50);
  EXPECT_EQ(px[(50 * 256 + 150) * 4 + 3], 0);  // beyond the image: clear
  EXPECT_EQ(tman.ref_dat[size_t(r)].image_dx, 150);
}

TEST_F(TmanTest, TransparentPixelsTakeTheirNeighboursColour) {
  auto dir = temp_dir("tman_bleed");
  std::string p = png(dir, "b.png", 4, 4, [](int x, int) {
    return x < 2 ? std::array<uint8_t, 4>{255, 0, 0, 255} : std::array<uint8_t, 4>{0, 0, 0, 0};
  });
  int r = tman.load_texture(tex_fail_scene, 0, tex_col_rgba, tex_loaded, p);
  auto px = texel_row(r, 4, 4);
  EXPECT_EQ(px[2 * 4 + 0], 255);
  EXPECT_EQ(px[2 * 4 + 3], 0);
}

TEST_F(TmanTest, DdsWithChainSkipsLevelsAtLowerResolution) {
  auto dir = temp_dir("tman_dds");
  TEX_image_desc d;
  d.format = GL_RGBA;
  d.width = 16;
  d.height = 16;
  std::vector<uint8_t> px(16 * 16 * 4, 200);
  ASSERT_EQ(TEX_save_dds((dir / "s.dds").string(), px.data(), d), 1);
  mnw.tex_res = 4;
  int r = tman.load_texture(tex_fail_scene, 0, tex_col_rgba, tex_loaded, (dir / "s.png").string());
  EXPECT_EQ(tman.ref_dat[size_t(r)].gl_name, r);
  EXPECT_EQ(level_size(r, GL_TEXTURE_WIDTH), 8);
  auto got = texel_row(r, 8, 8);
  EXPECT_NEAR(got[0], 200, 8);
}

TEST_F(TmanTest, DxtWithoutDriverSupportIsDecodedHere) {
  auto dir = temp_dir("tman_dxt_sw");
  TEX_image_desc d;
  d.format = GL_RGB;
  d.width = 8;
  d.height = 8;
  std::vector<uint8_t> px(8 * 8 * 3);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) px[size_t(y * 8 + x) * 3] = y < 4 ? 250 : 10;  // red at the bottom
  ASSERT_EQ(TEX_save_dds((dir / "c.dds").string(), px.data(), d), 1);
  glExt.tex_comp_avail = 0;
  int r = tman.load_texture(tex_fail_scene, 0, tex_col_rgb, tex_loaded, (dir / "c.dds").string());
  EXPECT_EQ(tman.ref_dat[size_t(r)].gl_name, r);
  EXPECT_EQ(level_size(r, GL_TEXTURE_WIDTH), 8);
  auto got = texel_row(r, 8, 8);
  EXPECT_NEAR(got[0], 250, 12);                 // bottom row stays at the bottom
  EXPECT_NEAR(got[(7 * 8) * 4], 10, 12);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TmanTest, DdsWithoutChainFailsEvenBesideAPng) {
  auto dir = temp_dir("tman_dds2");
  std::vector<uint8_t> hdr(128 + 8, 0);
  std::memcpy(hdr.data(), "DDS ", 4);
  hdr[12] = 4;
  hdr[16] = 4;
  hdr[80] = 4;
  std::memcpy(&hdr[84], "DXT1", 4);
  write_file(dir / "n.dds", hdr);
  png(dir, "n.png", 4, 4, [](int, int) { return std::array<uint8_t, 4>{1, 1, 1, 255}; });
  int r = tman.load_texture(tex_fail_silent, 0, tex_col_rgba, tex_loaded, (dir / "n.png").string());
  EXPECT_EQ(tman.ref_dat[size_t(r)].gl_name, t_blank_gray);
}

TEST_F(TmanTest, ProgressMessageOncePerPause) {
  static std::vector<std::string> shown;
  shown.clear();
  tman_show_init = [](const std::string& t, float*) { shown.push_back(t); };
  auto dir = temp_dir("tman_msg");
  std::string p = png(dir, "m.png", 2, 2, [](int, int) { return std::array<uint8_t, 4>{1, 1, 1, 255}; });
  UTL_sleep(1100);
  tman.load_texture(tex_fail_scene, 600, tex_col_rgba, tex_loaded, p);
  tman.load_texture(tex_fail_scene, 601, tex_col_rgba, tex_loaded, p);
  UTL_sleep(1100);
  tman.load_texture(tex_fail_scene, 392, tex_col_rgba, tex_loaded, p);
  tman_show_init = nullptr;
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Loading bitmap " + p + ".");
}

TEST(TexGetScale, SizingRule) {
  mnw.tex_res = 3;
  glExt.max_tex_size = 2048;
  int ix, iy, tx, ty;
  TEX_get_scale("n", 0, 0x2, 1024, 512, &ix, &iy, &tx, &ty, 2);
  EXPECT_EQ(ix, 256);
  EXPECT_EQ(iy, 128);
  TEX_get_scale("n", 0, 0x102, 1024, 512, &ix, &iy, &tx, &ty, 2);
  EXPECT_EQ(ix, 1024);
  TEX_get_scale("n", 0, 0x42, 1024, 512, &ix, &iy, &tx, &ty, 2);
  EXPECT_EQ(ix, 512);
  TEX_get_scale("n", 0, 0x82, 1024, 512, &ix, &iy, &tx, &ty, 2);
  EXPECT_EQ(ix, 128);
  mnw.tex_res = 0;
  TEX_get_scale("n", 0, 0x2, 1, 1, &ix, &iy, &tx, &ty, 2);
  EXPECT_EQ(ix, 1);
  mnw.tex_res = 5;
  glExt.max_tex_size = 1024;
  TEX_get_scale("n", 0, 0x2, 2048, 2048, &ix, &iy, &tx, &ty, 2);
  EXPECT_EQ(ix, 1024);
  glExt.max_tex_size = 2048;
  TEX_get_scale("n", 0, 0x2002, 300, 200, &ix, &iy, &tx, &ty, 2);
  EXPECT_EQ(tx, 300);
  TEX_get_scale("n", 0, 0x2, 300, 200, &ix, &iy, &tx, &ty, 2);
  EXPECT_EQ(tx, 512);
  EXPECT_EQ(ty, 256);
}

TEST(TexGetScaleDeathTest, ZeroSideIsRefusedBeforeDividing) {
  int ix, iy, tx, ty;
  EXPECT_EXIT(TEX_get_scale("zero", 0, 2, 0, 16, &ix, &iy, &tx, &ty, 2), testing::ExitedWithCode(1),
              "less than 1 or greater than 2048");
}

TEST(TmanDeathTest, BadArgumentsAreFatal) {
  EXPECT_EXIT(tman.load_texture(tex_fail_scene, 1136, 2, tex_loaded, "x"), testing::ExitedWithCode(1),
              "too low or high a manual_ref");
  EXPECT_EXIT(tman.load_texture(tex_fail_scene, 5, 2, tex_load_time(99), "x"), testing::ExitedWithCode(1),
              "invalid texture load_time");
  EXPECT_EXIT(tman.unload_texture(1135), testing::ExitedWithCode(1), "should be released");
  EXPECT_EXIT(tman.release_texture(1134), testing::ExitedWithCode(1), "use unload_texture");
  EXPECT_EXIT(tman.release_texture(1200), testing::ExitedWithCode(1), "was never reffed");
}

TEST(Tman, EmptyNameChangesNothing) {
  tman_class m;
  EXPECT_EQ(m.load_texture(tex_fail_fatal, 5, 2, tex_loaded, ""), 0);
  EXPECT_TRUE(m.ref_dat.empty());
  EXPECT_EQ(m.total_texes(), 0);
}
