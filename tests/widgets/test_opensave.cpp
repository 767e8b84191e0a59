// The file dialog over a generated tree: whole modal runs with scripted frames (double click into
// a folder, type-ahead, Return, Backspace, Escape, saving typed names, the folder pop-up), the
// previews of comment and aircraft files, names that are legal here but awkward ("a-b", "x|y",
// "q\r"), a listing that changes or vanishes under the dialog, deep folders, and bad arguments.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dialog_fixture.h"
#include "widgets/opensave.h"

namespace {

// A text file header of version 1, and a binary header of version 900 (little-endian).
const std::string kTextHeader = "I\n1 version\n";
std::string binary_header(uint32_t version) {
  std::string h = "i";
  for (int i = 0; i < 4; ++i) h += static_cast<char>((version >> (8 * i)) & 0xFF);
  return h;
}

class OpenSaveTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    mkdirs("a-b/nested");
    file("a-b/aaa", "1");
    file("a-b/abc", "2");
    file("a-b/abd.txt", "3");
    file("a-b/nested/deep.txt", "4");
    // 40 bytes in all: a header and 35 bytes, far short of the preview's texts.
    std::string craft = binary_header(900) + std::string(35, 'k');
    file("craft.acf", craft);
    file("flights.fdr", kTextHeader + "PLAN, x\n  comm,  A short hop over the bay\nCOMM, second\n");
    file("notes.txt", "notes");
    mkdirs("q\\r");
    file("q\\r/inner.acf", binary_header(900) + std::string(3000, 'z'));
    mkdirs("x|y");
    file("x|y/inside.txt", "i");
    file("x|y/later.txt", "l");
    ASSERT_EQ(symlink("a-b", (root_ + "/z-link").c_str()), 0);
  }

  // Texts drawn in the preview column this frame.
  static std::vector<text_rec> preview_texts() {
    std::vector<text_rec> out;
    for (const text_rec& t : drawn.texts)
      if (t.x == 341) out.push_back(t);
    return out;
  }
};

TEST_F(OpenSaveTest, OpenEntersAFolderByDoubleClickTypeAheadSelectsAndReturnOpens) {
  // Root: a-b, craft.acf, flights.fdr, notes.txt, q\r, x|y, z-link: the middle one is selected.
  double_click(100, row_y(0, 3));
  type_step("ab");
  key_step(13, 13);
  std::string path;
  ASSERT_EQ(BTN_opensave(998, 0, &path), 1);
  EXPECT_EQ(path, "a-b/abc");
  EXPECT_FALSE(overran);
  EXPECT_EQ(windows, (std::vector<int>{998, 0}));  // back to the sub-window it was called from
}

TEST_F(OpenSaveTest, BackspaceGoesUpALevelAtATimeAndStopsAtTheRoot) {
  for (int i = 0; i < 3; ++i) key_step(8, 8);
  key_step(13, 13);
  std::string path = "a-b/nested/deep.txt";
  ASSERT_EQ(BTN_opensave(998, 0, &path), 1);
  EXPECT_EQ(path, "notes.txt");  // the middle item of the root
  EXPECT_EQ(frames_run, 4);
}

TEST_F(OpenSaveTest, EscapeAndTheCancelButtonGiveZeroAndLeaveThePath) {
  key_step(27, 27);
  std::string path = "a-b/abc";
  EXPECT_EQ(BTN_opensave(998, 0, &path), 0);
  EXPECT_EQ(path, "a-b/abc");

  steps.push_back({33, 18, true, {}, nullptr});
  EXPECT_EQ(BTN_opensave(998, 0, &path), 0);
  EXPECT_EQ(path, "a-b/abc");
  EXPECT_FALSE(overran);

  // Closed by someone else: the loop ends with 0 too.
  steps.push_back({600, 600, false, {}, [] { mnw.wind_id = 0; }});
  EXPECT_EQ(BTN_opensave(998, 0, &path), 0);
}

TEST_F(OpenSaveTest, ReturnOnAFolderEntersItAndALinkToAFolderIsAFile) {
  // Starting with a folder path opens the folder that holds it: the root for "a-b/".
  std::string path = "a-b/";
  steps.push_back({100, row_y(0, 3), true, {}, nullptr});  // a-b
  steps.push_back({100, row_y(0, 3), false, {}, nullptr});
  key_step(13, 13);  // enters a-b: aaa, abc, abd.txt, nested; the middle is abd.txt
  key_step(13, 13);
  ASSERT_EQ(BTN_opensave(998, 0, &path), 1);
  EXPECT_EQ(path, "a-b/abd.txt");

  // z-link, the last root item, is opened as a file, not entered.
  path = "notes.txt";
  steps.push_back({100, row_y(6, 3), true, {}, nullptr});
  key_step(13, 13);
  ASSERT_EQ(BTN_opensave(998, 0, &path), 1);
  EXPECT_EQ(path, "z-link");
}

