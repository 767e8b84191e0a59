// A value shown in a text-field box centred on a point, with a widget label's left and right
// parts on either side of the box.
#pragma once
#include <string>

// Width of the box for a value: charset 102 ten pixels a byte, charset 100 the proportional
// width, both plus 7; any other charset 100.
float OGL_boxed_width(const std::string& value, int charset);
// Draws the box (text-field style) centred on x, the label's parts 8 pixels left and right of
// it and the value in colour col from 4 pixels inside its left edge.
void OGL_boxed_string(float x, float y, const std::string& label, const std::string& value, int charset,
                      int col);
