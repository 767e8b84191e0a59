// The text-editing engine through a fixed-width client: layout and wrapping, keys, vertical
// moves, clicks and drags, replacements, scrolling into view and what it draws.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "ogle_client.h"

namespace {

using starts_t = std::vector<int>;

void set_text(ogle_client& c, const std::string& t, float wrap = 1000.0f) {
  c.text = t;
  c.wrap = wrap;
  OGLE_Repaginate(c.rec);
}

std::pair<int, int> sel(ogle_client& c) {
  int s = -9, e = -9;
  OGLE_GetSelection(c.rec, &s, &e);
  return {s, e};
}

TEST(Ogle, EmptyTextIsOneLineAndBackspaceChangesNothing) {
  ogle_client c;
  EXPECT_EQ(OGLE_CharPosToLine(c.rec, 0), -1);  // laid out only when asked
  OGLE_Destroy(nullptr);                        // ignored
  set_text(c, "");
  EXPECT_EQ(c.starts(), starts_t{0});
  EXPECT_FLOAT_EQ(c.logical_h, 10.0f);
  for (float y : {-50.0f, 5.0f, 25.0f, 200.0f}) {
    OGLE_Click(c.rec, 37, y, 0);
    EXPECT_EQ(sel(c), std::make_pair(0, 0));
  }
  OGLE_Key(c.rec, OGLE_key_back, 0);
  EXPECT_EQ(c.replaces, 0);
  EXPECT_EQ(c.text, "");
}

TEST(Ogle, LayoutTable) {
  struct row {
    const char* text;
    float wrap;
    starts_t starts;
  };
  const row rows[] = {
      {"ab cd", 20, {0, 3}},                 // first word and its blank, then the second word
      {"ab cd", 1000, {0}},
      {"abcdefgh", 20, {0, 1, 2, 3, 4, 5}},  // one character per line while the rest is too wide
      {"ab\ncd", 1000, {0, 3}},              // the break belongs to its line
      {"ab\ncd", 5, {0, 1, 2, 3, 4}},
      {"ab \ncd", 1000, {0, 4}},             // a blank before the break does not hide it
      {"ab\n", 1000, {0}},                   // no empty line after a final break
      {"ab\r\ncd", 1000, {0, 3, 4}},
      {"ab\n\ncd", 1000, {0, 3, 4}},
      {"  ab", 1000, {0}},
      {"x WWWWWWW y", 30, {0, 2, 3, 4, 5, 6, 7, 10}},  // "WW " fits again
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.text);
    ogle_client c;
    set_text(c, r.text, r.wrap);
    EXPECT_EQ(c.starts(), r.starts);
    EXPECT_FLOAT_EQ(c.logical_h, 10.0f * static_cast<float>(r.starts.size()));
  }
}

TEST(Ogle, RelayoutShrinksAndGrowsTheTable) {
  ogle_client c;
  set_text(c, "aa bb cc dd", 20);
  EXPECT_EQ(c.starts(), (starts_t{0, 3, 6, 9}));
  set_text(c, "aa bb", 20);
  EXPECT_EQ(c.starts(), (starts_t{0, 3}));
  set_text(c, "aa bb cc", 20);
  EXPECT_EQ(c.starts(), (starts_t{0, 3, 6}));
}

TEST(Ogle, CharPosToLine) {
  ogle_client c;
  set_text(c, "aa bb cc", 20);  // lines 0, 3, 6
  const int expect[] = {0, 0, 0, 1, 1, 1, 2, 2, 2};
  for (int p = 0; p <= 8; ++p) EXPECT_EQ(OGLE_CharPosToLine(c.rec, p), expect[p]) << p;
  EXPECT_EQ(OGLE_CharPosToLine(c.rec, 50), 2);
}

TEST(Ogle, ShiftArrowsMoveTheActiveEnd) {
  ogle_client c;
  set_text(c, "abcdefgh");
  OGLE_SetSelection(c.rec, 5, 5);
  OGLE_Key(c.rec, OGLE_key_left, 1);
  EXPECT_EQ(sel(c), std::make_pair(4, 5));
  EXPECT_EQ(c.rec->active_end, 0);
  OGLE_Key(c.rec, OGLE_key_right, 1);
  EXPECT_EQ(sel(c), std::make_pair(5, 5));
  OGLE_Key(c.rec, OGLE_key_left, 1);
  OGLE_Key(c.rec, OGLE_key_left, 1);
  OGLE_Key(c.rec, OGLE_key_left, 1);
  EXPECT_EQ(sel(c), std::make_pair(2, 5));
  // Without shift a selection collapses to the end the arrow points at.
  OGLE_Key(c.rec, OGLE_key_right, 0);
  EXPECT_EQ(sel(c), std::make_pair(5, 5));
  OGLE_SetSelection(c.rec, 2, 5);
  OGLE_Key(c.rec, OGLE_key_left, 0);
  EXPECT_EQ(sel(c), std::make_pair(2, 2));
}

