// Opens only regular files, never waiting on what stands in their place.
#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool PLAT_fd_is_regular(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  if (S_ISREG(st.st_mode)) return true;
  errno = EINVAL;
  return false;
}

int PLAT_open_regular(const std::string& path, int flags, int mode) {
  // With O_NONBLOCK a FIFO opens at once (or fails with ENXIO for writing) instead of waiting for
  // its other end; the check below then refuses it. O_TRUNC waits until the kind is known.
  const bool truncate = (flags & O_TRUNC) != 0;
  const int fd = ::open(path.c_str(), (flags & ~O_TRUNC) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, mode);
  if (fd < 0 && errno == ENXIO) errno = EINVAL;  // a FIFO nobody reads, or a device that is not there
  if (fd < 0) return -1;
  if (!PLAT_fd_is_regular(fd) || (truncate && ::ftruncate(fd, 0) != 0)) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
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
