// Reading the file list: headers, rows, version histories, clamps, line ends, and the rows that
// must stop the program before anything is touched.
#include <gtest/gtest.h>

#include "alert_sink.h"
#include "engine_test_util.h"

using namespace engine_test;

namespace {
const std::string kSigA = "0123456789abcdef0123456789abcdef";
const std::string kSigB = "fedcba9876543210fedcba9876543210";
}  // namespace

using FileListTest = EngineTest;

TEST_F(FileListTest, AdjacentRowsOfOnePathFormOneHistoryNewestLast) {
  std::string body = "DIR All/Resources/\n" + row(1, 0, 800, 5, 6, kSigA, "a.txt") +
                     row(1, 0, 90025, 7, 8, kSigB, "a.txt") + row(1, 1, 90025, 1, 2, kSigA, "b.txt");
  ASSERT_EQ(read_directory(write_list(body), "scan"), 3);
  ASSERT_EQ(sim_info.size(), 2u);
  ASSERT_EQ(sim_info[0].versions.size(), 2u);
  EXPECT_EQ(sim_info[0].versions[0].version, 800);
  EXPECT_EQ(sim_info[0].versions[0].sig_want, kSigA);
  EXPECT_EQ(sim_info[0].versions[1].version, 90025);
  EXPECT_EQ(sim_info[0].versions[1].sig_want, kSigB);
  EXPECT_FLOAT_EQ(sim_info[0].versions[1].download_kb, 7.0f);
  EXPECT_FLOAT_EQ(sim_info[0].versions[1].install_kb, 8.0f);
  EXPECT_EQ(sim_info[0].versions[1].path, "All/Resources/a.txt");
  EXPECT_EQ(sim_info[1].versions.size(), 1u);
  EXPECT_EQ(sim_info[1].versions[0].platform, 1);
  EXPECT_EQ(sim_info[1].versions[0].path, "All/Resources/b.txt");
}

TEST_F(FileListTest, SamePathAfterAnotherOpensASecondHistory) {
  std::string body = "DIR All/\n" + row(1, 0, 1, 1, 1, kSigA, "a.txt") + row(1, 0, 1, 1, 1, kSigA, "b.txt") +
                     row(1, 0, 2, 1, 1, kSigB, "a.txt");
  ASSERT_EQ(read_directory(write_list(body), "scan"), 3);
  ASSERT_EQ(sim_info.size(), 3u);
  EXPECT_EQ(sim_info[0].versions.back().path, "All/a.txt");
  EXPECT_EQ(sim_info[2].versions.back().path, "All/a.txt");
  EXPECT_EQ(sim_info[2].versions.size(), 1u);
}

TEST_F(FileListTest, DirChangesFolderAndNamesKeepBlanks) {
  std::string body = "DIR All/Some Folder/\n" + row(1, 0, 1, 1, 1, kSigA, "x y.txt") +
                     "\nDIR Macintosh/Volarium.app/Contents/MacOS/\n" +
                     "FILE\t1\t1\t1\t1\t1\t" + kSigB + "\tVolarium  \n";
  ASSERT_EQ(read_directory(write_list(body), "scan"), 3);
  ASSERT_EQ(sim_info.size(), 2u);
  EXPECT_EQ(sim_info[0].versions[0].path, "All/Some Folder/x y.txt");
  // Blanks at the end of a name stay part of it; tabs separate fields like blanks.
  EXPECT_EQ(sim_info[1].versions[0].path, "Macintosh/Volarium.app/Contents/MacOS/Volarium  ");
  EXPECT_EQ(sim_info[1].versions[0].sig_want, kSigB);
}

