// Shared by the open and save screens. While a dialog runs, the screen's per-frame update is
// suspended: the shell's frame hook is wrapped so that each of the dialog's frames first reads
// the back buffer under two rows of the list (the dialog has drawn them, the swap is still to
// come) and writes the report.
#include "demo_dialog.h"

#include <cstdio>

#include "demo_screen.h"
#include "foundation/cmdline.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "widgets/butn.h"
#include "widgets/opensave.h"
#include "widgets/shell_hooks.h"

namespace demo_dialog {
namespace {

bool g_started = false, g_pending = true, g_open = false;
int g_runs = 0, g_result = -1;
std::string g_path;
std::string g_centre_row, g_row_above;  // mean colours, "r,g,b"
int g_past_list = 0, g_note = 0;         // dark pixels right of the list's scroll bar, on the note line
void (*g_shell_frame)() = nullptr;

// Mean colour of a band of a list row right of the names: x 200 .. 290, 8 pixels high.
std::string row_colour(float y) {
  const std::vector<unsigned char> px = demo_back_pixels(200, y, 90, 8);
  long sum[3] = {0, 0, 0};
  for (size_t i = 0; i + 2 < px.size(); i += 3)
    for (int c = 0; c < 3; ++c) sum[c] += px[i + static_cast<size_t>(c)];
  const long n = static_cast<long>(px.size() / 3);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%ld,%ld,%ld", n ? sum[0] / n : 0, n ? sum[1] / n : 0, n ? sum[2] / n : 0);
  return buf;
}

void dialog_frame() {
  g_centre_row = row_colour(176);  // the list's centre row spans y 175 .. 185
  g_row_above = row_colour(186);
  g_past_list = demo_dark_pixels(330, 176, 100, 8);
  g_note = demo_dark_pixels(45, 32, 250, 9);
  demo_report_now();
  if (g_shell_frame) g_shell_frame();
}

}  // namespace

void draw(int open_save) {
  if (!g_started) {
    g_started = true;
    g_path = cmdline.get_option("--demo_start");
  }
  if (g_pending) {
    g_pending = false;
    const std::string type = cmdline.get_option("--demo_type");
    BTN_shell_hooks hooks = BTN_get_shell_hooks();
    g_shell_frame = hooks.run_frame;
    hooks.run_frame = dialog_frame;
    const BTN_shell_hooks shell = BTN_set_shell_hooks(hooks);
    g_open = true;
    g_result = BTN_opensave(open_save, type.empty() ? 0 : std::stoi(type), &g_path);
    g_open = false;
    BTN_set_shell_hooks(shell);
    ++g_runs;
    // The keys that ended the dialog were its own, not this screen's.
    escape_hit = return_hit = delete_hit = 0;
  }
  if (BTN_action(512, 384, 200, 0, 1, "Open again", "-")) g_pending = true;
}

std::vector<std::string> report() {
  return {"runs=" + std::to_string(g_runs), "result=" + std::to_string(g_result), "path=" + g_path,
          std::string("dialog=") + (g_open ? "open" : "closed"), "centre_row=" + g_centre_row,
          "row_above=" + g_row_above, "centre_lit=" + std::to_string(g_centre_row != g_row_above),
          // the folder pop-up: "1" open with its top row in the window, "sliding" on its way there
          std::string("list_open=") +
              (mnw.menu_open != kPopupSlot ? "0" : menu[kPopupSlot].items[0].y2 <= mnw.wind_h ? "1" : "sliding"),
          "past_list_ink=" + std::to_string(g_past_list > 0), "note=" + std::to_string(g_note > 0)};
}

}  // namespace demo_dialog
