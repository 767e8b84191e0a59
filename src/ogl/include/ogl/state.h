// The render-state cache: every drawing routine sets its fixed-function switches through
// OGL_setstate, which sends OpenGL only the switches that change.
#pragma once
#include <GL/gl.h>

enum : int {
  fog_true = 0,
  fog_fals = 1,
  lit_true = 2,
  lit_fals = 3,
  al_none = 4,   // blending off, alpha test off
  al_blend = 5,  // blending on
  al_test = 6,   // alpha test on
  al_both = 7,   // both on
  deR_true = 8,
  deR_fals = 9,
  deW_true = 10,
  deW_fals = 11
};

// Texture units last enabled by OGL_setstate, after clamping to the renderer's unit count.
extern int num_units;

void OGL_setstate(int fog, int units, int lit, int alpha, int depth_test, int depth_write);

// Makes the next OGL_setstate read the switches from OpenGL again, as on its first call; for a
// context that was just created.
void OGL_setstate_forget();

// The OpenGL calls the cache makes. They point at OpenGL itself; tests put counting wrappers
// in their place.
struct OGL_state_calls {
  void (*enable)(GLenum) = nullptr;
  void (*disable)(GLenum) = nullptr;
  GLboolean (*is_enabled)(GLenum) = nullptr;
  void (*active_texture)(GLenum) = nullptr;
  void (*depth_mask)(GLboolean) = nullptr;
};
extern OGL_state_calls ogl_state_calls;
