// The common data-file header (text and binary form), its writer ouf_open, and xmap_class: a
// read-only mapping of a whole file with a cursor and the text-scanning steps every parser uses.
#pragma once
#include <cstdint>
#include <string>

enum : int {
  TFH_BINARY = 10000,  // 'i' or 'a' byte-order mark, then a 32-bit version
  TFH_TEXT = 10001     // "I" line, then "<version> version" line
};

// Opens the program-wide stream ouf on app_path + path (an upper-case extension is written in
// lower case) and writes the header. 1 when ouf is open for the caller, 0 after the alert.
int ouf_open(std::string path, int type, int version, std::string notice);

// Whether the reader takes path without a fatal alert: relative (no copy of app_path inside it),
// "/" as its only separator, and short enough once joined with app_path.
bool xmap_path_ok(const std::string& path);
// app_path + path after the reader's checks (root inside the path and "\" are fatal) and the
// letter-case repair.
std::string xmap_full_path(const std::string& path);

class xmap_class {
 public:
  explicit xmap_class(const std::string& path = std::string());
  ~xmap_class();
  xmap_class(const xmap_class&) = delete;
  xmap_class& operator=(const xmap_class&) = delete;

  // Drops any earlier mapping and maps path (rooted). Returns begin: null when the file cannot be
  // opened or is not a regular file; an empty file gives begin == end, not null.
  const char* retry(const std::string& path);

  // The file's version when its header is accepted (versions ends with 0), else 0. With a
  // keyword, the first token after the header must equal it. rest gets the version line's tail.
  int check_file(int type, const int* versions, const char* keyword, std::string* rest);

  // Copies count bytes from the cursor to destination and advances; reverses each whole 32-bit
  // word when the file is byte-swapped. Reading past the end is a fatal alert.
  void read_n_rev(void* destination, long count);

  void TXT_str_scan_space(std::string* out);
  void TXT_str_scan_eoln(std::string* out);
  void TXT_xer_line();

  int io_file_open(int mode, std::string path, int* versions, int type);
  void io_file_close();

  static bool is_blank(char c) { return c == '\t' || c == ' '; }
  static bool is_eoln(char c) { return c == 0 || c == '\r' || c == '\n'; }
  static bool is_sep(char c) { return is_blank(c) || is_eoln(c); }

  void TXT_skip_space() {
    while (cursor < end && is_blank(*cursor)) ++cursor;
  }
  int TXT_int_scan() {
    TXT_skip_space();
    int sign = 1;
    if (cursor < end && *cursor == '-') { sign = -1; ++cursor; }
    if (cursor < end && *cursor == '+') { sign = 1; ++cursor; }
    // No digit check; wraps instead of overflowing.
    uint32_t value = 0;
    while (cursor < end && !is_sep(*cursor)) {
      value = value * 10u + static_cast<uint32_t>(static_cast<unsigned char>(*cursor) - 48u);
      ++cursor;
    }
    return static_cast<int>(static_cast<uint32_t>(sign) * value);
  }
  void TXT_skip_eoln() {
    while (cursor < end && !is_eoln(*cursor)) ++cursor;
    while (cursor < end && is_sep(*cursor)) ++cursor;
  }

  int32_t swap = 0;       // 1 when the binary header said big-endian
  std::string name;       // shown by the bad-type alert
  int32_t io_mode = 0;    // 1 when opened for writing through ouf
  const char* begin = nullptr;
  const char* cursor = nullptr;
  const char* end = nullptr;
  int32_t fd = -1;        // -1 when no descriptor is open

 private:
  void drop();
  size_t map_size_ = 0;   // bytes actually mapped (0 for an empty file)
};
