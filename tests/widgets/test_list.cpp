// The scrolling list: type-ahead over whole frames with the frame clock, arrows at both ends,
// the wheel, clicks between rows, double clicks, clamping of stale values, the scroll bar and
// icons as drawn; and the UTF-8 / Latin-1 conversions that names go through.
#include <string>
#include <tuple>
#include <vector>

#include "widget_fixture.h"
#include "ogl/text.h"
#include "widgets/latin1.h"
#include "widgets/list.h"
#include "widgets/shown_text.h"

namespace {

std::string name_at(int i, void* ref) { return (*static_cast<std::vector<std::string>*>(ref))[static_cast<size_t>(i)]; }
std::string second_at(int i, void*) { return "#" + std::to_string(i); }
int type_at(int i, void* ref) { return (*static_cast<std::vector<int>*>(ref))[static_cast<size_t>(i)]; }

class ListTest : public WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    BTN_type_ahead_reset();
    frame(600, 600);  // the clock starts
    frame(600, 600, false, false, 1.0f);  // the first click must not pair with its start
  }
  // One frame of the default list at (10, 180) over `names`; returns its result.
  int draw(std::vector<std::string>& names, int* scroll, int* sel, float x = 10, float y = 180,
           float width = 0, float height = 0) {
    return BTN_list_and_search(0, x, y, width, height, scroll, sel, 0, static_cast<int>(names.size()) - 1,
                               nullptr, "", name_at, &names, nullptr, nullptr, nullptr, nullptr);
  }
  // One frame with the mouse over the centre of the default list, dt after the last.
  void tick(std::vector<std::string>& names, int* scroll, int* sel, float dt = 1.0f / 60.0f) {
    frame(100, 180, false, false, dt);
    draw(names, scroll, sel);
  }
  // A press and release over the row `offset` rows below the centre of the default list.
  void click_row(std::vector<std::string>& names, int* scroll, int* sel, float offset_rows) {
    frame(100, 180 - 10 * offset_rows, true);
    draw(names, scroll, sel);
    frame(100, 180 - 10 * offset_rows, false, true);
    draw(names, scroll, sel);
  }
  // Texts drawn at the name column this frame, top to bottom.
  static std::vector<std::string> rows_drawn() {
    std::vector<std::string> out;
    for (const text_rec& t : drawn.texts)
      if (t.x == 30) out.push_back(t.text);
    return out;
  }
  static int slider_quads(float x) {
    int n = 0;
    for (const BTN_quad& q : drawn.quads)
      if (q.x0 <= x && q.x1 >= x) ++n;
    return n;
  }
};

std::vector<std::string> sample() {
  return {"aaa", "Abc", "abd", "b one", "b two", "Bz", "c", "d", "e", "f", "g", "h", "i", "j", "k",
          "l", "m", "n", "o", "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z"};
}

TEST_F(ListTest, TwoLettersWithinASecondSelectTheFirstItemBeginningWithBoth) {
  std::vector<std::string> names = sample();
  int scroll = 0, sel = 0;
  click_row(names, &scroll, &sel, 0);  // focuses the list
  key('a');
  tick(names, &scroll, &sel);
  EXPECT_EQ(sel, 0);
  key('B');  // letter case does not matter
  tick(names, &scroll, &sel, 0.5f);
  EXPECT_EQ(sel, 1);  // "Abc"
  key('d');
  tick(names, &scroll, &sel, 0.5f);
  EXPECT_EQ(sel, 2);  // "abd": "abd" typed within a second of each letter

  // A pause of more than a second starts a new search: "b" alone.
  tick(names, &scroll, &sel, 1.2f);
  key('b');
  tick(names, &scroll, &sel);
  EXPECT_EQ(sel, 3);
  key(' ');
  key('t');
  tick(names, &scroll, &sel);
  EXPECT_EQ(sel, 4);  // "b two": blanks are searched like letters

  // No match leaves the selection where it was.
  key('q');
  tick(names, &scroll, &sel);
  EXPECT_EQ(sel, 4);
}

