// The "prefs" screen: the installer's preferences screen as the program runs it. The first frame
// reads the preference file (as the installer's start-up does) and reports what it holds; the
// next opens the modal screen, reported every frame, until the shell closes it. The values are
// saved by the shutdown's preference write (so run without "--fps_test" to have the file).
#include <string>
#include <vector>

#include "demo_screen.h"
#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "installer/front.h"
#include "net/http.h"
#include "shell/hl_mnw.h"
#include "widgets/choices.h"
#include "widgets/focus.h"

namespace {

int g_stage = 0;  // 0 not read yet, 1 read, 2 open, 3 left
mov_per_frame_fn g_next_hook = nullptr;

// Dark pixels of the back buffer, before the swap, along a 40-pixel line across the first row of
// the open list (sub-window x 180..219, y 337): the list's dark panel between the light letters
// of its row, or the light screen.
int g_dark_pixels = -1;

int report_each_frame() {
  g_dark_pixels = demo_dark_pixels(180, 337, 40, 1);
  demo_report_now();
  return g_next_hook ? g_next_hook() : 0;
}

void draw() {
  if (g_stage == 0) {
    installer_reset_stg();
    installer_read_prefs();
    g_stage = 1;
    return;
  }
  if (g_stage == 1) {
    g_stage = 2;
    g_next_hook = ZARIRU_set_movie_hook(report_each_frame);
    handle_prefs();
    ZARIRU_set_movie_hook(g_next_hook);
    g_stage = 3;
  }
}

std::string focus_name() {
  if (focus_id == 0) return "none";
  if (focus_id == BTN_widget_id(85, 40)) return "host";
  if (focus_id == BTN_widget_id(85, 20)) return "port";
  if (focus_id == BTN_widget_id(400, 150)) return "streams";
  return "other";
}

std::vector<std::string> report() {
  const std::vector<std::string> os = BTN_textlist_rows(prefs_os_items, "");
  const int word = stg[STG_target_os];
  const std::string os_name = word >= 1 && word <= static_cast<int>(os.size()) ? os[static_cast<size_t>(word - 1)] : "?";
  static const char* const stages[] = {"start", "read", "open", "left"};
  return {"stage=" + std::string(stages[g_stage]),
          "wind=" + std::to_string(mnw.wind_id),
          "focus=" + focus_name(),
          "list_open=" + std::to_string(mnw.menu_open == kPopupSlot ? 1 : 0),
          "list_dark=" + std::string(g_dark_pixels < 0 ? "?" : g_dark_pixels >= 10 ? "1" : g_dark_pixels <= 3 ? "0" : "some"),
          "target_os=" + os_name,
          "use_max_cpu=" + std::to_string(stg[STG_use_max_cpu]),
          "rename_folder=" + std::to_string(stg[STG_rename_folder]),
          "always_ask_dir=" + std::to_string(stg[STG_always_ask_dir]),
          "stream_count=" + std::to_string(stg[STG_stream_count]),
          "log_actions=" + std::to_string(stg[STG_log_actions]),
          "proxy_host=" + http.proxy_host,
          "proxy_port=" + http.proxy_port,
          "proxy_port_int=" + std::to_string(http.proxy_port_int)};
}

const demo_screen_entry entry({"prefs", draw, report});

}  // namespace
