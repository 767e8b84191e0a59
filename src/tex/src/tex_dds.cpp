// DDS files (DXT1, DXT3, DXT5, 24-bit BGR and 32-bit BGRA), DXT compression through libsquish,
// and the block flippers that turn DXT images upside down without decoding them.
#include <squish.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "files/xmap.h"
#include "foundation/alert.h"
#include "foundation/globals.h"
#include "ogl/colr.h"
#include "platform/regular_file.h"
#include "tex/tex_codecs.h"

namespace {

uint32_t le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void put32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// libsquish kind of a DXT format; both DXT1 forms stay DXT1 (8-byte blocks).
int squish_kind(unsigned int format) {
  if (format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT || format == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT)
    return squish::kDxt1;
  if (format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT) return squish::kDxt3;
  return squish::kDxt5;
}

}  // namespace

int TEX_load_dds(const std::string&, xmap_class* map, unsigned char*& data, TEX_image_desc& desc) {
  if (!map || !map->begin) return 0;
  const auto* b = reinterpret_cast<const unsigned char*>(map->begin);
  const long len = long(map->end - map->begin);
  if (len < 4 || std::memcmp(b, "DDS ", 4) != 0) return 0;
  if (len < 128) return 0;  // header cut short
  unsigned int format = 0;
  const uint32_t pf_flags = le32(b + 80);
  if (pf_flags & 0x4) {
    if (std::memcmp(b + 84, "DXT1", 4) == 0) format = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
    else if (std::memcmp(b + 84, "DXT3", 4) == 0) format = GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
    else if (std::memcmp(b + 84, "DXT5", 4) == 0) format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
    else return 0;
  }
  if (pf_flags & 0x40) {
    format = (pf_flags & 0x1) ? GL_BGRA : GL_BGR;
    // Only the two byte layouts the loader knows: B, G, R (, A) at 24 or 32 bits.
    const uint32_t bits = le32(b + 88), rmask = le32(b + 92), gmask = le32(b + 96),
                   bmask = le32(b + 100);
    if (bits != (format == GL_BGRA ? 32u : 24u)) return 0;
    if ((rmask || gmask || bmask) && (rmask != 0xFF0000u || gmask != 0xFF00u || bmask != 0xFFu))
      return 0;
  }
  if (format == 0) return 0;
  TEX_image_desc d;
  d.format = format;
  d.width = int32_t(le32(b + 16));
  d.height = int32_t(le32(b + 12));
  d.pad = 0;
  d.has_mips = ((le32(b + 8) & 0x20000) && (le32(b + 108) & 0x400000)) ? 1 : 0;
  // The data (with its chain) must lie inside the file.
  if (d.width < 1 || d.height < 1 || d.width > 16384 || d.height > 16384) return 0;
  long long need = TEX_bytes_needed_for_image_ll(d);
  if (need <= 0 || need > len - 128) return 0;
  desc = d;
  data = const_cast<unsigned char*>(b + 128);
  return 1;
}

