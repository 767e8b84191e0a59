// The texture manager's load step: find the pixels (scratch image or image file), size them
// from the resolution setting, decode and scale them in place, and upload them as the OpenGL
// texture whose name is the slot number. A missing image leaves the slot on the blank texture.
#include <GL/gl.h>
#include <GL/glext.h>
#include <squish.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "files/xmap.h"
#include "foundation/alert.h"
#include "foundation/cmdline.h"
#include "foundation/globals.h"
#include "foundation/threads.h"
#include "foundation/records.h"
#include "ogl/extensions.h"
#include "ogl/state.h"
#include "tex/scratch.h"
#include "tex/tex_codecs.h"
#include "tex/tman.h"
#include "tex_internal.h"

namespace {

const char* const kSrc = "DUdurid/OOPS_cpp/tman";
alignas(16) unsigned char g_scratch_temp[2048 * 2048 * 4];

std::string fmt_num(const char* fmt, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, v);
  stl_global = buf;
  return stl_global;
}

bool is_pow2(int v) { return v > 0 && (v & (v - 1)) == 0; }

// Replaces a three-letter extension; a name without one stays as it is.
std::string with_ext(const std::string& name, const char* ext) {
  if (name.size() > 4 && name[name.size() - 4] == '.') return name.substr(0, name.size() - 4) + ext;
  return name;
}

// Whether the driver takes DXT blocks as they are.
bool s3tc_upload_ok() {
  return glExt.tex_comp_avail && glExt.glCompressedTexImage2DARB && ren.extensions &&
         OGL_has_extension(ren.extensions, "GL_EXT_texture_compression_s3tc");
}

// Lays `rows` rows of `row_bytes` out at a new stride, zero-filling what lies beyond them, so
// that an upload reads rows at the texture's width.
void restride(unsigned char* p, long rows, long row_bytes, long old_stride, long new_stride,
              long total_rows) {
  if (new_stride != old_stride) {
    if (new_stride < old_stride) {
      for (long r = 0; r < rows; ++r) std::memmove(p + r * new_stride, p + r * old_stride, size_t(row_bytes));
    } else {
      for (long r = rows - 1; r >= 0; --r)
        std::memmove(p + r * new_stride, p + r * old_stride, size_t(row_bytes));
    }
  }
  for (long r = 0; r < rows; ++r)
    std::memset(p + r * new_stride + row_bytes, 0, size_t(new_stride - row_bytes));
  if (total_rows > rows) std::memset(p + rows * new_stride, 0, size_t((total_rows - rows) * new_stride));
}

}  // namespace

unsigned char* scratch_array_temp = g_scratch_temp;

float TEX_get_scale(std::string name, int, int tex_flags, int dx, int dy, int* image_dx,
                    int* image_dy, int* tex_dx, int* tex_dy, int source) {
  // The sides are checked before anything divides by them.
  check_dxy(dx, name);
  check_dxy(dy, name);
  float scale;
  switch (mnw.tex_res) {
    case 4: scale = 0.5f; break;
    case 3: scale = 0.25f; break;
    case 2: scale = 0.125f; break;
    case 1: scale = 0.0625f; break;
    case 0: scale = 0.03125f; break;
    default: scale = 1.0f; break;
  }
  if (tex_flags & tex_res_double) scale = std::max(0.0f, std::min(1.0f, scale * 2));
  if (tex_flags & tex_res_half) scale = std::max(0.0f, std::min(1.0f, scale * 0.5f));
  if (tex_flags & tex_full_res) scale = 1;
  if (source == 1) scale = 1;
  if (scale < 1.0f / dx) scale = 1.0f / dx;
  if (scale < 1.0f / dy) scale = 1.0f / dy;
  const int max_size = glExt.max_tex_size > 0 ? glExt.max_tex_size : 2048;
  while (scale * dx > max_size || scale * dy > max_size) scale *= 0.5f;
  *image_dx = int(scale * dx);
  *image_dy = int(scale * dy);
  if (tex_flags & tex_keep_size) {
    *tex_dx = *image_dx;
    *tex_dy = *image_dy;
  } else {
    *tex_dx = int(tex_next_pow2(*image_dx));
    *tex_dy = int(tex_next_pow2(*image_dy));
  }
  check_dxy(*image_dx, name);
  check_dxy(*image_dy, name);
  check_dxy(*tex_dx, name);
  check_dxy(*tex_dy, name);
  return scale;
}

