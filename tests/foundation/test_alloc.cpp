// The pooled allocator: size classes, the thread cache and its limits, misuse detection,
// operator new and delete, and the mspace core beneath.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "foundation/alloc_core.h"
#include "foundation/nedmalloc.h"

namespace {

// A private pool per test, so that counters start from nothing whatever else ran before.
struct Pool {
  nedpool* p;
  explicit Pool(int threads = 4, size_t capacity = 0) : p(nedcreatepool(capacity, threads)) {}
  ~Pool() { neddestroypool(p); }
  operator nedpool*() const { return p; }
};

size_t usable(void* mem) { return mspace_usable_size(mem); }

}  // namespace

TEST(PoolClasses, SmallRequestsRoundUpToPowersOfTwo) {
  Pool pool;
  struct {
    size_t ask, served;
  } cases[] = {{0, 32}, {1, 32}, {16, 32}, {17, 32}, {32, 32}, {33, 64}, {64, 64},
               {65, 128}, {1000, 1024}, {4097, 8192}, {8192, 8192}};
  for (auto c : cases) {
    void* b = nedpmalloc(pool, c.ask);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(usable(b), c.served) << "request of " << c.ask;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 16, 0u);
    nedpfree(pool, b);
  }
}

TEST(PoolClasses, LastFreedFirstServedWithinAClass) {
  Pool pool;
  void* a = nedpmalloc(pool, 20);
  void* b = nedpmalloc(pool, 30);
  nedpfree(pool, a);
  nedpfree(pool, b);
  EXPECT_EQ(nedpmalloc(pool, 25), b);
  EXPECT_EQ(nedpmalloc(pool, 17), a);
  nedpfree(pool, a);
  nedpfree(pool, b);
}

TEST(PoolClasses, RequestAboveTheCacheBypassesIt) {
  Pool pool;
  void* warm = nedpmalloc(pool, 8);  // binds the thread
  nedpool_info before = nedpoolinfo(pool);
  void* big = nedpmalloc(pool, 8193);
  nedpool_info after = nedpoolinfo(pool);
  EXPECT_EQ(after.mallocs, before.mallocs) << "8193 bytes must not look in the cache";
  EXPECT_GE(usable(big), 8193u);
  void* at_limit = nedpmalloc(pool, 8192);
  EXPECT_EQ(nedpoolinfo(pool).mallocs, before.mallocs + 1);
  nedpfree(pool, big);
  nedpfree(pool, at_limit);
  nedpfree(pool, warm);
}

TEST(PoolClasses, OddSizedBlockIsFiledInTheClassBelow) {
  Pool pool;
  void* warm = nedpmalloc(pool, 8);
  // An aligned request comes straight from the heap, so its usable size is not a class size.
  void* odd = nedpmemalign(pool, 16, 40);
  ASSERT_EQ(usable(odd), 48u);
  nedpfree(pool, odd);
  void* bigger = nedpmalloc(pool, 33);
  EXPECT_NE(bigger, odd) << "a 48-byte block may only serve requests of up to 32 bytes";
  void* fits = nedpmalloc(pool, 32);
  EXPECT_EQ(fits, odd);
  nedpfree(pool, bigger);
  nedpfree(pool, fits);
  nedpfree(pool, warm);
}

TEST(PoolClasses, ZeroByteNewGivesDistinctFreeableBlocks) {
  char* a = new char[0];
  char* b = new char[0];
  void* c = ::operator new(0);
  EXPECT_NE(a, b);
  EXPECT_NE(static_cast<void*>(a), c);
  delete[] a;
  delete[] b;
  ::operator delete(c);
}

