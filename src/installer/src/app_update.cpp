// The installer screen: one call per frame draws the whole screen and advances the installation
// by one step (version file, file list, scan, disk space, Install, the time slices, Quit).
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/install.h"
#include "files/io_utils.h"
#include "foundation/alert.h"
#include "foundation/edition.h"
#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/xtim.h"
#include "installer/disc.h"
#include "installer/front.h"
#include "installer/screen_logic.h"
#include "installer/screen_rects.h"
#include "ogl/colr.h"
#include "ogl/draw2d.h"
#include "ogl/text.h"
#include "platform/claim.h"
#include "platform/volume.h"
#include "widgets/butn.h"
#include "widgets/shown_text.h"

screen_state_struct screen_state;
std::string server_desc[10];

namespace {
const char kSource[] = "Installer-f/main";
// Where the destination's text starts in its box, how much of the box it may fill, and how wide
// a message line may be.
constexpr float kDestinationTextX = 142;
constexpr float kDestinationRoom = kDestinationText.w - 2 * (kDestinationTextX - kDestinationText.x);
constexpr float kMessageRoom = 880 - 2 * (kMessageX - 135);

bool has_work() { return scan_install_count + scan_delete_count > 0; }

bool mouse_in(float x1, float y1, float x2, float y2) {
  return mnw.mouse_x >= x1 && mnw.mouse_x <= x2 && mnw.mouse_y >= y1 && mnw.mouse_y <= y2;
}

void draw_background() {
  OGL_2dquad(394, 49, 1.0f, 0, 0, 0, 0, 0, 768, 0, 0.75f, 1024, 768, 1, 0.75f, 1024, 0, 1, 0, 1, 5);
}

// The destination this installer holds for the whole run, so that no other installer works in
// it at the same time.
std::string g_claimed;
int g_claim = -1;

// False while another installer holds dest; claimed now if need be. A claim that no place can
// keep leaves the installer unguarded, which the screen says.
bool destination_claimed(const std::string& dest) {
  if (g_claim >= 0 && dest == g_claimed) return true;
  PLAT_release_folder_claim(g_claim);
  std::string unshared;
  const int err = PLAT_claim_folder(dest, &g_claim, &unshared);
  g_claimed = dest;
  screen_state.unguarded.clear();
  if (err == EWOULDBLOCK) return false;
  if (err != 0) screen_state.unguarded = "Not guarded against other installers: " + error_str(err);
  else if (!unshared.empty()) screen_state.unguarded = "Not guarded against other users' installers: " + unshared;
  if (!screen_state.unguarded.empty()) xer_line("WARNING: " + screen_state.unguarded + ": " + dest + "\n");
  return true;
}

// The destination changed: the new folder is scanned again.
void new_destination() {
  screen_state.dest_busy = 0;
  screen_state.dest_code = 0;
  stream_reset();
  stg[STG_error] = 0;
  stg[STG_run_state] = RUN_idle;
  if (stg[STG_stage] == STAGE_scanned) stg[STG_stage] = STAGE_scan_due;
}

// Runs the engine's steps for 10 ms of wall time.
void install_slice() {
  const float t0 = static_cast<float>(xtim.microsecs() / 1000000.0);
  for (;;) {
    const double now = xtim.microsecs() / 1000000.0;
    if (now >= static_cast<double>(t0) + 0.01) break;
    if (stg[STG_run_state] == RUN_installing && grab_files() != 0) {
      stg[STG_run_state] = RUN_finished;
      stream_reset();
      disc_let_go();
    }
  }
  screen_state.totl_inst_rat = install_ratio(next.getf(NXT_kb_installed), screen_state.tot_disk_req);
}

void free_space_of_destination() {
  uint64_t bytes = 0;
  if (PLAT_volume_free_bytes(dest_dir_path, bytes) == 0) screen_state.tot_availabl = static_cast<float>(bytes) * 0.001f;
}
}  // namespace

void set_size_str(float kb, std::string* out) { *out = size_text(kb); }

