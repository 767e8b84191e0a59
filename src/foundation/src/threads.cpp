// Threads, recursive critical sections and message queues over POSIX threads. A failing OS
// call is fatal: the alert names the call and its error number.
#include "foundation/threads.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <algorithm>
#include <list>
#include <new>
#include <vector>
#include <thread>

#include "foundation/alert.h"
#include "foundation/globals.h"
#include "platform/clock.h"
#include "platform/sysinfo.h"

namespace {
// List nodes of one queue, carved from blocks of many and reused; every list operation runs
// under the queue's mutex, so the pool needs no lock of its own. A hand-off then costs no
// allocation, which between two threads costs more than the rest of it together.
struct node_pool {
  static constexpr size_t kPerBlock = 256;
  struct free_node { free_node* next; };
  std::vector<void*> blocks;
  free_node* free = nullptr;
  size_t node_size = 0;
  ~node_pool() { release_all(); }
  void* take(size_t size) {
    if (!free) {
      node_size = std::max(size, sizeof(free_node));
      char* block = static_cast<char*>(::operator new(node_size * kPerBlock));
      blocks.push_back(block);
      for (size_t i = kPerBlock; i-- > 0;) give(block + i * node_size);
    }
    free_node* n = free;
    free = n->next;
    return n;
  }
  void give(void* p) { free = new (p) free_node{free}; }
  // Only while the list holds no node: a burst's blocks go back once the queue drains.
  void release_all() {
    for (void* b : blocks) ::operator delete(b);
    blocks.clear();
    free = nullptr;
  }
};

template <class T>
struct pool_allocator {
  using value_type = T;
  node_pool* pool;
  explicit pool_allocator(node_pool* p) : pool(p) {}
  template <class U>
  pool_allocator(const pool_allocator<U>& o) : pool(o.pool) {}
  T* allocate(size_t n) {
    if (n != 1) return static_cast<T*>(::operator new(n * sizeof(T)));
    return static_cast<T*>(pool->take(sizeof(T)));
  }
  void deallocate(T* p, size_t n) {
    if (n != 1) ::operator delete(p);
    else pool->give(p);
  }
  template <class U>
  bool operator==(const pool_allocator<U>& o) const { return pool == o.pool; }
};
}  // namespace

struct UTL_message_queue {
  pthread_mutex_t mutex;
  pthread_cond_t cond;
  node_pool pool;                                     // declared first: outlives the list
  std::list<void*, pool_allocator<void*>> items{pool_allocator<void*>(&pool)};  // oldest first
  int waiting = 0;         // readers blocked in a wait
};

namespace {
const char kSource[] = "DUdurid/UTL/UTL_thread";

void os_fail(const char* call, int err, int line) {
  char buf[64];
  std::snprintf(buf, sizeof(buf), "err=%f", static_cast<double>(static_cast<float>(err)));
  stl_global = buf;
  __ZARIRU_alert(0, call, stl_global, "", "", t_exit, kSource, line);
}

void check(int err, const char* call, int line) {
  if (err != 0) os_fail(call, err, line);
}
}  // namespace

UTL_thread_t UTL_get_current_thread() { return pthread_self(); }

int UTL_count_processors() { return PLAT_processor_count(); }

void UTL_thread_create(void* (*body)(void*), void* arg, UTL_thread_t* thread, UTL_thread_t* id,
                       UTL_thread_t* join) {
  check(pthread_create(thread, nullptr, body, arg), "\"pthread_create\" OS error", 112);
  if (id) *id = *thread;
  if (join) *join = *thread;
}

void* UTL_thread_join(UTL_thread_t* thread, UTL_thread_t*) {
  void* result = nullptr;
  int err = pthread_join(*thread, &result);
  if (err != 0) {
    xer_line("Warning: wait on thread cleanup failed with error " + std::to_string(err) + "\n");
    return nullptr;
  }
  return result;
}

void UTL_thread_exit(void* value) { pthread_exit(value); }

int UTL_thread_murder(UTL_thread_t* thread) { return pthread_cancel(*thread); }

