// Preference files: reading tag-value lines into a map, writing them behind the text header, and
// the three preference files of the program with the state each one carries.
#include "files/pref.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>

#include "files/io_utils.h"
#include "files/xmap.h"
#include "files_internal.h"
#include "foundation/cmdline.h"
#include "foundation/globals.h"
#include "foundation/records.h"
#include "platform/folders.h"
#include "platform/regular_file.h"

pref_class pref;

namespace {

constexpr int kPrefVersion = 9002;
const char kTempSuffix[] = ".tmp";

std::string g_proxy_host_own, g_proxy_port_own;
int g_proxy_port_int_own = 0;
std::string* g_proxy_host = &g_proxy_host_own;
std::string* g_proxy_port = &g_proxy_port_own;
int* g_proxy_port_int = &g_proxy_port_int_own;

// Reads as atoi does (white space, sign, digits up to the first other byte), but clamps instead
// of overflowing.
int parse_int(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

// The option's text, else the file's, else null.
const std::string* lookup(const std::map<std::string, std::string>& values, const std::string& tag,
                          std::string& option_text) {
  const std::string option = "--pref:" + tag;
  if (cmdline.has_option(option.c_str())) {
    option_text = cmdline.get_option(option.c_str());
    return &option_text;
  }
  auto it = values.find(tag);
  return it == values.end() ? nullptr : &it->second;
}

// Requested sizes of file 10, kept for the life of the process.
int x_res_req_pln = 0, y_res_req_pln = 0, x_res_req_wrl = 0, y_res_req_wrl = 0;
int x_res_req_all = 0, y_res_req_all = 0;

}  // namespace

void pref_bind_proxy(std::string* host, std::string* port, int* port_int) {
  g_proxy_host = host ? host : &g_proxy_host_own;
  g_proxy_port = port ? port : &g_proxy_port_own;
  g_proxy_port_int = port_int ? port_int : &g_proxy_port_int_own;
}

std::string pref_path(int id) {
  switch (id) {
    case PREF_display:
      return "Resources/preferences/Res Volsuite.prf";
    case PREF_installer: {
      std::string folder;
      if (PLAT_find_folder(PLAT_folder_prefs, folder) == 0) return folder + "Volarium Installer.prf";
      return "Resources/preferences/Volarium Installer.prf";
    }
    case PREF_cal:
      return "Resources/preferences/Cal Volarium.prf";
    default:
      return "";
  }
}

// ---- scan_class ----

scan_class::scan_class(const std::string& path, int mode_in) : mode(mode_in), path_(path) {
  if (mode == 1) {
    // Written beside the old file and renamed over it once complete, so an interrupted save
    // leaves the old settings in place.
    if (path.empty()) {
      ouf_open(path, TFH_TEXT, kPrefVersion, "no-copyright-string");  // fails with its alert
      return;
    }
    writing_ = ouf_open(path + kTempSuffix, TFH_TEXT, kPrefVersion, "no-copyright-string") == 1;
    return;
  }
  values.clear();
  xmap_class map(path);
  const int versions[] = {kPrefVersion, 0};
  if (!map.check_file(TFH_TEXT, versions, nullptr, nullptr)) return;
  while (map.cursor < map.end) {
    std::string tag, value;
    map.TXT_str_scan_space(&tag);
    map.TXT_str_scan_eoln(&value);
    values[tag] = value;
  }
}

scan_class::~scan_class() {
  if (mode != 1) return;
  ouf.close();
  if (!writing_) return;
  const std::string temp = ouf_full_path(path_ + kTempSuffix);
  const std::string final_path = ouf_full_path(path_);
  if (ouf.fail()) {
    xer_line("WARNING: could not finish writing " + final_path + "; the old file is kept.");
    unlink(temp.c_str());
    return;
  }
  // On the disk before it replaces the old file, so that even a power cut keeps one of the two.
  int fd = PLAT_open_regular(temp, O_RDONLY);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
  if (std::rename(temp.c_str(), final_path.c_str()) != 0) {
    xer_line("WARNING: could not replace " + final_path + ": " + error_str(errno));
    unlink(temp.c_str());
  }
}

int scan_class::int_io(int* value, const std::string& tag) {
  if (mode == 1) {
    ouf << tag << ' ' << *value << '\n';
    return 0;
  }
  std::string option_text;
  const std::string* text = lookup(values, tag, option_text);
  if (!text) return 0;
  *value = parse_int(*text);
  return 1;
}

int scan_class::str_io(std::string* value, const std::string& tag) {
  if (mode == 1) {
    if (value->empty()) return 0;
    if (value->find_first_of(std::string("\n\r\0", 3)) != std::string::npos) {
      // It would not read back as one value.
      xer_line("WARNING: the preference " + tag + " holds a line end and is not saved.");
      return 0;
    }
    ouf << tag << ' ' << *value << '\n';
    return 0;
  }
  std::string option_text;
  const std::string* text = lookup(values, tag, option_text);
  if (!text) return 0;
  *value = *text;
  return 1;
}

// ---- pref_class ----

void pref_class::IO_set(int id, int mode) {
  scan_class scan(pref_path(id), mode);
  if (id == PREF_display) {
    if (mode == 1) {
      mnw.pref_found = 1;
      x_res_req_all = mnw.req_w;
      y_res_req_all = mnw.req_h;
    }
    scan.int_io(&x_res_req_pln, "_x_res_req_PLN");
    scan.int_io(&y_res_req_pln, "_y_res_req_PLN");
    scan.int_io(&x_res_req_wrl, "_x_res_req_WRL");
    scan.int_io(&y_res_req_wrl, "_y_res_req_WRL");
    scan.int_io(&x_res_req_all, "_x_res_req_ALL");
    scan.int_io(&y_res_req_all, "_y_res_req_ALL");
    if (mode == 0) {
      mnw.req_w = x_res_req_all;
      mnw.req_h = y_res_req_all;
    }
    scan.int_io(&mnw.req_depth, "_col_res_req");
    scan.int_io(&mnw.depth_switch, "_set_res");
    scan.int_io(&mnw.language, "_lang");
    scan.int_io(&mnw.aa_want, "_alias_req");
    scan.int_io(&mnw.keylist_up, "_keylist_up");
    scan.int_io(&mnw.two_monitors, "_sec_mon_inuse");
    scan.int_io(&mnw.pref_found, "_prefs_found");
    if (mnw.req_w < 600 || mnw.req_w > 9999) mnw.req_w = 1024;
    if (mnw.req_h < 600 || mnw.req_h > 9999) mnw.req_h = 768;
  } else if (id == PREF_installer) {
    scan.int_io(&stg[STG_use_max_cpu], "_use_max_cpu");
    scan.int_io(&stg[STG_rename_folder], "_rename_folder");
    scan.int_io(&stg[STG_stream_count], "_stream_count");
    scan.int_io(&stg[STG_log_actions], "_log_actions");
    scan.int_io(&stg[STG_always_ask_dir], "_always_ask_dir");
    scan.str_io(&dest_dir_path, "_dest_dir_path");
    scan.str_io(g_proxy_host, "_proxy_host");
    scan.str_io(g_proxy_port, "_proxy_port");
    scan.int_io(g_proxy_port_int, "_proxy_port_int");
  }
}
