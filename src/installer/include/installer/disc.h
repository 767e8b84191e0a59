// Finding the mounted install disc: the folder named by "--disc=", else the first mounted
// volume or media folder that holds a "dvd_version.txt" with a good header and that only this
// user or the system could have placed: judged by who mounted it and, on a writable file system,
// by the owners and modes of its files, before anything in it is looked up. What is read of the
// disc afterwards comes from the folder that was judged, whatever its path names by then.
#pragma once
#include <string>
#include <vector>

// 1 when the taken disc (dvd_path, as find_disc or disc_take took it) holds a "dvd_version.txt"
// (in any letter case, no larger than a version file ever is) whose header checks; then *name,
// when given, is the version folder's name it gives. 0 when it holds none; -1 when dvd_path no
// longer names the folder that was taken (see disc_lost).
int disc_taken_version(std::string* name = nullptr);
// Takes folder (ending in "/") as the disc as it stands now, as "--disc=" does, without judging
// it: dvd_path is set, and later reads must find the same folder there.
void disc_take(const std::string& folder);
// Holds the taken disc's folder open for the installation, which reads it through dvd_read_path;
// false when dvd_path no longer names it. disc_let_go ends that.
bool disc_hold();
void disc_let_go();
// The taken disc is no longer the one that was judged: the log says so, and it is looked for
// again (dvd_path is cleared).
void disc_lost();
// The mount points of a /proc/self/mounts text ("\040" and the other octal escapes undone).
std::vector<std::string> mount_points_of(const std::string& mounts_text);
// Every folder to try, sorted, each ending in "/": the mount points, then the folders directly
// under media_roots.
std::vector<std::string> disc_candidates(const std::vector<std::string>& mount_points,
                                         const std::vector<std::string>& media_roots);
// The media folders searched for this user.
std::vector<std::string> disc_media_roots();
// The folder the program was started from: a relative "--disc=" folder is taken from it.
extern std::string disc_start_folder;
// The folder named by "--disc=" with a final "/" (a relative one taken from disc_start_folder);
// empty when the option is not given or names nothing.
std::string disc_named_folder();
// Why folder (ending in "/") is not a usable disc: a sentence ending with the folder, as the
// status line and the log say it; empty when the folder holds a version file that checks.
std::string disc_folder_problem(const std::string& folder);
// The disc's root ("--disc=" given: that folder when it is usable, else empty with the reason in
// *problem; else the first candidate whose version file checks and that no other user could
// have placed, judged before any of it is read: each one refused is named once in the log and the
// last one on the screen; else empty). The folder returned is the one taken (disc_taken_version).
std::string find_disc(std::string* problem = nullptr);
// Sets dvd_path from find_disc while it is empty and logs a disc when one is found (once, though
// it is found again each second while refused); while a "--disc=" folder is refused, the screen's
// status line and the log say why.
void poll_for_disc();
// Why the disc is not used (empty: nothing to say): shown on the status line, logged once.
void disc_refused(const std::string& why);
// Unpacks the file list of the taken disc's version folder (install_name) into the folder into;
// empty when done, else why not, as the status line says it. A damaged list is unpacked again
// only once it has changed. *lost: dvd_path no longer names the folder that was taken.
std::string unpack_disc_list(const std::string& into, bool* lost);
