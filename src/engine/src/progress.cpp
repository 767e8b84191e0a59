// The progress record of the running installation and its reset before each installation.
#include "engine/progress.h"

#include "foundation/edition.h"
#include "internal.h"

install_progress_struct next;

void install_progress_struct::reset(float now) {
  engine_detail::drop_waiting_files();
  w[NXT_next_file] = 0;
  // A disc feeds one stream; downloads start with two.
  int streams = is_dvd ? 1 : 2;
  for (int s = 0; s < NXT_slots; ++s) {
    w[NXT_active + s] = s < streams ? 1 : 0;
    w[NXT_wants + s] = s < streams ? 1 : 0;
    w[NXT_file + s] = 0;
  }
  setf(NXT_start_time, now);
  setf(NXT_kb_flight, 0.0f);
  setf(NXT_kb_fetched, 0.0f);
  setf(NXT_kb_installed, 0.0f);
}
