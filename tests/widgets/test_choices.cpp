// Pop-up text lists, tabs, the direction dial and the vector accessors, driven frame by frame
// through the input record; the shell's side of a pick is played by hand here (the real hand-off
// is in popup_handoff.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ogl/text.h"
#include "widget_fixture.h"
#include "widgets/choices.h"

namespace {

struct turned_rec {
  BTN_quad q;
  float xy[8];
};

class ChoiceTest : public WidgetTest {
 protected:
  static inline std::vector<turned_rec> turned;

  void SetUp() override {
    WidgetTest::SetUp();
    turned.clear();
    sink.turned = [](void*, const BTN_quad& q, const float* xy) {
      turned_rec r{q, {}};
      for (int i = 0; i < 8; ++i) r.xy[i] = xy[i];
      turned.push_back(r);
    };
    menu.assign(kMenuCount, menu_struct{});
  }

  static const menu_struct& popup() { return menu[kPopupSlot]; }
  // The shell's pick of row r of the open list, as its click handler makes it.
  static void shell_picks(int r) {
    popup_menu_select = r;
    select_popup_code = active_popup_code;
    active_popup_code = 0;
    mnw.menu_open = -1;
    mnw.click = 0;
  }
};

const std::string kOs = "Macintosh-Windows-Linux";

float list_width(const std::vector<std::string>& rows) {
  int w = 0;
  for (const std::string& r : rows) w = std::max(w, OGL_str_width(r));
  return static_cast<float>(w);
}

// ---- Rows ----

TEST_F(ChoiceTest, RowsAreCutAtEveryDash) {
  struct row_case {
    std::string items;
    std::vector<std::string> rows;
  };
  const row_case cases[] = {
      {kOs, {"Macintosh", "Windows", "Linux"}},
      {"", {""}},
      {"one", {"one"}},
      {"a--b", {"a", "", "b"}},
      {"-lead", {"", "lead"}},
      {"trail-", {"trail", ""}},
      {"with space-x y", {"with space", "x y"}},
  };
  for (const row_case& c : cases) {
    SCOPED_TRACE(c.items);
    EXPECT_EQ(BTN_textlist_rows(c.items, "label"), c.rows);
  }
}

TEST_F(ChoiceTest, ThreeHundredRowsAreAcceptedAndTheNextIsFatal) {
  std::string items = "r0";
  for (int i = 1; i < BTN_textlist_max_rows; ++i) items += "-r" + std::to_string(i);
  const std::vector<std::string> rows = BTN_textlist_rows(items, "");
  ASSERT_EQ(rows.size(), 300u);
  EXPECT_EQ(rows.back(), "r299");

  int sel = 299;
  frame(0, 0);
  EXPECT_EQ(BTN_textlist(300, 400, &sel, items, "Big"), 0);
  EXPECT_EQ(sel, 299);

  const std::string over = items + "-r300";
  EXPECT_EXIT(BTN_textlist_rows(over, "Big list"), testing::ExitedWithCode(1),
              "BTN_text_list overflow!\nr0-r1-.*-r300\n\nBig list\n");
  // 300 dashes with nothing between them are 301 empty rows: just as fatal.
  EXPECT_EXIT(BTN_textlist(300, 400, &sel, std::string(300, '-'), "Dashes"), testing::ExitedWithCode(1),
              "BTN_text_list overflow!");
}

TEST_F(ChoiceTest, BarInTheItemsIsFatalNamingItemsAndLabel) {
  int sel = 0;
  frame(0, 0);
  EXPECT_EXIT(BTN_textlist(300, 400, &sel, "Mac|OS-Linux", "Target:|right"), testing::ExitedWithCode(1),
              "Found \\| char in text string!\nMac\\|OS-Linux\n\nTarget:\\|right\n");
}

// ---- The closed list ----

TEST_F(ChoiceTest, SelectionIsHeldToTheRows) {
  struct sel_case {
    int given, held;
    const char* shown;
  };
  const sel_case cases[] = {{5, 2, "Linux"}, {2, 2, "Linux"}, {0, 0, "Macintosh"}, {-3, 0, "Macintosh"}, {1, 1, "Windows"}};
  for (const sel_case& c : cases) {
    SCOPED_TRACE(c.given);
    frame(0, 0);
    int sel = c.given;
    EXPECT_EQ(BTN_textlist(300, 400, &sel, kOs, "OS"), 0);
    EXPECT_EQ(sel, c.held);
    ASSERT_FALSE(drawn.texts.empty());
    EXPECT_EQ(drawn.texts.back().text, c.shown);
  }
}

TEST_F(ChoiceTest, ButtonFitsTheWidestRowAndLabelsSitBesideIt) {
  frame(0, 0);
  int sel = 0;
  BTN_textlist(300, 400, &sel, kOs, "Left side|right side{xhover");
  const float w = list_width({"Macintosh", "Windows", "Linux"});
  // The pop-up bar, centred on x + 10, is w + 28 wide or more; the labels sit beside it.
  float x0 = 1e9f, x1 = -1e9f;
  for (const BTN_quad& q : drawn.quads) x0 = std::min(x0, q.x0), x1 = std::max(x1, q.x1);
  EXPECT_FLOAT_EQ((x0 + x1) / 2, 310);
  EXPECT_GE(x1 - x0, w + 28);
  ASSERT_EQ(drawn.texts.size(), 3u);
  EXPECT_EQ(drawn.texts[0].text, "Left side");
  EXPECT_FLOAT_EQ(drawn.texts[0].x, 300 - w / 2 - 5);
  EXPECT_EQ(drawn.texts[0].align, 2);  // ends at x
  EXPECT_EQ(drawn.texts[1].text, "right side");
  EXPECT_FLOAT_EQ(drawn.texts[1].x, 300 + w / 2 + 25);
  EXPECT_EQ(drawn.texts[1].align, 0);
}

TEST_F(ChoiceTest, HoverOverTheButtonShowsItsHelp) {
  int sel = 0;
  frame(300, 403);
  BTN_textlist(300, 400, &sel, kOs, "OS{xPick a system");
  EXPECT_EQ(stls[1802], "Pick a system");
  stls[1802].clear();
  frame(300, 420);
  BTN_textlist(300, 400, &sel, kOs, "OS{xPick a system");
  EXPECT_EQ(stls[1802], "");
}

// ---- Opening, the rows it lays out, and the pick ----

TEST_F(ChoiceTest, ClickOnTheButtonOpensTheListAroundTheSelection) {
  const float x = 300, y = 400;
  const float w = list_width({"Macintosh", "Windows", "Linux"});
  int sel = 1;
  // Just outside the button: nothing opens.
  for (const auto& [mx, my] : {std::pair{x - w / 2 - 6, y}, std::pair{x + w / 2 + 26, y}, std::pair{x, y - 3},
                               std::pair{x, y + 9}}) {
    frame(mx, my, true);
    BTN_textlist(x, y, &sel, kOs, "OS");
    EXPECT_EQ(active_popup_code, 0);
    EXPECT_EQ(mnw.menu_open, -1);
  }
  frame(x - w / 2 - 5, y + 8, true);  // the corner is inside
  EXPECT_EQ(BTN_textlist(x, y, &sel, kOs, "OS"), 0);
  EXPECT_EQ(active_popup_code, BTN_textlist_code(x, y));
  EXPECT_EQ(active_popup_code, static_cast<int>(y * 1024 + x));
  EXPECT_EQ(mnw.menu_open, kPopupSlot);
  EXPECT_EQ(sel, 1);

  const menu_struct& m = popup();
  EXPECT_EQ(m.link, -1);
  const int x1 = static_cast<int>(std::trunc(x - w / 2)) - 2, x2 = static_cast<int>(std::trunc(x + w / 2)) + 4;
  EXPECT_EQ(m.x1, x1);
  EXPECT_EQ(m.x2, x2);
  EXPECT_EQ(m.y1, 388);  // y - 12 x (last - selection)
  EXPECT_EQ(m.y2, 388 + 12 + 24);
  ASSERT_EQ(m.items.size(), 3u);
  const int y1s[3] = {409, 397, 385};
  const char* texts[3] = {"Macintosh", "Windows", "Linux"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(m.items[i].text, texts[i]);
    EXPECT_EQ(m.items[i].tall, 0);
    EXPECT_EQ(m.items[i].x1, x1);
    EXPECT_EQ(m.items[i].x2, x2);
    EXPECT_EQ(m.items[i].y1, y1s[i]);
    EXPECT_EQ(m.items[i].y2, y1s[i] + 12);
  }
  // The open list does not draw the closed button's text.
  for (const text_rec& t : drawn.texts) EXPECT_NE(t.text, "Windows");
}

TEST_F(ChoiceTest, PickIsDeliveredExactlyOnce) {
  int sel = 2;
  frame(300, 403, true);
  BTN_textlist(300, 400, &sel, kOs, "OS");
  ASSERT_EQ(mnw.menu_open, kPopupSlot);
  // Still open in later frames until a pick.
  for (int i = 0; i < 5; ++i) {
    frame(0, 0);
    EXPECT_EQ(BTN_textlist(300, 400, &sel, kOs, "OS"), 0);
    EXPECT_EQ(mnw.menu_open, kPopupSlot);
  }
  frame(0, 0);
  shell_picks(0);
  EXPECT_EQ(BTN_textlist(300, 400, &sel, kOs, "OS"), 1);
  EXPECT_EQ(sel, 0);
  EXPECT_EQ(select_popup_code, 0);
  EXPECT_EQ(mnw.menu_open, -1);
  for (int i = 0; i < 3; ++i) {
    frame(0, 0);
    EXPECT_EQ(BTN_textlist(300, 400, &sel, kOs, "OS"), 0);
    EXPECT_EQ(sel, 0);
    EXPECT_EQ(mnw.menu_open, -1);
  }
}

TEST_F(ChoiceTest, APickBelongsOnlyToTheListWhoseCodeItCarries) {
  int a = 0, b = 0;
  frame(300, 403, true);
  BTN_textlist(300, 400, &a, kOs, "A");
  BTN_textlist(300, 200, &b, kOs, "B");
  EXPECT_EQ(active_popup_code, BTN_textlist_code(300, 400));
  frame(0, 0);
  shell_picks(2);
  EXPECT_EQ(BTN_textlist(300, 200, &b, kOs, "B"), 0);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(BTN_textlist(300, 400, &a, kOs, "A"), 1);
  EXPECT_EQ(a, 2);
}

TEST_F(ChoiceTest, AClickOnAnotherListsButtonOpensThatOneInstead) {
  int a = 0, b = 1;
  frame(300, 403, true);
  BTN_textlist(300, 400, &a, kOs, "A");
  BTN_textlist(300, 200, &b, kOs, "B");
  ASSERT_EQ(active_popup_code, BTN_textlist_code(300, 400));
  // The shell closed the menu on a click that missed its rows, and left the click.
  frame(300, 203, true);
  mnw.menu_open = -1;
  BTN_textlist(300, 400, &a, kOs, "A");
  BTN_textlist(300, 200, &b, kOs, "B");
  EXPECT_EQ(active_popup_code, BTN_textlist_code(300, 200));
  EXPECT_EQ(mnw.menu_open, kPopupSlot);
  EXPECT_EQ(popup().items[1].y1, 197);  // B's rows, around its selection
}

TEST_F(ChoiceTest, APickBeyondTheRowsIsHeldToTheRows) {
  int sel = 0;
  frame(300, 403, true);
  BTN_textlist(300, 400, &sel, kOs, "OS");
  frame(0, 0);
  shell_picks(7);
  EXPECT_EQ(BTN_textlist(300, 400, &sel, kOs, "OS"), 1);
  EXPECT_EQ(sel, 2);
}

// ---- Keeping the open list inside the sub-window ----

struct rows_seen {
  int lowest, highest;
};
rows_seen rows_of(const menu_struct& m) { return {m.items.back().y1, m.items.front().y2}; }

TEST_F(ChoiceTest, AListNearTheBottomSlidesUpWithoutMovingTheSelection) {
  int sel = 0;
  const std::string items = "a-b-c-d-e";
  frame(300, 23, true);
  BTN_textlist(300, 20, &sel, items, "");
  ASSERT_EQ(mnw.menu_open, kPopupSlot);
  EXPECT_EQ(rows_of(popup()).lowest, 20 - 48 - 3);
  int frames = 0;
  for (; frames < 20 && rows_of(popup()).lowest < 0; ++frames) {
    frame(0, 0);
    const int before = rows_of(popup()).lowest;
    BTN_textlist(300, 20, &sel, items, "");
    EXPECT_EQ(sel, 0);  // never moved by the slide
    EXPECT_EQ(rows_of(popup()).lowest, before + 12);
  }
  EXPECT_EQ(frames, 3);  // -31, -19, -7, 5
  EXPECT_GE(rows_of(popup()).lowest, 0);
  // At rest now.
  const rows_seen rest = rows_of(popup());
  for (int i = 0; i < 10; ++i) {
    frame(0, 0);
    BTN_textlist(300, 20, &sel, items, "");
    EXPECT_EQ(rows_of(popup()).lowest, rest.lowest);
  }
  // A pick names a row of the items whatever the slide, and only a pick moves the selection.
  frame(0, 0);
  shell_picks(3);
  EXPECT_EQ(BTN_textlist(300, 20, &sel, items, ""), 1);
  EXPECT_EQ(sel, 3);
}

TEST_F(ChoiceTest, AListNearTheTopOfASubWindowSlidesDown) {
  // A 600 x 380 sub-window: its own height counts, not the screen's.
  mnw.wind_w = 600;
  mnw.wind_h = 380;
  int sel = 4;
  const std::string items = "a-b-c-d-e";
  frame(300, 363, true);
  BTN_textlist(300, 360, &sel, items, "");
  EXPECT_EQ(rows_of(popup()).highest, 360 + 48 + 9);
  for (int i = 0; i < 10; ++i) {
    frame(0, 0);
    BTN_textlist(300, 360, &sel, items, "");
    EXPECT_EQ(sel, 4);
  }
  EXPECT_LE(rows_of(popup()).highest, 380);
  EXPECT_GT(rows_of(popup()).highest + 12, 380);  // no further than needed
}

TEST_F(ChoiceTest, AListTallerThanTheSubWindowComesToRestWithItsTopRowInside) {
  mnw.wind_h = 380;
  std::string items = "r0";
  for (int i = 1; i < 80; ++i) items += "-r" + std::to_string(i);
  int sel = 40;
  frame(300, 193, true);
  BTN_textlist(300, 190, &sel, items, "");
  std::vector<rows_seen> seen;
  for (int i = 0; i < 120; ++i) {
    frame(0, 0);
    BTN_textlist(300, 190, &sel, items, "");
    EXPECT_EQ(sel, 40);
    seen.push_back(rows_of(popup()));
  }
  // The last 20 frames do not move.
  for (size_t i = seen.size() - 20; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].highest, seen.back().highest);
    EXPECT_EQ(seen[i].lowest, seen.back().lowest);
  }
  EXPECT_LE(seen.back().highest, 380);
  EXPECT_GT(seen.back().highest + 12, 380);
}