TEST(PoolClasses, SmallestBlocksStayOutOfTheCache) {
  Pool pool;
  nedpfree(pool, nedpmalloc(pool, 64));  // the thread has a cache
  mspace m = create_mspace(0, 1);
  ASSERT_NE(m, nullptr);
  size_t used_before = mspace_mallinfo(m).uordblks;
  void* tiny = mspace_malloc(m, 1);  // 16 usable bytes: too small for a cache header
  ASSERT_EQ(usable(tiny), 16u);
  nedpool_info before = nedpoolinfo(pool);
  nedpfree(pool, tiny);
  EXPECT_EQ(nedpoolinfo(pool).frees, before.frees);
  EXPECT_EQ(nedpoolinfo(pool).cache_free, before.cache_free);
  EXPECT_EQ(mspace_mallinfo(m).uordblks, used_before) << "the block went straight back to its heap";
  mspace_check(m);
  destroy_mspace(m);
}

TEST(PoolCalloc, OverflowingProductFails) {
  Pool pool;
  EXPECT_EQ(nedpcalloc(pool, SIZE_MAX / 2 + 1, 2), nullptr);
  EXPECT_EQ(nedpcalloc(pool, SIZE_MAX / 3, 4), nullptr);
  EXPECT_EQ(nedcalloc(SIZE_MAX / 8, 16), nullptr);
}

TEST(PoolCalloc, ReusedBlocksComeBackZeroed) {
  Pool pool;
  for (size_t size : {24u, 100u, 3000u, 20000u}) {
    auto* dirty = static_cast<unsigned char*>(nedpmalloc(pool, size));
    std::memset(dirty, 0xAB, size);
    nedpfree(pool, dirty);
    auto* clean = static_cast<unsigned char*>(nedpcalloc(pool, 1, size));
    ASSERT_NE(clean, nullptr);
    for (size_t i = 0; i < size; ++i) ASSERT_EQ(clean[i], 0) << "byte " << i << " of " << size;
    nedpfree(pool, clean);
  }
}

TEST(PoolRealloc, NullBlockIsAnAllocation) {
  Pool pool;
  void* b = nedprealloc(pool, nullptr, 100);
  ASSERT_NE(b, nullptr);
  EXPECT_GE(usable(b), 100u);
  nedpfree(pool, b);
  void* s = nedrealloc(nullptr, 10);
  ASSERT_NE(s, nullptr);
  nedfree(s);
}

TEST(PoolRealloc, KeepsContentsAcrossClassesAndTheCacheLimit) {
  Pool pool;
  size_t steps[] = {10, 31, 200, 5000, 8192, 9000, 300000, 700, 12};
  auto* b = static_cast<unsigned char*>(nedpmalloc(pool, 1));
  b[0] = 7;
  size_t have = 1;
  for (size_t s : steps) {
    b = static_cast<unsigned char*>(nedprealloc(pool, b, s));
    ASSERT_NE(b, nullptr);
    for (size_t i = 0; i < have && i < s; ++i) ASSERT_EQ(b[i], static_cast<unsigned char>(i * 7 + 7)) << s;
    for (size_t i = 0; i < s; ++i) b[i] = static_cast<unsigned char>(i * 7 + 7);
    have = s;
  }
  nedpfree(pool, b);
}

TEST(PoolMisuseDeathTest, DoubleFreeOfTheLastCachedBlockAborts) {
  EXPECT_DEATH(
      {
        Pool pool;
        void* b = nedpmalloc(pool, 40);
        nedpfree(pool, b);
        nedpfree(pool, b);
      },
      "Attempt to free already freed memory block");
}

TEST(PoolMisuseDeathTest, DoubleFreeDeeperInTheBinAbortsUnderTheHeapChecker) {
  EXPECT_DEATH(
      {
        mspace_set_check_level(2);
        Pool pool;
        void* a = nedpmalloc(pool, 40);
        void* b = nedpmalloc(pool, 40);
        nedpfree(pool, a);
        nedpfree(pool, b);
        nedpfree(pool, a);
      },
      "Attempt to free already freed memory block");
}

TEST(PoolMisuseDeathTest, DoubleFreeOfALargeBlockAborts) {
  EXPECT_DEATH(
      {
        Pool pool;
        void* keep = nedpmalloc(pool, 20000);
        void* b = nedpmalloc(pool, 20000);
        nedpfree(pool, b);
        nedpfree(pool, b);
        nedpfree(pool, keep);
      },
      "aborting");
}

