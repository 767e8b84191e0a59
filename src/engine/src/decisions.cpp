// Per-file decisions: install, keep, replace or delete the newest version of every listed path,
// asking the user before touching a file the user has changed. Nothing on disk is touched here.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "engine/install.h"
#include "internal.h"
#include "foundation/alert.h"
#include "foundation/globals.h"

int want_this_f(int file, int version, int disc) {
  if (file < 0 || file >= static_cast<int>(sim_info.size()) || version < 0 ||
      version >= static_cast<int>(sim_info[file].versions.size()))
    ZARIRU_alert(0, "want_this_f: no such file or version!", "file=" + std::to_string(file),
                 "version=" + std::to_string(version), "", t_exit);
  const file_version_struct& v = sim_info[file].versions[version];
  if (v.disc_type != disc) return 0;
  int os = stg[STG_target_os];
  if (v.platform == os || v.platform == 0) return 1;
  if (v.platform == 6 && os == 3) return 1;
  return 0;
}

namespace engine_detail {

int newest_wanted(int file) {
  const auto& h = sim_info[file].versions;
  if (h.empty()) return 0;
  int last = static_cast<int>(h.size()) - 1;
  return want_this_f(file, last, h[last].disc_type);
}

std::set<std::string> kept_paths() {
  std::set<std::string> out;
  for (int i = 0; i < static_cast<int>(sim_info.size()); ++i) {
    const auto& h = sim_info[i].versions;
    if (h.empty() || h.back().sig_want == kSigGone || !newest_wanted(i)) continue;
    std::string rel = h.back().path;
    trim_dest_folder(rel);
    out.insert(rel);
  }
  return out;
}

int is_kept_elsewhere(const std::set<std::string>& kept, const std::string& listed_path) {
  std::string rel = listed_path;
  trim_dest_folder(rel);
  return kept.count(rel) ? 1 : 0;
}

std::string folder_of(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace engine_detail

using namespace engine_detail;

int choose_files() {
  std::vector<std::string> act_all_folders;
  std::vector<std::string> keep_all_folders;
  auto listed = [](const std::vector<std::string>& list, const std::string& f) {
    return std::find(list.begin(), list.end(), f) != list.end();
  };
  // A file that another wanted history installs or keeps under the same destination path is
  // never deleted for a history that drops it.
  const std::set<std::string> kept = kept_paths();

  for (int i = 0; i < static_cast<int>(sim_info.size()); ++i) {
    auto& h = sim_info[i].versions;
    if (h.empty()) continue;
    file_version_struct& v = h.back();
    const bool gone = v.sig_want == kSigGone;
    int wanted = newest_wanted(i);

    if (wanted) {
      const std::string local = dest_path_of(v.path);
      const bool readable = v.sig_have != kSigUnreadable;
      if (gone && is_kept_elsewhere(kept, v.path)) {
        wanted = 0;
      } else if (v.sig_have == kSigNone) {
        wanted = gone ? 0 : 1;
      } else if (readable && v.sig_have == v.sig_want) {
        wanted = 0;
      } else if (readable && std::any_of(h.begin(), h.end(), [&](const file_version_struct& o) {
                   return o.sig_want == v.sig_have;
                 })) {
        wanted = 1;  // an unchanged older version: replace it, or delete it when dropped
      } else {
        const std::string folder = folder_of(local);
        if (listed(act_all_folders, folder)) {
          wanted = 1;
        } else if (listed(keep_all_folders, folder)) {
          wanted = 0;
        } else {
          xer_line("File: " + local + "  sig_want=" + v.sig_want + "  sig_have=" + v.sig_have +
                   "\n");
          switch (engine_select_alert(local, gone ? 1 : 0)) {
            case 1: wanted = 1; break;
            case 4: act_all_folders.push_back(folder); wanted = 1; break;
            case 5: keep_all_folders.push_back(folder); wanted = 0; break;
            case 3: return 0;
            default: wanted = 0; break;  // 2, or an answer we do not know: keep the user's file
          }
        }
      }
    }
    v.install = wanted && !gone ? 1 : 0;
    v.remove = wanted && gone ? 1 : 0;
  }
  return 1;
}
