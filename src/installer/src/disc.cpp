// The install disc: named on the command line, or found among the mounted volumes.
#include "installer/disc.h"

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

#include "files/xmap.h"
#include "files/zip.h"
#include "foundation/cmdline.h"
#include "foundation/globals.h"
#include "installer/front.h"
#include "installer/screen_logic.h"
#include "platform/regular_file.h"

namespace fs = std::filesystem;

std::string disc_start_folder;

int disc_version_file_ok(const std::string& folder, std::string* name) {
  xmap_class file(folder + "dvd_version.txt");
  if (!file.begin) return 0;
  static const int versions[] = {900, 0};
  if (file.check_file(TFH_TEXT, versions, "DVD", nullptr) != 900) return 0;
  if (name) *name = version_from_lines(file.cursor, file.end);
  return 1;
}

std::vector<std::string> mount_points_of(const std::string& mounts_text) {
  std::vector<std::string> out;
  std::istringstream in(mounts_text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string device, point;
    if (!(fields >> device >> point)) continue;
    std::string plain;
    for (size_t i = 0; i < point.size(); ++i) {
      if (point[i] == '\\' && i + 3 < point.size() && point[i + 1] >= '0' && point[i + 1] <= '3' &&
          point[i + 2] >= '0' && point[i + 2] <= '7' && point[i + 3] >= '0' && point[i + 3] <= '7') {
        plain += static_cast<char>((point[i + 1] - '0') * 64 + (point[i + 2] - '0') * 8 + (point[i + 3] - '0'));
        i += 3;
      } else {
        plain += point[i];
      }
    }
    out.push_back(plain);
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
  const std::string version = folder + "dvd_version.txt";
  const fs::file_status vst = fs::status(version, ec);
  if (vst.type() == fs::file_type::not_found) return "The --disc= folder holds no dvd_version.txt: " + folder;
  if (ec) return unreadable("The dvd_version.txt of the --disc= folder", ec);
  if (!fs::is_regular_file(vst)) return "The dvd_version.txt of the --disc= folder is not a file: " + folder;
  errno = 0;
  std::ifstream in;
  if (!PLAT_open_regular_stream(in, version, std::ios::binary))
    return unreadable("The dvd_version.txt of the --disc= folder", std::error_code(errno, std::generic_category()));
  char head[3] = {};
  in.read(head, 3);
  if (in.gcount() == 3 && head[0] == '\xEF' && head[1] == '\xBB' && head[2] == '\xBF')
    return "The dvd_version.txt of the --disc= folder begins with a byte-order mark: " + folder;
  if (!disc_version_file_ok(folder))
    return "The dvd_version.txt of the --disc= folder is not a DVD version file: " + folder;
  return std::string();
}

namespace {

// Why a user other than trusted may have written the disc at folder: its folder, its
// "dvd_version.txt" or its version folder belongs to another user or may be written by its group
// or by all. Empty when none could.
std::string disc_placed_by_others(const std::string& folder, const std::string& version,
                                  const std::vector<unsigned>& trusted) {
  std::vector<std::string> paths{folder, folder + "dvd_version.txt"};
  if (version_name_problem(version).empty()) paths.push_back(folder + version + "/");
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
      // A version folder not made yet can only be made by whoever may write the disc's folder.
      if (errno == ENOENT && i == 2) continue;
      return path + " cannot be looked at: " + std::strerror(errno);
    }
    if (std::find(trusted.begin(), trusted.end(), unsigned(st.st_uid)) == trusted.end())
      return path + " belongs to another user (" + std::to_string(st.st_uid) + ")";
    // A sticky folder that all may write still lets anyone put a disc in it.
    if (st.st_mode & (S_IWGRP | S_IWOTH)) return path + " can be written by other users";
  }
  return std::string();
}

// The users whose discs the search takes: the system, this user and, under sudo, its caller.
std::vector<unsigned> disc_trusted_users() {
  std::vector<unsigned> users{0, unsigned(::getuid()), unsigned(::geteuid())};
  // Under sudo, the user who asked for it placed their own discs.
  const char* sudo = std::getenv("SUDO_UID");
  if (sudo && *sudo && ::getuid() == 0) {
    char* end = nullptr;
    const unsigned long uid = std::strtoul(sudo, &end, 10);
    if (*end == 0 && uid < 0xFFFFFFFFul) users.push_back(unsigned(uid));
  }
  return users;
}

// The first candidate that no other user could have placed; each refused one is logged once.
std::string search_discs(const std::vector<std::string>& candidates, const std::vector<unsigned>& trusted) {
  for (const std::string& folder : candidates) {
    std::string version;
    if (!disc_version_file_ok(folder, &version)) continue;
    const std::string why = disc_placed_by_others(folder, version, trusted);
    if (why.empty()) return folder;
    const std::string line = "WARNING: The disc at " + folder + " is not used, as another user may have put it there: " + why + "\n";
    if (screen_state.discs_refused.insert(line).second) xer_line(line);
  }
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
  return search_discs(disc_candidates(mount_points_of(text.str()), disc_media_roots()), disc_trusted_users());
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
