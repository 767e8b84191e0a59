// The boxed value: the box width by charset, seen through where the box, the label's parts and
// the value land in the draw sink.
#include <gtest/gtest.h>

#include <algorithm>

#include "ogl/text.h"
#include "widget_fixture.h"
#include "widgets/boxed.h"

namespace {

class Boxed : public WidgetTest {
 protected:
  const text_rec* find(const std::string& s) {
    for (const text_rec& t : drawn.texts)
      if (t.text == s) return &t;
    return nullptr;
  }
  // Horizontal extent of the box's quads.
  void box_extent(float* x0, float* x1) {
    *x0 = 1e9f;
    *x1 = -1e9f;
    for (const BTN_quad& q : drawn.quads) {
      *x0 = std::min({*x0, q.x0, q.x1});
      *x1 = std::max({*x1, q.x0, q.x1});
    }
  }
};

TEST_F(Boxed, WidthByCharset) {
  struct row {
    std::string value;
    int charset;
    float width;
  } rows[] = {
      {"", charset_UI_diff_space, 7},
      {"", charset_UI_fixed, 7},
      {"1", charset_UI_fixed, 17},
      {"12345", charset_UI_fixed, 57},
      {"iiii", charset_UI_diff_space, float(4 * OGL_char_width('i') + 7)},
      {"WWWW", charset_UI_diff_space, float(4 * OGL_char_width('W') + 7)},
      {"anything", charset_UI_menus_KOR, 100},
      {"", 7, 100},
  };
  for (const row& r : rows) EXPECT_EQ(OGL_boxed_width(r.value, r.charset), r.width) << r.value << " " << r.charset;
  EXPECT_NE(OGL_char_width('i'), OGL_char_width('W')) << "the proportional rows need different widths";
}

TEST_F(Boxed, LabelPartsAndValueSitAroundTheBox) {
  struct row {
    std::string value;
    int charset;
  } rows[] = {{"", charset_UI_fixed}, {"42.5", charset_UI_fixed}, {"Wide value", charset_UI_diff_space},
              {"x", charset_UI_menus_KOR}};
  for (const row& r : rows) {
    drawn.clear();
    const float x = 300, y = 200, B = OGL_boxed_width(r.value, r.charset);
    OGL_boxed_string(x, y, "Left|Right{xhelp", r.value, r.charset, 58);
    const text_rec* left = find("Left");
    const text_rec* right = find("Right");
    const text_rec* value = find(r.value);
    ASSERT_TRUE(left && right && value) << r.value;
    EXPECT_EQ(find("help"), nullptr);
    EXPECT_EQ(value->colour, 58);
    EXPECT_EQ(value->charset, r.charset);
    // The box is centred on x and at least as wide as B; the left part ends before it (right
    // aligned), the right part starts after it, the value starts inside it.
    float x0, x1;
    box_extent(&x0, &x1);
    ASSERT_FALSE(drawn.quads.empty());
    EXPECT_LE(left->x, x0);
    EXPECT_EQ(left->align, 2);
    EXPECT_GE(right->x, x1);
    EXPECT_GT(value->x, x0);
    EXPECT_NEAR((x0 + x1) / 2, x, 0.5f) << r.value;
    EXPECT_GE(x1 - x0, B) << r.value;
    EXPECT_LE(x1 - x0, B + 16) << r.value;
  }
}

TEST_F(Boxed, WiderValueWidensTheBoxInStepsOfTenPerByte) {
  float w[3];
  for (int n = 0; n < 3; ++n) {
    drawn.clear();
    OGL_boxed_string(400, 100, "A|B", std::string(size_t(4 + 6 * n), '8'), charset_UI_fixed, 0);
    float x0, x1;
    box_extent(&x0, &x1);
    w[n] = x1 - x0;
  }
  EXPECT_NEAR(w[1] - w[0], 60, 1);
  EXPECT_NEAR(w[2] - w[1], 60, 1);
}

}  // namespace
