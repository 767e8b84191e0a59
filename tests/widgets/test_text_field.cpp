// The one-line text field driven frame by frame: focus by click and by take_focus, typing and
// selections through the focus ring, the maximum length, scrolling, what it draws, and the
// character-buffer form.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ogl/text.h"
#include "widget_fixture.h"
#include "widgets/fields.h"

namespace {

constexpr int kLeft = 28, kBack = 8;
constexpr int kVkLeft = 37, kVkBack = 8, kVkHome = 36, kVkDelete = 46;
constexpr float kX = 100, kY = 200, kW = 120;
constexpr float kEnd = kX + kW - 1;  // a click here puts the caret after a short text

class TextFieldTest : public WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    // Another field owned the engine before each test: every test starts from a fresh arrival.
    frame(0, 0);
    std::string other;
    BTN_enterstring(900, 700, &other, 10, "", 50, 1);
    BTN_unfocus_any();
  }

  // One frame with the mouse at (mx, my), drawing the field over `text`.
  int draw(std::string* text, int max_len = 65, float mx = 0, float my = 0, bool press = false,
           bool release = false, int take_focus = 0) {
    frame(mx, my, press, release);
    return BTN_enterstring(kX, kY, text, max_len, "Name|kg{xhelp", kW, take_focus);
  }
  // Clicks at x in the field (press frame, release frame).
  void click_at(std::string* text, float x, int max_len = 65) {
    draw(text, max_len, x, kY + 3, true);
    draw(text, max_len, x, kY + 3, false, true);
  }
  // Keys are queued for the field after it was drawn, and applied when it is next drawn.
  int type_then_draw(std::string* text, const std::string& keys, int max_len = 65) {
    type(keys);
    return draw(text, max_len);
  }
  static void left(int flags = 8) { key(kLeft, kVkLeft, flags); }
  static void back() { key(kBack, kVkBack); }
  // The caret's x as drawn (a zero-width line), or -1 without one.
  static float caret_x() {
    for (const line_rec& l : drawn.lines)
      if (l.x1 == l.x2) return l.x1;
    return -1;
  }
};

TEST_F(TextFieldTest, ClickPutsTheCaretAtTheClick) {
  std::string t = "1234";  // every digit 6 wide
  click_at(&t, kX + 7);    // inside "2": the caret goes after it
  EXPECT_EQ(focus_id, BTN_widget_id(kX, kY));
  EXPECT_FLOAT_EQ(caret_x(), kX + 12);
  EXPECT_EQ(type_then_draw(&t, "Z"), 1);
  EXPECT_EQ(t, "12Z34");
  EXPECT_EQ(draw(&t), 0);  // only the call with the edit returns 1
}

TEST_F(TextFieldTest, TakeFocusSelectsTheWholeTextSoTypingReplacesIt) {
  std::string t = "old text";
  draw(&t, 65, 0, 0, false, false, 1);
  EXPECT_EQ(focus_id, BTN_widget_id(kX, kY));
  ASSERT_EQ(drawn.rects.size(), 1u);  // the selection, under the text
  EXPECT_FLOAT_EQ(drawn.rects[0].x, kX);
  type_then_draw(&t, "n");
  EXPECT_EQ(t, "n");
}

TEST_F(TextFieldTest, TakeFocusDoesNotStealFromAFocusedField) {
  std::string a = "a", b = "b";
  frame(0, 0);
  BTN_enterstring(kX, kY, &a, 10, "", 50, 1);
  BTN_enterstring(kX, kY + 40, &b, 10, "", 50, 1);
  EXPECT_EQ(focus_id, BTN_widget_id(kX, kY));
  type("x");
  frame(0, 0);
  BTN_enterstring(kX, kY, &a, 10, "", 50, 1);
  BTN_enterstring(kX, kY + 40, &b, 10, "", 50, 1);
  EXPECT_EQ(a, "x");
  EXPECT_EQ(b, "b");
}

TEST_F(TextFieldTest, ShiftLeftSelectsAndTypingReplacesTheSelection) {
  std::string t = "123456";
  click_at(&t, kEnd);  // right of the text: the end
  left(9);
  left(9);
  left(9);
  draw(&t);
  ASSERT_EQ(drawn.rects.size(), 1u);
  EXPECT_FLOAT_EQ(drawn.rects[0].x, kX + 18);
  EXPECT_EQ(type_then_draw(&t, "X"), 1);
  EXPECT_EQ(t, "123X");
  back();
  draw(&t);
  EXPECT_EQ(t, "123");
  left();
  back();
  draw(&t);
  EXPECT_EQ(t, "13");
}

TEST_F(TextFieldTest, ATypedCharacterThatWouldPassTheMaximumIsDropped) {
  std::string t = "abcde";
  click_at(&t, kX + 7, 5);  // inside "b" (a 6, b 7 wide): caret after it
  EXPECT_EQ(type_then_draw(&t, "XY", 5), 0);
  EXPECT_EQ(t, "abcde");  // nothing the user typed before is lost
  back();
  type("Q");
  EXPECT_EQ(draw(&t, 5), 1);
  EXPECT_EQ(t, "aQcde");
  // A selection makes room: replacing two characters by one is fine.
  left(9);
  type("Z");
  draw(&t, 5);
  EXPECT_EQ(t, "aZcde");
}

TEST_F(TextFieldTest, ATooLongTextFromTheCallerIsCutWhenEdited) {
  std::string t = "abcdefgh";
  click_at(&t, kEnd, 5);
  EXPECT_EQ(t, "abcdefgh");  // not touched while nobody types
  back();
  EXPECT_EQ(draw(&t, 5), 1);
  EXPECT_EQ(t, "abcde");
}

