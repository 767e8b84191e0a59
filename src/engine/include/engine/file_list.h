// The parsed file list: one history of versions per listed path, oldest first, and the rules a
// listed path must follow before anything is written or deleted for it.
#pragma once
#include <string>
#include <vector>

// sig_have of a file that is not in the destination.
inline const std::string kSigNone = "NONE";
// sig_want of a file the product no longer ships.
inline const std::string kSigGone = "GONE";
// sig_have of a file that is there but cannot be read: it counts as changed by the user.
inline const std::string kSigUnreadable = "UNREADABLE";

// One version of one listed file: one "FILE" row.
struct file_version_struct {
  int disc_type = 0;      // 1 main disc, 2 Earth, 3 Mars, 4 Moon, 0 network edition
  int platform = 0;       // 0 all, 1 Macintosh, 2 Windows, 3 Linux, 6 Linux plug-in
  int version = 0;        // build that shipped this version
  float download_kb = 0;  // archive size, kilobytes of 1000 bytes
  float install_kb = 0;   // installed size
  std::string sig_want;   // 32 lower-case hex digits, or "GONE"
  std::string sig_have;   // "NONE", or the signature found in the destination
  std::string path;       // platform folder first: "All/Resources/x.txt"
  int have = 0;           // the destination copy equals this version
  int install = 0;        // to be fetched and unpacked
  int remove = 0;         // the destination copy is to be deleted
};

// All versions of one listed path, the newest (current) last.
struct file_history_struct {
  std::vector<file_version_struct> versions;
};

class xmap_class;

// The parsed list, in file order.
extern std::vector<file_history_struct> sim_info;

// 1 when the path's last character is "/" (it names no file).
int path_has_no_file(const std::string& path);

// 1 when a listed path stays inside the destination: not empty, relative, no "\\", and no
// empty, "." or ".." component. A path ending in "/" is judged by path_has_no_file instead.
int listed_path_is_safe(const std::string& path);

// Parses the rows of a list whose header xm has accepted into out (appended). 0 when every row
// was read; 1 (a path naming no file) or 2 (a path that is not safe) with the path in *bad_path,
// stopping at that row. Draws a parsing frame every 500 rows with message as its first line.
int parse_file_list(xmap_class& xm, std::vector<file_history_struct>& out, std::string* bad_path,
                    const std::string& message);
