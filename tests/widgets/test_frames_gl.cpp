// Bars, panels and sprites drawn for real (Xvfb) from a test sheet whose every texel holds its
// own coordinates: the read-back back buffer tells which sheet texel each screen pixel shows.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "foundation/shell_state.h"
#include "gl_fixture.h"
#include "ogl/extensions.h"
#include "tex/scratch.h"
#include "tex/tman.h"
#include "widgets/butn.h"

namespace {

// Texel (x, y) of a coordinate sheet: red and green the low bytes, blue a marker bit and the
// high bits, opaque.
void fill_coordinate_sheet(int size) {
  scratch_dx = scratch_dy = size;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      unsigned char* p = scratch_array + (static_cast<size_t>(y) * size + x) * 4;
      p[0] = static_cast<unsigned char>(x & 255);
      p[1] = static_cast<unsigned char>(y & 255);
      p[2] = static_cast<unsigned char>(0x80 | (x >> 8) | ((y >> 8) << 3));
      p[3] = 255;
    }
}

struct texel {
  int x, y;
  bool lit;
};
texel decode(const unsigned char* p) {
  return texel{p[0] | ((p[2] & 7) << 8), p[1] | (((p[2] >> 3) & 7) << 8), (p[2] & 0x80) != 0};
}

// Where a run of slices maps a pixel offset: cap, tiled middle, far cap ending at `length`.
int slice(int rel, int length, int cap0, int mid_end, int cap1) {
  const int mid = mid_end - cap0;
  if (rel < cap0) return rel;
  if (rel >= length - cap1) return mid_end + (rel - (length - cap1));
  return cap0 + (rel - cap0) % mid;
}

class SheetTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    mnw.tex_res = 5;
    mnw.menu_open = -1;
    glExt.max_tex_size = 2048;
    static bool loaded = false;
    if (!loaded) {
      const int flags = tex_col_rgba | tex_full_res | tex_no_effect;
      fill_coordinate_sheet(512);
      ASSERT_EQ(tman.load_texture(tex_fail_fatal, t_interface, flags, tex_loaded, "scratch_array:test sheet 392"), t_interface);
      fill_coordinate_sheet(1024);
      ASSERT_EQ(tman.load_texture(tex_fail_fatal, t_installer, flags, tex_loaded, "scratch_array:test sheet 393"), t_installer);
      loaded = true;
    }
    tman.reset_bind();
    clear();
  }

  // Every pixel of [x0, x1) x [y0, y1) shows sheet texel (fx(X), fy(Y)); every pixel outside
  // it stays black.
  static void expect_sheet(const std::vector<unsigned char>& px, int x0, int y0, int x1, int y1,
                           const std::function<int(int)>& fx, const std::function<int(int)>& fy) {
    int bad = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const texel t = decode(at(px, x, y));
        const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
        if (!inside) {
          if (t.lit || at(px, x, y)[0] || at(px, x, y)[1]) {
            if (++bad < 5) ADD_FAILURE() << "pixel drawn outside at " << x << "," << y;
          }
          continue;
        }
        if (!t.lit || t.x != fx(x) || t.y != fy(y)) {
          if (++bad < 5)
            ADD_FAILURE() << "pixel " << x << "," << y << " shows " << t.x << "," << t.y
                          << " expected " << fx(x) << "," << fy(y);
        }
      }
    EXPECT_EQ(bad, 0);
  }
};

TEST_F(SheetTest, ButtonBarTilesItsMiddleAndKeepsItsCaps) {
  BTN_frame1(2, 160, 100, 150, 0);  // 150 wide from 85; middle 32 tiled, last piece cut
  const auto px = read_back();
  expect_sheet(
      px, 85, 87, 235, 113, [](int x) { return 304 + slice(x - 85, 150, 10, 42, 10); },
      [](int y) { return 486 + (y - 87); });
}

TEST_F(SheetTest, MenuBarSitsThreeDownAndHonoursTheSubWindowOrigin) {
  mnw.wind_x = 20;
  mnw.wind_y = 30;
  BTN_frame1(0, 100.5f, 80, 130, 0);  // centre 101, 130 wide: 36..166 in the sub-window
  const auto px = read_back();
  expect_sheet(
      px, 56, 94, 186, 120, [](int x) { return 1 + slice(x - 56, 130, 10, 90, 10); },
      // The bar is 26 rows high from row 487: its top row wraps to the sheet's first row.
      [](int y) { return (487 + (y - 94)) % 512; });
}

TEST_F(SheetTest, VerticalTrackStacksCapsAndTilesUpwards) {
  BTN_frame0(6, 100, 120, 150);  // 158 high from 41
  const auto px = read_back();
  expect_sheet(
      px, 90, 41, 110, 199, [](int x) { return 102 + (x - 90); },
      [](int y) { return 248 + slice(y - 41, 158, 10, 30, 10); });
}

TEST_F(SheetTest, NineSlicePanelTilesBothWays) {
  BTN_frame2(13, 40, 40, 230, 170, "");  // drawn 248 x 188 from (31, 26)
  const auto px = read_back();
  expect_sheet(
      px, 31, 26, 279, 214, [](int x) { return 203 + slice(x - 31, 248, 35, 65, 35); },
      [](int y) { return 358 + slice(y - 26, 188, 30, 70, 30); });
}

