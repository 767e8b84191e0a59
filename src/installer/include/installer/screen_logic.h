// The installer screen's decisions, kept apart from drawing so that each can be checked alone:
// destination defaults, the version file, status and disk-space texts, sizes, time left and
// the geometry of the two progress bars.
#pragma once
#include <string>

// ---- Destination ----------------------------------------------------------------------------

// The path cut just after its last "/" that is not its final character; unchanged without one.
std::string parent_folder(const std::string& path);
// The applications folder walked up ten times (never above home when home is under it), plus
// "Volarium 9/".
std::string default_dest_from(const std::string& apps_folder, const std::string& home);
// A folder path with a final "/" (an empty one stays empty).
std::string with_final_slash(const std::string& path);
// What the folder dialog's choice becomes: "/" kept, else a final "/" added; then, unless the
// folder already holds the product, the product folder ("Volarium 9/" before the disc is read,
// else the disc's version folder) appended.
std::string dest_from_choice(const std::string& chosen, bool holds_product, const std::string& version_name);
// 1 when the folder kinds/names (kind 1 = folder) include the product's four top folders, each
// found as a part of a folder's name.
int names_hold_product(const std::string* names, const int* kinds, int count);

// ---- Version file ---------------------------------------------------------------------------

// The last "VERSION" line's value in the text after the header (begin..end), or empty.
std::string version_from_lines(const char* begin, const char* end);
// A version folder name the installer may join to the disc's path: not empty, ".", "..", and
// without "/".
bool version_name_ok(const std::string& name);
// Why a version folder name is refused, as the status line says it; empty for a usable name.
std::string version_name_problem(const std::string& name);

// ---- Preferences ---------------------------------------------------------------------------

// The proxy port a port text gives: its number when the text is decimal digits naming a port
// (1..65535), else `previous`, so that an empty or mistyped text never becomes a wrong port.
int proxy_port_from_text(const std::string& text, int previous);

// ---- Texts ----------------------------------------------------------------------------------

// Kilobytes as " Meg" (below 1000 megabytes) or " Gig" text with one decimal.
std::string size_text(float kb);

struct screen_line {
  std::string text;
  int colour = 46;
};

// The status line under the title: the first case that applies. has_work: the scan found files
// to install or delete; disc_problem: why the disc found is refused (empty when it is not);
// unguarded: why nothing keeps other installers out of the scanned destination (empty when held).
screen_line status_line(int done, int stage, int run_state, bool has_work,
                        const std::string& disc_problem = std::string(), const std::string& unguarded = std::string());

// The idle frame's three message lines and the disk-space verdict. avail_kb < 0: unknown, and
// *space_ok keeps its value. room_kb: what the files take on the volume (whole blocks, and their
// folders), which the free space must exceed; below 0 it is need_kb.
struct idle_lines {
  screen_line l[3];
};
idle_lines idle_messages(int stage, bool has_work, float need_kb, float avail_kb,
                         const std::string& version_name, int* space_ok, float room_kb = -1.0f);

// The three message lines for a destination this installer does not work in: busy (another
// installer holds it), else why its paths cannot be used (dest_paths_problem's code and path).
idle_lines destination_refused(bool busy, int code, const std::string& dest, const std::string& path);

// 1 when Install may be pressed.
int install_enabled(int space_ok, int run_state, int stage, bool has_work);

// The installing frame's three lines. files: listed files; file: index slot 0 works on;
// elapsed: seconds since the start; done_ratio: 0..1; kb_done: installed kilobytes.
idle_lines installing_messages(int phase, const std::string& file_name, float done_ratio, float kb_done,
                               const std::string& need_text, int files, int file, float elapsed);
// "N seconds" / "N minutes" / "N hours" for a time left in seconds (truncated).
std::string time_left_text(double seconds);
// Installed fraction of the need, kept within 0..1 (0 when nothing is needed).
float install_ratio(float kb_done, float need_kb);

// ---- Geometry -------------------------------------------------------------------------------

// Rounds to the nearest whole number, halves away from zero.
float round_half_away(float v);
struct bar_geom {
  float centre = 0, width = 0;
};
// The progress track between x1 and x2 (centre on an even pixel, width a multiple of 4).
bar_geom progress_track(float x1, float x2);
// The fill for the installed ratio; width 0 when no fill is shown (not installing, or 2 % or
// less).
bar_geom progress_fill(float x1, float x2, float ratio, bool installing);
// The scan bar's filled fraction: 0.04..1, or 0.52 when lo equals hi.
float scan_fraction(float lo, float val, float hi);
// The middle line of the scan frame for kind 0 and 1; empty for any other kind.
std::string scan_middle_line(int kind);

// ---- The question about a changed file ------------------------------------------------------

struct question_texts {
  std::string first, third, act, act_all, keep, keep_all, cancel;
};
question_texts question_texts_for(int deleting);

// ---- The agreement --------------------------------------------------------------------------

// The licence of the sample product, one paragraph per entry, ending with an empty text.
extern const char* const eula_paragraphs[];
