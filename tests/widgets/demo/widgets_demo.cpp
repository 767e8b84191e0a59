// A test-only program for the widgets under a real X server: it starts the shell, opens the
// screen named by "--screen=", draws it every frame, and keeps the report file named by
// "--demo_report=" equal to the screen's current values (written whole, then renamed into
// place, so a reader never sees half a report). Escape ends it.
#include <GL/gl.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "demo_screen.h"
#include "foundation/cmdline.h"
#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "ogl/draw2d.h"
#include "shell/hl_init.h"
#include "shell/hl_mnw.h"

namespace {

std::map<std::string, demo_screen>& screens() {
  static std::map<std::string, demo_screen> m;
  return m;
}

const demo_screen* g_screen = nullptr;
std::string g_report_path;
std::string g_last_report;
long g_frames = 0;

void write_report(const std::string& text) {
  if (g_report_path.empty() || text == g_last_report) return;
  const std::string tmp = g_report_path + ".tmp";
  {
    std::ofstream f(tmp, std::ios::trunc);
    f << text;
    if (!f) return;
  }
  if (std::rename(tmp.c_str(), g_report_path.c_str()) == 0) g_last_report = text;
}

void demo_update() {
  ++g_frames;
  OGL_plot_back_col();
  g_screen->draw();
  demo_report_now();
  if (escape_hit) app_done = 1;
}

}  // namespace

std::vector<unsigned char> demo_back_pixels(float x, float y, int w, int h) {
  std::vector<unsigned char> rgba(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  glReadBuffer(GL_BACK);
  glReadPixels(static_cast<int>(mnw.wind_x + x), static_cast<int>(mnw.wind_y + y), w, h, GL_RGBA, GL_UNSIGNED_BYTE,
               rgba.data());
  std::vector<unsigned char> rgb;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) rgb.insert(rgb.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
  return rgb;
}

int demo_dark_pixels(float x, float y, int w, int h) {
  const std::vector<unsigned char> px = demo_back_pixels(x, y, w, h);
  int dark = 0;
  for (size_t i = 0; i + 2 < px.size(); i += 3) dark += px[i] + px[i + 1] + px[i + 2] < 250 ? 1 : 0;
  return dark;
}

void demo_report_now() {
  std::string text = "screen=" + std::string(g_screen->name) + "\n";
  for (const std::string& line : g_screen->report()) text += line + "\n";
  write_report(text);
}

demo_screen_entry::demo_screen_entry(const demo_screen& s) { screens()[s.name] = s; }

const demo_screen* demo_find_screen(const std::string& name) {
  auto it = screens().find(name);
  return it == screens().end() ? nullptr : &it->second;
}

std::string demo_screen_names() {
  std::string names;
  for (const auto& [name, s] : screens()) names += (names.empty() ? "" : ", ") + name;
  return names;
}

int main(int argc, char** argv) {
  // Checked before the window opens, so that a wrong name fails at once.
  std::string wanted;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--screen=", 0) == 0) wanted = a.substr(9);
  }
  g_screen = demo_find_screen(wanted);
  if (!g_screen) {
    std::fprintf(stderr, "usage: widgets_demo --screen=NAME [--demo_report=FILE]; screens: %s\n",
                 demo_screen_names().c_str());
    return 2;
  }
  ZARIRU_init(argc, argv);
  g_report_path = cmdline.get_option("--demo_report");
  ZARIRU_set_app_callbacks(demo_update, nullptr);
  while (!app_done) ZARIRU_event_proc();
  ZARIRU_finishup(1);  // "--fps_test" keeps the preferences unwritten
  return 0;
}