TEST_F(ChoiceTest, TheSlideIsForgottenWhenTheListCloses) {
  int sel = 0;
  const std::string items = "a-b-c-d-e";
  frame(300, 23, true);
  BTN_textlist(300, 20, &sel, items, "");
  for (int i = 0; i < 5; ++i) {
    frame(0, 0);
    BTN_textlist(300, 20, &sel, items, "");
  }
  frame(0, 0);
  shell_picks(0);
  BTN_textlist(300, 20, &sel, items, "");
  frame(300, 23, true);
  BTN_textlist(300, 20, &sel, items, "");
  EXPECT_EQ(rows_of(popup()).lowest, 20 - 48 - 3);  // laid out around the selection again
}

// ---- Tabs ----

TEST_F(ChoiceTest, TabHitBoxLeansLeft) {
  mnw.wind_h = 380;
  const float cx = 2 * 88 + 53, cy = 380 - 38 - 1 * 32;
  struct hit {
    float dx, dy;
    int expect;
  };
  const hit hits[] = {{45, 0, 0}, {-45, 0, 1}, {40, 0, 1}, {-50, 0, 1}, {-50.5f, 0, 0}, {0, 13, 1}, {0, -13, 1}, {0, 13.5f, 0}};
  for (const hit& h : hits) {
    SCOPED_TRACE(testing::Message() << h.dx << "," << h.dy);
    int current = 7;
    frame(cx + h.dx, cy + h.dy, true);
    EXPECT_EQ(BTN_tab(2, 1, &current, 3, "Page"), h.expect);
    EXPECT_EQ(current, h.expect ? 3 : 7);
  }
  // Without a click nothing changes.
  int current = 7;
  frame(cx, cy);
  EXPECT_EQ(BTN_tab(2, 1, &current, 3, "Page"), 0);
  EXPECT_EQ(current, 7);
}

