// Finding the mounted install disc: the folder named by "--disc=", else the first mounted
// volume or media folder that holds a "dvd_version.txt" with a good header and that only this
// user or the system could have placed: judged by who mounted it and, on a writable file system,
// by the owners and modes of its files.
#pragma once
#include <string>
#include <vector>

// 1 when folder (ending in "/") holds a "dvd_version.txt" (in any letter case, no larger than a
// version file ever is) whose header checks; then *name, when given, is the version folder's name
// it gives.
int disc_version_file_ok(const std::string& folder, std::string* name = nullptr);
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
// last one on the screen; else empty).
std::string find_disc(std::string* problem = nullptr);
// Sets dvd_path from find_disc while it is empty and logs a disc when one is found (once, though
// it is found again each second while refused); while a "--disc=" folder is refused, the screen's
// status line and the log say why.
void poll_for_disc();
// Why the disc is not used (empty: nothing to say): shown on the status line, logged once.
void disc_refused(const std::string& why);
// Unpacks the file list of the disc's version folder (ending in "/") into the folder into; empty
// when done, else why not, as the status line says it. A damaged list is unpacked again only once
// it has changed.
std::string unpack_disc_list(const std::string& version_folder, const std::string& into);
