// The installer program on the sample discs, in its window, clicked through like a user would:
// a fresh installation, the same disc again, a Decline, and an update disc over an installation
// with a file the user changed, answered each way.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "alert_sink.h"
#include "driver.h"
#include "engine/install.h"
#include "files/md5.h"
#include "files/zip.h"
#include "foundation/globals.h"
#include "installer/disc.h"
#include "installer/front.h"
#include "installer/screen_rects.h"
#include "sample_disc.h"
#include "scratch_dir.h"
#include "shell/hl_mnw.h"

namespace fs = std::filesystem;
using e2e::installer_run;
using e2e::shot;

namespace {
const std::string kDiscName = "Volarium 9.00 Beta-25";
const std::string kChanged = "Aircraft/General Aviation/Kestrel 03/k3.acf";

// Where the screen's controls are, in window pixels from the lower-left corner.
struct rect {
  int x, y, w, h;
  int cx() const { return x + w / 2; }
  int cy() const { return y + h / 2; }
};
// A sub-window of the 1024 x 768 program window, where the shell centres it.
rect sub_window(int id) {
  float x = 0, y = 0, w = 0, h = 0;
  ZARIRU_wind_rect(id, 1024, 768, 1.0f, &x, &y, &w, &h);
  return {static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h)};
}
// A button of the screen, in window pixels, offset by the origin of its sub-window.
rect on_screen(const screen_rect& r, const rect& origin = {0, 0, 0, 0}) {
  return {origin.x + static_cast<int>(r.x), origin.y + static_cast<int>(r.y), static_cast<int>(r.w),
          static_cast<int>(r.h)};
}
const rect kInstall = on_screen(kInstallButton.at);
const rect kQuit = on_screen(kQuitButton.at);
const rect kDestination = on_screen(kDestinationButton.at);
const rect kEula = sub_window(kEulaWindow);
const rect kDecline = on_screen(kDeclineButton.at, kEula);
const rect kAccept = on_screen(kAcceptButton.at, kEula);
const rect kQuestion = sub_window(kQuestionWindow);
// A strip of the question's sub-window outside the agreement's.
const rect kQuestionOnly{kQuestion.x + 4, kQuestion.y + 9, 90, 130};
// Centres of the question's buttons by answer (1 act, 2 keep, 3 cancel, 4 act all, 5 keep all).
const answer_button& answer(int a) {
  for (const answer_button& b : kQuestionButtons)
    if (b.answer == a) return b;
  return kQuestionButtons[0];
}
int answer_x(int a) { return kQuestion.x + static_cast<int>(answer(a).x); }
int answer_y(int a) { return kQuestion.y + static_cast<int>(answer(a).y); }

std::string md5_of(const std::string& path) {
  std::string sig;
  return calc_file_md5(path, sig) == 0 ? sig : "NONE";
}

std::map<std::string, std::string> snapshot(const std::string& root) {
  std::map<std::string, std::string> out;
  if (!fs::exists(root)) return out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = fs::relative(it->path(), root).string();
    if (it->is_symlink() || it->is_regular_file())
      out[rel] = md5_of(it->path().string());
    else
      out[rel + "/"] = "";
  }
  return out;
}

// Enabled, the Install button is tinted green; disabled, red.
int install_tint(const shot& s) {
  if (!s.ok()) return 0;
  double m[3];
  s.mean(kInstall.x + 4, kInstall.y + 4, kInstall.w - 8, kInstall.h - 8, m);
  // The button face is light; the background behind it is dark.
  if ((m[0] + m[1] + m[2]) / 3 < 120) return 0;
  if (m[1] > m[0] + 4) return 1;
  if (m[0] > m[1] + 4) return 2;
  return 0;
}

// Dark text pixels along message line i (0 the first) of the light box under the buttons.
int message_ink(const shot& s, int i) {
  const int x0 = static_cast<int>(kMessageX), base = static_cast<int>(kMessageY - kMessageStep * i);
  int n = 0;
  for (int y = base - 4; y < base + 6; ++y)
    for (int x = x0; x < x0 + 456; ++x) {
      const int row = s.h - 1 - y;
      if (x >= s.w || row < 0 || row >= s.h) continue;
      const unsigned char* p = &s.rgb[(static_cast<size_t>(row) * s.w + x) * 3];
      if (p[0] + p[1] + p[2] < 3 * 150) ++n;
    }
  return n;
}

