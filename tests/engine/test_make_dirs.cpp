// The destination's folder tree: ancestors, folders of wanted files, fixed folders, framework
// entries moved aside, failures reported and the later steps still run; and the folders of the
// operating system.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "alert_sink.h"
#include "engine_test_util.h"
#include "platform/folders.h"
#include "platform/volume.h"

using namespace engine_test;
namespace fs = std::filesystem;

namespace {

file_history_struct listed(const std::string& path, int platform = 0, bool gone = false) {
  file_version_struct v;
  v.disc_type = 1;
  v.platform = platform;
  v.sig_want = gone ? "GONE" : md5_of(path);
  v.sig_have = "NONE";
  v.path = path;
  return file_history_struct{{v}};
}

bool is_dir(const std::string& p) { return fs::is_directory(fs::symlink_status(p)); }

// "/a/b/c/" -> "/a/b/".
std::string parent_of(const std::string& folder) {
  return folder.substr(0, folder.rfind('/', folder.size() - 2) + 1);
}

}  // namespace

using MakeDirsTest = EngineTest;

TEST_F(MakeDirsTest, MakesTheDestinationChainAndSaysItMadeIt) {
  AlertSink sink;
  dest_dir_path = root_ + "a/b c/Volarium 9/";
  make_dirs();
  EXPECT_EQ(sink.count(), 0u);
  EXPECT_TRUE(is_dir(root_ + "a/b c/Volarium 9"));
  EXPECT_EQ(dest_dir_created, 1);

  // Made already: nothing reported, and this run did not make it.
  make_dirs();
  EXPECT_EQ(sink.count(), 0u);
  EXPECT_EQ(dest_dir_created, 0);
}

TEST_F(MakeDirsTest, MakesFoldersOfWantedFilesOnly) {
  AlertSink sink;
  sim_info = {listed("All/Resources/plugins/a/b.txt"), listed("All/Resources/a b/x.txt"),
              listed("All/Resources/a/x.txt"), listed("All/top.txt"),
              listed("Windows/Resources/win/x.exe", 2), listed("All/Resources/gone/x.txt", 0, true),
              listed("Macintosh/Volarium.app/Contents/MacOS/Volarium", 1)};
  make_dirs();
  EXPECT_EQ(sink.count(), 0u);
  for (const char* d : {"Resources", "Resources/plugins", "Resources/plugins/a", "Resources/a b",
                        "Resources/a", "Volarium.app/Contents/MacOS"})
    EXPECT_TRUE(is_dir(dest(d))) << d;
  EXPECT_FALSE(exists(dest("Resources/win")));
  EXPECT_FALSE(exists(dest("Resources/gone")));
  EXPECT_FALSE(exists(dest("top.txt")));
}

TEST_F(MakeDirsTest, MakesTheFixedFolders) {
  make_dirs();
  for (const char* d : {"Output", "Output/FMS plans", "Output/logbooks", "Output/movies",
                        "Output/situations", "Resources", "Resources/preferences"})
    EXPECT_TRUE(is_dir(dest(d))) << d;
}

TEST_F(MakeDirsTest, MovesAsideFrameworkFoldersThatMustBecomeLinks) {
  const std::string zrnb = dest("Resources/plugins/ZRNB.framework/");
  const std::string widgets = dest("Resources/plugins/ZRNBWidgets.framework/");
  fs::create_directories(zrnb + "Versions/Current");
  write(zrnb + "Versions/Current/keep.txt", "k");
  fs::create_directories(zrnb + "Resources");
  fs::create_directories(widgets + "Versions/A");
  fs::create_symlink("A", widgets + "Versions/Current");
  fs::create_symlink("Versions/Current/Resources", widgets + "Resources");
  make_dirs();
  EXPECT_FALSE(exists(zrnb + "Versions/Current"));
  EXPECT_EQ(read(zrnb + "Versions/_Current/keep.txt"), "k");
  EXPECT_TRUE(is_dir(zrnb + "_Resources"));
  EXPECT_TRUE(fs::is_symlink(widgets + "Versions/Current"));
  EXPECT_TRUE(fs::is_symlink(widgets + "Resources"));
  EXPECT_FALSE(exists(widgets + "Versions/_Current"));
}

