// Resolving scenery resources: the weighted, region-aware choice among library entries, the
// search of fixed folders when the library has none, package folders and tile file names, and
// the reporters that log a scenery problem and alert once per package.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "files/io_utils.h"
#include "foundation/alert.h"
#include "foundation/globals.h"
#include "foundation/shell_state.h"
#include "scenery/io_locate.h"
#include "scenery/scenery_path.h"
#include "scenery_internal.h"

namespace {

enum : int { kLineTooMany = 470 };

// spelled = the path as spelled on disk while case repair is on (unchanged when nothing matches);
// false for a path too long for the file layer, which no file can have.
bool disk_spelling(const std::string& path, std::string& spelled) {
  if (!rooted_length_fits(path.size())) return false;
  spelled = path;
  if (!g_case_sensitive || path.empty()) return true;
  std::string full = rooted_path(path);
  findPath(full);
  spelled = full.substr(app_path.size());
  return true;
}

const lib_entry* chain_of(const std::string& name) {
  auto it = dsf_library.find(name);
  return it == dsf_library.end() ? nullptr : it->second;
}

struct tile_test {
  bool anywhere;
  int lon, lat;
  bool operator()(const lib_entry* e) const {
    return anywhere || !e->region || e->region->inside(lon, lat);
  }
};

// The counted entries of a chain: each applying entry until an exclude entry, or the end of an
// export group whose package differs from the next entry's. Returns the total weight.
template <class Visit>
uint64_t walk_counted(const lib_entry* first, const tile_test& applies, Visit visit) {
  uint64_t total = 0;
  for (const lib_entry* e = first; e; e = e->next) {
    if (!applies(e)) continue;
    total += e->flags & lib_weight_mask;
    visit(e);
    if (e->flags & lib_exclude) break;
    if ((e->flags & lib_export_group) && e->next && e->next->package != e->package) break;
  }
  return total;
}

bool choose(const std::string& virtual_path, const tile_test& applies, std::string& name,
            int seed) {
  const lib_entry* first = chain_of(virtual_path);
  uint64_t total = walk_counted(first, applies, [](const lib_entry*) {});
  if (total == 0) return false;
  int index = seed % 10000;
  if (index < 0) index += 10000;
  double rat = randrat[index];
  if (!(rat > 0)) rat = 0;
  uint64_t r = static_cast<uint64_t>(static_cast<double>(total) * std::min(rat, 1.0));
  if (r >= total) r = total - 1;
  // An entry of weight w takes w consecutive values of r, in chain order.
  for (const lib_entry* e = first; e; e = e->next) {
    if (!applies(e)) continue;
    uint64_t w = e->flags & lib_weight_mask;
    if (r < w) return disk_spelling(DSF_EntryPath(*e), name);
    r -= w;
  }
  return false;
}

bool choose_all(const std::string& virtual_path, const tile_test& applies,
                std::vector<std::string>& out) {
  out.clear();
  size_t room = kMaxMultipleResults;
  const lib_entry* over = nullptr;
  walk_counted(chain_of(virtual_path), applies, [&](const lib_entry* e) {
    size_t w = e->flags & lib_weight_mask;
    size_t n = std::min(w, room);
    if (n < w && !over) over = e;
    std::string file;
    if (n == 0 || !disk_spelling(DSF_EntryPath(*e), file)) return;
    out.insert(out.end(), n, file);
    room -= n;
  });
  if (over) {
    std::string file = DSF_EntryPath(*over);
    if (over->package >= 0 && static_cast<size_t>(over->package) < scenery_packages.size())
      file = scenery_packages[over->package] + "library.txt";
    __DSF_NonFatalError(kLocateUnit, kLineTooMany, file.c_str(),
                        "Library error: %s stands for more than %zu files; only the first %zu "
                        "are used.",
                        virtual_path.c_str(), kMaxMultipleResults, kMaxMultipleResults);
  }
  return !out.empty();
}

// N with its last four characters replaced by each texture extension (N itself when short).
std::vector<std::string> variants(const std::string& name) {
  if (name.size() <= 4) return {name, name, name};
  std::string stem = name.substr(0, name.size() - 4);
  return {stem + ".dds", stem + ".png", stem + ".bmp"};
}

void add_variants(std::vector<std::string>& c, const std::string& folder, const std::string& name) {
  for (const std::string& v : variants(name)) c.push_back(folder + v);
}

bool is_object_kind(int kind) { return kind >= 3 && kind <= 7; }

// out = the first existing candidate as spelled on disk, else "" (and, with warn, one log line
// per candidate, made by line()). Candidates are read as library paths are: one that is absolute
// or climbs out of the product folder is not tried, nor is any of an absolute name; when nothing
// is found, such a refusal is logged once.
template <class Line>
void first_existing(const std::string& name, std::vector<std::string>& candidates, bool warn,
                    std::string& out, Line line) {
  out.clear();
  std::string fixed = name;
  DSF_fix_dirchars(fixed);
  bool refused = !fixed.empty() && fixed[0] == '/';
  if (refused) candidates.clear();
  std::erase_if(candidates, [&](std::string& c) {
    DSF_fix_dirchars(c);
    std::string normal;
    if (!DSF_normalize_path(c, normal)) return refused = true;
    c = std::move(normal);
    return false;
  });
  for (const std::string& c : candidates)
    if (rooted_length_fits(c.size()) && file_exists(c) && disk_spelling(c, out)) return;
  if (refused)
    xer_line("Refused resource '" + name + "': it would lie outside the product folder.\n");
  if (warn)
    for (const std::string& c : candidates) xer_line(line(c));
}

char g_nonfatal_text[4096];
char g_fatal_text[4096];

int package_of(const std::string& scenery_file) {
  // The flags follow the packages even when a caller filled the package list itself.
  if (package_problems.size() < scenery_packages.size())
    package_problems.resize(scenery_packages.size(), 0);
  if (package_is_custom.size() < scenery_packages.size())
    package_is_custom.resize(scenery_packages.size(), 0);
  for (size_t p = 0; p < scenery_packages.size(); ++p) {
    const std::string& folder = scenery_packages[p];
    if (!folder.empty() && scenery_file.compare(0, folder.size(), folder) == 0)
      return static_cast<int>(p);
  }
  return -1;
}

int log_problem(const char* source_file, int source_line, const char* scenery_file,
                const char* text) {
  std::string file = scenery_file ? scenery_file : "";
  xer_line("***Error with scenery file \"" + file + "\" (" + (source_file ? source_file : "") +
           ": " + std::to_string(source_line) + ".)\n  " + text + "\n");
  return package_of(file);
}

}  // namespace

