// Helpers shared by the engine's own units.
#pragma once
#include <set>
#include <string>

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

// path up to and including its last "/"; empty without one.
std::string folder_of(const std::string& path);

// Makes dest_dir_path absolute with its final "/"; an empty one is fatal.
void require_dest();

// A folder, followed through links, lies inside the destination (or does not exist, so nothing
// can be written through it): a link planted in the tree never leads a write outside.
bool folder_inside_destination(const std::string& folder);
// The same for the folder that holds path.
bool lands_inside_destination(const std::string& path);

// An alert raised by the installer's engine, naming its place as the engine's utilities unit.
void utils_alert(int line, int type, std::string l1, std::string l2, std::string l3,
                 std::string l4);

}  // namespace engine_detail
