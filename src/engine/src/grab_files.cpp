// Install steps: one pass over the stream slots per call, each slot deleting, unpacking or
// passing over one file; at the end, emptied folders go and the destination may be renamed.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/install.h"
#include "files/io_utils.h"
#include "files/p7z.h"
#include "files/zip.h"
#include "foundation/alert.h"
#include "foundation/convert.h"
#include "foundation/edition.h"
#include "foundation/globals.h"
#include "foundation/xtim.h"
#include "net/http.h"
#include "internal.h"
#include "platform/volume.h"

using namespace engine_detail;

namespace {

void log_action(const std::string& text) {
  if (stg[STG_log_actions]) xer_line(text);
}

std::string leaf_of(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Records every folder of dest inside the destination, innermost first.
void record_deleted_folders(const std::string& dest) {
  std::string folder = folder_of(dest);
  while (folder.size() > dest_dir_path.size()) {
    deleted_files.insert(folder);
    std::string up = folder.substr(0, folder.size() - 1);
    folder = folder_of(up);
  }
}

void remove_emptied_folders() {
  for (auto it = deleted_files.rbegin(); it != deleted_files.rend(); ++it) {
    std::vector<std::string> names;
    std::vector<int> types;
    if (opensave_getitems(*it, 0, names, types) != 0) continue;
    ErrCode code = delete_file(*it);
    log_action("cleanup: DELETING  file " + *it + ", with result=" + std::to_string(code) + ".\n");
  }
}

// A version name from the disc that can name a folder beside the destination.
bool usable_folder_name(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\\') == std::string::npos;
}

void rename_destination() {
  if (!this_install_has_exes || !stg[STG_rename_folder]) return;
  std::string parent;
  get_path_with_path(parent, dest_dir_path);
  std::string leaf = get_path_leaf();  // keeps its trailing "/"
  std::string bare = leaf;
  if (!bare.empty() && bare.back() == '/') bare.pop_back();
  // Only a folder this run made, or one with the default name, is renamed, and never onto
  // something that is already there.
  if (!dest_dir_created && bare != "Volarium 9") return;
  if (!usable_folder_name(install_name) || bare == install_name || parent.empty()) return;
  struct stat st;
  if (::lstat((parent + install_name).c_str(), &st) == 0) return;
  if (rename_file(parent, leaf, install_name) == 0) dest_dir_path = parent + install_name + "/";
}

// Writes what the installation wrote out to the disk and waits for it, so that a power cut after
// the run says it is done can never leave an empty or short file that a later scan would take
// for one the user changed. One flush of the whole volume, not one per file: it costs little
// more than the last file's own write-out. false (after an alert) when the disk refused.
bool flush_installation() {
  const auto t0 = std::chrono::steady_clock::now();
  const int err = PLAT_volume_flush(dest_dir_path);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
  xer_line("Flushed " + dest_dir_path + " to disk in " + std::to_string(ms.count()) + " ms, with result=" +
           std::to_string(err) + ".\n");
  // A destination that was never made holds nothing to flush.
  if (err == 0 || err == ENOENT) return true;
  stg[STG_error] = 1;
  utils_alert(520, t_alert, "The installer cannot make sure that the installed files are on the disk.",
              "Error: " + error_str(err), "Install Location: " + dest_dir_path, "");
  return false;
}

void finish_installation() {
  next[NXT_done] = 1;
  remove_emptied_folders();
  // A renamed folder must never hold files that are not on the disk yet.
  if (!flush_installation()) return;
  const std::string before = dest_dir_path;
  rename_destination();
  if (dest_dir_path != before) flush_installation();
}

// The links this installation has made, by destination path.
std::set<std::string> g_links_made;

// After an archive is unpacked: no link this installation made may lead outside the destination,
// whatever a later link did to the folders its text passes through. One that does is removed;
// ERR_UNSAFE_NAME then, else 0.
ErrCode check_links_made(const std::string& dest) {
  if (is_sim_link(dest.c_str(), nullptr)) g_links_made.insert(dest);
  const std::string root = resolved_destination();
  ErrCode code = 0;
  for (auto it = g_links_made.begin(); it != g_links_made.end();) {
    if (it->compare(0, dest_dir_path.size(), dest_dir_path) != 0 || !is_sim_link(it->c_str(), nullptr)) {
      it = g_links_made.erase(it);
      continue;
    }
    const std::string real = resolve_on_disk(*it);
    if (real.empty() || resolved_inside(real, root)) {
      ++it;
      continue;
    }
    const ErrCode gone = delete_file(*it);
    xer_line("WARNING: removed a link that led outside the destination: " + *it + " -> " + real +
             ", with result=" + std::to_string(gone) + ".\n");
    code = ERR_UNSAFE_NAME;
    it = g_links_made.erase(it);
  }
  return code;
}

// What follows the unpacking of archive into dest: the alert when code says it failed, binaries
// made executable, the log lines.
void after_unpack(const std::string& archive, const std::string& dest, ErrCode code) {
  if (code != 0) {
    stg[STG_error] = 1;
    utils_alert(392, t_alert, "The installer cannot extract a file.", "Error: " + error_str(code),
                "Compressed File: " + archive, "Destination: " + dest);
  }
  // A link is left alone: chmod would change whatever it points at.
  ErrCode code2 = dest.find("Contents/MacOS/") != std::string::npos &&
                          !is_sim_link(dest.c_str(), nullptr)
                      ? make_file_executable(dest.c_str())
                      : 0;
  log_action("EXPANDING file " + dest + ", with result=" + std::to_string(code) + ".\n");
  log_action("CHMODING  file " + dest + ", with result=" + std::to_string(code2) + ".\n");
  if (!is_dvd) log_action("DELETING  file " + archive + ", with result=" + std::to_string(code) + ".\n");
}

// An archive unpacked into sealed temporary files, which take the place of what the destination
// holds only once their signatures are the list's.
struct unpacked_archive {
  int file = 0;  // in sim_info
  std::string archive, dest, want;
  std::vector<temp_file> files;
  std::vector<std::string> sigs;  // empty while a reader has it
  std::vector<size_t> jobs;       // the reader's numbers
  uint64_t bytes = 0;
};

// A file this small is signed at once: handing it to a reader costs about as much.
constexpr uint64_t kSignHereBytes = 16 * 1024;
// Two readers outpace the one thread that unpacks; more only contend with it.
constexpr int kReaders = 2;
// How many archives, and (besides the newest) how many bytes, may wait for their signatures.
constexpr size_t kMaxWaiting = 16;
constexpr uint64_t kMaxWaitingBytes = uint64_t{64} << 20;

std::deque<unpacked_archive> g_waiting;
uint64_t g_waiting_bytes = 0;
// Declared after the files so that it goes first: no reader is left with a removed file.
std::unique_ptr<file_signer> g_signer;

// The unpacked file takes dest's place: its name, in the folder that holds dest.
bool lands_on(const temp_file& f, const std::string& dest) {
  struct stat a, b;
  return leaf_of(f.target()) == leaf_of(dest) && ::stat(folder_of(f.target()).c_str(), &a) == 0 &&
         ::stat(folder_of(dest).c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void put_in_place(unpacked_archive& a) {
  bool matches = !a.files.empty();
  for (size_t i = 0; i < a.files.size(); ++i)
    matches = matches && a.sigs[i] == a.want && lands_on(a.files[i], a.dest);
  if (!matches) {
    stg[STG_error] = 1;
    utils_alert(393, t_alert, "A file on the disc does not match the disc's list.",
                "The disc is damaged or was changed; the file was not installed.", "File: " + a.dest,
                "Compressed File: " + a.archive);
    return;
  }
  ErrCode code = 0;
  for (temp_file& f : a.files)
    if (code == 0) code = f.place();
  if (code == 0) code = check_links_made(a.dest);
  after_unpack(a.archive, a.dest, code);
  // A failed unpack leaves the file missing: neither had nor counted.
  if (code != 0 || a.file >= static_cast<int>(sim_info.size())) return;
  file_version_struct& v = sim_info[a.file].versions.back();
  v.have = 1;
  next.setf(NXT_kb_fetched, next.getf(NXT_kb_fetched) + v.download_kb);
  next.setf(NXT_kb_installed, next.getf(NXT_kb_installed) + v.install_kb);
}

// Puts the first waiting archive in place once its signatures are back (waits for them with
// wait): false when they are not back yet.
bool place_first(bool wait) {
  unpacked_archive& a = g_waiting.front();
  for (size_t i = 0; i < a.files.size(); ++i) {
    if (!a.sigs[i].empty()) continue;
    if (!wait && !g_signer->ready(a.jobs[i])) return false;
    a.sigs[i] = g_signer->take(a.jobs[i]);
  }
  unpacked_archive done = std::move(a);
  g_waiting.pop_front();
  g_waiting_bytes -= done.bytes;
  put_in_place(done);
  return true;
}

// In unpacking order; after an error nothing more is put in place.
void place_waiting(bool wait) {
  while (!g_waiting.empty() && !stg[STG_error] && place_first(wait)) {
  }
}

void wait_for_signatures(unpacked_archive a) {
  for (const temp_file& f : a.files) {
    struct stat st;
    const uint64_t size = ::lstat(f.temp_path().c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    a.bytes += size;
    if (size <= kSignHereBytes) {
      a.sigs.push_back(signature_on_disk(f.temp_path()));
      a.jobs.push_back(0);
      continue;
    }
    if (!g_signer) g_signer = std::make_unique<file_signer>(std::vector<std::string>{}, kReaders);
    a.sigs.emplace_back();
    a.jobs.push_back(g_signer->add(f.temp_path()));
  }
  g_waiting_bytes += a.bytes;
  g_waiting.push_back(std::move(a));
  while (g_waiting.size() > 1 && (g_waiting.size() > kMaxWaiting || g_waiting_bytes > kMaxWaitingBytes) &&
         !stg[STG_error])
    place_first(true);
}

// Failed downloads of each archive in this run; a file that every server has failed this many
// times over stops the installation instead of being retried for ever.
constexpr int kFailuresPerServer = 3;
std::map<std::string, int> g_failures;

// One poll of the download of file index from host into temp, unpacked into dest when it
// completes: true once the file is fetched (or given up).
bool fetch_from_server(int s, int index, const std::string& host, const std::string& source,
                       const std::string& temp, const std::string& dest) {
  const file_version_struct& v = sim_info[index].versions.back();
  const int slot = s + 2;
  const int r = http.net_check(slot, host, source, temp);
  if (r == http_class::net_running) {
    const down_info info = http.slot_info(slot);
    float p = 0.0f;
    if (info.busy) p = info.content_length < 0 ? -1.0f : info.content_length == 0 ? 100.0f
                       : 100.0f * static_cast<float>(info.received) / static_cast<float>(info.content_length);
    stg.setf(STG_file_frac, p * 0.01f);
    next.setf(NXT_kb_flight, next.getf(NXT_kb_flight) + p * 0.01f * v.download_kb);
    return false;
  }
  if (r == http_class::net_failed) {
    stg[STG_net_retry] = 1;
    const int servers = std::max(1, stg[STG_server_count]);
    const ErrCode err = http.last_result(slot).err;
    if (++g_failures[source] >= kFailuresPerServer * servers) {
      g_failures.erase(source);
      stg[STG_error] = 1;
      utils_alert(470, t_alert, "The installer cannot download a file.",
                  "Every server failed it " + std::to_string(kFailuresPerServer) + " times; last error: " +
                      (err ? error_str(err) : std::string("the server refused it")),
                  "File: " + source, "Server: " + host);
      return true;
    }
    // The slot keeps its file and asks another server at the next call.
    const double x = static_cast<double>(rand()) * 4.656613e-10;
    int pick = static_cast<int>(stg[STG_server_count] * std::pow(x, 1.5));
    stg[STG_server_choice] = std::clamp(pick, 0, std::max(0, stg[STG_server_count] - 1));
    return false;
  }
  if (r == http_class::net_done) {
    stg[STG_net_retry] = 0;
    g_failures.erase(source);
    extract_and_delete_file(temp, dest, index);
    return true;
  }
  return false;
}

}  // namespace

void engine_detail::forget_links_made() { g_links_made.clear(); }

void engine_detail::drop_waiting_files() {
  g_signer.reset();
  g_waiting.clear();
  g_waiting_bytes = 0;
}

int choose_stream_count(float rate, int pref, int disc) {
  int streams = rate > 200 ? 9 : rate > 150 ? 8 : rate > 100 ? 6 : rate > 50 ? 4 : 2;
  if (pref) streams = pref;
  if (disc) streams = 1;
  return streams;
}

std::string listed_archive_ext(const std::string& listed_path) {
  return listed_path.find("Rovade Vovavod") != std::string::npos ? ".7z" : ".zip";
}

int extract_and_delete_file(std::string archive, std::string dest, int file) {
  const std::string folder = folder_of(dest);
  ErrCode code = ERR_UNSAFE_NAME;
  std::vector<temp_file> sealed;
  // A disc's archive is read through its folder as it was judged, whatever dvd_path names by now;
  // the user still knows it by its path.
  const bool held = !dvd_read_path.empty() && archive.rfind(dvd_path, 0) == 0;
  const std::string read = held ? dvd_read_path + archive.substr(dvd_path.size()) : archive;
  if (lands_inside_destination(dest)) {
    code = ends_with(archive, ".7z") ? p7z_to_file(read, folder, nullptr, 0, &sealed)
                                     : zip_to_file(read, folder, nullptr, 0, &sealed);
  } else {
    xer_line("WARNING: not unpacking through a link that leaves the destination: " + dest);
  }
  // A download goes at once: its slot fetches the next archive under the same name.
  if (!is_dvd) delete_file(archive);
  if (code != 0) {
    after_unpack(archive, dest, code);
    return code;
  }
  unpacked_archive a;
  a.file = file;
  a.archive = archive;
  a.dest = dest;
  a.want = sim_info[file].versions.back().sig_want;
  a.files = std::move(sealed);
  wait_for_signatures(std::move(a));
  return 0;
}

int grab_files() {
  const int n = static_cast<int>(sim_info.size());
  next.setf(NXT_kb_flight, 0.0f);

  for (int s = 0; s < NXT_slots; ++s) {
    if (!next[NXT_active + s]) continue;
    if (next[NXT_wants + s]) {
      next[NXT_file + s] = next[NXT_next_file];
      next[NXT_next_file] = std::clamp(next[NXT_next_file] + 1, 0, n);
    }
    const int index = next[NXT_file + s];
    if (index < 0 || index >= n || sim_info[index].versions.empty()) continue;
    file_version_struct& v = sim_info[index].versions.back();

    next[NXT_wants + s] = 0;
    const std::string ext = listed_archive_ext(v.path);
    const int server = std::clamp(stg[STG_server_choice], 0, 9);
    const std::string source = is_dvd ? dvd_path + install_name + "/" + v.path + ext
                                      : server_path[server] + v.path + ext;
    if (path_has_no_file(v.path))
      utils_alert(466, t_exit, "I am working through the list and found a path that has no file!",
                  "This is impossible to download or delete!", "It is:", v.path);
    const std::string dest = dest_path_of(v.path);
    const std::string temp = temp_path + std::to_string(s) + ext;
    crnt_file_path = source;
    crnt_file_name = leaf_of(source);

    bool finished = false;
    if (v.remove) {
      stg[STG_phase] = 0;
      if (lands_inside_destination(dest)) {
        ErrCode code = delete_file(dest);
        log_action("now we want to nuke a file: DELETING  file " + dest + ", with result=" +
                   std::to_string(code) + ".\n");
        record_deleted_folders(dest);
      } else {
        xer_line("WARNING: not deleting through a link that leaves the destination: " + dest);
      }
      finished = true;
    } else if (!v.install) {
      stg[STG_phase] = v.have ? 2 : 3;
      finished = true;
    } else {
      stg[STG_phase] = 1;
      if (is_dvd) {
        if (s != 0)
          utils_alert(503, t_exit, "Trying to do a DVD install with multiple streams!",
                      "The shark with the laser on his head is getting very dizzy!", "", "");
        extract_and_delete_file(source, dest, index);
        stg.setf(STG_file_frac, 1.0f);
        finished = true;
      } else {
        finished = fetch_from_server(s, index, server_name[server], source, temp, dest);
      }
    }
    if (!finished) continue;

    const float elapsed = xtim.act_time - next.getf(NXT_start_time);
    const float rate = (next.getf(NXT_kb_fetched) + next.getf(NXT_kb_flight)) / std::max(elapsed, 1.0f);
    const int streams = choose_stream_count(rate, stg[STG_stream_count], is_dvd);
    int active = 0;
    for (int t = 0; t < NXT_slots; ++t) active += next[NXT_active + t] ? 1 : 0;
    if (active < streams) {
      for (int t = 0; t < NXT_slots; ++t) {
        if (next[NXT_active + t]) continue;
        next[NXT_active + t] = 1;
        next[NXT_wants + t] = 1;
        break;
      }
    }
    if (streams < active) next[NXT_active + s] = 0;
    else next[NXT_wants + s] = 1;
  }

  place_waiting(false);
  bool working = false;
  for (int s = 0; s < NXT_slots; ++s) working = working || (next[NXT_active + s] && next[NXT_file + s] < n);
  // Every file that waits for its signature is in place before the end; none after an error.
  if (!working && !stg[STG_error]) place_waiting(true);
  if (!working || stg[STG_error]) drop_waiting_files();
  if (stg[STG_error]) {
    // The front end stops at an error: what was written so far goes to the disk first.
    flush_installation();
    return 1;
  }
  if (working) return 0;
  finish_installation();
  return 1;
}
