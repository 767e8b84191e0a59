// The one-line text field. All text fields share one engine record; the focused field points the
// engine at its own text and box through the globals below, and the call-backs answer from them.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "btn_draw.h"
#include "foundation/records.h"
#include "ogl/colr.h"
#include "ogl/text.h"
#include "widgets/fields.h"
#include "widgets/focus.h"
#include "widgets/ogle.h"

namespace {

// The focused field, as the engine sees it.
int OGLE_x = 0, OGLE_y = 0, OGLE_entry_dx = 0;
std::string* OGLE_input = nullptr;
float OGLE_dx = 0.0f, OGLE_dy = 0.0f;  // scroll offset of the text in its box
int OGLE_edit = 0;                     // the text changed in this call

constexpr int kTextAccept = 500;  // Backspace, Delete, navigation, letters, digits, +/-, printable

void OGLE_GetVisibleBounds(OGLE_Rec*, float b[4]) {
  b[0] = static_cast<float>(OGLE_x);
  b[1] = static_cast<float>(OGLE_y) - 2.0f;
  b[2] = static_cast<float>(OGLE_x + OGLE_entry_dx);
  b[3] = static_cast<float>(OGLE_y) - 2.0f + BTN_text_line_h;
}

void OGLE_SetLogicalHeight(OGLE_Rec*, float) {}

void OGLE_ScrollTo(OGLE_Rec*, float off[2]) {
  OGLE_dx = off[0];
  OGLE_dy = off[1];
}

void OGLE_GetText(OGLE_Rec*, const char** first, const char** end) {
  static const char empty = 0;
  if (!OGLE_input) {
    *first = *end = &empty;
    return;
  }
  *first = OGLE_input->data();
  *end = OGLE_input->data() + OGLE_input->size();
}

void OGLE_ReplaceTextFunc(OGLE_Rec*, int start, int end, const char* first, const char* last) {
  OGLE_edit = 1;
  if (!OGLE_input) return;
  // std::string::replace throws on a start past the text.
  const int len = static_cast<int>(OGLE_input->size());
  end = end < 0 ? 0 : (end > len ? len : end);
  start = start < 0 ? 0 : (start > end ? end : start);
  const size_t s = static_cast<size_t>(start), n = static_cast<size_t>(end - start);
  if (first == last || !first || !last) OGLE_input->erase(s, n);
  else OGLE_input->replace(s, n, first, static_cast<size_t>(last - first));
}

float OGLE_GetLineHeight(OGLE_Rec*) { return BTN_text_line_h; }

float char_w(char c) { return static_cast<float>(OGL_char_width(static_cast<unsigned char>(c))); }

float OGLE_MeasureString(OGLE_Rec*, const char* first, const char* end) {
  float w = 0.0f;
  for (const char* p = first; p < end; ++p) w += char_w(*p);
  return w;
}

// At least 1024 pixels beyond the box and always wider than the whole text: a one-line field
// never wraps (it draws one line), it scrolls sideways instead.
void OGLE_GetLogicalBounds(OGLE_Rec* rec, float b[4]) {
  const char* first = OGLE_input ? OGLE_input->data() : nullptr;
  const float text_w = first ? OGLE_MeasureString(rec, first, first + OGLE_input->size()) : 0.0f;
  const float wrap = std::max(static_cast<float>(OGLE_entry_dx) + 1024.0f, text_w + 1.0f);
  b[0] = static_cast<float>(OGLE_x) - OGLE_dx;
  b[1] = static_cast<float>(OGLE_y) - 2.0f - OGLE_dy;
  b[2] = b[0] + wrap;
  b[3] = static_cast<float>(OGLE_y) + 9.0f - OGLE_dy;
}

int OGLE_FitStringFwd(OGLE_Rec*, const char* first, const char* end, float width) {
  if (first >= end || width <= 0.0f) return 0;
  int n = 0;
  for (const char* p = first; p < end; ++p) {
    ++n;
    width -= char_w(*p);
    if (width <= 0.0f) break;
  }
  return n;
}

int OGLE_FitStringRev(OGLE_Rec*, const char* first, const char* end, float width) {
  int n = 0;
  for (const char* p = end; p > first;) {
    --p;
    ++n;
    width -= char_w(*p);
    if (width <= 0.0f) break;
  }
  return n;
}

// The engine's position is not used: a one-line field draws from its own origin.
void OGLE_DrawString(OGLE_Rec*, const char* first, const char* end, float, float) {
  btn_draw::text(45, static_cast<float>(OGLE_x) - OGLE_dx, static_cast<float>(OGLE_y) - OGLE_dy,
                 std::string(first, end), 9999.0f, charset_UI_diff_space, 0);
}

void OGLE_DrawSelection(OGLE_Rec*, float r[4]) {
  if (r[0] == r[2]) btn_draw::line(45, colr.pulse, r[0], r[1], r[2], r[3]);  // the caret pulses
  else btn_draw::fillrect(8, 1.0f, r[0], r[1], r[2] - r[0], r[3] - r[1]);
}

const char* OGLE_WordBreak(OGLE_Rec*, const char* first, const char* end) {
  const char* p = first;
  while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
  while (p < end && !std::isspace(static_cast<unsigned char>(*p))) ++p;
  return p;
}

const OGLE_Callbacks OGLE_cbs = {
    OGLE_GetVisibleBounds, OGLE_GetLogicalBounds, OGLE_SetLogicalHeight, OGLE_ScrollTo,
    OGLE_GetText,          OGLE_ReplaceTextFunc,  OGLE_GetLineHeight,    OGLE_MeasureString,
    OGLE_FitStringFwd,     OGLE_FitStringRev,     OGLE_DrawString,       OGLE_DrawSelection,
    OGLE_WordBreak};

struct key_ctx {
  OGLE_Rec* rec;
  int max_len;
};

void apply_key(void* p, int chr, int, int flags) {
  const key_ctx* k = static_cast<const key_ctx*>(p);
  const int c = chr & 0xff;
  const bool command = c == OGLE_key_back || (c >= OGLE_key_left && c <= OGLE_key_down);
  if (!command) {
    // Keys without a printable character (Home, End, the page keys, forward Delete) would
    // otherwise put control bytes into the text.
    if (!BTN_printable(c)) return;
    int s = 0, e = 0;
    OGLE_GetSelection(k->rec, &s, &e);
    const int len = OGLE_input ? static_cast<int>(OGLE_input->size()) : 0;
    // A character that would pass the maximum is dropped; what the user typed before stays.
    if (len - (e - s) + 1 > k->max_len) return;
  }
  OGLE_Key(k->rec, static_cast<char>(c), flags & 1);
}

bool in_box(float x0, float x1, float y0, float y1) {
  return mnw.mouse_x >= x0 && mnw.mouse_x <= x1 && mnw.mouse_y >= y0 && mnw.mouse_y <= y1;
}

}  // namespace

