// The scan against a destination: what each kind of file on disk gives as its signature, and
// the totals and counts that tell the front end whether there is anything to install.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <tuple>

#include "engine_test_util.h"
#include "platform/volume.h"

using namespace engine_test;

namespace {

const file_version_struct& newest_of(const std::string& listed) {
  for (const file_history_struct& h : sim_info)
    if (h.versions.back().path == listed) return h.versions.back();
  ADD_FAILURE() << "not listed: " << listed;
  static file_version_struct none;
  return none;
}

}  // namespace

class ScanTest : public EngineTest {
 protected:
  // missing, current, older, changed, a folder and a FIFO where files belong, a dropped file
  // present and one absent, and a file of another platform.
  std::string mixed_list() {
    std::string body = "DIR All/\n";
    body += row(1, 0, 90025, 10, 100, md5_of("missing"), "missing.txt");
    body += row(1, 0, 90025, 1, 1, md5_of("current"), "current.txt");
    body += row(1, 0, 800, 1, 1, md5_of("old"), "older.txt");
    body += row(1, 0, 90025, 20, 200, md5_of("new"), "older.txt");
    body += row(1, 0, 90025, 30, 300, md5_of("shipped"), "changed.txt");
    body += row(1, 0, 90025, 40, 400, md5_of("folder"), "folder.txt");
    body += row(1, 0, 90025, 50, 500, md5_of("fifo"), "fifo.txt");
    body += row(1, 0, 800, 1, 1, md5_of("gone"), "gone.txt");
    body += row(1, 0, 90025, 0, 0, "GONE", "gone.txt");
    body += row(1, 0, 90025, 0, 0, "GONE", "gone_absent.txt");
    body += "\nDIR Windows/\n" + row(1, 2, 90025, 60, 600, md5_of("win"), "win.exe");
    write(dest("current.txt"), "current");
    write(dest("older.txt"), "old");
    write(dest("changed.txt"), "the user's own");
    std::filesystem::create_directories(dest("folder.txt"));
    EXPECT_EQ(::mkfifo(dest("fifo.txt").c_str(), 0644), 0);
    write(dest("gone.txt"), "gone");
    return write_list(body);
  }
};

TEST_F(ScanTest, SignaturesOfEachKindOfFile) {
  ASSERT_EQ(read_directory(mixed_list(), "scan"), 3);
  EXPECT_EQ(newest_of("All/missing.txt").sig_have, "NONE");
  EXPECT_EQ(newest_of("All/missing.txt").have, 0);
  EXPECT_EQ(newest_of("All/current.txt").sig_have, md5_of("current"));
  EXPECT_EQ(newest_of("All/current.txt").have, 1);
  EXPECT_EQ(newest_of("All/older.txt").sig_have, md5_of("old"));
  EXPECT_EQ(newest_of("All/older.txt").have, 0);
  EXPECT_EQ(newest_of("All/changed.txt").sig_have, md5_of("the user's own"));
  // There but unreadable: never "NONE", which would mean absent.
  EXPECT_EQ(newest_of("All/folder.txt").sig_have, kSigUnreadable);
  EXPECT_EQ(newest_of("All/fifo.txt").sig_have, kSigUnreadable);
  EXPECT_EQ(newest_of("All/gone.txt").sig_have, md5_of("gone"));
  EXPECT_EQ(newest_of("All/gone.txt").have, 0);
  EXPECT_EQ(newest_of("All/gone_absent.txt").sig_have, "NONE");
  // Only the newest version is signed.
  EXPECT_EQ(sim_info[2].versions.front().sig_have, "");
}

