// The desktop chooser through fake "zenity" and "kdialog" programs first on PATH: a chosen
// folder comes back, cancel changes nothing, texts reach the chooser literally; the progress
// window and the boxes, with a display and without; and the byte-order flips.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "driver.h"
#include "file_bytes.h"
#include "foundation/globals.h"
#include "platform/progress_window.h"
#include "shell/nav.h"

namespace {

using test_support::read_bytes;

class ChooserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/shell_nav_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    const char* p = std::getenv("PATH");
    old_path_ = p ? p : "";
  }
  void TearDown() override {
    setenv("PATH", old_path_.c_str(), 1);
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  // A fake chooser that writes each argument on its own line into args.txt, prints `answer`
  // and exits with `code`.
  void fake(const std::string& name, const std::string& answer, int code) {
    std::string path = dir_ + "/" + name;
    std::ofstream f(path);
    f << "#!/bin/sh\n"
      << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << dir_ << "/args.txt'\n"
      << "printf '%s\\n' '" << answer << "'\n"
      << "exit " << code << "\n";
    f.close();
    chmod(path.c_str(), 0755);
  }
  void only_fakes_on_path() { setenv("PATH", (dir_ + ":/usr/bin:/bin").c_str(), 1); }
  std::vector<std::string> args() {
    std::vector<std::string> v;
    std::istringstream in(read_bytes(dir_ + "/args.txt"));
    std::string line;
    while (std::getline(in, line)) v.push_back(line);
    return v;
  }
  std::string dir_, old_path_;
};

TEST_F(ChooserTest, AChosenFolderComesBackWithoutItsFinalSlash) {
  fake("zenity", "/home/u/Games/Volarium 9/", 0);
  only_fakes_on_path();
  char out[1024] = "unchanged";
  ASSERT_EQ(GetFilePathFromUser(2, "Choose the destination", "Choose", 0, "/home/u", out), 1);
  EXPECT_STREQ(out, "/home/u/Games/Volarium 9");
  std::vector<std::string> a = args();
  ASSERT_GE(a.size(), 3u);
  EXPECT_EQ(a[0], "--file-selection");
  EXPECT_EQ(a[1], "--directory");
  EXPECT_NE(std::find(a.begin(), a.end(), "--title=Choose the destination"), a.end());
  EXPECT_NE(std::find(a.begin(), a.end(), "--filename=/home/u/"), a.end());
}

TEST_F(ChooserTest, CancelChangesNothing) {
  fake("zenity", "", 1);
  only_fakes_on_path();
  char out[64] = "unchanged";
  EXPECT_EQ(GetFilePathFromUser(2, "Choose", "Choose", 0, nullptr, out), 0);
  EXPECT_STREQ(out, "unchanged");
}

TEST_F(ChooserTest, StartFolderReachesTheChooserLiterally) {
  fake("zenity", "/x", 0);
  only_fakes_on_path();
  const std::string odd = dir_ + "/it's \"here\" $(touch " + dir_ + "/pwned) `id` ;";
  char out[256] = "";
  ASSERT_EQ(GetFilePathFromUser(2, "$(touch x)", "Go", 0, odd.c_str(), out), 1);
  std::vector<std::string> a = args();
  EXPECT_NE(std::find(a.begin(), a.end(), "--filename=" + odd + "/"), a.end());
  EXPECT_NE(std::find(a.begin(), a.end(), "--title=$(touch x)"), a.end());
  struct stat st;
  EXPECT_NE(stat((dir_ + "/pwned").c_str(), &st), 0);
}

TEST_F(ChooserTest, KdialogWhenThereIsNoZenity) {
  fake("kdialog", "/media/disc", 0);
  setenv("PATH", dir_.c_str(), 1);  // the fakes only: no zenity anywhere
  char out[64] = "";
  ASSERT_EQ(GetFilePathFromUser(2, "Pick", "Go", 0, "/media", out), 1);
  EXPECT_STREQ(out, "/media/disc");
  std::vector<std::string> a = args();
  ASSERT_GE(a.size(), 2u);
  EXPECT_EQ(a[0], "--getexistingdirectory");
  EXPECT_EQ(a[1], "/media/");
}

TEST_F(ChooserTest, NoChooserAtAll) {
  setenv("PATH", dir_.c_str(), 1);
  char out[64] = "unchanged";
  EXPECT_EQ(GetFilePathFromUser(2, "Pick", "Go", 0, "/media", out), 0);
  EXPECT_STREQ(out, "unchanged");
}

TEST_F(ChooserTest, APathLongerThanTheBufferIsRefused) {
  fake("zenity", "/a/very/long/path/that/does/not/fit", 0);
  only_fakes_on_path();
  char out[16] = "unchanged";
  EXPECT_EQ(GetFilePathFromUser(2, "Pick", "Go", 0, nullptr, out, sizeof out), 0);
  EXPECT_STREQ(out, "unchanged");
  char big[64] = "";
  EXPECT_EQ(GetFilePathFromUser(2, "Pick", "Go", 0, nullptr, big, sizeof big), 1);
}

