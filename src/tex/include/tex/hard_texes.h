// The three built-in images of the installer, embedded as raw pixels (4 bytes R, G, B, A, bottom
// row first), and their loading as textures 392, 393 and 394.
#pragma once

extern "C" {
// The interface sprite sheet: 512 x 512.
extern const unsigned char t_interface_dat[1048576];
// The installer panel art: 1010 x 764 x 4 bytes, laid out in rows of 1024 pixels.
extern const unsigned char t_installer_dat[3086560];
// The background: 1024 x 768.
extern const unsigned char t_ins_back_1_dat[3145728];
}

// Loads the three pictures as textures 393, 394 and 392 (in that order) through the scratch
// image, which keeps the 512 x 512 interface sheet afterwards for the palette.
void recall_ins_texes();