int BTN_enterstring(float x, float y, std::string* text, int max_len, std::string label, float width,
                    int take_focus) {
  static OGLE_Rec* ogle = nullptr;
  static int focused_field_id = 0;
  static BTN_key_queue queue;

  const int id = BTN_widget_id(x, y);
  if (!ogle) ogle = OGLE_Create(&OGLE_cbs, nullptr);
  if (max_len < 0) max_len = 0;

  const bool clicked = mnw.menu_open < 0 && mnw.click && in_box(x, x + width, y, y + 8.0f);
  const bool take = clicked || (take_focus && BTN_no_focus_yet());
  const int focused = BTN_register_queue(id, &queue, kTextAccept, take ? 1 : 0);
  OGLE_edit = 0;

  if (focused) {
    OGLE_x = static_cast<int>(x);
    OGLE_y = static_cast<int>(y);
    OGLE_input = text;
    OGLE_entry_dx = static_cast<int>(width);
    const int len = static_cast<int>(text->size());
    if (id != focused_field_id) {
      OGLE_dx = OGLE_dy = 0.0f;
      if (!clicked) OGLE_SetSelection(ogle, 0, len);
    }
    focused_field_id = id;
    // The caller may have changed the text since the last frame.
    OGLE_Repaginate(ogle);
    int s = 0, e = 0;
    OGLE_GetSelection(ogle, &s, &e);
    if (e < 0) {
      s = e = 0;
    } else {
      e = e < len ? e : len;
      s = s < 0 ? 0 : (s < e ? s : e);
    }
    OGLE_SetSelection(ogle, s, e);
    // Only a click in the box places the caret: one elsewhere belongs to another widget.
    if (clicked) OGLE_Click(ogle, mnw.mouse_x, mnw.mouse_y, 0);
    else if (mnw.mouse_held) OGLE_Drag(ogle, mnw.mouse_x, mnw.mouse_y);
  }

  key_ctx k{ogle, max_len};
  BTN_take_keys(id, focused, &queue, apply_key, &k);

  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  BTN_frame1(9, x + width * 0.5f - 2.0f, y + 3.0f, width + 10.0f, 0);
  BTN_util_draw_label(x - 12.0f, y, 0, left, 0);
  BTN_util_draw_label(x + width + 6.0f, y, 2, right, 0);
  btn_draw::scissors(x - 1.0f, y - 3.0f, width + 2.0f, 11.0f);
  if (focused) OGLE_Draw(ogle, 1);
  else btn_draw::text(45, x, y, *text, 9999.0f, charset_UI_diff_space, 0);
  btn_draw::scissors_end();

  // Only a text the caller handed over too long can still be over the maximum here.
  if (OGLE_edit && static_cast<int>(text->size()) > max_len) {
    text->resize(static_cast<size_t>(max_len));
    if (focused) OGLE_Repaginate(ogle);
  }
  return OGLE_edit;
}

int BTN_enterstring(float x, float y, char* text, int max_len, std::string label, float width,
                    int take_focus) {
  if (max_len < 0) max_len = 0;
  std::string s(text, strnlen(text, static_cast<size_t>(max_len)));
  const int r = BTN_enterstring(x, y, &s, max_len, label, width, take_focus);
  if (OGLE_input == &s) OGLE_input = nullptr;  // the copy ends here
  const size_t n = s.size() < static_cast<size_t>(max_len) ? s.size() : static_cast<size_t>(max_len);
  std::memcpy(text, s.data(), n);
  text[n] = 0;
  return r;
}
