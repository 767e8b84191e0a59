// Start-up pieces that need no window: the application folder, the log's place and header,
// the lookup tables, the interface palette, the hardware report and the language folders.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "files/io_utils.h"
#include "foundation/globals.h"
#include "ogl/colr.h"
#include "platform/hwinfo.h"
#include "shell/hl_init.h"
#include "shell/lang.h"
#include "shell_fixture.h"

namespace {

TEST(AppFolder, FolderOfTheExecutable) {
  EXPECT_EQ(ZARIRU_app_folder_of("/a/b/Name.app/Contents/MacOS/Name"), "/a/b/");
  EXPECT_EQ(ZARIRU_app_folder_of("/opt/volarium/volarium-installer"), "/opt/volarium/");
  EXPECT_EQ(ZARIRU_app_folder_of("/a/b/c/"), "/a/b/");
  EXPECT_EQ(ZARIRU_app_folder_of("/x"), "/");
  EXPECT_EQ(ZARIRU_app_folder_of("plain"), "plain");
  EXPECT_EQ(ZARIRU_app_folder_of(""), "");
}

TEST(AppFolder, SetAppPathLeavesAppPathEmpty) {
  app_path = "something";
  std::string out;
  ZARIRU_set_app_path(&out);
  EXPECT_EQ(app_path, "");
  EXPECT_EQ(g_case_sensitive, 1);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.back(), '/');
  ZARIRU_set_app_path(&app_path);
  EXPECT_EQ(app_path, "");
}

TEST(CpuNames, TableAndFallbacks) {
  auto four = [](const char* s) {
    return static_cast<int>((unsigned(s[0]) << 24) | (unsigned(s[1]) << 16) | (unsigned(s[2]) << 8) | unsigned(s[3]));
  };
  EXPECT_EQ(ZARIRU_cpu_type_name(0, 0), " (unknown PowerPC) ");
  EXPECT_EQ(ZARIRU_cpu_type_name(313, 0), " (unknown PowerPC) ");
  EXPECT_EQ(ZARIRU_cpu_type_name(313, 1), " (G5) ");
  EXPECT_EQ(ZARIRU_cpu_type_name(264, 1), " (G3) ");
  EXPECT_EQ(ZARIRU_cpu_type_name(four("i5iv"), 1), " (Pentium 4) ");
  EXPECT_EQ(ZARIRU_cpu_type_name(four("ixxx"), 1), " (X86) ");
  EXPECT_EQ(ZARIRU_cpu_type_name(four("i686"), 1), " (i686) ");
  EXPECT_EQ(ZARIRU_cpu_type_name(static_cast<int>(0x69010203), 1), " (unknown intel) ");
  EXPECT_EQ(ZARIRU_cpu_type_name(500, 1), " (unknown PowerPC) ");
}

TEST(Tables, RandomSineAndCosine) {
  ZARIRU_fill_tables();
  for (float r : randrat) {
    ASSERT_GE(r, 0.0f);
    ASSERT_LT(r, 0.9999f);
  }
  // The table is the same on every start: it comes from seed 1.
  std::vector<float> first(randrat, randrat + 10000);
  ZARIRU_fill_tables();
  EXPECT_TRUE(std::equal(first.begin(), first.end(), randrat));
  EXPECT_NE(randrat[0], randrat[1]);
  EXPECT_FLOAT_EQ(lookup_sin[90], 1.0f);
  EXPECT_NEAR(lookup_cos[90], 0.0f, 1e-6);
  EXPECT_NEAR(lookup_sin[30], 0.5f, 1e-6);
  EXPECT_FLOAT_EQ(lookup_cos[360], 1.0f);
}

