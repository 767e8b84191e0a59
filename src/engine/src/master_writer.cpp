// Master writer: one disc master per pass, holding every accepted file as its own archive, the
// packed file list with each file's version history, and the version file at the masters' root.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "engine/install.h"
#include "engine/master.h"
#include "files/io_utils.h"
#include "files/md5.h"
#include "files/xmap.h"
#include "files/zip.h"
#include "foundation/alert.h"
#include "foundation/convert.h"
#include "foundation/globals.h"
#include "internal.h"
#include "foundation/hl_types.h"
#include "platform/regular_file.h"

using namespace engine_detail;

namespace {
const char* const kSrc = "Installer-f/make_installer";

void fatal(const std::string& l1, const std::string& l2, const std::string& l3,
           const std::string& l4, int line) {
  __ZARIRU_alert(0, l1, l2, l3, l4, t_exit, kSrc, line);
}

std::string fmt_f(const char* format, double v) {
  char buf[64];
  snprintf(buf, sizeof buf, format, v);
  return buf;
}

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

struct no_case_compare_string {
  bool operator()(const std::string& a, const std::string& b) const {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      char x = fold(a[i]), y = fold(b[i]);
      if (x != y) return x < y;
    }
    return a.size() < b.size();
  }
};

std::string prev_dir;
int num_files_com = 0;
std::map<std::string, int, no_case_compare_string> sim_info_index;
// Keys of this pass's master files, to catch two master paths that differ only in letter case.
std::map<std::string, std::string, no_case_compare_string> met_keys;
// Destination paths (without the platform folder) that this pass ships.
std::set<std::string> shipped_dest_paths;

std::string strip_first_component(const std::string& rel) {
  size_t slash = rel.find('/');
  return slash == std::string::npos ? rel : rel.substr(slash + 1);
}

void split_path(const std::string& path, std::string& folder, std::string& leaf) {
  get_path_with_path(folder, path);
  leaf = get_path_leaf();
}

void write_dir_record(const std::string& folder) {
  if (folder != prev_dir) {
    prev_dir = folder;
    ouf << "\nDIR " << folder << "\n";
  }
}

void write_version_record(const file_version_struct& v, const std::string& leaf, int empty_line,
                          const char* where) {
  ouf << "FILE " << v.disc_type << " " << v.platform << " " << v.version << " "
      << static_cast<long long>(v.download_kb) << " " << static_cast<long long>(v.install_kb)
      << " " << v.sig_want << " " << leaf << "\n";
  if (leaf.empty())
    fatal("0-size filename!", "Now how am I supposed to deal with this?", where, leaf, empty_line);
}

