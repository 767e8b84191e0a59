// File signatures: calc_file_md5 against md5sum over the same tree of files, in the same run.
// Usage: bench_md5 [file count (3000)] [total megabytes (300)]
// Prints both times (best of three, warm cache) and the ratio md5sum / ours: 1 or more means
// we are at least as fast.
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
#include <map>
#include <string>
#include <vector>

#include "files/md5.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

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

// Runs md5sum over every file (through xargs, no shell involved); returns its seconds.
double run_md5sum(const std::string& list, const std::string& result) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, list.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, result.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const char* args[] = {"xargs", "-0", "md5sum", "--", nullptr};
  auto t0 = Clock::now();
  pid_t pid;
  int status = 0;
  if (posix_spawnp(&pid, "xargs", &actions, nullptr, const_cast<char**>(args), environ) != 0) {
    std::fprintf(stderr, "cannot start xargs\n");
    std::exit(1);
  }
  waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  double t = seconds_since(t0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "md5sum failed (status %d)\n", status);
    std::exit(1);
  }
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 3000;
  size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 300;
  if (count == 0 || megabytes == 0) return 1;

  char templ[] = "/tmp/bench_md5_XXXXXX";
  if (!mkdtemp(templ)) return 1;
  const std::string root = std::string(templ) + "/";
  std::printf("making %zu files, %zu MB in %s\n", count, megabytes, root.c_str());
  std::vector<std::string> files = make_tree(root, count, megabytes * 1000000);

  const std::string list = root + "list", result = root + "md5sum.out";
  {
    std::ofstream out(list, std::ios::binary);
    for (const std::string& f : files) out << f << '\0';
  }

  std::map<std::string, std::string> ours;
  double best_ours = 1e9, best_peer = 1e9;
  run_md5sum(list, result);  // warms the cache for both
  for (int round = 0; round < 3; ++round) {
    best_peer = std::min(best_peer, run_md5sum(list, result));
    auto t0 = Clock::now();
    for (const std::string& f : files) {
      std::string sig;
      if (calc_file_md5(f, sig) != 0) {
        std::fprintf(stderr, "calc_file_md5 failed on %s\n", f.c_str());
        return 1;
      }
      ours[f] = sig;
    }
    best_ours = std::min(best_ours, seconds_since(t0));
  }

  // Both must agree on every file.
  std::ifstream in(result);
  std::string line;
  size_t checked = 0;
  while (std::getline(in, line)) {
    if (line.size() < 35) continue;
    auto it = ours.find(line.substr(34));
    if (it == ours.end() || it->second != line.substr(0, 32)) {
      std::fprintf(stderr, "signatures differ: %s\n", line.c_str());
      return 1;
    }
    ++checked;
  }
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  if (checked != files.size()) {
    std::fprintf(stderr, "md5sum listed %zu of %zu files\n", checked, files.size());
    return 1;
  }

  const double mb = static_cast<double>(megabytes);
  std::printf("calc_file_md5: %.3f s (%.0f MB/s)\n", best_ours, mb / best_ours);
  std::printf("md5sum:        %.3f s (%.0f MB/s)\n", best_peer, mb / best_peer);
  std::printf("ratio md5sum/calc_file_md5: %.2f (target >= 1.00)\n", best_peer / best_ours);
  return 0;
}
