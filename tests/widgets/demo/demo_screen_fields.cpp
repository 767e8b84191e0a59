// The "fields" screen: two text fields (one over a std::string, one over a character buffer),
// a numeric field, a whole-number field, a code field and a number box showing the numeric
// field's value.
#include <cstdio>
#include <cstring>
#include <string>

#include "demo_screen.h"
#include "widgets/fields.h"
#include "widgets/focus.h"

namespace {

// Positions are sub-window pixels of the 1024 x 768 window, y up; the tests click on them.
constexpr float kFieldX = 200;
constexpr float kNameY = 600, kHostY = 560, kRateY = 480, kStreamsY = 420, kCodeY = 360, kShowY = 300;

std::string g_name;
char g_host[32] = "localhost";
float g_rate = 2.1f;
int g_streams = 2;
char g_code[6] = {'A', 'B', '1', '2', ' ', '-'};

void draw() {
  BTN_enterstring(kFieldX, kNameY, &g_name, 65, "Name", 400, 0);
  BTN_enterstring(kFieldX, kHostY, g_host, 31, "Host", 200, 0);
  BTN_flt_range(kFieldX, kRateY, &g_rate, 3, 1, 0, 99.9f, "Rate|fps");
  BTN_int_range(kFieldX, kStreamsY, &g_streams, 1, 1, 4, "Streams");
  BTN_chars(kFieldX, kCodeY, g_code, 6, "Code");
  BTN_display_number(kFieldX, kShowY, g_rate, 3, 1, "Shown");
}

// The back buffer (this frame, before the swap) at the left edge of the rate field's first cell,
// where the caret block of a focused field on that cell is and no digit reaches.
std::string rate_cell0_rgb() {
  const std::vector<unsigned char> px = demo_back_pixels(kFieldX + 2, kRateY - 1, 1, 1);
  return std::to_string(px[0]) + " " + std::to_string(px[1]) + " " + std::to_string(px[2]);
}

std::vector<std::string> report() {
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.1f", static_cast<double>(g_rate));
  std::string focus = "none";
  if (focus_id == BTN_widget_id(kFieldX, kNameY)) focus = "name";
  else if (focus_id == BTN_widget_id(kFieldX, kHostY)) focus = "host";
  else if (focus_id == BTN_widget_id(kFieldX, kRateY)) focus = "rate";
  else if (focus_id == BTN_widget_id(kFieldX, kStreamsY)) focus = "streams";
  else if (focus_id == BTN_widget_id(kFieldX, kCodeY)) focus = "code";
  return {"name=" + g_name,
          "name_length=" + std::to_string(g_name.size()),
          std::string("host=") + g_host,
          std::string("rate=") + rate,
          "streams=" + std::to_string(g_streams),
          "code=" + std::string(g_code, sizeof g_code),
          "focus=" + focus,
          "rate_cell0_rgb=" + rate_cell0_rgb()};
}

const demo_screen_entry entry({"fields", draw, report});

}  // namespace
