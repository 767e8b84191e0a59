// Hostile and interrupted installs: links that one archive plants and a later one goes through,
// folders of the tree that are links leading outside, temporary files a killed run left behind,
// and the flush to disk before a run reports itself done.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "alert_sink.h"
#include "engine_test_util.h"
#include "log_capture.h"

using namespace engine_test;
namespace fs = std::filesystem;

namespace {

class InstallSafety : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    outside_ = root_ + "outside/";
    fs::create_directories(outside_);
    write(outside_ + "victim.txt", "untouched");
  }

  // The archive of listed_path holds a symbolic link with text `text`, as the master packs one.
  void put_link_on_disc(const std::string& listed_path, const std::string& text) {
    const std::string leaf = listed_path.substr(listed_path.rfind('/') + 1);
    const std::string stage = root_ + "stage-link/" + leaf;
    fs::create_directories(root_ + "stage-link");
    fs::create_symlink(text, stage);
    const std::string zip = dvd_path + install_name + "/" + listed_path + ".zip";
    fs::create_directories(fs::path(zip).parent_path());
    ASSERT_EQ(file_to_zip(stage, zip), 0) << zip;
    fs::remove(stage);
    packed_[listed_path] = md5_of(text);
  }

  // One history per path, newest version to be installed (what choose_files decides for a
  // missing file), in the order given.
  void want_installed(const std::vector<std::string>& paths) {
    sim_info.clear();
    for (const std::string& p : paths) {
      file_version_struct v;
      v.disc_type = 1;
      v.sig_want = packed_[p];
      v.sig_have = kSigNone;
      v.path = p;
      v.install = 1;
      sim_info.push_back(file_history_struct{{v}});
    }
  }

  // Every link under the destination, each with where the system resolves it (empty when it
  // leads nowhere that exists).
  std::vector<std::pair<std::string, std::string>> links_in_destination() const {
    std::vector<std::pair<std::string, std::string>> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dest_dir_path, ec), end; !ec && it != end; it.increment(ec)) {
      if (!it->is_symlink()) continue;
      char buf[PATH_MAX];
      out.emplace_back(it->path().string(), ::realpath(it->path().c_str(), buf) ? std::string(buf) : std::string());
    }
    return out;
  }

  void expect_no_link_leads_outside() const {
    char buf[PATH_MAX];
    ASSERT_NE(::realpath(dest_dir_path.c_str(), buf), nullptr);
    const std::string root = buf;
    for (const auto& [link, real] : links_in_destination()) {
      if (real.empty()) continue;
      EXPECT_TRUE(real == root || real.rfind(root + "/", 0) == 0) << link << " -> " << real;
    }
  }

  std::string outside_;
};

}  // namespace

// Each chain is harmless link by link when judged alone; together the links lead out of the
// destination. The installation must end with an error and without any such link.
TEST_F(InstallSafety, LinkChainsAcrossArchivesNeverLeadOutside) {
  struct Chain {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;  // listed path, link text, in install order
  };
  const Chain chains[] = {
      // "a" is planted while "x" does not exist, so "x/.." looks like the destination itself.
      {"up through a later self link", {{"All/a", "x/.."}, {"All/x", "."}}},
      {"deeper up through a later self link", {{"All/Resources/a", "x/../.."}, {"All/Resources/x", "."}}},
      {"self link first", {{"All/x", "."}, {"All/a", "x/.."}}},
      {"through a link to a sub-folder",
       {{"All/Resources/d", "sub/.."}, {"All/Resources/sub", "."}, {"All/b", "Resources/d/.."}}},
  };
  for (const Chain& c : chains) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dest_dir_path);
    fs::remove_all(dvd_path + install_name + "/All");
    fs::create_directories(dest_dir_path);
    std::vector<std::string> paths;
    for (const auto& [path, text] : c.links) {
      put_link_on_disc(path, text);
      paths.push_back(path);
    }
    want_installed(paths);
    stg[STG_error] = 0;
    AlertSink sink;
    make_dirs();
    run_install();

    EXPECT_EQ(stg[STG_error], 1);
    ASSERT_GE(sink.count(), 1u);
    bool refused = false;
    for (const recorded_alert& a : sink.alerts())
      if (a.l1 == "The installer cannot extract a file.") refused = true;
    EXPECT_TRUE(refused);
    expect_no_link_leads_outside();
    EXPECT_EQ(read(outside_ + "victim.txt"), "untouched");
  }
}

