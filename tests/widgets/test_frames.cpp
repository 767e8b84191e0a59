// Bars, panels, window backgrounds and close boxes as quads: where each piece lands on screen
// and which part of the sheet it shows; bad styles end the program.
#include <gtest/gtest.h>

#include <cmath>

#include "ogl/text.h"
#include "widget_fixture.h"

namespace {

class FrameTest : public WidgetTest {
 protected:
  // Pieces must lie end to end along x, each showing as many sheet pixels as it is wide.
  static void expect_row_unscaled(const std::vector<BTN_quad>& q, float x_from, float x_to) {
    ASSERT_FALSE(q.empty());
    EXPECT_FLOAT_EQ(q.front().x0, x_from);
    EXPECT_FLOAT_EQ(q.back().x1, x_to);
    for (size_t i = 0; i < q.size(); ++i) {
      EXPECT_FLOAT_EQ(q[i].x1 - q[i].x0, sx1(q[i]) - sx0(q[i])) << "piece " << i;
      EXPECT_FLOAT_EQ(q[i].y1 - q[i].y0, sy1(q[i]) - sy0(q[i])) << "piece " << i;
      if (i + 1 < q.size()) {
        EXPECT_FLOAT_EQ(q[i].x1, q[i + 1].x0) << "gap after piece " << i;
      }
    }
  }
};

TEST_F(FrameTest, ButtonBarAtItsOwnWidthIsExactlyTheSprite) {
  BTN_frame1(2, 100, 50, 52, 0);
  const auto& q = drawn.quads;
  ASSERT_EQ(q.size(), 3u);
  expect_row_unscaled(q, 74, 126);
  // Left cap 10, one middle piece of 32, right cap 10: the sprite 304..356 in one run.
  EXPECT_FLOAT_EQ(q[0].x1, 84);
  EXPECT_FLOAT_EQ(q[1].x1, 116);
  EXPECT_FLOAT_EQ(sx0(q[0]), 304);
  EXPECT_FLOAT_EQ(sx0(q[1]), 314);
  EXPECT_FLOAT_EQ(sx1(q[1]), 346);
  EXPECT_FLOAT_EQ(sx1(q[2]), 356);
  for (const BTN_quad& p : q) {
    EXPECT_EQ(p.tex, 392);
    EXPECT_EQ(p.colour, 0);
    EXPECT_FLOAT_EQ(p.y0, 37);
    EXPECT_FLOAT_EQ(p.y1, 63);
    EXPECT_FLOAT_EQ(sy0(p), 486);
    EXPECT_FLOAT_EQ(sy1(p), 512);
  }
}

TEST_F(FrameTest, MenuBarOfWidth100HasOneWholeMiddlePieceAndTheSecondCutToNothing) {
  BTN_frame1(0, 300, 700, 100, 5);
  const auto& q = drawn.quads;
  ASSERT_EQ(q.size(), 3u);
  expect_row_unscaled(q, 250, 350);
  EXPECT_FLOAT_EQ(q[1].x1 - q[1].x0, 80);
  EXPECT_FLOAT_EQ(sx0(q[2]), 1 + 90);
  // The menu bar sits 3 pixels down; the caller's colour tints it.
  EXPECT_FLOAT_EQ(q[0].y0, 700 - 3 - 13);
  EXPECT_EQ(q[0].colour, 5);
}

TEST_F(FrameTest, LongBarTilesTheMiddleAndCutsTheLastPiece) {
  BTN_frame1(2, 200, 100, 200, 0);  // 180 between the caps: 5 pieces of 32 and one of 20
  const auto& q = drawn.quads;
  ASSERT_EQ(q.size(), 8u);
  expect_row_unscaled(q, 100, 300);
  for (int i = 1; i <= 5; ++i) {
    EXPECT_FLOAT_EQ(sx0(q[i]), 314);
    EXPECT_FLOAT_EQ(sx1(q[i]), 346);
  }
  EXPECT_FLOAT_EQ(sx0(q[6]), 314);  // the leading part of the middle section
  EXPECT_FLOAT_EQ(sx1(q[6]), 334);
  EXPECT_FLOAT_EQ(q[7].x0, 290);
}

TEST_F(FrameTest, WidthsRoundToEvenAndBoxesAreWider) {
  BTN_frame1(2, 100, 50, 51, 0);  // 25.5 goes to 26
  expect_row_unscaled(drawn.quads, 74, 126);
  drawn.clear();
  BTN_frame1(2, 100, 50, 21, 0);  // the narrowest button: 22
  EXPECT_FLOAT_EQ(drawn.quads.back().x1 - drawn.quads.front().x0, 22);
  drawn.clear();
  BTN_frame1(9, 100, 50, 50, 0);  // text box: 4 wider
  expect_row_unscaled(drawn.quads, 73, 127);
  drawn.clear();
  BTN_frame1(10, 100, 50, 50, 0);  // pop-up button: 4 wider, caps of 26
  expect_row_unscaled(drawn.quads, 73, 127);
  EXPECT_FLOAT_EQ(drawn.quads.front().x1 - drawn.quads.front().x0, 26);
  drawn.clear();
  BTN_frame1(2, 100.5f, 50, 52, 0);  // the centre goes to the nearest whole pixel, away from 0
  expect_row_unscaled(drawn.quads, 75, 127);
  drawn.clear();
  BTN_frame1(2, -100.5f, 50, 52, 0);
  expect_row_unscaled(drawn.quads, -127, -75);
}

TEST_F(FrameTest, EveryBarStyleShowsItsOwnSprite) {
  struct row { int style; float sx, sy, h, cap, split; };
  const row rows[] = {{0, 1, 487, 26, 10, 90},   {1, 102, 487, 26, 20, 80},  {2, 304, 486, 26, 10, 42},
                      {3, 304, 459, 26, 10, 42}, {4, 112, 161, 16, 10, 18},  {5, 83, 161, 16, 10, 18},
                      {7, 240, 242, 24, 10, 55}, {8, 289, 219, 16, 7, 9},    {9, 262, 133, 26, 10, 41},
                      {10, 357, 488, 24, 26, 42}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.style);
    drawn.clear();
    BTN_frame1(r.style, 500, 300, 300, 0);
    const auto& q = drawn.quads;
    ASSERT_GE(q.size(), 3u);
    EXPECT_FLOAT_EQ(sx0(q.front()), r.sx);
    EXPECT_FLOAT_EQ(sx1(q.front()), r.sx + r.cap);
    EXPECT_FLOAT_EQ(sx0(q.back()), r.sx + r.split);
    EXPECT_FLOAT_EQ(sx1(q.back()), r.sx + r.split + r.cap);
    EXPECT_FLOAT_EQ(sy0(q.front()), r.sy);
    EXPECT_FLOAT_EQ(q.front().y1 - q.front().y0, r.h);
    const float extra = (r.style == 9 || r.style == 10) ? 4 : 0;
    expect_row_unscaled(q, 500 - 150 - extra / 2, 500 + 150 + extra / 2);
  }
}

