// Shared by the image fuzz targets: the input goes through a file (the readers take a mapped
// file), and non-fatal alerts are swallowed.
#pragma once
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/alert.h"

namespace fuzzimg {

inline const std::string& scratch_file() {
  static const std::string path = "/tmp/fuzz_tex_" + std::to_string(getpid());
  static const bool cleanup = std::atexit([] { std::remove(path.c_str()); }) == 0;
  (void)cleanup;
  return path;
}

inline bool write_input(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(scratch_file().c_str(), "wb");
  if (!f) return false;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  return true;
}

inline void quiet_alerts() {
  static const bool set = (ZARIRU_set_alert_hook([](int, std::string, std::string, std::string,
                                                    std::string, int, const char*, int) {}),
                           true);
  (void)set;
}

}  // namespace fuzzimg