TEST(PoolMisuseDeathTest, ForeignPointerAborts) {
  EXPECT_DEATH(
      {
        Pool pool;
        alignas(16) static unsigned char buf[256];
        std::memset(buf, 0xFF, sizeof buf);
        nedpfree(pool, buf + 64);
      },
      "invalid memory block");
}

TEST(PoolMisuseDeathTest, ForgedSmallBlockIsCaughtByTheHeapCheckerBeforeItIsCached) {
  EXPECT_DEATH(
      {
        mspace_set_check_level(2);
        Pool pool;
        nedpfree(pool, nedpmalloc(pool, 8));  // the thread has a cache
        alignas(16) static size_t fake[16] = {};
        fake[1] = 48 | 3;  // an in-use chunk of 48 bytes
        fake[6] = 0x1234;  // whose footer names no heap
        nedpfree(pool, &fake[2]);
      },
      "invalid memory block");
}

TEST(PoolCache, ThinsItselfOnceItHoldsHalfAMegabyte) {
  Pool pool;
  std::vector<void*> blocks;
  for (int i = 0; i < 400; ++i) blocks.push_back(nedpmalloc(pool, 4000));  // 4096 each
  for (void* b : blocks) nedpfree(pool, b);
  nedpool_info info = nedpoolinfo(pool);
  EXPECT_LT(info.cache_free, kThreadCacheMaxFree);
  EXPECT_GT(info.cache_free, 0u);
  EXPECT_EQ(info.frees, 400u);
}

TEST(PoolCache, ThinningGivesBackTheOldestFirst) {
  Pool pool;
  std::vector<void*> blocks;
  for (int i = 0; i < 64; ++i) blocks.push_back(nedpmalloc(pool, 8192));
  for (int i = 0; i < 63; ++i) nedpfree(pool, blocks[i]);
  EXPECT_EQ(nedpoolinfo(pool).cache_free, 63u * 8192);
  // The 64th free reaches 512 KiB: the 32 blocks cached longest ago go back to the heap.
  nedpfree(pool, blocks[63]);
  EXPECT_EQ(nedpoolinfo(pool).cache_free, 32u * 8192);
  nedpool_info before = nedpoolinfo(pool);
  for (int i = 63; i >= 32; --i) ASSERT_EQ(nedpmalloc(pool, 8192), blocks[i]) << i;
  EXPECT_EQ(nedpoolinfo(pool).successes, before.successes + 32);
  void* fresh = nedpmalloc(pool, 8192);
  EXPECT_EQ(nedpoolinfo(pool).successes, before.successes + 32) << "the cache is empty now";
  nedpfree(pool, fresh);
  for (int i = 32; i < 64; ++i) nedpfree(pool, blocks[i]);
}

TEST(PoolCache, ThinningPassesOverABusyMspaceUntilTwiceTheLimit) {
  Pool pool;
  std::vector<void*> blocks;
  for (int i = 0; i < 71; ++i) blocks.push_back(nedpmalloc(pool, 8192));
  mspace m0 = mspace_owner(blocks[0]);
  ASSERT_NE(m0, nullptr);
  std::atomic<int> stage{0};
  size_t held_while_busy = 0, held_after = 0;
  std::thread t([&] {
    nedpfree(pool, nedpmalloc(pool, 16));  // bind before the mspace is taken
    stage = 1;
    while (stage.load() != 2) std::this_thread::yield();
    for (int i = 0; i < 70; ++i) nedpfree(pool, blocks[i]);
    held_while_busy = nedpoolinfo(pool).cache_free;
    stage = 3;
    while (stage.load() != 4) std::this_thread::yield();
    nedpfree(pool, blocks[70]);
    held_after = nedpoolinfo(pool).cache_free;
  });
  while (stage.load() != 1) std::this_thread::yield();
  mspace_lock(m0);
  stage = 2;
  while (stage.load() != 3) std::this_thread::yield();
  mspace_unlock(m0);
  stage = 4;
  t.join();
  EXPECT_GE(held_while_busy, 70u * 8192) << "nothing could go back while the mspace was busy";
  EXPECT_LT(held_after, kThreadCacheMaxFree) << "the next free thinned the cache";
}