int TEX_save_dds(const std::string& path, const unsigned char* pixels, const TEX_image_desc& desc) {
  if (desc.format != GL_RGBA && desc.format != GL_RGB) {
    __ZARIRU_alert(0,
                   "rel_assert Error! Possibly an out of range vector! Attach the debugger and see "
                   "who called this!",
                   "in_desc.format == GL_RGBA || in_desc.format == GL_RGB", "TEX_save_dds",
                   "Please report this to Tarrowind.", 2, "DUdurid/TEX/TEX_dds", 223);
    return 0;
  }
  if (desc.width < 1 || desc.height < 1) return 0;
  FILE* f = PLAT_fopen_regular(app_path + path, "wb");
  if (!f) return 0;
  const int kind = desc.format == GL_RGBA ? squish::kDxt5 : squish::kDxt1;
  const int bpp = desc.format == GL_RGBA ? 4 : 3;
  int w = desc.width, h = desc.height;
  std::vector<unsigned char> work(size_t(w) * h * 4);
  const long stride = long(bpp) * w + desc.pad;
  for (int r = 0; r < h; ++r) {
    const unsigned char* s = pixels + long(r) * stride;
    unsigned char* d = &work[size_t(h - 1 - r) * w * 4];
    for (int c = 0; c < w; ++c) {
      d[4 * c] = s[bpp * c];
      d[4 * c + 1] = s[bpp * c + 1];
      d[4 * c + 2] = s[bpp * c + 2];
      d[4 * c + 3] = bpp == 4 ? s[4 * c + 3] : 255;
    }
  }
  int levels = 1;
  for (int lw = w, lh = h; lw > 1 || lh > 1; ++levels) {
    if (lw > 1) lw /= 2;
    if (lh > 1) lh /= 2;
  }
  unsigned char hdr[128] = {};
  std::memcpy(hdr, "DDS ", 4);
  put32(hdr + 4, 124);
  put32(hdr + 8, 0xA1007);
  put32(hdr + 12, uint32_t(h));
  put32(hdr + 16, uint32_t(w));
  put32(hdr + 20, uint32_t(squish::GetStorageRequirements(w, h, kind)));
  put32(hdr + 28, uint32_t(levels));
  put32(hdr + 76, 32);
  put32(hdr + 80, 0x4);
  std::memcpy(hdr + 84, kind == squish::kDxt5 ? "DXT5" : "DXT1", 4);
  put32(hdr + 108, 0x401008);
  bool ok = std::fwrite(hdr, 1, 128, f) == 128;
  std::vector<unsigned char> blocks;
  for (;;) {
    int bytes = squish::GetStorageRequirements(w, h, kind);
    blocks.assign(size_t(bytes), 0);
    squish::CompressImage(work.data(), w, h, blocks.data(), kind | squish::kColourIterativeClusterFit);
    ok = ok && std::fwrite(blocks.data(), 1, size_t(bytes), f) == size_t(bytes);
    if (w == 1 && h == 1) break;
    // Next level in place: 2 x 2 means, or pairs along a side that is already 1.
    int nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
    for (int y = 0; y < nh; ++y)
      for (int x = 0; x < nw; ++x)
        for (int ch = 0; ch < 4; ++ch) {
          int sx = w > 1 ? 2 * x : x, sy = h > 1 ? 2 * y : y;
          unsigned sum = work[(size_t(sy) * w + sx) * 4 + ch];
          int n = 1;
          if (w > 1) { sum += work[(size_t(sy) * w + sx + 1) * 4 + ch]; ++n; }
          if (h > 1) { sum += work[(size_t(sy + 1) * w + sx) * 4 + ch]; ++n; }
          if (w > 1 && h > 1) { sum += work[(size_t(sy + 1) * w + sx + 1) * 4 + ch]; ++n; }
          work[(size_t(y) * nw + x) * 4 + ch] = static_cast<unsigned char>(sum >> (n == 4 ? 2 : 1));
        }
    w = nw;
    h = nh;
  }
  if (std::fclose(f) != 0) ok = false;
  return ok ? 1 : 0;
}

void TEX_encode_s3tc(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc,
                     const unsigned char* src, unsigned char* dst, TEX_s3tc_quality quality) {
  int fit = quality == s3tc_range_fit      ? squish::kColourRangeFit
            : quality == s3tc_iterative_fit ? squish::kColourIterativeClusterFit
                                            : squish::kColourClusterFit;
  squish::CompressImage(src, src_desc.width, src_desc.height, dst, fit | squish_kind(dst_desc.format));
}

void TEX_decode_s3tc(const TEX_image_desc& src_desc, const TEX_image_desc&, const unsigned char* src,
                     unsigned char* dst) {
  squish::DecompressImage(dst, src_desc.width, src_desc.height, src, squish_kind(src_desc.format));
}

// ---------------------------------------------------------------- flipping blocks

namespace {

// Where texel row i goes when a block holding `rows` texel rows is turned upside down.
int flipped_row(int i, int rows) { return i < rows ? rows - 1 - i : i; }

void flip_colour(DXTColBlock* b, int rows) {
  uint8_t r[4];
  for (int i = 0; i < 4; ++i) r[flipped_row(i, rows)] = b->row[i];
  std::memcpy(b->row, r, 4);
}

bool dxt1_transparent(const DXTColBlock* b) {
  if (b->col0 > b->col1) return false;
  for (int i = 0; i < 4; ++i)
    for (int k = 0; k < 4; ++k)
      if (((b->row[i] >> (2 * k)) & 3) == 3) return true;
  return false;
}

}  // namespace