int interface_rect(float x, float y, float u, float v, float w, float h, int active, int tint) {
  if (tint == 1)
    colr.assign(103, 0.8f, 1.0f, 0.8f);
  else if (tint == 2)
    colr.assign(103, 1.0f, 0.8f, 0.8f);
  else
    colr.assign(103, 1.0f, 1.0f, 1.0f);
  const bool inside = mouse_in(x, y, x + w, y + h);
  // The art stacks the normal, hover and pressed looks one pixel apart, downwards.
  if (active && inside) v -= mnw.mouse_held ? 2.0f * (h + 1.0f) : h + 1.0f;
  const float s1 = u / 1024.0f, s2 = (u + w) / 1024.0f, t1 = v / 1024.0f, t2 = (v + h) / 1024.0f;
  OGL_2dquad(393, 103, 1.0f, x, y, s1, t1, x, y + h, s1, t2, x + w, y + h, s2, t2, x + w, y, s2, t1, 1, 5);
  return mnw.click && inside ? 1 : 0;
}

int art_button_at(const art_button& b, int active, int tint) {
  return interface_rect(b.at.x, b.at.y, b.u, b.v, b.at.w, b.at.h, active, tint);
}

int interface_icon(float x, float y, int icon) {
  return interface_rect(x, y, static_cast<float>((icon % 8) * 64), static_cast<float>((icon / 8) * 64 + 66), 64, 64,
                        0, 0);
}

void stream_reset() {
  // Only the network path leaves archives of its own (in the temporary folder); a disc is
  // unpacked in place, and nothing in the destination is ever removed here.
  if (!is_dvd) {
    const int n = static_cast<int>(sim_info.size());
    for (int s = 0; s < NXT_slots; ++s) {
      const int f = next[NXT_file + s];
      if (!next[NXT_active + s] || f < 0 || f >= n || sim_info[f].versions.empty()) continue;
      delete_file(temp_path + std::to_string(s) + listed_archive_ext(sim_info[f].versions.back().path));
    }
  }
  next.reset(xtim.act_time);
}

// The taken disc is no longer the one found: looked for again, with nothing of it kept.
void disc_gone() {
  disc_lost();
  stg[STG_server_count] = -1;
  stg[STG_stage] = STAGE_wait_list;
}

int read_dvd_version() {
  if (dvd_path.empty()) return 0;
  std::string name;
  const int read = disc_taken_version(&name);
  if (read < 0) disc_gone();
  if (read <= 0) return 0;
  const std::string problem = version_name_problem(name);
  if (!problem.empty()) {
    // A disc without a usable version folder is waited on, never joined to a path.
    if (!screen_state.version_refused)
      xer_line("WARNING: the disc's version file names no usable version folder: \"" + name + "\"\n");
    screen_state.version_refused = 1;
    screen_state.version_problem = problem;
    return 0;
  }
  // Only its own reason goes: a refused file list is said again only when it changes.
  if (screen_state.version_refused) screen_state.version_problem.clear();
  screen_state.version_refused = 0;
  install_name = name;
  stg[STG_server_count] = 0;
  return 1;
}

void screen_disc_steps() {
  // The disc is looked for, read and its list unpacked in one frame, so that the status line
  // never shows a reason that is about to be said again.
  const bool second = xtim.act_tick[tick_1hz] && stg[STG_stage] == STAGE_wait_list;
  if (second && dvd_path.empty()) poll_for_disc();
  if (stg[STG_server_count] == -1) read_dvd_version();
  if (screen_state.first_call) {
    screen_state.first_call = 0;
    screen_state.dir_path = temp_path + "directory.txt";
    screen_state.dir_path_path = temp_path;
  }
  if (second && !dvd_path.empty() && stg[STG_server_count] == 0) {
    bool lost = false;
    const std::string why = unpack_disc_list(screen_state.dir_path_path, &lost);
    disc_refused(why);
    if (lost) {
      disc_gone();
    } else if (why.empty()) {
      stg[STG_stage] = STAGE_scan_due;
    } else {
      // Looked for again next second: a copy may finish, or another disc take its place.
      dvd_path.clear();
      stg[STG_server_count] = -1;
    }
  }
}