TEST_F(InstallSafety, LinksThatStayInsideAreKept) {
  fs::create_directories(dest("Resources/plugins/Kit.framework/Versions/A"));
  put_link_on_disc("All/Resources/plugins/Kit.framework/Versions/Current", "A");
  put_link_on_disc("All/Resources/plugins/Kit.framework/Kit", "Versions/Current/Kit");
  want_installed({"All/Resources/plugins/Kit.framework/Versions/Current",
                  "All/Resources/plugins/Kit.framework/Kit"});
  AlertSink sink;
  make_dirs();
  run_install();
  EXPECT_EQ(stg[STG_error], 0);
  EXPECT_EQ(sink.count(), 0u);
  EXPECT_EQ(fs::read_symlink(dest("Resources/plugins/Kit.framework/Versions/Current")), "A");
  EXPECT_EQ(fs::read_symlink(dest("Resources/plugins/Kit.framework/Kit")), "Versions/Current/Kit");
}

TEST_F(InstallSafety, ALinkWithAnotherTextThanTheListsIsNotMade) {
  write(dest("Resources/Current"), "old bytes");
  put_link_on_disc("All/Resources/Current", "B");
  want_installed({"All/Resources/Current"});
  sim_info[0].versions.back().sig_want = md5_of("A");
  AlertSink sink;
  make_dirs();
  run_install();
  EXPECT_EQ(stg[STG_error], 1);
  EXPECT_EQ(read(dest("Resources/Current")), "old bytes");
  EXPECT_TRUE(links_in_destination().empty());
  ASSERT_EQ(sink.count(), 1u);
  EXPECT_EQ(sink.alerts()[0].l3, "File: " + dest("Resources/Current"));
}

// A folder of the tree that the user (or an older version) made a link leading elsewhere: one
// alert names it, nothing is written there, and the installation does not start.
TEST_F(InstallSafety, AFolderLinkLeadingOutsideStopsWithOneAlert) {
  fs::create_symlink(outside_, dest("Resources"));
  want_installed({"All/Aircraft/k.acf", "All/Resources/plugins/new/a.txt", "All/Resources/b.txt"});
  AlertSink sink;
  make_dirs();
  ASSERT_EQ(sink.count(), 1u);
  const recorded_alert a = sink.alerts()[0];
  EXPECT_EQ(a.type, t_alert);
  EXPECT_NE(a.l1.find("link that leads outside"), std::string::npos) << a.l1;
  EXPECT_EQ(a.l2, "Folder: " + dest("Resources"));
  EXPECT_EQ(a.l3.rfind("It leads to: " + outside_.substr(0, outside_.size() - 1), 0), 0u) << a.l3;
  EXPECT_EQ(stg[STG_error], 1);
  EXPECT_FALSE(exists(outside_ + "plugins"));
  EXPECT_FALSE(exists(outside_ + "preferences"));
  EXPECT_EQ(std::distance(fs::directory_iterator(outside_), fs::directory_iterator()), 1);
  EXPECT_EQ(read(outside_ + "victim.txt"), "untouched");
  // Folders before it in order were made, later steps did not run.
  EXPECT_TRUE(fs::is_directory(dest("Aircraft")));
  EXPECT_FALSE(exists(dest("Output")));

  // A link deeper in the tree, whose target lacks the sub-folders: still the one alert.
  fs::remove(dest("Resources"));
  fs::create_directories(dest("Resources"));
  fs::create_symlink(outside_, dest("Resources/plugins"));
  stg[STG_error] = 0;
  sink.clear();
  make_dirs();
  ASSERT_EQ(sink.count(), 1u);
  EXPECT_EQ(sink.alerts()[0].l2, "Folder: " + dest("Resources/plugins"));
  EXPECT_FALSE(exists(outside_ + "new"));
}

TEST_F(InstallSafety, AFolderLinkLeadingInsideIsUsed) {
  fs::create_directories(dest("Shared res"));
  fs::create_symlink("Shared res", dest("Resources"));
  put_on_disc("All/Resources/b.txt", "bee");
  want_installed({"All/Resources/b.txt"});
  AlertSink sink;
  make_dirs();
  run_install();
  EXPECT_EQ(sink.count(), 0u);
  EXPECT_EQ(stg[STG_error], 0);
  EXPECT_EQ(read(dest("Shared res/b.txt")), "bee");
}

