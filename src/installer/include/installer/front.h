// The installer front end: the program's start-up, the per-frame installer screen, and the
// modal screens it and the install engine call (agreement, question about a changed file, scan
// progress, preferences).
#pragma once
#include <set>
#include <string>
#include <vector>

// Labels of the download servers for the screen's server buttons (network edition).
extern std::string server_desc[10];

// The whole program: start-up, frame loop until app_done, shutdown. Returns 0.
int installer_main(int argc, char** argv);

// Start-up after the shell is up: folders logged, default destination, temporary folder, state
// block, preferences, disc, "-path" (argv as given to the program).
void installer_startup(int argc, char** argv);
// Reads the installer preference file into the state block, the destination and the download
// client's proxy settings (saved again at shutdown).
void installer_read_prefs();
// The state block's start values (the words the installer owns; word 2 is kept).
void installer_reset_stg();
// The default destination for this user.
std::string installer_default_dest();
// Takes the destination from "-path FOLDER" as the first two arguments; 1 when it did.
int dest_from_command_line(int argc, char** argv);

// One frame of the installer screen (the shell calls it).
void APP_update();
void APP_handlemenu(int command);
void function_key(int key);

// The folder dialog for the destination: 1 when a folder was chosen and dest_dir_path replaced.
int pick_dest_path();
// 1 when folder (ending in "/") holds the product's four top folders.
int path_is_to_a_sim(const std::string& folder);
// The same for dest_dir_path.
int path_is_to_a_sim();

// A w x h rectangle of the panel art (texture 393) at (u, v) drawn at (x, y) as a button; 1 when
// clicked this frame with the mouse inside.
int interface_rect(float x, float y, float u, float v, float w, float h, int active, int tint);
// interface_rect for one of the screen's art buttons.
struct art_button;
int art_button_at(const art_button& b, int active, int tint);
// A 64 x 64 icon of the panel art.
int interface_icon(float x, float y, int icon);
// Kilobytes as text.
void set_size_str(float kb, std::string* out);

// Forgets the engine's leftovers of the running installation (only its own temporary files)
// and resets the progress record for the next one.
void stream_reset();

// The screen's own state between frames (tests read it).
struct screen_state_struct {
  int informed = 0;
  int disk_space_avail = 1;
  float tot_availabl = -1.0f;
  float tot_disk_req = 0.0f;
  float totl_inst_rat = 0.0f;
  std::string tot_availabl_str, tot_disk_req_str;
  float base_x1 = 132.0f, base_x2 = 1016.0f;
  std::string dir_path, dir_path_path;
  int first_call = 1;
  int version_refused = 0;
  // Why the disc (its folder, version file or file list) is refused, for the status line.
  std::string version_problem;
  std::string disc_found;       // the disc the last search found, named once in the log
  std::set<std::string> discs_refused;  // what the search said of discs others may have placed
  // The last disc the search refused, and how to use it anyway: plain words, then a path, and so
  // on (the paths alone may be cut to fit).
  std::vector<std::string> disc_passed_over;
  std::string list_tried;       // the damaged file list last tried: its path, size and time
  // The destination is not worked in: another installer holds it (busy), or its paths cannot be
  // used (code, with the path). Busy is asked again once a second; code lasts until another
  // destination is chosen.
  int dest_busy = 0;
  int dest_code = 0;
  std::string dest_bad_path;
  std::string unguarded;  // why no claim keeps other installers out of the destination, if none does
};
extern screen_state_struct screen_state;

// The scan when it is due: only in a destination this installer holds (taken now; another
// installer's makes it busy) and whose paths can be used; else the screen says why.
void screen_scan_step();
// A destination this installer never worked in is not saved for the next run: the saved one stays.
void keep_saved_destination_unless_used();

// Reads the disc's version file once it checks: sets install_name and stg word 6. 1 when read.
int read_dvd_version();
// The three frame steps before the buttons: the version file, the file list, the scan.
void screen_disc_steps();
// The Install button's work: agreement, decisions, folders, then the installation starts.
void press_install();

// The agreement: 1 once accepted, 0 when declined or closed.
int handle_EULA();
// The question about a file the user changed: 1 act, 2 keep, 3 cancel, 4 act for the folder,
// 5 keep for the folder.
int select_alert(std::string path, int deleting);
// One complete frame of the scan's progress, swapped at once.
void dir_progress_bar(float lo, float val, float hi, int kind, std::string line1, std::string line3);

// Rows of the preferences screen's target-system list; state block word 1 is 1 + the row.
inline constexpr const char* prefs_os_items = "Macintosh-Windows-Linux";
// The preferences screen: modal in sub-window 2 until the shell closes it (Return or a close
// box); it edits the state block's option words and the download client's proxy directly.
void handle_prefs();
// One pass of its widgets over the cleared window, in sub-window 2's coordinates.
void prefs_pass();
