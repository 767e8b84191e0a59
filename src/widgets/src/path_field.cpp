// The path field: a path's last name in a text field, with a folder icon that opens the desktop's
// folder chooser, and its two forms over character buffers.
#include <cstring>
#include <string>

#include "btn_draw.h"
#include "foundation/alert.h"
#include "foundation/globals.h"
#include "foundation/records.h"
#include "foundation/shell_state.h"
#include "widgets/butn.h"
#include "widgets/fields.h"
#include "widgets/focus.h"
#include "widgets/opensave.h"
#include "widgets/shell_hooks.h"

namespace {

constexpr int kHelpSlot = 1802;
// Longest text the shared bounded copy writes into a caller's buffer.
constexpr size_t kCopyMax = 499;
// The chooser's answer never outgrows the system's path limit.
constexpr size_t kChosenMax = 4096;

void check_args(int open_save, int file_type, const char* bad_open, const char* bad_type, int line) {
  if (open_save != BTN_dialog_open && open_save != BTN_dialog_save)
    __ZARIRU_alert(0, bad_open, "", "", "", t_exit, kButnUnit, line);
  if (file_type < 0 || file_type >= BTN_file_types)
    __ZARIRU_alert(0, bad_type, "", "", "", t_exit, kButnUnit, line + 1);
}

// Where the last name of a path begins: after its last "/" that is not its final character.
size_t last_name_at(const std::string& path) {
  if (path.size() < 2) return 0;
  const size_t cut = path.find_last_of('/', path.size() - 2);
  return cut == std::string::npos ? 0 : cut + 1;
}

bool whole_path_types(int file_type) { return file_type == 20 || file_type == 21; }

// The shared bounded copy into a caller's buffer. A text past its bound is refused with a log
// line and the buffer keeps what it held: a long path is a legal choice, not a reason to end.
bool copy_out(const std::string& text, char* out) {
  if (text.size() > kCopyMax) {
    xer_line("The path does not fit the field: " + text + "\n");
    return false;
  }
  std::memcpy(out, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace

int BTN_select_path_stl(float x, float y, int open_save, int file_type, std::string* path, int max_len,
                        std::string label, float width, int take_focus) {
  check_args(open_save, file_type, "Bad open_save arg to BTN_select_file_stl!",
             "Bad file_type arg to BTN_select_file_stl!", 1301);
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  BTN_util_draw_label(x - 32, y, 0, left, 0);
  BTN_util_draw_label(x + width + 6, y, 2, right, 0);
  btn_draw::sprite(0, x - 17 - 13, y + 3 - 13, x - 17 + 13, y + 3 + 13, 208, 133, 234, 159);

  // The edited text is the path: what the user typed is what the caller gets. Once edited, the
  // field shows that text whole while it keeps the focus, so that a typed "/" stays in view.
  static int edited_id = 0;
  const int id = BTN_widget_id(x, y);
  if (edited_id == id && focus_id != id) edited_id = 0;
  const size_t at = whole_path_types(file_type) || edited_id == id ? 0 : last_name_at(*path);
  std::string shown = path->substr(at);
  if (BTN_enterstring(x, y, &shown, max_len, "", width, take_focus)) {
    *path = shown;
    edited_id = id;
  }

  if (mnw.mouse_x >= x - 28 && mnw.mouse_x <= x - 6 && mnw.mouse_y >= y - 8 && mnw.mouse_y <= y + 12) {
    stls[kHelpSlot] = help;
    if (mnw.click && mnw.menu_open < 0) {
      char chosen[kChosenMax] = {};
      if (BTN_choose_folder("Please pick an Volsuite to update", "Update", nullptr, chosen, sizeof chosen)) {
        *path = chosen;
        return 1;
      }
    }
  }
  return 0;
}

int BTN_select_file_chr(float x, float y, int open_save, int file_type, char* name, std::string* path,
                        int max_len, std::string label, float width) {
  check_args(open_save, file_type, "Bad open_save arg to BTN_select_file_chr!",
             "Bad file_type arg to BTN_select_file_chr!", 1341);
  std::string full = path->substr(0, last_name_at(*path)) + name;
  const int result = BTN_select_path_stl(x, y, open_save, file_type, &full, max_len, label, width, 1);
  if (result != 1) return result;
  std::string last = full.substr(last_name_at(full));
  if (max_len > 0 && last.size() >= static_cast<size_t>(max_len)) last.resize(static_cast<size_t>(max_len) - 1);
  if (!copy_out(last, name)) return 0;
  *path = full;
  return 1;
}

int BTN_select_path_chr(float x, float y, int open_save, int file_type, char* path, int max_len,
                        std::string label, float width, int take_focus) {
  check_args(open_save, file_type, "Bad open_save arg to BTN_select_file_chr!",
             "Bad file_type arg to BTN_select_file_chr!", 1361);
  std::string text = path;
  const std::string before = text;
  int result = BTN_select_path_stl(x, y, open_save, file_type, &text, max_len, label, width, take_focus);
  // The buffer holds max_len characters: a longer chosen path is refused, not cut or overrun.
  if (max_len >= 0 && text.size() > static_cast<size_t>(max_len)) {
    xer_line("The path does not fit the field: " + text + "\n");
    text = before;
    result = 0;
  }
  return copy_out(text, path) ? result : 0;
}
