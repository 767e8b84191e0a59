// Result codes, file operations by path and letter-case repair.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <set>

#include "alert_sink.h"
#include "files/io_utils.h"
#include "files_test_util.h"

namespace {

class IoUtils : public ScratchDir {};

TEST(ErrorStr, KnownProgramErrnoAndFileSystemCodes) {
  EXPECT_EQ(error_str(20001), "We were unable to open a zip file. It may be missing or damaged");
  EXPECT_EQ(error_str(20006), "We could not open a file to read from it");
  EXPECT_EQ(error_str(20008), "We wre unable to connect to the network due to a bad state error");
  EXPECT_EQ(error_str(20015), "The archive holds an unsafe file name");
  EXPECT_EQ(error_str(-43), "File not found");
  EXPECT_EQ(error_str(-5000), "You have insufficient privileges for this operation");
  // errno rows follow this system's numbering.
  EXPECT_EQ(error_str(ENOTEMPTY), "Directory not empty");
  EXPECT_EQ(error_str(EAGAIN), "Resource temporarily unavailable");
  EXPECT_EQ(error_str(EDEADLK), "Resource deadlock avoided");
  EXPECT_EQ(error_str(ENOSPC), "No space left on device. Perhaps your hard drive is full");
  EXPECT_EQ(error_str(EROFS), "The destination file system is read-only");
}

TEST(ErrorStr, UnknownAndNegativeCodesGiveTheGenericText) {
  EXPECT_EQ(error_str(20013), "Unknown error occurred (20013)");
  EXPECT_EQ(error_str(20014), "Unknown error occurred (20014)");
  EXPECT_EQ(error_str(0), "Unknown error occurred (0)");
  EXPECT_EQ(error_str(-1), "Unknown error occurred (-1)");
  EXPECT_EQ(error_str(-105), "Unknown error occurred (-105)");
  EXPECT_EQ(error_str(INT_MIN), "Unknown error occurred (-2147483648)");
}

TEST(ErrorStr, TableHasNoDuplicateCodesAndEndsWithNull) {
  std::set<int> seen;
  size_t rows = 0;
  for (const ErrMsg* row = kErrMsgs; row->message; ++row, ++rows) {
    EXPECT_TRUE(seen.insert(row->code).second) << "duplicate code " << row->code;
    EXPECT_GT(std::strlen(row->message), 0u);
  }
  EXPECT_EQ(rows, 14u + 38u + 29u);
}

TEST_F(IoUtils, ExistenceAndSize) {
  mkdirs(path("Resources"));
  write(path("Resources/x.txt"), "hello");
  EXPECT_EQ(file_exists(path("Resources/x.txt")), 1);
  EXPECT_EQ(file_exists(path("Resources")), 0);
  EXPECT_EQ(file_exists(path("Resources/none.txt")), 0);
  EXPECT_EQ(dir_exists(path("Resources")), 1);
  EXPECT_EQ(dir_exists(path("Resources/")), 1);
  EXPECT_EQ(dir_exists(path("Resources/x.txt")), 0);
  EXPECT_EQ(dir_exists("/"), 1);
  EXPECT_EQ(APL_file_size(path("Resources/x.txt")), 5);
  EXPECT_EQ(APL_file_size(path("Resources")), -1);
  EXPECT_EQ(APL_file_size(path("missing")), -1);
}

TEST_F(IoUtils, RelativePathWithEmptyRootIsRelativeToCurrentFolder) {
  mkdirs(path("Resources"));
  write(path("Resources/x.txt"), "");
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(root_.c_str()), 0);
  EXPECT_EQ(file_exists("Resources/x.txt"), 1);
  EXPECT_EQ(APL_file_size("Resources/x.txt"), 0);
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(file_exists("Resources/x.txt"), 0);
}

