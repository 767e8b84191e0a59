// The install engine: scan the file list against the destination, decide per file, make the
// folder tree, then install one step per call. All of it runs on the main thread.
#pragma once
#include <cstdint>
#include <set>
#include <string>

#include "engine/file_list.h"
#include "engine/front_hooks.h"
#include "engine/progress.h"

// ---- Globals shared with the front end -------------------------------------------------------

// Folders inside the destination that lost a file, each ending in "/"; emptied by every scan.
extern std::set<std::string> deleted_files;
// 1 when the last scan found a platform file (1, 2 or 3) to install.
extern int this_install_has_exes;
// What the last scan found to do: files to install, and files present that the list drops.
// The kilobyte totals truncate, so these counts (not stg 1311) say whether there is work.
extern int scan_install_count;
extern int scan_delete_count;
// What the files to install take on the destination's volume, in bytes: each file's listed size
// (which the list truncates to whole kilobytes) rounded up to whole blocks of the volume, and
// one block for each folder they lie in. Free space is measured against this, not the kilobytes.
extern uint64_t scan_need_bytes;
// Bytes a file of kb listed kilobytes takes on a volume of block-byte blocks.
uint64_t bytes_on_volume(float kb, uint64_t block);
// Files the next scans read at once; 0 (the default) chooses by the destination's storage.
extern int scan_readers;
// 1 when make_dirs created the destination folder itself during this run.
extern int dest_dir_created;
// Leaf name and full path of the archive being worked on, for the status line.
extern std::string crnt_file_name;
extern std::string crnt_file_path;
// Host and path prefix of each download server (network edition).
extern std::string server_name[10];
extern std::string server_path[10];

// ---- Destination paths ----------------------------------------------------------------------

// Makes a destination folder absolute (a relative one is taken from the current folder) and
// ending in "/". An empty path stays empty.
void normalize_dest_dir(std::string& path);
// Removes the first path component and the "/" after it; a path without "/" stays unchanged.
void trim_dest_folder(std::string& path);
// dest_dir_path + the listed path without its platform folder.
std::string dest_path_of(const std::string& listed_path);
// Why an installation of the parsed list into folder dest cannot be made (path_problem's code:
// a file's path there, or the unpacker's temporary name beside it, too long, or a name the
// file layer refuses), with that path in *path; 0 when every wanted file's path can be used.
int dest_paths_problem(const std::string& dest, std::string* path);
// The folders of the operating system: 0 application, 1 desktop, 2 applications, 3 temporary,
// 4 preferences; out ends in "/". 0, or an errno value with out unchanged.
int get_OS_abs_path(int which, std::string& out);

// ---- Scan -----------------------------------------------------------------------------------

// Reads the unpacked list at path into sim_info, signs every listed file in the destination
// folder dest (none when empty) and totals stg 1310/1311 and the counts above. STAGE_scanned
// when read and scanned, STAGE_list_bad when the header or the version is refused,
// STAGE_scan_due when dest cannot take the list's paths (dest_paths_problem): then nothing in
// dest has been looked at or touched. A missing list, or a row naming no file or an unsafe
// path, is fatal.
int read_directory(const std::string& path, std::string message, std::string dest);
// The same in dest_dir_path (made absolute with its final "/" first).
int read_directory(const std::string& path, std::string message);

// Network edition: the servers' list is newer than this installer reads. Tells the user, opens
// the product's page and ends the program after the frame.
void new_format(std::string path);
// The product's web page.
inline const char* const kProductPage = "https://www.volarium.example/download/";

// ---- Decisions ------------------------------------------------------------------------------

// 1 when version `version` of history `file` is for the target system of stg word 1 and `disc`.
int want_this_f(int file, int version, int disc);
// Sets install/remove of every newest version, asking about files the user changed. 0 when the
// user cancelled the whole installation, else 1. Touches nothing on disk.
int choose_files();

// ---- Folders --------------------------------------------------------------------------------

// Creates the destination and its ancestors, the folders of every wanted file and the fixed
// folders, and moves aside framework entries that must become links. A folder that cannot be
// made (something other than a folder in its place counts as "Not a directory"), or one that is
// a link leading outside the destination with a file to install below it, stops it with one
// alert and stg word 5 set: the installation must not start.
void make_dirs();
// The alert for a folder that cannot be made.
void make_dir_error(std::string path, int code);

// ---- Install steps --------------------------------------------------------------------------

// One pass over the stream slots of `next`. While work remains: 0. After an error (stg word 5
// = 1): 1, with what waited to be put in place removed and the done flag left unset. At the end
// (every unpacked file in place, emptied folders removed, destination maybe renamed): 1. Since
// 1 also follows an error, callers check stg word 5 to tell them apart.
int grab_files();
// The extension of the archive that carries a listed file: ".7z" for the scenery tiles (paths
// that contain "Rovade Vovavod"), ".zip" for everything else.
std::string listed_archive_ext(const std::string& listed_path);
// Unpacks archive into the folder of dest, where what it holds waits under temporary names
// until its signature is back (at this or a later grab_files): only a file with the signature
// that sim_info lists for `file` (its newest version) is put in place, counted as had, and
// made executable under "Contents/MacOS/". On failure, or on another signature: stg word 5 = 1
// and an alert, and dest stays as it was. Returns the unpack result.
int extract_and_delete_file(std::string archive, std::string dest, int file);
// Streams for a transfer rate in kB/s; pref (stg 1308) overrides when non-zero; a disc uses 1.
int choose_stream_count(float rate, int pref, int disc);