// A hard link where the file system allows it, else a copy (the masters' root may lie on
// another file system than the master tree). in is from, opened and found a regular file: a link
// that does not reach that very file (from was swapped meanwhile) gives way to a copy of in.
int link_or_copy(int in, const std::string& from, const std::string& to) {
  struct stat opened, linked;
  if (fstat(in, &opened) != 0) return errno;
  if (link(from.c_str(), to.c_str()) == 0) {
    if (lstat(to.c_str(), &linked) == 0 && linked.st_dev == opened.st_dev &&
        linked.st_ino == opened.st_ino)
      return 0;
    if (unlink(to.c_str()) != 0) return errno;
  } else if (errno != EXDEV && errno != EPERM && errno != EMLINK) {
    return errno;
  }
  std::string tmp = to + ".part";
  int out = PLAT_open_regular(tmp, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) return errno;
  std::vector<char> buf(1 << 20);
  int err = 0;
  for (;;) {
    ssize_t n = read(in, buf.data(), buf.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    if (n == 0) break;
    if ((err = write_all(out, buf.data(), static_cast<size_t>(n))) != 0) break;
  }
  if (close(out) != 0 && err == 0) err = errno;
  if (err == 0 && rename(tmp.c_str(), to.c_str()) != 0) err = errno;
  if (err) unlink(tmp.c_str());
  return err;
}

// The disc folder of the pass under way: however the pass stops, it goes (this pass made it, so
// it holds nothing else), so that no half-made disc is ever taken for a good one or blocks the
// next run.
std::string unfinished_disc;
fatal_exit_fn outer_fatal_exit = nullptr;

bool remove_unfinished_disc() {
  std::error_code ec;
  if (!unfinished_disc.empty()) std::filesystem::remove_all(unfinished_disc, ec);
  unfinished_disc.clear();
  return !ec;
}

void remove_unfinished_disc_at_exit() {
  remove_unfinished_disc();
  if (outer_fatal_exit) outer_fatal_exit();
}

void abandon_disc(const std::string& target, const std::string& l1, const std::string& l2,
                  const std::string& l3, int line) {
  fatal(l1, l2, l3, remove_unfinished_disc() ? "The unfinished disc folder was removed: " + target
                                              : "The unfinished disc folder could not be removed: " + target,
        line);
}

// Whether a file of the previous list is still in the master, though this pass did not ship it.
bool still_in_master(const std::string& path) {
  struct stat st;
  if (lstat(xmap_full_path(path).c_str(), &st) == 0) return true;
  if (errno != ENOENT && errno != ENOTDIR)
    fatal("I could not tell whether a file is still in the master!", path, "Error: " + error_str(errno), "",
          331);
  return false;
}

// Opens ouf on path for the pass whose disc folder is target, or ends the pass naming the file
// and the reason (ouf_open's own alert says neither and lets the pass go on).
void open_or_abandon(const std::string& path, const std::string& target, int line) {
  // Plain concatenation: a path too long for the system is one more reason to report.
  int fd = PLAT_open_regular(app_path + path, O_WRONLY | O_CREAT, 0666);
  if (fd < 0) {
    const int err = errno;
    abandon_disc(target, "I could not open a file of the disc master for writing!", path,
                 "Error: " + error_str(err), line);
    return;
  }
  ::close(fd);
  if (!ouf_open(path, TFH_TEXT, 900, "no-copyright-string"))
    abandon_disc(target, "I could not open a file of the disc master for writing!", path,
                 "Error: the file could not be written", line);
}

int platform_code(const std::string& rel, const std::string& folder) {
  std::string first = folder.substr(0, folder.find('/'));
  int code;
  if (first == "All") code = 0;
  else if (first == "Macintosh") code = 1;
  else if (first == "Windows") code = 2;
  else if (first == "Linux") code = 3;
  else {
    fatal("WHAT THE FUCK? I CAN'T TELL WHAT TYPE OF FILE THIS IS!", folder, first, "", 401);
    return 0;
  }
  if (code == 0 && rel.find("All/Resources/plugins/") != std::string::npos) {
    static const std::pair<const char*, int> rows[] = {
        {"ZRNB.shlb", 1},          {"ZRNBWidgets.shlb", 1}, {"ZRNB.framework/ZRNB", 1},
        {"ZRNBWidgets.framework/ZRNBWidgets", 1},           {"ZRNB.dll", 2},
        {"ZRNBWidgets.dll", 2},    {"ZRNB.so", 6},          {"ZRNBWidgets.so", 6},
        {"PluginAdminMac.zrb", 1}, {"PluginAdminWin.zrb", 2}, {"PluginAdminLin.zrb", 6}};
    for (const auto& [text, c] : rows)
      if (rel.find(text) != std::string::npos) code = c;
  }
  return code;
}
}  // namespace

