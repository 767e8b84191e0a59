// The file dialog and the path field in the widget test program under a real X server, driven
// with xdotool: a folder opened by double click, "ab" typed to select "abc", Return to open it,
// BackSpace to go up, Escape for 0, a typed name saved (and a name that would leave the folder
// refused), and the path field's folder icon with a fake desktop chooser first on PATH (a chosen
// folder, then a cancel). The program's report file holds each run's result and path, and while
// a dialog runs, colours of two list rows read from its back buffer. Skipped without a display.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gui_fixture.h"

namespace {

namespace fs = std::filesystem;

// Sub-window origin of the open dialog in the 1024 x 768 window (centred, y up).
constexpr int kOpenX = 232, kOpenY = 147;

class DialogGui : public DemoGui {
 protected:
  void SetUp() override {
    DemoGui::SetUp();
    if (IsSkipped()) return;
    tree_ = home_ + "/tree";
    fs::create_directories(tree_ + "/a-b");
    fs::create_directories(tree_ + "/x|y");
    fs::create_directories(tree_ + "/q\\r");
    for (const char* f : {"a-b/aaa", "a-b/abc", "a-b/abd.txt", "a-b/b1", "a-b/b2", "notes.txt", "flights.fdr"})
      std::ofstream(tree_ + "/" + f) << "x";
  }
  void start(const std::string& screen, std::vector<std::string> extra, const std::string& ready = "dialog=open") {
    std::vector<std::string> argv = {WIDGETS_DEMO_PATH, "--screen=" + screen, "--fps_test",
                                     "--demo_report=" + report_};
    argv.insert(argv.end(), extra.begin(), extra.end());
    ASSERT_EQ(PLAT_spawn(argv, &pid_), 0);
    ASSERT_TRUE(report_has(ready, 60)) << report();
  }
  // Clicks on the main screen (the "Open again" button) or in the open dialog.
  void on_main() { sub_x_ = sub_y_ = 0; }
  void in_dialog() {
    sub_x_ = kOpenX;
    sub_y_ = kOpenY;
  }
  // A double click at sub-window pixel (x, y): the pointer moves there, then two presses 80 ms
  // apart through the input devices.
  void double_click(int x, int y) {
    xdo({"mousemove", "--window", "%1", "--sync", std::to_string(sub_x_ + x), std::to_string(kWindowH - sub_y_ - y)});
    int code = 0;
    ASSERT_EQ(PLAT_run({"xdotool", "click", "--repeat", "2", "--delay", "80", "1"}, &code), 0);
    ASSERT_EQ(code, 0);
  }
  // Escape on the main screen ends the program. Sent through the input devices: sent to the
  // window, the key's release would go to a window that is already gone.
  void quit() {
    int code = 0;
    ASSERT_EQ(PLAT_run({"xdotool", "key", "Escape"}, &code), 0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(wait_exit(30), 0);
  }

  std::string tree_;
};

TEST_F(DialogGui, OpenByDoubleClickTypeAheadReturnBackSpaceAndEscape) {
  start("open", {"--demo_start=" + tree_ + "/x"});
  // The tree holds a-b, flights.fdr, notes.txt, q\r, x|y: notes.txt, the middle, is selected at
  // the list's centre (y 180) and a-b drawn two rows above it. Each of the dialog's frames
  // reports colours read from the back buffer before the swap: the selected row is highlighted,
  // the row above it is not.
  const std::vector<int> centre = report_numbers("centre_row"), above = report_numbers("row_above");
  ASSERT_EQ(centre.size(), 3u) << report();
  ASSERT_EQ(above.size(), 3u) << report();
  EXPECT_GT(std::abs(centre[0] - above[0]) + std::abs(centre[1] - above[1]) + std::abs(centre[2] - above[2]), 6)
      << report();

  // A press in the program's first quarter second would pair with its clock's start as a double
  // click: wait that out.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  in_dialog();
  double_click(60, 200);  // into a-b: aaa, abc, abd.txt, b1, b2
  type("ab");
  keys({"Return"});
  ASSERT_TRUE(report_has("path=" + tree_ + "/a-b/abc")) << report();
  EXPECT_TRUE(report_has("result=1")) << report();

  on_main();
  click(500, 384);  // "Open again": opens a-b, the folder of the last path
  ASSERT_TRUE(report_has("dialog=open")) << report();
  keys({"BackSpace"});  // up to the tree
  keys({"Return"});     // its middle item
  ASSERT_TRUE(report_has("runs=2")) << report();
  EXPECT_TRUE(report_has("path=" + tree_ + "/notes.txt")) << report();

  click(520, 386);  // elsewhere on it: a move to where the pointer already is never ends
  ASSERT_TRUE(report_has("dialog=open")) << report();
  keys({"Escape"});
  ASSERT_TRUE(report_has("runs=3")) << report();
  EXPECT_TRUE(report_has("result=0")) << report();
  EXPECT_TRUE(report_has("path=" + tree_ + "/notes.txt")) << report();

  quit();
}

TEST_F(DialogGui, TheSelectionStaysOnScreenANewFileShowsAndAPopUpClosesWithItsDialog) {
  // many: f00 .. f59 (f30 with a name wider than the list) and sub, which holds g00 .. g24.
  ASSERT_EQ(std::system(("cd '" + tree_ + "' && mkdir -p many/sub && cd many && touch $(seq -f f%02g 0 59) && mv f30 "
                         "'f30 a name far too long to fit in the list, and longer still than the scroll bar beside it' && "
                         "touch $(seq -f sub/g%02g 0 24)").c_str()), 0);
  start("open", {"--demo_start=" + tree_ + "/many/x"});
  in_dialog();
  // Letters a second apart start a new search; clicks a second apart (or after the first half second) are single.
  play({{"sh sleep 0.5", "past_list_ink=0"}, {"click 60 182", "centre_lit=1"}, {"type sub", "centre_lit=0"},
        {"key Return", "centre_lit=1"}, {"sh touch '" + tree_ + "/many/sub/new.txt'; sleep 1.1", ""},
        {"type new", "centre_lit=0"}, {"key Return", "path=" + tree_ + "/many/sub/new.txt"},
        {"click 280 237", "dialog=open"}, {"sh sleep 1.1", ""}, {"click 60 178", ""}, {"type g2", "centre_lit=0"},
        {"key BackSpace", "centre_lit=1"}, {"click 150 437", "list_open=1"}, {"key Escape", "runs=2"},
        {"click 280 237", "dialog=open"}, {"", "list_open=0"}, {"click 150 437", "list_open=1"},
        {"click 150 413", "list_open=0"}, {"key Return", "path=" + tree_ + "/notes.txt"}});  // 150 413: "tree"
  quit();
}

TEST_F(DialogGui, AFolderHoldingNamesTooLongForTheSystemIsListedWithoutThem) {
  std::string deep = tree_;
  for (int i = 0; i < 20; ++i) deep += "/" + std::string(200, 'd');
  fs::create_directories(deep);
  ASSERT_EQ(std::system(("cd '" + deep + "' && mkdir " + std::string(100, 'e') + " && touch ok").c_str()), 0);
  start("open", {"--demo_start=" + deep + "/x"});
  play({{"key Return", "path=" + deep + "/ok"}});
  EXPECT_NE(test_support::read_bytes(home_ + "/Log.txt").find("1 entries of " + deep + "/ are left out"), std::string::npos);
  quit();
}

TEST_F(DialogGui, SaveATypedNameAndRefuseOneThatLeavesTheFolder) {
  start("save", {"--demo_start=" + tree_ + "/x", "--demo_type=19"});
  type("todo");  // the name field holds the focus from the start
  keys({"Return"});
  ASSERT_TRUE(report_has("path=" + tree_ + "/todo.TXT")) << report();
  EXPECT_TRUE(report_has("result=1")) << report();

  click(512, 384);
  ASSERT_TRUE(report_has("dialog=open")) << report();
  type("../x");
  keys({"Return"});
  keys({"Escape"});
  ASSERT_TRUE(report_has("runs=2")) << report();
  EXPECT_TRUE(report_has("result=0")) << report();  // Return did nothing: Escape ended it
  EXPECT_TRUE(report_has("path=" + tree_ + "/todo.TXT")) << report();
  EXPECT_FALSE(fs::exists(home_ + "/x.TXT"));

  quit();
}

TEST_F(DialogGui, SaveRefusesAFolderAndAnOutsideLinkAndAsksBeforeReplacingAFile) {
  fs::create_directory_symlink("/tmp", tree_ + "/out");
  start("save", {"--demo_start=" + tree_ + "/x"});
  play({{"type a-b", ""}, {"key Return", "note=1"}, {"key BackSpace BackSpace BackSpace", "note=0"}, {"type out", ""},
        {"key Return", "note=1"}, {"key BackSpace BackSpace BackSpace", "note=0"}, {"type notes.txt", ""},
        {"key Return", ""}, {"answer Escape", ""}, {"key Return", ""}, {"answer Return", "path=" + tree_ + "/notes.txt"}});
  quit();
}

TEST_F(DialogGui, ThePathFieldsIconChoosesAFolderThroughTheDesktopChooser) {
  // A fake chooser first on PATH: it notes each call and answers from files the test writes.
  fs::create_directories(home_ + "/bin");
  const std::string fake = home_ + "/bin/zenity";
  std::ofstream(fake) << "#!/bin/sh\necho call >> '" << home_ << "/calls.txt'\ncat '" << home_
                      << "/answer.txt'\nexit \"$(cat '" << home_ << "/code.txt')\"\n";
  chmod(fake.c_str(), 0755);
  std::ofstream(home_ + "/answer.txt") << "/picked/New Folder\n";
  std::ofstream(home_ + "/code.txt") << "0\n";
  const char* p = std::getenv("PATH");
  const std::string old_path = p ? p : "/usr/bin:/bin";
  setenv("PATH", (home_ + "/bin:" + old_path).c_str(), 1);
  start("path", {"--demo_start=/old/place"}, "path=/old/place");
  setenv("PATH", old_path.c_str(), 1);

  click(283, 403);  // the folder icon left of the field at (300, 400)
  ASSERT_TRUE(report_has("chosen=1")) << report();
  EXPECT_TRUE(report_has("path=/picked/New Folder")) << report();

  std::ofstream(home_ + "/code.txt") << "1\n";  // the user cancels
  click(286, 400);  // elsewhere on the icon: a move to where the pointer already is never ends
  for (int i = 0; i < 200 && test_support::read_bytes(home_ + "/calls.txt") != "call\ncall\n"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(test_support::read_bytes(home_ + "/calls.txt"), "call\ncall\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(report_has("chosen=1")) << report();
  EXPECT_TRUE(report_has("path=/picked/New Folder")) << report();

  // The field shows "New Folder": erased and typed over, the typed text is the path.
  play({{"click 590 403", ""}, {"key BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace "
                                "BackSpace BackSpace", "path="}, {"type /games/v9/", "path=/games/v9/"}});
  quit();
}

}  // namespace
