// Screenshots: an odd-width window's picture decodes back (by a peer decoder) to what was drawn,
// the numbering skips every taken name, and a failed write is logged.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "foundation/globals.h"
#include "gl_fixture.h"
#include "platform/window.h"
#include "tex/screenshot.h"
#include "tex_test_util.h"

using namespace textest;
namespace fs = std::filesystem;

namespace {

class Screenshot : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    old_cwd_ = fs::current_path();
    fs::current_path(dir_);
    app_path.clear();
    xer.open((dir_ / "Log.txt").string(), std::ios::out | std::ios::trunc);
  }
  void TearDown() override {
    xer.close();
    fs::current_path(old_cwd_);
  }
  static void touch(const std::string& name) { std::ofstream(name) << "mine"; }
  // The screenshots in the folder: the run's counter stands wherever earlier tests left it.
  std::set<std::string> shots() const {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_)) out.insert(e.path().filename().string());
    out.erase("Log.txt");
    return out;
  }
  static bool is_png(const std::string& name) {
    std::vector<uint8_t> b = read_file(name);
    return b.size() > 8 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G';
  }
  test_support::Scratch dir_ = temp_dir("shot");
  fs::path old_cwd_;
};

TEST_F(Screenshot, OddWidthWindowDecodesBackToThePattern) {
  PLAT_gl_window w;
  ASSERT_EQ(PLAT_window_open("screenshot test", 318, 201, 0, &w), 0) << PLAT_window_error();
  ASSERT_EQ(w.width, 318);
  mnw.scr_w = 318;
  mnw.scr_h = 201;
  OGL_setstate_forget();
  OGL_pix_specs(0);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  OGL_fillrect(1, 1.0f, 0, 0, 101, 50);
  OGL_fillrect(10, 1.0f, 101, 50, 117, 100);
  OGL_fillrect(15, 1.0f, 250, 150, 68, 51);
  OGL_fillrect(0, 1.0f, 317, 0, 1, 1);
  glFinish();
  std::vector<unsigned char> drawn(318 * 201 * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, 318, 201, GL_RGB, GL_UNSIGNED_BYTE, drawn.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);  // the screenshot must not rely on what a caller left

  OGL_screenshot(1);
  PLAT_window_close(&w);
  ASSERT_EQ(shots().size(), 1u);
  const std::string shot = *shots().begin();
  ASSERT_TRUE(is_png(shot));
  const std::string raw = (dir_ / "decoded.rgb").string();
  const std::string cmd = python() + " -c \"from PIL import Image; im=Image.open('" + shot + "'); " +
                          "assert im.size==(318,201), im.size; " +
                          "open('" + raw + "','wb').write(im.convert('RGB').transpose(Image.FLIP_TOP_BOTTOM).tobytes())\"";
  ASSERT_EQ(run(cmd), 0);
  std::vector<uint8_t> decoded = read_file(raw);
  ASSERT_EQ(decoded.size(), drawn.size());
  EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), drawn.begin()));
  // The pattern is really there: red-ish bottom left, the white corner pixel at the right end.
  EXPECT_GT(decoded[0], 200);
  EXPECT_EQ(decoded[317 * 3 + 1], 255);
}

TEST_F(Screenshot, NextNameSkipsFilesFoldersAndLinks) {
  struct row {
    const char* what;
    std::vector<std::string> files, folders, links;
    std::string expect;
  } rows[] = {
      {"nothing there", {}, {}, {}, "screenshot_1.png"},
      {"two files", {"screenshot_1.png", "screenshot_2.png"}, {}, {}, "screenshot_3.png"},
      {"a folder named like the third", {"screenshot_1.png", "screenshot_2.png"}, {"screenshot_3.png"}, {}, "screenshot_4.png"},
      {"a dangling link", {}, {}, {"screenshot_1.png"}, "screenshot_2.png"},
      {"only a later name taken", {"screenshot_2.png"}, {}, {}, "screenshot_1.png"},
  };
  for (const row& r : rows) {
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().filename() != "Log.txt") fs::remove_all(e.path());
    for (const auto& f : r.files) touch(f);
    for (const auto& f : r.folders) fs::create_directory(f);
    for (const auto& f : r.links) fs::create_symlink("nowhere", f);
    int shot = 0;
    EXPECT_EQ(OGL_next_screenshot_name(&shot), r.expect) << r.what;
  }
}

TEST_F(Screenshot, SavedShotsTakeTheNextFreeNameAndLeaveOthersAlone) {
  touch("screenshot_1.png");
  touch("screenshot_2.png");
  OGL_screenshot(1);
  EXPECT_EQ(shots().size(), 3u);
  for (const auto& n : shots()) EXPECT_TRUE(n == "screenshot_1.png" || n == "screenshot_2.png" || is_png(n)) << n;
  EXPECT_EQ(read_file("screenshot_1.png").size(), 4u);
  EXPECT_EQ(read_file("screenshot_2.png").size(), 4u);
  OGL_screenshot(0);
  EXPECT_EQ(shots().size(), 3u) << "reading without saving writes nothing";
}

TEST_F(Screenshot, FailedWriteLeavesNothingAndIsLoggedAsWarning) {
  // A current folder that no longer exists refuses every new file, whoever runs the test.
  fs::create_directory("gone");
  fs::current_path("gone");
  fs::remove(dir_ / "gone");
  OGL_screenshot(1);
  fs::current_path(dir_);
  xer.flush();
  const std::vector<uint8_t> log = read_file("Log.txt");
  EXPECT_NE(std::string(log.begin(), log.end()).find("WARNING: the screenshot screenshot_"), std::string::npos);
  // A disk full in the middle: no file may grow past a byte, and the ignored signal fails the write.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const rlimit tiny{1, old.rlim_max};
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
  OGL_screenshot(1);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_TRUE(shots().empty()) << *shots().begin();
}

}  // namespace
