// Native dialogs: the desktop's file and folder chooser, a message box, a yes/no question, a
// progress window, and byte-order routines.
#pragma once
#include <cstddef>
#include <cstdint>

// mode 0 choose a file, 1 name a file to save (out also gives the default name), 2 choose a
// folder. 1 when a path was chosen and copied into out (no final "/"), else 0: cancelled,
// another mode, or a path that does not fit out_size bytes with its terminator. A null folder
// opens at the chooser's default.
int GetFilePathFromUser(int mode, const char* prompt, const char* button, int key, const char* folder,
                        char* out, size_t out_size = 1024);
// Texts reach the boxes and the progress window cut to 255 characters.
// A stop box with one button: 0 once it was shown and dismissed, non-zero when none could be
// shown (no display, or the box failed).
int DoUserAlert(const char* msg);
// 1 when the yes button was pressed, else 0.
int ConfirmMessage(const char* msg, const char* yes, const char* no);
// The progress window, opened by the first call beside the program's window and reused: msg
// word-wrapped, and with a progress value a bar, filled in proportion for 0 to 1 and animated
// (moving by each call) when negative. Never waits for the window system. 0 when shown; without
// a display, or when the window cannot be made, PLAT_progress_no_display or _no_window, and msg
// with the progress in per cent goes to the log instead. A null msg takes the window away
// (shutdown does too).
int ShowProgressMessage(const char* msg, float* progress);
uint16_t EndianFlipShort(uint16_t* v);
uint32_t EndianFlipLong(uint32_t* v);
