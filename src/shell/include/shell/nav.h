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
int DoUserAlert(const char* msg);
// 1 when the yes button was pressed, else 0.
int ConfirmMessage(const char* msg, const char* yes, const char* no);
int ShowProgressMessage(const char* msg, float* progress);
uint16_t EndianFlipShort(uint16_t* v);
uint32_t EndianFlipLong(uint32_t* v);
