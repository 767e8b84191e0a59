// SDL scancodes to the key codes of the shell's key-code map: both name a key's position on the
// keyboard, so one fixed table serves every layout.
#include "platform/keymap.h"

#include <SDL2/SDL_scancode.h>

namespace {

struct pair_t {
  int scancode;
  int key_code;
};

constexpr pair_t kPairs[] = {
    {SDL_SCANCODE_A, 0x00}, {SDL_SCANCODE_S, 0x01}, {SDL_SCANCODE_D, 0x02}, {SDL_SCANCODE_F, 0x03},
    {SDL_SCANCODE_H, 0x04}, {SDL_SCANCODE_G, 0x05}, {SDL_SCANCODE_Z, 0x06}, {SDL_SCANCODE_X, 0x07},
    {SDL_SCANCODE_C, 0x08}, {SDL_SCANCODE_V, 0x09}, {SDL_SCANCODE_NONUSBACKSLASH, 0x0A},
    {SDL_SCANCODE_B, 0x0B}, {SDL_SCANCODE_Q, 0x0C}, {SDL_SCANCODE_W, 0x0D}, {SDL_SCANCODE_E, 0x0E},
    {SDL_SCANCODE_R, 0x0F}, {SDL_SCANCODE_Y, 0x10}, {SDL_SCANCODE_T, 0x11}, {SDL_SCANCODE_1, 0x12},
    {SDL_SCANCODE_2, 0x13}, {SDL_SCANCODE_3, 0x14}, {SDL_SCANCODE_4, 0x15}, {SDL_SCANCODE_6, 0x16},
    {SDL_SCANCODE_5, 0x17}, {SDL_SCANCODE_EQUALS, 0x18}, {SDL_SCANCODE_9, 0x19},
    {SDL_SCANCODE_7, 0x1A}, {SDL_SCANCODE_MINUS, 0x1B}, {SDL_SCANCODE_8, 0x1C},
    {SDL_SCANCODE_0, 0x1D}, {SDL_SCANCODE_RIGHTBRACKET, 0x1E}, {SDL_SCANCODE_O, 0x1F},
    {SDL_SCANCODE_U, 0x20}, {SDL_SCANCODE_LEFTBRACKET, 0x21}, {SDL_SCANCODE_I, 0x22},
    {SDL_SCANCODE_P, 0x23}, {SDL_SCANCODE_RETURN, 0x24}, {SDL_SCANCODE_L, 0x25},
    {SDL_SCANCODE_J, 0x26}, {SDL_SCANCODE_APOSTROPHE, 0x27}, {SDL_SCANCODE_K, 0x28},
    {SDL_SCANCODE_SEMICOLON, 0x29}, {SDL_SCANCODE_BACKSLASH, 0x2A}, {SDL_SCANCODE_NONUSHASH, 0x2A},
    {SDL_SCANCODE_COMMA, 0x2B}, {SDL_SCANCODE_SLASH, 0x2C}, {SDL_SCANCODE_N, 0x2D},
    {SDL_SCANCODE_M, 0x2E}, {SDL_SCANCODE_PERIOD, 0x2F}, {SDL_SCANCODE_TAB, 0x30},
    {SDL_SCANCODE_SPACE, 0x31}, {SDL_SCANCODE_GRAVE, 0x32}, {SDL_SCANCODE_BACKSPACE, 0x33},
    {SDL_SCANCODE_ESCAPE, 0x35}, {SDL_SCANCODE_KP_PERIOD, 0x41}, {SDL_SCANCODE_KP_MULTIPLY, 0x43},
    {SDL_SCANCODE_KP_PLUS, 0x45}, {SDL_SCANCODE_NUMLOCKCLEAR, 0x47}, {SDL_SCANCODE_KP_DIVIDE, 0x4B},
    {SDL_SCANCODE_KP_ENTER, 0x4C}, {SDL_SCANCODE_KP_MINUS, 0x4E}, {SDL_SCANCODE_KP_EQUALS, 0x51},
    {SDL_SCANCODE_KP_0, 0x52}, {SDL_SCANCODE_KP_1, 0x53}, {SDL_SCANCODE_KP_2, 0x54},
    {SDL_SCANCODE_KP_3, 0x55}, {SDL_SCANCODE_KP_4, 0x56}, {SDL_SCANCODE_KP_5, 0x57},
    {SDL_SCANCODE_KP_6, 0x58}, {SDL_SCANCODE_KP_7, 0x59}, {SDL_SCANCODE_KP_8, 0x5B},
    {SDL_SCANCODE_KP_9, 0x5C}, {SDL_SCANCODE_F5, 0x60}, {SDL_SCANCODE_F6, 0x61},
    {SDL_SCANCODE_F7, 0x62}, {SDL_SCANCODE_F3, 0x63}, {SDL_SCANCODE_F8, 0x64},
    {SDL_SCANCODE_F9, 0x65}, {SDL_SCANCODE_F11, 0x67}, {SDL_SCANCODE_F13, 0x69},
    {SDL_SCANCODE_F14, 0x6B}, {SDL_SCANCODE_F10, 0x6D}, {SDL_SCANCODE_F12, 0x6F},
    {SDL_SCANCODE_F15, 0x71}, {SDL_SCANCODE_HELP, 0x72}, {SDL_SCANCODE_INSERT, 0x72},
    {SDL_SCANCODE_HOME, 0x73}, {SDL_SCANCODE_PAGEUP, 0x74}, {SDL_SCANCODE_DELETE, 0x75},
    {SDL_SCANCODE_F4, 0x76}, {SDL_SCANCODE_END, 0x77}, {SDL_SCANCODE_F2, 0x78},
    {SDL_SCANCODE_PAGEDOWN, 0x79}, {SDL_SCANCODE_F1, 0x7A}, {SDL_SCANCODE_LEFT, 0x7B},
    {SDL_SCANCODE_RIGHT, 0x7C}, {SDL_SCANCODE_DOWN, 0x7D}, {SDL_SCANCODE_UP, 0x7E},
};

}  // namespace

