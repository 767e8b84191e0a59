// Fuzz target: arbitrary bytes after a PNG signature through the PNG decoder, in every format,
// into a fixed buffer and into one of its own; nothing may be written past either.
#include <cstdint>
#include <cstring>
#include <vector>

#include "files/xmap.h"
#include "foundation/nedmalloc.h"
#include "fuzz_common.h"
#include "tex_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  fuzzimg::quiet_alerts();
  static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> file(sig, sig + 8);
  file.insert(file.end(), data + 1, data + size);
  if (!fuzzimg::write_input(file.data(), file.size())) return 0;
  const unsigned long formats[3] = {GL_RGB, GL_RGBA, GL_ALPHA};
  const unsigned long fmt = formats[data[0] % 3];
  const int pow2 = (data[0] >> 2) & 1, keep = (data[0] >> 3) & 1;
  xmap_class map(fuzzimg::scratch_file());
  TEX_image_desc d;
  if (data[0] & 0x10) {
    std::vector<uint8_t> buf(64 * 64 * 4);
    unsigned char* out = buf.data();
    tex_png_try("fuzz", &map, out, fmt, 0, pow2, keep, d, long(buf.size()));
  } else {
    unsigned char* out = nullptr;
    if (tex_png_try("fuzz", &map, out, fmt, 0, pow2, keep, d, 1 << 24) == tex_png_ok) nedfree(out);
  }
  return 0;
}
