// The pool layer over the mspace heaps: up to four mspaces per pool so that threads that
// allocate at once take different heaps, and one lock-free cache of small freed blocks per
// thread. A thread's cache goes back to its pool when the thread ends.
#include "foundation/nedmalloc.h"

#include <malloc.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "spin_lock.h"

#ifdef VOL_SYSTEM_ALLOCATOR
static constexpr bool kSystemAllocator = true;
#else
static constexpr bool kSystemAllocator = false;
#endif

namespace {

using nedalloc::self_id;
using nedalloc::spin_acquire;
using nedalloc::spin_init;
using nedalloc::spin_lock;
using nedalloc::spin_release;

// Laid over the first bytes of a cached free block; fits the smallest class (32 bytes).
struct threadcacheblk {
  uint32_t lastUsed;  // the cache's free count when the block was cached
  uint32_t size;      // its size class
  threadcacheblk* next;  // towards older blocks
  threadcacheblk* prev;  // towards newer blocks
};
static_assert(sizeof(threadcacheblk) <= kThreadCacheMin, "cache header must fit the smallest class");

struct threadcache {
  int mymspace;
  long threadid;
  uint32_t mallocs, frees, successes;
  size_t freeInCache;
  threadcacheblk* bins[kThreadCacheBins * 2];  // head (newest) and tail (oldest) of each bin
};

}  // namespace

// Every field has an initialiser so that the system pool is constant-initialised: it may be
// in use before any static constructor has run.
struct nedpool {
  spin_lock mutex;
  void* uservalue = nullptr;
  int threads = 0;
  threadcache* caches[kThreadCacheMaxCaches] = {};
  pthread_key_t mycache = 0;
  std::atomic<mspace> m[kMaxMspacesPerPool + 1] = {};
};

