// Interface state that the application shell owns and the layers below it (drawing, widgets)
// read or write: the per-frame key flags, the string table, the menu table with its pop-up slot,
// the shell's layout cursor and the lookup tables filled at start-up. Main thread only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Set for one frame when Return or Enter, Escape, or Delete or Backspace was pressed and no
// focused widget took the key; cleared at the start of every frame.
extern int return_hit;
extern int escape_hit;
extern int delete_hit;

// 1 once start-up has made the window, context, textures and palette; the alert draws with
// OpenGL only then.
extern int ogl_inited;
// 1 once a sub-window was started (the start-up message screen draws only then).
extern int plot_init_lights;

// Filled once at start-up: rand() x 2^-31 x 0.9999 for 10000 entries; sine and cosine of whole
// degrees 0..360.
extern float randrat[10000];
extern float lookup_sin[361];
extern float lookup_cos[361];

// The language string table: 2211 numbered slots. Slot 0 is the current sub-window's title,
// 603 the alert button label, 1802 the hover-help text. Slots 1804, 1808 and 1810 hold
// integers; every other slot a text.
struct stls_struct {
  static constexpr int kSlots = 2211;
  std::string& operator[](int i) { return txt[clamp(i)]; }
  const std::string& operator[](int i) const { return txt[clamp(i)]; }
  std::string txt[kSlots];
  int i1804 = 0, i1808 = 0, i1810 = 0;

 private:
  // Out-of-range slots land on a spare text rather than outside the table.
  static int clamp(int i) { return (i >= 0 && i < kSlots) ? i : kSlots - 1; }
};
extern stls_struct stls;

// One row of a menu: y1 is the bottom edge, y2 the top (window pixels, y up).
struct item_struct {
  std::string text;
  int32_t command = 0;
  uint8_t tall = 0;  // 1: Korean two-byte text, 14-pixel row, charset 103
  int16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// One menu: a bar menu (link -1) or a submenu (link = index of the menu holding its row).
struct menu_struct {
  std::string title;
  int32_t link = -1;
  int16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // title rectangle
  std::vector<item_struct> items;
};

constexpr int kMenuCount = 1520;   // after a reset
constexpr int kPopupSlot = 1519;   // the pop-up list's menu
constexpr int kMenuMaxRows = 300;

extern std::vector<menu_struct> menu;

// Pop-up hand-off: the open list button's code, the row picked in slot 1519, and the code of
// the button that the pick belongs to.
extern int active_popup_code;
extern int popup_menu_select;
extern int select_popup_code;

// Layout cursor that screens hand to BTN_subwin.
extern float wx1, wy1;
