// The parsed file list and the rules for listed paths: a path names a file, and it never
// reaches outside the destination.
#include "engine/file_list.h"

std::vector<file_history_struct> sim_info;

int path_has_no_file(const std::string& path) {
  return !path.empty() && path.back() == '/' ? 1 : 0;
}

int listed_path_is_safe(const std::string& path) {
  if (path.empty() || path[0] == '/') return 0;
  if (path.find('\\') != std::string::npos) return 0;
  // A final "/" is path_has_no_file's case; judge the components before it.
  std::string body = path_has_no_file(path) ? path.substr(0, path.size() - 1) : path;
  size_t start = 0;
  for (;;) {
    size_t slash = body.find('/', start);
    std::string part = body.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (part.empty() || part == "." || part == "..") return 0;
    if (slash == std::string::npos) return 1;
    start = slash + 1;
  }
}
