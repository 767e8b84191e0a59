// The frame loop: one frame reads the mouse, drains the events, shows what worker threads and
// the texture loader reported, lets the application draw and advance, draws the shell's own
// overlays (hover help, menus) and swaps. Also the sub-window table and the click handler.
#include "shell/hl_mnw.h"

#include <algorithm>
#include <cmath>

#include "foundation/alert.h"
#include "foundation/exce.h"
#include "foundation/globals.h"
#include "foundation/xtim.h"
#include "ogl/draw2d.h"
#include "ogl/text.h"
#include "platform/window.h"
#include "shell/keys.h"
#include "shell/menus.h"
#include "tex/tman.h"
#include "widgets/butn.h"
#include "widgets/focus.h"

int ZARIRU_frame_count = 0;
int ZARIRU_cursor_shown = 1;

namespace {

APP_update_fn g_update = nullptr;
APP_handlemenu_fn g_handlemenu = nullptr;
mov_per_frame_fn g_movie = nullptr;
int win_started = 0;
int g_prev_sprite_cursor = 0;
const char kMnwSource[] = "DUdurid/GenC/hl_mnw";

bool in_rect(float x, float y, int x1, int y1, int x2, int y2) {
  return x1 <= x && x <= x2 && y1 <= y && y <= y2;
}

// A rectangle with no extent (a cleared menu, the pop-up slot's title) takes no clicks.
bool live_rect(int x1, int y1, int x2, int y2) { return x1 < x2 && y1 < y2; }

bool selectable(const item_struct& it) { return !it.text.empty() && it.text[0] != '-' && it.text[0] != '='; }

float scale() { return mnw.pix_scale > 0 ? mnw.pix_scale : 1.0f; }

void show_cursor(int show) {
  if (show == ZARIRU_cursor_shown) return;
  ZARIRU_cursor_shown = show;
  PLAT_show_cursor(show);
}

void report_texture_failures() {
  if (tman.has_scene_load_fail()) {
    __ZARIRU_alert(0, "Some scenery textures could not be loaded.",
                   "This may be an installation problem or you may have a damaged add-on scenery package.",
                   "Please see the log.txt file for a detailed list of missing files.", "", t_alert, kMnwSource, 1556);
    tman.mute_scene_load_fail();
  }
  if (mnw.wind_id != 0) return;
  if (tman.has_plane_load_fail()) {
    __ZARIRU_alert(0, "Some textures for the aircraft you selected could not be loaded.",
                   "This may be an installation problem or you may have a damaged add-on aircraft package.",
                   "Please see the log.txt file for a detailed list of missing files.", "", t_alert, kMnwSource, 1557);
    tman.mute_plane_load_fail();
  }
  if (mnw.wind_id != 0) return;
  if (tman.has_instl_load_fail()) {
    __ZARIRU_alert(0, "Some textures could not be loaded.",
                   "This may be an installation problem.  Run the installer/updater again to get these missing textures.",
                   "Please see the log.txt file for a detailed list of missing files.", "", t_alert, kMnwSource, 1558);
    tman.mute_instl_load_fail();
  }
}

}  // namespace

void ZARIRU_set_app_callbacks(APP_update_fn update, APP_handlemenu_fn handlemenu) {
  g_update = update;
  g_handlemenu = handlemenu;
}

mov_per_frame_fn ZARIRU_set_movie_hook(mov_per_frame_fn fn) {
  mov_per_frame_fn old = g_movie;
  g_movie = fn;
  return old;
}

int ZARIRU_sleep_ticks() {
  if (mnw.wind_id == 995) return 10;
  return stg[STG_use_max_cpu] ? 0 : 1;
}

bool ZARIRU_wind_table(int id, ZARIRU_wind_info* out) {
  switch (id) {
    case 993: *out = {"Livery", -1, 561, 474}; return true;
    case 994: *out = {nullptr, 613, 600, 300}; return true;
    case 995: *out = {nullptr, 601, 420, 250}; return true;
    case 996: *out = {nullptr, 602, 300, 166}; return true;
    case 997: *out = {nullptr, 602, 700, 146}; return true;
    case 998: *out = {nullptr, 614, 561, 474}; return true;
    case 999: *out = {nullptr, 77, 330, 474}; return true;
    case 1: *out = {"EULA", -1, 500, 300}; return true;
    case 2: *out = {"Prefs", -1, 600, 380}; return true;
    default: return false;
  }
}