TEST_F(FrameTest, VerticalTrackStacksCapsAndCutsTheLastMiddlePiece) {
  BTN_frame0(6, 50, 200, 100);  // 108 high: bottom 146
  const auto& q = drawn.quads;
  ASSERT_EQ(q.size(), 7u);
  const float tops[] = {156, 176, 196, 216, 236, 244, 254};
  float y = 146;
  for (size_t i = 0; i < q.size(); ++i) {
    EXPECT_FLOAT_EQ(q[i].y0, y);
    EXPECT_FLOAT_EQ(q[i].y1, tops[i]);
    EXPECT_FLOAT_EQ(q[i].x0, 40);
    EXPECT_FLOAT_EQ(q[i].x1, 60);
    EXPECT_FLOAT_EQ(sx0(q[i]), 102);
    EXPECT_FLOAT_EQ(sx1(q[i]), 122);
    EXPECT_FLOAT_EQ(q[i].y1 - q[i].y0, sy1(q[i]) - sy0(q[i]));
    y = tops[i];
  }
  EXPECT_FLOAT_EQ(sy0(q[0]), 248);
  EXPECT_FLOAT_EQ(sy0(q[1]), 258);
  EXPECT_FLOAT_EQ(sy1(q[1]), 278);
  EXPECT_FLOAT_EQ(sy0(q[5]), 258);  // the lower part of the middle section
  EXPECT_FLOAT_EQ(sy1(q[5]), 266);
  EXPECT_FLOAT_EQ(sy0(q[6]), 278);
  EXPECT_FLOAT_EQ(sy1(q[6]), 288);
}