TEST_F(ScanTest, TotalsAndCounts) {
  ASSERT_EQ(read_directory(mixed_list(), "scan"), 3);
  // missing, older, changed, folder, fifo; not the current, dropped or Windows files.
  EXPECT_FLOAT_EQ(stg.getf(STG_kb_download), 10 + 20 + 30 + 40 + 50);
  EXPECT_FLOAT_EQ(stg.getf(STG_kb_installed), 100 + 200 + 300 + 400 + 500);
  EXPECT_EQ(scan_install_count, 5);
  EXPECT_EQ(scan_delete_count, 1);
  EXPECT_EQ(this_install_has_exes, 0);

  stg[STG_target_os] = 2;
  ASSERT_EQ(read_directory(root_ + "directory.txt", "scan"), 3);
  EXPECT_FLOAT_EQ(stg.getf(STG_kb_download), 10 + 20 + 30 + 40 + 50 + 60);
  EXPECT_EQ(scan_install_count, 6);
  EXPECT_EQ(this_install_has_exes, 1);
}

TEST_F(ScanTest, SmallChangesAndDeletionsCountThoughTheirKilobytesAreZero) {
  std::string body = "DIR All/\n" + row(1, 0, 90025, 0, 0, md5_of("tiny"), "tiny.txt") +
                     row(1, 0, 800, 0, 0, md5_of("old"), "dropped.txt") +
                     row(1, 0, 90025, 0, 0, "GONE", "dropped.txt");
  write(dest("dropped.txt"), "old");
  ASSERT_EQ(read_directory(write_list(body), "scan"), 3);
  EXPECT_EQ(stg.getf(STG_kb_installed), 0.0f);
  EXPECT_EQ(scan_install_count, 1);
  EXPECT_EQ(scan_delete_count, 1);
  // On the volume the file takes a block, and so does the folder it lies in.
  uint64_t block = 0;
  ASSERT_EQ(PLAT_volume_block_bytes(dest_dir_path, block), 0);
  EXPECT_EQ(scan_need_bytes, 2 * block);

  write(dest("tiny.txt"), "tiny");
  std::filesystem::remove(dest("dropped.txt"));
  ASSERT_EQ(read_directory(root_ + "directory.txt", "scan"), 3);
  EXPECT_EQ(scan_install_count, 0);
  EXPECT_EQ(scan_delete_count, 0);
}

TEST(BytesOnVolume, ListedSizesTakeWholeBlocks) {
  // The list truncates sizes to whole kilobytes: 4 stands for up to 4999 bytes.
  const uint64_t cases[][3] = {{0, 4096, 4096}, {3, 4096, 4096}, {4, 4096, 8192}, {5, 512, 6144}, {4096, 4096, 4100096}};
  for (const auto& c : cases) EXPECT_EQ(bytes_on_volume(c[0], c[1]), c[2]) << c[0] << " " << c[1];
}

TEST_F(ScanTest, ARescanStartsAfresh) {
  std::string mac = "DIR Macintosh/\n" + row(1, 1, 90025, 5, 5, md5_of("app"), "app");
  ASSERT_EQ(read_directory(write_list(mac, "mac.txt"), "scan"), 3);
  EXPECT_EQ(this_install_has_exes, 1);
  deleted_files.insert(dest("x/"));

  std::string all = "DIR All/\n" + row(1, 0, 90025, 5, 5, md5_of("a"), "a.txt");
  ASSERT_EQ(read_directory(write_list(all, "all.txt"), "scan"), 3);
  EXPECT_EQ(this_install_has_exes, 0);
  EXPECT_TRUE(deleted_files.empty());
  ASSERT_EQ(sim_info.size(), 1u);
  EXPECT_FLOAT_EQ(stg.getf(STG_kb_download), 5.0f);
}

TEST_F(ScanTest, LinksAreSignedByTheirText) {
  std::string body = "DIR All/\n" + row(1, 0, 90025, 1, 1, md5_of("target.txt"), "link");
  write(dest("target.txt"), "something else");
  std::filesystem::create_symlink("target.txt", dest("link"));
  ASSERT_EQ(read_directory(write_list(body), "scan"), 3);
  EXPECT_EQ(sim_info[0].versions[0].have, 1);
}

