// Image descriptor arithmetic and in-place pixel work: byte sizes, box downscale, chroma key,
// bilinear compositing, the texture-size check, the vertical flip and the file entry points.
#include "tex/tex_utils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "files/xmap.h"
#include "foundation/alert.h"
#include "foundation/globals.h"
#include "tex/tex_codecs.h"

namespace {

long long level_bytes(unsigned int format, long long w, long long h, long long pad) {
  switch (format) {
    case GL_ALPHA: return (w + pad) * h;
    case GL_RGB:
    case GL_BGR: return (3 * w + pad) * h;
    case GL_RGBA:
    case GL_BGRA: return (4 * w + pad) * h;
    case GL_DEPTH_COMPONENT:
    case GL_DEPTH_COMPONENT32: return 4 * w * h;
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT: return ((w + 3) / 4) * ((h + 3) / 4) * 8;
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT: return ((w + 3) / 4) * ((h + 3) / 4) * 16;
    default: return -1;
  }
}

}  // namespace

long long TEX_bytes_needed_for_image_ll(const TEX_image_desc& desc) {
  long long w = desc.width, h = desc.height, total = 0;
  if (w < 1 || h < 1) return level_bytes(desc.format, 0, 0, 0) < 0 ? -1 : 0;
  for (;;) {
    long long b = level_bytes(desc.format, w, h, desc.pad);
    if (b < 0) return -1;
    total += b;
    if ((w == 1 && h == 1) || !desc.has_mips) return total;
    if (w >= 2) w /= 2;
    if (h >= 2) h /= 2;
  }
}

int TEX_bytes_needed_for_image(const TEX_image_desc& desc) {
  long long n = TEX_bytes_needed_for_image_ll(desc);
  if (n < 0 || n > 0x7fffffffLL) return 0;
  return int(n);
}

int TEX_bytes_per_pixel(unsigned int format) {
  switch (format) {
    case GL_ALPHA: return 1;
    case GL_RGB:
    case GL_BGR: return 3;
    case GL_RGBA:
    case GL_BGRA:
    case GL_DEPTH_COMPONENT:
    case GL_DEPTH_COMPONENT32: return 4;
    default: return 0;
  }
}

int TEX_is_dxt(unsigned int format) {
  return format >= GL_COMPRESSED_RGB_S3TC_DXT1_EXT && format <= GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
}

void TEX_downscale(TEX_image_desc& desc, unsigned char* pixels, int fx, int fy) {
  if (fx < 1) fx = 1;
  if (fy < 1) fy = 1;
  // Real pixel sizes for the swapped-channel formats too: a 1-byte walk would mix channels.
  int bpp = desc.format == GL_RGBA || desc.format == GL_BGRA ? 4
            : desc.format == GL_RGB || desc.format == GL_BGR ? 3
                                                               : 1;
  int sx = 0, sy = 0;
  while ((1 << sx) < fx) ++sx;
  while ((1 << sy) < fy) ++sy;
  int shift = sx + sy;
  int nw = desc.width / fx, nh = desc.height / fy;
  long src_stride = long(bpp) * desc.width + desc.pad;
  long dst_stride = long(bpp) * nw + desc.pad;
  for (int r = 0; r < nh; ++r) {
    unsigned char* out = pixels + r * dst_stride;
    for (int c = 0; c < nw; ++c)
      for (int ch = 0; ch < bpp; ++ch) {
        unsigned sum = 0;
        for (int j = 0; j < fy; ++j) {
          const unsigned char* in = pixels + (long(r) * fy + j) * src_stride + long(c) * fx * bpp + ch;
          for (int i = 0; i < fx; ++i) sum += in[i * bpp];
        }
        out[c * bpp + ch] = static_cast<unsigned char>(sum >> shift);
      }
  }
  desc.width = nw;
  desc.height = nh;
}

void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* pixels, unsigned char* key,
                    int threshold) {
  unsigned char* p = pixels;
  for (int y = 0; y < desc.height; ++y) {
    for (int x = 0; x < desc.width; ++x, p += 4) {
      int d = std::abs(p[0] - key[0]) + std::abs(p[1] - key[1]) + std::abs(p[2] - key[2]);
      if (d < threshold) p[3] = 0;
    }
    p += desc.pad;
  }
}

