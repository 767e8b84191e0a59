// The built-in images: the sprite table, the palette pixels, the clear rows and the font cells.
#include <gtest/gtest.h>

#include "sprite_table.h"
#include "tex/hard_texes.h"

using namespace hard_tex;

namespace {
const unsigned char* sheet_px(int x, int y) { return &t_interface_dat[(size_t(y) * 512 + x) * 4]; }
const unsigned char* art_px(int x, int y) { return &t_installer_dat[(size_t(y) * 1024 + x) * 4]; }
}  // namespace

TEST(HardTexes, SpritesDoNotOverlapAndFitTheirImage) {
  const size_t n = sizeof(k_sprites) / sizeof(k_sprites[0]);
  for (size_t i = 0; i < n; ++i) {
    const sprite& a = k_sprites[i];
    SCOPED_TRACE(a.name);
    EXPECT_LT(a.x0, a.x1);
    EXPECT_LT(a.y0, a.y1);
    EXPECT_GE(a.x0, 0);
    EXPECT_GE(a.y0, 0);
    if (a.sheet == k_sheet) {
      EXPECT_LE(a.x1, 512);
      EXPECT_LE(a.y1, 512);
    } else {
      EXPECT_LE(a.x1, 1024);
      EXPECT_LE(size_t(a.y1) * 1024, sizeof(t_installer_dat) / 4);
    }
    for (size_t j = i + 1; j < n; ++j) {
      const sprite& b = k_sprites[j];
      if (a.sheet != b.sheet) continue;
      bool overlap = a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
      EXPECT_FALSE(overlap) << a.name << " overlaps " << b.name;
    }
  }
}

TEST(HardTexes, PalettePixelsHaveTheirExactBytes) {
  for (const palette_pixel& p : k_palette) {
    SCOPED_TRACE(p.colour_index);
    const unsigned char* px = sheet_px(p.x, p.y);
    EXPECT_EQ(px[0], p.r);
    EXPECT_EQ(px[1], p.g);
    EXPECT_EQ(px[2], p.b);
  }
  // spot values from the start-up table
  EXPECT_EQ(sheet_px(319, 67)[1], 220);
  EXPECT_EQ(sheet_px(395, 115)[0], 220);
}

TEST(HardTexes, RowZeroIsClearUnderTheTallBars) {
  // Bars 0 and 1 sample row 512, which wraps to row 0.
  for (int x = 0; x < 203; ++x) ASSERT_EQ(sheet_px(x, 0)[3], 0) << x;
}

TEST(HardTexes, SpritesHaveInk) {
  for (const sprite& s : k_sprites) {
    if (s.kind == sk_palette) continue;
    SCOPED_TRACE(s.name);
    int opaque = 0;
    for (int y = s.y0; y < s.y1; ++y)
      for (int x = s.x0; x < s.x1; ++x)
        opaque += (s.sheet == k_sheet ? sheet_px(x, y) : art_px(x, y))[3] > 128;
    EXPECT_GT(opaque, 8);
  }
}

TEST(HardTexes, GlyphCellsKeepInsideTheirAdvance) {
  for (int r = 0; r < k_rows; ++r)
    for (int c = 0; c < k_cols; ++c) {
      unsigned char ch = k_glyph_map[r][c];
      int adv = glyph_advance(ch);
      int ink_lo = 99, ink_hi = -1, top = -1, bottom = 99;
      for (int y = 0; y < k_cell_h; ++y)
        for (int x = 0; x < k_cell_w; ++x) {
          const unsigned char* p = sheet_px(c * k_cell_w + x, r * k_cell_h + y);
          if (p[3] == 0) continue;
          EXPECT_EQ(p[0], 255);  // white ink, coverage in alpha
          ink_lo = std::min(ink_lo, x);
          ink_hi = std::max(ink_hi, x);
          top = std::max(top, y);
          bottom = std::min(bottom, y);
        }
      if (ch == 0) {
        EXPECT_EQ(ink_hi, -1) << "the blank cell must be clear";
        continue;
      }
      SCOPED_TRACE(int(ch));
      ASSERT_GE(ink_hi, 0);
      EXPECT_EQ(ink_lo, 0);
      EXPECT_LT(ink_hi, std::max(adv, 1));
      if (ch == 'A' || ch == 'x' || ch == '1' || ch == 'm') {
        EXPECT_EQ(bottom, k_baseline);
      }
      if (ch == 'g' || ch == 'p' || ch == 'y') {
        EXPECT_LT(bottom, k_baseline);
      }
    }
}

TEST(HardTexes, ButtonStatesStackOnePixelApart) {
  // The normal image of each button lies at v = 166; hover one button-height plus one lower.
  for (const sprite& s : k_sprites) {
    if (s.kind != sk_art_button) continue;
    SCOPED_TRACE(s.name);
    EXPECT_EQ(s.y1, 166 + 22 + 1);
    EXPECT_EQ(s.y0, 166 - 2 * 23);
    int gap_alpha = 0;
    for (int x = s.x0; x < s.x1; ++x) gap_alpha += art_px(x, 166 - 1)[3];
    EXPECT_EQ(gap_alpha, 0);
  }
}
