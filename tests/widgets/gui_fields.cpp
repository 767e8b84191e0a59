// The fields screen of the widget test program under a real X server, typed into with xdotool:
// a click focuses a text field, 70 typed characters leave the first 65, shift+Left three times
// and a character replace the selection, BackSpace deletes, Tab moves the focus, and a click on
// a numeric cell, a digit and Up edit the number. The program's report file holds the values.
// Skipped without a display.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "file_bytes.h"
#include "platform/spawn.h"

namespace {

using test_support::read_bytes;

constexpr int kWindowH = 768;
const char* const kTyped70 = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefgh";

class FieldsGui : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* d = std::getenv("DISPLAY");
    if (!d || !*d) GTEST_SKIP() << "no display";
    char tmpl[] = "/tmp/widgets_gui_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    home_ = tmpl;
    const char* h = std::getenv("HOME");
    old_home_ = h ? h : "";
    setenv("HOME", home_.c_str(), 1);
    report_ = home_ + "/report.txt";
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (home_.empty()) return;
    setenv("HOME", old_home_.c_str(), 1);
    std::system(("rm -rf '" + home_ + "'").c_str());
  }
  // Waits up to `seconds` for the program to end; its exit status, or -1 (then it is killed).
  int wait_exit(int seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
  }
  // Waits until the report holds the line; the report is replaced whole on every change.
  bool report_has(const std::string& line, int seconds = 10) {
    for (int i = 0; i < seconds * 20; ++i) {
      int status = 0;
      if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = 0;
        ADD_FAILURE() << "the program ended early, status " << status;
      }
      if (("\n" + read_bytes(report_)).find("\n" + line + "\n") != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  // One xdotool command on the program's window.
  void xdo(std::vector<std::string> args) {
    // "search --sync" waits for ever for a window that is gone: bound every call.
    std::vector<std::string> argv = {"timeout", "15", "xdotool", "search", "--sync", "--name", "Volarium Installer"};
    argv.insert(argv.end(), args.begin(), args.end());
    // Right after the window maps the server may still refuse events to it: try again.
    int code = -1;
    for (int attempt = 0; attempt < 8 && code != 0; ++attempt) {
      if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(250));
      ASSERT_EQ(PLAT_run(argv, &code), 0);
    }
    ASSERT_EQ(code, 0);
  }
  // A click at sub-window pixel (x, y), y up, as the widgets count.
  void click(int x, int y) {
    xdo({"mousemove", "--window", "%1", "--sync", std::to_string(x), std::to_string(kWindowH - y)});
    // A click chained after the search would be sent to the window as an event, which the
    // server refuses; a separate one goes through the input devices like a real click.
    int code = 0;
    ASSERT_EQ(PLAT_run({"xdotool", "click", "1"}, &code), 0);
    ASSERT_EQ(code, 0);
  }
  void keys(std::vector<std::string> names) {
    std::vector<std::string> a = {"windowfocus", "--sync", "key", "--delay", "40"};
    a.insert(a.end(), names.begin(), names.end());
    xdo(a);
  }
  void type(const std::string& text) { xdo({"windowfocus", "--sync", "type", "--delay", "40", text}); }
  std::string report() { return read_bytes(report_); }
  // The colour the program read back under the rate field's first cell.
  std::vector<int> cell0_rgb() {
    const std::string r = report(), key = "rate_cell0_rgb=";
    const size_t at = r.find(key);
    std::vector<int> rgb;
    if (at == std::string::npos) return rgb;
    std::istringstream in(r.substr(at + key.size(), r.find('\n', at) - at - key.size()));
    int v = 0;
    while (in >> v) rgb.push_back(v);
    return rgb;
  }
  // Colour 8 of the colour table (1, 0.8, 0.2): the caret block of a focused numeric field.
  static bool is_caret_colour(const std::vector<int>& rgb) {
    return rgb.size() == 3 && std::abs(rgb[0] - 255) <= 2 && std::abs(rgb[1] - 204) <= 2 && std::abs(rgb[2] - 51) <= 2;
  }

  std::string home_, old_home_, report_;
  pid_t pid_ = 0;
};

TEST_F(FieldsGui, TypingIntoTheFieldsScreen) {
  ASSERT_EQ(PLAT_spawn({WIDGETS_DEMO_PATH, "--screen=fields", "--fps_test", "--demo_report=" + report_}, &pid_), 0);
  ASSERT_TRUE(report_has("focus=none", 60)) << report();
  ASSERT_TRUE(report_has("rate=2.1")) << report();
  ASSERT_EQ(cell0_rgb().size(), 3u) << report();
  EXPECT_FALSE(is_caret_colour(cell0_rgb())) << report();

  click(210, 603);  // the name field, 400 wide at (200, 600)
  ASSERT_TRUE(report_has("focus=name")) << report();
  type(kTyped70);
  const std::string first65 = std::string(kTyped70).substr(0, 65);
  EXPECT_TRUE(report_has("name=" + first65)) << report();
  EXPECT_TRUE(report_has("name_length=65")) << report();

  keys({"shift+Left", "shift+Left", "shift+Left"});
  type("Z");
  EXPECT_TRUE(report_has("name=" + first65.substr(0, 62) + "Z")) << report();
  keys({"BackSpace"});
  EXPECT_TRUE(report_has("name=" + first65.substr(0, 62))) << report();

  keys({"Tab"});
  EXPECT_TRUE(report_has("focus=host")) << report();
  type("example");  // the field arrived at by Tab has its whole text selected
  EXPECT_TRUE(report_has("host=example")) << report();

  // The decimal cell of the 3-digit, 1-decimal rate field at (200, 480): typing the digit it
  // shows keeps 2.1, and the edit cell wraps to the tens, which Up then steps.
  click(225, 483);
  ASSERT_TRUE(report_has("focus=rate")) << report();
  type("1");
  keys({"Up"});
  EXPECT_TRUE(report_has("rate=12.1")) << report();
  // The edit cell wrapped to the first cell: its caret block is on screen.
  EXPECT_TRUE(is_caret_colour(cell0_rgb())) << report();

  // The program ends on the press: the search would wait for its window for ever, and the
  // release goes nowhere, so the key goes to the focused window once, whatever xdotool says.
  int code = 0;
  PLAT_run({"timeout", "15", "xdotool", "key", "Escape"}, &code);
  EXPECT_EQ(wait_exit(30), 0);
  const std::string r = report();
  EXPECT_NE(r.find("screen=fields\n"), std::string::npos) << r;
  EXPECT_NE(r.find("streams=2\n"), std::string::npos) << r;
}

TEST(FieldsGuiUsage, AnUnknownScreenIsRefusedBeforeAnyWindow) {
  int code = 0;
  std::string out;
  ASSERT_EQ(PLAT_run({"sh", "-c", std::string("'") + WIDGETS_DEMO_PATH + "' --screen=nosuch 2>&1"}, &code, &out), 0);
  EXPECT_EQ(code, 2);
  EXPECT_NE(out.find("screens: fields"), std::string::npos) << out;
}

}  // namespace
