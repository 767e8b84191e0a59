// Fuzz target: arbitrary bytes as a file list, through the header check and the row parser.
// Every history it keeps must hold a safe path naming a file, with clamped fields.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/file_list.h"
#include "files/xmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // In $TMPDIR, which the smoke run points into a scratch folder it removes.
  static const std::string path = (std::filesystem::temp_directory_path() / ("fuzz_file_list_" + std::to_string(getpid()) + ".txt")).string();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  xmap_class xm(path);
  static const int versions[] = {840, 900, 0};
  if (!xm.begin || !xm.check_file(TFH_TEXT, versions, "INSTALLER", nullptr)) return 0;
  std::vector<file_history_struct> out;
  std::string bad;
  int got = parse_file_list(xm, out, &bad, "fuzz");
  if (got == 1 && !path_has_no_file(bad)) __builtin_trap();
  if (got == 2 && listed_path_is_safe(bad)) __builtin_trap();
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i].versions.empty()) __builtin_trap();
    if (i > 0 && out[i].versions.front().path == out[i - 1].versions.back().path) __builtin_trap();
    for (const file_version_struct& v : out[i].versions) {
      if (v.path != out[i].versions.front().path) __builtin_trap();
      if (!listed_path_is_safe(v.path) || path_has_no_file(v.path)) __builtin_trap();
      if (v.disc_type < 0 || v.disc_type > 4 || v.platform < 0 || v.platform > 6) __builtin_trap();
    }
  }
  return 0;
}
