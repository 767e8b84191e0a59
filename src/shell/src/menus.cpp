// The menu table: bar menus, submenus and rows laid out in window pixels, and the reader of
// menu files. Drawing and picking live with the frame loop.
#include "shell/menus.h"

#include "files/xmap.h"
#include "foundation/alert.h"
#include "foundation/convert.h"
#include "foundation/records.h"
#include "ogl/text.h"

namespace {

float g_bar_x = 0;  // left edge of the next bar title

// The table always has its 1520 entries before anything is written into it.
void ensure_table() {
  if (menu.size() < static_cast<size_t>(kMenuCount)) menu.resize(kMenuCount);
}

bool valid_menu(int m) { return m >= 0 && m < kMenuCount; }

}  // namespace

float menu_dx_latin(const std::string& text) { return static_cast<float>(OGL_str_width(text)); }

float menu_dx(std::string text) {
  if (mnw.language == 6) return 8.0f * static_cast<float>(text.size());
  return menu_dx_latin(text);
}

void ZARIRU_clear_menus(int mode) {
  if (mode != 1) return;
  menu.assign(kMenuCount, menu_struct{});
}

void ZARIRU_clear_menu(int m) {
  if (!valid_menu(m)) return;
  ensure_table();
  menu[m] = menu_struct{};
}

void ZARIRU_clear_items(int m) {
  if (!valid_menu(m)) return;
  ensure_table();
  menu[m].items.clear();
}

void ZARIRU_create_menu(int m, int parent_code, std::string title) {
  if (!valid_menu(m)) {
    ZARIRU_alert(0, "Menu index out of range in create_menu!", "", "", title, t_exit);
    return;
  }
  ensure_table();
  if (title.size() > 40) title.resize(40);
  menu_struct& mu = menu[m];
  mu.title = title;
  float w = menu_dx(title) + 30.0f;
  if (parent_code == 0) {
    mu.link = -1;
    if (m == 0) g_bar_x = 0;
    mu.x1 = static_cast<int16_t>(g_bar_x);
    g_bar_x += w;
    mu.x2 = static_cast<int16_t>(g_bar_x);
    mu.y1 = static_cast<int16_t>(mnw.scr_h - 18);
    mu.y2 = static_cast<int16_t>(mnw.scr_h);
    // "Plugins" takes no room in the bar.
    if (title == "Plugins") g_bar_x -= w;
    else g_bar_x = mu.x2;
  } else {
    int p = parent_code / 300, q = parent_code % 300;
    mu.link = p;
    mu.x1 = mu.y1 = mu.x2 = mu.y2 = 0;
    if (valid_menu(p) && q >= 0 && q < static_cast<int>(menu[p].items.size())) {
      const item_struct& row = menu[p].items[q];
      mu.x1 = row.x1;
      mu.y1 = row.y1;
      mu.x2 = row.x2;
      mu.y2 = row.y2;
    }
  }
}

void ZARIRU_append_menu(int m, int r, int command, std::string text, int latin) {
  if (r < 0 || m < 0) return;
  if (m >= kMenuCount) {
    ZARIRU_alert(0, "Menu index out of range in append_menu!", "", "", text, t_exit);
    return;
  }
  if (r >= kMenuMaxRows) {
    ZARIRU_alert(0, "Item index out of range in append_menu!", "", "", text, t_exit);
    return;
  }
  if (text.size() > 39) {
    ZARIRU_alert(0, "Menu name too long in append_menu!", "", "", text, t_exit);
    return;
  }
  ensure_table();
  menu_struct& mu = menu[m];
  if (static_cast<int>(mu.items.size()) < r + 1) mu.items.resize(r + 1);
  item_struct& it = mu.items[r];
  it.text = text;
  it.command = command;
  it.tall = (mnw.language == 6 && latin == 0) ? 1 : 0;
  int h = it.tall ? 14 : 12;
  if (!text.empty() && text[0] == '-') h = 2;
  if (r > 0) {
    const item_struct& prev = mu.items[r - 1];
    it.y2 = prev.y1;
    it.y1 = static_cast<int16_t>(prev.y1 - h);
    it.x1 = prev.x1;
    it.x2 = prev.x2;
  } else if (mu.link != -1) {
    it.y1 = static_cast<int16_t>(mu.y1 - 2);
    it.y2 = static_cast<int16_t>(mu.y2 - 2);
    it.x1 = mu.x1;
  } else {
    it.y2 = static_cast<int16_t>(mu.y1 - 2);
    it.y1 = static_cast<int16_t>(mu.y1 - h - 2);
    it.x1 = mu.x1;
  }
  float wmax = 0;
  for (int i = 0; i <= r; ++i) {
    float w = menu_dx(mu.items[i].text) + 30.0f;
    if (w > wmax) wmax = w;
  }
  for (int i = 0; i <= r; ++i) {
    mu.items[i].x1 = mu.x1;
    mu.items[i].x2 = static_cast<int16_t>(static_cast<float>(mu.x1) + wmax);
  }
}

