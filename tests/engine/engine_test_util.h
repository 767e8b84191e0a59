// Shared helpers of the engine tests: a scratch destination and disc per test, the engine's
// globals saved and restored, list writers, test discs packed with file_to_zip, and scripted
// answers to the question about a changed file.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/install.h"
#include "files/md5.h"
#include "files/zip.h"
#include "file_bytes.h"
#include "foundation/globals.h"

namespace engine_test {

// Scripted question: answers handed out in order (2 once the script runs dry); every call noted.
struct Script {
  static std::deque<int>& answers() {
    static std::deque<int> a;
    return a;
  }
  static std::vector<std::pair<std::string, int>>& asked() {
    static std::vector<std::pair<std::string, int>> q;
    return q;
  }
  static int answer(std::string path, int deleting) {
    asked().emplace_back(path, deleting);
    if (answers().empty()) return 2;
    int a = answers().front();
    answers().pop_front();
    return a;
  }
};

struct ProgressCall {
  float lo, val, hi;
  int kind;
  std::string line1, line3;
};
inline std::vector<ProgressCall>& progress_calls() {
  static std::vector<ProgressCall> calls;
  return calls;
}
inline void record_progress(float lo, float val, float hi, int kind, std::string l1, std::string l3) {
  progress_calls().push_back({lo, val, hi, kind, std::move(l1), std::move(l3)});
}

inline std::string md5_of(const std::string& bytes) { return md5_hex(bytes.data(), bytes.size()); }

// One listed file of a test disc.
struct Listed {
  std::string path;     // "All/Resources/a.txt"
  std::string content;  // what the archive holds
  int platform = 0;
  int disc = 1;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/engine_test_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    root_ = std::string(templ) + "/";
    saved_dest_ = dest_dir_path;
    saved_dvd_ = dvd_path;
    saved_name_ = install_name;
    saved_temp_ = temp_path;
    saved_app_path_ = app_path;
    saved_stg_ = stg;
    app_path.clear();
    dest_dir_path = root_ + "dest/";
    dvd_path = root_ + "disc/";
    install_name = "Volarium 9.00";
    temp_path = root_ + "tmp/";
    std::filesystem::create_directories(dest_dir_path);
    std::filesystem::create_directories(dvd_path + install_name);
    std::filesystem::create_directories(temp_path);
    stg = stg_struct{};
    stg[STG_target_os] = 1;
    stg[STG_rename_folder] = 0;
    next = install_progress_struct{};
    sim_info.clear();
    deleted_files.clear();
    dest_dir_created = 0;
    Script::answers().clear();
    Script::asked().clear();
    progress_calls().clear();
    prev_select_ = set_select_alert_hook(&Script::answer);
    prev_progress_ = set_dir_progress_bar_hook(&record_progress);
  }
  void TearDown() override {
    set_select_alert_hook(prev_select_);
    set_dir_progress_bar_hook(prev_progress_);
    dest_dir_path = saved_dest_;
    dvd_path = saved_dvd_;
    install_name = saved_name_;
    temp_path = saved_temp_;
    app_path = saved_app_path_;
    stg = saved_stg_;
    sim_info.clear();
    deleted_files.clear();
    std::error_code ec;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(root_, ec);
  }

  static void write(const std::string& p, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(p).parent_path());
    test_support::write_bytes(p, bytes);
  }
  static std::string read(const std::string& p) { return test_support::read_bytes(p); }
  static bool exists(const std::string& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
  }

  static std::string header() { return "I\n900 version\nINSTALLER\n\n"; }

  // Writes a list file and returns its path.
  std::string write_list(const std::string& body, const std::string& name = "directory.txt") {
    std::string p = root_ + name;
    write(p, header() + body);
    return p;
  }

  // A "FILE" row line.
  static std::string row(int disc, int platform, int version, int dkb, int ikb, const std::string& sig,
                         const std::string& name) {
    return "FILE " + std::to_string(disc) + " " + std::to_string(platform) + " " +
           std::to_string(version) + " " + std::to_string(dkb) + " " + std::to_string(ikb) + " " +
           sig + " " + name + "\n";
  }

  // Packs content as the archive of a listed path on the test disc, the way the master does:
  // the file under its own leaf name (or under leaf when given), in a zip or, for the scenery
  // tiles, a 7z archive made by the 7za tool.
  void put_on_disc(const std::string& listed_path, const std::string& content, std::string leaf = "") {
    if (leaf.empty()) leaf = listed_path.substr(listed_path.rfind('/') + 1);
    std::string stage = root_ + "stage/" + leaf;
    write(stage, content);
    const std::string ext = listed_archive_ext(listed_path);
    std::string archive = dvd_path + install_name + "/" + listed_path + ext;
    std::filesystem::create_directories(std::filesystem::path(archive).parent_path());
    std::filesystem::remove(archive);
    if (ext == ".zip") {
      ASSERT_EQ(file_to_zip(stage, archive), 0) << archive;
    } else {
      std::string cmd = "cd '" + root_ + "stage' && 7za a -bd -y '" + archive + "' '" + leaf + "' >/dev/null";
      ASSERT_EQ(std::system(cmd.c_str()), 0) << archive;
    }
    std::filesystem::remove(stage);
    packed_[listed_path] = md5_of(content);
  }

  // A list with one current version per file, and every file's archive on the disc.
  std::string make_disc(const std::vector<Listed>& files) {
    std::string body;
    std::string folder;
    for (const Listed& f : files) {
      std::string dir = f.path.substr(0, f.path.rfind('/') + 1);
      std::string leaf = f.path.substr(dir.size());
      if (dir != folder) {
        body += "\nDIR " + dir + "\n";
        folder = dir;
      }
      body += row(f.disc, f.platform, 90025, 1, 1, md5_of(f.content), leaf);
      put_on_disc(f.path, f.content);
    }
    return write_list(body);
  }

  std::string dest(const std::string& rel) const { return dest_dir_path + rel; }

  // Runs grab_files until it reports the end (bounded), returning the number of calls.
  int run_install(int limit = 10000) {
    next.reset(0.0f);
    int calls = 0;
    while (calls < limit) {
      ++calls;
      if (grab_files() == 1) break;
    }
    return calls;
  }

  // The signature of what each listed path's archive on the disc holds.
  std::map<std::string, std::string> packed_;
  std::string root_;
  std::string saved_dest_, saved_dvd_, saved_name_, saved_temp_, saved_app_path_;
  stg_struct saved_stg_;
  select_alert_fn prev_select_ = nullptr;
  dir_progress_bar_fn prev_progress_ = nullptr;
};

}  // namespace engine_test
