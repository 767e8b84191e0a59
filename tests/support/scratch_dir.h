// A scratch folder of this process for a test that writes real files: made empty under the
// system's temporary folder (whatever an earlier run left under its name goes first), removed
// with all in it when the object goes, a failed ASSERT included. VOL_KEEP_SCRATCH set keeps it.
#pragma once
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

namespace test_support {

class Scratch {
 public:
  explicit Scratch(const std::string& tag) {
    // A threadsafe death test's child runs the test again from its start: its scratch goes into
    // the parent's of the same name, which the parent removes when the test ends.
    const std::filesystem::path tmp = std::filesystem::temp_directory_path();
    const std::filesystem::path parent = tmp / (tag + "_" + std::to_string(::getppid()));
    path_ = (std::filesystem::is_directory(parent) ? parent : tmp) / (tag + "_" + std::to_string(owner_));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~Scratch() {
    // A forked child leaving by exit() runs the destructors of static ones: not its to remove.
    if (::getpid() != owner_ || std::getenv("VOL_KEEP_SCRATCH")) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Not from a temporary: that one would be gone before the path is used.
  operator const std::filesystem::path&() const& { return path_; }
  operator const std::filesystem::path&() const&& = delete;
  friend std::filesystem::path operator/(const Scratch& s, const std::filesystem::path& rel) {
    return s.path_ / rel;
  }

 private:
  const pid_t owner_ = ::getpid();
  std::filesystem::path path_;
};

// Runs f when it goes, however the test ends (a mount made for the test, say).
struct Undo {
  std::function<void()> f;
  ~Undo() { f(); }
};

}  // namespace test_support
