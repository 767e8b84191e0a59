// Keyboard translation and key bindings: a raw key event becomes a character, a virtual key and
// modifier flags; the focused widget sees it first, then the per-frame flags and the bindings.
#include "shell/keys.h"

#include <array>
#include <cctype>

#include "foundation/cmnd.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "platform/events.h"
#include "shell/hl_mnw.h"
#include "widgets/focus.h"

keys_class keys;

namespace {

struct key_name_row {
  unsigned char vkey;
  const char* code;
  const char* label;
};

// The key-name table, one row per virtual key.
const key_name_row kKeyNameTable[] = {
    {8, "ZRNB_VK_BACK", "Backspace"}, {9, "ZRNB_VK_TAB", "Tab"}, {12, "ZRNB_VK_CLEAR", "Clear"},
    {13, "ZRNB_VK_RETURN", "Return"}, {27, "ZRNB_VK_ESCAPE", "Escape"}, {32, "ZRNB_VK_SPACE", "Space"},
    {33, "ZRNB_VK_PRIOR", "PageUp"}, {34, "ZRNB_VK_NEXT", "PageDown"}, {35, "ZRNB_VK_END", "End"},
    {36, "ZRNB_VK_HOME", "Home"}, {37, "ZRNB_VK_LEFT", "Left"}, {38, "ZRNB_VK_UP", "Up"},
    {39, "ZRNB_VK_RIGHT", "Right"}, {40, "ZRNB_VK_DOWN", "Down"}, {41, "ZRNB_VK_SELECT", "Select"},
    {42, "ZRNB_VK_PRINT", "Print"}, {43, "ZRNB_VK_EXECUTE", "Execute"},
    {44, "ZRNB_VK_SNAPSHOT", "Snapshot"}, {45, "ZRNB_VK_INSERT", "Insert"},
    {46, "ZRNB_VK_DELETE", "Delete"}, {47, "ZRNB_VK_HELP", "Help"},
    {48, "ZRNB_VK_0", "0"}, {49, "ZRNB_VK_1", "1"}, {50, "ZRNB_VK_2", "2"}, {51, "ZRNB_VK_3", "3"},
    {52, "ZRNB_VK_4", "4"}, {53, "ZRNB_VK_5", "5"}, {54, "ZRNB_VK_6", "6"}, {55, "ZRNB_VK_7", "7"},
    {56, "ZRNB_VK_8", "8"}, {57, "ZRNB_VK_9", "9"},
    {65, "ZRNB_VK_A", "A"}, {66, "ZRNB_VK_B", "B"}, {67, "ZRNB_VK_C", "C"}, {68, "ZRNB_VK_D", "D"},
    {69, "ZRNB_VK_E", "E"}, {70, "ZRNB_VK_F", "F"}, {71, "ZRNB_VK_G", "G"}, {72, "ZRNB_VK_H", "H"},
    {73, "ZRNB_VK_I", "I"}, {74, "ZRNB_VK_J", "J"}, {75, "ZRNB_VK_K", "K"}, {76, "ZRNB_VK_L", "L"},
    {77, "ZRNB_VK_M", "M"}, {78, "ZRNB_VK_N", "N"}, {79, "ZRNB_VK_O", "O"}, {80, "ZRNB_VK_P", "P"},
    {81, "ZRNB_VK_Q", "Q"}, {82, "ZRNB_VK_R", "R"}, {83, "ZRNB_VK_S", "S"}, {84, "ZRNB_VK_T", "T"},
    {85, "ZRNB_VK_U", "U"}, {86, "ZRNB_VK_V", "V"}, {87, "ZRNB_VK_W", "W"}, {88, "ZRNB_VK_X", "X"},
    {89, "ZRNB_VK_Y", "Y"}, {90, "ZRNB_VK_Z", "Z"},
    {96, "ZRNB_VK_NUMPAD0", "Numpad-0"}, {97, "ZRNB_VK_NUMPAD1", "Numpad-1"},
    {98, "ZRNB_VK_NUMPAD2", "Numpad-2"}, {99, "ZRNB_VK_NUMPAD3", "Numpad-3"},
    {100, "ZRNB_VK_NUMPAD4", "Numpad-4"}, {101, "ZRNB_VK_NUMPAD5", "Numpad-5"},
    {102, "ZRNB_VK_NUMPAD6", "Numpad-6"}, {103, "ZRNB_VK_NUMPAD7", "Numpad-7"},
    {104, "ZRNB_VK_NUMPAD8", "Numpad-8"}, {105, "ZRNB_VK_NUMPAD9", "Numpad-9"},
    {106, "ZRNB_VK_MULTIPLY", "Numpad-*"}, {107, "ZRNB_VK_ADD", "Numpad-+"},
    {109, "ZRNB_VK_SUBTRACT", "Numpad--"}, {110, "ZRNB_VK_DECIMAL", "Numpad-."},
    {111, "ZRNB_VK_DIVIDE", "Numpad-/"},
    {112, "ZRNB_VK_F1", "F1"}, {113, "ZRNB_VK_F2", "F2"}, {114, "ZRNB_VK_F3", "F3"},
    {115, "ZRNB_VK_F4", "F4"}, {116, "ZRNB_VK_F5", "F5"}, {117, "ZRNB_VK_F6", "F6"},
    {118, "ZRNB_VK_F7", "F7"}, {119, "ZRNB_VK_F8", "F8"}, {120, "ZRNB_VK_F9", "F9"},
    {121, "ZRNB_VK_F10", "F10"}, {122, "ZRNB_VK_F11", "F11"}, {123, "ZRNB_VK_F12", "F12"},
    {124, "ZRNB_VK_F13", "F13"}, {125, "ZRNB_VK_F14", "F14"}, {126, "ZRNB_VK_F15", "F15"},
    {127, "ZRNB_VK_F16", "F16"}, {128, "ZRNB_VK_F17", "F17"}, {129, "ZRNB_VK_F18", "F18"},
    {130, "ZRNB_VK_F19", "F19"}, {131, "ZRNB_VK_F20", "F20"}, {132, "ZRNB_VK_F21", "F21"},
    {133, "ZRNB_VK_F22", "F22"}, {134, "ZRNB_VK_F23", "F23"}, {135, "ZRNB_VK_F24", "F24"},
    {176, "ZRNB_VK_EQUAL", "="}, {177, "ZRNB_VK_MINUS", "-"}, {178, "ZRNB_VK_RBRACE", "]"},
    {179, "ZRNB_VK_LBRACE", "["}, {180, "ZRNB_VK_QUOTE", "'"}, {181, "ZRNB_VK_SEMICOLON", ";"},
    {182, "ZRNB_VK_BACKSLASH", "\\"}, {183, "ZRNB_VK_COMMA", ","}, {184, "ZRNB_VK_SLASH", "/"},
    {185, "ZRNB_VK_PERIOD", "."}, {186, "ZRNB_VK_BACKQUOTE", "`"},
    {187, "ZRNB_VK_ENTER", "Enter"}, {188, "ZRNB_VK_NUMPAD_ENT", "Numpad-Enter"},
    {189, "ZRNB_VK_NUMPAD_EQ", "Numpad-="},
    {0, nullptr, nullptr}};

const key_name_row* find_row(int vkey) {
  for (const key_name_row* r = kKeyNameTable; r->code; ++r)
    if (r->vkey == vkey) return r;
  return nullptr;
}

// Characters of the layout that decide the virtual key of their key.
const unsigned char kMacMappings[][2] = {
    {13, ZRNB_VK_RETURN}, {9, ZRNB_VK_TAB}, {'.', ZRNB_VK_PERIOD}, {' ', ZRNB_VK_SPACE},
    {'a', 65}, {'b', 66}, {'c', 67}, {'d', 68}, {'e', 69}, {'f', 70}, {'g', 71}, {'h', 72}, {'i', 73},
    {'j', 74}, {'k', 75}, {'l', 76}, {'m', 77}, {'n', 78}, {'o', 79}, {'p', 80}, {'q', 81}, {'r', 82},
    {'s', 83}, {'t', 84}, {'u', 85}, {'v', 86}, {'w', 87}, {'x', 88}, {'y', 89}, {'z', 90},
    {']', ZRNB_VK_RBRACE}, {'[', ZRNB_VK_LBRACE}, {'\'', ZRNB_VK_QUOTE}, {';', ZRNB_VK_SEMICOLON},
    {'\\', ZRNB_VK_BACKSLASH}, {',', ZRNB_VK_COMMA}, {'/', ZRNB_VK_SLASH}, {'.', ZRNB_VK_PERIOD},
    {'`', ZRNB_VK_BACKQUOTE}};

struct ascii_row {
  int ch, vkey, shift;
};

std::array<ascii_row, 104> make_ascii() {
  std::array<ascii_row, 104> t{};
  int n = 0;
  auto add = [&](int c, int v, int s) { t[n++] = {c, v, s}; };
  add(13, 13, 0);
  add(27, 27, 0);
  add(9, 9, 0);
  add(8, 8, 0);
  add(28, ZRNB_VK_LEFT, 0);
  add(29, ZRNB_VK_RIGHT, 0);
  add(30, ZRNB_VK_UP, 0);
  add(31, ZRNB_VK_DOWN, 0);
  const char* plain = "=-][';\\,/.`";
  const char* shifted = "+_}{\":|<?>~";
  const char* digit_shift = ")!@#$%^&*(";
  for (int c = 32; c <= 126; ++c) {
    if (c == ' ') add(c, ZRNB_VK_SPACE, 0);
    else if (c >= '0' && c <= '9') add(c, c, 0);
    else if (c >= 'a' && c <= 'z') add(c, c - 32, 0);
    else if (c >= 'A' && c <= 'Z') add(c, c, 1);
    else {
      for (int i = 0; plain[i]; ++i) {
        if (plain[i] == c) add(c, 176 + i, 0);
        if (shifted[i] == c) add(c, 176 + i, 1);
      }
      for (int i = 0; digit_shift[i]; ++i)
        if (digit_shift[i] == c) add(c, 48 + i, 1);
    }
  }
  t[n] = {0, 0, 0};
  return t;
}

const std::array<ascii_row, 104> kAsciiTranslations = make_ascii();

constexpr std::array<unsigned char, 256> make_key_map() {
  std::array<unsigned char, 256> m{};
  const char* letters = "ASDFHGZXCV";
  for (int i = 0; i < 10; ++i) m[i] = static_cast<unsigned char>(letters[i]);
  m[0x0A] = ZRNB_VK_BACKSLASH;
  const char* row2 = "BQWERYT123465";
  for (int i = 0; row2[i]; ++i) m[0x0B + i] = static_cast<unsigned char>(row2[i]);
  m[0x18] = ZRNB_VK_EQUAL;
  m[0x19] = '9';
  m[0x1A] = '7';
  m[0x1B] = ZRNB_VK_MINUS;
  m[0x1C] = '8';
  m[0x1D] = '0';
  m[0x1E] = ZRNB_VK_RBRACE;
  m[0x1F] = 'O';
  m[0x20] = 'U';
  m[0x21] = ZRNB_VK_LBRACE;
  m[0x22] = 'I';
  m[0x23] = 'P';
  m[0x24] = ZRNB_VK_RETURN;
  m[0x25] = 'L';
  m[0x26] = 'J';
  m[0x27] = ZRNB_VK_QUOTE;
  m[0x28] = 'K';
  m[0x29] = ZRNB_VK_SEMICOLON;
  m[0x2A] = ZRNB_VK_BACKSLASH;
  m[0x2B] = ZRNB_VK_COMMA;
  m[0x2C] = ZRNB_VK_SLASH;
  m[0x2D] = 'N';
  m[0x2E] = 'M';
  m[0x2F] = ZRNB_VK_PERIOD;
  m[0x30] = ZRNB_VK_TAB;
  m[0x31] = ZRNB_VK_SPACE;
  m[0x32] = ZRNB_VK_BACKQUOTE;
  m[0x33] = ZRNB_VK_BACK;
  m[0x34] = ZRNB_VK_ENTER;
  m[0x35] = ZRNB_VK_ESCAPE;
  m[0x41] = ZRNB_VK_DECIMAL;
  m[0x43] = ZRNB_VK_MULTIPLY;
  m[0x45] = ZRNB_VK_ADD;
  m[0x47] = ZRNB_VK_CLEAR;
  m[0x4B] = ZRNB_VK_DIVIDE;
  m[0x4C] = ZRNB_VK_NUMPAD_ENT;
  m[0x4E] = ZRNB_VK_SUBTRACT;
  m[0x51] = ZRNB_VK_NUMPAD_EQ;
  for (int i = 0; i < 8; ++i) m[0x52 + i] = static_cast<unsigned char>(ZRNB_VK_NUMPAD0 + i);
  m[0x5B] = ZRNB_VK_NUMPAD0 + 8;
  m[0x5C] = ZRNB_VK_NUMPAD9;
  m[0x60] = ZRNB_VK_F1 + 4;
  m[0x61] = ZRNB_VK_F1 + 5;
  m[0x62] = ZRNB_VK_F1 + 6;
  m[0x63] = ZRNB_VK_F1 + 2;
  m[0x64] = ZRNB_VK_F1 + 7;
  m[0x65] = ZRNB_VK_F1 + 8;
  m[0x67] = ZRNB_VK_F1 + 10;
  m[0x6D] = ZRNB_VK_F1 + 9;
  m[0x6F] = ZRNB_VK_F1 + 11;
  m[0x73] = ZRNB_VK_HOME;
  m[0x74] = ZRNB_VK_PRIOR;
  m[0x75] = ZRNB_VK_DELETE;
  m[0x76] = ZRNB_VK_F1 + 3;
  m[0x77] = ZRNB_VK_END;
  m[0x78] = ZRNB_VK_F1 + 1;
  m[0x79] = ZRNB_VK_NEXT;
  m[0x7A] = ZRNB_VK_F1;
  m[0x7B] = ZRNB_VK_LEFT;
  m[0x7C] = ZRNB_VK_RIGHT;
  m[0x7D] = ZRNB_VK_DOWN;
  m[0x7E] = ZRNB_VK_UP;
  return m;
}

}  // namespace

