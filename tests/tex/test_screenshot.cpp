// Screenshots: an odd-width window's picture decodes back (by a peer decoder) to what was drawn,
// the numbering skips every taken name, and a failed write is logged.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
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
    dir_ = temp_dir("shot");
    old_cwd_ = fs::current_path();
    fs::current_path(dir_);
    app_path.clear();
    xer.open((dir_ / "Log.txt").string(), std::ios::out | std::ios::trunc);
  }
  void TearDown() override {
    xer.close();
    fs::current_path(old_cwd_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  static void touch(const std::string& name) { std::ofstream(name) << "mine"; }
  // The screenshot files of the folder. The run's counter stands wherever earlier tests of this
  // process left it, so a saved shot is found by looking.
  std::set<std::string> shots() const {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_)) {
      const std::string n = e.path().filename().string();
      if (n.rfind("screenshot_", 0) == 0) out.insert(n);
    }
    return out;
  }
  static bool is_png(const std::string& name) {
    std::vector<uint8_t> b = read_file(name);
    return b.size() > 8 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G';
  }
  fs::path dir_, old_cwd_;
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
  std::set<std::string> now = shots();
  ASSERT_EQ(now.size(), 3u);
  now.erase("screenshot_1.png");
  now.erase("screenshot_2.png");
  ASSERT_EQ(now.size(), 1u);
  EXPECT_TRUE(is_png(*now.begin()));
  EXPECT_EQ(read_file("screenshot_1.png").size(), 4u);
  EXPECT_EQ(read_file("screenshot_2.png").size(), 4u);
  OGL_screenshot(0);
  EXPECT_EQ(shots().size(), 3u) << "reading without saving writes nothing";
}

TEST_F(Screenshot, FailedWriteLeavesNothingAndIsLoggedAsWarning) {
  // Noise, so that the picture cannot shrink below the file-size limit of the second row.
  std::vector<unsigned char> noise(size_t(kW) * kH * 3);
  std::mt19937 rng(3);
  for (auto& b : noise) b = static_cast<unsigned char>(rng());
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, kW, 0, kH, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRasterPos2i(0, 0);
  glDrawPixels(kW, kH, GL_RGB, GL_UNSIGNED_BYTE, noise.data());
  const struct {
    const char* what;
    bool gone;  // else the disk fills
  } rows[] = {{"the current folder is gone", true}, {"the disk fills in the middle", false}};
  for (const auto& r : rows) {
    if (r.gone) {
      fs::create_directory("gone");
      fs::current_path("gone");
      fs::remove(dir_ / "gone");
      OGL_screenshot(1);
      fs::current_path(dir_);
    } else {
      // Files of this process may not grow past 64 KB (the signal ignored: writes fail instead).
      rlimit old{};
      ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
      rlimit small = old;
      small.rlim_cur = 65536;
      auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
      ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
      OGL_screenshot(1);
      setrlimit(RLIMIT_FSIZE, &old);
      std::signal(SIGXFSZ, old_handler);
    }
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().filename() != "Log.txt") left.push_back(e.path().filename().string());
    EXPECT_TRUE(left.empty()) << r.what << ": " << left.front();
  }
  xer.flush();
  std::ifstream log(dir_ / "Log.txt");
  std::string text((std::istreambuf_iterator<char>(log)), {});
  // Whatever number the run's counter gave each.
  const std::regex warning("WARNING: the screenshot screenshot_[0-9]+\\.png could not be written\\.");
  EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), warning), std::sregex_iterator()), 2) << text;
}

}  // namespace