TEST_F(ListTest, TypeAheadScrollsTheFoundItemIntoViewAndAnotherListStartsAfresh) {
  std::vector<std::string> names = sample();
  int scroll = 0, sel = 0;
  click_row(names, &scroll, &sel, 0);
  key('z');
  tick(names, &scroll, &sel);
  EXPECT_EQ(sel, 29);
  EXPECT_EQ(scroll, 19);  // within the 10 rows shown on each side

  // A second list at another place takes the focus: the letters typed so far are dropped.
  std::vector<std::string> other = {"zebra", "zz", "zzz"};
  int s2 = 0, sel2 = 0;
  frame(400, 180, true);
  draw(names, &scroll, &sel);
  draw(other, &s2, &sel2, 380);
  key('z');
  key('z');
  frame(400, 180);
  draw(names, &scroll, &sel);
  draw(other, &s2, &sel2, 380);
  EXPECT_EQ(sel2, 1);  // "zz", not "zebra" by a leftover "z" + "zz"
  EXPECT_EQ(sel, 29);  // the first list saw none of it
}

TEST_F(ListTest, ArrowsStopAtTheEndsAndScrollAlong) {
  std::vector<std::string> names = sample();
  int scroll = 0, sel = 0;
  click_row(names, &scroll, &sel, 0);
  key(30, 38);  // up on the first item
  tick(names, &scroll, &sel);
  EXPECT_EQ(sel, 0);
  for (int i = 0; i < 11; ++i) key(31, 40);
  tick(names, &scroll, &sel);
  EXPECT_EQ(sel, 11);
  EXPECT_EQ(scroll, 1);
  sel = 29;
  scroll = 29;
  key(31, 40);  // down on the last item
  tick(names, &scroll, &sel);
  EXPECT_EQ(sel, 29);
}

TEST_F(ListTest, TheWheelMovesTheViewNotTheSelection) {
  std::vector<std::string> names = sample();
  int scroll = 15, sel = 15;
  frame(100, 180);
  mnw.wheel = -12;
  draw(names, &scroll, &sel);
  EXPECT_EQ(scroll, 27);
  EXPECT_EQ(sel, 15);
  EXPECT_EQ(mnw.wheel, 0);  // consumed
  frame(100, 180);
  mnw.wheel = 40;
  draw(names, &scroll, &sel);
  EXPECT_EQ(scroll, 0);  // clamped to the first item
  // Outside the list the wheel is left for others.
  frame(500, 180);
  mnw.wheel = 3;
  draw(names, &scroll, &sel);
  EXPECT_EQ(mnw.wheel, 3);
  EXPECT_EQ(scroll, 0);
}

TEST_F(ListTest, ClicksPickRowsAndBetweenTwoRowsTheOneFartherFromTheCentre) {
  std::vector<std::string> names = sample();
  struct { float offset_rows; int sel; } cases[] = {  // rows below the centre row -> the row selected
      {0, 15}, {1, 16}, {-1, 14}, {0.5f, 16}, {-0.5f, 14}, {1.5f, 17}, {0.49f, 15}, {10, 25}};
  for (const auto& c : cases) {
    int scroll = 15, sel = 0;
    click_row(names, &scroll, &sel, c.offset_rows);
    EXPECT_EQ(sel, c.sel) << c.offset_rows;
  }
}

TEST_F(ListTest, ADoubleClickReturnsOneWithTheSelectionAlreadySet) {
  std::vector<std::string> names = sample();
  int scroll = 15, sel = 0;
  frame(100, 160, true);
  EXPECT_EQ(draw(names, &scroll, &sel), 0);
  frame(100, 160, false, true);
  EXPECT_EQ(draw(names, &scroll, &sel), 0);
  frame(100, 160, true, false, 0.1f);
  EXPECT_EQ(mnw.double_click, 1);
  EXPECT_EQ(draw(names, &scroll, &sel), 1);
  EXPECT_EQ(sel, 17);
  frame(100, 160, false, true);
  EXPECT_EQ(draw(names, &scroll, &sel), 0);
}

TEST_F(ListTest, StaleSelectionAndScrollAreClampedEveryFrame) {
  std::vector<std::string> names = {"a", "b", "c", "d", "e"};
  int scroll = 40, sel = 50;
  frame(600, 600);  // nowhere near the list, no click
  draw(names, &scroll, &sel);
  EXPECT_EQ(scroll, 4);
  EXPECT_EQ(sel, 4);
  scroll = -3;
  sel = -9;
  frame(600, 600);
  draw(names, &scroll, &sel);
  EXPECT_EQ(scroll, 0);
  EXPECT_EQ(sel, 0);
}

