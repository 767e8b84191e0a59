// Whole installations without a window: sample master -> disc -> engine steps -> verified
// destination; then an update disc over it with a file the user changed; then an installation
// killed half-way and run again.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "alert_sink.h"
#include "engine/install.h"
#include "file_bytes.h"
#include "engine/master.h"
#include "files/md5.h"
#include "files/zip.h"
#include "foundation/globals.h"
#include "sample_disc.h"

namespace fs = std::filesystem;

namespace {
const std::string kDiscName = "Volarium 9.00 Beta-25";

// Answers every question with the scripted answer and remembers what was asked.
int g_answer = 2;
std::vector<std::string> g_asked;
int scripted_answer(std::string path, int) {
  g_asked.push_back(path);
  return g_answer;
}

std::string md5_of(const std::string& path) {
  std::string sig;
  return calc_file_md5(path, sig) == 0 ? sig : "NONE";
}

void write_file(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

using test_support::read_bytes;

// Every regular file and link under root with its signature, for before/after comparisons.
std::map<std::string, std::string> snapshot(const std::string& root) {
  std::map<std::string, std::string> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    if (it->is_symlink() || it->is_regular_file())
      out[fs::relative(it->path(), root).string()] = md5_of(it->path().string());
    else
      out[fs::relative(it->path(), root).string() + "/"] = "";
  }
  return out;
}

class WholeInstall : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = fs::temp_directory_path() / ("volarium-whole-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    AlertSink sink;  // the master mode's closing reminder
    const sample::two_releases r = sample::make_two_releases(root_);
    master1_ = r.master1;
    master2_ = r.master2;
    disc1_ = r.disc1;
    disc2_ = r.disc2;
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }

