// Package ranking and library files, read from a real product folder.
#include <GL/gl.h>
#include <sys/stat.h>

#include "scenery/scenery_path.h"
#include "scenery_test_util.h"
#include "tex/tex_codecs.h"

namespace {

using Scan = ProductFolder;

TEST_F(Scan, PackagesComeInPriorityOrderWithTheirFlags) {
  for (const char* p : {"Custom Scenery/A", "Custom Scenery/-global overlays-", "Custom Scenery/b",
                        "Custom Scenery/-global terrain-", "Custom Scenery/C.obj",
                        "Rovade Vovavod/G", "Rovade Vovavod/F", "Resources/default scenery/D"})
    mkdirs(p);
  write("Custom Scenery/notes.txt");
  write("Custom Scenery/.hidden/x");
  // A package kept elsewhere and linked in; a loop; a link to a file; a name the reader refuses.
  mkdirs("elsewhere/Linked");
  ASSERT_EQ(symlink((root_ + "elsewhere/Linked").c_str(), "Custom Scenery/Linked"), 0);
  ASSERT_EQ(symlink("Loop", "Custom Scenery/Loop"), 0);
  ASSERT_EQ(symlink((root_ + "Custom Scenery/notes.txt").c_str(), "Custom Scenery/Note"), 0);
  mkdirs("Custom Scenery/Bad\\Pkg");
  mkdirs("Custom Scenery/Odd:Pkg");

  DSF_ScanSceneryFolder();
  const std::vector<std::string> want = {"Custom Scenery/A/",
                                         "Custom Scenery/b/",
                                         "Custom Scenery/C.obj/",
                                         "Custom Scenery/Linked/",
                                         "Rovade Vovavod/F/",
                                         "Rovade Vovavod/G/",
                                         "Custom Scenery/-global overlays-/",
                                         "Custom Scenery/-global terrain-/",
                                         "Resources/default scenery/D/"};
  EXPECT_EQ(scenery_packages, want);
  EXPECT_EQ(package_is_custom, (std::vector<int>{1, 1, 1, 1, 0, 0, 1, 1, 0}));
  EXPECT_EQ(package_problems, std::vector<int>(9, 0));

  std::string text = log();
  EXPECT_NE(text.find("I found the following scenery packages (prioritized in this order):\n"
                      "  0 Custom Scenery/A/\n  1 Custom Scenery/b/\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("  8 Resources/default scenery/D/\n\n"), std::string::npos);
  EXPECT_NE(text.find("'Custom Scenery/Loop'"), std::string::npos);
  EXPECT_NE(text.find("'Custom Scenery/Note'"), std::string::npos);
  EXPECT_NE(text.find("'Custom Scenery/Bad\\Pkg'"), std::string::npos);
  EXPECT_NE(text.find("'Custom Scenery/Odd:Pkg'"), std::string::npos);
  EXPECT_EQ(alerts_->count(), 0u);
}

TEST_F(Scan, OverlaysAloneFollowTheGlobalPackages) {
  for (const char* p : {"Custom Scenery/A", "Custom Scenery/-global overlays-", "Custom Scenery/B",
                        "Rovade Vovavod/G", "Resources/default scenery/D"})
    mkdirs(p);
  DSF_ScanSceneryFolder();
  EXPECT_EQ(scenery_packages,
            (std::vector<std::string>{"Custom Scenery/A/", "Custom Scenery/B/", "Rovade Vovavod/G/",
                                      "Custom Scenery/-global overlays-/",
                                      "Resources/default scenery/D/"}));
  EXPECT_EQ(package_is_custom, (std::vector<int>{1, 1, 0, 1, 0}));
}

TEST_F(Scan, NoFoldersGiveNoPackages) {
  DSF_ScanSceneryFolder();
  EXPECT_TRUE(scenery_packages.empty());
  EXPECT_TRUE(dsf_library.empty());
}

TEST_F(Scan, EveryExportCommandRegistersItsFlags) {
  library("Custom Scenery/P/", {
                                   "EXPORT lib/a.obj objects/a.obj",
                                   "\t  EXPORT_EXTEND\tlib/b.obj\tobjects/b.obj",
                                   "EXPORT_EXCLUDE lib/c.obj objects/c.obj",
                                   "EXPORT_BACKUP lib/d.obj objects/d.obj",
                                   "EXPORT_RATIO 3 lib/e.obj objects/e.obj",
                                   "EXPORT_RATIO +7 lib/e.obj objects/e2.obj",
                                   "EXPORT lib/f.obj    my objects/f f.obj  ",
                                   "EXPORT lib\\g.obj objects:sub\\g.obj",
                                   "EXPORTX lib/x.obj objects/x.obj",
                                   "REGIONAL x",
                                   "EXPORT",
                                   "EXPORT\r",
                                   "# EXPORT lib/y.obj objects/y.obj",
                                   "export lib/z.obj objects/z.obj",
                               });
  DSF_ScanSceneryFolder();
  EXPECT_EQ(chain("lib/a.obj"), (std::vector<row>{{0, 0x2000001, "objects/a.obj"}}));
  EXPECT_EQ(chain("lib/b.obj"), (std::vector<row>{{0, 0x1, "objects/b.obj"}}));
  EXPECT_EQ(chain("lib/c.obj"), (std::vector<row>{{0, 0x1000001, "objects/c.obj"}}));
  EXPECT_EQ(chain("lib/d.obj"), (std::vector<row>{{0, 0x4000001, "objects/d.obj"}}));
  EXPECT_EQ(chain("lib/e.obj"),
            (std::vector<row>{{0, 0x2000003, "objects/e.obj"}, {0, 0x2000007, "objects/e2.obj"}}));
  // The real path runs to the end of the line, inner and final blanks included.
  EXPECT_EQ(chain("lib/f.obj"), (std::vector<row>{{0, 0x2000001, "my objects/f f.obj  "}}));
  EXPECT_EQ(chain("lib/g.obj"), (std::vector<row>{{0, 0x2000001, "objects/sub/g.obj"}}));
  EXPECT_EQ(dsf_library.size(), 7u);
  EXPECT_EQ(alerts_->count(), 0u);
}

TEST_F(Scan, RatiosAboveTwentyFourBitsAreReportedAndKeepTheirLowBits) {
  library("Custom Scenery/P/",
          {"EXPORT_RATIO 16777216 lib/a.obj a.obj", "EXPORT_RATIO 16777215 lib/b.obj b.obj",
           "EXPORT_RATIO -1 lib/c.obj c.obj", "EXPORT_RATIO 0 lib/d.obj d.obj"});
  DSF_ScanSceneryFolder();
  EXPECT_EQ(chain("lib/a.obj"), (std::vector<row>{{0, 0x2000000, "a.obj"}}));
  EXPECT_EQ(chain("lib/b.obj"), (std::vector<row>{{0, 0x2FFFFFF, "b.obj"}}));
  EXPECT_EQ(chain("lib/c.obj"), (std::vector<row>{{0, 0x2FFFFFF, "c.obj"}}));
  EXPECT_EQ(chain("lib/d.obj"), (std::vector<row>{{0, 0x2000000, "d.obj"}}));
  EXPECT_EQ(log_count("Library error: you cannot have a ratio of more than 2^24 lib items for "),
            2u);
  EXPECT_EQ(log_count("for a.obj -> lib/a.obj."), 1u);
  EXPECT_EQ(log_count("***Error with scenery file \"Custom Scenery/P/library.txt\" "
                      "(DUdurid/Files/io_locate: 356.)\n  "),
            2u);
  // Two problems of one package: one alert.
  ASSERT_EQ(alerts_->count(), 1u);
  recorded_alert a = alerts_->alerts()[0];
  EXPECT_EQ(a.l1, "Error loading the scenery package:");
  EXPECT_EQ(a.l2, "Custom Scenery/P/");
  EXPECT_EQ(a.l3, "The scenery may not look correct.");
  EXPECT_EQ(a.l4, "Please see the log.txt file for detailed error information.");
  EXPECT_EQ(a.type, t_alert);
  EXPECT_EQ(a.file, "DUdurid/Files/io_locate");
  EXPECT_EQ(a.line, 505);
  EXPECT_EQ(package_problems, std::vector<int>{1});
}

TEST_F(Scan, WrongHeadersSkipTheFileWithOneAlertPerPackage) {
  library("Custom Scenery/V900/", {"EXPORT lib/a.obj a.obj"}, "library.txt", 900);
  write("Custom Scenery/NoKey/library.txt", "A\r\n800 version\r\nEXPORT lib/b.obj b.obj\r\n");
  write("Custom Scenery/Empty/library.txt", "");
  mkdirs("Custom Scenery/None");
  library("Custom Scenery/Good/", {"EXPORT lib/c.obj c.obj"});
  DSF_ScanSceneryFolder();
  EXPECT_EQ(dsf_library.size(), 1u);
  EXPECT_EQ(chain("lib/c.obj").size(), 1u);
  EXPECT_EQ(log_count("Incorrect version for scenery library file.  Will skip."), 3u);
  std::vector<std::string> blamed;
  for (const recorded_alert& a : alerts_->alerts()) blamed.push_back(a.l2);
  EXPECT_EQ(blamed, (std::vector<std::string>{"Custom Scenery/Empty/", "Custom Scenery/NoKey/",
                                              "Custom Scenery/V900/"}));
  EXPECT_EQ(package_problems, (std::vector<int>{1, 0, 1, 0, 1}));
}

TEST_F(Scan, WronglyCasedLibraryFilesAreFoundThroughCaseRepair) {
  library("Custom Scenery/P/", {"EXPORT lib/a.obj a.obj"}, "Library.TXT");
  DSF_ScanSceneryFolder();
  EXPECT_EQ(chain("lib/a.obj").size(), 1u);
  g_case_sensitive = 0;
  DSF_ScanSceneryFolder();
  EXPECT_TRUE(dsf_library.empty());
}

TEST_F(Scan, BackupEntriesFollowTheOthersLatestFirst) {
  auto entry = [](int package, uint32_t flags, const char* real) {
    auto* e = new lib_entry;
    e->package = package;
    e->flags = flags;
    e->real_path = real;
    return e;
  };
  DSF_RegisterEntry("v", entry(0, 0x2000001, "E1"));
  DSF_RegisterEntry("v", entry(0, 0x4000001, "B1"));
  DSF_RegisterEntry("v", entry(0, 0x2000001, "E2"));
  DSF_RegisterEntry("v", entry(0, 0x4000001, "B2"));
  DSF_RegisterEntry("v", entry(1, 0x1, "E3"));
  std::vector<std::string> order;
  for (const row& r : chain("v")) order.push_back(r.real);
  EXPECT_EQ(order, (std::vector<std::string>{"E1", "E2", "E3", "B2", "B1"}));

  // A chain that starts with a backup takes every later entry in front.
  DSF_RegisterEntry("w", entry(0, 0x4000001, "B1"));
  DSF_RegisterEntry("w", entry(0, 0x4000001, "B2"));
  DSF_RegisterEntry("w", entry(1, 0x2000001, "E1"));
  DSF_RegisterEntry("w", entry(1, 0x2000001, "E2"));
  DSF_RegisterEntry("w", entry(1, 0x4000001, "B3"));
  order.clear();
  for (const row& r : chain("w")) order.push_back(r.real);
  EXPECT_EQ(order, (std::vector<std::string>{"E1", "E2", "B3", "B2", "B1"}));
}

TEST_F(Scan, BackupsOfEarlierPackagesGoBehindLaterPackagesExports) {
  library("Custom Scenery/A/", {"EXPORT_BACKUP lib/t.obj backup_a.obj", "EXPORT lib/t.obj a.obj"});
  library("Custom Scenery/B/", {"EXPORT lib/t.obj b.obj", "EXPORT_BACKUP lib/t.obj backup_b.obj"});
  DSF_ScanSceneryFolder();
  EXPECT_EQ(chain("lib/t.obj"), (std::vector<row>{{0, 0x2000001, "a.obj"},
                                                  {1, 0x2000001, "b.obj"},
                                                  {1, 0x4000001, "backup_b.obj"},
                                                  {0, 0x4000001, "backup_a.obj"}}));
}

TEST_F(Scan, RegionRectanglesAndTheirReports) {
  std::vector<std::string> lines = {
      "REGION_RECT 0 0 1 1", "REGION_DEFINE all", "REGION_RECT -180 -90 179 89", "REGION_DEFINE corner",
      "REGION_RECT 10 20 11 22", "REGION_RECT 0 0 180 0", "REGION_RECT -181 0 0 0", "REGION_RECT 5 5 4 5",
      "REGION_RECT 2147483647 0 0 0", "REGION_DEFINE all", "REGION_RECT 0 0 0 0", "REGION nowhere",
      "REGION corner", "EXPORT lib/c.obj c.obj", "REGION all", "EXPORT lib/a.obj a.obj"};
  lines.insert(lines.begin() + 5, 70, "REGION_RECT 11 22 11 22");  // so many go into a tile map
  library("Custom Scenery/A/", lines);
  library("Custom Scenery/B/", {"REGION_DEFINE all", "REGION all", "EXPORT lib/b.obj b.obj"});
  DSF_ScanSceneryFolder();

  EXPECT_EQ(log_count("REGION_RECT command used but no region has been defined."), 2u);
  for (const char* once : {"out of range: 180,90->360,90", "out of range: -1,90->180,90",
                           "out of range: 185,95->184,95", "out of range: 2147483827,90->180,90",
                           "REGION_DEFINE all - region already defined.  Ignoring.",
                           "REGION nowhere - region unknown.  Ingoring"})
    EXPECT_EQ(log_count(once), 1u) << once;
  EXPECT_EQ(alerts_->count(), 1u);

  const lib_region* all = dsf_library.at("lib/a.obj")->region;
  const lib_region* corner = dsf_library.at("lib/c.obj")->region;
  ASSERT_TRUE(all && corner);
  EXPECT_EQ(all->name, "all");
  for (int lon = -180; lon < 180; ++lon)
    for (int lat = -90; lat < 90; ++lat) {
      ASSERT_TRUE(all->inside(lon, lat)) << lon << "," << lat;
      bool want = lon >= 10 && lon <= 11 && lat >= 20 && lat <= 22;
      ASSERT_EQ(corner->inside(lon, lat), want) << lon << "," << lat;
    }
  EXPECT_TRUE(all->rects.size() == 1 && !all->map);  // a rectangle stays a rectangle
  EXPECT_FALSE(all->inside(180, 0));
  EXPECT_FALSE(all->inside(0, -91));
  // The second file defines its own "all", empty.
  const lib_region* b_all = dsf_library.at("lib/b.obj")->region;
  ASSERT_NE(b_all, nullptr);
  EXPECT_NE(b_all, all);
  EXPECT_FALSE(b_all->inside(0, 0));
}

// A bottom-up 24-bit BMP of w x h pixels, all one grey value.
std::string bmp(int w, int h, unsigned char grey) {
  int row = (w * 3 + 3) & ~3;
  uint32_t size = 54 + row * h;
  std::string b(size, '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, size);
  put32(10, 54);
  put32(14, 40);
  put32(18, w);
  put32(22, h);
  b[26] = 1;
  b[28] = 24;
  put32(34, row * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w * 3; ++x) b[54 + y * row + x] = static_cast<char>(grey);
  return b;
}

TEST_F(Scan, RegionBitmapsSetTilesFromNonZeroPixels) {
  // Only the tile at longitude -180 + 3, latitude -90 + 2 (row 2 from the bottom) is inside.
  std::vector<unsigned char> px(360 * 180, 0);
  px[2 * 360 + 3] = 200;
  px[179 * 360 + 359] = 1;
  TEX_image_desc d;
  d.format = GL_ALPHA;
  d.width = 360;
  d.height = 180;
  mkdirs("Custom Scenery/A/regions");
  ASSERT_EQ(TEX_save_png("Custom Scenery/A/regions/spot.png", d, px.data()), 1);
  write("Custom Scenery/A/small.bmp", bmp(10, 12, 255));
  library(
      "Custom Scenery/A/",
      {"REGION_BITMAP regions/spot.png", "REGION_DEFINE spot", "REGION_BITMAP regions/spot.png",
       "REGION_DEFINE small", "REGION_BITMAP small.bmp", "REGION_DEFINE lost",
       "REGION_BITMAP missing.png", "REGION_DEFINE escape", "REGION_BITMAP ../../../../etc/passwd",
       "REGION_DEFINE spot2", "REGION_BITMAP regions\\spot.bmp", "REGION spot",
       "EXPORT lib/s.obj s.obj", "REGION spot2", "EXPORT lib/s2.obj s.obj"});
  DSF_ScanSceneryFolder();
  EXPECT_EQ(log_count("REGION_BITMAP used with no region defined.  REGION_BITMAP will be ignored."),
            1u);
  EXPECT_EQ(
      log_count("REGION_BITMAP with bitmap small.bmp has a size of 10, 12 but need sa size of "
                "360x180."),
      1u);
  EXPECT_EQ(
      log_count("Unable to load bitmap file 'missing.png' for REGION_BITMAP command - will skip."),
      1u);
  EXPECT_EQ(log_count("'../../../../etc/passwd' lies outside the product folder"), 1u);
  // The backslash form names the same image (tried as .png first): no report.
  EXPECT_EQ(log().find("spot.bmp"), std::string::npos);

  for (const char* v : {"lib/s.obj", "lib/s2.obj"}) {
    const lib_region* spot = dsf_library.at(v)->region;
    ASSERT_NE(spot, nullptr);
    int inside = 0;
    for (int lon = -180; lon < 180; ++lon)
      for (int lat = -90; lat < 90; ++lat) inside += spot->inside(lon, lat);
    EXPECT_EQ(inside, 2) << v;
    EXPECT_TRUE(spot->inside(-177, -88)) << v;
    EXPECT_TRUE(spot->inside(179, 89)) << v;
  }
  EXPECT_EQ(dsf_library.at("lib/s.obj")->region->map, dsf_library.at("lib/s2.obj")->region->map);
}

TEST_F(Scan, UnsafePathsAreReportedAndSkipped) {
  app_path = root_;  // the current folder, named in full: its length counts too
  // Short enough without the product folder's own length, too long with it.
  const std::string too_long(PATH_MAX - 27, 'x');
  library("Custom Scenery/A/",
          {"EXPORT lib/abs.obj /etc/passwd", "EXPORT lib/up.obj ../../../x.obj",
           "EXPORT lib/back.obj ..\\..\\..\\x.obj", "EXPORT lib/colon.obj ::..:..:..:x.obj",
           "EXPORT lib/deep.obj a/b/../../../../../x.obj", "EXPORT lib/ok.obj ./objects/../objects//x.obj",
           "EXPORT lib/shared.obj ../../Resources/objects/x.obj", "EXPORT lib/sibling.obj ../B/x.obj",
           "EXPORT lib/root.obj ../..", "EXPORT lib/self.obj objects/..", "EXPORT lib/folder.obj objects/",
           "EXPORT lib/empty.obj ", "EXPORT lib/long.obj " + too_long, "REGION_DEFINE r",
           "REGION_BITMAP " + too_long.substr(9), "REGION_BITMAP a" + root_ + "a"});
  DSF_ScanSceneryFolder();
  for (const char* v : {"lib/abs.obj", "lib/up.obj", "lib/back.obj", "lib/colon.obj", "lib/deep.obj", "lib/long.obj"})
    EXPECT_EQ(dsf_library.count(v), 0u) << v;
  EXPECT_EQ(log_count("lies outside the product folder.  Will skip."), 5u);
  // Folders, the product's own included, are no files.
  for (const char* v : {"lib/root.obj", "lib/self.obj", "lib/folder.obj", "lib/empty.obj"})
    EXPECT_EQ(dsf_library.count(v), 0u) << v;
  EXPECT_EQ(log_count("Library error: '../..' names no file for lib/root.obj.  Will skip."), 1u);
  EXPECT_EQ(log_count("names no file for"), 4u);
  EXPECT_EQ(log_count("is too long or holds the product folder's own path.  Will skip."), 3u);
  EXPECT_EQ(chain("lib/ok.obj"), (std::vector<row>{{0, 0x2000001, "objects/x.obj"}}));
  EXPECT_EQ(chain("lib/shared.obj"), (std::vector<row>{{0, 0xA000001, "Resources/objects/x.obj"}}));
  EXPECT_EQ(chain("lib/sibling.obj"), (std::vector<row>{{0, 0xA000001, "Custom Scenery/B/x.obj"}}));
  EXPECT_EQ(alerts_->count(), 1u);

  // Every kept file stays inside the product folder as text.
  for (const auto& [v, first] : dsf_library)
    for (const lib_entry* e = first; e; e = e->next) {
      std::string norm;
      EXPECT_TRUE(DSF_normalize_path(DSF_EntryPath(*e), norm)) << v;
      EXPECT_EQ(norm, DSF_EntryPath(*e)) << v;
    }
}

TEST_F(Scan, PathNormalisationCases) {
  struct { const char* in; bool ok; const char* out; } cases[] = {
      {"a/b/c", true, "a/b/c"}, {"a//b/./c/", true, "a/b/c/"}, {"a/../b", true, "b"}, {"a/..", true, ""},
      {"./", true, ""}, {"..", false, ""}, {"a/../../b", false, ""}, {"/a", false, ""},
      {"a/b/..", true, "a/"}, {"a b/ c ", true, "a b/ c "}, {"", true, ""}};
  for (const auto& c : cases) {
    std::string out = "unchanged";
    EXPECT_EQ(DSF_normalize_path(c.in, out), c.ok) << c.in;
    EXPECT_EQ(out, c.ok ? c.out : "unchanged") << c.in;
  }
  std::string p = "a\\b:c/d";
  DSF_fix_dirchars(p);
  EXPECT_EQ(p, "a/b/c/d");
}

TEST_F(Scan, ARescanRebuildsTheLibraryFromDisk) {
  library("Custom Scenery/A/",
          {"REGION_DEFINE r", "REGION_RECT 0 0 0 0", "REGION r", "EXPORT lib/a.obj a.obj"});
  DSF_ScanSceneryFolder();
  DSF_ScanSceneryFolder();
  EXPECT_EQ(chain("lib/a.obj").size(), 1u);
  ASSERT_NE(dsf_library.at("lib/a.obj")->region, nullptr);
  EXPECT_TRUE(dsf_library.at("lib/a.obj")->region->inside(0, 0));
  library("Custom Scenery/A/", {"EXPORT lib/b.obj b.obj"});
  mkdirs("Custom Scenery/B");
  DSF_ScanSceneryFolder();
  EXPECT_EQ(dsf_library.count("lib/a.obj"), 0u);
  EXPECT_EQ(chain("lib/b.obj").size(), 1u);
  EXPECT_EQ(scenery_packages.size(), 2u);
  EXPECT_EQ(package_problems.size(), 2u);
}

}  // namespace