TEST_F(ListTest, FiveItemsFitWithoutScrollingAndOneItemHasNoScrollBar) {
  std::vector<std::string> five = {"a", "b", "c", "d", "e"};
  int scroll = 2, sel = 2;
  frame(600, 600);
  draw(five, &scroll, &sel);
  EXPECT_EQ(rows_drawn(), five);
  EXPECT_GT(slider_quads(316), 0);  // the bar at x + width + 16

  std::vector<std::string> one = {"only"};
  scroll = sel = 0;
  frame(600, 600);
  draw(one, &scroll, &sel);
  EXPECT_EQ(rows_drawn(), one);
  EXPECT_EQ(slider_quads(316), 0);

  // No items: nothing but an optional text field.
  std::vector<std::string> none;
  frame(600, 600);
  EXPECT_EQ(draw(none, &scroll, &sel), 0);
  EXPECT_TRUE(drawn.quads.empty());
  EXPECT_TRUE(drawn.texts.empty());
}

TEST_F(ListTest, FractionalPlacesAndSizesDrawTheScrollBarOnWholePixels) {
  // The bar's centre must be whole: an odd height, a fractional width and position draw and
  // scroll like the rounded ones instead of ending the program.
  std::vector<std::string> names = sample();
  struct { float x, y, w, h; } cases[] = {{10.5f, 180.5f, 290.3f, 221}, {9.49f, 179.5f, 100.75f, 57.5f},
                                          {0, 0, 1.5f, 33}};
  for (const auto& c : cases) {
    int scroll = 5, sel = 5;
    frame(600, 600);
    draw(names, &scroll, &sel, c.x, c.y, c.w, c.h);
    int bar = 0;
    for (const BTN_quad& q : drawn.quads) {
      if (q.x0 <= std::round(c.x) + c.w + 2) continue;  // the panel's own pieces
      ++bar;
      EXPECT_EQ(q.x0, std::round(q.x0)) << c.x << " " << c.w;
    }
    EXPECT_GT(bar, 0);
  }
}

TEST_F(ListTest, RowsShowTheSecondColumnIconsTheHighlightAndTheFocusOutline) {
  std::vector<std::string> names = {"folder", "plane.acf", "readme"};
  std::vector<int> types = {1, 3, 0};
  int scroll = 1, sel = 2;
  frame(600, 600);
  BTN_list_and_search(0, 10, 180, 0, 0, &scroll, &sel, 0, 2, nullptr, "", name_at, &names, second_at, nullptr,
                      type_at, &types);
  int seconds = 0;
  for (const text_rec& t : drawn.texts)
    if (t.x == 252) ++seconds;
  EXPECT_EQ(seconds, 3);
  // Icons: the folder's cell (34..46) on the row above the centre, the aircraft's (48..60) on
  // the centre row, none for type 0.
  int icons = 0;
  for (const BTN_quad& q : drawn.quads) {
    if (q.x0 != 14 || q.x1 != 26) continue;
    ++icons;
    if (q.y0 == 184) {
      EXPECT_EQ(sx0(q), 34);
    } else {
      EXPECT_EQ(q.y0, 174);
      EXPECT_EQ(sx0(q), 48);
    }
  }
  EXPECT_EQ(icons, 2);
  // The highlight over the selected row (one row below the centre).
  ASSERT_EQ(drawn.rects.size(), 1u);
  EXPECT_EQ(drawn.rects[0].y, 165);
  EXPECT_TRUE(drawn.lines.empty());  // not focused: no outline

  frame(100, 180, true);
  BTN_list_and_search(0, 10, 180, 0, 0, &scroll, &sel, 0, 2, nullptr, "", name_at, &names, nullptr, nullptr,
                      nullptr, nullptr);
  EXPECT_EQ(drawn.lines.size(), 4u);  // focused by the click: outlined
}

TEST_F(ListTest, RowsForAHeight) {
  struct { float h; int rows; } cases[] = {{220, 10}, {219, 9}, {40, 1}, {39, 0}, {10, 0}, {0, 0}};
  for (const auto& c : cases) EXPECT_EQ(BTN_list_rows(c.h), c.rows) << c.h;
}

