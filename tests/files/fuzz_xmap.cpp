// Fuzz target: arbitrary file bytes through the header check and every scanning step of the
// mapped-file reader; the cursor must stay inside the file and always make progress.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/xmap.h"

namespace {
const std::string& scratch_file() {
  static const std::string path = "/tmp/fuzz_xmap_" + std::to_string(getpid());
  static const bool cleanup = std::atexit([] { std::remove(path.c_str()); }) == 0;
  (void)cleanup;
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  FILE* f = std::fopen(scratch_file().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data + 1, 1, size - 1, f);
  std::fclose(f);

  xmap_class m(scratch_file());
  if (!m.begin) __builtin_trap();
  static const int versions[] = {900, 9002, 7, 0};
  static const char* const keywords[] = {nullptr, "", "INSTALLER", "I"};
  std::string rest;
  if (mode & 1) {
    m.check_file(TFH_BINARY, versions, nullptr, nullptr);
    while (m.cursor < m.end) {
      long n = static_cast<long>((m.end - m.cursor) < 7 ? (m.end - m.cursor) : 7);
      char out[8];
      m.read_n_rev(out, n);
    }
  } else {
    m.check_file(TFH_TEXT, versions, keywords[(mode >> 1) & 3], &rest);
    while (m.cursor < m.end) {
      const char* before = m.cursor;
      std::string token;
      switch ((mode >> 3) & 3) {
        case 0: m.TXT_str_scan_space(&token); m.TXT_str_scan_eoln(&token); break;
        case 1: (void)m.TXT_int_scan(); m.TXT_skip_eoln(); break;
        case 2: m.TXT_str_scan_space(nullptr); m.TXT_skip_eoln(); break;
        default: m.TXT_skip_space(); m.TXT_str_scan_eoln(nullptr); break;
      }
      if (m.cursor > m.end || m.cursor < m.begin) __builtin_trap();
      if (m.cursor == before && m.cursor < m.end) m.TXT_skip_eoln();
      if (m.cursor == before && m.cursor < m.end) ++m.cursor;  // a blank-free token: move on
    }
  }
  if (m.cursor != m.end && m.begin != m.end) __builtin_trap();
  return 0;
}