namespace {

constinit nedpool syspool;
constinit std::atomic<int> syspool_ready{0};
constinit spin_lock syspool_init_lock;

// Pools alive, so that a thread's caches can be found when it ends.
constexpr int kMaxPools = 64;
constinit nedpool* g_pools[kMaxPools] = {};
constinit spin_lock g_pools_lock;

void register_pool(nedpool* p) {
  spin_acquire(&g_pools_lock);
  for (auto& slot : g_pools)
    if (!slot) {
      slot = p;
      break;
    }
  spin_release(&g_pools_lock);
}

void unregister_pool(nedpool* p) {
  spin_acquire(&g_pools_lock);
  for (auto& slot : g_pools)
    if (slot == p) slot = nullptr;
  spin_release(&g_pools_lock);
}

// The system pool's binding is mirrored in a thread-local word, read without a library call;
// the key still carries it so that the thread's end is noticed.
thread_local long t_sys_binding = 0;

inline long get_binding(nedpool* p) {
  if (p == &syspool) return t_sys_binding;
  return static_cast<long>(reinterpret_cast<intptr_t>(pthread_getspecific(p->mycache)));
}
inline void set_binding(nedpool* p, long v) {
  if (p == &syspool) t_sys_binding = v;
  pthread_setspecific(p->mycache, reinterpret_cast<void*>(static_cast<intptr_t>(v)));
}

[[noreturn]] void bad_block(void* mem) {
  std::fprintf(stderr, "Attempt to free an invalid memory block %p - aborting!\n", mem);
  std::fflush(stderr);
  std::abort();
}

// Usable size of a block, from its own head: aligned, marked in use, a sane chunk size. The
// footer naming its mspace is checked when the block goes back to an mspace, and already on
// the way into a cache under the heap checker.
inline size_t checked_blksize(void* mem) {
  auto addr = reinterpret_cast<uintptr_t>(mem);
  if (addr & (kMallocAlignment - 1)) bad_block(mem);
  size_t head = reinterpret_cast<const size_t*>(mem)[-1];
  size_t chunk = head & ~size_t(3);
  if (!(head & 2) || chunk < kMinChunkSize || (chunk & (kMallocAlignment - 1))) bad_block(mem);
  return chunk - 2 * sizeof(size_t);  // head and footer words
}

inline unsigned size2binidx(size_t s) {
  size_t x = s >> 5;
  return x == 0 ? 0 : unsigned(63 - __builtin_clzll(x));
}

void* threadcache_malloc(threadcache* tc, size_t* size) {
  size_t s = *size;
  unsigned idx = size2binidx(s);
  size_t bestsize = kThreadCacheMin << idx;
  if (bestsize < s) {
    ++idx;
    bestsize <<= 1;
  }
  threadcacheblk** binsptr = &tc->bins[idx * 2];
  threadcacheblk* blk = *binsptr;
  if ((!blk || blk->size < bestsize) && idx < kThreadCacheBins - 1) {
    binsptr += 2;
    blk = *binsptr;
  }
  ++tc->mallocs;
  void* ret = nullptr;
  if (blk && blk->size >= bestsize) {
    // The new head's prev is left stale: nothing reads the prev of a head.
    *binsptr = blk->next;
    if (!*binsptr) binsptr[1] = nullptr;
    tc->freeInCache -= blk->size;
    ++tc->successes;
    ret = blk;
  }
  *size = bestsize;
  return ret;
}

// Gives back the blocks cached at least `age` cache-frees ago, oldest first. Unless told to
// wait, a bin whose oldest block belongs to a busy mspace is passed over until a later call.
void RemoveCacheEntries(threadcache* tc, uint32_t age, bool wait = true) {
  if (!tc->freeInCache) return;
  // Runs of blocks of one mspace are given back under one hold of its lock, a few at a time so
  // that a thread allocating from that mspace is not kept waiting for the whole run.
  mspace held = nullptr;
  int run = 0;
  for (int n = 0; n < kThreadCacheBins; ++n) {
    threadcacheblk** binsptr = &tc->bins[n * 2];
    while (binsptr[1] && tc->frees - binsptr[1]->lastUsed >= age) {
      threadcacheblk* blk = binsptr[1];
      mspace owner = mspace_owner_quick(blk);
      if (owner != held || run == 16) {
        if (held) mspace_unlock(held);
        held = owner;
        run = 0;
        if (held) {
          if (wait) {
            mspace_lock(held);
          } else if (!mspace_trylock(held)) {
            held = nullptr;
            break;
          }
        }
      }
      if (blk == binsptr[0]) {
        binsptr[0] = binsptr[1] = nullptr;
      } else {
        binsptr[1] = blk->prev;
        binsptr[1]->next = nullptr;
      }
      tc->freeInCache -= blk->size;
      ++run;
      mspace_free(nullptr, blk);
    }
  }
  if (held) mspace_unlock(held);
}

void ReleaseFreeInCache(threadcache* tc) {
  // Past twice the limit the cache waits for busy mspaces instead of growing further.
  bool wait = tc->freeInCache >= 2 * kThreadCacheMaxFree;
  uint32_t age = kThreadCacheMaxFree / kThreadCacheMax;
  while (age && tc->freeInCache >= kThreadCacheMaxFree) {
    RemoveCacheEntries(tc, age, wait);
    age >>= 1;
  }
}

void threadcache_free(threadcache* tc, void* mem, size_t size) {
  unsigned idx = size2binidx(size);
  if (idx > kThreadCacheBins - 1) idx = kThreadCacheBins - 1;
  size_t bestsize = kThreadCacheMin << idx;
  threadcacheblk** binsptr = &tc->bins[idx * 2];
  if (*binsptr == mem) {
    std::fprintf(stderr, "Attempt to free already freed memory block %p - aborting!\n", mem);
    std::fflush(stderr);
    std::abort();
  }
  if (mspace_check_level() >= 2) {
    for (threadcacheblk* b = *binsptr; b; b = b->next)
      if (b == mem) {
        std::fprintf(stderr, "Attempt to free already freed memory block %p - aborting!\n", mem);
        std::fflush(stderr);
        std::abort();
      }
  }
  auto* tck = static_cast<threadcacheblk*>(mem);
  tck->lastUsed = ++tc->frees;
  tck->size = uint32_t(bestsize);
  tck->next = *binsptr;
  tck->prev = nullptr;
  if (tck->next)
    tck->next->prev = tck;
  else
    binsptr[1] = tck;
  *binsptr = tck;
  tc->freeInCache += bestsize;
  if (tc->freeInCache >= kThreadCacheMaxFree) ReleaseFreeInCache(tc);
}

// Gives a cache's blocks and record back; the pool lock is held.
void destroy_cache(nedpool* p, int n) {
  threadcache* tc = p->caches[n];
  if (!tc) return;
  ++tc->frees;
  RemoveCacheEntries(tc, 0);
  tc->mymspace = -1;
  tc->threadid = 0;
  mspace_free(nullptr, tc);
  p->caches[n] = nullptr;
}

// Runs when a thread that owned a binding ends: glibc has already cleared the ending key, so
// the pool whose binding now reads null while one of its caches is ours is the one to clean.
void cache_key_destructor(void* value) {
  long v = static_cast<long>(reinterpret_cast<intptr_t>(value));
  if (v <= 0) return;
  long me = long(self_id());
  spin_acquire(&g_pools_lock);
  for (nedpool* p : g_pools) {
    if (!p || pthread_getspecific(p->mycache) != nullptr) continue;
    if (v > kThreadCacheMaxCaches) continue;
    spin_acquire(&p->mutex);
    threadcache* tc = p->caches[v - 1];
    if (tc && tc->threadid == me) {
      destroy_cache(p, int(v - 1));
      if (p == &syspool) t_sys_binding = 0;
    }
    spin_release(&p->mutex);
  }
  spin_release(&g_pools_lock);
}

int InitPool(nedpool* p, size_t capacity, int threads) {
  spin_init(&p->mutex);
  spin_acquire(&p->mutex);
  p->threads = (threads >= 1 && threads <= kMaxMspacesPerPool) ? threads : kMaxMspacesPerPool;
  bool have_key = false;
  if (pthread_key_create(&p->mycache, cache_key_destructor) == 0) {
    have_key = true;
    mspace m0 = create_mspace(capacity, 1);
    if (m0) {
      mspace_set_extp(m0, p);
      p->m[0].store(m0);
      spin_release(&p->mutex);
      register_pool(p);
      return 1;
    }
  }
  if (threads < 0) {
    std::fprintf(stderr, "The system memory pool could not be set up - aborting!\n");
    std::abort();
  }
  for (int n = 0; n < kThreadCacheMaxCaches; ++n) destroy_cache(p, n);
  if (mspace m0 = p->m[0].load()) {
    destroy_mspace(m0);
    p->m[0].store(nullptr);
  }
  if (have_key) pthread_key_delete(p->mycache);
  spin_release(&p->mutex);
  return 0;
}

// A fork taken while another thread holds a heap lock would leave the child waiting forever:
// every lock is held across the fork and released on both sides.
void before_fork() {
  spin_acquire(&g_pools_lock);
  for (nedpool* p : g_pools) {
    if (!p) continue;
    spin_acquire(&p->mutex);
    for (int n = 0; n < kMaxMspacesPerPool; ++n)
      if (mspace m = p->m[n].load()) mspace_lock(m);
  }
}

void after_fork() {
  for (int i = kMaxPools - 1; i >= 0; --i) {
    nedpool* p = g_pools[i];
    if (!p) continue;
    for (int n = kMaxMspacesPerPool - 1; n >= 0; --n)
      if (mspace m = p->m[n].load()) mspace_unlock(m);
    spin_release(&p->mutex);
  }
  spin_release(&g_pools_lock);
}

inline nedpool* pool_of(nedpool* p) {
  if (p) return p;
  if (!syspool_ready.load(std::memory_order_acquire)) {
    spin_acquire(&syspool_init_lock);
    if (!syspool_ready.load(std::memory_order_relaxed)) {
      InitPool(&syspool, 0, -1);
      pthread_atfork(before_fork, after_fork, after_fork);
      syspool_ready.store(1, std::memory_order_release);
    }
    spin_release(&syspool_init_lock);
  }
  return &syspool;
}

threadcache* AllocCache(nedpool* p) {
  spin_acquire(&p->mutex);
  int n = 0;
  while (n < kThreadCacheMaxCaches && p->caches[n]) ++n;
  if (n == kThreadCacheMaxCaches) {
    spin_release(&p->mutex);
    return nullptr;
  }
  // Each record on cache lines of its own: threads write their counters on every call.
  constexpr size_t kLine = 64;
  constexpr size_t kRecord = (sizeof(threadcache) + kLine - 1) & ~(kLine - 1);
  auto* tc = static_cast<threadcache*>(mspace_memalign(p->m[0].load(), kLine, kRecord));
  if (!tc) {
    spin_release(&p->mutex);
    return nullptr;
  }
  std::memset(static_cast<void*>(tc), 0, kRecord);
  tc->threadid = long(self_id());
  p->caches[n] = tc;
  spin_release(&p->mutex);
  set_binding(p, n + 1);
  return tc;
}

// Binds the calling thread: its cache (or null) and the index of the mspace it uses.
inline nedpool* GetThreadCache(nedpool* p, threadcache** tc, int* mymspace, size_t* size) {
  if (size && *size < kThreadCacheMin) *size = kThreadCacheMin;
  p = pool_of(p);
  long v = get_binding(p);
  if (v > 0) {
    *tc = p->caches[v - 1];
    *mymspace = (*tc)->mymspace;
  } else if (v < 0) {
    *tc = nullptr;
    *mymspace = int(-v - 1);
  } else {
    *mymspace = 0;
    *tc = AllocCache(p);
    if (!*tc) set_binding(p, -1);
  }
  return p;
}

// The thread's preferred mspace was busy: try the others, add one when the pool may grow,
// else wait for the preferred one. Returns the mspace locked.
mspace FindMSpace(nedpool* p, threadcache* tc, int* lastUsed, size_t size) {
  int n, end;
  int last = *lastUsed;
  for (n = end = last + 1; n < kMaxMspacesPerPool && p->m[n].load(std::memory_order_acquire); end = ++n)
    if (mspace_trylock(p->m[n].load())) goto found;
  for (n = 0; n < last; ++n)
    if (mspace_trylock(p->m[n].load())) goto found;
  if (end < p->threads) {
    mspace temp = create_mspace(size, 1);
    if (!temp) goto badexit;
    spin_acquire(&p->mutex);
    for (n = 0; n < p->threads && p->m[n].load(); ++n) {
    }
    if (n >= p->threads) {
      spin_release(&p->mutex);
      destroy_mspace(temp);
      goto badexit;
    }
    mspace_lock(temp);
    p->m[n].store(temp, std::memory_order_release);
    spin_release(&p->mutex);
    goto found;
  }
badexit:
  mspace_lock(p->m[last].load());
  return p->m[last].load();
found:
  *lastUsed = n;
  if (tc)
    tc->mymspace = n;
  else
    set_binding(p, -(n + 1));
  return p->m[n].load();
}

inline mspace lock_mspace(nedpool* p, threadcache* tc, int* mymspace, size_t size) {
  mspace m = p->m[*mymspace].load(std::memory_order_acquire);
  if (!mspace_trylock(m)) m = FindMSpace(p, tc, mymspace, size);
  return m;
}

inline void give_back(threadcache* tc, void* mem, size_t u) {
  bool cached = tc && u >= kThreadCacheMin && u <= kThreadCacheFreeMax;
  if ((!cached || mspace_check_level() >= 2) && !mspace_owner_quick(mem)) bad_block(mem);
  if (cached)
    threadcache_free(tc, mem, u);
  else
    mspace_free(nullptr, mem);
}

}  // namespace

