// Where things go: the destination folder's form, listed paths made destination paths, and
// the folders of the operating system.
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "engine/install.h"
#include "files/inside.h"
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

bool engine_detail::folder_inside_destination(const std::string& folder) {
  char buf[PATH_MAX];
  if (!::realpath(dest_dir_path.c_str(), buf)) return true;
  std::string root = buf;
  if (!::realpath(folder.c_str(), buf)) return true;
  return path_inside(root, buf);
}

bool engine_detail::lands_inside_destination(const std::string& path) {
  return folder_inside_destination(folder_of(path));
}

std::string dest_path_of(const std::string& listed_path) {
  engine_detail::require_dest();
  if (!listed_path_is_safe(listed_path))
    engine_detail::utils_alert(466, t_exit, "I am working through the list and found a path that is not safe!",
                               "It would reach outside the folder I install into!", "It is:",
                               listed_path);
  std::string rel = listed_path;
  trim_dest_folder(rel);
  return dest_dir_path + rel;
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
