// Failure records raised on worker threads reach the main thread: warnings let the worker go
// on, fatal records end only that worker and are shown first.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>

#include "alert_sink.h"
#include "foundation/alert.h"
#include "foundation/exce.h"
#include "foundation/globals.h"
#include "foundation/worker_pool.h"
#include "log_capture.h"

namespace {

// Runs body on a thread started the program's way (THREAD_create) and waits for its end.
void run_on_thread(std::function<void()> body) {
  UTL_thread_t t, id, join;
  THREAD_create(
      [](void* p) -> void* {
        (*static_cast<std::function<void()>*>(p))();
        return nullptr;
      },
      &body, &t, &id, &join, 0);
  UTL_thread_join(&t, &join);
}

exce_class* take(UTL_message_queue* q) { return static_cast<exce_class*>(UTL_message_queue_read(q, 0)); }

class Handoff : public testing::Test {
 protected:
  void SetUp() override { THREAD_init(); }
  void TearDown() override {
    while (exce_class* r = take(quit_exce)) delete r;
    while (exce_class* r = take(warn_exce)) delete r;
    THREAD_shutdown();
    app_done = 0;
  }
  LogCapture log;
};

TEST(ExceRecord, DefaultsAndCopies) {
  exce_class d;
  EXPECT_EQ(d.l1 + d.l2 + d.l3 + d.l4, "");
  EXPECT_STREQ(d.file, "no exception");
  EXPECT_EQ(d.line, 0);
  EXPECT_EQ(d.severity, 2);
  static const char kFile[] = "Installer-f/utils";
  exce_class r("a", "b", "c", "d", kFile, 12, 1);
  exce_class copy(r);
  EXPECT_EQ(copy.l1 + copy.l2 + copy.l3 + copy.l4, "abcd");
  EXPECT_EQ(copy.file, kFile);  // the pointer, not a copy of the text
  EXPECT_EQ(copy.line, 12);
  EXPECT_EQ(copy.severity, 1);
  copy.MakeFatal();
  EXPECT_EQ(copy.severity, 2);
  EXPECT_EQ(r.severity, 1);
}

TEST_F(Handoff, WarningOnWorkerLetsItGoOn) {
  AlertSink sink;
  std::atomic<int> after{0};
  run_on_thread([&] {
    ZARIRU_alert(0, "disk slow", "line two", "", "", t_alert);
    after = 1;
  });
  EXPECT_EQ(after.load(), 1);
  EXPECT_EQ(sink.count(), 0u) << "a worker shows nothing itself";
  THREAD_check_exception(1);
  auto got = sink.alerts();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].l1, "disk slow");
  EXPECT_EQ(got[0].l2, "line two");
  EXPECT_EQ(got[0].type, t_alert);
  EXPECT_NE(got[0].file.find("test_exce.cpp"), std::string::npos);
  EXPECT_GT(got[0].line, 0);
}

TEST_F(Handoff, FatalOnWorkerEndsOnlyThatWorker) {
  std::atomic<int> after{0}, other{0};
  run_on_thread([&] {
    ZARIRU_alert(0, "worker fatal", "", "", "", t_exit);
    after = 1;  // never reached
  });
  EXPECT_EQ(after.load(), 0);
  run_on_thread([&] { other = 1; });  // the program and other threads go on
  EXPECT_EQ(other.load(), 1);
  exce_class* r = take(quit_exce);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->l1, "worker fatal");
  EXPECT_EQ(r->severity, 2);
  delete r;
  EXPECT_EQ(take(warn_exce), nullptr);
}

TEST_F(Handoff, LanguageBoxFromWorkerIsDropped) {
  run_on_thread([] { ZARIRU_alert(0, "choose", "", "", "", t_langbox); });
  EXPECT_EQ(take(quit_exce), nullptr);
  EXPECT_EQ(take(warn_exce), nullptr);
}