TEST_F(ChoiceTest, TabShowsWhetherItIsTheCurrentOne) {
  for (int current : {3, 4}) {
    SCOPED_TRACE(current);
    frame(0, 0);
    BTN_tab(0, 0, &current, 3, "Sound");
    const bool on = current == 3;
    ASSERT_EQ(drawn.quads.size(), 1u);
    EXPECT_FLOAT_EQ(sy0(drawn.quads[0]), on ? 486 : 459);
    ASSERT_EQ(drawn.texts.size(), 1u);
    EXPECT_EQ(drawn.texts[0].colour, on ? 41 : 42);
  }
}

// ---- Direction dial ----

// The bearing of the held mouse; outside the dial or not held, the heading (123) stays.
TEST_F(ChoiceTest, DialTakesTheBearingOfTheHeldMouse) {
  struct bearing {
    float dx, dy, heading;
    int held;
  };
  const bearing cases[] = {{20, 0, 90, 1},   {0, -20, 180, 1},    {-20, 0, 270, 1}, {0, 20, 0, 1},
                           {10, 10, 45, 1},  {-10, 10, 315, 1},   {30, -30, 135, 1}, {0, 0, 0, 1},
                           {31, 0, 123, 1},  {0, -30.5f, 123, 1}, {20, 0, 123, 0}};
  for (const bearing& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy << " held " << c.held);
    float heading = 123;
    frame(500 + c.dx, 300 + c.dy);
    mnw.mouse_held = c.held;
    plot_dir(500, 300, &heading, 0);
    EXPECT_NEAR(heading, c.heading, 1e-4);
    EXPECT_GE(heading, 0.0f);
    EXPECT_LT(heading, 360.0f);
  }
}

