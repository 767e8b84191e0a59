// A new file that has no name while it is written and takes one only once it is worth keeping,
// so that a program killed before then leaves nothing behind.
// Stands for: nothing of the Mac build, which made its files under their names at once.
// Implemented on Linux: O_TMPFILE in the name's folder, named by linkat through /proc/self/fd
// (or, without /proc, by the descriptor itself where the process may).
// Missing: file systems without O_TMPFILE (FAT, most network shares): there the file is made
// under its name at once, exclusively.
#pragma once
#include <string>

// Opens a new file for writing that is to be named path. A descriptor, or -1 with *err set
// (EEXIST: something, a dangling link too, has that name). *named: it has its name already.
int PLAT_open_unnamed(const std::string& path, bool* named, int* err);
// Names a file from PLAT_open_unnamed, never replacing anything. 0, or the errno (EEXIST: the
// name was taken meanwhile).
int PLAT_name_file(int fd, const std::string& path);