TEST(PoolCache, EndedThreadGivesItsCacheBack) {
  Pool pool;
  nedpool_info start = nedpoolinfo(pool);
  size_t used_before = nedpmallinfo(pool).uordblks;
  std::thread t([&] {
    std::vector<void*> v;
    for (int i = 0; i < 200; ++i) v.push_back(nedpmalloc(pool, 64 + i));
    for (void* b : v) nedpfree(pool, b);
    EXPECT_EQ(nedpoolinfo(pool).caches, start.caches + 1);
  });
  t.join();
  EXPECT_EQ(nedpoolinfo(pool).caches, start.caches);
  EXPECT_LE(nedpmallinfo(pool).uordblks, used_before);
}

TEST(PoolCache, NoCacheSlotLeftMeansMspaceZero) {
  Pool pool;
  std::mutex mu;
  std::condition_variable cv;
  int bound = 0;
  bool release = false;
  std::vector<std::thread> holders;
  for (int i = 0; i < kThreadCacheMaxCaches; ++i) {
    holders.emplace_back([&] {
      void* b = nedpmalloc(pool, 16);
      std::unique_lock<std::mutex> lk(mu);
      ++bound;
      cv.notify_all();
      cv.wait(lk, [&] { return release; });
      lk.unlock();
      nedpfree(pool, b);
    });
  }
  {
    std::unique_lock<std::mutex> lk(mu);
    cv.wait(lk, [&] { return bound == kThreadCacheMaxCaches; });
  }
  EXPECT_EQ(nedpoolinfo(pool).caches, kThreadCacheMaxCaches);
  long binding = 0;
  void* block = nullptr;
  std::thread late([&] {
    block = nedpmalloc(pool, 16);
    binding = nedpoolinfo(pool).binding;
    nedpfree(pool, block);
  });
  late.join();
  EXPECT_EQ(binding, -1);
  ASSERT_NE(block, nullptr);
  {
    std::lock_guard<std::mutex> lk(mu);
    release = true;
  }
  cv.notify_all();
  for (auto& t : holders) t.join();
  EXPECT_EQ(nedpoolinfo(pool).caches, 0);
}

TEST(PoolCache, DisablingTheCacheKeepsTheMspace) {
  Pool pool;
  std::thread t([&] {
    void* b = nedpmalloc(pool, 100);
    EXPECT_EQ(nedpoolinfo(pool).binding, 1);
    nedpfree(pool, b);
    testing::internal::CaptureStdout();
    neddisablethreadcache(pool);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Threadcache utilisation:"), std::string::npos);
    EXPECT_EQ(nedpoolinfo(pool).binding, -1);
    EXPECT_EQ(nedpoolinfo(pool).caches, 0);
    void* c = nedpmalloc(pool, 100);
    EXPECT_EQ(nedpoolinfo(pool).binding, -1);
    nedpfree(pool, c);
  });
  t.join();
}

TEST(PoolMspaces, BusyMspaceMakesThePoolGrow) {
  Pool pool(3);
  void* first = nedpmalloc(pool, 100000);
  mspace m0 = mspace_owner(first);
  ASSERT_NE(m0, nullptr);
  EXPECT_EQ(nedpoolinfo(pool).mspaces, 1);
  void* other = nullptr;
  std::atomic<int> stage{0};
  std::thread t([&] {
    nedpfree(pool, nedpmalloc(pool, 16));  // bind before the mspace is taken
    stage = 1;
    while (stage.load() != 2) std::this_thread::yield();
    other = nedpmalloc(pool, 100000);
    stage = 3;
  });
  while (stage.load() != 1) std::this_thread::yield();
  mspace_lock(m0);
  stage = 2;
  while (stage.load() != 3) std::this_thread::yield();
  mspace_unlock(m0);  // before the thread ends: its cache goes back to mspace 0
  t.join();
  ASSERT_NE(other, nullptr);
  EXPECT_NE(mspace_owner(other), m0);
  EXPECT_EQ(nedpoolinfo(pool).mspaces, 2);
  // A block of the new mspace records no pool.
  EXPECT_EQ(nedgetvalue(nullptr, other), nullptr);
  nedpfree(pool, other);
  nedpfree(pool, first);
}

