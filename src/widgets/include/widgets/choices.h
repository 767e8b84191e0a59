// Choice widgets: the pop-up text list (a button showing the current row that opens the whole
// list in the shell's pop-up menu slot), page tabs, the compass dial, and the two accessors that
// let a list widget read its rows from a vector. Immediate-mode like every widget: each call
// draws, reads this frame's input from `mnw` and updates the caller's variable.
#pragma once
#include <string>
#include <vector>

// ---- Pop-up text list ----

// Rows of a list: at most this many, indices 0 .. BTN_textlist_max_rows - 1.
inline constexpr int BTN_textlist_max_rows = 300;
// Height of one row of the open list.
inline constexpr int BTN_textlist_row_h = 12;

// Splits a list's items text into its rows at every '-' ("a--b" holds an empty row 1, which
// cannot be picked). A '|' in the text, or more than BTN_textlist_max_rows rows, is a fatal alert
// naming the items text and `label`.
std::vector<std::string> BTN_textlist_rows(const std::string& items, const std::string& label);

// The code that ties a list to the shell's pop-up hand-off: trunc(y * 1024 + x). Two lists are
// never drawn at the same place.
int BTN_textlist_code(float x, float y);

// Pop-up list centred on (x, y) whose rows are `items` cut at '-'. *selection is kept within the
// rows. A click on the button opens the list over it, the selected row over the button; the
// shell draws it and takes the pick. 1 in the one call that writes a picked row into *selection.
// An open list that does not fit the sub-window slides into view on its own, a row per frame,
// without touching *selection.
int BTN_textlist(float x, float y, int* selection, std::string items, std::string label);

// ---- Tabs ----

// A 98 x 26 tab of a row of page tabs: centre column * 88 + 53 across and the sub-window height
// - 38 - row * 32 up. A click sets *current = value and returns 1; the tab shows selected while
// *current == value.
int BTN_tab(int column, int row, int* current, int value, std::string label);

// ---- Direction dial ----

// Compass dial centred on (x, y) showing *heading in degrees (0 up, clockwise); while the mouse
// is held within 30 pixels of the centre it sets *heading to the mouse's bearing, 0 .. 360.
// look 0 and any other value pick the two needle sprites.
void plot_dir(float x, float y, float* heading, int look);

// ---- Rows from vectors ----

// Element `index` of the std::vector<std::string> that `vector` points to; "" when the index is
// outside it (or the pointer is null).
std::string BTN_name_from_vector(int index, void* vector);
// Element `index` of the std::vector<int> that `vector` points to; 0 outside it.
int BTN_type_from_vector(int index, void* vector);