TEST_F(MakeDirsTest, NothingIsMadeOrMovedThroughALinkThatLeavesTheDestination) {
  const std::string outside = root_ + "outside/";
  fs::create_directories(outside + "plugins/ZRNB.framework/Versions/Current");
  fs::create_directories(outside + "plugins/ZRNB.framework/Resources");
  fs::create_symlink(outside, dest("Resources"));
  sim_info = {listed("All/Resources/plugins/a/b.txt"), listed("All/Output/new/c.txt")};
  AlertSink sink;
  make_dirs();
  EXPECT_EQ(sink.count(), 0u);
  EXPECT_FALSE(exists(outside + "plugins/a"));
  EXPECT_FALSE(exists(outside + "preferences"));
  EXPECT_TRUE(is_dir(outside + "plugins/ZRNB.framework/Versions/Current"));
  EXPECT_TRUE(is_dir(outside + "plugins/ZRNB.framework/Resources"));
  // What lies inside is made as usual.
  EXPECT_TRUE(is_dir(dest("Output/new")));
  EXPECT_TRUE(is_dir(dest("Output/movies")));
}

// The first folder that cannot be made is the one alert: nothing below it is tried.
TEST_F(MakeDirsTest, AFolderThatCannotBeMadeStopsTheInstallationWithOneAlert) {
  write(root_ + "plain", "a file where a folder should be");
  write(root_ + "made/Resources", "a file where a folder should be");
  sim_info = {listed("All/Resources/a/b.txt")};
  const std::string cases[][2] = {{root_ + "plain/x/Volarium 9/", root_ + "plain"}, {root_ + "plain/", root_ + "plain"},
                                  {root_ + "made/", root_ + "made/Resources"}};
  for (const auto& [dest, blocked] : cases) {
    AlertSink sink;
    dest_dir_path = dest;
    stg[STG_error] = 0;
    make_dirs();
    auto got = sink.alerts();
    ASSERT_EQ(got.size(), 1u) << dest;
    EXPECT_EQ(got[0].l2, "Error: " + error_str(ENOTDIR));
    EXPECT_EQ(got[0].l4, "Install Path:" + blocked);
    EXPECT_EQ(stg[STG_error], 1);
  }
  EXPECT_EQ(read(root_ + "plain"), "a file where a folder should be");
  EXPECT_FALSE(exists(root_ + "made/Output"));
}

TEST_F(MakeDirsTest, TrimDestFolder) {
  std::string p = "Macintosh/Volarium.app/Contents/MacOS/x";
  trim_dest_folder(p);
  EXPECT_EQ(p, "Volarium.app/Contents/MacOS/x");
  p = "name.txt";
  trim_dest_folder(p);
  EXPECT_EQ(p, "name.txt");
  p = "All/";
  trim_dest_folder(p);
  EXPECT_EQ(p, "");
  EXPECT_EQ(dest_path_of("All/Resources/x y"), dest_dir_path + "Resources/x y");
}

using MakeDirsDeathTest = EngineTest;

TEST_F(MakeDirsDeathTest, NoDestinationIsFatal) {
  dest_dir_path.clear();
  EXPECT_EXIT(make_dirs(), testing::ExitedWithCode(1), "which folder to install");
}

// ---- Operating-system folders ----

class OsFoldersTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    for (const char* name : {"HOME", "XDG_CONFIG_HOME"}) {
      const char* v = getenv(name);
      saved_env_.emplace_back(name, v ? std::string(v) : std::string(), v != nullptr);
    }
    home_ = root_ + "home/";
    fs::create_directories(home_);
    setenv("HOME", home_.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
  }
  void TearDown() override {
    for (auto& [name, value, set] : saved_env_) {
      if (set) setenv(name.c_str(), value.c_str(), 1);
      else unsetenv(name.c_str());
    }
    EngineTest::TearDown();
  }
  std::vector<std::tuple<std::string, std::string, bool>> saved_env_;
  std::string home_;
};

TEST_F(OsFoldersTest, ApplicationFolderHoldsThisProgram) {
  std::string out = "unchanged";
  ASSERT_EQ(get_OS_abs_path(0, out), 0);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.back(), '/');
  EXPECT_EQ(out, fs::read_symlink("/proc/self/exe").parent_path().string() + "/");
}

TEST_F(OsFoldersTest, DesktopFallsBackFromXdgToDesktopToHome) {
  std::string out;
  ASSERT_EQ(get_OS_abs_path(1, out), 0);
  EXPECT_EQ(out, home_);
  fs::create_directories(home_ + "Desktop");
  ASSERT_EQ(get_OS_abs_path(1, out), 0);
  EXPECT_EQ(out, home_ + "Desktop/");
  fs::create_directories(home_ + "Bureau");
  write(home_ + ".config/user-dirs.dirs", "# comment\nXDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
  ASSERT_EQ(get_OS_abs_path(1, out), 0);
  EXPECT_EQ(out, home_ + "Bureau/");
}

// Only the folder the preferences are written to is made, never the applications folder.
TEST_F(OsFoldersTest, PreferencesAreMadeWhenMissingApplicationsNever) {
  std::string out;
  ASSERT_EQ(get_OS_abs_path(2, out), 0);
  EXPECT_EQ(out, home_ + "Applications/");
  EXPECT_FALSE(exists(out));
  ASSERT_EQ(get_OS_abs_path(4, out), 0);
  EXPECT_EQ(out, home_ + ".config/");
  EXPECT_TRUE(is_dir(out));
  std::string xdg = root_ + "xdg config";
  setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
  ASSERT_EQ(get_OS_abs_path(4, out), 0);
  EXPECT_EQ(out, xdg + "/");
  EXPECT_TRUE(is_dir(out));
}

TEST_F(OsFoldersTest, TemporaryFolderIsPrivateAndStable) {
  std::string a, b;
  ASSERT_EQ(get_OS_abs_path(3, a), 0);
  ASSERT_EQ(get_OS_abs_path(3, b), 0);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.back(), '/');
  EXPECT_TRUE(is_dir(a));
  EXPECT_EQ(fs::status(a).permissions() & fs::perms::others_all, fs::perms::none);
}