// ---- pool interface --------------------------------------------------------------------------

void* nedpmalloc(nedpool* p, size_t size) {
  if (kSystemAllocator && !p) return std::malloc(size);
  void* ret = nullptr;
  threadcache* tc;
  int mymspace;
  p = GetThreadCache(p, &tc, &mymspace, &size);
  if (tc && size <= kThreadCacheMax) ret = threadcache_malloc(tc, &size);
  if (!ret) {
    mspace m = lock_mspace(p, tc, &mymspace, size);
    ret = mspace_malloc(m, size);
    mspace_unlock(m);
  }
  return ret;
}

void* nedpcalloc(nedpool* p, size_t no, size_t size) {
  size_t rsize;
  if (__builtin_mul_overflow(no, size, &rsize)) {
    errno = ENOMEM;
    return nullptr;
  }
  if (kSystemAllocator && !p) return std::calloc(no, size);
  void* ret = nullptr;
  threadcache* tc;
  int mymspace;
  p = GetThreadCache(p, &tc, &mymspace, &rsize);
  if (tc && rsize <= kThreadCacheMax) {
    ret = threadcache_malloc(tc, &rsize);
    if (ret) std::memset(ret, 0, rsize);
  }
  if (!ret) {
    mspace m = lock_mspace(p, tc, &mymspace, rsize);
    ret = mspace_calloc(m, 1, rsize);
    mspace_unlock(m);
  }
  return ret;
}

