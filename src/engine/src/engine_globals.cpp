// State the engine shares with the front end for the whole run.
#include "engine/install.h"
#include "foundation/alert.h"
#include "internal.h"

std::set<std::string> deleted_files;
int this_install_has_exes = 0;
int scan_install_count = 0;
int scan_delete_count = 0;
uint64_t scan_need_bytes = 0;
int dest_dir_created = 0;
std::string crnt_file_name;
std::string crnt_file_path;
std::string server_name[10];
std::string server_path[10];
int scan_readers = 0;

void engine_detail::utils_alert(int line, int type, std::string l1, std::string l2, std::string l3,
                                std::string l4) {
  __ZARIRU_alert(0, std::move(l1), std::move(l2), std::move(l3), std::move(l4), type,
                 "Installer-f/utils", line);
}
