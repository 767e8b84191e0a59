// Zip archives with Mac metadata: unpacking into a folder (files, folders, symbolic links, modes,
// times, AppleDouble entries) and packing one file into a new archive.
#include "files/zip.h"

#include <fcntl.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <new>
#include <utility>
#include <vector>

#include "files/md5.h"
#include "foundation/globals.h"
#include "platform/mac_meta.h"
#include "platform/regular_file.h"
#include "zip_extract.h"

namespace {

// The archive code belongs to the file layer's unit in the program's source references.
const char* const kSrc = "DUdurid/Files/io_utils";

// Records where a step failed (for the log lines) and yields its code.
#define ZIP_FAIL(code) (sErrFile = kSrc, sErrLine = __LINE__, (code))
// The same for a failure code of minizip or zlib, which becomes one of the program's.
#define LIB_FAIL(code) (sErrFile = kSrc, sErrLine = __LINE__, lib_error(code))
#define LIB_WRITE_FAIL(code) (sErrFile = kSrc, sErrLine = __LINE__, lib_error(code, true))

// minizip opens archives by name itself: through these callbacks only a regular file is used.
voidpf ZCALLBACK open_regular(voidpf, const void* name, int mode) {
  const char* how = (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ ? "rb"
                    : (mode & ZLIB_FILEFUNC_MODE_EXISTING)                                 ? "r+b"
                                                                                             : "wb";
  return name ? PLAT_fopen_regular(static_cast<const char*>(name), how) : nullptr;
}

zlib_filefunc64_def regular_files() {
  zlib_filefunc64_def def;
  fill_fopen64_filefunc(&def);
  def.zopen64_file = open_regular;
  return def;
}

constexpr size_t kChunk = 1 << 20;
constexpr size_t kMaxLinkText = PATH_MAX - 1;
constexpr uint64_t kMaxFork = (uint64_t{1} << 31) - 1;
// The most of a resource fork held in memory while unpacking: what a fork's map can address.
constexpr uint64_t kMaxHeldFork = uint64_t{16} << 20;
constexpr uLong kLinkAttributes = 0xA1ED0000u;  // st_mode 0120755 in the upper half
constexpr uLong kMadeByUnix = (3u << 8) | 30u;  // host Unix, format 3.0

const uint8_t kAppleHeader[24] = {0x00, 0x05, 0x16, 0x07, 0x00, 0x02, 0x00, 0x00};

// Header, two descriptors (Finder info at 50 for 32 bytes; the fork at 82), up to the fork length.
const uint8_t kMagicCrap[46] = {0x00, 0x05, 0x16, 0x07, 0x00, 0x02, 0x00, 0x00, 0, 0, 0, 0,
                                0,    0,    0,    0,    0,    0,    0,    0,    0, 0, 0, 0,
                                0x00, 0x02, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x32,
                                0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00,
                                0x00, 0x52};

constexpr uint32_t kFinderInfoId = 9;
constexpr uint32_t kForkId = 2;

// The chunk buffer lives as long as the thread: thousands of small archives must not each map
// and fault in a megabyte.
char* chunk_buffer() {
  thread_local std::vector<char> buf(kChunk);
  return buf.data();
}

// An archive that does not read (damaged, cut short) is 20002 whatever the library says went
// wrong inside it, and memory is ENOMEM; writing, a failing write of the archive file is its errno
// (a full disk), anything else 20003. The library's own code goes to the log.
ErrCode lib_error(int code, bool writing = false) {
  const int saved = errno;
  xer_line("The zip library reported " + std::to_string(code) + ".");
  if (code == Z_MEM_ERROR) return ENOMEM;
  if (!writing) return ERR_ZIP_READ;
  return code == Z_ERRNO && saved ? saved : ERR_ZIP_CREATE;
}

uint32_t get32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
void put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}
void put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}

