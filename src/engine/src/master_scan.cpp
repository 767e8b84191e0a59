// Master scan: walks the master tree, stops on names that must never reach a disc, and decides
// which master file belongs on the disc of the current pass.
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "engine/master.h"
#include "files/io_utils.h"
#include "files/xmap.h"
#include "foundation/alert.h"
#include "foundation/convert.h"
#include "foundation/edition.h"
#include "foundation/globals.h"
#include "internal.h"

using namespace engine_detail;

namespace {
const char* const kSrc = "Installer-f/make_installer";
const char* const kTypesSrc = "DUdurid/GenH/hl_types";

void fatal(const std::string& l1, const std::string& l2, const std::string& l3,
           const std::string& l4, int line, const char* src = kSrc) {
  __ZARIRU_alert(0, l1, l2, l3, l4, t_exit, src, line);
}

int log_progress(const std::string& line1, const std::string& line2) {
  xer_line(line1 + " " + line2);
  return 0;
}
master_progress_fn g_progress = log_progress;
int kept_by_rules(const std::string& path);

// A real folder, not a link to one: links are archived as links.
bool is_real_folder(const std::string& full) {
  struct stat st;
  std::string p = rooted_path(full);
  if (p.size() > 1 && p.back() == '/') p.pop_back();
  return lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

std::string old_dir_path;
std::string src_fold;
std::string dst_fold_base;
std::string dst_folder;
std::string sim_name = "-";
const std::string ALL_str = "All", APL_str = "Macintosh", WIN_str = "Windows", LIN_str = "Linux";
std::string str_all_fold, str_apl_fold, str_win_fold, str_LIN_fold, str_ins_fold, str_wpn_fold,
    str_afl_fold, str_acf_fold, str_quelb_fold, str_res_fold, str_out_fold, str_cus_fold,
    str_glo_fold, str_plug, str_redt, str_orbt, str_erth1, str_erth2, str_mars, str_moon,
    str_men_file, str_tex_file;

int master_disc_type = is_dvd;
int master_version = 90025;
int reg = 0;

int found_all_fold, found_apl_fold, found_win_fold, found_LIN_fold, found_ins_fold,
    found_wpn_fold, found_afl_fold, found_acf_fold, found_res_fold, found_out_fold,
    found_cus_fold, found_glo_fold, found_plug, found_redt, found_orbt, found_men_file,
    found_tex_file;

std::vector<std::string> comp_files;
std::set<std::string> comp_paths;
int num_files_rec, num_files_use;

void master_set_roots(const std::string& src, const std::string& dst, const std::string& old_list) {
  src_fold = src;
  dst_fold_base = dst;
  old_dir_path = old_list;
  const std::string all = src_fold + ALL_str + "/";
  str_all_fold = all;
  str_apl_fold = src_fold + APL_str + "/";
  str_win_fold = src_fold + WIN_str + "/";
  str_LIN_fold = src_fold + LIN_str + "/";
  str_ins_fold = all + "Instructions/";
  str_wpn_fold = all + "Weapons/";
  str_afl_fold = all + "Airfoils/";
  str_acf_fold = all + "Aircraft/";
  str_quelb_fold = all + "install_quelb Aircraft/";
  str_res_fold = all + "Resources/";
  str_out_fold = all + "Output/";
  str_cus_fold = all + "Custom Scenery/";
  str_glo_fold = all + "Rovade Vovavod/";
  str_plug = all + "Resources/plugins/";
  str_redt = all + "Resources/default scenery/900 red terrain/";
  str_orbt = all + "Resources/bitmaps/Earth Orbit Textures/";
  str_erth1 = all + "Rovade Vovavod/-global overlays-";
  str_erth2 = all + "Rovade Vovavod/-global terrain-";
  str_mars = all + "Custom Scenery/DSF 900 Mars World-Wide";
  str_moon = all + "Custom Scenery/DSF 900 Moon World-Wide";
  str_men_file = all + "Resources/menus/English/Volarium.txt";
  str_tex_file = all + "Resources/text/English/Volarium.txt";
}

namespace {
// The layout exists before main runs, with the default roots.
struct default_roots {
  default_roots() { master_set_roots("/Volarium 9.00/", "/DVD_Masters/", "/directory.txt"); }
} g_default_roots;
}  // namespace

void master_set_progress_hook(master_progress_fn hook) { g_progress = hook ? hook : log_progress; }

void show_master_progress(const std::string& line1, const std::string& line2) {
  if (g_progress(line1, line2)) fatal("You hit Q dumbass!", "", "", "", 226);
}

void pref_level(const std::string& folder) {
  std::vector<std::string> names;
  std::vector<int> types;
  // A folder that cannot be read would silently drop its files from the disc.
  ErrCode list_err = 0;
  opensave_getitems(folder, 0, names, types, &list_err);
  if (list_err != 0)
    fatal("I could not read a folder of the master!", folder, "Error: " + error_str(list_err), "", 462);

  for (const std::string& name : names) {
    const bool is_folder = is_real_folder(folder + name);
    const std::string full = folder + name + (is_folder ? "/" : "");

    if (!name.empty() && name.back() == ' ')
      fatal("YOU IDIOT!", "You tried to include a file or directory with a space at the end!",
            "Windows refuses file and folder names that end in a blank.", full, 471);
    // The file list is read line by line with leading blanks skipped.
    if (name.find_first_of("\n\r") != std::string::npos || name[0] == ' ' || name[0] == '\t')
      fatal("YOU IDIOT!", "found a line break, or a blank or tab at the start of a name!",
            "The file list cannot carry such a name.", full, 472);
    if (contains(full, ":")) fatal("YOU IDIOT!", "found a  : in the path!", full, "", 473);
    if (contains(full, "\\")) fatal("YOU IDIOT!", "found a \\ in the path!", full, "", 474);

    if (!is_folder) {
      if (full == str_men_file) found_men_file = 1;
      if (full == str_tex_file) found_tex_file = 1;
      if (contains(full, "copy")) fatal("YOU IDIOT!", "found a copy file!", full, "", 522);
      if (contains(full, ".cpp")) fatal("YOU IDIOT!", "found a .cpp file!", full, "", 523);
      if (contains(full, ".CPP")) fatal("YOU IDIOT!", "found a .CPP file!", full, "", 524);
      if (full.substr(0, full.rfind('/') + 1) == str_all_fold)
        fatal("YOU IDIOT!",
              "I FOUND A FILE INSIDE THE 'ALL' FOLDER! WE SHOULD ONLY HAVE FOLDERS THERE!", full, "",
              531);
      ++num_files_rec;
      if (is_good_file(full, 0, 1)) {
        if (contains(folder, "/All/Resources/preferences/"))
          fatal("YOU IGNORANT SLUT!", "I found this preferences file!", name,
                "And is_good_file says I should keep it!!!!", 538);
        ++num_files_use;
        comp_files.push_back(full);
        std::string dest = dst_folder + sim_name + "/" + full.substr(src_fold.size());
        for (size_t cut = dest.rfind('/'); cut != std::string::npos && cut > 0;
             cut = dest.rfind('/', cut - 1)) {
          std::string prefix = dest.substr(0, cut + 1);
          if (prefix.size() < dst_fold_base.size()) break;
          comp_paths.insert(prefix);
        }
      }
      if (num_files_rec % 500 == 0)
        show_master_progress("reg: " + dec(reg) + ": total files recursed: " + dec(num_files_rec) +
                                 ". will compress: " + dec(num_files_use) + ".",
                             full);
      continue;
    }

    const std::pair<const std::string*, int*> checklist[] = {
        {&str_all_fold, &found_all_fold}, {&str_apl_fold, &found_apl_fold},
        {&str_win_fold, &found_win_fold}, {&str_LIN_fold, &found_LIN_fold},
        {&str_ins_fold, &found_ins_fold}, {&str_wpn_fold, &found_wpn_fold},
        {&str_afl_fold, &found_afl_fold}, {&str_acf_fold, &found_acf_fold},
        {&str_res_fold, &found_res_fold}, {&str_out_fold, &found_out_fold},
        {&str_cus_fold, &found_cus_fold}, {&str_glo_fold, &found_glo_fold},
        {&str_plug, &found_plug},         {&str_redt, &found_redt},
        {&str_orbt, &found_orbt}};
    for (const auto& [path, flag] : checklist) {
      if (full == *path) {
        *flag = 1;
        break;
      }
    }
    if (folder == str_all_fold) {
      static const char* const allowed[] = {"Aircraft/", "Airfoils/", "Instructions/", "Output/",
                                            "install_quelb Aircraft/", "Resources/", "Weapons/",
                                            "Custom Scenery/", "Rovade Vovavod/"};
      bool ok = false;
      for (const char* a : allowed) ok = ok || (name + "/" == a);
      if (!ok) fatal("What the hell is THIS doing in here!?!?!?", name, full, name + "/", 510);
    }
    pref_level(full);
  }
}

int is_good_file(std::string path, int skip_read_check, int want_read_check) {
  const int keep = kept_by_rules(path);
  if (!keep || skip_read_check != 0 || want_read_check == 0 || is_sim_link(path.c_str(), nullptr))
    return keep;
  // Only a really empty file is left out: one that cannot be read would go missing from the disc.
  xmap_class map(path);
  if (map.begin == nullptr)
    fatal("I could not read a file of the master!", path, "Error: " + error_str(errno), "", 250);
  return map.begin == map.end ? 0 : 1;
}

namespace {
int kept_by_rules(const std::string& path) {
  static const char* const contains_rows[] = {".7z", "Thumbs.db", "work.", "._", ".DS_Store",
                                              ".sandboxinfo", ".xSYM", "serverlist.txt",
                                              "Volarium Pilot.txt", ".dsf.txt"};
  static const char* const ends_rows[] = {".ovw", ".ac", ".prf", ".fms", ".sit", ".mov", ".bak"};
  for (const char* c : contains_rows)
    if (contains(path, c)) return 0;
  for (const char* e : ends_rows)
    if (ends_with(path, e)) return 0;
  if (contains(path, str_quelb_fold)) return 0;

  const bool earth = contains(path, str_erth1) || contains(path, str_erth2);
  const bool mars = contains(path, str_mars);
  const bool moon = contains(path, str_moon);
  const bool scenery = earth || mars || moon;
  const bool red = contains(path, str_redt);
  const bool orbit = contains(path, str_orbt);

  switch (master_disc_type) {
    case 0: return (!scenery && !red && !orbit) ? 1 : 0;
    case 1:
      if (!scenery) return 1;
      return earth ? want_reg(reg, path) : 0;
    case 2: return earth ? want_reg(reg, path) : 0;
    case 3: return mars ? want_reg(reg, path) : 0;
    case 4: return moon ? want_reg(reg, path) : 0;
    default:
      fatal("I can not tell what type of install this is!", "", "", "", 294);
      return 0;
  }
}
}  // namespace

int want_reg(int region, std::string path) {
  std::string leaf = path;
  size_t search_end = path.size() >= 2 ? path.size() - 2 : 0;
  size_t slash = path.empty() ? std::string::npos : path.rfind('/', search_end);
  if (slash != std::string::npos) leaf = path.substr(slash + 1);

  const int lat = str_to_int(leaf.substr(0, 3));
  const int lon = str_to_int(leaf.size() > 3 ? leaf.substr(3, 4) : std::string());
  if (lat < -90 || lat > 90) fatal("Out of range lat!", path, leaf, "", 1031, kTypesSrc);
  if (lon < -180 || lon > 180) fatal("Out of range lon!", path, leaf, "", 1032, kTypesSrc);

  int r;
  if (lon <= -20) {
    r = lat <= 25 ? 1 : (lat <= 49 ? 0 : 2);
  } else if (lat >= 58) {
    r = 2;
  } else if (lat >= 21) {
    r = lon <= 71 ? 4 : 5;
  } else {
    r = (lon >= 59 && lat <= -7) ? 1 : 3;
  }
  return r == region ? 1 : 0;
}

void chop_platform(std::string& path, int platform) {
  size_t slash = path.find('/');
  if (slash == std::string::npos) fatal("Could not find the dir char!", path, "", "", 233);
  static const char* const tags[] = {"ALL_os", "APL_os", "IBM_os", "LIN_os"};
  std::string tag = (platform >= 0 && platform <= 3) ? tags[platform] : "";
  path = tag + path.substr(slash);
}
