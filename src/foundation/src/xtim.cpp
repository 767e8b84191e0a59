// The frame clock: real time since the first frame, the smoothed frame period, one-frame tick
// flags, click timing for the window record and the pulsing highlight colours.
#include "foundation/xtim.h"

#include <cmath>
#include <iomanip>
#include <sstream>

#include "foundation/globals.h"
#include "foundation/records.h"
#include "platform/clock.h"

xtim_class xtim;
xtim_hooks xtim_hook;

namespace {

// State of the updates and of the timer: one copy for the program.
struct clock_state {
  bool started = false;
  float start_time = 0;
  float prd_win_0 = 0.02f, prd_win_n = 0.02f;
  int cntr_FM = 0, cntr_UI = 0;
  float last_time_FM = 0, last_time_UI = 0;
  float act_ot[tick_count] = {};
  float sim_ot[tick_count] = {};
  float mx = 999.0f, my = 999.0f;

  bool timer_started = false;
  uint64_t init_call = 0;
  uint64_t old = 0;

  bool profile_started = false;
  float profile_last = 0;
};
clock_state st;
uint64_t (*clock_source)() = nullptr;

// Intervals of the nine rates, slowest first; the five longest compare in single precision.
const float kIntervalF[5] = {10.0f, 5.0f, 2.0f, 1.0f, 0.5f};
const double kIntervalD[4] = {0.2, 0.1, 0.05, 0.025};

void estimator_step(float t, int& counter, float& last, float& estimate, float& ratio_out) {
  int taken = counter++;
  if (taken % 10 != 0) return;
  float ratio = ((t - last) * 0.1f) / estimate;
  if (ratio < 0.5f) ratio = 0.5f;
  if (ratio > 1.5f) ratio = 1.5f;
  ratio_out = ratio;
  estimate = estimate * std::pow(ratio, 0.25f);
  if (estimate < 0.0010001f) estimate = 0.0010001f;
  if (estimate > 0.05263158f) estimate = 0.05263158f;
  last = t;
}

void ticks(float time, float* last_raised, int* flags) {
  for (int i = 0; i < tick_count; ++i) {
    flags[i] = 0;
    float gap = std::fabs(time - last_raised[i]);
    bool due = i < 5 ? gap > kIntervalF[i] : static_cast<double>(gap) > kIntervalD[i - 5];
    if (due) {
      flags[i] = 1;
      last_raised[i] = time;
    }
  }
}

}  // namespace

void xtim_set_clock(uint64_t (*source)()) { clock_source = source; }

void xtim_reset_state() { st = clock_state(); }

uint64_t xtim_class::microsecs() {
  uint64_t now = clock_source ? clock_source() : PLAT_microseconds();
  if (!st.timer_started) {
    st.timer_started = true;
    st.init_call = now;
  }
  return now - st.init_call;
}

int xtim_class::del_time(uint64_t* last) {
  uint64_t now = microsecs();
  uint64_t& base = last ? *last : st.old;
  uint64_t d = now - base;
  base = now;
  return static_cast<int>(static_cast<uint32_t>(d));
}

void xtim_class::xtim_update() {
  if (!st.started) {
    st.started = true;
    st.start_time = static_cast<float>(microsecs() / 1000000.0);
  }
  const float t = static_cast<float>(microsecs() / 1000000.0) - st.start_time;
  act_time = t;

  if (mnw.wind_id == 0 || mnw.two_monitors) {
    estimator_step(t, st.cntr_FM, st.last_time_FM, st.prd_win_0, prd_ratio);
    prd[0] = prd[1] = prd[2] = st.prd_win_0;
    st.last_time_UI = t;
  } else {
    st.last_time_FM = t;
    if (mnw.wind_id >= 995 && mnw.wind_id <= 999) {
      st.last_time_UI = t;  // dialogs and the alert leave the period alone
    } else {
      estimator_step(t, st.cntr_UI, st.last_time_UI, st.prd_win_n, prd_ratio);
      prd[0] = prd[1] = prd[2] = st.prd_win_n;
    }
  }

  ticks(sim_time, st.sim_ot, sim_tick);
  ticks(t, st.act_ot, act_tick);

  // Click timing, tested against the previous frame's values.
  mnw.long_hold = (mnw.mouse_held && t > mnw.t_last_press + 0.25f) ? 1 : 0;
  mnw.double_click = (mnw.click && t < mnw.t_last_press + 0.25f) ? 1 : 0;
  mnw.quick_click = (mnw.mouse_up && t < mnw.t_last_press + 0.25f) ? 1 : 0;
  if (mnw.click) {
    mnw.mouse_held = 1;
    mnw.t_last_move = t;
    mnw.t_last_press = t;
    if (xtim_hook.unfocus_any) xtim_hook.unfocus_any();
  }
  if (mnw.mouse_up) {
    mnw.mouse_held = 0;
    mnw.long_hold = 0;
  }
  if (std::fabs(mnw.mouse_x - st.mx) > 0.5f || std::fabs(mnw.mouse_y - st.my) > 0.5f) mnw.t_last_move = t;
  st.mx = mnw.mouse_x;
  st.my = mnw.mouse_y;

  const float p = 0.7f + 0.3f * std::sin(20.0f * t);
  if (xtim_hook.set_colour) {
    xtim_hook.set_colour(79, p, p, p);
    xtim_hook.set_colour(80, p, 0.5f * p, 0.0f);
    xtim_hook.set_colour(81, p, 0.3f * p, 0.3f * p);
    xtim_hook.set_colour(82, 0.3f * p, 0.3f * p, p);
    xtim_hook.set_colour(83, 0.2f * p, 0.8f * p, 0.2f * p);
    xtim_hook.set_colour(84, 0.7f * p, 0.7f * p, 0.2f * p);
  }
  if (xtim_hook.set_pulse) xtim_hook.set_pulse(p);
}

void xtim_class::profile_chart(std::string label, int final) {
  if (!mnw.profiling) return;
  int d = del_time(nullptr);
  std::ostringstream line;
  line << std::fixed << std::setprecision(0) << std::setw(1) << label << "=" << std::setw(6)
       << d * 0.1 << " | ";
  if (final) {
    float now = static_cast<float>(microsecs() / 1000000.0);
    if (!st.profile_started) {
      st.profile_started = true;
      st.profile_last = now;
    }
    float total = now - st.profile_last;
    st.profile_last = now;
    line << "   total: " << std::setw(5) << std::setprecision(3) << total << " sec for topwi=" << mnw.wind_id
         << "\n";
  }
  xer << line.str();
  xer.flush();
}

void xtim_class::current_month_day(int* month, int* day) {
  static const int kLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  // Days past the table's end stay in December (and before its start in January).
  int doy = day_of_year < 0 ? 0 : day_of_year > 364 ? 364 : day_of_year;
  *month = 0;
  if (doy < 31) {
    *day = doy + 1;
    return;
  }
  int cumulative = 31;
  int m = 1;
  for (; m < 12; ++m) {
    int next = cumulative + kLength[m];
    if (next > doy) break;
    cumulative = next;
  }
  *month = m;
  *day = doy - cumulative + 1;
}

void xtim_class::xtim_hrs_min_sec(float seconds, float* h, float* m, float* s) {
  double t = seconds;
  double hours = std::trunc(t / 3600.0);
  double minutes = std::trunc(t / 60.0) - hours * 60.0;
  double secs = std::trunc(t) - hours * 3600.0 - minutes * 60.0;
  *h = static_cast<float>(hours);
  *m = static_cast<float>(minutes);
  *s = static_cast<float>(secs);
}
