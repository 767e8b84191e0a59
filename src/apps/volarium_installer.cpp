// volarium-installer: the main-disc edition of the installer.
#include "movie/qtim.h"
#include "shell/hl_mnw.h"

int installer_main(int argc, char** argv);

int main(int argc, char** argv) {
  // Installed here: nothing else refers to the recorder, so the linker would drop a hook that
  // installed itself.
  ZARIRU_set_movie_hook(qtim_mov_per_frame);
  return installer_main(argc, argv);
}