class InstallerRuns : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* display = std::getenv("DISPLAY");
    have_display_ = display && *display && !e2e::run("command -v xdotool && command -v import").empty();
    scratch_ = std::make_unique<test_support::Scratch>("volarium-e2e");
    root_ = scratch_->path();
    AlertSink sink;  // the master mode's closing reminder
    const sample::two_releases r = sample::make_two_releases(root_);
    master1_ = r.master1;
    master2_ = r.master2;
    disc1_ = r.disc1;
    disc2_ = r.disc2;
  }
  static void TearDownTestSuite() {
    scratch_.reset();
  }

  void SetUp() override {
    if (!have_display_) GTEST_SKIP() << "needs an X display (run under xvfb-run) with xdotool and import";
    binary_ = e2e::build_dir() + "/src/apps/volarium-installer";
    ASSERT_TRUE(fs::exists(binary_)) << binary_;
    name_ = testing::UnitTest::GetInstance()->current_test_info()->name();
    work_ = (root_ / name_).string() + "/";
    fs::create_directories(work_);
  }

  std::unique_ptr<installer_run> start(const std::string& dest, const std::string& disc, const std::string& tag,
                                       const std::vector<std::pair<std::string, std::string>>& env = {}) {
    auto r = std::make_unique<installer_run>(binary_, std::vector<std::string>{"-path", dest, "--disc=" + disc, "--fps_test"},
                                             work_ + "home-" + tag, env);
    EXPECT_TRUE(r->find_window()) << "no window; output:\n" << r->output();
    return r;
  }

  // Waits for the scan to enable Install; the screen once it has settled (a screenshot taken
  // while a frame is being shown can hold parts of two frames). The ceiling is generous: a
  // sanitizer build on a busy machine signs the scan test's 3 GB file slowly.
  static shot wait_install_enabled(installer_run& r) {
    shot s;
    EXPECT_TRUE(e2e::wait_for(240, [&] {
      const shot a = r.grab();
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      s = r.grab();
      return (install_tint(s) == 1 && a.diff(s, 0, 0, 1024, 768) < 0.5) || !r.running();
    }));
    EXPECT_EQ(install_tint(s), 1) << "Install never became enabled";
    return s;
  }

  // The window has settled on a screen that differs from base inside the rectangle.
  static bool settled_on_other(installer_run& r, const shot& base, const rect& where, shot* seen = nullptr) {
    const shot a = r.grab();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const shot b = r.grab();
    if (seen) *seen = b;
    return b.ok() && a.diff(b, 0, 0, 1024, 768) < 0.5 && b.diff(base, where.x, where.y, where.w, where.h) > 8.0;
  }

  // Clicks until the program shows that it took the click: on a loaded machine a click that
  // arrives in the same frame as the pointer's move lands where the pointer was.
  static bool click_until(installer_run& r, int x, int y, double per_try, const std::function<bool()>& took) {
    for (int i = 0; i < 3; ++i) {
      r.click(x, y);
      if (e2e::wait_for(per_try, took)) return true;
    }
    return false;
  }

  // Clicks Install and waits for the agreement over the idle screen base.
  static bool open_agreement(installer_run& r, const shot& base, shot* agreement = nullptr) {
    const rect where{kEula.x + 20, kEula.y + 60, kEula.w - 40, 160};
    return click_until(r, kInstall.cx(), kInstall.cy(), 10, [&] { return settled_on_other(r, base, where, agreement); });
  }

  // Clicks an agreement button and waits for the agreement to go.
  static bool leave_agreement(installer_run& r, const rect& button, const shot& agreement) {
    return click_until(r, button.cx(), button.cy(), 8, [&] {
      return r.grab().diff(agreement, kEula.x, kEula.y, kEula.w, kEula.h) > 8.0 || !r.running();
    });
  }

  // Waits for the completion alert in the log.
  static bool wait_complete(installer_run& r) {
    return e2e::wait_for(180, [&] {
      return r.log().find("OK I have now installed this DVD!") != std::string::npos || !r.running();
    }) && r.running();
  }

  // The log says once why nothing is installed, and the screen, Install disabled, shows it.
  static bool refused(installer_run& r, const std::string& said, const std::string& artefact) {
    shot s;
    const bool shown = e2e::wait_for(60, [&] {
      const std::string log = r.log();
      return log.find(said) != std::string::npos && install_tint(s = r.grab()) != 1 && message_ink(s, 1) > 100;
    });
    r.save(artefact);
    const std::string log = r.log();
    EXPECT_EQ(log.find(said), log.rfind(said)) << log;
    EXPECT_EQ(log.find("No such file or directory"), std::string::npos) << log;
    return shown;
  }

  static int quit(installer_run& r) {
    click_until(r, kQuit.cx(), kQuit.cy(), 10, [&] { return !r.running(); });
    return r.wait_exit(5);
  }

  // Every file the disc wants is in dest with the list's signature, and a scan finds no work.
  static void verify_against_disc(const std::string& disc, const std::string& dest) {
    AlertSink sink;
    stg = stg_struct{};
    stg[STG_target_os] = 3;
    stg[STG_rename_folder] = 1;
    dvd_path = disc;
    install_name = kDiscName;
    dest_dir_path = dest;
    temp_path = (root_ / ("list-" + std::to_string(rand()))).string() + "/";
    fs::create_directories(temp_path);
    ASSERT_EQ(zip_to_file(disc + kDiscName + "/directory.txt.zip", temp_path, nullptr, 0), 0);
    ASSERT_EQ(read_directory(temp_path + "directory.txt", "Checking"), 3);
    int checked = 0;
    for (const file_history_struct& h : sim_info) {
      const file_version_struct& v = h.versions.back();
      const bool wanted = v.platform == 0 || v.platform == 3 || v.platform == 6;
      if (!wanted || v.sig_want == "GONE") continue;
      const std::string local = dest + v.path.substr(v.path.find('/') + 1);
      EXPECT_EQ(md5_of(local), v.sig_want) << local;
      ++checked;
    }
    EXPECT_GT(checked, 200);
  }

  // Installs disc 1 into dest without the window (the engine's own road), as a starting point.
  static std::string engine_install(const std::string& dest) {
    AlertSink sink;
    stg = stg_struct{};
    stg[STG_target_os] = 3;
    stg[STG_rename_folder] = 1;
    stg[STG_phase] = 3;
    dvd_path = disc1_;
    install_name = kDiscName;
    dest_dir_path = dest;
    temp_path = (root_ / ("list-" + std::to_string(rand()))).string() + "/";
    fs::create_directories(temp_path);
    EXPECT_EQ(zip_to_file(disc1_ + kDiscName + "/directory.txt.zip", temp_path, nullptr, 0), 0);
    EXPECT_EQ(read_directory(temp_path + "directory.txt", "Scanning"), 3);
    EXPECT_EQ(choose_files(), 1);
    make_dirs();
    next.reset(0);
    for (int i = 0; i < 100000 && grab_files() != 1; ++i) {
    }
    EXPECT_EQ(stg[STG_error], 0);
    return dest_dir_path;
  }

  static bool have_display_;
  static std::unique_ptr<test_support::Scratch> scratch_;
  static fs::path root_;
  static std::string master1_, master2_, disc1_, disc2_;
  std::string binary_, name_, work_;
};
bool InstallerRuns::have_display_ = false;
std::unique_ptr<test_support::Scratch> InstallerRuns::scratch_;
fs::path InstallerRuns::root_;
std::string InstallerRuns::master1_, InstallerRuns::master2_, InstallerRuns::disc1_, InstallerRuns::disc2_;
}  // namespace

