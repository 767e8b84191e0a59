// A file written under a temporary name in its folder and renamed over its target once whole,
// so that at every moment the target is either the old file or the new one, whole.
#pragma once
#include <sys/types.h>
#include <time.h>

#include <cstddef>
#include <string>

#include "files/io_utils.h"

// Destroying one that was not placed removes the temporary file, so the old target stays whole.
class temp_file {
 public:
  temp_file() = default;
  ~temp_file();
  temp_file(const temp_file&) = delete;
  temp_file& operator=(const temp_file&) = delete;
  temp_file(temp_file&& other) noexcept;
  temp_file& operator=(temp_file&& other) noexcept;

  // folder is a real folder path without trailing "/"; leaf the target's name in it. errno.
  ErrCode create(const std::string& folder, const std::string& leaf);
  // A symbolic link with text instead of a file (under the link prefix); placed as a file is.
  ErrCode create_link(const std::string& folder, const std::string& leaf, const std::string& text);
  // Writes everything; errno of the failing write (EIO when it wrote nothing without one).
  ErrCode write(const void* data, size_t size);
  // The file is whole: it gets mode (mode < 0: what a new file gets under the umask) and, when
  // mtime is given, that access and modification time when it is placed, so that reading it
  // meanwhile leaves its times as given. It stays open until then.
  void seal(int mode, const time_t* mtime);
  // Sets what seal kept, closes (checked) and renames over the target. errno.
  ErrCode place();
  // seal and place in one.
  ErrCode finish(int mode, const time_t* mtime);
  const std::string& temp_path() const { return temp_; }
  const std::string& target() const { return target_; }

 private:
  int fd_ = -1;
  int mode_ = -1;
  bool has_mtime_ = false;
  time_t mtime_ = 0;
  std::string temp_;
  std::string target_;
};

// Mode bits a new file gets: 0666 under the process umask.
mode_t default_file_mode();
