// The About screen: one frame polls the list download until its one attempt ends, decides once
// what to offer, and then walks the update through download, unpacking and start.
#include "shell/about.h"

#include <filesystem>
#include <string>

#include "files/archive_sig.h"
#include "files/io_utils.h"
#include "files/zip.h"
#include "foundation/alert.h"
#include "foundation/globals.h"
#include "foundation/hl_types.h"
#include "foundation/records.h"
#include "net/http.h"
#include "ogl/draw2d.h"
#include "ogl/text.h"
#include "platform/folders.h"
#include "platform/open_url.h"
#include "shell/about_logic.h"
#include "shell/hl_mnw.h"
#include "widgets/butn.h"
#include "widgets/focus.h"

std::string about_list_server = "update.volarium.example";
std::string about_web_url = "http://www.volarium.example/";
std::string about_update_key = VOL_UPDATE_PUBLIC_KEY;

namespace {

constexpr int kAboutWind = 994;
constexpr int kListSlot = 0, kInstallerSlot = 1;
const char kListPath[] = "/serverlist.txt";

struct about_state {
  about_list list;
  int list_read = 0;   // about_read_list accepted the file
  int list_done = 0;   // this opening's attempt has ended
  about_decision dec;
  int sig_fetched = 0;   // the update's signature is in; its archive comes next
  std::string app_name;  // installer_app_name: the archive's first entry
  std::string folder;    // where it was unpacked
  about_view view;
};

about_state g;

std::string folder_of(int which) {
  std::string path;
  if (PLAT_find_folder(which, path) != 0) path.clear();
  return path;
}

// Downloads land in the private temporary folder, which is removed at exit.
std::string temp_file(const char* name) { return folder_of(PLAT_folder_temp) + name; }

void begin_opening() {
  if (!g.list_read) {
    g.list = about_list{};
    g.list_done = 0;
  } else {
    // A list read at an earlier opening still holds: offer again what it offers.
    g.dec = about_decide(g.list, build_number);
  }
  g.view = about_view{};
}

void poll_list() {
  const int r = http.net_check(kListSlot, about_list_server, kListPath, temp_file("serverlist.txt"),
                               about_list_max_bytes);
  if (r == http_class::net_running) return;
  if (r == http_class::net_done) g.list_read = about_read_list(temp_file("serverlist.txt"), &g.list);
  // One attempt per opening, whatever its outcome; the decision is taken once, here.
  g.list_done = 1;
  g.dec = about_decide(g.list, build_number);
  const int code = http.last_result(kListSlot).err;
  if (r == http_class::net_failed && about_past_bound(code)) g.dec.err_msg = about_stopped_error("list of versions", code);
}

void stop_update(const std::string& message) {
  g.dec.err_msg = message;
  g.dec.ins_state = about_ins_idle;
}

void unpack() {
  int err = 0;
  const std::string folder = about_fresh_folder(folder_of(PLAT_folder_desktop), &err);
  if (folder.empty()) {
    stop_update(about_unzip_error(err));
    return;
  }
  std::string first;
  const ErrCode code = zip_to_file(temp_file("installer.zip"), folder, &first, 0);
  if (code != 0) {
    // Nothing of a half-unpacked update stays: the folder was made by this attempt.
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    stop_update(about_unzip_error(code));
    return;
  }
  g.view.unpacked_to = folder;
  g.folder = folder;
  g.app_name = first;
  g.dec.ins_state = about_ins_ready;
}

// The signature comes first: an update that cannot be verified is not even fetched. Only a
// verified archive is unpacked.
void download() {
  const about_where& where = g.dec.installer;
  const std::string sig = temp_file("installer.zip.sig"), archive = temp_file("installer.zip");
  const int r = g.sig_fetched ? http.net_check(kInstallerSlot, where.server, where.path, archive,
                                               about_installer_max_bytes)
                              : http.net_check(kInstallerSlot, where.server, where.path + archive_sig_suffix, sig,
                                               archive_sig_bytes);
  if (r == http_class::net_running) {
    const down_info info = http.slot_info(kInstallerSlot);
    g.view.progress = g.sig_fetched ? about_progress_text(info.received, info.content_length)
                                    : about_progress_text(0, -1);
    OGL_string(58, 20, 60, g.view.progress, 9999, charset_UI_diff_space, 0);
    return;
  }
  const int code = http.last_result(kInstallerSlot).err;
  if (!g.sig_fetched) {
    if (r == http_class::net_failed) stop_update(about_msg_unverified);
    g.sig_fetched = r == http_class::net_done;
    return;
  }
  g.sig_fetched = 0;
  if (r == http_class::net_failed) {
    stop_update(about_past_bound(code) ? about_stopped_error("installer", code) : about_msg_download_failed);
  } else if (archive_sig_verify(archive, sig, about_update_key) != 0) {
    delete_file(archive);
    stop_update(about_msg_unverified);
  } else {
    unpack();
  }
}

void launch() {
  std::string path;
  int code = about_launch_target(g.folder, g.app_name, &path);
  // A successful start shuts this program down and does not come back.
  if (code == 0) code = launch_app(path, app_path);
  g.dec.err_msg = about_launch_error(code);
  g.dec.ins_state = about_ins_idle;
}

void frame() {
  if (!g.list_done) poll_list();

  OGL_plot_back_col();
  BTN_fillwin(1, 21);
  BTN_subwin(0, 15, -1, 35, -1, -1, std::string(), nullptr, nullptr);
  const float wrap = mnw.wind_w - 60.0f;
  const float top = mnw.wind_h - 28.0f - 30.0f;
  OGL_string(49, 30, top, build_name[0], wrap, charset_UI_diff_space, 0);
  if (g.list.found)
    g.view.status_line = "The current version of Volarium at is now " + g.list.final_name + ".";
  else if (!g.list_done)
    g.view.status_line = "Looking on the net for the latest version of Volarium...";
  else
    g.view.status_line = "The net could not be reached to find the latest version of Volarium.";
  OGL_string(47, 30, top - 30.0f, g.view.status_line, wrap, charset_UI_diff_space, 0);
  if (g.list_done) OGL_string(47, 30, top - 60.0f, g.dec.err_msg, wrap, charset_UI_diff_space, 0);

  if (BTN_action(191, 17, 0, 0, 1, "Visit Our Web Site", "-")) go_to_URL(about_web_url);

  g.view.progress.clear();
  g.view.button_shown = 0;
  if (g.list_done) {
    switch (g.dec.ins_state) {
      case about_ins_fetch: {
        g.view.button_shown = 1;
        g.view.button_x = mnw.wind_x + 492.0f;
        g.view.button_y = mnw.wind_y + 17.0f;
        const char* label = g.dec.is_beta ? " Get New Beta! " : "Update Volarium!";
        if (BTN_action(492, 17, 0, 0, 1, label, "-")) g.dec.ins_state = about_ins_download;
        break;
      }
      case about_ins_download: download(); break;
      case about_ins_ready: launch(); break;
      default: break;
    }
  }
  g.view.list_done = g.list_done;
  g.view.list_read = g.list.found;
  g.view.ins_state = g.dec.ins_state;
  g.view.err_msg = g.dec.err_msg;
}

}  // namespace

const about_view& ZARIRU_about_view() { return g.view; }

void go_to_URL(const std::string& url) {
  if (url.size() > 499) {
    __ZARIRU_alert(0, "String too long!", url.substr(0, 80), "", "", t_exit, "DUdurid/GenH/hl_string", 137);
    return;
  }
  PLAT_open_url(url);
}

void ZARIRU_about() {
  ZARIRU_startwind(kAboutWind, 0);
  if (mnw.wind_id != kAboutWind) return;
  // The click that opened the box belongs to the screen below it.
  mnw.click = mnw.quick_click = mnw.double_click = 0;
  begin_opening();
  while (mnw.wind_id == kAboutWind && !app_done) {
    frame();
    ZARIRU_event_proc();
  }
  if (app_done && mnw.wind_id == kAboutWind) ZARIRU_startwind(0, 0);
  // Nothing polls the slots once the box is closed: drop what still runs (a partial file goes).
  if (!g.list_done) http.abort_slot(kListSlot);
  if (g.dec.ins_state == about_ins_download) {
    http.abort_slot(kInstallerSlot);
    g.dec.ins_state = about_ins_fetch;
    g.sig_fetched = 0;
  }
}
