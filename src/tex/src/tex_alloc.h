// Where the codecs get the pixel buffers they hand to their callers.
#pragma once
#include <cstddef>
#include <cstdlib>

// Buffers returned to callers come from the program's allocator (freed with tex_free).
inline void* tex_alloc(size_t n) { return std::malloc(n); }
inline void tex_free(void* p) { std::free(p); }
