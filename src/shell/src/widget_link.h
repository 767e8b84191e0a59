// The widget calls the shell makes (focus ring, frames, buttons), under the shell's own names.
#pragma once
#include <string>

#include "widgets/butn.h"
#include "widgets/focus.h"

inline int shell_dispatch_to_focus(int chr, int vkey, int flags) { return BTN_dispatch_to_focus(chr, vkey, flags); }
inline void shell_unfocus_any() { BTN_unfocus_any(); }
inline void shell_begin_focus_ring() { BTN_begin_focus_ring(); }
inline int shell_zap_boxes(int hilite) { return BTN_zap_boxes(hilite); }
inline void shell_frame1(int style, float x, float y, float w, int col) { BTN_frame1(style, x, y, w, col); }
inline void shell_frame2(int style, float x, float y, float dx, float dy, const std::string& title) {
  BTN_frame2(style, x, y, dx, dy, title);
}
inline void shell_fillwin(int outer, int inner) { BTN_fillwin(outer, inner); }
inline void shell_subwin(float top, int style, float x, float y, float dx, float dy, const std::string& title,
                         float* nx, float* ny) {
  BTN_subwin(top, style, x, y, dx, dy, title, nx, ny);
}
inline void shell_util_element(float x, float y, float sx, float sy, float hw, float hh, int col) {
  BTN_util_element(x, y, sx, sy, hw, hh, col);
}
inline int shell_action(float x, float y, float w, int down, int mode, const std::string& label,
                        const std::string& caption) {
  return BTN_action(x, y, w, down, mode, label, caption);
}
inline int shell_is_int(float x, float y, int* value, int choice, const std::string& label) {
  return BTN_is_int(x, y, value, choice, label);
}

// Gives the widgets the shell's frame, sub-windows and folder chooser (start-up).
void ZARIRU_install_widget_hooks();
