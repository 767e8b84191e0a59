// One frame of the loop with scripted events: the bounded event wait, draining, sub-window
// geometry, the corner close, menus and the pop-up hand-off, quit, and the reports that wait
// for the main sub-window.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "alert_sink.h"
#include "foundation/exce.h"
#include "foundation/worker_pool.h"
#include "shell_fixture.h"
#include "tex/tman.h"

namespace {

int g_updates = 0;
void count_update() { ++g_updates; }
std::vector<int> g_menu_cmds;
void record_menu(int c) { g_menu_cmds.push_back(c); }

class FrameTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    g_updates = 0;
    g_menu_cmds.clear();
    // The very first frame of the process starts its sub-window anew; get it behind us.
    ZARIRU_event_proc();
    ev.waits.clear();
    ev.pumps = 0;
    g_updates = 0;
    ZARIRU_set_app_callbacks(count_update, record_menu);
  }
  // Mouse at sub-window coordinates (x, y up) of the current sub-window, in window pixels.
  void mouse_at(float x, float y) {
    ev.mouse_h = static_cast<int>(x + mnw.wind_x);
    ev.mouse_v = static_cast<int>(768 - (y + mnw.wind_y));
  }
  void click_at(float x, float y) {
    mouse_at(x, y);
    ev.click(ev.mouse_h, ev.mouse_v);
  }
};

TEST_F(FrameTest, OneBoundedWaitPerFrameBySleepTicks) {
  ZARIRU_event_proc();
  stg[STG_use_max_cpu] = 1;
  ZARIRU_event_proc();
  stg[STG_use_max_cpu] = 0;
  ZARIRU_startwind(995, 0);
  ZARIRU_event_proc();
  ASSERT_EQ(ev.waits.size(), 3u);
  EXPECT_EQ(ev.waits[0], 17);
  EXPECT_EQ(ev.waits[1], 0);
  EXPECT_EQ(ev.waits[2], 167);
  EXPECT_EQ(ev.pumps, 3);
}

TEST_F(FrameTest, TicksToMilliseconds) {
  EXPECT_EQ(PLAT_ticks_to_ms(0), 0);
  EXPECT_EQ(PLAT_ticks_to_ms(1), 17);
  EXPECT_EQ(PLAT_ticks_to_ms(3), 50);
  EXPECT_EQ(PLAT_ticks_to_ms(10), 167);
  EXPECT_EQ(PLAT_ticks_to_ms(60), 1000);
}

TEST_F(FrameTest, PendingEventsAreDrainedWithoutWaiting) {
  ev.key(PLAT_ev_key_down, 0x35, 27);
  ev.key(PLAT_ev_key_up, 0x35, 0);
  ev.key(PLAT_ev_key_down, 0x0B, 'b');
  ZARIRU_event_proc();
  EXPECT_EQ(escape_hit, 1);
  EXPECT_EQ(mnw.key_char, 'b');
  EXPECT_EQ(mnw.key_hit, 1);
  EXPECT_EQ(mnw.key_held, 1);
  // The wait came only after the queue was empty.
  EXPECT_EQ(ev.waits.size(), 1u);
  // The next frame starts with the per-frame flags cleared.
  ZARIRU_event_proc();
  EXPECT_EQ(escape_hit, 0);
  EXPECT_EQ(mnw.key_hit, 0);
}

TEST_F(FrameTest, AnEndlessStreamNeverStarvesAFrame) {
  PLAT_event motion;
  motion.what = PLAT_ev_wheel;
  motion.message = 0;  // an event the loop takes but that changes nothing
  ev.stream.assign(500, motion);
  for (int i = 0; i < 20; ++i) ZARIRU_event_proc();
  EXPECT_EQ(g_updates, 20);
  EXPECT_EQ(ev.pumps, 20);
}

TEST_F(FrameTest, AnEventDeliveredByTheWaitIsHandled) {
  PLAT_event wheel;
  wheel.what = PLAT_ev_wheel;
  wheel.message = 3;
  ev.on_wait.push_back(wheel);
  ev.on_wait.push_back(wheel);
  ZARIRU_event_proc();
  EXPECT_EQ(mnw.wheel, 3);  // one wait per frame: the second stays for the next frame
  ZARIRU_event_proc();
  EXPECT_EQ(mnw.wheel, 6);
}

