// Points the log stream at a scratch file for one test and reads back what was written.
#pragma once
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/globals.h"

class LogCapture {
 public:
  LogCapture() {
    path_ = testing::TempDir() + "log_capture_" + std::to_string(getpid()) + ".txt";
    if (xer.is_open()) xer.close();
    xer.clear();
    xer.open(path_, std::ios::out | std::ios::trunc);
  }
  ~LogCapture() {
    xer.close();
    xer.clear();
    std::remove(path_.c_str());
  }
  std::string text() {
    xer.flush();
    std::ifstream in(path_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static size_t count(const std::string& hay, const std::string& needle) {
    size_t n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
    return n;
  }

 private:
  std::string path_;
};