constexpr std::array<unsigned char, 256> zrnb_Key_Map = make_key_map();

int keys_class::keycode_to_vkey(int key_code) {
  key_code &= 0xFF;
  int ch = PLAT_layout_char(key_code);
  if (ch > 0) {
    for (const auto& p : kMacMappings)
      if (p[0] == ch) return p[1];
  }
  return zrnb_Key_Map[key_code];
}

void keys_class::handle_key_raw(long kind, long message, long modifiers) {
  int code = static_cast<int>((message >> 8) & 0xFF);
  int flags = 0;
  if (modifiers & PLAT_mod_shift) flags |= zrnb_ShiftFlag;
  if (modifiers & PLAT_mod_option) flags |= zrnb_OptionAltFlag;
  if (modifiers & PLAT_mod_control) flags |= zrnb_ControlFlag;
  if (kind == 3) flags |= zrnb_DownFlag;
  if (kind == 4) flags |= zrnb_UpFlag;
  int ch = (modifiers & (PLAT_mod_cmd | PLAT_mod_option | PLAT_mod_control)) ? 0 : static_cast<int>(message & 0xFF);
  int vkey = keycode_to_vkey(code);
  if (flags == 0 && ch == 0 && vkey == 0) return;
  if (BTN_dispatch_to_focus(ch, vkey, flags)) return;
  if (!(flags & zrnb_UpFlag)) {
    // Keypad Enter counts as Return, like the Enter key beside the space bar.
    if (vkey == ZRNB_VK_RETURN || vkey == ZRNB_VK_ENTER || vkey == ZRNB_VK_NUMPAD_ENT) return_hit = 1;
    if (vkey == ZRNB_VK_ESCAPE) escape_hit = 1;
    if (vkey == ZRNB_VK_DELETE || vkey == ZRNB_VK_BACK) delete_hit = 1;
    if (mnw.wind_id != 0 && return_hit) {
      ZARIRU_handleclick(1);
      return;
    }
    if (ch != 0) mnw.key_char = ch;
  }
  last_vkey = vkey;
  last_flags = flags & 7;
  if (mnw.wind_id == 999) return;
  if (vkey == ZRNB_VK_RETURN || vkey == ZRNB_VK_ENTER) {
    execute_key_cmnd(vkey, flags);
  } else if (mnw.text_entry == 0 && vkey != 0) {
    execute_key_cmnd(vkey, flags);
  }
}

