// The data-file header writer ouf_open and the mapped-file reader xmap_class with its header
// check and text scanning. The reader only ever maps regular files, so a FIFO or a folder handed
// to a scan can never block or crash it.
#include "files/xmap.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/io_utils.h"
#include "files_internal.h"
#include "platform/regular_file.h"
#include "foundation/alert.h"
#include "foundation/globals.h"

namespace {
const char* const kXmap = "DUdurid/OOPS_cpp/xmap";
const char* const kIoUtils = "DUdurid/Files/io_utils";
// begin and end of an empty file: not null, and never read.
const char kEmpty[1] = {0};
}  // namespace

// ---- Header writer ----

std::string ouf_full_path(const std::string& path) {
  std::string full = app_path + path;
  if (full.size() > 3)
    for (size_t i = full.size() - 3; i < full.size(); ++i)
      if (full[i] >= 'A' && full[i] <= 'Z') full[i] = static_cast<char>(full[i] + 32);
  return full;
}

int ouf_open(std::string path, int type, int version, std::string notice) {
  if (type != TFH_BINARY && type != TFH_TEXT)
    __ZARIRU_alert(0, "Bad ouf_open type!", path, "", "", t_exit, kIoUtils, 1036);
  std::string full = ouf_full_path(path);
  if (full.size() >= PATH_MAX_LEN)
    __ZARIRU_alert(0, "String too long!", full, "", "", t_exit, "DUdurid/GenH/hl_string", 137);

  for (int attempt = 0; attempt < 2; ++attempt) {
    ouf.clear();
    if (ouf.is_open()) ouf.close();
    ouf.clear();
    if (type == TFH_TEXT) {
      PLAT_open_regular_stream(ouf, full, std::ios::out | std::ios::trunc);
      if (ouf.is_open()) {
        ouf.setf(std::ios::fixed, std::ios::floatfield);
        ouf << "I\n" << version << " version";
        if (notice != "no-copyright-string") ouf << notice;
        ouf << "\n";
      }
    } else {
      PLAT_open_regular_stream(ouf, full, std::ios::out | std::ios::trunc | std::ios::binary);
      if (ouf.is_open()) {
        const uint32_t v = static_cast<uint32_t>(version);
        const char bytes[5] = {'i', static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                               static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
        ouf.write(bytes, 5);
      }
    }
    if (ouf.is_open() && ouf.good()) return 1;
    if (attempt == 0) {
      size_t slash = full.rfind('/');
      make_folder(slash == std::string::npos ? std::string() : full.substr(0, slash + 1));
    }
  }
  __ZARIRU_alert(0,
                 "I could not save the file! Could the directory that the file sits in be missing? "
                 "Or flagged as READ-ONLY by the operating system? (Windows machines typically do "
                 "this).",
                 full,
                 "Could the file be flagged as read-only? This happens in Windows if you copy it "
                 "from a CD!",
                 "Try putting this app in the background and then flag the file as NOT read-only, "
                 "or creating the folder listed in the path above.",
                 t_alert, kIoUtils, 1090);
  return 0;
}

// ---- Mapped reader ----

namespace {
bool holds_app_path(const std::string& path) {
  return !app_path.empty() && path.find(app_path) != std::string::npos;
}
}  // namespace

bool xmap_path_ok(const std::string& path) {
  return !holds_app_path(path) && path_problem(path) == 0;
}

std::string xmap_full_path(const std::string& path) {
  if (holds_app_path(path))
    __ZARIRU_alert(0, "retry: We are getting a file string that is not Volsuite relative!",
                   "This is illegal! All paths must be Volsuite relative!",
                   "The path in question is:", path, t_exit, kXmap, 122);
  if (path.find('\\') != std::string::npos)
    __ZARIRU_alert(0, "OOPS!", "I got a bad dirchar! I only want '/'!", "The path in question is:",
                   path, t_exit, kXmap, 128);
  std::string full = app_path + path;
  if (!rooted_length_fits(path.size()))
    __ZARIRU_alert(0, "String too long!", full, "", "", t_exit, "DUdurid/GenH/hl_string", 137);
  if (g_case_sensitive) findPath(full);
  return full;
}

xmap_class::xmap_class(const std::string& path) {
  if (!path.empty()) retry(path);
}

xmap_class::~xmap_class() { drop(); }

void xmap_class::drop() {
  if (begin && map_size_) munmap(const_cast<char*>(begin), map_size_);
  if (fd >= 0) close(fd);
  fd = -1;
  map_size_ = 0;
  begin = end = nullptr;
}

const char* xmap_class::retry(const std::string& path) {
  std::string full = xmap_full_path(path);
  drop();
  int f = PLAT_open_regular(full, O_RDONLY);
  if (f < 0) return nullptr;
  struct stat st;
  if (fstat(f, &st) != 0) {
    close(f);
    return nullptr;
  }
  fd = f;
  const size_t size = static_cast<size_t>(st.st_size);
  if (size == 0) {
    begin = end = cursor = kEmpty;
    return begin;
  }
  void* at = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (at == MAP_FAILED) {
    int err = errno;
    xer_line("Mem file error.  Err=" + std::to_string(err) + ", file=" + full);
    close(fd);
    fd = -1;
    if (err == ENOMEM)
      __ZARIRU_alert(0, "Xmapped out of memory", "c_path=", full, "errno=12.000000", t_exit, kXmap,
                     172);
    return nullptr;
  }
  if (!at) __ZARIRU_alert(0, "Xmapped file ran out of memory", "", "", "", t_exit, kXmap, 166);
  map_size_ = size;
  begin = cursor = static_cast<const char*>(at);
  end = begin + size;
  return begin;
}

int xmap_class::check_file(int type, const int* versions, const char* keyword, std::string* rest) {
  if (type != TFH_BINARY && type != TFH_TEXT)
    __ZARIRU_alert(0, "Bad check_file type!", name, "", "", t_exit, kXmap, 12);
  if (!begin || begin == end) return 0;
  cursor = begin;
  int version = 0;
  if (type == TFH_BINARY) {
    char order = *cursor++;
    if (order == 'a')
      swap = 1;
    else if (order == 'i')
      swap = 0;
    else
      return 0;
    // Missing bytes of a short file count as 0.
    uint8_t b[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4 && cursor < end; ++i) b[i] = static_cast<uint8_t>(*cursor++);
    uint32_t v = swap ? (uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3])
                      : (uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0]);
    version = static_cast<int>(v);
  } else {
    char kind = *cursor;
    TXT_skip_eoln();
    if (kind != 'I' && kind != 'A') return 0;
    version = TXT_int_scan();
    TXT_str_scan_eoln(rest);
  }
  bool listed = false;
  for (const int* v = versions; v && *v; ++v)
    if (*v == version) listed = true;
  if (!listed) return 0;
  if (!keyword) return version;

  TXT_skip_space();
  const char* mark = cursor;
  const size_t n = std::strlen(keyword);
  bool match = static_cast<size_t>(end - cursor) >= n && std::memcmp(cursor, keyword, n) == 0 &&
               (cursor + n == end || is_sep(cursor[n]));
  if (!match) {
    cursor = mark;
    return 0;
  }
  cursor += n;
  TXT_skip_space();
  TXT_skip_eoln();
  return version;
}

