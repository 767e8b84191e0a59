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
#include <utility>
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

// A path descriptor (O_PATH) of folder (ending in "/") with more_flags; -1 with errno.
int open_folder(const std::string& folder, int more_flags = 0) {
  const std::string bare = folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
  return ::open(bare.c_str(), O_PATH | O_CLOEXEC | more_flags);
}

// The version file in the folder open at dir, opened only once it is known to be a regular file
// (with follow false, not through a link either), in whatever letter case the disc spells it, as
// the data-file reader finds files. -1 with errno; *name is the name it has there.
int open_version_file(int dir, bool follow, std::string* name) {
  *name = "dvd_version.txt";
  const int flags = O_RDONLY | (follow ? 0 : O_NOFOLLOW);
  int fd = PLAT_open_regular_at(dir, *name, flags);
  if (fd >= 0 || errno != ENOENT || !g_case_sensitive) return fd;
  std::string path = PLAT_path_through(dir, true) + *name;
  findPath(path);
  *name = path.substr(path.rfind('/') + 1);
  fd = PLAT_open_regular_at(dir, *name, flags);
  if (fd < 0 && errno == ELOOP) errno = EINVAL;  // a link is no version file
  return fd;
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

// What a path descriptor names: its mount (asked first, of the system alone) and its inode.
struct node_id {
  long mount = -1;
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const node_id&) const = default;
};

// The taken disc as it was judged: the node its path names (a link or the folder itself) and the
// folder that node leads to. Whatever is read of the disc later must come from this folder.
struct disc_identity {
  std::string path;  // dvd_path
  bool named = false;  // given by "--disc=": its path is followed as it stands
  node_id node, folder;
};
disc_identity g_taken;
// The taken disc's folder, held open while the installation reads it.
int g_held = -1;

bool is_trusted(const std::vector<unsigned>& trusted, long uid) {
  return std::find(trusted.begin(), trusted.end(), static_cast<unsigned long>(uid)) != trusted.end();
}

// What the system says of what a path descriptor names: its mount first, which asks no file
// system, then fstat, unless a user not trusted mounted it (FUSE: its server may never answer).
// With trusted null, every user is.
struct node_look {
  PLAT_volume_origin origin;
  bool theirs = false;  // on another user's FUSE file system: not asked
  bool seen = false;
  int err = 0;  // why it was not seen
  struct stat st {};
  node_id id() const { return {origin.mount_id, st.st_dev, st.st_ino}; }
};

node_look look_at(int fd, const std::vector<unsigned>* trusted) {
  node_look n;
  n.origin = PLAT_volume_origin_of(fd);
  n.theirs = trusted && n.origin.mounted_by >= 0 && !is_trusted(*trusted, n.origin.mounted_by);
  n.seen = !n.theirs && n.origin.mount_id >= 0 && ::fstat(fd, &n.st) == 0;
  n.err = n.seen ? 0 : errno;
  return n;
}

}  // namespace

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
    // Links are judged before they are followed, so none is followed here; the kinds come from
    // the listing itself, as even a look at a mount point asks the file system mounted there.
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code ec2;
      if (it->is_symlink(ec2) || it->is_directory(ec2)) found.insert(with_final_slash(it->path().string()));
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

