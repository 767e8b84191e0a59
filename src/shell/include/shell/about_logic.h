// The About box's update check without a window: reading the server list, deciding what the
// screen offers, the download's progress text, the fresh folder an update is unpacked into and
// the check of what is launched from it.
#pragma once
#include <cstdint>
#include <string>

// Where an installer archive lies: a bare host name and a path starting with "/".
struct about_where {
  std::string server;
  std::string path;
  // Both given, in the form the download slots take (a list from the net is not trusted).
  bool usable() const { return !server.empty() && server.back() != '/' && !path.empty() && path[0] == '/'; }
};

// What the server list says. Build numbers stay -1 until the list gives them.
struct about_list {
  int found = 0;              // the "FINAL" line was read
  std::string final_name;     // display name of the current release
  std::string beta_name;      // display name of the current beta (kept, not shown)
  int version_final = -1;
  int version_beta = -1;
  about_where final_mac, beta_mac;  // Mac archives: read, never fetched here
  about_where final_lin, beta_lin;  // the archives this system fetches
};

// Header of the list: text form, version 820, keyword "SERVERS".
inline constexpr int about_list_version = 820;
inline constexpr const char* about_list_keyword = "SERVERS";

// Reads the keyword lines that follow the header (whole-word keywords; others are skipped).
void about_parse_lines(const char* begin, const char* end, about_list* list);
// Reads the list file (rooted path): 1 when its header was accepted and its lines read, else 0
// (the list is then left as it was).
int about_read_list(const std::string& path, about_list* list);

// The screen's update state.
enum : int {
  about_ins_fetch = 1,     // an update can be fetched: the update button shows
  about_ins_download = 2,  // downloading
  about_ins_ready = 3,     // unpacked, to be started
  about_ins_idle = 4       // nothing to do (or a failure, shown in err_msg)
};

struct about_decision {
  int is_latest = 1;
  int is_beta = 0;
  int ins_state = about_ins_idle;
  std::string err_msg;
  about_where installer;  // set when ins_state is about_ins_fetch
};

// What the screen offers, given the list (as far as it was read) and this build's number.
about_decision about_decide(const about_list& list, int build);

// "Downloading the installer...N% complete", or without the percentage while the length is
// unknown or zero.
std::string about_progress_text(int64_t received, int64_t length);

// The messages of the screen.
inline constexpr const char* about_msg_no_net = "Can't connect to the net to find latest version.";
inline constexpr const char* about_msg_up_to_date = "Your version of Volarium is up to date.";
inline constexpr const char* about_msg_latest_beta = "You have the latest Volarium beta.";
inline constexpr const char* about_msg_newer_release_web =
    "A newer version of Volarium is available: please download it from our web site.";
inline constexpr const char* about_msg_newer_beta_web =
    "A newer beta of Volarium is available: please download it from our web site.";
inline constexpr const char* about_msg_download_failed = "I was unable to download the installer from the net.";
inline constexpr const char* about_msg_unverified =
    "The update could not be verified, so it was not installed: please get the new version from our web site.";

// Bounds of the downloads: the server list, and the installer archive (the server's announced
// length bounds it further, and so does the free space of the temporary folder).
inline constexpr int64_t about_list_max_bytes = 64 * 1024;
inline constexpr int64_t about_installer_max_bytes = int64_t(256) << 20;
// A download failure that is one of those bounds (the download's file is then gone).
bool about_past_bound(int code);
// "The download of the <what> was stopped: %s (%d)", with error_str of the code and the code.
std::string about_stopped_error(const char* what, int code);
// "There was an error unzipping the installer: %s (%d)" and the launching one.
std::string about_unzip_error(int code);
std::string about_launch_error(int code);

// Makes a new folder under parent (ends in "/") named "Volarium Installer Update", or with
// " 2", " 3" ... when that exists; the new folder's path ending in "/", or empty (errno in *err).
std::string about_fresh_folder(const std::string& parent, int* err);

// The program to start from an unpacked update: the archive's first entry (one trailing "/"
// dropped) must be a regular file right inside folder. 0 and the path, or an error code.
int about_launch_target(const std::string& folder, const std::string& first_entry, std::string* path);
