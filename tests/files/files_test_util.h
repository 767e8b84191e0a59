// Shared helpers of the files tests: a scratch folder per test and small file writers.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "file_bytes.h"
#include "foundation/globals.h"

class ScratchDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/files_test_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    root_ = std::string(templ) + "/";
    saved_app_path_ = app_path;
    app_path.clear();
  }
  void TearDown() override {
    app_path = saved_app_path_;
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  std::string path(const std::string& rel) const { return root_ + rel; }

  static void write(const std::string& p, const std::string& bytes) {
    test_support::write_bytes(p, bytes);
  }
  static std::string read(const std::string& p) { return test_support::read_bytes(p); }
  static void mkdirs(const std::string& p) { std::filesystem::create_directories(p); }

  std::string root_;
  std::string saved_app_path_;
};