TEST_F(SheetTest, DropDownPanelUsesItsFixedSlices) {
  BTN_frame2(17, 50, 50, 120, 90, "");  // drawn 136 x 105 from (42, 37)
  const auto px = read_back();
  expect_sheet(
      px, 42, 37, 178, 142, [](int x) { return 70 + slice(x - 42, 136, 20, 22, 20); },
      [](int y) { return 315 + slice(y - 37, 105, 26, 28, 14); });
}

TEST_F(SheetTest, BannerComesFromTheInstallerPicture) {
  BTN_frame2(20, 60, 60, 99, 59, "");  // drawn 101 x 61 from (59, 59); slices of 41 units
  const auto px = read_back();
  // Caps of 14.35 units: compare away from the fractional seams.
  int checked = 0;
  for (int y = 59; y < 120; ++y)
    for (int x = 59; x < 160; ++x) {
      const int rx = x - 59, ry = y - 59;
      if (rx > 15 || ry > 13) continue;  // the lower-left cap
      const texel t = decode(at(px, x, y));
      EXPECT_TRUE(t.lit);
      EXPECT_EQ(t.x, 774 + rx);
      EXPECT_EQ(t.y, 78 + ry);
      ++checked;
    }
  EXPECT_GT(checked, 100);
  EXPECT_TRUE(decode(at(px, 159, 119)).lit);
  EXPECT_FALSE(decode(at(px, 160, 119)).lit);
  EXPECT_FALSE(decode(at(px, 58, 59)).lit);
}

TEST_F(SheetTest, TickedCheckBoxShowsTheOverlayOverTheBox) {
  int v = 1;
  BTN_bool(100, 100, &v, "", 0);
  const auto px = read_back();
  expect_sheet(
      px, 91, 94, 109, 112, [](int x) { return 139 + (x - 91); }, [](int y) { return 197 + (y - 94); });
}

TEST_F(SheetTest, SliderArrowsThumbAndTrack) {
  int v = 0;
  BTN_vert_slider(0, 150, 60, 180, 0, 10, &v);
  const auto px = read_back();
  // Up arrow over the track's top: centred at 188, 22 high, 18 wide; its lowest rows are
  // under the thumb, which is drawn after it.
  for (int y = 182; y < 199; ++y) {
    const texel t = decode(at(px, 145, y));
    EXPECT_EQ(t.x, 83 + (145 - 141));
    EXPECT_EQ(t.y, 266 + (y - 177));
  }
  // Thumb at the top of the track (value at min): centred on 170, 24 high, rows 158..181.
  for (int y = 158; y < 182; ++y) EXPECT_EQ(decode(at(px, 145, y)).y, 240 + (y - 158));
  // Track between thumb and down arrow; columns 140..159 of the sheet 102..121.
  EXPECT_EQ(decode(at(px, 140, 100)).x, 102);
  EXPECT_EQ(decode(at(px, 159, 100)).x, 121);
  // Down arrow: centred at 50.
  for (int y = 39; y < 61; ++y) EXPECT_EQ(decode(at(px, 145, y)).y, 216 + (y - 39));
}

TEST_F(SheetTest, TintScalesTheSheet) {
  BTN_frame1(4, 100, 100, 40, 3);  // progress track tinted with colour 3
  const auto px = read_back();
  const unsigned char* p = at(px, 100, 100);
  const int tx = 112 + slice(100 - 80, 40, 10, 18, 10), ty = 161 + (100 - 92);
  EXPECT_NEAR(p[0], (tx & 255) * colr.rgb[3][0], 1.5);
  EXPECT_NEAR(p[1], (ty & 255) * colr.rgb[3][1], 1.5);
}

TEST_F(SheetTest, CloseBoxesInTheCornersOfASubWindow) {
  mnw.wind_id = 1;
  mnw.wind_w = 300;
  mnw.wind_h = 200;
  mnw.mouse_x = mnw.mouse_y = -50;
  EXPECT_EQ(BTN_zap_boxes(1), 0);
  const auto px = read_back();
  int x0, y0, x1, y1, n;
  ASSERT_TRUE(lit_box(px, &x0, &y0, &x1, &y1, &n));
  EXPECT_EQ(n, 2 * 18 * 18);  // nothing else drawn
  EXPECT_EQ(x0, 7);
  EXPECT_EQ(x1, 292);
  EXPECT_EQ(y0, 181);
  EXPECT_EQ(y1, 198);
  for (int x : {7, 24, 275, 292})
    for (int y : {181, 198}) {
      const texel t = decode(at(px, x, y));
      EXPECT_TRUE(t.lit);
      EXPECT_EQ(t.y, 197 + (y - 181));
      EXPECT_EQ(t.x, 120 + (x < 100 ? x - 7 : x - 275));
    }
  EXPECT_FALSE(decode(at(px, 6, 190)).lit);
  EXPECT_FALSE(decode(at(px, 25, 190)).lit);
}

}  // namespace
