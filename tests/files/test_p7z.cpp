// 7z extraction and packing: archives made by the 7za tool and by hand, damaged data, hostile
// names, replacement of existing files and a full disk.
#include "files/p7z.h"

#include <archive.h>
#include <archive_entry.h>

#include "files/zip.h"
#include "test_zip_util.h"

using namespace ziptest;

namespace {

struct entry7 {
  std::string name;
  std::string data;
  bool link = false;
};

// Writes a 7z archive with exactly these names (unchecked, as an attacker may).
void make_7z(const std::string& p, const std::vector<entry7>& entries) {
  struct archive* a = archive_write_new();
  ASSERT_EQ(archive_write_set_format_7zip(a), ARCHIVE_OK);
  ASSERT_EQ(archive_write_open_filename(a, p.c_str()), ARCHIVE_OK);
  for (const auto& e : entries) {
    struct archive_entry* en = archive_entry_new();
    archive_entry_set_pathname(en, e.name.c_str());
    if (e.link) {
      archive_entry_set_filetype(en, AE_IFLNK);
      archive_entry_set_symlink(en, e.data.c_str());
      archive_entry_set_perm(en, 0755);
    } else {
      archive_entry_set_filetype(en, AE_IFREG);
      archive_entry_set_perm(en, 0644);
      archive_entry_set_size(en, static_cast<la_int64_t>(e.data.size()));
    }
    ASSERT_EQ(archive_write_header(a, en), ARCHIVE_OK);
    if (!e.link && !e.data.empty()) {
      ASSERT_EQ(archive_write_data(a, e.data.data(), e.data.size()),
                static_cast<la_ssize_t>(e.data.size()));
    }
    archive_entry_free(en);
  }
  ASSERT_EQ(archive_write_close(a), ARCHIVE_OK);
  archive_write_free(a);
}

class P7zTest : public ArchiveTest {
 protected:
  // Packs the named items of folder src with the 7za tool.
  void pack(const std::string& archive, const std::string& src, const std::string& items,
            const std::string& opts = "") {
    ASSERT_EQ(sh("cd '" + path(src) + "' && 7za a " + opts + " '" + path(archive) + "' " + items), 0);
  }
};

TEST_F(P7zTest, ExtractsFilesIntoExistingFolders) {
  mkdirs("src/Global Scenery/+50+010");
  const std::string big = sample_bytes(1500000, 11);
  spill(path("src/Global Scenery/+50+010/+52+013.dsf"), big);
  spill(path("src/Global Scenery/readme.txt"), "scenery");
  spill(path("src/empty.txt"), "");
  ASSERT_EQ(sh("touch -d 2001-02-03 '" + path("src/Global Scenery/readme.txt") + "'"), 0);
  pack("s.7z", "src", "'Global Scenery' empty.txt");

  mkdirs("out/Global Scenery/+50+010");
  std::string last;
  ASSERT_EQ(p7z_to_file(path("s.7z"), path("out/"), &last, 0), 0);
  EXPECT_EQ(slurp(path("out/Global Scenery/+50+010/+52+013.dsf")), big);
  EXPECT_EQ(slurp(path("out/Global Scenery/readme.txt")), "scenery");
  EXPECT_EQ(mtime_of(path("out/Global Scenery/readme.txt")),
            mtime_of(path("src/Global Scenery/readme.txt")));
  ASSERT_TRUE(exists(path("out/empty.txt")));
  EXPECT_EQ(slurp(path("out/empty.txt")), "");
  EXPECT_EQ(last.rfind(path("out/"), 0), 0u);
  EXPECT_TRUE(last == path("out/empty.txt") || last == path("out/Global Scenery/readme.txt") ||
              last == path("out/Global Scenery/+50+010/+52+013.dsf"))
      << last;
  EXPECT_EQ(names_in(path("out")), (std::vector<std::string>{"Global Scenery", "empty.txt"}));
}

TEST_F(P7zTest, MissingFolderFailsWithNoSuchFile) {
  mkdirs("src/dir");
  spill(path("src/dir/f.txt"), "f");
  pack("d.7z", "src", "dir");
  mkdirs("out");
  EXPECT_EQ(p7z_to_file(path("d.7z"), path("out/"), nullptr, 0), ENOENT);
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{});
}

