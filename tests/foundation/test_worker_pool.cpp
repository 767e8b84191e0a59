// The worker pool: one worker per processor, asynchronous calls, shared OpenGL contexts
// through the shell's hooks, and a shutdown that joins every worker.
#include <gtest/gtest.h>
#include <dirent.h>

#include <atomic>

#include "foundation/alert.h"
#include "foundation/exce.h"
#include "foundation/worker_pool.h"
#include "log_capture.h"
#include "platform/sysinfo.h"

namespace {

int live_threads() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') ++n;
    closedir(d);
  }
  return n;
}

class WorkerPool : public testing::Test {
 protected:
  void SetUp() override { THREAD_set_gl_hooks(THREAD_gl_hooks()); }
  void TearDown() override {
    PLAT_set_processor_count_override(0);
    THREAD_set_gl_hooks(THREAD_gl_hooks());
  }
  LogCapture log;
};

TEST_F(WorkerPool, OneWorkerPerProcessorAllJoinedAtShutdown) {
  for (int cpus : {1, 3}) {
    PLAT_set_processor_count_override(cpus);
    int before = live_threads();
    THREAD_init();
    EXPECT_EQ(THREAD_is_inited(), 1);
    EXPECT_EQ(THREAD_is_main_thread(), 1);
    THREAD_make_workers();
    EXPECT_EQ(worker_threads.size(), static_cast<size_t>(cpus));
    EXPECT_EQ(worker_threads_join.size(), static_cast<size_t>(cpus));
    EXPECT_EQ(worker_threads_id.size(), static_cast<size_t>(cpus));
    EXPECT_EQ(live_threads(), before + cpus);
    THREAD_shutdown();
    EXPECT_EQ(THREAD_is_inited(), 0);
    EXPECT_EQ(live_threads(), before) << "every worker ended and was joined";
  }
  std::string t = log.text();
  EXPECT_NE(t.find("CPU count        : 1\n"), std::string::npos);
  EXPECT_NE(t.find("CPU count        : 3\n"), std::string::npos);
  EXPECT_EQ(LogCapture::count(t, "Clean exit from threads.\n"), 2u);
  EXPECT_EQ(t.find("Warning: wait on thread cleanup failed"), std::string::npos);
  EXPECT_EQ(t.substr(t.size() - 25), "Clean exit from threads.\n");
}

TEST_F(WorkerPool, MainThreadIsTheOneThatInitialised) {
  THREAD_init();
  std::atomic<int> seen{-1};
  std::thread other([&] { seen = THREAD_is_main_thread(); });
  other.join();
  EXPECT_EQ(seen.load(), 0);
  EXPECT_EQ(THREAD_is_main_thread(), 1);
  THREAD_shutdown();
}

TEST_F(WorkerPool, AsyncCallRunsOnAWorkerAndReportsOnce) {
  PLAT_set_processor_count_override(2);
  THREAD_init();
  THREAD_make_workers();
  static int value;
  value = 20;
  THREAD_call* call = THREAD_run_async(
      [](void* p) -> void* {
        *static_cast<int*>(p) += 1;
        return THREAD_is_main_thread() ? nullptr : p;
      },
      &value);
  ASSERT_TRUE(THREAD_is_done(call, -1));
  EXPECT_EQ(call->cookie % 4, 0u);
  EXPECT_NE(call->cookie, 0u);
  EXPECT_FALSE(THREAD_is_done(call, 0)) << "completion is reported once";
  EXPECT_EQ(THREAD_cleanup(call), &value);
  EXPECT_EQ(value, 21);

  // A finished record is reused with a fresh cookie.
  uint32_t old_cookie = call->cookie;
  THREAD_call* again = THREAD_run_async([](void*) -> void* { return nullptr; }, nullptr);
  EXPECT_EQ(again, call);
  EXPECT_EQ(again->cookie, old_cookie + 4);
  ASSERT_TRUE(THREAD_is_done(again, 5000));
  THREAD_cleanup(again);
  THREAD_shutdown();
}

TEST_F(WorkerPool, IsDoneWithZeroTimeoutOnRunningCallReturnsAtOnce) {
  PLAT_set_processor_count_override(1);
  THREAD_init();
  THREAD_make_workers();
  UTL_message_queue* gate;
  UTL_message_queue_create(&gate);
  THREAD_call* call = THREAD_run_async([](void* g) -> void* { return UTL_message_queue_read(static_cast<UTL_message_queue*>(g), -1); }, gate);
  EXPECT_FALSE(THREAD_is_done(call, 0));
  EXPECT_FALSE(THREAD_is_done(call, 50));
  static int token;
  UTL_message_queue_write(gate, &token);
  ASSERT_TRUE(THREAD_is_done(call, -1));
  EXPECT_EQ(THREAD_cleanup(call), &token);
  THREAD_shutdown();
  UTL_message_queue_destroy(gate);
}

