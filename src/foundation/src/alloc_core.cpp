// Boundary-tag heap with exact small bins, bitwise trie bins for larger chunks, a designated
// victim, a top chunk, memory segments, direct mapping of large requests and trimming.
// Built twice: as mspaces (footers naming the owning heap, mapped memory only, locked) and as
// one process-global heap (no footers, grows the program break, no lock).
#include "foundation/alloc_core.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "spin_lock.h"

constinit std::atomic<int> nedalloc::g_check_level{1};

namespace {

using nedalloc::g_check_level;
using nedalloc::spin_acquire;
using nedalloc::spin_lock;
using nedalloc::spin_release;
using nedalloc::spin_try;
using flag_t = unsigned int;
using bindex_t = unsigned int;
using binmap_t = unsigned int;

constexpr size_t SIZE_T_SIZE = sizeof(size_t);
constexpr size_t SIZE_T_BITSIZE = sizeof(size_t) << 3;
constexpr size_t SIZE_T_ONE = 1;
constexpr size_t TWO_SIZE_T_SIZES = SIZE_T_SIZE * 2;
constexpr size_t FOUR_SIZE_T_SIZES = SIZE_T_SIZE * 4;
constexpr size_t SIX_SIZE_T_SIZES = SIZE_T_SIZE * 6;
constexpr size_t MAX_SIZE_T = ~size_t(0);
constexpr size_t HALF_MAX_SIZE_T = MAX_SIZE_T / 2;
constexpr size_t MALLOC_ALIGNMENT = kMallocAlignment;
constexpr size_t CHUNK_ALIGN_MASK = MALLOC_ALIGNMENT - 1;
char* const CMFAIL = reinterpret_cast<char*>(MAX_SIZE_T);

constexpr size_t PINUSE_BIT = 1;
constexpr size_t CINUSE_BIT = 2;
constexpr size_t INUSE_BITS = PINUSE_BIT | CINUSE_BIT;
constexpr size_t FENCEPOST_HEAD = INUSE_BITS | SIZE_T_SIZE;
constexpr size_t IS_MMAPPED_BIT = 1;  // in prev_foot of a directly mapped chunk, and segment flag
constexpr flag_t EXTERN_BIT = 8;      // segment flag: memory the caller owns

constexpr flag_t USE_MMAP_BIT = 1;
constexpr flag_t USE_LOCK_BIT = 2;
constexpr flag_t USE_NONCONTIGUOUS_BIT = 4;

constexpr size_t NSMALLBINS = 32;
constexpr size_t NTREEBINS = 32;
constexpr size_t SMALLBIN_SHIFT = 3;
constexpr size_t TREEBIN_SHIFT = 8;
constexpr size_t MIN_LARGE_SIZE = size_t(1) << TREEBIN_SHIFT;
constexpr size_t MAX_SMALL_SIZE = MIN_LARGE_SIZE - 1;
constexpr size_t MAX_RELEASE_CHECK_RATE = 4095;

constexpr size_t DEFAULT_MMAP_THRESHOLD = 256 * 1024;
constexpr size_t DEFAULT_TRIM_THRESHOLD = 2 * 1024 * 1024;

struct __attribute__((may_alias)) malloc_chunk {
  size_t prev_foot;
  size_t head;
  malloc_chunk* fd;
  malloc_chunk* bk;
};
using mchunkptr = malloc_chunk*;

struct __attribute__((may_alias)) malloc_tree_chunk {
  size_t prev_foot;
  size_t head;
  malloc_tree_chunk* fd;
  malloc_tree_chunk* bk;
  malloc_tree_chunk* child[2];
  malloc_tree_chunk* parent;
  bindex_t index;
};
using tchunkptr = malloc_tree_chunk*;
using tbinptr = malloc_tree_chunk*;

struct malloc_segment {
  char* base;
  size_t size;
  malloc_segment* next;
  flag_t sflags;
};
using msegmentptr = malloc_segment*;

struct malloc_state {
  binmap_t smallmap = 0;
  binmap_t treemap = 0;
  size_t dvsize = 0;
  size_t topsize = 0;
  char* least_addr = nullptr;
  mchunkptr dv = nullptr;
  mchunkptr top = nullptr;
  size_t trim_check = 0;
  size_t release_checks = 0;
  size_t magic = 0;
  mchunkptr smallbins[(NSMALLBINS + 1) * 2] = {};
  tbinptr treebins[NTREEBINS] = {};
  size_t footprint = 0;
  size_t max_footprint = 0;
  flag_t mflags = 0;
  spin_lock mutex;
  malloc_segment seg = {};
  void* extp = nullptr;
  size_t exts = 0;
};
using mstate = malloc_state*;

struct malloc_params {
  size_t magic = 0;
  size_t page_size = 0;
  size_t granularity = 0;
  size_t mmap_threshold = 0;
  size_t trim_threshold = 0;
  flag_t default_mflags = 0;
};


[[noreturn]] void heap_abort(const char* what, const void* where) {
  std::fprintf(stderr, "heap check failed: %s at %p - aborting!\n", what, where);
  std::fflush(stderr);
  std::abort();
}

inline void* call_mmap(size_t s) {
  void* p = mmap(nullptr, s, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? CMFAIL : p;
}
inline int call_munmap(void* a, size_t s) { return munmap(a, s); }
inline void* call_mremap(void* a, size_t olds, size_t news, int may_move) {
  void* p = mremap(a, olds, news, may_move ? MREMAP_MAYMOVE : 0);
  return p == MAP_FAILED ? CMFAIL : p;
}
inline void* call_sbrk(intptr_t incr) {
  void* p = sbrk(incr);
  return p == reinterpret_cast<void*>(-1) ? CMFAIL : p;
}

// Live mspaces, so that a footer can be checked before it is trusted.
constexpr int kMaxMspaces = 1024;
constinit std::atomic<malloc_state*> g_mspaces[kMaxMspaces] = {};
constinit std::atomic<int> g_mspace_hi{0};
constinit spin_lock g_registry_lock;

void register_mspace(mstate m) {
  spin_acquire(&g_registry_lock);
  int hi = g_mspace_hi.load(std::memory_order_relaxed);
  int slot = -1;
  for (int i = 0; i < hi; ++i)
    if (!g_mspaces[i].load(std::memory_order_relaxed)) { slot = i; break; }
  if (slot < 0 && hi < kMaxMspaces) {
    slot = hi;
    g_mspace_hi.store(hi + 1, std::memory_order_release);
  }
  if (slot < 0) {
    spin_release(&g_registry_lock);
    heap_abort("too many heaps", m);
  }
  g_mspaces[slot].store(m, std::memory_order_release);
  spin_release(&g_registry_lock);
}

// Bumped whenever an mspace goes away, so that a thread's memory of the last mspace it
// verified is dropped with it.
constinit std::atomic<unsigned> g_mspace_generation{0};
thread_local const void* t_verified_mspace = nullptr;
thread_local unsigned t_verified_generation = 0;

void unregister_mspace(mstate m) {
  spin_acquire(&g_registry_lock);
  int hi = g_mspace_hi.load(std::memory_order_relaxed);
  for (int i = 0; i < hi; ++i)
    if (g_mspaces[i].load(std::memory_order_relaxed) == m) g_mspaces[i].store(nullptr);
  g_mspace_generation.fetch_add(1, std::memory_order_acq_rel);
  spin_release(&g_registry_lock);
}

inline bool is_live_mspace(const void* m) {
  unsigned gen = g_mspace_generation.load(std::memory_order_acquire);
  if (m == t_verified_mspace && gen == t_verified_generation) return true;
  int hi = g_mspace_hi.load(std::memory_order_acquire);
  for (int i = 0; i < hi; ++i)
    if (g_mspaces[i].load(std::memory_order_relaxed) == m) {
      t_verified_mspace = m;
      t_verified_generation = gen;
      return true;
    }
  return false;
}

// ---- chunk geometry --------------------------------------------------------------------------

inline size_t align_offset(const void* a) {
  size_t v = reinterpret_cast<size_t>(a);
  return (v & CHUNK_ALIGN_MASK) == 0 ? 0 : ((MALLOC_ALIGNMENT - (v & CHUNK_ALIGN_MASK)) & CHUNK_ALIGN_MASK);
}
inline void* chunk2mem(const void* p) { return (char*)p + TWO_SIZE_T_SIZES; }
inline mchunkptr mem2chunk(const void* m) { return (mchunkptr)((char*)m - TWO_SIZE_T_SIZES); }
inline mchunkptr align_as_chunk(char* a) { return (mchunkptr)(a + align_offset(chunk2mem(a))); }
inline bool is_aligned(const void* a) { return (reinterpret_cast<size_t>(a) & CHUNK_ALIGN_MASK) == 0; }

inline bool cinuse(mchunkptr p) { return p->head & CINUSE_BIT; }
inline bool pinuse(mchunkptr p) { return p->head & PINUSE_BIT; }
inline size_t chunksize(mchunkptr p) { return p->head & ~INUSE_BITS; }
inline void clear_pinuse(mchunkptr p) { p->head &= ~PINUSE_BIT; }
inline mchunkptr chunk_plus_offset(mchunkptr p, size_t s) { return (mchunkptr)((char*)p + s); }
inline mchunkptr chunk_minus_offset(mchunkptr p, size_t s) { return (mchunkptr)((char*)p - s); }
inline mchunkptr next_chunk(mchunkptr p) { return (mchunkptr)((char*)p + chunksize(p)); }
inline mchunkptr prev_chunk(mchunkptr p) { return (mchunkptr)((char*)p - p->prev_foot); }
inline bool next_pinuse(mchunkptr p) { return next_chunk(p)->head & PINUSE_BIT; }
inline bool is_mmapped(mchunkptr p) { return !(p->head & PINUSE_BIT) && (p->prev_foot & IS_MMAPPED_BIT); }
inline void set_foot(mchunkptr p, size_t s) { ((mchunkptr)((char*)p + s))->prev_foot = s; }
inline void set_size_and_pinuse_of_free_chunk(mchunkptr p, size_t s) {
  p->head = s | PINUSE_BIT;
  set_foot(p, s);
}
inline void set_free_with_pinuse(mchunkptr p, size_t s, mchunkptr n) {
  clear_pinuse(n);
  set_size_and_pinuse_of_free_chunk(p, s);
}

inline bool is_small(size_t s) { return (s >> SMALLBIN_SHIFT) < NSMALLBINS; }
inline bindex_t small_index(size_t s) { return bindex_t(s >> SMALLBIN_SHIFT); }
inline size_t small_index2size(bindex_t i) { return size_t(i) << SMALLBIN_SHIFT; }

inline binmap_t idx2bit(bindex_t i) { return binmap_t(1) << i; }
inline binmap_t least_bit(binmap_t x) { return x & (0u - x); }
inline binmap_t left_bits(binmap_t x) { return (x << 1) | (0u - (x << 1)); }
inline bindex_t bit2idx(binmap_t x) { return bindex_t(__builtin_ctz(x)); }

inline bindex_t compute_tree_index(size_t s) {
  size_t x = s >> TREEBIN_SHIFT;
  if (x == 0) return 0;
  if (x > 0xFFFF) return NTREEBINS - 1;
  unsigned k = 31 - unsigned(__builtin_clz(unsigned(x)));
  return bindex_t((k << 1) + ((s >> (k + (TREEBIN_SHIFT - 1))) & 1));
}
inline size_t leftshift_for_tree_index(bindex_t i) {
  return i == NTREEBINS - 1 ? 0 : ((SIZE_T_BITSIZE - SIZE_T_ONE) - ((i >> 1) + TREEBIN_SHIFT - 2));
}
inline size_t minsize_for_tree_index(bindex_t i) {
  return (size_t(1) << ((i >> 1) + TREEBIN_SHIFT)) | (size_t(i & 1) << ((i >> 1) + TREEBIN_SHIFT - 1));
}
inline tchunkptr leftmost_child(tchunkptr t) { return t->child[0] ? t->child[0] : t->child[1]; }

inline mchunkptr smallbin_at(mstate m, bindex_t i) { return (mchunkptr)((char*)&m->smallbins[i << 1]); }
inline tbinptr* treebin_at(mstate m, bindex_t i) { return &m->treebins[i]; }
inline void mark_smallmap(mstate m, bindex_t i) { m->smallmap |= idx2bit(i); }
inline void clear_smallmap(mstate m, bindex_t i) { m->smallmap &= ~idx2bit(i); }
inline bool smallmap_is_marked(mstate m, bindex_t i) { return m->smallmap & idx2bit(i); }
inline void mark_treemap(mstate m, bindex_t i) { m->treemap |= idx2bit(i); }
inline void clear_treemap(mstate m, bindex_t i) { m->treemap &= ~idx2bit(i); }
inline bool treemap_is_marked(mstate m, bindex_t i) { return m->treemap & idx2bit(i); }

inline bool segment_holds(msegmentptr s, const void* a) {
  return (char*)a >= s->base && (char*)a < s->base + s->size;
}
inline bool is_mmapped_segment(msegmentptr s) { return s->sflags & IS_MMAPPED_BIT; }
inline bool is_extern_segment(msegmentptr s) { return s->sflags & EXTERN_BIT; }

msegmentptr segment_holding(mstate m, const void* addr) {
  for (msegmentptr sp = &m->seg; sp; sp = sp->next)
    if (segment_holds(sp, addr)) return sp;
  return nullptr;
}
bool has_segment_link(mstate m, msegmentptr ss) {
  for (msegmentptr sp = &m->seg; sp; sp = sp->next)
    if ((char*)sp >= ss->base && (char*)sp < ss->base + ss->size) return true;
  return false;
}

// ---- the heap, parameterised by footers (mspaces) or none (global heap) ---------------------

template <bool kFooters>
struct Heap {
  static constexpr size_t CHUNK_OVERHEAD = kFooters ? TWO_SIZE_T_SIZES : SIZE_T_SIZE;
  static constexpr size_t MMAP_CHUNK_OVERHEAD = TWO_SIZE_T_SIZES;
  static constexpr size_t MMAP_FOOT_PAD = FOUR_SIZE_T_SIZES;
  static constexpr size_t MCHUNK_SIZE = sizeof(malloc_chunk);
  static constexpr size_t MIN_CHUNK_SIZE = (MCHUNK_SIZE + CHUNK_ALIGN_MASK) & ~CHUNK_ALIGN_MASK;
  static constexpr size_t MAX_REQUEST = (0 - MIN_CHUNK_SIZE) << 2;
  static constexpr size_t MIN_REQUEST = MIN_CHUNK_SIZE - CHUNK_OVERHEAD - SIZE_T_ONE;
  static constexpr size_t MAX_SMALL_REQUEST = MAX_SMALL_SIZE - CHUNK_ALIGN_MASK - CHUNK_OVERHEAD;
  static constexpr size_t pad_request(size_t req) {
    return (req + CHUNK_OVERHEAD + CHUNK_ALIGN_MASK) & ~CHUNK_ALIGN_MASK;
  }
  static constexpr size_t request2size(size_t req) {
    return req < MIN_REQUEST ? MIN_CHUNK_SIZE : pad_request(req);
  }
  static constexpr size_t TOP_FOOT_SIZE = pad_request(sizeof(malloc_segment)) + MIN_CHUNK_SIZE;

  static malloc_params mparams;
  static spin_lock mparams_lock;
  static malloc_state gm;  // the global heap's state (unused for mspaces)

  static bool is_global(mstate m) { return !kFooters && m == &gm; }
  static bool is_initialized(mstate m) { return m->top != nullptr; }
  static bool use_lock(mstate m) { return m->mflags & USE_LOCK_BIT; }
  static bool use_mmap(mstate m) { return m->mflags & USE_MMAP_BIT; }
  static bool use_noncontiguous(mstate m) { return m->mflags & USE_NONCONTIGUOUS_BIT; }
  static size_t overhead_for(mchunkptr p) { return is_mmapped(p) ? MMAP_CHUNK_OVERHEAD : CHUNK_OVERHEAD; }
  static size_t granularity_align(size_t s) {
    return (s + mparams.granularity) & ~(mparams.granularity - SIZE_T_ONE);
  }
  static size_t page_align(size_t s) { return (s + mparams.page_size) & ~(mparams.page_size - SIZE_T_ONE); }
  static bool should_trim(mstate m, size_t s) { return s > m->trim_check; }

  static bool ok_address(mstate m, const void* a) { return (char*)a >= m->least_addr; }
  static bool ok_next(mchunkptr p, mchunkptr n) { return (char*)p < (char*)n; }
  static bool ok_magic(mstate m) { return m->magic == mparams.magic; }

  static void mark_inuse_foot(mstate m, mchunkptr p, size_t s) {
    if (kFooters) ((mchunkptr)((char*)p + s))->prev_foot = reinterpret_cast<size_t>(m) ^ mparams.magic;
  }
  static mstate get_mstate_for(mchunkptr p) {
    return (mstate)(((mchunkptr)((char*)p + chunksize(p)))->prev_foot ^ mparams.magic);
  }
  static void set_inuse(mstate m, mchunkptr p, size_t s) {
    p->head = (p->head & PINUSE_BIT) | s | CINUSE_BIT;
    ((mchunkptr)((char*)p + s))->head |= PINUSE_BIT;
    mark_inuse_foot(m, p, s);
  }
  static void set_inuse_and_pinuse(mstate m, mchunkptr p, size_t s) {
    p->head = s | PINUSE_BIT | CINUSE_BIT;
    ((mchunkptr)((char*)p + s))->head |= PINUSE_BIT;
    mark_inuse_foot(m, p, s);
  }
  static void set_size_and_pinuse_of_inuse_chunk(mstate m, mchunkptr p, size_t s) {
    p->head = s | PINUSE_BIT | CINUSE_BIT;
    mark_inuse_foot(m, p, s);
  }

  static bool lock(mstate m) {
    if (use_lock(m)) spin_acquire(&m->mutex);
    return true;
  }
  static void unlock(mstate m) {
    if (use_lock(m)) spin_release(&m->mutex);
  }

  [[noreturn]] static void corruption(mstate m) { heap_abort("corrupted heap", m); }
  [[noreturn]] static void usage_error(const void* p) { heap_abort("invalid block", p); }

  // ---- parameters ----
  static void init_mparams() {
    if (mparams.page_size != 0) return;
    spin_acquire(&mparams_lock);
    if (mparams.page_size == 0) {
      size_t psize;
      if (kFooters) {
        psize = 4096;
        mparams.granularity = 1024 * 1024;
        mparams.default_mflags = USE_MMAP_BIT | USE_LOCK_BIT | USE_NONCONTIGUOUS_BIT;
        size_t s = size_t(std::time(nullptr)) ^ size_t(0x55555555U);
        s |= 8U;
        s &= ~size_t(7U);
        mparams.magic = s;
      } else {
        long ps = sysconf(_SC_PAGESIZE);
        psize = ps > 0 ? size_t(ps) : 4096;
        if ((psize & (psize - 1)) != 0) heap_abort("page size not a power of two", nullptr);
        mparams.granularity = psize;
        mparams.default_mflags = USE_MMAP_BIT;
        mparams.magic = 0x58585858U;
        gm.mflags = mparams.default_mflags;
      }
      mparams.mmap_threshold = DEFAULT_MMAP_THRESHOLD;
      mparams.trim_threshold = DEFAULT_TRIM_THRESHOLD;
      std::atomic_thread_fence(std::memory_order_release);
      mparams.page_size = psize;
    }
    spin_release(&mparams_lock);
  }

  static int change_mparam(int param, int value) {
    init_mparams();
    size_t val = value == -1 ? MAX_SIZE_T : size_t(value);
    switch (param) {
      case -1:
        mparams.trim_threshold = val;
        return 1;
      case -2:
        if (value > 0 && val >= mparams.page_size && (val & (val - 1)) == 0) {
          mparams.granularity = val;
          return 1;
        }
        return 0;
      case -3:
        mparams.mmap_threshold = val;
        return 1;
      default:
        return 0;
    }
  }

  // ---- checks ----
  static void check_any_chunk(mstate m, mchunkptr p) {
    if (!(is_aligned(chunk2mem(p)) || p->head == FENCEPOST_HEAD) || !ok_address(m, p)) corruption(m);
  }
  static void check_top_chunk(mstate m, mchunkptr p) {
    msegmentptr sp = segment_holding(m, p);
    size_t sz = p->head & ~INUSE_BITS;
    if (!sp || !is_aligned(chunk2mem(p)) || !ok_address(m, p) || sz != m->topsize || sz == 0 ||
        sz != size_t((sp->base + sp->size) - (char*)p) - TOP_FOOT_SIZE || !pinuse(p) ||
        pinuse(chunk_plus_offset(p, sz)))
      corruption(m);
  }
  static void check_mmapped_chunk(mstate m, mchunkptr p) {
    size_t sz = chunksize(p);
    size_t len = sz + (p->prev_foot & ~IS_MMAPPED_BIT) + MMAP_FOOT_PAD;
    if (!is_mmapped(p) || !use_mmap(m) || !is_aligned(chunk2mem(p)) || !ok_address(m, p) || is_small(sz) ||
        (len & (mparams.page_size - SIZE_T_ONE)) != 0 || chunk_plus_offset(p, sz)->head != FENCEPOST_HEAD ||
        chunk_plus_offset(p, sz + SIZE_T_SIZE)->head != 0)
      corruption(m);
  }
  static void check_inuse_chunk(mstate m, mchunkptr p) {
    check_any_chunk(m, p);
    if (!cinuse(p) || !next_pinuse(p)) corruption(m);
    if (!is_mmapped(p) && !pinuse(p) && next_chunk(prev_chunk(p)) != p) corruption(m);
    if (is_mmapped(p)) check_mmapped_chunk(m, p);
  }
  static void check_free_chunk(mstate m, mchunkptr p) {
    size_t sz = chunksize(p);
    mchunkptr next = chunk_plus_offset(p, sz);
    check_any_chunk(m, p);
    if (cinuse(p) || next_pinuse(p) || is_mmapped(p)) corruption(m);
    if (p != m->dv && p != m->top) {
      if (sz >= MIN_CHUNK_SIZE) {
        if ((sz & CHUNK_ALIGN_MASK) != 0 || !is_aligned(chunk2mem(p)) || next->prev_foot != sz || !pinuse(p) ||
            !(next == m->top || cinuse(next)) || p->fd->bk != p || p->bk->fd != p)
          corruption(m);
      } else if (sz != SIZE_T_SIZE) {
        corruption(m);
      }
    }
  }
  static void check_malloced_chunk(mstate m, void* mem, size_t s) {
    if (!mem) return;
    mchunkptr p = mem2chunk(mem);
    size_t sz = p->head & ~INUSE_BITS;
    check_inuse_chunk(m, p);
    if ((sz & CHUNK_ALIGN_MASK) != 0 || sz < MIN_CHUNK_SIZE || sz < s ||
        !(is_mmapped(p) || sz < s + MIN_CHUNK_SIZE))
      corruption(m);
  }
  static void check_tree(mstate m, tchunkptr t) {
    tchunkptr head = nullptr;
    tchunkptr u = t;
    bindex_t tindex = t->index;
    size_t tsize = chunksize((mchunkptr)t);
    if (compute_tree_index(tsize) != tindex || tsize < MIN_LARGE_SIZE || tsize < minsize_for_tree_index(tindex) ||
        (tindex != NTREEBINS - 1 && tsize >= minsize_for_tree_index(tindex + 1)))
      corruption(m);
    do {
      check_any_chunk(m, (mchunkptr)u);
      if (u->index != tindex || chunksize((mchunkptr)u) != tsize || cinuse((mchunkptr)u) ||
          next_pinuse((mchunkptr)u) || u->fd->bk != u || u->bk->fd != u)
        corruption(m);
      if (u->parent == nullptr) {
        if (u->child[0] || u->child[1]) corruption(m);
      } else {
        if (head) corruption(m);
        head = u;
        if (u->parent == u) corruption(m);
        if (!(u->parent->child[0] == u || u->parent->child[1] == u || *((tbinptr*)(u->parent)) == u))
          corruption(m);
        if (u->child[0]) {
          if (u->child[0]->parent != u || u->child[0] == u) corruption(m);
          check_tree(m, u->child[0]);
        }
        if (u->child[1]) {
          if (u->child[1]->parent != u || u->child[1] == u) corruption(m);
          check_tree(m, u->child[1]);
        }
        if (u->child[0] && u->child[1] && chunksize((mchunkptr)u->child[0]) >= chunksize((mchunkptr)u->child[1]))
          corruption(m);
      }
      u = u->fd;
    } while (u != t);
    if (!head) corruption(m);
  }
  static void check_treebin(mstate m, bindex_t i) {
    tchunkptr t = *treebin_at(m, i);
    bool empty = (m->treemap & (1U << i)) == 0;
    if (!t && !empty) corruption(m);
    if (t && empty) corruption(m);
    if (!empty) check_tree(m, t);
  }
  static void check_smallbin(mstate m, bindex_t i) {
    mchunkptr b = smallbin_at(m, i);
    mchunkptr p = b->bk;
    bool empty = (m->smallmap & (1U << i)) == 0;
    if (p == b && !empty) corruption(m);
    if (!empty) {
      for (; p != b; p = p->bk) {
        size_t size = chunksize(p);
        check_free_chunk(m, p);
        if (small_index(size) != i) corruption(m);
        if (!(p->bk == b || chunksize(p->bk) == chunksize(p))) corruption(m);
        mchunkptr q = next_chunk(p);
        if (q->head != FENCEPOST_HEAD) check_inuse_chunk(m, q);
      }
    }
  }
  static bool bin_find(mstate m, mchunkptr x) {
    size_t size = chunksize(x);
    if (is_small(size)) {
      bindex_t sidx = small_index(size);
      mchunkptr b = smallbin_at(m, sidx);
      if (smallmap_is_marked(m, sidx)) {
        mchunkptr p = b;
        do {
          if (p == x) return true;
        } while ((p = p->fd) != b);
      }
    } else {
      bindex_t tidx = compute_tree_index(size);
      if (treemap_is_marked(m, tidx)) {
        tchunkptr t = *treebin_at(m, tidx);
        size_t sizebits = size << leftshift_for_tree_index(tidx);
        while (t && chunksize((mchunkptr)t) != size) {
          t = t->child[(sizebits >> (SIZE_T_BITSIZE - SIZE_T_ONE)) & 1];
          sizebits <<= 1;
        }
        if (t) {
          tchunkptr u = t;
          do {
            if (u == (tchunkptr)x) return true;
          } while ((u = u->fd) != t);
        }
      }
    }
    return false;
  }
  static size_t traverse_and_check(mstate m) {
    size_t sum = 0;
    if (is_initialized(m)) {
      msegmentptr s = &m->seg;
      sum += m->topsize + TOP_FOOT_SIZE;
      while (s) {
        mchunkptr q = align_as_chunk(s->base);
        mchunkptr lastq = nullptr;
        if (!pinuse(q)) corruption(m);
        while (segment_holds(s, q) && q != m->top && q->head != FENCEPOST_HEAD) {
          sum += chunksize(q);
          if (cinuse(q)) {
            if (bin_find(m, q)) corruption(m);
            check_inuse_chunk(m, q);
          } else {
            if (!(q == m->dv || bin_find(m, q))) corruption(m);
            if (lastq && !cinuse(lastq)) corruption(m);
            check_free_chunk(m, q);
          }
          lastq = q;
          q = next_chunk(q);
        }
        s = s->next;
      }
    }
    return sum;
  }
  static void check_malloc_state(mstate m) {
    for (bindex_t i = 0; i < NSMALLBINS; ++i) check_smallbin(m, i);
    for (bindex_t i = 0; i < NTREEBINS; ++i) check_treebin(m, i);
    if (m->dvsize != 0) {
      check_any_chunk(m, m->dv);
      if (m->dvsize != chunksize(m->dv) || m->dvsize < MIN_CHUNK_SIZE || bin_find(m, m->dv)) corruption(m);
    }
    if (m->top) {
      check_top_chunk(m, m->top);
      if (m->topsize == 0 || bin_find(m, m->top)) corruption(m);
    }
    size_t total = traverse_and_check(m);
    if (total > m->footprint || m->footprint > m->max_footprint) corruption(m);
  }

  static int level() { return g_check_level.load(std::memory_order_relaxed); }
  static void dbg_malloced(mstate m, void* mem, size_t s) {
    if (level() >= 1) check_malloced_chunk(m, mem, s);
  }
  static void dbg_top(mstate m) {
    if (level() >= 1) check_top_chunk(m, m->top);
  }
  static void dbg_free(mstate m, mchunkptr p) {
    if (level() >= 1) check_free_chunk(m, p);
  }
  static void dbg_inuse(mstate m, mchunkptr p) {
    if (level() >= 1) check_inuse_chunk(m, p);
  }
  static void dbg_state(mstate m) {
    if (level() >= 2) check_malloc_state(m);
  }

  // ---- bins ----
  static void insert_small_chunk(mstate m, mchunkptr p, size_t s) {
    bindex_t i = small_index(s);
    mchunkptr b = smallbin_at(m, i);
    mchunkptr f = b;
    if (!smallmap_is_marked(m, i))
      mark_smallmap(m, i);
    else if (ok_address(m, b->fd))
      f = b->fd;
    else
      corruption(m);
    b->fd = p;
    f->bk = p;
    p->fd = f;
    p->bk = b;
  }
  static void unlink_small_chunk(mstate m, mchunkptr p, size_t s) {
    mchunkptr f = p->fd;
    mchunkptr b = p->bk;
    bindex_t i = small_index(s);
    if (f == b) {
      clear_smallmap(m, i);
    } else if ((f == smallbin_at(m, i) || ok_address(m, f)) && (b == smallbin_at(m, i) || ok_address(m, b))) {
      f->bk = b;
      b->fd = f;
    } else {
      corruption(m);
    }
  }
  static void unlink_first_small_chunk(mstate m, mchunkptr b, mchunkptr p, bindex_t i) {
    mchunkptr f = p->fd;
    if (b == f) {
      clear_smallmap(m, i);
    } else if (ok_address(m, f)) {
      b->fd = f;
      f->bk = b;
    } else {
      corruption(m);
    }
  }
  static void insert_large_chunk(mstate m, tchunkptr x, size_t s) {
    bindex_t i = compute_tree_index(s);
    tbinptr* h = treebin_at(m, i);
    x->index = i;
    x->child[0] = x->child[1] = nullptr;
    if (!treemap_is_marked(m, i)) {
      mark_treemap(m, i);
      *h = x;
      x->parent = (tchunkptr)h;
      x->fd = x->bk = x;
    } else {
      tchunkptr t = *h;
      size_t k = s << leftshift_for_tree_index(i);
      for (;;) {
        if (chunksize((mchunkptr)t) != s) {
          tchunkptr* c = &(t->child[(k >> (SIZE_T_BITSIZE - SIZE_T_ONE)) & 1]);
          k <<= 1;
          if (*c) {
            t = *c;
          } else if (ok_address(m, c)) {
            *c = x;
            x->parent = t;
            x->fd = x->bk = x;
            break;
          } else {
            corruption(m);
          }
        } else {
          tchunkptr f = t->fd;
          if (ok_address(m, t) && ok_address(m, f)) {
            t->fd = f->bk = x;
            x->fd = f;
            x->bk = t;
            x->parent = nullptr;
            break;
          }
          corruption(m);
        }
      }
    }
  }
  static void unlink_large_chunk(mstate m, tchunkptr x) {
    tchunkptr xp = x->parent;
    tchunkptr r;
    if (x->bk != x) {
      tchunkptr f = x->fd;
      r = x->bk;
      if (ok_address(m, f)) {
        f->bk = r;
        r->fd = f;
      } else {
        corruption(m);
      }
    } else {
      tchunkptr* rp;
      if (((r = *(rp = &(x->child[1]))) != nullptr) || ((r = *(rp = &(x->child[0]))) != nullptr)) {
        tchunkptr* cp;
        while ((*(cp = &(r->child[1])) != nullptr) || (*(cp = &(r->child[0])) != nullptr)) r = *(rp = cp);
        if (ok_address(m, rp))
          *rp = nullptr;
        else
          corruption(m);
      }
    }
    if (xp) {
      tbinptr* h = treebin_at(m, x->index);
      if (x == *h) {
        if ((*h = r) == nullptr) clear_treemap(m, x->index);
      } else if (ok_address(m, xp)) {
        if (xp->child[0] == x)
          xp->child[0] = r;
        else
          xp->child[1] = r;
      } else {
        corruption(m);
      }
      if (r) {
        if (!ok_address(m, r)) corruption(m);
        r->parent = xp;
        tchunkptr c0, c1;
        if ((c0 = x->child[0]) != nullptr) {
          if (!ok_address(m, c0)) corruption(m);
          r->child[0] = c0;
          c0->parent = r;
        }
        if ((c1 = x->child[1]) != nullptr) {
          if (!ok_address(m, c1)) corruption(m);
          r->child[1] = c1;
          c1->parent = r;
        }
      }
    }
  }
  static void insert_chunk(mstate m, mchunkptr p, size_t s) {
    if (is_small(s))
      insert_small_chunk(m, p, s);
    else
      insert_large_chunk(m, (tchunkptr)p, s);
  }
  static void unlink_chunk(mstate m, mchunkptr p, size_t s) {
    if (is_small(s))
      unlink_small_chunk(m, p, s);
    else
      unlink_large_chunk(m, (tchunkptr)p);
  }
  static void replace_dv(mstate m, mchunkptr p, size_t s) {
    size_t dvs = m->dvsize;
    if (dvs != 0) insert_chunk(m, m->dv, dvs);
    m->dvsize = s;
    m->dv = p;
  }

  // ---- direct mapping ----
  static void* mmap_alloc(mstate m, size_t nb) {
    size_t mmsize = granularity_align(nb + SIX_SIZE_T_SIZES + CHUNK_ALIGN_MASK);
    if (mmsize > nb) {
      char* mm = (char*)call_mmap(mmsize);
      if (mm != CMFAIL) {
        size_t offset = align_offset(chunk2mem(mm));
        size_t psize = mmsize - offset - MMAP_FOOT_PAD;
        mchunkptr p = (mchunkptr)(mm + offset);
        p->prev_foot = offset | IS_MMAPPED_BIT;
        p->head = psize | CINUSE_BIT;
        mark_inuse_foot(m, p, psize);
        chunk_plus_offset(p, psize)->head = FENCEPOST_HEAD;
        chunk_plus_offset(p, psize + SIZE_T_SIZE)->head = 0;
        if (m->least_addr == nullptr || mm < m->least_addr) m->least_addr = mm;
        if ((m->footprint += mmsize) > m->max_footprint) m->max_footprint = m->footprint;
        if (level() >= 1) check_mmapped_chunk(m, p);
        return chunk2mem(p);
      }
    }
    return nullptr;
  }
  static mchunkptr mmap_resize(mstate m, mchunkptr oldp, size_t nb) {
    size_t oldsize = chunksize(oldp);
    if (is_small(nb)) return nullptr;
    if (oldsize >= nb + SIZE_T_SIZE && (oldsize - nb) <= (mparams.granularity << 1)) return oldp;
    size_t offset = oldp->prev_foot & ~IS_MMAPPED_BIT;
    size_t oldmmsize = oldsize + offset + MMAP_FOOT_PAD;
    size_t newmmsize = granularity_align(nb + SIX_SIZE_T_SIZES + CHUNK_ALIGN_MASK);
    char* cp = (char*)call_mremap((char*)oldp - offset, oldmmsize, newmmsize, 1);
    if (cp != CMFAIL) {
      mchunkptr newp = (mchunkptr)(cp + offset);
      size_t psize = newmmsize - offset - MMAP_FOOT_PAD;
      newp->head = psize | CINUSE_BIT;
      mark_inuse_foot(m, newp, psize);
      chunk_plus_offset(newp, psize)->head = FENCEPOST_HEAD;
      chunk_plus_offset(newp, psize + SIZE_T_SIZE)->head = 0;
      if (cp < m->least_addr) m->least_addr = cp;
      if ((m->footprint += newmmsize - oldmmsize) > m->max_footprint) m->max_footprint = m->footprint;
      if (level() >= 1) check_mmapped_chunk(m, newp);
      return newp;
    }
    return nullptr;
  }

  // ---- top and segments ----
  static void init_top(mstate m, mchunkptr p, size_t psize) {
    size_t offset = align_offset(chunk2mem(p));
    p = (mchunkptr)((char*)p + offset);
    psize -= offset;
    m->top = p;
    m->topsize = psize;
    p->head = psize | PINUSE_BIT;
    chunk_plus_offset(p, psize)->head = TOP_FOOT_SIZE;
    m->trim_check = mparams.trim_threshold;
  }
  static void init_bins(mstate m) {
    for (bindex_t i = 0; i < NSMALLBINS; ++i) {
      mchunkptr bin = smallbin_at(m, i);
      bin->fd = bin->bk = bin;
    }
  }
  static void* prepend_alloc(mstate m, char* newbase, char* oldbase, size_t nb) {
    mchunkptr p = align_as_chunk(newbase);
    mchunkptr oldfirst = align_as_chunk(oldbase);
    size_t psize = (char*)oldfirst - (char*)p;
    mchunkptr q = chunk_plus_offset(p, nb);
    size_t qsize = psize - nb;
    set_size_and_pinuse_of_inuse_chunk(m, p, nb);
    if (oldfirst == m->top) {
      size_t tsize = m->topsize += qsize;
      m->top = q;
      q->head = tsize | PINUSE_BIT;
      dbg_top(m);
    } else if (oldfirst == m->dv) {
      size_t dsize = m->dvsize += qsize;
      m->dv = q;
      set_size_and_pinuse_of_free_chunk(q, dsize);
    } else {
      if (!cinuse(oldfirst)) {
        size_t nsize = chunksize(oldfirst);
        unlink_chunk(m, oldfirst, nsize);
        oldfirst = chunk_plus_offset(oldfirst, nsize);
        qsize += nsize;
      }
      set_free_with_pinuse(q, qsize, oldfirst);
      insert_chunk(m, q, qsize);
      dbg_free(m, q);
    }
    dbg_malloced(m, chunk2mem(p), nb);
    return chunk2mem(p);
  }
  static void add_segment(mstate m, char* tbase, size_t tsize, flag_t mmapped) {
    char* old_top = (char*)m->top;
    msegmentptr oldsp = segment_holding(m, old_top);
    char* old_end = oldsp->base + oldsp->size;
    size_t ssize = pad_request(sizeof(malloc_segment));
    char* rawsp = old_end - (ssize + FOUR_SIZE_T_SIZES + CHUNK_ALIGN_MASK);
    size_t offset = align_offset(chunk2mem(rawsp));
    char* asp = rawsp + offset;
    char* csp = (asp < (old_top + MIN_CHUNK_SIZE)) ? old_top : asp;
    mchunkptr sp = (mchunkptr)csp;
    msegmentptr ss = (msegmentptr)(chunk2mem(sp));
    mchunkptr tnext = chunk_plus_offset(sp, ssize);
    mchunkptr p = tnext;
    int nfences = 0;
    init_top(m, (mchunkptr)tbase, tsize - TOP_FOOT_SIZE);
    set_size_and_pinuse_of_inuse_chunk(m, sp, ssize);
    *ss = m->seg;
    m->seg.base = tbase;
    m->seg.size = tsize;
    m->seg.sflags = mmapped;
    m->seg.next = ss;
    for (;;) {
      mchunkptr nextp = chunk_plus_offset(p, SIZE_T_SIZE);
      p->head = FENCEPOST_HEAD;
      ++nfences;
      if ((char*)(&(nextp->head)) < old_end)
        p = nextp;
      else
        break;
    }
    if (nfences < 2) corruption(m);
    if (csp != old_top) {
      mchunkptr q = (mchunkptr)old_top;
      size_t psize = csp - old_top;
      mchunkptr tn = chunk_plus_offset(q, psize);
      set_free_with_pinuse(q, psize, tn);
      insert_chunk(m, q, psize);
    }
    dbg_top(m);
  }

  static void* sys_alloc(mstate m, size_t nb) {
    char* tbase = CMFAIL;
    size_t tsize = 0;
    flag_t mmap_flag = 0;
    init_mparams();

    if (use_mmap(m) && nb >= mparams.mmap_threshold) {
      void* mem = mmap_alloc(m, nb);
      if (mem) return mem;
    }

    // Grow the program break (global heap only), contiguously with the top when possible.
    if (!kFooters && !use_noncontiguous(m)) {
      char* br = CMFAIL;
      msegmentptr ss = m->top == nullptr ? nullptr : segment_holding(m, m->top);
      size_t asize = 0;
      if (ss == nullptr) {
        char* base = (char*)call_sbrk(0);
        if (base != CMFAIL) {
          asize = granularity_align(nb + TOP_FOOT_SIZE + SIZE_T_ONE);
          if ((reinterpret_cast<size_t>(base) & (mparams.page_size - 1)) != 0)
            asize += (page_align(reinterpret_cast<size_t>(base)) - reinterpret_cast<size_t>(base));
          if (asize < HALF_MAX_SIZE_T && (br = (char*)call_sbrk(intptr_t(asize))) == base) {
            tbase = base;
            tsize = asize;
          }
        }
      } else {
        asize = granularity_align(nb - m->topsize + TOP_FOOT_SIZE + SIZE_T_ONE);
        if (asize < HALF_MAX_SIZE_T && (br = (char*)call_sbrk(intptr_t(asize))) == ss->base + ss->size) {
          tbase = br;
          tsize = asize;
        }
      }
      if (tbase == CMFAIL) {
        if (br != CMFAIL) {
          // Someone else moved the break in between: give it back and stop trying.
          call_sbrk(-intptr_t(asize));
        }
        m->mflags |= USE_NONCONTIGUOUS_BIT;
      }
    }

    if (tbase == CMFAIL) {
      size_t req = nb + TOP_FOOT_SIZE + SIZE_T_ONE;
      size_t rsize = granularity_align(req);
      if (rsize > nb) {
        char* mp = (char*)call_mmap(rsize);
        if (mp != CMFAIL) {
          tbase = mp;
          tsize = rsize;
          mmap_flag = IS_MMAPPED_BIT;
        }
      }
    }

    if (tbase != CMFAIL) {
      if ((m->footprint += tsize) > m->max_footprint) m->max_footprint = m->footprint;
      if (!is_initialized(m)) {
        m->seg.base = tbase;
        if (m->least_addr == nullptr || tbase < m->least_addr) m->least_addr = tbase;
        m->seg.size = tsize;
        m->seg.sflags = mmap_flag;
        m->magic = mparams.magic;
        m->release_checks = MAX_RELEASE_CHECK_RATE;
        init_bins(m);
        if (is_global(m)) {
          init_top(m, (mchunkptr)tbase, tsize - TOP_FOOT_SIZE);
        } else {
          mchunkptr mn = next_chunk(mem2chunk(m));
          init_top(m, mn, size_t((tbase + tsize) - (char*)mn) - TOP_FOOT_SIZE);
        }
      } else {
        msegmentptr sp = &m->seg;
        while (sp && tbase != sp->base + sp->size) sp = sp->next;
        if (sp && !is_extern_segment(sp) && (sp->sflags & IS_MMAPPED_BIT) == mmap_flag && segment_holds(sp, m->top)) {
          sp->size += tsize;
          init_top(m, m->top, m->topsize + tsize);
        } else {
          if (tbase < m->least_addr) m->least_addr = tbase;
          sp = &m->seg;
          while (sp && sp->base != tbase + tsize) sp = sp->next;
          if (sp && !is_extern_segment(sp) && (sp->sflags & IS_MMAPPED_BIT) == mmap_flag) {
            char* oldbase = sp->base;
            sp->base = tbase;
            sp->size += tsize;
            return prepend_alloc(m, tbase, oldbase, nb);
          }
          add_segment(m, tbase, tsize, mmap_flag);
        }
      }
      if (nb < m->topsize) {
        size_t rsize = m->topsize -= nb;
        mchunkptr p = m->top;
        mchunkptr r = m->top = chunk_plus_offset(p, nb);
        r->head = rsize | PINUSE_BIT;
        set_size_and_pinuse_of_inuse_chunk(m, p, nb);
        dbg_top(m);
        dbg_malloced(m, chunk2mem(p), nb);
        return chunk2mem(p);
      }
    }
    errno = ENOMEM;
    return nullptr;
  }

  static size_t release_unused_segments(mstate m) {
    size_t released = 0;
    size_t nsegs = 0;
    msegmentptr pred = &m->seg;
    msegmentptr sp = pred->next;
    while (sp) {
      char* base = sp->base;
      size_t size = sp->size;
      msegmentptr next = sp->next;
      ++nsegs;
      if (is_mmapped_segment(sp) && !is_extern_segment(sp)) {
        mchunkptr p = align_as_chunk(base);
        size_t psize = chunksize(p);
        if (!cinuse(p) && (char*)p + psize >= base + size - TOP_FOOT_SIZE) {
          tchunkptr tp = (tchunkptr)p;
          if (p == m->dv) {
            m->dv = nullptr;
            m->dvsize = 0;
          } else {
            unlink_large_chunk(m, tp);
          }
          if (call_munmap(base, size) == 0) {
            released += size;
            m->footprint -= size;
            sp = pred;
            sp->next = next;
          } else {
            insert_large_chunk(m, tp, psize);
          }
        }
      }
      pred = sp;
      sp = next;
    }
    m->release_checks = nsegs > MAX_RELEASE_CHECK_RATE ? nsegs : MAX_RELEASE_CHECK_RATE;
    return released;
  }

  static int sys_trim(mstate m, size_t pad) {
    size_t released = 0;
    init_mparams();
    if (pad < MAX_REQUEST && is_initialized(m)) {
      pad += TOP_FOOT_SIZE;
      if (m->topsize > pad) {
        size_t unit = mparams.granularity;
        size_t extra = ((m->topsize - pad + (unit - SIZE_T_ONE)) / unit - SIZE_T_ONE) * unit;
        msegmentptr sp = segment_holding(m, m->top);
        if (!is_extern_segment(sp)) {
          if (is_mmapped_segment(sp)) {
            if (extra != 0 && sp->size >= extra && !has_segment_link(m, sp)) {
              size_t newsize = sp->size - extra;
              if (call_mremap(sp->base, sp->size, newsize, 0) != CMFAIL || call_munmap(sp->base + newsize, extra) == 0)
                released = extra;
            }
          } else if (!kFooters && extra != 0) {
            if (extra >= HALF_MAX_SIZE_T) extra = HALF_MAX_SIZE_T + SIZE_T_ONE - unit;
            char* old_br = (char*)call_sbrk(0);
            if (old_br == sp->base + sp->size) {
              char* rel_br = (char*)call_sbrk(-intptr_t(extra));
              char* new_br = (char*)call_sbrk(0);
              if (rel_br != CMFAIL && new_br < old_br) released = old_br - new_br;
            }
          }
        }
        if (released != 0) {
          sp->size -= released;
          m->footprint -= released;
          init_top(m, m->top, m->topsize - released);
          dbg_top(m);
        }
      }
      released += release_unused_segments(m);
      if (released == 0 && m->topsize > m->trim_check) m->trim_check = MAX_SIZE_T;
    }
    return released != 0 ? 1 : 0;
  }

  // ---- allocation ----
  static void* tmalloc_large(mstate m, size_t nb) {
    tchunkptr v = nullptr;
    size_t rsize = 0 - nb;
    tchunkptr t;
    bindex_t idx = compute_tree_index(nb);
    if ((t = *treebin_at(m, idx)) != nullptr) {
      size_t sizebits = nb << leftshift_for_tree_index(idx);
      tchunkptr rst = nullptr;
      for (;;) {
        size_t trem = chunksize((mchunkptr)t) - nb;
        if (trem < rsize) {
          v = t;
          if ((rsize = trem) == 0) break;
        }
        tchunkptr rt = t->child[1];
        t = t->child[(sizebits >> (SIZE_T_BITSIZE - SIZE_T_ONE)) & 1];
        if (rt != nullptr && rt != t) rst = rt;
        if (t == nullptr) {
          t = rst;
          break;
        }
        sizebits <<= 1;
      }
    }
    if (t == nullptr && v == nullptr) {
      binmap_t leftbits = left_bits(idx2bit(idx)) & m->treemap;
      if (leftbits != 0) t = *treebin_at(m, bit2idx(least_bit(leftbits)));
    }
    while (t != nullptr) {
      size_t trem = chunksize((mchunkptr)t) - nb;
      if (trem < rsize) {
        rsize = trem;
        v = t;
      }
      t = leftmost_child(t);
    }
    if (v != nullptr && rsize < size_t(m->dvsize - nb)) {
      if (ok_address(m, v)) {
        mchunkptr r = chunk_plus_offset((mchunkptr)v, nb);
        if (ok_next((mchunkptr)v, r)) {
          unlink_large_chunk(m, v);
          if (rsize < MIN_CHUNK_SIZE) {
            set_inuse_and_pinuse(m, (mchunkptr)v, rsize + nb);
          } else {
            set_size_and_pinuse_of_inuse_chunk(m, (mchunkptr)v, nb);
            set_size_and_pinuse_of_free_chunk(r, rsize);
            insert_chunk(m, r, rsize);
          }
          return chunk2mem(v);
        }
      }
      corruption(m);
    }
    return nullptr;
  }

  static void* tmalloc_small(mstate m, size_t nb) {
    bindex_t i = bit2idx(least_bit(m->treemap));
    tchunkptr v, t;
    v = t = *treebin_at(m, i);
    size_t rsize = chunksize((mchunkptr)t) - nb;
    while ((t = leftmost_child(t)) != nullptr) {
      size_t trem = chunksize((mchunkptr)t) - nb;
      if (trem < rsize) {
        rsize = trem;
        v = t;
      }
    }
    if (ok_address(m, v)) {
      mchunkptr r = chunk_plus_offset((mchunkptr)v, nb);
      if (ok_next((mchunkptr)v, r)) {
        unlink_large_chunk(m, v);
        if (rsize < MIN_CHUNK_SIZE) {
          set_inuse_and_pinuse(m, (mchunkptr)v, rsize + nb);
        } else {
          set_size_and_pinuse_of_inuse_chunk(m, (mchunkptr)v, nb);
          set_size_and_pinuse_of_free_chunk(r, rsize);
          replace_dv(m, r, rsize);
        }
        return chunk2mem(v);
      }
    }
    corruption(m);
  }

  // Allocation with the heap's lock held (or no lock).
  static void* internal_malloc(mstate m, size_t bytes) {
    void* mem;
    size_t nb;
    if (bytes <= MAX_SMALL_REQUEST) {
      nb = bytes < MIN_REQUEST ? MIN_CHUNK_SIZE : pad_request(bytes);
      bindex_t idx = small_index(nb);
      binmap_t smallbits = m->smallmap >> idx;
      if ((smallbits & 0x3U) != 0) {
        idx += ~smallbits & 1;
        mchunkptr b = smallbin_at(m, idx);
        mchunkptr p = b->fd;
        unlink_first_small_chunk(m, b, p, idx);
        set_inuse_and_pinuse(m, p, small_index2size(idx));
        mem = chunk2mem(p);
        dbg_malloced(m, mem, nb);
        return mem;
      } else if (nb > m->dvsize) {
        if (smallbits != 0) {
          binmap_t leftbits = (smallbits << idx) & left_bits(idx2bit(idx));
          bindex_t i = bit2idx(least_bit(leftbits));
          mchunkptr b = smallbin_at(m, i);
          mchunkptr p = b->fd;
          unlink_first_small_chunk(m, b, p, i);
          size_t rsize = small_index2size(i) - nb;
          if (rsize < MIN_CHUNK_SIZE) {
            set_inuse_and_pinuse(m, p, small_index2size(i));
          } else {
            set_size_and_pinuse_of_inuse_chunk(m, p, nb);
            mchunkptr r = chunk_plus_offset(p, nb);
            set_size_and_pinuse_of_free_chunk(r, rsize);
            replace_dv(m, r, rsize);
          }
          mem = chunk2mem(p);
          dbg_malloced(m, mem, nb);
          return mem;
        } else if (m->treemap != 0 && (mem = tmalloc_small(m, nb)) != nullptr) {
          dbg_malloced(m, mem, nb);
          return mem;
        }
      }
    } else if (bytes >= MAX_REQUEST) {
      nb = MAX_SIZE_T;
    } else {
      nb = pad_request(bytes);
      if (m->treemap != 0 && (mem = tmalloc_large(m, nb)) != nullptr) {
        dbg_malloced(m, mem, nb);
        return mem;
      }
    }

    if (nb <= m->dvsize) {
      size_t rsize = m->dvsize - nb;
      mchunkptr p = m->dv;
      if (rsize >= MIN_CHUNK_SIZE) {
        mchunkptr r = m->dv = chunk_plus_offset(p, nb);
        m->dvsize = rsize;
        set_size_and_pinuse_of_free_chunk(r, rsize);
        set_size_and_pinuse_of_inuse_chunk(m, p, nb);
      } else {
        size_t dvs = m->dvsize;
        m->dvsize = 0;
        m->dv = nullptr;
        set_inuse_and_pinuse(m, p, dvs);
      }
      mem = chunk2mem(p);
      dbg_malloced(m, mem, nb);
      return mem;
    } else if (nb < m->topsize) {
      size_t rsize = m->topsize -= nb;
      mchunkptr p = m->top;
      mchunkptr r = m->top = chunk_plus_offset(p, nb);
      r->head = rsize | PINUSE_BIT;
      set_size_and_pinuse_of_inuse_chunk(m, p, nb);
      mem = chunk2mem(p);
      dbg_top(m);
      dbg_malloced(m, mem, nb);
      return mem;
    }
    if (nb == MAX_SIZE_T) {
      errno = ENOMEM;
      return nullptr;
    }
    return sys_alloc(m, nb);
  }

  // Free with the owning heap's lock held (or no lock); p was checked to belong to fm.
  static void internal_free(mstate fm, void* mem) {
    mchunkptr p = mem2chunk(mem);
    if (level() >= 1) check_inuse_chunk(fm, p);
    if (!(ok_address(fm, p) && cinuse(p))) usage_error(mem);
    size_t psize = chunksize(p);
    mchunkptr next = chunk_plus_offset(p, psize);
    if (!pinuse(p)) {
      size_t prevsize = p->prev_foot;
      if ((prevsize & IS_MMAPPED_BIT) != 0) {
        prevsize &= ~IS_MMAPPED_BIT;
        psize += prevsize + MMAP_FOOT_PAD;
        if (call_munmap((char*)p - prevsize, psize) == 0) fm->footprint -= psize;
        return;
      }
      mchunkptr prev = chunk_minus_offset(p, prevsize);
      psize += prevsize;
      p = prev;
      if (!ok_address(fm, prev)) usage_error(mem);
      if (p != fm->dv) {
        unlink_chunk(fm, p, prevsize);
      } else if ((next->head & INUSE_BITS) == INUSE_BITS) {
        fm->dvsize = psize;
        set_free_with_pinuse(p, psize, next);
        return;
      }
    }
    if (!(ok_next(p, next) && pinuse(next))) usage_error(mem);
    if (!cinuse(next)) {
      if (next == fm->top) {
        size_t tsize = fm->topsize += psize;
        fm->top = p;
        p->head = tsize | PINUSE_BIT;
        if (p == fm->dv) {
          fm->dv = nullptr;
          fm->dvsize = 0;
        }
        if (should_trim(fm, tsize)) sys_trim(fm, 0);
        return;
      } else if (next == fm->dv) {
        size_t dsize = fm->dvsize += psize;
        fm->dv = p;
        set_size_and_pinuse_of_free_chunk(p, dsize);
        return;
      } else {
        size_t nsize = chunksize(next);
        psize += nsize;
        unlink_chunk(fm, next, nsize);
        set_size_and_pinuse_of_free_chunk(p, psize);
        if (p == fm->dv) {
          fm->dvsize = psize;
          return;
        }
      }
    } else {
      set_free_with_pinuse(p, psize, next);
    }
    if (is_small(psize)) {
      insert_small_chunk(fm, p, psize);
      dbg_free(fm, p);
    } else {
      insert_large_chunk(fm, (tchunkptr)p, psize);
      dbg_free(fm, p);
      if (--fm->release_checks == 0) release_unused_segments(fm);
    }
  }

  static void* internal_realloc(mstate m, void* oldmem, size_t bytes) {
    if (bytes >= MAX_REQUEST) {
      errno = ENOMEM;
      return nullptr;
    }
    mchunkptr oldp = mem2chunk(oldmem);
    size_t oldsize = chunksize(oldp);
    mchunkptr next = chunk_plus_offset(oldp, oldsize);
    mchunkptr newp = nullptr;
    void* extra = nullptr;
    if (!(ok_address(m, oldp) && cinuse(oldp) && ok_next(oldp, next) && pinuse(next))) usage_error(oldmem);
    size_t nb = request2size(bytes);
    if (is_mmapped(oldp)) {
      newp = mmap_resize(m, oldp, nb);
    } else if (oldsize >= nb) {
      size_t rsize = oldsize - nb;
      newp = oldp;
      if (rsize >= MIN_CHUNK_SIZE) {
        mchunkptr remainder = chunk_plus_offset(newp, nb);
        set_inuse(m, newp, nb);
        set_inuse(m, remainder, rsize);
        extra = chunk2mem(remainder);
      }
    } else if (next == m->top && oldsize + m->topsize > nb) {
      size_t newsize = oldsize + m->topsize;
      size_t newtopsize = newsize - nb;
      mchunkptr newtop = chunk_plus_offset(oldp, nb);
      set_inuse(m, oldp, nb);
      newtop->head = newtopsize | PINUSE_BIT;
      m->top = newtop;
      m->topsize = newtopsize;
      newp = oldp;
    }
    if (newp) {
      if (extra) internal_free(m, extra);
      dbg_inuse(m, newp);
      return chunk2mem(newp);
    }
    void* newmem = internal_malloc(m, bytes);
    if (newmem) {
      size_t oc = oldsize - overhead_for(oldp);
      std::memcpy(newmem, oldmem, oc < bytes ? oc : bytes);
      internal_free(m, oldmem);
    }
    return newmem;
  }

  static void* internal_memalign(mstate m, size_t alignment, size_t bytes) {
    if (alignment <= MALLOC_ALIGNMENT) return internal_malloc(m, bytes);
    if (alignment < MIN_CHUNK_SIZE) alignment = MIN_CHUNK_SIZE;
    if ((alignment & (alignment - SIZE_T_ONE)) != 0) {
      size_t a = MALLOC_ALIGNMENT << 1;
      while (a < alignment) a <<= 1;
      alignment = a;
    }
    if (bytes >= MAX_REQUEST - alignment) {
      errno = ENOMEM;
      return nullptr;
    }
    size_t nb = request2size(bytes);
    size_t req = nb + alignment + MIN_CHUNK_SIZE - CHUNK_OVERHEAD;
    char* mem = (char*)internal_malloc(m, req);
    if (!mem) return nullptr;
    void* leader = nullptr;
    void* trailer = nullptr;
    mchunkptr p = mem2chunk(mem);
    if ((reinterpret_cast<size_t>(mem) % alignment) != 0) {
      char* br = (char*)mem2chunk((void*)((reinterpret_cast<size_t>(mem + alignment - SIZE_T_ONE)) & (0 - alignment)));
      char* pos = (size_t(br - (char*)p) >= MIN_CHUNK_SIZE) ? br : br + alignment;
      mchunkptr newp = (mchunkptr)pos;
      size_t leadsize = pos - (char*)p;
      size_t newsize = chunksize(p) - leadsize;
      if (is_mmapped(p)) {
        newp->prev_foot = p->prev_foot + leadsize;
        newp->head = newsize | CINUSE_BIT;
      } else {
        set_inuse(m, newp, newsize);
        set_inuse(m, p, leadsize);
        leader = chunk2mem(p);
      }
      p = newp;
    }
    if (!is_mmapped(p)) {
      size_t size = chunksize(p);
      if (size > nb + MIN_CHUNK_SIZE) {
        size_t remainder_size = size - nb;
        mchunkptr remainder = chunk_plus_offset(p, nb);
        set_inuse(m, p, nb);
        set_inuse(m, remainder, remainder_size);
        trailer = chunk2mem(remainder);
      }
    }
    if (leader) internal_free(m, leader);
    if (trailer) internal_free(m, trailer);
    dbg_inuse(m, p);
    return chunk2mem(p);
  }

  static void** ialloc(mstate m, size_t n_elements, const size_t* sizes, int opts, void* chunks[]) {
    size_t element_size, contents_size, array_size;
    void** marray;
    if (chunks) {
      if (n_elements == 0) return chunks;
      marray = chunks;
      array_size = 0;
    } else {
      if (n_elements == 0) return (void**)internal_malloc(m, 0);
      marray = nullptr;
      if (n_elements > MAX_REQUEST / sizeof(void*)) return nullptr;
      array_size = request2size(n_elements * sizeof(void*));
    }
    if (opts & 0x1) {
      if (*sizes >= MAX_REQUEST) return nullptr;
      element_size = request2size(*sizes);
      if (n_elements > MAX_REQUEST / element_size) return nullptr;
      contents_size = n_elements * element_size;
    } else {
      element_size = 0;
      contents_size = 0;
      for (size_t i = 0; i != n_elements; ++i) {
        if (sizes[i] >= MAX_REQUEST) return nullptr;
        contents_size += request2size(sizes[i]);
        if (contents_size >= MAX_REQUEST) return nullptr;
      }
    }
    size_t size = contents_size + array_size;
    if (size >= MAX_REQUEST) return nullptr;
    bool was_enabled = use_mmap(m);
    m->mflags &= ~USE_MMAP_BIT;
    void* mem = internal_malloc(m, size - CHUNK_OVERHEAD);
    if (was_enabled) m->mflags |= USE_MMAP_BIT;
    if (!mem) return nullptr;
    mchunkptr p = mem2chunk(mem);
    size_t remainder_size = chunksize(p);
    if (opts & 0x2) std::memset(mem, 0, remainder_size - SIZE_T_SIZE - array_size);
    if (!marray) {
      mchunkptr array_chunk = chunk_plus_offset(p, contents_size);
      size_t array_chunk_size = remainder_size - contents_size;
      marray = (void**)chunk2mem(array_chunk);
      set_size_and_pinuse_of_inuse_chunk(m, array_chunk, array_chunk_size);
      remainder_size = contents_size;
    }
    for (size_t i = 0;; ++i) {
      marray[i] = chunk2mem(p);
      if (i != n_elements - 1) {
        size = element_size != 0 ? element_size : request2size(sizes[i]);
        remainder_size -= size;
        set_size_and_pinuse_of_inuse_chunk(m, p, size);
        p = chunk_plus_offset(p, size);
      } else {
        set_size_and_pinuse_of_inuse_chunk(m, p, remainder_size);
        break;
      }
    }
    return marray;
  }

  static nedalloc::mallinfo internal_mallinfo(mstate m) {
    nedalloc::mallinfo nm{};
    init_mparams();
    lock(m);
    dbg_state(m);
    if (is_initialized(m)) {
      size_t nfree = SIZE_T_ONE;
      size_t mfree = m->topsize + TOP_FOOT_SIZE;
      size_t sum = mfree;
      for (msegmentptr s = &m->seg; s; s = s->next) {
        mchunkptr q = align_as_chunk(s->base);
        while (segment_holds(s, q) && q != m->top && q->head != FENCEPOST_HEAD) {
          size_t sz = chunksize(q);
          sum += sz;
          if (!cinuse(q)) {
            mfree += sz;
            ++nfree;
          }
          q = next_chunk(q);
        }
      }
      nm.arena = sum;
      nm.ordblks = nfree;
      nm.hblkhd = m->footprint - sum;
      nm.usmblks = m->max_footprint;
      nm.uordblks = m->footprint - mfree;
      nm.fordblks = mfree;
      nm.keepcost = m->topsize;
    }
    unlock(m);
    return nm;
  }

  static void internal_malloc_stats(mstate m) {
    size_t maxfp = 0, fp = 0, used = 0;
    init_mparams();
    lock(m);
    if (is_initialized(m)) {
      maxfp = m->max_footprint;
      fp = m->footprint;
      used = fp - (m->topsize + TOP_FOOT_SIZE);
      for (msegmentptr s = &m->seg; s; s = s->next) {
        mchunkptr q = align_as_chunk(s->base);
        while (segment_holds(s, q) && q != m->top && q->head != FENCEPOST_HEAD) {
          if (!cinuse(q)) used -= chunksize(q);
          q = next_chunk(q);
        }
      }
    }
    unlock(m);
    std::fprintf(stderr, "max system bytes = %10lu\n", (unsigned long)maxfp);
    std::fprintf(stderr, "system bytes     = %10lu\n", (unsigned long)fp);
    std::fprintf(stderr, "in use bytes     = %10lu\n", (unsigned long)used);
  }

  static void check_state_locked(mstate m) {
    lock(m);
    check_malloc_state(m);
    unlock(m);
  }
};

template <bool F> constinit malloc_params Heap<F>::mparams{};
template <bool F> constinit spin_lock Heap<F>::mparams_lock{};
template <bool F> constinit malloc_state Heap<F>::gm{};

using MS = Heap<true>;   // mspaces
using GH = Heap<false>;  // the global heap

// ---- mspace plumbing ----

mstate init_user_mstate(char* tbase, size_t tsize) {
  size_t msize = MS::pad_request(sizeof(malloc_state));
  mchunkptr msp = align_as_chunk(tbase);
  mstate m = (mstate)chunk2mem(msp);
  std::memset((void*)m, 0, msize);
  msp->head = msize | PINUSE_BIT | CINUSE_BIT;
  m->seg.base = m->least_addr = tbase;
  m->seg.size = m->footprint = m->max_footprint = tsize;
  m->magic = MS::mparams.magic;
  m->release_checks = MAX_RELEASE_CHECK_RATE;
  m->mflags = MS::mparams.default_mflags;
  m->extp = nullptr;
  m->exts = 0;
  m->mflags |= USE_NONCONTIGUOUS_BIT;
  MS::init_bins(m);
  mchunkptr mn = next_chunk(mem2chunk(m));
  MS::init_top(m, mn, size_t((tbase + tsize) - (char*)mn) - MS::TOP_FOOT_SIZE);
  MS::dbg_top(m);
  return m;
}

inline void set_lock(mstate m, int locked) {
  if (locked)
    m->mflags |= USE_LOCK_BIT;
  else
    m->mflags &= ~USE_LOCK_BIT;
}

// The mspace of a block from its own words and footer, which no other thread writes while the
// block is in use; null when they fail the usage checks.
mstate quick_owner(const void* mem) {
  if (!mem || !is_aligned(mem)) return nullptr;
  mchunkptr p = mem2chunk(mem);
  if (!cinuse(p)) return nullptr;
  size_t sz = chunksize(p);
  if (sz < MS::MIN_CHUNK_SIZE || (sz & CHUNK_ALIGN_MASK) != 0) return nullptr;
  MS::init_mparams();
  mstate fm = MS::get_mstate_for(p);
  if (!is_live_mspace(fm) || !MS::ok_magic(fm)) return nullptr;
  if ((char*)p < fm->least_addr) return nullptr;
  return fm;
}

// The full checks: the neighbours belong to whoever holds the owner's lock, so they are read
// under it.
mstate checked_owner(const void* mem) {
  mstate fm = quick_owner(mem);
  if (!fm) return nullptr;
  mchunkptr p = mem2chunk(mem);
  bool ok = true;
  MS::lock(fm);
  if (!is_mmapped(p)) {
    mchunkptr next = chunk_plus_offset(p, chunksize(p));
    if (!pinuse(next)) ok = false;
    if (ok && !pinuse(p)) {
      mchunkptr prev = prev_chunk(p);
      if ((char*)prev < fm->least_addr || chunksize(prev) != p->prev_foot || cinuse(prev)) ok = false;
    }
  }
  MS::unlock(fm);
  return ok ? fm : nullptr;
}

// Owner from the footer, aborting on any misuse.
mstate owner_or_abort(void* mem) {
  mchunkptr p = mem2chunk(mem);
  if (!is_aligned(mem) || !cinuse(p)) MS::usage_error(mem);
  MS::init_mparams();
  mstate fm = MS::get_mstate_for(p);
  if (!is_live_mspace(fm) || !MS::ok_magic(fm)) MS::usage_error(mem);
  return fm;
}

}  // namespace

// ---- public mspace interface ----------------------------------------------------------------

mspace create_mspace(size_t capacity, int locked) {
  mstate m = nullptr;
  size_t msize = MS::pad_request(sizeof(malloc_state));
  MS::init_mparams();
  if (capacity < MAX_SIZE_T - (msize + MS::TOP_FOOT_SIZE + MS::mparams.page_size + MS::mparams.granularity)) {
    size_t rs = capacity == 0 ? MS::mparams.granularity : capacity + MS::TOP_FOOT_SIZE + msize;
    size_t tsize = MS::granularity_align(rs);
    char* tbase = (char*)call_mmap(tsize);
    if (tbase != CMFAIL) {
      m = init_user_mstate(tbase, tsize);
      m->seg.sflags = IS_MMAPPED_BIT;
      set_lock(m, locked);
      register_mspace(m);
    }
  }
  return m;
}

mspace create_mspace_with_base(void* base, size_t capacity, int locked) {
  mstate m = nullptr;
  size_t msize = MS::pad_request(sizeof(malloc_state));
  MS::init_mparams();
  if (base && capacity > msize + MS::TOP_FOOT_SIZE &&
      capacity < MAX_SIZE_T - (msize + MS::TOP_FOOT_SIZE + MS::mparams.page_size)) {
    m = init_user_mstate((char*)base, capacity);
    m->seg.sflags = EXTERN_BIT;
    set_lock(m, locked);
    register_mspace(m);
  }
  return m;
}

size_t destroy_mspace(mspace msp) {
  size_t freed = 0;
  mstate ms = (mstate)msp;
  if (!ms || !is_live_mspace(ms) || !MS::ok_magic(ms)) MS::usage_error(ms);
  unregister_mspace(ms);
  msegmentptr sp = &ms->seg;
  while (sp) {
    char* base = sp->base;
    size_t size = sp->size;
    flag_t flag = sp->sflags;
    sp = sp->next;
    if ((flag & IS_MMAPPED_BIT) && !(flag & EXTERN_BIT) && call_munmap(base, size) == 0) freed += size;
  }
  return freed;
}

void* mspace_malloc(mspace msp, size_t bytes) {
  mstate ms = (mstate)msp;
  if (!MS::ok_magic(ms)) MS::usage_error(ms);
  MS::lock(ms);
  void* mem = MS::internal_malloc(ms, bytes);
  MS::dbg_state(ms);
  MS::unlock(ms);
  return mem;
}

void mspace_free(mspace, void* mem) {
  if (!mem) return;
  mstate fm = owner_or_abort(mem);
  MS::lock(fm);
  MS::internal_free(fm, mem);
  MS::dbg_state(fm);
  MS::unlock(fm);
}

void* mspace_realloc(mspace msp, void* mem, size_t bytes) {
  if (!mem) return mspace_malloc(msp, bytes);
  mstate ms = owner_or_abort(mem);
  MS::lock(ms);
  void* r = MS::internal_realloc(ms, mem, bytes);
  MS::dbg_state(ms);
  MS::unlock(ms);
  return r;
}

void* mspace_calloc(mspace msp, size_t n_elements, size_t elem_size) {
  mstate ms = (mstate)msp;
  if (!MS::ok_magic(ms)) MS::usage_error(ms);
  size_t req = 0;
  if (n_elements != 0) {
    req = n_elements * elem_size;
    if (((n_elements | elem_size) & ~size_t(0xffff)) && (req / n_elements != elem_size)) return nullptr;
  }
  MS::lock(ms);
  void* mem = MS::internal_malloc(ms, req);
  MS::unlock(ms);
  if (mem && !is_mmapped(mem2chunk(mem))) std::memset(mem, 0, req);
  return mem;
}

void* mspace_memalign(mspace msp, size_t alignment, size_t bytes) {
  mstate ms = (mstate)msp;
  if (!MS::ok_magic(ms)) MS::usage_error(ms);
  MS::lock(ms);
  void* mem = MS::internal_memalign(ms, alignment, bytes);
  MS::dbg_state(ms);
  MS::unlock(ms);
  return mem;
}

void** mspace_independent_calloc(mspace msp, size_t n_elements, size_t elem_size, void* chunks[]) {
  mstate ms = (mstate)msp;
  if (!MS::ok_magic(ms)) MS::usage_error(ms);
  size_t sz = elem_size;
  MS::lock(ms);
  void** r = MS::ialloc(ms, n_elements, &sz, 3, chunks);
  MS::unlock(ms);
  return r;
}

void** mspace_independent_comalloc(mspace msp, size_t n_elements, size_t sizes[], void* chunks[]) {
  mstate ms = (mstate)msp;
  if (!MS::ok_magic(ms)) MS::usage_error(ms);
  MS::lock(ms);
  void** r = MS::ialloc(ms, n_elements, sizes, 0, chunks);
  MS::unlock(ms);
  return r;
}

int mspace_trim(mspace msp, size_t pad) {
  mstate ms = (mstate)msp;
  if (!MS::ok_magic(ms)) MS::usage_error(ms);
  MS::lock(ms);
  int r = MS::sys_trim(ms, pad);
  MS::unlock(ms);
  return r;
}

size_t mspace_footprint(mspace msp) {
  mstate ms = (mstate)msp;
  if (!MS::ok_magic(ms)) MS::usage_error(ms);
  return ms->footprint;
}

size_t mspace_max_footprint(mspace msp) {
  mstate ms = (mstate)msp;
  if (!MS::ok_magic(ms)) MS::usage_error(ms);
  return ms->max_footprint;
}

nedalloc::mallinfo mspace_mallinfo(mspace msp) {
  mstate ms = (mstate)msp;
  if (!MS::ok_magic(ms)) MS::usage_error(ms);
  return MS::internal_mallinfo(ms);
}

void mspace_malloc_stats(mspace msp) {
  mstate ms = (mstate)msp;
  if (!MS::ok_magic(ms)) MS::usage_error(ms);
  MS::internal_malloc_stats(ms);
}

int mspace_mallopt(int param, int value) { return MS::change_mparam(param, value); }

size_t mspace_usable_size(const void* mem) {
  if (!mem) return 0;
  mchunkptr p = mem2chunk(mem);
  if (!cinuse(p)) return 0;
  return chunksize(p) - MS::overhead_for(p);
}

mspace mspace_owner(const void* mem) { return checked_owner(mem); }
mspace mspace_owner_quick(const void* mem) { return quick_owner(mem); }

void mspace_set_extp(mspace msp, void* extp) { ((mstate)msp)->extp = extp; }
void* mspace_get_extp(mspace msp) { return ((mstate)msp)->extp; }
int mspace_trylock(mspace msp) { return spin_try(&((mstate)msp)->mutex) ? 1 : 0; }
void mspace_lock(mspace msp) { spin_acquire(&((mstate)msp)->mutex); }
void mspace_unlock(mspace msp) { spin_release(&((mstate)msp)->mutex); }

void mspace_set_check_level(int level) { g_check_level.store(level); }
void mspace_check(mspace msp) {
  mstate ms = (mstate)msp;
  if (!MS::ok_magic(ms)) MS::usage_error(ms);
  MS::check_state_locked(ms);
}

// ---- the global heap -------------------------------------------------------------------------

namespace {
inline mstate gmst() {
  GH::init_mparams();
  return &GH::gm;
}
void gh_after(mstate m) { GH::dbg_state(m); }
}  // namespace

void* dlmalloc(size_t bytes) {
  mstate m = gmst();
  void* mem = GH::internal_malloc(m, bytes);
  gh_after(m);
  return mem;
}

void dlfree(void* mem) {
  if (!mem) return;
  mstate m = gmst();
  if (!GH::is_initialized(m) || !is_aligned(mem)) GH::usage_error(mem);
  GH::internal_free(m, mem);
  gh_after(m);
}

void* dlrealloc(void* mem, size_t bytes) {
  if (!mem) return dlmalloc(bytes);
  mstate m = gmst();
  if (!GH::is_initialized(m) || !is_aligned(mem)) GH::usage_error(mem);
  void* r = GH::internal_realloc(m, mem, bytes);
  gh_after(m);
  return r;
}

void* dlcalloc(size_t n_elements, size_t elem_size) {
  size_t req = 0;
  if (n_elements != 0) {
    req = n_elements * elem_size;
    if (((n_elements | elem_size) & ~size_t(0xffff)) && (req / n_elements != elem_size)) return nullptr;
  }
  void* mem = dlmalloc(req);
  if (mem && !is_mmapped(mem2chunk(mem))) std::memset(mem, 0, req);
  return mem;
}

void* dlmemalign(size_t alignment, size_t bytes) {
  mstate m = gmst();
  void* r = GH::internal_memalign(m, alignment, bytes);
  gh_after(m);
  return r;
}

void* dlvalloc(size_t bytes) {
  GH::init_mparams();
  return dlmemalign(GH::mparams.page_size, bytes);
}

void* dlpvalloc(size_t bytes) {
  GH::init_mparams();
  size_t ps = GH::mparams.page_size;
  if (bytes > MAX_SIZE_T - ps) return nullptr;
  return dlmemalign(ps, (bytes + ps - SIZE_T_ONE) & ~(ps - SIZE_T_ONE));
}

void** dlindependent_calloc(size_t n_elements, size_t elem_size, void* chunks[]) {
  size_t sz = elem_size;
  return GH::ialloc(gmst(), n_elements, &sz, 3, chunks);
}

void** dlindependent_comalloc(size_t n_elements, size_t sizes[], void* chunks[]) {
  return GH::ialloc(gmst(), n_elements, sizes, 0, chunks);
}

int dlmalloc_trim(size_t pad) { return GH::sys_trim(gmst(), pad); }
size_t dlmalloc_footprint() { return gmst()->footprint; }
size_t dlmalloc_max_footprint() { return gmst()->max_footprint; }
nedalloc::mallinfo dlmallinfo() { return GH::internal_mallinfo(gmst()); }
void dlmalloc_stats() { GH::internal_malloc_stats(gmst()); }

size_t dlmalloc_usable_size(void* mem) {
  if (!mem) return 0;
  mchunkptr p = mem2chunk(mem);
  if (!cinuse(p)) return 0;
  return chunksize(p) - GH::overhead_for(p);
}

int dlmallopt(int param, int value) { return GH::change_mparam(param, value); }

void dlmalloc_check() {
  mstate m = gmst();
  GH::check_malloc_state(m);
}