TEST_F(FrameTest, NineSlicePanelTilesRowsAndColumns) {
  stls[0] = "unused";
  BTN_frame2(13, 100, 100, 200, 150, "Title");
  const auto& q = drawn.quads;
  // Drawn 218 x 168 from (91, 86): 1 + 5 + 1 columns, 1 + 3 + 1 rows.
  ASSERT_EQ(q.size(), 35u);
  const float col_x[] = {91, 126, 156, 186, 216, 246, 274, 309};
  const float row_y[] = {86, 116, 156, 196, 224, 254};
  const float col_s[][2] = {{0, 35}, {35, 65}, {35, 65}, {35, 65}, {35, 65}, {35, 63}, {65, 100}};
  const float row_t[][2] = {{0, 30}, {30, 70}, {30, 70}, {30, 58}, {70, 100}};
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 7; ++c) {
      const BTN_quad& p = q[static_cast<size_t>(r * 7 + c)];
      SCOPED_TRACE(testing::Message() << "row " << r << " column " << c);
      EXPECT_FLOAT_EQ(p.x0, col_x[c]);
      EXPECT_FLOAT_EQ(p.x1, col_x[c + 1]);
      EXPECT_FLOAT_EQ(p.y0, row_y[r]);
      EXPECT_FLOAT_EQ(p.y1, row_y[r + 1]);
      EXPECT_NEAR(sx0(p), 203 + col_s[c][0], 1e-3);
      EXPECT_NEAR(sx1(p), 203 + col_s[c][1], 1e-3);
      EXPECT_NEAR(sy0(p), 358 + row_t[r][0], 1e-3);
      EXPECT_NEAR(sy1(p), 358 + row_t[r][1], 1e-3);
      EXPECT_EQ(p.colour, 0);
    }
  ASSERT_EQ(drawn.texts.size(), 1u);
  const text_rec& t = drawn.texts[0];
  EXPECT_EQ(t.text, "Title");
  EXPECT_EQ(t.colour, 43);
  EXPECT_FLOAT_EQ(t.x, 100 + 100 - OGL_str_width("Title") / 2.0f);
  EXPECT_FLOAT_EQ(t.y, 100 + 150 - 16);
  EXPECT_EQ(t.align, 0);
  EXPECT_EQ(t.charset, 100);
}