TEST(Palette, ColoursFromTheSheetPixels) {
  std::vector<unsigned char> sheet(512 * 512 * 4, 0);
  auto put = [&](int x, int y, int r, int g, int b) {
    unsigned char* p = &sheet[4 * (512 * y + x)];
    p[0] = static_cast<unsigned char>(r);
    p[1] = static_cast<unsigned char>(g);
    p[2] = static_cast<unsigned char>(b);
  };
  put(319, 155, 51, 67, 86);
  put(319, 147, 78, 78, 73);
  put(319, 123, 255, 255, 255);
  put(319, 67, 127, 220, 175);
  put(395, 115, 220, 220, 220);
  ZARIRU_palette_from_sheet(sheet.data());
  EXPECT_FLOAT_EQ(colr.rgb[34][0], 51 / 255.0f);
  EXPECT_FLOAT_EQ(colr.rgb[34][2], 86 / 255.0f);
  EXPECT_FLOAT_EQ(colr.rgb[47][1], 220 / 255.0f);
  EXPECT_FLOAT_EQ(colr.rgb[44][0], 220 / 255.0f);
  EXPECT_FLOAT_EQ(colr.rgb[36][0], 0.0f);
  // 39 is the mean of 35 and 38.
  EXPECT_FLOAT_EQ(colr.rgb[39][0], (78 / 255.0f + 1.0f) / 2);
  EXPECT_FLOAT_EQ(colr.rgb[39][2], (73 / 255.0f + 1.0f) / 2);
}

class HomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/shell_home_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    home_ = tmpl;
    const char* h = std::getenv("HOME");
    old_home_ = h ? h : "";
    const char* c = std::getenv("XDG_CONFIG_HOME");
    had_cfg_ = c != nullptr;
    old_cfg_ = c ? c : "";
    setenv("HOME", home_.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
  }
  void TearDown() override {
    setenv("HOME", old_home_.c_str(), 1);
    if (had_cfg_) setenv("XDG_CONFIG_HOME", old_cfg_.c_str(), 1);
    std::system(("rm -rf '" + home_ + "'").c_str());
  }
  std::string home_, old_home_, old_cfg_;
  bool had_cfg_ = false;
};

TEST_F(HomeTest, LogGoesToTheDesktopElseTheHomeFolder) {
  EXPECT_EQ(ZARIRU_log_path(), home_ + "/Log.txt");
  ASSERT_EQ(std::system(("mkdir '" + home_ + "/Desktop'").c_str()), 0);
  EXPECT_EQ(ZARIRU_log_path(), home_ + "/Desktop/Log.txt");
}

TEST(LogHeader, LinesInOrder) {
  app_path.clear();
  std::string h = ZARIRU_log_header();
  EXPECT_EQ(h.rfind("log.txt for Volarium 9.00 Beta-25 Installer 90025 compiled on ", 0), 0u);
  size_t gen = h.find("This log file is generated automatically by Tarrowind applications");
  size_t note = h.find("NOTE: this file is rewritten every time you start ANY of your Volsuite applications.\n\n");
  size_t cpu = h.find("CPU type: ");
  size_t speed = h.find("CPU speed (mhz): ");
  size_t ram = h.find("RAM (MB): ");
  size_t folder = h.find("\nVolsuite folder:'', case sensitive=");
  ASSERT_NE(gen, std::string::npos);
  ASSERT_NE(note, std::string::npos);
  ASSERT_NE(cpu, std::string::npos);
  ASSERT_NE(folder, std::string::npos);
  EXPECT_LT(gen, note);
  EXPECT_LT(note, cpu);
  EXPECT_LT(cpu, speed);
  EXPECT_LT(speed, ram);
  EXPECT_LT(ram, folder);
  EXPECT_EQ(h.substr(h.size() - 2), "\n\n");
}

TEST(HardwareReport, ParsesTheProcFiles) {
  PLAT_hw_report r = PLAT_hardware_report_from(
      "Linux", "6.1.0-18-amd64",
      "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Example CPU @ 2.40GHz\ncpu MHz\t\t: 2399.996\n",
      "MemTotal:       16318412 kB\nMemFree:         1000 kB\n");
  EXPECT_EQ(r.system, "Linux 6.1.0-18-amd64");
  EXPECT_EQ(r.cpu_model, "Example CPU @ 2.40GHz");
  EXPECT_EQ(r.cpu_mhz, 2400);
  EXPECT_EQ(r.ram_mb, 16318412 / 1024);
  PLAT_hw_report none = PLAT_hardware_report_from("", "", "", "");
  EXPECT_EQ(none.cpu_mhz, 0);
  EXPECT_EQ(none.ram_mb, 0);
  EXPECT_EQ(none.cpu_model, "");
  PLAT_hw_report live = PLAT_hardware_report();
  EXPECT_GT(live.ram_mb, 0);
}