void TEX_composite(const TEX_image_desc& sd, const TEX_image_desc& dd, unsigned char* src,
                   unsigned char* dst, float x1, float y1, float x2, float y2) {
  const int sbpp = sd.format == GL_RGBA ? 4 : 3, dbpp = dd.format == GL_RGBA ? 4 : 3;
  const long sstride = long(sbpp) * sd.width + sd.pad, dstride = long(dbpp) * dd.width + dd.pad;
  int cx0 = std::max(0, int(std::floor(x1))), cx1 = std::min(dd.width, int(std::ceil(x2)));
  int cy0 = std::max(0, int(std::floor(y1))), cy1 = std::min(dd.height, int(std::ceil(y2)));
  for (int y = cy0; y < cy1; ++y)
    for (int x = cx0; x < cx1; ++x) {
      float sx = x1 == x2 ? sd.width * 0.5f : sd.width / (x2 - x1) * (x - x1);
      float sy = y1 == y2 ? sd.height * 0.5f : sd.height / (y2 - y1) * (y - y1);
      int ix = int(std::floor(sx)), iy = int(std::floor(sy));
      float fx = sx - ix, fy = sy - iy;
      float w[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
      int px[4] = {ix, ix + 1, ix, ix + 1}, py[4] = {iy, iy, iy + 1, iy + 1};
      const unsigned char* s[4] = {};
      for (int k = 0; k < 4; ++k) {
        if (px[k] < 0 || px[k] > sd.width - 1 || py[k] < 0 || py[k] > sd.height - 1) {
          w[k] = 0;
        } else {
          s[k] = src + py[k] * sstride + long(px[k]) * sbpp;
        }
      }
      unsigned char* d = dst + y * dstride + long(x) * dbpp;
      if (sbpp == 4) {
        if (dbpp == 4) {
          float a = d[3];
          for (int k = 0; k < 4; ++k)
            if (s[k]) a += w[k] * s[k][3];
          d[3] = static_cast<unsigned char>(std::clamp(int(a), 0, 255));
        }
        for (int k = 0; k < 4; ++k)
          if (s[k]) w[k] *= s[k][3] / 255.0f;
      } else if (dbpp == 4) {
        float a = d[3] + 255.0f * (w[0] + w[1] + w[2] + w[3]);
        d[3] = static_cast<unsigned char>(std::clamp(int(a), 0, 255));
      }
      float wsum = w[0] + w[1] + w[2] + w[3];
      for (int ch = 0; ch < 3; ++ch) {
        float v = d[ch] * (1 - wsum);
        for (int k = 0; k < 4; ++k)
          if (s[k]) v += w[k] * s[k][ch];
        d[ch] = static_cast<unsigned char>(std::clamp(int(v), 0, 255));
      }
    }
}

void check_dxy(int value, std::string name) {
  if (value < 1 || value > 2048) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%1.0f", double(value));
    stl_global = buf;
    __ZARIRU_alert(0, "Trying to create a texture either less than 1 or greater than 2048!", name,
                   "value:", stl_global, 2, "DUdurid/OOPS_cpp/tman", 130);
  }
}

