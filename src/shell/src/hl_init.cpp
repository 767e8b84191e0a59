// Start-up and shutdown: the log and its header, the window and its OpenGL context, the worker
// threads, the built-in images and the interface palette; and the shutdown that undoes them.
#include "shell/hl_init.h"

#include <unistd.h>

#include <GL/gl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "files/io_utils.h"
#include "files/pref.h"
#include "foundation/alert.h"
#include "foundation/cmdline.h"
#include "foundation/diag.h"
#include "foundation/edition.h"
#include "foundation/globals.h"
#include "foundation/hl_types.h"
#include "foundation/records.h"
#include "foundation/worker_pool.h"
#include "foundation/xtim.h"
#include "ogl/colr.h"
#include "ogl/draw2d.h"
#include "ogl/extensions.h"
#include "ogl/state.h"
#include "ogl/text.h"
#include "platform/claim.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/folders.h"
#include "platform/hwinfo.h"
#include "platform/progress_window.h"
#include "platform/regular_file.h"
#include "platform/window.h"
#include "shell/hl_alert.h"
#include "shell/hl_mnw.h"
#include "shell/keys.h"
#include "shell/lang.h"
#include "shell/menus.h"
#include "tex/hard_texes.h"
#include "tex/scratch.h"
#include "tex/tman.h"
#include "widgets/butn.h"
#include "widget_hooks.h"
#include "widgets/focus.h"
#include "widgets/shown_text.h"

int g_mon_x_res_now = 0;
int g_mon_y_res_now = 0;

namespace {

const char kInitSource[] = "DUdurid/GenC/hl_init";
const std::string kLogName = "Log.txt";
const char kWebAddress[] = "volarium.example/installer";
// Said first on a start without any display, before the alert's text about the hardware.
const char kNoDisplay[] =
    "No display was found. Without a desktop, run under a virtual one:\n"
    "  xvfb-run -a -s \"-screen 0 1280x1024x24\" bash tools/run.sh\n";

PLAT_gl_window g_window;
std::string g_start_folder;
int g_finished = 0;
int g_show_init_calls = 0;

// Screen facts remembered at the first ZARIRU_setres.
int g_setres_called = 0;
int g_first_depth = 0;
int g_switch_flag = 0;

std::string exe_path() {
  char buf[PATH_MAX + 1];
  ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
  if (n <= 0) return "";
  return std::string(buf, static_cast<size_t>(n));
}

void graphics_failed() {
  if (!PLAT_display_named()) std::fputs(kNoDisplay, stderr);
  __ZARIRU_alert(0,
                 "I could not set up the graphics for Volarium! I hope your monitor is at 1024x768 or higher! It must be!",
                 "You do not meet the system requirements or you do not have OpenGL drivers or you entered a bad resolution in Volarium!",
                 "You need at least 256 meg of RAM, 16 meg of VRAM, and OpenGl drivers for your 3-D accelerator card!",
                 "If you reset the resolution, you can try launching Volarium again, since I am resetting Volarium to default resolution now.",
                 t_exit, kInitSource, 1521);
}

void fixed_gl_state() {
  const GLfloat ambient[4] = {0, 0, 0, 0};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glAlphaFunc(GL_GREATER, 0);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDepthFunc(GL_LEQUAL);
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glHint(GL_FOG_HINT, GL_FASTEST);
  glFrontFace(GL_CW);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glShadeModel(GL_SMOOTH);
  glEnable(GL_DITHER);
  glDisable(GL_INDEX_LOGIC_OP);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_TEXTURE_1D);
  glDisable(GL_NORMALIZE);
  glDisable(GL_SCISSOR_TEST);
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
  if (mnw.aa_got > 0) glEnable(0x809D /* GL_MULTISAMPLE */);
  glDepthMask(GL_FALSE);
}

