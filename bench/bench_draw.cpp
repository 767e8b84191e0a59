// A screen's worth of 2-D drawing per frame: the full-window background and a few hundred
// rectangles, outlines, lines and textured quads through the drawing layer, swapped each frame.
// Usage (needs a display, e.g. under xvfb-run): bench_draw [frames (300)] [quads (400)]
// Prints milliseconds per frame (best of three alternating rounds), and the same geometry sent as raw immediate-mode OpenGL for
// comparison (ratio raw / ours: 1 means the layer costs nothing on top).
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "foundation/records.h"
#include "gl_frames.h"
#include "ogl/colr.h"
#include "ogl/draw2d.h"
#include "ogl/extensions.h"
#include "ogl/state.h"
#include "platform/window.h"

namespace {

struct item {
  int kind;  // 0 fill, 1 frame, 2 line, 3 textured quad
  int col;
  float x, y, w, h, alpha;
};

std::vector<item> make_items(int n) {
  std::vector<item> v;
  unsigned s = 12345;
  auto rnd = [&](int m) {
    s = s * 1103515245u + 12345u;
    return static_cast<int>((s >> 8) % static_cast<unsigned>(m));
  };
  for (int i = 0; i < n; ++i)
    v.push_back({i % 4, rnd(105), static_cast<float>(rnd(960)), static_cast<float>(rnd(720)),
                 static_cast<float>(8 + rnd(120)), static_cast<float>(8 + rnd(40)),
                 rnd(2) ? 1.0f : 0.6f});
  return v;
}

void draw_ours(const std::vector<item>& items, GLuint tex) {
  OGL_plot_back_col();
  for (const item& it : items) {
    switch (it.kind) {
      case 0: OGL_fillrect(it.col, it.alpha, it.x, it.y, it.w, it.h); break;
      case 1: OGL_framerect(it.col, it.alpha, it.x, it.y, it.w, it.h); break;
      case 2: OGL_line(it.col, it.alpha, it.x, it.y, it.x + it.w, it.y + it.h); break;
      default:
        OGL_2dquad(static_cast<int>(tex), it.col, it.alpha, it.x, it.y, 0, 0, it.x, it.y + it.h, 0, 1,
                   it.x + it.w, it.y + it.h, 1, 1, it.x + it.w, it.y, 1, 0, 1, al_blend);
    }
  }
  OGL_sbuff();
}

// The same geometry with the state set by hand once per change and the colours looked up directly.
void draw_raw(const std::vector<item>& items, GLuint tex, int w, int h) {
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);  // the background is drawn as any rectangle, blending on
  glColor3fv(colr.rgb[34]);
  glBegin(GL_QUADS);
  glVertex2f(0, 0);
  glVertex2f(0, static_cast<float>(h));
  glVertex2f(static_cast<float>(w), static_cast<float>(h));
  glVertex2f(static_cast<float>(w), 0);
  glEnd();
  bool textured = false;
  for (const item& it : items) {
    const float* c = colr.rgb[it.col];
    bool want_tex = it.kind == 3;
    if (want_tex != textured) {
      if (want_tex) glEnable(GL_TEXTURE_2D);
      else glDisable(GL_TEXTURE_2D);
      textured = want_tex;
    }
    glColor4f(c[0], c[1], c[2], it.alpha);
    switch (it.kind) {
      case 0:
        glBegin(GL_QUADS);
        glVertex2f(it.x, it.y);
        glVertex2f(it.x, it.y + it.h);
        glVertex2f(it.x + it.w, it.y + it.h);
        glVertex2f(it.x + it.w, it.y);
        glEnd();
        break;
      case 1:
        glBegin(GL_LINE_LOOP);
        glVertex2f(it.x + 0.5f, it.y + 0.5f);
        glVertex2f(it.x + 0.5f, it.y + it.h + 0.5f);
        glVertex2f(it.x + it.w + 0.5f, it.y + it.h + 0.5f);
        glVertex2f(it.x + it.w + 0.5f, it.y + 0.5f);
        glEnd();
        break;
      case 2:
        glBegin(GL_LINES);
        glVertex2f(it.x + 0.5f, it.y + 0.5f);
        glVertex2f(it.x + it.w + 0.5f, it.y + it.h + 0.5f);
        glEnd();
        break;
      default:
        glBindTexture(GL_TEXTURE_2D, tex);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(it.x, it.y);
        glTexCoord2f(0, 1);
        glVertex2f(it.x, it.y + it.h);
        glTexCoord2f(1, 1);
        glVertex2f(it.x + it.w, it.y + it.h);
        glTexCoord2f(1, 0);
        glVertex2f(it.x + it.w, it.y);
        glEnd();
    }
  }
  glDisable(GL_TEXTURE_2D);
  PLAT_gl_swap_current();
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 300;
  const int quads = argc > 2 ? std::atoi(argv[2]) : 400;
  if (frames <= 0 || quads < 0) {
    std::fprintf(stderr, "usage: bench_draw [frames > 0] [quads >= 0]\n");
    return 2;
  }
  PLAT_gl_window win;
  if (!bench_gl::open_window("bench_draw", &win)) return 1;

  std::vector<unsigned char> texels(64 * 64 * 4);
  for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<unsigned char>(i * 7);
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

  const std::vector<item> items = make_items(quads);
  // Rounds in turn: the machine may be busy with other work.
  bench::Times ours, raw;
  for (int round = 0; round < 5; ++round) {
    OGL_setstate_forget();
    ours.s.push_back(bench_gl::ms_per_frame(frames, [&] { draw_ours(items, tex); }));
    raw.s.push_back(bench_gl::ms_per_frame(frames, [&] { draw_raw(items, tex, win.width, win.height); }));
  }
  OGL_setstate_forget();

  std::printf("renderer: %s\n", ren.renderer ? ren.renderer : "?");
  bench::print_ratio(std::to_string(frames) + " frames of 1024 x 768, background + " + std::to_string(quads) +
                         " primitives, per frame",
                     ours, "raw immediate-mode OpenGL", raw, "ms");
  glDeleteTextures(1, &tex);
  PLAT_window_close(&win);
  return 0;
}
