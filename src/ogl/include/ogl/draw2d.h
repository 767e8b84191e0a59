// The 2-D drawing layer: the window's pixel coordinate system and the immediate-mode primitives
// every screen is drawn with. Coordinates are pixels relative to the current sub-window
// (mnw.wind_x, mnw.wind_y added to every vertex), y upwards; colours are `colr` indices.
#pragma once

// Full-texture coordinates (s, t).
extern const float st00[2], st01[2], st10[2], st11[2];

// Layout fields of `mnw` from the window size; reloads the orthographic viewport once a
// sub-window is current. The argument is not used.
void OGL_pix_specs(int unused);
// Viewport and camera matrices. Mode 2: orthographic over the window (arguments ignored);
// mode 3: perspective; other modes keep the camera's projection. Leaves GL_MODELVIEW selected.
void OGL_viewport(int mode, float proj_left, float view_left, float proj_bottom, float view_bottom,
                  float proj_right, float view_right, float near, float proj_top, float view_top,
                  float far, float zoom, int keep_aspect);
// The orthographic viewport over the whole window, as every sub-window switch sets it.
inline void OGL_viewport(int mode) { OGL_viewport(mode, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0); }
void OGL_screensize(int mode, float left, float bottom, float right, float top);

// Sets the current colour of index `col` at opacity `alpha` times the global alpha.
void OGL_set_colour(int col, float alpha);

void OGL_fillrect(int col, float alpha, float x, float y, float w, float h);
void OGL_framerect(int col, float alpha, float x, float y, float w, float h);
void OGL_line(int col, float alpha, float x1, float y1, float x2, float y2);
void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha);
void OGL_fillcircle(int col, float x, float y, float r);
void OGL_framecircle(int col, float x, float y, float r);
void OGL_arc(int col, float x, float y, float r1, float r2, float d1, float d2);
// One textured quad, corners in the order given; tex <= 0 keeps the bound texture.
void OGL_2dquad(int tex, int col, float alpha, float x1, float y1, float s1, float t1, float x2,
                float y2, float s2, float t2, float x3, float y3, float s3, float t3, float x4,
                float y4, float s4, float t4, int units, int alpha_mode);
void OGL_2dquad_d(int tex, int col, float alpha, float x, float y, float s, float t, float w,
                  float h, float ds, float dt, int alpha_mode);
// Colour 34 over the whole window, whatever the current sub-window.
void OGL_plot_back_col();

void OGL_scissors(float x, float y, float w, float h);
void OGL_scissors_end();
void OGL_nrml_colors();  // normal alpha blending
void OGL_glow_colors();  // additive blending
void OGL_spectrum_rgb(float f);
// Ends the frame and swaps the buffers of the current context.
void OGL_sbuff();

// How a texture number is bound on a unit; the texture manager installs its own. Without one,
// the number is bound directly as the OpenGL texture name.
using OGL_bind_hook_fn = void (*)(int tex, int unit, int mode);
OGL_bind_hook_fn OGL_set_bind_hook(OGL_bind_hook_fn hook);