// What a killed run leaves beside the files: the scan removes the file layer's own temporary
// names from the folders it walks, and nothing else.
TEST_F(InstallSafety, ScanRemovesLeftoversOfAKilledRun) {
  const std::string list = make_disc({{"All/Resources/a.txt", "alpha"}, {"All/Output/b.txt", "beta"}});
  const std::vector<std::string> leftovers = {
      "Resources/.vol-unpack-Ab3xZ9", "Resources/.vol-unpack-Ab3xZ9.old", "Output/.vol-unpack-000000",
      "Resources/.vol-link-4242-0"};
  const std::vector<std::string> kept = {
      "Resources/.vol-unpack-toolong7", "Resources/.vol-unpack-ab",   "Resources/.vol-unpackAb3xZ9",
      "Resources/.vol-unpack-Ab3xZ9.bak", "Resources/user.old",      "Resources/.vol-link-x-1",
      "Resources/.vol-link-12-",        "Resources/notes .vol-unpack-Ab3xZ9", "Aircraft/.vol-unpack-Ab3xZ9"};
  for (const std::string& f : leftovers) write(dest(f), "half");
  for (const std::string& f : kept) write(dest(f), "mine");
  fs::remove(dest("Resources/.vol-link-4242-0"));
  fs::create_symlink("a.txt", dest("Resources/.vol-link-4242-0"));
  fs::create_directories(dest("Resources/.vol-unpack-Qw12er"));  // a folder is never removed

  LogCapture log;
  ASSERT_EQ(read_directory(list, "scan"), 3);
  for (const std::string& f : leftovers) EXPECT_FALSE(exists(dest(f))) << f;
  for (const std::string& f : kept) EXPECT_EQ(read(dest(f)), "mine") << f;
  EXPECT_TRUE(fs::is_directory(dest("Resources/.vol-unpack-Qw12er")));
  EXPECT_EQ(LogCapture::count(log.text(), "Removed a temporary file left by an interrupted run"), leftovers.size());
  // The leftovers did not count as anything to install or delete.
  EXPECT_EQ(scan_install_count, 2);
}

TEST_F(InstallSafety, AFolderBehindALinkOutsideIsNotSwept) {
  fs::create_symlink(outside_, dest("Resources"));
  write(outside_ + ".vol-unpack-Ab3xZ9", "someone else's");
  const std::string list = make_disc({{"All/Resources/a.txt", "alpha"}});
  ASSERT_EQ(read_directory(list, "scan"), 3);
  EXPECT_EQ(read(outside_ + ".vol-unpack-Ab3xZ9"), "someone else's");
}

// The flush comes before the run says it is done and before the folder takes its new name;
// after the rename the new name is flushed as well.
TEST_F(InstallSafety, EverythingIsFlushedBeforeTheRunEnds) {
  dest_dir_path = root_ + "Volarium 9/";
  install_name = "Volarium 9.00";
  const std::string list = make_disc({{"Macintosh/Volarium.app/Contents/MacOS/Volarium", "#!/bin/sh\n", 1},
                                      {"All/Resources/a.txt", "alpha"}});
  ASSERT_EQ(read_directory(list, "scan"), 3);
  ASSERT_EQ(this_install_has_exes, 1);
  ASSERT_EQ(choose_files(), 1);
  make_dirs();
  stg[STG_rename_folder] = 1;
  LogCapture log;
  next.reset(0.0f);
  EXPECT_EQ(grab_files(), 0);
  EXPECT_EQ(grab_files(), 0);
  EXPECT_EQ(log.text().find("Flushed "), std::string::npos);  // not once per file
  EXPECT_EQ(grab_files(), 1);
  const std::string text = log.text();
  const size_t before = text.find("Flushed " + root_ + "Volarium 9/ to disk in ");
  const size_t after = text.find("Flushed " + root_ + "Volarium 9.00/ to disk in ");
  ASSERT_NE(before, std::string::npos) << text;
  ASSERT_NE(after, std::string::npos) << text;
  EXPECT_LT(before, after);
  EXPECT_EQ(LogCapture::count(text, "with result=0.\n"), 2u);
  EXPECT_EQ(dest_dir_path, root_ + "Volarium 9.00/");
  EXPECT_EQ(stg[STG_error], 0);
}

TEST_F(InstallSafety, AnInstallStoppedByAnErrorIsFlushedToo) {
  const std::string list = make_disc({{"All/Resources/a.txt", "alpha"}, {"All/Resources/b.txt", "beta"}});
  ASSERT_EQ(read_directory(list, "scan"), 3);
  ASSERT_EQ(choose_files(), 1);
  make_dirs();
  write(dvd_path + install_name + "/All/Resources/b.txt.zip", "not a zip archive");
  AlertSink sink;
  LogCapture log;
  next.reset(0.0f);
  EXPECT_EQ(grab_files(), 0);
  EXPECT_EQ(grab_files(), 1);  // the failed unpack: the front end stops here
  EXPECT_EQ(stg[STG_error], 1);
  EXPECT_NE(log.text().find("Flushed " + dest_dir_path + " to disk in "), std::string::npos) << log.text();
}
