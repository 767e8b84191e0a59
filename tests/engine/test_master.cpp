// Master-building mode: file rules, tile regions, platform keys, and whole passes over the
// sample master (main disc, then an update master carrying the histories).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "alert_sink.h"
#include "engine/install.h"
#include "engine/master.h"
#include "sample_disc.h"
#include "files/md5.h"
#include "platform/mac_meta.h"

namespace fs = std::filesystem;

namespace {
using sample::quote;
using sample::run;

struct Row {
  int disc, platform, version;
  long long dkb, ikb;
  std::string sig, path;
};

// Parses the body of a file list the simple way: DIR sets the folder, FILE rows follow.
std::vector<Row> parse_list(const std::string& text) {
  std::vector<Row> rows;
  std::istringstream in(text);
  std::string line, folder;
  while (std::getline(in, line)) {
    if (line.rfind("DIR ", 0) == 0) folder = line.substr(4);
    if (line.rfind("FILE ", 0) != 0) continue;
    Row r;
    std::istringstream f(line.substr(5));
    f >> r.disc >> r.platform >> r.version >> r.dkb >> r.ikb >> r.sig;
    f.get();
    std::string name;
    std::getline(f, name);
    r.path = folder + name;
    rows.push_back(r);
  }
  return rows;
}

class MasterRules : public testing::Test {
 protected:
  void SetUp() override {
    master_set_roots("/m/", "/out/", "/prev.txt");
    saved_type_ = master_disc_type;
    reg = 0;
  }
  void TearDown() override { master_disc_type = saved_type_; }
  int good(const std::string& rel) { return is_good_file("/m/" + rel, 1, 0); }
  int saved_type_ = 1;
};
}  // namespace

TEST_F(MasterRules, NameRulesRefuseAnywhereInThePath) {
  master_disc_type = 1;
  EXPECT_EQ(good("All/Resources/network.cfg"), 0);  // holds "work."
  EXPECT_EQ(good("All/Aircraft/a._b/x.acf"), 0);
  EXPECT_EQ(good("All/Resources/x.7z/readme.txt"), 0);
  EXPECT_EQ(good("All/Aircraft/model.ac"), 0);
  EXPECT_EQ(good("All/Aircraft/model.acf"), 1);
  EXPECT_EQ(good("All/Resources/notes.bak.txt"), 1);
  EXPECT_EQ(good("All/Resources/notes.bak"), 0);
  EXPECT_EQ(good("All/Resources/preferences/Volarium Installer.prf"), 0);
  EXPECT_EQ(good("All/install_quelb Aircraft/plane.acf"), 0);
  EXPECT_EQ(good("All/Resources/Thumbs.db"), 0);
  EXPECT_EQ(good("All/Output/serverlist.txt"), 0);
}

TEST_F(MasterRules, DiscTypesPickTheirFiles) {
  const std::string red = "All/Resources/default scenery/900 red terrain/r.ter";
  const std::string orbit = "All/Resources/bitmaps/Earth Orbit Textures/e.png";
  const std::string tile0 = "All/Rovade Vovavod/-global terrain-/+40-130/+47-122.dsf";
  const std::string tile4 = "All/Rovade Vovavod/-global overlays-/+40+010/+48+011.dsf";
  const std::string mars = "All/Custom Scenery/DSF 900 Mars World-Wide/+00+000.dsf";
  const std::string plain = "All/Resources/text/a.txt";

  master_disc_type = 0;
  EXPECT_EQ(good(plain), 1);
  EXPECT_EQ(good(red), 0);
  EXPECT_EQ(good(orbit), 0);
  EXPECT_EQ(good(tile0), 0);

  master_disc_type = 1;
  EXPECT_EQ(good(plain), 1);
  EXPECT_EQ(good(red), 1);
  EXPECT_EQ(good(tile0), 1);
  EXPECT_EQ(good(tile4), 0);
  EXPECT_EQ(good(mars), 0);

  master_disc_type = 2;
  reg = 4;
  EXPECT_EQ(good(tile4), 1);
  EXPECT_EQ(good(tile0), 0);
  EXPECT_EQ(good(plain), 0);

  master_disc_type = 3;
  reg = 6;
  EXPECT_EQ(good(mars), 0);  // no tile maps to a Mars region
}

