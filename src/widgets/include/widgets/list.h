// The scrolling list with type-ahead: rows of item texts with an optional second column and a
// type icon, a highlighted selection, a scroll bar, the wheel and arrow keys, click to select,
// double click to activate and typed letters to search. The caller owns the items (read through
// callbacks) and the two ints `scroll` (the item at the list's vertical centre) and `sel`.
#pragma once
#include <string>

// Default width and height of a list panel (and of the file dialog's list).
extern float io_dx;
extern float io_dy;

// Rows are this many pixels high.
inline constexpr float BTN_list_row_h = 10.0f;
// Typed letters further apart than this (frame-clock seconds) start a new search.
inline constexpr float BTN_type_ahead_pause = 1.0f;

using BTN_list_text_fn = std::string (*)(int index, void* ref);
using BTN_list_type_fn = int (*)(int index, void* ref);

// Items shown on each side of the centre row for a list of height h (at least 0).
int BTN_list_rows(float height);

// The list with its left edge at x and its vertical centre at y; width <= 0 is io_dx, height <= 0
// io_dy. first .. last are the item indices (last < first: none). With text, a text field
// labelled `label` is drawn under the list. name_of is required; second_of and type_of may be
// null. slider_index picks the scroll bar's own state. 1 in the frame an item was double-clicked.
int BTN_list_and_search(int slider_index, float x, float y, float width, float height, int* scroll,
                        int* sel, int first, int last, std::string* text, const std::string& label,
                        BTN_list_text_fn name_of, void* name_ref, BTN_list_text_fn second_of,
                        void* second_ref, BTN_list_type_fn type_of, void* type_ref);

// Sheet columns (left, right) of a type's 12-pixel icon in rows 82..94; false: no icon.
bool BTN_list_icon(int type, float* s0, float* s1);

// The first index of first .. last whose name begins with typed, letter case ignored; -1 none.
int BTN_type_ahead_find(const std::string& typed, int first, int last, BTN_list_text_fn name_of,
                        void* name_ref);
// Forgets the letters typed so far (tests, and a list screen that starts over).
void BTN_type_ahead_reset();
