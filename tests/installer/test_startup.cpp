// Start-up of the installer without a window: the destination from the default, the saved
// preference, "-path" and the folder chooser at start-up; the state the screen starts from.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/front_hooks.h"
#include "foundation/cmdline.h"
#include "foundation/globals.h"
#include "foundation/shell_state.h"
#include "installer/front.h"
#include "shell/hl_mnw.h"

namespace fs = std::filesystem;

namespace {
class Startup : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("volarium-startup-" + std::to_string(getpid()));
    fs::remove_all(root_);
    home_ = (root_ / "home").string() + "/";
    fs::create_directories(home_ + ".config");
    fs::create_directories(root_ / "bin");
    save_env("HOME");
    save_env("XDG_CONFIG_HOME");
    save_env("PATH");
    setenv("HOME", home_.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    saved_options_ = cmdline.options;
    cmdline.options.clear();
    cmdline.options["--disc"] = (root_ / "disc").string();
    stg = stg_struct{};
    dvd_path.clear();
  }
  void TearDown() override {
    for (auto& [name, value] : saved_env_) {
      if (value.first)
        setenv(name.c_str(), value.second.c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    cmdline.options = saved_options_;
    set_select_alert_hook(nullptr);
    set_dir_progress_bar_hook(nullptr);
    ZARIRU_set_app_callbacks(nullptr, nullptr);
    dvd_path.clear();
    fs::remove_all(root_);
  }
  void save_env(const char* name) {
    const char* v = std::getenv(name);
    saved_env_[name] = {v != nullptr, v ? v : ""};
  }
  void prefs(const std::string& lines) {
    std::ofstream(home_ + ".config/Volarium Installer.prf") << "I\n9002 version\n" << lines;
  }
  // A folder chooser that answers with `choice` and leaves a note that it was asked.
  std::string fake_chooser(const std::string& choice) {
    const std::string note = (root_ / "asked.txt").string();
    const std::string script = (root_ / "bin" / "zenity").string();
    std::ofstream(script) << "#!/bin/sh\necho asked > '" << note << "'\necho '" << choice << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    setenv("PATH", ((root_ / "bin").string() + ":" + saved_env_["PATH"].second).c_str(), 1);
    return note;
  }
  void start(std::vector<std::string> args) {
    args.insert(args.begin(), "volarium-installer");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    installer_startup(static_cast<int>(argv.size()), argv.data());
  }
  fs::path root_;
  std::string home_;
  std::map<std::string, std::pair<bool, std::string>> saved_env_;
  std::map<std::string, std::string> saved_options_;
};
}  // namespace

TEST_F(Startup, DefaultsWithoutPreferences) {
  stls[603].clear();
  start({});
  EXPECT_EQ(dest_dir_path, home_ + "Volarium 9/");
  EXPECT_EQ(install_name, no_install_name);
  EXPECT_EQ(stls[603], "OK");
  EXPECT_EQ(stg[STG_stage], 0);
  EXPECT_EQ(stg[STG_server_count], -1);
  EXPECT_EQ(stg[STG_rename_folder], 1);
  ASSERT_FALSE(temp_path.empty());
  EXPECT_EQ(temp_path.back(), '/');
  EXPECT_TRUE(fs::is_directory(temp_path));
  EXPECT_EQ(dvd_path + screen_state.version_problem, "The --disc= folder does not exist: " + (root_ / "disc").string() + "/");
}

TEST_F(Startup, SavedDestinationAndPreferenceWords) {
  prefs("_dest_dir_path /saved/place\n_log_actions 1\n_rename_folder 0\n");
  start({});
  EXPECT_EQ(dest_dir_path, "/saved/place/");
  EXPECT_EQ(stg[STG_log_actions], 1);
  EXPECT_EQ(stg[STG_rename_folder], 0);
}

// A destination this run was refused (another installer held it) is not saved for the next.
TEST_F(Startup, PathOptionBeatsTheSavedOneAndTheChooser) {
  prefs("_dest_dir_path /saved/place/\n_always_ask_dir 1\n");
  const std::string note = fake_chooser("/chosen");
  start({"-path", "/given/folder"});
  keep_saved_destination_unless_used();
  EXPECT_EQ(dest_dir_path, "/given/folder/");
  EXPECT_FALSE(fs::exists(note)) << "the chooser was shown";
  screen_state.dest_busy = 1;
  keep_saved_destination_unless_used();
  EXPECT_EQ(dest_dir_path, "/saved/place/");
  screen_state = screen_state_struct{};
}

TEST_F(Startup, ChooserAtStartUpWhenAskedFor) {
  prefs("_always_ask_dir 1\n");
  const std::string chosen = (root_ / "chosen").string();
  fs::create_directories(chosen);
  const std::string note = fake_chooser(chosen);
  start({"--fps_test", "-path", "/ignored"});
  EXPECT_TRUE(fs::exists(note));
  EXPECT_EQ(dest_dir_path, chosen + "/Volarium 9/");
}

TEST_F(Startup, CancelledChooserKeepsTheDestination) {
  prefs("_always_ask_dir 1\n_dest_dir_path /saved/place/\n");
  const std::string note = fake_chooser("");
  start({});
  EXPECT_TRUE(fs::exists(note));
  EXPECT_EQ(dest_dir_path, "/saved/place/");
}

TEST_F(Startup, ChoosingAnInstallationKeepsIt) {
  const std::string sim = (root_ / "sim").string();
  for (const char* d : {"Airfoils", "Instructions", "Output", "Resources"}) fs::create_directories(sim + "/" + d);
  fake_chooser(sim);
  dest_dir_path = "/before/";
  install_name = "Disc 2";
  EXPECT_EQ(pick_dest_path(), 1);
  EXPECT_EQ(dest_dir_path, sim + "/");
  fake_chooser((root_ / "plain").string());
  EXPECT_EQ(pick_dest_path(), 1);
  EXPECT_EQ(dest_dir_path, (root_ / "plain").string() + "/Disc 2/");
  install_name = no_install_name;
}
