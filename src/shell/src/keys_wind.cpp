// The key-assignment screen: the list of bindings with their keys, a button that adds one, and
// the command tree to pick the selected binding's command from. Drawn each frame it is called.
#include <algorithm>

#include "foundation/cmnd.h"
#include "foundation/records.h"
#include "ogl/text.h"
#include "shell/keys.h"
#include "widgets/butn.h"

namespace {

constexpr int kVisibleRows = 34;
int g_selected = -1;
int g_scroll = 0;
std::string g_group;  // the command-tree folder shown, "" at the top

std::string binding_label(const key_binding& b) {
  std::string mods = keys_class::flag_to_str(b.flags);
  std::string label = mods == "<none>" ? std::string() : mods + " ";
  return label + keys_class::vkey_to_str(b.vkey);
}

}  // namespace

void keys_class::keys_wind() {
  const float w = mnw.wind_w, h = mnw.wind_h;
  float nx = 0, ny = 0;
  BTN_subwin(0, 13, 10, 10, 330, h - 50, "", &nx, &ny);
  BTN_subwin(0, 13, nx, 10, w - nx - 10, 200, "", nullptr, nullptr);
  BTN_subwin(0, 13, nx, 220, (w - nx - 20) / 2, h - 260, "", nullptr, nullptr);
  BTN_subwin(0, 13, nx + (w - nx - 20) / 2 + 10, 220, (w - nx - 20) / 2, h - 260, "", nullptr, nullptr);
  OGL_string(43, nx + 10, 190,
             "Select the key you'd like to program from the list on the left of this screen and hit any key you "
             "like! Then select the group above and the item at right to assign some funtion to that keypress!",
             w - nx - 40, charset_UI_diff_space, 0);

  if (BTN_action(170, h - 25, 0, 0, 1, "Add New Key Assignment", "-")) {
    bindings.push_back({0, 0, cmnd.get_cmnd_by_name("sim/operation/none"), 0});
    g_scroll = std::max(0, static_cast<int>(bindings.size()) - kVisibleRows);
  }

  const int n = static_cast<int>(bindings.size());
  const int max_scroll = std::max(0, n - kVisibleRows);
  g_scroll = std::clamp(g_scroll, 0, max_scroll);
  if (g_selected >= n) g_selected = -1;
  if (max_scroll > 0) BTN_vert_slider(0, 20, 689 - 20 * (kVisibleRows - 1) - 10, 699, 0, max_scroll, &g_scroll);
  for (int row = 0; row < kVisibleRows; ++row) {
    const int i = g_scroll + row;
    if (i >= n) break;
    const float y = 689 - 20.0f * row;
    if (BTN_action(88, y, 140, i == g_selected, 0, binding_label(bindings[i]), "-"))
      g_selected = (g_selected == i) ? -1 : i;
    const int c = bindings[i].command;
    OGL_string(43, 165, y - 4, c >= 0 && c < cmnd.count() ? cmnd.name[c] : std::string(), 0,
               charset_UI_diff_space, 0);
  }

  if (g_selected < 0) return;
  // A key hit while a row is selected becomes that row's key; no other row keeps the same key.
  if (mnw.key_hit) {
    for (int i = 0; i < n; ++i) {
      if (i != g_selected && bindings[i].vkey == last_vkey && bindings[i].flags == last_flags) {
        bindings[i].vkey = 0;
        bindings[i].flags = 0;
      }
    }
    bindings[g_selected].vkey = last_vkey;
    bindings[g_selected].flags = last_flags;
  }

  std::vector<std::string> entries;
  cmnd.get_cmds_in_path(g_group, entries);
  const float gx = nx + 20, ix = nx + (w - nx - 20) / 2 + 20;
  float gy = h - 60, iy = h - 60;
  if (!g_group.empty()) {
    if (BTN_action(gx + 60, gy, 120, 0, 1, "..", "-")) {
      size_t cut = g_group.find_last_of('/', g_group.size() - 2);
      g_group = cut == std::string::npos ? std::string() : g_group.substr(0, cut + 1);
    }
    gy -= 20;
  }
  for (const std::string& e : entries) {
    if (!e.empty() && e.back() == '/') {
      if (BTN_action(gx + 60, gy, 120, 0, 1, e, "-")) g_group += e;
      gy -= 20;
    } else {
      const int c = cmnd.get_cmnd_by_name(g_group + e);
      if (BTN_action(ix + 60, iy, 120, bindings[g_selected].command == c, 0, e, "-"))
        bindings[g_selected].command = c;
      iy -= 20;
    }
  }
  std::string left, right, help;
  BTN_expand_label("|-custom command, which you can choose!", &left, &right, &help);
  BTN_util_draw_label(ix, iy - 10, 2, right, 0);
}
