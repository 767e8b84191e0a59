// The desktop's own file and folder chooser, started without a shell: "zenity", else
// "kdialog". Texts reach the chooser as single arguments, never interpreted.
#pragma once
#include <string>

enum : int { PLAT_choose_open = 0, PLAT_choose_save = 1, PLAT_choose_folder = 2 };

// Result: 1 chosen (out = the path, no final "/" for a folder), 0 cancelled, -1 no chooser
// program could be started. `start` may be empty; for saving, `name` is the default file name.
int PLAT_choose_path(int mode, const std::string& prompt, const std::string& start,
                     const std::string& name, std::string& out);