bool begins_with(const std::string& s, const char* prefix) {
  return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// Reads the current entry whole, growing only as data arrives (the declared size is not
// trusted), refusing more than limit bytes with too_big.
ErrCode read_entry(unzFile zip, const unz_file_info64& info, uint64_t limit, ErrCode too_big,
                   std::vector<uint8_t>* out) {
  if (info.flag & 1) return ZIP_FAIL(ERR_ZIP_ENCRYPTED);
  int r = unzOpenCurrentFile(zip);
  if (r != UNZ_OK) return LIB_FAIL(r);
  out->clear();
  char* buf = chunk_buffer();
  ErrCode err = 0;
  try {
    for (;;) {
      int n = unzReadCurrentFile(zip, buf, static_cast<unsigned>(kChunk));
      if (n < 0) {
        err = LIB_FAIL(n);
        break;
      }
      if (n == 0) break;
      if (out->size() + static_cast<size_t>(n) > limit) {
        err = ZIP_FAIL(too_big);
        break;
      }
      out->insert(out->end(), buf, buf + n);
    }
  } catch (const std::bad_alloc&) {
    err = ZIP_FAIL(ENOMEM);
  }
  if (!err && out->size() != info.uncompressed_size) err = ZIP_FAIL(ERR_ZIP_READ);
  r = unzCloseCurrentFile(zip);
  if (!err && r != UNZ_OK) err = LIB_FAIL(r);
  return err;
}

// The first 24 bytes of an AppleDouble entry: the header, or the Finder's own filler.
bool apple_header_ok(const uint8_t* p) {
  static const char kFinderFiller[16] = {'M', 'a', 'c', ' ', 'O', 'S', ' ', 'X',
                                         ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  if (std::memcmp(p, kAppleHeader, 8) != 0) return false;
  return std::memcmp(p + 8, kAppleHeader + 8, 16) == 0 ||
         std::memcmp(p + 8, kFinderFiller, sizeof kFinderFiller) == 0;
}

// Part of an AppleDouble entry wanted while the entry streams by.
struct wanted_range {
  uint64_t off = 0, len = 0;
  std::vector<uint8_t>* into = nullptr;
  // Copies what of [pos, pos + n) falls inside the range.
  void take(uint64_t pos, const uint8_t* p, size_t n) const {
    if (!into || len == 0) return;
    uint64_t from = std::max(pos, off), to = std::min(pos + n, off + len);
    if (from < to)
      std::memcpy(into->data() + (from - off), p + (from - pos), static_cast<size_t>(to - from));
  }
};

// Reads up to n more bytes of the current entry into out; the count read goes to *got.
ErrCode read_some(unzFile zip, uint8_t* out, size_t n, size_t* got) {
  *got = 0;
  while (*got < n) {
    size_t part = std::min(n - *got, kChunk);
    int r = unzReadCurrentFile(zip, out + *got, static_cast<unsigned>(part));
    if (r < 0) return LIB_FAIL(r);
    if (r == 0) break;
    *got += static_cast<size_t>(r);
  }
  return 0;
}

// Reads an AppleDouble entry as it streams by, holding only its header and descriptors, the
// Finder info, and the fork when keep_fork (at most kMaxHeldFork bytes); reading stops once
// nothing more is wanted. *fork_size receives the fork's length even when it is not held.
ErrCode read_apple_double(unzFile zip, const unz_file_info64& info, bool keep_fork,
                          mac_meta_data* meta, uint64_t* fork_size) {
  std::vector<uint8_t> head(26);
  size_t got = 0;
  ErrCode err = read_some(zip, head.data(), head.size(), &got);
  if (err) return err;
  if (got < 26 || !apple_header_ok(head.data())) return ZIP_FAIL(ERR_BAD_FORK_HEADER);
  const int count = std::max(0, int{static_cast<int16_t>(get16(&head[24]))});
  head.resize(26 + size_t(count) * 12);
  err = read_some(zip, head.data() + 26, head.size() - 26, &got);
  if (err) return err;
  if (got < head.size() - 26) return ZIP_FAIL(ERR_BAD_FORK_HEADER);

  // A later descriptor of the same id replaces an earlier one; every one must fit the entry.
  const uint64_t size = info.uncompressed_size;
  std::vector<uint8_t> finder;
  wanted_range finder_at, fork_at;
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = &head[26 + size_t(i) * 12];
    uint32_t id = get32(e);
    uint64_t off = get32(e + 4), len = get32(e + 8);
    if (off + len > size) return ZIP_FAIL(ERR_BAD_FORK_HEADER);
    if (id == kFinderInfoId && len == 32) finder_at = {off, len, &finder};
    else if (id == kForkId) fork_at = {off, len, &meta->fork};
  }
  *fork_size = fork_at.len;
  if (!keep_fork) fork_at.into = nullptr;
  if (fork_at.into && fork_at.len > kMaxHeldFork) return ZIP_FAIL(ERR_BAD_FORK_HEADER);
  try {
    finder.resize(finder_at.into ? 32 : 0);
    meta->fork.assign(fork_at.into ? fork_at.len : 0, 0);
  } catch (const std::bad_alloc&) {
    return ZIP_FAIL(ENOMEM);
  }

  uint64_t need = head.size();
  if (finder_at.into) need = std::max(need, finder_at.off + finder_at.len);
  if (fork_at.into) need = std::max(need, fork_at.off + fork_at.len);
  finder_at.take(0, head.data(), head.size());
  fork_at.take(0, head.data(), head.size());
  uint64_t pos = head.size();
  auto* buf = reinterpret_cast<uint8_t*>(chunk_buffer());
  while (pos < need) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(need - pos, kChunk));
    err = read_some(zip, buf, want, &got);
    if (err) return err;
    if (got < want) return ZIP_FAIL(ERR_ZIP_READ);
    finder_at.take(pos, buf, got);
    fork_at.take(pos, buf, got);
    pos += got;
  }
  if (finder_at.into) {
    const uint8_t* f = finder.data();
    meta->has_finder_info = true;
    meta->finder.type = get32(f);
    meta->finder.creator = get32(f + 4);
    meta->finder.flags = get16(f + 8);
    meta->finder.loc_v = get16(f + 10);
    meta->finder.loc_h = get16(f + 12);
    meta->finder.reserved = get16(f + 14);
  }
  return 0;
}