TEST(Ogle, ArrowsStopAtBothEnds) {
  ogle_client c;
  set_text(c, "abc");
  OGLE_SetSelection(c.rec, 0, 0);
  OGLE_Key(c.rec, OGLE_key_left, 0);
  EXPECT_EQ(sel(c), std::make_pair(0, 0));
  OGLE_Key(c.rec, OGLE_key_left, 1);
  EXPECT_EQ(sel(c), std::make_pair(0, 0));
  OGLE_SetSelection(c.rec, 3, 3);
  OGLE_Key(c.rec, OGLE_key_right, 0);
  OGLE_Key(c.rec, OGLE_key_right, 1);
  EXPECT_EQ(sel(c), std::make_pair(3, 3));
  OGLE_Key(c.rec, OGLE_key_up, 0);
  EXPECT_EQ(sel(c), std::make_pair(0, 0));
  OGLE_Key(c.rec, OGLE_key_down, 0);
  EXPECT_EQ(sel(c), std::make_pair(3, 3));
}

TEST(Ogle, DownTwiceKeepsTheFirstColumnAcrossAShorterLine) {
  ogle_client c;
  set_text(c, "aaaaaaaa\nWWWWW\naaaaaaaa");  // lines start at 0, 9, 15
  OGLE_SetSelection(c.rec, 5, 5);           // x 30
  OGLE_Key(c.rec, OGLE_key_down, 0);
  EXPECT_EQ(sel(c), std::make_pair(12, 12));  // the third W ends at 33: the first past 30
  EXPECT_FLOAT_EQ(c.rec->desired_x, 30.0f);
  OGLE_Key(c.rec, OGLE_key_down, 0);
  EXPECT_EQ(sel(c), std::make_pair(20, 20));  // column 30 again, not 33
  OGLE_Key(c.rec, OGLE_key_up, 0);
  OGLE_Key(c.rec, OGLE_key_up, 0);
  EXPECT_EQ(sel(c), std::make_pair(5, 5));
  // Any other key forgets the column.
  OGLE_Key(c.rec, OGLE_key_right, 0);
  EXPECT_FLOAT_EQ(c.rec->desired_x, -1.0f);
}

TEST(Ogle, ShiftDownExtendsFromTheActiveEnd) {
  ogle_client c;
  set_text(c, "aaaa\naaaa\naaaa");
  OGLE_SetSelection(c.rec, 2, 2);
  OGLE_Key(c.rec, OGLE_key_down, 1);
  EXPECT_EQ(sel(c), std::make_pair(2, 7));
  OGLE_Key(c.rec, OGLE_key_down, 1);
  EXPECT_EQ(sel(c), std::make_pair(2, 12));
  OGLE_Key(c.rec, OGLE_key_up, 0);  // collapses to the start
  EXPECT_EQ(sel(c), std::make_pair(2, 2));
}

TEST(Ogle, ClicksAndDrags) {
  ogle_client c;
  set_text(c, "abcd efgh", 30);  // lines "abcd " (0) and "efgh" (5); line 0 spans y 20..30
  struct click {
    float x, y;
    int pos;
  };
  const click clicks[] = {
      {0.5f, 25, 1},  // inside a character: after it
      {6, 25, 1},     // on its right edge: still that character
      {6.5f, 25, 2},
      {-40, 15, 5},   // left of the text: start of that line
      {500, 25, 5},   // right of a line: its end, the wrap point
      {3, 100, 0},    // above the text
      {3, 5, 9},      // below the last line: end of the text
      {3, -80, 9},
  };
  for (const click& k : clicks) {
    SCOPED_TRACE(testing::Message() << k.x << "," << k.y);
    OGLE_Click(c.rec, k.x, k.y, 0);
    EXPECT_EQ(sel(c), std::make_pair(k.pos, k.pos));
  }
  OGLE_Click(c.rec, 13, 25, 0);  // caret 3
  OGLE_Drag(c.rec, 1, 15);       // over "e": 6
  EXPECT_EQ(sel(c), std::make_pair(3, 6));
  OGLE_Drag(c.rec, 1, 25);       // back before the anchor
  EXPECT_EQ(sel(c), std::make_pair(1, 3));
  EXPECT_EQ(c.rec->active_end, 0);
  OGLE_Click(c.rec, 20, 15, 1);  // shift-click after the selection moves its end
  EXPECT_EQ(sel(c), std::make_pair(1, 9));
  OGLE_Click(c.rec, -5, 25, 1);  // and before it, its start
  EXPECT_EQ(sel(c), std::make_pair(0, 9));
  EXPECT_EQ(c.rec->active_end, 0);
}

