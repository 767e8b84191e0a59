// Claims as locks: flock on a file for the log, byte ranges of one shared file for folders.
#include "platform/claim.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <vector>

#include "platform/folders.h"
#include "platform/regular_file.h"
#include "platform/unnamed_file.h"
#include "platform/volume.h"

namespace {

constexpr char kClaimsName[] = "volarium-installer-claims";
// The levels of a path claimed at most: a deeper destination is keyed by its nearest folders.
constexpr size_t kMaxKeys = 64;

// Links followed as far as the path exists; the rest, which cannot hold links yet, as written.
std::string real_path_of(const std::string& folder) {
  std::string known = folder, rest;
  for (;;) {
    if (char* r = ::realpath(known.c_str(), nullptr)) {
      known = r;
      ::free(r);
      break;
    }
    const size_t slash = known.find_last_of('/', known.size() > 1 ? known.size() - 2 : 0);
    if (slash == std::string::npos) break;
    rest = known.substr(slash) + rest;
    known = known.substr(0, slash ? slash : 1);
  }
  std::string out = std::filesystem::path(known + rest).lexically_normal().string();
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

uint64_t fnv1a(uint64_t h, const void* data, size_t n) {
  for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211ull;
  return h;
}

// One key for each existing folder from the deepest up: that folder's device and inode, and the
// names below it. Two programs meet on the key of the deepest folder both saw existing, even when
// one of them made the destination since, or reaches it through another mount of the same tree.
std::vector<off_t> claim_keys(const std::string& folder) {
  std::error_code ec;
  const std::string real = real_path_of(std::filesystem::absolute(folder, ec).string());
  std::vector<off_t> keys;
  if (real.empty() || real[0] != '/') return keys;
  for (std::string at = real;; at.resize(std::max<size_t>(at.find_last_of('/'), 1))) {
    struct stat st;
    if (::stat(at.c_str(), &st) == 0) {
      const std::string below = real.substr(at.size());
      uint64_t h = 1469598103934665603ull;
      const uint64_t dev = st.st_dev, ino = st.st_ino;
      h = fnv1a(fnv1a(fnv1a(h, &dev, sizeof dev), &ino, sizeof ino), below.data(), below.size());
      keys.push_back(static_cast<off_t>(h >> 2));  // a non-negative offset
      if (keys.size() == kMaxKeys) break;
    }
    if (at == "/") break;
  }
  return keys;
}

// The claims file in place, opened for writing (every user may lock it), or -1 with errno
// (ENOENT: there is no such place).
int open_claims(const std::string& place) {
  const std::string path = place + kClaimsName;
  for (int attempt = 0; attempt < 8; ++attempt) {
    // Never a link, never a FIFO to block on; in a shared sticky folder another user's file opens
    // only without O_CREAT. A user may mount a file system over a file they can write, and its
    // server may never answer: such a file is judged from its mount alone, and never opened.
    const int path_fd = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (path_fd >= 0) {
      const int folder = ::open(place.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
      int fd = -1, err = folder < 0 ? errno : 0;
      if (!err && PLAT_mount_id(path_fd) != PLAT_mount_id(folder)) err = EBUSY;
      if (!err && (fd = PLAT_reopen_regular(path_fd, O_WRONLY)) < 0) err = errno;
      if (folder >= 0) ::close(folder);
      ::close(path_fd);
      errno = err;
      return fd;
    }
    if (errno != ENOENT) return -1;
    // Named only once every user may lock it, so nobody meets it with its maker's umask.
    bool named = false;
    int err = 0;
    int fd = PLAT_open_unnamed(path, &named, &err);
    if (fd < 0 && err == EEXIST) continue;
    if (fd >= 0 && ::fchmod(fd, 0666) != 0) err = errno;
    else if (fd >= 0 && !named) err = PLAT_name_file(fd, path);
    if (fd >= 0 && !err) return fd;
    if (fd >= 0) ::close(fd);
    if (err != EEXIST) {
      errno = err;
      return -1;
    }
  }
  errno = EAGAIN;
  return -1;
}

// A lock at a key that is not an installer's claim: the claims file is not usable.
constexpr int kForeignLock = -1;

// Takes the claim at key in the open claims file: 0, EWOULDBLOCK while another installer holds
// it, kForeignLock when another kind of lock is in the way, else an errno.
int lock_key(int fd, off_t key) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = key;
    lock.l_len = 1;
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return 0;
    if (errno != EAGAIN && errno != EACCES) return errno;
    // An installer's claim is one byte at its key, for writing; a lock over the whole file or a
    // range of it is anybody's, and would keep every installer out.
    if (::fcntl(fd, F_OFD_GETLK, &lock) != 0) return errno;
    if (lock.l_type == F_UNLCK) continue;  // let go of meanwhile
    return lock.l_type == F_WRLCK && lock.l_start == key && lock.l_len == 1 ? EWOULDBLOCK : kForeignLock;
  }
  return EWOULDBLOCK;
}

// Why a claims file could not be used, for the one who reads the log.
std::string claims_problem(const std::string& place, int err) {
  const std::string path = place + kClaimsName;
  if (err == kForeignLock) return path + " is locked by something that is not an installer's claim";
  if (err == EINVAL) return path + " is not a regular file";
  if (err == ELOOP) return path + " is a link";
  if (err == EBUSY) return path + " has a file system mounted on it";
  return path + ": " + std::strerror(err);
}

// Shared folders first, so that users meet; the user's own when none of those can keep it.
constexpr const char* kSharedPlaces[] = {"/run/lock/", "/tmp/", "/dev/shm/"};
std::vector<std::string> claim_places() {
  std::vector<std::string> places(std::begin(kSharedPlaces), std::end(kSharedPlaces));
  const char* run = std::getenv("XDG_RUNTIME_DIR");
  if (run && run[0] == '/') places.push_back(std::filesystem::path(std::string(run) + "/").lexically_normal().string());
  std::string prefs;
  if (PLAT_find_folder(PLAT_folder_prefs, prefs) == 0) places.push_back(prefs);
  return places;
}

}  // namespace