// The entry's date read as local time.
time_t entry_time(const unz_file_info64& info) {
  struct tm t = {};
  t.tm_sec = static_cast<int>(info.tmu_date.tm_sec);
  t.tm_min = static_cast<int>(info.tmu_date.tm_min);
  t.tm_hour = static_cast<int>(info.tmu_date.tm_hour);
  t.tm_mday = static_cast<int>(info.tmu_date.tm_mday);
  t.tm_mon = static_cast<int>(info.tmu_date.tm_mon);
  t.tm_year = static_cast<int>(info.tmu_date.tm_year) - 1900;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

// Files of this extraction sealed and not yet placed, when the caller places them.
using sealed_files = std::vector<extract::temp_file>;

bool is_sealed(const sealed_files* sealed, const std::string& target) {
  if (!sealed) return false;
  return std::any_of(sealed->begin(), sealed->end(),
                     [&](const extract::temp_file& f) { return f.target() == target; });
}

ErrCode restore_fork(unzFile zip, const std::string& ad_path, const unz_file_info64& info,
                     const extract::root* root, const sealed_files* sealed) {
  std::string leaf = extract::leaf_of(ad_path);
  std::string folder_part = ad_path.substr(0, ad_path.size() - leaf.size());
  if (begins_with(leaf, "._")) leaf.erase(0, 2);
  if (leaf.empty() || leaf == "." || leaf == "..") return ZIP_FAIL(ERR_UNSAFE_NAME);
  std::string target = folder_part + leaf;

  // The data file first: without one there is nothing to attach the entry to, so it is not read.
  extract::root own;
  if (!root) {
    if (own.open(folder_part.empty() ? std::string(".") : folder_part) != 0) return 0;
    root = &own;
  }
  std::string parent;
  ErrCode err = root->parent_of(target, &parent);
  if (err == ERR_UNSAFE_NAME) return ZIP_FAIL(err);
  if (err) return 0;
  std::string real_target = (parent == "/" ? std::string() : parent) + "/" + leaf;
  struct stat st;
  if (::lstat(real_target.c_str(), &st) != 0 && !is_sealed(sealed, real_target)) return 0;

  if (info.flag & 1) return ZIP_FAIL(ERR_ZIP_ENCRYPTED);
  int r = unzOpenCurrentFile(zip);
  if (r != UNZ_OK) return LIB_FAIL(r);
  mac_meta_store& store = mac_meta();
  mac_meta_data meta;
  uint64_t fork_size = 0;
  err = read_apple_double(zip, info, store.keeps_forks(), &meta, &fork_size);
  // The checksum is checked only when the entry was read to its end.
  r = unzCloseCurrentFile(zip);
  if (!err && r != UNZ_OK) err = LIB_FAIL(r);
  if (err) return err;
  if (!meta.has_finder_info && fork_size == 0) return 0;

  std::string note;
  err = store.write(real_target, meta, &note);
  if (!note.empty()) {
    if (!store.keeps_forks() && fork_size)
      note += ", resource fork of " + std::to_string(fork_size) + " bytes";
    xer_line(note);
  }
  return err ? ZIP_FAIL(err) : 0;
}

// Places the link and adds its path to *made, which the caller checks once the extraction ends;
// without a root the link's own folder is the root and the check is made at once. With sealed
// the link waits under its temporary name in *sealed, and the caller checks it once placed.
ErrCode restore_symlink(unzFile zip, const std::string& target, const unz_file_info64& info,
                        const extract::root* root, std::vector<std::string>* made, sealed_files* sealed) {
  std::vector<uint8_t> data;
  ErrCode err = read_entry(zip, info, kMaxLinkText, ENAMETOOLONG, &data);
  if (err) return err;
  std::string text(data.begin(), data.end());

  std::string leaf = extract::leaf_of(target);
  extract::root own;
  if (!root) {
    std::string folder = target.substr(0, target.size() - leaf.size());
    err = own.open(folder.empty() ? std::string(".") : folder);
    if (err) return ZIP_FAIL(err);
    root = &own;
  }
  std::string parent;
  err = root->parent_of(target, &parent);
  if (err) return ZIP_FAIL(err);
  err = root->link_stays_inside(parent, text);
  if (err) return ZIP_FAIL(err);
  extract::temp_file link;
  err = link.create_link(parent, leaf, text);
  if (!err) err = extract::hand_over(std::move(link), sealed);
  if (err) return ZIP_FAIL(err);
  if (sealed) return 0;
  std::string placed = (parent == "/" ? std::string() : parent) + "/" + leaf;
  if (made) {
    made->push_back(placed);
    return 0;
  }
  std::vector<std::string> one{placed};
  err = root->check_links(&one);
  return err ? ZIP_FAIL(err) : 0;
}

// The data of the current file entry, checked against its size and checksum. Debian's minizip
// 1.1 compares a zip64 entry's 32-bit placeholders with (unsigned long)-1, which never matches on
// 64-bit Linux, so it takes 0xFFFFFFFF as the size of every entry of 4 GiB or more. For such an
// entry the real sizes come from its zip64 extra field and the data is read from the archive file
// and inflated here; the library only finds where the data starts.
class entry_stream {
 public:
  entry_stream() = default;
  entry_stream(const entry_stream&) = delete;
  entry_stream& operator=(const entry_stream&) = delete;
  ~entry_stream() {
    if (inflating_) inflateEnd(&zs_);
    if (fd_ >= 0) ::close(fd_);
    if (open_) unzCloseCurrentFile(zip_);
  }

  ErrCode open(unzFile zip, const std::string& zpath, const unz_file_info64& info) {
    zip_ = zip;
    size_ = info.uncompressed_size;
    left_ = info.compressed_size;
    crc_wanted_ = info.crc;
    const bool placeholder = info.uncompressed_size == 0xFFFFFFFFu || info.compressed_size == 0xFFFFFFFFu;
    if (!placeholder) {
      int r = unzOpenCurrentFile(zip);
      if (r != UNZ_OK) return LIB_FAIL(r);
      open_ = true;
      return 0;
    }
    ErrCode err = zip64_sizes(info);
    if (err) return err;
    int method = 0, level = 0;
    int r = unzOpenCurrentFile2(zip, &method, &level, 1);
    if (r != UNZ_OK) return LIB_FAIL(r);
    open_ = true;
    own_ = true;
    if (method != 0 && method != Z_DEFLATED) return ZIP_FAIL(ERR_ZIP_READ);
    at_ = static_cast<off_t>(unzGetCurrentFileZStreamPos64(zip));
    fd_ = PLAT_open_regular(zpath, O_RDONLY);
    if (fd_ < 0) return ZIP_FAIL(errno);
    if (method == Z_DEFLATED) {
      if (inflateInit2(&zs_, -MAX_WBITS) != Z_OK) return ZIP_FAIL(ENOMEM);
      inflating_ = true;
      in_.resize(1 << 18);
    }
    return 0;
  }

  // Up to cap bytes into buf; *got is 0 at the end of the data.
  ErrCode read(char* buf, size_t cap, size_t* got) {
    *got = 0;
    if (!own_) {
      int n = unzReadCurrentFile(zip_, buf, static_cast<unsigned>(cap));
      if (n < 0) return LIB_FAIL(n);
      *got = static_cast<size_t>(n);
      total_ += *got;
      return 0;
    }
    if (!inflating_) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(cap, left_));
      ErrCode err = pread_all(buf, want);
      if (err) return err;
      *got = want;
    } else {
      zs_.next_out = reinterpret_cast<Bytef*>(buf);
      zs_.avail_out = static_cast<uInt>(cap);
      while (zs_.avail_out == cap && !ended_) {
        if (zs_.avail_in == 0) {
          if (left_ == 0) return ZIP_FAIL(ERR_ZIP_READ);  // the data ends inside the stream
          size_t want = static_cast<size_t>(std::min<uint64_t>(in_.size(), left_));
          ErrCode err = pread_all(reinterpret_cast<char*>(in_.data()), want);
          if (err) return err;
          zs_.next_in = in_.data();
          zs_.avail_in = static_cast<uInt>(want);
        }
        int r = inflate(&zs_, Z_NO_FLUSH);
        if (r == Z_STREAM_END) ended_ = true;
        else if (r != Z_OK) return LIB_FAIL(r);
      }
      *got = cap - zs_.avail_out;
    }
    crc_ = crc32(crc_, reinterpret_cast<const Bytef*>(buf), static_cast<uInt>(*got));
    total_ += *got;
    return 0;
  }

  // After the last read: the size and the checksum must be the entry's.
  ErrCode close() {
    if (total_ != size_) return ZIP_FAIL(ERR_ZIP_READ);
    if (own_ && crc_ != crc_wanted_) return ZIP_FAIL(ERR_ZIP_READ);
    open_ = false;
    int r = unzCloseCurrentFile(zip_);  // the library checks the checksum of what it read
    return r == UNZ_OK ? 0 : LIB_FAIL(r);
  }

 private:
  // The zip64 extra field holds, in this order, the sizes whose placeholders are 0xFFFFFFFF.
  ErrCode zip64_sizes(const unz_file_info64& info) {
    std::vector<uint8_t> extra(info.size_file_extra);
    unz_file_info64 again;
    if (extra.empty() ||
        unzGetCurrentFileInfo64(zip_, &again, nullptr, 0, extra.data(), static_cast<uLong>(extra.size()),
                                nullptr, 0) != UNZ_OK)
      return ZIP_FAIL(ERR_ZIP_READ);
    auto le = [&](size_t at, int bytes) {
      uint64_t v = 0;
      for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | extra[at + size_t(i)];
      return v;
    };
    for (size_t at = 0; at + 4 <= extra.size();) {
      const uint64_t id = le(at, 2), len = le(at + 2, 2);
      const size_t body = at + 4;
      if (body + len > extra.size()) break;
      if (id == 1) {
        size_t p = body;
        if (info.uncompressed_size == 0xFFFFFFFFu) {
          if (p + 8 > body + len) break;
          size_ = le(p, 8);
          p += 8;
        }
        if (info.compressed_size == 0xFFFFFFFFu) {
          if (p + 8 > body + len) break;
          left_ = le(p, 8);
        }
        return 0;
      }
      at = body + len;
    }
    return ZIP_FAIL(ERR_ZIP_READ);
  }

  ErrCode pread_all(char* out, size_t n) {
    while (n > 0) {
      ssize_t r = ::pread(fd_, out, n, at_);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return ZIP_FAIL(ERR_ZIP_READ);
      out += r;
      n -= static_cast<size_t>(r);
      at_ += r;
      left_ -= static_cast<uint64_t>(r);
    }
    return 0;
  }

  unzFile zip_ = nullptr;
  bool open_ = false, own_ = false, inflating_ = false, ended_ = false;
  int fd_ = -1;
  off_t at_ = 0;
  uint64_t size_ = 0, left_ = 0, total_ = 0;
  uLong crc_ = 0, crc_wanted_ = 0;
  z_stream zs_ = {};
  std::vector<Bytef> in_;
};

