// The system's message box for alerts shown without OpenGL: the text always goes to standard
// error; a box is shown only when a display is there, and never blocks without one.
// Stands for: StandardAlert and the caution alerts of the Dialog Manager.
// Implemented on Linux (SDL2): a modal box with one button, and a question with two, each also
// written to standard error; the box's text wrapped to keep it within a 1024-pixel screen; TERM
// and INT end the program while a box waits, and the box's own process never outlives it.
// Missing: icons, a third button, the help button, and any box without a display.
#pragma once
#include <string>

// Shows title and text in a modal stop box; returns once the user dismissed it (or at once
// when no box can be shown). Returns 1 when a box was shown, else 0.
int PLAT_message_box(const std::string& title, const std::string& text);

// Tests replace the box (null restores the real one). Returns the one installed before.
using PLAT_message_box_fn = int (*)(const std::string& title, const std::string& text);
PLAT_message_box_fn PLAT_set_message_box(PLAT_message_box_fn fn);

// A caution box with two buttons: 1 when yes was pressed, 0 for no, a closed box, or no
// display (then the text only goes to standard error).
int PLAT_question_box(const std::string& title, const std::string& text, const std::string& yes,
                      const std::string& no);
