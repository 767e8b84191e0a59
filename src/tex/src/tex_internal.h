// Small helpers shared by the texture units.
#pragma once
#include "tex/scratch.h"

// The smallest power of two not below v (1 for v below 2).
inline long tex_next_pow2(long v) {
  long p = 1;
  while (p < v) p <<= 1;
  return p;
}

#include <string>

#include "tex/tex_utils.h"

class xmap_class;

// The PNG decode without its alerts: what TEX_load_png raises is decided from the result.
enum tex_png_status {
  tex_png_ok = 1,
  tex_png_refused = 0,      // too short, or sizes refused before decoding
  tex_png_no_struct = -1,
  tex_png_no_info = -2,
  tex_png_not_png = -3,
  tex_png_libpng_error = -4,  // after the non-fatal "PNG error!" alert
  tex_png_bad_format = -5
};
int tex_png_try(const std::string& path, xmap_class* map, unsigned char*& data, unsigned long format,
                int row_width, int pow2, int keep_file_alpha, TEX_image_desc& desc, long capacity);
