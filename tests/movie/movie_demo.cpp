// A child program for the recorder's tests: records colour bars in its own window and then
// either exits in the middle of the take ("exit") or runs into a file-size limit ("fsize").
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "recorder_fixture.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: movie_demo exit|fsize FOLDER\n");
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
  if (mode == "fsize") {
    std::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG instead of killing us
    rlimit lim{1024, 1024};
    ::setrlimit(RLIMIT_FSIZE, &lim);
  }
  qtim.mov_toggle(1);
  movtest::frame(0);
  for (int i = 0; i < 5; ++i) movtest::frame(0.0625f);
  if (mode == "exit") std::exit(0);  // still recording
  for (int i = 0; i < 5; ++i) movtest::frame(0.0625f);
  return 5;  // the failure was never raised
}
