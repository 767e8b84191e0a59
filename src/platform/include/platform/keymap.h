// Keyboard positions: SDL scancodes to the key codes of the shell's key-code map (a key's place
// on the keyboard, whatever the layout), and the control characters keys carry.
// Stands for: the Mac virtual key codes and the control characters of KeyTranslate.
// Implemented on Linux: a fixed table between SDL scancodes and Mac key codes (both positions on
// the keyboard), the control characters, and typed text to one Latin-1 byte.
// Missing: characters beyond Latin-1 (dropped) and dead-key composition of our own.
#pragma once

// Key code of a scancode; -1 for a key that has none.
int PLAT_scancode_to_keycode(int scancode);
// The scancode of a key code; 0 when none.
int PLAT_keycode_to_scancode(int key_code);
// The control character a key carries whatever the layout (Return 13, keypad Enter 3, Tab 9,
// Backspace 8, Escape 27, Left 28, Right 29, Up 30, Down 31, forward Delete 127), else 0.
int PLAT_keycode_control_char(int key_code);
// The byte of the first character of a typed UTF-8 text: ASCII as it is, U+00A0..U+00FF as
// their Latin-1 byte, anything else 0. *used, when given, receives that character's length in
// bytes (0 at the end of the text).
int PLAT_text_to_byte(const char* utf8, int* used = nullptr);
