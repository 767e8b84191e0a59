// The install disc: named on the command line, or found among the mounted volumes.
#include "installer/disc.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "files/io_utils.h"
#include "files/xmap.h"
#include "files/zip.h"
#include "foundation/cmdline.h"
#include "foundation/globals.h"
#include "installer/front.h"
#include "installer/screen_logic.h"
#include "platform/regular_file.h"
#include "platform/volume.h"

namespace fs = std::filesystem;

std::string disc_start_folder;

namespace {

// Four short lines make a version file: anything larger is not one, and is never read whole.
constexpr off_t kVersionFileMost = 64 * 1024;

// A descriptor closed when it goes.
struct open_fd {
  explicit open_fd(int f) : fd(f) {}
  ~open_fd() {
    if (fd >= 0) ::close(fd);
  }
  open_fd(const open_fd&) = delete;
  open_fd& operator=(const open_fd&) = delete;
  const int fd;
};

// The version file of folder (ending in "/") in whatever letter case the disc spells it, as the
// data-file reader finds files.
std::string version_file_path(const std::string& folder) {
  std::string path = folder + "dvd_version.txt";
  if (g_case_sensitive) findPath(path);
  return path;
}

// The text of an open version file, its size checked before a byte is read and no more read
// than a version file holds (it may grow meanwhile): 0, EFBIG when it is larger, else an errno.
int read_version_text(int fd, std::string* text) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return errno;
  if (st.st_size > kVersionFileMost) return EFBIG;
  text->resize(kVersionFileMost + 1);
  size_t got = 0;
  while (got < text->size()) {
    const ssize_t n = ::read(fd, text->data() + got, text->size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  text->resize(got);
  return got > static_cast<size_t>(kVersionFileMost) ? EFBIG : 0;
}

// 1 when text passes the version file's header check; then *name, when given, is the version
// folder's name it gives.
int version_text_ok(const std::string& text, std::string* name) {
  xmap_class file;
  // The reader's own checks over the bytes already read: nothing is mapped or opened again.
  file.begin = file.cursor = text.data();
  file.end = text.data() + text.size();
  static const int versions[] = {900, 0};
  const bool ok = file.check_file(TFH_TEXT, versions, "DVD", nullptr) == 900;
  if (ok && name) *name = version_from_lines(file.cursor, file.end);
  return ok ? 1 : 0;
}

int version_file_ok(int fd, std::string* name) {
  std::string text;
  return read_version_text(fd, &text) == 0 ? version_text_ok(text, name) : 0;
}

}  // namespace

int disc_version_file_ok(const std::string& folder, std::string* name) {
  const open_fd file(PLAT_open_regular(version_file_path(folder), O_RDONLY));
  return file.fd >= 0 ? version_file_ok(file.fd, name) : 0;
}

namespace {
// A field of /proc/self/mounts with its octal escapes ("\040") undone.
std::string mount_field(const std::string& field) {
  std::string plain;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
        field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
      plain += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      plain += field[i];
    }
  }
  return plain;
}
}  // namespace

std::vector<std::string> mount_points_of(const std::string& mounts_text) {
  std::vector<std::string> out;
  std::istringstream in(mounts_text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string device, point;
    if (fields >> device >> point) out.push_back(mount_field(point));
  }
  return out;
}

std::vector<std::string> disc_candidates(const std::vector<std::string>& mount_points,
                                         const std::vector<std::string>& media_roots) {
  std::set<std::string> found;
  for (const std::string& m : mount_points)
    if (!m.empty() && m[0] == '/') found.insert(with_final_slash(m));
  for (const std::string& root : media_roots) {
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code ec2;
      if (it->is_directory(ec2)) found.insert(with_final_slash(it->path().string()));
    }
  }
  return {found.begin(), found.end()};
}

std::vector<std::string> disc_media_roots() {
  std::string user;
  if (const char* u = std::getenv("USER")) user = u;
  if (user.empty())
    if (const char* l = getlogin()) user = l;
  std::vector<std::string> roots;
  if (!user.empty()) {
    roots.push_back("/media/" + user);
    roots.push_back("/run/media/" + user);
  }
  roots.push_back("/media");
  roots.push_back("/mnt");
  return roots;
}

std::string disc_named_folder() {
  const std::string named = cmdline.get_option("--disc");
  if (named.empty()) return std::string();
  if (named[0] != '/') return with_final_slash(with_final_slash(disc_start_folder) + named);
  return with_final_slash(named);
}

