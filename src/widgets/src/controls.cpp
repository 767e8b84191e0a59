// The clickable controls: push buttons, check boxes and radio buttons with their adapters for
// other value types, the vertical scroll bar and the horizontal slider. Each call draws, reads
// this frame's mouse from `mnw` and updates the caller's variable.
#include <cmath>
#include <string>

#include "btn_draw.h"
#include "foundation/alert.h"
#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "foundation/xtim.h"
#include "ogl/text.h"
#include "widgets/butn.h"

namespace {

constexpr int kHelpSlot = 1802;

// A click that picks a menu row must not also press the control under it.
bool menu_is_open() { return mnw.menu_open >= 0; }

bool mouse_in(float x0, float x1, float y0, float y1) {
  return mnw.mouse_x >= x0 && mnw.mouse_x <= x1 && mnw.mouse_y >= y0 && mnw.mouse_y <= y1;
}

float clampf(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

void slider_alert(const char* l1, const std::string& l2, int line) {
  __ZARIRU_alert(0, l1, l2, "", "", t_exit, kButnUnit, line);
}

}  // namespace

int BTN_action(float x_center, float y_center, float width, int down, int mode, std::string label,
               std::string caption) {
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  if (width <= 0) width = static_cast<float>(OGL_str_width(label)) + 21.0f;

  BTN_frame1(2, x_center, y_center, width, 0);
  if (down) BTN_frame1(3, x_center, y_center, width, 0);
  BTN_util_draw_label(x_center, y_center - 3.0f, 1, left, (mode == 2 && down) ? 1 : 0);
  if (caption != "-" && !caption.empty())
    btn_draw::text(45, x_center + width / 2.0f + 10.0f, y_center + 7.0f, caption, 500.0f,
                   charset_UI_diff_space, 0);

  if (!menu_is_open() && mnw.click &&
      mouse_in(x_center - width / 2.0f, x_center + width / 2.0f, y_center - 10.0f, y_center + 10.0f)) {
    if (down == 0 && mode != 0) {
      // Show the pressed button for one frame: the action that follows may take a while.
      BTN_frame1(3, x_center, y_center, width, 0);
      BTN_util_draw_label(x_center, y_center - 3.0f, 1, left, 0);
      btn_draw::swap();
    }
    return 1;
  }
  return 0;
}

int BTN_bool(float x, float y, int* value, std::string label, int radio) {
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);

  const float sx = radio ? 83.0f : 139.0f;
  const float sy = radio ? 123.0f : 178.0f;
  const float x0 = x - 9.0f, y0 = y + 3.0f - 9.0f;
  btn_draw::sprite(0, x0, y0, x0 + 18, y0 + 18, sx, sy, sx + 18, sy + 18);
  if (*value) btn_draw::sprite(0, x0, y0, x0 + 18, y0 + 18, sx, sy + 19, sx + 18, sy + 37);

  BTN_util_draw_label(x - 12.0f, y, 0, left, 0);
  BTN_util_draw_label(x + 12.0f, y, 2, right, 0);

  if (!menu_is_open() && mouse_in(x - 8.0f, x + 8.0f, y - 4.0f, y + 12.0f)) {
    stls[kHelpSlot] = help;
    if (mnw.click) {
      *value = *value == 0 ? 1 : 0;
      return 1;
    }
  }
  return 0;
}

int BTN_xbol(float x, float y, bool* value, std::string label) {
  int v = *value ? 1 : 0;
  const int r = BTN_bool(x, y, &v, label, 0);
  *value = v != 0;
  return r;
}

int BTN_xchr(float x, float y, char* value, std::string label) {
  int v = static_cast<signed char>(*value);
  const int r = BTN_bool(x, y, &v, label, 0);
  *value = static_cast<char>(v & 0xff);
  return r;
}

int BTN_xbyt(float x, float y, unsigned char* value, std::string label) {
  int v = *value;
  const int r = BTN_bool(x, y, &v, label, 0);
  *value = static_cast<unsigned char>(v & 0xff);
  return r;
}

int BTN_is_int(float x, float y, int* value, int choice, std::string label) {
  int v = *value == choice ? 1 : 0;
  const int r = BTN_bool(x, y, &v, label, 1);
  if (v == 1) *value = choice;
  return r;
}

