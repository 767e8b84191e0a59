// Statistics and remote command registries. Registration runs from static constructors of
// other units, so every registry here is either constant-initialised or built on first use.
#include "foundation/stats.h"

#include <string>

#include "foundation/globals.h"
#include "foundation/nedmalloc.h"

namespace {

constinit UTL_stat* waiting = nullptr;
constinit int stat_initialized = 0;

std::map<UTL_stat_type, std::set<UTL_stat*>>& all_stats() {
  static std::map<UTL_stat_type, std::set<UTL_stat*>> stats;
  return stats;
}

constinit UTL_remote_cmd* cmd_list = nullptr;
constinit int free_id = 1;
constinit int inited = 0;

void enlist(UTL_stat* s) {
  if (stat_initialized == 0) {
    s->next = waiting;
    waiting = s;
  } else {
    all_stats()[s->type].insert(s);
  }
}

}  // namespace

UTL_stat::UTL_stat(float* target_, const char* name_, UTL_stat_type type_)
    : value(0.0f), type(type_), next(nullptr), target(target_), name(name_) {
  enlist(this);
}

UTL_stat::UTL_stat(const char* name_, UTL_stat_type type_, float initial)
    : value(initial), type(type_), next(nullptr), target(&value), name(name_) {
  enlist(this);
}

UTL_stat::~UTL_stat() {}

void UTL_stat::init_stats() {
  for (UTL_stat* s = waiting; s; s = s->next) all_stats()[s->type].insert(s);
  stat_initialized = 1;
}

void UTL_stat::publish() { all_stats()[type].insert(this); }

void UTL_stat::reset_stats(UTL_stat_type kind) {
  auto it = all_stats().find(kind);
  if (it == all_stats().end()) return;
  for (UTL_stat* s : it->second) s->value = 0.0f;
}

UTL_stat* UTL_stat::waiting_list() { return waiting; }
const std::map<UTL_stat_type, std::set<UTL_stat*>>& UTL_stat::registered() { return all_stats(); }
int UTL_stat::initialized() { return stat_initialized; }

UTL_remote_cmd::UTL_remote_cmd(const char* name_, void (*fn_)()) : next(cmd_list), fn(fn_), name(name_), id(free_id++) {
  cmd_list = this;
}

UTL_remote_cmd::~UTL_remote_cmd() {}

void UTL_remote_cmd::invoke(void*, int wanted) {
  for (UTL_remote_cmd* c = cmd_list; c; c = c->next)
    if (c->id == wanted) {
      if (c->fn) c->fn();
      return;
    }
}

void UTL_remote_cmd::init_remote_cmds() { inited = 1; }

void UTL_remote_cmd::publish() {}

UTL_remote_cmd* UTL_remote_cmd::list() { return cmd_list; }
int UTL_remote_cmd::inited_flag() { return inited; }

void UTL_profiler_init() {}
void UTL_profiler_start(const char*) {}
void UTL_profiler_stop() {}

constinit float UTL_lazy_mempool::global_total = 0.0f;

UTL_lazy_mempool::UTL_lazy_mempool()
    : total_allocated(0), total_wasted(0), blocks(nullptr), reserved(nullptr), total_ready(0) {}

UTL_lazy_mempool::~UTL_lazy_mempool() {
  while (blocks) {
    void* block = blocks;
    blocks = *static_cast<void**>(block);
    nedfree(block);
    global_total -= float(kBlockSize);
  }
}

void UTL_lazy_mempool::dump() {
  xer_line("Total memory allocated: " + std::to_string(total_allocated) + "\n");
  xer_line("Total wasted memory: " + std::to_string(total_wasted) + "\n");
  xer_line("Total ready memory: " + std::to_string(total_ready) + "\n");
}

// Bytes held by the lazy pools, under the memory kind.
UTL_stat g_memory_used(&UTL_lazy_mempool::global_total, "memory/lazy_pools", stat_memory);
