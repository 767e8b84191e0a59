// Shared by the zip and 7z extractors: entry-name checks, the extraction root that no write may
// leave.
#pragma once
#include <sys/types.h>
#include <time.h>

#include <cstddef>
#include <string>
#include <vector>

#include "files/io_utils.h"
#include "files/temp_file.h"

namespace extract {

// False for a name that is empty, begins with "/", holds an empty, "." or ".." component, holds
// a NUL, or is exactly "__MACOSX". One trailing "/" (a folder entry) is allowed.
bool name_safe(const std::string& name);

// The real path of the extraction folder; every write must land inside it.
class root {
 public:
  // errno when out_dir cannot be resolved.
  ErrCode open(const std::string& out_dir);
  const std::string& real() const { return real_; }
  bool inside(const std::string& real_path) const;
  // Resolves the folder that holds target (out_dir + a checked name) to its real path in
  // *real_parent: ERR_UNSAFE_NAME when it lies outside, errno when it cannot be resolved.
  ErrCode parent_of(const std::string& target, std::string* real_parent) const;
  // 0 when a link with this text, placed in real_parent, leads to a place inside that is neither
  // real_parent nor one of its ancestors, both as text and as followed through the links on disk.
  // ERR_UNSAFE_NAME otherwise (absolute, escaping or upward text).
  ErrCode link_stays_inside(const std::string& real_parent, const std::string& text) const;
  // After an extraction: every link in *made (full paths) that is still a link must resolve on
  // disk to a safe place (link_resolves_inside); the others are removed and dropped from *made,
  // and the result is ERR_UNSAFE_NAME. Links that were replaced are dropped too.
  ErrCode check_links(std::vector<std::string>* made) const;

 private:
  std::string real_;
};

// Text after the last "/" (the whole text when there is none).
std::string leaf_of(const std::string& path);

// The unpackers' output files (files/temp_file.h).
using ::temp_file;
using ::default_file_mode;

// A finished output file (sealed, or a link) is placed, or handed to *sealed when given.
ErrCode hand_over(temp_file&& out, std::vector<temp_file>* sealed);

}  // namespace extract
