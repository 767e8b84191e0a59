// Where every picture element of the built-in images lies: the one layout that the generator
// paints, the text drawing reads and the tests check. Rectangles are in pixels of the image,
// x0/y0 inclusive, x1/y1 exclusive, y counted from the bottom row (the first stored row).
#pragma once

namespace hard_tex {

enum sheet_id { k_sheet = 392, k_panel_art = 393 };

enum sprite_kind {
  sk_bar_dark,        // menu bar, window header bar
  sk_button_up,
  sk_button_down,
  sk_track,           // progress track
  sk_fill,            // progress fill
  sk_slider_track,
  sk_slider_fill,     // tinted by its caller: drawn light
  sk_text_box,
  sk_popup_button,
  sk_vert_track,
  sk_panel_window,    // window background with a dark title band
  sk_panel_window_plain,
  sk_panel_light,
  sk_panel_help,
  sk_panel_dark,
  sk_panel_list,
  sk_panel_menu,
  sk_panel_spare,
  sk_panel_small,
  sk_close_box,
  sk_close_box_hot,
  sk_check_box,
  sk_check_tick,
  sk_radio,
  sk_radio_dot,
  sk_vs_up,
  sk_vs_thumb,
  sk_vs_down,
  sk_hs_thumb,
  sk_field_down,
  sk_field_up,
  sk_tab_on,
  sk_tab_off,
  sk_dial_face,
  sk_needle0,
  sk_needle1,
  sk_list_icon,       // arg: file type
  sk_folder_icon,
  sk_submenu_marker,
  sk_cursor_up,       // sprite cursor 13
  sk_cursor_down,     // sprite cursor 14
  sk_palette,         // the palette swatches
  sk_font,            // the glyph grid
  // installer panel art
  sk_art_button,      // arg: caption index; normal, hover and pressed stacked downwards
  sk_art_logo,
  sk_art_icon,        // arg: icon number
  sk_art_banner
};

struct sprite {
  const char* name;
  int sheet;
  sprite_kind kind;
  int arg;
  int x0, y0, x1, y1;
};

// Captions of the installer's buttons, by sk_art_button arg.
inline constexpr const char* k_button_captions[] = {"Destination", "Install", "Quit", "Decline",
                                                    "Accept"};

inline constexpr sprite k_sprites[] = {
    // One-row bars (the first two reach row 512, which wraps to row 0: row 0 stays clear).
    {"bar 0 menu bar", k_sheet, sk_bar_dark, 0, 1, 487, 101, 512},
    {"bar 1 window header", k_sheet, sk_bar_dark, 1, 102, 487, 202, 512},
    {"bar 2 button up", k_sheet, sk_button_up, 0, 304, 486, 356, 512},
    {"bar 3 button down", k_sheet, sk_button_down, 0, 304, 459, 356, 485},
    {"bar 4 progress track", k_sheet, sk_track, 0, 112, 161, 140, 177},
    {"bar 5 progress fill", k_sheet, sk_fill, 0, 83, 161, 111, 177},
    {"bar 7 slider track", k_sheet, sk_slider_track, 0, 240, 242, 305, 266},
    {"bar 8 slider fill", k_sheet, sk_slider_fill, 0, 289, 219, 305, 235},
    {"bar 9 text box", k_sheet, sk_text_box, 0, 262, 133, 313, 159},
    {"bar 10 pop-up button", k_sheet, sk_popup_button, 0, 357, 488, 425, 512},
    {"frame0 6 scroll track", k_sheet, sk_vert_track, 0, 102, 248, 122, 288},
    // Nine-slice panels.
    {"panel 11 window", k_sheet, sk_panel_window, 11, 1, 358, 101, 458},
    {"panel 12 window plain", k_sheet, sk_panel_window_plain, 12, 102, 358, 202, 458},
    {"panel 13 light", k_sheet, sk_panel_light, 13, 203, 358, 303, 458},
    {"panel 14 hover help", k_sheet, sk_panel_help, 14, 304, 358, 404, 458},
    {"panel 15 dark", k_sheet, sk_panel_dark, 15, 405, 358, 505, 458},
    {"panel 16 list", k_sheet, sk_panel_list, 16, 1, 289, 69, 357},
    {"panel 17 menu", k_sheet, sk_panel_menu, 17, 70, 315, 112, 357},
    {"panel 18 spare", k_sheet, sk_panel_spare, 18, 113, 315, 155, 357},
    {"panel 19 small", k_sheet, sk_panel_small, 19, 440, 12, 484, 56},
    // Small controls.
    {"close box", k_sheet, sk_close_box, 0, 120, 178, 138, 196},
    {"close box lit", k_sheet, sk_close_box_hot, 0, 120, 197, 138, 215},
    {"check box", k_sheet, sk_check_box, 0, 139, 178, 157, 196},
    {"check tick", k_sheet, sk_check_tick, 0, 139, 197, 157, 215},
    {"radio", k_sheet, sk_radio, 0, 83, 123, 101, 141},
    {"radio dot", k_sheet, sk_radio_dot, 0, 83, 142, 101, 160},
    {"scroll up arrow", k_sheet, sk_vs_up, 0, 83, 266, 101, 288},
    {"scroll thumb", k_sheet, sk_vs_thumb, 0, 83, 240, 101, 264},
    {"scroll down arrow", k_sheet, sk_vs_down, 0, 83, 216, 101, 238},
    {"slider thumb", k_sheet, sk_hs_thumb, 0, 262, 267, 282, 289},
    {"field down arrow", k_sheet, sk_field_down, 0, 83, 178, 97, 196},
    {"field up arrow", k_sheet, sk_field_up, 0, 83, 197, 97, 215},
    {"tab selected", k_sheet, sk_tab_on, 0, 204, 486, 302, 512},
    {"tab", k_sheet, sk_tab_off, 0, 204, 459, 302, 485},
    {"dial face", k_sheet, sk_dial_face, 0, 178, 160, 234, 218},
    {"dial needle 0", k_sheet, sk_needle0, 0, 156, 315, 166, 357},
    {"dial needle 1", k_sheet, sk_needle1, 0, 156, 272, 166, 314},
    {"list icon folder", k_sheet, sk_list_icon, 1, 34, 82, 46, 94},
    {"list icon 3", k_sheet, sk_list_icon, 3, 48, 82, 60, 94},
    {"list icon 4", k_sheet, sk_list_icon, 4, 62, 82, 74, 94},
    {"list icon 5", k_sheet, sk_list_icon, 5, 90, 82, 102, 94},
    {"list icon 9", k_sheet, sk_list_icon, 9, 104, 82, 116, 94},
    {"list icon 10", k_sheet, sk_list_icon, 10, 118, 82, 130, 94},
    {"list icon 11", k_sheet, sk_list_icon, 11, 132, 82, 144, 94},
    {"list icon 7", k_sheet, sk_list_icon, 7, 146, 82, 158, 94},
    {"path folder icon", k_sheet, sk_folder_icon, 0, 208, 133, 234, 159},
    {"submenu marker", k_sheet, sk_submenu_marker, 0, 158, 178, 176, 196},
    {"cursor 13 up", k_sheet, sk_cursor_up, 13, 440, 60, 470, 90},
    {"cursor 14 down", k_sheet, sk_cursor_down, 14, 472, 60, 502, 90},
    {"palette column", k_sheet, sk_palette, 0, 316, 64, 323, 159},
    {"palette 44", k_sheet, sk_palette, 1, 392, 112, 399, 119},
    {"font", k_sheet, sk_font, 0, 0, 0, 294, 75},
    // Installer panel art: each button is three images stacked one pixel apart.
    {"button Destination", k_panel_art, sk_art_button, 0, 513, 120, 639, 189},
    {"button Install", k_panel_art, sk_art_button, 1, 640, 120, 723, 189},
    {"button Quit", k_panel_art, sk_art_button, 2, 780, 120, 831, 189},
    {"button Decline", k_panel_art, sk_art_button, 3, 832, 120, 917, 189},
    {"button Accept", k_panel_art, sk_art_button, 4, 918, 120, 977, 189},
    {"logo", k_panel_art, sk_art_logo, 0, 644, 33, 772, 119},
    {"icon 0", k_panel_art, sk_art_icon, 0, 0, 66, 64, 130},
    {"banner", k_panel_art, sk_art_banner, 20, 774, 78, 815, 119},
};

// Sprite cursors of the shell (30 x 30, centred on the mouse): mode -> lower-left corner.
struct cursor_cell {
  int mode, x0, y0;
};
inline constexpr cursor_cell k_cursor_cells[] = {{13, 440, 60}, {14, 472, 60}};

// The interface palette read at start-up: pixel and its exact bytes.
struct palette_pixel {
  int colour_index, x, y;
  unsigned char r, g, b;
};
inline constexpr palette_pixel k_palette[] = {
    {34, 319, 155, 51, 67, 86},    {35, 319, 147, 78, 78, 73},    {36, 319, 139, 13, 27, 44},
    {37, 319, 131, 125, 126, 121}, {38, 319, 123, 255, 255, 255}, {40, 319, 115, 238, 238, 238},
    {41, 319, 107, 13, 27, 44},    {42, 319, 99, 93, 99, 110},    {43, 319, 91, 34, 41, 53},
    {45, 319, 83, 39, 44, 52},     {46, 319, 75, 36, 43, 53},     {47, 319, 67, 127, 220, 175},
    {44, 395, 115, 220, 220, 220},
};

// The glyph grid: 21 x 5 cells of 14 x 15 from (0, 0); baseline on the cell's row 4.
inline constexpr int k_cell_w = 14, k_cell_h = 15, k_cols = 21, k_rows = 5, k_baseline = 4;

// Character of each cell (Latin-1), row by row; 0 for the blank cell (0, 0).
inline constexpr unsigned char k_glyph_map[k_rows][k_cols] = {
    {0, '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'a', 'B', 'b', 'C', 'c', 'D', 'd',
     'E', 'e'},
    {'F', 'f', 'G', 'g', 'H', 'h', 'I', 'i', 'J', 'j', 'K', 'k', 'L', 'l', 'M', 'm', 'N', 'n', 'O',
     'o', 'P'},
    {'p', 'Q', 'q', 'R', 'r', 'S', 's', 'T', 't', 'U', 'u', 'V', 'v', 'W', 'w', 'X', 'x', 'Y', 'y',
     'Z', 'z'},
    {'!', '@', '#', '$', '%', '^', '&', '*', '(', ')', '-', '_', '+', '=', '[', ']', '|', '\\',
     '\'', ':', ';'},
    {'<', '.', '>', ',', '?', '/', '`', 0xFB, 0xC1, 0xE1, 0xC9, 0xE9, 0xCD, 0xED, 0xD3, 0xF3, 0xDA,
     0xFA, 0xD1, 0xF1, 0xBF},
};

// Proportional advance of a Latin-1 byte (0 for bytes without a glyph).
constexpr int glyph_advance(unsigned char c) {
  switch (c) {
    case ',': case '.': return 2;
    case ' ': case '\'': case '/': case ':': case ';': case 'I': case '\\': case '`': case 'i':
    case 'j': case 'l': case '|': case 0xFB: return 3;
    case '!': case '(': case ')': case '-': case 'J': case '[': case ']': case 'f': case 'r':
    case 's': case 't': return 4;
    case 'c': return 5;
    case '#': case '$': case '*': case '?': case 'E': case 'F': case 'L': case 'P': case 'S':
    case 'T': case 'Z': case '^': case '_': case 'a': case 'e': case 'k': case 'v': case 'x':
    case 'y': case 'z': case 0xBF: case 0xC1: case 0xC9: case 0xCD: case 0xD1: case 0xD3:
    case 0xDA: case 0xE1: case 0xE9: case 0xED: case 0xF1: case 0xF3: case 0xFA: return 6;
    case '+': case '<': case '=': case '>': case 'B': case 'C': case 'K': case 'R': case 'V':
    case 'X': case 'Y': case 'b': case 'd': case 'g': case 'h': case 'n': case 'o': case 'p':
    case 'q': case 'u': return 7;
    case '&': case 'A': case 'D': case 'G': case 'H': case 'N': case 'U': return 8;
    case '@': case 'O': case 'Q': case 'w': return 9;
    case 'M': case 'm': return 10;
    case '%': case 'W': return 11;
    default: break;
  }
  if (c >= '0' && c <= '9') return 6;
  return 0;
}

}  // namespace hard_tex