  void SetUp() override {
    stg = stg_struct{};
    stg[STG_target_os] = 3;
    stg[STG_rename_folder] = 1;
    stg[STG_phase] = 3;
    g_asked.clear();
    g_answer = 2;
    previous_hook_ = set_select_alert_hook(scripted_answer);
    temp_path = (root_ / ("tmp-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()))).string() + "/";
    fs::create_directories(temp_path);
  }
  void TearDown() override { set_select_alert_hook(previous_hook_); }

  // Reads the disc's list and scans the destination: the front end's road up to Install.
  static void scan(const std::string& disc, const std::string& dest) {
    dvd_path = disc;
    install_name = kDiscName;
    dest_dir_path = dest;
    ASSERT_EQ(zip_to_file(disc + kDiscName + "/directory.txt.zip", temp_path, nullptr, 0), 0);
    ASSERT_EQ(read_directory(temp_path + "directory.txt", "Scanning"), 3);
  }

  // Install pressed: decisions, folders, then install steps until the end. False on cancel.
  static bool install(int max_steps = 1 << 30) {
    if (!choose_files()) return false;
    stg[STG_error] = 0;
    make_dirs();
    next.reset(0);
    for (int i = 0; i < max_steps; ++i) {
      int r = grab_files();
      if (r == 1) {
        EXPECT_EQ(stg[STG_error], 0);
        return true;
      }
      EXPECT_EQ(r, 0);
    }
    return true;
  }

  // Every wanted listed file is in dest with its signature, the master's mode and time.
  static void verify(const std::string& master, const std::string& dest) {
    int checked = 0;
    for (const file_history_struct& h : sim_info) {
      const file_version_struct& v = h.versions.back();
      const std::string local = dest + v.path.substr(v.path.find('/') + 1);
      const bool wanted = v.platform == 0 || v.platform == 3 || v.platform == 6;
      if (!wanted || v.sig_want == "GONE") {
        if (v.platform == 1 || v.platform == 2) {
          EXPECT_FALSE(fs::exists(fs::symlink_status(local))) << local;
        }
        continue;
      }
      ASSERT_TRUE(fs::exists(fs::symlink_status(local))) << local;
      EXPECT_EQ(md5_of(local), v.sig_want) << local;
      struct stat want, got;
      ASSERT_EQ(lstat((master + v.path).c_str(), &want), 0);
      ASSERT_EQ(lstat(local.c_str(), &got), 0);
      // 7z archives carry data only; zip archives restore mode and time.
      if (listed_archive_ext(v.path) == ".7z") {
        ++checked;
        continue;
      }
      EXPECT_EQ(got.st_mode & 07777, want.st_mode & 07777) << local;
      if (!S_ISLNK(want.st_mode)) {
        EXPECT_EQ(got.st_mtime, want.st_mtime) << local;
      }
      ++checked;
    }
    EXPECT_GT(checked, 200);
  }

  static fs::path root_;
  static std::string master1_, master2_, disc1_, disc2_;
  select_alert_fn previous_hook_ = nullptr;
};
fs::path WholeInstall::root_;
std::string WholeInstall::master1_, WholeInstall::master2_, WholeInstall::disc1_, WholeInstall::disc2_;

// A fresh install of release 1 into an empty "Volarium 9" folder, renamed at the end.
std::string fresh_install(const fs::path& root, const std::string& name, const std::string& disc) {
  const std::string parent = (root / name).string() + "/";
  fs::create_directories(parent);
  const std::string dest = parent + "Volarium 9/";
  dvd_path = disc;
  install_name = kDiscName;
  dest_dir_path = dest;
  return parent;
}
}  // namespace

TEST_F(WholeInstall, MainDiscIntoEmptyDestination) {
  const std::string parent = fresh_install(root_, "fresh", disc1_);
  scan(disc1_, parent + "Volarium 9/");
  EXPECT_GT(scan_install_count, 200);
  EXPECT_GT(stg.getf(STG_kb_installed), 1000.0f);
  ASSERT_TRUE(install());
  EXPECT_TRUE(g_asked.empty());

  // The destination took the disc's name: Linux files were installed.
  const std::string dest = parent + kDiscName + "/";
  EXPECT_EQ(dest_dir_path, dest);
  EXPECT_FALSE(fs::exists(parent + "Volarium 9"));
  verify(master1_, dest);
  for (const char* fixed : {"Output", "Output/FMS plans", "Output/logbooks", "Output/movies", "Output/situations",
                            "Resources", "Resources/preferences"})
    EXPECT_TRUE(fs::is_directory(dest + fixed)) << fixed;
  // Nothing of the other platforms; the Linux binary is there.
  EXPECT_FALSE(fs::exists(dest + "Volarium.app"));
  EXPECT_FALSE(fs::exists(dest + "Volarium.exe"));
  EXPECT_TRUE(fs::exists(dest + "volarium-x86_64"));

  // A second scan finds nothing to do.
  scan(disc1_, dest);
  EXPECT_EQ(scan_install_count, 0);
  EXPECT_EQ(scan_delete_count, 0);
}

TEST_F(WholeInstall, UpdateDiscOverAnInstallWithAHandChangedFile) {
  const std::string changed_by_user = "Aircraft/General Aviation/Kestrel 03/k3.acf";
  for (int answer = 1; answer <= 5; ++answer) {
    SCOPED_TRACE("answer " + std::to_string(answer));
    const std::string parent = fresh_install(root_, "update" + std::to_string(answer), disc1_);
    scan(disc1_, parent + "Volarium 9/");
    ASSERT_TRUE(install());
    const std::string dest = dest_dir_path;

    write_file(dest + changed_by_user, "the user's own version");
    // The unchanged file's archive on the update disc is damaged: it must never be opened.
    write_file(disc2_ + kDiscName + "/All/Weapons/store_1.wpn.zip", "not a zip archive");
    const auto before = snapshot(dest);

    g_asked.clear();
    g_answer = answer;
    scan(disc2_, dest);
    const bool went_on = install();
    ASSERT_EQ(g_asked.size(), 1u);
    EXPECT_EQ(g_asked[0], dest + changed_by_user);

    if (answer == 3) {
      EXPECT_FALSE(went_on);
      EXPECT_EQ(snapshot(dest), before);  // cancel touches nothing
      continue;
    }
    ASSERT_TRUE(went_on);
    // Changed by the product: replaced without a question. Dropped: deleted, emptied folder removed.
    EXPECT_EQ(md5_of(dest + "Resources/text/English/Volarium.txt"),
              md5_of(master2_ + "All/Resources/text/English/Volarium.txt"));
    EXPECT_FALSE(fs::exists(dest + "Weapons/store_5.wpn"));
    EXPECT_FALSE(fs::exists(dest + "Resources/retired"));
    EXPECT_TRUE(fs::exists(dest + "Weapons/store_6.wpn"));
    EXPECT_EQ(md5_of(dest + "Weapons/store_1.wpn"), md5_of(master2_ + "All/Weapons/store_1.wpn"));

    const bool acted = answer == 1 || answer == 4;
    if (acted)
      EXPECT_EQ(md5_of(dest + changed_by_user), md5_of(master2_ + "All/" + changed_by_user));
    else
      EXPECT_EQ(read_bytes(dest + changed_by_user), "the user's own version");
  }
}

TEST_F(WholeInstall, InterruptedInstallCompletesWhenRunAgain) {
  const std::string parent = fresh_install(root_, "killed", disc1_);
  const std::string dest = parent + "Volarium 9/";
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipefd[0]);
    scan(disc1_, dest);
    if (!choose_files()) _exit(3);
    make_dirs();
    next.reset(0);
    for (;;) {
      if (grab_files() == 1) _exit(4);
      char c = 's';
      if (write(pipefd[1], &c, 1) != 1) _exit(5);
    }
  }
  close(pipefd[1]);
  // Kill it somewhere in the middle of the unpacking.
  char c;
  int steps = 0;
  while (steps < 120 && read(pipefd[0], &c, 1) == 1) ++steps;
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(pipefd[0]);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the install ended before it could be interrupted";

  // No file under its real name may be partly written: the new run asks nothing and completes.
  scan(disc1_, dest);
  EXPECT_GT(scan_install_count, 0);
  ASSERT_TRUE(install());
  EXPECT_TRUE(g_asked.empty());
  verify(master1_, dest_dir_path);
}
