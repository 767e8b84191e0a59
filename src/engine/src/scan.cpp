// The scan: reads the unpacked file list into per-path version histories, signs every listed
// file in the destination and totals what an installation would fetch and write.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "engine/install.h"
#include "files/io_utils.h"
#include "files/md5.h"
#include "files/zip.h"
#include "files/xmap.h"
#include "foundation/alert.h"
#include "foundation/edition.h"
#include "foundation/globals.h"
#include "internal.h"
#include "platform/open_url.h"
#include "platform/volume.h"

using namespace engine_detail;

namespace {

// Taken when the volume will not tell its own.
constexpr uint64_t kUsualBlock = 4096;

// A row keyword counts only when a tab or a blank follows it directly.
bool at_keyword(const xmap_class& xm, const char* word, size_t len) {
  if (static_cast<size_t>(xm.end - xm.cursor) <= len) return false;
  return std::equal(word, word + len, xm.cursor) && xmap_class::is_blank(xm.cursor[len]);
}

}  // namespace

int parse_file_list(xmap_class& xm, std::vector<file_history_struct>& out, std::string* bad_path,
                    const std::string& message) {
  // Counts "FILE" rows over the whole run, so progress frames keep their rhythm across rescans.
  static unsigned row_counter = 0;
  std::string folder;
  std::string prev_path;
  while (xm.cursor < xm.end) {
    xm.TXT_skip_space();
    if (at_keyword(xm, "DIR", 3)) {
      xm.cursor += 3;
      xm.TXT_str_scan_eoln(&folder);
      continue;
    }
    if (!at_keyword(xm, "FILE", 4)) {
      xm.TXT_skip_eoln();
      continue;
    }
    xm.cursor += 4;
    file_version_struct v;
    v.disc_type = std::clamp(xm.TXT_int_scan(), 0, 4);
    v.platform = std::clamp(xm.TXT_int_scan(), 0, 6);
    v.version = xm.TXT_int_scan();
    v.download_kb = static_cast<float>(xm.TXT_int_scan());
    v.install_kb = static_cast<float>(xm.TXT_int_scan());
    xm.TXT_str_scan_space(&v.sig_want);
    std::string name;
    xm.TXT_str_scan_eoln(&name);

    bool skip = is_net && (contains(name, "900 red terrain") || contains(name, "Earth Orbit Textures"));
    if (!skip) {
      v.path = folder + name;
      int refused = path_has_no_file(v.path) ? 1 : !listed_path_is_safe(v.path) ? 2 : 0;
      if (refused) {
        if (bad_path) *bad_path = v.path;
        return refused;
      }
      if (out.empty() || v.path != prev_path) out.emplace_back();
      prev_path = v.path;
      out.back().versions.push_back(std::move(v));
    }
    if (row_counter++ % 500 == 0)
      engine_dir_progress_bar(0.0f, static_cast<float>(xm.cursor - xm.begin),
                              static_cast<float>(xm.end - xm.begin), 0, message, name);
  }
  return 0;
}

namespace {

// Removes what a killed run left beside the files of folder (which ends in "/"): only the
// file layer's own temporary names, never a folder, never through a link leaving the tree.
void remove_unpack_leftovers(const std::string& folder) {
  if (!folder_inside_destination(folder)) return;
  std::error_code ec;
  std::vector<std::string> found;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code ec2;
    const auto type = it->symlink_status(ec2).type();
    if (!ec2 && is_unpack_leftover(name) && type != std::filesystem::file_type::directory) found.push_back(name);
  }
  for (const std::string& name : found) {
    const ErrCode code = delete_file(folder + name);
    xer_line("Removed a temporary file left by an interrupted run: " + folder + name + ", with result=" +
             std::to_string(code) + ".\n");
  }
}

}  // namespace

void new_format(std::string path) {
  utils_alert(141, t_alert,
              "OK I am checking the Tarrowind servers and I am finding file formats that are newer than I can understand!",
              "In other words, you need to get a new installer!",
              "Please download the newest installer from the download section of the Volarium web site.", path);
  PLAT_open_url(kProductPage);
  stg[STG_run_state] = RUN_finished;
  app_done = 1;
}

