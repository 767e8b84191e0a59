// Native dialogs: the desktop's chooser for files and folders, the stop box, the yes/no
// question, the progress report, and byte-order flips.
#include "shell/nav.h"

#include <cstring>
#include <string>

#include "folder_chooser.h"
#include "foundation/globals.h"
#include "foundation/shell_state.h"
#include "platform/chooser.h"
#include "platform/msgbox.h"

namespace {

// Texts handed to the system are cut to 255 characters.
std::string cut255(const char* s) {
  std::string t = s ? s : "";
  if (t.size() > 255) t.resize(255);
  return t;
}

}  // namespace

int GetFilePathFromUser(int mode, const char* prompt, const char* button, int key, const char* folder,
                        char* out, size_t out_size) {
  (void)button;
  (void)key;
  if (mode < 0 || mode > 2 || !out || out_size == 0) return 0;
  std::string name = mode == 1 ? std::string(out, strnlen(out, out_size)) : std::string();
  std::string chosen;
  int r = PLAT_choose_path(mode, cut255(prompt), folder ? std::string(folder) : std::string(), name, chosen);
  if (r < 0 && mode == 2 && ogl_inited == 1) {
    // No desktop chooser on this machine: the window's own.
    r = ZARIRU_choose_folder_in_window(folder ? std::string(folder) : std::string("/"), chosen);
  } else if (r < 0) {
    xer_line("No file chooser could be started (zenity or kdialog).\n");
    return 0;
  }
  if (r != 1) return 0;
  if (chosen.size() + 1 > out_size) {
    xer_line("The chosen path is too long: " + chosen + "\n");
    return 0;
  }
  std::memcpy(out, chosen.c_str(), chosen.size() + 1);
  return 1;
}

int DoUserAlert(const char* msg) {
  PLAT_message_box("Volarium", cut255(msg));
  return 0;
}

int ConfirmMessage(const char* msg, const char* yes, const char* no) {
  return PLAT_question_box("Volarium", cut255(msg), yes ? yes : "OK", no ? no : "Cancel");
}

int ShowProgressMessage(const char* msg, float* progress) {
  std::string line = cut255(msg);
  if (progress) {
    line += *progress >= 0 ? " (" + std::to_string(static_cast<int>(*progress * 1000.0f) / 10) + "%)" : " (...)";
  }
  xer_line(line + "\n");
  return 0;
}

uint16_t EndianFlipShort(uint16_t* v) {
  *v = static_cast<uint16_t>((*v >> 8) | (*v << 8));
  return *v;
}

uint32_t EndianFlipLong(uint32_t* v) {
  uint32_t x = *v;
  *v = (x >> 24) | ((x >> 8) & 0xFF00u) | ((x << 8) & 0xFF0000u) | (x << 24);
  return *v;
}