TEST_F(MasterRules, TileRegions) {
  const std::pair<const char*, int> cases[] = {
      {"+47-122.dsf", 0}, {"+50-122.dsf", 2}, {"+25-080.dsf", 1}, {"-34+151.dsf", 1},
      {"-06+059.dsf", 3}, {"-07+059.dsf", 1}, {"+20+072.dsf", 3}, {"+21+072.dsf", 5},
      {"+48+011.dsf", 4}, {"+60+010.dsf", 2}, {"ReadMe.txt", 3}};
  for (const auto& [leaf, region] : cases) {
    for (int r = 0; r <= 8; ++r)
      EXPECT_EQ(want_reg(r, std::string("/x/y/") + leaf), r == region ? 1 : 0) << leaf << " region " << r;
  }
}

TEST_F(MasterRules, PlatformKeys) {
  std::string a = "All/Resources/x.txt";
  chop_platform(a, 0);
  EXPECT_EQ(a, "ALL_os/Resources/x.txt");
  std::string w = "Windows/Resources/a.dll";
  chop_platform(w, 2);
  EXPECT_EQ(w, "IBM_os/Resources/a.dll");
  std::string l = "All/Resources/plugins/b.so";
  chop_platform(l, 6);
  EXPECT_EQ(l, "/Resources/plugins/b.so");
}

TEST(MasterRulesDeathTest, BadInputEndsThePass) {
  master_set_roots("/m/", "/out/", "/prev.txt");
  EXPECT_EXIT(want_reg(0, "/x/+91+000.dsf"), testing::ExitedWithCode(1), "Out of range lat!");
  EXPECT_EXIT(want_reg(0, "/x/+10+181.dsf"), testing::ExitedWithCode(1), "Out of range lon!");
  EXPECT_EXIT(
      {
        std::string p = "noslash";
        chop_platform(p, 0);
      },
      testing::ExitedWithCode(1), "Could not find the dir char!");
}

namespace {
// Builds sample masters once for all pass tests.
class MasterPass : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = fs::temp_directory_path() / ("volarium-master-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    for (int release : {1, 2}) sample::make_master((root_ / ("r" + std::to_string(release))).string(), release);
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }

  // One pass of the given disc type into a fresh masters' root; returns that root.
  static std::string build(int release, int disc_type, int version, const std::string& prev_list,
                           const std::string& name) {
    return build_tree((root_ / ("r" + std::to_string(release))).string() + "/", disc_type, version,
                      prev_list, name);
  }
  static std::string build_tree(const std::string& tree, int disc_type, int version,
                                const std::string& prev_list, const std::string& name) {
    std::string dst = (root_ / name).string() + "/";
    AlertSink sink;  // the closing checklist reminder is a plain alert
    sample::build_disc(tree, dst, disc_type, version, prev_list);
    EXPECT_EQ(sink.count(), 1u);
    return dst;
  }

  static std::string list_text(const std::string& disc) {
    return run("unzip -p " + quote(disc + "directory.txt.zip") + " directory.txt");
  }

  static std::string md5_of(const std::string& path) {
    std::string sig;
    EXPECT_EQ(calc_file_md5(path, sig), 0) << path;
    return sig;
  }

  static fs::path root_;
};
fs::path MasterPass::root_;
}  // namespace