TEST_F(ChoiceTest, DialShowsItsHeadingInThreeFixedCells) {
  const struct {
    float heading;
    const char* cells;
  } cases[] = {{90, "090"}, {359.6f, "360"}, {7.2f, "007"}, {0, "000"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.heading);
    float heading = c.heading;
    frame(0, 0);
    plot_dir(500, 300, &heading, 0);
    ASSERT_EQ(drawn.numbers.size(), 1u);
    EXPECT_EQ(drawn.numbers[0].cells, c.cells);
  }
}

TEST_F(ChoiceTest, DialNeedleTurnsClockwiseWithTheHeading) {
  for (int look : {0, 1}) {
    SCOPED_TRACE(look);
    float heading = 90;
    frame(0, 0);
    turned.clear();
    plot_dir(500, 300, &heading, look);
    ASSERT_EQ(turned.size(), 1u);
    const turned_rec& n = turned[0];
    EXPECT_FLOAT_EQ(sy0(n.q), look == 0 ? 315 : 272);
    // Upper left and upper right corners (the needle's tip) now lie right of the centre.
    EXPECT_NEAR(n.xy[2], 521, 1e-3);
    EXPECT_NEAR(n.xy[3], 305, 1e-3);
    EXPECT_NEAR(n.xy[4], 521, 1e-3);
    EXPECT_NEAR(n.xy[5], 295, 1e-3);
  }
  float heading = 0;
  frame(0, 0);
  turned.clear();
  plot_dir(500, 300, &heading, 0);
  ASSERT_EQ(turned.size(), 1u);
  EXPECT_NEAR(turned[0].xy[3], 321, 1e-3);  // straight up
  EXPECT_NEAR(turned[0].xy[2], 495, 1e-3);
}

// ---- Vector accessors ----

TEST_F(ChoiceTest, VectorAccessorsGiveEmptyOutsideTheVector) {
  std::vector<std::string> names = {"alpha", "beta"};
  std::vector<int> types = {7, 9};
  const struct {
    int index;
    const char* name;
    int type;
  } cases[] = {{0, "alpha", 7}, {1, "beta", 9}, {2, "", 0}, {-1, "", 0}, {1 << 30, "", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(BTN_name_from_vector(c.index, &names), c.name);
    EXPECT_EQ(BTN_type_from_vector(c.index, &types), c.type);
  }
  EXPECT_EQ(BTN_name_from_vector(0, nullptr), "");
  EXPECT_EQ(BTN_type_from_vector(0, nullptr), 0);
  std::vector<std::string> none;
  EXPECT_EQ(BTN_name_from_vector(0, &none), "");
}

}  // namespace