TEST_F(ChooserTest, FileModesAndAnUnknownMode) {
  fake("zenity", "/tmp/a.txt", 0);
  only_fakes_on_path();
  char out[64] = "default.txt";
  ASSERT_EQ(GetFilePathFromUser(1, "Save", "Save", 0, "/tmp", out), 1);
  std::vector<std::string> a = args();
  EXPECT_NE(std::find(a.begin(), a.end(), "--save"), a.end());
  EXPECT_NE(std::find(a.begin(), a.end(), "--filename=/tmp/default.txt"), a.end());
  ASSERT_EQ(GetFilePathFromUser(0, "Open", "Open", 0, nullptr, out), 1);
  std::vector<std::string> b = args();
  EXPECT_EQ(std::find(b.begin(), b.end(), "--directory"), b.end());
  std::remove((dir_ + "/args.txt").c_str());
  char keep[16] = "keep";
  EXPECT_EQ(GetFilePathFromUser(3, "x", "y", 0, nullptr, keep), 0);
  EXPECT_STREQ(keep, "keep");
  struct stat st;
  EXPECT_NE(stat((dir_ + "/args.txt").c_str(), &st), 0);  // nothing was started
}

// Pixels on the bar's middle row, from its left end, of the colour found there.
int bar_fill(const e2e::shot& s) {
  auto at = [&](int x) { return &s.rgb[(220u * s.w + x) * 3]; };
  int x = 21;
  while (x < s.w && std::equal(at(x), at(x) + 3, at(21))) ++x;
  return x - 21;
}

TEST(ProgressWindow, OneWindowReusedForBothBarKinds) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
  const char* msg = "Installing the northern scenery from the second disc: the airports, the roads and the rivers";
  std::string ids;
  e2e::shot last;
  // Shows the message with progress p and waits until the window shows it.
  auto show = [&](float p, const std::function<bool(const e2e::shot&)>& shown) {
    ASSERT_EQ(ShowProgressMessage(msg, &p), 0);
    ids = e2e::run("xdotool search --pid " + std::to_string(getpid()), 10);
    ASSERT_EQ(std::count(ids.begin(), ids.end(), '\n'), 1) << ids;
    const std::string id = ids.substr(0, ids.size() - 1);
    EXPECT_TRUE(e2e::wait_for(20, [&] { return (last = e2e::grab_window(id)).w == 500 && shown(last); }));
  };
  show(0.25f, [](const e2e::shot& s) { return std::abs(bar_fill(s) - 115) <= 2; });
  const std::string first = ids;
  show(0.75f, [](const e2e::shot& s) { return std::abs(bar_fill(s) - 345) <= 2; });
  show(-1.0f, [](const e2e::shot& s) { return bar_fill(s) < 100; });
  const e2e::shot a = last;
  show(-1.0f, [&](const e2e::shot& s) { return s.diff(a, 20, 20, 460, 20) > 0; });
  EXPECT_EQ(ids, first);
  double text[3], blank[3];  // rows from the bottom: the message's two lines, and the empty middle
  a.mean(20, 207, 460, 28, text);
  a.mean(20, 45, 460, 100, blank);
  EXPECT_LT(text[0], blank[0] - 5);
}

TEST(NativeDialogs, WithoutADisplayNothingWaitsAndTextsAreCut) {
  // An earlier test of this process may have opened the window, and later ones need the display.
  ShowProgressMessage(nullptr, nullptr);
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  const std::string log = "/tmp/shell_nav_log_" + std::to_string(getpid()) + ".txt";
  xer.open(log, std::ios::out | std::ios::trunc);
  const std::string text(300, 'x'), cut(255, 'x');
  float half = 0.5f;
  testing::internal::CaptureStderr();
  EXPECT_NE(DoUserAlert(text.c_str()), 0);
  EXPECT_EQ(ConfirmMessage(text.c_str(), "Yes", "No"), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Volarium\n" + cut + "\nVolarium\n" + cut + "\n");
  EXPECT_EQ(ShowProgressMessage(text.c_str(), &half), PLAT_progress_no_display);
  xer.close();
  EXPECT_EQ(read_bytes(log), cut + " (50%)\n");
  std::remove(log.c_str());
  if (display) setenv("DISPLAY", saved.c_str(), 1);
}

TEST(NativeDialogs, StopBoxShownAndDismissedGivesZero) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
  // In a child, so that no pipe of the commands below leaks into the process the box forks.
  const pid_t pid = fork();
  if (pid == 0) _exit(DoUserAlert("The disc could not be read.") == 0 ? 0 : 1);
  int status = -1;
  // The box's title is a UTF-8 property, which xdotool's name search does not read.
  EXPECT_TRUE(e2e::wait_for(60, [&] {
    e2e::run("xdotool windowfocus --sync $(xwininfo -name Volarium | awk '/Window id/{print $4}') key Return", 5);
    return waitpid(pid, &status, WNOHANG) == pid;
  }));
  if (status == -1 && kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
  EXPECT_EQ(status, 0);
}

TEST(EndianFlip, ShortAndLong) {
  uint16_t s = 0x1234;
  EXPECT_EQ(EndianFlipShort(&s), 0x3412);
  EXPECT_EQ(s, 0x3412);
  uint32_t l = 0x12345678u;
  EXPECT_EQ(EndianFlipLong(&l), 0x78563412u);
  EXPECT_EQ(l, 0x78563412u);
}

}  // namespace

