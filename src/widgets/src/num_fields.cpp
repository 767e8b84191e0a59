// Fields edited one cell at a time: the numeric field with its front ends for other value types
// and layouts, the read-only number box and the code field. Values are worked in double: a
// single-precision copy misreads digits and changes large whole numbers by merely being drawn.
#include <cmath>
#include <string>

#include "btn_draw.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "ogl/text.h"
#include "widgets/butn.h"
#include "widgets/fields.h"
#include "widgets/focus.h"

namespace {

constexpr int kHelpSlot = 1802;
constexpr int kNumAccept = 208;   // navigation, digits, '+' and '-'
constexpr int kCodeAccept = 496;  // as above plus letters and other printable characters
constexpr int kVkLeft = 37, kVkUp = 38, kVkRight = 39, kVkDown = 40;
constexpr int kArrowUpCursor = 13, kArrowDownCursor = 14;
constexpr int kMouseCells = 10;  // cells beyond the tenth take keys but no arrow clicks

bool menu_is_open() { return mnw.menu_open >= 0; }

bool mouse_in(float x0, float x1, float y0, float y1) {
  return mnw.mouse_x >= x0 && mnw.mouse_x <= x1 && mnw.mouse_y >= y0 && mnw.mouse_y <= y1;
}

// Half-open, so that a click on the line between two cells changes only one of them.
bool mouse_in_cell(float x, int i) {
  return mnw.mouse_x >= x + 10.0f * i && mnw.mouse_x < x + 10.0f * (i + 1);
}

int wrap_cell(int cell, int n) { return cell < 0 ? n - 1 : (cell >= n ? 0 : cell); }

// Up and down arrow sprites above and below each cell.
void draw_arrows(float x, float y, int cells) {
  for (int i = 0; i < cells; ++i) {
    const float cx = x + 10.0f * i + 6.0f;
    btn_draw::sprite(0, cx - 7.0f, y - 10.0f - 9.0f, cx + 7.0f, y - 10.0f + 9.0f, 83, 178, 97, 196);
    btn_draw::sprite(0, cx - 7.0f, y + 18.0f - 9.0f, cx + 7.0f, y + 18.0f + 9.0f, 83, 197, 97, 215);
  }
}

double pow10(int e) { return std::pow(10.0, e); }

// Value of cell `cell` of a field with `digits` cells, `decimals` of them after the point.
double cell_unit(int digits, int decimals, int cell) { return pow10(digits - decimals - cell - 1); }

// Writes digit c into a cell: the digit of the whole number |v| x 10^decimals is edited, so that
// no decimal is misread on the way.
double set_digit(double v, int digits, int decimals, int cell, int c) {
  const double sign = v < 0 ? -1.0 : 1.0;
  const double scaled = std::fabs(v) * pow10(decimals);
  const int place = digits - 1 - cell;
  if (place < 0 || place > 17) return v;
  if (scaled < 9.0e15) {
    long long n = std::llround(scaled);
    long long unit = 1;
    for (int i = 0; i < place; ++i) unit *= 10;
    const long long cur = (n / unit) % 10;
    n += (c - cur) * unit;
    return sign * static_cast<double>(n) / pow10(decimals);
  }
  const double p = cell_unit(digits, decimals, cell);
  const double a = std::fabs(v);
  const double cur = std::fmod(std::floor(a / p), 10.0);
  return sign * (a + (c - cur) * p);
}

struct num_ctx {
  double* v;
  int digits, decimals;
  double min, max;
  int* hot;
  int edited;
};

void apply_num_key(void* p, int chr, int vkey, int) {
  num_ctx* k = static_cast<num_ctx*>(p);
  int& hot = *k->hot;
  const int n = k->digits;
  switch (vkey) {
    case kVkLeft: hot = wrap_cell(hot - 1, n); k->edited = 1; return;
    case kVkRight: hot = wrap_cell(hot + 1, n); k->edited = 1; return;
    case kVkDown: *k->v -= cell_unit(n, k->decimals, hot); k->edited = 1; return;
    case kVkUp: *k->v += cell_unit(n, k->decimals, hot); k->edited = 1; return;
    default: break;
  }
  if (chr >= '0' && chr <= '9') {
    *k->v = set_digit(*k->v, n, k->decimals, hot, chr - '0');
    hot = wrap_cell(hot + 1, n);
    k->edited = 1;
  } else if (chr == '+' && k->min < 0) {
    *k->v = std::fabs(*k->v);
    k->edited = 1;
  } else if (chr == '-' && k->max >= 0) {
    *k->v = -std::fabs(*k->v);
    k->edited = 1;
  }
}

// The numeric field on a double. *value is limited and cut every frame; 1 when edited.
int num_field(float x, float y, double* value, int digits, int decimals, double min, double max,
              const std::string& label) {
  static int hot_digit = 0;
  static BTN_key_queue queue;
  if (digits < 1) digits = 1;
  if (decimals < 0) decimals = 0;

  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  const int id = BTN_widget_id(x, y);
  const float x1 = x + 10.0f * digits;
  const bool hover = mouse_in(x, x1, y - 2.0f, y + 8.0f);
  if (hover) stls[kHelpSlot] = help;

  int take = 0;
  if (!menu_is_open() && mnw.click && hover) {
    hot_digit = static_cast<int>(std::trunc((mnw.mouse_x - 2.0f - x) / 10.0f));
    take = 1;
  }
  const int focused = BTN_register_queue(id, &queue, kNumAccept, take);
  if (focused) hot_digit = hot_digit < 0 ? 0 : (hot_digit >= digits ? digits - 1 : hot_digit);

  num_ctx k{value, digits, decimals, min, max, &hot_digit, 0};
  BTN_take_keys(id, focused, &queue, apply_num_key, &k);

  if (!menu_is_open() && !hover && mouse_in(x, x1, y - 18.0f, y + 24.0f)) {
    const bool above = mnw.mouse_y > y + 3.0f;
    mnw.cursor_mode = above ? kArrowUpCursor : kArrowDownCursor;
    if (mnw.click) {
      for (int i = 0; i < digits && i < kMouseCells; ++i) {
        if (!mouse_in_cell(x, i)) continue;
        *value += (above ? 1.0 : -1.0) * cell_unit(digits, decimals, i);
        k.edited = 1;
      }
    }
  }

  if (*value < min) *value = min;
  if (*value > max) *value = max;
  const double scale = pow10(decimals);
  const double scaled = *value * scale;
  *value = std::trunc(scaled + (scaled < 0 ? -0.5 : 0.5)) / scale;

  BTN_frame1(9, x + 5.0f * digits - 1.0f, y + 3.0f, 10.0f * digits + 15.0f, 0);
  draw_arrows(x, y, digits);
  BTN_util_draw_label(x - 12.0f, y, 0, left, 0);
  BTN_util_draw_label(x1 + 12.0f, y, 2, right, 0);
  if (focused) btn_draw::fillrect(8, 1.0f, x + 10.0f * hot_digit + 2.0f, y - 2.0f, 9.0f, 11.0f);
  btn_draw::number(45, x + 3.0f, y, *value, digits, decimals, charset_UI_fixed);
  return k.edited;
}

// A whole-number field: the caller's int is written only when the value changed.
int int_field(float x, float y, int* value, int digits, double min, double max, const std::string& label) {
  double v = *value;
  const int r = num_field(x, y, &v, digits, 0, min, max, label);
  const double t = std::trunc(v);
  if (t != static_cast<double>(*value) && t >= -2147483648.0 && t <= 2147483647.0) *value = static_cast<int>(t);
  return r;
}

int float_field(float x, float y, float* value, int digits, int decimals, double min, double max,
                const std::string& label) {
  double v = *value;
  const int r = num_field(x, y, &v, digits, decimals, min, max, label);
  // Limiting and cutting may still change a value nobody typed into.
  const float f = static_cast<float>(v);
  if (f != *value) *value = f;
  return r;
}

}  // namespace

