// Starting another application, the large-address flag of Windows executables, and the bridge
// from paths to reference records.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "alert_sink.h"
#include "files/io_utils.h"
#include "files_test_util.h"

namespace {

class Launch : public ScratchDir {
 protected:
  // A DOS header whose e_lfanew points at offset pe_at, followed by a PE signature and a COFF
  // header with the given Characteristics.
  static std::string pe_file(uint32_t pe_at, uint16_t characteristics, bool with_pe = true) {
    std::string b(pe_at + 24 + 16, '\0');
    b[0] = 'M';
    b[1] = 'Z';
    for (int i = 0; i < 4; ++i) b[60 + i] = static_cast<char>((pe_at >> (8 * i)) & 0xFF);
    if (with_pe) {
      b[pe_at] = 'P';
      b[pe_at + 1] = 'E';
    }
    b[pe_at + 4] = 0x4c;  // machine i386, untouched by the flag
    b[pe_at + 5] = 0x01;
    b[pe_at + 22] = static_cast<char>(characteristics & 0xFF);
    b[pe_at + 23] = static_cast<char>(characteristics >> 8);
    return b;
  }
  static uint16_t characteristics(const std::string& b, uint32_t pe_at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(b[pe_at + 22]) |
                                 static_cast<unsigned char>(b[pe_at + 23]) << 8);
  }
  // Writes an executable script that records its arguments, one per line.
  void script(const std::string& name) {
    write(path(name), "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" + path("args.txt") +
                          "'\necho done >> '" + path("args.txt") + "'\n");
    ASSERT_EQ(chmod(path(name).c_str(), 0755), 0);
  }
  std::string wait_for_args() {
    for (int i = 0; i < 500; ++i) {
      std::string a = read(path("args.txt"));
      if (a.size() >= 5 && a.compare(a.size() - 5, 5, "done\n") == 0) return a;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return read(path("args.txt"));
  }
};

TEST_F(Launch, LargeAddressFlagIsSetAndStaysSet) {
  write(path("app.exe"), pe_file(128, 0x0102));
  EXPECT_EQ(make_file_large_address_aware(path("app.exe")), 0);
  std::string b = read(path("app.exe"));
  EXPECT_EQ(characteristics(b, 128), 0x0122);
  EXPECT_EQ(static_cast<unsigned char>(b[128 + 4]), 0x4c);
  EXPECT_EQ(make_file_large_address_aware(path("app.exe")), 0);
  std::string again = read(path("app.exe"));
  EXPECT_EQ(characteristics(again, 128), 0x0122);
  EXPECT_EQ(again.size(), b.size());
}

TEST_F(Launch, LargeAddressRefusesWhatIsNotAnExecutable) {
  write(path("text.exe"), std::string(100, 'x'));
  EXPECT_EQ(make_file_large_address_aware(path("text.exe")), ERR_NO_MZ);

  const std::string dos = pe_file(128, 0x0102, false);
  write(path("dos.exe"), dos);
  EXPECT_EQ(make_file_large_address_aware(path("dos.exe")), ERR_NO_PE);
  EXPECT_EQ(read(path("dos.exe")), dos);

  write(path("short.exe"), "MZ");
  EXPECT_EQ(make_file_large_address_aware(path("short.exe")), EIO);
  std::string beyond = pe_file(128, 0).substr(0, 64);
  beyond[60] = 0;
  beyond[61] = 0x10;  // e_lfanew past the end of the file
  write(path("beyond.exe"), beyond);
  EXPECT_EQ(make_file_large_address_aware(path("beyond.exe")), EIO);
  std::string negative = beyond;
  negative[63] = static_cast<char>(0x80);
  write(path("negative.exe"), negative);
  EXPECT_EQ(make_file_large_address_aware(path("negative.exe")), EINVAL);
  EXPECT_EQ(make_file_large_address_aware(path("missing.exe")), ENOENT);
}

TEST_F(Launch, FailedStartIsReportedAndWeKeepRunning) {
  EXPECT_EQ(launch_app(path("no-such-app"), "x"), ENOENT);
  write(path("plain"), "not executable");
  EXPECT_EQ(launch_app(path("plain"), ""), EACCES);
}

// A bare name is the application beside us (app_path is empty after start-up), never a program
// of the same name found in PATH: "true" is in PATH, and would have ended this process.
TEST_F(Launch, BareNameIsNeverLookedUpInPath) {
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(path("").c_str()), 0);
  const int r = launch_app("true", "");
  ASSERT_EQ(chdir(here), 0);
  EXPECT_EQ(r, ENOENT);
}

