// Waiting for a started program and reading its end the way pclose reports it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>

#include "platform/spawn.h"

namespace {

TEST(SpawnStatus, ExitCodesAndSignalsInWaitForm) {
  struct row {
    const char* script;
    bool exited;
    int value;  // exit code, or signal number
  };
  const row rows[] = {{"exit 0", true, 0}, {"exit 3", true, 3}, {"exit 200", true, 200},
                      {"kill -TERM $$", false, SIGTERM}, {"kill -KILL $$", false, SIGKILL}};
  for (const row& r : rows) {
    pid_t pid = 0;
    ASSERT_EQ(PLAT_spawn({"sh", "-c", r.script}, &pid), 0) << r.script;
    int status = -1;
    ASSERT_EQ(PLAT_wait_status(pid, &status), 0) << r.script;
    EXPECT_EQ(WIFEXITED(status), r.exited) << r.script;
    if (r.exited) {
      EXPECT_EQ(WEXITSTATUS(status), r.value) << r.script;
    } else {
      ASSERT_TRUE(WIFSIGNALED(status)) << r.script;
      EXPECT_EQ(WTERMSIG(status), r.value) << r.script;
    }
    // The same end through PLAT_run: 128 + the signal for a signal.
    int code = -1;
    ASSERT_EQ(PLAT_run({"sh", "-c", r.script}, &code), 0);
    EXPECT_EQ(code, r.exited ? r.value : 128 + r.value) << r.script;
  }
}

TEST(SpawnStatus, WaitingForWhatWasNotStartedIsAnError) {
  pid_t pid = 0;
  ASSERT_EQ(PLAT_spawn({"true"}, &pid), 0);
  int status = 0;
  ASSERT_EQ(PLAT_wait_status(pid, &status), 0);
  EXPECT_EQ(PLAT_wait_status(pid, &status), ECHILD) << "already reaped";
}

}  // namespace
