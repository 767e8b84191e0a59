// Scenery locator: the package scan against a plain read loop over the same library files (the
// I/O floor), and primary look-ups (half of them misses that search the fixed folders) against a
// hash-map look-up with the same file checks through the file layer, with case repair on and off.
// First, the peak memory of a scan of one hostile library file: 650 KB of region definitions.
// Usage: bench_scenery [--quick]  (full: 2000 packages x 500 exports, 10^6 look-ups)
// Prints min and median of interleaved runs and ours/peer ("<1 = ours faster").
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "files/io_utils.h"
#include "foundation/shell_state.h"
#include "scenery/io_locate.h"

namespace {

using Clock = std::chrono::steady_clock;

double cpu_now() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// Wall and processor seconds of one run (processor time, system calls included, is the steadier
// figure on a shared machine).
struct timing {
  double wall, cpu;
};
timing measure(const std::function<void()>& work) {
  auto t0 = Clock::now();
  double c0 = cpu_now();
  work();
  return {std::chrono::duration<double>(Clock::now() - t0).count(), cpu_now() - c0};
}

struct stats {
  double min, median;
};
stats summary(std::vector<double> t) {
  std::sort(t.begin(), t.end());
  return {t.front(), t[t.size() / 2]};
}

// Runs ours and the peer alternately and prints both and the ratios.
void compare(const char* label, int rounds, const std::function<void()>& ours,
             const std::function<void()>& peer) {
  std::vector<double> ow, oc, pw, pc;
  for (int i = 0; i < rounds; ++i) {
    timing o = measure(ours), p = measure(peer);
    ow.push_back(o.wall);
    oc.push_back(o.cpu);
    pw.push_back(p.wall);
    pc.push_back(p.cpu);
  }
  std::printf("%s\n", label);
  for (int kind = 0; kind < 2; ++kind) {
    stats o = summary(kind ? oc : ow), p = summary(kind ? pc : pw);
    std::printf(
        "  %s  ours min %8.3f s med %8.3f s | peer min %8.3f s med %8.3f s | "
        "ours/peer min %6.2f med %6.2f (<1 = ours faster)\n",
        kind ? "cpu " : "wall", o.min, o.median, p.min, p.median, o.min / p.min,
        o.median / p.median);
  }
}

long peak_rss_kb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

std::string package_name(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "pkg_%04d", i);
  return name;
}

// The peer's scan: list the packages and read every library file whole, counting its exports.
size_t read_loop() {
  size_t exports = 0;
  std::vector<std::string> names;
  DIR* dir = opendir("Custom Scenery");
  if (!dir) return 0;
  while (dirent* e = readdir(dir))
    if (e->d_name[0] != '.') names.push_back(e->d_name);
  closedir(dir);
  std::sort(names.begin(), names.end());
  std::vector<char> buf(1 << 16);
  for (const std::string& n : names) {
    int fd = open(("Custom Scenery/" + n + "/library.txt").c_str(), O_RDONLY);
    if (fd < 0) continue;
    std::string text;
    ssize_t got;
    while ((got = read(fd, buf.data(), buf.size())) > 0) text.append(buf.data(), got);
    close(fd);
    for (size_t p = text.find("\nEXPORT "); p != std::string::npos;
         p = text.find("\nEXPORT ", p + 1))
      ++exports;
  }
  return exports;
}

size_t library_entries() {
  size_t n = 0;
  for (const auto& [v, first] : dsf_library)
    for (const lib_entry* e = first; e; e = e->next) ++n;
  return n;
}

// Bytes of the distinct tile maps the entries' regions hold.
size_t region_map_bytes() {
  std::set<const lib_region::tile_map*> maps;
  for (const auto& [v, first] : dsf_library)
    for (const lib_entry* e = first; e; e = e->next)
      if (e->region && e->region->map) maps.insert(e->region->map.get());
  return maps.size() * sizeof(lib_region::tile_map);
}

