// The tiled background: generated pictures whose pixels encode their own coordinates are cut
// into tiles and drawn 1:1, whatever their size up to 2048 x 2048.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "alert_sink.h"
#include "foundation/globals.h"
#include "gl_fixture.h"
#include "ogl/extensions.h"
#include "tex/screenshot.h"
#include "tex/tex_bind.h"
#include "tex/tex_codecs.h"
#include "tex/tman.h"
#include "tex_test_util.h"

using namespace textest;
namespace fs = std::filesystem;

namespace {

// Picture pixel (x, y), y from the bottom row.
std::array<uint8_t, 4> encode(int x, int y) {
  return {uint8_t(x & 255), uint8_t(y & 255), uint8_t((x >> 8) | ((y >> 8) << 4)), 255};
}

class BackTex : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    mnw.tex_res = 5;
    glExt.max_tex_size = 2048;
    TEX_reset_bind();
    old_cwd_ = fs::current_path();
    fs::current_path(dir_);
    app_path.clear();
    fs::create_directories("Resources/bitmaps");
  }
  void TearDown() override {
    fs::current_path(old_cwd_);
  }
  static void picture(int w, int h) {
    TEX_image_desc d;
    d.format = GL_RGBA;
    d.width = w;
    d.height = h;
    std::vector<uint8_t> px(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) std::memcpy(&px[(size_t(y) * w + x) * 4], encode(x, y).data(), 4);
    ASSERT_EQ(TEX_save_png(back_tex_path, d, px.data()), 1);
  }
  static std::vector<unsigned char> tile(int tex) {
    glBindTexture(GL_TEXTURE_2D, GLuint(tex));
    TEX_reset_bind();
    std::vector<unsigned char> px(512 * 512 * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return px;
  }
  // Every window pixel shows picture pixel (wx + dx, wy + dy).
  static void expect_window_shows(int dx, int dy) {
    auto px = read_back();
    int bad = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        auto want = encode(x + dx, y + dy);
        const unsigned char* p = at(px, x, y);
        if (p[0] != want[0] || p[1] != want[1] || p[2] != want[2]) {
          if (++bad <= 5)
            ADD_FAILURE() << "window (" << x << "," << y << ") shows " << int(p[0]) << " " << int(p[1]) << " "
                          << int(p[2]) << ", not picture (" << x + dx << "," << y + dy << ")";
        }
      }
    EXPECT_EQ(bad, 0);
  }
  test_support::Scratch dir_ = temp_dir("back");
  fs::path old_cwd_;
};

TEST_F(BackTex, PictureOfWindowSizeFillsFourTilesAndDrawsOneToOne) {
  picture(1024, 768);
  mnw.wind_id = -1;
  OGL_make_back_tex();
  EXPECT_EQ(back_dx, 1024);
  EXPECT_EQ(back_dy, 768);
  // Tiles 427, 428, 431, 432 hold the picture; the part outside it and the other twelve are clear.
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      auto t = tile(back_tex_first + 4 * r + c);
      int wrong = 0;
      for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
          const int px = 512 * c + x, py = 512 * r + y;
          std::array<uint8_t, 4> want = {0, 0, 0, 0};
          if (px < 1024 && py < 768) want = encode(px, py);
          if (std::memcmp(&t[(size_t(y) * 512 + x) * 4], want.data(), 4) != 0) ++wrong;
        }
      EXPECT_EQ(wrong, 0) << "tile row " << r << " column " << c;
    }

  // Before the first sub-window: the picture's top right corner at the window's.
  clear();
  OGL_plot_back_tex();
  expect_window_shows(1024 - kW, 768 - (kH + 512));
}

TEST_F(BackTex, InsideASubWindowThePictureStartsAtTheLayoutOffset) {
  picture(1024, 768);
  mnw.wind_id = -1;
  OGL_make_back_tex();
  mnw.wind_id = 0;
  OGL_pix_specs(0);
  clear();
  OGL_plot_back_tex();
  expect_window_shows(0, 0);
}

TEST_F(BackTex, PictureOfAnyOtherSizeIsPlacedTileByTile) {
  // 700 x 1100: the window sees picture columns 380..699 and rows 348..587, across both the
  // column and the row boundary of the tiles.
  picture(700, 1100);
  mnw.wind_id = -1;
  OGL_make_back_tex();
  EXPECT_EQ(back_dx, 700);
  EXPECT_EQ(back_dy, 1100);
  clear();
  OGL_plot_back_tex();
  expect_window_shows(700 - kW, 1100 - (kH + 512));
}

TEST_F(BackTex, SmallPictureIsClippedAndTheRestFilled) {
  picture(200, 100);
  mnw.wind_id = -1;
  OGL_make_back_tex();
  mnw.wind_id = 0;
  OGL_pix_specs(0);
  clear();
  OGL_plot_back_tex();
  auto px = read_back();
  for (int y = 0; y < 100; y += 7)
    for (int x = 0; x < 200; x += 7) {
      auto want = encode(x, y);
      const unsigned char* p = at(px, x, y);
      ASSERT_TRUE(p[0] == want[0] && p[1] == want[1] && p[2] == want[2]) << x << "," << y;
    }
  // Beyond the picture only the clear colour: no stretched tile.
  const unsigned char* p = at(px, 250, 50);
  EXPECT_EQ(p[0] | p[1] | p[2], 0);
  p = at(px, 50, 150);
  EXPECT_EQ(p[0] | p[1] | p[2], 0);
}

TEST_F(BackTex, NothingIsLoadedOnceASubWindowIsOpen) {
  AlertSink sink;
  picture(64, 64);
  mnw.wind_id = 0;
  back_dx = back_dy = 0;
  OGL_make_back_tex();
  EXPECT_EQ(sink.count(), 0u);
  EXPECT_EQ(back_dx, 0);
  fs::remove(back_tex_path);
  OGL_make_back_tex();
  EXPECT_EQ(sink.count(), 0u) << "not even a missing picture is looked for";
}

TEST(BackTexDeathTest, MissingPictureIsFatal) {
  const auto dir = temp_dir("back_missing");
  const fs::path old = fs::current_path();
  fs::current_path(dir);
  app_path.clear();
  mnw.wind_id = -1;
  EXPECT_EXIT(OGL_make_back_tex(), testing::ExitedWithCode(1),
              "Trying to load a texture that you do not have!\n"
              "This smacks of a mis-installed copy of Volarium!\n"
              ".*The missing file is:\n"
              "Resources/bitmaps/intro_dvd.png");
  fs::current_path(old);
}

}  // namespace
