// Bitmap-font text drawn from the built-in sheet and read back from the back buffer.
#include <gtest/gtest.h>

#include <cmath>

#include "alert_sink.h"
#include "gl_fixture.h"
#include "ogl/extensions.h"
#include "ogl/text.h"
#include "sprite_table.h"
#include "tex/hard_texes.h"
#include "tex/tman.h"

namespace {

class TextTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    glExt.max_tex_size = 2048;
    TEX_reset_bind();
    if (tman.ref_dat.size() < 395) recall_ins_texes();
    TEX_reset_bind();
    clear();
    colr.assign(45, 1, 1, 1);
  }
  // Alpha of sheet texel (x, y).
  static int sheet_alpha(int x, int y) { return t_interface_dat[(size_t(y) * 512 + x) * 4 + 3]; }
  // Compares the back buffer around a glyph drawn with its cell's lower-left at (gx, gy).
  // Only the columns inside `width`: the next glyph's quad overlaps the rest of the cell.
  static int glyph_mismatch(const std::vector<unsigned char>& px, unsigned char c, int gx, int gy,
                            int width = 0) {
    int col, row;
    OGL_glyph_cell(c, &col, &row);
    if (width <= 0) width = std::max(1, OGL_char_width(c));
    int worst = 0;
    for (int v = 0; v < hard_tex::k_cell_h; ++v)
      for (int u = 0; u < width; ++u) {
        int want = sheet_alpha(col * 14 + u, row * 15 + v);
        int got = at(px, gx + u, gy + v)[0];
        worst = std::max(worst, std::abs(want - got));
      }
    return worst;
  }
};

}  // namespace

TEST(TextTables, MatchTheGeneratedSheet) {
  for (int c = 0; c < 256; ++c) EXPECT_EQ(OGL_char_width(uint8_t(c)), hard_tex::glyph_advance(uint8_t(c))) << c;
  for (int r = 0; r < hard_tex::k_rows; ++r)
    for (int c = 1; c < hard_tex::k_cols; ++c) {
      int col, row;
      OGL_glyph_cell(hard_tex::k_glyph_map[r][c], &col, &row);
      EXPECT_EQ(col, c);
      EXPECT_EQ(row, r);
    }
  int col, row;
  OGL_glyph_cell('"', &col, &row);
  EXPECT_EQ(col + row, 0);
  EXPECT_EQ(OGL_str_width("Mm"), 20);
  EXPECT_EQ(OGL_str_width("i.i"), 8);
  EXPECT_EQ(OGL_str_width("\xE9\xFB"), 9);
}

TEST_F(TextTest, LineLandsInItsCellsWithItsAdvances) {
  // white text on black: each pixel's red equals the glyph's coverage
  colr.assign(49, 1, 1, 1);
  const std::string s = "Hi, Wm\xE9";
  float ry = OGL_string(49, 20.4f, 100.6f, s, 0, charset_UI_diff_space, 0);
  EXPECT_EQ(ry, 101.0f);
  auto px = read_back();
  int x = 20;  // rounded
  const int gy = 101 - 2 - 4;
  for (unsigned char c : s) {
    SCOPED_TRACE(int(c));
    EXPECT_LE(glyph_mismatch(px, c, x, gy), 1);
    x += OGL_char_width(c);
  }
}

TEST_F(TextTest, AlignmentUsesProportionalWidth) {
  colr.assign(49, 1, 1, 1);
  OGL_string(49, 100, 50, "AB", 9999, charset_UI_diff_space, 2);
  auto px = read_back();
  // ends at x = 100: 'A' (8) starts at 85, 'B' at 93
  EXPECT_LE(glyph_mismatch(px, 'A', 85, 50 - 6), 1);
  EXPECT_LE(glyph_mismatch(px, 'B', 93, 50 - 6), 1);
  clear();
  // centred text in the fixed charset is centred on its proportional width, 10 apart
  OGL_string(49, 100, 50, "AB", 9999, charset_UI_fixed, 1);
  px = read_back();
  // proportional width 15: starts at 92.5, truncated to 92; the fixed advance puts B at 102
  EXPECT_LE(glyph_mismatch(px, 'A', 92, 50 - 6, 10), 1);
  EXPECT_LE(glyph_mismatch(px, 'B', 102, 50 - 6), 1);
}

