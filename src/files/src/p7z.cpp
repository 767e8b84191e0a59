// 7z archives: extraction of the files of an archive into an existing folder tree (decoded by
// libarchive), and packing through the external "7za" tool.
#include "files/p7z.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/regular_file.h"
#include "platform/spawn.h"
#include "zip_extract.h"

namespace {

const char* const kSrc = "DUdurid/Files/io_utils";

#define P7Z_FAIL(code) (sErrFile = kSrc, sErrLine = __LINE__, (code))

constexpr size_t kBlock = 1 << 20;

// Decoder failures become program codes, so no decoder number reads as an unrelated errno row.
ErrCode decode_error(struct archive* a) {
  return archive_errno(a) == ENOMEM ? ENOMEM : ERR_ZIP_READ;
}

struct archive_closer {
  struct archive* a;
  ~archive_closer() { archive_read_free(a); }
};

// Streams the current entry's data into out, filling holes left between blocks with zeros.
ErrCode copy_data(struct archive* a, extract::temp_file& out) {
  static const char zeros[64 * 1024] = {};
  int64_t written = 0;
  for (;;) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    int r = archive_read_data_block(a, &block, &size, &offset);
    if (r == ARCHIVE_EOF) return 0;
    if (r < ARCHIVE_WARN) return P7Z_FAIL(decode_error(a));
    if (r != ARCHIVE_OK) return P7Z_FAIL(ERR_ZIP_READ);
    if (offset < written) return P7Z_FAIL(ERR_ZIP_READ);
    while (written < offset) {
      size_t gap = static_cast<size_t>(offset - written);
      if (gap > sizeof zeros) gap = sizeof zeros;
      if (out.write(zeros, gap) != 0) return P7Z_FAIL(ERR_ZIP_WRITE);
      written += static_cast<int64_t>(gap);
    }
    if (size && out.write(block, size) != 0) return P7Z_FAIL(ERR_ZIP_WRITE);
    written += static_cast<int64_t>(size);
  }
}

}  // namespace

ErrCode p7z_to_file(std::string archive_path, std::string out_dir, std::string* name_io,
                    int use_name, std::vector<temp_file>* sealed) {
  const std::string fixed_name = (use_name && name_io) ? *name_io : std::string();
  int fd = PLAT_open_regular(archive_path, O_RDONLY);
  // Anything but a file in its place reads as a damaged archive.
  if (fd < 0) return P7Z_FAIL(errno == EINVAL ? ERR_ZIP_OPEN : errno);

  struct archive* a = archive_read_new();
  if (!a) {
    ::close(fd);
    return P7Z_FAIL(ENOMEM);
  }
  archive_closer closer{a};
  archive_read_support_format_7zip(a);
  // The archive owns nothing here: the descriptor is closed below on every path.
  struct fd_guard {
    int fd;
    ~fd_guard() { ::close(fd); }
  } guard{fd};
  if (archive_read_open_fd(a, fd, kBlock) != ARCHIVE_OK) return P7Z_FAIL(ERR_ZIP_OPEN);

  extract::root root;
  bool opened = false;
  for (;;) {
    struct archive_entry* entry = nullptr;
    int r = archive_read_next_header(a, &entry);
    if (r == ARCHIVE_EOF) break;
    if (r < ARCHIVE_WARN) {
      // The first header is where the archive is recognised.
      if (!opened) return P7Z_FAIL(archive_errno(a) == ENOMEM ? ENOMEM : ERR_ZIP_OPEN);
      return P7Z_FAIL(decode_error(a));
    }
    if (!opened) {
      opened = true;
      ErrCode err = root.open(out_dir);
      if (err) return P7Z_FAIL(err);
    }
    if (archive_entry_filetype(entry) == AE_IFDIR) continue;

    const char* raw = archive_entry_pathname(entry);
    if (!raw) raw = archive_entry_pathname_utf8(entry);
    std::string name = raw ? raw : "";
    if (!extract::name_safe(name) || name.back() == '/') return P7Z_FAIL(ERR_UNSAFE_NAME);
    std::string rel = use_name ? fixed_name : name;
    if (!extract::name_safe(rel)) return P7Z_FAIL(ERR_UNSAFE_NAME);
    std::string target = out_dir + rel;
    if (name_io) *name_io = target;

    std::string parent;
    ErrCode err = root.parent_of(target, &parent);
    if (err) return P7Z_FAIL(err);
    extract::temp_file out;
    err = out.create(parent, extract::leaf_of(target));
    if (err) return P7Z_FAIL(err);
    if (archive_entry_filetype(entry) == AE_IFLNK) {
      // No links are made from 7z archives: the record's data, its link text, becomes the file.
      const char* text = archive_entry_symlink(entry);
      if (text && out.write(text, std::strlen(text)) != 0) return P7Z_FAIL(ERR_ZIP_WRITE);
    } else {
      err = copy_data(a, out);
      if (err) return err;
    }
    // Archives made without times leave the file its unpacking time.
    const time_t when = archive_entry_mtime(entry);
    out.seal(-1, archive_entry_mtime_is_set(entry) ? &when : nullptr);
    err = extract::hand_over(std::move(out), sealed);
    if (err) return P7Z_FAIL(err);
  }
  return 0;
}

int file_to_p7z(std::string source_path, std::string archive_path) {
  pid_t pid = 0;
  int r = PLAT_spawn({"7za", "a", "--", archive_path, source_path}, &pid);
  if (r != 0) return P7Z_FAIL(r);
  int status = 0;
  r = PLAT_wait_status(pid, &status);
  if (r != 0) return P7Z_FAIL(r);
  return status;
}
