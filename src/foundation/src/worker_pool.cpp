// The worker pool: start-up and shutdown of the worker threads, asynchronous calls, and the
// entry that turns anything escaping a thread body into a fatal failure record.
#include "foundation/worker_pool.h"

#include <cxxabi.h>

#include <atomic>
#include <exception>
#include <optional>
#include <string>

#include "foundation/alert.h"
#include "foundation/exce.h"
#include "foundation/globals.h"

std::vector<UTL_thread_t> worker_threads;
std::vector<UTL_thread_t> worker_threads_join;
std::vector<UTL_thread_t> worker_threads_id;

namespace {
const char kSource[] = "DUdurid/Thread/hl_thread";

UTL_thread_t main_thread;
std::atomic<int> threads_inited{0};
UTL_message_queue* call_queue = nullptr;
THREAD_call* free_calls = nullptr;
UTL_critical_section free_calls_lock;
uint32_t next_cookie = 0;  // unsigned: it wraps instead of overflowing
THREAD_gl_hooks gl_hooks;

void* const kStopToken = reinterpret_cast<void*>(~uintptr_t{0});

struct start_record {
  void* (*body)(void*);
  void* arg;
  UTL_message_queue* handshake;
  int want_gl;
  void* context;
};
}  // namespace

void THREAD_set_gl_hooks(const THREAD_gl_hooks& hooks) { gl_hooks = hooks; }

int THREAD_is_main_thread() { return pthread_equal(pthread_self(), main_thread) ? 1 : 0; }
int THREAD_is_inited() { return threads_inited.load(); }

void THREAD_init() {
  // Linux threads need no start-up of their own, so there is no readiness to check.
  main_thread = UTL_get_current_thread();
  UTL_message_queue_create(&warn_exce);
  UTL_message_queue_create(&quit_exce);
  UTL_critical_section_create(&free_calls_lock);
  UTL_message_queue_create(&call_queue);
  threads_inited = 1;
}

void THREAD_make_workers() {
  int n = UTL_count_processors();
  xer_line("CPU count        : " + std::to_string(n) + "\n");
  for (int i = 0; i < n; ++i) {
    UTL_thread_t t, id, join;
    THREAD_create(xtaskproc, nullptr, &t, &id, &join, 1);
    worker_threads.push_back(t);
    worker_threads_join.push_back(join);
    worker_threads_id.push_back(id);
  }
}

void THREAD_create(void* (*body)(void*), void* arg, UTL_thread_t* thread, UTL_thread_t* id,
                   UTL_thread_t* join, int want_gl) {
  int gl = (gl_hooks.threaded_ogl && gl_hooks.threaded_ogl()) ? want_gl : 0;
  start_record rec{body, arg, nullptr, gl, nullptr};
  if (gl) {
    rec.context = gl_hooks.make_context ? gl_hooks.make_context() : nullptr;
    if (!rec.context) {
      rec.want_gl = gl = 0;
      if (gl_hooks.threaded_ogl_failed) gl_hooks.threaded_ogl_failed();
    }
  }
  UTL_message_queue_create(&rec.handshake);
  UTL_thread_create(THREAD_launch, &rec, thread, id, join);
  UTL_message_queue_read(rec.handshake, -1);  // the new thread has copied what it needs
  UTL_message_queue_destroy(rec.handshake);
  if (rec.want_gl != gl && gl_hooks.threaded_ogl_failed) gl_hooks.threaded_ogl_failed();
}

// The forced-unwind handler binds a reference to an exception without a C++ object, which
// the null-reference check would flag.
__attribute__((no_sanitize("null"))) void* THREAD_launch(void* record) {
  start_record* rec = static_cast<start_record*>(record);
  if (rec->want_gl && !(gl_hooks.set_context && gl_hooks.set_context(rec->context))) rec->want_gl = 0;
  void* (*body)(void*) = rec->body;
  void* arg = rec->arg;
  UTL_message_queue_write(rec->handshake, nullptr);  // rec may vanish from here on

  std::optional<exce_class> failure;
  try {
    return body(arg);
  } catch (abi::__forced_unwind&) {
    throw;  // the thread is ending itself (pthread_exit): let the unwind finish
  } catch (exce_class& e) {
    failure.emplace(e);
    failure->MakeFatal();
  } catch (std::exception& e) {
    failure.emplace("Caught an unhandled C++ exception", e.what(), "", "", kSource, 366, 2);
  } catch (...) {
    failure.emplace("Caught an unhandled unknown exception", "", "", "", kSource, 368, 2);
  }
  // Sent outside the handlers: sending a fatal record ends this thread.
  THREAD_send_exception(*failure);
  return nullptr;
}

