// The tiled background: a picture of up to 2048 x 2048 pixels in sixteen 512 x 512 textures,
// each drawn 1:1 at its place in the picture.
#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "foundation/alert.h"
#include "foundation/nedmalloc.h"
#include "foundation/records.h"
#include "ogl/draw2d.h"
#include "ogl/state.h"
#include "tex/scratch.h"
#include "tex/screenshot.h"
#include "tex/tex_utils.h"
#include "tex/tman.h"

int back_dx = 0, back_dy = 0;

void OGL_make_back_tex() {
  if (mnw.wind_id != -1) return;
  std::memset(scratch_array, 0, TEX_scratch_bytes);
  unsigned char* data = scratch_array;
  TEX_image_desc desc;
  if (!TEX_load_any(back_tex_path, data, GL_RGBA, 2048, 0, desc)) {
    __ZARIRU_alert(0, "Trying to load a texture that you do not have!",
                   "This smacks of a mis-installed copy of Volarium!",
                   "Please download a new copy of Volarium from our web site. The missing file is:",
                   back_tex_path, t_exit, "DUdurid/OOPS_cpp/oglp", 991);
    return;
  }
  back_dx = desc.width;
  back_dy = desc.height;
  // The loader pads every row to its row width: cut with its pitch, not the picture's width.
  const long pitch = 4L * desc.width + desc.pad;
  unsigned char* picture = static_cast<unsigned char*>(nedmalloc(TEX_scratch_bytes));
  std::memcpy(picture, scratch_array, TEX_scratch_bytes);
  OGL_setstate(fog_fals, 1, lit_fals, al_blend, deR_fals, deW_fals);
  const long tile_row = 4L * back_tile;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      std::memset(scratch_array, 0, static_cast<size_t>(tile_row) * back_tile);
      const int rows = std::min(back_dy - back_tile * r, back_tile);
      const int cols = std::min(back_dx - back_tile * c, back_tile);
      if (rows > 0 && cols > 0) {
        for (int y = 0; y < rows; ++y)
          std::memcpy(scratch_array + y * tile_row,
                      picture + (static_cast<long>(back_tile) * r + y) * pitch + 4L * back_tile * c,
                      static_cast<size_t>(cols) * 4);
      }
      scratch_dx = scratch_dy = back_tile;
      tman.load_texture(tex_fail_fatal, back_tex_first + 4 * r + c, 0x412, tex_loaded,
                        "scratch_array-t_tex_back (tile)");
    }
  }
  nedfree(picture);
}

void OGL_plot_back_tex() {
  const float W = static_cast<float>(mnw.scr_w), H = static_cast<float>(mnw.scr_h);
  const float dx = static_cast<float>(back_dx), dy = static_cast<float>(back_dy);
  float x0, x1, y0, y1;
  if (mnw.wind_id == -1) {
    x1 = std::min(W, dx);
    x0 = x1 - dx;
    const float e = std::clamp(dy - H, 0.0f, 512.0f);
    y1 = H + e;
    y0 = y1 - dy;
    if (dx < W || dy < H) OGL_fillrect(34, 1.0f, -mnw.wind_x, -mnw.wind_y, W, H);
  } else {
    x0 = mnw.off_x;
    x1 = x0 + dx;
    y0 = 0.0f;
    y1 = dy;
  }
  OGL_setstate(fog_fals, 1, lit_fals, ren.global_alpha > 0.99f ? al_test : al_blend, deR_fals, deW_fals);
  OGL_set_colour(0, 1.0f);
  const float tile = static_cast<float>(back_tile);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      // Every tile at its place in the picture, cut off where the picture ends.
      const float X0 = x0 + tile * static_cast<float>(c), Y0 = y0 + tile * static_cast<float>(r);
      const float X1 = std::min(X0 + tile, x1), Y1 = std::min(Y0 + tile, y1);
      if (X1 <= X0 || Y1 <= Y0) continue;
      if (X1 <= 0.0f || X0 >= W || Y1 <= 0.0f || Y0 >= H) continue;
      const float s = (X1 - X0) / tile, t = (Y1 - Y0) / tile;
      tman.bind_ref(back_tex_first + 4 * r + c, 0, 0);
      glBegin(GL_QUADS);
      glTexCoord2f(0.0f, 0.0f);
      glVertex2f(X0, Y0);
      glTexCoord2f(0.0f, t);
      glVertex2f(X0, Y1);
      glTexCoord2f(s, t);
      glVertex2f(X1, Y1);
      glTexCoord2f(s, 0.0f);
      glVertex2f(X1, Y0);
      glEnd();
    }
  }
}
