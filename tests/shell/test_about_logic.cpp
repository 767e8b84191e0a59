// The About box's update check without a window: the server list reader, the decision table,
// the progress text, and the folder and program an update is unpacked into and started from.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "files/io_utils.h"
#include "foundation/globals.h"
#include "foundation/hl_types.h"
#include "shell/about.h"
#include "shell/about_logic.h"

namespace fs = std::filesystem;

namespace {

about_list parse(const std::string& text) {
  about_list l;
  about_parse_lines(text.data(), text.data() + text.size(), &l);
  return l;
}

class AboutFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/about_logic_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = std::string(tmpl) + "/";
    app_path.clear();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  void write(const std::string& name, const std::string& text) { std::ofstream(dir_ + name, std::ios::binary) << text; }
  std::string dir_;
};

TEST(AboutList, KeywordLinesAreReadAndOthersSkipped) {
  about_list l = parse(
      "BETA Volarium 9.10 beta 3\n"
      "FINAL\tVolarium 9.05 \r\n"
      "FINAL_INSTALLER_MAC mac.example /a/installer.zip\n"
      "BETA_INSTALLER_MAC  mac.example  /b/installer.zip\n"
      "FINAL_INSTALLER_LIN lin.example /lin/final.zip extra\n"
      "BETA_INSTALLER_LIN lin.example /lin/beta.zip\n"
      "FINAL_VERSION 90500\n"
      "BETA_VERSION -91003\n"
      "SOMETHING_NEW 1 2 3\n");
  EXPECT_EQ(l.found, 1);
  EXPECT_EQ(l.final_name, "Volarium 9.05 ");
  EXPECT_EQ(l.beta_name, "Volarium 9.10 beta 3");
  EXPECT_EQ(l.version_final, 90500);
  EXPECT_EQ(l.version_beta, -91003);
  EXPECT_EQ(l.final_mac.server, "mac.example");
  EXPECT_EQ(l.final_mac.path, "/a/installer.zip");
  EXPECT_EQ(l.beta_mac.path, "/b/installer.zip");
  EXPECT_EQ(l.final_lin.server, "lin.example");
  EXPECT_EQ(l.final_lin.path, "/lin/final.zip");
  EXPECT_EQ(l.beta_lin.path, "/lin/beta.zip");
}

TEST(AboutList, KeywordsMatchWholeWordsOnly) {
  struct row {
    const char* text;
    int found, final_version;
  } rows[] = {
      {"FINALLY here\n", 0, -1},
      {"FINAL_VERSIONS 90100\n", 0, -1},
      {"FINAL_VERSION90100\n", 0, -1},
      {"final 9\nfinal_version 90100\n", 0, -1},
      {"XFINAL x\n", 0, -1},
      {"FINAL\n", 1, -1},
      {"  FINAL_VERSION   90100  \n", 0, 90100},
      {"FINAL_VERSION 90100x\n", 0, -1},
      {"FINAL_VERSION 99999999999999\n", 0, -1},
      {"FINAL_VERSION\n90100\n", 0, -1},
  };
  for (const row& r : rows) {
    about_list l = parse(std::string(r.text, r.text + std::char_traits<char>::length(r.text)));
    EXPECT_EQ(l.found, r.found) << r.text;
    EXPECT_EQ(l.version_final, r.final_version) << r.text;
  }
  // A zero byte ends a line like a line feed.
  std::string z("FINAL_VERSION 7\0FINAL Seven", 27);
  about_list l = parse(z);
  EXPECT_EQ(l.version_final, 7);
  EXPECT_EQ(l.found, 1);
  EXPECT_EQ(l.final_name, "Seven");
}