TEST_F(MasterPass, MainDiscHoldsEveryAcceptedFileWithItsSignature) {
  const std::string dst = build(1, 1, 90025, "/none", "main");
  const std::string disc = dst + "Volarium 9.00 Beta-25/";
  const std::string master = (root_ / "r1").string() + "/";

  std::ifstream vf(dst + "dvd_version.txt");
  std::stringstream vs;
  vs << vf.rdbuf();
  EXPECT_NE(vs.str().find("DVD\n\nVERSION Volarium 9.00 Beta-25\n"), std::string::npos) << vs.str();
  EXPECT_FALSE(fs::exists(disc + "directory.txt"));

  const std::string text = list_text(disc);
  ASSERT_EQ(text.rfind("I\n", 0), 0u) << text.substr(0, 80);
  EXPECT_NE(text.find("INSTALLER\n\n"), std::string::npos);
  std::vector<Row> rows = parse_list(text);
  ASSERT_GT(rows.size(), 250u);

  std::map<std::string, Row> by_path;
  for (const Row& r : rows) {
    EXPECT_EQ(r.version, 90025);
    EXPECT_EQ(r.disc, 1);
    EXPECT_EQ(by_path.count(r.path), 0u) << "listed twice: " << r.path;
    by_path[r.path] = r;
    EXPECT_EQ(r.sig, md5_of(master + r.path)) << r.path;
    const std::string archive = disc + r.path + listed_archive_ext(r.path);
    ASSERT_TRUE(fs::exists(archive)) << archive;
    EXPECT_EQ(r.dkb, static_cast<long long>(fs::file_size(archive) / 1000)) << r.path;
  }
  // Region 0 tiles only, with their prepared 7z; no Mars scenery, no quelb aircraft, no prefs.
  EXPECT_TRUE(by_path.count("All/Rovade Vovavod/-global terrain-/+40-130/+47-122.dsf"));
  EXPECT_FALSE(by_path.count("All/Rovade Vovavod/-global terrain-/+40+010/+48+011.dsf"));
  EXPECT_FALSE(by_path.count("All/Custom Scenery/DSF 900 Mars World-Wide/+00+000.dsf"));
  EXPECT_FALSE(by_path.count("All/install_quelb Aircraft/never shipped.acf"));
  EXPECT_FALSE(by_path.count("All/Resources/preferences/Volarium Installer.prf"));
  // Plug-in libraries are listed for one platform each; links are listed as files.
  EXPECT_EQ(by_path.at("All/Resources/plugins/ZRNB.so").platform, 6);
  EXPECT_EQ(by_path.at("All/Resources/plugins/ZRNB.dll").platform, 2);
  EXPECT_EQ(by_path.at("All/Resources/plugins/ZRNB.framework/ZRNB").platform, 1);
  EXPECT_EQ(by_path.at("Windows/Volarium.exe").platform, 2);
  EXPECT_TRUE(by_path.count("Macintosh/Volarium.app/Contents/Frameworks/Flight.framework/Versions/Current"));
  // The Windows executable was flagged large-address-aware in the master itself.
  std::ifstream exe(master + "Windows/Volarium.exe", std::ios::binary);
  char head[90];
  exe.read(head, sizeof head);
  EXPECT_TRUE(static_cast<unsigned char>(head[64 + 22]) & 0x20);
  // A second pass into the same root stops: the disc folder exists already.
  EXPECT_EXIT(build(1, 1, 90025, "/none", "main"), testing::ExitedWithCode(1),
              "Could not make the target_folder!");
}

