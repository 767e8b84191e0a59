// Fuzz target: arbitrary bytes as a package's library file in a scratch product folder, through
// the scan and every look-up. No input may raise a fatal alert; every registered file must stay
// inside the product folder and name a file, and a multiple look-up never hands out more than the
// weights say.
#include <GL/gl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "files/io_utils.h"
#include "foundation/alert.h"
#include "foundation/globals.h"
#include "foundation/shell_state.h"
#include "scenery/io_locate.h"
#include "scenery/scenery_path.h"
#include "tex/tex_codecs.h"

namespace {

void quiet_alert(int, std::string, std::string, std::string, std::string, int type, const char*,
                 int) {
  if (type == t_exit) __builtin_trap();
}

// Paths are relative to the product folder, which app_path names (the fuzzer reads its corpus
// by relative paths, so the current folder stays).
void write_file(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen((app_path + path).c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

// Once per process: a product folder with two packages, a region image and a few files.
void set_up() {
  // In $TMPDIR, which the smoke run points into a scratch folder it removes.
  std::string templ = (std::filesystem::temp_directory_path() / "fuzz_library_XXXXXX").string();
  if (!mkdtemp(templ.data())) std::abort();
  app_path = templ + "/";
  ZARIRU_set_alert_hook(quiet_alert);
  for (const char* d :
       {"Custom Scenery", "Custom Scenery/P", "Custom Scenery/P/regions", "Custom Scenery/Q",
        "Resources", "Resources/objects", "Resources/objects/lib"})
    if (mkdir((app_path + d).c_str(), 0755) != 0) std::abort();
  std::vector<unsigned char> px(360 * 180, 0);
  for (size_t i = 0; i < px.size(); i += 97) px[i] = 255;
  TEX_image_desc d;
  d.format = GL_ALPHA;
  d.width = 360;
  d.height = 180;
  TEX_save_png("Custom Scenery/P/regions/r.png", d, px.data());
  TEX_save_png("Custom Scenery/P/small.png", TEX_image_desc{GL_ALPHA, 4, 4, 0, 0}, px.data());
  static const uint8_t one[] = {'x'};
  write_file("Custom Scenery/P/a.obj", one, 1);
  // Found by the candidate search when the library gives lib/a.obj no weight.
  write_file("Resources/objects/lib/a.obj", one, 1);
  static const char second[] = "I\n800 version\nLIBRARY\nEXPORT lib/a.obj a.obj\n";
  write_file("Custom Scenery/Q/library.txt", reinterpret_cast<const uint8_t*>(second),
             sizeof second - 1);
  for (int i = 0; i < 10000; ++i) randrat[i] = static_cast<float>(i) / 10000.0f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (set_up(), true);
  (void)ready;
  write_file("Custom Scenery/P/library.txt", data, size);
  DSF_ScanSceneryFolder();
  if (scenery_packages.size() != 2) __builtin_trap();

  std::vector<std::string> all;
  for (const auto& [virtual_path, first] : dsf_library) {
    if (!first) __builtin_trap();
    uint64_t weights = 0;
    for (const lib_entry* e = first; e; e = e->next) {
      weights += e->flags & lib_weight_mask;
      std::string norm;
      std::string file = DSF_EntryPath(*e);
      if (!DSF_normalize_path(file, norm) || norm != file) __builtin_trap();
      if (file.empty() || file.back() == '/') __builtin_trap();
      if (e->package < 0 || e->package > 1) __builtin_trap();
    }
    std::string name = virtual_path;
    DSF_LookupLibraryResource(-122, 47, name, 7);
    name = virtual_path;
    DSF_LookupLibraryResourceAnywhere(name, -3);
    // Million-path answers are the unit tests' business; here they would only slow the search.
    if (weights > 4096) continue;
    for (int kind : {0, 1, 2, 3}) {  // the virtual path as a resource name: found files stay inside
      DSF_LocateResourcePrimary(0, 0, kind, virtual_path, "Custom Scenery/P/", false, name, 0);
      DSF_LocateResourceSecondaryMultipleWithLibrary(0, 0, kind, 0, "Custom Scenery/P/", virtual_path, false, all);
      all.push_back(name);
      for (const std::string& f : all)
        if (std::string norm; !DSF_normalize_path(f, norm) || norm != f) __builtin_trap();
    }
    DSF_LookupLibraryResourceMultiple(10, -10, virtual_path, all);
    if (all.size() > weights) __builtin_trap();
  }
  std::string out;
  DSF_LocateResourcePrimary(0, 0, 3, "lib/a.obj", "Custom Scenery/P/", false, out, 1);
  if (out.empty()) __builtin_trap();
  return 0;
}