int nv_flip_dxt5_alpha(DXT5AlphaBlock* block, int rows) {
  uint64_t bits = 0;
  for (int i = 5; i >= 0; --i) bits = (bits << 8) | block->row[i];
  uint64_t out = 0;
  for (int i = 0; i < 4; ++i) {
    uint64_t row = (bits >> (12 * i)) & 0xFFF;
    out |= row << (12 * flipped_row(i, rows));
  }
  for (int i = 0; i < 6; ++i) block->row[i] = static_cast<uint8_t>(out >> (8 * i));
  return 0;
}

int nv_flip_blocks_dxtc1(DXTColBlock* blocks, int count, int flag, int rows) {
  int found = 0;
  for (int i = 0; i < count; ++i) {
    DXTColBlock* b = blocks + i;
    flip_colour(b, rows);
    if (!flag && !found && dxt1_transparent(b)) found = 1;
    if (colr.gamma_differs) nv_gamma_correct(b);
  }
  return found;
}

int nv_flip_blocks_dxtc3(DXTColBlock* blocks, int count, int, int rows) {
  auto* p = reinterpret_cast<unsigned char*>(blocks);
  for (int i = 0; i < count; ++i, p += 16) {
    uint16_t a[4], o[4];
    std::memcpy(a, p, 8);
    for (int r = 0; r < 4; ++r) o[flipped_row(r, rows)] = a[r];
    std::memcpy(p, o, 8);
    auto* c = reinterpret_cast<DXTColBlock*>(p + 8);
    flip_colour(c, rows);
    if (colr.gamma_differs) nv_gamma_correct(c);
  }
  return 0;
}

int nv_flip_blocks_dxtc5(DXTColBlock* blocks, int count, int, int rows) {
  auto* p = reinterpret_cast<unsigned char*>(blocks);
  for (int i = 0; i < count; ++i, p += 16) {
    nv_flip_dxt5_alpha(reinterpret_cast<DXT5AlphaBlock*>(p), rows);
    auto* c = reinterpret_cast<DXTColBlock*>(p + 8);
    flip_colour(c, rows);
    if (colr.gamma_differs) nv_gamma_correct(c);
  }
  return 0;
}

namespace {

uint16_t gamma565(uint16_t c) {
  int r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  int r8 = r * 8 + r / 4, g8 = g * 4 + g / 16, b8 = b * 8 + b / 4;
  r = colr.gamma_table[r8] >> 3;
  g = colr.gamma_table[g8] >> 2;
  b = colr.gamma_table[b8] >> 3;
  return static_cast<uint16_t>(r << 11 | g << 5 | b);
}

}  // namespace

void nv_gamma_correct(DXTColBlock* block) {
  const bool three = block->col0 <= block->col1;
  uint16_t c0 = gamma565(block->col0), c1 = gamma565(block->col1);
  if ((c0 <= c1) == three) {
    block->col0 = c0;
    block->col1 = c1;
    return;
  }
  if (c0 != c1) {
    block->col0 = c1;
    block->col1 = c0;
  } else {
    // Two ends merged in a four-colour block: keep them apart by one step.
    unsigned short up = c0;
    block->col1 = c0;
    if (IncColor565(up)) {
      block->col0 = up;
    } else {
      block->col0 = c0;
      unsigned short down = c0;
      DecColor565(down);
      block->col1 = down;
    }
  }
  for (int i = 0; i < 4; ++i) {
    uint8_t row = block->row[i], out = 0;
    for (int k = 0; k < 4; ++k) {
      int idx = (row >> (2 * k)) & 3;
      if (idx == 0 || idx == 1) idx ^= 1;
      else if (!three) idx ^= 1;  // 2 <-> 3 in a four-colour block
      out |= static_cast<uint8_t>(idx << (2 * k));
    }
    block->row[i] = out;
  }
}

int IncColor565(unsigned short& colour) {
  int r = (colour >> 11) & 31, g = (colour >> 5) & 63, b = colour & 31;
  if (g < 63) ++g;
  else if (b < 31) ++b;
  else if (r < 31) ++r;
  else return 0;
  colour = static_cast<unsigned short>(r << 11 | g << 5 | b);
  return 1;
}

int DecColor565(unsigned short& colour) {
  int r = (colour >> 11) & 31, g = (colour >> 5) & 63, b = colour & 31;
  if (g) --g;
  else if (b) --b;
  else if (r) --r;
  else return 0;
  colour = static_cast<unsigned short>(r << 11 | g << 5 | b);
  return 1;
}
