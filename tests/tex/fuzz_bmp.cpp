// Fuzz target: arbitrary BMP headers and pixel data (24-bit, uncompressed, so that the fatal
// depth checks stay out of the way) into a fixed buffer.
#include <cstdint>
#include <cstring>
#include <vector>

#include "files/xmap.h"
#include "fuzz_common.h"
#include "tex/tex_codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  fuzzimg::quiet_alerts();
  std::vector<uint8_t> file(data + 1, data + size);
  if (file.size() < 2) file.resize(2);
  file[0] = 'B';
  file[1] = 'M';
  if (file.size() >= 34) {
    file[28] = 24;
    file[29] = 0;
    std::memset(&file[30], 0, 4);
  }
  if (!fuzzimg::write_input(file.data(), file.size())) return 0;
  const unsigned long formats[3] = {GL_RGB, GL_RGBA, GL_ALPHA};
  xmap_class map(fuzzimg::scratch_file());
  std::vector<uint8_t> buf(128 * 128 * 4);
  unsigned char* out = buf.data();
  TEX_image_desc d;
  TEX_load_bmp("fuzz", &map, out, formats[data[0] % 3], (data[0] >> 2) & 7, (data[0] >> 5) & 1, d,
               long(buf.size()));
  return 0;
}
