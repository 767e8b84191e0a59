// The menu table: text widths, bar and submenu layout, rows, removal, range failures and the
// menu-file reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "alert_sink.h"
#include "shell_fixture.h"

namespace {

class MenusTest : public ShellTest {};

TEST_F(MenusTest, TextWidths) {
  EXPECT_EQ(menu_dx(""), 0);
  EXPECT_EQ(menu_dx("File"), 6 + 3 + 3 + 6);
  EXPECT_EQ(menu_dx("Mm Ww"), 10 + 10 + 3 + 11 + 9);
  EXPECT_EQ(menu_dx("\"{}~"), 0);
  EXPECT_EQ(menu_dx("0123456789"), 60);
  EXPECT_EQ(menu_dx("\xE9\xFB"), 6 + 3);
  mnw.language = 6;
  EXPECT_EQ(menu_dx("abcd"), 32);
  EXPECT_EQ(menu_dx_latin("abcd"), 6 + 7 + 5 + 7);
}

TEST_F(MenusTest, ClearModes) {
  ZARIRU_create_menu(3, 0, "Edit");
  ZARIRU_clear_menus(0);
  ZARIRU_clear_menus(2);
  EXPECT_EQ(menu[3].title, "Edit");
  EXPECT_EQ(menu.size(), 1520u);
  ZARIRU_clear_menus(1);
  EXPECT_EQ(menu[3].title, "");
  EXPECT_EQ(menu.size(), 1520u);
}

TEST_F(MenusTest, BarMenusSitLeftToRightAndPluginsTakesNoRoom) {
  ZARIRU_create_menu(0, 0, "File");
  ZARIRU_create_menu(1, 0, "Plugins");
  ZARIRU_create_menu(2, 0, "Edit");
  const int w0 = static_cast<int>(menu_dx("File") + 30);
  EXPECT_EQ(menu[0].x1, 0);
  EXPECT_EQ(menu[0].x2, w0);
  EXPECT_EQ(menu[0].y1, 768 - 18);
  EXPECT_EQ(menu[0].y2, 768);
  EXPECT_EQ(menu[0].link, -1);
  EXPECT_EQ(menu[1].x1, w0);
  EXPECT_EQ(menu[2].x1, w0);  // at the same x as "Plugins"
  // Creating menu 0 again restarts the bar.
  ZARIRU_create_menu(0, 0, "Edit");
  EXPECT_EQ(menu[0].x1, 0);
}

TEST_F(MenusTest, LongTitleIsCutNotRefused) {
  std::string t(41, 'x');
  ZARIRU_create_menu(4, 0, t);
  EXPECT_EQ(menu[4].title, std::string(40, 'x'));
}

TEST_F(MenusTest, RowsHangFromTheTitleAsWideAsTheWidest) {
  ZARIRU_create_menu(0, 0, "File");
  ZARIRU_append_menu(0, 3, 44, "Quit", 0);
  ASSERT_EQ(menu[0].items.size(), 4u);
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(menu[0].items[r].text, "");
    EXPECT_EQ(menu[0].items[r].x1, menu[0].items[3].x1);
    EXPECT_EQ(menu[0].items[r].x2, menu[0].items[3].x2);
  }
  ZARIRU_clear_items(0);
  ZARIRU_append_menu(0, 0, 1, "Open", 0);
  ZARIRU_append_menu(0, 1, 2, "-", 0);
  ZARIRU_append_menu(0, 2, 3, "Save Everything", 0);
  const auto& it = menu[0].items;
  EXPECT_EQ(it[0].y2, 768 - 18 - 2);
  EXPECT_EQ(it[0].y1, 768 - 18 - 2 - 12);
  EXPECT_EQ(it[1].y2, it[0].y1);
  EXPECT_EQ(it[1].y1, it[0].y1 - 2);  // a separator is 2 pixels high
  EXPECT_EQ(it[2].y2, it[1].y1);
  EXPECT_EQ(it[2].y1, it[1].y1 - 12);
  const int wide = static_cast<int>(menu_dx("Save Everything") + 30);
  for (const item_struct& row : it) {
    EXPECT_EQ(row.x1, 0);
    EXPECT_EQ(row.x2, wide);
    EXPECT_EQ(row.tall, 0);
  }
  EXPECT_EQ(it[2].command, 3);
}

