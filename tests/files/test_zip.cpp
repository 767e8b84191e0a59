// Zip packing and unpacking: round trips, archives of the Info-ZIP tools, damaged entries,
// hostile names and links, atomic replacement, a full disk, and AppleDouble entries.
#include "files/zip.h"

#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/resource.h>
#include <zlib.h>

#include <cstring>
#include <tuple>

#include "platform/mac_meta.h"
#include "test_zip_util.h"

using namespace ziptest;

namespace {

// Entries of an archive, in order, as (name, external attributes).
std::vector<std::pair<std::string, uLong>> list_zip(const std::string& p) {
  std::vector<std::pair<std::string, uLong>> out;
  unzFile z = unzOpen64(p.c_str());
  if (!z) return out;
  for (int r = unzGoToFirstFile(z); r == UNZ_OK; r = unzGoToNextFile(z)) {
    char name[1024];
    unz_file_info64 info;
    unzGetCurrentFileInfo64(z, &info, name, sizeof name, nullptr, 0, nullptr, 0);
    out.emplace_back(name, info.external_fa);
  }
  unzClose(z);
  return out;
}

std::string be32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (24 - 8 * i));
  return s;
}

// An AppleDouble entry with the given descriptors (id, offset, length) and payload after them.
std::string apple_double(const std::vector<std::array<uint32_t, 3>>& descs, const std::string& tail,
                         int16_t count_override = -1) {
  std::string s("\x00\x05\x16\x07\x00\x02\x00\x00", 8);
  s += std::string(16, '\0');
  int16_t count = count_override >= 0 ? count_override : static_cast<int16_t>(descs.size());
  s += static_cast<char>(count >> 8);
  s += static_cast<char>(count & 0xff);
  for (auto& d : descs) s += be32(d[0]) + be32(d[1]) + be32(d[2]);
  return s + tail;
}

mac_meta_data sample_meta() {
  mac_meta_data m;
  m.has_finder_info = true;
  m.finder = {0x54455854u, 0x56304C41u, 0x0100, 12, 34, 0};  // type and creator as four letters
  m.fork = {'r', 's', 'r', 'c', 0, 1, 2, 3, 0xff, 0x80};
  return m;
}

class ZipTest : public ArchiveTest {};

// ---- round trips through file_to_zip and zip_to_file ----

TEST_F(ZipTest, RoundTripKeepsDataModeAndTime) {
  mkdirs("src");
  mkdirs("out");
  const std::string data = sample_bytes(3 * 1024 * 1024 + 17, 1);
  spill(path("src/scenery.dat"), data);
  ASSERT_EQ(::chmod(path("src/scenery.dat").c_str(), 0750), 0);
  const time_t when = 1600000000;  // even: zip dates keep two-second steps
  struct timespec ts[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path("src/scenery.dat").c_str(), ts, 0), 0);

  ASSERT_EQ(file_to_zip(path("src/scenery.dat"), path("scenery.dat.zip")), 0);
  auto entries = list_zip(path("scenery.dat.zip"));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].first, "scenery.dat");
  EXPECT_EQ(entries[0].second >> 16, uLong(S_IFREG | 0750));

  std::string first;
  ASSERT_EQ(zip_to_file(path("scenery.dat.zip"), path("out/"), &first, 0), 0);
  EXPECT_EQ(first, "scenery.dat");
  EXPECT_EQ(slurp(path("out/scenery.dat")), data);
  EXPECT_EQ(mode_of(path("out/scenery.dat")), 0750u);
  EXPECT_EQ(mtime_of(path("out/scenery.dat")), when);
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{"scenery.dat"});

  // Unpacking over the file replaces it and leaves nothing beside it.
  spill(path("out/scenery.dat"), "old");
  ASSERT_EQ(::chmod(path("out/scenery.dat").c_str(), 0600), 0);
  ASSERT_EQ(zip_to_file(path("scenery.dat.zip"), path("out/"), nullptr, 0), 0);
  EXPECT_EQ(slurp(path("out/scenery.dat")), data);
  EXPECT_EQ(mode_of(path("out/scenery.dat")), 0750u);
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{"scenery.dat"});
}

TEST_F(ZipTest, RoundTripOfEmptyFileAndAppPathRoot) {
  mkdirs("src");
  mkdirs("out");
  spill(path("src/empty.txt"), "");
  app_path = root_;  // rooted paths: the root is joined in front
  ASSERT_EQ(file_to_zip("src/empty.txt", "empty.zip"), 0);
  ASSERT_EQ(zip_to_file("empty.zip", "out/", nullptr, 0), 0);
  app_path.clear();
  ASSERT_TRUE(exists(path("out/empty.txt")));
  EXPECT_EQ(slurp(path("out/empty.txt")), "");
}

TEST_F(ZipTest, SymbolicLinkRoundTripAndPeerTool) {
  mkdirs("src");
  mkdirs("out");
  mkdirs("peer");
  ASSERT_EQ(::symlink("Versions/Current/Resources", path("src/Resources").c_str()), 0);
  ASSERT_EQ(file_to_zip(path("src/Resources"), path("link.zip")), 0);
  auto entries = list_zip(path("link.zip"));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].second, 0xA1ED0000u);

  spill(path("out/Resources"), "a file in the way");
  ASSERT_EQ(zip_to_file(path("link.zip"), path("out/"), nullptr, 0), 0);
  ASSERT_TRUE(is_link(path("out/Resources")));
  EXPECT_EQ(link_text(path("out/Resources")), "Versions/Current/Resources");

  // The entry says "made by Unix", so the peer tool restores the link too.
  ASSERT_EQ(sh("cd '" + path("peer") + "' && unzip -q '" + path("link.zip") + "'"), 0);
  ASSERT_TRUE(is_link(path("peer/Resources")));
  EXPECT_EQ(link_text(path("peer/Resources")), "Versions/Current/Resources");
}