void keys_class::handle_key(int, int vkey, int flags) {
  if (vkey == ZRNB_VK_RETURN || vkey == ZRNB_VK_ENTER || (mnw.text_entry == 0 && vkey != 0))
    execute_key_cmnd(vkey, flags);
}

void keys_class::execute_key_cmnd(int vkey, int flags) {
  for (key_binding& b : bindings) {
    if (b.vkey != vkey) continue;
    if (b.flags == (flags & 7) && (flags & zrnb_DownFlag)) {
      cmnd.press_one(b.command);
      b.held = 1;
    }
    if (b.held == 1 && (flags & zrnb_UpFlag)) {
      cmnd.release_one(b.command);
      b.held = 0;
    }
  }
}

void keys_class::run_repeat_keys() {
  for (const key_binding& b : bindings)
    if (b.held == 1) cmnd.press_always(b.command);
}

int keys_class::key_bound_to(int vkey, int flags) const {
  for (const key_binding& b : bindings)
    if (b.vkey == vkey && b.flags == flags) return b.command;
  return 0;
}

std::string keys_class::vkey_to_str(int vkey) {
  const key_name_row* r = find_row(vkey);
  return r ? r->label : "<none>";
}

std::string keys_class::vkey_to_code(int vkey) {
  const key_name_row* r = find_row(vkey);
  return r ? r->code : std::to_string(vkey);
}

