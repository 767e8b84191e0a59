// The running installation: which file each of the four stream slots works on, and the
// kilobytes fetched and installed so far. 18 32-bit words, addressed by word number.
#pragma once
#include <bit>
#include <cstdint>

enum : int {
  NXT_next_file = 0,    // index into sim_info of the next file to hand out
  NXT_done = 1,         // 1 once every slot has passed the end of the list
  NXT_active = 2,       // + slot (0..3): slot active
  NXT_wants = 6,        // + slot: slot wants a new file
  NXT_file = 10,        // + slot: index of the file the slot works on
  NXT_start_time = 14,  // float: frame-clock seconds when the installation started
  NXT_kb_flight = 15,   // float: kilobytes of downloads in flight (this call)
  NXT_kb_fetched = 16,  // float: listed download sizes of the finished files
  NXT_kb_installed = 17,// float: listed installed sizes of the finished files
  NXT_slots = 4
};

struct install_progress_struct {
  static constexpr int kWords = 18;
  int32_t w[kWords] = {};

  int32_t& operator[](int i) { return w[i]; }
  const int32_t& operator[](int i) const { return w[i]; }
  float getf(int i) const { return std::bit_cast<float>(w[i]); }
  void setf(int i, float v) { w[i] = std::bit_cast<int32_t>(v); }

  // Before an installation, and when one stops: no file handed out, slot 0 (and slot 1 off a
  // disc) active and wanting a file, start time = now, sizes 0; the unpacked files still waiting
  // for their signatures are removed. The done flag keeps its value.
  void reset(float now);
};

extern install_progress_struct next;
