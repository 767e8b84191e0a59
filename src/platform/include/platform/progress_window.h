// A small window of its own beside the OpenGL one, showing a picture its caller drew.
// Stands for: the alert-class window of the Window Manager (CreateNewWindow, ShowWindow,
// centred on the main screen), its port and the flush of the port's buffer.
// Implemented on Linux (SDL2, the window's own surface, no OpenGL): one movable window centred
// on the desktop and reused by every call, showing an RGBA picture, and showing it again when
// the window system exposes it. Its input never reaches the frame loop, and the window
// manager's close box does nothing (the alert class has none). On X11 it is mapped without
// waiting for the window manager, so no call waits on one.
// Missing: the theme's drawing (the caller draws text and bars itself); on window systems other
// than X11 the first showing waits as long as the system's own showing does.
#pragma once
#include <string>

enum : int {
  PLAT_progress_no_display = -1,  // no display named, or only an invisible video driver
  PLAT_progress_no_window = -2    // the window or its surface could not be made or drawn
};

// Shows the picture (w x h pixels, 4 bytes R, G, B, A each, top row first) in the window, which
// the first call opens at w x h with the given title; later calls reuse it and draw what fits.
// 0 when shown, else one of the statuses above.
int PLAT_progress_show(const std::string& title, const unsigned char* rgba, int w, int h);
// Takes the window away; nothing when none is open. The next show opens a new one.
void PLAT_progress_close();
