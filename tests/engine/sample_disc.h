// Test helper: sample product masters from the generator in tools/, turned into discs by the
// master-building mode.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/master.h"

namespace sample {
namespace fs = std::filesystem;

inline std::string source_dir() {
  const char* s = std::getenv("VOL_SOURCE_DIR");
  return s ? s : fs::weakly_canonical(fs::path(__FILE__)).parent_path().parent_path().parent_path().string();
}

inline std::string run(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

inline std::string quote(const std::string& s) { return "'" + s + "'"; }

// Writes release 1 or 2 of the sample master (large files capped at 1 MB) into out.
inline void make_master(const std::string& out, int release) {
  run("python3 " + quote(source_dir() + "/tools/make_sample_master.py") + " " + quote(out) +
      " --small --release " + std::to_string(release));
}

// Builds the disc of master tree (ending in "/") into the new masters' root dst (ending in "/").
inline void build_disc(const std::string& tree, const std::string& dst, int disc_type, int version,
                       const std::string& prev_list) {
  fs::create_directories(dst);
  master_set_roots(tree, dst, prev_list);
  master_disc_type = disc_type;
  master_version = version;
  build_install();
}

// Unpacks the file list of a disc folder into a text file.
inline void extract_list(const std::string& disc_folder, const std::string& out_file) {
  run("unzip -p " + quote(disc_folder + "directory.txt.zip") + " directory.txt > " + quote(out_file));
}
// Releases 1 and 2 of the sample master under root, with the main disc of release 1 and the
// update disc of release 2 built over it (folders end in "/").
struct two_releases {
  std::string master1, master2, disc1, disc2;
};
inline two_releases make_two_releases(const fs::path& root) {
  two_releases r;
  r.master1 = (root / "master1").string() + "/";
  r.master2 = (root / "master2").string() + "/";
  make_master(r.master1, 1);
  make_master(r.master2, 2);
  r.disc1 = (root / "disc1").string() + "/";
  build_disc(r.master1, r.disc1, 1, 90025, "/none");
  const std::string prev = (root / "prev.txt").string();
  extract_list(r.disc1 + "Volarium 9.00 Beta-25/", prev);
  r.disc2 = (root / "disc2").string() + "/";
  build_disc(r.master2, r.disc2, 0, 90026, prev);
  return r;
}
}  // namespace sample
