// The in-window folder chooser, for machines with no desktop chooser program: a modal
// sub-window listing the sub-folders of the current folder, with "..", Choose and Cancel.
#include "folder_chooser.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "ogl/draw2d.h"
#include "ogl/text.h"
#include "shell/hl_mnw.h"
#include "widgets/butn.h"
#include "widgets/shown_text.h"

namespace {

constexpr int kRows = 16;
constexpr float kRowStep = 20;

std::string with_slash(std::string s) {
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

bool is_folder(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The parent of a folder path that ends in "/"; "/" stays "/".
std::string parent_of(const std::string& folder) {
  if (folder.size() <= 1) return "/";
  size_t cut = folder.find_last_of('/', folder.size() - 2);
  return cut == std::string::npos ? std::string("/") : folder.substr(0, cut + 1);
}

}  // namespace

std::vector<std::string> ZARIRU_list_folders(const std::string& folder) {
  std::vector<std::string> out;
  DIR* d = opendir(folder.c_str());
  if (!d) return out;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name.empty() || name[0] == '.') continue;
    if (is_folder(with_slash(folder) + name)) out.push_back(name);
  }
  closedir(d);
  std::sort(out.begin(), out.end());
  return out;
}

int ZARIRU_choose_folder_in_window(const std::string& start, std::string& out) {
  std::string folder = with_slash(start.empty() ? std::string("/") : start);
  while (folder != "/" && !is_folder(folder)) folder = parent_of(folder);
  const int back = mnw.wind_id;
  ZARIRU_startwind(998, 0);
  stls[0] = "Choose a folder";
  return_hit = escape_hit = 0;
  std::vector<std::string> names = ZARIRU_list_folders(folder);
  int scroll = 0;
  int result = -1;
  // A quit request (the window closed, TERM, INT) ends the chooser as Cancel would.
  while (mnw.wind_id == 998 && result < 0 && !app_done) {
    const float w = mnw.wind_w, h = mnw.wind_h;
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    BTN_subwin(0, 13, 10, 50, w - 20, h - 110, "", nullptr, nullptr);
    OGL_string(43, 20, h - 45, BTN_path_shown(folder, w - 40), 9999, charset_UI_diff_space, 0);

    std::vector<std::string> rows;
    if (folder != "/") rows.push_back("..");
    rows.insert(rows.end(), names.begin(), names.end());
    const int max_scroll = std::max(0, static_cast<int>(rows.size()) - kRows);
    if (mnw.wheel) {
      scroll -= mnw.wheel;
      mnw.wheel = 0;
    }
    scroll = std::clamp(scroll, 0, max_scroll);
    if (max_scroll > 0) BTN_vert_slider(1, w - 30, 70, h - 80, 0, max_scroll, &scroll);

    std::string go;
    for (int i = 0; i < kRows; ++i) {
      const int r = scroll + i;
      if (r >= static_cast<int>(rows.size())) break;
      const float y = h - 80 - kRowStep * i;
      // Names go through the text layer, not the label syntax: a folder may hold any character.
      if (BTN_action(w / 2 - 10, y, w - 80, 0, 0, "", "-")) go = rows[r];
      OGL_string(43, 40, y - 4, rows[r] == ".." ? std::string("..") : BTN_middle_shown(rows[r] + "/", w - 100), 9999,
                 charset_UI_diff_space, 0);
    }
    if (!go.empty()) {
      folder = go == ".." ? parent_of(folder) : with_slash(folder + go);
      names = ZARIRU_list_folders(folder);
      scroll = 0;
    }
    if (BTN_action(w / 2 - 80, 25, 100, 0, 1, "Cancel", "-") || escape_hit) result = 0;
    if (BTN_action(w / 2 + 80, 25, 100, 0, 1, "Choose", "-") || return_hit) result = 1;
    return_hit = escape_hit = 0;
    if (result < 0) ZARIRU_event_proc();
  }
  if (mnw.wind_id == 998) ZARIRU_startwind(back, 0);
  if (result != 1) return 0;
  out = folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
  return 1;
}
