// A scripted event source for tests without a window: events queued per frame, a mouse that
// stays where it is put, a keyboard layout that can be changed, and every wait recorded.
// Stands for: nothing of the Mac; a test double of events.h.
// Implemented: every operation of an event source, without a display or real time passing.
// Missing: anything SDL itself would add (key repeat, text input composition).
#pragma once
#include <map>
#include <vector>

#include "platform/events.h"

struct PLAT_fake_events {
  // Events that the next pump makes pending (in order).
  std::vector<PLAT_event> script;
  // One batch per later pump, in order: later[0] at the first pump, later[1] at the second...
  std::vector<std::vector<PLAT_event>> later;
  // Events made pending by every pump on top of the script: a stream that never ends.
  std::vector<PLAT_event> stream;
  // Events delivered by the next bounded wait instead of timing out.
  std::vector<PLAT_event> on_wait;
  std::vector<PLAT_event> pending;  // made pending by a pump, read by polls
  std::vector<int> waits;   // the ms of every wait asked for, in order
  int pumps = 0;
  int polls = 0;
  int mouse_h = 0, mouse_v = 0;
  int mods = 0;
  int layout_fails = 0;            // 1: the layout cannot be asked
  std::map<int, int> layout;       // key code -> character; missing keys use the US layout

  // Installs itself as the event source; the destructor puts the previous one back.
  PLAT_fake_events();
  ~PLAT_fake_events();
  PLAT_fake_events(const PLAT_fake_events&) = delete;
  PLAT_fake_events& operator=(const PLAT_fake_events&) = delete;

  // Helpers that append to the script.
  void key(int kind, int key_code, int ch, int modifiers = 0);
  void click(int h, int v);  // down and up at (h, v), moving the mouse there
  void quit();

  // The US layout's unshifted character for a key code (0 when none).
  static int us_char(int key_code);

 private:
  const PLAT_event_source* previous_;
};
