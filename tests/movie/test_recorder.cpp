// The recorder under Xvfb: takes of colour bars recorded through the real window, read back by
// both paths, checked with ffprobe and ffmpeg frame by frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "file_bytes.h"
#include "movie/mov_writer.h"
#include "recorder_fixture.h"
#include "scratch_dir.h"
#include "tex/tman.h"
#include "widgets/focus.h"

namespace fs = std::filesystem;

namespace {

class Recorder : public ::testing::Test {
 protected:
  static constexpr int kW = 640, kH = 480;
  static constexpr float kStep = 0.0625f;  // one period at 16 frames a second, exact in floats

  static PLAT_gl_window& window() {
    static PLAT_gl_window w;
    return w;
  }

  void SetUp() override {
    if (!window().win) {
      ASSERT_EQ(movtest::open_window(kW, kH, &window()), 0)
          << "no OpenGL window (run under xvfb-run): " << PLAT_window_error();
    }
    mnw.scr_w = kW;
    mnw.scr_h = kH;
    mnw.aa_got = 0;
    qtim.width = 320;
    qtim.fps = 16.0f;
    mov_test_view.pixel_buffers_off = 0;
    old_cwd_ = fs::current_path();
    fs::current_path(dir_);
  }

  void TearDown() override {
    if (qtim.mode != 0) qtim.mov_toggle(0);
    fs::current_path(old_cwd_);
  }

  // Starts a take, records `frames` frames `step` apart and stops; returns the take's path.
  std::string record(int frames, bool pixel_buffer, float step = kStep) {
    mov_test_view.pixel_buffers_off = pixel_buffer ? 0 : 1;
    qtim.mov_toggle(1);
    EXPECT_EQ(qtim.mode, 1);
    EXPECT_EQ(movtest::frame(0), 0) << "no frame before the simulated time moves";
    for (int i = 0; i < frames; ++i) {
      EXPECT_EQ(movtest::frame(step), 1);
      GLint bound = -1;
      glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING_ARB, &bound);
      EXPECT_EQ(bound, 0) << "the pixel-pack buffer stays bound after frame " << i;
    }
    std::string path = mov_test_view.last_take;
    qtim.mode = 2;  // a stop request: the next poll stops
    EXPECT_EQ(qtim.mov_per_frame(), 0);
    EXPECT_EQ(qtim.mode, 0);
    return path;
  }

  // A take of `frames` frames at 16 a second: 37.5 units each, rounded on the running time.
  static void expect_bars_take(const std::string& path, int w, int h, int frames) {
    const long long units = std::llround(frames * 37.5);
    auto kv = movtest::probe(path);
    EXPECT_EQ(kv.count("error"), 0u) << kv["error"];
    EXPECT_EQ(kv["codec_name"], "mjpeg");
    EXPECT_EQ(kv["width"], std::to_string(w));
    EXPECT_EQ(kv["height"], std::to_string(h));
    EXPECT_EQ(kv["time_base"], "1/600");
    EXPECT_EQ(kv["duration_ts"], std::to_string(units));
    auto dec = movtest::decode_null(path);
    EXPECT_EQ(dec.rc, 0);
    EXPECT_EQ(dec.err, "");
    auto all = movtest::frames_rgb(path, w, h);
    ASSERT_EQ(all.size(), size_t(frames));
    for (size_t i = 0; i < all.size(); ++i)
      EXPECT_LT(movtest::worst_bar_error(all[i], w, h), 16.0) << "frame " << i;
  }

  test_support::Scratch dir_{std::string("movie_rec_") +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name()};
  fs::path old_cwd_;
};

TEST_F(Recorder, ThirtyFramesOfBarsByBothReadPaths) {
  ASSERT_TRUE(glExt.pbo_avail) << "the renderer offers no pixel-pack buffers";
  const std::string plain = record(30, false);
  EXPECT_EQ(mov_test_view.pbo_name, 0u);
  const std::string pbo = record(30, true);
  const unsigned name = mov_test_view.pbo_name;
  EXPECT_NE(name, 0u);
  EXPECT_FALSE(glExt.glIsBufferARB(name)) << "the pixel-pack buffer outlives its take";
  EXPECT_NE(plain, pbo);
  expect_bars_take(plain, 320, 240, 30);
  expect_bars_take(pbo, 320, 240, 30);
  for (const auto& p : movtest::packets(pbo)) EXPECT_NEAR(p.duration, 37.5, 0.5);
  EXPECT_EQ(movtest::frames_rgb(plain, 320, 240), movtest::frames_rgb(pbo, 320, 240));
}