TEST(Languages, TextFolders) {
  EXPECT_EQ(ZARIRU_text_folder(0), "text/english/");
  EXPECT_EQ(ZARIRU_text_folder(5), "text/portugese/");
  EXPECT_EQ(ZARIRU_text_folder(6), "text/korean/");
  EXPECT_EQ(ZARIRU_text_folder(9), "");
  shell_reset_state();
  stls[5] = "kept";
  ZARIRU_setupforlang();
  EXPECT_EQ(stls[5], "kept");
}

class NukeAlertTest : public ShellTest {};

TEST_F(NukeAlertTest, LeavingTheSubWindowAnotherWayAnswersThree) {
  // A Return in the question's frame is a forced click, which in sub-window 996 closes nothing;
  // a quit from outside ends the loop by switching windows.
  auto leave = [] { ZARIRU_startwind(2, 0); };
  ZARIRU_set_app_callbacks(nullptr, nullptr);
  PLAT_event esc;
  esc.what = PLAT_ev_key_down;
  esc.message = (0x35 << 8) | 27;
  ev.later = {{esc}};
  // Without widgets linked, no button is ever pressed: switch windows from the frame's clock
  // hook by starting another sub-window after the first frame.
  static int frames;
  frames = 0;
  static void (*leave_fn)() = nullptr;
  leave_fn = +leave;
  ZARIRU_set_movie_hook([]() -> int {
    if (++frames == 2) leave_fn();
    return 0;
  });
  EXPECT_EQ(ZARIRU_nuke_alert("file.txt", 0), 3);
  ZARIRU_set_movie_hook(shell_watchdog);
  EXPECT_EQ(mnw.wind_id, 2);
  EXPECT_EQ(frames, 2);
}

}  // namespace

namespace {

class MasterPollTest : public ShellTest {};

TEST_F(MasterPollTest, QuitKeyStopsTheMasterWriter) {
  EXPECT_EQ(ZARIRU_master_poll(), 0);
  ev.key(PLAT_ev_key_down, 0x00, 'a');
  ev.key(PLAT_ev_key_down, 0x0C, 'q');
  EXPECT_EQ(ZARIRU_master_poll(), 0);  // one event per call: the "a"
  EXPECT_EQ(ZARIRU_master_poll(), 1);
  ev.quit();
  EXPECT_EQ(ZARIRU_master_poll(), 1);
  EXPECT_EQ(app_done, 1);
}

}  // namespace

#include "widgets/butn.h"

namespace {

struct quad_log {
  std::vector<BTN_quad> quads;
};

void keep_quad(void* ctx, const BTN_quad& q) { static_cast<quad_log*>(ctx)->quads.push_back(q); }

// Right edge of the progress fill: the bar row (y 15) holds the track, which ends at 1016, and
// after it the fill.
float fill_right(const quad_log& log) {
  std::vector<BTN_quad> row;
  for (const BTN_quad& q : log.quads)
    if (q.y0 <= 15 && 15 <= q.y1) row.push_back(q);
  size_t track_end = row.size();
  for (size_t i = 0; i < row.size(); ++i)
    if (row[i].x1 >= 1015.5f) track_end = i;
  float right = -1;
  for (size_t i = track_end + 1; i < row.size(); ++i) right = std::max(right, row[i].x1);
  return right;
}

class ShowInitTest : public ShellTest {};

TEST_F(ShowInitTest, StartUpMessagesShowTheSmallestFill) {
  quad_log log;
  BTN_draw_sink sink;
  sink.quad = keep_quad;
  sink.ctx = &log;
  const BTN_draw_sink* before = BTN_set_draw_sink(&sink);
  ZARIRU_show_init("Will init plugins.", nullptr);
  const float first = fill_right(log);
  log.quads.clear();
  ZARIRU_show_init("Starting application.", nullptr);
  const float second = fill_right(log);
  log.quads.clear();
  float half = 0.5f;
  ZARIRU_show_init("Half way.", &half);
  const float middle = fill_right(log);
  log.quads.clear();
  plot_init_lights = 0;
  ZARIRU_show_init("Not shown.", &half);
  BTN_set_draw_sink(before);
  EXPECT_NEAR(first, 8 + 1008 * 0.02f, 0.5f);
  EXPECT_NEAR(second, 8 + 1008 * 0.02f, 0.5f);
  EXPECT_NEAR(middle, 8 + 1008 * 0.5f, 0.5f);
  EXPECT_TRUE(log.quads.empty());
}

}  // namespace