void* xtaskproc(void*) {
  for (;;) {
    void* item = UTL_message_queue_read(call_queue, -1);
    if (item == kStopToken) return nullptr;
    THREAD_call* call = static_cast<THREAD_call*>(item);
    void* result = call->fn(call->arg);
    UTL_critical_section_lock(&call->lock);
    call->result = result;
    UTL_critical_section_unlock(&call->lock);
    UTL_message_queue_write(call->done_queue, reinterpret_cast<void*>(static_cast<uintptr_t>(call->cookie)));
  }
}

THREAD_call* THREAD_run_async(void* (*fn)(void*), void* arg) {
  UTL_critical_section_lock(&free_calls_lock);
  next_cookie += 4;
  if (next_cookie == 0) next_cookie = 4;
  uint32_t cookie = next_cookie;
  THREAD_call* call = free_calls;
  if (call) free_calls = call->next;
  UTL_critical_section_unlock(&free_calls_lock);

  if (!call) {
    call = new THREAD_call;
    UTL_message_queue_create(&call->done_queue);
    UTL_critical_section_create(&call->lock);
  }
  call->next = nullptr;
  call->fn = fn;
  call->arg = arg;
  call->result = nullptr;
  call->done = 0;
  call->cookie = cookie;
  UTL_message_queue_write(call_queue, call);
  return call;
}

bool THREAD_is_done(THREAD_call* call, int timeout) {
  THREAD_check_exception(0);
  void* item = UTL_message_queue_read(call->done_queue, timeout);
  THREAD_check_exception(0);
  if (!item) return false;
  UTL_critical_section_lock(&call->lock);
  call->done = 1;
  UTL_critical_section_unlock(&call->lock);
  return true;
}

void* THREAD_cleanup(THREAD_call* call) {
  THREAD_check_exception(0);
  UTL_critical_section_lock(&call->lock);
  if (!call->done) {
    UTL_critical_section_unlock(&call->lock);
    __ZARIRU_alert(0, "Thread cleanup called on not-done call.", "", "", "", t_exit, kSource, 610);
    return nullptr;
  }
  void* result = call->result;
  UTL_critical_section_unlock(&call->lock);
  UTL_critical_section_lock(&free_calls_lock);
  call->next = free_calls;
  free_calls = call;
  UTL_critical_section_unlock(&free_calls_lock);
  return result;
}

void THREAD_shutdown() {
  size_t n = worker_threads.size();
  for (size_t i = 0; i < n; ++i) UTL_message_queue_write(call_queue, kStopToken);
  for (size_t i = 0; i < n; ++i) UTL_thread_join(&worker_threads[i], &worker_threads_join[i]);
  // Joined threads are gone: a later start-up must not join them again.
  worker_threads.clear();
  worker_threads_join.clear();
  worker_threads_id.clear();

  UTL_critical_section_destroy(&free_calls_lock);
  UTL_message_queue_destroy(call_queue);
  call_queue = nullptr;
  while (free_calls) {
    THREAD_call* call = free_calls;
    free_calls = call->next;
    UTL_message_queue_destroy(call->done_queue);
    UTL_critical_section_destroy(&call->lock);
    delete call;
  }
  threads_inited = 0;  // before the queues go, so no alert is routed into them
  UTL_message_queue_destroy(warn_exce);
  UTL_message_queue_destroy(quit_exce);
  warn_exce = quit_exce = nullptr;
  xer_line("Clean exit from threads.\n");
}
