// Threads, recursive critical sections and message queues: a thin layer over POSIX threads.
// Every failing OS call is a fatal alert naming the call ("\"pthread_...\" OS error", "err=%f").
#pragma once
#include <pthread.h>

using UTL_thread_t = pthread_t;
using UTL_critical_section = pthread_mutex_t;

struct UTL_message_queue;  // FIFO of untyped pointers; owns its nodes, never the items

UTL_thread_t UTL_get_current_thread();
int UTL_count_processors();

// Starts body(arg) with default attributes; the handle goes into all three outs.
void UTL_thread_create(void* (*body)(void*), void* arg, UTL_thread_t* thread, UTL_thread_t* id,
                       UTL_thread_t* join);
// Waits for the thread and returns its exit value (null, logged, when the join fails).
void* UTL_thread_join(UTL_thread_t* thread, UTL_thread_t* join);
[[noreturn]] void UTL_thread_exit(void* value);
int UTL_thread_murder(UTL_thread_t* thread);
// Sleeps ms milliseconds; 0 or less returns at once.
void UTL_sleep(int ms);

// Recursive: the owner may lock again and must unlock as often.
void UTL_critical_section_create(UTL_critical_section* cs);
void UTL_critical_section_destroy(UTL_critical_section* cs);
void UTL_critical_section_lock(UTL_critical_section* cs);
void UTL_critical_section_unlock(UTL_critical_section* cs);

// Holds a critical section for one scope.
class UTL_critical_section_hold {
 public:
  explicit UTL_critical_section_hold(UTL_critical_section* cs) : cs_(cs) { UTL_critical_section_lock(cs_); }
  ~UTL_critical_section_hold() { UTL_critical_section_unlock(cs_); }
  UTL_critical_section_hold(const UTL_critical_section_hold&) = delete;
  UTL_critical_section_hold& operator=(const UTL_critical_section_hold&) = delete;

 private:
  UTL_critical_section* cs_;
};

void UTL_message_queue_create(UTL_message_queue** out);
// Frees the queue and its nodes; items still queued are left alone.
void UTL_message_queue_destroy(UTL_message_queue* queue);
void UTL_message_queue_write(UTL_message_queue* queue, void* item);
// Oldest item, or null when none arrived in time. timeout: 0 (or below -1) polls, -1 waits for
// ever, else waits up to that many milliseconds against one deadline on a monotonic clock.
void* UTL_message_queue_read(UTL_message_queue* queue, int timeout);