TEST_F(ZipTest, PeerToolReadsModesOfOurArchives) {
  mkdirs("src");
  mkdirs("peer");
  spill(path("src/tool"), "#!/bin/sh\necho hi\n");
  ASSERT_EQ(::chmod(path("src/tool").c_str(), 0755), 0);
  ASSERT_EQ(file_to_zip(path("src/tool"), path("tool.zip")), 0);
  ASSERT_EQ(sh("cd '" + path("peer") + "' && unzip -q '" + path("tool.zip") + "'"), 0);
  EXPECT_EQ(slurp(path("peer/tool")), "#!/bin/sh\necho hi\n");
  EXPECT_EQ(mode_of(path("peer/tool")), 0755u);
}

TEST_F(ZipTest, ReplacesExistingArchiveAndReportsBadSources) {
  mkdirs("src");
  spill(path("src/a.txt"), "alpha");
  spill(path("a.zip"), std::string(100000, 'x'));
  ASSERT_EQ(file_to_zip(path("src/a.txt"), path("a.zip")), 0);
  ASSERT_EQ(list_zip(path("a.zip")).size(), 1u);

  EXPECT_EQ(file_to_zip(path("src/missing.txt"), path("m.zip")), ENOENT);
  EXPECT_FALSE(exists(path("m.zip")));
  EXPECT_EQ(file_to_zip(path("src"), path("dir.zip")), ERR_FILE_OPEN);
  EXPECT_EQ(file_to_zip(path("src/a.txt"), path("nowhere/a.zip")), ERR_ZIP_CREATE);
  EXPECT_NE(log().find("file_to_zip failed with error 20003.\nfile = "), std::string::npos);
  // Nothing half-written is left beside the archives.
  EXPECT_EQ(names_in(root_), (std::vector<std::string>{"a.zip", "log.txt", "src"}));
}

// ---- archives made by the Info-ZIP tool ----

TEST_F(ZipTest, UnpacksInfoZipTreeWithFoldersLinksAndModes) {
  mkdirs("tree/Plugins/Lib.framework/Versions/A/Resources");
  mkdirs("out");
  const std::string big = sample_bytes(600000, 7);
  spill(path("tree/Plugins/readme.txt"), "read me\n");
  spill(path("tree/Plugins/Lib.framework/Versions/A/Resources/info.plist"), big);
  ASSERT_EQ(::symlink("A", path("tree/Plugins/Lib.framework/Versions/Current").c_str()), 0);
  ASSERT_EQ(::symlink("Versions/Current/Resources",
                      path("tree/Plugins/Lib.framework/Resources").c_str()),
            0);
  spill(path("tree/Plugins/run"), "x");
  ASSERT_EQ(::chmod(path("tree/Plugins/run").c_str(), 0700), 0);
  ASSERT_EQ(sh("cd '" + path("tree") + "' && zip -qry '" + path("tree.zip") + "' Plugins"), 0);

  std::string first;
  ASSERT_EQ(zip_to_file(path("tree.zip"), path("out/"), &first, 0), 0);
  EXPECT_EQ(first, "Plugins/");
  EXPECT_EQ(slurp(path("out/Plugins/readme.txt")), "read me\n");
  EXPECT_EQ(slurp(path("out/Plugins/Lib.framework/Resources/info.plist")), big);
  EXPECT_TRUE(is_link(path("out/Plugins/Lib.framework/Resources")));
  EXPECT_EQ(link_text(path("out/Plugins/Lib.framework/Versions/Current")), "A");
  EXPECT_EQ(mode_of(path("out/Plugins/run")), 0700u);
  EXPECT_LE(std::llabs(static_cast<long long>(mtime_of(path("out/Plugins/readme.txt")) -
                                              mtime_of(path("tree/Plugins/readme.txt")))),
            2);
  // Unpacking again over the same tree replaces every file and link.
  spill(path("out/Plugins/readme.txt"), "changed by the user, and longer than before\n");
  ASSERT_EQ(zip_to_file(path("tree.zip"), path("out/"), nullptr, 0), 0);
  EXPECT_EQ(slurp(path("out/Plugins/readme.txt")), "read me\n");
}

TEST_F(ZipTest, LongNamesAreNotCut) {
  mkdirs("out/" + std::string(200, 'd'));
  const std::string name = std::string(200, 'd') + "/" + std::string(200, 'f') + ".txt";
  make_zip(path("long.zip"), {{name, "long", 0100644u << 16}});
  std::string first;
  ASSERT_EQ(zip_to_file(path("long.zip"), path("out/"), &first, 0), 0);
  EXPECT_EQ(first, name);
  EXPECT_EQ(slurp(path("out/" + name)), "long");
}

TEST_F(ZipTest, UseNameWritesEveryEntryToTheCallersName) {
  mkdirs("out");
  make_zip(path("one.zip"), {{"stored-name.txt", "payload", 0100644u << 16}});
  std::string name = "wanted.txt";
  ASSERT_EQ(zip_to_file(path("one.zip"), path("out/"), &name, 1), 0);
  EXPECT_EQ(name, "stored-name.txt");
  EXPECT_EQ(slurp(path("out/wanted.txt")), "payload");
  EXPECT_FALSE(exists(path("out/stored-name.txt")));
}

TEST_F(ZipTest, DosAttributesNeverChmodAndZeroKeepsSystemTime) {
  mkdirs("out");
  make_zip(path("dos.zip"), {{"dos.txt", "dos", 0x20}, {"plain.txt", "plain", 0}});
  const time_t before = ::time(nullptr);
  ASSERT_EQ(zip_to_file(path("dos.zip"), path("out/"), nullptr, 0), 0);
  mode_t mask = ::umask(022);
  ::umask(mask);
  EXPECT_EQ(mode_of(path("out/dos.txt")), 0666u & ~mask);
  EXPECT_EQ(mode_of(path("out/plain.txt")), 0666u & ~mask);
  // The DOS entry carries attributes, so its date applies; the zero one keeps "now".
  EXPECT_LT(mtime_of(path("out/dos.txt")), before - 86400);
  EXPECT_GE(mtime_of(path("out/plain.txt")), before - 5);
}

