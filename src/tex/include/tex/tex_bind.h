// The texture-unit bind cache: binds a texture name on a unit and sets the unit's texture
// environment for a blend mode, skipping both when the unit already holds them.
#pragma once
#include <GL/gl.h>

// Bind modes: 0 GL_MODULATE; 25 leaves the environment alone; 1, 2 and 10..24 are combiner
// set-ups when combining is available; anything else is a GL_TEXTURE_ENV_MODE value.
using tex_bind_mode = int;

// What each unit 0..7 last had bound and which mode it was set to; -1 unknown.
extern int o_tex[8];
extern int o_mod[8];

// Debug switch "perf/kill_tex": while not 0 every texture but 392 binds the blank one (930).
extern float gKillTex;

void TEX_bind_ref(int tex, int unit, int mode);
// Forgets the cache (after a new context, or after others bound textures behind its back).
void TEX_reset_bind();
// The constant colour (level, level, level, level) of a unit's environment.
void TEX_set_blend_level(int unit, float level);

// The OpenGL calls the cache makes; tests put counting wrappers in their place.
struct TEX_bind_calls {
  void (*bind_texture)(GLenum, GLuint);
  void (*active_texture)(GLenum);
  void (*tex_env_i)(GLenum, GLenum, GLint);
  void (*tex_env_f)(GLenum, GLenum, GLfloat);
  void (*tex_env_fv)(GLenum, GLenum, const GLfloat*);
};
extern TEX_bind_calls tex_bind_calls;