void comp_file(std::string path) {
  const std::string rel = path.substr(src_fold.size());
  std::string folder, leaf;
  split_path(rel, folder, leaf);

  if (path.find(str_win_fold) != std::string::npos && path.find(".exe") != std::string::npos) {
    ErrCode r = make_file_large_address_aware(path);
    if (r != 0)
      fatal("Oops! We could not make a windows exe file large-address-aware!",
            fmt_f("error# %f", r), path, "", 316);
  }

  // The signature and size come from the read that packs the file, so that they describe the
  // archived bytes even when the file changes meanwhile (a symbolic link: its text). A failed
  // hash must never leave the previous file's signature in the list.
  static std::string sig;
  sig.clear();
  int64_t s = -1;
  std::string archive;
  const std::string prepared = path + ".7z", prepared_full = xmap_full_path(prepared);
  const int companion = PLAT_open_regular(prepared_full, O_RDONLY);
  if (companion >= 0) {
    archive = dst_folder + sim_name + "/" + rel + ".7z";
    const int err = link_or_copy(companion, prepared_full, archive);
    close(companion);
    if (err != 0) fatal("ERROR: could not make hard link!", error_str(err), prepared, archive, 356);
    if (calc_file_md5(path, sig, &s) != 0 || sig.size() != 32) fatal("Could not MD5 file!", path, "", "", 384);
  } else if (errno != ENOENT) {
    fatal("I could not read a prepared 7z file of the master!", prepared, "Error: " + error_str(errno), "", 355);
  } else {
    archive = dst_folder + sim_name + "/" + rel + ".zip";
    ErrCode r = file_to_zip(path, archive, &sig, &s);
    if (r != 0) fatal("I could not zip a file!", error_str(r), path, archive, 365);
    if (sig.size() != 32) fatal("Could not MD5 file!", path, "", "", 384);
  }

  const int64_t a = APL_file_size(archive);
  if (a < 0) fatal("ERROR: could not get file size!", "", "", "", 376);
  if (s < 0) fatal("ERROR: could not get src file size!", "", "", "", 378);
  const long long archive_kb = static_cast<long long>(static_cast<double>(a) * 0.001);
  const long long source_kb = static_cast<long long>(static_cast<double>(s) * 0.001);

  write_dir_record(folder);
  const int code = platform_code(rel, folder);

  std::string key = rel;
  chop_platform(key, code);
  auto met = met_keys.find(key);
  if (met != met_keys.end() && met->first != key)
    fatal("Two master files differ only in letter case!", met->second, rel, "", 402);
  met_keys.emplace(key, rel);
  shipped_dest_paths.insert(strip_first_component(rel));

  auto it = sim_info_index.find(key);
  if (it != sim_info_index.end()) {
    file_history_struct& h = sim_info[it->second];
    for (const file_version_struct& v : h.versions) {
      if (v.sig_want == sig || v.sig_want == "GONE") continue;
      write_version_record(v, leaf, 432, "This is in the OLD file list.");
    }
    h.versions.front().install = 0;
  }

  ouf << "FILE " << master_disc_type << " " << code << " " << master_version << " " << archive_kb
      << " " << source_kb << " " << sig << " " << leaf << "\n";
  if (leaf.empty())
    fatal("0-size filename!", "Now how am I supposed to deal with this?", "This is in the NEW file loop",
          leaf, 439);

  ++num_files_com;
  if (num_files_com % 20 == 0)
    show_master_progress("reg: " + dec(reg) + ": total files to compress: " + dec(num_files_use) +
                             ". now doing: " + dec(num_files_com) + ".",
                         archive);
}