// ---- failures ----

TEST_F(ZipTest, ArchiveThatDoesNotOpenLogsFourLines) {
  mkdirs("out");
  spill(path("junk.zip"), "this is not a zip archive at all");
  EXPECT_EQ(zip_to_file(path("junk.zip"), path("out/"), nullptr, 0), ERR_ZIP_OPEN);
  EXPECT_EQ(zip_to_file(path("absent.zip"), path("out/"), nullptr, 0), ERR_ZIP_OPEN);
  std::string l = log();
  EXPECT_NE(l.find("OK I am about to report that I could not open a zip file for extraction!\n"
                   "That incoming file is " + path("absent.zip") + "\nIn c-form, it is " +
                   path("absent.zip") + "\nThe size is " +
                   std::to_string(path("absent.zip").size()) + "\n"),
            std::string::npos);
}

TEST_F(ZipTest, MissingOutputFolderFails) {
  make_zip(path("a.zip"), {{"a.txt", "a", 0100644u << 16}});
  EXPECT_EQ(zip_to_file(path("a.zip"), path("nowhere/"), nullptr, 0), ENOENT);
  // A file entry whose folder is not in the archive (nor on disk) fails the same way.
  mkdirs("out");
  make_zip(path("b.zip"), {{"sub/b.txt", "b", 0100644u << 16}});
  EXPECT_EQ(zip_to_file(path("b.zip"), path("out/"), nullptr, 0), ENOENT);
}

TEST_F(ZipTest, DamagedEntryStopsAndEarlierFilesStay) {
  mkdirs("src");
  mkdirs("out");
  spill(path("src/1.txt"), std::string(5000, '1'));
  spill(path("src/2.txt"), std::string(5000, '2'));
  spill(path("src/3.txt"), std::string(5000, '3'));
  ASSERT_EQ(sh("cd '" + path("src") + "' && zip -q0 '" + path("d.zip") + "' 1.txt 2.txt 3.txt"), 0);
  std::string z = slurp(path("d.zip"));
  size_t at = z.find(std::string(100, '2'));
  ASSERT_NE(at, std::string::npos);
  z[at + 2500] = 'X';  // stored data: only the checksum can notice
  spill(path("d.zip"), z);
  spill(path("out/2.txt"), "old two");

  // The library's checksum error reads as a damaged archive; its own code is only logged.
  EXPECT_EQ(zip_to_file(path("d.zip"), path("out/"), nullptr, 0), ERR_ZIP_READ);
  EXPECT_EQ(slurp(path("out/1.txt")), std::string(5000, '1'));
  EXPECT_EQ(slurp(path("out/2.txt")), "old two");  // replaced whole or not at all
  EXPECT_FALSE(exists(path("out/3.txt")));
  EXPECT_EQ(names_in(path("out")), (std::vector<std::string>{"1.txt", "2.txt"}));
  std::string l = log();
  EXPECT_NE(l.find("The zip library reported -105.\n"), std::string::npos);
  EXPECT_NE(l.find("Zip to file failed with error 20002. file = DUdurid/Files/io_utils line = "),
            std::string::npos);
  EXPECT_NE(l.find(". inFile=" + path("out/2.txt") + ".\n"), std::string::npos);
  EXPECT_NE(l.find("UNZIP zip_to_file failed with err=20002\n"), std::string::npos);
  EXPECT_NE(l.find("Zip to file failed with error err = 20002. file = "), std::string::npos);
  EXPECT_EQ(error_str(ERR_ZIP_READ),
            "We were unable to read from a zip file. It may be missing or damaged");
}

TEST_F(ZipTest, DamagedDeflateStreamReadsAsDamagedArchive) {
  mkdirs("out");
  make_zip(path("d.zip"), {{"big.txt", sample_bytes(200000, 3), 0100644u << 16}});
  std::string z = slurp(path("d.zip"));
  for (size_t i = 200; i < 400; ++i) z[i] = static_cast<char>(z[i] ^ 0x5a);
  spill(path("d.zip"), z);
  EXPECT_EQ(zip_to_file(path("d.zip"), path("out/"), nullptr, 0), ERR_ZIP_READ);
  EXPECT_FALSE(exists(path("out/big.txt")));
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{});
}

TEST_F(ZipTest, FullDiskLeavesTheOldFile) {
  mkdirs("out");
  make_zip(path("big.zip"), {{"big.bin", sample_bytes(2 * 1024 * 1024, 9), 0100644u << 16}});
  spill(path("out/big.bin"), "the old file");
  int r = with_file_size_limit(256 * 1024, [&] {
    return zip_to_file(path("big.zip"), path("out/"), nullptr, 0);
  });
  EXPECT_EQ(r, EFBIG);
  EXPECT_EQ(slurp(path("out/big.bin")), "the old file");
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{"big.bin"});
}

// Runs fn in a traced child that is killed as it enters its n-th rename of any kind, as a crash
// or a power cut would stop it there. True when the child was killed, false when it ran to its end
// with fewer renames.
template <class Fn>
bool killed_at_rename(int n, Fn fn) {
  pid_t pid = ::fork();
  if (pid == 0) {
    ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    ::raise(SIGSTOP);
    fn();
    ::_exit(0);
  }
  int st = 0;
  ::waitpid(pid, &st, 0);
  ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, reinterpret_cast<void*>(PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL));
  int seen = 0;
  bool entering = true;
  for (;;) {
    ::ptrace(PTRACE_SYSCALL, pid, nullptr, nullptr);
    if (::waitpid(pid, &st, 0) < 0 || WIFEXITED(st) || WIFSIGNALED(st)) return false;
    if (!WIFSTOPPED(st) || WSTOPSIG(st) != (SIGTRAP | 0x80)) continue;
    if (entering) {
      struct user_regs_struct regs;
      ::ptrace(PTRACE_GETREGS, pid, nullptr, &regs);
      const long nr = static_cast<long>(regs.orig_rax);
      if ((nr == SYS_rename || nr == SYS_renameat || nr == SYS_renameat2) && ++seen == n) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &st, 0);
        return true;
      }
    }
    entering = !entering;
  }
}

