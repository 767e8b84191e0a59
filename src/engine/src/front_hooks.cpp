// Hooks to the front end's question and scan screens, with headless defaults: with no one to
// ask, a changed file is kept and the question goes to the log.
#include "engine/front_hooks.h"

#include <atomic>

#include "foundation/globals.h"

namespace {
std::atomic<select_alert_fn> g_select{nullptr};
std::atomic<dir_progress_bar_fn> g_progress{nullptr};
}  // namespace

select_alert_fn set_select_alert_hook(select_alert_fn hook) { return g_select.exchange(hook); }
dir_progress_bar_fn set_dir_progress_bar_hook(dir_progress_bar_fn hook) {
  return g_progress.exchange(hook);
}

int engine_select_alert(std::string path, int deleting) {
  if (select_alert_fn hook = g_select.load()) return hook(std::move(path), deleting);
  xer_line(std::string("WARNING: no one to ask; keeping the changed file ") + path +
           (deleting ? " (the list drops it)." : "."));
  return 2;
}

void engine_dir_progress_bar(float lo, float val, float hi, int kind, std::string line1,
                             std::string line3) {
  if (dir_progress_bar_fn hook = g_progress.load())
    hook(lo, val, hi, kind, std::move(line1), std::move(line3));
}
