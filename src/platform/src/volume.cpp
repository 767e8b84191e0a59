// Free space of a volume, by statvfs on the nearest existing ancestor of a path, and syncfs.
#include "platform/volume.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

namespace {
// The folder above p ("a/b" -> "a", "/a" -> "/", "a" -> "."); empty when there is none.
std::string parent_of(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p == "/" || p == ".") return std::string();
  size_t slash = p.rfind('/');
  if (slash == std::string::npos) return std::string(".");
  if (slash == 0) return std::string("/");
  p.resize(slash);
  return p;
}
}  // namespace

int PLAT_volume_free_bytes(const std::string& path, uint64_t& free_bytes) {
  std::string p = path.empty() ? std::string(".") : path;
  for (;;) {
    struct statvfs vs;
    if (statvfs(p.c_str(), &vs) == 0) {
      free_bytes = uint64_t(vs.f_bavail) * uint64_t(vs.f_frsize);
      return 0;
    }
    int err = errno;
    if (err != ENOENT && err != ENOTDIR) return err;
    p = parent_of(p);
    if (p.empty()) return err;
  }
}

int PLAT_volume_flush(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // a FIFO never blocks it
  if (fd < 0) return errno;
  int err = ::syncfs(fd) == 0 ? 0 : errno;
  ::close(fd);
  return err;
}