TEST_F(P7zTest, ReplacesExistingFileWhole) {
  mkdirs("src");
  mkdirs("out");
  spill(path("src/a.txt"), "short");
  pack("a.7z", "src", "a.txt");
  spill(path("out/a.txt"), "a much longer old content that must not survive");
  ASSERT_EQ(p7z_to_file(path("a.7z"), path("out/"), nullptr, 0), 0);
  EXPECT_EQ(slurp(path("out/a.txt")), "short");
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{"a.txt"});  // nothing set aside stays
}

TEST_F(P7zTest, UseNameAndNameIo) {
  mkdirs("src");
  mkdirs("out");
  spill(path("src/stored.bin"), "bytes");
  pack("u.7z", "src", "stored.bin");
  std::string name = "wanted.bin";
  ASSERT_EQ(p7z_to_file(path("u.7z"), path("out/"), &name, 1), 0);
  EXPECT_EQ(name, path("out/wanted.bin"));
  EXPECT_EQ(slurp(path("out/wanted.bin")), "bytes");
  EXPECT_FALSE(exists(path("out/stored.bin")));
}

TEST_F(P7zTest, NotA7zArchive) {
  mkdirs("src");
  mkdirs("out");
  spill(path("src/x.txt"), "x");
  ASSERT_EQ(file_to_zip(path("src/x.txt"), path("x.zip")), 0);
  EXPECT_EQ(p7z_to_file(path("x.zip"), path("out/"), nullptr, 0), ERR_ZIP_OPEN);
  spill(path("junk.7z"), std::string("7z\xbc\xaf\x27\x1c garbage garbage garbage", 30));
  EXPECT_EQ(p7z_to_file(path("junk.7z"), path("out/"), nullptr, 0), ERR_ZIP_OPEN);
  EXPECT_EQ(p7z_to_file(path("absent.7z"), path("out/"), nullptr, 0), ENOENT);
  ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600) | ::symlink("/dev/stdin", path("stdin").c_str()), 0);
  for (const std::string odd : {"fifo", "stdin"})
    for (auto unpack : {p7z_to_file, zip_to_file})
      EXPECT_EXIT({ int silent[2]; if (::pipe(silent) == 0 && ::dup2(silent[0], 0) == 0) ::alarm(10);
                    std::_Exit(unpack(path(odd), path("out/"), nullptr, 0, nullptr) == ERR_ZIP_OPEN ? 0 : 1); }, testing::ExitedWithCode(0), "") << odd;
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{});
}

TEST_F(P7zTest, DamagedDataFailsWith20002AndLeavesOldFile) {
  mkdirs("src");
  mkdirs("out");
  spill(path("src/a.bin"), std::string(40000, 'a'));
  spill(path("src/b.bin"), sample_bytes(40000, 5));
  pack("c.7z", "src", "a.bin b.bin", "-mx0");  // stored: only the checksum can notice
  std::string z = slurp(path("c.7z"));
  size_t at = z.find(sample_bytes(40000, 5).substr(1000, 64));
  ASSERT_NE(at, std::string::npos);
  z[at + 10] = static_cast<char>(z[at + 10] ^ 1);
  spill(path("c.7z"), z);
  spill(path("out/b.bin"), "old b");
  EXPECT_EQ(p7z_to_file(path("c.7z"), path("out/"), nullptr, 0), ERR_ZIP_READ);
  EXPECT_EQ(slurp(path("out/b.bin")), "old b");

  // Compressed data damaged in the middle.
  spill(path("src/big.txt"), sample_bytes(800000, 6));
  pack("d.7z", "src", "big.txt");
  std::string d = slurp(path("d.7z"));
  for (size_t i = d.size() / 2; i < d.size() / 2 + 64; ++i) d[i] = static_cast<char>(d[i] ^ 0x33);
  spill(path("d.7z"), d);
  EXPECT_EQ(p7z_to_file(path("d.7z"), path("out/"), nullptr, 0), ERR_ZIP_READ);
  EXPECT_FALSE(exists(path("out/big.txt")));
  EXPECT_EQ(names_in(path("out")), (std::vector<std::string>{"a.bin", "b.bin"}));
}

