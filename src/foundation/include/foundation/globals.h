// Program-wide global objects shared by every subsystem: the log stream, the installer state
// block and the installer's paths. Constructed before main, destroyed in reverse at exit.
#pragma once
#include <bit>
#include <cstdint>
#include <fstream>
#include <string>

extern thread_local std::string stl_global;  // alert code formats one line here (per thread)
extern std::string app_path;                 // root joined in front of relative paths; empty at run time
extern std::string dvd_path;                 // root of the install disc, ends in "/", empty while none
// While installing from a disc: a path that leads to the disc's folder as it was judged,
// whatever dvd_path names meanwhile (ends in "/"); empty otherwise, and dvd_path is read.
extern std::string dvd_read_path;
extern std::ofstream ouf;                    // the data-file output stream
extern std::ofstream xer;                    // the log ("Log.txt")

extern const std::string no_install_name;    // "Not Yet Scanned"

// Installer globals shared by the engine and the front end.
extern std::string install_name;   // the disc's version folder
extern std::string dest_dir_path;  // absolute, ends in "/"
extern std::string temp_path;      // ends in "/"
extern int app_done;

// Writes one whole line to the log under a lock, so lines from several threads never interleave.
void xer_line(const std::string& text);

// The installer state block: 1312 32-bit words, addressed by word number.
struct stg_struct {
  static constexpr int kWords = 1312;
  int32_t w[kWords] = {};

  int32_t& operator[](int i) { return w[i]; }
  const int32_t& operator[](int i) const { return w[i]; }
  float getf(int i) const { return std::bit_cast<float>(w[i]); }
  void setf(int i, float v) { w[i] = std::bit_cast<int32_t>(v); }
};

// Word numbers of stg.
enum : int {
  STG_stage = 0,          // STAGE_*: 0 wait for list, 1 scan due, 2 list bad, 3 scanned
  STG_target_os = 1,      // 1 Macintosh, 2 Windows, 3 Linux
  STG_log_actions = 2,    // "_log_actions"
  STG_run_state = 3,      // RUN_*: 0 idle, 1 installing, 2 finished
  STG_net_retry = 4,      // 1 after a failed download
  STG_error = 5,          // nonzero after an archive failed to unpack
  STG_server_count = 6,
  STG_server_choice = 7,
  STG_phase = 1304,       // 0 delete, 1 fetch+unpack, 2 already had, 3 not needed
  STG_file_frac = 1305,   // float
  STG_use_max_cpu = 1306, // "_use_max_cpu"
  STG_rename_folder = 1307,
  STG_stream_count = 1308,
  STG_always_ask_dir = 1309,
  STG_kb_download = 1310, // float
  STG_kb_installed = 1311 // float
};

// Values of stg word STG_stage.
enum : int {
  STAGE_wait_list = 0,  // no file list yet (waiting for the disc or the servers)
  STAGE_scan_due = 1,   // the list is unpacked; the next frame reads and scans it
  STAGE_list_bad = 2,   // the list's header or version was refused
  STAGE_scanned = 3     // read and scanned: the screen can offer Install
};
// Values of stg word STG_run_state.
enum : int {
  RUN_idle = 0,        // nothing running: Destination and Install are offered
  RUN_installing = 1,  // the install steps run in the frame's time slices
  RUN_finished = 2     // the installation ended (complete, failed or quit)
};

extern stg_struct stg;