TEST_F(ZipTest, CrashAtAnyRenameLeavesTheOldFileWhole) {
  mkdirs("src");
  mkdirs("out");
  const std::string data = sample_bytes(300000, 4);
  spill(path("src/scenery.dat"), data);
  ASSERT_EQ(file_to_zip(path("src/scenery.dat"), path("new.zip")), 0);
  // Killed at each rename in turn, the target is always one file or the other, whole.
  int killed = 0;
  for (int n = 1; n < 10; ++n) {
    SCOPED_TRACE(n);
    std::filesystem::remove_all(path("out"));
    mkdirs("out");
    spill(path("out/scenery.dat"), "the old file");
    if (!killed_at_rename(n, [&] { zip_to_file(path("new.zip"), path("out/"), nullptr, 0); })) break;
    ++killed;
    std::string now = slurp(path("out/scenery.dat"));
    EXPECT_TRUE(now == "the old file" || now == data) << now.size() << " bytes";
  }
  EXPECT_GE(killed, 1);
  // The same for an archive being replaced.
  for (int n = 1; n < 10; ++n) {
    SCOPED_TRACE(n);
    spill(path("old.zip"), "the old archive");
    if (!killed_at_rename(n, [&] { file_to_zip(path("src/scenery.dat"), path("old.zip")); })) break;
    std::string now = slurp(path("old.zip"));
    EXPECT_TRUE(now == "the old archive" || now == slurp(path("new.zip")));
  }
  // Run to the end, the new file takes the old one's place and nothing is left beside it.
  std::filesystem::remove_all(path("out"));
  mkdirs("out");
  spill(path("out/scenery.dat"), "the old file");
  ASSERT_EQ(zip_to_file(path("new.zip"), path("out/"), nullptr, 0), 0);
  EXPECT_EQ(slurp(path("out/scenery.dat")), data);
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{"scenery.dat"});
}

TEST_F(ZipTest, NewArchivesGetTheUsualModeOfNewFiles) {
  mkdirs("src");
  spill(path("src/a.txt"), "alpha");
  ASSERT_EQ(::symlink("a.txt", path("src/l").c_str()), 0);
  mode_t mask = ::umask(022);
  ::umask(mask);
  ASSERT_EQ(file_to_zip(path("src/a.txt"), path("a.zip")), 0);
  ASSERT_EQ(file_to_zip(path("src/l"), path("l.zip")), 0);
  EXPECT_EQ(mode_of(path("a.zip")), 0666u & ~mask);
  EXPECT_EQ(mode_of(path("l.zip")), 0666u & ~mask);
}

TEST_F(ZipTest, FullDiskWhilePackingLeavesTheOldArchive) {
  mkdirs("src");
  // Random bytes do not compress: the archive outgrows the limit while it is written.
  std::string data(2 << 20, '\0');
  std::mt19937 rng(3);
  for (char& c : data) c = static_cast<char>(rng());
  spill(path("src/big.bin"), data);
  spill(path("big.zip"), "the old archive");
  int r = with_file_size_limit(256 * 1024, [&] {
    return file_to_zip(path("src/big.bin"), path("big.zip"));
  });
  EXPECT_EQ(r, EFBIG);  // the system's reason, not a library number
  EXPECT_EQ(slurp(path("big.zip")), "the old archive");
  EXPECT_EQ(names_in(root_), (std::vector<std::string>{"big.zip", "log.txt", "src"}));
}

TEST_F(ZipTest, ExistingFolderAtFileTargetFails) {
  mkdirs("out/thing/inner");
  make_zip(path("a.zip"), {{"thing", "data", 0100644u << 16}});
  EXPECT_NE(zip_to_file(path("a.zip"), path("out/"), nullptr, 0), 0);
  EXPECT_TRUE(exists(path("out/thing/inner")));
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{"thing"});
}

// ---- hostile names and links ----

TEST_F(ZipTest, UnsafeNamesWriteNothing) {
  const std::vector<std::string> names = {"../evil.txt", "a/../../evil.txt", "/tmp/evil.txt",
                                          "a//evil.txt", "./evil.txt", "__MACOSX", ""};
  for (const auto& bad : names) {
    SCOPED_TRACE(bad);
    std::filesystem::remove_all(path("box"));
    mkdirs("box/out/a");
    make_zip(path("box/u.zip"), {{"fine.txt", "fine", 0100644u << 16}, {bad, "evil", 0100644u << 16}});
    EXPECT_EQ(zip_to_file(path("box/u.zip"), path("box/out/"), nullptr, 0), ERR_UNSAFE_NAME);
    EXPECT_EQ(slurp(path("box/out/fine.txt")), "fine");
    EXPECT_FALSE(exists(path("box/evil.txt")));
    EXPECT_FALSE(exists(path("evil.txt")));
    EXPECT_EQ(names_in(path("box/out")), (std::vector<std::string>{"a", "fine.txt"}));
  }
  EXPECT_FALSE(exists("/tmp/evil.txt") && slurp("/tmp/evil.txt") == "evil");
}

TEST_F(ZipTest, UnsafeFolderEntryCreatesNothing) {
  mkdirs("out");
  make_zip(path("f.zip"), {{"../escaped/", "", 040755u << 16}});
  EXPECT_EQ(zip_to_file(path("f.zip"), path("out/"), nullptr, 0), ERR_UNSAFE_NAME);
  EXPECT_FALSE(exists(path("escaped")));
}

TEST_F(ZipTest, EscapingLinksAreRefused) {
  const uLong link = 0120755u << 16;
  const std::vector<std::string> texts = {"/etc", "..", "../outside", "a/../../outside",
                                          "here/../../outside"};
  for (const auto& text : texts) {
    SCOPED_TRACE(text);
    std::filesystem::remove_all(path("box"));
    mkdirs("box/out");
    make_zip(path("box/l.zip"), {{"here", ".", link, 0}, {"bad", text, link, 0}});
    EXPECT_EQ(zip_to_file(path("box/l.zip"), path("box/out/"), nullptr, 0), ERR_UNSAFE_NAME);
    EXPECT_FALSE(exists(path("box/out/bad")));
  }
}

