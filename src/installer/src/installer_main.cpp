// The installer program: the shell comes up, the installer's start-up runs, then one frame after
// another until Quit.
#include "engine/master.h"
#include "foundation/globals.h"
#include "installer/front.h"
#include "shell/hl_init.h"
#include "shell/hl_mnw.h"

int installer_main(int argc, char** argv) {
  ZARIRU_init(argc, argv);
  // A master pass run from this window shows its strip there.
  master_set_progress_hook(ZARIRU_master_strip);
  installer_startup(argc, argv);
  while (!app_done) ZARIRU_event_proc();
  keep_saved_destination_unless_used();
  ZARIRU_finishup(1);
  return 0;
}
