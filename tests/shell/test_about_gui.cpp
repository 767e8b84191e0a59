// The About box in a real window (Xvfb) against HTTP servers on loopback addresses started here:
// the update button downloads a zip holding a script, which is unpacked into a fresh desktop
// folder and started; a missing list is asked for once; a download without a length shows no
// percentage. Skipped without a display. Only a rightly signed update is unpacked.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <string>

#include "driver.h"
#include "files/zip.h"
#include "foundation/globals.h"
#include "foundation/hl_types.h"
#include "loopback_server.h"
#include "shell/about_logic.h"

namespace fs = std::filesystem;

namespace {

class AboutGui : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* d = std::getenv("DISPLAY");
    if (!d || !*d) GTEST_SKIP() << "no display";
    char tmpl[] = "/tmp/about_gui_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    home_ = tmpl;
    report_ = home_ + "/report.txt";
    app_path.clear();
    // Our own key pair, made with the publishers' tool; the demo takes its public half.
    key_ = e2e::run(e2e::quote(SIGN_UPDATE_PATH) + " --new-key " + e2e::quote(home_ + "/update.key"));
    key_.resize(64);
  }
  void TearDown() override {
    run_.reset();
    if (server_) server_->stop();
    if (!mounted_.empty()) ::umount2(mounted_.c_str(), MNT_DETACH);
    std::error_code ec;
    if (!home_.empty()) fs::remove_all(home_, ec);
  }

  // The list the server gives: a newer release, its Linux archive on this server.
  std::string list_text() const {
    return "I\n820 version\nSERVERS\n\nFINAL Volarium 9.50\nFINAL_VERSION " + std::to_string(build_number + 100) +
           "\nFINAL_INSTALLER_MAC " + server_->address() + " /mac/installer.zip\nFINAL_INSTALLER_LIN " +
           server_->address() + " /lin/installer.zip\n";
  }
  // A zip holding a script that writes its arguments and its folder to a marker beside itself.
  std::string script_zip() {
    const std::string stage = home_ + "/stage/";
    fs::create_directories(stage);
    {
      std::ofstream s(stage + "update.sh");
      s << "#!/bin/sh\n"
        << "cd \"$(dirname \"$0\")\"\n"
        << "{ echo \"args $#\"; for a in \"$@\"; do echo \"arg $a\"; done; echo \"folder $(pwd)\"; } > marker.txt\n";
    }
    chmod((stage + "update.sh").c_str(), 0755);
    EXPECT_EQ(file_to_zip(stage + "update.sh", stage + "update.zip"), 0);
    return e2e::read_text(stage + "update.zip");
  }
  void serve(LoopbackServer::handler_fn handler) {
    server_ = std::make_unique<LoopbackServer>();
    std::string why;
    ASSERT_TRUE(server_->start(80, std::move(handler), &why)) << why;
  }
  std::string sign(const std::string& bytes) {
    std::ofstream(home_ + "/signed", std::ios::binary) << bytes;
    e2e::run(e2e::quote(SIGN_UPDATE_PATH) + " " + e2e::quote(home_ + "/update.key") + " " + e2e::quote(home_ + "/signed"));
    return e2e::read_text(home_ + "/signed.sig");
  }
  void start_demo(const std::vector<std::pair<std::string, std::string>>& env = {}) {
    run_ = std::make_unique<e2e::installer_run>(
        ABOUT_DEMO_PATH,
        std::vector<std::string>{"--fps_test", "--about_server=" + server_->address(), "--demo_report=" + report_,
                                 "--about_key=" + key_},
        home_, env);
    if (!run_->find_window()) {
      std::string ids = e2e::run("xdotool search --name Volarium getwindowgeometry %@", 5);
      ADD_FAILURE() << "no window: " << ids << "\n" << run_->output() << "\n" << report();
    }
  }
  std::string report() const { return e2e::read_text(report_); }
  bool wait_report(const std::string& text, double seconds) {
    return e2e::wait_for(seconds, [&] { return report().find(text) != std::string::npos; });
  }
  // The update button's window position from the report.
  bool button_at(int* x, int* y) {
    std::string r = report();
    size_t at = r.find(" button 1 at ");
    if (at == std::string::npos) return false;
    std::istringstream in(r.substr(at + 13));
    return static_cast<bool>(in >> *x >> *y);
  }
  // Clicks the update button until `done` holds (a click may land before the window takes it).
  template <class Done>
  void click_update_until(Done done) {
    ASSERT_TRUE(wait_report(" button 1 at ", 30)) << report();
    int x = 0, y = 0;
    ASSERT_TRUE(button_at(&x, &y));
    for (int attempt = 0; attempt < 5 && !done(); ++attempt) {
      run_->click(x, y);
      e2e::wait_for(5, done);
    }
  }
  // Clicks the update button until the download has started.
  void click_update() {
    click_update_until([&] { return report().find("state 2") != std::string::npos; });
    ASSERT_NE(report().find("state 2"), std::string::npos) << report();
  }
  static scripted_reply ok(const std::string& body) {
    return simple_reply("HTTP/1.1 200 OK", "Content-Length: " + std::to_string(body.size()) + "\r\n", body);
  }
  // A server with the list, `sig` for signatures and `archive` for every other request.
  void serve_archive(scripted_reply archive, scripted_reply sig) {
    serve([this, archive, sig](const std::string& request) {
      if (request.rfind("GET /serverlist.txt ", 0) == 0) return ok(list_text());
      return request.find(".sig HTTP/1.1") != std::string::npos ? sig : archive;
    });
  }
  int requests_for(const std::string& path) const {
    int n = 0;
    for (const std::string& q : server_->requests())
      if (q.rfind("GET " + path + " ", 0) == 0) ++n;
    return n;
  }

  std::string home_, report_, key_, mounted_;
  std::unique_ptr<LoopbackServer> server_;
  std::unique_ptr<e2e::installer_run> run_;
};