int BTN_vert_slider(int index, float x, float y_low, float y_high, int min, int max, int* value) {
  static int slider_grabbed[4] = {};

  BTN_frame0(6, x, (y_low + y_high) / 2.0f, y_high - y_low);
  if (max <= min) return 0;

  const float top = y_high - 10.0f, bottom = y_low + 9.0f;
  const float span = static_cast<float>(max) - static_cast<float>(min);
  float ty = top + (bottom - top) * (static_cast<float>(*value) - static_cast<float>(min)) / span;
  ty = clampf(ty, std::fmin(top, bottom), std::fmax(top, bottom));

  if (index > 3) {
    slider_alert("Too many sliders!", "", 591);
    return 0;
  }
  if (index < 0) {
    stl_global = std::to_string(index);
    slider_alert("Bad slider index!", "index=" + stl_global, 591);
    return 0;
  }
  int& grab = slider_grabbed[index];

  // A new press decides afresh: a grab left over from a press this slider never saw released
  // (it was not drawn then) must not take the new press.
  if (!mnw.mouse_held || mnw.click) grab = 0;
  if (mnw.mouse_held && mouse_in(x - 11.0f, x + 11.0f, ty - 11.0f, ty + 11.0f)) grab = 1;

  if (!grab) {
    if (mnw.click || (mnw.long_hold && xtim.act_tick[tick_5hz])) {
      if (mouse_in(x - 11.0f, x + 11.0f, y_high, y_high + 20.0f)) *value -= 1;
      if (mouse_in(x - 11.0f, x + 11.0f, y_low - 20.0f, y_low)) *value += 1;
      if (mouse_in(x - 11.0f, x + 11.0f, y_low, y_high)) *value += mnw.mouse_y >= ty ? -10 : 10;
    }
  } else {
    const float from = y_high - 11.0f, to = y_low + 11.0f;
    // A track too short for the thumb has no drag range: the value stays.
    if (from > to) {
      const float v = static_cast<float>(min) + span * (mnw.mouse_y - from) / (to - from);
      *value = static_cast<int>(std::trunc(clampf(v, static_cast<float>(min), static_cast<float>(max))));
    }
  }
  if (*value < min) *value = min;
  if (*value > max) *value = max;

  const int col = grab ? 47 : 0;
  btn_draw::sprite(col, x - 9.0f, y_high + 8.0f - 11.0f, x + 9.0f, y_high + 8.0f + 11.0f, 83, 266, 101, 288);
  btn_draw::sprite(col, x - 9.0f, ty - 12.0f, x + 9.0f, ty + 12.0f, 83, 240, 101, 264);
  btn_draw::sprite(col, x - 9.0f, y_low - 10.0f - 11.0f, x + 9.0f, y_low - 10.0f + 11.0f, 83, 216, 101, 238);
  return grab;
}

int BTN_horz_slider(float x, float y, float width, int colour, float min, float max, float* value,
                    int interactive, std::string label, std::string caption) {
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  if (max <= min && min < max + 0.01f) min = max + 0.01f;
  if (max > min && max < min + 0.01f) max = min + 0.01f;

  BTN_frame1(7, x + width / 2.0f, y, width, 0);
  BTN_util_draw_label(x - 8.0f, y, 0, left, 0);
  BTN_util_draw_label(x + width + 8.0f, y, 2, right, 0);
  if (mouse_in(x, x + width, y - 7.0f, y + 7.0f)) stls[kHelpSlot] = help;
  if (!caption.empty())
    btn_draw::text(43, x + width / 2.0f, y + 10.0f, caption, 9999.0f, charset_UI_diff_space, 1);

  const float f = clampf(width * (*value - min) / (max - min), 0.0f, width > 0 ? width : 0.0f);
  const float lo = std::fmin(min, max), hi = std::fmax(min, max);

  int result = 0;
  if (interactive && mnw.mouse_held &&
      mouse_in(x - 20.0f, x + width + 20.0f, y - 20.0f, y + 20.0f)) {
    // A track without length has no position to map the mouse to: the value stays.
    if (width > 0) *value = clampf(lo + (hi - lo) * (mnw.mouse_x - x) / width, lo, hi);
    result = 1;
  }

  if (colour != 12 && f > 0) {
    const float w = 2.0f * std::round(std::trunc(f) / 2.0f);
    BTN_frame1(8, x + w / 2.0f, y + 4.0f, w, colour);
  }
  if (interactive) {
    const float tx = clampf(x + width * (*value - lo) / (hi - lo), x, x + (width > 0 ? width : 0.0f));
    btn_draw::sprite(0, tx - 10.0f, y + 2.0f - 11.0f, tx + 10.0f, y + 2.0f + 11.0f, 262, 267, 282, 289);
  }
  return result;
}
