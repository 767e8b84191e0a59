// The choice widgets: the pop-up text list and its hand-off with the shell's pop-up menu slot,
// page tabs, the compass dial, and the vector accessors that list widgets read rows through.
#include "widgets/choices.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "btn_draw.h"
#include "foundation/alert.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "ogl/text.h"
#include "widgets/butn.h"

namespace {

constexpr int kHelpSlot = 1802;

bool mouse_in(float x0, float x1, float y0, float y1) {
  return mnw.mouse_x >= x0 && mnw.mouse_x <= x1 && mnw.mouse_y >= y0 && mnw.mouse_y <= y1;
}

int16_t px(double v) { return static_cast<int16_t>(std::trunc(v)); }

// The open list's own slide, in rows, so that it fits the sub-window: it belongs to the list
// whose code it names and is forgotten once that list closes. The caller's selection never moves
// for it.
struct open_slide {
  int code = 0;
  int rows = 0;
};
open_slide g_slide;

}  // namespace

std::vector<std::string> BTN_textlist_rows(const std::string& items, const std::string& label) {
  std::vector<std::string> rows(1);
  for (char c : items) {
    if (c == '|') __ZARIRU_alert(0, "Found | char in text string!", items, "", label, t_exit, kButnUnit, 828);
    if (c != '-') {
      rows.back() += c;
      continue;
    }
    if (static_cast<int>(rows.size()) == BTN_textlist_max_rows)
      __ZARIRU_alert(0, "BTN_text_list overflow!", items, "", label, t_exit, kButnUnit, 832);
    rows.emplace_back();
  }
  return rows;
}

int BTN_textlist_code(float x, float y) {
  return static_cast<int>(std::trunc(static_cast<double>(y) * 1024.0 + static_cast<double>(x)));
}

int BTN_textlist(float x, float y, int* selection, std::string items, std::string label) {
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  const std::vector<std::string> rows = BTN_textlist_rows(items, label);
  const int last = static_cast<int>(rows.size()) - 1;

  if (*selection > last) *selection = last;
  if (*selection < 0) *selection = 0;

  int widest = 0;
  for (const std::string& r : rows) widest = std::max(widest, OGL_str_width(r));
  const float w = static_cast<float>(widest);

  BTN_frame1(10, x + 10.0f, y + 5.0f, w + 28.0f, 0);
  BTN_util_draw_label(x - w / 2.0f - 5.0f, y, 0, left, 0);
  BTN_util_draw_label(x + w / 2.0f + 25.0f, y, 2, right, 0);

  const int code = BTN_textlist_code(x, y);
  const bool over_button = mouse_in(x - w / 2.0f - 5.0f, x + w / 2.0f + 25.0f, y - 2.0f, y + 8.0f);
  if (mnw.click && active_popup_code != code && over_button) active_popup_code = code;

  int picked = 0;
  if (select_popup_code == code) {
    *selection = popup_menu_select;
    // A pick can only name a row that exists; anything else is held to the rows like a stale value.
    if (*selection > last) *selection = last;
    if (*selection < 0) *selection = 0;
    select_popup_code = 0;
    picked = 1;
  }

  if (active_popup_code == code) {
    if (g_slide.code != code) g_slide = open_slide{code, 0};
    const int base = *selection + g_slide.rows;
    const float step = static_cast<float>(BTN_textlist_row_h);

    mnw.menu_open = kPopupSlot;
    if (menu.size() <= static_cast<size_t>(kPopupSlot)) menu.resize(kMenuCount);
    menu_struct& m = menu[kPopupSlot];
    m.link = -1;
    m.x1 = static_cast<int16_t>(px(x - w / 2.0f) - 2);
    m.x2 = static_cast<int16_t>(px(x + w / 2.0f) + 4);
    m.y1 = px(static_cast<double>(y) - step * (last - base));
    m.y2 = static_cast<int16_t>(m.y1 + BTN_textlist_row_h + BTN_textlist_row_h * last);
    m.items.assign(rows.size(), item_struct{});
    for (int i = 0; i <= last; ++i) {
      item_struct& it = m.items[static_cast<size_t>(i)];
      it.text = rows[static_cast<size_t>(i)];
      it.tall = 0;
      it.x1 = m.x1;
      it.x2 = m.x2;
      it.y1 = px(static_cast<double>(y) - step * (i - base) - 3.0);
      it.y2 = px(static_cast<double>(y) - step * (i - base) + 9.0);
    }
    // Slide next frame's rows into the sub-window. The top row wins when the list is taller than
    // the sub-window, so that a tall list rests instead of swinging between its two ends.
    const int lowest = m.items.back().y1, highest = m.items.front().y2;
    const float top = mnw.wind_h;
    if (lowest < 0 && static_cast<float>(highest + BTN_textlist_row_h) <= top)
      ++g_slide.rows;
    else if (static_cast<float>(highest) > top)
      --g_slide.rows;
  } else {
    if (g_slide.code == code) g_slide = open_slide{};
    btn_draw::text(38, x, y, rows[static_cast<size_t>(*selection)], 9999.0f, charset_UI_diff_space, 1);
    if (over_button) stls[kHelpSlot] = help;
  }
  return picked;
}

int BTN_tab(int column, int row, int* current, int value, std::string label) {
  const float cx = static_cast<float>(column) * 88.0f + 53.0f;
  const float cy = mnw.wind_h - 38.0f - static_cast<float>(row) * 32.0f;
  int result = 0;
  if (mnw.click && mouse_in(cx - 50.0f, cx + 40.0f, cy - 13.0f, cy + 13.0f)) {
    *current = value;
    result = 1;
  }
  const bool on = *current == value;
  const float sy0 = on ? 486.0f : 459.0f;
  btn_draw::sprite(0, cx - 49.0f, cy - 13.0f, cx + 49.0f, cy + 13.0f, 204.0f, sy0, 302.0f, sy0 + 26.0f);
  btn_draw::text(on ? 41 : 42, cx - 40.0f, cy - 4.0f, label, 9999.0f, charset_UI_diff_space, 0);
  return result;
}

void plot_dir(float x, float y, float* heading, int look) {
  const float ny0 = look == 0 ? 315.0f : 272.0f;
  btn_draw::turned_sprite(0, x, y, 5.0f, 21.0f, -*heading, 156.0f, ny0, 166.0f, ny0 + 42.0f);
  btn_draw::sprite(0, x - 28.0f, y - 29.0f, x + 28.0f, y + 29.0f, 178.0f, 160.0f, 234.0f, 218.0f);
  btn_draw::number(45, x - 14.0f, y - 2.0f, *heading, 3, 0, charset_UI_fixed);

  if (mnw.mouse_held && mouse_in(x - 30.0f, x + 30.0f, y - 30.0f, y + 30.0f)) {
    double deg = std::atan2(static_cast<double>(mnw.mouse_x - x), static_cast<double>(mnw.mouse_y - y)) * (180.0 / M_PI);
    if (deg < 0.0) deg += 360.0;
    if (deg >= 360.0) deg -= 360.0;
    *heading = static_cast<float>(deg);
  }
}

std::string BTN_name_from_vector(int index, void* vector) {
  const auto* v = static_cast<const std::vector<std::string>*>(vector);
  if (!v || index < 0 || static_cast<size_t>(index) >= v->size()) return std::string();
  return (*v)[static_cast<size_t>(index)];
}

int BTN_type_from_vector(int index, void* vector) {
  const auto* v = static_cast<const std::vector<int>*>(vector);
  if (!v || index < 0 || static_cast<size_t>(index) >= v->size()) return 0;
  return (*v)[static_cast<size_t>(index)];
}