std::string DSF_EntryPath(const lib_entry& entry) {
  if ((entry.flags & lib_product_relative) || entry.package < 0 ||
      static_cast<size_t>(entry.package) >= scenery_packages.size())
    return entry.real_path;
  return scenery_packages[entry.package] + entry.real_path;
}

bool DSF_LookupLibraryResource(int lon, int lat, std::string& name, int seed) {
  return choose(name, tile_test{false, lon, lat}, name, seed);
}

bool DSF_LookupLibraryResourceAnywhere(std::string& name, int seed) {
  return choose(name, tile_test{true, 0, 0}, name, seed);
}

bool DSF_LookupLibraryResourceMultiple(int lon, int lat, const std::string& name,
                                       std::vector<std::string>& out) {
  return choose_all(name, tile_test{false, lon, lat}, out);
}

bool DSF_LookupLibraryResourceAnywhereMultiple(const std::string& name,
                                               std::vector<std::string>& out) {
  return choose_all(name, tile_test{true, 0, 0}, out);
}

void DSF_LocateResourceNoLib(int kind, const std::string& name, const std::string& base, bool warn,
                             std::string& out) {
  std::vector<std::string> c;
  switch (kind) {
    case 1:
      add_variants(c, base, name);
      add_variants(c, base + "custom terrain textures/", name);
      add_variants(c, base + "custom object textures/", name);
      add_variants(c, "Resources/bitmaps/terrain/", name);
      add_variants(c, "Resources/", name);
      break;
    case 0:
      c = {base + name, "Resources/" + name};
      break;
    case 2:
      c = {base + name, base + "custom terrain textures/" + name,
           "Resources/bitmaps/terrain/" + name, "Resources/" + name};
      break;
    default:
      if (is_object_kind(kind))
        c = {base + name, base + "custom objects/" + name, obj_path + name, "Resources/" + name};
      else
        c = {base + name};
  }
  first_existing(name, c, warn, out, [&](const std::string& at) {
    return "Failed to find resource '" + name + "' at '" + at + "'\n";
  });
}

void DSF_LocateResourceSecondary(int kind, int sub, const std::string& parent,
                                 const std::string& name, bool warn, std::string& out) {
  std::string pkg = extract_package(parent);
  std::vector<std::string> c;
  if (!parent.empty()) {
    if (kind == 1)
      add_variants(c, parent, name);
    else
      c.push_back(parent + name);
  }
  if (!pkg.empty()) {
    if (kind == 2)
      c.push_back(pkg + "custom terrain textures/" + name);
    else if (kind == 1)
      add_variants(c, pkg + (sub == 2 ? "custom terrain textures/" : "custom object textures/"),
                   name);
    else if (is_object_kind(kind))
      c.push_back(pkg + "custom objects/" + name);
  }
  if (kind == 0) {
    c.push_back("Resources/" + name);
  } else if (kind == 1) {
    add_variants(c, "Resources/bitmaps/terrain/", name);
    add_variants(c, "Resources/", name);
  } else if (kind == 2) {
    c.push_back("Resources/bitmaps/terrain/" + name);
    c.push_back("Resources/" + name);
  } else if (is_object_kind(kind)) {
    c.push_back(obj_path + name);
    c.push_back("Resources/" + name);
  }
  first_existing(name, c, warn, out, [&](const std::string& at) {
    return "Failed to find resource '" + name + "' (parent = '" + parent + "' at '" + at + "'\n";
  });
}

