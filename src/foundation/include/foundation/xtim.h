// The frame clock: frame counter, real seconds since the first frame, a smoothed frame period
// and one-frame tick flags at nine rates; also a microsecond timer. Main thread only.
#pragma once
#include <cstdint>
#include <string>

// Index of a tick flag in sim_tick / act_tick, by rate.
enum : int {
  tick_0_1hz = 0,  // every 10 s
  tick_0_2hz,      // 5 s
  tick_0_5hz,      // 2 s
  tick_1hz,        // 1 s
  tick_2hz,        // 0.5 s
  tick_5hz,        // 0.2 s
  tick_10hz,       // 0.1 s
  tick_20hz,       // 0.05 s
  tick_40hz,       // 0.025 s
  tick_count
};

class xtim_class {
 public:
  void xtim_update();  // once per frame, from the frame loop

  // Microseconds since the first reading of this timer.
  uint64_t microsecs();
  // Microseconds since *last (then *last = now); with null, since the shared base.
  int del_time(uint64_t* last);
  void profile_chart(std::string label, int final);
  void current_month_day(int* month, int* day);
  void xtim_hrs_min_sec(float seconds, float* h, float* m, float* s);

  int first_frame = 1;         // 1 until the installer's first per-frame update has run
  int unused_1[3] = {};
  float scale_a = 1.0f, scale_b = 1.0f;
  float prd[3] = {0.02f, 0.02f, 0.0f};  // frame period estimate (seconds), all three the same
  float prd_ratio = 1.0f;      // last measured period ratio
  int frame = 0;               // frame counter, advanced by the frame loop
  float act_time = 0.0f;       // real seconds since the first update
  float sim_time = 0.0f;       // simulated seconds
  int unused_13[2] = {};
  float time_of_day[2] = {43200.0f, 43200.0f};
  int unused_17 = 0;
  float prd_max = 0.05263158f;  // longest frame period, 1/19 s
  int unused_19[2] = {};
  int day_of_year = 90;        // 0 = 1 January
  int unused_22[2] = {};
  int sim_tick[tick_count] = {};  // 1 in the one frame whose interval has passed (simulated time)
  int act_tick[tick_count] = {};  // the same for real time
};

extern xtim_class xtim;

// What the clock asks of the layers above it each frame; the shell and the drawing layer
// install these. Unset hooks are skipped.
struct xtim_hooks {
  void (*set_colour)(int index, float r, float g, float b) = nullptr;  // palette entries 79..84
  void (*set_pulse)(float p) = nullptr;                                 // the palette's pulse value
  void (*unfocus_any)() = nullptr;                                      // a click drops keyboard focus
};
extern xtim_hooks xtim_hook;

// Replaces the monotonic microsecond source (tests); null restores it.
void xtim_set_clock(uint64_t (*source)());
// Forgets the first-update state and the timer base, as at program start (tests).
void xtim_reset_state();
