// The toolkit's own modal open and save dialog: one folder of the program's tree filtered by a
// file type, walked down into and back up, with a preview of comment files and aircraft files,
// and the path field that shows a path's last name beside a folder icon that opens the desktop's
// folder chooser. Paths are relative to the program's folder and folders end in "/".
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// Sub-windows (and open_save arguments) of the two dialogs.
inline constexpr int BTN_dialog_open = 998;
inline constexpr int BTN_dialog_save = 999;
// File types 0 .. 21 (the folder listing's types).
inline constexpr int BTN_file_types = 22;
// The folder pop-up holds the root and at most this many folder levels in all.
inline constexpr int BTN_folder_levels = 300;

// The folder a type's dialog opens when it is given no path ("" the program's folder).
const char* BTN_type_folder(int file_type);
// The extension given to a name saved as that type ("" none).
const char* BTN_type_extension(int file_type);

// The folder a dialog opens for a previous path: the path less its last name (a final "/"
// belongs to that name); the root for a path without "/"; the type's folder for "".
std::string BTN_dialog_start_folder(const std::string& path, int file_type);
// The saved path for a typed name (Latin-1, as typed) in folder, or "" when the name is refused
// (empty, ".", "..", or holding "/"). A typed ".xxx" ending is replaced by the type's extension;
// types without one keep the name as typed.
std::string BTN_save_path(const std::string& folder, const std::string& typed, int file_type);
// Folder levels of a folder path: entry 0 "", entry k the path cut after its k-th name; at most
// BTN_folder_levels entries.
std::vector<std::string> BTN_folder_prefixes(const std::string& folder);
// The pop-up's rows for those levels: "Volsuite folder" then each name shown ('-' and '|' as
// blanks, UTF-8 as Latin-1), joined by '-'.
std::string BTN_folder_popup_items(const std::string& folder);
// A folder name as the staircase and the pop-up show it.
std::string BTN_folder_shown(const std::string& name);

// The comment of a ".fdr" text file: the rest of its first "COMM," line; "" when the file is
// missing, fails its header check or has none.
std::string BTN_read_fdr_comment(const std::string& path);
// Bytes of an aircraft file read for its preview.
inline constexpr size_t BTN_aircraft_top = 2092;
// Reads up to BTN_aircraft_top bytes after an aircraft file's header into top and zero-fills
// the rest; 1 when the header check passed, 0 (all zero) otherwise.
int BTN_read_aircraft_top(const std::string& path, unsigned char* top);
// The four preview texts of an aircraft file's top bytes, in drawing order, each bounded by its
// own field.
std::vector<std::string> BTN_aircraft_texts(const unsigned char* top);

// Draws the dialog's background and panels and, in the open dialog, the preview of preview_path.
void stand_io_dialog(int open_save, int file_type, std::string preview_path);
// The modal dialog: 1 with *path the chosen path, 0 when cancelled or closed.
int BTN_opensave(int open_save, int file_type, std::string* path);

// The path field: the last name of *path in a text field (the whole path for types 20 and 21)
// with a folder icon left of it that opens the folder chooser. 1 in the frame a folder was
// chosen (then *path holds it); an edit makes the edited text the path.
int BTN_select_path_stl(float x, float y, int open_save, int file_type, std::string* path, int max_len,
                        std::string label, float width, int take_focus);
// The same on the folder of *path joined with the name in the buffer `name`.
int BTN_select_file_chr(float x, float y, int open_save, int file_type, char* name, std::string* path,
                        int max_len, std::string label, float width);
// The same on a NUL-terminated buffer.
int BTN_select_path_chr(float x, float y, int open_save, int file_type, char* path, int max_len,
                        std::string label, float width, int take_focus);