void xmap_class::read_n_rev(void* destination, long count) {
  if (count < 0 || !cursor || count > end - cursor)
    __ZARIRU_alert(0, "Invalid read_n_rev read!", "", "", "", t_exit, kXmap, 53);
  if (count == 0) return;
  auto* out = static_cast<char*>(destination);
  std::memcpy(out, cursor, static_cast<size_t>(count));
  cursor += count;
  if (swap == 1)
    for (long i = 0; i + 4 <= count; i += 4) {
      std::swap(out[i], out[i + 3]);
      std::swap(out[i + 1], out[i + 2]);
    }
}

void xmap_class::TXT_str_scan_space(std::string* out) {
  TXT_skip_space();
  const char* start = cursor;
  while (cursor < end && !is_sep(*cursor)) ++cursor;
  if (out) out->assign(start, static_cast<size_t>(cursor - start));
}

void xmap_class::TXT_str_scan_eoln(std::string* out) {
  TXT_skip_space();
  const char* start = cursor;
  while (cursor < end && !is_eoln(*cursor)) ++cursor;
  if (out) out->assign(start, static_cast<size_t>(cursor - start));
  while (cursor < end && is_sep(*cursor)) ++cursor;
}

void xmap_class::TXT_xer_line() {
  if (!begin) return;
  long crs = 0, lfs = 0;
  const char* line_start = begin;
  for (const char* p = begin; p < cursor; ++p) {
    if (*p == '\r') ++crs;
    if (*p == '\n') ++lfs;
    if (*p == '\r' || *p == '\n') line_start = p + 1;
  }
  const char* line_end = cursor;
  while (line_end < end && *line_end != '\r' && *line_end != '\n') ++line_end;
  std::string text(line_start, static_cast<size_t>(line_end - line_start));
  xer << (1 + (crs > lfs ? crs : lfs)) << " \"" << text << "\"\n";
  xer.flush();
}

int xmap_class::io_file_open(int mode, std::string path, int* versions, int type) {
  if (mode == 1) {
    io_mode = 1;
    return ouf_open(path, type, versions ? versions[0] : 0, "no-copyright-string");
  }
  if (mode == 0) {
    io_mode = 0;
    if (!retry(path)) return 0;
    return check_file(type, versions, nullptr, nullptr) ? 1 : 0;
  }
  return 0;
}

void xmap_class::io_file_close() {
  if (io_mode == 1) ouf.close();
}
