// The heap beneath the pooled allocator: independent heaps ("mspaces") with their own lock,
// segments and statistics, and one process-global heap with the dl-prefixed interface.
#pragma once
#include <atomic>
#include <cstddef>

namespace nedalloc {

// Allocator statistics; every field is a byte count except ordblks (a count of free chunks).
struct mallinfo {
  size_t arena;     // bytes in the heap's segments
  size_t ordblks;   // free chunks (the top counts as one)
  size_t smblks;    // always 0
  size_t hblks;     // always 0
  size_t hblkhd;    // bytes in directly mapped chunks
  size_t usmblks;   // highest footprint
  size_t fsmblks;   // always 0
  size_t uordblks;  // bytes in use
  size_t fordblks;  // bytes free
  size_t keepcost;  // size of the top chunk (what trimming could give back)
};

}  // namespace nedalloc

using mspace = void*;

// Block geometry on this build.
inline constexpr size_t kMallocAlignment = 16;
inline constexpr size_t kMinChunkSize = 32;

mspace create_mspace(size_t capacity, int locked);
mspace create_mspace_with_base(void* base, size_t capacity, int locked);
size_t destroy_mspace(mspace msp);
void* mspace_malloc(mspace msp, size_t bytes);
void mspace_free(mspace msp, void* mem);
void* mspace_realloc(mspace msp, void* mem, size_t bytes);
void* mspace_calloc(mspace msp, size_t n_elements, size_t elem_size);
void* mspace_memalign(mspace msp, size_t alignment, size_t bytes);
void** mspace_independent_calloc(mspace msp, size_t n_elements, size_t elem_size, void* chunks[]);
void** mspace_independent_comalloc(mspace msp, size_t n_elements, size_t sizes[], void* chunks[]);
int mspace_trim(mspace msp, size_t pad);
size_t mspace_footprint(mspace msp);
size_t mspace_max_footprint(mspace msp);
nedalloc::mallinfo mspace_mallinfo(mspace msp);
void mspace_malloc_stats(mspace msp);
int mspace_mallopt(int param, int value);

// Usable bytes of an mspace block (0 for null).
size_t mspace_usable_size(const void* mem);

// The mspace that owns a block, after the usage checks (aligned, in use, neighbours consistent,
// footer names a live mspace of this process, not below its lowest address); null otherwise.
mspace mspace_owner(const void* mem);
// The same from the block's own words and footer only (no lock taken).
mspace mspace_owner_quick(const void* mem);

// The back pointer from an mspace to the pool that owns it.
void mspace_set_extp(mspace msp, void* extp);
void* mspace_get_extp(mspace msp);
// Lock and unlock an mspace from outside (recursive; the pool layer uses them).
int mspace_trylock(mspace msp);
void mspace_lock(mspace msp);
void mspace_unlock(mspace msp);

// Consistency checking: level 0 runs only the usage and corruption checks, level 1 adds the
// per-operation assertions, level 2 also checks every bin and chunk after each operation.
// Any failed check writes a line to stderr and aborts.
void mspace_set_check_level(int level);
namespace nedalloc {
extern std::atomic<int> g_check_level;
}
inline int mspace_check_level() { return nedalloc::g_check_level.load(std::memory_order_relaxed); }
// Walks the whole mspace now, whatever the level.
void mspace_check(mspace msp);

// The process-global heap: the same algorithm without footers and without a lock.
void* dlmalloc(size_t bytes);
void dlfree(void* mem);
void* dlrealloc(void* mem, size_t bytes);
void* dlcalloc(size_t n_elements, size_t elem_size);
void* dlmemalign(size_t alignment, size_t bytes);
void* dlvalloc(size_t bytes);
void* dlpvalloc(size_t bytes);
void** dlindependent_calloc(size_t n_elements, size_t elem_size, void* chunks[]);
void** dlindependent_comalloc(size_t n_elements, size_t sizes[], void* chunks[]);
int dlmalloc_trim(size_t pad);
size_t dlmalloc_footprint();
size_t dlmalloc_max_footprint();
nedalloc::mallinfo dlmallinfo();
void dlmalloc_stats();
size_t dlmalloc_usable_size(void* mem);
int dlmallopt(int param, int value);
void dlmalloc_check();
