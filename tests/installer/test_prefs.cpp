// The installer's preferences: the port text rule, the preference file read at start-up into the
// state block and the download client, and the file written at shutdown read back again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "files/pref.h"
#include "foundation/globals.h"
#include "installer/front.h"
#include "installer/screen_logic.h"
#include "net/http.h"
#include "scratch_dir.h"

namespace fs = std::filesystem;

namespace {

TEST(ProxyPortText, OnlyAPortReplacesThePreviousOne) {
  const struct {
    const char* text;
    int previous, expect;
  } cases[] = {
      {"8080", 3128, 8080}, {"1", 3128, 1},        {"65535", 3128, 65535}, {"00080", 3128, 80},
      {"", 3128, 3128},     {"0", 3128, 3128},     {"65536", 3128, 3128},  {"99999", 0, 0},
      {"-1", 3128, 3128},   {"+80", 3128, 3128},   {"1-2", 3128, 3128},    {"80 ", 3128, 3128},
      {" 80", 3128, 3128},  {"8o8o", 3128, 3128},  {"123456", 3128, 3128}, {"proxy", -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(proxy_port_from_text(c.text, c.previous), c.expect);
  }
}

class PrefsFile : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / ".config");
    for (const char* name : {"HOME", "XDG_CONFIG_HOME"}) {
      const char* v = std::getenv(name);
      saved_[name] = {v != nullptr, v ? v : ""};
    }
    setenv("HOME", root_.path().c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    stg = stg_struct{};
    http.proxy_host.clear();
    http.proxy_port.clear();
    http.proxy_port_int = 0;
  }
  void TearDown() override {
    for (auto& [name, v] : saved_) {
      if (v.first)
        setenv(name.c_str(), v.second.c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    http.proxy_host.clear();
    http.proxy_port.clear();
    http.proxy_port_int = 0;
    pref_bind_proxy(nullptr, nullptr, nullptr);
  }
  std::string file() const { return (root_ / ".config" / "Volarium Installer.prf").string(); }
  std::string read_file() const {
    std::ifstream f(file());
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  test_support::Scratch root_{"volarium-prefs"};
  std::map<std::string, std::pair<bool, std::string>> saved_;
};

TEST_F(PrefsFile, ProxyTagsAreReadIntoTheDownloadClient) {
  std::ofstream(file()) << "I\n9002 version\n_proxy_host cache.example.test\n_proxy_port 3128\n_proxy_port_int 3128\n"
                           "_stream_count 3\n_use_max_cpu 1\n";
  installer_reset_stg();
  installer_read_prefs();
  EXPECT_EQ(http.proxy_host, "cache.example.test");
  EXPECT_EQ(http.proxy_port, "3128");
  EXPECT_EQ(http.proxy_port_int, 3128);
  EXPECT_EQ(stg[STG_stream_count], 3);
  EXPECT_EQ(stg[STG_use_max_cpu], 1);
  EXPECT_EQ(stg[STG_target_os], 3);  // not a saved preference: Linux on this build
  EXPECT_TRUE(http.UseProxy("files.test", 80));
}

TEST_F(PrefsFile, AnOldFilesBadPortMeansNoProxy) {
  std::ofstream(file()) << "I\n9002 version\n_proxy_host cache.example.test\n_proxy_port abc\n_proxy_port_int -1\n";
  installer_read_prefs();
  EXPECT_EQ(http.proxy_port_int, -1);
  EXPECT_FALSE(http.UseProxy("files.test", 80));
  EXPECT_EQ(http.ProxyPort("files.test", 80), 80);
}

TEST_F(PrefsFile, WhatShutdownWritesStartUpReadsBack) {
  installer_reset_stg();
  installer_read_prefs();  // no file yet: the start values stay
  EXPECT_EQ(stg[STG_rename_folder], 1);
  EXPECT_EQ(http.proxy_host, "");

  stg[STG_use_max_cpu] = 1;
  stg[STG_rename_folder] = 0;
  stg[STG_stream_count] = 3;
  stg[STG_log_actions] = 1;
  stg[STG_always_ask_dir] = 1;
  http.proxy_host = "gate.example.test";
  http.proxy_port = "8080";
  http.proxy_port_int = 8080;
  pref.IO_set(PREF_installer, 1);

  const std::string text = read_file();
  for (const char* line : {"_use_max_cpu 1\n", "_rename_folder 0\n", "_stream_count 3\n", "_log_actions 1\n",
                           "_always_ask_dir 1\n", "_proxy_host gate.example.test\n", "_proxy_port 8080\n",
                           "_proxy_port_int 8080\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;

  stg = stg_struct{};
  installer_reset_stg();
  http.proxy_host.clear();
  http.proxy_port.clear();
  http.proxy_port_int = 0;
  installer_read_prefs();
  EXPECT_EQ(stg[STG_use_max_cpu], 1);
  EXPECT_EQ(stg[STG_rename_folder], 0);
  EXPECT_EQ(stg[STG_stream_count], 3);
  EXPECT_EQ(stg[STG_log_actions], 1);
  EXPECT_EQ(stg[STG_always_ask_dir], 1);
  EXPECT_EQ(http.proxy_host, "gate.example.test");
  EXPECT_EQ(http.proxy_port, "8080");
  EXPECT_EQ(http.proxy_port_int, 8080);
}

}  // namespace
