// The typing widgets of the toolkit: the one-line text field on the text-editing engine, the
// numeric fields edited one digit at a time, the read-only number box and the code field edited
// one character at a time. Immediate-mode like every widget (draw, read this frame's input from
// `mnw`, update the caller's variable) and members of the keyboard focus ring: a click focuses a
// field, Tab moves along the ring, and keys reach the focused field one frame late.
// Labels are "left|right{Xhelp" as for every widget.
#pragma once
#include <string>

// ---- Text field ----

// Line height of the text field.
inline constexpr float BTN_text_line_h = 11.0f;

// One-line text field over x .. x + width, text at y. Focused by a click (caret at the click) or,
// with take_focus, when nothing else holds the focus (whole text selected). Typing never makes the
// text longer than max_len: a character that would is dropped. 1 in the call in which the user
// changed the text.
int BTN_enterstring(float x, float y, std::string* text, int max_len, std::string label, float width,
                    int take_focus);
// The same over a NUL-terminated buffer of at least max_len + 1 bytes; at most max_len
// characters and the NUL are written back.
int BTN_enterstring(float x, float y, char* text, int max_len, std::string label, float width,
                    int take_focus);

// ---- Numeric fields ----
// A field of n cells spans x .. x + 10 n and y - 2 .. y + 8, one digit per cell, with an arrow
// above and below each cell. A click focuses it and puts the edit cell under the mouse; digits
// overwrite the edit cell, Left/Right move it, Up/Down add or take one unit of it, '+' and '-'
// set the sign. Values are limited to min..max and cut to `decimals` places. Each returns 1 in
// a frame in which a key or an arrow click edited the value.

int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float min, float max,
                  std::string label);
// The widest range the cells can show; negative allows the mirrored range below 0.
int BTN_flt(float x, float y, float* value, int digits, int decimals, int negative, std::string label);
// Whole numbers; the caller's value is written only when edited or limited.
int BTN_int(float x, float y, int* value, int digits, int negative, std::string label);
int BTN_int_range(float x, float y, int* value, int digits, float min, float max, std::string label);
// A double that is not edited keeps its full precision.
int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float min, float max,
                  std::string label);
// On the layout grid: the field ends at col * 75 + 75, row * 50 + 25 is its y.
int BTN_fltij(float col, float row, float* value, int digits, int decimals, int negative, std::string label);
int BTN_flt_rangeij(float col, float row, float* value, int digits, int decimals, float min, float max,
                    std::string label);
// The largest value `digits` cells with `decimals` of them after the point can show.
double BTN_field_max(int digits, int decimals);

// A read-only number in a field box.
void BTN_display_number(float x, float y, float value, int digits, int decimals, const std::string& label);

// ---- Code field ----

// The code field's alphabet in its cyclic order: ' ', '0'..'9', 'A'..'Z', '-'.
inline constexpr const char BTN_code_alphabet[] = " 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-";
inline constexpr int BTN_code_symbols = 38;
// Index of a character in the alphabet: lower case as upper case, anything else as '0'.
int BTN_code_index(char c);

// `length` character cells over the caller's buffer (not NUL-terminated by the field). Up and
// Down, and clicks above and below a cell, step the cell's character through the alphabet.
void BTN_chars(float x, float y, char* text, int length, std::string label);