bool ZARIRU_wind_rect(int id, int scr_w, int scr_h, float scale, float* x, float* y, float* w, float* h) {
  ZARIRU_wind_info info{};
  const bool sub = ZARIRU_wind_table(id, &info);
  *w = sub ? info.w : static_cast<float>(scr_w);
  *h = sub ? info.h : static_cast<float>(scr_h);
  const float s = scale > 0 ? scale : 1.0f;
  *x = std::max(0.0f, std::trunc(std::round((static_cast<float>(scr_w) - s * *w) / 2.0f) / s));
  *y = std::max(0.0f, std::trunc(std::round((static_cast<float>(scr_h) - s * *h) / 2.0f) / s));
  return sub;
}

void ZARIRU_startwind(int id, int) {
  plot_init_lights = 1;
  mouse_help_per_wind(id);
  OGL_viewport(2);
  float x = 0, y = 0;
  mnw.wind_suspends = ZARIRU_wind_rect(id, mnw.scr_w, mnw.scr_h, scale(), &x, &y, &mnw.wind_w, &mnw.wind_h) ? 1 : 0;
  ZARIRU_wind_info info{};
  if (ZARIRU_wind_table(id, &info)) stls[0] = info.title ? std::string(info.title) : stls[info.slot];
  BTN_unfocus_any();
  mnw.menu_open = -1;
  // A pop-up list belongs to the sub-window it was opened in: it must not open again in the next.
  active_popup_code = select_popup_code = 0;
  mnw.wind_id = id;
  mnw.wind_shown = id;
  mnw.wind_x = x;
  mnw.wind_y = y;
  mnw.mouse_held = 0;
  mnw.click = 0;
  mnw.wheel = 0;
  if (menu.size() > static_cast<size_t>(kPopupSlot)) {
    menu_struct& p = menu[kPopupSlot];
    p.x1 = p.y1 = p.x2 = p.y2 = -1;
  }
}

void ZARIRU_handleclick(int force) {
  const float x = mnw.mouse_x, y = mnw.mouse_y;
  const int id = mnw.wind_id;
  if (id == 0) {
    const int n = std::min<int>(static_cast<int>(menu.size()), kPopupSlot);
    for (int i = 0; i < n; ++i) {
      const menu_struct& m = menu[i];
      if (m.link != -1 && m.link != mnw.menu_open) continue;
      if (!live_rect(m.x1, m.y1, m.x2, m.y2) || !in_rect(x, y, m.x1, m.y1, m.x2, m.y2)) continue;
      mnw.menu_open = (mnw.menu_open == i) ? -1 : i;
      mnw.click = 0;
      return;
    }
  }
  if (id != 0 && !(id >= 995 && id <= 999)) {
    const float w = mnw.wind_w, h = mnw.wind_h;
    const bool band = h - 20 <= y && y <= h;
    const bool corner = band && ((0 <= x && x <= 25) || (w - 25 <= x && x <= w));
    if (corner || force) {
      BTN_zap_boxes(1);
      OGL_sbuff();
      return_hit = 0;
      ZARIRU_startwind(0, force);
      return;
    }
  }
  if (mnw.menu_open < 0 || mnw.menu_open >= static_cast<int>(menu.size())) {
    mnw.menu_open = -1;
    return;
  }
  const menu_struct& open = menu[mnw.menu_open];
  for (size_t r = 0; r < open.items.size(); ++r) {
    const item_struct& it = open.items[r];
    if (!selectable(it) || !in_rect(x, y, it.x1, it.y1, it.x2, it.y2)) continue;
    if (mnw.menu_open == kPopupSlot) {
      popup_menu_select = static_cast<int>(r);
      select_popup_code = active_popup_code;
      active_popup_code = 0;
    } else if (g_handlemenu) {
      g_handlemenu(it.command);
    }
    mnw.menu_open = -1;
    mnw.click = 0;
    return;
  }
  mnw.menu_open = -1;
}

