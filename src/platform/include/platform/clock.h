// The monotonic clock: never steps with changes of the wall-clock time.
#pragma once
#include <cstdint>
#include <ctime>

// Microseconds on the monotonic clock since an arbitrary fixed point.
uint64_t PLAT_microseconds();

// The monotonic time ms milliseconds from now, as a pthread_cond_timedwait deadline for a
// condition variable whose clock is CLOCK_MONOTONIC.
timespec PLAT_monotonic_deadline(int ms);
