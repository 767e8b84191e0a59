// Helper programs started with posix_spawnp and an argument vector, never through a shell.
#include "platform/spawn.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

int PLAT_wait_status(pid_t pid, int* status) {
  int st = 0;
  while (waitpid(pid, &st, 0) < 0)
    if (errno != EINTR) return errno;
  if (status) *status = st;
  return 0;
}

namespace {

std::vector<char*> c_argv(const std::vector<std::string>& argv) {
  std::vector<char*> v;
  for (const std::string& a : argv) v.push_back(const_cast<char*>(a.c_str()));
  v.push_back(nullptr);
  return v;
}

// out_fd >= 0: the child's standard output goes there.
int start(const std::vector<std::string>& argv, pid_t* pid, int out_fd, int close_fd) {
  if (argv.empty() || argv[0].empty()) return EINVAL;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (out_fd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
    posix_spawn_file_actions_addclose(&actions, out_fd);
  }
  if (close_fd >= 0) posix_spawn_file_actions_addclose(&actions, close_fd);
  std::vector<char*> v = c_argv(argv);
  int err = posix_spawnp(pid, v[0], &actions, nullptr, v.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return err;
}

int wait_for(pid_t pid, int* exit_code) {
  int status = 0;
  if (int err = PLAT_wait_status(pid, &status)) return err;
  if (exit_code) *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return 0;
}

}  // namespace

int PLAT_spawn(const std::vector<std::string>& argv, pid_t* pid) {
  pid_t child = 0;
  int err = start(argv, &child, -1, -1);
  if (err == 0 && pid) *pid = child;
  return err;
}

int PLAT_run(const std::vector<std::string>& argv, int* exit_code, std::string* out) {
  pid_t pid = 0;
  if (!out) {
    int err = start(argv, &pid, -1, -1);
    return err ? err : wait_for(pid, exit_code);
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return errno;
  int err = start(argv, &pid, fds[1], fds[0]);
  close(fds[1]);
  if (err) {
    close(fds[0]);
    return err;
  }
  out->clear();
  char buf[4096];
  for (;;) {
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n > 0) {
      out->append(buf, size_t(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(fds[0]);
  return wait_for(pid, exit_code);
}