TEST_F(InstallerRuns, FreshInstallThenTheSameDiscAgain) {
  const std::string parent = work_ + "games/";
  fs::create_directories(parent);
  {
    auto r = start(parent + "Volarium 9", disc1_, "first");
    const shot base = wait_install_enabled(*r);
    r->save("01-ready-to-install");
    shot agreement;
    ASSERT_TRUE(open_agreement(*r, base, &agreement)) << r->output();
    r->save("02-agreement");
    ASSERT_TRUE(leave_agreement(*r, kAccept, agreement));
    // The installing screen, when a screenshot catches it (the sample installs in seconds).
    e2e::wait_for(15, [&] {
      const shot s = r->grab();
      double m[3];
      s.mean(140, 13, 8, 4, m);
      if (!(s.ok() && m[1] > m[0] + 40 && m[1] > 100)) return r->log().find("OK I have now") != std::string::npos;
      r->save("02b-installing");
      return true;
    });
    ASSERT_TRUE(wait_complete(*r)) << r->output();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    r->save("03-installation-complete");
    EXPECT_EQ(install_tint(r->grab()), 0) << "no Install button after the installation";
    EXPECT_EQ(quit(*r), 0) << r->output();
  }
  // Linux files were installed: the destination took the disc's name.
  const std::string dest = parent + kDiscName + "/";
  ASSERT_TRUE(fs::is_directory(dest));
  EXPECT_FALSE(fs::exists(parent + "Volarium 9"));
  verify_against_disc(disc1_, dest);
  EXPECT_EQ(scan_install_count, 0);
  EXPECT_EQ(scan_delete_count, 0);
  EXPECT_TRUE(fs::exists(dest + "volarium-x86_64"));

  // The same disc again: already installed, Install stays disabled and does nothing.
  const auto before = snapshot(dest);
  {
    auto r = start(dest, disc1_, "second");
    shot s;
    // The scan is done when the screen has settled with the Install button drawn and a second
    // message line: a scan's progress frame (no buttons) can hold still for seconds on a busy
    // machine, and the screen before the scan, looking for the disc, also shows a disabled
    // Install button, with one message line.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const bool scanned = e2e::wait_for(90, [&] {
      shot a = r->grab();
      std::this_thread::sleep_for(std::chrono::milliseconds(700));
      s = r->grab();
      return s.ok() && a.diff(s, 0, 0, 1024, 768) < 0.5 && install_tint(s) != 0 && message_ink(s, 1) > 100;
    });
    r->save("04-already-installed");
    ASSERT_TRUE(scanned) << "no settled screen after the scan; last seen: tint " << install_tint(s)
                         << ", second message line " << message_ink(s, 1) << " dark pixels";
    EXPECT_EQ(install_tint(s), 2);
    r->click(kInstall.cx(), kInstall.cy());
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_LT(r->grab().diff(s, kEula.x + 20, kEula.y + 60, kEula.w - 40, 160), 2.0) << "something opened";
    EXPECT_EQ(quit(*r), 0) << r->output();
  }
  EXPECT_EQ(snapshot(dest), before);
}

TEST_F(InstallerRuns, DeclineLeavesTheDestinationUntouched) {
  const std::string parent = work_ + "games/";
  fs::create_directories(parent);
  std::ofstream(parent + "keep.txt") << "mine";
  const auto before = snapshot(parent);
  auto r = start(parent + "Volarium 9", disc1_, "decline");
  const shot base = wait_install_enabled(*r);
  std::string last;
  auto back_to_idle = [&] {
    shot s = r->grab();
    const double d = s.diff(base, kEula.x + 20, kEula.y + 60, kEula.w - 40, 160);
    last = "tint " + std::to_string(install_tint(s)) + ", difference " + std::to_string(d);
    return install_tint(s) == 1 && d < 2.0;
  };

  // Return closes the agreement: declined.
  shot agreement;
  ASSERT_TRUE(open_agreement(*r, base, &agreement)) << r->output();
  bool closed = false;
  for (int i = 0; i < 3 && !closed; ++i) {
    r->key("Return");
    closed = e2e::wait_for(7, back_to_idle);
  }
  EXPECT_TRUE(closed) << "Return did not close the agreement: " << last;
  EXPECT_EQ(snapshot(parent), before);

  // Shown again on the next Install; Decline.
  ASSERT_TRUE(open_agreement(*r, base, &agreement)) << r->output();
  r->save("05-agreement-before-decline");
  ASSERT_TRUE(leave_agreement(*r, kDecline, agreement));
  const bool back = e2e::wait_for(20, back_to_idle);
  r->save("06-after-decline");
  ASSERT_TRUE(back) << last;
  EXPECT_EQ(quit(*r), 0) << r->output();
  EXPECT_EQ(snapshot(parent), before);
  EXPECT_FALSE(fs::exists(parent + "Volarium 9"));
}

TEST_F(InstallerRuns, ScanProgressShowsWhileTheDiskIsExamined) {
  // A listed file that takes seconds to sign (a large sparse file) holds the scan on screen.
  const std::string dest = work_ + "games/Volarium 9/";
  fs::create_directories(fs::path(dest + kChanged).parent_path());
  std::ofstream(dest + kChanged).close();
  fs::resize_file(dest + kChanged, 3ull << 30);
  auto r = start(dest, disc1_, "scan");
  // The bar's fill starts 30 pixels into the centred box, 35 pixels above its bottom.
  const int fill_x = (1024 - 512) / 2 + 32, fill_y = (768 - 138) / 2 + 35;
  shot seen;
  const bool shown = e2e::wait_for(60, [&] {
    seen = r->grab();
    double m[3];
    seen.mean(fill_x, fill_y - 1, 10, 3, m);
    return seen.ok() && m[1] > m[0] + 40 && m[1] > 100;
  });
  ASSERT_TRUE(shown) << "no scan progress box";
  r->save("00-scan-progress");
  // The screen behind the box is only the background: no Install or Quit button.
  EXPECT_EQ(install_tint(seen), 0);
  wait_install_enabled(*r);
  EXPECT_EQ(quit(*r), 0) << r->output();
}

