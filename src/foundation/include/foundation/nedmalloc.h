// The program's pooled allocator: every operator new and delete, and image and buffer code
// directly, take memory here. A pool spreads threads over up to four heaps and gives every
// thread a lock-free cache of recently freed small blocks. Blocks are 16-byte aligned, may be
// freed from any thread, and a null result means memory is exhausted.
#pragma once
#include <cstddef>
#include <new>

#include "foundation/alloc_core.h"

struct nedpool;

// Largest block a thread cache serves, and its size classes (32 << i bytes).
inline constexpr size_t kThreadCacheMax = 8192;
inline constexpr size_t kThreadCacheMin = 32;
inline constexpr int kThreadCacheBins = 9;
// A freed block whose usable size is at most this goes to the thread cache (free and realloc).
inline constexpr size_t kThreadCacheFreeMax = kThreadCacheMax + kMallocAlignment;
// The cache is thinned once it holds this many bytes.
inline constexpr size_t kThreadCacheMaxFree = 524288;
inline constexpr int kThreadCacheMaxCaches = 256;
inline constexpr int kMaxMspacesPerPool = 4;

void* nedmalloc(size_t size);
void* nedcalloc(size_t no, size_t size);
void* nedrealloc(void* mem, size_t size);
void nedfree(void* mem);
void* nedmemalign(size_t alignment, size_t bytes);
void** nedindependent_calloc(size_t elemsno, size_t elemsize, void** chunks);
void** nedindependent_comalloc(size_t elems, size_t* sizes, void** chunks);
nedalloc::mallinfo nedmallinfo();
size_t nedmalloc_footprint();
int nedmalloc_trim(size_t pad);
void nedmalloc_stats();
int nedmallopt(int parno, int value);
void nedsetvalue(void* v);

// Usable bytes of a block (0 for null).
size_t nedblksize(void* mem);

nedpool* nedcreatepool(size_t capacity, int threads);
void neddestroypool(nedpool* p);
void nedpsetvalue(nedpool* p, void* v);
// The user value of the pool that owns mem (storing the pool in *p when p is not null), or 0.
void* nedgetvalue(nedpool** p, void* mem);
void neddisablethreadcache(nedpool* p);

void* nedpmalloc(nedpool* p, size_t size);
void* nedpcalloc(nedpool* p, size_t no, size_t size);
void* nedprealloc(nedpool* p, void* mem, size_t size);
void nedpfree(nedpool* p, void* mem);
void* nedpmemalign(nedpool* p, size_t alignment, size_t bytes);
void** nedpindependent_calloc(nedpool* p, size_t elemsno, size_t elemsize, void** chunks);
void** nedpindependent_comalloc(nedpool* p, size_t elems, size_t* sizes, void** chunks);
nedalloc::mallinfo nedpmallinfo(nedpool* p);
size_t nedpmalloc_footprint(nedpool* p);
int nedpmalloc_trim(nedpool* p, size_t pad);
void nedpmalloc_stats(nedpool* p);
int nedpmallopt(nedpool* p, int parno, int value);

// What the tests and the memory report can see of a pool.
struct nedpool_info {
  int threads;        // most mspaces the pool may have
  int mspaces;        // mspaces it has now
  int caches;         // thread caches alive
  long binding;       // the calling thread's binding: n >= 1 cache n-1, negative -(mspace + 1), 0 none
  size_t cache_free;  // bytes in the calling thread's cache (0 without one)
  unsigned mallocs, frees, successes;  // the calling thread's cache counters
};
nedpool_info nedpoolinfo(nedpool* p);

// True when this build routes the allocator to the system's malloc (sanitizer builds).
bool ned_uses_system_allocator();

// Tagged forms of operator new: the tag and the line are accepted and not kept.
void* operator new(size_t size, const char* tag, int line);
void* operator new[](size_t size, const char* tag, int line);
void* operator new(size_t size, const std::nothrow_t&, const char* tag, int line) noexcept;
void* operator new[](size_t size, const std::nothrow_t&, const char* tag, int line) noexcept;
// Their matching forms, called only when a constructor throws.
void operator delete(void* p, const char* tag, int line) noexcept;
void operator delete[](void* p, const char* tag, int line) noexcept;
void operator delete(void* p, const std::nothrow_t&, const char* tag, int line) noexcept;
void operator delete[](void* p, const std::nothrow_t&, const char* tag, int line) noexcept;