std::string keys_class::flag_to_str(int flags) {
  std::string s;
  auto add = [&](const char* t) { s += (s.empty() ? "" : "+") + std::string(t); };
  if (flags & 1) add("SHIFT");
  if (flags & 2) add("ALT");
  if (flags & 4) add("CTRL");
  return s.empty() ? "<none>" : s;
}

std::string keys_class::flag_to_code(int flags) {
  std::string s;
  auto add = [&](const char* t) { s += (s.empty() ? "" : "+") + std::string(t); };
  if (flags & 1) add("zrnb_ShiftFlag");
  if (flags & 2) add("zrnb_OptionAltFlag");
  if (flags & 4) add("zrnb_ControlFlag");
  return s.empty() ? "0" : s;
}

int keys_class::str_to_vkey(std::string label) {
  for (const key_name_row* r = kKeyNameTable; r->code; ++r) {
    std::string l = r->label;
    if (l.size() != label.size()) continue;
    bool same = true;
    for (size_t i = 0; i < l.size() && same; ++i)
      same = std::tolower(static_cast<unsigned char>(l[i])) == std::tolower(static_cast<unsigned char>(label[i]));
    if (same) return r->vkey;
  }
  return 0;
}

int keys_class::str_to_flag(std::string text) {
  int f = 0;
  if (text.find("SHIFT") != std::string::npos) f |= 1;
  if (text.find("ALT") != std::string::npos) f |= 2;
  if (text.find("CTRL") != std::string::npos) f |= 4;
  return f;
}

