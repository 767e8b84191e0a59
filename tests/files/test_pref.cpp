// Preference files: reading, writing, command-line overrides and the program's three files.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <climits>

#include "alert_sink.h"
#include "files/pref.h"
#include "files_test_util.h"
#include "foundation/cmdline.h"
#include "foundation/records.h"

namespace {

class Pref : public ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    const char* old = getenv("XDG_CONFIG_HOME");
    had_xdg_ = old != nullptr;
    if (old) saved_xdg_ = old;
    setenv("XDG_CONFIG_HOME", path("config").c_str(), 1);
    saved_stg_ = stg;
    saved_dest_ = dest_dir_path;
    saved_mnw_ = mnw;
    cmdline.options.clear();
    xer.close();
    xer.open(path("log.txt"));
  }
  void TearDown() override {
    xer.close();
    if (had_xdg_)
      setenv("XDG_CONFIG_HOME", saved_xdg_.c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
    stg = saved_stg_;
    dest_dir_path = saved_dest_;
    mnw = saved_mnw_;
    cmdline.options.clear();
    pref_bind_proxy(nullptr, nullptr, nullptr);
    ScratchDir::TearDown();
  }
  std::string installer_file() const { return path("config/Volarium Installer.prf"); }

  bool had_xdg_ = false;
  std::string saved_xdg_, saved_dest_;
  stg_struct saved_stg_;
  mnw_struct saved_mnw_;
};

TEST_F(Pref, InstallerFileLivesInThePreferencesFolder) {
  EXPECT_EQ(pref_path(PREF_installer), installer_file());
  EXPECT_EQ(pref_path(PREF_display), "Resources/preferences/Res Volsuite.prf");
  EXPECT_EQ(pref_path(PREF_cal), "Resources/preferences/Cal Volarium.prf");
  EXPECT_EQ(pref_path(13), "");
  // No usable preferences folder: the fall-back beside the application.
  setenv("XDG_CONFIG_HOME", "/proc/self/no/such", 1);
  EXPECT_EQ(pref_path(PREF_installer), "Resources/preferences/Volarium Installer.prf");
}

TEST_F(Pref, RoundTripOfTheInstallerFile) {
  std::string host = "proxy.example", port = "8080";
  int port_int = 8080;
  pref_bind_proxy(&host, &port, &port_int);
  stg[STG_use_max_cpu] = 1;
  stg[STG_rename_folder] = 0;
  stg[STG_stream_count] = -3;
  stg[STG_log_actions] = 1;
  stg[STG_always_ask_dir] = 1;
  dest_dir_path = "/home/u/My Volarium 9 /";
  pref.IO_set(PREF_installer, 1);
  EXPECT_EQ(read(installer_file()),
            "I\n9002 version\n_use_max_cpu 1\n_rename_folder 0\n_stream_count -3\n_log_actions 1\n"
            "_always_ask_dir 1\n_dest_dir_path /home/u/My Volarium 9 /\n_proxy_host proxy.example\n"
            "_proxy_port 8080\n_proxy_port_int 8080\n");
  EXPECT_FALSE(std::filesystem::exists(installer_file() + ".tmp"));

  stg = stg_struct{};
  dest_dir_path.clear();
  host.clear();
  port.clear();
  port_int = 0;
  pref.IO_set(PREF_installer, 0);
  EXPECT_EQ(stg[STG_use_max_cpu], 1);
  EXPECT_EQ(stg[STG_rename_folder], 0);
  EXPECT_EQ(stg[STG_stream_count], -3);
  EXPECT_EQ(stg[STG_log_actions], 1);
  EXPECT_EQ(stg[STG_always_ask_dir], 1);
  EXPECT_EQ(dest_dir_path, "/home/u/My Volarium 9 /");
  EXPECT_EQ(host, "proxy.example");
  EXPECT_EQ(port, "8080");
  EXPECT_EQ(port_int, 8080);
}

TEST_F(Pref, EmptyStringsAreLeftOutAndDefaultsStand) {
  dest_dir_path.clear();
  pref.IO_set(PREF_installer, 1);
  std::string text = read(installer_file());
  EXPECT_EQ(text.find("_dest_dir_path"), std::string::npos);
  EXPECT_EQ(text.find("_proxy_host"), std::string::npos);
  EXPECT_NE(text.find("_proxy_port_int 0\n"), std::string::npos);
  dest_dir_path = "/default/";
  pref.IO_set(PREF_installer, 0);
  EXPECT_EQ(dest_dir_path, "/default/");
}

