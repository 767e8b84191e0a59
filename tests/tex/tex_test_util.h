// Shared helpers of the texture tests: scratch folders, files, and the peer decoder.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scratch_dir.h"
#include "tex/tman.h"

namespace textest {

// Empties the texture manager, whatever earlier tests of this process loaded, as start-up finds it.
inline void empty_texture_manager() {
  for (int i = 0; i < int(tman.ref_dat.size()); ++i) {
    if (i < t_first_dynamic && tman.ref_dat[size_t(i)].format) tman.unload_texture(i);
    while (i >= t_first_dynamic && tman.ref_dat[size_t(i)].ref_count > 0) tman.release_texture(i);
  }
  tman.purge_unused_texes();
  tman.ref_dat.clear();
  tman.async_cursor = 0;
}

inline test_support::Scratch temp_dir(const std::string& tag) { return test_support::Scratch("tex_tests_" + tag); }

inline void write_file(const std::filesystem::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream f(p, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<uint8_t> read_file(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// The Python that has Pillow (the system one on Debian).
inline std::string python() {
  return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

inline std::string source_dir() {
  const char* s = std::getenv("VOL_SOURCE_DIR");
  return s ? s : ".";
}

inline int run(const std::string& cmd) { return std::system(cmd.c_str()); }

}  // namespace textest
