// Per-file decisions: every state of a destination file against a shipped or dropped newest
// version, with the user's scripted answers, the per-folder answers, cancel, and the platform
// filter.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine_test_util.h"

using namespace engine_test;

namespace {

enum State { kMissing, kCurrent, kOlder, kChanged, kUnreadable };

const std::string kOld = md5_of("old");
const std::string kNew = md5_of("new");
const std::string kUser = md5_of("user");

file_history_struct history(const std::string& path, bool gone, State state, int platform = 0) {
  file_history_struct h;
  file_version_struct older;
  older.disc_type = 1;
  older.platform = platform;
  older.sig_want = kOld;
  older.path = path;
  file_version_struct newest = older;
  newest.sig_want = gone ? "GONE" : kNew;
  switch (state) {
    case kMissing: newest.sig_have = "NONE"; break;
    case kCurrent: newest.sig_have = newest.sig_want; break;
    case kOlder: newest.sig_have = kOld; break;
    case kChanged: newest.sig_have = kUser; break;
    case kUnreadable: newest.sig_have = kSigUnreadable; break;
  }
  h.versions = {older, newest};
  return h;
}

struct Case {
  State state;
  bool gone;
  int answer;     // 0: no answer scripted
  int result;     // of choose_files
  bool asked;
  int install, remove;
};

}  // namespace

using DecisionTest = EngineTest;

TEST_F(DecisionTest, MatrixOfStatesDroppedFilesAndAnswers) {
  const Case cases[] = {
      // shipped file
      {kMissing, false, 0, 1, false, 1, 0},
      {kCurrent, false, 0, 1, false, 0, 0},
      {kOlder, false, 0, 1, false, 1, 0},
      {kChanged, false, 1, 1, true, 1, 0},
      {kChanged, false, 2, 1, true, 0, 0},
      {kChanged, false, 4, 1, true, 1, 0},
      {kChanged, false, 5, 1, true, 0, 0},
      {kChanged, false, 3, 0, true, 0, 0},
      {kChanged, false, 9, 1, true, 0, 0},   // an unknown answer keeps the user's file
      {kChanged, false, -1, 1, true, 0, 0},
      {kUnreadable, false, 1, 1, true, 1, 0},
      {kUnreadable, false, 2, 1, true, 0, 0},
      // dropped file
      {kMissing, true, 0, 1, false, 0, 0},
      {kOlder, true, 0, 1, false, 0, 1},
      {kChanged, true, 1, 1, true, 0, 1},
      {kChanged, true, 2, 1, true, 0, 0},
      {kChanged, true, 4, 1, true, 0, 1},
      {kChanged, true, 5, 1, true, 0, 0},
      {kChanged, true, 3, 0, true, 0, 0},
      {kChanged, true, 0, 1, true, 0, 0},
      {kUnreadable, true, 1, 1, true, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "state " << c.state << " gone " << c.gone << " answer "
                                    << c.answer);
    sim_info = {history("All/Resources/f.txt", c.gone, c.state)};
    Script::answers().clear();
    Script::asked().clear();
    if (c.answer) Script::answers().push_back(c.answer);
    EXPECT_EQ(choose_files(), c.result);
    ASSERT_EQ(Script::asked().size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(Script::asked()[0].first, dest("Resources/f.txt"));
      EXPECT_EQ(Script::asked()[0].second, c.gone ? 1 : 0);
    }
    EXPECT_EQ(sim_info[0].versions.back().install, c.install);
    EXPECT_EQ(sim_info[0].versions.back().remove, c.remove);
    // Older versions keep their flags.
    EXPECT_EQ(sim_info[0].versions.front().install, 0);
    EXPECT_EQ(sim_info[0].versions.front().remove, 0);
  }
}

TEST_F(DecisionTest, AnswersForAWholeFolderCompareWholeFolders) {
  sim_info = {history("All/Resources/a.txt", false, kChanged),
              history("All/Resources/b.txt", false, kChanged),
              history("All/Resources/plugins/c.txt", false, kChanged),
              history("All/Output/d.txt", true, kChanged),
              history("All/Output/e.txt", true, kChanged),
              history("All/Resources/plugins/f.txt", false, kChanged)};
  Script::answers() = {4, 2, 5};
  EXPECT_EQ(choose_files(), 1);
  ASSERT_EQ(Script::asked().size(), 4u);
  EXPECT_EQ(Script::asked()[0].first, dest("Resources/a.txt"));
  EXPECT_EQ(Script::asked()[1].first, dest("Resources/plugins/c.txt"));
  EXPECT_EQ(Script::asked()[2].first, dest("Output/d.txt"));
  EXPECT_EQ(sim_info[0].versions.back().install, 1);
  EXPECT_EQ(sim_info[1].versions.back().install, 1);   // same folder as a.txt: no question
  EXPECT_EQ(sim_info[2].versions.back().install, 0);   // kept
  EXPECT_EQ(sim_info[3].versions.back().remove, 0);    // keep every file of Output/
  EXPECT_EQ(sim_info[4].versions.back().remove, 0);
  // Answer 2 was for c.txt alone: f.txt of the same folder is asked about again.
  EXPECT_EQ(Script::asked()[3].first, dest("Resources/plugins/f.txt"));
  EXPECT_EQ(sim_info[5].versions.back().install, 0);
}

