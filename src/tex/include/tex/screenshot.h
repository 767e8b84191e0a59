// Screenshots of the window as numbered PNG files beside the program, and the large background
// picture cut into sixteen 512 x 512 tile textures and drawn behind a screen.
#pragma once
#include <string>

// The background picture: "intro" with the edition word, in the program's bitmaps folder.
inline constexpr const char* back_tex_path = "Resources/bitmaps/intro_dvd.png";
// Tile (row r, column c), r and c 0..3, is texture back_tex_first + 4r + c and holds picture
// pixels from (512c, 512r) on; row 0 holds the bottom rows.
inline constexpr int back_tex_first = 427;
inline constexpr int back_tile = 512;

// Size in pixels of the picture last cut into tiles (0 before).
extern int back_dx, back_dy;

// Reads the window (the middle 2048 x 2048 pixels at most) into the scratch image as RGB; with
// save != 0 writes it as the next free "screenshot_N.png" of the current folder.
void OGL_screenshot(int save);
// The next free screenshot name after *shot, which it advances: any existing entry of that
// name (file, folder or link) is taken.
std::string OGL_next_screenshot_name(int* shot);

// Loads the picture and cuts it into the tiles; only before the first sub-window is opened.
// A missing picture is a fatal alert.
void OGL_make_back_tex();
// Draws the tiles over the picture's place in the window.
void OGL_plot_back_tex();
