// Installs the sample disc without a window and compares, in the same run, with the peer
// tools: the install against `unzip -oq` (and `7za x`) of the same archives into an empty
// folder, and the scan of the installed tree against `md5sum` of the same files.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/install.h"
#include "engine/master.h"
#include "files/zip.h"
#include "foundation/alert.h"
#include "foundation/globals.h"

namespace fs = std::filesystem;

namespace {
const std::string kDiscName = "Volarium 9.00 Beta-25";

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

std::string quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

int sh(const std::string& cmd) { return std::system(cmd.c_str()); }

void quiet_alert(int, std::string l1, std::string l2, std::string l3, std::string l4, int type, const char*, int) {
  if (type == t_exit) {
    std::fprintf(stderr, "%s\n%s\n%s\n%s\n", l1.c_str(), l2.c_str(), l3.c_str(), l4.c_str());
    std::_Exit(1);
  }
}

void drop_caches_hint() { sync(); }
}  // namespace

int main(int argc, char** argv) {
  const std::string src = argc > 1 ? argv[1] : fs::path(__FILE__).parent_path().parent_path().string();
  const fs::path root = fs::temp_directory_path() / ("volarium-bench-install-" + std::to_string(getpid()));
  fs::create_directories(root);
  ZARIRU_set_alert_hook(quiet_alert);

  const std::string master = (root / "master").string() + "/";
  if (sh("python3 " + quote(src + "/tools/make_sample_master.py") + " " + quote(master) + " > /dev/null") != 0) {
    std::fprintf(stderr, "could not write the sample master\n");
    return 1;
  }
  const std::string discs = (root / "disc").string() + "/";
  fs::create_directories(discs);
  master_set_roots(master, discs, "/none");
  master_disc_type = 1;
  build_install();
  const std::string disc = discs + kDiscName + "/";

  // Ours: the engine's whole road, from the packed list to the last unpacked file.
  const std::string parent = (root / "ours").string() + "/";
  fs::create_directories(parent);
  temp_path = (root / "tmp").string() + "/";
  fs::create_directories(temp_path);
  stg[STG_target_os] = 3;
  stg[STG_rename_folder] = 0;
  dvd_path = discs;
  install_name = kDiscName;
  dest_dir_path = parent + "Volarium 9/";
  drop_caches_hint();
  auto t0 = std::chrono::steady_clock::now();
  zip_to_file(disc + "directory.txt.zip", temp_path, nullptr, 0);
  read_directory(temp_path + "directory.txt", "Scanning");
  choose_files();
  make_dirs();
  next.reset(0);
  while (grab_files() == 0) {
  }
  const double ours_install = seconds_since(t0);
  std::vector<std::string> archives;
  for (const file_history_struct& h : sim_info) {
    const file_version_struct& v = h.versions.back();
    if (v.install) archives.push_back(disc + v.path + (v.path.find("Rovade Vovavod") != std::string::npos ? ".7z" : ".zip"));
  }

  // Peers: the same archives unpacked by the command-line tools into an empty folder.
  const std::string peer = (root / "peer").string() + "/";
  fs::create_directories(peer);
  const std::string script = (root / "peer.sh").string();
  {
    FILE* f = std::fopen(script.c_str(), "w");
    for (const std::string& a : archives) {
      const bool seven = a.size() > 3 && a.compare(a.size() - 3, 3, ".7z") == 0;
      std::string rel = a.substr(disc.size());
      std::string folder = peer + rel.substr(0, rel.rfind('/') + 1);
      std::fprintf(f, "mkdir -p %s && ", quote(folder).c_str());
      if (seven)
        std::fprintf(f, "7za x -y -bd -bso0 -bsp0 -o%s %s\n", quote(folder).c_str(), quote(a).c_str());
      else
        std::fprintf(f, "unzip -oq %s -d %s\n", quote(a).c_str(), quote(folder).c_str());
    }
    std::fclose(f);
  }
  drop_caches_hint();
  t0 = std::chrono::steady_clock::now();
  sh("sh " + quote(script));
  const double peer_install = seconds_since(t0);

  // Scan of the installed tree: our signatures against md5sum of the same files.
  t0 = std::chrono::steady_clock::now();
  read_directory(temp_path + "directory.txt", "Scanning");
  const double ours_scan = seconds_since(t0);
  t0 = std::chrono::steady_clock::now();
  sh("cd " + quote(dest_dir_path) + " && find . -type f -print0 | xargs -0 md5sum > /dev/null");
  const double peer_scan = seconds_since(t0);

  std::printf("files installed:              %zu\n", archives.size());
  std::printf("install, ours:                %.3f s\n", ours_install);
  std::printf("unzip -oq / 7za x, same set:  %.3f s\n", peer_install);
  std::printf("ratio install/peers:          %.2f\n", ours_install / peer_install);
  std::printf("scan, ours:                   %.3f s\n", ours_scan);
  std::printf("md5sum, same tree:            %.3f s\n", peer_scan);
  std::printf("ratio scan/md5sum:            %.2f\n", ours_scan / peer_scan);
  fs::remove_all(root);
  return 0;
}