TEST_F(WorkerPool, FatalAlertInACallEndsOnlyThatWorker) {
  PLAT_set_processor_count_override(2);
  THREAD_init();
  THREAD_make_workers();
  THREAD_call* bad = THREAD_run_async(
      [](void*) -> void* {
        ZARIRU_alert(0, "call failed", "", "", "", t_exit);
        return nullptr;
      },
      nullptr);
  // Take the record before anything drains the fatal queue (a drain would end the program).
  exce_class* rec = nullptr;
  for (int i = 0; i < 500 && !rec; ++i) rec = static_cast<exce_class*>(UTL_message_queue_read(quit_exce, 10));
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->l1, "call failed");
  delete rec;
  // The other worker still serves calls.
  THREAD_call* good = THREAD_run_async([](void*) -> void* { return reinterpret_cast<void*>(uintptr_t{5}); }, nullptr);
  ASSERT_TRUE(THREAD_is_done(good, 5000));
  EXPECT_EQ(THREAD_cleanup(good), reinterpret_cast<void*>(uintptr_t{5}));
  EXPECT_FALSE(THREAD_is_done(bad, 0));
  // A call whose worker died is never done, so it never returns to the free list.
  UTL_message_queue_destroy(bad->done_queue);
  UTL_critical_section_destroy(&bad->lock);
  delete bad;
  THREAD_shutdown();  // joins the ended worker too
  EXPECT_EQ(log.text().find("Warning: wait on thread cleanup failed"), std::string::npos);
}

// Counters for the OpenGL hooks.
std::atomic<int> made{0}, set_calls{0}, failed{0};
int allow = 0, make_ok = 0, set_ok = 0;
int ctx_token;

void install_gl_hooks() {
  made = set_calls = failed = 0;
  THREAD_gl_hooks h;
  h.threaded_ogl = [] { return allow; };
  h.make_context = []() -> void* {
    ++made;
    return make_ok ? &ctx_token : nullptr;
  };
  h.set_context = [](void* ctx) -> int {
    ++set_calls;
    return set_ok && ctx == &ctx_token;
  };
  h.threaded_ogl_failed = [] { ++failed; };
  THREAD_set_gl_hooks(h);
}

void start_two_workers() {
  PLAT_set_processor_count_override(2);
  THREAD_init();
  THREAD_make_workers();
  THREAD_shutdown();
}

TEST_F(WorkerPool, RendererWithoutThreadedOpenGLMakesNoContexts) {
  allow = 0, make_ok = 1, set_ok = 1;
  install_gl_hooks();
  start_two_workers();
  EXPECT_EQ(made.load(), 0);
  EXPECT_EQ(set_calls.load(), 0);
  EXPECT_EQ(failed.load(), 0);
}

TEST_F(WorkerPool, EachWorkerGetsASharedContext) {
  allow = 1, make_ok = 1, set_ok = 1;
  install_gl_hooks();
  start_two_workers();
  EXPECT_EQ(made.load(), 2);
  EXPECT_EQ(set_calls.load(), 2);
  EXPECT_EQ(failed.load(), 0);
}

TEST_F(WorkerPool, ContextThatCannotBeMadeCurrentIsReportedOncePerWorker) {
  allow = 1, make_ok = 1, set_ok = 0;
  install_gl_hooks();
  start_two_workers();
  EXPECT_EQ(set_calls.load(), 2);
  EXPECT_EQ(failed.load(), 2);
}

TEST_F(WorkerPool, ContextThatCannotBeCreatedIsReportedAndNotSet) {
  allow = 1, make_ok = 0, set_ok = 1;
  install_gl_hooks();
  start_two_workers();
  EXPECT_EQ(made.load(), 2);
  EXPECT_EQ(set_calls.load(), 0);
  EXPECT_EQ(failed.load(), 2);
}

TEST(WorkerPoolDeathTest, CleanupBeforeDoneIsFatal) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_EXIT(
      {
        THREAD_init();
        THREAD_call* call = THREAD_run_async([](void*) -> void* { return nullptr; }, nullptr);
        THREAD_cleanup(call);  // no worker ran it, and nobody saw it done
      },
      testing::ExitedWithCode(1), "Thread cleanup called on not-done call\\.\n.*DUdurid/Thread/hl_thread line 610");
}

}  // namespace