TEST_F(P7zTest, UnsafeNamesWriteNothing) {
  for (const std::string bad : {"../evil.txt", "/tmp/evil7.txt", "a//evil.txt", "__MACOSX"}) {
    SCOPED_TRACE(bad);
    std::filesystem::remove_all(path("box"));
    mkdirs("box/out/a");
    make_7z(path("box/u.7z"), {{"fine.txt", "fine"}, {bad, "evil"}});
    EXPECT_EQ(p7z_to_file(path("box/u.7z"), path("box/out/"), nullptr, 0), ERR_UNSAFE_NAME);
    EXPECT_FALSE(exists(path("box/evil.txt")));
    EXPECT_EQ(names_in(path("box/out")), (std::vector<std::string>{"a", "fine.txt"}));
  }
  EXPECT_FALSE(exists("/tmp/evil7.txt") && slurp("/tmp/evil7.txt") == "evil");
}

TEST_F(P7zTest, NeverWritesThroughALinkLeadingOutside) {
  mkdirs("out");
  mkdirs("outside");
  ASSERT_EQ(::symlink(path("outside").c_str(), path("out/door").c_str()), 0);
  make_7z(path("l.7z"), {{"door/pwned.txt", "pwned"}});
  EXPECT_EQ(p7z_to_file(path("l.7z"), path("out/"), nullptr, 0), ERR_UNSAFE_NAME);
  EXPECT_EQ(names_in(path("outside")), std::vector<std::string>{});
}

TEST_F(P7zTest, LinkRecordsBecomePlainFiles) {
  mkdirs("out");
  make_7z(path("l.7z"), {{"target.txt", "t"}, {"link", "/etc/passwd", true}});
  ASSERT_EQ(p7z_to_file(path("l.7z"), path("out/"), nullptr, 0), 0);
  EXPECT_FALSE(is_link(path("out/link")));
  EXPECT_EQ(slurp(path("out/link")), "/etc/passwd");
}

TEST_F(P7zTest, FullDiskGivesShortWriteAndLeavesOldFile) {
  mkdirs("src");
  mkdirs("out");
  spill(path("src/big.bin"), sample_bytes(2 * 1024 * 1024, 8));
  pack("b.7z", "src", "big.bin");
  spill(path("out/big.bin"), "old");
  int r = with_file_size_limit(256 * 1024, [&] {
    return p7z_to_file(path("b.7z"), path("out/"), nullptr, 0);
  });
  EXPECT_EQ(r, ERR_ZIP_WRITE);
  EXPECT_EQ(slurp(path("out/big.bin")), "old");
  EXPECT_EQ(names_in(path("out")), std::vector<std::string>{"big.bin"});
}

TEST_F(P7zTest, PacksWithTheToolAndUnpacksTheSame) {
  mkdirs("src");
  mkdirs("out");
  const std::string data = sample_bytes(300000, 4);
  spill(path("src/-odd name.txt"), data);
  int status = file_to_p7z(path("src/-odd name.txt"), path("p.7z"));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ASSERT_EQ(p7z_to_file(path("p.7z"), path("out/"), nullptr, 0), 0);
  EXPECT_EQ(slurp(path("out/-odd name.txt")), data);

  // A tool that cannot be started is a failure, not a status.
  std::string saved = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", path("nowhere").c_str(), 1);
  int r = file_to_p7z(path("src/-odd name.txt"), path("q.7z"));
  setenv("PATH", saved.c_str(), 1);
  EXPECT_EQ(r, ENOENT);
  EXPECT_FALSE(exists(path("q.7z")));
}

}  // namespace
