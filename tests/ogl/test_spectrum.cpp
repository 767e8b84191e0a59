// The spectrum scale: the colour of each of its points against the spectrum table, read back
// from the window, for ordinary, reversed and degenerate ranges.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "gl_fixture.h"
#include "ogl/colr.h"

namespace {

class Spectrum : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    clear();
    colr.spectrum_init(0);
  }
  // The scale drawn with its bottom at y, so that its points from height `from` up show.
  static constexpr float kBottom = -800.0f;

  // Points of heights i (multiples of 4) that lie inside the window, checked against entry(i).
  template <class F>
  void expect_points(float x, float origin_x, F entry) {
    auto px = read_back();
    int checked = 0;
    for (int i = 0; i < 1000; i += 4) {
      const int wy = static_cast<int>(kBottom + mnw.wind_y) + i;
      if (wy < 2 || wy >= kH - 2) continue;
      const int k = entry(i);
      const unsigned char* p = at(px, static_cast<int>(x + origin_x), wy);
      for (int c = 0; c < 3; ++c)
        ASSERT_NEAR(p[c], std::lround(colr.spectrum[k][c] * 255.0f), 1)
            << "point " << i << " channel " << c << " should show entry " << k;
      ++checked;
    }
    EXPECT_GE(checked, 45);
  }
};

TEST_F(Spectrum, EntriesOfTheEnds) {
  struct row {
    float lo, hi;
    int i, k;
  } rows[] = {
      {0, 1, 0, 0},     {0, 1, 996, 996}, {0, 1, 500, 500}, {-50, 50, 0, 0}, {-50, 50, 996, 996},
      {1, 0, 0, 0},     {1, 0, 996, 996}, {5, 5, 0, 0},     {5, 5, 996, 0},  {0, 1e-30f, 996, 996},
  };
  for (const row& r : rows)
    EXPECT_EQ(colr_class::spectrum_plotscale_entry(r.lo, r.hi, r.i), r.k) << r.lo << ".." << r.hi << " at " << r.i;
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  for (int i = 0; i < 1000; i += 4) {
    EXPECT_EQ(colr_class::spectrum_plotscale_entry(nan, 1, i), 0);
    EXPECT_EQ(colr_class::spectrum_plotscale_entry(0, nan, i), 0);
    EXPECT_EQ(colr_class::spectrum_plotscale_entry(-inf, inf, i), 0);
    EXPECT_EQ(colr_class::spectrum_plotscale_entry(0, inf, i), 0);
    const int k = colr_class::spectrum_plotscale_entry(-3e38f, 3e38f, i);
    EXPECT_TRUE(k >= 0 && k <= 999) << k;
  }
}

TEST_F(Spectrum, PointsShowTheTableAndTheRangeIsRecorded) {
  colr.spectrum_plotscale(40, kBottom, 0, 1, 2);
  expect_points(40, 0, [](int i) { return i; });
  EXPECT_EQ(colr.plot_lo, 0.0f);
  EXPECT_EQ(colr.plot_hi, 1.0f);
  EXPECT_EQ(colr.plot_range, 1.0f);
  GLfloat size = 0;
  glGetFloatv(GL_POINT_SIZE, &size);
  EXPECT_EQ(size, 1.0f);
}

TEST_F(Spectrum, PointsSitInTheCurrentSubWindow) {
  mnw.wind_x = 60;
  mnw.wind_y = 30;
  colr.spectrum_plotscale(40, kBottom, -10, 30, 1);
  expect_points(40, 60, [](int i) { return colr_class::spectrum_plotscale_entry(-10, 30, i); });
  // Nothing of the scale is left at the position without the origin.
  auto px = read_back();
  const unsigned char* p = at(px, 40, 100);
  EXPECT_EQ(p[0] | p[1] | p[2], 0);
}

TEST_F(Spectrum, EqualOrNanEndsDrawEveryPointInTheFirstEntry) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  colr.spectrum_plotscale(40, kBottom, 3, 3, 0);
  colr.spectrum_plotscale(200, kBottom, nan, 3, 0);
  expect_points(40, 0, [](int) { return 0; });
  expect_points(200, 0, [](int) { return 0; });
}

}  // namespace
