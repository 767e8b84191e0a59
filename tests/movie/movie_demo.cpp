// A child program for the recorder's tests: records colour bars in its own window and then ends
// in the middle of the take by exit(), SIGKILL or a fatal alert, or records until a write fails
// (cut: until the write that reaches the limit kills it, as a kill -9 in mid-write would).
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/alert.h"
#include "recorder_fixture.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: movie_demo exit|kill|fatal|full|cut FOLDER [BYTES]\n");
    return 2;
  }
  const std::string mode = argv[1];
  PLAT_gl_window win;
  if (movtest::open_window(320, 240, &win) != 0) {
    std::fprintf(stderr, "no window: %s\n", PLAT_window_error().c_str());
    return 3;
  }
  if (::chdir(argv[2]) != 0) return 4;
  qtim.fps = 16.0f;
  mov_test_view.pixel_buffers_off = 1;  // every recorded frame is with the compressor
  if (argc == 4) {
    if (mode == "cut") std::signal(SIGXFSZ, [](int) { std::raise(SIGKILL); });
    else std::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG instead of killing us
    const rlim_t bytes = std::strtoull(argv[3], nullptr, 10);
    rlimit lim{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &lim);
  }
  qtim.mov_toggle(1);
  movtest::frame(0);
  // 50 frames: three whole seconds and two frames of the fourth.
  for (int i = 0; i < (mode == "kill" ? 50 : 5); ++i) movtest::frame(0.0625f);
  if (mode == "exit") std::exit(0);  // still recording
  if (mode == "kill") std::raise(SIGKILL);
  if (mode == "fatal") ZARIRU_alert(0, "A fatal alert", "while recording", "", "", t_exit);
  for (int i = 0; i < 100000 && qtim.mode != 0; ++i) movtest::frame(0.0625f);
  return 5;  // the failure was never raised
}