TEST_F(TextTest, WrappingAndReturnedY) {
  EXPECT_EQ(OGL_string(49, 10, 100, "one two", 0, 100, 0), 100.0f);
  EXPECT_EQ(OGL_string(49, 10, 100, "one two", 9999, 100, 0), 100.0f);
  // wraps before "three" when the next word would pass the right edge
  // "one " then the look-ahead for "two" (10 + 23 + 18 > 50) breaks, and again before "three"
  float y = OGL_string(49, 10, 100, "one two three", 40, 100, 0);
  EXPECT_EQ(y, 70.0f);
  EXPECT_EQ(OGL_string(49, 10, 100, "one two three", 100, 100, 0), 90.0f);
  EXPECT_EQ(OGL_string(49, 10, 100, "line\n", 200, 100, 0), 90.0f);
  EXPECT_EQ(OGL_string(49, 10, 100, "a\nb\nc", 200, 100, 0), 70.0f);
  EXPECT_EQ(OGL_string(49, 10, 100, "", 200, 100, 0), 100.0f);
}

TEST_F(TextTest, ControlCharactersDrawNothing) {
  colr.assign(49, 1, 1, 1);
  OGL_string(49, 10, 100, "\r\n\t", 9999, 100, 0);
  int x0, y0, x1, y1, n;
  EXPECT_FALSE(lit_box(read_back(), &x0, &y0, &x1, &y1, &n));
}

TEST_F(TextTest, NumbersDrawTheirText) {
  colr.assign(49, 1, 1, 1);
  struct numcase {
    float v;
    int digits, decimals;
    const char* text;
  } cases[] = {{-1234.5f, 6, 1, "-01,234.5"}, {-1234.5f, 4, 1, "-1.23x3"}, {-0.005f, 2, 1, "0.0"},
               {5, 3, 0, "005"}, {1.5e12f, 3, 0, "1.50x12"}};
  for (const numcase& c : cases) {
    SCOPED_TRACE(c.text);
    clear();
    OGL_number(49, 10, 40, c.v, c.digits, c.decimals, 100);
    OGL_string(49, 10, 140, c.text, 9999, 100, 0);
    auto px = read_back();
    int worst = 0;
    for (int y = 30; y < 50; ++y)
      for (int x = 0; x < 200; ++x) worst = std::max(worst, std::abs(at(px, x, y)[0] - at(px, x, y + 100)[0]));
    EXPECT_EQ(worst, 0);
  }
}

TEST_F(TextTest, FixedCharsetNumberCells) {
  colr.assign(49, 1, 1, 1);
  OGL_number(49, 30, 60, 5, 3, 0, charset_UI_fixed);
  auto px = read_back();
  EXPECT_LE(glyph_mismatch(px, '0', 30, 60 - 2 - 4, 10), 1);
  EXPECT_LE(glyph_mismatch(px, '0', 40, 60 - 2 - 4, 10), 1);
  EXPECT_LE(glyph_mismatch(px, '5', 50, 60 - 2 - 4, 10), 1);
}

TEST_F(TextTest, NotANumberDrawsAFixedText) {
  colr.assign(49, 1, 1, 1);
  OGL_number(49, 10, 40, std::nanf(""), 4, 1, 100);
  OGL_string(49, 10, 140, "NaN", 9999, 100, 0);
  auto px = read_back();
  int worst = 0, lit = 0;
  for (int y = 30; y < 50; ++y)
    for (int x = 0; x < 100; ++x) {
      worst = std::max(worst, std::abs(at(px, x, y)[0] - at(px, x, y + 100)[0]));
      lit += at(px, x, y)[0] > 0;
    }
  EXPECT_EQ(worst, 0);
  EXPECT_GT(lit, 5);
}

TEST(TextDeathTest, BadCharsetIsFatal) {
  float cell[4];
  EXPECT_EXIT(OGL_strtex(101, 0, &cell[0], &cell[1], &cell[2], &cell[3]), testing::ExitedWithCode(1),
              "String proc with bad charset!");
}
