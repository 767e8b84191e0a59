// Alert entry point and its replaceable hook: the shell puts the real alert here at start-up.
#include "foundation/alert.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "foundation/exce.h"
#include "foundation/globals.h"
#include "foundation/worker_pool.h"

namespace {
std::atomic<alert_hook_fn> g_hook{nullptr};
std::atomic<fatal_exit_fn> g_fatal_exit_hook{nullptr};
std::atomic<int> g_exiting{0};
}  // namespace

fatal_exit_fn ZARIRU_set_fatal_exit_hook(fatal_exit_fn hook) { return g_fatal_exit_hook.exchange(hook); }

void ZARIRU_fatal_exit() {
  // A fatal exit from inside the hook ends at once.
  if (g_exiting.exchange(1) == 0)
    if (fatal_exit_fn hook = g_fatal_exit_hook.load()) hook();
  std::_Exit(1);
}

alert_hook_fn ZARIRU_set_alert_hook(alert_hook_fn hook) { return g_hook.exchange(hook); }

void ZARIRU_default_alert(int, std::string l1, std::string l2, std::string l3, std::string l4,
                          int type, const char* file, int line) {
  std::string where = std::string("(") + (file ? file : "?") + " line " + std::to_string(line) + ")";
  std::string text = l1 + "\n" + l2 + "\n" + l3 + "\n" + l4 + "\n" + where + "\n";
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  if (xer.is_open()) xer_line(text);
  if (type == t_exit) ZARIRU_fatal_exit();
}

void __ZARIRU_alert(int window, std::string l1, std::string l2, std::string l3, std::string l4,
                    int type, const char* file, int line) {
  // Only the main thread shows alerts: elsewhere the alert becomes a record for the main
  // thread (a fatal one ends this thread, type 0 is dropped).
  if (THREAD_is_inited() && !THREAD_is_main_thread()) {
    THREAD_send_exception(exce_class(std::move(l1), std::move(l2), std::move(l3), std::move(l4), file, line, type));
    return;
  }
  alert_hook_fn hook = g_hook.load();
  if (!hook) hook = ZARIRU_default_alert;
  hook(window, std::move(l1), std::move(l2), std::move(l3), std::move(l4), type, file, line);
  // A fatal alert never returns, whatever the hook did.
  if (type == t_exit) ZARIRU_fatal_exit();
}
