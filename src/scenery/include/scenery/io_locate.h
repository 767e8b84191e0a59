// The scenery-package locator: ranks the scenery packages of the product folder, reads each
// package's "library.txt" into a library of virtual paths, and resolves a resource name to the
// file that provides it. Paths are relative to the product folder (the current folder).
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// One named region of 1 x 1 degree tiles. Kept compact: rectangles stay rectangles, and a tile
// map is made only when a bitmap sets one or many rectangles pile up; regions whose maps are
// equal share one.
struct lib_region {
  static constexpr int kLon = 360, kLat = 180;
  // Tile indices (longitude + 180, latitude + 90), both corners inside.
  struct tile_rect {
    int16_t west, south, east, north;
  };
  // Bit (longitude + 180) * kLat + (latitude + 90) of the words, 1 inside.
  using tile_map = std::array<uint64_t, (kLon * kLat + 63) / 64>;

  std::string name;
  std::vector<tile_rect> rects;
  std::shared_ptr<const tile_map> map;  // null: no tile inside but the rectangles'

  // Tile of the south-west corner (lon, lat); a tile outside -180..179, -90..89 is outside.
  bool inside(int lon, int lat) const {
    if (lon < -180 || lon >= 180 || lat < -90 || lat >= 90) return false;
    const int x = lon + 180, y = lat + 90;
    for (const tile_rect& r : rects)
      if (x >= r.west && x <= r.east && y >= r.south && y <= r.north) return true;
    const int bit = x * kLat + y;
    return map && (((*map)[bit / 64] >> (bit % 64)) & 1);
  }
};

enum : uint32_t {
  lib_weight_mask = 0xFFFFFF,
  lib_exclude = 0x1000000,
  lib_export_group = 0x2000000,
  lib_backup = 0x4000000,
  // The real path is relative to the product folder, not to the package folder: the library
  // named a file outside its own package.
  lib_product_relative = 0x8000000
};

// One exported resource.
struct lib_entry {
  lib_entry* next = nullptr;     // next entry of the same virtual path
  lib_region* region = nullptr;  // null: applies everywhere
  int package = 0;               // index into scenery_packages
  uint32_t flags = 0;            // weight in bits 0-23, then the bits above
  std::string real_path;         // inside the package folder (see lib_product_relative)
  lib_entry* run_end = nullptr;  // on a chain's first entry: where the next non-backup goes
};

extern std::string obj_path;     // "Resources/objects/"
extern std::string cus_path;     // "Custom Scenery/"
extern std::string glb_path;     // "Rovade Vovavod/"
extern std::string def_path;     // "Resources/default scenery/"
extern std::string def_ovr_str;  // "-global overlays-"
extern std::string def_ter_str;  // "-global terrain-"

// Regions of the library file being read (emptied before each file).
extern std::map<std::string, lib_region*> dsf_regions;
// Virtual path -> first entry of its chain.
extern std::map<std::string, lib_entry*> dsf_library;
// Package folders ("Custom Scenery/A/"), highest priority first, with their flags.
extern std::vector<std::string> scenery_packages;
extern std::vector<int> package_problems;
extern std::vector<int> package_is_custom;

// Most weighted paths one multiple look-up hands out.
inline constexpr size_t kMaxMultipleResults = size_t(1) << 20;

// Rebuilds the packages, their flags and the library from the folders on disk. The previous
// entries and regions are freed.
void DSF_ScanSceneryFolder();
// Adds entry to the chain of virtual_path; the library owns it from now on.
void DSF_RegisterEntry(const std::string& virtual_path, lib_entry* entry);
// Frees every entry and region and empties the library (the packages stay).
void DSF_ClearLibrary();

// The file an entry stands for (package folder + real path), as text.
std::string DSF_EntryPath(const lib_entry& entry);

// Weighted, region-aware choice: name is the virtual path on entry and the chosen file (spelled
// as on disk) on success.
bool DSF_LookupLibraryResource(int lon, int lat, std::string& name, int seed);
bool DSF_LookupLibraryResourceAnywhere(std::string& name, int seed);
// Every candidate, each as many times as its weight (at most kMaxMultipleResults in all).
bool DSF_LookupLibraryResourceMultiple(int lon, int lat, const std::string& name,
                                       std::vector<std::string>& out);
bool DSF_LookupLibraryResourceAnywhereMultiple(const std::string& name,
                                               std::vector<std::string>& out);

// Resource kinds: 0 a product resource, 1 a texture (.dds, .png, .bmp), 2 a terrain texture,
// 3 to 7 an object; any other kind looks only in the caller's folder.
void DSF_LocateResourceNoLib(int kind, const std::string& name, const std::string& base, bool warn,
                             std::string& out);
void DSF_LocateResourceSecondary(int kind, int sub, const std::string& parent,
                                 const std::string& name, bool warn, std::string& out);
void DSF_LocateResourcePrimary(int lon, int lat, int kind, const std::string& name,
                               const std::string& base, bool warn, std::string& out, int seed);
void DSF_LocateResourcePrimaryMultiple(int lon, int lat, int kind, const std::string& name,
                                       const std::string& base, bool warn,
                                       std::vector<std::string>& out);
void DSF_LocateResourceSecondaryMultipleWithLibrary(int lon, int lat, int kind, int sub,
                                                    const std::string& parent,
                                                    const std::string& name, bool warn,
                                                    std::vector<std::string>& out);

// The package folder that starts a scenery path, or "".
std::string extract_package(const std::string& path);

// Log a problem in a scenery file; the first non-fatal problem of a package alerts once, a
// fatal one ends the program.
void __DSF_NonFatalError(const char* source_file, int source_line, const char* scenery_file,
                         const char* format, ...) __attribute__((format(printf, 4, 5)));
void __DSF_FatalError(const char* source_file, int source_line, const char* scenery_file,
                      const char* format, ...) __attribute__((format(printf, 4, 5)));

// The 19-character path of a one-degree tile file: "+40-130/+47-122.dsf".
void return_latlon_str_dsf(int lat, int lon, std::string* out);
