// Numeric fields, the number box and the code field driven frame by frame: focus and edit cell,
// digits, arrows, signs, limits, mouse arrows above and below the cells, and what they draw.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "widget_fixture.h"
#include "widgets/fields.h"

namespace {

constexpr int kVkLeft = 37, kVkUp = 38, kVkRight = 39, kVkDown = 40;
constexpr float kX = 300, kY = 400;

class NumFieldTest : public WidgetTest {
 protected:
  // Press and release on cell i of a field at (kX, kY), then one more frame.
  template <class F>
  void click_cell(int i, F draw_field) {
    frame(kX + 10.0f * i + 5.0f, kY + 3, true);
    draw_field();
    frame(kX + 10.0f * i + 5.0f, kY + 3, false, true);
    draw_field();
  }
  static void up() { key(0, kVkUp); }
  static void down() { key(0, kVkDown); }
  static void left_key() { key(0, kVkLeft); }
  static const number_rec& shown() {
    EXPECT_FALSE(drawn.numbers.empty());
    return drawn.numbers.back();
  }
  // The caret block's cell, or -1 without one.
  static int caret_cell() {
    for (const rect_rec& r : drawn.rects)
      if (r.colour == 8 && r.w == 9 && r.h == 11) return static_cast<int>((r.x - kX - 2) / 10);
    return -1;
  }
};

TEST_F(NumFieldTest, TypingADigitSetsTheCellAndMovesRight) {
  float v = 123.4f;
  auto f = [&] { return BTN_flt_range(kX, kY, &v, 4, 1, 0, 999.9f, ""); };
  click_cell(2, f);  // the units cell
  EXPECT_EQ(caret_cell(), 2);
  type("7");
  frame(0, 0);
  EXPECT_EQ(f(), 1);
  EXPECT_FLOAT_EQ(v, 127.4f);
  EXPECT_EQ(caret_cell(), 3);
  EXPECT_EQ(shown().cells, "1274");
  type("9");
  frame(0, 0);
  f();
  EXPECT_FLOAT_EQ(v, 127.9f);
  EXPECT_EQ(caret_cell(), 0);  // past the last cell: back to the first
  frame(0, 0);
  EXPECT_EQ(f(), 0);
}

TEST_F(NumFieldTest, ArrowKeysMoveTheCellAndStepItsUnit) {
  float v = 2.5f;
  auto f = [&] { return BTN_flt_range(kX, kY, &v, 2, 1, 0, 9.9f, ""); };
  click_cell(1, f);
  up();
  frame(0, 0);
  f();
  EXPECT_FLOAT_EQ(v, 2.6f);
  EXPECT_EQ(shown().cells, "26");
  left_key();
  left_key();  // wraps to the last cell
  down();
  frame(0, 0);
  f();
  EXPECT_EQ(caret_cell(), 1);
  EXPECT_FLOAT_EQ(v, 2.5f);
  key(0, kVkRight);
  up();
  frame(0, 0);
  f();
  EXPECT_FLOAT_EQ(v, 3.5f);
}

TEST_F(NumFieldTest, SignKeys) {
  float v = 5;
  auto nonneg = [&] { return BTN_flt_range(kX, kY, &v, 2, 0, 0, 50, ""); };
  click_cell(0, nonneg);
  type("+");
  frame(0, 0);
  EXPECT_EQ(nonneg(), 0);  // nothing to do without negative values
  type("-");
  frame(0, 0);
  EXPECT_EQ(nonneg(), 1);  // -5, limited to 0: still an edit
  EXPECT_FLOAT_EQ(v, 0);

  float w = 5;
  auto both = [&] { return BTN_flt_range(kX, kY, &w, 2, 0, -50, 50, ""); };
  click_cell(0, both);
  type("-");
  frame(0, 0);
  both();
  EXPECT_FLOAT_EQ(w, -5);
  EXPECT_EQ(shown().value, -5);
  type("+");
  frame(0, 0);
  both();
  EXPECT_FLOAT_EQ(w, 5);
}

TEST_F(NumFieldTest, IntRangeStepsAndLimits) {
  int v = 7;
  auto f = [&] { return BTN_int_range(kX, kY, &v, 2, 0, 20, ""); };
  click_cell(1, f);
  down();
  frame(0, 0);
  f();
  EXPECT_EQ(v, 6);
  left_key();
  up();
  up();
  frame(0, 0);
  f();
  EXPECT_EQ(v, 20);  // 26 limited to max
}

TEST_F(NumFieldTest, FltEditsWithinTheWidestRangeItsCellsShow) {
  float v = 0;
  auto f = [&] { return BTN_flt(kX, kY, &v, 3, 1, 1, ""); };
  click_cell(0, f);
  for (int i = 0; i < 12; ++i) up();
  frame(0, 0);
  f();
  EXPECT_FLOAT_EQ(v, 99.9f);
  type("-");
  frame(0, 0);
  f();
  EXPECT_FLOAT_EQ(v, -99.9f);
  EXPECT_DOUBLE_EQ(BTN_field_max(1, 0), 9);
  EXPECT_DOUBLE_EQ(BTN_field_max(3, 1), 99.9);
  EXPECT_DOUBLE_EQ(BTN_field_max(10, 0), 9999999999.0);
  EXPECT_NEAR(BTN_field_max(12, 0), 999999999900.0, 1.0);
}

TEST_F(NumFieldTest, DoubleIsUntouchedWithoutAnEdit) {
  double d = 0.1;
  for (int i = 0; i < 5; ++i) {
    frame(0, 0);
    EXPECT_EQ(BTN_dob_range(kX, kY, &d, 3, 2, 0, 9, ""), 0);
  }
  EXPECT_EQ(d, 0.1);  // bit for bit, not a float's 0.1
  d = 1.234567;
  click_cell(2, [&] { BTN_dob_range(kX, kY, &d, 3, 2, 0, 9, ""); });
  up();
  frame(0, 0);
  EXPECT_EQ(BTN_dob_range(kX, kY, &d, 3, 2, 0, 9, ""), 1);
  EXPECT_DOUBLE_EQ(d, 1.24);
}

TEST_F(NumFieldTest, LargeWholeNumbersSurviveBeingDrawn) {
  int v = 16777217;  // not a float
  for (int i = 0; i < 3; ++i) {
    frame(0, 0);
    BTN_int_range(kX, kY, &v, 8, 0, 99999999.0f, "");
    BTN_int(kX, kY + 60, &v, 8, 0, "");
  }
  EXPECT_EQ(v, 16777217);
  EXPECT_EQ(drawn.numbers.back().cells, "16777217");
}

// Every value and every cell of a 3-digit, 1-decimal field: typing the digit shown changes
// nothing, and typing c makes exactly that cell c.
TEST_F(NumFieldTest, EveryDigitOfEveryValueOfAThreeOneField) {
  float v = 0;
  auto f = [&] { return BTN_flt_range(kX, kY, &v, 3, 1, 0, 99.9f, ""); };
  int wrong = 0;
  for (int k = 0; k <= 999; ++k) {
    char shown_text[8];
    std::snprintf(shown_text, sizeof shown_text, "%03d", k);
    const float start = static_cast<float>(k / 10.0);
    for (int cell = 0; cell < 3; ++cell) {
      v = start;
      click_cell(cell, f);
      ASSERT_EQ(shown().cells, shown_text) << k;
      for (int c = 0; c < 10; ++c) {
        v = start;
        key('0' + c);
        left_key();  // back to the same cell for the next digit
        frame(0, 0);
        f();
        std::string want = shown_text;
        want[static_cast<size_t>(cell)] = static_cast<char>('0' + c);
        const float want_v = static_cast<float>(std::stoi(want) / 10.0);
        if (shown().cells != want || v != want_v) {
          if (++wrong < 5)
            ADD_FAILURE() << "value " << start << " cell " << cell << " digit " << c << ": shows "
                          << shown().cells << " value " << v;
        }
        if (c == shown_text[cell] - '0') {
          EXPECT_EQ(v, start);
        }
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(NumFieldTest, MouseArrowsChangeOneCellAndSetTheCursor) {
  int v = 0;
  auto f = [&] { return BTN_int_range(kX, kY, &v, 3, 0, 999, ""); };
  // On the line between cells 0 and 1, above the field: only cell 1 steps.
  frame(kX + 10, kY + 15, true);
  EXPECT_EQ(f(), 1);
  EXPECT_EQ(v, 10);
  EXPECT_EQ(mnw.cursor_mode, 13);
  frame(kX + 10, kY + 15, false, true);
  f();
  frame(kX + 25, kY - 12, true);  // below cell 2
  f();
  EXPECT_EQ(v, 9);
  EXPECT_EQ(mnw.cursor_mode, 14);
  frame(kX + 25, kY - 12, false, true);
  f();
  // The right edge of the last cell is outside.
  frame(kX + 30, kY + 15, true);
  EXPECT_EQ(f(), 0);
  EXPECT_EQ(v, 9);
  // Hovering without a click only sets the cursor.
  mnw.cursor_mode = 0;
  frame(kX + 5, kY + 20);
  EXPECT_EQ(f(), 0);
  EXPECT_EQ(mnw.cursor_mode, 13);
}

TEST_F(NumFieldTest, CellsBeyondTheTenthTakeNoArrowClicks) {
  double d = 0;
  auto f = [&] { return BTN_dob_range(kX, kY, &d, 12, 0, 0, 1e12f, ""); };
  frame(kX + 115, kY + 15, true);  // above cell 11
  EXPECT_EQ(f(), 0);
  frame(kX + 95, kY + 15, true);  // above cell 9
  EXPECT_EQ(f(), 1);
  EXPECT_EQ(d, 100);
}

TEST_F(NumFieldTest, LettersAreLeftToTheShell) {
  float v = 1;
  auto f = [&] { return BTN_flt_range(kX, kY, &v, 2, 0, 0, 99, ""); };
  click_cell(0, f);
  EXPECT_EQ(key('a', 'A'), 0);
  EXPECT_EQ(key('5', '5'), 1);
}

TEST_F(NumFieldTest, DrawsBoxArrowsLabelsAndNumber) {
  float v = 12.5f;
  frame(kX + 5, kY + 3);
  BTN_flt_range(kX, kY, &v, 3, 1, 0, 99.9f, "Rate|fps{xFrames per second");
  EXPECT_EQ(stls[1802], "Frames per second");
  EXPECT_EQ(shown().cells, "125");
  ASSERT_EQ(drawn.texts.size(), 2u);
  EXPECT_EQ(caret_cell(), -1);  // not focused

  drawn.clear();
  BTN_display_number(kX, kY, 3.25f, 4, 2, "Done");
  EXPECT_EQ(shown().cells, "0325");
}

// ---- Code field ----

class CodeFieldTest : public NumFieldTest {
 protected:
  char code[5] = {'A', 'Z', '-', ' ', '5'};
  void draw_code() { BTN_chars(kX, kY, code, 5, "Code"); }
};

TEST_F(CodeFieldTest, ArrowKeysStepThroughTheAlphabet) {
  click_cell(1, [&] { draw_code(); });
  down();  // Z -> -
  key(0, kVkRight);
  down();  // - -> ' '
  key(0, kVkRight);
  up();    // ' ' -> -
  key(0, kVkRight);
  up();    // 5 -> 4
  frame(0, 0);
  draw_code();
  EXPECT_EQ(std::string(code, 5), "A- -4");
}

TEST_F(CodeFieldTest, TypingUpperCasesAndMovesRight) {
  click_cell(3, [&] { draw_code(); });
  type("q%7");  // '%' is not a symbol
  frame(0, 0);
  draw_code();
  EXPECT_EQ(std::string(code, 5), "AZ-Q7");
  type("x");
  frame(0, 0);
  draw_code();
  EXPECT_EQ(code[0], 'X');  // wrapped to the first cell
}

TEST_F(CodeFieldTest, ClicksAboveAndBelowACellStepIt) {
  frame(kX + 5, kY + 12, true);  // just above cell 0
  draw_code();
  EXPECT_EQ(code[0], '9');
  EXPECT_EQ(mnw.cursor_mode, 13);
  frame(kX + 15, kY - 5, true);  // just below cell 1
  draw_code();
  EXPECT_EQ(code[1], '-');
  EXPECT_EQ(mnw.cursor_mode, 14);
  frame(kX + 10, kY + 12, true);  // on the line between cells 0 and 1: only cell 1
  draw_code();
  EXPECT_EQ(code[0], '9');
  EXPECT_EQ(code[1], 'Z');
  EXPECT_EQ(focus_id, 0);  // arrows do not focus
}

TEST_F(CodeFieldTest, AlphabetLookup) {
  EXPECT_EQ(BTN_code_index(' '), 0);
  EXPECT_EQ(BTN_code_index('0'), 1);
  EXPECT_EQ(BTN_code_index('z'), 36);
  EXPECT_EQ(BTN_code_index('-'), 37);
  EXPECT_EQ(BTN_code_index('%'), 1);
  EXPECT_EQ(BTN_code_alphabet[BTN_code_index('K')], 'K');
}

TEST_F(CodeFieldTest, DrawsOneCharacterPerCell) {
  frame(0, 0);
  draw_code();
  ASSERT_EQ(drawn.texts.size(), 6u);  // the label and five cells
  EXPECT_EQ(drawn.texts[0].text, "Code");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(drawn.texts[1 + i].text, std::string(1, code[i]));
}

}  // namespace
