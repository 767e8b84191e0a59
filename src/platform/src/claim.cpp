// Claims as flock locks on files: a claim file per folder, named after the folder's real path,
// in the user's runtime folder (else the preferences folder).
#include "platform/claim.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "platform/folders.h"

namespace {

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

std::string claims_folder() {
  const char* run = std::getenv("XDG_RUNTIME_DIR");
  struct stat st;
  if (run && run[0] == '/' && ::stat(run, &st) == 0 && S_ISDIR(st.st_mode)) return std::string(run) + "/";
  std::string prefs;
  return PLAT_find_folder(PLAT_folder_prefs, prefs) == 0 ? prefs : std::string("/tmp/");
}

}  // namespace

int PLAT_claim_file(const std::string& path, int* err) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
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

std::string PLAT_folder_claim_path(const std::string& folder) {
  // 64-bit FNV-1a of the real path: the same folder gives the same name in every run.
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : real_path_of(folder)) h = (h ^ c) * 1099511628211ull;
  char name[64];
  std::snprintf(name, sizeof name, "Volarium Installer %016llx.lock", static_cast<unsigned long long>(h));
  return claims_folder() + name;
}

int PLAT_process_id() { return static_cast<int>(::getpid()); }
