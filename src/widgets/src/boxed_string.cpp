// The boxed value: the text-field box and the label splitting of the widgets, with the value
// drawn inside the box.
#include "widgets/boxed.h"

#include "btn_draw.h"
#include "ogl/text.h"
#include "widgets/butn.h"

float OGL_boxed_width(const std::string& value, int charset) {
  if (charset == charset_UI_fixed) return 10.0f * static_cast<float>(value.size()) + 7.0f;
  if (charset == charset_UI_diff_space) return static_cast<float>(OGL_str_width(value)) + 7.0f;
  return 100.0f;
}

void OGL_boxed_string(float x, float y, const std::string& label, const std::string& value, int charset,
                      int col) {
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  const float box = OGL_boxed_width(value, charset);
  BTN_frame1(9, x, y + 3.0f, box, 0);
  BTN_util_draw_label(x - box / 2.0f - 8.0f, y, 0, left, 0);
  BTN_util_draw_label(x + box / 2.0f + 8.0f, y, 2, right, 0);
  btn_draw::text(col, x - box / 2.0f + 4.0f, y, value, 9999.0f, charset, 0);
}
