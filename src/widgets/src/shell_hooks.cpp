// The shell's services as the widgets reach them: through hooks the shell installs at start-up.
#include "widgets/shell_hooks.h"

namespace {
BTN_shell_hooks g_hooks;
}  // namespace

BTN_shell_hooks BTN_set_shell_hooks(const BTN_shell_hooks& hooks) {
  BTN_shell_hooks old = g_hooks;
  g_hooks = hooks;
  return old;
}

const BTN_shell_hooks& BTN_get_shell_hooks() { return g_hooks; }

void BTN_run_frame() {
  if (g_hooks.run_frame) g_hooks.run_frame();
}

void BTN_start_window(int id, int second) {
  if (g_hooks.start_window) g_hooks.start_window(id, second);
}

int BTN_choose_folder(const char* prompt, const char* button, const char* start, char* out,
                      size_t out_size) {
  if (!g_hooks.choose_folder || !out || out_size == 0) return 0;
  return g_hooks.choose_folder(prompt, button, start, out, out_size) ? 1 : 0;
}

int BTN_confirm(const char* message, const char* yes, const char* no) {
  return g_hooks.confirm && g_hooks.confirm(message, yes, no) ? 1 : 0;
}
