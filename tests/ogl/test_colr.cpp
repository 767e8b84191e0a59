// The colour table: defaults, gamma, assignment, light multipliers and the spectrum.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/xtim.h"
#include "log_capture.h"
#include "ogl/colr.h"

TEST(ColourTable, DefaultsAndGamma) {
  colr_class c;
  EXPECT_EQ(c.image_gamma, 1.8);
  EXPECT_EQ(c.display_gamma, 1.8);
  EXPECT_EQ(c.gamma_differs, 0);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(c.gamma_table[i], i) << i;
  EXPECT_FLOAT_EQ(c.lite[0], 1.0f);
  EXPECT_FLOAT_EQ(c.lite[1], 1.0f);
  EXPECT_FLOAT_EQ(c.lite[2], 1.0f);
  EXPECT_EQ(c.pulse, 0.0f);
  EXPECT_EQ(c.plot_range, 0.0f);
  EXPECT_EQ(c.spectrum[500][0], 0.0f);

  struct entry {
    int i;
    float r, g, b;
  };
  const entry samples[] = {{0, 1, 1, 1},           {1, 1, 0.2f, 0.2f},   {9, 0.1f, 0.1f, 0.1f},
                           {11, 0, 0, 0},          {17, 0, 0, 0.6f},     {34, 0, 0, 0},
                           {49, 1, 1, 1},          {71, 0.15f, 0.15f, 0.6f}, {72, 0.49f, 0.43f, 0.24f},
                           {78, 0.44f, 0.53f, 0.54f}, {86, 0, 0, 0},     {87, 1, 0, 1},
                           {102, 1, 1, 0.9f},      {104, 0, 0, 0}};
  for (const entry& e : samples) {
    EXPECT_EQ(c.rgb[e.i][0], e.r) << e.i;
    EXPECT_EQ(c.rgb[e.i][1], e.g) << e.i;
    EXPECT_EQ(c.rgb[e.i][2], e.b) << e.i;
  }
  // The global table holds the same defaults.
  EXPECT_EQ(colr.rgb[72][1], 0.43f);
}

TEST(ColourTable, AssignInsideAndOutsideTheTable) {
  colr_class c;
  c.assign(104, 0.25f, 0.5f, 0.75f);
  EXPECT_EQ(c.rgb[104][0], 0.25f);
  EXPECT_EQ(c.rgb[104][2], 0.75f);
  c.assign(0, 0.0f, 0.0f, 0.0f);
  EXPECT_EQ(c.rgb[0][0], 0.0f);

  // Out of range: ignored and logged; nothing next to the table is touched.
  LogCapture capture;
  colr_class before = c;
  c.assign(105, 9, 9, 9);
  c.assign(-1, 9, 9, 9);
  EXPECT_EQ(std::memcmp(&before, &c, sizeof(c)), 0);
  const std::string text = capture.text();
  EXPECT_NE(text.find("colour index 105 out of range"), std::string::npos);
  EXPECT_NE(text.find("colour index -1 out of range"), std::string::npos);
}

TEST(ColourTable, LitesForInterface) {
  colr_class c;
  c.lite[0] = 0.5f;
  c.lite[1] = NAN;
  c.lite[2] = 0.9f;
  c.set_lites_for_interface();
  EXPECT_EQ(c.lite[0], 0.75f);
  EXPECT_EQ(c.lite[1], 0.75f);
  EXPECT_EQ(c.lite[2], 0.9f);
}

TEST(ColourTable, Spectrum) {
  colr_class c;
  c.spectrum_init(0);
  EXPECT_FLOAT_EQ(c.spectrum[0][0], 1.0f);
  EXPECT_FLOAT_EQ(c.spectrum[0][1], 0.0f);
  EXPECT_NEAR(c.spectrum[200][0], 1.0f, 1e-5);
  EXPECT_NEAR(c.spectrum[200][1], 0.32f, 1e-5);
  EXPECT_NEAR(c.spectrum[200][2], 0.08f, 1e-5);
  EXPECT_NEAR(c.spectrum[999][0], 0.8f, 0.01);
  EXPECT_NEAR(c.spectrum[999][1], 0.0f, 0.01);
  EXPECT_NEAR(c.spectrum[999][2], 0.8f, 0.01);
  EXPECT_NEAR(c.spectrum[700][1], 0.5f, 1e-5);  // half way from green to blue
  EXPECT_NEAR(c.spectrum[700][2], 0.5f, 1e-5);

  c.spectrum_init(2);
  EXPECT_EQ(c.spectrum[250][0], 0.0f);
  EXPECT_FLOAT_EQ(c.spectrum[250][1], 0.25f);
  c.spectrum_init(3);
  EXPECT_FLOAT_EQ(c.spectrum[500][2], 0.5f);
  EXPECT_EQ(c.spectrum[500][1], 0.0f);

  colr_class before = c;
  c.spectrum_init(4);
  c.spectrum_init(-1);
  EXPECT_EQ(std::memcmp(before.spectrum, c.spectrum, sizeof(c.spectrum)), 0);
}

TEST(Records, StartValues) {
  mnw_struct m;
  EXPECT_EQ(m.keylist_up, 1);
  EXPECT_EQ(m.word_115, -1);
  EXPECT_EQ(m.wind_id, 0);
  EXPECT_EQ(m.win, nullptr);
  EXPECT_EQ(m.pix_scale, 0.0f);
  EXPECT_EQ(m.pref_found, 0);
  EXPECT_EQ(mnw.keylist_up, 1);
  EXPECT_EQ(mnw.word_115, -1);

  ren_struct r;
  EXPECT_EQ(r.global_alpha, 1.0f);
  EXPECT_EQ(r.monochrome, 0);
  EXPECT_EQ(r.max_tex_units, 0);
  EXPECT_EQ(r.vendor, nullptr);
  EXPECT_TRUE(r.spare_f.empty());
  EXPECT_TRUE(r.spare_i.empty());
  EXPECT_EQ(ren.global_alpha, 1.0f);
}

namespace {
uint64_t fake_now_us = 0;
uint64_t fake_clock() { return fake_now_us; }
}  // namespace

TEST(ColourTable, FrameClockDrivesThePulse) {
  colr = colr_class{};
  xtim_reset_state();
  xtim_set_clock(fake_clock);
  fake_now_us = 1000000;
  xtim.xtim_update();
  fake_now_us = 1050000;
  xtim.xtim_update();
  xtim_set_clock(nullptr);
  const float p = colr.pulse;
  EXPECT_GE(p, 0.4f);
  EXPECT_LE(p, 1.0f);
  EXPECT_NE(p, 0.0f) << "the clock reached the table";
  EXPECT_EQ(colr.rgb[79][0], p);
  EXPECT_EQ(colr.rgb[79][2], p);
  EXPECT_EQ(colr.rgb[80][1], 0.5f * p);
  EXPECT_EQ(colr.rgb[84][2], 0.2f * p);
}
