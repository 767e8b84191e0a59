// Install steps from a test disc: one step per call, unpacking, deleting, emptied folders,
// binaries made executable, a failed unpack, stream counts, the final rename, and whole
// installs and updates checked file by file against the list's signatures.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "alert_sink.h"
#include "engine_test_util.h"
#include "files/md5.h"
#include "foundation/globals.h"
#include "platform/regular_file.h"

using namespace engine_test;
namespace fs = std::filesystem;

class GrabFilesTest : public EngineTest {
 protected:
  // Scan, decide, make folders: what the front end does before the install steps.
  void prepare(const std::string& list) {
    ASSERT_EQ(read_directory(list, "scan"), 3);
    ASSERT_EQ(choose_files(), 1);
    make_dirs();
  }
  // Every wanted, shipped file in the destination has its listed signature.
  void expect_installed_as_listed() {
    for (int i = 0; i < static_cast<int>(sim_info.size()); ++i) {
      const file_version_struct& v = sim_info[i].versions.back();
      if (v.sig_want == "GONE" || !want_this_f(i, static_cast<int>(sim_info[i].versions.size()) - 1,
                                               v.disc_type))
        continue;
      std::string sig;
      EXPECT_EQ(calc_file_md5(dest_path_of(v.path), sig), 0) << v.path;
      EXPECT_EQ(sig, v.sig_want) << v.path;
    }
  }
};

TEST_F(GrabFilesTest, OneFileOneStepThenTheEnd) {
  prepare(make_disc({{"All/Resources/a.txt", "alpha"}}));
  next.reset(0.0f);
  EXPECT_EQ(grab_files(), 0);
  EXPECT_EQ(read(dest("Resources/a.txt")), "alpha");
  EXPECT_EQ(stg[STG_phase], 1);
  EXPECT_EQ(stg.getf(STG_file_frac), 1.0f);
  EXPECT_EQ(crnt_file_path, dvd_path + install_name + "/All/Resources/a.txt.zip");
  EXPECT_EQ(crnt_file_name, "a.txt.zip");
  EXPECT_EQ(next[NXT_done], 0);
  EXPECT_EQ(sim_info[0].versions.back().have, 1);
  EXPECT_FLOAT_EQ(next.getf(NXT_kb_fetched), 1.0f);
  EXPECT_FLOAT_EQ(next.getf(NXT_kb_installed), 1.0f);
  EXPECT_EQ(grab_files(), 1);
  EXPECT_EQ(next[NXT_done], 1);
  EXPECT_EQ(stg[STG_error], 0);
}

