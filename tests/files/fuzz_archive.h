// The shared body of the archive fuzz targets: arbitrary bytes written as an archive in a
// scratch folder and unpacked into a folder inside it. Nothing may be written outside that folder,
// and every link left in it must lead inside it.
#pragma once
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "files/inside.h"

namespace fuzz_archive {
namespace fs = std::filesystem;

inline const std::string& scratch() {
  static const std::string dir = [] {
    char templ[] = "/tmp/fuzz_archive_XXXXXX";
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

// Every link under box, followed by the system where it can be and as the unpacker resolves it
// where it cannot (yet), stays inside box.
inline void check_links(const std::string& box) {
  char* real_box = ::realpath(box.c_str(), nullptr);
  if (!real_box) __builtin_trap();
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(box, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (!it->is_symlink(ec)) continue;
    const std::string link = it->path().string();
    if (!link_resolves_inside(real_box, link)) __builtin_trap();
    if (char* real = ::realpath(link.c_str(), nullptr)) {
      bool inside = path_inside(real_box, real);
      ::free(real);
      if (!inside) __builtin_trap();
    }
  }
  if (ec) __builtin_trap();
  ::free(real_box);
}

// unpack(archive, destination folder) is the unpacker under test; in_name the archive's name.
template <typename Unpack>
int run(const uint8_t* data, size_t size, const std::string& in_name, Unpack unpack) {
  const std::string& dir = scratch();
  std::error_code ec;
  fs::remove_all(dir + "out", ec);
  fs::create_directories(dir + "out/box");
  FILE* f = std::fopen((dir + in_name).c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  unpack(dir + in_name, dir + "out/box/");
  // Only the archive and the output folder may exist beside each other.
  for (auto& e : fs::directory_iterator(dir)) {
    std::string n = e.path().filename();
    if (n != in_name && n != "out") __builtin_trap();
  }
  for (auto& e : fs::directory_iterator(dir + "out")) {
    if (e.path().filename() != "box") __builtin_trap();
  }
  check_links(dir + "out/box");
  return 0;
}

}  // namespace fuzz_archive
