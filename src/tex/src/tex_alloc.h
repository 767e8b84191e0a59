// Where the codecs get the pixel buffers they hand to their callers: the program's pooled
// allocator, so callers free them with nedfree.
#pragma once
#include <cstddef>

#include "foundation/nedmalloc.h"

inline void* tex_alloc(size_t n) { return nedmalloc(n); }
inline void tex_free(void* p) { nedfree(p); }
