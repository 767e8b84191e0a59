// The recursive spin lock of the mspace heaps and of the pools over them: owner, count, lock
// word. Constant-initialised, so it works before any static constructor has run.
#pragma once
#include <pthread.h>
#include <sched.h>

#include <atomic>

namespace nedalloc {

struct spin_lock {
  std::atomic<unsigned long> owner{0};
  unsigned int count = 0;
  std::atomic<int> word{0};
};

inline unsigned long self_id() { return static_cast<unsigned long>(pthread_self()); }

inline void spin_init(spin_lock* l) {
  l->owner.store(0);
  l->count = 0;
  l->word.store(0);
}

inline bool spin_try(spin_lock* l) {
  unsigned long me = self_id();
  if (l->owner.load(std::memory_order_relaxed) == me) {
    ++l->count;
    return true;
  }
  int expected = 0;
  if (l->word.compare_exchange_strong(expected, 1, std::memory_order_acquire)) {
    l->owner.store(me, std::memory_order_relaxed);
    l->count = 1;
    return true;
  }
  return false;
}

inline void spin_acquire(spin_lock* l) {
  unsigned long me = self_id();
  if (l->owner.load(std::memory_order_relaxed) == me) {
    ++l->count;
    return;
  }
  int spins = 0;
  for (;;) {
    int expected = 0;
    if (l->word.load(std::memory_order_relaxed) == 0 &&
        l->word.compare_exchange_weak(expected, 1, std::memory_order_acquire))
      break;
    // Back off a little longer after each failed attempt; every 64th gives up the time slice.
    if ((++spins & 63) == 0) {
      sched_yield();
    } else {
      for (int i = 0, n = spins & 63; i < n; ++i) __builtin_ia32_pause();
    }
  }
  l->owner.store(me, std::memory_order_relaxed);
  l->count = 1;
}

inline void spin_release(spin_lock* l) {
  if (--l->count == 0) {
    l->owner.store(0, std::memory_order_relaxed);
    l->word.store(0, std::memory_order_release);
  }
}

}  // namespace nedalloc