TEST_F(ZipTest, LinkPlantedEarlierCannotRedirectLaterEntries) {
  mkdirs("out");
  mkdirs("outside");
  // A link that stays inside, then an entry written through it, is fine.
  const uLong link = 0120755u << 16;
  mkdirs("out/real");
  make_zip(path("ok.zip"), {{"alias", "real", link, 0}, {"alias/x.txt", "x", 0100644u << 16}});
  ASSERT_EQ(zip_to_file(path("ok.zip"), path("out/"), nullptr, 0), 0);
  EXPECT_EQ(slurp(path("out/real/x.txt")), "x");

  // A link already in the destination that leads outside is never written through.
  ASSERT_EQ(::symlink(path("outside").c_str(), path("out/door").c_str()), 0);
  make_zip(path("bad.zip"), {{"door/pwned.txt", "pwned", 0100644u << 16}});
  EXPECT_EQ(zip_to_file(path("bad.zip"), path("out/"), nullptr, 0), ERR_UNSAFE_NAME);
  EXPECT_FALSE(exists(path("outside/pwned.txt")));
  make_zip(path("bad2.zip"), {{"door/sub/", "", 040755u << 16}});
  EXPECT_EQ(zip_to_file(path("bad2.zip"), path("out/"), nullptr, 0), ERR_UNSAFE_NAME);
  EXPECT_FALSE(exists(path("outside/sub")));
  // Writing a file named like the planted link replaces the link itself.
  make_zip(path("over.zip"), {{"door", "plain", 0100644u << 16}});
  ASSERT_EQ(zip_to_file(path("over.zip"), path("out/"), nullptr, 0), 0);
  EXPECT_FALSE(is_link(path("out/door")));
  EXPECT_EQ(slurp(path("out/door")), "plain");
  EXPECT_EQ(names_in(path("outside")), std::vector<std::string>{});
}

TEST_F(ZipTest, FrameworkLinksThatStayInsideWork) {
  mkdirs("out/Lib.framework/Versions/A/Resources");
  const uLong link = 0120755u << 16;
  make_zip(path("fw.zip"), {{"Lib.framework/Versions/Current", "A", link, 0},
                            {"Lib.framework/Resources", "Versions/Current/Resources", link, 0},
                            {"Lib.framework/Versions/A/Resources/../../Current/x", "x", 0}});
  // The third name holds "..": refused, though the two links before it were made.
  EXPECT_EQ(zip_to_file(path("fw.zip"), path("out/"), nullptr, 0), ERR_UNSAFE_NAME);
  EXPECT_EQ(link_text(path("out/Lib.framework/Resources")), "Versions/Current/Resources");
  EXPECT_TRUE(std::filesystem::is_directory(path("out/Lib.framework/Resources")));
}

// Every link under dir, as the system follows it where it can, leads inside dir.
void expect_links_inside(const std::string& dir) {
  std::string real_dir = std::filesystem::canonical(dir);
  for (auto& e : std::filesystem::recursive_directory_iterator(dir)) {
    if (!e.is_symlink()) continue;
    std::error_code ec;
    auto real = std::filesystem::canonical(e.path(), ec);
    if (ec) continue;  // leads nowhere yet
    EXPECT_EQ(real.string().rfind(real_dir, 0), 0u) << e.path() << " -> " << real;
  }
}

TEST_F(ZipTest, LinkChainsInOneArchiveCannotLeadOutside) {
  const uLong link = 0120755u << 16, dir = 040755u << 16;
  struct chain_case {
    const char* what;
    std::vector<entry_spec> entries;
    std::vector<std::string> refused;  // links that must not be left behind
  };
  const std::vector<chain_case> cases = {
      {"link through a link to its own folder",
       {{"x", ".", link, 0}, {"a", "x/..", link, 0}}, {"x", "a"}},
      {"the same, the escaping link first",
       {{"a", "x/..", link, 0}, {"x", ".", link, 0}}, {"x", "a"}},
      {"climb through a link made later",
       {{"evil", "y/y/../../../etc/passwd", link, 0}, {"y", ".", link, 0}}, {"evil", "y"}},
      {"the same, the folder link first",
       {{"y", ".", link, 0}, {"evil", "y/y/../../../etc/passwd", link, 0}}, {"evil", "y"}},
      {"a link to an ancestor",
       {{"sub/", "", dir}, {"sub/up", "..", link, 0}, {"sub/up2", "deeper/../..", link, 0}},
       {"sub/up", "sub/up2"}},
      // Each link is harmless when it is made; the second turns the first into a way out.
      {"a later link redirects an earlier one",
       {{"d1/", "", dir}, {"d1/d2/", "", dir}, {"d1/d2/d3/", "", dir},
        {"d1/d2/d3/a", "b/../../z", link, 0}, {"d1/d2/d3/b", "../../../x", link, 0}},
       {"d1/d2/d3/a"}},
      // The same, making a tree without bottom (sub/s leads back to sub).
      {"a later link makes an earlier one lead to its own folder",
       {{"sub/", "", dir}, {"sub/s", "../sub2", link, 0}, {"sub2", "sub", link, 0}},
       {"sub/s"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(path("box"));
    mkdirs("box/out");
    spill(path("box/secret"), "outside the destination");
    make_zip(path("box/c.zip"), c.entries);
    EXPECT_EQ(zip_to_file(path("box/c.zip"), path("box/out/"), nullptr, 0), ERR_UNSAFE_NAME);
    for (const auto& r : c.refused) EXPECT_FALSE(exists(path("box/out/" + r))) << r;
    expect_links_inside(path("box/out"));
    EXPECT_EQ(names_in(path("box")), (std::vector<std::string>{"c.zip", "out", "secret"}));
  }
  // The links that stay harmless are kept.
  EXPECT_EQ(link_text(path("box/out/sub2")), "sub");
}

// ---- AppleDouble entries ----

TEST_F(ZipTest, ForkAndFinderInfoRoundTripThroughRecorder) {
  mac_meta_recorder rec;
  mkdirs("src");
  mkdirs("out");
  spill(path("src/Plugin"), "data fork");
  rec.set(path("src/Plugin"), sample_meta());
  ASSERT_EQ(file_to_zip(path("src/Plugin"), path("p.zip")), 0);
  auto entries = list_zip(path("p.zip"));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].first, "Plugin");
  EXPECT_EQ(entries[1].first, "__MACOSX/._Plugin");
  EXPECT_EQ(entries[1].second, 0u);

  // The AppleDouble layout, checked byte by byte through the peer tool.
  mkdirs("peer");
  ASSERT_EQ(sh("cd '" + path("peer") + "' && unzip -q '" + path("p.zip") + "'"), 0);
  std::string ad = slurp(path("peer/__MACOSX/._Plugin"));
  std::string want = apple_double({{9, 50, 32}, {2, 82, 10}}, "");
  want += be32(0x54455854u) + be32(0x56304C41u) + std::string("\x01\x00\x00\x0c\x00\x22\x00\x00", 8);
  want += std::string(16, '\0') + std::string("rsrc\x00\x01\x02\x03\xff\x80", 10);
  EXPECT_EQ(ad, want);

  ASSERT_EQ(zip_to_file(path("p.zip"), path("out/"), nullptr, 0), 0);
  EXPECT_EQ(slurp(path("out/Plugin")), "data fork");
  mac_meta_data got;
  ASSERT_TRUE(rec.read(path("out/Plugin"), &got));
  EXPECT_EQ(got, sample_meta());
  EXPECT_FALSE(exists(path("out/__MACOSX")));
  EXPECT_FALSE(exists(path("out/._Plugin")));
}

