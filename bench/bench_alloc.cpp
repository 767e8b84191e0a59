// The pooled allocator against glibc malloc, jemalloc and mimalloc in the same run: small-block
// churn on one thread, eight threads contending, blocks freed by another thread, and a workload
// shaped like the file-list scan (strings, vectors, maps). jemalloc and mimalloc are loaded
// with dlopen into their own scope, so the process keeps its own allocator; the ratios are
// printed at the end.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_ratio.h"
#include "foundation/nedmalloc.h"

namespace {

struct Allocator {
  const char* name;
  void* (*alloc)(size_t);
  void (*release)(void*);
};

std::vector<Allocator> g_allocators;

void* glibc_malloc(size_t n) { return std::malloc(n); }
void glibc_free(void* p) { std::free(p); }

bool load(const char* lib, const char* alloc_sym, const char* free_sym, const char* name) {
  void* h = dlopen(lib, RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    std::fprintf(stderr, "bench_alloc: %s not loaded (%s)\n", lib, dlerror());
    return false;
  }
  auto a = reinterpret_cast<void* (*)(size_t)>(dlsym(h, alloc_sym));
  auto f = reinterpret_cast<void (*)(void*)>(dlsym(h, free_sym));
  if (!a || !f) {
    std::fprintf(stderr, "bench_alloc: %s lacks %s/%s\n", lib, alloc_sym, free_sym);
    return false;
  }
  g_allocators.push_back({name, a, f});
  return true;
}

// A tiny deterministic generator, the same sequence for every allocator.
struct Rng {
  uint64_t s;
  uint32_t next() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return uint32_t(s >> 33);
  }
};

size_t small_size(Rng& r) {
  uint32_t x = r.next();
  return (x & 3) == 0 ? 16 + (x >> 8) % 2048 : 8 + (x >> 8) % 240;
}

// One thread keeps a ring of live blocks and replaces one per iteration.
void churn(benchmark::State& state, const Allocator& a) {
  constexpr size_t kRing = 2048;
  std::vector<void*> ring(kRing, nullptr);
  Rng rng{uint64_t(state.thread_index()) * 7919 + 1};
  size_t i = 0;
  for (auto _ : state) {
    void*& slot = ring[i++ & (kRing - 1)];
    if (slot) a.release(slot);
    size_t n = small_size(rng);
    slot = a.alloc(n);
    static_cast<char*>(slot)[0] = char(n);
    benchmark::DoNotOptimize(slot);
  }
  for (void* p : ring)
    if (p) a.release(p);
  state.SetItemsProcessed(state.iterations());
}

// Blocks made on one thread and freed on its partner, through a single-producer queue.
struct Handoff {
  static constexpr size_t kSize = 4096;
  std::atomic<size_t> head{0}, tail{0};
  void* slots[kSize];
};
Handoff g_handoff[4];

void cross_thread(benchmark::State& state, const Allocator& a) {
  int t = state.thread_index();
  Handoff& q = g_handoff[t / 2];
  bool producer = (t & 1) == 0;
  Rng rng{uint64_t(t) * 104729 + 3};
  if (producer) {
    for (auto _ : state) {
      size_t h = q.head.load(std::memory_order_relaxed);
      while (h - q.tail.load(std::memory_order_acquire) >= Handoff::kSize) std::this_thread::yield();
      void* p = a.alloc(small_size(rng));
      static_cast<char*>(p)[0] = 1;
      q.slots[h % Handoff::kSize] = p;
      q.head.store(h + 1, std::memory_order_release);
    }
  } else {
    for (auto _ : state) {
      size_t tl = q.tail.load(std::memory_order_relaxed);
      while (q.head.load(std::memory_order_acquire) == tl) std::this_thread::yield();
      a.release(q.slots[tl % Handoff::kSize]);
      q.tail.store(tl + 1, std::memory_order_release);
    }
  }
  state.SetItemsProcessed(state.iterations());
}

// Standard containers on the allocator under test.
const Allocator* g_current = nullptr;
template <class T>
struct BenchAlloc {
  using value_type = T;
  BenchAlloc() = default;
  template <class U>
  BenchAlloc(const BenchAlloc<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(g_current->alloc(n * sizeof(T))); }
  void deallocate(T* p, size_t) { g_current->release(p); }
  template <class U>
  bool operator==(const BenchAlloc<U>&) const { return true; }
};
using bstring = std::basic_string<char, std::char_traits<char>, BenchAlloc<char>>;
struct Version {
  bstring md5;
  long size;
};
using history = std::vector<Version, BenchAlloc<Version>>;
using file_map = std::map<bstring, history, std::less<bstring>, BenchAlloc<std::pair<const bstring, history>>>;

