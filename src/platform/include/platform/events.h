// Window events for the frame loop: one event record in the form the shell dispatches (kind,
// message, modifier word, mouse position), read from SDL2 or from a scripted fake in tests.
// The frame loop pumps once, drains what is pending and takes at most one bounded wait.
// Stands for: the Carbon Event Manager (WaitNextEvent, GetNextEvent, FlushEvents, GetMouse,
// GetCurrentKeyModifiers) and the keyboard layout's KeyTranslate.
// Implemented on Linux (SDL2): mouse buttons, keys with their key code and typed character,
// characters typed as text alone (a press and a release of key code 0xFF), AltGr as a shift
// level rather than option, the wheel, the mouse position, modifier keys, a window-close request
// as quit, the character a key types on the current layout, and a bounded wait. Input to the
// progress window (progress_window.h) is not the main window's and never reaches the loop.
// Missing: update (expose) events, which are never made since every frame redraws; disk, OS
// activation and high-level events; mouse-moved regions.
#pragma once
#include <cstdint>

// Event kinds; the numbers follow the shell's dispatcher.
enum : int {
  PLAT_ev_null = 0,
  PLAT_ev_mouse_down = 1,
  PLAT_ev_mouse_up = 2,
  PLAT_ev_key_down = 3,
  PLAT_ev_key_up = 4,
  PLAT_ev_auto_key = 5,
  PLAT_ev_update = 6,   // never produced: every frame redraws anyway
  PLAT_ev_os = 15,
  PLAT_ev_wheel = 100,  // message: wheel steps (positive away from the user)
  PLAT_ev_quit = 101    // window-close or quit request
};

// Modifier bits of the event record.
enum : int {
  PLAT_mod_cmd = 1 << 8,      // the "super"/GUI key
  PLAT_mod_shift = 1 << 9,
  PLAT_mod_caps = 1 << 10,
  PLAT_mod_option = 1 << 11,  // Alt
  PLAT_mod_control = 1 << 12
};

struct PLAT_event {
  int what = PLAT_ev_null;
  long message = 0;   // keys: key code in bits 8..15, character in bits 0..7
  int modifiers = 0;  // PLAT_mod_* bits held at the time of the event
  int h = 0, v = 0;   // mouse in window pixels, y down
};

// Where events come from. The real one reads SDL2; tests install a fake.
struct PLAT_event_source {
  void (*pump)() = nullptr;                       // gathers what the system has for this frame
  int (*poll)(PLAT_event* ev) = nullptr;          // next pending event without waiting: 1, or 0
  int (*wait)(PLAT_event* ev, int ms) = nullptr;  // one bounded wait for an event: 1, or 0
  void (*mouse)(int* h, int* v) = nullptr;        // mouse in window pixels, y down
  int (*modifiers)() = nullptr;                   // modifier word now
  // The character the key with this key code types on the current layout without modifiers;
  // 0 for none, -1 when the layout cannot be asked.
  int (*layout_char)(int key_code) = nullptr;
  void (*flush)() = nullptr;                      // drops every pending event
};

// Installs a source (null: the SDL2 one). Returns the one installed before.
const PLAT_event_source* PLAT_set_event_source(const PLAT_event_source* src);
const PLAT_event_source* PLAT_sdl_event_source();

// The current source's operations.
void PLAT_pump_events();
int PLAT_poll_event(PLAT_event* ev);
int PLAT_wait_event(PLAT_event* ev, int ms);
void PLAT_get_mouse(int* h, int* v);
int PLAT_modifiers();
int PLAT_layout_char(int key_code);
void PLAT_flush_events();

// Milliseconds of the wait for a given number of 1/60 s ticks: ceil(ticks x 1000 / 60).
inline int PLAT_ticks_to_ms(int ticks) { return ticks <= 0 ? 0 : (ticks * 1000 + 59) / 60; }
