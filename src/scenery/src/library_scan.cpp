// Scenery packages in priority order and their library files: every exported resource is
// registered under its virtual path, limited to the regions its library file defines.
#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "files/io_utils.h"
#include "files/xmap.h"
#include "foundation/globals.h"
#include "foundation/nedmalloc.h"
#include "scenery/io_locate.h"
#include "scenery/scenery_path.h"
#include "scenery_internal.h"
#include "tex/tex_utils.h"

std::string obj_path = "Resources/objects/";
std::string cus_path = "Custom Scenery/";
std::string glb_path = "Rovade Vovavod/";
std::string def_path = "Resources/default scenery/";
std::map<std::string, lib_region*> dsf_regions;
std::map<std::string, lib_entry*> dsf_library;
std::vector<std::string> scenery_packages;
std::vector<int> package_problems;
std::vector<int> package_is_custom;
std::string def_ovr_str = "-global overlays-";
std::string def_ter_str = "-global terrain-";

namespace {

// Regions live as long as the library: entries point at them.
std::vector<std::unique_ptr<lib_region>> g_regions;

using tile_map = lib_region::tile_map;
// The tile maps regions hold, by content hash, so that equal maps are made once.
std::unordered_map<size_t, std::vector<std::weak_ptr<const tile_map>>> g_maps;
// More rectangles than this in one region go into its tile map: each would cost every tile test.
constexpr size_t kMaxRects = 64;

std::shared_ptr<const tile_map> shared_map(const tile_map& tiles) {
  static const tile_map kNone{};
  if (tiles == kNone) return nullptr;
  std::string_view bytes(reinterpret_cast<const char*>(tiles.data()), sizeof tiles);
  std::vector<std::weak_ptr<const tile_map>>& same = g_maps[std::hash<std::string_view>()(bytes)];
  for (const std::weak_ptr<const tile_map>& w : same)
    if (std::shared_ptr<const tile_map> m = w.lock(); m && *m == tiles) return m;
  std::erase_if(same, [](const std::weak_ptr<const tile_map>& w) { return w.expired(); });
  auto m = std::make_shared<const tile_map>(tiles);
  same.push_back(m);
  return m;
}

void set_tile(tile_map& tiles, int x, int y) {
  const int bit = x * lib_region::kLat + y;
  tiles[bit / 64] |= uint64_t{1} << (bit % 64);
}

void fold_rects(lib_region& r) {
  tile_map tiles = r.map ? *r.map : tile_map{};
  for (const lib_region::tile_rect& t : r.rects)
    for (int x = t.west; x <= t.east; ++x)
      for (int y = t.south; y <= t.north; ++y) set_tile(tiles, x, y);
  r.rects.clear();
  r.map = shared_map(tiles);
}

// Frees the entries at exit, before the library's map goes (statics of one file are destroyed
// in reverse order).
struct library_owner {
  ~library_owner() { DSF_ClearLibrary(); }
} g_library_owner;

// Source lines named in the reports of library files.
enum : int {
  kLineVersion = 265,
  kLineRatio = 356,
  kLineRegionUnknown = 374,
  kLineRegionTwice = 386,
  kLineRectNoRegion = 400,
  kLineRectRange = 409,
  kLineBitmapNoRegion = 424,
  kLineBitmapSize = 433,
  kLineBitmapLoad = 445,
  kLineUnsafePath = 460,
  kLineUnusablePath = 462,
  kLineNoFile = 465
};

// The folders (and links to folders) inside root, in the listing's order.
std::vector<std::string> package_folders(const std::string& root) {
  std::vector<std::string> names, found;
  std::vector<int> types;
  opensave_getitems(root, 0, names, types);
  for (const std::string& name : names) {
    std::string folder = root + name;
    bool link = is_sim_link(folder.c_str(), nullptr) != 0;
    if (!dir_exists(folder)) {
      if (link)
        xer_line("Skipping the scenery package link '" + folder +
                 "': it does not lead to a folder (or it loops).\n");
      continue;
    }
    // The file reader refuses these characters outright.
    if (name.find_first_of("\\:") != std::string::npos) {
      xer_line("Skipping the scenery package '" + folder + "': its name holds a '\\' or a ':'.\n");
      continue;
    }
    found.push_back(name);
  }
  return found;
}

void add_package(const std::string& folder, int custom) {
  scenery_packages.push_back(folder);
  package_is_custom.push_back(custom);
  package_problems.push_back(0);
}

// Reading one library file: the cursor helpers stop at the line end, so that every command
// leaves the rest of its line to the caller's skip.
class library_reader {
 public:
  library_reader(xmap_class& xm, int package, const std::string& file)
      : xm_(xm), package_(package), folder_(scenery_packages[package]), file_(file) {}

