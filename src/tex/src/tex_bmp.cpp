// Uncompressed 24-bit BMP reading into RGB, RGBA (magenta keyed out) or a grey alpha channel.
// The header is checked against the file's length before a pixel is touched.
#include <cstring>

#include "files/xmap.h"
#include "foundation/alert.h"
#include "foundation/globals.h"
#include "ogl/colr.h"
#include "tex/tex_codecs.h"
#include "tex_alloc.h"
#include "tex_internal.h"

namespace {

// Little-endian field at `off` from the start, 0 when it lies beyond the end.
uint32_t field(const unsigned char* b, long len, long off, int size) {
  if (off + size > len) return 0;
  uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | b[off + i];
  return v;
}

}  // namespace

int TEX_load_bmp(const std::string& path, xmap_class* map, unsigned char*& data, unsigned long format,
                 int row_width, int pow2, TEX_image_desc& desc, long capacity) {
  if (!map || !map->begin || !map->cursor) return 0;
  int bpp = format == GL_RGB ? 3 : format == GL_RGBA ? 4 : format == GL_ALPHA ? 1 : 0;
  if (!bpp) {
    __ZARIRU_alert(0, "Illegal desired format for bmp.", path, "", "", 2, "DUdurid/TEX/TEX_bmp", 27);
    bpp = 1;
  }
  map->swap = 0;
  const auto* b = reinterpret_cast<const unsigned char*>(map->cursor);
  const long len = long(map->end - map->cursor);
  // A header cut short is refused as it stands, before its fields are judged.
  if (len < 54) {
    xer_line("WARNING: bitmap refused (header cut short): " + path);
    return 0;
  }
  const uint32_t offset = field(b, len, 10, 4);
  const int32_t width = int32_t(field(b, len, 18, 4));
  const int32_t height = int32_t(field(b, len, 22, 4));
  const uint32_t bits = field(b, len, 28, 2);
  const uint32_t compression = field(b, len, 30, 4);
  if (bits != 24)
    __ZARIRU_alert(0, "Wrong bitmap color depth for texture!", "We need 24-bit color.", "", path, 2,
                   "DUdurid/TEX/TEX_bmp", 48);
  if (compression != 0)
    __ZARIRU_alert(0, "Bitmap is compressed!", "", "", path, 2, "DUdurid/TEX/TEX_bmp", 49);
  if (bits != 24 || compression != 0) return 0;

  // Sizes are checked before decoding: a bad header refuses the file, it never reads past it.
  const long long src_stride = ((3LL * width + 3) / 4) * 4;
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384 ||
      (long long)offset + src_stride * height > len) {
    xer_line("WARNING: bitmap refused (bad size or data past the end of the file): " + path);
    return 0;
  }
  long pw = width, ph = height;
  if (pow2) {
    pw = tex_next_pow2(width);
    ph = tex_next_pow2(height);
  } else if (row_width > width) {
    pw = row_width;
  }
  const long stride = long(bpp) * pw;
  const long long need = (long long)stride * ph;
  if ((data && need > capacity) || (!data && need > (1LL << 30))) {
    xer_line("WARNING: bitmap refused (larger than the image buffer): " + path);
    return 0;
  }
  desc.format = unsigned(format);
  desc.width = width;
  desc.height = height;
  desc.has_mips = 0;
  desc.pad = int((pw - width) * bpp);
  if (!data) {
    data = static_cast<unsigned char*>(tex_alloc(size_t(need)));
    if (!data) return 0;
  }
  if (pow2 && (pw != width || ph != height)) std::memset(data, 0, size_t(need));

  const bool gamma = colr.gamma_differs != 0;
  for (int r = 0; r < height; ++r) {
    const unsigned char* s = b + offset + r * src_stride;
    unsigned char* d = data + r * stride;
    for (int c = 0; c < width; ++c, s += 3) {
      const unsigned char bl = s[0], gr = s[1], rd = s[2];
      if (bpp == 1) {
        *d++ = static_cast<unsigned char>((bl + gr + rd) / 3);
        continue;
      }
      if (bpp == 4 && bl == 255 && gr == 0 && rd == 255) {
        d[0] = d[1] = d[2] = d[3] = 0;
        d += 4;
        continue;
      }
      d[0] = gamma ? colr.gamma_table[rd] : rd;
      d[1] = gamma ? colr.gamma_table[gr] : gr;
      d[2] = gamma ? colr.gamma_table[bl] : bl;
      if (bpp == 4) d[3] = 255;
      d += bpp;
    }
  }
  return 1;
}