TEST_F(OpenSaveTest, SaveAppendsTheTypesExtensionAndRefusesNamesThatLeaveTheFolder) {
  struct {
    int type;
    std::string start, typed, saved;
  } cases[] = {
      {9, "", "abcdef.xyz", "Output/situations/abcdef.SIT"},  // a typed extension is replaced
      {9, "", "ab.c", "Output/situations/ab.c.SIT"},          // only a '.' fourth from the end
      {0, "", "memo.txt", "memo.txt"},                        // no extension: kept as typed
      {19, "a-b/x", "todo", "a-b/todo.TXT"},
      {8, "x|y/inside.txt", "plan.fdr", "x|y/plan.fdr"},
  };
  for (const auto& c : cases) {
    steps.clear();
    type_step(c.typed);
    key_step(13, 13);
    std::string path = c.start;
    ASSERT_EQ(BTN_opensave(999, c.type, &path), 1) << c.typed;
    EXPECT_EQ(path, c.saved);
    EXPECT_FALSE(overran);
  }

  // Names that would leave the folder, like an empty name, do nothing; Escape then cancels.
  for (const char* bad : {"../evil", ".", "..", "a/b", ""}) {
    steps.clear();
    type_step(bad);
    key_step(13, 13);
    steps.push_back({283, 18, true, {}, nullptr});  // Save
    key_step(27, 27);
    std::string path = "a-b/x";
    EXPECT_EQ(BTN_opensave(999, 0, &path), 0) << bad;
    EXPECT_EQ(path, "a-b/x");
  }
}

TEST_F(OpenSaveTest, InTheSaveDialogLettersNameTheFileUntilTheListIsClicked) {
  // Backspace edits the name while the field holds the focus; after a click on the list it
  // goes up a folder and letters search the list.
  type_step("abx");
  key_step(8, 8);
  steps.push_back({100, row_y(1, 2), true, {}, nullptr});  // a-b holds 4 items: selects abc
  steps.push_back({100, row_y(1, 2), false, {}, nullptr});
  key_step(8, 8);  // up to the root
  type_step("x");  // selects x|y
  steps.push_back({283, 18, true, {}, nullptr});
  std::string path = "a-b/x";
  ASSERT_EQ(BTN_opensave(999, 0, &path), 1);
  EXPECT_EQ(path, "ab");  // the name typed, saved in the root it went up to
}

TEST_F(OpenSaveTest, TheFolderPopUpShowsAwkwardNamesAsBlanksAndPicksTheRealFolder) {
  std::string path = "x|y/inside.txt";
  std::string popup_items;
  std::vector<std::string> stair;
  steps.push_back({600, 600, false, {}, [&] {}});
  steps.push_back({600, 600, false, {}, [&] {
                     for (const text_rec& t : drawn.texts)
                       if (t.colour == 47 && t.x == 30) stair.push_back(t.text);
                     select_popup_code = static_cast<int>(434 * 1024 + 150);
                     popup_menu_select = 0;
                   }});
  key_step(13, 13);  // the root's middle item
  ASSERT_EQ(BTN_opensave(998, 0, &path), 1);
  EXPECT_EQ(path, "notes.txt");
  EXPECT_EQ(stair, (std::vector<std::string>{"x y"}));

  EXPECT_EQ(BTN_folder_popup_items("a-b/x|y/"), "Volsuite folder-a b-x y");
  EXPECT_EQ(BTN_folder_popup_items(""), "Volsuite folder");
  EXPECT_EQ(BTN_folder_prefixes("a-b/x|y/"), (std::vector<std::string>{"", "a-b/", "a-b/x|y/"}));
  EXPECT_EQ(BTN_folder_shown("caf\xC3\xA9-\xE2\x82\xAC|"), "caf\xE9 ? ");
}

TEST_F(OpenSaveTest, AFolderDeeperThanThePopUpHoldsStillOpens) {
  std::string deep;
  for (int i = 0; i < 320; ++i) deep += "d/";
  EXPECT_EQ(BTN_folder_prefixes(deep).size(), 300u);
  const std::string items = BTN_folder_popup_items(deep);
  EXPECT_EQ(std::count(items.begin(), items.end(), '-'), 299);
  key_step(27, 27);
  std::string path = deep + "x";
  EXPECT_EQ(BTN_opensave(998, 0, &path), 0);  // the pop-up list would refuse a 301st row
}

