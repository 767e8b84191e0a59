// A small program on the shell alone, for the tests under a real X server: it starts up, draws
// a square each frame, can raise an alert for xdotool to dismiss, and reports what it saw.
#include <GL/gl.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "foundation/alert.h"
#include "foundation/cmdline.h"
#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "ogl/draw2d.h"
#include "shell/hl_init.h"
#include "shell/hl_mnw.h"
#include "shell/keys.h"
#include "shell/nav.h"

namespace {

int g_frame = 0;
int g_frames_max = 30;
int g_alert_at = -1;
std::string g_report;

void report(const std::string& line) {
  if (g_report.empty()) return;
  std::ofstream f(g_report, std::ios::app);
  f << line << "\n";
}

void demo_update() {
  ++g_frame;
  OGL_plot_back_col();
  OGL_fillrect(38, 1.0f, 100, 100, 50, 50);
  float half = 0.5f;  // the progress window opens before the square is read back
  if (g_frame == 1 && cmdline.has_option("--demo_progress"))
    report("progress " + std::to_string(ShowProgressMessage("Demo progress", &half)));
  if (g_frame == 2) {
    // Back buffer, before the swap: a white square on the background.
    unsigned char in[4] = {0, 0, 0, 0}, out[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glReadPixels(125, 125, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, in);
    glReadPixels(300, 300, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, out);
    GLint vp[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, vp);
    report("window " + std::to_string(mnw.scr_w) + " x " + std::to_string(mnw.scr_h));
    report("viewport " + std::to_string(vp[2]) + " x " + std::to_string(vp[3]));
    report("square " + std::to_string(in[0]) + " " + std::to_string(in[1]) + " " + std::to_string(in[2]));
    report("back " + std::to_string(out[0]) + " " + std::to_string(out[1]) + " " + std::to_string(out[2]));
  }
  if (g_frame == g_alert_at) {
    report("alert up");
    ZARIRU_alert(0, "Demo alert", "Press Return.", "", "", t_alert);
    report("alert dismissed in window " + std::to_string(mnw.wind_id));
    g_frames_max = g_frame + 5;
  }
  if (mnw.key_hit && !g_report.empty())
    report("key " + std::to_string(mnw.key_char) + " vkey " + std::to_string(keys.last_vkey) + " flags " +
           std::to_string(keys.last_flags) + " return " + std::to_string(return_hit) + " escape " +
           std::to_string(escape_hit));
  if (escape_hit && cmdline.has_option("--demo_escape_quits")) app_done = 1;
  if (g_frame >= g_frames_max) app_done = 1;
}

}  // namespace

int main(int argc, char** argv) {
  ZARIRU_init(argc, argv);
  stls[603] = "OK";
  if (cmdline.has_option("--demo_frames")) g_frames_max = std::stoi(cmdline.get_option("--demo_frames"));
  if (cmdline.has_option("--demo_alert")) g_alert_at = std::stoi(cmdline.get_option("--demo_alert"));
  g_report = cmdline.get_option("--demo_report");
  report("started");
  ZARIRU_set_app_callbacks(demo_update, nullptr);
  while (!app_done) ZARIRU_event_proc();
  report("frames " + std::to_string(g_frame));
  ZARIRU_finishup(1);
  report("finished");
  return 0;
}
