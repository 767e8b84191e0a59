// The monotonic clock behind the frame clock's timer and the queues' timed waits.
#include "platform/clock.h"

uint64_t PLAT_microseconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

timespec PLAT_monotonic_deadline(int ms) {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  if (ms < 0) ms = 0;
  t.tv_sec += ms / 1000;
  t.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
  if (t.tv_nsec > 999999999L) {
    t.tv_nsec -= 1000000000L;
    t.tv_sec += 1;
  }
  return t;
}
