// The keyboard focus ring driven frame by frame: Tab order and wrap, accept masks, stale focus,
// the alert window, and how widgets take their queued keys.
#include <gtest/gtest.h>

#include <string>

#include "widget_fixture.h"
#include "widgets/focus.h"

namespace {

constexpr int kTab = 9, kReturn = 13, kEnter = 187, kEscape = 27, kBack = 8, kDelete = 46,
              kLeft = 37, kPageUp = 33, kDown = 40;
constexpr int kShift = 1, kPress = 8, kRelease = 16;
constexpr int kMaskChars = 496, kMaskNumber = 208, kMaskString = 500;

// A focusable field of the test, built on the ring the way the toolkit's fields are: one queue
// per widget function, keys applied when the field is drawn. Records what it was given.
struct field_keys {
  std::string text;
  std::vector<int> vkeys;
};

void append_key(void* ctx, int chr, int vkey, int) {
  auto* f = static_cast<field_keys*>(ctx);
  if (chr) f->text.push_back(static_cast<char>(chr));
  f->vkeys.push_back(vkey);
}

BTN_key_queue& field_queue() {
  static BTN_key_queue q;
  return q;
}

// Draws one field at (x, y): takes the focus when clicked inside its 100 x 20 box this frame.
int field(float x, float y, field_keys* keys, int mask = kMaskChars) {
  const int id = BTN_widget_id(x, y);
  const bool clicked = mnw.click && mnw.mouse_x >= x && mnw.mouse_x <= x + 100 &&
                       mnw.mouse_y >= y && mnw.mouse_y <= y + 20;
  const int focused = BTN_register_queue(id, &field_queue(), mask, clicked ? 1 : 0);
  BTN_take_keys(id, focused, &field_queue(), append_key, keys);
  return focused;
}

class FocusTest : public WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    field_queue() = BTN_key_queue{};
  }
  field_keys a, b, c;
  // One frame with three fields stacked at y 100, 200, 300, x 50.
  void draw3() {
    field(50, 100, &a);
    field(50, 200, &b);
    field(50, 300, &c);
  }
  static int press(int chr, int vkey, int flags = kPress) { return BTN_dispatch_to_focus(chr, vkey, flags); }
};

TEST_F(FocusTest, WidgetIdIsYPlusXShiftedBy13) {
  EXPECT_EQ(BTN_widget_id(50.9f, 100.7f), 100 + 50 * 8192);
  EXPECT_EQ(BTN_widget_id(0, 0), 0);
  EXPECT_EQ(BTN_widget_id(-1.5f, 3.9f), 3 - 8192);  // truncated toward zero
}

TEST_F(FocusTest, TabWithNothingFocusedFocusesTheFirstDrawn) {
  frame(0, 0);
  draw3();
  EXPECT_EQ(press(0, kTab, kRelease), 0);  // a release is the shell's
  EXPECT_EQ(focus_id, 0);
  EXPECT_EQ(press(0, kTab, kPress | kShift), 1);  // shift makes no difference here
  EXPECT_EQ(focus_id, BTN_widget_id(50, 100));
  BTN_unfocus_any();
  EXPECT_EQ(press(0, kTab), 1);
  EXPECT_EQ(focus_id, BTN_widget_id(50, 100));
}

TEST_F(FocusTest, TabOnEmptyRingIsLeftToTheShell) {
  frame(0, 0);
  EXPECT_EQ(press(0, kTab), 0);
  EXPECT_EQ(focus_id, 0);
}

TEST_F(FocusTest, TabMovesForwardAndWrapsShiftTabBackwardAndWraps) {
  frame(0, 0);
  draw3();
  const int first = BTN_widget_id(50, 100), second = BTN_widget_id(50, 200), last = BTN_widget_id(50, 300);
  ASSERT_EQ(press(0, kTab), 1);
  EXPECT_EQ(focus_id, first);
  for (int expect : {second, last, first, second}) {
    frame(0, 0);
    draw3();
    EXPECT_EQ(press(0, kTab), 1);
    EXPECT_EQ(focus_id, expect);
    EXPECT_EQ(press(0, kTab, kRelease), 0);  // the release is not a second step
    EXPECT_EQ(focus_id, expect);
  }
  for (int expect : {first, last, second}) {
    frame(0, 0);
    draw3();
    EXPECT_EQ(press(0, kTab, kPress | kShift), 1);
    EXPECT_EQ(focus_id, expect);
  }
  // A repeat (neither press nor release) moves as well.
  EXPECT_EQ(press(0, kTab, 0), 1);
  EXPECT_EQ(focus_id, last);
}

TEST_F(FocusTest, RingOfOneKeepsTheFocus) {
  frame(0, 0);
  field(50, 100, &a);
  ASSERT_EQ(press(0, kTab), 1);
  EXPECT_EQ(press(0, kTab), 1);
  EXPECT_EQ(focus_id, BTN_widget_id(50, 100));
  EXPECT_EQ(press(0, kTab, kShift), 1);
  EXPECT_EQ(focus_id, BTN_widget_id(50, 100));
}

