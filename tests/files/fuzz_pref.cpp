// Fuzz target: arbitrary bytes as a preference file, read into the tag map and then through
// every integer and string tag of the installer's file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/pref.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/fuzz_pref_" + std::to_string(getpid());
  static const bool cleanup = std::atexit([] { std::remove(path.c_str()); }) == 0;
  (void)cleanup;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  scan_class scan(path, 0);
  for (const auto& [tag, value] : scan.values) {
    if (tag.find_first_of(std::string(" \t\r\n\0", 5)) != std::string::npos) __builtin_trap();
    if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) __builtin_trap();
    int n = 0;
    if (scan.int_io(&n, tag) != 1) __builtin_trap();
    std::string s;
    if (scan.str_io(&s, tag) != 1 || s != value) __builtin_trap();
  }
  return 0;
}