TEST_F(TextFieldTest, KeysWithoutAPrintableCharacterInsertNothing) {
  std::string t = "abc";
  click_at(&t, kEnd);
  key(0, kVkHome);
  key(127, kVkDelete);
  key(1, kVkHome);
  EXPECT_EQ(draw(&t), 0);
  EXPECT_EQ(t, "abc");
}

TEST_F(TextFieldTest, ATextShortenedByTheCallerIsSafeToEdit) {
  std::string t = "abcdefgh";
  click_at(&t, kEnd);  // caret at 8
  t = "ab";
  type("x");
  draw(&t);
  EXPECT_EQ(t, "abx");
  t.clear();
  back();
  type("y");
  draw(&t);
  EXPECT_EQ(t, "y");
}

TEST_F(TextFieldTest, ALongTextScrollsSoThatTheCaretStaysInTheBox) {
  // Wider than the box plus 1024 pixels, the text stays one line showing the caret's part.
  std::string t(140, 'W');               // 1540 pixels
  draw(&t, 200, 0, 0, false, false, 1);  // all of it selected
  key(29, 39);                           // Right: the caret at the end
  draw(&t, 200);
  ASSERT_FALSE(drawn.texts.empty());
  EXPECT_EQ(drawn.texts.back().text, t);
  EXPECT_FLOAT_EQ(drawn.texts.back().y, kY);
  EXPECT_FLOAT_EQ(drawn.texts.back().x, kX + kW - 1540);

  t.clear();
  click_at(&t, kX + 5);
  for (int i = 0; i < 40; ++i) {
    type("m");
    draw(&t);
    const float cx = caret_x();
    ASSERT_GE(cx, kX) << i;
    ASSERT_LE(cx, kX + kW) << i;
  }
  EXPECT_EQ(t, std::string(40, 'm'));
  // The text is drawn shifted left by the scroll, inside the clipping box.
  ASSERT_FALSE(drawn.texts.empty());
  const text_rec& txt = drawn.texts.back();
  EXPECT_FLOAT_EQ(txt.x, kX - (40 * OGL_char_width('m') - kW));
  EXPECT_FLOAT_EQ(caret_x(), kX + kW);
  ASSERT_EQ(drawn.scissors.size(), 2u);
  EXPECT_TRUE(drawn.scissors[0].on);
  EXPECT_FALSE(drawn.scissors[1].on);

  // Unfocused, the field shows its text from its left edge again.
  frame(500, 500, true);
  BTN_enterstring(kX, kY, &t, 65, "", kW, 0);
  ASSERT_FALSE(drawn.texts.empty());
  EXPECT_FLOAT_EQ(drawn.texts.back().x, kX);
  EXPECT_TRUE(drawn.lines.empty());
}

TEST_F(TextFieldTest, CaretAfterACapitalWStandsElevenPixelsRight) {
  std::string t = "W";
  click_at(&t, kEnd);
  EXPECT_EQ(OGL_char_width('W'), 11);
  EXPECT_FLOAT_EQ(caret_x(), kX + 11);
}

TEST_F(TextFieldTest, DragSelectsFromTheClick) {
  std::string t = "12345678";
  draw(&t, 65, kX + 1, kY + 3, true);  // press in "1": caret 1
  draw(&t, 65, kX + 25, kY + 3);       // held, moved into "5": 5
  draw(&t, 65, kX + 25, kY + 3, false, true);
  type("-");
  draw(&t);
  EXPECT_EQ(t, "1-678");
}

TEST_F(TextFieldTest, DrawsLabelsAndText) {
  std::string t = "value";
  draw(&t);
  ASSERT_EQ(drawn.texts.size(), 3u);
  EXPECT_EQ(drawn.texts[0].text, "Name");
  EXPECT_EQ(drawn.texts[1].text, "kg");
  EXPECT_EQ(drawn.texts[2].text, "value");
  EXPECT_FALSE(drawn.quads.empty());
}

TEST_F(TextFieldTest, TabMovesTheFocusAndSelectsTheNextField) {
  std::string a = "first", b = "second";
  auto both = [&] {
    BTN_enterstring(kX, kY, &a, 65, "", kW, 0);
    BTN_enterstring(kX, kY - 40, &b, 65, "", kW, 0);
  };
  frame(kEnd, kY + 3, true);  // click the first field, after its text
  both();
  frame(0, 0, false, true);
  both();
  key(9, 9);
  frame(0, 0);
  both();
  EXPECT_EQ(focus_id, BTN_widget_id(kX, kY - 40));
  type("2");
  frame(0, 0);
  both();
  EXPECT_EQ(a, "first");
  EXPECT_EQ(b, "2");
}

TEST_F(TextFieldTest, CharacterBufferFormWritesBackAtMostTheMaximum) {
  char buf[8];
  std::memset(buf, '#', sizeof buf);
  std::memcpy(buf, "abc", 4);
  frame(kEnd, kY + 3, true);
  BTN_enterstring(kX, kY, buf, 5, "", kW, 0);
  frame(kEnd, kY + 3, false, true);
  BTN_enterstring(kX, kY, buf, 5, "", kW, 0);
  type("defgh");
  frame(0, 0);
  EXPECT_EQ(BTN_enterstring(kX, kY, buf, 5, "", kW, 0), 1);
  EXPECT_STREQ(buf, "abcde");
  EXPECT_EQ(buf[6], '#');  // nothing past max_len + 1 bytes
  EXPECT_EQ(buf[7], '#');

  // An unterminated buffer is read no further than max_len.
  char raw[4] = {'w', 'x', 'y', 'z'};
  frame(0, 0);
  BTN_enterstring(kX, kY - 40, raw, 3, "", kW, 0);
  EXPECT_EQ(std::string(raw, 3), "wxy");
  EXPECT_EQ(raw[3], 0);
}

}  // namespace