double BTN_field_max(int digits, int decimals) {
  if (digits < 1) digits = 1;
  const double nines = digits <= 10 ? pow10(digits) - 1.0 : pow10(digits - 1) * 9.999999999;
  return nines / pow10(decimals);
}

int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float min, float max,
                  std::string label) {
  return float_field(x, y, value, digits, decimals, min, max, label);
}

int BTN_flt(float x, float y, float* value, int digits, int decimals, int negative, std::string label) {
  const double max = BTN_field_max(digits, decimals);
  return float_field(x, y, value, digits, decimals, negative ? -max : 0.0, max, label);
}

int BTN_int(float x, float y, int* value, int digits, int negative, std::string label) {
  const double max = BTN_field_max(digits, 0);
  return int_field(x, y, value, digits, negative ? -max : 0.0, max, label);
}

int BTN_int_range(float x, float y, int* value, int digits, float min, float max, std::string label) {
  return int_field(x, y, value, digits, min, max, label);
}

int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float min, float max,
                  std::string label) {
  double v = *value;
  const int r = num_field(x, y, &v, digits, decimals, min, max, label);
  if (r) *value = v;
  return r;
}

int BTN_fltij(float col, float row, float* value, int digits, int decimals, int negative, std::string label) {
  return BTN_flt(col * 75.0f + 75.0f - 10.0f * digits, row * 50.0f + 25.0f, value, digits, decimals, negative,
                 label);
}