TEST_F(FileListTest, CarriageReturnsEndLinesAndNames) {
  std::string text = "I\r\n900 version\r\nINSTALLER\r\n\r\nDIR All/\r\nFILE 1 0 1 3 4 " + kSigA +
                     " x y.txt\r\nFILE 1 0 1 3 4 " + kSigB + " z.txt\r";
  std::string p = root_ + "crlf.txt";
  write(p, text);
  ASSERT_EQ(read_directory(p, "scan"), 3);
  ASSERT_EQ(sim_info.size(), 2u);
  EXPECT_EQ(sim_info[0].versions[0].path, "All/x y.txt");
  EXPECT_EQ(sim_info[1].versions[0].path, "All/z.txt");
  EXPECT_EQ(sim_info[1].versions[0].sig_want, kSigB);
}

TEST_F(FileListTest, DiscTypeAndPlatformAreClamped) {
  std::string body = "DIR All/\n" + row(9, 12, 1, 1, 1, kSigA, "hi.txt") + "FILE -3 -1 1 1 1 " + kSigA +
                     " lo.txt\n";
  ASSERT_EQ(read_directory(write_list(body), "scan"), 3);
  ASSERT_EQ(sim_info.size(), 2u);
  EXPECT_EQ(sim_info[0].versions[0].disc_type, 4);
  EXPECT_EQ(sim_info[0].versions[0].platform, 6);
  EXPECT_EQ(sim_info[1].versions[0].disc_type, 0);
  EXPECT_EQ(sim_info[1].versions[0].platform, 0);
}

TEST_F(FileListTest, FieldsHoldingOtherCharactersStillGiveNumbers) {
  // Every byte up to the separator counts as a digit: "9x" is 9 * 10 + ('x' - '0').
  std::string body = "DIR All/\nFILE a 0 9x -+7 12a " + kSigA + " odd.txt\n";
  ASSERT_EQ(read_directory(write_list(body), "scan"), 3);
  ASSERT_EQ(sim_info.size(), 1u);
  const file_version_struct& v = sim_info[0].versions[0];
  EXPECT_EQ(v.disc_type, 4);  // 'a' - '0' = 49, clamped
  EXPECT_EQ(v.version, 9 * 10 + ('x' - '0'));
  EXPECT_FLOAT_EQ(v.download_kb, 7.0f);
  EXPECT_FLOAT_EQ(v.install_kb, 169.0f);
  EXPECT_EQ(v.path, "All/odd.txt");
}

TEST_F(FileListTest, KeywordsNeedABlankBehindThemAndOtherLinesAreSkipped) {
  std::string body = "DIR All/\nFILEX 1 0 1 1 1 " + kSigA + " no.txt\nFILE\nDIR\nDIRECTORY x/\n" +
                     "# a comment\n   \n" + row(1, 0, 1, 1, 1, kSigA, "yes.txt");
  ASSERT_EQ(read_directory(write_list(body), "scan"), 3);
  ASSERT_EQ(sim_info.size(), 1u);
  EXPECT_EQ(sim_info[0].versions[0].path, "All/yes.txt");
}

TEST_F(FileListTest, Version840IsReadThe901ListIsRefused) {
  std::string body = "DIR All/\n" + row(1, 0, 1, 1, 1, kSigA, "a.txt");
  std::string p840 = root_ + "l840.txt";
  write(p840, "I\n840 version\nINSTALLER\n\n" + body);
  EXPECT_EQ(read_directory(p840, "scan"), 3);
  EXPECT_EQ(sim_info.size(), 1u);

  std::string p901 = root_ + "l901.txt";
  write(p901, "I\n901 version\nINSTALLER\n\n" + body);
  EXPECT_EQ(read_directory(p901, "scan"), 2);
  EXPECT_TRUE(sim_info.empty());
}

TEST_F(FileListTest, WrongKeywordOrEmptyFileIsRefused) {
  std::string p = root_ + "servers.txt";
  write(p, "I\n900 version\nSERVERS\n\n");
  EXPECT_EQ(read_directory(p, "scan"), 2);
  std::string empty = root_ + "empty.txt";
  write(empty, "");
  EXPECT_EQ(read_directory(empty, "scan"), 2);
}

