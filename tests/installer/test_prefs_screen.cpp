// The preferences screen's widgets without a window: one pass at a time over the recording draw
// sink, with the shell's real click handler taking picks from the open list.
#include <gtest/gtest.h>

#include <string>

#include "foundation/globals.h"
#include "foundation/shell_state.h"
#include "installer/front.h"
#include "net/http.h"
#include "shell/hl_mnw.h"
#include "widget_fixture.h"
#include "widgets/focus.h"

namespace {

class PrefsScreen : public WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    mnw.wind_id = 2;
    mnw.wind_w = 600;
    mnw.wind_h = 380;
    menu.assign(kMenuCount, menu_struct{});
    active_popup_code = popup_menu_select = select_popup_code = 0;
    stg = stg_struct{};
    installer_reset_stg();
    http.proxy_host.clear();
    http.proxy_port.clear();
    http.proxy_port_int = 0;
  }
  void TearDown() override {
    active_popup_code = popup_menu_select = select_popup_code = 0;
    http.proxy_host.clear();
    http.proxy_port.clear();
    http.proxy_port_int = 0;
    WidgetTest::TearDown();
  }
  // One frame of the screen: a press reaches the shell's click handler first, as an event does.
  static void pass(float mx = 0, float my = 0, bool press = false) {
    frame(mx, my, press);
    if (press) ZARIRU_handleclick(0);
    prefs_pass();
  }
  static std::string list_text() {
    for (const text_rec& t : drawn.texts)
      if (t.colour == 38 && t.x == 200 && t.y == 310) return t.text;
    return "(none)";
  }
  // Quads of the check box at (30, y): the box, and the tick over it when set.
  static int box_quads(float y) {
    int n = 0;
    for (const BTN_quad& q : drawn.quads)
      if (q.x0 == 21 && q.y0 == y + 3 - 9 && q.x1 == 39) ++n;
    return n;
  }
};

TEST_F(PrefsScreen, TargetSystemListShowsWordOneLessOneAndWritesItBack) {
  const struct {
    int word;
    const char* shown;
    int after;
  } cases[] = {{1, "Macintosh", 1}, {2, "Windows", 2}, {3, "Linux", 3}, {0, "Macintosh", 1}, {9, "Linux", 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word);
    stg[STG_target_os] = c.word;
    pass();
    EXPECT_EQ(list_text(), c.shown);
    EXPECT_EQ(stg[STG_target_os], c.after);
  }
}

TEST_F(PrefsScreen, PickingWindowsFromTheOpenListSetsTwo) {
  EXPECT_EQ(stg[STG_target_os], 3);  // Linux on this build
  pass(200, 313, true);
  ASSERT_EQ(mnw.menu_open, kPopupSlot);
  const item_struct windows = menu[kPopupSlot].items[1];
  ASSERT_EQ(windows.text, "Windows");
  // Held open over frames, the word does not move without a pick.
  for (int i = 0; i < 5; ++i) {
    pass();
    EXPECT_EQ(stg[STG_target_os], 3);
  }
  pass((windows.x1 + windows.x2) / 2.0f, windows.y1 + 6.0f, true);
  EXPECT_EQ(stg[STG_target_os], 2);
  EXPECT_EQ(mnw.menu_open, -1);
  pass();
  EXPECT_EQ(list_text(), "Windows");
}

TEST_F(PrefsScreen, CheckBoxesToggleTheirWords) {
  const struct {
    float y;
    int word;
  } boxes[] = {{265, STG_use_max_cpu}, {230, STG_rename_folder}, {190, STG_always_ask_dir}, {110, STG_log_actions}};
  const int words[] = {STG_use_max_cpu, STG_rename_folder, STG_always_ask_dir, STG_log_actions, STG_stream_count};
  for (const auto& b : boxes) {
    SCOPED_TRACE(b.word);
    int before[5];
    for (int i = 0; i < 5; ++i) before[i] = stg[words[i]];
    pass(30, b.y + 3, true);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(stg[words[i]], words[i] == b.word ? !before[i] : before[i]) << words[i];
    pass();  // a box shows its value as the pass begins
    EXPECT_EQ(box_quads(b.y), stg[b.word] ? 2 : 1);
    pass(30, b.y + 3, true);
    EXPECT_EQ(stg[b.word], before[&b - boxes]);
  }
}

