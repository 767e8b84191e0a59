// The recorder in a child program: a take cut short by exit, a fatal alert, SIGKILL (in mid-write
// too) or a full disk is absent or plays up to its last whole second; a write failing on the
// compressor thread raises the fatal alert.
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
}  // namespace

TEST(RecorderChild, InterruptedTakesPlayUpToTheirLastSecond) {
  // A full disk: a 2 MB memory file system when this test may mount one, else a 2 MB file limit.
  const test_support::Scratch full("movie_child_full");
  const bool mounted = ::mount("tmpfs", full.path().c_str(), "tmpfs", 0, "size=2m") == 0;
  // Off before the folder goes, however the test ends.
  const test_support::Undo unmount{[&] { if (mounted) ::umount2(full.path().c_str(), MNT_DETACH); }};
  // The children write into these; they go when the test ends, however each child ended.
  const test_support::Scratch exited("movie_child_exit"), fatal("movie_child_fatal"), killed("movie_child_kill"),
      tiny("movie_child_tiny"), cut_head("movie_child_cut_head"), cut_first("movie_child_cut_first"),
      cut_third("movie_child_cut_third");
  const std::string alert = "Could not AddMediaSample.\nVolarium movie take-1.mov\nAddMediaSample failed.\n";
  // rc as the shell reports it (137: killed by SIGKILL); frames 0: whole seconds only, -1: no take.
  const struct { const char* mode; fs::path dir; std::string bytes, err; int rc, frames; } rows[] = {
      {"exit", exited, "", "", 0, 5},
      {"fatal", fatal, "", "A fatal alert\n", 1, 5},
      {"kill", killed, "", "", 137, 48},  // of 50
      {"full", full, mounted ? "" : "2097152", alert + (mounted ? "+28" : "+27") + "\n(DUdurid/OOPS_cpp/qtim line 86)",
       1, 0},
      {"full", tiny, "1024", alert + "+27\n", 1, -1},  // not one second fits
      // Killed in mid-write: in the header, in the first second, in the third.
      {"cut", cut_head, "400", "", 137, -1},
      {"cut", cut_first, "20000", "", 137, -1},
      {"cut", cut_third, "100000", "", 137, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.mode) + " " + r.bytes);
    auto res = movtest::run(std::string(MOVIE_DEMO_PATH) + " " + r.mode + " " + movtest::shell_quote(r.dir.string()) +
                            " " + r.bytes);
    EXPECT_EQ(res.rc, r.rc) << res.err;
    EXPECT_NE(res.err.find(r.err), std::string::npos) << res.err;
    const auto takes = takes_in(r.dir);
    ASSERT_EQ(takes.size(), r.frames < 0 ? 0u : 1u);
    if (r.frames < 0) continue;
    auto kv = movtest::probe(takes[0].string());
    EXPECT_EQ(kv.count("error"), 0u) << kv["error"];
    EXPECT_EQ(movtest::decode_null(takes[0].string()).err, "");
    const int n = std::stoi("0" + kv["nb_read_frames"]);
    EXPECT_EQ(n, r.frames ? r.frames : std::max(16, n - n % 16)) << "not the whole seconds";
  }
}