int load_any_into_scratch(std::string name, int ref, int tex_flags, int& format, int& has_mips,
                          char& bytes_per_pixel, int file_alpha, int* image_dx, int* image_dy,
                          int* tex_dx, int* tex_dy) {
  if (bytes_per_pixel < 1 || bytes_per_pixel > 4)
    __ZARIRU_alert(0, "Trying to bind too low or high a number of bytes!", name, "value:",
                   fmt_num("%1.0f", bytes_per_pixel), 2, kSrc, 133);
  unsigned char* dest = (tex_flags & tex_use_scratch) ? scratch_array : scratch_array_temp;
  xmap_class map;
  const bool no_dds = cmdline.has_option("--no_dds");
  const std::string first = no_dds ? name : with_ext(name, ".dds");
  const std::string tries[4] = {first, first, with_ext(name, ".png"), with_ext(name, ".bmp")};
  bool found = false;
  for (const std::string& t : tries)
    if (map.retry(t)) {
      name = t;
      found = true;
      break;
    }
  if (!found || map.end - map.begin < 8) return 0;
  map.cursor = map.begin;

  const unsigned long want = bytes_per_pixel == 1 ? GL_ALPHA : bytes_per_pixel == 4 ? GL_RGBA : GL_RGB;
  TEX_image_desc desc;
  unsigned char* data = nullptr;
  bool dds = false;
  static const unsigned char png_sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (std::memcmp(map.begin, "DDS ", 4) == 0) {
    if (!TEX_load_dds(name, &map, data, desc) || !desc.has_mips) return 0;
    dds = true;
  } else if (map.begin[0] == 'B' && map.begin[1] == 'M') {
    data = dest;
    if (!TEX_load_bmp(name, &map, data, want, 0, 1, desc, TEX_scratch_bytes)) return 0;
  } else if (std::memcmp(map.begin, png_sig, 8) == 0) {
    data = dest;
    if (!TEX_load_png(name, &map, data, want, 0, 1, file_alpha, desc, TEX_scratch_bytes)) return 0;
  } else {
    return 0;
  }
  format = int(desc.format);
  has_mips = desc.has_mips;
  switch (desc.format) {
    case GL_RGBA: case GL_BGRA: case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT: case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT:
      bytes_per_pixel = 4; break;
    case GL_ALPHA: bytes_per_pixel = 1; break;
    default: bytes_per_pixel = 3; break;
  }
  float scale = TEX_get_scale(name, ref, tex_flags, desc.width, desc.height, image_dx, image_dy,
                              tex_dx, tex_dy, 2);
  float f = 1.0f / scale;
  if (!dds) {
    const int bpp = bytes_per_pixel;
    if (f != 1.0f) {
      int k = int(f);
      TEX_downscale(desc, dest, std::min(k, desc.width), std::min(k, desc.height));
    }
    // Rows at the texture's width, whatever the decoder's padding was.
    restride(dest, desc.height, long(bpp) * desc.width, long(bpp) * desc.width + desc.pad,
             long(bpp) * *tex_dx, *tex_dy);
    *image_dx = desc.width;
    *image_dy = desc.height;
    return 1;
  }
  TEX_image_desc lvl = desc;
  lvl.has_mips = 0;
  const unsigned char* p = data;
  while (f > 1.0f && (lvl.width > 1 || lvl.height > 1)) {
    p += TEX_bytes_needed_for_image_ll(lvl);
    lvl.width = std::max(1, lvl.width / 2);
    lvl.height = std::max(1, lvl.height / 2);
    f *= 0.5f;
  }
  lvl.has_mips = 1;
  const long long bytes = TEX_bytes_needed_for_image_ll(lvl);
  if (bytes <= 0 || bytes > TEX_scratch_bytes) return 0;
  std::memcpy(dest, p, size_t(bytes));
  if (TEX_flip_y(lvl, dest) && lvl.format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT) {
    format = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
    bytes_per_pixel = 4;
  }
  *image_dx = lvl.width;
  *image_dy = lvl.height;
  if (!(tex_flags & tex_keep_size)) {
    *tex_dx = int(tex_next_pow2(lvl.width));
    *tex_dy = int(tex_next_pow2(lvl.height));
  } else {
    *tex_dx = lvl.width;
    *tex_dy = lvl.height;
  }
  return 1;
}

