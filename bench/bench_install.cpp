// A product-scale disc, installed and scanned without a window, against peers doing the same
// work in the same run: the install (which flushes what it wrote before it reports done) against
// one Python process unpacking the same archives with zipfile followed by `sync -f` (and, as a
// side figure, `xargs -P8 unzip`, one process per archive, unflushed), the scan of
// the installed tree against md5sum in one process and `xargs -P8 md5sum`. Rounds interleave
// the contenders; every peer's output is compared with ours file by file.
// Usage: bench_install [megabytes (500)] [files (3000)] [rounds (3)] [work folder]
// The work folder defaults to /dev/shm (a memory file system) when there is one.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "engine/install.h"
#include "engine/master.h"
#include "files/md5.h"
#include "files/zip.h"
#include "foundation/alert.h"
#include "foundation/globals.h"
#include "platform/spawn.h"

namespace fs = std::filesystem;

namespace {
const std::string kDiscName = "Volarium 9.00 Beta-25";

void quiet_alert(int, std::string l1, std::string l2, std::string l3, std::string l4, int type, const char*, int) {
  if (type == t_exit) {
    std::fprintf(stderr, "%s\n%s\n%s\n%s\n", l1.c_str(), l2.c_str(), l3.c_str(), l4.c_str());
    std::_Exit(1);
  }
}

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "bench_install: %s\n", why.c_str());
  std::exit(1);
}

void run(const std::vector<std::string>& argv, std::string* out = nullptr) {
  int code = 0;
  if (PLAT_run(argv, &code, out) != 0 || code != 0) fail(argv[0] + " failed (" + std::to_string(code) + ")");
}

void write_text(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
  if (!f) fail("cannot write " + path);
}

std::string read_all(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Every file below root with its bytes (a link with its text, as an unpacker without link
// support leaves it).
std::map<std::string, std::string> tree_of(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = fs::relative(it->path(), root).string();
    if (it->is_symlink()) out[rel] = fs::read_symlink(it->path()).string();
    else if (it->is_regular_file()) out[rel] = md5_hex(read_all(it->path()).data(), fs::file_size(it->path()));
  }
  return out;
}

void same_tree(const fs::path& ours, const fs::path& peer, const char* who) {
  const auto a = tree_of(ours), b = tree_of(peer);
  for (const auto& [rel, sig] : a) {
    auto it = b.find(rel);
    if (it == b.end()) fail(std::string(who) + " lacks " + rel);
    if (it->second != sig) fail(std::string(who) + " differs on " + rel);
  }
  if (a.size() != b.size()) fail(std::string(who) + " wrote other files too");
}

// Seconds of each install's last step, which finds the end and flushes the destination.
bench::Times g_flush;

// The engine's whole road into a fresh destination: packed list, scan, decisions, folders, files.
void install_ours(const std::string& disc, const std::string& dest) {
  fs::remove_all(dest);
  dest_dir_path = dest;
  zip_to_file(disc + "directory.txt.zip", temp_path, nullptr, 0);
  read_directory(temp_path + "directory.txt", "Scanning");
  choose_files();
  make_dirs();
  next.reset(0);
  for (double last = 0;; ) {
    const bench::Clock::time_point t0 = bench::Clock::now();
    const int done = grab_files();
    last = bench::seconds_since(t0);
    if (done) {
      g_flush.s.push_back(last);
      break;
    }
  }
  if (stg[STG_error] != 0) fail("our install failed");
}
}  // namespace

