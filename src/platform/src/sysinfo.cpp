// Processor count: the affinity mask says how many processors this process may use, which is
// what a pool of worker threads should match.
#include "platform/sysinfo.h"

#include <sched.h>
#include <unistd.h>

#include <atomic>

namespace {
std::atomic<int> g_override{0};
}

int PLAT_processor_count() {
  int forced = g_override.load();
  if (forced > 0) return forced;
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof(set), &set) == 0) {
    int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

void PLAT_set_processor_count_override(int n) { g_override.store(n > 0 ? n : 0); }
