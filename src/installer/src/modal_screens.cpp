// The modal screens of the installer: the agreement, the question about a file the user changed,
// and the scan's progress frame that the engine draws while it holds the frame loop.
#include <string>

#include "foundation/globals.h"
#include "foundation/records.h"
#include "installer/front.h"
#include "installer/screen_logic.h"
#include "installer/screen_rects.h"
#include "ogl/draw2d.h"
#include "ogl/text.h"
#include "shell/hl_mnw.h"
#include "widgets/butn.h"
#include "widgets/shown_text.h"

namespace {
// The click that opened a modal screen belongs to the screen below it.
void forget_click() {
  mnw.click = 0;
  mnw.quick_click = 0;
  mnw.double_click = 0;
}
}  // namespace

int handle_EULA() {
  static int agreed = 0;
  if (agreed) return agreed;
  ZARIRU_startwind(kEulaWindow, 0);
  if (mnw.wind_id != kEulaWindow) return agreed;
  forget_click();
  for (;;) {
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    BTN_subwin(0, 16, -1, 50, -1, -1, std::string(), nullptr, nullptr);
    float y = mnw.wind_h - 28.0f - 16.0f;
    for (int i = 0; eula_paragraphs[i][0]; ++i)
      y = OGL_string(i == 0 ? 45 : 43, 24, y, eula_paragraphs[i], mnw.wind_w - 48.0f, charset_UI_diff_space, 0) - 6.0f;
    if (art_button_at(kDeclineButton, 1, 1)) {
      agreed = 0;
      ZARIRU_startwind(0, 0);
      return agreed;
    }
    if (art_button_at(kAcceptButton, 1, 1)) {
      agreed = 1;
      ZARIRU_startwind(0, 0);
      return agreed;
    }
    ZARIRU_event_proc();
    if (mnw.wind_id != kEulaWindow) return agreed;
    // A request to quit (window closed, signal) ends the screen as a decline would.
    if (app_done) {
      ZARIRU_startwind(0, 0);
      return 0;
    }
  }
}

int select_alert(std::string path, int deleting) {
  ZARIRU_startwind(kQuestionWindow, 0);
  forget_click();
  const question_texts t = question_texts_for(deleting);
  const std::string* const label_of[6] = {nullptr, &t.act, &t.keep, &t.cancel, &t.act_all, &t.keep_all};
  for (;;) {
    if (mnw.wind_id != kQuestionWindow) return 3;
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    const float wrap = mnw.wind_w - 40.0f;
    OGL_string(43, 20, 100, t.first, wrap, charset_UI_diff_space, 0);
    // A path long enough to wrap pushes the third line down, but never onto the buttons: past two
    // lines it is cut in the middle.
    const float below_path = OGL_string(43, 20, 90, BTN_lines_shown(path, wrap, 2, wrap), wrap, charset_UI_diff_space, 0);
    OGL_string(43, 20, below_path < 80.0f ? below_path : 80.0f, t.third, wrap, charset_UI_diff_space, 0);
    for (const answer_button& b : kQuestionButtons) {
      if (BTN_action(b.x, b.y, b.w, 0, 1, *label_of[b.answer], "-")) {
        ZARIRU_startwind(0, 0);
        return b.answer;
      }
    }
    ZARIRU_event_proc();
    if (app_done) {
      ZARIRU_startwind(0, 0);
      return 3;
    }
  }
}

void dir_progress_bar(float lo, float val, float hi, int kind, std::string line1, std::string line3) {
  const std::string middle = scan_middle_line(kind);
  OGL_2dquad(394, 49, 1.0f, 0, 0, 0, 0, 0, 768, 0, 0.75f, 1024, 768, 1, 0.75f, 1024, 0, 1, 0, 1, 5);
  // The box is centred on the window; drawing is relative to the current sub-window.
  const float bx = (static_cast<float>(mnw.scr_w) - 512.0f) * 0.5f - mnw.wind_x;
  const float by = (static_cast<float>(mnw.scr_h) - 138.0f) * 0.5f - mnw.wind_y;
  const float f = scan_fraction(lo, val, hi);
  const float x1 = bx + 30.0f, x2 = bx + 482.0f, xf = x1 + f * 452.0f, y = by + 35.0f;
  BTN_frame2(15, bx + 20.0f, by + 20.0f, 472, 98, std::string());
  BTN_frame1(4, (x1 + x2) * 0.5f, y, 452, 0);
  BTN_frame1(5, (x1 + xf) * 0.5f, y, xf - x1, 0);
  OGL_string(49, bx + 32.0f, by + 100.0f, line1, 452, charset_UI_diff_space, 0);
  OGL_string(49, bx + 32.0f, by + 80.0f, middle, 452, charset_UI_diff_space, 0);
  // The file being examined keeps to its line inside the box.
  OGL_string(49, bx + 32.0f, by + 60.0f, BTN_path_shown(line3, 452), 9999, charset_UI_diff_space, 0);
  OGL_sbuff();
}
