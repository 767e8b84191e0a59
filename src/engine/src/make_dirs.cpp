// The destination's folder tree, made before anything is unpacked: the destination and its
// ancestors, the folders of every wanted file, the fixed folders, and room for framework links.
#include <cerrno>
#include <set>
#include <string>

#include "engine/install.h"
#include "files/io_utils.h"
#include "foundation/alert.h"
#include "foundation/globals.h"
#include "internal.h"

using namespace engine_detail;

void make_dir_error(std::string path, int code) {
  utils_alert(177, t_alert,
              "I am unable to install or update Volarium. An error occurred while creating new "
              "folders. Make sure you are installing to a directory that you have access to!",
              "Error: " + error_str(code), "Install Location: " + dest_dir_path,
              "Install Path:" + path);
}

namespace {

// Makes one folder of the tree; a failure the user must hear of stops the installation with one
// alert naming it (false), since every file below it would fail in turn.
bool make_tree_folder(const std::string& path, int* made = nullptr) {
  ErrCode code = make_folder(path);
  if (made) *made = code == 0;
  // Something that is not a folder already there.
  if (code == EEXIST && !dir_exists(path)) code = ENOTDIR;
  if (!show_make_dir_err(code)) return true;
  stg[STG_error] = 1;
  make_dir_error(path, code);
  return false;
}

bool make_chain() {
  // The destination and every ancestor, outermost first.
  const std::string whole = dest_dir_path.substr(0, dest_dir_path.size() - 1);
  if (whole.empty()) return true;
  size_t pos = whole.find('/', 1);
  for (;;) {
    const bool last = pos == std::string::npos;
    const std::string prefix = last ? whole : whole.substr(0, pos);
    if (!make_tree_folder(prefix, last ? &dest_dir_created : nullptr)) return false;
    if (last) return true;
    pos = whole.find('/', pos + 1);
  }
}

// A folder of the tree that is a link leading outside the destination: nothing is made below it.
// When a file is to be written there the installation stops with one alert naming it (false);
// files already there through the link are only passed over.
bool make_file_folders() {
  std::set<std::string> folders;
  std::set<std::string> written;  // folders that receive a file in this run, with their "/"
  for (int i = 0; i < static_cast<int>(sim_info.size()); ++i) {
    const auto& h = sim_info[i].versions;
    if (h.empty() || h.back().sig_want == kSigGone || !newest_wanted(i)) continue;
    dest_path_of(h.back().path);  // refuses a path that leaves the destination
    std::string rel = h.back().path;
    trim_dest_folder(rel);
    for (size_t pos = rel.find('/'); pos != std::string::npos; pos = rel.find('/', pos + 1))
      if (pos > 0) folders.insert(rel.substr(0, pos));
    if (h.back().install) written.insert(folder_of(rel));
  }
  // Sorted order puts every parent before its children.
  std::string passed;  // the last folder passed over, with its "/"
  for (const std::string& f : folders) {
    if (!passed.empty() && (f + "/").compare(0, passed.size(), passed) == 0) continue;
    const std::string full = dest_dir_path + f;
    if (!folder_inside_destination(full)) {
      passed = f + "/";
      const auto below = written.lower_bound(passed);
      if (below == written.end() || below->compare(0, passed.size(), passed) != 0) continue;
      stg[STG_error] = 1;
      utils_alert(178, t_alert,
                  "I am unable to install or update Volarium. A folder of the installation is a link that "
                  "leads outside it, so I have written nothing there and stopped.",
                  "Folder: " + full, "It leads to: " + resolve_on_disk(full),
                  "Install Location: " + dest_dir_path);
      return false;
    }
    if (!make_tree_folder(full)) return false;
  }
  return true;
}

bool make_fixed_folders() {
  static const char* const kFixed[] = {"Output",           "Output/FMS plans", "Output/logbooks",
                                       "Output/movies",    "Output/situations", "Resources",
                                       "Resources/preferences"};
  for (const char* f : kFixed) {
    const std::string full = dest_dir_path + f;
    if (lands_inside_destination(full) && !make_tree_folder(full)) return false;
  }
  return true;
}

// The framework archives bring "Current" and "Resources" as links; a real folder in the way
// is moved aside.
void move_aside_framework_entries() {
  static const char* const kFrameworks[] = {"Resources/plugins/ZRNB.framework/",
                                            "Resources/plugins/ZRNBWidgets.framework/"};
  for (const char* fw : kFrameworks) {
    const std::string versions = dest_dir_path + fw + "Versions/";
    if (folder_inside_destination(versions) && !is_sim_link((versions + "Current").c_str(), nullptr))
      rename_file(versions, "Current", "_Current");
  }
  for (const char* fw : kFrameworks) {
    const std::string folder = dest_dir_path + fw;
    if (folder_inside_destination(folder) && !is_sim_link((folder + "Resources").c_str(), nullptr))
      rename_file(folder, "Resources", "_Resources");
  }
}

}  // namespace

void make_dirs() {
  require_dest();
  dest_dir_created = 0;
  forget_links_made();
  if (make_chain() && make_file_folders() && make_fixed_folders()) move_aside_framework_entries();
}
