// How the widget unit puts quads, texts and swaps on screen: one batch per drawer through the
// render-state cache and the texture manager, or into the sink a test installed.
#pragma once
#include <string>

#include "widgets/butn.h"

namespace btn_draw {

// Sheet units per texture coordinate: 392 is 512 pixels wide, 393 is counted in 1/1024.
float sheet_scale(int tex);

// True while a test's sink takes the drawing (OpenGL is not touched then).
bool to_sink();
// Text as the text layer draws it; returns what the text layer returns (the y of the line, or a
// line step below the last wrapped line), or y when a sink takes it.
float text_y(int colour, float x, float y, const std::string& s, float wrap, int charset, int align);
// A rectangle's outline, as four lines through pixel centres.
void framerect(int colour, float alpha, float x, float y, float w, float h);

// One batch of quads of texture `tex`, tinted with `colour` at opacity 1, alpha blending.
void begin(int tex, int colour);
// A quad of the open batch, sub-window pixels and sheet units.
void piece(float x0, float y0, float x1, float y1, float sx0, float sy0, float sx1, float sy1);
void end();

// A single sprite quad as OGL_2dquad draws it (texture 392, opacity 1, alpha mode 5).
void sprite(int colour, float x0, float y0, float x1, float y1, float sx0, float sy0, float sx1,
            float sy1);
// The same sprite turned by `degrees` counter-clockwise about (cx, cy), the point it is centred on.
void turned_sprite(int colour, float cx, float cy, float half_w, float half_h, float degrees, float sx0,
                   float sy0, float sx1, float sy1);

void text(int colour, float x, float y, const std::string& s, float wrap, int charset, int align);
void swap();
void fillrect(int colour, float alpha, float x, float y, float w, float h);
void line(int colour, float alpha, float x1, float y1, float x2, float y2);
void scissors(float x, float y, float w, float h);
void scissors_end();
// A number with `digits` places, `decimals` of them after the point, as the fixed charset shows
// it, its digits taken from the exact value (not a single-precision copy).
void number(int colour, float x, float y, double value, int digits, int decimals, int charset);
// The digit of each cell of such a number, highest first; empty when the value cannot be split
// exactly (too large or not finite).
std::string number_cells(double value, int digits, int decimals);

}  // namespace btn_draw

// Source name of the widget unit's alerts.
inline constexpr const char* kButnUnit = "DUdurid/OOPS_cpp/butn";
