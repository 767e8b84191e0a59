// The fields screen of the widget test program under a real X server, typed into with xdotool:
// a click focuses a text field, 70 typed characters leave the first 65, shift+Left three times
// and a character replace the selection, BackSpace deletes, Tab moves the focus, and a click on
// a numeric cell, a digit and Up edit the number. The program's report file holds the values.
// Skipped without a display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "gui_fixture.h"

namespace {

const char* const kTyped70 = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefgh";

class FieldsGui : public DemoGui {
 protected:
  // The colour the program read back under the rate field's first cell.
  std::vector<int> cell0_rgb() { return report_numbers("rate_cell0_rgb"); }
  // Colour 8 of the colour table (1, 0.8, 0.2): the caret block of a focused numeric field.
  static bool is_caret_colour(const std::vector<int>& rgb) {
    return rgb.size() == 3 && std::abs(rgb[0] - 255) <= 2 && std::abs(rgb[1] - 204) <= 2 && std::abs(rgb[2] - 51) <= 2;
  }
};

TEST_F(FieldsGui, TypingIntoTheFieldsScreen) {
  ASSERT_EQ(PLAT_spawn({WIDGETS_DEMO_PATH, "--screen=fields", "--fps_test", "--demo_report=" + report_}, &pid_), 0);
  ASSERT_TRUE(report_has("focus=none", 60)) << report();
  ASSERT_TRUE(report_has("rate=2.1")) << report();
  ASSERT_EQ(cell0_rgb().size(), 3u) << report();
  EXPECT_FALSE(is_caret_colour(cell0_rgb())) << report();

  click(210, 603);  // the name field, 400 wide at (200, 600)
  ASSERT_TRUE(report_has("focus=name")) << report();
  type(kTyped70);
  const std::string first65 = std::string(kTyped70).substr(0, 65);
  EXPECT_TRUE(report_has("name=" + first65)) << report();
  EXPECT_TRUE(report_has("name_length=65")) << report();

  keys({"shift+Left", "shift+Left", "shift+Left"});
  type("Z");
  EXPECT_TRUE(report_has("name=" + first65.substr(0, 62) + "Z")) << report();
  keys({"BackSpace"});
  EXPECT_TRUE(report_has("name=" + first65.substr(0, 62))) << report();

  keys({"Tab"});
  EXPECT_TRUE(report_has("focus=host")) << report();
  type("example");  // the field arrived at by Tab has its whole text selected
  EXPECT_TRUE(report_has("host=example")) << report();
  keys({"aring", "eacute", "udiaeresis"});  // Latin-1 letters, which Xvfb delivers as text alone
  EXPECT_TRUE(report_has("host=example\xE5\xE9\xFC")) << report();

  // The decimal cell of the 3-digit, 1-decimal rate field at (200, 480): typing the digit it
  // shows keeps 2.1, and the edit cell wraps to the tens, which Up then steps.
  click(225, 483);
  ASSERT_TRUE(report_has("focus=rate")) << report();
  type("1");
  keys({"Up"});
  EXPECT_TRUE(report_has("rate=12.1")) << report();
  // The edit cell wrapped to the first cell: its caret block is on screen.
  EXPECT_TRUE(is_caret_colour(cell0_rgb())) << report();

  quit_with_escape();
  const std::string r = report();
  EXPECT_NE(r.find("screen=fields\n"), std::string::npos) << r;
  EXPECT_NE(r.find("streams=2\n"), std::string::npos) << r;
}

TEST(FieldsGuiUsage, AnUnknownScreenIsRefusedBeforeAnyWindow) {
  int code = 0;
  std::string out;
  ASSERT_EQ(PLAT_run({"sh", "-c", std::string("'") + WIDGETS_DEMO_PATH + "' --screen=nosuch 2>&1"}, &code, &out), 0);
  EXPECT_EQ(code, 2);
  EXPECT_NE(out.find("screens: fields"), std::string::npos) << out;
}

}  // namespace