ErrCode restore_file(unzFile zip, const std::string& zpath, const std::string& target,
                     const unz_file_info64& info, const extract::root& root, sealed_files* sealed) {
  std::string parent;
  ErrCode err = root.parent_of(target, &parent);
  if (err) return ZIP_FAIL(err);
  if (info.flag & 1) return ZIP_FAIL(ERR_ZIP_ENCRYPTED);
  entry_stream in;
  err = in.open(zip, zpath, info);
  if (err) return err;

  extract::temp_file out;
  err = out.create(parent, extract::leaf_of(target));
  if (err) return ZIP_FAIL(err);
  char* buf = chunk_buffer();
  for (;;) {
    size_t n = 0;
    err = in.read(buf, kChunk, &n);
    if (err) return err;
    if (n == 0) break;
    err = out.write(buf, n);
    if (err) return ZIP_FAIL(err);
  }
  err = in.close();
  if (err) return err;

  // A DOS attribute (upper half zero) must never chmod the file to nothing.
  uLong unix_mode = info.external_fa >> 16;
  int mode = unix_mode ? static_cast<int>(unix_mode & 0777) : -1;
  time_t when = 0;
  if (info.external_fa) when = entry_time(info);
  out.seal(mode, info.external_fa ? &when : nullptr);
  err = extract::hand_over(std::move(out), sealed);
  return err ? ZIP_FAIL(err) : 0;
}