void UTL_sleep(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void UTL_critical_section_create(UTL_critical_section* cs) {
  pthread_mutexattr_t attr;
  check(pthread_mutexattr_init(&attr), "\"::pthread_mutexattr_init\" OS error", 179);
  check(pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE), "\"::pthread_mutexattr_settype\" OS error", 181);
  check(pthread_mutex_init(cs, &attr), "\"::pthread_mutex_init\" OS error", 183);
  check(pthread_mutexattr_destroy(&attr), "\"::pthread_mutexattr_destroy\" OS error", 185);
}

void UTL_critical_section_destroy(UTL_critical_section* cs) {
  check(pthread_mutex_destroy(cs), "\"::pthread_mutex_destroy\" OS error", 198);
}

void UTL_critical_section_lock(UTL_critical_section* cs) {
  check(pthread_mutex_lock(cs), "\"pthread_mutex_lock\" OS error", 211);
}

void UTL_critical_section_unlock(UTL_critical_section* cs) {
  check(pthread_mutex_unlock(cs), "\"pthread_mutex_unlock\" OS error", 224);
}

void UTL_message_queue_create(UTL_message_queue** out) {
  UTL_message_queue* q = new UTL_message_queue;
  check(pthread_mutex_init(&q->mutex, nullptr), "\"::pthread_mutex_init\" OS error", 268);
  // Timed reads measure their deadline on the monotonic clock, immune to clock changes.
  pthread_condattr_t attr;
  int err = pthread_condattr_init(&attr);
  if (err == 0) err = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
  if (err == 0) err = pthread_cond_init(&q->cond, &attr);
  pthread_condattr_destroy(&attr);
  check(err, "\"::pthread_cond_init\" OS error", 271);
  *out = q;
}

void UTL_message_queue_destroy(UTL_message_queue* q) {
  check(pthread_mutex_destroy(&q->mutex), "\"::pthread_mutex_destroy\" OS error", 287);
  check(pthread_cond_destroy(&q->cond), "\"::pthread_cond_desroy\" OS error", 290);
  delete q;  // frees the nodes; the items belong to whoever queued them
}

void UTL_message_queue_write(UTL_message_queue* q, void* item) {
  check(pthread_mutex_lock(&q->mutex), "\"pthread_mutex_lock\" OS error", 319);
  if (q->waiting > 0) check(pthread_cond_signal(&q->cond), "\"pthread_cond_signal\" OS error", 324);
  q->items.push_back(item);
  check(pthread_mutex_unlock(&q->mutex), "\"pthread_mutex_unlock\" OS error", 330);
}

void* UTL_message_queue_read(UTL_message_queue* q, int timeout) {
  if (timeout < -1) timeout = 0;  // below "for ever" reads as a poll
  timespec deadline{};
  if (timeout > 0) deadline = PLAT_monotonic_deadline(timeout);  // fixed once, never renewed

  check(pthread_mutex_lock(&q->mutex), "\"pthread_mutex_lock\" OS error", 381);
  if (timeout == 0 && q->items.empty()) {
    check(pthread_mutex_unlock(&q->mutex), "\"pthread_mutex_unlock\" OS error", 386);
    return nullptr;
  }
  ++q->waiting;
  for (;;) {
    if (!q->items.empty()) {
      --q->waiting;
      void* item = q->items.front();
      q->items.pop_front();
      if (q->items.empty() && q->pool.blocks.size() > 4) q->pool.release_all();
      check(pthread_mutex_unlock(&q->mutex), "\"pthread_mutex_unlock\" OS error", 412);
      return item;
    }
    int err = timeout > 0 ? pthread_cond_timedwait(&q->cond, &q->mutex, &deadline)
                          : pthread_cond_wait(&q->cond, &q->mutex);
    if (err == ETIMEDOUT) {
      // An item that arrived with the time-out is taken: the write's one wake-up may have gone
      // to this reader, and leaving the item would strand another waiting reader.
      if (!q->items.empty()) continue;
      --q->waiting;
      check(pthread_mutex_unlock(&q->mutex), "\"pthread_mutex_unlock\" OS error", 401);
      return nullptr;
    }
    if (err != 0) os_fail("\"pthread_cond_timedwait\" OS error", err, 404);
  }
}
