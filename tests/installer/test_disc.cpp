// Finding the install disc among mounted volumes and media folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "foundation/cmdline.h"
#include "foundation/globals.h"
#include "installer/disc.h"

namespace fs = std::filesystem;

namespace {
class DiscSearch : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("volarium-disc-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    saved_ = cmdline.options;
  }
  void TearDown() override {
    cmdline.options = saved_;
    fs::remove_all(root_);
  }
  std::string folder(const std::string& name) {
    fs::create_directories(root_ / name);
    return (root_ / name).string() + "/";
  }
  static void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
  fs::path root_;
  std::map<std::string, std::string> saved_;
};
}  // namespace

TEST_F(DiscSearch, VersionFileHeaderIsChecked) {
  const std::string good = folder("good"), bad = folder("bad"), none = folder("none"), old = folder("old");
  write(good + "dvd_version.txt", "I\n900 version\nDVD\nVERSION Disc\n");
  write(bad + "dvd_version.txt", "I\n900 version\nCD\nVERSION Disc\n");
  write(old + "dvd_version.txt", "I\n800 version\nDVD\n");
  EXPECT_EQ(disc_version_file_ok(good), 1);
  EXPECT_EQ(disc_version_file_ok(bad), 0);
  EXPECT_EQ(disc_version_file_ok(old), 0);
  EXPECT_EQ(disc_version_file_ok(none), 0);
}

TEST_F(DiscSearch, MountPointsUndoOctalEscapes) {
  const auto points = mount_points_of(
      "/dev/sda1 / ext4 rw 0 0\n/dev/sr0 /media/ann/VOLARIUM\\0409 iso9660 ro 0 0\n\nbroken\n");
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0], "/");
  EXPECT_EQ(points[1], "/media/ann/VOLARIUM 9");
}

TEST_F(DiscSearch, CandidatesAreSortedWithFinalSlashes) {
  const std::string media = folder("media");
  folder("media/zdisc");
  folder("media/adisc");
  write(media + "afile", "x");
  const auto c = disc_candidates({"/b", "/a/", "relative"}, {media, (root_ / "missing").string()});
  std::vector<std::string> want = {"/a/", "/b/", media + "adisc/", media + "zdisc/"};
  std::sort(want.begin(), want.end());
  EXPECT_EQ(c, want);
}

TEST_F(DiscSearch, DiscOptionNamesTheRootWithAFinalSlash) {
  cmdline.options.clear();
  cmdline.options["--disc"] = "/some/where";
  EXPECT_EQ(find_disc(), "/some/where/");
  cmdline.options["--disc"] = "";
  EXPECT_EQ(find_disc(), "");
  // A relative folder is the user's, from where the program was started.
  cmdline.options["--disc"] = "discs/one";
  disc_start_folder = "/home/ann";
  EXPECT_EQ(find_disc(), "/home/ann/discs/one/");
  disc_start_folder.clear();
}

TEST_F(DiscSearch, PollKeepsAFoundDisc) {
  cmdline.options.clear();
  cmdline.options["--disc"] = folder("d");
  dvd_path = "/already/";
  poll_for_disc();
  EXPECT_EQ(dvd_path, "/already/");
  dvd_path.clear();
  poll_for_disc();
  EXPECT_EQ(dvd_path, (root_ / "d").string() + "/");
  dvd_path.clear();
}
