// The path field: what it shows for each kind of path, the folder chooser through the shell's
// hook (chosen, cancelled, too long for a buffer), editing that makes the edited text the path, the
// two character-buffer forms and the fatal argument checks.
#include <cstring>
#include <string>

#include "dialog_fixture.h"
#include "widgets/opensave.h"

namespace {

constexpr float kX = 200, kY = 400;

class PathFieldTest : public DialogTest {
 protected:
  static inline std::string answer;  // the folder the fake chooser picks; "" cancels
  static inline int asked = 0;
  static inline std::string prompt, button;
  static inline bool start_given = false;

  static int fake_choose(const char* p, const char* b, const char* start, char* out, size_t size) {
    ++asked;
    prompt = p ? p : "";
    button = b ? b : "";
    start_given = start != nullptr;
    if (answer.empty() || answer.size() + 1 > size) return 0;
    std::memcpy(out, answer.c_str(), answer.size() + 1);
    return 1;
  }

  void SetUp() override {
    DialogTest::SetUp();
    BTN_shell_hooks h = BTN_get_shell_hooks();
    h.choose_folder = fake_choose;
    BTN_set_shell_hooks(h);
    answer.clear();
    asked = 0;
  }

  // The text the unfocused field shows: the text drawn at the field's left edge.
  // Clicks far right of the field's text (the caret goes to its end) and types `keys` into it.
  template <class F>
  static void type_at_end(F draw_field, const std::string& keys) {
    frame(kX + 280, kY + 3, true);
    draw_field();
    frame(kX + 280, kY + 3, false, true);
    draw_field();
    type(keys);
    frame(600, 600);
  }