TEST_F(FileListTest, EmptyBodyGivesNothingToDo) {
  stg.setf(STG_kb_installed, 55.0f);
  scan_install_count = 9;
  EXPECT_EQ(read_directory(write_list(""), "scan"), 3);
  EXPECT_TRUE(sim_info.empty());
  EXPECT_EQ(stg.getf(STG_kb_installed), 0.0f);
  EXPECT_EQ(stg.getf(STG_kb_download), 0.0f);
  EXPECT_EQ(scan_install_count, 0);
}

TEST_F(FileListTest, ProgressFramesForParsingAndExamining) {
  std::string body = "DIR All/\n";
  for (int i = 0; i < 3; ++i) body += row(1, 0, 1, 1, 1, kSigA, "f" + std::to_string(i) + ".txt");
  ASSERT_EQ(read_directory(write_list(body), "first line"), 3);
  int examining = 0;
  for (const ProgressCall& c : progress_calls()) {
    EXPECT_EQ(c.line1, "first line");
    if (c.kind == 1) {
      ++examining;
      EXPECT_EQ(c.hi, 3.0f);
      EXPECT_EQ(c.line3, dest("f" + std::to_string(static_cast<int>(c.val)) + ".txt"));
    }
  }
  // Fewer than 200 files: a frame for every file.
  EXPECT_EQ(examining, 3);
}

TEST_F(FileListTest, ListedPathRules) {
  EXPECT_EQ(path_has_no_file("All/"), 1);
  EXPECT_EQ(path_has_no_file("All/a"), 0);
  EXPECT_EQ(path_has_no_file(""), 0);
  EXPECT_EQ(listed_path_is_safe("All/Resources/a b.txt"), 1);
  EXPECT_EQ(listed_path_is_safe("a.txt"), 1);
  EXPECT_EQ(listed_path_is_safe("All/..a/b..c"), 1);
  EXPECT_EQ(listed_path_is_safe(""), 0);
  EXPECT_EQ(listed_path_is_safe("/etc/passwd"), 0);
  EXPECT_EQ(listed_path_is_safe("All/../x"), 0);
  EXPECT_EQ(listed_path_is_safe("All/Resources/.."), 0);
  EXPECT_EQ(listed_path_is_safe("All/./x"), 0);
  EXPECT_EQ(listed_path_is_safe("All//x"), 0);
  EXPECT_EQ(listed_path_is_safe("All\\x"), 0);
  EXPECT_EQ(listed_path_is_safe("../All/x"), 0);
}

using FileListDeathTest = EngineTest;

TEST_F(FileListDeathTest, MissingListIsFatal) {
  std::string p = root_ + "nowhere.txt";
  EXPECT_EXIT(read_directory(p, "scan"), testing::ExitedWithCode(1),
              "I tried to read a directory file that does not exist!");
}

TEST_F(FileListDeathTest, CutShortRowIsFatal) {
  std::string p = write_list("DIR All/Resources/\nFILE 1 0 90025\n");
  EXPECT_EXIT(read_directory(p, "scan"), testing::ExitedWithCode(1),
              "found a path that has no file!(.|\n)*All/Resources/");
}

TEST_F(FileListDeathTest, UnsafePathsAreRefusedBeforeAnythingIsTouched) {
  const char* bad[] = {"DIR All/../../\n", "DIR /etc/\n", "DIR All/./\n", "DIR All//\n", "DIR All\\x/\n"};
  for (const char* dir : bad) {
    std::string victim = root_ + "victim.txt";
    write(victim, "keep me");
    std::string p = write_list(std::string(dir) + row(1, 0, 1, 1, 1, kSigA, "victim.txt"));
    EXPECT_EXIT(read_directory(p, "scan"), testing::ExitedWithCode(1), "not safe(.|\n)*victim.txt")
        << dir;
    EXPECT_EQ(read(victim), "keep me");
  }
  std::string p = write_list("DIR All/\n" + row(1, 0, 1, 1, 1, kSigA, ".."));
  EXPECT_EXIT(read_directory(p, "scan"), testing::ExitedWithCode(1), "not safe");
}