void log_entry_failure(const char* what, ErrCode err, const std::string& target) {
  xer_line(std::string(what) + std::to_string(err) + ". file = " + (sErrFile ? sErrFile : "") +
           " line = " + std::to_string(sErrLine) + ". inFile=" + target + ".");
}

// One entry of zip_to_file.
ErrCode unpack_entry(unzFile zip, const std::string& zpath, const unz_file_info64& info,
                     const std::string& name, const std::string& out_dir, const std::string& target,
                     const extract::root& root, std::vector<std::string>* made_links, sealed_files* sealed) {
  if (!name.empty() && name.back() == '/') {
    if (begins_with(name, "__MACOSX")) return 0;
    if (!extract::name_safe(name)) return ZIP_FAIL(ERR_UNSAFE_NAME);
    std::string dir = out_dir + name;
    std::string parent;
    ErrCode err = root.parent_of(dir, &parent);
    if (err) return ZIP_FAIL(err);
    std::string real_dir = (parent == "/" ? std::string() : parent) + "/" +
                           extract::leaf_of(dir.substr(0, dir.size() - 1));
    if (::mkdir(real_dir.c_str(), 0755) != 0 && errno != EEXIST) return ZIP_FAIL(errno);
    return 0;
  }
  if (!extract::name_safe(name) || !extract::name_safe(target.substr(out_dir.size()))) {
    ErrCode err = ZIP_FAIL(ERR_UNSAFE_NAME);
    log_entry_failure("Zip to file failed with error ", err, target);
    return err;
  }
  if (begins_with(name, "__MACOSX")) {
    std::string ad_path = out_dir + name.substr(9);
    ErrCode err = restore_fork(zip, ad_path, info, &root, sealed);
    if (err) log_entry_failure("Unzip RF failed with error ", err, ad_path);
    return err;
  }
  if (((info.external_fa >> 16) & S_IFMT) == S_IFLNK) {
    ErrCode err = restore_symlink(zip, target, info, &root, made_links, sealed);
    if (err) log_entry_failure("Zip to symlink failed with error ", err, target);
    return err;
  }
  ErrCode err = restore_file(zip, zpath, target, info, root, sealed);
  if (err) log_entry_failure("Zip to file failed with error ", err, target);
  return err;
}

}  // namespace