std::string disc_folder_problem(const std::string& folder) {
  if (folder.empty()) return "The --disc= option names no folder.";
  // The data-file reader refuses a backslash in a path outright.
  if (folder.find('\\') != std::string::npos) return "The --disc= folder has a backslash in its path: " + folder;
  auto unreadable = [&](const std::string& what, const std::error_code& ec) {
    return what + " cannot be read (" + ec.message() + "): " + folder;
  };
  std::error_code ec;
  // Without its final "/": a file named as a folder is a file, not a missing folder.
  const fs::file_status st = fs::status(folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder, ec);
  if (st.type() == fs::file_type::not_found) return "The --disc= folder does not exist: " + folder;
  if (ec) return unreadable("The --disc= folder", ec);
  if (!fs::is_directory(st)) return "The --disc= folder is not a folder: " + folder;
  fs::directory_iterator listing(folder, ec);
  if (ec) return unreadable("The --disc= folder", ec);
  const std::string version = version_file_path(folder);
  const fs::file_status vst = fs::status(version, ec);
  if (vst.type() == fs::file_type::not_found) return "The --disc= folder holds no dvd_version.txt: " + folder;
  if (ec) return unreadable("The dvd_version.txt of the --disc= folder", ec);
  if (!fs::is_regular_file(vst)) return "The dvd_version.txt of the --disc= folder is not a file: " + folder;
  const open_fd file(PLAT_open_regular(version, O_RDONLY));
  std::string text;
  const int err = file.fd < 0 ? errno : read_version_text(file.fd, &text);
  if (err != 0 && err != EFBIG)
    return unreadable("The dvd_version.txt of the --disc= folder", std::error_code(err, std::generic_category()));
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return "The dvd_version.txt of the --disc= folder begins with a byte-order mark: " + folder;
  if (err == EFBIG || !version_text_ok(text, nullptr))
    return "The dvd_version.txt of the --disc= folder is not a DVD version file: " + folder;
  return std::string();
}

namespace {

bool is_trusted(const std::vector<unsigned>& trusted, long uid) {
  return std::find(trusted.begin(), trusted.end(), static_cast<unsigned long>(uid)) != trusted.end();
}

// Why a user not trusted may have put what is open at fd (named path) where it is; empty when
// none could. A read-only file system cannot be changed here: the owners and modes it records
// were chosen where it was made, and who placed it is who mounted it.
std::string placed_by_others(const std::string& path, int fd, const std::vector<unsigned>& trusted) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return path + " cannot be looked at: " + std::strerror(errno);
  const PLAT_volume_origin origin = PLAT_volume_origin_of(fd);
  if (origin.mounted_by >= 0 && !is_trusted(trusted, origin.mounted_by))
    return path + " is on a file system that another user mounted (" + std::to_string(origin.mounted_by) + ")";
  if (origin.read_only) return std::string();
  if (!is_trusted(trusted, st.st_uid)) return path + " belongs to another user (" + std::to_string(st.st_uid) + ")";
  // A sticky folder that all may write still lets anyone put a disc in it.
  if (st.st_mode & (S_IWGRP | S_IWOTH)) return path + " can be written by other users";
  return std::string();
}

// Mount points of file systems that a user not trusted mounted (FUSE): their own server answers
// for them, and may never answer, so nothing in them is looked at.
std::set<std::string> mounted_by_others(const std::string& mounts_text, const std::vector<unsigned>& trusted) {
  std::set<std::string> out;
  std::istringstream in(mounts_text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string device, point, type, options;
    if (!(fields >> device >> point >> type >> options)) continue;
    const long user = PLAT_mounted_by(type, options);
    if (user >= 0 && !is_trusted(trusted, user)) out.insert(with_final_slash(mount_field(point)));
  }
  return out;
}

// The user whose media folder holds folder (links followed): NAME below /media/NAME/ or
// /run/media/NAME/, where desktops mount each user's media; empty for any other place.
std::string media_user_of(const std::string& folder) {
  std::error_code ec;
  const std::string real = with_final_slash(fs::canonical(folder, ec).string());
  for (const std::string root : {"/media/", "/run/media/"}) {
    const size_t name_end = real.rfind(root, 0) == 0 ? real.find('/', root.size()) : std::string::npos;
    if (name_end != std::string::npos && name_end > root.size() && name_end + 1 < real.size())
      return real.substr(root.size(), name_end - root.size());
  }
  return std::string();
}

