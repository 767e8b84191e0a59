// What the event layer needs of the progress window: its events are not the frame loop's.
#pragma once
#include <cstdint>

// 1 when the SDL window with this id is the progress window, else 0.
int PLAT_progress_owns(uint32_t sdl_window_id);
// Shows the last picture again, after the window system exposed the window.
void PLAT_progress_refresh();