void* nedprealloc(nedpool* p, void* mem, size_t size) {
  if (kSystemAllocator && !p) return std::realloc(mem, size);
  if (!mem) return nedpmalloc(p, size);
  void* ret = nullptr;
  threadcache* tc;
  int mymspace;
  p = GetThreadCache(p, &tc, &mymspace, &size);
  size_t memsize = checked_blksize(mem);
  if (tc && size <= kThreadCacheMax) {
    size_t want = size;
    ret = threadcache_malloc(tc, &size);
    if (ret) {
      std::memcpy(ret, mem, memsize < want ? memsize : want);
      give_back(tc, mem, memsize);
    }
  }
  // The block's own mspace resizes it; no other mspace lock is held meanwhile.
  if (!ret) ret = mspace_realloc(nullptr, mem, size);
  return ret;
}

void nedpfree(nedpool* p, void* mem) {
  if (kSystemAllocator && !p) return std::free(mem);
  if (!mem) return;
  threadcache* tc;
  int mymspace;
  GetThreadCache(p, &tc, &mymspace, nullptr);
  give_back(tc, mem, checked_blksize(mem));
}

void* nedpmemalign(nedpool* p, size_t alignment, size_t bytes) {
  if (kSystemAllocator && !p) {
    void* r = nullptr;
    if (alignment < sizeof(void*)) alignment = sizeof(void*);
    if ((alignment & (alignment - 1)) != 0) {
      size_t a = sizeof(void*);
      while (a < alignment) a <<= 1;
      alignment = a;
    }
    return posix_memalign(&r, alignment, bytes) == 0 ? r : nullptr;
  }
  threadcache* tc;
  int mymspace;
  p = GetThreadCache(p, &tc, &mymspace, &bytes);
  mspace m = lock_mspace(p, tc, &mymspace, bytes);
  void* ret = mspace_memalign(m, alignment, bytes);
  mspace_unlock(m);
  return ret;
}