int main(int argc, char** argv) {
  const int mb = argc > 1 ? std::atoi(argv[1]) : 500;
  const int files = argc > 2 ? std::atoi(argv[2]) : 3000;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
  const fs::path base = argc > 4 ? fs::path(argv[4]) : fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  if (mb <= 0 || files <= 0 || rounds <= 0) fail("usage: bench_install [megabytes] [files] [rounds] [work folder]");
  const std::string src = fs::path(__FILE__).parent_path().parent_path().string();
  const fs::path root = base / ("volarium-bench-install-" + std::to_string(getpid()));
  fs::create_directories(root);
  ZARIRU_set_alert_hook(quiet_alert);

  const std::string master = (root / "master").string() + "/";
  std::printf("writing a %d MB, %d-file product master in %s\n", mb, files, root.c_str());
  std::fflush(stdout);
  run({"python3", src + "/tools/make_product_master.py", master, "--mb", std::to_string(mb), "--files",
       std::to_string(files)});
  const std::string discs = (root / "disc").string() + "/";
  fs::create_directories(discs);
  master_set_roots(master, discs, "/none");
  master_disc_type = 1;
  build_install();
  const std::string disc = discs + kDiscName + "/";
  fs::remove_all(master);

  temp_path = (root / "tmp").string() + "/";
  fs::create_directories(temp_path);
  stg[STG_target_os] = 3;
  stg[STG_rename_folder] = 0;
  dvd_path = discs;
  install_name = kDiscName;
  const std::string dest = (root / "ours").string() + "/Volarium 9/";
  install_ours(disc, dest);  // warms the cache and tells which archives an install unpacks

  // Each installed archive and the folder its file lands in, for the peers.
  std::string py_pairs, xargs_zip, xargs_7z;
  int archives = 0;
  const fs::path peer_py = root / "python", peer_x = root / "xargs";
  for (const file_history_struct& h : sim_info) {
    const file_version_struct& v = h.versions.back();
    if (!v.install) continue;
    const bool seven = v.path.find("Rovade Vovavod") != std::string::npos;
    const std::string archive = disc + v.path + (seven ? ".7z" : ".zip");
    const std::string rel = dest_path_of(v.path).substr(dest.size());
    const std::string folder = rel.substr(0, rel.rfind('/') + 1);
    py_pairs += archive + '\0' + folder + '\0';
    (seven ? xargs_7z : xargs_zip) += archive + '\0' + (peer_x / folder).string() + '\0';
    ++archives;
  }
  write_text((root / "pairs").string(), py_pairs);
  write_text((root / "xzip").string(), xargs_zip);
  write_text((root / "x7z").string(), xargs_7z);
  const std::string py =
      "import os, subprocess, sys, zipfile\n"
      "out = sys.argv[2]\n"
      "parts = open(sys.argv[1], 'rb').read().decode().split('\\0')[:-1]\n"
      "for a, f in zip(parts[0::2], parts[1::2]):\n"
      "    d = os.path.join(out, f)\n"
      "    os.makedirs(d, exist_ok=True)\n"
      "    if a.endswith('.7z'):\n"
      "        subprocess.run(['7za', 'x', '-y', '-bd', '-bso0', '-bsp0', '-o' + d, a], check=True)\n"
      "    else:\n"
      "        with zipfile.ZipFile(a) as z:\n"
      "            z.extractall(d)\n";
  write_text((root / "unpack.py").string(), py);
  const std::string unzip_one = "mkdir -p \"$1\" && exec unzip -oq \"$0\" -d \"$1\"";
  const std::string un7z_one = "mkdir -p \"$1\" && exec 7za x -y -bd -bso0 -bsp0 -o\"$1\" \"$0\"";

  const std::vector<bench::Times> install = bench::interleaved(rounds, {
      [&] { install_ours(disc, dest); },
      [&] {
        fs::remove_all(peer_py);
        run({"python3", (root / "unpack.py").string(), (root / "pairs").string(), peer_py.string()});
        run({"sync", "-f", peer_py.string()});
      },
      [&] {
        fs::remove_all(peer_x);
        run({"xargs", "-0", "-P8", "-n2", "-a", (root / "xzip").string(), "sh", "-c", unzip_one});
        if (!xargs_7z.empty()) run({"xargs", "-0", "-P8", "-n2", "-a", (root / "x7z").string(), "sh", "-c", un7z_one});
      }});
  same_tree(dest, peer_py, "the Python loop");
  same_tree(dest, peer_x, "xargs unzip");

  // The scan of the installed tree, and md5sum over the same files.
  std::string list;
  std::vector<std::string> installed;
  for (const auto& e : fs::recursive_directory_iterator(dest))
    if (e.is_regular_file() && !e.is_symlink()) installed.push_back(e.path().string());
  for (const std::string& f : installed) list += f + '\0';
  write_text((root / "list").string(), list);
  std::string one_out, par_out;
  const std::vector<bench::Times> scan = bench::interleaved(rounds, {
      [&] { read_directory(temp_path + "directory.txt", "Scanning"); },
      [&] { run({"xargs", "-0", "-a", (root / "list").string(), "md5sum", "--"}, &one_out); },
      [&] { run({"xargs", "-0", "-P8", "-n64", "-a", (root / "list").string(), "md5sum", "--"}, &par_out); }});
  std::map<std::string, std::string> ours_sigs;
  for (const file_history_struct& h : sim_info) {
    const file_version_struct& v = h.versions.back();
    if (v.sig_have != kSigNone) ours_sigs[dest_path_of(v.path)] = v.sig_have;
  }
  for (const std::string* out : {&one_out, &par_out}) {
    size_t checked = 0, at = 0;
    for (size_t eol; (eol = out->find('\n', at)) != std::string::npos; at = eol + 1) {
      const std::string line = out->substr(at, eol - at);
      auto it = ours_sigs.find(line.substr(34));
      if (it != ours_sigs.end() && it->second != line.substr(0, 32)) fail("signatures differ: " + line);
      checked += it != ours_sigs.end();
    }
    if (checked != installed.size()) fail("md5sum and the scan saw different files");
  }

  std::printf("%d archives installed, %zu files on disk\n", archives, installed.size());
  bench::print_ratio("install", install[0], "python zipfile loop + sync -f", install[1]);
  g_flush.s.erase(g_flush.s.begin());  // the warm-up install
  std::printf("install: the final flush took min %.3f s, median %.3f s (%.0f%% of the median install)\n",
              g_flush.min(), g_flush.median(), 100.0 * g_flush.median() / install[0].median());
  bench::print_ratio("install (side figure: process starts, no flush)", install[0], "xargs -P8 unzip", install[2]);
  bench::print_ratio("scan", scan[0], "md5sum, one process", scan[1]);
  bench::print_ratio("scan", scan[0], "xargs -P8 md5sum", scan[2]);
  fs::remove_all(root);
  return 0;
}
