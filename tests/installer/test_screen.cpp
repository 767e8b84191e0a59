// The installer screen's steps without a window: start-up values, the destination from the
// command line, the version file and the file list, the stream reset, the buttons' hit tests.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "alert_sink.h"
#include "engine/install.h"
#include "files/zip.h"
#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/xtim.h"
#include "installer/disc.h"
#include "installer/front.h"
#include "installer/screen_logic.h"
#include "ogl/colr.h"

namespace fs = std::filesystem;

namespace {
class Screen : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("volarium-screen-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "disc");
    fs::create_directories(root_ / "tmp");
    disc_ = (root_ / "disc").string() + "/";
    temp_path = (root_ / "tmp").string() + "/";
    disc_take(disc_);
    install_name = no_install_name;
    stg = stg_struct{};
    installer_reset_stg();
    screen_state = screen_state_struct{};
    xtim.act_tick[tick_1hz] = 0;
    mnw = mnw_struct{};
  }
  void TearDown() override {
    fs::remove_all(root_);
    dvd_path.clear();
    xtim.act_tick[tick_1hz] = 0;
  }
  void write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  void version_file(const std::string& body) { write(disc_ + "dvd_version.txt", "I\n900 version\nDVD\n" + body); }
  // One second tick later: the frame in which the list is looked for.
  void tick_frame() {
    xtim.act_tick[tick_1hz] = 1;
    screen_disc_steps();
    xtim.act_tick[tick_1hz] = 0;
  }
  fs::path root_;
  std::string disc_;
};
}  // namespace

TEST_F(Screen, StartValuesOfTheStateBlock) {
  stg = stg_struct{};
  stg[STG_log_actions] = 1;
  installer_reset_stg();
  EXPECT_EQ(stg[STG_stage], 0);
  EXPECT_EQ(stg[STG_log_actions], 1);  // the preference word is not reset
  EXPECT_EQ(stg[STG_target_os], 3);
  EXPECT_EQ(stg[STG_server_count], -1);
  EXPECT_EQ(stg[STG_phase], 3);
  EXPECT_EQ(stg[STG_rename_folder], 1);
  EXPECT_EQ(stg[STG_always_ask_dir], 0);
  EXPECT_FLOAT_EQ(stg.getf(STG_kb_installed), 0.0f);
}

TEST_F(Screen, DestinationFromTheCommandLine) {
  dest_dir_path = "/default/";
  const char* ignored_alone[] = {"prog", "-path"};
  EXPECT_EQ(dest_from_command_line(2, const_cast<char**>(ignored_alone)), 0);
  const char* ignored_second[] = {"prog", "--fps_test", "-path", "/Foo"};
  EXPECT_EQ(dest_from_command_line(4, const_cast<char**>(ignored_second)), 0);
  EXPECT_EQ(dest_dir_path, "/default/");
  const char* given[] = {"prog", "-path", "/Foo", "--fps_test"};
  EXPECT_EQ(dest_from_command_line(4, const_cast<char**>(given)), 1);
  EXPECT_EQ(dest_dir_path, "/Foo/");
}

TEST_F(Screen, DefaultDestinationIsInTheHomeFolder) {
  const char* home = std::getenv("HOME");
  if (!home || !*home) GTEST_SKIP() << "no home folder";
  const std::string want = (fs::path(home) / "Volarium 9").string() + "/";
  EXPECT_EQ(installer_default_dest(), want);
}

TEST_F(Screen, ProductFolderIsRecognised) {
  dest_dir_path = (root_ / "sim").string() + "/";
  for (const char* d : {"Airfoils", "Instructions", "Output", "Old Resources"}) fs::create_directories(dest_dir_path + d);
  EXPECT_EQ(path_is_to_a_sim(), 1);
  fs::remove_all(dest_dir_path + "Output");
  write(dest_dir_path + "Output", "a file, not a folder");
  EXPECT_EQ(path_is_to_a_sim(), 0);
  dest_dir_path = (root_ / "missing").string() + "/";
  EXPECT_EQ(path_is_to_a_sim(), 0);
}

// A folder can be asked about without making it the destination.
TEST_F(Screen, ProductFolderIsRecognisedWhereverItIs) {
  const std::string sim = (root_ / "sim2").string() + "/";
  for (const char* d : {"Airfoils", "Instructions", "Output", "Old Resources"}) fs::create_directories(sim + d);
  dest_dir_path = (root_ / "elsewhere").string() + "/";
  EXPECT_EQ(path_is_to_a_sim(sim), 1);
  EXPECT_EQ(path_is_to_a_sim(), 0);
  EXPECT_EQ(dest_dir_path, (root_ / "elsewhere").string() + "/");
  fs::remove_all(sim + "Instructions");
  EXPECT_EQ(path_is_to_a_sim(sim), 0);
}

TEST_F(Screen, VersionFileNamesTheVersionFolder) {
  screen_disc_steps();
  EXPECT_EQ(stg[STG_server_count], -1);  // no file yet: tried again next frame
  version_file("VERSION Disc A\nVERSION Disc B\n");
  screen_disc_steps();
  EXPECT_EQ(stg[STG_server_count], 0);
  EXPECT_EQ(install_name, "Disc B");
  EXPECT_EQ(screen_state.dir_path, temp_path + "directory.txt");
  EXPECT_EQ(screen_state.dir_path_path, temp_path);
}

