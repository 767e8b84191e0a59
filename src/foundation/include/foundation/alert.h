// The four-line alert: the one way every subsystem reports a failed check.
// The shell installs the real alert; until then the default hook writes the lines to
// standard error and the log, and ends the process with status 1 for a fatal alert.
#pragma once
#include <string>

enum { t_langbox = 0, t_alert = 1, t_exit = 2 };

using alert_hook_fn = void (*)(int window, std::string l1, std::string l2, std::string l3,
                               std::string l4, int type, const char* file, int line);

// Raises an alert; type 2 never returns.
void __ZARIRU_alert(int window, std::string l1, std::string l2, std::string l3, std::string l4,
                    int type, const char* file, int line);

// Installs the alert shown to the user (or a recording sink in tests); null restores the default.
// Returns the hook that was installed before.
alert_hook_fn ZARIRU_set_alert_hook(alert_hook_fn hook);

// The default: lines to stderr and the log; type 2 ends the process with status 1.
void ZARIRU_default_alert(int window, std::string l1, std::string l2, std::string l3,
                          std::string l4, int type, const char* file, int line);

// Work that must be done even when a fatal alert ends the process, which skips the handlers
// of atexit (the movie recorder finishes its take there). Runs once, on the thread that ends
// the process, and raises no alert. Returns the hook installed before; null removes it.
using fatal_exit_fn = void (*)();
fatal_exit_fn ZARIRU_set_fatal_exit_hook(fatal_exit_fn hook);
// Runs that hook and ends the process with status 1.
[[noreturn]] void ZARIRU_fatal_exit();

#define ZARIRU_alert(w, a, b, c, d, type) __ZARIRU_alert((w), (a), (b), (c), (d), (type), __FILE__, __LINE__)
