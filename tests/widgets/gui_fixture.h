// The widget test program under a real X server: a private HOME, the program started and ended,
// its report file polled, and clicks and keys sent with xdotool. Tests skip without a display.
#pragma once
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "file_bytes.h"
#include "platform/spawn.h"

inline constexpr int kWindowH = 768;

class DemoGui : public ::testing::Test {
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
      if (("\n" + test_support::read_bytes(report_)).find("\n" + line + "\n") != std::string::npos) return true;
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
  // A click at sub-window pixel (x, y), y up, as the widgets count; the sub-window's origin in
  // the window is (sub_x_, sub_y_).
  void click(int x, int y) {
    xdo({"mousemove", "--window", "%1", "--sync", std::to_string(sub_x_ + x), std::to_string(kWindowH - sub_y_ - y)});
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
  // Escape on the main screen ends the program on the press: a search would wait for its window
  // for ever and the release goes nowhere, so the key goes to the focused window once.
  void quit_with_escape() {
    int code = 0;
    PLAT_run({"timeout", "15", "xdotool", "key", "Escape"}, &code);
    EXPECT_EQ(wait_exit(30), 0);
  }
  // The numbers of report line "key=...", apart by blanks or commas (none without the line).
  std::vector<int> report_numbers(const std::string& key) {
    const std::string r = "\n" + report();
    const size_t at = r.find("\n" + key + "=");
    if (at == std::string::npos) return {};
    const size_t from = at + key.size() + 2;
    std::string line = r.substr(from, r.find('\n', from) - from);
    std::replace(line.begin(), line.end(), ',', ' ');
    std::istringstream in(line);
    std::vector<int> out;
    for (int v = 0; in >> v;) out.push_back(v);
    return out;
  }
  std::string report() { return test_support::read_bytes(report_); }

  // A table of user actions, each followed by the report line it must bring ("" for none): "click X Y"
  // (sub-window pixels), "type TEXT", "key NAMES", "sh COMMAND", "answer NAMES" (keys to the shell's question
  // box, found with xwininfo: it names itself in UTF-8 only, which xdotool's search cannot read).
  struct act_row { std::string action, expect; };
  void play(const std::vector<act_row>& rows) {
    for (const act_row& r : rows) {
      const size_t cut = std::min(r.action.find(' '), r.action.size());
      const std::string verb = r.action.substr(0, cut), rest = r.action.substr(std::min(cut + 1, r.action.size()));
      std::istringstream in(rest);
      std::vector<std::string> words;
      for (std::string w; in >> w;) words.push_back(w);
      int code = verb == "sh" ? std::system(rest.c_str()) : 0;
      if (verb == "click") click(std::stoi(words[0]), std::stoi(words[1]));
      if (verb == "type") type(rest);
      if (verb == "key") keys(words);
      if (verb == "answer")
        code = std::system(("for i in $(seq 150); do w=$(xwininfo -root -tree | awk '/\"Volarium\": /{print $1}'); "
                            "[ -n \"$w\" ] && exec xdotool windowfocus --sync $w key " + rest + "; sleep 0.1; done; exit 1")
                               .c_str());
      EXPECT_EQ(code, 0) << r.action;
      EXPECT_TRUE(r.expect.empty() || report_has(r.expect)) << r.action << "\n" << report();
    }
  }

  std::string home_, old_home_, report_;
  pid_t pid_ = 0;
  int sub_x_ = 0, sub_y_ = 0;
};