TEST_F(InstallerRuns, DestinationButtonChoosesAnotherFolder) {
  // The desktop's folder chooser, replaced by one that answers with the folder named in a file
  // and notes each time it is asked.
  const std::string bin = work_ + "bin/";
  fs::create_directories(bin);
  std::ofstream(bin + "zenity") << "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$VOL_FAKE_ARGS\"\n"
                                   "echo ---- >> \"$VOL_FAKE_ARGS\"\ncat \"$VOL_FAKE_CHOICE\"\n";
  fs::permissions(bin + "zenity", fs::perms::owner_all);
  const std::string first = work_ + "first/", chosen = work_ + "chosen", second = work_ + "second";
  fs::create_directories(first);
  fs::create_directories(chosen);
  fs::create_directories(second);
  const std::string path_env = bin + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
  const std::string choice_file = work_ + "choice.txt";
  auto choose = [&](const std::string& folder) { std::ofstream(choice_file) << folder << "\n"; };
  auto times_asked = [](const std::string& args_file) {
    const std::string text = e2e::read_text(args_file);
    int n = 0;
    for (size_t at = text.find("----"); at != std::string::npos; at = text.find("----", at + 1)) ++n;
    return n;
  };
  {
    const std::string args_file = work_ + "args1.txt";
    choose(chosen);
    auto r = start(first + "Volarium 9", disc1_, "choose",
                   {{"PATH", path_env}, {"VOL_FAKE_CHOICE", choice_file}, {"VOL_FAKE_ARGS", args_file}});
    wait_install_enabled(*r);
    ASSERT_TRUE(click_until(*r, kDestination.cx(), kDestination.cy(), 8, [&] { return times_asked(args_file) == 1; }));
    const std::string args = e2e::read_text(args_file);
    EXPECT_NE(args.find("--directory"), std::string::npos) << args;
    EXPECT_NE(args.find("--title=Pick a folder to install Volarium to! Be sure to pick your existing folder if you already have one!"),
              std::string::npos) << args;
    EXPECT_NE(args.find("--filename=" + first + "Volarium 9/"), std::string::npos) << args;
    // The new folder is scanned, then installed into: a plain folder gets the disc's version folder.
    const shot base = wait_install_enabled(*r);
    r->save("09-after-choosing-a-folder");
    shot agreement;
    ASSERT_TRUE(open_agreement(*r, base, &agreement)) << r->output();
    ASSERT_TRUE(leave_agreement(*r, kAccept, agreement));
    ASSERT_TRUE(wait_complete(*r)) << r->output();

    // Another folder in the same run: accepted once, the agreement is not shown again.
    choose(second);
    ASSERT_TRUE(click_until(*r, kDestination.cx(), kDestination.cy(), 8, [&] { return times_asked(args_file) == 2; }));
    wait_install_enabled(*r);
    ASSERT_TRUE(click_until(*r, kInstall.cx(), kInstall.cy(), 8, [&] { return install_tint(r->grab()) == 0; }));
    EXPECT_TRUE(e2e::wait_for(120, [&] {
      const shot a = r->grab();
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      const shot b = r->grab();
      double fill[3];
      b.mean(140, 13, 8, 4, fill);
      return b.ok() && a.diff(b, 0, 0, 1024, 768) < 0.5 && install_tint(b) == 0 && !(fill[1] > fill[0] + 40);
    })) << "the second installation did not end";
    r->save("09b-second-installation-without-agreement");
    EXPECT_EQ(quit(*r), 0) << r->output();
  }
  EXPECT_TRUE(fs::is_empty(first));
  verify_against_disc(disc1_, chosen + "/" + kDiscName + "/");
  verify_against_disc(disc1_, second + "/" + kDiscName + "/");

  // Choosing the installation itself keeps it as the destination: already installed.
  {
    const std::string args_file = work_ + "args2.txt";
    choose(chosen + "/" + kDiscName);
    auto r = start(first + "Volarium 9", disc1_, "choose-again",
                   {{"PATH", path_env}, {"VOL_FAKE_CHOICE", choice_file}, {"VOL_FAKE_ARGS", args_file}});
    wait_install_enabled(*r);
    ASSERT_TRUE(click_until(*r, kDestination.cx(), kDestination.cy(), 8, [&] { return fs::exists(args_file); }));
    shot s;
    EXPECT_TRUE(e2e::wait_for(30, [&] {
      s = r->grab();
      return install_tint(s) == 2;
    })) << "Install stays enabled";
    r->save("10-chose-an-installation");
    EXPECT_EQ(quit(*r), 0) << r->output();
  }
  EXPECT_TRUE(fs::is_empty(first));
}

TEST_F(InstallerRuns, QuitRequestWhileTheAgreementShowsEndsTheProgram) {
  const std::string parent = work_ + "games/";
  fs::create_directories(parent);
  const std::string disc = work_ + "disc/";
  fs::copy(disc1_, disc);  // the version file alone: the version folder is still being copied
  auto r = start(parent + "Volarium 9", disc, "quit");
  const std::string why = "WARNING: The disc's version folder is missing: " + disc;
  EXPECT_TRUE(e2e::wait_for(60, [&] { return r->log().find(why) != std::string::npos; }) && r->running()) << r->log();
  fs::copy(disc1_ + kDiscName, work_ + "whole", fs::copy_options::recursive);
  fs::rename(work_ + "whole", disc + kDiscName);  // the copy done, the disc is used
  const shot base = wait_install_enabled(*r);
  EXPECT_EQ(r->log().find("Found the install disc"), r->log().rfind("Found the install disc")) << r->log();
  ASSERT_TRUE(open_agreement(*r, base)) << r->output();
  r->terminate();
  EXPECT_EQ(r->wait_exit(30), 0) << r->output();
  EXPECT_FALSE(fs::exists(parent + "Volarium 9"));
}