using LaunchDeathTest = Launch;

TEST_F(LaunchDeathTest, StartedAppGetsPathArgumentAndWeExit) {
  script("app");
  EXPECT_EXIT(launch_app(path("app/"), "/some folder/"), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(wait_for_args(), "-path\n/some folder/\ndone\n");
}

TEST_F(LaunchDeathTest, BareNameStartsTheOneInTheCurrentFolder) {
  script("app");
  EXPECT_EXIT(
      {
        if (chdir(path("").c_str()) == 0) launch_app("app", "x");
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(wait_for_args(), "-path\nx\ndone\n");
}

TEST_F(LaunchDeathTest, EmptyArgumentStartsWithNoArguments) {
  script("app");
  EXPECT_EXIT(launch_app(path("app"), ""), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(wait_for_args(), "done\n");
}

int g_finishup_save = -1;
void record_finishup(int save) {
  g_finishup_save = save;
  std::fprintf(stderr, "finishup %d\n", save);
}

TEST_F(LaunchDeathTest, FinishUpRunsBeforeTheExit) {
  script("app");
  EXPECT_EXIT(
      {
        launch_set_finishup_hook(record_finishup);
        launch_app(path("app"), "d");
      },
      ::testing::ExitedWithCode(1), "finishup 1");
}

TEST_F(Launch, RefAndNameOfALeafThatDoesNotExistYet) {
  mkdirs(path("dest"));
  FSRef ref;
  HFSUniStr255 name;
  const std::string p = path("dest/new\xE9.txt");
  ASSERT_EQ(FilePathToFSRefAndName(p.c_str(), &ref, &name), 0);
  EXPECT_EQ(ref.path, path("dest"));
  ASSERT_EQ(name.length, 8);
  EXPECT_EQ(name.unicode[0], 'n');
  EXPECT_EQ(name.unicode[3], 0xFFE9);  // widened as a signed byte
  EXPECT_EQ(name.unicode[7], 't');

  EXPECT_EQ(FilePathToFSRefAndName(path("nodir/x").c_str(), &ref, &name), ERR_FS_NOT_FOUND);
  EXPECT_EQ(FilePathToFSRefAndName(path("dest/missing").c_str(), &ref, nullptr), ERR_FS_NOT_FOUND);
  ASSERT_EQ(FilePathToFSRefAndName(path("dest/").c_str(), &ref, nullptr), 0);
  EXPECT_EQ(ref.path, path("dest"));
  std::string back;
  ASSERT_EQ(FSRefToFilePath(&ref, back), 0);
  EXPECT_EQ(back, path("dest"));
  EXPECT_EQ(FilePathToFSRefAndName((path("dest/") + std::string(256, 'n')).c_str(), &ref, &name),
            ERR_FS_BAD_NAME);
}

TEST_F(Launch, SpecsOfExistingItemsOnly) {
  write(path("f.txt"), "");
  FSSpec spec;
  ASSERT_EQ(FilePathToFSSpec(path("f.txt").c_str(), spec), 0);
  EXPECT_EQ(spec.parent, root_);
  EXPECT_EQ(spec.name[0], 5);
  EXPECT_EQ(std::memcmp(spec.name + 1, "f.txt", 5), 0);
  std::string back;
  ASSERT_EQ(FSSpecToFilePath(spec, back), 0);
  EXPECT_EQ(back, path("f.txt"));
  EXPECT_EQ(FilePathToFSSpec(path("none.txt").c_str(), spec), ERR_FS_NOT_FOUND);
  ASSERT_EQ(FilePathToFSSpec(root_.c_str(), spec), 0);
  EXPECT_EQ(spec.parent + std::string(reinterpret_cast<char*>(spec.name + 1), spec.name[0]) + "/",
            root_);
  ASSERT_EQ(unlink(path("f.txt").c_str()), 0);
  EXPECT_EQ(FSSpecToFilePath(spec, back), 0);  // the folder itself still exists
}

TEST(PathBridge, ConversionIsTheIdentityAndBundlesDoNotLoad) {
  std::string p = "/home/user/Volarium 9/";
  ConvertPathToCFM(p);
  EXPECT_EQ(p, "/home/user/Volarium 9/");
  CFBundleRef bundle = reinterpret_cast<CFBundleRef>(1);
  AlertSink sink;
  EXPECT_NE(load_bundle_by_filename("OpenGL.framework", 0, &bundle), 0);
  EXPECT_EQ(bundle, nullptr);
  EXPECT_EQ(sink.count(), 0u);
}

}  // namespace