TEST_F(Handoff, WarningsComeOutInSendingOrderAndOnlyWithAll) {
  AlertSink sink;
  run_on_thread([] {
    for (const char* l : {"w1", "w2", "w3"}) THREAD_send_exception(exce_class(l, "", "", "", "f", 1, 1));
  });
  THREAD_check_exception(0);
  EXPECT_EQ(sink.count(), 0u) << "draining only the fatal queue leaves warnings";
  THREAD_check_exception(1);
  auto got = sink.alerts();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].l1, "w1");
  EXPECT_EQ(got[1].l1, "w2");
  EXPECT_EQ(got[2].l1, "w3");
}

TEST_F(Handoff, EscapingExceptionsBecomeFatalRecords) {
  run_on_thread([] { throw std::runtime_error("boom"); });
  run_on_thread([] { throw 42; });
  run_on_thread([] { throw exce_class("thrown record", "", "", "", "Installer-f/main", 9, 1); });
  exce_class* a = take(quit_exce);
  exce_class* b = take(quit_exce);
  exce_class* c = take(quit_exce);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(a->l1, "Caught an unhandled C++ exception");
  EXPECT_EQ(a->l2, "boom");
  EXPECT_EQ(a->line, 366);
  EXPECT_STREQ(a->file, "DUdurid/Thread/hl_thread");
  EXPECT_EQ(b->l1, "Caught an unhandled unknown exception");
  EXPECT_EQ(b->line, 368);
  EXPECT_EQ(c->l1, "thrown record");
  EXPECT_EQ(c->severity, 2) << "made fatal";
  EXPECT_EQ(c->line, 9);
  for (exce_class* r : {a, b, c}) EXPECT_EQ(r->severity, 2);
  delete a;
  delete b;
  delete c;
}

TEST_F(Handoff, ReportOnWorkerQueuesFatalAndEndsThread) {
  std::atomic<int> after{0};
  run_on_thread([&] {
    exce_class r("late warning", "x", "", "", "DUdurid/OOPS_cpp/tman", 77, 1);
    r.Report();
    after = 1;
  });
  EXPECT_EQ(after.load(), 0);
  EXPECT_EQ(app_done, 1);
  exce_class* r = take(quit_exce);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->l1, "late warning");
  EXPECT_EQ(r->severity, 2);
  delete r;
  EXPECT_NE(log.text().find("EXCEPTION REPORTED FROM THREAD!!  File: DUdurid/OOPS_cpp/tman, line 77.\nlate warning\nx\n"),
            std::string::npos);
}

TEST_F(Handoff, LogAndContinueWritesTheRecord) {
  exce_class(  "one", "two", "", "", "src/x", 5, 0).LogAndContinue();
  exce_class("bad", "", "", "", "src/y", 6, 1).LogAndContinue();
  std::string t = log.text();
  EXPECT_NE(t.find("Logging non-fatal Exception thrown from file: src/x, line 5.\none\ntwo\n\n\n"), std::string::npos);
  EXPECT_NE(t.find("Logging fatal Exception thrown from file: src/y, line 6.\nbad\n"), std::string::npos);
}

TEST_F(Handoff, MainThreadSendDoesNotEndIt) {
  AlertSink sink;
  THREAD_send_exception(exce_class("main fatal", "", "", "", "f", 1, 2));
  exce_class* r = take(quit_exce);  // still here: the main thread returned
  ASSERT_NE(r, nullptr);
  delete r;
}

void print_hook(int, std::string l1, std::string, std::string, std::string, int type, const char*, int) {
  std::fprintf(stderr, "[%d:%s]\n", type, l1.c_str());
}

TEST(HandoffDeathTest, FatalRecordsAreShownFirstAndEndTheProcess) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_EXIT(
      {
        THREAD_init();
        for (const char* who : {"one", "two"})
          run_on_thread([who] {
            ZARIRU_alert(0, std::string("warn-") + who, "", "", "", t_alert);
            ZARIRU_alert(0, std::string("fatal-") + who, "", "", "", t_exit);
          });
        ZARIRU_set_alert_hook(print_hook);
        THREAD_check_exception(1);
      },
      testing::ExitedWithCode(1), "^\\[2:fatal-one\\]\n$");
}

}  // namespace