// A held disc is read through the folder it was when judged, whatever its path names meanwhile.
TEST_F(GrabFilesTest, AHeldDiscIsReadThroughItsJudgedFolder) {
  prepare(make_disc({{"All/Resources/a.txt", "alpha"}}));
  const int held = ::open(dvd_path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  dvd_read_path = PLAT_path_through(held, true);
  fs::rename(dvd_path, root_ + "judged");
  put_on_disc("All/Resources/a.txt", "other");  // another folder at the disc's path
  next.reset(0.0f);
  while (grab_files() == 0) {
  }
  EXPECT_EQ(read(dest("Resources/a.txt")), "alpha");
  EXPECT_EQ(stg[STG_error], 0);
  dvd_read_path.clear();
  ::close(held);
}

TEST_F(GrabFilesTest, WholeInstallMatchesTheList) {
  std::vector<Listed> files = {
      {"All/Resources/a.txt", "alpha"},
      {"All/Resources/plugins/b b.txt", std::string(70000, 'b')},
      {"All/Output/empty.txt", ""},
      {"All/Custom Scenery/Rovade Vovavod/x.dat", "seven"},
      {"Macintosh/Volarium.app/Contents/MacOS/Volarium", "#!/bin/sh\n", 1},
      {"Windows/Volarium.exe", "MZ", 2},
  };
  std::string list = make_disc(files);
  // The global scenery ships as a 7z archive.
  ASSERT_TRUE(exists(dvd_path + install_name + "/All/Custom Scenery/Rovade Vovavod/x.dat.7z"));

  prepare(list);
  EXPECT_EQ(scan_install_count, 5);
  int calls = run_install();
  // One step per file, then the call that finds the end.
  EXPECT_EQ(calls, static_cast<int>(files.size()) + 1);
  EXPECT_EQ(next[NXT_done], 1);
  EXPECT_EQ(stg[STG_error], 0);
  expect_installed_as_listed();
  EXPECT_FALSE(exists(dest("Volarium.exe")));
  struct stat st;
  ASSERT_EQ(::stat(dest("Volarium.app/Contents/MacOS/Volarium").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  ASSERT_EQ(::stat(dest("Resources/a.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0111, 0u);

  // A second scan finds nothing to do, and the steps open no archive.
  fs::remove_all(dvd_path + install_name + "/All");
  ASSERT_EQ(read_directory(list, "scan"), 3);
  EXPECT_EQ(scan_install_count, 0);
  EXPECT_EQ(stg.getf(STG_kb_installed), 0.0f);
  ASSERT_EQ(choose_files(), 1);
  next.reset(0.0f);
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(grab_files(), 0);
    EXPECT_EQ(stg[STG_phase], i == files.size() - 1 ? 3 : 2) << i;  // the Windows file is not needed
  }
  EXPECT_EQ(grab_files(), 1);
  EXPECT_EQ(stg[STG_error], 0);
}

TEST_F(GrabFilesTest, UpdateReplacesDeletesAndAsks) {
  // First edition.
  std::string first = make_disc({{"All/Resources/keep.txt", "keep 1"},
                                 {"All/Resources/old/a/b/drop.txt", "drop 1"},
                                 {"All/Resources/old/other.txt", "other"},
                                 {"All/Resources/mine.txt", "mine 1"},
                                 {"All/Resources/same.txt", "same"}});
  prepare(first);
  run_install();
  ASSERT_EQ(next[NXT_done], 1);
  write(dest("Resources/mine.txt"), "my own edit");

  // Second edition: keep.txt changes, drop.txt and other.txt are dropped, mine.txt changes.
  std::string body = "\nDIR All/Resources/\n" + row(1, 0, 1, 1, 1, md5_of("keep 1"), "keep.txt") +
                     row(1, 0, 90025, 1, 1, md5_of("keep 2"), "keep.txt") +
                     row(1, 0, 1, 1, 1, md5_of("mine 1"), "mine.txt") +
                     row(1, 0, 90025, 1, 1, md5_of("mine 2"), "mine.txt") +
                     row(1, 0, 1, 1, 1, md5_of("same"), "same.txt") +
                     "\nDIR All/Resources/old/a/b/\n" + row(1, 0, 1, 1, 1, md5_of("drop 1"), "drop.txt") +
                     row(1, 0, 90025, 0, 0, "GONE", "drop.txt") + "\nDIR All/Resources/old/\n" +
                     row(1, 0, 1, 1, 1, md5_of("other"), "other.txt") +
                     row(1, 0, 90025, 0, 0, "GONE", "other.txt");
  put_on_disc("All/Resources/keep.txt", "keep 2");
  put_on_disc("All/Resources/mine.txt", "mine 2");
  std::string second = write_list(body, "second.txt");
  write(dest("Resources/old/user note.txt"), "not listed");

  ASSERT_EQ(read_directory(second, "scan"), 3);
  EXPECT_EQ(scan_install_count, 2);
  EXPECT_EQ(scan_delete_count, 2);
  Script::answers() = {2};  // keep my edit
  ASSERT_EQ(choose_files(), 1);
  ASSERT_EQ(Script::asked().size(), 1u);
  EXPECT_EQ(Script::asked()[0].first, dest("Resources/mine.txt"));
  make_dirs();
  run_install();
  ASSERT_EQ(next[NXT_done], 1);
  EXPECT_EQ(read(dest("Resources/keep.txt")), "keep 2");
  EXPECT_EQ(read(dest("Resources/mine.txt")), "my own edit");
  EXPECT_EQ(read(dest("Resources/same.txt")), "same");
  EXPECT_FALSE(exists(dest("Resources/old/a/b/drop.txt")));
  EXPECT_FALSE(exists(dest("Resources/old/other.txt")));
  // Emptied folders go, children first; a folder still holding a file stays.
  EXPECT_FALSE(exists(dest("Resources/old/a")));
  EXPECT_EQ(read(dest("Resources/old/user note.txt")), "not listed");
  EXPECT_TRUE(deleted_files.count(dest("Resources/old/a/b/")));
  EXPECT_TRUE(deleted_files.count(dest("Resources/old/a/")));
  EXPECT_TRUE(deleted_files.count(dest("Resources/old/")));
  EXPECT_FALSE(deleted_files.count(dest_dir_path));
}

TEST_F(GrabFilesTest, AFailedUnpackIsReportedAndNotCounted) {
  std::string list = make_disc({{"All/a.txt", "a"}, {"All/b.txt", "b"}});
  fs::remove(dvd_path + install_name + "/All/a.txt.zip");
  prepare(list);
  AlertSink sink;
  next.reset(0.0f);
  // 1 while work remains, because the error word is set: the caller tells it from the end by
  // that word and by the done flag.
  EXPECT_EQ(grab_files(), 1);
  EXPECT_EQ(stg[STG_error], 1);
  EXPECT_EQ(next[NXT_done], 0);
  ASSERT_EQ(sink.count(), 1u);
  auto got = sink.alerts()[0];
  EXPECT_EQ(got.type, t_alert);
  EXPECT_EQ(got.l1, "The installer cannot extract a file.");
  EXPECT_EQ(got.l3, "Compressed File: " + dvd_path + install_name + "/All/a.txt.zip");
  EXPECT_EQ(got.l4, "Destination: " + dest("a.txt"));
  EXPECT_EQ(sim_info[0].versions.back().have, 0);
  EXPECT_FLOAT_EQ(next.getf(NXT_kb_fetched), 0.0f);
  EXPECT_FLOAT_EQ(next.getf(NXT_kb_installed), 0.0f);
  EXPECT_FALSE(exists(dest("a.txt")));
}

// An archive that holds other bytes than the list says, first or last on the disc: the file the
// destination holds stays as it was, and the run ends in an error, never as done.
TEST_F(GrabFilesTest, AnArchiveThatDoesNotMatchTheListInstallsNothing) {
  const std::string big(100000, 'b'), z = "All/Resources/z.txt", tile = "All/Custom Scenery/Rovade Vovavod/z.dat";  // big: signed by a reader
  // The listed path, what its archive holds, under which name when not its own, listed last.
  const std::tuple<std::string, std::string, std::string, bool> rows[] = {
      {z, "other bytes", "", true}, {z, "other bytes", "", false}, {z, big, "", true}, {z, "listed", "y.txt", true}, {tile, "other bytes", "", true}, {tile, big, "", false}};
  for (const auto& [path, packed, packed_as, last] : rows) {
    SCOPED_TRACE(path + (last ? " last, " : " first, ") + std::to_string(packed.size()));
    const std::string rel = path.substr(4), folder = rel.substr(0, rel.rfind('/') + 1);
    fs::remove_all(dest_dir_path);
    write(dest(rel), "old bytes");
    std::vector<Listed> files = {{path, "listed"}};
    files.insert(last ? files.begin() : files.end(), Listed{"All/Resources/a.txt", "alpha"});
    const std::string list = make_disc(files);
    put_on_disc(path, packed, packed_as);
    Script::answers() = {1};  // replace the old file
    prepare(list);
    stg[STG_error] = 0;
    AlertSink sink;
    run_install();
    EXPECT_TRUE(stg[STG_error] == 1 && next[NXT_done] == 0 && sim_info[last ? 1 : 0].versions.back().have == 0);
    EXPECT_EQ(read(dest(rel)), "old bytes");
    const auto files_left = std::count_if(fs::directory_iterator(dest(folder)), {}, [](const auto& e) { return !e.is_directory(); });
    EXPECT_EQ(files_left, last && folder == "Resources/" ? 2 : 1);  // no temporary left
    ASSERT_EQ(sink.count(), 1u);
    EXPECT_EQ(sink.alerts()[0].l3, "File: " + dest(rel));
  }
}

// Stopped while an unpacked file waits for its signature: nothing takes the old file's place.
TEST_F(GrabFilesTest, AStoppedInstallLeavesNoWaitingFile) {
  write(dest("big.dat"), "old bytes");
  const std::string list = make_disc({{"All/big.dat", std::string(8 << 20, 'l')}});
  put_on_disc("All/big.dat", std::string(8 << 20, 'p'));
  Script::answers() = {1};
  prepare(list);
  AlertSink sink;
  next.reset(0.0f);
  grab_files();
  next.reset(0.0f);
  EXPECT_EQ(read(dest("big.dat")), "old bytes");
  for (const auto& e : fs::directory_iterator(dest_dir_path)) EXPECT_FALSE(is_unpack_leftover(e.path().filename())) << e.path();
}

TEST_F(GrabFilesTest, ActionsAreLoggedWhenAsked) {
  std::string log = root_ + "Log.txt";
  xer.open(log);
  stg[STG_log_actions] = 1;
  std::string list = make_disc({{"All/x/a.txt", "a"}});
  prepare(list);
  run_install();
  sim_info[0].versions.back().install = 0;
  sim_info[0].versions.back().remove = 1;
  run_install();
  xer.close();
  std::string text = read(log);
  EXPECT_NE(text.find("EXPANDING file " + dest("x/a.txt") + ", with result=0.\n"), std::string::npos);
  EXPECT_NE(text.find("CHMODING  file " + dest("x/a.txt") + ", with result=0.\n"), std::string::npos);
  EXPECT_NE(text.find("now we want to nuke a file: DELETING  file " + dest("x/a.txt") + ", with result=0.\n"),
            std::string::npos);
  EXPECT_NE(text.find("cleanup: DELETING  file " + dest("x/") + ", with result=0.\n"), std::string::npos);
  EXPECT_FALSE(exists(dest("x")));
  // Archives on a disc are never deleted.
  EXPECT_TRUE(exists(dvd_path + install_name + "/All/x/a.txt.zip"));
}

TEST_F(GrabFilesTest, StreamCount) {
  EXPECT_EQ(choose_stream_count(10.0f, 0, 0), 2);
  EXPECT_EQ(choose_stream_count(50.5f, 0, 0), 4);
  EXPECT_EQ(choose_stream_count(100.5f, 0, 0), 6);
  EXPECT_EQ(choose_stream_count(200.0f, 0, 0), 8);
  EXPECT_EQ(choose_stream_count(200.5f, 0, 0), 9);
  EXPECT_EQ(choose_stream_count(500.0f, 3, 0), 3);
  EXPECT_EQ(choose_stream_count(500.0f, 3, 1), 1);
  EXPECT_EQ(choose_stream_count(0.0f, 0, 1), 1);
}

TEST_F(GrabFilesTest, ProgressRecordReset) {
  next[NXT_done] = 1;
  next[NXT_next_file] = 9;
  next[NXT_active + 3] = 1;
  next[NXT_file + 2] = 4;
  next.setf(NXT_kb_fetched, 3.0f);
  next.reset(12.5f);
  EXPECT_EQ(next[NXT_done], 1);  // only the constructor clears it
  EXPECT_EQ(next[NXT_next_file], 0);
  EXPECT_EQ(next[NXT_active], 1);
  EXPECT_EQ(next[NXT_wants], 1);
  for (int s = 1; s < NXT_slots; ++s) {
    EXPECT_EQ(next[NXT_active + s], 0);
    EXPECT_EQ(next[NXT_wants + s], 0);
  }
  for (int s = 0; s < NXT_slots; ++s) EXPECT_EQ(next[NXT_file + s], 0);
  EXPECT_EQ(next.getf(NXT_start_time), 12.5f);
  EXPECT_EQ(next.getf(NXT_kb_fetched), 0.0f);
  EXPECT_EQ(install_progress_struct{}[NXT_done], 0);
}

TEST_F(GrabFilesTest, LinksInTheTreeNeverLeadOutside) {
  // A folder of the destination replaced by a link to somewhere else.
  fs::create_directories(root_ + "outside");
  write(root_ + "outside/old.txt", "not the product's");
  std::string list = make_disc({{"All/Resources/new.txt", "new"}});
  std::string body = read(list) + "\nDIR All/Resources/\n" + row(1, 0, 1, 1, 1, md5_of("not the product's"), "old.txt") +
                     row(1, 0, 90025, 0, 0, "GONE", "old.txt");
  write(list, body);
  fs::create_symlink(root_ + "outside", dest("Resources"));
  ASSERT_EQ(read_directory(list, "scan"), 3);
  ASSERT_EQ(choose_files(), 1);
  ASSERT_EQ(sim_info[1].versions.back().remove, 1);
  make_dirs();
  AlertSink sink;
  run_install();
  EXPECT_EQ(read(root_ + "outside/old.txt"), "not the product's");
  EXPECT_FALSE(exists(root_ + "outside/new.txt"));
  EXPECT_EQ(stg[STG_error], 1);
  ASSERT_EQ(sink.count(), 1u);
  EXPECT_EQ(sink.alerts()[0].l2, "Error: " + error_str(ERR_UNSAFE_NAME));
  EXPECT_TRUE(deleted_files.empty());
}

TEST_F(GrabFilesTest, ABinaryThatIsALinkKeepsItsTargetsMode) {
  // The user's link stands where the binary goes, and the archive fails to unpack: the chmod
  // that follows must not reach the link's target.
  write(root_ + "outside.txt", "x");
  fs::permissions(root_ + "outside.txt", fs::perms(0600));
  fs::create_directories(dest("Volarium.app/Contents/MacOS"));
  fs::create_symlink(root_ + "outside.txt", dest("Volarium.app/Contents/MacOS/Volarium"));
  write(root_ + "directory.txt", header() + "DIR Macintosh/Volarium.app/Contents/MacOS/\n" +
                                     row(1, 1, 90025, 1, 1, md5_of("app"), "Volarium"));
  Script::answers() = {1};
  prepare(root_ + "directory.txt");
  ASSERT_EQ(Script::asked().size(), 1u);
  AlertSink sink;
  run_install();
  EXPECT_EQ(stg[STG_error], 1);
  EXPECT_TRUE(fs::is_symlink(dest("Volarium.app/Contents/MacOS/Volarium")));
  EXPECT_EQ(fs::status(root_ + "outside.txt").permissions() & fs::perms::all, fs::perms(0600));
}

// ---- The final rename ----

class RenameTest : public GrabFilesTest {
 protected:
  void SetUp() override {
    GrabFilesTest::SetUp();
    stg[STG_rename_folder] = 1;
  }
  // Installs one Macintosh file into dest_dir_path.
  void install_mac_file() {
    prepare(make_disc({{"Macintosh/app.bin", "app", 1}}));
    run_install();
    ASSERT_EQ(next[NXT_done], 1);
  }
};

TEST_F(RenameTest, AFolderThisRunMadeTakesTheVersionName) {
  dest_dir_path = root_ + "fresh/";
  install_mac_file();
  EXPECT_EQ(dest_dir_path, root_ + install_name + "/");
  EXPECT_EQ(read(root_ + install_name + "/app.bin"), "app");
  EXPECT_FALSE(exists(root_ + "fresh"));
}

TEST_F(RenameTest, TheDefaultNameIsRenamedEvenWhenItWasThere) {
  dest_dir_path = root_ + "Volarium 9/";
  fs::create_directories(dest_dir_path);
  install_mac_file();
  EXPECT_EQ(dest_dir_path, root_ + install_name + "/");
}

TEST_F(RenameTest, AnotherExistingFolderKeepsItsName) {
  dest_dir_path = root_ + "My Sims/";
  fs::create_directories(dest_dir_path);
  install_mac_file();
  EXPECT_EQ(dest_dir_path, root_ + "My Sims/");
  EXPECT_EQ(read(root_ + "My Sims/app.bin"), "app");
}

TEST_F(RenameTest, NeverOntoSomethingThatIsThere) {
  dest_dir_path = root_ + "Volarium 9/";
  fs::create_directories(root_ + install_name);
  install_mac_file();
  EXPECT_EQ(dest_dir_path, root_ + "Volarium 9/");
  EXPECT_TRUE(exists(root_ + "Volarium 9/app.bin"));
  EXPECT_TRUE(fs::is_empty(root_ + install_name));
}

TEST_F(RenameTest, OnlyAfterPlatformFilesAndWhenThePreferenceSaysSo) {
  dest_dir_path = root_ + "Volarium 9/";
  prepare(make_disc({{"All/a.txt", "a"}}));
  run_install();
  EXPECT_EQ(dest_dir_path, root_ + "Volarium 9/");

  stg[STG_rename_folder] = 0;
  install_mac_file();
  EXPECT_EQ(dest_dir_path, root_ + "Volarium 9/");
}

TEST_F(RenameTest, AVersionNameThatIsNoFolderNameIsNotUsed) {
  dest_dir_path = root_ + "Volarium 9/";
  install_mac_file();
  ASSERT_EQ(dest_dir_path, root_ + install_name + "/");
  sim_info[0].versions.back().install = 0;
  for (const char* bad : {"..", "a/b", ""}) {
    dest_dir_path = root_ + "Volarium 9/";
    fs::create_directories(dest_dir_path);
    install_name = bad;
    run_install();
    ASSERT_EQ(stg[STG_error], 0);
    EXPECT_EQ(dest_dir_path, root_ + "Volarium 9/") << bad;
    EXPECT_TRUE(exists(dest_dir_path)) << bad;
  }
}

// ---- Fatal cases ----

using GrabFilesDeathTest = GrabFilesTest;

TEST_F(GrabFilesDeathTest, APathWithoutAFileIsFatal) {
  file_version_struct v;
  v.disc_type = 1;
  v.path = "All/Resources/";
  v.install = 1;
  sim_info = {file_history_struct{{v}}};
  next.reset(0.0f);
  EXPECT_EXIT(grab_files(), testing::ExitedWithCode(1),
              "found a path that has no file!(.|\n)*All/Resources/");
}

TEST_F(GrabFilesDeathTest, APathLeavingTheDestinationIsFatalAndDeletesNothing) {
  write(root_ + "outside.txt", "precious");
  file_version_struct v;
  v.disc_type = 1;
  v.path = "All/../outside.txt";
  v.remove = 1;
  sim_info = {file_history_struct{{v}}};
  next.reset(0.0f);
  EXPECT_EXIT(grab_files(), testing::ExitedWithCode(1), "not safe");
  EXPECT_EQ(read(root_ + "outside.txt"), "precious");
}

TEST_F(GrabFilesDeathTest, SeveralStreamsOnADiscAreFatal) {
  prepare(make_disc({{"All/a.txt", "a"}, {"All/b.txt", "b"}}));
  next.reset(0.0f);
  next[NXT_active + 1] = 1;
  next[NXT_wants + 1] = 1;
  EXPECT_EXIT(grab_files(), testing::ExitedWithCode(1), "DVD install with multiple streams");
}

// The archive of a listed file: the tile folder's files come as 7z, wherever that folder sits;
// a name that only resembles it does not.
TEST(ListedArchive, SevenZipForTheTilesOnly) {
  const struct {
    const char* path;
    const char* ext;
  } rows[] = {
      {"All/Rovade Vovavod/-global terrain-/+40-130/+47-122.dsf", ".7z"},
      {"All/Custom Scenery/Rovade Vovavod/x.dat", ".7z"},
      {"LIN_os/Rovade Vovavod", ".7z"},
      {"All/Resources/default scenery/900 red terrain/a.dds", ".zip"},
      {"All/Rovade Vovavo/x.dat", ".zip"},
      {"All/rovade vovavod/x.dat", ".zip"},
      {"APL_os/Volarium.app/Contents/MacOS/Volarium", ".zip"},
      {"", ".zip"},
  };
  for (const auto& r : rows) EXPECT_EQ(listed_archive_ext(r.path), r.ext) << r.path;
}