TEST_F(ScanTest, ARelativeOrUnfinishedDestinationIsMadeWhole) {
  std::string body = "DIR All/\n" + row(1, 0, 90025, 1, 1, md5_of("here"), "here.txt");
  write(dest("here.txt"), "here");
  std::string list = write_list(body);
  std::string cwd = std::filesystem::current_path().string();
  std::filesystem::current_path(root_);
  dest_dir_path = "dest";
  ASSERT_EQ(read_directory(list, "scan"), 3);
  std::filesystem::current_path(cwd);
  EXPECT_EQ(dest_dir_path, root_ + "dest/");
  EXPECT_EQ(sim_info[0].versions[0].have, 1);

  std::string p = "/a/b";
  normalize_dest_dir(p);
  EXPECT_EQ(p, "/a/b/");
  std::string empty;
  normalize_dest_dir(empty);
  EXPECT_EQ(empty, "");
}

TEST_F(ScanTest, ExaminingFramesThinOutForLongLists) {
  std::string body = "DIR All/\n";
  for (int i = 0; i < 1000; ++i) body += row(1, 0, 1, 1, 1, md5_of("x"), "f" + std::to_string(i));
  ASSERT_EQ(read_directory(write_list(body), "scan"), 3);
  int examining = 0, parsing = 0;
  for (const ProgressCall& c : progress_calls()) {
    if (c.kind == 1) {
      ++examining;
      EXPECT_EQ(static_cast<int>(c.val) % 5, 0);
    } else {
      ++parsing;
      EXPECT_GT(c.val, 0.0f);
      EXPECT_LE(c.val, c.hi);
    }
  }
  EXPECT_EQ(examining, 200);
  // One parsing frame per 500 rows, whatever earlier scans left in the row counter.
  EXPECT_EQ(parsing, 2);
}

// The readers run ahead of the walk in any order; what the scan reports must not depend on it.
TEST_F(ScanTest, ManyReadersGiveTheResultsAndFramesOfOne) {
  std::string body = "DIR All/\n";
  for (int i = 0; i < 600; ++i) {
    const std::string leaf = "f" + std::to_string(i) + ".txt";
    const std::string shipped = "shipped " + std::to_string(i) + std::string(i * 97 % 5000, 'z');
    body += row(1, 0, 90025, i, 2 * i, md5_of(shipped), leaf);
    switch (i % 6) {
      case 0: break;  // missing
      case 1: write(dest(leaf), shipped); break;
      case 2: write(dest(leaf), "changed by the user " + std::to_string(i)); break;
      case 3: std::filesystem::create_directories(dest(leaf)); break;  // there but unreadable
      case 4: std::filesystem::create_symlink("elsewhere/" + std::to_string(i), dest(leaf)); break;
      case 5: EXPECT_EQ(::mkfifo(dest(leaf).c_str(), 0644), 0); break;
    }
  }
  // Another system's file, deeper than the system allows: a result like any other, no alert.
  std::string deep = "\nDIR Windows/";
  while (deep.size() < PATH_MAX) deep += std::string(200, 'w') + "/";
  const std::string list = write_list(body + deep + "\n" + row(1, 2, 90025, 1, 1, md5_of("w"), "w.exe"));
  struct Outcome { std::vector<std::string> sigs, frames; int installs, deletes; float kb; };
  auto scan_with = [&](int readers) {
    scan_readers = readers;
    progress_calls().clear();
    EXPECT_EQ(read_directory(list, "scan"), 3);
    Outcome o{{}, {}, scan_install_count, scan_delete_count, stg.getf(STG_kb_installed)};
    for (const file_history_struct& h : sim_info) o.sigs.push_back(h.versions.back().sig_have);
    for (const ProgressCall& c : progress_calls())
      if (c.kind == 1) o.frames.push_back(std::to_string(c.val) + " " + c.line3);
    return o;
  };
  const Outcome one = scan_with(1);
  const Outcome many = scan_with(8);
  scan_readers = 0;
  ASSERT_EQ(one.sigs.size(), 601u);
  EXPECT_EQ(one.sigs.back(), "UNREADABLE");
  const auto all = [](const Outcome& o) { return std::tie(o.sigs, o.frames, o.installs, o.deletes, o.kb); };
  EXPECT_EQ(all(many), all(one));
  EXPECT_EQ(std::vector(one.sigs.begin(), one.sigs.begin() + 6), (std::vector<std::string>{
      "NONE", md5_of("shipped 1" + std::string(97, 'z')), md5_of("changed by the user 2"), "UNREADABLE",
      md5_of("elsewhere/4"), "UNREADABLE"}));
  EXPECT_EQ(one.installs, 500);
}

