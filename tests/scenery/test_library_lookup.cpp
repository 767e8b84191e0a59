// Resolving resources: weighted choice by seed, regions, the candidate folders of every kind,
// package folders, tile names and the scenery error reporters.
#include <algorithm>
#include <climits>
#include <map>
#include <string>

#include "scenery_test_util.h"

namespace {

using Lookup = ProductFolder;

// Every value of r, i.e. every seed of the table that picks fraction seed / 10000.
std::map<std::string, int> choices(const std::string& virtual_path, int lon, int lat) {
  std::map<std::string, int> seen;
  for (int seed = 0; seed < 10000; seed += 7) {
    std::string name = virtual_path;
    if (DSF_LookupLibraryResource(lon, lat, name, seed)) ++seen[name];
  }
  return seen;
}

TEST_F(Lookup, AnExportGroupEndsAtTheNextPackage) {
  write("Custom Scenery/A/one.obj");
  write("Custom Scenery/A/two.obj");
  write("Custom Scenery/B/three.obj");
  library("Custom Scenery/A/", {"EXPORT lib/t.obj one.obj", "EXPORT lib/t.obj two.obj"});
  library("Custom Scenery/B/", {"EXPORT lib/t.obj three.obj"});
  DSF_ScanSceneryFolder();
  for (int seed : {0, 1, 4999}) {
    std::string name = "lib/t.obj";
    ASSERT_TRUE(DSF_LookupLibraryResource(0, 0, name, seed));
    EXPECT_EQ(name, "Custom Scenery/A/one.obj") << seed;
  }
  for (int seed : {5000, 7500, 9999}) {
    std::string name = "lib/t.obj";
    ASSERT_TRUE(DSF_LookupLibraryResourceAnywhere(name, seed));
    EXPECT_EQ(name, "Custom Scenery/A/two.obj") << seed;
  }
  auto seen = choices("lib/t.obj", 0, 0);
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen.count("Custom Scenery/B/three.obj"), 0u);

  std::string missing = "lib/none.obj";
  EXPECT_FALSE(DSF_LookupLibraryResource(0, 0, missing, 0));
  EXPECT_EQ(missing, "lib/none.obj");
}

TEST_F(Lookup, WeightsCoverConsecutiveValuesInChainOrder) {
  library("Custom Scenery/A/",
          {"EXPORT_RATIO 3 lib/t.obj three.obj", "EXPORT_RATIO 1 lib/t.obj one.obj",
           "EXPORT_RATIO 0 lib/t.obj zero.obj"});
  DSF_ScanSceneryFolder();
  // Total 4: r 0..2 (fractions below 0.75) the first, r 3 the second, never the third.
  for (int seed = 0; seed < 10000; seed += 13) {
    std::string name = "lib/t.obj";
    ASSERT_TRUE(DSF_LookupLibraryResourceAnywhere(name, seed));
    EXPECT_EQ(name, seed < 7500 ? "Custom Scenery/A/three.obj" : "Custom Scenery/A/one.obj")
        << seed;
  }
  // A negative seed wraps into the table: -1 is entry 9999.
  std::string name = "lib/t.obj";
  ASSERT_TRUE(DSF_LookupLibraryResourceAnywhere(name, -1));
  EXPECT_EQ(name, "Custom Scenery/A/one.obj");
  name = "lib/t.obj";
  ASSERT_TRUE(DSF_LookupLibraryResourceAnywhere(name, INT_MIN));
  EXPECT_EQ(name, INT_MIN % 10000 + 10000 < 7500 ? "Custom Scenery/A/three.obj"
                                                 : "Custom Scenery/A/one.obj");
}

TEST_F(Lookup, ZeroTotalWeightFindsNothing) {
  library("Custom Scenery/A/", {"EXPORT_RATIO 0 lib/t.obj zero.obj"});
  write("Resources/objects/lib/t.obj");
  DSF_ScanSceneryFolder();
  std::string name = "lib/t.obj";
  EXPECT_FALSE(DSF_LookupLibraryResourceAnywhere(name, 3));
  std::vector<std::string> all;
  EXPECT_FALSE(DSF_LookupLibraryResourceAnywhereMultiple(name, all));
  std::string out;
  DSF_LocateResourcePrimary(0, 0, 3, "lib/t.obj", "", false, out, 0);
  EXPECT_EQ(out, "Resources/objects/lib/t.obj");
}

