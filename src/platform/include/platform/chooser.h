// The desktop's own file and folder chooser, started without a shell: "zenity", else
// "kdialog". Texts reach the chooser as single arguments, never interpreted.
// Stands for: Navigation Services (NavChooseFolder, NavGetFile, NavPutFile).
// Implemented on Linux: choosing a folder, a file to open and a name to save, with a prompt and
// a starting folder; cancel tells itself apart from a chooser that cannot be started.
// Missing: file-type filters, several files at once, the caller's button label, a folder
// remembered for each kind of choice, and a chooser drawn in our own window (the shell falls
// back to its own when this reports that none could be started).
#pragma once
#include <string>

enum : int { PLAT_choose_open = 0, PLAT_choose_save = 1, PLAT_choose_folder = 2 };

// Result: 1 chosen (out = the path, no final "/" for a folder), 0 cancelled, -1 no chooser
// program could be started. `start` may be empty; for saving, `name` is the default file name.
int PLAT_choose_path(int mode, const std::string& prompt, const std::string& start,
                     const std::string& name, std::string& out);
