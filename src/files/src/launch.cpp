// Starting another application in place of this one, the path-to-reference bridge (a path is
// the reference on this system), and the large-address flag of Windows executables.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/io_utils.h"
#include "files_internal.h"
#include "foundation/alert.h"
#include "foundation/convert.h"
#include "foundation/globals.h"
#include "platform/regular_file.h"
#include "platform/spawn.h"

namespace {
void (*g_finishup)(int) = nullptr;

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}
}  // namespace

// ---- Path bridge ----

ErrCode FilePathToFSRefAndName(const char* path, FSRef* ref, HFSUniStr255* name) {
  std::string p = path ? path : "";
  if (!name) {
    if (p.size() > 1 && p.back() == '/') p.pop_back();
    if (p.empty() || !exists(p)) return ERR_FS_NOT_FOUND;
    if (ref) ref->path = p;
    return 0;
  }
  std::string folder;
  get_path_with_path(folder, p);
  std::string leaf = get_path_leaf();
  if (!folder.empty() && folder.size() > 1) folder.pop_back();
  if (folder.empty()) folder = ".";  // a bare name lives in the current folder
  if (!exists(folder)) return ERR_FS_NOT_FOUND;
  if (leaf.size() > 255) return ERR_FS_BAD_NAME;
  if (ref) ref->path = folder;
  name->length = static_cast<uint16_t>(leaf.size());
  for (size_t i = 0; i < leaf.size(); ++i)
    name->unicode[i] = static_cast<uint16_t>(static_cast<int16_t>(static_cast<signed char>(leaf[i])));
  return 0;
}

ErrCode FSSpecToFilePath(const FSSpec& spec, std::string& path) {
  std::string p = spec.parent + std::string(reinterpret_cast<const char*>(spec.name + 1), spec.name[0]);
  if (p.size() >= PATH_MAX_LEN) return ERR_FS_BAD_NAME;
  if (!exists(p)) return ERR_FS_NOT_FOUND;
  path = p;
  return 0;
}

ErrCode FSRefToFilePath(const FSRef* ref, std::string& path) {
  if (!ref || ref->path.empty()) return ERR_FS_PARAM;
  if (!exists(ref->path)) return ERR_FS_NOT_FOUND;
  path = ref->path;
  return 0;
}

ErrCode FilePathToFSSpec(const char* path, FSSpec& spec) {
  std::string p = path ? path : "";
  if (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty() || !exists(p)) return ERR_FS_NOT_FOUND;
  size_t slash = p.rfind('/');
  std::string leaf = slash == std::string::npos ? p : p.substr(slash + 1);
  spec.parent = slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
  size_t n = leaf.size() > 255 ? 255 : leaf.size();
  spec.name[0] = static_cast<unsigned char>(n);
  std::memcpy(spec.name + 1, leaf.data(), n);
  return 0;
}

void ConvertPathToCFM(std::string&) {}

ErrCode load_bundle_by_filename(const char* file_name, int show_alerts, CFBundleRef* bundle) {
  // No system frameworks folder to load from.
  if (bundle) *bundle = nullptr;
  if (show_alerts)
    ZARIRU_alert(0, "Could not find frameworks folder.", "", "", file_name ? file_name : "", t_exit);
  return ERR_FS_DIR_NOT_FOUND;
}

// ---- Launching ----

void launch_set_finishup_hook(void (*finishup)(int save)) { g_finishup = finishup; }

int launch_app(const std::string& app, const std::string& arg) {
  std::string path = app;
  if (!path.empty() && path.back() == '/') path.pop_back();
  path = app_path + path;
  xer << "Launching: " << path << " with " << arg << "\n";
  xer.flush();

  // The application is the file at that path, never one found in PATH.
  std::vector<std::string> argv{path.empty() || path.find('/') != std::string::npos ? path : "./" + path};
  if (!arg.empty()) {
    argv.push_back("-path");
    argv.push_back(arg);
  }
  pid_t pid = 0;
  int err = PLAT_spawn(argv, &pid);
  if (err != 0) return err;
  if (g_finishup) g_finishup(1);
  std::exit(1);
}

// ---- Windows executables ----

ErrCode make_file_large_address_aware(std::string exe_path) {
  FILE* f = PLAT_fopen_regular(exe_path, "r+b");
  if (!f) return errno;
  auto fail = [f](ErrCode code) {
    std::fclose(f);
    return code;
  };
  unsigned char dos[64];
  if (std::fread(dos, 1, sizeof dos, f) != sizeof dos) return fail(EIO);
  if (dos[0] != 'M' || dos[1] != 'Z') return fail(ERR_NO_MZ);
  const int32_t lfanew = static_cast<int32_t>(uint32_t(dos[60]) | uint32_t(dos[61]) << 8 |
                                              uint32_t(dos[62]) << 16 | uint32_t(dos[63]) << 24);
  if (std::fseek(f, lfanew, SEEK_SET) != 0) return fail(errno);
  unsigned char pe[24];
  if (std::fread(pe, 1, sizeof pe, f) != sizeof pe) return fail(EIO);
  if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return fail(ERR_NO_PE);
  pe[22] = static_cast<unsigned char>(pe[22] | 0x20);  // Characteristics, low byte
  if (std::fseek(f, lfanew, SEEK_SET) != 0) return fail(errno);
  if (std::fwrite(pe, 1, sizeof pe, f) != sizeof pe) return fail(EIO);
  if (std::fclose(f) != 0) return errno;
  return 0;
}
