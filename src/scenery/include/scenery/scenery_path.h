// Path text rules of the scenery locator: the separators library files may use, and the
// textual check that keeps a library's files inside the product folder.
#pragma once
#include <string>

// "\" and ":" are folder separators in library files.
inline void DSF_fix_dirchars(std::string& path) {
  for (char& c : path)
    if (c == '\\' || c == ':') c = '/';
}

// Resolves "." and ".." and repeated "/" as text (links are not followed). False for an absolute
// path or one that climbs above the product folder; out then keeps its old text. A final "/"
// stays.
inline bool DSF_normalize_path(const std::string& path, std::string& out) {
  if (path.empty()) {
    out.clear();
    return true;
  }
  if (path[0] == '/') return false;
  std::string result;
  result.reserve(path.size());
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    size_t len = slash - pos;
    if (len == 0 || (len == 1 && path[pos] == '.')) {
      // nothing to add
    } else if (len == 2 && path[pos] == '.' && path[pos + 1] == '.') {
      if (result.empty()) return false;
      result.pop_back();  // the "/" after the last component
      size_t cut = result.rfind('/');
      result.resize(cut == std::string::npos ? 0 : cut + 1);
    } else {
      result.append(path, pos, len);
      result.push_back('/');
    }
    pos = slash + 1;
  }
  // Every kept component was followed by "/"; drop it unless the text ended in one.
  bool folder = path.back() == '/' ||
                (path.size() >= 2 && path.compare(path.size() - 2, 2, "/.") == 0) || path == "." ||
                path == ".." || (path.size() >= 3 && path.compare(path.size() - 3, 3, "/..") == 0);
  if (!result.empty() && !folder) result.pop_back();
  out = std::move(result);
  return true;
}
