// Helpers of the archive tests: a scratch folder with the log opened into it, running the
// peer tools, and writing hand-made zip archives entry by entry.
#pragma once
#include <gtest/gtest.h>
#include <minizip/zip.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "file_bytes.h"
#include "foundation/globals.h"

namespace ziptest {

inline std::string slurp(const std::string& p) { return test_support::read_bytes(p); }
inline void spill(const std::string& p, const std::string& bytes) { test_support::write_bytes(p, bytes); }

// Text-like bytes that compress about as well as real product files.
inline std::string sample_bytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  static const char* words[] = {"runway ", "taxiway ", "0.125 ", "-12.5 ", "\n", "OBJECT ",
                                "beacon ", "VERTEX ", "tex/", "apron "};
  std::string s;
  s.reserve(n + 16);
  while (s.size() < n) {
    if (rng() % 7 == 0) s.push_back(static_cast<char>(rng()));
    else s += words[rng() % 10];
  }
  s.resize(n);
  return s;
}

// Runs a command line through the shell (test-only), returning its exit status.
inline int sh(const std::string& cmd) {
  int st = std::system((cmd + " >/dev/null 2>&1").c_str());
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

inline bool is_link(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}
inline bool exists(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0;
}
inline std::string link_text(const std::string& p) {
  char buf[4096];
  ssize_t n = ::readlink(p.c_str(), buf, sizeof buf);
  return n < 0 ? std::string() : std::string(buf, static_cast<size_t>(n));
}
inline mode_t mode_of(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}
inline time_t mtime_of(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0 ? st.st_mtime : 0;
}
// Names in a folder (not recursive), for spotting temporary files left behind.
inline std::vector<std::string> names_in(const std::string& dir) {
  std::vector<std::string> out;
  for (auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename());
  std::sort(out.begin(), out.end());
  return out;
}

struct entry_spec {
  std::string name;
  std::string data;
  uLong external_fa = 0;
  int method = Z_DEFLATED;
};

// Writes a zip archive holding exactly the given entries (names unchecked, as an attacker may).
inline void make_zip(const std::string& path, const std::vector<entry_spec>& entries) {
  zipFile z = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(z, nullptr);
  for (const auto& e : entries) {
    zip_fileinfo zi = {};
    zi.tmz_date = {10, 20, 12, 15, 5, 2021};
    zi.external_fa = e.external_fa;
    ASSERT_EQ(zipOpenNewFileInZip4_64(z, e.name.c_str(), &zi, nullptr, 0, nullptr, 0, nullptr,
                                      e.method, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                      Z_DEFAULT_STRATEGY, nullptr, 0, (3 << 8) | 30, 0, 0),
              ZIP_OK);
    if (!e.data.empty()) {
      ASSERT_EQ(zipWriteInFileInZip(z, e.data.data(), static_cast<unsigned>(e.data.size())), ZIP_OK);
    }
    ASSERT_EQ(zipCloseFileInZip(z), ZIP_OK);
  }
  ASSERT_EQ(zipClose(z, nullptr), ZIP_OK);
}

// A scratch folder per test (real path, ends in "/"), with the log written into it.
class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/archive_test_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    char* real = ::realpath(templ, nullptr);
    ASSERT_NE(real, nullptr);
    root_ = std::string(real) + "/";
    ::free(real);
    saved_app_path_ = app_path;
    app_path.clear();
    if (xer.is_open()) xer.close();
    xer.clear();
    xer.open(root_ + "log.txt");
  }
  void TearDown() override {
    xer.close();
    xer.clear();
    app_path = saved_app_path_;
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  std::string path(const std::string& rel) const { return root_ + rel; }
  std::string log() {
    xer.flush();
    return slurp(root_ + "log.txt");
  }
  void mkdirs(const std::string& rel) { std::filesystem::create_directories(path(rel)); }

  std::string root_;
  std::string saved_app_path_;
};

// Runs fn in a child, after limit(), and hands back what fn returned (INT32_MIN when the child
// died); *usage, when given, gets the child's resource use.
template <class Limit, class Fn>
int in_child(Limit limit, Fn fn, struct rusage* usage = nullptr) {
  int fds[2];
  if (::pipe(fds) != 0) return INT32_MIN;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    limit();
    int r = fn();
    ssize_t w = ::write(fds[1], &r, sizeof r);
    ::_exit(w == sizeof r ? 0 : 1);
  }
  ::close(fds[1]);
  int r = INT32_MIN;
  if (::read(fds[0], &r, sizeof r) != sizeof r) r = INT32_MIN;
  ::close(fds[0]);
  int st = 0;
  struct rusage ru = {};
  ::wait4(pid, &st, 0, &ru);
  if (usage) *usage = ru;
  return r;
}

// Runs fn in a child whose files may not grow past limit bytes (SIGXFSZ ignored, so writes fail
// with EFBIG as on a full disk); returns what fn returned (INT32_MIN when the child died).
template <class Fn>
int with_file_size_limit(rlim_t limit, Fn fn) {
  return in_child(
      [limit] {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl = {limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &rl);
      },
      fn);
}

}  // namespace ziptest