TEST(PoolMspaces, UserValueOfTheOwningPool) {
  Pool pool;
  int tag = 0;
  nedpsetvalue(pool, &tag);
  void* b = nedpmalloc(pool, 50);
  nedpool* owner = nullptr;
  EXPECT_EQ(nedgetvalue(&owner, b), &tag);
  EXPECT_EQ(owner, pool.p);
  alignas(16) static unsigned char zeros[128] = {};
  EXPECT_EQ(nedgetvalue(&owner, zeros + 32), nullptr);
  nedpfree(pool, b);
}

TEST(PoolMspaces, StatisticsFollowUse) {
  Pool pool;
  nedalloc::mallinfo before = nedpmallinfo(pool);
  void* big = nedpmalloc(pool, 8 << 20);  // more than the top holds: directly mapped
  nedalloc::mallinfo during = nedpmallinfo(pool);
  EXPECT_GE(during.hblkhd, before.hblkhd + (8u << 20));
  EXPECT_GE(nedpmalloc_footprint(pool), size_t(8) << 20);
  nedpfree(pool, big);
  EXPECT_EQ(nedpmallinfo(pool).hblkhd, before.hblkhd);
  EXPECT_GE(nedpmalloc_trim(pool, 0), 0);
}

TEST(PoolMspaces, IndependentAllocations) {
  Pool pool;
  void* out[5];
  void** r = nedpindependent_calloc(pool, 5, 40, out);
  ASSERT_EQ(r, out);
  for (void* b : out) {
    for (int i = 0; i < 40; ++i) ASSERT_EQ(static_cast<unsigned char*>(b)[i], 0);
    std::memset(b, 1, 40);
  }
  for (void* b : out) nedpfree(pool, b);
  size_t sizes[3] = {10, 200, 3000};
  void** arr = nedpindependent_comalloc(pool, 3, sizes, nullptr);
  ASSERT_NE(arr, nullptr);
  for (int i = 0; i < 3; ++i) {
    EXPECT_GE(usable(arr[i]), sizes[i]);
    std::memset(arr[i], 2, sizes[i]);
  }
  for (int i = 0; i < 3; ++i) nedpfree(pool, arr[i]);
  nedpfree(pool, arr);
}

TEST(PoolMspaces, AlignedBlocks) {
  Pool pool;
  for (size_t al : {8u, 16u, 32u, 64u, 4096u}) {
    void* b = nedpmemalign(pool, al, 100);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % al, 0u) << al;
    nedpfree(pool, b);
  }
}

// ---- operator new and delete ----

namespace {
std::atomic<int> g_handler_calls{0};
void* g_reserve = nullptr;
void release_reserve() {
  ++g_handler_calls;
  ::operator delete(g_reserve);
  g_reserve = nullptr;
  std::set_new_handler(nullptr);
}
void throwing_handler() {
  ++g_handler_calls;
  throw std::bad_alloc();
}
}  // namespace

TEST(OperatorNew, NoHandlerThrowsBadAlloc) {
  if (ned_uses_system_allocator()) GTEST_SKIP() << "the sanitizer stops oversized requests itself";
  std::new_handler old = std::set_new_handler(nullptr);
  EXPECT_THROW((void)::operator new(SIZE_MAX / 2), std::bad_alloc);
  EXPECT_THROW((void)::operator new[](SIZE_MAX / 2, "tagged", 12), std::bad_alloc);
  EXPECT_EQ(::operator new(SIZE_MAX / 2, std::nothrow), nullptr);
  EXPECT_EQ(::operator new(SIZE_MAX / 2, std::nothrow, "tagged", 3), nullptr);
  std::set_new_handler(old);
}