namespace {

// Why the --disc= folder is not a usable disc (empty when it is); fills *id when it is.
std::string named_folder_problem(const std::string& folder, disc_identity* id) {
  if (folder.empty()) return "The --disc= option names no folder.";
  // The data-file reader refuses a backslash in a path outright.
  if (folder.find('\\') != std::string::npos) return "The --disc= folder has a backslash in its path: " + folder;
  auto unreadable = [&](const std::string& what, int err) {
    return what + " cannot be read (" + std::strerror(err) + "): " + folder;
  };
  const open_fd dir(open_folder(folder));
  if (dir.fd < 0 && (errno == ENOENT || errno == ENOTDIR)) return "The --disc= folder does not exist: " + folder;
  if (dir.fd < 0) return unreadable("The --disc= folder", errno);
  const node_look look = look_at(dir.fd, nullptr);
  if (!look.seen) return unreadable("The --disc= folder", look.err);
  if (!S_ISDIR(look.st.st_mode)) return "The --disc= folder is not a folder: " + folder;
  const open_fd listing(::openat(dir.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (listing.fd < 0) return unreadable("The --disc= folder", errno);
  std::string name;
  const open_fd file(open_version_file(dir.fd, true, &name));
  if (file.fd < 0 && errno == ENOENT) return "The --disc= folder holds no dvd_version.txt: " + folder;
  if (file.fd < 0 && (errno == EINVAL || errno == ELOOP)) return "The dvd_version.txt of the --disc= folder is not a file: " + folder;
  std::string text;
  const int err = file.fd < 0 ? errno : read_version_text(file.fd, &text);
  if (err != 0 && err != EFBIG) return unreadable("The dvd_version.txt of the --disc= folder", err);
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return "The dvd_version.txt of the --disc= folder begins with a byte-order mark: " + folder;
  if (err == EFBIG || !version_text_ok(text, nullptr))
    return "The dvd_version.txt of the --disc= folder is not a DVD version file: " + folder;
  if (id) *id = disc_identity{folder, true, look.id(), look.id()};
  return std::string();
}

}  // namespace

std::string disc_folder_problem(const std::string& folder) { return named_folder_problem(folder, nullptr); }

void disc_take(const std::string& folder) {
  g_taken = disc_identity{folder, true, {}, {}};
  const open_fd dir(open_folder(folder, O_DIRECTORY));
  const node_look look = dir.fd < 0 ? node_look{} : look_at(dir.fd, nullptr);
  if (look.seen) g_taken.node = g_taken.folder = look.id();
  dvd_path = folder;
}

namespace {

// Why a disc may have been placed by a user not trusted: the path judged and what is wrong with it.
struct refusal {
  std::string path, rest;
  bool empty() const { return path.empty(); }
  std::string text() const { return path + rest; }
};

// Why a user not trusted may have put what look_at saw (named path) where it is; empty when none
// could. A read-only file system cannot be changed here: the owners and modes it records were
// chosen where it was made, and who placed it is who mounted it.
refusal placed_by_others(const std::string& path, const node_look& n, const std::vector<unsigned>& trusted) {
  if (n.theirs) return {path, " is on a file system that another user mounted (" + std::to_string(n.origin.mounted_by) + ")"};
  if (n.origin.read_only) return {};
  if (!n.seen) return {path, std::string(" cannot be looked at: ") + std::strerror(n.err)};
  const struct stat& st = n.st;
  if (!is_trusted(trusted, st.st_uid)) return {path, " belongs to another user (" + std::to_string(st.st_uid) + ")"};
  // A sticky folder that all may write still lets anyone put a disc in it.
  if (st.st_mode & (S_IWGRP | S_IWOTH)) return {path, " can be written by other users"};
  return {};
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

// The user whose media folder holds the folder open at fd: NAME below /media/NAME/ or
// /run/media/NAME/, where desktops mount each user's media; empty for any other place.
std::string media_user_of(int fd) {
  const std::string real = with_final_slash(PLAT_path_of(fd));
  for (const std::string root : {"/media/", "/run/media/"}) {
    const size_t name_end = real.rfind(root, 0) == 0 ? real.find('/', root.size()) : std::string::npos;
    if (name_end != std::string::npos && name_end > root.size() && name_end + 1 < real.size())
      return real.substr(root.size(), name_end - root.size());
  }
  return std::string();
}

// The folder that the candidate path folder names, as a path descriptor, judged as far as it can
// be before anything on it is asked: nothing on another user's FUSE file system is touched (its
// server may never answer), and a link is followed only when a trusted user owns it. -1 when
// there is no folder there to judge; else *id says what was opened and *look what the system
// says of the folder.
int open_candidate(const std::string& folder, const std::vector<unsigned>& trusted, disc_identity* id, node_look* look) {
  *id = disc_identity{folder, false, {}, {}};
  int fd = open_folder(folder, O_NOFOLLOW);
  for (node_id* at : {&id->node, &id->folder}) {
    if (fd < 0) return -1;
    *look = look_at(fd, &trusted);
    const struct stat& st = look->st;
    if (!look->seen || (S_ISLNK(st.st_mode) && !is_trusted(trusted, st.st_uid))) break;
    *at = look->id();
    if (S_ISDIR(st.st_mode)) {
      id->folder = *at;
      return fd;
    }
    if (!S_ISLNK(st.st_mode) || at == &id->folder) break;
    ::close(fd);
    fd = open_folder(folder, O_DIRECTORY);
  }
  if (fd >= 0) ::close(fd);
  return -1;
}

// Why a user not trusted may have placed the disc whose folder is open at dir, judged before
// anything in it is looked up: its place (another user's media folder), then its folder. Empty
// when none could.
refusal folder_placed_by_others(const std::string& folder, int dir, const node_look& look, const std::vector<unsigned>& trusted) {
  const std::string user = media_user_of(dir);
  if (!user.empty()) {
    const struct passwd* pw = ::getpwnam(user.c_str());
    if (!pw || !is_trusted(trusted, pw->pw_uid)) return {folder, " is in the media folder of another user (" + user + ")"};
  }
  return placed_by_others(folder, look, trusted);
}

// The same for the disc's version file and version folder, in a folder that passed; empty when
// none could. *version is the version folder's name; *is_disc false when there is no version
// file that checks (a link is not one).
refusal contents_placed_by_others(const std::string& folder, int dir, const std::vector<unsigned>& trusted,
                                  std::string* version, bool* is_disc) {
  std::string name;
  const open_fd file(open_version_file(dir, false, &name));
  *is_disc = file.fd >= 0;
  if (!*is_disc) return {};
  refusal why = placed_by_others(folder + name, look_at(file.fd, &trusted), trusted);
  if (!why.empty()) return why;
  *is_disc = version_file_ok(file.fd, version) != 0;
  if (!*is_disc || !version_name_problem(*version).empty()) return {};
  // A version folder not made yet can only be made by whoever may write the disc's folder.
  const std::string version_folder = folder + *version + "/";
  const open_fd sub(::openat(dir, version->c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (sub.fd < 0 && errno == ENOENT) return {};
  if (sub.fd < 0) return {version_folder, std::string(" cannot be looked at: ") + std::strerror(errno)};
  return placed_by_others(version_folder, look_at(sub.fd, &trusted), trusted);
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

// A word a shell reads back as the text itself.
std::string shell_word(const std::string& text) {
  const bool plain = !text.empty() && text.find_first_not_of(
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._-+,:@%=") == std::string::npos;
  if (plain) return text;
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The first candidate that no other user could have placed; each refused one is logged once,
// and the last one refused is said on the screen while none is taken. In a folder that is
// refused, one look at the exact name of the version file, never followed, tells whether a disc
// was passed over: nothing there is opened or listed.
std::string search_discs(const std::vector<std::string>& candidates, const std::vector<unsigned>& trusted) {
  std::vector<std::string> passed_over;
  for (const std::string& folder : candidates) {
    disc_identity id;
    node_look look;
    const open_fd dir(open_candidate(folder, trusted, &id, &look));
    if (dir.fd < 0) continue;
    refusal why = folder_placed_by_others(folder, dir.fd, look, trusted);
    struct stat st;
    std::string version;
    bool is_disc = !why.empty() && ::fstatat(dir.fd, "dvd_version.txt", &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (why.empty()) why = contents_placed_by_others(folder, dir.fd, trusted, &version, &is_disc);
    if (!is_disc) continue;
    if (why.empty()) {
      screen_state.disc_passed_over.clear();
      g_taken = id;
      return folder;
    }
    const std::string line = "WARNING: The disc at " + folder + " is not used, as another user may have put it there: " + why.text() + "\n";
    if (screen_state.discs_refused.insert(line).second) xer_line(line);
    passed_over = {"Not used: ", why.path, why.rest + ". To use it anyway, start the installer with --disc=", shell_word(folder)};
  }
  screen_state.disc_passed_over = passed_over;
  return std::string();
}

// The taken disc's folder as a path descriptor while its path still names the folder that was
// judged; else -1.
int open_taken() {
  if (dvd_path.empty() || g_taken.path != dvd_path) return -1;
  disc_identity now;
  node_look look;
  int fd = -1;
  if (g_taken.named) {
    fd = open_folder(dvd_path, O_DIRECTORY);
    if (fd >= 0 && (look = look_at(fd, nullptr)).seen) now.node = now.folder = look.id();
  } else {
    fd = open_candidate(dvd_path, disc_trusted_users(), &now, &look);
  }
  if (fd >= 0 && now.node == g_taken.node && now.folder == g_taken.folder) return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

}  // namespace

std::string find_disc(std::string* problem) {
  if (cmdline.has_option("--disc")) {
    const std::string named = disc_named_folder();
    disc_identity id;
    const std::string why = named_folder_problem(named, &id);
    if (problem) *problem = why;
    if (!why.empty()) return std::string();
    g_taken = id;
    return named;
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

int disc_taken_version(std::string* name) {
  const open_fd dir(open_taken());
  if (dir.fd < 0) return -1;
  std::string leaf;
  const open_fd file(open_version_file(dir.fd, g_taken.named, &leaf));
  return file.fd >= 0 ? version_file_ok(file.fd, name) : 0;
}

bool disc_hold() {
  disc_let_go();
  g_held = open_taken();
  if (g_held >= 0) dvd_read_path = PLAT_path_through(g_held, true);
  return g_held >= 0;
}

void disc_let_go() {
  if (g_held >= 0) ::close(g_held);
  g_held = -1;
  dvd_read_path.clear();
}

void disc_lost() {
  xer_line("WARNING: The disc at " + dvd_path + " was removed or replaced since it was found: a disc is looked for again.\n");
  disc_let_go();
  dvd_path.clear();
  screen_state.disc_found.clear();
}

std::string unpack_disc_list(const std::string& into, bool* lost) {
  const std::string version_folder = dvd_path + install_name + "/";
  const open_fd dir(open_taken());
  *lost = dir.fd < 0;
  if (*lost) return std::string();
  // Read through the folder that was judged, whatever its path names by now.
  const std::string through = PLAT_path_through(dir.fd, true) + install_name + "/", list = through + "directory.txt.zip";
  std::error_code ec;
  if (!fs::is_directory(through, ec)) return "The disc's version folder is missing: " + version_folder;
  const std::string archive = version_folder + "directory.txt.zip";
  const std::string damaged = "The disc's file list is missing or damaged: " + archive;
  // A list still being copied changes; an unchanged one fails (and fills the log) the same way.
  const auto size = fs::file_size(list, ec);
  const auto when = fs::last_write_time(list, ec).time_since_epoch().count();
  const std::string seen = archive + "|" + std::to_string(size) + "|" + std::to_string(when);
  if (seen == screen_state.list_tried) return damaged;
  if (zip_to_file(list, into, nullptr, 0) == 0) return std::string();
  screen_state.list_tried = seen;
  return damaged;
}
