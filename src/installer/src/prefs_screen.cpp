// The preferences screen: proxy host and port of the download client, the target system and the
// option words of the state block, edited in place in sub-window 2. There is no cancel: what is
// shown is what the shutdown saves.
#include <string>

#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "installer/front.h"
#include "installer/screen_logic.h"
#include "net/http.h"
#include "ogl/draw2d.h"
#include "shell/hl_mnw.h"
#include "widgets/butn.h"
#include "widgets/choices.h"
#include "widgets/fields.h"

namespace {
constexpr int kPrefsWindow = 2;
}  // namespace

void prefs_pass() {
  BTN_fillwin(1, 21);
  BTN_subwin(0, 13, -1, -1, -1, 70, "Proxy (if you are behind a firewall with a Proxy)", &wx1, &wy1);
  BTN_subwin(0, 13, -1, wy1, -1, -1, "General Preferences", nullptr, nullptr);

  int os = stg[STG_target_os] - 1;
  BTN_textlist(200, 310, &os, prefs_os_items,
               "Operating System to download Volarium for:|(Install and copy the entire Volarium folder to "
               "another computer if you like)");
  stg[STG_target_os] = os + 1;

  BTN_bool(30, 265, &stg[STG_use_max_cpu],
           "|run at full speed all the time, always totally saturating the CPU... typically leave this OFF, "
           "since the installer does not need that much CPU to download stuff!",
           0);
  BTN_bool(30, 230, &stg[STG_rename_folder],
           "|re-name the Volsuite folder to the latest version number when done with the update... typically "
           "leave this ON, so the installer can indicate the proper version number!",
           0);
  BTN_bool(30, 190, &stg[STG_always_ask_dir],
           "|always ask you to pick your Volsuite folder on startup... typically leave this OFF, since the "
           "installer will remember your current Volarium folder after the first use.",
           0);
  int manual_streams = stg[STG_stream_count] != 0 ? 1 : 0;
  BTN_bool(30, 150, &manual_streams,
           "|manually set the number of download streams... typically leave this OFF, and the installer will "
           "find the best number of streams for you.",
           0);
  BTN_bool(30, 110, &stg[STG_log_actions],
           "|log installer actions... turn this on to output the installer file downloads and stuff to the "
           "file log.txt.",
           0);

  // 0 is the automatic count; a manual one is held to 1..4 by the field.
  if (manual_streams)
    BTN_int_range(400, 150, &stg[STG_stream_count], 1, 1, 4, "");
  else
    stg[STG_stream_count] = 0;

  BTN_enterstring(85, 40, &http.proxy_host, 65, "-proxy host", 455, 1);
  BTN_enterstring(85, 20, &http.proxy_port, 65, "-proxy port", 455, 1);
  if (!http.proxy_port.empty()) http.proxy_port_int = proxy_port_from_text(http.proxy_port, http.proxy_port_int);
}

void handle_prefs() {
  ZARIRU_startwind(kPrefsWindow, 0);
  if (mnw.wind_id != kPrefsWindow) return;
  for (;;) {
    OGL_plot_back_col();
    prefs_pass();
    ZARIRU_event_proc();
    if (mnw.wind_id != kPrefsWindow) return;
    // A request to quit (window closed, signal) leaves the screen too.
    if (app_done) {
      ZARIRU_startwind(0, 0);
      return;
    }
  }
}