TEST_F(FocusTest, ClickTakesFocusAndClickElsewhereDropsIt) {
  frame(60, 205, true);  // inside b
  draw3();
  EXPECT_EQ(focus_id, BTN_widget_id(50, 200));
  frame(60, 205, false, true);
  draw3();
  EXPECT_EQ(focus_id, BTN_widget_id(50, 200));
  frame(600, 600, true);  // outside every field
  draw3();
  EXPECT_EQ(focus_id, 0);
}

TEST_F(FocusTest, KeysReachTheFocusedFieldOneFrameLate) {
  frame(60, 105, true);
  draw3();
  EXPECT_EQ(press('h', 0), 1);
  EXPECT_EQ(press('h', 0, kRelease), 1);  // releases of accepted keys are queued ...
  EXPECT_EQ(press('i', 0), 1);
  EXPECT_EQ(a.text, "");
  frame(60, 105, false, true);
  draw3();
  EXPECT_EQ(a.text, "hi");  // ... and dropped by the widget
  EXPECT_EQ(b.text, "");
  EXPECT_EQ(field_queue().count, 0);
}

struct mask_case {
  int mask;
  int chr, vkey;
  int taken;
};

TEST_F(FocusTest, AcceptMasksDecideWhichKeysAreTaken) {
  const mask_case cases[] = {
      // Return, Enter and Escape are never taken by the toolkit's fields.
      {kMaskChars, 13, kReturn, 0}, {kMaskChars, 3, kEnter, 0}, {kMaskChars, 27, kEscape, 0},
      {kMaskString, 13, kReturn, 0}, {kMaskNumber, 27, kEscape, 0},
      // Backspace and Delete only for the text field.
      {kMaskChars, 8, kBack, 0}, {kMaskString, 8, kBack, 1}, {kMaskString, 127, kDelete, 1},
      {kMaskNumber, 8, kBack, 0},
      // Navigation keys 33..40.
      {kMaskNumber, 0, kPageUp, 1}, {kMaskNumber, 28, kLeft, 1}, {kMaskChars, 31, kDown, 1},
      // By character: letters, digits, + and -, other printable, the rest.
      {kMaskNumber, 'q', 12, 0}, {kMaskNumber, '7', 26, 1}, {kMaskNumber, '-', 27 + 150, 1},
      {kMaskNumber, '+', 0, 1}, {kMaskNumber, '.', 0, 0}, {kMaskChars, 'Q', 0, 1},
      {kMaskChars, '.', 0, 1}, {kMaskChars, '~', 0, 1}, {kMaskChars, 0, 0, 0},
      {BTN_acc_other, 0, 0, 1}, {BTN_acc_other, 7, 0, 1},
      // Latin-1 letters are printable, also arriving sign-extended; the bytes 128..159 are not.
      {BTN_acc_printable, static_cast<signed char>('\xE9'), 0, 1}, {BTN_acc_other, 0x85, 0, 1},
      {BTN_acc_letters, 'z', 0, 1}, {BTN_acc_digits, 'z', 0, 0},
      {BTN_acc_plusminus, '+', 0, 1}, {BTN_acc_escape, 27, kEscape, 1}, {BTN_acc_return, 3, kEnter, 1},
  };
  for (const mask_case& k : cases) {
    SCOPED_TRACE(testing::Message() << "mask " << k.mask << " chr " << k.chr << " vkey " << k.vkey);
    field_queue() = BTN_key_queue{};
    a = {};
    frame(60, 105, true);
    field(50, 100, &a, k.mask);
    EXPECT_EQ(press(k.chr, k.vkey), k.taken);
    EXPECT_EQ(field_queue().count, k.taken);
    frame(0, 0, false, true);
    field(50, 100, &a, k.mask);
    // A key with neither character nor virtual key carries nothing to apply.
    const bool empty_key = k.chr == 0 && k.vkey == 0;
    EXPECT_EQ(a.vkeys.size(), static_cast<size_t>(empty_key ? 0 : k.taken));
    EXPECT_EQ(field_queue().count, 0);
  }
}

TEST_F(FocusTest, TabIsDeliveredToAWidgetThatAcceptsIt) {
  frame(60, 105, true);
  field(50, 100, &a, kMaskChars | BTN_acc_tab);
  field(50, 200, &b);
  EXPECT_EQ(press(9, kTab), 1);
  EXPECT_EQ(focus_id, BTN_widget_id(50, 100));
  frame(0, 0);
  field(50, 100, &a, kMaskChars | BTN_acc_tab);
  ASSERT_EQ(a.vkeys.size(), 1u);
  EXPECT_EQ(a.vkeys[0], kTab);
}

TEST_F(FocusTest, AlertWindowLeavesEveryKeyToTheShell) {
  frame(60, 105, true);
  draw3();
  mnw.wind_id = 995;
  EXPECT_EQ(press('a', 0), 0);
  EXPECT_EQ(press(0, kTab), 0);
  EXPECT_EQ(focus_id, BTN_widget_id(50, 100));
  EXPECT_EQ(field_queue().count, 0);
}