void screen_scan_step() {
  screen_state_struct& s = screen_state;
  if (stg[STG_stage] != STAGE_scan_due || s.dest_code) return;
  // A folder another installer holds is asked for again once a second, so this one takes over
  // when that one ends.
  if (s.dest_busy && !xtim.act_tick[tick_1hz]) return;
  if (!destination_claimed(dest_dir_path)) {
    if (!s.dest_busy) xer_line("Another installer is working in " + dest_dir_path + ": nothing is installed there.\n");
    s.dest_busy = 1;
    return;
  }
  if (s.dest_busy) xer_line("The other installer has let go of " + dest_dir_path + ".\n");
  s.dest_busy = 0;
  stg[STG_stage] = read_directory(s.dir_path, "Scanning directory text file to see if you already have Volarium installed...");
  if (stg[STG_stage] != STAGE_scan_due) return;
  s.dest_code = dest_paths_problem(dest_dir_path, &s.dest_bad_path);
  xer_line("The destination cannot be used: " + error_str(s.dest_code) + ": " + s.dest_bad_path + "\n");
}

void keep_saved_destination_unless_used() {
  if (!screen_state.dest_busy && !screen_state.dest_code) return;
  dest_dir_path = installer_default_dest();
  installer_read_prefs();
}

void press_install() {
  stream_reset();
  stg[STG_error] = 0;
  // Consent first, then the answers about changed files, and only then anything on disk.
  if (!handle_EULA()) return;
  if (!choose_files()) return;
  // The files come from the folder that was judged, held for as long as they are read.
  if (is_dvd && !disc_hold()) {
    disc_gone();
    return;
  }
  make_dirs();
  // A folder that must not be written through has been reported: nothing is installed.
  if (stg[STG_error]) {
    disc_let_go();
    stg[STG_run_state] = 2;
    return;
  }
  next.reset(xtim.act_time);
  stg[STG_run_state] = RUN_installing;
}

