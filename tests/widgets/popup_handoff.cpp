// The pop-up list together with the shell's real click handler: a press reaches the shell first
// (as a mouse-down event does), then the list is drawn in the same frame.
#include <gtest/gtest.h>

#include <string>

#include "shell/hl_mnw.h"
#include "shell/menus.h"
#include "widget_fixture.h"
#include "widgets/choices.h"

namespace {

class PopupHandoffTest : public WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    ZARIRU_clear_menus(1);
  }

  // One frame: the press goes to the shell's click handler, then the list is drawn.
  int frame_with_list(float mx, float my, bool press, int* sel, const std::string& items) {
    frame(mx, my, press);
    if (press) ZARIRU_handleclick(0);
    return BTN_textlist(kX, kY, sel, items, "OS");
  }
  static const item_struct& row(int r) { return menu[kPopupSlot].items[static_cast<size_t>(r)]; }
  static float mid_x(const item_struct& it) { return (it.x1 + it.x2) / 2.0f; }
  static float mid_y(const item_struct& it) { return (it.y1 + it.y2) / 2.0f; }

  static constexpr float kX = 300, kY = 400;
};

TEST_F(PopupHandoffTest, PickingTheFirstRowWritesZeroOnce) {
  const std::string items = "Macintosh-Windows-Linux";
  int sel = 2;
  EXPECT_EQ(frame_with_list(kX, kY + 3, true, &sel, items), 0);
  ASSERT_EQ(mnw.menu_open, kPopupSlot);
  frame_with_list(0, 0, false, &sel, items);  // a frame with the list open
  const item_struct first = row(0);
  EXPECT_EQ(first.text, "Macintosh");
  EXPECT_EQ(frame_with_list(mid_x(first), mid_y(first), true, &sel, items), 1);
  EXPECT_EQ(sel, 0);
  EXPECT_EQ(mnw.click, 0);  // the pick took the click: nothing under the list sees it
  EXPECT_EQ(mnw.menu_open, -1);
  EXPECT_EQ(active_popup_code, 0);
  EXPECT_EQ(select_popup_code, 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(frame_with_list(mid_x(first), mid_y(first), false, &sel, items), 0);
    EXPECT_EQ(sel, 0);
  }
  // A later press at the same place finds no open list: nothing is picked and nothing opens.
  EXPECT_EQ(frame_with_list(mid_x(first), mid_y(first), true, &sel, items), 0);
  EXPECT_EQ(sel, 0);
  EXPECT_EQ(mnw.menu_open, -1);
}

TEST_F(PopupHandoffTest, AnEmptyRowCannotBePicked) {
  const std::string items = "a--b";
  int sel = 0;
  frame_with_list(kX, kY + 3, true, &sel, items);
  ASSERT_EQ(mnw.menu_open, kPopupSlot);
  const item_struct empty = row(1);
  EXPECT_EQ(empty.text, "");
  EXPECT_EQ(frame_with_list(mid_x(empty), mid_y(empty), true, &sel, items), 0);
  EXPECT_EQ(sel, 0);
  // The shell closed the menu for that press, and the still-active list opened it again.
  EXPECT_EQ(mnw.menu_open, kPopupSlot);
  EXPECT_EQ(select_popup_code, 0);
  const item_struct b = row(2);
  EXPECT_EQ(frame_with_list(mid_x(b), mid_y(b), true, &sel, items), 1);
  EXPECT_EQ(sel, 2);
}

TEST_F(PopupHandoffTest, APressBesideTheListLeavesItOpenAndTheSelectionAlone) {
  const std::string items = "Macintosh-Windows-Linux";
  int sel = 1;
  frame_with_list(kX, kY + 3, true, &sel, items);
  EXPECT_EQ(frame_with_list(kX + 300, kY, true, &sel, items), 0);
  EXPECT_EQ(sel, 1);
  EXPECT_EQ(mnw.menu_open, kPopupSlot);
  EXPECT_EQ(mnw.click, 1);  // the press stays for whatever lies there
}

}  // namespace