void APL_handlewin(const PLAT_event& ev) {
  switch (ev.what) {
    case PLAT_ev_key_down:
      keys.handle_key_raw(3, ev.message, ev.modifiers);
      mnw.key_hit = 1;
      mnw.key_held = 1;
      break;
    case PLAT_ev_key_up:
      keys.handle_key_raw(4, ev.message, ev.modifiers);
      mnw.key_held = 0;
      break;
    case PLAT_ev_auto_key:
      keys.handle_key_raw(5, ev.message, ev.modifiers);
      mnw.key_hit = 1;
      break;
    case PLAT_ev_mouse_down:
      // The press counts where it happened, even when the mouse moved on since.
      ZARIRU_load_mxy(mnw.win, ev.h, ev.v);
      mnw.click = 1;
      ZARIRU_handleclick(0);
      break;
    case PLAT_ev_mouse_up:
      mnw.mouse_up = 1;
      break;
    case PLAT_ev_update:
      ZARIRU_startwind(mnw.wind_id, 0);
      break;
    case PLAT_ev_wheel:
      mnw.wheel += static_cast<int>(ev.message);
      break;
    case PLAT_ev_quit:
      app_done = 1;
      break;
    default:
      break;
  }
}

void ZARIRU_event_proc() {
  xtim.profile_chart("init", 0);
  return_hit = 0;
  escape_hit = 0;
  delete_hit = 0;
  mnw.click = 0;
  mnw.mouse_up = 0;
  mnw.key_hit = 0;
  if (mnw.wind_id == -1) mnw.wind_id = 0;
  if (!win_started) {
    win_started = 1;
    ZARIRU_startwind(mnw.wind_id, 0);
  }
  xtim.profile_chart("startwin", 0);

  const int ticks = ZARIRU_sleep_ticks();

  int h = 0, v = 0;
  PLAT_get_mouse(&h, &v);
  ZARIRU_load_mxy(mnw.win, h, v);

  // Drain what is pending; at most one bounded wait, and only when nothing is.
  PLAT_pump_events();
  bool waited = false;
  for (;;) {
    PLAT_event ev;
    if (!PLAT_poll_event(&ev)) {
      if (waited) break;
      waited = true;
      if (!PLAT_wait_event(&ev, PLAT_ticks_to_ms(ticks))) break;
    }
    if (ev.what == PLAT_ev_null) break;
    APL_handlewin(ev);
    if (ev.what == PLAT_ev_os) break;
  }
  xtim.profile_chart("event", 0);
  xtim.profile_chart("netlist", 0);

  if (mnw.wind_id == 0) {
    THREAD_check_exception(1);
    if (mnw.wind_id == 0) report_texture_failures();
  }

  xtim.xtim_update();
  keys.run_repeat_keys();
  mnw.cursor_mode = 0;

  if (mnw.menu_open != -1) {
    const int n = std::min<int>(static_cast<int>(menu.size()), kPopupSlot);
    for (int i = 0; i < n; ++i) {
      const menu_struct& m = menu[i];
      if (m.link != -1 || i == mnw.menu_open) continue;
      if (live_rect(m.x1, m.y1, m.x2, m.y2) && in_rect(mnw.mouse_x, mnw.mouse_y, m.x1, m.y1, m.x2, m.y2))
        ZARIRU_handleclick(0);
    }
  }
  xtim.profile_chart("menu", 0);

  BTN_begin_focus_ring();
  if (!mnw.wind_suspends) {
    if (g_update) g_update();
    xtim.first_frame = 0;
  }

  mouse_help_per_wind(mnw.wind_id);
  standard_gui();

  if (!(g_movie && g_movie())) OGL_sbuff();
  xtim.profile_chart("sbuff", 0);
  ++xtim.frame;
  ++ZARIRU_frame_count;
  xtim.profile_chart("oglwork", 0);
  xtim.profile_chart("finish", 1);
}