TEST(OperatorNew, ThrowingHandlerGivesNullFromNothrowForms) {
  if (ned_uses_system_allocator()) GTEST_SKIP() << "the sanitizer stops oversized requests itself";
  g_handler_calls = 0;
  std::new_handler old = std::set_new_handler(throwing_handler);
  EXPECT_EQ(::operator new[](SIZE_MAX / 2, std::nothrow), nullptr);
  EXPECT_GE(g_handler_calls.load(), 1);
  EXPECT_THROW((void)::operator new(SIZE_MAX / 2), std::bad_alloc);
  std::set_new_handler(old);
}

TEST(OperatorNewDeathTest, HandlerThatFreesMemoryLetsNewSucceed) {
  if (ned_uses_system_allocator()) GTEST_SKIP() << "address-space limits do not mix with sanitizers";
  EXPECT_EXIT(
      {
        g_handler_calls = 0;
        g_reserve = ::operator new(size_t(256) << 20);
        rlimit lim{};
        getrlimit(RLIMIT_AS, &lim);
        // Room for 128 MiB more than what is mapped now, so that 192 MiB cannot fit until the
        // handler gives the reserve back.
        FILE* f = std::fopen("/proc/self/statm", "r");
        unsigned long pages = 0;
        if (!f || std::fscanf(f, "%lu", &pages) != 1) std::_Exit(3);
        std::fclose(f);
        lim.rlim_cur = pages * 4096ul + (size_t(128) << 20);
        if (setrlimit(RLIMIT_AS, &lim) != 0) std::_Exit(4);
        std::set_new_handler(release_reserve);
        char* p = new char[size_t(192) << 20];
        p[0] = 1;
        std::_Exit(g_handler_calls == 1 && g_reserve == nullptr ? 0 : 2);
      },
      testing::ExitedWithCode(0), "");
}

TEST(OperatorNew, DeleteOfNullDoesNothing) {
  ::operator delete(nullptr);
  ::operator delete[](nullptr);
  ::operator delete(nullptr, std::nothrow);
  ::operator delete(nullptr, size_t(16));
  ::operator delete(nullptr, std::align_val_t(64));
  int* none = nullptr;
  delete none;
  SUCCEED();
}

TEST(OperatorNew, OverAlignedTypes) {
  struct alignas(128) Wide {
    char bytes[200];
  };
  std::vector<Wide*> v;
  for (int i = 0; i < 20; ++i) {
    v.push_back(new Wide);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(v.back()) % 128, 0u);
  }
  for (Wide* w : v) delete w;
  auto* arr = new Wide[3];
  EXPECT_EQ(reinterpret_cast<uintptr_t>(arr) % 128, 0u);
  delete[] arr;
}

TEST(OperatorNew, TaggedFormsGiveUsableBlocks) {
  auto* a = static_cast<char*>(::operator new(100, "tag", 1));
  auto* b = static_cast<char*>(::operator new[](100, std::nothrow, "tag", 2));
  ASSERT_NE(b, nullptr);
  std::memset(a, 1, 100);
  std::memset(b, 2, 100);
  EXPECT_EQ(a[99], 1);
  EXPECT_EQ(b[99], 2);
  ::operator delete(a, "tag", 1);
  ::operator delete[](b, std::nothrow, "tag", 2);
}

TEST(OperatorNew, RunsOnThePooledAllocator) {
  if (ned_uses_system_allocator()) GTEST_SKIP() << "this build uses the system's allocator";
  auto* s = new std::string(100, 'x');
  EXPECT_NE(mspace_owner(s), nullptr);
  EXPECT_NE(mspace_owner(s->data()), nullptr);
  delete s;
}
