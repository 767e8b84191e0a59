// The frame clock driven by an injected microsecond clock: tick flags, the period estimate,
// click timing on the window record, the pulse colours and the calendar helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "foundation/records.h"
#include "foundation/xtim.h"

namespace {

uint64_t fake_us = 0;

class Clock : public testing::Test {
 protected:
  void SetUp() override {
    fake_us = 5000000;  // the injected clock does not start at 0
    xtim_set_clock([] { return fake_us; });
    xtim_reset_state();
    saved_mnw = mnw;
    mnw.wind_id = 0;
    mnw.two_monitors = 0;
    mnw.click = mnw.mouse_up = mnw.mouse_held = mnw.long_hold = 0;
    mnw.double_click = mnw.quick_click = 0;
    mnw.t_last_move = mnw.t_last_press = 0;
    mnw.mouse_x = mnw.mouse_y = 0;
    xtim_hook = xtim_hooks();
  }
  void TearDown() override {
    xtim_set_clock(nullptr);
    xtim_reset_state();
    xtim_hook = xtim_hooks();
    mnw = saved_mnw;
  }
  void frame(uint64_t dt_us) {
    fake_us += dt_us;
    x.xtim_update();
  }
  xtim_class x;
  mnw_struct saved_mnw;
};

TEST_F(Clock, DefaultsOfANewClock) {
  EXPECT_EQ(x.first_frame, 1);
  EXPECT_EQ(x.frame, 0);
  EXPECT_FLOAT_EQ(x.prd[0], 0.02f);
  EXPECT_FLOAT_EQ(x.prd[1], 0.02f);
  EXPECT_FLOAT_EQ(x.prd[2], 0.0f);
  EXPECT_FLOAT_EQ(x.prd_ratio, 1.0f);
  EXPECT_FLOAT_EQ(x.time_of_day[0], 43200.0f);
  EXPECT_FLOAT_EQ(x.prd_max, 0.05263158f);
  EXPECT_EQ(x.day_of_year, 90);
  for (int i = 0; i < tick_count; ++i) EXPECT_EQ(x.act_tick[i] + x.sim_tick[i], 0);
}

TEST_F(Clock, FirstUpdateStartsAtZeroWithNoTicks) {
  frame(0);
  EXPECT_FLOAT_EQ(x.act_time, 0.0f);
  for (int i = 0; i < tick_count; ++i) EXPECT_EQ(x.act_tick[i], 0) << i;
  frame(250000);
  EXPECT_FLOAT_EQ(x.act_time, 0.25f);
}

TEST_F(Clock, OneHertzFlagAtSixtyFramesPerSecond) {
  frame(0);
  std::vector<int> raised;
  for (int f = 1; f <= 400; ++f) {
    frame(16666);
    if (x.act_tick[tick_1hz]) raised.push_back(f);
  }
  EXPECT_EQ(raised, std::vector<int>({61, 122, 183, 244, 305, 366}));
}

TEST_F(Clock, EveryRateRaisesOnceAfterEachInterval) {
  const double interval[tick_count] = {10, 5, 2, 1, 0.5, 0.2, 0.1, 0.05, 0.025};
  const uint64_t dt = 16666;
  frame(0);
  std::map<int, std::vector<double>> times;
  for (int f = 1; f <= 1500; ++f) {
    frame(dt);
    for (int i = 0; i < tick_count; ++i) {
      EXPECT_EQ(x.sim_tick[i], 0) << "simulated time stands still";
      if (x.act_tick[i]) times[i].push_back(x.act_time);
    }
  }
  for (int i = 0; i < tick_count; ++i) {
    SCOPED_TRACE(i);
    ASSERT_FALSE(times[i].empty());
    double last = 0;
    for (double t : times[i]) {
      EXPECT_GT(t - last, interval[i]);              // never early
      EXPECT_LE(t - last, interval[i] + 0.017);      // the first frame after it
      last = t;
    }
    // The schedule restarts at each raise: the count follows the gap, not the interval.
    EXPECT_LE(times[i].size(), static_cast<size_t>(1500 * 0.016666 / interval[i]));
  }
}

TEST_F(Clock, SimulatedTicksFollowSimulatedTime) {
  frame(0);
  x.sim_time = 1.5f;
  frame(16666);
  EXPECT_EQ(x.sim_tick[tick_1hz], 1);
  EXPECT_EQ(x.sim_tick[tick_0_5hz], 0);
  frame(16666);
  EXPECT_EQ(x.sim_tick[tick_1hz], 0) << "one frame only";
}

TEST_F(Clock, PeriodEstimateMovesSlowlyTowardsTheFramePeriod) {
  frame(0);
  float previous = x.prd[0];
  const float step_max = std::pow(1.5f, 0.25f) * 1.0001f;
  const float step_min = std::pow(0.5f, 0.25f) * 0.9999f;
  for (int f = 1; f < 300; ++f) {
    frame(33333);
    EXPECT_EQ(x.prd[0], x.prd[1]);
    EXPECT_EQ(x.prd[0], x.prd[2]);
    if (x.prd[0] != previous) {
      EXPECT_EQ(f % 10, 0) << "the estimate moves every tenth frame";
      EXPECT_LE(x.prd[0] / previous, step_max);
      EXPECT_GE(x.prd[0] / previous, step_min);
    }
    previous = x.prd[0];
  }
  EXPECT_NEAR(x.prd[0], 1.0f / 30, 0.001);
}

TEST_F(Clock, SlowFramesAreHeldAtTheLongestPeriod) {
  frame(0);
  for (int f = 0; f < 200; ++f) frame(100000);
  EXPECT_FLOAT_EQ(x.prd[0], 0.05263158f);
  EXPECT_FLOAT_EQ(x.prd_ratio, 1.5f);
}

TEST_F(Clock, AlertLeavesThePeriodAlone) {
  frame(0);
  for (int f = 0; f < 100; ++f) frame(33333);
  float held = x.prd[0];
  mnw.wind_id = 995;
  for (int f = 0; f < 100; ++f) frame(5000);
  EXPECT_EQ(x.prd[0], held);
  mnw.wind_id = 999;
  frame(5000);
  EXPECT_EQ(x.prd[0], held);
}

TEST_F(Clock, OrdinarySubWindowsKeepTheirOwnEstimate) {
  frame(0);
  for (int f = 0; f < 200; ++f) frame(33333);
  float main_estimate = x.prd[0];
  mnw.wind_id = 2;
  for (int f = 0; f < 200; ++f) frame(10000);
  EXPECT_NEAR(x.prd[0], 0.01f, 0.001);
  mnw.wind_id = 0;
  frame(33333);
  EXPECT_NEAR(x.prd[0], main_estimate, main_estimate * 0.2f) << "the main estimate resumes";
  mnw.wind_id = 2;
  mnw.two_monitors = 1;  // with a second monitor the main estimate always runs
  frame(33333);
  EXPECT_NEAR(x.prd[0], main_estimate, main_estimate * 0.2f);
}

TEST_F(Clock, ClickTiming) {
  int unfocused = 0;
  static int* counter;
  counter = &unfocused;
  xtim_hook.unfocus_any = [] { ++*counter; };
  mnw.t_last_move = -5;
  frame(0);
  EXPECT_FLOAT_EQ(mnw.t_last_move, 0.0f) << "the first update sees the mouse move from 999";

  fake_us += 1000000;  // t = 1.0: press
  mnw.click = 1;
  x.xtim_update();
  EXPECT_EQ(mnw.mouse_held, 1);
  EXPECT_EQ(mnw.double_click, 0);
  EXPECT_FLOAT_EQ(mnw.t_last_press, 1.0f);
  EXPECT_FLOAT_EQ(mnw.t_last_move, 1.0f);
  EXPECT_EQ(unfocused, 1);

  mnw.click = 0;
  frame(100000);  // 1.1
  EXPECT_EQ(mnw.long_hold, 0);
  mnw.click = 1;
  frame(100000);  // 1.2: second press within 0.25 s
  EXPECT_EQ(mnw.double_click, 1);
  mnw.click = 0;
  mnw.mouse_up = 1;
  frame(100000);  // 1.3: release within 0.25 s of the last press
  EXPECT_EQ(mnw.quick_click, 1);
  EXPECT_EQ(mnw.mouse_held, 0);
  EXPECT_EQ(mnw.double_click, 0);
  mnw.mouse_up = 0;

  mnw.click = 1;
  frame(700000);  // 2.0
  EXPECT_EQ(mnw.double_click, 0);
  mnw.click = 0;
  frame(100000);  // 2.1
  EXPECT_EQ(mnw.long_hold, 0);
  frame(200000);  // 2.3: held longer than 0.25 s
  EXPECT_EQ(mnw.long_hold, 1);
  mnw.mouse_up = 1;
  frame(100000);  // 2.4: a late release
  EXPECT_EQ(mnw.quick_click, 0);
  EXPECT_EQ(mnw.mouse_held, 0);
  EXPECT_EQ(mnw.long_hold, 0);
  mnw.mouse_up = 0;
  EXPECT_EQ(unfocused, 3);

  float moved_at = mnw.t_last_move;
  mnw.mouse_x += 0.4f;
  frame(100000);
  EXPECT_EQ(mnw.t_last_move, moved_at) << "half a pixel or less is no movement";
  mnw.mouse_y += 0.6f;
  frame(100000);
  EXPECT_FLOAT_EQ(mnw.t_last_move, x.act_time);
}

std::map<int, std::vector<float>> colours;
float pulse = -1;

TEST_F(Clock, PulseColours) {
  colours.clear();
  xtim_hook.set_colour = [](int i, float r, float g, float b) { colours[i] = {r, g, b}; };
  xtim_hook.set_pulse = [](float p) { pulse = p; };
  frame(0);  // t = 0: p = 0.7
  EXPECT_FLOAT_EQ(pulse, 0.7f);
  ASSERT_EQ(colours.size(), 6u);
  EXPECT_EQ(colours.begin()->first, 79);
  EXPECT_EQ(colours.rbegin()->first, 84);
  EXPECT_FLOAT_EQ(colours[79][1], 0.7f);
  EXPECT_FLOAT_EQ(colours[80][1], 0.35f);
  EXPECT_FLOAT_EQ(colours[80][2], 0.0f);
  EXPECT_FLOAT_EQ(colours[84][2], 0.14f);
  frame(78540);  // t = pi/40: sin(20 t) = 1, p = 1
  EXPECT_NEAR(pulse, 1.0f, 1e-5);
  EXPECT_NEAR(colours[81][0], 1.0f, 1e-5);
  EXPECT_NEAR(colours[81][1], 0.3f, 1e-5);
  EXPECT_NEAR(colours[82][2], 1.0f, 1e-5);
  EXPECT_NEAR(colours[83][1], 0.8f, 1e-5);
}

TEST_F(Clock, MicrosecondTimerAndDeltas) {
  EXPECT_EQ(x.microsecs(), 0u);
  fake_us += 1234;
  EXPECT_EQ(x.microsecs(), 1234u);
  uint64_t mark = x.microsecs();
  fake_us += 500;
  EXPECT_EQ(x.del_time(&mark), 500);
  EXPECT_EQ(mark, 1734u);
  x.del_time(nullptr);
  fake_us += 70;
  EXPECT_EQ(x.del_time(nullptr), 70);
}

TEST(ClockCalendar, MonthAndDay) {
  const struct {
    int doy, month, day;
  } cases[] = {{0, 0, 1},   {30, 0, 31},  {31, 1, 1},   {58, 1, 28},  {59, 2, 1}, {90, 3, 1},
               {333, 10, 30}, {334, 11, 1}, {364, 11, 31}, {365, 11, 31}, {1000, 11, 31}, {-3, 0, 1}};
  xtim_class x;
  for (const auto& c : cases) {
    x.day_of_year = c.doy;
    int month = -1, day = -1;
    x.current_month_day(&month, &day);
    EXPECT_EQ(month, c.month) << c.doy;
    EXPECT_EQ(day, c.day) << c.doy;
  }
}

TEST(ClockCalendar, HoursMinutesSeconds) {
  xtim_class x;
  float h, m, s;
  x.xtim_hrs_min_sec(3725.5f, &h, &m, &s);
  EXPECT_EQ(h, 1.0f);
  EXPECT_EQ(m, 2.0f);
  EXPECT_EQ(s, 5.0f);
  x.xtim_hrs_min_sec(43200.0f, &h, &m, &s);
  EXPECT_EQ(h, 12.0f);
  EXPECT_EQ(m + s, 0.0f);
  x.xtim_hrs_min_sec(86399.9f, &h, &m, &s);
  EXPECT_EQ(h, 23.0f);
  EXPECT_EQ(m, 59.0f);
  EXPECT_EQ(s, 59.0f);
}

}  // namespace

// The clock starts at 0: a program's first press, however soon, pairs with no earlier one.
TEST_F(Clock, FirstPressSoonAfterTheStartIsNoDoubleClick) {
  mnw.t_last_press = mnw_struct().t_last_press;
  frame(0);
  fake_us += 100000;
  mnw.click = 1;
  x.xtim_update();
  EXPECT_EQ(mnw.double_click, 0);
  EXPECT_EQ(mnw.mouse_held, 1);
}
