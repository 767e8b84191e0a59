// Long runs of the allocator: blocks handed between eight threads with checksums, and a random
// sequence of operations compared with a shadow copy while the heap checker walks every chunk.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "foundation/alloc_core.h"
#include "foundation/nedmalloc.h"

namespace {

struct Block {
  uint32_t* data;
  uint32_t words;
  uint32_t sum;
  uint32_t seed;
};

uint32_t fill(uint32_t* d, uint32_t words, uint32_t seed) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < words; ++i) {
    d[i] = seed * 2654435761u + i * 40503u;
    sum = sum * 31 + d[i];
  }
  return sum;
}

uint32_t checksum(const uint32_t* d, uint32_t words) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < words; ++i) sum = sum * 31 + d[i];
  return sum;
}

class Mailbox {
 public:
  void put(Block b) {
    std::lock_guard<std::mutex> lk(mu_);
    q_.push_back(b);
  }
  bool take(Block* b) {
    std::lock_guard<std::mutex> lk(mu_);
    if (q_.empty()) return false;
    *b = q_.front();
    q_.pop_front();
    return true;
  }

 private:
  std::mutex mu_;
  std::deque<Block> q_;
};

struct CheckLevel {
  int old;
  explicit CheckLevel(int level) : old(mspace_check_level()) { mspace_set_check_level(level); }
  ~CheckLevel() { mspace_set_check_level(old); }
};

// Eight threads allocate, fill and checksum blocks, hand most of them to the next thread, which
// checks and frees them; small, cache-sized and large blocks are mixed.
void cross_thread_run(nedpool* pool) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 12000;
  std::vector<Mailbox> boxes(kThreads);
  std::atomic<int> bad{0};
  std::atomic<int> done{0};
  std::vector<std::thread> ts;
  for (int t = 0; t < kThreads; ++t) {
    ts.emplace_back([&, t] {
      std::mt19937 rng(1234 + t);
      std::vector<Block> mine;
      auto check_and_free = [&](const Block& b) {
        if (checksum(b.data, b.words) != b.sum) ++bad;
        nedpfree(pool, b.data);
      };
      for (int r = 0; r < kRounds; ++r) {
        uint32_t pick = rng() % 100;
        size_t bytes = pick < 70 ? 4 + rng() % 256 : pick < 95 ? 256 + rng() % 8000 : 8000 + rng() % 300000;
        uint32_t words = uint32_t(bytes / 4);
        auto* d = static_cast<uint32_t*>(pick % 7 == 0 ? nedpcalloc(pool, words, 4) : nedpmalloc(pool, bytes));
        if (!d) {
          ++bad;
          continue;
        }
        uint32_t seed = uint32_t(r * kThreads + t);
        Block b{d, words, fill(d, words, seed), seed};
        if (rng() % 4 == 0)
          mine.push_back(b);
        else
          boxes[(t + 1 + rng() % (kThreads - 1)) % kThreads].put(b);
        Block in;
        while (boxes[t].take(&in)) {
          if (rng() % 5 == 0) {
            // Grow or shrink a block that another thread made, then keep it.
            uint32_t nw = 1 + rng() % 3000;
            if (checksum(in.data, in.words) != in.sum) ++bad;
            auto* g = static_cast<uint32_t*>(nedprealloc(pool, in.data, nw * 4));
            if (!g) {
              ++bad;
              continue;
            }
            uint32_t keep = nw < in.words ? nw : in.words;
            for (uint32_t i = 0; i < keep; ++i)
              if (g[i] != in.seed * 2654435761u + i * 40503u) {
                ++bad;
                break;
              }
            uint32_t nseed = uint32_t(r * kThreads + t) ^ 0x5555u;
            mine.push_back({g, nw, fill(g, nw, nseed), nseed});
          } else {
            check_and_free(in);
          }
        }
        if (mine.size() > 64) {
          check_and_free(mine.front());
          mine.erase(mine.begin());
        }
      }
      for (auto& b : mine) check_and_free(b);
      ++done;
      // Drain what others still send until everyone has finished sending.
      Block in;
      while (done.load() < kThreads)
        while (boxes[t].take(&in)) check_and_free(in);
      while (boxes[t].take(&in)) check_and_free(in);
    });
  }
  for (auto& th : ts) th.join();
  for (auto& box : boxes) {
    Block in;
    while (box.take(&in)) {
      if (checksum(in.data, in.words) != in.sum) ++bad;
      nedpfree(pool, in.data);
    }
  }
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace

TEST(AllocStress, CrossThreadFreesKeepEveryByteOnEightThreads) {
  nedpool* pool = nedcreatepool(0, 4);
  ASSERT_NE(pool, nullptr);
  cross_thread_run(pool);
  // Every thread has ended: its cache went back, and only the empty heap remains in use.
  EXPECT_EQ(nedpoolinfo(pool).caches, 0);
  nedalloc::mallinfo mi = nedpmallinfo(pool);
  EXPECT_EQ(mi.hblkhd + mi.uordblks < (size_t(1) << 20), true) << "in use after the run: " << mi.uordblks;
  neddestroypool(pool);
}

TEST(AllocStress, CrossThreadFreesOnTheSystemPool) {
  cross_thread_run(nullptr);
}

