// A file written under a temporary name in its folder and renamed over its target once whole,
// so that at every moment the target is either the old file or the new one, whole.
#pragma once
#include <sys/types.h>
#include <time.h>

#include <cstddef>
#include <string>

#include "files/io_utils.h"

// Destroying an unfinished one removes the temporary file, so the old target stays whole.
class temp_file {
 public:
  temp_file() = default;
  ~temp_file();
  temp_file(const temp_file&) = delete;
  temp_file& operator=(const temp_file&) = delete;

  // folder is a real folder path without trailing "/"; leaf the target's name in it. errno.
  ErrCode create(const std::string& folder, const std::string& leaf);
  // Writes everything; errno of the failing write (EIO when it wrote nothing without one).
  ErrCode write(const void* data, size_t size);
  // Sets the mode (mode < 0: what a new file gets under the umask) and, when mtime is given, the
  // access and modification times; closes (checked) and renames over the target. errno.
  ErrCode finish(int mode, const time_t* mtime);
  const std::string& temp_path() const { return temp_; }

 private:
  int fd_ = -1;
  std::string temp_;
  std::string target_;
};

// Mode bits a new file gets: 0666 under the process umask.
mode_t default_file_mode();
