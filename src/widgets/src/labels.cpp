// Widget labels: "left|right{Xhelp" splits into the text left of a widget, the text right of
// it and its hover help; long parts break into two lines at the separator nearest the middle.
#include <cstdlib>
#include <string>

#include "btn_draw.h"
#include "ogl/text.h"
#include "widgets/butn.h"

void BTN_expand_label(const std::string& label, std::string* left, std::string* right,
                      std::string* help) {
  const std::size_t len = label.size();
  const std::size_t bar = label.rfind('|');
  std::size_t brace = label.rfind('{');
  const bool has_bar = bar != std::string::npos, has_brace = brace != std::string::npos;
  if (!has_brace) brace = len;

  *left = label.substr(0, has_bar ? bar : brace);
  *right = (has_bar && brace > bar) ? label.substr(bar + 1, brace - bar - 1) : std::string();
  // The character after '{' is skipped; a label that ends at '{' or one past it has no help.
  *help = (has_brace && brace + 2 <= len) ? label.substr(brace + 2) : std::string();
}

void BTN_util_draw_label(float x, float y, int align, const std::string& text, int hilite) {
  if (text.empty() || align < 0 || align > 2) return;
  const int colour = hilite ? 81 : 43;
  // Label alignment names the end of the text at x; the text layer names where it starts.
  const int text_align = align == 0 ? 2 : (align == 2 ? 0 : 1);
  auto line = [&](float ly, const std::string& s) {
    btn_draw::text(colour, x, ly, s, 9999.0f, charset_UI_diff_space, text_align);
  };

  if (text[0] == '-') {
    if (text.size() > 1) line(y, text.substr(1));
    return;
  }
  const int len = static_cast<int>(text.size());
  if (align != 1 && len > 12) {
    const int half = len / 2;
    int best = -1, best_d = half;
    for (int p = 1; p < len; ++p) {
      const char c = text[static_cast<std::size_t>(p)];
      if (c != ' ' && c != '-' && c != '/') continue;
      const int d = std::abs(p - half);
      if (d < best_d) {
        best = p;
        best_d = d;
      }
    }
    if (best > 0 && best < len - 1) {
      line(y + 5.0f, text.substr(0, static_cast<std::size_t>(best)));
      line(y - 5.0f, text.substr(static_cast<std::size_t>(best) + 1));
      return;
    }
  }
  line(y, text);
}
