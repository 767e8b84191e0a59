// Headless widget tests: the widgets draw into a recorder instead of OpenGL, and each test
// fills the input record frame by frame, with the frame clock on an injected time source.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "foundation/xtim.h"
#include "widgets/butn.h"

struct text_rec {
  int colour;
  float x, y;
  std::string text;
  float wrap;
  int charset;
  int align;  // the text layer's: 0 left, 1 centred, 2 ending at x
};

struct rect_rec {
  int colour;
  float alpha, x, y, w, h;
};

struct line_rec {
  int colour;
  float alpha, x1, y1, x2, y2;
};

struct scissor_rec {
  bool on;  // false: the end of clipping
  float x, y, w, h;
};

struct number_rec {
  int colour;
  float x, y;
  double value;
  int digits, decimals, charset;
  std::string cells;
};

struct draw_log {
  std::vector<BTN_quad> quads;
  std::vector<text_rec> texts;
  std::vector<rect_rec> rects;
  std::vector<line_rec> lines;
  std::vector<scissor_rec> scissors;
  std::vector<number_rec> numbers;
  int swaps = 0;
  void clear() {
    quads.clear();
    texts.clear();
    rects.clear();
    lines.clear();
    scissors.clear();
    numbers.clear();
    swaps = 0;
  }
};

class WidgetTest : public ::testing::Test {
 protected:
  static inline draw_log drawn;
  static inline uint64_t now_us = 0;
  BTN_draw_sink sink;
  const BTN_draw_sink* old_sink = nullptr;

  static uint64_t fake_clock() { return now_us; }

  void SetUp() override {
    drawn.clear();
    sink.quad = [](void*, const BTN_quad& q) { drawn.quads.push_back(q); };
    sink.text = [](void*, int c, float x, float y, const std::string& s, float w, int cs, int a) {
      drawn.texts.push_back(text_rec{c, x, y, s, w, cs, a});
    };
    sink.swap = [](void*) { ++drawn.swaps; };
    sink.rect = [](void*, int c, float a, float x, float y, float w, float h) {
      drawn.rects.push_back(rect_rec{c, a, x, y, w, h});
    };
    sink.line = [](void*, int c, float a, float x1, float y1, float x2, float y2) {
      drawn.lines.push_back(line_rec{c, a, x1, y1, x2, y2});
    };
    sink.scissors = [](void*, float x, float y, float w, float h) {
      drawn.scissors.push_back(scissor_rec{true, x, y, w, h});
    };
    sink.scissors_end = [](void*) { drawn.scissors.push_back(scissor_rec{false, 0, 0, 0, 0}); };
    sink.number = [](void*, int c, float x, float y, double v, int d, int k, int cs, const std::string& cells) {
      drawn.numbers.push_back(number_rec{c, x, y, v, d, k, cs, cells});
    };
    old_sink = BTN_set_draw_sink(&sink);

    mnw = mnw_struct{};
    mnw.wind_id = 0;
    mnw.wind_w = 1024;
    mnw.wind_h = 768;
    mnw.menu_open = -1;
    stls[0].clear();
    stls[1802].clear();
    focus_ring.clear();
    BTN_unfocus_any();
    wind_focus = 0;

    now_us = 1000000;
    xtim = xtim_class{};
    xtim_reset_state();
    xtim_set_clock(fake_clock);
    xtim_hook.unfocus_any = BTN_unfocus_by_click;
    active_popup_code = popup_menu_select = select_popup_code = 0;
  }

  void TearDown() override {
    BTN_set_draw_sink(old_sink);
    xtim_set_clock(nullptr);
    xtim_reset_state();
    xtim_hook.unfocus_any = nullptr;
    active_popup_code = popup_menu_select = select_popup_code = 0;
  }

  // Starts one frame as the shell does: input flags, clock (which times presses and drops
  // the focus on a click), then a fresh focus ring. dt in seconds.
  static void frame(float mx, float my, bool press = false, bool release = false, float dt = 1.0f / 60.0f) {
    mnw.mouse_x = mx;
    mnw.mouse_y = my;
    mnw.click = press ? 1 : 0;
    mnw.mouse_up = release ? 1 : 0;
    now_us += static_cast<uint64_t>(dt * 1e6f + 0.5f);
    xtim.xtim_update();
    BTN_begin_focus_ring();
    drawn.clear();
  }

  // One key as the shell's key handler offers it to the ring (a press).
  static int key(int chr, int vkey = 0, int flags = 8) { return BTN_dispatch_to_focus(chr, vkey, flags); }
  static void type(const std::string& s) {
    for (char c : s) key(static_cast<unsigned char>(c));
  }

  // Quads of texture `tex`, sheet rectangle in sheet units (512 a texture coordinate for 392).
  // Rounded to 1/1024 of a unit, so that whole sheet pixels compare equal.
  static float units(float st) { return std::round(st * 512.0f * 1024.0f) / 1024.0f; }
  static float sx0(const BTN_quad& q) { return units(q.s0); }
  static float sx1(const BTN_quad& q) { return units(q.s1); }
  static float sy0(const BTN_quad& q) { return units(q.t0); }
  static float sy1(const BTN_quad& q) { return units(q.t1); }
};
