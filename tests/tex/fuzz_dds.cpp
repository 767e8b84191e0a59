// Fuzz target: arbitrary DDS headers and block data; an accepted image is copied out and
// flipped level by level, which must stay inside the bytes the header check accepted.
#include <cstdint>
#include <cstring>
#include <vector>

#include "files/xmap.h"
#include "fuzz_common.h"
#include "tex/tex_codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  fuzzimg::quiet_alerts();
  std::vector<uint8_t> file(data, data + size);
  std::memcpy(file.data(), "DDS ", 4);
  if (!fuzzimg::write_input(file.data(), file.size())) return 0;
  xmap_class map(fuzzimg::scratch_file());
  unsigned char* pixels = nullptr;
  TEX_image_desc d;
  if (!TEX_load_dds("fuzz", &map, pixels, d)) return 0;
  long long n = TEX_bytes_needed_for_image_ll(d);
  if (n <= 0 || n > (1 << 26)) return 0;
  std::vector<uint8_t> copy(pixels, pixels + n);
  TEX_flip_y(d, copy.data());
  return 0;
}
