// Finding the install disc among mounted volumes and media folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "file_bytes.h"
#include "foundation/cmdline.h"
#include "foundation/globals.h"
#include "installer/disc.h"
#include "installer/front.h"
#include "ogl/text.h"

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
  for (const auto& [disc, want] : {std::pair{good, 1}, {bad, 0}, {old, 0}, {none, 0}}) {
    disc_take(disc);
    EXPECT_EQ(disc_taken_version(), want) << disc;
  }
  // What is read is the folder that was taken, not what its path names later.
  disc_take(good);
  fs::rename(good, root_ / "moved");
  fs::create_directories(good);
  write(good + "dvd_version.txt", "I\n900 version\nDVD\nVERSION Other\n");
  EXPECT_EQ(disc_taken_version(), -1);
  dvd_path.clear();
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
  disc_start_folder = "/home/ann";  // a relative folder is the user's, from where the program was started
  const std::pair<const char*, const char*> rows[] = {
      {"/some/where", "/some/where/"}, {"", ""}, {"discs/one", "/home/ann/discs/one/"}};
  for (const auto& [named, want] : rows) {
    cmdline.options["--disc"] = named;
    EXPECT_EQ(disc_named_folder(), want) << named;
  }
  disc_start_folder.clear();
}

// A named folder that is no disc is refused, with a reason that names it in characters the font draws.
TEST_F(DiscSearch, ANamedFolderThatIsNoDiscSaysWhy) {
  const std::string head = "I\n900 version\nDVD\nVERSION Disc\n", empty = folder("empty"), junk = folder("junk"),
                    bom = folder("bom"), odd = folder("odd\\name"), good = folder("good"), big = folder("big"),
                    caps = folder("caps");
  write(junk + "dvd_version.txt", "\x89PNG\r\n\x1a\ngarbage");
  write(bom + "dvd_version.txt", "\xEF\xBB\xBF" + head);
  write(good + "dvd_version.txt", head);
  write(caps + "Dvd_Version.TXT", head);
  write(big + "dvd_version.txt", head + std::string(70000, '\n'));
  const std::pair<std::string, std::string> rows[] = {
      {(root_ / "missing").string() + "/", "The --disc= folder does not exist: "},
      {good + "dvd_version.txt/", "The --disc= folder is not a folder: "},
      {empty, "The --disc= folder holds no dvd_version.txt: "},
      {junk, "The dvd_version.txt of the --disc= folder is not a DVD version file: "},
      {bom, "The dvd_version.txt of the --disc= folder begins with a byte-order mark: "},
      {big, "The dvd_version.txt of the --disc= folder is not a DVD version file: "},
      {odd, "The --disc= folder has a backslash in its path: "}, {good, ""}, {caps, ""}};
  for (const auto& [named, why] : rows) {
    cmdline.options["--disc"] = named;
    std::string problem = "untouched";
    EXPECT_EQ(find_disc(&problem), why.empty() ? named : "") << named;
    EXPECT_EQ(problem, why.empty() ? "" : why + named) << named;
    for (unsigned char c : why) EXPECT_GT(OGL_char_width(c), 0) << why;
  }
}

TEST_F(DiscSearch, PollKeepsAFoundDisc) {
  cmdline.options.clear();
  const std::string d = cmdline.options["--disc"] = folder("d");
  dvd_path = "/already/";
  poll_for_disc();
  EXPECT_EQ(dvd_path, "/already/");
  // Refused: the status line and the log say why (once), and no disc is claimed until it is one.
  xer.open((root_ / "Log.txt").string(), std::ios::out | std::ios::trunc);
  dvd_path.clear();
  for (int i = 0; i < 2; ++i) poll_for_disc();
  EXPECT_EQ(screen_state.version_problem, disc_folder_problem(d));
  write(d + "dvd_version.txt", "I\n900 version\nDVD\nVERSION Disc\n");
  poll_for_disc();
  xer.close();
  EXPECT_EQ(dvd_path, d);
  EXPECT_EQ(test_support::read_bytes((root_ / "Log.txt").string()),
            "WARNING: The --disc= folder holds no dvd_version.txt: " + d + "\nFound the install disc at " + d + "\n");
  dvd_path.clear();
}