void log_pixel_format() {
  const PLAT_pixel_format f = PLAT_gl_pixel_format();
  std::ostringstream s;
  s << "AGL_RGBA         : " << 1 << "\n";
  s << "AGL_DOUBLEBUFFER : " << f.double_buffer << "\n";
  s << "AGL_RED_SIZE     : " << f.red << "\n";
  s << "AGL_GREEN_SIZE   : " << f.green << "\n";
  s << "AGL_BLUE_SIZE    : " << f.blue << "\n";
  s << "AGL_ALPHA_SIZE   : " << f.alpha << "\n";
  s << "AGL_DEPTH_SIZE   : " << f.depth << "\n";
  xer_line(s.str());
}

int threaded_ogl() { return glExt.threaded_avail; }
void threaded_ogl_failed() { xer_line("A worker thread could not get its OpenGL context.\n"); }
void unfocus_hook() { BTN_unfocus_by_click(); }

}  // namespace

std::string ZARIRU_app_folder_of(const std::string& exe) {
  std::string p = exe;
  size_t b = p.rfind("/Contents/MacOS/");
  if (b != std::string::npos) p.resize(b);
  if (p.empty()) return p;
  // A final "/" stays with the last component.
  size_t from = p.size() >= 2 ? p.size() - 2 : 0;
  size_t slash = p.rfind('/', from);
  if (slash == std::string::npos) return p;
  return p.substr(0, slash + 1);
}

void ZARIRU_set_app_path(std::string* out) {
  g_case_sensitive = 1;
  std::string folder = ZARIRU_app_folder_of(exe_path());
  if (out) *out = folder;
  app_path.clear();
  if (is_net) g_case_sensitive = 0;
}

std::string ZARIRU_log_path() {
  std::string folder;
  int which = is_dvd ? PLAT_folder_desktop : PLAT_folder_app;
  if (PLAT_find_folder(which, folder) != 0) {
    folder = PLAT_home_folder();
  }
  return folder + kLogName;
}

void ZARIRU_open_log() {
  const std::string path = ZARIRU_log_path();
  const std::string folder = path.substr(0, path.size() - kLogName.size());
  UTL_set_report_place(folder, "");
  // Held until the process ends; only the claim's failure for being held elsewhere matters.
  int err = 0;
  if (PLAT_claim_file(path, &err) < 0 && err == EWOULDBLOCK)
    UTL_set_report_place(folder, "-" + std::to_string(PLAT_process_id()));
  // Anything but a file there leaves the program without a log, as an unwritable desktop does.
  PLAT_open_regular_stream(xer, UTL_report_path(kLogName), std::ios::out | std::ios::trunc);
}

std::string ZARIRU_cpu_type_name(int value, int ok) {
  if (!ok) value = 0;
  auto four = [](const char* s) {
    return static_cast<int>((static_cast<unsigned>(s[0]) << 24) | (static_cast<unsigned>(s[1]) << 16) |
                            (static_cast<unsigned>(s[2]) << 8) | static_cast<unsigned>(s[3]));
  };
  switch (value) {
    case 264: return " (G3) ";
    case 268: return " (G4) ";
    case 272: return " (G4/7450) ";
    case 273: return " (G4/7455) ";
    case 274: return " (G4/7447) ";
    case 288: return " (G3/750FX) ";
    case 313: return " (G5) ";
    case 316: return " (G5/FX) ";
    default: break;
  }
  if (value == four("i486")) return " (i486) ";
  if (value == four("i586")) return " (Pentium) ";
  if (value == four("i5pr")) return " (Pentium Pro) ";
  if (value == four("i5ii")) return " (Pentium II) ";
  if (value == four("i5iv")) return " (Pentium 4) ";
  if (value == four("ixxx")) return " (X86) ";
  const unsigned u = static_cast<unsigned>(value);
  char c[4] = {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8), static_cast<char>(u)};
  bool printable = true;
  for (char ch : c) printable = printable && ch >= 32 && ch < 127;
  if (printable) return std::string(" (") + std::string(c, 4) + ") ";
  if (c[0] == 'i') return " (unknown intel) ";
  return " (unknown PowerPC) ";
}