  static std::string shown_at(float x) {
    for (const text_rec& t : drawn.texts)
      if (t.x == x && t.colour == 45) return t.text;
    return "<none>";
  }
};

TEST_F(PathFieldTest, ShowsTheLastLevelOrTheWholePathForCommandTypes) {
  struct {
    std::string path;
    int type;
    std::string shown;
  } cases[] = {
      {"Output/movies/take.smo", 10, "take.smo"}, {"Output/movies/", 10, "movies/"},
      {"plain", 0, "plain"},                      {"top/", 0, "top/"},
      {"/home/u/Volarium 9", 0, "Volarium 9"},    {"sim/flight/", 20, "sim/flight/"},
      {"sim/a/b", 21, "sim/a/b"},
  };
  for (const auto& c : cases) {
    std::string path = c.path;
    frame(600, 600);
    EXPECT_EQ(BTN_select_path_stl(kX, kY, 998, c.type, &path, 200, "Folder", 300, 0), 0);
    EXPECT_EQ(shown_at(kX), c.shown) << c.path;
    EXPECT_EQ(path, c.path);
  }
}

TEST_F(PathFieldTest, TheIconOpensTheChooserAndCancelChangesNothing) {
  std::string path = "old/place/";
  answer = "/home/u/New Place";
  frame(kX - 17, kY + 3, true);
  EXPECT_EQ(BTN_select_path_stl(kX, kY, 999, 0, &path, 200, "Folder{xWhere it goes", 300, 0), 1);
  EXPECT_EQ(path, "/home/u/New Place");
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(prompt, "Please pick an Volsuite to update");
  EXPECT_EQ(button, "Update");
  EXPECT_FALSE(start_given);
  EXPECT_EQ(stls[1802], "Where it goes");  // hover help

  answer.clear();
  frame(kX - 17, kY + 3, true);
  EXPECT_EQ(BTN_select_path_stl(kX, kY, 999, 0, &path, 200, "Folder", 300, 0), 0);
  EXPECT_EQ(path, "/home/u/New Place");
  EXPECT_EQ(asked, 2);

  // Beside the icon nothing opens; without a chooser hook the choice is a cancel.
  frame(kX - 40, kY + 3, true);
  EXPECT_EQ(BTN_select_path_stl(kX, kY, 999, 0, &path, 200, "Folder", 300, 0), 0);
  EXPECT_EQ(asked, 2);
  BTN_shell_hooks h = BTN_get_shell_hooks();
  h.choose_folder = nullptr;
  BTN_set_shell_hooks(h);
  answer = "/never";
  frame(kX - 17, kY + 3, true);
  EXPECT_EQ(BTN_select_path_stl(kX, kY, 999, 0, &path, 200, "Folder", 300, 0), 0);
  EXPECT_EQ(path, "/home/u/New Place");
}

TEST_F(PathFieldTest, TheEditedTextIsThePath) {
  std::string path = "Output/movies/take";
  type_at_end([&] { EXPECT_EQ(BTN_select_path_stl(kX, kY, 998, 10, &path, 200, "Movie", 300, 0), 0); }, "2");
  EXPECT_EQ(BTN_select_path_stl(kX, kY, 998, 10, &path, 200, "Movie", 300, 0), 0);  // 0 for edits too
  EXPECT_EQ(path, "take2");

  // A command path is edited whole.
  std::string cmd = "sim/a";
  auto draw_cmd = [&] { BTN_select_path_stl(kX, kY, 998, 21, &cmd, 200, "", 300, 0); };
  type_at_end(draw_cmd, "b");
  draw_cmd();
  EXPECT_EQ(cmd, "sim/ab");
}

TEST_F(PathFieldTest, TheFileFormGivesItsNameBufferTheChosenLastLevel) {
  std::string path = "Output/situations/old.sit";
  char name[8] = "new.sit";
  frame(600, 600);
  EXPECT_EQ(BTN_select_file_chr(kX, kY, 999, 9, name, &path, 8, "Situation", 300), 0);
  EXPECT_EQ(path, "Output/situations/old.sit");

  answer = "/data/flights/a-very-long-folder";
  frame(kX - 17, kY + 3, true);
  EXPECT_EQ(BTN_select_file_chr(kX, kY, 999, 9, name, &path, 8, "Situation", 300), 1);
  EXPECT_EQ(path, "/data/flights/a-very-long-folder");
  EXPECT_STREQ(name, "a-very-");  // cut to max_len - 1 characters

  answer = "/data/ab";
  frame(kX - 17, kY + 3, true);
  EXPECT_EQ(BTN_select_file_chr(kX, kY, 999, 9, name, &path, 8, "Situation", 300), 1);
  EXPECT_STREQ(name, "ab");
}

TEST_F(PathFieldTest, TheBufferFormRefusesAChosenPathLongerThanItsBuffer) {
  char buf[17] = "/short/path", big[601] = "/short";
  const struct { std::string answer; char* buf; int size, result; const char* after; } rows[] = {
      {"/a/folder/name/longer/than/sixteen", buf, 16, 0, "/short/path"},
      {"/fits/16/chars/x", buf, 16, 1, "/fits/16/chars/x"},
      {"/" + std::string(550, 'p'), big, 600, 0, "/short"}};  // past the shared copy's 499: never fatal
  for (const auto& r : rows) {
    answer = r.answer;
    frame(kX - 17, kY + 3, true);
    EXPECT_EQ(BTN_select_path_chr(kX, kY, 998, 0, r.buf, r.size, "Folder", 300, 0), r.result) << r.answer;
    EXPECT_STREQ(r.buf, r.after);
  }
}

TEST_F(PathFieldTest, BadArgumentsAreFatal) {
  std::string path;
  char name[8] = "";
  char buf[8] = "";
  EXPECT_EXIT(BTN_select_path_stl(kX, kY, 1, 0, &path, 10, "", 100, 0), testing::ExitedWithCode(1),
              "Bad open_save arg to BTN_select_file_stl!");
  EXPECT_EXIT(BTN_select_path_stl(kX, kY, 998, 22, &path, 10, "", 100, 0), testing::ExitedWithCode(1),
              "Bad file_type arg to BTN_select_file_stl!");
  EXPECT_EXIT(BTN_select_file_chr(kX, kY, 0, 0, name, &path, 8, "", 100), testing::ExitedWithCode(1),
              "Bad open_save arg to BTN_select_file_chr!");
  EXPECT_EXIT(BTN_select_path_chr(kX, kY, 999, -3, buf, 7, "", 100, 0), testing::ExitedWithCode(1),
              "Bad file_type arg to BTN_select_file_chr!");
}

}  // namespace
