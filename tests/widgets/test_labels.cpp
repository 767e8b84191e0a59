// Label splitting and drawing: left, right and help parts; two-line breaks of long parts.
#include <gtest/gtest.h>

#include "widget_fixture.h"

namespace {

struct parts {
  std::string left, right, help;
};
parts split(const std::string& label) {
  parts p{"junk", "junk", "junk"};
  BTN_expand_label(label, &p.left, &p.right, &p.help);
  return p;
}

TEST(Labels, SplitIntoLeftRightAndHelp) {
  parts p = split("Left text|Right text{xThe help");
  EXPECT_EQ(p.left, "Left text");
  EXPECT_EQ(p.right, "Right text");
  EXPECT_EQ(p.help, "The help");

  p = split("Plain label");
  EXPECT_EQ(p.left, "Plain label");
  EXPECT_EQ(p.right, "");
  EXPECT_EQ(p.help, "");

  p = split("Only left{-help here");
  EXPECT_EQ(p.left, "Only left");
  EXPECT_EQ(p.right, "");
  EXPECT_EQ(p.help, "help here");

  p = split("|right only");
  EXPECT_EQ(p.left, "");
  EXPECT_EQ(p.right, "right only");
  EXPECT_EQ(p.help, "");
}

TEST(Labels, TheLastMarkersCount) {
  parts p = split("a|b|c{x{yhelp");
  EXPECT_EQ(p.left, "a|b");
  EXPECT_EQ(p.right, "c{x");
  EXPECT_EQ(p.help, "help");
}

TEST(Labels, BraceAtTheEndGivesEmptyHelp) {
  parts p = split("Label{");
  EXPECT_EQ(p.left, "Label");
  EXPECT_EQ(p.help, "");
  p = split("Label|R{x");
  EXPECT_EQ(p.left, "Label");
  EXPECT_EQ(p.right, "R");
  EXPECT_EQ(p.help, "");
  p = split("{");
  EXPECT_EQ(p.left, "");
  EXPECT_EQ(p.help, "");
}

class LabelDraw : public WidgetTest {};

TEST_F(LabelDraw, LongTextBreaksAtTheSeparatorNearestTheMiddle) {
  // 13 characters, a space at position 6 (the integer half).
  BTN_util_draw_label(200, 100, 0, "Hello, worlds", 0);
  ASSERT_EQ(drawn.texts.size(), 2u);
  EXPECT_EQ(drawn.texts[0].text, "Hello,");
  EXPECT_FLOAT_EQ(drawn.texts[0].y, 105);
  EXPECT_EQ(drawn.texts[1].text, "worlds");
  EXPECT_FLOAT_EQ(drawn.texts[1].y, 95);
  for (const text_rec& t : drawn.texts) {
    EXPECT_FLOAT_EQ(t.x, 200);
    EXPECT_EQ(t.align, 2);  // ending at x
    EXPECT_EQ(t.colour, 43);
    EXPECT_EQ(t.charset, 100);
    EXPECT_GE(t.wrap, 9999);
  }
}

TEST_F(LabelDraw, CentredTextStaysOnOneLine) {
  BTN_util_draw_label(200, 100, 1, "Hello, worlds", 1);
  ASSERT_EQ(drawn.texts.size(), 1u);
  EXPECT_EQ(drawn.texts[0].text, "Hello, worlds");
  EXPECT_EQ(drawn.texts[0].align, 1);
  EXPECT_EQ(drawn.texts[0].colour, 81);  // highlighted
  EXPECT_FLOAT_EQ(drawn.texts[0].y, 100);
}

TEST_F(LabelDraw, LeftAlignedStartsAtXAndBreaksOnSlashOrDash) {
  BTN_util_draw_label(10, 50, 2, "abcdef/ghijklm", 0);
  ASSERT_EQ(drawn.texts.size(), 2u);
  EXPECT_EQ(drawn.texts[0].text, "abcdef");
  EXPECT_EQ(drawn.texts[1].text, "ghijklm");
  EXPECT_EQ(drawn.texts[0].align, 0);
  drawn.clear();
  BTN_util_draw_label(10, 50, 2, "abcdefg-hijklm", 0);
  ASSERT_EQ(drawn.texts.size(), 2u);
  EXPECT_EQ(drawn.texts[0].text, "abcdefg");
  EXPECT_EQ(drawn.texts[1].text, "hijklm");
}

TEST_F(LabelDraw, TiesGoToTheEarlierSeparator) {
  // Length 15, half 7: spaces at 5 and 9 are both 2 away.
  BTN_util_draw_label(0, 0, 0, "abcde fgh ijklm", 0);
  ASSERT_EQ(drawn.texts.size(), 2u);
  EXPECT_EQ(drawn.texts[0].text, "abcde");
  EXPECT_EQ(drawn.texts[1].text, "fgh ijklm");
}

TEST_F(LabelDraw, NoBreakWhenShortFarOrAtTheEnd) {
  BTN_util_draw_label(0, 0, 0, "abcde fghijk", 0);  // 12 characters: never broken
  BTN_util_draw_label(0, 0, 0, "abcdefghijkl ", 0);  // 13: space 6 away from 6 is not nearer
  BTN_util_draw_label(0, 0, 0, "abcdefghijklm ", 0);  // 14: the nearest is the last character
  BTN_util_draw_label(0, 0, 0, "abcdefghijklmnop", 0);  // no separator
  ASSERT_EQ(drawn.texts.size(), 4u);
  EXPECT_EQ(drawn.texts[0].text, "abcde fghijk");
  EXPECT_EQ(drawn.texts[1].text, "abcdefghijkl ");
  EXPECT_EQ(drawn.texts[2].text, "abcdefghijklm ");
  EXPECT_EQ(drawn.texts[3].text, "abcdefghijklmnop");
}

TEST_F(LabelDraw, LeadingDashIsDroppedAndNeverBroken) {
  BTN_util_draw_label(30, 40, 0, "-A long label with spaces", 0);
  ASSERT_EQ(drawn.texts.size(), 1u);
  EXPECT_EQ(drawn.texts[0].text, "A long label with spaces");
  EXPECT_FLOAT_EQ(drawn.texts[0].y, 40);
}

TEST_F(LabelDraw, EmptyTextsAndUnknownAlignDrawNothing) {
  BTN_util_draw_label(0, 0, 0, "", 0);
  BTN_util_draw_label(0, 0, 3, "text", 0);
  BTN_util_draw_label(0, 0, -1, "text", 0);
  BTN_util_draw_label(0, 0, 2, "-", 0);
  EXPECT_TRUE(drawn.texts.empty());
}

}  // namespace