std::string ZARIRU_log_header() {
  std::ostringstream s;
  s << "log.txt for " << build_name[0] << " " << "Installer " << build_number << " compiled on " << __DATE__
    << " " << __TIME__ << "\n\n";
  s << "This log file is generated automatically by Tarrowind applications and contains diagnostics about your "
       "graphics hardware, installation, and any error conditions.\n";
  s << "If you need to contact tech support or file a bug, please send us this file. NOTE: this file is rewritten "
       "every time you start ANY of your Volsuite applications.\n\n";
  PLAT_hw_report hw = PLAT_hardware_report();
  s << (hw.system.empty() ? std::string("?") : hw.system) << "\n";
  s << "CPU type: " << "?" << (hw.cpu_model.empty() ? std::string(" (?) ") : " (" + hw.cpu_model + ") ");
  s << "CPU speed (mhz): ";
  if (hw.cpu_mhz > 0) s << hw.cpu_mhz; else s << "?";
  s << " " << "Bus speed (mhz): " << "?" << " " << "RAM (MB): ";
  if (hw.ram_mb > 0) s << hw.ram_mb; else s << "?";
  s << "\n";
  s << "\nVolsuite folder:'" << app_path << "', case sensitive=" << g_case_sensitive << "\n\n";
  return s.str();
}

void ZARIRU_fill_tables() {
  std::srand(1);
  for (float& r : randrat)
    r = static_cast<float>(std::rand()) * static_cast<float>(1.0 / 2147483648.0) * 0.9999f;
  const unsigned seed = static_cast<unsigned>(PLAT_microseconds() & 0xFFFFFFFFu);
  std::srand(seed);
  for (unsigned i = 0; i < seed % 1000; ++i) (void)std::rand();
  for (int i = 0; i <= 360; ++i) {
    lookup_sin[i] = sinf(static_cast<float>(i) * degtorad);
    lookup_cos[i] = cosf(static_cast<float>(i) * degtorad);
  }
}

void ZARIRU_palette_from_sheet(const unsigned char* sheet) {
  struct cell {
    int index, x, y;
  };
  static const cell kCells[] = {{34, 319, 155}, {35, 319, 147}, {36, 319, 139}, {37, 319, 131}, {38, 319, 123},
                                {40, 319, 115}, {41, 319, 107}, {42, 319, 99},  {43, 319, 91},  {45, 319, 83},
                                {46, 319, 75},  {47, 319, 67},  {44, 395, 115}};
  for (const cell& c : kCells) {
    const unsigned char* p = sheet + 4 * (512 * c.y + c.x);
    colr.assign(c.index, p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f);
  }
  colr.assign(39, (colr.rgb[35][0] + colr.rgb[38][0]) / 2, (colr.rgb[35][1] + colr.rgb[38][1]) / 2,
              (colr.rgb[35][2] + colr.rgb[38][2]) / 2);
}

void ZARIRU_setres(int on) {
  mnw.scr_w = mnw.req_w;
  mnw.scr_h = mnw.req_h;
  mnw.scr_depth = mnw.req_depth;
  int sw = 0, sh = 0, depth = 0;
  PLAT_desktop_mode(&sw, &sh, &depth, on != 0);
  g_mon_x_res_now = sw;
  g_mon_y_res_now = sh;
  if (mnw.fill_screen) {
    mnw.req_w = mnw.scr_w = sw - 40;
    mnw.req_h = mnw.scr_h = sh - 60;
  }
  int flag = (sw < 1024 || sh < 768) ? 1 : mnw.depth_switch;
  if (!g_setres_called) {
    g_setres_called = 1;
    g_first_depth = depth;
    g_switch_flag = flag;
  }
  // The display's depth is the desktop's business here: it is recorded, never switched.
  (void)on;
}

