// The browser is whatever the desktop's opener picks; we only start it.
#include "platform/open_url.h"

#include <spawn.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

int PLAT_open_url(const std::string& url) {
  std::string prog = "xdg-open";
  char* argv[] = {prog.data(), const_cast<char*>(url.c_str()), nullptr};
  pid_t pid = 0;
  int err = posix_spawnp(&pid, prog.c_str(), nullptr, nullptr, argv, environ);
  if (err != 0) return err;
  // Reap it in the background so no zombie stays behind and nobody waits for the browser.
  std::thread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
  return 0;
}
