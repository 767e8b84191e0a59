// Where things go: the destination folder's form, listed paths made destination paths, and
// the folders of the operating system.
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "engine/install.h"
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
  // The parts still to walk, the next one last.
  std::vector<std::string> todo;
  auto push_parts = [&todo](const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('/', start);
      if (end == std::string::npos) end = text.size();
      if (end > start) parts.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    todo.insert(todo.end(), parts.rbegin(), parts.rend());
  };
  push_parts(path);
  std::string cur;  // "" stands for "/"
  int hops = 0;
  while (!todo.empty()) {
    const std::string part = std::move(todo.back());
    todo.pop_back();
    if (part == ".") continue;
    if (part == "..") {
      cur.erase(cur.empty() ? 0 : cur.rfind('/'));
      continue;
    }
    const std::string at = cur + "/" + part;
    struct stat st;
    if (::lstat(at.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      // The limit the system itself applies to one lookup.
      if (++hops > 40) return std::string();
      char buf[PATH_MAX];
      ssize_t n = ::readlink(at.c_str(), buf, sizeof buf);
      if (n < 0 || n == static_cast<ssize_t>(sizeof buf)) return std::string();
      const std::string text(buf, static_cast<size_t>(n));
      if (!text.empty() && text[0] == '/') cur.clear();
      push_parts(text);
      continue;
    }
    cur = at;
  }
  return cur.empty() ? std::string("/") : cur;
}

std::string engine_detail::resolved_destination() {
  std::string root = resolve_on_disk(dest_dir_path);
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

bool engine_detail::resolved_inside(const std::string& resolved, const std::string& root) {
  if (root == "/") return !resolved.empty();
  return resolved == root ||
         (resolved.size() > root.size() && resolved.compare(0, root.size(), root) == 0 &&
          resolved[root.size()] == '/');
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