int ZARIRU_make_context(int which) {
  if (which != 0) return 0;
  const int w = mnw.scr_w, h = mnw.scr_h;
  const bool fits = w + 20 < g_mon_x_res_now && h + 20 < g_mon_y_res_now;
  static const int kSamples[] = {0, 2, 4, 8, 16};
  const int want = kSamples[std::clamp(mnw.aa_want, 0, 4)];
  if (PLAT_window_open(ZARIRU_window_title, w, h, want, &g_window) != 0) {
    xer_line("The window could not be opened: " + PLAT_window_error() + "\n");
    return 0;
  }
  // With no display the video system may fall back to a driver that shows nothing. Nobody could
  // answer an alert there, so only "--fps_test", which never waits for a click, may run on it,
  // and only where no display is named: a named one that never answered is a failure.
  if (PLAT_video_invisible() && (PLAT_display_named() || !cmdline.has_option("--fps_test"))) {
    xer_line("There is no display to show the window on (video driver " + PLAT_video_driver() + ").\n");
    PLAT_window_close(&g_window);
    return 0;
  }
  if (fits)
    PLAT_window_place(&g_window, 0, 40, 1);
  else
    PLAT_window_place(&g_window, 0, 0, 0);
  mnw.win = g_window.win;
  mnw.ctx = g_window.ctx;
  mnw.aa_got = g_window.samples >= 16 ? 4 : g_window.samples >= 8 ? 3 : g_window.samples >= 4 ? 2 : g_window.samples >= 2 ? 1 : 0;
  log_pixel_format();
  int err = glExt.init_entry_points();
  if (err != 0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "Error=%f", static_cast<double>(err));
    stl_global = buf;
    __ZARIRU_alert(0, "Could not open OpenGL framework", "", stl_global, "", t_exit, kInitSource, 739);
  }
  // Engine switches of other platforms: their look-ups find nothing here.
  void* cgl_disable = aglGetProcAddress("CGLDisable");
  void* cgl_enable = aglGetProcAddress("CGLEnable");
  void* cgl_current = aglGetProcAddress("CGLGetCurrentContext");
  if (cgl_enable && cgl_current && cmdline.has_option("--use_threaded_ogl"))
    xer_line("Enabling threaded OGL - got 0\n");
  (void)cgl_disable;
  fixed_gl_state();
  OGL_setstate_forget();
  glClearColor(0, 0, 0, 1);
  OGL_setstate(fog_fals, 0, lit_fals, al_none, deR_fals, deW_fals);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  tman.reset_bind();
  return 1;
}

void ZARIRU_nuke_context(int which) {
  if (which != 0) return;
  PLAT_window_close(&g_window);
  mnw.win = nullptr;
  mnw.ctx = nullptr;
}

void* ZARIRU_make_context_loader() {
  if (!g_window.win || !g_window.ctx) return nullptr;
  void* ctx = PLAT_gl_shared_context(&g_window);
  if (!ctx) xer_line("We could not create a context for our worker threads.\n");
  return ctx;
}

int ZARIRU_set_context_loader(void* ctx) {
  return PLAT_gl_make_current(&g_window, ctx);
}

void ZARIRU_show_init(const std::string& text, float* progress) {
  if (!plot_init_lights) return;
  float p = progress ? *progress : static_cast<float>(g_show_init_calls) / 100.0f;
  ++g_show_init_calls;
  p = std::clamp(p, 0.02f, 1.0f);
  const float x0 = mnw.off_x, ox = mnw.wind_x, oy = mnw.wind_y;
  OGL_plot_back_col();
  BTN_frame2(15, x0 + 10 - ox, 31 - oy, 460, 200, "");
  OGL_string(49, x0 + 22 - ox, 210 - oy, kWebAddress, 440, charset_UI_diff_space, 0);
  BTN_frame1(4, x0 + 8 + 504 - ox, 15 - oy, 1008, 0);
  BTN_frame1(5, x0 + 8 + 504 * p - ox, 15 - oy, 1008 * p, 0);
  OGL_string(61, x0 + 22 - ox, 60 - oy, text, 440, charset_UI_diff_space, 0);
  OGL_sbuff();
}

