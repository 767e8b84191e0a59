// State the engine shares with the front end for the whole run.
#include "engine/install.h"

std::set<std::string> deleted_files;
int this_install_has_exes = 0;
int scan_install_count = 0;
int scan_delete_count = 0;
int dest_dir_created = 0;
std::string crnt_file_name;
std::string crnt_file_path;
std::string server_name[10];
std::string server_path[10];
