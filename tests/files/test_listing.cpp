// Folder listing: modes, file types, hidden items, links and the sort order.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "files/io_utils.h"
#include "foundation/cmnd.h"
#include "files_test_util.h"

namespace {

class Listing : public ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    mkdirs(path("f/Sub"));
    mkdirs(path("f/a"));
    mkdirs(path("f/.hidden_dir"));
    for (const char* n : {"b.png", "C.bmp", "a.png", "x.TxT", "notes", ".hidden.png", "plane.acf",
                          "Z.WAV", "panel-2.png", "panel.png"})
      write(path(std::string("f/") + n), "");
  }
  std::vector<std::string> names_;
  std::vector<int> types_;
};

TEST_F(Listing, ModeZeroKeepsEverythingSortedIgnoringCase) {
  int n = opensave_getitems(path("f/"), 0, names_, types_);
  const std::vector<std::string> want = {"a",        "a.png",     "b.png", "C.bmp",
                                         "notes",    "panel-2.png", "panel.png",
                                         "plane.acf", "Sub",       "x.TxT", "Z.WAV"};
  EXPECT_EQ(n, static_cast<int>(want.size()));
  EXPECT_EQ(names_, want);
  const std::vector<int> types = {1, 2, 2, 2, 0, 2, 2, 3, 1, 19, 6};
  EXPECT_EQ(types_, types);
}

TEST_F(Listing, TypeModeKeepsFoldersAndThatType) {
  EXPECT_EQ(opensave_getitems(path("f/"), 2, names_, types_), 7);
  const std::vector<std::string> want = {"a",           "a.png",     "b.png", "C.bmp",
                                         "panel-2.png", "panel.png", "Sub"};
  EXPECT_EQ(names_, want);
  EXPECT_EQ(opensave_getitems(path("f/"), 1, names_, types_), 2);
  EXPECT_EQ(names_, (std::vector<std::string>{"a", "Sub"}));
  EXPECT_EQ(opensave_getitems(path("f/"), 19, names_, types_), 3);
  EXPECT_EQ(names_, (std::vector<std::string>{"a", "Sub", "x.TxT"}));
  EXPECT_EQ(types_, (std::vector<int>{1, 1, 19}));
}

TEST_F(Listing, ImageModeHidesNumberedPanelsAndThePanelsFolder) {
  // Folders stay, images stay, "-2." names go.
  EXPECT_EQ(opensave_getitems(path("f/"), 12, names_, types_), 6);
  const std::vector<std::string> want = {"a", "a.png", "b.png", "C.bmp", "panel.png", "Sub"};
  EXPECT_EQ(names_, want);
  EXPECT_EQ(types_, (std::vector<int>{1, 2, 2, 2, 2, 1}));

  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(root_.c_str()), 0);
  mkdirs("Resources/bitmaps/cockpit/-panels-/inner");
  write("Resources/bitmaps/cockpit/-panels-/p.png", "");
  write("Resources/bitmaps/cockpit/other.png", "");
  EXPECT_EQ(opensave_getitems("Resources/bitmaps/cockpit/-panels-/", 12, names_, types_), 0);
  EXPECT_TRUE(names_.empty());
  EXPECT_EQ(opensave_getitems("Resources/bitmaps/cockpit/-panels-/", 0, names_, types_), 2);
  EXPECT_EQ(opensave_getitems("Resources/bitmaps/cockpit/", 12, names_, types_), 1);
  EXPECT_EQ(names_, (std::vector<std::string>{"other.png"}));
  ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(Listing, HiddenItemsNeverAppear) {
  for (int mode : {0, 1, 2, 12, 19}) {
    opensave_getitems(path("f/"), mode, names_, types_);
    for (const std::string& n : names_) EXPECT_NE(n[0], '.') << n;
  }
}

