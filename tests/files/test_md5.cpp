// MD5 digests and file signatures, checked against RFC 1321 and the system's md5sum.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <thread>

#include "files/md5.h"
#include "files_internal.h"
#include "files_test_util.h"

namespace {

class Md5 : public ScratchDir {
 protected:
  // md5sum's answer for a file, or "" when the tool is missing.
  static std::string md5sum_of(const std::string& file) {
    std::string cmd = "md5sum '" + file + "' 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return "";
    char buf[64] = {};
    size_t n = fread(buf, 1, 32, p);
    pclose(p);
    return n == 32 ? std::string(buf, 32) : "";
  }
  static std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
  }
};

TEST(Md5Digest, Rfc1321TestSuite) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"}};
  for (const auto& [text, want] : cases) EXPECT_EQ(md5_hex(text, std::strlen(text)), want) << text;
}

TEST(Md5Digest, PiecewiseUpdatesAgreeWithOneUpdate) {
  std::string data(200000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + (i >> 9));
  const std::string whole = md5_hex(data.data(), data.size());
  for (size_t piece : {1u, 3u, 55u, 63u, 64u, 65u, 1000u, 65535u}) {
    md5_ctx ctx;
    MD5Init(&ctx);
    for (size_t at = 0; at < data.size(); at += piece) {
      size_t n = std::min(piece, data.size() - at);
      MD5Update(&ctx, reinterpret_cast<const uint8_t*>(data.data() + at), static_cast<uint16_t>(n));
    }
    MD5Final(&ctx);
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", ctx.digest[i]);
    EXPECT_EQ(std::string(hex, 32), whole) << "piece " << piece;
  }
  md5_ctx wide;
  MD5Init(&wide);
  MD5UpdateWide(&wide, reinterpret_cast<const uint8_t*>(data.data()), data.size());
  MD5Final(&wide);
  char hex[33];
  for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", wide.digest[i]);
  EXPECT_EQ(std::string(hex, 32), whole);
}

TEST_F(Md5, FilesOfBoundarySizesAgreeWithMd5sum) {
  unsigned seed = 1;
  for (size_t size : {size_t(0), size_t(1), size_t(55), size_t(56), size_t(63), size_t(64),
                      size_t(65535), size_t(65536), size_t(65537), size_t(256 * 1024 + 1),
                      size_t(1024 * 1024 + 1)}) {
    SCOPED_TRACE(size);
    const std::string f = path("f" + std::to_string(size));
    const std::string bytes = random_bytes(size, seed++);
    write(f, bytes);
    std::string sig;
    ASSERT_EQ(calc_file_md5(f, sig), 0);
    EXPECT_EQ(sig.size(), 32u);
    EXPECT_EQ(sig, md5_hex(bytes.data(), bytes.size()));
    const std::string peer = md5sum_of(f);
    ASSERT_EQ(peer.size(), 32u) << "md5sum missing";
    EXPECT_EQ(sig, peer);
  }
}

TEST_F(Md5, KnownFileSignatures) {
  write(path("empty"), "");
  write(path("abc"), "abc");
  std::string sig;
  ASSERT_EQ(calc_file_md5(path("empty"), sig), 0);
  EXPECT_EQ(sig, "d41d8cd98f00b204e9800998ecf8427e");
  ASSERT_EQ(calc_file_md5(path("abc"), sig), 0);
  EXPECT_EQ(sig, "900150983cd24fb0d6963f7d28e17f72");
}