TEST_F(Pref, LastOccurrenceWinsAndMissingTagsKeepTheirValue) {
  mkdirs(path("config"));
  write(installer_file(),
        "I\r\n9002 version\r\n\r\n_stream_count 3\r\n   \r\n_stream_count 4\r\n_dest_dir_path   "
        "/a b/c  \r\n_use_max_cpu\r\n");
  stg[STG_rename_folder] = 77;
  stg[STG_use_max_cpu] = 5;
  pref.IO_set(PREF_installer, 0);
  EXPECT_EQ(stg[STG_stream_count], 4);
  EXPECT_EQ(stg[STG_rename_folder], 77);
  EXPECT_EQ(dest_dir_path, "/a b/c  ");
  EXPECT_EQ(stg[STG_use_max_cpu], 0);  // a tag alone has the empty value, read as 0
}

TEST_F(Pref, CommandLineOverridesTheFileAndWorksWithoutOne) {
  cmdline.options["--pref:_stream_count"] = "2";
  cmdline.options["--pref:_dest_dir_path"] = "/from/option/";
  pref.IO_set(PREF_installer, 0);  // no file at all
  EXPECT_EQ(stg[STG_stream_count], 2);
  EXPECT_EQ(dest_dir_path, "/from/option/");
  mkdirs(path("config"));
  write(installer_file(), "I\n9002 version\n_stream_count 6\n_log_actions 1\n");
  stg[STG_stream_count] = 0;
  pref.IO_set(PREF_installer, 0);
  EXPECT_EQ(stg[STG_stream_count], 2);
  EXPECT_EQ(stg[STG_log_actions], 1);
}

TEST_F(Pref, ForeignVersionCountsAsAbsent) {
  mkdirs(path("config"));
  write(installer_file(), "I\n9001 version\n_stream_count 6\n");
  stg[STG_stream_count] = 9;
  pref.IO_set(PREF_installer, 0);
  EXPECT_EQ(stg[STG_stream_count], 9);
  write(installer_file(), "X\n9002 version\n_stream_count 6\n");
  pref.IO_set(PREF_installer, 0);
  EXPECT_EQ(stg[STG_stream_count], 9);
}

TEST_F(Pref, IntegersReadLikeAtoiWithoutOverflow) {
  mkdirs(path("config"));
  write(installer_file(),
        "I\n9002 version\n_use_max_cpu  12abc\n_rename_folder x7\n_stream_count "
        "99999999999999999999\n_log_actions -99999999999999999999\n_always_ask_dir +5\n"
        "_proxy_port_int -2147483648\n");
  int port_int = 1;
  pref_bind_proxy(nullptr, nullptr, &port_int);
  pref.IO_set(PREF_installer, 0);
  EXPECT_EQ(stg[STG_use_max_cpu], 12);
  EXPECT_EQ(stg[STG_rename_folder], 0);
  EXPECT_EQ(stg[STG_stream_count], INT_MAX);
  EXPECT_EQ(stg[STG_log_actions], INT_MIN);
  EXPECT_EQ(stg[STG_always_ask_dir], 5);
  EXPECT_EQ(port_int, INT_MIN);
}

TEST_F(Pref, ValueWithALineEndIsNotWritten) {
  dest_dir_path = "/evil\n_use_max_cpu 1";
  stg[STG_use_max_cpu] = 0;
  pref.IO_set(PREF_installer, 1);
  std::string text = read(installer_file());
  EXPECT_EQ(text.find("evil"), std::string::npos);
  EXPECT_NE(text.find("_use_max_cpu 0\n"), std::string::npos);
  xer.flush();
  EXPECT_NE(read(path("log.txt")).find("WARNING: "), std::string::npos);
  dest_dir_path = "/cr\rpath/";
  pref.IO_set(PREF_installer, 1);
  EXPECT_EQ(read(installer_file()).find("cr"), std::string::npos);
}

TEST_F(Pref, FailedSaveKeepsTheOldFile) {
  mkdirs(path("config"));
  const std::string old = "I\n9002 version\n_stream_count 4\n";
  write(installer_file(), old);
  // The new file cannot be made (a folder stands in its way): the old one stays whole.
  mkdirs(installer_file() + ".tmp");
  AlertSink sink;
  stg[STG_stream_count] = 1;
  pref.IO_set(PREF_installer, 1);
  EXPECT_EQ(sink.count(), 1u);
  EXPECT_EQ(read(installer_file()), old);
  stg[STG_stream_count] = 0;
  pref.IO_set(PREF_installer, 0);
  EXPECT_EQ(stg[STG_stream_count], 4);
}

