// Start-up of the installer: the shell, the folders, the default destination, the state block,
// the preferences, the disc and the destination; then the frame loop until Quit.
#include <string>
#include <vector>

#include "engine/install.h"
#include "files/io_utils.h"
#include "files/pref.h"
#include "foundation/globals.h"
#include "foundation/shell_state.h"
#include "installer/disc.h"
#include "installer/front.h"
#include "installer/screen_logic.h"
#include "net/http.h"
#include "platform/folders.h"
#include "shell/hl_init.h"
#include "shell/hl_mnw.h"
#include "shell/nav.h"

void installer_reset_stg() {
  stg[STG_stage] = STAGE_wait_list;
  // Linux builds install the Linux files of the product.
  stg[STG_target_os] = 3;
  stg[STG_run_state] = RUN_idle;
  stg[STG_net_retry] = 0;
  stg[STG_error] = 0;
  stg[STG_server_count] = -1;
  stg[STG_server_choice] = 0;
  stg[STG_phase] = 3;
  stg.setf(STG_file_frac, 0.0f);
  stg[STG_use_max_cpu] = 0;
  stg[STG_rename_folder] = 1;
  stg[STG_stream_count] = 0;
  stg[STG_always_ask_dir] = 0;
  stg.setf(STG_kb_download, 0.0f);
  stg.setf(STG_kb_installed, 0.0f);
}

std::string installer_default_dest() {
  std::string apps;
  get_OS_abs_path(2, apps);
  return default_dest_from(apps, PLAT_home_folder());
}

int dest_from_command_line(int argc, char** argv) {
  if (argc < 3 || std::string(argv[1]) != "-path") return 0;
  dest_dir_path = argv[2];
  // Start-up moved to the application's folder; a relative folder means the user's own.
  const std::string start = ZARIRU_start_folder();
  if (!dest_dir_path.empty() && dest_dir_path[0] != '/' && !start.empty()) dest_dir_path = with_final_slash(start) + dest_dir_path;
  // Every destination path is a folder path ending in "/" (and absolute).
  normalize_dest_dir(dest_dir_path);
  return 1;
}

void installer_read_prefs() {
  // The proxy tags belong to the download client: read them straight into it.
  pref_bind_proxy(&http.proxy_host, &http.proxy_port, &http.proxy_port_int);
  pref.IO_set(PREF_installer, 0);
}

void installer_startup(int argc, char** argv) {
  static const char* const labels[5] = {"os_dir_this_app\t\t=", "os_dir_desktop\t\t=", "os_dir_default_apps\t=",
                                        "os_dir_temp\t\t\t=", "os_dir_prefs\t\t\t="};
  for (int i = 0; i < 5; ++i) {
    std::string folder;
    get_OS_abs_path(i, folder);
    xer << labels[i] << folder << (i == 4 ? "\n\n" : "\n");
  }
  xer.flush();
  dest_dir_path = installer_default_dest();
  xer_line("dest_dir_path=" + dest_dir_path + "\n");
  get_OS_abs_path(3, temp_path);
  stls[603] = "OK";
  install_name = no_install_name;
  installer_reset_stg();
  installer_read_prefs();
  normalize_dest_dir(dest_dir_path);
  disc_start_folder = ZARIRU_start_folder();
  poll_for_disc();
  xer_line("After searching, I think that dvd_path=" + dvd_path + "\n");
  if (!dest_from_command_line(argc, argv) && stg[STG_always_ask_dir]) pick_dest_path();
  set_select_alert_hook(select_alert);
  set_dir_progress_bar_hook(dir_progress_bar);
  ZARIRU_set_app_callbacks(APP_update, APP_handlemenu);
}

void APP_handlemenu(int) {}
void function_key(int) {}

int path_is_to_a_sim() { return path_is_to_a_sim(dest_dir_path); }

int path_is_to_a_sim(const std::string& folder) {
  std::vector<std::string> names;
  std::vector<int> kinds;
  const int n = opensave_getitems(folder, 0, names, kinds);
  if (n <= 0) return 0;
  const int count = std::min<int>(n, static_cast<int>(std::min(names.size(), kinds.size())));
  return names_hold_product(names.data(), kinds.data(), count);
}

int pick_dest_path() {
  char buffer[2048] = {};
  const std::string start = dest_dir_path.substr(0, sizeof buffer - 1);
  start.copy(buffer, start.size());
  if (!GetFilePathFromUser(2, "Pick a folder to install Volarium to! Be sure to pick your existing folder if you already have one!",
                           "This is my Volarium destination", 1, dest_dir_path.c_str(), buffer, sizeof buffer))
    return 0;
  const std::string chosen = buffer;
  const bool holds = path_is_to_a_sim(chosen == "/" ? chosen : chosen + "/") == 1;
  dest_dir_path = dest_from_choice(chosen, holds, install_name);
  return 1;
}
