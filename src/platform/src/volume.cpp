// Free space of a volume (statvfs on the nearest existing ancestor of a path), whether it spins
// (the block device's queue flag in /sys), syncfs, and the mount that holds an open file.
#include "platform/volume.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

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

namespace {
// statvfs of the nearest existing ancestor of path; 0 or an errno.
int statvfs_nearest(const std::string& path, struct statvfs& vs) {
  std::string p = path.empty() ? std::string(".") : path;
  for (;;) {
    if (statvfs(p.c_str(), &vs) == 0) return 0;
    int err = errno;
    if (err != ENOENT && err != ENOTDIR) return err;
    p = parent_of(p);
    if (p.empty()) return err;
  }
}
}  // namespace

int PLAT_volume_free_bytes(const std::string& path, uint64_t& free_bytes) {
  struct statvfs vs;
  if (int err = statvfs_nearest(path, vs)) return err;
  free_bytes = uint64_t(vs.f_bavail) * uint64_t(vs.f_frsize);
  return 0;
}

int PLAT_volume_block_bytes(const std::string& path, uint64_t& block_bytes) {
  struct statvfs vs;
  if (int err = statvfs_nearest(path, vs)) return err;
  block_bytes = vs.f_frsize ? vs.f_frsize : vs.f_bsize;
  return 0;
}

int PLAT_volume_flush(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // a FIFO never blocks it
  if (fd < 0) return errno;
  int err = ::syncfs(fd) == 0 ? 0 : errno;
  ::close(fd);
  return err;
}

namespace {
// The device's flag, or its parent's for a partition; -1 when neither has one.
int read_rotational(const std::string& dev) {
  for (const char* rel : {"/queue/rotational", "/../queue/rotational"}) {
    std::ifstream in(dev + rel);
    int flag = -1;
    if (in >> flag) return flag ? 1 : 0;
  }
  return -1;
}
}  // namespace

int PLAT_volume_rotational(const std::string& path) {
  std::string p = path.empty() ? std::string(".") : path;
  struct stat st;
  while (stat(p.c_str(), &st) != 0) {
    p = parent_of(p);
    if (p.empty()) return -1;
  }
  const unsigned maj = major(st.st_dev), min = minor(st.st_dev);
  // Anonymous devices: memory file systems are known; overlays and network shares are not.
  if (maj == 0) {
    struct statfs fs;
    if (statfs(p.c_str(), &fs) == 0 && (fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC)) return 0;
    return -1;
  }
  const int flag = read_rotational("/sys/dev/block/" + std::to_string(maj) + ":" + std::to_string(min));
  if (flag >= 0) return flag;
  // Optical drives have no rotational flag of their own on some kernels.
  return maj == 11 ? 1 : -1;
}

long PLAT_mount_id(int fd) {
  std::ifstream info("/proc/self/fdinfo/" + std::to_string(fd));
  std::string key;
  while (info >> key && key != "mnt_id:") info.ignore(1 << 20, '\n');
  long id = -1;
  return info >> id ? id : -1;
}

PLAT_volume_origin PLAT_volume_origin_of(int fd) {
  PLAT_volume_origin out;
  const long wanted = out.mount_id = PLAT_mount_id(fd);
  if (wanted < 0) return out;
  const std::string id = std::to_string(wanted);
  std::ifstream mounts("/proc/self/mountinfo");
  for (std::string line; std::getline(mounts, line);) {
    // ID PARENT MAJ:MIN ROOT POINT OPTIONS [OPTIONAL...] - TYPE SOURCE SUPER-OPTIONS
    std::istringstream fields(line);
    std::string mount_id, field, type, source, super;
    if (!(fields >> mount_id) || mount_id != id) continue;
    while (fields >> field && field != "-") {
    }
    if (!(fields >> type >> source >> super)) return out;
    std::istringstream options(super);
    for (std::string o; std::getline(options, o, ',');) out.read_only |= o == "ro";
    out.mounted_by = PLAT_mounted_by(type, super);
    return out;
  }
  return out;
}

long PLAT_mounted_by(const std::string& type, const std::string& options) {
  // A user may mount a FUSE file system where they can write; it says who they are.
  if (type.rfind("fuse", 0) != 0) return -1;
  const size_t at = ("," + options).find(",user_id=");
  return at == std::string::npos ? -1 : std::strtol(options.c_str() + at + 8, nullptr, 10);
}
