// Where things go: the destination folder's form, listed paths made destination paths, and
// the folders of the operating system.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "engine/install.h"
#include "files/inside.h"
#include "files/io_utils.h"
#include "files/zip.h"
#include "foundation/alert.h"
#include "foundation/globals.h"
#include "internal.h"
#include "platform/folders.h"

void normalize_dest_dir(std::string& path) {
  if (path.empty()) return;
  if (path[0] != '/') {
    std::string cwd(4096, '\0');
    if (::getcwd(cwd.data(), cwd.size())) {
      cwd.resize(cwd.find('\0'));
      if (cwd.empty() || cwd.back() != '/') cwd += '/';
      path = cwd + path;
    }
  }
  if (path.back() != '/') path += '/';
}

void trim_dest_folder(std::string& path) {
  size_t slash = path.find('/');
  if (slash != std::string::npos) path.erase(0, slash + 1);
}

void engine_detail::require_dest() {
  normalize_dest_dir(dest_dir_path);
  if (dest_dir_path.empty())
    ZARIRU_alert(0, "I do not know which folder to install Volarium into!",
                 "The installation folder is empty.", "", "", t_exit);
}

std::string engine_detail::resolve_on_disk(const std::string& path) {
  std::string real;
  return resolve_link_text("/", path, &real) ? real : std::string();
}

std::string engine_detail::resolved_destination() {
  std::string root = resolve_on_disk(dest_dir_path);
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

bool engine_detail::resolved_inside(const std::string& resolved, const std::string& root) {
  return path_inside(root, resolved);
}

bool engine_detail::folder_inside_destination(const std::string& folder) {
  const std::string real = resolve_on_disk(folder);
  return real.empty() || resolved_inside(real, resolved_destination());
}

bool engine_detail::lands_inside_destination(const std::string& path) {
  return folder_inside_destination(folder_of(path));
}

std::string engine_detail::local_path_in(const std::string& dest, const std::string& listed_path) {
  std::string rel = listed_path;
  trim_dest_folder(rel);
  return dest + rel;
}

int dest_paths_problem(const std::string& dest, std::string* path) {
  if (const ErrCode code = path_problem(dest)) {
    *path = dest;
    return code;
  }
  for (int i = 0; i < static_cast<int>(sim_info.size()); ++i) {
    if (sim_info[i].versions.empty() || !engine_detail::newest_wanted(i)) continue;
    const std::string local = engine_detail::local_path_in(dest, sim_info[i].versions.back().path);
    // The unpacker's temporary name beside the file may be the longer one.
    const size_t leaf = local.size() - engine_detail::folder_of(local).size();
    const std::string longest = leaf < kUnpackTempNameMax ? local + std::string(kUnpackTempNameMax - leaf, 'x') : local;
    if (const ErrCode code = path_problem(longest)) {
      *path = local;
      return code;
    }
  }
  return 0;
}

std::string dest_path_of(const std::string& listed_path) {
  engine_detail::require_dest();
  if (!listed_path_is_safe(listed_path))
    engine_detail::utils_alert(466, t_exit, "I am working through the list and found a path that is not safe!",
                               "It would reach outside the folder I install into!", "It is:",
                               listed_path);
  return engine_detail::local_path_in(dest_dir_path, listed_path);
}

int get_OS_abs_path(int which, std::string& out) {
  if (which < 0 || which >= PLAT_folder_count)
    ZARIRU_alert(0, "get_OS_abs_path: unknown folder kind!", "which=" + std::to_string(which), "",
                 "", t_exit);
  std::string found;
  int code = PLAT_find_folder(which, found);
  if (code) return code;
  // Only "\\" is foreign here: ':' is an ordinary character in these paths.
  for (char& c : found)
    if (c == '\\') c = '/';
  if (found.empty() || found.back() != '/') found += '/';
  out = found;
  return 0;
}
