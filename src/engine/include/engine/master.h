// Master-building mode: walks the product's master tree, picks each disc's files, and writes
// the disc masters (one archive per file, the packed file list and the version file).
#pragma once
#include <set>
#include <string>
#include <vector>

// Master layout; rebuilt by master_set_roots.
extern std::string old_dir_path;   // previous file list ("/directory.txt")
extern std::string src_fold;       // root of the master tree ("/Volarium 9.00/")
extern std::string dst_fold_base;  // root of the disc masters ("/DVD_Masters/")
extern std::string dst_folder;
extern std::string sim_name;
extern const std::string ALL_str, APL_str, WIN_str, LIN_str;
extern std::string str_all_fold, str_apl_fold, str_win_fold, str_LIN_fold, str_ins_fold,
    str_wpn_fold, str_afl_fold, str_acf_fold, str_quelb_fold, str_res_fold, str_out_fold,
    str_cus_fold, str_glo_fold, str_plug, str_redt, str_orbt, str_erth1, str_erth2, str_mars,
    str_moon, str_men_file, str_tex_file;

// Sets the three roots (folders end in "/") and rebuilds every path derived from them.
void master_set_roots(const std::string& src, const std::string& dst, const std::string& old_list);

// Disc type and version number of the build being written: the edition's is_dvd and 90025
// unless the master command line chose others.
extern int master_disc_type;
extern int master_version;

// Region of the current pass: 0 for disc types 0 and 1, 1..5 Earth, 6..7 Mars, 8 Moon.
extern int reg;

// Checklist flags set by the walk; never cleared between passes.
extern int found_all_fold, found_apl_fold, found_win_fold, found_LIN_fold, found_ins_fold,
    found_wpn_fold, found_afl_fold, found_acf_fold, found_res_fold, found_out_fold,
    found_cus_fold, found_glo_fold, found_plug, found_redt, found_orbt, found_men_file,
    found_tex_file;

// The current pass's accepted files (walk order), the folders the disc needs, and counters.
extern std::vector<std::string> comp_files;
extern std::set<std::string> comp_paths;
extern int num_files_rec, num_files_use;

void pref_level(const std::string& folder);
int is_good_file(std::string path, int skip_read_check, int want_read_check);
int want_reg(int region, std::string path);
void chop_platform(std::string& path, int platform);

// Status strip of a pass and its quit key. The window edition installs a hook that draws the
// strip and polls one event (returning 1 when "q" was typed); the default logs the lines.
using master_progress_fn = int (*)(const std::string& line1, const std::string& line2);
void master_set_progress_hook(master_progress_fn hook);
void show_master_progress(const std::string& line1, const std::string& line2);

// The writer.
void build_install();
void sub_install();
void comp_file(std::string path);

// Entry of the master edition: options, then build_install.
int master_main(int argc, char** argv);