TEST_F(Md5, SymbolicLinkHashesItsLinkText) {
  write(path("target"), "content one");
  ASSERT_EQ(symlink("target", path("ln").c_str()), 0);
  std::string first;
  ASSERT_EQ(calc_file_md5(path("ln"), first), 0);
  EXPECT_EQ(first, md5_hex("target", 6));
  write(path("target"), "content two, different");
  std::string second;
  ASSERT_EQ(calc_file_md5(path("ln"), second), 0);
  EXPECT_EQ(second, first);
  ASSERT_EQ(unlink(path("ln").c_str()), 0);
  ASSERT_EQ(symlink("other", path("ln").c_str()), 0);
  ASSERT_EQ(calc_file_md5(path("ln"), second), 0);
  EXPECT_EQ(second, md5_hex("other", 5));
  // A dangling link is still hashed by its text.
  ASSERT_EQ(symlink("nowhere", path("dangling").c_str()), 0);
  ASSERT_EQ(calc_file_md5(path("dangling"), second), 0);
  EXPECT_EQ(second, md5_hex("nowhere", 7));
}

TEST_F(Md5, UnreadableItemsGiveTheOpenErrorAndLeaveOutAlone) {
  std::string sig = "unchanged";
  EXPECT_EQ(calc_file_md5(path("missing"), sig), ERR_FILE_OPEN);
  EXPECT_EQ(sig, "unchanged");
  EXPECT_EQ(calc_file_md5(root_, sig), ERR_FILE_OPEN);
  ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);  // never blocks, never even opened
  ASSERT_GE(inotify_add_watch(watch, path("fifo").c_str(), IN_OPEN), 0);
  EXPECT_EQ(calc_file_md5(path("fifo"), sig), ERR_FILE_OPEN);
  char event[256];
  EXPECT_LT(::read(watch, event, sizeof event), 0);
  ::close(watch);
  EXPECT_EQ(sig, "unchanged");
  if (geteuid() != 0) {
    write(path("secret"), "x");
    ASSERT_EQ(chmod(path("secret").c_str(), 0), 0);
    EXPECT_EQ(calc_file_md5(path("secret"), sig), ERR_FILE_OPEN);
    EXPECT_EQ(sig, "unchanged");
  }
}

TEST_F(Md5, CaseIsRepairedBeforeHashing) {
  mkdirs(path("Dir"));
  write(path("Dir/File.Bin"), "abc");
  std::string sig;
  ASSERT_EQ(calc_file_md5(path("dir/file.bin"), sig), 0);
  EXPECT_EQ(sig, "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5Blocks, DataEndingBeforeTheExpectedSizeIsAnError) {
  // A pipe stands in for a file cut short while it is read: fewer bytes than its size said.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::thread writer([fd = fds[1]] {
    std::string chunk(100000, 'q');
    ssize_t n = ::write(fd, chunk.data(), chunk.size());
    (void)n;
    close(fd);
  });
  md5_ctx ctx;
  MD5Init(&ctx);
  EXPECT_FALSE(md5_hash_fd(fds[0], 300000, &ctx));
  writer.join();
  close(fds[0]);
}

TEST(Md5Blocks, ExactSizeIsHashedAndExtraBytesAreIgnored) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string data = "abcdef";
  ASSERT_EQ(::write(fds[1], data.data(), data.size()), 6);
  close(fds[1]);
  md5_ctx ctx;
  MD5Init(&ctx);
  EXPECT_TRUE(md5_hash_fd(fds[0], 3, &ctx));
  MD5Final(&ctx);
  close(fds[0]);
  char hex[33];
  for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", ctx.digest[i]);
  EXPECT_EQ(std::string(hex, 32), "900150983cd24fb0d6963f7d28e17f72");
}

TEST_F(Md5, FileTruncatedWhileHashedNeverCrashes) {
  // Another program cuts the file while it is hashed: the result is an error or a signature,
  // never a bus fault.
  const std::string f = path("shrinking");
  write(f, std::string(64 << 20, 'z'));
  std::thread cutter([&] { ASSERT_EQ(truncate(f.c_str(), 1000), 0); });
  std::string sig;
  ErrCode code = calc_file_md5(f, sig);
  cutter.join();
  EXPECT_TRUE(code == 0 || code == ERR_FILE_OPEN) << code;
}

}  // namespace
