// Common state for the shell's headless tests: a 1024 x 768 window record, an empty menu table,
// no bindings, the main sub-window current, and a scripted event source.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "platform/fake_events.h"
#include "shell/hl_mnw.h"
#include "shell/keys.h"
#include "shell/menus.h"

inline void shell_reset_state() {
  mnw = mnw_struct{};
  mnw.scr_w = mnw.req_w = 1024;
  mnw.scr_h = mnw.req_h = 768;
  mnw.pix_scale = mnw.pix_scale2 = 1.0f;
  return_hit = escape_hit = delete_hit = 0;
  active_popup_code = popup_menu_select = select_popup_code = 0;
  keys = keys_class{};
  for (std::string& s : stls.txt) s.clear();
  ZARIRU_clear_menus(1);
  ZARIRU_set_app_callbacks(nullptr, nullptr);
  app_done = 0;
  stg[STG_use_max_cpu] = 0;
  ZARIRU_startwind(0, 0);
}

// A modal loop that never ends would hang the test run: after this many frames of one test the
// process stops with a message instead.
inline int shell_watchdog_frames = 0;
inline int shell_watchdog() {
  if (++shell_watchdog_frames > 5000) {
    std::fprintf(stderr, "a modal loop ran 5000 frames without ending\n");
    std::_Exit(2);
  }
  return 0;
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shell_reset_state();
    shell_watchdog_frames = 0;
    ZARIRU_set_movie_hook(shell_watchdog);
  }
  PLAT_fake_events ev;
};