int tman_class::load_texture_int(tex_fail_mode fail, int ref, int tex_flags, const std::string& name) {
  UTL_critical_section_lock(&lock);
  if (force_finish && name.rfind("scratch_array", 0) != 0) force_finish->force_finish();
  if (tex_flags < 0 || tex_flags > 16383)
    __ZARIRU_alert(0, "Trying to bind an invalid filter type!", name, "value:",
                   fmt_num("%1.0f", tex_flags), 2, kSrc, 132);
  tex_load_vars v;
  v.fail = fail;
  v.ref = ref;
  v.flags = tex_flags;
  v.name = name;
  int io = load_texture_io(&v);
  int r = load_texture_ogl(&v, io);
  UTL_critical_section_unlock(&lock);
  return r;
}

int tman_class::load_texture_io(tex_load_vars* v) {
  switch (v->flags & 7) {
    case 1: case 7: v->format = GL_RGB; v->bytes_per_pixel = 3; v->file_alpha = 0; break;
    case 2: v->format = GL_RGBA; v->bytes_per_pixel = 4; v->file_alpha = 0; break;
    case 3: v->format = GL_ALPHA; v->bytes_per_pixel = 1; v->file_alpha = 0; break;
    case 4: v->format = GL_RGB; v->bytes_per_pixel = 3; v->file_alpha = 1; break;
    case 5: v->format = GL_RGBA; v->bytes_per_pixel = 4; v->file_alpha = 1; break;
    case 6: v->format = GL_DEPTH_COMPONENT; v->bytes_per_pixel = 1; v->file_alpha = 0; break;
    default:
      __ZARIRU_alert(0, "BAD color enum for tman - see tman for valid colors!  We cannot pass 0.", "",
                     "", "", 2, kSrc, 708);
      return 0;
  }
  v->has_mips = 0;
  if (v->name.empty()) return 0;
  int result;
  if (v->name.rfind("scratch_array", 0) == 0) {
    check_dxy(scratch_dx, v->name);
    check_dxy(scratch_dy, v->name);
    TEX_get_scale(v->name, v->ref, v->flags, scratch_dx, scratch_dy, &v->image_dx, &v->image_dy,
                  &v->tex_dx, &v->tex_dy, 1);
    v->pixels = scratch_array;
    result = 1;
  } else {
    int has_mips = 0;
    result = load_any_into_scratch(v->name, v->ref, v->flags, v->format, has_mips,
                                   v->bytes_per_pixel, v->file_alpha, &v->image_dx, &v->image_dy,
                                   &v->tex_dx, &v->tex_dy)
                 ? 2
                 : 0;
    v->has_mips = has_mips;
    v->pixels = scratch_array_temp;
  }
  if (v->flags & tex_use_scratch) v->pixels = scratch_array;
  return result;
}

void tman_class::make_blank_gray() {
  if (t_blank_gray >= int(ref_dat.size())) ref_dat.resize(t_blank_gray + 1);
  ref_dat_struct& s = ref_dat[t_blank_gray];
  if (s.format != 0 && s.load_time == tex_loaded) return;
  unsigned char grey[8 * 8 * 4];
  for (int i = 0; i < 8 * 8; ++i) {
    grey[4 * i] = grey[4 * i + 1] = grey[4 * i + 2] = 128;
    grey[4 * i + 3] = 255;
  }
  glBindTexture(GL_TEXTURE_2D, t_blank_gray);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 8, 8, 0, GL_RGBA, GL_UNSIGNED_BYTE, grey);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  o_tex[0] = -1;  // the cache no longer knows what unit 0 holds
  if (s.format == 0) total_count += 1;
  if (s.vram == 0) loaded_count += 1;
  s.name = "t_blank_gray";
  s.gl_name = t_blank_gray;
  s.image_dx = s.image_dy = s.tex_dx = s.tex_dy = 8;
  s.vram = 8 * 8 * 4;
  s.format = GL_RGBA;
  s.load_time = tex_loaded;
  s.flags = tex_col_rgba;
  s.fail_mode = tex_fail_fatal;
  s.ref_count = -1;
  tex_hash.emplace(s.name, t_blank_gray);
}