int keys_class::ascii_to_vkey(int ch, int& vkey, int& flags) {
  vkey = 0;
  flags = 0;
  for (const ascii_row& r : kAsciiTranslations) {
    if (r.ch == 0) break;
    if (r.ch == ch) {
      vkey = r.vkey;
      flags = r.shift;
      return 1;
    }
  }
  return 0;
}

std::string keys_class::get_key_for_cmnd(int command) const {
  for (const key_binding& b : bindings) {
    if (b.command != command) continue;
    std::string key = vkey_to_str(b.vkey);
    if (!key.empty() && key[0] >= 'A' && key[0] <= 'Z') key[0] = static_cast<char>(key[0] - 'A' + 'a');
    return b.flags ? flag_to_str(b.flags) + "-" + key : key;
  }
  return "";
}

void keys_class::keys_io(int mode) {
  if (mode != 0) return;
  bindings.clear();
  for (int i = 0; i < default_command_count; ++i) {
    key_binding b;
    b.vkey = default_commands[i].def_key;
    b.flags = default_commands[i].def_flags;
    b.command = cmnd.get_cmnd_by_name(default_commands[i].name);
    bindings.push_back(b);
  }
}

int has_shiftkey() { return (PLAT_modifiers() & PLAT_mod_shift) ? 1 : 0; }
int has_capslock() { return (PLAT_modifiers() & PLAT_mod_caps) ? 1 : 0; }
int has_optionkey() { return (PLAT_modifiers() & PLAT_mod_option) ? 1 : 0; }