TEST_F(IoUtils, RootIsJoinedInFront) {
  write(path("a.txt"), "abc");
  app_path = root_;
  EXPECT_EQ(file_exists("a.txt"), 1);
  EXPECT_EQ(APL_file_size("a.txt"), 3);
  EXPECT_EQ(delete_file("a.txt"), 0);
  EXPECT_EQ(file_exists("a.txt"), 0);
}

TEST_F(IoUtils, SizeOfFilesOverTwoAndFourGigabytesIsExact) {
  const std::string big = path("big.bin");
  {
    FILE* f = fopen(big.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(ftruncate(fileno(f), (int64_t(4) << 30) + 7), 0);  // sparse
    fclose(f);
  }
  EXPECT_EQ(APL_file_size(big), (int64_t(4) << 30) + 7);
  ASSERT_EQ(truncate(big.c_str(), (int64_t(2) << 30) + 1), 0);
  EXPECT_EQ(APL_file_size(big), (int64_t(2) << 30) + 1);
}

TEST_F(IoUtils, DeleteFilesAndFolders) {
  mkdirs(path("dir/sub"));
  write(path("dir/f"), "x");
  EXPECT_EQ(delete_file(""), ENOENT);
  EXPECT_EQ(delete_file(path("dir/")), ENOTEMPTY);
  EXPECT_EQ(sErrLine > 0, true);
  EXPECT_STRNE(sErrFile, "");
  EXPECT_EQ(delete_file(path("dir/f")), 0);
  EXPECT_EQ(delete_file(path("dir/f")), ENOENT);
  EXPECT_EQ(delete_file(path("dir/sub/")), 0);
  EXPECT_EQ(delete_file(path("dir/")), 0);
  EXPECT_EQ(dir_exists(path("dir")), 0);
  // A link is removed, not its target.
  write(path("target"), "t");
  ASSERT_EQ(symlink("target", path("link").c_str()), 0);
  EXPECT_EQ(delete_file(path("link")), 0);
  EXPECT_EQ(file_exists(path("target")), 1);
}

TEST_F(IoUtils, MakeFolderAndRename) {
  EXPECT_EQ(make_folder(path("a/b/")), ENOENT);
  EXPECT_EQ(make_folder(path("a/")), 0);
  EXPECT_EQ(make_folder(path("a/b/")), 0);
  const ErrCode again = make_folder(path("a/b"));
  EXPECT_EQ(again, EEXIST);
  EXPECT_EQ(show_make_dir_err(again), 0);
  EXPECT_EQ(show_make_dir_err(0), 0);
  EXPECT_EQ(show_make_dir_err(-48), 0);
  EXPECT_EQ(show_make_dir_err(EACCES), 1);
  EXPECT_EQ(show_del_err(EACCES), 0);
  struct stat st;
  ASSERT_EQ(stat(path("a/b").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777 & ~0022u, 0755u & ~0022u);

  write(path("a/old"), "1");
  EXPECT_EQ(rename_file(path("a/"), "old", "new"), 0);
  EXPECT_EQ(read(path("a/new")), "1");
  EXPECT_EQ(rename_file(path("a/"), "old", "new2"), ENOENT);
}

TEST_F(IoUtils, MakeExecutableAndLinks) {
  write(path("tool"), "#!/bin/sh\n");
  ASSERT_EQ(chmod(path("tool").c_str(), 0600), 0);
  EXPECT_EQ(make_file_executable(path("tool").c_str()), 0);
  struct stat st;
  ASSERT_EQ(stat(path("tool").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  EXPECT_EQ(make_file_executable(path("none").c_str()), ENOENT);

  ASSERT_EQ(symlink("some/where else", path("ln").c_str()), 0);
  std::string target = "untouched";
  EXPECT_EQ(is_sim_link(path("ln").c_str(), &target), 1);
  EXPECT_EQ(target, "some/where else");
  EXPECT_EQ(is_sim_link(path("ln").c_str(), nullptr), 1);
  target = "untouched";
  EXPECT_EQ(is_sim_link(path("tool").c_str(), &target), 0);
  EXPECT_EQ(is_sim_link(path("none").c_str(), &target), 0);
  EXPECT_EQ(target, "untouched");
  // A dangling link still exists as a link but not as a file.
  EXPECT_EQ(file_exists(path("ln")), 0);
}

TEST_F(IoUtils, CaseRepairAnywhereInThePath) {
  mkdirs(path("Resources/Plugins"));
  write(path("Resources/Plugins/A.txt"), "a");
  EXPECT_EQ(file_exists(path("resources/plugins/a.txt")), 1);
  EXPECT_EQ(file_exists(path("RESOURCES/Plugins/a.TXT")), 1);
  EXPECT_EQ(dir_exists(path("resources/PLUGINS/")), 1);
  EXPECT_EQ(APL_file_size(path("resources/plugins/a.txt")), 1);

  std::string p = path("resources/plugins/a.txt");
  findPath(p);
  EXPECT_EQ(p, path("Resources/Plugins/A.txt"));

  // A missing middle component: the rest keeps the caller's letters.
  p = path("resources/missing/a.txt");
  findPath(p);
  EXPECT_EQ(p, path("Resources/missing/a.txt"));
  EXPECT_EQ(file_exists(path("resources/missing/a.txt")), 0);

  g_case_sensitive = 0;
  EXPECT_EQ(file_exists(path("resources/plugins/a.txt")), 0);
  g_case_sensitive = 1;
}

TEST_F(IoUtils, CaseRepairWithTwoVariantsOnDisk) {
  mkdirs(path("d"));
  write(path("d/readme"), "lower");
  write(path("d/README"), "upper");
  write(path("d/ReadMe.txt"), "");
  write(path("d/readme.TXT"), "");
  // An exact-case match wins over the others.
  std::string p = path("d/README");
  findPath(p);
  EXPECT_EQ(p, path("d/README"));
  // No exact match: the first in sorted (byte) order.
  p = path("d/Readme");
  findPath(p);
  EXPECT_EQ(p, path("d/README"));
  p = path("d/README.TXT");
  findPath(p);
  EXPECT_EQ(p, path("d/ReadMe.txt"));
}

TEST_F(IoUtils, CaseRepairOfRelativePathsAndNonAsciiBytes) {
  mkdirs(path("Top/Sub"));
  write(path("Top/Sub/\xC3\x89t\xC3\xA9.txt"), "");
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(root_.c_str()), 0);
  std::string p = "top/sub/\xC3\x89T\xC3\xA9.TXT";
  findPath(p);
  EXPECT_EQ(p, "Top/Sub/\xC3\x89t\xC3\xA9.txt");
  // Only ASCII letters fold: a different non-ASCII byte is no match.
  p = "top/sub/\xC3\xA9t\xC3\xA9.txt";
  findPath(p);
  EXPECT_EQ(p, "Top/Sub/\xC3\xA9t\xC3\xA9.txt");
  ASSERT_EQ(chdir(cwd), 0);
}

using IoUtilsDeathTest = IoUtils;

TEST_F(IoUtilsDeathTest, OverlongPathIsFatal) {
  std::string longp = path(std::string(PATH_MAX, 'a'));
  EXPECT_EXIT(file_exists(longp), ::testing::ExitedWithCode(1), "String too long!");
  EXPECT_EXIT(APL_file_size(longp), ::testing::ExitedWithCode(1), "String too long!");
  app_path = std::string(PATH_MAX - 2, '/');
  EXPECT_EXIT(is_sim_link("ab", nullptr), ::testing::ExitedWithCode(1), "String too long!");
}

TEST_F(IoUtils, LongestAcceptedPathIsNotFatal) {
  std::string p = root_;
  p.append(PATH_MAX - 1 - p.size(), 'b');
  ASSERT_EQ(p.size(), size_t(PATH_MAX - 1));
  AlertSink sink;
  EXPECT_EQ(file_exists(p), 0);
  EXPECT_EQ(sink.count(), 0u);
}

}  // namespace
