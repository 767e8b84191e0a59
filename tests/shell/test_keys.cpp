// Keyboard translation: key positions to virtual keys through the layout, modifier flags,
// characters, the per-frame flags, forced clicks in sub-windows, bindings and the name tables.
#include <gtest/gtest.h>

#include "foundation/cmnd.h"
#include "shell_fixture.h"

namespace {

long msg(int code, int ch) { return (static_cast<long>(code) << 8) | (ch & 0xFF); }

struct vkey_case {
  int code;
  int vkey;
};

class KeysTest : public ShellTest {};

TEST_F(KeysTest, KeyPositionsGiveVirtualKeysOnTheUsLayout) {
  const vkey_case cases[] = {
      {0x00, ZRNB_VK_A},      {0x0C, 'Q'},           {0x06, 'Z'},          {0x12, '1'},
      {0x1D, '0'},            {0x24, ZRNB_VK_RETURN}, {0x30, ZRNB_VK_TAB},  {0x31, ZRNB_VK_SPACE},
      {0x33, ZRNB_VK_BACK},   {0x35, ZRNB_VK_ESCAPE}, {0x34, ZRNB_VK_ENTER}, {0x4C, ZRNB_VK_NUMPAD_ENT},
      {0x75, ZRNB_VK_DELETE}, {0x7A, ZRNB_VK_F1},    {0x6F, ZRNB_VK_F1 + 11}, {0x7B, ZRNB_VK_LEFT},
      {0x7E, ZRNB_VK_UP},     {0x74, ZRNB_VK_PRIOR}, {0x52, ZRNB_VK_NUMPAD0}, {0x5C, ZRNB_VK_NUMPAD9},
      {0x2F, ZRNB_VK_PERIOD}, {0x2C, ZRNB_VK_SLASH}, {0x18, ZRNB_VK_EQUAL}, {0x32, ZRNB_VK_BACKQUOTE},
      {0x51, ZRNB_VK_NUMPAD_EQ}, {0x47, ZRNB_VK_CLEAR}, {0x90, 0},           {0xFF, 0}};
  for (const vkey_case& c : cases) EXPECT_EQ(keys_class::keycode_to_vkey(c.code), c.vkey) << "key code " << c.code;
}

TEST_F(KeysTest, LettersFollowTheLayoutOtherKeysTheirPosition) {
  // A French layout swaps A/Q and W/Z; the digit row types symbols.
  ev.layout[0x0C] = 'a';
  ev.layout[0x00] = 'q';
  ev.layout[0x0D] = 'z';
  ev.layout[0x06] = 'w';
  ev.layout[0x12] = '&';
  EXPECT_EQ(keys_class::keycode_to_vkey(0x0C), ZRNB_VK_A);
  EXPECT_EQ(keys_class::keycode_to_vkey(0x00), 'Q');
  EXPECT_EQ(keys_class::keycode_to_vkey(0x0D), 'Z');
  EXPECT_EQ(keys_class::keycode_to_vkey(0x06), 'W');
  EXPECT_EQ(keys_class::keycode_to_vkey(0x12), '1');  // '&' is no mapped character
  EXPECT_EQ(keys_class::keycode_to_vkey(0x7B), ZRNB_VK_LEFT);
  // Without a layout the fixed map decides.
  ev.layout_fails = 1;
  EXPECT_EQ(keys_class::keycode_to_vkey(0x0C), 'Q');
}

TEST_F(KeysTest, ShiftReturnInTheMainWindow) {
  int c = cmnd.add_cmd("test/shift_return", "");
  keys.bindings.push_back({ZRNB_VK_RETURN, zrnb_ShiftFlag, c, 0});
  keys.handle_key_raw(3, msg(0x24, 13), PLAT_mod_shift);
  EXPECT_EQ(return_hit, 1);
  EXPECT_EQ(keys.last_flags, 1);
  EXPECT_EQ(keys.last_vkey, ZRNB_VK_RETURN);
  EXPECT_EQ(cmnd.press_count[c], 1);  // the binding saw flags 1 + 8
  EXPECT_EQ(keys.bindings[0].held, 1);
  keys.handle_key_raw(4, msg(0x24, 0), 0);
  EXPECT_EQ(cmnd.press_count[c], 0);
  EXPECT_EQ(keys.bindings[0].held, 0);
}

TEST_F(KeysTest, CommandKeyGivesNoCharacterAndNoFlag) {
  mnw.key_char = 'x';
  int c = cmnd.add_cmd("test/cmd_a", "");
  keys.bindings.push_back({ZRNB_VK_A, 0, c, 0});
  keys.handle_key_raw(3, msg(0x00, 'a'), PLAT_mod_cmd);
  EXPECT_EQ(keys.last_vkey, ZRNB_VK_A);
  EXPECT_EQ(keys.last_flags, 0);
  EXPECT_EQ(mnw.key_char, 'x');        // no character stored
  EXPECT_EQ(cmnd.press_count[c], 1);   // flags were exactly 8
  keys.handle_key_raw(4, msg(0x00, 0), PLAT_mod_cmd);
}

TEST_F(KeysTest, ModifierFlagsAndCharacters) {
  struct mod_case {
    int mods, flags, ch_kept;
  } cases[] = {{0, 0, 1},
               {PLAT_mod_shift, 1, 1},
               {PLAT_mod_option, 2, 0},
               {PLAT_mod_control, 4, 0},
               {PLAT_mod_shift | PLAT_mod_control, 5, 0},
               {PLAT_mod_caps, 0, 1},
               {PLAT_mod_shift | PLAT_mod_option | PLAT_mod_control, 7, 0}};
  for (const mod_case& m : cases) {
    mnw.key_char = 0;
    keys.handle_key_raw(3, msg(0x0B, 'b'), m.mods);
    EXPECT_EQ(keys.last_flags, m.flags) << m.mods;
    EXPECT_EQ(mnw.key_char, m.ch_kept ? 'b' : 0) << m.mods;
  }
}

TEST_F(KeysTest, KeyUpRaisesNoFlagsAndForcesNoClick) {
  ZARIRU_startwind(2, 0);
  keys.handle_key_raw(4, msg(0x24, 13), 0);
  keys.handle_key_raw(4, msg(0x35, 27), 0);
  keys.handle_key_raw(4, msg(0x33, 8), 0);
  EXPECT_EQ(return_hit, 0);
  EXPECT_EQ(escape_hit, 0);
  EXPECT_EQ(delete_hit, 0);
  EXPECT_EQ(mnw.wind_id, 2);
}

TEST_F(KeysTest, PerFrameFlags) {
  keys.handle_key_raw(3, msg(0x35, 27), 0);
  EXPECT_EQ(escape_hit, 1);
  keys.handle_key_raw(3, msg(0x33, 8), 0);
  EXPECT_EQ(delete_hit, 1);
  delete_hit = 0;
  keys.handle_key_raw(3, msg(0x75, 127), 0);
  EXPECT_EQ(delete_hit, 1);
  keys.handle_key_raw(3, msg(0x34, 3), 0);
  EXPECT_EQ(return_hit, 1);
  // Keypad Enter is a Return too.
  return_hit = 0;
  keys.handle_key_raw(3, msg(0x4C, 3), 0);
  EXPECT_EQ(return_hit, 1);
  // A repeat sets the flags like a press.
  escape_hit = 0;
  keys.handle_key_raw(5, msg(0x35, 27), 0);
  EXPECT_EQ(escape_hit, 1);
}

TEST_F(KeysTest, ReturnInASubWindowIsAForcedClick) {
  ZARIRU_startwind(2, 0);
  mnw.key_char = 0;
  keys.handle_key_raw(3, msg(0x24, 13), 0);
  EXPECT_EQ(mnw.wind_id, 0);  // the "Prefs" sub-window closed
  EXPECT_EQ(return_hit, 0);   // and the close used the Return up
  EXPECT_EQ(mnw.key_char, 0);

  // The alert's sub-window stays and keeps the Return for the alert to read.
  ZARIRU_startwind(995, 0);
  keys.handle_key_raw(3, msg(0x24, 13), 0);
  EXPECT_EQ(mnw.wind_id, 995);
  EXPECT_EQ(return_hit, 1);
  EXPECT_EQ(mnw.key_char, 0);
}

TEST_F(KeysTest, BindingsRunOnlyWhereTheyMay) {
  int c = cmnd.add_cmd("test/b_key", "");
  keys.bindings.push_back({'B', 0, c, 0});
  // Text entry keeps letters from the bindings.
  mnw.text_entry = 1;
  keys.handle_key_raw(3, msg(0x0B, 'b'), 0);
  EXPECT_EQ(cmnd.press_count[c], 0);
  mnw.text_entry = 0;
  // The save dialog keeps every key from them.
  mnw.wind_id = 999;
  keys.handle_key_raw(3, msg(0x0B, 'b'), 0);
  EXPECT_EQ(cmnd.press_count[c], 0);
  mnw.wind_id = 0;
  // A repeat neither presses nor releases.
  keys.handle_key_raw(5, msg(0x0B, 'b'), 0);
  EXPECT_EQ(cmnd.press_count[c], 0);
  keys.handle_key_raw(3, msg(0x0B, 'b'), 0);
  EXPECT_EQ(cmnd.press_count[c], 1);
  keys.run_repeat_keys();
  EXPECT_EQ(cmnd.press_count[c], 1);
  // The key-up releases whatever modifiers are held then.
  keys.handle_key_raw(4, msg(0x0B, 0), PLAT_mod_shift);
  EXPECT_EQ(cmnd.press_count[c], 0);
  // A press with other modifiers does not match.
  keys.handle_key_raw(3, msg(0x0B, 'b'), PLAT_mod_shift);
  EXPECT_EQ(cmnd.press_count[c], 0);
}

TEST_F(KeysTest, HandleKeyRunsReturnAlwaysOthersOutsideTextEntry) {
  int r = cmnd.add_cmd("test/hk_ret", "");
  int x = cmnd.add_cmd("test/hk_x", "");
  keys.bindings.push_back({ZRNB_VK_RETURN, 0, r, 0});
  keys.bindings.push_back({'X', 0, x, 0});
  mnw.text_entry = 1;
  keys.handle_key(13, ZRNB_VK_RETURN, 8);
  keys.handle_key('x', 'X', 8);
  EXPECT_EQ(cmnd.press_count[r], 1);
  EXPECT_EQ(cmnd.press_count[x], 0);
  mnw.text_entry = 0;
  keys.handle_key('x', 'X', 8);
  EXPECT_EQ(cmnd.press_count[x], 1);
  keys.handle_key(13, ZRNB_VK_RETURN, 16);
  keys.handle_key('x', 'X', 16);
  EXPECT_EQ(cmnd.press_count[r], 0);
  EXPECT_EQ(cmnd.press_count[x], 0);
}

TEST(KeyNames, Conversions) {
  EXPECT_EQ(keys_class::flag_to_str(6), "ALT+CTRL");
  EXPECT_EQ(keys_class::flag_to_str(7), "SHIFT+ALT+CTRL");
  EXPECT_EQ(keys_class::flag_to_str(0), "<none>");
  EXPECT_EQ(keys_class::flag_to_code(0), "0");
  EXPECT_EQ(keys_class::flag_to_code(5), "zrnb_ShiftFlag+zrnb_ControlFlag");
  EXPECT_EQ(keys_class::vkey_to_code(200), "200");
  EXPECT_EQ(keys_class::vkey_to_code(33), "ZRNB_VK_PRIOR");
  EXPECT_EQ(keys_class::vkey_to_str(200), "<none>");
  EXPECT_EQ(keys_class::vkey_to_str(188), "Numpad-Enter");
  EXPECT_EQ(keys_class::vkey_to_str(180), "'");
  EXPECT_EQ(keys_class::str_to_vkey("pageup"), 33);
  EXPECT_EQ(keys_class::str_to_vkey("F24"), 135);
  EXPECT_EQ(keys_class::str_to_vkey("nothing"), 0);
  EXPECT_EQ(keys_class::str_to_flag("SHIFT+CTRL"), 5);
  EXPECT_EQ(keys_class::str_to_flag("shift"), 0);
}

TEST(KeyNames, TableCoversEveryNamedKeyOnce) {
  int named = 0;
  for (int v = 0; v < 256; ++v) {
    if (keys_class::vkey_to_str(v) == "<none>") continue;
    ++named;
    EXPECT_EQ(keys_class::str_to_vkey(keys_class::vkey_to_str(v)), v) << v;
  }
  EXPECT_EQ(named, 110);
}

TEST(KeyNames, AsciiToVirtualKey) {
  struct c {
    int ch, vkey, flags, found;
  } cases[] = {{'?', 184, 1, 1},  {'A', 65, 1, 1},  {'a', 65, 0, 1},  {127, 0, 0, 0}, {')', 48, 1, 1},
               {'!', 49, 1, 1},   {'~', 186, 1, 1}, {'`', 186, 0, 1}, {'=', 176, 0, 1}, {'"', 180, 1, 1},
               {28, 37, 0, 1},    {31, 40, 0, 1},   {13, 13, 0, 1},   {' ', 32, 0, 1},  {0, 0, 0, 0}};
  for (const c& k : cases) {
    int v = -1, f = -1;
    EXPECT_EQ(keys_class::ascii_to_vkey(k.ch, v, f), k.found) << k.ch;
    EXPECT_EQ(v, k.vkey) << k.ch;
    EXPECT_EQ(f, k.flags) << k.ch;
  }
  int printable = 0;
  for (int ch = 32; ch <= 126; ++ch) {
    int v = 0, f = 0;
    printable += keys_class::ascii_to_vkey(ch, v, f);
  }
  EXPECT_EQ(printable, 95);
}

TEST(KeyNames, KeyTextOfACommandAndDefaults) {
  keys_class k;
  k.bindings.push_back({'A', 5, 7, 0});
  k.bindings.push_back({ZRNB_VK_F1, 0, 8, 0});
  k.bindings.push_back({ZRNB_VK_PRIOR, 0, 9, 0});
  EXPECT_EQ(k.get_key_for_cmnd(7), "SHIFT+CTRL-a");
  EXPECT_EQ(k.get_key_for_cmnd(8), "f1");
  EXPECT_EQ(k.get_key_for_cmnd(9), "pageUp");
  EXPECT_EQ(k.get_key_for_cmnd(10), "");
  EXPECT_EQ(k.key_bound_to('A', 5), 7);
  EXPECT_EQ(k.key_bound_to('A', 0), 0);
  k.keys_io(1);
  EXPECT_EQ(k.bindings.size(), 3u);
  k.keys_io(0);
  ASSERT_EQ(k.bindings.size(), 1u);
  EXPECT_EQ(k.bindings[0].vkey, 0);
  EXPECT_EQ(k.bindings[0].command, 0);
}

TEST(KeyMap, FixedMapEntries) {
  EXPECT_EQ(zrnb_Key_Map[0x00], 'A');
  EXPECT_EQ(zrnb_Key_Map[0x0A], ZRNB_VK_BACKSLASH);
  EXPECT_EQ(zrnb_Key_Map[0x5B], 104);
  EXPECT_EQ(zrnb_Key_Map[0x63], ZRNB_VK_F1 + 2);
  EXPECT_EQ(zrnb_Key_Map[0x36], 0);
  int mapped = 0;
  for (unsigned char v : zrnb_Key_Map) mapped += v != 0;
  // 0x00..0x35 (54), keypad (18), function keys (12), editing and arrow keys (9).
  EXPECT_EQ(mapped, 54 + 18 + 12 + 9);
}

}  // namespace
