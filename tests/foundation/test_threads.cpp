// Message queues (poll, time-outs, FIFO order across writers), recursive critical sections,
// and the fatal alerts of failing lock calls.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "foundation/threads.h"

namespace {

using clock_type = std::chrono::steady_clock;

double ms_since(clock_type::time_point start) {
  return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

void* tag(uintptr_t v) { return reinterpret_cast<void*>(v); }

class Queue : public testing::Test {
 protected:
  void SetUp() override { UTL_message_queue_create(&q); }
  void TearDown() override { UTL_message_queue_destroy(q); }
  UTL_message_queue* q = nullptr;
};

TEST_F(Queue, PollOfEmptyQueueReturnsAtOnce) {
  auto start = clock_type::now();
  EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
  EXPECT_EQ(UTL_message_queue_read(q, -7), nullptr);  // below -1 reads as a poll
  EXPECT_LT(ms_since(start), 1000.0);
  UTL_message_queue_write(q, tag(5));
  EXPECT_EQ(UTL_message_queue_read(q, -3), tag(5));
  EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
}

TEST_F(Queue, SingleWriterKeepsOrder) {
  for (uintptr_t i = 1; i <= 5; ++i) UTL_message_queue_write(q, tag(i));
  for (uintptr_t i = 1; i <= 5; ++i) EXPECT_EQ(UTL_message_queue_read(q, 0), tag(i));
  EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
}

// Bursts larger than the node blocks, drained between and interleaved with reads: the nodes a
// queue reuses and gives back never lose, repeat or reorder an item.
TEST_F(Queue, BurstsDrainedAndRefilledKeepOrder) {
  uintptr_t written = 0, read = 0;
  for (int burst : {3000, 1, 257, 5000, 2}) {
    for (int i = 0; i < burst; ++i) {
      UTL_message_queue_write(q, tag(++written));
      if (i % 3 == 0) {
        EXPECT_EQ(UTL_message_queue_read(q, 0), tag(++read));
      }
    }
    while (read < written) {
      ASSERT_EQ(UTL_message_queue_read(q, 0), tag(++read));
    }
    EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
  }
}

TEST_F(Queue, TimedReadOfEmptyQueueTimesOut) {
  auto start = clock_type::now();
  EXPECT_EQ(UTL_message_queue_read(q, 250), nullptr);
  double waited = ms_since(start);
  EXPECT_GE(waited, 245.0);
  EXPECT_LT(waited, 5000.0);
}

TEST_F(Queue, TimedReadDeadlineIsNotRenewedByWakeUps) {
  // A writer and a second reader keep the queue busy for 1.5 s; the timed reader's 300 ms
  // deadline must hold however often it is woken.
  std::atomic<bool> stop{false};
  std::thread taker([&] {
    while (UTL_message_queue_read(q, -1) != tag(999)) {
    }
  });
  std::thread writer([&] {
    for (int i = 0; i < 30 && !stop; ++i) {
      UTL_message_queue_write(q, tag(1 + i));
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  double waited = 0;
  for (;;) {
    auto start = clock_type::now();
    void* got = UTL_message_queue_read(q, 300);
    waited = ms_since(start);
    if (!got) break;  // took an item instead of timing out: read again
  }
  EXPECT_GE(waited, 295.0);
  EXPECT_LT(waited, 1200.0);
  stop = true;
  writer.join();
  UTL_message_queue_write(q, tag(999));
  taker.join();
  while (UTL_message_queue_read(q, 0)) {
  }
}

TEST_F(Queue, InfiniteReadWaitsForAnItem) {
  std::atomic<bool> returned{false};
  void* got = nullptr;
  std::thread reader([&] {
    got = UTL_message_queue_read(q, -1);
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_FALSE(returned.load());
  UTL_message_queue_write(q, tag(42));
  reader.join();
  EXPECT_TRUE(returned.load());
  EXPECT_EQ(got, tag(42));
}

TEST_F(Queue, InfiniteReadReturnsNullItem) {
  // The start handshake sends a null item and waits for it with -1.
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    UTL_message_queue_write(q, nullptr);
  });
  EXPECT_EQ(UTL_message_queue_read(q, -1), nullptr);
  writer.join();
  EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
}

TEST_F(Queue, FifoPerWriterAcrossSeveralWriters) {
  constexpr int kWriters = 4, kItems = 2000;
  std::vector<std::thread> writers;
  for (uintptr_t w = 0; w < kWriters; ++w)
    writers.emplace_back([&, w] {
      for (uintptr_t i = 1; i <= kItems; ++i) UTL_message_queue_write(q, tag((w << 20) | i));
    });
  std::vector<uintptr_t> last(kWriters, 0);
  int count = 0;
  for (; count < kWriters * kItems; ++count) {
    uintptr_t v = reinterpret_cast<uintptr_t>(UTL_message_queue_read(q, 5000));
    ASSERT_NE(v, 0u) << "item " << count << " did not arrive";
    uintptr_t w = v >> 20, seq = v & 0xFFFFF;
    ASSERT_LT(w, static_cast<uintptr_t>(kWriters));
    EXPECT_EQ(seq, last[w] + 1) << "writer " << w;
    last[w] = seq;
  }
  for (auto& t : writers) t.join();
  EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
}

TEST_F(Queue, SeveralReadersShareTheItems) {
  // Every item reaches exactly one of several blocked readers; none is stranded.
  constexpr int kReaders = 3, kEach = 500;
  std::atomic<uintptr_t> sum{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < kReaders; ++r)
    readers.emplace_back([&, r] {
      for (int i = 0; i < kEach; ++i) sum += reinterpret_cast<uintptr_t>(UTL_message_queue_read(q, r % 2 ? -1 : 10000));
    });
  uintptr_t want = 0;
  for (uintptr_t i = 1; i <= kReaders * kEach; ++i) {
    UTL_message_queue_write(q, tag(i));
    want += i;
  }
  for (auto& t : readers) t.join();
  EXPECT_EQ(sum.load(), want);
}

TEST(QueueDestroy, LeavesQueuedItemsAlone) {
  UTL_message_queue* q;
  UTL_message_queue_create(&q);
  int a = 11, b = 22;
  UTL_message_queue_write(q, &a);
  UTL_message_queue_write(q, &b);
  UTL_message_queue_destroy(q);  // must not free the items (they are not heap blocks)
  EXPECT_EQ(a + b, 33);
}

TEST(Sleep, ZeroAndNegativeReturnAtOnce) {
  auto start = clock_type::now();
  for (int i = 0; i < 100; ++i) {
    UTL_sleep(0);
    UTL_sleep(-50);
  }
  EXPECT_LT(ms_since(start), 1000.0);
  start = clock_type::now();
  UTL_sleep(30);
  EXPECT_GE(ms_since(start), 29.0);
}

TEST(CriticalSection, RecursiveReentryAndRelease) {
  UTL_critical_section cs;
  UTL_critical_section_create(&cs);
  std::atomic<int> other_has_it{0};
  UTL_critical_section_lock(&cs);
  UTL_critical_section_lock(&cs);  // the owner may take it again
  {
    UTL_critical_section_hold again(&cs);
  }
  UTL_critical_section_unlock(&cs);
  std::thread other([&] {
    UTL_critical_section_lock(&cs);
    other_has_it = 1;
    UTL_critical_section_unlock(&cs);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(other_has_it.load(), 0) << "free after fewer unlocks than locks";
  UTL_critical_section_unlock(&cs);
  other.join();
  EXPECT_EQ(other_has_it.load(), 1);
  UTL_critical_section_destroy(&cs);
}

TEST(ThreadCreate, RunsBodyAndJoinReturnsItsValue) {
  UTL_thread_t t, id, join;
  static int arg = 20;
  UTL_thread_create([](void* p) -> void* { return tag(static_cast<uintptr_t>(*static_cast<int*>(p) + 1)); }, &arg,
                    &t, &id, &join);
  EXPECT_TRUE(pthread_equal(t, id));
  EXPECT_TRUE(pthread_equal(t, join));
  EXPECT_EQ(UTL_thread_join(&t, &join), tag(21));
}

TEST(ThreadCreate, ExitEndsTheThreadWithItsValue) {
  UTL_thread_t t, id, join;
  UTL_thread_create(
      [](void*) -> void* {
        UTL_thread_exit(tag(7));
      },
      nullptr, &t, &id, &join);
  EXPECT_EQ(UTL_thread_join(&t, &join), tag(7));
  EXPECT_GE(UTL_count_processors(), 1);
  EXPECT_TRUE(pthread_equal(UTL_get_current_thread(), pthread_self()));
}

TEST(CriticalSectionDeathTest, UnlockWithoutOwningIsFatal) {
  EXPECT_EXIT(
      {
        UTL_critical_section cs;
        UTL_critical_section_create(&cs);
        UTL_critical_section_unlock(&cs);
      },
      testing::ExitedWithCode(1), "\"pthread_mutex_unlock\" OS error\nerr=1\\.000000\n.*DUdurid/UTL/UTL_thread line 224");
}

TEST(CriticalSectionDeathTest, DestroyWhileLockedIsFatal) {
  EXPECT_EXIT(
      {
        UTL_critical_section cs;
        UTL_critical_section_create(&cs);
        UTL_critical_section_lock(&cs);
        UTL_critical_section_destroy(&cs);
      },
      testing::ExitedWithCode(1), "\"::pthread_mutex_destroy\" OS error\nerr=16\\.000000\n.*line 198");
}

}  // namespace
