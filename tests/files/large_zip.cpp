// An entry of more than 4 GiB goes through file_to_zip and zip_to_file whole. It writes and reads
// gigabytes, so it carries the "large" label and stays out of the default test run.
#include <fcntl.h>
#include <unistd.h>

#include "files/zip.h"
#include "test_zip_util.h"

using namespace ziptest;

namespace {

class LargeZip : public ArchiveTest {};

TEST_F(LargeZip, SparseFileOfFourGibibytesAndMoreRoundTrips) {
  mkdirs("src");
  mkdirs("out");
  const uint64_t size = (uint64_t{4} << 30) + 12345;
  // Marks at the start, on both sides of the 4 GiB line, and at the very end; holes between.
  const std::vector<std::pair<uint64_t, std::string>> marks = {
      {0, "first bytes"},
      {(uint64_t{4} << 30) - 6, "across 4 GiB"},
      {size - 9, "last byte"}};
  {
    int fd = ::open(path("src/huge.bin").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    for (const auto& [at, text] : marks)
      ASSERT_EQ(::pwrite(fd, text.data(), text.size(), static_cast<off_t>(at)),
                static_cast<ssize_t>(text.size()));
    ::close(fd);
  }
  ASSERT_EQ(file_to_zip(path("src/huge.bin"), path("huge.zip")), 0);
  std::filesystem::remove(path("src/huge.bin"));
  ASSERT_EQ(zip_to_file(path("huge.zip"), path("out/"), nullptr, 0), 0) << log();
  ASSERT_EQ(std::filesystem::file_size(path("out/huge.bin")), size);

  int fd = ::open(path("out/huge.bin").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  for (const auto& [at, text] : marks) {
    std::string got(text.size(), '\0');
    ASSERT_EQ(::pread(fd, got.data(), got.size(), static_cast<off_t>(at)),
              static_cast<ssize_t>(got.size()));
    EXPECT_EQ(got, text) << "at " << at;
  }
  // A hole reads back as zeros.
  std::string hole(4096, 'x');
  ASSERT_EQ(::pread(fd, hole.data(), hole.size(), off_t{3} << 30), 4096);
  EXPECT_EQ(hole, std::string(4096, '\0'));
  ::close(fd);
}

}  // namespace
