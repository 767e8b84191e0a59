// The network edition's install steps: archives come over HTTP from loopback servers, several
// streams at once, moving to another server when one fails, and giving up on a file that every
// server fails instead of retrying it for ever.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "alert_sink.h"
#include "engine/install.h"
#include "engine/master.h"
#include "files/md5.h"
#include "files/zip.h"
#include "foundation/globals.h"
#include "foundation/xtim.h"
#include "loopback_server.h"
#include "net/http.h"
#include "sample_disc.h"

namespace fs = std::filesystem;

namespace {
const std::string kDiscName = "Volarium 9.00 Beta-25";

std::string url_decode(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// Serves the files under root for "GET /path"; anything else is 404.
LoopbackServer::handler_fn file_server(const std::string& root) {
  return [root](const std::string& request) {
    size_t a = request.find(' '), b = request.find(' ', a + 1);
    std::string path = url_decode(request.substr(a + 1, b - a - 1));
    std::ifstream in(root + path, std::ios::binary);
    if (path.find("..") != std::string::npos || !in)
      return simple_reply("HTTP/1.1 404 Not Found", "Content-Length: 0\r\n", "");
    std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return simple_reply("HTTP/1.1 200 OK", "Content-Length: " + std::to_string(body.size()) + "\r\n", body);
  };
}

scripted_reply refuse_everything(const std::string&) {
  return simple_reply("HTTP/1.1 503 Service Unavailable", "Content-Length: 0\r\n", "");
}

class NetInstall : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = fs::temp_directory_path() / ("volarium-net-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    master_ = (root_ / "master").string() + "/";
    sample::make_master(master_, 1);
    AlertSink sink;
    disc_ = (root_ / "disc").string() + "/";
    sample::build_disc(master_, disc_, 1, 90025, "/none");
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }

  void SetUp() override {
    stg = stg_struct{};
    stg[STG_target_os] = 3;
    stg[STG_rename_folder] = 1;
    xtim.act_time = 0;
    const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    temp_path = (root_ / ("tmp-" + name)).string() + "/";
    fs::create_directories(temp_path);
    dest_dir_path = (root_ / ("dest-" + name)).string() + "/Volarium 9/";
    fs::create_directories(fs::path(dest_dir_path).parent_path().parent_path());
    install_name = kDiscName;
    ASSERT_EQ(zip_to_file(disc_ + kDiscName + "/directory.txt.zip", temp_path, nullptr, 0), 0);
    ASSERT_EQ(read_directory(temp_path + "directory.txt", "Scanning"), 3);
    ASSERT_TRUE(choose_files());
    make_dirs();
  }

  // Install steps until the end, with the frame clock moving on; false when it never ended.
  static bool run_install() {
    next.reset(xtim.act_time);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline) {
      if (grab_files() == 1) return true;
      xtim.act_time += 0.001f;
      usleep(100);
    }
    return false;
  }

  static fs::path root_;
  static std::string master_, disc_;
};
fs::path NetInstall::root_;
std::string NetInstall::master_, NetInstall::disc_;
}  // namespace

TEST_F(NetInstall, TwoServersOneFailingEveryRequest) {
  LoopbackServer bad, good;
  std::string why;
  ASSERT_TRUE(bad.start(80, refuse_everything, &why)) << why;
  ASSERT_TRUE(good.start(80, file_server(disc_), &why)) << why;
  server_name[0] = bad.address();
  server_name[1] = good.address();
  server_path[0] = server_path[1] = "/" + kDiscName + "/";
  stg[STG_server_count] = 2;
  stg[STG_server_choice] = 0;  // start on the failing one

  AlertSink sink;
  ASSERT_TRUE(run_install());
  EXPECT_EQ(stg[STG_error], 0);
  EXPECT_EQ(sink.count(), 0u);
  EXPECT_GT(bad.connections(), 0);

  int checked = 0;
  for (const file_history_struct& h : sim_info) {
    const file_version_struct& v = h.versions.back();
    if (!(v.platform == 0 || v.platform == 3 || v.platform == 6)) continue;
    if (v.path.find("900 red terrain") != std::string::npos) continue;
    std::string sig;
    ASSERT_EQ(calc_file_md5(dest_dir_path + v.path.substr(v.path.find('/') + 1), sig), 0) << v.path;
    EXPECT_EQ(sig, v.sig_want) << v.path;
    ++checked;
  }
  EXPECT_GT(checked, 200);
  // Downloaded archives are removed once unpacked.
  for (int s = 0; s < 4; ++s) {
    EXPECT_FALSE(fs::exists(temp_path + std::to_string(s) + ".zip"));
    EXPECT_FALSE(fs::exists(temp_path + std::to_string(s) + ".7z"));
  }
}

TEST_F(NetInstall, AFileEveryServerFailsStopsTheInstallation) {
  LoopbackServer bad;
  std::string why;
  ASSERT_TRUE(bad.start(80, refuse_everything, &why)) << why;
  server_name[0] = bad.address();
  server_path[0] = "/" + kDiscName + "/";
  stg[STG_server_count] = 1;
  stg[STG_server_choice] = 0;

  AlertSink sink;
  ASSERT_TRUE(run_install()) << "retries never ended";
  EXPECT_EQ(stg[STG_error], 1);
  ASSERT_GE(sink.count(), 1u);
  const recorded_alert first = sink.alerts()[0];
  EXPECT_EQ(first.l1, "The installer cannot download a file.");
  EXPECT_NE(first.l3.find(".zip"), std::string::npos) << first.l3;
  // Nothing was unpacked from a failed download.
  EXPECT_FALSE(fs::exists(dest_dir_path + "Resources/text/English/Volarium.txt"));
}

TEST(NetFormat, NewerListFormatEndsTheProgram) {
  const fs::path dir = fs::temp_directory_path() / ("volarium-newfmt-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string list = (dir / "directory.txt").string();
  std::ofstream(list) << "I\n901 version\nINSTALLER\n\n";
  app_done = 0;
  stg[STG_run_state] = 0;
  AlertSink sink;
  EXPECT_EQ(read_directory(list, "Scanning"), 2);
  ASSERT_EQ(sink.count(), 1u);
  EXPECT_EQ(sink.alerts()[0].l2, "In other words, you need to get a new installer!");
  EXPECT_EQ(sink.alerts()[0].l4, list);
  EXPECT_EQ(app_done, 1);
  EXPECT_EQ(stg[STG_run_state], 2);
  fs::remove_all(dir);
}