std::string ZARIRU_start_folder() { return g_start_folder; }

void IBM_turnoff() {}

int ZARIRU_master_strip(const std::string& line1, const std::string& line2) {
  OGL_plot_back_col();
  OGL_string(38, 20 - mnw.wind_x, 60 - mnw.wind_y, line1, 0, charset_UI_diff_space, 0);
  OGL_string(38, 20 - mnw.wind_x, 40 - mnw.wind_y, BTN_path_shown(line2, static_cast<float>(mnw.scr_w) - 40), 0,
             charset_UI_diff_space, 0);
  OGL_sbuff();
  return ZARIRU_master_poll();
}

int ZARIRU_master_poll() {
  PLAT_pump_events();
  PLAT_event ev;
  if (!PLAT_poll_event(&ev)) return 0;
  if (ev.what == PLAT_ev_quit) {
    app_done = 1;
    return 1;
  }
  return (ev.what == PLAT_ev_key_down && (ev.message & 0xFF) == 'q') ? 1 : 0;
}

void ZARIRU_init(int argc, const char* const* argv) {
  ZARIRU_install_alert();
  UTL_debug_init();
  PLAT_flush_events();

  {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) g_start_folder = std::string(cwd) + (cwd[1] ? "/" : "");
  }
  ZARIRU_set_app_path(&app_path);
  // Relative paths resolve against the application's folder.
  std::string folder = ZARIRU_app_folder_of(exe_path());
  if (!folder.empty() && chdir(folder.c_str()) != 0) {
    // Start-up goes on from wherever it was started.
  }

  ZARIRU_open_log();
  xer.setf(std::ios::fixed, std::ios::floatfield);

  ZARIRU_fill_tables();
  xer << ZARIRU_log_header();
  xer.flush();

  cmdline.init_unix(argc, const_cast<const char**>(argv));
  THREAD_init();

  mnw.req_w = 1024;
  mnw.req_h = 768;
  mnw.req_depth = 32;
  mnw.tex_res = 5;
  mnw.aa_want = 0;
  mnw.language = 0;

  ZARIRU_setres(1);
  if (!ZARIRU_make_context(0)) graphics_failed();

  tman_show_init = ZARIRU_show_init;
  xtim_hook.unfocus_any = unfocus_hook;
  ZARIRU_install_widget_hooks();
  THREAD_gl_hooks gl_hooks;
  gl_hooks.threaded_ogl = threaded_ogl;
  gl_hooks.make_context = ZARIRU_make_context_loader;
  gl_hooks.set_context = ZARIRU_set_context_loader;
  gl_hooks.threaded_ogl_failed = threaded_ogl_failed;
  THREAD_set_gl_hooks(gl_hooks);

  OGL_pix_specs(0);
  glExt.init_extensions();
  THREAD_make_workers();
  recall_ins_texes();
  ZARIRU_palette_from_sheet(scratch_array);

  ZARIRU_clear_menus(1);
  ZARIRU_startwind(-1, 0);
  OGL_pix_specs(0);
  ogl_inited = 1;

  if (mnw.language < 0) {
    mnw.language = 0;
    __ZARIRU_alert(-1, "-", "-", "-", "-", t_langbox, kInitSource, 1595);
  }
  ZARIRU_setupforlang();
  ZARIRU_show_init("Will init plugins.", nullptr);
  ZARIRU_show_init("Starting application.", nullptr);
}

void ZARIRU_finishup(int save) {
  if (g_finished) return;
  g_finished = 1;
  if (save) {
    if (!cmdline.has_option("--fps_test")) {
      pref.IO_set(11, 1);
      keys.keys_io(1);
    }
    THREAD_shutdown();
  }
  ZARIRU_setres(0);
  ZARIRU_nuke_context(0);
  PLAT_progress_close();
  xer.close();
  PLAT_flush_events();
}