namespace {
// The system heap has no independent allocation: each element is its own block there.
void** system_independent(size_t n, const size_t* sizes, bool same, bool zero, void** chunks) {
  void** out = chunks;
  if (!out) {
    out = static_cast<void**>(std::malloc((n ? n : 1) * sizeof(void*)));
    if (!out) return nullptr;
  }
  for (size_t i = 0; i < n; ++i) {
    size_t s = same ? sizes[0] : sizes[i];
    out[i] = zero ? std::calloc(1, s) : std::malloc(s);
    if (!out[i]) {
      while (i) std::free(out[--i]);
      if (!chunks) std::free(out);
      return nullptr;
    }
  }
  return out;
}
}  // namespace

void** nedpindependent_calloc(nedpool* p, size_t elemsno, size_t elemsize, void** chunks) {
  if (kSystemAllocator && !p) return system_independent(elemsno, &elemsize, true, true, chunks);
  threadcache* tc;
  int mymspace;
  size_t size = elemsno * elemsize;
  if (elemsize && size / elemsize != elemsno) return nullptr;
  p = GetThreadCache(p, &tc, &mymspace, &size);
  mspace m = lock_mspace(p, tc, &mymspace, size);
  void** ret = mspace_independent_calloc(m, elemsno, elemsize, chunks);
  mspace_unlock(m);
  return ret;
}