TEST_F(FrameTest, PanelStylesUseTheirSpritesOutsetsAndTitleColours) {
  struct row { int style; int tex; float sx, sy, size, side, bottom, top; int title_colour; float title_dy; };
  const row rows[] = {{11, 392, 1, 358, 100, 9, 14, 4, 40, 13},   {12, 392, 102, 358, 100, 9, 14, 4, 43, 16},
                      {14, 392, 304, 358, 100, 9, 14, 4, 43, 16}, {15, 392, 405, 358, 100, 9, 14, 4, 47, 16},
                      {16, 392, 1, 289, 68, 2, 2, 2, 43, 16},     {18, 392, 113, 315, 42, 8, 13, 2, 43, 16},
                      {19, 392, 440, 12, 44, 6, 9, 4, 43, 16},    {20, 393, 774, 78, 41, 1, 1, 1, 43, 16}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.style);
    drawn.clear();
    BTN_frame2(r.style, 300, 200, 400, 300, "T");
    const auto& q = drawn.quads;
    ASSERT_FALSE(q.empty());
    const float unit = r.tex == 393 ? 1024.0f : 512.0f;
    EXPECT_EQ(q.front().tex, r.tex);
    EXPECT_FLOAT_EQ(q.front().x0, 300 - r.side);
    EXPECT_FLOAT_EQ(q.front().y0, 200 - r.bottom);
    EXPECT_FLOAT_EQ(q.back().x1, 700 + r.side);
    EXPECT_FLOAT_EQ(q.back().y1, 500 + r.top);
    EXPECT_NEAR(q.front().s0 * unit, r.sx, 1e-3);
    EXPECT_NEAR(q.front().t0 * unit, r.sy, 1e-3);
    EXPECT_NEAR(q.front().s1 * unit, r.sx + 0.35f * r.size, 1e-3);  // left cap
    EXPECT_NEAR(q.front().t1 * unit, r.sy + 0.3f * r.size, 1e-3);   // bottom cap
    EXPECT_NEAR(q.back().s1 * unit, r.sx + r.size, 1e-3);
    EXPECT_NEAR(q.back().t1 * unit, r.sy + r.size, 1e-3);
    ASSERT_EQ(drawn.texts.size(), 1u);
    EXPECT_EQ(drawn.texts[0].colour, r.title_colour);
    EXPECT_FLOAT_EQ(drawn.texts[0].y, 500 - r.title_dy);
    EXPECT_FLOAT_EQ(drawn.texts[0].x, r.style == 20 ? 310 : 500 - OGL_str_width("T") / 2.0f);
  }
}

TEST_F(FrameTest, DropDownListPanelHasFixedSlices) {
  BTN_frame2(17, 100, 100, 100, 100, "");
  const auto& q = drawn.quads;
  ASSERT_FALSE(q.empty());
  EXPECT_TRUE(drawn.texts.empty());  // untitled
  const BTN_quad& first = q.front();
  EXPECT_FLOAT_EQ(first.x0, 92);
  EXPECT_FLOAT_EQ(first.x1, 112);
  EXPECT_FLOAT_EQ(first.y0, 87);
  EXPECT_FLOAT_EQ(first.y1, 113);  // bottom cap 26 high
  EXPECT_FLOAT_EQ(sx1(first), 90);
  EXPECT_FLOAT_EQ(sy1(first), 341);
  const BTN_quad& last = q.back();
  EXPECT_FLOAT_EQ(last.y1 - last.y0, 14);  // top cap 14 high
  EXPECT_FLOAT_EQ(sy0(last), 343);
  EXPECT_FLOAT_EQ(sy1(last), 357);
  EXPECT_FLOAT_EQ(sx0(last), 92);
  EXPECT_FLOAT_EQ(last.x1, 208);
  // Middle pieces are 2 sheet pixels; every piece is drawn at the sheet's scale.
  for (const BTN_quad& p : q) {
    EXPECT_FLOAT_EQ(p.x1 - p.x0, sx1(p) - sx0(p));
    EXPECT_FLOAT_EQ(p.y1 - p.y0, sy1(p) - sy0(p));
  }
}

TEST_F(FrameTest, PanelSmallerThanItsCapsStillDrawsOneMiddleRow) {
  BTN_frame2(13, 0, 0, 40, 20, "");  // drawn 58 x 38, caps 30 + 30 rows
  const auto& q = drawn.quads;
  std::vector<float> row_starts;
  for (const BTN_quad& p : q)
    if (row_starts.empty() || row_starts.back() != p.y0) row_starts.push_back(p.y0);
  ASSERT_EQ(row_starts.size(), 3u);
  EXPECT_FLOAT_EQ(row_starts[0], -14);
  EXPECT_FLOAT_EQ(row_starts[1], 16);                 // the middle row starts above the bottom cap
  EXPECT_FLOAT_EQ(row_starts[2], -14 + 38 - 30);      // the top cap ends at the top
}

