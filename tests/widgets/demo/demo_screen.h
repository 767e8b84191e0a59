// Screens of the widget test program. A screen is one file demo_screen_<name>.cpp holding a
// static `demo_screen_entry`: the program finds it by the name given with "--screen=<name>",
// calls its draw function every frame and writes its report lines to the report file whenever
// they change. Adding a screen is adding such a file.
#pragma once
#include <string>
#include <vector>

struct demo_screen {
  const char* name;
  // Draws the widgets of one frame (the background is already drawn).
  void (*draw)();
  // The values the screen holds, one "key=value" line each.
  std::vector<std::string> (*report)();
};

// Registers a screen at start-up; keep one static instance per screen file.
struct demo_screen_entry {
  explicit demo_screen_entry(const demo_screen& s);
};

// The registered screen of that name, or null.
const demo_screen* demo_find_screen(const std::string& name);
// Names of every registered screen, for the usage message.
std::string demo_screen_names();
// Writes the report file now. A screen that runs a modal loop of its own (during which the
// program's per-frame update is suspended) calls it once a frame.
void demo_report_now();
// RGB bytes, row by row from the bottom, of the back buffer under a w x h rectangle whose lower
// left corner is sub-window pixel (x, y): this frame's drawing, before the swap.
std::vector<unsigned char> demo_back_pixels(float x, float y, int w, int h);
// How many of those pixels are dark (text on the light panels, the dark panels on the screen).
int demo_dark_pixels(float x, float y, int w, int h);