TEST_F(FrameTest, QuitRequestEndsTheProgram) {
  ev.quit();
  ZARIRU_event_proc();
  EXPECT_EQ(app_done, 1);
}

TEST_F(FrameTest, SubWindowGeometry) {
  struct c {
    int id;
    float w, h;
    const char* title;
    int slot;
  } cases[] = {{993, 561, 474, "Livery", 0}, {994, 600, 300, nullptr, 613}, {995, 420, 250, nullptr, 601},
               {996, 300, 166, nullptr, 602}, {997, 700, 146, nullptr, 602}, {998, 561, 474, nullptr, 614},
               {999, 330, 474, nullptr, 77}, {1, 500, 300, "EULA", 0},       {2, 600, 380, "Prefs", 0}};
  stls[601] = "Alert";
  stls[602] = "Question";
  stls[613] = "Movie";
  stls[614] = "Save";
  stls[77] = "Open";
  for (const c& k : cases) {
    ZARIRU_startwind(k.id, 0);
    EXPECT_EQ(mnw.wind_id, k.id);
    EXPECT_EQ(mnw.wind_suspends, 1);
    EXPECT_FLOAT_EQ(mnw.wind_w, k.w);
    EXPECT_FLOAT_EQ(mnw.wind_h, k.h);
    EXPECT_FLOAT_EQ(mnw.wind_x, std::round((1024 - k.w) / 2)) << k.id;
    EXPECT_FLOAT_EQ(mnw.wind_y, std::round((768 - k.h) / 2)) << k.id;
    EXPECT_EQ(stls[0], k.title ? std::string(k.title) : stls[k.slot]) << k.id;
  }
  stls[0] = "kept";
  ZARIRU_startwind(0, 0);
  EXPECT_EQ(mnw.wind_suspends, 0);
  EXPECT_FLOAT_EQ(mnw.wind_w, 1024);
  EXPECT_FLOAT_EQ(mnw.wind_x, 0);
  EXPECT_EQ(stls[0], "kept");
  // Odd differences round half away from zero: (1024 - 561) / 2 = 231.5.
  ZARIRU_startwind(993, 0);
  EXPECT_FLOAT_EQ(mnw.wind_x, 232);
}

// Tests that click into a sub-window find it where starting it puts it, at any pixel scale.
TEST_F(FrameTest, SubWindowRectIsWhereStartingItPutsIt) {
  for (float scale : {1.0f, 1.5f, 2.0f}) {
    for (int id : {0, 1, 2, 993, 997}) {
      mnw.pix_scale = scale;
      ZARIRU_startwind(id, 0);
      float x = -1, y = -1, w = -1, h = -1;
      EXPECT_EQ(ZARIRU_wind_rect(id, 1024, 768, scale, &x, &y, &w, &h), id != 0);
      EXPECT_FLOAT_EQ(x, mnw.wind_x) << id << " at " << scale;
      EXPECT_FLOAT_EQ(y, mnw.wind_y) << id << " at " << scale;
      EXPECT_FLOAT_EQ(w, mnw.wind_w) << id << " at " << scale;
      EXPECT_FLOAT_EQ(h, mnw.wind_h) << id << " at " << scale;
    }
  }
  // At scale 2 the 500 x 300 agreement covers 1000 x 600 pixels from (12, 84): (6, 42) in layout units.
  float x = 0, y = 0, w = 0, h = 0;
  ZARIRU_wind_rect(1, 1024, 768, 2.0f, &x, &y, &w, &h);
  EXPECT_FLOAT_EQ(x, 6);
  EXPECT_FLOAT_EQ(y, 42);
  // A window smaller than the sub-window puts it at the corner, never below it.
  ZARIRU_wind_rect(997, 600, 100, 1.0f, &x, &y, &w, &h);
  EXPECT_FLOAT_EQ(x, 0);
  EXPECT_FLOAT_EQ(y, 0);
  EXPECT_FLOAT_EQ(w, 700);
}

TEST_F(FrameTest, StartingASubWindowClearsMouseWordsAndClosesMenus) {
  mnw.click = mnw.mouse_held = 1;
  mnw.wheel = 4;
  mnw.menu_open = 3;
  ZARIRU_startwind(2, 0);
  EXPECT_EQ(mnw.click, 0);
  EXPECT_EQ(mnw.mouse_held, 0);
  EXPECT_EQ(mnw.wheel, 0);
  EXPECT_EQ(mnw.menu_open, -1);
  EXPECT_EQ(menu[kPopupSlot].x1, -1);
  EXPECT_EQ(menu[kPopupSlot].y2, -1);
}

