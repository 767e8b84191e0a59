// Entry of the master-building edition. The roots of the master tree, of the disc masters and
// of the previous file list default to the fixed folders; options move them, and choose the
// disc type and version number so that successive releases can be built from one executable.
#include <cstdio>
#include <string>

#include "engine/master.h"
#include "foundation/cmdline.h"
#include "foundation/convert.h"

namespace {
std::string folder_option(const char* name, const std::string& fallback) {
  std::string v = cmdline.get_option(name);
  if (v.empty()) return fallback;
  if (v.back() != '/') v += '/';
  return v;
}

// Without a window the status strip goes to standard output.
int print_progress(const std::string& line1, const std::string& line2) {
  std::printf("%s\n  %s\n", line1.c_str(), line2.c_str());
  std::fflush(stdout);
  return 0;
}

int int_option(const char* name, int fallback, int lo, int hi) {
  if (!cmdline.has_option(name)) return fallback;
  int v = str_to_int(cmdline.get_option(name));
  if (v < lo || v > hi) {
    std::fprintf(stderr, "%s: expects a number from %d to %d\n", name, lo, hi);
    return -1;
  }
  return v;
}
}  // namespace

int master_main(int argc, char** argv) {
  cmdline.init_unix(argc, argv);
  std::string old_list = cmdline.get_option("--master_old");
  if (old_list.empty()) old_list = old_dir_path;
  master_set_roots(folder_option("--master_src", src_fold), folder_option("--master_dst", dst_fold_base),
                   old_list);
  master_disc_type = int_option("--disc_type", master_disc_type, 0, 4);
  master_version = int_option("--build_version", master_version, 1, 999999999);
  if (master_disc_type < 0 || master_version < 0) return 2;
  master_set_progress_hook(print_progress);
  build_install();
  return 0;
}