TEST(Ogle, ZeroOrNegativeLineHeightIsOneLine) {
  for (float h : {0.0f, -4.0f}) {
    ogle_client c;
    c.line_h = h;
    set_text(c, "ab cd ef", 20);
    OGLE_Click(c.rec, 7, 900, 0);
    EXPECT_EQ(sel(c), std::make_pair(2, 2));
    OGLE_Click(c.rec, 7, -900, 0);
    EXPECT_EQ(sel(c), std::make_pair(2, 2));
    OGLE_Draw(c.rec, 1);
    EXPECT_EQ(c.lines.size(), 3u);
    OGLE_Key(c.rec, 'x', 0);
    EXPECT_EQ(c.text, "abx cd ef");
  }
}

TEST(Ogle, TypingAndBackspace) {
  ogle_client c;
  set_text(c, "hello");
  OGLE_SetSelection(c.rec, 5, 5);
  OGLE_Key(c.rec, '!', 0);
  EXPECT_EQ(c.text, "hello!");
  OGLE_SetSelection(c.rec, 1, 4);
  OGLE_Key(c.rec, 'E', 1);  // replaces the selection
  EXPECT_EQ(c.text, "hEo!");
  EXPECT_EQ(sel(c), std::make_pair(2, 2));
  OGLE_Key(c.rec, OGLE_key_back, 0);
  EXPECT_EQ(c.text, "ho!");
  EXPECT_EQ(sel(c), std::make_pair(1, 1));
  OGLE_SetSelection(c.rec, 3, 1);  // reversed: normalised
  EXPECT_EQ(sel(c), std::make_pair(1, 3));
  OGLE_Key(c.rec, OGLE_key_back, 0);
  EXPECT_EQ(c.text, "h");
  EXPECT_EQ(sel(c), std::make_pair(1, 1));
  // Codes outside the commands are inserted, high bytes included.
  OGLE_Key(c.rec, static_cast<char>(0xE9), 0);
  OGLE_Key(c.rec, '\n', 0);
  EXPECT_EQ(c.text, "h\xE9\n");
  EXPECT_EQ(c.starts(), (starts_t{0}));
}

TEST(Ogle, ReplaceTextMovesTheSelection) {
  struct row {
    int start, end;
    const char* with;
    int s0, e0, s1, e1;
  };
  const row rows[] = {
      {0, 2, "xyz", 4, 6, 5, 7},    // wholly before: both move
      {3, 5, "", 4, 8, 4, 6},       // straddles the start: only the end moves
      {2, 8, "", 4, 6, 2, 2},       // swallows the selection
      {7, 8, "q", 4, 6, 4, 6},      // after it: untouched
      {4, 4, "ab", 4, 6, 6, 8},     // insertion at the start
  };
  for (const row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.start << ".." << r.end << " " << r.with);
    ogle_client c;
    set_text(c, "0123456789");
    OGLE_SetSelection(c.rec, r.s0, r.e0);
    const std::string w = r.with;
    OGLE_ReplaceText(c.rec, r.start, r.end, w.data(), w.data() + w.size());
    EXPECT_EQ(sel(c), std::make_pair(r.s1, r.e1));
    EXPECT_EQ(c.text, std::string("0123456789").replace(static_cast<size_t>(r.start), static_cast<size_t>(r.end - r.start), w));
  }
}

TEST(Ogle, RevealScrollsTheCaretIntoView) {
  ogle_client c;
  c.vis_w = 30;
  set_text(c, "abcdefghij");  // 60 wide in a 30-wide view
  OGLE_SetSelection(c.rec, 0, 0);
  OGLE_RevealSelection(c.rec);
  EXPECT_EQ(c.scrolls, 0);  // already in view: no call
  for (int i = 0; i < 6; ++i) OGLE_Key(c.rec, OGLE_key_right, 0);  // caret x 36
  EXPECT_FLOAT_EQ(c.dx, 6.0f);
  OGLE_Click(c.rec, -100, 25, 0);      // start of the line
  EXPECT_FLOAT_EQ(c.dx, 0.0f);
}

