// The monotonic clock: never steps with changes of the wall-clock time.
// Stands for: Microseconds and the deadlines of Multiprocessing Services' timed waits.
// Implemented on Linux: clock_gettime(CLOCK_MONOTONIC) in microseconds, and deadlines for
// condition variables on that clock.
// Missing: the wall-clock date (callers use the C library for that).
#pragma once
#include <cstdint>
#include <ctime>

// Microseconds on the monotonic clock since an arbitrary fixed point.
uint64_t PLAT_microseconds();

// The monotonic time ms milliseconds from now, as a pthread_cond_timedwait deadline for a
// condition variable whose clock is CLOCK_MONOTONIC.
timespec PLAT_monotonic_deadline(int ms);