TEST_F(Recorder, DurationsFollowTheFrameRules) {
  for (bool pbo : {false, true}) {
    mov_test_view.pixel_buffers_off = pbo ? 0 : 1;
    qtim.mov_toggle(1);
    EXPECT_EQ(movtest::frame(0), 0);
    // step (s) -> a frame of that many units (37.5 a period, rounded on the running time), or none (0).
    const struct { float step; int units; } steps[] = {
        {0.0625f, 38},    // one period
        {0.125f, 60},     // two periods stay two (75), capped at 60
        {0.5f, 60},       // long pause, capped
        {0.03125f, 0},    // too early: no frame, the label is still shown
        {0.03125f, 37},   // now one period has passed
        {0.09375f, 38},   // one and a half periods count as one ...
        {0.03125f, 37},   // ... so the remaining half is due with the next step
    };
    std::vector<long> want;
    for (const auto& s : steps) {
      EXPECT_EQ(movtest::frame(s.step), 1);
      if (s.units) want.push_back(s.units);
    }
    const std::string path = mov_test_view.last_take;
    qtim.mov_toggle(0);
    std::vector<long> got;
    for (const auto& p : movtest::packets(path)) got.push_back(p.duration);
    EXPECT_EQ(got, want) << (pbo ? "pixel buffer" : "plain reads");
  }
}

TEST_F(Recorder, TakesKeepTheClocksTimeAndEveryFrame) {
  // One period a step: a frame at every poll, and the take as long as the clock ran, within a unit.
  for (float fps : {25.0f, 50.0f}) {
    qtim.fps = fps;
    auto kv = movtest::probe(record(400, true, 1.0f / fps));
    EXPECT_EQ(kv["nb_read_frames"], "400") << fps;
    EXPECT_NEAR(std::stod(kv["duration_ts"].empty() ? "0" : kv["duration_ts"]), 400 * 600 / fps, 1.0) << fps;
  }
}

TEST_F(Recorder, StopsAfterZeroOneAndTwoFrames) {
  for (bool pbo : {false, true})
    for (int n : {0, 1, 2}) {
      const std::string path = record(n, pbo);
      SCOPED_TRACE(std::to_string(n) + (pbo ? " frames, pixel buffer" : " frames, plain"));
      if (n == 0) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << "a take without frames leaves a file";
        continue;
      }
      expect_bars_take(path, 320, 240, n);
    }
}

TEST_F(Recorder, TakeNumbersSkipEveryExistingName) {
  // Learn where the run's counter stands with a take that leaves no file.
  qtim.mov_toggle(1);
  qtim.mov_toggle(0);
  const std::string probe_take = mov_test_view.last_take;
  ASSERT_EQ(probe_take.rfind("Volarium movie take-", 0), 0u) << probe_take;
  const int k = std::stoi(probe_take.substr(20));
  EXPECT_FALSE(fs::exists(fs::symlink_status(probe_take)));

  test_support::write_bytes(MOV_take_name(k + 1), "take one");
  test_support::write_bytes(MOV_take_name(k + 2), "take two");
  // Three names that cannot be read as files, each an older take in its own way.
  fs::create_symlink("gone.mov", MOV_take_name(k + 3));
  test_support::write_bytes(MOV_take_name(k + 4), "");
  fs::permissions(MOV_take_name(k + 4), fs::perms::none);
  fs::create_directory(MOV_take_name(k + 5));

  const std::string path = record(2, false);
  EXPECT_EQ(path, MOV_take_name(k + 6));
  expect_bars_take(path, 320, 240, 2);
  EXPECT_EQ(test_support::read_bytes(MOV_take_name(k + 1)), "take one");
  EXPECT_EQ(test_support::read_bytes(MOV_take_name(k + 2)), "take two");
  EXPECT_TRUE(fs::is_symlink(MOV_take_name(k + 3)));
  EXPECT_EQ(fs::read_symlink(MOV_take_name(k + 3)), "gone.mov");
  EXPECT_FALSE(fs::exists("gone.mov"));
  EXPECT_EQ(fs::file_size(MOV_take_name(k + 4)), 0u);
  EXPECT_TRUE(fs::is_directory(MOV_take_name(k + 5)));
  // The counter keeps rising within the run.
  EXPECT_EQ(record(1, false), MOV_take_name(k + 7));
}