ErrCode unzip_resource_fork(unzFile zip, std::string target_path, const unz_file_info64& info) {
  return restore_fork(zip, target_path, info, nullptr, nullptr);
}

ErrCode unzip_symlink(unzFile zip, std::string target_path, const unz_file_info64& info) {
  return restore_symlink(zip, target_path, info, nullptr, nullptr, nullptr);
}

ErrCode zip_to_file(std::string zip_path, std::string out_dir, std::string* first_name,
                    int use_name, std::vector<temp_file>* sealed) {
  const std::string zpath = rooted_path(zip_path);
  const std::string odir = rooted_path(out_dir);
  const std::string fixed_name = (use_name && first_name) ? *first_name : std::string();

  zlib_filefunc64_def files = regular_files();
  unzFile zip = unzOpen2_64(zpath.c_str(), &files);
  if (!zip) {
    sErrFile = kSrc;
    sErrLine = __LINE__;
    xer_line("OK I am about to report that I could not open a zip file for extraction!");
    xer_line("That incoming file is " + zpath);
    xer_line("In c-form, it is " + zpath);
    xer_line("The size is " + std::to_string(zpath.size()));
    return ERR_ZIP_OPEN;
  }

  extract::root root;
  ErrCode err = root.open(odir);
  if (err) err = ZIP_FAIL(err);
  bool first = true;
  std::vector<std::string> made_links;
  if (!err) {
    int r = unzGoToFirstFile(zip);
    bool more = r == UNZ_OK;
    if (r != UNZ_OK && r != UNZ_END_OF_LIST_OF_FILE) err = LIB_FAIL(r);
    while (more) {
      unz_file_info64 info;
      r = unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
      std::string name(r == UNZ_OK ? info.size_filename : 0, '\0');
      if (r == UNZ_OK && !name.empty())
        r = unzGetCurrentFileInfo64(zip, &info, name.data(), static_cast<uLong>(name.size()),
                                    nullptr, 0, nullptr, 0);
      if (r != UNZ_OK) {
        xer_line("unzGetCurrentFileInfo err != UNZ_OK! err=" + std::to_string(r));
        err = LIB_FAIL(r);
        break;
      }
      if (first && first_name) *first_name = name;
      first = false;
      std::string target = odir + (use_name ? fixed_name : name);
      err = unpack_entry(zip, zpath, info, name, odir, target, root, &made_links, sealed);
      if (err) {
        xer_line("UNZIP zip_to_file failed with err=" + std::to_string(err));
        break;
      }
      r = unzGoToNextFile(zip);
      if (r == UNZ_END_OF_LIST_OF_FILE) break;
      if (r != UNZ_OK) {
        err = LIB_FAIL(r);
        break;
      }
    }
  }
  int r = unzClose(zip);
  if (!err && r != UNZ_OK) err = LIB_FAIL(r);
  // Links that pass one by one may still combine into a way out: each must lead inside on disk.
  if (!root.real().empty() && root.check_links(&made_links) != 0) {
    xer_line("Removed a link that leads outside " + odir + ".");
    if (!err) err = ZIP_FAIL(ERR_UNSAFE_NAME);
  }
  if (err)
    xer_line("Zip to file failed with error err = " + std::to_string(err) + ". file = " +
             (sErrFile ? sErrFile : "") + " line = " + std::to_string(sErrLine) +
             ". zip_file=" + zpath + ", out_directory=" + odir + ".");
  return err;
}

