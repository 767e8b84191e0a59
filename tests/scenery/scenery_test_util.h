// Shared set-up of the scenery tests: a real product folder in a temporary folder, entered as
// the current folder, with the log and the alerts captured and a known random table.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "alert_sink.h"
#include "file_bytes.h"
#include "files/io_utils.h"
#include "foundation/globals.h"
#include "foundation/shell_state.h"
#include "log_capture.h"
#include "scenery/io_locate.h"
#include "scratch_dir.h"

class ProductFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = scratch_.path().string() + "/";
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    saved_cwd_ = cwd;
    ASSERT_EQ(chdir(root_.c_str()), 0);
    saved_app_path_ = app_path;
    app_path.clear();
    saved_case_ = g_case_sensitive;
    g_case_sensitive = 1;
    std::copy(std::begin(randrat), std::end(randrat), saved_randrat_.begin());
    // Index i holds i / 10000, so seed s picks the fraction s / 10000.
    for (int i = 0; i < 10000; ++i) randrat[i] = static_cast<float>(i) / 10000.0f;
    log_ = std::make_unique<LogCapture>();
    alerts_ = std::make_unique<AlertSink>();
  }
  void TearDown() override {
    alerts_.reset();
    log_.reset();
    DSF_ClearLibrary();
    scenery_packages.clear();
    package_problems.clear();
    package_is_custom.clear();
    std::copy(saved_randrat_.begin(), saved_randrat_.end(), std::begin(randrat));
    g_case_sensitive = saved_case_;
    app_path = saved_app_path_;
    EXPECT_EQ(chdir(saved_cwd_.c_str()), 0);
  }

  static void mkdirs(const std::string& rel) { std::filesystem::create_directories(rel); }
  static void write(const std::string& rel, const std::string& bytes = "x") {
    std::filesystem::path p(rel);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    test_support::write_bytes(rel, bytes);
  }
  // A library file with CRLF line ends: the header, then each line of the body.
  static void library(const std::string& package, const std::vector<std::string>& lines,
                      const std::string& name = "library.txt", int version = 800) {
    std::string text = "A\r\n" + std::to_string(version) + " version\r\nLIBRARY\r\n\r\n";
    for (const std::string& l : lines) text += l + "\r\n";
    write(package + name, text);
  }

  std::string log() { return log_->text(); }
  void restart_log() {
    log_.reset();  // the old capture closes the log as it goes
    log_ = std::make_unique<LogCapture>();
  }
  size_t log_count(const std::string& needle) { return LogCapture::count(log(), needle); }

  // Virtual path's chain as (package, flags, real path) rows.
 public:
  struct row {
    int package;
    uint32_t flags;
    std::string real;
    bool operator==(const row&) const = default;
  };
  static std::vector<row> chain(const std::string& virtual_path) {
    std::vector<row> rows;
    auto it = dsf_library.find(virtual_path);
    if (it == dsf_library.end()) return rows;
    for (const lib_entry* e = it->second; e; e = e->next)
      rows.push_back({e->package, e->flags, e->real_path});
    return rows;
  }

 protected:
  test_support::Scratch scratch_{"scenery_test"};
  std::string root_;
  std::string saved_cwd_;
  std::string saved_app_path_;
  int saved_case_ = 1;
  std::array<float, 10000> saved_randrat_{};
  std::unique_ptr<LogCapture> log_;
  std::unique_ptr<AlertSink> alerts_;
};

inline void PrintTo(const ProductFolder::row& r, std::ostream* os) {
  *os << "{" << r.package << ", 0x" << std::hex << r.flags << std::dec << ", \"" << r.real << "\"}";
}