TEST_F(Pref, LeftoverOfAnInterruptedSaveIsIgnoredAndReplaced) {
  mkdirs(path("config"));
  write(installer_file(), "I\n9002 version\n_stream_count 4\n");
  write(installer_file() + ".tmp", "I\n9002 vers");  // a save cut off half-way
  pref.IO_set(PREF_installer, 0);
  EXPECT_EQ(stg[STG_stream_count], 4);
  stg[STG_stream_count] = 5;
  pref.IO_set(PREF_installer, 1);
  EXPECT_FALSE(std::filesystem::exists(installer_file() + ".tmp"));
  stg[STG_stream_count] = 0;
  pref.IO_set(PREF_installer, 0);
  EXPECT_EQ(stg[STG_stream_count], 5);
}

TEST_F(Pref, UnknownFileIdReadsNothingAndFailsToWrite) {
  stg[STG_stream_count] = 3;
  pref.IO_set(13, 0);
  EXPECT_EQ(stg[STG_stream_count], 3);
  AlertSink sink;
  pref.IO_set(13, 1);
  EXPECT_EQ(sink.count(), 1u);
  EXPECT_EQ(pref.IO_sta(1, 2, "x"), 0);
}

TEST_F(Pref, DisplayFileRangeChecksAndRoundTrip) {
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(root_.c_str()), 0);
  mkdirs("Resources/preferences");
  for (auto [w, want] : {std::pair{599, 1024}, {10000, 1024}, {600, 600}, {9999, 9999}}) {
    write("Resources/preferences/Res Volsuite.prf",
          "I\n9002 version\n_x_res_req_ALL " + std::to_string(w) + "\n_y_res_req_ALL 700\n_lang 3\n");
    mnw.req_w = 0;
    pref.IO_set(PREF_display, 0);
    EXPECT_EQ(mnw.req_w, want) << w;
    EXPECT_EQ(mnw.req_h, 700);
    EXPECT_EQ(mnw.language, 3);
  }
  mnw.req_w = 1280;
  mnw.req_h = 1024;
  mnw.pref_found = 0;
  mnw.aa_want = 2;
  pref.IO_set(PREF_display, 1);
  EXPECT_EQ(mnw.pref_found, 1);
  std::string text = read("Resources/preferences/Res Volsuite.prf");
  EXPECT_EQ(text.rfind("I\n9002 version\n_x_res_req_PLN ", 0), 0u);
  EXPECT_NE(text.find("_x_res_req_ALL 1280\n_y_res_req_ALL 1024\n"), std::string::npos);
  EXPECT_NE(text.find("_prefs_found 1\n"), std::string::npos);
  mnw = mnw_struct{};
  pref.IO_set(PREF_display, 0);
  EXPECT_EQ(mnw.req_w, 1280);
  EXPECT_EQ(mnw.req_h, 1024);
  EXPECT_EQ(mnw.aa_want, 2);
  // Without a file the sizes kept from the last call come back.
  ASSERT_EQ(unlink("Resources/preferences/Res Volsuite.prf"), 0);
  mnw.req_w = 5;
  mnw.req_h = 5;
  pref.IO_set(PREF_display, 0);
  EXPECT_EQ(mnw.req_w, 1280);
  EXPECT_EQ(mnw.req_h, 1024);
  ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(Pref, CalFileHoldsOnlyTheHeader) {
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(root_.c_str()), 0);
  mkdirs("Resources/preferences");
  pref.IO_set(PREF_cal, 1);
  EXPECT_EQ(read("Resources/preferences/Cal Volarium.prf"), "I\n9002 version\n");
  ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(Pref, ScanClassReadsTagsAndValues) {
  write(path("p.prf"), "I\n9002 version\n\talpha  one two \nbeta\n\ngamma\t3\n");
  scan_class scan(path("p.prf"), 0);
  EXPECT_EQ(scan.mode, 0);
  EXPECT_EQ(scan.values.size(), 3u);
  EXPECT_EQ(scan.values["alpha"], "one two ");
  EXPECT_EQ(scan.values["beta"], "");
  EXPECT_EQ(scan.values["gamma"], "3");
  int v = -1;
  EXPECT_EQ(scan.int_io(&v, "gamma"), 1);
  EXPECT_EQ(v, 3);
  v = -1;
  EXPECT_EQ(scan.int_io(&v, "delta"), 0);
  EXPECT_EQ(v, -1);
}

}  // namespace
