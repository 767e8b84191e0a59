// The shell's services that the modal widgets call from below: a frame, a sub-window, the
// folder chooser, a question.
#include <cstddef>

#include "shell/hl_mnw.h"
#include "shell/nav.h"
#include "widget_hooks.h"
#include "widgets/shell_hooks.h"

namespace {

int choose_folder(const char* prompt, const char* button, const char* start, char* out, size_t out_size) {
  return GetFilePathFromUser(2, prompt, button, 1, start, out, out_size);
}

}  // namespace

void ZARIRU_install_widget_hooks() {
  BTN_shell_hooks hooks;
  hooks.run_frame = ZARIRU_event_proc;
  hooks.start_window = ZARIRU_startwind;
  hooks.choose_folder = choose_folder;
  hooks.confirm = ConfirmMessage;
  BTN_set_shell_hooks(hooks);
}
