// The recorder in a child program: a take survives the program exiting in the middle of it, and
// a failing write on the compressor thread comes back to the main thread as the fatal alert.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "movie_test_util.h"

namespace fs = std::filesystem;

namespace {
fs::path fresh_dir(const std::string& tag) {
  fs::path d = fs::temp_directory_path() / ("movie_child_" + tag + "_" + std::to_string(::getpid()));
  fs::remove_all(d);
  fs::create_directories(d);
  return d;
}

std::vector<fs::path> takes_in(const fs::path& dir) {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path());
  return out;
}
}  // namespace

TEST(RecorderChild, ExitWhileRecordingLeavesAPlayableTake) {
  const fs::path dir = fresh_dir("exit");
  auto r = movtest::run(std::string(MOVIE_DEMO_PATH) + " exit " + movtest::shell_quote(dir.string()));
  ASSERT_EQ(r.rc, 0) << r.err;
  auto takes = takes_in(dir);
  ASSERT_EQ(takes.size(), 1u);
  EXPECT_EQ(takes[0].filename().string().rfind("Volarium movie take-", 0), 0u);
  auto kv = movtest::probe(takes[0].string());
  EXPECT_EQ(kv.count("error"), 0u) << kv["error"];
  EXPECT_EQ(kv["nb_read_frames"], "5");
  EXPECT_EQ(kv["duration_ts"], "185");
  auto dec = movtest::decode_null(takes[0].string());
  EXPECT_EQ(dec.rc, 0);
  EXPECT_EQ(dec.err, "");
  auto frames = movtest::frames_rgb(takes[0].string(), 320, 240);
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_LT(movtest::worst_bar_error(frames[4], 320, 240), 16.0);
}

TEST(RecorderChild, WriteFailureRaisesTheFatalAlertWithItsErrno) {
  const fs::path dir = fresh_dir("fsize");
  auto r = movtest::run(std::string(MOVIE_DEMO_PATH) + " fsize " + movtest::shell_quote(dir.string()));
  EXPECT_EQ(r.rc, 1) << r.err;
  EXPECT_NE(r.err.find("Could not AddMediaSample.\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Volarium movie take-"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("AddMediaSample failed.\n+27\n(DUdurid/OOPS_cpp/qtim line 86)"), std::string::npos)
      << r.err;
  EXPECT_TRUE(takes_in(dir).empty()) << "an unreadable half take was left behind";
}