TEST_F(InstallerRuns, UpdateDiscAsksAboutTheChangedFileAndFollowsEachAnswer) {
  const std::string base_parent = work_ + "base/";
  fs::create_directories(base_parent);
  const std::string base_dest = engine_install(base_parent + "Volarium 9/");
  ASSERT_EQ(base_dest, base_parent + kDiscName + "/");
  std::ofstream(base_dest + kChanged, std::ios::binary) << "the user's own version";

  for (int answer = 1; answer <= 5; ++answer) {
    SCOPED_TRACE("answer " + std::to_string(answer));
    const std::string parent = work_ + "answer" + std::to_string(answer) + "/";
    fs::create_directories(parent);
    const std::string dest = parent + kDiscName + "/";
    fs::copy(base_dest, dest, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    const auto before = snapshot(dest);

    auto r = start(dest, disc2_, "answer" + std::to_string(answer));
    const shot base = wait_install_enabled(*r);
    shot agreement, question;
    ASSERT_TRUE(open_agreement(*r, base, &agreement)) << r->output();
    ASSERT_TRUE(click_until(*r, kAccept.cx(), kAccept.cy(), 10,
                            [&] { return settled_on_other(*r, base, kQuestionOnly, &question); }))
        << r->output();
    if (answer == 1) r->save("07-question");
    ASSERT_TRUE(click_until(*r, answer_x(answer), answer_y(answer), 8, [&] {
      return r->grab().diff(question, kQuestion.x, kQuestion.y, kQuestion.w, kQuestion.h) > 8.0 || !r->running();
    }));

    if (answer == 3) {
      // Cancelled: back to the idle screen, nothing touched.
      ASSERT_TRUE(e2e::wait_for(20, [&] { return install_tint(r->grab()) == 1; }));
      r->save("08-after-cancel");
      EXPECT_EQ(quit(*r), 0) << r->output();
      EXPECT_EQ(snapshot(dest), before);
      continue;
    }
    ASSERT_TRUE(wait_complete(*r)) << r->output();
    EXPECT_EQ(quit(*r), 0) << r->output();

    EXPECT_EQ(md5_of(dest + "Resources/text/English/Volarium.txt"),
              md5_of(master2_ + "All/Resources/text/English/Volarium.txt"));
    EXPECT_FALSE(fs::exists(dest + "Weapons/store_5.wpn"));
    EXPECT_TRUE(fs::exists(dest + "Weapons/store_6.wpn"));
    if (answer == 1 || answer == 4)
      EXPECT_EQ(md5_of(dest + kChanged), md5_of(master2_ + "All/" + kChanged));
    else
      EXPECT_EQ(e2e::read_text(dest + kChanged), "the user's own version");
  }
}

// A folder of the destination that is a link leading elsewhere: after the agreement one alert
// names it, the installation does not start, and nothing is written where it leads.
TEST_F(InstallerRuns, AFolderLinkLeadingOutsideStopsBeforeAnythingIsWritten) {
  const std::string dest = work_ + "games/Volarium 9/";
  const std::string elsewhere = work_ + "elsewhere/";
  fs::create_directories(dest);
  fs::create_directories(elsewhere);
  std::ofstream(elsewhere + "mine.txt") << "mine";
  fs::create_symlink(elsewhere, dest + "Resources");
  const auto before = snapshot(elsewhere);

  auto r = start(dest, disc1_, "link");
  const shot base = wait_install_enabled(*r);
  shot agreement;
  ASSERT_TRUE(open_agreement(*r, base, &agreement)) << r->output();
  ASSERT_TRUE(leave_agreement(*r, kAccept, agreement));
  const std::string said = "A folder of the installation is a link that leads outside it";
  ASSERT_TRUE(e2e::wait_for(30, [&] { return r->log().find(said) != std::string::npos || !r->running(); }))
      << r->output();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  r->save("07-folder-link-refused");
  const std::string log = r->log();
  size_t alerts = 0;
  for (size_t p = log.find(said); p != std::string::npos; p = log.find(said, p + 1)) ++alerts;
  EXPECT_EQ(alerts, 1u) << log;
  EXPECT_NE(log.find("Folder: " + dest + "Resources"), std::string::npos) << log;
  EXPECT_EQ(log.find("No such file or directory"), std::string::npos) << log;
  EXPECT_EQ(log.find("cannot extract"), std::string::npos) << log;
  EXPECT_EQ(log.find("OK I have now installed"), std::string::npos) << log;
  EXPECT_EQ(quit(*r), 0) << r->output();
  EXPECT_EQ(snapshot(elsewhere), before);
}

// An archive, the file list or the log that is a FIFO or a link to /dev/stdin (a silent open pipe) never freezes the program.
TEST_F(InstallerRuns, SpecialFilesInPlaceOfFilesNeverFreezeTheWindow) {
  int silent[2];
  ASSERT_TRUE(pipe(silent) == 0 && dup2(silent[0], 0) == 0);  // the standard input of the runs below
  const std::string archive = "All/Airfoils/Wing Section 2406.afl.zip", list = "directory.txt.zip";
  enum { fifo, stdin_link, other_bytes };
  for (const auto& [leaf, kind] : std::vector<std::pair<std::string, int>>{{archive, fifo}, {archive, stdin_link}, {archive, other_bytes}, {list, fifo}, {list, stdin_link}, {"Log.txt", fifo}}) {
    const std::string tag = leaf.substr(0, 3) + std::array{"-fifo", "-stdin", "-other"}[kind], disc = work_ + tag + "/", home = work_ + "home-" + tag,
                      file = (leaf == "Log.txt" ? home + "/Desktop/" : disc + kDiscName + "/") + leaf, games = work_ + tag + "-games/";
    fs::copy(disc1_, disc, fs::copy_options::recursive);
    fs::create_directories(home + "/Desktop");
    fs::remove(file);
    std::ofstream(work_ + "Wing Section 2406.afl") << "other bytes";
    ASSERT_EQ(kind == other_bytes ? file_to_zip(work_ + "Wing Section 2406.afl", file) : kind == fifo ? mkfifo(file.c_str(), 0600) : symlink("/dev/stdin", file.c_str()), 0);
    auto r = start(games + "Volarium 9", disc, tag);
    shot a;
    if (leaf == list) EXPECT_TRUE(e2e::wait_for(60, [&] { return r->log().find("WARNING: The disc's file list is missing or damaged: " + file) != std::string::npos; })) << r->log();
    else if (leaf == archive) EXPECT_TRUE(open_agreement(*r, wait_install_enabled(*r), &a) && leave_agreement(*r, kAccept, a) && refused(*r, "Compressed File: " + file, "15-archive-" + tag));
    else wait_install_enabled(*r);  // the log is never read: no one writes it
    if (kind == other_bytes) {  // nothing of it installed, no success said
      EXPECT_TRUE(r->log().find("does not match the disc's list") != std::string::npos && r->log().find("OK I have now installed") == std::string::npos &&
                  !fs::exists(games + "Volarium 9/Airfoils/Wing Section 2406.afl")) << r->log();
    }
    r->terminate();
    EXPECT_EQ(r->wait_exit(30), 0) << tag;
  }
}

// The second installer on a folder says so and installs nothing, whatever its environment (each
// has its own home) or path; when the holder ends, one waiting takes over. Another folder runs.
TEST_F(InstallerRuns, ASecondInstallerOnTheSameFolderInstallsNothing) {
  const std::string games = work_ + "games/", bound = work_ + "bound/";
  for (const std::string& d : {games, bound}) fs::create_directories(d);
  const bool bind = geteuid() == 0 && e2e::run("mount --bind " + e2e::quote(games) + " " + e2e::quote(bound) + " && echo ok") == "ok\n";
  std::vector<std::array<std::string, 3>> rows{{games + "Volarium 9/", "first", work_}, {games + "../games/Volarium 9", "unset", ""}, {games + "Volarium 9", "unwritable", "/proc"}};
  if (bind) rows.push_back({bound + "Volarium 9", "bound", work_});
  std::vector<std::unique_ptr<installer_run>> runs;
  for (const auto& [dest, tag, runtime] : rows) {
    runs.push_back(start(dest, disc1_, tag, {{"XDG_RUNTIME_DIR", runtime}}));
    if (runs.size() == 1) wait_install_enabled(*runs[0]);
    else EXPECT_TRUE(refused(*runs.back(), "Another installer is working in", "11-second-installer-" + tag)) << tag;
  }
  auto other = start(work_ + "other/Volarium 9/", disc1_, "other");
  wait_install_enabled(*other);
  EXPECT_EQ(quit(*other), 0) << other->output();
  // The windows lie on top of each other: the holder is ended as the desktop would, the logs say who took over.
  const auto took_over = [](auto& r) { return r->log().find("The other installer has let go of") != std::string::npos; };
  for (size_t holder = 0; !runs.empty();) {
    runs[holder]->terminate();
    EXPECT_EQ(runs[holder]->wait_exit(30), 0) << runs[holder]->output();
    runs.erase(runs.begin() + static_cast<long>(holder));
    if (runs.empty() || !e2e::wait_for(20, [&] { return std::count_if(runs.begin(), runs.end(), took_over) == 1; })) break;
    holder = static_cast<size_t>(std::find_if(runs.begin(), runs.end(), took_over) - runs.begin());
  }
  EXPECT_TRUE(runs.empty() && !fs::exists(games + "Volarium 9")) << runs.size() << " installers never took the folder over";
  if (bind) e2e::run("umount " + e2e::quote(bound));
}

// A destination too deep for the disc's files, or holding a name too long for the system: one
// message, nothing scanned or written, no hang. A full volume offers no Install.
TEST_F(InstallerRuns, ADestinationTooDeepIsRefusedWithOneMessage) {
  std::string dest = work_ + "deep/";
  while (dest.size() < 4000) dest += std::string(200, 'd') + "/";
  for (const std::string& d : {dest, work_ + std::string(300, 'n') + "/Volarium 9"}) {
    auto r = start(d, disc1_, std::to_string(d.size()));
    EXPECT_TRUE(refused(*r, "The destination cannot be used: File name too long", "12-destination-refused-" + std::to_string(d.size()))) << d;
    EXPECT_EQ(quit(*r), 0) << r->output();
  }
  const std::string full = work_ + "full/";
  fs::create_directories(full);
  if (geteuid() != 0 || e2e::run("mount -t tmpfs -o size=64k tmpfs " + e2e::quote(full) + " && echo ok") != "ok\n") return;
  e2e::run("cat /dev/zero > " + e2e::quote(full + "fill"));
  auto r = start(full + "Volarium 9", disc1_, "full");
  shot s;
  EXPECT_TRUE(e2e::wait_for(60, [&] { return message_ink(s = r->grab(), 2) > 100 && install_tint(s) != 1; })) << "Install offered";
  r->save("12-full-volume");
  EXPECT_EQ(quit(*r), 0) << r->output();
  e2e::run("umount " + e2e::quote(full));
}

// A destination the installer may not write: one alert names the cause and the folder.
TEST_F(InstallerRuns, AReadOnlyDestinationGivesOneAlert) {
  const std::string ro = work_ + "ro/";
  fs::create_directories(ro);
  fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec);
  const bool mounted = geteuid() == 0 && e2e::run("mount -t tmpfs -o ro,size=200m tmpfs " + e2e::quote(ro) + " && echo ok") == "ok\n";
  if (geteuid() == 0 && !mounted) GTEST_SKIP() << "cannot make a read-only folder here";
  auto r = start(ro + "Volarium 9", disc1_, "ro");
  const shot base = wait_install_enabled(*r);
  shot agreement;
  if (open_agreement(*r, base, &agreement) && leave_agreement(*r, kAccept, agreement)) {
    EXPECT_TRUE(refused(*r, "An error occurred while creating new folders", "13-read-only-destination"));
  }
  EXPECT_NE(r->log().find("Install Path:" + ro + "Volarium 9\n"), std::string::npos) << r->log();
  EXPECT_EQ(quit(*r), 0) << r->output();
  if (mounted) e2e::run("umount " + e2e::quote(ro));
  fs::permissions(ro, fs::perms::owner_all);
}

