// The frame loop, events and sub-windows: one frame reads the mouse, drains the events, lets
// the application draw and advance, draws the shell's overlays and swaps the buffers.
#pragma once
#include <cstddef>

#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "platform/events.h"

// The application's two callbacks: APP_update once a frame (draws the whole screen and
// advances by one frame), APP_handlemenu on a menu choice. Unset ones are skipped.
using APP_update_fn = void (*)();
using APP_handlemenu_fn = void (*)(int command);
void ZARIRU_set_app_callbacks(APP_update_fn update, APP_handlemenu_fn handlemenu);

// The movie recorder's per-frame hook: returns 1 when it swapped the buffers itself. Unset: 0.
using mov_per_frame_fn = int (*)();
mov_per_frame_fn ZARIRU_set_movie_hook(mov_per_frame_fn fn);

// One frame.
void ZARIRU_event_proc();
// Makes sub-window id current (size, title, origin, suspends); the second argument is unused.
void ZARIRU_startwind(int id, int unused);
// Dispatches one event.
void APL_handlewin(const PLAT_event& ev);
// A mouse press; force 1 closes the current sub-window (not 0 and not 995..999).
void ZARIRU_handleclick(int force);
// Draws the menu bar and the open menu.
void standard_gui();
// Hover help and cursor for this frame.
void mouse_help_per_wind(int id);

// Ticks of this frame's event wait: 1, 0 with "_use_max_cpu", 10 under the alert.
int ZARIRU_sleep_ticks();
// Size, title slot and suspension of a sub-window id; false for one that is the whole window.
struct ZARIRU_wind_info {
  const char* title;  // literal title, or null when the title is string-table entry `slot`
  int slot;           // -1 when the title stays
  float w, h;
};
bool ZARIRU_wind_table(int id, ZARIRU_wind_info* out);
// Where sub-window id sits in a window of scr_w x scr_h at pixel scale `scale`: its size from the
// table (the whole window for an id that is not in it), centred, its lower-left corner never
// below 0. Returns what ZARIRU_wind_table returns.
bool ZARIRU_wind_rect(int id, int scr_w, int scr_h, float scale, float* x, float* y, float* w, float* h);

// Height of the hover-help box's text area for a help text of len bytes (60..300).
int ZARIRU_help_height(size_t len);

// Frames run so far (tests).
extern int ZARIRU_frame_count;
// Mouse scale and the cursor state of the last frame (tests read them).
extern int ZARIRU_cursor_shown;