void** nedpindependent_comalloc(nedpool* p, size_t elems, size_t* sizes, void** chunks) {
  if (kSystemAllocator && !p) return system_independent(elems, sizes, false, false, chunks);
  threadcache* tc;
  int mymspace;
  size_t size = 0;
  for (size_t i = 0; i < elems; ++i) {
    if (__builtin_add_overflow(size, sizes[i], &size)) return nullptr;
  }
  p = GetThreadCache(p, &tc, &mymspace, &size);
  mspace m = lock_mspace(p, tc, &mymspace, size);
  void** ret = mspace_independent_comalloc(m, elems, sizes, chunks);
  mspace_unlock(m);
  return ret;
}

nedalloc::mallinfo nedpmallinfo(nedpool* p) {
  nedalloc::mallinfo ret{};
  if (kSystemAllocator && !p) {
    struct mallinfo2 mi = mallinfo2();
    ret.arena = mi.arena;
    ret.ordblks = mi.ordblks;
    ret.hblkhd = mi.hblkhd;
    ret.usmblks = mi.arena + mi.hblkhd;
    ret.uordblks = mi.uordblks;
    ret.fordblks = mi.fordblks;
    ret.keepcost = mi.keepcost;
    return ret;
  }
  p = pool_of(p);
  for (int n = 0; n < kMaxMspacesPerPool; ++n) {
    mspace m = p->m[n].load(std::memory_order_acquire);
    if (!m) break;
    nedalloc::mallinfo t = mspace_mallinfo(m);
    ret.arena += t.arena;
    ret.ordblks += t.ordblks;
    ret.hblkhd += t.hblkhd;
    ret.usmblks += t.usmblks;
    ret.uordblks += t.uordblks;
    ret.fordblks += t.fordblks;
    ret.keepcost += t.keepcost;
  }
  return ret;
}

size_t nedpmalloc_footprint(nedpool* p) {
  if (kSystemAllocator && !p) {
    struct mallinfo2 mi = mallinfo2();
    return mi.arena + mi.hblkhd;
  }
  p = pool_of(p);
  size_t ret = 0;
  for (int n = 0; n < kMaxMspacesPerPool; ++n) {
    mspace m = p->m[n].load(std::memory_order_acquire);
    if (!m) break;
    ret += mspace_footprint(m);
  }
  return ret;
}

int nedpmalloc_trim(nedpool* p, size_t pad) {
  if (kSystemAllocator && !p) return malloc_trim(pad);
  p = pool_of(p);
  int ret = 0;
  for (int n = 0; n < kMaxMspacesPerPool; ++n) {
    mspace m = p->m[n].load(std::memory_order_acquire);
    if (!m) break;
    ret += mspace_trim(m, pad);
  }
  return ret;
}

void nedpmalloc_stats(nedpool* p) {
  if (kSystemAllocator && !p) return malloc_stats();
  p = pool_of(p);
  for (int n = 0; n < kMaxMspacesPerPool; ++n) {
    mspace m = p->m[n].load(std::memory_order_acquire);
    if (!m) break;
    mspace_malloc_stats(m);
  }
}

int nedpmallopt(nedpool*, int parno, int value) { return mspace_mallopt(parno, value); }

void nedpsetvalue(nedpool* p, void* v) { pool_of(p)->uservalue = v; }

void* nedgetvalue(nedpool** p, void* mem) {
  mspace m = mspace_owner(mem);
  if (!m) return nullptr;
  auto* np = static_cast<nedpool*>(mspace_get_extp(m));
  if (!np) return nullptr;
  if (p) *p = np;
  return np->uservalue;
}

size_t nedblksize(void* mem) {
  if (!mem) return 0;
  if (kSystemAllocator) return malloc_usable_size(mem);
  return mspace_usable_size(mem);
}

