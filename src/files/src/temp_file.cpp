// Output files written under a temporary name beside their target (the unpackers' files and
// whatever else must never be left half written).
#include "files/temp_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "files/zip.h"

mode_t default_file_mode() {
  static mode_t mode = [] {
    mode_t mask = ::umask(022);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

temp_file::~temp_file() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

ErrCode temp_file::create(const std::string& folder, const std::string& leaf) {
  std::string base = folder == "/" ? std::string() : folder;
  target_ = base + "/" + leaf;
  std::string pattern = base + "/" + kUnpackTempPrefix + "XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  int fd = ::mkostemp(buf.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  fd_ = fd;
  temp_.assign(buf.data());
  return 0;
}

ErrCode temp_file::write(const void* data, size_t size) { return write_all(fd_, data, size); }

ErrCode temp_file::finish(int mode, const time_t* mtime) {
  mode_t m = mode < 0 ? default_file_mode() : static_cast<mode_t>(mode);
  if (::fchmod(fd_, m) != 0) return errno;
  if (mtime) {
    struct timespec times[2];
    times[0].tv_sec = *mtime;
    times[0].tv_nsec = 0;
    times[1] = times[0];
    if (::futimens(fd_, times) != 0) return errno;
  }
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return errno;
  // One step: at every moment the target is either the old file or the new one, whole.
  if (::rename(temp_.c_str(), target_.c_str()) != 0) return errno;
  temp_.clear();
  return 0;
}