TEST_F(AboutGui, UpdateDownloadsUnpacksAndStartsTheNewInstaller) {
  const std::string zip = script_zip();
  serve_archive(ok(zip), ok(sign(zip)));
  start_demo();
  ASSERT_TRUE(wait_report(" button 1 at ", 30)) << report();
  EXPECT_NE(report().find("The current version of Volarium at is now Volarium 9.50."), std::string::npos) << report();
  const std::string marker = home_ + "/Desktop/Volarium Installer Update/marker.txt";
  ASSERT_NO_FATAL_FAILURE(click_update_until([&] { return fs::exists(marker); }));
  ASSERT_TRUE(e2e::wait_for(20, [&] { return e2e::read_text(marker).find("folder ") != std::string::npos; }))
      << report() << run_->output();
  // Starting the new installer ends this one.
  EXPECT_EQ(run_->wait_exit(30), 1);
  const std::string m = e2e::read_text(marker);
  EXPECT_NE(m.find("args 0\n"), std::string::npos) << m;
  EXPECT_NE(m.find("folder " + home_ + "/Desktop/Volarium Installer Update\n"), std::string::npos) << m;
  EXPECT_EQ(requests_for("/serverlist.txt"), 1);
  EXPECT_EQ(requests_for("/lin/installer.zip"), 1);
  EXPECT_EQ(requests_for("/lin/installer.zip.sig"), 1);
  EXPECT_EQ(requests_for("/mac/installer.zip"), 0);
  EXPECT_EQ(fs::status(home_ + "/Desktop/Volarium Installer Update/update.sh").permissions() & fs::perms::owner_exec,
            fs::perms::owner_exec);
}

TEST_F(AboutGui, MissingListIsAskedForOnceAndShowsTheFailure) {
  serve([](const std::string&) { return simple_reply("HTTP/1.1 404 Not Found", "Content-Length: 9\r\n", "not found"); });
  start_demo();
  ASSERT_TRUE(wait_report("list_done 1", 30)) << report();
  // Plenty of frames later, still the one request and the same state.
  const std::string settled = report();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_EQ(server_->requests().size(), 1u);
  EXPECT_EQ(report(), settled) << "the screen kept changing";
  EXPECT_NE(report().find("state 4 list_done 1 read 0 button 0 | The net could not be reached to find the latest "
                          "version of Volarium. | Can't connect to the net to find latest version. | "),
            std::string::npos)
      << report();
}

TEST_F(AboutGui, DownloadWithoutLengthShowsNoPercentage) {
  scripted_reply r;
  r.chunks.push_back({0, "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\n\r\n" + std::string(3000, 'z')});
  r.hold_open = true;
  serve_archive(r, ok(sign("")));
  start_demo();
  ASSERT_NO_FATAL_FAILURE(click_update());
  ASSERT_TRUE(wait_report("| Downloading the installer...\n", 20)) << report();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(report().find("% complete"), std::string::npos) << report();
  EXPECT_TRUE(run_->running());
}