TEST_F(Lookup, ExtendEntriesCountUpToTheExcludeEntry) {
  library("Custom Scenery/A/", {"EXPORT_EXTEND lib/t.obj a.obj", "EXPORT_EXTEND lib/t.obj b.obj"});
  library("Custom Scenery/B/", {"EXPORT_EXCLUDE lib/t.obj c.obj", "EXPORT lib/t.obj d.obj"});
  DSF_ScanSceneryFolder();
  std::vector<std::string> all;
  ASSERT_TRUE(DSF_LookupLibraryResourceAnywhereMultiple("lib/t.obj", all));
  EXPECT_EQ(all, (std::vector<std::string>{"Custom Scenery/A/a.obj", "Custom Scenery/A/b.obj",
                                           "Custom Scenery/B/c.obj"}));
  auto seen = choices("lib/t.obj", 0, 0);
  EXPECT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen.count("Custom Scenery/B/d.obj"), 0u);
}

TEST_F(Lookup, RegionsLimitEntriesAndTheirWeights) {
  library("Custom Scenery/A/", {"REGION_DEFINE west", "REGION_RECT -180 -90 -1 89", "REGION west",
                                "EXPORT_EXTEND lib/t.obj west.obj"});
  library("Custom Scenery/B/", {"EXPORT lib/t.obj any.obj"});
  DSF_ScanSceneryFolder();
  auto east = choices("lib/t.obj", 10, 45);
  EXPECT_EQ(east, (std::map<std::string, int>{{"Custom Scenery/B/any.obj", 1429}}));
  auto west = choices("lib/t.obj", -10, 45);
  EXPECT_EQ(west.size(), 2u);
  std::vector<std::string> all;
  ASSERT_TRUE(DSF_LookupLibraryResourceMultiple(10, 45, "lib/t.obj", all));
  EXPECT_EQ(all, std::vector<std::string>{"Custom Scenery/B/any.obj"});
  ASSERT_TRUE(DSF_LookupLibraryResourceMultiple(-10, 45, "lib/t.obj", all));
  EXPECT_EQ(all.size(), 2u);
  // A tile off the map is in no region.
  ASSERT_TRUE(DSF_LookupLibraryResourceMultiple(-500, 45, "lib/t.obj", all));
  EXPECT_EQ(all, std::vector<std::string>{"Custom Scenery/B/any.obj"});
}

TEST_F(Lookup, MultipleRepeatsEachPathByItsWeight) {
  library("Custom Scenery/A/",
          {"EXPORT_RATIO 2 lib/t.obj a.obj", "EXPORT_RATIO 1 lib/t.obj b.obj"});
  DSF_ScanSceneryFolder();
  std::vector<std::string> all = {"stale"};
  ASSERT_TRUE(DSF_LookupLibraryResourceMultiple(0, 0, "lib/t.obj", all));
  EXPECT_EQ(all, (std::vector<std::string>{"Custom Scenery/A/a.obj", "Custom Scenery/A/a.obj",
                                           "Custom Scenery/A/b.obj"}));
  EXPECT_FALSE(DSF_LookupLibraryResourceMultiple(0, 0, "lib/none.obj", all));
  EXPECT_TRUE(all.empty());
}

TEST_F(Lookup, MultipleStopsAtItsCapWithOneReport) {
  library("Custom Scenery/A/",
          {"EXPORT_RATIO 16777215 lib/t.obj a.obj", "EXPORT_RATIO 5 lib/t.obj b.obj"});
  DSF_ScanSceneryFolder();
  std::vector<std::string> all;
  ASSERT_TRUE(DSF_LookupLibraryResourceAnywhereMultiple("lib/t.obj", all));
  EXPECT_EQ(all.size(), kMaxMultipleResults);
  EXPECT_EQ(all.back(), "Custom Scenery/A/a.obj");
  EXPECT_EQ(log_count("Library error: lib/t.obj stands for more than 1048576 files"), 1u);
  EXPECT_EQ(alerts_->count(), 1u);
}

