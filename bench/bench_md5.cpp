// File signatures at product scale: the scan (every listed file signed on the reader threads the
// destination's storage gets) against `md5sum` in one process and `xargs -P8 md5sum`, and one
// thread's calc_file_md5 loop against md5sum in one process, over the same tree in the same run.
// Usage: bench_md5 [file count (2000)] [total megabytes (1000)] [rounds (5)] [work folder]
// The work folder defaults to /dev/shm (a memory file system) when there is one.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "engine/install.h"
#include "files/md5.h"
#include "foundation/globals.h"
#include "platform/spawn.h"

namespace {

uint64_t g_state = 0x9E3779B97F4A7C15ull;
uint64_t next_random() {
  g_state ^= g_state << 13;
  g_state ^= g_state >> 7;
  g_state ^= g_state << 17;
  return g_state;
}

// Mostly small files with a few large ones, as a product tree has.
std::vector<size_t> file_sizes(size_t count, size_t total) {
  std::vector<size_t> sizes(count);
  size_t big = std::max<size_t>(1, count / 50);
  size_t small_total = total / 4;
  for (size_t i = 0; i < count; ++i) sizes[i] = 1 + next_random() % (2 * small_total / count);
  size_t used = 0;
  for (size_t i = big; i < count; ++i) used += sizes[i];
  size_t left = total > used ? total - used : big;
  for (size_t i = 0; i < big; ++i) sizes[i] = left / big + (next_random() % 4096);
  return sizes;
}

std::vector<std::string> make_tree(const std::string& root, size_t count, size_t total) {
  std::vector<std::string> files;
  std::vector<char> block(1 << 20);
  std::vector<size_t> sizes = file_sizes(count, total);
  for (size_t i = 0; i < count; ++i) {
    std::string dir = root + "d" + std::to_string(i % 40) + "/";
    std::filesystem::create_directories(dir);
    std::string f = dir + "file_" + std::to_string(i) + ".bin";
    std::ofstream out(f, std::ios::binary);
    size_t left = sizes[i];
    while (left) {
      size_t n = std::min(left, block.size());
      for (size_t j = 0; j + 8 <= n; j += 8) {
        uint64_t r = next_random();
        std::memcpy(&block[j], &r, 8);
      }
      out.write(block.data(), static_cast<std::streamsize>(n));
      left -= n;
    }
    files.push_back(f);
  }
  return files;
}

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "bench_md5: %s\n", why.c_str());
  std::exit(1);
}

// path -> signature, from md5sum's lines.
std::map<std::string, std::string> md5sum_of(const std::vector<std::string>& argv) {
  int code = 0;
  std::string out;
  if (PLAT_run(argv, &code, &out) != 0 || code != 0) fail("md5sum failed");
  std::map<std::string, std::string> sigs;
  size_t at = 0;
  for (size_t eol; (eol = out.find('\n', at)) != std::string::npos; at = eol + 1)
    if (eol - at > 34) sigs[out.substr(at + 34, eol - at - 34)] = out.substr(at, 32);
  return sigs;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 2000;
  const size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1000;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  const std::filesystem::path base = argc > 4 ? std::filesystem::path(argv[4])
                                     : std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                                                : std::filesystem::temp_directory_path();
  if (count == 0 || megabytes == 0 || rounds <= 0) fail("usage: bench_md5 [files] [megabytes] [rounds] [work folder]");

  const std::string root = (base / ("volarium-bench-md5-" + std::to_string(getpid()))).string() + "/";
  std::printf("making %zu files, %zu MB in %s\n", count, megabytes, root.c_str());
  std::fflush(stdout);
  const std::string dest = root + "dest/";
  std::vector<std::string> files = make_tree(dest, count, megabytes * 1000000);

  // The file list the scan reads, and the argument file md5sum reads.
  std::string rows = "I\n900 version\nINSTALLER\n\nDIR All/\n", args;
  for (const std::string& f : files) {
    rows += "FILE 1 0 90025 1 1 " + std::string(32, '0') + " " + f.substr(dest.size()) + "\n";
    args += f + '\0';
  }
  const std::string list = root + "directory.txt", arg_file = root + "args";
  std::ofstream(list, std::ios::binary) << rows;
  std::ofstream(arg_file, std::ios::binary) << args;
  dest_dir_path = dest;

  std::map<std::string, std::string> one, par, loop;
  const std::vector<bench::Times> t = bench::interleaved(rounds, {
      [&] { read_directory(list, "Scanning"); },
      [&] { one = md5sum_of({"xargs", "-0", "-a", arg_file, "md5sum", "--"}); },
      [&] { par = md5sum_of({"xargs", "-0", "-P8", "-n16", "-a", arg_file, "md5sum", "--"}); },
      [&] {
        for (const std::string& f : files)
          if (calc_file_md5(f, loop[f]) != 0) fail("calc_file_md5 failed on " + f);
      }});

  // Everyone must agree on every file.
  if (one.size() != files.size() || par != one || loop != one) fail("md5sum and ours saw different files");
  for (const file_history_struct& h : sim_info) {
    const file_version_struct& v = h.versions.back();
    if (one[dest_path_of(v.path)] != v.sig_have) fail("signatures differ on " + v.path);
  }
  std::error_code ec;
  std::filesystem::remove_all(root, ec);

  std::printf("%zu files, %zu MB\n", count, megabytes);
  bench::print_ratio("scan", t[0], "md5sum, one process", t[1]);
  bench::print_ratio("scan", t[0], "xargs -P8 md5sum", t[2]);
  bench::print_ratio("calc_file_md5, one thread", t[3], "md5sum, one process", t[1]);
  return 0;
}
