// Start-up and shutdown of the process: log file and its header, window and OpenGL context,
// worker threads, built-in images and interface palette; and the shutdown that undoes them.
#pragma once
#include <string>

#include "foundation/shell_state.h"

// The program's name on its windows.
inline constexpr char ZARIRU_window_title[] = "Volarium Installer";

// From nothing to a drawn window with a current OpenGL context; a fatal alert when the
// graphics cannot be set up.
void ZARIRU_init(int argc, const char* const* argv);
inline void ZARIRU_init(int argc, char** argv) { ZARIRU_init(argc, const_cast<const char* const*>(argv)); }
// Shutdown: save 1 on a normal quit (preferences unless "--fps_test", workers stopped), 0 on a
// fatal path. Runs at most once; later calls do nothing.
void ZARIRU_finishup(int save);

// Writes the folder that holds the application into *out, then empties app_path.
void ZARIRU_set_app_path(std::string* out);
// The folder part of an executable's path: cut at the last "/Contents/MacOS/" when present,
// then drop the last component (keeping the "/" before it).
std::string ZARIRU_app_folder_of(const std::string& exe_path);

// The folder the process was started from (ending in "/"), before start-up moved to the
// application's folder: relative paths given on the command line are relative to it.
std::string ZARIRU_start_folder();

// on 1 at start-up, 0 at shutdown: records the screen size; never changes the resolution.
void ZARIRU_setres(int on);
extern int g_mon_x_res_now, g_mon_y_res_now;

// Window 0 with its OpenGL context; 1 on success, 0 on failure. Window 1 is never made.
int ZARIRU_make_context(int which);
void ZARIRU_nuke_context(int which);
// A context sharing objects with the main one, for a worker thread; null when impossible.
void* ZARIRU_make_context_loader();
// Makes ctx current on the calling thread: 1 on success, else 0.
int ZARIRU_set_context_loader(void* ctx);

// One start-up message screen, swapped; nothing until the first sub-window was started.
void ZARIRU_show_init(const std::string& text, float* progress);
void IBM_turnoff();
// One pending event for the master writer's status strip: 1 when "q" was typed (or the window
// was closed), else 0.
int ZARIRU_master_poll();
// The master writer's status strip in the window: the two lines drawn and swapped, then
// ZARIRU_master_poll. The program that runs master passes in its window installs it.
int ZARIRU_master_strip(const std::string& line1, const std::string& line2);

// The log path: the desktop folder (the home folder when there is none) + "Log.txt".
std::string ZARIRU_log_path();
// Opens the log for this run, and puts its reports beside it: that log, or, while another
// running program writes it, "Log-" + this process's id + ".txt" (reports tagged the same way).
void ZARIRU_open_log();
// The log header, written once at start-up.
std::string ZARIRU_log_header();
// The processor name the log header prints for a processor type value (ok 0: query failed).
std::string ZARIRU_cpu_type_name(int value, int ok);
// Colours 34..47 of the interface palette from the 512 x 512 interface sheet (4 bytes a pixel).
void ZARIRU_palette_from_sheet(const unsigned char* sheet);
// Fills randrat, lookup_sin and lookup_cos.
void ZARIRU_fill_tables();
