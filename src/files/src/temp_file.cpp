// Output files written under a temporary name beside their target (the unpackers' files and
// whatever else must never be left half written).
#include "files/temp_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>
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

temp_file::temp_file(temp_file&& other) noexcept { *this = std::move(other); }

temp_file& temp_file::operator=(temp_file&& other) noexcept {
  std::swap(fd_, other.fd_);
  std::swap(mode_, other.mode_);
  std::swap(has_mtime_, other.has_mtime_);
  std::swap(mtime_, other.mtime_);
  std::swap(temp_, other.temp_);
  std::swap(target_, other.target_);
  return *this;
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

ErrCode temp_file::create_link(const std::string& folder, const std::string& leaf, const std::string& text) {
  std::string base = folder == "/" ? std::string() : folder;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char tail[32];
    std::snprintf(tail, sizeof tail, "/%s%d-%d", kLinkTempPrefix, static_cast<int>(::getpid()), attempt);
    std::string temp = base + tail;
    if (::symlink(text.c_str(), temp.c_str()) != 0) {
      if (errno == EEXIST) continue;
      return errno;
    }
    temp_ = temp;
    target_ = base + "/" + leaf;
    return 0;
  }
  return EEXIST;
}

ErrCode temp_file::write(const void* data, size_t size) { return write_all(fd_, data, size); }

void temp_file::seal(int mode, const time_t* mtime) {
  mode_ = mode;
  has_mtime_ = mtime != nullptr;
  if (mtime) mtime_ = *mtime;
}

ErrCode temp_file::place() {
  // A link has neither mode nor times of its own to set.
  if (fd_ >= 0) {
    mode_t m = mode_ < 0 ? default_file_mode() : static_cast<mode_t>(mode_);
    if (::fchmod(fd_, m) != 0) return errno;
    if (has_mtime_) {
      struct timespec times[2];
      times[0].tv_sec = mtime_;
      times[0].tv_nsec = 0;
      times[1] = times[0];
      if (::futimens(fd_, times) != 0) return errno;
    }
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return errno;
  }
  // One step: at every moment the target is either the old file or the new one, whole.
  if (::rename(temp_.c_str(), target_.c_str()) != 0) return errno;
  temp_.clear();
  return 0;
}

ErrCode temp_file::finish(int mode, const time_t* mtime) {
  seal(mode, mtime);
  return place();
}
