// Small helpers shared by the texture units.
#pragma once
#include "tex/scratch.h"

// The smallest power of two not below v (1 for v below 2).
inline long tex_next_pow2(long v) {
  long p = 1;
  while (p < v) p <<= 1;
  return p;
}