// What another user can place is passed over, and said in the log and on the status line: a disc
// in a writable place (even seen read-only) that is theirs or theirs to write, any medium in their
// media folder or FUSE mount, a 1 TB version file in /dev/shm (never read). Read-only images are
// taken whatever owners and modes they record. Claims files locked whole, over a range, or a FIFO
// leave two installers on one folder offering Install, each saying it is not guarded.
TEST_F(InstallerRuns, WhatAnotherUserPlantsIsPassedOverAndSaid) {
  if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    GTEST_SKIP() << "needs root, to plant files as another user with mounts that only this test sees";
  for (const char* m : {"/mnt", "/dev/shm", "/media", "/run/lock"})
    ASSERT_EQ(mount("tmpfs", m, "tmpfs", 0, std::string(m) == "/dev/shm" ? "mode=1777,size=8m" : "mode=0755,size=8m"), 0) << m;
  // Disc images as other machines record them: 0775 folders of users 501 and 65534, all root's.
  const std::string img = work_ + "img/";
  const std::string made = e2e::run(
      "mkdir -p " + e2e::quote(img) + " && cd " + e2e::quote(img) + " && cp -r " + e2e::quote(disc1_) + " disc && find disc -type d -exec chmod 775 {} + && "
      "mksquashfs disc mac.sqfs -quiet -no-progress -force-uid 501 -force-gid 20 >/dev/null && mksquashfs disc nobody.sqfs -quiet -no-progress -force-uid 65534 >/dev/null && "
      "mksquashfs " + e2e::quote(disc1_) + " root.sqfs -quiet -no-progress -all-root >/dev/null && mkdir -m 750 /media/nobody /media/nobody/EVIL /mnt/ours && mount -o loop,ro root.sqfs /media/nobody/EVIL && echo ok", 120);
  if (made != "ok\n") GTEST_SKIP() << "cannot make and mount disc images here: " << made;
  // Writable places: /dev/shm, another user's folder, one its group may write, a version file and a version folder all may write.
  const std::string fifo = "/dev/shm/volarium-installer-claims";
  e2e::run("cd /mnt && for d in theirs group file version; do mkdir -p \"$d/" + kDiscName + "\" && cp " + e2e::quote(disc1_ + "dvd_version.txt") +
           " $d/; done; chown -R 4242:4242 theirs; chmod 775 group; chmod 666 file/dvd_version.txt; chmod 757 \"version/" + kDiscName + "\"; "
           "mkdir robind && mount --bind theirs robind && mount -o remount,bind,ro robind; mkfifo -m 666 " + fifo + " && chown 4242:4242 " + fifo + "; "
           "setpriv --reuid=4242 --regid=4242 --clear-groups sh -c 'cp " + disc1_ + "dvd_version.txt /dev/shm/ && truncate -s 1T /dev/shm/dvd_version.txt'");
  // A user's FUSE mount of the root-owned image, its server stopped: never looked into, followed into
  // (from root's /mnt/link, 4242's own mounted folder) or opened (as the /tmp claims file it is
  // mounted on). A FIFO linked as a version file and 4242's folder of 20,000 names are never opened.
  const test_support::Undo unmount_fuse{[] { e2e::run("pkill -CONT -x squashfuse"), umount2("/mnt/fuse", MNT_DETACH); }};
  const std::string claims[] = {"/run/lock/volarium-installer-claims", "/tmp/volarium-installer-claims"};
  const bool made_tmp = close(open(claims[1].c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666)) == 0;
  const test_support::Undo unmount_tmp{[&] { umount2(claims[1].c_str(), MNT_DETACH), made_tmp && fs::remove(claims[1]); }};
  e2e::run("mkdir /mnt/fuse && chown nobody /mnt/fuse && echo user_allow_other > /dev/shm/fuse.conf && mount --bind /dev/shm/fuse.conf /etc/fuse.conf && "
           "mknod -m 666 /dev/shm/fuse c 10 229 && mount --bind /dev/shm/fuse /dev/fuse && setpriv --reuid=nobody --regid=nogroup --clear-groups "
           "squashfuse -o allow_other " + e2e::quote(img + "root.sqfs") + " /mnt/fuse && mkdir /mnt/link /mnt/dev /mnt/run4242 /mnt/many && ln -s /mnt/fuse/dvd_version.txt /mnt/link/ && "
           "mount --bind /mnt/fuse/dvd_version.txt " + claims[1] + " && mount -t tmpfs -o uid=4242,mode=700,size=1m tmpfs /mnt/run4242 && mkfifo /mnt/plant.fifo && "
           "ln -s /mnt/plant.fifo /mnt/dev/dvd_version.txt && ln -s /mnt/fuse/dvd_version.txt /mnt/run4242/ && ln -s /mnt/ours /mnt/aaa && "
           "chown -h 4242 /mnt/aaa /mnt/run4242/dvd_version.txt /mnt/many && cd /mnt/many && seq 20000 | xargs touch && pkill -STOP -x squashfuse");
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  for (const char* planted : {"/mnt/plant.fifo", "/mnt/many"}) ASSERT_GE(inotify_add_watch(watch, planted, IN_OPEN), 0) << planted;
  const int whole = open(claims[0].c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);  // locked whole by somebody else
  ASSERT_EQ(lockf(whole, F_LOCK, 0), 0);
  auto r = std::make_unique<installer_run>(binary_, std::vector<std::string>{"-path", work_ + "Volarium 9", "--fps_test"}, work_ + "home",
                                           std::vector<std::pair<std::string, std::string>>{{"SUDO_UID", "1000"}});
  ASSERT_TRUE(r->find_window()) << r->output();
  const auto refused = [](const std::string& disc, const std::string& why) { return "The disc at " + disc + " is not used, as another user may have put it there: " + why + "\n"; };
  const std::string w = " can be written by other users", said[] = {
      refused("/dev/shm/", "/dev/shm/" + w), refused("/mnt/theirs/", "/mnt/theirs/ belongs to another user (4242)"), refused("/mnt/group/", "/mnt/group/" + w),
      refused("/mnt/file/", "/mnt/file/dvd_version.txt" + w), refused("/mnt/version/", "/mnt/version/" + kDiscName + "/" + w),
      refused("/mnt/robind/", "/mnt/robind/ belongs to another user (4242)"), refused("/mnt/run4242/", "/mnt/run4242/ belongs to another user (4242)"), refused("/media/nobody/EVIL/", "/media/nobody/EVIL/ is in the media folder of another user (nobody)"),
      "Found the install disc at /mnt/ours/\n"};
  EXPECT_TRUE(e2e::wait_for(30, [&] { return std::all_of(said, said + std::size(said) - 1, [&](const std::string& l) { return r->log().find(l) != std::string::npos; }); })) << r->log();
  // The status line says it in red, where it would say it is looking for a disc.
  double m[3];
  EXPECT_TRUE(e2e::wait_for(10, [&] { return r->grab().mean(150, 608, 700, 20, m), m[0] - m[1] > 6.0; })) << "no red status line";
  r->save("14-disc-passed-over");
  std::this_thread::sleep_for(std::chrono::seconds(3));  // searched again each second
  struct statvfs shm;
  ASSERT_EQ(statvfs("/dev/shm", &shm), 0);
  EXPECT_LT((shm.f_blocks - shm.f_bfree) * shm.f_frsize, 64u << 10);
  ASSERT_EQ(e2e::run("mount -o loop,ro " + e2e::quote(img + "mac.sqfs") + " /mnt/ours && echo ok"), "ok\n");
  wait_install_enabled(*r);
  auto second = start(work_ + "Volarium 9", disc1_, "second");
  wait_install_enabled(*second);
  second->save("14-unguarded");
  for (const char* unknown : {"/mnt/fuse/", "/mnt/link/", "/mnt/dev/", "/mnt/many/", "/mnt/aaa/"}) EXPECT_EQ(r->log().find(unknown), std::string::npos) << unknown << r->log();
  char event[4096];
  EXPECT_LT(read(watch, event, sizeof event), 0) << "a planted FIFO or folder was opened";
  for (const std::string& line : said) EXPECT_TRUE(r->log().find(line) != std::string::npos && r->log().find(line) == r->log().rfind(line)) << line << r->log();
  for (installer_run* run : {r.get(), second.get()})
    EXPECT_NE(run->log().find("WARNING: Not guarded against other users' installers: " + claims[0] + " is locked by something that is not an installer's claim: "), std::string::npos) << run->log();
  EXPECT_EQ(quit(*second), 0) << second->output();
  // Another user's folder where the taken disc was: nothing of it is read, and a disc is looked for again.
  const shot idle = r->grab();
  shot agreement;
  e2e::run("umount /mnt/ours && mount --bind /mnt/theirs /mnt/ours");
  EXPECT_TRUE(open_agreement(*r, idle, &agreement) && leave_agreement(*r, kAccept, agreement));
  const std::string lost = "The disc at /mnt/ours/ was removed or replaced since it was found: a disc is looked for again.\n";
  EXPECT_TRUE(e2e::wait_for(20, [&] { return r->log().find(lost) != std::string::npos && r->log().find(refused("/mnt/ours/", "/mnt/ours/ belongs to another user (4242)")) != std::string::npos; })) << r->log();
  EXPECT_FALSE(fs::exists(work_ + "Volarium 9"));
  EXPECT_EQ(quit(*r), 0) << r->output();
  // The same search in this process: a disc in this user's media folder is taken, and while none
  // is, the screen's text names the last disc passed over and how to use it anyway, in words a shell reads back.
  e2e::run("umount /mnt/ours && mkdir /media/root /media/root/X && mount -o loop,ro " + e2e::quote(img + "nobody.sqfs") + " /media/root/X");
  EXPECT_TRUE(find_disc() == "/media/root/X/" && screen_state.disc_passed_over.empty());
  e2e::run("umount /media/root/X && mkdir '/mnt/zz my disc' && cp " + e2e::quote(disc1_ + "dvd_version.txt") + " '/mnt/zz my disc/' && chown -R 4242 '/mnt/zz my disc'");
  EXPECT_EQ(find_disc(), "");
  const std::vector<std::string>& passed = screen_state.disc_passed_over;
  ASSERT_EQ(passed.size(), 4u);
  EXPECT_EQ(passed[1] + passed[2], "/mnt/zz my disc/ belongs to another user (4242). To use it anyway, start the installer with --disc=");
  EXPECT_EQ(e2e::run("printf %s " + passed[3]), "/mnt/zz my disc/");
  close(whole), close(watch);
}
