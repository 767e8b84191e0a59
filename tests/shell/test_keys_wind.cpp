// The key-assignment screen driven through the input record: adding a binding, selecting it
// and giving it the key just hit, and picking its command from the tree.
#include <gtest/gtest.h>

#include "foundation/cmnd.h"
#include "shell_fixture.h"

namespace {

class KeysWindTest : public ShellTest {
 protected:
  // One frame of the screen with a click at (x, y) of the whole-window sub-window.
  void frame_with_click(float x, float y) {
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.click = 1;
    mnw.mouse_held = 1;
    keys.keys_wind();
    mnw.click = 0;
    mnw.mouse_held = 0;
    mnw.mouse_up = 1;
    keys.keys_wind();
    mnw.mouse_up = 0;
  }
};

TEST_F(KeysWindTest, AddSelectAndAssignAKey) {
  ASSERT_TRUE(keys.bindings.empty());
  frame_with_click(170, 768 - 25);
  ASSERT_EQ(keys.bindings.size(), 1u);
  EXPECT_EQ(keys.bindings[0].vkey, 0);
  EXPECT_EQ(keys.bindings[0].command, cmnd.get_cmnd_by_name("sim/operation/none"));
  // Select row 0, then hit Shift+F5.
  frame_with_click(88, 689);
  keys.last_vkey = ZRNB_VK_F1 + 4;
  keys.last_flags = zrnb_ShiftFlag;
  mnw.key_hit = 1;
  keys.keys_wind();
  mnw.key_hit = 0;
  EXPECT_EQ(keys.bindings[0].vkey, ZRNB_VK_F1 + 4);
  EXPECT_EQ(keys.bindings[0].flags, zrnb_ShiftFlag);
  EXPECT_EQ(keys.get_key_for_cmnd(keys.bindings[0].command), "SHIFT-f5");
  // A second binding given the same key takes it from the first.
  frame_with_click(170, 768 - 25);
  ASSERT_EQ(keys.bindings.size(), 2u);
  frame_with_click(88, 689);      // deselect row 0
  frame_with_click(88, 689 - 20); // select row 1
  mnw.key_hit = 1;
  keys.keys_wind();
  mnw.key_hit = 0;
  EXPECT_EQ(keys.bindings[1].vkey, ZRNB_VK_F1 + 4);
  EXPECT_EQ(keys.bindings[0].vkey, 0);
  EXPECT_EQ(keys.bindings[0].flags, 0);
}

}  // namespace
