// The recorder's settings window: frames per second and movie width, with the notes on
// recording. Showing it stops a recording in progress.
#include "foundation/shell_state.h"
#include "movie/qtim.h"
#include "ogl/text.h"
#include "widgets/butn.h"
#include "widgets/fields.h"

namespace {
constexpr int kTextColour = 47;
constexpr float kTextX = 20, kTextWrap = 600;

void note(int entry, float y) {
  OGL_string(kTextColour, kTextX, y, stls[entry], kTextWrap, charset_UI_diff_space, 0);
}
}  // namespace

void qtim_class::qtim_wind() {
  BTN_fillwin(1, 21);
  BTN_subwin(0, 15, -1, -1, -1, 296, "", &wx1, &wy1);
  if (mode != mov_off) mov_toggle(0);
  BTN_flt_range(150, 415, &fps, 2, 0, 10, 99, stls[528]);
  BTN_int_range(130, 365, &width, 4, 32, 2048, stls[529]);
  if (qt_ok) {
    note(724, 285);
  } else {
    note(725, 285);
    note(726, 255);
    note(727, 245);
  }
  const int later[] = {728, 729, 730, 731, 732};
  const float ys[] = {225, 195, 165, 125, 85};
  for (int i = 0; i < 5; ++i) note(later[i], ys[i]);
}
