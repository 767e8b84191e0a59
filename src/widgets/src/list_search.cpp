// The scrolling list with type-ahead. It keeps nothing per list but the caller's scroll and
// selection; the letters typed so far are shared by all lists and belong to the one that last
// gained the focus.
#include "widgets/list.h"

#include <cmath>
#include <string>

#include "btn_draw.h"
#include "foundation/records.h"
#include "foundation/xtim.h"
#include "ogl/text.h"
#include "widgets/butn.h"
#include "widgets/fields.h"
#include "widgets/focus.h"

float io_dx = 290.0f;
float io_dy = 220.0f;

namespace {

constexpr int kVkUp = 38, kVkDown = 40;
// Navigation keys, letters, digits, '+' and '-', and the other printable characters.
constexpr int kListAccepts =
    BTN_acc_nav | BTN_acc_letters | BTN_acc_digits | BTN_acc_plusminus | BTN_acc_printable;

BTN_key_queue g_keys;
std::string g_type_ahead;
float g_last_type_ahead = -1.0f;
int g_current_list_id = 0;

struct icon_cols {
  int type;
  float s0, s1;
};
const icon_cols kIcons[] = {{1, 34, 46},    {3, 48, 60},    {4, 62, 74},    {5, 90, 102},
                            {9, 104, 116},  {10, 118, 130}, {11, 132, 144}, {7, 146, 158}};

// Capitals to small letters, ASCII and Latin-1 (the names are shown as Latin-1).
char fold(char ch) {
  const unsigned char c = static_cast<unsigned char>(ch);
  const bool capital = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
  return capital ? static_cast<char>(c + 0x20) : ch;
}

bool begins_with_folded(const std::string& name, const std::string& typed) {
  if (name.size() < typed.size()) return false;
  for (size_t i = 0; i < typed.size(); ++i)
    if (fold(name[i]) != fold(typed[i])) return false;
  return true;
}

int clampi(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Moves scroll so that sel is within rows of it.
void keep_in_view(int sel, int rows, int* scroll) {
  if (sel > *scroll + rows) *scroll = sel - rows;
  if (sel < *scroll - rows) *scroll = sel + rows;
}

struct key_ctx {
  int* scroll;
  int* sel;
  int first, last, rows;
  BTN_list_text_fn name_of;
  void* name_ref;
};

void apply_key(void* p, int chr, int vkey, int) {
  key_ctx& k = *static_cast<key_ctx*>(p);
  if (vkey == kVkDown) {
    *k.sel += 1;
    if (*k.sel > *k.scroll + k.rows) *k.scroll = *k.sel - k.rows;
  } else if (vkey == kVkUp) {
    *k.sel -= 1;
    if (*k.sel < *k.scroll - k.rows) *k.scroll = *k.sel + k.rows;
  } else if (BTN_printable(chr)) {
    const float now = xtim.act_time;
    if (now - g_last_type_ahead > BTN_type_ahead_pause) g_type_ahead.clear();
    g_type_ahead += static_cast<char>(chr);
    g_last_type_ahead = now;
    const int found = BTN_type_ahead_find(g_type_ahead, k.first, k.last, k.name_of, k.name_ref);
    if (found >= 0) {
      *k.sel = found;
      keep_in_view(found, k.rows, k.scroll);
    }
  }
  // Arrows past either end stay on the end item.
  if (k.last >= k.first) *k.sel = clampi(*k.sel, k.first, k.last);
}

}  // namespace

int BTN_list_rows(float height) {
  const int rows = static_cast<int>(std::floor(height / 20.0f)) - 1;
  return rows < 0 ? 0 : rows;
}

bool BTN_list_icon(int type, float* s0, float* s1) {
  for (const icon_cols& c : kIcons)
    if (c.type == type) {
      *s0 = c.s0;
      *s1 = c.s1;
      return true;
    }
  return false;
}

int BTN_type_ahead_find(const std::string& typed, int first, int last, BTN_list_text_fn name_of,
                        void* name_ref) {
  if (!name_of) return -1;
  for (int i = first; i <= last && i >= first; ++i)
    if (begins_with_folded(name_of(i, name_ref), typed)) return i;
  return -1;
}

void BTN_type_ahead_reset() {
  g_type_ahead.clear();
  g_last_type_ahead = -1.0f;
  g_current_list_id = 0;
}

int BTN_list_and_search(int slider_index, float x, float y, float width, float height, int* scroll,
                        int* sel, int first, int last, std::string* text, const std::string& label,
                        BTN_list_text_fn name_of, void* name_ref, BTN_list_text_fn second_of,
                        void* second_ref, BTN_list_type_fn type_of, void* type_ref) {
  x = std::round(x);
  y = std::round(y);
  const float w = width <= 0 ? io_dx : width;
  const float h = height <= 0 ? io_dy : height;
  // A whole half-height keeps the scroll bar's centre on a whole pixel.
  const float half = std::round(h / 2.0f);
  const float y_low = y - half, y_high = y + half;
  const int rows = BTN_list_rows(h);
  const int id = BTN_widget_id(x, y);

  const bool over = mnw.mouse_x >= x && mnw.mouse_x <= x + w && mnw.mouse_y >= y_low && mnw.mouse_y <= y_high;
  const bool clicked = mnw.menu_open < 0 && mnw.click && over;

  const int focused = BTN_register_queue(id, &g_keys, kListAccepts, clicked ? 1 : 0);
  if (focused && id != g_current_list_id) {
    g_type_ahead.clear();
    g_current_list_id = id;
  }
  key_ctx k{scroll, sel, first, last, rows, name_of, name_ref};
  BTN_take_keys(id, focused, &g_keys, apply_key, &k);

  if (text) BTN_enterstring(x + 35, y - 131, text, 36, label, 252, 1);

  if (last < first) return 0;

  BTN_frame2(16, x, y_low, w, 2.0f * half, "");
  if (last > first) BTN_vert_slider(slider_index, std::round(x + w + 16), y_low, y_high, first, last, scroll);

  if (over) {
    *scroll -= mnw.wheel;
    mnw.wheel = 0;
  }
  *scroll = clampi(*scroll, first, last);

  int result = 0;
  if (clicked) {
    *sel = *scroll - static_cast<int>(std::round((mnw.mouse_y - y) / BTN_list_row_h));
    if (mnw.double_click) result = 1;
  }
  *sel = clampi(*sel, first, last);

  // Long names stop at the list's edge, short of the scroll bar.
  btn_draw::scissors(x, y_low, w, 2.0f * half);
  for (int i = -rows; i <= rows; ++i) {
    const int item = *scroll + i;
    if (item < first || item > last) continue;
    const float row_y = y - BTN_list_row_h * static_cast<float>(i);
    btn_draw::text(45, x + 20, row_y - 3, name_of(item, name_ref), 9999.0f, charset_UI_diff_space, 0);
    if (second_of)
      btn_draw::text(45, x + 242, row_y - 3, second_of(item, second_ref), 9999.0f, charset_UI_diff_space, 0);
    float s0 = 0, s1 = 0;
    if (type_of && BTN_list_icon(type_of(item, type_ref), &s0, &s1))
      btn_draw::sprite(0, x + 4, row_y - 6, x + 16, row_y + 6, s0, 82, s1, 94);
    if (item == *sel) btn_draw::fillrect(12, 0.25f, x + 18, row_y - 5, w - 22, 10);
  }
  btn_draw::scissors_end();
  if (focused) btn_draw::framerect(45, 1.0f, x, y_low, w, 2.0f * half);
  return result;
}