TEST_F(ZipTest, NoAppleDoubleEntryWithoutFork) {
  mac_meta_recorder rec;
  mkdirs("src");
  spill(path("src/f"), "x");
  mac_meta_data m = sample_meta();
  m.fork.clear();
  rec.set(path("src/f"), m);
  ASSERT_EQ(file_to_zip(path("src/f"), path("f.zip")), 0);
  EXPECT_EQ(list_zip(path("f.zip")).size(), 1u);
}

TEST_F(ZipTest, AppleDoubleBeforeOrWithoutItsFileChangesNothing) {
  mac_meta_recorder rec;
  mkdirs("out");
  const std::string ad = apple_double({{2, 38, 3}}, "abc");
  make_zip(path("a.zip"), {{"__MACOSX/", "", 040755u << 16},
                           {"__MACOSX/._early", ad, 0},
                           {"early", "e", 0100644u << 16},
                           {"__MACOSX/._absent", ad, 0},
                           {"__MACOSX/nowhere/._deep", ad, 0}});
  ASSERT_EQ(zip_to_file(path("a.zip"), path("out/"), nullptr, 0), 0);
  EXPECT_TRUE(rec.writes().empty());
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{"early"});
}

TEST_F(ZipTest, AppleDoubleInSubfolderAndLaterDescriptorWins) {
  mac_meta_recorder rec;
  mkdirs("out");
  const std::string ad =
      apple_double({{2, 74, 2}, {7, 74, 1}, {9, 74, 5}, {2, 76, 3}}, std::string("xxfor"));
  make_zip(path("a.zip"), {{"Sub/", "", 040755u << 16},
                           {"Sub/file", "f", 0100644u << 16},
                           {"__MACOSX/Sub/._file", ad, 0}});
  ASSERT_EQ(zip_to_file(path("a.zip"), path("out/"), nullptr, 0), 0);
  mac_meta_data got;
  ASSERT_TRUE(rec.read(path("out/Sub/file"), &got));
  EXPECT_FALSE(got.has_finder_info);  // id 9 counts only with length 32
  EXPECT_EQ(std::string(got.fork.begin(), got.fork.end()), "for");
}

TEST_F(ZipTest, BadAppleDoubleEntriesFailWith20012) {
  const std::string good_tail = "abc";
  struct bad_case {
    const char* what;
    std::string data;
  };
  std::string wrong_magic = apple_double({{2, 38, 3}}, good_tail);
  wrong_magic[3] = 0x08;
  std::string wrong_version = apple_double({{2, 38, 3}}, good_tail);
  wrong_version[5] = 0x01;
  const std::vector<bad_case> cases = {
      {"short", std::string("\x00\x05\x16\x07", 4)},
      {"magic", wrong_magic},
      {"version", wrong_version},
      {"count beyond end", apple_double({{2, 38, 3}}, good_tail, 40)},
      {"offset beyond end", apple_double({{2, 4000, 3}}, good_tail)},
      {"length beyond end", apple_double({{2, 38, 4}}, good_tail)},
      {"offset+length wraps 32 bits", apple_double({{2, 0xFFFFFFF0u, 0x20}}, good_tail)},
      {"finder info beyond end", apple_double({{9, 30, 32}}, good_tail)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    mac_meta_recorder rec;
    std::filesystem::remove_all(path("out"));
    mkdirs("out");
    make_zip(path("bad.zip"), {{"f", "f", 0100644u << 16}, {"__MACOSX/._f", c.data, 0}});
    EXPECT_EQ(zip_to_file(path("bad.zip"), path("out/"), nullptr, 0), ERR_BAD_FORK_HEADER);
    EXPECT_TRUE(rec.writes().empty());
    EXPECT_EQ(slurp(path("out/f")), "f");
  }
  EXPECT_NE(log().find("Unzip RF failed with error 20012. file = "), std::string::npos);
}

TEST_F(ZipTest, SystemStoreDropsMetadataWithOneLogLine) {
  mkdirs("out");
  make_zip(path("a.zip"),
           {{"f", "f", 0100644u << 16}, {"__MACOSX/._f", apple_double({{2, 38, 3}}, "abc"), 0}});
  ASSERT_EQ(zip_to_file(path("a.zip"), path("out/"), nullptr, 0), 0);
  std::string l = log();
  size_t at = l.find("Mac metadata dropped");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(l.find("Mac metadata dropped", at + 1), std::string::npos);
  EXPECT_NE(l.find(path("out/f"), at), std::string::npos);
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{"f"});
}