// Scans a product whose one library file holds 650 KB of region definitions, in a child so that
// nothing else raises the peak, and prints how far the peak resident size grew.
void hostile_regions() {
  std::filesystem::create_directories("hostile/Custom Scenery/H");
  std::ofstream lib("hostile/Custom Scenery/H/library.txt", std::ios::binary);
  lib << "A\n800 version\nLIBRARY\n\n";
  size_t regions = 0;
  for (size_t bytes = 0; bytes < 650000; ++regions) {
    std::string line = "REGION_DEFINE r" + std::to_string(regions) + "\n";
    bytes += line.size();
    lib << line;
  }
  lib.close();
  std::fflush(stdout);
  if (pid_t child = fork(); child == 0) {
    long rss0 = peak_rss_kb();
    if (chdir("hostile") == 0) DSF_ScanSceneryFolder();
    std::printf("hostile library: 650 KB, %zu region definitions; peak RSS grew by %.1f MB\n",
                regions, (peak_rss_kb() - rss0) / 1024.0);
    std::fflush(stdout);
    _exit(0);
  } else if (child > 0) {
    waitpid(child, nullptr, 0);
  }
  std::filesystem::remove_all("hostile");
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const int packages = quick ? 200 : 2000;
  const int exports = quick ? 100 : 500;
  const int lookups = quick ? 100000 : 1000000;
  const int files_per_package = 10;
  const int virtual_paths = packages * exports / 200;  // chains of about 200 entries

  const char* tmp = getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_scenery_XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data()) || chdir(buf.data()) != 0) {
    std::fprintf(stderr, "cannot make a scratch folder\n");
    return 1;
  }
  std::string root = buf.data();
  for (int i = 0; i < 10000; ++i) randrat[i] = static_cast<float>((i * 7919) % 10000) / 10000.0f;
  hostile_regions();

  // The product: packages with a library file each and a few object files.
  std::filesystem::create_directories("Resources/objects");
  for (int i = 0; i < packages; ++i) {
    std::string pkg = "Custom Scenery/" + package_name(i) + "/";
    std::filesystem::create_directories(pkg + "objects");
    for (int f = 0; f < files_per_package; ++f)
      std::ofstream(pkg + "objects/o" + std::to_string(f) + ".obj") << "x";
    std::ofstream lib(pkg + "library.txt", std::ios::binary);
    lib << "A\n800 version\nLIBRARY\n\nREGION_DEFINE r\nREGION_RECT -10 -10 10 10\n";
    for (int k = 0; k < exports; ++k)
      lib << "EXPORT lib/item_" << (i * 37 + k) % virtual_paths << ".obj objects/o"
          << k % files_per_package << ".obj\n";
  }
  std::printf("Product: %d packages x %d exports (%d virtual paths), %d look-ups\n", packages,
              exports, virtual_paths, lookups);

  // Scan: first run for the memory figure, then interleaved timing.
  long rss0 = peak_rss_kb();
  DSF_ScanSceneryFolder();
  long rss1 = peak_rss_kb();
  size_t entries = library_entries(), floor_exports = read_loop(), maps = region_map_bytes();
  std::printf(
      "library: %zu entries (read loop counts %zu exports: %s); peak RSS grew by %.1f MB, region "
      "tile maps %.1f MB; %.0f bytes per entry without them\n",
      entries, floor_exports, entries == floor_exports ? "agree" : "DIFFER", (rss1 - rss0) / 1024.0,
      maps / 1e6, (1024.0 * (rss1 - rss0) - maps) / std::max<size_t>(entries, 1));
  compare(
      "scan (DSF_ScanSceneryFolder)", 5, [] { DSF_ScanSceneryFolder(); }, [] { read_loop(); });

  // Look-ups: even queries hit the library, odd ones miss it and search the fixed folders.
  std::vector<std::string> queries(lookups);
  for (int q = 0; q < lookups; ++q)
    queries[q] = q % 2 == 0 ? "lib/item_" + std::to_string((q / 2 * 7) % virtual_paths) + ".obj"
                            : "lib/miss_" + std::to_string(q % 1000) + ".obj";
  const std::string base = "Custom Scenery/" + package_name(0) + "/";

  // The peer: a hash map of each virtual path's first export group, the same choice rule, and
  // the same file checks through the file layer (which repairs the case while that is on).
  std::unordered_map<std::string, std::vector<std::string>> peer_lib;
  for (const auto& [v, first] : dsf_library) {
    std::vector<std::string>& files = peer_lib[v];
    for (const lib_entry* e = first; e; e = e->next) {
      files.push_back(DSF_EntryPath(*e));
      if (!e->next || e->next->package != e->package) break;
    }
  }
  std::vector<std::string> ours_out(lookups), peer_out(lookups);
  auto ours = [&] {
    for (int q = 0; q < lookups; ++q)
      DSF_LocateResourcePrimary(0, 0, 3, queries[q], base, false, ours_out[q], q);
  };
  auto peer = [&] {
    for (int q = 0; q < lookups; ++q) {
      std::string& out = peer_out[q];
      out.clear();
      auto it = peer_lib.find(queries[q]);
      if (it != peer_lib.end()) {
        const std::vector<std::string>& f = it->second;
        size_t r = static_cast<size_t>(f.size() * static_cast<double>(randrat[q % 10000]));
        out = f[std::min(r, f.size() - 1)];
        if (g_case_sensitive) file_exists(out);  // ours confirms the spelling on disk
        continue;
      }
      const std::string& n = queries[q];
      for (const std::string& c :
           {base + n, base + "custom objects/" + n, obj_path + n, "Resources/" + n})
        if (file_exists(c)) {
          out = c;
          break;
        }
    }
  };
  for (int repair : {1, 0}) {
    g_case_sensitive = repair;
    compare(repair ? "primary look-ups, case repair on" : "primary look-ups, case repair off", 3,
            ours, peer);
    std::printf("  outputs %s\n", ours_out == peer_out ? "agree" : "DIFFER");
  }

  DSF_ClearLibrary();
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  return 0;
}
