// Fuzz target: arbitrary file bytes through the file dialog's preview readers (the comment of a
// ".fdr" file, the top of an aircraft file and its four texts) and arbitrary bytes through the
// UTF-8 to Latin-1 conversion of names.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "widgets/latin1.h"
#include "widgets/opensave.h"

namespace {
const std::string& scratch_file() {
  static const std::string path = "/tmp/fuzz_opensave_preview_" + std::to_string(getpid());
  static const bool cleanup = std::atexit([] { std::remove(path.c_str()); }) == 0;
  (void)cleanup;
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string latin1 = BTN_utf8_to_latin1(bytes);
  if (latin1.size() > bytes.size()) __builtin_trap();
  if (BTN_utf8_to_latin1(BTN_latin1_to_utf8(latin1)) != latin1) __builtin_trap();

  FILE* f = std::fopen(scratch_file().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  const std::string comment = BTN_read_fdr_comment(scratch_file());
  if (comment.size() > size) __builtin_trap();
  static unsigned char top[BTN_aircraft_top];
  BTN_read_aircraft_top(scratch_file(), top);
  size_t total = 0;
  for (const std::string& t : BTN_aircraft_texts(top)) total += t.size();
  if (total > BTN_aircraft_top) __builtin_trap();
  return 0;
}