nedpool* nedcreatepool(size_t capacity, int threads) {
  void* raw = nedpcalloc(nullptr, 1, sizeof(nedpool));
  if (!raw) return nullptr;
  auto* ret = new (raw) nedpool();
  if (!InitPool(ret, capacity, threads)) {
    nedpfree(nullptr, raw);
    return nullptr;
  }
  return ret;
}

void neddestroypool(nedpool* p) {
  if (!p || p == &syspool) return;
  unregister_pool(p);
  spin_acquire(&p->mutex);
  for (int n = 0; n < kThreadCacheMaxCaches; ++n) destroy_cache(p, n);
  for (int n = 0; n < kMaxMspacesPerPool; ++n) {
    mspace m = p->m[n].load();
    if (!m) break;
    destroy_mspace(m);
    p->m[n].store(nullptr);
  }
  pthread_key_delete(p->mycache);
  spin_release(&p->mutex);
  p->~nedpool();
  nedpfree(nullptr, p);
}

void neddisablethreadcache(nedpool* p) {
  if (kSystemAllocator && !p) return;
  p = pool_of(p);
  long v = get_binding(p);
  if (v == 0) {
    set_binding(p, -1);
  } else if (v > 0) {
    spin_acquire(&p->mutex);
    threadcache* tc = p->caches[v - 1];
    double mallocs = tc->mallocs ? double(tc->mallocs) : 1.0;
    std::printf("Threadcache utilisation: %lf%% in cache with %lf%% lost to other threads\n",
                100.0 * tc->successes / mallocs, 100.0 * (double(tc->mallocs) - double(tc->frees)) / mallocs);
    set_binding(p, -(tc->mymspace + 1));
    // The cached blocks go back to their heaps rather than staying out of use.
    destroy_cache(p, int(v - 1));
    spin_release(&p->mutex);
  }
}

nedpool_info nedpoolinfo(nedpool* p) {
  nedpool_info info{};
  if (kSystemAllocator && !p) return info;
  p = pool_of(p);
  spin_acquire(&p->mutex);
  info.threads = p->threads;
  for (int n = 0; n < kMaxMspacesPerPool && p->m[n].load(); ++n) ++info.mspaces;
  for (threadcache* tc : p->caches)
    if (tc) ++info.caches;
  info.binding = get_binding(p);
  if (info.binding > 0) {
    threadcache* tc = p->caches[info.binding - 1];
    info.cache_free = tc->freeInCache;
    info.mallocs = tc->mallocs;
    info.frees = tc->frees;
    info.successes = tc->successes;
  }
  spin_release(&p->mutex);
  return info;
}

bool ned_uses_system_allocator() { return kSystemAllocator; }

// ---- the system pool -------------------------------------------------------------------------

void* nedmalloc(size_t size) { return nedpmalloc(nullptr, size); }
void* nedcalloc(size_t no, size_t size) { return nedpcalloc(nullptr, no, size); }
void* nedrealloc(void* mem, size_t size) { return nedprealloc(nullptr, mem, size); }
void nedfree(void* mem) { nedpfree(nullptr, mem); }
void* nedmemalign(size_t alignment, size_t bytes) { return nedpmemalign(nullptr, alignment, bytes); }
void** nedindependent_calloc(size_t elemsno, size_t elemsize, void** chunks) {
  return nedpindependent_calloc(nullptr, elemsno, elemsize, chunks);
}
void** nedindependent_comalloc(size_t elems, size_t* sizes, void** chunks) {
  return nedpindependent_comalloc(nullptr, elems, sizes, chunks);
}
nedalloc::mallinfo nedmallinfo() { return nedpmallinfo(nullptr); }
size_t nedmalloc_footprint() { return nedpmalloc_footprint(nullptr); }
int nedmalloc_trim(size_t pad) { return nedpmalloc_trim(nullptr, pad); }
void nedmalloc_stats() { nedpmalloc_stats(nullptr); }
int nedmallopt(int parno, int value) { return nedpmallopt(nullptr, parno, value); }
void nedsetvalue(void* v) { nedpsetvalue(nullptr, v); }
