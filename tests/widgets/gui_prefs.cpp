// The installer's preferences screen in the widget test program under a real X server, with a
// private HOME: a proxy host and port typed, the check boxes ticked, three download streams,
// "Windows" picked from the pop-up list (seen on screen while open), Return to leave; the shutdown writes the preference
// file, and a second start reads the values back. Skipped without a display.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "gui_fixture.h"

namespace {

// Sub-window 2 (600 x 380) centred in the 1024 x 768 window.
constexpr int kPrefsX = (1024 - 600) / 2, kPrefsY = (768 - 380) / 2;

class PrefsGui : public DemoGui {
 protected:
  void SetUp() override {
    DemoGui::SetUp();
    if (IsSkipped()) return;
    const char* x = std::getenv("XDG_CONFIG_HOME");
    had_xdg_ = x != nullptr;
    old_xdg_ = x ? x : "";
    unsetenv("XDG_CONFIG_HOME");
    std::filesystem::create_directories(home_ + "/.config");
    prf_ = home_ + "/.config/Volarium Installer.prf";
    sub_x_ = kPrefsX;
    sub_y_ = kPrefsY;
  }
  void TearDown() override {
    if (had_xdg_) setenv("XDG_CONFIG_HOME", old_xdg_.c_str(), 1);
    DemoGui::TearDown();
  }
  void start() {
    std::filesystem::remove(report_);
    ASSERT_EQ(PLAT_spawn({WIDGETS_DEMO_PATH, "--screen=prefs", "--demo_report=" + report_}, &pid_), 0);
    ASSERT_TRUE(report_has("stage=open", 60)) << report();
    ASSERT_TRUE(report_has("wind=2")) << report();
  }
  // Return leaves the screen; Escape then ends the program, which saves the preferences.
  void leave_and_quit() {
    keys({"Return"});
    EXPECT_TRUE(report_has("stage=left")) << report();
    EXPECT_TRUE(report_has("wind=0")) << report();
    quit_with_escape();
  }
  bool had_xdg_ = false;
  std::string old_xdg_, prf_;
};

TEST_F(PrefsGui, ValuesSetOnTheScreenAreSavedAndReadBack) {
  start();
  EXPECT_TRUE(report_has("focus=host")) << report();  // the first field takes the focus
  EXPECT_TRUE(report_has("target_os=Linux")) << report();
  EXPECT_TRUE(report_has("stream_count=0")) << report();
  EXPECT_TRUE(report_has("rename_folder=1")) << report();

  click(95, 43);
  type("proxy.example.test");
  EXPECT_TRUE(report_has("proxy_host=proxy.example.test")) << report();
  click(95, 23);
  EXPECT_TRUE(report_has("focus=port")) << report();
  type("3128");
  EXPECT_TRUE(report_has("proxy_port_int=3128")) << report();

  click(30, 268);
  EXPECT_TRUE(report_has("use_max_cpu=1")) << report();
  click(30, 233);
  EXPECT_TRUE(report_has("rename_folder=0")) << report();
  click(30, 193);
  EXPECT_TRUE(report_has("always_ask_dir=1")) << report();
  click(30, 113);
  EXPECT_TRUE(report_has("log_actions=1")) << report();

  click(30, 153);  // manual stream count: the field appears with 1
  EXPECT_TRUE(report_has("stream_count=1")) << report();
  type("7");  // a click outside the fields left none focused: this reaches no field
  EXPECT_TRUE(report_has("focus=none")) << report();
  click(405, 153);
  EXPECT_TRUE(report_has("focus=streams")) << report();
  type("3");
  EXPECT_TRUE(report_has("stream_count=3")) << report();

  // The list opens with "Linux" over the button; "Windows" is the row above it.
  EXPECT_TRUE(report_has("list_dark=0")) << report();  // nothing drawn over the panel yet
  click(200, 313);
  EXPECT_TRUE(report_has("list_open=1")) << report();
  EXPECT_TRUE(report_has("list_dark=1")) << report();  // the open list is on screen
  click(200, 325);
  EXPECT_TRUE(report_has("target_os=Windows")) << report();
  EXPECT_TRUE(report_has("list_open=0")) << report();
  EXPECT_TRUE(report_has("list_dark=0")) << report();

  leave_and_quit();
  const std::string r = report();
  for (const char* line : {"target_os=Windows", "proxy_host=proxy.example.test", "proxy_port=3128",
                           "proxy_port_int=3128", "stream_count=3", "use_max_cpu=1", "rename_folder=0",
                           "always_ask_dir=1", "log_actions=1"})
    EXPECT_NE(("\n" + r).find(std::string("\n") + line + "\n"), std::string::npos) << line << " in\n" << r;

  const std::string saved = test_support::read_bytes(prf_);
  for (const char* line : {"_use_max_cpu 1\n", "_rename_folder 0\n", "_stream_count 3\n", "_log_actions 1\n",
                           "_always_ask_dir 1\n", "_proxy_host proxy.example.test\n", "_proxy_port 3128\n",
                           "_proxy_port_int 3128\n"})
    EXPECT_NE(saved.find(line), std::string::npos) << line << " in\n" << saved;

  // A second start reads them back.
  start();
  for (const char* line : {"proxy_host=proxy.example.test", "proxy_port=3128", "proxy_port_int=3128", "stream_count=3",
                           "use_max_cpu=1", "rename_folder=0", "always_ask_dir=1", "log_actions=1"})
    EXPECT_TRUE(report_has(line)) << report();
  leave_and_quit();
}

}  // namespace
