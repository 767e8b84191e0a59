// The platform services the file layer brings: helper programs without a shell, and the free
// space of the volume that holds a path.
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <sys/wait.h>

#include <filesystem>
#include <utility>

#include "files_test_util.h"
#include "platform/claim.h"
#include "platform/spawn.h"
#include "platform/volume.h"

namespace {

class PlatformServices : public ScratchDir {};

TEST_F(PlatformServices, RunCapturesOutputAndExitCode) {
  int code = -1;
  std::string out;
  ASSERT_EQ(PLAT_run({"printf", "%s|", "a b", "$HOME;`x`"}, &code, &out), 0);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(out, "a b|$HOME;`x`|");  // arguments reach the program untouched by any shell
  ASSERT_EQ(PLAT_run({"sh", "-c", "exit 7"}, &code), 0);
  EXPECT_EQ(code, 7);
  ASSERT_EQ(PLAT_run({"sh", "-c", "kill -TERM $$"}, &code), 0);
  EXPECT_EQ(code, 128 + SIGTERM);
  ASSERT_EQ(PLAT_run({"cat"}, &code, &out), 0);  // standard input is empty, never the terminal
  EXPECT_EQ(out, "");
}

TEST_F(PlatformServices, FailedStartIsReported) {
  int code = -1;
  std::string out = "kept";
  EXPECT_EQ(PLAT_run({"no-such-program-anywhere"}, &code, &out), ENOENT);
  EXPECT_EQ(code, -1);
  EXPECT_EQ(PLAT_run({}, &code), EINVAL);
  write(path("plain"), "x");
  EXPECT_EQ(PLAT_run({path("plain")}, &code), EACCES);
  pid_t pid = 0;
  EXPECT_EQ(PLAT_spawn({path("missing")}, &pid), ENOENT);
}

TEST_F(PlatformServices, SpawnedProgramRunsOnItsOwn) {
  pid_t pid = 0;
  ASSERT_EQ(PLAT_spawn({"sh", "-c", "echo hi > '" + path("out") + "'"}, &pid), 0);
  ASSERT_GT(pid, 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(read(path("out")), "hi\n");
}

TEST_F(PlatformServices, FreeSpaceOfExistingAndFuturePaths) {
  struct statvfs vs;
  ASSERT_EQ(statvfs(root_.c_str(), &vs), 0);
  const uint64_t want = uint64_t(vs.f_bavail) * vs.f_frsize;
  uint64_t free_bytes = 0;
  ASSERT_EQ(PLAT_volume_free_bytes(root_, free_bytes), 0);
  // Other programs write meanwhile: allow a small drift.
  EXPECT_NEAR(double(free_bytes), double(want), 64.0 * 1024 * 1024);
  uint64_t future = 0;
  ASSERT_EQ(PLAT_volume_free_bytes(path("not/yet/made/Volarium 9/"), future), 0);
  EXPECT_NEAR(double(future), double(want), 64.0 * 1024 * 1024);
  uint64_t shm = 0;
  struct statvfs sv;
  if (statvfs("/dev/shm", &sv) == 0 && sv.f_fsid != vs.f_fsid) {
    ASSERT_EQ(PLAT_volume_free_bytes("/dev/shm/none/deeper", shm), 0);
    EXPECT_EQ(shm, uint64_t(sv.f_bavail) * sv.f_frsize);
  }
  write(path("file"), "");
  EXPECT_EQ(PLAT_volume_free_bytes(path("file/below"), free_bytes), 0);  // a file is no folder
}

// A folder's claim is met through a link and after the holder made the folder (even in one process).
TEST_F(PlatformServices, FolderClaimsMeetThroughLinksAndAFolderMadeSince) {
  std::filesystem::create_directories(path("games"));
  std::filesystem::create_directory_symlink(path("games"), path("link"));
  int held = -1, other = -1;
  std::string unshared;
  ASSERT_EQ(PLAT_claim_folder(path("games/Volarium 9"), &held, &unshared), 0);
  std::filesystem::create_directory(path("games/Volarium 9"));
  for (const char* p : {"games/Volarium 9", "link/Volarium 9/", "link/../games/Volarium 9"})
    EXPECT_EQ(PLAT_claim_folder(path(p), &other, &unshared), EWOULDBLOCK) << p;
  for (const char* p : {"games/Volarium 8", "link/Volarium 9"}) {
    EXPECT_EQ(PLAT_claim_folder(path(p), &other, &unshared), 0) << p;
    PLAT_release_folder_claim(other);
    PLAT_release_folder_claim(std::exchange(held, -1));  // the second is free only once this lets go
  }
}

}  // namespace

// Memory file systems read as solid-state, through the nearest existing ancestor; a path with
// no existing ancestor cannot be told.
TEST_F(PlatformServices, RotationalFlagOfMemoryAndMissingVolumes) {
  if (!std::filesystem::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm here";
  EXPECT_EQ(PLAT_volume_rotational("/dev/shm"), 0);
  EXPECT_EQ(PLAT_volume_rotational("/dev/shm/not/made/yet"), 0);
  EXPECT_EQ(PLAT_volume_rotational("/proc/self"), -1);
}
