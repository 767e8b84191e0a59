// The lowest file layer: result codes and their messages, single-step file and folder
// operations by path, letter-case repair, folder listing, starting another application and the
// thin bridge from paths to the reference records that older callers still pass around.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// 0 success; positive: errno of the failing call; negative: a file-system result code or a code
// passed through from the zip library; 20001 and up: the program's own codes below.
using ErrCode = int;

enum : ErrCode {
  ERR_ZIP_OPEN = 20001,         // archive cannot be opened as zip or 7z
  ERR_ZIP_READ = 20002,         // an archive entry reads short
  ERR_ZIP_CREATE = 20003,       // a new zip archive cannot be created
  ERR_ZIP_WRITE = 20004,        // an extracted file writes short
  ERR_FORK_TOO_BIG = 20005,     // resource fork of 2 GB or more
  ERR_FILE_OPEN = 20006,        // file to hash or to compress cannot be read
  ERR_NET_RECONNECT = 20007,
  ERR_NET_BAD_STATE = 20008,
  ERR_NET_ALLOC = 20009,        // no network connection could be allocated
  ERR_NET_WRITE = 20010,
  ERR_NET_NO_SERVER = 20011,    // server not found
  ERR_BAD_FORK_HEADER = 20012,  // AppleDouble entry with a bad header
  ERR_NO_MZ = 20013,            // executable without "MZ"
  ERR_NO_PE = 20014,            // executable without the "PE" signature
  ERR_UNSAFE_NAME = 20015,      // archive entry name or link that would leave the target folder
  ERR_ZIP_ENCRYPTED = 20016     // archive entry that is encrypted (no password is ever asked)
};

// File-system result codes that the path bridge and the listing return.
enum : ErrCode {
  ERR_FS_IO = -36,
  ERR_FS_BAD_NAME = -37,
  ERR_FS_NOT_FOUND = -43,
  ERR_FS_DUP_NAME = -48,
  ERR_FS_PARAM = -50,
  ERR_FS_PERM = -54,
  ERR_FS_DIR_NOT_FOUND = -120
};

struct ErrMsg {
  int code;
  const char* message;  // null in the closing row
};
// Program codes, then errno rows keyed by their symbolic constants, then file-system rows,
// closed by a row whose message is null.
extern const ErrMsg kErrMsgs[];

// Message of the code's row, else "Unknown error occurred (<code>)".
std::string error_str(ErrCode code);

// The last failing step of a file or archive operation (for log lines); never cleared.
extern const char* sErrFile;
extern int sErrLine;

// While non-zero, the existence and size queries repair the letter case of a path first.
extern int g_case_sensitive;

// Writes every byte to an open descriptor, again after interruptions and short writes: 0, or the
// errno of the failing write (EIO for a write that took nothing).
ErrCode write_all(int fd, const void* data, size_t size);

// Operations marked "rooted" put app_path in front of the path (plain concatenation).
int file_exists(std::string path);                   // rooted; 1 for an existing non-folder
int dir_exists(std::string path);                    // rooted; one trailing "/" dropped
int64_t APL_file_size(const std::string& path);      // rooted; -1 for a folder or a missing path
// rooted; "x/" removes the empty folder x; an empty path gives ENOENT without a system call
ErrCode delete_file(std::string path);
ErrCode rename_file(const std::string& folder, const std::string& old_name,
                    const std::string& new_name);
ErrCode make_folder(const std::string& path);        // one folder, mode 0755, no parents
ErrCode make_file_executable(const char* path);      // rooted; mode 0755
int is_sim_link(const char* path, std::string* target);  // rooted; 1 and the link text for a link
int show_del_err(ErrCode code);                      // always 0
int show_make_dir_err(ErrCode code);                 // 0 for success and "already exists"

// Repairs the letter case of a path in place (same length): an exact-case entry wins, else the
// first case-insensitive match (ASCII folding) in sorted order; stops at the first miss.
void findPath(char* path);
void findPath(std::string& path);

// Joins app_path and path; a result of PATH_MAX characters or more is the fatal "String too long!".
std::string rooted_path(const std::string& path);
// Whether app_path joined with a path of this many characters stays below that limit.
bool rooted_length_fits(size_t path_length);
// Why the operations here would refuse path (with app_path in front) with a fatal alert, for
// callers that must never raise one (worker threads): ENAMETOOLONG when the joined path reaches
// the system's limit or one of its names is longer than a name may be, ERR_FS_BAD_NAME when it
// holds "\\" (the mapped reader refuses it); else 0.
ErrCode path_problem(const std::string& path);

// ---- Folder listing and file types ----

// Lists folder (rooted, must end in "/") into names and parallel types, keeping what mode accepts:
// 0 everything, 12 images, 20 nothing, 21 the command registry's names under folder, else
// folders and files of that type.
// Sorted ascending ignoring ASCII case. Returns the count (0 when the folder cannot be listed);
// err, when given, receives why it could not be listed in full (0 when it was).
int opensave_getitems(const std::string& folder, int mode, std::vector<std::string>& names,
                      std::vector<int>& types, ErrCode* err = nullptr);
// Refines type from the name's extension; 1 to keep the item, 0 to drop it (also when folder +
// name is longer than the system takes: such entries are left out with one log line a listing).
int opensave_takeit(const std::string& folder, const std::string& name, int mode, int& type);
// The modification time of a folder (rooted) in nanoseconds: it moves when an entry is added,
// removed or renamed. 0 when the folder cannot be read.
int64_t folder_stamp(const std::string& folder);

// ---- Starting applications, bundles and path conversions ----

// A path is the reference on this system.
struct FSRef {
  std::string path;  // absolute or relative path of an existing item, no trailing "/"
};
struct HFSUniStr255 {
  uint16_t length = 0;
  uint16_t unicode[255] = {};
};
struct FSSpec {
  std::string parent;          // folder of the item, ends in "/"
  unsigned char name[256] = {};  // length byte, then at most 255 bytes
};
using CFBundleRef = void*;

// Without name: ref of the existing path. With name: ref of the folder part and the leaf (which
// need not exist) in name. ERR_FS_NOT_FOUND when the item or folder does not exist.
ErrCode FilePathToFSRefAndName(const char* path, FSRef* ref, HFSUniStr255* name);
ErrCode FSSpecToFilePath(const FSSpec& spec, std::string& path);
ErrCode FSRefToFilePath(const FSRef* ref, std::string& path);
ErrCode FilePathToFSSpec(const char* path, FSSpec& spec);
// Colon paths do not exist here: absolute paths stay as they are.
void ConvertPathToCFM(std::string& path);
// There are no loadable bundles here: always a failure code (with a fatal alert when asked).
ErrCode load_bundle_by_filename(const char* file_name, int show_alerts, CFBundleRef* bundle);

// Starts app (rooted, one trailing "/" dropped) with "-path" arg (no arguments when arg is empty),
// then shuts down and exits with status 1. Returns the errno only when the start fails.
int launch_app(const std::string& app, const std::string& arg);
// The shell's shutdown, run by launch_app after a successful start.
void launch_set_finishup_hook(void (*finishup)(int save));

// Sets the large-address-aware flag of a Windows executable (path used as given).
ErrCode make_file_large_address_aware(std::string exe_path);