TEST_F(Screen, BadVersionFilesAreWaitedOn) {
  write(disc_ + "dvd_version.txt", "I\n800 version\nDVD\nVERSION Disc\n");
  EXPECT_EQ(read_dvd_version(), 0);
  const std::pair<const char*, const char*> bad_files[] = {
      {"VERSION ..\n", ".."}, {"VERSION a/b\n", "a/b"}, {"OTHER x\n", ""}, {"VERSION .\n", "."}, {"VERSION /\n", "/"}};
  for (const auto& [bad, name] : bad_files) {
    version_file(bad);
    EXPECT_EQ(read_dvd_version(), 0) << bad;
    EXPECT_EQ(install_name, no_install_name) << bad;
    // The reason reaches the screen, not only the log.
    EXPECT_EQ(screen_state.version_problem, version_name_problem(name)) << bad;
    EXPECT_FALSE(screen_state.version_problem.empty()) << bad;
  }
  // Without a version folder the list is not looked for, so no fatal alert either.
  tick_frame();
  EXPECT_EQ(stg[STG_stage], 0);
  EXPECT_EQ(stg[STG_server_count], -1);
  // A mended file is taken, and the reason goes.
  version_file("VERSION Disc\n");
  EXPECT_EQ(read_dvd_version(), 1);
  EXPECT_EQ(screen_state.version_problem, "");
}

TEST_F(Screen, FileListIsUnpackedOnTheSecondTick) {
  version_file("VERSION Disc\n");
  write(root_ / "src" / "directory.txt", "I\n900 version\n");
  screen_disc_steps();
  EXPECT_EQ(stg[STG_stage], 0);  // not in a frame without the tick
  for (const std::string& why : {"The disc's version folder is missing: " + disc_ + "Disc/",
                                 "The disc's file list is missing or damaged: " + disc_ + "Disc/directory.txt.zip"}) {
    tick_frame();  // still being copied: waited on, nothing unpacked
    EXPECT_EQ(screen_state.version_problem, why);
    EXPECT_TRUE(fs::is_empty(temp_path)) << why;
    write(disc_ + "Disc/directory.txt.zip", "PK\x03\x04 not whole");
    disc_take(disc_);  // looked for again: the fixture's disc is not among the mounted ones
  }
  ASSERT_EQ(file_to_zip((root_ / "src" / "directory.txt").string(), disc_ + "Disc/directory.txt.zip"), 0);
  tick_frame();
  EXPECT_EQ(stg[STG_stage], 1);
  EXPECT_TRUE(fs::exists(temp_path + "directory.txt"));
}

TEST_F(Screen, NoDiscNoList) {
  dvd_path.clear();
  tick_frame();
  EXPECT_EQ(stg[STG_stage], 0);
}

TEST_F(Screen, StreamResetKeepsTheDestinationAndTheDoneFlag) {
  dest_dir_path = (root_ / "dest").string() + "/";
  sim_info.assign(1, file_history_struct{});
  sim_info[0].versions.resize(1);
  sim_info[0].versions[0].path = "All/a.txt";
  write(dest_dir_path + "a.txt.zip", "the user's own file");
  write(dest_dir_path + "a.txt", "x");
  write(temp_path + "0.zip", "y");
  next = install_progress_struct{};
  next[NXT_done] = 1;
  next[NXT_active] = 1;
  next[NXT_file] = 0;
  next[NXT_next_file] = 1;
  next.setf(NXT_kb_installed, 5.0f);
  xtim.act_time = 12.5f;
  stream_reset();
  EXPECT_TRUE(fs::exists(dest_dir_path + "a.txt.zip"));
  EXPECT_TRUE(fs::exists(dest_dir_path + "a.txt"));
  EXPECT_TRUE(fs::exists(temp_path + "0.zip"));  // a disc install makes no temporary archives
  EXPECT_EQ(next[NXT_done], 1);
  EXPECT_EQ(next[NXT_next_file], 0);
  EXPECT_EQ(next[NXT_active], 1);
  EXPECT_EQ(next[NXT_active + 1], 0);
  EXPECT_FLOAT_EQ(next.getf(NXT_start_time), 12.5f);
  EXPECT_FLOAT_EQ(next.getf(NXT_kb_installed), 0.0f);
  sim_info.clear();
  next = install_progress_struct{};
}

TEST_F(Screen, InterfaceRectHitsInsideItsLimitsOnAClick) {
  mnw.click = 1;
  mnw.mouse_x = 10;
  mnw.mouse_y = 78;
  EXPECT_EQ(interface_rect(10, 78, 0, 0, 126, 22, 1, 1), 1);
  mnw.mouse_x = 136;
  mnw.mouse_y = 100;
  EXPECT_EQ(interface_rect(10, 78, 0, 0, 126, 22, 0, 1), 1);  // inactive still reports
  mnw.mouse_x = 136.5f;
  EXPECT_EQ(interface_rect(10, 78, 0, 0, 126, 22, 1, 1), 0);
  mnw.mouse_x = 50;
  mnw.click = 0;
  mnw.mouse_held = 1;
  EXPECT_EQ(interface_rect(10, 78, 0, 0, 126, 22, 1, 1), 0);
}

TEST_F(Screen, InterfaceRectTints) {
  interface_rect(0, 0, 0, 0, 1, 1, 0, 1);
  EXPECT_FLOAT_EQ(colr.rgb[103][0], 0.8f);
  EXPECT_FLOAT_EQ(colr.rgb[103][1], 1.0f);
  interface_rect(0, 0, 0, 0, 1, 1, 0, 2);
  EXPECT_FLOAT_EQ(colr.rgb[103][0], 1.0f);
  EXPECT_FLOAT_EQ(colr.rgb[103][1], 0.8f);
  interface_rect(0, 0, 0, 0, 1, 1, 0, 7);
  EXPECT_FLOAT_EQ(colr.rgb[103][1], 1.0f);
  EXPECT_FLOAT_EQ(colr.rgb[103][2], 1.0f);
}

TEST_F(Screen, SizeStringWritesItsOutput) {
  std::string out = "old";
  set_size_str(2500000.0f, &out);
  EXPECT_EQ(out, "2.5 Gig");
}