void APP_update() {
  screen_state_struct& s = screen_state;
  draw_background();
  screen_disc_steps();

  BTN_frame1(9, 285, 89, 300, 0);
  // A long destination shows its end: the folder the files go to.
  OGL_string(45, kDestinationTextX, 86, BTN_end_shown(dest_dir_path, kDestinationRoom), 9999, charset_UI_diff_space, 0);

  const int run = stg[STG_run_state];
  if (run == RUN_idle || run == RUN_finished) {
    const int button = art_button_at(kDestinationButton, 1, 1);
    const screen_rect& t = kDestinationText;
    if (button || (mnw.click && mouse_in(t.x, t.y, t.x + t.w, t.y + t.h))) {
      if (pick_dest_path()) new_destination();
    }
  }

  screen_scan_step();

  for (int i = 0; i < stg[STG_server_count] && i < 10; ++i)
    BTN_is_int(142, 578.0f - 20.0f * i, &stg[STG_server_choice], i, server_desc[i]);

  interface_rect(0, 595, 644, 33, 128, 86, 0, 0);
  interface_icon(29, 608, 0);
  BTN_frame2(20, 135, 600, 790, 72,
             install_name != no_install_name ? BTN_middle_shown("DVD: " + install_name, 770) : std::string());
  BTN_frame2(20, 935, 600, 80, 72, "Disk Reqmt");
  OGL_string(46, 954, 635, size_text(stg.getf(STG_kb_installed)), 700, charset_UI_diff_space, 0);

  std::string passed_over;
  for (const std::string& part : s.disc_passed_over) passed_over += part;
  const screen_line status =
      s.dest_busy || s.dest_code ? screen_line{"I cannot install into the selected directory!", 1}
                                 : status_line(next[NXT_done], stg[STG_stage], stg[STG_run_state], has_work(),
                                                s.version_problem.empty() ? passed_over : s.version_problem, s.unguarded);
  // One line in the title panel: a reason that names a folder keeps the folder's name; a disc
  // passed over keeps its reason and the way to use it anyway, its paths cut instead.
  const bool passed = !passed_over.empty() && status.text == passed_over;
  OGL_string(status.colour, 154, 615, passed ? BTN_parts_shown(s.disc_passed_over, 700) : BTN_path_shown(status.text, 700), 9999,
             charset_UI_diff_space, 0);

  if (next[NXT_done] && !s.informed) {
    s.informed = 1;
    __ZARIRU_alert(0, "OK I have now installed this DVD!",
                   "Now look at the other DVDs you may have ordered. You will see maps of the world with certain areas hilighted.",
                   "Those hilighted areas are the areas of scenery contained on each DVD.",
                   "Simply exit this installer, and then run the installer on any of those DVDs to install the scenery on them. "
                   "You may install, or not install, any of those DVDs you like... you will simply have Ocean in any area where "
                   "you do not install scenery.",
                   t_alert, kSource, 324);
  }

  if (stg[STG_run_state] == RUN_idle) {
    const int enabled = install_enabled(s.disk_space_avail, stg[STG_run_state], stg[STG_stage], has_work());
    if (art_button_at(kInstallButton, enabled, enabled ? 1 : 2) && enabled) press_install();
  }

  if (art_button_at(kQuitButton, 1, 1)) {
    stream_reset();
    stg[STG_run_state] = RUN_finished;
    app_done = 1;
  }

  idle_lines lines;
  switch (stg[STG_run_state]) {
    case RUN_installing: {
      install_slice();
      lines = installing_messages(stg[STG_phase], crnt_file_name, s.totl_inst_rat, next.getf(NXT_kb_installed),
                                  s.tot_disk_req_str, static_cast<int>(sim_info.size()), next[NXT_file],
                                  xtim.act_time - next.getf(NXT_start_time));
      break;
    }
    case RUN_finished:
      if (stg[STG_error] == 0) {
        lines.l[0] = {"Installation Complete!", 46};
      } else {
        lines.l[0] = {"The installation was not completed because an error occurred.", 69};
        lines.l[1] = {"Volarium is not fully installed or updated and may not run correctly.", 69};
        lines.l[2] = {"Contact Customer Support for help with this problem.", 69};
      }
      break;
    case RUN_idle:
      s.totl_inst_rat = 0.0f;
      s.tot_availabl = -1.0f;
      s.tot_disk_req = stg.getf(STG_kb_installed);
      free_space_of_destination();
      if (stg[STG_stage] != STAGE_wait_list && has_work()) {
        s.tot_availabl_str = size_text(s.tot_availabl);
        s.tot_disk_req_str = size_text(s.tot_disk_req);
      }
      lines = idle_messages(stg[STG_stage], has_work(), s.tot_disk_req, s.tot_availabl, install_name,
                            &s.disk_space_avail, static_cast<float>(scan_need_bytes) * 0.001f);
      if (s.dest_busy || s.dest_code) lines = destination_refused(s.dest_busy, s.dest_code, dest_dir_path, s.dest_bad_path);
      break;
    default: break;
  }
  if (stg[STG_net_retry]) {
    lines.l[0] = {"I can NOT download the file '" + crnt_file_path + "'!", 69};
    lines.l[1] = {"Your internet connection may not be working, or the server could be undergoing maintainance or an upgrade right now.", 69};
    lines.l[2] = {"I am trying another server now to see if I can still get you a download...", 69};
  }

  BTN_frame2(20, 135, 32, 880, 40, std::string());
  for (int i = 0; i < 3; ++i)
    OGL_string(lines.l[i].colour, kMessageX, kMessageY - kMessageStep * i,
               BTN_middle_shown(lines.l[i].text, kMessageRoom), 9999, charset_UI_diff_space, 0);

  const bar_geom track = progress_track(s.base_x1, s.base_x2);
  BTN_frame1(4, track.centre, 15, track.width, 0);
  const bar_geom fill = progress_fill(s.base_x1, s.base_x2, s.totl_inst_rat, stg[STG_run_state] == RUN_installing);
  if (fill.width > 0) BTN_frame1(5, fill.centre, 15, fill.width, 0);
}