TEST_F(Recorder, WindowOver2048IsRefused) {
  for (auto [w, h] : {std::pair{2049, 480}, std::pair{640, 2049}}) {
    mnw.scr_w = w;
    mnw.scr_h = h;
    AlertSink sink;
    const std::string before = mov_test_view.last_take;
    qtim.mov_toggle(1);
    ASSERT_EQ(sink.count(), 1u);
    auto a = sink.alerts()[0];
    EXPECT_EQ(a.l1, "Oops!");
    EXPECT_EQ(a.l2, "You can NOT record movies in Volarium at any Volarium resolution higher that 2048 x 2048!");
    EXPECT_EQ(a.l3, "This limit is to keep the VRAM requirements of Volarium down.");
    EXPECT_EQ(a.type, 1);
    EXPECT_EQ(a.file, "DUdurid/OOPS_cpp/qtim");
    EXPECT_EQ(a.line, 412);
    EXPECT_EQ(qtim.mode, 0) << "a refused start leaves the recorder off";
    EXPECT_EQ(mov_test_view.last_take, before);
    EXPECT_EQ(tman.ref_dat[t_QT_movie].format, 0) << "the frame texture outlives a refused start";
    EXPECT_EQ(qtim.mov_per_frame(), 0);
  }
  mnw.scr_w = kW;
  mnw.scr_h = kH;
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(Recorder, MovieWiderThanTheWindowIsClampedKeepingTheAspect) {
  qtim.width = 2048;
  const std::string wide = record(3, true);
  EXPECT_EQ(qtim.height, 480);
  EXPECT_EQ(qtim.width, 2048) << "the setting itself is kept";
  expect_bars_take(wide, 640, 480, 3);
  qtim.width = 250;  // odd sizes: 250 x 187
  const std::string small = record(2, false);
  EXPECT_EQ(qtim.height, 187);
  expect_bars_take(small, 250, 187, 2);
}

TEST_F(Recorder, ShowingTheSettingsWindowStopsARecording) {
  mnw.wind_w = kW;
  mnw.wind_h = kH;
  mnw.menu_open = -1;
  qtim.mov_toggle(1);
  movtest::frame(0);
  for (int i = 0; i < 2; ++i) movtest::frame(kStep);
  const std::string path = mov_test_view.last_take;
  qtim.qtim_wind();
  EXPECT_EQ(qtim.mode, 0);
  EXPECT_EQ(tman.ref_dat[t_QT_movie].format, 0);
  expect_bars_take(path, 320, 240, 2);
  qtim.qtim_wind();  // nothing to stop: the window just draws
  EXPECT_EQ(qtim.mode, 0);
}

TEST_F(Recorder, StopThreadFinishesTheTakeAndAStartMakesANewThread) {
  qtim.mov_toggle(1);
  movtest::frame(0);
  for (int i = 0; i < 3; ++i) movtest::frame(kStep);
  const std::string first = mov_test_view.last_take;
  qtim.stop_thread();
  EXPECT_EQ(qtim.mode, 0);
  expect_bars_take(first, 320, 240, 3);
  qtim.stop_thread();  // a second time: nothing left to stop
  const std::string second = record(2, true);
  EXPECT_NE(second, first);
  expect_bars_take(second, 320, 240, 2);
}

// The settings window in the real window, driven through the input record frame by frame as the
// shell drives it: clicks on the cells, keys through the focus ring a frame later.
class SettingsWindow : public Recorder {
 protected:
  void SetUp() override {
    Recorder::SetUp();
    mnw.wind_x = mnw.wind_y = 0;
    mnw.wind_w = kW;
    mnw.wind_h = kH;
    mnw.menu_open = -1;
    xtim_hook.unfocus_any = BTN_unfocus_any;
    qtim.fps = 20.0f;  // the settings as the program starts
    qtim.width = 320;
  }
  void TearDown() override {
    xtim_hook.unfocus_any = nullptr;
    Recorder::TearDown();
  }
  // One frame of the window with this frame's mouse.
  static void show(float mx, float my, bool press = false, bool release = false) {
    mnw.mouse_x = mx;
    mnw.mouse_y = my;
    mnw.click = press ? 1 : 0;
    mnw.mouse_up = release ? 1 : 0;
    xtim.xtim_update();
    BTN_begin_focus_ring();
    glClear(GL_COLOR_BUFFER_BIT);
    qtim.qtim_wind();
  }
  static void click(float x, float y) {
    show(x, y, true);
    show(x, y, false, true);
  }
  // Keys go to the focused field and take effect in the next frame.
  static void keys(const std::string& typed, int vkey = 0) {
    for (char c : typed) BTN_dispatch_to_focus(static_cast<unsigned char>(c), 0, 8);
    if (vkey) BTN_dispatch_to_focus(0, vkey, 8);
    show(0, 0);
  }
};

TEST_F(SettingsWindow, FieldsSetFramesPerSecondAndWidthWithinTheirLimits) {
  constexpr int kDown = 40, kUp = 38;
  const float fps_x = 150, fps_y = 415, width_x = 130, width_y = 365;
  show(0, 0);
  click(fps_x + 15, fps_y + 3);  // the units cell of "20"
  keys("5");
  EXPECT_FLOAT_EQ(qtim.fps, 25.0f);
  keys("", kDown);  // the edit cell wrapped to the tens
  EXPECT_FLOAT_EQ(qtim.fps, 15.0f);
  keys("0");  // 05 is below the lowest rate
  EXPECT_FLOAT_EQ(qtim.fps, 10.0f);
  keys("6");
  EXPECT_FLOAT_EQ(qtim.fps, 16.0f);

  click(width_x + 5, width_y + 3);  // the thousands cell of "0320"
  keys("2500");
  EXPECT_EQ(qtim.width, 2048) << "wider than the largest movie";
  keys("0512");
  EXPECT_EQ(qtim.width, 512);
  keys("", kUp);
  keys("", kUp);
  keys("", kUp);
  EXPECT_EQ(qtim.width, 2048);
  keys("0512");
  EXPECT_EQ(qtim.width, 512);
  EXPECT_FLOAT_EQ(qtim.fps, 16.0f) << "the rate field kept its value";

  // The next take uses both.
  const std::string path = record(3, true);
  expect_bars_take(path, 512, 384, 3);
}

}  // namespace