TEST_F(MasterPass, UpdateMasterCarriesHistoriesAndGoneRows) {
  const std::string main_root = build(1, 1, 90025, "/none", "base");
  const std::string prev = (root_ / "previous-directory.txt").string();
  sample::extract_list(main_root + "Volarium 9.00 Beta-25/", prev);
  const std::string upd = build(2, 0, 90026, prev, "update");
  std::vector<Row> rows = parse_list(list_text(upd + "Volarium 9.00 Beta-25/"));

  std::map<std::string, std::vector<Row>> hist;
  for (const Row& r : rows) hist[r.path].push_back(r);

  const auto& changed = hist.at("All/Resources/text/English/Volarium.txt");
  ASSERT_EQ(changed.size(), 2u);
  EXPECT_EQ(changed[0].version, 90025);
  EXPECT_EQ(changed[1].version, 90026);
  EXPECT_NE(changed[0].sig, changed[1].sig);

  const auto& dropped = hist.at("All/Weapons/store_5.wpn");
  ASSERT_EQ(dropped.size(), 2u);
  EXPECT_EQ(dropped[1].sig, "GONE");
  EXPECT_EQ(dropped[1].version, 90026);
  EXPECT_EQ(dropped[1].dkb, 0);

  const auto& unchanged = hist.at("All/Weapons/store_1.wpn");
  ASSERT_EQ(unchanged.size(), 1u);
  EXPECT_EQ(unchanged[0].version, 90026);
  EXPECT_EQ(hist.at("All/Weapons/store_6.wpn").size(), 1u);

  // The update master carries no scenery, red terrain or orbit textures.
  for (const auto& [path, h] : hist) {
    EXPECT_EQ(path.find("Rovade Vovavod"), std::string::npos) << path;
    EXPECT_EQ(path.find("900 red terrain"), std::string::npos) << path;
  }

  // An update built over it again: the gone file keeps its records and gets no second GONE row.
  const std::string prev2 = (root_ / "previous-directory-2.txt").string();
  sample::extract_list(upd + "Volarium 9.00 Beta-25/", prev2);
  const std::string upd2 = build(2, 0, 90027, prev2, "update2");
  std::map<std::string, std::vector<Row>> hist2;
  for (const Row& r : parse_list(list_text(upd2 + "Volarium 9.00 Beta-25/"))) hist2[r.path].push_back(r);
  const auto& dropped2 = hist2.at("All/Weapons/store_5.wpn");
  ASSERT_EQ(dropped2.size(), 2u);
  EXPECT_EQ(dropped2[1].sig, "GONE");
  EXPECT_EQ(dropped2[1].version, 90026);
}

TEST_F(MasterPass, PreviousListProblemsAreFatal) {
  const std::string bad = (root_ / "bad-directory.txt").string();
  std::ofstream(bad) << "not a file list\n";
  EXPECT_EXIT(build(2, 0, 90026, bad, "badprev"), testing::ExitedWithCode(1), "bad header");

  // A release must carry a new version number.
  const std::string main_root = build(1, 1, 90025, "/none", "vbase");
  const std::string prev = (root_ / "vprev.txt").string();
  sample::extract_list(main_root + "Volarium 9.00 Beta-25/", prev);
  EXPECT_EXIT(build(2, 0, 90025, prev, "sameversion"), testing::ExitedWithCode(1),
              "I already have a version");
}

TEST_F(MasterPass, BadMasterTreesStopThePass) {
  // Files that differ only in letter case, names the list cannot carry, a FIFO for a 7z, "All/x".
  const std::string tree = (root_ / "badtree").string();
  run("cp -a " + quote((root_ / "r1").string()) + " " + quote(tree));
  const auto stops = [&](const char* why) {  // by a deadline, and leaving no disc folder
    EXPECT_EXIT((alarm(60), build_tree(tree + "/", 1, 90025, "/none", "stopped")), testing::ExitedWithCode(1), why);
    EXPECT_FALSE(fs::exists(root_ / "stopped/Volarium 9.00 Beta-25")) << why;
  };
  std::ofstream(tree + "/All/Weapons/Store_1.wpn") << "another case";
  stops("differ only in letter case");
  for (const std::string bad : {"a\nb.wpn", "a\rb.wpn", "\tc.wpn", " d.wpn"}) {
    std::ofstream(tree + "/All/Weapons/" + bad) << "x";
    stops("line break, or a blank or tab at the start");
    fs::remove(tree + "/All/Weapons/" + bad);
  }
  const std::string fifo = tree + "/All/Rovade Vovavod/-global terrain-/+40-130/+47-122.dsf.7z";
  ASSERT_TRUE(fs::remove(fifo) && mkfifo(fifo.c_str(), 0644) == 0);
  stops("prepared 7z file.*\\+47-122.dsf.7z");
  std::ofstream(tree + "/All/stray.txt") << "x";
  stops("I FOUND A FILE INSIDE THE 'ALL' FOLDER");
}

