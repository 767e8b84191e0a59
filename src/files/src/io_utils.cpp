// Result codes and their messages, the single-step file and folder operations by path, and
// letter-case repair for case-sensitive volumes.
#include "files/io_utils.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "files_internal.h"
#include "foundation/alert.h"
#include "foundation/globals.h"

const char* sErrFile = "";
int sErrLine = 0;
int g_case_sensitive = 1;

namespace {
const char* const kUnit = "DUdurid/Files/io_utils";

void note_failure(int line) {
  sErrFile = kUnit;
  sErrLine = line;
}
}  // namespace

const ErrMsg kErrMsgs[] = {
    {ERR_ZIP_OPEN, "We were unable to open a zip file. It may be missing or damaged"},
    {ERR_ZIP_READ, "We were unable to read from a zip file. It may be missing or damaged"},
    {ERR_ZIP_CREATE, "We were unable to create a zip file"},
    {ERR_ZIP_WRITE, "We were unable to write to a zip file. It may be missing or damaged"},
    {ERR_FORK_TOO_BIG,
     "We cannot compress a zip file because its source file resource fork is more than 2 GB. The "
     "source file is probably damaged"},
    {ERR_FILE_OPEN, "We could not open a file to read from it"},
    {ERR_NET_RECONNECT, "We were unable to connct to the network due to an internal reconnect error"},
    {ERR_NET_BAD_STATE, "We wre unable to connect to the network due to a bad state error"},
    {ERR_NET_ALLOC, "We could not allocate a connection to the network"},
    {ERR_NET_WRITE, "We could not write the incoming file from the web to disk"},
    {ERR_NET_NO_SERVER, "We could not find the server over the network"},
    {ERR_BAD_FORK_HEADER,
     "Part of the downloaded zip file is corrupted (the resource fork header is bad)"},
    {ERR_UNSAFE_NAME, "The archive holds an unsafe file name"},
    {ERR_ZIP_ENCRYPTED, "We cannot unpack a file of the archive because it is encrypted"},

    {EAGAIN, "Resource temporarily unavailable"},
    {EDEADLK, "Resource deadlock avoided"},
    {ENAMETOOLONG, "File name too long"},
    {ENOSYS, "Function not implemented"},
    {ENOTEMPTY, "Directory not empty"},
    {EILSEQ, "Wide character encoding error"},
    {E2BIG, "Argument list too long"},
    {EACCES, "Permission denied. Perhaps you do not have access to a directory or file system"},
    {EBADF, "Bad file descriptor"},
    {EBUSY, "Device busy"},
    {ECHILD, "No child processes"},
    {EDOM, "Numerical argument out of domain"},
    {EEXIST, "File exists"},
    {EFAULT, "Bad address"},
    {EFBIG, "File too large"},
    {EINTR, "Interrupted system call"},
    {EINVAL, "Invalid argument"},
    {EIO, "Input/output error"},
    {EISDIR, "Is a directory"},
    {EMFILE, "Too many open files"},
    {EMLINK, "Too many links"},
    {ENFILE, "Too many open files in system"},
    {ENODEV, "Operation not supported by device"},
    {ENOENT, "No such file or directory"},
    {ENOEXEC, "Exec format error"},
    {ENOLCK, "No locks available"},
    {ENOMEM, "Out of memory"},
    {ENOSPC, "No space left on device. Perhaps your hard drive is full"},
    {ENOTDIR, "Not a directory"},
    {ENOTTY, "Inappropriate ioctl for device"},
    {ENXIO, "Device not configured"},
    {EPERM, "Operation not permitted. Perhaps you do not have access to a directory or file system"},
    {EPIPE, "Broken pipe"},
    {ERANGE, "Result too large"},
    {EROFS, "The destination file system is read-only"},
    {ESPIPE, "Illegal seek"},
    {ESRCH, "No such process"},
    {EXDEV, "Cross-device link"},

    {-43, "File not found"},
    {-50, "param err"},
    {-33, "Directory is full"},
    {-34, "The disk is full"},
    {-35, "no such volume"},
    {-36, "An internal I/O error occurred"},
    {-37, "bad name"},
    {-38, "file not open"},
    {-39, "end of file"},
    {-40, "position error"},
    {-41, "Memory is full"},
    {-42, "Too many files open"},
    {-44, "A disk is write protected"},
    {-45, "File locked"},
    {-46, "Hard disk is locked"},
    {-47, "A file is in use by another application"},
    {-48, "duplicate file name"},
    {-49, "File already open with write permissions by another application"},
    {-51, "refnum error"},
    {-52, "get file position error"},
    {-53, "A needed volume is offline"},
    {-54, "Permissions error - perhaps you do not have access to a directory"},
    {-56, "no such drive"},
    {-57, "Not a macintosh disk"},
    {-60, "bad master directory block"},
    {-61, "Write permissions error - perhaps you do not have enough access to a directory"},
    {-120, "directory not found"},
    {-108, "Out of memory (memory is full)"},
    {-5000, "You have insufficient privileges for this operation"},

    {0, nullptr}};

std::string error_str(ErrCode code) {
  for (const ErrMsg* row = kErrMsgs; row->message; ++row)
    if (row->code == code) return row->message;
  // A buffer per call, so that threads never share it.
  char text[64];
  std::snprintf(text, sizeof text, "Unknown error occurred (%d)", code);
  return text;
}

