// Claims that one running program holds at a time: the log it writes, the folder it installs
// into. A claim is a lock on a file, which the system lets go of however its holder ends (kill -9
// included), so a claim left behind by an ended program is simply taken over.
// Stands for: nothing of the Mac build, where the system starts a single copy of an application.
// Implemented on Linux: flock on a file, checked after locking to still be the file its path
// names; a folder's claim is a byte-range lock (open file description lock) in one shared claims
// file, at offsets keyed by the device and inode of each existing folder on the way to it plus
// the names below that folder, so every user, environment, link or bind mount meets the same keys.
// Missing: claims between machines (a folder shared over the network).
#pragma once
#include <string>

// Claims the file at path (made when missing, never truncated; its folder must exist). A handle
// (0 or more), or -1 with *err set: EWOULDBLOCK while another program holds it, else the errno
// that kept it from being taken (EINVAL: something else than a regular file has that name).
int PLAT_claim_file(const std::string& path, int* err);
// Lets go of a claim; with remove the file goes too (before the claim, so that nobody takes a
// claim on a file that is leaving).
void PLAT_release_claim(int handle, const std::string& path, bool remove);
// Claims folder (which need not exist yet) against every other program on this machine. 0 with
// *handle set when taken; EWOULDBLOCK while another program holds it; else the errno for which no
// place could keep the claim (*handle is -1, and nothing guards the folder). The claims file is
// the first that can be locked of /run/lock, /tmp, /dev/shm (shared, so that users meet), then
// $XDG_RUNTIME_DIR and the preferences folder. *unshared: empty, or why a shared place that
// exists could not be used (the claims file there and the cause): a claim kept elsewhere then
// need not keep out other users' programs. A new claims file is named only once all may lock it;
// one with something mounted on it is never opened (EBUSY), as its file system may never answer.
// Only another claim (one byte at a key) makes a folder busy: a place where any other lock is in
// the way is passed over as unusable (ENOLCK when it was the last).
int PLAT_claim_folder(const std::string& folder, int* handle, std::string* unshared);
void PLAT_release_folder_claim(int handle);
// This process's id, which tells its files apart from those of another copy running at once.
int PLAT_process_id();