TEST_F(MenusTest, SubmenuCopiesItsRowAndStartsLevelWithIt) {
  ZARIRU_create_menu(0, 0, "File");
  ZARIRU_append_menu(0, 0, 1, "Open", 0);
  ZARIRU_append_menu(0, 1, 2, "Recent", 0);
  ZARIRU_create_menu(5, 0 * 300 + 1, "Recent");
  EXPECT_EQ(menu[5].link, 0);
  EXPECT_EQ(menu[5].y1, menu[0].items[1].y1);
  EXPECT_EQ(menu[5].x2, menu[0].items[1].x2);
  ZARIRU_append_menu(5, 0, 9, "a.txt", 0);
  EXPECT_EQ(menu[5].items[0].y1, menu[5].y1 - 2);
  EXPECT_EQ(menu[5].items[0].y2, menu[5].y2 - 2);
  EXPECT_EQ(menu[5].items[0].x1, menu[5].x1);
}

TEST_F(MenusTest, KoreanRowsAreTallUnlessLatin) {
  mnw.language = 6;
  ZARIRU_create_menu(0, 0, "ab");
  ZARIRU_append_menu(0, 0, 1, "abcd", 0);
  ZARIRU_append_menu(0, 1, 2, "abcd", 1);
  EXPECT_EQ(menu[0].items[0].tall, 1);
  EXPECT_EQ(menu[0].items[0].y2 - menu[0].items[0].y1, 14);
  EXPECT_EQ(menu[0].items[1].tall, 0);
  EXPECT_EQ(menu[0].items[1].y2 - menu[0].items[1].y1, 12);
}

TEST_F(MenusTest, RemovingARowMovesTheRestUp) {
  ZARIRU_create_menu(0, 0, "File");
  ZARIRU_append_menu(0, 0, 1, "A", 0);
  ZARIRU_append_menu(0, 1, 2, "B", 0);
  ZARIRU_append_menu(0, 2, 3, "C", 0);
  const int16_t c_y1 = menu[0].items[2].y1;
  ZARIRU_remove_menu_item(0, 1);
  ASSERT_EQ(menu[0].items.size(), 2u);
  EXPECT_EQ(menu[0].items[1].text, "C");
  EXPECT_EQ(menu[0].items[1].y1, c_y1 + 12);
  // Rows or menus that do not exist are left alone.
  ZARIRU_remove_menu_item(0, 7);
  ZARIRU_remove_menu_item(-1, 0);
  ZARIRU_append_menu(0, -1, 0, "x", 0);
  EXPECT_EQ(menu[0].items.size(), 2u);
}

TEST_F(MenusTest, RowTextLimits) {
  ZARIRU_create_menu(0, 0, "File");
  ZARIRU_append_menu(0, 0, 1, std::string(39, 'a'), 0);
  EXPECT_EQ(menu[0].items[0].text.size(), 39u);
  EXPECT_EXIT(ZARIRU_append_menu(0, 1, 1, std::string(40, 'a'), 0), ::testing::ExitedWithCode(1),
              "Menu name too long in append_menu!");
  EXPECT_EXIT(ZARIRU_append_menu(1520, 0, 1, "a", 0), ::testing::ExitedWithCode(1),
              "Menu index out of range in append_menu!");
  EXPECT_EXIT(ZARIRU_append_menu(0, 300, 1, "a", 0), ::testing::ExitedWithCode(1),
              "Item index out of range in append_menu!");
  EXPECT_EXIT(ZARIRU_create_menu(1520, 0, "a"), ::testing::ExitedWithCode(1),
              "Menu index out of range in create_menu!");
  EXPECT_EXIT(ZARIRU_remove_menu_item(1520, 0), ::testing::ExitedWithCode(1),
              "Menu index out of range in append_menu!");
}

