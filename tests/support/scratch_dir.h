// An empty scratch folder of this process under the system's temporary folder, for tests that
// write real files; whatever an earlier run left under the same name is removed first.
#pragma once
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

}  // namespace test_support
