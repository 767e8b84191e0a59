// Points the log stream at a scratch file for one test and reads back what was written.
#pragma once
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/globals.h"
#include "scratch_dir.h"

class LogCapture {
 public:
  LogCapture() {
    if (xer.is_open()) xer.close();
    xer.clear();
    xer.open(path_, std::ios::out | std::ios::trunc);
  }
  ~LogCapture() {
    xer.close();
    xer.clear();
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
  test_support::Scratch dir_{"log_capture"};
  std::string path_ = (dir_ / "log.txt").string();
};
