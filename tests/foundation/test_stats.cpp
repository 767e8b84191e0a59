// Statistics and remote command registries, the profiler hooks and the lazy pool bookkeeping.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "foundation/globals.h"
#include "foundation/nedmalloc.h"
#include "foundation/stats.h"

namespace {

// Declared by this unit's static constructor, whatever order the units initialise in.
float watched_frames = 3.0f;
UTL_stat test_watch(&watched_frames, "test/watched", stat_per_frame);
UTL_stat test_owned("test/owned", stat_tuning, 2.5f);

int calls_a = 0, calls_b = 0;
void cmd_a() { ++calls_a; }
void cmd_b() { ++calls_b; }
UTL_remote_cmd test_cmd_a("Test Command A", cmd_a);
UTL_remote_cmd test_cmd_b("Test Command B", cmd_b);

bool waiting_holds(const UTL_stat* s) {
  for (UTL_stat* w = UTL_stat::waiting_list(); w; w = w->next)
    if (w == s) return true;
  return false;
}

bool registered_under(UTL_stat_type kind, UTL_stat* s) {
  auto& reg = UTL_stat::registered();
  auto it = reg.find(kind);
  return it != reg.end() && it->second.count(s) != 0;
}

UTL_stat* find_waiting(const char* name) {
  for (UTL_stat* w = UTL_stat::waiting_list(); w; w = w->next)
    if (std::string(w->name) == name) return w;
  return nullptr;
}

}  // namespace

TEST(Stats, StaticDeclarationsWaitUntilTheRegistryIsReady) {
  UTL_stat* pools = find_waiting("memory/lazy_pools");
  ASSERT_NE(pools, nullptr);
  EXPECT_EQ(pools->type, stat_memory);
  EXPECT_EQ(pools->target, &UTL_lazy_mempool::global_total);
  EXPECT_TRUE(waiting_holds(&test_watch));
  EXPECT_TRUE(waiting_holds(&test_owned));
  EXPECT_EQ(test_owned.target, &test_owned.value);
  EXPECT_EQ(test_watch.target, &watched_frames);
  if (UTL_stat::initialized() == 0) {  // only in the first run of this process
    EXPECT_FALSE(registered_under(stat_per_frame, &test_watch));
    EXPECT_FLOAT_EQ(*test_owned.target, 2.5f);
  }

  UTL_stat::init_stats();
  EXPECT_EQ(UTL_stat::initialized(), 1);
  EXPECT_TRUE(registered_under(stat_per_frame, &test_watch));
  EXPECT_TRUE(registered_under(stat_tuning, &test_owned));
  EXPECT_TRUE(registered_under(stat_memory, pools));
  EXPECT_FALSE(registered_under(stat_tuning, &test_watch));
  EXPECT_TRUE(waiting_holds(&test_watch)) << "the waiting list stays as it was";

  // Declared after the registry is ready: straight in, not waiting.
  static UTL_stat late("test/late", stat_per_frame, 1.0f);
  EXPECT_TRUE(registered_under(stat_per_frame, &late));
  EXPECT_FALSE(waiting_holds(&late));

  // Resetting a kind zeroes own values only; a watched float is left alone.
  test_watch.value = 9.0f;
  UTL_stat::reset_stats(stat_per_frame);
  EXPECT_FLOAT_EQ(late.value, 0.0f);
  EXPECT_FLOAT_EQ(test_watch.value, 0.0f);
  EXPECT_FLOAT_EQ(watched_frames, 3.0f);
  test_owned.value = 2.5f;
  UTL_stat::reset_stats(stat_per_frame);
  EXPECT_FLOAT_EQ(test_owned.value, 2.5f) << "another kind is untouched";
  UTL_stat::reset_stats(99);  // a kind nobody declared
}

TEST(RemoteCommands, IdsFollowRegistrationAndInvokeCallsByID) {
  EXPECT_EQ(test_cmd_b.id, test_cmd_a.id + 1);
  bool seen_dump = false;
  int count = 0;
  for (UTL_remote_cmd* c = UTL_remote_cmd::list(); c; c = c->next) {
    ++count;
    if (std::string(c->name) == "Dump Memory Info") seen_dump = true;
  }
  EXPECT_TRUE(seen_dump);
  EXPECT_GE(count, 3);
  EXPECT_EQ(UTL_remote_cmd::list()->id, count) << "the newest command is first and ids start at 1";

  calls_a = calls_b = 0;
  UTL_remote_cmd::invoke(nullptr, test_cmd_b.id);
  EXPECT_EQ(calls_b, 1);
  EXPECT_EQ(calls_a, 0);
  UTL_remote_cmd::invoke(nullptr, test_cmd_a.id);
  EXPECT_EQ(calls_a, 1);
  UTL_remote_cmd::invoke(nullptr, count + 1);
  UTL_remote_cmd::invoke(nullptr, 0);
  EXPECT_EQ(calls_a + calls_b, 2);

  UTL_remote_cmd::init_remote_cmds();
  EXPECT_EQ(UTL_remote_cmd::inited_flag(), 1);
  test_cmd_a.publish();
  EXPECT_EQ(calls_a, 1);
}

TEST(Profiler, HooksDoNothingAndAcceptAnyName) {
  UTL_profiler_init();
  UTL_profiler_start("frame");
  UTL_profiler_start(nullptr);
  UTL_profiler_stop();
  SUCCEED();
}

TEST(LazyMempool, DestroyingGivesEveryBlockBack) {
  float before = UTL_lazy_mempool::global_total;
  {
    UTL_lazy_mempool pool;
    EXPECT_EQ(pool.total_allocated, 0);
    EXPECT_EQ(pool.blocks, nullptr);
    for (int i = 0; i < 3; ++i) {
      void* b = nedmalloc(UTL_lazy_mempool::kBlockSize);
      ASSERT_NE(b, nullptr);
      *static_cast<void**>(b) = pool.blocks;
      pool.blocks = b;
      UTL_lazy_mempool::global_total += float(UTL_lazy_mempool::kBlockSize);
    }
    EXPECT_FLOAT_EQ(UTL_lazy_mempool::global_total, before + 98304.0f);
  }
  EXPECT_FLOAT_EQ(UTL_lazy_mempool::global_total, before);
}

TEST(LazyMempool, DumpWritesTheTotalsToTheLog) {
  auto path = std::filesystem::temp_directory_path() / ("stats_log_" + std::to_string(::getpid()) + ".txt");
  bool was_open = xer.is_open();
  ASSERT_FALSE(was_open) << "the test owns the log stream";
  xer.open(path);
  UTL_lazy_mempool pool;
  pool.total_allocated = 65536;
  pool.total_wasted = 12;
  pool.total_ready = 4000;
  pool.dump();
  xer.close();
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("Total memory allocated: 65536\n"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("Total wasted memory: 12\n"), std::string::npos);
  EXPECT_NE(text.str().find("Total ready memory: 4000\n"), std::string::npos);
  std::filesystem::remove(path);
}
