// The "path" screen: a path field at (300, 400), 300 wide, starting from "--demo_start=PATH";
// the report counts the folders chosen with its icon.
#include <string>

#include "demo_screen.h"
#include "foundation/cmdline.h"
#include "widgets/opensave.h"

namespace {

bool g_started = false;
int g_chosen = 0;
std::string g_path;

void draw() {
  if (!g_started) {
    g_started = true;
    g_path = cmdline.get_option("--demo_start");
  }
  if (BTN_select_path_stl(300, 400, 998, 0, &g_path, 200, "Folder{xPick the folder", 300, 0)) ++g_chosen;
}

std::vector<std::string> report() { return {"chosen=" + std::to_string(g_chosen), "path=" + g_path}; }

const demo_screen_entry entry({"path", draw, report});

}  // namespace
