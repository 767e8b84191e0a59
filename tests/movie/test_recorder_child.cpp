// The recorder in a child program: a take survives the program exiting, being killed or ending
// on a fatal alert in the middle of it, and a failing write on the compressor thread keeps what
// was whole and comes back to the main thread as the fatal alert.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>

#include "movie_test_util.h"
#include "scratch_dir.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> takes_in(const fs::path& dir) {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path());
  return out;
}

movtest::run_result run_demo(const std::string& mode, const fs::path& dir, const std::string& bytes = "") {
  return movtest::run(std::string(MOVIE_DEMO_PATH) + " " + mode + " " + movtest::shell_quote(dir.string()) + " " +
                      bytes);
}

// The one take in dir plays without complaint; its frame count.
int playable_frames(const fs::path& dir) {
  auto takes = takes_in(dir);
  EXPECT_EQ(takes.size(), 1u);
  if (takes.size() != 1) return -1;
  const std::string path = takes[0].string();
  EXPECT_EQ(takes[0].filename().string().rfind("Volarium movie take-", 0), 0u);
  auto kv = movtest::probe(path);
  EXPECT_EQ(kv.count("error"), 0u) << kv["error"];
  auto dec = movtest::decode_null(path);
  EXPECT_EQ(dec.rc, 0);
  EXPECT_EQ(dec.err, "");
  auto frames = movtest::frames_rgb(path, 320, 240);
  if (!frames.empty()) {
    EXPECT_LT(movtest::worst_bar_error(frames.back(), 320, 240), 16.0);
  }
  return kv["nb_read_frames"].empty() ? -1 : std::stoi(kv["nb_read_frames"]);
}

}  // namespace

TEST(RecorderChild, InterruptedTakesPlayUpToTheirLastSecond) {
  const struct {
    const char* mode;
    int rc;  // as a shell reports it: 137 killed by SIGKILL
    int frames;
  } rows[] = {
      {"exit", 0, 5},    // finished at exit
      {"fatal", 1, 5},   // finished though the fatal alert skips the exit handlers
      {"kill", 137, 48},  // 50 recorded: the three whole seconds play
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.mode);
    const fs::path dir = test_support::fresh_dir(std::string("movie_child_") + r.mode);
    auto res = run_demo(r.mode, dir);
    EXPECT_EQ(res.rc, r.rc) << res.err;
    EXPECT_EQ(playable_frames(dir), r.frames);
  }
}

// A full disk keeps the take up to its last whole second, then raises the alert with the errno.
// A 2 MB memory file system when this test may mount one, else a 2 MB file-size limit.
TEST(RecorderChild, FullDiskKeepsThePlayableTakeAndRaisesTheFatalAlert) {
  const fs::path dir = test_support::fresh_dir("movie_child_full");
  const bool mounted = ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=2m") == 0;
  auto res = run_demo("full", dir, mounted ? "" : "2097152");
  EXPECT_EQ(res.rc, 1) << res.err;
  EXPECT_NE(res.err.find("Could not AddMediaSample.\n"), std::string::npos) << res.err;
  EXPECT_NE(res.err.find(std::string("AddMediaSample failed.\n") + (mounted ? "+28" : "+27") +
                         "\n(DUdurid/OOPS_cpp/qtim line 86)"),
            std::string::npos)
      << res.err;
  const int frames = playable_frames(dir);
  EXPECT_GE(frames, 16);
  EXPECT_EQ(frames % 16, 0) << "a part of a second was kept";
  for (const auto& t : takes_in(dir)) EXPECT_LE(fs::file_size(t), 2u << 20);
  std::printf("[ %s ] %d frames kept\n", mounted ? "2 MB tmpfs" : "2 MB file-size limit", frames);
  if (mounted) ::umount2(dir.c_str(), MNT_DETACH);

  // Not one whole second fits: no file is left.
  const fs::path tiny = test_support::fresh_dir("movie_child_tiny");
  res = run_demo("full", tiny, "1024");
  EXPECT_EQ(res.rc, 1) << res.err;
  EXPECT_NE(res.err.find("AddMediaSample failed.\n+27\n"), std::string::npos) << res.err;
  EXPECT_TRUE(takes_in(tiny).empty()) << "an unplayable take was left behind";
}
