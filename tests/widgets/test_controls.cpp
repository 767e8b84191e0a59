// Push buttons, check boxes, radio buttons and sliders driven frame by frame through the
// input record, with the frame clock on an injected time source.
#include <gtest/gtest.h>

#include <cmath>

#include "ogl/text.h"
#include "widget_fixture.h"

namespace {

class ButtonTest : public WidgetTest {};

float bar_width(const std::vector<BTN_quad>& q, size_t from, size_t to) { return q[to - 1].x1 - q[from].x0; }

TEST_F(ButtonTest, WidthZeroFitsTheWholeLabel) {
  frame(0, 0);
  BTN_action(200, 100, 0, 0, 0, "", "-");
  ASSERT_EQ(drawn.quads.size(), 3u);
  EXPECT_FLOAT_EQ(bar_width(drawn.quads, 0, 3), 22);  // 21 asked, drawn even
  EXPECT_TRUE(drawn.texts.empty());

  drawn.clear();
  const std::string label = "Install|right{xhelp";
  BTN_action(200, 100, 0, 0, 0, label, "-");
  const float asked = static_cast<float>(OGL_str_width(label)) + 21.0f;
  EXPECT_FLOAT_EQ(bar_width(drawn.quads, 0, drawn.quads.size()), 2.0f * std::round(asked / 2.0f));
  ASSERT_EQ(drawn.texts.size(), 1u);
  EXPECT_EQ(drawn.texts[0].text, "Install");  // only the left part is shown
  EXPECT_EQ(drawn.texts[0].align, 1);
  EXPECT_FLOAT_EQ(drawn.texts[0].y, 97);
  EXPECT_EQ(drawn.texts[0].colour, 43);
}

TEST_F(ButtonTest, CaptionBesideTheButtonUnlessItIsADash) {
  frame(0, 0);
  BTN_action(200, 100, 80, 0, 0, "OK", "Press to go on");
  ASSERT_EQ(drawn.texts.size(), 2u);
  const text_rec& c = drawn.texts[1];
  EXPECT_EQ(c.text, "Press to go on");
  EXPECT_EQ(c.colour, 45);
  EXPECT_FLOAT_EQ(c.x, 200 + 40 + 10);
  EXPECT_FLOAT_EQ(c.y, 107);
  EXPECT_FLOAT_EQ(c.wrap, 500);
  EXPECT_EQ(c.align, 0);
}

TEST_F(ButtonTest, DownShowsThePressedBarAndModeTwoHighlights) {
  frame(0, 0);
  BTN_action(200, 100, 52, 1, 2, "Go", "-");
  ASSERT_EQ(drawn.quads.size(), 6u);
  EXPECT_FLOAT_EQ(sy0(drawn.quads[0]), 486);
  EXPECT_FLOAT_EQ(sy0(drawn.quads[3]), 459);
  ASSERT_EQ(drawn.texts.size(), 1u);
  EXPECT_EQ(drawn.texts[0].colour, 81);
  drawn.clear();
  BTN_action(200, 100, 52, 1, 1, "Go", "-");
  EXPECT_EQ(drawn.texts[0].colour, 43);
}

TEST_F(ButtonTest, HitBoxIsInclusive) {
  struct hit { float x, y; int expect; };
  const hit hits[] = {{160, 90, 1}, {240, 110, 1}, {200, 100, 1}, {159.5f, 100, 0},
                      {240.5f, 100, 0}, {200, 89.5f, 0}, {200, 110.5f, 0}};
  for (const hit& h : hits) {
    SCOPED_TRACE(testing::Message() << h.x << "," << h.y);
    frame(h.x, h.y, true);
    EXPECT_EQ(BTN_action(200, 100, 80, 0, 0, "Wide", "-"), h.expect);
    frame(h.x, h.y, false, true);
  }
}

TEST_F(ButtonTest, ActsOncePerClick) {
  int presses = 0;
  frame(200, 100);
  presses += BTN_action(200, 100, 80, 0, 0, "Once", "-");
  frame(200, 100, true);
  presses += BTN_action(200, 100, 80, 0, 0, "Once", "-");
  for (int i = 0; i < 30; ++i) {  // held for half a second
    frame(200, 100);
    presses += BTN_action(200, 100, 80, 0, 0, "Once", "-");
  }
  EXPECT_EQ(mnw.long_hold, 1);
  frame(200, 100, false, true);
  presses += BTN_action(200, 100, 80, 0, 0, "Once", "-");
  EXPECT_EQ(presses, 1);
}

TEST_F(ButtonTest, NotPressedWhileAMenuIsOpen) {
  mnw.menu_open = 1519;
  frame(200, 100, true);
  EXPECT_EQ(BTN_action(200, 100, 80, 0, 1, "Menu", "-"), 0);
  EXPECT_EQ(drawn.swaps, 0);
  mnw.menu_open = 3;
  frame(200, 100, true);
  EXPECT_EQ(BTN_action(200, 100, 80, 0, 1, "Menu", "-"), 0);
  mnw.menu_open = -1;
  frame(200, 100, true);
  EXPECT_EQ(BTN_action(200, 100, 80, 0, 1, "Menu", "-"), 1);
}

TEST_F(ButtonTest, FlashModesShowThePressedButtonForOneSwappedFrame) {
  frame(200, 100, true);
  ASSERT_EQ(BTN_action(200, 100, 80, 0, 1, "Flash", "-"), 1);
  EXPECT_EQ(drawn.swaps, 1);
  // Up bar, then the pressed bar and its label drawn again before the swap.
  ASSERT_EQ(drawn.quads.size(), 8u);
  EXPECT_FLOAT_EQ(sy0(drawn.quads.back()), 459);
  ASSERT_EQ(drawn.texts.size(), 2u);
  EXPECT_EQ(drawn.texts[1].colour, 43);

  frame(200, 100, true);
  ASSERT_EQ(BTN_action(200, 100, 80, 0, 0, "Plain", "-"), 1);
  EXPECT_EQ(drawn.swaps, 0);
  frame(200, 100, true);
  ASSERT_EQ(BTN_action(200, 100, 80, 1, 2, "Already down", "-"), 1);
  EXPECT_EQ(drawn.swaps, 0);
}

class CheckTest : public WidgetTest {};

TEST_F(CheckTest, ToggleNonzeroToZeroAndZeroToOne) {
  int v = 5;
  frame(100, 100, true);
  EXPECT_EQ(BTN_bool(100, 100, &v, "Check", 0), 1);
  EXPECT_EQ(v, 0);
  frame(100, 100, false, true);
  EXPECT_EQ(BTN_bool(100, 100, &v, "Check", 0), 0);
  EXPECT_EQ(v, 0);
  frame(100, 100, true);
  EXPECT_EQ(BTN_bool(100, 100, &v, "Check", 0), 1);
  EXPECT_EQ(v, 1);
}

TEST_F(CheckTest, HitBoxIsInclusiveAndOffsetUpwards) {
  struct hit { float x, y; int expect; };
  const hit hits[] = {{92, 96, 1}, {108, 112, 1}, {91.5f, 100, 0}, {108.5f, 100, 0},
                      {100, 95.5f, 0}, {100, 112.5f, 0}};
  for (const hit& h : hits) {
    SCOPED_TRACE(testing::Message() << h.x << "," << h.y);
    int v = 0;
    frame(h.x, h.y, true);
    EXPECT_EQ(BTN_bool(100, 100, &v, "x", 0), h.expect);
    EXPECT_EQ(v, h.expect);
  }
}

TEST_F(CheckTest, HoverSetsHelpAndMenuBlocksIt) {
  int v = 0;
  frame(100, 100);
  EXPECT_EQ(BTN_bool(100, 100, &v, "Left|Right{xHelp words", 0), 0);
  EXPECT_EQ(stls[1802], "Help words");
  stls[1802].clear();
  mnw.menu_open = 1519;
  frame(100, 100, true);
  EXPECT_EQ(BTN_bool(100, 100, &v, "Left|Right{xHelp words", 0), 0);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(stls[1802], "");
}

TEST_F(CheckTest, DrawsBoxOverlayAndLabelParts) {
  int v = 0;
  frame(0, 0);
  BTN_bool(100, 100, &v, "Left|Right", 0);
  ASSERT_EQ(drawn.quads.size(), 1u);
  const BTN_quad& box = drawn.quads[0];
  EXPECT_FLOAT_EQ(box.x0, 91);
  EXPECT_FLOAT_EQ(box.x1, 109);
  EXPECT_FLOAT_EQ(box.y0, 94);
  EXPECT_FLOAT_EQ(box.y1, 112);
  EXPECT_FLOAT_EQ(sx0(box), 139);
  EXPECT_FLOAT_EQ(sy0(box), 178);
  EXPECT_FLOAT_EQ(sy1(box), 196);
  ASSERT_EQ(drawn.texts.size(), 2u);
  EXPECT_EQ(drawn.texts[0].text, "Left");
  EXPECT_FLOAT_EQ(drawn.texts[0].x, 88);
  EXPECT_EQ(drawn.texts[0].align, 2);
  EXPECT_EQ(drawn.texts[1].text, "Right");
  EXPECT_FLOAT_EQ(drawn.texts[1].x, 112);
  EXPECT_EQ(drawn.texts[1].align, 0);

  drawn.clear();
  v = 1;
  BTN_bool(100, 100, &v, "", 1);  // radio, set
  ASSERT_EQ(drawn.quads.size(), 2u);
  EXPECT_FLOAT_EQ(sx0(drawn.quads[0]), 83);
  EXPECT_FLOAT_EQ(sy0(drawn.quads[0]), 123);
  EXPECT_FLOAT_EQ(sy0(drawn.quads[1]), 142);
  EXPECT_FLOAT_EQ(sy1(drawn.quads[1]), 160);
  EXPECT_FLOAT_EQ(drawn.quads[1].x0, 91);
  EXPECT_TRUE(drawn.texts.empty());

  drawn.clear();
  BTN_bool(100, 100, &v, "", 0);  // check box, ticked
  ASSERT_EQ(drawn.quads.size(), 2u);
  EXPECT_FLOAT_EQ(sy0(drawn.quads[1]), 197);
  EXPECT_FLOAT_EQ(sy1(drawn.quads[1]), 215);
}

TEST_F(CheckTest, AdaptersKeepTheirTypes) {
  bool b = false;
  frame(100, 100, true);
  EXPECT_EQ(BTN_xbol(100, 100, &b, "b"), 1);
  EXPECT_TRUE(b);
  EXPECT_EQ(BTN_xbol(100, 100, &b, "b"), 1);
  EXPECT_FALSE(b);

  char c = static_cast<char>(-1);
  EXPECT_EQ(BTN_xchr(100, 100, &c, "c"), 1);
  EXPECT_EQ(c, 0);
  EXPECT_EQ(BTN_xchr(100, 100, &c, "c"), 1);
  EXPECT_EQ(c, 1);

  unsigned char u = 200;
  EXPECT_EQ(BTN_xbyt(100, 100, &u, "u"), 1);
  EXPECT_EQ(u, 0);
  EXPECT_EQ(BTN_xbyt(100, 100, &u, "u"), 1);
  EXPECT_EQ(u, 1);

  frame(0, 0);  // not clicked: values unchanged
  EXPECT_EQ(BTN_xbyt(100, 100, &u, "u"), 0);
  EXPECT_EQ(u, 1);
  drawn.clear();
  c = 7;
  BTN_xchr(100, 100, &c, "c");  // a set char shows the tick
  EXPECT_EQ(drawn.quads.size(), 2u);
  EXPECT_EQ(c, 7);
}

TEST_F(CheckTest, RadioGroupSharesOneInt) {
  int choice = 0;
  auto group = [&] {
    int r = 0;
    for (int i = 0; i < 3; ++i) r |= BTN_is_int(100, 100 + 30.0f * i, &choice, i, "opt") << i;
    return r;
  };
  frame(100, 160, true);  // the radio whose choice is 2
  EXPECT_EQ(group(), 4);
  EXPECT_EQ(choice, 2);
  frame(100, 160, true);  // again: returns 1 and changes nothing
  EXPECT_EQ(group(), 4);
  EXPECT_EQ(choice, 2);
  frame(0, 0);
  EXPECT_EQ(group(), 0);
  // Only the selected radio shows its dot.
  int dots = 0;
  for (const BTN_quad& q : drawn.quads) dots += sy0(q) == 142;
  EXPECT_EQ(dots, 1);
  frame(100, 100, true);
  EXPECT_EQ(group(), 1);
  EXPECT_EQ(choice, 0);
}

class SliderTest : public WidgetTest {
 protected:
  static constexpr float kX = 500, kLow = 100, kHigh = 300;
  int v = 0;
  int slide(int index = 0) { return BTN_vert_slider(index, kX, kLow, kHigh, 0, 100, &v); }
  // The thumb quad of the last slider drawn: the middle of the three sprites after the track.
  static const BTN_quad& thumb() { return drawn.quads[drawn.quads.size() - 2]; }
  static float thumb_y() { return (thumb().y0 + thumb().y1) / 2.0f; }
};

TEST_F(SliderTest, ThumbRunsFromTheTopAtMinToTheBottomAtMax) {
  frame(0, 0);
  v = 0;
  EXPECT_EQ(slide(), 0);
  EXPECT_FLOAT_EQ(thumb_y(), kHigh - 10);
  EXPECT_FLOAT_EQ(thumb().y1 - thumb().y0, 24);
  EXPECT_FLOAT_EQ(sy0(thumb()), 240);
  drawn.clear();
  v = 100;
  slide();
  EXPECT_FLOAT_EQ(thumb_y(), kLow + 9);
  drawn.clear();
  v = 50;
  slide();
  EXPECT_FLOAT_EQ(thumb_y(), (kHigh - 10 + kLow + 9) / 2);
  // Arrows above and below the track, 22 high.
  const BTN_quad& up = drawn.quads[drawn.quads.size() - 3];
  const BTN_quad& down = drawn.quads.back();
  EXPECT_FLOAT_EQ(up.y0, kHigh + 8 - 11);
  EXPECT_FLOAT_EQ(sy0(up), 266);
  EXPECT_FLOAT_EQ(down.y1, kLow - 10 + 11);
  EXPECT_FLOAT_EQ(sy0(down), 216);
  EXPECT_FLOAT_EQ(down.x0, kX - 9);
  EXPECT_EQ(down.colour, 0);
}

TEST_F(SliderTest, ClicksOnArrowsAndTrack) {
  v = 50;
  frame(kX, kHigh + 10, true);  // up arrow
  slide();
  EXPECT_EQ(v, 49);
  frame(kX, kLow - 10, true);  // down arrow
  slide();
  EXPECT_EQ(v, 50);
  frame(kX + 11, kHigh - 20, true);  // track above the thumb, at the box's edge
  slide();
  EXPECT_EQ(v, 40);
  frame(kX - 11, kLow + 2, true);  // track below the thumb
  slide();
  EXPECT_EQ(v, 50);
  frame(kX + 12, kLow + 2, true);  // beside the track
  slide();
  EXPECT_EQ(v, 50);
  v = 0;
  frame(kX, kHigh + 10, true);  // limited at min
  slide();
  EXPECT_EQ(v, 0);
}

TEST_F(SliderTest, DraggingTheThumbMapsTheMouseAndHoldsTheGrab) {
  v = 0;
  frame(kX, kHigh - 10, true);  // press on the thumb
  EXPECT_EQ(slide(), 1);
  EXPECT_EQ(thumb().colour, 47);
  frame(kX + 200, kLow + 11);  // far to the side: still grabbed
  EXPECT_EQ(slide(), 1);
  EXPECT_EQ(v, 100);
  frame(kX, kLow - 50);
  EXPECT_EQ(slide(), 1);
  EXPECT_EQ(v, 100);
  frame(kX, (kHigh - 11 + kLow + 11) / 2);
  slide();
  EXPECT_EQ(v, 50);
  frame(kX, kHigh - 11 - 0.5f * 178 / 100);  // between steps: truncated
  slide();
  EXPECT_EQ(v, 0);
  frame(kX, kHigh - 11 - 1.5f * 178 / 100);
  slide();
  EXPECT_EQ(v, 1);
  frame(kX, kHigh + 40, false, true);  // released
  EXPECT_EQ(slide(), 0);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(thumb().colour, 0);
}

TEST_F(SliderTest, EachIndexHasItsOwnGrab) {
  int w = 0;
  v = 0;
  frame(kX, kHigh - 10, true);
  EXPECT_EQ(slide(0), 1);
  EXPECT_EQ(BTN_vert_slider(1, 100, kLow, kHigh, 0, 100, &w), 0);
  frame(kX, kLow);
  EXPECT_EQ(slide(0), 1);
  EXPECT_EQ(BTN_vert_slider(1, 100, kLow, kHigh, 0, 100, &w), 0);
  EXPECT_EQ(w, 0);
}

TEST_F(SliderTest, AGrabNotSeenReleasedDoesNotTakeTheNextPress) {
  v = 0;
  frame(kX, kHigh - 10, true);
  EXPECT_EQ(slide(), 1);
  frame(kX, kHigh - 30);
  EXPECT_EQ(slide(), 1);
  const int dragged = static_cast<int>(19.0f * 100.0f / 178.0f);  // 19 below the top end
  EXPECT_EQ(v, dragged);
  // Released while the slider was not drawn, then pressed on the down arrow.
  frame(kX, kHigh - 30, false, true);
  frame(kX, kLow - 10, true);
  EXPECT_EQ(slide(), 0);
  EXPECT_EQ(v, dragged + 1);
}

TEST_F(SliderTest, HoldingTheDownArrowRepeatsOnTheFifthSecondTick) {
  v = 10;
  frame(kX, kLow - 10, true);
  slide();
  EXPECT_EQ(v, 11);  // the click
  std::vector<float> steps;
  float t = 0;
  for (int i = 0; i < 60; ++i) {  // one second of frames at 60 Hz
    frame(kX, kLow - 10);
    t += 1.0f / 60.0f;
    const int before = v;
    slide();
    if (v != before) {
      EXPECT_EQ(v, before + 1);
      EXPECT_EQ(xtim.act_tick[tick_5hz], 1);
      EXPECT_EQ(mnw.long_hold, 1);
      steps.push_back(t);
    }
  }
  ASSERT_GE(steps.size(), 3u);
  ASSERT_LE(steps.size(), 4u);
  EXPECT_GT(steps.front(), 0.25f);  // nothing before a quarter second of holding
  for (size_t i = 1; i < steps.size(); ++i) EXPECT_NEAR(steps[i] - steps[i - 1], 0.2f, 0.02f);
  frame(kX, kLow - 10, false, true);
  const int after = v;
  for (int i = 0; i < 30; ++i) {
    frame(kX, kLow - 10);
    slide();
  }
  EXPECT_EQ(v, after);
}

TEST_F(SliderTest, EqualBoundsDrawOnlyTheTrack) {
  v = 3;
  frame(kX, kHigh + 10, true);
  EXPECT_EQ(BTN_vert_slider(0, kX, kLow, kHigh, 5, 5, &v), 0);
  EXPECT_EQ(v, 3);
  for (const BTN_quad& q : drawn.quads) EXPECT_FLOAT_EQ(sx0(q), 102);  // track pieces only
}

TEST_F(SliderTest, TrackTooShortForTheThumbKeepsTheValueWhileDragged) {
  v = 30;
  frame(kX, 110, true);
  EXPECT_EQ(BTN_vert_slider(0, kX, 100, 120, 0, 100, &v), 1);
  frame(kX, 90);
  EXPECT_EQ(BTN_vert_slider(0, kX, 100, 120, 0, 100, &v), 1);
  EXPECT_EQ(v, 30);
}

using SliderDeathTest = SliderTest;

TEST_F(SliderDeathTest, BadIndexIsFatal) {
  EXPECT_EXIT(BTN_vert_slider(4, kX, kLow, kHigh, 0, 100, &v), testing::ExitedWithCode(1), "Too many sliders!");
  EXPECT_EXIT(BTN_vert_slider(-1, kX, kLow, kHigh, 0, 100, &v), testing::ExitedWithCode(1), "index=-1");
  EXPECT_EXIT(BTN_vert_slider(0, kX, 100, 301, 0, 100, &v), testing::ExitedWithCode(1), "non-int y_center");
}

class HorzSliderTest : public WidgetTest {
 protected:
  static constexpr float kX = 100, kY = 200, kW = 200;
};

TEST_F(HorzSliderTest, FillFollowsTheValueAndColourTwelveHasNone) {
  float v = 0.5f;
  frame(0, 0);
  EXPECT_EQ(BTN_horz_slider(kX, kY, kW, 5, 0, 1, &v, 0, "", ""), 0);
  // Track (style 7) then the fill (style 8) tinted with the colour; no thumb when not interactive.
  std::vector<BTN_quad> fill;
  for (const BTN_quad& q : drawn.quads)
    if (sy0(q) == 219) fill.push_back(q);
  ASSERT_FALSE(fill.empty());
  EXPECT_FLOAT_EQ(fill.front().x0, kX);
  EXPECT_FLOAT_EQ(fill.back().x1, kX + 100);
  EXPECT_FLOAT_EQ(fill.front().y0, kY + 4 - 8);
  EXPECT_EQ(fill.front().colour, 5);
  for (const BTN_quad& q : drawn.quads) EXPECT_NE(sx0(q), 262);

  drawn.clear();
  v = 0.5f;
  BTN_horz_slider(kX, kY, kW, 12, 0, 1, &v, 0, "", "");
  for (const BTN_quad& q : drawn.quads) EXPECT_NE(sy0(q), 219);

  drawn.clear();
  v = 0.0984f;  // 19.68 pixels: trunc 19, halved 9.5, rounded 10, drawn 20
  BTN_horz_slider(kX, kY, kW, 5, 0, 1, &v, 0, "", "");
  fill.clear();
  for (const BTN_quad& q : drawn.quads)
    if (sy0(q) == 219) fill.push_back(q);
  ASSERT_FALSE(fill.empty());
  EXPECT_FLOAT_EQ(fill.back().x1 - fill.front().x0, 20);

  drawn.clear();
  v = 0.0384f;  // 8 pixels: narrower than the fill's two caps by more than two middle steps
  BTN_horz_slider(kX, kY, kW, 5, 0, 1, &v, 0, "", "");
  for (const BTN_quad& q : drawn.quads) EXPECT_NE(sy0(q), 219);

  drawn.clear();
  v = -3;  // nothing to fill
  BTN_horz_slider(kX, kY, kW, 5, 0, 1, &v, 0, "", "");
  for (const BTN_quad& q : drawn.quads) EXPECT_NE(sy0(q), 219);
}

TEST_F(HorzSliderTest, DragSetsTheValueWithinTheRange) {
  float v = 0;
  frame(kX + 50, kY, true);
  EXPECT_EQ(BTN_horz_slider(kX, kY, kW, 5, 10, 20, &v, 1, "", ""), 1);
  EXPECT_FLOAT_EQ(v, 12.5f);
  frame(kX + kW + 20, kY + 20);  // edge of the box, beyond the track
  EXPECT_EQ(BTN_horz_slider(kX, kY, kW, 5, 10, 20, &v, 1, "", ""), 1);
  EXPECT_FLOAT_EQ(v, 20);
  // The thumb sits at the value, 20 x 22 around y + 2.
  const BTN_quad& th = drawn.quads.back();
  EXPECT_FLOAT_EQ(sx0(th), 262);
  EXPECT_FLOAT_EQ(th.x0, kX + kW - 10);
  EXPECT_FLOAT_EQ(th.y0, kY + 2 - 11);
  frame(kX + kW + 21, kY);  // held, outside the box
  EXPECT_EQ(BTN_horz_slider(kX, kY, kW, 5, 10, 20, &v, 1, "", ""), 0);
  EXPECT_FLOAT_EQ(v, 20);
  frame(kX, kY, false, true);  // released
  EXPECT_EQ(BTN_horz_slider(kX, kY, kW, 5, 10, 20, &v, 1, "", ""), 0);
  EXPECT_FLOAT_EQ(v, 20);
}

TEST_F(HorzSliderTest, ReversedAndEmptyRanges) {
  float v = 0;
  // A reversed range maps from its smaller end at the left.
  frame(kX + kW / 4, kY, true);
  BTN_horz_slider(kX, kY, kW, 5, 8, 4, &v, 1, "", "");
  EXPECT_FLOAT_EQ(v, 5);
  // min equal to max: min becomes max + 0.01, a reversed range 0.01 wide.
  frame(kX + kW, kY);
  BTN_horz_slider(kX, kY, kW, 5, 3, 3, &v, 1, "", "");
  EXPECT_FLOAT_EQ(v, 3.01f);
  frame(kX, kY);
  BTN_horz_slider(kX, kY, kW, 5, 3, 3, &v, 1, "", "");
  EXPECT_FLOAT_EQ(v, 3);
  // A narrower forward range is widened to 0.01.
  frame(kX + kW, kY);
  BTN_horz_slider(kX, kY, kW, 5, 1, 1.001f, &v, 1, "", "");
  EXPECT_FLOAT_EQ(v, 1.01f);
}

TEST_F(HorzSliderTest, ZeroLengthTrackKeepsTheValue) {
  float v = 0.25f;
  frame(kX + 5, kY, true);
  BTN_horz_slider(kX, kY, 0, 5, 0, 1, &v, 1, "", "");
  EXPECT_FLOAT_EQ(v, 0.25f);
}

TEST_F(HorzSliderTest, LabelsHelpAndCaption) {
  float v = 0;
  frame(kX + 10, kY + 7);
  BTN_horz_slider(kX, kY, kW, 5, 0, 1, &v, 0, "Volume|Loud{xHow loud", "Level");
  EXPECT_EQ(stls[1802], "How loud");
  ASSERT_EQ(drawn.texts.size(), 3u);
  EXPECT_EQ(drawn.texts[0].text, "Volume");
  EXPECT_FLOAT_EQ(drawn.texts[0].x, kX - 8);
  EXPECT_EQ(drawn.texts[1].text, "Loud");
  EXPECT_FLOAT_EQ(drawn.texts[1].x, kX + kW + 8);
  EXPECT_EQ(drawn.texts[2].text, "Level");
  EXPECT_FLOAT_EQ(drawn.texts[2].x, kX + kW / 2);
  EXPECT_FLOAT_EQ(drawn.texts[2].y, kY + 10);
  EXPECT_EQ(drawn.texts[2].align, 1);
  EXPECT_EQ(drawn.texts[2].colour, 43);
  stls[1802].clear();
  frame(kX + 10, kY + 7.5f);
  BTN_horz_slider(kX, kY, kW, 5, 0, 1, &v, 0, "Volume|Loud{xHow loud", "Level");
  EXPECT_EQ(stls[1802], "");
}

}  // namespace