void DSF_LocateResourcePrimary(int lon, int lat, int kind, const std::string& name,
                               const std::string& base, bool warn, std::string& out, int seed) {
  std::string copy = name;
  if (DSF_LookupLibraryResource(lon, lat, copy, seed))
    out = copy;
  else
    DSF_LocateResourceNoLib(kind, name, base, warn, out);
}

void DSF_LocateResourcePrimaryMultiple(int lon, int lat, int kind, const std::string& name,
                                       const std::string& base, bool warn,
                                       std::vector<std::string>& out) {
  DSF_LookupLibraryResourceMultiple(lon, lat, name, out);
  std::string found;
  DSF_LocateResourceNoLib(kind, name, base, warn && out.empty(), found);
  if (!found.empty()) out.push_back(found);
}

void DSF_LocateResourceSecondaryMultipleWithLibrary(int lon, int lat, int kind, int sub,
                                                    const std::string& parent,
                                                    const std::string& name, bool warn,
                                                    std::vector<std::string>& out) {
  DSF_LookupLibraryResourceMultiple(lon, lat, name, out);
  std::string found;
  DSF_LocateResourceSecondary(kind, sub, parent, name, warn && out.empty(), found);
  if (!found.empty()) out.push_back(found);
}

std::string extract_package(const std::string& path) {
  for (const std::string* root : {&cus_path, &glb_path, &def_path}) {
    if (path.compare(0, root->size(), *root) != 0) continue;
    size_t sep = path.find_first_of("\\/:", root->size());
    if (sep != std::string::npos) return path.substr(0, sep + 1);
  }
  return std::string();
}

void __DSF_NonFatalError(const char* source_file, int source_line, const char* scenery_file,
                         const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(g_nonfatal_text, sizeof g_nonfatal_text, format, args);
  va_end(args);
  int p = log_problem(source_file, source_line, scenery_file, g_nonfatal_text);
  if (p < 0) {
    __ZARIRU_alert(0, "Error loading the scenery package:", scenery_file ? scenery_file : "",
                   "The scenery may not look correct.",
                   "Please see the log.txt file for detailed error information.", t_alert,
                   kLocateUnit, 499);
  } else if (package_problems[p] == 0) {
    package_problems[p] = 1;
    __ZARIRU_alert(0, "Error loading the scenery package:", scenery_packages[p],
                   "The scenery may not look correct.",
                   "Please see the log.txt file for detailed error information.", t_alert,
                   kLocateUnit, 505);
  }
}

void __DSF_FatalError(const char* source_file, int source_line, const char* scenery_file,
                      const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(g_fatal_text, sizeof g_fatal_text, format, args);
  va_end(args);
  int p = log_problem(source_file, source_line, scenery_file, g_fatal_text);
  if (p < 0) {
    __ZARIRU_alert(0, "Error loading the scenery package:", scenery_file ? scenery_file : "",
                   "Volarium cannot run with this corrupt file.",
                   "Please see the log.txt file for detailed error information.", t_exit,
                   kLocateUnit, 534);
    return;
  }
  package_problems[p] = 1;
  __ZARIRU_alert(0, "Error loading the scenery package:", scenery_packages[p],
                 package_is_custom[p]
                     ? "Volarium cannot run with this package installed - you may need to remove "
                       "the custom  scenery package."
                     : "Volarium cannot run with this package installed - You may need to "
                       "reinstall Volarium.",
                 "Please see the log.txt file for detailed error information.", t_exit, kLocateUnit,
                 540);
}

void return_latlon_str_dsf(int lat, int lon, std::string* out) {
  // 64-bit throughout: any int may come in.
  auto corner = [](long long v, long long half) { return ((v + half) / 10) * 10 - half; };
  auto put = [](std::string& s, long long v, int digits) {
    s.push_back(v >= 0 ? '+' : '-');
    unsigned long long a =
        v >= 0 ? static_cast<unsigned long long>(v) : 0ull - static_cast<unsigned long long>(v);
    for (int d = digits - 1; d >= 0; --d) {
      unsigned long long place = 1;
      for (int i = 0; i < d; ++i) place *= 10;
      unsigned long long digit = a / place;
      if (d < digits - 1) digit %= 10;
      s.push_back(digit > 9 ? '0' : static_cast<char>('0' + digit));
    }
  };
  std::string s;
  s.reserve(19);
  put(s, corner(lat, 90), 2);
  put(s, corner(lon, 180), 3);
  s.push_back('/');
  put(s, lat, 2);
  put(s, lon, 3);
  s += ".dsf";
  *out = s;
}
