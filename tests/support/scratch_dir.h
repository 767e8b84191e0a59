// An empty scratch folder of this process under the system's temporary folder, for tests that
// write real files; whatever an earlier run left under the same name is removed first.
#pragma once
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace test_support {

inline std::filesystem::path fresh_dir(const std::string& tag) {
  auto d = std::filesystem::temp_directory_path() / (tag + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(d);
  std::filesystem::create_directories(d);
  return d;
}

// Whether this process runs as root with mounts of its own from now on: what it then mounts over
// shared places (/tmp, /dev/shm, ...) no other process sees, and goes with it.
inline bool private_mounts() {
  return ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

}  // namespace test_support
