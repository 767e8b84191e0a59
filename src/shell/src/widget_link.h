// The widget calls the shell makes (focus ring, frames, buttons). Declared weak so that a test
// program built without the widget library still links; a missing widget draws nothing.
#pragma once
#include <string>

int BTN_dispatch_to_focus(int chr, int vkey, int flags) __attribute__((weak));
void BTN_unfocus_any() __attribute__((weak));
void BTN_begin_focus_ring() __attribute__((weak));
int BTN_zap_boxes(int hilite) __attribute__((weak));
void BTN_frame1(int style, float x_center, float y_center, float width, int colour) __attribute__((weak));
void BTN_frame2(int style, float x, float y, float dx, float dy, std::string title) __attribute__((weak));
void BTN_fillwin(int outer, int inner) __attribute__((weak));
void BTN_subwin(float top_margin, int style, float x, float y, float dx, float dy, std::string title,
                float* next_x, float* next_y) __attribute__((weak));
void BTN_util_element(float x, float y, float sheet_x, float sheet_y, float half_w, float half_h,
                      int colour) __attribute__((weak));
int BTN_action(float x_center, float y_center, float width, int down, int mode, std::string label,
               std::string caption) __attribute__((weak));
int BTN_is_int(float x, float y, int* value, int choice, std::string label) __attribute__((weak));

inline int shell_dispatch_to_focus(int chr, int vkey, int flags) {
  return BTN_dispatch_to_focus ? BTN_dispatch_to_focus(chr, vkey, flags) : 0;
}
inline void shell_unfocus_any() {
  if (BTN_unfocus_any) BTN_unfocus_any();
}
inline void shell_begin_focus_ring() {
  if (BTN_begin_focus_ring) BTN_begin_focus_ring();
}
inline int shell_zap_boxes(int hilite) { return BTN_zap_boxes ? BTN_zap_boxes(hilite) : 0; }
inline void shell_frame1(int style, float x, float y, float w, int col) {
  if (BTN_frame1) BTN_frame1(style, x, y, w, col);
}
inline void shell_frame2(int style, float x, float y, float dx, float dy, const std::string& title) {
  if (BTN_frame2) BTN_frame2(style, x, y, dx, dy, title);
}
inline void shell_fillwin(int outer, int inner) {
  if (BTN_fillwin) BTN_fillwin(outer, inner);
}
inline void shell_subwin(float top, int style, float x, float y, float dx, float dy, const std::string& title,
                         float* nx, float* ny) {
  if (BTN_subwin) BTN_subwin(top, style, x, y, dx, dy, title, nx, ny);
}
inline void shell_util_element(float x, float y, float sx, float sy, float hw, float hh, int col) {
  if (BTN_util_element) BTN_util_element(x, y, sx, sy, hw, hh, col);
}
inline int shell_action(float x, float y, float w, int down, int mode, const std::string& label,
                        const std::string& caption) {
  return BTN_action ? BTN_action(x, y, w, down, mode, label, caption) : 0;
}
inline int shell_is_int(float x, float y, int* value, int choice, const std::string& label) {
  return BTN_is_int ? BTN_is_int(x, y, value, choice, label) : 0;
}