TEST_F(MenusTest, FolderNames) {
  EXPECT_EQ(ZARIRU_menu_folder(0), "menus/english/");
  EXPECT_EQ(ZARIRU_menu_folder(5), "menus/portugese/");
  EXPECT_EQ(ZARIRU_menu_folder(6), "menus/korean/");
  EXPECT_EQ(ZARIRU_menu_folder(9), "");
  EXPECT_EQ(ZARIRU_menu_folder(-1), "");
}

class MenuFileTest : public MenusTest {
 protected:
  void SetUp() override {
    MenusTest::SetUp();
    char tmpl[] = "/tmp/shell_menus_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = std::string(tmpl) + "/";
    ASSERT_EQ(std::system(("mkdir -p '" + dir_ + "menus/english'").c_str()), 0);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  void write(const std::string& rel, const std::string& text) {
    std::ofstream f(dir_ + rel, std::ios::binary);
    f << text;
  }
  std::string dir_;
};

TEST_F(MenuFileTest, ReadsMenusRowsAndSubmenus) {
  write("menus/english/main.txt",
        "I\n1 version\n\n"
        "0 File\n"
        "  11 Open\n"
        "12 Recent\n"
        "-\n"
        "0   Edit\n"
        "21\tCopy\n"
        "-\n"
        "1 Recent\n"
        "31 a.txt\n"
        "-\n");
  ZARIRU_read_menus(dir_, "main.txt");
  EXPECT_EQ(menu[0].title, "File");
  ASSERT_EQ(menu[0].items.size(), 2u);
  EXPECT_EQ(menu[0].items[0].text, "Open");
  EXPECT_EQ(menu[0].items[0].command, 11);
  EXPECT_EQ(menu[0].items[1].text, "Recent");
  EXPECT_EQ(menu[1].title, "Edit");
  EXPECT_EQ(menu[1].x1, menu[0].x2);
  ASSERT_EQ(menu[1].items.size(), 1u);
  EXPECT_EQ(menu[1].items[0].command, 21);
  EXPECT_EQ(menu[2].link, 0);
  EXPECT_EQ(menu[2].y1, menu[0].items[1].y1);
  EXPECT_EQ(menu[2].items[0].text, "a.txt");
}

TEST_F(MenuFileTest, TruncatedFileStopsAtTheEnd) {
  write("menus/english/short.txt", "I\n1 version\n0 File\n11 Open\n12");
  ZARIRU_read_menus(dir_, "short.txt");
  EXPECT_EQ(menu[0].title, "File");
  EXPECT_EQ(menu[0].items.size(), 1u);
}

TEST_F(MenuFileTest, BadHeaderIsFatal) {
  write("menus/english/bad.txt", "I\n2 version\n0 File\n-\n");
  EXPECT_EXIT(ZARIRU_read_menus(dir_, "bad.txt"), ::testing::ExitedWithCode(1), "Cannot open file!");
  EXPECT_EXIT(ZARIRU_read_menus(dir_, "missing.txt"), ::testing::ExitedWithCode(1),
              "Trash this copy and re-install Volarium.");
}

TEST_F(MenusTest, MousePositionIntoTheWindowRecord) {
  ZARIRU_startwind(2, 0);  // 600 x 380, centred
  ZARIRU_load_mxy(nullptr, 300, 100);
  EXPECT_FLOAT_EQ(mnw.mouse_x, 300 - 212);
  EXPECT_FLOAT_EQ(mnw.mouse_y, 768 - 100 - 194);
  EXPECT_EQ(mnw.wind_under_mouse, 2);
  EXPECT_EQ(accept_item(12), 1);
}

}  // namespace
