// Headless runs of the modal file dialog and the path field: the shell's frame, sub-window and
// folder-chooser hooks are fakes, each faked frame plays one scripted step of input (mouse,
// click, keys as the shell's key handler offers them) in a generated folder tree that is the
// current folder.
#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "foundation/shell_state.h"
#include "widget_fixture.h"
#include "widgets/list.h"
#include "widgets/shell_hooks.h"

struct dialog_step {
  float mx = 600, my = 600;  // away from every widget unless told
  bool press = false;
  std::vector<std::pair<int, int>> keys;  // character, virtual key
  std::function<void()> before;           // runs first (changes on disk, pop-up picks)
  float dt = 1.0f / 60.0f;
};

class DialogTest : public WidgetTest {
 protected:
  static inline std::deque<dialog_step> steps;
  static inline int frames_run = 0;
  static inline bool overran = false;
  static inline std::vector<int> windows;  // sub-windows started, in order

  void SetUp() override {
    WidgetTest::SetUp();
    BTN_type_ahead_reset();
    if (menu.size() < static_cast<size_t>(kMenuCount)) menu.resize(static_cast<size_t>(kMenuCount));
    mnw.menu_open = -1;
    return_hit = escape_hit = delete_hit = 0;
    steps.clear();
    windows.clear();
    frames_run = 0;
    overran = false;
    char tmpl[] = "/tmp/widgets_dialog_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    old_cwd_ = cwd;
    ASSERT_EQ(chdir(root_.c_str()), 0);
    BTN_shell_hooks h;
    h.run_frame = fake_frame;
    h.start_window = fake_start;
    old_hooks_ = BTN_set_shell_hooks(h);
    frame(600, 600);  // the clock starts
    frame(600, 600, false, false, 1.0f);  // the first click must not pair with its start
  }
  void TearDown() override {
    BTN_set_shell_hooks(old_hooks_);
    if (!old_cwd_.empty() && chdir(old_cwd_.c_str()) != 0) ADD_FAILURE() << "cannot return to " << old_cwd_;
    if (!root_.empty()) std::system(("chmod -R u+rwx '" + root_ + "' 2>/dev/null; rm -rf '" + root_ + "'").c_str());
    WidgetTest::TearDown();
  }

  static void fake_start(int id, int) {
    windows.push_back(id);
    mnw.wind_id = id;
    mnw.menu_open = -1;
    mnw.click = 0;
    mnw.mouse_held = 0;
    BTN_unfocus_any();
  }

  // One frame as the shell runs it: flags cleared, events (keys go to the focus ring first, the
  // rest set the frame's flags), the clock, a fresh ring.
  static void fake_frame() {
    ++frames_run;
    return_hit = escape_hit = delete_hit = 0;
    mnw.click = mnw.mouse_up = 0;
    dialog_step s;
    if (steps.empty()) {
      overran = true;
      s.keys.push_back({27, 27});  // ends a dialog the script failed to end
    } else {
      s = steps.front();
      steps.pop_front();
    }
    if (s.before) s.before();
    mnw.mouse_x = s.mx;
    mnw.mouse_y = s.my;
    if (mnw.mouse_held && !s.press) mnw.mouse_up = 1;
    mnw.click = s.press ? 1 : 0;
    for (auto [chr, vkey] : s.keys)
      if (!BTN_dispatch_to_focus(chr, vkey, 8)) {
        if (vkey == 13) return_hit = 1;
        if (vkey == 27) escape_hit = 1;
        if (vkey == 8 || vkey == 46) delete_hit = 1;
      }
    now_us += static_cast<uint64_t>(s.dt * 1e6f + 0.5f);
    xtim.xtim_update();
    BTN_begin_focus_ring();
    drawn.clear();
  }

  // Steps for a double click at (x, y), and for typing text and keys.
  static void double_click(float x, float y) {
    steps.push_back({x, y, true, {}, nullptr});
    steps.push_back({x, y, false, {}, nullptr});
    steps.push_back({x, y, true, {}, nullptr, 0.1f});
    steps.push_back({x, y, false, {}, nullptr});
  }
  static void type_step(const std::string& text) {
    dialog_step s;
    for (char c : text) s.keys.push_back({static_cast<unsigned char>(c), 0});
    steps.push_back(s);
  }
  static void key_step(int chr, int vkey) {
    dialog_step s;
    s.keys.push_back({chr, vkey});
    steps.push_back(s);
  }
  // The list row at which item `item` is drawn when `scroll` is the centre item.
  static float row_y(int item, int scroll) { return 180.0f - 10.0f * static_cast<float>(item - scroll); }

  void mkdirs(const std::string& p) { ASSERT_EQ(std::system(("mkdir -p '" + root_ + "/" + p + "'").c_str()), 0); }
  void file(const std::string& p, const std::string& bytes) {
    std::ofstream f(root_ + "/" + p, std::ios::binary);
    f << bytes;
  }

  std::string root_, old_cwd_;
  BTN_shell_hooks old_hooks_;
};
