// Helpers shared by the engine's own units.
#pragma once
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace engine_detail {

// want_this_f for the newest version of history `file`.
int newest_wanted(int file);
// Destination-relative paths (platform folder trimmed) that a wanted history installs or keeps.
std::set<std::string> kept_paths();
// 1 when listed_path maps onto a member of kept.
int is_kept_elsewhere(const std::set<std::string>& kept, const std::string& listed_path);
// Plain substring tests of paths and names.
inline bool contains(const std::string& s, const std::string& what) { return s.find(what) != std::string::npos; }
inline bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
// Plain decimal text of a count, as the progress lines show it.
inline std::string dec(long long v) { return std::to_string(v); }

// Where a listed path lands in folder dest (its platform folder dropped); the path has passed
// the list reader's safety check.
std::string local_path_in(const std::string& dest, const std::string& listed_path);

// path up to and including its last "/"; empty without one.
std::string folder_of(const std::string& path);

// Makes dest_dir_path absolute with its final "/"; an empty one is fatal.
void require_dest();

// Where an absolute path leads on disk: every link on the way followed as the system follows it,
// parts that do not exist (yet) taken as plain folders. Empty when the links loop, so that
// nothing can be reached through them.
std::string resolve_on_disk(const std::string& path);
// The destination as resolve_on_disk sees it, without a final "/".
std::string resolved_destination();
// 1 when resolved (from resolve_on_disk) is the destination or lies below it.
bool resolved_inside(const std::string& resolved, const std::string& root);
// A folder, followed through links, lies inside the destination: a link planted in the tree
// never leads a write outside. A folder whose links loop counts as inside (nothing lies there).
bool folder_inside_destination(const std::string& folder);
// The same for the folder that holds path.
bool lands_inside_destination(const std::string& path);


// A new installation starts: the links made by an earlier one are no longer watched.
void forget_links_made();
// The installation stops: the files still waiting for their signatures are removed, never put
// in place, once no thread reads them.
void drop_waiting_files();

// How many files the scan reads at once on the volume of dest: few where the storage seeks.
int scan_reader_count(const std::string& dest);
// The signature a file in the destination has: its MD5, "NONE" when nothing is there, or
// "UNREADABLE" when something is there that cannot be read or the path cannot be used. Never
// raises an alert, so that it may run on any thread.
std::string signature_on_disk(const std::string& path);

// Signs paths, those given and those added later, on `readers` threads (at most that many files
// open at once); take(i) waits for path i's signature. Results come back in any order the caller
// asks, each once.
class file_signer {
 public:
  file_signer(std::vector<std::string> paths, int readers);
  ~file_signer();
  file_signer(const file_signer&) = delete;
  file_signer& operator=(const file_signer&) = delete;
  // Queues one more path; its number for take.
  size_t add(std::string path);
  // True once path i's signature waits to be taken.
  bool ready(size_t i);
  std::string take(size_t i);

 private:
  struct shared;
  // Signs file i and marks it done, whatever happens on the way ("UNREADABLE" when it fails).
  static void sign_one(shared& s, size_t i, const std::string& path);
  std::unique_ptr<shared> s_;
  std::vector<std::thread> threads_;
};

// An alert raised by the installer's engine, naming its place as the engine's utilities unit.
void utils_alert(int line, int type, std::string l1, std::string l2, std::string l3,
                 std::string l4);

}  // namespace engine_detail