int PLAT_scancode_to_keycode(int scancode) {
  for (const pair_t& p : kPairs)
    if (p.scancode == scancode) return p.key_code;
  return -1;
}

int PLAT_keycode_to_scancode(int key_code) {
  for (const pair_t& p : kPairs)
    if (p.key_code == key_code) return p.scancode;
  return 0;
}

int PLAT_keycode_control_char(int key_code) {
  switch (key_code) {
    case 0x24: return 13;   // Return
    case 0x4C: return 3;    // keypad Enter
    case 0x30: return 9;    // Tab
    case 0x33: return 8;    // Backspace
    case 0x35: return 27;   // Escape
    case 0x7B: return 28;   // Left
    case 0x7C: return 29;   // Right
    case 0x7E: return 30;   // Up
    case 0x7D: return 31;   // Down
    case 0x75: return 127;  // forward Delete
    default: return 0;
  }
}

int PLAT_text_to_byte(const char* utf8, int* used) {
  if (used) *used = 0;
  if (!utf8 || !utf8[0]) return 0;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(utf8);
  if (used) {
    const int lead = s[0] < 0xC0 ? 1 : s[0] < 0xE0 ? 2 : s[0] < 0xF0 ? 3 : 4;
    int n = 1;
    while (n < lead && (s[n] & 0xC0) == 0x80) ++n;
    *used = n;
  }
  if (s[0] < 0x80) return s[0];
  // Two-byte sequences C2 A0 .. C3 BF are U+00A0 .. U+00FF.
  if ((s[0] == 0xC2 || s[0] == 0xC3) && (s[1] & 0xC0) == 0x80) {
    int cp = ((s[0] & 0x1F) << 6) | (s[1] & 0x3F);
    if (cp >= 0xA0 && cp <= 0xFF) return cp;
  }
  return 0;
}
