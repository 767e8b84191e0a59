// The four-line alert: logging under "--fps_test", the system box before OpenGL, the nested
// frames of sub-window 995 dismissed by Return, and the ways it ends the process.
#include <gtest/gtest.h>

#include <unistd.h>


#include "file_bytes.h"
#include "foundation/alert.h"
#include "foundation/cmdline.h"
#include "foundation/diag.h"
#include "platform/msgbox.h"
#include "shell/hl_alert.h"
#include "shell/hl_init.h"
#include "shell_fixture.h"

namespace {

std::vector<std::string> g_boxes;
int record_box(const std::string&, const std::string& text) {
  g_boxes.push_back(text);
  return 1;
}
// A box whose showing raises a second alert, as a failure inside the first one would.
int nesting_box(const std::string&, const std::string&) {
  static int depth = 0;
  if (depth++ == 0) ZARIRU_shell_alert(0, "second", "", "", "", t_alert, "test", 2);
  return 1;
}

using test_support::read_bytes;

PLAT_event return_key() {
  PLAT_event e;
  e.what = PLAT_ev_key_down;
  e.message = (0x24 << 8) | 13;
  return e;
}

class AlertTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    g_boxes.clear();
    old_box_ = PLAT_set_message_box(record_box);
    char tmpl[] = "/tmp/shell_alert_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    log_ = dir_ + "/Log.txt";
    // Reports the alert writes (stack, memory) land beside the log, never in the current folder.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    old_cwd_ = cwd;
    ASSERT_EQ(chdir("/"), 0);
    UTL_set_report_place(dir_ + "/", "");
    xer.open(log_, std::ios::out | std::ios::trunc);
    cmdline.options.erase("--fps_test");
    ogl_inited = 0;
    stls[603] = "OK";
  }
  void TearDown() override {
    xer.close();
    ogl_inited = 0;
    cmdline.options.erase("--fps_test");
    PLAT_set_message_box(old_box_);
    if (chdir(old_cwd_.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << old_cwd_;
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  std::string dir_, log_, old_cwd_;
  PLAT_message_box_fn old_box_ = nullptr;
};

TEST_F(AlertTest, LocationText) {
  EXPECT_EQ(ZARIRU_alert_location("DUdurid/GenC/hl_init", 1521), "(DUdurid/GenC/hl_init line 1521)");
}

TEST_F(AlertTest, FpsTestOnlyLogs) {
  cmdline.options["--fps_test"] = "";
  ZARIRU_shell_alert(0, "one", "two", "three", "four", t_alert, "src/x", 12);
  xer.flush();
  EXPECT_EQ(read_bytes(log_), "one\ntwo\nthree\nfour\n(src/x line 12)\n");
  EXPECT_TRUE(g_boxes.empty());
  EXPECT_EQ(ZARIRU_in_alert(), 0);
}

TEST_F(AlertTest, FpsTestFatalLogsDumpsTheStackAndExits) {
  cmdline.options["--fps_test"] = "";
  EXPECT_EXIT(
      {
        ZARIRU_shell_alert(0, "fatal one", "b", "c", "d", t_exit, "src/y", 7);
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_NE(read_bytes(log_).find("fatal one\nb\nc\nd\n(src/y line 7)\n"), std::string::npos);
  EXPECT_NE(read_bytes(dir_ + "/stack_crawl.txt").find("Fatal alert from src/y"), std::string::npos);
}

TEST_F(AlertTest, BeforeOpenGlTheSystemBoxShowsTheLinesJoined) {
  ZARIRU_shell_alert(0, "l1", "l2", "l3", "l4", t_alert, "src/z", 3);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0], "l1 l2\n\nl3 l4");
  EXPECT_NE(read_bytes(log_).find("\nl1\nl2\nl3\nl4\n(src/z line 3)\n"), std::string::npos);
  EXPECT_EQ(ZARIRU_in_alert(), 0);
  // A dismissed alert leaves a memory report.
  EXPECT_NE(read_bytes(dir_ + "/MemoryLog.txt").find("dump_mem_stats call"), std::string::npos);
}

TEST_F(AlertTest, ALongLineIsShownNotRefused) {
  std::string long_line(600, 'w');
  ZARIRU_shell_alert(0, long_line, "", "", "", t_alert, "src/z", 4);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_NE(g_boxes[0].find(long_line), std::string::npos);
  EXPECT_EQ(read_bytes(log_).find("String too long!"), std::string::npos);
}

TEST_F(AlertTest, AnAlertInsideAnAlertEndsTheProgram) {
  PLAT_set_message_box(nesting_box);
  EXPECT_EXIT(ZARIRU_shell_alert(0, "first", "", "", "", t_alert, "test", 1), ::testing::ExitedWithCode(1), "");
  EXPECT_NE(read_bytes(log_).find("second"), std::string::npos);
}

TEST_F(AlertTest, ReturnDismissesTheOpenGlAlertAndTheSubWindowComesBack) {
  ogl_inited = 1;
  ZARIRU_startwind(2, 0);
  mnw.mouse_x = 12;
  mnw.mouse_y = 34;
  ev.later = {{return_key()}};
  const int frames = ZARIRU_frame_count;
  ZARIRU_shell_alert(0, "Disk full", "", "", "", t_alert, "src/a", 9);
  EXPECT_EQ(ZARIRU_frame_count - frames, 1);
  EXPECT_EQ(mnw.wind_id, 2);
  EXPECT_FLOAT_EQ(mnw.mouse_x, 12);
  EXPECT_FLOAT_EQ(mnw.mouse_y, 34);
  EXPECT_EQ(return_hit, 0);
  EXPECT_EQ(ZARIRU_in_alert(), 0);
  // Its frames waited 10 ticks each.
  ASSERT_FALSE(ev.waits.empty());
  EXPECT_EQ(ev.waits.back(), 167);
  EXPECT_TRUE(g_boxes.empty());
  EXPECT_NE(read_bytes(log_).find("Disk full"), std::string::npos);
}

TEST_F(AlertTest, AReturnFromBeforeTheAlertDoesNotDismissIt) {
  ogl_inited = 1;
  return_hit = 1;
  ev.later = {{}, {}, {return_key()}};
  const int frames = ZARIRU_frame_count;
  ZARIRU_shell_alert(0, "Shown", "", "", "", t_alert, "src/a", 10);
  EXPECT_EQ(ZARIRU_frame_count - frames, 3);
  EXPECT_EQ(mnw.wind_id, 0);
}

TEST_F(AlertTest, FourEmptyLinesDrawNothingButAreLogged) {
  ogl_inited = 1;
  const int frames = ZARIRU_frame_count;
  ZARIRU_shell_alert(0, "", "", "", "", t_alert, "src/e", 5);
  EXPECT_EQ(ZARIRU_frame_count, frames);
  EXPECT_NE(read_bytes(log_).find("\n\n\n\n\n(src/e line 5)\n"), std::string::npos);
}

TEST_F(AlertTest, ReturnOrAQuitRequestEndsTheWait) {
  ogl_inited = 1;
  for (const PLAT_event& e : {return_key(), PLAT_event{PLAT_ev_quit}}) {
    ev.later = {{e}};
    EXPECT_EXIT(ZARIRU_shell_alert(0, "It is over", "", "", "", t_exit, "src/f", 6), ::testing::ExitedWithCode(1), "");
  }
  ZARIRU_startwind(2, 0);
  ev.later = {{}, {PLAT_event{PLAT_ev_quit}}};
  const int frames = ZARIRU_frame_count;
  for (const char* l1 : {"Disk full", "Then this"}) ZARIRU_shell_alert(0, l1, "", "", "", t_alert, "src/a", 9);
  EXPECT_EQ(ZARIRU_frame_count - frames, 2);
  EXPECT_EQ(mnw.wind_id, 2);
}

TEST_F(AlertTest, LanguageBoxReturnsWithAccept) {
  ogl_inited = 1;
  ev.later = {{return_key()}};
  ZARIRU_shell_alert(-1, "-", "-", "-", "-", t_langbox, "src/l", 1);
  EXPECT_EQ(mnw.wind_id, 0);
  EXPECT_EQ(mnw.language, 0);
  // The language box writes nothing to the log.
  EXPECT_EQ(read_bytes(log_).find("src/l"), std::string::npos);
}

TEST_F(AlertTest, InstalledAsTheProgramsAlert) {
  cmdline.options["--fps_test"] = "";
  alert_hook_fn before = ZARIRU_set_alert_hook(nullptr);
  ZARIRU_install_alert();
  ZARIRU_alert(0, "through the hook", "", "", "", t_alert);
  ZARIRU_set_alert_hook(before);
  xer.flush();
  EXPECT_NE(read_bytes(log_).find("through the hook"), std::string::npos);
}

TEST_F(AlertTest, ShutdownRunsOnce) {
  ZARIRU_finishup(0);
  EXPECT_FALSE(xer.is_open());
  xer.open(log_, std::ios::out | std::ios::app);
  ZARIRU_finishup(0);
  EXPECT_TRUE(xer.is_open());
}

}  // namespace
