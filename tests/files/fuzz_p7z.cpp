// Fuzz target: arbitrary bytes as a 7z archive through p7z_to_file into a scratch folder.
// Nothing may be written outside that folder.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "files/p7z.h"

namespace {
namespace fs = std::filesystem;

const std::string& scratch() {
  static const std::string dir = [] {
    char templ[] = "/tmp/fuzz_p7z_XXXXXX";
    if (!mkdtemp(templ)) __builtin_trap();
    return std::string(templ) + "/";
  }();
  static const bool cleanup = std::atexit([] {
    std::error_code ec;
    fs::remove_all(scratch(), ec);
  }) == 0;
  (void)cleanup;
  return dir;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& dir = scratch();
  std::error_code ec;
  fs::remove_all(dir + "out", ec);
  fs::create_directories(dir + "out/box");
  FILE* f = std::fopen((dir + "in.7z").c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  std::string first;
  p7z_to_file(dir + "in.7z", dir + "out/box/", &first, 0);
  // Only the archive and the output folder may exist beside each other.
  for (auto& e : fs::directory_iterator(dir)) {
    std::string n = e.path().filename();
    if (n != "in.7z" && n != "out") __builtin_trap();
  }
  for (auto& e : fs::directory_iterator(dir + "out")) {
    if (e.path().filename() != "box") __builtin_trap();
  }
  return 0;
}
