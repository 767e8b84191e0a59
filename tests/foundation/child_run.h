// Runs a piece of code in a forked child with its standard output captured, for code that
// prints and then ends the process.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

struct child_result {
  int exit_code = -1;  // -1 when the child did not exit normally
  std::string out;
};

inline child_result run_in_child(const std::function<void()>& body) {
  child_result r;
  int fds[2];
  if (pipe(fds) != 0) return r;
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], 1);
    body();
    std::fflush(stdout);
    _exit(99);  // the body was expected to end the process itself
  }
  close(fds[1]);
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof(buf))) > 0) r.out.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
  return r;
}
