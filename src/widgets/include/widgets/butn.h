// The immediate-mode widget toolkit drawn from the interface sprite sheet (texture 392): bars,
// panels, window backgrounds, close boxes, labels, push buttons, check boxes, radio buttons and
// sliders. Every function draws on each call, reads this frame's input from `mnw` and keeps no
// object between frames; positions are sub-window pixels, y up.
#pragma once
#include <string>

#include "widgets/focus.h"

// ---- Bars and panels ----

// One-row bar centred on (x_center, y_center): style 0 menu bar, 1 window header, 2 button up,
// 3 button down, 4 progress track, 5 progress fill, 7 slider track, 8 slider fill, 9 text box,
// 10 pop-up button. Any other style is a fatal alert.
void BTN_frame1(int style, float x_center, float y_center, float width, int colour);
// Vertical bar (style 6, the scroll-bar track); the centre must be whole numbers.
void BTN_frame0(int style, float x_center, float y_center, float height);
// Nine-slice panel (styles 11..20) around the rectangle (x, y, dx, dy), with its title.
void BTN_frame2(int style, float x, float y, float dx, float dy, std::string title);
// Background of the current sub-window: outer 1 style 11, 0 style 12; inner 1 a header bar,
// 21 nothing, another value an inner panel of that style.
void BTN_fillwin(int outer, int inner);
// A titled panel with layout defaults (negative x, y, dx, dy); writes the cursor for the next
// panel to the right (next_x) and above (next_y). Null cursors are not written.
void BTN_subwin(float top_margin, int style, float x, float y, float dx, float dy, std::string title,
                float* next_x, float* next_y);
// Draws the two close boxes of the current sub-window; 1 when this frame's click is in either.
int BTN_zap_boxes(int hilite);
// One sprite of sheet 392 at its own size: sheet rectangle centred on (sheet_x, sheet_y) with
// half sizes half_w, half_h, drawn centred on (x, y).
void BTN_util_element(float x, float y, float sheet_x, float sheet_y, float half_w, float half_h,
                      int colour);

// ---- Labels: "left|right{Xhelp" ----

// Splits a label into the text left of the widget, right of it and the hover help.
void BTN_expand_label(const std::string& label, std::string* left, std::string* right,
                      std::string* help);
// Draws one label part: align 0 ending at x, 1 centred on x, 2 starting at x; long texts
// break into two lines (not centred ones).
void BTN_util_draw_label(float x, float y, int align, const std::string& text, int hilite);

// ---- Controls ----

// Push button; width <= 0 fits the label. mode 0 plain, 1 flash the pressed look when clicked,
// 2 as 1 and the label highlighted while down. 1 when clicked.
int BTN_action(float x_center, float y_center, float width, int down, int mode, std::string label,
               std::string caption);
// Check box (radio 0) or radio button; toggles *value on a click and returns 1.
int BTN_bool(float x, float y, int* value, std::string label, int radio);
int BTN_xbol(float x, float y, bool* value, std::string label);
int BTN_xchr(float x, float y, char* value, std::string label);
int BTN_xbyt(float x, float y, unsigned char* value, std::string label);
// One radio button of a group sharing *value: a click sets *value = choice.
int BTN_is_int(float x, float y, int* value, int choice, std::string label);
// Vertical scroll bar (index 0..3), min at the top; 1 while its thumb is dragged.
int BTN_vert_slider(int index, float x, float y_low, float y_high, int min, int max, int* value);
// Horizontal slider from x to x + width; colour 12 draws no fill; interactive 0 is a level bar.
// 1 while the held mouse sets the value.
int BTN_horz_slider(float x, float y, float width, int colour, float min, float max, float* value,
                    int interactive, std::string label, std::string caption);

// ---- Drawing seam ----

// One textured quad as the widgets send it: sub-window pixels (x0, y0) lower left to (x1, y1)
// upper right, texture coordinates (s0, t0) to (s1, t1).
struct BTN_quad {
  int tex;
  int colour;
  float x0, y0, x1, y1;
  float s0, t0, s1, t1;
};
// Where the widgets' quads, texts and buffer swaps go instead of OpenGL (tests record them);
// a null member keeps that kind of drawing from happening at all.
struct BTN_draw_sink {
  void (*quad)(void* ctx, const BTN_quad& q) = nullptr;
  // A quad turned about a point: q as it lies unturned, corners the turned (x, y) of its lower
  // left, upper left, upper right and lower right corners.
  void (*turned)(void* ctx, const BTN_quad& q, const float* corners) = nullptr;
  void (*text)(void* ctx, int colour, float x, float y, const std::string& text, float wrap,
               int charset, int align) = nullptr;
  void (*swap)(void* ctx) = nullptr;
  void* ctx = nullptr;
  // Filled rectangle (lower left x, y, size w, h) and line, in sub-window pixels.
  void (*rect)(void* ctx, int colour, float alpha, float x, float y, float w, float h) = nullptr;
  void (*line)(void* ctx, int colour, float alpha, float x1, float y1, float x2, float y2) = nullptr;
  // Clipping to a sub-window rectangle, and its end.
  void (*scissors)(void* ctx, float x, float y, float w, float h) = nullptr;
  void (*scissors_end)(void* ctx) = nullptr;
  // A number drawn one digit per cell; `cells` holds the digits shown, highest first.
  void (*number)(void* ctx, int colour, float x, float y, double value, int digits, int decimals,
                 int charset, const std::string& cells) = nullptr;
};
// Installs a sink; null sends everything to OpenGL again. Returns the previous one.
const BTN_draw_sink* BTN_set_draw_sink(const BTN_draw_sink* sink);
