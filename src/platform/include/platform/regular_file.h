// Opening a file that someone else may have put in place: a FIFO, a device, a socket or a link
// to one must neither block the program nor be read as if it were the file.
// Stands for: nothing of the Mac build, whose File Manager opened only files.
// Implemented on Linux: open with O_NONBLOCK and O_NOCTTY, then fstat on the descriptor that is
// read, so a file swapped in between a check and the open cannot slip through.
// Missing: nothing is waited for, so a file another program holds a lock on is opened anyway.
#pragma once
#include <cstdio>
#include <fstream>
#include <string>

// Opens path with flags (O_CLOEXEC, O_NONBLOCK and O_NOCTTY added). The descriptor when it is a
// regular file; else -1 with errno set (EINVAL for anything that is not a regular file, a FIFO
// opened for writing that nobody reads included).
int PLAT_open_regular(const std::string& path, int flags, int mode = 0644);
// The same as a stdio stream, with fopen's modes ("rb", "wb", "ab", "r+b"); null and errno.
FILE* PLAT_fopen_regular(const std::string& path, const char* mode);
// Whether an open descriptor is a regular file (errno EINVAL when it is something else).
bool PLAT_fd_is_regular(int fd);
// A stream on path when it is a regular file, opened through the descriptor already checked, so
// the name is never opened again on its own; false and errno else. Writing truncates, or appends
// with std::ios::app.
bool PLAT_open_regular_stream(std::ifstream& stream, const std::string& path, std::ios::openmode mode);
bool PLAT_open_regular_stream(std::ofstream& stream, const std::string& path, std::ios::openmode mode);