bool rooted_length_fits(size_t path_length) { return app_path.size() + path_length < PATH_MAX_LEN; }

namespace {
bool has_name_too_long(const std::string& path) {
  for (size_t start = 0;;) {
    const size_t slash = path.find('/', start);
    if ((slash == std::string::npos ? path.size() : slash) - start > NAME_MAX_LEN) return true;
    if (slash == std::string::npos) return false;
    start = slash + 1;
  }
}
}  // namespace

ErrCode path_problem(const std::string& path) {
  if (!rooted_length_fits(path.size()) || has_name_too_long(path)) return ENAMETOOLONG;
  if (path.find('\\') != std::string::npos) return ERR_FS_BAD_NAME;
  return 0;
}

std::string rooted_path(const std::string& path) {
  std::string full = app_path + path;
  if (!rooted_length_fits(path.size()))
    __ZARIRU_alert(0, "String too long!", full, "", "", t_exit, "DUdurid/GenH/hl_string", 137);
  return full;
}

// ---- Letter-case repair ----

namespace {
bool ascii_iequal(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// Looks for the component comp (length n) in folder; copies the stored spelling over comp.
// An exact match wins; else the smallest case-insensitive match in byte order.
bool repair_component(const std::string& folder, char* comp, size_t n) {
  // The usual case, an existing item, costs one lstat instead of a folder read.
  std::string as_given = folder == "." ? std::string() : folder;
  as_given.append(comp, n);
  struct stat st;
  if (lstat(as_given.c_str(), &st) == 0) return true;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return false;
  std::string best;
  bool exact = false;
  while (dirent* e = readdir(dir)) {
    const char* nm = e->d_name;
    if (std::strlen(nm) != n || !ascii_iequal(nm, comp, n)) continue;
    if (std::memcmp(nm, comp, n) == 0) {
      exact = true;
      break;
    }
    if (best.empty() || std::strcmp(nm, best.c_str()) < 0) best = nm;
  }
  closedir(dir);
  if (exact) return true;
  if (best.empty()) return false;
  std::memcpy(comp, best.data(), n);
  return true;
}
}  // namespace

void findPath(char* path) {
  struct stat st;
  if (!path || !*path || stat(path, &st) == 0) return;
  size_t len = std::strlen(path);
  size_t pos = 0;
  if (path[0] == '/') pos = 1;
  while (pos < len) {
    size_t stop = pos;
    while (stop < len && path[stop] != '/') ++stop;
    if (stop > pos) {
      std::string folder;
      if (pos == 0)
        folder = ".";
      else
        folder.assign(path, pos);  // up to and including the "/" before the component
      if (!repair_component(folder, path + pos, stop - pos)) return;
    }
    pos = stop + 1;
  }
}

void findPath(std::string& path) {
  if (path.empty()) return;
  findPath(path.data());
}

// ---- Queries and operations ----

namespace {
std::string repaired(const std::string& path) {
  std::string full = rooted_path(path);
  if (g_case_sensitive) findPath(full);
  return full;
}
}  // namespace

int file_exists(std::string path) {
  std::string full = repaired(path);
  struct stat st;
  return stat(full.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) ? 1 : 0;
}

int dir_exists(std::string path) {
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  std::string full = repaired(path);
  struct stat st;
  return stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
}

int64_t APL_file_size(const std::string& path) {
  std::string full = repaired(path);
  struct stat st;
  if (stat(full.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

ErrCode delete_file(std::string path) {
  if (path.empty()) return ENOENT;
  std::string full = app_path + path;
  if (full.back() == '/') {
    full.pop_back();
    if (rmdir(full.c_str()) != 0) {
      note_failure(__LINE__);
      return errno;
    }
    return 0;
  }
  if (unlink(full.c_str()) != 0) {
    note_failure(__LINE__);
    return errno;
  }
  return 0;
}

ErrCode rename_file(const std::string& folder, const std::string& old_name,
                    const std::string& new_name) {
  std::string from = folder + old_name, to = folder + new_name;
  if (rename(from.c_str(), to.c_str()) != 0) {
    note_failure(__LINE__);
    return errno;
  }
  return 0;
}

ErrCode make_folder(const std::string& path) {
  std::string p = path;
  if (!p.empty() && p.back() == '/') p.pop_back();
  if (mkdir(p.c_str(), 0755) != 0) {
    note_failure(__LINE__);
    return errno;
  }
  return 0;
}

ErrCode make_file_executable(const char* path) {
  std::string full = rooted_path(path ? path : "");
  if (chmod(full.c_str(), 0755) != 0) return errno;
  return 0;
}

int is_sim_link(const char* path, std::string* target) {
  std::string full = rooted_path(path ? path : "");
  struct stat st;
  if (lstat(full.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
  char text[PATH_MAX];
  ssize_t n = readlink(full.c_str(), text, sizeof text - 1);
  if (n < 0) return 0;
  if (target) target->assign(text, static_cast<size_t>(n));
  return 1;
}

int show_del_err(ErrCode) { return 0; }

int show_make_dir_err(ErrCode code) { return code == 0 || code == EEXIST || code == -48 ? 0 : 1; }

ErrCode write_all(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}
