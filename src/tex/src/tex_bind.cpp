// The bind cache: every textured quad of every frame passes through here, so an unchanged
// bind costs two comparisons and no OpenGL call.
#include "tex/tex_bind.h"

#include <GL/glext.h>

#include "foundation/records.h"
#include "ogl/extensions.h"

int o_tex[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
int o_mod[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
float gKillTex = 0.0f;

namespace {

void gl_active_texture(GLenum unit) {
  static auto fn = reinterpret_cast<PFNGLACTIVETEXTUREPROC>(aglGetProcAddress("glActiveTextureARB"));
  if (fn) fn(unit);
}
void gl_bind_texture(GLenum target, GLuint tex) { glBindTexture(target, tex); }
void gl_tex_env_i(GLenum t, GLenum p, GLint v) { glTexEnvi(t, p, v); }
void gl_tex_env_f(GLenum t, GLenum p, GLfloat v) { glTexEnvf(t, p, v); }
void gl_tex_env_fv(GLenum t, GLenum p, const GLfloat* v) { glTexEnvfv(t, p, v); }

// Mode 24 passes its settings through the float form of the call.
bool g_env_float = false;
void env(GLenum p, GLint v) {
  if (g_env_float) tex_bind_calls.tex_env_f(GL_TEXTURE_ENV, p, GLfloat(v));
  else tex_bind_calls.tex_env_i(GL_TEXTURE_ENV, p, v);
}

enum src_op { P_C, P_A, P_1A, T_C, T_A, K_C, K_A, Q_C };  // previous, texture, constant, primary

void arg(int n, bool alpha, src_op s) {
  GLenum src = 0, op = 0;
  switch (s) {
    case P_C: src = GL_PREVIOUS; op = GL_SRC_COLOR; break;
    case P_A: src = GL_PREVIOUS; op = GL_SRC_ALPHA; break;
    case P_1A: src = GL_PREVIOUS; op = GL_ONE_MINUS_SRC_ALPHA; break;
    case T_C: src = GL_TEXTURE; op = GL_SRC_COLOR; break;
    case T_A: src = GL_TEXTURE; op = GL_SRC_ALPHA; break;
    case K_C: src = GL_CONSTANT; op = GL_SRC_COLOR; break;
    case K_A: src = GL_CONSTANT; op = GL_SRC_ALPHA; break;
    case Q_C: src = GL_PRIMARY_COLOR; op = GL_SRC_COLOR; break;
  }
  GLenum src_name = alpha ? GL_SOURCE0_ALPHA + n : GL_SOURCE0_RGB + n;
  GLenum op_name = alpha ? GL_OPERAND0_ALPHA + n : GL_OPERAND0_RGB + n;
  env(src_name, GLint(src));
  env(op_name, GLint(op));
}

struct combiner {
  int mode;
  GLenum rgb;
  int nrgb;
  src_op r[3];
  GLenum alpha;
  int nalpha;
  src_op a[3];
  int constant;  // -1 none, else the value of all four components
  int alpha_scale;  // 0: not set
};

const combiner k_combiners[] = {
    {1, GL_ADD, 2, {P_C, T_C}, GL_REPLACE, 1, {P_A}, -1, 1},
    {2, GL_ADD, 2, {P_C, T_C}, GL_ADD, 2, {P_A, T_A}, -1, 1},
    {10, GL_MODULATE, 2, {P_C, T_C}, GL_REPLACE, 1, {T_A}, -1, 1},
    {11, GL_REPLACE, 1, {P_C}, GL_SUBTRACT, 2, {T_A, P_A}, -1, 4},
    {12, GL_REPLACE, 1, {P_C}, GL_MODULATE, 2, {P_1A, T_A}, -1, 1},
    {13, GL_MODULATE, 2, {P_C, P_1A}, GL_REPLACE, 1, {K_A}, 1, 1},
    {14, GL_REPLACE, 1, {P_C}, GL_REPLACE, 1, {P_A}, -1, 1},
    {15, GL_REPLACE, 1, {P_C}, GL_REPLACE, 1, {K_A}, 1, 1},
    {16, GL_MODULATE, 2, {P_C, T_C}, GL_REPLACE, 1, {K_A}, 1, 1},
    {17, GL_REPLACE, 1, {T_A}, GL_REPLACE, 1, {K_A}, 1, 1},
    {18, GL_INTERPOLATE, 3, {T_C, P_C, T_A}, GL_REPLACE, 1, {P_A}, -1, 1},
    {19, GL_INTERPOLATE, 3, {T_C, P_C, P_A}, GL_REPLACE, 1, {P_A}, -1, 1},
    {20, GL_MODULATE, 2, {P_C, T_A}, GL_REPLACE, 1, {P_A}, -1, 1},
    {21, GL_INTERPOLATE, 3, {T_C, P_C, K_C}, GL_INTERPOLATE, 3, {T_A, P_A, K_A}, -1, 1},
    {22, GL_INTERPOLATE, 3, {T_C, K_C, T_A}, GL_REPLACE, 1, {P_A}, -1, 1},
    {23, GL_MODULATE, 2, {P_C, Q_C}, GL_REPLACE, 1, {P_A}, -1, 0},
    {24, GL_INTERPOLATE, 3, {Q_C, K_C, T_C}, GL_REPLACE, 1, {T_A}, 0, 1},
};

const combiner* find_combiner(int mode) {
  for (const combiner& c : k_combiners)
    if (c.mode == mode) return &c;
  return nullptr;
}

void apply_combiner(const combiner& c) {
  tex_bind_calls.tex_env_i(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
  g_env_float = c.mode == 24;
  env(GL_COMBINE_RGB, GLint(c.rgb));
  for (int i = 0; i < c.nrgb; ++i) arg(i, false, c.r[i]);
  env(GL_COMBINE_ALPHA, GLint(c.alpha));
  for (int i = 0; i < c.nalpha; ++i) arg(i, true, c.a[i]);
  if (c.constant >= 0) {
    GLfloat k[4] = {GLfloat(c.constant), GLfloat(c.constant), GLfloat(c.constant), GLfloat(c.constant)};
    tex_bind_calls.tex_env_fv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, k);
  }
  if (c.alpha_scale) env(GL_ALPHA_SCALE, c.alpha_scale);
  g_env_float = false;
}

void set_env(int mode) {
  const combiner* c = glExt.combine_avail ? find_combiner(mode) : nullptr;
  if (c) apply_combiner(*c);
  else tex_bind_calls.tex_env_i(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
}

}  // namespace

TEX_bind_calls tex_bind_calls = {gl_bind_texture, gl_active_texture, gl_tex_env_i, gl_tex_env_f,
                                 gl_tex_env_fv};

void TEX_bind_ref(int tex, int unit, int mode) {
  const int eff = mode == 0 ? GL_MODULATE : mode;
  if (gKillTex != 0.0f && tex != 392) tex = 930;
  if (unit < 0) return;
  if (unit > 7) {
    // Outside the cache: bound every time, and the cache of unit 0 stays as it was.
    tex_bind_calls.active_texture(GL_TEXTURE0 + unit);
    tex_bind_calls.bind_texture(GL_TEXTURE_2D, GLuint(tex));
    if (eff != 25) set_env(eff);
    tex_bind_calls.active_texture(GL_TEXTURE0);
    return;
  }
  if (o_tex[unit] == tex && o_mod[unit] == eff) return;
  if (unit > 0) tex_bind_calls.active_texture(GL_TEXTURE0 + unit);
  if (o_tex[unit] != tex) {
    tex_bind_calls.bind_texture(GL_TEXTURE_2D, GLuint(tex));
    o_tex[unit] = tex;
  }
  if (eff != 25 && eff != o_mod[unit]) {
    o_mod[unit] = eff;
    set_env(eff);
  }
  if (unit > 0) tex_bind_calls.active_texture(GL_TEXTURE0);
}

void TEX_reset_bind() {
  for (int i = 0; i < 8; ++i) o_tex[i] = o_mod[i] = -1;
}

void TEX_set_blend_level(int unit, float level) {
  if (unit < 0 || unit >= ren.max_tex_units) return;
  if (unit > 0) tex_bind_calls.active_texture(GL_TEXTURE0 + unit);
  GLfloat k[4] = {level, level, level, level};
  tex_bind_calls.tex_env_fv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, k);
  if (unit > 0) tex_bind_calls.active_texture(GL_TEXTURE0);
}
