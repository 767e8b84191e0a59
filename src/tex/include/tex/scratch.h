// The global scratch image: where the built-in images are staged and screenshots are read,
// and the default source of "scratch_array" textures.
#pragma once

// 2048 x 2048 pixels of 4 bytes, 16-byte aligned, zero-filled at start.
extern unsigned char* scratch_array;
// Width and height in pixels of its current content.
extern int scratch_dx, scratch_dy;