TEST_F(FrameTest, WindowBackgroundHasCloseBoxesOnlyInOrdinarySubWindows) {
  mnw.wind_w = 500;
  mnw.wind_h = 300;
  stls[0] = "EULA";
  for (int id : {0, 995, 999, 1, 2}) {
    SCOPED_TRACE(id);
    mnw.wind_id = id;
    drawn.clear();
    BTN_frame2(11, 0, 0, 500, 300, "x");
    int boxes = 0;
    for (const BTN_quad& p : drawn.quads)
      if (sx0(p) == 120 && sy0(p) == 178) {
        ++boxes;
        EXPECT_FLOAT_EQ(p.y0, 281);
        EXPECT_TRUE(p.x0 == 7 || p.x0 == 475);
      }
    EXPECT_EQ(boxes, (id == 1 || id == 2) ? 2 : 0);
  }
  drawn.clear();
  BTN_frame2(12, 0, 0, 500, 300, "x");
  for (const BTN_quad& p : drawn.quads) EXPECT_NE(sx0(p), 120);
}

TEST_F(FrameTest, FillwinDrawsTheBackgroundTitledAndItsInnerPart) {
  mnw.wind_w = 600;
  mnw.wind_h = 380;
  stls[0] = "Prefs";
  BTN_fillwin(1, 21);
  ASSERT_EQ(drawn.texts.size(), 1u);
  EXPECT_EQ(drawn.texts[0].text, "Prefs");
  EXPECT_EQ(drawn.texts[0].colour, 40);  // style 11
  EXPECT_FLOAT_EQ(drawn.quads.front().x0, -9);
  EXPECT_FLOAT_EQ(drawn.quads.back().y1, 384);
  const size_t plain = drawn.quads.size();

  drawn.clear();
  BTN_fillwin(1, 1);
  ASSERT_GT(drawn.quads.size(), plain);
  const BTN_quad& header_last = drawn.quads.back();  // header bar: style 1, 600 wide, 3 down
  EXPECT_FLOAT_EQ(header_last.x1, 600);
  EXPECT_FLOAT_EQ(header_last.y0, 380 - 50 - 3 - 13);
  EXPECT_FLOAT_EQ(sy0(header_last), 487);
  EXPECT_FLOAT_EQ(sx0(header_last), 102 + 80);

  drawn.clear();
  BTN_fillwin(0, 15);
  ASSERT_EQ(drawn.texts.size(), 1u);
  EXPECT_EQ(drawn.texts[0].colour, 43);  // style 12
  const BTN_quad& inner_first = drawn.quads[plain];
  EXPECT_FLOAT_EQ(inner_first.x0, 10 - 9);
  EXPECT_FLOAT_EQ(inner_first.y0, 10 - 14);
  EXPECT_FLOAT_EQ(sx0(inner_first), 405);
  EXPECT_FLOAT_EQ(drawn.quads.back().x1, 10 + 580 + 9);
  EXPECT_FLOAT_EQ(drawn.quads.back().y1, 10 + 340 + 4);
}

TEST_F(FrameTest, SubwinFillsDefaultsAndAdvancesTheCursor) {
  mnw.wind_w = 1024;
  mnw.wind_h = 768;
  float nx = 0, ny = 0;
  BTN_subwin(30, 15, -1, -1, -1, -1, "Panel", &nx, &ny);
  // x, y 10; dx = 1024 - 10 - 10; dy = 768 - 28 - 10 - 30.
  EXPECT_FLOAT_EQ(drawn.quads.front().x0, 10 - 9);
  EXPECT_FLOAT_EQ(drawn.quads.back().x1, 10 + 1004 + 9);
  EXPECT_FLOAT_EQ(drawn.quads.back().y1, 10 + 700 + 4);
  EXPECT_FLOAT_EQ(nx, 1024);
  EXPECT_FLOAT_EQ(ny, 720);
  drawn.clear();
  BTN_subwin(0, 16, 20, 30, 100, 50, "", &nx, &ny);
  EXPECT_FLOAT_EQ(nx, 130);
  EXPECT_FLOAT_EQ(ny, 90);
  EXPECT_FLOAT_EQ(drawn.quads.front().x0, 18);
  BTN_subwin(0, 16, 20, 30, 100, 50, "", nullptr, nullptr);  // no cursor asked for
}