int TEX_flip_y(const TEX_image_desc& desc, unsigned char* pixels) {
  TEX_image_desc lvl = desc;
  lvl.has_mips = 0;
  unsigned char* p = pixels;
  int result = 0;
  for (;;) {
    long long bytes = TEX_bytes_needed_for_image_ll(lvl);
    switch (lvl.format) {
      case GL_ALPHA:
      case GL_RGB:
      case GL_RGBA:
      case GL_BGR:
      case GL_BGRA: {
        if (lvl.height < 1) break;
        long stride = long(bytes / lvl.height);
        for (int i = 0; i < lvl.height / 2; ++i) {
          unsigned char* a = p + long(i) * stride;
          unsigned char* b = p + long(lvl.height - 1 - i) * stride;
          std::swap_ranges(a, a + stride, b);
        }
        break;
      }
      case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
      case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
      case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
      case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT: {
        const bool dxt1 = lvl.format <= GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
        const int bsize = dxt1 ? 8 : 16;
        const int across = (lvl.width + 3) / 4, rows = (lvl.height + 3) / 4;
        const long row_bytes = long(across) * bsize;
        auto flip_row = [&](unsigned char* row, int texel_rows, int flag) {
          auto* b = reinterpret_cast<DXTColBlock*>(row);
          if (dxt1) return nv_flip_blocks_dxtc1(b, across, flag, texel_rows);
          if (lvl.format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT)
            return nv_flip_blocks_dxtc3(b, across, flag, texel_rows);
          return nv_flip_blocks_dxtc5(b, across, flag, texel_rows);
        };
        int flag = 0;
        if (lvl.height < 4) {
          // One block row holding fewer than four texel rows: flip those inside each block.
          flag |= flip_row(p, lvl.height, flag);
        } else if (lvl.height % 4) {
          // The padding rows of the last block row would come out on top, and the rows of two
          // blocks meet in one once turned over: the level is decoded, turned over and encoded
          // again. The pass after it moves nothing (one row per block) but tests for transparent
          // texels and corrects the gamma as every flipped block gets.
          TEX_image_desc rgba_desc = lvl;
          rgba_desc.format = GL_RGBA;
          const size_t stride = size_t(lvl.width) * 4;
          std::vector<unsigned char> rgba(stride * size_t(lvl.height));
          TEX_decode_s3tc(lvl, rgba_desc, p, rgba.data());
          for (int i = 0; i < lvl.height / 2; ++i)
            std::swap_ranges(rgba.begin() + long(i * stride), rgba.begin() + long((i + 1) * stride),
                             rgba.begin() + long((lvl.height - 1 - i) * stride));
          TEX_encode_s3tc(rgba_desc, lvl, rgba.data(), p, s3tc_cluster_fit);
          for (int j = 0; j < rows; ++j) flag |= flip_row(p + long(j) * row_bytes, 1, flag);
        } else {
          for (int j = 0; j < rows / 2; ++j) {
            unsigned char* lo = p + long(j) * row_bytes;
            unsigned char* hi = p + long(rows - 1 - j) * row_bytes;
            int r1 = flip_row(lo, 4, flag);
            int r2 = flip_row(hi, 4, flag | r1);
            flag |= r1 | r2;
            std::swap_ranges(lo, lo + row_bytes, hi);
          }
          // The middle block row of an odd count maps onto itself, reversed inside.
          if (rows % 2) flag |= flip_row(p + long(rows / 2) * row_bytes, 4, flag);
        }
        result |= flag;
        break;
      }
      default:
        __ZARIRU_alert(0, "Illegal format!", "", "", "", 2, "DUdurid/TEX/TEX_utils", 441);
        return result;
    }
    if (!desc.has_mips || (lvl.width == 1 && lvl.height == 1)) return result;
    p += bytes;
    if (lvl.width >= 2) lvl.width /= 2;
    if (lvl.height >= 2) lvl.height /= 2;
  }
}

int TEX_load_any(const std::string& path, unsigned char*& data, unsigned long format, int row_width,
                 int keep_file_alpha, TEX_image_desc& desc, long capacity) {
  xmap_class map(path);
  if (!map.begin || map.end - map.begin < 8) return 0;
  if (map.begin[0] == 'B' && map.begin[1] == 'M') {
    map.cursor = map.begin;
    if (TEX_load_bmp(path, &map, data, format, row_width, 0, desc, capacity)) return 1;
  }
  static const unsigned char sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (std::memcmp(map.begin, sig, 8) == 0) {
    map.cursor = map.begin;
    return TEX_load_png(path, &map, data, format, row_width, 0, keep_file_alpha, desc, capacity);
  }
  return 0;
}

int TEX_load_any_ext(const std::string& path, unsigned char*& data, unsigned long format,
                     int row_width, int keep_file_alpha, TEX_image_desc& desc, long capacity) {
  std::string stem = path;
  if (stem.size() > 4 && stem[stem.size() - 4] == '.') stem.resize(stem.size() - 4);
  if (TEX_load_any(stem + ".png", data, format, row_width, keep_file_alpha, desc, capacity)) return 1;
  return TEX_load_any(stem + ".bmp", data, format, row_width, keep_file_alpha, desc, capacity);
}