// Each failure after the click shows its message once, and the program goes on: no second
// request, no second folder.
TEST_F(AboutGui, FailedUpdatesStopWithTheirMessage) {
  const std::string stage = home_ + "/stage/";
  fs::create_directories(stage + "Installer.app");
  std::ofstream(stage + "Installer.app/run") << "#!/bin/sh\ntouch ran\n";
  ASSERT_EQ(std::system(("cd '" + stage + "' && zip -q -r folder.zip Installer.app").c_str()), 0);
  const std::string folder_zip = e2e::read_text(stage + "folder.zip"), zip = script_zip(), junk = "no zip at all";
  const scripted_reply missing = simple_reply("HTTP/1.1 404 Not Found", "Content-Length: 9\r\n", "not found"),
                       any_sig = ok(sign(""));  // well formed, of other bytes
  const std::string unverified = std::string("| ") + about_msg_unverified + " |";
  struct { const char* what; scripted_reply reply, sig; std::string message; bool unpacked; int fetched; } rows[] = {
      {"no archive there", missing, any_sig, "| I was unable to download the installer from the net. |", false, 1},
      {"no zip archive", ok(junk), ok(sign(junk)), "There was an error unzipping the installer: ", false, 1},
      {"a folder first in the archive", ok(folder_zip), ok(sign(folder_zip)),
       "There was an error launching the installer: Is a directory", true, 1},
      {"unsigned", ok(zip), missing, unverified, false, 0},
      {"wrongly signed", ok(zip), ok(sign(folder_zip)), unverified, false, 1},
      {"a malformed signature", ok(zip), ok(sign(zip).substr(1)), unverified, false, 1},
      {"announced past the bound", simple_reply("HTTP/1.1 200 OK", "Content-Length: 300000000\r\n", ""), any_sig,
       "| " + about_stopped_error("installer", EFBIG) + " |", false, 1},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    run_.reset();
    if (server_) server_->stop();
    fs::remove(report_);
    fs::remove_all(home_ + "/Desktop");
    serve_archive(r.reply, r.sig);
    start_demo();
    ASSERT_NO_FATAL_FAILURE(click_update());
    ASSERT_TRUE(wait_report(r.message, 20)) << report();
    const std::string settled = report();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(report(), settled) << "the screen kept changing";
    EXPECT_NE(settled.find("state 4 "), std::string::npos) << settled;
    EXPECT_EQ(requests_for("/serverlist.txt"), 1);
    EXPECT_EQ(requests_for("/lin/installer.zip"), r.fetched);
    EXPECT_EQ(fs::is_directory(home_ + "/Desktop/Volarium Installer Update"), r.unpacked);
    EXPECT_FALSE(fs::exists(home_ + "/Desktop/Volarium Installer Update 2"));
    EXPECT_TRUE(run_->running());
  }
}

// Endless downloads stop at their bound, say so and leave no file: the list, then the installer
// into a temporary folder of 1 MB (when this test may mount one).
TEST_F(AboutGui, EndlessDownloadsStopAtTheirBound) {
  const scripted_reply endless{{{0, "HTTP/1.1 200 OK\r\n\r\n" + std::string(3 << 20, '#')}}, true};
  serve([endless](const std::string&) { return endless; });
  start_demo();
  ASSERT_TRUE(wait_report("| " + about_stopped_error("list of versions", EFBIG) + " |", 30)) << report();
  mounted_ = home_ + "/small_tmp";
  fs::create_directory(mounted_);
  if (::mount("tmpfs", mounted_.c_str(), "tmpfs", 0, "size=1m") != 0) GTEST_SKIP() << "no tmpfs to fill";
  serve_archive(endless, ok(sign("")));
  start_demo({{"TMPDIR", mounted_}});
  ASSERT_NO_FATAL_FAILURE(click_update());
  EXPECT_TRUE(wait_report("| " + about_stopped_error("installer", ENOSPC) + " |", 30)) << report();
  for (const auto& e : fs::recursive_directory_iterator(mounted_)) EXPECT_NE(e.path().filename(), "installer.zip");
}

}  // namespace