#include "../../src/shell/src/folder_chooser.h"
#include "shell_fixture.h"

namespace {

class InWindowChooserTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    char tmpl[] = "/tmp/shell_pick_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    ASSERT_EQ(std::system(("mkdir -p '" + root_ + "/alpha' '" + root_ + "/beta/inner' '" + root_ + "/.hidden' && touch '" +
                           root_ + "/file.txt'")
                              .c_str()),
              0);
    const char* p = std::getenv("PATH");
    old_path_ = p ? p : "";
    setenv("PATH", root_.c_str(), 1);  // no chooser program anywhere
    ogl_inited = 1;
  }
  void TearDown() override {
    ogl_inited = 0;
    setenv("PATH", old_path_.c_str(), 1);
    std::system(("rm -rf '" + root_ + "'").c_str());
  }
  // A click at (x, y) of the 561 x 474 chooser, centred at (232, 147) in the window.
  static PLAT_event click(float x, float y, int what) {
    PLAT_event e;
    e.what = what;
    e.h = static_cast<int>(232 + x);
    e.v = static_cast<int>(768 - (147 + y));
    return e;
  }
  void click_at(float x, float y) {
    ev.later.push_back({click(x, y, PLAT_ev_mouse_down), click(x, y, PLAT_ev_mouse_up)});
  }
  void idle() { ev.later.push_back({}); }
  static float row_y(int i) { return 474 - 80 - 20.0f * i; }
  std::string root_, old_path_;
};

TEST_F(InWindowChooserTest, ListsVisibleSubFoldersSorted) {
  EXPECT_EQ(ZARIRU_list_folders(root_), (std::vector<std::string>{"alpha", "beta"}));
  EXPECT_TRUE(ZARIRU_list_folders(root_ + "/missing").empty());
}

TEST_F(InWindowChooserTest, WalksIntoAFolderAndChoosesIt) {
  ZARIRU_startwind(2, 0);
  click_at(270, row_y(2));  // "..", "alpha", "beta"
  idle();
  click_at(270, row_y(1));  // "..", "inner"
  idle();
  click_at(360, 25);        // Choose
  char out[256] = "unchanged";
  ASSERT_EQ(GetFilePathFromUser(2, "Pick", "Go", 0, root_.c_str(), out, sizeof out), 1);
  EXPECT_EQ(std::string(out), root_ + "/beta/inner");
  EXPECT_EQ(mnw.wind_id, 2);  // the screen that asked is back
}

TEST_F(InWindowChooserTest, UpAndReturnChooses) {
  click_at(270, row_y(0));  // ".."
  idle();
  PLAT_event ret;
  ret.what = PLAT_ev_key_down;
  ret.message = (0x24 << 8) | 13;
  ev.later.push_back({ret});
  char out[256] = "";
  ASSERT_EQ(GetFilePathFromUser(2, "Pick", "Go", 0, (root_ + "/alpha").c_str(), out, sizeof out), 1);
  EXPECT_EQ(std::string(out), root_);
}

TEST_F(InWindowChooserTest, EscapeOrCancelChangesNothing) {
  PLAT_event esc;
  esc.what = PLAT_ev_key_down;
  esc.message = (0x35 << 8) | 27;
  ev.later.push_back({esc});
  char out[64] = "unchanged";
  EXPECT_EQ(GetFilePathFromUser(2, "Pick", "Go", 0, root_.c_str(), out, sizeof out), 0);
  EXPECT_STREQ(out, "unchanged");
  click_at(200, 25);  // Cancel
  EXPECT_EQ(GetFilePathFromUser(2, "Pick", "Go", 0, root_.c_str(), out, sizeof out), 0);
  EXPECT_STREQ(out, "unchanged");
  EXPECT_EQ(mnw.wind_id, 0);
  ev.later.push_back({PLAT_event{PLAT_ev_quit}});
  EXPECT_EQ(GetFilePathFromUser(2, "Pick", "Go", 0, root_.c_str(), out, sizeof out), 0);
  EXPECT_STREQ(out, "unchanged");
}

}  // namespace
