// Folder listing for the file picker, the install steps and the master walks: names with a
// parallel list of type numbers, filtered by the picker's mode and sorted ignoring case.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>

#include "files/io_utils.h"
#include "foundation/alert.h"
#include "foundation/cmnd.h"
#include "foundation/globals.h"

namespace {

struct ext_type {
  const char* ext;
  int type;
};
const ext_type kTypes[] = {{".AFL", 4},  {".WPN", 5},  {".ACF", 3},  {".OBJ", 7},  {".SIT", 9},
                           {".SMO", 10}, {".TXT", 19}, {".FMS", 11}, {".TRA", 13}, {".CAR", 14},
                           {".SPA", 15}, {".REG", 16}, {".WAV", 6},  {".BMP", 2},  {".PNG", 2},
                           {".FDR", 8},  {".DSF", 17}, {".HGT", 18}};

char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
unsigned char ascii_lower(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

bool iequal_prefix(const std::string& text, const char* prefix, size_t n) {
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (ascii_upper(text[i]) != ascii_upper(prefix[i])) return false;
  return true;
}

// Byte by byte with ASCII letters lowered; a prefix sorts first.
bool sorts_before(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = ascii_lower(static_cast<unsigned char>(a[i]));
    unsigned char y = ascii_lower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

}  // namespace

int opensave_takeit(const std::string& folder, const std::string& name, int mode, int& type) {
  // An entry whose path the system cannot take: nothing can be done with it, so it is not listed.
  if (!rooted_length_fits(folder.size() + name.size())) return 0;
  std::string full = folder + name;

  std::string ext = name.size() > 4 ? name.substr(name.size() - 4) : name;
  for (char& c : ext) c = ascii_upper(c);
  for (const ext_type& row : kTypes)
    if (ext == row.ext) {
      type = row.type;
      break;
    }

  if (mode == 12) {
    static const char kPanels[] = "Resources/bitmaps/cockpit/-panels-/";
    if (iequal_prefix(full, kPanels, sizeof kPanels - 1 - 3)) return 0;
    if (full.size() >= 6) {
      std::string tail = full.substr(full.size() - 6, 3);
      for (const char* mark : {"-1.", "-2.", "-3.", "-4."})
        if (iequal_prefix(tail, mark, 3)) return 0;
    }
  }
  if (name.empty() || name[0] == '.') return 0;
  return type == 1 || type == mode || mode == 0 || (mode == 12 && type == 2) ? 1 : 0;
}

int opensave_getitems(const std::string& folder, int mode, std::vector<std::string>& names,
                      std::vector<int>& types, ErrCode* err) {
  names.clear();
  types.clear();
  if (err) *err = 0;
  if (mode == 20) return 0;
  if (mode == 21) {
    cmnd.get_cmds_in_path(folder, names);
    types.assign(names.size(), 21);
    for (size_t i = 0; i < names.size(); ++i)
      if (!names[i].empty() && names[i].back() == '/') {
        names[i].pop_back();
        types[i] = 1;
      }
    return static_cast<int>(names.size());
  }

  std::string full = app_path + folder;
  if (full.size() > 1 && full.back() != '/')
    ZARIRU_alert(0, "Working path does not appear to be a directory!",
                 "This is not consistent with my labelling practices!",
                 "I need to end all paths with the directory indicator!", full, t_exit);
  DIR* dir = opendir(full.empty() ? "." : full.c_str());
  if (!dir) {
    if (err) *err = errno;
    return 0;
  }
  std::vector<std::string> found_names;
  std::vector<int> found_types;
  int too_long = 0;
  for (;;) {
    errno = 0;
    dirent* e = readdir(dir);
    if (!e) {
      if (err) *err = errno;
      break;
    }
    std::string name = e->d_name;
    if (!rooted_length_fits(folder.size() + name.size())) {
      ++too_long;
      continue;
    }
    struct stat st;
    // A link, even to a folder, is an item of its own (type 0).
    int type = fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)
                   ? 1
                   : 0;
    if (opensave_takeit(folder, name, mode, type)) {
      found_names.push_back(std::move(name));
      found_types.push_back(type);
    }
  }
  closedir(dir);
  if (too_long > 0)
    xer_line("WARNING: " + std::to_string(too_long) + " entries of " + full +
             " are left out: their paths are too long for the system.\n");

  std::vector<size_t> order(found_names.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return sorts_before(found_names[a], found_names[b]);
  });
  names.reserve(order.size());
  types.reserve(order.size());
  for (size_t i : order) {
    names.push_back(std::move(found_names[i]));
    types.push_back(found_types[i]);
  }
  return static_cast<int>(names.size());
}

int64_t folder_stamp(const std::string& folder) {
  const std::string full = app_path + folder;
  struct stat st;
  if (stat(full.empty() ? "." : full.c_str(), &st) != 0) return 0;
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}
