// Starting helper programs without a shell: an argument vector, the program looked up in PATH
// when its name holds no "/". A program that cannot be started is reported, never hidden.
// Stands for: fork + execv, popen and system of the Mac build.
// Implemented on Linux: posix_spawnp with standard input from /dev/null, waiting for the end,
// and the standard output read back.
// Missing: a command line for a shell (never built here: no quoting to get wrong), standard
// input fed to the program, and a time limit on a program that does not end.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

// Starts argv[0] with argv; its standard input reads /dev/null. 0 and *pid, or the errno of the
// failed start (ENOENT for a program that is not there).
int PLAT_spawn(const std::vector<std::string>& argv, pid_t* pid);

// Waits for a program started by PLAT_spawn to end. 0 and *status in waitpid's form (as pclose
// returns it: WIFEXITED, WEXITSTATUS...), or the errno of the wait.
int PLAT_wait_status(pid_t pid, int* status);

// Runs argv to its end. 0 when it ran: *exit_code gets its exit status (128 + signal number when
// a signal ended it) and *out, when given, everything it wrote to standard output. Otherwise the
// errno of the failed start.
int PLAT_run(const std::vector<std::string>& argv, int* exit_code, std::string* out = nullptr);