int PLAT_claim_folder(const std::string& folder, int* handle, std::string* unshared) {
  *handle = -1;
  unshared->clear();
  const std::vector<off_t> keys = claim_keys(folder);
  if (keys.empty()) return EINVAL;
  int err = ENOENT;
  const std::vector<std::string> places = claim_places();
  for (size_t i = 0; i < places.size(); ++i) {
    const int fd = open_claims(places[i]);
    int failed = fd < 0 ? (errno ? errno : EIO) : 0;
    for (size_t k = 0; !failed && k < keys.size(); ++k) failed = lock_key(fd, keys[k]);
    if (!failed) {
      *handle = fd;
      return 0;
    }
    if (fd >= 0) {
      ::close(fd);  // lets go of the keys taken so far
      if (failed == EWOULDBLOCK) return EWOULDBLOCK;
    }
    err = failed;
    // A place the system lacks is lacked by every user alike; any other failure may be another
    // user's doing, and the users who get past it no longer meet.
    if (i < std::size(kSharedPlaces) && err != ENOENT && err != ENOTDIR && unshared->empty())
      *unshared = claims_problem(places[i], err);
  }
  return err == kForeignLock ? ENOLCK : err;
}

void PLAT_release_folder_claim(int handle) {
  if (handle >= 0) ::close(handle);
}

int PLAT_claim_file(const std::string& path, int* err) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = PLAT_open_regular(path, O_RDONLY | O_CREAT | O_NOFOLLOW, 0600);
    if (fd < 0) break;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int e = errno;
      ::close(fd);
      *err = e;
      return -1;
    }
    // A holder that let go may have removed the file just before: then claim the new one.
    struct stat held, named;
    if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino)
      return fd;
    ::close(fd);
  }
  *err = errno ? errno : EIO;
  return -1;
}

void PLAT_release_claim(int handle, const std::string& path, bool remove) {
  if (handle < 0) return;
  if (remove) ::unlink(path.c_str());
  ::close(handle);
}

int PLAT_process_id() { return static_cast<int>(::getpid()); }