TEST_F(ZipTest, RestorersWorkOnTheCurrentEntry) {
  mac_meta_recorder rec;
  mkdirs("out");
  spill(path("out/f"), "f");
  make_zip(path("a.zip"), {{"__MACOSX/._f", apple_double({{2, 38, 3}}, "abc"), 0},
                           {"l", "f", 0120755u << 16, 0},
                           {"bad", "../../x", 0120755u << 16, 0}});
  unzFile z = unzOpen64(path("a.zip").c_str());
  ASSERT_NE(z, nullptr);
  unz_file_info64 info;
  ASSERT_EQ(unzGoToFirstFile(z), UNZ_OK);
  ASSERT_EQ(unzGetCurrentFileInfo64(z, &info, nullptr, 0, nullptr, 0, nullptr, 0), UNZ_OK);
  EXPECT_EQ(unzip_resource_fork(z, path("out/._f"), info), 0);
  ASSERT_EQ(unzGoToNextFile(z), UNZ_OK);
  ASSERT_EQ(unzGetCurrentFileInfo64(z, &info, nullptr, 0, nullptr, 0, nullptr, 0), UNZ_OK);
  EXPECT_EQ(unzip_symlink(z, path("out/l"), info), 0);
  ASSERT_EQ(unzGoToNextFile(z), UNZ_OK);
  ASSERT_EQ(unzGetCurrentFileInfo64(z, &info, nullptr, 0, nullptr, 0, nullptr, 0), UNZ_OK);
  EXPECT_EQ(unzip_symlink(z, path("out/bad"), info), ERR_UNSAFE_NAME);
  unzClose(z);
  EXPECT_EQ(link_text(path("out/l")), "f");
  EXPECT_FALSE(exists(path("out/bad")));
  ASSERT_EQ(rec.writes().size(), 1u);
  EXPECT_EQ(rec.writes()[0], path("out/f"));
}

// A zip holding "f" (when with_data) and "__MACOSX/._f": an AppleDouble entry of size bytes whose
// fork descriptor covers all but its head, made of zeros. The deflate stream repeats one
// fully flushed block, so even gigabytes take moments to write and a couple of megabytes to keep.
void make_fork_bomb(const std::string& zpath, uint64_t size, bool with_data) {
  const std::string head = apple_double({{2, 38, static_cast<uint32_t>(size - 38)}}, "");
  ASSERT_EQ(head.size(), 38u);
  z_stream zs = {};
  ASSERT_EQ(deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY),
            Z_OK);
  auto pump = [&](const std::string& in, int flush) {
    std::string out(in.size() + 1024, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_NE(deflate(&zs, flush), Z_STREAM_ERROR);
    EXPECT_EQ(zs.avail_in, 0u);
    out.resize(out.size() - zs.avail_out);
    return out;
  };
  const size_t block = 1 << 20;
  const std::string zeros(block, '\0');
  const std::string start = pump(head, Z_FULL_FLUSH);
  const std::string repeated = pump(zeros, Z_FULL_FLUSH);
  ASSERT_EQ(pump(zeros, Z_FULL_FLUSH), repeated);
  const uint64_t body = size - 38;
  ASSERT_EQ(body % block, 0u);
  const std::string finish = pump("", Z_FINISH);
  deflateEnd(&zs);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(head.data()), static_cast<uInt>(head.size()));
  const uLong zeros_crc = crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), block);

  zipFile z = zipOpen64(zpath.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(z, nullptr);
  zip_fileinfo zi = {};
  if (with_data) {
    zi.external_fa = 0100644u << 16;
    ASSERT_EQ(zipOpenNewFileInZip64(z, "f", &zi, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                    Z_DEFAULT_COMPRESSION, 0),
              ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(z, "f", 1), ZIP_OK);
    ASSERT_EQ(zipCloseFileInZip(z), ZIP_OK);
  }
  zi.external_fa = 0;
  ASSERT_EQ(zipOpenNewFileInZip2_64(z, "__MACOSX/._f", &zi, nullptr, 0, nullptr, 0, nullptr,
                                    Z_DEFLATED, Z_DEFAULT_COMPRESSION, 1, size >= 0xFFFFFFFFu),
            ZIP_OK);
  ASSERT_EQ(zipWriteInFileInZip(z, start.data(), static_cast<unsigned>(start.size())), ZIP_OK);
  for (uint64_t done = 0; done < body; done += block) {
    ASSERT_EQ(zipWriteInFileInZip(z, repeated.data(), static_cast<unsigned>(repeated.size())), ZIP_OK);
    crc = crc32_combine(crc, zeros_crc, block);
  }
  ASSERT_EQ(zipWriteInFileInZip(z, finish.data(), static_cast<unsigned>(finish.size())), ZIP_OK);
  ASSERT_EQ(zipCloseFileInZipRaw64(z, size, crc), ZIP_OK);
  ASSERT_EQ(zipClose(z, nullptr), ZIP_OK);
}

// AddressSanitizer reserves terabytes of address space, so no cap can be put on it there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