// The folder to scan can be given: the destination global stays as it was, and an empty folder
// means no destination at all (nothing is there, everything is to be installed).
TEST_F(ScanTest, AGivenFolderIsScannedAndTheDestinationStays) {
  const std::string list = write_list("DIR All/\n" + row(1, 0, 90025, 5, 50, md5_of("current"), "current.txt"));
  write(dest("current.txt"), "current");
  write(root_ + "other/current.txt", "something else");
  const std::string before = dest_dir_path;

  for (const std::string& other : {root_ + "other/", root_ + "other"}) {
    ASSERT_EQ(read_directory(list, "scan", other), 3) << other;
    EXPECT_EQ(newest_of("All/current.txt").sig_have, md5_of("something else")) << other;
    EXPECT_EQ(scan_install_count, 1) << other;
    EXPECT_EQ(dest_dir_path, before);
  }

  ASSERT_EQ(read_directory(list, "scan", ""), 3);
  EXPECT_EQ(newest_of("All/current.txt").sig_have, "NONE");
  EXPECT_EQ(scan_install_count, 1);
  EXPECT_FLOAT_EQ(stg.getf(STG_kb_installed), 50.0f);

  // The destination's own scan still finds the file there.
  ASSERT_EQ(read_directory(list, "scan"), 3);
  EXPECT_EQ(newest_of("All/current.txt").have, 1);
  EXPECT_EQ(scan_install_count, 0);
  EXPECT_EQ(dest_dir_path, before);
}

// Too deep for a listed file or the unpacker's temporary name beside it: refused, never looked at.
TEST_F(ScanTest, ADestinationTooDeepIsRefusedBeforeItIsLookedAt) {
  const std::string list = write_list("DIR All/\n" + row(1, 0, 90025, 1, 1, md5_of("a"), "a.txt"));
  std::string far = dest_dir_path, where;
  while (far.size() + kUnpackTempNameMax < PATH_MAX) far += "d/";
  EXPECT_EQ(read_directory(list, "scan", far), STAGE_scan_due);
  EXPECT_EQ(dest_paths_problem(far, &where), ENAMETOOLONG);
  EXPECT_EQ(where, far + "a.txt");
  EXPECT_FALSE(std::any_of(progress_calls().begin(), progress_calls().end(), [](auto& c) { return c.kind == 1; }));
  EXPECT_EQ(read_directory(list, "scan", far.substr(0, far.size() - kUnpackTempNameMax)), STAGE_scanned);
  // A name longer than the system allows, in the destination or in a listed path.
  const std::string name(256, 'n'), named = dest_dir_path + name + "/";
  EXPECT_EQ(dest_paths_problem(named, &where), ENAMETOOLONG);
  EXPECT_EQ(where, named);
  EXPECT_EQ(read_directory(write_list("DIR All/\n" + row(1, 0, 90025, 1, 1, md5_of("a"), name)), "scan"), STAGE_scan_due);
  EXPECT_EQ(dest_paths_problem(dest_dir_path, &where), ENAMETOOLONG);
  EXPECT_EQ(where, dest_dir_path + name);
}
