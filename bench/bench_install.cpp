// Installs the sample disc without a window and compares, in the same run, with the peer
// tools: the install against `unzip -oq` (and `7za x`) of the same archives into an empty
// folder, with and without `sync -f` after it (ours always flushes before it reports done), and
// the scan of the installed tree against `md5sum` of the same files. Rounds are interleaved;
// min and median of each are printed, with the share of the install spent in the final flush.
#include <algorithm>
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

struct series {
  std::vector<double> v;
  double min() const { return *std::min_element(v.begin(), v.end()); }
  double median() const {
    std::vector<double> s = v;
    std::sort(s.begin(), s.end());
    return s.size() % 2 ? s[s.size() / 2] : 0.5 * (s[s.size() / 2 - 1] + s[s.size() / 2]);
  }
};

void print_row(const char* what, const series& s) {
  std::printf("%-34s min %.3f s  median %.3f s\n", what, s.min(), s.median());
}

void print_ratio(const char* what, const series& ours, const series& peer) {
  std::printf("%-34s min %.2f  median %.2f  (<1 = ours faster)\n", what, ours.min() / peer.min(),
              ours.median() / peer.median());
}

size_t files_under(const std::string& folder) {
  size_t n = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file() || it->is_symlink()) ++n;
  return n;
}
}  // namespace

int main(int argc, char** argv) {
  const std::string src = argc > 1 ? argv[1] : fs::path(__FILE__).parent_path().parent_path().string();
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
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
  temp_path = (root / "tmp").string() + "/";
  fs::create_directories(temp_path);
  stg[STG_target_os] = 3;
  stg[STG_rename_folder] = 0;
  dvd_path = discs;
  install_name = kDiscName;

  series ours_install, ours_flush, peer_install, peer_synced, ours_scan, peer_scan;
  std::vector<std::string> archives;
  std::string script;
  for (int round = 0; round < rounds; ++round) {
    const std::string tag = std::to_string(round);
    // Ours: the engine's whole road, from the packed list to the last unpacked file, flushed.
    const std::string parent = (root / ("ours-" + tag)).string() + "/";
    fs::create_directories(parent);
    dest_dir_path = parent + "Volarium 9/";
    drop_caches_hint();
    auto t0 = std::chrono::steady_clock::now();
    zip_to_file(disc + "directory.txt.zip", temp_path, nullptr, 0);
    read_directory(temp_path + "directory.txt", "Scanning");
    choose_files();
    make_dirs();
    next.reset(0);
    double last_call = 0;
    for (;;) {
      const auto c0 = std::chrono::steady_clock::now();
      const int r = grab_files();
      last_call = seconds_since(c0);
      if (r != 0) break;
    }
    ours_install.v.push_back(seconds_since(t0));
    // The call that finds the end does little else than the flush.
    ours_flush.v.push_back(last_call);
    if (stg[STG_error] != 0) {
      std::fprintf(stderr, "our install failed\n");
      return 1;
    }

    if (archives.empty()) {
      for (const file_history_struct& h : sim_info) {
        const file_version_struct& v = h.versions.back();
        if (v.install)
          archives.push_back(disc + v.path + (v.path.find("Rovade Vovavod") != std::string::npos ? ".7z" : ".zip"));
      }
      // Peers: the same archives unpacked by the command-line tools into the folder given as $1.
      script = (root / "peer.sh").string();
      FILE* f = std::fopen(script.c_str(), "w");
      for (const std::string& a : archives) {
        const bool seven = a.size() > 3 && a.compare(a.size() - 3, 3, ".7z") == 0;
        std::string rel = a.substr(disc.size());
        const std::string folder = "\"$1\"/" + quote(rel.substr(0, rel.rfind('/') + 1));
        std::fprintf(f, "mkdir -p %s && ", folder.c_str());
        if (seven)
          std::fprintf(f, "7za x -y -bd -bso0 -bsp0 -o%s %s\n", folder.c_str(), quote(a).c_str());
        else
          std::fprintf(f, "unzip -oq %s -d %s\n", quote(a).c_str(), folder.c_str());
      }
      std::fclose(f);
    }

    const std::string peer = (root / ("peer-" + tag)).string();
    drop_caches_hint();
    t0 = std::chrono::steady_clock::now();
    sh("sh " + quote(script) + " " + quote(peer));
    peer_install.v.push_back(seconds_since(t0));

    const std::string synced = (root / ("synced-" + tag)).string();
    drop_caches_hint();
    t0 = std::chrono::steady_clock::now();
    sh("sh " + quote(script) + " " + quote(synced) + " && sync -f " + quote(synced));
    peer_synced.v.push_back(seconds_since(t0));

    // The same output: every file of the list is in place on both sides.
    const size_t ours_files = files_under(dest_dir_path), peer_files = files_under(peer);
    if (ours_files != peer_files || ours_files < archives.size()) {
      std::fprintf(stderr, "different output: ours %zu files, peers %zu, listed %zu\n", ours_files, peer_files,
                   archives.size());
      return 1;
    }

    // Scan of the installed tree: our signatures against md5sum of the same files.
    t0 = std::chrono::steady_clock::now();
    read_directory(temp_path + "directory.txt", "Scanning");
    ours_scan.v.push_back(seconds_since(t0));
    if (scan_install_count != 0) {
      std::fprintf(stderr, "the scan finds %d files still to install\n", scan_install_count);
      return 1;
    }
    t0 = std::chrono::steady_clock::now();
    sh("cd " + quote(dest_dir_path) + " && find . -type f -print0 | xargs -0 md5sum > /dev/null");
    peer_scan.v.push_back(seconds_since(t0));

    fs::remove_all(parent);
    fs::remove_all(peer);
    fs::remove_all(synced);
  }

  std::printf("files installed:                   %zu, %d interleaved rounds\n", archives.size(), rounds);
  print_row("install, ours (flushed):", ours_install);
  print_row("  of it the flush at the end:", ours_flush);
  std::printf("%-34s min %.1f %%  median %.1f %%\n", "  flush share of the install:", 100.0 * ours_flush.min() / ours_install.min(),
              100.0 * ours_flush.median() / ours_install.median());
  print_row("unzip -oq / 7za x, same set:", peer_install);
  print_row("the same, then sync -f:", peer_synced);
  print_ratio("ratio install/peers:", ours_install, peer_install);
  print_ratio("ratio install/peers+sync:", ours_install, peer_synced);
  print_row("scan, ours:", ours_scan);
  print_row("md5sum, same tree:", peer_scan);
  print_ratio("ratio scan/md5sum:", ours_scan, peer_scan);
  fs::remove_all(root);
  return 0;
}