TEST_F(DecisionTest, FolderAnswersLastOneCallOnly) {
  sim_info = {history("All/Resources/a.txt", false, kChanged),
              history("All/Resources/b.txt", false, kChanged)};
  Script::answers() = {5};
  EXPECT_EQ(choose_files(), 1);
  EXPECT_EQ(Script::asked().size(), 1u);
  Script::answers() = {1, 2};
  EXPECT_EQ(choose_files(), 1);
  EXPECT_EQ(Script::asked().size(), 3u);
  EXPECT_EQ(sim_info[0].versions.back().install, 1);
  EXPECT_EQ(sim_info[1].versions.back().install, 0);
}

TEST_F(DecisionTest, CancelStopsAtOnceAndTouchesNothing) {
  write(dest("Resources/b.txt"), "user");
  sim_info = {history("All/Resources/a.txt", false, kMissing),
              history("All/Resources/b.txt", false, kChanged),
              history("All/Resources/c.txt", false, kMissing)};
  sim_info[1].versions.back().install = 7;
  sim_info[2].versions.back().install = 7;
  sim_info[2].versions.back().remove = 7;
  Script::answers() = {3};
  EXPECT_EQ(choose_files(), 0);
  EXPECT_EQ(sim_info[0].versions.back().install, 1);
  EXPECT_EQ(sim_info[1].versions.back().install, 7);
  EXPECT_EQ(sim_info[2].versions.back().install, 7);
  EXPECT_EQ(sim_info[2].versions.back().remove, 7);
  EXPECT_EQ(read(dest("Resources/b.txt")), "user");
  // Nothing made, nothing removed: the destination holds only what was there.
  int entries = 0;
  for (auto& e : std::filesystem::recursive_directory_iterator(dest_dir_path)) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 2);
}

TEST_F(DecisionTest, NoHookMeansTheChangedFileIsKept) {
  set_select_alert_hook(nullptr);
  sim_info = {history("All/a.txt", false, kChanged), history("All/b.txt", true, kChanged)};
  EXPECT_EQ(choose_files(), 1);
  EXPECT_EQ(sim_info[0].versions.back().install, 0);
  EXPECT_EQ(sim_info[1].versions.back().remove, 0);
  EXPECT_EQ(engine_select_alert("x", 0), 2);
}

TEST_F(DecisionTest, PlatformFilter) {
  sim_info = {history("Macintosh/m", false, kMissing, 1), history("Windows/w", false, kMissing, 2),
              history("Linux/l", false, kMissing, 3), history("All/plugin.so", false, kMissing, 6),
              history("All/a", false, kMissing, 0)};
  const int want_mac[] = {1, 0, 0, 0, 1};
  const int want_linux[] = {0, 0, 1, 1, 1};
  stg[STG_target_os] = 1;
  EXPECT_EQ(choose_files(), 1);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(want_this_f(i, 1, 1), want_mac[i]) << i;
    EXPECT_EQ(sim_info[i].versions.back().install, want_mac[i]) << i;
  }
  stg[STG_target_os] = 3;
  EXPECT_EQ(choose_files(), 1);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(want_this_f(i, 1, 1), want_linux[i]) << i;
    EXPECT_EQ(sim_info[i].versions.back().install, want_linux[i]) << i;
  }
  // Another disc's version is not this disc's.
  EXPECT_EQ(want_this_f(4, 1, 2), 0);
}

TEST_F(DecisionTest, AFileAnotherHistoryShipsIsNeverDeleted) {
  // The dropped common file and the new Macintosh one land on the same destination path.
  sim_info = {history("All/Resources/x.txt", true, kOlder, 0),
              history("Macintosh/Resources/x.txt", false, kMissing, 1),
              history("All/Resources/y.txt", true, kOlder, 0),
              history("Windows/Resources/y.txt", false, kMissing, 2),
              history("All/Resources/z.txt", true, kChanged, 0),
              history("All/Resources/z.txt", false, kCurrent, 0)};
  EXPECT_EQ(choose_files(), 1);
  EXPECT_EQ(sim_info[0].versions.back().remove, 0);
  EXPECT_EQ(sim_info[1].versions.back().install, 1);
  // The Windows file is not wanted on a Macintosh, so the drop stands.
  EXPECT_EQ(sim_info[2].versions.back().remove, 1);
  EXPECT_EQ(sim_info[3].versions.back().install, 0);
  // Kept by a later history of the same path: no question about deleting it.
  EXPECT_EQ(sim_info[4].versions.back().remove, 0);
  EXPECT_TRUE(Script::asked().empty());
}

TEST_F(DecisionTest, DecidingNeedsNoFolders) {
  // The agreement comes before any folder is made: deciding must not depend on make_dirs.
  std::filesystem::remove_all(dest_dir_path);
  sim_info = {history("All/Resources/new/a.txt", false, kMissing)};
  EXPECT_EQ(choose_files(), 1);
  EXPECT_EQ(sim_info[0].versions.back().install, 1);
  EXPECT_FALSE(exists(dest_dir_path));
}

using DecisionDeathTest = EngineTest;

TEST_F(DecisionDeathTest, WantThisFRefusesAFileThatIsNotListed) {
  sim_info = {history("All/a", false, kMissing)};
  EXPECT_EXIT(want_this_f(3, 0, 1), testing::ExitedWithCode(1), "want_this_f");
  EXPECT_EXIT(want_this_f(0, 2, 1), testing::ExitedWithCode(1), "want_this_f");
}