TEST_F(FocusTest, KeyAfterTheFocusedFieldStoppedBeingDrawnClearsTheFocus) {
  frame(60, 205, true);
  draw3();
  frame(0, 0);
  field(50, 100, &a);  // b is not drawn this frame
  EXPECT_EQ(press('x', 0), 0);
  EXPECT_EQ(focus_id, 0);

  frame(60, 205, true);
  draw3();
  frame(0, 0);
  field(50, 300, &c);
  EXPECT_EQ(press(0, kTab), 1);  // Tab focuses the first entry of the ring instead
  EXPECT_EQ(focus_id, BTN_widget_id(50, 300));
}

TEST_F(FocusTest, FieldsAtOnePositionShareTheFocusAndTheFirstTakesTheKeys) {
  frame(60, 105, true);
  field(50, 100, &a);
  field(50, 100, &b);
  EXPECT_EQ(press('k', 0), 1);
  frame(0, 0);
  EXPECT_EQ(field(50, 100, &a), 1);
  EXPECT_EQ(field(50, 100, &b), 1);
  EXPECT_EQ(a.text, "k");
  EXPECT_EQ(b.text, "");
}

TEST_F(FocusTest, KeysForAFieldThatLostTheFocusAreDropped) {
  frame(60, 105, true);
  draw3();
  press('1', 0);
  press('2', 0);
  // A click on b before the next drawing moves the focus: a's keys must not be typed later.
  frame(60, 205, true);
  draw3();
  EXPECT_EQ(a.text, "");
  EXPECT_EQ(b.text, "");
  EXPECT_EQ(field_queue().count, 0);
  press('3', 0);
  frame(0, 0);
  draw3();
  EXPECT_EQ(b.text, "3");
  EXPECT_EQ(a.text, "");
}

TEST_F(FocusTest, QueueNeverGoesDeafAfterManyKeys) {
  frame(60, 105, true);
  draw3();
  std::string typed;
  for (int i = 0; i < 300; ++i) {
    const char ch = static_cast<char>('a' + i % 26);
    ASSERT_EQ(press(ch, 0), 1) << "key " << i;
    typed.push_back(ch);
    if (i % 7 == 0) {
      // Every so often the focus hops to another field and back, leaving nothing behind.
      frame(0, 0);
      draw3();
    }
  }
  frame(0, 0);
  draw3();
  EXPECT_EQ(a.text, typed);
  EXPECT_EQ(field_queue().count, 0);
}

TEST_F(FocusTest, AFullQueueIsNeverWrittenPastItsEnd) {
  frame(60, 105, true);
  draw3();
  for (int i = 0; i < BTN_key_slots + 10; ++i) press('z', 0);
  EXPECT_EQ(field_queue().count, BTN_key_slots);
  frame(0, 0);
  draw3();
  EXPECT_EQ(a.text, std::string(BTN_key_slots, 'z'));
}

TEST_F(FocusTest, FocusHelpersAndWindowFocus) {
  frame(0, 0);
  EXPECT_EQ(BTN_no_focus_yet(), 1);
  BTN_focus_any();  // empty ring
  EXPECT_EQ(focus_id, 0);
  draw3();
  BTN_focus_any();
  EXPECT_EQ(focus_id, BTN_widget_id(50, 100));
  EXPECT_EQ(BTN_no_focus_yet(), 0);
  BTN_unfocus_any();
  BTN_window_has_focus();
  EXPECT_EQ(wind_focus, 1);
  EXPECT_EQ(BTN_no_focus_yet(), 0);
  BTN_focus_any();
  BTN_begin_focus_ring();  // clears the window flag and the ring, keeps the focus
  EXPECT_EQ(wind_focus, 0);
  EXPECT_TRUE(focus_ring.empty());
  EXPECT_EQ(focus_id, BTN_widget_id(50, 100));
}

TEST_F(FocusTest, RegisterReportsWhetherTheWidgetIsFocused) {
  frame(0, 0);
  int chars[4], vkeys[4], flags[4], ids[4], count = 0;
  EXPECT_EQ(BTN_register_focus(77, chars, vkeys, flags, ids, &count, 4, kMaskChars, 0), 0);
  EXPECT_EQ(BTN_register_focus(78, chars, vkeys, flags, ids, &count, 4, kMaskChars, 1), 1);
  EXPECT_EQ(BTN_register_focus(77, chars, vkeys, flags, ids, &count, 4, kMaskChars, 0), 0);
  ASSERT_EQ(focus_ring.size(), 3u);
  EXPECT_EQ(focus_ring[1].id, 78);
  EXPECT_EQ(focus_ring[1].max_slots, 4);
  EXPECT_EQ(focus_ring[1].accept_mask, kMaskChars);
  EXPECT_EQ(focus_ring[1].ctr_slot, &count);
  // The queue holds what the dispatcher wrote, position by position.
  EXPECT_EQ(BTN_dispatch_to_focus('5', 0, kPress), 1);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(chars[0], '5');
  EXPECT_EQ(vkeys[0], 0);
  EXPECT_EQ(flags[0], kPress);
  EXPECT_EQ(ids[0], 78);
}

}  // namespace
