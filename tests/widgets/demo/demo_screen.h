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
