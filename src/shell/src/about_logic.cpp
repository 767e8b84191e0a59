// The update check's list reader and decisions, kept apart from the screen so that they can be
// run without a window.
#include "shell/about_logic.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdio>

#include "files/io_utils.h"
#include "files/xmap.h"

namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }
bool eoln(char c) { return c == 0 || c == '\r' || c == '\n'; }

// One line's cursor: tokens end at a blank or the line end.
struct line_reader {
  const char* c;
  const char* end;
  void skip_blanks() {
    while (c < end && blank(*c)) ++c;
  }
  std::string token() {
    skip_blanks();
    const char* t = c;
    while (c < end && !blank(*c) && !eoln(*c)) ++c;
    return std::string(t, c);
  }
  std::string rest() {
    skip_blanks();
    const char* t = c;
    while (c < end && !eoln(*c)) ++c;
    return std::string(t, c);
  }
};

// A build number: an optional "-" and digits. Anything else, or one that does not fit an int,
// leaves the number unknown.
int build_number_of(const std::string& token) {
  int value = -1;
  const char* first = token.data();
  const char* last = token.data() + token.size();
  auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last) return -1;
  return value;
}

// The code's message and the code: "%s (%d)".
std::string with_code(int code) { return error_str(code) + " (" + std::to_string(code) + ")"; }

std::string formatted(const char* what, int code) {
  return std::string("There was an error ") + what + " the installer: " + with_code(code);
}

}  // namespace

void about_parse_lines(const char* begin, const char* end, about_list* list) {
  const char* c = begin;
  while (c < end) {
    while (c < end && (blank(*c) || eoln(*c))) ++c;
    if (c >= end) break;
    line_reader line{c, end};
    const std::string key = line.token();
    if (key == "FINAL") {
      list->final_name = line.rest();
      list->found = 1;
    } else if (key == "BETA") {
      list->beta_name = line.rest();
    } else if (key == "FINAL_VERSION") {
      list->version_final = build_number_of(line.token());
    } else if (key == "BETA_VERSION") {
      list->version_beta = build_number_of(line.token());
    } else {
      about_where* where = key == "FINAL_INSTALLER_MAC"  ? &list->final_mac
                           : key == "BETA_INSTALLER_MAC" ? &list->beta_mac
                           : key == "FINAL_INSTALLER_LIN" ? &list->final_lin
                           : key == "BETA_INSTALLER_LIN"  ? &list->beta_lin
                                                          : nullptr;
      if (where) {
        where->server = line.token();
        where->path = line.token();
      }
    }
    c = line.c;
    while (c < end && !eoln(*c)) ++c;
  }
}

int about_read_list(const std::string& path, about_list* list) {
  xmap_class file(path);
  if (!file.begin) return 0;
  static const int versions[] = {about_list_version, 0};
  if (file.check_file(TFH_TEXT, versions, about_list_keyword, nullptr) != about_list_version) return 0;
  about_parse_lines(file.cursor, file.end, list);
  return 1;
}

about_decision about_decide(const about_list& list, int build) {
  about_decision d;
  if (list.version_final == -1) {
    d.err_msg = about_msg_no_net;
    return d;
  }
  if (list.version_final == build) {
    d.err_msg = about_msg_up_to_date;
    return d;
  }
  if (list.version_final > build) {
    d.is_latest = 0;
  } else if (list.version_beta <= build) {
    d.err_msg = about_msg_latest_beta;
    return d;
  } else {
    d.is_latest = 0;
    d.is_beta = 1;
  }
  const about_where& where = d.is_beta ? list.beta_lin : list.final_lin;
  if (!where.usable()) {
    d.err_msg = d.is_beta ? about_msg_newer_beta_web : about_msg_newer_release_web;
    return d;
  }
  d.installer = where;
  d.ins_state = about_ins_fetch;
  return d;
}

std::string about_progress_text(int64_t received, int64_t length) {
  if (length <= 0) return "Downloading the installer...";
  if (received < 0) received = 0;
  // received * 100 stays far inside 64 bits for any length a response can announce.
  const int64_t percent = received >= length ? 100 : received * 100 / length;
  return "Downloading the installer..." + std::to_string(percent) + "% complete";
}

bool about_past_bound(int code) { return code == EFBIG || code == ENOSPC; }

std::string about_stopped_error(const char* what, int code) {
  return std::string("The download of the ") + what + " was stopped: " + with_code(code);
}

std::string about_unzip_error(int code) { return formatted("unzipping", code); }
std::string about_launch_error(int code) { return formatted("launching", code); }

std::string about_fresh_folder(const std::string& parent, int* err) {
  for (int n = 1; n < 1000; ++n) {
    std::string path = parent + "Volarium Installer Update";
    if (n > 1) path += " " + std::to_string(n);
    if (::mkdir(path.c_str(), 0755) == 0) return path + "/";
    if (errno != EEXIST) {
      if (err) *err = errno;
      return std::string();
    }
  }
  if (err) *err = EEXIST;
  return std::string();
}

int about_launch_target(const std::string& folder, const std::string& first_entry, std::string* path) {
  std::string name = first_entry;
  if (!name.empty() && name.back() == '/') name.pop_back();
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
    return ERR_UNSAFE_NAME;
  const std::string full = folder + name;
  struct stat st;
  if (::lstat(full.c_str(), &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return ENOEXEC;
  *path = full;
  return 0;
}
