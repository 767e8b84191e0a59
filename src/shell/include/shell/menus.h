// The menu table: bar menus, submenus and their rows with rectangles in window pixels, the
// operations that build it, and the menu-file reader. Slot 1519 is the pop-up list.
#pragma once
#include <string>

#include "foundation/shell_state.h"

void ZARIRU_clear_menus(int mode);  // mode 1: 1520 cleared menus; other modes nothing
void ZARIRU_clear_menu(int m);
void ZARIRU_clear_items(int m);
void ZARIRU_create_menu(int m, int parent_code, std::string title);
void ZARIRU_append_menu(int m, int r, int command, std::string text, int latin);
void ZARIRU_remove_menu_item(int m, int r);
float menu_dx(std::string text);      // width in the menu font, no margin
float menu_dx_latin(const std::string& text);  // the Latin widths whatever the language
void ZARIRU_read_menus(std::string prefix, std::string file);
// The menu folder of a language ("menus/english/" ...), empty for an unknown one.
std::string ZARIRU_menu_folder(int language);
void ZARIRU_load_mxy(void* window, int x, int y);
int accept_item(int r);