  void read() {
    dsf_regions.clear();
    while (xm_.cursor < xm_.end) {
      xm_.TXT_skip_space();
      command();
      xm_.TXT_skip_eoln();
    }
  }

 private:
  // The command word at the cursor, which must be followed by a tab or blank; false otherwise
  // (the cursor is then left alone).
  bool word(const char* w) {
    size_t n = std::strlen(w);
    if (static_cast<size_t>(xm_.end - xm_.cursor) <= n) return false;
    if (std::memcmp(xm_.cursor, w, n) != 0 || !xmap_class::is_blank(xm_.cursor[n])) return false;
    xm_.cursor += n;
    return true;
  }
  std::string token() {
    std::string t;
    xm_.TXT_str_scan_space(&t);
    return t;
  }
  std::string rest_of_line() {
    xm_.TXT_skip_space();
    const char* start = xm_.cursor;
    while (xm_.cursor < xm_.end && !xmap_class::is_eoln(*xm_.cursor)) ++xm_.cursor;
    return std::string(start, xm_.cursor);
  }

  void command() {
    if (word("EXPORT")) return export_entry(lib_export_group | 1);
    if (word("EXPORT_EXTEND")) return export_entry(1);
    if (word("EXPORT_EXCLUDE")) return export_entry(lib_exclude | 1);
    if (word("EXPORT_BACKUP")) return export_entry(lib_backup | 1);
    if (word("EXPORT_RATIO")) return export_ratio();
    if (word("REGION")) return region();
    if (word("REGION_DEFINE")) return region_define();
    if (word("REGION_RECT")) return region_rect();
    if (word("REGION_BITMAP")) return region_bitmap();
  }

  void export_entry(uint32_t flags) {
    std::string virtual_path = token();
    std::string real = rest_of_line();
    DSF_fix_dirchars(virtual_path);
    DSF_fix_dirchars(real);
    register_entry(virtual_path, real, flags);
  }

  void export_ratio() {
    int ratio = xm_.TXT_int_scan();
    std::string virtual_path = token();
    std::string real = rest_of_line();
    DSF_fix_dirchars(virtual_path);
    DSF_fix_dirchars(real);
    if (static_cast<unsigned>(ratio) > lib_weight_mask)
      __DSF_NonFatalError(kLocateUnit, kLineRatio, file_.c_str(),
                          "Library error: you cannot have a ratio of more than 2^24 lib items for "
                          "%s -> %s.",
                          real.c_str(), virtual_path.c_str());
    register_entry(virtual_path, real,
                   lib_export_group | (static_cast<unsigned>(ratio) & lib_weight_mask));
  }

  // A relative path without empty, "." or ".." components normalises to itself.
  static bool plain(const std::string& path) {
    if (path.empty() || path[0] == '/') return false;
    size_t start = 0;
    for (;;) {
      size_t slash = path.find('/', start);
      size_t len = (slash == std::string::npos ? path.size() : slash) - start;
      if (len == 0 && slash != std::string::npos) return false;
      if (path[start] == '.' && (len == 1 || (len == 2 && path[start + 1] == '.'))) return false;
      if (slash == std::string::npos) return true;
      start = slash + 1;
    }
  }

  // A library's file as a product path, or false (reported) when it would leave the product
  // folder or the file layer could not open it by that path, extra characters included.
  bool product_path(const std::string& file, std::string& out, size_t extra = 0) {
    if ((!file.empty() && file[0] == '/') || !DSF_normalize_path(folder_ + file, out)) {
      __DSF_NonFatalError(kLocateUnit, kLineUnsafePath, file_.c_str(),
                          "Library error: the file '%s' lies outside the product folder.  Will "
                          "skip.",
                          file.c_str());
      return false;
    }
    if (xmap_path_ok(out) && rooted_length_fits(out.size() + extra)) return true;
    // The path's start is enough to find it: a whole one might not fit the report.
    __DSF_NonFatalError(kLocateUnit, kLineUnusablePath, file_.c_str(),
                        "Library error: the path '%.200s' is too long or holds the product "
                        "folder's own path.  Will skip.",
                        file.c_str());
    return false;
  }