namespace {

// A zip archive being written under a temporary name beside its final place.
class zip_writer {
 public:
  ~zip_writer() {
    if (zip_) zipClose(zip_, nullptr);
    if (!temp_.empty()) ::unlink(temp_.c_str());
  }
  ErrCode create(const std::string& path) {
    final_ = path;
    std::string leaf = extract::leaf_of(path);
    std::string folder = path.substr(0, path.size() - leaf.size());
    std::string pattern = folder + ".vol-zip-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    int fd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd < 0) return ZIP_FAIL(ERR_ZIP_CREATE);
    // The temporary name's private mode must not carry over to the archive.
    int failed = ::fchmod(fd, extract::default_file_mode()) != 0 ? errno : 0;
    ::close(fd);
    temp_.assign(buf.data());
    if (failed) return ZIP_FAIL(failed);
    zlib_filefunc64_def files = regular_files();
    zip_ = zipOpen2_64(temp_.c_str(), APPEND_STATUS_CREATE, nullptr, &files);
    if (!zip_) return ZIP_FAIL(ERR_ZIP_CREATE);
    return 0;
  }
  ErrCode add(const std::string& name, const zip_fileinfo& info, int method, bool zip64) {
    int r = zipOpenNewFileInZip4_64(zip_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                    method, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                    Z_DEFAULT_STRATEGY, nullptr, 0, kMadeByUnix, 0, zip64 ? 1 : 0);
    return r == ZIP_OK ? 0 : LIB_WRITE_FAIL(r);
  }
  ErrCode write(const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      unsigned part = static_cast<unsigned>(size > kChunk ? kChunk : size);
      int r = zipWriteInFileInZip(zip_, p, part);
      if (r != ZIP_OK) return LIB_WRITE_FAIL(r);
      p += part;
      size -= part;
    }
    return 0;
  }
  ErrCode close_entry() {
    int r = zipCloseFileInZip(zip_);
    return r == ZIP_OK ? 0 : LIB_WRITE_FAIL(r);
  }
  ErrCode finish() {
    int r = zipClose(zip_, nullptr);
    zip_ = nullptr;
    if (r != ZIP_OK) return LIB_WRITE_FAIL(r);
    if (::rename(temp_.c_str(), final_.c_str()) != 0) return ZIP_FAIL(errno);
    temp_.clear();
    return 0;
  }

 private:
  zipFile zip_ = nullptr;
  std::string temp_;
  std::string final_;
};

ErrCode pack_link(const std::string& leaf, const std::string& text, const std::string& zpath) {
  zip_writer zw;
  ErrCode err = zw.create(zpath);
  zip_fileinfo zi = {};
  zi.external_fa = kLinkAttributes;
  if (!err) err = zw.add(leaf, zi, 0, false);
  if (!err) err = zw.write(text.data(), text.size());
  if (!err) err = zw.close_entry();
  if (!err) err = zw.finish();
  return err;
}

ErrCode pack_fork(zip_writer& zw, const std::string& leaf, const mac_meta_data& meta) {
  if (meta.fork.size() > kMaxFork) return ZIP_FAIL(ERR_FORK_TOO_BIG);
  zip_fileinfo zi = {};
  ErrCode err = zw.add("__MACOSX/._" + leaf, zi, Z_DEFLATED, false);
  if (err) return err;
  uint8_t head[46 + 4 + 32] = {};
  std::memcpy(head, kMagicCrap, sizeof kMagicCrap);
  put32(head + 46, static_cast<uint32_t>(meta.fork.size()));
  uint8_t* f = head + 50;
  put32(f, meta.finder.type);
  put32(f + 4, meta.finder.creator);
  put16(f + 8, meta.finder.flags);
  put16(f + 10, meta.finder.loc_v);
  put16(f + 12, meta.finder.loc_h);
  put16(f + 14, meta.finder.reserved);
  err = zw.write(head, sizeof head);
  if (!err) err = zw.write(meta.fork.data(), meta.fork.size());
  if (!err) err = zw.close_entry();
  return err;
}

