// Named statistics, remote commands, profiler hooks and the lazy block pool's bookkeeping.
// Other units declare these as static objects; the registries are constant-initialised, so a
// declaration works whatever order the units' static constructors run in.
#pragma once
#include <map>
#include <set>

using UTL_stat_type = int;

// Kinds in use.
enum : UTL_stat_type { stat_memory = 0, stat_per_frame = 2, stat_tuning = 4 };

class UTL_stat {
 public:
  // Watches a float that lives elsewhere.
  UTL_stat(float* target, const char* name, UTL_stat_type type);
  // Owns its value.
  UTL_stat(const char* name, UTL_stat_type type, float initial);
  ~UTL_stat();
  UTL_stat(const UTL_stat&) = delete;
  UTL_stat& operator=(const UTL_stat&) = delete;

  // Declares the registry ready: everything waiting goes in under its kind.
  static void init_stats();
  // Registers this statistic under its kind.
  void publish();
  // Zeroes the own value of every registered statistic of a kind.
  static void reset_stats(UTL_stat_type type);

  // What the registry holds (for reports and tests).
  static UTL_stat* waiting_list();
  static const std::map<UTL_stat_type, std::set<UTL_stat*>>& registered();
  static int initialized();

  float value;
  UTL_stat_type type;
  UTL_stat* next;
  float* target;
  const char* name;
};

class UTL_remote_cmd {
 public:
  UTL_remote_cmd(const char* name, void (*fn)());
  ~UTL_remote_cmd();
  UTL_remote_cmd(const UTL_remote_cmd&) = delete;
  UTL_remote_cmd& operator=(const UTL_remote_cmd&) = delete;

  // Calls the command with that id; an unknown id does nothing.
  static void invoke(void* ignored, int id);
  static void init_remote_cmds();
  void publish();

  static UTL_remote_cmd* list();  // most recently registered first
  static int inited_flag();

  UTL_remote_cmd* next;
  void (*fn)();
  const char* name;
  int id;
};

void UTL_profiler_init();
void UTL_profiler_start(const char* name);
void UTL_profiler_stop();

// Bookkeeping of a pool of 32768-byte blocks, each starting with the link to the next.
class UTL_lazy_mempool {
 public:
  static constexpr int kBlockSize = 32768;

  UTL_lazy_mempool();
  ~UTL_lazy_mempool();
  UTL_lazy_mempool(const UTL_lazy_mempool&) = delete;
  UTL_lazy_mempool& operator=(const UTL_lazy_mempool&) = delete;

  // Writes the totals to the log.
  void dump();

  int total_allocated;
  int total_wasted;
  void* blocks;  // head of the block list, blocks from nedmalloc
  void* reserved;
  int total_ready;

  static float global_total;  // bytes held in blocks by all pools
};