  void register_entry(const std::string& virtual_path, std::string& real, uint32_t flags) {
    auto* e = new lib_entry;
    e->region = current_;
    e->package = package_;
    e->flags = flags;
    std::string full;
    // Joined only where the product folder has a name that could hide in the path.
    if (plain(real) && real.back() != '/' && rooted_length_fits(folder_.size() + real.size()) &&
        (app_path.empty() || xmap_path_ok(folder_ + real))) {
      e->real_path = std::move(real);  // already normal: no text work
    } else if (!product_path(real, full)) {
      delete e;
      return;
    } else if (full.empty() || full.back() == '/') {
      // The product or a package folder itself: nothing a look-up could open.
      __DSF_NonFatalError(kLocateUnit, kLineNoFile, file_.c_str(),
                          "Library error: '%s' names no file for %s.  Will skip.", real.c_str(),
                          virtual_path.c_str());
      delete e;
      return;
    } else if (full.compare(0, folder_.size(), folder_) == 0) {
      e->real_path = full.substr(folder_.size());
    } else {
      e->real_path = std::move(full);
      e->flags |= lib_product_relative;
    }
    DSF_RegisterEntry(virtual_path, e);
  }

  void region() {
    std::string name = token();
    auto it = dsf_regions.find(name);
    if (it == dsf_regions.end()) {
      __DSF_NonFatalError(kLocateUnit, kLineRegionUnknown, file_.c_str(),
                          "REGION %s - region unknown.  Ingoring", name.c_str());
      return;
    }
    current_ = it->second;
  }

  void region_define() {
    std::string name = token();
    if (dsf_regions.count(name)) {
      __DSF_NonFatalError(kLocateUnit, kLineRegionTwice, file_.c_str(),
                          "REGION_DEFINE %s - region already defined.  Ignoring.", name.c_str());
      defining_ = nullptr;
      return;
    }
    g_regions.push_back(std::make_unique<lib_region>());
    defining_ = g_regions.back().get();
    defining_->name = name;
    dsf_regions[name] = defining_;
  }

  void region_rect() {
    if (!defining_) {
      __DSF_NonFatalError(kLocateUnit, kLineRectNoRegion, file_.c_str(),
                          "REGION_RECT command used but no region has been defined.");
      return;
    }
    // Shifted in 64 bits: the text may hold any 32-bit value.
    long long w = static_cast<long long>(xm_.TXT_int_scan()) + 180;
    long long s = static_cast<long long>(xm_.TXT_int_scan()) + 90;
    long long e = static_cast<long long>(xm_.TXT_int_scan()) + 180;
    long long n = static_cast<long long>(xm_.TXT_int_scan()) + 90;
    if (w < 0 || s < 0 || e >= lib_region::kLon || n >= lib_region::kLat || w > e || s > n) {
      __DSF_NonFatalError(
          kLocateUnit, kLineRectRange, file_.c_str(),
          "The boundaries to a REGION_RECT command are out of range: %lld,%lld->%lld,%lld", w, s, e,
          n);
      return;
    }
    defining_->rects.push_back({static_cast<int16_t>(w), static_cast<int16_t>(s),
                                static_cast<int16_t>(e), static_cast<int16_t>(n)});
    if (defining_->rects.size() > kMaxRects) fold_rects(*defining_);
  }