TEST_F(Listing, LinkToAFolderHasTypeZero) {
  ASSERT_EQ(symlink(path("f/Sub").c_str(), path("f/linkdir").c_str()), 0);
  ASSERT_EQ(symlink("b.png", path("f/linkimg.png").c_str()), 0);
  opensave_getitems(path("f/"), 0, names_, types_);
  auto at = std::find(names_.begin(), names_.end(), "linkdir");
  ASSERT_NE(at, names_.end());
  EXPECT_EQ(types_[at - names_.begin()], 0);
  at = std::find(names_.begin(), names_.end(), "linkimg.png");
  ASSERT_NE(at, names_.end());
  EXPECT_EQ(types_[at - names_.begin()], 2);
  // Mode 1 (folders) no longer shows the link.
  opensave_getitems(path("f/"), 1, names_, types_);
  EXPECT_EQ(std::count(names_.begin(), names_.end(), "linkdir"), 0);
}

TEST_F(Listing, NothingModeMissingFolderAndRoot) {
  names_ = {"stale"};
  types_ = {9};
  EXPECT_EQ(opensave_getitems(path("f/"), 20, names_, types_), 0);
  EXPECT_TRUE(names_.empty());
  EXPECT_TRUE(types_.empty());
  EXPECT_EQ(opensave_getitems(path("nothing/"), 0, names_, types_), 0);
  EXPECT_TRUE(names_.empty());
  app_path = path("f/");
  EXPECT_EQ(opensave_getitems("", 1, names_, types_), 2);
}

TEST_F(Listing, CommandTreeModeListsTheRegistry) {
  EXPECT_EQ(opensave_getitems("test_listing_cmds/", 21, names_, types_), 0);
  const size_t before = cmnd.name.size();
  cmnd.add_cmd("test_listing_cmds/zeta", "");
  cmnd.add_cmd("test_listing_cmds/Beta/one", "");
  cmnd.add_cmd("test_listing_cmds/Beta/two", "");
  cmnd.add_cmd("test_listing_cmds/.alpha", "");
  EXPECT_EQ(opensave_getitems("test_listing_cmds/", 21, names_, types_), 3);
  // The registry's own order; hidden-looking names stay; a sub-folder loses its "/".
  EXPECT_EQ(names_, (std::vector<std::string>{".alpha", "Beta", "zeta"}));
  EXPECT_EQ(types_, (std::vector<int>{21, 1, 21}));
  EXPECT_EQ(opensave_getitems("test_listing_cmds/Beta/", 21, names_, types_), 2);
  EXPECT_EQ(names_, (std::vector<std::string>{"one", "two"}));
  for (auto* v : {&cmnd.ident, &cmnd.name, &cmnd.description}) v->resize(before);
  cmnd.kind.resize(before);
  cmnd.press_count.resize(before);
}

TEST(ListingTakeit, TypesByExtension) {
  int type = 0;
  EXPECT_EQ(opensave_takeit("", "x.TxT", 0, type), 1);
  EXPECT_EQ(type, 19);
  type = 0;
  EXPECT_EQ(opensave_takeit("", "world.dsf", 17, type), 1);
  EXPECT_EQ(type, 17);
  type = 0;
  EXPECT_EQ(opensave_takeit("", "world.dsf", 18, type), 0);
  type = 5;  // no known extension: the caller's value stands
  EXPECT_EQ(opensave_takeit("", "abc", 5, type), 1);
  EXPECT_EQ(type, 5);
  type = 1;  // a folder named like a file type takes that type
  EXPECT_EQ(opensave_takeit("", "Old.ACF", 7, type), 0);
  EXPECT_EQ(type, 3);
  type = 0;
  EXPECT_EQ(opensave_takeit("", "", 0, type), 0);
  EXPECT_EQ(opensave_takeit("", ".x", 0, type), 0);
  type = 0;
  EXPECT_EQ(opensave_takeit("", "PANEL-4.PNG", 12, type), 0);
  type = 0;
  EXPECT_EQ(opensave_takeit("", "a.b", 12, type), 0);
}

using ListingDeathTest = Listing;

TEST_F(ListingDeathTest, FolderWithoutFinalSlashIsFatal) {
  EXPECT_EXIT(opensave_getitems(path("f"), 0, names_, types_), ::testing::ExitedWithCode(1),
              "I need to end all paths with the directory indicator!");
}

}  // namespace
