// Keyboard translation and key bindings: raw key events become a character, a virtual key and
// modifier flags; the focused widget gets the first look, then the per-frame flags and the
// bindings that press and release commands of the registry.
#pragma once
#include <array>
#include <string>
#include <vector>

// Virtual keys.
enum : int {
  ZRNB_VK_BACK = 8, ZRNB_VK_TAB = 9, ZRNB_VK_CLEAR = 12, ZRNB_VK_RETURN = 13, ZRNB_VK_ESCAPE = 27,
  ZRNB_VK_SPACE = 32, ZRNB_VK_PRIOR = 33, ZRNB_VK_NEXT = 34, ZRNB_VK_END = 35, ZRNB_VK_HOME = 36,
  ZRNB_VK_LEFT = 37, ZRNB_VK_UP = 38, ZRNB_VK_RIGHT = 39, ZRNB_VK_DOWN = 40, ZRNB_VK_SELECT = 41,
  ZRNB_VK_PRINT = 42, ZRNB_VK_EXECUTE = 43, ZRNB_VK_SNAPSHOT = 44, ZRNB_VK_INSERT = 45,
  ZRNB_VK_DELETE = 46, ZRNB_VK_HELP = 47, ZRNB_VK_0 = 48, ZRNB_VK_9 = 57, ZRNB_VK_A = 65,
  ZRNB_VK_Z = 90, ZRNB_VK_NUMPAD0 = 96, ZRNB_VK_NUMPAD9 = 105, ZRNB_VK_MULTIPLY = 106,
  ZRNB_VK_ADD = 107, ZRNB_VK_SUBTRACT = 109, ZRNB_VK_DECIMAL = 110, ZRNB_VK_DIVIDE = 111,
  ZRNB_VK_F1 = 112, ZRNB_VK_F24 = 135, ZRNB_VK_EQUAL = 176, ZRNB_VK_MINUS = 177,
  ZRNB_VK_RBRACE = 178, ZRNB_VK_LBRACE = 179, ZRNB_VK_QUOTE = 180, ZRNB_VK_SEMICOLON = 181,
  ZRNB_VK_BACKSLASH = 182, ZRNB_VK_COMMA = 183, ZRNB_VK_SLASH = 184, ZRNB_VK_PERIOD = 185,
  ZRNB_VK_BACKQUOTE = 186, ZRNB_VK_ENTER = 187, ZRNB_VK_NUMPAD_ENT = 188, ZRNB_VK_NUMPAD_EQ = 189
};

// Key flags.
enum : int { zrnb_ShiftFlag = 1, zrnb_OptionAltFlag = 2, zrnb_ControlFlag = 4, zrnb_DownFlag = 8, zrnb_UpFlag = 16 };

struct key_binding {
  int vkey = 0;
  int flags = 0;    // modifier bits 0..7 that must be held exactly
  int command = 0;  // index into cmnd
  int held = 0;
};

class keys_class {
 public:
  // kind 3 down, 4 up, 5 repeat; message: key code in bits 8..15, character in bits 0..7.
  void handle_key_raw(long kind, long message, long modifiers);
  void handle_key(int ch, int vkey, int flags);
  void execute_key_cmnd(int vkey, int flags);
  void run_repeat_keys();
  int key_bound_to(int vkey, int flags) const;
  static std::string vkey_to_str(int vkey);
  static std::string vkey_to_code(int vkey);
  static std::string flag_to_str(int flags);
  static std::string flag_to_code(int flags);
  static int str_to_vkey(std::string label);
  static int str_to_flag(std::string text);
  static int ascii_to_vkey(int ch, int& vkey, int& flags);
  std::string get_key_for_cmnd(int command) const;
  void keys_io(int mode);
  void keys_wind();
  void debug() {}

  // The virtual key of a key code: through the layout's character for letters and
  // punctuation, the fixed key-code map otherwise.
  static int keycode_to_vkey(int key_code);

  int last_vkey = 0;
  int last_flags = 0;
  std::vector<key_binding> bindings;
};

extern keys_class keys;

// The fixed key-code map (256 entries, 0 = no key).
extern const std::array<unsigned char, 256> zrnb_Key_Map;

int has_shiftkey();
int has_capslock();
int has_optionkey();