TEST_F(MasterPass, AFileThatGrowsWhileBuiltIsListedAsArchived) {
  struct grow_after_read : mac_meta_recorder {
    bool read(const std::string& path, mac_meta_data* data) override {
      if (path.ends_with("/store_1.wpn")) std::ofstream(path, std::ios::app) << "appended meanwhile";
      return mac_meta_recorder::read(path, data);
    }
  } grow;
  run("cp -a " + quote((root_ / "r1").string()) + " " + quote((root_ / "growing").string()));
  const std::string disc = build_tree((root_ / "growing/").string(), 1, 90025, "/none", "growing-disc") + "Volarium 9.00 Beta-25/";
  const std::string packed = run("unzip -p " + quote(disc + "All/Weapons/store_1.wpn.zip") + " store_1.wpn");
  EXPECT_NE(list_text(disc).find(" " + md5_hex(packed.data(), packed.size()) + " store_1.wpn\n"), std::string::npos);
}

// An update pass run by a user who cannot read one item of its own copy of the master stops naming it, with no disc.
TEST_F(MasterPass, AnUnreadableMasterFileOrFolderStopsThePass) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can run the builder as another user";
  const std::string id = "4242";  // a user with no rights of its own
  const std::string tree = quote((root_ / "unreadable-master").string()), dst = (root_ / "unreadable").string(), prev = dst + ".txt";
  sample::extract_list(build(1, 1, 90025, "/none", "unreadable-base") + "Volarium 9.00 Beta-25/", prev);
  for (const std::string rel : {"All/Weapons/store_1.wpn", "All/Airfoils/"}) {
    const std::string out = run(
        "rm -rf " + tree + " " + quote(dst) + " && cp -a " + quote((root_ / "r2").string()) + " " + tree + " && mkdir " +
        quote(dst) + " && chown -R " + id + ":" + id + " " + tree + " " + quote(dst) + " && cd " + tree + " && chmod 0 '" +
        rel + "' && setpriv --reuid=" + id + " --regid=" + id + " --clear-groups " MASTER_EXE_PATH " --master_src=" + tree +
        " --master_dst=" + quote(dst) + " --master_old=" + quote(prev) + " --disc_type=0 --build_version=90026 2>&1");
    EXPECT_NE(out.find(rel + "\n"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(dst + "/Volarium 9.00 Beta-25")) << out;
  }
}

// A file of the disc that cannot be opened ends the pass naming it and the reason, and the
// half-made disc folder goes, so that it is never taken for a good disc (nor blocks a rerun).
TEST_F(MasterPass, AFileThatCannotBeOpenedEndsThePassWithoutAHalfMadeDisc) {
  const std::string tree = (root_ / "r1").string() + "/";
  // The version file's place is taken by a folder: every file is packed, then the open fails.
  const std::string dst = (root_ / "noversion").string() + "/";
  fs::create_directories(dst + "dvd_version.txt");
  EXPECT_EXIT(
      {
        sample::build_disc(tree, dst, 1, 90025, "/none");
        std::exit(0);
      },
      testing::ExitedWithCode(1), "dvd_version.txt.*Is a directory.*unfinished disc folder was removed");
  EXPECT_FALSE(fs::exists(dst + "Volarium 9.00 Beta-25"));
  EXPECT_TRUE(fs::is_directory(dst + "dvd_version.txt"));

  // The list's own path is too long for the system, though its folder is not.
  std::string deep = (root_ / "long").string();
  const size_t room = 4090 - std::string("/Volarium 9.00 Beta-25").size();
  while (deep.size() + 201 < room) deep += "/" + std::string(200, 'd');
  deep += "/" + std::string(room - deep.size() - 1, 'e');
  fs::create_directories(deep);
  const std::string disc = deep + "/Volarium 9.00 Beta-25";
  ASSERT_EQ(disc.size(), 4090u);
  EXPECT_EXIT(
      {
        sample::build_disc(tree, deep + "/", 1, 90025, "/none");
        std::exit(0);
      },
      testing::ExitedWithCode(1), "directory.txt.*File name too long.*unfinished disc folder was removed");
  EXPECT_FALSE(fs::exists(disc));
  // Once the cause is gone, the same root builds.
  fs::remove(dst + "dvd_version.txt");
  build(1, 1, 90025, "/none", "noversion");
  EXPECT_TRUE(fs::exists(dst + "Volarium 9.00 Beta-25/directory.txt.zip"));
}
