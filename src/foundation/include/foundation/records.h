// The window and input record `mnw` and the renderer record `ren`: program-wide, read by field.
// Both are constructed before main; see records.cpp for their start values.
#pragma once
#include <vector>

// The one application window, its sub-windows, layout and per-frame input. Words that nothing
// uses have no field.
struct mnw_struct {
  int aa_want = 0;            // antialiasing level asked (0 none; 1..4 for 2, 4, 8, 16 samples)
  int aa_got = 0;             // antialiasing level obtained, same scale
  void* pix_format = nullptr;    // pixel format shared by all contexts (unused here)
  void* win = nullptr;           // window 0, the application window (the platform's handle)
  void* win2 = nullptr;          // window 1 on a second monitor; never created here
  void* ctx = nullptr;           // OpenGL context of window 0
  void* ctx2 = nullptr;          // context of window 1 (shares objects with ctx)
  int two_monitors = 0;          // second monitor in use
  int two_windows = 0;           // second window exists
  int wind_shown = 0;            // sub-window shown in window 0
  int wind_id = 0;               // current sub-window: 0 main, 1 EULA, 2 Prefs, 993..999, -1 before the first frame
  int wind_under_mouse = 0;
  int wind_suspends = 0;         // 1 while the current sub-window suspends APP_update
  float wind_x = 0, wind_y = 0;  // origin of the current sub-window in the window
  float wind_w = 0, wind_h = 0;  // size of the current sub-window
  int cursor_mode = 0;           // 0 arrow, 2 hidden, 3..14 sprite cursors
  int menu_open = 0;             // -1 none, 0..1518 a menu-bar menu, 1519 the pop-up slot
  int scr_w = 0, scr_h = 0, scr_depth = 0;  // window size and colour depth in effect
  int depth_switch = 0;
  int tex_res = 0;               // texture resolution setting 0..5
  int req_w = 0, req_h = 0, req_depth = 0;  // requested window size and depth
  float cent_x = 0, cent_y = 0;  // centre of the 1024 x 768 layout
  float off_x = 0, off_y = 0;    // layout offsets
  int fill_screen = 0;
  float ortho_l = 0, ortho_b = 0, ortho_r = 0, ortho_t = 0;  // orthographic bounds
  float pix_scale2 = 0;          // second pixel scale
  float pix_scale = 0;           // pixel scale
  float mouse_x = 0, mouse_y = 0;  // relative to the current sub-window origin, y up
  int click = 0;                 // button pressed this frame
  int quick_click = 0;           // released within 0.25 s of its press, this frame
  int double_click = 0;          // second press within 0.25 s, this frame
  int mouse_up = 0;              // released this frame
  int mouse_held = 0;            // held from press to release
  int long_hold = 0;             // held longer than 0.25 s
  int wheel = 0;                 // wheel steps accumulated
  int key_hit = 0;               // a key went down or repeated this frame
  int key_char = 0;              // character of the last key
  float t_last_move = 0;         // clock time of the last movement or press
  float t_last_press = -1.0e6f;  // clock time of the last press; long before the start: none yet
  int key_held = 0;
  int language = 0;              // 0 English .. 6 Korean
  int keylist_up = 1;            // the "_keylist_up" preference
  int profiling = 0;
  int text_entry = 0;            // text-entry mode for the key handler
  int word_115 = -1;             // -1 from program start; nothing reads it
  int pref_found = 0;            // a preference file was found
};

// Renderer limits and identification, filled once the context exists, plus drawing switches.
struct ren_struct {
  float max_aniso = 0;           // largest anisotropy (1.0 without the extension)
  int max_tex_units = 0;         // texture units, at least 1
  int max_tex_image_units = 0;
  int max_tex_coords = 0;
  const char* vendor = nullptr;  // strings owned by OpenGL
  const char* renderer = nullptr;
  const char* version = nullptr;
  const char* extensions = nullptr;
  int monochrome = 0;            // show every colour as a green intensity
  float global_alpha = 1.0f;     // multiplies the opacity of every primitive
  std::vector<float> spare_f;    // spare lists, released at exit; the installer fills neither
  std::vector<int> spare_i;
};

extern mnw_struct mnw;
extern ren_struct ren;