TEST(Ogle, DrawSelectionTextThenCaret) {
  ogle_client c;
  set_text(c, "ab cd ef", 20);  // lines "ab " "cd " "ef", line 0 at y 20..30
  c.vis_h = 30;
  OGLE_SetSelection(c.rec, 1, 7);
  OGLE_Draw(c.rec, 1);
  ASSERT_EQ(c.rects.size(), 3u);
  EXPECT_FLOAT_EQ(c.rects[0].l, 6);    // from "b" ...
  EXPECT_FLOAT_EQ(c.rects[0].r, 20);   // ... to the wrap width
  EXPECT_FLOAT_EQ(c.rects[0].b, 20);
  EXPECT_FLOAT_EQ(c.rects[0].t, 30);
  EXPECT_FLOAT_EQ(c.rects[1].l, 0);
  EXPECT_FLOAT_EQ(c.rects[1].r, 20);
  EXPECT_FLOAT_EQ(c.rects[2].l, 0);
  EXPECT_FLOAT_EQ(c.rects[2].r, 6);    // up to "e"
  EXPECT_FLOAT_EQ(c.rects[2].b, 0);
  ASSERT_EQ(c.lines.size(), 3u);
  EXPECT_EQ(c.lines[1].text, "cd ");
  EXPECT_FLOAT_EQ(c.lines[1].y, 10);

  // A caret at a wrap point is drawn at the start of the following line; at the very end of
  // the text, after the last line.
  for (const auto& [pos, l, b] : {std::tuple{3, 0.0f, 10.0f}, std::tuple{8, 12.0f, 0.0f}}) {
    c.rects.clear();
    OGLE_SetSelection(c.rec, pos, pos);
    OGLE_Draw(c.rec, 1);
    ASSERT_EQ(c.rects.size(), 1u) << pos;
    EXPECT_FLOAT_EQ(c.rects[0].l, c.rects[0].r);
    EXPECT_FLOAT_EQ(c.rects[0].l, l);
    EXPECT_FLOAT_EQ(c.rects[0].b, b);
  }
  // No caret when not asked for.
  c.rects.clear();
  OGLE_Draw(c.rec, 0);
  EXPECT_TRUE(c.rects.empty());
}

TEST(Ogle, DrawsOnlyTheVisibleLines) {
  ogle_client c;
  c.vis_h = 20;
  set_text(c, "a\nb\nc\nd\ne");
  c.dy = -20;  // scrolled down by two lines
  OGLE_Draw(c.rec, 0);
  ASSERT_EQ(c.lines.size(), 2u);
  EXPECT_EQ(c.lines[0].text, "c\n");
  EXPECT_EQ(c.lines[1].text, "d\n");
}

// The class form forwards every call-back to its virtual operations.
struct class_client : OGLE {
  std::string text = "one two";
  std::vector<std::string> calls;
  void GetVisibleBounds(float b[4]) override { b[0] = 0; b[1] = 0; b[2] = 100; b[3] = 10; calls.push_back("vis"); }
  void GetLogicalBounds(float b[4]) override { b[0] = 0; b[1] = 0; b[2] = 100; b[3] = 10; }
  void SetLogicalHeight(float) override { calls.push_back("height"); }
  void ScrollTo(float[2]) override { calls.push_back("scroll"); }
  void GetText(const char** f, const char** e) override { *f = text.data(); *e = text.data() + text.size(); }
  void ReplaceText(int s, int e, const char* f, const char* l) override {
    text.replace(static_cast<size_t>(s), static_cast<size_t>(e - s), std::string(f, l));
    calls.push_back("replace");
  }
  float GetLineHeight() override { return 10; }
  float MeasureString(const char* f, const char* e) override { return 5.0f * static_cast<float>(e - f); }
  int FitStringFwd(const char* f, const char* e, float w) override {
    int n = 0;
    for (; f < e && w > 0; ++f, w -= 5) ++n;
    return n;
  }
  int FitStringRev(const char*, const char*, float) override { return 0; }
  void DrawString(const char* f, const char* e, float, float) override { calls.push_back("draw " + std::string(f, e)); }
  void DrawSelection(float[4]) override { calls.push_back("sel"); }
  const char* WordBreak(const char* f, const char* e) override {
    while (f < e && *f == ' ') ++f;
    while (f < e && *f != ' ') ++f;
    return f;
  }
};

TEST(Ogle, ClassFormForwardsToItsOperations) {
  class_client c;
  c.Repaginate();
  c.Click(12, 5, 0);  // inside the third character: after it
  int s = 0, e = 0;
  c.GetSelection(&s, &e);
  EXPECT_EQ(s, 3);
  c.Key('!', 0);
  EXPECT_EQ(c.text, "one! two");
  c.SetSelection(0, 3);
  const char* one = "1";
  c.DoReplaceText(0, 3, one, one + 1);
  EXPECT_EQ(c.text, "1! two");
  c.GetSelection(&s, &e);
  EXPECT_EQ(e, 1);
  c.calls.clear();
  c.Draw(0);
  EXPECT_EQ(c.calls.back(), "draw 1! two");
  c.Drag(100, 5);
  c.GetSelection(&s, &e);
  EXPECT_EQ(e, 6);
  c.RevealSelection();
}

}  // namespace
