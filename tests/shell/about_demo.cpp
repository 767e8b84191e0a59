// A small program for the About box's tests under a real X server: it starts up, opens the
// About box against the list server named on its command line, and reports each change of what
// the box shows.
#include <fstream>
#include <string>

#include "foundation/cmdline.h"
#include "foundation/globals.h"
#include "shell/about.h"
#include "shell/hl_init.h"
#include "shell/hl_mnw.h"

namespace {

int g_frame = 0;
int g_frames_max = 100000;
std::string g_report, g_last;

void report(const std::string& line) {
  if (g_report.empty()) return;
  std::ofstream f(g_report, std::ios::app);
  f << line << "\n";
}

// Runs once a frame, before the swap.
int watch() {
  const about_view& v = ZARIRU_about_view();
  std::string line = "state " + std::to_string(v.ins_state) + " list_done " + std::to_string(v.list_done) +
                     " read " + std::to_string(v.list_read) + " button " + std::to_string(v.button_shown);
  if (v.button_shown)
    line += " at " + std::to_string(static_cast<int>(v.button_x)) + " " + std::to_string(static_cast<int>(v.button_y));
  line += " | " + v.status_line + " | " + v.err_msg + " | " + v.progress;
  if (line != g_last) report(line);
  g_last = line;
  if (++g_frame >= g_frames_max) app_done = 1;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  ZARIRU_init(argc, argv);
  if (cmdline.has_option("--demo_frames")) g_frames_max = std::stoi(cmdline.get_option("--demo_frames"));
  g_report = cmdline.get_option("--demo_report");
  about_list_server = cmdline.get_option("--about_server");
  if (cmdline.has_option("--about_key")) about_update_key = cmdline.get_option("--about_key");
  ZARIRU_set_movie_hook(watch);
  report("started");
  ZARIRU_about();
  report("closed after " + std::to_string(g_frame) + " frames");
  ZARIRU_finishup(1);
  return 0;
}