int read_directory(const std::string& path, std::string message) {
  normalize_dest_dir(dest_dir_path);
  return read_directory(path, std::move(message), dest_dir_path);
}

int read_directory(const std::string& path, std::string message, std::string dest) {
  deleted_files.clear();
  stg.setf(STG_kb_download, 0.0f);
  stg.setf(STG_kb_installed, 0.0f);
  scan_install_count = 0;
  scan_delete_count = 0;
  scan_need_bytes = 0;
  this_install_has_exes = 0;
  sim_info.clear();

  xmap_class xm(path);
  if (!xm.begin)
    utils_alert(633, t_exit, "I tried to read a directory file that does not exist!", "The file is:",
                path, "");
  static const int versions[] = {840, 900, 0};
  if (!xm.check_file(TFH_TEXT, versions, "INSTALLER", nullptr)) {
    if (is_net) new_format(path);
    return STAGE_list_bad;
  }

  std::string bad;
  switch (parse_file_list(xm, sim_info, &bad, message)) {
    case 1:
      utils_alert(664, t_exit, "I am reading the directory text file and found a path that has no file!",
                  "This is impossible to download or delete!", "It is:", bad);
      break;
    case 2:
      utils_alert(664, t_exit, "I am reading the directory text file and found a path that is not safe!",
                  "It would reach outside the folder I install into!", "It is:", bad);
      break;
  }

  const int n = static_cast<int>(sim_info.size());
  const int step = std::max(1, n / 200);
  const std::set<std::string> kept = kept_paths();
  // Without a destination nothing is installed anywhere.
  normalize_dest_dir(dest);
  const bool have_dest = !dest.empty();
  std::string unusable;
  if (have_dest && dest_paths_problem(dest, &unusable) != 0) return STAGE_scan_due;
  std::set<std::string> walked;
  std::vector<std::string> locals(n);
  for (int i = 0; i < n; ++i) {
    const std::string& listed = sim_info[i].versions.back().path;
    locals[i] = have_dest ? local_path_in(dest, listed) : listed;
    if (have_dest && walked.insert(folder_of(locals[i])).second) remove_unpack_leftovers(folder_of(locals[i]));
  }
  // Readers run ahead; this loop still walks, reports and totals in list order.
  const int readers = !have_dest ? 1 : scan_readers > 0 ? scan_readers : scan_reader_count(dest);
  file_signer signer(have_dest ? locals : std::vector<std::string>(), readers);
  uint64_t block = 0;
  if (PLAT_volume_block_bytes(dest, block) != 0 || block == 0) block = kUsualBlock;
  std::set<std::string> folders;  // where the files to install go, and every folder above them
  for (int i = 0; i < n; ++i) {
    file_version_struct& v = sim_info[i].versions.back();
    if (i % step == 0)
      engine_dir_progress_bar(0.0f, static_cast<float>(i), static_cast<float>(n), 1, message, locals[i]);
    v.sig_have = have_dest ? signer.take(i) : kSigNone;
    v.have = v.sig_want == v.sig_have ? 1 : 0;
    const bool gone = v.sig_want == kSigGone;
    const int wanted = newest_wanted(i);
    if (!gone && !v.have && wanted) {
      stg.setf(STG_kb_download, stg.getf(STG_kb_download) + v.download_kb);
      stg.setf(STG_kb_installed, stg.getf(STG_kb_installed) + v.install_kb);
      ++scan_install_count;
      if (v.platform >= 1 && v.platform <= 3) this_install_has_exes = 1;
      scan_need_bytes += bytes_on_volume(v.install_kb, block);
      if (have_dest)
        for (std::string f = folder_of(locals[i]); f.size() >= dest.size() && folders.insert(f).second;)
          f = folder_of(f.substr(0, f.size() - 1));
    }
    if (gone && wanted && v.sig_have != kSigNone && !is_kept_elsewhere(kept, v.path))
      ++scan_delete_count;
  }
  scan_need_bytes += folders.size() * block;
  return STAGE_scanned;
}

uint64_t bytes_on_volume(float kb, uint64_t block) {
  // The list truncates each size to whole kilobytes.
  const uint64_t most = static_cast<uint64_t>(std::max(0.0f, kb)) * 1000 + 999;
  return (most + block - 1) / block * block;
}