void standard_gui() {
  const int open = mnw.menu_open;
  if (open < 0 || open >= static_cast<int>(menu.size())) return;
  const bool korean = mnw.language == 6;
  if (open != kPopupSlot) {
    BTN_frame1(0, static_cast<float>(mnw.scr_w) / 2, static_cast<float>(mnw.scr_h) - 9, static_cast<float>(mnw.scr_w), 0);
    const int n = std::min<int>(static_cast<int>(menu.size()), kPopupSlot);
    for (int i = 0; i < n; ++i) {
      const menu_struct& m = menu[i];
      if (m.link != -1 || m.title.empty()) continue;
      OGL_string(38, m.x1 + 10, m.y1 + 6, m.title, 0, korean ? charset_UI_menus_KOR : charset_UI_diff_space, 0);
    }
  }
  const menu_struct& om = menu[open];
  float bx1 = 0, by1 = 0, bx2 = 0, by2 = 0;
  bool any = false;
  for (const item_struct& it : om.items) {
    if (it.text.empty()) continue;
    if (!any) {
      bx1 = it.x1; by1 = it.y1; bx2 = it.x2; by2 = it.y2;
      any = true;
    } else {
      bx1 = std::min<float>(bx1, it.x1);
      by1 = std::min<float>(by1, it.y1);
      bx2 = std::max<float>(bx2, it.x2);
      by2 = std::max<float>(by2, it.y2);
    }
  }
  if (any) {
    by1 -= 2;
    by2 += 2;
  }
  int hover = -1;
  for (size_t r = 0; r < om.items.size(); ++r) {
    const item_struct& it = om.items[r];
    if (selectable(it) && it.x1 <= mnw.mouse_x && mnw.mouse_x <= it.x2 && it.y1 <= mnw.mouse_y &&
        mnw.mouse_y <= it.y2 - 1)
      hover = static_cast<int>(r);
  }
  BTN_frame2(17, bx1, by1, bx2 - bx1, by2 - by1, "");
  OGL_fillrect(36, 0.25f, om.x1, om.y1, om.x2 - om.x1, om.y2 - om.y1);
  if (hover >= 0) {
    const item_struct& it = om.items[hover];
    OGL_fillrect(36, 0.25f, it.x1, it.y1, it.x2 - it.x1, it.y2 - it.y1);
  }
  for (size_t r = 0; r < om.items.size(); ++r) {
    const item_struct& it = om.items[r];
    if (r > 0 && it.x1 != om.items[r - 1].x1) {
      OGL_line(35, 1.0f, it.x1 - 1, by1, it.x1 - 1, by2);
      OGL_line(37, 1.0f, it.x1, by1, it.x1, by2);
    }
    if (it.text.empty()) continue;
    if (it.text[0] == '-') {
      OGL_line(35, 1.0f, it.x1, it.y1 + 1, it.x2, it.y1 + 1);
      OGL_line(37, 1.0f, it.x1, it.y1, it.x2, it.y1);
      continue;
    }
    const float tx = it.x1 + (open == kPopupSlot ? 3 : 18);
    OGL_string(38, tx, it.y1 + 3, it.text, 0, it.tall ? charset_UI_menus_KOR : charset_UI_diff_space, 0);
  }
  for (const menu_struct& sub : menu)
    if (sub.link == open && &sub != &om) BTN_util_element(sub.x2 - 8, sub.y1 + 6, 167, 187, 9, 9, 0);
}

int ZARIRU_help_height(size_t len) {
  const size_t h = (len / 50) * 10 + 20;
  return static_cast<int>(std::clamp<size_t>(h, 60, 300));
}

void mouse_help_per_wind(int id) {
  const std::string& help = stls[1802];
  const float still = xtim.act_time - mnw.t_last_move;
  if (!help.empty() && still > 1.0f) {
    const float h = static_cast<float>(ZARIRU_help_height(help.size()));
    float x = mnw.mouse_x - 415;
    x = std::min(x, static_cast<float>(mnw.scr_w) - mnw.wind_x - 410);
    if (x < 10 - mnw.wind_x) x = 10 - mnw.wind_x;
    float y = mnw.mouse_y + 15;
    y = std::min(y, static_cast<float>(mnw.scr_h) - 20 - mnw.wind_y - h);
    if (y < 10 - mnw.wind_y) y = 10 - mnw.wind_y;
    BTN_frame2(14, x - 10, y - 10, 420, h + 20, "");
    OGL_string(47, x + 3, y + h - 10, help, 394, charset_UI_diff_space, 0);
  }
  stls[1802].clear();
  xtim.profile_chart("help", 0);

  if (still > 10.0f && mnw.wind_id == 0) mnw.cursor_mode = 2;
  if (id >= 993 && id <= 999) mnw.cursor_mode = 0;
  const int mode = mnw.cursor_mode;
  if (mode <= 1) {
    show_cursor(1);
  } else {
    show_cursor(0);
  }
  // Leaving a sprite cursor brings the arrow back.
  if (g_prev_sprite_cursor && mode <= 1) show_cursor(1);
  if (mode == 13 || mode == 14) {
    // Lower-left corners of the 30 x 30 cursor cells of the interface sheet.
    const float cx = mode == 13 ? 440.0f : 472.0f, cy = 60.0f;
    OGL_2dquad_d(392, 38, 1.0f, mnw.mouse_x - 15, mnw.mouse_y - 15, cx / 512.0f, cy / 512.0f, 30, 30,
                 30.0f / 512.0f, 30.0f / 512.0f, 5);
  }
  g_prev_sprite_cursor = mode >= 3 && mode <= 14;
}
