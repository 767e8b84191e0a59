// The worker machinery: which thread is the main thread, the failure queues, one worker
// thread per processor waiting on a call queue, threads with an optional shared OpenGL
// context, and the shutdown that joins them all.
#pragma once
#include <cstdint>
#include <vector>

#include "foundation/threads.h"

// One asynchronous call, reused through a free list once cleaned up.
struct THREAD_call {
  THREAD_call* next = nullptr;
  UTL_message_queue* done_queue = nullptr;  // receives the cookie when the call has run
  UTL_critical_section lock;                // guards result and done
  void* (*fn)(void*) = nullptr;
  void* arg = nullptr;
  void* result = nullptr;
  int done = 0;
  uint32_t cookie = 0;  // never 0
};

// What the pool needs of the drawing layer and the shell to give a thread its own OpenGL
// context; the shell installs these once the main context exists. Unset: no contexts.
struct THREAD_gl_hooks {
  int (*threaded_ogl)() = nullptr;            // the renderer allows OpenGL on other threads
  void* (*make_context)() = nullptr;          // a context sharing objects with the main one, or null
  int (*set_context)(void* ctx) = nullptr;    // makes ctx current on the calling thread; 0 on failure
  void (*threaded_ogl_failed)() = nullptr;    // a thread could not get its context
};
void THREAD_set_gl_hooks(const THREAD_gl_hooks& hooks);

void THREAD_init();          // on the main thread, early at start-up
void THREAD_make_workers();  // one worker per processor
void THREAD_shutdown();      // stops and joins every worker, frees the queues

int THREAD_is_main_thread();
int THREAD_is_inited();

// Starts body(arg) on a new thread (with a shared OpenGL context when want_gl is set and the
// renderer allows it) and returns once the thread runs.
void THREAD_create(void* (*body)(void*), void* arg, UTL_thread_t* thread, UTL_thread_t* id,
                   UTL_thread_t* join, int want_gl);
void* THREAD_launch(void* start_record);  // entry of every thread THREAD_create starts
void* xtaskproc(void*);                   // body of each worker

THREAD_call* THREAD_run_async(void* (*fn)(void*), void* arg);
// True once, when the call has run (waits up to timeout ms; 0 polls, -1 for ever).
bool THREAD_is_done(THREAD_call* call, int timeout);
// Returns the call's result and recycles the record; fatal before THREAD_is_done said true.
void* THREAD_cleanup(THREAD_call* call);

extern std::vector<UTL_thread_t> worker_threads;
extern std::vector<UTL_thread_t> worker_threads_join;
extern std::vector<UTL_thread_t> worker_threads_id;
