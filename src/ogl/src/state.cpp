// The render-state cache behind OGL_setstate: seven remembered switches, so that a repeated
// state costs integer comparisons and no OpenGL call.
#include "ogl/state.h"

#include "foundation/records.h"

int num_units = 1;

namespace {

void gl_enable(GLenum cap) { glEnable(cap); }
void gl_disable(GLenum cap) { glDisable(cap); }
GLboolean gl_is_enabled(GLenum cap) { return glIsEnabled(cap); }
void gl_active_texture(GLenum unit) { glActiveTexture(unit); }
void gl_depth_mask(GLboolean on) { glDepthMask(on); }

struct cache {
  bool read = false;
  int o_fog = fog_fals;
  int o_tex = 0;
  int o_lit = lit_fals;
  int o_alB = 0;
  int o_alT = 0;
  int o_deR = deR_fals;
  int o_deW = deW_fals;  // not read: taken as off although OpenGL starts with writes on
};
cache c;

void read_from_gl() {
  const OGL_state_calls& gl = ogl_state_calls;
  c.o_fog = gl.is_enabled(GL_FOG) ? fog_true : fog_fals;
  c.o_tex = gl.is_enabled(GL_TEXTURE_2D) ? num_units : 0;
  c.o_lit = gl.is_enabled(GL_LIGHTING) ? lit_true : lit_fals;
  c.o_alB = gl.is_enabled(GL_BLEND) ? 1 : 0;
  c.o_alT = gl.is_enabled(GL_ALPHA_TEST) ? 1 : 0;
  c.o_deR = gl.is_enabled(GL_DEPTH_TEST) ? deR_true : deR_fals;
  c.o_deW = deW_fals;
  c.read = true;
}

}  // namespace

OGL_state_calls ogl_state_calls = {gl_enable, gl_disable, gl_is_enabled, gl_active_texture,
                                   gl_depth_mask};

void OGL_setstate_forget() { c = cache{}; }

void OGL_setstate(int fog, int units, int lit, int alpha, int depth_test, int depth_write) {
  const OGL_state_calls& gl = ogl_state_calls;
  if (!c.read) read_from_gl();

  if (fog != c.o_fog) {
    if (fog == fog_true) gl.enable(GL_FOG);
    else gl.disable(GL_FOG);
  }

  // Compared after clamping, so a request above the limit does not repeat its calls every time.
  int want = units < 0 ? 0 : units;
  int limit = ren.max_tex_units > 0 ? ren.max_tex_units : 1;
  if (want > limit) want = limit;
  if (want != c.o_tex) {
    if (want > 0) gl.enable(GL_TEXTURE_2D);
    else gl.disable(GL_TEXTURE_2D);
    num_units = want;
    const int old_n = c.o_tex;
    if (old_n > 1 || want > 1) {
      for (int k = 0; k < 8; ++k) {
        if (k >= old_n && k < want) {
          gl.active_texture(GL_TEXTURE0 + k);
          gl.enable(GL_TEXTURE_2D);
        }
      }
      for (int k = 0; k < 8; ++k) {
        if (k >= want && k < old_n) {
          gl.active_texture(GL_TEXTURE0 + k);
          gl.disable(GL_TEXTURE_2D);
        }
      }
      gl.active_texture(GL_TEXTURE0);
    }
    c.o_tex = want;
  }

  if (lit != c.o_lit) {
    if (lit == lit_true) {
      gl.enable(GL_LIGHTING);
      gl.enable(GL_LIGHT0);
    } else {
      gl.disable(GL_LIGHTING);
      gl.disable(GL_LIGHT0);
    }
  }

  // Codes outside 4..7 are taken as al_none.
  const int want_b = (alpha == al_blend || alpha == al_both) ? 1 : 0;
  const int want_t = (alpha == al_test || alpha == al_both) ? 1 : 0;
  if (want_b != c.o_alB) {
    if (want_b) gl.enable(GL_BLEND);
    else gl.disable(GL_BLEND);
  }
  if (want_t != c.o_alT) {
    if (want_t) gl.enable(GL_ALPHA_TEST);
    else gl.disable(GL_ALPHA_TEST);
  }

  if (depth_test != c.o_deR) {
    if (depth_test == deR_true) gl.enable(GL_DEPTH_TEST);
    else gl.disable(GL_DEPTH_TEST);
  }
  if (depth_write != c.o_deW) gl.depth_mask(depth_write == deW_true ? GL_TRUE : GL_FALSE);

  c.o_fog = fog;
  c.o_lit = lit;
  c.o_alB = want_b;
  c.o_alT = want_t;
  c.o_deR = depth_test;
  c.o_deW = depth_write;
}