// A private temporary folder marks itself in use with a lock that the system drops however its
// process ends; the next run removes the folders whose lock nobody holds, and nothing else.
TEST_F(OsFoldersTest, TemporaryFoldersOfEndedRunsAreRemoved) {
  const std::string base = root_ + "tmpbase/";
  auto temp_like = [&](const std::string& name, bool with_lock) {
    fs::create_directories(base + name + "/sub");
    write(base + name + "/directory.txt", "list");
    if (with_lock) write(base + name + "/.owner-lock", "");
  };
  temp_like("volarium-dead01", true);
  temp_like("volarium-held01", true);
  temp_like("volarium-kill01", true);
  temp_like("volarium-nolock", false);   // not known to be one of ours
  temp_like("other-dead01", true);       // another program's
  temp_like("outside-dead", true);
  fs::create_symlink(base + "outside-dead", base + "volarium-link01");
  write(base + "volarium-file01", "a file");

  // Held by this process through its own descriptor.
  int held = ::open((base + "volarium-held01/.owner-lock").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  // Held by another process that is then killed.
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int fd = ::open((base + "volarium-kill01/.owner-lock").c_str(), O_RDONLY);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(2);
    char c = 1;
    if (::write(ready[1], &c, 1) != 1) ::_exit(3);
    for (;;) ::pause();
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);

  EXPECT_EQ(PLAT_remove_stale_temp_folders(base), 1);
  EXPECT_FALSE(exists(base + "volarium-dead01"));
  for (const char* kept : {"volarium-held01", "volarium-kill01", "volarium-nolock", "other-dead01"})
    EXPECT_TRUE(is_dir(base + kept)) << kept;
  EXPECT_TRUE(fs::is_symlink(base + "volarium-link01"));
  EXPECT_EQ(read(base + "outside-dead/directory.txt"), "list");
  EXPECT_EQ(read(base + "volarium-file01"), "a file");

  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(held);
  EXPECT_EQ(PLAT_remove_stale_temp_folders(base), 2);
  EXPECT_FALSE(exists(base + "volarium-kill01"));
  EXPECT_FALSE(exists(base + "volarium-held01"));
  EXPECT_TRUE(is_dir(base + "volarium-nolock"));
  EXPECT_EQ(PLAT_remove_stale_temp_folders(root_ + "no such base"), 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST_F(OsFoldersTest, OwnTemporaryFolderIsMarkedInUse) {
  std::string temp;
  ASSERT_EQ(get_OS_abs_path(3, temp), 0);
  int fd = ::open((temp + ".owner-lock").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(errno, EWOULDBLOCK);
  ::close(fd);
  EXPECT_EQ(PLAT_remove_stale_temp_folders(parent_of(temp)), 0);
  EXPECT_TRUE(is_dir(temp));
}

TEST_F(OsFoldersTest, VolumeFlush) {
  write(root_ + "f.txt", "x");
  EXPECT_EQ(PLAT_volume_flush(root_), 0);
  EXPECT_EQ(PLAT_volume_flush(root_ + "f.txt"), 0);
  EXPECT_EQ(PLAT_volume_flush(root_ + "missing/"), ENOENT);
}

TEST_F(OsFoldersTest, AFailureLeavesTheTextAlone) {
  std::string out = "as it was";
  write(root_ + "blocker", "x");
  std::string bad = root_ + "blocker/config";
  setenv("XDG_CONFIG_HOME", bad.c_str(), 1);
  EXPECT_NE(get_OS_abs_path(4, out), 0);
  EXPECT_EQ(out, "as it was");
}

using OsFoldersDeathTest = EngineTest;

TEST_F(OsFoldersDeathTest, UnknownFolderIsFatal) {
  std::string out;
  EXPECT_EXIT(get_OS_abs_path(5, out), testing::ExitedWithCode(1), "which=5");
}
