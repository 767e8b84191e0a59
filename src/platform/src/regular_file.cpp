// Opens only regular files, never waiting on what stands in their place.
#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

bool PLAT_fd_is_regular(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  if (S_ISREG(st.st_mode)) return true;
  errno = EINVAL;
  return false;
}

std::string PLAT_path_through(int fd, bool folder) {
  return "/proc/self/fd/" + std::to_string(fd) + (folder ? "/" : "");
}

std::string PLAT_path_of(int fd) {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink(PLAT_path_through(fd, false).c_str(), buf, sizeof buf);
  return n > 0 && static_cast<size_t>(n) < sizeof buf ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

int PLAT_reopen_regular(int path_fd, int flags) {
  struct stat st;
  if (::fstat(path_fd, &st) != 0) return -1;
  if (!S_ISREG(st.st_mode)) {
    // As open itself says it of a link it may not follow and of a folder to write.
    errno = S_ISLNK(st.st_mode) ? ELOOP : S_ISDIR(st.st_mode) && (flags & O_ACCMODE) != O_RDONLY ? EISDIR : EINVAL;
    return -1;
  }
  // O_NONBLOCK: a lease or mandatory lock fails the open instead of waiting.
  const int fd = ::open(PLAT_path_through(path_fd, false).c_str(),
                        (flags & ~(O_CREAT | O_EXCL | O_NOFOLLOW | O_TRUNC)) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return -1;
  if ((flags & O_TRUNC) && ::ftruncate(fd, 0) != 0) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

int PLAT_open_regular_at(int dir, const std::string& name, int flags, int mode) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    // A path descriptor opens nothing: a device, FIFO or socket never learns it was looked at.
    const int path_fd = ::openat(dir, name.c_str(), O_PATH | O_CLOEXEC | (flags & O_NOFOLLOW));
    if (path_fd >= 0) {
      const bool exclusive = (flags & O_CREAT) && (flags & O_EXCL);
      const int fd = exclusive ? -1 : PLAT_reopen_regular(path_fd, flags);
      const int err = exclusive ? EEXIST : errno;
      ::close(path_fd);
      errno = err;
      return fd;
    }
    if (errno != ENOENT || !(flags & O_CREAT)) return -1;
    // Nothing there: what O_EXCL makes is a new regular file, whatever appears meanwhile.
    const int fd = ::openat(dir, name.c_str(), (flags & ~O_TRUNC) | O_EXCL | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, mode);
    if (fd >= 0 || errno != EEXIST || (flags & O_EXCL)) return fd;
  }
  errno = EEXIST;  // a name that keeps coming and going, or a link to nothing
  return -1;
}

int PLAT_open_regular(const std::string& path, int flags, int mode) {
  return PLAT_open_regular_at(AT_FDCWD, path, flags, mode);
}

FILE* PLAT_fopen_regular(const std::string& path, const char* mode) {
  const bool plus = std::strchr(mode, '+') != nullptr;
  int flags = 0;
  switch (mode[0]) {
    case 'r': flags = plus ? O_RDWR : O_RDONLY; break;
    case 'w': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
    case 'a': flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; break;
    default: errno = EINVAL; return nullptr;
  }
  const int fd = PLAT_open_regular(path, flags, 0666);
  if (fd < 0) return nullptr;
  FILE* f = ::fdopen(fd, mode);
  if (!f) {
    const int err = errno;
    ::close(fd);
    errno = err;
  }
  return f;
}

namespace {

template <typename Stream>
bool open_stream(Stream& stream, const std::string& path, int flags, std::ios::openmode mode) {
  const int fd = PLAT_open_regular(path, flags, 0666);
  if (fd < 0) return false;
  stream.open("/proc/self/fd/" + std::to_string(fd), mode);
  const int err = stream.is_open() ? 0 : errno ? errno : EIO;
  ::close(fd);
  errno = err;
  return err == 0;
}

}  // namespace

bool PLAT_open_regular_stream(std::ifstream& stream, const std::string& path, std::ios::openmode mode) {
  return open_stream(stream, path, O_RDONLY, mode | std::ios::in);
}

bool PLAT_open_regular_stream(std::ofstream& stream, const std::string& path, std::ios::openmode mode) {
  const int flags = O_WRONLY | O_CREAT | ((mode & std::ios::app) ? O_APPEND : O_TRUNC);
  return open_stream(stream, path, flags, mode | std::ios::out);
}
