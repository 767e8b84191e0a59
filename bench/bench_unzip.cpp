// Unpacking speed against the peer tools, in one run: a disc-like set of per-file zip archives
// (thousands of small files and a few large ones) through zip_to_file and through "unzip -oq",
// and per-file 7z archives through p7z_to_file and through "7za x". Rounds interleave ours and
// the peer; "--quick" makes a smaller set. The per-file rows mostly time the peer's process
// starts; the one-archive and large-file rows compare the unpacking itself.
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "files/p7z.h"
#include "files/zip.h"
#include "foundation/globals.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string sample_bytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  static const char* words[] = {"runway ", "taxiway ", "0.125 ", "-12.5 ", "\n", "OBJECT ",
                                "beacon ", "VERTEX ", "tex/", "apron ", "3.14159 ", "TRI "};
  std::string s;
  s.reserve(n + 16);
  while (s.size() < n) {
    if (rng() % 5 == 0) s.push_back(static_cast<char>(rng()));
    else s += words[rng() % 12];
  }
  s.resize(n);
  return s;
}

void spill(const std::string& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

int run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int r = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (r != 0) return -1;
  int st = 0;
  waitpid(pid, &st, 0);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// Rounds of ours and the peer in turn; a failed unpack on either side is reported.
void compare(const char* label, const char* peer_name, const std::function<bool()>& ours,
             const std::function<bool()>& peer, double megabytes) {
  bool ok = true;
  const std::vector<bench::Times> t =
      bench::interleaved(5, {[&] { ok = ours() && ok; }, [&] { ok = peer() && ok; }});
  char what[160];
  std::snprintf(what, sizeof what, "%s (%.1f MB)%s", label, megabytes, ok ? "" : " FAILED");
  bench::print_ratio(what, t[0], peer_name, t[1]);
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const int small_count = quick ? 400 : 3000;
  const int large_count = quick ? 2 : 4;
  const size_t large_size = quick ? (8u << 20) : (48u << 20);
  const int p7z_count = quick ? 4 : 12;
  const size_t p7z_size = quick ? (4u << 20) : (16u << 20);

  const char* tmp = getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_unzip_XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) return 1;
  const std::string root = std::string(buf.data()) + "/";
  for (const char* d : {"src", "disc", "ours", "peer", "ours7", "peer7"}) fs::create_directories(root + d);

  // The disc: one archive per file, as the master-building mode makes them.
  std::vector<std::string> small_zips, large_zips, p7zs;
  double small_mb = 0, large_mb = 0, p7z_mb = 0;
  std::mt19937 rng(42);
  for (int i = 0; i < small_count; ++i) {
    std::string name = "obj" + std::to_string(i) + ".txt";
    size_t size = 512 + rng() % (40 * 1024);
    spill(root + "src/" + name, sample_bytes(size, static_cast<unsigned>(i)));
    small_mb += size / 1e6;
    if (file_to_zip(root + "src/" + name, root + "disc/" + name + ".zip") != 0) return 1;
    small_zips.push_back(root + "disc/" + name + ".zip");
  }
  for (int i = 0; i < large_count; ++i) {
    std::string name = "big" + std::to_string(i) + ".dds";
    spill(root + "src/" + name, sample_bytes(large_size, 1000u + static_cast<unsigned>(i)));
    large_mb += large_size / 1e6;
    if (file_to_zip(root + "src/" + name, root + "disc/" + name + ".zip") != 0) return 1;
    large_zips.push_back(root + "disc/" + name + ".zip");
  }
  for (int i = 0; i < p7z_count; ++i) {
    std::string name = "+4" + std::to_string(i) + "+010.dsf";
    spill(root + "src/" + name, sample_bytes(p7z_size, 2000u + static_cast<unsigned>(i)));
    p7z_mb += p7z_size / 1e6;
    std::string arch = root + "disc/" + name + ".7z";
    if (run({"7za", "a", "-bd", "-mx5", "--", arch, root + "src/" + name}) != 0) {
      std::fprintf(stderr, "7za could not pack %s\n", name.c_str());
      return 1;
    }
    p7zs.push_back(arch);
  }

  // The small files again in one archive, so the peer's process start does not count.
  {
    std::vector<std::string> args = {"zip", "-q", "-j", root + "disc/all_small.zip"};
    for (int i = 0; i < small_count; ++i) args.push_back(root + "src/obj" + std::to_string(i) + ".txt");
    if (run(args) != 0) {
      std::fprintf(stderr, "zip could not pack the small files\n");
      return 1;
    }
  }

  auto ours_zip = [&](const std::vector<std::string>& zips) {
    bool ok = true;
    for (auto& z : zips) ok = zip_to_file(z, root + "ours/", nullptr, 0) == 0 && ok;
    return ok;
  };
  auto peer_zip = [&](const std::vector<std::string>& zips) {
    bool ok = true;
    for (auto& z : zips) ok = run({"unzip", "-oq", z, "-d", root + "peer"}) == 0 && ok;
    return ok;
  };
  std::printf("Unpacking %d small and %d large zip archives, %d 7z archives\n", small_count,
              large_count, p7z_count);
  compare("zip, small files (zip_to_file)", "unzip -oq", [&] { return ours_zip(small_zips); },
          [&] { return peer_zip(small_zips); }, small_mb);
  compare("zip, small files in one archive", "unzip -oq", [&] { return ours_zip({root + "disc/all_small.zip"}); },
          [&] { return peer_zip({root + "disc/all_small.zip"}); }, small_mb);
  compare("zip, large files (zip_to_file)", "unzip -oq", [&] { return ours_zip(large_zips); },
          [&] { return peer_zip(large_zips); }, large_mb);
  compare(
      "7z (p7z_to_file)", "7za x",
      [&] {
        bool ok = true;
        for (auto& a : p7zs) ok = p7z_to_file(a, root + "ours7/", nullptr, 0) == 0 && ok;
        return ok;
      },
      [&] {
        bool ok = true;
        for (auto& a : p7zs) ok = run({"7za", "x", "-y", "-bd", "-o" + root + "peer7", a}) == 0 && ok;
        return ok;
      },
      p7z_mb);

  // Both sides must have produced the same bytes.
  bool same = true;
  for (auto& e : fs::directory_iterator(root + "src")) {
    std::string n = e.path().filename();
    bool is7 = n[0] == '+';
    std::string a = root + (is7 ? "ours7/" : "ours/") + n, b = root + (is7 ? "peer7/" : "peer/") + n;
    if (fs::file_size(a) != fs::file_size(e.path()) || fs::file_size(b) != fs::file_size(e.path()))
      same = false;
  }
  std::printf("outputs %s\n", same ? "agree" : "DIFFER");
  std::error_code ec;
  fs::remove_all(root, ec);
  return same ? 0 : 1;
}
