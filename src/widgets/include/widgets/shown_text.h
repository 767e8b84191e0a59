// Paths and names as the screens draw them: UTF-8 turned into the font's Latin-1 bytes, "?" for
// each character the font has no glyph for, then cut around "..." to fit a box in the
// proportional charset.
#pragma once
#include <string>
#include <vector>

// One line of at most width pixels: the start of the path, "..." and its last name (a folder's
// name when the path ends in "/"); when even the name does not fit, "..." and the end.
std::string BTN_path_shown(const std::string& utf8, float width);
// One line of at most width pixels: "..." and the end of the text.
std::string BTN_end_shown(const std::string& utf8, float width);
// One line of at most width pixels: as much of the start as of the end, around "...".
std::string BTN_middle_shown(const std::string& utf8, float width);
// The parts joined on one line of at most width pixels, where only the odd parts (paths) are cut,
// each in its middle, so that the words around them stay whole.
std::string BTN_parts_shown(const std::vector<std::string>& utf8_parts, float width);
// The text cut in its middle until, wrapped at wrap_width, it takes at most max_lines lines and
// none is wider than max_width.
std::string BTN_lines_shown(const std::string& utf8, float wrap_width, int max_lines, float max_width);