TEST_F(FrameTest, SuspendingSubWindowsStopTheApplication) {
  ZARIRU_event_proc();
  EXPECT_EQ(g_updates, 1);
  ZARIRU_startwind(1, 0);
  ZARIRU_event_proc();
  EXPECT_EQ(g_updates, 1);
  mnw.wind_id = -1;  // before the first frame: turned into the main sub-window
  ZARIRU_event_proc();
  EXPECT_EQ(mnw.wind_id, 0);
}

TEST_F(FrameTest, CornerPressClosesADialogButNotTheAlert) {
  ZARIRU_startwind(2, 0);
  click_at(25, 380 - 20);
  ZARIRU_event_proc();
  EXPECT_EQ(mnw.wind_id, 0);

  ZARIRU_startwind(2, 0);
  click_at(600 - 25, 380);
  ZARIRU_event_proc();
  EXPECT_EQ(mnw.wind_id, 0);

  ZARIRU_startwind(2, 0);
  click_at(26, 380 - 21);
  ZARIRU_event_proc();
  EXPECT_EQ(mnw.wind_id, 2);
  click_at(300, 370);
  ZARIRU_event_proc();
  EXPECT_EQ(mnw.wind_id, 2);

  ZARIRU_startwind(995, 0);
  click_at(25, 250 - 20);
  ZARIRU_event_proc();
  EXPECT_EQ(mnw.wind_id, 995);

  // A forced close does nothing in the main window.
  ZARIRU_startwind(0, 0);
  ZARIRU_handleclick(1);
  EXPECT_EQ(mnw.wind_id, 0);
}

TEST_F(FrameTest, BarMenuOpensPicksAndCloses) {
  ZARIRU_create_menu(0, 0, "File");
  ZARIRU_append_menu(0, 0, 41, "Open", 0);
  ZARIRU_append_menu(0, 1, 42, "-", 0);
  ZARIRU_append_menu(0, 2, 43, "Close", 0);
  ZARIRU_create_menu(1, 0, "Edit");
  const menu_struct& f = menu[0];
  // A press on the title opens the menu and takes the click.
  click_at(f.x1 + 5, f.y1 + 5);
  ZARIRU_event_proc();
  EXPECT_EQ(mnw.menu_open, 0);
  EXPECT_EQ(mnw.click, 0);
  // Moving over another title moves the open menu there.
  mouse_at(menu[1].x1 + 5, menu[1].y1 + 5);
  ZARIRU_event_proc();
  EXPECT_EQ(mnw.menu_open, 1);
  // A press on the open title closes it and takes the click.
  click_at(menu[1].x1 + 5, menu[1].y1 + 5);
  ZARIRU_event_proc();
  EXPECT_EQ(mnw.menu_open, -1);
  EXPECT_EQ(mnw.click, 0);
  // The separator cannot be picked: the press closes the menu and stays for the screen.
  mnw.menu_open = 0;
  const item_struct& sep = f.items[1];
  mnw.mouse_x = sep.x1 + 5;
  mnw.mouse_y = sep.y1 + 1;
  mnw.click = 1;
  ZARIRU_handleclick(0);
  EXPECT_EQ(mnw.menu_open, -1);
  EXPECT_EQ(mnw.click, 1);
  EXPECT_TRUE(g_menu_cmds.empty());
  // A row pick hands its command to the application.
  mnw.menu_open = 0;
  const item_struct& close = f.items[2];
  mnw.mouse_x = close.x2;
  mnw.mouse_y = close.y1;
  ZARIRU_handleclick(0);
  EXPECT_EQ(g_menu_cmds, std::vector<int>{43});
  EXPECT_EQ(mnw.menu_open, -1);
  EXPECT_EQ(mnw.click, 0);
}

TEST_F(FrameTest, EmptyMenusTakeNoClicks) {
  mnw.mouse_x = 0;
  mnw.mouse_y = 0;
  mnw.click = 1;
  ZARIRU_handleclick(0);
  EXPECT_EQ(mnw.menu_open, -1);
  EXPECT_EQ(mnw.click, 1);
}