TEST(Latin1, NamesConvertBothWaysAndUnshownCharactersBecomeQuestionMarks) {
  struct { std::string utf8, latin1; } cases[] = {
      {"plain.txt", "plain.txt"},
      {"caf\xC3\xA9", "caf\xE9"},                   // U+00E9
      {"\xC2\xA0nbsp", "\xA0nbsp"},                 // U+00A0, the first Latin-1 one
      {"\xC3\xBF", "\xFF"},                         // U+00FF, the last
      {"\xC4\x80x", "?x"},                          // U+0100 has no Latin-1 form
      {"\xE2\x82\xAC 5", "? 5"},                    // euro sign
      {"\xF0\x9F\x98\x80!", "?!"},                  // four bytes, one character
      {"bad\xC3", "bad?"},                          // cut short
      {"\xC0\xAF", "??"},                           // overlong '/': each byte refused
      {"\xED\xA0\x80", "???"},                      // a surrogate
      {"\x80\xBF", "??"},                           // stray continuation bytes
      {"\xF4\x90\x80\x80", "????"},                 // beyond U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(BTN_utf8_to_latin1(c.utf8), c.latin1) << c.utf8;
  // Every Latin-1 byte goes to UTF-8 and back unchanged.
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(BTN_utf8_to_latin1(BTN_latin1_to_utf8(all)), all);
  EXPECT_EQ(BTN_latin1_to_utf8("\xE9t\xE9"), "\xC3\xA9t\xC3\xA9");
}

// Paths and names in a box of 300 pixels: Latin-1 for the font ("?" without a glyph), one line,
// cut around "..." keeping what says most (rows: begins with, ends with); an alert line keeps to its rows.
TEST(ShownText, PathsAndNamesFitTheirBox) {
  const std::string deep = "/home/ann/" + std::string(300, 'x') + "/General Aviation/Kestrel 03/k3.acf";
  const std::tuple<std::string (*)(const std::string&, float), std::string, std::string, std::string> rows[] = {
      {BTN_path_shown, "/tmp/caf\xC3\xA9 \"{~}\" \xC3\x9C\xE2\x9C\x88/\xD0\xA1/", "/tmp/caf\xE9 ???\?\? ?\?/?/", ""},
      {BTN_path_shown, deep, "/home/ann/xxx", "x.../k3.acf"},
      {BTN_path_shown, "/home/" + std::string(200, 'n') + "/", "...nnn", "nnn/"},
      {BTN_end_shown, deep, "...", "Kestrel 03/k3.acf"},
      {BTN_middle_shown, "Reading and installing file " + std::string(400, 'n') + ".acf.", "Reading and installing file n",
       "nnn.acf."}};
  for (const auto& [shown, text, start, end] : rows) {
    const std::string s = shown(text, 300);
    EXPECT_LE(OGL_str_width(s), 300) << s;
    EXPECT_EQ(s.rfind(start, 0), 0u) << s;
    EXPECT_EQ(s.substr(s.size() - std::min(s.size(), end.size())), end) << s;
  }
  // A line of words and paths: only the paths are cut, each keeping its start and its end.
  const std::string disc = "/media/ann/" + std::string(200, 'v') + "/", why = " belongs to another user (42). Use --disc=";
  const std::string line = BTN_parts_shown({"Not used: ", disc, why, disc}, 500);
  EXPECT_LE(OGL_str_width(line), 500) << line;
  EXPECT_TRUE(line.starts_with("Not used: /media/") && line.find("v/" + why + "/media/") != std::string::npos && line.ends_with("v/")) << line;
  EXPECT_EQ(BTN_parts_shown({"Not used: ", "/a/", why, "/a/"}, 300), "Not used: /a/" + why + "/a/");
  const std::string paragraph = "Simply exit this installer, and then run the installer on any of those DVDs to "
                                "install the scenery on them. You may install, or not install, any of those DVDs you like.";
  EXPECT_EQ(BTN_lines_shown(paragraph, 378, 4, 400), paragraph);
  const std::string s = BTN_lines_shown("Folder: " + deep + std::string(3000, 'y'), 378, 4, 400);
  EXPECT_LE(OGL_wrapped_lines(s, 378).size(), 4u) << s;
  for (const std::string& line : OGL_wrapped_lines(s, 378)) EXPECT_LE(OGL_str_width(line), 400) << line;
  EXPECT_EQ(s.substr(0, 18) + s.substr(s.size() - 3), "Folder: /home/ann/yyy");
}

}  // namespace