long rss_kib() {
  struct rusage ru;
  ::getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

// Runs fn in a child; returns what it returned and how far the child's peak resident size grew
// above the parent's at the fork (KiB). Outside the sanitizers the child's address space is also
// capped, so a faulty build fails here instead of exhausting the machine.
template <class Fn>
std::pair<int, long> run_measured(Fn fn) {
  const long before = rss_kib();
  struct rusage ru = {};
  const int r = in_child(
      [] {
        if (!kSanitized) {
          struct rlimit rl = {rlim_t{2} << 30, rlim_t{2} << 30};
          ::setrlimit(RLIMIT_AS, &rl);
        }
      },
      fn, &ru);
  return {r, ru.ru_maxrss - before};
}

TEST_F(ZipTest, AppleDoubleBombIsNeverHeld) {
  mkdirs("out");
  const uint64_t size = 38 + (uint64_t{1900} << 20);
  make_fork_bomb(path("bomb.zip"), size, true);
  EXPECT_LT(std::filesystem::file_size(path("bomb.zip")), 4u << 20);

  // The system store drops forks: the entry is checked and its fork skipped, never held.
  auto [r, grew] = run_measured([&] { return zip_to_file(path("bomb.zip"), path("out/"), nullptr, 0); });
  EXPECT_EQ(r, 0);
  EXPECT_LT(grew, 64 * 1024) << "KiB";
  EXPECT_NE(log().find("resource fork of " + std::to_string(size - 38) + " bytes"), std::string::npos);
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{"f"});

  // A store that keeps forks refuses one larger than a fork can be, before holding any of it.
  std::tie(r, grew) = run_measured([&] {
    mac_meta_recorder rec;
    return zip_to_file(path("bomb.zip"), path("out/"), nullptr, 0);
  });
  EXPECT_EQ(r, ERR_BAD_FORK_HEADER);
  EXPECT_LT(grew, 64 * 1024) << "KiB";

  // Without its data file the entry is not even read.
  make_fork_bomb(path("lone.zip"), size, false);
  std::filesystem::remove(path("out/f"));
  std::tie(r, grew) = run_measured([&] { return zip_to_file(path("lone.zip"), path("out/"), nullptr, 0); });
  EXPECT_EQ(r, 0);
  EXPECT_LT(grew, 64 * 1024) << "KiB";
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{});
}

TEST_F(ZipTest, ForkAfterALongEntryIsHeldWhole) {
  // The fork lies after padding and before the Finder info: both are taken as they stream by.
  mac_meta_recorder rec;
  mkdirs("out");
  const std::string pad = sample_bytes(3 << 20, 5);
  const std::string fork = sample_bytes(100000, 6);
  const uint32_t fork_at = 50 + static_cast<uint32_t>(pad.size());
  const uint32_t info_at = fork_at + static_cast<uint32_t>(fork.size());
  std::string finder = be32(0x54455854u) + be32(0x56304C41u) + std::string(24, '\0');
  make_zip(path("a.zip"), {{"f", "f", 0100644u << 16},
                           {"__MACOSX/._f",
                            apple_double({{2, fork_at, uint32_t(fork.size())}, {9, info_at, 32}},
                                         pad + fork + finder),
                            0}});
  ASSERT_EQ(zip_to_file(path("a.zip"), path("out/"), nullptr, 0), 0);
  mac_meta_data got;
  ASSERT_TRUE(rec.read(path("out/f"), &got));
  EXPECT_EQ(std::string(got.fork.begin(), got.fork.end()), fork);
  EXPECT_TRUE(got.has_finder_info);
  EXPECT_EQ(got.finder.type, 0x54455854u);
  EXPECT_EQ(got.finder.creator, 0x56304C41u);
}

TEST_F(ZipTest, FinderFillerIsAcceptedAndOtherFillersAreNot) {
  auto with_filler = [](const std::string& filler) {
    std::string ad = apple_double({{2, 38, 3}}, "abc");
    ad.replace(8, 16, filler);
    return ad;
  };
  struct filler_case {
    std::string filler;
    ErrCode want;
  };
  const std::vector<filler_case> cases = {
      {std::string(16, '\0'), 0},
      {"Mac OS X        ", 0},
      {"Mac OS X" + std::string(8, '\0'), ERR_BAD_FORK_HEADER},
      {"Mac OS Y        ", ERR_BAD_FORK_HEADER},
      {"        Mac OS X", ERR_BAD_FORK_HEADER},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.filler);
    mac_meta_recorder rec;
    std::filesystem::remove_all(path("out"));
    mkdirs("out");
    make_zip(path("a.zip"), {{"f", "f", 0100644u << 16}, {"__MACOSX/._f", with_filler(c.filler), 0}});
    EXPECT_EQ(zip_to_file(path("a.zip"), path("out/"), nullptr, 0), c.want);
    mac_meta_data got;
    EXPECT_EQ(rec.read(path("out/f"), &got), c.want == 0);
    if (c.want == 0) {
      EXPECT_EQ(std::string(got.fork.begin(), got.fork.end()), "abc");
    }
  }
}

TEST_F(ZipTest, LibraryFailuresReadAsDamagedOrEncrypted) {
  mkdirs("src");
  mkdirs("out");
  spill(path("src/secret.txt"), "top secret");
  spill(path("src/plain.txt"), "plain");
  ASSERT_EQ(sh("cd '" + path("src") + "' && zip -q -P pass '" + path("enc.zip") + "' secret.txt"), 0);
  EXPECT_EQ(zip_to_file(path("enc.zip"), path("out/"), nullptr, 0), ERR_ZIP_ENCRYPTED);
  EXPECT_FALSE(exists(path("out/secret.txt")));
  EXPECT_EQ(error_str(ERR_ZIP_ENCRYPTED), "We cannot unpack a file of the archive because it is encrypted");

  // A local header that does not read (the library's -103) is a damaged archive.
  ASSERT_EQ(sh("cd '" + path("src") + "' && zip -q '" + path("bad.zip") + "' plain.txt"), 0);
  std::string z = slurp(path("bad.zip"));
  ASSERT_EQ(z.compare(0, 4, "PK\x03\x04"), 0);
  z[3] = 0x05;
  spill(path("bad.zip"), z);
  EXPECT_EQ(zip_to_file(path("bad.zip"), path("out/"), nullptr, 0), ERR_ZIP_READ);
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{});
  EXPECT_EQ(error_str(ERR_ZIP_READ).find("Unknown error"), std::string::npos);
}

TEST(ZipMessages, UnsafeNameHasItsMessage) {
  EXPECT_EQ(error_str(ERR_UNSAFE_NAME), "The archive holds an unsafe file name");
}

}  // namespace