TEST_F(OpenSaveTest, TheListingIsThisFramesAFileRemovedUnderTheDialogIsNotOpened) {
  // x|y holds inside.txt and later.txt; later.txt is selected, then removed.
  steps.push_back({600, 600, false, {}, [&] { ASSERT_EQ(unlink((root_ + "/x|y/later.txt").c_str()), 0); }});
  key_step(13, 13);
  std::string path = "x|y/later.txt";
  ASSERT_EQ(BTN_opensave(998, 0, &path), 1);
  EXPECT_EQ(path, "x|y/inside.txt");
}

TEST_F(OpenSaveTest, AFolderThatCannotBeListedShowsNothingAndOpenDoesNothing) {
  key_step(13, 13);
  steps.push_back({280, 18, true, {}, nullptr});  // Open
  key_step(27, 27);
  std::string path = "missing/x";
  EXPECT_EQ(BTN_opensave(998, 0, &path), 0);
  EXPECT_FALSE(overran);

  // A folder removed while it is shown empties the list the same way.
  steps.clear();
  steps.push_back({600, 600, false, {}, [&] { ASSERT_EQ(std::system(("rm -rf '" + root_ + "/a-b'").c_str()), 0); }});
  key_step(13, 13);
  key_step(27, 27);
  path = "a-b/aaa";
  EXPECT_EQ(BTN_opensave(998, 0, &path), 0);

  if (geteuid() != 0) {  // root reads any folder
    mkdirs("locked");
    file("locked/secret.txt", "s");
    ASSERT_EQ(chmod((root_ + "/locked").c_str(), 0), 0);
    steps.clear();
    key_step(13, 13);
    key_step(27, 27);
    path = "locked/x";
    EXPECT_EQ(BTN_opensave(998, 0, &path), 0);
  }
}

TEST_F(OpenSaveTest, ACommentFileIsPreviewedFromItsFirstCommentLine) {
  // Type 8 lists a-b, flights.fdr, q\r, x|y; flights.fdr is above the middle.
  std::vector<text_rec> seen;
  steps.push_back({100, row_y(1, 2), true, {}, nullptr});
  steps.push_back({100, row_y(1, 2), false, {}, nullptr});  // the preview follows a frame later
  steps.push_back({600, 600, false, {}, [&] { seen = preview_texts(); }});
  key_step(27, 27);
  std::string path = "x";
  EXPECT_EQ(BTN_opensave(998, 8, &path), 0);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "A short hop over the bay");
  EXPECT_EQ(seen[0].y, 270);
  EXPECT_EQ(seen[0].wrap, 200);

  struct {
    std::string bytes, comment;
  } cases[] = {
      {kTextHeader + "COMM,plain\n", "plain"},
      {kTextHeader + "\tComm,\t tabbed  \r\nCOMM, later\n", "tabbed  "},
      {kTextHeader + "NOTE\nCOMM, after a line without comma\n", "after a line without comma"},
      {kTextHeader + "COMM", ""},                      // no comma: no comment
      {kTextHeader + "COMM,", ""},                     // ends right after the comma
      {"I\n2 version\nCOMM, wrong version\n", ""},
      {"X\n1 version\nCOMM, not a text header\n", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    file("t.fdr", c.bytes);
    EXPECT_EQ(BTN_read_fdr_comment("t.fdr"), c.comment) << c.bytes;
  }
  EXPECT_EQ(BTN_read_fdr_comment("nothing-here.fdr"), "");
}

TEST_F(OpenSaveTest, AircraftFilesAreReadAsFarAsTheyGoAndTheirTextsAreBounded) {
  unsigned char top[BTN_aircraft_top];
  // The 40-byte file: its 35 bytes, then zeros.
  ASSERT_EQ(BTN_read_aircraft_top("craft.acf", top), 1);
  for (size_t i = 0; i < BTN_aircraft_top; ++i) ASSERT_EQ(top[i], i < 35 ? 'k' : 0) << i;
  EXPECT_EQ(BTN_aircraft_texts(top), (std::vector<std::string>{"", "", "", ""}));

  // Full-size: each text stops at its NUL or at the end of its own field.
  std::string body(3000, '\0');
  std::memcpy(&body[1012], "Maker", 5);
  body.replace(1052, 500, std::string(500, 'n'));  // unterminated: 500 bytes, not into 1552
  std::memcpy(&body[1552], "Description", 11);
  body.replace(2052, 40, std::string(40, 't'));  // unterminated up to the end of the top
  file("big.acf", binary_header(900) + body);
  ASSERT_EQ(BTN_read_aircraft_top("big.acf", top), 1);
  EXPECT_EQ(BTN_aircraft_texts(top),
            (std::vector<std::string>{"Description", std::string(500, 'n'), std::string(40, 't'), "Maker"}));

  // A big-endian header swaps each whole word.
  std::string be = "a";
  be += std::string("\x00\x00\x03\x84", 4);  // 900
  be += "ABCDEF";
  file("be.acf", be);
  ASSERT_EQ(BTN_read_aircraft_top("be.acf", top), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(top), 6), "DCBAEF");

  // Refused headers and versions leave everything zero.
  for (const std::string& bytes : {binary_header(800) + "xxxx", std::string("notanaircraft"), std::string()}) {
    file("bad.acf", bytes);
    std::memset(top, 1, sizeof top);
    EXPECT_EQ(BTN_read_aircraft_top("bad.acf", top), 0);
    for (unsigned char b : top) ASSERT_EQ(b, 0);
  }
}