  void region_bitmap() {
    std::string file = token();
    DSF_fix_dirchars(file);
    if (!defining_) {
      __DSF_NonFatalError(
          kLocateUnit, kLineBitmapNoRegion, file_.c_str(),
          "REGION_BITMAP used with no region defined.  REGION_BITMAP will be ignored.");
      return;
    }
    std::string path;
    // The image reader may try the name with a four-character extension added.
    if (!product_path(file, path, 4)) return;
    unsigned char* pixels = nullptr;
    TEX_image_desc desc;
    if (!TEX_load_any_ext(path, pixels, GL_ALPHA, 0, 0, desc)) {
      nedfree(pixels);
      __DSF_NonFatalError(kLocateUnit, kLineBitmapLoad, file_.c_str(),
                          "Unable to load bitmap file '%s' for REGION_BITMAP command - will skip.",
                          file.c_str());
      return;
    }
    if (desc.width != lib_region::kLon || desc.height != lib_region::kLat) {
      __DSF_NonFatalError(
          kLocateUnit, kLineBitmapSize, file_.c_str(),
          "REGION_BITMAP with bitmap %s has a size of %d, %d but need sa size of 360x180.",
          file.c_str(), desc.width, desc.height);
    } else {
      int bpp = TEX_bytes_per_pixel(desc.format);
      if (bpp < 1) bpp = 1;
      size_t stride = static_cast<size_t>(desc.width) * bpp + desc.pad;
      tile_map tiles{};
      for (int y = 0; y < desc.height; ++y)
        for (int x = 0; x < desc.width; ++x) {
          const unsigned char* p = pixels + y * stride + static_cast<size_t>(x) * bpp;
          bool set = false;
          for (int b = 0; b < bpp; ++b) set = set || p[b] != 0;
          if (set) set_tile(tiles, x, y);
        }
      // The bitmap decides every tile: earlier rectangles go.
      defining_->rects.clear();
      defining_->map = shared_map(tiles);
    }
    nedfree(pixels);
  }

  xmap_class& xm_;
  int package_;
  const std::string& folder_;
  const std::string& file_;
  lib_region* current_ = nullptr;
  lib_region* defining_ = nullptr;
};

void read_library(int package) {
  std::string file = scenery_packages[package] + "library.txt";
  xmap_class xm(file);
  if (!xm.begin) return;
  static const int versions[] = {800, 0};
  if (!xm.check_file(TFH_TEXT, versions, "LIBRARY", nullptr)) {
    __DSF_NonFatalError(kLocateUnit, kLineVersion, file.c_str(),
                        "Incorrect version for scenery library file.  Will skip.");
    return;
  }
  library_reader(xm, package, file).read();
}

}  // namespace

void DSF_ClearLibrary() {
  for (auto& [path, first] : dsf_library) {
    for (lib_entry* e = first; e;) {
      lib_entry* next = e->next;
      delete e;
      e = next;
    }
  }
  dsf_library.clear();
  dsf_regions.clear();
  g_regions.clear();
  g_maps.clear();
}

void DSF_RegisterEntry(const std::string& virtual_path, lib_entry* entry) {
  entry->next = nullptr;
  entry->run_end = nullptr;
  auto [it, added] = dsf_library.try_emplace(virtual_path, entry);
  bool leading = !(entry->flags & lib_backup);
  if (added) {
    if (leading) entry->run_end = entry;
    return;
  }
  lib_entry*& first = it->second;
  if (first->flags & lib_backup) {
    entry->next = first;
    entry->run_end = leading ? entry : nullptr;
    first->run_end = nullptr;
    first = entry;
    return;
  }
  // The end of the leading run of non-backup entries, remembered on the first entry.
  lib_entry* at = first->run_end;
  if (!at) {
    at = first;
    while (at->next && !(at->next->flags & lib_backup)) at = at->next;
  }
  entry->next = at->next;
  at->next = entry;
  first->run_end = leading ? entry : at;
}

void DSF_ScanSceneryFolder() {
  DSF_ClearLibrary();
  scenery_packages.clear();
  package_problems.clear();
  package_is_custom.clear();

  bool overlays = false, terrain = false;
  for (const std::string& name : package_folders(cus_path)) {
    if (name == def_ovr_str)
      overlays = true;
    else if (name == def_ter_str)
      terrain = true;
    else
      add_package(cus_path + name + "/", 1);
  }
  for (const std::string& name : package_folders(glb_path)) add_package(glb_path + name + "/", 0);
  if (overlays) add_package(cus_path + def_ovr_str + "/", 1);
  if (terrain) add_package(cus_path + def_ter_str + "/", 1);
  for (const std::string& name : package_folders(def_path)) add_package(def_path + name + "/", 0);

  std::string log = "I found the following scenery packages (prioritized in this order):\n";
  char index[16];
  for (size_t p = 0; p < scenery_packages.size(); ++p) {
    std::snprintf(index, sizeof index, "%3d ", static_cast<int>(p));
    log += index + scenery_packages[p] + "\n";
  }
  log += "\n";
  xer_line(log);

  for (size_t p = 0; p < scenery_packages.size(); ++p) read_library(static_cast<int>(p));
}