int tman_class::load_texture_ogl(tex_load_vars* v, int io) {
  const int r = v->ref;
  if (r >= int(ref_dat.size()) || r < 0) {
    __ZARIRU_alert(0, "(manual_ref>=ref_dat.size()!",
                   "maybe we tried to load some texture thatis not avail, and we have not loaded the "
                   "t_blank_gray yet?",
                   "", "", 2, kSrc, 766);
    return 0;
  }
  if (io == 0) {
    // The stand-in is made the first time it is needed, so its format is never the free 0.
    make_blank_gray();
    const ref_dat_struct& blank = ref_dat[t_blank_gray];
    ref_dat_struct& s = ref_dat[size_t(r)];
    s.gl_name = blank.gl_name;
    s.image_dx = blank.image_dx;
    s.image_dy = blank.image_dy;
    s.tex_dx = blank.tex_dx;
    s.tex_dy = blank.tex_dy;
    s.format = blank.format;
    s.vram = 0;
    s.load_time = tex_loaded;
    const int mode = v->fail;
    if (mode == tex_fail_silent) return 0;
    if (mode == tex_fail_fatal) {
      __ZARIRU_alert(0, "Trying to load a texture that you do not have!",
                     "This smacks of a mis-installed copy of Volarium!",
                     "Please get a fresh download of Volarium and install it again. The missing file is:",
                     v->name, 2, kSrc, 781);
      return 0;
    }
    if (mode == tex_fail_scene && scene_fail == 0) scene_fail = 1;
    if (mode == tex_fail_plane && plane_fail == 0) plane_fail = 1;
    if (mode == tex_fail_instl && instl_fail == 0) instl_fail = 1;
    xer << "WARNING: we are missing the texture: " << v->name << ".\n";
    xer.flush();
    return 0;
  }

  const bool nearest = r == 392 || r == 419 || r == 425 || r == 426 || (r >= 427 && r <= 442);
  const bool want_mips = (v->flags & tex_mipmap) != 0;
  const bool compressed = TEX_is_dxt(unsigned(v->format)) != 0;
  // Without S3TC in the driver the blocks are decoded here and sent as RGBA.
  const bool decode_dxt = compressed && !s3tc_upload_ok();
  int internal = v->format == GL_BGRA ? GL_RGBA : v->format == GL_BGR ? GL_RGB : v->format;
  if (v->flags & tex_float16) {
    if (internal == GL_RGB) internal = GL_RGB16F_ARB;
    else if (internal == GL_RGBA) internal = GL_RGBA16F_ARB;
    else if (internal == GL_ALPHA) internal = GL_ALPHA16F_ARB;
  }
  if (v->format == GL_DEPTH_COMPONENT) internal = GL_DEPTH_COMPONENT32;
  if (v->flags & tex_sized8) {
    if (internal == GL_RGB) internal = GL_RGB8;
    else if (internal == GL_RGBA) internal = GL_RGBA8;
  }
  const bool hw_mips = want_mips && glExt.automini_avail && !compressed && !(v->flags & tex_sized8);
  ref_dat_struct& s = ref_dat[size_t(r)];
  const bool in_place = s.load_time == tex_loaded && s.format == v->format &&
                        int(s.tex_dx) == v->tex_dx && int(s.tex_dy) == v->tex_dy && s.gl_name == r &&
                        (!want_mips || hw_mips) && !decode_dxt;
  const bool build_mips = want_mips && !v->has_mips && !hw_mips;
  const bool bleed = v->bytes_per_pixel == 4 && io == 2 && !compressed && !v->has_mips;

  if (s.vram == 0) loaded_count += 1;
  s.name = v->name;
  s.load_time = tex_loaded;
  s.gl_name = r;
  s.image_dx = float(v->image_dx);
  s.image_dy = float(v->image_dy);
  s.tex_dx = float(v->tex_dx);
  s.tex_dy = float(v->tex_dy);
  s.format = v->format;
  s.flags = v->flags;
  s.vram = int(double(v->tex_dx) * v->tex_dy * v->bytes_per_pixel * (want_mips ? 1.33 : 1.0));
  if (r == 0) {
    __ZARIRU_alert(0, "Trying to bind a null ref!", "ref=     0, tex=     0", "", s.name, 2, kSrc, 951);
    return 0;
  }

  if (bleed) {
    unsigned char* px = v->pixels;
    const int w = v->tex_dx, h = v->tex_dy;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        unsigned char* p = px + (size_t(y) * w + x) * 4;
        if (p[3] != 0) continue;
        int sum[3] = {0, 0, 0}, n = 0;
        for (int j = std::max(0, y - 2); j <= std::min(h - 1, y + 2); ++j)
          for (int i = std::max(0, x - 2); i <= std::min(w - 1, x + 2); ++i) {
            const unsigned char* q = px + (size_t(j) * w + i) * 4;
            if (q[3] == 0) continue;
            sum[0] += q[0];
            sum[1] += q[1];
            sum[2] += q[2];
            ++n;
          }
        if (n) {
          p[0] = static_cast<unsigned char>(sum[0] / n);
          p[1] = static_cast<unsigned char>(sum[1] / n);
          p[2] = static_cast<unsigned char>(sum[2] / n);
        }
      }
  }
  if (!(v->flags & tex_keep_size)) {
    if (!is_pow2(v->tex_dx))
      __ZARIRU_alert(0, "load_tex: Trying to read a texture that is not a power of 2!", v->name, "",
                     "", 2, kSrc, 999);
    if (!is_pow2(v->tex_dy))
      __ZARIRU_alert(0, "load_tex: Trying to read a texture that is not a power of 2!", v->name, "",
                     "", 2, kSrc, 1000);
  }
  check_dxy(v->tex_dx, v->name);
  check_dxy(v->tex_dy, v->name);

  const int old_units = num_units;
  num_units = 1;
  if (old_units == 0) glEnable(GL_TEXTURE_2D);
  TEX_bind_ref(r, 0, 0);
  num_units = old_units;
  if (old_units == 0) glDisable(GL_TEXTURE_2D);

  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  int level = 0, w = v->tex_dx, h = v->tex_dy;
  unsigned char* px = v->pixels;
  TEX_image_desc d;
  d.format = unsigned(v->format);
  std::vector<unsigned char> rgba;
  for (;;) {
    if (hw_mips) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 1);
    d.width = w;
    d.height = h;
    d.pad = 0;
    d.has_mips = 0;
    if (compressed && !decode_dxt) {
      glExt.glCompressedTexImage2DARB(GL_TEXTURE_2D, level, GLenum(v->format), w, h, 0,
                                      TEX_bytes_needed_for_image(d), px);
    } else if (compressed) {
      rgba.assign(size_t(w) * h * 4, 0);
      TEX_decode_s3tc(d, d, px, rgba.data());
      glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    } else if (in_place) {
      glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, GLenum(v->format), GL_UNSIGNED_BYTE, px);
    } else {
      glTexImage2D(GL_TEXTURE_2D, level, internal, w, h, 0, GLenum(v->format), GL_UNSIGNED_BYTE, px);
    }
    if (w == 1 && h == 1) break;
    if (v->has_mips) {
      px += TEX_bytes_needed_for_image(d);
      w = std::max(1, w / 2);
      h = std::max(1, h / 2);
    } else if (build_mips) {
      TEX_downscale(d, px, w >= 2 ? 2 : 1, h >= 2 ? 2 : 1);
      w = d.width;
      h = d.height;
    } else {
      break;
    }
    ++level;
  }
  if (compressed && !decode_dxt) {
    GLint is_comp = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_ARB, &is_comp);
    if (is_comp) {
      GLint size = 0;
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE_ARB, &size);
      s.vram = int(size * (want_mips ? 1.33 : 1.0));
    }
  }
  const GLint clamp = glExt.tex_clamp_avail ? GL_CLAMP_TO_EDGE : GL_CLAMP;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S,
                  (v->flags & (tex_clamp_st | tex_clamp_s)) ? clamp : GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, (v->flags & tex_clamp_st) ? clamp : GL_REPEAT);
  if (glExt.aniso_avail) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
  if (nearest) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  } else {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, want_mips ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  }
  if (v->format == GL_DEPTH_COMPONENT) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
  }
  return r;
}