// The same for a folder of the disc; a missing one, when may_be_missing, passes.
std::string folder_placed_by_others(const std::string& folder, bool may_be_missing, const std::vector<unsigned>& trusted) {
  const open_fd dir(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (dir.fd < 0 && errno == ENOENT && may_be_missing) return std::string();
  if (dir.fd < 0) return folder + " cannot be looked at: " + std::strerror(errno);
  return placed_by_others(folder, dir.fd, trusted);
}

// Why a user not trusted may have placed the disc at folder, judged before any of it is read:
// its place (another user's media folder), its folder, its open version file, then its version
// folder. Empty when none could; then *version is its version folder's name. *is_disc: false
// when the version file, judged and read, does not check.
std::string disc_placed_by_others(const std::string& folder, int version_fd, const std::string& version_path,
                                  const std::vector<unsigned>& trusted, std::string* version, bool* is_disc) {
  *is_disc = true;
  const std::string user = media_user_of(folder);
  if (!user.empty()) {
    const struct passwd* pw = ::getpwnam(user.c_str());
    if (!pw || !is_trusted(trusted, pw->pw_uid)) return folder + " is in the media folder of another user (" + user + ")";
  }
  std::string why = folder_placed_by_others(folder, false, trusted);
  if (why.empty()) why = placed_by_others(version_path, version_fd, trusted);
  if (!why.empty()) return why;
  *is_disc = version_file_ok(version_fd, version) != 0;
  // A version folder not made yet can only be made by whoever may write the disc's folder.
  if (*is_disc && version_name_problem(*version).empty()) return folder_placed_by_others(folder + *version + "/", true, trusted);
  return std::string();
}

// The users whose discs the search takes: the system, this user and, run as root, the user who
// asked for it (sudo, pkexec).
std::vector<unsigned> disc_trusted_users() {
  std::vector<unsigned> users{0, unsigned(::getuid()), unsigned(::geteuid())};
  for (const char* caller : {"SUDO_UID", "PKEXEC_UID"}) {
    const char* id = std::getenv(caller);
    if (!id || !*id || ::getuid() != 0) continue;
    char* end = nullptr;
    const unsigned long uid = std::strtoul(id, &end, 10);
    if (*end == 0 && uid < 0xFFFFFFFFul) users.push_back(unsigned(uid));
  }
  return users;
}

// The first candidate that no other user could have placed; each refused one is logged once,
// and the last one refused is said on the screen while none is taken.
std::string search_discs(const std::vector<std::string>& candidates, const std::vector<unsigned>& trusted) {
  std::string passed_over;
  for (const std::string& folder : candidates) {
    const std::string path = version_file_path(folder);
    const open_fd file(PLAT_open_regular(path, O_RDONLY));
    if (file.fd < 0) continue;
    std::string version;
    bool is_disc = false;
    const std::string why = disc_placed_by_others(folder, file.fd, path, trusted, &version, &is_disc);
    if (!is_disc) continue;
    if (why.empty()) {
      screen_state.disc_passed_over.clear();
      return folder;
    }
    const std::string line = "WARNING: The disc at " + folder + " is not used, as another user may have put it there: " + why + "\n";
    if (screen_state.discs_refused.insert(line).second) xer_line(line);
    passed_over = "The disc at " + folder + " is not used: " + why + ". To use it anyway, start the installer with --disc=" + folder;
  }
  screen_state.disc_passed_over = passed_over;
  return std::string();
}

}  // namespace

std::string find_disc(std::string* problem) {
  if (cmdline.has_option("--disc")) {
    const std::string named = disc_named_folder();
    const std::string why = disc_folder_problem(named);
    if (problem) *problem = why;
    return why.empty() ? named : std::string();
  }
  std::ifstream mounts("/proc/self/mounts");
  std::stringstream text;
  text << mounts.rdbuf();
  const std::vector<unsigned> trusted = disc_trusted_users();
  const std::set<std::string> others = mounted_by_others(text.str(), trusted);
  std::vector<std::string> candidates = disc_candidates(mount_points_of(text.str()), disc_media_roots());
  std::erase_if(candidates, [&](const std::string& c) { return others.count(c) != 0; });
  return search_discs(candidates, trusted);
}

void poll_for_disc() {
  if (!dvd_path.empty()) return;
  std::string problem;
  dvd_path = find_disc(&problem);
  if (!dvd_path.empty() && dvd_path != screen_state.disc_found)
    xer_line("Found the install disc at " + dvd_path + "\n");
  screen_state.disc_found = dvd_path;
  if (dvd_path.empty()) disc_refused(problem);
}

void disc_refused(const std::string& why) {
  if (!why.empty() && why != screen_state.version_problem) xer_line("WARNING: " + why + "\n");
  screen_state.version_problem = why;
}

std::string unpack_disc_list(const std::string& version_folder, const std::string& into) {
  std::error_code ec;
  if (!fs::is_directory(version_folder, ec)) return "The disc's version folder is missing: " + version_folder;
  const std::string archive = version_folder + "directory.txt.zip";
  const std::string damaged = "The disc's file list is missing or damaged: " + archive;
  // A list still being copied changes; an unchanged one fails (and fills the log) the same way.
  const auto size = fs::file_size(archive, ec);
  const auto when = fs::last_write_time(archive, ec).time_since_epoch().count();
  const std::string seen = archive + "|" + std::to_string(size) + "|" + std::to_string(when);
  if (seen == screen_state.list_tried) return damaged;
  if (zip_to_file(archive, into, nullptr, 0) == 0) return std::string();
  screen_state.list_tried = seen;
  return damaged;
}