// Reads a list of a few thousand paths with version histories, looks each one up, then drops it.
void file_list_scan(benchmark::State& state, const Allocator& a) {
  g_current = &a;
  constexpr int kFiles = 4000;
  for (auto _ : state) {
    file_map files;
    Rng rng{42};
    for (int i = 0; i < kFiles; ++i) {
      bstring path("Resources/default scenery/field registers/beacon charts/");
      path += std::to_string(i % 97).c_str();
      path += "/file_";
      path += std::to_string(i).c_str();
      path += ".dsf";
      history& h = files[path];
      int versions = 1 + int(rng.next() % 4);
      for (int v = 0; v < versions; ++v) {
        Version ver{bstring("0123456789abcdef0123456789abcdef"), long(rng.next())};
        ver.md5[v] = char('a' + v);
        h.push_back(std::move(ver));
      }
    }
    long total = 0;
    for (int i = 0; i < kFiles; i += 3) {
      bstring key("Resources/default scenery/field registers/beacon charts/");
      key += std::to_string(i % 97).c_str();
      key += "/file_";
      key += std::to_string(i).c_str();
      key += ".dsf";
      auto it = files.find(key);
      if (it != files.end()) total += it->second.back().size;
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * kFiles);
}

// Nanoseconds per iteration of each repetition, by benchmark name.
std::map<std::string, bench::Times> g_results;

class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && !r.error_occurred)
        g_results[r.run_name.str()].s.push_back(r.GetAdjustedRealTime());
    ConsoleReporter::ReportRuns(runs);
  }
};


}  // namespace

int main(int argc, char** argv) {
  // jemalloc needs more static TLS than glibc keeps for dlopen by default: ask for it once.
  if (!std::getenv("VOL_BENCH_REEXEC")) {
    setenv("VOL_BENCH_REEXEC", "1", 1);
    setenv("GLIBC_TUNABLES", "glibc.rtld.optional_static_tls=16384", 1);
    execv("/proc/self/exe", argv);
  }
  g_allocators.push_back({"ned", nedmalloc, nedfree});
  g_allocators.push_back({"glibc", glibc_malloc, glibc_free});
  load("libjemalloc.so.2", "malloc", "free", "jemalloc");
  load("libmimalloc.so.2", "mi_malloc", "mi_free", "mimalloc");

  struct Case {
    const char* name;
    void (*fn)(benchmark::State&, const Allocator&);
    int threads;
  } cases[] = {{"churn_1_thread", churn, 1},
               {"contend_8_threads", churn, 8},
               {"cross_thread_free_8_threads", cross_thread, 8},
               {"file_list_scan", file_list_scan, 1}};
  std::vector<std::string> names;
  for (auto& c : cases)
    for (const Allocator& a : g_allocators) {
      auto* b = benchmark::RegisterBenchmark((std::string(c.name) + "/" + a.name).c_str(),
                                             [fn = c.fn, &a](benchmark::State& s) { fn(s, a); });
      if (c.threads > 1) b->Threads(c.threads)->UseRealTime();
    }

  // Repetitions in random order, so that every allocator meets the machine's changing load.
  std::vector<char*> args(argv, argv + argc);
  char reps[] = "--benchmark_repetitions=5", shuffle[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, {reps, shuffle});
  int nargs = static_cast<int>(args.size());
  benchmark::Initialize(&nargs, args.data());
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nPer operation, the pooled allocator against each peer:\n");
  for (auto& c : cases) {
    const std::string suffix = c.threads > 1 ? "/real_time/threads:" + std::to_string(c.threads) : "";
    const auto ned = g_results.find(std::string(c.name) + "/ned" + suffix);
    if (ned == g_results.end()) continue;
    for (const char* peer : {"glibc", "jemalloc", "mimalloc"}) {
      const auto other = g_results.find(std::string(c.name) + "/" + peer + suffix);
      if (other != g_results.end()) bench::print_ratio(c.name, ned->second, peer, other->second, "us", 1e-3);
    }
  }
  return 0;
}