// hash, when given, also takes every byte packed; size counts them.
ErrCode pack_file(const std::string& src, const std::string& leaf, const std::string& zpath,
                  md5_ctx* hash, int64_t& size) {
  int fd = PLAT_open_regular(src, O_RDONLY);
  if (fd < 0) return ZIP_FAIL(ERR_FILE_OPEN);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return ZIP_FAIL(ERR_FILE_OPEN);
  }
  zip_fileinfo zi = {};
  struct tm t;
  if (localtime_r(&st.st_mtime, &t)) {
    zi.tmz_date.tm_sec = static_cast<uInt>(t.tm_sec);
    zi.tmz_date.tm_min = static_cast<uInt>(t.tm_min);
    zi.tmz_date.tm_hour = static_cast<uInt>(t.tm_hour);
    zi.tmz_date.tm_mday = static_cast<uInt>(t.tm_mday);
    zi.tmz_date.tm_mon = static_cast<uInt>(t.tm_mon);
    zi.tmz_date.tm_year = static_cast<uInt>(t.tm_year + 1900);
  }
  zi.external_fa = static_cast<uLong>(st.st_mode) << 16;

  zip_writer zw;
  ErrCode err = zw.create(zpath);
  if (!err) err = zw.add(leaf, zi, Z_DEFLATED, st.st_size >= 0xFFFFFFFFLL);
  char* buf = chunk_buffer();
  while (!err) {
    ssize_t n = ::read(fd, buf, kChunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = ZIP_FAIL(errno);
      break;
    }
    if (n == 0) break;
    err = zw.write(buf, static_cast<size_t>(n));
    if (hash) MD5UpdateWide(hash, reinterpret_cast<const uint8_t*>(buf), static_cast<size_t>(n));
    size += n;
  }
  ::close(fd);
  if (!err) err = zw.close_entry();

  mac_meta_data meta;
  if (!err && mac_meta().read(src, &meta) && !meta.fork.empty()) err = pack_fork(zw, leaf, meta);
  if (!err) err = zw.finish();
  return err;
}

}  // namespace

ErrCode file_to_zip(std::string src_path, std::string zip_path, std::string* sig, int64_t* size) {
  const std::string src = rooted_path(src_path);
  const std::string zpath = rooted_path(zip_path);
  std::string leaf = extract::leaf_of(src);
  ErrCode err = 0;

  // The folder is resolved; the leaf is not, so a link is packed as a link.
  std::string folder = src.substr(0, src.size() - leaf.size());
  char* real = ::realpath(folder.empty() ? "." : folder.c_str(), nullptr);
  if (leaf.empty()) {
    err = ZIP_FAIL(ERR_FILE_OPEN);
  } else if (!real) {
    err = ZIP_FAIL(errno);
  } else {
    std::string resolved = std::string(real) + (std::strcmp(real, "/") ? "/" : "") + leaf;
    struct stat st;
    if (::lstat(resolved.c_str(), &st) != 0) {
      err = ZIP_FAIL(errno);
    } else if (S_ISLNK(st.st_mode)) {
      std::vector<char> text(PATH_MAX);
      ssize_t n = ::readlink(resolved.c_str(), text.data(), text.size());
      if (n < 0) err = ZIP_FAIL(errno);
      else if (static_cast<size_t>(n) >= text.size()) err = ZIP_FAIL(ENAMETOOLONG);
      else {
        const std::string link_text(text.data(), static_cast<size_t>(n));
        err = pack_link(leaf, link_text, zpath);
        if (!err && sig) *sig = md5_hex(link_text.data(), link_text.size());
        if (!err && size) *size = static_cast<int64_t>(link_text.size());
      }
    } else {
      md5_ctx hash;
      MD5Init(&hash);
      int64_t count = 0;
      err = pack_file(resolved, leaf, zpath, sig ? &hash : nullptr, count);
      if (!err && sig) {
        MD5Final(&hash);
        *sig = md5_digest_hex(hash);
      }
      if (!err && size) *size = count;
    }
  }
  ::free(real);
  if (err)
    xer_line("file_to_zip failed with error " + std::to_string(err) + ".\nfile = " +
             (sErrFile ? sErrFile : "") + " line = " + std::to_string(sErrLine));
  return err;
}
