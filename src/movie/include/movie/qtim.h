// The movie recorder: records what the window shows into a movie file of JPEG frames. The main
// thread copies each recorded frame out of the window and hands it to a compressor thread,
// which encodes it and appends it to the take; the frame loop polls the recorder once a frame.
#pragma once
#include <atomic>
#include <string>

// Recording modes.
enum : int { mov_off = 0, mov_to_file = 1, mov_stop_asked = 2 };

// Where a take goes: "Volarium movie take-" + n + ".mov", relative to the current folder.
std::string MOV_take_name(int take);

class qtim_class {
 public:
  qtim_class();
  ~qtim_class();
  qtim_class(const qtim_class&) = delete;
  qtim_class& operator=(const qtim_class&) = delete;

  // The frame loop's hook: 1 when the recorder swapped the buffers itself this frame.
  int mov_per_frame();
  // Starts recording in new_mode (from off), or stops (otherwise).
  void mov_toggle(int new_mode);
  // One frame while recording: 0 when the simulated time has not moved since the start.
  int mov_add_frame();
  void draw_record_lgt();
  // The settings window's body, drawn once per call; showing it stops a recording.
  void qtim_wind();
  // Stops a recording and ends the compressor thread.
  void stop_thread();

  int qt_ok = 1;
  std::atomic<int> mode{mov_off};  // read by the compressor thread
  int width = 320;                 // 32..2048
  int height = 0;                  // from the window's aspect at each start
  float fps = 20.0f;               // 10..99
  int frames_done = 0;             // frames handed back by the compressor since the start
};

extern qtim_class qtim;

// Free functions of the recorder, as the toggle calls them.
void mov_startrecord();
void mov_stoprecord();
void* QT_Thread(void*);
// Fatal alert of the recorder: the lines message, path, detail and the signed error number.
void mov_alert(std::string message, std::string path, const char* detail, int error);

// The frame loop's hook as a plain function, for the shell's movie-hook slot.
int qtim_mov_per_frame();

// What the recorder's tests and benchmarks look at, and a switch that keeps the pixel-pack
// buffer out of use.
struct MOV_test_view {
  std::string last_take;      // path of the last take created
  unsigned pbo_name = 0;      // the pixel-pack buffer of the last start (0: none was used)
  int pixel_buffers_off = 0;  // 1: read straight into memory even when buffers are offered
};
extern MOV_test_view mov_test_view;
// Blocks until every frame record is back from the compressor thread.
void MOV_wait_for_compressor();