TEST_F(Lookup, ResultsAreSpelledAsOnDisk) {
  write("Custom Scenery/A/objects/Tree.obj");
  library("Custom Scenery/A/", {"EXPORT lib/tree.obj OBJECTS/tree.OBJ"});
  DSF_ScanSceneryFolder();
  std::string name = "lib/tree.obj";
  ASSERT_TRUE(DSF_LookupLibraryResource(0, 0, name, 0));
  EXPECT_EQ(name, "Custom Scenery/A/objects/Tree.obj");
  std::vector<std::string> all;
  ASSERT_TRUE(DSF_LookupLibraryResourceMultiple(0, 0, "lib/tree.obj", all));
  EXPECT_EQ(all, std::vector<std::string>{"Custom Scenery/A/objects/Tree.obj"});
  std::string out;
  DSF_LocateResourceNoLib(3, "TREE.OBJ", "custom scenery/a/Objects/", false, out);
  EXPECT_EQ(out, "Custom Scenery/A/objects/Tree.obj");

  g_case_sensitive = 0;
  name = "lib/tree.obj";
  ASSERT_TRUE(DSF_LookupLibraryResource(0, 0, name, 0));
  EXPECT_EQ(name, "Custom Scenery/A/OBJECTS/tree.OBJ");
  DSF_LocateResourceNoLib(3, "TREE.OBJ", "custom scenery/a/Objects/", false, out);
  EXPECT_EQ(out, "");
}

// The candidates a search tried, in order, from its warning lines.
std::vector<std::string> tried(const std::string& log, const std::string& lead) {
  std::vector<std::string> out;
  for (size_t p = log.find(lead); p != std::string::npos; p = log.find(lead, p + 1)) {
    size_t at = log.find("' at '", p) + 6;
    out.push_back(log.substr(at, log.find("'\n", at) - at));
  }
  return out;
}

struct candidate_case { int kind; std::vector<std::string> want; };

// The three picture variants of stem in folder f, in the order they are tried.
std::vector<std::string> pictures(const std::string& f, const std::string& stem) {
  return {f + stem + ".dds", f + stem + ".png", f + stem + ".bmp"};
}