TEST_F(AboutFiles, ListFileNeedsItsHeader) {
  struct row {
    const char* what;
    std::string text;
    int ok;
  } rows[] = {
      {"good", "I\n820 version\nSERVERS\nFINAL Now\nFINAL_VERSION 90100\n", 1},
      {"Mac byte order mark", "A\n820 version\nSERVERS\nFINAL Now\nFINAL_VERSION 90100\n", 1},
      {"without its first line", "820 version\nSERVERS\nFINAL Now\nFINAL_VERSION 90100\n", 0},
      {"other version", "I\n821 version\nSERVERS\nFINAL Now\nFINAL_VERSION 90100\n", 0},
      {"other keyword", "I\n820 version\nSERVER\nFINAL Now\nFINAL_VERSION 90100\n", 0},
      {"empty", "", 0},
      {"an HTML error page", "<html><body>404 Not Found</body></html>\n", 0},
  };
  for (const row& r : rows) {
    write("serverlist.txt", r.text);
    about_list l;
    EXPECT_EQ(about_read_list(dir_ + "serverlist.txt", &l), r.ok) << r.what;
    EXPECT_EQ(l.version_final, r.ok ? 90100 : -1) << r.what;
    EXPECT_EQ(l.final_name, r.ok ? "Now" : "") << r.what;
  }
  about_list l;
  EXPECT_EQ(about_read_list(dir_ + "missing.txt", &l), 0);
}

TEST(AboutDecide, DecisionTable) {
  const int B = build_number;
  const about_where lin_final{"lin.example", "/final.zip"}, lin_beta{"lin.example", "/beta.zip"};
  const about_where mac{"mac.example", "/mac.zip"};
  struct row {
    const char* what;
    int final_v, beta_v;
    about_where fl, bl, fm, bm;
    int latest, beta, state;
    std::string msg;
    std::string path;
  } rows[] = {
      {"no list", -1, -1, {}, {}, {}, {}, 1, 0, about_ins_idle, about_msg_no_net, ""},
      {"list without a release number", -1, B + 5, lin_final, lin_beta, {}, {}, 1, 0, about_ins_idle, about_msg_no_net, ""},
      {"same build", B, -1, lin_final, {}, {}, {}, 1, 0, about_ins_idle, about_msg_up_to_date, ""},
      {"newer release", B + 1, -1, lin_final, {}, mac, {}, 0, 0, about_ins_fetch, "", "/final.zip"},
      {"newer release, Mac line only", B + 1, -1, {}, {}, mac, mac, 0, 0, about_ins_idle, about_msg_newer_release_web, ""},
      {"newer release, server without path", B + 1, -1, {"lin.example", ""}, {}, {}, {}, 0, 0, about_ins_idle,
       about_msg_newer_release_web, ""},
      {"newer release, path without a leading slash", B + 1, -1, {"lin.example", "final.zip"}, {}, {}, {}, 0, 0,
       about_ins_idle, about_msg_newer_release_web, ""},
      {"newer release, server ending in a slash", B + 1, -1, {"lin.example/", "/final.zip"}, {}, {}, {}, 0, 0,
       about_ins_idle, about_msg_newer_release_web, ""},
      {"beta build, no newer beta", B - 10, B, lin_final, lin_beta, {}, {}, 1, 0, about_ins_idle, about_msg_latest_beta, ""},
      {"beta build, no beta number", B - 10, -1, lin_final, lin_beta, {}, {}, 1, 0, about_ins_idle, about_msg_latest_beta, ""},
      {"beta build, newer beta", B - 10, B + 2, lin_final, lin_beta, {}, {}, 0, 1, about_ins_fetch, "", "/beta.zip"},
      {"newer beta, only the release line", B - 10, B + 2, lin_final, {}, {}, mac, 0, 1, about_ins_idle,
       about_msg_newer_beta_web, ""},
  };
  for (const row& r : rows) {
    about_list l;
    l.version_final = r.final_v;
    l.version_beta = r.beta_v;
    l.final_lin = r.fl;
    l.beta_lin = r.bl;
    l.final_mac = r.fm;
    l.beta_mac = r.bm;
    about_decision d = about_decide(l, B);
    EXPECT_EQ(d.is_latest, r.latest) << r.what;
    EXPECT_EQ(d.is_beta, r.beta) << r.what;
    EXPECT_EQ(d.ins_state, r.state) << r.what;
    EXPECT_EQ(d.err_msg, r.msg) << r.what;
    if (r.state == about_ins_fetch) {
      EXPECT_EQ(d.installer.path, r.path) << r.what;
      EXPECT_EQ(d.installer.server, "lin.example") << r.what;
    }
  }
}

