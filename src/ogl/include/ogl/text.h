// Bitmap-font text and numbers: every text of the program is drawn from the glyph grid of the
// interface sheet (texture 392), one textured quad per character.
#pragma once
#include <string>
#include <vector>

enum : int {
  charset_UI_diff_space = 100,  // proportional
  charset_UI_fixed = 102,       // fixed advance 10
  charset_UI_menus_KOR = 103    // texture 396, 13 x 13 cells, advance 15
};

// The drawing unit's text state: glyph quads are enlarged by the scale when it is above 1.
struct oglp_struct {
  float text_scale = 1.0f;
};
extern oglp_struct oglp;

// Line step of wrapped text and the per-character estimate of the wrap look-ahead.
inline constexpr int OGL_line_step = 10;

// Proportional advance of a Latin-1 byte (0 for bytes without a glyph).
int OGL_char_width(unsigned char c);
// Sum of the proportional advances of every byte of the text.
int OGL_str_width(const std::string& text);
// The lines OGL_string draws the text in when it wraps it at wrap_width in the proportional
// charset (each with the break that ended it).
std::vector<std::string> OGL_wrapped_lines(const std::string& text, float wrap_width);
// Glyph cell (column, row) of a byte in the grid of charsets 100 and 102; (0, 0) is blank.
void OGL_glyph_cell(unsigned char c, int* col, int* row);

// Render state, colour and texture of a charset; writes its cell origin and size. Returns the
// fixed advance (0 for the proportional charset).
int OGL_strtex(int charset, int col, float* cell_x0, float* cell_y0, float* cell_w, float* cell_h);
// The four vertices of one glyph into an open GL_QUADS block; code is the byte as signed char.
void OGL_char(float x, float y, float cell_x0, float cell_y0, float cell_w, float cell_h, int code,
              int charset);
// One line at window coordinates; align 0 left, 1 centred on x, 2 ending at x.
void str_one_line(int col, float x, float y, const std::string& text, int charset, int align);
// Text at sub-window coordinates, wrapped at wrap_width (<= 0 or >= 9999: one line). Returns
// the y of the line, or one line step below the last wrapped line.
float OGL_string(int col, float x, float y, const std::string& text, float wrap_width, int charset,
                 int align);
// A number with `digits` places, `decimals` of them after the point.
void OGL_number(int col, float x, float y, float value, int digits, int decimals, int charset);
// Text centred on x over a half-transparent dark box.
void OGL_gray_string(int col, float x, float y, std::string text);
