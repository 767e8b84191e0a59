// Claims that one running program holds at a time: the log it writes, the folder it installs
// into. A claim is a lock on a file, which the system lets go of however its holder ends (kill -9
// included), so a claim left behind by an ended program is simply taken over.
// Stands for: nothing of the Mac build, where the system starts a single copy of an application.
// Implemented on Linux: flock on a file, checked after locking to still be the file its path
// names; a folder's claim is a file in $XDG_RUNTIME_DIR, else the preferences folder (else /tmp),
// named after the folder's real path (links followed; the part that does not exist yet as written).
// Missing: claims between users (each has claim files of their own) and between machines.
#pragma once
#include <string>

// Claims the file at path (made when missing, never truncated; its folder must exist). A handle
// (0 or more), or -1 with *err set: EWOULDBLOCK while another program holds it, else the errno
// that kept it from being taken.
int PLAT_claim_file(const std::string& path, int* err);
// Lets go of a claim; with remove the file goes too (before the claim, so that nobody takes a
// claim on a file that is leaving).
void PLAT_release_claim(int handle, const std::string& path, bool remove);
// The file whose claim stands for folder.
std::string PLAT_folder_claim_path(const std::string& folder);
// This process's id, which tells its files apart from those of another copy running at once.
int PLAT_process_id();
