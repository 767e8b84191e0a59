// Every form of operator new and delete, on the pooled allocator. At least one byte is taken,
// an installed new-handler is retried, and only std::bad_alloc escapes the throwing forms.
// Builds that route to the system's malloc (sanitizers, valgrind) keep the library operators.
#include <cstddef>
#include <new>

#include "foundation/nedmalloc.h"

#ifndef VOL_SYSTEM_ALLOCATOR

namespace {

void* new_core(size_t size, size_t alignment) {
  size_t n = size ? size : 1;
  for (;;) {
    void* p = alignment <= kMallocAlignment ? nedmalloc(n) : nedmemalign(alignment, n);
    if (p) return p;
    std::new_handler h = std::get_new_handler();
    if (!h) throw std::bad_alloc();
    h();
  }
}

void* new_core_nothrow(size_t size, size_t alignment) noexcept {
  try {
    return new_core(size, alignment);
  } catch (...) {
    return nullptr;
  }
}

inline void delete_core(void* p) noexcept {
  if (p) nedfree(p);
}

}  // namespace

void* operator new(size_t size, const char*, int) { return new_core(size, 0); }
void* operator new[](size_t size, const char* tag, int line) { return operator new(size, tag, line); }
void* operator new(size_t size, const std::nothrow_t&, const char*, int) noexcept {
  return new_core_nothrow(size, 0);
}
void* operator new[](size_t size, const std::nothrow_t&, const char*, int) noexcept {
  return new_core_nothrow(size, 0);
}

void* operator new(size_t size) { return operator new(size, "anonymous new", 0); }
void* operator new[](size_t size) { return operator new(size, "anonymous new[]", 0); }
void* operator new(size_t size, const std::nothrow_t& nt) noexcept {
  return operator new(size, nt, "anonymous new-nt", 0);
}
void* operator new[](size_t size, const std::nothrow_t& nt) noexcept {
  return operator new[](size, nt, "anonymous new-nt[]", 0);
}
void* operator new(size_t size, std::align_val_t al) { return new_core(size, size_t(al)); }
void* operator new[](size_t size, std::align_val_t al) { return new_core(size, size_t(al)); }
void* operator new(size_t size, std::align_val_t al, const std::nothrow_t&) noexcept {
  return new_core_nothrow(size, size_t(al));
}
void* operator new[](size_t size, std::align_val_t al, const std::nothrow_t&) noexcept {
  return new_core_nothrow(size, size_t(al));
}

void operator delete(void* p) noexcept { delete_core(p); }
void operator delete[](void* p) noexcept { delete_core(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { delete_core(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { delete_core(p); }
void operator delete(void* p, size_t) noexcept { delete_core(p); }
void operator delete[](void* p, size_t) noexcept { delete_core(p); }
void operator delete(void* p, std::align_val_t) noexcept { delete_core(p); }
void operator delete[](void* p, std::align_val_t) noexcept { delete_core(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { delete_core(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { delete_core(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { delete_core(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { delete_core(p); }

void operator delete(void* p, const char*, int) noexcept { delete_core(p); }
void operator delete[](void* p, const char*, int) noexcept { delete_core(p); }
void operator delete(void* p, const std::nothrow_t&, const char*, int) noexcept { delete_core(p); }
void operator delete[](void* p, const std::nothrow_t&, const char*, int) noexcept { delete_core(p); }

#else  // the system's allocator: the tagged forms follow the library operators

void* operator new(size_t size, const char*, int) { return ::operator new(size); }
void* operator new[](size_t size, const char*, int) { return ::operator new[](size); }
void* operator new(size_t size, const std::nothrow_t& nt, const char*, int) noexcept {
  return ::operator new(size, nt);
}
void* operator new[](size_t size, const std::nothrow_t& nt, const char*, int) noexcept {
  return ::operator new[](size, nt);
}
void operator delete(void* p, const char*, int) noexcept { ::operator delete(p); }
void operator delete[](void* p, const char*, int) noexcept { ::operator delete[](p); }
void operator delete(void* p, const std::nothrow_t&, const char*, int) noexcept { ::operator delete(p); }
void operator delete[](void* p, const std::nothrow_t&, const char*, int) noexcept { ::operator delete[](p); }

#endif