TEST_F(OpenSaveTest, TheAircraftPreviewDrawsFourTextsDownTheColumn) {
  std::string body(2100, '\0');
  std::memcpy(&body[1012], "Maker", 5);
  std::memcpy(&body[1052], "Studio", 6);
  std::memcpy(&body[1552], "Long description", 16);
  std::memcpy(&body[2052], "Tail", 4);
  file("a-b/one.acf", binary_header(810) + body);
  std::vector<text_rec> seen;
  // Type 3 in a-b lists nested and one.acf: one.acf is the middle (index 1).
  steps.push_back({600, 600, false, {}, [&] { seen = preview_texts(); }});
  key_step(27, 27);
  std::string path = "a-b/x";
  EXPECT_EQ(BTN_opensave(998, 3, &path), 0);
  ASSERT_EQ(seen.size(), 4u);
  const char* texts[] = {"Long description", "Studio", "Tail", "Maker"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(seen[static_cast<size_t>(i)].text, texts[i]);
    EXPECT_EQ(seen[static_cast<size_t>(i)].y, 405 - 10 * i);
  }
}

TEST_F(OpenSaveTest, ANameHoldingABackslashGetsNoPreviewAndALogLine) {
  // q\r holds inner.acf: its path holds a backslash, which the data-file reader refuses.
  double_click(100, row_y(2, 2));  // type 3 at the root: a-b, craft.acf, q\r, x|y
  std::vector<text_rec> seen;
  steps.push_back({600, 600, false, {}, [&] { seen = preview_texts(); }});
  key_step(13, 13);
  std::string path = "x";
  ASSERT_EQ(BTN_opensave(998, 3, &path), 1);
  EXPECT_EQ(path, "q\\r/inner.acf");
  EXPECT_EQ(seen.size(), 4u);
  for (const text_rec& t : seen) EXPECT_EQ(t.text, "");
  unsigned char top[BTN_aircraft_top];
  EXPECT_EQ(BTN_read_aircraft_top("q\\r/inner.acf", top), 0);
  EXPECT_EQ(BTN_read_fdr_comment("q\\r/x.fdr"), "");
}

TEST_F(OpenSaveTest, StartFoldersAndTypeTables) {
  struct {
    std::string path;
    int type;
    std::string folder;
  } cases[] = {
      {"", 9, "Output/situations/"},        {"", 15, "Starfray Reosources/spaceships/"},
      {"", 16, "Starfray Resources/regions/"}, {"", 20, "sim/"},
      {"", 0, ""},                          {"plain", 9, ""},
      {"a/b/c.txt", 0, "a/b/"},             {"a/b/", 0, "a/"},
      {"a/", 0, ""},                        {"/abs/x", 0, "/abs/"},
  };
  for (const auto& c : cases) EXPECT_EQ(BTN_dialog_start_folder(c.path, c.type), c.folder) << c.path;
  // A typed Latin-1 name is saved as UTF-8.
  EXPECT_EQ(BTN_save_path("a-b/", "caf\xE9", 0), "a-b/caf\xC3\xA9");
}

TEST_F(OpenSaveTest, BadArgumentsAreFatal) {
  std::string path;
  EXPECT_EXIT(BTN_opensave(997, 0, &path), testing::ExitedWithCode(1), "Bad open_save arg to BTN_opensave!");
  EXPECT_EXIT(BTN_opensave(998, 22, &path), testing::ExitedWithCode(1), "Bad file_type arg to BTN_opensave!");
  EXPECT_EXIT(BTN_opensave(999, -1, &path), testing::ExitedWithCode(1), "Bad file_type arg to BTN_opensave!");
}

}  // namespace
