// The operating-system folders on Linux: the executable's folder, XDG desktop and config
// folders, $HOME/Applications, and a private temporary folder removed at exit (and, when a run
// was killed, by the next run).
#include "platform/folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>
#include <vector>

#include "platform/regular_file.h"

namespace {

std::string with_slash(std::string p) {
  if (p.empty() || p.back() != '/') p += '/';
  return p;
}

bool is_dir(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p; 0 or errno.
int make_all(const std::string& p) {
  std::error_code ec;
  std::filesystem::create_directories(p, ec);
  if (ec) return ec.value();
  return is_dir(p) ? 0 : ENOTDIR;
}

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string config_home() {
  std::string x = env("XDG_CONFIG_HOME");
  if (!x.empty() && x[0] == '/') return with_slash(x);
  std::string home = PLAT_home_folder();
  if (home.empty()) return std::string();
  return home + ".config/";
}

// XDG_DESKTOP_DIR from user-dirs.dirs: "$HOME/..." or an absolute path, in double quotes.
std::string xdg_desktop() {
  std::string cfg = config_home();
  if (cfg.empty()) return std::string();
  std::ifstream in;
  PLAT_open_regular_stream(in, cfg + "user-dirs.dirs", std::ios::in);
  std::string line;
  while (std::getline(in, line)) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line.compare(i, 16, "XDG_DESKTOP_DIR=") != 0) continue;
    std::string v = line.substr(i + 16);
    if (v.size() >= 2 && v.front() == '"') {
      size_t close = v.find('"', 1);
      if (close == std::string::npos) return std::string();
      v = v.substr(1, close - 1);
    }
    if (v.compare(0, 5, "$HOME") == 0) {
      std::string home = PLAT_home_folder();
      if (home.empty()) return std::string();
      v = home + (v.size() > 5 && v[5] == '/' ? v.substr(6) : v.substr(5));
    }
    if (v.empty() || v[0] != '/') return std::string();
    return with_slash(v);
  }
  return std::string();
}

std::mutex g_temp_lock;
std::string g_temp;
pid_t g_temp_owner = 0;

constexpr char kTempPrefix[] = "volarium-";
// Held locked for the life of the process that made the folder: the kernel lets go of it
// however the process ends, so an unlocked one marks a folder that nobody uses any more.
constexpr char kOwnerLock[] = ".owner-lock";

void remove_temp() {
  // Only the process that made it removes it: a forked child must not take it away.
  if (g_temp.empty() || g_temp_owner != ::getpid()) return;
  std::error_code ec;
  std::filesystem::remove_all(g_temp, ec);
}

int temp_folder(std::string& out) {
  std::lock_guard<std::mutex> hold(g_temp_lock);
  if (g_temp.empty()) {
    std::string base = env("TMPDIR");
    if (base.empty() || base[0] != '/' || !is_dir(base)) base = "/tmp";
    PLAT_remove_stale_temp_folders(base);
    std::string templ = with_slash(base) + kTempPrefix + "XXXXXX";
    if (!::mkdtemp(templ.data())) return errno ? errno : EIO;
    // Kept open (and locked) until the process ends; locked before it takes its name, so no
    // other run ever finds it unlocked while this one lives.
    const std::string fresh = templ + "/" + kOwnerLock + "-new";
    int lock = ::open(fresh.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0 ||
        ::rename(fresh.c_str(), (templ + "/" + kOwnerLock).c_str()) != 0) {
      int err = errno ? errno : EIO;
      if (lock >= 0) ::close(lock);
      std::error_code ec;
      std::filesystem::remove_all(templ, ec);
      return err;
    }
    g_temp = with_slash(templ);
    g_temp_owner = ::getpid();
    std::atexit(remove_temp);
  }
  out = g_temp;
  return 0;
}

int app_folder(std::string& out) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return ec.value();
  std::string folder = exe.parent_path().string();
  if (folder.empty() || folder[0] != '/') return ENOENT;
  out = with_slash(folder);
  return 0;
}

}  // namespace

int PLAT_remove_stale_temp_folders(const std::string& base) {
  const std::string root = with_slash(base);
  DIR* d = ::opendir(root.c_str());
  if (!d) return 0;
  std::vector<std::string> stale;
  while (struct dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.compare(0, sizeof kTempPrefix - 1, kTempPrefix) != 0) continue;
    const std::string folder = root + name;
    struct stat st;
    // Only real folders of this user; a link is never followed.
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) continue;
    // Without the lock file the folder is not known to be ours, or its maker is just starting.
    int fd = PLAT_open_regular(folder + "/" + kOwnerLock, O_RDONLY | O_NOFOLLOW);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) stale.push_back(folder);
    ::close(fd);
  }
  ::closedir(d);
  int removed = 0;
  for (const std::string& folder : stale) {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    if (!ec) ++removed;
  }
  return removed;
}

std::string PLAT_home_folder() {
  std::string home = env("HOME");
  if (home.empty() || home[0] != '/') {
    struct passwd* pw = ::getpwuid(::getuid());
    if (pw && pw->pw_dir && pw->pw_dir[0] == '/') home = pw->pw_dir;
    else return std::string();
  }
  return with_slash(home);
}

int PLAT_find_folder(int which, std::string& out) {
  switch (which) {
    case PLAT_folder_app:
      return app_folder(out);
    case PLAT_folder_desktop: {
      std::string d = xdg_desktop();
      if (!d.empty() && is_dir(d)) { out = d; return 0; }
      std::string home = PLAT_home_folder();
      if (home.empty()) return ENOENT;
      out = is_dir(home + "Desktop") ? home + "Desktop/" : home;
      return 0;
    }
    case PLAT_folder_apps: {
      // Only looked at (the default destination is found from it), never written to: not made.
      std::string home = PLAT_home_folder();
      if (home.empty()) return ENOENT;
      out = home + "Applications/";
      return 0;
    }
    case PLAT_folder_temp:
      return temp_folder(out);
    case PLAT_folder_prefs: {
      // The preferences are written here: a folder that cannot be made is no preferences folder.
      std::string d = config_home();
      if (d.empty()) return ENOENT;
      if (int code = make_all(d)) return code;
      out = d;
      return 0;
    }
    default:
      return EINVAL;
  }
}
