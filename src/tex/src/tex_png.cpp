// PNG through libpng, decoding straight from a mapped file into the caller's buffer, and PNG
// writing for screenshots and tools. libpng reports errors by longjmp: no object with a
// destructor lives in a frame that holds a recovery point.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "files/xmap.h"
#include "foundation/alert.h"
#include "foundation/globals.h"
#include "ogl/colr.h"
#include "platform/regular_file.h"
#include "tex/tex_codecs.h"
#include "tex_alloc.h"
#include "tex_internal.h"

xmap_class* png_mapped_file = nullptr;
std::string ping_path;

namespace {

png_voidp my_malloc(png_structp, png_alloc_size_t size) { return tex_alloc(size); }
void my_free(png_structp, png_voidp p) { tex_free(p); }

void my_readbuf(png_structp png, png_bytep out, size_t n) {
  xmap_class* m = png_mapped_file;
  if (!m || !m->cursor || n > size_t(m->end - m->cursor)) {
    png_error(png, "PNG Read Error, overran end of buffer!");
  }
  std::memcpy(out, m->cursor, n);
  m->cursor += n;
}

void my_warning(png_structp, png_const_charp msg) {
  xer_line(std::string("PNG warning! ") + msg + ", " + ping_path);
}

// Shows the error, then leaves for the recovery point (libpng must not get control back).
void show_png_error(const char* msg) {
  __ZARIRU_alert(0, "PNG error!", msg ? msg : "", ping_path, "", 1, "DUdurid/TEX/TEX_png", 13);
}
void my_error(png_structp png, png_const_charp msg) {
  show_png_error(msg);
  png_longjmp(png, 1);
}

void ping_fatal(const char* line2, const std::string& path, int line) {
  __ZARIRU_alert(0, "PING-FILE ERROR!", line2, path, "", 2, "DUdurid/TEX/TEX_png", line);
}

// Everything the decode needs, kept out of the setjmp frame's registers.
struct png_job {
  png_structp png = nullptr;
  png_infop info = nullptr;
  png_bytep* rows = nullptr;
  unsigned char* data = nullptr;  // caller's buffer or ours
  bool own_data = false;
  unsigned long format = 0;
  int row_width = 0, pow2 = 0, keep_file_alpha = 0;
  long capacity = 0;
  TEX_image_desc desc;
  int refused = 0;  // 1: sizes refused before decoding
};

enum png_result { png_ok, png_libpng_error, png_refused, png_bad_format, png_bad_request };

// The libpng part. Only plain data here: a longjmp back into this frame skips no destructor.
png_result decode(png_job* job) {
  png_structp png = job->png;
  png_infop info = job->info;
  if (setjmp(png_jmpbuf(png))) return png_libpng_error;
  png_init_io(png, nullptr);
  png_set_read_fn(png, nullptr, my_readbuf);
  png_set_sig_bytes(png, 8);
  png_mapped_file->cursor += 8;
  png_read_info(png, info);
  // Interlaced files are read pass by pass; this must follow png_read_info.
  png_set_interlace_handling(png);
  png_uint_32 w = 0, h = 0;
  int depth = 0, ctype = 0, interlace = 0, comp = 0, filt = 0;
  png_get_IHDR(png, info, &w, &h, &depth, &ctype, &interlace, &comp, &filt);
  job->desc.format = unsigned(job->format);
  job->desc.width = int(w);
  job->desc.height = int(h);
  job->desc.has_mips = 0;

  double file_gamma = 0;
  if (!png_get_gAMA(png, info, &file_gamma)) file_gamma = 1.0 / colr.image_gamma;
  png_set_gamma(png, colr.display_gamma, file_gamma);

  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (ctype == PNG_COLOR_TYPE_PALETTE && depth <= 8) png_set_expand(png);
  if (ctype == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand(png);
  if (trns) png_set_expand(png);
  if (depth == 16) png_set_strip_16(png);
  if (depth < 8) png_set_packing(png);

  // A tRNS chunk becomes an alpha channel: it counts as alpha.
  const bool has_alpha = (ctype & PNG_COLOR_MASK_ALPHA) || trns;
  const bool colour = (ctype & PNG_COLOR_MASK_COLOR) != 0;
  unsigned long fmt = job->format;
  if (job->keep_file_alpha) {
    if (fmt == GL_RGB && has_alpha) fmt = GL_RGBA;
    else if (fmt == GL_RGBA && !has_alpha) fmt = GL_RGB;
  }
  job->desc.format = unsigned(fmt);
  if (fmt == GL_RGBA && !has_alpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  if (fmt != GL_RGBA && has_alpha) png_set_strip_alpha(png);
  if (fmt != GL_ALPHA && !colour) png_set_gray_to_rgb(png);
  if (fmt == GL_ALPHA && colour) png_set_rgb_to_gray(png, 1, -1.0, -1.0);

  int bpp = fmt == GL_RGB ? 3 : fmt == GL_RGBA ? 4 : fmt == GL_ALPHA ? 1 : 0;
  if (!bpp) return png_bad_request;

  long width = long(w), height = long(h), pw = width, ph = height;
  if (job->pow2) {
    pw = tex_next_pow2(width);
    ph = tex_next_pow2(height);
  } else if (job->row_width > width) {
    pw = job->row_width;
  }
  job->desc.pad = int((pw - width) * bpp);
  png_read_update_info(png, info);
  // The transformations must give exactly the pixel size asked for, or rows would overflow.
  if (png_get_rowbytes(png, info) != size_t(width) * size_t(bpp)) return png_bad_format;

  const long long need = (long long)(bpp * pw) * ph;
  if (width < 1 || height < 1 || width > 16384 || height > 16384 ||
      (job->data && need > job->capacity) || (!job->data && need > (1LL << 30))) {
    job->refused = 1;
    return png_refused;
  }
  job->rows = static_cast<png_bytep*>(tex_alloc(sizeof(png_bytep) * size_t(height)));
  if (!job->data) {
    job->data = static_cast<unsigned char*>(tex_alloc(size_t(need)));
    job->own_data = true;
  }
  if (!job->rows || !job->data) return png_refused;
  if (job->pow2 && (pw != width || ph != height)) std::memset(job->data, 0, size_t(need));
  const long stride = long(bpp) * pw;
  for (long i = 0; i < height; ++i) job->rows[i] = job->data + (height - 1 - i) * stride;
  png_read_image(png, job->rows);
  png_read_end(png, nullptr);
  return png_ok;
}

}  // namespace

int tex_png_try(const std::string& path, xmap_class* map, unsigned char*& data, unsigned long format,
                int row_width, int pow2, int keep_file_alpha, TEX_image_desc& desc, long capacity) {
  png_job job;
  job.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, my_error, my_warning, nullptr,
                                     my_malloc, my_free);
  if (!job.png) return tex_png_no_struct;
  job.info = png_create_info_struct(job.png);
  if (!job.info) {
    png_destroy_read_struct(&job.png, nullptr, nullptr);
    return tex_png_no_info;
  }
  png_mapped_file = map;
  if (!map || !map->begin || !map->cursor || map->end - map->cursor < 8) {
    png_mapped_file = nullptr;
    png_destroy_read_struct(&job.png, &job.info, nullptr);
    return tex_png_refused;
  }
  if (png_sig_cmp(reinterpret_cast<png_const_bytep>(map->cursor), 0, 8)) {
    png_mapped_file = nullptr;
    png_destroy_read_struct(&job.png, &job.info, nullptr);
    return tex_png_not_png;
  }
  job.data = data;
  job.format = format;
  job.row_width = row_width;
  job.pow2 = pow2;
  job.keep_file_alpha = keep_file_alpha;
  job.capacity = capacity;

  png_result res = decode(&job);

  if (job.rows) tex_free(job.rows);
  png_mapped_file = nullptr;
  png_destroy_read_struct(&job.png, &job.info, nullptr);
  if (res != png_ok) {
    if (job.own_data) tex_free(job.data);
    if (res == png_bad_request) return tex_png_bad_format;
    if (res == png_libpng_error) return tex_png_libpng_error;
    xer_line("WARNING: image refused (size or pixel layout not supported): " + path);
    return tex_png_refused;
  }
  data = job.data;
  desc = job.desc;
  return tex_png_ok;
}

int TEX_load_png(const std::string& path, xmap_class* map, unsigned char*& data, unsigned long format,
                 int row_width, int pow2, int keep_file_alpha, TEX_image_desc& desc, long capacity) {
  switch (tex_png_try(path, map, data, format, row_width, pow2, keep_file_alpha, desc, capacity)) {
    case tex_png_ok: return 1;
    case tex_png_no_struct: ping_fatal("!png_ptr", path, 36); return 0;
    case tex_png_no_info: ping_fatal("!info_ptr", path, 41); return 0;
    case tex_png_not_png: ping_fatal("is_png=!png_sig_cmp(png_io_buf,0,8)", path, 55); return 0;
    case tex_png_libpng_error: ping_fatal("setjmp(png_ptr->jmpbuf", path, 63); return 0;
    case tex_png_bad_format:
      __ZARIRU_alert(0, "Illegal bits per pixel", "", "", "", 2, "DUdurid/TEX/TEX_png", 112);
      return 0;
    default: return 0;
  }
}

// ---------------------------------------------------------------- writing

namespace {

struct png_write_job {
  png_structp png = nullptr;
  png_infop info = nullptr;
  png_bytep* rows = nullptr;
  FILE* file = nullptr;
  const TEX_image_desc* desc = nullptr;
  const unsigned char* pixels = nullptr;
  int bpp = 0;
};

bool encode(png_write_job* job) {
  png_structp png = job->png;
  png_infop info = job->info;
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, job->file);
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_set_compression_level(png, 9);
  png_set_compression_mem_level(png, 8);
  png_set_compression_strategy(png, 0);
  png_set_compression_window_bits(png, 15);
  png_set_compression_method(png, 8);
  png_set_compression_buffer_size(png, 8192);
  png_set_gAMA(png, info, 1.0 / 1.8);
  const int ctype = job->bpp == 4 ? PNG_COLOR_TYPE_RGB_ALPHA
                    : job->bpp == 3 ? PNG_COLOR_TYPE_RGB
                                    : PNG_COLOR_TYPE_GRAY;
  png_set_IHDR(png, info, png_uint_32(job->desc->width), png_uint_32(job->desc->height), 8, ctype,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const long stride = long(job->bpp) * job->desc->width + job->desc->pad;
  const int h = job->desc->height;
  job->rows = static_cast<png_bytep*>(tex_alloc(sizeof(png_bytep) * size_t(h)));
  if (!job->rows) return false;
  for (int i = 0; i < h; ++i)
    job->rows[i] = const_cast<png_bytep>(job->pixels + long(h - 1 - i) * stride);
  png_write_image(png, job->rows);
  png_write_end(png, info);
  return true;
}

}  // namespace

int TEX_save_png(const std::string& path, const TEX_image_desc& desc, const unsigned char* pixels) {
  int bpp = desc.format == GL_RGB ? 3 : desc.format == GL_RGBA ? 4 : desc.format == GL_ALPHA ? 1 : 0;
  if (!bpp) {
    __ZARIRU_alert(0, "Illegal pixel format for png-write.", path, "", "", 2, "DUdurid/TEX/TEX_png",
                   164);
    bpp = 1;
  }
  if (desc.width < 1 || desc.height < 1) return 0;
  std::string full = app_path + path;
  png_write_job job;
  job.file = PLAT_fopen_regular(full, "wb");
  if (!job.file) return 0;
  job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, my_error, my_warning);
  if (job.png) job.info = png_create_info_struct(job.png);
  bool ok = false;
  if (job.png && job.info) {
    job.desc = &desc;
    job.pixels = pixels;
    job.bpp = bpp;
    ok = encode(&job);
  }
  if (job.rows) tex_free(job.rows);
  if (job.png) png_destroy_write_struct(&job.png, job.info ? &job.info : nullptr);
  if (std::fclose(job.file) != 0) ok = false;
  return ok ? 1 : 0;
}

int write_png_to_disk(std::string path, int width, int height, int bytes_per_pixel) {
  TEX_image_desc d;
  d.format = bytes_per_pixel == 4 ? GL_RGBA : GL_RGB;
  d.width = width;
  d.height = height;
  return TEX_save_png(path, d, scratch_array);
}
