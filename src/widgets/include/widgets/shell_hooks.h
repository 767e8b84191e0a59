// What the widgets need from the shell above them: the modal widgets (the file dialog, the path
// field) run whole frames, open sub-windows, ask the desktop for a folder and ask the user a
// question. The shell installs these at start-up; tests install fakes. Unset hooks do nothing
// (a folder choice is cancelled, a question answered no).
#pragma once
#include <cstddef>

struct BTN_shell_hooks {
  // One frame of the shell's loop (events, frame clock, overlays, buffer swap).
  void (*run_frame)() = nullptr;
  // Makes sub-window id current; the second argument is passed through.
  void (*start_window)(int id, int second) = nullptr;
  // The modal folder chooser: 1 with the chosen folder in out (no final "/"), 0 when cancelled
  // or when the path does not fit out_size bytes. A null start folder opens at the default.
  int (*choose_folder)(const char* prompt, const char* button, const char* start, char* out,
                       size_t out_size) = nullptr;
  // The shell's yes/no question: 1 for yes. Unset, every question is answered no.
  int (*confirm)(const char* message, const char* yes, const char* no) = nullptr;
};

// Installs the hooks (copied); returns the previous set.
BTN_shell_hooks BTN_set_shell_hooks(const BTN_shell_hooks& hooks);
const BTN_shell_hooks& BTN_get_shell_hooks();

// The calls the widgets make through the hooks.
void BTN_run_frame();
void BTN_start_window(int id, int second);
int BTN_choose_folder(const char* prompt, const char* button, const char* start, char* out,
                      size_t out_size);
int BTN_confirm(const char* message, const char* yes, const char* no);