void ZARIRU_remove_menu_item(int m, int r) {
  if (r < 0 || m < 0) return;
  if (m >= kMenuCount) {
    ZARIRU_alert(0, "Menu index out of range in append_menu!", "", "", "", t_exit);
    return;
  }
  if (r >= kMenuMaxRows) {
    ZARIRU_alert(0, "Item index out of range in append_menu!", "", "", "", t_exit);
    return;
  }
  ensure_table();
  std::vector<item_struct>& rows = menu[m].items;
  if (r >= static_cast<int>(rows.size())) return;
  int16_t d = static_cast<int16_t>(rows[r].y2 - rows[r].y1);
  rows.erase(rows.begin() + r);
  for (size_t i = static_cast<size_t>(r); i < rows.size(); ++i) {
    rows[i].y1 = static_cast<int16_t>(rows[i].y1 + d);
    rows[i].y2 = static_cast<int16_t>(rows[i].y2 + d);
  }
}

std::string ZARIRU_menu_folder(int language) {
  static const char* const kFolders[] = {"menus/english/", "menus/french/", "menus/german/", "menus/italian/",
                                         "menus/spanish/", "menus/portugese/", "menus/korean/"};
  if (language < 0 || language > 6) return "";
  return kFolders[language];
}

namespace {

// One line of a menu file from the cursor: leading blanks skipped, the line up to CR, LF or
// NUL, then every blank and line end after it.
std::string next_line(xmap_class& f) {
  f.TXT_skip_space();
  const char* b = f.cursor;
  while (f.cursor < f.end && !xmap_class::is_eoln(*f.cursor)) ++f.cursor;
  std::string line(b, f.cursor);
  while (f.cursor < f.end && xmap_class::is_sep(*f.cursor)) ++f.cursor;
  return line;
}

// Splits "code blanks text"; false when the line has no blank after its code.
bool split(const std::string& line, int* code, std::string* text) {
  size_t blank = line.find_first_of(" \t");
  if (blank == std::string::npos) return false;
  *code = str_to_int(line.substr(0, blank));
  size_t rest = line.find_first_not_of(" \t", blank);
  *text = rest == std::string::npos ? std::string() : line.substr(rest);
  return true;
}

}  // namespace

void ZARIRU_read_menus(std::string prefix, std::string file) {
  ZARIRU_clear_menus(2);
  std::string path = prefix + ZARIRU_menu_folder(mnw.language) + file;
  xmap_class f(path);
  static const int kVersions[] = {1, 0};
  if (!f.begin || f.check_file(TFH_TEXT, kVersions, nullptr, nullptr) == 0) {
    ZARIRU_alert(0, "Cannot open file!", path, "Trash this copy and re-install Volarium.", "", t_exit);
    return;
  }
  const bool korean = mnw.language == 6;
  for (int m = 0; f.cursor < f.end; ++m) {
    std::string line = next_line(f);
    if (line.empty()) return;
    int code = 0;
    std::string title;
    if (!split(line, &code, &title)) return;
    if (korean) char_string_to_int_string(&title);
    ZARIRU_create_menu(m, code, title);
    for (int r = 0;; ++r) {
      if (f.cursor >= f.end) return;
      std::string row = next_line(f);
      if (row == "-") break;
      if (row.empty()) return;
      int command = 0;
      std::string text;
      if (!split(row, &command, &text)) return;
      if (korean) char_string_to_int_string(&text);
      ZARIRU_append_menu(m, r, command, text, 0);
    }
  }
}

void ZARIRU_load_mxy(void* window, int x, int y) {
  float scale = mnw.pix_scale > 0 ? mnw.pix_scale : 1.0f;
  mnw.mouse_x = static_cast<float>(x) / scale;
  mnw.mouse_y = static_cast<float>(mnw.scr_h - y) / scale;
  if (mnw.two_windows && mnw.two_monitors && window && window == mnw.win2) {
    mnw.wind_under_mouse = 0;
    mnw.mouse_x += static_cast<float>(mnw.scr_w) / scale;
  } else {
    mnw.wind_under_mouse = mnw.wind_shown;
    mnw.mouse_x -= mnw.wind_x;
    mnw.mouse_y -= mnw.wind_y;
  }
}

int accept_item(int) { return 1; }