int BTN_flt_rangeij(float col, float row, float* value, int digits, int decimals, float min, float max,
                    std::string label) {
  return BTN_flt_range(col * 75.0f + 75.0f - 10.0f * digits, row * 50.0f + 25.0f, value, digits, decimals,
                       min, max, label);
}

void BTN_display_number(float x, float y, float value, int digits, int decimals, const std::string& label) {
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  BTN_frame1(9, x + 5.0f * digits - 1.0f, y + 3.0f, 10.0f * digits + 15.0f, 0);
  BTN_util_draw_label(x - 12.0f, y, 0, left, 0);
  BTN_util_draw_label(x + 10.0f * digits + 12.0f, y, 2, right, 0);
  btn_draw::number(45, x + 4.0f, y, value, digits, decimals, charset_UI_fixed);
}

// ---- Code field ----

int BTN_code_index(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u == ' ') return 0;
  if (u >= '0' && u <= '9') return 1 + (u - '0');
  if (u >= 'A' && u <= 'Z') return 11 + (u - 'A');
  if (u >= 'a' && u <= 'z') return 11 + (u - 'a');
  if (u == '-') return 37;
  return 1;
}

namespace {

char code_step(char c, int d) {
  return BTN_code_alphabet[(BTN_code_index(c) + d + BTN_code_symbols) % BTN_code_symbols];
}

struct code_ctx {
  char* text;
  int length;
  int* hot;
};

void apply_code_key(void* p, int chr, int vkey, int) {
  code_ctx* k = static_cast<code_ctx*>(p);
  int& hot = *k->hot;
  char& cell = k->text[hot];
  switch (vkey) {
    case kVkLeft: hot = wrap_cell(hot - 1, k->length); return;
    case kVkRight: hot = wrap_cell(hot + 1, k->length); return;
    case kVkDown: cell = code_step(cell, 1); return;
    case kVkUp: cell = code_step(cell, -1); return;
    default: break;
  }
  const unsigned char c = static_cast<unsigned char>(chr);
  const bool symbol = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                      c == '-' || c == ' ';
  if (!symbol) return;
  cell = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  hot = wrap_cell(hot + 1, k->length);
}

}  // namespace

void BTN_chars(float x, float y, char* text, int length, std::string label) {
  static int hot_digit = 0;
  static BTN_key_queue queue;
  if (length < 1) return;

  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  const int id = BTN_widget_id(x, y);
  const float x1 = x + 10.0f * length;

  int take = 0;
  if (!menu_is_open() && mnw.click && mouse_in(x, x1, y - 2.0f, y + 8.0f)) {
    hot_digit = static_cast<int>(std::trunc((mnw.mouse_x - x) / 10.0f));
    take = 1;
  }
  const int focused = BTN_register_queue(id, &queue, kCodeAccept, take);
  if (focused) hot_digit = hot_digit < 0 ? 0 : (hot_digit >= length ? length - 1 : hot_digit);

  code_ctx k{text, length, &hot_digit};
  BTN_take_keys(id, focused, &queue, apply_code_key, &k);

  BTN_frame1(9, x + 5.0f * length + 1.0f, y + 3.0f, 10.0f * length + 11.0f, 0);
  draw_arrows(x, y, length);
  BTN_util_draw_label(x - 6.0f, y, 0, left, 0);
  if (focused) btn_draw::fillrect(8, 1.0f, x + 10.0f * hot_digit + 2.0f, y - 2.0f, 9.0f, 11.0f);
  for (int i = 0; i < length; ++i)
    btn_draw::text(45, x + 10.0f * i + 2.0f, y, std::string(1, text[i]), 9999.0f, charset_UI_diff_space, 0);

  for (int i = 0; i < length; ++i) {
    if (!mouse_in_cell(x, i)) continue;
    if (mnw.mouse_y >= y - 2.0f && mnw.mouse_y <= y + 8.0f) stls[kHelpSlot] = help;
    if (take || menu_is_open() || !mnw.click || mnw.mouse_y < y - 18.0f || mnw.mouse_y > y + 24.0f) continue;
    const bool above = mnw.mouse_y > y + 3.0f;
    mnw.cursor_mode = above ? kArrowUpCursor : kArrowDownCursor;
    text[i] = code_step(text[i], above ? -1 : 1);
  }
}
