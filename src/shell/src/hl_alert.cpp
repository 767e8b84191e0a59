// The four-line alert as the user sees it. On the main thread with OpenGL up it takes over
// sub-window 995 and runs nested frames until its button or Return; otherwise the system box.
// A fatal alert, or one raised while another shows, ends the process after the shutdown.
#include "shell/hl_alert.h"

#include <GL/gl.h>

#include <cstdlib>

#include "foundation/alert.h"
#include "foundation/cmdline.h"
#include "foundation/diag.h"
#include "foundation/exce.h"
#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "foundation/worker_pool.h"
#include "ogl/draw2d.h"
#include "ogl/extensions.h"
#include "ogl/text.h"
#include "platform/msgbox.h"
#include "platform/regular_file.h"
#include "shell/hl_init.h"
#include "shell/hl_mnw.h"
#include "widgets/butn.h"
#include "widgets/shown_text.h"

namespace {

int in_alert = 0;
// Wrapped rows each of the four lines has before the next one starts.
constexpr int kAlertRows = 4;

// Appends the calling stack to "stack_crawl.txt" beside the log.
void append_stack_crawl(const char* file) {
  const std::string path = UTL_report_path("stack_crawl.txt");
  FILE* f = path.empty() ? nullptr : PLAT_fopen_regular(path, "a");
  if (!f) return;
  std::fprintf(f, "Fatal alert from %s:\n", file ? file : "?");
  UTL_dump_stack(f, nullptr, nullptr);
  std::fclose(f);
}

// The four lines and the location, one to a line, after lead.
void log_lines(const std::string& lead, const std::string& l1, const std::string& l2, const std::string& l3,
               const std::string& l4, const std::string& where) {
  if (!xer.is_open()) return;
  xer_line(lead + l1 + "\n" + l2 + "\n" + l3 + "\n" + l4 + "\n" + where + "\n");
}

// Ends the process now: no static destructors run beside worker threads that may still live.
[[noreturn]] void end_process() {
  std::fflush(stdout);
  std::fflush(stderr);
  ZARIRU_fatal_exit();
}

// Drawing state an interrupted frame may have left behind.
void reset_drawing_state() {
  glEnd();
  glEndList();
  for (int i = 0; i < 30; ++i) glGetError();
  OGL_nrml_colors();
  if (glExt.glsl_avail && glExt.glUseProgramObjectARB) glExt.glUseProgramObjectARB(0);
  if (glExt.framebuf_avail && glExt.glBindFramebufferEXT) glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_SCISSOR_TEST);
}

// The nested frames of sub-window 995; returns when the alert was dismissed.
void run_gl_alert(const std::string& l1, const std::string& l2, const std::string& l3, const std::string& l4,
                  int type, const std::string& where) {
  reset_drawing_state();
  const float mx = mnw.mouse_x, my = mnw.mouse_y;
  // The sub-window that was current comes back afterwards.
  const int back = mnw.wind_id;
  ZARIRU_startwind(995, 0);
  // Each line keeps to its four rows inside the panel, whatever path it names.
  const float w = mnw.wind_w;
  std::string shown[4];
  const std::string* lines[4] = {&l1, &l2, &l3, &l4};
  for (int i = 0; i < 4; ++i) shown[i] = BTN_lines_shown(*lines[i], 0.9f * w, kAlertRows, w - 20);
  // A key pressed in the frame that raised the alert must not dismiss an alert never drawn.
  return_hit = 0;
  escape_hit = 0;
  delete_hit = 0;
  while (mnw.wind_id == 995) {
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    float nx = 0, ny = 0;
    BTN_subwin(0, 13, -1, 35, -1, -1, "", &nx, &ny);
    std::string label;
    if (type == 0) {
      BTN_is_int(w / 2 - 25, 180, &mnw.language, 0, "|English");
      BTN_is_int(w / 2 - 25, 160, &mnw.language, 1, "|French");
      stls[0] = "Language/";
      label = "Accept";
    } else {
      const float ys[4] = {205, 165, 125, 85};
      for (int i = 0; i < 4; ++i) OGL_string(43, w / 2, ys[i], shown[i], 0.9f * w, charset_UI_diff_space, 1);
      if (type == 2) OGL_string(43, w / 2, 45, where, 0.9f * w, charset_UI_diff_space, 1);
      label = stls[603];
    }
    const int pressed = BTN_action(w / 2, 18, 0, 0, 1, label, "-");
    if (pressed || return_hit) {
      return_hit = 0;
      if (type == 2) return;
      ZARIRU_startwind(back, 0);
      mnw.mouse_x = mx;
      mnw.mouse_y = my;
      if (mnw.wind_id != 995) return;
    }
    if (mnw.wind_id != 995) return;
    ZARIRU_event_proc();
    // A quit request (the window closed, TERM, INT) ends the wait as the button would; the
    // program then ends as it does from any other screen.
    if (app_done) {
      if (type != 2 && mnw.wind_id == 995) ZARIRU_startwind(back, 0);
      return;
    }
  }
}

}  // namespace

std::string ZARIRU_alert_location(const char* file, int line) {
  return std::string("(") + (file ? file : "") + " line " + std::to_string(line) + ")";
}

int ZARIRU_in_alert() { return in_alert; }

void ZARIRU_shell_alert(int window, std::string l1, std::string l2, std::string l3, std::string l4, int type,
                        const char* file, int line) {
  (void)window;
  if (THREAD_is_inited() && !THREAD_is_main_thread()) {
    THREAD_send_exception(exce_class(l1, l2, l3, l4, file, line, type));
    return;
  }
  const std::string where = ZARIRU_alert_location(file, line);
  if (type == t_exit) append_stack_crawl(file);
  if (cmdline.has_option("--fps_test")) {
    log_lines("", l1, l2, l3, l4, where);
    if (type == t_exit) {
      xer.flush();
      end_process();
    }
    return;
  }
  const int nested = in_alert;
  in_alert = 1;
  const bool reported = type == t_exit || type == t_alert || nested;
  // The lines reach the log before anything waits: a run ended while the alert shows still says why.
  if (reported) log_lines("\n", l1, l2, l3, l4, where);
  if (app_done) {
    // The program is ending: nothing waits for a click any more.
  } else if (ogl_inited == 1 && !nested) {
    if (!(l1.empty() && l2.empty() && l3.empty() && l4.empty())) run_gl_alert(l1, l2, l3, l4, type, where);
  } else {
    // The system box takes the lines whole: a long line is shown, never refused.
    PLAT_message_box("Volarium", l1 + " " + l2 + "\n\n" + l3 + " " + l4);
  }
  if (reported)
    dump_mem_stats("This is the dump_mem_stats call from the following code: if(type==t_exit || type == t_alert || recursive_error)");
  if (type != t_exit && !nested) {
    in_alert = 0;
    return;
  }
  ZARIRU_finishup(0);
  app_done = 1;
  end_process();
}

void ZARIRU_install_alert() { ZARIRU_set_alert_hook(ZARIRU_shell_alert); }