TEST_F(FrameTest, CloseBoxesAnswerClicksOnTheirEdges) {
  mnw.wind_w = 500;
  mnw.wind_h = 300;
  struct hit { float x, y; int click; int result; size_t quads; };
  const hit hits[] = {{7, 281, 1, 1, 1},  {25, 299, 1, 1, 1}, {16, 290, 0, 0, 2}, {26, 290, 1, 0, 2},
                      {6, 290, 1, 0, 2},  {16, 280, 1, 0, 2}, {475, 281, 1, 1, 2}, {493, 299, 1, 1, 2},
                      {494, 290, 1, 0, 2}, {250, 290, 1, 0, 2}};
  for (const hit& h : hits) {
    SCOPED_TRACE(testing::Message() << h.x << "," << h.y);
    drawn.clear();
    mnw.mouse_x = h.x;
    mnw.mouse_y = h.y;
    mnw.click = h.click;
    EXPECT_EQ(BTN_zap_boxes(0), h.result);
    ASSERT_EQ(drawn.quads.size(), h.quads);  // a hit on the left box returns before the right
    EXPECT_FLOAT_EQ(sy0(drawn.quads[0]), 178);
  }
  drawn.clear();
  mnw.click = 0;
  BTN_zap_boxes(1);
  ASSERT_EQ(drawn.quads.size(), 2u);
  EXPECT_FLOAT_EQ(sy0(drawn.quads[1]), 197);
  EXPECT_FLOAT_EQ(sy1(drawn.quads[1]), 215);
  EXPECT_FLOAT_EQ(drawn.quads[1].x0, 475);
}

TEST_F(FrameTest, UtilElementDrawsOneSpriteAtItsOwnSize) {
  BTN_util_element(40, 60, 200, 300, 8, 5, 47);
  ASSERT_EQ(drawn.quads.size(), 1u);
  const BTN_quad& p = drawn.quads[0];
  EXPECT_FLOAT_EQ(p.x0, 32);
  EXPECT_FLOAT_EQ(p.x1, 48);
  EXPECT_FLOAT_EQ(p.y0, 55);
  EXPECT_FLOAT_EQ(p.y1, 65);
  EXPECT_FLOAT_EQ(sx0(p), 192);
  EXPECT_FLOAT_EQ(sy1(p), 305);
  EXPECT_EQ(p.colour, 47);
}

using FrameDeathTest = FrameTest;

TEST_F(FrameDeathTest, BadStylesAndCentresAreFatal) {
  EXPECT_EXIT(BTN_frame1(6, 0, 0, 10, 0), testing::ExitedWithCode(1), "Bad BTN_frame1 call!");
  EXPECT_EXIT(BTN_frame1(11, 0, 0, 10, 0), testing::ExitedWithCode(1), "Bad BTN_frame1 call!");
  EXPECT_EXIT(BTN_frame1(-1, 0, 0, 10, 0), testing::ExitedWithCode(1), "Bad BTN_frame1 call!");
  EXPECT_EXIT(BTN_frame0(5, 0, 0, 10), testing::ExitedWithCode(1), "Bad BTN_frame0 call!");
  EXPECT_EXIT(BTN_frame0(6, 0.5f, 0, 10), testing::ExitedWithCode(1), "BTN_frame0 non-int x_center!");
  EXPECT_EXIT(BTN_frame0(6, 0, 10.5f, 10), testing::ExitedWithCode(1), "BTN_frame0 non-int y_center!");
  EXPECT_EXIT(BTN_frame2(10, 0, 0, 10, 10, "Named"), testing::ExitedWithCode(1), "Bad BTN_frame2 call!");
  EXPECT_EXIT(BTN_frame2(21, 0, 0, 10, 10, "Named"), testing::ExitedWithCode(1), "Named");
  EXPECT_EXIT(BTN_fillwin(1, 0), testing::ExitedWithCode(1), "Bad BTN_frame2 call!");
}

}  // namespace