TEST_F(FrameTest, PopUpPickGoesBackThroughSlot1519) {
  ZARIRU_startwind(0, 0);
  menu_struct& p = menu[kPopupSlot];
  p.items.resize(3);
  const char* texts[3] = {"Mac", "Windows", "Linux"};
  for (int i = 0; i < 3; ++i) {
    p.items[i].text = texts[i];
    p.items[i].x1 = 100;
    p.items[i].x2 = 200;
    p.items[i].y2 = static_cast<int16_t>(400 - 12 * i);
    p.items[i].y1 = static_cast<int16_t>(400 - 12 * i - 12);
  }
  active_popup_code = 77;
  mnw.menu_open = kPopupSlot;
  click_at(150, 400 - 12 * 2 - 6);  // "Linux"
  ZARIRU_event_proc();
  EXPECT_EQ(popup_menu_select, 2);
  EXPECT_EQ(select_popup_code, 77);
  EXPECT_EQ(active_popup_code, 0);
  EXPECT_EQ(mnw.menu_open, -1);
  EXPECT_TRUE(g_menu_cmds.empty());
  // A press beside the list closes it and leaves the button's code as it was.
  active_popup_code = 78;
  select_popup_code = 0;
  mnw.menu_open = kPopupSlot;
  click_at(500, 100);
  ZARIRU_event_proc();
  EXPECT_EQ(mnw.menu_open, -1);
  EXPECT_EQ(active_popup_code, 78);
  EXPECT_EQ(select_popup_code, 0);
}

TEST_F(FrameTest, WorkerFailuresWaitForTheMainSubWindow) {
  THREAD_init();
  AlertSink sink;
  std::thread worker([] { ZARIRU_alert(0, "worker", "line 2", "", "", t_alert); });
  worker.join();
  ZARIRU_startwind(2, 0);
  ZARIRU_event_proc();
  ZARIRU_event_proc();
  EXPECT_EQ(sink.count(), 0u);
  ZARIRU_startwind(0, 0);
  ZARIRU_event_proc();
  ASSERT_EQ(sink.count(), 1u);
  EXPECT_EQ(sink.alerts()[0].l1, "worker");
  ZARIRU_event_proc();
  EXPECT_EQ(sink.count(), 1u);
}

TEST_F(FrameTest, TextureFailuresAreReportedOnceInTheMainSubWindow) {
  AlertSink sink;
  tman.reset_instl_load_fail();
  tman.reset_scene_load_fail();
  tman.reset_plane_load_fail();
  // Failures of scenery and of the installer's own textures, as the loader marks them.
  tman.scene_fail = 1;
  tman.instl_fail = 1;
  ZARIRU_startwind(2, 0);
  ZARIRU_event_proc();
  EXPECT_EQ(sink.count(), 0u);
  ZARIRU_startwind(0, 0);
  ZARIRU_event_proc();
  ZARIRU_event_proc();
  ASSERT_EQ(sink.count(), 2u);
  EXPECT_EQ(sink.alerts()[0].l1, "Some scenery textures could not be loaded.");
  EXPECT_EQ(sink.alerts()[0].line, 1556);
  EXPECT_EQ(sink.alerts()[1].l1, "Some textures could not be loaded.");
  EXPECT_EQ(sink.alerts()[1].file, "DUdurid/GenC/hl_mnw");
  EXPECT_EQ(sink.alerts()[1].line, 1558);
  EXPECT_EQ(tman.has_instl_load_fail(), 0);
}

TEST_F(FrameTest, HoverHelpIsClearedEveryFrame) {
  stls[1802] = "help text";
  ZARIRU_event_proc();
  EXPECT_EQ(stls[1802], "");
}

}  // namespace

namespace {

TEST(HoverHelp, BoxHeightByTextLength) {
  EXPECT_EQ(ZARIRU_help_height(400), 100);
  EXPECT_EQ(ZARIRU_help_height(10), 60);
  EXPECT_EQ(ZARIRU_help_height(2000), 300);
  EXPECT_EQ(ZARIRU_help_height(449), 100);
  EXPECT_EQ(ZARIRU_help_height(450), 110);
  EXPECT_EQ(ZARIRU_help_height(0), 60);
}

}  // namespace
