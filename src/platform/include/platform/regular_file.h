// Opening a file that someone else may have put in place: a FIFO, a device, a socket or a link
// to one must neither block the program nor be read as if it were the file.
// Stands for: nothing of the Mac build, whose File Manager opened only files.
// Implemented on Linux: the name is first taken as a path descriptor (O_PATH, which no device,
// FIFO or socket notices), its kind read with fstat, and only a regular file is then opened,
// through that descriptor ("/proc/self/fd/N"), with O_NONBLOCK and O_NOCTTY: a file swapped in
// between a check and the open cannot slip through, and opening a device can never act.
// Missing: nothing is waited for, so a file another program holds a lock on is opened anyway.
#pragma once
#include <cstdio>
#include <fstream>
#include <string>

// Opens path with flags (O_CLOEXEC, O_NONBLOCK and O_NOCTTY added). The descriptor when it is a
// regular file; else -1 with errno set (EINVAL for anything that is not a regular file, a FIFO
// opened for writing that nobody reads included).
int PLAT_open_regular(const std::string& path, int flags, int mode = 0644);
// The same for name in the folder open at dir (a descriptor, O_PATH ones included, or AT_FDCWD).
int PLAT_open_regular_at(int dir, const std::string& name, int flags, int mode = 0644);
// Opens what the path descriptor path_fd names with flags (O_CREAT, O_EXCL and O_NOFOLLOW
// ignored), only when it is a regular file: else -1 with errno EINVAL (ELOOP for a link, EISDIR
// for a folder opened to write).
int PLAT_reopen_regular(int path_fd, int flags);
// A path that names what fd names, whatever its own path names meanwhile; ends in "/" for a
// folder, so that names can follow it.
std::string PLAT_path_through(int fd, bool folder);
// The path fd was opened by, as the system now knows it (links resolved); empty when unknown.
std::string PLAT_path_of(int fd);
// The same as a stdio stream, with fopen's modes ("rb", "wb", "ab", "r+b"); null and errno.
FILE* PLAT_fopen_regular(const std::string& path, const char* mode);
// Whether an open descriptor is a regular file (errno EINVAL when it is something else).
bool PLAT_fd_is_regular(int fd);
// A stream on path when it is a regular file, opened through the descriptor already checked, so
// the name is never opened again on its own; false and errno else. Writing truncates, or appends
// with std::ios::app.
bool PLAT_open_regular_stream(std::ifstream& stream, const std::string& path, std::ios::openmode mode);
bool PLAT_open_regular_stream(std::ofstream& stream, const std::string& path, std::ios::openmode mode);