void sub_install() {
  dst_folder = dst_fold_base;
  const std::string target = dst_folder + sim_name + "/";
  const std::string list = target + "directory.txt";
  const std::string packed = target + "directory.txt.zip";
  const std::string version_file = dst_folder + "dvd_version.txt";

  prev_dir = "---";
  num_files_rec = num_files_use = num_files_com = 0;
  comp_paths.clear();
  comp_files.clear();
  sim_info.clear();
  sim_info_index.clear();
  met_keys.clear();
  shipped_dest_paths.clear();

  if (master_disc_type == 0) {
    // The scan of the previous list looks into a destination: the folder this pass is about to
    // create, so it finds nothing there.
    const int got = read_directory(old_dir_path, "Scanning old directory text file to get change log!", target);
    if (got != STAGE_scanned)
      fatal("The previous directory file has a bad header or version!", "Without it no file history can be written.",
            old_dir_path, "", 606);
  }

  for (size_t i = 0; i < sim_info.size(); ++i) {
    file_version_struct& first = sim_info[i].versions.front();
    std::string key = first.path;
    chop_platform(key, first.platform);
    if (!sim_info_index.emplace(key, static_cast<int>(i)).second)
      fatal("WARNING: you appear to have a file TWICE in an old directory file.", "", "", first.path, 609);
    first.install = 1;
    for (const file_version_struct& v : sim_info[i].versions)
      if (v.version == master_version)
        fatal("You idiot! I already have a version:", fmt_f("version_number %f", master_version), "in file ",
              first.path, 615);
  }

  if (make_folder(target) != 0)
    fatal("Could not make the target_folder!", target,
          "THIS MAY SIMPLY BE BECAUSE THE FOLDER ALREADY EXISTS THOUGH!", "", 619);
  unfinished_disc = target;
  outer_fatal_exit = ZARIRU_set_fatal_exit_hook(remove_unfinished_disc_at_exit);

  open_or_abandon(list, target, 622);
  ouf << "INSTALLER\n\n";

  pref_level(src_fold);

  struct check_row {
    int* flag;
    const char* text;
    const std::string* what;
    int line;
  };
  const check_row rows[] = {
      {&found_all_fold, "!found_all_fold", &str_all_fold, 627},
      {&found_apl_fold, "!found_apl_fold", &str_apl_fold, 628},
      {&found_win_fold, "!found_win_fold", &str_win_fold, 629},
      {&found_LIN_fold, "!found_X86_fold", &str_LIN_fold, 630},
      {&found_ins_fold, "!found_ins_fold", &str_ins_fold, 631},
      {&found_wpn_fold, "!found_wpn_fold", &str_wpn_fold, 632},
      {&found_afl_fold, "!found_afl_fold", &str_afl_fold, 633},
      {&found_acf_fold, "!found_acf_fold", &str_acf_fold, 634},
      {&found_res_fold, "!found_res_fold", &str_res_fold, 636},
      {&found_out_fold, "!found_out_fold", &str_out_fold, 637},
      {&found_cus_fold, "!found_cus_fold", &str_cus_fold, 638},
      {&found_glo_fold, "!found_glo_fold", &str_glo_fold, 639},
      {&found_plug, "!found_plug\t ", &str_plug, 640},
      {&found_redt, "!found_redt\t ", &str_redt, 641},
      {&found_orbt, "!found_orbt\t ", &str_orbt, 642},
      {&found_men_file, "!found_men_file", &str_men_file, 643},
      {&found_tex_file, "!found_tex_file", &str_tex_file, 644},
  };
  for (const check_row& r : rows) {
    if ((r.flag == &found_redt || r.flag == &found_orbt) && master_disc_type == 0) continue;
    if (!*r.flag) fatal("YOU IDIOT!", r.text, *r.what, "", r.line);
  }

  for (const std::string& p : comp_paths) make_folder(p);
  for (const std::string& p : comp_files) comp_file(p);

  for (file_history_struct& h : sim_info) {
    const file_version_struct& first = h.versions.front();
    if (first.install != 1 || !is_good_file(src_fold + first.path, 0, 0)) continue;
    // Another file of this pass installs to the same place: deleting it would lose that file.
    if (shipped_dest_paths.count(strip_first_component(first.path))) continue;
    // The users' copy of a file still in the master must not be deleted.
    if (still_in_master(src_fold + first.path)) continue;
    std::string folder, leaf;
    split_path(first.path, folder, leaf);
    write_dir_record(folder);
    for (const file_version_struct& v : h.versions) write_version_record(v, leaf, 432, "This is in the OLD file list.");
    const file_version_struct& newest = h.versions.back();
    if (newest.sig_want != "GONE")
      ouf << "FILE " << newest.disc_type << " " << newest.platform << " " << master_version << " 0 0 GONE "
          << leaf << "\n";
  }
  ouf.close();

  open_or_abandon(version_file, target, 686);
  ouf << "DVD\n\n" << "VERSION " << sim_name << "\n";
  ouf.close();

  const ErrCode zipped = file_to_zip(list, packed);
  const ErrCode deleted = delete_file(list);
  if (zipped != 0) {
    // The version file now names a disc without its list.
    delete_file(version_file);
    abandon_disc(target, "zip!=0", error_str(zipped), list + " -> " + packed, 694);
  }
  if (deleted != 0) fatal("del!=0", "", "", list, 695);
  unfinished_disc.clear();
  ZARIRU_set_fatal_exit_hook(outer_fatal_exit);
}

void build_install() {
  switch (master_disc_type) {
    case 0:
    case 1:
      reg = 0;
      sim_name = build_name[0];
      sub_install();
      break;
    case 2:
      for (reg = 1; reg <= 5; ++reg) {
        sim_name = build_name[reg];
        sub_install();
      }
      break;
    case 3:
      for (reg = 6; reg <= 7; ++reg) {
        sim_name = build_name[reg];
        sub_install();
      }
      break;
    case 4:
      reg = 8;
      sim_name = build_name[reg];
      sub_install();
      break;
    default: break;
  }
  __ZARIRU_alert(0, "OK compression is done. Checklist if doing net:",
                 "Copy the build's version string and number into serverlist.txt in the internet folder and put it on the update server.",
                 "Upload the -NET uploads- folder stuff.",
                 "Extract directory.txt.zip to the next previous directory file for use next time.", t_alert,
                 kSrc, 161);
}
