// Safety rails of archive extraction: names are checked, every parent folder is resolved to its
// real path and must lie inside the extraction folder, and files are replaced atomically.
#include "zip_extract.h"

#include "files/inside.h"
#include "files/zip.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

namespace extract {

namespace {

std::string real_path(const std::string& path, int* err) {
  char* r = ::realpath(path.c_str(), nullptr);
  if (!r) {
    *err = errno ? errno : ENOENT;
    return {};
  }
  std::string out(r);
  ::free(r);
  *err = 0;
  return out;
}

std::string dir_of_real(const std::string& real) {
  size_t slash = real.find_last_of('/');
  if (slash == 0 || slash == std::string::npos) return "/";
  return real.substr(0, slash);
}

}  // namespace

bool name_safe(const std::string& name) {
  if (name.empty() || name[0] == '/' || name == "__MACOSX" || name == "__MACOSX/") return false;
  if (name.find('\0') != std::string::npos) return false;
  std::string body = name;
  if (body.back() == '/') body.pop_back();
  if (body.empty()) return false;
  size_t start = 0;
  while (start <= body.size()) {
    size_t end = body.find('/', start);
    if (end == std::string::npos) end = body.size();
    std::string part = body.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

std::string leaf_of(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

ErrCode root::open(const std::string& out_dir) {
  int err = 0;
  std::string dir = out_dir.empty() ? std::string(".") : out_dir;
  real_ = real_path(dir, &err);
  if (err) return err;
  struct stat st;
  if (::stat(real_.c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  return 0;
}

bool root::inside(const std::string& p) const { return path_inside(real_, p); }

ErrCode root::parent_of(const std::string& target, std::string* real_parent) const {
  std::string t = target;
  while (t.size() > 1 && t.back() == '/') t.pop_back();
  size_t slash = t.find_last_of('/');
  std::string parent = slash == std::string::npos ? std::string(".")
                       : slash == 0               ? std::string("/")
                                                  : t.substr(0, slash);
  int err = 0;
  std::string r = real_path(parent, &err);
  if (err) return err;
  if (!inside(r)) return ERR_UNSAFE_NAME;
  *real_parent = r;
  return 0;
}

ErrCode root::link_stays_inside(const std::string& real_parent, const std::string& text) const {
  if (text.empty() || text[0] == '/' || text.find('\0') != std::string::npos) return ERR_UNSAFE_NAME;
  // As text first: parts that do not exist yet may become links later in the archive, so only
  // the text itself can say that "x/.." names the link's own folder.
  std::string cur = real_parent;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('/', start);
    if (end == std::string::npos) end = text.size();
    std::string part = text.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (cur == real_) return ERR_UNSAFE_NAME;
      cur = dir_of_real(cur);
    } else {
      cur = cur == "/" ? "/" + part : cur + "/" + part;
    }
  }
  if (path_inside(cur, real_parent)) return ERR_UNSAFE_NAME;
  // Then as the system would follow it through the links already on disk.
  std::string resolved;
  if (!resolve_link_text(real_parent, text, &resolved)) return ERR_UNSAFE_NAME;
  if (!inside(resolved) || path_inside(resolved, real_parent)) return ERR_UNSAFE_NAME;
  return 0;
}

ErrCode root::check_links(std::vector<std::string>* made) const {
  ErrCode err = 0;
  // Removing one link changes where others lead: repeat until a pass removes nothing.
  for (bool removed = true; removed;) {
    removed = false;
    for (auto it = made->begin(); it != made->end();) {
      struct stat st;
      if (::lstat(it->c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        it = made->erase(it);  // replaced by a later entry
        continue;
      }
      if (link_resolves_inside(real_, *it)) {
        ++it;
        continue;
      }
      ::unlink(it->c_str());
      it = made->erase(it);
      removed = true;
      err = ERR_UNSAFE_NAME;
    }
  }
  return err;
}

ErrCode hand_over(temp_file&& out, std::vector<temp_file>* sealed) {
  if (!sealed) return out.place();
  sealed->push_back(std::move(out));
  return 0;
}

}  // namespace extract

namespace {

bool all_of_class(const std::string& s, size_t from, size_t to, bool (*ok)(char)) {
  if (from >= to || to > s.size()) return false;
  for (size_t i = from; i < to; ++i)
    if (!ok(s[i])) return false;
  return true;
}

}  // namespace

bool is_unpack_leftover(const std::string& name) {
  static const std::string kUnpack = kUnpackTempPrefix, kLink = kLinkTempPrefix, kAside = ".old";
  auto alnum = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (name.compare(0, kUnpack.size(), kUnpack) == 0) {
    const size_t end = kUnpack.size() + 6;  // mkstemp's six characters
    return (name.size() == end || (name.size() == end + kAside.size() && name.compare(end, kAside.size(), kAside) == 0)) &&
           all_of_class(name, kUnpack.size(), end, +alnum);
  }
  if (name.compare(0, kLink.size(), kLink) == 0) {
    const size_t dash = name.find('-', kLink.size());
    return dash != std::string::npos && all_of_class(name, kLink.size(), dash, +digit) &&
           all_of_class(name, dash + 1, name.size(), +digit);
  }
  return false;
}