TEST_F(PrefsScreen, StreamBoxFollowsTheCountAndTheCountFollowsTheBox) {
  ASSERT_EQ(stg[STG_stream_count], 0);
  pass();
  EXPECT_EQ(box_quads(150), 1);  // automatic: not ticked

  pass(30, 153, true);  // ticking it gives the field's lowest count in the same pass
  EXPECT_EQ(stg[STG_stream_count], 1);
  pass();
  EXPECT_EQ(box_quads(150), 2);
  EXPECT_EQ(stg[STG_stream_count], 1);

  stg[STG_stream_count] = 3;
  pass();
  EXPECT_EQ(stg[STG_stream_count], 3);
  EXPECT_EQ(box_quads(150), 2);

  pass(30, 153, true);  // unticking goes back to automatic in the same pass
  EXPECT_EQ(stg[STG_stream_count], 0);
  pass();
  EXPECT_EQ(box_quads(150), 1);

  stg[STG_stream_count] = 9;  // as a hand-edited file might hold it
  pass();
  EXPECT_EQ(stg[STG_stream_count], 4);
  stg[STG_stream_count] = -2;
  pass();
  EXPECT_EQ(stg[STG_stream_count], 1);
}

TEST_F(PrefsScreen, StreamCountIsTypedIntoItsField) {
  stg[STG_stream_count] = 1;
  pass(405, 153, true);
  ASSERT_EQ(focus_id, BTN_widget_id(400, 150));
  key('3');
  pass();
  EXPECT_EQ(stg[STG_stream_count], 3);
  key('7');
  pass();
  EXPECT_EQ(stg[STG_stream_count], 4);
}

TEST_F(PrefsScreen, PortTextSetsThePortOnlyWhenItNamesOne) {
  const struct {
    const char* text;
    int before, after;
  } cases[] = {{"", 3128, 3128}, {"8080", 3128, 8080}, {"abc", 3128, 3128}, {"70000", 3128, 3128},
               {"0", 3128, 3128}, {"-1", 3128, 3128}, {"65535", 0, 65535}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    http.proxy_port = c.text;
    http.proxy_port_int = c.before;
    pass();
    EXPECT_EQ(http.proxy_port_int, c.after);
    EXPECT_EQ(http.proxy_port, c.text);
  }
}

TEST_F(PrefsScreen, HostTakesTheFocusFirstThenAClickMovesItToThePort) {
  pass();
  EXPECT_EQ(focus_id, BTN_widget_id(85, 40));
  type("gate.example.test");
  pass();
  EXPECT_EQ(http.proxy_host, "gate.example.test");

  pass(90, 23, true);
  EXPECT_EQ(focus_id, BTN_widget_id(85, 20));
  type("3128");
  pass();
  EXPECT_EQ(http.proxy_port, "3128");
  EXPECT_EQ(http.proxy_port_int, 3128);
  EXPECT_EQ(http.proxy_host, "gate.example.test");
  EXPECT_TRUE(http.UseProxy("files.test", 80));

  // Clearing the port text leaves the port as it was.
  for (int i = 0; i < 4; ++i) key(8, 8);
  pass();
  EXPECT_EQ(http.proxy_port, "");
  EXPECT_EQ(http.proxy_port_int, 3128);
}

TEST_F(PrefsScreen, HostHoldsAtMostSixtyFiveCharacters) {
  pass();
  for (int i = 0; i < 7; ++i) {  // ten keys a frame, as a fast typist gives them
    type(std::string(10, 'h'));
    pass();
  }
  EXPECT_EQ(http.proxy_host, std::string(65, 'h'));
}

}  // namespace