TEST(AboutProgress, PercentagesIn64BitsAndNoneWithoutALength) {
  struct row {
    int64_t received, length;
    std::string text;
  } rows[] = {
      {0, -1, "Downloading the installer..."},
      {5000, -1, "Downloading the installer..."},
      {0, 0, "Downloading the installer..."},
      {10, 0, "Downloading the installer..."},
      {0, 200, "Downloading the installer...0% complete"},
      {199, 200, "Downloading the installer...99% complete"},
      {200, 200, "Downloading the installer...100% complete"},
      // 30 000 000 x 100 does not fit 32 bits.
      {30000000, 60000000, "Downloading the installer...50% complete"},
      {int64_t(3) << 40, int64_t(4) << 40, "Downloading the installer...75% complete"},
  };
  for (const row& r : rows) EXPECT_EQ(about_progress_text(r.received, r.length), r.text) << r.received << "/" << r.length;
}

TEST(AboutMessages, ErrorLinesNameTheCode) {
  EXPECT_EQ(about_unzip_error(ERR_ZIP_OPEN), "There was an error unzipping the installer: " + error_str(ERR_ZIP_OPEN) +
                                                 " (20001)");
  EXPECT_EQ(about_launch_error(EACCES), "There was an error launching the installer: " + error_str(EACCES) + " (" +
                                            std::to_string(EACCES) + ")");
}

TEST_F(AboutFiles, FreshFolderNeverReusesOne) {
  int err = 0;
  const std::string a = about_fresh_folder(dir_, &err);
  EXPECT_EQ(a, dir_ + "Volarium Installer Update/");
  write("Volarium Installer Update 2", "a file in the way");
  const std::string b = about_fresh_folder(dir_, &err);
  EXPECT_EQ(b, dir_ + "Volarium Installer Update 3/");
  struct stat st;
  ASSERT_EQ(stat(b.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(about_fresh_folder(dir_ + "no such folder/", &err), "");
  EXPECT_EQ(err, ENOENT);
}

TEST_F(AboutFiles, OnlyARegularFileAtTheTopIsLaunched) {
  write("setup.sh", "#!/bin/sh\n");
  fs::create_directory(dir_ + "Installer.app");
  write("Installer.app/run", "x");
  fs::create_symlink("/bin/sh", dir_ + "link");
  fs::create_directory(dir_ + "sub");
  write("sub/inner", "x");
  struct row {
    std::string entry;
    int code;
  } rows[] = {
      {"setup.sh", 0},
      {"Installer.app/", EISDIR},
      {"Installer.app", EISDIR},
      {"link", ENOEXEC},
      {"sub/inner", ERR_UNSAFE_NAME},
      {"../setup.sh", ERR_UNSAFE_NAME},
      {"..", ERR_UNSAFE_NAME},
      {".", ERR_UNSAFE_NAME},
      {"", ERR_UNSAFE_NAME},
      {"/bin/sh", ERR_UNSAFE_NAME},
      {"absent", ENOENT},
  };
  for (const row& r : rows) {
    std::string path = "untouched";
    EXPECT_EQ(about_launch_target(dir_, r.entry, &path), r.code) << r.entry;
    EXPECT_EQ(path, r.code == 0 ? dir_ + r.entry : "untouched") << r.entry;
  }
}

}  // namespace

namespace {
TEST(AboutUrlDeathTest, OverlongUrlIsFatal) {
  EXPECT_EXIT(go_to_URL("http://" + std::string(493, 'a')), testing::ExitedWithCode(1), "String too long!");
}
}  // namespace