std::vector<std::string> joined(const std::vector<std::vector<std::string>>& parts) {
  std::vector<std::string> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST_F(Lookup, CandidateOrderOfEveryKindWithoutLibrary) {
  const std::string b = "Custom Scenery/P/";
  auto v = [](const std::string& f) { return pictures(f, "tree"); };
  const candidate_case cases[] = {
      {0, {b + "tree.png", "Resources/tree.png"}},
      {1, joined({v(b), v(b + "custom terrain textures/"), v(b + "custom object textures/"),
               v("Resources/bitmaps/terrain/"), v("Resources/")})},
      {2, {b + "tree.png", b + "custom terrain textures/tree.png", "Resources/bitmaps/terrain/tree.png",
           "Resources/tree.png"}},
      {3, {b + "tree.png", b + "custom objects/tree.png", "Resources/objects/tree.png",
           "Resources/tree.png"}},
      {7, {b + "tree.png", b + "custom objects/tree.png", "Resources/objects/tree.png",
           "Resources/tree.png"}},
      {8, {b + "tree.png"}}, {-1, {b + "tree.png"}},
  };
  for (const candidate_case& c : cases) {
    restart_log();
    std::string out = "stale";
    DSF_LocateResourceNoLib(c.kind, "tree.png", b, true, out);
    EXPECT_EQ(out, "");
    EXPECT_EQ(tried(log(), "Failed to find resource 'tree.png' at '"), c.want) << c.kind;
    // Each candidate in turn, from the last to the first, becomes the answer once it exists.
    for (size_t i = c.want.size(); i-- > 0;) {
      if (std::find(c.want.begin(), c.want.begin() + i, c.want[i]) != c.want.begin() + i) continue;
      write(c.want[i]);
      DSF_LocateResourceNoLib(c.kind, "tree.png", b, true, out);
      EXPECT_EQ(out, c.want[i]) << c.kind;
    }
    std::filesystem::remove_all("Custom Scenery");
    std::filesystem::remove_all("Resources");
  }
}

TEST_F(Lookup, ShortNamesKeepTheirTextInEveryVariant) {
  restart_log();
  std::string out;
  DSF_LocateResourceNoLib(1, "tree", "", true, out);
  std::vector<std::string> want;
  for (const char* f : {"", "custom terrain textures/", "custom object textures/",
                        "Resources/bitmaps/terrain/", "Resources/"})
    want.insert(want.end(), 3, f + std::string("tree"));
  EXPECT_EQ(tried(log(), "Failed to find resource 'tree' at '"), want);
  // An empty base looks in the current folder first.
  write("tree.bmp");
  DSF_LocateResourceNoLib(1, "tree.png", "", false, out);
  EXPECT_EQ(out, "tree.bmp");
  write("tree.dds");
  DSF_LocateResourceNoLib(1, "tree.png", "", false, out);
  EXPECT_EQ(out, "tree.dds");
}

TEST_F(Lookup, CandidateOrderNearAReferringFile) {
  const std::string parent = "Custom Scenery/P/objects/";
  const std::string pkg = "Custom Scenery/P/";
  auto v = [](const std::string& f) { return pictures(f, "leaf"); };
  struct secondary_case { int kind, sub; std::string parent; std::vector<std::string> want; } cases[] = {
      {0, 0, parent, {parent + "leaf.png", "Resources/leaf.png"}},
      {1, 0, parent,
       joined({v(parent), v(pkg + "custom object textures/"), v("Resources/bitmaps/terrain/"),
            v("Resources/")})},
      {1, 2, parent,
       joined({v(parent), v(pkg + "custom terrain textures/"), v("Resources/bitmaps/terrain/"),
            v("Resources/")})},
      {2, 0, parent, {parent + "leaf.png", pkg + "custom terrain textures/leaf.png",
                      "Resources/bitmaps/terrain/leaf.png", "Resources/leaf.png"}},
      {5, 0, parent, {parent + "leaf.png", pkg + "custom objects/leaf.png", "Resources/objects/leaf.png",
                      "Resources/leaf.png"}},
      {9, 0, parent, {parent + "leaf.png"}},
      {3, 0, "Resources/x/", {"Resources/x/leaf.png", "Resources/objects/leaf.png", "Resources/leaf.png"}},
      {3, 0, "", {"Resources/objects/leaf.png", "Resources/leaf.png"}},
  };
  for (const secondary_case& c : cases) {
    restart_log();
    std::string out = "stale";
    DSF_LocateResourceSecondary(c.kind, c.sub, c.parent, "leaf.png", true, out);
    EXPECT_EQ(out, "");
    EXPECT_EQ(tried(log(), "Failed to find resource 'leaf.png' (parent = '" + c.parent + "' at '"), c.want)
        << c.kind << "/" << c.sub;
    for (size_t i = c.want.size(); i-- > 0;) {
      write(c.want[i]);
      DSF_LocateResourceSecondary(c.kind, c.sub, c.parent, "leaf.png", false, out);
      EXPECT_EQ(out, c.want[i]) << c.kind << "/" << c.sub;
    }
    std::filesystem::remove_all("Custom Scenery");
    std::filesystem::remove_all("Resources");
  }
}

TEST_F(Lookup, CombinedLookupsTryTheLibraryFirst) {
  write("Custom Scenery/A/a.obj");
  write("Custom Scenery/A/b.obj");
  write("Resources/objects/lib/t.obj");
  write("Resources/objects/lib/free.obj");
  library("Custom Scenery/A/", {"EXPORT_RATIO 2 lib/t.obj a.obj", "EXPORT lib/t.obj b.obj"});
  DSF_ScanSceneryFolder();

  std::string out;
  DSF_LocateResourcePrimary(0, 0, 3, "lib/t.obj", "", true, out, 9999);
  EXPECT_EQ(out, "Custom Scenery/A/b.obj");
  DSF_LocateResourcePrimary(0, 0, 3, "lib/free.obj", "", true, out, 0);
  EXPECT_EQ(out, "Resources/objects/lib/free.obj");
  DSF_LocateResourcePrimary(0, 0, 3, "lib/gone.obj", "", true, out, 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(log_count("Failed to find resource 'lib/gone.obj'"), 4u);

  std::vector<std::string> all;
  DSF_LocateResourcePrimaryMultiple(0, 0, 3, "lib/t.obj", "", true, all);
  EXPECT_EQ(all,
            (std::vector<std::string>{"Custom Scenery/A/a.obj", "Custom Scenery/A/a.obj",
                                      "Custom Scenery/A/b.obj", "Resources/objects/lib/t.obj"}));
  DSF_LocateResourceSecondaryMultipleWithLibrary(0, 0, 3, 0, "Custom Scenery/A/", "lib/t.obj", true,
                                                 all);
  EXPECT_EQ(all.size(), 4u);
  EXPECT_EQ(all.back(), "Resources/objects/lib/t.obj");
  // Nothing anywhere: warnings only when the library gave nothing either.
  size_t before = log_count("Failed to find resource 'lib/a2.obj'");
  DSF_LocateResourcePrimaryMultiple(0, 0, 3, "lib/a2.obj", "", true, all);
  EXPECT_TRUE(all.empty());
  EXPECT_EQ(log_count("Failed to find resource 'lib/a2.obj'"), before + 4);
  DSF_LocateResourceSecondaryMultipleWithLibrary(0, 0, 3, 0, "", "lib/a2.obj", true, all);
  EXPECT_EQ(log_count("Failed to find resource 'lib/a2.obj' (parent = '' at '"), 2u);
}

TEST_F(Lookup, NamesLeadingOutsideOrTooLongFindNothing) {
  app_path = root_;  // the current folder, named in full: its length counts too
  mkdirs("Resources/Resources");
  write("Resources/etc/passwd");
  const std::string too_long(PATH_MAX - 20, 'n');
  DSF_RegisterEntry("lib/long.obj", new lib_entry{nullptr, nullptr, 0, 0x2000001, too_long});
  for (const std::string n : {"Resources/../../../../etc/passwd", "/etc/passwd", too_long.c_str(), "lib/long.obj"})
    for (int kind : {0, 1, 2, 3, 9}) {
      std::string out = "stale";
      std::vector<std::string> all = {"stale"};
      DSF_LocateResourcePrimary(0, 0, kind, n, "Resources/", false, out, 0);
      DSF_LocateResourceSecondaryMultipleWithLibrary(0, 0, kind, 0, "Resources/", n, false, all);
      EXPECT_TRUE(out.empty() && all.empty()) << kind << " " << n.substr(0, 40);
    }
  EXPECT_EQ(log_count("Refused resource '"), 20u);  // once per search of the first two
  std::string out;  // inside the product ".." is fine, and the answer comes back without it
  DSF_LocateResourceSecondary(0, 0, "Resources/x/", "../etc/passwd", false, out);
  EXPECT_EQ(out, "Resources/etc/passwd");
}

TEST_F(Lookup, PackageFolderOfAPath) {
  const std::pair<const char*, const char*> cases[] = {
      {"Custom Scenery/P/objects/a.obj", "Custom Scenery/P/"}, {"Custom Scenery/P", ""},
      {"Custom Scenery", ""}, {"Custom Scenery/", ""}, {"Custom Scenery/P\\x", "Custom Scenery/P\\"},
      {"Custom Scenery/P:x", "Custom Scenery/P:"}, {"Rovade Vovavod/G/a", "Rovade Vovavod/G/"},
      {"Resources/default scenery/D/x/y", "Resources/default scenery/D/"}, {"Resources/x", ""},
      {"custom scenery/P/x", ""}, {"", ""}};
  for (const auto& [in, want] : cases) EXPECT_EQ(extract_package(in), want) << in;
}

TEST_F(Lookup, TileFileNames) {
  const struct { int lat, lon; const char* want; } cases[] = {
      {47, -122, "+40-130/+47-122.dsf"}, {-1, -1, "-10-010/-01-001.dsf"}, {0, 0, "+00+000/+00+000.dsf"},
      {89, 179, "+80+170/+89+179.dsf"}, {-90, -180, "-90-180/-90-180.dsf"}, {90, 180, "+90+180/+90+180.dsf"},
      {-89, 180, "-90+180/-89+180.dsf"}, {100, 1000, "+00+000/+00+000.dsf"}, {INT_MIN, INT_MAX, nullptr}};
  for (const auto& c : cases) {
    std::string out = "stale";
    return_latlon_str_dsf(c.lat, c.lon, &out);
    EXPECT_EQ(out.size(), 19u) << c.lat << "," << c.lon;
    if (c.want) {
      EXPECT_EQ(out, c.want) << c.lat << "," << c.lon;
    }
  }
}

TEST_F(Lookup, NonFatalReportsAlertOncePerPackage) {
  scenery_packages = {"Custom Scenery/A/", "Custom Scenery/AB/", "Rovade Vovavod/G/"};
  package_problems = {0, 0, 0};
  package_is_custom = {1, 1, 0};
  __DSF_NonFatalError("src/x", 12, "Custom Scenery/AB/library.txt", "bad %d", 7);
  __DSF_NonFatalError("src/x", 13, "Custom Scenery/AB/other.dsf", "bad %s", "again");
  EXPECT_NE(log().find("***Error with scenery file \"Custom Scenery/AB/library.txt\" (src/x: 12.)\n"
                       "  bad 7\n"),
            std::string::npos);
  EXPECT_NE(log().find("(src/x: 13.)\n  bad again\n"), std::string::npos);
  ASSERT_EQ(alerts_->count(), 1u);
  EXPECT_EQ(alerts_->alerts()[0].l2, "Custom Scenery/AB/");
  EXPECT_EQ(package_problems, (std::vector<int>{0, 1, 0}));

  // Files of no package (a shorter text included) alert every time and blame no package.
  for (const char* file : {"", "Custom", "Custom Scenery/", "elsewhere/x.dsf"}) {
    alerts_->clear();
    __DSF_NonFatalError("src/x", 14, file, "odd");
    ASSERT_EQ(alerts_->count(), 1u) << file;
    recorded_alert a = alerts_->alerts()[0];
    EXPECT_EQ(a.l2, file);
    EXPECT_EQ(a.line, 499);
    EXPECT_EQ(a.type, t_alert);
  }
  EXPECT_EQ(package_problems, (std::vector<int>{0, 1, 0}));

  // A long message is cut to the buffer, never past it.
  std::string huge(10000, 'x');
  __DSF_NonFatalError("src/x", 15, "Rovade Vovavod/G/a.dsf", "%s", huge.c_str());
  EXPECT_NE(log().find("  " + std::string(4095, 'x') + "\n"), std::string::npos);
  EXPECT_EQ(log().find(std::string(4096, 'x')), std::string::npos);
}

using LookupDeath = Lookup;

TEST_F(LookupDeath, FatalReportsEndTheProgramWithThePackagesAdvice) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  scenery_packages = {"Custom Scenery/A/", "Resources/default scenery/D/"};
  package_problems = {0, 0};
  package_is_custom = {1, 0};
  EXPECT_EXIT(__DSF_FatalError("src/x", 1, "Custom Scenery/A/x.dsf", "broken"),
              testing::ExitedWithCode(1), "remove the custom  scenery package");
  EXPECT_EXIT(__DSF_FatalError("src/x", 1, "Resources/default scenery/D/x.dsf", "broken"),
              testing::ExitedWithCode(1), "You may need to reinstall Volarium");
  EXPECT_EXIT(__DSF_FatalError("src/x", 1, "loose.dsf", "broken"), testing::ExitedWithCode(1),
              "Volarium cannot run with this corrupt file.");
}

}  // namespace
