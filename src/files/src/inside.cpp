// The "stays inside" rule and the resolution of link texts that the archive code and the engine
// apply it to.
#include "files/inside.h"

#include "files/io_utils.h"
#include "foundation/globals.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string_view>
#include <vector>

namespace {

std::string_view trimmed(std::string_view p) {
  while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
  return p;
}

std::string folder_above(const std::string& real) {
  size_t slash = real.find_last_of('/');
  if (slash == 0 || slash == std::string::npos) return "/";
  return real.substr(0, slash);
}

// Pushes the parts of text so that the first part is popped first.
void push_parts(const std::string& text, std::vector<std::string>* pending) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('/', start);
    if (end == std::string::npos) end = text.size();
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  pending->insert(pending->end(), parts.rbegin(), parts.rend());
}

bool read_link(const std::string& path, std::string* text) {
  std::vector<char> buf(PATH_MAX);
  ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
  if (n < 0 || static_cast<size_t>(n) >= buf.size()) return false;
  text->assign(buf.data(), static_cast<size_t>(n));
  return true;
}

}  // namespace

bool path_inside(const std::string& real_root, const std::string& real_path) {
  std::string_view root = trimmed(real_root), p = trimmed(real_path);
  if (root == "/") return !p.empty() && p[0] == '/';
  return p == root ||
         (p.size() > root.size() && p.substr(0, root.size()) == root && p[root.size()] == '/');
}

bool resolve_link_text(const std::string& real_dir, const std::string& text, std::string* out) {
  if (text.empty()) return false;
  std::vector<std::string> pending;
  std::string cur = text[0] == '/' ? std::string("/") : real_dir;
  push_parts(text, &pending);
  int hops = 0;
  while (!pending.empty()) {
    std::string part = std::move(pending.back());
    pending.pop_back();
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      cur = folder_above(cur);
      continue;
    }
    std::string next = cur == "/" ? "/" + part : cur + "/" + part;
    struct stat st;
    if (::lstat(next.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      std::string inner;
      if (++hops > 40 || !read_link(next, &inner) || inner.empty()) return false;
      if (inner[0] == '/') cur = "/";
      push_parts(inner, &pending);
      continue;
    }
    cur = std::move(next);
  }
  *out = cur;
  return true;
}

bool link_resolves_inside(const std::string& real_root, const std::string& link_path) {
  std::string text;
  if (!read_link(link_path, &text)) return false;
  size_t slash = link_path.find_last_of('/');
  std::string folder = slash == std::string::npos ? std::string(".")
                       : slash == 0               ? std::string("/")
                                                  : link_path.substr(0, slash);
  char* real = ::realpath(folder.c_str(), nullptr);
  if (!real) return false;
  std::string real_folder(real);
  ::free(real);
  std::string end;
  if (!resolve_link_text(real_folder, text, &end)) return false;
  return path_inside(real_root, end) && !path_inside(end, real_folder);
}

save_place save_place_of(const std::string& folder, const std::string& name) {
  if (!rooted_length_fits(folder.size() + name.size())) return save_place_too_long;
  const std::string dir = app_path + folder, path = dir + name;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return save_place_free;
  const bool link = S_ISLNK(st.st_mode);
  const bool there = ::stat(path.c_str(), &st) == 0;
  if (there && S_ISDIR(st.st_mode)) return save_place_folder;
  if (link) {
    char* real = ::realpath(dir.empty() ? "." : dir.c_str(), nullptr);
    const std::string real_dir = real ? real : "";
    ::free(real);
    if (real_dir.empty() || !link_resolves_inside(real_dir, path)) return save_place_outside;
  }
  return there ? save_place_file : save_place_free;
}
