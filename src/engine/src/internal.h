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
// path up to and including its last "/"; empty without one.
std::string folder_of(const std::string& path);

}  // namespace engine_detail