TEST(AllocStress, RandomOperationsMatchAShadowCopyWithTheHeapChecker) {
  CheckLevel full(2);
  nedpool* pool = nedcreatepool(0, 1);
  ASSERT_NE(pool, nullptr);
  std::mt19937 rng(20261207);
  struct Live {
    unsigned char* p;
    std::vector<unsigned char> shadow;
  };
  std::vector<Live> live;
  auto verify = [&](const Live& l) {
    ASSERT_GE(mspace_usable_size(l.p), l.shadow.size());
    if (!l.shadow.empty()) {
      ASSERT_EQ(std::memcmp(l.p, l.shadow.data(), l.shadow.size()), 0);
    }
  };
  auto scribble = [&](Live& l) {
    for (auto& c : l.shadow) c = static_cast<unsigned char>(rng());
    if (!l.shadow.empty()) std::memcpy(l.p, l.shadow.data(), l.shadow.size());
  };
  auto some_size = [&]() -> size_t {
    switch (rng() % 10) {
      case 0: return rng() % 16;
      case 1: return 8180 + rng() % 24;
      case 2: return 250000 + rng() % 30000;  // around the direct-mapping threshold
      case 3: return 20000 + rng() % 100000;
      default: return rng() % 2048;
    }
  };
  for (int step = 0; step < 4000; ++step) {
    unsigned op = rng() % 10;
    if (live.empty() || op < 4) {
      size_t n = some_size();
      Live l{nullptr, std::vector<unsigned char>(n)};
      if (op == 1) {
        l.p = static_cast<unsigned char*>(nedpcalloc(pool, 1, n));
        ASSERT_NE(l.p, nullptr);
        for (size_t i = 0; i < n; ++i) ASSERT_EQ(l.p[i], 0) << "calloc of " << n;
      } else if (op == 2) {
        size_t al = size_t(16) << (rng() % 6);
        l.p = static_cast<unsigned char*>(nedpmemalign(pool, al, n));
        ASSERT_NE(l.p, nullptr);
        ASSERT_EQ(reinterpret_cast<uintptr_t>(l.p) % al, 0u);
      } else {
        l.p = static_cast<unsigned char*>(nedpmalloc(pool, n));
        ASSERT_NE(l.p, nullptr);
      }
      scribble(l);
      live.push_back(std::move(l));
    } else if (op < 7) {
      size_t i = rng() % live.size();
      verify(live[i]);
      nedpfree(pool, live[i].p);
      live[i] = std::move(live.back());
      live.pop_back();
    } else {
      size_t i = rng() % live.size();
      verify(live[i]);
      size_t n = some_size();
      auto* q = static_cast<unsigned char*>(nedprealloc(pool, live[i].p, n));
      ASSERT_NE(q, nullptr);
      size_t keep = n < live[i].shadow.size() ? n : live[i].shadow.size();
      ASSERT_GE(mspace_usable_size(q), n);
      if (keep) {
        ASSERT_EQ(std::memcmp(q, live[i].shadow.data(), keep), 0) << "realloc to " << n;
      }
      live[i].p = q;
      live[i].shadow.resize(n);
      scribble(live[i]);
    }
    if (step % 500 == 0) {
      for (auto& l : live) verify(l);
      for (int n = 0; n < 1; ++n) {
        void* any = live.empty() ? nullptr : live[0].p;
        if (any) mspace_check(mspace_owner(any));
      }
    }
  }
  for (auto& l : live) {
    verify(l);
    nedpfree(pool, l.p);
  }
  neddestroypool(pool);
}

TEST(AllocStress, GlobalHeapRandomOperations) {
  CheckLevel full(2);
  std::mt19937 rng(7);
  std::vector<std::pair<unsigned char*, size_t>> live;
  for (int step = 0; step < 3000; ++step) {
    if (live.empty() || rng() % 3) {
      size_t n = rng() % 4 ? rng() % 1000 : rng() % 400000;
      auto* p = static_cast<unsigned char*>(rng() % 5 ? dlmalloc(n) : dlcalloc(1, n));
      ASSERT_NE(p, nullptr);
      std::memset(p, int(n & 0xFF), n);
      live.push_back({p, n});
    } else {
      size_t i = rng() % live.size();
      for (size_t k = 0; k < live[i].second; ++k) ASSERT_EQ(live[i].first[k], live[i].second & 0xFF);
      if (rng() % 2) {
        dlfree(live[i].first);
        live[i] = live.back();
        live.pop_back();
      } else {
        size_t n = rng() % 5000;
        auto* q = static_cast<unsigned char*>(dlrealloc(live[i].first, n));
        ASSERT_NE(q, nullptr);
        size_t keep = n < live[i].second ? n : live[i].second;
        for (size_t k = 0; k < keep; ++k) ASSERT_EQ(q[k], live[i].second & 0xFF);
        std::memset(q, int(n & 0xFF), n);
        live[i] = {q, n};
      }
    }
  }
  dlmalloc_check();
  for (auto& l : live) dlfree(l.first);
  dlmalloc_check();
  EXPECT_GT(dlmalloc_max_footprint(), 0u);
}

TEST(AllocStress, ForkWhileOtherThreadsAllocateLeavesTheChildAHeap) {
  if (ned_uses_system_allocator()) GTEST_SKIP() << "the system's allocator looks after fork itself";
  std::atomic<bool> stop{false};
  std::vector<std::thread> busy;
  for (int t = 0; t < 4; ++t)
    busy.emplace_back([&, t] {
      std::mt19937 rng(t);
      while (!stop.load()) {
        void* a = nedmalloc(rng() % 20000);
        void* b = nedmalloc(rng() % 300);
        nedfree(a);
        nedfree(b);
      }
    });
  int bad = 0;
  for (int i = 0; i < 30; ++i) {
    pid_t pid = fork();
    if (pid == 0) {
      alarm(10);  // a child stuck on a lock is ended by the alarm and counted below
      for (int k = 0; k < 100; ++k) nedfree(nedmalloc(100 + k * 300));
      delete new std::vector<int>(1000);
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++bad;
  }
  stop = true;
  for (auto& t : busy) t.join();
  EXPECT_EQ(bad, 0);
}
